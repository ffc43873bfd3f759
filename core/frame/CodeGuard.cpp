#include "core/frame/CodeGuard.h"

#include "core/frame/Console.h"
#include "core/platform/CrashReport.h"
#include "core/streams/FileSystem.h"
#include "core/text/FileNames.h"

namespace QuennelEngine {

// Call sites that have reported already. A site beyond the table reports every time, which errs
// on the side of telling too much.
static const int _ctMaxGuardSites = 512;
static void *volatile _apvGuardSites[_ctMaxGuardSites];
static volatile long _ctGuardBreaches = 0;

// True the first time `pvSite` asks; lock-free so it works before any mutex exists.
static bool IsNewGuardSite(void *pvSite)
{
  for (int i = 0; i < _ctMaxGuardSites; i++) {
    void *pvSeen = _apvGuardSites[i];
    if (pvSeen == pvSite) return false;
    if (pvSeen == nullptr) {
      void *pvExpected = nullptr;
      if (__atomic_compare_exchange_n(&_apvGuardSites[i], &pvExpected, pvSite, false,
                                      __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST)) {
        return true;
      }
      if (pvExpected == pvSite) return false;
    }
  }
  return true;
}

void corLogGuardBreach(void)
{
  if (!IsNewGuardSite(QE_RETURN_ADDRESS())) return;
  __atomic_add_fetch(&_ctGuardBreaches, 1, __ATOMIC_SEQ_CST);
  conErrorF("Code guard was activated due to application malfunction. Please report.\n");
  // The stack that led here goes beside the program, for the report.
  rptDumpCurrentStack(strNoFileExt(filSysGetModulePath()) + "_CodeGuard.rpt");
}

long corGetGuardBreachCount(void)
{
  return __atomic_load_n(&_ctGuardBreaches, __ATOMIC_SEQ_CST);
}

} // namespace QuennelEngine
