#pragma once
// CBaseTask: a unit of work for a task pool. The pool that queues a task owns it: the task runs
// once (OnExecute) and then disposes of itself (DeleteSelf). A task is a reflected object, made
// and freed through the tracked allocation entry points with its class's descriptor.
#include "core/memory/List.h"
#include "core/meta/Object.h"

namespace QuennelEngine {

class CTaskPool;
class CTaskPoolImp;

class CORE_API CBaseTask : public CObject {
  MD_DECLARE_CLASS(CBaseTask)
  CBaseTask(void) : tsk_ptpiQueue(nullptr) {}
  // A copy is not queued anywhere; assignment leaves the queueing alone.
  CBaseTask(const CBaseTask &tsk) : CObject(tsk), tsk_ptpiQueue(nullptr) {}
  CBaseTask &operator=(const CBaseTask &) { return *this; }
  // A task deleted while queued leaves its queue (and the pool's counts).
  ~CBaseTask(void) override;

  // The work; receives the pool that runs it.
  virtual void OnExecute(CTaskPool *ptp) = 0;
  // Called once OnExecute has returned (or when the pool is destroyed with the task still
  // queued); the base deletes the task.
  virtual void DeleteSelf(void);
  // Called instead of OnExecute, just before DeleteSelf, when the pool is destroyed with the task
  // still queued: a task that others wait on releases them here. The base does nothing.
  virtual void OnCancel(void);

  // True while the task waits in a pool's queue.
  bool IsQueued(void) const { return tsk_lnQueue.IsLinked(); }

  // The task whose queue node this is.
  static CBaseTask *FromQueueNode(CListNode *pln);

  CListNode tsk_lnQueue;
  // The pool whose queue holds the task (null while not queued); changed under its queue mutex.
  CTaskPoolImp *tsk_ptpiQueue;
};

} // namespace QuennelEngine
