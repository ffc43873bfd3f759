#pragma once
// The meta index: the objects, types and identifiers that take part in one save, load, copy or
// collection, numbered in the order they were added, with per-object flags, reference counts and
// (during a copy) the copies. Each operation works in a meta context of its own: contexts form a
// stack per thread, so a load on the loading thread and a copy on the main thread never share
// an index, and a copy made inside a read hook leaves the read's index alone. The md... index
// functions work on the calling thread's innermost context.
#include "core/meta/MetaPointer.h"

namespace QuennelEngine {

class CMetaContext;
class CObject;

// Object flags of the index.
enum : unsigned long {
  MIF_EXTERNAL = 0x1,       // belongs to another file, only referred to (every entry starts so)
  MIF_RETAINED = 0x2,       // a copy keeps the original
  MIF_EDIT = 0x4,           // editor-only data
  MIF_DELAYED = 0x8,        // to be loaded delayed
  MIF_LOADONDEMAND = 0x10,  // to be loaded on demand
  MIF_COLLECTED = 0x20,     // contents collected
  MIF_PENDING = 0x40000000, // on the pending list of the collection
};

// The switches an operation may change, copied from the process-wide ones when a context starts.
struct MetaSwitches {
  int ms_bInEditor;
  int ms_bDiscardEditData;
  int ms_bCopyEditData;
  int ms_bResolveProxies;
  int ms_bShareExposedObjects;
  int ms_bForceResourcesAsExtern;
  int ms_bCollectForCopying;
  int ms_bCopyRetainsAll;
  int ms_bCopyClipboard;
  int ms_bCollectingForClear;
  int ms_bCopyExternalHandles;
  long ms_slCollectedBytes;
  // The switches as the process-wide variables set them now (no bytes collected).
  static MetaSwitches FromGlobals(void);
  // Takes the process-wide switches again, keeping the bytes collected so far.
  void FollowGlobals(void);
};

// Pushes a new meta context on the calling thread for its lifetime (a save, load, copy or
// collection); the switches start from the process-wide ones.
class CORE_API CMetaContextScope {
public:
  CMetaContextScope(void);
  ~CMetaContextScope(void);
  CMetaContextScope(const CMetaContextScope &) = delete;
  CMetaContextScope &operator=(const CMetaContextScope &) = delete;
  CMetaContext *GetContext(void) const { return mcs_pmc; }

private:
  CMetaContext *mcs_pmc;
};

// The calling thread's innermost context (a thread's base context is made on first use).
CORE_API CMetaContext *mdGetMetaContext(void);
// The switches of the innermost context.
CORE_API MetaSwitches &mdGetMetaSwitches(void);

// Starts an operation in the innermost context: clears its tables (objects, types, identifiers,
// copies, the file being saved) and takes the process-wide switches as they are now, so an
// operation follows every switch changed before it (library operations adjust their context's
// switches after this). Outside any scope, the collection entry points follow the process-wide
// switches at every call. mdCleanupMetaIndex also resets the collected types' save indices to -1
// and deletes the descriptors built from a file that the index holds.
CORE_API void mdSetupMetaIndex(void);
CORE_API void mdCleanupMetaIndex(void);

// Objects. mdAddObject appends (external, no flags otherwise) and returns the index.
CORE_API long mdAddObject(CMetaPointer mp);
CORE_API long mdObjectToIndex(CMetaPointer mp);
// A null pointer for an index out of range.
CORE_API CMetaPointer mdIndexToObject(long iObject);
CORE_API long mdGetObjectCount(void);
// Makes room for (or drops to) `ct` objects; new entries are null and external.
CORE_API void mdSetObjectCount(long ct);
// Replaces the object at an index (the reader fills the table it sized).
CORE_API void mdSetObject(long iObject, CMetaPointer mp);
CORE_API unsigned long mdGetObjectFlags(long iObject);

CORE_API void mdMarkObjectAsInternal(long iObject);
CORE_API void mdMarkObjectAsRetained(long iObject);
CORE_API void mdMarkObjectAsEdit(long iObject);
CORE_API void mdMarkObjectAsNotEdit(long iObject);
CORE_API void mdMarkObjectAsDelayedLoaded(long iObject);
CORE_API void mdMarkObjectAsLoadedOnDemand(long iObject);
CORE_API void mdMarkObjectAsCollected(long iObject);
CORE_API int mdIsObjectExternal(long iObject);
CORE_API int mdIsObjectRetained(long iObject);
CORE_API int mdIsObjectEdit(long iObject);
CORE_API int mdIsObjectDelayedLoaded(long iObject);
CORE_API int mdIsObjectLoadedOnDemand(long iObject);
CORE_API int mdIsObjectCollected(long iObject);

// Reference counts: one more reference to an object (added when it is new); the count.
CORE_API long mdAddObjectReference(CMetaPointer mp);
CORE_API long mdGetObjectReferences(long iObject);

// Copies: the table is sized to the objects; an entry is the copy of the object at its index.
CORE_API void mdSetObjectCopyCount(void);
CORE_API void mdSetObjectCopyIndex(long iObject, CMetaPointer mpCopy);
CORE_API CMetaPointer mdIndexToObjectCopy(long iObject);
// The copy of an object, or the input itself when its address is null or it is not in the index.
CORE_API CMetaPointer mdObjectToObjectCopy(CMetaPointer mp);

// Types: a descriptor's index is kept in its save index.
CORE_API long mdAddType(CDataType *pdt);
CORE_API void mdSetTypeCount(long ct);
CORE_API long mdGetTypeCount(void);
CORE_API long mdTypeToIndex(CDataType *pdt);
CORE_API CDataType *mdIndexToType(long iType);
CORE_API void mdSetTypeIndex(long iType, CDataType *pdt);
CORE_API void mdMarkTypeAsInternal(long iType);
CORE_API int mdIsTypeExternal(long iType);

// Identifiers.
CORE_API long mdAddIdent(IDENT id);
CORE_API void mdSetIdentCount(long ct);
CORE_API long mdGetIdentCount(void);
CORE_API long mdIdentToIndex(IDENT id);
CORE_API IDENT mdIndexToIdent(long iIdent);
CORE_API void mdSetIdentIndex(long iIdent, IDENT id);

// The resource file being saved (set by the writer; null otherwise).
CORE_API void mdSetSavedResourceFile(CObject *pFile);
CORE_API CObject *mdGetSavedResourceFile(void);

} // namespace QuennelEngine
