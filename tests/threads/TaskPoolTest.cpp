// The task pool: order of runs, callers that run tasks themselves, the counts, worker IDs,
// termination and restart, the refusals and mended faults, exceptions in tasks, postings while
// the pool terminates, idle workers and exclusive sections, bounded stress with many posters
// (lost wake-ups, a quarter of a million tasks), and the allocation statistics of the pool's
// reflected types.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <stdio.h>

#include <string>
#include <vector>

using namespace QuennelEngine;
using namespace QuennelEngine::Test;

namespace {

// What the tasks of one test did, in order (guarded: workers and callers log together).
struct TaskLog {
  CSyncMutex tl_sm;
  std::vector<long> tl_aiRuns;
  std::vector<unsigned long> tl_aulThreads;
  long volatile tl_ctRuns = 0;
  long volatile tl_ctDisposed = 0;
  long volatile tl_ctCancelled = 0;
  CTaskPool *tl_ptpSeen = nullptr;
  ThreadPriority tl_thpLast = THP_NORMAL;

  void Ran(long iID, CTaskPool *ptp)
  {
    CSyncLock sl(&tl_sm);
    tl_aiRuns.push_back(iID);
    tl_aulThreads.push_back(sysGetCurrentThreadID());
    tl_ptpSeen = ptp;
    ThreadHandle *pth = thrGetCurrentThread(); // null on the main thread
    if (pth != nullptr) tl_thpLast = thrGetThreadPriority(pth);
    sysInterlockedIncrement(&tl_ctRuns);
  }
};

// A task that logs its run and its disposal, and then does what its test asks.
class CLogTask : public CBaseTask {
  MD_DECLARE_CLASS(CLogTask)
  CLogTask(TaskLog *ptl, long iID) : lt_ptl(ptl), lt_iID(iID) {}
  void OnExecute(CTaskPool *ptp) override
  {
    lt_ptl->Ran(lt_iID, ptp);
    if (lt_pfnThen) lt_pfnThen(ptp, this);
  }
  void DeleteSelf(void) override
  {
    sysInterlockedIncrement(&lt_ptl->tl_ctDisposed);
    CBaseTask::DeleteSelf();
  }
  void OnCancel(void) override
  {
    sysInterlockedIncrement(&lt_ptl->tl_ctCancelled);
    if (lt_pfnCancelled) lt_pfnCancelled(this);
  }

  TaskLog *lt_ptl;
  long lt_iID;
  void (*lt_pfnThen)(CTaskPool *, CLogTask *) = nullptr;
  void (*lt_pfnCancelled)(CLogTask *) = nullptr;
  void *lt_pvData = nullptr;
};

MD_CLASS_BEGIN(CLogTask, CBaseTask, 1)
MD_CLASS_END()

CLogTask *NewTask(TaskLog &tl, long iID, void (*pfnThen)(CTaskPool *, CLogTask *) = nullptr,
                  void *pvData = nullptr)
{
  CLogTask *plt = new CLogTask(&tl, iID);
  plt->lt_pfnThen = pfnThen;
  plt->lt_pvData = pvData;
  return plt;
}

// A gate that a task waits behind, with word back once the task has reached it.
struct Gate {
  CSyncEvent g_seReached, g_seOpen;
  Gate()
  {
    g_seReached.InitEvent(CSyncEvent::SEF_MANUALRESET);
    g_seOpen.InitEvent(CSyncEvent::SEF_MANUALRESET);
  }
};

void WaitAtGate(CTaskPool *, CLogTask *plt)
{
  Gate *pg = (Gate *)plt->lt_pvData;
  pg->g_seReached.SetEvent();
  pg->g_seOpen.WaitEvent();
}

// The live objects and bytes of a type, to see them back where they started.
struct StatsProbe {
  CDataType *sp_pdt;
  MemoryTypeStats sp_mts;
  explicit StatsProbe(CDataType *pdt) : sp_pdt(pdt), sp_mts(pdt->dt_mts) {}
  long Singles() const { return sp_pdt->dt_mts.mts_ctSingles - sp_mts.mts_ctSingles; }
  long Bytes() const { return sp_pdt->dt_mts.mts_slBytes - sp_mts.mts_slBytes; }
};

// Runs `pfn(pv)` on a library thread; false if it did not end within the time (a deadlock), so
// a broken pool fails the test instead of hanging the program.
bool RunBounded(void (*pfn)(void *), void *pv, unsigned long ulMilliseconds = 60000)
{
  struct Run {
    void (*r_pfn)(void *);
    void *r_pv;
    CSyncEvent r_seDone;
  } *pr = new Run;
  pr->r_pfn = pfn;
  pr->r_pv = pv;
  pr->r_seDone.InitEvent(CSyncEvent::SEF_MANUALRESET);
  thrCreateThread(pr, [](void *pvRun) {
    Run *pr = (Run *)pvRun;
    pr->r_pfn(pr->r_pv);
    pr->r_seDone.SetEvent();
  });
  // A thread that does not end keeps its record (leaked).
  if (!pr->r_seDone.WaitEvent(ulMilliseconds)) return false;
  delete pr;
  return true;
}

// Waits until `fnDone` holds; if it does not within the time, a lock or a wake-up is lost: the
// program ends with a failure instead of hanging (the stuck threads could not be cleaned up).
template <class F>
void WaitOrEndProcess(F fnDone, unsigned long ulMilliseconds, const char *strWhat)
{
  if (WaitUntil(fnDone, ulMilliseconds)) return;
  fprintf(stderr, "%s did not finish: a lock or a wake-up is lost.\n", strWhat);
  fflush(stderr);
  ADD_FAILURE();
  sysEndProcessNow(1);
}

// Waits until `fnDone` holds, for as long as `fnProgress` keeps changing: a slow machine only
// takes longer, but if nothing moves for `ulMilliseconds` a lock or a wake-up is lost, and the
// program ends with a failure instead of hanging.
template <class F, class P>
void WaitWhileMovingOrEndProcess(F fnDone, P fnProgress, unsigned long ulMilliseconds,
                                 const char *strWhat)
{
  for (;;) {
    const long slProgress = fnProgress();
    if (WaitUntil([&] { return fnDone() || fnProgress() != slProgress; }, ulMilliseconds)) {
      if (fnDone()) return;
      continue;
    }
    fprintf(stderr, "%s stopped moving: a lock or a wake-up is lost.\n", strWhat);
    fflush(stderr);
    ADD_FAILURE();
    sysEndProcessNow(1);
  }
}

std::string ConsoleSince(long ctTotalBefore)
{
  std::string str;
  for (long i = conGetTotalLinesCount() - ctTotalBefore - 1; i >= 0; i--) {
    long iType;
    CString strLine;
    conGetLine(i, iType, strLine);
    str += (const char *)strLine;
  }
  return str;
}

TEST(TaskPool, WithoutWorkersTasksRunOnlyInTheCaller)
{
  CThreadServices ts;
  TaskLog tl;
  CTaskPool tp;
  tp.InitializePool(0, THP_NORMAL);
  for (long i = 0; i < 4; i++) tp.PushTask(NewTask(tl, i));
  EXPECT_EQ(thrCountThreads(), 0);
  EXPECT_EQ(tp.CountPendingTasks(), 4);
  EXPECT_EQ(tp.ProcessNextTask(nullptr), 1);
  EXPECT_EQ(tp.CountPendingTasks(), 3);
  tp.WaitUntilCompleted();
  EXPECT_EQ(tp.ProcessNextTask(nullptr), 0);
  EXPECT_EQ(tl.tl_aiRuns, (std::vector<long>{0, 1, 2, 3}));
  EXPECT_EQ(tl.tl_aulThreads, std::vector<unsigned long>(4, sysGetCurrentThreadID()));
  EXPECT_EQ(tl.tl_ptpSeen, &tp);
  EXPECT_EQ(tl.tl_ctDisposed, 4);
  EXPECT_EQ(tp.CountCompletedTasks(), 0);
  EXPECT_EQ(tp.GetThreadID(0), 0xFFFFFFFFu);
}

TEST(TaskPool, InsertedTaskRunsBeforeThePushedOnesInOneWorker)
{
  CThreadServices ts;
  TaskLog tl;
  Gate g;
  CTaskPool tp;
  tp.InitializePool(1, THP_ABOVENORMAL);
  // The worker is held behind the gate while the queue fills.
  CLogTask *pltGate = NewTask(tl, 0, WaitAtGate, &g);
  tp.PushTask(pltGate);
  ASSERT_TRUE(g.g_seReached.WaitEvent(10000));
  for (long i = 1; i <= 3; i++) tp.PushTask(NewTask(tl, i));
  tp.InsertTask(NewTask(tl, 4));
  tp.BoostTaskPriority(pltGate); // popped by the worker: the queue stays as it is
  EXPECT_EQ(tp.CountPendingTasks(), 4);
  g.g_seOpen.SetEvent();
  ASSERT_TRUE(WaitUntil([&] { return tl.tl_ctDisposed == 5; }, 10000));
  EXPECT_EQ(tl.tl_aiRuns, (std::vector<long>{0, 4, 1, 2, 3}));
  const unsigned long ulWorker = tp.GetThreadID(0);
  EXPECT_NE(ulWorker, sysGetCurrentThreadID());
  EXPECT_EQ(tl.tl_aulThreads, std::vector<unsigned long>(5, ulWorker));
  EXPECT_EQ(tl.tl_thpLast, THP_ABOVENORMAL);
  EXPECT_EQ(thrCountThreads(), 1);
}

TEST(TaskPool, BoostMovesOnlyTasksWaitingInThisPool)
{
  CThreadServices ts;
  TaskLog tl;
  CTaskPool tp, tpOther;
  tp.InitializePool(0, THP_NORMAL);
  tpOther.InitializePool(0, THP_NORMAL);
  CLogTask *apt[3];
  for (long i = 0; i < 3; i++) tp.PushTask(apt[i] = NewTask(tl, i));
  CLogTask *pltOther = NewTask(tl, 9);
  tpOther.PushTask(pltOther);
  tp.BoostTaskPriority(apt[2]);
  {
    CGuardBreachCounter gbc;
    tp.BoostTaskPriority(pltOther); // another pool's: both queues stay as they are
    tp.BoostTaskPriority(nullptr);
    EXPECT_EQ(gbc.Count(), 2);
  }
  EXPECT_EQ(tp.CountPendingTasks(), 3);
  EXPECT_EQ(tpOther.CountPendingTasks(), 1);
  // A running task boosting itself changes nothing.
  apt[2]->lt_pfnThen = [](CTaskPool *ptp, CLogTask *plt) { ptp->BoostTaskPriority(plt); };
  tp.WaitUntilCompleted();
  EXPECT_EQ(tl.tl_aiRuns, (std::vector<long>{2, 0, 1}));
  tpOther.WaitUntilCompleted();
  EXPECT_EQ(tl.tl_ctDisposed, 4);
}

TEST(TaskPool, PendingDropsAtThePopAndWaitingWaitsForTheRun)
{
  CThreadServices ts;
  TaskLog tl;
  Gate g;
  CTaskPool tp;
  tp.InitializePool(1, THP_NORMAL);
  tp.PushTask(NewTask(tl, 0, WaitAtGate, &g));
  ASSERT_TRUE(g.g_seReached.WaitEvent(10000));
  EXPECT_EQ(tp.CountPendingTasks(), 0); // popped, still running
  // The gate opens a little later, from another thread, while the main thread waits.
  thrCreateThread(&g, [](void *pv) {
    sysSleep(30);
    ((Gate *)pv)->g_seOpen.SetEvent();
  });
  tp.WaitUntilCompleted();
  EXPECT_EQ(tl.tl_ctDisposed, 1);
}

TEST(TaskPool, WaitingCoversTasksThatTasksPostOnOtherWorkers)
{
  CThreadServices ts;
  TaskLog tl;
  static Gate *_apg[3];
  Gate gA, gB, gC;
  _apg[0] = &gA;
  _apg[1] = &gB;
  _apg[2] = &gC;
  CTaskPool tp;
  tp.InitializePool(2, THP_NORMAL);
  tp.PushTask(NewTask(tl, 0, WaitAtGate, &gA));
  ASSERT_TRUE(gA.g_seReached.WaitEvent(10000));
  // B waits on the second worker, then posts C and ends only once the first worker (idle by
  // then) has taken C: the queue is empty and B's worker idle while C still runs.
  CLogTask *pltB = NewTask(tl, 1, [](CTaskPool *ptp, CLogTask *plt) {
    WaitAtGate(ptp, plt);
    ptp->PushTask(NewTask(*plt->lt_ptl, 2, [](CTaskPool *, CLogTask *) {
      _apg[2]->g_seReached.SetEvent();
      sysSleep(50);
    }));
    _apg[2]->g_seReached.WaitEvent(10000);
  });
  pltB->lt_pvData = &gB;
  tp.PushTask(pltB);
  ASSERT_TRUE(gB.g_seReached.WaitEvent(10000));
  // Opened after the waiter has seen the first worker go idle.
  thrCreateThread(nullptr, [](void *) {
    _apg[0]->g_seOpen.SetEvent();
    sysSleep(30);
    _apg[1]->g_seOpen.SetEvent();
  });
  tp.WaitUntilCompleted();
  EXPECT_EQ(tl.tl_ctDisposed, 3); // C too, though it was popped before the waiter looked
  EXPECT_EQ(tp.CountPendingTasks(), 0);
}

TEST(TaskPool, WorkerIDsTerminationAndRestart)
{
  CThreadServices ts;
  TaskLog tl;
  CTaskPool tp;
  tp.InitializePool(3, THP_BELOWNORMAL);
  EXPECT_EQ(tp.GetThreadID(0), 0xFFFFFFFFu); // before the first posting: none
  tp.PushTask(NewTask(tl, 0));
  EXPECT_EQ(thrCountThreads(), 3);
  unsigned long aulFirst[3];
  for (long i = 0; i < 3; i++) {
    aulFirst[i] = tp.GetThreadID(i);
    EXPECT_NE(aulFirst[i], 0xFFFFFFFFu);
    EXPECT_NE(aulFirst[i], sysGetCurrentThreadID());
  }
  EXPECT_EQ(tp.GetThreadID(3), 0xFFFFFFFFu);
  tp.WaitUntilCompleted();
  tp.TerminatePool();
  EXPECT_EQ(tp.GetThreadID(0), 0xFFFFFFFFu);
  ASSERT_TRUE(WaitUntil(AllThreadsEnded, 10000));
  tp.TerminatePool(); // nothing left to end

  // A posting after termination starts a fresh set.
  tp.PushTask(NewTask(tl, 1));
  EXPECT_EQ(thrCountThreads(), 3);
  tp.WaitUntilCompleted();
  EXPECT_EQ(tl.tl_ctDisposed, 2);
  for (long i = 0; i < 3; i++) EXPECT_NE(tp.GetThreadID(i), 0xFFFFFFFFu);
}

QE_CHILD(TaskPoolBadWorkerIndex)
{
  CTaskPool tp;
  const long ctBefore = corGetGuardBreachCount();
  if (tp.GetThreadID(0) != 0xFFFFFFFFUL || tp.GetThreadID(-1) != 0xFFFFFFFFUL) return 2;
  tp.InitializePool(2, THP_NORMAL);
  if (tp.GetThreadID(7) != 0xFFFFFFFFUL) return 3;
  return corGetGuardBreachCount() - ctBefore == 1 ? 0 : 4;
}

TEST(TaskPool, BadWorkerIndexIsReportedOncePerProcess)
{
  ChildResult cr = RunChild("TaskPoolBadWorkerIndex");
  ASSERT_FALSE(cr.cr_bTimedOut) << cr.cr_strOutput;
  EXPECT_EQ(cr.cr_ulExitCode, 0u) << cr.cr_strOutput;
}

TEST(TaskPool, RefusalsAndTasksLeftInTheQueue)
{
  CThreadServices ts;
  TaskLog tl;
  CDataType *pdtTask = CLogTask::md_pdtDataType;
  StatsProbe spTask(pdtTask);
  {
    CTaskPool tp;
    tp.InitializePool(2, THP_NORMAL);
    CGuardBreachCounter gbc;
    tp.PushTask(nullptr);
    tp.InsertTask(nullptr);
    EXPECT_EQ(gbc.Count(), 2);
    EXPECT_EQ(tp.CountPendingTasks(), 0);
    EXPECT_EQ(thrCountThreads(), 0); // nothing was posted: no workers
  }
  {
    CTaskPool tp;
    tp.InitializePool(0, THP_NORMAL);
    CLogTask *apt[4];
    for (long i = 0; i < 4; i++) tp.PushTask(apt[i] = NewTask(tl, i));
    CGuardBreachCounter gbc;
    tp.InsertTask(apt[0]); // queued already
    EXPECT_EQ(gbc.Count(), 1);
    EXPECT_EQ(tp.CountPendingTasks(), 4);
    // Its owner deletes a queued task: it leaves the queue and the counts.
    delete apt[1];
    EXPECT_EQ(tp.CountPendingTasks(), 3);
    EXPECT_EQ(tp.ProcessNextTask(nullptr), 1);
    EXPECT_EQ(spTask.Singles(), 2);
    // Destroyed with two tasks queued: disposed of, not run.
  }
  EXPECT_EQ(tl.tl_aiRuns, (std::vector<long>{0}));
  EXPECT_EQ(tl.tl_ctDisposed, 3);
  EXPECT_EQ(tl.tl_ctCancelled, 2); // told, so that waiters on them could be released
  EXPECT_EQ(spTask.Singles(), 0);
  EXPECT_EQ(spTask.Bytes(), 0);

  // Waiting does not count a task that was deleted in the queue.
  CTaskPool tp;
  tp.InitializePool(0, THP_NORMAL);
  CLogTask *plt = NewTask(tl, 5);
  tp.PushTask(plt);
  tp.PushTask(NewTask(tl, 6));
  delete plt;
  ASSERT_EQ(tp.CountPendingTasks(), 1); // else waiting would wait for it forever
  tp.WaitUntilCompleted();
  EXPECT_EQ(tl.tl_aiRuns, (std::vector<long>{0, 6}));
}

TEST(TaskPool, ExceptionsInTasksAreReportedAndTheWorkerGoesOn)
{
  CThreadServices ts;
  TaskLog tl;
  CTaskPool tp;
  tp.InitializePool(1, THP_NORMAL);
  const long ctLines = conGetTotalLinesCount();
  tp.PushTask(
      NewTask(tl, 0, [](CTaskPool *, CLogTask *) { throw CSimpleException("the task broke"); }));
  ASSERT_TRUE(WaitUntil([&] { return tl.tl_ctDisposed == 1; }, 10000));
  tp.PushTask(NewTask(tl, 1, [](CTaskPool *, CLogTask *) { throw 7; }));
  tp.PushTask(NewTask(tl, 2));
  ASSERT_TRUE(WaitUntil([&] { return tl.tl_ctDisposed == 3; }, 10000));
  EXPECT_EQ(tl.tl_aulThreads, std::vector<unsigned long>(3, tp.GetThreadID(0)));
  const std::string strLog = ConsoleSince(ctLines);
  EXPECT_NE(strLog.find("A task failed: the task broke"), std::string::npos) << strLog;
  EXPECT_EQ(thrCountThreads(), 1); // the worker lives

  // In the caller too: nothing escapes, the task is still disposed of.
  CTaskPool tpHere;
  tpHere.InitializePool(0, THP_NORMAL);
  tpHere.PushTask(NewTask(tl, 3, [](CTaskPool *, CLogTask *) { throw CSimpleException("x"); }));
  EXPECT_EQ(tpHere.ProcessNextTask(nullptr), 1);
  EXPECT_EQ(tl.tl_ctDisposed, 4);
}

// A task on a worker that waits for its own pool, and one that tries to end it.
void WaitFromInside(void *pv)
{
  TaskLog &tl = *(TaskLog *)pv;
  CTaskPool tp;
  tp.InitializePool(2, THP_NORMAL);
  tp.PushTask(NewTask(tl, 0, [](CTaskPool *ptp, CLogTask *plt) {
    ptp->PushTask(NewTask(*plt->lt_ptl, 1));
    ptp->WaitUntilCompleted(); // must not wait for itself
    ptp->TerminatePool();      // refused: it would wait for its own run
  }));
  // Not waited for at once: the waiter could take the task and run it itself.
  WaitUntil([&] { return tl.tl_ctDisposed == 2; }, 30000);
  tp.WaitUntilCompleted();
}

TEST(TaskPool, TasksMayWaitForTheirOwnPool)
{
  CThreadServices ts;
  TaskLog tl;
  CGuardBreachCounter gbc;
  ASSERT_TRUE(RunBounded(WaitFromInside, &tl)) << "deadlock";
  EXPECT_EQ(tl.tl_ctDisposed, 2);
  EXPECT_EQ(gbc.Count(), 1);
}

// Many posters, tasks posting tasks, callers running tasks: every task runs exactly once.
struct Stress {
  static constexpr long ctPosters = 3, ctRoots = 30, ctPerRoot = 1 + 2 + 4;
  static constexpr long ctTasks = ctPosters * ctRoots * ctPerRoot;
  CTaskPool *s_ptp = nullptr;
  long volatile s_actRuns[ctTasks] = {};
  long volatile s_ctCreated = 0;
  long volatile s_ctPostersDone = 0;
  long volatile s_ctWrongPool = 0;
};

class CStressTask : public CBaseTask {
  MD_DECLARE_CLASS(CStressTask)
  CStressTask(Stress *ps, long iDepth) : st_ps(ps), st_iDepth(iDepth)
  {
    st_iID = sysInterlockedIncrement(&ps->s_ctCreated) - 1;
  }
  void OnExecute(CTaskPool *ptp) override
  {
    if (ptp != st_ps->s_ptp) sysInterlockedIncrement(&st_ps->s_ctWrongPool);
    if (st_iID < Stress::ctTasks) sysInterlockedIncrement(&st_ps->s_actRuns[st_iID]);
    if (st_iID % 5 == 0) ptp->ProcessNextTask(nullptr);
    for (long i = 0; i < 2 && st_iDepth > 0; i++) {
      CStressTask *pst = new CStressTask(st_ps, st_iDepth - 1);
      i == 0 ? ptp->PushTask(pst) : ptp->InsertTask(pst);
    }
  }
  Stress *st_ps;
  long st_iDepth, st_iID;
};

MD_CLASS_BEGIN(CStressTask, CBaseTask, 1)
MD_CLASS_END()

void StressPoster(void *pv)
{
  Stress *ps = (Stress *)pv;
  for (long i = 0; i < Stress::ctRoots; i++) {
    CStressTask *pst = new CStressTask(ps, 2);
    i % 3 == 0 ? ps->s_ptp->InsertTask(pst) : ps->s_ptp->PushTask(pst);
    if (i % 4 == 0) ps->s_ptp->ProcessNextTask(nullptr);
  }
  sysInterlockedIncrement(&ps->s_ctPostersDone);
}

void StressDriver(void *pv)
{
  Stress *ps = (Stress *)pv;
  for (long i = 0; i < Stress::ctPosters; i++) thrCreateThread(ps, StressPoster);
  WaitUntil([&] { return ps->s_ctPostersDone == Stress::ctPosters; }, 60000);
  ps->s_ptp->WaitUntilCompleted();
}

TEST(TaskPool, StressManyPostersAndTasksPostingTasks)
{
  CThreadServices ts;
  StatsProbe spPool(CTaskPool::md_pdtDataType);
  StatsProbe spImp(mdFindByName("CTaskPoolImp"));
  StatsProbe spThread(CTaskPoolThread::md_pdtDataType);
  StatsProbe spTask(CStressTask::md_pdtDataType);
  for (long iRound = 0; iRound < 2; iRound++) {
    Stress *ps = new Stress;
    ps->s_ptp = new CTaskPool;
    ps->s_ptp->InitializePool(3, THP_NORMAL);
    EXPECT_EQ(spPool.Singles(), 1);
    EXPECT_EQ(spImp.Singles(), 1);
    ASSERT_TRUE(RunBounded(StressDriver, ps)) << "deadlock in round " << iRound;
    EXPECT_EQ(ps->s_ctPostersDone, Stress::ctPosters);
    EXPECT_EQ(ps->s_ctCreated, Stress::ctTasks);
    EXPECT_EQ(ps->s_ctWrongPool, 0);
    long ctNotOnce = 0;
    for (long i = 0; i < Stress::ctTasks; i++) ctNotOnce += ps->s_actRuns[i] != 1;
    EXPECT_EQ(ctNotOnce, 0);
    EXPECT_EQ(ps->s_ptp->CountPendingTasks(), 0);
    EXPECT_EQ(spThread.Singles(), 3);
    EXPECT_EQ(spTask.Singles(), 0);
    delete ps->s_ptp;
    delete ps;
    ASSERT_TRUE(WaitUntil(AllThreadsEnded, 10000));
  }
  for (const StatsProbe *psp : {&spPool, &spImp, &spThread, &spTask}) {
    EXPECT_EQ(psp->Singles(), 0) << psp->sp_pdt->GetName();
    EXPECT_EQ(psp->Bytes(), 0) << psp->sp_pdt->GetName();
  }
}

// One worker keeps posting while the other is being terminated: the posting must not wake (and
// wait for) the worker that is on its way out.
void TerminateWhileAWorkerPosts(void *pv)
{
  TaskLog &tl = *(TaskLog *)pv;
  Gate g;
  CTaskPool tp;
  tp.InitializePool(2, THP_NORMAL);
  tp.PushTask(NewTask(
      tl, 0,
      [](CTaskPool *ptp, CLogTask *plt) {
        ((Gate *)plt->lt_pvData)->g_seReached.SetEvent();
        for (long i = 0; i < 2000; i++) ptp->PushTask(NewTask(*plt->lt_ptl, 1));
      },
      &g));
  g.g_seReached.WaitEvent();
  tp.TerminatePool();
}

TEST(TaskPool, TerminationWhileTasksPost)
{
  CThreadServices ts;
  TaskLog tl;
  ASSERT_TRUE(RunBounded(TerminateWhileAWorkerPosts, &tl)) << "deadlock";
  EXPECT_EQ(tl.tl_ctDisposed, 2001); // run by the posting worker's last run, or left and disposed
}

// Termination while tasks on the workers keep posting: no deadlock, nothing lost or run twice.
void TerminateWhilePosting(void *pv)
{
  Stress *ps = (Stress *)pv;
  for (long i = 0; i < Stress::ctRoots; i++) ps->s_ptp->PushTask(new CStressTask(ps, 2));
  ps->s_ptp->TerminatePool();
  delete ps->s_ptp; // what is still queued is disposed of
}

TEST(TaskPool, TerminationWhileTasksPostTasks)
{
  CThreadServices ts;
  StatsProbe spTask(CStressTask::md_pdtDataType);
  Stress *ps = new Stress;
  ps->s_ptp = new CTaskPool;
  ps->s_ptp->InitializePool(3, THP_NORMAL);
  ASSERT_TRUE(RunBounded(TerminateWhilePosting, ps)) << "deadlock";
  long ctTwice = 0;
  for (long i = 0; i < Stress::ctTasks; i++) ctTwice += ps->s_actRuns[i] > 1;
  EXPECT_EQ(ctTwice, 0);
  EXPECT_EQ(spTask.Singles(), 0);
  delete ps;
}

// A pool whose workers have all been made and sleep, two of them without ever having run.
TEST(TaskPool, IdleWorkersLetAnExclusiveSectionInAtOnce)
{
  CThreadServices ts;
  TaskLog tl;
  CTaskPool tp;
  tp.InitializePool(3, THP_NORMAL);
  tp.PushTask(NewTask(tl, 0));
  ASSERT_TRUE(WaitUntil([&] { return tl.tl_ctDisposed == 1; }, 10000));
  EXPECT_EQ(thrCountThreads(), 3);
  {
    CWatchdog wd("An exclusive section beside idle workers", 20000);
    CExclusiveMainThread emt;
    EXPECT_EQ(thrCountActiveThreads(), 0);
  }
  // After the section the workers serve postings again.
  for (long i = 1; i <= 6; i++) tp.PushTask(NewTask(tl, i));
  ASSERT_TRUE(WaitUntil([&] { return tl.tl_ctDisposed == 7; }, 10000));
}

// A chain of tasks on the only worker, each posting the next to its own pool: the worker is
// running when they arrive, so nobody wakes it and it must find them itself.
void PostTheNextLink(CTaskPool *ptp, CLogTask *plt)
{
  if (plt->lt_iID == 49) return;
  CLogTask *pltNext = NewTask(*plt->lt_ptl, plt->lt_iID + 1, PostTheNextLink);
  plt->lt_iID % 2 ? ptp->InsertTask(pltNext) : ptp->PushTask(pltNext);
}

TEST(TaskPool, TasksPostToTheirOwnPool)
{
  CThreadServices ts;
  TaskLog tl;
  CTaskPool tp;
  tp.InitializePool(1, THP_NORMAL);
  tp.PushTask(NewTask(tl, 0, PostTheNextLink));
  WaitOrEndProcess([&] { return tl.tl_ctDisposed == 50; }, 20000, "A chain of tasks");
  std::vector<long> aiExpected;
  for (long i = 0; i < 50; i++) aiExpected.push_back(i);
  EXPECT_EQ(tl.tl_aiRuns, aiExpected);
  EXPECT_EQ(tl.tl_aulThreads, std::vector<unsigned long>(50, tp.GetThreadID(0)));
}

void TerminateAndNote(void *pv)
{
  CTaskPool *ptp = *(CTaskPool **)pv;
  ptp->TerminatePool();
  *((CTaskPool **)pv + 1) = ptp; // done
}

TEST(TaskPool, PostingsWhileThePoolTerminatesAreCancelledOnThePoster)
{
  CThreadServices ts;
  TaskLog tl;
  Gate g;
  CTaskPool tp;
  tp.InitializePool(1, THP_NORMAL);
  // The worker's last run is held at the gate; then its task posts a follow-up.
  tp.PushTask(NewTask(
      tl, 0,
      [](CTaskPool *ptp, CLogTask *plt) {
        WaitAtGate(ptp, plt);
        ptp->PushTask(NewTask(*plt->lt_ptl, 100));
      },
      &g));
  ASSERT_TRUE(g.g_seReached.WaitEvent(10000));
  CTaskPool *volatile aptpTerminate[2] = {&tp, nullptr};
  thrCreateThread((void *)aptpTerminate, TerminateAndNote);
  // Probes are queued until the termination starts (the last run takes them), then cancelled.
  long ctProbes = 0;
  WaitOrEndProcess(
      [&] {
        ctProbes++;
        tp.PushTask(NewTask(tl, 1));
        return tl.tl_ctCancelled > 0;
      },
      10000, "Termination");
  EXPECT_EQ(tl.tl_ctDisposed, 1);  // the cancelled probe, at once, before the gate opened
  EXPECT_EQ(thrCountThreads(), 2); // the worker and the terminating thread: none started
  tp.InsertTask(NewTask(tl, 2));
  EXPECT_EQ(tl.tl_ctCancelled, 2); // on this thread, within the posting
  g.g_seOpen.SetEvent();
  WaitOrEndProcess([&] { return aptpTerminate[1] != nullptr; }, 20000, "Termination");
  EXPECT_EQ(tl.tl_ctCancelled, 3); // the follow-up posted from the last run
  std::vector<long> aiExpected(ctProbes, 1);
  aiExpected[0] = 0; // the gate task, then the probes queued before termination
  EXPECT_EQ(tl.tl_aiRuns, aiExpected);
  EXPECT_EQ(tl.tl_ctDisposed, ctProbes + 3);
  EXPECT_EQ(tp.CountPendingTasks(), 0);

  // Termination over: a posting starts a fresh worker.
  ASSERT_TRUE(WaitUntil(AllThreadsEnded, 10000));
  tp.PushTask(NewTask(tl, 3));
  ASSERT_TRUE(WaitUntil([&] { return tl.tl_ctDisposed == ctProbes + 4; }, 10000));
  EXPECT_EQ(tl.tl_aiRuns.back(), 3);
  EXPECT_EQ(tl.tl_ctCancelled, 3);
}

TEST(TaskPool, TasksCancelledAtDestructionCannotRestartThePool)
{
  CThreadServices ts;
  TaskLog tl;
  StatsProbe spThread(CTaskPoolThread::md_pdtDataType);
  {
    CTaskPool tp;
    tp.InitializePool(0, THP_NORMAL);
    for (long i = 0; i < 2; i++) {
      // Told that it will not run, it posts a replacement to its pool.
      CLogTask *plt = NewTask(tl, i, nullptr, &tp);
      plt->lt_pfnCancelled = [](CLogTask *plt) {
        ((CTaskPool *)plt->lt_pvData)->PushTask(NewTask(*plt->lt_ptl, 10 + plt->lt_iID));
      };
      tp.PushTask(plt);
    }
    // Workers would start with the next posting; the destruction must not let them.
    tp.InitializePool(2, THP_NORMAL);
  }
  EXPECT_EQ(thrCountThreads(), 0);
  EXPECT_EQ(spThread.Singles(), 0);
  EXPECT_TRUE(tl.tl_aiRuns.empty());
  EXPECT_EQ(tl.tl_ctCancelled, 4);
  EXPECT_EQ(tl.tl_ctDisposed, 4);
}

// Lost wake-ups: each poster posts one task and waits for it, again and again, so postings keep
// arriving just as a worker finds the queue empty and goes to sleep. Nobody but the workers runs
// tasks: a lost wake-up leaves a task in the queue and its poster waiting.
struct WakeStress {
  static constexpr long ctPosters = 2, ctRounds = 2500;
  CTaskPool *ws_ptp = nullptr;
  long volatile ws_ctPostersDone = 0;
  long volatile ws_ctLost = 0;
  long volatile ws_ctRuns = 0;
};

struct WakePoster {
  WakeStress *wp_pws;
  long wp_iPoster;
  CSyncEvent wp_seRan;
};

class CWakeTask : public CBaseTask {
  MD_DECLARE_CLASS(CWakeTask)
  explicit CWakeTask(WakePoster *pwp) : wt_pwp(pwp) {}
  void OnExecute(CTaskPool *) override
  {
    sysInterlockedIncrement(&wt_pwp->wp_pws->ws_ctRuns);
    wt_pwp->wp_seRan.SetEvent();
  }
  WakePoster *wt_pwp;
};

MD_CLASS_BEGIN(CWakeTask, CBaseTask, 1)
MD_CLASS_END()

void PostAndWait(void *pv)
{
  WakePoster *pwp = (WakePoster *)pv;
  for (long i = 0; i < WakeStress::ctRounds; i++) {
    // Now and then a little later, to meet the worker at other points of its way to sleep.
    for (long iSpin = 0; iSpin < (i * 7 + pwp->wp_iPoster * 3) % 40; iSpin++) sysYield();
    pwp->wp_pws->ws_ptp->PushTask(new CWakeTask(pwp));
    if (!pwp->wp_seRan.WaitEvent(10000)) {
      sysInterlockedIncrement(&pwp->wp_pws->ws_ctLost);
      break;
    }
  }
  sysInterlockedIncrement(&pwp->wp_pws->ws_ctPostersDone);
}

TEST(TaskPool, StressNoWakeUpIsLost)
{
  CThreadServices ts;
  WakeStress ws;
  CTaskPool tp;
  ws.ws_ptp = &tp;
  tp.InitializePool(2, THP_NORMAL);
  WakePoster awp[WakeStress::ctPosters];
  for (long i = 0; i < WakeStress::ctPosters; i++) {
    awp[i].wp_pws = &ws;
    awp[i].wp_iPoster = i;
    awp[i].wp_seRan.InitEvent(0);
    thrCreateThread(&awp[i], PostAndWait);
  }
  WaitWhileMovingOrEndProcess([&] { return ws.ws_ctPostersDone == WakeStress::ctPosters; },
                              [&] { return ws.ws_ctRuns + ws.ws_ctLost; }, 30000,
                              "The wake-up stress");
  EXPECT_EQ(ws.ws_ctLost, 0);
  EXPECT_EQ(ws.ws_ctRuns, WakeStress::ctPosters * WakeStress::ctRounds);
  WaitOrEndProcess([&] { return tp.CountPendingTasks() == 0 && thrCountThreads() == 2; }, 20000,
                   "The wake-up stress");
}

// A quarter of a million empty tasks from two posting threads: each runs exactly once. (A
// million took ten minutes on an emulated processor, twice that beside another test.)
struct ManyTasks {
  static constexpr long ctPerPoster = 125000, ctPosters = 2;
  static constexpr long ctTasks = ctPerPoster * ctPosters;
  CTaskPool *mt_ptp = nullptr;
  long volatile mt_actRuns[ctTasks] = {};
  long volatile mt_ctPostersDone = 0;
  long volatile mt_ctRuns = 0;
};

class CCountTask : public CBaseTask {
  MD_DECLARE_CLASS(CCountTask)
  CCountTask(ManyTasks *pmt, long iID) : ct_pmt(pmt), ct_iID(iID) {}
  void OnExecute(CTaskPool *) override
  {
    sysInterlockedIncrement(&ct_pmt->mt_actRuns[ct_iID]);
    sysInterlockedIncrement(&ct_pmt->mt_ctRuns);
  }
  ManyTasks *ct_pmt;
  long ct_iID;
};

MD_CLASS_BEGIN(CCountTask, CBaseTask, 1)
MD_CLASS_END()

struct ManyPoster {
  ManyTasks *mp_pmt;
  long mp_iFirst;
};

void PostMany(void *pv)
{
  ManyPoster *pmp = (ManyPoster *)pv;
  CTaskPool *ptp = pmp->mp_pmt->mt_ptp;
  for (long i = 0; i < ManyTasks::ctPerPoster; i++) {
    ptp->PushTask(new CCountTask(pmp->mp_pmt, pmp->mp_iFirst + i));
    // A poster that runs ahead helps instead of letting the queue grow without bound.
    if ((i & 1023) == 0) {
      while (ptp->CountPendingTasks() > 20000) ptp->ProcessNextTask(nullptr);
    }
  }
  sysInterlockedIncrement(&pmp->mp_pmt->mt_ctPostersDone);
}

TEST(TaskPool, StressAQuarterMillionTasksFromTwoPostersEachRunOnce)
{
  CThreadServices ts;
  StatsProbe spTask(CCountTask::md_pdtDataType);
  ManyTasks *pmt = new ManyTasks;
  CTaskPool tp;
  pmt->mt_ptp = &tp;
  tp.InitializePool(2, THP_NORMAL);
  ManyPoster amp[ManyTasks::ctPosters];
  for (long i = 0; i < ManyTasks::ctPosters; i++) {
    amp[i] = {pmt, i * ManyTasks::ctPerPoster};
    thrCreateThread(&amp[i], PostMany);
  }
  // Runs and deletions show the pool moving; how fast depends on the machine.
  WaitWhileMovingOrEndProcess([&] { return pmt->mt_ctPostersDone == ManyTasks::ctPosters; },
                              [&] { return pmt->mt_ctRuns; }, 20000, "The quarter million tasks");
  WaitWhileMovingOrEndProcess([&] { return spTask.Singles() == 0; },
                              [&] { return spTask.Singles(); }, 20000, "The quarter million tasks");
  long ctNotOnce = 0;
  for (long i = 0; i < ManyTasks::ctTasks; i++) ctNotOnce += pmt->mt_actRuns[i] != 1;
  EXPECT_EQ(ctNotOnce, 0);
  EXPECT_EQ(tp.CountPendingTasks(), 0);
  delete pmt;
}

} // namespace

TEST(TaskPool, OneTaskRunsNowIfItStillWaits)
{
  TaskLog tl;
  CTaskPool tp;
  tp.InitializePool(0, THP_NORMAL);
  CLogTask *pltA = NewTask(tl, 1);
  CLogTask *pltB = NewTask(tl, 2);
  CLogTask *pltC = NewTask(tl, 3);
  tp.PushTask(pltA);
  tp.PushTask(pltB);
  tp.PushTask(pltC);
  // The one that is needed runs now, ahead of the others, and only once.
  EXPECT_EQ(tp.RunTaskIfQueued(pltB), 1);
  EXPECT_EQ(tp.CountPendingTasks(), 2);
  EXPECT_EQ(tl.tl_aiRuns, (std::vector<long>{2}));
  // A task that is not in this queue (another pool's, or one that already ran) is left alone.
  CTaskPool tpOther;
  tpOther.InitializePool(0, THP_NORMAL);
  CLogTask *pltD = NewTask(tl, 4);
  tpOther.PushTask(pltD);
  EXPECT_EQ(tp.RunTaskIfQueued(pltD), 0);
  EXPECT_EQ(tpOther.CountPendingTasks(), 1);
  CGuardBreachCounter gbc;
  EXPECT_EQ(tp.RunTaskIfQueued(nullptr), 0);
  EXPECT_EQ(gbc.Count(), 1);
  tp.WaitUntilCompleted();
  tpOther.WaitUntilCompleted();
  EXPECT_EQ(tl.tl_aiRuns, (std::vector<long>{2, 1, 3, 4}));
  EXPECT_EQ(tl.tl_ctDisposed, 4);
  EXPECT_EQ(tl.tl_ctCancelled, 0);
}
