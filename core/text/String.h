#pragma once
// CString: an 8-bit zero-terminated text on the heap. One pointer, no stored length; copies are
// deep; every empty CString shares one static array, so empty strings never allocate.
#include "core/platform/Platform.h"

#include <type_traits>

namespace QuennelEngine {

class CStream;

class CORE_API CString {
public:
  // The text, never null.
  char *str_String;

  CString();
  CString(const char *strText);
  CString(const CString &str);
  CString(CString &&str) noexcept;
  // A buffer for `ctLength` characters whose first character is the terminator.
  explicit CString(int ctLength);
  // `ctCount` copies of `ch`.
  CString(char ch, int ctCount);
  // Exactly the first `ctCount` characters of `strText`, which must exist.
  CString(const char *strText, int ctCount);
  ~CString();

  // Sets the empty text without freeing what was held (for raw memory that holds no buffer).
  void Construct(void);
  // Frees the text and sets the empty text.
  void Clear(void);

  CString &operator=(const char *strText);
  CString &operator=(const CString &str);
  CString &operator=(CString &&str) noexcept;

  // The character at `i`, or 0 if `i` is negative or past the end.
  char GetChar(int i) const;
  template <class I, class = typename std::enable_if<std::is_integral<I>::value>::type>
  char operator[](I i) const
  {
    return GetChar((int)i);
  }

  // The stream form: a 32-bit length, then the characters without a terminator. Reading refuses
  // a length that is negative or larger than what the stream still holds.
  void Read_t(CStream &strm);
  void Write_t(CStream &strm) const;
  // Reads a text file (8-bit or UTF-16 by its text header; line ends become line feeds) into the
  // string as UTF-8.
  void LoadText_t(const char *strFileName);
  // Writes the string's bytes to a new file as they are.
  void SaveText_t(const char *strFileName) const;

  operator const char *() const { return str_String; }
  const char *ConstData(void) const { return str_String; }
  int Length(void) const;
  bool IsEmpty(void) const { return str_String[0] == 0; }

private:
  // Core's text functions hand over buffers they allocated, without a detour through the empty
  // text.
  friend struct TextAccess;
  struct Adopted {};
  CString(char *pBuffer, Adopted) : str_String(pBuffer) {}
};

// Case-insensitive equality (strCompare): comparing with a text never compares pointers.
CORE_API bool operator==(const CString &strA, const CString &strB);
CORE_API bool operator==(const CString &strA, const char *strB);
CORE_API bool operator==(const char *strA, const CString &strB);
CORE_API bool operator!=(const CString &strA, const CString &strB);
CORE_API bool operator!=(const CString &strA, const char *strB);
CORE_API bool operator!=(const char *strA, const CString &strB);

// Concatenation.
CORE_API CString operator+(const CString &strA, const CString &strB);
CORE_API CString operator+(const CString &strA, const char *strB);
CORE_API CString operator+(const char *strA, const CString &strB);
CORE_API CString &operator+=(CString &str, const char *strTail);

} // namespace QuennelEngine
