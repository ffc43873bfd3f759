#pragma once
// CTaskPool: a queue of tasks served by a fixed number of worker threads, which start with the
// first posting and stay until the pool terminates. Any thread may also run queued tasks itself
// (ProcessNextTask, WaitUntilCompleted) instead of blocking. docs/threads.md has the rules.
#include "core/meta/MetaClass.h"
#include "core/threads/Threads.h"

namespace QuennelEngine {

class CBaseTask;
class CTaskPoolImp;
class CTaskPoolThread;

class CORE_API CTaskPool {
  MD_DECLARE_CLASS(CTaskPool)
  CTaskPool(void);
  // Terminates the workers; tasks still queued are not run, only disposed of (DeleteSelf).
  virtual ~CTaskPool(void);
  CTaskPool(const CTaskPool &) = delete;
  CTaskPool &operator=(const CTaskPool &) = delete;

  // Sets the number of workers and their priority; no thread starts before the first posting.
  void InitializePool(long ctThreads, ThreadPriority thp);
  // Queues the task at the tail (head) and wakes one waiting worker; the pool owns the task from
  // now on. Starts the workers if there are none.
  void PushTask(CBaseTask *ptsk);
  void InsertTask(CBaseTask *ptsk);
  // Moves the task to the head of the queue if it still waits in this pool's queue.
  void BoostTaskPriority(CBaseTask *ptsk);
  // Runs the task at the head of the queue in the calling thread; 0 if the queue was empty. The
  // argument is not consulted.
  int ProcessNextTask(CBaseTask *ptsk);
  // Runs this very task in the calling thread if it still waits in this pool's queue (1), else
  // does nothing (0): a caller that needs one task done does not wait behind the others.
  int RunTaskIfQueued(CBaseTask *ptsk);
  // Runs queued tasks in the calling thread until every task posted so far has finished (also
  // those that workers run, and those that tasks post meanwhile).
  void WaitUntilCompleted(void);
  // Takes every task waiting in the queue out and cancels it (OnCancel, then DeleteSelf) on the
  // calling thread; the number cancelled. Running tasks go on.
  long CancelPendingTasks(void);
  // Tasks waiting in the queue (a popped task no longer counts, though it may still run).
  long CountPendingTasks(void);
  // Always 0: the pool keeps no count of completed tasks.
  long CountCompletedTasks(void);
  // The thread ID of a worker; 0xFFFFFFFF (and a guard breach, once per process) for an index
  // outside the workers, as before the first posting.
  unsigned long GetThreadID(long iThread);
  // Whether the calling thread is one of the pool's workers.
  int IsCallerWorker(void);
  // Ends all workers (from the last to the first); a later posting starts a fresh set. Must not
  // be called from one of the pool's own workers.
  void TerminatePool(void);

private:
  friend class CTaskPoolThread;
  CTaskPoolImp *tp_pImp;
};

} // namespace QuennelEngine
