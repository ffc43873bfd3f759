// Walking a metadata file by its own type table. The walk reads item after item in the order the
// file writer writes them; each one read goes straight into the writer when there is one. Older
// format versions are read with their differences and written as the current version. Object
// data is walked by the default encoding of each recorded kind, and by the program's Skip
// operation for types that have their own encoding: that operation reads through a reader that
// copies what it reads into the writer.
#include "core/meta/MetaConvert.h"

#include "core/frame/Exception.h"
#include "core/meta/DataTypeKinds.h"
#include "core/meta/MetaFilesPrivate.h"
#include "core/meta/MetaTextStreams.h"
#include "core/meta/TypeRegistry.h"
#include "core/streams/Stream.h"
#include "core/text/Editing.h"
#include "core/text/FormatArgs.h"
#include "core/text/Ident.h"
#include "core/text/Translation.h"

namespace QuennelEngine {

namespace {

const long MAX_MEMBERS = 64000;
const long MAX_DEPTH = 256;
const long MAX_SIMPLE_BYTES = 1L << 20;
const long MAX_ELEMENTS = 1L << 24;

// A reader that writes every item it reads into a writer (when there is one).
class CCopyingReader : public CMetaReader {
public:
  CCopyingReader(CMetaReader &mr, CMetaWriter *pmw)
      : CMetaReader(mr.GetStream()), cr_mr(mr), cr_pmw(pmw)
  {
    mr_iVersion = mr.GetVersion();
  }
  long Open_t(void) override { return cr_mr.Open_t(); }
  void Close_t(void) override { cr_mr.Close_t(); }
  void ReadInt_t(const char *strName, long &sl) override
  {
    cr_mr.ReadInt_t(strName, sl);
    if (cr_pmw != nullptr) cr_pmw->WriteInt_t(strName, sl);
  }
  void ReadString_t(const char *strName, CString &str) override
  {
    cr_mr.ReadString_t(strName, str);
    if (cr_pmw != nullptr) cr_pmw->WriteString_t(strName, str);
  }
  void ReadKind_t(const char *strName, DataTypeType &dtt) override
  {
    cr_mr.ReadKind_t(strName, dtt);
    if (cr_pmw != nullptr) cr_pmw->WriteKind_t(strName, dtt);
  }
  void ReadRaw_t(const char *strName, void *pv, long slSize) override
  {
    cr_mr.ReadRaw_t(strName, pv, slSize);
    if (cr_pmw != nullptr) cr_pmw->WriteRaw_t(strName, pv, slSize);
  }
  void ReadBlockStart_t(const char *strName, const char *strChunk) override
  {
    cr_mr.ReadBlockStart_t(strName, strChunk);
    if (cr_pmw != nullptr) cr_pmw->WriteBlockStart_t(strName, strChunk);
  }
  void ReadBlockEnd_t(void) override
  {
    cr_mr.ReadBlockEnd_t();
    if (cr_pmw != nullptr) cr_pmw->WriteBlockEnd_t();
  }
  void ReadListStart_t(const char *strName, const char *strChunk, long &ct) override
  {
    cr_mr.ReadListStart_t(strName, strChunk, ct);
    if (cr_pmw != nullptr) cr_pmw->WriteListStart_t(strName, strChunk, ct);
  }
  void ReadListEnd_t(void) override
  {
    cr_mr.ReadListEnd_t();
    if (cr_pmw != nullptr) cr_pmw->WriteListEnd_t();
  }
  void SkipRaw_t(const char *strName, long slSize) override
  {
    if (cr_pmw == nullptr) {
      cr_mr.SkipRaw_t(strName, slSize);
      return;
    }
    if (slSize > GetBytesLeft()) Error_t("Unexpected end of file.");
    CStaticStackArray<unsigned char> aub;
    if (slSize > 0) aub.Push(slSize);
    ReadRaw_t(strName, slSize > 0 ? &aub[0] : nullptr, slSize);
  }
  int IsMetaFile(void) override { return cr_mr.IsMetaFile(); }
  [[noreturn]] void Error_t(const CString &strMessage) override
  {
    cr_mr.Error_t(strMessage);
    throw CSimpleException(strMessage); // (Error_t throws; a reader that returned is faulty)
  }
  long GetBytesLeft(void) const override { return cr_mr.GetBytesLeft(); }
  int IsBinary(void) const override { return cr_mr.IsBinary(); }
  bool IsNextBlock_t(const char *strName) override { return cr_mr.IsNextBlock_t(strName); }
  bool IsNextItem_t(const char *strName) override { return cr_mr.IsNextItem_t(strName); }
  void SetVersion(long iVersion) { mr_iVersion = iVersion; }

private:
  CMetaReader &cr_mr;
  CMetaWriter *cr_pmw;
};

// Makes the copying reader the thread's current one, so that Skip operations read through it.
class CWalkContextScope {
public:
  CWalkContextScope(CMetaReader &mr, CStream &strm, long iVersion)
  {
    wcs_rc.mrc_pReader = &mr;
    wcs_rc.mrc_pstrm = &strm;
    wcs_rc.mrc_iVersion = iVersion;
    wcs_rc.mrc_pOuter = mdCurrentReadContext();
    mdSetCurrentReadContext(&wcs_rc);
  }
  ~CWalkContextScope(void) { mdSetCurrentReadContext(wcs_rc.mrc_pOuter); }

private:
  CMetaReadContext wcs_rc;
};

enum { KIND_NONE = -2, KIND_EXTERNAL = -1 };

struct WalkType {
  long wt_iKind = KIND_NONE;
  CString wt_strName;
  long wt_iFormat = -1;
  long wt_slBytes = 0;
  long wt_iRef = -1; // To, Of, For or Base
  long wt_ctElements = 0;
  CStaticStackArray<CString> wt_astrMembers;
  CStaticStackArray<long> wt_aiMembers;
  MetaFrameFunction wt_pSkip = nullptr; // the program's, for a type of its own encoding
};

class CWalk {
public:
  CWalk(CMetaReader &mr, CMetaWriter *pmw, CMetaFileSummary &mfs)
      : w_mr(mr), w_pmw(pmw), w_mfs(mfs), w_cr(mr, pmw)
  {
  }
  void File_t(void);

private:
  [[noreturn]] void Error_t(const CString &str)
  {
    w_mr.Error_t(str);
    throw CSimpleException(str);
  }
  long Int_t(const char *strName)
  {
    long sl;
    w_cr.ReadInt_t(strName, sl);
    return sl;
  }
  CString String_t(const char *strName)
  {
    CString str;
    w_cr.ReadString_t(strName, str);
    return str;
  }
  long ListStart_t(const char *strName, const char *strChunk, long slMinBytes)
  {
    long ct;
    w_cr.ReadListStart_t(strName, strChunk, ct);
    if (ct < 0 || (long long)ct * slMinBytes > w_mr.GetBytesLeft())
      Error_t(strFormat("Invalid count %1: the file cannot hold it.", ct));
    return ct;
  }
  void Header_t(void);
  void Types_t(long ctTypes);
  void TypeRecord_t(void);
  void CheckTypes_t(void);
  void Objects_t(const char *strName, const char *strChunk, bool bPresent);
  void ObjectTypes_t(const char *strName, const char *strChunk, bool bPresent, long &ct);
  WalkType &TypeAt_t(long iType);
  void Data_t(long iType, long iDepth);

  CMetaReader &w_mr;
  CMetaWriter *w_pmw;
  CMetaFileSummary &w_mfs;
  CCopyingReader w_cr;
  long w_iVersion = -1;
  CStaticStackArray<WalkType> w_aTypes;
  CStaticStackArray<long> w_aiObjectTypes; // by object index, -1 when not listed
  long long w_llSteps = 0;
  long long w_llMaxSteps = 0;
};

WalkType &CWalk::TypeAt_t(long iType)
{
  if (iType < 0 || iType >= w_aTypes.Count() || w_aTypes[iType].wt_iKind < DTT_SIMPLE)
    Error_t(strFormat("Invalid type index %1.", iType));
  return w_aTypes[iType];
}

// The program's Skip operation for a recorded type that the program knows by name and kind.
MetaFrameFunction ProgramSkip_t(CMetaReader &mr, const WalkType &wt)
{
  IDENT id = strConvertStringToID(wt.wt_strName);
  CDataType *pdt = mdFindByName(id);
  if (pdt == nullptr) pdt = mdFindStructByAlias(id);
  if (pdt == nullptr) return nullptr;
  const auto IsNumber = [](long i) { return i == DTT_SIMPLE || i == DTT_VALUEFIELD; };
  if (pdt->dt_dttKind != wt.wt_iKind && !(IsNumber(pdt->dt_dttKind) && IsNumber(wt.wt_iKind))) {
    return nullptr;
  }
  if (pdt->dt_dttKind == DTT_TYPEDEF && pdt->dt_pdtfFunctions == nullptr) {
    CDataType *pdtAliased = static_cast<CDataType_Targeted *>(pdt)->dtt_tidTarget.Resolve();
    if (pdtAliased != nullptr) pdt = pdtAliased;
  }
  MetaFrameFunction pSkip = (MetaFrameFunction)pdt->GetFunction(CDataTypeFunctions::DTFS_SKIP);
  if (pSkip == nullptr && (pdt->GetFunction(CDataTypeFunctions::DTFS_READ) != nullptr ||
                           pdt->GetFunction(CDataTypeFunctions::DTFS_WRITE) != nullptr)) {
    mr.Error_t(
        strFormat("Type '%1' has an encoding of its own and no Skip operation.", wt.wt_strName));
  }
  return pSkip;
}

void CWalk::Header_t(void)
{
  w_iVersion = w_mr.Open_t();
  w_mfs.mfs_iVersion = w_iVersion;
  // (the text form's header line stands for the program version; its earlier layout has it in
  // a line of its own)
  const bool bVersion = w_mr.IsBinary() ? w_iVersion >= 2 : w_mr.IsNextItem_t("ProgramVersion");
  if (bVersion) w_mr.ReadString_t("ProgramVersion", w_mfs.mfs_strProgramVersion);
  if (w_pmw != nullptr) {
    if (bVersion) w_pmw->SetProgramVersionText(w_mfs.mfs_strProgramVersion);
    w_pmw->Open_t();
  }
}

void CWalk::TypeRecord_t(void)
{
  w_cr.ReadBlockStart_t("DataType", "DTTY");
  const long iType = Int_t("DataType");
  if (iType < 0 || iType >= w_aTypes.Count()) Error_t(strFormat("Invalid type index %1.", iType));
  WalkType &wt = w_aTypes[iType];
  if (wt.wt_iKind != KIND_NONE) Error_t(strFormat("Type index %1 is used twice.", iType));
  wt.wt_strName = String_t("Name");
  wt.wt_iFormat = Int_t("Format");
  DataTypeType dtt;
  w_cr.ReadKind_t("Type", dtt);
  if (dtt < DTT_SIMPLE || dtt > DTT_UNKNOWN) Error_t(strFormat("Unknown type '%1'.", (long)dtt));
  switch (dtt) {
  case DTT_SIMPLE:
    wt.wt_slBytes = Int_t("Bytes");
    Int_t("LBE");
    break;
  case DTT_VALUEFIELD:
    wt.wt_slBytes = Int_t("Bytes");
    break;
  case DTT_POINTER:
  case DTT_SMARTPOINTER:
  case DTT_HANDLE:
    wt.wt_iRef = Int_t("To");
    break;
  case DTT_TYPEDEF:
    wt.wt_iRef = Int_t("For");
    break;
  case DTT_STATICARRAY:
  case DTT_STATICSTACKARRAY:
  case DTT_DYNAMICCONTAINER:
    wt.wt_iRef = Int_t("Of");
    break;
  case DTT_ARRAY: {
    wt.wt_iRef = Int_t("Of");
    const long ctDimensions = ListStart_t("Dimensions", "ADIM", 4);
    if (ctDimensions != 1) Error_t("Multi-dimensional arrays are not currently supported");
    wt.wt_ctElements = Int_t("Dimension");
    w_cr.ReadListEnd_t();
    break;
  }
  case DTT_STRUCT: {
    wt.wt_iRef = Int_t("Base");
    const long ctMembers = ListStart_t("Members", "STMB", 8);
    if (ctMembers > MAX_MEMBERS) Error_t("Invalid number of members");
    for (long i = 0; i < ctMembers; i++) {
      w_cr.ReadBlockStart_t("Member", nullptr);
      CString strMember;
      if (w_iVersion < 5) {
        // The member was named by its number; it is written under that name.
        long iID;
        w_mr.ReadInt_t("ID", iID);
        CString strIgnored;
        w_mr.ReadString_t("Name", strIgnored);
        strMember = strFromIndex(iID);
        if (w_pmw != nullptr) w_pmw->WriteString_t("Name", strMember);
      } else {
        strMember = String_t("Name");
      }
      wt.wt_astrMembers.Push() = strMember;
      wt.wt_aiMembers.Push() = Int_t("Type");
      w_cr.ReadBlockEnd_t();
    }
    w_cr.ReadListEnd_t();
    break;
  }
  default:
    break;
  }
  w_cr.ReadBlockEnd_t();
  wt.wt_iKind = dtt;
}

// Every index inside the records must name a recorded type; data of a size the file cannot hold
// is refused before it is walked.
void CWalk::CheckTypes_t(void)
{
  for (long i = 0; i < w_aTypes.Count(); i++) {
    WalkType &wt = w_aTypes[i];
    if (wt.wt_iKind < DTT_SIMPLE) continue;
    const char *strName = wt.wt_strName;
    auto Check = [this, strName](long iRef, bool bNoneAllowed) {
      if (iRef == -1 && bNoneAllowed) return;
      if (iRef < 0 || iRef >= w_aTypes.Count() || w_aTypes[iRef].wt_iKind == KIND_NONE)
        Error_t(strFormat("Invalid type index %1 in type '%2'.", iRef, strName));
    };
    switch (wt.wt_iKind) {
    case DTT_SIMPLE:
    case DTT_VALUEFIELD:
      if (wt.wt_slBytes < 0 || wt.wt_slBytes > MAX_SIMPLE_BYTES)
        Error_t(strFormat("Invalid size %1 of type '%2'.", wt.wt_slBytes, strName));
      break;
    case DTT_POINTER:
    case DTT_SMARTPOINTER:
    case DTT_HANDLE:
      Check(wt.wt_iRef, true);
      break;
    case DTT_STRUCT:
      Check(wt.wt_iRef, true);
      if (wt.wt_iRef >= 0 && w_aTypes[wt.wt_iRef].wt_iKind != DTT_STRUCT)
        Error_t(strFormat("The base of structure '%1' is not a structure.", strName));
      for (long iMember : wt.wt_aiMembers) Check(iMember, false);
      break;
    case DTT_ARRAY:
      if (wt.wt_ctElements < 0 || wt.wt_ctElements > MAX_ELEMENTS)
        Error_t(strFormat("Invalid array dimension %1.", wt.wt_ctElements));
      Check(wt.wt_iRef, false);
      break;
    case DTT_STATICARRAY:
    case DTT_STATICSTACKARRAY:
    case DTT_DYNAMICCONTAINER:
    case DTT_TYPEDEF:
      Check(wt.wt_iRef, false);
      break;
    default:
      break;
    }
    wt.wt_pSkip = ProgramSkip_t(w_mr, wt);
  }
}

void CWalk::Types_t(long ctTypes)
{
  for (long i = 0; i < ctTypes; i++) w_aTypes.Push();
  const long ctExternal = ListStart_t("ExternalTypes", "EXTY", 8);
  if (ctExternal > ctTypes) Error_t("Inconsistent number of datatypes");
  for (long i = 0; i < ctExternal; i++) {
    const bool bWrapped = mdReadEntryWrapper_t(w_mr, "ExternalType");
    const long iType = Int_t("Type");
    CString strName = String_t("Name");
    if (bWrapped) w_mr.ReadBlockEnd_t();
    if (iType < 0 || iType >= ctTypes) Error_t(strFormat("Invalid type index %1.", iType));
    WalkType &wt = w_aTypes[iType];
    if (wt.wt_iKind != KIND_NONE) Error_t(strFormat("Type index %1 is used twice.", iType));
    wt.wt_iKind = KIND_EXTERNAL;
    wt.wt_strName = strName;
  }
  w_cr.ReadListEnd_t();
  const long ctInternal = ListStart_t("InternalTypes", "INTY", 8);
  if (ctExternal + ctInternal != ctTypes) Error_t("Inconsistent number of datatypes");
  for (long i = 0; i < ctInternal; i++) TypeRecord_t();
  w_cr.ReadListEnd_t();
  CheckTypes_t();
}

void CWalk::ObjectTypes_t(const char *strName, const char *strChunk, bool bPresent, long &ct)
{
  ct = 0;
  if (!bPresent) {
    if (w_pmw != nullptr) {
      w_pmw->WriteListStart_t(strName, strChunk, 0);
      w_pmw->WriteListEnd_t();
    }
    return;
  }
  ct = ListStart_t(strName, strChunk, 8);
  for (long i = 0; i < ct; i++) {
    // (entries of the earlier text layout come wrapped: the wrapper is read, not written)
    const bool bWrapped = mdReadEntryWrapper_t(w_mr, "ObjectType");
    const long iObject = Int_t("Object");
    const long iType = Int_t("Type");
    if (bWrapped) w_mr.ReadBlockEnd_t();
    if (iObject < 0 || iObject >= w_aiObjectTypes.Count())
      Error_t(strFormat("Invalid object index %1.", iObject));
    if (w_aiObjectTypes[iObject] != -1)
      Error_t(strFormat("Object index %1 is used twice.", iObject));
    TypeAt_t(iType);
    w_aiObjectTypes[iObject] = iType;
  }
  w_cr.ReadListEnd_t();
}

void CWalk::Objects_t(const char *strName, const char *strChunk, bool bPresent)
{
  if (!bPresent) {
    if (w_pmw != nullptr) {
      w_pmw->WriteListStart_t(strName, strChunk, 0);
      w_pmw->WriteListEnd_t();
    }
    return;
  }
  const long ct = ListStart_t(strName, strChunk, 8);
  for (long i = 0; i < ct; i++) {
    // The data's block; in the earlier text layout the whole entry's wrapper stands for it.
    const bool bWrapped = mdReadEntryWrapper_t(w_mr, "Object");
    const long iObject = Int_t("Object");
    const long iType = Int_t("Type");
    if (!bWrapped) {
      w_cr.ReadBlockStart_t("", nullptr);
    } else if (w_pmw != nullptr) {
      w_pmw->WriteBlockStart_t("", nullptr);
    }
    if (iObject < 0 || iObject >= w_aiObjectTypes.Count() || w_aiObjectTypes[iObject] != iType)
      Error_t("Invalid type index");
    w_aiObjectTypes[iObject] = -2; // read once only
    Data_t(iType, 0);
    w_cr.ReadBlockEnd_t();
    w_mfs.mfs_aTypes[iType].mst_ctObjects++;
  }
  w_cr.ReadListEnd_t();
}

void CWalk::Data_t(long iType, long iDepth)
{
  WalkType &wt = TypeAt_t(iType);
  // A type that holds itself by value, or nesting that takes no bytes, would walk forever.
  if (iDepth > MAX_DEPTH) Error_t(strFormat("Type '%1' contains itself.", wt.wt_strName));
  if (++w_llSteps > w_llMaxSteps) Error_t("The file's types describe more data than it holds.");
  if (wt.wt_pSkip != nullptr) {
    CMetaFrame mf;
    wt.wt_pSkip(mf);
    return;
  }
  switch (wt.wt_iKind) {
  case DTT_SIMPLE:
  case DTT_VALUEFIELD:
    w_cr.SkipRaw_t(wt.wt_strName, wt.wt_slBytes);
    return;
  case DTT_POINTER:
  case DTT_HANDLE:
    Int_t("Ptr");
    return;
  case DTT_SMARTPOINTER:
    Int_t("SmartPtr");
    return;
  case DTT_STRUCT: {
    if (wt.wt_iRef >= 0) Data_t(wt.wt_iRef, iDepth + 1);
    w_cr.ReadBlockStart_t("Struct", nullptr);
    for (long i = 0; i < wt.wt_aiMembers.Count(); i++) {
      w_cr.ReadBlockStart_t(wt.wt_astrMembers[i], nullptr);
      Data_t(wt.wt_aiMembers[i], iDepth + 1);
      w_cr.ReadBlockEnd_t();
    }
    w_cr.ReadBlockEnd_t();
    return;
  }
  case DTT_ARRAY: {
    if (w_iVersion >= 6) {
      w_cr.ReadBlockStart_t("Array", nullptr);
    } else {
      long ctIgnored;
      w_mr.ReadListStart_t("Array", "ARRY", ctIgnored);
      if (w_pmw != nullptr) w_pmw->WriteBlockStart_t("Array", nullptr);
    }
    for (long i = 0; i < wt.wt_ctElements; i++) Data_t(wt.wt_iRef, iDepth + 1);
    if (w_iVersion >= 6) {
      w_cr.ReadBlockEnd_t();
    } else {
      w_mr.ReadListEnd_t();
      if (w_pmw != nullptr) w_pmw->WriteBlockEnd_t();
    }
    return;
  }
  case DTT_STATICARRAY:
  case DTT_STATICSTACKARRAY: {
    const bool bStatic = wt.wt_iKind == DTT_STATICARRAY;
    const long ct =
        ListStart_t(bStatic ? "StaticArray" : "StaticStackArray", bStatic ? "STAR" : "SSAR", 0);
    for (long i = 0; i < ct; i++) Data_t(wt.wt_iRef, iDepth + 1);
    w_cr.ReadListEnd_t();
    return;
  }
  case DTT_DYNAMICCONTAINER: {
    const long ct = ListStart_t("DynamicContainer", "DCON", 4);
    for (long i = 0; i < ct; i++) Int_t("Ptr");
    w_cr.ReadListEnd_t();
    return;
  }
  case DTT_TYPEDEF:
    Data_t(wt.wt_iRef, iDepth + 1);
    return;
  default:
    return;
  }
}

void CWalk::File_t(void)
{
  Header_t();
  w_cr.SetVersion(w_iVersion);
  CWalkContextScope wcs(w_cr, w_mr.GetStream(), w_iVersion);
  // Each step of the walk but those of empty structures reads at least a byte.
  w_llMaxSteps = (long long)w_mr.GetBytesLeft() * 4 + 1000000;
  w_cr.ReadBlockStart_t("Info", "INFO");
  if (w_iVersion >= 8) {
    w_mfs.mfs_iEditDataStripped = Int_t("EditDataStripped");
  } else if (w_pmw != nullptr) {
    w_pmw->WriteInt_t("EditDataStripped", 0);
  }
  const long ctFiles = Int_t("ResourceFiles");
  const long ctIdents = Int_t("Idents");
  const long ctTypes = Int_t("Types");
  const long ctObjects = Int_t("Objects");
  w_cr.ReadBlockEnd_t();
  if (ctTypes < 0 || (long long)ctTypes * 8 > w_mr.GetBytesLeft())
    Error_t("Inconsistent number of datatypes");
  if (ctObjects < 0 || (long long)ctObjects * 8 > w_mr.GetBytesLeft())
    Error_t("Inconsistent number of objects");
  w_mfs.mfs_ctIdents = ctIdents;
  w_mfs.mfs_ctObjects = ctObjects;

  const long ctListed = ListStart_t("ResourceFiles", "RFIL", 8);
  if (ctListed != ctFiles) Error_t("Inconsistent number of files");
  for (long i = 0; i < ctFiles; i++) {
    const bool bWrapped = mdReadEntryWrapper_t(w_mr, "File");
    if (Int_t("File") != i) Error_t("Inconsistent numbering of dependent resource files.");
    long slFlags = 0;
    if (w_iVersion >= 7) {
      slFlags = Int_t("Flags");
    } else if (w_pmw != nullptr) {
      w_pmw->WriteInt_t("Flags", 0);
    }
    w_mfs.mfs_aFiles.Push(MetaSummaryFile{String_t("FileName"), (unsigned long)slFlags});
    if (bWrapped) w_mr.ReadBlockEnd_t();
  }
  w_cr.ReadListEnd_t();

  const long ctIdentsListed = ListStart_t("Idents", "IDNT", 8);
  if (ctIdentsListed != ctIdents) Error_t("Inconsistent number of idents");
  for (long i = 0; i < ctIdents; i++) {
    const bool bWrapped = mdReadEntryWrapper_t(w_mr, "Ident");
    if (Int_t("Ident") != i) Error_t(strFormat("Invalid ident index at entry %1.", i));
    String_t("Name");
    if (bWrapped) w_mr.ReadBlockEnd_t();
  }
  w_cr.ReadListEnd_t();

  Types_t(ctTypes);
  for (long i = 0; i < ctTypes; i++) {
    WalkType &wt = w_aTypes[i];
    IDENT id = strConvertStringToID(wt.wt_strName);
    const bool bKnown = mdFindByName(id) != nullptr || mdFindStructByAlias(id) != nullptr;
    w_mfs.mfs_aTypes.Push(MetaSummaryType{wt.wt_strName, wt.wt_iKind < 0 ? -1 : wt.wt_iFormat,
                                          wt.wt_iKind < 0 ? -1 : wt.wt_iKind, bKnown, 0});
  }

  for (long i = 0; i < ctObjects; i++) w_aiObjectTypes.Push() = -1;
  const long ctExternal = ListStart_t("ExternalObjects", "EXOB", 16);
  if (ctExternal > ctObjects) Error_t("Inconsistent number of objects");
  for (long i = 0; i < ctExternal; i++) {
    const bool bWrapped = mdReadEntryWrapper_t(w_mr, "ExternalObject");
    const long iObject = Int_t("Object");
    const long iFile = Int_t("File");
    Int_t("ResID");
    const long iType = Int_t("Type");
    if (bWrapped) w_mr.ReadBlockEnd_t();
    if (iObject < 0 || iObject >= ctObjects)
      Error_t(strFormat("Invalid object index %1.", iObject));
    if (w_aiObjectTypes[iObject] != -1)
      Error_t(strFormat("Object index %1 is used twice.", iObject));
    w_aiObjectTypes[iObject] = -3;
    if (iFile < -1 || iFile >= ctFiles) Error_t(strFormat("Invalid file index %1.", iFile));
    if (iType < 0 || iType >= ctTypes) Error_t(strFormat("Invalid type index %1.", iType));
  }
  w_cr.ReadListEnd_t();
  w_mfs.mfs_ctExternalObjects = ctExternal;

  long ctInternal = 0, ctEdit = 0;
  ObjectTypes_t("InternalObjectTypes", "OBTY", true, ctInternal);
  ObjectTypes_t("EditObjectTypes", "EDTY", w_iVersion >= 4, ctEdit);
  if (ctExternal + ctInternal + ctEdit > ctObjects) Error_t("Invalid number of internal objects");
  w_mfs.mfs_ctInternalObjects = ctInternal;
  w_mfs.mfs_ctEditObjects = ctEdit;
  Objects_t("InternalObjects", "OBJS", true);
  Objects_t("EditObjects", "EDOB", w_iVersion >= 4);
  for (long i = 0; i < ctObjects; i++) {
    if (w_aiObjectTypes[i] >= 0) Error_t(strFormat("Object %1 has no data.", i));
  }
  if (w_iVersion >= 3) w_mr.Close_t();
  if (w_pmw != nullptr) w_pmw->Close_t();
}

} // namespace

void mdConvertMetaFile_t(CStream &strmIn, CMetaWriter *pmwOut, CMetaFileSummary *pmfs)
{
  CMetaFileSummary mfsLocal;
  CMetaFileSummary &mfs = pmfs != nullptr ? *pmfs : mfsLocal;
  mfs = CMetaFileSummary();
  const int iForm = mdPeekMetaFileForm(strmIn);
  if (iForm == 0) {
    throw CFileException(strTranslate("DOZUMetaRead.NotMetaDataFile=This is not a metadata file."),
                         strmIn.GetDescription());
  }
  mfs.mfs_iForm = iForm;
  CBinaryMetaReader mrBinary(strmIn);
  CTextMetaReader mrText(strmIn);
  CMetaReader &mr = iForm == 1 ? (CMetaReader &)mrBinary : (CMetaReader &)mrText;
  CWalk w(mr, pmwOut, mfs);
  w.File_t();
}

} // namespace QuennelEngine
