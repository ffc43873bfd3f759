#pragma once
// The state of the metadata writer and reader of the calling thread, shared by the writing,
// reading and primitive sources.
#include "core/memory/StaticStackArray.h"
#include "core/meta/MetaFiles.h"
#include "core/meta/MetaIndex.h"
#include "core/meta/MetaObjects.h"
#include "core/meta/MetaStreams.h"

namespace QuennelEngine {

class CMetaContext;
class CSmartObject;

// One object of a file being read.
struct MetaReadObject {
  CMetaPointer mro_mp;    // the program's type and the address (null until made)
  CDataType *mro_pdtFile; // the layout in the file (internal objects)
  bool mro_bExternal;     // resolved through the resources layer
  bool mro_bReferenced;   // the root reaches it through the references read (the root counts)
  long mro_iDeferredFile; // for a reference into a file loading up the stack: its entry, else -1
  long mro_iResID;        // ... and the resource's ID there
  // The references its data held when it was read before anything reached it: a run of
  // mrc_aiEdges (-1 until its data is read).
  long mro_iFirstEdge;
  long mro_ctEdges;
};

// One referenced resource file.
struct MetaReadFile {
  CString mrf_strName;
  unsigned long mrf_ulFlags;
  CObject *mrf_pFile;
  bool mrf_bInProgress; // being loaded up this thread's stack: bound when its load completes
};

// Everything one read owns. Reads nest on a thread (a stack of these).
struct CMetaReadContext {
  CMetaReadContext *mrc_pOuter = nullptr;
  CMetaReader *mrc_pReader = nullptr;
  CStream *mrc_pstrm = nullptr;
  long mrc_iVersion = -1;
  long mrc_iEditStripped = 0;
  bool mrc_bConverted = false;
  bool mrc_bDelayed = false;
  long mrc_ctInfoObjects = 0;
  long mrc_ctInfoTypes = 0;
  CStaticStackArray<CDataType *> mrc_apdtTypes;     // by index: file descriptors or program types
  CStaticStackArray<CDataType *> mrc_apdtFileTypes; // the descriptors built from the file (owned)
  CStaticStackArray<MetaReadObject> mrc_aObjects;
  CStaticStackArray<IDENT> mrc_aidIdents;
  CStaticStackArray<MetaReadFile> mrc_aFiles;
  CStaticStackArray<CSmartObject *> mrc_apsoHeld; // references held until the end of the load
  long mrc_iSerial = 0;                           // tells this read's deferred references apart
  // The targets of the references read in objects not reached yet, a run per object: the
  // objects reached when read mark their targets at once, so a file whose objects come in the
  // order the root reaches them stores none.
  CStaticStackArray<long> mrc_aiEdges;
  // The object whose data is being read: its index (-1 between objects), its address, and
  // whether it was reached when its reading began.
  long mrc_iReadingObject = -1;
  long mrc_iNesting = 0; // the depth of the data walk
  void *mrc_pvReadingOwner = nullptr;
  bool mrc_bReadingReached = false;
  // While the objects' data is read: a bit per object reached so far (merged into the objects
  // afterwards), and what a reference to each object stores (a null type where a reference
  // takes the full path: deferred, external or missing objects). Small and dense, so that the
  // references of a large file find their targets in the cache.
  CStaticStackArray<unsigned long> mrc_aulReached;
  CStaticStackArray<CMetaPointer> mrc_ampTargets;
};

// Notes a reference to an object read inside the data of the object being read (inline: the
// references of a large file come by the million).
inline void mdNoteReadReference(CMetaReadContext &rc, long iObject)
{
  if (rc.mrc_iReadingObject < 0) return;
  if (rc.mrc_bReadingReached) {
    if ((iObject >> 5) < rc.mrc_aulReached.Count()) {
      rc.mrc_aulReached[iObject >> 5] |= 1UL << (iObject & 31);
    } else {
      rc.mrc_aObjects[iObject].mro_bReferenced = true;
    }
  } else {
    rc.mrc_aiEdges.Push() = iObject;
  }
}

// Whether edit data goes into files and comes out of them (in the editor, unless discarded).
inline bool mdKeepsEditData(void)
{
  const MetaSwitches &ms = mdGetMetaSwitches();
  return ms.ms_bInEditor && !ms.ms_bDiscardEditData;
}

// Remembers, per type, whether a hook would run in its objects (few types, many objects).
class CHookCache {
public:
  explicit CHookCache(int iSlot) : hc_iSlot(iSlot) {}
  bool Has(CDataType *pdt)
  {
    for (const Entry &e : hc_aEntries) {
      if (e.e_pdt == pdt) return e.e_bHas;
    }
    const bool bHas = mdHasHookInParts(pdt, hc_iSlot) != 0;
    hc_aEntries.Push(Entry{pdt, bHas});
    return bHas;
  }

private:
  struct Entry {
    CDataType *e_pdt;
    bool e_bHas;
  };
  int hc_iSlot;
  CStaticStackArray<Entry> hc_aEntries;
};

// The calling thread's current writer and read context (null when none).
CMetaWriter *mdCurrentWriter(void);
CMetaReadContext *mdCurrentReadContext(void);
// The current writer or reader, or a guard breach and an exception when none.
CMetaWriter &mdMustWriter_t(void);
CMetaReader &mdMustReader_t(void);
void mdSetCurrentWriter(CMetaWriter *pmw);
void mdSetCurrentReadContext(CMetaReadContext *pmrc);

} // namespace QuennelEngine
