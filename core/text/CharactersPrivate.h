#pragma once
// Private to Core: the character tables and inline lookups for the hot loops of the text functions.
#include "core/text/Characters.h"

namespace QuennelEngine {
namespace TextTables {

extern const unsigned char chClassBits[128];
// A byte-indexed table; a struct so it can be built by a constant expression.
struct ByteTable {
  unsigned char a[256];
};
extern const ByteTable chLowerTable;
extern const ByteTable chUpperTable;
extern const unsigned char wchClassBits[];
extern const unsigned short wchUpperTable[];
extern const unsigned short wchLowerTable[];
const int WCH_TABLE_SIZE = 0x510;

} // namespace TextTables

inline int chClassOf(char c)
{
  return (signed char)c < 0 ? 0 : TextTables::chClassBits[(int)c];
}
inline int wchClassOf(unsigned short c)
{
  return c < TextTables::WCH_TABLE_SIZE ? TextTables::wchClassBits[c] : 0;
}
inline char chLower(char c)
{
  return (char)TextTables::chLowerTable.a[(unsigned char)c];
}
inline char chUpper(char c)
{
  return (char)TextTables::chUpperTable.a[(unsigned char)c];
}
inline unsigned short wchLower(unsigned short c)
{
  return c < TextTables::WCH_TABLE_SIZE ? TextTables::wchLowerTable[c] : c;
}
inline unsigned short wchUpper(unsigned short c)
{
  return c < TextTables::WCH_TABLE_SIZE ? TextTables::wchUpperTable[c] : c;
}

} // namespace QuennelEngine
