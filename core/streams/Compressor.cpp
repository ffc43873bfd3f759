// The compressors' stream wrappers and the zlib coder.
#include "core/streams/Compressor.h"

#include "core/frame/Exception.h"
#include "core/memory/Memory.h"
#include "core/streams/Stream.h"
#include "core/text/Translation.h"

#include <zlib.h>

#include <limits.h>

namespace QuennelEngine {

namespace {

// A heap block freed when it goes out of scope.
struct HeapBlock {
  unsigned char *hb_pub;
  explicit HeapBlock(long slSize) : hb_pub((unsigned char *)memMAlloc(slSize > 0 ? slSize : 1)) {}
  ~HeapBlock() { memFree(hb_pub); }
  HeapBlock(const HeapBlock &) = delete;
  HeapBlock &operator=(const HeapBlock &) = delete;
};

[[noreturn]] void ThrowUnpacking_t(void)
{
  ThrowF_t(strTranslate("DOZUUnpackStream.ErrorUnpacking=Error while unpacking a stream."));
}

// zlib allocates through the library's heap like everything else.
voidpf ZAlloc(voidpf, uInt ctItems, uInt slItem)
{
  return memMAlloc((size_t)ctItems * slItem);
}

void ZFree(voidpf, voidpf pv)
{
  memFree(pv);
}

} // namespace

void CCompressor::UnpackStream_t(CStream &strmIn, CStream &strmOut)
{
  long slUnpacked, slPacked, slCount;
  strmIn.ReadValue_t(slUnpacked);
  strmIn.ReadValue_t(slPacked);
  strmIn.ReadValue_t(slCount);
  // Every size is checked before anything is allocated for it.
  long slLeft = strmIn.GetSize() - strmIn.GetPosition();
  if (slPacked != slCount || slPacked < 0 || slPacked > slLeft || slUnpacked < 0 ||
      slUnpacked > MaxUnpackedSize(slPacked)) {
    ThrowUnpacking_t();
  }
  HeapBlock hbPacked(slPacked);
  strmIn.Read_t(hbPacked.hb_pub, slPacked);
  HeapBlock hbUnpacked(slUnpacked);
  long slResult = slUnpacked;
  if (!Unpack(hbPacked.hb_pub, slPacked, hbUnpacked.hb_pub, slResult) || slResult != slUnpacked) {
    ThrowUnpacking_t();
  }
  strmOut.Write_t(hbUnpacked.hb_pub, slUnpacked);
  strmOut.SeekBeg_t(0);
}

void CCompressor::PackStream_t(CStream &strmIn, CStream &strmOut)
{
  long slSize = strmIn.GetSize();
  long slNeeded = NeededDestinationSize(slSize);
  if (slNeeded < 0) {
    ThrowF_t(strTranslate("DOZUUnpackStream.ErrorPacking=Error while packing a stream."));
  }
  HeapBlock hbSource(slSize);
  strmIn.SeekBeg_t(0);
  strmIn.Read_t(hbSource.hb_pub, slSize);
  HeapBlock hbPacked(slNeeded);
  long slPacked = slNeeded;
  if (!Pack(hbSource.hb_pub, slSize, hbPacked.hb_pub, slPacked)) {
    ThrowF_t(strTranslate("DOZUUnpackStream.ErrorPacking=Error while packing a stream."));
  }
  strmOut.WriteValue_t(slSize);
  strmOut.WriteValue_t(slPacked);
  // The packed bytes as a counted byte string.
  strmOut.WriteValue_t(slPacked);
  strmOut.Write_t(hbPacked.hb_pub, slPacked);
}

// ---- zlib ----

long CzlibCompressor::NeededDestinationSize(long slSourceSize)
{
  if (slSourceSize < 0) return -1;
  double dNeeded = 32.0 + (double)slSourceSize * 1.1;
  return dNeeded > (double)LONG_MAX ? -1 : (long)dNeeded;
}

int CzlibCompressor::Pack(const void *pvSource, long slSourceSize, void *pvDestination,
                          long &slDestinationSize)
{
  if (slSourceSize < 0 || slDestinationSize < 0 || pvDestination == nullptr ||
      (pvSource == nullptr && slSourceSize > 0)) {
    return 0;
  }
  // compress() in one pass, with the library's allocator.
  z_stream zs = {};
  zs.zalloc = ZAlloc;
  zs.zfree = ZFree;
  if (deflateInit(&zs, Z_DEFAULT_COMPRESSION) != Z_OK) return 0;
  zs.next_in = (Bytef *)pvSource;
  zs.avail_in = (uInt)slSourceSize;
  zs.next_out = (Bytef *)pvDestination;
  zs.avail_out = (uInt)slDestinationSize;
  int iResult = deflate(&zs, Z_FINISH);
  deflateEnd(&zs);
  if (iResult != Z_STREAM_END) return 0;
  slDestinationSize = (long)zs.total_out;
  return 1;
}

int CzlibCompressor::Unpack(const void *pvSource, long slSourceSize, void *pvDestination,
                            long &slDestinationSize)
{
  if (slSourceSize < 0 || slDestinationSize < 0 || pvDestination == nullptr ||
      (pvSource == nullptr && slSourceSize > 0)) {
    return 0;
  }
  z_stream zs = {};
  zs.zalloc = ZAlloc;
  zs.zfree = ZFree;
  zs.next_in = (Bytef *)pvSource;
  zs.avail_in = (uInt)slSourceSize;
  if (inflateInit(&zs) != Z_OK) return 0;
  zs.next_out = (Bytef *)pvDestination;
  zs.avail_out = (uInt)slDestinationSize;
  int iResult = inflate(&zs, Z_FINISH);
  inflateEnd(&zs);
  if (iResult != Z_STREAM_END) return 0;
  slDestinationSize = (long)zs.total_out;
  return 1;
}

long CzlibCompressor::MaxUnpackedSize(long slPackedSize)
{
  // Deflate never expands a byte to more than 1032 (a 258-byte match per two bits, roughly).
  if (slPackedSize <= 0) return 0;
  return slPackedSize > LONG_MAX / 1040 ? LONG_MAX : slPackedSize * 1040;
}

} // namespace QuennelEngine
