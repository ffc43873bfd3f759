#pragma once
// Conversion between 8-bit text, UTF-8 and UTF-16 (Basic Multilingual Plane). A character that
// cannot be represented becomes 31.
#include "core/text/String.h"
#include "core/text/WString.h"

namespace QuennelEngine {

// Each byte through chASCIIToUTF16.
CORE_API CWString strASCIIToUTF16(const char *str);
// Each unit through wchUTF16ToASCII.
CORE_API CString strUTF16ToASCII(const unsigned short *wstr);
// UTF-16 to UTF-8.
CORE_API CString strUTF16ToUTF8(const unsigned short *wstr);
// UTF-8 to UTF-16, decoding with strReadWChar.
CORE_API CWString strUTF8ToUTF16(const char *str);
// The UTF-8 sequence of one 16-bit character.
CORE_API CString wchUTF16ToUTF8(unsigned short wch);

// The length of a UTF-8 sequence from its first byte: 3 if the top three bits are set, 2 if the
// top two are, 1 below 128, 0 for a continuation byte.
CORE_API int strUTF8GetBytesCount(char chLead);
// Writes the 1 to 3 bytes of `wch` at `iPosition` of `pchBuffer`, advancing the position.
CORE_API void strWriteUTF8Char(unsigned short wch, char *pchBuffer, int &iPosition);
// Decodes the character at `iPosition` and advances past it (never past the terminator). Broken
// or overlong sequences, U+FFFF and characters beyond the Basic Multilingual Plane give 31.
CORE_API unsigned short strReadWChar(const char *str, int &iPosition);
// Decodes the character at `iPosition` without advancing.
CORE_API unsigned short strGetWChar(const char *str, int iPosition);

} // namespace QuennelEngine
