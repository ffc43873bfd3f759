#include "core/resources/PostLoadTasks.h"

#include "core/frame/CodeGuard.h"
#include "core/memory/StaticStackArray.h"
#include "core/meta/DataTypeKinds.h"
#include "core/meta/MetaObjects.h"
#include "core/resources/LoadingPool.h"
#include "core/resources/Resource.h"
#include "core/threads/SyncLock.h"
#include "core/threads/Threads.h"

namespace QuennelEngine {

MD_CLASS_BEGIN(CResourceTask, CObject, 1)
MD_CLASS_END()

MD_CLASS_BEGIN(CDeleteObjectTask, CResourceTask, 1)
MD_CLASS_END()

CDeleteObjectTask::CDeleteObjectTask(const CMetaPointer &mp)
    : dot_ulHandle(hvPointerToHandle(mp.mp_pvObject)), dot_pdtType(mp.mp_pdtType)
{
}

void CDeleteObjectTask::OnExecute(CResource *)
{
  void *pv = hvHandleToPointer(dot_ulHandle);
  if (pv != nullptr) mdDelete(CMetaPointer(dot_pdtType, pv));
}

namespace {

struct PostLoadRecord {
  CResource *plr_prs;
  CStaticStackArray<CResourceTask *> plr_saptsk;
};

struct PostLoadRegistry {
  CSyncMutex plr_sm;
  CStaticStackArray<PostLoadRecord *> plr_saprec;
  long plr_ctTasks = 0;
};

PostLoadRegistry &Registry(void)
{
  static PostLoadRegistry *_pplr = new PostLoadRegistry;
  return *_pplr;
}

// Under the mutex.
long FindRecord(PostLoadRegistry &reg, CResource *prs)
{
  for (long i = 0; i < reg.plr_saprec.Count(); i++) {
    if (reg.plr_saprec[i]->plr_prs == prs) return i;
  }
  return -1;
}

// Under the mutex: the last record takes the place of the removed one.
void RemoveRecord(PostLoadRegistry &reg, long i)
{
  delete reg.plr_saprec[i];
  const long iLast = reg.plr_saprec.Count() - 1;
  reg.plr_saprec[i] = reg.plr_saprec[iLast];
  reg.plr_saprec.Pop();
}

void RunAndDelete(CResourceTask *ptsk, CResource *prs)
{
  // The task is ours alone now: whatever it throws, it goes.
  try {
    ptsk->OnExecute(prs);
  } catch (...) {
    delete ptsk;
    throw;
  }
  delete ptsk;
}

// Takes the resource's last task out of its record (removing an emptied record); null if none.
CResourceTask *DetachLast(CResource *prs)
{
  PostLoadRegistry &reg = Registry();
  CSyncLock sl(&reg.plr_sm);
  const long i = FindRecord(reg, prs);
  if (i < 0) return nullptr;
  PostLoadRecord &rec = *reg.plr_saprec[i];
  CResourceTask *ptsk = nullptr;
  if (rec.plr_saptsk.Count() > 0) {
    ptsk = rec.plr_saptsk[rec.plr_saptsk.Count() - 1];
    rec.plr_saptsk.Pop();
    reg.plr_ctTasks--;
  }
  if (rec.plr_saptsk.Count() == 0) RemoveRecord(reg, i);
  return ptsk;
}

long ExecuteAllOf(CResource *prs)
{
  long ct = 0;
  for (;;) {
    CResourceTask *ptsk = DetachLast(prs);
    if (ptsk == nullptr) return ct;
    RunAndDelete(ptsk, prs);
    ct++;
  }
}

struct CHookInstaller {
  CHookInstaller() { resSetPostLoadTaskHooks(ExecuteAllOf, mlDiscardAllPostLoadTasks); }
  ~CHookInstaller() { resSetPostLoadTaskHooks(nullptr, nullptr); }
};
CHookInstaller _ml_hiInstaller;

} // namespace

void mlAddPostLoadTask(CResource *prs, CResourceTask *ptsk)
{
  if (ptsk == nullptr) {
    corLogGuardBreach();
    return;
  }
  if (thrIsThisMainThread()) {
    RunAndDelete(ptsk, prs);
    return;
  }
  if (prs == nullptr) {
    // Nothing could ever run it.
    corLogGuardBreach();
    delete ptsk;
    return;
  }
  PostLoadRegistry &reg = Registry();
  {
    CSyncLock sl(&reg.plr_sm);
    long i = FindRecord(reg, prs);
    if (i < 0) {
      PostLoadRecord *prec = new PostLoadRecord;
      prec->plr_prs = prs;
      prec->plr_saptsk.SetAllocationStep(4);
      reg.plr_saprec.Push() = prec;
      i = reg.plr_saprec.Count() - 1;
    }
    reg.plr_saprec[i]->plr_saptsk.Push() = ptsk;
    reg.plr_ctTasks++;
    prs->so_ulFlags |= CSmartObject::SOF_REPLACEONACCESS;
  }
  mlWakeMainThread();
}

// Runs the first record's first task (the last takes its place); 1 if there was a record, and
// `bRan` tells whether it had a task.
static int ExecuteFirst(int &bRan)
{
  bRan = 0;
  PostLoadRegistry &reg = Registry();
  CResourceTask *ptsk = nullptr;
  CResource *prs = nullptr;
  {
    CSyncLock sl(&reg.plr_sm);
    if (reg.plr_saprec.Count() == 0) return 0;
    PostLoadRecord &rec = *reg.plr_saprec[0];
    prs = rec.plr_prs;
    if (rec.plr_saptsk.Count() > 0) {
      // The last task takes the place of the first.
      ptsk = rec.plr_saptsk[0];
      rec.plr_saptsk[0] = rec.plr_saptsk[rec.plr_saptsk.Count() - 1];
      rec.plr_saptsk.Pop();
      reg.plr_ctTasks--;
    }
    if (rec.plr_saptsk.Count() == 0) RemoveRecord(reg, 0);
  }
  if (ptsk != nullptr) {
    bRan = 1;
    RunAndDelete(ptsk, prs);
  }
  return 1;
}

int mlExecutePostLoadTasks(void)
{
  int bRan;
  return ExecuteFirst(bRan);
}

long mlExecuteAllPostLoadTasks(void)
{
  long ct = 0;
  int bRan;
  while (ExecuteFirst(bRan)) ct += bRan;
  return ct;
}

long mlExecuteAllPostLoadTasks(CResource *prs)
{
  return ExecuteAllOf(prs);
}

long mlDiscardAllPostLoadTasks(CResource *prs)
{
  long ct = 0;
  for (;;) {
    CResourceTask *ptsk = DetachLast(prs);
    if (ptsk == nullptr) return ct;
    delete ptsk;
    ct++;
  }
}

void mlReplaceResourceTaskList(CResource *prsFrom, CResource *prsTo)
{
  PostLoadRegistry &reg = Registry();
  CSyncLock sl(&reg.plr_sm);
  const long iFrom = FindRecord(reg, prsFrom);
  if (iFrom < 0 || prsFrom == prsTo) return;
  const long iTo = FindRecord(reg, prsTo);
  if (iTo < 0) {
    reg.plr_saprec[iFrom]->plr_prs = prsTo;
  } else {
    // Both have tasks: the stand-in's join the replacement's.
    PostLoadRecord &recFrom = *reg.plr_saprec[iFrom];
    PostLoadRecord &recTo = *reg.plr_saprec[iTo];
    for (long i = 0; i < recFrom.plr_saptsk.Count(); i++)
      recTo.plr_saptsk.Push() = recFrom.plr_saptsk[i];
    recFrom.plr_saptsk.Clear();
    RemoveRecord(reg, iFrom);
  }
  if (prsTo != nullptr) prsTo->so_ulFlags |= CSmartObject::SOF_REPLACEONACCESS;
}

long mlCountPostLoadTasks(void)
{
  PostLoadRegistry &reg = Registry();
  CSyncLock sl(&reg.plr_sm);
  return reg.plr_ctTasks;
}

} // namespace QuennelEngine
