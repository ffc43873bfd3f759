#pragma once
// The console: the library's single channel for text. A message is formatted, split into lines,
// kept in a 16384-byte ring of lines for later display, and copied to up to six outputs (standard
// output and log files), each with its own filter of message types and switch for line tags.
// Registered line callbacks see every finished line. The console also owns the orderly end of the
// process (conExit) and the fatal-error path (conFatalErrorF). It exists from library load, so
// static initialisers may print.
#include "core/text/FormatArgs.h"

#include <stdarg.h>

namespace QuennelEngine {

// Message types (bit values; a line has exactly one).
enum ConsoleMessageType {
  CMT_LOG = 1,
  CMT_TRACE = 2,
  CMT_INFO = 4,
  CMT_DEBUG = 8,
  CMT_WARNING = 16,
  CMT_ERROR = 32,
  CMT_FATAL = 64,
};

// Outputs 0 to 5: 0 standard output, 1 standard output for what output 0 did not take, 2 a filter
// kept for other users, 3 to 5 log files.
enum ConsoleOutputType {
  COT_STDOUT = 0,
  COT_STDOUT_REST = 1,
  COT_OTHER = 2,
  COT_LOG3 = 3,
  COT_LOG4 = 4,
  COT_LOG5 = 5,
  COT_COUNT = 6,
};

const int CON_BUFFER_SIZE = 16384;
// The longest line text the ring keeps; longer lines still reach the outputs whole.
const int CON_MAX_LINE = 16381;

typedef void (*ConLineCallback)(void *pvData);
typedef void (*ConExitCallback)(void *pvData);
typedef void (*ConFatalErrorCallback)(const char *strFormat, va_list args);

// Printing with positional formats and tagged arguments (see Formatter.h).
CORE_API void conPrintFV(ConsoleMessageType cmt, const char *strFormat, va_list args);
CORE_API void conPrintF(ConsoleMessageType cmt, const char *strFormat, ...);
CORE_API void conLogF(const char *strFormat, ...);
CORE_API void conTraceF(const char *strFormat, ...);
CORE_API void conInfoF(const char *strFormat, ...);
CORE_API void conDebugF(const char *strFormat, ...);
CORE_API void conWarningF(const char *strFormat, ...);
CORE_API void conErrorF(const char *strFormat, ...);
// Prints unless the same text of the same type was among the last 10 printed through here.
CORE_API void conOutputOnce(ConsoleMessageType cmt, const char *strFormat, ...);
// Prints text that is already formatted.
CORE_API void conPrintText(ConsoleMessageType cmt, const char *strText);
// Prints a fatal error, shows it in a message window and ends the process through conExit(1).
// A fatal error during another one ends the process at once.
[[noreturn]] CORE_API void conFatalErrorF(const char *strFormat, ...);
[[noreturn]] CORE_API void conFatalErrorFV(const char *strFormat, va_list args);

// The type-safe fronts: conInfo("Loaded %1 in %2 s", strName, fSeconds).
template <class... Args>
void conPrint(ConsoleMessageType cmt, const char *strFmt, const Args &...args)
{
  conPrintText(cmt, strFormat(strFmt, args...));
}
template <class... Args> void conLog(const char *strFmt, const Args &...args)
{
  conPrint(CMT_LOG, strFmt, args...);
}
template <class... Args> void conTrace(const char *strFmt, const Args &...args)
{
  conPrint(CMT_TRACE, strFmt, args...);
}
template <class... Args> void conInfo(const char *strFmt, const Args &...args)
{
  conPrint(CMT_INFO, strFmt, args...);
}
template <class... Args> void conDebug(const char *strFmt, const Args &...args)
{
  conPrint(CMT_DEBUG, strFmt, args...);
}
template <class... Args> void conWarning(const char *strFmt, const Args &...args)
{
  conPrint(CMT_WARNING, strFmt, args...);
}
template <class... Args> void conError(const char *strFmt, const Args &...args)
{
  conPrint(CMT_ERROR, strFmt, args...);
}

// The line buffer (0 = newest line, including a line still open).
CORE_API long conGetLinesCount(void);
CORE_API long conGetTotalLinesCount(void);
CORE_API long conGetDroppedLinesCount(void);
// The type and text of a line; out of range gives type 0 and an empty text.
CORE_API void conGetLine(long iLine, long &iType, CString &strText);
CORE_API long conGetLineType(long iLine);
// Total lines minus the absolute index; 0 if that index is negative or beyond the total.
CORE_API long conAbsToRelLineIndex(long iAbsolute);

// Outputs.
CORE_API unsigned long conGetOutputFilter(long iOutput);
CORE_API void conSetOutputFilter(long iOutput, unsigned long ulMask);
CORE_API void conEnableTags(long iOutput);
CORE_API void conDisableTags(long iOutput);
CORE_API int conIsTagsEnabled(long iOutput);

// Log files. The mode is a C runtime open mode ("w" or "a"); "+" is added. A new empty file gets
// the UTF-8 byte order mark.
CORE_API void conOpenLog_t(long iOutput, const char *strFileName, const char *strMode);
// As conOpenLog_t, printing an exception as an error line instead of passing it on.
CORE_API void conOpenLog(long iOutput, const char *strFileName, const char *strMode);
CORE_API void conCloseLog(long iOutput);
// Writes the start-of-log header and every buffered line into the log file of the output.
CORE_API void conDumpBuffer(long iOutput);
// Renames the file to its name with ".old" instead of its extension (replacing an old backup).
CORE_API void conBackupLog(const char *strFileName);
// True if the output holds an open log file.
CORE_API bool conIsLogOpen(long iOutput);

// Callbacks.
CORE_API void conAddLineCallback(ConLineCallback pCallback, void *pvData);
CORE_API void conRemLineCallback(ConLineCallback pCallback, void *pvData);
CORE_API void conEnableLineCallbacks(void);
CORE_API void conDisableLineCallbacks(void);
CORE_API int conAreCallbacksEnabled(void);
CORE_API void conAddExitCallback(ConExitCallback pCallback, void *pvData);
CORE_API void conRemExitCallback(ConExitCallback pCallback, void *pvData);
CORE_API void conSetPreTerminationCallback(ConExitCallback pCallback, void *pvData);
CORE_API void conSetPostTerminationCallback(ConExitCallback pCallback, void *pvData);
CORE_API void conSetFatalErrorCallback(ConFatalErrorCallback pCallback);

// Ends the process: exit code stored, pre-termination callback, exit callbacks (last added first),
// post-termination callback, then the system's exit.
[[noreturn]] CORE_API void conExit(int iExitCode);
CORE_API int conGetExitCode(void);

class CSyncMutex;
// The mutex that guards all console state.
CORE_API CSyncMutex *conGetConsoleMutex(void);

} // namespace QuennelEngine
