#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>

using namespace QuennelEngine;
using namespace QuennelEngine::Test;

namespace {

std::string _strCalls;

void StartA()
{
  _strCalls += "+A";
}
void StopA()
{
  _strCalls += "-A";
}
void StartB()
{
  _strCalls += "+B";
}
void StopB()
{
  _strCalls += "-B";
}
void StartC()
{
  _strCalls += "+C";
}
void StopC()
{
  _strCalls += "-C";
}
void StartD()
{
  _strCalls += "+D";
}
void StopD()
{
  _strCalls += "-D";
}
void StartE()
{
  _strCalls += "+E";
}
void StopE()
{
  _strCalls += "-E";
}
void StartPrinting()
{
  conInfoF("printed while starting\n");
}
void StartThrowing()
{
  ThrowF_t("start failed");
}

IDENT ID(const char *str)
{
  return strConvertStringToID(str);
}

// A group of test services laid out like the library's own: levels 0, 10 and 11.
struct TestServices {
  CService svcA{"TestA", "Tests", 0, 2, StartA, StopA};
  CService svcB{"TestB", "Tests", 0, 0, StartB, StopB};
  CService svcC{"TestC", "Tests", 10, 100, StartC, StopC};
  CService svcD{"TestD", "Tests", 11, 100, StartD, StopD};
  CService svcE{"TestE", "Tests", 0, 0, StartE, StopE}; // ties with B: the ID decides
  TestServices()
  {
    _strCalls.clear();
    svcResetRunLevels();
  }
  ~TestServices() { svcChangeRunLevel(ID("Group.Tests"), -1); }
};

CString LogText(CServiceLog &sl)
{
  CString str;
  for (ServiceLogEntry *psle = sl.GetNextLogEntry(nullptr); psle; psle = sl.GetNextLogEntry(psle)) {
    str += svcGetLogEntryDesc(psle) + "\n";
  }
  return str;
}

} // namespace

TEST(Services, RunLevelsStartAndStopInOrder)
{
  TestServices ts;
  svcChangeRunLevel(ID("Group.Tests"), 11);
  EXPECT_EQ(_strCalls, "+B+E+A+C+D");
  EXPECT_EQ(svcGetCurrentRunLevel(ID("Group.Tests")), 11);
  EXPECT_TRUE(svcIsServiceStarted(ID("Service.TestC")));
  EXPECT_EQ(svcGetServiceRunlevel(ID("Service.TestD")), 11);
  EXPECT_EQ(svcGetServicePriority(ID("Service.TestA")), 2);
  EXPECT_EQ(svcGetServicePriority(ID("Service.Nothing")), -1);
  EXPECT_EQ(svcGetCurrentRunLevel(ID("Group.Never")), -1);
  _strCalls.clear();
  svcChangeRunLevel(ID("Group.Tests"), -5); // below -1 counts as -1
  EXPECT_EQ(_strCalls, "-D-C-A-E-B");
  EXPECT_EQ(svcGetCurrentRunLevel(ID("Group.Tests")), -1);

  // The library's own services sort the same way.
  CDynamicContainer<CService> dc;
  svcEnumerateServices(dc, ID("Group.Application"), nullptr, 0);
  ASSERT_EQ(dc.Count(), 6);
  EXPECT_STREQ(dc[0].svc_idID, "Service.MultiThreading");
  EXPECT_STREQ(dc[1].svc_idID, "Service.MultiThreading_System");
  EXPECT_STREQ(dc[2].svc_idID, "Service.ResourceLoader");
  EXPECT_STREQ(dc[3].svc_idID, "Service.Window");
  EXPECT_STREQ(dc[4].svc_idID, "Service.Window_System");
  EXPECT_STREQ(dc[5].svc_idID, "Service.ResourceBrowseInfo");
}

TEST(Services, HistoryRecordsNewLevelsOnly)
{
  TestServices ts;
  svcChangeRunLevel(ID("Group.Tests"), 11);
  EXPECT_EQ(svcCountRunLevelRecords(), 12); // levels 0 to 11
  EXPECT_EQ(svcGetRunLevelNumber(0), 0);
  EXPECT_EQ(svcGetRunLevelGroup(11), ID("Group.Tests"));
  svcChangeRunLevel(ID("Group.Tests"), 11);
  EXPECT_EQ(svcCountRunLevelRecords(), 12);
  svcChangeRunLevel(ID("Group.Tests"), 5);
  svcChangeRunLevel(ID("Group.Tests"), 11);
  EXPECT_EQ(svcCountRunLevelRecords(), 12);
  // Above the highest level reached: every level stepped through is recorded.
  svcChangeRunLevel(ID("Group.Tests"), 9);
  svcChangeRunLevel(ID("Group.Tests"), 12);
  EXPECT_EQ(svcCountRunLevelRecords(), 12 + 3);
  EXPECT_EQ(svcGetRunLevelNumber(14), 12);
}

TEST(Services, OverridesExplicitStartsAndMisuse)
{
  TestServices ts;
  svcChangeStartupType(ID("Service.TestA"), SST_MANUAL);
  svcHoldService(ID("Service.TestE"), true);
  svcChangeRunLevel(ID("Group.Tests"), 0);
  EXPECT_EQ(_strCalls, "+B");
  svcStartService(ID("Service.TestA")); // an explicit start still works
  EXPECT_TRUE(svcIsServiceStarted(ID("Service.TestA")));
  svcRestartService(ID("Service.TestA"));
  EXPECT_EQ(_strCalls, "+B+A-A+A");

  long ctErrors = conGetTotalLinesCount();
  svcStartService(ID("Service.TestB"));   // already started
  svcStopService(ID("Service.TestE"));    // not running
  svcStartService(ID("Service.Unknown")); // not registered
  EXPECT_EQ(conGetTotalLinesCount(), ctErrors + 3);
  long iType;
  CString strLine;
  conGetLine(0, iType, strLine);
  EXPECT_STREQ(strLine,
               "Can't start service 'Service.Unknown' because it isn't registered properly.\n");
  EXPECT_EQ(iType, CMT_ERROR);
  svcHoldService(ID("Service.TestE"), false);
}

TEST(Services, ModuleServicesReplayTheHistory)
{
  TestServices ts;
  svcChangeRunLevel(ID("Group.Tests"), 11);
  CModule modGame("Game");
  _strCalls.clear();
  {
    CService svcM0("GameZero", "Tests", 0, 0, StartA, StopA, SST_AUTOMATIC, &modGame);
    CService svcM10("GameTen", "Tests", 10, 0, StartB, StopB, SST_AUTOMATIC, &modGame);
    CService svcM11("GameEleven", "Tests", 11, 0, StartC, StopC, SST_AUTOMATIC, &modGame);
    svcStartModuleServices(&modGame);
    EXPECT_EQ(_strCalls, "+A+B+C");
    CDynamicContainer<CService> dc;
    svcEnumerateServices(dc, ID("Group.Tests"), &modGame, -1);
    EXPECT_EQ(dc.Count(), 3);
    _strCalls.clear();
    svcStopModuleServices(&modGame);
    EXPECT_EQ(_strCalls, "-C-B-A");
  } // the module's services leave the registry with it
  EXPECT_EQ(svcFindService(ID("Service.GameZero")), nullptr);
  CGuardBreachCounter gbc;
  svcStartModuleServices(nullptr);
  EXPECT_EQ(gbc.Count(), 1);
}

TEST(ServiceLog, EntriesDescriptionsAndRecordedLines)
{
  TestServices ts;
  CServiceLog sl;
  CService svcPrinting("Printing", "Tests", 1, 0, StartPrinting, nullptr);
  CService svcEmpty("EmptyLevel", "Other", 5, 0, nullptr, nullptr);
  svcAssignServiceLog(&sl);
  svcChangeRunLevel(ID("Group.Tests"), 1);
  svcStopService(ID("Service.TestA"));
  CString str = LogText(sl);
  EXPECT_NE(strFindSubstr(str, "Starting services in 'Group.Tests' runlevel '0'.\n"
                               "Service: 'Service.TestB' starting [Module: '', Priority: '0'].\n"
                               "Service: 'Service.TestB' started.\n"),
            -1)
      << str;
  EXPECT_NE(strFindSubstr(str, "printed while starting\n"), -1);
  EXPECT_NE(strFindSubstr(str, "Service: 'Service.TestA' stopped.\n"), -1);

  // A start function that throws leaves the log out of its "starting" state.
  CService svcThrowing("Throwing", "Tests", 2, 0, StartThrowing, nullptr);
  EXPECT_THROW(svcChangeRunLevel(ID("Group.Tests"), 2), CException);
  long ctEntries = sl.sl_ctEntries;
  conInfoF("not recorded\n");
  EXPECT_EQ(sl.sl_ctEntries, ctEntries);

  // Dumping with the skip-empty flag leaves out run-level steps without services.
  svcChangeRunLevel(ID("Group.Other"), 5);
  long ctBefore = conGetTotalLinesCount();
  {
    CLockOutputs lo;
    sl.DumpToLogFile();
  }
  CString strDump;
  for (long i = conGetTotalLinesCount() - ctBefore - 1; i >= 0; i--) {
    long iType;
    CString strLine;
    conGetLine(i, iType, strLine);
    strDump += strLine;
  }
  EXPECT_NE(strFindSubstr(strDump, "Starting service log history dump."), -1);
  EXPECT_EQ(strFindSubstr(strDump, "'Group.Other' runlevel '4'"), -1) << strDump;
  EXPECT_NE(strFindSubstr(strDump, "'Group.Other' runlevel '5'"), -1);
  EXPECT_NE(strFindSubstr(strDump, "Dump of service log history complete."), -1);
  svcAssignServiceLog(nullptr);
  svcChangeRunLevel(ID("Group.Other"), -1);
}

namespace {
int _ctFrameA = 0, _ctFrameB = 0, _ctFrameC = 0;
void FrameC(void *)
{
  _ctFrameC++;
}
void FrameB(void *)
{
  _ctFrameB++;
}
void FrameA(void *pvData)
{
  _ctFrameA++;
  // Removes itself and B, and adds C: B is not called any more in this pass, C from the next.
  pfuUnregisterPerFrameCallback(FrameA, pvData);
  pfuUnregisterPerFrameCallback(FrameB, nullptr);
  pfuRegisterPerFrameCallback(FrameC, nullptr);
}
} // namespace

TEST(PerFrame, CallbacksMayChangeTheListWhileCalled)
{
  _ctFrameA = _ctFrameB = _ctFrameC = 0;
  long ctBefore = pfuCountPerFrameCallbacks();
  int iData = 0;
  pfuRegisterPerFrameCallback(FrameA, &iData);
  pfuRegisterPerFrameCallback(FrameB, nullptr);
  pfuCallPerFrameCallbacks();
  EXPECT_EQ(_ctFrameA, 1);
  EXPECT_EQ(_ctFrameB, 0);
  EXPECT_EQ(_ctFrameC, 0);
  pfuCallPerFrameCallbacks();
  EXPECT_EQ(_ctFrameA, 1);
  EXPECT_EQ(_ctFrameC, 1);
  EXPECT_EQ(pfuCountPerFrameCallbacks(), ctBefore + 1);
  pfuUnregisterPerFrameCallback(FrameC, nullptr);
  EXPECT_EQ(pfuCountPerFrameCallbacks(), ctBefore);
}
