// What metadata files need from resources: where an external object lives when a file is
// written, and, when one is read, the files it refers to, the resources it names in them and
// the file that its own resources belong to.
#include "core/frame/CodeGuard.h"
#include "core/frame/Console.h"
#include "core/frame/Exception.h"
#include "core/meta/DataTypeKinds.h"
#include "core/meta/MetaFiles.h"
#include "core/meta/MetaObjects.h"
#include "core/resources/DefaultResources.h"
#include "core/resources/LoadTasks.h"
#include "core/resources/ResourceFile.h"
#include "core/resources/ResourceFunctions.h"
#include "core/resources/ResourceStock.h"
#include "core/resources/ResourcesPrivate.h"
#include "core/resources/SubResourcePath.h"
#include "core/streams/ReplaceHistory.h"
#include "core/text/FormatArgs.h"
#include "core/text/Scanner.h"
#include "core/text/Translation.h"
#include "core/threads/SyncLock.h"

namespace QuennelEngine {

namespace {

CResource *AsResource(const CMetaPointer &mp)
{
  if (!mp.IsValid()) return nullptr;
  CDataType *pdt = mdGetDynamicType(mp.mp_pdtType, mp.mp_pvObject);
  if (!mdIsDerivedFrom(pdt, CResource::md_pdtDataType)) return nullptr;
  return static_cast<CResource *>(static_cast<CSmartObject *>((CObject *)mp.mp_pvObject));
}

CMetaPointer MetaOfResource(CResource *prs)
{
  return CMetaPointer(prs->mdGetDataType(), static_cast<CObject *>(prs));
}

// Whether a resource found in a file may stand where the file expects type `pdt`.
bool IsRelated(CDataType *pdtResource, CDataType *pdt)
{
  if (pdt == nullptr || pdtResource == pdt) return true;
  return mdIsDerivedFrom(pdtResource, pdt) || mdIsDerivedFrom(pdt, pdtResource);
}

CString Describe(CDataType *pdt)
{
  return mdGetTypeDescription(pdt);
}

// Takes a reference for the reader and gives the resource as a meta pointer.
CMetaPointer Held(Ptr<CResource> &prs)
{
  CResource *p = prs;
  p->AddRef();
  return MetaOfResource(p);
}

Ptr<CResource> FindInFile_t(CResourceFile *prf, long iResID, CDataType *pdt, const CString &strFile)
{
  Ptr<CResource> prs;
  {
    CSyncLock sl(resGetFileStockMutex());
    prs = resAcquire(prf->FindResourceByID(iResID));
  }
  if (prs != nullptr && !IsRelated(prs->mdGetDataType(), pdt)) {
    ThrowFormat_t(strTranslate("DOZUMetaRead.WrongExternal=Wrong type of external object. Resource "
                               "%1:%2 (%3) should have been %4."),
                  strFile, iResID, Describe(prs->mdGetDataType()), Describe(pdt));
  }
  return prs;
}

// A proxy is saved as a reference to the file it names, by ID. One that loads by name is
// resolved first (waiting for its load) so that the ID of the loaded resource is saved; a proxy
// that cannot be resolved fails the save rather than being saved as something that is not there.
void DescribeProxy_t(CResourceProxy *prp, CString &strFile, long &iResID)
{
  strFile = prp->rp_strPath;
  if (prp->IsByID()) {
    iResID = prp->rp_iID;
    return;
  }
  CString strError;
  Ptr<CResource> prs;
  if (mdWaitOnResourceToLoad(prp, &strError)) {
    prs = prp->GetLoadedResource();
    if (prs == nullptr) strError = prp->GetErrorText();
  }
  if (prs != nullptr) {
    CSyncLock sl(resGetFileStockMutex());
    if (prs->IsShared()) {
      strFile = prs->rs_pFile->GetFileName();
      iResID = prs->rs_iID;
      return;
    }
  }
  ThrowFormat_t(strTranslate("DOZUMetaWrite.UnresolvedProxy=The resource '%1' of file '%2' that "
                             "is referenced through a proxy cannot be saved: %3"),
                prp->rp_strName, prp->rp_strPath,
                strError.IsEmpty() ? CString(strTranslate("DOZUMetaWrite.NotInFile=it is not in "
                                                          "a file"))
                                   : strError);
}

class CResourceFileLinks : public CMetaFileLinks {
public:
  void DescribeExternal_t(const CMetaPointer &mp, CString &strFile, CObject *&pFile,
                          long &iResID) override
  {
    strFile = CString();
    pFile = nullptr;
    iResID = -1;
    CResource *prs = AsResource(mp);
    if (prs == nullptr) return;
    if (mdIsDerivedFrom(prs->mdGetDataType(), CResourceProxy::md_pdtDataType)) {
      DescribeProxy_t(static_cast<CResourceProxy *>(prs), strFile, iResID);
      return;
    }
    CSyncLock sl(resGetFileStockMutex());
    if (prs->IsShared()) {
      pFile = prs->rs_pFile;
      iResID = prs->rs_iID;
    } else if (prs->IsExposed()) {
      pFile = prs->rs_pStorageFile;
      iResID = prs->rs_iExposedID;
    }
    if (pFile != nullptr) strFile = static_cast<CResourceFile *>(pFile)->GetFileName();
  }
  int IsFileUnnamed(CObject *pFile) override
  {
    return static_cast<CResourceFile *>(pFile)->IsUnnamed();
  }
  int MayFileBeReferenced(CObject *pFile) override
  {
    return static_cast<CResourceFile *>(pFile)->MayBeReferenced();
  }
  void AfterWrite(const CMetaPointer &mp) override
  {
    // What was saved has no unsaved changes.
    CResource *prs = AsResource(mp);
    if (prs != nullptr) prs->rs_llChangeCount = 0;
  }

  CObject *ObtainFile_t(const CString &strName, int &bInProgress) override
  {
    bInProgress = 0;
    const CString strResolved = filFileReplaceHistory(strName);
    if (ResourcesPrivate::IsFileLoadingOnThisThread(strResolved)) {
      bInProgress = 1;
      return nullptr;
    }
    return resObtainFileInternal_t(strResolved);
  }
  CObject *CreateReplacementFile(const CString &strName) override
  {
    CSyncLock sl(resGetFileStockMutex());
    CString strResolved;
    CResourceFile *prf = resFindFileInStock(strName, strResolved);
    if (prf != nullptr) return prf;
    prf = new CResourceFile;
    prf->SetFileName(strName);
    prf->rf_ulFlags |= CResourceFile::RFF_REPLACEMENT;
    return prf;
  }
  CMetaPointer ResolveExternal_t(CObject *pFile, const CString &strFile, unsigned long ulFileFlags,
                                 long iResID, CDataType *pdt) override
  {
    CResourceFile *prf = static_cast<CResourceFile *>(pFile);
    if (prf == nullptr) {
      // A file left unopened: its resources are delayed proxies, loaded when first acquired.
      if (pdt == nullptr)
        ThrowFormat_t(strTranslate("DOZUMetaRead.BadResourceType=Invalid resource data type."));
      if (!(ulFileFlags & (MDRF_DELAYED | MDRF_ONDEMAND))) {
        ThrowFormat_t(
            strTranslate("DOZUMetaRead.InternalError=Internal error occured while loading "
                         "resource files."));
      }
      Ptr<CResource> prs(
          mlScheduleResourceLoadByID(ROM_DELAYED, 1, 1, pdt, filFileReplaceHistory(strFile), iResID)
              .Get());
      return Held(prs);
    }
    Ptr<CResource> prs = FindInFile_t(prf, iResID, pdt, strFile);
    if (prs != nullptr) return Held(prs);

    // A resource that moved: the rename history knows where it went.
    const CString strOld = strFormat("%1|%2", strFile, iResID);
    const CString strNew = filFileReplaceHistory(strOld);
    if (strNew != strOld) {
      if (pdt == nullptr)
        ThrowFormat_t(strTranslate("DOZUMetaRead.BadResourceType=Invalid resource data type."));
      CString strNewFile, strNewID;
      resDecodeSubResourcePath(strNew, strNewFile, strNewID);
      long iNewID = -1;
      strScan(strNewID, "%1", &iNewID);
      CResourceFile *prfNew = resObtainFileInternal_t(strNewFile);
      prs = FindInFile_t(prfNew, iNewID, pdt, strNewFile);
      if (prs != nullptr) return Held(prs);
    }

    // A missing resource is replaced by a default one of its type, when the type has one.
    Ptr<CResource> prsDefault =
        pdt == nullptr ? Ptr<CResource>() : rscCreateDefaultResource(pdt->GetName());
    if (prsDefault == nullptr) {
      ThrowFormat_t(strTranslate("DOZUMetaRead.ResourceNotFound=Resource %1:%2 (%3) not found."),
                    strFile, iResID, Describe(pdt));
    }
    {
      CSyncLock sl(resGetFileStockMutex());
      if (!prsDefault->IsShared()) prf->RegisterResource(prsDefault);
    }
    conError(strTranslate("DOZUMetaRead.ResourceNotFoundLine=Resource %1:%2 (%3) not found.\n"),
             strFile, iResID, Describe(pdt));
    return Held(prsDefault);
  }
  void AfterRead(const CMetaPointer &mpRoot, const CMetaPointer *ampInternal, long ct,
                 int bConverted, int bDelayed) override
  {
    CResourceFile *prfRoot = nullptr;
    if (mpRoot.IsValid() && mdIsDerivedFrom(mdGetDynamicType(mpRoot.mp_pdtType, mpRoot.mp_pvObject),
                                            CResourceFile::md_pdtDataType)) {
      prfRoot = static_cast<CResourceFile *>((CObject *)mpRoot.mp_pvObject);
    }
    CSyncLock sl(resGetFileStockMutex());
    if (prfRoot != nullptr) {
      if (bConverted) prfRoot->rf_ulFlags |= CResourceFile::RFF_CONVERTEDTYPES;
      if (bDelayed) prfRoot->rf_ulFlags |= CResourceFile::RFF_DELAYEDREFERENCES;
      // The links from resources to their file are not stored: the file's lists give them.
      for (CResource *prs : prfRoot->rf_saShared) {
        if (prs != nullptr) prs->rs_pFile = prfRoot;
      }
      for (CResource *prs : prfRoot->rf_saExposed) {
        if (prs != nullptr) prs->rs_pStorageFile = prfRoot;
      }
    }
    // (objects of one type come in runs: a type that is no resource is tested once a run)
    CDataType *pdtNoResource = nullptr;
    for (long i = 0; i < ct; i++) {
      const CMetaPointer &mp = ampInternal[i];
      if (!mp.IsValid() || mp.mp_pdtType == pdtNoResource) continue;
      CResource *prs = AsResource(mp);
      if (prs == nullptr) {
        // The dynamic type is the static one for what a read made.
        if (mdGetDynamicType(mp.mp_pdtType, mp.mp_pvObject) == mp.mp_pdtType)
          pdtNoResource = mp.mp_pdtType;
        continue;
      }
      if (!prs->IsShared()) prs->rs_pStorageFile = prfRoot;
    }
  }
};

CResourceFileLinks _res_rflLinks;

struct CLinksInstaller {
  CLinksInstaller() { mdSetFileLinks(&_res_rflLinks); }
  ~CLinksInstaller() { mdSetFileLinks(nullptr); }
};
CLinksInstaller _res_liInstaller;

} // namespace

} // namespace QuennelEngine
