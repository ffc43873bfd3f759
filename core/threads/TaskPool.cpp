// The task pool and its state.
//
// A posting holds the pool's thread mutex throughout: it starts the workers if there are none,
// queues the task under the queue mutex, then visits the workers in list order and wakes the
// first one that waits. A worker marks itself waiting only under its own mutex and only after a
// pop found the queue empty, and the posting reads the flag under the same mutex after queueing,
// so a posted task is never left in the queue while every worker sleeps.
//
// Besides the pending count (tasks in the queue) the pool counts unfinished tasks: queued or
// running until their DeleteSelf has returned. WaitUntilCompleted waits on that count, so it
// also waits for a task that a task on one worker posted and another worker already popped.
// A task deleted while queued leaves the queue and both counts under the queue mutex.
//
// From the start of TerminatePool until it returns, and for the whole destruction, the pool
// refuses postings: the task is cancelled (OnCancel, then DeleteSelf) at once on the posting
// thread. Starting workers then would race the termination (or outlive the pool), and queueing
// the task would leave it to the workers' last runs, which a task that posts again (a follow-up,
// or itself) could keep going for ever. Running it inline instead would do the same on the
// poster, recursively, under whatever locks the poster holds. Cancelling ends termination
// promptly and tells the task's owner, as destruction does for tasks left in the queue. Tasks
// queued before termination began still run in the workers' last runs.
#include "core/threads/TaskPool.h"
#include "core/frame/CodeGuard.h"

#include "core/frame/Console.h"
#include "core/frame/Exception.h"
#include "core/text/Translation.h"
#include "core/threads/BaseTask.h"
#include "core/threads/SyncLock.h"
#include "core/threads/TaskPoolPrivate.h"
#include "core/threads/TaskPoolThread.h"

namespace QuennelEngine {

MD_CLASS_BEGIN(CTaskPool, void, 1)
MD_CLASS_END()

MD_CLASS_BEGIN(CTaskPoolImp, void, 1)
MD_CLASS_END()

namespace {

// The tasks the calling thread is running, innermost first: a task that waits for its own pool
// must not wait for itself.
struct RunningTask {
  CTaskPoolImp *rt_ptpi;
  RunningTask *rt_prtOuter;
};
thread_local RunningTask *_tp_prtRunning = nullptr;

long CountRunningHere(CTaskPoolImp *ptpi)
{
  long ct = 0;
  for (RunningTask *prt = _tp_prtRunning; prt != nullptr; prt = prt->rt_prtOuter) {
    if (prt->rt_ptpi == ptpi) ct++;
  }
  return ct;
}

// Once per process, whichever index was asked for.
long volatile _tp_bReportedBadWorker = 0;

void ReportTaskException(void)
{
  char achWhy[256];
  conError(strTranslate("DOZUThreads.TaskFailed=A task failed: %1\n"),
           dbgDescribeCurrentException(achWhy, sizeof(achWhy)));
}

} // namespace

// ---- CTaskPoolImp ----

CTaskPoolImp::CTaskPoolImp(CTaskPool *ptpOwner)
    : tpi_ptpOwner(ptpOwner), tpi_ctThreads(0), tpi_thpPriority(THP_NORMAL), tpi_ctPending(0),
      tpi_ctUnfinished(0), tpi_ctTerminating(0), tpi_bDestroying(false)
{
  tpi_dcThreads.SetAllocationStep(16);
}

CBaseTask *CTaskPoolImp::PopTask(void)
{
  CSyncLock sl(&tpi_smQueue);
  if (tpi_lhQueue.IsEmpty()) return nullptr;
  CBaseTask *ptsk = CBaseTask::FromQueueNode(tpi_lhQueue.RemHead());
  ptsk->tsk_ptpiQueue = nullptr;
  tpi_ctPending--;
  return ptsk;
}

void CTaskPoolImp::ActivateTaskPool(void)
{
  CSyncLock sl(&tpi_smThreads);
  if (!tpi_dcThreads.IsEmpty()) return;
  for (long i = 0; i < tpi_ctThreads; i++) {
    CTaskPoolThread *ptpt = new CTaskPoolThread;
    ptpt->tpt_ptpPool = tpi_ptpOwner;
    tpi_dcThreads.Add(ptpt);
    ptpt->InitializeThread();
    ptpt->SetThreadPriority(tpi_thpPriority);
  }
}

void CTaskPoolImp::SuspendTaskPool(void)
{
}

void CTaskPoolImp::PostTask(CBaseTask *ptsk, bool bAtHead)
{
  if (ptsk == nullptr) {
    corLogGuardBreach();
    return;
  }
  CSyncLock slThreads(&tpi_smThreads);
  const bool bRefused = tpi_ctTerminating > 0 || tpi_bDestroying;
  if (!bRefused) ActivateTaskPool();
  {
    CSyncLock slQueue(&tpi_smQueue);
    if (ptsk->tsk_ptpiQueue != nullptr) {
      // Queued already (here or in another pool): linking it again would break both lists.
      corLogGuardBreach();
      return;
    }
    if (!bRefused) {
      if (bAtHead) {
        tpi_lhQueue.AddHead(ptsk->tsk_lnQueue);
      } else {
        tpi_lhQueue.AddTail(ptsk->tsk_lnQueue);
      }
      ptsk->tsk_ptpiQueue = this;
      tpi_ctPending++;
      tpi_ctUnfinished++;
    }
  }
  if (bRefused) {
    slThreads.Unlock();
    CancelTask(ptsk);
    return;
  }
  // One waiting worker at most: a running one finds the task itself.
  for (CTaskPoolThread *ptpt : tpi_dcThreads) {
    CSyncLock slWorker(&ptpt->tpt_smThread);
    if (ptpt->tpt_bWaiting && !ptpt->tpt_bTerminating) {
      ptpt->tpt_bWaiting = 0;
      // Woken after its mutex is released, or its run would start by waiting for our release.
      // With the flag cleared no other posting wakes it, and TerminatePool cannot choose it
      // while we hold the thread mutex.
      slWorker.Unlock();
      ptpt->WaitOnThread(); // the end of its previous run
      ptpt->ExecuteThread();
      break;
    }
  }
}

void CTaskPoolImp::CancelTask(CBaseTask *ptsk)
{
  try {
    ptsk->OnCancel();
  } catch (...) {
    ReportTaskException();
  }
  try {
    ptsk->DeleteSelf();
  } catch (...) {
    ReportTaskException();
  }
}

void CTaskPoolImp::RunTask(CBaseTask *ptsk)
{
  RunningTask rt = {this, _tp_prtRunning};
  _tp_prtRunning = &rt;
  // A task's failure is its own: it must neither end a worker nor skip the task's disposal.
  try {
    ptsk->OnExecute(tpi_ptpOwner);
  } catch (...) {
    ReportTaskException();
  }
  try {
    ptsk->DeleteSelf();
  } catch (...) {
    ReportTaskException();
  }
  _tp_prtRunning = rt.rt_prtOuter;
  CSyncLock sl(&tpi_smQueue);
  tpi_ctUnfinished--;
}

void CTaskPoolImp::ForgetTask(CBaseTask *ptsk)
{
  CSyncLock sl(&tpi_smQueue);
  // Popped meanwhile: whoever popped it owns it now.
  if (ptsk->tsk_ptpiQueue != this || !ptsk->tsk_lnQueue.IsLinked()) return;
  ptsk->tsk_lnQueue.Remove();
  ptsk->tsk_ptpiQueue = nullptr;
  tpi_ctPending--;
  tpi_ctUnfinished--;
}

bool CTaskPoolImp::IsCallerWorker(void)
{
  const unsigned long ulCaller = sysGetCurrentThreadID();
  CSyncLock sl(&tpi_smThreads);
  for (CTaskPoolThread *ptpt : tpi_dcThreads) {
    if (ptpt->GetThreadID() == ulCaller) return true;
  }
  return false;
}

void CTaskPoolImp::WaitForWorkers(void)
{
  // Waited on without the thread mutex: a worker's task may post (and so take it) meanwhile.
  // Workers leave the list only through TerminatePool, which must not run alongside.
  CDynamicContainer<CTaskPoolThread> dcWorkers;
  {
    CSyncLock sl(&tpi_smThreads);
    dcWorkers = tpi_dcThreads;
  }
  const unsigned long ulCaller = sysGetCurrentThreadID();
  for (CTaskPoolThread *ptpt : dcWorkers) {
    if (ptpt->GetThreadID() != ulCaller) ptpt->WaitOnThread();
  }
}

long CTaskPoolImp::CountUnfinished(void)
{
  CSyncLock sl(&tpi_smQueue);
  return tpi_ctUnfinished;
}

// ---- CTaskPool ----

CTaskPool::CTaskPool(void) : tp_pImp(new CTaskPoolImp(this))
{
}

CTaskPool::~CTaskPool(void)
{
  {
    CSyncLock sl(&tp_pImp->tpi_smThreads);
    tp_pImp->tpi_bDestroying = true;
  }
  TerminatePool();
  CSyncLock slThreads(&tp_pImp->tpi_smThreads);
  if (!tp_pImp->tpi_dcThreads.IsEmpty()) {
    // Destroyed by its own worker (TerminatePool refused): the workers still use the state.
    return;
  }
  slThreads.Unlock();
  // The pool owns what is still queued: cancelled (so whoever waits on a task hears of it) and
  // disposed of, not run.
  CancelPendingTasks();
  delete tp_pImp;
}

void CTaskPool::InitializePool(long ctThreads, ThreadPriority thp)
{
  if (ctThreads < 0) {
    corLogGuardBreach();
    ctThreads = 0;
  }
  CSyncLock sl(&tp_pImp->tpi_smThreads);
  tp_pImp->tpi_ctThreads = ctThreads;
  tp_pImp->tpi_thpPriority = thp;
}

void CTaskPool::PushTask(CBaseTask *ptsk)
{
  tp_pImp->PostTask(ptsk, false);
}

void CTaskPool::InsertTask(CBaseTask *ptsk)
{
  tp_pImp->PostTask(ptsk, true);
}

void CTaskPool::BoostTaskPriority(CBaseTask *ptsk)
{
  if (ptsk == nullptr) {
    corLogGuardBreach();
    return;
  }
  CTaskPoolImp &tpi = *tp_pImp;
  CSyncLock sl(&tpi.tpi_smQueue);
  if (ptsk->tsk_ptpiQueue == &tpi) {
    ptsk->tsk_lnQueue.Remove();
    tpi.tpi_lhQueue.AddHead(ptsk->tsk_lnQueue);
  } else if (ptsk->tsk_ptpiQueue != nullptr) {
    // Queued in another pool: moving it here would corrupt both pools' counts.
    corLogGuardBreach();
  }
  // Otherwise it is running or done: left alone.
}

int CTaskPool::RunTaskIfQueued(CBaseTask *ptsk)
{
  if (ptsk == nullptr) {
    corLogGuardBreach();
    return 0;
  }
  {
    CSyncLock sl(&tp_pImp->tpi_smQueue);
    // Popped already (running or done) or queued elsewhere: not ours to run.
    if (ptsk->tsk_ptpiQueue != tp_pImp || !ptsk->tsk_lnQueue.IsLinked()) return 0;
    ptsk->tsk_lnQueue.Remove();
    ptsk->tsk_ptpiQueue = nullptr;
    tp_pImp->tpi_ctPending--;
  }
  tp_pImp->RunTask(ptsk);
  return 1;
}

int CTaskPool::ProcessNextTask(CBaseTask *)
{
  CBaseTask *ptsk = tp_pImp->PopTask();
  if (ptsk == nullptr) return 0;
  tp_pImp->RunTask(ptsk);
  return 1;
}

void CTaskPool::WaitUntilCompleted(void)
{
  CTaskPoolImp &tpi = *tp_pImp;
  const long ctOwn = CountRunningHere(&tpi);
  for (;;) {
    CBaseTask *ptsk = tpi.PopTask();
    if (ptsk != nullptr) {
      tpi.RunTask(ptsk);
      continue;
    }
    tpi.WaitForWorkers();
    if (tpi.CountUnfinished() <= ctOwn) return;
    // A worker took up new work after it was waited for (it is waited for again), or a thread
    // that is no worker runs a task: give it the processor.
    sysYield();
  }
}

long CTaskPool::CancelPendingTasks(void)
{
  long ct = 0;
  while (CBaseTask *ptsk = tp_pImp->PopTask()) {
    tp_pImp->CancelTask(ptsk);
    CSyncLock sl(&tp_pImp->tpi_smQueue);
    tp_pImp->tpi_ctUnfinished--;
    ct++;
  }
  return ct;
}

long CTaskPool::CountPendingTasks(void)
{
  CSyncLock sl(&tp_pImp->tpi_smQueue);
  return tp_pImp->tpi_ctPending;
}

long CTaskPool::CountCompletedTasks(void)
{
  CSyncLock sl(&tp_pImp->tpi_smQueue);
  return 0;
}

unsigned long CTaskPool::GetThreadID(long iThread)
{
  {
    CSyncLock sl(&tp_pImp->tpi_smThreads);
    if (iThread >= 0 && iThread < tp_pImp->tpi_dcThreads.Count()) {
      return tp_pImp->tpi_dcThreads.Pointer(iThread)->GetThreadID();
    }
  }
  // Asked for routinely before the first posting (is this the loading thread?): report it once.
  if (sysInterlockedCompareExchange(&_tp_bReportedBadWorker, 1, 0) == 0) corLogGuardBreach();
  return 0xFFFFFFFFUL;
}

int CTaskPool::IsCallerWorker(void)
{
  return tp_pImp->IsCallerWorker();
}

void CTaskPool::TerminatePool(void)
{
  CTaskPoolImp &tpi = *tp_pImp;
  if (tpi.IsCallerWorker()) {
    // It would wait for its own run to end.
    corLogGuardBreach();
    return;
  }
  {
    CSyncLock sl(&tpi.tpi_smThreads);
    tpi.tpi_ctTerminating++;
  }
  // From the last worker to the first: each one removes itself from the list.
  for (;;) {
    CSyncLock slThreads(&tpi.tpi_smThreads);
    if (tpi.tpi_dcThreads.IsEmpty()) {
      tpi.tpi_ctTerminating--;
      return;
    }
    CTaskPoolThread *ptpt = tpi.tpi_dcThreads.Pointer(tpi.tpi_dcThreads.Count() - 1);
    {
      // A posting must not wake it any more: it would wait for a run that never ends.
      CSyncLock slWorker(&ptpt->tpt_smThread);
      ptpt->tpt_bTerminating = 1;
    }
    slThreads.Unlock();
    ptpt->TerminateThread();
    ptpt->tpt_seExited.WaitEvent();
    ptpt->tpt_seRelease.SetEvent(); // the worker deletes itself now: not touched after this
  }
}

} // namespace QuennelEngine
