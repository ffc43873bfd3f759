// Crash reports from child processes that really crash, and the frame walk, code locations and
// stack dumps in process.
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <exception>
#include <regex>
#include <stdexcept>
#include <string>

using namespace QuennelEngine;
using namespace QuennelEngine::Test;

namespace {

bool Contains(const std::string &str, const char *strPart)
{
  return str.find(strPart) != std::string::npos;
}

// The report file of this program (children are this program too).
std::string ReportFileName(void)
{
  rptInitExceptionHandler();
  std::string str = rptGetReportFileName().str_String;
  rptCloseExceptionHandler();
  return str;
}

// A child that crashes must not end in Wine's debugger, waiting for a user. Wine reads the
// debugger override from the environment it was started with rather than from the child's
// block, so the child also puts a filter below the library's that ends the process; the exit
// code (the exception's code) then shows that the library handed the exception on.
ChildResult RunCrashingChild(const char *strName)
{
  return RunChild(strName, 30000, "WINEDLLOVERRIDES=mscoree,mshtml=;winedbg.exe=d");
}

LONG WINAPI EndProcessFilter(EXCEPTION_POINTERS *)
{
  return EXCEPTION_EXECUTE_HANDLER;
}

void StartChild(const char *strLog)
{
  conOpenLog(COT_LOG3, strLog, "w");
  SetUnhandledExceptionFilter(EndProcessFilter);
  rptInitExceptionHandler();
}

void AddDumperLine(CReportWriter &rw)
{
  rw.PrintF("dumper line %d\n", 42);
}

} // namespace

QE_CHILD(CrashAccessViolation)
{
  StartChild("Temp/CrashAV.log");
  rptAddReportDumper(AddDumperLine);
  dbgMakeAccessViolation(0);
  return 0;
}

QE_CHILD(CrashStackOverflow)
{
  StartChild("Temp/CrashSO.log");
  dbgMakeStackOverflow(0);
  return 0;
}

QE_CHILD(CrashStealth)
{
  StartChild("Temp/CrashStealth.log");
  dbg_bStealthMode = 1;
  dbgMakeAccessViolation(0);
  return 0;
}

QE_CHILD(CrashCppFromHost)
{
  StartChild("Temp/CrashHost.log");
  throw CSimpleException("thrown by the host");
}

QE_CHILD(CrashCppFromCore)
{
  StartChild("Temp/CrashCore.log");
  ThrowF_t("thrown by %1", ARG_TEXT, "Core");
}

QE_CHILD(CrashCppInThread)
{
  StartChild("Temp/CrashThread.log");
  thrStartMultiThreading();
  thrStartMultiThreadingSystem();
  thrCreateThread(nullptr, [](void *) { throw std::runtime_error("thrown on a thread"); });
  while (thrCountThreads() > 0 || thrCountActiveThreads() > 0) Sleep(1);
  return 0;
}

TEST(CrashReports, AccessViolationLeavesAFullReport)
{
  std::string strReport = ReportFileName();
  DeleteFileA(strReport.c_str());
  ChildResult cr = RunCrashingChild("CrashAccessViolation");
  ASSERT_FALSE(cr.cr_bTimedOut) << cr.cr_strOutput;
  EXPECT_EQ(cr.cr_ulExitCode, 0xC0000005u);
  std::string str = ReadSystemFile(strReport.c_str());
  ASSERT_FALSE(str.empty()) << cr.cr_strOutput;

  EXPECT_EQ(str.rfind("//=====================================================\n", 0), 0u);
  EXPECT_TRUE(std::regex_search(str, std::regex("\nCrashed at: \\d\\d/\\d\\d/\\d\\d "
                                                "\\d\\d:\\d\\d:\\d\\d\n")));
  EXPECT_TRUE(
      Contains(str, "\nVersion: $Version: Quennel Vop 2; 2.062.00:57676; 2005-DEMO-inc$\n"));
  EXPECT_TRUE(Contains(str, "\nException code: C0000005 ACCESS_VIOLATION\n")) << str;
  // The fault is in our own library's code section.
  EXPECT_TRUE(std::regex_search(
      str, std::regex("\nFault address:  [0-9A-F]{8} 01:[0-9A-F]{8} \"[^\"]*Core\\.dll\"\n")))
      << str;
  for (const char *strRegister :
       {"\nEAX:", "\nEBX:", "\nECX:", "\nEDX:", "\nESI:", "\nEDI:", "\nCS:EIP:", "\nSS:ESP:",
        "  EBP:", "\nDS:", "  GS:", "\nFlags:"}) {
    EXPECT_TRUE(Contains(str, strRegister)) << strRegister;
  }
  size_t iBegin = str.find("\nmanual stack frame walk begin:\n\n");
  size_t iEnd = str.find("\nmanual stack frame walk end:\n");
  ASSERT_NE(iBegin, std::string::npos);
  ASSERT_NE(iEnd, std::string::npos);
  std::string strWalk = str.substr(iBegin, iEnd - iBegin);
  std::regex reFrame("[0-9A-F]{8} [0-9A-F]{8} \\$adr: \"[^\"]*\" [0-9A-F]{4}:[0-9A-F]{8}\n");
  long ctFrames = std::distance(std::sregex_iterator(strWalk.begin(), strWalk.end(), reFrame),
                                std::sregex_iterator());
  EXPECT_GE(ctFrames, 1);
  EXPECT_LE(ctFrames, 100);
  EXPECT_TRUE(std::regex_search(strWalk, std::regex("Core\\.dll\" 0001:[0-9A-F]{8}\n"))) << strWalk;
  EXPECT_TRUE(Contains(str, "\n\ndumper line 42\n\n"));

  std::string strLog = ReadSystemFile("Temp/CrashAV.log");
  EXPECT_TRUE(std::regex_search(strLog, std::regex(": Crashed. \\(free memory: \\d+ MB\\)")))
      << strLog;
  EXPECT_TRUE(
      Contains(cr.cr_strOutput, "The application has malfunctioned and it will now close."));

  // A second crash appends its report.
  cr = RunCrashingChild("CrashAccessViolation");
  ASSERT_FALSE(cr.cr_bTimedOut);
  std::string strTwice = ReadSystemFile(strReport.c_str());
  EXPECT_EQ(strTwice.rfind(str, 0), 0u);
  EXPECT_TRUE(Contains(strTwice.substr(str.size()), "ACCESS_VIOLATION"));
  DeleteFileA(strReport.c_str());
}

TEST(CrashReports, StackOverflowIsReportedFromAFreshStack)
{
  std::string strReport = ReportFileName();
  DeleteFileA(strReport.c_str());
  ChildResult cr = RunCrashingChild("CrashStackOverflow");
  ASSERT_FALSE(cr.cr_bTimedOut) << cr.cr_strOutput;
  EXPECT_EQ(cr.cr_ulExitCode, 0xC00000FDu);
  std::string str = ReadSystemFile(strReport.c_str());
  EXPECT_TRUE(Contains(str, "\nException code: C00000FD STACK_OVERFLOW\n")) << str;
  EXPECT_TRUE(Contains(str, "\nmanual stack frame walk end:\n"));
  // The walk of an overflowed stack is long but bounded.
  size_t iBegin = str.find("walk begin:");
  size_t iEnd = str.find("walk end:");
  ASSERT_NE(iBegin, std::string::npos);
  long ctLines = 0;
  for (size_t i = iBegin; i < iEnd; i++) ctLines += str[i] == '\n';
  EXPECT_GE(ctLines, 10);
  EXPECT_LE(ctLines, 103);
  EXPECT_TRUE(Contains(ReadSystemFile("Temp/CrashSO.log"), ": Crashed."));
  DeleteFileA(strReport.c_str());
}

TEST(CrashReports, StealthModeWritesNoFileButStillTells)
{
  std::string strReport = ReportFileName();
  DeleteFileA(strReport.c_str());
  ChildResult cr = RunCrashingChild("CrashStealth");
  ASSERT_FALSE(cr.cr_bTimedOut);
  EXPECT_EQ(GetFileAttributesA(strReport.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(Contains(ReadSystemFile("Temp/CrashStealth.log"), ": Crashed."));
  EXPECT_TRUE(Contains(cr.cr_strOutput, "The application has malfunctioned"));

  EXPECT_FALSE(dbgIsStealthModeEnabled());
  dbg_bLockStealthMode = 1;
  EXPECT_TRUE(dbgIsStealthModeEnabled());
  dbg_bLockStealthMode = 0;
}

TEST(CrashReports, UncaughtCppExceptionsFromHostCoreAndThreads)
{
  std::string strReport = ReportFileName();
  struct Case {
    const char *ca_strChild;
    const char *ca_strDescription;
  } aca[] = {
      {"CrashCppFromHost", "thrown by the host"},
      {"CrashCppFromCore", "thrown by Core"},
  };
  for (const Case &ca : aca) {
    DeleteFileA(strReport.c_str());
    ChildResult cr = RunCrashingChild(ca.ca_strChild);
    ASSERT_FALSE(cr.cr_bTimedOut) << ca.ca_strChild;
    EXPECT_EQ(cr.cr_ulExitCode, RPT_UNCAUGHT_CPP_EXCEPTION);
    std::string str = ReadSystemFile(strReport.c_str());
    EXPECT_TRUE(Contains(str, "\nException code: E0435050 UNCAUGHT_CPP_EXCEPTION\n"))
        << ca.ca_strChild << "\n"
        << str << cr.cr_strOutput;
    EXPECT_TRUE(Contains(
        str, (std::string("\nUncaught C++ exception: ") + ca.ca_strDescription + "\n").c_str()))
        << str;
  }
  // On a library thread the exception is reported and the thread ends; the program goes on.
  DeleteFileA(strReport.c_str());
  ChildResult cr = RunCrashingChild("CrashCppInThread");
  ASSERT_FALSE(cr.cr_bTimedOut);
  EXPECT_EQ(cr.cr_ulExitCode, 0u) << cr.cr_strOutput;
  EXPECT_TRUE(
      Contains(cr.cr_strOutput, "Uncaught exception on a library thread: thrown on a thread"))
      << cr.cr_strOutput;
  EXPECT_TRUE(ReadSystemFile(strReport.c_str()).empty());
}

TEST(CrashReports, HandlerInstallationAndNames)
{
  LPTOP_LEVEL_EXCEPTION_FILTER pBefore = SetUnhandledExceptionFilter(nullptr);
  SetUnhandledExceptionFilter(pBefore);
  std::terminate_handler pTerminateBefore = std::get_terminate();
  rptInitExceptionHandler();
  rptInitExceptionHandler(); // twice must not make the filter its own predecessor
  LPTOP_LEVEL_EXCEPTION_FILTER pOurs = SetUnhandledExceptionFilter(pBefore);
  SetUnhandledExceptionFilter(pOurs);
  EXPECT_NE(pOurs, pBefore);
  EXPECT_NE(std::get_terminate(), pTerminateBefore);
  std::string strName = rptGetReportFileName().str_String;
  EXPECT_TRUE(strName.size() > 17 &&
              strName.compare(strName.size() - 18, 18, "\\PlatformTests.rpt") == 0)
      << strName;
  rptCloseExceptionHandler();
  EXPECT_EQ(SetUnhandledExceptionFilter(pBefore), pBefore);
  EXPECT_EQ(std::get_terminate(), pTerminateBefore);

  EXPECT_STREQ(rptGetExceptionName(0xC0000005), "ACCESS_VIOLATION");
  EXPECT_STREQ(rptGetExceptionName(0xC00000FD), "STACK_OVERFLOW");
  EXPECT_STREQ(rptGetExceptionName(0x80000001), "GUARD_PAGE");
  EXPECT_STREQ(rptGetExceptionName(0xC0000094), "INT_DIVIDE_BY_ZERO");
  EXPECT_STREQ(rptGetExceptionName(0xC000008E), "FLT_DIVIDE_BY_ZERO");
  // Other codes take the system's text, or a plain word when the system has none.
  CString strOther = rptGetExceptionName(0xC0000017);
  EXPECT_FALSE(strOther.IsEmpty());
  EXPECT_EQ(strstr(strOther, "_"), nullptr) << strOther.str_String;

  long ctLines = conGetTotalLinesCount();
  dbgMakeAccessViolation(1);
  dbgMakeStackOverflow(2);
  EXPECT_EQ(conGetTotalLinesCount() - ctLines, 2);
  long iType;
  CString strLine;
  conGetLine(0, iType, strLine);
  EXPECT_STREQ(strLine, "dbgMakeStackOverflow(0) will crash the application!\n");
  EXPECT_EQ(iType, CMT_WARNING);
}

namespace {

int _iData = 1;

// Helpers with frame pointers, so that the frame chain through them is complete.
#define QE_WITH_FRAMES __attribute__((noinline, optimize("no-omit-frame-pointer")))

QE_WITH_FRAMES long Collect(void **apvA, void **apvB)
{
  long ctA = rptCollectCurrentStack(apvA, 8, 0);
  long ctB = rptCollectCurrentStack(apvB, 7, 1);
  asm volatile("" ::: "memory");
  return ctA * 100 + ctB;
}

QE_WITH_FRAMES long CollectMiddle(void **apvA, void **apvB)
{
  long l = Collect(apvA, apvB);
  asm volatile("" ::: "memory");
  return l;
}

QE_WITH_FRAMES long CollectOuter(void **apvA, void **apvB)
{
  long l = CollectMiddle(apvA, apvB);
  asm volatile("" ::: "memory");
  return l;
}

QE_WITH_FRAMES void DumpHere(const char *strFile)
{
  rptDumpCurrentStack(strFile);
  asm volatile("" ::: "memory");
}

} // namespace

TEST(CrashReports, CollectedStacksAndLocations)
{
  void *apvA[8];
  void *apvB[7];
  for (void *&pv : apvA) pv = (void *)1;
  long l = CollectOuter(apvA, apvB);
  long ctA = l / 100;
  long ctB = l % 100;
  ASSERT_GE(ctA, 3);
  EXPECT_EQ(ctB, ctA < 8 ? ctA - 1 : 7);
  // Skipping one frame shifts the same chain by one (the first entries are two call sites).
  for (long i = 1; i < ctA && i - 1 < 7; i++) EXPECT_EQ(apvA[i], apvB[i - 1]) << i;
  for (long i = ctA; i < 8; i++) EXPECT_EQ(apvA[i], nullptr) << i; // zeroed, not left as they were

  // The first address is in this program's code section.
  CodeLocation cl;
  ASSERT_TRUE(rptGetCodeLocation(apvA[0], cl));
  EXPECT_NE(strstr(cl.cl_strModule, "PlatformTests.exe"), nullptr) << cl.cl_strModule;
  EXPECT_EQ(cl.cl_iSection, 1);
  EXPECT_EQ(cl.cl_hModule, (void *)GetModuleHandleW(nullptr));

  // Our library: code in section 1 at its offset; data in a later section.
  void *pvCode = (void *)&rptDumpCurrentStack;
  ASSERT_TRUE(rptGetCodeLocation(pvCode, cl));
  EXPECT_NE(strstr(cl.cl_strModule, "Core.dll"), nullptr);
  EXPECT_EQ(cl.cl_iSection, 1);
  IMAGE_DOS_HEADER *pdos = (IMAGE_DOS_HEADER *)cl.cl_hModule;
  IMAGE_NT_HEADERS32 *pnt = (IMAGE_NT_HEADERS32 *)((char *)pdos + pdos->e_lfanew);
  IMAGE_SECTION_HEADER *psh = IMAGE_FIRST_SECTION(pnt);
  EXPECT_EQ(cl.cl_ulOffset, (unsigned long)((char *)pvCode - (char *)pdos - psh->VirtualAddress));
  ASSERT_TRUE(rptGetCodeLocation(&dbg_bStealthMode, cl));
  EXPECT_GT(cl.cl_iSection, 1);
  ASSERT_TRUE(rptGetCodeLocation(&_iData, cl));
  EXPECT_GT(cl.cl_iSection, 1);

  // Addresses outside every section of a loaded image have no location.
  EXPECT_FALSE(rptGetCodeLocation(nullptr, cl));
  EXPECT_FALSE(rptGetCodeLocation(pdos, cl)); // the headers
  EXPECT_FALSE(rptGetCodeLocation(&cl, cl));  // the stack
  void *pvHeap = memMAlloc(64);
  EXPECT_FALSE(rptGetCodeLocation(pvHeap, cl));
  memFree(pvHeap);
  EXPECT_FALSE(rptGetCodeLocation((void *)0xFFFF0000, cl));

  CString str = rptFormatStackLine(pvCode);
  EXPECT_TRUE(std::regex_match(str.str_String,
                               std::regex("\\$adr: \"[^\"]*Core\\.dll\" 00000001:[0-9A-F]{8}")))
      << str.str_String;
  EXPECT_STREQ(rptFormatStackLine(nullptr), "");
  EXPECT_STREQ(rptFormatStackDumpHeader(), "");
}

TEST(CrashReports, FrameWalkStopsAtBadLinks)
{
  void *apvAddresses[16];
  void *apvFrames[16];
  // A chain built on this thread's stack: frame 0 -> frame 1 -> back down to frame 2 (below).
  alignas(16) ULONG_PTR aul[16] = {};
  ULONG_PTR *pulFrame0 = &aul[4];
  ULONG_PTR *pulFrame1 = &aul[8];
  ULONG_PTR *pulLower = &aul[0];
  pulFrame0[0] = (ULONG_PTR)pulFrame1;
  pulFrame0[1] = 0x1111;
  pulFrame1[0] = (ULONG_PTR)pulLower; // loops back down: the walk ends at frame 1
  pulFrame1[1] = 0x2222;
  long ct = rptWalkFrames((void *)0x1000, pulFrame0, apvAddresses, apvFrames, 16);
  ASSERT_EQ(ct, 2);
  EXPECT_EQ(apvAddresses[0], (void *)0x1000);
  EXPECT_EQ(apvFrames[0], pulFrame0);
  EXPECT_EQ(apvAddresses[1], (void *)0x1111);
  EXPECT_EQ(apvFrames[1], pulFrame1);

  // A link out of the stack (into data) or a misaligned one ends the walk without reading it.
  static ULONG_PTR s_aulOutside[2] = {0, 0};
  pulFrame1[0] = (ULONG_PTR)s_aulOutside;
  EXPECT_EQ(rptWalkFrames((void *)0x1000, pulFrame0, apvAddresses, apvFrames, 16), 2);
  pulFrame1[0] = (ULONG_PTR)&aul[12] + 2;
  EXPECT_EQ(rptWalkFrames((void *)0x1000, pulFrame0, apvAddresses, apvFrames, 16), 2);
  // A start frame that is not in the stack at all: only the start.
  EXPECT_EQ(rptWalkFrames((void *)0x1000, (void *)0x12345678, apvAddresses, apvFrames, 16), 1);
  EXPECT_EQ(rptWalkFrames((void *)0x1000, nullptr, apvAddresses, apvFrames, 16), 1);
  // The count bounds the walk.
  pulFrame1[0] = (ULONG_PTR)&aul[12];
  aul[12] = 0;
  EXPECT_EQ(rptWalkFrames((void *)0x1000, pulFrame0, apvAddresses, apvFrames, 16), 3);
  EXPECT_EQ(rptWalkFrames((void *)0x1000, pulFrame0, apvAddresses, apvFrames, 2), 2);
}

TEST(CrashReports, StackDumpsAppendAndStealthSkipsThem)
{
  const char *strFile = "Temp/Dumps/Stack.rpt";
  DeleteFileA(strFile);
  long ctLines = conGetTotalLinesCount();
  DumpHere(strFile);
  DumpHere(strFile);
  EXPECT_GE(conGetTotalLinesCount() - ctLines, 2);
  long iType;
  CString strLine;
  conGetLine(0, iType, strLine);
  EXPECT_STREQ(strLine, "Dumping stack to 'Temp/Dumps/Stack.rpt'.\n");
  EXPECT_EQ(iType, CMT_TRACE);
  std::string str = ReadSystemFile(strFile);
  EXPECT_EQ(str.rfind("\xEF\xBB\xBF\n-------", 0), 0u);
  std::regex reHeader("\n-{59}\nDumping stack at: \\d\\d/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d\n"
                      "Version: \\$Version: [^\n]*\\$\n-{59}\n");
  long ctHeaders =
      std::distance(std::sregex_iterator(str.begin(), str.end(), reHeader), std::sregex_iterator());
  EXPECT_EQ(ctHeaders, 2) << str;
  // The first line names the caller of the dump: this program's code.
  size_t iFirst = str.find("-\n $adr: ");
  ASSERT_NE(iFirst, std::string::npos) << str;
  EXPECT_TRUE(
      std::regex_search(str.substr(iFirst), std::regex("^-\n \\$adr: \"[^\"]*PlatformTests\\.exe\" "
                                                       "00000001:[0-9A-F]{8}\n")))
      << str;

  dbg_bStealthMode = 1;
  DeleteFileA(strFile);
  DumpHere(strFile);
  dbg_bStealthMode = 0;
  EXPECT_EQ(GetFileAttributesA(strFile), INVALID_FILE_ATTRIBUTES);
}
