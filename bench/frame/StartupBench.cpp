// The library's start-up: the time from corRun to the host's main function, without the timer
// calibration and without archives.
#include "BenchSupport.h"
#include "core/Core.h"

using namespace QuennelEngine;
using namespace QuennelEngine::Bench;

static double _dStart = 0;
static double _dInMain = 0;

static void HostMain(void)
{
  _dInMain = Now();
}

int main(int ctArguments, char *astrArguments[])
{
  CLockOutputs lo;
  _dStart = Now();
  corRun(HostMain, ctArguments, astrArguments, "notimer nozips");
  double dNotimer = (_dInMain - _dStart) * 1e3;
  _dStart = Now();
  corRun(HostMain, ctArguments, astrArguments, "nozips");
  double dTimer = (_dInMain - _dStart) * 1e3;
  lo.UnlockOutputs();
  printf("%-44s %9.2f ms\n", "corRun to main, \"notimer nozips\"", dNotimer);
  printf("%-44s %9.2f ms\n", "corRun to main, timer calibrated, no archives", dTimer);
  return 0;
}
