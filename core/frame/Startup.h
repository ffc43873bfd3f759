#pragma once
// Start-up and shutdown around the host's main function. A host hands its main function to corRun
// (console programs) or corRunWinMain (windowed programs); the library records the command line
// and the settings, installs the crash handler, logs its version and the command, calibrates the
// timer, brings up the file system, calls the host, and afterwards stops the application's
// services and logs the shutdown.
#include "core/text/String.h"

namespace QuennelEngine {

typedef void (*CoreMainFunction)(void);

// Runs `pMain` between the library's start-up and shutdown; returns 0. The program name is the
// first argument (at most 100 arguments are kept).
CORE_API int corRun(CoreMainFunction pMain, int ctArguments, char *astrArguments[],
                    const char *strStartupSettings);
// The same for windowed programs: the command line is split into arguments; the program name is
// the module file name.
CORE_API long corRunWinMain(CoreMainFunction pMain, const char *strCommandLine, int iShowCommand,
                            const char *strStartupSettings);

CORE_API int corGetArgC(void);
// Argument `i` (0: corGetExeFileName()); "" outside the arguments.
CORE_API CString corGetArgV(int i);
// The program as a soft path.
CORE_API CString corGetExeFileName(void);
// The window show code corRunWinMain was given.
CORE_API int corGetShowCommand(void);
// Splits a command line into the argument table (the program's entry stays as it is).
CORE_API void corSplitCommandLine(const char *strCommandLine);

// Steps of the start-up that later subsystems fill in: each runs when it is set.
struct StartupHooks {
  void (*sh_pInstallCrashHandler)(void);
  void (*sh_pRemoveCrashHandler)(void);
  void (*sh_pSeedRandom)(unsigned long ulSeed1, unsigned long ulSeed2);
  void (*sh_pBuildTypeTables)(void);
  void (*sh_pRegisterResourceTypes)(void);
  void (*sh_pInitRandomTables)(void);
};
CORE_API StartupHooks &corGetStartupHooks(void);

} // namespace QuennelEngine
