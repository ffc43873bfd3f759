#include "core/threads/BaseTask.h"

#include "core/threads/TaskPoolPrivate.h"

namespace QuennelEngine {

MD_CLASS_BEGIN(CBaseTask, CObject, 1)
MD_CLASS_END()

CBaseTask::~CBaseTask(void)
{
  if (tsk_ptpiQueue != nullptr) tsk_ptpiQueue->ForgetTask(this);
}

void CBaseTask::OnCancel(void)
{
}

void CBaseTask::DeleteSelf(void)
{
  // Through the class's own delete: the tracked free with the descriptor it was made with.
  delete this;
}

CBaseTask *CBaseTask::FromQueueNode(CListNode *pln)
{
  return (CBaseTask *)((char *)pln - MetaDeclare::OffsetOf<CBaseTask>(&CBaseTask::tsk_lnQueue));
}

} // namespace QuennelEngine
