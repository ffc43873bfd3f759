#pragma once
// Deep copies of object graphs, the clipboard, and breaking cycles of smart pointers. A copy
// collects what the source reaches (MetaCollect.h) in a meta context of its own, makes a new
// object for every internal one, copies the contents member by member and translates references
// to the copies: an owned sub-object is duplicated, a reference to an object of the copied graph
// points at its copy, a shared resource stays shared, any other external reference becomes null
// (or stays, with md_bCopyRetainsAll).
#include "core/memory/StaticStackArray.h"
#include "core/meta/MetaPointer.h"

namespace QuennelEngine {

// Copies the graph of `mpSource` into `mpDestination` when that is a valid object (of a type that
// copies into it), else into a new object stored there; a null source makes the destination
// null. An object that cannot be created stays uncopied (references to it become null) and the
// copy goes on.
CORE_API void mdCopy(CMetaPointer &mpDestination, CMetaPointer mpSource);
// Copies several roots as one graph: references between them point at their copies.
CORE_API void mdCopyMultiple(CStaticStackArray<CMetaPointer> &saDestinations,
                             CStaticStackArray<CMetaPointer> &saSources);
// Copies a reference (pointer, smart pointer, handle) translating its target; with SMF_OWNED the
// destination's old target is deleted first.
CORE_API void mdCopyReference_t(CMetaPointer &mpDestination, CMetaPointer mpSource,
                                unsigned long ulFlags);
// Copies an object's contents by kind (the type's Copy operation is not consulted for the object
// itself, only for its parts).
CORE_API void mdCopyObjectDefault_t(CDataType *pdt, void *pvDestination, const void *pvSource,
                                    unsigned long ulFlags);
// The type's Copy operation, or mdCopyObjectDefault_t.
CORE_API void mdCopyObject_t(CDataType *pdt, void *pvDestination, const void *pvSource,
                             unsigned long ulFlags);

// The clipboard: mdSetClipboard deletes the object held so far (nothing when it is the same one)
// and keeps the given one (pass a copy); the raw pointer is a second slot that deletes nothing.
CORE_API void mdSetClipboard(CMetaPointer mp);
CORE_API CMetaPointer mdGetClipboard(void);
CORE_API void mdSetClipboardRaw(CMetaPointer mp);
CORE_API CMetaPointer mdGetClipboardRaw(void);

// Moves the targets of the smart pointers embedded in the object (not behind pointers) to the
// innermost context's holding list and sets the pointers null.
CORE_API void mdClearObject_t(CMetaPointer mp, unsigned long ulFlags);
// Releases the references that mdClearObject_t moved to the innermost context's holding list,
// once every pointer that was to be cleared is cleared; returns how many there were.
CORE_API long mdReleaseHeldReferences(void);
// Clears every smart pointer of the graph that `mp` owns, then releases what they held: objects
// of a cycle are freed only after every pointer among them is cleared.
CORE_API void mdClearSmartPointers(CMetaPointer mp);

} // namespace QuennelEngine
