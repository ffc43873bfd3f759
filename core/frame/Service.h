#pragma once
// Services and run levels. Every subsystem that needs starting and stopping declares a static
// CService: a start and a stop function, a group, a run level and a priority. Raising a group's
// run level step by step starts the services of each level in a fixed order (run level, priority,
// module name, service ID); lowering it stops them in the reverse order. Services of a module
// loaded later are started by replaying the run-level history. Services are driven from the main
// thread; nothing here is locked.
#include "core/memory/DynamicContainer.h"
#include "core/text/Ident.h"

namespace QuennelEngine {

class CModule;

// 1: the service is not started by run-level changes (only explicitly); other values: it is.
enum SvcStartType {
  SST_AUTOMATIC = 0,
  SST_MANUAL = 1,
};

typedef void (*ServiceFunction)(void);

class CORE_API CService {
public:
  enum { SF_STARTED = 1 };

  // An empty record (not registered).
  CService();
  // A service "Service.<name>" of the group "Group.<group>", registered at once (in the registry
  // of services, with the module given; null for Core's own).
  CService(const char *strName, const char *strGroup, long iRunLevel, long iPriority,
           ServiceFunction pStart, ServiceFunction pStop, SvcStartType eStartType = SST_AUTOMATIC,
           CModule *pModule = nullptr);
  CService(const CService &svc);
  CService &operator=(const CService &svc);
  // A registered service leaves the registry (a module's static services when it unloads).
  ~CService();

  bool IsStarted(void) const { return (svc_ulFlags & SF_STARTED) != 0; }

  IDENT svc_idID;
  IDENT svc_idGroup;
  unsigned long svc_ulFlags;
  long svc_iRunLevel;
  long svc_iPriority;
  CModule *svc_pModule;
  SvcStartType svc_eStartType;
  ServiceFunction svc_pStart;
  ServiceFunction svc_pStop;

private:
  friend void svcRegisterService(CService *psvc, CModule *pModule);
  friend void svcUnregisterService(CService *psvc);
  bool svc_bRegistered;
};

// Registers a service (with the module that holds it) or removes it from the registry.
CORE_API void svcRegisterService(CService *psvc, CModule *pModule);
CORE_API void svcUnregisterService(CService *psvc);

// The registered service with that ID ("Service.<name>"), or null.
CORE_API CService *svcFindService(IDENT idService);
CORE_API void svcStartService(CService *psvc);
CORE_API void svcStopService(CService *psvc);
CORE_API void svcRestartService(CService *psvc);
CORE_API void svcStartService(IDENT idService);
CORE_API void svcStopService(IDENT idService);
CORE_API void svcRestartService(IDENT idService);
CORE_API bool svcIsServiceStarted(IDENT idService);
// -1 for an unknown service.
CORE_API long svcGetServiceRunlevel(IDENT idService);
CORE_API long svcGetServicePriority(IDENT idService);

// Raises or lowers the group's run level (targets below -1 count as -1).
CORE_API void svcChangeRunLevel(IDENT idGroup, long iRunLevel);
// -1 for a group never changed.
CORE_API long svcGetCurrentRunLevel(IDENT idGroup);

// The run-level history: (group, level) for every level a group first reached.
CORE_API long svcCountRunLevelRecords(void);
CORE_API long svcGetRunLevelNumber(long iRecord);
CORE_API IDENT svcGetRunLevelGroup(long iRecord);

// Overrides the start type of a service (created for an ID not seen before).
CORE_API void svcChangeStartupType(IDENT idService, SvcStartType eStartType);
// Holds a service back from starting by run-level changes, or lets it go again.
CORE_API void svcHoldService(IDENT idService, bool bHold);

// The services of a group, restricted to a module (unless null) and a level (unless -1), in
// start order.
CORE_API void svcEnumerateServices(CDynamicContainer<CService> &dcServices, IDENT idGroup,
                                   CModule *pModule, long iRunLevel);
// Start (stop) a module's services at every run level reached, replaying the history.
CORE_API void svcStartModuleServices(CModule *pModule);
CORE_API void svcStopModuleServices(CModule *pModule);

// Forgets every group's level, the history and the overrides (the services are left as they are).
CORE_API void svcResetRunLevels(void);

} // namespace QuennelEngine
