// Writing metadata files: the collection decides what the file holds, then the header, the
// referenced files, identifiers, type records, object tables and object data go out in order.
#include "core/frame/CodeGuard.h"
#include "core/frame/Console.h"
#include "core/frame/ContentPlatforms.h"
#include "core/frame/Exception.h"
#include "core/meta/DataTypeKinds.h"
#include "core/meta/HandleValues.h"
#include "core/meta/MetaCollect.h"
#include "core/meta/MetaContextPrivate.h"
#include "core/meta/MetaFilesPrivate.h"
#include "core/meta/MetaObjects.h"
#include "core/meta/MetaSettings.h"
#include "core/streams/Stream.h"
#include "core/text/FormatArgs.h"
#include "core/text/Translation.h"

#include <string.h>

namespace QuennelEngine {

namespace {

// Whether a structure member goes into files: not SMF_NOSAVE, and SMF_EDIT only with edit data.
inline bool IsSavedMember(const CDataType_StructMember &sm, bool bKeepEdit)
{
  if (sm.sm_ulFlags & SMF_NOSAVE) return false;
  if ((sm.sm_ulFlags & SMF_EDIT) && !bKeepEdit) return false;
  return true;
}

// The name a file records for a type or a member: the alias under md_bSaveAliases.
const char *SavedTypeName(CDataType *pdt)
{
  CDataType_Struct *pdtst = mdAsStruct(pdt);
  if (md_bSaveAliases && pdtst != nullptr && pdtst->dtst_idAlias != nullptr &&
      pdtst->dtst_idAlias[0] != 0) {
    return pdtst->dtst_idAlias;
  }
  return pdt->GetName();
}

const char *SavedMemberName(const CDataType_StructMember &sm)
{
  if (md_bSaveAliases && sm.sm_idAlias != nullptr && sm.sm_idAlias[0] != 0) return sm.sm_idAlias;
  return sm.sm_idCodeName;
}

// Every type that an internal type's record refers to is collected; embedded ones (bases,
// members, elements stored in place, aliased types) become internal too.
void CollectRecordTypes(CMetaContext *pmc)
{
  // A type made internal by one that comes later in the table is visited in the next round.
  CStaticStackArray<bool> abDone;
  for (bool bChanged = true; bChanged;) {
    bChanged = false;
    for (long iType = 0; iType < pmc->mc_saTypes.Count(); iType++) {
      while (abDone.Count() < pmc->mc_saTypes.Count()) abDone.Push() = false;
      if (pmc->mc_saTypes[iType].mit_bExternal || abDone[iType]) continue;
      abDone[iType] = true;
      bChanged = true;
      CDataType *pdt = pmc->mc_saTypes[iType].mit_pdt;
      auto Embed = [pmc](CDataType *pdtPart) {
        if (pdtPart == nullptr) return;
        const long i = mdCollectTypeIn(pmc, pdtPart);
        pmc->mc_saTypes[i].mit_bExternal = false;
      };
      switch (pdt->dt_dttKind) {
      case DTT_POINTER:
      case DTT_SMARTPOINTER:
      case DTT_HANDLE:
        mdCollectTypeIn(pmc, static_cast<CDataType_Targeted *>(pdt)->dtt_tidTarget.Resolve());
        break;
      case DTT_TYPEDEF:
        Embed(static_cast<CDataType_Targeted *>(pdt)->dtt_tidTarget.Resolve());
        break;
      case DTT_ARRAY:
        Embed(static_cast<CDataType_Array *>(pdt)->dta_tidElement.Resolve());
        break;
      case DTT_STATICARRAY:
      case DTT_STATICSTACKARRAY:
        Embed(static_cast<CDataType_Container *>(pdt)->dtc_tidElement.Resolve());
        break;
      case DTT_DYNAMICCONTAINER:
        mdCollectTypeIn(pmc, static_cast<CDataType_Container *>(pdt)->dtc_tidElement.Resolve());
        break;
      case DTT_STRUCT: {
        CDataType_Struct *pdtst = static_cast<CDataType_Struct *>(pdt);
        Embed(pdtst->dtst_tidBase.Resolve());
        const bool bKeepEdit = mdKeepsEditData();
        for (long i = 0; i < pdtst->dtst_ctMembers; i++) {
          CDataType_StructMember &sm = pdtst->dtst_asmMembers[i];
          if (IsSavedMember(sm, bKeepEdit)) Embed(sm.sm_tidType.Resolve());
        }
        break;
      }
      default:
        break;
      }
    }
  }
}

long TypeIndex(CDataType *pdt)
{
  return pdt == nullptr ? -1 : mdTypeToIndex(pdt);
}

void WriteTypeRecord(CMetaWriter &mw, CDataType *pdt, long iType)
{
  mw.WriteBlockStart_t("DataType", "DTTY");
  mw.WriteInt_t("DataType", iType);
  mw.WriteString_t("Name", SavedTypeName(pdt));
  mw.WriteInt_t("Format", pdt->dt_iFormat);
  mw.WriteKind_t("Type", pdt->dt_dttKind);
  switch (pdt->dt_dttKind) {
  case DTT_SIMPLE:
    mw.WriteInt_t("Bytes", pdt->dt_slSize);
    mw.WriteInt_t("LBE", static_cast<CDataType_Simple *>(pdt)->dts_slByteOrderUnit);
    break;
  case DTT_VALUEFIELD:
    mw.WriteInt_t("Bytes", pdt->dt_slSize);
    break;
  case DTT_POINTER:
  case DTT_SMARTPOINTER:
  case DTT_HANDLE:
    mw.WriteInt_t("To", TypeIndex(static_cast<CDataType_Targeted *>(pdt)->dtt_tidTarget.Resolve()));
    break;
  case DTT_ARRAY: {
    CDataType_Array *pdta = static_cast<CDataType_Array *>(pdt);
    mw.WriteInt_t("Of", TypeIndex(pdta->dta_tidElement.Resolve()));
    mw.WriteListStart_t("Dimensions", "ADIM", pdta->dta_ctDimensions);
    for (long i = 0; i < pdta->dta_ctDimensions; i++) {
      mw.WriteInt_t("Dimension", pdta->dta_actDimensions[i]);
    }
    mw.WriteListEnd_t();
    break;
  }
  case DTT_STRUCT: {
    CDataType_Struct *pdtst = static_cast<CDataType_Struct *>(pdt);
    mw.WriteInt_t("Base", TypeIndex(pdtst->dtst_tidBase.Resolve()));
    const bool bKeepEdit = mdKeepsEditData();
    long ctSaved = 0;
    for (long i = 0; i < pdtst->dtst_ctMembers; i++) {
      if (IsSavedMember(pdtst->dtst_asmMembers[i], bKeepEdit)) ctSaved++;
    }
    mw.WriteListStart_t("Members", "STMB", ctSaved);
    for (long i = 0; i < pdtst->dtst_ctMembers; i++) {
      CDataType_StructMember &sm = pdtst->dtst_asmMembers[i];
      if (!IsSavedMember(sm, bKeepEdit)) continue;
      mw.WriteBlockStart_t("Member", nullptr);
      mw.WriteString_t("Name", SavedMemberName(sm));
      mw.WriteInt_t("Type", TypeIndex(sm.sm_tidType.Resolve()));
      mw.WriteBlockEnd_t();
    }
    mw.WriteListEnd_t();
    break;
  }
  case DTT_STATICARRAY:
  case DTT_STATICSTACKARRAY:
  case DTT_DYNAMICCONTAINER:
    mw.WriteInt_t("Of",
                  TypeIndex(static_cast<CDataType_Container *>(pdt)->dtc_tidElement.Resolve()));
    break;
  case DTT_TYPEDEF:
    mw.WriteInt_t("For",
                  TypeIndex(static_cast<CDataType_Targeted *>(pdt)->dtt_tidTarget.Resolve()));
    break;
  default:
    break;
  }
  mw.WriteBlockEnd_t();
}

// Restores the calling thread's writer when a write ends, however it ends.
class CCurrentWriterScope {
public:
  explicit CCurrentWriterScope(CMetaWriter *pmw) : cws_pmwOuter(mdCurrentWriter())
  {
    mdSetCurrentWriter(pmw);
  }
  ~CCurrentWriterScope(void) { mdSetCurrentWriter(cws_pmwOuter); }

private:
  CMetaWriter *cws_pmwOuter;
};

} // namespace

// ---- Object data ----

namespace {

// What the object writers need, taken from the thread once per object instead of per part.
struct WriteState {
  CMetaWriter *ws_pmw;
  CMetaContext *ws_pmc;
  bool ws_bKeepEdit;
};

WriteState CurrentWriteState_t(void)
{
  return WriteState{&mdMustWriter_t(), mdGetMetaContext(), mdKeepsEditData()};
}

// The object index of a reference target: by its address, else by what it stands for (the
// collection indexes final objects).
long TargetIndexIn(const CMetaContext *pmc, CDataType *pdtTarget, void *pv)
{
  if (pv == nullptr) return -1;
  long i = mdIndexOfObjectIn(pmc, pv);
  if (i < 0 && pdtTarget != nullptr) {
    CMetaPointer mpFinal = mdGetFinalObject(CMetaPointer(pdtTarget, pv));
    if (mpFinal.mp_pvObject != pv) i = mdIndexOfObjectIn(pmc, mpFinal.mp_pvObject);
  }
  return i;
}

void WriteDefaultIn(const WriteState &ws, CMetaFrame &mf);

void WriteIn(const WriteState &ws, CMetaFrame &mf)
{
  if (mf.mf_pdtType == nullptr || mf.mf_pvObject == nullptr) return;
  if (mf.mf_ulFlags & SMF_NOSAVE) return;
  if ((mf.mf_ulFlags & SMF_EDIT) && !ws.ws_bKeepEdit) return;
  MetaFrameFunction pWrite =
      (MetaFrameFunction)mf.mf_pdtType->GetFunction(CDataTypeFunctions::DTFS_WRITE);
  if (pWrite != nullptr) {
    pWrite(mf);
  } else {
    WriteDefaultIn(ws, mf);
  }
}

void WritePartIn(const WriteState &ws, CDataType *pdt, void *pv, unsigned long ulFlags)
{
  CMetaFrame mf(pdt, pv, ulFlags);
  WriteIn(ws, mf);
}

// The elements of a container: one raw block for plain elements in the binary form.
void WriteElementsIn(const WriteState &ws, CDataType *pdtElement, char *pchElements, long ct)
{
  if (ct <= 0 || pdtElement == nullptr) return;
  CMetaWriter &mw = *ws.ws_pmw;
  if ((pdtElement->dt_ulFlags & DTF_PLAIN) && mw.IsBinary() &&
      pdtElement->GetFunction(CDataTypeFunctions::DTFS_WRITE) == nullptr) {
    mw.WriteRaw_t(pdtElement->GetName(), pchElements, memElementBytes(ct, pdtElement->dt_slSize));
    return;
  }
  for (long i = 0; i < ct; i++) {
    WritePartIn(ws, pdtElement, pchElements + i * pdtElement->dt_slSize, 0);
  }
}

void WriteDefaultIn(const WriteState &ws, CMetaFrame &mf)
{
  CDataType *pdt = mf.mf_pdtType;
  void *pv = mf.mf_pvObject;
  if (pdt == nullptr || pv == nullptr) return;
  CMetaWriter &mw = *ws.ws_pmw;
  switch (pdt->dt_dttKind) {
  case DTT_SIMPLE:
  case DTT_VALUEFIELD:
    mw.WriteRaw_t(pdt->GetName(), pv, pdt->dt_slSize);
    return;
  case DTT_POINTER:
    mw.WriteInt_t("Ptr",
                  TargetIndexIn(ws.ws_pmc,
                                static_cast<CDataType_Targeted *>(pdt)->dtt_tidTarget.Resolve(),
                                *(void **)pv));
    return;
  case DTT_HANDLE:
    mw.WriteInt_t("Ptr",
                  TargetIndexIn(ws.ws_pmc,
                                static_cast<CDataType_Targeted *>(pdt)->dtt_tidTarget.Resolve(),
                                hvHandleToPointer(*(unsigned long *)pv)));
    return;
  case DTT_SMARTPOINTER:
    mw.WriteInt_t("SmartPtr",
                  TargetIndexIn(ws.ws_pmc,
                                static_cast<CDataType_Targeted *>(pdt)->dtt_tidTarget.Resolve(),
                                *(void **)pv));
    return;
  case DTT_STRUCT: {
    CDataType_Struct *pdtst = static_cast<CDataType_Struct *>(pdt);
    CDataType *pdtBase = pdtst->dtst_tidBase.Resolve();
    if (pdtBase != nullptr) WritePartIn(ws, pdtBase, pv, mf.mf_ulFlags & SMF_EDIT);
    const bool bKeepEdit = ws.ws_bKeepEdit;
    mw.WriteBlockStart_t("Struct", nullptr);
    for (long i = 0; i < pdtst->dtst_ctMembers; i++) {
      CDataType_StructMember &sm = pdtst->dtst_asmMembers[i];
      if (!IsSavedMember(sm, bKeepEdit)) continue;
      // Exactly the members the type record lists, under the name it holds.
      mw.WriteBlockStart_t(SavedMemberName(sm), nullptr);
      CDataType *pdtMember = sm.sm_tidType.Resolve();
      if (pdtMember != nullptr) {
        CMetaFrame mfMember(pdtMember, (char *)pv + sm.sm_slOffset, sm.sm_ulFlags & ~SMF_EDIT);
        WriteIn(ws, mfMember);
      }
      mw.WriteBlockEnd_t();
    }
    mw.WriteBlockEnd_t();
    return;
  }
  case DTT_ARRAY: {
    CDataType_Array *pdta = static_cast<CDataType_Array *>(pdt);
    CDataType *pdtElement = pdta->dta_tidElement.Resolve();
    mw.WriteBlockStart_t("Array", nullptr);
    const long ct = pdta->dta_ctDimensions > 0 ? pdta->dta_actDimensions[0] : 0;
    WriteElementsIn(ws, pdtElement, (char *)pv, ct);
    mw.WriteBlockEnd_t();
    return;
  }
  case DTT_STATICARRAY:
  case DTT_STATICSTACKARRAY: {
    const bool bStatic = pdt->dt_dttKind == DTT_STATICARRAY;
    CDataType *pdtElement = static_cast<CDataType_Container *>(pdt)->dtc_tidElement.Resolve();
    const long ct = bStatic ? ((long *)pv)[0] : ((long *)pv)[2];
    char *pchElements = ((char **)pv)[1];
    mw.WriteListStart_t(bStatic ? "StaticArray" : "StaticStackArray", bStatic ? "STAR" : "SSAR",
                        ct);
    WriteElementsIn(ws, pdtElement, pchElements, ct);
    mw.WriteListEnd_t();
    return;
  }
  case DTT_DYNAMICCONTAINER: {
    CDataType *pdtElement = static_cast<CDataType_Container *>(pdt)->dtc_tidElement.Resolve();
    const long ct = ((long *)pv)[2];
    void **apv = ((void ***)pv)[1];
    mw.WriteListStart_t("DynamicContainer", "DCON", ct);
    for (long i = 0; i < ct; i++)
      mw.WriteInt_t("Ptr", TargetIndexIn(ws.ws_pmc, pdtElement, apv[i]));
    mw.WriteListEnd_t();
    return;
  }
  case DTT_TYPEDEF:
    WritePartIn(ws, static_cast<CDataType_Targeted *>(pdt)->dtt_tidTarget.Resolve(), pv,
                mf.mf_ulFlags);
    return;
  default:
    return;
  }
}

} // namespace

void mdWriteObject_t(CMetaFrame &mf)
{
  WriteIn(CurrentWriteState_t(), mf);
}

void mdWriteObjectDefault_t(CMetaFrame &mf)
{
  WriteDefaultIn(CurrentWriteState_t(), mf);
}

// ---- The file ----

namespace {

struct WriteFileEntry {
  CString wfe_strName;
  CObject *wfe_pFile;
  unsigned long wfe_ulFlags;
};

void WriteFile_t(CMetaWriter &mw, CMetaPointer mpRoot)
{
  CMetaContext *pmc = mdGetMetaContext();
  MetaSwitches &ms = pmc->mc_ms;
  CMetaFileLinks *pLinks = mdGetFileLinks();
  ms.ms_bResolveProxies = 0;
  ms.ms_bCollectForCopying = 0;
  if (mpRoot.mp_pdtType != nullptr && strcmp(mpRoot.mp_pdtType->GetName(), "CResourceFile") == 0) {
    mdSetSavedResourceFile((CObject *)mpRoot.mp_pvObject);
  }
  mdCollectReference_t(mpRoot, 0);
  _mdCollectClosure_t();
  CollectRecordTypes(pmc);

  const bool bKeepEdit = ms.ms_bInEditor && !ms.ms_bDiscardEditData;
  const long ctObjects = mdGetObjectCount();
  CStaticStackArray<long> aiExternal, aiInternal, aiEdit;
  for (long i = 0; i < ctObjects; i++) {
    const unsigned long ul = pmc->mc_saObjects[i].mio_ulFlags;
    if (ul & MIF_EXTERNAL) {
      aiExternal.Push() = i;
    } else if (ul & MIF_EDIT) {
      if (bKeepEdit) aiEdit.Push() = i;
    } else {
      aiInternal.Push() = i;
    }
  }
  const long ctTypes = mdGetTypeCount();
  long ctExternalTypes = 0;
  for (long i = 0; i < ctTypes; i++) ctExternalTypes += mdIsTypeExternal(i) ? 1 : 0;

  // The referenced files, in the order their first object was met.
  CStaticStackArray<WriteFileEntry> aFiles;
  CStaticStackArray<long> aiObjectFile, aiObjectResID;
  for (long iExt = 0; iExt < aiExternal.Count(); iExt++) {
    const long iObject = aiExternal[iExt];
    CString strFile;
    CObject *pFile = nullptr;
    long iResID = -1;
    if (pLinks != nullptr) {
      pLinks->DescribeExternal_t(mdGetFinalObject(mdIndexToObject(iObject)), strFile, pFile,
                                 iResID);
    }
    unsigned long ulLoad = 0;
    if (mdIsObjectDelayedLoaded(iObject)) ulLoad |= MDRF_DELAYED;
    if (mdIsObjectLoadedOnDemand(iObject)) ulLoad |= MDRF_ONDEMAND;
    long iFile = -1;
    if (!strFile.IsEmpty()) {
      for (long i = 0; i < aFiles.Count(); i++) {
        if (aFiles[i].wfe_strName == strFile) {
          iFile = i;
          break;
        }
      }
      if (iFile < 0) {
        iFile = aFiles.Count();
        aFiles.Push(WriteFileEntry{strFile, pFile, ulLoad});
      } else {
        aFiles[iFile].wfe_ulFlags &= ulLoad;
        if (aFiles[iFile].wfe_pFile == nullptr) aFiles[iFile].wfe_pFile = pFile;
      }
    }
    aiObjectFile.Push() = iFile;
    aiObjectResID.Push() = iResID;
  }

  CHookCache hcPre(CDataTypeFunctions::DTFS_PREWRITE);
  for (long i = 0; i < ctObjects; i++) {
    const MetaIndexObject &mio = pmc->mc_saObjects[i];
    if (!(mio.mio_ulFlags & MIF_EXTERNAL) && hcPre.Has(mio.mio_mp.mp_pdtType)) {
      mdPreWrite(mio.mio_mp);
    }
  }

  mw.Open_t();
  mw.WriteBlockStart_t("Info", "INFO");
  mw.WriteInt_t("EditDataStripped", bKeepEdit ? 0 : 1);
  mw.WriteInt_t("ResourceFiles", aFiles.Count());
  mw.WriteInt_t("Idents", mdGetIdentCount());
  mw.WriteInt_t("Types", ctTypes);
  mw.WriteInt_t("Objects", ctObjects);
  mw.WriteBlockEnd_t();

  mw.WriteListStart_t("ResourceFiles", "RFIL", aFiles.Count());
  for (long i = 0; i < aFiles.Count(); i++) {
    WriteFileEntry &wfe = aFiles[i];
    if (wfe.wfe_pFile != nullptr && pLinks != nullptr) {
      if (pLinks->IsFileUnnamed(wfe.wfe_pFile)) {
        ThrowFormat_t(strTranslate("DOZUMetaWrite.CannotSaveFile=%1 cannot be saved because it "
                                   "references unnamed file %2.\n"),
                      mw.GetStream().GetDescription(), wfe.wfe_strName);
      }
      if (!pLinks->MayFileBeReferenced(wfe.wfe_pFile)) {
        conWarning(strTranslate("DOZUMetaWrite.Referenced=Warning! File %1 is referenced from "
                                "%2.\n"),
                   wfe.wfe_strName, mw.GetStream().GetDescription());
      }
    }
    mw.WriteBlockStart_t("File", nullptr);
    mw.WriteInt_t("File", i);
    mw.WriteInt_t("Flags", (long)wfe.wfe_ulFlags);
    // The name the file has on the platform being saved for (unchanged for ordinary saves).
    mw.WriteString_t("FileName", corAdjustFilenameForPlatform(
                                     EPlatform(md_plaTargetPlatformForSaving), wfe.wfe_strName));
    mw.WriteBlockEnd_t();
  }
  mw.WriteListEnd_t();

  mw.WriteListStart_t("Idents", "IDNT", mdGetIdentCount());
  for (long i = 0; i < mdGetIdentCount(); i++) {
    IDENT id = mdIndexToIdent(i);
    mw.WriteBlockStart_t("Ident", nullptr);
    mw.WriteInt_t("Ident", i);
    mw.WriteString_t("Name", id == nullptr ? "" : id);
    mw.WriteBlockEnd_t();
  }
  mw.WriteListEnd_t();

  mw.WriteListStart_t("ExternalTypes", "EXTY", ctExternalTypes);
  for (long i = 0; i < ctTypes; i++) {
    if (!mdIsTypeExternal(i)) continue;
    mw.WriteBlockStart_t("ExternalType", nullptr);
    mw.WriteInt_t("Type", i);
    mw.WriteString_t("Name", SavedTypeName(mdIndexToType(i)));
    mw.WriteBlockEnd_t();
  }
  mw.WriteListEnd_t();

  mw.WriteListStart_t("InternalTypes", "INTY", ctTypes - ctExternalTypes);
  for (long i = 0; i < ctTypes; i++) {
    if (!mdIsTypeExternal(i)) WriteTypeRecord(mw, mdIndexToType(i), i);
  }
  mw.WriteListEnd_t();

  mw.WriteListStart_t("ExternalObjects", "EXOB", aiExternal.Count());
  for (long iExt = 0; iExt < aiExternal.Count(); iExt++) {
    const long iObject = aiExternal[iExt];
    CMetaPointer mp = mdIndexToObject(iObject);
    const MetaResourceInfo mri = mdInspectResource(mp);
    CDataType *pdt =
        mri.mri_bProxy && mri.mri_pdtProxied != nullptr ? mri.mri_pdtProxied : mp.mp_pdtType;
    mw.WriteBlockStart_t("ExternalObject", nullptr);
    mw.WriteInt_t("Object", iObject);
    mw.WriteInt_t("File", aiObjectFile[iExt]);
    mw.WriteInt_t("ResID", aiObjectResID[iExt]);
    mw.WriteInt_t("Type", TypeIndex(pdt));
    mw.WriteBlockEnd_t();
  }
  mw.WriteListEnd_t();

  auto WriteObjectTypes = [&mw, pmc](const char *strName, const char *strChunk,
                                     CStaticStackArray<long> &ai) {
    mw.WriteListStart_t(strName, strChunk, ai.Count());
    for (long i = 0; i < ai.Count(); i++) {
      mw.WriteBlockStart_t("ObjectType", nullptr);
      mw.WriteInt_t("Object", ai[i]);
      mw.WriteInt_t("Type", mdTypeIndexIn(pmc, pmc->mc_saObjects[ai[i]].mio_mp.mp_pdtType));
      mw.WriteBlockEnd_t();
    }
    mw.WriteListEnd_t();
  };
  WriteObjectTypes("ObjectTypes", "OBTY", aiInternal);
  WriteObjectTypes("EditObjectTypes", "EDTY", aiEdit);

  const WriteState ws = CurrentWriteState_t();
  auto WriteObjects = [&mw, &ws, pmc](const char *strName, const char *strChunk,
                                      CStaticStackArray<long> &ai) {
    mw.WriteListStart_t(strName, strChunk, ai.Count());
    for (long i = 0; i < ai.Count(); i++) {
      CMetaPointer mp = pmc->mc_saObjects[ai[i]].mio_mp;
      mw.WriteBlockStart_t("Object", nullptr);
      mw.WriteInt_t("Object", ai[i]);
      mw.WriteInt_t("Type", mdTypeIndexIn(pmc, mp.mp_pdtType));
      CMetaFrame mf(mp, 0);
      WriteIn(ws, mf);
      mw.WriteBlockEnd_t();
    }
    mw.WriteListEnd_t();
  };
  WriteObjects("Objects", "OBJS", aiInternal);
  WriteObjects("EditObjects", "EDOB", aiEdit);
  mw.Close_t();

  CHookCache hcPost(CDataTypeFunctions::DTFS_POSTWRITE);
  for (long i = 0; i < ctObjects; i++) {
    if (pmc->mc_saObjects[i].mio_ulFlags & MIF_EXTERNAL) continue;
    CMetaPointer mp = pmc->mc_saObjects[i].mio_mp;
    if (hcPost.Has(mp.mp_pdtType)) mdPostWrite(mp);
    if (pLinks != nullptr) pLinks->AfterWrite(mp);
  }
}

} // namespace

void mdInternalWrite_t(CStream &strm, CMetaPointer mpRoot)
{
  if (!mpRoot.IsValid()) {
    corLogGuardBreach();
    ThrowFormat_t(strTranslate("DOZUMetaWrite.NoRoot=Cannot write a metadata file without a root "
                               "object."));
  }
  CMetaContextScope mcs;
  mdSetupMetaIndex();
  CBinaryMetaWriter mwBinary(strm);
  CMetaWriter *pmw = &mwBinary;
  CMetaWriter *pmwText = nullptr;
  if (md_bSaveTextFiles && mdGetTextWriterFactory() != nullptr) {
    pmwText = mdGetTextWriterFactory()(strm);
    pmw = pmwText;
  }
  try {
    CCurrentWriterScope cws(pmw);
    WriteFile_t(*pmw, mpRoot);
  } catch (...) {
    delete pmwText;
    mdCleanupMetaIndex();
    throw;
  }
  delete pmwText;
  mdCleanupMetaIndex();
}

} // namespace QuennelEngine
