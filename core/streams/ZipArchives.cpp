// The group archives: mounting ZIP files and the one index of all their entries.
//
// Mounting reads an archive's tail in one read and looks backwards for the end-of-directory
// record, which gives the central directory's size and offset. Those are checked against the
// file before the directory is read (in one read, or taken from the tail when it lies there);
// every header of the directory is then checked against the bytes that are left before its
// fields are used. Nothing read from a file sizes an allocation without such a check. An archive
// that fails contributes nothing: its entries are gathered apart and join the table only when
// the whole directory was sound.
//
// The entry table holds every archive's entries sorted by name (strCompare, so lookups ignore
// case). A name held by several archives is kept once: the entry of the archive whose name sorts
// last wins. The directory table lists every directory the entries imply, with a trailing '/'.
// Entries record where their local header is; the offset of the data behind it is settled when
// the entry is first opened and cached in the table.
//
// Sizes are checked against each other too, so that a damaged size field is refused when the
// archive is mounted instead of sizing what readers allocate or opening as an empty file: a
// stored entry's packed size is its size; deflate expands a byte to at most 1032 (a 258-byte
// match per two bits), so a deflated entry cannot be larger than that of its packed size, plus a
// little for the smallest streams; an empty entry has the CRC-32 of nothing, 0; and an empty
// deflated entry needs only a few bytes (2 from zlib, 5 as one empty stored block, a few more
// after flushes), so more than 32 is taken for damage. The limits are generous on purpose: they
// must never refuse an archive a real tool wrote.
//
// Archive records live on the heap and are never moved, so entries and open streams point at
// them. The tables change only under the file-system lock, which every reader takes too. An
// archive's file is read under its own lock (see ZipArchivesPrivate.h for the order of the two).
#include "core/streams/ZipArchives.h"

#include "core/frame/CodeGuard.h"
#include "core/frame/Console.h"
#include "core/frame/Exception.h"
#include "core/memory/Memory.h"
#include "core/platform/Calendar.h"
#include "core/streams/FileSystem.h"
#include "core/streams/Stream.h"
#include "core/streams/ZipArchivesPrivate.h"
#include "core/text/Compare.h"
#include "core/text/FileNames.h"
#include "core/text/Matching.h"
#include "core/text/Search.h"
#include "core/text/Translation.h"
#include "core/threads/SyncLock.h"

#include <algorithm>
#include <string.h>
#include <utility>

namespace QuennelEngine {

namespace {

const unsigned long _ulEndOfDirSignature = 0x06054B50;
const unsigned long _ulDirHeaderSignature = 0x02014B50;
const unsigned long _ulLocalHeaderSignature = 0x04034B50;
const long _slEndOfDirSize = 22;
const long _slDirHeaderSize = 46;
const long _slLocalHeaderSize = 30;
// How far before the end the record is looked for: a comment of up to 64 KiB, and as much
// again of data appended after the archive.
const long _slEndSearch = 0x20014;
const long _slMaxNameLength = 512;
// What a deflated entry's sizes may be: see the opening note.
const unsigned long _ulMaxDeflateRatio = 1032;
const unsigned long _ulDeflateSlack = 1024;
const unsigned long _ulMaxEmptyDeflate = 32;

struct ZipTables {
  CStaticStackArray<ZipArchive *> zt_apza;
  CStaticStackArray<ZipEntry> zt_aze;
  CStaticStackArray<CString> zt_astrDirs;
  // Directories that archives list as entries of their own (they may be empty).
  CStaticStackArray<CString> zt_astrListedDirs;
};

// Created on first use and never destroyed: archive streams must not be closed after the disk
// streams' shared cache has gone at unload.
ZipTables &Tables(void)
{
  static ZipTables *_pzt = new ZipTables;
  return *_pzt;
}

unsigned long Get16(const unsigned char *pub)
{
  return (unsigned long)pub[0] | (unsigned long)pub[1] << 8;
}

unsigned long Get32(const unsigned char *pub)
{
  return Get16(pub) | Get16(pub + 2) << 16;
}

// A heap block freed when it goes out of scope.
struct HeapBlock {
  unsigned char *hb_pub = nullptr;
  HeapBlock() {}
  ~HeapBlock() { memFree(hb_pub); }
  HeapBlock(const HeapBlock &) = delete;
  HeapBlock &operator=(const HeapBlock &) = delete;
  unsigned char *Allocate(long slSize)
  {
    memFree(hb_pub);
    hb_pub = (unsigned char *)memMAlloc(slSize > 0 ? slSize : 1);
    return hb_pub;
  }
};

// Raw reads of the archive file: only bytes delivered by entry streams count as effective.
void ReadAt_t(CStream &strm, long slOffset, void *pv, long slSize)
{
  CStreamImp *pImp = strm.GetImplementation();
  pImp->SeekBeg_t(slOffset);
  if (slSize > 0) pImp->Read_t(pv, slSize);
}

bool IsDirectoryName(const CString &str)
{
  return !str.IsEmpty() && str[str.Length() - 1] == '/';
}

// The end-of-directory record's fields.
struct EndOfDirectory {
  long eod_slPosition; // of the record in the file
  unsigned long eod_ulDisk;
  unsigned long eod_ulDirDisk;
  unsigned long eod_ctDiskEntries;
  unsigned long eod_ctEntries;
  unsigned long eod_slDirSize;
  unsigned long eod_slDirOffset;

  void Parse(const unsigned char *pub, long slPosition)
  {
    eod_slPosition = slPosition;
    eod_ulDisk = Get16(pub + 4);
    eod_ulDirDisk = Get16(pub + 6);
    eod_ctDiskEntries = Get16(pub + 8);
    eod_ctEntries = Get16(pub + 10);
    eod_slDirSize = Get32(pub + 12);
    eod_slDirOffset = Get32(pub + 16);
  }
  // The base of the ZIP data in the file: negative when the directory cannot lie where it says.
  __int64 Base(void) const { return (__int64)eod_slPosition - eod_slDirOffset - eod_slDirSize; }
  bool IsPlausible(void) const
  {
    return eod_ulDisk == 0 && eod_ulDirDisk == 0 && eod_ctDiskEntries == eod_ctEntries &&
           eod_ctEntries > 0 && Base() >= 0 &&
           (__int64)eod_slDirSize >= (__int64)eod_ctEntries * _slDirHeaderSize;
  }
};

// Reads the archive's tail into `hbTail` and finds the end-of-directory record in it. A
// signature may also occur inside a comment or data appended after the archive, so the one
// nearest the end whose fields make sense is taken, else the one nearest the end (whose fields
// are then reported). False when there is none.
bool FindEndOfDirectory_t(CStream &strm, long slFileSize, HeapBlock &hbTail, long &slTailStart,
                          EndOfDirectory &eod)
{
  slTailStart = slFileSize > _slEndSearch ? slFileSize - _slEndSearch : 0;
  long slTail = slFileSize - slTailStart;
  if (slTail < _slEndOfDirSize) return false;
  const unsigned char *pub = hbTail.Allocate(slTail);
  ReadAt_t(strm, slTailStart, hbTail.hb_pub, slTail);
  bool bFound = false;
  for (long i = slTail - _slEndOfDirSize; i >= 0; i--) {
    if (pub[i] != 0x50 || Get32(pub + i) != _ulEndOfDirSignature) continue;
    EndOfDirectory eodCandidate;
    eodCandidate.Parse(pub + i, slTailStart + i);
    if (!bFound) eod = eodCandidate;
    bFound = true;
    if (eodCandidate.IsPlausible()) {
      eod = eodCandidate;
      return true;
    }
  }
  return bFound;
}

// True when an entry's sizes and CRC-32 can belong together (see the opening note).
bool SizesAgree(unsigned long ulMethod, unsigned long ulPacked, unsigned long ulSize,
                unsigned long ulCRC)
{
  if (ulSize == 0 && ulCRC != 0) return false;
  if (ulMethod == 0) return ulPacked == ulSize;
  if (ulSize == 0) return ulPacked <= _ulMaxEmptyDeflate;
  return (unsigned __int64)ulSize <=
         (unsigned __int64)ulPacked * _ulMaxDeflateRatio + _ulDeflateSlack;
}

// A DOS date and time as a calendar time; 0 when the fields are not a valid date.
Time DOSTime(unsigned short uwDate, unsigned short uwTime)
{
  static const int aiDays[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  long iYear = 1980 + (uwDate >> 9);
  long iMonth = (uwDate >> 5) & 15;
  long iDay = uwDate & 31;
  bool bLeap = (iYear % 4 == 0 && iYear % 100 != 0) || iYear % 400 == 0;
  // Checked here so that a damaged archive does not count as a broken contract.
  if (iMonth < 1 || iMonth > 12 || iDay < 1 || iDay > aiDays[iMonth - 1] ||
      (iMonth == 2 && iDay == 29 && !bLeap) || iYear > 2037 || (uwTime >> 11) > 23 ||
      ((uwTime >> 5) & 63) > 59 || (uwTime & 31) > 29) {
    return Time();
  }
  return timDOSToUTC((unsigned long)uwDate << 16 | uwTime);
}

// Reads the archive's central directory into `azeNew` (and directory entries into
// `astrListedDirs`). False when the file holds no archive and may be left out silently.
bool IndexArchive_t(ZipArchive &za, CStaticStackArray<ZipEntry> &azeNew,
                    CStaticStackArray<CString> &astrListedDirs)
{
  const char *strArchive = za.za_strName;
  za.za_pstrm = new CStream;
  if (!za.za_pstrm->CreateFileStream(za.za_strName, "r")) {
    ThrowFormat_t("%1: Cannot open archive", strArchive);
  }
  CStream &strm = *za.za_pstrm;
  long slFileSize = strm.GetSize();

  HeapBlock hbTail;
  long slTailStart = 0;
  EndOfDirectory eod;
  if (!FindEndOfDirectory_t(strm, slFileSize, hbTail, slTailStart, eod)) {
    if (strHasTail(za.za_strName, ".gro")) {
      ThrowFormat_t("%1: Cannot find 'end of central directory'", strArchive);
    }
    return false;
  }
  if (eod.eod_ulDisk != 0 || eod.eod_ulDirDisk != 0 || eod.eod_ctDiskEntries != eod.eod_ctEntries) {
    ThrowFormat_t(
        strTranslate(
            "DOZUZipStream.MultiVolumesNotSupported=%1: Multi-volume zips are not supported"),
        strArchive);
  }
  if (eod.eod_ctEntries == 0) ThrowFormat_t("%1: Empty zip", strArchive);
  // The directory must lie inside the file, before the record, and hold the headers it counts.
  if (eod.Base() < 0 ||
      (__int64)eod.eod_slDirSize < (__int64)eod.eod_ctEntries * _slDirHeaderSize) {
    ThrowFormat_t("%1: Damaged 'end of central directory'", strArchive);
  }
  za.za_slBase = (long)eod.Base();
  za.za_slDirOffset = (long)eod.eod_slDirOffset;

  const long slDirSize = (long)eod.eod_slDirSize;
  const long slDirStart = eod.eod_slPosition - slDirSize;
  // A directory inside the tail that was read is not read again.
  HeapBlock hbDir;
  const unsigned char *pubDir;
  if (slDirStart >= slTailStart) {
    pubDir = hbTail.hb_pub + (slDirStart - slTailStart);
  } else {
    pubDir = hbDir.Allocate(slDirSize);
    ReadAt_t(strm, slDirStart, hbDir.hb_pub, slDirSize);
  }

  const long ctEntries = (long)eod.eod_ctEntries;
  azeNew.Reserve(ctEntries);
  long slAt = 0;
  for (long iEntry = 0; iEntry < ctEntries; iEntry++) {
    const unsigned char *pub = pubDir + slAt;
    if (slDirSize - slAt < _slDirHeaderSize)
      ThrowFormat_t("%1: Damaged central directory", strArchive);
    if (Get32(pub) != _ulDirHeaderSignature) {
      ThrowFormat_t("%1: Wrong signature for 'file header' number %2", strArchive, iEntry);
    }
    unsigned long ulFlags = Get16(pub + 8);
    unsigned long ulMethod = Get16(pub + 10);
    long slNameLength = (long)Get16(pub + 28);
    long slHeader = _slDirHeaderSize + slNameLength + (long)Get16(pub + 30) + (long)Get16(pub + 32);
    if (slDirSize - slAt < slHeader) ThrowFormat_t("%1: Damaged central directory", strArchive);
    if (slNameLength > _slMaxNameLength) ThrowFormat_t("%1: Too long filepath in zip", strArchive);
    if (slNameLength < 1 || memchr(pub + _slDirHeaderSize, 0, slNameLength) != nullptr) {
      ThrowFormat_t("%1: Invalid filepath length in zip", strArchive);
    }
    CString strName((const char *)pub + _slDirHeaderSize, (int)slNameLength);
    unsigned long ulPacked = Get32(pub + 20);
    unsigned long ulSize = Get32(pub + 24);
    unsigned long ulOffset = Get32(pub + 42);
    slAt += slHeader;

    if (IsDirectoryName(strName)) {
      if (ulPacked != 0 || ulSize != 0)
        ThrowFormat_t("%1/%2: Invalid directory", strArchive, strName);
      astrListedDirs.Push(std::move(strName));
      continue;
    }
    if (ulMethod != 0 && ulMethod != 8) {
      ThrowFormat_t(
          strTranslate(
              "DOZUZipStream.DeflateSupported=%1/%2: Only 'deflate' compression is supported"),
          strArchive, strName);
    }
    if (ulFlags & 1)
      ThrowFormat_t("%1/%2: Encrypted entries are not supported", strArchive, strName);
    // The local header and the data lie before the directory; sizes that a 32-bit stream cannot
    // hold (or ZIP64 markers) cannot be read.
    if ((__int64)ulOffset + _slLocalHeaderSize > (__int64)eod.eod_slDirOffset ||
        ulPacked > eod.eod_slDirOffset || ulSize > 0x7FFFFFFFUL ||
        (ulMethod == 0 && ulPacked != ulSize)) {
      ThrowFormat_t("%1/%2: Damaged entry", strArchive, strName);
    }
    unsigned long ulCRC = Get32(pub + 16);
    if (!SizesAgree(ulMethod, ulPacked, ulSize, ulCRC)) {
      ThrowFormat_t(strTranslate("DOZUZipStream.InconsistentSizes=%1/%2: Damaged entry "
                                 "(its sizes do not agree)"),
                    strArchive, strName);
    }
    ZipEntry &ze = azeNew.Push();
    ze.ze_pza = &za;
    ze.ze_strName = std::move(strName);
    ze.ze_slPackedSize = (long)ulPacked;
    ze.ze_slSize = (long)ulSize;
    ze.ze_slOffset = (long)ulOffset;
    ze.ze_ulCRC = ulCRC;
    ze.ze_ulFlags = ZEF_NEEDS_LOCAL_HEADER | (ulMethod == 0 ? ZEF_STORED : 0);
    ze.ze_uwTime = (unsigned short)Get16(pub + 12);
    ze.ze_uwDate = (unsigned short)Get16(pub + 14);
    ze.ze_iSequence = iEntry;
  }
  conLogF("  %1: %2 files\n", ARG_TEXT, strArchive, ARG_INT, azeNew.Count());
  return true;
}

bool EntryOrder(const ZipEntry &zeA, const ZipEntry &zeB)
{
  int iName = strCompare(zeA.ze_strName, zeB.ze_strName);
  if (iName != 0) return iName < 0;
  // Equal names: the archive whose name sorts last first, as it wins.
  int iArchive = strCompare(zeA.ze_pza->za_strName, zeB.ze_pza->za_strName);
  if (iArchive != 0) return iArchive > 0;
  if (zeA.ze_pza->za_iIndex != zeB.ze_pza->za_iIndex) {
    return zeA.ze_pza->za_iIndex > zeB.ze_pza->za_iIndex;
  }
  return zeA.ze_iSequence > zeB.ze_iSequence;
}

bool NameOrder(const CString &strA, const CString &strB)
{
  return strCompare(strA, strB) < 0;
}

// Keeps the first of every run of equal names in a sorted array.
template <class T, class F> void KeepFirstOfEqual(CStaticStackArray<T> &a, F fnName)
{
  long iKept = 0;
  for (long i = 1; i < a.Count(); i++) {
    if (strCompare(fnName(a[i]), fnName(a[iKept])) == 0) continue;
    iKept++;
    if (iKept != i) a[iKept] = std::move(a[i]);
  }
  while (a.Count() > iKept + 1) a.Pop();
}

// Sorts the entries, drops the losers of equal names and lists the directories again.
void RebuildIndex(ZipTables &zt)
{
  std::sort(zt.zt_aze.begin(), zt.zt_aze.end(), EntryOrder);
  KeepFirstOfEqual(zt.zt_aze, [](const ZipEntry &ze) -> const char * { return ze.ze_strName; });

  CStaticStackArray<CString> &astrDirs = zt.zt_astrDirs;
  astrDirs.PopAll();
  // Sorted entries of one directory are neighbours: each directory is listed once per run.
  CString strLastDir;
  for (const ZipEntry &ze : zt.zt_aze) {
    CString strDir = strFileDir(ze.ze_strName);
    if (strDir.IsEmpty() || strCompare(strDir, strLastDir) == 0) continue;
    for (int i = 0; i < strDir.Length(); i++) {
      if (strDir[i] == '/') astrDirs.Push(CString(strDir.str_String, i + 1));
    }
    strLastDir = std::move(strDir);
  }
  for (const CString &strListed : zt.zt_astrListedDirs) {
    for (int i = 0; i < strListed.Length(); i++) {
      if (strListed[i] == '/') astrDirs.Push(CString(strListed.str_String, i + 1));
    }
  }
  std::sort(astrDirs.begin(), astrDirs.end(), NameOrder);
  KeepFirstOfEqual(astrDirs, [](const CString &str) -> const char * { return str; });
}

// The index of the entry of that name, or -1.
long FindEntry(const ZipTables &zt, const char *strName)
{
  long iLow = 0;
  long iHigh = zt.zt_aze.Count() - 1;
  while (iLow <= iHigh) {
    long iMiddle = iLow + (iHigh - iLow) / 2;
    int iOrder = strCompare(zt.zt_aze[iMiddle].ze_strName, strName);
    if (iOrder == 0) return iMiddle;
    if (iOrder < 0) {
      iLow = iMiddle + 1;
    } else {
      iHigh = iMiddle - 1;
    }
  }
  return -1;
}

// The first index whose name does not sort before `strName`.
template <class T, class F>
long LowerBound(const CStaticStackArray<T> &a, const char *strName, F fnName)
{
  long iLow = 0;
  long iHigh = a.Count();
  while (iLow < iHigh) {
    long iMiddle = iLow + (iHigh - iLow) / 2;
    if (strCompare(fnName(a[iMiddle]), strName) < 0) {
      iLow = iMiddle + 1;
    } else {
      iHigh = iMiddle;
    }
  }
  return iLow;
}

// As the file system matches listed names: a pattern with a '/' against the whole path, any
// other against the last part of the name.
bool NameMatches(const CString &strPath, const CString &strPattern)
{
  if (strPattern.IsEmpty()) return true;
  if (strFindChar(strPattern, '/') >= 0) return strMatches(strPath, strPattern);
  CString strName(strPath);
  if (IsDirectoryName(strName)) strName = CString(strPath.str_String, strPath.Length() - 1);
  return strMatches(strNoFileDir(strName), strPattern);
}

CString WithSlash(const char *strDir)
{
  CString str(strDir ? strDir : "");
  if (!str.IsEmpty() && !IsDirectoryName(str)) str = str + "/";
  return str;
}

void DeleteArchive(ZipArchive *pza)
{
  delete pza->za_pstrm;
  delete pza;
}

} // namespace

void filAddArchive(const char *strName)
{
  if (strName == nullptr || strName[0] == 0) {
    corLogGuardBreach();
    return;
  }
  CSyncLock sl(filGetSyncMutex());
  ZipTables &zt = Tables();
  ZipArchive *pza = new ZipArchive;
  pza->za_pstrm = nullptr;
  pza->za_strName = strName;
  pza->za_slBase = 0;
  pza->za_iIndex = zt.zt_apza.Count();
  pza->za_slDirOffset = 0;
  pza->za_ctStreams = 0;
  pza->za_bUnmounted = false;

  CStaticStackArray<ZipEntry> azeNew;
  CStaticStackArray<CString> astrListedDirs;
  bool bIndexed;
  try {
    bIndexed = IndexArchive_t(*pza, azeNew, astrListedDirs);
  } catch (CException &) {
    DeleteArchive(pza);
    throw;
  }
  if (!bIndexed) {
    DeleteArchive(pza);
    return;
  }
  zt.zt_apza.Push(pza);
  zt.zt_aze.Reserve(zt.zt_aze.Count() + azeNew.Count());
  for (ZipEntry &ze : azeNew) zt.zt_aze.Push(std::move(ze));
  for (CString &str : astrListedDirs) zt.zt_astrListedDirs.Push(std::move(str));
  RebuildIndex(zt);
}

void filClearArchives(void)
{
  CSyncLock sl(filGetSyncMutex());
  ZipTables &zt = Tables();
  zt.zt_aze.Clear();
  zt.zt_astrDirs.Clear();
  zt.zt_astrListedDirs.Clear();
  for (ZipArchive *pza : zt.zt_apza) {
    // An archive still read by a stream goes when that stream closes.
    if (pza->za_ctStreams > 0) {
      pza->za_bUnmounted = true;
    } else {
      DeleteArchive(pza);
    }
  }
  zt.zt_apza.Clear();
}

long filGetZipArchiveCount(void)
{
  CSyncLock sl(filGetSyncMutex());
  return Tables().zt_apza.Count();
}

long filGetZipEntryCount(void)
{
  CSyncLock sl(filGetSyncMutex());
  return Tables().zt_aze.Count();
}

CString filGetZipEntryFileName(long iEntry)
{
  CSyncLock sl(filGetSyncMutex());
  ZipTables &zt = Tables();
  if (iEntry < 0 || iEntry >= zt.zt_aze.Count()) {
    corLogGuardBreach();
    return CString();
  }
  return zt.zt_aze[iEntry].ze_strName;
}

long filGetZipEntryFileSize(long iEntry)
{
  CSyncLock sl(filGetSyncMutex());
  ZipTables &zt = Tables();
  if (iEntry < 0 || iEntry >= zt.zt_aze.Count()) {
    corLogGuardBreach();
    return 0;
  }
  return zt.zt_aze[iEntry].ze_slSize;
}

Time filGetZipEntryFileTime(long iEntry)
{
  CSyncLock sl(filGetSyncMutex());
  ZipTables &zt = Tables();
  if (iEntry < 0 || iEntry >= zt.zt_aze.Count()) {
    corLogGuardBreach();
    return Time();
  }
  return DOSTime(zt.zt_aze[iEntry].ze_uwDate, zt.zt_aze[iEntry].ze_uwTime);
}

long filGetZipDirCount(void)
{
  CSyncLock sl(filGetSyncMutex());
  return Tables().zt_astrDirs.Count();
}

CString filGetZipDirName(long iDir)
{
  CSyncLock sl(filGetSyncMutex());
  ZipTables &zt = Tables();
  if (iDir < 0 || iDir >= zt.zt_astrDirs.Count()) {
    corLogGuardBreach();
    return CString();
  }
  return zt.zt_astrDirs[iDir];
}

bool filExistsInZip(const char *strName)
{
  if (strName == nullptr) return false;
  CSyncLock sl(filGetSyncMutex());
  ZipTables &zt = Tables();
  if (strName[0] == 0) return zt.zt_aze.Count() > 0;
  return FindEntry(zt, strName) >= 0;
}

bool filIsZipDirectory(const char *strName)
{
  if (strName == nullptr || strName[0] == 0) return false;
  CString strDir = WithSlash(strName);
  CSyncLock sl(filGetSyncMutex());
  const CStaticStackArray<CString> &astrDirs = Tables().zt_astrDirs;
  long i = LowerBound(astrDirs, strDir, [](const CString &str) -> const char * { return str; });
  return i < astrDirs.Count() && strCompare(astrDirs[i], strDir) == 0;
}

int filGetFileTimeFromZip(const char *strName, Time &tm)
{
  if (strName == nullptr || strName[0] == 0) return 0;
  CSyncLock sl(filGetSyncMutex());
  ZipTables &zt = Tables();
  long i = FindEntry(zt, strName);
  if (i < 0) return 0;
  tm = DOSTime(zt.zt_aze[i].ze_uwDate, zt.zt_aze[i].ze_uwTime);
  return 1;
}

long filGetZipEntrySizeByName(const char *strName)
{
  if (strName == nullptr || strName[0] == 0) return -1;
  CSyncLock sl(filGetSyncMutex());
  ZipTables &zt = Tables();
  long i = FindEntry(zt, strName);
  return i < 0 ? -1 : zt.zt_aze[i].ze_slSize;
}

CStaticStackArray<CString> filGetZipEntryFindFiles(const CString &strDir, const CString &strPattern)
{
  CStaticStackArray<CString> astr;
  CString strPrefix = WithSlash(strDir);
  const int ctPrefix = strPrefix.Length();
  CSyncLock sl(filGetSyncMutex());
  const CStaticStackArray<ZipEntry> &aze = Tables().zt_aze;
  // The names that begin with the directory are neighbours in the sorted table.
  long i =
      LowerBound(aze, strPrefix, [](const ZipEntry &ze) -> const char * { return ze.ze_strName; });
  for (; i < aze.Count() && strHasHead(aze[i].ze_strName, strPrefix); i++) {
    const CString &strName = aze[i].ze_strName;
    if (strchr(strName.str_String + ctPrefix, '/') != nullptr) continue;
    if (NameMatches(strName, strPattern)) astr.Push(strName);
  }
  return astr;
}

CStaticStackArray<CString> filZipEntryFindDirs(const CString &strDir, const CString &strPattern)
{
  CStaticStackArray<CString> astr;
  CString strPrefix = WithSlash(strDir);
  const int ctPrefix = strPrefix.Length();
  CSyncLock sl(filGetSyncMutex());
  const CStaticStackArray<CString> &astrDirs = Tables().zt_astrDirs;
  long i = LowerBound(astrDirs, strPrefix, [](const CString &str) -> const char * { return str; });
  for (; i < astrDirs.Count() && strHasHead(astrDirs[i], strPrefix); i++) {
    const CString &strSub = astrDirs[i];
    // Directly inside: one more part, ending in the only further '/'.
    const char *strRest = strSub.str_String + ctPrefix;
    const char *strSlash = strchr(strRest, '/');
    if (strSlash == nullptr || strSlash == strRest || strSlash[1] != 0) continue;
    if (NameMatches(strSub, strPattern)) astr.Push(strSub);
  }
  return astr;
}

void filReadZipArchive_t(ZipArchive &za, long slOffset, void *pv, long slSize)
{
  CSyncLock sl(&za.za_smFile);
  ReadAt_t(*za.za_pstrm, za.za_slBase + slOffset, pv, slSize);
}

void filOpenZipEntry_t(const CString &strName, ZipEntry &ze)
{
  ZipTables &zt = Tables();
  ZipArchive *pza;
  {
    CSyncLock sl(filGetSyncMutex());
    long i = FindEntry(zt, strName);
    if (i < 0) ThrowFormat_t("File not found: %1", strName);
    ze = zt.zt_aze[i];
    pza = ze.ze_pza;
    // Counted at once: the record must stay alive while its file is read below.
    pza->za_ctStreams++;
  }
  if (!(ze.ze_ulFlags & ZEF_NEEDS_LOCAL_HEADER)) return;
  ZipArchive &za = *pza;
  try {
    unsigned char aubHeader[_slLocalHeaderSize];
    filReadZipArchive_t(za, ze.ze_slOffset, aubHeader, _slLocalHeaderSize);
    if (Get32(aubHeader) != _ulLocalHeaderSignature) {
      ThrowFormat_t("%1/%2: Wrong signature for 'local file header'", za.za_strName, ze.ze_strName);
    }
    __int64 llData = (__int64)ze.ze_slOffset + _slLocalHeaderSize + Get16(aubHeader + 26) +
                     Get16(aubHeader + 28);
    if (llData + ze.ze_slPackedSize > za.za_slDirOffset) {
      ThrowFormat_t("%1/%2: Damaged entry", za.za_strName, ze.ze_strName);
    }
    ze.ze_slOffset = (long)llData;
    ze.ze_ulFlags &= ~ZEF_NEEDS_LOCAL_HEADER;
  } catch (CException &) {
    CSyncLock sl(filGetSyncMutex());
    filReleaseZipArchive(pza);
    throw;
  }
  // Cached for later openings, unless the table changed meanwhile (another thread that opened
  // the entry at the same time stores the same offset).
  CSyncLock sl(filGetSyncMutex());
  long i = FindEntry(zt, ze.ze_strName);
  if (i >= 0 && zt.zt_aze[i].ze_pza == pza && zt.zt_aze[i].ze_iSequence == ze.ze_iSequence) {
    zt.zt_aze[i].ze_slOffset = ze.ze_slOffset;
    zt.zt_aze[i].ze_ulFlags &= ~ZEF_NEEDS_LOCAL_HEADER;
  }
}

void filMarkZipEntryVerified(const ZipEntry &ze)
{
  ZipTables &zt = Tables();
  long i = FindEntry(zt, ze.ze_strName);
  // The table may have changed since the entry was opened: only the same entry is marked.
  if (i >= 0 && zt.zt_aze[i].ze_pza == ze.ze_pza) zt.zt_aze[i].ze_ulFlags |= ZEF_VERIFIED;
}

void filReleaseZipArchive(ZipArchive *pza)
{
  if (pza == nullptr) return;
  pza->za_ctStreams--;
  if (pza->za_bUnmounted && pza->za_ctStreams <= 0) DeleteArchive(pza);
}

} // namespace QuennelEngine
