#pragma once
// CWString: a 16-bit (UTF-16, Basic Multilingual Plane) zero-terminated text on the heap, with
// the same design as CString: one pointer, deep copies, one shared empty array.
#include "core/platform/Platform.h"

#include <type_traits>

namespace QuennelEngine {

class CStream;

class CORE_API CWString {
public:
  // The text, never null.
  unsigned short *wstr_String;

  CWString();
  CWString(const unsigned short *wstrText);
  // From a UTF-16 literal (u"..."), which has the same representation.
  CWString(const char16_t *wstrText);
  CWString(const CWString &wstr);
  CWString(CWString &&wstr) noexcept;
  // A buffer for `ctLength` characters whose first character is the terminator.
  explicit CWString(int ctLength);
  // `ctCount` copies of `wch`.
  CWString(unsigned short wch, int ctCount);
  // Exactly the first `ctCount` characters of `wstrText`, which must exist.
  CWString(const unsigned short *wstrText, int ctCount);
  ~CWString();

  // Sets the empty text without freeing what was held (for raw memory that holds no buffer).
  void Construct(void);
  // Frees the text and sets the empty text.
  void Clear(void);

  CWString &operator=(const unsigned short *wstrText);
  CWString &operator=(const CWString &wstr);
  CWString &operator=(CWString &&wstr) noexcept;

  // The character at `i`, or 0 if `i` is negative or past the end.
  unsigned short GetChar(int i) const;
  template <class I, class = typename std::enable_if<std::is_integral<I>::value>::type>
  unsigned short operator[](I i) const
  {
    return GetChar((int)i);
  }

  // The stream form: a 32-bit word of the length (low 29 bits) and the encoding (top 3 bits: 0
  // single bytes, used when every character is 127 or less; 1 big-endian units; 2 little-endian
  // units, written otherwise), then the characters. Reading refuses a length the stream cannot
  // hold and an unknown encoding.
  void Read_t(CStream &strm);
  void Write_t(CStream &strm) const;
  // Reads the characters of a text file of any encoding (line ends become line feeds).
  void LoadText_t(const char *strFileName);
  // Reads the characters from the stream's position to its end (line ends become line feeds).
  void LoadText_t(CStream &strm);
  // Writes a new UTF-16 text file: the byte order mark, then the text with CR LF line ends.
  void SaveText_t(const char *strFileName) const;

  operator const unsigned short *() const { return wstr_String; }
  const unsigned short *ConstData(void) const { return wstr_String; }
  int Length(void) const;
  bool IsEmpty(void) const { return wstr_String[0] == 0; }

private:
  // Core's text functions hand over buffers they allocated, without a detour through the empty
  // text.
  friend struct TextAccess;
  struct Adopted {};
  CWString(unsigned short *pBuffer, Adopted) : wstr_String(pBuffer) {}
};

// Case-insensitive equality (wstrCompare): comparing with a text never compares pointers.
CORE_API bool operator==(const CWString &wstrA, const CWString &wstrB);
CORE_API bool operator==(const CWString &wstrA, const unsigned short *wstrB);
CORE_API bool operator==(const unsigned short *wstrA, const CWString &wstrB);
CORE_API bool operator!=(const CWString &wstrA, const CWString &wstrB);
CORE_API bool operator!=(const CWString &wstrA, const unsigned short *wstrB);
CORE_API bool operator!=(const unsigned short *wstrA, const CWString &wstrB);

// Concatenation.
CORE_API CWString operator+(const CWString &wstrA, const CWString &wstrB);
CORE_API CWString operator+(const CWString &wstrA, const unsigned short *wstrB);
CORE_API CWString operator+(const unsigned short *wstrA, const CWString &wstrB);
CORE_API CWString &operator+=(CWString &wstr, const unsigned short *wstrTail);

} // namespace QuennelEngine
