#include "core/frame/Assert.h"

#include "core/frame/Console.h"
#include "core/platform/SysConsole.h"
#include "core/text/Editing.h"
#include "core/threads/SyncMutex.h"
#include "core/threads/Threads.h"

#include <signal.h>

namespace QuennelEngine {

// One assertion is reported at a time in the whole process: two threads asserting at once must
// not suspend each other. Held from corAssert to corPostAssert.
static CSyncMutex _smAssert;
static thread_local bool _bReportingHere = false;
static volatile bool _bAborting = false;
static bool _bSuspended = false;

int corAssert(const char *strExpression, const char *strFileName, long iLine)
{
  if (!_bReportingHere) {
    conDebugF("Assertion Failed in '%1' at line %2.Assertion expresion: %3.\n", ARG_TEXT,
              strFileName, ARG_INT, iLine, ARG_TEXT, strExpression);
  }
  _smAssert.Lock();
  if (_bAborting) return 2;
  _bReportingHere = true;
  _bSuspended = true;
  thrSuspendOtherThreads();
  CString strText = strFormat("Assertion Failed in '%1' at line %2\n\nAssertion expression: %3\n\n"
                              "'Abort' will terminate application\n'Retry' will invoke debugger\n"
                              "'Ignore' will never assert in this line",
                              strFileName, iLine, strExpression);
  for (;;) {
    SysMessageAnswer sma =
        sysMessageBox(strText, "Assert", SMB_ABORTRETRYIGNORE, SMI_ERROR, SMA_RETRY);
    if (sma == SMA_RETRY) return 1;
    if (sma == SMA_IGNORE) return 2;
    if (sysMessageBox("Are you sure you want to abort?", "Assert", SMB_YESNO, SMI_WARNING,
                      SMA_NO) == SMA_YES) {
      _bAborting = true;
      raise(SIGABRT);
      sysExit(3);
    }
  }
}

void corPostAssert(void)
{
  if (!_smAssert.IsLockedByThisThread()) return;
  if (_bSuspended) {
    _bSuspended = false;
    thrResumeOtherThreads();
  }
  _bReportingHere = false;
  _smAssert.Unlock();
}

void corBreakIntoDebugger(void)
{
  sysBreakIntoDebugger();
}

} // namespace QuennelEngine
