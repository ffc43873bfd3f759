// Type matching: each descriptor of the file is matched with its program type member by member,
// by name (or alias) and compatible type, which tells the data walk where each member of the file
// goes and whether a type's objects may be read raw. A changed layout must come with a higher
// format number. Also the least bytes a file type takes, against which the counts of lists read
// are checked.
#include "core/frame/Exception.h"
#include "core/meta/DataTypeKinds.h"
#include "core/meta/MetaReadPrivate.h"
#include "core/streams/Stream.h"
#include "core/text/FormatArgs.h"
#include "core/text/Translation.h"

#include <string.h>

namespace QuennelEngine {

// The aliased type behind any number of typedefs (bounded: a faulty cycle ends the walk).
CDataType *ThroughTypedefs(CDataType *pdt)
{
  for (int i = 0; pdt != nullptr && pdt->dt_dttKind == DTT_TYPEDEF && i < 64; i++) {
    pdt = static_cast<CDataType_Targeted *>(pdt)->dtt_tidTarget.Resolve();
  }
  return pdt;
}

bool IsTransString(CDataType *pdt)
{
  return pdt != nullptr && strcmp(pdt->GetName(), "CTransString") == 0;
}

namespace {

// Whether data of file type `f` can be read into a program member of type `p`.
bool IsCompatible(CDataType *f, CDataType *p)
{
  // (each step unwraps a typedef or goes one target deeper: a walk of a nesting the type table
  // allows ends well within this)
  for (int iStep = 0; iStep < 4 * MD_MAX_NESTING; iStep++) {
    if (f == nullptr || p == nullptr) return false;
    if (f == p || ProgramOf(f) == p) return true;
    if (f->dt_dttKind == DTT_TYPEDEF || p->dt_dttKind == DTT_TYPEDEF) {
      f = f->dt_dttKind == DTT_TYPEDEF
              ? static_cast<CDataType_Targeted *>(f)->dtt_tidTarget.GetPointer()
              : f;
      p = p->dt_dttKind == DTT_TYPEDEF
              ? static_cast<CDataType_Targeted *>(p)->dtt_tidTarget.Resolve()
              : p;
      continue;
    }
    const DataTypeType dttF = f->dt_dttKind, dttP = p->dt_dttKind;
    if (dttF == DTT_VALUEFIELD && dttP == DTT_VALUEFIELD) return true;
    if (dttP == DTT_VALUEFIELD && strcmp(f->GetName(), "BOOL") == 0 &&
        (long)f->dt_aulReserved[RES_FILEBYTES] == p->dt_slSize)
      return true;
    const bool bRefF = dttF == DTT_POINTER || dttF == DTT_SMARTPOINTER || dttF == DTT_HANDLE;
    const bool bRefP = dttP == DTT_POINTER || dttP == DTT_SMARTPOINTER || dttP == DTT_HANDLE;
    if (bRefF && bRefP) {
      CDataType *pdtTargetF = static_cast<CDataType_Targeted *>(f)->dtt_tidTarget.GetPointer();
      CDataType *pdtTargetP = static_cast<CDataType_Targeted *>(p)->dtt_tidTarget.Resolve();
      // A reference to another structure is still a reference: the object read is checked
      // against the member's target when it is stored.
      CDataType *pdtProgramF = ProgramOf(pdtTargetF);
      if (pdtProgramF != nullptr && pdtTargetP != nullptr && pdtProgramF->IsStruct() &&
          pdtTargetP->IsStruct()) {
        return mdIsDerivedFrom(pdtProgramF, pdtTargetP) || mdIsDerivedFrom(pdtTargetP, pdtProgramF);
      }
      f = pdtTargetF;
      p = pdtTargetP;
      continue;
    }
    if (dttF == dttP && dttF == DTT_ARRAY) {
      f = static_cast<CDataType_Array *>(f)->dta_tidElement.GetPointer();
      p = static_cast<CDataType_Array *>(p)->dta_tidElement.Resolve();
      continue;
    }
    if (dttF == dttP &&
        (dttF == DTT_STATICARRAY || dttF == DTT_STATICSTACKARRAY || dttF == DTT_DYNAMICCONTAINER)) {
      f = static_cast<CDataType_Container *>(f)->dtc_tidElement.GetPointer();
      p = static_cast<CDataType_Container *>(p)->dtc_tidElement.Resolve();
      continue;
    }
    if (IsTransString(p)) {
      CDataType *pdtProgramF = ProgramOf(f);
      return pdtProgramF != nullptr && strcmp(pdtProgramF->GetName(), "CString") == 0;
    }
    return false;
  }
  return false;
}

// A layout differs: the file descriptor is no longer plain, and the format numbers decide.
void FormatCheck_t(CMetaReadContext &rc, CDataType *pdtFile)
{
  pdtFile->dt_ulFlags &= ~DTF_PLAIN;
  rc.mrc_bConverted = true;
  CDataType *pdtProgram = ProgramOf(pdtFile);
  if (pdtProgram == nullptr) return;
  const CString strFile = rc.mrc_pstrm->GetDescription();
  if (pdtFile->dt_iFormat > pdtProgram->dt_iFormat) {
    ThrowFormat_t(
        strTranslate("DOZUMetaRead.FileFormatError=File '%1', type '%2', format %3:\nCurrent "
                     "format is %4, the file was saved by a newer version of the "
                     "application."),
        strFile, pdtFile->GetName(), pdtFile->dt_iFormat, pdtProgram->dt_iFormat);
  }
  if (pdtFile->dt_iFormat == pdtProgram->dt_iFormat) {
    ThrowFormat_t(
        strTranslate("DOZUMetaRead.FormatNumberingError=File '%1', type '%2', format "
                     "%3:\nFormat numbering inconsistency, format must be incremented for "
                     "changed types."),
        strFile, pdtFile->GetName(), pdtFile->dt_iFormat);
  }
}

} // namespace

bool IsPlain(CDataType *pdt)
{
  return pdt != nullptr && (pdt->dt_ulFlags & DTF_PLAIN) != 0;
}

// Matches one file descriptor with its program type (once; the checksum word marks it). It goes
// into the parts held by value, whose plainness decides its own (no deeper than the nesting
// the type table was checked for); the targets of references and the elements of containers
// are matched in their own turn.
void MatchType_t(CMetaReadContext &rc, CDataType *pdtFile)
{
  if (pdtFile == nullptr || !(pdtFile->dt_ulFlags & DTF_FROMFILE) || pdtFile->dt_ulChecksum != 0)
    return;
  pdtFile->dt_ulChecksum = 1;
  CDataType *pdtProgram = pdtFile->dt_pdtCounterpart;
  switch (pdtFile->dt_dttKind) {
  case DTT_SIMPLE:
  case DTT_VALUEFIELD:
    // A number of another size is converted, never copied raw.
    if (pdtProgram == nullptr ||
        (long)pdtFile->dt_aulReserved[RES_FILEBYTES] != pdtProgram->dt_slSize ||
        pdtProgram->dt_dttKind != pdtFile->dt_dttKind) {
      pdtFile->dt_ulFlags &= ~DTF_PLAIN;
    }
    return;
  case DTT_ARRAY: {
    CDataType *pdtElement = static_cast<CDataType_Array *>(pdtFile)->dta_tidElement.GetPointer();
    MatchType_t(rc, pdtElement);
    CDataType_Array *pdtaProgram = mdAsArray(pdtProgram);
    const bool bSameCount =
        pdtaProgram != nullptr && pdtaProgram->GetElementCount() ==
                                      static_cast<CDataType_Array *>(pdtFile)->GetElementCount();
    if (!(IsPlain(pdtElement) && rc.mrc_iVersion >= 6 && bSameCount))
      pdtFile->dt_ulFlags &= ~DTF_PLAIN;
    return;
  }
  case DTT_TYPEDEF: {
    CDataType *pdtAliased = static_cast<CDataType_Targeted *>(pdtFile)->dtt_tidTarget.GetPointer();
    MatchType_t(rc, pdtAliased);
    if (!(IsPlain(pdtAliased) && IsPlain(pdtProgram))) pdtFile->dt_ulFlags &= ~DTF_PLAIN;
    return;
  }
  case DTT_STRUCT:
    break;
  default:
    return;
  }
  CDataType_Struct *pdtstFile = static_cast<CDataType_Struct *>(pdtFile);
  CDataType_Struct *pdtstProgram = mdAsStruct(pdtProgram);
  if (pdtstProgram == nullptr) {
    pdtFile->dt_ulFlags &= ~DTF_PLAIN;
    return;
  }
  const bool bStripped = rc.mrc_iEditStripped != 0;
  const bool bEditKept = mdKeepsEditData() && !bStripped;
  long ctProgram = 0;
  for (long i = 0; i < pdtstProgram->dtst_ctMembers; i++) {
    const CDataType_StructMember &sm = pdtstProgram->dtst_asmMembers[i];
    if (sm.sm_ulFlags & SMF_NOSAVE) continue;
    if ((sm.sm_ulFlags & SMF_EDIT) && bStripped) continue;
    ctProgram++;
  }
  bool bDiffers = ctProgram != pdtstFile->dtst_ctMembers;
  if (bDiffers && pdtFile->dt_iFormat == pdtProgram->dt_iFormat) FormatCheck_t(rc, pdtFile);

  CDataType *pdtBase = pdtstFile->dtst_tidBase.GetPointer();
  MatchType_t(rc, pdtBase);
  if (pdtBase != nullptr && !IsPlain(pdtBase)) pdtFile->dt_ulFlags &= ~DTF_PLAIN;
  // A base that is not the program's base is converted too.
  CDataType *pdtProgramBase = pdtstProgram->dtst_tidBase.Resolve();
  if (ProgramOf(pdtBase) != pdtProgramBase) pdtFile->dt_ulFlags &= ~DTF_PLAIN;

  long iExpected = 0;
  for (long iFile = 0; iFile < pdtstFile->dtst_ctMembers; iFile++) {
    CDataType_StructMember &smFile = pdtstFile->dtst_asmMembers[iFile];
    CDataType *pdtMemberFile = smFile.sm_tidType.GetPointer();
    CDataType_StructMember *psmFound = nullptr;
    long iFound = -1;
    bool bEditOnly = false;
    _md_ctTypeSteps += 1 + pdtstProgram->dtst_ctMembers;
    for (long iProgram = 0; iProgram < pdtstProgram->dtst_ctMembers; iProgram++) {
      CDataType_StructMember &sm = pdtstProgram->dtst_asmMembers[iProgram];
      if (sm.sm_ulFlags & SMF_NOSAVE) continue;
      if ((sm.sm_ulFlags & SMF_EDIT) && !bEditKept) {
        // Edit data of the file that is not wanted here: skipped, but no change of layout.
        bEditOnly = bEditOnly || strcmp(sm.sm_idCodeName, smFile.sm_idCodeName) == 0 ||
                    (sm.sm_idAlias != nullptr && sm.sm_idAlias[0] != 0 &&
                     strcmp(sm.sm_idAlias, smFile.sm_idCodeName) == 0);
        continue;
      }
      const bool bName = strcmp(sm.sm_idCodeName, smFile.sm_idCodeName) == 0 ||
                         (sm.sm_idAlias != nullptr && sm.sm_idAlias[0] != 0 &&
                          strcmp(sm.sm_idAlias, smFile.sm_idCodeName) == 0);
      if (!bName || !IsCompatible(pdtMemberFile, sm.sm_tidType.Resolve())) continue;
      psmFound = &sm;
      iFound = iProgram;
    }
    if (psmFound == nullptr) {
      smFile.sm_psmCounterpart = nullptr;
      if (bEditOnly) {
        pdtFile->dt_ulFlags &= ~DTF_PLAIN;
      } else {
        FormatCheck_t(rc, pdtFile);
      }
      MatchType_t(rc, pdtMemberFile);
      continue;
    }
    smFile.sm_psmCounterpart = psmFound;
    smFile.sm_slOffset = psmFound->sm_slOffset;
    MatchType_t(rc, pdtMemberFile);
    // Raw reading needs the same members in the same places with the same types.
    while (iExpected < pdtstProgram->dtst_ctMembers &&
           (pdtstProgram->dtst_asmMembers[iExpected].sm_ulFlags & SMF_NOSAVE))
      iExpected++;
    if (iFound != iExpected || !IsPlain(pdtMemberFile) ||
        ProgramOf(pdtMemberFile) != psmFound->sm_tidType.Resolve()) {
      pdtFile->dt_ulFlags &= ~DTF_PLAIN;
    }
    iExpected = iFound + 1;
  }
  if (pdtstFile->dt_slSize != pdtProgram->dt_slSize) pdtFile->dt_ulFlags &= ~DTF_PLAIN;
  (void)bDiffers;
}

namespace {

const long long MAX_LIST_BYTES = 1LL << 28;

// The least bytes one object of a file type takes in the binary form (to bound counts).
long MinBytes(CDataType *pdt, int iDepth = 0)
{
  if (pdt == nullptr || iDepth > MD_MAX_NESTING) return 0;
  if (!(pdt->dt_ulFlags & DTF_FROMFILE)) return 0;
  if (pdt->dt_aulReserved[RES_MINBYTES] != 0) return (long)pdt->dt_aulReserved[RES_MINBYTES] - 1;
  long sl = 0;
  if (pdt->GetFunction(CDataTypeFunctions::DTFS_READ) != nullptr) {
    sl = 0;
  } else {
    switch (pdt->dt_dttKind) {
    case DTT_SIMPLE:
    case DTT_VALUEFIELD:
      sl = (long)pdt->dt_aulReserved[RES_FILEBYTES];
      break;
    case DTT_POINTER:
    case DTT_SMARTPOINTER:
    case DTT_HANDLE:
    case DTT_STATICARRAY:
    case DTT_STATICSTACKARRAY:
    case DTT_DYNAMICCONTAINER:
      sl = 4;
      break;
    case DTT_TYPEDEF:
      sl = MinBytes(static_cast<CDataType_Targeted *>(pdt)->dtt_tidTarget.GetPointer(), iDepth + 1);
      break;
    case DTT_ARRAY: {
      const long long ll =
          (long long)MinBytes(static_cast<CDataType_Array *>(pdt)->dta_tidElement.GetPointer(),
                              iDepth + 1) *
          static_cast<CDataType_Array *>(pdt)->GetElementCount();
      sl = ll > (1L << 28) ? (1L << 28) : (long)ll;
      break;
    }
    case DTT_STRUCT: {
      CDataType_Struct *pdtst = static_cast<CDataType_Struct *>(pdt);
      long long ll = MinBytes(pdtst->dtst_tidBase.GetPointer(), iDepth + 1);
      for (long i = 0; i < pdtst->dtst_ctMembers && ll < (1L << 28); i++) {
        ll += MinBytes(pdtst->dtst_asmMembers[i].sm_tidType.GetPointer(), iDepth + 1);
      }
      sl = ll > (1L << 28) ? (1L << 28) : (long)ll;
      break;
    }
    default:
      sl = 0;
    }
  }
  pdt->dt_aulReserved[RES_MINBYTES] = (unsigned long)sl + 1;
  return sl;
}

// A count of list entries of `slMin` bytes each at least that the rest of the file must be able
// to hold, and whose program elements (`slSize` bytes each) must fit in memory.
void CheckCount_t(long slMin, long slSize, long ct)
{
  CMetaReader &mr = *Context().mrc_pReader;
  if (ct < 0)
    Error_t(strFormat("Invalid count %1 at offset %2.", ct, mr.GetStream().GetPosition()));
  if (slMin > 0 ? (long long)ct * slMin > mr.GetBytesLeft() : ct > MAX_EMPTY_ELEMENTS) {
    Error_t(strFormat("Invalid count %1 at offset %2: the file cannot hold that many elements.", ct,
                      mr.GetStream().GetPosition()));
  }
  if ((long long)ct * slSize > MAX_LIST_BYTES) {
    Error_t(strFormat("Invalid count %1 at offset %2: too many elements.", ct,
                      mr.GetStream().GetPosition()));
  }
}

} // namespace

// A count of elements of a file type stored by value.
void CheckElementCount_t(CDataType *pdtFileElement, CDataType *pdtProgramElement, long ct)
{
  CheckCount_t(MinBytes(pdtFileElement),
               pdtProgramElement != nullptr ? pdtProgramElement->dt_slSize : 0, ct);
}

// A count of entries of a dynamic container: each is an object index of 4 bytes, whatever the
// elements' type (many entries may refer to one object).
void CheckReferenceCount_t(long ct)
{
  CheckCount_t(4, 4, ct);
}

} // namespace QuennelEngine
