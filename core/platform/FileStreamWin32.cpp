// Disk streams and the read cache they share.
//
// The cache holds 10 blocks of 32 KiB for all disk streams of the process, kept in a recency list
// (least recently used first). A read takes the block of its position (issuing a read when the
// block is not cached) and requests the block after it without waiting, so that the disk works
// ahead while the caller processes. Reads of overlapped streams run in the system; a block is
// only reused after its pending read has been collected, also when its stream closes. Everything
// about the cache happens under the file-system lock.
#include "core/platform/FileStreamWin32.h"

#include "core/frame/CodeGuard.h"
#include "core/frame/Console.h"
#include "core/frame/ErrorHooks.h"
#include "core/frame/Exception.h"
#include "core/memory/List.h"
#include "core/memory/Memory.h"
#include "core/platform/SysConsole.h"
#include "core/streams/FileSystem.h"
#include "core/streams/Stream.h"
#include "core/text/Compare.h"
#include "core/text/Conversion.h"
#include "core/text/Translation.h"
#include "core/threads/SyncLock.h"

#include <windows.h>

#include <limits.h>

namespace QuennelEngine {

static const long _slBlockSize = 32768;
static const int _ctBlocks = 10;
static const long _slEmptyOffset = -100 * _slBlockSize;

struct CacheBlock {
  CFileStreamWin32 *cb_pfsOwner;
  HANDLE cb_hFile;      // the handle the pending read was issued on
  long cb_slOffset;     // file offset of the block, or the empty mark
  unsigned char *cb_pubData;
  OVERLAPPED cb_ov;
  bool cb_bPending;     // a read was issued and not yet collected
  long cb_ctValid;      // bytes the read delivered
  CListNode cb_lnRecency;
};


struct ReadCache {
  CacheBlock rc_acb[_ctBlocks];
  CListHead rc_lhRecency;
  bool rc_bReady = false;

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

  void MarkUsed(long iBlock)
  {
    CacheBlock &cb = rc_acb[iBlock];
    cb.cb_lnRecency.Remove();
    rc_lhRecency.AddTail(cb.cb_lnRecency);
  }

  void Empty(long iBlock)
  {
    CacheBlock &cb = rc_acb[iBlock];
    cb.cb_pfsOwner = nullptr;
    cb.cb_hFile = INVALID_HANDLE_VALUE;
    cb.cb_slOffset = _slEmptyOffset;
    cb.cb_bPending = false;
    cb.cb_ctValid = 0;
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

  [[noreturn]] void ReadFailed_t(long iBlock)
  {
    CString strDescription = "Error reading from file.";
    if (iBlock >= 0 && iBlock < _ctBlocks) {
      if (rc_acb[iBlock].cb_pfsOwner) strDescription = rc_acb[iBlock].cb_pfsOwner->GetDescription();
      Empty(iBlock);
    } else {
      corLogGuardBreach();
    }
    CallErrorReadingCallback(strDescription);
    ThrowF_t("Error reading from file.");
  }

  // The block holding `slOffset` of the stream's file, its read issued (and not necessarily
  // finished); -1 when the offset is not a block of the file, or when `bNoWait` is set and the
  // block to reuse is still busy.
  long TakeBlock_t(CFileStreamWin32 *pfs, long slOffset, bool bNoWait)
  {
    Prepare();
    if (slOffset < 0 || slOffset >= pfs->fs_slFileSize || (slOffset % _slBlockSize) != 0) return -1;
    long iHint = pfs->fs_iLastBlock;
    if (iHint >= 0 && iHint < _ctBlocks && rc_acb[iHint].cb_pfsOwner == pfs &&
        rc_acb[iHint].cb_slOffset == slOffset) {
      MarkUsed(iHint);
      return iHint;
    }
    for (long i = 0; i < _ctBlocks; i++) {
      if (rc_acb[i].cb_pfsOwner == pfs && rc_acb[i].cb_slOffset == slOffset) {
        MarkUsed(i);
        pfs->fs_iLastBlock = i;
        return i;
      }
    }
    long iBlock = IndexOf(rc_lhRecency.GetFirst());
    CacheBlock &cb = rc_acb[iBlock];
    if (cb.cb_bPending) {
      if (bNoWait && !HasOverlappedIoCompleted(&cb.cb_ov)) return -1;
      Collect(iBlock); // its own failure matters to nobody now
    }
    Empty(iBlock);
    cb.cb_pfsOwner = pfs;
    cb.cb_hFile = (HANDLE)pfs->fs_hFile;
    cb.cb_slOffset = slOffset;
    cb.cb_bPending = true;
    MarkUsed(iBlock);
    pfs->fs_iLastBlock = iBlock;
    strm_ctDiskBytes += _slBlockSize;

    DWORD dwRead = 0;
    if (!pfs->fs_bAsync) {
      if (!pfs->ReadAt(cb.cb_pubData, slOffset, _slBlockSize, dwRead)) ReadFailed_t(iBlock);
      cb.cb_ctValid = (long)dwRead;
      cb.cb_bPending = false;
      return iBlock;
    }
    ResetEvent(cb.cb_ov.hEvent);
    cb.cb_ov.Offset = (DWORD)slOffset;
    cb.cb_ov.OffsetHigh = 0;
    cb.cb_ov.Internal = 0;
    cb.cb_ov.InternalHigh = 0;
    if (ReadFile(cb.cb_hFile, cb.cb_pubData, _slBlockSize, &dwRead, &cb.cb_ov)) {
      cb.cb_ctValid = (long)dwRead;
      cb.cb_bPending = false;
    } else if (GetLastError() != ERROR_IO_PENDING) {
      ReadFailed_t(iBlock);
    }
    return iBlock;
  }

  bool IsCached(CFileStreamWin32 *pfs, long slOffset)
  {
    for (long i = 0; i < _ctBlocks; i++) {
      if (rc_acb[i].cb_pfsOwner == pfs && rc_acb[i].cb_slOffset == slOffset) return true;
    }
    return false;
  }

  // Reads whole blocks straight into the caller's buffer, past the cache; false on failure.
  bool ReadDirect(CFileStreamWin32 *pfs, void *pvBuffer, long slOffset, long slSize)
  {
    DWORD dwRead = 0;
    BOOL bOK;
    strm_ctDiskBytes += slSize;
    if (!pfs->fs_bAsync) {
      bOK = pfs->ReadAt(pvBuffer, slOffset, slSize, dwRead);
    } else {
      OVERLAPPED ov = {};
      ov.Offset = (DWORD)slOffset;
      ov.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
      bOK = ReadFile((HANDLE)pfs->fs_hFile, pvBuffer, slSize, &dwRead, &ov);
      if (!bOK && GetLastError() == ERROR_IO_PENDING) {
        bOK = GetOverlappedResult((HANDLE)pfs->fs_hFile, &ov, &dwRead, TRUE);
      }
      CloseHandle(ov.hEvent);
    }
    return bOK && (long)dwRead == slSize;
  }

  // A closing stream gives its blocks back, after their reads have finished.
  void Release(CFileStreamWin32 *pfs)
  {
    if (!rc_bReady) return;
    for (long i = 0; i < _ctBlocks; i++) {
      if (rc_acb[i].cb_pfsOwner != pfs) continue;
      Collect(i);
      Empty(i);
    }
  }
};

static ReadCache &Cache(void)
{
  static ReadCache _rc;
  return _rc;
}

CFileStreamWin32::CFileStreamWin32()
    : fs_pFile(nullptr), fs_hFile(INVALID_HANDLE_VALUE), fs_slPosition(0), fs_pubWriteCache(nullptr),
      fs_ctCached(0), fs_slCacheSize(0), fs_bAsync(false), fs_iLastBlock(-1), fs_slFileSize(0),
      fs_slSystemPosition(0)
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
    CSyncLock sl(filGetSyncMutex());
    Cache().Release(this);
    CloseHandle((HANDLE)fs_hFile);
    fs_hFile = INVALID_HANDLE_VALUE;
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
                    OPEN_EXISTING,
                    FILE_ATTRIBUTE_NORMAL | (fs_bAsync ? FILE_FLAG_OVERLAPPED : 0), nullptr);
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
    long ctKiB = fil_iWriteCacheSize < 0 ? 0 : (fil_iWriteCacheSize > 64 ? 64 : fil_iWriteCacheSize);
    fs_slCacheSize = ctKiB * 1024;
    if (fs_slCacheSize > 0) fs_pubWriteCache = (unsigned char *)memMAlloc(fs_slCacheSize);
  }
}

void CFileStreamWin32::Read_t(void *pvBuffer, long slSize)
{
  CSyncLock sl(filGetSyncMutex());
  WriteOut_t();
  if (slSize < 0) Throw_t("Invalid size!");
  if (slSize > fs_slFileSize - fs_slPosition) Throw_t("Reading past the end of file.");
  unsigned char *pub = (unsigned char *)pvBuffer;
  ReadCache &rc = Cache();
  while (slSize > 0) {
    long slBlockStart = fs_slPosition & ~(_slBlockSize - 1);
    // Whole blocks that are not cached go straight to the caller: no copy, no cache churn.
    if (slBlockStart == fs_slPosition && slSize >= _slBlockSize &&
        !rc.IsCached(this, slBlockStart)) {
      long slDirect = slSize & ~(_slBlockSize - 1);
      if (!rc.ReadDirect(this, pub, fs_slPosition, slDirect)) {
        CallErrorReadingCallback(GetDescription());
        ThrowF_t("Error reading from file.");
      }
      pub += slDirect;
      slSize -= slDirect;
      fs_slPosition += slDirect;
      continue;
    }
    long iBlock = rc.TakeBlock_t(this, slBlockStart, false);
    if (iBlock < 0) ThrowF_t("Internal error reading after the end of file.");
    // Keep the disk busy with the next block while this one is used.
    rc.TakeBlock_t(this, slBlockStart + _slBlockSize, true);
    if (!rc.Collect(iBlock)) rc.ReadFailed_t(iBlock);
    CacheBlock &cb = rc.rc_acb[iBlock];
    if (cb.cb_slOffset != slBlockStart) ThrowF_t("Error while determining sector extents!");
    // The disk must have delivered the whole block as far as the file goes.
    long slExpected = fs_slFileSize - slBlockStart < _slBlockSize ? fs_slFileSize - slBlockStart
                                                                  : _slBlockSize;
    if (cb.cb_ctValid < slExpected) rc.ReadFailed_t(iBlock);
    long slInBlock = fs_slPosition - slBlockStart;
    long slCopy = _slBlockSize - slInBlock < slSize ? _slBlockSize - slInBlock : slSize;
    memcpy(pub, cb.cb_pubData + slInBlock, slCopy);
    pub += slCopy;
    slSize -= slCopy;
    fs_slPosition += slCopy;
  }
}

void CFileStreamWin32::Peek_t(void *pvBuffer, long slSize)
{
  long slPosition = GetPosition();
  Read_t(pvBuffer, slSize);
  fs_slPosition = slPosition;
}

void CFileStreamWin32::ReadAhead_t(long slSize)
{
  CSyncLock sl(filGetSyncMutex());
  WriteOut_t();
  long slLeft = fs_slFileSize - fs_slPosition;
  if (slSize > slLeft) slSize = slLeft;
  ReadCache &rc = Cache();
  for (long slOffset = fs_slPosition & ~(_slBlockSize - 1); slOffset < fs_slPosition + slSize;
       slOffset += _slBlockSize) {
    long iBlock = rc.TakeBlock_t(this, slOffset, true);
    if (iBlock < 0) break;
    if (rc.rc_acb[iBlock].cb_slOffset != slOffset) ThrowF_t("Error while determining sector extents!");
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
  if (fs_hFile == INVALID_HANDLE_VALUE && fs_pFile == nullptr) Throw_t("Error while writing to file.");
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
