#include "core/frame/OldMessages.h"

#include "core/frame/Console.h"
#include "core/platform/SysConsole.h"
#include "core/platform/SysThreads.h"
#include "core/text/Editing.h"
#include "core/text/Translation.h"

namespace QuennelEngine {

static bool _bOldMessagesSuppressed = false;
static long volatile _bInFatalErrorOld = 0;

void SetOldMessagesSuppressed(bool bSuppressed)
{
  _bOldMessagesSuppressed = bSuppressed;
}

void FatalError_old(const char *strFormat, ...)
{
  if (sysInterlockedIncrement(&_bInFatalErrorOld) != 1) sysExit(1);
  va_list args;
  va_start(args, strFormat);
  CString strMessage = strPrintFV(strFormat, args);
  va_end(args);
  conFatalErrorF("%1", ARG_TEXT, strMessage.str_String);
}

static void ShowOldMessage(const char *strTitleKey, SysMessageIcon smi, const char *strFormat,
                           va_list args)
{
  CString strMessage = strPrintFV(CString("<WARNING! OLD FORMATTING>") + strFormat, args);
  if (_bOldMessagesSuppressed) return;
  sysMessageBox(strMessage, strTranslate(strTitleKey), SMB_OK, smi, SMA_OK);
}

void WarningMessage_old(const char *strFormat, ...)
{
  va_list args;
  va_start(args, strFormat);
  ShowOldMessage("DOZUErrorReporting.Warning=Warning", SMI_WARNING, strFormat, args);
  va_end(args);
}

void InfoMessage_old(const char *strFormat, ...)
{
  va_list args;
  va_start(args, strFormat);
  ShowOldMessage("DOZUErrorReporting.Information=Information", SMI_INFORMATION, strFormat, args);
  va_end(args);
}

void dbgMakeFatalError(long iValue)
{
  if (iValue == 0) {
    conFatalErrorF(strTranslate("DOZUCore.MakeFatalError=dbgMakeFatalError()\n"));
  } else {
    conWarningF(strTranslate(
        "DOZUCore.MakeFatalErrorWarning=dbgMakeFatalError(0) will crash the application!\n"));
  }
}

} // namespace QuennelEngine
