#pragma once
// Standard output, message windows, the system's error texts and the end of the process.
//
// Unattended mode: tests and unattended hosts must never block on a window. When it is on (set by
// sysSetUnattended, or by the environment variable QE_UNATTENDED=1 when the library loads), every
// message window is written to the console instead of being shown, and answered with its default
// button.
#include "core/text/String.h"

namespace QuennelEngine {

enum SysMessageButtons {
  SMB_OK = 0,
  SMB_ABORTRETRYIGNORE = 1,
  SMB_YESNO = 2,
};

enum SysMessageIcon {
  SMI_ERROR = 0,
  SMI_WARNING = 1,
  SMI_INFORMATION = 2,
};

enum SysMessageAnswer {
  SMA_OK = 1,
  SMA_ABORT = 2,
  SMA_RETRY = 3,
  SMA_IGNORE = 4,
  SMA_YES = 5,
  SMA_NO = 6,
};

// Writes UTF-8 text to the process's standard output as it is.
CORE_API void sysOutputStdOutString(const char *str);
// Shows `strText` in a blocking window titled "Message" with an OK button and the error icon.
CORE_API void sysMessage(const char *strText);
// A task-modal, foreground message window; returns the button chosen (the default one when
// unattended).
CORE_API SysMessageAnswer sysMessageBox(const char *strText, const char *strTitle,
                                        SysMessageButtons smb, SysMessageIcon smi,
                                        SysMessageAnswer smaDefault);
CORE_API void sysSetUnattended(bool bUnattended);
CORE_API bool sysIsUnattended(void);
// The system's message text for an error code, in the user's default language.
CORE_API CString sysGetErrorText(unsigned long ulCode);
// The code of the last error of a system call on this thread.
CORE_API unsigned long sysGetLastError(void);
// Ends the process with the exit code.
[[noreturn]] CORE_API void sysExit(int iCode);
// Breaks into the debugger when one is attached; otherwise does nothing.
CORE_API void sysBreakIntoDebugger(void);
// True when the library runs on Wine rather than on Windows itself.
CORE_API bool sysIsRunningOnWine(void);
// Hooks around message windows (the window system locks painting while one is open).
CORE_API void sysSetMessageBoxHooks(void (*pBefore)(void), void (*pAfter)(void));

} // namespace QuennelEngine
