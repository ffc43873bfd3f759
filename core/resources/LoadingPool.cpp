#include "core/resources/LoadingPool.h"

#include "core/platform/SysThreads.h"

#include "core/frame/Service.h"
#include "core/resources/PostLoadTasks.h"
#include "core/resources/ResourceStock.h"
#include "core/threads/BaseTask.h"
#include "core/threads/SyncEvent.h"
#include "core/threads/SyncMutex.h"
#include "core/threads/TaskPool.h"
#include "core/threads/Threads.h"

namespace QuennelEngine {

static CTaskPool *volatile _ml_ptpLoading = nullptr;
// Set whenever a load ends or post-load work is queued; only the main thread waits on it.
static CSyncEvent _ml_seMainWake;

static CService _svcResourceLoader("ResourceLoader", "Application", 0, 2, mlStartResourceLoader,
                                   mlStopResourceLoader);

void mlStartResourceLoader(void)
{
  _ml_seMainWake.InitEventOnce(0);
  if (_ml_ptpLoading != nullptr) return;
  CTaskPool *ptp = new CTaskPool;
  ptp->InitializePool(1, THP_BELOWNORMAL);
  _ml_ptpLoading = ptp;
}

void mlStopResourceLoader(void)
{
  CTaskPool *ptp = _ml_ptpLoading;
  if (ptp == nullptr) return;
  // What waits in the queue fails now (its waiters are released); the load that runs finishes.
  // Tasks posted while the pool goes are cancelled by it; later ones run at once.
  ptp->CancelPendingTasks();
  delete ptp;
  _ml_ptpLoading = nullptr;
}

CTaskPool *mlGetLoadingTaskPool(void)
{
  return _ml_ptpLoading;
}

int mlIsThisLoadingThreadID(void)
{
  CTaskPool *ptp = _ml_ptpLoading;
  return ptp != nullptr && ptp->IsCallerWorker();
}

void mlPostLoadingTask(CBaseTask *ptsk, int bInsert)
{
  CTaskPool *ptp = _ml_ptpLoading;
  if (ptp == nullptr) {
    ptsk->OnExecute(nullptr);
    ptsk->DeleteSelf();
    return;
  }
  if (bInsert) {
    ptp->InsertTask(ptsk);
  } else {
    ptp->PushTask(ptsk);
  }
}

// Set while the main thread waits for loads: a load that ends wakes it only then, so loads
// that nobody waits for cost no call to the system.
static long volatile _ml_bMainWaiting = 0;

void mlWakeMainThread(void)
{
  __sync_synchronize();
  if (_ml_bMainWaiting && _ml_seMainWake.IsInitialized()) _ml_seMainWake.SetEvent();
}

void mlWakeLoadWaiters(CSyncEvent *pse)
{
  // The done flag's store comes before the waiter checks are read.
  __sync_synchronize();
  if (pse != nullptr && pse->IsInitialized()) pse->SetEvent();
  mlWakeMainThread();
}

void mlSignalLoadDone(long volatile &bDone, CSyncEvent *pse)
{
  bDone = 1;
  mlWakeLoadWaiters(pse);
}

namespace {
// Lets go of the stock mutex for a wait, however often the thread holds it, and takes it back
// as often afterwards: every load needs it, so a waiter that kept it would wait for ever. A
// caller that holds it must expect the stock to change while it waits for a load.
class CStockLockYield {
public:
  CStockLockYield() : sly_ct(0)
  {
    CSyncMutex *psm = resGetFileStockMutex();
    while (psm->IsLockedByThisThread()) {
      psm->Unlock();
      sly_ct++;
    }
  }
  ~CStockLockYield()
  {
    for (long i = 0; i < sly_ct; i++) resGetFileStockMutex()->Lock();
  }
  CStockLockYield(const CStockLockYield &) = delete;
  CStockLockYield &operator=(const CStockLockYield &) = delete;

private:
  long sly_ct;
};
} // namespace

void mlWaitServingMainThread(long volatile &bDone, CSyncEvent &se)
{
  if (bDone) return;
  CStockLockYield sly;
  if (!thrIsThisMainThread() || !_ml_seMainWake.IsInitialized()) {
    while (!bDone) {
      // (an event is made for every waiter but the main thread; without one, polling is all
      // that is left)
      if (se.IsInitialized()) {
        se.WaitEvent(50);
      } else {
        sysSleep(1);
      }
    }
    return;
  }
  _ml_bMainWaiting = 1;
  for (;;) {
    __sync_synchronize();
    if (bDone) break;
    mlExecuteAllPostLoadTasks();
    __sync_synchronize();
    if (bDone) break;
    // A load that ends sees the waiting flag and sets the wake event, so this wait ends with it;
    // the time-out only bounds the wait should a signal come some other way.
    _ml_seMainWake.WaitEvent(50);
  }
  _ml_bMainWaiting = 0;
}

} // namespace QuennelEngine
