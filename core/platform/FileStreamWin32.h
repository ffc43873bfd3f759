#pragma once
// CFileStreamWin32: a disk file as a stream. Small reads go through one cache shared by every
// disk stream of the process (10 blocks of 32 KiB with one block of read-ahead, overlapped with
// the caller's processing); large ones go straight into the caller's buffer. Writes are gathered
// in a cache of fil_iWriteCacheSize KiB per stream. A stream belongs to one thread at a time;
// any number of streams may be read at once from different threads.
#include "core/streams/StreamImp.h"

#include <stdio.h>

namespace QuennelEngine {

// Called on the reading thread just before each disk transfer that a read starts (null: none).
// Transfers run outside the file-system lock; tests use this to stand in for a slow disk.
CORE_API extern void (*fil_pfnBeforeDiskRead)(void);

class CORE_API CFileStreamWin32 : public CStreamImp {
public:
  CFileStreamWin32();
  // Writes out the write cache (reporting a failure on the console), closes the file and releases
  // its cache blocks, waiting for a read still in flight.
  ~CFileStreamWin32() override;

  // Opens a soft path with the mode "rb", "wb" (created anew) or "ab" (written at its end).
  void Open_t(const CString &strFileName, const char *strMode);

  void Peek_t(void *pvBuffer, long slSize) override;
  void Read_t(void *pvBuffer, long slSize) override;
  // Writes the whole source (from its start; its position is kept) after the cached bytes.
  void Write_t(CStream &strmSource) override;
  void Write_t(const void *pvBuffer, long slSize) override;
  void SeekBeg_t(long slOffset) override;
  void SeekEnd_t(long slOffset) override;
  void SeekCur_t(long slOffset) override;
  // Grows the file with zeros or truncates it; the position stays within the new size.
  void SetSize_t(long slSize) override;
  // Writes out the write cache; throws when the disk refuses it.
  void Finish_t(void) override;
  void ReadAhead_t(long slSize) override;
  long GetSize(void) override;
  long GetPosition(void) override;
  int IsAtEOF_t(void) override;
  CString GetDescription(void) override;

  // The bytes held in the write cache (for tests and diagnostics).
  long GetCachedBytes(void) const { return fs_ctCached; }
  void *GetSystemHandle(void) const { return fs_hFile; }
  bool IsAsynchronous(void) const { return fs_bAsync; }

private:
  friend struct ReadCache;
  [[noreturn]] void Throw_t(const char *strMessage);
  [[noreturn]] void ReadFailed_t(void);
  // Copies what the position needs from its cache block (at most to the block's end), reading
  // the block first if it is not cached, and with `bReadAhead` asks for the next block too;
  // returns the bytes copied.
  long ReadThroughCache_t(unsigned char *pubBuffer, long slSize, bool bReadAhead);
  // Reads at the position straight into the buffer, past the cache.
  void ReadDirect_t(void *pvBuffer, long slSize);
  void WriteOut_t(void);
  void WriteDirect_t(const void *pvBuffer, long slSize);
  void SetPosition_t(__int64 llPosition);
  // Moves the handle's own position (for synchronous transfers); false on failure.
  bool MoveSystemPosition(long slOffset);
  bool ReadAt(void *pvBuffer, long slOffset, long slSize, unsigned long &ulRead);
  void Close(void);

  CString fs_strFileName;
  FILE *fs_pFile;
  void *fs_hFile;
  long fs_slPosition;
  CString fs_strMode;
  unsigned char *fs_pubWriteCache;
  long fs_ctCached;
  long fs_slCacheSize;
  bool fs_bAsync;
  long fs_iLastBlock;
  long fs_slFileSize;
  long fs_slSystemPosition; // where the handle's own position is (-1: unknown)
  void *fs_hDirectEvent;    // for overlapped reads past the cache (made on first use)
};

} // namespace QuennelEngine
