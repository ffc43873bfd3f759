#pragma once
// A small timing harness for the benchmarks: they run by hand under Wine and print ratios
// measured in the same process, so the machine's speed cancels out.
//
// Ours and the reference are measured interleaved (A B A B ...) in at least 15 rounds, and the
// median and the spread are printed, so a noisy moment on a shared machine lands in one round of
// each side instead of moving the ratio. The ratio printed is the median of the per-round ratios.
#include <windows.h>

#include <algorithm>
#include <stdio.h>
#include <vector>

namespace QuennelEngine {
namespace Bench {

// Rounds of every interleaved comparison unless a benchmark asks for more.
static const int ctDefaultRounds = 15;

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

// Median and quartiles of a set of measurements.
struct Spread {
  double dMedian = 0;
  double dLow = 0;  // first quartile
  double dHigh = 0; // third quartile
  // Half the interquartile range as a share of the median, in per cent.
  double Percent() const { return dMedian != 0 ? 50.0 * (dHigh - dLow) / dMedian : 0; }
};

inline double Quantile(const std::vector<double> &aSorted, double dAt)
{
  if (aSorted.empty()) return 0;
  double dIndex = dAt * (double)(aSorted.size() - 1);
  size_t i = (size_t)dIndex;
  if (i + 1 >= aSorted.size()) return aSorted.back();
  double dFraction = dIndex - (double)i;
  return aSorted[i] * (1 - dFraction) + aSorted[i + 1] * dFraction;
}

inline Spread Summarise(std::vector<double> aValues)
{
  std::sort(aValues.begin(), aValues.end());
  Spread s;
  s.dMedian = Quantile(aValues, 0.5);
  s.dLow = Quantile(aValues, 0.25);
  s.dHigh = Quantile(aValues, 0.75);
  return s;
}

// The result of an interleaved comparison. Values are whatever the two sides measured (time per
// call unless a benchmark says otherwise); the ratio is reference / ours per round, so above 1
// means we are faster.
struct Comparison {
  Spread sOurs;
  Spread sReference;
  Spread sRatio;
};

// Runs `fnOurs` and `fnReference` alternately, `ctRounds` times each, starting with ours in even
// rounds and with the reference in odd ones. Each returns one measurement (for example seconds
// or nanoseconds per call); smaller is better.
template <class A, class B> Comparison Interleave(int ctRounds, A fnOurs, B fnReference)
{
  std::vector<double> aOurs, aRef, aRatio;
  for (int iRound = 0; iRound < ctRounds; iRound++) {
    double dOurs, dRef;
    if (iRound % 2 == 0) {
      dOurs = fnOurs();
      dRef = fnReference();
    } else {
      dRef = fnReference();
      dOurs = fnOurs();
    }
    aOurs.push_back(dOurs);
    aRef.push_back(dRef);
    aRatio.push_back(dOurs > 0 ? dRef / dOurs : 0);
  }
  Comparison c;
  c.sOurs = Summarise(aOurs);
  c.sReference = Summarise(aRef);
  c.sRatio = Summarise(aRatio);
  return c;
}

// Nanoseconds per call of `fn` over one round of `ctIterations` calls.
template <class F> double TimeRound(long ctIterations, F &fn)
{
  double dStart = Now();
  for (long i = 0; i < ctIterations; i++) fn();
  return (Now() - dStart) * 1e9 / (double)ctIterations;
}

// Median and spread of the nanoseconds per call of `fn`, over `ctRounds` rounds.
template <class F> Spread MeasureNs(long ctIterations, F fn, int ctRounds = ctDefaultRounds)
{
  std::vector<double> a;
  fn(); // warm caches and first-use allocations
  for (int iRound = 0; iRound < ctRounds; iRound++) a.push_back(TimeRound(ctIterations, fn));
  return Summarise(a);
}

// Nanoseconds per call of ours against the reference, interleaved in rounds.
template <class A, class B>
Comparison CompareNs(long ctIterations, A fnOurs, B fnReference, int ctRounds = ctDefaultRounds)
{
  fnOurs();
  fnReference();
  return Interleave(
      ctRounds, [&] { return TimeRound(ctIterations, fnOurs); },
      [&] { return TimeRound(ctIterations, fnReference); });
}

// Prints one interleaved comparison of times: medians with their spread, and the ratio (above 1
// means we are faster). `strUnit` names what the values measure.
inline void Report(const char *strWhat, const Comparison &c, const char *strReference,
                   const char *strUnit = "ns")
{
  printf("%-44s %9.1f %s +-%4.1f%%  %-20s %9.1f %s +-%4.1f%%  ratio %5.2fx [%4.2f-%4.2f]\n",
         strWhat, c.sOurs.dMedian, strUnit, c.sOurs.Percent(), strReference, c.sReference.dMedian,
         strUnit, c.sReference.Percent(), c.sRatio.dMedian, c.sRatio.dLow, c.sRatio.dHigh);
}

// Prints a measurement that has no reference.
inline void Report(const char *strWhat, const Spread &s, const char *strUnit = "ns")
{
  printf("%-44s %9.1f %s +-%4.1f%%\n", strWhat, s.dMedian, strUnit, s.Percent());
}

// Compares and prints in one step; returns the median ratio.
template <class A, class B>
double CompareAndReport(const char *strWhat, long ctIterations, A fnOurs, const char *strReference,
                        B fnReference, int ctRounds = ctDefaultRounds)
{
  Comparison c = CompareNs(ctIterations, fnOurs, fnReference, ctRounds);
  Report(strWhat, c, strReference);
  return c.sRatio.dMedian;
}

} // namespace Bench
} // namespace QuennelEngine
