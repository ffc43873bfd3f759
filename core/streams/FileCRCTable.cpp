// The file CRC table: records in an array that grows in steps, and a name index beside it. The
// index is an open-addressed table of slots (a keyed hash of the name and the index of its
// record), kept at most half full and doubled when it would fill further, so a lookup looks at a
// few slots and growing costs the number of records, whatever names come in. The keyed hash is
// what makes "whatever names" true: the names come from lists made elsewhere, and a hash that a
// list can be prepared to collide in would make every lookup walk all the records. Indices, not
// pointers, so that growing the record array never leaves the index pointing at freed memory.
#include "core/streams/FileCRCTable.h"

#include "core/frame/Exception.h"
#include "core/memory/Memory.h"
#include "core/memory/StaticStackArray.h"
#include "core/streams/CRC.h"
#include "core/streams/Stream.h"
#include "core/text/CharactersPrivate.h"
#include "core/text/Compare.h"
#include "core/text/KeyedHashPrivate.h"
#include "core/text/Matching.h"
#include "core/text/Translation.h"
#include "core/threads/SyncLock.h"

#include <utility>

namespace QuennelEngine {

int CRCT_bGatherCRCs = 0;

namespace {

// The first index has room for 256 names (about the 500 slots the table always started with).
const unsigned long _ctInitialSlots = 512;
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
  unsigned long fct_ctSlots = 0; // a power of two
  long fct_ctProbes = 0;         // slots looked at, for the tests of the index's cost
  CStaticStackArray<CString> fct_astrExcluded;
};

CSyncMutex _crct_smLock;

FileCRCTable &Table(void)
{
  static FileCRCTable *_pfct = new FileCRCTable;
  return *_pfct;
}

// The index's hash: folded as strCompare folds, so names that compare equal hash equal.
unsigned long HashName(const char *strName)
{
  CKeyedHash kh;
  for (const char *pch = strName; *pch != 0; pch++) kh.Add((unsigned char)chLower(*pch));
  return kh.Finish();
}

IndexSlot *AllocateSlots(unsigned long ctSlots)
{
  IndexSlot *pis = (IndexSlot *)memMAlloc(ctSlots * sizeof(IndexSlot));
  for (unsigned long i = 0; i < ctSlots; i++) pis[i].is_iRecord = -1;
  return pis;
}

void AllocateIndex(FileCRCTable &fct, unsigned long ctSlots)
{
  memFree(fct.fct_pis);
  fct.fct_pis = AllocateSlots(ctSlots);
  fct.fct_ctSlots = ctSlots;
}

void EnsureIndex(FileCRCTable &fct)
{
  if (fct.fct_pis == nullptr) AllocateIndex(fct, _ctInitialSlots);
}

// The free slot where a hash goes.
IndexSlot &FreeSlotFor(IndexSlot *pis, unsigned long ctSlots, unsigned long ulHash, long &ctProbes)
{
  unsigned long i = ulHash & (ctSlots - 1);
  for (; pis[i].is_iRecord >= 0; i = (i + 1) & (ctSlots - 1)) ctProbes++;
  ctProbes++;
  return pis[i];
}

// Doubles the index; the stored hashes place every record again without rehashing its name.
void GrowIndex(FileCRCTable &fct)
{
  const unsigned long ctNew = fct.fct_ctSlots * 2;
  IndexSlot *pisNew = AllocateSlots(ctNew);
  for (unsigned long i = 0; i < fct.fct_ctSlots; i++) {
    const IndexSlot &is = fct.fct_pis[i];
    if (is.is_iRecord >= 0) FreeSlotFor(pisNew, ctNew, is.is_ulHash, fct.fct_ctProbes) = is;
  }
  memFree(fct.fct_pis);
  fct.fct_pis = pisNew;
  fct.fct_ctSlots = ctNew;
}

void Enter(FileCRCTable &fct, unsigned long ulHash, long iRecord)
{
  EnsureIndex(fct);
  // At most half full: the records counted include the one being entered.
  while ((unsigned long)fct.fct_afcr.Count() * 2 > fct.fct_ctSlots) GrowIndex(fct);
  IndexSlot &is = FreeSlotFor(fct.fct_pis, fct.fct_ctSlots, ulHash, fct.fct_ctProbes);
  is.is_ulHash = ulHash;
  is.is_iRecord = iRecord;
}

long Find(FileCRCTable &fct, const char *strName, unsigned long ulHash)
{
  if (fct.fct_pis == nullptr) return -1;
  // Slots are never freed one by one, so a free slot ends the search.
  const unsigned long ulMask = fct.fct_ctSlots - 1;
  for (unsigned long i = ulHash & ulMask;; i = (i + 1) & ulMask) {
    fct.fct_ctProbes++;
    const IndexSlot &is = fct.fct_pis[i];
    if (is.is_iRecord < 0) return -1;
    if (is.is_ulHash == ulHash &&
        strCompare(fct.fct_afcr[is.is_iRecord].fcr_strName, strName) == 0) {
      return is.is_iRecord;
    }
  }
}

bool IsExcluded(FileCRCTable &fct, const char *strName)
{
  for (const CString &strPattern : fct.fct_astrExcluded) {
    if (strMatches(strName, strPattern) || strHasHead(strName, strPattern)) return true;
  }
  return false;
}

// The record of the name, added (active, with the CRC) when it is new.
long Record(FileCRCTable &fct, const CString &strName, unsigned long ulHash, unsigned long ulCRC)
{
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
  AllocateIndex(fct, _ctInitialSlots);
}

void CRCT_Clear(void)
{
  CSyncLock sl(&_crct_smLock);
  FileCRCTable &fct = Table();
  fct.fct_afcr.Clear();
  memFree(fct.fct_pis);
  fct.fct_pis = nullptr;
  fct.fct_ctSlots = 0;
}

void CRCT_ResetActiveList(void)
{
  CSyncLock sl(&_crct_smLock);
  for (FileCRCRecord &fcr : Table().fct_afcr) fcr.fcr_bActive = false;
}

void CRCT_AddFile_t(const CString &strName, unsigned long ulCRC)
{
  if (!CRCT_bGatherCRCs) return;
  CSyncLock sl(&_crct_smLock);
  Record(Table(), strName, HashName(strName), ulCRC);
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
  for (const CString &str : astrActive) str.Write_t(strmOut);
}

unsigned long CRCT_MakeCRCForFiles_t(CStream &strmIn)
{
  GatheringOn go;
  long ctNames;
  strmIn.ReadValue_t(ctNames);
  // Each name takes at least its 4-byte length.
  if (ctNames < 0 || ctNames > (strmIn.GetSize() - strmIn.GetPosition()) / 4) {
    ThrowF_t(strTranslate("DOZUFileCRCTable.BadList=Invalid file list."));
  }
  unsigned long ulCRC = 0xFFFFFFFFUL;
  for (long i = 0; i < ctNames; i++) {
    CString strName;
    strName.Read_t(strmIn);
    unsigned long ulFileCRC;
    {
      CSyncLock sl(&_crct_smLock);
      FileCRCTable &fct = Table();
      const unsigned long ulHash = HashName(strName);
      // A known name keeps its active flag; only an unknown one is recorded (active).
      long iRecord = Find(fct, strName, ulHash);
      if (iRecord < 0) iRecord = Record(fct, strName, ulHash, 0);
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

long CRCT_GetProbeCount(void)
{
  CSyncLock sl(&_crct_smLock);
  return Table().fct_ctProbes;
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
