#include "core/meta/Object.h"

#include "core/threads/SyncLock.h"

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

void CSmartObject::AddRef(void)
{
  CSyncLock sl(mdGetSmartObjectMutex());
  so_ctReferences++;
}

long CSmartObject::RemRef(void)
{
  long ct;
  {
    CSyncLock sl(mdGetSmartObjectMutex());
    ct = --so_ctReferences;
  }
  if (ct < 1) {
    DeleteSelf();
    return 0;
  }
  return ct;
}

} // namespace QuennelEngine
