#pragma once
// The service log: every start, stop and run-level step, and the console lines printed while a
// service was starting.
#include "core/memory/List.h"
#include "core/text/Ident.h"
#include "core/text/String.h"

namespace QuennelEngine {

class CService;
class CModule;

enum ServiceLogKind {
  SLK_STARTING = 0,
  SLK_STARTED = 1,
  SLK_STOPPING = 2,
  SLK_STOPPED = 3,
  SLK_RAISING = 4,
  SLK_RAISED = 5,
  SLK_RAISING_MODULE = 6,
  SLK_RAISED_MODULE = 7,
  SLK_LOWERING = 8,
  SLK_LOWERED = 9,
  SLK_LOWERING_MODULE = 10,
  SLK_LOWERED_MODULE = 11,
  SLK_CONSOLE_LINE = 12,
};

struct CORE_API ServiceLogEntry {
  long sle_iKind;
  CService *sle_psvc;
  CModule *sle_pModule;
  IDENT sle_idGroup;
  long sle_iRunLevel;
  long sle_ctServices;
  long sle_iLineType;
  CString sle_strLine;
  CListNode sle_lnNode;
};

class CORE_API CServiceLog {
public:
  CServiceLog();
  ~CServiceLog();
  CServiceLog(const CServiceLog &) = delete;
  CServiceLog &operator=(const CServiceLog &) = delete;

  // The entry at an index from the oldest, or null.
  ServiceLogEntry *GetLogEntry(long iEntry);
  // The entry after `psle` (the first for null), or null after the last.
  ServiceLogEntry *GetNextLogEntry(ServiceLogEntry *psle);
  // Prints the whole history as info lines.
  void DumpToLogFile(void);
  void Clear(void);

  int sl_bSkipEmpty; // dumps leave out run-level steps that involved no service
  int sl_bEcho;      // entries are printed as they are logged
  long sl_ctEntries;
  CListHead sl_lhEntries;
};

// Makes `psl` the log that service events go to (null: none); returns the previous one.
CORE_API CServiceLog *svcAssignServiceLog(CServiceLog *psl);
CORE_API CServiceLog *svcGetServiceLog(void);
CORE_API CString svcGetLogEntryDesc(const ServiceLogEntry *psle);
CORE_API void svcDumpLogEntry(const ServiceLogEntry *psle, int bSkipEmpty);

// Private to the services: appending entries.
namespace ServiceLogPrivate {
void Append(long iKind, CService *psvc, CModule *pModule, IDENT idGroup, long iRunLevel,
            long ctServices);
// A service begins (ends) starting: lines printed meanwhile are recorded.
void BeginStarting(void);
void EndStarting(void);
} // namespace ServiceLogPrivate

} // namespace QuennelEngine
