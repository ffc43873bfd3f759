#include "core/threads/Threads.h"

#include "core/frame/CodeGuard.h"
#include "core/frame/Console.h"
#include "core/frame/Exception.h"
#include "core/memory/Memory.h"
#include "core/text/Translation.h"
#include "core/threads/ExclusiveMainThread.h"
#include "core/threads/SyncLock.h"
#include "core/threads/SyncPlainLock.h"

#include <exception>
#include <string.h>

namespace QuennelEngine {

unsigned long volatile thr_ulMainThreadID = 0xFFFFFFFFUL;
long volatile thr_ctActiveThreads = 0;

static SysHandle _thr_hMainThread = nullptr;
// Guards the active count, the threads' active flags and the idle waiters. Every wake and every
// end of a worker's run takes it, so it costs no system call unless a thread has to wait.
static CSyncPlainLock _thr_splActivity;
// Threads waiting for the active count to drop to zero (under the activity lock), and their
// event (manual reset): set only when the count drops to zero while someone waits, so the
// activity changes of workers make no system call of their own. Made by the service's start,
// which also tells whether it has started.
static long _thr_ctIdleWaiters = 0;
static CSyncEvent _thr_seAllIdle;

// The registry of live threads, in creation order.
static CSyncMutex _thr_smRegistry;
static ThreadHandle **_thr_apthRegistry = nullptr;
static long _thr_ctRegistry = 0;
static long _thr_ctRegistryAllocated = 0;

namespace ThreadsPrivate {

void TakeActivityLock(void)
{
  if (!_thr_seAllIdle.IsInitialized()) {
    conFatalErrorF(strTranslate(
        "DOZUThreads.NotStarted=Threads are used before the multithreading service has started."));
  }
  _thr_splActivity.Lock();
}

void ReleaseActivityLock(void)
{
  _thr_splActivity.Unlock();
}

void WaitUntilAllIdle(void)
{
  // The count changes only under the activity lock, so zero seen while holding it stays zero
  // until the lock is released.
  while (thr_ctActiveThreads != 0) {
    _thr_ctIdleWaiters++;
    // Any signal still standing is from an earlier drop to zero: the count is up again.
    _thr_seAllIdle.ResetEvent();
    ReleaseActivityLock();
    _thr_seAllIdle.WaitEvent();
    TakeActivityLock();
    _thr_ctIdleWaiters--;
  }
}

} // namespace ThreadsPrivate

using namespace ThreadsPrivate;

// Counting, always under the activity lock (interlocked all the same: mutexes read the count
// without it).
static void RaiseActiveCount(void)
{
  sysInterlockedIncrement(&thr_ctActiveThreads);
}

static void LowerActiveCount(void)
{
  if (sysInterlockedDecrement(&thr_ctActiveThreads) == 0 && _thr_ctIdleWaiters > 0) {
    _thr_seAllIdle.SetEvent();
  }
}

static void RegistryAdd(ThreadHandle *pth)
{
  CSyncLock sl(&_thr_smRegistry);
  if (_thr_ctRegistry == _thr_ctRegistryAllocated) {
    _thr_ctRegistryAllocated = _thr_ctRegistryAllocated * 2 + 8;
    _thr_apthRegistry = (ThreadHandle **)memReAlloc(_thr_apthRegistry, _thr_ctRegistryAllocated *
                                                                           sizeof(ThreadHandle *));
  }
  _thr_apthRegistry[_thr_ctRegistry++] = pth;
}

static void RegistryRemove(ThreadHandle *pth)
{
  CSyncLock sl(&_thr_smRegistry);
  for (long i = 0; i < _thr_ctRegistry; i++) {
    if (_thr_apthRegistry[i] == pth) {
      memmove(_thr_apthRegistry + i, _thr_apthRegistry + i + 1,
              (_thr_ctRegistry - i - 1) * sizeof(ThreadHandle *));
      _thr_ctRegistry--;
      return;
    }
  }
}

// The entry point of every library thread.
static unsigned long __stdcall ThreadWrapper(void *pvHandle)
{
  ThreadHandle *pth = (ThreadHandle *)pvHandle;
  // An exception cannot cross the thread's entry point: it is reported and the thread ends.
  try {
    pth->th_pFunction(pth->th_pvArgument);
  } catch (...) {
    char achWhy[256];
    conErrorF(strTranslate("DOZUThreads.Uncaught=Uncaught exception on a library thread: %1\n"),
              ARG_TEXT, dbgDescribeCurrentException(achWhy, sizeof(achWhy)));
  }

  RegistryRemove(pth);
  // Everything that uses library code (the registry mutex, the heap) happens while this thread
  // still counts as active: once the count drops, the main thread may run the mutexes without
  // atomic operations.
  SysHandle hThread = pth->th_hThread;
  TakeActivityLock();
  const long bActive = pth->th_bActive;
  pth->th_bActive = 0;
  ReleaseActivityLock();
  memFree(pth);
  sysCloseHandle(hThread);
  TakeActivityLock();
  if (bActive) LowerActiveCount();
  ReleaseActivityLock();
  return 0;
}

ThreadHandle *thrCreateThread(void *pvArgument, void (*pFunction)(void *))
{
  if (pFunction == nullptr) {
    corLogGuardBreach();
    return nullptr;
  }
  TakeActivityLock();
  ThreadHandle *pth = (ThreadHandle *)memMAlloc(sizeof(ThreadHandle));
  pth->th_bActive = 1;
  pth->th_pvArgument = pvArgument;
  pth->th_pFunction = pFunction;
  pth->th_ulThreadID = 0;
  pth->th_hThread = nullptr;
  RaiseActiveCount();
  ReleaseActivityLock();

  RegistryAdd(pth);
  // Created suspended so the ID and handle are stored before the thread can end and free them.
  unsigned long ulID = 0;
  pth->th_hThread = sysCreateSuspendedThread(ThreadWrapper, pth, ulID);
  pth->th_ulThreadID = ulID;
  sysResumeThread(pth->th_hThread);
  return pth;
}

static void MarkThread(ThreadHandle *pth, long bActive)
{
  if (pth == nullptr) {
    corLogGuardBreach();
    return;
  }
  TakeActivityLock();
  if (pth->th_bActive != bActive) {
    pth->th_bActive = bActive;
    if (bActive) {
      RaiseActiveCount();
    } else {
      LowerActiveCount();
    }
  }
  ReleaseActivityLock();
}

void thrMarkThreadAsActive(ThreadHandle *pth)
{
  MarkThread(pth, 1);
}

void thrMarkThreadAsInactive(ThreadHandle *pth)
{
  MarkThread(pth, 0);
}

long thrCountActiveThreads(void)
{
  return thr_ctActiveThreads;
}

long thrCountThreads(void)
{
  CSyncLock sl(&_thr_smRegistry);
  return _thr_ctRegistry;
}

unsigned long thrGetMainThreadID(void)
{
  return thr_ulMainThreadID;
}

bool thrIsThisMainThread(void)
{
  return thrGetCurrentThreadID() == thr_ulMainThreadID;
}

unsigned long thrGetCurrentThreadID(void)
{
  if (thr_ulMainThreadID == 0xFFFFFFFFUL) return 0xFFFFFFFFUL;
  return sysGetCurrentThreadID();
}

unsigned long thrGetThreadID(ThreadHandle *pth)
{
  if (pth == nullptr) {
    corLogGuardBreach();
    return 0;
  }
  return pth->th_ulThreadID;
}

ThreadHandle *thrGetCurrentThread(void)
{
  unsigned long ulID = sysGetCurrentThreadID();
  CSyncLock sl(&_thr_smRegistry);
  for (long i = 0; i < _thr_ctRegistry; i++) {
    if (_thr_apthRegistry[i]->th_ulThreadID == ulID) return _thr_apthRegistry[i];
  }
  return nullptr;
}

static int SystemPriority(ThreadPriority thp)
{
  switch (thp) {
  case THP_BELOWNORMAL:
    return -1;
  case THP_ABOVENORMAL:
    return 1;
  case THP_TIMECRITICAL:
    return 15;
  case THP_IDLE:
    return -15;
  default:
    return 0;
  }
}

static ThreadPriority PriorityFromSystem(int iPriority)
{
  switch (iPriority) {
  case -15:
    return THP_IDLE;
  case -1:
    return THP_BELOWNORMAL;
  case 1:
    return THP_ABOVENORMAL;
  case 15:
    return THP_TIMECRITICAL;
  default:
    return THP_NORMAL;
  }
}

void thrSetThreadPriority(ThreadHandle *pth, ThreadPriority thp)
{
  if (pth == nullptr) {
    corLogGuardBreach();
    return;
  }
  sysSetThreadPriority(pth->th_hThread, SystemPriority(thp));
}

ThreadPriority thrGetThreadPriority(ThreadHandle *pth)
{
  if (pth == nullptr) {
    corLogGuardBreach();
    return THP_NORMAL;
  }
  return PriorityFromSystem(sysGetThreadPriority(pth->th_hThread));
}

// Suspends or resumes every other thread. The registry is read without its mutex: a suspended
// thread may hold it.
static void SwitchOtherThreads(bool bSuspend)
{
  if (_thr_ctRegistry == 0) return;
  SysHandle hSelf = sysGetCurrentThreadHandle();
  int iOldPriority = sysGetThreadPriority(hSelf);
  sysSetThreadPriority(hSelf, 15);
  unsigned long ulSelf = sysGetCurrentThreadID();
  if (_thr_hMainThread != nullptr && thr_ulMainThreadID != ulSelf) {
    bSuspend ? sysSuspendThread(_thr_hMainThread) : sysResumeThread(_thr_hMainThread);
  }
  for (long i = 0; i < _thr_ctRegistry; i++) {
    ThreadHandle *pth = _thr_apthRegistry[i];
    if (pth->th_ulThreadID == ulSelf || pth->th_hThread == nullptr) continue;
    bSuspend ? sysSuspendThread(pth->th_hThread) : sysResumeThread(pth->th_hThread);
  }
  sysSetThreadPriority(hSelf, iOldPriority);
}

void thrSuspendOtherThreads(void)
{
  SwitchOtherThreads(true);
}

void thrResumeOtherThreads(void)
{
  SwitchOtherThreads(false);
}

void thrStartMultiThreading(void)
{
  _thr_seAllIdle.InitEvent(CSyncEvent::SEF_MANUALRESET);
}

void thrStopMultiThreading(void)
{
}

bool thrIsMultiThreadingStarted(void)
{
  return _thr_seAllIdle.IsInitialized();
}

void thrStartMultiThreadingSystem(void)
{
  _thr_hMainThread = sysDuplicateCurrentThreadHandle();
  thr_ulMainThreadID = sysGetCurrentThreadID();
}

void thrStopMultiThreadingSystem(void)
{
  CExclusiveMainThread emt;
  if (thrCountThreads() == 0) {
    sysCloseHandle(_thr_hMainThread);
    _thr_hMainThread = nullptr;
    thr_ulMainThreadID = 0xFFFFFFFFUL;
  } else {
    conErrorF(strTranslate("DOZUThreads.NotDeleted=Some threads weren't deleted in time of stoping "
                           "'Service.MultiThreading_System' service.\n"));
  }
}

} // namespace QuennelEngine
