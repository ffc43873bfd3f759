#pragma once
// Signatures: the checksums that guard the blocks of signed streams. Types 1 and 2 both denote
// the standard CRC-32 (see CRC.h), four bytes stored little-endian.
#include "core/streams/DataBlock.h"

namespace QuennelEngine {

enum SignatureType : long {
  SIG_CRC32 = 1,
  SIG_CRC32_COMPAT = 2, // the same checksum under its older number
};

// A signature being computed (sigBegin to sigFinish).
class CSignHandle;

// The size of a signature in bytes: 4 for both types; another type warns "Invalid signature
// type." and gives 0.
CORE_API long sigGetSize(SignatureType eType);
// Starts a signature; finish it with sigFinish, which frees the handle.
CORE_API CSignHandle *sigBegin(SignatureType eType);
// Feeds bytes into a signature (a null handle is a guard breach).
CORE_API void sigUpdate(CSignHandle *psh, const void *pvData, long slSize);
// Completes the signature into a block of 4 bytes and frees the handle (an unknown type warns
// but still gives the CRC; a null handle is a guard breach).
CORE_API void sigFinish(CSignHandle *psh, CDataBlock &dbSignature);
// The signature of one block of bytes.
CORE_API void sigCalculate(SignatureType eType, const void *pvData, long slSize,
                           CDataBlock &dbSignature);
// True for the types this library can compute.
CORE_API bool sigIsKnownType(long slType);

} // namespace QuennelEngine
