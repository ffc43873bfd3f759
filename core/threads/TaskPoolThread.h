#pragma once
// CTaskPoolThread: one worker of a task pool. A posting wakes it when it waits; each run pops and
// runs tasks until the queue is empty, then the worker waits again. At termination it leaves the
// pool's worker list, hands over to TerminatePool (exited, release) and deletes itself.
#include "core/meta/MetaClass.h"
#include "core/threads/BaseThread.h"
#include "core/threads/SyncEvent.h"
#include "core/threads/SyncMutex.h"

namespace QuennelEngine {

class CTaskPool;

class CORE_API CTaskPoolThread : public CBaseThread {
  MD_DECLARE_CLASS(CTaskPoolThread)
  CTaskPoolThread(void);
  ~CTaskPoolThread(void) override;

  // Pops and runs tasks until the queue is empty, then marks the worker as waiting.
  void OnExecute(void) override;
  // On the worker at termination: leaves the pool's list, waits to be released, deletes itself.
  void DeleteSelf(void) override;

  // 1 once the worker found the queue empty and must be woken by a posting.
  long tpt_bWaiting;
  // 1 once TerminatePool has chosen the worker: postings no longer wake it.
  long tpt_bTerminating;
  // Guards the two flags and the worker's last look at the queue.
  CSyncMutex tpt_smThread;
  CTaskPool *tpt_ptpPool;
  CSyncEvent tpt_seExited;  // set by the worker once it has left the pool's list
  CSyncEvent tpt_seRelease; // set by TerminatePool once it no longer touches the worker
};

} // namespace QuennelEngine
