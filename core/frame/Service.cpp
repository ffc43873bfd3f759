// Services, run levels and their history.
#include "core/frame/Service.h"

#include "core/frame/CodeGuard.h"
#include "core/frame/Console.h"
#include "core/frame/ServiceLog.h"
#include "core/memory/List.h"
#include "core/memory/StaticStackArray.h"
#include "core/meta/Module.h"
#include "core/text/Compare.h"
#include "core/text/FormatArgs.h"
#include "core/text/Translation.h"

namespace QuennelEngine {

using namespace ServiceLogPrivate;

namespace {

struct GroupState {
  IDENT gs_idGroup;
  long gs_iCurrent;
  long gs_iHighest;
};

struct HistoryRecord {
  IDENT hr_idGroup;
  long hr_iRunLevel;
};

struct Override {
  IDENT ov_idService;
  unsigned long ov_ulFlags; // bit 0: the start type is overridden; bit 1: held back
  long ov_lReserved;
  SvcStartType ov_eStartType;
};

struct ServiceState {
  // Every registered service with the module that holds it, in registration order.
  CDynamicContainer<CService> ss_dcRegistry;
  CStaticStackArray<GroupState> ss_agsGroups;
  CStaticStackArray<HistoryRecord> ss_ahrHistory;
  CStaticStackArray<Override> ss_aovOverrides;
};

ServiceState &State(void)
{
  static ServiceState _ss;
  return _ss;
}

const char *ModuleName(const CModule *pModule)
{
  return pModule != nullptr ? pModule->GetName() : "";
}

// The start order: run level, priority, module name, service ID.
int CompareServices(const void *pv0, const void *pv1)
{
  const CService *psvc0 = *(const CService *const *)pv0;
  const CService *psvc1 = *(const CService *const *)pv1;
  if (psvc0->svc_iRunLevel != psvc1->svc_iRunLevel) {
    return psvc0->svc_iRunLevel < psvc1->svc_iRunLevel ? -1 : 1;
  }
  if (psvc0->svc_iPriority != psvc1->svc_iPriority) {
    return psvc0->svc_iPriority < psvc1->svc_iPriority ? -1 : 1;
  }
  int iModule = strCompare(ModuleName(psvc0->svc_pModule), ModuleName(psvc1->svc_pModule));
  if (iModule != 0) return iModule;
  return strCompare(psvc0->svc_idID, psvc1->svc_idID);
}

GroupState &FindGroup(IDENT idGroup)
{
  ServiceState &ss = State();
  for (GroupState &gs : ss.ss_agsGroups) {
    if (gs.gs_idGroup == idGroup) return gs;
  }
  if (ss.ss_ahrHistory.IsEmpty()) ss.ss_ahrHistory.SetAllocationStep(32);
  GroupState &gs = ss.ss_agsGroups.Push();
  gs.gs_idGroup = idGroup;
  gs.gs_iCurrent = -1;
  gs.gs_iHighest = -1;
  return gs;
}

Override *FindOverride(IDENT idService)
{
  for (Override &ov : State().ss_aovOverrides) {
    if (ov.ov_idService == idService) return &ov;
  }
  return nullptr;
}

Override &MakeOverride(IDENT idService)
{
  Override *pov = FindOverride(idService);
  if (pov != nullptr) return *pov;
  Override &ov = State().ss_aovOverrides.Push();
  ov.ov_idService = idService;
  ov.ov_ulFlags = 0;
  ov.ov_lReserved = 0;
  ov.ov_eStartType = SST_AUTOMATIC;
  return ov;
}

// True if run-level changes may start the service.
bool StartsByRunLevel(const CService &svc)
{
  const Override *pov = FindOverride(svc.svc_idID);
  if (pov != nullptr && (pov->ov_ulFlags & 2) && pov->ov_lReserved) return false;
  SvcStartType eType =
      pov != nullptr && (pov->ov_ulFlags & 1) ? pov->ov_eStartType : svc.svc_eStartType;
  return eType != SST_MANUAL;
}

void EnumerateIn(CDynamicContainer<CService> &dc, IDENT idGroup, CModule *pModule, long iRunLevel,
                 bool bModuleFilter)
{
  dc.Clear();
  for (CService *psvc : State().ss_dcRegistry) {
    if (psvc->svc_idGroup != idGroup) continue;
    if (bModuleFilter && psvc->svc_pModule != pModule) continue;
    if (iRunLevel != -1 && psvc->svc_iRunLevel != iRunLevel) continue;
    dc.Add(psvc);
  }
  if (dc.Count() > 1) srtQuickSort(dc.begin(), dc.Count(), sizeof(CService *), CompareServices);
}

} // namespace

CService::CService()
    : svc_idID(strConvertStringToID("")), svc_idGroup(strConvertStringToID("")), svc_ulFlags(0),
      svc_iRunLevel(0), svc_iPriority(0), svc_pModule(nullptr), svc_eStartType(SST_AUTOMATIC),
      svc_pStart(nullptr), svc_pStop(nullptr), svc_bRegistered(false)
{
}

CService::CService(const char *strName, const char *strGroup, long iRunLevel, long iPriority,
                   ServiceFunction pStart, ServiceFunction pStop, SvcStartType eStartType,
                   CModule *pModule)
    : svc_idID(strConvertStringToID(strFormat("Service.%1", strName))),
      svc_idGroup(strConvertStringToID(strFormat("Group.%1", strGroup))), svc_ulFlags(0),
      svc_iRunLevel(iRunLevel), svc_iPriority(iPriority), svc_pModule(nullptr),
      svc_eStartType(eStartType), svc_pStart(pStart), svc_pStop(pStop), svc_bRegistered(false)
{
  svcRegisterService(this, pModule);
}

CService::CService(const CService &svc)
    : svc_idID(svc.svc_idID), svc_idGroup(svc.svc_idGroup), svc_ulFlags(svc.svc_ulFlags),
      svc_iRunLevel(svc.svc_iRunLevel), svc_iPriority(svc.svc_iPriority),
      svc_pModule(svc.svc_pModule), svc_eStartType(svc.svc_eStartType), svc_pStart(svc.svc_pStart),
      svc_pStop(svc.svc_pStop), svc_bRegistered(false)
{
}

CService &CService::operator=(const CService &svc)
{
  svc_idID = svc.svc_idID;
  svc_idGroup = svc.svc_idGroup;
  svc_ulFlags = svc.svc_ulFlags;
  svc_iRunLevel = svc.svc_iRunLevel;
  svc_iPriority = svc.svc_iPriority;
  svc_pModule = svc.svc_pModule;
  svc_eStartType = svc.svc_eStartType;
  svc_pStart = svc.svc_pStart;
  svc_pStop = svc.svc_pStop;
  return *this;
}

CService::~CService()
{
  if (svc_bRegistered) svcUnregisterService(this);
}

void svcRegisterService(CService *psvc, CModule *pModule)
{
  if (psvc == nullptr) {
    corLogGuardBreach();
    return;
  }
  // A service registered while a module is being declared belongs to it.
  psvc->svc_pModule = pModule != nullptr ? pModule : mdGetDeclaringModule();
  if (psvc->svc_bRegistered) return;
  State().ss_dcRegistry.Add(psvc);
  psvc->svc_bRegistered = true;
}

void svcUnregisterService(CService *psvc)
{
  if (psvc == nullptr || !psvc->svc_bRegistered) return;
  State().ss_dcRegistry.Remove(psvc);
  psvc->svc_bRegistered = false;
}

CService *svcFindService(IDENT idService)
{
  for (CService *psvc : State().ss_dcRegistry) {
    if (psvc->svc_idID == idService) return psvc;
  }
  return nullptr;
}

void svcStartService(CService *psvc)
{
  if (psvc == nullptr) {
    corLogGuardBreach();
    return;
  }
  if (psvc->IsStarted()) {
    conErrorF(
        strTranslate(
            "DOZUService.AlreadyStarted=Can't start service '%1' because it is already started.\n"),
        ARG_TEXT, psvc->svc_idID);
    return;
  }
  Append(SLK_STARTING, psvc, psvc->svc_pModule, psvc->svc_idGroup, psvc->svc_iRunLevel, 1);
  BeginStarting();
  try {
    if (psvc->svc_pStart) psvc->svc_pStart();
  } catch (...) {
    // The log must not stay in its "starting" state when a start function fails.
    EndStarting();
    throw;
  }
  EndStarting();
  psvc->svc_ulFlags |= CService::SF_STARTED;
  Append(SLK_STARTED, psvc, psvc->svc_pModule, psvc->svc_idGroup, psvc->svc_iRunLevel, 1);
}

void svcStopService(CService *psvc)
{
  if (psvc == nullptr) {
    corLogGuardBreach();
    return;
  }
  if (!psvc->IsStarted()) {
    conErrorF(
        strTranslate("DOZUService.NotRunning=Can't stop service '%1' because it isn't running.\n"),
        ARG_TEXT, psvc->svc_idID);
    return;
  }
  Append(SLK_STOPPING, psvc, psvc->svc_pModule, psvc->svc_idGroup, psvc->svc_iRunLevel, 1);
  if (psvc->svc_pStop) psvc->svc_pStop();
  psvc->svc_ulFlags &= ~CService::SF_STARTED;
  Append(SLK_STOPPED, psvc, psvc->svc_pModule, psvc->svc_idGroup, psvc->svc_iRunLevel, 1);
}

void svcRestartService(CService *psvc)
{
  svcStopService(psvc);
  svcStartService(psvc);
}

void svcStartService(IDENT idService)
{
  CService *psvc = svcFindService(idService);
  if (psvc == nullptr) {
    conErrorF(strTranslate("DOZUService.StartNotRegistered=Can't start service '%1' because it "
                           "isn't registered properly.\n"),
              ARG_TEXT, strConvertIDToString(idService));
    return;
  }
  svcStartService(psvc);
}

void svcStopService(IDENT idService)
{
  CService *psvc = svcFindService(idService);
  if (psvc == nullptr) {
    conErrorF(strTranslate("DOZUService.StopNotRegistered=Can't stop service '%1' because it isn't "
                           "registered properly.\n"),
              ARG_TEXT, strConvertIDToString(idService));
    return;
  }
  svcStopService(psvc);
}

void svcRestartService(IDENT idService)
{
  CService *psvc = svcFindService(idService);
  if (psvc == nullptr) {
    conErrorF(strTranslate("DOZUService.RestartNotRegistered=Can't restart service '%1' because it "
                           "isn't registered properly.\n"),
              ARG_TEXT, strConvertIDToString(idService));
    return;
  }
  svcRestartService(psvc);
}

bool svcIsServiceStarted(IDENT idService)
{
  CService *psvc = svcFindService(idService);
  return psvc != nullptr && psvc->IsStarted();
}

long svcGetServiceRunlevel(IDENT idService)
{
  CService *psvc = svcFindService(idService);
  return psvc != nullptr ? psvc->svc_iRunLevel : -1;
}

long svcGetServicePriority(IDENT idService)
{
  CService *psvc = svcFindService(idService);
  return psvc != nullptr ? psvc->svc_iPriority : -1;
}

void svcChangeRunLevel(IDENT idGroup, long iTarget)
{
  if (iTarget < -1) iTarget = -1;
  GroupState *pgs = &FindGroup(idGroup);
  CDynamicContainer<CService> dc;
  while (pgs->gs_iCurrent > iTarget) {
    long iLevel = pgs->gs_iCurrent;
    EnumerateIn(dc, idGroup, nullptr, iLevel, false);
    Append(SLK_LOWERING, nullptr, nullptr, idGroup, iLevel, dc.Count());
    for (long i = dc.Count() - 1; i >= 0; i--) {
      if (dc.Pointer(i)->IsStarted()) svcStopService(dc.Pointer(i));
    }
    // A stop function may change the registry's groups: find ours again.
    pgs = &FindGroup(idGroup);
    pgs->gs_iCurrent = iLevel - 1;
    Append(SLK_LOWERED, nullptr, nullptr, idGroup, iLevel, dc.Count());
  }
  while (pgs->gs_iCurrent < iTarget) {
    long iLevel = pgs->gs_iCurrent + 1;
    // A change that goes above every level reached so far records each level it steps through.
    if (iTarget > pgs->gs_iHighest) {
      HistoryRecord &hr = State().ss_ahrHistory.Push();
      hr.hr_idGroup = idGroup;
      hr.hr_iRunLevel = iLevel;
    }
    EnumerateIn(dc, idGroup, nullptr, iLevel, false);
    Append(SLK_RAISING, nullptr, nullptr, idGroup, iLevel, dc.Count());
    pgs->gs_iCurrent = iLevel;
    if (iLevel > pgs->gs_iHighest) pgs->gs_iHighest = iLevel;
    for (CService *psvc : dc) {
      if (!psvc->IsStarted() && StartsByRunLevel(*psvc)) svcStartService(psvc);
    }
    pgs = &FindGroup(idGroup);
    Append(SLK_RAISED, nullptr, nullptr, idGroup, iLevel, dc.Count());
  }
}

long svcGetCurrentRunLevel(IDENT idGroup)
{
  for (const GroupState &gs : State().ss_agsGroups) {
    if (gs.gs_idGroup == idGroup) return gs.gs_iCurrent;
  }
  return -1;
}

long svcCountRunLevelRecords(void)
{
  return State().ss_ahrHistory.Count();
}

long svcGetRunLevelNumber(long iRecord)
{
  const CStaticStackArray<HistoryRecord> &ahr = State().ss_ahrHistory;
  return iRecord >= 0 && iRecord < ahr.Count() ? ahr[iRecord].hr_iRunLevel : -1;
}

IDENT svcGetRunLevelGroup(long iRecord)
{
  const CStaticStackArray<HistoryRecord> &ahr = State().ss_ahrHistory;
  return iRecord >= 0 && iRecord < ahr.Count() ? ahr[iRecord].hr_idGroup : strConvertStringToID("");
}

void svcChangeStartupType(IDENT idService, SvcStartType eStartType)
{
  Override &ov = MakeOverride(idService);
  ov.ov_ulFlags |= 1;
  ov.ov_eStartType = eStartType;
}

void svcHoldService(IDENT idService, bool bHold)
{
  Override &ov = MakeOverride(idService);
  if (bHold) {
    ov.ov_ulFlags |= 2;
    ov.ov_lReserved = 1;
  } else {
    ov.ov_ulFlags &= ~2UL;
    ov.ov_lReserved = 0;
  }
}

void svcEnumerateServices(CDynamicContainer<CService> &dcServices, IDENT idGroup, CModule *pModule,
                          long iRunLevel)
{
  EnumerateIn(dcServices, idGroup, pModule, iRunLevel, pModule != nullptr);
}

void svcStartModuleServices(CModule *pModule)
{
  if (pModule == nullptr) {
    corLogGuardBreach();
    return;
  }
  CDynamicContainer<CService> dc;
  for (long i = 0; i < State().ss_ahrHistory.Count(); i++) {
    HistoryRecord hr = State().ss_ahrHistory[i];
    if (svcGetCurrentRunLevel(hr.hr_idGroup) < hr.hr_iRunLevel) continue;
    EnumerateIn(dc, hr.hr_idGroup, pModule, hr.hr_iRunLevel, true);
    Append(SLK_RAISING_MODULE, nullptr, pModule, hr.hr_idGroup, hr.hr_iRunLevel, dc.Count());
    for (CService *psvc : dc) {
      if (!psvc->IsStarted() && StartsByRunLevel(*psvc)) svcStartService(psvc);
    }
    Append(SLK_RAISED_MODULE, nullptr, pModule, hr.hr_idGroup, hr.hr_iRunLevel, dc.Count());
  }
}

void svcStopModuleServices(CModule *pModule)
{
  if (pModule == nullptr) {
    corLogGuardBreach();
    return;
  }
  CDynamicContainer<CService> dc;
  for (long i = State().ss_ahrHistory.Count() - 1; i >= 0; i--) {
    HistoryRecord hr = State().ss_ahrHistory[i];
    if (svcGetCurrentRunLevel(hr.hr_idGroup) < hr.hr_iRunLevel) continue;
    EnumerateIn(dc, hr.hr_idGroup, pModule, hr.hr_iRunLevel, true);
    Append(SLK_LOWERING_MODULE, nullptr, pModule, hr.hr_idGroup, hr.hr_iRunLevel, dc.Count());
    for (long j = dc.Count() - 1; j >= 0; j--) {
      if (dc.Pointer(j)->IsStarted()) svcStopService(dc.Pointer(j));
    }
    Append(SLK_LOWERED_MODULE, nullptr, pModule, hr.hr_idGroup, hr.hr_iRunLevel, dc.Count());
  }
}

void svcResetRunLevels(void)
{
  ServiceState &ss = State();
  ss.ss_agsGroups.Clear();
  ss.ss_ahrHistory.Clear();
  ss.ss_aovOverrides.Clear();
}

} // namespace QuennelEngine
