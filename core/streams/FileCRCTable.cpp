// The file CRC table: records in an array that grows in steps, and a name index of buckets with
// a row of slots each (the hash of the name and the index of its record). Indices, not pointers,
// so that growing the array never leaves the index pointing at freed memory. A full bucket widens
// every bucket by the growth step, and the records are entered again.
#include "core/streams/FileCRCTable.h"

#include "core/frame/Exception.h"
#include "core/memory/Memory.h"
#include "core/memory/StaticStackArray.h"
#include "core/streams/CRC.h"
#include "core/streams/Stream.h"
#include "core/text/Compare.h"
#include "core/text/Hash.h"
#include "core/text/Matching.h"
#include "core/threads/SyncLock.h"

#include <utility>

namespace QuennelEngine {

int CRCT_bGatherCRCs = 0;

namespace {

const long _ctInitialBuckets = 50;
const long _ctInitialSlots = 10;
const long _ctSlotStep = 10;
// What a CRC of 0 becomes for a name that is excluded from comparison.
const unsigned long _ulExcludedCRC = 0x12345678UL;

struct FileCRCRecord {
  CString fcr_strName;
  unsigned long fcr_ulCRC;
  bool fcr_bActive;
};

struct IndexSlot {
  unsigned long is_ulHash;
  long is_iRecord; // -1: free
};

struct FileCRCTable {
  CStaticStackArray<FileCRCRecord> fct_afcr;
  IndexSlot *fct_pis = nullptr;
  long fct_ctBuckets = 0;
  long fct_ctSlots = 0; // per bucket
  CStaticStackArray<CString> fct_astrExcluded;
};

CSyncMutex _crct_smLock;

FileCRCTable &Table(void)
{
  static FileCRCTable *_pfct = new FileCRCTable;
  return *_pfct;
}

void AllocateIndex(FileCRCTable &fct, long ctBuckets, long ctSlots)
{
  memFree(fct.fct_pis);
  fct.fct_ctBuckets = ctBuckets;
  fct.fct_ctSlots = ctSlots;
  long ct = ctBuckets * ctSlots;
  fct.fct_pis = (IndexSlot *)memMAlloc(ct * sizeof(IndexSlot));
  for (long i = 0; i < ct; i++)
    fct.fct_pis[i].is_iRecord = -1;
}

void EnsureIndex(FileCRCTable &fct)
{
  if (fct.fct_pis == nullptr) AllocateIndex(fct, _ctInitialBuckets, _ctInitialSlots);
}

bool TryToEnter(FileCRCTable &fct, unsigned long ulHash, long iRecord)
{
  IndexSlot *pis = fct.fct_pis + (ulHash % fct.fct_ctBuckets) * fct.fct_ctSlots;
  for (long i = 0; i < fct.fct_ctSlots; i++) {
    if (pis[i].is_iRecord >= 0) continue;
    pis[i].is_ulHash = ulHash;
    pis[i].is_iRecord = iRecord;
    return true;
  }
  return false;
}

void Enter(FileCRCTable &fct, unsigned long ulHash, long iRecord)
{
  EnsureIndex(fct);
  while (!TryToEnter(fct, ulHash, iRecord)) {
    // Every bucket gets wider and the records are entered again (the new one last).
    AllocateIndex(fct, fct.fct_ctBuckets, fct.fct_ctSlots + _ctSlotStep);
    for (long i = 0; i < fct.fct_afcr.Count(); i++) {
      if (i != iRecord) TryToEnter(fct, strGetHash(fct.fct_afcr[i].fcr_strName), i);
    }
  }
}

long Find(FileCRCTable &fct, const char *strName, unsigned long ulHash)
{
  if (fct.fct_pis == nullptr) return -1;
  const IndexSlot *pis = fct.fct_pis + (ulHash % fct.fct_ctBuckets) * fct.fct_ctSlots;
  // Slots fill from the front and are never freed one by one.
  for (long i = 0; i < fct.fct_ctSlots && pis[i].is_iRecord >= 0; i++) {
    if (pis[i].is_ulHash == ulHash &&
        strCompare(fct.fct_afcr[pis[i].is_iRecord].fcr_strName, strName) == 0) {
      return pis[i].is_iRecord;
    }
  }
  return -1;
}

bool IsExcluded(FileCRCTable &fct, const char *strName)
{
  for (const CString &strPattern : fct.fct_astrExcluded) {
    if (strMatches(strName, strPattern) || strHasHead(strName, strPattern)) return true;
  }
  return false;
}

// The record of the name, added (active, with the CRC) when it is new.
long Record(FileCRCTable &fct, const CString &strName, unsigned long ulCRC)
{
  unsigned long ulHash = strGetHash(strName);
  long iRecord = Find(fct, strName, ulHash);
  if (iRecord >= 0) {
    FileCRCRecord &fcr = fct.fct_afcr[iRecord];
    fcr.fcr_bActive = true;
    if (ulCRC != 0) fcr.fcr_ulCRC = ulCRC;
    return iRecord;
  }
  if (ulCRC == 0 && IsExcluded(fct, strName)) ulCRC = _ulExcludedCRC;
  fct.fct_afcr.SetAllocationStep(256);
  FileCRCRecord &fcr = fct.fct_afcr.Push();
  fcr.fcr_strName = strName;
  fcr.fcr_ulCRC = ulCRC;
  fcr.fcr_bActive = true;
  iRecord = fct.fct_afcr.Count() - 1;
  Enter(fct, ulHash, iRecord);
  return iRecord;
}

// Sets the gathering flag for a scope and puts the old value back, also when leaving by a throw.
struct GatheringOn {
  int go_bOld;
  GatheringOn() : go_bOld(CRCT_bGatherCRCs) { CRCT_bGatherCRCs = 1; }
  ~GatheringOn() { CRCT_bGatherCRCs = go_bOld; }
};

} // namespace

void CRCT_Init(void)
{
  CSyncLock sl(&_crct_smLock);
  FileCRCTable &fct = Table();
  fct.fct_afcr.Clear();
  AllocateIndex(fct, _ctInitialBuckets, _ctInitialSlots);
}

void CRCT_Clear(void)
{
  CSyncLock sl(&_crct_smLock);
  FileCRCTable &fct = Table();
  fct.fct_afcr.Clear();
  memFree(fct.fct_pis);
  fct.fct_pis = nullptr;
  fct.fct_ctBuckets = 0;
  fct.fct_ctSlots = 0;
}

void CRCT_ResetActiveList(void)
{
  CSyncLock sl(&_crct_smLock);
  for (FileCRCRecord &fcr : Table().fct_afcr)
    fcr.fcr_bActive = false;
}

void CRCT_AddFile_t(const CString &strName, unsigned long ulCRC)
{
  if (!CRCT_bGatherCRCs) return;
  CSyncLock sl(&_crct_smLock);
  Record(Table(), strName, ulCRC);
}

void CRCT_MakeFileList_t(CStream &strmOut)
{
  // Gathered under the lock, written without it: writing may wait for the file system.
  CStaticStackArray<CString> astrActive;
  {
    CSyncLock sl(&_crct_smLock);
    for (const FileCRCRecord &fcr : Table().fct_afcr) {
      if (fcr.fcr_bActive) astrActive.Push(fcr.fcr_strName);
    }
  }
  long ctActive = astrActive.Count();
  strmOut.WriteValue_t(ctActive);
  for (const CString &str : astrActive)
    str.Write_t(strmOut);
}

unsigned long CRCT_MakeCRCForFiles_t(CStream &strmIn)
{
  GatheringOn go;
  long ctNames;
  strmIn.ReadValue_t(ctNames);
  // Each name takes at least its 4-byte length.
  if (ctNames < 0 || ctNames > (strmIn.GetSize() - strmIn.GetPosition()) / 4) {
    ThrowF_t("Invalid file list.");
  }
  unsigned long ulCRC = 0xFFFFFFFFUL;
  for (long i = 0; i < ctNames; i++) {
    CString strName;
    strName.Read_t(strmIn);
    unsigned long ulFileCRC;
    {
      CSyncLock sl(&_crct_smLock);
      FileCRCTable &fct = Table();
      long iRecord = Find(fct, strName, strGetHash(strName));
      if (iRecord < 0) iRecord = Record(fct, strName, 0);
      ulFileCRC = fct.fct_afcr[iRecord].fcr_ulCRC;
    }
    for (int iShift = 24; iShift >= 0; iShift -= 8) {
      ulCRC = crcUpdateByte(ulCRC, (unsigned char)(ulFileCRC >> iShift));
    }
  }
  return ulCRC ^ 0xFFFFFFFFUL;
}

void CRCT_AddExcludedPattern(const char *strPattern)
{
  if (strPattern == nullptr || strPattern[0] == 0) return;
  CSyncLock sl(&_crct_smLock);
  Table().fct_astrExcluded.Push(CString(strPattern));
}

void CRCT_ClearExcludedPatterns(void)
{
  CSyncLock sl(&_crct_smLock);
  Table().fct_astrExcluded.Clear();
}

long CRCT_GetFileCount(void)
{
  CSyncLock sl(&_crct_smLock);
  return Table().fct_afcr.Count();
}

bool CRCT_GetFile(long iFile, CString &strName, unsigned long &ulCRC, bool &bActive)
{
  CSyncLock sl(&_crct_smLock);
  FileCRCTable &fct = Table();
  if (iFile < 0 || iFile >= fct.fct_afcr.Count()) return false;
  strName = fct.fct_afcr[iFile].fcr_strName;
  ulCRC = fct.fct_afcr[iFile].fcr_ulCRC;
  bActive = fct.fct_afcr[iFile].fcr_bActive;
  return true;
}

} // namespace QuennelEngine
