#include "core/frame/Startup.h"

#include "core/frame/Console.h"
#include "core/frame/PerFrame.h"
#include "core/frame/Service.h"
#include "core/frame/StartupSettings.h"
#include "core/frame/Version.h"
#include "core/platform/Calendar.h"
#include "core/platform/CrashReport.h"
#include "core/platform/Timer.h"
#include "core/streams/FileSystem.h"
#include "core/text/Characters.h"
#include "core/text/Ident.h"
#include "core/text/Translation.h"

#include <string.h>

namespace QuennelEngine {

static const int _ctMaxArguments = 100;
static const int _ctMaxCommandLine = 1023;

struct StartupState {
  CString ss_astrArguments[_ctMaxArguments + 1];
  int ss_ctArguments = 0;
  CString ss_strProgram;
  CString ss_strCommandLine;
  int ss_iShowCommand = 0;
};

static StartupState &State(void)
{
  static StartupState _ss;
  return _ss;
}

static void InstallCrashHandler(void)
{
  rptSetVersionText(verVersionToString(corGetCoreVersion()));
  rptInitExceptionHandler();
}

StartupHooks &corGetStartupHooks(void)
{
  static StartupHooks _sh = {
      InstallCrashHandler, rptCloseExceptionHandler, nullptr, nullptr, nullptr, nullptr};
  return _sh;
}

int corGetArgC(void)
{
  return State().ss_ctArguments;
}

CString corGetExeFileName(void)
{
  CString strHardDir = filGetHardExePath();
  if (strHardDir.IsEmpty()) return filHardToSoftPath(filSysGetModulePath());
  return filHardToSoftPath(strHardDir + filGetExeName());
}

CString corGetArgV(int i)
{
  if (i == 0) return corGetExeFileName();
  if (i < 0 || i >= State().ss_ctArguments) return CString();
  return State().ss_astrArguments[i];
}

int corGetShowCommand(void)
{
  return State().ss_iShowCommand;
}

void corSplitCommandLine(const char *strCommandLine)
{
  StartupState &ss = State();
  // A private copy of at most 1023 characters, always terminated.
  char achLine[_ctMaxCommandLine + 1];
  strncpy(achLine, strCommandLine ? strCommandLine : "", _ctMaxCommandLine);
  achLine[_ctMaxCommandLine] = 0;
  for (int i = 1; i <= _ctMaxArguments; i++) ss.ss_astrArguments[i].Clear();
  ss.ss_ctArguments = 1;
  char *pch = achLine;
  while (ss.ss_ctArguments < _ctMaxArguments) {
    while (*pch != 0 && chIsSpace(*pch)) pch++;
    if (*pch == 0) break;
    char *pchStart;
    char *pchEnd;
    if (*pch == '"') {
      pchStart = pch + 1;
      pchEnd = strchr(pchStart, '"');
      if (pchEnd == nullptr)
        pchEnd = pchStart + strlen(pchStart); // an unclosed quote ends the line
    } else {
      pchStart = pch;
      pchEnd = pchStart;
      while (*pchEnd != 0 && !chIsSpace(*pchEnd) && *pchEnd != '"') pchEnd++;
    }
    ss.ss_astrArguments[ss.ss_ctArguments++] = CString(pchStart, (int)(pchEnd - pchStart));
    // Step over the character that ended the argument, but never past the end of the text.
    pch = *pchEnd != 0 ? pchEnd + 1 : pchEnd;
  }
}

static void LogCommand(void)
{
  CString strLine = strTranslate("DOZUCore.Command=Command: ");
  for (int i = 0; i < corGetArgC(); i++) strLine += strFormat(" %1", corGetArgV(i));
  conLogF("%1\n", ARG_TEXT, strLine.str_String);
}

// The start-up both entry points share, the host's main function and the shutdown.
static void RunCommon(CoreMainFunction pMain, const char *strStartupSettings)
{
  StartupHooks &sh = corGetStartupHooks();
  corSetStartupSettings(strStartupSettings);
  const bool bNoTimer = corIsStartupFlagSet("notimer");
  if (sh.sh_pInstallCrashHandler) sh.sh_pInstallCrashHandler();
  conLogF(strTranslate("DOZUCore.Version=Core version: %1\n"), ARG_TEXT,
          verVersionToString(corGetCoreVersion()).str_String);
  LogCommand();

  timEnableTimer(!bNoTimer);
  timInitialize();
  TimerFrameCallback pTimerCheck = timGetPerFrameCheck();
  if (pTimerCheck) pfuRegisterPerFrameCallback(pTimerCheck, nullptr);

  unsigned long ulStamp = (unsigned long)timReadTimeStampCounter();
  if (sh.sh_pSeedRandom) sh.sh_pSeedRandom(ulStamp * 1220703125UL, ulStamp ^ 0x12345678UL);

  filInitializeStreams_t(filSysGetModulePath());
  if (sh.sh_pBuildTypeTables) sh.sh_pBuildTypeTables();
  if (sh.sh_pRegisterResourceTypes) sh.sh_pRegisterResourceTypes();
  if (sh.sh_pInitRandomTables) sh.sh_pInitRandomTables();

  if (pMain) pMain();

  svcChangeRunLevel(strConvertStringToID("Group.Application"), -1);
  if (pTimerCheck) pfuUnregisterPerFrameCallback(pTimerCheck, nullptr);
  if (sh.sh_pRemoveCrashHandler) sh.sh_pRemoveCrashHandler();
  if (!bNoTimer) {
    conLogF(strTranslate("DOZUCore.Timestamp=Timestamp: %1\n"), ARG_TEXT,
            timToString(timUTCToLocal(timUTCNow())).str_String);
  }
  conLogF(strTranslate("DOZUCore.Shutdown=Core is shutting down\n"));
}

int corRun(CoreMainFunction pMain, int ctArguments, char *astrArguments[],
           const char *strStartupSettings)
{
  StartupState &ss = State();
  if (ctArguments > _ctMaxArguments) ctArguments = _ctMaxArguments;
  if (ctArguments < 0 || astrArguments == nullptr) ctArguments = 0;
  for (int i = 0; i <= _ctMaxArguments; i++) {
    ss.ss_astrArguments[i] = i < ctArguments && astrArguments[i] ? astrArguments[i] : "";
  }
  ss.ss_ctArguments = ctArguments > 0 ? ctArguments : 1;
  ss.ss_strProgram = ctArguments > 0 ? ss.ss_astrArguments[0] : CString();
  RunCommon(pMain, strStartupSettings);
  return 0;
}

long corRunWinMain(CoreMainFunction pMain, const char *strCommandLine, int iShowCommand,
                   const char *strStartupSettings)
{
  StartupState &ss = State();
  ss.ss_strCommandLine = strCommandLine ? strCommandLine : "";
  ss.ss_iShowCommand = iShowCommand;
  ss.ss_strProgram = filSysGetModulePath();
  ss.ss_astrArguments[0] = ss.ss_strProgram;
  corSplitCommandLine(strCommandLine);
  RunCommon(pMain, strStartupSettings);
  return 0;
}

} // namespace QuennelEngine
