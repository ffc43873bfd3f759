#pragma once
// The meta context's state, shared by the index, the collection and the copy.
#include "core/memory/DynamicContainer.h"
#include "core/memory/SimpleHashTable.h"
#include "core/memory/StaticStackArray.h"
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
};

class CMetaContext {
public:
  CMetaContext(CMetaContext *pmcOuter);
  ~CMetaContext(void);
  void Clear(void);

  CStaticStackArray<MetaIndexObject> mc_saObjects;
  CSimpleHashTable mc_shtObjects; // address -> object index
  CStaticStackArray<CMetaPointer> mc_saCopies;
  CStaticStackArray<MetaIndexType> mc_saTypes;
  CStaticStackArray<IDENT> mc_saIdents;
  CSimpleHashTable mc_shtIdents; // identifier -> index
  CObject *mc_pSavedFile;
  // Indices of the objects the collection still has to visit.
  CStaticStackArray<long> mc_saiPending;
  // References held while smart pointers are cleared.
  CDynamicContainer<CSmartObject> mc_dcHeld;
  // Objects that outlived a clearing (each with a reference taken for the list).
  CDynamicContainer<CSmartObject> mc_dcToBeCleared;
  MetaSwitches mc_ms;
  CMetaContext *mc_pmcOuter;
};

} // namespace QuennelEngine
