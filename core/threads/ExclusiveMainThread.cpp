#include "core/threads/ExclusiveMainThread.h"

#include "core/threads/Threads.h"

namespace QuennelEngine {

using namespace ThreadsPrivate;

CExclusiveMainThread::CExclusiveMainThread()
{
  TakeActivityLock();
  // The count only reaches zero under the activity lock, so seeing the all-idle event while
  // holding the lock means no thread is active, and none can become active until we release it.
  while (!IsAllIdle()) {
    ReleaseActivityLock();
    WaitAllIdle();
    TakeActivityLock();
  }
}

CExclusiveMainThread::~CExclusiveMainThread()
{
  ReleaseActivityLock();
}

} // namespace QuennelEngine
