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
  const long ctRounds = 8;
  for (long iRound = 0; iRound < ctRounds; iRound++) {
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
  EXPECT_EQ(ot_ft.tft_ctLoads, ctRounds);
}

TEST_F(OutsideThreads, StressOutsideCallersOfTheStockAndTheLoader)
{
  CWatchdog wd("Outside callers of the stock and the loader", 120000);
  // Two threads of the game's own and the main thread go through the same rounds: a new file
  // every few rounds, which one of them begins to load and the others wait for or find in the
  // stock, through the throwing, the waiting and the proxy forms. Now and then an exclusive
  // section lets the outside threads go, so that they join the active count again.
  const long ctRounds = 300;
  const long ctRoundsPerFile = 30;
  const long ctFiles = ctRounds / ctRoundsPerFile;
  for (long iFile = 0; iFile < ctFiles; iFile++) WriteTst(strFormat("O/Stress%1.tst", iFile));
  CResource *aaprsSeen[3][ctFiles] = {};
  long actBad[3] = {0, 0, 0};
  long volatile ctMainRound = 0;
  auto Round = [&](long iCaller, long iRound) {
    const long iFile = iRound / ctRoundsPerFile;
    const CString strPath = strFormat("O/Stress%1.tst", iFile);
    Ptr<CResource> prs;
    switch ((iRound + iCaller) % 3) {
    case 0:
      try {
        prs = resObtainFile_t(strPath)->rf_saShared[0];
      } catch (CException &) {
      }
      break;
    case 1:
      prs = ObtainMain(ROM_LOADFIRST, strPath);
      break;
    default:
      prs = resAcquire(ObtainMain(ROM_LOADLAST, strPath));
      break;
    }
    if (!IsMainOf(prs, strPath)) {
      actBad[iCaller]++;
    } else if (aaprsSeen[iCaller][iFile] == nullptr) {
      aaprsSeen[iCaller][iFile] = prs.Get();
    } else if (aaprsSeen[iCaller][iFile] != prs.Get()) {
      actBad[iCaller]++;
    }
  };
  auto Outside = [&](long iCaller) {
    for (long iRound = 0; iRound < ctRounds; iRound++) {
      // Not too far ahead of the main thread, so that all three meet on new files.
      while (iRound > ctMainRound + 2) sysSleep(0);
      Round(iCaller, iRound);
    }
  };
  {
    COutsideThread th0(false, [&] { Outside(0); });
    COutsideThread th1(true, [&] { Outside(1); });
    for (long iRound = 0; iRound < ctRounds; iRound++) {
      Round(2, iRound);
      ctMainRound = iRound;
      mlExecuteAllPostLoadTasks();
      if (iRound % 40 == 39) CExclusiveMainThread emt;
    }
  }
  for (long iCaller = 0; iCaller < 3; iCaller++) {
    EXPECT_EQ(actBad[iCaller], 0) << "caller " << iCaller;
    for (long iFile = 0; iFile < ctFiles; iFile++) {
      EXPECT_EQ(aaprsSeen[iCaller][iFile], aaprsSeen[2][iFile]) << "one resource per file";
    }
  }
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
