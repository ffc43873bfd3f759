#pragma once
// The loading pool: one task pool with a single worker below normal priority that does all
// reading of resource and metadata files. The service "Service.ResourceLoader" makes it when it
// starts and destroys it when it stops; tasks still queued then are cancelled (each fails and
// releases its waiters). Without the pool (before the service starts, after it stops) a load
// task runs at once on the thread that posts it.
#include "core/platform/Platform.h"

namespace QuennelEngine {

class CBaseTask;
class CSyncEvent;
class CTaskPool;

// The pool, or null while the service is not running.
CORE_API CTaskPool *mlGetLoadingTaskPool(void);
// Whether the calling thread is the pool's worker.
CORE_API int mlIsThisLoadingThreadID(void);

// The service's start and stop.
CORE_API void mlStartResourceLoader(void);
CORE_API void mlStopResourceLoader(void);

// Posts a load task: at the head of the queue with `bInsert`, else at the tail. Without a pool
// the task runs (and is disposed of) before this returns.
CORE_API void mlPostLoadingTask(CBaseTask *ptsk, int bInsert);

// A load's end, as its waiters see it: `bDone` is set, then the event (if one was made for a
// waiter) is signalled, and the main thread woken if it waits for loads.
CORE_API void mlSignalLoadDone(long volatile &bDone, CSyncEvent *pse);
// The second half of mlSignalLoadDone, for a caller that set its done flag itself (under a lock
// that waiters take once woken, released before this is called).
CORE_API void mlWakeLoadWaiters(CSyncEvent *pse);
// Wakes the main thread if it waits for loads: there is post-load work for it.
CORE_API void mlWakeMainThread(void);
// Waits until `bDone` is set by mlSignalLoadDone. The main thread runs the post-load tasks that
// other threads queue for it meanwhile and needs no event of the load's own; other threads wait
// on `se`, which must exist before the load can end. The stock mutex is let go for the wait
// (loads need it) and taken back as often as the caller held it.
CORE_API void mlWaitServingMainThread(long volatile &bDone, CSyncEvent &se);

} // namespace QuennelEngine
