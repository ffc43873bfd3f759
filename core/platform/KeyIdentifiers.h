#pragma once
// Key identifiers (KIDs): small integers that name a physical key of the keyboard independently
// of the system's codes. Keyboard events carry the KID found from the key's scan code; input,
// console and binding code turn KIDs into characters and printable names.
//
// The scan codes are those of the PC keyboard as Windows reports them (set 1), plus 256 for keys
// that report the extended flag. The characters are those of a United States layout.
#include "core/text/String.h"

namespace QuennelEngine {

// The KIDs in use; every other value below 256 is unused (no characters, empty names).
// clang-format off
enum KeyID {
  KID_NONE = -1,
  // Digit row, 1 to 9 then 0, minus and equals.
  KID_1 = 17, KID_2, KID_3, KID_4, KID_5, KID_6, KID_7, KID_8, KID_9, KID_0,
  KID_MINUS = 27, KID_EQUALS = 28,
  KID_Q = 32, KID_W, KID_E, KID_R, KID_T, KID_Y, KID_U, KID_I, KID_O, KID_P,
  KID_LBRACKET = 42, KID_RBRACKET = 43, KID_BACKSLASH = 44,
  KID_A = 48, KID_S, KID_D, KID_F, KID_G, KID_H, KID_J, KID_K, KID_L,
  KID_SEMICOLON = 57, KID_APOSTROPHE = 58,
  KID_Z = 64, KID_X, KID_C, KID_V, KID_B, KID_N, KID_M,
  KID_COMMA = 71, KID_PERIOD = 72, KID_SLASH = 73,
  KID_F1 = 81, KID_F2, KID_F3, KID_F4, KID_F5, KID_F6, KID_F7, KID_F8, KID_F9, KID_F10,
  KID_F11 = 91, KID_F12 = 92,
  KID_ESCAPE = 96, KID_TILDE = 97, KID_BACKSPACE = 98, KID_TAB = 99, KID_CAPSLOCK = 100,
  KID_ENTER = 101, KID_SPACE = 102,
  KID_LSHIFT = 112, KID_RSHIFT, KID_LCONTROL, KID_RCONTROL, KID_LALT, KID_RALT, KID_LWIN,
  KID_RWIN, KID_APPS = 120,
  KID_ARROWUP = 128, KID_ARROWDOWN, KID_ARROWLEFT, KID_ARROWRIGHT, KID_INSERT, KID_DELETE,
  KID_HOME, KID_END, KID_PAGEUP, KID_PAGEDOWN, KID_PRINTSCR, KID_SCROLLLOCK, KID_PAUSE = 140,
  KID_NUM0 = 144, KID_NUM1, KID_NUM2, KID_NUM3, KID_NUM4, KID_NUM5, KID_NUM6, KID_NUM7, KID_NUM8,
  KID_NUM9, KID_NUMDECIMAL = 154,
  KID_NUMLOCK = 160, KID_NUMSLASH, KID_NUMMULTIPLY, KID_NUMMINUS, KID_NUMPLUS, KID_NUMENTER = 165,
};
// clang-format on

// Table sizes: scan codes with the extended flag, characters, KIDs.
const long SYS_SCANCODES = 512;
const long SYS_KIDS = 256;

// Builds the conversion tables. The lookups build them on first use as well; running it again
// gives the same tables.
CORE_API void sysInitConversionTable(void);
// The KID of a scan code (plus 256 for extended keys); -1 for a code outside 0..511 or without a
// key.
CORE_API long sysGetKIDFromScanCode(long iScanCode);
// The key's character (0 for a key without one); -1 for a KID outside 0..255.
CORE_API char sysGetCharFromKID(long iKID);
// The key's character with shift held (0 for a key without one); -1 for a KID outside 0..255.
CORE_API char sysGetShiftCharFromKID(long iKID);
// The key that types the character: the shifted table for upper-case letters, the plain table
// for everything else (so shifted punctuation such as '!' gives -1); -1 for a character no key
// types, and for every character outside 0..127.
CORE_API long sysGetKIDFromCharacter(char ch);
// The key's long name (bShort = 0) or short name; "" for an unused KID, "error" outside 0..255.
CORE_API CString sysGetKIDName(long iKID, int bShort);

} // namespace QuennelEngine
