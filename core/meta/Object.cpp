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

// The main thread changes the counts in plain steps while no other thread counts as active;
// every other thread counts as active while it changes one (docs/threads.md).
void CSmartObject::AddRef(void)
{
  if (!ThreadsPrivate::IsCallerMainThread()) {
    ThreadsPrivate::BeginSharedAccess();
    __atomic_add_fetch(&so_ctReferences, 1, __ATOMIC_SEQ_CST);
    ThreadsPrivate::EndSharedAccess();
  } else if (ThreadsPrivate::BeginPlainStep()) {
    so_ctReferences++;
    ThreadsPrivate::EndPlainStep();
  } else {
    __atomic_add_fetch(&so_ctReferences, 1, __ATOMIC_SEQ_CST);
  }
}

// Adds a reference only while there is one, in one atomic step.
static bool AddRefIfPositive(long volatile &ctReferences)
{
  long ct = __atomic_load_n(&ctReferences, __ATOMIC_SEQ_CST);
  while (ct > 0) {
    if (__atomic_compare_exchange_n(&ctReferences, &ct, ct + 1, false, __ATOMIC_SEQ_CST,
                                    __ATOMIC_SEQ_CST)) {
      return true;
    }
  }
  return false;
}

bool CSmartObject::AddRefIfReferenced(void)
{
  if (!ThreadsPrivate::IsCallerMainThread()) {
    ThreadsPrivate::BeginSharedAccess();
    const bool bAdded = AddRefIfPositive(so_ctReferences);
    ThreadsPrivate::EndSharedAccess();
    return bAdded;
  }
  if (!ThreadsPrivate::BeginPlainStep()) return AddRefIfPositive(so_ctReferences);
  const bool bAdded = so_ctReferences > 0;
  if (bAdded) so_ctReferences++;
  ThreadsPrivate::EndPlainStep();
  return bAdded;
}

long CSmartObject::RemRef(void)
{
  long ct;
  if (!ThreadsPrivate::IsCallerMainThread()) {
    ThreadsPrivate::BeginSharedAccess();
    ct = __atomic_sub_fetch(&so_ctReferences, 1, __ATOMIC_SEQ_CST);
    ThreadsPrivate::EndSharedAccess();
  } else if (ThreadsPrivate::BeginPlainStep()) {
    ct = so_ctReferences - 1;
    so_ctReferences = ct;
    ThreadsPrivate::EndPlainStep();
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
