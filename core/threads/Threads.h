#pragma once
// The library's threads: a registry of every thread started through thrCreateThread, the count
// of active threads (running work rather than parked), the main thread's identity, priorities,
// and the two thread services.
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
// Active threads, never counting the main thread.
CORE_API extern long volatile thr_ctActiveThreads;

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

// Private to the thread system (CExclusiveMainThread, CBaseThread).
namespace ThreadsPrivate {
void TakeActivityLock(void);
void ReleaseActivityLock(void);
// Called holding the activity lock; returns holding it once no thread is active.
void WaitUntilAllIdle(void);
} // namespace ThreadsPrivate

} // namespace QuennelEngine
