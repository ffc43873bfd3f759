#pragma once
// Crash reports and stack dumps.
//
// When the process meets an exception that nobody handles (a fault, or a C++ exception that
// nothing catches), the library appends a plain-text report to a file beside the program (its
// name with the extension "rpt"), logs a line, tells the user and passes the exception on to the
// filter that was installed before. The same frame walk writes stack dumps on demand. Stealth
// mode suppresses every report and dump file.
//
// The crash path never faults itself: it reads a stack frame only when the whole frame lies in
// the thread's stack and its pages are committed and readable, names a code address only when it
// lies in a loaded image whose headers check out, writes from fixed buffers, and reports a stack
// overflow from a fresh thread with a stack of its own.
#include "core/text/String.h"

#include <stdarg.h>

namespace QuennelEngine {

// Stealth mode: no report file and no stack-dump file is written. A host that must never write
// files sets dbg_bLockStealthMode, which keeps stealth mode on whatever dbg_bStealthMode says.
CORE_API extern int dbg_bStealthMode;
CORE_API extern int dbg_bLockStealthMode;
CORE_API int dbgIsStealthModeEnabled(void);

// The exception code under which a C++ exception that nothing caught is reported.
const unsigned long RPT_UNCAUGHT_CPP_EXCEPTION = 0xE0435050;

// What a report dumper writes through: the report's file, formatted with the runtime library's
// printf conventions. Writing after a failure of the file does nothing.
class CORE_API CReportWriter {
public:
  CReportWriter(void *hFile, char *pchBuffer, long ctBuffer);
  ~CReportWriter();
  CReportWriter(const CReportWriter &) = delete;
  CReportWriter &operator=(const CReportWriter &) = delete;
  // Writes the text as it is.
  void Write(const char *strText);
  // printf-style formatting (texts longer than 1023 characters are cut).
  void PrintF(const char *strFormat, ...) __attribute__((format(ms_printf, 2, 3)));
  void PrintFV(const char *strFormat, va_list args);
  // Writes what is buffered.
  void Flush(void);

private:
  void *rw_hFile;
  char *rw_pchBuffer;
  long rw_ctBuffer;
  long rw_ctUsed;
};

// A function that adds its own lines to every crash report.
typedef void (*ReportDumper)(CReportWriter &rw);

// Where code at an address lives: its module, the 1-based section and the offset in it.
struct CodeLocation {
  void *cl_hModule;
  long cl_iSection;
  unsigned long cl_ulOffset;
  char cl_strModule[260]; // the module's file name (UTF-8)
};

// Installs the library's unhandled-exception filter and terminate handler (remembering the
// previous ones) and names the report file after the program.
CORE_API void rptInitExceptionHandler(void);
// Reinstalls the previous filter and terminate handler.
CORE_API void rptCloseExceptionHandler(void);
// The report file's name: "Crash.rpt" until the handler is installed.
CORE_API CString rptGetReportFileName(void);
// The version text that reports carry (the core version by default).
CORE_API void rptSetVersionText(const char *strVersion);
// Sets the report dumper (null removes it); one at a time.
CORE_API void rptAddReportDumper(ReportDumper pDumper);

// The code location of an address; false when it is not inside a section of a loaded image.
// Allocation-free and safe for any address.
CORE_API bool rptGetCodeLocation(const void *pvAddress, CodeLocation &cl);
// The name of an exception code (ACCESS_VIOLATION, ...), else the system's text for it, else
// "unknown exception".
CORE_API CString rptGetExceptionName(unsigned long ulCode);
// Zeroes `ctCount` entries, then walks the calling thread's frame chain from this function's own
// frame: the return address of frame i goes to entry i - ctSkip once i >= ctSkip. Stops after
// ctCount + ctSkip frames, at a frame outside the stack, or at a link that does not go up.
// Returns the entries filled.
CORE_API long rptCollectCurrentStack(void **apvAddresses, long ctCount, long ctSkip);
// The frame walk of crash reports, from an instruction address and a frame pointer, over the
// calling thread's stack: entry 0 is the start itself, each next entry the return address and
// frame pointer read from the frame before. Returns the entries filled (at most ctMax).
CORE_API long rptWalkFrames(const void *pvAddress, const void *pvFrame, void **apvAddresses,
                            void **apvFrames, long ctMax);
// "$adr: \"module\" SSSSSSSS:OOOOOOOO" for an address with a code location, else "".
CORE_API CString rptFormatStackLine(const void *pvAddress);
// The header line of stack dumps: "" (none).
CORE_API CString rptFormatStackDumpHeader(void);
// Appends a dump of the calling thread's stack to the file (a hard path); nothing in stealth
// mode.
CORE_API void rptDumpCurrentStack(const char *strFileName);

// Aids for exercising the handler: 0 makes an access violation or a stack overflow; anything
// else only warns.
CORE_API void dbgMakeAccessViolation(long iValue);
CORE_API void dbgMakeStackOverflow(long iValue);

} // namespace QuennelEngine
