#include "core/frame/ErrorHooks.h"

#include "core/frame/Console.h"
#include "core/text/Translation.h"

namespace QuennelEngine {

static InsufficientMemoryCallback _err_pInsufficientMemory = nullptr;

void SetErrorInsufficientMemoryCallback(void (*pCallback)(long slSize))
{
  __atomic_store_n(&_err_pInsufficientMemory, pCallback, __ATOMIC_RELEASE);
}

InsufficientMemoryCallback GetErrorInsufficientMemoryCallback(void)
{
  return __atomic_load_n(&_err_pInsufficientMemory, __ATOMIC_ACQUIRE);
}

static void DefaultReadError(const CString &strDescription)
{
  conErrorF(strTranslate("DOZUStream.ErrorReadingFromFile=Error reading from file %1.\n"), ARG_TEXT,
            strDescription.str_String);
}

static void DefaultWriteError(const CString &strDescription)
{
  conErrorF(strTranslate("DOZUStream.ErrorWritingInFile=Error writing in file %1.\n"), ARG_TEXT,
            strDescription.str_String);
}

static StreamErrorCallback _err_pReading = DefaultReadError;
static StreamErrorCallback _err_pWriting = DefaultWriteError;

void SetErrorReadingCallback(StreamErrorCallback pCallback)
{
  _err_pReading = pCallback ? pCallback : DefaultReadError;
}

void SetErrorWritingCallback(StreamErrorCallback pCallback)
{
  _err_pWriting = pCallback ? pCallback : DefaultWriteError;
}

void CallErrorReadingCallback(const CString &strDescription)
{
  _err_pReading(strDescription);
}

void CallErrorWritingCallback(const CString &strDescription)
{
  _err_pWriting(strDescription);
}

} // namespace QuennelEngine
