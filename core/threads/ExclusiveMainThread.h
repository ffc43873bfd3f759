#pragma once
// CExclusiveMainThread: while it lives, no other thread is active (none holds a library mutex)
// and none can become active, be created or be terminated. Threads that finish a run may still
// mark themselves idle. The holder must not create, wake or terminate threads itself, nor wait
// for a thread that may still use the library: it would wait on itself.
#include "core/platform/Platform.h"

namespace QuennelEngine {

class CORE_API CExclusiveMainThread {
public:
  // Returns once no other thread is active, holding the activity lock.
  CExclusiveMainThread();
  ~CExclusiveMainThread();
  CExclusiveMainThread(const CExclusiveMainThread &) = delete;
  CExclusiveMainThread &operator=(const CExclusiveMainThread &) = delete;
};

} // namespace QuennelEngine
