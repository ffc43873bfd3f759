#pragma once
// CSyncPlainLock: a small non-recursive lock for the thread system's own state (the activity
// lock, a thread's idle state). Taking and releasing it costs one interlocked operation each when
// it is free, whether or not threads are active; its event is made and used only when a thread
// has to wait. A call on an event is a system call (under Wine, a round trip to its server of
// tens of microseconds), which the paths that wake a worker cannot afford several times over.
// It runs no other library code, so a thread may use it while it does not count as active.
#include "core/threads/SyncEvent.h"

namespace QuennelEngine {

class CORE_API CSyncPlainLock {
public:
  constexpr CSyncPlainLock() : spl_ctLock(0), spl_seWake() {}
  CSyncPlainLock(const CSyncPlainLock &) = delete;
  CSyncPlainLock &operator=(const CSyncPlainLock &) = delete;

  // Takes the lock, waiting while another thread holds it. Taking it again on the holding thread
  // waits for ever.
  void Lock(void);
  void Unlock(void);
  // Holders and waiters (0: free); for tests.
  long GetLockCount(void) const { return spl_ctLock; }

private:
  long volatile spl_ctLock; // the holder plus the threads waiting for it
  CSyncEvent spl_seWake;    // auto-reset: each release that finds a waiter hands it the lock
};

} // namespace QuennelEngine
