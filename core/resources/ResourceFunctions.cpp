#include "core/resources/ResourceFunctions.h"

#include "core/frame/CodeGuard.h"
#include "core/frame/Console.h"
#include "core/frame/Exception.h"
#include "core/meta/DataTypeKinds.h"
#include "core/meta/MetaCollect.h"
#include "core/meta/MetaCopy.h"
#include "core/meta/MetaFiles.h"
#include "core/meta/MetaIndex.h"
#include "core/meta/MetaObjects.h"
#include "core/meta/MetaSettings.h"
#include "core/platform/Timer.h"
#include "core/resources/ResourceFile.h"
#include "core/resources/ResourceFileType.h"
#include "core/resources/ResourceStock.h"
#include "core/resources/ResourcesPrivate.h"
#include "core/streams/FileSystem.h"
#include "core/streams/Stream.h"
#include "core/text/Translation.h"
#include "core/threads/SyncLock.h"

namespace QuennelEngine {

static CMetaPointer MetaOf(CObject *pobj)
{
  return CMetaPointer(pobj->mdGetDataType(), pobj);
}

// ---- Registration and exposure ----

void resRegisterResource(CResourceFile *prf, CResource *prs)
{
  if (prf == nullptr || prs == nullptr) {
    corLogGuardBreach();
    return;
  }
  prf->RegisterResource(prs, -1);
}

void resExposeResource(CResourceFile *prf, CResource *prs)
{
  if (prf == nullptr || prs == nullptr) {
    corLogGuardBreach();
    return;
  }
  prf->ExposeResource(prs);
}

void resConcealResource(CResource *prs)
{
  if (prs == nullptr) {
    corLogGuardBreach();
    return;
  }
  CSyncLock sl(resGetFileStockMutex());
  if (prs->rs_pStorageFile == nullptr) {
    corLogGuardBreach();
    return;
  }
  prs->rs_pStorageFile->ConcealResource(prs);
}

void resConcealAllResources(CResourceFile *prf)
{
  if (prf == nullptr) {
    corLogGuardBreach();
    return;
  }
  CSyncLock sl(resGetFileStockMutex());
  for (long i = prf->rf_saExposed.Count() - 1; i >= 0; i--) {
    prf->ConcealResource(prf->rf_saExposed[i]);
  }
}

void resExposeAllResources(CResourceFile *prf)
{
  if (prf == nullptr) {
    corLogGuardBreach();
    return;
  }
  const Time tmStart = timUptimeNow();
  CSyncLock sl(resGetFileStockMutex());
  resConcealAllResources(prf);
  prf->rf_iNextExposedID = -1;
  prf->rf_saExposed.Clear();

  // A copy's view from the shared resources: the free resources inside are part of it and are
  // entered too, so those nested at any depth are found.
  CStaticStackArray<CResource *> saNested;
  {
    CMetaContextScope mcs;
    mdSetupMetaIndex();
    MetaSwitches &ms = mdGetMetaSwitches();
    ms.ms_bCollectForCopying = 1;
    ms.ms_bDiscardEditData = 1;
    ms.ms_bForceResourcesAsExtern = 0;
    ms.ms_bShareExposedObjects = 0;
    ms.ms_bResolveProxies = 0;
    try {
      for (CResource *prs : prf->rf_saShared) mdCollectReference_t(MetaOf(prs), SMF_OWNED);
      _mdCollectClosure_t();
    } catch (CException &ex) {
      conError("%1\n", ex.GetDescription());
    }
    for (long i = 0; i < mdGetObjectCount(); i++) {
      const CMetaPointer mp = mdIndexToObject(i);
      if (!mdIsDerivedFrom(mp.mp_pdtType, CResource::md_pdtDataType)) continue;
      CResource *prs = static_cast<CResource *>(static_cast<CSmartObject *>(mp.mp_pvObject));
      // Shared resources (here or elsewhere), and those another file stores, are not nested.
      if (prs->IsShared()) continue;
      if (prs->rs_pStorageFile != nullptr && prs->rs_pStorageFile != prf) continue;
      saNested.Push(prs);
    }
  }
  for (CResource *prs : saNested) prf->ExposeResource(prs);
  conInfo(strTranslate("DOZUResource.Exposed=%1 resources exposed from '%2' in %3 sec.\n"),
          saNested.Count(), prf->GetFileName(),
          fmtSpec(timToFloat(timUptimeNow() - tmStart), ".2f"));
}

// ---- Lookups ----

// The found resource acquired, if it is of the type.
static Ptr<CResource> OfType(CDataType *pdt, Ptr<CResource> ptr)
{
  ptr = resAcquire(ptr);
  if (ptr == nullptr) return ptr;
  if (pdt != nullptr && !mdIsDerivedFrom(ptr->mdGetDataType(), pdt)) return Ptr<CResource>();
  return ptr;
}

Ptr<CResource> resFindResourceByID(CDataType *pdt, CResourceFile *prf, long iID)
{
  if (prf == nullptr) return Ptr<CResource>();
  return OfType(pdt, prf->FindResourceByID(iID));
}

Ptr<CResource> resFindResourceByName(CDataType *pdt, CResourceFile *prf, const char *strName)
{
  if (prf == nullptr) return Ptr<CResource>();
  if (strName == nullptr || strName[0] == 0) return OfType(pdt, prf->FindDefaultResource());
  return OfType(pdt, prf->FindResourceByName(strName));
}

// ---- Loading ----

// The first type of the load list that takes the stream; each is asked from the start.
static CResourceFileType *FindLoadType(CStream &strm)
{
  const CString strDescription = strm.GetDescription();
  for (CResourceFileType *prft : resListLoadFileTypes()) {
    if (!prft->CanLoadFileName(strDescription)) continue;
    try {
      strm.SeekBeg_t(0);
      const int bTakes = prft->CanLoadStream_t(&strm);
      strm.SeekBeg_t(0);
      if (bTakes) return prft;
    } catch (CException &ex) {
      conWarning("%1\n", ex.GetDescription());
    }
  }
  return nullptr;
}

// The files being loaded on this thread, outermost first: a file that refers back to one of
// them is bound to it when its load completes instead of loading it again.
static thread_local CStaticStackArray<CString> *_res_psaLoading = nullptr;

bool ResourcesPrivate::IsFileLoadingOnThisThread(const CString &strPath)
{
  if (_res_psaLoading == nullptr) return false;
  for (const CString &str : *_res_psaLoading) {
    if (str == strPath) return true;
  }
  return false;
}

namespace {
class CLoadingScope {
public:
  explicit CLoadingScope(const CString &strPath)
  {
    if (_res_psaLoading == nullptr) _res_psaLoading = new CStaticStackArray<CString>;
    _res_psaLoading->Push(strPath);
  }
  ~CLoadingScope(void)
  {
    _res_psaLoading->Pop();
    if (_res_psaLoading->Count() == 0) mdForgetDeferredReferences();
  }
};
} // namespace

CResourceFile *resObtainFileInternal_t(const CString &strPath)
{
  CString strResolved;
  {
    CSyncLock sl(resGetFileStockMutex());
    if (strPath.IsEmpty()) {
      ThrowFormat_t(strTranslate("DOZUResource.NoFileName=Can't obtain resource file without "
                                 "provided file name."));
    }
    CResourceFile *prf = resFindFileInStock(strPath, strResolved);
    if (prf != nullptr) return prf;
  }
  if (strResolved.IsEmpty()) strResolved = strPath;
  // A file type whose load asks for the file it is loading would load it again without end.
  if (ResourcesPrivate::IsFileLoadingOnThisThread(strResolved)) {
    ThrowFormat_t(strTranslate("DOZUResource.LoadingAlready=File '%1' is needed while it is being "
                               "loaded on this thread."),
                  strResolved);
  }
  CResourceFile *prfLoaded = nullptr;
  {
    CLoadingScope ls(strResolved);
    CStream strm;
    strm.OpenFile_t(strResolved, "r");
    CResourceFileType *prft = FindLoadType(strm);
    if (prft == nullptr)
      strm.Throw_t(strTranslate("DOZUResource.UnknownType=Unrecognized file type."));
    prfLoaded = prft->LoadFile_t(&strm);
    {
      CSyncLock sl(resGetFileStockMutex());
      // Another thread may have loaded the same file meanwhile: one file per name, the first
      // wins.
      CString strAgain;
      CResourceFile *prfOther = resFindFileInStock(strResolved, strAgain);
      if (prfOther != nullptr && prfOther != prfLoaded) {
        delete prfLoaded;
        return prfOther;
      }
      prfLoaded->SetFileName(strResolved);
      if (md_bInEditor) {
        Time tm;
        if (filGetFileTimeOnDisk(strResolved, tm)) prfLoaded->rf_tmFileTime = tm;
      }
    }
    // Files loaded meanwhile that referred back to this one get their references now.
    mdBindDeferredReferences_t(prfLoaded, strResolved);
  }
  return prfLoaded;
}

Ptr<CResource> resObtainResourceFromModule_t(CDataType *pdt, const CString &strPath,
                                             const char *strName)
{
  const bool bNamed = strName != nullptr && strName[0] != 0;
  CResourceFile *prf = resObtainFileInternal_t(strPath);
  Ptr<CResource> prs;
  {
    CSyncLock sl(resGetFileStockMutex());
    prs = resAcquire(bNamed ? prf->FindResourceByName(strName) : prf->FindDefaultResource());
  }
  if (prs == nullptr) {
    if (!bNamed) {
      ThrowFormat_t(strTranslate("DOZUResource.NoDefault=No default resource in file %1."),
                    strPath);
    }
    ThrowFormat_t(strTranslate("DOZUResource.NoNamed=No resource with name %1 in file %2."),
                  strName, strPath);
  }
  if (pdt != nullptr && !mdIsDerivedFrom(prs->mdGetDataType(), pdt)) {
    ThrowFormat_t(strTranslate("DOZUResource.WrongType=Resource %1 in file %2 is %3, expected %4."),
                  bNamed ? strName : "", strPath, mdGetTypeDescription(prs->mdGetDataType()),
                  mdGetTypeDescription(pdt));
  }
  return prs;
}

// ---- Unsharing ----

Ptr<CResource> resUnshareResource(CResource *prs)
{
  if (prs == nullptr) {
    corLogGuardBreach();
    return Ptr<CResource>();
  }
  CSyncLock sl(resGetFileStockMutex());
  CMetaPointer mpCopy;
  mdCopy(mpCopy, MetaOf(prs));
  if (!mpCopy.IsValid()) return Ptr<CResource>();
  if (!mdIsDerivedFrom(mpCopy.mp_pdtType, CResource::md_pdtDataType)) {
    mdDelete(mpCopy);
    return Ptr<CResource>();
  }
  return Ptr<CResource>(static_cast<CResource *>(static_cast<CSmartObject *>(mpCopy.mp_pvObject)));
}

} // namespace QuennelEngine
