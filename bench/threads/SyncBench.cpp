// Uncontended mutex cost in single-thread mode and with a worker active, against the system's
// critical section in the same process.
#include "BenchSupport.h"
#include "core/Core.h"

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
  const long ctIter = 5000000;
  CSyncMutex sm;
  CRITICAL_SECTION cs;
  InitializeCriticalSection(&cs);

  double dRef = NsPerOp(ctIter, [&] {
    EnterCriticalSection(&cs);
    LeaveCriticalSection(&cs);
  });
  double dOurs = NsPerOp(ctIter, [&] {
    sm.Lock();
    sm.Unlock();
  });
  Report("CSyncMutex lock+unlock, single-thread mode", dOurs, "CRITICAL_SECTION", dRef);

  // A worker that counts as active switches every mutex to its atomic path.
  _seRelease.InitEvent(CSyncEvent::SEF_MANUALRESET);
  thrCreateThread(nullptr, ParkedWorker);
  dOurs = NsPerOp(ctIter, [&] {
    sm.Lock();
    sm.Unlock();
  });
  Report("CSyncMutex lock+unlock, worker active", dOurs, "CRITICAL_SECTION", dRef);
  dOurs = NsPerOp(ctIter, [&] {
    CSyncLock sl(&sm);
  });
  Report("CSyncLock scope, worker active", dOurs, "CRITICAL_SECTION", dRef);
  _seRelease.SetEvent();
  while (thrCountThreads() > 0) sysSleep(1);

  DeleteCriticalSection(&cs);
  thrStopMultiThreadingSystem();
  return 0;
}
