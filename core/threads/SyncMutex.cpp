#include "core/threads/SyncMutex.h"

#include "core/frame/CodeGuard.h"
#include "core/threads/Threads.h"

namespace QuennelEngine {

using namespace ThreadsPrivate;

// The caller's identifier, as thrGetCurrentThreadID gives it, without a call.
static inline unsigned long CallerID(void)
{
  return thr_ulMainThreadID == 0xFFFFFFFFUL ? 0xFFFFFFFFUL : sysGetCurrentThreadIDInline();
}

// Attempts to take a held mutex before waiting for it.
static const int ctLockSpins = 1000;

// The main thread changes the lock count in plain steps while no other thread counts as active;
// every other thread counts as active while it holds (or waits for) a mutex, and uses atomic
// operations (Threads.cpp proves the turn from one to the other). Owner and recursion are
// touched only by the holder or the thread about to hold.

long CSyncMutex::Lock(void)
{
  const unsigned long ulCaller = CallerID();
  const bool bMain = ulCaller == thr_ulMainThreadID;
  long ctNew;
  if (bMain && BeginPlainStep()) {
    ctNew = ++sm_ctLock;
    EndPlainStep();
  } else {
    if (!bMain) BeginSharedAccess();
    if (sm_ulOwner != ulCaller) {
      // Held by another thread: spin a little for it to come free before queueing on the
      // event. Critical sections are short, and a queued waiter is handed the mutex through
      // the event: two system calls (under Wine, round trips to its server of tens of
      // microseconds) during which every later taker queues too, so contended mutexes would
      // otherwise pass from one sleeping thread to the next. The spin lasts about as long as
      // one such call, and takes only a free mutex (none queued), just as TryToLock does.
      for (int iSpin = 0; iSpin < ctLockSpins; iSpin++) {
        if (sm_ctLock == -1 && sysInterlockedCompareExchange(&sm_ctLock, 0, -1) == -1) {
          sm_ulOwner = ulCaller;
          sm_ctRecursion = 1;
          return 1;
        }
        __builtin_ia32_pause();
      }
    }
    ctNew = sysInterlockedIncrement(&sm_ctLock);
  }
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
  const unsigned long ulCaller = CallerID();
  const bool bMain = ulCaller == thr_ulMainThreadID;
  // Take the mutex only if it is free; an attempt that fails leaves no trace, so a holder that
  // releases meanwhile never signals the wake event for a waiter that is not there.
  bool bTaken;
  bool bPlain = false;
  if (bMain && BeginPlainStep()) {
    bPlain = true;
    bTaken = sm_ctLock == -1;
    if (bTaken) sm_ctLock = 0;
    EndPlainStep();
  } else {
    if (!bMain) BeginSharedAccess();
    bTaken = sysInterlockedCompareExchange(&sm_ctLock, 0, -1) == -1;
  }
  if (bTaken) {
    sm_ulOwner = ulCaller;
    sm_ctRecursion = 1;
    return 1;
  }
  if (sm_ulOwner != ulCaller) {
    if (!bMain) EndSharedAccess();
    return 0;
  }
  if (bPlain && BeginPlainStep()) {
    ++sm_ctLock;
    EndPlainStep();
  } else {
    sysInterlockedIncrement(&sm_ctLock);
  }
  return ++sm_ctRecursion;
}

long CSyncMutex::Unlock(void)
{
  const unsigned long ulCaller = CallerID();
  const bool bMain = ulCaller == thr_ulMainThreadID;
  if (sm_ctRecursion <= 0 || sm_ulOwner != ulCaller) {
    // Releasing a mutex the caller does not hold would free it under its real holder.
    corLogGuardBreach();
    return 0;
  }
  const long ctRecursion = --sm_ctRecursion;
  if (ctRecursion == 0) sm_ulOwner = 0;
  long ctLeft;
  if (bMain && BeginPlainStep()) {
    ctLeft = --sm_ctLock;
    EndPlainStep();
  } else {
    ctLeft = sysInterlockedDecrement(&sm_ctLock);
  }
  if (ctRecursion == 0 && ctLeft >= 0) {
    // A thread is waiting (or about to): release exactly one.
    sm_seWake.InitEventOnce(0);
    sm_seWake.SetEvent();
  }
  if (!bMain) EndSharedAccess();
  return ctRecursion;
}

bool CSyncMutex::IsLockedByThisThread(void) const
{
  return sm_ctRecursion > 0 && sm_ulOwner == CallerID();
}

bool CSyncMutex::IsWakeSignaled(void)
{
  return sm_seWake.IsSignaled() != 0;
}

} // namespace QuennelEngine
