#pragma once
// CTaskPoolImp: the state of a task pool, shared by the pool, its workers and its tasks.
#include "core/memory/DynamicContainer.h"
#include "core/memory/List.h"
#include "core/meta/MetaClass.h"
#include "core/threads/SyncMutex.h"
#include "core/threads/Threads.h"

namespace QuennelEngine {

class CBaseTask;
class CTaskPool;
class CTaskPoolThread;

class CTaskPoolImp {
  MD_DECLARE_CLASS(CTaskPoolImp)
  explicit CTaskPoolImp(CTaskPool *ptpOwner = nullptr);
  virtual ~CTaskPoolImp(void) {}

  // Unlinks and returns the head task, or null when the queue is empty.
  CBaseTask *PopTask(void);
  // Starts the requested workers if there are none.
  void ActivateTaskPool(void);
  // Does nothing: idle workers cost nothing.
  void SuspendTaskPool(void);

  // Queues the task at the head or the tail and wakes one waiting worker; while the pool
  // terminates, cancels and disposes of it instead.
  void PostTask(CBaseTask *ptsk, bool bAtHead);
  // Tells a task that it will not run (OnCancel) and disposes of it; no pool mutex held.
  void CancelTask(CBaseTask *ptsk);
  // Runs a popped task on the calling thread: OnExecute, then DeleteSelf. Exceptions do not pass.
  void RunTask(CBaseTask *ptsk);
  // Takes a task out of the queue when it is deleted there (from its destructor).
  void ForgetTask(CBaseTask *ptsk);
  // True if the calling thread is one of the workers.
  bool IsCallerWorker(void);
  // Waits for every worker but the caller's own to end its current run.
  void WaitForWorkers(void);
  // Tasks posted and not yet finished (queued or running).
  long CountUnfinished(void);

  CSyncMutex tpi_smQueue;   // the queue and its counts
  CSyncMutex tpi_smThreads; // the worker list; serialises postings
  CTaskPool *tpi_ptpOwner;
  long tpi_ctThreads;
  ThreadPriority tpi_thpPriority;
  long tpi_ctPending;    // tasks in the queue
  long tpi_ctUnfinished; // tasks in the queue or running, until their DeleteSelf returned
  // TerminatePool calls in progress, and whether the pool is being destroyed (both under the
  // thread mutex): postings are refused meanwhile.
  long tpi_ctTerminating;
  bool tpi_bDestroying;
  CListHead tpi_lhQueue; // the head runs next
  CDynamicContainer<CTaskPoolThread> tpi_dcThreads;
};

} // namespace QuennelEngine
