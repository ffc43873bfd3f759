#include "core/threads/ExclusiveMainThread.h"

#include "core/threads/Threads.h"

namespace QuennelEngine {

using namespace ThreadsPrivate;

CExclusiveMainThread::CExclusiveMainThread()
{
  // No thread can become active until the lock is released.
  TakeActivityLock();
  WaitUntilAllIdle();
}

CExclusiveMainThread::~CExclusiveMainThread()
{
  ReleaseActivityLock();
}

} // namespace QuennelEngine
