// The data walk of a read: an object's data as the file's descriptor lays it out, read into the
// program's type (members where the matching put them, numbers converted, references resolved
// from object indices and checked against their slots) or skipped. Custom reads and skips of
// types nest through the same entries, so the walk's depth is bounded here.
#include "core/frame/Console.h"
#include "core/meta/DataTypeKinds.h"
#include "core/meta/MetaCollect.h"
#include "core/meta/MetaContainers.h"
#include "core/meta/MetaObjects.h"
#include "core/meta/MetaReadPrivate.h"
#include "core/streams/Stream.h"
#include "core/text/FormatArgs.h"
#include "core/text/Translation.h"

#include <string.h>

namespace QuennelEngine {

namespace {

// The object a reference of the file names (null for -1). The target counts as reached only once
// the reference is stored: one that is skipped or refused keeps nothing alive.
MetaReadObject *ObjectAtIn_t(CMetaReadContext &rc, long iObject)
{
  if (iObject == -1) return nullptr;
  if (iObject < 0 || iObject >= rc.mrc_aObjects.Count()) {
    Error_t(
        strFormat("Invalid object index %1 at offset %2.", iObject, rc.mrc_pstrm->GetPosition()));
  }
  return &rc.mrc_aObjects[iObject];
}

MetaReadObject *ObjectAt_t(long iObject)
{
  return ObjectAtIn_t(Context(), iObject);
}

// Whether an object of type `pdtObject` may be stored where `pdtTarget` is expected.
bool TargetFits(CDataType *pdtObject, CDataType *pdtTarget)
{
  if (pdtObject == nullptr || pdtTarget == nullptr) return false;
  if (pdtObject == pdtTarget) return true;
  pdtObject = ThroughTypedefs(pdtObject);
  pdtTarget = ThroughTypedefs(pdtTarget);
  if (pdtObject == pdtTarget) return true;
  return mdIsDerivedFrom(pdtObject, pdtTarget) != 0;
}

} // namespace

// The same for an object: a resource proxy may stand where what it stands for is expected.
bool ObjectFits(const CMetaPointer &mp, CDataType *pdtTarget)
{
  if (TargetFits(mp.mp_pdtType, pdtTarget)) return true;
  if (!mp.IsValid()) return false;
  const MetaResourceInfo mri = mdInspectResource(mp);
  return mri.mri_bProxy && mri.mri_pdtProxied != nullptr &&
         TargetFits(mri.mri_pdtProxied, pdtTarget);
}

namespace {

void ReportMismatch(const MetaReadObject &mro, CDataType *pdtTarget)
{
  conWarning(
      strTranslate("DOZUMetaRead.WrongTarget=%1: an object of type %2 cannot be stored where %3 "
                   "is expected; the reference is left null.\n"),
      mdGetReadingStreamFN(), mdGetTypeDescription(mro.mro_mp.mp_pdtType),
      mdGetTypeDescription(pdtTarget));
}

void ReadIn(CMetaReadContext &rc, CMetaFrame &mf);

// One level of the data walk of a read: data nested deeper than the reader takes is an error
// before it costs more stack (custom operations nest through the same entries).
class CDataLevel {
public:
  explicit CDataLevel(CMetaReadContext *pmrc) : dl_pmrc(pmrc)
  {
    if (pmrc == nullptr) return;
    if (++pmrc->mrc_iNesting > 2 * MD_MAX_NESTING) {
      pmrc->mrc_iNesting--;
      dl_pmrc = nullptr;
      Error_t(strFormat("Object data is nested more than %1 levels deep.", 2 * MD_MAX_NESTING));
    }
  }
  ~CDataLevel(void)
  {
    if (dl_pmrc != nullptr) dl_pmrc->mrc_iNesting--;
  }
  CDataLevel(const CDataLevel &) = delete;
  CDataLevel &operator=(const CDataLevel &) = delete;

private:
  CMetaReadContext *dl_pmrc;
};

} // namespace

// Stores the object at an index into a pointer, smart pointer or handle of the program.
void AssignReference(CMetaReadContext &rc, CMetaPointer mpSlot, long iObject)
{
  MetaReadObject *pmro = ObjectAtIn_t(rc, iObject);
  if (pmro == nullptr) {
    mdRef_Assign(mpSlot, nullptr);
    return;
  }
  CDataType *pdtTarget =
      static_cast<CDataType_Targeted *>(mpSlot.mp_pdtType)->dtt_tidTarget.Resolve();
  if (pmro->mro_iDeferredFile >= 0) {
    mdNoteReadReference(rc, iObject);
    mdRef_Assign(mpSlot, nullptr);
    Deferred().Push(
        DeferredReference{rc.mrc_iSerial, rc.mrc_aFiles[pmro->mro_iDeferredFile].mrf_strName,
                          pmro->mro_iResID, pdtTarget, mpSlot, -1, rc.mrc_pvReadingOwner});
    return;
  }
  if (pmro->mro_mp.mp_pvObject == nullptr) {
    mdRef_Assign(mpSlot, nullptr);
    return;
  }
  if (!ObjectFits(pmro->mro_mp, pdtTarget)) {
    ReportMismatch(*pmro, pdtTarget);
    mdRef_Assign(mpSlot, nullptr);
    return;
  }
  mdNoteReadReference(rc, iObject);
  mdRef_Assign(mpSlot, pmro->mro_mp.mp_pvObject);
}

void ReadPart_t(CMetaReadContext &rc, CDataType *pdtFile, CDataType *pdtMemory, void *pv,
                unsigned long ulFlags)
{
  CMetaFrame mf(pdtFile, pdtMemory, pv, ulFlags);
  ReadIn(rc, mf);
}

void SkipPart_t(CDataType *pdtFile, unsigned long ulFlags)
{
  CMetaFrame mf(pdtFile, nullptr, nullptr, ulFlags);
  mdSkipObject_t(mf);
}

// The base part of a structure object: the file's base levels are read where the program's
// structure has them and skipped where it does not.
void ReadBasePart_t(CMetaReadContext &rc, CDataType *pdtFileBase, CDataType *pdtMemoryBase,
                    void *pv, unsigned long ulFlags)
{
  CDataType *pdtProgram = ProgramOf(pdtFileBase);
  if (pdtMemoryBase != nullptr && pdtProgram != nullptr &&
      mdIsDerivedFrom(pdtMemoryBase, pdtProgram)) {
    ReadPart_t(rc, pdtFileBase, pdtProgram, pv, ulFlags);
    return;
  }
  CDataType_Struct *pdtst = static_cast<CDataType_Struct *>(pdtFileBase);
  CDataType *pdtLower = pdtst->dtst_tidBase.GetPointer();
  if (pdtLower != nullptr) ReadBasePart_t(rc, pdtLower, pdtMemoryBase, pv, ulFlags);
  // This level's own members are not in the program's structure.
  CMetaReader &mr = *Context().mrc_pReader;
  mr.ReadBlockStart_t("Struct", nullptr);
  for (long i = 0; i < pdtst->dtst_ctMembers; i++) {
    CDataType_StructMember &sm = pdtst->dtst_asmMembers[i];
    mr.ReadBlockStart_t(sm.sm_idCodeName, nullptr);
    SkipPart_t(sm.sm_tidType.GetPointer(), 0);
    mr.ReadBlockEnd_t();
  }
  mr.ReadBlockEnd_t();
}

// An array's data is a block from version 6, a list (whose count says nothing) before.
static void ReadArrayStart_t(CMetaReader &mr)
{
  if (mr.GetVersion() >= 6) {
    mr.ReadBlockStart_t("Array", nullptr);
  } else {
    long ctIgnored;
    mr.ReadListStart_t("Array", "ARRY", ctIgnored);
  }
}

static void ReadArrayEnd_t(CMetaReader &mr)
{
  if (mr.GetVersion() >= 6) {
    mr.ReadBlockEnd_t();
  } else {
    mr.ReadListEnd_t();
  }
}

// Whether data the file stores as `pdtFile` may be read into a program value of `pdtMemory`.
// Simple types with an encoding of their own (a text, an identifier) hold other things than
// numbers: the data of one is never read into another (nor numbers into them, or them into
// numbers), whatever their sizes.
bool SameEncoding(CDataType *pdtFile, CDataType *pdtMemory)
{
  CDataType *pdtProgram = ProgramOf(pdtFile);
  if (pdtProgram == nullptr || pdtProgram == pdtMemory) return true;
  pdtProgram = ThroughTypedefs(pdtProgram);
  CDataType *pdtM = ThroughTypedefs(pdtMemory);
  if (pdtProgram == pdtM) return true;
  if (pdtProgram->dt_dttKind != DTT_SIMPLE && pdtM->dt_dttKind != DTT_SIMPLE) return true;
  if (IsTransString(pdtM)) return true;
  return pdtProgram->GetFunction(CDataTypeFunctions::DTFS_READ) == nullptr &&
         pdtM->GetFunction(CDataTypeFunctions::DTFS_READ) == nullptr;
}

namespace {

// A number of the file's size into a number of the program's size: sign-extended, then cut.
void ReadNumber_t(CMetaReader &mr, CDataType *pdtFile, void *pv, long slMemory)
{
  const long slFile = (long)pdtFile->dt_aulReserved[RES_FILEBYTES];
  if (!(pdtFile->dt_ulFlags & DTF_FROMFILE) || slFile == slMemory) {
    mr.ReadRaw_t(pdtFile->GetName(), pv, slMemory);
    return;
  }
  if (slFile > 8 || slMemory > 8) {
    // Not a number: the data is dropped and the member keeps its value.
    mr.SkipRaw_t(pdtFile->GetName(), slFile);
    return;
  }
  unsigned char ab[8];
  mr.ReadRaw_t(pdtFile->GetName(), ab, slFile);
  long long ll = 0;
  memcpy(&ll, ab, (size_t)slFile);
  if (slFile > 0 && slFile < 8 && (ab[slFile - 1] & 0x80) &&
      pdtFile->dt_dttKind == DTT_VALUEFIELD) {
    ll |= (long long)(~0ULL << (slFile * 8));
  }
  memcpy(pv, &ll, (size_t)slMemory);
}

// One raw block only into the very type the file's elements are (a plain run of another type,
// a text for instance, takes element by element what fits).
static bool ReadsElementsRaw(CMetaReader &mr, CDataType *pdtFileElement,
                             CDataType *pdtMemoryElement)
{
  return IsPlain(pdtFileElement) && mr.IsBinary() && pdtMemoryElement != nullptr &&
         pdtFileElement->GetFunction(CDataTypeFunctions::DTFS_READ) == nullptr &&
         ProgramOf(pdtFileElement) != nullptr &&
         ThroughTypedefs(ProgramOf(pdtFileElement)) == ThroughTypedefs(pdtMemoryElement);
}

void ReadElements_t(CMetaReadContext &rc, CMetaReader &mr, CDataType *pdtFileElement,
                    CDataType *pdtMemoryElement, char *pch, long ct)
{
  if (ct <= 0) return;
  if (ReadsElementsRaw(mr, pdtFileElement, pdtMemoryElement)) {
    const long slBytes = ct * pdtMemoryElement->dt_slSize;
    try {
      mr.ReadRaw_t(pdtFileElement->GetName(), pch, slBytes);
    } catch (...) {
      // (the elements may have been left unset for this read: none keeps stray bytes)
      memset(pch, 0, (size_t)slBytes);
      throw;
    }
    return;
  }
  if (mr.IsBinary() && ReadReferenceElements_t(rc, mr, pdtFileElement, pdtMemoryElement, pch, ct)) {
    return;
  }
  for (long i = 0; i < ct; i++)
    ReadPart_t(rc, pdtFileElement, pdtMemoryElement, pch + i * pdtMemoryElement->dt_slSize, 0);
}

void ReadDefaultIn(CMetaReadContext &rc, CMetaFrame &mf);

void ReadIn(CMetaReadContext &rc, CMetaFrame &mf)
{
  if (mf.mf_pdtType == nullptr) return;
  CDataLevel dl(&rc);
  if (mf.mf_pvObject == nullptr || mf.mf_pdtMemory == nullptr ||
      !SameEncoding(mf.mf_pdtType, mf.mf_pdtMemory)) {
    mdSkipObject_t(mf);
    return;
  }
  MetaFrameFunction pRead =
      (MetaFrameFunction)mf.mf_pdtType->GetFunction(CDataTypeFunctions::DTFS_READ);
  if (pRead != nullptr) {
    pRead(mf);
  } else {
    ReadDefaultIn(rc, mf);
  }
}

void ReadDefaultIn(CMetaReadContext &rc, CMetaFrame &mf)
{
  CDataType *pdtF = mf.mf_pdtType;
  CDataType *pdtM = mf.mf_pdtMemory;
  void *pv = mf.mf_pvObject;
  if (pdtF == nullptr) return;
  if (pv == nullptr || pdtM == nullptr) {
    mdSkipObjectDefault_t(mf);
    return;
  }
  CMetaReader &mr = *rc.mrc_pReader;
  // A program typedef is read as what it aliases.
  if (pdtM->dt_dttKind == DTT_TYPEDEF && pdtF->dt_dttKind != DTT_TYPEDEF) {
    CDataType *pdtAliased = ThroughTypedefs(pdtM);
    ReadPart_t(rc, pdtF, pdtAliased, pv, mf.mf_ulFlags);
    return;
  }
  switch (pdtF->dt_dttKind) {
  case DTT_SIMPLE:
  case DTT_VALUEFIELD:
    if (pdtM->dt_dttKind != DTT_SIMPLE && pdtM->dt_dttKind != DTT_VALUEFIELD) {
      mdSkipObjectDefault_t(mf);
      return;
    }
    ReadNumber_t(mr, pdtF, pv, pdtM->dt_slSize);
    return;
  case DTT_POINTER:
  case DTT_SMARTPOINTER:
  case DTT_HANDLE: {
    if (pdtM->dt_dttKind != DTT_POINTER && pdtM->dt_dttKind != DTT_SMARTPOINTER &&
        pdtM->dt_dttKind != DTT_HANDLE) {
      mdSkipObjectDefault_t(mf);
      return;
    }
    CMetaPointer mpSlot(pdtM, pv);
    if ((mf.mf_ulFlags & SMF_OWNED) && pdtM->dt_dttKind != DTT_SMARTPOINTER) {
      CMetaPointer mpOld = mdRef_Dereference(mpSlot);
      if (mpOld.IsValid()) {
        mdRef_Assign(mpSlot, nullptr);
        mdDelete(mpOld);
      }
    }
    long iObject;
    mr.ReadInt_t(pdtF->dt_dttKind == DTT_SMARTPOINTER ? "SmartPtr" : "Ptr", iObject);
    AssignReference(rc, mpSlot, iObject);
    return;
  }
  case DTT_STRUCT: {
    CDataType_Struct *pdtstF = static_cast<CDataType_Struct *>(pdtF);
    CDataType_Struct *pdtstM = mdAsStruct(pdtM);
    if (pdtstM == nullptr) {
      mdSkipObjectDefault_t(mf);
      return;
    }
    CDataType *pdtBaseF = pdtstF->dtst_tidBase.GetPointer();
    if (pdtBaseF != nullptr)
      ReadBasePart_t(rc, pdtBaseF, pdtstM->dtst_tidBase.Resolve(), pv, mf.mf_ulFlags & SMF_EDIT);
    mr.ReadBlockStart_t("Struct", nullptr);
    for (long i = 0; i < pdtstF->dtst_ctMembers; i++) {
      CDataType_StructMember &sm = pdtstF->dtst_asmMembers[i];
      mr.ReadBlockStart_t(sm.sm_idCodeName, nullptr);
      CDataType_StructMember *psm = (pdtF->dt_ulFlags & DTF_FROMFILE) ? sm.sm_psmCounterpart : &sm;
      if (psm != nullptr) {
        ReadPart_t(rc, sm.sm_tidType.GetPointer(), psm->sm_tidType.Resolve(),
                   (char *)pv + psm->sm_slOffset, psm->sm_ulFlags);
      } else {
        SkipPart_t(sm.sm_tidType.GetPointer(), sm.sm_ulFlags);
      }
      mr.ReadBlockEnd_t();
    }
    mr.ReadBlockEnd_t();
    return;
  }
  case DTT_ARRAY: {
    CDataType_Array *pdtaF = static_cast<CDataType_Array *>(pdtF);
    CDataType_Array *pdtaM = mdAsArray(pdtM);
    if (pdtaM == nullptr) {
      mdSkipObjectDefault_t(mf);
      return;
    }
    ReadArrayStart_t(mr);
    CDataType *pdtElementF = pdtaF->dta_tidElement.GetPointer();
    CDataType *pdtElementM = pdtaM->dta_tidElement.Resolve();
    const long ctF = pdtaF->GetElementCount();
    const long ctM = pdtaM->GetElementCount();
    const long ct = ctF < ctM ? ctF : ctM;
    if (pdtElementM != nullptr) ReadElements_t(rc, mr, pdtElementF, pdtElementM, (char *)pv, ct);
    for (long i = pdtElementM != nullptr ? ct : 0; i < ctF; i++) SkipPart_t(pdtElementF, 0);
    ReadArrayEnd_t(mr);
    return;
  }
  case DTT_STATICARRAY:
  case DTT_STATICSTACKARRAY: {
    const bool bStatic = pdtF->dt_dttKind == DTT_STATICARRAY;
    CDataType_Container *pdtcM = mdAsContainer(pdtM);
    if (pdtcM == nullptr || pdtcM->dt_dttKind != pdtF->dt_dttKind) {
      mdSkipObjectDefault_t(mf);
      return;
    }
    CDataType *pdtElementF = static_cast<CDataType_Container *>(pdtF)->dtc_tidElement.GetPointer();
    CDataType *pdtElementM = pdtcM->dtc_tidElement.Resolve();
    long ct;
    mr.ReadListStart_t(bStatic ? "StaticArray" : "StaticStackArray", bStatic ? "STAR" : "SSAR", ct);
    CheckElementCount_t(pdtElementF, pdtElementM, ct);
    CMetaPointer mpArray(pdtM, pv);
    char *pch = nullptr;
    if (bStatic) {
      mdStaticArray_Clear(mpArray);
      if (ct > 0) {
        // (elements read as one raw block need no construction first)
        if (pdtElementM != nullptr && ReadsElementsRaw(mr, pdtElementF, pdtElementM)) {
          mdStaticArray_NewToFill_t(mpArray, ct);
        } else {
          mdStaticArray_New_t(mpArray, ct);
        }
        pch = ((char **)pv)[1];
      }
    } else {
      mdStaticStackArray_Clear(mpArray);
      if (ct > 0) pch = (char *)mdStaticStackArray_PushTightly_t(mpArray, ct).mp_pvObject;
    }
    if (ct > 0 && pch != nullptr) ReadElements_t(rc, mr, pdtElementF, pdtElementM, pch, ct);
    mr.ReadListEnd_t();
    return;
  }
  case DTT_DYNAMICCONTAINER: {
    CDataType_Container *pdtcM = mdAsContainer(pdtM);
    if (pdtcM == nullptr || pdtcM->dt_dttKind != DTT_DYNAMICCONTAINER) {
      mdSkipObjectDefault_t(mf);
      return;
    }
    CMetaPointer mpContainer(pdtM, pv);
    if ((mf.mf_ulFlags & SMF_OWNED) && mdContainer_Count(mpContainer) > 0) {
      mdDynamicContainer_DeleteAllMembers(mpContainer);
    }
    long ct;
    mr.ReadListStart_t("DynamicContainer", "DCON", ct);
    CheckReferenceCount_t(ct);
    CDataType *pdtElementM = pdtcM->dtc_tidElement.Resolve();
    for (long i = 0; i < ct; i++) {
      long iObject;
      mr.ReadInt_t("Ptr", iObject);
      MetaReadObject *pmro = ObjectAtIn_t(rc, iObject);
      if (pmro != nullptr && pmro->mro_iDeferredFile >= 0) {
        mdNoteReadReference(rc, iObject);
        Deferred().Push(DeferredReference{
            rc.mrc_iSerial, rc.mrc_aFiles[pmro->mro_iDeferredFile].mrf_strName, pmro->mro_iResID,
            pdtElementM, mpContainer, mdContainer_Count(mpContainer), rc.mrc_pvReadingOwner});
        mdDynamicContainer_Add(mpContainer, nullptr);
        continue;
      }
      void *pvTarget = pmro == nullptr ? nullptr : pmro->mro_mp.mp_pvObject;
      if (pvTarget != nullptr && !ObjectFits(pmro->mro_mp, pdtElementM)) {
        ReportMismatch(*pmro, pdtElementM);
        pvTarget = nullptr;
      }
      if (pvTarget != nullptr) mdNoteReadReference(rc, iObject);
      if (pvTarget != nullptr || (mf.mf_ulFlags & SMF_KEEPNULLS))
        mdDynamicContainer_Add(mpContainer, pvTarget);
    }
    mr.ReadListEnd_t();
    return;
  }
  case DTT_TYPEDEF:
    ReadPart_t(rc, static_cast<CDataType_Targeted *>(pdtF)->dtt_tidTarget.GetPointer(),
               ThroughTypedefs(pdtM), pv, mf.mf_ulFlags);
    return;
  default:
    return;
  }
}

} // namespace

void mdReadObject_t(CMetaFrame &mf)
{
  ReadIn(Context(), mf);
}

void mdReadObjectDefault_t(CMetaFrame &mf)
{
  ReadDefaultIn(Context(), mf);
}

void mdSkipObject_t(CMetaFrame &mf)
{
  if (mf.mf_pdtType == nullptr) return;
  CDataLevel dl(mdCurrentReadContext());
  MetaFrameFunction pSkip =
      (MetaFrameFunction)mf.mf_pdtType->GetFunction(CDataTypeFunctions::DTFS_SKIP);
  if (pSkip != nullptr) {
    pSkip(mf);
  } else {
    mdSkipObjectDefault_t(mf);
  }
}

void mdSkipObjectDefault_t(CMetaFrame &mf)
{
  CDataType *pdt = mf.mf_pdtType;
  if (pdt == nullptr) return;
  CMetaReader &mr = mdMustReader_t();
  long sl;
  switch (pdt->dt_dttKind) {
  case DTT_SIMPLE:
  case DTT_VALUEFIELD:
    mr.SkipRaw_t(pdt->GetName(), (pdt->dt_ulFlags & DTF_FROMFILE)
                                     ? (long)pdt->dt_aulReserved[RES_FILEBYTES]
                                     : pdt->dt_slSize);
    return;
  case DTT_POINTER:
  case DTT_HANDLE:
    mr.ReadInt_t("Ptr", sl);
    ObjectAt_t(sl);
    return;
  case DTT_SMARTPOINTER:
    mr.ReadInt_t("SmartPtr", sl);
    ObjectAt_t(sl);
    return;
  case DTT_STRUCT: {
    CDataType_Struct *pdtst = static_cast<CDataType_Struct *>(pdt);
    CDataType *pdtBase = pdtst->dtst_tidBase.Resolve();
    if (pdtBase != nullptr) SkipPart_t(pdtBase, 0);
    mr.ReadBlockStart_t("Struct", nullptr);
    for (long i = 0; i < pdtst->dtst_ctMembers; i++) {
      CDataType_StructMember &sm = pdtst->dtst_asmMembers[i];
      if (!(pdt->dt_ulFlags & DTF_FROMFILE) && (sm.sm_ulFlags & SMF_NOSAVE)) continue;
      mr.ReadBlockStart_t(sm.sm_idCodeName, nullptr);
      SkipPart_t(sm.sm_tidType.Resolve(), 0);
      mr.ReadBlockEnd_t();
    }
    mr.ReadBlockEnd_t();
    return;
  }
  case DTT_ARRAY: {
    CDataType_Array *pdta = static_cast<CDataType_Array *>(pdt);
    ReadArrayStart_t(mr);
    CDataType *pdtElement = pdta->dta_tidElement.Resolve();
    const long ct = pdta->GetElementCount();
    if (IsPlain(pdtElement) && mr.IsBinary() &&
        pdtElement->GetFunction(CDataTypeFunctions::DTFS_READ) == nullptr) {
      mr.SkipRaw_t(pdtElement->GetName(), ct * (long)pdtElement->dt_aulReserved[RES_FILEBYTES]);
    } else {
      for (long i = 0; i < ct; i++) SkipPart_t(pdtElement, 0);
    }
    ReadArrayEnd_t(mr);
    return;
  }
  case DTT_STATICARRAY:
  case DTT_STATICSTACKARRAY: {
    const bool bStatic = pdt->dt_dttKind == DTT_STATICARRAY;
    CDataType *pdtElement = static_cast<CDataType_Container *>(pdt)->dtc_tidElement.Resolve();
    long ct;
    mr.ReadListStart_t(bStatic ? "StaticArray" : "StaticStackArray", bStatic ? "STAR" : "SSAR", ct);
    CheckElementCount_t(pdtElement, nullptr, ct);
    for (long i = 0; i < ct; i++) SkipPart_t(pdtElement, 0);
    mr.ReadListEnd_t();
    return;
  }
  case DTT_DYNAMICCONTAINER: {
    long ct;
    mr.ReadListStart_t("DynamicContainer", "DCON", ct);
    CheckReferenceCount_t(ct);
    for (long i = 0; i < ct; i++) {
      mr.ReadInt_t("Ptr", sl);
      ObjectAt_t(sl);
    }
    mr.ReadListEnd_t();
    return;
  }
  case DTT_TYPEDEF:
    SkipPart_t(static_cast<CDataType_Targeted *>(pdt)->dtt_tidTarget.Resolve(), mf.mf_ulFlags);
    return;
  default:
    return;
  }
}

} // namespace QuennelEngine
