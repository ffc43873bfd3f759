// The task pool: how soon a sleeping worker starts a posted task, against the floor the system
// sets (a bare thread woken through one event), and how many empty tasks one worker runs per
// second. Also the cost of one call on an event, which every wake and wait pays (under Wine, a
// round trip to its server).
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

// The floor: a bare system thread that notes when its event woke it. It runs no library code, so
// it may live outside the thread registry.
HANDLE _hBareGo = nullptr;
HANDLE _hBareDone = nullptr;
long volatile _bBareStop = 0;

DWORD WINAPI BareThread(void *)
{
  for (;;) {
    WaitForSingleObject(_hBareGo, INFINITE);
    if (_bBareStop) return 0;
    _dStarted = Now();
    SetEvent(_hBareDone);
  }
}

const long ctContendedTasks = 100000;
long volatile _ctPostersDone = 0;

void PostHalf(void *pvPool)
{
  CTaskPool *ptp = (CTaskPool *)pvPool;
  for (long i = 0; i < ctContendedTasks / 2; i++) ptp->PushTask(new CEmptyTask);
  sysInterlockedIncrement(&_ctPostersDone);
}

// Microseconds from the post to the start, on a worker that sleeps before each sample.
double PoolSample(CTaskPool &tp)
{
  // The worker has run out of tasks and sleeps.
  while (tp.CountPendingTasks() > 0) sysSleep(1);
  sysSleep(2);
  _dStarted = 0;
  const double dPosted = Now();
  tp.PushTask(new CStampTask);
  while (_dStarted == 0) {
  }
  return (_dStarted - dPosted) * 1e6;
}

double BareSample(void)
{
  sysSleep(2);
  _dStarted = 0;
  const double dPosted = Now();
  SetEvent(_hBareGo);
  while (_dStarted == 0) {
  }
  WaitForSingleObject(_hBareDone, INFINITE);
  return (_dStarted - dPosted) * 1e6;
}

void ReportLatency(const char *strWhat, std::vector<double> adUs)
{
  std::sort(adUs.begin(), adUs.end());
  Report(strWhat, Summarise(adUs), "us");
  printf("%-44s 99th percentile %.1f us, largest %.1f us\n", "", adUs[adUs.size() * 99 / 100],
         adUs.back());
}

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
    // A manual-reset event that is set already: the call changes nothing and wakes nobody.
    HANDLE hEvent = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    Report("one call on an event (SetEvent)",
           MeasureNs(
               1000, [&] { SetEvent(hEvent); }, 7),
           "ns");
    CloseHandle(hEvent);
  }
  {
    CTaskPool tp;
    tp.InitializePool(1, THP_NORMAL);
    _hBareGo = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    _hBareDone = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE hBare = CreateThread(nullptr, 0, BareThread, nullptr, 0, nullptr);
    // In rounds, so a noisy moment of the shared machine lands on both.
    std::vector<double> adPool, adBare;
    for (int iRound = 0; iRound < 10; iRound++) {
      for (int i = 0; i < 100; i++) adPool.push_back(PoolSample(tp));
      for (int i = 0; i < 100; i++) adBare.push_back(BareSample());
    }
    ReportLatency("post to start on a sleeping worker", adPool);
    printf("%-44s (goals: median <= 50 us, p99 <= 500 us)\n", "");
    ReportLatency("floor: a bare thread woken by an event", adBare);
    _bBareStop = 1;
    SetEvent(_hBareGo);
    WaitForSingleObject(hBare, INFINITE);
    CloseHandle(hBare);
    CloseHandle(_hBareGo);
    CloseHandle(_hBareDone);
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
  {
    // Contended: two posting threads, two workers.
    CTaskPool tp;
    tp.InitializePool(2, THP_NORMAL);
    std::vector<double> adPerSecond;
    for (int iRound = 0; iRound < 7; iRound++) {
      _ctRun = 0;
      _ctPostersDone = 0;
      const double dStart = Now();
      for (int i = 0; i < 2; i++) thrCreateThread(&tp, PostHalf);
      while (_ctRun < ctContendedTasks || _ctPostersDone < 2) sysSleep(0);
      adPerSecond.push_back(ctContendedTasks / (Now() - dStart));
      while (thrCountThreads() > 2) sysSleep(1);
    }
    Report("empty tasks, two posters and two workers", Summarise(adPerSecond), "/s");
  }
  thrStopMultiThreadingSystem();
  return 0;
}
