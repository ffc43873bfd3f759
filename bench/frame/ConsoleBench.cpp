// Printing to the console with every output filtered out: the cost of formatting, locking and
// keeping the line in the ring.
#include "BenchSupport.h"
#include "core/Core.h"

using namespace QuennelEngine;
using namespace QuennelEngine::Bench;

int main()
{
  CLockOutputs lo;
  double dOurs = NsPerOp(200000, [] { conLogF("short line %1\n", ARG_INT, 17); });
  printf("%-44s %9.1f ns   %.2f M lines/s\n", "conLogF, all outputs filtered out", dOurs,
         1000.0 / dOurs);
  dOurs = NsPerOp(200000, [] { conLog("short line %1\n", 17); });
  printf("%-44s %9.1f ns   %.2f M lines/s\n", "conLog (typed), all outputs filtered out", dOurs,
         1000.0 / dOurs);
  return 0;
}
