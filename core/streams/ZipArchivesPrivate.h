#pragma once
// Private to the group archives: the records their index and their streams share. Everything
// here is read and changed under the file-system lock (filGetSyncMutex).
#include "core/text/String.h"

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

// Finds an entry for reading (under the file-system lock, which the caller holds): the data
// offset is settled from the local header on first use, and the archive counts one more stream.
// Throws "File not found: %1" and the messages of damaged headers.
void filOpenZipEntry_t(const CString &strName, ZipEntry &ze);
// The entry's CRC-32 matched: later streams need not check it again. The archive file is open
// without write sharing for as long as it is mounted, so its bytes cannot change meanwhile (the
// caller holds the file-system lock).
void filMarkZipEntryVerified(const ZipEntry &ze);
// A stream of the archive closed (the caller holds the file-system lock).
void filReleaseZipArchive(ZipArchive *pza);

} // namespace QuennelEngine
