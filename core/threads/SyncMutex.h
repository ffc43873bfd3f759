#pragma once
// CSyncMutex: a recursive mutex built on a counter and an auto-reset event. The main thread skips
// its atomic operations while no other thread counts as active; any other thread that takes it
// counts as active meanwhile, whether the library made it or not (docs/threads.md).
#include "core/threads/SyncEvent.h"

namespace QuennelEngine {

class CORE_API CSyncMutex {
public:
  // Usable at once, also from static initialisers: the wake event is made on first contention.
  constexpr CSyncMutex()
      : sm_iLevel(-1), sm_ctLock(-1), sm_ulOwner(0), sm_ctRecursion(0), sm_seWake()
  {
  }
  CSyncMutex(const CSyncMutex &) = delete;
  CSyncMutex &operator=(const CSyncMutex &) = delete;

  // Takes the mutex, waiting if another thread holds it; returns the recursion count (1 on the
  // first take).
  long Lock(void);
  // 0 if another thread holds the mutex, 1 if it took a free one, else the new recursion count.
  long TryToLock(void);
  // Releases one hold; returns the remaining recursion count (0 when the mutex became free).
  long Unlock(void);

  // The lock-order level (-1: none).
  long GetLevel(void) const { return sm_iLevel; }
  void SetLevel(long iLevel) { sm_iLevel = iLevel; }
  // Holds and waits minus one (-1: free); for diagnostics and tests.
  long GetLockCount(void) const { return sm_ctLock; }
  // The holder's thread ID (0 when free).
  unsigned long GetOwner(void) const { return sm_ulOwner; }
  long GetRecursion(void) const { return sm_ctRecursion; }
  // True if the calling thread holds the mutex.
  bool IsLockedByThisThread(void) const;
  // True if the wake event is signalled (a release that found no waiter to take it).
  bool IsWakeSignaled(void);

private:
  long sm_iLevel;
  long volatile sm_ctLock;
  unsigned long volatile sm_ulOwner;
  long sm_ctRecursion;
  CSyncEvent sm_seWake;
};

} // namespace QuennelEngine
