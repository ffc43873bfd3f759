#include "core/text/CharactersPrivate.h"

namespace QuennelEngine {
namespace TextTables {

#include "core/text/UnicodeTables.inc"

// 8-bit classes of ASCII; bytes 128-255 have none.
// clang-format off
enum { V = CHC_VALID, VS = CHC_VALID | CHC_SPACE, VSP = CHC_VALID | CHC_SPACE | CHC_PRINT,
       VPP = CHC_VALID | CHC_PUNCT | CHC_PRINT, VDP = CHC_VALID | CHC_DIGIT | CHC_PRINT,
       VUP = CHC_VALID | CHC_ALPHA | CHC_UPPER | CHC_PRINT,
       VLP = CHC_VALID | CHC_ALPHA | CHC_LOWER | CHC_PRINT };

const unsigned char chClassBits[128] = {
  V,   0,   0,   0,   0,   0,   0,   0,   0,   0,   VS,  0,   0,   0,   0,   0,
  0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   V,
  VSP, VPP, VPP, VPP, VPP, VPP, VPP, VPP, VPP, VPP, VPP, VPP, VPP, VPP, VPP, VPP,
  VDP, VDP, VDP, VDP, VDP, VDP, VDP, VDP, VDP, VDP, VPP, VPP, VPP, VPP, VPP, VPP,
  VPP, VUP, VUP, VUP, VUP, VUP, VUP, VUP, VUP, VUP, VUP, VUP, VUP, VUP, VUP, VUP,
  VUP, VUP, VUP, VUP, VUP, VUP, VUP, VUP, VUP, VUP, VUP, VPP, VPP, VPP, VPP, VPP,
  VPP, VLP, VLP, VLP, VLP, VLP, VLP, VLP, VLP, VLP, VLP, VLP, VLP, VLP, VLP, VLP,
  VLP, VLP, VLP, VLP, VLP, VLP, VLP, VLP, VLP, VLP, VLP, VPP, VPP, VPP, VPP, 0,
};
// clang-format on

// Case tables over all 256 byte values: only ASCII letters change.
static constexpr ByteTable MakeCaseTable(char chFrom, char chTo)
{
  ByteTable t = {};
  for (int i = 0; i < 256; i++) {
    t.a[i] = (unsigned char)(i >= chFrom && i <= chFrom + 25 ? i - chFrom + chTo : i);
  }
  return t;
}
const ByteTable chLowerTable = MakeCaseTable('A', 'a');
const ByteTable chUpperTable = MakeCaseTable('a', 'A');

} // namespace TextTables
} // namespace QuennelEngine

namespace QuennelEngine {

int chIsOfType(char c, int bits)
{
  return chClassOf(c) & bits;
}
int wchIsOfType(unsigned short c, int bits)
{
  return wchClassOf(c) & bits;
}

int chIsValidChar(char c)
{
  return chClassOf(c) & CHC_VALID;
}
int chIsAlpha(char c)
{
  return chClassOf(c) & CHC_ALPHA;
}
int chIsUpper(char c)
{
  return chClassOf(c) & CHC_UPPER;
}
int chIsLower(char c)
{
  return chClassOf(c) & CHC_LOWER;
}
int chIsDigit(char c)
{
  return chClassOf(c) & CHC_DIGIT;
}
int chIsSpace(char c)
{
  return chClassOf(c) & CHC_SPACE;
}
int chIsPunct(char c)
{
  return chClassOf(c) & CHC_PUNCT;
}
int chIsPrint(char c)
{
  return chClassOf(c) & CHC_PRINT;
}
int wchIsValidChar(unsigned short c)
{
  return wchClassOf(c) & CHC_VALID;
}
int wchIsAlpha(unsigned short c)
{
  return wchClassOf(c) & CHC_ALPHA;
}
int wchIsUpper(unsigned short c)
{
  return wchClassOf(c) & CHC_UPPER;
}
int wchIsLower(unsigned short c)
{
  return wchClassOf(c) & CHC_LOWER;
}
int wchIsDigit(unsigned short c)
{
  return wchClassOf(c) & CHC_DIGIT;
}
int wchIsSpace(unsigned short c)
{
  return wchClassOf(c) & CHC_SPACE;
}
int wchIsPunct(unsigned short c)
{
  return wchClassOf(c) & CHC_PUNCT;
}
int wchIsPrint(unsigned short c)
{
  return wchClassOf(c) & CHC_PRINT;
}

char chToUpper(char c)
{
  return chUpper(c);
}
char chToLower(char c)
{
  return chLower(c);
}
unsigned short wchToUpper(unsigned short c)
{
  return wchUpper(c);
}
unsigned short wchToLower(unsigned short c)
{
  return wchLower(c);
}

char chToValidChar(char c)
{
  return chClassOf(c) & CHC_VALID ? c : CH_INVALID;
}

unsigned short wchToValidWChar(unsigned short c)
{
  return wchClassOf(c) & CHC_VALID ? c : (unsigned short)CH_INVALID;
}

// The characters allowed in file names. The stored set has no upper-case W; the test folds case,
// so both W and w pass through the lower-case w.
static const char _strFileNameChars[] =
    " 0123456789ABCDEFGHIJKLMNOPQRSTUVXYZabcdefghijklmnopqrstuvwxyz!#$%&'()+,-.;=[]^_{}~@`";

// Folded form of the set, as a lookup by folded character.
struct FileNameTable {
  bool ab[128];
  constexpr FileNameTable() : ab()
  {
    for (const char *pch = _strFileNameChars; *pch != 0; pch++) {
      char c = *pch;
      ab[(int)(c >= 'A' && c <= 'Z' ? c + 32 : c)] = true;
    }
  }
};
static constexpr FileNameTable _fileNameTable;

int chIsValidFileNameChar(char c)
{
  char chFolded = chLower(c);
  return (signed char)chFolded > 0 && _fileNameTable.ab[(int)chFolded];
}

int wchIsValidFileNameChar(unsigned short c)
{
  unsigned short wchFolded = wchLower(c);
  return wchFolded > 0 && wchFolded < 128 && _fileNameTable.ab[wchFolded];
}

unsigned short chASCIIToUTF16(char c)
{
  if (c == 127) return CH_INVALID;
  if (c == '\t') return ' ';
  // Bytes 128-255 widen to negative values, which are not valid.
  unsigned short w = (unsigned short)(short)c;
  return wchClassOf(w) & CHC_VALID ? w : (unsigned short)CH_INVALID;
}

char wchUTF16ToASCII(unsigned short w)
{
  if (w >= 127) return CH_INVALID;
  if (w == '\t') return ' ';
  return chClassOf((char)w) & CHC_VALID ? (char)w : CH_INVALID;
}

} // namespace QuennelEngine
