// The stream forms of CString and CWString.
#include "core/frame/Exception.h"
#include "core/streams/Stream.h"
#include "core/text/Characters.h"
#include "core/text/StringAlloc.h"
#include "core/text/Translation.h"

namespace QuennelEngine {

// Refuses a character count the stream cannot hold, before anything is allocated.
static void CheckCount_t(CStream &strm, long slCount, long slUnitSize)
{
  long slLeft = strm.GetSize() - strm.GetPosition();
  if (slCount < 0 || slCount > slLeft / slUnitSize) {
    strm.Throw_t(strTranslate("DOZUStream.BadStringLength=Invalid string length %1 in stream!"),
                 ARG_INT, slCount);
  }
}

void CString::Read_t(CStream &strm)
{
  long slLength;
  strm.ReadValue_t(slLength);
  CheckCount_t(strm, slLength, 1);
  char *pch = strAlloc(slLength);
  try {
    strm.Read_t(pch, slLength);
  } catch (...) {
    strFree(pch);
    throw;
  }
  strFree(str_String);
  str_String = pch;
}

void CString::Write_t(CStream &strm) const
{
  long slLength = Length();
  strm.WriteValue_t(slLength);
  strm.Write_t(str_String, slLength);
}

void CWString::Read_t(CStream &strm)
{
  unsigned long ulWord;
  strm.ReadValue_t(ulWord);
  unsigned long ulEncoding = ulWord >> 29;
  long slCount = (long)(ulWord & 0x1FFFFFFF);
  if (ulEncoding > 2) {
    strm.Throw_t(strTranslate("DOZUStream.BadStringEncoding=Unknown string encoding %1 in stream!"),
                 ARG_UINT, ulEncoding);
  }
  CheckCount_t(strm, slCount, ulEncoding == 0 ? 1 : 2);
  unsigned short *pwch = wstrAlloc(slCount);
  try {
    if (ulEncoding == 0) {
      // Single bytes, widened; read in place from the end so nothing needs a second buffer.
      unsigned char *pub = (unsigned char *)pwch;
      strm.Read_t(pub, slCount);
      for (long i = slCount - 1; i >= 0; i--) pwch[i] = chASCIIToUTF16((char)pub[i]);
    } else {
      strm.Read_t(pwch, slCount * 2);
      if (ulEncoding == 1) {
        for (long i = 0; i < slCount; i++)
          pwch[i] = (unsigned short)((pwch[i] >> 8) | (pwch[i] << 8));
      }
    }
  } catch (...) {
    wstrFree(pwch);
    throw;
  }
  wstrFree(wstr_String);
  wstr_String = pwch;
}

void CWString::Write_t(CStream &strm) const
{
  long slCount = Length();
  // Single bytes only when every character survives being widened back: control characters
  // other than line feed would come back as 31, so such texts are written as units.
  bool bBytes = true;
  for (long i = 0; i < slCount && bBytes; i++) {
    bBytes = wstr_String[i] <= 127 && chASCIIToUTF16((char)wstr_String[i]) == wstr_String[i];
  }
  unsigned long ulWord = (unsigned long)slCount | (bBytes ? 0 : 0x40000000UL);
  strm.WriteValue_t(ulWord);
  if (bBytes) {
    for (long i = 0; i < slCount; i++) {
      char ch = (char)wstr_String[i];
      strm.Write_t(&ch, 1);
    }
  } else {
    strm.Write_t(wstr_String, slCount * 2);
  }
}

} // namespace QuennelEngine
