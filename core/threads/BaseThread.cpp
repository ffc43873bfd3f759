#include "core/threads/BaseThread.h"

#include "core/frame/CodeGuard.h"
#include "core/memory/Memory.h"
#include "core/threads/SyncEvent.h"

#include <new>

namespace QuennelEngine {

class CBaseThreadImp {
public:
  long bti_bTerminate = 0;
  CSyncEvent bti_seRun;     // signalled to wake the thread
  CSyncEvent bti_seIdle;    // signalled while no work runs
  CSyncEvent bti_seStarted; // signalled once the thread is up
  ThreadHandle *bti_pth = nullptr;
};

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
    thrMarkThreadAsInactive(pth);
    pImp->bti_seIdle.SetEvent();
    pImp->bti_seRun.WaitEvent();
  }
  pbt->DeleteSelf();
}

void CBaseThread::InitializeThread(void)
{
  bt_pImp->bti_seRun.InitEvent(0);
  bt_pImp->bti_seIdle.InitEvent(CSyncEvent::SEF_MANUALRESET | CSyncEvent::SEF_SIGNALED);
  bt_pImp->bti_seStarted.InitEvent(CSyncEvent::SEF_MANUALRESET);
  bt_pImp->bti_pth = thrCreateThread(this, ThreadProcedure);
  bt_pImp->bti_seStarted.WaitEvent();
}

void CBaseThread::ExecuteThread(void)
{
  bt_pImp->bti_seIdle.ResetEvent();
  thrMarkThreadAsActive(bt_pImp->bti_pth);
  bt_pImp->bti_seRun.SetEvent();
}

bool CBaseThread::IsThreadIdle(void)
{
  return bt_pImp->bti_seIdle.IsSignaled() != 0;
}

void CBaseThread::WaitOnThread(void)
{
  bt_pImp->bti_seIdle.WaitEvent();
}

void CBaseThread::TerminateThread(void)
{
  bt_pImp->bti_seIdle.WaitEvent();
  bt_pImp->bti_bTerminate = 1;
  bt_pImp->bti_seIdle.ResetEvent();
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
