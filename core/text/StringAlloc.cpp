#include "core/text/StringAlloc.h"

#include "core/frame/CodeGuard.h"
#include "core/memory/Memory.h"
#include "core/text/TextPrivate.h"

#include <string.h>

namespace QuennelEngine {

// The shared empty arrays. Nothing ever writes to them: every writer checks for them first.
static char _strEmpty[1] = {0};
static unsigned short _wstrEmpty[1] = {0};
static volatile long _ctStrEmptyShares = 0;
static volatile long _ctWStrEmptyShares = 0;

template <class CH> struct AllocTraits;
template <> struct AllocTraits<char> {
  static char *Empty() { return _strEmpty; }
  static volatile long &Shares() { return _ctStrEmptyShares; }
  static char *Raw(int ctUnits) { return memStringAlloc(ctUnits); }
  static char *RawResize(char *p, int ctUnits) { return memStringReAlloc(p, ctUnits); }
  static void RawFree(char *p) { memStringFree(p); }
};
template <> struct AllocTraits<unsigned short> {
  static unsigned short *Empty() { return _wstrEmpty; }
  static volatile long &Shares() { return _ctWStrEmptyShares; }
  static unsigned short *Raw(int ctUnits)
  {
    return (unsigned short *)memMAlloc(ctUnits * sizeof(unsigned short));
  }
  static unsigned short *RawResize(unsigned short *p, int ctUnits)
  {
    return (unsigned short *)memReAlloc(p, ctUnits * sizeof(unsigned short));
  }
  static void RawFree(unsigned short *p) { memFree(p); }
};

template <class CH> static CH *ShareEmpty()
{
  __atomic_add_fetch(&AllocTraits<CH>::Shares(), 1, __ATOMIC_RELAXED);
  return AllocTraits<CH>::Empty();
}

// Lengths beyond this are refused as impossible (they could not be addressed on this platform).
static const int _ctMaxTextLength = 0x3FFFFFFF;

template <class CH> static CH *TextAlloc(int ctChars)
{
  if (ctChars < 0 || ctChars > _ctMaxTextLength) {
    corLogGuardBreach();
    ctChars = 0;
  }
  if (ctChars == 0) return ShareEmpty<CH>();
  CH *p = AllocTraits<CH>::Raw(ctChars + 1);
  p[ctChars] = 0;
  return p;
}

template <class CH> static void TextFree(CH *p)
{
  if (p == nullptr) return;
  if (p == AllocTraits<CH>::Empty()) {
    __atomic_sub_fetch(&AllocTraits<CH>::Shares(), 1, __ATOMIC_RELAXED);
    return;
  }
  AllocTraits<CH>::RawFree(p);
}

template <class CH> static CH *TextResize(CH *p, int ctChars)
{
  if (ctChars < 0 || ctChars > _ctMaxTextLength) {
    corLogGuardBreach();
    ctChars = 0;
  }
  if (p == nullptr || p == AllocTraits<CH>::Empty()) {
    CH *pNew = TextAlloc<CH>(ctChars);
    TextFree(p);
    return pNew;
  }
  if (ctChars == 0) {
    AllocTraits<CH>::RawFree(p);
    return ShareEmpty<CH>();
  }
  p = AllocTraits<CH>::RawResize(p, ctChars + 1);
  p[ctChars] = 0;
  return p;
}

template <class CH> static CH *TextDuplicate(const CH *p)
{
  int ct = TextLength(p);
  CH *pNew = TextAlloc<CH>(ct);
  memcpy(pNew, p, ct * sizeof(CH));
  return pNew;
}

char *strAlloc(int ctChars)
{
  return TextAlloc<char>(ctChars);
}
unsigned short *wstrAlloc(int ctChars)
{
  return TextAlloc<unsigned short>(ctChars);
}
char *strResize(char *pch, int ctChars)
{
  return TextResize(pch, ctChars);
}
unsigned short *wstrResize(unsigned short *pwch, int ctChars)
{
  return TextResize(pwch, ctChars);
}
void strFree(char *pch)
{
  TextFree(pch);
}
void wstrFree(unsigned short *pwch)
{
  TextFree(pwch);
}
char *strDuplicate(const char *pch)
{
  return TextDuplicate(pch);
}
unsigned short *wstrDuplicate(const unsigned short *pwch)
{
  return TextDuplicate(pwch);
}
int strLen(const char *pch)
{
  return TextLength(pch);
}
int wstrLen(const unsigned short *pwch)
{
  return TextLength(pwch);
}
int strIsEmpty(const char *pch)
{
  return pch == nullptr || *pch == 0;
}
int wstrIsEmpty(const unsigned short *pwch)
{
  return pwch == nullptr || *pwch == 0;
}
int strIsSharedEmpty(const char *pch)
{
  return pch == _strEmpty;
}
int wstrIsSharedEmpty(const unsigned short *pwch)
{
  return pwch == _wstrEmpty;
}
long strGetEmptyShareCount(void)
{
  return __atomic_load_n(&_ctStrEmptyShares, __ATOMIC_RELAXED);
}
long wstrGetEmptyShareCount(void)
{
  return __atomic_load_n(&_ctWStrEmptyShares, __ATOMIC_RELAXED);
}

} // namespace QuennelEngine
