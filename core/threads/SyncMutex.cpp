#include "core/threads/SyncMutex.h"

#include "core/frame/CodeGuard.h"
#include "core/threads/Threads.h"

namespace QuennelEngine {

// The caller's identity and whether atomic operations are needed. With no worker active the
// caller is the main thread (all callers look alike before the thread service starts).
static inline bool IsSingleThreaded(void)
{
  return thr_ctActiveThreads == 0;
}

// Attempts to take a held mutex before waiting for it.
static const int ctLockSpins = 1000;

static inline unsigned long CallerID(bool bSingle)
{
  return bSingle ? thr_ulMainThreadID : thrGetCurrentThreadID();
}

long CSyncMutex::Lock(void)
{
  const bool bSingle = IsSingleThreaded();
  const unsigned long ulCaller = CallerID(bSingle);
  if (!bSingle && sm_ulOwner != ulCaller) {
    // Held by another thread: spin a little for it to come free before queueing on the event.
    // Critical sections are short, and a queued waiter is handed the mutex through the event:
    // two system calls (under Wine, round trips to its server of tens of microseconds) during
    // which every later taker queues too, so contended mutexes would otherwise pass from one
    // sleeping thread to the next. The spin lasts about as long as one such call, and takes
    // only a free mutex (none queued), just as TryToLock does.
    for (int iSpin = 0; iSpin < ctLockSpins; iSpin++) {
      if (sm_ctLock == -1 && sysInterlockedCompareExchange(&sm_ctLock, 0, -1) == -1) {
        sm_ulOwner = ulCaller;
        sm_ctRecursion = 1;
        return 1;
      }
      __builtin_ia32_pause();
    }
  }
  long ctNew = bSingle ? ++sm_ctLock : sysInterlockedIncrement(&sm_ctLock);
  if (ctNew != 0) {
    if (sm_ulOwner == ulCaller) return ++sm_ctRecursion;
    sm_seWake.InitEventOnce(0);
    sm_seWake.WaitEvent();
  }
  sm_ulOwner = ulCaller;
  sm_ctRecursion = 1;
  return 1;
}

long CSyncMutex::TryToLock(void)
{
  const bool bSingle = IsSingleThreaded();
  const unsigned long ulCaller = CallerID(bSingle);
  // Take the mutex only if it is free; an attempt that fails leaves no trace, so a holder that
  // releases meanwhile never signals the wake event for a waiter that is not there.
  bool bTaken;
  if (bSingle) {
    bTaken = sm_ctLock == -1;
    if (bTaken) sm_ctLock = 0;
  } else {
    bTaken = sysInterlockedCompareExchange(&sm_ctLock, 0, -1) == -1;
  }
  if (bTaken) {
    sm_ulOwner = ulCaller;
    sm_ctRecursion = 1;
    return 1;
  }
  if (sm_ulOwner != ulCaller) return 0;
  if (bSingle) {
    ++sm_ctLock;
  } else {
    sysInterlockedIncrement(&sm_ctLock);
  }
  return ++sm_ctRecursion;
}

long CSyncMutex::Unlock(void)
{
  const bool bSingle = IsSingleThreaded();
  if (sm_ctRecursion <= 0 || sm_ulOwner != CallerID(bSingle)) {
    // Releasing a mutex the caller does not hold would free it under its real holder.
    corLogGuardBreach();
    return 0;
  }
  if (--sm_ctRecursion > 0) {
    if (bSingle) {
      --sm_ctLock;
    } else {
      sysInterlockedDecrement(&sm_ctLock);
    }
    return sm_ctRecursion;
  }
  sm_ulOwner = 0;
  long ctLeft = bSingle ? --sm_ctLock : sysInterlockedDecrement(&sm_ctLock);
  if (ctLeft >= 0) {
    // A thread is waiting (or about to): release exactly one.
    sm_seWake.InitEventOnce(0);
    sm_seWake.SetEvent();
  }
  return 0;
}

bool CSyncMutex::IsLockedByThisThread(void) const
{
  return sm_ctRecursion > 0 && sm_ulOwner == CallerID(IsSingleThreaded());
}

bool CSyncMutex::IsWakeSignaled(void)
{
  return sm_seWake.IsSignaled() != 0;
}

} // namespace QuennelEngine
