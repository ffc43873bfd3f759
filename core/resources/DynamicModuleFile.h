#pragma once
// Modules as resource files. A game library or engine extension beside the program is seen as the
// virtual file "Bin/<name>.module"; obtaining it on the main thread loads it as a
// CDynamicModuleFile: the library is opened, its "<name>_Startup_t" entry is called with the new
// file, and the services of the metadata module of that name are started at every run level
// already reached. Each module file holds one CModuleBeacon named "Beacon"; CModuleLoader keeps
// a module loaded by holding a reference to it.
#include "core/resources/ResourceFile.h"

namespace QuennelEngine {

class CDynamicLoader;
class CModule;
class CDynamicModuleFile;

// A module's start-up entry ("<name>_Startup_t", may throw) and clean-up entry ("<name>_Cleanup").
typedef void (*ModuleEntry)(CDynamicModuleFile *pdmf);

// The marker resource of a module file; it has no data of its own.
class CORE_API CModuleBeacon : public CResource {
  MD_DECLARE_CLASS(CModuleBeacon)
};

class CORE_API CDynamicModuleFile : public CResourceFile {
  MD_DECLARE_CLASS(CDynamicModuleFile)
  CDynamicModuleFile(void);
  // Unloads the module: its services stop, the file's resources are freed, its clean-up entry
  // runs, and only then the library is closed.
  ~CDynamicModuleFile(void) override;

  // Opens the library named by a soft path, looks up both entries, calls the start-up entry and
  // starts the module's services. Throws; a failure leaves nothing of the module behind (no
  // started services, no resources, the library closed).
  void Load_t(const char *strPath);
  // The module's name: the file name without directory and extension.
  const CString &GetModuleName(void) const { return dmf_strModuleName; }
  // The metadata module whose services were started, or null.
  CModule *GetModule(void) const { return dmf_pModule; }
  bool IsLibraryLoaded(void) const;
  // Some shared or exposed resource of the file has a reference (run under the stock mutex).
  bool IsReferenced(void) const;

  CDynamicLoader *dmf_pLoader;
  ModuleEntry dmf_pStartup;
  ModuleEntry dmf_pCleanup;
  CString dmf_strModuleName;
  CModule *dmf_pModule; // whose services were started
  bool dmf_bStarted;    // the start-up entry returned: the clean-up entry is owed

private:
  void Unload(void);
};

// Whether the file is a module file (a CDynamicModuleFile).
CORE_API bool resIsDynamicModuleFile(CResourceFile *prf);

} // namespace QuennelEngine
