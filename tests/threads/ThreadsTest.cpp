#include "TestSupport.h"

#include <gtest/gtest.h>

#include <thread>

using namespace QuennelEngine;
using namespace QuennelEngine::Test;

static void RecordCurrentID(void *pv)
{
  *(unsigned long *)pv = thrGetCurrentThreadID();
}

TEST(Threads, IdentityBeforeAndAfterTheSystemService)
{
  // Before the service starts every thread looks like the main thread.
  EXPECT_EQ(thrGetMainThreadID(), 0xFFFFFFFFu);
  EXPECT_EQ(thrGetCurrentThreadID(), 0xFFFFFFFFu);
  EXPECT_TRUE(thrIsThisMainThread());
  thrStartMultiThreading();
  unsigned long ulSeen = 0;
  thrCreateThread(&ulSeen, RecordCurrentID);
  ASSERT_TRUE(WaitUntil(AllThreadsEnded, 5000));
  EXPECT_EQ(ulSeen, 0xFFFFFFFFu);

  thrStartMultiThreadingSystem();
  EXPECT_EQ(thrGetMainThreadID(), sysGetCurrentThreadID());
  EXPECT_TRUE(thrIsThisMainThread());
  thrCreateThread(&ulSeen, RecordCurrentID);
  ASSERT_TRUE(WaitUntil(AllThreadsEnded, 5000));
  EXPECT_NE(ulSeen, thrGetMainThreadID());
  EXPECT_NE(ulSeen, 0xFFFFFFFFu);
  thrStopMultiThreadingSystem();
  EXPECT_EQ(thrGetMainThreadID(), 0xFFFFFFFFu);
}

// The identifier read without a call is the system's, on every thread.
TEST(Threads, TheInlineIdentifierIsTheSystems)
{
  EXPECT_EQ(sysGetCurrentThreadIDInline(), sysGetCurrentThreadID());
  unsigned long ulInline = 0, ulSystem = 1;
  std::thread th([&] {
    ulInline = sysGetCurrentThreadIDInline();
    ulSystem = sysGetCurrentThreadID();
  });
  th.join();
  EXPECT_EQ(ulInline, ulSystem);
  EXPECT_NE(ulInline, sysGetCurrentThreadID());
}

struct GateState {
  CSyncEvent seGo;
  CSyncEvent seStarted;
  ThreadHandle *pthSelf = nullptr;
  long iPriorityRead = -1;
};

static void WaitForGate(void *pv)
{
  GateState *pgs = (GateState *)pv;
  pgs->pthSelf = thrGetCurrentThread();
  pgs->seStarted.SetEvent();
  pgs->seGo.WaitEvent();
}

TEST(Threads, RegistryActivityAndPriorities)
{
  CThreadServices ts;
  EXPECT_EQ(thrCountThreads(), 0);
  EXPECT_EQ(thrCountActiveThreads(), 0);
  EXPECT_EQ(thrGetCurrentThread(), nullptr); // the main thread is not registered

  GateState gs;
  gs.seGo.InitEvent(CSyncEvent::SEF_MANUALRESET);
  gs.seStarted.InitEvent(CSyncEvent::SEF_MANUALRESET);
  ThreadHandle *pth = thrCreateThread(&gs, WaitForGate);
  ASSERT_NE(pth, nullptr);
  EXPECT_EQ(thrCountActiveThreads(), 1); // active from creation
  ASSERT_TRUE(gs.seStarted.WaitEvent(5000));
  EXPECT_EQ(gs.pthSelf, pth);
  EXPECT_EQ(thrCountThreads(), 1);
  EXPECT_NE(thrGetThreadID(pth), 0u);

  thrSetThreadPriority(pth, THP_ABOVENORMAL);
  EXPECT_EQ(thrGetThreadPriority(pth), THP_ABOVENORMAL);
  thrSetThreadPriority(pth, THP_IDLE);
  EXPECT_EQ(thrGetThreadPriority(pth), THP_IDLE);
  thrSetThreadPriority(pth, (ThreadPriority)77); // anything else is normal
  EXPECT_EQ(thrGetThreadPriority(pth), THP_NORMAL);
  // A system priority outside the table reads back as normal.
  sysSetThreadPriority(pth->th_hThread, 2);
  EXPECT_EQ(thrGetThreadPriority(pth), THP_NORMAL);

  thrMarkThreadAsInactive(pth);
  thrMarkThreadAsInactive(pth); // already inactive: counted once
  EXPECT_EQ(thrCountActiveThreads(), 0);
  thrMarkThreadAsActive(pth);
  EXPECT_EQ(thrCountActiveThreads(), 1);
  gs.seGo.SetEvent();
  ASSERT_TRUE(WaitUntil(AllThreadsEnded, 5000));
  EXPECT_EQ(thrCountActiveThreads(), 0);
}

// A CBaseThread whose runs last until released.
class CTestThread : public CBaseThread {
public:
  CSyncEvent tt_seRelease;
  long volatile tt_ctRuns = 0;
  long volatile *tt_pbDeleted = nullptr;
  long tt_msRun = 0;

  CTestThread() { tt_seRelease.InitEvent(CSyncEvent::SEF_MANUALRESET | CSyncEvent::SEF_SIGNALED); }
  CDataType *mdGetDataType(void) const override { return nullptr; }
  void OnExecute(void) override
  {
    tt_seRelease.WaitEvent();
    if (tt_msRun > 0) sysSleep(tt_msRun);
    sysInterlockedIncrement(&tt_ctRuns);
  }
  void DeleteSelf(void) override
  {
    if (tt_pbDeleted) *tt_pbDeleted = 1;
    delete this;
  }
};

TEST(BaseThread, RunsIdlesAndTerminates)
{
  CThreadServices ts;
  long volatile bDeleted = 0;
  CTestThread *ptt = new CTestThread;
  ptt->tt_pbDeleted = &bDeleted;
  ptt->InitializeThread();
  // Created but never run: it does not keep the library busy.
  EXPECT_EQ(thrCountActiveThreads(), 0);
  EXPECT_TRUE(ptt->IsThreadIdle());
  {
    CExclusiveMainThread emt;
  }

  ptt->ExecuteThread();
  ptt->WaitOnThread();
  EXPECT_EQ(ptt->tt_ctRuns, 1);
  EXPECT_EQ(thrCountActiveThreads(), 0);
  ptt->ExecuteThread();
  ptt->WaitOnThread();
  EXPECT_EQ(ptt->tt_ctRuns, 2);
  EXPECT_NE(ptt->GetThreadID(), 0u);
  EXPECT_NE(ptt->GetThreadHandle(), nullptr);

  ptt->TerminateThread();
  ASSERT_TRUE(WaitUntil(AllThreadsEnded, 5000));
  EXPECT_EQ(bDeleted, 1);
  EXPECT_EQ(thrCountActiveThreads(), 0);
}

// Waits for the end of the thread's current run on a thread of its own, then notes it.
struct IdleWaiter {
  CTestThread *iw_ptt;
  long volatile iw_bReturned = 0;
};

static void WaitForRun(void *pv)
{
  IdleWaiter *piw = (IdleWaiter *)pv;
  piw->iw_ptt->WaitOnThread();
  piw->iw_bReturned = 1;
}

TEST(BaseThread, EveryWaiterSeesTheEndOfTheRunAndNoEarlierOne)
{
  CThreadServices ts;
  CTestThread *ptt = new CTestThread;
  ptt->InitializeThread();
  ptt->WaitOnThread(); // idle: returns at once
  for (int iRun = 0; iRun < 2; iRun++) {
    // The second run's waiters must not be let through by the first run's end.
    ptt->tt_seRelease.ResetEvent();
    ptt->ExecuteThread();
    EXPECT_FALSE(ptt->IsThreadIdle());
    IdleWaiter aiw[2] = {{ptt}, {ptt}};
    for (IdleWaiter &iw : aiw) thrCreateThread(&iw, WaitForRun);
    sysSleep(30);
    EXPECT_EQ(aiw[0].iw_bReturned + aiw[1].iw_bReturned, 0) << "run " << iRun;
    ptt->tt_seRelease.SetEvent();
    ASSERT_TRUE(WaitUntil([&] { return aiw[0].iw_bReturned && aiw[1].iw_bReturned; }, 10000))
        << "a waiter was not woken in run " << iRun;
    EXPECT_TRUE(ptt->IsThreadIdle());
    EXPECT_EQ(ptt->tt_ctRuns, iRun + 1);
    ASSERT_TRUE(WaitUntil([] { return thrCountThreads() == 1; }, 10000));
  }
  ptt->TerminateThread();
}

TEST(BaseThread, StartsIdleEvenWhenItRunsBeforeItsCreatorLearnsItsHandle)
{
  CThreadServices ts;
  CGuardBreachCounter gbc;
  CTestThread *aptt[200];
  for (CTestThread *&ptt : aptt) {
    ptt = new CTestThread;
    ptt->InitializeThread();
  }
  EXPECT_EQ(gbc.Count(), 0);
  EXPECT_EQ(thrCountActiveThreads(), 0);
  for (CTestThread *ptt : aptt) ptt->TerminateThread();
  EXPECT_TRUE(WaitUntil(AllThreadsEnded, 10000));
}

TEST(ExclusiveMainThread, WaitsForTheRunningWorker)
{
  CThreadServices ts;
  {
    CExclusiveMainThread emt;
  } // nothing active: at once

  CTestThread *ptt = new CTestThread;
  ptt->InitializeThread();
  ptt->tt_seRelease.ResetEvent();
  ptt->ExecuteThread();
  EXPECT_EQ(thrCountActiveThreads(), 1);
  ptt->tt_msRun = 50;
  ptt->tt_seRelease.SetEvent();
  {
    CExclusiveMainThread emt;
    // The run has ended and nobody can start another one now.
    EXPECT_EQ(ptt->tt_ctRuns, 1);
    EXPECT_EQ(thrCountActiveThreads(), 0);
  }
  ptt->tt_msRun = 0;
  ptt->TerminateThread();
}

// Threads come and go while the main thread takes exclusive sections; no thread may be active
// inside a section.
struct ChurnState {
  long volatile ctFinished = 0;
};

static void ShortWork(void *pv)
{
  ChurnState *pcs = (ChurnState *)pv;
  volatile long l = 0;
  for (int i = 0; i < 1000; i++) l += i;
  sysInterlockedIncrement(&pcs->ctFinished);
}

TEST(ExclusiveMainThread, ThreadChurnNeverOverlapsASection)
{
  CThreadServices ts;
  ChurnState cs;
  long ctViolations = 0;
  const int ctRounds = 200;
  for (int i = 0; i < ctRounds; i++) {
    thrCreateThread(&cs, ShortWork);
    if (i % 3 == 0) thrCreateThread(&cs, ShortWork);
    CExclusiveMainThread emt;
    if (thrCountActiveThreads() != 0) ctViolations++;
  }
  ASSERT_TRUE(WaitUntil(AllThreadsEnded, 30000)) << "threads hang";
  EXPECT_EQ(ctViolations, 0);
  EXPECT_EQ(cs.ctFinished, ctRounds + (ctRounds + 2) / 3);
}

TEST(Threads, SuspendAndResumeOthers)
{
  CThreadServices ts;
  GateState gs;
  gs.seGo.InitEvent(CSyncEvent::SEF_MANUALRESET);
  gs.seStarted.InitEvent(CSyncEvent::SEF_MANUALRESET);
  thrCreateThread(&gs, WaitForGate);
  ASSERT_TRUE(gs.seStarted.WaitEvent(5000));
  thrSuspendOtherThreads();
  gs.seGo.SetEvent();
  sysSleep(50);
  EXPECT_EQ(thrCountThreads(), 1); // suspended: it cannot have ended
  thrResumeOtherThreads();
  EXPECT_TRUE(WaitUntil(AllThreadsEnded, 5000));
}
