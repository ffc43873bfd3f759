#include "core/meta/Object.h"

#include "core/meta/MetaCollect.h"
#include "core/meta/MetaSettings.h"
#include "core/threads/SyncMutex.h"
#include "core/threads/Threads.h"

namespace QuennelEngine {

MD_CLASS_BEGIN(CObject, void, 1)
MD_CLASS_END()

MD_CLASS_BEGIN(CSmartObject, CObject, 1)
MD_MEMBER(so_ulFlags, SMF_NOSAVE, "Flags")
MD_MEMBER(so_ctReferences, SMF_NOSAVE, "References")
MD_CLASS_END()

CSyncMutex *mdGetSmartObjectMutex(void)
{
  static CSyncMutex *_psm = new CSyncMutex;
  return _psm;
}

void CSmartObject::DeleteSelf(void)
{
  delete this;
}

CSmartObject *CSmartObject::AcquireReplacement(void)
{
  return nullptr;
}

void CSmartObject::InitiateDelayedLoad(void)
{
}

int CSmartObject::IsReplacementReady(void)
{
  return 0;
}

// While no worker thread is active only the calling thread runs library code (docs/threads.md),
// so the counts need no bus lock then.
void CSmartObject::AddRef(void)
{
  if (thr_ctActiveThreads == 0) {
    so_ctReferences++;
  } else {
    __atomic_add_fetch(&so_ctReferences, 1, __ATOMIC_SEQ_CST);
  }
}

bool CSmartObject::AddRefIfReferenced(void)
{
  if (thr_ctActiveThreads == 0) {
    if (so_ctReferences <= 0) return false;
    so_ctReferences++;
    return true;
  }
  long ct = __atomic_load_n(&so_ctReferences, __ATOMIC_SEQ_CST);
  while (ct > 0) {
    if (__atomic_compare_exchange_n(&so_ctReferences, &ct, ct + 1, false, __ATOMIC_SEQ_CST,
                                    __ATOMIC_SEQ_CST)) {
      return true;
    }
  }
  return false;
}

long CSmartObject::RemRef(void)
{
  long ct;
  if (thr_ctActiveThreads == 0) {
    ct = so_ctReferences - 1;
    so_ctReferences = ct;
  } else {
    ct = __atomic_sub_fetch(&so_ctReferences, 1, __ATOMIC_SEQ_CST);
  }
  if (ct < 1) {
    DeleteSelf();
    return 0;
  }
  if (md_bCollectingForClear) mdCollectToBeCleared(this);
  return ct;
}

} // namespace QuennelEngine
