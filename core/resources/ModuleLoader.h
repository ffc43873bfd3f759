#pragma once
// CModuleLoader: keeps modules loaded. Each entry holds a reference to the beacon of a module
// file ("Bin/<name>.module|Beacon"); the same module may be loaded more than once and stays until
// its last entry is released. Modules are released in the reverse order of loading. Main thread
// only.
#include "core/memory/StaticStackArray.h"
#include "core/resources/DynamicModuleFile.h"

namespace QuennelEngine {

class CORE_API CModuleLoader {
public:
  CModuleLoader(void);
  // Releases every module.
  ~CModuleLoader(void);
  CModuleLoader(const CModuleLoader &) = delete;
  CModuleLoader &operator=(const CModuleLoader &) = delete;

  // Loads the module file (or shares it if it is loaded) and keeps it; logs the time it took.
  // Returns its beacon. Throws what loading the module throws. `ulFlags` is not used.
  CModuleBeacon *LoadModule_t(const char *strFileName, unsigned long ulFlags = 0);
  // LoadModule_t that prints the error instead; null when the module did not load.
  CModuleBeacon *LoadModule(const char *strFileName, unsigned long ulFlags = 0);
  // Drops the first entry of that file name. The module goes with the last reference to its
  // file's resources; while something else still holds one, the file stays in the stock and
  // the stock's freeing takes it once nothing does. An unknown name is a guard breach.
  void ReleaseModule(const char *strFileName);
  // Releases every entry, the last loaded first.
  void ReleaseAllModules(void);
  long Count(void) const { return ml_saEntries.Count(); }

  struct Entry {
    CString me_strFileName;
    Ptr<CModuleBeacon> me_pBeacon;
  };
  CStaticStackArray<Entry> ml_saEntries;

private:
  void Release(long iEntry);
};

} // namespace QuennelEngine
