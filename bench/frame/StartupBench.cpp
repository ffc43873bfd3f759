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

// Milliseconds from corRun to the host's main function with the given settings.
static double StartupMs(int ctArguments, char *astrArguments[], const char *strSettings)
{
  _dStart = Now();
  corRun(HostMain, ctArguments, astrArguments, strSettings);
  return (_dInMain - _dStart) * 1e3;
}

int main(int ctArguments, char *astrArguments[])
{
  CLockOutputs lo;
  // The first start-up of the process pays for first uses; the rounds after it alternate the
  // two settings.
  double dFirst = StartupMs(ctArguments, astrArguments, "notimer nozips");
  Comparison c = Interleave(
      ctDefaultRounds, [&] { return StartupMs(ctArguments, astrArguments, "notimer nozips"); },
      [&] { return StartupMs(ctArguments, astrArguments, "nozips"); });
  lo.UnlockOutputs();
  printf("%-44s %9.2f ms\n", "first corRun to main, \"notimer nozips\"", dFirst);
  Report("corRun to main, \"notimer nozips\"", c.sOurs, "ms");
  Report("corRun to main, timer calibrated, no archives", c.sReference, "ms");
  return 0;
}
