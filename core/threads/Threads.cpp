#include "core/threads/Threads.h"

#include "core/frame/CodeGuard.h"
#include "core/frame/Console.h"
#include "core/frame/Exception.h"
#include "core/memory/Memory.h"
#include "core/platform/SysMemory.h"
#include "core/text/Translation.h"
#include "core/threads/ExclusiveMainThread.h"
#include "core/threads/SyncLock.h"
#include "core/threads/SyncPlainLock.h"

#include <exception>
#include <string.h>

namespace QuennelEngine {

unsigned long volatile thr_ulMainThreadID = 0xFFFFFFFFUL;
long volatile thr_ctActiveThreads = 0;
long volatile thr_bMainInPlainStep = 0;

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

// ---- Plain steps and threads the library did not create ----
//
// The main thread changes mutex lock counts and reference counts without atomic operations
// while no other thread counts as active (a plain step, ThreadsPrivate::BeginPlainStep). Every
// other thread uses atomic operations, and before it touches such a count it makes sure that
// it counts as active (BeginSharedAccess): a library thread at work does already; any other
// thread (std::thread, CreateThread, a library thread between its runs) joins the count here
// as an *outside* thread.
//
// The turn. A plain step is: raise thr_bMainInPlainStep, read the count, and only if it is 0
// change the count plainly, then lower the flag. Whoever raises the count from 0 on a thread
// other than the main thread does so under the activity lock and then, still under it,
// serialises the main thread (sysSerializeThread) and waits until the flag is down. Afterwards
// no plain step is in progress, and none begins until the count is 0 again:
// - If the main thread raised the flag of a step before the serialisation, the flag is visible
//   after it and the raiser waits for the step's end; the step's plain store comes before the
//   flag's fall (stores keep their order), so the raiser's atomic operations that follow see it.
// - If the main thread raises the flag after the serialisation, its look at the count comes
//   after it too, and sees the raised count: the step goes the atomic way.
// The count drops back to 0 only through an interlocked decrement after the thread's last atomic
// change of a shared count (made by the thread itself, or under the activity lock after its
// last EndSharedAccess), so a plain step that sees 0 also sees that change.
//
// An outside thread would pay the serialisation whenever it takes a mutex while nothing else is
// active, so it keeps counting after its last release ("lingering") until it ends, or until an
// exclusive section begins and lets it go; its next access joins again. Its record is listed
// under the activity lock and leaves the list (and the count) when the system tells this
// library of the thread's end; a thread ended without that notice (TerminateThread) is found by
// its handle when an exclusive section begins. Records come from pages of their own and are
// used again: the memory mutex cannot serve a thread that does not count yet.
namespace {

struct OutsideRecord {
  OutsideRecord *or_porNext;
  unsigned long or_ulThreadID;
  SysHandle or_hThread; // to find out that the thread has ended
  bool or_bCounted;     // counts in thr_ctActiveThreads
  bool or_bHolding;     // between BeginSharedAccess and EndSharedAccess
};

// The calling thread's nested accesses, whether the outermost one joined as an outside thread,
// and the active flag of the library thread running here (null on other threads): one
// thread-local look-up per access.
struct SharedAccess {
  long sa_ctDepth;
  bool sa_bOutside;
  long volatile *sa_pbActive;
};

} // namespace

// Listed and unused records, under the activity lock.
static OutsideRecord *_thr_porOutside = nullptr;
static OutsideRecord *_thr_porUnused = nullptr;
// The calling thread's listed record (it stays listed while the thread lives).
static thread_local OutsideRecord *_thr_porHere = nullptr;
static thread_local SharedAccess _thr_saHere = {0, false, nullptr};

static void ReleaseIdleOutsideThreads(void);

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
  ReleaseIdleOutsideThreads();
  while (thr_ctActiveThreads != 0) {
    _thr_ctIdleWaiters++;
    // Any signal still standing is from an earlier drop to zero: the count is up again.
    _thr_seAllIdle.ResetEvent();
    ReleaseActivityLock();
    _thr_seAllIdle.WaitEvent();
    TakeActivityLock();
    _thr_ctIdleWaiters--;
    // Outside threads that joined meanwhile and hold nothing now.
    ReleaseIdleOutsideThreads();
  }
}

} // namespace ThreadsPrivate

using namespace ThreadsPrivate;

// Counting, always under the activity lock (interlocked all the same: mutexes read the count
// without it).
static void RaiseActiveCount(void)
{
  if (sysInterlockedIncrement(&thr_ctActiveThreads) != 1 || IsCallerMainThread()) return;
  // Another thread woke the library: wait out the main thread's plain step (see the top).
  if (_thr_hMainThread != nullptr) sysSerializeThread(_thr_hMainThread);
  for (long iSpin = 0; thr_bMainInPlainStep; iSpin++) {
    if (iSpin < 1000) {
      __builtin_ia32_pause();
    } else {
      sysYield();
    }
  }
}

static void LowerActiveCount(void)
{
  if (sysInterlockedDecrement(&thr_ctActiveThreads) == 0 && _thr_ctIdleWaiters > 0) {
    _thr_seAllIdle.SetEvent();
  }
}

// ---- Outside threads (see the top) ----

// Under the activity lock.
static OutsideRecord *NewOutsideRecord(void)
{
  if (_thr_porUnused == nullptr) {
    const size_t slPage = sysGetPageSize();
    OutsideRecord *apor = (OutsideRecord *)sysAllocateMemory(slPage);
    if (apor == nullptr) {
      conFatalErrorF(strTranslate("DOZUThreads.NoRecord=Not enough memory (%1 bytes needed)!"),
                     ARG_INT, (long)slPage);
    }
    for (size_t i = 0; i < slPage / sizeof(OutsideRecord); i++) {
      apor[i].or_porNext = _thr_porUnused;
      _thr_porUnused = &apor[i];
    }
  }
  OutsideRecord *por = _thr_porUnused;
  _thr_porUnused = por->or_porNext;
  por->or_porNext = nullptr;
  por->or_ulThreadID = 0;
  por->or_hThread = nullptr;
  por->or_bCounted = por->or_bHolding = false;
  return por;
}

// Under the activity lock: the thread has ended (or is ending).
static void UnlistOutsideThread(OutsideRecord *por)
{
  for (OutsideRecord **ppor = &_thr_porOutside; *ppor != nullptr; ppor = &(*ppor)->or_porNext) {
    if (*ppor == por) {
      *ppor = por->or_porNext;
      break;
    }
  }
  if (por->or_bCounted) LowerActiveCount();
  sysCloseHandle(por->or_hThread);
  por->or_ulThreadID = 0;
  por->or_porNext = _thr_porUnused;
  _thr_porUnused = por;
}

// Under the activity lock: outside threads that hold nothing stop counting; the records of
// threads that have ended leave the list.
static void ReleaseIdleOutsideThreads(void)
{
  OutsideRecord *por = _thr_porOutside;
  while (por != nullptr) {
    OutsideRecord *porNext = por->or_porNext;
    if (sysWaitHandle(por->or_hThread, 0)) {
      UnlistOutsideThread(por);
    } else if (por->or_bCounted && !por->or_bHolding) {
      por->or_bCounted = false;
      LowerActiveCount();
    }
    por = porNext;
  }
}

// On every thread that ends: its record, if it has one, leaves the list and the count.
static void ForgetEndingThread(void)
{
  // Only the thread itself lists its record, and only its end unlists it while it lives: with
  // an empty list it has none.
  if (_thr_porOutside == nullptr) return;
  const unsigned long ulID = sysGetCurrentThreadID();
  _thr_splActivity.Lock();
  for (OutsideRecord *por = _thr_porOutside; por != nullptr; por = por->or_porNext) {
    if (por->or_ulThreadID == ulID) {
      UnlistOutsideThread(por);
      break;
    }
  }
  _thr_splActivity.Unlock();
}

static void BeginOutsideHold(void)
{
  const unsigned long ulID = sysGetCurrentThreadID();
  OutsideRecord *por = _thr_porHere;
  SysHandle hThread = por == nullptr ? sysDuplicateCurrentThreadHandle() : nullptr;
  TakeActivityLock();
  // (a record left from before this thread's end notice is someone else's by now)
  if (por == nullptr || por->or_ulThreadID != ulID) {
    if (hThread == nullptr) hThread = sysDuplicateCurrentThreadHandle();
    por = NewOutsideRecord();
    por->or_ulThreadID = ulID;
    por->or_hThread = hThread;
    por->or_porNext = _thr_porOutside;
    _thr_porOutside = por;
    _thr_porHere = por;
  }
  por->or_bHolding = true;
  if (!por->or_bCounted) {
    por->or_bCounted = true;
    RaiseActiveCount();
  }
  ReleaseActivityLock();
}

static void EndOutsideHold(void)
{
  OutsideRecord *por = _thr_porHere;
  TakeActivityLock();
  por->or_bHolding = false;
  // An exclusive section waits: it must not wait for a thread that holds nothing.
  if (_thr_ctIdleWaiters > 0 && por->or_bCounted) {
    por->or_bCounted = false;
    LowerActiveCount();
  }
  ReleaseActivityLock();
}

void ThreadsPrivate::BeginSharedAccess(void)
{
  SharedAccess &sa = _thr_saHere;
  if (sa.sa_ctDepth++ > 0) return;
  // A library thread at work counts already; the flag is changed by others only while it waits.
  sa.sa_bOutside = sa.sa_pbActive == nullptr || *sa.sa_pbActive == 0;
  if (sa.sa_bOutside) BeginOutsideHold();
}

void ThreadsPrivate::EndSharedAccess(void)
{
  SharedAccess &sa = _thr_saHere;
  if (--sa.sa_ctDepth > 0 || !sa.sa_bOutside) return;
  sa.sa_bOutside = false;
  EndOutsideHold();
}

// ---- The registry ----

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
  _thr_saHere.sa_pbActive = &pth->th_bActive;
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
  long bActive = pth->th_bActive;
  pth->th_bActive = 0;
  ReleaseActivityLock();
  // Freeing the record takes the memory mutex: the thread goes on counting as it did.
  SharedAccess &sa = _thr_saHere;
  sa.sa_pbActive = &bActive;
  memFree(pth);
  sysCloseHandle(hThread);
  sa.sa_pbActive = nullptr;
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
  return sysGetCurrentThreadIDInline();
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
  sysSetThreadEndHook(ForgetEndingThread);
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
