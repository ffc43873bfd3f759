#include "core/text/Hash.h"

#include "core/text/TextPrivate.h"

namespace QuennelEngine {

static inline unsigned long RotateLeft4(unsigned long ul)
{
  return (ul << 4) | (ul >> 28);
}

unsigned long strGetHash(const char *str)
{
  unsigned long ulHash = 0;
  if (str == nullptr) return 0;
  for (; *str != 0; str++) {
    ulHash = RotateLeft4(ulHash) + (unsigned long)(long)(signed char)chUpper(*str);
  }
  return ulHash;
}

unsigned long strGetHashS(const char *str)
{
  unsigned long ulHash = 0;
  if (str == nullptr) return 0;
  for (; *str != 0; str++) {
    ulHash = RotateLeft4(ulHash) + (unsigned long)(long)(signed char)*str;
  }
  return ulHash;
}

unsigned long wstrGetHash(const unsigned short *wstr)
{
  unsigned long ulHash = 0;
  if (wstr == nullptr) return 0;
  for (; *wstr != 0; wstr++) ulHash = RotateLeft4(ulHash) + wchUpper(*wstr);
  return ulHash;
}

unsigned long wstrGetHashS(const unsigned short *wstr)
{
  unsigned long ulHash = 0;
  if (wstr == nullptr) return 0;
  for (; *wstr != 0; wstr++) ulHash = RotateLeft4(ulHash) + *wstr;
  return ulHash;
}

} // namespace QuennelEngine
