// The text-file forms of the string types and the collation table file.
#include "core/frame/Exception.h"
#include "core/streams/Stream.h"
#include "core/text/Compare.h"
#include "core/text/Conversion.h"
#include "core/text/StringAlloc.h"

namespace QuennelEngine {

void CString::LoadText_t(const char *strFileName)
{
  CStream strm;
  strm.OpenFile_t(strFileName, "r");
  strm.ReadTextHeader_t();
  CWString wstr;
  wstr.LoadText_t(strm);
  *this = strUTF16ToUTF8(wstr);
}

void CString::SaveText_t(const char *strFileName) const
{
  CStream strm;
  strm.OpenFile_t(strFileName, "w");
  strm.Write_t(str_String, Length());
  strm.Finish_t();
}

void CWString::LoadText_t(const char *strFileName)
{
  CStream strm;
  strm.OpenFile_t(strFileName, "r");
  strm.ReadTextHeader_t();
  LoadText_t(strm);
}

void CWString::LoadText_t(CStream &strm)
{
  // The characters to the end, in 16-bit units; at most one unit per byte left.
  long slLeft = strm.GetSize() - strm.GetPosition();
  unsigned short *pwch = wstrAlloc(slLeft > 0 ? slLeft : 0);
  long ct = 0;
  unsigned short wch;
  try {
    while (ct < slLeft && strm.ReadNormalizedChar_t(wch)) pwch[ct++] = wch;
  } catch (...) {
    wstrFree(pwch);
    throw;
  }
  pwch = wstrResize(pwch, ct);
  wstrFree(wstr_String);
  wstr_String = pwch;
}

void CWString::SaveText_t(const char *strFileName) const
{
  CStream strm;
  strm.OpenFile_t(strFileName, "w");
  strm.SetUTF16();
  strm.WriteTextHeader_t();
  strm.PutTextW_t(wstr_String);
  strm.Finish_t();
}

void strLoadCollation_t(const char *strFileName)
{
  CStream strm;
  strm.OpenFile_t(strFileName, "r");
  CWString wstrTable;
  wstrTable.Read_t(strm);
  wstrSetCollation(wstrTable);
}

} // namespace QuennelEngine
