// The background loader with the loading pool running: shared proxies and tasks, delayed loads,
// failures that become error texts or substitutes, loads that need other loads on the loading
// thread, post-load tasks, preload lists with their progress, cancelling, and proxies in
// metadata files. Every wait is bounded by a watchdog: a lost wake-up ends the program.
#include "ResourceTestSupport.h"

#include <stdexcept>
#include <string>

using namespace QuennelEngine;
using namespace QuennelEngine::Test;

namespace {

// Files "*.ld": the header "LDFILE!!" and one command, which the load carries out on the
// loading thread before it makes the file's one resource "Main":
//   plain            nothing more
//   gate             waits for the gate to open
//   gate-throw       waits for the gate to open, then throws a library exception
//   obtain:PATH      obtains PATH's "Main" (ROM_LOADFIRST) into Main's tr_pNext
//   self             asks for its own "Main", which is being loaded right here
//   postload:PATH    queues a post-load task that obtains PATH's "Main" into tr_pNext
//   throw-std        throws a std::runtime_error
//   throw-lib        throws a library exception
struct LoadRecord {
  long lr_ctLoads;
  unsigned long lr_ulThread;
  std::string lr_strSelfError;
};
LoadRecord _ld_lr;
CSyncEvent _ld_seGate;
CSyncEvent _ld_seAtGate;

class CObtainTask : public CResourceTask {
  MD_DECLARE_CLASS(CObtainTask)
  CString ot_strPath;
  void OnExecute(CResource *prs) override
  {
    static_cast<CTsResource *>(prs)->tr_pNext =
        resObtainResource(CTsResource::md_pdtDataType, ROM_LOADFIRST, 0, 0, ot_strPath, "Main");
  }
};

class CLdFileType : public CResourceFileType {
  MD_DECLARE_CLASS(CLdFileType)
  CLdFileType() { Register(); }
  long GetLoadPriority(void) override { return 20; }
  int CanSaveFile(CResourceFile *) override { return 0; }
  void SaveFile_t(CResourceFile *) override { ThrowFormat_t("not saved"); }
  int CanLoadFileName(const CString &strFileName) override
  {
    return strMatches(strFileName, "*.ld");
  }
  int CanLoadStream_t(CStream *pstrm) override
  {
    char ach[8];
    pstrm->Read_t(ach, 8);
    return memcmp(ach, "LDFILE!!", 8) == 0;
  }
  CResourceFile *LoadFile_t(CStream *pstrm) override
  {
    pstrm->SeekBeg_t(8);
    const long ct = pstrm->GetSize() - 8;
    std::string strCommand(ct, ' ');
    if (ct > 0) pstrm->Read_t(&strCommand[0], ct);
    __atomic_add_fetch(&_ld_lr.lr_ctLoads, 1, __ATOMIC_SEQ_CST);
    _ld_lr.lr_ulThread = thrGetCurrentThreadID();
    Ptr<CResource> prsNext;
    if (strCommand == "gate" || strCommand == "gate-throw") {
      _ld_seAtGate.SetEvent();
      _ld_seGate.WaitEvent(10000);
      if (strCommand == "gate-throw") ThrowFormat_t("Library says no");
    } else if (strCommand.compare(0, 7, "obtain:") == 0) {
      prsNext = resObtainResource(CTsResource::md_pdtDataType, ROM_LOADFIRST, 0, 0,
                                  strCommand.substr(7).c_str(), "Main");
    } else if (strCommand == "self") {
      _ld_lr.lr_strSelfError =
          ThrownBy([&] { resObtainResource_t(CTsResource::md_pdtDataType, "L/Self.ld", "Main"); });
    } else if (strCommand == "throw-std") {
      throw std::runtime_error("boom");
    } else if (strCommand == "throw-lib") {
      ThrowFormat_t("Library says no");
    }
    CResourceFile *prf = new CResourceFile;
    CTsResource *prs = new CTsResource;
    prs->SetName("Main");
    prs->tr_pNext = prsNext;
    prf->RegisterResource(prs);
    if (strCommand.compare(0, 9, "postload:") == 0) {
      CObtainTask *ptsk = new CObtainTask;
      ptsk->ot_strPath = strCommand.substr(9).c_str();
      mlAddPostLoadTask(prs, ptsk);
    }
    return prf;
  }
};

// A resource whose references load later: delayed (the file is not even opened) and on demand
// (it may go back to a proxy when the stock is freed).
class CLdHolder : public CResource {
  MD_DECLARE_CLASS(CLdHolder)
  CLdHolder() { CountConstruction(); }
  ~CLdHolder() { CountDestruction(); }
  Ptr<CResource> lh_pDelayed;
  Ptr<CResource> lh_pOnDemand;
};

// Counts its runs and deletions; may run the post-load tasks itself.
long _ct_ctRuns = 0;
long _ct_ctDeleted = 0;
class CCountTask : public CResourceTask {
  MD_DECLARE_CLASS(CCountTask)
  ~CCountTask() override { _ct_ctDeleted++; }
  int ct_bNested = 0;
  unsigned long ct_ulSleep = 0;
  void OnExecute(CResource *) override
  {
    _ct_ctRuns++;
    if (ct_ulSleep != 0) sysSleep(ct_ulSleep);
    if (ct_bNested) mlExecuteAllPostLoadTasks();
  }
};

// Queues counting post-load tasks from the thread it runs on (the loading thread), alternating
// between two resources, as loads queue them.
class CQueueTasksTask : public CBaseTask {
  MD_DECLARE_CLASS(CQueueTasksTask)
  CResource *qt_prsA = nullptr;
  CResource *qt_prsB = nullptr;
  int qt_ct = 0;
  int qt_bNested = 0;
  unsigned long qt_ulSleep = 0;
  void OnExecute(CTaskPool *) override
  {
    for (int i = 0; i < qt_ct; i++) {
      CCountTask *ptsk = new CCountTask;
      ptsk->ct_bNested = qt_bNested;
      ptsk->ct_ulSleep = qt_ulSleep;
      mlAddPostLoadTask(i % 2 ? qt_prsA : qt_prsB, ptsk);
    }
  }
};

void QueueTasks(CResource *prsA, CResource *prsB, int ct, int bNested, unsigned long ulSleep)
{
  CQueueTasksTask *pqt = new CQueueTasksTask;
  pqt->qt_prsA = prsA;
  pqt->qt_prsB = prsB;
  pqt->qt_ct = ct;
  pqt->qt_bNested = bNested;
  pqt->qt_ulSleep = ulSleep;
  mlPostLoadingTask(pqt, 0);
}

class Loader : public StockTest {
protected:
  void SetUp() override
  {
    StockTest::SetUp();
    _ld_lr.lr_ctLoads = 0;
    _ld_lr.lr_ulThread = 0;
    _ld_lr.lr_strSelfError.clear();
    _ld_seGate.InitEventOnce(CSyncEvent::SEF_MANUALRESET);
    _ld_seAtGate.InitEventOnce(CSyncEvent::SEF_MANUALRESET);
    _ld_seGate.SetEvent();
    _ld_seAtGate.ResetEvent();
    _ct_ctRuns = 0;
    _ct_ctDeleted = 0;
    svcStartService(strConvertStringToID("Service.ResourceLoader"));
  }
  void TearDown() override
  {
    _ld_seGate.SetEvent();
    mlExecuteAllPostLoadTasks();
    if (svcIsServiceStarted(strConvertStringToID("Service.ResourceLoader"))) {
      svcStopService(strConvertStringToID("Service.ResourceLoader"));
    }
    StockTest::TearDown();
  }
  void WriteLd(const char *strName, const char *strCommand)
  {
    WriteFile(strName, std::string("LDFILE!!") + strCommand);
  }
  unsigned long LoadingThread() { return mlGetLoadingTaskPool()->GetThreadID(0); }

  CLdFileType l_ft;
};

CResourceProxy *AsProxy(CResource *prs)
{
  if (prs == nullptr || prs->mdGetDataType() != CResourceProxy::md_pdtDataType) return nullptr;
  return static_cast<CResourceProxy *>(prs);
}

CTsResource *AsTs(const Ptr<CResource> &prs)
{
  return static_cast<CTsResource *>(prs.Get());
}

MD_CLASS_BEGIN(CObtainTask, CResourceTask, 1)
MD_CLASS_END()

MD_CLASS_BEGIN(CLdFileType, CResourceFileType, 1)
MD_CLASS_END()

MD_CLASS_BEGIN(CLdHolder, CResource, 1)
MD_MEMBER(lh_pDelayed, SMF_DELAYLOAD, "Delayed")
MD_MEMBER(lh_pOnDemand, SMF_LOADONDEMAND, "On demand")
MD_CLASS_END()

MD_CLASS_BEGIN(CCountTask, CResourceTask, 1)
MD_CLASS_END()

MD_CLASS_BEGIN(CQueueTasksTask, CBaseTask, 1)
MD_CLASS_END()

} // namespace

TEST_F(Loader, TwoRequestsShareOneProxyAndOneLoadOnTheLoadingThread)
{
  CWatchdog wd("Shared proxy", 20000);
  WriteLd("L/A.ld", "gate");
  _ld_seGate.ResetEvent();
  Ptr<CResource> prs1 =
      resObtainResource(CTsResource::md_pdtDataType, ROM_LOADLAST, 0, 0, "L/A.ld", "Main");
  Ptr<CResource> prs2 =
      resObtainResource(CTsResource::md_pdtDataType, ROM_LOADLAST, 0, 1, "L/A.ld", "Main");
  ASSERT_NE(AsProxy(prs1), nullptr);
  EXPECT_EQ(prs1.Get(), prs2.Get());
  EXPECT_TRUE(AsProxy(prs1)->rp_ulFlags & CResourceProxy::RPF_REPORTERRORS) << "flags are joined";
  _ld_seAtGate.WaitEvent(10000);
  EXPECT_FALSE(prs1->IsReplacementReady());
  _ld_seGate.SetEvent();

  Ptr<CResource> prs = resAcquire(prs1);
  ASSERT_NE(prs, nullptr);
  EXPECT_STREQ(prs->GetFileName(), "L/A.ld");
  EXPECT_EQ(resAcquire(prs2).Get(), prs.Get());
  EXPECT_EQ(_ld_lr.lr_ctLoads, 1);
  EXPECT_EQ(_ld_lr.lr_ulThread, LoadingThread());
  // In the stock now: a new request is served from there, without a proxy.
  EXPECT_EQ(
      resObtainResource(CTsResource::md_pdtDataType, ROM_LOADLAST, 0, 0, "L/A.ld", "Main").Get(),
      prs.Get());
}

TEST_F(Loader, ADelayedProxyLoadsOnlyWhenAcquiredAndUnloadsWhenFreed)
{
  CWatchdog wd("Delayed proxy", 20000);
  WriteLd("L/D.ld", "plain");
  Ptr<CResource> prsProxy =
      resObtainResource(CTsResource::md_pdtDataType, ROM_DELAYED, 0, 0, "L/D.ld", "Main");
  CResourceProxy *prp = AsProxy(prsProxy);
  ASSERT_NE(prp, nullptr);
  EXPECT_TRUE(prp->rp_ulFlags & CResourceProxy::RPF_DELAYED);
  EXPECT_FALSE(prp->rp_ulFlags & CResourceProxy::RPF_TASKCREATED);
  sysSleep(20);
  EXPECT_EQ(_ld_lr.lr_ctLoads, 0);
  EXPECT_FALSE(prp->IsReplacementReady());

  Ptr<CResource> prs = resAcquire(prsProxy);
  ASSERT_NE(prs, nullptr);
  EXPECT_EQ(_ld_lr.lr_ctLoads, 1);
  EXPECT_TRUE(prp->IsReplacementReady());

  // Still referenced, delayed and loaded: freeing unloads it; the next acquisition loads again
  // (from the stock, which still has the file).
  prs = nullptr;
  resFreeUnusedProxies();
  EXPECT_FALSE(prp->IsReplacementReady());
  EXPECT_FALSE(prp->rp_ulFlags & CResourceProxy::RPF_TASKCREATED);
  prs = resAcquire(prsProxy);
  ASSERT_NE(prs, nullptr);
  EXPECT_STREQ(prs->GetName(), "Main");

  // InitiateDelayedLoad queues without waiting; a request that is not delayed stops the delay.
  WriteLd("L/E.ld", "plain");
  Ptr<CResource> prsE =
      resObtainResource(CTsResource::md_pdtDataType, ROM_DELAYED, 0, 0, "L/E.ld", "Main");
  prsE->InitiateDelayedLoad();
  EXPECT_TRUE(WaitUntil([&] { return prsE->IsReplacementReady() != 0; }, 10000));
  mlScheduleResourceLoadByName(ROM_LOADLAST, 0, 0, CTsResource::md_pdtDataType, "L/E.ld", "Main");
  EXPECT_FALSE(AsProxy(prsE)->rp_ulFlags & CResourceProxy::RPF_DELAYED);

  // Unreferenced proxies go, and the count is logged.
  prsProxy = nullptr;
  prsE = nullptr;
  prs = nullptr;
  const long ctBefore = resCountResourceProxies();
  CConsoleLines cl;
  resFreeUnusedProxies();
  EXPECT_EQ(resCountResourceProxies(), ctBefore - 2);
  EXPECT_TRUE(cl.Has("resFreeUnusedProxies() released '2' proxy object.")) << cl.Text();
}

TEST_F(Loader, AMissingFileBecomesAnErrorTextOrASubstituteInAReplacementFile)
{
  CWatchdog wd("Missing files", 20000);
  {
    CConsoleLines cl;
    Ptr<CResource> prs =
        resObtainResourceByID(CTsResource::md_pdtDataType, ROM_LOADFIRST, 1, 1, "L/Gone.rsc", 5);
    ASSERT_NE(prs, nullptr);
    EXPECT_EQ(prs->mdGetDataType(), CTsResource::md_pdtDataType);
    EXPECT_TRUE(prs->rs_ulFlags & CResource::RSF_DEFAULTSUBSTITUTE);
    CResourceFile *prf = prs->GetResourceFile();
    ASSERT_NE(prf, nullptr);
    EXPECT_EQ(prf->rf_ulFlags & (CResourceFile::RFF_REPLACEMENT | CResourceFile::RFF_NOTLOADED),
              CResourceFile::RFF_REPLACEMENT | CResourceFile::RFF_NOTLOADED);
    const std::string strText = cl.Text();
    const size_t iCreating = strText.find(". Creating replacement file.");
    const size_t iCannotFind = strText.find(
        "Can't find resource with ID '5' of data type 'CTsResource' in file 'L/Gone.rsc'.");
    ASSERT_NE(iCreating, std::string::npos) << strText;
    ASSERT_NE(iCannotFind, std::string::npos) << strText;
    EXPECT_LT(iCreating, iCannotFind);
  }
  // Without create-replacement: null, and the throwing variant throws the load's own text.
  const std::string strOpenError = ThrownBy([] { resObtainFileInternal_t("L/None.ld"); });
  ASSERT_NE(strOpenError, "");
  EXPECT_EQ(resObtainResource(CTsResource::md_pdtDataType, ROM_LOADFIRST, 0, 0, "L/None.ld", "Main")
                .Get(),
            nullptr);
  EXPECT_EQ(ThrownBy([] { resObtainResource_t(CTsResource::md_pdtDataType, "L/None.ld", "Main"); }),
            strOpenError);
}

TEST_F(Loader, ALoadObtainsAnotherFileOnTheLoadingThreadWithoutWaitingForItself)
{
  CWatchdog wd("Nested loads on the loading thread", 20000);
  WriteLd("L/B.ld", "plain");
  WriteLd("L/A.ld", "obtain:L/B.ld");
  Ptr<CResource> prsA = resObtainResource_t(CTsResource::md_pdtDataType, "L/A.ld", "Main");
  ASSERT_NE(prsA, nullptr);
  Ptr<CResource> prsB = AsTs(prsA)->tr_pNext;
  ASSERT_NE(prsB, nullptr);
  EXPECT_STREQ(prsB->GetFileName(), "L/B.ld");
  EXPECT_EQ(_ld_lr.lr_ctLoads, 2);
  EXPECT_EQ(_ld_lr.lr_ulThread, LoadingThread());

  // A load that asks for itself gets an error instead of waiting for ever.
  WriteLd("L/Self.ld", "self");
  ASSERT_NE(resObtainResource_t(CTsResource::md_pdtDataType, "L/Self.ld", "Main"), nullptr);
  EXPECT_NE(_ld_lr.lr_strSelfError.find("is needed while it is being loaded"), std::string::npos)
      << _ld_lr.lr_strSelfError;
}

TEST_F(Loader, MetadataFilesThatReferToEachOtherLoadThroughTheLoader)
{
  CWatchdog wd("Mutual files", 20000);
  CResourceFile *prfA = MakeStockFile("L/A.rsc");
  CResourceFile *prfB = MakeStockFile("L/B.rsc");
  ResourceOf(prfA)->tr_pNext = ResourceOf(prfB);
  ResourceOf(prfA)->tr_iValue = 1;
  ResourceOf(prfB)->tr_pNext = ResourceOf(prfA);
  ResourceOf(prfB)->tr_iValue = 2;
  prfA->SaveFile_t();
  prfB->SaveFile_t();
  ResourceOf(prfA)->tr_pNext = nullptr;
  ResourceOf(prfB)->tr_pNext = nullptr;
  delete prfA;
  delete prfB;
  ASSERT_EQ(res_rcCounts.Alive(), 0);

  Ptr<CResource> prsA = resObtainResource_t(CTsResource::md_pdtDataType, "L/A.rsc", "");
  ASSERT_NE(prsA, nullptr);
  EXPECT_EQ(AsTs(prsA)->tr_iValue, 1);
  CTsResource *prsB = AsTs(AsTs(prsA)->tr_pNext);
  ASSERT_NE(prsB, nullptr);
  EXPECT_EQ(prsB->tr_iValue, 2);
  EXPECT_EQ(prsB->tr_pNext.Get(), prsA.Get());
  EXPECT_STREQ(prsB->GetFileName(), "L/B.rsc");
}

TEST_F(Loader, APostLoadTaskMayWaitForALoadThatHasNotStarted)
{
  CWatchdog wd("Post-load task waiting for a load", 20000);
  WriteLd("L/Later.ld", "plain");
  WriteLd("L/C.ld", "postload:L/Later.ld");
  // The acquisition on the main thread runs C's post-load task, which loads Later meanwhile.
  Ptr<CResource> prsC = resObtainResource_t(CTsResource::md_pdtDataType, "L/C.ld", "Main");
  ASSERT_NE(prsC, nullptr);
  EXPECT_FALSE(prsC->so_ulFlags & CSmartObject::SOF_REPLACEONACCESS);
  Ptr<CResource> prsLater = AsTs(prsC)->tr_pNext;
  ASSERT_NE(prsLater, nullptr);
  EXPECT_STREQ(prsLater->GetFileName(), "L/Later.ld");
  EXPECT_EQ(mlCountPostLoadTasks(), 0);
}

TEST_F(Loader, WhateverALoadThrowsBindsNullWithATextAndTheWorkerGoesOn)
{
  CWatchdog wd("Throwing loads", 20000);
  WriteLd("L/Std.ld", "throw-std");
  WriteLd("L/Lib.ld", "throw-lib");
  WriteLd("L/Fine.ld", "plain");
  {
    CConsoleLines cl;
    EXPECT_EQ(
        resObtainResource(CTsResource::md_pdtDataType, ROM_LOADFIRST, 0, 1, "L/Std.ld", "Main")
            .Get(),
        nullptr);
    EXPECT_TRUE(cl.Has("Unexpected error while loading: boom")) << cl.Text();
  }
  CResourceProxy *prp = resFindProxyByName(CTsResource::md_pdtDataType, "L/Std.ld", "Main");
  ASSERT_NE(prp, nullptr);
  EXPECT_STREQ(prp->GetErrorText(), "Unexpected error while loading: boom");
  EXPECT_TRUE(prp->IsReplacementReady());
  EXPECT_EQ(ThrownBy([] { resObtainResource_t(CTsResource::md_pdtDataType, "L/Lib.ld", "Main"); }),
            "Library says no");
  EXPECT_NE(resObtainResource_t(CTsResource::md_pdtDataType, "L/Fine.ld", "Main"), nullptr);
  EXPECT_EQ(_ld_lr.lr_ulThread, LoadingThread());
}

TEST_F(Loader, TheEndOfALoadWakesTheMainThreadAndOutsideWaitersWithItsResultOrFailure)
{
  CWatchdog wd("Waiters woken by a load's end", 60000);
  for (int iRound = 0; iRound < 6; iRound++) {
    const bool bFails = iRound % 2 == 1;
    const CString strPath = strFormat("L/Wait%1.ld", iRound);
    WriteLd(strPath, bFails ? "gate-throw" : "gate");
    _ld_seGate.ResetEvent();
    _ld_seAtGate.ResetEvent();
    Ptr<CResource> prsProxy =
        resObtainResource(CTsResource::md_pdtDataType, ROM_LOADLAST, 0, 0, strPath, "Main");
    ASSERT_TRUE(_ld_seAtGate.WaitEvent(10000));
    // A thread the library did not create waits through the obtain function, the main thread
    // through the proxy; the gate opens only once the outside thread has started waiting.
    Ptr<CResource> prsOutside;
    std::string strOutsideError;
    CSyncEvent seStarted;
    seStarted.InitEvent(CSyncEvent::SEF_MANUALRESET);
    COutsideThread th(iRound / 2 == 1, [&] {
      seStarted.SetEvent();
      strOutsideError = ThrownBy(
          [&] { prsOutside = resObtainResource_t(CTsResource::md_pdtDataType, strPath, "Main"); });
    });
    ASSERT_TRUE(seStarted.WaitEvent(10000));
    sysSleep(iRound / 2 == 2 ? 0 : 5);
    _ld_seGate.SetEvent();
    Ptr<CResource> prsMain = resAcquire(prsProxy);
    // Woken with the file closed: the waiter may write it at once.
    EXPECT_EQ(ThrownBy([&] { WriteLd(strPath, "plain"); }), "") << "round " << iRound;
    th.Join();
    if (bFails) {
      EXPECT_EQ(prsMain.Get(), nullptr) << "round " << iRound;
      EXPECT_EQ(prsOutside.Get(), nullptr) << "round " << iRound;
      EXPECT_EQ(strOutsideError, "Library says no") << "round " << iRound;
      EXPECT_STREQ(AsProxy(prsProxy)->GetErrorText(), "Library says no") << "round " << iRound;
    } else {
      ASSERT_NE(prsMain, nullptr) << "round " << iRound;
      EXPECT_STREQ(prsMain->GetFileName(), strPath);
      EXPECT_EQ(prsOutside.Get(), prsMain.Get()) << "round " << iRound;
      EXPECT_EQ(strOutsideError, "") << "round " << iRound;
    }
    EXPECT_TRUE(prsProxy->IsReplacementReady());
  }
  EXPECT_EQ(_ld_lr.lr_ctLoads, 6) << "one load per file, whoever waits for it";
}

TEST_F(Loader, PreloadLinesTakeAWeightOnlyBeforeAColonThatEndsAnInteger)
{
  long iWeight;
  CString strPath;
  mlParsePreloadLine("  100: Data/a.rsc \r", iWeight, strPath);
  EXPECT_EQ(iWeight, 100);
  EXPECT_STREQ(strPath, "Data/a.rsc");
  mlParsePreloadLine("Data/b.rsc", iWeight, strPath);
  EXPECT_EQ(iWeight, 0);
  EXPECT_STREQ(strPath, "Data/b.rsc");
  mlParsePreloadLine("-5:Data/c.rsc", iWeight, strPath);
  EXPECT_EQ(iWeight, 0) << "a negative weight counts as 0";
  EXPECT_STREQ(strPath, "Data/c.rsc");
  mlParsePreloadLine("$C:/Data/x.rsc", iWeight, strPath);
  EXPECT_EQ(iWeight, 0);
  EXPECT_STREQ(strPath, "$C:/Data/x.rsc");
  mlParsePreloadLine("7:$C:/Data/x.rsc", iWeight, strPath);
  EXPECT_EQ(iWeight, 7);
  EXPECT_STREQ(strPath, "$C:/Data/x.rsc");
  mlParsePreloadLine("12a:b", iWeight, strPath);
  EXPECT_EQ(iWeight, 0);
  EXPECT_STREQ(strPath, "12a:b");
  mlParsePreloadLine("   ", iWeight, strPath);
  EXPECT_STREQ(strPath, "");
}

TEST_F(Loader, APreloadListLoadsInOrderWithAMonotoneProgressThatEndsAtOne)
{
  CWatchdog wd("Preload list", 20000);
  WriteLd("L/P1.ld", "gate");
  WriteLd("L/P2.ld", "plain");
  WriteLd("L/P3.ld", "plain");
  WriteLd("L/P4.ld", "plain");
  WriteLd("L/Main.ld", "plain");
  // An absolute path with its drive ("$Z:/...") is a path, not a weight.
  CString strAbsolute = CString("$") + filGetSysRootDir() + "L/P4.ld";
  strReplaceSubstrA(strAbsolute, "\\", "/");
  WriteFile("L/Main.ld.preload",
            std::string("100: L/P1.ld\r\n\r\n  L/P2.ld  \r\n-5:L/P3.ld\r\n50:") +
                (const char *)strAbsolute + "\r\n");
  _ld_seGate.ResetEvent();

  CResourceLoader rl;
  EXPECT_FALSE(rl.IsPrepared());
  rl.PrepareLoader(CTsResource::md_pdtDataType, "L/Main.ld");
  EXPECT_EQ(rl.GetLoadProgress(), 0.0f);
  EXPECT_FALSE(rl.IsFinished());
  rl.BeginLoading();
  EXPECT_TRUE(rl.IsLoading());
  EXPECT_TRUE(rl.rl_ulFlags & CResourceLoader::RLF_PRELOADLIST);
  EXPECT_EQ(rl.rl_plsState->ls_iTotalWeight, 150);
  _ld_seAtGate.WaitEvent(10000);
  EXPECT_FALSE(rl.IsFinished());
  float fLast = rl.GetLoadProgress();
  EXPECT_LT(fLast, 0.5f);
  _ld_seGate.SetEvent();
  bool bMonotone = true;
  while (!rl.IsFinished()) {
    const float f = rl.GetLoadProgress();
    if (f < fLast) bMonotone = false;
    fLast = f;
    rl.UpdateLoader();
    sysSleep(1);
  }
  EXPECT_TRUE(bMonotone);
  rl.WaitUntilFinished();
  EXPECT_TRUE(rl.IsResolved());
  EXPECT_TRUE(rl.rl_ulFlags & CResourceLoader::RLF_RESOLVED);
  EXPECT_EQ(rl.GetLoadProgress(), 1.0f);
  Ptr<CResource> prs = rl.GetLoadedResource();
  ASSERT_NE(prs, nullptr);
  EXPECT_STREQ(prs->GetFileName(), "L/Main.ld");
  EXPECT_EQ(_ld_lr.lr_ctLoads, 5);
  EXPECT_TRUE(InStock("L/P3.ld"));
  EXPECT_STREQ(rl.GetResourceFileName(), "L/Main.ld");

  // Reset: new again, the list remembered; misuse breaches the guard and does nothing.
  rl.ResetLoader();
  EXPECT_FALSE(rl.IsPrepared());
  EXPECT_FALSE(rl.IsLoading());
  EXPECT_TRUE(rl.rl_ulFlags & CResourceLoader::RLF_PRELOADLIST);
  CGuardBreachCounter gbc;
  rl.BeginLoading();
  EXPECT_FALSE(rl.IsLoading());
  EXPECT_EQ(rl.GetLoadedResource(), nullptr);
  EXPECT_GE(gbc.Count(), 2);
}

TEST_F(Loader, UpdateLoaderRunsSingleTasksWithinItsBudget)
{
  CWatchdog wd("Post-load budget", 30000);
  CTsResource *prs = new CTsResource;
  prs->AddRef();
  QueueTasks(prs, prs, 200, 0, 1);
  ASSERT_TRUE(WaitUntil([] { return mlCountPostLoadTasks() == 200; }, 10000));
  EXPECT_TRUE(prs->so_ulFlags & CSmartObject::SOF_REPLACEONACCESS);

  CResourceLoader rl;
  rl.PrepareLoader(CTsResource::md_pdtDataType, "L/Unused.ld");
  rl.UpdateLoader();
  EXPECT_GE(_ct_ctRuns, 1);
  EXPECT_LT(_ct_ctRuns, 100) << "a call stops when its 10 ms are up";
  EXPECT_EQ(_ct_ctDeleted, _ct_ctRuns);
  while (_ct_ctRuns < 200 && mlCountPostLoadTasks() > 0) rl.UpdateLoader();
  EXPECT_EQ(_ct_ctRuns, 200);
  EXPECT_EQ(_ct_ctDeleted, 200);
  prs->RemRef();
}

TEST_F(Loader, PostLoadTasksRunOnceEvenWhenTheyRunTheQueueThemselves)
{
  CWatchdog wd("Nested post-load runs", 20000);
  CTsResource *prsA = new CTsResource;
  CTsResource *prsB = new CTsResource;
  prsA->AddRef();
  prsB->AddRef();
  // On the main thread a task runs before mlAddPostLoadTask returns.
  mlAddPostLoadTask(prsA, new CCountTask);
  EXPECT_EQ(_ct_ctRuns, 1);
  EXPECT_EQ(_ct_ctDeleted, 1);
  EXPECT_EQ(mlCountPostLoadTasks(), 0);

  // Queued from another thread; every task runs the whole queue itself.
  QueueTasks(prsA, prsB, 20, 1, 0);
  ASSERT_TRUE(WaitUntil([] { return mlCountPostLoadTasks() == 20; }, 10000));
  EXPECT_EQ(mlExecuteAllPostLoadTasks(), 1) << "the first task ran the other 19 itself";
  EXPECT_EQ(_ct_ctRuns, 21);
  EXPECT_EQ(_ct_ctDeleted, 21);

  // Per resource: run, discard, or hand over to a replacement.
  _ct_ctRuns = _ct_ctDeleted = 0;
  QueueTasks(prsA, prsB, 20, 0, 0);
  ASSERT_TRUE(WaitUntil([] { return mlCountPostLoadTasks() == 20; }, 10000));
  EXPECT_EQ(mlDiscardAllPostLoadTasks(prsB), 10);
  EXPECT_EQ(_ct_ctRuns, 0);
  EXPECT_EQ(_ct_ctDeleted, 10);
  mlReplaceResourceTaskList(prsA, prsB);
  EXPECT_EQ(mlExecuteAllPostLoadTasks(prsA), 0);
  EXPECT_EQ(mlExecuteAllPostLoadTasks(prsB), 10);
  EXPECT_EQ(_ct_ctRuns, 10);
  EXPECT_EQ(mlCountPostLoadTasks(), 0);

  // A resource that goes while it still has tasks takes them with it.
  QueueTasks(prsA, prsA, 20, 0, 0);
  ASSERT_TRUE(WaitUntil([] { return mlCountPostLoadTasks() == 20; }, 10000));
  _ct_ctRuns = _ct_ctDeleted = 0;
  prsA->RemRef();
  EXPECT_EQ(_ct_ctRuns, 0);
  EXPECT_EQ(_ct_ctDeleted, 20);
  EXPECT_EQ(mlCountPostLoadTasks(), 0);
  prsB->RemRef();

  // The deletion task deletes through the metadata, once.
  CTsPart *ptp = new CTsPart;
  CDeleteObjectTask *pdot = new CDeleteObjectTask(MetaOf(ptp));
  CDeleteObjectTask *pdotAgain = new CDeleteObjectTask(MetaOf(ptp));
  mlAddPostLoadTask(nullptr, pdot);
  mlAddPostLoadTask(nullptr, pdotAgain);
  EXPECT_EQ(res_rcCounts.Alive(), 0);
}

TEST_F(Loader, StoppingTheLoaderFailsTheQueuedLoadsAndReleasesTheirWaiters)
{
  CWatchdog wd("Stopping the loader", 20000);
  WriteLd("L/G.ld", "gate");
  WriteLd("L/Q1.ld", "plain");
  WriteLd("L/Q2.ld", "plain");
  _ld_seGate.ResetEvent();
  Ptr<CResource> prsG =
      resObtainResource(CTsResource::md_pdtDataType, ROM_LOADLAST, 0, 0, "L/G.ld", "Main");
  _ld_seAtGate.WaitEvent(10000);
  Ptr<CResource> prsQ1 =
      resObtainResource(CTsResource::md_pdtDataType, ROM_LOADLAST, 0, 0, "L/Q1.ld", "Main");
  Ptr<CResource> prsQ2 =
      resObtainResource(CTsResource::md_pdtDataType, ROM_LOADLAST, 0, 0, "L/Q2.ld", "Main");
  // The gate opens while the pool goes: the running load finishes, the queued ones are cancelled.
  struct Opener {
    static void Open(void *)
    {
      sysSleep(50);
      _ld_seGate.SetEvent();
    }
  };
  thrCreateThread(nullptr, Opener::Open);
  svcStopService(strConvertStringToID("Service.ResourceLoader"));
  EXPECT_EQ(mlGetLoadingTaskPool(), nullptr);
  EXPECT_TRUE(prsG->IsReplacementReady());
  EXPECT_TRUE(prsQ1->IsReplacementReady());
  EXPECT_TRUE(prsQ2->IsReplacementReady());
  EXPECT_STREQ(AsProxy(prsQ1)->GetErrorText(), "Loading was cancelled.");
  EXPECT_EQ(resAcquire(prsQ1), nullptr);
  EXPECT_NE(resAcquire(prsG), nullptr);
  EXPECT_EQ(_ld_lr.lr_ctLoads, 1);
  // Without the pool, loads run at once on the calling thread.
  WriteLd("L/Now.ld", "plain");
  EXPECT_NE(resObtainResource_t(CTsResource::md_pdtDataType, "L/Now.ld", "Main"), nullptr);
  EXPECT_EQ(_ld_lr.lr_ulThread, thrGetCurrentThreadID());
}

TEST_F(Loader, TheProxyDumpListsBySortedCountPathAndName)
{
  WriteLd("L/B.ld", "plain");
  WriteLd("L/A.ld", "plain");
  Ptr<CResource> prs1 =
      resObtainResource(CTsResource::md_pdtDataType, ROM_DELAYED, 0, 0, "L/B.ld", "Main");
  Ptr<CResource> prs2 =
      resObtainResourceByID(CTsResource::md_pdtDataType, ROM_DELAYED, 0, 0, "L/A.ld", 3);
  Ptr<CResource> prs3 =
      resObtainResource(CTsResource::md_pdtDataType, ROM_DELAYED, 0, 0, "L/A.ld", "Zed");
  Ptr<CResource> prs3b = prs3;
  CConsoleLines cl;
  resDumpResourceProxies();
  const std::string str = cl.Text();
  const size_t iHead = str.find("Dumping resource proxies:");
  const size_t iA3 = str.find("'L/A.ld', '3', 1 refs.");
  const size_t iB = str.find("'L/B.ld', 'Main', 1 refs.");
  const size_t iZed = str.find("'L/A.ld', 'Zed', 2 refs.");
  ASSERT_NE(iHead, std::string::npos) << str;
  ASSERT_NE(iA3, std::string::npos) << str;
  ASSERT_NE(iB, std::string::npos) << str;
  ASSERT_NE(iZed, std::string::npos) << str;
  EXPECT_LT(iHead, iA3);
  EXPECT_LT(iA3, iB);
  EXPECT_LT(iB, iZed);
  EXPECT_NE(str.find("Total of '3' resource proxies with '4' references."), std::string::npos)
      << str;
}

TEST_F(Loader, MetadataFilesHoldProxiesForDelayedReferencesAndSaveThemByID)
{
  CWatchdog wd("Proxies in metadata files", 20000);
  CResourceFile *prfDelayed = MakeStockFile("L/TargetD.rsc", 1);
  ResourceOf(prfDelayed, 0)->tr_iValue = 7;
  prfDelayed->SaveFile_t();
  CResourceFile *prfOnDemand = MakeStockFile("L/TargetO.rsc", 3);
  prfOnDemand->SaveFile_t();
  CResourceFile *prfHolder = new CResourceFile;
  prfHolder->SetFileName("L/Holder.rsc");
  CLdHolder *plh = new CLdHolder;
  prfHolder->RegisterResource(plh);
  plh->lh_pDelayed = ResourceOf(prfDelayed, 0);
  plh->lh_pOnDemand = ResourceOf(prfOnDemand, 1);
  prfHolder->SaveFile_t();
  plh = nullptr;
  delete prfHolder;
  delete prfDelayed;
  delete prfOnDemand;
  ASSERT_EQ(res_rcCounts.Alive(), 0);

  // The delayed file is not opened: its reference is a proxy that loads when acquired.
  Ptr<CResource> prsHolder = resObtainResource_t(CLdHolder::md_pdtDataType, "L/Holder.rsc", "");
  ASSERT_NE(prsHolder, nullptr);
  plh = static_cast<CLdHolder *>(prsHolder.Get());
  EXPECT_NE(AsProxy(plh->lh_pDelayed), nullptr);
  EXPECT_TRUE(plh->GetResourceFile()->rf_ulFlags & CResourceFile::RFF_DELAYEDREFERENCES);
  EXPECT_FALSE(InStock("L/TargetD.rsc"));
  EXPECT_TRUE(InStock("L/TargetO.rsc")) << "the on-demand reference opened its file";
  Ptr<CResource> prsTarget = resAcquire(plh->lh_pDelayed);
  ASSERT_NE(prsTarget, nullptr);
  EXPECT_EQ(AsTs(prsTarget)->tr_iValue, 7);
  prsTarget = nullptr;

  // Freeing the stock turns the on-demand reference back into a delayed proxy, so the target's
  // file can go; acquiring the proxy loads it again.
  EXPECT_EQ(AsProxy(plh->lh_pOnDemand), nullptr);
  {
    CConsoleLines cl;
    resFreeUnusedStock();
    EXPECT_TRUE(cl.Has("'1' resources were reverted to resource proxy objects.")) << cl.Text();
  }
  ASSERT_NE(AsProxy(plh->lh_pOnDemand), nullptr);
  EXPECT_FALSE(InStock("L/TargetO.rsc"));
  EXPECT_FALSE(InStock("L/TargetD.rsc"));
  prsTarget = resAcquire(plh->lh_pOnDemand);
  ASSERT_NE(prsTarget, nullptr);
  EXPECT_EQ(prsTarget->rs_iID, 2);
  EXPECT_TRUE(InStock("L/TargetO.rsc"));

  // A proxy by name is saved by the ID of what it loaded; one that cannot load fails the save.
  prsTarget->SetName("Named");
  plh->lh_pDelayed = mlScheduleResourceLoadByName(ROM_DELAYED, 0, 0, CTsResource::md_pdtDataType,
                                                  "L/TargetO.rsc", "Named")
                         .Get();
  ASSERT_NE(AsProxy(plh->lh_pDelayed), nullptr);
  plh->GetResourceFile()->SaveFile_t();
  plh->lh_pDelayed =
      resObtainResource(CTsResource::md_pdtDataType, ROM_DELAYED, 0, 0, "L/TargetO.rsc", "Nope");
  EXPECT_NE(ThrownBy([&] { plh->GetResourceFile()->SaveFile_t(); }).find("cannot be saved"),
            std::string::npos);
  plh = nullptr;
  prsHolder = nullptr;
  prsTarget = nullptr;
  resFreeUnusedProxies();
  resFreeUnusedStock();
  ASSERT_FALSE(InStock("L/Holder.rsc"));
  prsHolder = resObtainResource_t(CLdHolder::md_pdtDataType, "L/Holder.rsc", "");
  plh = static_cast<CLdHolder *>(prsHolder.Get());
  prsTarget = resAcquire(plh->lh_pDelayed);
  ASSERT_NE(prsTarget, nullptr);
  EXPECT_EQ(prsTarget->rs_iID, 2);
}

TEST_F(Loader, MetadataLoadsRunOnTheLoadingThreadAndThrowTheirErrors)
{
  CWatchdog wd("Metadata loads", 20000);
  CTsPart *ptp = new CTsPart;
  ptp->tp_iValue = 42;
  mdSave_t("L/Part.meta", MetaOf(ptp));
  delete ptp;
  CMetaPointer mp = mdLoad_t("L/Part.meta");
  ASSERT_TRUE(mp.IsValid());
  EXPECT_EQ(static_cast<CTsPart *>((CObject *)mp.mp_pvObject)->tp_iValue, 42);
  mdDelete(mp);
  const std::string strError = ThrownBy([] { mlLoadMetaObject_t("L/Missing.meta"); });
  EXPECT_NE(strError, "");
  EXPECT_EQ(ThrownBy([] { mdLoad_t("L/Missing.meta"); }), strError);
  // From a stream, too.
  CStream strm;
  strm.OpenFile_t("L/Part.meta", "r");
  mp = mlLoadMetaObject_t(&strm);
  ASSERT_TRUE(mp.IsValid());
  mdDelete(mp);
}

TEST_F(Loader, RevertingNamesAResourceByItsSharedOrExposedIDOrLeavesItAlone)
{
  CResourceFile *prfTarget = MakeStockFile("L/Shared.rsc", 2);
  CTsResource *prsNested = new CTsResource;
  ResourceOf(prfTarget, 1)->tr_pNext = prsNested;
  prfTarget->ExposeResource(prsNested);
  ASSERT_TRUE(prsNested->IsExposed());

  CResourceFile *prfHolder = MakeStockFile("L/Holders.rsc", 0);
  CLdHolder *plhShared = new CLdHolder;
  CLdHolder *plhExposed = new CLdHolder;
  CLdHolder *plhFree = new CLdHolder;
  prfHolder->RegisterResource(plhShared);
  prfHolder->RegisterResource(plhExposed);
  prfHolder->RegisterResource(plhFree);
  plhShared->lh_pOnDemand = ResourceOf(prfTarget, 1);
  plhExposed->lh_pOnDemand = prsNested;
  CTsResource *prsFree = new CTsResource;
  plhFree->lh_pOnDemand = prsFree;
  plhFree->lh_pDelayed = ResourceOf(prfTarget, 0); // not on demand: stays

  EXPECT_EQ(resRevertDelayedReferencesToProxies(prfHolder), 2);
  CResourceProxy *prpShared = AsProxy(plhShared->lh_pOnDemand);
  CResourceProxy *prpExposed = AsProxy(plhExposed->lh_pOnDemand);
  ASSERT_NE(prpShared, nullptr);
  ASSERT_NE(prpExposed, nullptr);
  EXPECT_TRUE(prpShared->IsByID());
  EXPECT_EQ(prpShared->rp_iID, 2);
  EXPECT_STREQ(prpShared->rp_strPath, "L/Shared.rsc");
  EXPECT_EQ(prpExposed->rp_iID, prsNested->rs_iExposedID);
  EXPECT_STREQ(prpExposed->rp_strPath, "L/Shared.rsc");
  EXPECT_TRUE(prpShared->rp_ulFlags & CResourceProxy::RPF_DELAYED);
  EXPECT_FALSE(prpShared->rp_ulFlags & CResourceProxy::RPF_TASKCREATED);
  EXPECT_EQ(plhFree->lh_pOnDemand.Get(), prsFree);
  EXPECT_EQ(plhFree->lh_pDelayed.Get(), ResourceOf(prfTarget, 0));
  // Acquired, the proxies give back the very resources (their file is still in the stock).
  EXPECT_EQ(resAcquire(plhShared->lh_pOnDemand).Get(), ResourceOf(prfTarget, 1));
  EXPECT_EQ(resAcquire(plhExposed->lh_pOnDemand).Get(), prsNested);
}
