// Finalisation of content files. resFinalizeFile_t decides per platform whether a file needs a
// generated copy and hands the work to the file's save type; the metadata type finalises through
// resFinalizeMetadataFile_t.
//
// The metadata copy must not disturb the source: it is read from a memory stream, so it enters
// the stock unnamed ("") and never under the source's name, where lookups of the source would
// find it; it is renamed to the target only to be saved and is deleted on every way out. Writing
// the source into memory counts as a save for the change counts of its resources, so those are
// put back afterwards. Every switch this file changes is scoped.
#include "core/resources/Finalize.h"

#include "core/frame/CodeGuard.h"
#include "core/frame/Console.h"
#include "core/frame/ContentPlatforms.h"
#include "core/frame/Exception.h"
#include "core/meta/DataTypeKinds.h"
#include "core/meta/Handle.h"
#include "core/meta/MetaFiles.h"
#include "core/meta/MetaObjects.h"
#include "core/meta/MetaSettings.h"
#include "core/resources/ResourceFile.h"
#include "core/resources/ResourceFileType.h"
#include "core/resources/ResourceMeta.h"
#include "core/resources/ResourceObtain.h"
#include "core/streams/FileSystem.h"
#include "core/streams/Stream.h"
#include "core/text/Compare.h"
#include "core/text/Editing.h"
#include "core/text/FileNames.h"
#include "core/text/Translation.h"

namespace QuennelEngine {

namespace {

// Sets a process-wide switch for its lifetime; the old value is back on every way out.
class CSwitchScope {
public:
  CSwitchScope(int &iSwitch, int iValue) : ss_piSwitch(&iSwitch), ss_iOld(iSwitch)
  {
    iSwitch = iValue;
  }
  ~CSwitchScope() { *ss_piSwitch = ss_iOld; }
  CSwitchScope(const CSwitchScope &) = delete;
  CSwitchScope &operator=(const CSwitchScope &) = delete;

private:
  int *ss_piSwitch;
  int ss_iOld;
};

// A path split as finalisation sees it: "Models/Box.Xbox.rsc" is the base "Models/Box", the
// platform suffix ".Xbox" and the extension ".rsc".
struct FinalizePath {
  CString fp_strBase;
  CString fp_strSuffix; // "" when the name has a single extension
  CString fp_strExt;
};

FinalizePath SplitPath(const CString &strPath)
{
  FinalizePath fp;
  fp.fp_strExt = strFileExt(strPath);
  const CString strRest = strGetHead(strPath, strPath.Length() - fp.fp_strExt.Length());
  fp.fp_strSuffix = strFileExt(strRest);
  fp.fp_strBase = strGetHead(strRest, strRest.Length() - fp.fp_strSuffix.Length());
  return fp;
}

// The time a generated copy is compared with: that of the source under the platform's name
// ("a/b.wma" for an Xbox "a/b.ogg"), or of the source itself when there is no such file.
Time SourceTime_t(EPlatform pla, const CString &strPath)
{
  const CString strAdjusted = corAdjustFilenameForPlatform(pla, strPath);
  return filGetFileTime_t(filExists(strAdjusted) ? strAdjusted : strPath);
}

CResource *AsResource(const CMetaPointer &mp)
{
  if (!mp.IsValid()) return nullptr;
  CDataType *pdt = mdGetDynamicType(mp.mp_pdtType, mp.mp_pvObject);
  if (!mdIsDerivedFrom(pdt, CResource::md_pdtDataType)) return nullptr;
  return static_cast<CResource *>(static_cast<CSmartObject *>((CObject *)mp.mp_pvObject));
}

// The change counts of a file's resources, put back when it ends (a write to memory is no save).
class CChangeCountsScope {
public:
  explicit CChangeCountsScope(CResourceFile *prf)
  {
    CStaticStackArray<CMetaPointer> saObjects;
    mdFindReferences(prf, saObjects);
    for (const CMetaPointer &mp : saObjects) {
      CResource *prs = AsResource(mp);
      if (prs != nullptr) ccs_saCounts.Push(ChangeCount{prs, prs->rs_llChangeCount});
    }
  }
  ~CChangeCountsScope()
  {
    for (const ChangeCount &cc : ccs_saCounts) cc.cc_prs->rs_llChangeCount = cc.cc_llCount;
  }
  CChangeCountsScope(const CChangeCountsScope &) = delete;
  CChangeCountsScope &operator=(const CChangeCountsScope &) = delete;

private:
  struct ChangeCount {
    CResource *cc_prs;
    __int64 cc_llCount;
  };
  CStaticStackArray<ChangeCount> ccs_saCounts;
};

// Owns the copy of a file made for finalising: it is deleted, and leaves the stock, on every way
// out.
class CFileCopy {
public:
  CFileCopy() : fc_prf(nullptr) {}
  ~CFileCopy() { delete fc_prf; }
  CFileCopy(const CFileCopy &) = delete;
  CFileCopy &operator=(const CFileCopy &) = delete;

  CResourceFile *fc_prf;
};

// An independent copy of the file, through its metadata in memory.
void CopyThroughMemory_t(CResourceFile *prf, CFileCopy &fc)
{
  CStream strm;
  strm.CreateMemoryStream();
  {
    CChangeCountsScope ccs(prf);
    mdInternalWrite_t(strm,
                      CMetaPointer(CResourceFile::md_pdtDataType, static_cast<CObject *>(prf)));
  }
  strm.SeekBeg_t(0);
  CMetaPointer mp = mdLoad_t(&strm);
  if (!mp.IsValid()) return;
  if (!mdIsDerivedFrom(mdGetDynamicType(mp.mp_pdtType, mp.mp_pvObject),
                       CResourceFile::md_pdtDataType)) {
    mdDelete(mp);
    return;
  }
  fc.fc_prf = static_cast<CResourceFile *>((CObject *)mp.mp_pvObject);
}

} // namespace

void resFinalizeMetadataFile_t(CResourceFile *prf, EPlatform pla, const char *strTarget)
{
  if (prf == nullptr || strTarget == nullptr) {
    corLogGuardBreach();
    return;
  }
  const CString strSource = prf->GetFileName();
  CFileCopy fc;
  CopyThroughMemory_t(prf, fc);
  if (fc.fc_prf == nullptr) {
    ThrowFormat_t(strTranslate("DOZUFinalize.NoCopy=Cannot finalize '%1', its copy is not a "
                               "resource file."),
                  strSource);
  }
  CResourceFile *prfCopy = fc.fc_prf;

  Ptr<CResource> prsDefault = resAcquire(prfCopy->FindDefaultResource());
  if (prsDefault != nullptr) prsDefault->Finalize(pla, strSource);

  // By handle: a resource that an earlier Finalize deleted reads as null and is skipped.
  CStaticStackArray<CMetaHandle> saResources;
  CStaticStackArray<CMetaPointer> saObjects;
  mdFindReferences(prfCopy, saObjects);
  for (const CMetaPointer &mp : saObjects) {
    CResource *prs = AsResource(mp);
    if (prs != nullptr && prs != (CResource *)prsDefault) saResources.Push(CMetaHandle(mp));
  }
  for (const CMetaHandle &mh : saResources) {
    CResource *prs = AsResource(mh.GetPointer());
    if (prs != nullptr) prs->Finalize(pla, strSource);
  }
  prsDefault = nullptr;

  const bool bKeepEditData = pla == PLA_PC && strCompare(strFileExt(strSource), ".wld") == 0;
  CSwitchScope ssPlatform(md_plaTargetPlatformForSaving, pla);
  CSwitchScope ssDiscard(md_bDiscardEditData, bKeepEditData ? md_bDiscardEditData : 1);
  prfCopy->SetFileName(strTarget);
  prfCopy->SaveFile_t();
}

int resFinalizeFile_t(const CString &strPath, EPlatform plaMask)
{
  CSwitchScope ssPrecaching(md_bPrecaching, 0);
  if (!filExists(strPath)) {
    ThrowFormat_t(strTranslate("DOZUFinalize.Missing=Cannot finalize '%1', file does not exist."),
                  strPath);
  }
  if (strHasHead(strPath, "GenContent/")) {
    ThrowFormat_t(strTranslate("DOZUFinalize.Generated=Cannot finalize '%1', because it is a "
                               "generated file."),
                  strPath);
  }
  const FinalizePath fp = SplitPath(strPath);

  CStaticStackArray<EPlatform> saToDo;
  CString strNames;
  for (const EPlatform pla : corContentPlatformsEnumerate()) {
    if (!(plaMask & pla)) continue;
    const CString strName = corContentPlatformToName(pla);
    if (!fp.fp_strSuffix.IsEmpty() && strCompare(fp.fp_strSuffix, "." + strName) != 0) {
      conLog(strTranslate("DOZUFinalize.Targeted=Not finalizing '%1', it is targeted for platform "
                          "'%2', not '%3'.\n"),
             strPath, fp.fp_strSuffix, strName);
      continue;
    }
    if (fp.fp_strSuffix.IsEmpty()) {
      const CString strCustom = fp.fp_strBase + "." + strName + fp.fp_strExt;
      if (filExists(strCustom)) {
        conLog(strTranslate("DOZUFinalize.Custom=Not finalizing '%1' for platform '%2', because "
                            "a custom file '%3' exists.\n"),
               strPath, strName, strCustom);
        continue;
      }
    }
    const CString strTarget = corAdjustFilenameForPlatform(pla, "GenContent/" + strName + "/" +
                                                                    fp.fp_strBase + fp.fp_strExt);
    if (filExists(strTarget) && SourceTime_t(pla, strPath) < filGetFileTime_t(strTarget)) {
      conLog(strTranslate("DOZUFinalize.UpToDate=Skipping finalization of '%1' for '%2', because "
                          "'%3' is up to date.\n"),
             strPath, strName, strTarget);
      continue;
    }
    saToDo.Push(pla);
    if (!strNames.IsEmpty()) strNames += " ";
    strNames += strName;
  }
  if (saToDo.Count() == 0) return 0;

  conInfo(strTranslate("DOZUFinalize.Finalizing=Finalizing '%1' for '%2'.\n"), strPath, strNames);
  CResourceFile *prf = resObtainFile_t(strPath);
  if (prf->GetFileName() != strPath) {
    ThrowFormat_t(strTranslate("DOZUFinalize.Replaced=Cannot finalize '%1', because it is "
                               "replaced with '%2'."),
                  strPath, prf->GetFileName());
  }
  CResourceFileType *prftSave = nullptr;
  for (CResourceFileType *prft : resListSaveFileTypes()) {
    if (prft->CanSaveFile(prf)) {
      prftSave = prft;
      break;
    }
  }
  if (prftSave == nullptr) {
    ThrowFormat_t(strTranslate("DOZUFinalize.NoSaveType=Cannot finalize '%1', no resource file "
                               "type found that can save that kind of resource."),
                  strPath);
  }
  for (const EPlatform pla : saToDo) {
    const CString strName = corContentPlatformToName(pla);
    prftSave->Finalize_t(prf, pla, "GenContent/" + strName + "/" + fp.fp_strBase + fp.fp_strExt);
  }
  return 1;
}

} // namespace QuennelEngine
