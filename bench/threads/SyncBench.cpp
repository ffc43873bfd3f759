// Uncontended mutex cost in single-thread mode, with a worker active and on a thread the library
// did not create, against the system's critical section in the same process.
#include "BenchSupport.h"
#include "core/Core.h"

#include <thread>

using namespace QuennelEngine;
using namespace QuennelEngine::Bench;

static CSyncEvent _seRelease;

static void ParkedWorker(void *)
{
  _seRelease.WaitEvent();
}

int main()
{
  thrStartMultiThreading();
  thrStartMultiThreadingSystem();
  CSyncMutex sm;
  CRITICAL_SECTION cs;
  InitializeCriticalSection(&cs);

  const long ctRound = 2000000;
  auto fnCritical = [&] {
    EnterCriticalSection(&cs);
    LeaveCriticalSection(&cs);
  };
  auto fnMutex = [&] {
    sm.Lock();
    sm.Unlock();
  };
  CompareAndReport("CSyncMutex lock+unlock, single-thread mode", ctRound, fnMutex,
                   "CRITICAL_SECTION", fnCritical);

  // A worker that counts as active switches every mutex to its atomic path.
  _seRelease.InitEvent(CSyncEvent::SEF_MANUALRESET);
  thrCreateThread(nullptr, ParkedWorker);
  CompareAndReport("CSyncMutex lock+unlock, worker active", ctRound, fnMutex, "CRITICAL_SECTION",
                   fnCritical);
  CompareAndReport(
      "CSyncLock scope, worker active", ctRound, [&] { CSyncLock sl(&sm); }, "CRITICAL_SECTION",
      fnCritical);
  _seRelease.SetEvent();
  while (thrCountThreads() > 0) sysSleep(1);

  // A std::thread counts as active while it may hold a mutex (and lingers after it).
  std::thread th([&] {
    CompareAndReport("CSyncMutex lock+unlock, std::thread", ctRound, fnMutex, "CRITICAL_SECTION",
                     fnCritical);
  });
  th.join();

  DeleteCriticalSection(&cs);
  thrStopMultiThreadingSystem();
  return 0;
}
