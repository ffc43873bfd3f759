#pragma once
// Private to the group archives: the records their index and their streams share. The tables
// and the records' bookkeeping are read and changed under the file-system lock (filGetSyncMutex);
// an archive's file is read under that archive's own lock, so that streams of different files
// (and the inflation of other entries) do not wait for one another's transfers.
//
// Lock order: an archive's file lock may be held while the file-system lock is taken (the disk
// stream takes it for its cache, bookkeeping takes it briefly), never the other way round.
#include "core/text/String.h"
#include "core/threads/SyncMutex.h"

namespace QuennelEngine {

class CStream;

// One mounted archive. Records live on the heap, so entries and streams may point at them; an
// unmounted record stays alive until its last stream closes.
struct ZipArchive {
  CStream *za_pstrm;  // the archive file, open for the whole run
  CString za_strName; // soft path
  long za_slBase;     // where the ZIP data starts in the file (above 0 when appended)
  long za_iIndex;
  long za_slDirOffset; // the central directory, relative to the base: entry data lies before it
  long za_ctStreams;   // open entry streams
  bool za_bUnmounted;
  // Held for every seek-and-read of za_pstrm once the archive is mounted: the streams of its
  // entries share the file and its position.
  CSyncMutex za_smFile;
};

enum ZipEntryFlags {
  ZEF_STORED = 1,
  ZEF_NEEDS_LOCAL_HEADER = 4, // the offset is still the local header's, not the data's
  ZEF_VERIFIED = 8,           // read whole once and its CRC-32 matched
};

struct ZipEntry {
  ZipArchive *ze_pza;
  CString ze_strName; // as stored, '/' separators; used as a soft path
  long ze_slPackedSize;
  long ze_slSize;
  long ze_slOffset; // of the local header, later of the data (relative to the base)
  unsigned long ze_ulCRC;
  unsigned long ze_ulFlags;
  unsigned short ze_uwTime;
  unsigned short ze_uwDate;
  long ze_iSequence; // position in its archive's central directory
};

// Finds an entry for reading and copies it into `ze`: the data offset is settled from the local
// header on first use, and the archive counts one more stream (released with
// filReleaseZipArchive). The caller holds no lock: this takes the file-system lock for the tables
// and the archive's file lock for the header. Throws "File not found: %1" and the messages of
// damaged headers; nothing is counted then.
void filOpenZipEntry_t(const CString &strName, ZipEntry &ze);
// Reads `slSize` bytes of the archive at `slOffset` (relative to the ZIP data) under the
// archive's file lock; the caller holds no file-system lock. Not counted as effective bytes.
void filReadZipArchive_t(ZipArchive &za, long slOffset, void *pv, long slSize);
// The entry's CRC-32 matched: later streams need not check it again. The archive file is open
// without write sharing for as long as it is mounted, so its bytes cannot change meanwhile (the
// caller holds the file-system lock).
void filMarkZipEntryVerified(const ZipEntry &ze);
// A stream of the archive closed (the caller holds the file-system lock).
void filReleaseZipArchive(ZipArchive *pza);

} // namespace QuennelEngine
