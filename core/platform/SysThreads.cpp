#include "core/platform/SysThreads.h"

#include "core/platform/SysFatal.h"

#include <windows.h>

namespace QuennelEngine {

static SysThreadEndHook volatile _sys_pThreadEndHook = nullptr;

void sysSetThreadEndHook(SysThreadEndHook pHook)
{
  _sys_pThreadEndHook = pHook;
}

} // namespace QuennelEngine

// Told of every thread's end, on that thread, whoever made it (thread-local destructors are no
// place for such work here: the runtime may free their storage first).
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD dwReason, LPVOID)
{
  if (dwReason == DLL_THREAD_DETACH) {
    QuennelEngine::SysThreadEndHook pHook = QuennelEngine::_sys_pThreadEndHook;
    if (pHook != nullptr) pHook();
  }
  return TRUE;
}

namespace QuennelEngine {

long sysInterlockedIncrement(long volatile *plValue)
{
  return InterlockedIncrement(plValue);
}

long sysInterlockedDecrement(long volatile *plValue)
{
  return InterlockedDecrement(plValue);
}

long sysInterlockedCompareExchange(long volatile *plValue, long lNew, long lExpected)
{
  return InterlockedCompareExchange(plValue, lNew, lExpected);
}

SysHandle sysCreateEvent(bool bManualReset, bool bInitiallySignaled)
{
  HANDLE hEvent = CreateEventW(nullptr, bManualReset, bInitiallySignaled, nullptr);
  if (hEvent == nullptr) {
    sysFatalSystemError("CreateEvent", GetLastError());
  }
  return hEvent;
}

void sysSetEvent(SysHandle hEvent)
{
  SetEvent((HANDLE)hEvent);
}

void sysResetEvent(SysHandle hEvent)
{
  ResetEvent((HANDLE)hEvent);
}

bool sysWaitHandle(SysHandle hObject, unsigned long ulMilliseconds)
{
  return WaitForSingleObject((HANDLE)hObject, ulMilliseconds) == WAIT_OBJECT_0;
}

void sysCloseHandle(SysHandle hObject)
{
  if (hObject != nullptr) CloseHandle((HANDLE)hObject);
}

SysHandle sysCreateSuspendedThread(SysThreadEntry pEntry, void *pvArgument,
                                   unsigned long &ulThreadID)
{
  DWORD dwID = 0;
  HANDLE hThread =
      CreateThread(nullptr, 0, (LPTHREAD_START_ROUTINE)pEntry, pvArgument, CREATE_SUSPENDED, &dwID);
  if (hThread == nullptr) {
    sysFatalSystemError("CreateThread", GetLastError());
  }
  ulThreadID = dwID;
  return hThread;
}

void sysResumeThread(SysHandle hThread)
{
  ResumeThread((HANDLE)hThread);
}

void sysSuspendThread(SysHandle hThread)
{
  SuspendThread((HANDLE)hThread);
}

void sysSerializeThread(SysHandle hThread)
{
  if (SuspendThread((HANDLE)hThread) == (DWORD)-1) return;
  // A suspension is asynchronous: reading the context waits until the thread has stopped, and
  // stopping drains its pending stores (the system's own stand-in for a process-wide barrier,
  // which some systems leave unimplemented).
  CONTEXT ctx;
  ctx.ContextFlags = CONTEXT_INTEGER;
  GetThreadContext((HANDLE)hThread, &ctx);
  ResumeThread((HANDLE)hThread);
}

unsigned long sysGetCurrentThreadID(void)
{
  return GetCurrentThreadId();
}

SysHandle sysDuplicateCurrentThreadHandle(void)
{
  HANDLE hThread = nullptr;
  HANDLE hProcess = GetCurrentProcess();
  if (!DuplicateHandle(hProcess, GetCurrentThread(), hProcess, &hThread, 0, FALSE,
                       DUPLICATE_SAME_ACCESS)) {
    sysFatalSystemError("DuplicateHandle", GetLastError());
  }
  return hThread;
}

SysHandle sysGetCurrentThreadHandle(void)
{
  return GetCurrentThread();
}

int sysGetThreadPriority(SysHandle hThread)
{
  return GetThreadPriority((HANDLE)hThread);
}

void sysSetThreadPriority(SysHandle hThread, int iPriority)
{
  SetThreadPriority((HANDLE)hThread, iPriority);
}

void sysSleep(unsigned long ulMilliseconds)
{
  Sleep(ulMilliseconds);
}

void sysYield(void)
{
  SwitchToThread();
}

} // namespace QuennelEngine
