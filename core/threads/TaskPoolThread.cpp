#include "core/threads/TaskPoolThread.h"
#include "core/frame/CodeGuard.h"

#include "core/threads/BaseTask.h"
#include "core/threads/SyncLock.h"
#include "core/threads/TaskPool.h"
#include "core/threads/TaskPoolPrivate.h"

namespace QuennelEngine {

MD_CLASS_BEGIN(CTaskPoolThread, void, 1)
MD_CLASS_END()

CTaskPoolThread::CTaskPoolThread(void) : tpt_bWaiting(1), tpt_bTerminating(0), tpt_ptpPool(nullptr)
{
  tpt_seExited.InitEvent(CSyncEvent::SEF_MANUALRESET);
  tpt_seRelease.InitEvent(CSyncEvent::SEF_MANUALRESET);
}

CTaskPoolThread::~CTaskPoolThread(void)
{
}

void CTaskPoolThread::OnExecute(void)
{
  CTaskPoolImp *ptpi = tpt_ptpPool->tp_pImp;
  CSyncLock sl(&tpt_smThread);
  CBaseTask *ptsk = ptpi->PopTask();
  while (ptsk != nullptr) {
    sl.Unlock();
    ptpi->RunTask(ptsk);
    sl.Lock();
    ptsk = ptpi->PopTask();
  }
  // Still under the mutex: a posting that queued after the last pop sees the flag and wakes us.
  tpt_bWaiting = 1;
}

void CTaskPoolThread::DeleteSelf(void)
{
  CTaskPoolImp *ptpi = tpt_ptpPool->tp_pImp;
  {
    CSyncLock sl(&ptpi->tpi_smThreads);
    ptpi->tpi_dcThreads.Remove(this);
  }
  tpt_seExited.SetEvent();
  // TerminatePool still waits on our exited event; once it releases us it never touches us.
  tpt_seRelease.WaitEvent();
  delete this;
}

} // namespace QuennelEngine
