// The tables at the head of a metadata file: the referenced resource files, the identifiers and
// the type table. Each type record becomes a descriptor of the file's own layout, linked by name
// to the program's type of that name; the indices between records are resolved, and the table is
// checked for types that hold themselves or nest too deeply before anything walks it.
#include "core/frame/Console.h"
#include "core/frame/Exception.h"
#include "core/meta/DataTypeKinds.h"
#include "core/meta/MetaReadPrivate.h"
#include "core/meta/MetaSettings.h"
#include "core/meta/MetaStreams.h"
#include "core/meta/TypeRegistry.h"
#include "core/text/Compare.h"
#include "core/text/Editing.h"
#include "core/text/FormatArgs.h"
#include "core/text/Ident.h"
#include "core/text/Translation.h"

namespace QuennelEngine {

// The steps the type tables of the calling thread's reads took (mdGetReadWork).
thread_local long long _md_ctTypeSteps = 0;

// ---- Type records ----

namespace {

const long MAX_MEMBERS = 64000;
const long MAX_SIMPLE_BYTES = 1L << 20;

struct FileTypeRecord {
  CDataType *ftr_pdt;
  CStaticStackArray<long> ftr_aiMembers;
};

} // namespace

// The descriptor at a type index of the file. What referred to it is named in the error: the
// type `strOwner`, or object `iObject` (with `strOwner` saying which kind) when that is not -1.
CDataType *TypeAt_t(CMetaReadContext &rc, long iType, bool bAllowNone, const char *strOwner,
                    long iObject)
{
  if (iType == -1 && bAllowNone) return nullptr;
  if (iType >= 0 && iType < rc.mrc_apdtTypes.Count()) return rc.mrc_apdtTypes[iType];
  if (strOwner == nullptr) Error_t(strFormat("Invalid type index %1.", iType));
  if (iObject < 0) Error_t(strFormat("Invalid type index %1 in type '%2'.", iType, strOwner));
  Error_t(strFormat("Invalid type index %1 of %2 %3.", iType, strOwner, iObject));
}

namespace {

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

// One record of the file's internal types; `abExternal` marks the indices the external types
// took (an unknown one leaves its index without a descriptor, but taken all the same).
CDataType *ReadTypeRecord_t(CMetaReadContext &rc, CMetaReader &mr,
                            CStaticStackArray<FileTypeRecord> &aRecords,
                            const CStaticStackArray<bool> &abExternal)
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
  if (rc.mrc_apdtTypes[iType] != nullptr || abExternal[iType])
    Error_t(strFormat("Type index %1 is used twice.", iType));
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
  // Owned by the read from here on, so that a bad end of the record does not leave it behind.
  rc.mrc_apdtFileTypes.Push() = pdt;
  mr.ReadBlockEnd_t();
  pdt->dt_iFormat = iFormat;
  pdt->dt_ulFlags = DTF_FROMFILE;
  pdt->dt_aulReserved[RES_INDEX] = (unsigned long)iRef;
  pdt->dt_aulReserved[RES_FILEBYTES] = (unsigned long)pdt->dt_slSize;
  pdt->dt_aulReserved[RES_MINBYTES] = 0;
  pdt->dt_pdtCounterpart = nullptr;
  ftr.ftr_pdt = pdt;
  rc.mrc_apdtTypes[iType] = pdt;
  return pdt;
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

} // namespace

// ---- The tables, in the order of the file ----

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
    LinkToProgram(ReadTypeRecord_t(rc, mr, aRecords, abExternal));
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

} // namespace QuennelEngine
