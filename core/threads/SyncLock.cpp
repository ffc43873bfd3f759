#include "core/threads/SyncLock.h"

#include "core/frame/CodeGuard.h"

namespace QuennelEngine {

static thread_local long _thr_iCurrentLockLevel = -1;

long thrGetCurrentLockLevel(void)
{
  return _thr_iCurrentLockLevel;
}

CSyncLock::CSyncLock(CSyncMutex *psm, int bLockNow) : sl_bLocked(0), sl_psm(psm), sl_iSavedLevel(-2)
{
  if (psm == nullptr) {
    corLogGuardBreach();
    return;
  }
  if (bLockNow) Lock();
}

CSyncLock::~CSyncLock()
{
  if (sl_bLocked) Unlock();
}

void CSyncLock::Entered(long ctRecursion)
{
  sl_bLocked = 1;
  if (ctRecursion == 1 && sl_psm->GetLevel() != -1) {
    sl_iSavedLevel = _thr_iCurrentLockLevel;
    _thr_iCurrentLockLevel = sl_psm->GetLevel();
  }
}

void CSyncLock::Lock(void)
{
  if (sl_bLocked || sl_psm == nullptr) return;
  Entered(sl_psm->Lock());
}

int CSyncLock::TryToLock(void)
{
  if (sl_bLocked || sl_psm == nullptr) return sl_bLocked;
  long ctRecursion = sl_psm->TryToLock();
  if (ctRecursion != 0) Entered(ctRecursion);
  return sl_bLocked;
}

void CSyncLock::Unlock(void)
{
  if (!sl_bLocked) return;
  sl_bLocked = 0;
  if (sl_psm->Unlock() == 0 && sl_psm->GetLevel() != -1 && sl_iSavedLevel != -2) {
    _thr_iCurrentLockLevel = sl_iSavedLevel;
    sl_iSavedLevel = -2;
  }
}

} // namespace QuennelEngine
