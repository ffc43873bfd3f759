// Reading metadata files: the type table is rebuilt as descriptors of the file's own layout,
// linked by name to the program's types and matched member by member, so that objects are read
// into the program's layout and converted where the two differ. Everything a read owns lives in
// its load context and goes with it, also when the read fails.
//
// This source holds the entry points and reads a file in its order; the tables, the type
// matching, the data walk, its plans and the disposal of objects have sources of their own.
#include "core/frame/CodeGuard.h"
#include "core/frame/Console.h"
#include "core/frame/Exception.h"
#include "core/meta/DataTypeKinds.h"
#include "core/meta/MetaContainers.h"
#include "core/meta/MetaObjects.h"
#include "core/meta/MetaReadPrivate.h"
#include "core/meta/MetaSettings.h"
#include "core/meta/MetaStreams.h"
#include "core/meta/Object.h"
#include "core/meta/ObjectRuns.h"
#include "core/meta/TypeRegistry.h"
#include "core/platform/Timer.h"
#include "core/streams/Stream.h"
#include "core/text/Compare.h"
#include "core/text/FormatArgs.h"
#include "core/text/Ident.h"
#include "core/text/Translation.h"
#include "core/threads/SyncLock.h"
#include "core/threads/SyncMutex.h"
#include "core/threads/Threads.h"

#include <memory>

namespace QuennelEngine {

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

namespace {

thread_local CStaticStackArray<DeferredReference> *_md_psaDeferred = nullptr;
thread_local long _md_iReadDepth = 0;
long _md_iNextSerial = 1;

} // namespace

CStaticStackArray<DeferredReference> &Deferred(void)
{
  if (_md_psaDeferred == nullptr) _md_psaDeferred = new CStaticStackArray<DeferredReference>;
  return *_md_psaDeferred;
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

namespace {

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

} // namespace

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

// ---- The file ----

namespace {

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
  // ... and come in runs (counted in the binary form's blocks of pairs).
  CObjectRuns ors;
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
      ors.Before(pdtProgram, [&] {
        long ctSame = bBinary ? 1 : 0;
        while (ctSame > 0 && iInBlock - 1 + ctSame < ctInBlock &&
               al[2 * (iInBlock - 1 + ctSame) + 1] == iType)
          ctSame++;
        return ctSame;
      });
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
  } else if (bEditor || rc.mrc_iVersion < 4) {
    mr.Close_t();
  } else if (ctEdit == 0) {
    // The file's end is read too when nothing is left out before it: a stream that checks its
    // bytes (an archive entry's CRC-32) checks them once they have all been read.
    long ct;
    mr.ReadListStart_t("EditObjects", "EDOB", ct);
    if (ct != 0) Error_t("Inconsistent number of edit objects");
    mr.ReadListEnd_t();
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
  // (owned from here: its own check may throw)
  std::unique_ptr<CMetaReader> pmrText;
  if (mrBinary.IsMetaFile()) {
    pmr = &mrBinary;
  } else if (mdGetTextReaderFactory() != nullptr) {
    pmrText.reset(mdGetTextReaderFactory()(strm));
    if (pmrText != nullptr && pmrText->IsMetaFile()) {
      pmr = pmrText.get();
    }
  }
  if (pmr == nullptr) {
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
    throw;
  }
  ReleaseHeld(rc);
  FreeFileTypes(rc);
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
