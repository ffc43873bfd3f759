#include "core/meta/Handle.h"

namespace QuennelEngine {

CMetaHandle::CMetaHandle(void *pv, CDataType *pdt)
    : mh_ulHandle(hvPointerToHandle(pv)), mh_pdtType(pdt)
{
}

CMetaHandle::CMetaHandle(const CMetaPointer &mp)
    : mh_ulHandle(hvPointerToHandle(mp.mp_pvObject)), mh_pdtType(mp.mp_pdtType)
{
}

bool CMetaHandle::IsValid(void) const
{
  return mh_pdtType != nullptr && hvHandleToPointer(mh_ulHandle) != nullptr;
}

CMetaPointer CMetaHandle::GetPointer(void) const
{
  void *pv = hvHandleToPointer(mh_ulHandle);
  return CMetaPointer(pv == nullptr ? nullptr : mh_pdtType, pv);
}

} // namespace QuennelEngine
