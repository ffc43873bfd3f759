// The console's log files.
#include "core/frame/ConsolePrivate.h"

#include "core/frame/CodeGuard.h"
#include "core/frame/Exception.h"
#include "core/platform/SysFiles.h"
#include "core/streams/FileSystem.h"
#include "core/text/Editing.h"
#include "core/text/FileNames.h"
#include "core/text/Translation.h"
#include "core/threads/SyncLock.h"

namespace QuennelEngine {

using namespace ConsolePrivate;

void ConsoleForEachLine(void (*pFunction)(long iType, const char *pch, long ct, void *pv),
                        void *pv);
long conGetDroppedLinesCount(void);

static bool ValidLogOutput(long iOutput)
{
  if (iOutput >= 0 && iOutput < COT_COUNT) return true;
  corLogGuardBreach();
  return false;
}

void conOpenLog_t(long iOutput, const char *strFileName, const char *strMode)
{
  if (!ValidLogOutput(iOutput) || strFileName == nullptr || strMode == nullptr) return;
  CSyncLock sl(&con_smMutex);
  conCloseLog(iOutput);
  // File names are soft paths, like every file of the engine.
  CString strDir = strFileDir(strFileName);
  if (!strDir.IsEmpty() && !filCreateDirectoryPath(strDir)) {
    ThrowFormat_t(strTranslate("DOZUConsole.CreateDirectory=Cannot create directory '%1'."),
                  strDir);
  }
  FILE *pf = sysOpenCFile(filSoftToHardPath(strFileName), CString(strMode) + "+");
  if (pf == nullptr) return;
  fseek(pf, 0, SEEK_END);
  if (ftell(pf) == 0) {
    fwrite("\xEF\xBB\xBF", 1, 3, pf);
    fflush(pf);
  }
  con_apfLogs[iOutput] = pf;
}

void conOpenLog(long iOutput, const char *strFileName, const char *strMode)
{
  try {
    conOpenLog_t(iOutput, strFileName, strMode);
  } catch (CException &ex) {
    conErrorF("%1\n", ARG_TEXT, ex.GetDescription());
  }
}

bool conIsLogOpen(long iOutput)
{
  CSyncLock sl(&con_smMutex);
  return iOutput >= 0 && iOutput < COT_COUNT && con_apfLogs[iOutput] != nullptr;
}

void conCloseLog(long iOutput)
{
  if (!ValidLogOutput(iOutput)) return;
  CSyncLock sl(&con_smMutex);
  if (con_apfLogs[iOutput] != nullptr) {
    fclose(con_apfLogs[iOutput]);
    con_apfLogs[iOutput] = nullptr;
  }
}

static void DumpLine(long iType, const char *pch, long ct, void *pv)
{
  FILE *pf = (FILE *)pv;
  fputs(TagOf(iType), pf);
  fwrite(pch, 1, ct, pf);
}

void conDumpBuffer(long iOutput)
{
  if (!ValidLogOutput(iOutput)) return;
  CSyncLock sl(&con_smMutex);
  FILE *pf = con_apfLogs[iOutput];
  if (pf == nullptr) return;
  CString strHeader = strPrintF("\n\n        -------- %1 --------\n\n", ARG_TEXT,
                                strTranslate("DOZUConsole.StartLog=START OF LOG"));
  WidenTags();
  fputs(strHeader, pf);
  long ctDropped = conGetDroppedLinesCount();
  if (ctDropped > 0) {
    fputs(strPrintF(strTranslate("DOZUConsole.MissingLines=(first %1 lines missing)\n"), ARG_INT,
                    ctDropped),
          pf);
  }
  ConsoleForEachLine(DumpLine, pf);
  fflush(pf);
}

void conBackupLog(const char *strFileName)
{
  if (strFileName == nullptr) return;
  try {
    // Without a log to back up, the previous backup is kept rather than deleted for nothing.
    if (!filExistsOnDisk(strFileName)) return;
    CString strBackup = strNoFileExt(strFileName) + ".old";
    if (filExistsOnDisk(strBackup)) filDeleteFile_t(strBackup);
    filRenameFile_t(strFileName, strBackup);
  } catch (CException &) {
    // A backup that cannot be made is not worth stopping for.
  }
}

} // namespace QuennelEngine
