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
  const unsigned long ul = __atomic_load_n(&pdtst->dtst_ulNoDerivedAt, __ATOMIC_RELAXED);
  return ul != 0 && ul == __atomic_load_n(&_md_ulTypeGeneration, __ATOMIC_ACQUIRE);
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
