#include "core/resources/ResourceFile.h"

#include "core/frame/CodeGuard.h"
#include "core/frame/Console.h"
#include "core/frame/Exception.h"
#include "core/meta/MetaPointer.h"
#include "core/resources/ResourceFileType.h"
#include "core/resources/ResourceMeta.h"
#include "core/resources/ResourceStock.h"
#include "core/resources/ResourcesPrivate.h"
#include "core/streams/FileSystem.h"
#include "core/text/Ident.h"
#include "core/text/Translation.h"
#include "core/threads/SyncLock.h"

namespace QuennelEngine {

// The name, the flags, the times and the alternative file describe the file in memory, not what
// it stores; the alternative file is another file's and is never walked.
MD_CLASS_BEGIN(CResourceFile, CObject, 1)
MD_MEMBER(rf_strFileName, SMF_NOSAVE | SMF_NOCOPY, "File name")
MD_MEMBER(rf_ulFlags, SMF_NOSAVE | SMF_NOCOPY, "File flags")
MD_MEMBER(rf_iDefaultID, 0, "Default ID")
MD_MEMBER(rf_iNextID, 0, "Next ID")
MD_MEMBER(rf_iNextExposedID, 0, "Next exposed ID")
MD_MEMBER(rf_pAlternativeFile, SMF_NOSAVE | SMF_NOCOPY, "Alternative file")
MD_MEMBER_AS(rf_tmFileTime, "SQUAD", SMF_NOSAVE | SMF_NOCOPY, "File time")
MD_MEMBER(rf_saShared, 0, "Shared resources")
MD_MEMBER(rf_saExposed, 0, "Exposed resources")
MD_MEMBER(rf_strSavePath, SMF_NOSAVE | SMF_NOCOPY, "Save path")
MD_CLASS_END()

CResourceFile::CResourceFile(void)
    : rf_ulFlags(0), rf_iDefaultID(1), rf_iNextID(1), rf_iNextExposedID(-1),
      rf_pAlternativeFile(nullptr)
{
  rf_saShared.SetAllocationStep(16);
  rf_saExposed.SetAllocationStep(16);
  ResourcesPrivate::EnterStock(this);
}

CResourceFile::~CResourceFile(void)
{
  CSyncLock sl(resGetFileStockMutex());
  mdClearResourceFile(this);
  // No file keeps looking here (the list itself, not a copy: freeing the stock deletes many files
  // in a row).
  for (CResourceFile *prf : ResourcesPrivate::StockFiles()) {
    if (prf->rf_pAlternativeFile == this) prf->rf_pAlternativeFile = nullptr;
  }
  ResourcesPrivate::LeaveStock(this);
}

// ---- Names ----

void CResourceFile::SetFileName(const char *strFileName)
{
  CSyncLock sl(resGetFileStockMutex());
  ResourcesPrivate::LeaveStock(this);
  const CString strNew(strFileName != nullptr ? strFileName : "");
  if (!(strNew == rf_strFileName)) rf_tmFileTime = Time();
  rf_strFileName = strNew;
  ResourcesPrivate::EnterStock(this);
}

void CResourceFile::SetUnnamed(void)
{
  static long _ctUnnamed = 0;
  CSyncLock sl(resGetFileStockMutex());
  ResourcesPrivate::LeaveStock(this);
  _ctUnnamed++;
  rf_strFileName = strFormat("<%1 %2>", "unnamed", _ctUnnamed);
  ResourcesPrivate::EnterStock(this);
}

// ---- Registration ----

void CResourceFile::RegisterResource(CResource *prs, long iDesiredID)
{
  if (prs == nullptr) {
    corLogGuardBreach();
    return;
  }
  CSyncLock sl(resGetFileStockMutex());
  // A resource has one owner: taking it from another file would leave that file pointing at it.
  if (prs->IsShared() && prs->rs_pFile != this) {
    corLogGuardBreach();
    return;
  }
  if (prs->IsExposed()) prs->rs_pStorageFile->ConcealResource(prs);
  bool bListed = false;
  for (CResource *prsShared : rf_saShared) bListed = bListed || prsShared == prs;
  if (!bListed) rf_saShared.Push(prs);
  prs->rs_pFile = this;

  bool bTaken = false;
  if (iDesiredID != -1) {
    for (CResource *prsShared : rf_saShared) {
      if (prsShared != prs && prsShared->rs_iID == iDesiredID) bTaken = true;
    }
    if (bTaken) {
      conWarning(strTranslate("DOZUResource.IDTaken=Can't assign desired ID '%1' to resource "
                              "because it is already used.\n"),
                 iDesiredID);
    }
  }
  if (iDesiredID == -1 || bTaken) {
    prs->rs_iID = rf_iNextID++;
  } else {
    prs->rs_iID = iDesiredID;
    if (rf_iNextID < iDesiredID + 1) rf_iNextID = iDesiredID + 1;
  }
  prs->PostRegister();
}

void CResourceFile::RegisterModuleResource(long iID, const char *strName, CResource *prs)
{
  if (prs == nullptr) {
    corLogGuardBreach();
    return;
  }
  CSyncLock sl(resGetFileStockMutex());
  if (prs->IsShared()) {
    corLogGuardBreach();
    return;
  }
  rf_saShared.Push(prs);
  prs->rs_pFile = this;
  prs->rs_iID = iID;
  prs->rs_idName = strConvertStringToID(strName != nullptr ? strName : "");
  if (rf_saShared.Count() == 1) rf_iDefaultID = iID;
}

// ---- Exposure ----

void CResourceFile::ExposeResource(CResource *prs)
{
  if (prs == nullptr) {
    corLogGuardBreach();
    return;
  }
  CSyncLock sl(resGetFileStockMutex());
  if (prs->IsShared()) {
    corLogGuardBreach();
    return;
  }
  if (prs->IsExposed()) {
    corLogGuardBreach();
    return;
  }
  if (prs->rs_pStorageFile != nullptr && prs->rs_pStorageFile != this) {
    corLogGuardBreach();
    return;
  }
  prs->rs_iExposedID = --rf_iNextExposedID;
  prs->rs_pStorageFile = this;
  rf_saExposed.Push(prs);
}

void CResourceFile::ConcealResource(CResource *prs)
{
  if (prs == nullptr) {
    corLogGuardBreach();
    return;
  }
  CSyncLock sl(resGetFileStockMutex());
  if (prs->IsShared()) {
    corLogGuardBreach();
    return;
  }
  if (!prs->IsExposed()) {
    corLogGuardBreach();
    return;
  }
  if (prs->rs_pStorageFile != this) {
    corLogGuardBreach();
    return;
  }
  prs->rs_iExposedID = -1;
  for (long i = 0; i < rf_saExposed.Count(); i++) {
    if (rf_saExposed[i] != prs) continue;
    rf_saExposed.Delete(i);
    break;
  }
}

// ---- Lookups ----

// A reference to a resource found in the lists. A shared resource is never deleted by its last
// release, so it can always be taken; any other one only while it still has references, since
// a count at 0 means its DeleteSelf is under way.
static Ptr<CResource> TakeFound(CResource *prs)
{
  if (prs->IsShared()) return Ptr<CResource>(prs);
  if (!prs->AddRefIfReferenced()) return Ptr<CResource>();
  Ptr<CResource> ptr(prs);
  prs->RemRef();
  return ptr;
}

static CResource *SharedByID(CResourceFile *prf, long iID)
{
  if (prf == nullptr) return nullptr;
  for (CResource *prs : prf->rf_saShared) {
    if (prs->rs_iID == iID) return prs;
  }
  return nullptr;
}

Ptr<CResource> CResourceFile::FindResourceByID(long iID)
{
  CSyncLock sl(resGetFileStockMutex());
  CResource *prs = SharedByID(this, iID);
  if (prs == nullptr) prs = SharedByID(rf_pAlternativeFile, iID);
  if (prs != nullptr) return TakeFound(prs);
  for (CResource *prsExposed : rf_saExposed) {
    if (prsExposed->rs_iExposedID == iID) return TakeFound(prsExposed);
  }
  return Ptr<CResource>();
}

static CResource *SharedByName(CResourceFile *prf, IDENT idName)
{
  if (prf == nullptr) return nullptr;
  for (CResource *prs : prf->rf_saShared) {
    if (prs->rs_idName == idName) return prs;
  }
  return nullptr;
}

Ptr<CResource> CResourceFile::FindResourceByName(const char *strName)
{
  const IDENT idName = strConvertStringToID(strName != nullptr ? strName : "");
  CSyncLock sl(resGetFileStockMutex());
  CResource *prs = SharedByName(this, idName);
  if (prs == nullptr) prs = SharedByName(rf_pAlternativeFile, idName);
  return prs != nullptr ? TakeFound(prs) : Ptr<CResource>();
}

Ptr<CResource> CResourceFile::FindDefaultResource(void)
{
  CSyncLock sl(resGetFileStockMutex());
  return FindResourceByID(rf_iDefaultID);
}

void CResourceFile::SetDefaultResource(CResource *prs)
{
  CSyncLock sl(resGetFileStockMutex());
  if (prs == nullptr || prs->rs_pFile != this || prs->rs_iID == -1) {
    corLogGuardBreach();
    return;
  }
  rf_iDefaultID = prs->rs_iID;
}

void CResourceFile::SetAlternativeFile(CResourceFile *prf)
{
  CSyncLock sl(resGetFileStockMutex());
  rf_pAlternativeFile = prf != this ? prf : nullptr;
}

CDynamicContainer<CResource> CResourceFile::GetAllResources(void)
{
  CSyncLock sl(resGetFileStockMutex());
  CDynamicContainer<CResource> dc;
  dc.SetAllocationStep(16);
  for (CResource *prs : rf_saShared) dc.Add(prs);
  return dc;
}

// ---- Saving and state ----

const CString &CResourceFile::GetSavePath(void) const
{
  return rf_strSavePath.IsEmpty() ? rf_strFileName : rf_strSavePath;
}

static void DeleteQuietly(const CString &strFile)
{
  try {
    if (filExistsOnDisk(strFile)) filDeleteFile_t(strFile);
  } catch (CException &) {
    // A temporary file left behind does no harm; the next save overwrites it.
  }
}

void CResourceFile::SaveFile_t(void)
{
  CSyncLock sl(resGetFileStockMutex());
  CResourceFileType *prftSave = nullptr;
  for (CResourceFileType *prft : resListSaveFileTypes()) {
    if (prft->CanSaveFile(this)) {
      prftSave = prft;
      break;
    }
  }
  if (rf_ulFlags & RFF_NOTLOADED) {
    ThrowFormat_t(strTranslate("DOZUResource.NotLoaded=Can't save '%1' file because it wasn't "
                               "properly loaded.\n"),
                  rf_strFileName);
  }
  if (rf_ulFlags & RFF_REPLACEMENT) {
    ThrowFormat_t(strTranslate("DOZUResource.Replacement=Can't save '%1' file because it is was "
                               "created as replacement for original file.\n"),
                  rf_strFileName);
  }
  if (prftSave == nullptr) {
    ThrowFormat_t(strTranslate("DOZUResource.NoSaveType=No file type can save '%1'."),
                  rf_strFileName);
  }
  // The type writes beside the target; the target is replaced only by a complete file.
  const CString strTarget = rf_strFileName;
  rf_strSavePath = strFormat("%1.saving", strTarget);
  try {
    prftSave->SaveFile_t(this);
    rf_strSavePath = CString();
    filReplaceFile_t(strFormat("%1.saving", strTarget), strTarget);
  } catch (CException &) {
    rf_strSavePath = CString();
    DeleteQuietly(strFormat("%1.saving", strTarget));
    Time tm;
    if (filGetFileTimeOnDisk(strTarget, tm)) rf_tmFileTime = tm;
    throw;
  }
  Time tm;
  if (filGetFileTimeOnDisk(strTarget, tm)) rf_tmFileTime = tm;
}

int CResourceFile::IsChanged(void)
{
  CSyncLock sl(resGetFileStockMutex());
  CStaticStackArray<CMetaPointer> saObjects;
  try {
    mdFindReferences(this, saObjects);
  } catch (CException &) {
    return 0;
  }
  for (const CMetaPointer &mp : saObjects) {
    if (!mdIsDerivedFrom(mp.mp_pdtType, CResource::md_pdtDataType)) continue;
    if (static_cast<CResource *>(static_cast<CSmartObject *>(mp.mp_pvObject))->IsChanged()) {
      return 1;
    }
  }
  return 0;
}

int CResourceFile::IsChangedExternally(void)
{
  if (rf_tmFileTime == Time()) return 0;
  try {
    return filGetFileTime_t(rf_strFileName) != rf_tmFileTime;
  } catch (CException &) {
    // A file that went away has changed.
    return 1;
  }
}

int CResourceFile::MayBeReferenced(void)
{
  Ptr<CResource> prs = resAcquire(FindDefaultResource());
  return prs != nullptr ? prs->MayFileBeReferenced() : 1;
}

} // namespace QuennelEngine
