#include "core/frame/ServiceLog.h"

#include "core/frame/Console.h"
#include "core/frame/Service.h"
#include "core/meta/Module.h"
#include "core/text/Translation.h"
#include "core/threads/SyncLock.h"

namespace QuennelEngine {

static CServiceLog *_psvcLog = nullptr;
// Services between "starting" and "started": lines printed meanwhile are recorded.
static long _ctStarting = 0;

static void RecordConsoleLine(void *);

CServiceLog::CServiceLog() : sl_bSkipEmpty(1), sl_bEcho(0), sl_ctEntries(0)
{
}

CServiceLog::~CServiceLog()
{
  if (_psvcLog == this) svcAssignServiceLog(nullptr);
  Clear();
}

void CServiceLog::Clear(void)
{
  CSyncLock sl(conGetConsoleMutex());
  while (!sl_lhEntries.IsEmpty()) {
    CListNode *pln = sl_lhEntries.RemHead();
    delete (ServiceLogEntry *)((char *)pln - offsetof(ServiceLogEntry, sle_lnNode));
  }
  sl_ctEntries = 0;
}

static ServiceLogEntry *EntryOf(CListNode *pln)
{
  return pln->succ == nullptr
             ? nullptr
             : (ServiceLogEntry *)((char *)pln - offsetof(ServiceLogEntry, sle_lnNode));
}

ServiceLogEntry *CServiceLog::GetLogEntry(long iEntry)
{
  CSyncLock sl(conGetConsoleMutex());
  if (iEntry < 0) return nullptr;
  CListNode *pln = sl_lhEntries.GetFirst();
  for (long i = 0; i < iEntry && pln->succ != nullptr; i++) pln = pln->succ;
  return EntryOf(pln);
}

ServiceLogEntry *CServiceLog::GetNextLogEntry(ServiceLogEntry *psle)
{
  CSyncLock sl(conGetConsoleMutex());
  return EntryOf(psle == nullptr ? sl_lhEntries.GetFirst() : psle->sle_lnNode.succ);
}

void CServiceLog::DumpToLogFile(void)
{
  conInfoF(strTranslate("DOZUService.DumpStart=\nStarting service log history dump.\n\n"));
  for (ServiceLogEntry *psle = GetNextLogEntry(nullptr); psle != nullptr;
       psle = GetNextLogEntry(psle)) {
    svcDumpLogEntry(psle, sl_bSkipEmpty);
  }
  conInfoF(strTranslate("DOZUService.DumpEnd=\nDump of service log history complete.\n\n"));
}

CServiceLog *svcAssignServiceLog(CServiceLog *psl)
{
  CSyncLock sl(conGetConsoleMutex());
  CServiceLog *pslOld = _psvcLog;
  if (pslOld == nullptr && psl != nullptr) conAddLineCallback(RecordConsoleLine, nullptr);
  if (pslOld != nullptr && psl == nullptr) conRemLineCallback(RecordConsoleLine, nullptr);
  _psvcLog = psl;
  return pslOld;
}

CServiceLog *svcGetServiceLog(void)
{
  return _psvcLog;
}

static const char *ServiceName(const CService *psvc)
{
  return psvc != nullptr ? strConvertIDToString(psvc->svc_idID) : "";
}

static const char *ModuleName(const CModule *pModule)
{
  return pModule != nullptr ? pModule->GetName() : "";
}

CString svcGetLogEntryDesc(const ServiceLogEntry *psle)
{
  if (psle == nullptr) return CString();
  const char *strGroup = strConvertIDToString(psle->sle_idGroup);
  const char *strModule = ModuleName(psle->sle_pModule);
  switch (psle->sle_iKind) {
  case SLK_STARTING:
    return strFormat("Service: '%1' starting [Module: '%2', Priority: '%3'].",
                     ServiceName(psle->sle_psvc),
                     ModuleName(psle->sle_psvc ? psle->sle_psvc->svc_pModule : nullptr),
                     psle->sle_psvc ? psle->sle_psvc->svc_iPriority : 0);
  case SLK_STARTED:
    return strFormat("Service: '%1' started.", ServiceName(psle->sle_psvc));
  case SLK_STOPPING:
    return strFormat("Service: '%1' stopping [Module: '%2', Priority: '%3'].",
                     ServiceName(psle->sle_psvc),
                     ModuleName(psle->sle_psvc ? psle->sle_psvc->svc_pModule : nullptr),
                     psle->sle_psvc ? psle->sle_psvc->svc_iPriority : 0);
  case SLK_STOPPED:
    return strFormat("Service: '%1' stopped.", ServiceName(psle->sle_psvc));
  case SLK_RAISING:
    return strFormat("Starting services in '%1' runlevel '%2'.", strGroup, psle->sle_iRunLevel);
  case SLK_RAISED:
    return strFormat("Services in '%1' runlevel '%2' started.", strGroup, psle->sle_iRunLevel);
  case SLK_RAISING_MODULE:
    return strFormat("Starting '%1' module services in group '%2' runlevel '%3'.", strModule,
                     strGroup, psle->sle_iRunLevel);
  case SLK_RAISED_MODULE:
    return strFormat("'%1' module services in group '%2' runlevel '%3' started.", strModule,
                     strGroup, psle->sle_iRunLevel);
  case SLK_LOWERING:
    return strFormat("Stopping services in '%1' runlevel '%2'.", strGroup, psle->sle_iRunLevel);
  case SLK_LOWERED:
    return strFormat("Services in '%1' runlevel '%2' stopped.", strGroup, psle->sle_iRunLevel);
  case SLK_LOWERING_MODULE:
    return strFormat("Stopping '%1' module services in group '%2' runlevel '%3'.", strModule,
                     strGroup, psle->sle_iRunLevel);
  case SLK_LOWERED_MODULE:
    return strFormat("'%1' module services in group '%2' runlevel '%3' stopped.", strModule,
                     strGroup, psle->sle_iRunLevel);
  case SLK_CONSOLE_LINE:
    return psle->sle_strLine;
  }
  return CString();
}

void svcDumpLogEntry(const ServiceLogEntry *psle, int bSkipEmpty)
{
  if (psle == nullptr) return;
  if (psle->sle_iKind == SLK_CONSOLE_LINE) {
    conPrintText((ConsoleMessageType)psle->sle_iLineType, psle->sle_strLine);
    return;
  }
  if (bSkipEmpty && psle->sle_iKind >= SLK_RAISING && psle->sle_iKind <= SLK_LOWERED_MODULE &&
      psle->sle_ctServices == 0) {
    return;
  }
  conInfoF("%1\n", ARG_TEXT, svcGetLogEntryDesc(psle).str_String);
}

// Appends an entry to the assigned log (under the console mutex, as lines recorded from the
// console callback are).
static ServiceLogEntry *NewEntry(long iKind)
{
  ServiceLogEntry *psle = new ServiceLogEntry;
  psle->sle_iKind = iKind;
  psle->sle_psvc = nullptr;
  psle->sle_pModule = nullptr;
  psle->sle_idGroup = nullptr;
  psle->sle_iRunLevel = -1;
  psle->sle_ctServices = 0;
  psle->sle_iLineType = 0;
  return psle;
}

static void AddEntry(ServiceLogEntry *psle)
{
  _psvcLog->sl_lhEntries.AddTail(psle->sle_lnNode);
  _psvcLog->sl_ctEntries++;
  if (_psvcLog->sl_bEcho && psle->sle_iKind != SLK_CONSOLE_LINE) {
    svcDumpLogEntry(psle, _psvcLog->sl_bSkipEmpty);
  }
}

static void RecordConsoleLine(void *)
{
  if (_psvcLog == nullptr || _ctStarting <= 0) return;
  long iType;
  CString strLine;
  conGetLine(0, iType, strLine);
  ServiceLogEntry *psle = NewEntry(SLK_CONSOLE_LINE);
  psle->sle_iLineType = iType;
  psle->sle_strLine = strLine;
  AddEntry(psle);
}

namespace ServiceLogPrivate {

void Append(long iKind, CService *psvc, CModule *pModule, IDENT idGroup, long iRunLevel,
            long ctServices)
{
  CSyncLock sl(conGetConsoleMutex());
  if (_psvcLog == nullptr) return;
  ServiceLogEntry *psle = NewEntry(iKind);
  psle->sle_psvc = psvc;
  psle->sle_pModule = pModule;
  psle->sle_idGroup = idGroup;
  psle->sle_iRunLevel = iRunLevel;
  psle->sle_ctServices = ctServices;
  AddEntry(psle);
}

void BeginStarting(void)
{
  CSyncLock sl(conGetConsoleMutex());
  _ctStarting++;
}

void EndStarting(void)
{
  CSyncLock sl(conGetConsoleMutex());
  if (_ctStarting > 0) _ctStarting--;
}

} // namespace ServiceLogPrivate

} // namespace QuennelEngine
