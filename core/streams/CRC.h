#pragma once
// CRC-32 as ZIP, zlib and the signed streams use it: reflected polynomial 0xEDB88320, register
// started at all ones and complemented at the end.
#include "core/platform/Platform.h"

namespace QuennelEngine {

// The standard CRC-32 table: entry i is the register after shifting the byte i through it.
CORE_API extern const unsigned long _crc_aulCRCTable[256];

// Feeds bytes into a running CRC register (start with 0xFFFFFFFF, complement at the end). A
// negative size feeds nothing.
CORE_API unsigned long crcUpdate(unsigned long ulCRC, const void *pvData, long slSize);
// The CRC-32 of a block, as zlib's crc32(0, data, size) gives it.
CORE_API unsigned long crcCalculate(const void *pvData, long slSize);

// Feeds one byte into a running CRC register.
inline unsigned long crcUpdateByte(unsigned long ulCRC, unsigned char ub)
{
  return _crc_aulCRCTable[(ulCRC ^ ub) & 0xFF] ^ (ulCRC >> 8);
}

} // namespace QuennelEngine
