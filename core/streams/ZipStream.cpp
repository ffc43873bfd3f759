// CZipStream: an entry of a group archive as a read-only stream, opened through
// CStream::CreateZipStream. Deflated entries inflate on the fly straight into the caller's
// buffer; going forwards skips by inflating, going backwards starts again from the entry's start.
// The entry's CRC-32 is checked once a read reaches its end after everything before was produced
// in order; an entry that passed is not checked again while it is mounted. Every read holds the
// file-system lock: the streams of one archive share its file.
#include "core/frame/Console.h"
#include "core/frame/Exception.h"
#include "core/memory/Memory.h"
#include "core/streams/CRC.h"
#include "core/streams/FileSystem.h"
#include "core/streams/Stream.h"
#include "core/streams/StreamImp.h"
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
  void ReadDeflated_t(unsigned char *pub, long slPosition, long slSize);
  // Inflates the next `slSize` bytes of the entry into `pub` (null: dropped).
  void Inflate_t(unsigned char *pub, long slSize, const char *strError);
  void RestartInflation(void);
  // Feeds delivered bytes at `slPosition` to the entry's CRC; checks it at the end.
  void CheckCRC_t(const unsigned char *pub, long slPosition, long slSize);

  bool zs_bOpen;
  ZipArchive *zs_pza;
  ZipEntry zs_ze;
  z_stream zs_zstrm;
  unsigned char *zs_pubInput; // compressed input, refilled from the archive
  long zs_slPosition;
  long zs_slInputOffset;  // of the next compressed byte, relative to the entry's data
  long zs_slInflated;     // bytes the inflater has produced since it started
  bool zs_bInflateEnded;  // the compressed data reached its end
  unsigned long zs_ulCRC; // register over the entry's bytes 0 to zs_slCRCEnd
  long zs_slCRCEnd;
  bool zs_bCRCVerified;
  // Bytes a peek inflated ahead of the position, kept for the read that follows it.
  unsigned char zs_aubPeeked[256];
  long zs_slPeekedAt;
  long zs_ctPeeked;
};

// Compressed input is fetched in large pieces: each piece costs a locked read through the disk
// cache, and ends an inflate call, which then copies up to 32 KiB of output into its window.
static const long _slInputSize = 65536;
static const long _slSkipPiece = 4096;

static voidpf ZAlloc(voidpf, uInt ctItems, uInt slItem)
{
  return memMAlloc((size_t)ctItems * slItem);
}

static void ZFree(voidpf, voidpf pv)
{
  memFree(pv);
}

CZipStream::CZipStream()
    : zs_bOpen(false), zs_pza(nullptr), zs_ze(), zs_zstrm(), zs_pubInput(nullptr), zs_slPosition(0),
      zs_slInputOffset(0), zs_slInflated(0), zs_bInflateEnded(false), zs_ulCRC(0xFFFFFFFFUL),
      zs_slCRCEnd(0), zs_bCRCVerified(false), zs_slPeekedAt(0), zs_ctPeeked(0)
{
}

CZipStream::~CZipStream()
{
  CSyncLock sl(filGetSyncMutex());
  if (zs_pubInput != nullptr) {
    inflateEnd(&zs_zstrm);
    memFree(zs_pubInput);
  }
  filReleaseZipArchive(zs_pza);
}

void CZipStream::Open_t(const CString &strName)
{
  CSyncLock sl(filGetSyncMutex());
  filOpenZipEntry_t(strName, zs_ze);
  zs_pza = zs_ze.ze_pza;
  zs_bCRCVerified = (zs_ze.ze_ulFlags & ZEF_VERIFIED) != 0;
  if (!(zs_ze.ze_ulFlags & ZEF_STORED)) {
    zs_zstrm.zalloc = ZAlloc;
    zs_zstrm.zfree = ZFree;
    // Raw deflate data: no zlib header.
    if (inflateInit2(&zs_zstrm, -MAX_WBITS) != Z_OK)
      throw CSimpleException("Canot init inflation.");
    zs_pubInput = (unsigned char *)memMAlloc(_slInputSize);
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

// Raw reads of the archive file: the handle counts what entry streams deliver, not this.
static void ReadArchive_t(ZipArchive &za, long slOffset, void *pv, long slSize)
{
  CStreamImp *pImp = za.za_pstrm->GetImplementation();
  pImp->SeekBeg_t(za.za_slBase + slOffset);
  pImp->Read_t(pv, slSize);
}

void CZipStream::Read_t(void *pvBuffer, long slSize)
{
  CSyncLock sl(filGetSyncMutex());
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
  CSyncLock sl(filGetSyncMutex());
  long slPosition = zs_slPosition;
  Read_t(pvBuffer, slSize);
  long slDelivered = zs_slPosition - slPosition;
  zs_slPosition = slPosition;
  // The inflater has moved past these bytes: keep them for the read that usually follows, so
  // that it does not start inflating again from the entry's start.
  if (!(zs_ze.ze_ulFlags & ZEF_STORED) && slDelivered > 0 &&
      slDelivered <= (long)sizeof(zs_aubPeeked)) {
    memcpy(zs_aubPeeked, pvBuffer, slDelivered);
    zs_slPeekedAt = slPosition;
    zs_ctPeeked = slDelivered;
  }
}

void CZipStream::ReadStored_t(unsigned char *pub, long slPosition, long slSize)
{
  ReadArchive_t(*zs_pza, zs_ze.ze_slOffset + slPosition, pub, slSize);
  CheckCRC_t(pub, slPosition, slSize);
}

void CZipStream::ReadDeflated_t(unsigned char *pub, long slPosition, long slSize)
{
  if (zs_ctPeeked > 0 && slPosition >= zs_slPeekedAt && slPosition < zs_slPeekedAt + zs_ctPeeked) {
    long slTake = zs_slPeekedAt + zs_ctPeeked - slPosition;
    if (slTake > slSize) slTake = slSize;
    memcpy(pub, zs_aubPeeked + (slPosition - zs_slPeekedAt), slTake);
    pub += slTake;
    slPosition += slTake;
    slSize -= slTake;
  }
  if (slSize == 0) return;
  if (slPosition < zs_slInflated) RestartInflation();
  if (slPosition > zs_slInflated)
    Inflate_t(nullptr, slPosition - zs_slInflated, "Error seeking in zip");
  Inflate_t(pub, slSize, "Error reading from zip");
}

void CZipStream::RestartInflation(void)
{
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
          long slRead = slLeft < _slInputSize ? slLeft : _slInputSize;
          ReadArchive_t(*zs_pza, zs_ze.ze_slOffset + zs_slInputOffset, zs_pubInput, slRead);
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
