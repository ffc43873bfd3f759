// The console's end of the process: exit callbacks, conExit and the fatal-error path.
#include "core/frame/ConsolePrivate.h"

#include "core/platform/SysConsole.h"
#include "core/threads/SyncLock.h"

namespace QuennelEngine {

using namespace ConsolePrivate;

static CallbackList _clExit = {};
static Callback _cbPreTermination = {};
static Callback _cbPostTermination = {};
static ConFatalErrorCallback _pFatalErrorCallback = nullptr;
static int _iExitCode = 0;
static long volatile _bInFatalError = 0;

void conAddExitCallback(ConExitCallback pCallback, void *pvData)
{
  CSyncLock sl(&con_smMutex);
  _clExit.Add(pCallback, pvData);
}

void conRemExitCallback(ConExitCallback pCallback, void *pvData)
{
  CSyncLock sl(&con_smMutex);
  _clExit.Remove(pCallback, pvData);
}

void conSetPreTerminationCallback(ConExitCallback pCallback, void *pvData)
{
  CSyncLock sl(&con_smMutex);
  _cbPreTermination.cb_pFunction = pCallback;
  _cbPreTermination.cb_pvData = pvData;
}

void conSetPostTerminationCallback(ConExitCallback pCallback, void *pvData)
{
  CSyncLock sl(&con_smMutex);
  _cbPostTermination.cb_pFunction = pCallback;
  _cbPostTermination.cb_pvData = pvData;
}

void conSetFatalErrorCallback(ConFatalErrorCallback pCallback)
{
  CSyncLock sl(&con_smMutex);
  _pFatalErrorCallback = pCallback;
}

int conGetExitCode(void)
{
  return _iExitCode;
}

void conExit(int iExitCode)
{
  _iExitCode = iExitCode;
  if (_cbPreTermination.cb_pFunction) _cbPreTermination.cb_pFunction(_cbPreTermination.cb_pvData);
  // Last added first; a callback may remove others, so re-read the count each step.
  for (;;) {
    Callback cb;
    {
      CSyncLock sl(&con_smMutex);
      if (_clExit.cl_ct == 0) break;
      cb = _clExit.cl_acb[--_clExit.cl_ct];
    }
    cb.cb_pFunction(cb.cb_pvData);
  }
  if (_cbPostTermination.cb_pFunction) {
    _cbPostTermination.cb_pFunction(_cbPostTermination.cb_pvData);
  }
  sysExit(iExitCode);
}

void conFatalErrorFV(const char *strFormat, va_list args)
{
  // A fatal error while one is being handled (or formatting one failed for lack of memory) must
  // not go round again: end at once.
  if (sysInterlockedIncrement(&_bInFatalError) != 1) sysExit(1);

  if (_pFatalErrorCallback != nullptr) {
    va_list argsCallback;
    va_copy(argsCallback, args);
    _pFatalErrorCallback(strFormat, argsCallback);
    va_end(argsCallback);
  }
  va_list argsPrint;
  va_copy(argsPrint, args);
  conPrintFV(CMT_FATAL, strFormat, argsPrint);
  va_end(argsPrint);
  va_list argsMessage;
  va_copy(argsMessage, args);
  CString strMessage = strPrintFV(strFormat, argsMessage);
  va_end(argsMessage);
  sysMessage(strMessage);
  conExit(1);
}

void conFatalErrorF(const char *strFormat, ...)
{
  va_list args;
  va_start(args, strFormat);
  conFatalErrorFV(strFormat, args);
}

} // namespace QuennelEngine
