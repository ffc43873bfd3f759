// The run-length coder. Packing works out, from the end backwards, how many equal bytes follow
// each byte (at most 128; a longer run restarts the count) and keeps those counts in the tail of
// the destination buffer, so it needs no memory of its own. The packets written from the front
// never catch up with the counts still to be read: a literal packet costs one byte more than it
// holds, at most once per 128 bytes plus once per following run of three or more, which saves
// that byte back, and the needed size leaves room for that.
#include "core/streams/Compressor.h"

#include <limits.h>
#include <string.h>

namespace QuennelEngine {

long CRLEBBCompressor::NeededDestinationSize(long slSourceSize)
{
  if (slSourceSize < 0) return -1;
  // size x 129 / 128 + 5, without the product that would overflow.
  long slExtra = slSourceSize / 128 + 5;
  return slSourceSize > LONG_MAX - slExtra ? -1 : slSourceSize + slExtra;
}

int CRLEBBCompressor::Pack(const void *pvSource, long slSourceSize, void *pvDestination,
                           long &slDestinationSize)
{
  if (slSourceSize < 0 || pvDestination == nullptr || (pvSource == nullptr && slSourceSize > 0)) {
    return 0;
  }
  long slNeeded = NeededDestinationSize(slSourceSize);
  if (slNeeded < 0 || slDestinationSize < slNeeded) return 0;
  if (slSourceSize == 0) {
    slDestinationSize = 0;
    return 1;
  }
  const unsigned char *pubSource = (const unsigned char *)pvSource;
  unsigned char *pubOut = (unsigned char *)pvDestination;
  unsigned char *pubRuns = pubOut + slDestinationSize - slSourceSize;
  const long ct = slSourceSize;

  pubRuns[ct - 1] = 1;
  for (long i = ct - 2; i >= 0; i--) {
    unsigned char ubNext = pubRuns[i + 1];
    pubRuns[i] = (pubSource[i] == pubSource[i + 1] && ubNext < 128) ? ubNext + 1 : 1;
  }

  long slOut = 0;
  long i = 0;
  while (i < ct) {
    long slRun = pubRuns[i];
    if (slRun > 1) {
      pubOut[slOut++] = (unsigned char)(1 - slRun);
      pubOut[slOut++] = pubSource[i];
      i += slRun;
      continue;
    }
    // Literals take in short runs too, up to and including the first byte of a long run.
    long slLimit = ct - i < 128 ? ct - i : 128;
    long k = 1;
    // Eight run lengths at a time while none of them is above 3.
    while (k + 8 <= slLimit) {
      unsigned long long ullRuns;
      memcpy(&ullRuns, pubRuns + i + k - 1, 8);
      if (ullRuns & 0xFCFCFCFCFCFCFCFCULL) break;
      k += 8;
    }
    while (k < slLimit && pubRuns[i + k - 1] <= 3) {
      k++;
    }
    pubOut[slOut++] = (unsigned char)(k - 1);
    memcpy(pubOut + slOut, pubSource + i, k);
    slOut += k;
    i += k;
  }
  slDestinationSize = slOut;
  return 1;
}

int CRLEBBCompressor::Unpack(const void *pvSource, long slSourceSize, void *pvDestination,
                             long &slDestinationSize)
{
  if (slSourceSize < 0 || slDestinationSize < 0 || (pvSource == nullptr && slSourceSize > 0) ||
      (pvDestination == nullptr && slDestinationSize > 0)) {
    return 0;
  }
  const unsigned char *pubIn = (const unsigned char *)pvSource;
  unsigned char *pubOut = (unsigned char *)pvDestination;
  const long slCapacity = slDestinationSize;
  long iIn = 0;
  long slOut = 0;
  while (iIn < slSourceSize) {
    signed char sbControl = (signed char)pubIn[iIn++];
    if (sbControl < 0) {
      long slRun = 1 - sbControl;
      if (iIn >= slSourceSize || slRun > slCapacity - slOut) return 0;
      memset(pubOut + slOut, pubIn[iIn++], slRun);
      slOut += slRun;
    } else {
      long slLiteral = sbControl + 1;
      if (slLiteral > slSourceSize - iIn || slLiteral > slCapacity - slOut) return 0;
      memcpy(pubOut + slOut, pubIn + iIn, slLiteral);
      iIn += slLiteral;
      slOut += slLiteral;
    }
  }
  slDestinationSize = slOut;
  return 1;
}

long CRLEBBCompressor::MaxUnpackedSize(long slPackedSize)
{
  // A two-byte run packet unpacks to at most 129 bytes; literals never grow.
  if (slPackedSize <= 0) return 0;
  long slPackets = slPackedSize / 2;
  return slPackets > LONG_MAX / 129 ? LONG_MAX : slPackets * 129 + (slPackedSize & 1);
}

} // namespace QuennelEngine
