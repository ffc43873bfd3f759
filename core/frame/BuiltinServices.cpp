// The services of the library itself, all in "Group.Application". Their start and stop functions
// belong to the subsystems that own them; the resource loader's service is declared with it.
#include "core/frame/Service.h"
#include "core/platform/MessageLoop.h"
#include "core/threads/Threads.h"

namespace QuennelEngine {

static CService _svcPerFrameUpdates("PerFrameUpdates", "Application", 10, 100, nullptr, nullptr);
static CService _svcMultiThreading("MultiThreading", "Application", 0, 0, thrStartMultiThreading,
                                   thrStopMultiThreading);
static CService _svcWindow("Window", "Application", 0, 2, wndStartWindowService,
                           wndStopWindowService);
static CService _svcMultiThreadingSystem("MultiThreading_System", "Application", 0, 0,
                                         thrStartMultiThreadingSystem, thrStopMultiThreadingSystem);
static CService _svcWindowSystem("Window_System", "Application", 0, 2, wndStartWindowSystemService,
                                 wndStopWindowSystemService);

} // namespace QuennelEngine
