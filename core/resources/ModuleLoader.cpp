// Keeping modules loaded.
//
// Files are normally freed only by the stock's freeing functions, and a module file would be
// too: once nothing references its beacon, resFreeUnusedStock frees it like any other file. But a
// module does work as it goes (its services stop, its clean-up runs), and the freeing functions
// run in an exclusive section where a stopping service may not end its threads. So the loader,
// which owns the module, frees the file itself when it drops the last reference: exactly when the
// stock would free it (no resource of the file is referenced), on the main thread, outside the
// stock mutex and outside any exclusive section. A module that is still referenced elsewhere
// stays until the stock frees it.
#include "core/resources/ModuleLoader.h"

#include "core/frame/CodeGuard.h"
#include "core/frame/Console.h"
#include "core/frame/Exception.h"
#include "core/platform/Timer.h"
#include "core/resources/ResourceFunctions.h"
#include "core/resources/ResourceStock.h"
#include "core/text/Compare.h"
#include "core/text/Translation.h"
#include "core/threads/SyncLock.h"

namespace QuennelEngine {

CModuleLoader::CModuleLoader(void)
{
}

CModuleLoader::~CModuleLoader(void)
{
  ReleaseAllModules();
}

CModuleBeacon *CModuleLoader::LoadModule_t(const char *strFileName, unsigned long)
{
  if (strFileName == nullptr) {
    corLogGuardBreach();
    return nullptr;
  }
  const Time tmStart = timUptimeNow();
  Ptr<CResource> prs =
      resObtainResourceFromModule_t(CModuleBeacon::md_pdtDataType, strFileName, "Beacon");
  Entry &en = ml_saEntries.Push();
  en.me_strFileName = strFileName;
  en.me_pBeacon = static_cast<CModuleBeacon *>(prs.Get());
  conLog(strTranslate("DOZUModules.Loaded=Module '%1' loaded in '%2' seconds.\n"), strFileName,
         fmtSpec(timToFloat(timUptimeNow() - tmStart), ".2f"));
  return en.me_pBeacon.Get();
}

CModuleBeacon *CModuleLoader::LoadModule(const char *strFileName, unsigned long ulFlags)
{
  try {
    return LoadModule_t(strFileName, ulFlags);
  } catch (CException &ex) {
    conError("%1\n", ex.GetDescription());
    return nullptr;
  }
}

void CModuleLoader::Release(long iEntry)
{
  Ptr<CModuleBeacon> pBeacon = std::move(ml_saEntries[iEntry].me_pBeacon);
  ml_saEntries.Delete(iEntry);
  CDynamicModuleFile *pdmf = nullptr;
  {
    CSyncLock sl(resGetFileStockMutex());
    CResourceFile *prf = pBeacon != nullptr ? pBeacon->GetResourceFile() : nullptr;
    pBeacon = nullptr;
    if (resIsDynamicModuleFile(prf)) {
      pdmf = static_cast<CDynamicModuleFile *>(prf);
      if (pdmf->IsReferenced()) pdmf = nullptr;
    }
  }
  delete pdmf;
}

void CModuleLoader::ReleaseModule(const char *strFileName)
{
  for (long i = 0; i < ml_saEntries.Count(); i++) {
    if (strCompare(ml_saEntries[i].me_strFileName, strFileName != nullptr ? strFileName : "") ==
        0) {
      Release(i);
      return;
    }
  }
  corLogGuardBreach();
}

void CModuleLoader::ReleaseAllModules(void)
{
  for (long i = ml_saEntries.Count() - 1; i >= 0; i--) Release(i);
}

} // namespace QuennelEngine
