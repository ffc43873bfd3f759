#pragma once
// What Core's own hot paths read of the registry without the meta mutex.
#include "core/meta/DataTypeKinds.h"
#include "core/meta/MetaObjects.h"

namespace QuennelEngine {

// Counts changes of the registry: every registration and removal moves it on, and so does
// each type update, which records for every structure whether a registered class derives from it.
extern unsigned long _md_ulTypeGeneration;

// Whether no registered class derives from a structure (as the last type update found, with
// nothing registered or removed since): then its objects' dynamic type is the structure itself.
inline bool mdHasNoDerivedClass(const CDataType_Struct *pdtst)
{
  // The generation first: once it is seen, so are all the marks of the update that made it,
  // where a mark read first could be one that the update was about to clear.
  const unsigned long ulGeneration = __atomic_load_n(&_md_ulTypeGeneration, __ATOMIC_ACQUIRE);
  return __atomic_load_n(&pdtst->dtst_ulNoDerivedAt, __ATOMIC_RELAXED) == ulGeneration;
}

// mdGetDynamicType with the common case inline: a class that nothing derives from.
inline CDataType *mdDynamicTypeOf(CDataType *pdt, void *pv)
{
  if (pdt != nullptr && pdt->dt_dttKind == DTT_STRUCT &&
      mdHasNoDerivedClass(static_cast<CDataType_Struct *>(pdt))) {
    return pdt;
  }
  return mdGetDynamicType(pdt, pv);
}

} // namespace QuennelEngine
