// Resources. The last release of a resource and the lookups of a file meet here: a lookup
// finds a resource through the file's raw lists under the file-stock mutex and takes its
// reference there with AddRefIfReferenced when the resource is not shared, so it never revives
// a count that reached 0. DeleteSelf takes the same mutex and checks the count again before it
// conceals and deletes: whatever raced with the release has either taken its reference before
// the count reached 0 (and the count is above 0 again here) or sees 0 and leaves the resource.
#include "core/resources/Resource.h"

#include "core/frame/CodeGuard.h"
#include "core/frame/Console.h"
#include "core/frame/Exception.h"
#include "core/meta/DataTypeKinds.h"
#include "core/resources/ResourceFile.h"
#include "core/resources/ResourceMeta.h"
#include "core/resources/ResourceStock.h"
#include "core/text/Ident.h"
#include "core/text/Translation.h"
#include "core/threads/SyncLock.h"
#include "core/threads/Threads.h"

namespace QuennelEngine {

MD_ENUM_BEGIN(EPlatform, 1)
MD_ENUM_VALUE(PLA_PC, "PLA_PC", "PC")
MD_ENUM_VALUE(PLA_XBOX, "PLA_XBOX", "Xbox")
MD_ENUM_END()

// What belongs to a file is not copied: a copy is a free resource. The links to files are not
// walked either (a walk from a resource must not enter its file); a file's lists restore them.
MD_CLASS_BEGIN(CResource, CSmartObject, 1)
MD_MEMBER(rs_pFile, SMF_NOSAVE | SMF_NOCOPY, "File")
MD_MEMBER(rs_iID, SMF_NOCOPY, "ID")
MD_MEMBER(rs_iExposedID, SMF_NOCOPY, "Exposed ID")
MD_MEMBER(rs_idName, 0, "Name")
MD_MEMBER(rs_ulFlags, 0, "Resource flags")
MD_MEMBER(rs_llChangeCount, SMF_NOSAVE, "Change count")
MD_MEMBER(rs_pExtra, SMF_OWNED, "Extra")
MD_MEMBER(rs_pStorageFile, SMF_NOSAVE | SMF_NOCOPY, "Storage file")
MD_CLASS_END()

MD_CLASS_BEGIN(CDummyResource, CResource, 1)
MD_CLASS_END()

// ---- Post-load task hooks ----

static long NoTasks(CResource *)
{
  return 0;
}

static ResPostLoadTaskHook _res_pExecuteAllPostLoadTasks = NoTasks;
static ResPostLoadTaskHook _res_pDiscardAllPostLoadTasks = NoTasks;

void resSetPostLoadTaskHooks(ResPostLoadTaskHook pExecuteAll, ResPostLoadTaskHook pDiscardAll)
{
  _res_pExecuteAllPostLoadTasks = pExecuteAll != nullptr ? pExecuteAll : NoTasks;
  _res_pDiscardAllPostLoadTasks = pDiscardAll != nullptr ? pDiscardAll : NoTasks;
}

// ---- CResource ----

CResource::CResource(void)
    : rs_pFile(nullptr), rs_iID(-1), rs_iExposedID(-1), rs_idName(strConvertStringToID("")),
      rs_ulFlags(0), rs_llChangeCount(0), rs_pExtra(nullptr), rs_pStorageFile(nullptr)
{
}

CResource::~CResource(void)
{
  if (so_ulFlags & SOF_REPLACEONACCESS) _res_pDiscardAllPostLoadTasks(this);
  delete rs_pExtra;
  rs_pExtra = nullptr;
}

void CResource::DeleteSelf(void)
{
  {
    CSyncLock sl(resGetFileStockMutex());
    // A lookup took a reference after all, or the file keeps the resource.
    if (GetReferenceCount() > 0 || IsShared()) return;
    if (IsExposed()) rs_pStorageFile->ConcealResource(this);
  }
  delete this;
}

CSmartObject *CResource::AcquireReplacement(void)
{
  if (thrIsThisMainThread()) {
    so_ulFlags &= ~SOF_REPLACEONACCESS;
    _res_pExecuteAllPostLoadTasks(this);
  }
  return this;
}

void CResource::InitiateDelayedLoad(void)
{
}

int CResource::IsReplacementReady(void)
{
  return 1;
}

CString CResource::GetSimpleInfo(void)
{
  return CString();
}

CStockDumpInfo CResource::GetSimpleInfoCSV(void)
{
  CStockDumpInfo sdi;
  float fKB = 0.0f;
  try {
    fKB = (float)mdGetResourceSize_t(this) / 1024.0f;
  } catch (CException &) {
    // A size that cannot be counted shows as 0.
  }
  sdi.sdi_strValues = strFormat("%1", fmtSpec(fKB, ".1"));
  sdi.sdi_strHeader = "Size [KB]";
  sdi.sdi_strFile = "Unsorted.csv";
  return sdi;
}

void CResource::GetShellOpenPaths(CString &strFile, CString &)
{
  if (IsShared()) strFile = rs_pFile->GetFileName();
}

void CResource::PrecacheData(void)
{
}

void CResource::PostRegister(void)
{
}

void CResource::Finalize(EPlatform, const char *)
{
}

int CResource::MayFileBeReferenced(void)
{
  return 1;
}

CString CResource::GetThumbnailFileName(void)
{
  return CString();
}

void CResource::SetName(const char *strName)
{
  const IDENT idName = strConvertStringToID(strName != nullptr ? strName : "");
  CSyncLock sl(resGetFileStockMutex());
  if (IsShared()) {
    for (CResource *prs : rs_pFile->rf_saShared) {
      if (prs->rs_idName == idName) {
        conError(strTranslate("DOZUResource.NameTaken=Resource named %1 already exists in file "
                              "%2.\n"),
                 (const char *)idName, rs_pFile->GetFileName());
        return;
      }
    }
  }
  rs_idName = idName;
}

CString CResource::GetFileName(void) const
{
  CSyncLock sl(resGetFileStockMutex());
  return IsShared() ? rs_pFile->GetFileName() : CString();
}

CResourceFile *CResource::GetResourceFile(void) const
{
  return IsShared() ? rs_pFile : nullptr;
}

int CResource::IsDefault(void)
{
  CSyncLock sl(resGetFileStockMutex());
  if (!IsShared()) return 0;
  Ptr<CResource> prsDefault = resAcquire(rs_pFile->FindDefaultResource());
  return prsDefault.Get() == this;
}

CResourceFile *CResource::GetStorageResourceFile(void)
{
  CSyncLock sl(resGetFileStockMutex());
  if (IsShared()) return rs_pFile;
  if (rs_pStorageFile == nullptr) {
    rs_pStorageFile = resFindResourceFileOwningObject(CMetaPointer(mdGetDataType(), this));
  }
  return rs_pStorageFile;
}

CString CResource::GetStorageFileName(void)
{
  CSyncLock sl(resGetFileStockMutex());
  CResourceFile *prf = GetStorageResourceFile();
  return prf != nullptr ? prf->GetFileName() : CString();
}

// ---- The acquire rule ----

CSmartObject *resAcquireObject(CSmartObject *pso)
{
  // A replacement may stand for another in turn (a proxy bound to a proxy); the chain is short.
  for (int i = 0; i < 16 && pso != nullptr && (pso->so_ulFlags & CSmartObject::SOF_REPLACEONACCESS);
       i++) {
    CSmartObject *psoNew = pso->AcquireReplacement();
    if (psoNew == pso) break;
    if (psoNew != nullptr) psoNew->AddRef();
    pso->RemRef();
    pso = psoNew;
  }
  return pso;
}

Ptr<CResource> resAcquire(Ptr<CResource> ptr)
{
  CSmartObject *pso = ptr.Get();
  if (pso == nullptr || !(pso->so_ulFlags & CSmartObject::SOF_REPLACEONACCESS)) return ptr;
  // The reference moves into the rule and comes back as the result's.
  pso->AddRef();
  ptr = nullptr;
  pso = resAcquireObject(pso);
  Ptr<CResource> ptrResult;
  if (pso != nullptr && mdIsDerivedFrom(pso->mdGetDataType(), CResource::md_pdtDataType)) {
    ptrResult = static_cast<CResource *>(pso);
  }
  if (pso != nullptr) pso->RemRef();
  return ptrResult;
}

} // namespace QuennelEngine
