#include "core/frame/CodeGuard.h"

#include "core/frame/Console.h"
#include "core/platform/CrashReport.h"
#include "core/streams/FileSystem.h"
#include "core/text/FileNames.h"
#include "core/text/Translation.h"

namespace QuennelEngine {

// Call sites that have reported already, each as the hash of its file's name and its line. A
// site beyond the table reports every time, which errs on the side of telling too much.
static const int _ctMaxGuardSites = 512;
static unsigned long long volatile _aullGuardSites[_ctMaxGuardSites];
static volatile long _ctGuardBreaches = 0;

// The key of a call site; never 0, which marks a free slot. File names are hashed by their text
// because every module (and every inline function's translation unit) has its own copy of them.
static unsigned long long GuardSiteKey(const char *strFile, int iLine)
{
  unsigned long ulHash = 2166136261UL;
  for (const char *pch = strFile != nullptr ? strFile : ""; *pch != 0; pch++) {
    ulHash = (ulHash ^ (unsigned char)*pch) * 16777619UL;
  }
  return ((unsigned long long)ulHash << 32) | ((unsigned long)iLine | 0x80000000UL);
}

// True the first time a site asks; lock-free so it works before any mutex exists.
static bool IsNewGuardSite(unsigned long long ullSite)
{
  for (int i = 0; i < _ctMaxGuardSites; i++) {
    unsigned long long ullSeen = __atomic_load_n(&_aullGuardSites[i], __ATOMIC_SEQ_CST);
    if (ullSeen == ullSite) return false;
    if (ullSeen == 0) {
      unsigned long long ullExpected = 0;
      if (__atomic_compare_exchange_n(&_aullGuardSites[i], &ullExpected, ullSite, false,
                                      __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST)) {
        return true;
      }
      if (ullExpected == ullSite) return false;
    }
  }
  return true;
}

void corLogGuardBreach(const char *strFile, int iLine)
{
  __atomic_add_fetch(&_ctGuardBreaches, 1, __ATOMIC_SEQ_CST);
  if (!IsNewGuardSite(GuardSiteKey(strFile, iLine))) return;
  conErrorF(
      strTranslate("DOZUCore.CodeGuard=Code guard was activated due to application malfunction. "
                   "Please report.\n"));
  // The stack that led here goes beside the program, for the report.
  rptDumpCurrentStack(strNoFileExt(filSysGetModulePath()) + "_CodeGuard.rpt");
}

long corGetGuardBreachCount(void)
{
  return __atomic_load_n(&_ctGuardBreaches, __ATOMIC_SEQ_CST);
}

} // namespace QuennelEngine
