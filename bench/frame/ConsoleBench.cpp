// Printing to the console with every output filtered out: the cost of formatting, locking and
// keeping the line in the ring.
#include "BenchSupport.h"
#include "core/Core.h"

using namespace QuennelEngine;
using namespace QuennelEngine::Bench;

int main()
{
  CLockOutputs lo;
  Spread s = MeasureNs(100000, [] { conLogF("short line %1\n", ARG_INT, 17); });
  Report("conLogF, all outputs filtered out", s);
  printf("  %.2f M lines/s\n", 1000.0 / s.dMedian);
  s = MeasureNs(100000, [] { conLog("short line %1\n", 17); });
  Report("conLog (typed), all outputs filtered out", s);
  printf("  %.2f M lines/s\n", 1000.0 / s.dMedian);
  return 0;
}
