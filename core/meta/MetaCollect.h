#pragma once
// The collection closure: everything a root object reaches, sorted into what belongs to the graph
// being saved or copied (internal), what is only referred to (external) and what is editor-only
// data. It fills the meta index of the calling thread's innermost context (MetaIndex.h).
//
// Collecting a reference (mdCollectReference_t) adds the object to the index, pending; the
// closure (_mdCollectClosure_t) then visits every internal object once, in two passes (edit
// objects last), through its type's Collect operation or mdCollectObjectDefault_t, which collects
// the references the object holds in turn.
#include "core/meta/MetaPointer.h"

namespace QuennelEngine {

class CObject;
class CSmartObject;

// What the collection needs to know about resources, which live in the layer above the metadata:
// the resources layer installs an inspector when it loads.
struct MetaResourceInfo {
  int mri_bResource;         // the object is a resource
  int mri_bProxy;            // ... a resource proxy
  int mri_bShared;           // registered in a file
  int mri_bExposed;          // exposed by its storage file
  CObject *mri_pStorageFile; // the file that stores it, or null
  CDataType *mri_pdtProxied; // for a proxy: the type of the resource it stands for
};
typedef MetaResourceInfo (*MetaResourceInspector)(const CMetaPointer &mp);
// Installs the inspector (null: every CSmartObject counts as a resource of no file). Only counted
// objects (CSmartObject) can be resources: the collection asks the inspector about those only.
CORE_API void mdSetResourceInspector(MetaResourceInspector pInspector);
CORE_API MetaResourceInfo mdInspectResource(const CMetaPointer &mp);

// Adds a type to the index if it is not there; returns its index.
CORE_API long mdCollectType_t(CDataType *pdt);
CORE_API long mdCollectIdent_t(IDENT id);
// Adds a referenced object, with the flags of the reference (SMF_OWNED, SMF_EDIT, SMF_DELAYLOAD,
// SMF_LOADONDEMAND...). Returns its index, or -1 for a null object.
CORE_API long mdCollectReference_t(CMetaPointer mp, unsigned long ulFlags);
// The same for a smart pointer's target; the reference is counted.
CORE_API long mdCollectSmartReference_t(CMetaPointer mp, unsigned long ulFlags);
// Visits an object's contents: its type's Collect operation, or the default by kind.
CORE_API void mdCollectObject_t(CMetaFrame &mf);
CORE_API void mdCollectObjectDefault_t(CMetaFrame &mf);
// Works the pending objects until none is left.
CORE_API void _mdCollectClosure_t(void);

// While the innermost context clears a resource file (its ms_bCollectingForClear set), an object
// whose count drops but stays above 0 is reported here by RemRef: the context keeps it, with a
// reference of its own, among the objects that outlived the clearing. Elsewhere it does nothing.
CORE_API void mdCollectToBeCleared(CSmartObject *pso);
// The objects reported so far in the innermost context; mdReleaseToBeCleared drops the
// context's references to them (with reporting off) and returns how many there were.
CORE_API long mdCountToBeCleared(void);
CORE_API CSmartObject *mdGetToBeCleared(long i);
CORE_API long mdReleaseToBeCleared(void);

} // namespace QuennelEngine
