#pragma once
// The library's exceptions. Their only content is text that is already formatted and translated.
// A function whose name ends in _t may throw a CException; callers that add context catch it,
// format a new message containing GetDescription() and throw again.
#include "core/text/FormatArgs.h"

namespace QuennelEngine {

class CORE_API CException {
public:
  virtual ~CException();
  // The message, already formatted and translated.
  virtual const char *GetDescription(void) const = 0;
};

// An error described by one message.
class CORE_API CSimpleException : public CException {
public:
  explicit CSimpleException(const char *strMessage);
  CSimpleException(const CSimpleException &ex);
  CSimpleException &operator=(const CSimpleException &ex);
  ~CSimpleException() override;
  const char *GetDescription(void) const override;

private:
  CString *se_pstrMessage;
};

// An error tied to one file: the description is the message followed by the file name in
// parentheses.
class CORE_API CFileException : public CException {
public:
  CFileException(const char *strMessage, const char *strFileName);
  CFileException(const CFileException &ex);
  CFileException &operator=(const CFileException &ex);
  ~CFileException() override;
  const char *GetDescription(void) const override;
  const char *GetFilename(void) const;

private:
  struct Texts;
  Texts *fe_pTexts;
};

// Formats `strFormat` with the tagged arguments and throws a CSimpleException with the text.
// Pass formats that are already translated.
[[noreturn]] CORE_API void ThrowF_t(const char *strFormat, ...);
[[noreturn]] CORE_API void ThrowFV_t(const char *strFormat, va_list args);
// The old form: printf-style conversions into a 256-character buffer, thrown as `char *`.
[[noreturn]] CORE_API void ThrowF_t_old(const char *strFormat, ...);

// Describes the exception being handled, for code that must not let it pass (window procedures,
// thread entry points, the terminate handler): a library exception's description, a standard
// exception's what(), or a fixed text for an exception of an unknown type or when none is being
// handled. Call it inside a catch block or a terminate handler. Copies the text into `pchBuffer`
// (cut to `ctSize` and always terminated) and returns the buffer; allocates nothing.
CORE_API const char *dbgDescribeCurrentException(char *pchBuffer, size_t ctSize);

// The type-safe front of ThrowF_t: ThrowFormat_t("Cannot open %1", strName).
template <class... Args> [[noreturn]] void ThrowFormat_t(const char *strFmt, const Args &...args)
{
  throw CSimpleException(strFormat(strFmt, args...));
}

} // namespace QuennelEngine
