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
#include "core/meta/Object.h"
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
QE_NOINLINE long FinalTargetIndexIn(const CMetaContext *pmc, CDataType *pdtTarget, void *pv)
{
  if (pdtTarget == nullptr) return -1;
  CMetaPointer mpFinal = mdGetFinalObject(CMetaPointer(pdtTarget, pv));
  return mpFinal.mp_pvObject != pv ? mdIndexOfObjectIn(pmc, mpFinal.mp_pvObject) : -1;
}
// (inline: it runs once for every reference written)
inline long TargetIndexIn(const CMetaContext *pmc, CDataType *pdtTarget, void *pv)
{
  if (pv == nullptr) return -1;
  const long i = mdIndexOfObjectIn(pmc, pv);
  return i >= 0 ? i : FinalTargetIndexIn(pmc, pdtTarget, pv);
}

void WriteDefaultIn(const WriteState &ws, CMetaFrame &mf);

// One level of a write's data walk: data nested deeper than files take is refused, so the
// writer never makes a file the reader would refuse.
class CWriteLevel {
public:
  explicit CWriteLevel(CMetaContext *pmc) : wl_pmc(pmc)
  {
    if (++pmc->mc_iWriteNesting <= MD_MAX_NESTING) return;
    pmc->mc_iWriteNesting--;
    wl_pmc = nullptr;
    ThrowFormat_t(strTranslate("DOZUMetaWrite.NestedTooDeeply=%1 cannot be saved: its object data "
                               "is nested more than %2 levels deep."),
                  mdGetWritingStreamFN(), MD_MAX_NESTING);
  }
  ~CWriteLevel(void)
  {
    if (wl_pmc != nullptr) wl_pmc->mc_iWriteNesting--;
  }
  CWriteLevel(const CWriteLevel &) = delete;
  CWriteLevel &operator=(const CWriteLevel &) = delete;

private:
  CMetaContext *wl_pmc;
};

void WriteIn(const WriteState &ws, CMetaFrame &mf)
{
  if (mf.mf_pdtType == nullptr || mf.mf_pvObject == nullptr) return;
  if (mf.mf_ulFlags & SMF_NOSAVE) return;
  if ((mf.mf_ulFlags & SMF_EDIT) && !ws.ws_bKeepEdit) return;
  CWriteLevel wl(ws.ws_pmc);
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
  if (mw.IsBinary() && pdtElement->GetFunction(CDataTypeFunctions::DTFS_WRITE) == nullptr &&
      (pdtElement->dt_dttKind == DTT_POINTER || pdtElement->dt_dttKind == DTT_SMARTPOINTER ||
       pdtElement->dt_dttKind == DTT_HANDLE)) {
    // References: their indices in blocks.
    CDataType *pdtTarget = static_cast<CDataType_Targeted *>(pdtElement)->dtt_tidTarget.Resolve();
    const bool bHandle = pdtElement->dt_dttKind == DTT_HANDLE;
    long al[256];
    for (long iDone = 0; iDone < ct;) {
      const long ctBlock = ct - iDone < 256 ? ct - iDone : 256;
      for (long i = 0; i < ctBlock; i++) {
        char *pch = pchElements + (iDone + i) * pdtElement->dt_slSize;
        void *pv = bHandle ? hvHandleToPointer(*(unsigned long *)pch) : *(void **)pch;
        al[i] = TargetIndexIn(ws.ws_pmc, pdtTarget, pv);
      }
      mw.WriteRaw_t("Ptr", al, ctBlock * 4);
      iDone += ctBlock;
    }
    return;
  }
  for (long i = 0; i < ct; i++) {
    WritePartIn(ws, pdtElement, pchElements + i * pdtElement->dt_slSize, 0);
  }
}

// Members that the default walk writes as one raw run or one reference index, at a depth the
// walk takes: the writer gets the member's block and its item in one call.
inline bool WritesAsOneItem(const WriteState &ws, CDataType *pdt)
{
  const DataTypeType dtt = pdt->dt_dttKind;
  return (dtt == DTT_SIMPLE || dtt == DTT_VALUEFIELD || dtt == DTT_POINTER || dtt == DTT_HANDLE ||
          dtt == DTT_SMARTPOINTER) &&
         ws.ws_pmc->mc_iWriteNesting < MD_MAX_NESTING &&
         pdt->GetFunction(CDataTypeFunctions::DTFS_WRITE) == nullptr;
}

// What WriteDefaultIn writes for such a member, inside the member's block.
void WriteMemberItem_t(const WriteState &ws, const char *strMember, CDataType *pdt, void *pv)
{
  CMetaWriter &mw = *ws.ws_pmw;
  switch (pdt->dt_dttKind) {
  case DTT_POINTER:
  case DTT_SMARTPOINTER:
    mw.WriteIntMember_t(
        strMember, pdt->dt_dttKind == DTT_POINTER ? "Ptr" : "SmartPtr",
        TargetIndexIn(ws.ws_pmc, static_cast<CDataType_Targeted *>(pdt)->dtt_tidTarget.Resolve(),
                      *(void **)pv));
    return;
  case DTT_HANDLE:
    mw.WriteIntMember_t(
        strMember, "Ptr",
        TargetIndexIn(ws.ws_pmc, static_cast<CDataType_Targeted *>(pdt)->dtt_tidTarget.Resolve(),
                      hvHandleToPointer(*(unsigned long *)pv)));
    return;
  default:
    mw.WriteRawMember_t(strMember, pdt->GetName(), pv, pdt->dt_slSize);
    return;
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
      CDataType *pdtMember = sm.sm_tidType.Resolve();
      if (pdtMember != nullptr && WritesAsOneItem(ws, pdtMember)) {
        WriteMemberItem_t(ws, SavedMemberName(sm), pdtMember, (char *)pv + sm.sm_slOffset);
        continue;
      }
      mw.WriteBlockStart_t(SavedMemberName(sm), nullptr);
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

// ---- Write plans ----

// The binary form of an object as a list of steps, built once per type of a write: runs of
// plain members copied as they lie, references written as object indices, and the parts that
// need an operation of their own (custom writes, containers) handed to the general walk. In
// the binary form blocks without a chunk cost no bytes, so the steps write exactly what the
// walk would.
struct WritePlanStep {
  enum Kind : unsigned char { WPS_RAW, WPS_POINTER, WPS_HANDLE, WPS_PART };
  Kind wps_eKind;
  long wps_slOffset;
  long wps_slSize;           // raw bytes
  CDataType *wps_pdt;        // the reference's target type, or the part's type
  unsigned long wps_ulFlags; // the part's frame flags
};

class CWritePlans {
public:
  explicit CWritePlans(bool bKeepEdit) : wp_bKeepEdit(bKeepEdit) {}

  // The steps of the type at a context type index: [iFirst, iFirst + ct).
  void Get(CDataType *pdt, long iType, long &iFirst, long &ct)
  {
    while (wp_aiFirst.Count() <= iType) {
      wp_aiFirst.Push() = -1;
      wp_actSteps.Push() = 0;
    }
    if (wp_aiFirst[iType] < 0) {
      const long iStart = wp_aSteps.Count();
      wp_iOpen = iStart;
      AddPart(pdt, 0, 0);
      wp_aiFirst[iType] = iStart;
      wp_actSteps[iType] = wp_aSteps.Count() - iStart;
    }
    iFirst = wp_aiFirst[iType];
    ct = wp_actSteps[iType];
  }
  const WritePlanStep &operator[](long i) const { return wp_aSteps[i]; }

private:
  void Add(WritePlanStep::Kind eKind, long slOffset, long slSize, CDataType *pdt,
           unsigned long ulFlags)
  {
    if (eKind == WritePlanStep::WPS_RAW && wp_aSteps.Count() > wp_iOpen) {
      WritePlanStep &wpsLast = wp_aSteps[wp_aSteps.Count() - 1];
      if (wpsLast.wps_eKind == WritePlanStep::WPS_RAW &&
          wpsLast.wps_slOffset + wpsLast.wps_slSize == slOffset) {
        wpsLast.wps_slSize += slSize;
        return;
      }
    }
    wp_aSteps.Push(WritePlanStep{eKind, slOffset, slSize, pdt, ulFlags});
  }

  // What WriteIn does with a part, as steps.
  void AddPart(CDataType *pdt, long slOffset, unsigned long ulFlags)
  {
    if (pdt == nullptr) return;
    if (ulFlags & SMF_NOSAVE) return;
    if ((ulFlags & SMF_EDIT) && !wp_bKeepEdit) return;
    if (pdt->GetFunction(CDataTypeFunctions::DTFS_WRITE) != nullptr) {
      Add(WritePlanStep::WPS_PART, slOffset, 0, pdt, ulFlags);
      return;
    }
    switch (pdt->dt_dttKind) {
    case DTT_SIMPLE:
    case DTT_VALUEFIELD:
      if (pdt->dt_slSize > 0) Add(WritePlanStep::WPS_RAW, slOffset, pdt->dt_slSize, nullptr, 0);
      return;
    case DTT_POINTER:
    case DTT_SMARTPOINTER:
    case DTT_HANDLE:
      Add(pdt->dt_dttKind == DTT_HANDLE ? WritePlanStep::WPS_HANDLE : WritePlanStep::WPS_POINTER,
          slOffset, 4, static_cast<CDataType_Targeted *>(pdt)->dtt_tidTarget.Resolve(), 0);
      return;
    case DTT_STRUCT: {
      CDataType_Struct *pdtst = static_cast<CDataType_Struct *>(pdt);
      AddPart(pdtst->dtst_tidBase.Resolve(), slOffset, ulFlags & SMF_EDIT);
      for (long i = 0; i < pdtst->dtst_ctMembers; i++) {
        CDataType_StructMember &sm = pdtst->dtst_asmMembers[i];
        if (!IsSavedMember(sm, wp_bKeepEdit)) continue;
        AddPart(sm.sm_tidType.Resolve(), slOffset + sm.sm_slOffset, sm.sm_ulFlags & ~SMF_EDIT);
      }
      return;
    }
    case DTT_ARRAY: {
      CDataType_Array *pdta = static_cast<CDataType_Array *>(pdt);
      CDataType *pdtElement = pdta->dta_tidElement.Resolve();
      const long ct = pdta->dta_ctDimensions > 0 ? pdta->dta_actDimensions[0] : 0;
      if (ct <= 0 || pdtElement == nullptr) return;
      if ((pdtElement->dt_ulFlags & DTF_PLAIN) &&
          pdtElement->GetFunction(CDataTypeFunctions::DTFS_WRITE) == nullptr) {
        Add(WritePlanStep::WPS_RAW, slOffset, ct * pdtElement->dt_slSize, nullptr, 0);
        return;
      }
      break;
    }
    case DTT_TYPEDEF:
      AddPart(static_cast<CDataType_Targeted *>(pdt)->dtt_tidTarget.Resolve(), slOffset, ulFlags);
      return;
    default:
      break;
    }
    Add(WritePlanStep::WPS_PART, slOffset, 0, pdt, ulFlags);
  }

  bool wp_bKeepEdit;
  long wp_iOpen = 0; // the first step of the type being planned: runs never merge across types
  CStaticStackArray<WritePlanStep> wp_aSteps;
  CStaticStackArray<long> wp_aiFirst;
  CStaticStackArray<long> wp_actSteps;
};

// A run of member bytes: most are a few words, copied without a call.
inline void CopyRun(void *pvTarget, const void *pvSource, long slSize)
{
  if (slSize <= 16 && (slSize & 3) == 0) {
    for (long i = 0; i < slSize; i += 4)
      memcpy((char *)pvTarget + i, (const char *)pvSource + i, 4);
  } else {
    memcpy(pvTarget, pvSource, slSize);
  }
}

// Bytes gathered for the binary writer and handed to it in large raw blocks.
class CWriteBuffer {
public:
  explicit CWriteBuffer(CMetaWriter &mw) : wb_mw(mw) {}

  void PutLong(long sl)
  {
    if (wb_ct + 4 > SIZE) Flush_t();
    memcpy(wb_ab + wb_ct, &sl, 4);
    wb_ct += 4;
  }
  void Put(const void *pv, long slSize)
  {
    if (wb_ct + slSize > SIZE) {
      Flush_t();
      if (slSize > SIZE) {
        wb_mw.WriteRaw_t("Raw", pv, slSize);
        return;
      }
    }
    CopyRun(wb_ab + wb_ct, pv, slSize);
    wb_ct += slSize;
  }
  void Flush_t(void)
  {
    if (wb_ct > 0) wb_mw.WriteRaw_t("Raw", wb_ab, wb_ct);
    wb_ct = 0;
  }

private:
  enum { SIZE = 16384 };
  CMetaWriter &wb_mw;
  long wb_ct = 0;
  char wb_ab[SIZE];
};

// One object through its plan.
void WritePlannedIn(const WriteState &ws, CWritePlans &wp, CWriteBuffer &wb, long iFirst, long ct,
                    char *pch)
{
  for (long i = iFirst; i < iFirst + ct; i++) {
    const WritePlanStep &wps = wp[i];
    switch (wps.wps_eKind) {
    case WritePlanStep::WPS_RAW:
      wb.Put(pch + wps.wps_slOffset, wps.wps_slSize);
      break;
    case WritePlanStep::WPS_POINTER:
      wb.PutLong(TargetIndexIn(ws.ws_pmc, wps.wps_pdt, *(void **)(pch + wps.wps_slOffset)));
      break;
    case WritePlanStep::WPS_HANDLE:
      wb.PutLong(TargetIndexIn(ws.ws_pmc, wps.wps_pdt,
                               hvHandleToPointer(*(unsigned long *)(pch + wps.wps_slOffset))));
      break;
    case WritePlanStep::WPS_PART: {
      wb.Flush_t();
      WritePartIn(ws, wps.wps_pdt, pch + wps.wps_slOffset, wps.wps_ulFlags);
      break;
    }
    }
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
    mw.WriteInt_t("File", i);
    mw.WriteInt_t("Flags", (long)wfe.wfe_ulFlags);
    // The name the file has on the platform being saved for (unchanged for ordinary saves).
    mw.WriteString_t("FileName", corAdjustFilenameForPlatform(
                                     EPlatform(md_plaTargetPlatformForSaving), wfe.wfe_strName));
  }
  mw.WriteListEnd_t();

  mw.WriteListStart_t("Idents", "IDNT", mdGetIdentCount());
  for (long i = 0; i < mdGetIdentCount(); i++) {
    IDENT id = mdIndexToIdent(i);
    mw.WriteInt_t("Ident", i);
    mw.WriteString_t("Name", id == nullptr ? "" : id);
  }
  mw.WriteListEnd_t();

  mw.WriteListStart_t("ExternalTypes", "EXTY", ctExternalTypes);
  for (long i = 0; i < ctTypes; i++) {
    if (!mdIsTypeExternal(i)) continue;
    mw.WriteInt_t("Type", i);
    mw.WriteString_t("Name", SavedTypeName(mdIndexToType(i)));
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
    mw.WriteInt_t("Object", iObject);
    mw.WriteInt_t("File", aiObjectFile[iExt]);
    mw.WriteInt_t("ResID", aiObjectResID[iExt]);
    mw.WriteInt_t("Type", TypeIndex(pdt));
  }
  mw.WriteListEnd_t();

  auto WriteObjectTypes = [&mw, pmc](const char *strName, const char *strChunk,
                                     CStaticStackArray<long> &ai) {
    mw.WriteListStart_t(strName, strChunk, ai.Count());
    if (mw.IsBinary()) {
      CWriteBuffer wb(mw);
      for (long i = 0; i < ai.Count(); i++) {
        wb.PutLong(ai[i]);
        wb.PutLong(mdTypeIndexIn(pmc, pmc->mc_saObjects[ai[i]].mio_mp.mp_pdtType));
      }
      wb.Flush_t();
      mw.WriteListEnd_t();
      return;
    }
    for (long i = 0; i < ai.Count(); i++) {
      mw.WriteInt_t("Object", ai[i]);
      mw.WriteInt_t("Type", mdTypeIndexIn(pmc, pmc->mc_saObjects[ai[i]].mio_mp.mp_pdtType));
    }
    mw.WriteListEnd_t();
  };
  WriteObjectTypes("InternalObjectTypes", "OBTY", aiInternal);
  WriteObjectTypes("EditObjectTypes", "EDTY", aiEdit);

  const WriteState ws = CurrentWriteState_t();
  CWritePlans wp(ws.ws_bKeepEdit);
  auto WriteObjects = [&mw, &ws, &wp, pmc](const char *strName, const char *strChunk,
                                           CStaticStackArray<long> &ai) {
    mw.WriteListStart_t(strName, strChunk, ai.Count());
    if (mw.IsBinary()) {
      CWriteBuffer wb(mw);
      for (long i = 0; i < ai.Count(); i++) {
        const CMetaPointer &mp = pmc->mc_saObjects[ai[i]].mio_mp;
        const long iType = mdTypeIndexIn(pmc, mp.mp_pdtType);
        wb.PutLong(ai[i]);
        wb.PutLong(iType);
        if (mp.mp_pvObject == nullptr) continue;
        if (iType < 0) {
          wb.Flush_t();
          CMetaFrame mf(mp, 0);
          WriteIn(ws, mf);
          continue;
        }
        long iFirst, ct;
        wp.Get(mp.mp_pdtType, iType, iFirst, ct);
        WritePlannedIn(ws, wp, wb, iFirst, ct, (char *)mp.mp_pvObject);
      }
      wb.Flush_t();
    } else {
      for (long i = 0; i < ai.Count(); i++) {
        CMetaPointer mp = pmc->mc_saObjects[ai[i]].mio_mp;
        mw.WriteInt_t("Object", ai[i]);
        mw.WriteInt_t("Type", mdTypeIndexIn(pmc, mp.mp_pdtType));
        // The object's data, in a block of its own.
        mw.WriteBlockStart_t("", nullptr);
        CMetaFrame mf(mp, 0);
        WriteIn(ws, mf);
        mw.WriteBlockEnd_t();
      }
    }
    mw.WriteListEnd_t();
  };
  WriteObjects("InternalObjects", "OBJS", aiInternal);
  WriteObjects("EditObjects", "EDOB", aiEdit);
  mw.Close_t();

  // What runs after the write, per type: its post-write hook (1), the links' part (2: only
  // counted objects can be resources).
  CStaticStackArray<signed char> acAfter;
  for (long i = 0; i < ctTypes; i++) acAfter.Push() = -1;
  for (long i = 0; i < ctObjects; i++) {
    if (pmc->mc_saObjects[i].mio_ulFlags & MIF_EXTERNAL) continue;
    CMetaPointer mp = pmc->mc_saObjects[i].mio_mp;
    const long iType = mdTypeIndexIn(pmc, mp.mp_pdtType);
    signed char cAfter = 3;
    if (iType >= 0 && iType < acAfter.Count() && acAfter[iType] >= 0) {
      cAfter = acAfter[iType];
    } else if (iType >= 0 && iType < acAfter.Count()) {
      cAfter = (mdHasHookInParts(mp.mp_pdtType, CDataTypeFunctions::DTFS_POSTWRITE) ? 1 : 0) |
               (mdIsDerivedFrom(mp.mp_pdtType, CSmartObject::md_pdtDataType) ? 2 : 0);
      acAfter[iType] = cAfter;
    }
    if (cAfter & 1) mdPostWrite(mp);
    if ((cAfter & 2) && pLinks != nullptr) pLinks->AfterWrite(mp);
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
