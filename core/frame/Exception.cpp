#include "core/frame/Exception.h"

#include "core/memory/Memory.h"
#include "core/text/Editing.h"

#include <exception>
#include <new>
#include <stdarg.h>
#include <stdio.h>

namespace QuennelEngine {

CException::~CException()
{
}

CSimpleException::CSimpleException(const char *strMessage) : se_pstrMessage(new CString(strMessage))
{
}

CSimpleException::CSimpleException(const CSimpleException &ex)
    : CException(), se_pstrMessage(new CString(*ex.se_pstrMessage))
{
}

CSimpleException &CSimpleException::operator=(const CSimpleException &ex)
{
  *se_pstrMessage = *ex.se_pstrMessage;
  return *this;
}

CSimpleException::~CSimpleException()
{
  delete se_pstrMessage;
}

const char *CSimpleException::GetDescription(void) const
{
  return *se_pstrMessage;
}

struct CFileException::Texts {
  CString fet_strDescription;
  CString fet_strFileName;
};

CFileException::CFileException(const char *strMessage, const char *strFileName)
    : fe_pTexts(new Texts)
{
  fe_pTexts->fet_strFileName = strFileName;
  fe_pTexts->fet_strDescription = CString(strMessage) + " (" + fe_pTexts->fet_strFileName + ")";
}

CFileException::CFileException(const CFileException &ex)
    : CException(), fe_pTexts(new Texts(*ex.fe_pTexts))
{
}

CFileException &CFileException::operator=(const CFileException &ex)
{
  *fe_pTexts = *ex.fe_pTexts;
  return *this;
}

CFileException::~CFileException()
{
  delete fe_pTexts;
}

const char *CFileException::GetDescription(void) const
{
  return fe_pTexts->fet_strDescription;
}

const char *CFileException::GetFilename(void) const
{
  return fe_pTexts->fet_strFileName;
}

void ThrowFV_t(const char *strFormat, va_list args)
{
  throw CSimpleException(strPrintFV(strFormat, args));
}

void ThrowF_t(const char *strFormat, ...)
{
  va_list args;
  va_start(args, strFormat);
  CString strMessage = strPrintFV(strFormat, args);
  va_end(args);
  throw CSimpleException(strMessage);
}

void ThrowF_t_old(const char *strFormat, ...)
{
  // One static buffer, as old callers expect; always terminated.
  static char _strBuffer[256];
  va_list args;
  va_start(args, strFormat);
  vsnprintf(_strBuffer, sizeof(_strBuffer), strFormat, args);
  va_end(args);
  _strBuffer[sizeof(_strBuffer) - 1] = 0;
  throw(char *) _strBuffer;
}

// Copies at most ctSize - 1 characters and terminates.
static void CopyCut(char *pchBuffer, size_t ctSize, const char *str)
{
  if (ctSize == 0) return;
  size_t i = 0;
  for (; i + 1 < ctSize && str != nullptr && str[i] != 0; i++) pchBuffer[i] = str[i];
  pchBuffer[i] = 0;
}

const char *dbgDescribeCurrentException(char *pchBuffer, size_t ctSize)
{
  const char *str = "no exception is being handled";
  // The texts are copied before the handlers' exception objects go.
  if (std::exception_ptr pex = std::current_exception()) {
    try {
      std::rethrow_exception(pex);
    } catch (const CException &ex) {
      CopyCut(pchBuffer, ctSize, ex.GetDescription());
      return pchBuffer;
    } catch (const std::exception &ex) {
      CopyCut(pchBuffer, ctSize, ex.what());
      return pchBuffer;
    } catch (...) {
      str = "an exception of an unknown type";
    }
  }
  CopyCut(pchBuffer, ctSize, str);
  return pchBuffer;
}

} // namespace QuennelEngine
