#pragma once
// The meta context's state, shared by the index, the collection and the copy.
#include "core/memory/DynamicContainer.h"
#include "core/memory/Memory.h"
#include "core/memory/StaticStackArray.h"
#include "core/meta/AddressIndex.h"
#include "core/meta/DataType.h"
#include "core/meta/MetaIndex.h"

namespace QuennelEngine {

class CSmartObject;

struct MetaIndexObject {
  CMetaPointer mio_mp;
  unsigned long mio_ulFlags;
  long mio_ctReferences;
};

struct MetaIndexType {
  CDataType *mit_pdt;
  bool mit_bExternal;
  // What the collection learnt about the type in this operation. Objects of a plain type are
  // no resources and stand for themselves (-1: not asked yet).
  signed char mit_cPlain = -1;
  // Its walk as steps of mc_saCollectSteps, for the switches it was made with (state 0: none,
  // 1: one object walked, 2: made).
  signed char mit_cPlanState = 0;
  unsigned long mit_ulPlanSwitches = 0;
  long mit_iPlanFirst = 0;
  long mit_ctPlanSteps = 0;
  long mit_slPlanBytes = 0; // the bytes its plain parts add to the collected bytes
};

// One step of a structure's collection walk: a plain pointer followed, or a part that needs the
// walk of its own type.
struct CollectPlanStep {
  bool cps_bPointer;
  long cps_slOffset;
  CDataType *cps_pdt; // the pointer's target, or the part's type
  unsigned long cps_ulFlags;
};

class CMetaContext {
public:
  CMetaContext(CMetaContext *pmcOuter);
  ~CMetaContext(void);
  void Clear(void);
  // The bytes its tables keep allocated.
  size_t BytesHeld(void) const;

  CStaticStackArray<MetaIndexObject> mc_saObjects;
  CAddressIndex mc_aiObjects; // address -> object index
  CStaticStackArray<CMetaPointer> mc_saCopies;
  CStaticStackArray<MetaIndexType> mc_saTypes;
  // descriptor -> type index: a descriptor's save index is only a hint, since an operation
  // nested in this one (or on another thread) numbers the same descriptors for itself
  CAddressIndex mc_aiTypes;
  CStaticStackArray<IDENT> mc_saIdents;
  CAddressIndex mc_aiIdents; // identifier -> index
  CObject *mc_pSavedFile;
  // Indices of the objects the collection still has to visit.
  CStaticStackArray<long> mc_saiPending;
  CStaticStackArray<CollectPlanStep> mc_saCollectSteps;
  // References held while smart pointers are cleared.
  CDynamicContainer<CSmartObject> mc_dcHeld;
  // Objects that outlived a clearing (each with a reference taken for the list).
  CDynamicContainer<CSmartObject> mc_dcToBeCleared;
  MetaSwitches mc_ms;
  CMetaContext *mc_pmcOuter;
  // A thread's base context serves callers that use the index outside any operation's scope:
  // its switches are the process-wide ones at each collection call.
  bool mc_bThreadBase = false;
  // The depth of a write's data walk.
  long mc_iWriteNesting = 0;
};

// The index operations on a context the caller already holds (the hot paths of the collection
// and the copy ask for the thread's context once).
inline long mdIndexOfObjectIn(const CMetaContext *pmc, const void *pv)
{
  return pv == nullptr ? -1 : pmc->mc_aiObjects.Find(pv);
}
inline long mdAddObjectTo(CMetaContext *pmc, const CMetaPointer &mp)
{
  const long i = pmc->mc_saObjects.Count();
  pmc->mc_saObjects.Push(MetaIndexObject{mp, MIF_EXTERNAL, 0});
  if (mp.mp_pvObject != nullptr) pmc->mc_aiObjects.Add(mp.mp_pvObject, i);
  return i;
}
// The index of a descriptor in the context's types, or -1, when its save index is not this
// context's (out of line: the common case never gets here).
long mdTypeIndexSlow(CMetaContext *pmc, CDataType *pdt);
// Adds a descriptor that the context does not hold yet; returns its index.
long mdAddTypeSlow(CMetaContext *pmc, CDataType *pdt);

inline long mdTypeIndexIn(CMetaContext *pmc, CDataType *pdt)
{
  const long i = pdt->dt_iSaveIndex;
  if (i >= 0 && i < pmc->mc_saTypes.Count() && pmc->mc_saTypes[i].mit_pdt == pdt) return i;
  return mdTypeIndexSlow(pmc, pdt);
}
inline long mdCollectTypeIn(CMetaContext *pmc, CDataType *pdt)
{
  if (pdt == nullptr) return -1;
  const long i = pdt->dt_iSaveIndex;
  if (i >= 0 && i < pmc->mc_saTypes.Count() && pmc->mc_saTypes[i].mit_pdt == pdt) return i;
  return mdAddTypeSlow(pmc, pdt);
}

} // namespace QuennelEngine
