#include "core/resources/ResourceMeta.h"

#include "core/frame/CodeGuard.h"
#include "core/frame/Console.h"
#include "core/frame/Exception.h"
#include "core/meta/DataTypeKinds.h"
#include "core/meta/MetaCollect.h"
#include "core/meta/MetaCopy.h"
#include "core/meta/MetaIndex.h"
#include "core/meta/MetaObjects.h"
#include "core/meta/MetaSettings.h"
#include "core/resources/ResourceFile.h"
#include "core/resources/ResourceProxy.h"
#include "core/resources/ResourceStock.h"
#include "core/text/Translation.h"
#include "core/threads/SyncLock.h"

namespace QuennelEngine {

// ---- The inspector ----

static MetaResourceInfo InspectResource(const CMetaPointer &mp)
{
  MetaResourceInfo mri{0, 0, 0, 0, nullptr, nullptr};
  CDataType *pdt = mdGetDynamicType(mp.mp_pdtType, mp.mp_pvObject);
  if (!mdIsDerivedFrom(pdt, CSmartObject::md_pdtDataType)) return mri;
  // Other counted objects are resources of no file: a copy duplicates them.
  mri.mri_bResource = 1;
  if (!mdIsDerivedFrom(pdt, CResource::md_pdtDataType)) return mri;
  CResource *prs = static_cast<CResource *>(static_cast<CSmartObject *>(mp.mp_pvObject));
  if (mdIsDerivedFrom(pdt, CResourceProxy::md_pdtDataType)) {
    // A proxy belongs to no file: it names the file of what it stands for.
    mri.mri_bProxy = 1;
    mri.mri_pdtProxied = static_cast<CResourceProxy *>(prs)->rp_pdtType;
    return mri;
  }
  mri.mri_bShared = prs->IsShared();
  mri.mri_bExposed = prs->IsExposed();
  mri.mri_pStorageFile = prs->IsShared() ? prs->rs_pFile : prs->rs_pStorageFile;
  return mri;
}

namespace {
struct CInspectorInstaller {
  CInspectorInstaller() { mdSetResourceInspector(InspectResource); }
  ~CInspectorInstaller() { mdSetResourceInspector(nullptr); }
};
CInspectorInstaller _res_iiInstaller;
} // namespace

static CMetaPointer MetaOf(CObject *pobj)
{
  return CMetaPointer(pobj->mdGetDataType(), pobj);
}

// The switches of every walk here: a save's view, proxies kept as they are.
static void StartWalk(CResourceFile *prfSaved)
{
  mdSetupMetaIndex();
  MetaSwitches &ms = mdGetMetaSwitches();
  ms.ms_bCollectForCopying = 0;
  ms.ms_bResolveProxies = 0;
  mdSetSavedResourceFile(prfSaved);
}

// ---- Clearing a file ----

long mdClearResourceFile(CResourceFile *prf)
{
  if (prf == nullptr) {
    corLogGuardBreach();
    return 0;
  }
  CSyncLock sl(resGetFileStockMutex());
  CMetaContextScope mcs;
  StartWalk(prf);
  MetaSwitches &ms = mdGetMetaSwitches();
  // Edit data is part of what the file holds; its cycles go too.
  ms.ms_bInEditor = 1;
  ms.ms_bDiscardEditData = 0;
  ms.ms_bCollectingForClear = 1;
  const int bWasClearing = md_bCollectingForClear;
  md_bCollectingForClear = 1;

  try {
    mdCollectReference_t(MetaOf(prf), 0);
    _mdCollectClosure_t();
    for (long i = 0; i < mdGetObjectCount(); i++) {
      if (!mdIsObjectExternal(i)) mdClearObject_t(mdIndexToObject(i), 0);
    }
  } catch (CException &ex) {
    // What was cleared so far is released below; the rest stays as it is.
    conError(strTranslate("DOZUResource.ClearFailed=Clearing '%1': %2\n"), prf->GetFileName(),
             ex.GetDescription());
  }

  // Nothing keeps a pointer to the file: resources it only found by search forget it.
  for (long i = 0; i < mdGetObjectCount(); i++) {
    const CMetaPointer mp = mdIndexToObject(i);
    const MetaResourceInfo mri = mdInspectResource(mp);
    if (!mri.mri_bResource || mri.mri_pStorageFile != prf || mri.mri_bShared) continue;
    CResource *prs = static_cast<CResource *>(static_cast<CSmartObject *>(mp.mp_pvObject));
    prs->rs_iExposedID = -1;
    prs->rs_pStorageFile = nullptr;
  }
  for (long i = prf->rf_saExposed.Count() - 1; i >= 0; i--) {
    CResource *prs = prf->rf_saExposed[i];
    prs->rs_iExposedID = -1;
    prs->rs_pStorageFile = nullptr;
  }
  prf->rf_saExposed.Clear();
  prf->rf_iNextExposedID = -1;
  // The shared resources become free ones; each is held until the cleared references are gone.
  CStaticStackArray<CResource *> saShared;
  saShared.Swap(prf->rf_saShared);
  for (CResource *prs : saShared) {
    prs->AddRef();
    prs->rs_pFile = nullptr;
    prs->rs_iID = -1;
    if (prs->rs_pStorageFile == prf) prs->rs_pStorageFile = nullptr;
  }
  mdReleaseHeldReferences();
  for (CResource *prs : saShared) prs->RemRef();

  md_bCollectingForClear = bWasClearing;
  return mdReleaseToBeCleared();
}

// ---- Walks ----

void mdFindReferences(CResourceFile *prf, CStaticStackArray<CMetaPointer> &saObjects)
{
  saObjects.PopAll();
  if (prf == nullptr) return;
  CSyncLock sl(resGetFileStockMutex());
  CMetaContextScope mcs;
  StartWalk(prf);
  for (CResource *prs : prf->rf_saShared) mdCollectReference_t(MetaOf(prs), 0);
  _mdCollectClosure_t();
  for (long i = 0; i < mdGetObjectCount(); i++) {
    if (!mdIsObjectExternal(i)) saObjects.Push(mdIndexToObject(i));
  }
}

void mdCountFileReferences_t(CResourceFile *prf,
                             CStaticStackArray<ResourceReferences> &saReferences,
                             CStaticStackArray<void *> *psaEntered)
{
  saReferences.PopAll();
  if (psaEntered != nullptr) psaEntered->PopAll();
  if (prf == nullptr) return;
  CSyncLock sl(resGetFileStockMutex());
  CMetaContextScope mcs;
  StartWalk(prf);
  MetaSwitches &ms = mdGetMetaSwitches();
  // Every pointer the file holds counts, edit data's too; other files' exposed resources are
  // theirs, not part of this file's graph.
  ms.ms_bInEditor = 1;
  ms.ms_bDiscardEditData = 0;
  ms.ms_bShareExposedObjects = 1;
  mdCollectReference_t(MetaOf(prf), 0);
  _mdCollectClosure_t();
  for (long i = 0; i < mdGetObjectCount(); i++) {
    const CMetaPointer mp = mdIndexToObject(i);
    if (psaEntered != nullptr && !mdIsObjectExternal(i) && mp.mp_pvObject != prf) {
      psaEntered->Push(mp.mp_pvObject);
    }
    const long ct = mdGetObjectReferences(i);
    if (ct <= 0 || !mdIsDerivedFrom(mp.mp_pdtType, CResource::md_pdtDataType)) continue;
    saReferences.Push(ResourceReferences{
        static_cast<CResource *>(static_cast<CSmartObject *>(mp.mp_pvObject)), ct});
  }
}

// Collects what the object holds (not the object itself, which would count as external if it
// were a shared resource).
static void CollectContents(CMetaPointer mp)
{
  mp.mp_pdtType = mdGetDynamicType(mp.mp_pdtType, mp.mp_pvObject);
  mdCollectType_t(mp.mp_pdtType);
  CMetaFrame mf(mp, MFF_TOPLEVEL);
  mdCollectObject_t(mf);
  _mdCollectClosure_t();
}

void mdGetResources_t(CMetaPointer mp, CDynamicContainer<CResource> &dcResources)
{
  if (!mp.IsValid()) return;
  CSyncLock sl(resGetFileStockMutex());
  CMetaContextScope mcs;
  StartWalk(nullptr);
  // Exposed resources belong to their file as shared ones do.
  mdGetMetaSwitches().ms_bShareExposedObjects = 1;
  CollectContents(mp);
  for (long i = 0; i < mdGetObjectCount(); i++) {
    const CMetaPointer mpObject = mdIndexToObject(i);
    if (mpObject.mp_pvObject == mp.mp_pvObject) continue;
    if (!mdIsDerivedFrom(mpObject.mp_pdtType, CResource::md_pdtDataType)) continue;
    CResource *prs = static_cast<CResource *>(static_cast<CSmartObject *>(mpObject.mp_pvObject));
    if (!dcResources.IsMember(prs)) dcResources.Add(prs);
  }
}

void mdGetResourcesRecursive_t(CMetaPointer mp, CDynamicContainer<CResource> &dcResources)
{
  if (!mp.IsValid()) return;
  CSyncLock sl(resGetFileStockMutex());
  const long iFirst = dcResources.Count();
  mdGetResources_t(mp, dcResources);
  // The list grows while it is read: each external resource is entered once.
  for (long i = iFirst; i < dcResources.Count(); i++) {
    CResource *prs = dcResources.Pointer(i);
    if (!prs->IsShared() && !prs->IsExposed()) continue;
    CDynamicContainer<CResource> dcMore;
    mdGetResources_t(MetaOf(prs), dcMore);
    for (CResource *prsMore : dcMore) {
      if (prsMore != mp.mp_pvObject && !dcResources.IsMember(prsMore)) dcResources.Add(prsMore);
    }
  }
}

long mdGetResourceSize_t(CResource *prs)
{
  if (prs == nullptr) return 0;
  CSyncLock sl(resGetFileStockMutex());
  CMetaContextScope mcs;
  StartWalk(prs->GetResourceFile());
  CollectContents(MetaOf(prs));
  return mdGetMetaSwitches().ms_slCollectedBytes;
}

} // namespace QuennelEngine
