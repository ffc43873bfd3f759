#pragma once
// Character classes, case conversion and character conversions for 8-bit and 16-bit text.
// The 8-bit tables cover ASCII (bytes 128-255 have no class); the 16-bit tables cover
// U+0000-U+050F.
#include "core/platform/Platform.h"

namespace QuennelEngine {

// Class bits of a character.
enum CharacterClass {
  CHC_VALID = 1,
  CHC_ALPHA = 2,
  CHC_UPPER = 4,
  CHC_LOWER = 8,
  CHC_DIGIT = 16,
  CHC_SPACE = 32,
  CHC_PUNCT = 64,
  CHC_PRINT = 128,
};

// The replacement for a character that cannot be represented.
const char CH_INVALID = 31;

// Class bits of `c` ANDed with `bits` (0 for bytes 128-255 and code points above U+050F).
CORE_API int chIsOfType(char c, int bits);
CORE_API int wchIsOfType(unsigned short c, int bits);

CORE_API int chIsValidChar(char c);
CORE_API int chIsAlpha(char c);
CORE_API int chIsUpper(char c);
CORE_API int chIsLower(char c);
CORE_API int chIsDigit(char c);
CORE_API int chIsSpace(char c);
CORE_API int chIsPunct(char c);
CORE_API int chIsPrint(char c);
CORE_API int wchIsValidChar(unsigned short c);
CORE_API int wchIsAlpha(unsigned short c);
CORE_API int wchIsUpper(unsigned short c);
CORE_API int wchIsLower(unsigned short c);
CORE_API int wchIsDigit(unsigned short c);
CORE_API int wchIsSpace(unsigned short c);
CORE_API int wchIsPunct(unsigned short c);
CORE_API int wchIsPrint(unsigned short c);

// Case conversion: ASCII letters for 8-bit text, Unicode simple case mappings up to U+050F.
CORE_API char chToUpper(char c);
CORE_API char chToLower(char c);
CORE_API unsigned short wchToUpper(unsigned short c);
CORE_API unsigned short wchToLower(unsigned short c);

// The character itself if it is valid, else 31.
CORE_API char chToValidChar(char c);
CORE_API unsigned short wchToValidWChar(unsigned short c);

// True if the character may appear in a file name (compared case-insensitively).
CORE_API int chIsValidFileNameChar(char c);
CORE_API int wchIsValidFileNameChar(unsigned short c);

// 127 gives 31, tab gives a blank, otherwise the widened character if it is valid, else 31.
CORE_API unsigned short chASCIIToUTF16(char c);
// 127 and above give 31, tab gives a blank, otherwise the character if it is valid, else 31.
CORE_API char wchUTF16ToASCII(unsigned short w);

} // namespace QuennelEngine
