// Reading metadata files: the type table is rebuilt as descriptors of the file's own layout,
// linked by name to the program's types and matched member by member, so that objects are read
// into the program's layout and converted where the two differ. Everything a read owns lives in
// its load context and goes with it, also when the read fails.
#include "core/frame/CodeGuard.h"
#include "core/frame/Console.h"
#include "core/frame/Exception.h"
#include "core/meta/DataTypeKinds.h"
#include "core/meta/HandleValues.h"
#include "core/meta/MetaCollect.h"
#include "core/meta/MetaContainers.h"
#include "core/meta/MetaContextPrivate.h"
#include "core/meta/MetaFilesPrivate.h"
#include "core/meta/MetaObjects.h"
#include "core/meta/MetaSettings.h"
#include "core/meta/Object.h"
#include "core/meta/TypeRegistry.h"
#include "core/platform/Timer.h"
#include "core/streams/Stream.h"
#include "core/text/Compare.h"
#include "core/text/Editing.h"
#include "core/text/FormatArgs.h"
#include "core/text/Ident.h"
#include "core/text/Translation.h"
#include "core/threads/SyncLock.h"
#include "core/threads/SyncMutex.h"
#include "core/threads/Threads.h"

#include <string.h>

namespace QuennelEngine {

namespace {

// Reserved words of file descriptors: [1] a type index not yet resolved, [2] the size the file
// recorded, [3] the least bytes one object takes in the file, plus 1 (0 until computed).
enum { RES_INDEX = 1, RES_FILEBYTES = 2, RES_MINBYTES = 3 };

const long MAX_MEMBERS = 64000;
const long MAX_SIMPLE_BYTES = 1L << 20;
// A list whose elements may take no bytes in the file still gets no more than this.
const long MAX_EMPTY_ELEMENTS = 1L << 24;
const long long MAX_LIST_BYTES = 1LL << 28;

CMetaReadContext &Context(void)
{
  CMetaReadContext *pmrc = mdCurrentReadContext();
  if (pmrc == nullptr) {
    corLogGuardBreach();
    ThrowFormat_t("No metadata file is being read.");
  }
  return *pmrc;
}

[[noreturn]] void Error_t(const CString &strMessage)
{
  Context().mrc_pReader->Error_t(strMessage);
  throw CSimpleException(strMessage);
}

// ---- References into files that are loading further up the stack ----

struct DeferredReference {
  long dr_iSerial;
  CString dr_strFile;
  long dr_iResID;
  CDataType *dr_pdtWanted;
  CMetaPointer dr_mpSlot; // a pointer, smart pointer or handle; or a dynamic container
  long dr_iPosition;      // the container entry, or -1 for a slot
  void *dr_pvOwner;       // the top-level object holding the slot
};
thread_local CStaticStackArray<DeferredReference> *_md_psaDeferred = nullptr;
thread_local long _md_iReadDepth = 0;
thread_local CStaticStackArray<CMetaPointer> *_md_psaUnused = nullptr;
long _md_iNextSerial = 1;
// The steps the type tables of the calling thread's reads took (mdGetReadWork).
thread_local long long _md_ctTypeSteps = 0;

CStaticStackArray<DeferredReference> &Deferred(void)
{
  if (_md_psaDeferred == nullptr) _md_psaDeferred = new CStaticStackArray<DeferredReference>;
  return *_md_psaDeferred;
}

CStaticStackArray<CMetaPointer> &Unused(void)
{
  if (_md_psaUnused == nullptr) _md_psaUnused = new CStaticStackArray<CMetaPointer>;
  return *_md_psaUnused;
}

void DropDeferred(long iSerial, void *pvOwner)
{
  if (_md_psaDeferred == nullptr) return;
  CStaticStackArray<DeferredReference> &sa = *_md_psaDeferred;
  CStaticStackArray<DeferredReference> saKept;
  for (DeferredReference &dr : sa) {
    const bool bDrop = (iSerial != 0 && dr.dr_iSerial == iSerial) ||
                       (pvOwner != nullptr && dr.dr_pvOwner == pvOwner);
    if (!bDrop) saKept.Push(dr);
  }
  sa.Swap(saKept);
}

// ---- Loads in progress (for the progress figure and aborting) ----

struct LoadInProgress {
  unsigned long lip_ulThread;
  CString lip_strName;
  volatile long lip_slPosition;
  long lip_slSize;
  volatile long lip_ctFiles;
  volatile long lip_ctFilesDone;
  volatile bool lip_bAbort;
};
CStaticStackArray<LoadInProgress *> &Loads(void)
{
  static CStaticStackArray<LoadInProgress *> *_psa = new CStaticStackArray<LoadInProgress *>;
  return *_psa;
}

class CLoadInProgressScope {
public:
  explicit CLoadInProgressScope(CStream &strm)
  {
    lips_plip = new LoadInProgress{
        thrGetCurrentThreadID(), strm.GetDescription(), 0, strm.GetSize(), 0, 0, false};
    CSyncLock sl(mdGetMetaMutex());
    Loads().Push() = lips_plip;
  }
  ~CLoadInProgressScope(void)
  {
    {
      CSyncLock sl(mdGetMetaMutex());
      CStaticStackArray<LoadInProgress *> &sa = Loads();
      for (long i = sa.Count() - 1; i >= 0; i--) {
        if (sa[i] != lips_plip) continue;
        for (long j = i; j + 1 < sa.Count(); j++) sa[j] = sa[j + 1];
        sa.Pop();
        break;
      }
    }
    delete lips_plip;
  }
  LoadInProgress *lips_plip;
};

// The outermost load of the calling thread is being aborted.
bool IsAborting(void)
{
  CSyncLock sl(mdGetMetaMutex());
  const unsigned long ulThread = thrGetCurrentThreadID();
  for (LoadInProgress *plip : Loads()) {
    if (plip->lip_ulThread == ulThread) return plip->lip_bAbort;
  }
  return false;
}

void CheckAbort_t(void)
{
  if (IsAborting()) throw CSimpleException("Loading aborted.");
}

// ---- Type records ----

struct FileTypeRecord {
  CDataType *ftr_pdt;
  CStaticStackArray<long> ftr_aiMembers;
};

// The descriptor at a type index of the file. What referred to it is named in the error: the
// type `strOwner`, or object `iObject` (with `strOwner` saying which kind) when that is not -1.
CDataType *TypeAt_t(CMetaReadContext &rc, long iType, bool bAllowNone,
                    const char *strOwner = nullptr, long iObject = -1)
{
  if (iType == -1 && bAllowNone) return nullptr;
  if (iType >= 0 && iType < rc.mrc_apdtTypes.Count()) return rc.mrc_apdtTypes[iType];
  if (strOwner == nullptr) Error_t(strFormat("Invalid type index %1.", iType));
  if (iObject < 0) Error_t(strFormat("Invalid type index %1 in type '%2'.", iType, strOwner));
  Error_t(strFormat("Invalid type index %1 of %2 %3.", iType, strOwner, iObject));
}

// The program's type of a name as files store it: by name, by structure alias, then (when
// allowed) ignoring letter case.
CDataType *FindProgramType(const CString &strName)
{
  if (strName.IsEmpty()) return nullptr;
  IDENT id = strConvertStringToID(strName);
  CDataType *pdt = mdFindByName(id);
  if (pdt == nullptr) pdt = mdFindStructByAlias(id);
  if (pdt == nullptr && md_bLoadMiscasedTypes) {
    for (CDataType *pdtNamed : mdGetAllNamedTypes()) {
      if (strCompare(pdtNamed->GetName(), strName) == 0) return pdtNamed;
    }
  }
  return pdt;
}

CDataType *ReadTypeRecord_t(CMetaReadContext &rc, CMetaReader &mr,
                            CStaticStackArray<FileTypeRecord> &aRecords)
{
  mr.ReadBlockStart_t("DataType", "DTTY");
  long iType;
  mr.ReadInt_t("DataType", iType);
  CString strName;
  mr.ReadString_t("Name", strName);
  long iFormat;
  mr.ReadInt_t("Format", iFormat);
  DataTypeType dtt;
  mr.ReadKind_t("Type", dtt);
  if (iType < 0 || iType >= rc.mrc_apdtTypes.Count())
    Error_t(strFormat("Invalid type index %1.", iType));
  if (rc.mrc_apdtTypes[iType] != nullptr) Error_t(strFormat("Type index %1 is used twice.", iType));
  const char *strN = strName;
  CDataType *pdt = nullptr;
  FileTypeRecord &ftr = aRecords.Push();
  long iRef = -1;
  switch (dtt) {
  case DTT_SIMPLE: {
    long slBytes, slLBE;
    mr.ReadInt_t("Bytes", slBytes);
    mr.ReadInt_t("LBE", slLBE);
    if (slBytes < 0 || slBytes > MAX_SIMPLE_BYTES)
      Error_t(strFormat("Invalid size %1 of type '%2'.", slBytes, strName));
    pdt = new CDataType_Simple(strN, iFormat, nullptr, slBytes, slLBE, DTF_FROMFILE);
    break;
  }
  case DTT_VALUEFIELD: {
    long slBytes;
    mr.ReadInt_t("Bytes", slBytes);
    if (slBytes < 1 || slBytes > 8)
      Error_t(strFormat("Invalid size %1 of type '%2'.", slBytes, strName));
    pdt = new CDataType_ValueField(strN, iFormat, nullptr, VFT_ENUM, slBytes, 0, nullptr,
                                   DTF_FROMFILE);
    break;
  }
  case DTT_POINTER:
    mr.ReadInt_t("To", iRef);
    pdt = new CDataType_Pointer(strN, iFormat, CTypeID(), DTF_FROMFILE);
    break;
  case DTT_SMARTPOINTER:
    mr.ReadInt_t("To", iRef);
    pdt = new CDataType_SmartPointer(strN, iFormat, CTypeID(), DTF_FROMFILE);
    break;
  case DTT_HANDLE:
    mr.ReadInt_t("To", iRef);
    pdt = new CDataType_Handle(strN, iFormat, CTypeID(), DTF_FROMFILE);
    break;
  case DTT_TYPEDEF:
    mr.ReadInt_t("For", iRef);
    pdt = new CDataType_Typedef(strN, iFormat, CTypeID(), DTF_FROMFILE);
    break;
  case DTT_STATICARRAY:
  case DTT_STATICSTACKARRAY:
  case DTT_DYNAMICCONTAINER:
    mr.ReadInt_t("Of", iRef);
    if (dtt == DTT_STATICARRAY)
      pdt = new CDataType_CStaticArray(strN, iFormat, CTypeID(), DTF_FROMFILE);
    if (dtt == DTT_STATICSTACKARRAY)
      pdt = new CDataType_CStaticStackArray(strN, iFormat, CTypeID(), DTF_FROMFILE);
    if (dtt == DTT_DYNAMICCONTAINER)
      pdt = new CDataType_CDynamicContainer(strN, iFormat, CTypeID(), DTF_FROMFILE);
    break;
  case DTT_ARRAY: {
    mr.ReadInt_t("Of", iRef);
    long ctDimensions;
    mr.ReadListStart_t("Dimensions", "ADIM", ctDimensions);
    if (ctDimensions != 1) Error_t("Multi-dimensional arrays are not currently supported");
    long ctElements;
    mr.ReadInt_t("Dimension", ctElements);
    mr.ReadListEnd_t();
    if (ctElements < 0 || ctElements > MAX_EMPTY_ELEMENTS)
      Error_t(strFormat("Invalid array dimension %1.", ctElements));
    pdt = new CDataType_Array(strN, iFormat, CTypeID(), 1, &ctElements, DTF_FROMFILE, 0);
    break;
  }
  case DTT_STRUCT: {
    mr.ReadInt_t("Base", iRef);
    long ctMembers;
    mr.ReadListStart_t("Members", "STMB", ctMembers);
    if (ctMembers < 0 || ctMembers > MAX_MEMBERS || ctMembers * 8 > mr.GetBytesLeft()) {
      Error_t("Invalid number of members");
    }
    CStaticStackArray<CDataType_StructMember> asm_;
    asm_.Reserve(ctMembers);
    ftr.ftr_aiMembers.Reserve(ctMembers);
    _md_ctTypeSteps += ctMembers;
    for (long i = 0; i < ctMembers; i++) {
      mr.ReadBlockStart_t("Member", nullptr);
      CString strMember;
      if (rc.mrc_iVersion < 5) {
        long iID;
        mr.ReadInt_t("ID", iID);
        CString strIgnored;
        mr.ReadString_t("Name", strIgnored);
        strMember = strFromIndex(iID);
      } else {
        mr.ReadString_t("Name", strMember);
      }
      long iMemberType;
      mr.ReadInt_t("Type", iMemberType);
      mr.ReadBlockEnd_t();
      asm_.Push(CDataType_StructMember(CTypeID(), strMember, strMember, nullptr, nullptr, 0, 0, 0,
                                       0, nullptr, 0));
      ftr.ftr_aiMembers.Push() = iMemberType;
    }
    mr.ReadListEnd_t();
    pdt = new CDataType_Struct(strN, iFormat, nullptr, CTypeID(), asm_.Count(),
                               asm_.Count() > 0 ? &asm_[0] : nullptr, 0, nullptr, DTF_FROMFILE, 0,
                               0, nullptr, nullptr, 0, nullptr, nullptr);
    break;
  }
  case DTT_REFERENCE:
    pdt = new CDataType_Reference(strN, iFormat, CTypeID(), DTF_FROMFILE);
    break;
  case DTT_VOID:
    pdt = new CDataType_Void(DTF_FROMFILE);
    pdt->dt_idName = strConvertStringToID(strN);
    break;
  default:
    // Kinds without a layout of their own: a placeholder that reads and skips nothing.
    pdt = new CDataType_Unknown(DTF_FROMFILE);
    pdt->dt_idName = strConvertStringToID(strN);
    pdt->dt_dttKind = dtt == DTT_FUNCTION || dtt == DTT_SCRIPTSTATE || dtt == DTT_SCRIPTLATENT ||
                              dtt == DTT_UNKNOWN
                          ? dtt
                          : DTT_UNKNOWN;
    break;
  }
  mr.ReadBlockEnd_t();
  pdt->dt_iFormat = iFormat;
  pdt->dt_ulFlags = DTF_FROMFILE;
  pdt->dt_aulReserved[RES_INDEX] = (unsigned long)iRef;
  pdt->dt_aulReserved[RES_FILEBYTES] = (unsigned long)pdt->dt_slSize;
  pdt->dt_aulReserved[RES_MINBYTES] = 0;
  pdt->dt_pdtCounterpart = nullptr;
  ftr.ftr_pdt = pdt;
  rc.mrc_apdtFileTypes.Push() = pdt;
  rc.mrc_apdtTypes[iType] = pdt;
  return pdt;
}

// The program type a file descriptor stands for (null when the program has none).
inline CDataType *ProgramOf(CDataType *pdtFile)
{
  if (pdtFile == nullptr) return nullptr;
  return (pdtFile->dt_ulFlags & DTF_FROMFILE) ? pdtFile->dt_pdtCounterpart : pdtFile;
}

// Links a file descriptor to the program type of its name: it takes over the name (so letter
// case no longer differs), the operations and the size.
void LinkToProgram(CDataType *pdt)
{
  CDataType *pdtProgram = FindProgramType(CString(pdt->GetName()));
  if (pdtProgram == nullptr || (pdtProgram->dt_ulFlags & DTF_FROMFILE)) return;
  DataTypeType dttProgram = pdtProgram->dt_dttKind;
  if (dttProgram != pdt->dt_dttKind) {
    // Another kind under the same name: not the same type. Value fields and simple types of
    // one name still meet (an enum that became a number, or the other way).
    const bool bNumbers = (dttProgram == DTT_SIMPLE || dttProgram == DTT_VALUEFIELD) &&
                          (pdt->dt_dttKind == DTT_SIMPLE || pdt->dt_dttKind == DTT_VALUEFIELD);
    if (!bNumbers) return;
  }
  pdt->dt_idName = pdtProgram->dt_idName;
  CDataType *pdtOps = pdtProgram;
  if (pdtProgram->dt_dttKind == DTT_TYPEDEF && pdtProgram->dt_pdtfFunctions == nullptr) {
    CDataType *pdtAliased = static_cast<CDataType_Targeted *>(pdtProgram)->dtt_tidTarget.Resolve();
    if (pdtAliased != nullptr) pdtOps = pdtAliased;
  }
  delete pdt->dt_pdtfFunctions;
  pdt->dt_pdtfFunctions = pdtOps->dt_pdtfFunctions == nullptr
                              ? nullptr
                              : new CDataTypeFunctions(*pdtOps->dt_pdtfFunctions);
  // Numbers keep the size the file recorded: they are converted when read.
  if (pdt->dt_dttKind != DTT_SIMPLE && pdt->dt_dttKind != DTT_VALUEFIELD)
    pdt->dt_slSize = pdtOps->dt_slSize;
  pdt->dt_pdtCounterpart = pdtProgram;
}

// Replaces the indices kept in the file descriptors by the descriptors at those indices.
void ResolveIndices_t(CMetaReadContext &rc, CStaticStackArray<FileTypeRecord> &aRecords)
{
  for (FileTypeRecord &ftr : aRecords) {
    CDataType *pdt = ftr.ftr_pdt;
    const long iRef = (long)pdt->dt_aulReserved[RES_INDEX];
    const char *strWhere = pdt->GetName();
    switch (pdt->dt_dttKind) {
    case DTT_POINTER:
    case DTT_SMARTPOINTER:
    case DTT_HANDLE:
    case DTT_TYPEDEF:
      static_cast<CDataType_Targeted *>(pdt)->dtt_tidTarget =
          CTypeID(TypeAt_t(rc, iRef, pdt->dt_dttKind != DTT_TYPEDEF, strWhere));
      break;
    case DTT_STATICARRAY:
    case DTT_STATICSTACKARRAY:
    case DTT_DYNAMICCONTAINER:
      static_cast<CDataType_Container *>(pdt)->dtc_tidElement =
          CTypeID(TypeAt_t(rc, iRef, false, strWhere));
      break;
    case DTT_ARRAY:
      static_cast<CDataType_Array *>(pdt)->dta_tidElement =
          CTypeID(TypeAt_t(rc, iRef, false, strWhere));
      break;
    case DTT_STRUCT: {
      CDataType_Struct *pdtst = static_cast<CDataType_Struct *>(pdt);
      pdtst->dtst_tidBase = CTypeID(TypeAt_t(rc, iRef, true, strWhere));
      if (pdtst->dtst_tidBase.GetPointer() != nullptr &&
          pdtst->dtst_tidBase.GetPointer()->dt_dttKind != DTT_STRUCT) {
        Error_t(strFormat("The base of structure '%1' is not a structure.", pdt->GetName()));
      }
      for (long i = 0; i < pdtst->dtst_ctMembers; i++) {
        pdtst->dtst_asmMembers[i].sm_tidType =
            CTypeID(TypeAt_t(rc, ftr.ftr_aiMembers[i], false, strWhere));
      }
      break;
    }
    default:
      break;
    }
    pdt->dt_aulReserved[RES_INDEX] = 0;
  }
}

// A type that holds itself by value (as its base, a member, an element of a fixed array or
// through a typedef) has no finite layout, and one nested too deeply would take every walk of
// its objects (matching, sizing, reading) too deep down the stack: the file is rejected before
// anything uses them. The walk keeps its own stack; each type is entered once.
void CheckNesting_t(CMetaReadContext &rc)
{
  // State in the checksum word of file descriptors (0 unvisited, 1 on the path, 2 done) and,
  // once done, its depth in the (by then unused) index word.
  for (CDataType *pdt : rc.mrc_apdtFileTypes) pdt->dt_ulChecksum = 0;
  struct Frame {
    CDataType *f_pdt;
    long f_iNext;
    long f_ctDeepest; // the deepest part's depth so far
  };
  CStaticStackArray<Frame> saStack;
  auto Part = [](CDataType *pdt, long i) -> CDataType * {
    switch (pdt->dt_dttKind) {
    case DTT_TYPEDEF:
      return i == 0 ? static_cast<CDataType_Targeted *>(pdt)->dtt_tidTarget.GetPointer() : nullptr;
    case DTT_ARRAY:
      return i == 0 ? static_cast<CDataType_Array *>(pdt)->dta_tidElement.GetPointer() : nullptr;
    case DTT_STRUCT: {
      CDataType_Struct *pdtst = static_cast<CDataType_Struct *>(pdt);
      if (i == 0) return pdtst->dtst_tidBase.GetPointer();
      return i <= pdtst->dtst_ctMembers ? pdtst->dtst_asmMembers[i - 1].sm_tidType.GetPointer()
                                        : nullptr;
    }
    default:
      return nullptr;
    }
  };
  auto PartCount = [](CDataType *pdt) -> long {
    if (pdt->dt_dttKind == DTT_STRUCT)
      return 1 + static_cast<CDataType_Struct *>(pdt)->dtst_ctMembers;
    if (pdt->dt_dttKind == DTT_TYPEDEF || pdt->dt_dttKind == DTT_ARRAY) return 1;
    return 0;
  };
  for (CDataType *pdtRoot : rc.mrc_apdtFileTypes) {
    if (pdtRoot->dt_ulChecksum != 0) continue;
    pdtRoot->dt_ulChecksum = 1;
    saStack.Push(Frame{pdtRoot, 0, 0});
    while (saStack.Count() > 0) {
      _md_ctTypeSteps++;
      Frame &f = saStack[saStack.Count() - 1];
      if (f.f_iNext >= PartCount(f.f_pdt)) {
        const long ctDepth = f.f_ctDeepest + 1;
        if (ctDepth > MD_MAX_NESTING) {
          Error_t(strFormat("Type '%1' is nested more than %2 levels deep.", f.f_pdt->GetName(),
                            MD_MAX_NESTING));
        }
        f.f_pdt->dt_ulChecksum = 2;
        f.f_pdt->dt_aulReserved[RES_INDEX] = (unsigned long)ctDepth;
        saStack.Pop();
        if (saStack.Count() > 0) {
          Frame &fOuter = saStack[saStack.Count() - 1];
          if (ctDepth > fOuter.f_ctDeepest) fOuter.f_ctDeepest = ctDepth;
        }
        continue;
      }
      CDataType *pdtPart = Part(f.f_pdt, f.f_iNext++);
      // (the program's own types are as deep as the program made them: one level here)
      if (pdtPart == nullptr || !(pdtPart->dt_ulFlags & DTF_FROMFILE)) {
        if (pdtPart != nullptr && f.f_ctDeepest < 1) f.f_ctDeepest = 1;
        continue;
      }
      if (pdtPart->dt_ulChecksum == 1) {
        Error_t(strFormat("Type '%1' contains itself.", pdtPart->GetName()));
      }
      if (pdtPart->dt_ulChecksum == 2) {
        const long ctPart = (long)pdtPart->dt_aulReserved[RES_INDEX];
        if (ctPart > f.f_ctDeepest) f.f_ctDeepest = ctPart;
        continue;
      }
      pdtPart->dt_ulChecksum = 1;
      saStack.Push(Frame{pdtPart, 0, 0});
    }
  }
  for (CDataType *pdt : rc.mrc_apdtFileTypes) {
    pdt->dt_ulChecksum = 0;
    pdt->dt_aulReserved[RES_INDEX] = 0;
  }
}

// ---- Type matching ----

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

// ---- Object data ----

MetaReadObject *ObjectAtIn_t(CMetaReadContext &rc, long iObject)
{
  if (iObject == -1) return nullptr;
  if (iObject < 0 || iObject >= rc.mrc_aObjects.Count()) {
    Error_t(
        strFormat("Invalid object index %1 at offset %2.", iObject, rc.mrc_pstrm->GetPosition()));
  }
  MetaReadObject &mro = rc.mrc_aObjects[iObject];
  mdNoteReadReference(rc, iObject);
  return &mro;
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

// The same for an object: a resource proxy may stand where what it stands for is expected.
bool ObjectFits(const CMetaPointer &mp, CDataType *pdtTarget)
{
  if (TargetFits(mp.mp_pdtType, pdtTarget)) return true;
  if (!mp.IsValid()) return false;
  const MetaResourceInfo mri = mdInspectResource(mp);
  return mri.mri_bProxy && mri.mri_pdtProxied != nullptr &&
         TargetFits(mri.mri_pdtProxied, pdtTarget);
}

void ReportMismatch(const MetaReadObject &mro, CDataType *pdtTarget)
{
  conWarning(
      strTranslate("DOZUMetaRead.WrongTarget=%1: an object of type %2 cannot be stored where %3 "
                   "is expected; the reference is left null.\n"),
      mdGetReadingStreamFN(), mdGetTypeDescription(mro.mro_mp.mp_pdtType),
      mdGetTypeDescription(pdtTarget));
}

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
  mdRef_Assign(mpSlot, pmro->mro_mp.mp_pvObject);
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

bool ReadReferenceElements_t(CMetaReadContext &rc, CMetaReader &mr, CDataType *pdtFileElement,
                             CDataType *pdtMemoryElement, char *pch, long ct);

void ReadElements_t(CMetaReadContext &rc, CMetaReader &mr, CDataType *pdtFileElement,
                    CDataType *pdtMemoryElement, char *pch, long ct)
{
  if (ct <= 0) return;
  // One raw block only into the very type the file's elements are (a plain run of another type,
  // a text for instance, takes element by element what fits).
  if (IsPlain(pdtFileElement) && mr.IsBinary() && pdtMemoryElement != nullptr &&
      pdtFileElement->GetFunction(CDataTypeFunctions::DTFS_READ) == nullptr &&
      ProgramOf(pdtFileElement) != nullptr &&
      ThroughTypedefs(ProgramOf(pdtFileElement)) == ThroughTypedefs(pdtMemoryElement)) {
    mr.ReadRaw_t(pdtFileElement->GetName(), pch, ct * pdtMemoryElement->dt_slSize);
    return;
  }
  if (mr.IsBinary() && ReadReferenceElements_t(rc, mr, pdtFileElement, pdtMemoryElement, pch, ct)) {
    return;
  }
  for (long i = 0; i < ct; i++)
    ReadPart_t(rc, pdtFileElement, pdtMemoryElement, pch + i * pdtMemoryElement->dt_slSize, 0);
}

} // namespace

// A reference read while an object's data is read: an edge from that object to the target.
void mdNoteReadReference(CMetaReadContext &rc, long iObject)
{
  if (rc.mrc_iReadingObject < 0) return;
  if (rc.mrc_bReadingReached) {
    if ((iObject >> 5) < rc.mrc_aulReached.Count()) {
      rc.mrc_aulReached[iObject >> 5] |= 1UL << (iObject & 31);
    } else {
      rc.mrc_aObjects[iObject].mro_bReferenced = true;
    }
  } else {
    rc.mrc_aiEdges.Push() = iObject;
  }
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

namespace {

void ReadDefaultIn(CMetaReadContext &rc, CMetaFrame &mf);

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
        mdStaticArray_New_t(mpArray, ct);
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

// ---- Read plans ----

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

// One object through its plan. With `alNext`, another object's record follows: when the plan
// ends with a run, its header (index and type) is read with the run into `alNext`, and true
// returned.
bool ReadPlannedIn(CMetaReadContext &rc, CMetaReader &mr, const CReadPlans &rp, long iFirst,
                   long ct, char *pch, long *alNext)
{
  char ab[CReadPlans::RUN_BYTES + 8];
  bool bNext = false;
  for (long i = iFirst; i < iFirst + ct;) {
    const ReadPlanStep &rps = rp[i];
    if (!CReadPlans::IsFixed(rps)) {
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
      i++;
      continue;
    }
    if (rps.rps_slRun > CReadPlans::RUN_BYTES) {
      // A long run of plain bytes: straight into the object.
      mr.ReadRaw_t("Raw", pch + rps.rps_slOffset, rps.rps_slBytes);
      i++;
      continue;
    }
    bNext = alNext != nullptr && rps.rps_bEndsPlan;
    mr.ReadRaw_t("Raw", ab, rps.rps_slRun + (bNext ? 8 : 0));
    if (bNext) memcpy(alNext, ab + rps.rps_slRun, 8);
    const char *pchIn = ab;
    const char *pchEnd = ab + rps.rps_slRun;
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

// ---- The file ----

namespace {

// Sets every reference inside an object null without deleting what it referred to (smart
// pointers release theirs), so that objects of a failed read can be deleted one by one.
void DetachReferences(CDataType *pdt, void *pv, int iDepth)
{
  if (pdt == nullptr || pv == nullptr || iDepth > 2 * MD_MAX_NESTING) return;
  switch (pdt->dt_dttKind) {
  case DTT_POINTER:
  case DTT_REFERENCE:
    *(void **)pv = nullptr;
    return;
  case DTT_HANDLE:
    *(unsigned long *)pv = 0;
    return;
  case DTT_SMARTPOINTER:
    mdRef_Assign(CMetaPointer(pdt, pv), nullptr);
    return;
  case DTT_TYPEDEF:
    DetachReferences(static_cast<CDataType_Targeted *>(pdt)->dtt_tidTarget.Resolve(), pv,
                     iDepth + 1);
    return;
  case DTT_ARRAY: {
    CDataType *pdtElement = static_cast<CDataType_Array *>(pdt)->dta_tidElement.Resolve();
    if (pdtElement == nullptr || IsPlain(pdtElement)) return;
    const long ct = static_cast<CDataType_Array *>(pdt)->GetElementCount();
    for (long i = 0; i < ct; i++)
      DetachReferences(pdtElement, (char *)pv + i * pdtElement->dt_slSize, iDepth + 1);
    return;
  }
  case DTT_STRUCT: {
    CDataType_Struct *pdtst = static_cast<CDataType_Struct *>(pdt);
    DetachReferences(pdtst->dtst_tidBase.Resolve(), pv, iDepth + 1);
    for (long i = 0; i < pdtst->dtst_ctMembers; i++) {
      CDataType_StructMember &sm = pdtst->dtst_asmMembers[i];
      DetachReferences(sm.sm_tidType.Resolve(), (char *)pv + sm.sm_slOffset, iDepth + 1);
    }
    return;
  }
  case DTT_STATICARRAY:
  case DTT_STATICSTACKARRAY: {
    CDataType *pdtElement = static_cast<CDataType_Container *>(pdt)->dtc_tidElement.Resolve();
    if (pdtElement == nullptr || IsPlain(pdtElement)) return;
    const long ct = pdt->dt_dttKind == DTT_STATICARRAY ? ((long *)pv)[0] : ((long *)pv)[2];
    char *pch = ((char **)pv)[1];
    for (long i = 0; i < ct && pch != nullptr; i++)
      DetachReferences(pdtElement, pch + i * pdtElement->dt_slSize, iDepth + 1);
    // (emptied as well: the object's own code must not meet null entries it never had)
    if (pdt->dt_dttKind == DTT_STATICARRAY) {
      mdStaticArray_Clear(CMetaPointer(pdt, pv));
    } else {
      mdStaticStackArray_Clear(CMetaPointer(pdt, pv));
    }
    return;
  }
  case DTT_DYNAMICCONTAINER:
    mdDynamicContainer_Clear(CMetaPointer(pdt, pv));
    return;
  default:
    return;
  }
}

bool IsSmart(const CMetaPointer &mp)
{
  return mp.IsValid() && mdIsDerivedFrom(mp.mp_pdtType, CSmartObject::md_pdtDataType);
}

CSmartObject *AsSmart(const CMetaPointer &mp)
{
  return static_cast<CSmartObject *>((CObject *)mp.mp_pvObject);
}

// Deletes objects of a read that nothing is to keep. A reference of our own keeps every counted
// object alive until its turn, and the references between them are let go first, so that
// cycles go too and nothing is deleted twice; a counted object that someone else took a
// reference to meanwhile stays.
void DeleteObjects(CStaticStackArray<CMetaPointer> &saObjects)
{
  for (CMetaPointer &mp : saObjects) {
    if (IsSmart(mp)) AsSmart(mp)->AddRef();
  }
  for (CMetaPointer &mp : saObjects) DetachReferences(mp.mp_pdtType, mp.mp_pvObject, 0);
  for (CMetaPointer &mp : saObjects) {
    DropDeferred(0, mp.mp_pvObject);
    if (IsSmart(mp)) {
      AsSmart(mp)->RemRef();
    } else {
      mdDelete(mp);
    }
  }
}

// Deletes the objects a failed read made (they were never handed out).
void DeleteCreated(CMetaReadContext &rc)
{
  CStaticStackArray<CMetaPointer> saMade;
  for (MetaReadObject &mro : rc.mrc_aObjects) {
    if (!mro.mro_bExternal && mro.mro_mp.IsValid()) saMade.Push(mro.mro_mp);
  }
  DeleteObjects(saMade);
}

void ReleaseHeld(CMetaReadContext &rc)
{
  CStaticStackArray<CSmartObject *> sa;
  sa.Swap(rc.mrc_apsoHeld);
  for (CSmartObject *pso : sa) pso->RemRef();
}

void ReadFiles_t(CMetaReadContext &rc, CMetaReader &mr, long ctFiles, LoadInProgress *plip)
{
  long ct;
  mr.ReadListStart_t("ResourceFiles", "RFIL", ct);
  if (ct != ctFiles) Error_t("Inconsistent number of files");
  if ((long long)ct * 8 > mr.GetBytesLeft()) Error_t("Inconsistent number of files");
  plip->lip_ctFiles = ct;
  CMetaFileLinks *pLinks = mdGetFileLinks();
  for (long i = 0; i < ct; i++) {
    const bool bWrapped = mdReadEntryWrapper_t(mr, "File");
    long iFile;
    mr.ReadInt_t("File", iFile);
    if (iFile != i) Error_t("Inconsistent numbering of dependent resource files.");
    long slFlags = 0;
    if (rc.mrc_iVersion >= 7) mr.ReadInt_t("Flags", slFlags);
    CString strName;
    mr.ReadString_t("FileName", strName);
    if (bWrapped) mr.ReadBlockEnd_t();
    MetaReadFile &mrf = rc.mrc_aFiles.Push();
    mrf.mrf_strName = strName;
    mrf.mrf_ulFlags = (unsigned long)slFlags;
    mrf.mrf_pFile = nullptr;
    mrf.mrf_bInProgress = false;
    if (mrf.mrf_ulFlags & MDRF_DELAYED) {
      rc.mrc_bDelayed = true;
      plip->lip_ctFilesDone = i + 1;
      continue;
    }
    CheckAbort_t();
    if (pLinks == nullptr) continue;
    try {
      int bInProgress = 0;
      CObject *pFile = pLinks->ObtainFile_t(strName, bInProgress);
      rc.mrc_aFiles[i].mrf_pFile = pFile;
      rc.mrc_aFiles[i].mrf_bInProgress = bInProgress != 0;
    } catch (CException &ex) {
      if (IsAborting()) throw;
      conError(strTranslate("DOZUMetaRead.Replacement=%1. Creating replacement file.\n"),
               ex.GetDescription());
      rc.mrc_aFiles[i].mrf_pFile = pLinks->CreateReplacementFile(strName);
    }
    plip->lip_ctFilesDone = i + 1;
  }
  mr.ReadListEnd_t();
}

void ReadIdents_t(CMetaReadContext &rc, CMetaReader &mr, long ctIdents)
{
  long ct;
  mr.ReadListStart_t("Idents", "IDNT", ct);
  if (ct != ctIdents || (long long)ct * 8 > mr.GetBytesLeft())
    Error_t("Inconsistent number of idents");
  rc.mrc_aidIdents.Push(ct);
  for (long i = 0; i < ct; i++) rc.mrc_aidIdents[i] = mdInvalidIdent();
  for (long i = 0; i < ct; i++) {
    const bool bWrapped = mdReadEntryWrapper_t(mr, "Ident");
    long iIdent;
    mr.ReadInt_t("Ident", iIdent);
    CString strName;
    mr.ReadString_t("Name", strName);
    if (bWrapped) mr.ReadBlockEnd_t();
    if (iIdent < 0 || iIdent >= ct) Error_t(strFormat("Invalid ident index %1.", iIdent));
    rc.mrc_aidIdents[iIdent] = strName.IsEmpty() ? mdInvalidIdent() : strConvertStringToID(strName);
  }
  mr.ReadListEnd_t();
}

void ReadTypes_t(CMetaReadContext &rc, CMetaReader &mr, long ctTypes)
{
  if (ctTypes < 0 || (long long)ctTypes * 8 > mr.GetBytesLeft())
    Error_t("Inconsistent number of datatypes");
  rc.mrc_apdtTypes.Push(ctTypes);
  for (long i = 0; i < ctTypes; i++) rc.mrc_apdtTypes[i] = nullptr;
  CStaticStackArray<bool> abExternal;
  abExternal.Push(ctTypes);
  for (long i = 0; i < ctTypes; i++) abExternal[i] = false;

  long ctExternal;
  mr.ReadListStart_t("ExternalTypes", "EXTY", ctExternal);
  if (ctExternal > ctTypes) Error_t("Inconsistent number of datatypes");
  for (long i = 0; i < ctExternal; i++) {
    const bool bWrapped = mdReadEntryWrapper_t(mr, "ExternalType");
    long iType;
    mr.ReadInt_t("Type", iType);
    CString strName;
    mr.ReadString_t("Name", strName);
    if (bWrapped) mr.ReadBlockEnd_t();
    if (iType < 0 || iType >= ctTypes || abExternal[iType])
      Error_t(strFormat("Invalid type index %1.", iType));
    abExternal[iType] = true;
    CDataType *pdt = FindProgramType(strName);
    if (pdt == nullptr && mdGetMetaSwitches().ms_bInEditor) {
      conWarning(strTranslate("DOZUMetaRead.UnknownType=Unknown type %1.\n"), strName);
    }
    rc.mrc_apdtTypes[iType] = pdt;
  }
  mr.ReadListEnd_t();

  long ctInternal;
  mr.ReadListStart_t("InternalTypes", "INTY", ctInternal);
  if (ctExternal + ctInternal != ctTypes) Error_t("Inconsistent number of datatypes");
  CStaticStackArray<FileTypeRecord> aRecords;
  for (long i = 0; i < ctInternal; i++) {
    CDataType *pdt = ReadTypeRecord_t(rc, mr, aRecords);
    const long iType = rc.mrc_apdtTypes.Count(); // (only to keep the loop readable)
    (void)iType;
    LinkToProgram(pdt);
  }
  mr.ReadListEnd_t();
  ResolveIndices_t(rc, aRecords);
  CheckNesting_t(rc);
  const bool bRaw = mr.IsBinary() && md_bAllowRawLoading;
  for (CDataType *pdt : rc.mrc_apdtFileTypes) {
    CDataType *pdtProgram = pdt->dt_pdtCounterpart;
    if (bRaw && pdtProgram != nullptr && (pdtProgram->dt_ulFlags & DTF_PLAIN))
      pdt->dt_ulFlags |= DTF_PLAIN;
    pdt->dt_ulChecksum = 0;
  }
  for (CDataType *pdt : rc.mrc_apdtFileTypes) MatchType_t(rc, pdt);
  for (CDataType *pdt : rc.mrc_apdtFileTypes) pdt->dt_ulChecksum = 0;
}

MetaReadObject &RegisterObject_t(CMetaReadContext &rc, long iObject)
{
  if (iObject < 0 || iObject >= rc.mrc_aObjects.Count())
    Error_t(strFormat("Invalid object index %1.", iObject));
  MetaReadObject &mro = rc.mrc_aObjects[iObject];
  if (mro.mro_mp.mp_pdtType != nullptr || mro.mro_bExternal || mro.mro_pdtFile != nullptr ||
      mro.mro_iDeferredFile >= 0) {
    Error_t(strFormat("Object index %1 is used twice.", iObject));
  }
  return mro;
}

void ReadExternals_t(CMetaReadContext &rc, CMetaReader &mr)
{
  long ct;
  mr.ReadListStart_t("ExternalObjects", "EXOB", ct);
  if (ct > rc.mrc_ctInfoObjects || (long long)ct * 16 > mr.GetBytesLeft())
    Error_t("Inconsistent number of objects");
  CMetaFileLinks *pLinks = mdGetFileLinks();
  for (long i = 0; i < ct; i++) {
    const bool bWrapped = mdReadEntryWrapper_t(mr, "ExternalObject");
    long iObject, iFile, iResID, iType;
    mr.ReadInt_t("Object", iObject);
    mr.ReadInt_t("File", iFile);
    mr.ReadInt_t("ResID", iResID);
    mr.ReadInt_t("Type", iType);
    if (bWrapped) mr.ReadBlockEnd_t();
    MetaReadObject &mro = RegisterObject_t(rc, iObject);
    mro.mro_bExternal = true;
    CDataType *pdt = ProgramOf(TypeAt_t(rc, iType, false, "external object", iObject));
    if (iFile == -1) continue;
    if (iFile < 0 || iFile >= rc.mrc_aFiles.Count())
      Error_t(strFormat("Invalid file index %1.", iFile));
    MetaReadFile &mrf = rc.mrc_aFiles[iFile];
    if (mrf.mrf_bInProgress) {
      // That file is being loaded further up: bound when its load completes.
      mro.mro_iDeferredFile = iFile;
      mro.mro_iResID = iResID;
      continue;
    }
    if (pLinks == nullptr) continue;
    CMetaPointer mp =
        pLinks->ResolveExternal_t(mrf.mrf_pFile, mrf.mrf_strName, mrf.mrf_ulFlags, iResID, pdt);
    rc.mrc_aObjects[iObject].mro_mp = mp;
    if (IsSmart(mp)) rc.mrc_apsoHeld.Push() = AsSmart(mp);
  }
  mr.ReadListEnd_t();
}

void ReadObjectTypes_t(CMetaReadContext &rc, CMetaReader &mr, const char *strName,
                       const char *strChunk, long ctLimit, const char *strError, bool bCreate,
                       long &ct)
{
  mr.ReadListStart_t(strName, strChunk, ct);
  if (ct > ctLimit || (long long)ct * 8 > mr.GetBytesLeft()) Error_t(strError);
  // The binary form's pairs come in blocks of many at once.
  const bool bBinary = mr.IsBinary() != 0;
  long al[2 * 512];
  long iInBlock = 0, ctInBlock = 0;
  // Most objects share a few types: the last one's checks hold for the next of its type.
  CDataType *pdtLast = nullptr;
  bool bLastMade = false;
  for (long i = 0; i < ct; i++) {
    long iObject, iType;
    if (bBinary) {
      if (iInBlock == ctInBlock) {
        ctInBlock = ct - i < 512 ? ct - i : 512;
        iInBlock = 0;
        mr.ReadRaw_t("ObjectType", al, ctInBlock * 8);
      }
      iObject = al[2 * iInBlock];
      iType = al[2 * iInBlock + 1];
      iInBlock++;
    } else {
      const bool bWrapped = mdReadEntryWrapper_t(mr, "ObjectType");
      mr.ReadInt_t("Object", iObject);
      mr.ReadInt_t("Type", iType);
      if (bWrapped) mr.ReadBlockEnd_t();
    }
    CDataType *pdtFile = TypeAt_t(rc, iType, false, "object", iObject);
    if (!bCreate) continue;
    MetaReadObject &mro = RegisterObject_t(rc, iObject);
    if (pdtFile == nullptr) Error_t(strFormat("Unknown type of object %1.", iObject));
    CDataType *pdtProgram = ProgramOf(pdtFile);
    mro.mro_pdtFile = pdtFile;
    if (pdtFile == pdtLast && bLastMade) {
      mro.mro_mp = mdNew_t(pdtProgram);
      continue;
    }
    pdtLast = pdtFile;
    bLastMade = false;
    if (pdtProgram == nullptr || mdIsAbstract(pdtProgram)) {
      conWarning(
          strTranslate("DOZUMetaRead.SkippedObject=%1: object %2 of type '%3' is skipped: the "
                       "program has no such type.\n"),
          rc.mrc_pstrm->GetDescription(), iObject, pdtFile->GetName());
      continue;
    }
    rc.mrc_aObjects[iObject].mro_mp = mdNew_t(pdtProgram);
    bLastMade = true;
  }
  mr.ReadListEnd_t();
}

void ReadObjects_t(CMetaReadContext &rc, CMetaReader &mr, const char *strName, const char *strChunk,
                   long ctExpected, const char *strError, LoadInProgress *plip)
{
  long ct;
  mr.ReadListStart_t(strName, strChunk, ct);
  if (ct != ctExpected) Error_t(strError);
  const bool bBinary = mr.IsBinary() != 0;
  CReadPlans rp;
  // The binary form reads an object's header with the end of the object before it.
  long alHeader[2];
  bool bHaveHeader = false;
  for (long i = 0; i < ct; i++) {
    // (blocks without a chunk are nothing in the binary form; text files of the earlier layout
    // wrap the whole entry, index and type too, in a block)
    const bool bWrapped = !bBinary && mdReadEntryWrapper_t(mr, "Object");
    long iObject, iType;
    if (bBinary) {
      if (!bHaveHeader) mr.ReadRaw_t("Object", alHeader, 8);
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
    CDataType *pdtFile = TypeAt_t(rc, iType, false);
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
      bHaveHeader = ReadPlannedIn(rc, mr, rp, iFirst, ctSteps, (char *)mp.mp_pvObject,
                                  i + 1 < ct ? alHeader : nullptr);
    } else {
      ReadPart_t(rc, pdtFile, mp.mp_pdtType, mp.mp_pvObject, 0);
    }
    rc.mrc_pvReadingOwner = nullptr;
    rc.mrc_iReadingObject = -1;
    MetaReadObject &mroRead = rc.mrc_aObjects[iObject];
    mroRead.mro_ctEdges = rc.mrc_aiEdges.Count() - mroRead.mro_iFirstEdge;
    if (!bBinary) mr.ReadBlockEnd_t();
    // The progress every few objects: small ones come by the million.
    if ((i & 63) == 63 || i + 1 == ct) plip->lip_slPosition = rc.mrc_pstrm->GetPosition();
  }
  mr.ReadListEnd_t();
}

// Hands the unused objects to be deleted when the outermost load of the thread ends.
void DisposeUnused(CMetaReadContext &rc)
{
  long ctUnused = 0;
  for (long i = 1; i < rc.mrc_aObjects.Count(); i++) {
    MetaReadObject &mro = rc.mrc_aObjects[i];
    if (mro.mro_bExternal || mro.mro_bReferenced || !mro.mro_mp.IsValid()) continue;
    if (md_iReportUnusedObjects == 2) {
      conInfo(strTranslate(
                  "DOZUMetaRead.Unused=Object %1 type '%2' from '%3' will be deleted because it "
                  "isn't used.\n"),
              i, mro.mro_mp.mp_pdtType->GetName(), rc.mrc_pstrm->GetDescription());
    }
    Unused().Push(mro.mro_mp);
    ctUnused++;
  }
  if (md_iReportUnusedObjects > 0 && ctUnused > 0) {
    conTrace(
        strTranslate(
            "DOZUMetaRead.UnusedCount=Meta loader deleted %1 unused objects from '%2' file.\n"),
        ctUnused, rc.mrc_pstrm->GetDescription());
  }
}

void DeleteUnusedObjects(void)
{
  if (_md_psaUnused == nullptr) return;
  CStaticStackArray<CMetaPointer> sa;
  sa.Swap(*_md_psaUnused);
  DeleteObjects(sa);
}

// An object is used when the root reaches it through the references read: a cycle that the
// root does not reach is as unused as a lone object. Objects read after something reached them
// marked their targets as they were read; the references of those read before are followed
// from every one of them that is reached now.
void MarkReachable(CMetaReadContext &rc)
{
  CStaticStackArray<long> aiWork;
  const long ct = rc.mrc_aObjects.Count();
  if (ct > 0) rc.mrc_aObjects[0].mro_bReferenced = true;
  for (long i = 0; i < ct && (i >> 5) < rc.mrc_aulReached.Count(); i++) {
    if ((rc.mrc_aulReached[i >> 5] >> (i & 31)) & 1) rc.mrc_aObjects[i].mro_bReferenced = true;
  }
  for (long i = 0; i < ct; i++) {
    const MetaReadObject &mro = rc.mrc_aObjects[i];
    if (mro.mro_bReferenced && mro.mro_ctEdges > 0) aiWork.Push() = i;
  }
  while (aiWork.Count() > 0) {
    const MetaReadObject &mro = rc.mrc_aObjects[aiWork[aiWork.Count() - 1]];
    aiWork.Pop();
    for (long e = mro.mro_iFirstEdge; e < mro.mro_iFirstEdge + mro.mro_ctEdges; e++) {
      MetaReadObject &mroTo = rc.mrc_aObjects[rc.mrc_aiEdges[e]];
      if (mroTo.mro_bReferenced) continue;
      mroTo.mro_bReferenced = true;
      if (mroTo.mro_ctEdges > 0) aiWork.Push() = rc.mrc_aiEdges[e];
    }
  }
}

CMetaPointer ReadFile_t(CMetaReadContext &rc, CMetaReader &mr, LoadInProgress *plip)
{
  rc.mrc_iVersion = mr.Open_t();
  // The text form's header line stands for the program version; files of its earlier layout
  // have it in a line of its own.
  if (mr.IsBinary() ? rc.mrc_iVersion >= 2 : mr.IsNextItem_t("ProgramVersion")) {
    CString strVersion;
    mr.ReadString_t("ProgramVersion", strVersion);
    CString strDescription = rc.mrc_pstrm->GetDescription();
    const long slLength = strDescription.Length();
    const bool bWorld =
        slLength >= 4 && strCompare((const char *)strDescription + slLength - 4, ".wld") == 0;
    if (bWorld && !mdGetMetaSwitches().ms_bInEditor &&
        strCompare(strVersion, mdGetProgramVersionText()) != 0) {
      mr.Error_t(strVersion);
    }
  }
  mr.ReadBlockStart_t("Info", "INFO");
  long iStripped = 0, ctFiles, ctIdents, ctTypes, ctObjects;
  if (rc.mrc_iVersion >= 8) mr.ReadInt_t("EditDataStripped", iStripped);
  mr.ReadInt_t("ResourceFiles", ctFiles);
  mr.ReadInt_t("Idents", ctIdents);
  mr.ReadInt_t("Types", ctTypes);
  mr.ReadInt_t("Objects", ctObjects);
  mr.ReadBlockEnd_t();
  rc.mrc_iEditStripped = iStripped;
  if (ctObjects < 0 || (long long)ctObjects * 8 > mr.GetBytesLeft())
    Error_t("Inconsistent number of objects");
  rc.mrc_ctInfoObjects = ctObjects;
  rc.mrc_ctInfoTypes = ctTypes;

  ReadFiles_t(rc, mr, ctFiles, plip);
  ReadIdents_t(rc, mr, ctIdents);
  ReadTypes_t(rc, mr, ctTypes);
  rc.mrc_aObjects.Push(ctObjects);
  for (long i = 0; i < ctObjects; i++) {
    rc.mrc_aObjects[i] = MetaReadObject{CMetaPointer(), nullptr, false, false, -1, -1, -1, 0};
  }
  ReadExternals_t(rc, mr);
  long ctExternal = 0;
  for (MetaReadObject &mro : rc.mrc_aObjects) ctExternal += mro.mro_bExternal ? 1 : 0;
  long ctInternal, ctEdit = 0;
  ReadObjectTypes_t(rc, mr, "InternalObjectTypes", "OBTY", ctObjects - ctExternal,
                    "Invalid number of internal objects", true, ctInternal);
  const bool bEditor = mdGetMetaSwitches().ms_bInEditor != 0;
  if (rc.mrc_iVersion >= 4) {
    ReadObjectTypes_t(rc, mr, "EditObjectTypes", "EDTY",
                      bEditor ? ctObjects - ctExternal - ctInternal : 0x7FFFFFFF,
                      "Invalid number of edit objects", bEditor, ctEdit);
  }
  CheckAbort_t();
  // The root is reached from the start: what it refers to is marked as it is read.
  if (ctObjects > 0) rc.mrc_aObjects[0].mro_bReferenced = true;
  rc.mrc_aulReached.Push((ctObjects + 31) / 32);
  for (unsigned long &ul : rc.mrc_aulReached) ul = 0;
  rc.mrc_ampTargets.Push(ctObjects);
  for (long i = 0; i < ctObjects; i++) {
    const MetaReadObject &mro = rc.mrc_aObjects[i];
    rc.mrc_ampTargets[i] = mro.mro_iDeferredFile >= 0 ? CMetaPointer() : mro.mro_mp;
  }
  ReadObjects_t(rc, mr, "InternalObjects", "OBJS", ctInternal,
                "Inconsistent number of internal objects", plip);
  CheckAbort_t();
  if (bEditor && rc.mrc_iVersion >= 4) {
    ReadObjects_t(rc, mr, "EditObjects", "EDOB", ctEdit, "Inconsistent number of edit objects",
                  plip);
    mr.Close_t();
  } else if (bEditor) {
    mr.Close_t();
  }
  if (ctObjects == 0) Error_t("File with no objects");
  MetaReadObject &mroRoot = rc.mrc_aObjects[0];
  mroRoot.mro_bReferenced = true;
  if (!mroRoot.mro_mp.IsValid()) Error_t("The root object could not be made.");
  return mroRoot.mro_mp;
}

// Restores the calling thread's read context when a read ends, however it ends.
class CReadContextScope {
public:
  explicit CReadContextScope(CMetaReadContext *pmrc)
  {
    pmrc->mrc_pOuter = mdCurrentReadContext();
    mdSetCurrentReadContext(pmrc);
    rcs_pmrc = pmrc;
  }
  ~CReadContextScope(void) { mdSetCurrentReadContext(rcs_pmrc->mrc_pOuter); }

private:
  CMetaReadContext *rcs_pmrc;
};

void FreeFileTypes(CMetaReadContext &rc)
{
  for (CDataType *pdt : rc.mrc_apdtFileTypes) delete pdt;
  rc.mrc_apdtFileTypes.PopAll();
  rc.mrc_apdtTypes.PopAll();
}

// Counts the reads in progress on the calling thread; the outermost deletes the unused objects.
class CReadDepthScope {
public:
  CReadDepthScope(void) { _md_iReadDepth++; }
  ~CReadDepthScope(void)
  {
    if (--_md_iReadDepth != 0) return;
    DeleteUnusedObjects();
  }
};

} // namespace

CMetaPointer mdInternalRead_t(CStream &strm)
{
  CReadDepthScope rds;
  CMetaContextScope mcs;
  CLoadInProgressScope lips(strm);
  CMetaReadContext rc;
  rc.mrc_pstrm = &strm;
  {
    CSyncLock sl(mdGetMetaMutex());
    rc.mrc_iSerial = _md_iNextSerial++;
  }
  CBinaryMetaReader mrBinary(strm);
  CMetaReader *pmr = nullptr;
  CMetaReader *pmrText = nullptr;
  if (mrBinary.IsMetaFile()) {
    pmr = &mrBinary;
  } else if (mdGetTextReaderFactory() != nullptr) {
    pmrText = mdGetTextReaderFactory()(strm);
    if (pmrText->IsMetaFile()) {
      pmr = pmrText;
    }
  }
  if (pmr == nullptr) {
    delete pmrText;
    throw CFileException(strTranslate("DOZUMetaRead.NotMetaDataFile=This is not a metadata file."),
                         strm.GetDescription());
  }
  rc.mrc_pReader = pmr;
  const long slBytesStart = strm_ctEffectiveBytes;
  const long slDiskStart = strm_ctDiskBytes;
  const Time tmStart = timUptimeNow();
  CMetaPointer mpRoot;
  try {
    CReadContextScope rcs(&rc);
    mpRoot = ReadFile_t(rc, *pmr, lips.lips_plip);
    // Hooks run on what the file made, in index order; resources learn their file.
    CStaticStackArray<CMetaPointer> saInternal;
    saInternal.Reserve(rc.mrc_aObjects.Count());
    for (MetaReadObject &mro : rc.mrc_aObjects) {
      if (!mro.mro_bExternal && mro.mro_mp.IsValid()) saInternal.Push(mro.mro_mp);
    }
    CHookCache hcPostRead(CDataTypeFunctions::DTFS_POSTREAD);
    for (CMetaPointer &mp : saInternal) {
      if (hcPostRead.Has(mp.mp_pdtType)) mdPostRead(mp);
    }
    CMetaFileLinks *pLinks = mdGetFileLinks();
    if (pLinks != nullptr) {
      pLinks->AfterRead(mpRoot, saInternal.Count() > 0 ? &saInternal[0] : nullptr,
                        saInternal.Count(), rc.mrc_bConverted, rc.mrc_bDelayed);
    }
    MarkReachable(rc);
    DisposeUnused(rc);
  } catch (...) {
    {
      CReadContextScope rcs(&rc);
      DropDeferred(rc.mrc_iSerial, nullptr);
      DeleteCreated(rc);
      ReleaseHeld(rc);
    }
    FreeFileTypes(rc);
    delete pmrText;
    throw;
  }
  ReleaseHeld(rc);
  FreeFileTypes(rc);
  delete pmrText;
  if (md_bReportReadStats && _md_iReadDepth == 1) {
    const double dSeconds = (double)(timUptimeNow() - tmStart).tm_llValue / 4294967296.0;
    conLog("%1: %2\n", strm.GetDescription(),
           strFormat("%1 bytes read (%2 from disk) in %3 s", strm_ctEffectiveBytes - slBytesStart,
                     strm_ctDiskBytes - slDiskStart, fmtSpec((float)dSeconds, ".3f")));
  }
  return mpRoot;
}

// ---- Deferred references ----

void mdBindDeferredReferences_t(CObject *pFile, const CString &strFileName)
{
  if (_md_psaDeferred == nullptr || _md_psaDeferred->Count() == 0) return;
  CMetaFileLinks *pLinks = mdGetFileLinks();
  CStaticStackArray<DeferredReference> saBind, saKept;
  for (DeferredReference &dr : *_md_psaDeferred) {
    if (dr.dr_strFile == strFileName) {
      saBind.Push(dr);
    } else {
      saKept.Push(dr);
    }
  }
  _md_psaDeferred->Swap(saKept);
  for (DeferredReference &dr : saBind) {
    CMetaPointer mp;
    try {
      if (pLinks != nullptr)
        mp = pLinks->ResolveExternal_t(pFile, strFileName, 0, dr.dr_iResID, dr.dr_pdtWanted);
    } catch (CException &ex) {
      conError("%1\n", ex.GetDescription());
      continue;
    }
    if (mp.IsValid() && ObjectFits(mp, dr.dr_pdtWanted)) {
      if (dr.dr_iPosition < 0) {
        mdRef_Assign(dr.dr_mpSlot, mp.mp_pvObject);
      } else if (dr.dr_iPosition < mdContainer_Count(dr.dr_mpSlot)) {
        ((void ***)dr.dr_mpSlot.mp_pvObject)[1][dr.dr_iPosition] = mp.mp_pvObject;
      }
    }
    if (IsSmart(mp)) AsSmart(mp)->RemRef();
  }
}

void mdForgetDeferredReferences(void)
{
  if (_md_psaDeferred != nullptr) _md_psaDeferred->PopAll();
}

MetaReadWork mdGetReadWork(void)
{
  return MetaReadWork{_md_ctTypeSteps, strGetIDCompareCount() + mdGetTypeNameCompareCount()};
}

// ---- Progress ----

float mdGetLoadingProgress(void)
{
  CSyncLock sl(mdGetMetaMutex());
  CStaticStackArray<LoadInProgress *> &sa = Loads();
  if (sa.Count() == 0) return 0.0f;
  const unsigned long ulThread = sa[0]->lip_ulThread;
  // From the innermost level out: each level's referenced files and its own objects share it.
  float fInner = 0.0f;
  for (long i = sa.Count() - 1; i >= 0; i--) {
    LoadInProgress *plip = sa[i];
    if (plip->lip_ulThread != ulThread) continue;
    const float fOwn =
        plip->lip_slSize > 0 ? (float)plip->lip_slPosition / (float)plip->lip_slSize : 0.0f;
    const long ctFiles = plip->lip_ctFiles;
    const long ctDone = plip->lip_ctFilesDone;
    const bool bInFiles = ctDone < ctFiles;
    fInner = ((float)ctDone + (bInFiles ? fInner : 0.0f) + (bInFiles ? 0.0f : fOwn)) /
             (float)(ctFiles + 1);
  }
  return fInner < 0.0f ? 0.0f : (fInner > 1.0f ? 1.0f : fInner);
}

CString mdGetRootLoadingFN(void)
{
  CSyncLock sl(mdGetMetaMutex());
  CStaticStackArray<LoadInProgress *> &sa = Loads();
  return sa.Count() == 0 ? CString() : sa[0]->lip_strName;
}

void mdAbortLoading(const CString &strFileName)
{
  CSyncLock sl(mdGetMetaMutex());
  CStaticStackArray<LoadInProgress *> &sa = Loads();
  if (sa.Count() > 0 && sa[0]->lip_strName == strFileName) sa[0]->lip_bAbort = true;
}

} // namespace QuennelEngine
