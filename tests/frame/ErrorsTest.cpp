#include "TestSupport.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

using namespace QuennelEngine;
using namespace QuennelEngine::Test;

TEST(Exceptions, DescriptionsAndCopies)
{
  CFileException exFile("Could not open file.", "Data/x.bin");
  EXPECT_STREQ(exFile.GetDescription(), "Could not open file. (Data/x.bin)");
  EXPECT_STREQ(exFile.GetFilename(), "Data/x.bin");
  CFileException exFileCopy(exFile);
  EXPECT_STREQ(exFileCopy.GetFilename(), "Data/x.bin");

  CSimpleException *pex = new CSimpleException("original");
  CSimpleException exCopy(*pex);
  delete pex;
  EXPECT_STREQ(exCopy.GetDescription(), "original");

  try {
    ThrowF_t("value %1", ARG_INT, 7);
    FAIL();
  } catch (CException &ex) {
    EXPECT_STREQ(ex.GetDescription(), "value 7");
  }
  try {
    ThrowFormat_t("%2 and %1", 7, "text");
    FAIL();
  } catch (CSimpleException &ex) {
    EXPECT_STREQ(ex.GetDescription(), "text and 7");
  }
  try {
    CString strLong('x', 1000);
    ThrowF_t_old("%s", strLong.str_String);
    FAIL();
  } catch (char *pch) {
    EXPECT_EQ(strlen(pch), 255u); // cut and always terminated
  }
}

// What window procedures, thread entry points and the terminate handler print of an exception.
TEST(Exceptions, DescribedInFlightWhateverTheirType)
{
  char ach[64];
  EXPECT_STREQ(dbgDescribeCurrentException(ach, sizeof(ach)), "no exception is being handled");
  try {
    ThrowFormat_t("Cannot open %1", "Data/Level.wld");
  } catch (...) {
    EXPECT_STREQ(dbgDescribeCurrentException(ach, sizeof(ach)), "Cannot open Data/Level.wld");
  }
  try {
    throw std::runtime_error("a standard one");
  } catch (...) {
    EXPECT_STREQ(dbgDescribeCurrentException(ach, sizeof(ach)), "a standard one");
  }
  try {
    throw 42;
  } catch (...) {
    EXPECT_STREQ(dbgDescribeCurrentException(ach, sizeof(ach)), "an exception of an unknown type");
    // Cut to the buffer, always terminated; a buffer of nothing is left alone.
    char achSmall[5] = "zzzz";
    EXPECT_STREQ(dbgDescribeCurrentException(achSmall, sizeof(achSmall)), "an e");
    EXPECT_EQ(dbgDescribeCurrentException(achSmall, 0), achSmall);
    EXPECT_STREQ(achSmall, "an e");
  }
}

TEST(ErrorTables, NamesDescriptionsAndSystemTexts)
{
  static const ErrorCode aec[] = {{5, "ERR_FIVE", "Five went wrong"}, {9, "ERR_NINE", "Nine"}};
  ErrorTable et = {2, aec};
  EXPECT_STREQ(ErrorName(&et, 5), "ERR_FIVE");
  EXPECT_STREQ(ErrorName(&et, 6), "OSTWICK_UNKNOWN");
  EXPECT_STREQ(ErrorName(nullptr, 5), "?");
  EXPECT_STREQ(ErrorDescription(&et, 9), "Nine");
  EXPECT_STREQ(ErrorDescription(&et, 6), "Unknown error");
  CGuardBreachCounter gbc;
  EXPECT_STREQ(ErrorDescription(nullptr, 5), "");
  EXPECT_EQ(gbc.Count(), 1);
  // The system knows "file not found" (2); the text has no line end.
  CString str = GetWindowsError(2);
  EXPECT_FALSE(str.IsEmpty());
  EXPECT_NE(str[str.Length() - 1], '\n');
}

TEST(MessageWindows, UnattendedAnswersWithTheDefaultButton)
{
  ASSERT_TRUE(sysIsUnattended());
  long ctTotal = conGetTotalLinesCount();
  EXPECT_EQ(sysMessageBox("Really?", "Question", SMB_YESNO, SMI_WARNING, SMA_NO), SMA_NO);
  EXPECT_EQ(sysMessageBox("Assert", "Assert", SMB_ABORTRETRYIGNORE, SMI_ERROR, SMA_RETRY),
            SMA_RETRY);
  sysMessage("a message");
  EXPECT_GT(conGetTotalLinesCount(), ctTotal); // written to the console instead
  long iType;
  CString strLine;
  conGetLine(0, iType, strLine);
  EXPECT_STREQ(strLine, "a message\n");
  WarningMessage_old("old %1", ARG_INT, 1);
  conGetLine(0, iType, strLine);
  EXPECT_STREQ(strLine, "<WARNING! OLD FORMATTING>old 1\n");
}

QE_CHILD(FatalError)
{
  conOpenLog(COT_LOG3, "Temp/Fatal.log", "w");
  conAddExitCallback([](void *) { conLogF("exit callback ran\n"); }, nullptr);
  conFatalErrorF("Broken %1!\n", ARG_INT, 42);
  return 0; // not reached
}

QE_CHILD(NestedFatalError)
{
  conSetFatalErrorCallback([](const char *, va_list) { conFatalErrorF("again\n"); });
  conFatalErrorF("first\n");
  return 0;
}

QE_CHILD(FatalErrorOld)
{
  FatalError_old("old %1", ARG_INT, 3);
  return 0;
}

TEST(FatalError, EndsTheProcessWithoutBlockingWhenUnattended)
{
  ChildResult cr = RunChild("FatalError");
  ASSERT_FALSE(cr.cr_bTimedOut) << "a fatal error blocked: " << cr.cr_strOutput;
  EXPECT_EQ(cr.cr_ulExitCode, 1u);
  EXPECT_NE(cr.cr_strOutput.find("FTL:  Broken 42!"), std::string::npos) << cr.cr_strOutput;
  FILE *pf = fopen("Temp/Fatal.log", "rb");
  ASSERT_NE(pf, nullptr);
  char ach[4096] = {};
  fread(ach, 1, sizeof(ach) - 1, pf);
  fclose(pf);
  std::string strLog = ach;
  EXPECT_NE(strLog.find("FTL:  Broken 42!"), std::string::npos);
  EXPECT_NE(strLog.find("Unattended: message window \"Message\" answered OK"), std::string::npos);
  EXPECT_NE(strLog.find("exit callback ran"), std::string::npos);

  // A fatal error inside the fatal path ends the process at once instead of going round again.
  cr = RunChild("NestedFatalError");
  ASSERT_FALSE(cr.cr_bTimedOut);
  EXPECT_EQ(cr.cr_ulExitCode, 1u);
  EXPECT_EQ(cr.cr_strOutput.find("first"), std::string::npos);

  cr = RunChild("FatalErrorOld");
  ASSERT_FALSE(cr.cr_bTimedOut);
  EXPECT_EQ(cr.cr_ulExitCode, 1u);
  EXPECT_NE(cr.cr_strOutput.find("FTL:  old 3"), std::string::npos) << cr.cr_strOutput;
}
