// The LZ coder (LZRW1): one pass over the source with a hash table of 4096 recent positions on
// the stack. Each position's next three bytes pick a slot; the position stored there is the one
// candidate for a copy of 3 to 16 bytes from at most 4095 bytes back.
//
// Packed form: a flag byte (0 compressed, 1 stored as it is), then groups of a 16-bit
// little-endian control word and up to 16 items, bit i telling whether item i is a copy (two
// bytes: length - 1 in the low four bits of the first, offset bits 8-11 in its high four bits,
// offset bits 0-7 in the second) or a literal byte.
#include "core/streams/Compressor.h"

#include <limits.h>
#include <string.h>

namespace QuennelEngine {

static const long _slMaxCopy = 16;
static const long _slMaxOffset = 4095;

long CLZCompressor::NeededDestinationSize(long slSourceSize)
{
  if (slSourceSize < 0 || slSourceSize > LONG_MAX - 256) return -1;
  return slSourceSize + 256;
}

static inline unsigned long Hash3(const unsigned char *pub)
{
  unsigned long ul = ((((unsigned long)pub[0] << 4) ^ pub[1]) << 4) ^ pub[2];
  return ((ul * 40543UL) & 0xFFFF) >> 4;
}

int CLZCompressor::Pack(const void *pvSource, long slSourceSize, void *pvDestination,
                        long &slDestinationSize)
{
  if (slSourceSize < 0 || pvDestination == nullptr || (pvSource == nullptr && slSourceSize > 0)) {
    return 0;
  }
  long slNeeded = NeededDestinationSize(slSourceSize);
  if (slNeeded < 0 || slDestinationSize < slNeeded) return 0;
  const unsigned char *pubSource = (const unsigned char *)pvSource;
  unsigned char *pubOut = (unsigned char *)pvDestination;
  const long ct = slSourceSize;

  long aiHash[4096];
  memset(aiHash, 0xFF, sizeof(aiHash)); // every slot empty (-1)
  long iControl = 1;
  long slOut = 3;
  unsigned long ulControl = 0;
  int ctItems = 0;
  const long iLastMatch = ct - _slMaxCopy; // the last 16 bytes are literals
  long i = 0;
  while (i < ct) {
    if (slOut > ct) goto Stored;
    if (i < iLastMatch) {
      unsigned long ulHash = Hash3(pubSource + i);
      long iCandidate = aiHash[ulHash];
      aiHash[ulHash] = i;
      long slOffset = i - iCandidate;
      if (iCandidate >= 0 && slOffset <= _slMaxOffset && pubSource[iCandidate] == pubSource[i] &&
          pubSource[iCandidate + 1] == pubSource[i + 1] &&
          pubSource[iCandidate + 2] == pubSource[i + 2]) {
        long slLength = 3;
        while (slLength < _slMaxCopy &&
               pubSource[iCandidate + slLength] == pubSource[i + slLength]) {
          slLength++;
        }
        pubOut[slOut++] = (unsigned char)(((slOffset >> 4) & 0xF0) | (slLength - 1));
        pubOut[slOut++] = (unsigned char)(slOffset & 0xFF);
        ulControl |= 1UL << ctItems;
        i += slLength;
        goto ItemDone;
      }
    }
    pubOut[slOut++] = pubSource[i++];
  ItemDone:
    if (++ctItems == 16) {
      pubOut[iControl] = (unsigned char)(ulControl & 0xFF);
      pubOut[iControl + 1] = (unsigned char)(ulControl >> 8);
      iControl = slOut;
      slOut += 2;
      ulControl = 0;
      ctItems = 0;
    }
  }
  if (ctItems > 0) {
    pubOut[iControl] = (unsigned char)(ulControl & 0xFF);
    pubOut[iControl + 1] = (unsigned char)(ulControl >> 8);
  } else {
    slOut -= 2; // a last group without items has no control word
  }
  if (slOut > ct) goto Stored;
  pubOut[0] = 0;
  slDestinationSize = slOut;
  return 1;

Stored:
  pubOut[0] = 1;
  memcpy(pubOut + 1, pubSource, ct);
  slDestinationSize = ct + 1;
  return 1;
}

// Copies one copy item of `slLength` bytes from `slOffset` back; overlapping copies repeat bytes.
// `bRoom`: 16 bytes may be written whatever the length.
static inline void CopyItem(unsigned char *pubTo, long slOffset, long slLength, bool bRoom)
{
  const unsigned char *pubFrom = pubTo - slOffset;
  if (bRoom && slOffset >= 8) {
    // Two 8-byte moves: with an offset of 8 to 15 the second reads what the first wrote, as an
    // overlapping copy must.
    memcpy(pubTo, pubFrom, 8);
    memcpy(pubTo + 8, pubFrom + 8, 8);
  } else {
    for (long k = 0; k < slLength; k++) pubTo[k] = pubFrom[k];
  }
}

int CLZCompressor::Unpack(const void *pvSource, long slSourceSize, void *pvDestination,
                          long &slDestinationSize)
{
  if (slSourceSize < 1 || slDestinationSize < 0 || pvSource == nullptr ||
      (pvDestination == nullptr && slDestinationSize > 0)) {
    return 0;
  }
  const unsigned char *pubIn = (const unsigned char *)pvSource;
  const unsigned char *pubInEnd = pubIn + slSourceSize;
  unsigned char *pubOutStart = (unsigned char *)pvDestination;
  unsigned char *pubOut = pubOutStart;
  unsigned char *pubOutEnd = pubOut + slDestinationSize;
  if (pubIn[0] == 1) {
    if (slSourceSize - 1 > slDestinationSize) return 0;
    memcpy(pubOut, pubIn + 1, slSourceSize - 1);
    slDestinationSize = slSourceSize - 1;
    return 1;
  }
  if (pubIn[0] != 0) return 0;
  pubIn++;

  // Whole groups while a group cannot reach either end: a group takes at most 2 + 16 x 2 bytes
  // and gives at most 16 x 16, and every move may spill 16 bytes. Runs of literals between
  // copies move at once.
  while (pubInEnd - pubIn >= 2 + 32 + 16 && pubOutEnd - pubOut >= 256 + 16) {
    unsigned long ulControl = pubIn[0] | (unsigned long)pubIn[1] << 8;
    pubIn += 2;
    int ctLeft = 16;
    for (;;) {
      int ctLiterals = __builtin_ctz(ulControl | (1UL << ctLeft));
      memcpy(pubOut, pubIn, 16);
      pubOut += ctLiterals;
      pubIn += ctLiterals;
      ctLeft -= ctLiterals;
      if (ctLeft == 0) break;
      ulControl >>= ctLiterals + 1;
      ctLeft--;
      long slLength = (pubIn[0] & 15) + 1;
      long slOffset = (long)(pubIn[0] & 0xF0) << 4 | pubIn[1];
      pubIn += 2;
      if (slOffset == 0 || slOffset > pubOut - pubOutStart) return 0;
      CopyItem(pubOut, slOffset, slLength, true);
      pubOut += slLength;
      if (ctLeft == 0) break;
    }
  }
  // The rest item by item, every step checked against both ends.
  while (pubIn < pubInEnd) {
    if (pubInEnd - pubIn < 2) return 0;
    unsigned long ulControl = pubIn[0] | (unsigned long)pubIn[1] << 8;
    pubIn += 2;
    for (int iItem = 0; iItem < 16 && pubIn < pubInEnd; iItem++, ulControl >>= 1) {
      if (!(ulControl & 1)) {
        if (pubOut >= pubOutEnd) return 0;
        *pubOut++ = *pubIn++;
        continue;
      }
      if (pubInEnd - pubIn < 2) return 0;
      long slLength = (pubIn[0] & 15) + 1;
      long slOffset = (long)(pubIn[0] & 0xF0) << 4 | pubIn[1];
      pubIn += 2;
      if (slOffset == 0 || slOffset > pubOut - pubOutStart || slLength > pubOutEnd - pubOut)
        return 0;
      CopyItem(pubOut, slOffset, slLength, pubOutEnd - pubOut >= 16);
      pubOut += slLength;
    }
  }
  slDestinationSize = (long)(pubOut - pubOutStart);
  return 1;
}

long CLZCompressor::MaxUnpackedSize(long slPackedSize)
{
  // A two-byte copy gives at most 16 bytes; stored data and literals never grow.
  if (slPackedSize <= 0) return 0;
  return slPackedSize > LONG_MAX / 8 ? LONG_MAX : slPackedSize * 8;
}

} // namespace QuennelEngine
