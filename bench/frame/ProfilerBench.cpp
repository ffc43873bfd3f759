// Entering and leaving a profiler section, shown and hidden, against the two raw time-stamp
// reads that a shown section cannot do without. Goals: at most 40 ns shown, at most 2 ns hidden,
// and at most 2.5 times the two raw reads.
#include "BenchSupport.h"
#include "core/Core.h"

using namespace QuennelEngine;
using namespace QuennelEngine::Bench;

namespace {

const long CT_ITERATIONS = 2000000;
const char *const _strSection = "Bench.Section";
const char *const _strInner = "Bench.Inner";

// Makes the compiler read the settings again in every iteration, as real code between
// samples would.
inline void Barrier(void)
{
  asm volatile("" : : : "memory");
}

} // namespace

int main()
{
  CLockOutputs lo;
  double dRaw = NsPerOp(CT_ITERATIONS, [] {
    __int64 llStart = timReadTimeStampCounter();
    __int64 llEnd = timReadTimeStampCounter();
    Keep(llStart);
    Keep(llEnd);
  });

  prf_bShowProfiler = 1;
  double dShown = NsPerOp(CT_ITERATIONS, [] {
    Barrier();
    CProfileSample ps(_strSection);
  });
  // A section inside another: the current node's child list is searched.
  _prfStartProfile(_strSection);
  double dNested = NsPerOp(CT_ITERATIONS, [] {
    Barrier();
    CProfileSample ps(_strInner);
  });
  _prfStopProfile();

  prf_bShowProfiler = 0;
  double dHidden = NsPerOp(CT_ITERATIONS, [] {
    Barrier();
    CProfileSample ps(_strSection);
  });

  __int64 llTicks = 0;
  long ctCalls = 0;
  double dTimer = NsPerOp(CT_ITERATIONS, [&] {
    Barrier();
    CProfileTimer pt(llTicks, ctCalls);
  });
  Keep(llTicks);

  double dFrame = NsPerOp(CT_ITERATIONS, [] {
    Barrier();
    prfIncFrameCounter();
  });

  printf("%-44s %9.1f ns\n", "two raw time-stamp reads", dRaw);
  printf("%-44s %9.1f ns   goal <= 40 ns, %.2fx the raw reads (goal <= 2.5x)\n",
         "section enter+leave, shown", dShown, dShown / dRaw);
  printf("%-44s %9.1f ns   %.2fx the raw reads\n", "nested section enter+leave, shown", dNested,
         dNested / dRaw);
  printf("%-44s %9.1f ns   goal <= 2 ns\n", "section enter+leave, hidden", dHidden);
  printf("%-44s %9.1f ns   %.2fx the raw reads\n", "CProfileTimer", dTimer, dTimer / dRaw);
  printf("%-44s %9.1f ns\n", "prfIncFrameCounter, hidden", dFrame);
  return 0;
}
