// CZipStream: an entry of a group archive as a read-only stream, opened through
// CStream::CreateZipStream. Stored entries are read through a buffer of 64 KiB, so that a reader
// of many small values (a metadata file) takes the archive's lock once a buffer, not once a
// value; reads as large as the buffer go straight to the caller. Deflated entries inflate on the
// fly straight into the caller's buffer; going forwards skips by inflating. Going backwards by a
// little (a line reader's read-ahead, a peek) is served from the inflater's own window, the last
// 32 KiB it produced: it is copied out only when a read goes back, so reading forwards costs
// nothing extra. Going back further starts again from the entry's start. The entry's CRC-32 is
// checked once a read reaches its end after everything before was produced in order (for a
// stored entry that fits in the buffer: at its first read); an entry that passed is not checked
// again while it is mounted.
//
// The streams of one archive share its file: every seek-and-read of it holds the archive's own
// lock, and only for the transfer. Inflation and copying run under no lock (a stream is used by
// one thread at a time), and the file-system lock is taken only for the shared bookkeeping
// (opening, marking an entry verified, letting go of the archive).
#include "core/frame/Console.h"
#include "core/frame/Exception.h"
#include "core/memory/Memory.h"
#include "core/platform/SysThreads.h"
#include "core/streams/CRC.h"
#include "core/streams/FileSystem.h"
#include "core/streams/Stream.h"
#include "core/streams/StreamImp.h"
#include "core/streams/ZipArchives.h"
#include "core/streams/ZipArchivesPrivate.h"
#include "core/threads/SyncLock.h"

#include <zlib.h>

#include <string.h>

namespace QuennelEngine {

class CZipStream : public CStreamImp {
public:
  CZipStream();
  // Ends inflation and lets go of the archive.
  ~CZipStream() override;
  // Opens the entry of that name; throws "File not found: %1" or the messages of a damaged
  // archive.
  void Open_t(const CString &strName);

  // As Read_t, leaving the position where it was.
  void Peek_t(void *pvBuffer, long slSize) override;
  // Delivers the bytes at the position, shortened to the entry's end; the caller's bytes beyond
  // what was delivered are zeroed. Throws "Trying to read behind the end of file." at the end,
  // "Error reading from zip" for damaged or short compressed data, and a damaged-entry error when
  // the CRC-32 of the whole entry does not match.
  void Read_t(void *pvBuffer, long slSize) override;
  // Writing is refused: "Cannot write to zip stream!"
  void Write_t(CStream &strmSource) override;
  void Write_t(const void *pvBuffer, long slSize) override;
  // The seeks keep the position within [0, size]; SeekEnd_t(offset) moves to size - offset.
  void SeekBeg_t(long slOffset) override;
  void SeekEnd_t(long slOffset) override;
  void SeekCur_t(long slOffset) override;
  // Refused: "Cannot set size to zip stream!"
  void SetSize_t(long slSize) override;
  void ReadAhead_t(long slSize) override;
  long GetSize(void) override;
  long GetPosition(void) override;
  int IsAtEOF_t(void) override;
  // The entry's name.
  CString GetDescription(void) override;

private:
  [[noreturn]] void ThrowFile_t(const char *strMessage);
  void SetPosition_t(__int64 llPosition);
  void ReadStored_t(unsigned char *pub, long slPosition, long slSize);
  // Reads the stored bytes at `slPosition` into the caller's buffer, or into the read buffer
  // when `pub` is null.
  void ReadStoredPiece_t(unsigned char *pub, long slPosition, long slSize);
  void ReadDeflated_t(unsigned char *pub, long slPosition, long slSize);
  // Inflates the next `slSize` bytes of the entry into `pub` (null: dropped).
  void Inflate_t(unsigned char *pub, long slSize, const char *strError);
  void RestartInflation(void);
  // Copies the inflater's window into the history; false when `slPosition` is not in it.
  bool TakeHistory(long slPosition);
  // Feeds delivered bytes at `slPosition` to the entry's CRC; checks it at the end.
  void CheckCRC_t(const unsigned char *pub, long slPosition, long slSize);

  bool zs_bOpen;
  ZipArchive *zs_pza;
  ZipEntry zs_ze;
  z_stream zs_zstrm;
  unsigned char *zs_pubInput; // compressed input, refilled from the archive
  long zs_slInputSize;
  long zs_slPosition;
  long zs_slInputOffset;  // of the next compressed byte, relative to the entry's data
  long zs_slInflated;     // bytes the inflater has produced since it started
  bool zs_bInflateEnded;  // the compressed data reached its end
  unsigned long zs_ulCRC; // register over the entry's bytes 0 to zs_slCRCEnd
  long zs_slCRCEnd;
  bool zs_bCRCVerified;
  // A copy of the inflater's window: the entry's bytes from zs_slHistoryStart to
  // zs_slHistoryEnd (allocated on the first read that goes back). They stay valid when inflation
  // moves on or starts again, as an entry's bytes do not change.
  unsigned char *zs_pubHistory;
  long zs_slHistoryStart;
  long zs_slHistoryEnd;
  // A stored entry's bytes from zs_slBufferStart to zs_slBufferEnd (allocated on the first
  // small read).
  unsigned char *zs_pubBuffer;
  long zs_slBufferStart;
  long zs_slBufferEnd;
};

// Compressed input is fetched in large pieces: each piece costs a read of the archive under its
// lock, and ends an inflate call, which then copies up to 32 KiB of output into its window.
static const long _slInputSize = 65536;
static const long _slSkipPiece = 4096;
// The inflater's window for raw deflate data (window bits 15).
static const long _slWindowSize = 1L << MAX_WBITS;

static long volatile _ctInflationRestarts = 0;

long filGetZipInflationRestarts(void)
{
  return _ctInflationRestarts;
}

static voidpf ZAlloc(voidpf, uInt ctItems, uInt slItem)
{
  return memMAlloc((size_t)ctItems * slItem);
}

static void ZFree(voidpf, voidpf pv)
{
  memFree(pv);
}

CZipStream::CZipStream()
    : zs_bOpen(false), zs_pza(nullptr), zs_ze(), zs_zstrm(), zs_pubInput(nullptr),
      zs_slInputSize(0), zs_slPosition(0), zs_slInputOffset(0), zs_slInflated(0),
      zs_bInflateEnded(false), zs_ulCRC(0xFFFFFFFFUL), zs_slCRCEnd(0), zs_bCRCVerified(false),
      zs_pubHistory(nullptr), zs_slHistoryStart(0), zs_slHistoryEnd(0), zs_pubBuffer(nullptr),
      zs_slBufferStart(0), zs_slBufferEnd(0)
{
}

CZipStream::~CZipStream()
{
  if (zs_pubInput != nullptr) {
    inflateEnd(&zs_zstrm);
    memFree(zs_pubInput);
  }
  memFree(zs_pubHistory);
  memFree(zs_pubBuffer);
  if (zs_pza != nullptr) {
    CSyncLock sl(filGetSyncMutex());
    filReleaseZipArchive(zs_pza);
  }
}

void CZipStream::Open_t(const CString &strName)
{
  filOpenZipEntry_t(strName, zs_ze);
  zs_pza = zs_ze.ze_pza;
  zs_bCRCVerified = (zs_ze.ze_ulFlags & ZEF_VERIFIED) != 0;
  if (!(zs_ze.ze_ulFlags & ZEF_STORED)) {
    zs_zstrm.zalloc = ZAlloc;
    zs_zstrm.zfree = ZFree;
    // Raw deflate data: no zlib header.
    if (inflateInit2(&zs_zstrm, -MAX_WBITS) != Z_OK)
      throw CSimpleException("Canot init inflation.");
    // Never more input buffer than the entry has packed bytes.
    zs_slInputSize = zs_ze.ze_slPackedSize < _slInputSize ? zs_ze.ze_slPackedSize : _slInputSize;
    if (zs_slInputSize < 1) zs_slInputSize = 1;
    zs_pubInput = (unsigned char *)memMAlloc(zs_slInputSize);
    RestartInflation();
  }
  zs_slPosition = 0;
  zs_bOpen = true;
}

CString CZipStream::GetDescription(void)
{
  return zs_ze.ze_strName;
}

void CZipStream::ThrowFile_t(const char *strMessage)
{
  throw CFileException(strMessage, zs_ze.ze_strName);
}

void CZipStream::Read_t(void *pvBuffer, long slSize)
{
  if (!zs_bOpen || slSize == 0) return;
  if (slSize < 0) ThrowFile_t("Invalid size!");
  unsigned char *pub = (unsigned char *)pvBuffer;
  if (zs_slPosition >= zs_ze.ze_slSize) {
    memset(pub, 0, slSize);
    ThrowFile_t("Trying to read behind the end of file.");
  }
  // A request beyond the end delivers what is there.
  long slDeliver = zs_ze.ze_slSize - zs_slPosition;
  if (slDeliver > slSize) slDeliver = slSize;
  try {
    if (zs_ze.ze_ulFlags & ZEF_STORED) {
      ReadStored_t(pub, zs_slPosition, slDeliver);
    } else {
      ReadDeflated_t(pub, zs_slPosition, slDeliver);
    }
  } catch (CException &) {
    // Nothing damaged or half-read is handed on.
    memset(pub, 0, slSize);
    throw;
  }
  if (slDeliver < slSize) memset(pub + slDeliver, 0, slSize - slDeliver);
  zs_slPosition += slDeliver;
}

void CZipStream::Peek_t(void *pvBuffer, long slSize)
{
  // The read that usually follows finds the peeked bytes in the history.
  long slPosition = zs_slPosition;
  Read_t(pvBuffer, slSize);
  zs_slPosition = slPosition;
}

// Copies what a window holding the entry's bytes from slStart to slEnd has from slPosition on
// (slPosition lies in it), and moves the caller's buffer, position and count past it.
static void TakeFromWindow(const unsigned char *pubWindow, long slStart, long slEnd,
                           unsigned char *&pub, long &slPosition, long &slSize)
{
  long slTake = slEnd - slPosition;
  if (slTake > slSize) slTake = slSize;
  memcpy(pub, pubWindow + (slPosition - slStart), slTake);
  pub += slTake;
  slPosition += slTake;
  slSize -= slTake;
}

void CZipStream::ReadStored_t(unsigned char *pub, long slPosition, long slSize)
{
  while (slSize > 0) {
    if (slPosition >= zs_slBufferStart && slPosition < zs_slBufferEnd) {
      TakeFromWindow(zs_pubBuffer, zs_slBufferStart, zs_slBufferEnd, pub, slPosition, slSize);
      continue;
    }
    if (slSize >= _slInputSize) {
      ReadStoredPiece_t(pub, slPosition, slSize);
      return;
    }
    long slFill = zs_ze.ze_slSize - slPosition;
    if (slFill > _slInputSize) slFill = _slInputSize;
    ReadStoredPiece_t(nullptr, slPosition, slFill);
  }
}

void CZipStream::ReadStoredPiece_t(unsigned char *pub, long slPosition, long slSize)
{
  if (pub == nullptr) {
    if (zs_pubBuffer == nullptr) {
      const long slBuffer = zs_ze.ze_slSize < _slInputSize ? zs_ze.ze_slSize : _slInputSize;
      zs_pubBuffer = (unsigned char *)memMAlloc(slBuffer > 0 ? slBuffer : 1);
    }
    // Nothing of the buffer counts until it is filled and checked.
    zs_slBufferStart = zs_slBufferEnd = 0;
    filReadZipArchive_t(*zs_pza, zs_ze.ze_slOffset + slPosition, zs_pubBuffer, slSize);
    CheckCRC_t(zs_pubBuffer, slPosition, slSize);
    zs_slBufferStart = slPosition;
    zs_slBufferEnd = slPosition + slSize;
    return;
  }
  filReadZipArchive_t(*zs_pza, zs_ze.ze_slOffset + slPosition, pub, slSize);
  CheckCRC_t(pub, slPosition, slSize);
}

void CZipStream::ReadDeflated_t(unsigned char *pub, long slPosition, long slSize)
{
  // Bytes the inflater has already passed come from the history while it holds them.
  while (slSize > 0 && slPosition < zs_slInflated) {
    if (slPosition < zs_slHistoryStart || slPosition >= zs_slHistoryEnd) {
      if (!TakeHistory(slPosition)) break;
    }
    TakeFromWindow(zs_pubHistory, zs_slHistoryStart, zs_slHistoryEnd, pub, slPosition, slSize);
  }
  if (slSize == 0) return;
  if (slPosition < zs_slInflated) RestartInflation();
  if (slPosition > zs_slInflated)
    Inflate_t(nullptr, slPosition - zs_slInflated, "Error seeking in zip");
  Inflate_t(pub, slSize, "Error reading from zip");
}

bool CZipStream::TakeHistory(long slPosition)
{
  // The window holds the inflater's last output only while its count agrees with ours.
  if (slPosition < zs_slInflated - _slWindowSize || (long)zs_zstrm.total_out != zs_slInflated) {
    return false;
  }
  // The window holds at most 32 KiB of what was inflated, which never passes the entry's size.
  if (zs_pubHistory == nullptr) {
    long slHistorySize = zs_ze.ze_slSize < _slWindowSize ? zs_ze.ze_slSize : _slWindowSize;
    zs_pubHistory = (unsigned char *)memMAlloc(slHistorySize > 0 ? slHistorySize : 1);
  }
  uInt ctHistory = 0;
  if (inflateGetDictionary(&zs_zstrm, zs_pubHistory, &ctHistory) != Z_OK) {
    zs_slHistoryStart = zs_slHistoryEnd = 0;
    return false;
  }
  zs_slHistoryEnd = zs_slInflated;
  zs_slHistoryStart = zs_slInflated - (long)ctHistory;
  return slPosition >= zs_slHistoryStart;
}

void CZipStream::RestartInflation(void)
{
  if (zs_slInflated > 0) sysInterlockedIncrement(&_ctInflationRestarts);
  inflateReset(&zs_zstrm);
  zs_zstrm.next_in = zs_pubInput;
  zs_zstrm.avail_in = 0;
  zs_slInputOffset = 0;
  zs_slInflated = 0;
  zs_bInflateEnded = false;
  if (!zs_bCRCVerified) {
    zs_ulCRC = 0xFFFFFFFFUL;
    zs_slCRCEnd = 0;
  }
}

void CZipStream::Inflate_t(unsigned char *pub, long slSize, const char *strError)
{
  unsigned char aubScratch[_slSkipPiece];
  try {
    while (slSize > 0) {
      // Skipped bytes go through the scratch buffer, read bytes straight to the caller.
      unsigned char *pubOut = pub != nullptr ? pub : aubScratch;
      long slPiece = pub != nullptr || slSize < _slSkipPiece ? slSize : _slSkipPiece;
      zs_zstrm.next_out = pubOut;
      zs_zstrm.avail_out = (uInt)slPiece;
      while (zs_zstrm.avail_out > 0) {
        // Data that ends before the entry's size is damaged.
        if (zs_bInflateEnded) throw CSimpleException(strError);
        if (zs_zstrm.avail_in == 0 && zs_slInputOffset < zs_ze.ze_slPackedSize) {
          long slLeft = zs_ze.ze_slPackedSize - zs_slInputOffset;
          long slRead = slLeft < zs_slInputSize ? slLeft : zs_slInputSize;
          filReadZipArchive_t(*zs_pza, zs_ze.ze_slOffset + zs_slInputOffset, zs_pubInput, slRead);
          zs_slInputOffset += slRead;
          zs_zstrm.next_in = zs_pubInput;
          zs_zstrm.avail_in = (uInt)slRead;
        }
        uInt ctInBefore = zs_zstrm.avail_in;
        uInt ctOutBefore = zs_zstrm.avail_out;
        int iResult = inflate(&zs_zstrm, Z_NO_FLUSH);
        if (iResult == Z_STREAM_END) {
          zs_bInflateEnded = true;
        } else if (iResult != Z_OK && iResult != Z_BUF_ERROR) {
          throw CSimpleException(strError);
        }
        // No progress: the input is used up (it never reaches past the entry's data) or stuck.
        if (!zs_bInflateEnded && zs_zstrm.avail_in == ctInBefore &&
            zs_zstrm.avail_out == ctOutBefore) {
          throw CSimpleException(strError);
        }
      }
      long slAt = zs_slInflated;
      zs_slInflated += slPiece;
      CheckCRC_t(pubOut, slAt, slPiece);
      if (pub != nullptr) pub += slPiece;
      slSize -= slPiece;
    }
  } catch (CException &) {
    // The inflater's state is unknown now: the next read starts again.
    RestartInflation();
    throw;
  }
}

void CZipStream::CheckCRC_t(const unsigned char *pub, long slPosition, long slSize)
{
  if (zs_bCRCVerified || slPosition > zs_slCRCEnd || slPosition + slSize <= zs_slCRCEnd) return;
  long slSkip = zs_slCRCEnd - slPosition;
  zs_ulCRC = crcUpdate(zs_ulCRC, pub + slSkip, slSize - slSkip);
  zs_slCRCEnd = slPosition + slSize;
  if (zs_slCRCEnd < zs_ze.ze_slSize) return;
  if ((zs_ulCRC ^ 0xFFFFFFFFUL) == zs_ze.ze_ulCRC) {
    zs_bCRCVerified = true;
    CSyncLock sl(filGetSyncMutex());
    if (!zs_pza->za_bUnmounted) filMarkZipEntryVerified(zs_ze);
    return;
  }
  zs_ulCRC = 0xFFFFFFFFUL;
  zs_slCRCEnd = 0;
  ThrowFormat_t("%1/%2: Damaged entry (CRC-32 mismatch)", zs_pza->za_strName, zs_ze.ze_strName);
}

void CZipStream::Write_t(CStream &)
{
  ThrowF_t("Cannot write to zip stream!");
}

void CZipStream::Write_t(const void *, long)
{
  ThrowF_t("Cannot write to zip stream!");
}

void CZipStream::SetSize_t(long)
{
  ThrowF_t("Cannot set size to zip stream!");
}

void CZipStream::SetPosition_t(__int64 llPosition)
{
  if (llPosition < 0) ThrowFile_t("Trying to seek before stream SOF!");
  if (llPosition > zs_ze.ze_slSize) ThrowFile_t("Trying to seek beyond stream EOF!");
  zs_slPosition = (long)llPosition;
}

void CZipStream::SeekBeg_t(long slOffset)
{
  SetPosition_t(slOffset);
}

void CZipStream::SeekEnd_t(long slOffset)
{
  SetPosition_t((__int64)zs_ze.ze_slSize - slOffset);
}

void CZipStream::SeekCur_t(long slOffset)
{
  SetPosition_t((__int64)zs_slPosition + slOffset);
}

void CZipStream::ReadAhead_t(long)
{
}

long CZipStream::GetSize(void)
{
  return zs_ze.ze_slSize;
}

long CZipStream::GetPosition(void)
{
  return zs_slPosition;
}

int CZipStream::IsAtEOF_t(void)
{
  return zs_slPosition >= zs_ze.ze_slSize;
}

int CStream::CreateZipStream(const CString &strName)
{
  if (fil_bReportFileOpen)
    conInfoF("FIL: Opening file from zip '%1'.\n", ARG_TEXT, strName.str_String);
  CZipStream *pzs = new CZipStream;
  try {
    pzs->Open_t(strName);
  } catch (CException &) {
    delete pzs;
    return 0;
  }
  SetImplementation(pzs);
  return 1;
}

} // namespace QuennelEngine
