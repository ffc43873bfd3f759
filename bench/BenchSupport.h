#pragma once
// A small timing harness for the benchmarks: they run by hand under Wine and print ratios
// measured in the same process, so the machine's speed cancels out.
#include <windows.h>

#include <stdio.h>

namespace QuennelEngine {
namespace Bench {

inline double Now()
{
  static LARGE_INTEGER liFrequency = {};
  if (liFrequency.QuadPart == 0) QueryPerformanceFrequency(&liFrequency);
  LARGE_INTEGER li;
  QueryPerformanceCounter(&li);
  return (double)li.QuadPart / (double)liFrequency.QuadPart;
}

// Keeps the optimiser from dropping a result.
template <class T> inline void Keep(const T &value)
{
  asm volatile("" : : "g"(&value) : "memory");
}

// Nanoseconds per call of `fn`, the best of five rounds of `ctIterations` calls.
template <class F> double NsPerOp(long ctIterations, F fn)
{
  double dBest = 1e30;
  for (int iRound = 0; iRound < 5; iRound++) {
    double dStart = Now();
    for (long i = 0; i < ctIterations; i++) fn();
    double d = (Now() - dStart) * 1e9 / (double)ctIterations;
    if (d < dBest) dBest = d;
  }
  return dBest;
}

// Prints one comparison: ours against a reference, with the speed ratio (above 1 = we are faster).
inline void Report(const char *strWhat, double dOursNs, const char *strReference, double dRefNs)
{
  printf("%-44s %9.1f ns   %-22s %9.1f ns   ratio %5.2fx\n", strWhat, dOursNs, strReference, dRefNs,
         dRefNs / dOursNs);
}

inline void Report(const char *strWhat, double dOursNs)
{
  printf("%-44s %9.1f ns\n", strWhat, dOursNs);
}

} // namespace Bench
} // namespace QuennelEngine
