#pragma once
// The system's threads, events and interlocked operations, behind opaque handles. Everything in
// core/threads reaches the operating system through these functions only.
#include "core/platform/Platform.h"

namespace QuennelEngine {

// An operating-system handle (event or thread), opaque to users.
typedef void *SysHandle;

// Waits without a time-out.
const unsigned long SYS_WAIT_FOREVER = 0xFFFFFFFFUL;

// Interlocked counters; they return the new value.
CORE_API long sysInterlockedIncrement(long volatile *plValue);
CORE_API long sysInterlockedDecrement(long volatile *plValue);
// Stores `lNew` if the value equals `lExpected`; returns the value found.
CORE_API long sysInterlockedCompareExchange(long volatile *plValue, long lNew, long lExpected);

// A new unnamed event; failing to create one is fatal.
CORE_API SysHandle sysCreateEvent(bool bManualReset, bool bInitiallySignaled);
CORE_API void sysSetEvent(SysHandle hEvent);
CORE_API void sysResetEvent(SysHandle hEvent);
// Waits for the handle; true if it was signalled within the time (SYS_WAIT_FOREVER: no limit).
CORE_API bool sysWaitHandle(SysHandle hObject, unsigned long ulMilliseconds);
CORE_API void sysCloseHandle(SysHandle hObject);

// The entry point of a system thread.
typedef unsigned long(__stdcall *SysThreadEntry)(void *pvArgument);
// Creates a suspended thread with the default stack; failing to create one is fatal.
CORE_API SysHandle sysCreateSuspendedThread(SysThreadEntry pEntry, void *pvArgument,
                                            unsigned long &ulThreadID);
CORE_API void sysResumeThread(SysHandle hThread);
CORE_API void sysSuspendThread(SysHandle hThread);
// Stops the thread until it has come to rest, then lets it go on: every store it made before is
// visible to the caller afterwards, and what it reads afterwards comes after the caller's stores.
CORE_API void sysSerializeThread(SysHandle hThread);
// Called on every thread of the process that ends, on that thread (null: nothing is called).
typedef void (*SysThreadEndHook)(void);
CORE_API void sysSetThreadEndHook(SysThreadEndHook pHook);
// The calling thread's system identifier.
CORE_API unsigned long sysGetCurrentThreadID(void);
// The same, read from the thread's environment block (its ClientId, where the system's own
// function reads it) without a call: every mutex operation asks.
inline unsigned long sysGetCurrentThreadIDInline(void)
{
  unsigned long ulID;
  __asm__("movl %%fs:0x24, %0" : "=r"(ulID));
  return ulID;
}
// A real handle of the calling thread, usable from other threads.
CORE_API SysHandle sysDuplicateCurrentThreadHandle(void);
// The calling thread's pseudo-handle (valid only on that thread).
CORE_API SysHandle sysGetCurrentThreadHandle(void);
// The system's priority values (-15 idle, -1, 0, 1, 15 time critical).
CORE_API int sysGetThreadPriority(SysHandle hThread);
CORE_API void sysSetThreadPriority(SysHandle hThread, int iPriority);
CORE_API void sysSleep(unsigned long ulMilliseconds);
// Gives the rest of the time slice to another thread.
CORE_API void sysYield(void);

} // namespace QuennelEngine
