#pragma once
// Block compressors: each packs a whole memory block into a buffer the caller provides and
// unpacks it again. Ask NeededDestinationSize first for the buffer to pack into. Three coders
// share the interface:
//   CRLEBBCompressor  byte-oriented run lengths (signed control byte n: n < 0 repeats the next
//                     byte 1 - n times, n >= 0 copies the next n + 1 bytes)
//   CLZCompressor     LZ77 with a 4 KiB window (flag byte, then groups of a 16-bit control word
//                     and up to 16 literals or two-byte copies)
//   CzlibCompressor   the zlib stream format
// Unpacking checks the packed data against its buffers: damaged input fails (result 0) instead
// of reading or writing outside them.
#include "core/platform/Platform.h"

namespace QuennelEngine {

class CStream;

class CORE_API CCompressor {
public:
  CCompressor() {}
  CCompressor(const CCompressor &) {}

  // A destination size that is always enough to pack `slSourceSize` bytes; -1 for a negative
  // size or one whose bound does not fit a long.
  virtual long NeededDestinationSize(long slSourceSize) = 0;
  // Packs the source; `slDestinationSize` is the capacity on entry and the packed size on return.
  // 1 on success, 0 on failure (the capacity below what the coder needs, or a zlib error).
  virtual int Pack(const void *pvSource, long slSourceSize, void *pvDestination,
                   long &slDestinationSize) = 0;
  // Unpacks; `slDestinationSize` is the capacity on entry and the unpacked size on return.
  // 1 on success, 0 when the packed data is damaged or does not fit the capacity. The capacity
  // beyond the unpacked size may be used as scratch.
  virtual int Unpack(const void *pvSource, long slSourceSize, void *pvDestination,
                     long &slDestinationSize) = 0;
  virtual ~CCompressor() {}
  // The most bytes that `slPackedSize` packed bytes can unpack to (saturating at LONG_MAX).
  virtual long MaxUnpackedSize(long slPackedSize) = 0;

  // Reads the unpacked size, the packed size and the packed bytes (a counted byte string) from
  // `strmIn`, unpacks them into `strmOut` and positions it at 0. Throws "Error while unpacking a
  // stream." when the sizes disagree, exceed what the stream holds or the data is damaged.
  void UnpackStream_t(CStream &strmIn, CStream &strmOut);
  // Packs the whole of `strmIn` into `strmOut` in the form UnpackStream_t reads. Throws "Error
  // while packing a stream." when packing fails.
  void PackStream_t(CStream &strmIn, CStream &strmOut);
};

class CORE_API CRLEBBCompressor : public CCompressor {
public:
  CRLEBBCompressor() {}
  CRLEBBCompressor(const CRLEBBCompressor &cmp) : CCompressor(cmp) {}
  // size + size / 128 + 5.
  long NeededDestinationSize(long slSourceSize) override;
  // The run lengths are worked out in the tail of the destination, so the capacity must be at
  // least the needed size.
  int Pack(const void *pvSource, long slSourceSize, void *pvDestination,
           long &slDestinationSize) override;
  int Unpack(const void *pvSource, long slSourceSize, void *pvDestination,
             long &slDestinationSize) override;
  long MaxUnpackedSize(long slPackedSize) override;
};

class CORE_API CLZCompressor : public CCompressor {
public:
  CLZCompressor() {}
  CLZCompressor(const CLZCompressor &cmp) : CCompressor(cmp) {}
  // size + 256.
  long NeededDestinationSize(long slSourceSize) override;
  // Stores the source as it is (flag byte 1) when packing would not make it smaller.
  int Pack(const void *pvSource, long slSourceSize, void *pvDestination,
           long &slDestinationSize) override;
  int Unpack(const void *pvSource, long slSourceSize, void *pvDestination,
             long &slDestinationSize) override;
  long MaxUnpackedSize(long slPackedSize) override;
};

class CORE_API CzlibCompressor : public CCompressor {
public:
  CzlibCompressor() {}
  CzlibCompressor(const CzlibCompressor &cmp) : CCompressor(cmp) {}
  // 32 + size x 1.1.
  long NeededDestinationSize(long slSourceSize) override;
  int Pack(const void *pvSource, long slSourceSize, void *pvDestination,
           long &slDestinationSize) override;
  int Unpack(const void *pvSource, long slSourceSize, void *pvDestination,
             long &slDestinationSize) override;
  long MaxUnpackedSize(long slPackedSize) override;
};

} // namespace QuennelEngine
