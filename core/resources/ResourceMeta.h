#pragma once
// Where the metadata walks meet resources: the resource inspector that tells the collection what
// a resource is (installed when Core loads), and the walks over a file's or an object's graph.
// Each walk collects in a meta context of its own, so its switches are back afterwards whatever
// happens, and none resolves proxies (a proxy is a reference, never entered). Run them under the
// file-stock mutex.
#include "core/memory/DynamicContainer.h"
#include "core/memory/StaticStackArray.h"
#include "core/meta/MetaPointer.h"

namespace QuennelEngine {

class CResource;
class CResourceFile;

// Releases what the file's objects reference, so the file's graph, cycles of smart pointers
// included, can go with it; the file's destructor calls it. It collects the file as a save
// would (edit data included): everything the file stores is cleared, references into other
// files are left. Then:
// - every smart pointer embedded in the file's objects is set null (the references are held
//   until all are cleared, then released);
// - the shared and exposed resources leave the file (file, IDs and storage file reset), so
//   those still referenced from outside live on as free resources and the rest are deleted;
// - an object whose count dropped but stayed above 0 while this ran is reported
//   (mdCollectToBeCleared): the result is how many such objects outlived the clearing.
CORE_API long mdClearResourceFile(CResourceFile *prf);

// Every object the file stores, reached from its shared resources with the file as the file
// being saved: the shared and exposed resources of the file, the resources nested in them and
// every other object they reach. Resources of other files (shared or exposed there) are not
// listed and not entered; proxies are not followed.
CORE_API void mdFindReferences(CResourceFile *prf, CStaticStackArray<CMetaPointer> &saObjects);

// A resource that a walk reached, with the smart pointers to it that the walk passed.
struct ResourceReferences {
  CResource *rr_prs;
  long rr_ctReferences;
};
// The smart pointers that the file's objects hold, per resource they point to (the file's own and
// other files'), walked from the file object as a save of it would walk, edit data included:
// resources of other files are counted but not entered, exposed ones included, and proxies are
// not followed. Lists only resources with at least one such pointer. `psaEntered`, if given,
// receives the address of every object the walk entered (the file object aside): an object that
// two files reach, a resource of no file or a part that another file points to, is entered by
// both files' walks. Throws what a type's collection throws.
CORE_API void mdCountFileReferences_t(CResourceFile *prf,
                                      CStaticStackArray<ResourceReferences> &saReferences,
                                      CStaticStackArray<void *> *psaEntered = nullptr);

// Every resource that the graph of `mp` reaches (`mp` itself not listed): the resources it
// holds directly or through other objects, nested ones included, and the external ones (shared
// in or exposed by a file), which are listed but not entered. Proxies are not followed.
CORE_API void mdGetResources_t(CMetaPointer mp, CDynamicContainer<CResource> &dcResources);
// As mdGetResources_t, but external resources are entered too: the resources reachable from
// `mp` across any number of files. Proxies are not followed.
CORE_API void mdGetResourcesRecursive_t(CMetaPointer mp, CDynamicContainer<CResource> &dcResources);

// The bytes a save of the resource would count for it and what it stores (md_slCollectedBytes
// of a collection rooted at it).
CORE_API long mdGetResourceSize_t(CResource *prs);

} // namespace QuennelEngine
