#pragma once
// CSyncLock: holds one CSyncMutex for a scope, at most once.
#include "core/threads/SyncMutex.h"

namespace QuennelEngine {

class CORE_API CSyncLock {
public:
  // Takes the mutex at once unless `bLockNow` is 0.
  explicit CSyncLock(CSyncMutex *psm, int bLockNow = 1);
  ~CSyncLock();
  CSyncLock(const CSyncLock &) = delete;
  CSyncLock &operator=(const CSyncLock &) = delete;

  // Takes the mutex unless this lock holds it already.
  void Lock(void);
  // Takes the mutex if it is free (or held by this thread); returns the locked flag.
  int TryToLock(void);
  // Releases the mutex if this lock holds it.
  void Unlock(void);
  int IsLocked(void) const { return sl_bLocked; }

private:
  // Level bookkeeping around a first take and a full release.
  void Entered(long ctRecursion);

  int sl_bLocked;
  CSyncMutex *sl_psm;
  long sl_iSavedLevel;
};

// The calling thread's current lock level (nothing in the library gives a mutex a level).
CORE_API long thrGetCurrentLockLevel(void);

} // namespace QuennelEngine
