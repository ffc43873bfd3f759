// Disk streams and the read cache they share.
//
// The cache holds 10 blocks of 32 KiB for all disk streams of the process, kept in a recency list
// (least recently used first). A small read takes the block of its position (reading it when it
// is not cached) and requests the block after it without waiting, so that the disk works ahead
// while the caller processes. A request of half a block or more takes what is cached at its
// position and reads the rest straight into the caller's buffer in one transfer, whatever the
// alignment of its start.
//
// The file-system lock covers the cache's bookkeeping only, never a disk transfer, so that one
// thread's read does not wait for another thread's disk. A reader pins the blocks it works with
// under the lock (claiming a free one gives it to the reader's stream, pinned); while pinned, a
// block is neither reused nor emptied, and its reader fills it, waits for it and copies from it
// with the lock released. A block whose overlapped read is still running is not reused either;
// one whose read has finished is collected (without waiting) when it is taken for another use.
// When every block is busy, a read goes past the cache instead of waiting for one.
//
// Blocks are found by their stream and offset, and a stream is read by one thread at a time, so a
// pinned block has one reader.
#include "core/platform/FileStreamWin32.h"

#include "core/frame/CodeGuard.h"
#include "core/frame/Console.h"
#include "core/frame/ErrorHooks.h"
#include "core/frame/Exception.h"
#include "core/memory/List.h"
#include "core/memory/Memory.h"
#include "core/platform/SysConsole.h"
#include "core/platform/SysDiskStreamPrivate.h"
#include "core/streams/FileSystem.h"
#include "core/streams/Stream.h"
#include "core/text/Compare.h"
#include "core/text/Conversion.h"
#include "core/text/Translation.h"
#include "core/threads/SyncLock.h"

#include <windows.h>

#include <limits.h>

namespace QuennelEngine {

void (*fil_pfnBeforeDiskRead)(void) = nullptr;

static const long _slBlockSize = 32768;
static const int _ctBlocks = 10;
static const long _slEmptyOffset = -100 * _slBlockSize;
// Requests of at least this many bytes past the cached part are read straight into the caller's
// buffer: one transfer of the caller's size costs less than block reads and copies.
static const long _slDirectSize = _slBlockSize / 2;
// One stream's read-ahead takes at most half the cache, so it cannot push out every block of the
// other streams.
static const int _ctMostAhead = _ctBlocks / 2;

static inline void BeforeDiskRead(void)
{
  if (fil_pfnBeforeDiskRead != nullptr) fil_pfnBeforeDiskRead();
}

struct CacheBlock {
  CFileStreamWin32 *cb_pfsOwner;
  HANDLE cb_hFile;  // the handle the pending read was issued on
  long cb_slOffset; // file offset of the block, or the empty mark
  unsigned char *cb_pubData;
  OVERLAPPED cb_ov;
  bool cb_bPending; // an overlapped read was issued and not yet collected
  long cb_ctValid;  // bytes the read delivered
  long cb_ctPins;   // readers working with the block outside the lock
  CListNode cb_lnRecency;
};

// Functions marked "locked" run under the file-system lock; the others run without it, on a block
// that the caller has pinned.
struct ReadCache {
  CacheBlock rc_acb[_ctBlocks];
  CListHead rc_lhRecency;
  bool rc_bReady = false;

  // Locked.
  void Prepare(void)
  {
    if (rc_bReady) return;
    for (int i = 0; i < _ctBlocks; i++) {
      CacheBlock &cb = rc_acb[i];
      cb.cb_pfsOwner = nullptr;
      cb.cb_hFile = INVALID_HANDLE_VALUE;
      cb.cb_slOffset = _slEmptyOffset;
      cb.cb_pubData = (unsigned char *)memMAlloc(_slBlockSize);
      memset(&cb.cb_ov, 0, sizeof(cb.cb_ov));
      cb.cb_ov.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
      cb.cb_bPending = false;
      cb.cb_ctValid = 0;
      cb.cb_ctPins = 0;
      rc_lhRecency.AddTail(cb.cb_lnRecency);
    }
    rc_bReady = true;
  }

  long IndexOf(CListNode *pln)
  {
    for (int i = 0; i < _ctBlocks; i++) {
      if (&rc_acb[i].cb_lnRecency == pln) return i;
    }
    return -1;
  }

  // Locked.
  void MarkUsed(long iBlock)
  {
    CacheBlock &cb = rc_acb[iBlock];
    cb.cb_lnRecency.Remove();
    rc_lhRecency.AddTail(cb.cb_lnRecency);
  }

  // Locked; only for a block that no other reader has pinned.
  void Empty(long iBlock)
  {
    CacheBlock &cb = rc_acb[iBlock];
    cb.cb_pfsOwner = nullptr;
    cb.cb_hFile = INVALID_HANDLE_VALUE;
    cb.cb_slOffset = _slEmptyOffset;
    cb.cb_bPending = false;
    cb.cb_ctValid = 0;
    cb.cb_ctPins = 0;
  }

  // Locked: the stream's block at the offset (now the most recently used), or -1. The stream's
  // hint is set to it unless `bRemember` is cleared (for a look ahead of the position).
  long Find(CFileStreamWin32 *pfs, long slOffset, bool bRemember = true)
  {
    long iHint = pfs->fs_iLastBlock;
    if (iHint >= 0 && iHint < _ctBlocks && rc_acb[iHint].cb_pfsOwner == pfs &&
        rc_acb[iHint].cb_slOffset == slOffset) {
      MarkUsed(iHint);
      return iHint;
    }
    for (long i = 0; i < _ctBlocks; i++) {
      if (rc_acb[i].cb_pfsOwner == pfs && rc_acb[i].cb_slOffset == slOffset) {
        MarkUsed(i);
        if (bRemember) pfs->fs_iLastBlock = i;
        return i;
      }
    }
    return -1;
  }

  // Locked: the least recently used block that nobody works with, given to the stream for the
  // offset and pinned, its read still to be issued; -1 when every block is pinned or still
  // being read into.
  long Claim(CFileStreamWin32 *pfs, long slOffset, bool bRemember = true)
  {
    for (CListNode *pln = rc_lhRecency.GetFirst(); pln->Succ() != nullptr; pln = pln->Succ()) {
      long iBlock = IndexOf(pln);
      CacheBlock &cb = rc_acb[iBlock];
      if (cb.cb_ctPins > 0) continue;
      if (cb.cb_bPending) {
        // The system still writes into this one; waiting here would hold everybody up.
        if (!HasOverlappedIoCompleted(&cb.cb_ov)) continue;
        DWORD dwRead = 0;
        GetOverlappedResult(cb.cb_hFile, &cb.cb_ov, &dwRead, FALSE); // nobody needs its outcome
      }
      Empty(iBlock);
      cb.cb_pfsOwner = pfs;
      cb.cb_hFile = (HANDLE)pfs->fs_hFile;
      cb.cb_slOffset = slOffset;
      cb.cb_ctPins = 1;
      MarkUsed(iBlock);
      if (bRemember) pfs->fs_iLastBlock = iBlock;
      strm_ctDiskBytes += _slBlockSize;
      return iBlock;
    }
    return -1;
  }

  // Starts the read of a claimed block (overlapped streams) or does it (synchronous ones); false
  // when the system refuses it.
  bool Issue(long iBlock)
  {
    CacheBlock &cb = rc_acb[iBlock];
    CFileStreamWin32 *pfs = cb.cb_pfsOwner;
    BeforeDiskRead();
    DWORD dwRead = 0;
    if (!pfs->fs_bAsync) {
      bool bOK = pfs->ReadAt(cb.cb_pubData, cb.cb_slOffset, _slBlockSize, dwRead);
      cb.cb_ctValid = (long)dwRead;
      cb.cb_bPending = false;
      return bOK;
    }
    ResetEvent(cb.cb_ov.hEvent);
    cb.cb_ov.Offset = (DWORD)cb.cb_slOffset;
    cb.cb_ov.OffsetHigh = 0;
    cb.cb_ov.Internal = 0;
    cb.cb_ov.InternalHigh = 0;
    if (ReadFile(cb.cb_hFile, cb.cb_pubData, _slBlockSize, &dwRead, &cb.cb_ov)) {
      cb.cb_ctValid = (long)dwRead;
      cb.cb_bPending = false;
      return true;
    }
    cb.cb_bPending = GetLastError() == ERROR_IO_PENDING;
    return cb.cb_bPending;
  }

  // Waits for the block's pending read; false if it failed.
  bool Collect(long iBlock)
  {
    CacheBlock &cb = rc_acb[iBlock];
    if (!cb.cb_bPending) return true;
    for (;;) {
      DWORD dwRead = 0;
      if (GetOverlappedResult(cb.cb_hFile, &cb.cb_ov, &dwRead, TRUE)) {
        cb.cb_ctValid = (long)dwRead;
        break;
      }
      DWORD dwError = GetLastError();
      if (dwError == ERROR_IO_INCOMPLETE || dwError == ERROR_IO_PENDING) continue;
      if (dwError == ERROR_HANDLE_EOF) {
        cb.cb_ctValid = (long)dwRead;
        break;
      }
      cb.cb_bPending = false;
      return false;
    }
    cb.cb_bPending = false;
    return true;
  }

  // Locked: a reader is done with the block; a failed one is emptied.
  void Unpin(long iBlock, bool bOK)
  {
    CacheBlock &cb = rc_acb[iBlock];
    if (cb.cb_ctPins <= 0) {
      corLogGuardBreach();
      return;
    }
    cb.cb_ctPins--;
    if (!bOK && cb.cb_ctPins == 0) Empty(iBlock);
  }

  // A closing stream gives its blocks back, after their reads have finished. Runs without the
  // lock held by the caller; takes it for the bookkeeping only.
  void Release(CFileStreamWin32 *pfs)
  {
    CSyncLock sl(filGetSyncMutex());
    if (!rc_bReady) return;
    long aiWait[_ctBlocks];
    int ctWait = 0;
    for (long i = 0; i < _ctBlocks; i++) {
      CacheBlock &cb = rc_acb[i];
      if (cb.cb_pfsOwner != pfs || !cb.cb_bPending) continue;
      cb.cb_ctPins++; // nobody reuses it while its read runs out
      aiWait[ctWait++] = i;
    }
    if (ctWait > 0) {
      sl.Unlock();
      for (int i = 0; i < ctWait; i++) Collect(aiWait[i]);
      sl.Lock();
    }
    for (long i = 0; i < _ctBlocks; i++) {
      if (rc_acb[i].cb_pfsOwner == pfs) Empty(i);
    }
  }
};

static ReadCache &Cache(void)
{
  static ReadCache _rc;
  return _rc;
}

CStreamImp *sysOpenDiskStream_t(const CString &strFileName, const char *strMode)
{
  CFileStreamWin32 *pfs = new CFileStreamWin32;
  try {
    pfs->Open_t(strFileName, strMode);
  } catch (CException &) {
    delete pfs;
    throw;
  }
  return pfs;
}

CFileStreamWin32::CFileStreamWin32()
    : fs_pFile(nullptr), fs_hFile(INVALID_HANDLE_VALUE), fs_slPosition(0),
      fs_pubWriteCache(nullptr), fs_ctCached(0), fs_slCacheSize(0), fs_bAsync(false),
      fs_iLastBlock(-1), fs_slFileSize(0), fs_slSystemPosition(0), fs_hDirectEvent(nullptr)
{
}

CFileStreamWin32::~CFileStreamWin32()
{
  try {
    WriteOut_t();
  } catch (CException &ex) {
    conErrorF("%1\n", ARG_TEXT, ex.GetDescription());
  }
  Close();
}

void CFileStreamWin32::Close(void)
{
  memFree(fs_pubWriteCache);
  fs_pubWriteCache = nullptr;
  fs_ctCached = 0;
  if (fs_hFile != INVALID_HANDLE_VALUE) {
    Cache().Release(this);
    CloseHandle((HANDLE)fs_hFile);
    fs_hFile = INVALID_HANDLE_VALUE;
  }
  if (fs_hDirectEvent != nullptr) {
    CloseHandle((HANDLE)fs_hDirectEvent);
    fs_hDirectEvent = nullptr;
  }
  if (fs_pFile != nullptr) {
    fclose(fs_pFile);
    fs_pFile = nullptr;
  }
}

CString CFileStreamWin32::GetDescription(void)
{
  return fs_strFileName.IsEmpty() ? CString("<no file stream>") : fs_strFileName;
}

void CFileStreamWin32::Throw_t(const char *strMessage)
{
  throw CFileException(strMessage, GetDescription());
}

void CFileStreamWin32::Open_t(const CString &strFileName, const char *strMode)
{
  Close();
  fs_strFileName.Clear();
  fs_strMode = strMode;
  if (fil_bReportFileOpen) {
    conInfoF("FIL: Opening file on disk '%1' (%2).\n", ARG_TEXT, strFileName.str_String, ARG_TEXT,
             strMode);
  }
  CString strHard = filSoftToHardPath(strFileName);
  CWString wstrHard = strUTF8ToUTF16(strHard);
  HANDLE h = INVALID_HANDLE_VALUE;
  const bool bRead = fs_strMode == "rb";
  if (bRead) {
    // The running program is read synchronously: it may be mapped in a way that refuses overlap.
    static const bool bWine = sysIsRunningOnWine();
    bool bOverlap = fil_bAsynchronousReads < 0 ? !bWine : fil_bAsynchronousReads != 0;
    fs_bAsync = bOverlap && strCompare(strHard, filSysGetModulePath()) != 0;
    h = CreateFileW((LPCWSTR)wstrHard.wstr_String, GENERIC_READ, FILE_SHARE_READ, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | (fs_bAsync ? FILE_FLAG_OVERLAPPED : 0),
                    nullptr);
  } else if (fs_strMode == "wb" || fs_strMode == "ab") {
    fs_bAsync = false;
    h = CreateFileW((LPCWSTR)wstrHard.wstr_String, GENERIC_WRITE, 0, nullptr,
                    fs_strMode == "wb" ? CREATE_ALWAYS : OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                    nullptr);
  } else {
    ThrowF_t("%1: Invalid open mode %2", ARG_TEXT, strFileName.str_String, ARG_TEXT, strMode);
  }
  if (h == INVALID_HANDLE_VALUE) {
    ThrowF_t("%1: Cannot open file (error code: %2)", ARG_TEXT, strFileName.str_String, ARG_UINT,
             GetLastError());
  }
  LARGE_INTEGER liSize;
  if (!GetFileSizeEx(h, &liSize) || liSize.QuadPart > LONG_MAX) {
    DWORD dwError = GetLastError();
    CloseHandle(h);
    ThrowF_t("%1: Cannot get filesize (error code: %2)", ARG_TEXT, strFileName.str_String, ARG_UINT,
             dwError);
  }
  fs_hFile = h;
  fs_strFileName = strFileName;
  fs_slFileSize = (long)liSize.QuadPart;
  // Appending writes at the end of what is there.
  fs_slPosition = fs_strMode == "ab" ? fs_slFileSize : 0;
  fs_iLastBlock = -1;
  fs_slSystemPosition = 0;
  if (!bRead) {
    long ctKiB =
        fil_iWriteCacheSize < 0 ? 0 : (fil_iWriteCacheSize > 64 ? 64 : fil_iWriteCacheSize);
    fs_slCacheSize = ctKiB * 1024;
    if (fs_slCacheSize > 0) fs_pubWriteCache = (unsigned char *)memMAlloc(fs_slCacheSize);
  }
}

void CFileStreamWin32::ReadFailed_t(void)
{
  CallErrorReadingCallback(GetDescription());
  ThrowF_t("Error reading from file.");
}

void CFileStreamWin32::Read_t(void *pvBuffer, long slSize)
{
  WriteOut_t();
  if (slSize < 0) Throw_t("Invalid size!");
  if (slSize > fs_slFileSize - fs_slPosition) Throw_t("Reading past the end of file.");
  unsigned char *pub = (unsigned char *)pvBuffer;
  ReadCache &rc = Cache();
  while (slSize > 0) {
    if (slSize >= _slDirectSize) {
      // What the cache holds at the position is copied; the rest goes straight to the caller.
      bool bCached;
      {
        CSyncLock sl(filGetSyncMutex());
        rc.Prepare();
        bCached = rc.Find(this, fs_slPosition & ~(_slBlockSize - 1)) >= 0;
        if (!bCached) strm_ctDiskBytes += slSize;
      }
      if (!bCached) {
        ReadDirect_t(pub, slSize);
        fs_slPosition += slSize;
        return;
      }
    }
    // A large read takes the cached block only: reading ahead for it would send the rest of
    // the request block by block through the cache instead of straight to the caller.
    long slCopied = ReadThroughCache_t(pub, slSize, slSize < _slDirectSize);
    pub += slCopied;
    slSize -= slCopied;
    fs_slPosition += slCopied;
  }
}

long CFileStreamWin32::ReadThroughCache_t(unsigned char *pubBuffer, long slSize, bool bReadAhead)
{
  ReadCache &rc = Cache();
  const long slBlockStart = fs_slPosition & ~(_slBlockSize - 1);
  const long slInBlock = fs_slPosition - slBlockStart;
  const long slCopy = _slBlockSize - slInBlock < slSize ? _slBlockSize - slInBlock : slSize;
  const long slNext = slBlockStart + _slBlockSize;

  CSyncLock sl(filGetSyncMutex());
  rc.Prepare();
  bool bFill = false;
  long iBlock = rc.Find(this, slBlockStart);
  if (iBlock >= 0) {
    rc.rc_acb[iBlock].cb_ctPins++;
  } else {
    iBlock = rc.Claim(this, slBlockStart);
    if (iBlock < 0) {
      // Every block is busy with other readers: this piece goes past the cache rather than wait.
      strm_ctDiskBytes += slCopy;
      sl.Unlock();
      ReadDirect_t(pubBuffer, slCopy);
      return slCopy;
    }
    bFill = true;
  }
  // Keep the disk busy with the next block while this one is used.
  long iAhead = -1;
  if (bReadAhead && slNext < fs_slFileSize && rc.Find(this, slNext, false) < 0) {
    iAhead = rc.Claim(this, slNext, false);
  }
  sl.Unlock();

  CacheBlock &cb = rc.rc_acb[iBlock];
  bool bOK = !bFill || rc.Issue(iBlock);
  bool bAheadOK = true;
  if (iAhead >= 0 && fs_bAsync) bAheadOK = rc.Issue(iAhead);
  bOK = bOK && rc.Collect(iBlock);
  // The disk must have delivered the whole block as far as the file goes.
  long slExpected =
      fs_slFileSize - slBlockStart < _slBlockSize ? fs_slFileSize - slBlockStart : _slBlockSize;
  bOK = bOK && cb.cb_ctValid >= slExpected;
  if (bOK) memcpy(pubBuffer, cb.cb_pubData + slInBlock, slCopy);
  // A synchronous read ahead comes after the copy, so that this read is not delayed by it.
  if (iAhead >= 0 && !fs_bAsync) bAheadOK = rc.Issue(iAhead);

  sl.Lock();
  rc.Unpin(iBlock, bOK);
  // A failed read-ahead is only forgotten: the read that needs the block reports the failure.
  if (iAhead >= 0) rc.Unpin(iAhead, bAheadOK);
  sl.Unlock();
  if (!bOK) ReadFailed_t();
  return slCopy;
}

void CFileStreamWin32::ReadDirect_t(void *pvBuffer, long slSize)
{
  BeforeDiskRead();
  DWORD dwRead = 0;
  BOOL bOK;
  if (!fs_bAsync) {
    unsigned long ulRead = 0;
    bOK = ReadAt(pvBuffer, fs_slPosition, slSize, ulRead);
    dwRead = ulRead;
  } else {
    if (fs_hDirectEvent == nullptr) fs_hDirectEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    OVERLAPPED ov = {};
    ov.Offset = (DWORD)fs_slPosition;
    ov.hEvent = (HANDLE)fs_hDirectEvent;
    bOK = ReadFile((HANDLE)fs_hFile, pvBuffer, slSize, &dwRead, &ov);
    if (!bOK && GetLastError() == ERROR_IO_PENDING) {
      bOK = GetOverlappedResult((HANDLE)fs_hFile, &ov, &dwRead, TRUE);
    }
  }
  if (!bOK || (long)dwRead != slSize) ReadFailed_t();
}

void CFileStreamWin32::Peek_t(void *pvBuffer, long slSize)
{
  long slPosition = GetPosition();
  Read_t(pvBuffer, slSize);
  fs_slPosition = slPosition;
}

void CFileStreamWin32::ReadAhead_t(long slSize)
{
  WriteOut_t();
  long slLeft = fs_slFileSize - fs_slPosition;
  if (slSize > slLeft) slSize = slLeft;
  ReadCache &rc = Cache();
  int ctAhead = 0;
  for (long slOffset = fs_slPosition & ~(_slBlockSize - 1);
       slOffset < fs_slPosition + slSize && ctAhead < _ctMostAhead; slOffset += _slBlockSize) {
    CSyncLock sl(filGetSyncMutex());
    rc.Prepare();
    if (rc.Find(this, slOffset) >= 0) continue;
    long iBlock = rc.Claim(this, slOffset);
    if (iBlock < 0) break;
    ctAhead++;
    sl.Unlock();
    bool bOK = rc.Issue(iBlock);
    sl.Lock();
    rc.Unpin(iBlock, bOK);
    if (!bOK) {
      sl.Unlock();
      ReadFailed_t();
    }
  }
}

bool CFileStreamWin32::MoveSystemPosition(long slOffset)
{
  // The handle's own position is tracked, so sequential transfers need no seek call.
  if (fs_slSystemPosition == slOffset) return true;
  LONG lHigh = 0;
  if (SetFilePointer((HANDLE)fs_hFile, slOffset, &lHigh, FILE_BEGIN) == INVALID_SET_FILE_POINTER &&
      GetLastError() != NO_ERROR) {
    fs_slSystemPosition = -1;
    return false;
  }
  fs_slSystemPosition = slOffset;
  return true;
}

bool CFileStreamWin32::ReadAt(void *pvBuffer, long slOffset, long slSize, unsigned long &ulRead)
{
  if (!MoveSystemPosition(slOffset)) return false;
  DWORD dwRead = 0;
  BOOL bOK = ReadFile((HANDLE)fs_hFile, pvBuffer, slSize, &dwRead, nullptr);
  ulRead = dwRead;
  fs_slSystemPosition = bOK ? slOffset + (long)dwRead : -1;
  return bOK != 0;
}

void CFileStreamWin32::WriteDirect_t(const void *pvBuffer, long slSize)
{
  if (slSize <= 0) return;
  DWORD dwWritten = 0;
  if (fs_pFile != nullptr) {
    dwWritten = (DWORD)fwrite(pvBuffer, 1, slSize, fs_pFile);
  } else {
    if (!MoveSystemPosition(fs_slPosition)) {
      Throw_t("Error while writing to file. Could not offset the file pointer.");
    }
    if (!WriteFile((HANDLE)fs_hFile, pvBuffer, slSize, &dwWritten, nullptr)) dwWritten = 0;
    fs_slSystemPosition = fs_slPosition + (long)dwWritten;
  }
  fs_slPosition += (long)dwWritten;
  if (fs_slPosition > fs_slFileSize) fs_slFileSize = fs_slPosition;
  if ((long)dwWritten < slSize) Throw_t("Error while writing to file.");
}

void CFileStreamWin32::WriteOut_t(void)
{
  if (fs_ctCached == 0) return;
  long ct = fs_ctCached;
  // The cache is emptied first: bytes the disk refused are lost either way, and reporting them
  // once is enough.
  fs_ctCached = 0;
  WriteDirect_t(fs_pubWriteCache, ct);
}

void CFileStreamWin32::Write_t(const void *pvBuffer, long slSize)
{
  if (slSize < 0) Throw_t("Invalid size!");
  if (slSize == 0) return;
  if (fs_hFile == INVALID_HANDLE_VALUE && fs_pFile == nullptr)
    Throw_t("Error while writing to file.");
  if (fs_slCacheSize == 0 || slSize >= fs_slCacheSize) {
    WriteOut_t();
    WriteDirect_t(pvBuffer, slSize);
    return;
  }
  if (fs_ctCached + slSize >= fs_slCacheSize) WriteOut_t();
  memcpy(fs_pubWriteCache + fs_ctCached, pvBuffer, slSize);
  fs_ctCached += slSize;
}

void CFileStreamWin32::Write_t(CStream &strmSource)
{
  WriteOut_t();
  CDataBlock db;
  strmSource.ReadWhole_t(db);
  WriteDirect_t(db.GetData(), db.GetSize());
}

void CFileStreamWin32::SetPosition_t(__int64 llPosition)
{
  WriteOut_t();
  if (llPosition < 0) Throw_t("Trying to seek before stream SOF!");
  if (llPosition > LONG_MAX) Throw_t("Trying to seek beyond stream EOF!");
  fs_slPosition = (long)llPosition;
}

void CFileStreamWin32::SeekBeg_t(long slOffset)
{
  SetPosition_t(slOffset);
}

void CFileStreamWin32::SeekEnd_t(long slOffset)
{
  WriteOut_t();
  SetPosition_t((__int64)fs_slFileSize - slOffset);
}

void CFileStreamWin32::SeekCur_t(long slOffset)
{
  WriteOut_t();
  SetPosition_t((__int64)fs_slPosition + slOffset);
}

void CFileStreamWin32::SetSize_t(long slSize)
{
  if (slSize < 0) {
    Throw_t(strPrintF("Trying to set the file %1 to size: %2.", ARG_TEXT,
                      GetDescription().str_String, ARG_INT, slSize));
  }
  WriteOut_t();
  if (!MoveSystemPosition(slSize) || !SetEndOfFile((HANDLE)fs_hFile)) {
    Throw_t("Could not resize stream!");
  }
  fs_slFileSize = slSize;
  if (fs_slPosition > slSize) fs_slPosition = slSize;
}

void CFileStreamWin32::Finish_t(void)
{
  WriteOut_t();
}

long CFileStreamWin32::GetSize(void)
{
  // Cached bytes count as written; nothing is written out for a question.
  long slEnd = fs_slPosition + fs_ctCached;
  return slEnd > fs_slFileSize ? slEnd : fs_slFileSize;
}

long CFileStreamWin32::GetPosition(void)
{
  return fs_slPosition + fs_ctCached;
}

int CFileStreamWin32::IsAtEOF_t(void)
{
  return GetPosition() >= GetSize();
}

} // namespace QuennelEngine
