// Game code's own threads (std::thread, CreateThread) using the stock and the loader beside the
// main thread: two waiters on one load queued behind a busy loading worker, two threads
// obtaining one file that is not loaded yet, a stress of both, and a whole run whose shutdown
// comes after such threads have ended. Every wait is bounded: a hang fails the test program.
#include "ResourceTestSupport.h"

using namespace QuennelEngine;
using namespace QuennelEngine::Test;

namespace {

// Keeps the loading worker busy for a while, as a long load does.
class CBusyTask : public CBaseTask {
  MD_DECLARE_CLASS(CBusyTask)
  CSyncEvent *bt_pseStarted = nullptr;
  unsigned long bt_ulMilliseconds = 0;
  void OnExecute(CTaskPool *) override
  {
    bt_pseStarted->SetEvent();
    sysSleep(bt_ulMilliseconds);
  }
};

MD_CLASS_BEGIN(CBusyTask, CBaseTask, 1)
MD_CLASS_END()

class OutsideThreads : public StockTest {
protected:
  void SetUp() override
  {
    StockTest::SetUp();
    svcStartService(strConvertStringToID("Service.ResourceLoader"));
  }
  void TearDown() override
  {
    mlExecuteAllPostLoadTasks();
    svcStopService(strConvertStringToID("Service.ResourceLoader"));
    StockTest::TearDown();
  }
  // A file of the test file type with its resource "Main".
  void WriteTst(const CString &strPath) { WriteFile(strPath, "TSTFILE!body"); }
  // Occupies the loading worker for `ulMilliseconds` and returns once it has started.
  void MakeWorkerBusy(unsigned long ulMilliseconds)
  {
    CSyncEvent seStarted;
    seStarted.InitEvent(CSyncEvent::SEF_MANUALRESET);
    CBusyTask *ptsk = new CBusyTask;
    ptsk->bt_pseStarted = &seStarted;
    ptsk->bt_ulMilliseconds = ulMilliseconds;
    mlPostLoadingTask(ptsk, 0);
    ASSERT_TRUE(seStarted.WaitEvent(10000));
  }

  CTsFileType ot_ft;
};

Ptr<CResource> ObtainMain(ResObtainMethod rom, const CString &strPath)
{
  return resObtainResource(CTsResource::md_pdtDataType, rom, 0, 1, strPath, "Main");
}

bool IsMainOf(const Ptr<CResource> &prs, const CString &strPath)
{
  return prs != nullptr && prs->mdGetDataType() == CTsResource::md_pdtDataType &&
         prs->GetFileName() == strPath;
}

} // namespace

TEST_F(OutsideThreads, TheMainThreadAndAnotherWaitOnALoadQueuedBehindABusyWorker)
{
  CWatchdog wd("Two waiters on one queued load", 60000);
  for (long iRound = 0; iRound < 24; iRound++) {
    const CString strPath = strFormat("O/Queued%1.tst", iRound);
    WriteTst(strPath);
    MakeWorkerBusy(10);
    // Queued behind the busy worker; both wait for it, one through the proxy.
    Ptr<CResource> prsProxy = ObtainMain(ROM_LOADLAST, strPath);
    ASSERT_NE(prsProxy, nullptr);
    Ptr<CResource> prsOther;
    COutsideThread th(iRound % 2 == 1, [&] { prsOther = ObtainMain(ROM_LOADFIRST, strPath); });
    Ptr<CResource> prsMain = resAcquire(prsProxy);
    th.Join();
    EXPECT_TRUE(IsMainOf(prsMain, strPath)) << "round " << iRound;
    EXPECT_EQ(prsOther.Get(), prsMain.Get()) << "round " << iRound;
  }
}

TEST_F(OutsideThreads, TwoThreadsObtainOneFileThatIsNotLoaded)
{
  CWatchdog wd("Two threads obtaining one file", 60000);
  for (long iRound = 0; iRound < 40; iRound++) {
    const CString strPath = strFormat("O/Two%1.tst", iRound);
    WriteTst(strPath);
    CResourceFile *aprf[2] = {nullptr, nullptr};
    std::string astrError[2];
    {
      COutsideThread th0(
          false, [&] { astrError[0] = ThrownBy([&] { aprf[0] = resObtainFile_t(strPath); }); });
      COutsideThread th1(iRound % 2 == 1, [&] {
        astrError[1] = ThrownBy([&] { aprf[1] = resObtainFile_t(strPath); });
      });
    }
    EXPECT_EQ(astrError[0], "") << "round " << iRound;
    EXPECT_EQ(astrError[1], "") << "round " << iRound;
    ASSERT_NE(aprf[0], nullptr);
    EXPECT_EQ(aprf[0], aprf[1]) << "one file in the stock";
    EXPECT_STREQ(aprf[0]->GetFileName(), strPath);
  }
  EXPECT_EQ(ot_ft.tft_ctLoads, 40);
}

TEST_F(OutsideThreads, StressOutsideCallersOfTheStockAndTheLoader)
{
  CWatchdog wd("Outside callers of the stock and the loader", 120000);
  const long ctRounds = 200;
  const long ctFiles = ctRounds / 4;
  for (long iFile = 0; iFile < ctFiles; iFile++) WriteTst(strFormat("O/Stress%1.tst", iFile));
  long ctBad = 0;
  for (long iRound = 0; iRound < ctRounds; iRound++) {
    // A file is new to the stock in every fourth round; in the others the threads find it
    // there or wait for the load that one of them began.
    const CString strPath = strFormat("O/Stress%1.tst", iRound / 4);
    const CString strOlder = strFormat("O/Stress%1.tst", iRound / 8);
    if (iRound % 16 == 5) MakeWorkerBusy(5);
    Ptr<CResource> aprs[3];
    {
      COutsideThread thFile(iRound % 3 == 1, [&] {
        try {
          aprs[0] = resObtainFile_t(strPath)->rf_saShared[0];
        } catch (CException &) {
        }
      });
      COutsideThread thProxy(iRound % 2 == 1, [&] {
        aprs[1] = resAcquire(ObtainMain(ROM_LOADLAST, strPath));
        // An older file, mostly in the stock by now.
        if (!IsMainOf(ObtainMain(ROM_LOADFIRST, strOlder), strOlder)) aprs[1] = nullptr;
      });
      aprs[2] = ObtainMain(iRound % 2 ? ROM_LOADFIRST : ROM_LOADTHROW, strPath);
      mlExecuteAllPostLoadTasks();
    }
    for (long i = 0; i < 3; i++) {
      if (!IsMainOf(aprs[i], strPath) || aprs[i].Get() != aprs[2].Get()) ctBad++;
    }
  }
  EXPECT_EQ(ctBad, 0);
  EXPECT_EQ(ot_ft.tft_ctLoads, ctFiles);
  EXPECT_EQ(thrCountActiveThreads(), 0) << "threads that ended still count as active";
}

// ---- A whole run: start-up, outside threads that obtain files and end, shutdown ----

namespace {

void HostMainWithOutsideThreads(void)
{
  svcChangeRunLevel(strConvertStringToID("Group.Application"), 11);
  CTsFileType ft;
  {
    CStream strm;
    strm.OpenFile_t("Temp/Outside/A.tst", "w");
    strm.Write_t("TSTFILE!body", 12);
  }
  CResourceFile *aprf[2] = {nullptr, nullptr};
  {
    COutsideThread th0(false, [&] { aprf[0] = resObtainFile_t("Temp/Outside/A.tst"); });
    COutsideThread th1(false, [&] { aprf[1] = resObtainFile_t("Temp/Outside/A.tst"); });
  }
  printf("obtained %s\n",
         aprf[0] != nullptr && aprf[0] == aprf[1] ? "one file" : "different files");
  fflush(stdout);
}

} // namespace

QE_CHILD(ShutdownAfterOutsideThreads)
{
  char *astrArgs[] = {(char *)"Host.exe"};
  corRun(HostMainWithOutsideThreads, 1, astrArgs, "notimer nozips");
  printf("shut down\n");
  fflush(stdout);
  return 0;
}

TEST(OutsideThreadsRun, ShutsDownAfterOutsideThreadsThatObtainedFilesHaveEnded)
{
  ChildResult cr = RunChild("ShutdownAfterOutsideThreads", 60000);
  ASSERT_FALSE(cr.cr_bTimedOut) << cr.cr_strOutput;
  EXPECT_EQ(cr.cr_ulExitCode, 0u) << cr.cr_strOutput;
  EXPECT_NE(cr.cr_strOutput.find("obtained one file"), std::string::npos) << cr.cr_strOutput;
  EXPECT_NE(cr.cr_strOutput.find("shut down"), std::string::npos) << cr.cr_strOutput;
}
