#include "core/threads/SyncEvent.h"

#include "core/frame/CodeGuard.h"

namespace QuennelEngine {

CSyncEvent::~CSyncEvent()
{
  sysCloseHandle(se_hEvent);
}

void CSyncEvent::InitEvent(unsigned long ulFlags)
{
  sysCloseHandle(se_hEvent);
  se_ulFlags = ulFlags;
  se_hEvent = sysCreateEvent(ulFlags & SEF_MANUALRESET, ulFlags & SEF_SIGNALED);
}

void CSyncEvent::InitEventOnce(unsigned long ulFlags)
{
  if (se_hEvent != nullptr) return;
  SysHandle hNew = sysCreateEvent(ulFlags & SEF_MANUALRESET, ulFlags & SEF_SIGNALED);
  se_ulFlags = ulFlags;
  // Whoever stores first wins; the loser's event is closed unused.
  if (__sync_val_compare_and_swap(&se_hEvent, (SysHandle) nullptr, hNew) != nullptr) {
    sysCloseHandle(hNew);
  }
}

void CSyncEvent::SetEvent(void)
{
  if (se_hEvent == nullptr) {
    corLogGuardBreach();
    return;
  }
  sysSetEvent(se_hEvent);
}

void CSyncEvent::ResetEvent(void)
{
  if (se_hEvent == nullptr) {
    corLogGuardBreach();
    return;
  }
  sysResetEvent(se_hEvent);
}

void CSyncEvent::WaitEvent(void)
{
  WaitEvent(SYS_WAIT_FOREVER);
}

bool CSyncEvent::WaitEvent(unsigned long ulMilliseconds)
{
  if (se_hEvent == nullptr) {
    // Waiting on nothing would report a signal that never came.
    corLogGuardBreach();
    return false;
  }
  return sysWaitHandle(se_hEvent, ulMilliseconds);
}

int CSyncEvent::IsSignaled(void)
{
  if (se_hEvent == nullptr) return 0;
  if (!sysWaitHandle(se_hEvent, 0)) return 0;
  // The test took the signal of an auto-reset event: give it back.
  if (!(se_ulFlags & SEF_MANUALRESET)) sysSetEvent(se_hEvent);
  return 1;
}

} // namespace QuennelEngine
