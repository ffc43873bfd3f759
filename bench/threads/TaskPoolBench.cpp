// The task pool: how soon a sleeping worker starts a posted task, and how many empty tasks one
// worker runs per second.
#include "BenchSupport.h"
#include "core/Core.h"

#include <stdio.h>

#include <algorithm>
#include <vector>

using namespace QuennelEngine;
using namespace QuennelEngine::Bench;

namespace {

double volatile _dStarted = 0;
long volatile _ctRun = 0;

// Notes when it starts.
class CStampTask : public CBaseTask {
  MD_DECLARE_CLASS(CStampTask)
  void OnExecute(CTaskPool *) override { _dStarted = Now(); }
};

// Does nothing but count.
class CEmptyTask : public CBaseTask {
  MD_DECLARE_CLASS(CEmptyTask)
  void OnExecute(CTaskPool *) override { sysInterlockedIncrement(&_ctRun); }
};

MD_CLASS_BEGIN(CStampTask, CBaseTask, 1)
MD_CLASS_END()

MD_CLASS_BEGIN(CEmptyTask, CBaseTask, 1)
MD_CLASS_END()

} // namespace

int main()
{
  thrStartMultiThreading();
  thrStartMultiThreadingSystem();
  mdUpdateTypeTables();
  printf("Task pool\n");
  {
    CTaskPool tp;
    tp.InitializePool(1, THP_NORMAL);
    std::vector<double> adUs;
    for (int i = 0; i < 1000; i++) {
      // The worker has run out of tasks and sleeps.
      while (tp.CountPendingTasks() > 0) sysSleep(1);
      sysSleep(2);
      _dStarted = 0;
      const double dPosted = Now();
      tp.PushTask(new CStampTask);
      while (_dStarted == 0) {
      }
      adUs.push_back((_dStarted - dPosted) * 1e6);
    }
    std::vector<double> adSorted = adUs;
    std::sort(adSorted.begin(), adSorted.end());
    const Spread s = Summarise(adUs);
    Report("post to start on a sleeping worker", s, "us");
    printf("%-44s 99th percentile %.1f us (goals: median <= 50 us, p99 <= 500 us)\n", "",
           adSorted[adSorted.size() * 99 / 100]);
  }
  {
    CTaskPool tp;
    tp.InitializePool(1, THP_NORMAL);
    std::vector<double> adPerSecond;
    const long ctTasks = 100000;
    for (int iRound = 0; iRound < 7; iRound++) {
      _ctRun = 0;
      const double dStart = Now();
      for (long i = 0; i < ctTasks; i++) tp.PushTask(new CEmptyTask);
      while (_ctRun < ctTasks) sysSleep(0);
      adPerSecond.push_back(ctTasks / (Now() - dStart));
    }
    Report("empty tasks through one worker", Summarise(adPerSecond), "/s");
    printf("%-44s (goal: at least 300,000 per second)\n", "");
  }
  thrStopMultiThreadingSystem();
  return 0;
}
