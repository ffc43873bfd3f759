#pragma once
// Text hashes for the hash tables (not stored in files): h = rotl(h, 4) + character.
#include "core/platform/Platform.h"

namespace QuennelEngine {

// Case-insensitive hash: adds the upper-case form of each character as a signed 8-bit value.
CORE_API unsigned long strGetHash(const char *str);
// Case-sensitive hash: adds each character as a signed 8-bit value.
CORE_API unsigned long strGetHashS(const char *str);
// Case-insensitive hash of 16-bit text: adds wchToUpper of each unit.
CORE_API unsigned long wstrGetHash(const unsigned short *wstr);
// Case-sensitive hash of 16-bit text.
CORE_API unsigned long wstrGetHashS(const unsigned short *wstr);

} // namespace QuennelEngine
