#include "TestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <stdio.h>
#include <string.h>
#include <string>

using namespace QuennelEngine;
using namespace QuennelEngine::Test;

namespace {

// Whether `str` has a line of `strTag`, blanks and `strText`: the tags widen by one blank after
// the first dump into a log, which another test may already have done.
bool HasTaggedLine(const std::string &str, const char *strTag, const char *strText)
{
  for (size_t i = str.find(strTag); i != std::string::npos; i = str.find(strTag, i + 1)) {
    if (i != 0 && str[i - 1] != '\n') continue;
    size_t j = i + strlen(strTag);
    while (j < str.size() && str[j] == ' ') j++;
    if (str.compare(j, strlen(strText), strText) == 0) return true;
  }
  return false;
}

CString Line(long iLine, long *piType = nullptr)
{
  long iType;
  CString str;
  conGetLine(iLine, iType, str);
  if (piType) *piType = iType;
  return str;
}

// Redirects standard output into a file while it lives.
class CCaptureStdOut {
public:
  CCaptureStdOut()
  {
    cso_hOld = GetStdHandle(STD_OUTPUT_HANDLE);
    cso_hFile = CreateFileA("capture.tmp", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                            CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY, nullptr);
    SetStdHandle(STD_OUTPUT_HANDLE, cso_hFile);
  }
  ~CCaptureStdOut()
  {
    SetStdHandle(STD_OUTPUT_HANDLE, cso_hOld);
    CloseHandle(cso_hFile);
    DeleteFileA("capture.tmp");
  }
  std::string Text()
  {
    FlushFileBuffers(cso_hFile);
    return ReadSystemFile("capture.tmp");
  }

private:
  HANDLE cso_hOld;
  HANDLE cso_hFile;
};

} // namespace

// The console works before main: this program's static initialisers print through it.
static long _iStaticLine = [] {
  conLogF("printed by a static initialiser\n");
  return conGetTotalLinesCount();
}();

TEST(Console, UsableFromStaticInitialisers)
{
  EXPECT_GE(_iStaticLine, 1);
  long iAbsolute = _iStaticLine - 1;
  long iType;
  CString strLine;
  conGetLine(conAbsToRelLineIndex(iAbsolute) - 1, iType, strLine);
  // The ring may have dropped it since; when it is still there it is the static one.
  if (conGetLinesCount() == conGetTotalLinesCount()) {
    EXPECT_STREQ(strLine, "printed by a static initialiser\n");
  }
}

TEST(Console, LinesOfDifferentTypesAreFinishedByTheNext)
{
  long ctTotal = conGetTotalLinesCount();
  conInfoF("a");
  conWarningF("b\n");
  long iType;
  EXPECT_STREQ(Line(1, &iType), "a\n");
  EXPECT_EQ(iType, CMT_INFO);
  EXPECT_STREQ(Line(0, &iType), "b\n");
  EXPECT_EQ(iType, CMT_WARNING);
  EXPECT_EQ(conGetTotalLinesCount(), ctTotal + 2);

  // A line without its line feed stays open for the next message of the same type.
  conLogF("part ");
  conLogF("%1 %2\n", ARG_TEXT, "two", ARG_INT, 2);
  EXPECT_STREQ(Line(0), "part two 2\n");
  conLog("typed %1 and %2\n", 3, CString("text"));
  EXPECT_STREQ(Line(0), "typed 3 and text\n");
  // One message of several lines makes several lines.
  conLogF("x\ny\n");
  EXPECT_STREQ(Line(1), "x\n");
  EXPECT_STREQ(Line(0), "y\n");

  EXPECT_EQ(conGetLineType(conGetLinesCount()), 0);
  EXPECT_STREQ(Line(-1), "");
  EXPECT_EQ(conAbsToRelLineIndex(conGetTotalLinesCount() - 1), 1);
  EXPECT_EQ(conAbsToRelLineIndex(-1), 0);
  EXPECT_EQ(conAbsToRelLineIndex(conGetTotalLinesCount() + 1), 0);
}

TEST(Console, OutputsFollowTheirFiltersAndTags)
{
  conOpenLog(COT_LOG3, "Temp/ConsoleFilters.log", "w");
  {
    CCaptureStdOut cso;
    conInfoF("to output 0\n");
    conWarningF("to output 1\n");
    conTraceF("trace line\n");
    conDisableTags(COT_STDOUT);
    conInfoF("untagged\n");
    conEnableTags(COT_STDOUT);
    std::string str = cso.Text();
    EXPECT_TRUE(HasTaggedLine(str, "INF:", "to output 0")) << str;
    EXPECT_TRUE(HasTaggedLine(str, "WRN:", "to output 1")) << str;
    EXPECT_EQ(str.find("trace line"), std::string::npos) << str; // debug and up, not trace
    EXPECT_NE(str.find("\nuntagged\n"), std::string::npos) << str;
  }
  conCloseLog(COT_LOG3);
  std::string strLog = ReadSystemFile("Temp/ConsoleFilters.log");
  EXPECT_TRUE(HasTaggedLine(strLog, "WRN:", "to output 1")) << strLog;
  EXPECT_EQ(strLog.find("trace line"), std::string::npos); // slot 3 lets everything but trace
  EXPECT_EQ(conGetOutputFilter(COT_LOG3), 0xFFFFFFFDu);
  EXPECT_EQ(conGetOutputFilter(COT_STDOUT), 0x4u);
  EXPECT_EQ(conGetOutputFilter(COT_STDOUT_REST), 0xFFFFFFF8u);

  CGuardBreachCounter gbc;
  EXPECT_EQ(conGetOutputFilter(6), 0u);
  EXPECT_EQ(gbc.Count(), 1);
}

TEST(Console, RingDropsOldLinesAndCutsLongOnes)
{
  CLockOutputs lo; // keep the flood off standard output
  for (int i = 0; i < 2000; i++) conLogF("line number %1 of the flood\n", ARG_INT, i);
  EXPECT_LT(conGetLinesCount(), conGetTotalLinesCount());
  EXPECT_GT(conGetDroppedLinesCount(), 0);
  EXPECT_STREQ(Line(0), "line number 1999 of the flood\n");

  CString strLong('x', 20000);
  conLogF("%1\n", ARG_TEXT, strLong.str_String);
  CString str = Line(0);
  EXPECT_EQ(str.Length(), CON_MAX_LINE);
  EXPECT_EQ(conGetLinesCount(), 1); // it filled the ring alone
  // The next line needs room: the long one, no longer open, is dropped for it.
  conLogF("next\n");
  EXPECT_STREQ(Line(0), "next\n");
  EXPECT_EQ(conGetLinesCount(), 1);
}

TEST(Console, DumpWritesHeaderMissingLinesAndWidenedTags)
{
  {
    CLockOutputs lo;
    for (int i = 0; i < 3000; i++) conLogF("flood %1\n", ARG_INT, i);
  }
  conLogF("last line\n");
  conOpenLog(COT_LOG4, "Temp/ConsoleDump.log", "w");
  conDumpBuffer(COT_LOG4);
  conCloseLog(COT_LOG4);
  std::string str = ReadSystemFile("Temp/ConsoleDump.log");
  EXPECT_EQ(str.compare(0, 3, "\xEF\xBB\xBF"), 0);
  EXPECT_NE(str.find("        -------- START OF LOG --------"), std::string::npos);
  CString strMissing = strFormat("(first %1 lines missing)", conGetDroppedLinesCount());
  EXPECT_NE(str.find(strMissing.str_String), std::string::npos);
  EXPECT_NE(str.find("LOG:   last line"), std::string::npos); // seven-character tag
}

TEST(Console, LogFilesGetTheMarkOnceAndBackups)
{
  DeleteFileA("Temp/Marked.log");
  conOpenLog(COT_LOG5, "Temp/Marked.log", "a");
  conLogF("first\n");
  conCloseLog(COT_LOG5);
  conOpenLog(COT_LOG5, "Temp/Marked.log", "a");
  conLogF("second\n");
  conCloseLog(COT_LOG5);
  std::string str = ReadSystemFile("Temp/Marked.log");
  EXPECT_EQ(str.compare(0, 3, "\xEF\xBB\xBF"), 0);
  EXPECT_EQ(str.find("\xEF\xBB\xBF", 3), std::string::npos);
  EXPECT_NE(str.find("LOG:"), std::string::npos);
  EXPECT_NE(str.find("second"), std::string::npos);

  // A log under a folder with non-ASCII characters.
  conOpenLog(COT_LOG5, "Temp/Grüße/Log.log", "w");
  EXPECT_TRUE(conIsLogOpen(COT_LOG5));
  conLogF("ümlaut\n");
  conCloseLog(COT_LOG5);
  EXPECT_TRUE(sysFileExists("Temp/Grüße/Log.log"));

  sysCreateDirectories("Temp");
  FILE *pf = fopen("Temp/Game.log", "w");
  fputs("x", pf);
  fclose(pf);
  conBackupLog("Temp/Game.log");
  EXPECT_TRUE(sysFileExists("Temp/Game.old"));
  EXPECT_FALSE(sysFileExists("Temp/Game.log"));
  conBackupLog("Temp/Game.log"); // nothing to back up: the old backup stays
  EXPECT_TRUE(sysFileExists("Temp/Game.old"));
}

TEST(Console, OutputOnceRemembersTenMessages)
{
  // Ten messages never printed before push out what an earlier run of this test left remembered.
  static int _iRun = 0;
  _iRun++;
  for (int i = 0; i < 10; i++)
    conOutputOnce(CMT_LOG, "run %1 flush %2\n", ARG_INT, _iRun, ARG_INT, i);
  long ctTotal = conGetTotalLinesCount();
  conOutputOnce(CMT_WARNING, "Once %1\n", ARG_INT, 1);
  conOutputOnce(CMT_WARNING, "ONCE %1\n", ARG_INT, 1); // same text ignoring case
  EXPECT_EQ(conGetTotalLinesCount(), ctTotal + 1);
  conOutputOnce(CMT_ERROR, "Once %1\n", ARG_INT, 1); // another type
  EXPECT_EQ(conGetTotalLinesCount(), ctTotal + 2);
  for (int i = 0; i < 10; i++) conOutputOnce(CMT_LOG, "other %1\n", ARG_INT, i);
  ctTotal = conGetTotalLinesCount();
  conOutputOnce(CMT_WARNING, "Once %1\n", ARG_INT, 1);
  EXPECT_EQ(conGetTotalLinesCount(), ctTotal + 1);
}

namespace {
int _ctCallbackLines = 0;
void *_pvCallbackData = nullptr;
void PrintingCallback(void *pvData)
{
  _ctCallbackLines++;
  _pvCallbackData = pvData;
  // Printing from a callback must not call the callbacks again.
  conLogF("from the callback\n");
}
void RemovingCallback(void *pvData)
{
  conRemLineCallback(RemovingCallback, pvData);
}
} // namespace

TEST(Console, LineCallbacksDoNotReenter)
{
  int iData = 0;
  _ctCallbackLines = 0;
  conAddLineCallback(PrintingCallback, &iData);
  conAddLineCallback(RemovingCallback, &iData);
  conLogF("one\n");
  EXPECT_EQ(_ctCallbackLines, 1);
  EXPECT_EQ(_pvCallbackData, &iData);
  EXPECT_STREQ(Line(0), "from the callback\n");
  EXPECT_STREQ(Line(1), "one\n");
  conLogF("two\n");
  EXPECT_EQ(_ctCallbackLines, 2);
  conDisableLineCallbacks();
  conLogF("three\n");
  EXPECT_EQ(_ctCallbackLines, 2);
  {
    CLockOutputs lo;
    EXPECT_FALSE(conAreCallbacksEnabled());
    conEnableLineCallbacks();
  } // restored to what it was
  EXPECT_FALSE(conAreCallbacksEnabled());
  conEnableLineCallbacks();
  conRemLineCallback(PrintingCallback, &iData);
  conLogF("four\n");
  EXPECT_EQ(_ctCallbackLines, 2);
}

TEST(Console, LockOutputsSilencesAndRestores)
{
  unsigned long ulInfo = conGetOutputFilter(COT_STDOUT);
  {
    CLockOutputs lo;
    for (int i = 0; i < COT_COUNT; i++) EXPECT_EQ(conGetOutputFilter(i), 0u);
    lo.UnlockType(COT_STDOUT);
    EXPECT_EQ(conGetOutputFilter(COT_STDOUT), ulInfo);
    lo.LockType(COT_STDOUT);
    EXPECT_EQ(conGetOutputFilter(COT_STDOUT), 0u);
    lo.UnlockOutputs();
    EXPECT_EQ(conGetOutputFilter(COT_LOG4), 0xFFFFFFFFu);
    lo.LockOutputs();
    lo.UnlockCallbacks();
    EXPECT_TRUE(conAreCallbacksEnabled());
    lo.LockCallbacks();
    EXPECT_FALSE(conAreCallbacksEnabled());
  }
  EXPECT_EQ(conGetOutputFilter(COT_STDOUT), ulInfo);
  EXPECT_TRUE(conAreCallbacksEnabled());
}
