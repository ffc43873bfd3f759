#include "core/platform/KeyIdentifiers.h"

#include <string.h>

namespace QuennelEngine {

namespace {

// One key of the table: its KID, scan code (extended keys + 256), characters and names.
struct KeyDefinition {
  long kd_iKID;
  long kd_iScanCode;
  char kd_chPlain;
  char kd_chShifted;
  const char *kd_strLongName;
  const char *kd_strShortName;
};

// In increasing KID order: where two keys type the same character, the first one wins, so the
// main keys take the digits, '.', '/' and '-' before the numeric pad. '*' and '+' are only shifted
// characters of main keys, so in the plain table they belong to the pad's keys.
const KeyDefinition _akdKeys[] = {
    {17, 2, '1', '!', "1", "1"},
    {18, 3, '2', '@', "2", "2"},
    {19, 4, '3', '#', "3", "3"},
    {20, 5, '4', '$', "4", "4"},
    {21, 6, '5', '%', "5", "5"},
    {22, 7, '6', '^', "6", "6"},
    {23, 8, '7', '&', "7", "7"},
    {24, 9, '8', '*', "8", "8"},
    {25, 10, '9', '(', "9", "9"},
    {26, 11, '0', ')', "0", "0"},
    {27, 12, '-', '_', "-", "-"},
    {28, 13, '=', '+', "=", "="},
    {32, 16, 'q', 'Q', "Q", "Q"},
    {33, 17, 'w', 'W', "W", "W"},
    {34, 18, 'e', 'E', "E", "E"},
    {35, 19, 'r', 'R', "R", "R"},
    {36, 20, 't', 'T', "T", "T"},
    {37, 21, 'y', 'Y', "Y", "Y"},
    {38, 22, 'u', 'U', "U", "U"},
    {39, 23, 'i', 'I', "I", "I"},
    {40, 24, 'o', 'O', "O", "O"},
    {41, 25, 'p', 'P', "P", "P"},
    {42, 26, '[', '{', "[", "["},
    {43, 27, ']', '}', "]", "]"},
    {44, 43, '\\', '|', "\\", "\\"},
    {48, 30, 'a', 'A', "A", "A"},
    {49, 31, 's', 'S', "S", "S"},
    {50, 32, 'd', 'D', "D", "D"},
    {51, 33, 'f', 'F', "F", "F"},
    {52, 34, 'g', 'G', "G", "G"},
    {53, 35, 'h', 'H', "H", "H"},
    {54, 36, 'j', 'J', "J", "J"},
    {55, 37, 'k', 'K', "K", "K"},
    {56, 38, 'l', 'L', "L", "L"},
    {57, 39, ';', ':', ";", ";"},
    {58, 40, '\'', '"', "'", "'"},
    {64, 44, 'z', 'Z', "Z", "Z"},
    {65, 45, 'x', 'X', "X", "X"},
    {66, 46, 'c', 'C', "C", "C"},
    {67, 47, 'v', 'V', "V", "V"},
    {68, 48, 'b', 'B', "B", "B"},
    {69, 49, 'n', 'N', "N", "N"},
    {70, 50, 'm', 'M', "M", "M"},
    {71, 51, ',', '<', ",", ","},
    {72, 52, '.', '>', ".", "."},
    {73, 53, '/', '?', "/", "/"},
    {81, 59, 0, 0, "F1", "F1"},
    {82, 60, 0, 0, "F2", "F2"},
    {83, 61, 0, 0, "F3", "F3"},
    {84, 62, 0, 0, "F4", "F4"},
    {85, 63, 0, 0, "F5", "F5"},
    {86, 64, 0, 0, "F6", "F6"},
    {87, 65, 0, 0, "F7", "F7"},
    {88, 66, 0, 0, "F8", "F8"},
    {89, 67, 0, 0, "F9", "F9"},
    {90, 68, 0, 0, "F10", "F10"},
    {91, 87, 0, 0, "F11", "F11"},
    {92, 88, 0, 0, "F12", "F12"},
    {96, 1, 0, 0, "Escape", "Esc"},
    {97, 41, '`', '~', "Tilde", "~"},
    {98, 14, 0, 0, "Backspace", "Bcs"},
    {99, 15, 0, 0, "Tab", "Tab"},
    {100, 58, 0, 0, "Caps Lock", "CL"},
    {101, 28, 0, 0, "Enter", "Ent"},
    {102, 57, ' ', ' ', "Space", "Spc"},
    {112, 42, 0, 0, "Left Shift", "LS"},
    {113, 54, 0, 0, "Right Shift", "RS"},
    {114, 29, 0, 0, "Left Control", "LC"},
    {115, 285, 0, 0, "Right Control", "RC"},
    {116, 56, 0, 0, "Left Alt", "LA"},
    {117, 312, 0, 0, "Right Alt", "RA"},
    {118, 347, 0, 0, "Left Win", "LW"},
    // Its own short name, so bindings of the two Win keys read apart.
    {119, 348, 0, 0, "Right Win", "RW"},
    {120, 349, 0, 0, "Right App", "App"},
    {128, 328, 0, 0, "Arrow Up", "AU"},
    {129, 336, 0, 0, "Arrow Down", "AD"},
    {130, 331, 0, 0, "Arrow Left", "AL"},
    {131, 333, 0, 0, "Arrow Right", "AR"},
    {132, 338, 0, 0, "Insert", "Ins"},
    {133, 339, 0, 0, "Delete", "Del"},
    {134, 327, 0, 0, "Home", "Hom"},
    {135, 335, 0, 0, "End", "End"},
    {136, 329, 0, 0, "Page Up", "PU"},
    {137, 337, 0, 0, "Page Down", "PD"},
    {138, 311, 0, 0, "Print Screen", "PScr"},
    {139, 70, 0, 0, "Scroll Lock", "Scrl"},
    {140, 69, 0, 0, "Pause", "Brk"},
    {144, 82, '0', '0', "Num 0", "N0"},
    {145, 79, '1', '1', "Num 1", "N1"},
    {146, 80, '2', '2', "Num 2", "N2"},
    {147, 81, '3', '3', "Num 3", "N3"},
    {148, 75, '4', '4', "Num 4", "N4"},
    {149, 76, '5', '5', "Num 5", "N5"},
    {150, 77, '6', '6', "Num 6", "N6"},
    {151, 71, '7', '7', "Num 7", "N7"},
    {152, 72, '8', '8', "Num 8", "N8"},
    {153, 73, '9', '9', "Num 9", "N9"},
    {154, 83, '.', '.', "Num .", "N."},
    {160, 325, 0, 0, "Num Lock", "NL"},
    {161, 309, '/', '/', "Num /", "N/"},
    {162, 55, '*', '*', "Num *", "N*"},
    {163, 74, '-', '-', "Num -", "N-"},
    {164, 78, '+', '+', "Num +", "N+"},
    {165, 284, 0, 0, "Num Enter", "NE"},
};

struct KeyRecord {
  char kr_chPlain;
  char kr_chShifted;
  const char *kr_strLongName;
  const char *kr_strShortName;
};

// KIDs, -1 for none.
short _aiScanCodeToKID[SYS_SCANCODES];
short _aiCharToKID[256];
short _aiShiftCharToKID[256];
KeyRecord _akrRecords[SYS_KIDS];
// Set once the tables are complete; a reader that sees it sees full tables.
volatile long _bTablesBuilt = 0;

void BuildTables(void)
{
  for (long i = 0; i < SYS_SCANCODES; i++) _aiScanCodeToKID[i] = -1;
  for (long i = 0; i < 256; i++) {
    _aiCharToKID[i] = -1;
    _aiShiftCharToKID[i] = -1;
  }
  for (long i = 0; i < SYS_KIDS; i++) {
    _akrRecords[i].kr_chPlain = 0;
    _akrRecords[i].kr_chShifted = 0;
    _akrRecords[i].kr_strLongName = "";
    _akrRecords[i].kr_strShortName = "";
  }
  for (const KeyDefinition &kd : _akdKeys) {
    _aiScanCodeToKID[kd.kd_iScanCode] = (short)kd.kd_iKID;
    KeyRecord &kr = _akrRecords[kd.kd_iKID];
    kr.kr_chPlain = kd.kd_chPlain;
    kr.kr_chShifted = kd.kd_chShifted;
    kr.kr_strLongName = kd.kd_strLongName;
    kr.kr_strShortName = kd.kd_strShortName;
    unsigned char ubPlain = (unsigned char)kd.kd_chPlain;
    unsigned char ubShifted = (unsigned char)kd.kd_chShifted;
    if (ubPlain != 0 && _aiCharToKID[ubPlain] == -1) _aiCharToKID[ubPlain] = (short)kd.kd_iKID;
    if (ubShifted != 0 && _aiShiftCharToKID[ubShifted] == -1) {
      _aiShiftCharToKID[ubShifted] = (short)kd.kd_iKID;
    }
  }
}

inline void EnsureTables(void)
{
  if (QE_LIKELY(__atomic_load_n(&_bTablesBuilt, __ATOMIC_ACQUIRE))) return;
  sysInitConversionTable();
}

} // namespace

void sysInitConversionTable(void)
{
  // Building twice gives the same bytes, so two threads racing here do no harm.
  BuildTables();
  __atomic_store_n(&_bTablesBuilt, 1, __ATOMIC_RELEASE);
}

long sysGetKIDFromScanCode(long iScanCode)
{
  if (iScanCode < 0 || iScanCode >= SYS_SCANCODES) return -1;
  EnsureTables();
  return _aiScanCodeToKID[iScanCode];
}

char sysGetCharFromKID(long iKID)
{
  if (iKID < 0 || iKID >= SYS_KIDS) return (char)-1;
  EnsureTables();
  return _akrRecords[iKID].kr_chPlain;
}

char sysGetShiftCharFromKID(long iKID)
{
  if (iKID < 0 || iKID >= SYS_KIDS) return (char)-1;
  EnsureTables();
  return _akrRecords[iKID].kr_chShifted;
}

long sysGetKIDFromCharacter(char ch)
{
  unsigned char ub = (unsigned char)ch;
  // Characters above 127 are negative as chars; no key of the layout types them anyway.
  if (ub >= 128) return -1;
  EnsureTables();
  if (ub >= 'A' && ub <= 'Z') return _aiShiftCharToKID[ub];
  return _aiCharToKID[ub];
}

CString sysGetKIDName(long iKID, int bShort)
{
  if (iKID < 0 || iKID >= SYS_KIDS) return CString("error");
  EnsureTables();
  const KeyRecord &kr = _akrRecords[iKID];
  return CString(bShort ? kr.kr_strShortName : kr.kr_strLongName);
}

} // namespace QuennelEngine
