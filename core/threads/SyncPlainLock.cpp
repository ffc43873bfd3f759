#include "core/threads/SyncPlainLock.h"

namespace QuennelEngine {

void CSyncPlainLock::Lock(void)
{
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
