#include "core/threads/SyncPlainLock.h"

namespace QuennelEngine {

// Attempts to take the lock before waiting for it: its holders keep it for a few instructions,
// and a wait costs a system call or two.
static const int ctLockSpins = 1000;

void CSyncPlainLock::Lock(void)
{
  for (int iSpin = 0; iSpin < ctLockSpins; iSpin++) {
    if (spl_ctLock == 0 && sysInterlockedCompareExchange(&spl_ctLock, 1, 0) == 0) return;
    __builtin_ia32_pause();
  }
  if (sysInterlockedIncrement(&spl_ctLock) == 1) return;
  // Held: the holder's release signals once for each waiter it sees, and only the holder
  // releases, so a signal is never given while an earlier one is still unclaimed.
  spl_seWake.InitEventOnce(0);
  spl_seWake.WaitEvent();
}

void CSyncPlainLock::Unlock(void)
{
  if (sysInterlockedDecrement(&spl_ctLock) == 0) return;
  spl_seWake.InitEventOnce(0);
  spl_seWake.SetEvent();
}

} // namespace QuennelEngine
