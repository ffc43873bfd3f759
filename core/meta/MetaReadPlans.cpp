// Read plans, and the objects' data section they serve. In the binary form, each pair of a file
// type and a program type gets a plan once per read (see ReadPlanStep), so that the objects of a
// large file go in blocks of raw bytes and object indices rather than member by member. Text
// files, and objects that were not made, take the general walk of MetaReadData.cpp.
#include "core/meta/DataTypeKinds.h"
#include "core/meta/MetaContainers.h"
#include "core/meta/MetaObjects.h"
#include "core/meta/MetaReadPrivate.h"
#include "core/meta/MetaStreams.h"
#include "core/streams/Stream.h"
#include "core/text/FormatArgs.h"

#include <string.h>

namespace QuennelEngine {

namespace {

// The binary form of a file type read into a program type, as steps built once per pair of a
// read: runs of numbers that need no conversion copied where the program's members lie,
// references resolved from their indices, and everything else (conversions, custom reads,
// containers, skipped parts) handed to the general walk. Fixed steps in a row are read from
// the stream in one block. Blocks without a chunk cost no bytes in the binary form, so the
// steps read exactly what the walk would.
struct ReadPlanStep {
  enum Kind : unsigned char { RPS_RAW, RPS_REFERENCE, RPS_PART, RPS_BASE, RPS_SKIP };
  Kind rps_eKind;
  long rps_slOffset;         // in the object
  long rps_slBytes;          // file bytes of a fixed step (RAW, REFERENCE)
  long rps_slRun;            // on the first fixed step of a run: the file bytes of the run
  CDataType *rps_pdtFile;    // PART, BASE, SKIP
  CDataType *rps_pdtMemory;  // PART, BASE; REFERENCE: the slot's type
  unsigned long rps_ulFlags; // the part's frame flags
  bool rps_bEndsPlan;        // on the first fixed step of a run: the run is the plan's last step
  CDataType *rps_pdtTarget;  // REFERENCE: the type the slot points to
};

class CReadPlans {
public:
  // The steps of a pair: [iFirst, iFirst + ct).
  void Get(CDataType *pdtFile, CDataType *pdtMemory, long &iFirst, long &ct)
  {
    if (rp_iLast >= 0 && rp_aPlans[rp_iLast].p_pdtFile == pdtFile &&
        rp_aPlans[rp_iLast].p_pdtMemory == pdtMemory) {
      iFirst = rp_aPlans[rp_iLast].p_iFirst;
      ct = rp_aPlans[rp_iLast].p_ct;
      return;
    }
    for (long i = 0; i < rp_aPlans.Count(); i++) {
      const Plan &p = rp_aPlans[i];
      if (p.p_pdtFile == pdtFile && p.p_pdtMemory == pdtMemory) {
        rp_iLast = i;
        iFirst = p.p_iFirst;
        ct = p.p_ct;
        return;
      }
    }
    const long iStart = rp_aSteps.Count();
    AddPart(pdtFile, pdtMemory, 0, 0, iStart);
    // Runs of fixed steps of at most RUN_BYTES (or one longer step alone): the first of each
    // knows the bytes of the whole run.
    for (long i = iStart; i < rp_aSteps.Count();) {
      if (!IsFixed(rp_aSteps[i])) {
        i++;
        continue;
      }
      long j = i, slRun = 0;
      for (; j < rp_aSteps.Count() && IsFixed(rp_aSteps[j]); j++) {
        if (slRun > 0 && slRun + rp_aSteps[j].rps_slBytes > RUN_BYTES) break;
        slRun += rp_aSteps[j].rps_slBytes;
      }
      rp_aSteps[i].rps_slRun = slRun;
      rp_aSteps[i].rps_bEndsPlan = j == rp_aSteps.Count();
      i = j;
    }
    rp_iLast = rp_aPlans.Count();
    rp_aPlans.Push(Plan{pdtFile, pdtMemory, iStart, rp_aSteps.Count() - iStart});
    iFirst = iStart;
    ct = rp_aSteps.Count() - iStart;
  }
  const ReadPlanStep &operator[](long i) const { return rp_aSteps[i]; }

  enum { RUN_BYTES = 1024 };
  static bool IsFixed(const ReadPlanStep &rps)
  {
    return rps.rps_eKind == ReadPlanStep::RPS_RAW || rps.rps_eKind == ReadPlanStep::RPS_REFERENCE;
  }

private:
  struct Plan {
    CDataType *p_pdtFile;
    CDataType *p_pdtMemory;
    long p_iFirst;
    long p_ct;
  };

  void Add(ReadPlanStep::Kind eKind, long slOffset, long slBytes, CDataType *pdtFile,
           CDataType *pdtMemory, unsigned long ulFlags, long iOpen)
  {
    if (eKind == ReadPlanStep::RPS_RAW && rp_aSteps.Count() > iOpen) {
      ReadPlanStep &rpsLast = rp_aSteps[rp_aSteps.Count() - 1];
      if (rpsLast.rps_eKind == ReadPlanStep::RPS_RAW &&
          rpsLast.rps_slOffset + rpsLast.rps_slBytes == slOffset) {
        rpsLast.rps_slBytes += slBytes;
        return;
      }
    }
    CDataType *pdtTarget = nullptr;
    if (eKind == ReadPlanStep::RPS_REFERENCE)
      pdtTarget = static_cast<CDataType_Targeted *>(pdtMemory)->dtt_tidTarget.Resolve();
    rp_aSteps.Push(
        ReadPlanStep{eKind, slOffset, slBytes, 0, pdtFile, pdtMemory, ulFlags, false, pdtTarget});
  }

  // What ReadIn does with a part, as steps (`iOpen`: the plan's first step).
  void AddPart(CDataType *pdtF, CDataType *pdtM, long slOffset, unsigned long ulFlags, long iOpen)
  {
    if (pdtF == nullptr) return;
    auto Part = [&](ReadPlanStep::Kind eKind) {
      Add(eKind, slOffset, 0, pdtF, pdtM, ulFlags, iOpen);
    };
    if (pdtM == nullptr || !SameEncoding(pdtF, pdtM) ||
        pdtF->GetFunction(CDataTypeFunctions::DTFS_READ) != nullptr) {
      Part(ReadPlanStep::RPS_PART);
      return;
    }
    if (pdtM->dt_dttKind == DTT_TYPEDEF && pdtF->dt_dttKind != DTT_TYPEDEF) {
      AddPart(pdtF, ThroughTypedefs(pdtM), slOffset, ulFlags, iOpen);
      return;
    }
    switch (pdtF->dt_dttKind) {
    case DTT_SIMPLE:
    case DTT_VALUEFIELD: {
      const bool bNumber = pdtM->dt_dttKind == DTT_SIMPLE || pdtM->dt_dttKind == DTT_VALUEFIELD;
      const bool bAsIs = !(pdtF->dt_ulFlags & DTF_FROMFILE) ||
                         (long)pdtF->dt_aulReserved[RES_FILEBYTES] == pdtM->dt_slSize;
      if (bNumber && bAsIs && pdtM->dt_slSize > 0) {
        Add(ReadPlanStep::RPS_RAW, slOffset, pdtM->dt_slSize, nullptr, nullptr, 0, iOpen);
        return;
      }
      break;
    }
    case DTT_POINTER:
    case DTT_SMARTPOINTER:
    case DTT_HANDLE:
      if (pdtM->dt_dttKind == DTT_POINTER || pdtM->dt_dttKind == DTT_SMARTPOINTER ||
          pdtM->dt_dttKind == DTT_HANDLE) {
        Add(ReadPlanStep::RPS_REFERENCE, slOffset, 4, pdtF, pdtM, ulFlags, iOpen);
        return;
      }
      break;
    case DTT_STRUCT: {
      CDataType_Struct *pdtstF = static_cast<CDataType_Struct *>(pdtF);
      CDataType_Struct *pdtstM = mdAsStruct(pdtM);
      if (pdtstM == nullptr) break;
      CDataType *pdtBaseF = pdtstF->dtst_tidBase.GetPointer();
      if (pdtBaseF != nullptr) {
        // As ReadBasePart_t: the base is read in place when the program's structure has it.
        CDataType *pdtBaseM = pdtstM->dtst_tidBase.Resolve();
        CDataType *pdtProgram = ProgramOf(pdtBaseF);
        if (pdtBaseM != nullptr && pdtProgram != nullptr && mdIsDerivedFrom(pdtBaseM, pdtProgram)) {
          AddPart(pdtBaseF, pdtProgram, slOffset, ulFlags & SMF_EDIT, iOpen);
        } else {
          Add(ReadPlanStep::RPS_BASE, slOffset, 0, pdtBaseF, pdtBaseM, ulFlags & SMF_EDIT, iOpen);
        }
      }
      for (long i = 0; i < pdtstF->dtst_ctMembers; i++) {
        CDataType_StructMember &sm = pdtstF->dtst_asmMembers[i];
        CDataType_StructMember *psm =
            (pdtF->dt_ulFlags & DTF_FROMFILE) ? sm.sm_psmCounterpart : &sm;
        if (psm != nullptr) {
          AddPart(sm.sm_tidType.GetPointer(), psm->sm_tidType.Resolve(),
                  slOffset + psm->sm_slOffset, psm->sm_ulFlags, iOpen);
        } else {
          Add(ReadPlanStep::RPS_SKIP, slOffset, 0, sm.sm_tidType.GetPointer(), nullptr,
              sm.sm_ulFlags, iOpen);
        }
      }
      return;
    }
    case DTT_TYPEDEF:
      AddPart(static_cast<CDataType_Targeted *>(pdtF)->dtt_tidTarget.GetPointer(),
              ThroughTypedefs(pdtM), slOffset, ulFlags, iOpen);
      return;
    default:
      break;
    }
    Part(ReadPlanStep::RPS_PART);
  }

  CStaticStackArray<ReadPlanStep> rp_aSteps;
  CStaticStackArray<Plan> rp_aPlans;
  long rp_iLast = -1;
};

// A reference of the file into a slot of the program, as ReadDefaultIn reads one.
inline void ReadReference(CMetaReadContext &rc, const ReadPlanStep &rps, char *pch, long iObject)
{
  if (rps.rps_pdtMemory->dt_dttKind == DTT_POINTER && !(rps.rps_ulFlags & SMF_OWNED) &&
      iObject >= 0 && iObject < rc.mrc_ampTargets.Count()) {
    // The common case first: a plain pointer to an object of the very type it points to.
    const CMetaPointer &mp = rc.mrc_ampTargets[iObject];
    if (mp.mp_pvObject != nullptr && mp.mp_pdtType == rps.rps_pdtTarget) {
      mdNoteReadReference(rc, iObject);
      *(void **)(pch + rps.rps_slOffset) = mp.mp_pvObject;
      return;
    }
  }
  CMetaPointer mpSlot(rps.rps_pdtMemory, pch + rps.rps_slOffset);
  if ((rps.rps_ulFlags & SMF_OWNED) && rps.rps_pdtMemory->dt_dttKind != DTT_SMARTPOINTER) {
    CMetaPointer mpOld = mdRef_Dereference(mpSlot);
    if (mpOld.IsValid()) {
      mdRef_Assign(mpSlot, nullptr);
      mdDelete(mpOld);
    }
  }
  AssignReference(rc, mpSlot, iObject);
}

// Where the plan walker takes the binary form's fixed runs from. CReaderInput reads them through
// the reader into a buffer; CDirectInput takes them where they lie, from a stream that holds its
// bytes in memory, and moves the stream past what it took only before anything else reads it
// (Leave), so a large file's objects cost no call into the stream each.
class CReaderInput {
public:
  explicit CReaderInput(CMetaReader &mr) : ri_mr(mr) {}
  const char *Take_t(long sl)
  {
    ri_mr.ReadRaw_t("Raw", ri_ab, sl);
    return ri_ab;
  }
  void TakeInto_t(void *pv, long sl) { ri_mr.ReadRaw_t("Raw", pv, sl); }
  void Leave_t(void) {}
  void Return(void) {}
  long GetPosition(void) { return ri_mr.GetStream().GetPosition(); }

private:
  CMetaReader &ri_mr;
  char ri_ab[CReadPlans::RUN_BYTES + 8];
};

class CDirectInput {
public:
  CDirectInput(CMetaReader &mr, const char *pch, long slBytes)
      : di_mr(mr), di_pchStart(pch), di_pch(pch), di_pchEnd(pch + slBytes),
        di_slStart(mr.GetStream().GetPosition())
  {
  }
  // (an error leaves the stream where the bytes taken end, as the reader's reads would)
  ~CDirectInput()
  {
    try {
      Leave_t();
    } catch (...) {
    }
  }
  const char *Take_t(long sl)
  {
    if (sl > di_pchEnd - di_pch) di_mr.Error_t("Unexpected end of file.");
    const char *pch = di_pch;
    di_pch += sl;
    return pch;
  }
  void TakeInto_t(void *pv, long sl) { memcpy(pv, Take_t(sl), sl); }
  void Leave_t(void)
  {
    if (di_pch == di_pchStart) return;
    const long sl = (long)(di_pch - di_pchStart);
    di_pchStart = di_pch;
    di_slStart += sl;
    di_mr.GetStream().SkipWindow_t(sl);
  }
  // After others read the stream: the window from its position again.
  void Return(void)
  {
    long slBytes;
    const char *pch = di_mr.GetDirectBytes(slBytes);
    di_pchStart = di_pch = pch;
    di_pchEnd = pch + slBytes;
    di_slStart = di_mr.GetStream().GetPosition();
  }
  long GetPosition(void) const { return di_slStart + (long)(di_pch - di_pchStart); }

private:
  CMetaReader &di_mr;
  const char *di_pchStart; // taken up to here, the stream is there
  const char *di_pch;
  const char *di_pchEnd;
  long di_slStart; // the stream's position at di_pchStart
};

// One object through its plan. With `alNext`, another object's record follows: when the plan
// ends with a run, its header (index and type) is read with the run into `alNext`, and true
// returned.
template <class Input>
bool ReadPlannedIn(CMetaReadContext &rc, Input &in, const CReadPlans &rp, long iFirst, long ct,
                   char *pch, long *alNext)
{
  bool bNext = false;
  for (long i = iFirst; i < iFirst + ct;) {
    const ReadPlanStep &rps = rp[i];
    if (!CReadPlans::IsFixed(rps)) {
      in.Leave_t();
      switch (rps.rps_eKind) {
      case ReadPlanStep::RPS_PART:
        ReadPart_t(rc, rps.rps_pdtFile, rps.rps_pdtMemory, pch + rps.rps_slOffset, rps.rps_ulFlags);
        break;
      case ReadPlanStep::RPS_BASE:
        ReadBasePart_t(rc, rps.rps_pdtFile, rps.rps_pdtMemory, pch + rps.rps_slOffset,
                       rps.rps_ulFlags);
        break;
      default:
        SkipPart_t(rps.rps_pdtFile, rps.rps_ulFlags);
        break;
      }
      in.Return();
      i++;
      continue;
    }
    if (rps.rps_slRun > CReadPlans::RUN_BYTES) {
      // A long run of plain bytes: straight into the object.
      in.TakeInto_t(pch + rps.rps_slOffset, rps.rps_slBytes);
      i++;
      continue;
    }
    bNext = alNext != nullptr && rps.rps_bEndsPlan;
    const char *pchIn = in.Take_t(rps.rps_slRun + (bNext ? 8 : 0));
    const char *pchEnd = pchIn + rps.rps_slRun;
    if (bNext) memcpy(alNext, pchEnd, 8);
    for (; pchIn < pchEnd; i++) {
      const ReadPlanStep &rpsRun = rp[i];
      if (rpsRun.rps_eKind == ReadPlanStep::RPS_RAW) {
        const long sl = rpsRun.rps_slBytes;
        char *pchTo = pch + rpsRun.rps_slOffset;
        if (sl <= 16 && (sl & 3) == 0) {
          // (most runs are a few words: copied without a call)
          for (long iWord = 0; iWord < sl; iWord += 4) memcpy(pchTo + iWord, pchIn + iWord, 4);
        } else {
          memcpy(pchTo, pchIn, sl);
        }
      } else {
        long iObject;
        memcpy(&iObject, pchIn, 4);
        ReadReference(rc, rpsRun, pch, iObject);
      }
      pchIn += rpsRun.rps_slBytes;
    }
  }
  return bNext;
}

template <class Input>
void ReadObjectsFrom_t(CMetaReadContext &rc, CMetaReader &mr, Input &in, long ct,
                       LoadInProgress *plip)
{
  const bool bBinary = mr.IsBinary() != 0;
  CReadPlans rp;
  // The binary form reads an object's header with the end of the object before it.
  long alHeader[2];
  bool bHaveHeader = false;
  // Most objects share a few types.
  long iTypeLast = -1;
  CDataType *pdtLast = nullptr;
  for (long i = 0; i < ct; i++) {
    // (blocks without a chunk are nothing in the binary form; text files of the earlier layout
    // wrap the whole entry, index and type too, in a block)
    const bool bWrapped = !bBinary && mdReadEntryWrapper_t(mr, "Object");
    long iObject, iType;
    if (bBinary) {
      if (!bHaveHeader) memcpy(alHeader, in.Take_t(8), 8);
      bHaveHeader = false;
      iObject = alHeader[0];
      iType = alHeader[1];
    } else {
      mr.ReadInt_t("Object", iObject);
      mr.ReadInt_t("Type", iType);
      if (!bWrapped) mr.ReadBlockStart_t("", nullptr);
    }
    if (iObject < 0 || iObject >= rc.mrc_aObjects.Count())
      Error_t(strFormat("Invalid object index %1.", iObject));
    MetaReadObject &mro = rc.mrc_aObjects[iObject];
    if (iType != iTypeLast || iTypeLast < 0) {
      pdtLast = TypeAt_t(rc, iType, false);
      iTypeLast = iType;
    }
    CDataType *pdtFile = pdtLast;
    if (mro.mro_bExternal || mro.mro_pdtFile == nullptr || pdtFile != mro.mro_pdtFile)
      Error_t("Invalid type index");
    const CMetaPointer mp = mro.mro_mp;
    // Each object's data once: its references are kept as one run.
    if (mro.mro_iFirstEdge >= 0) Error_t(strFormat("Object index %1 is read twice.", iObject));
    mro.mro_iFirstEdge = rc.mrc_aiEdges.Count();
    rc.mrc_pvReadingOwner = mp.mp_pvObject;
    rc.mrc_iReadingObject = iObject;
    rc.mrc_bReadingReached =
        mro.mro_bReferenced || ((iObject >> 5) < rc.mrc_aulReached.Count() &&
                                (rc.mrc_aulReached[iObject >> 5] >> (iObject & 31)) & 1);
    if (bBinary && mp.mp_pvObject != nullptr && mp.mp_pdtType != nullptr) {
      long iFirst, ctSteps;
      rp.Get(pdtFile, mp.mp_pdtType, iFirst, ctSteps);
      bHaveHeader = ReadPlannedIn(rc, in, rp, iFirst, ctSteps, (char *)mp.mp_pvObject,
                                  i + 1 < ct ? alHeader : nullptr);
    } else {
      in.Leave_t();
      ReadPart_t(rc, pdtFile, mp.mp_pdtType, mp.mp_pvObject, 0);
      in.Return();
    }
    rc.mrc_pvReadingOwner = nullptr;
    rc.mrc_iReadingObject = -1;
    MetaReadObject &mroRead = rc.mrc_aObjects[iObject];
    mroRead.mro_ctEdges = rc.mrc_aiEdges.Count() - mroRead.mro_iFirstEdge;
    if (!bBinary) mr.ReadBlockEnd_t();
    // The progress every few objects: small ones come by the million.
    if ((i & 63) == 63 || i + 1 == ct) plip->lip_slPosition = in.GetPosition();
  }
  in.Leave_t();
}

} // namespace

// The elements of a container that are references, in the binary form: their indices read in
// blocks, each stored as ReadDefaultIn would. False when the elements are no such references.
bool ReadReferenceElements_t(CMetaReadContext &rc, CMetaReader &mr, CDataType *pdtFileElement,
                             CDataType *pdtMemoryElement, char *pch, long ct)
{
  auto IsReference = [](CDataType *pdt) {
    return pdt->dt_dttKind == DTT_POINTER || pdt->dt_dttKind == DTT_SMARTPOINTER ||
           pdt->dt_dttKind == DTT_HANDLE;
  };
  if (pdtFileElement == nullptr || pdtMemoryElement == nullptr || !IsReference(pdtFileElement) ||
      !IsReference(pdtMemoryElement) || !SameEncoding(pdtFileElement, pdtMemoryElement) ||
      pdtFileElement->GetFunction(CDataTypeFunctions::DTFS_READ) != nullptr) {
    return false;
  }
  const ReadPlanStep rps{
      ReadPlanStep::RPS_REFERENCE,
      0,
      4,
      0,
      pdtFileElement,
      pdtMemoryElement,
      0,
      false,
      static_cast<CDataType_Targeted *>(pdtMemoryElement)->dtt_tidTarget.Resolve()};
  const long slElement = pdtMemoryElement->dt_slSize;
  long al[256];
  for (long iDone = 0; iDone < ct;) {
    const long ctBlock = ct - iDone < 256 ? ct - iDone : 256;
    mr.ReadRaw_t("Ptr", al, ctBlock * 4);
    for (long i = 0; i < ctBlock; i++) ReadReference(rc, rps, pch + (iDone + i) * slElement, al[i]);
    iDone += ctBlock;
  }
  return true;
}

void ReadObjects_t(CMetaReadContext &rc, CMetaReader &mr, const char *strName, const char *strChunk,
                   long ctExpected, const char *strError, LoadInProgress *plip)
{
  long ct;
  mr.ReadListStart_t(strName, strChunk, ct);
  if (ct != ctExpected) Error_t(strError);
  long slBytes;
  const char *pch = mr.IsBinary() ? mr.GetDirectBytes(slBytes) : nullptr;
  if (pch != nullptr) {
    CDirectInput in(mr, pch, slBytes);
    ReadObjectsFrom_t(rc, mr, in, ct, plip);
  } else {
    CReaderInput in(mr);
    ReadObjectsFrom_t(rc, mr, in, ct, plip);
  }
  mr.ReadListEnd_t();
}

} // namespace QuennelEngine
