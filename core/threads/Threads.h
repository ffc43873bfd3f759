#pragma once
// The library's threads: a registry of every thread started through thrCreateThread, the count
// of active threads (running work rather than parked, or other threads inside library state),
// the main thread's identity, priorities, and the two thread services.
#include "core/platform/SysThreads.h"

namespace QuennelEngine {

// One record per thread started through thrCreateThread; the thread frees it when it ends.
struct ThreadHandle {
  long th_bActive;              // 1 while the thread counts as active
  void *th_pvArgument;          // passed to the function
  void (*th_pFunction)(void *); // the thread's body
  unsigned long th_ulThreadID;  // the system's thread ID
  SysHandle th_hThread;         // the system's thread handle
};

enum ThreadPriority {
  THP_BELOWNORMAL = 0,
  THP_NORMAL = 1,
  THP_ABOVENORMAL = 2,
  THP_TIMECRITICAL = 3,
  THP_IDLE = 4,
};

// The main thread's ID; 0xFFFFFFFF until the system thread service starts and after it stops.
CORE_API extern unsigned long volatile thr_ulMainThreadID;
// Active threads, never counting the main thread: library threads at work, and threads the
// library did not create while they may be inside library state (docs/threads.md).
CORE_API extern long volatile thr_ctActiveThreads;
// 1 while the main thread is in a plain step (ThreadsPrivate::BeginPlainStep).
CORE_API extern long volatile thr_bMainInPlainStep;

// Starts `pFunction(pvArgument)` on a new thread that counts as active from now on.
CORE_API ThreadHandle *thrCreateThread(void *pvArgument, void (*pFunction)(void *));
CORE_API void thrMarkThreadAsActive(ThreadHandle *pth);
CORE_API void thrMarkThreadAsInactive(ThreadHandle *pth);
CORE_API long thrCountActiveThreads(void);
// Threads created and not yet ended.
CORE_API long thrCountThreads(void);
CORE_API unsigned long thrGetMainThreadID(void);
CORE_API bool thrIsThisMainThread(void);
// 0xFFFFFFFF while no main thread is known, otherwise the system's ID of the calling thread.
CORE_API unsigned long thrGetCurrentThreadID(void);
CORE_API unsigned long thrGetThreadID(ThreadHandle *pth);
// The registry entry of the calling thread, or null.
CORE_API ThreadHandle *thrGetCurrentThread(void);
CORE_API void thrSetThreadPriority(ThreadHandle *pth, ThreadPriority thp);
CORE_API ThreadPriority thrGetThreadPriority(ThreadHandle *pth);
// Suspend (resume) the main thread and every registered thread but the caller.
CORE_API void thrSuspendOtherThreads(void);
CORE_API void thrResumeOtherThreads(void);

// "Service.MultiThreading": makes the all-idle event; threads may be used from then on.
CORE_API void thrStartMultiThreading(void);
CORE_API void thrStopMultiThreading(void);
// Whether that service runs (exclusive sections and worker threads need it).
CORE_API bool thrIsMultiThreadingStarted(void);
// "Service.MultiThreading_System": records the calling thread as the main thread.
CORE_API void thrStartMultiThreadingSystem(void);
CORE_API void thrStopMultiThreadingSystem(void);

// Private to the thread system (CExclusiveMainThread, CBaseThread) and to the counts that the
// main thread changes without atomic operations (mutexes, reference counts).
namespace ThreadsPrivate {
void TakeActivityLock(void);
void ReleaseActivityLock(void);
// Called holding the activity lock; returns holding it once no thread is active. Threads the
// library did not create that hold nothing stop counting as active first.
void WaitUntilAllIdle(void);

// True on the main thread, and on every thread while the main thread is not known yet.
inline bool IsCallerMainThread(void)
{
  return thr_ulMainThreadID == 0xFFFFFFFFUL || sysGetCurrentThreadID() == thr_ulMainThreadID;
}
// On the main thread, around a change of a shared count: true if no other thread counts as
// active, so the change may be plain (then EndPlainStep follows it); false if it must be atomic.
// A thread that makes the active count leave 0 waits out a plain step in progress (Threads.cpp).
inline bool BeginPlainStep(void)
{
  thr_bMainInPlainStep = 1;
  if (thr_ctActiveThreads == 0) {
    __asm__ __volatile__("" ::: "memory"); // the step stays after the look at the count
    return true;
  }
  thr_bMainInPlainStep = 0;
  return false;
}
inline void EndPlainStep(void)
{
  __asm__ __volatile__("" ::: "memory"); // the step stays before the flag drops
  thr_bMainInPlainStep = 0;
}
// On any other thread, around its holds of library mutexes and its changes of shared counts
// (nested): a thread that does not count as active by itself (one the library did not create,
// or a library thread between its runs) counts from the first Begin on, at least until the last
// End.
void BeginSharedAccess(void);
void EndSharedAccess(void);
} // namespace ThreadsPrivate

} // namespace QuennelEngine
