#include "core/threads/BaseThread.h"

#include "core/frame/CodeGuard.h"
#include "core/memory/Memory.h"
#include "core/threads/SyncEvent.h"
#include "core/threads/SyncPlainLock.h"

#include <new>

namespace QuennelEngine {

class CBaseThreadImp {
public:
  // Starts a run (or the termination): the thread is busy from now on.
  void SetBusy(void);
  // Ends a run; wakes whoever waits for it.
  void SetIdle(void);
  void WaitIdle(void);

  long bti_bTerminate = 0;
  CSyncEvent bti_seRun;     // signalled to wake the thread
  CSyncEvent bti_seStarted; // signalled once the thread is up
  ThreadHandle *bti_pth = nullptr;
  // The idle state is a flag; its event (manual reset) is set and reset only for threads that
  // wait, so a wake and the end of a run make no system call for it. The lock guards the flag's
  // changes, the waiters and whether the event is set.
  CSyncPlainLock bti_splIdle;
  long volatile bti_bIdle = 1;
  long bti_ctIdleWaiters = 0;
  bool bti_bIdleSignaled = false;
  CSyncEvent bti_seIdle;
};

void CBaseThreadImp::SetBusy(void)
{
  bti_splIdle.Lock();
  bti_bIdle = 0;
  if (bti_bIdleSignaled) {
    bti_seIdle.ResetEvent();
    bti_bIdleSignaled = false;
  }
  bti_splIdle.Unlock();
}

void CBaseThreadImp::SetIdle(void)
{
  bti_splIdle.Lock();
  bti_bIdle = 1;
  if (bti_ctIdleWaiters > 0 && !bti_bIdleSignaled) {
    bti_seIdle.SetEvent();
    bti_bIdleSignaled = true;
  }
  bti_splIdle.Unlock();
}

void CBaseThreadImp::WaitIdle(void)
{
  bti_splIdle.Lock();
  if (bti_bIdle) {
    bti_splIdle.Unlock();
    return;
  }
  bti_ctIdleWaiters++;
  bti_splIdle.Unlock();
  // Set by the end of this run; if a new run starts before we get here, we wait for its end.
  bti_seIdle.WaitEvent();
  bti_splIdle.Lock();
  bti_ctIdleWaiters--;
  bti_splIdle.Unlock();
}

CBaseThread::CBaseThread()
{
  bt_pImp = new (memMAlloc(sizeof(CBaseThreadImp))) CBaseThreadImp;
}

CBaseThread::~CBaseThread()
{
  bt_pImp->~CBaseThreadImp();
  memFree(bt_pImp);
}

void CBaseThread::ThreadProcedure(void *pvThread)
{
  CBaseThread *pbt = (CBaseThread *)pvThread;
  CBaseThreadImp *pImp = pbt->bt_pImp;
  // The thread's own registry entry: InitializeThread stores the handle only once
  // thrCreateThread has returned, which may be after this thread has started.
  ThreadHandle *pth = thrGetCurrentThread();
  // Idle until the first run: a thread that is never given work must not keep the library
  // from becoming idle.
  thrMarkThreadAsInactive(pth);
  pImp->bti_seStarted.SetEvent();
  pImp->bti_seRun.WaitEvent();
  while (!pImp->bti_bTerminate) {
    pbt->OnExecute();
    // Inactive first: a thread that sees it idle may wake it (and mark it active) at once.
    thrMarkThreadAsInactive(pth);
    pImp->SetIdle();
    pImp->bti_seRun.WaitEvent();
  }
  pbt->DeleteSelf();
}

void CBaseThread::InitializeThread(void)
{
  bt_pImp->bti_seRun.InitEvent(0);
  bt_pImp->bti_seIdle.InitEvent(CSyncEvent::SEF_MANUALRESET);
  bt_pImp->bti_seStarted.InitEvent(CSyncEvent::SEF_MANUALRESET);
  bt_pImp->bti_pth = thrCreateThread(this, ThreadProcedure);
  bt_pImp->bti_seStarted.WaitEvent();
}

void CBaseThread::ExecuteThread(void)
{
  bt_pImp->SetBusy();
  thrMarkThreadAsActive(bt_pImp->bti_pth);
  bt_pImp->bti_seRun.SetEvent();
}

bool CBaseThread::IsThreadIdle(void)
{
  return bt_pImp->bti_bIdle != 0;
}

void CBaseThread::WaitOnThread(void)
{
  bt_pImp->WaitIdle();
}

void CBaseThread::TerminateThread(void)
{
  bt_pImp->WaitIdle();
  bt_pImp->bti_bTerminate = 1;
  bt_pImp->SetBusy();
  thrMarkThreadAsActive(bt_pImp->bti_pth);
  bt_pImp->bti_seRun.SetEvent();
}

void CBaseThread::SetThreadPriority(ThreadPriority thp)
{
  thrSetThreadPriority(bt_pImp->bti_pth, thp);
}

unsigned long CBaseThread::GetThreadID(void)
{
  return thrGetThreadID(bt_pImp->bti_pth);
}

ThreadHandle *CBaseThread::GetThreadHandle(void)
{
  return bt_pImp->bti_pth;
}

} // namespace QuennelEngine
