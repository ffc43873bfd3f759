#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>

using namespace QuennelEngine;
using namespace QuennelEngine::Test;

TEST(Version, CanonicalTextsOnly)
{
  const char *strCore = "$Version: Quennel Vop 2; 2.062.00:57676; 2005-DEMO-inc$";
  CVersion ver = verStringToVersion_t(strCore);
  EXPECT_STREQ(ver.ver_strName, "Quennel Vop 2");
  EXPECT_EQ(ver.ver_iMajor, 2);
  EXPECT_EQ(ver.ver_iMinor, 62);
  EXPECT_EQ(ver.ver_iPatch, 0);
  EXPECT_EQ(ver.ver_iBuild, 57676);
  EXPECT_STREQ(ver.ver_strNote, "2005-DEMO-inc");
  EXPECT_STREQ(verVersionToString(ver), strCore);
  EXPECT_STREQ(verVersionToString(corGetCoreVersion()), strCore);
  const char *astrBad[] = {
      "$Version: Quennel Vop 2; 2.62.0:57676; 2005-DEMO-inc$",   // not canonical
      "$Version: Quennel Vop 2; 0.062.00:57676; 2005-DEMO-inc$", // major 0
      "$Version: Quennel Vop 2; 2.062.100:57676; x$",            // patch too big
      "Version: Quennel; 2.062.00:1; x$",
      "$Version: Quennel; 2.062.00:1; x",
      "$Version: no fields$",
      "",
  };
  for (const char *str : astrBad) {
    try {
      verStringToVersion_t(str);
      ADD_FAILURE() << str;
    } catch (CException &ex) {
      EXPECT_STREQ(ex.GetDescription(), "Version format error.");
    }
  }
  // A default version: zero padding puts the sign first.
  EXPECT_STREQ(verVersionToString(CVersion()), "$Version: ; -1.-01.-1:-1; $");
}

TEST(Startup, CommandLineSplitting)
{
  corSplitCommandLine("a \"b c\" \"\"d");
  ASSERT_EQ(corGetArgC(), 5);
  EXPECT_STREQ(corGetArgV(1), "a");
  EXPECT_STREQ(corGetArgV(2), "b c");
  EXPECT_STREQ(corGetArgV(3), "");
  EXPECT_STREQ(corGetArgV(4), "d");
  EXPECT_STREQ(corGetArgV(5), ""); // beyond the count
  corSplitCommandLine("x \"unclosed quote");
  ASSERT_EQ(corGetArgC(), 3);
  EXPECT_STREQ(corGetArgV(2), "unclosed quote");
  corSplitCommandLine("last");
  EXPECT_STREQ(corGetArgV(1), "last");
  // A long line is cut at 1023 characters; the table holds at most 100 arguments.
  CString strLong('x', 3000);
  corSplitCommandLine(strLong);
  EXPECT_EQ(corGetArgV(1).Length(), 1023);
  CString strMany;
  for (int i = 0; i < 150; i++) strMany += "a ";
  corSplitCommandLine(strMany);
  EXPECT_EQ(corGetArgC(), 100);
  EXPECT_STREQ(corGetArgV(-1), "");

  corSetStartupSettings("NoTimer nozips");
  EXPECT_TRUE(corIsStartupFlagSet("notimer"));
  EXPECT_TRUE(corIsStartupFlagSet("nozips"));
  EXPECT_FALSE(corIsStartupFlagSet("norootdir"));
  corSetStartupSettings("");
}

namespace {
void HostMain(void)
{
  conLogF("host main runs with %1 arguments\n", ARG_INT, corGetArgC());
  svcChangeRunLevel(strConvertStringToID("Group.Application"), 11);
  conLogF("threads service: main thread %1\n", ARG_TEXT,
          thrGetMainThreadID() == sysGetCurrentThreadID() ? "set" : "missing");
}

int RunHost(const char *strSettings, bool bWinMain)
{
  conOpenLog(COT_LOG3, "Temp/Startup/Host.log", "w");
  conSetOutputFilter(COT_LOG3, 0xFFFFFFFF);
  conDumpBuffer(COT_LOG3);
  if (bWinMain) {
    corRunWinMain(HostMain, "first \"second arg\"", 1, strSettings);
  } else {
    char *astrArgs[] = {(char *)"Host.exe", (char *)"-x", (char *)"y"};
    corRun(HostMain, 3, astrArgs, strSettings);
  }
  conCloseLog(COT_LOG3);
  return 0;
}
} // namespace

QE_CHILD(HostRun)
{
  return RunHost("", false);
}
QE_CHILD(HostRunNoTimer)
{
  return RunHost("notimer nozips norootdir", false);
}
QE_CHILD(HostWinMain)
{
  return RunHost("", true);
}

// Checks that the texts appear in the log in this order.
static void ExpectInOrder(const std::string &strLog, std::initializer_list<const char *> astr)
{
  size_t iPos = 0;
  for (const char *str : astr) {
    size_t iFound = strLog.find(str, iPos);
    EXPECT_NE(iFound, std::string::npos) << "missing or out of order: " << str << "\n" << strLog;
    if (iFound != std::string::npos) iPos = iFound;
  }
}

TEST(Startup, HostRunsThroughBothEntryPoints)
{
  ChildResult cr = RunChild("HostRun");
  ASSERT_FALSE(cr.cr_bTimedOut);
  EXPECT_EQ(cr.cr_ulExitCode, 0u) << cr.cr_strOutput;
  std::string strLog = ReadSystemFile("Temp/Startup/Host.log");
  ExpectInOrder(strLog,
                {"Core version: $Version: Quennel Vop 2; 2.062.00:57676; 2005-DEMO-inc$",
                 "Command: ", " -x y", "Initializing timer.",
                 "Binary name: ", "Application directory: ", "Loading group files...",
                 "Stream initialization: ", "host main runs with 3 arguments",
                 "threads service: main thread set", "Timestamp: ", "Core is shutting down"});

  cr = RunChild("HostRunNoTimer");
  ASSERT_FALSE(cr.cr_bTimedOut);
  EXPECT_EQ(cr.cr_ulExitCode, 0u);
  strLog = ReadSystemFile("Temp/Startup/Host.log");
  ExpectInOrder(strLog,
                {"Core version: ", "Initializing timer.", "Application directory: <forbidden>",
                 "host main runs", "Core is shutting down"});
  // Without the timer there is no closing timestamp.
  EXPECT_EQ(strLog.find("Timestamp: ", strLog.find("host main runs")), std::string::npos);

  cr = RunChild("HostWinMain");
  ASSERT_FALSE(cr.cr_bTimedOut);
  EXPECT_EQ(cr.cr_ulExitCode, 0u);
  strLog = ReadSystemFile("Temp/Startup/Host.log");
  ExpectInOrder(strLog, {"Command: ", "first second arg", "host main runs with 3 arguments",
                         "Core is shutting down"});
}
