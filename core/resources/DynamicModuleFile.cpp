// Module files: loading a library as a resource file, and unloading it in the one safe order.
//
// A module's code is in its library, and so are the virtual functions of every object of its
// types and the functions of its services. Unloading therefore runs strictly backwards: the
// module's services stop, the file's resources are freed (they may be of the module's types),
// the clean-up entry runs, and only then the library is closed; its types leave the registry as
// its statics go. A load that fails after the library opened (a missing entry, a start-up entry
// or service that throws) runs the same unloading for what it had done, so nothing of the module
// stays: the caller deletes the half-made file, which takes it out of the stock. What failed is
// thrown again as a copy made here, since the original may be an object of the module's code.
//
// If resources of the file are still referenced when it goes, their code must stay: the library
// is then left loaded (and reported) rather than leaving objects whose functions are gone.
#include "core/resources/DynamicModuleFile.h"

#include "core/frame/Console.h"
#include "core/frame/Exception.h"
#include "core/frame/Service.h"
#include "core/meta/DataTypeKinds.h"
#include "core/meta/Module.h"
#include "core/platform/DynamicLoader.h"
#include "core/resources/ResourceFileType.h"
#include "core/resources/ResourceMeta.h"
#include "core/resources/ResourceStock.h"
#include "core/streams/FileSystem.h"
#include "core/streams/Stream.h"
#include "core/text/FileNames.h"
#include "core/text/Matching.h"
#include "core/text/Translation.h"
#include "core/threads/SyncLock.h"
#include "core/threads/Threads.h"

namespace QuennelEngine {

MD_CLASS_BEGIN(CModuleBeacon, CResource, 1)
MD_CLASS_END()

// The loader and the entries describe the library in memory; nothing of them is stored.
MD_CLASS_BEGIN(CDynamicModuleFile, CResourceFile, 1)
MD_CLASS_END()

CDynamicModuleFile::CDynamicModuleFile(void)
    : dmf_pLoader(new CDynamicLoader), dmf_pStartup(nullptr), dmf_pCleanup(nullptr),
      dmf_pModule(nullptr), dmf_bStarted(false)
{
}

CDynamicModuleFile::~CDynamicModuleFile(void)
{
  Unload();
  delete dmf_pLoader;
}

bool CDynamicModuleFile::IsLibraryLoaded(void) const
{
  return dmf_pLoader != nullptr && dmf_pLoader->IsLoaded();
}

// Stops every started service of the module: those of the levels reached (in the reverse order
// of the history), then any started explicitly in a group of the history.
static void StopServicesOf(CModule *pmod)
{
  svcStopModuleServices(pmod);
  CDynamicContainer<CService> dc;
  for (long i = svcCountRunLevelRecords() - 1; i >= 0; i--) {
    svcEnumerateServices(dc, svcGetRunLevelGroup(i), pmod, -1);
    for (long j = dc.Count() - 1; j >= 0; j--) {
      if (dc.Pointer(j)->IsStarted()) svcStopService(dc.Pointer(j));
    }
  }
}

bool CDynamicModuleFile::IsReferenced(void) const
{
  for (CResource *prs : rf_saShared) {
    if (prs->GetReferenceCount() > 0) return true;
  }
  for (CResource *prs : rf_saExposed) {
    if (prs->GetReferenceCount() > 0) return true;
  }
  return false;
}

void CDynamicModuleFile::Unload(void)
{
  if (dmf_pModule != nullptr) {
    CModule *pmod = dmf_pModule;
    dmf_pModule = nullptr;
    StopServicesOf(pmod);
  }
  bool bStillUsed;
  {
    CSyncLock sl(resGetFileStockMutex());
    bStillUsed = IsReferenced();
    bStillUsed = mdClearResourceFile(this) > 0 || bStillUsed;
  }
  if (dmf_bStarted) {
    dmf_bStarted = false;
    if (dmf_pCleanup != nullptr) dmf_pCleanup(this);
  }
  if (dmf_pLoader == nullptr || !dmf_pLoader->IsLoaded()) return;
  if (bStillUsed) {
    conWarning(strTranslate("DOZUModules.StillUsed=Module '%1' stays loaded: objects of its file "
                            "are still referenced.\n"),
               GetFileName());
    dmf_pLoader = nullptr; // deliberately kept open for the objects that outlive the file
    return;
  }
  dmf_pLoader->Close();
}

// A free ID for a resource added after the module registered its own.
static long FreeResourceID(CResourceFile *prf)
{
  long iID = prf->rf_iNextID;
  for (CResource *prs : prf->rf_saShared) {
    if (prs->rs_iID >= iID) iID = prs->rs_iID + 1;
  }
  return iID;
}

void CDynamicModuleFile::Load_t(const char *strPath)
{
  // Only the libraries beside the program are modules; any other file named *.module is not
  // run as code.
  if (!filIsModuleFileName(strPath)) {
    ThrowFormat_t(strTranslate("DOZUDynamicLoader.ModuleNotFound=Dynamic module %1 not found!"),
                  strPath);
  }
  dmf_strModuleName = strFileName(strPath);
  // An exception the module threw lives in the module's code (its type information, its
  // destructor): it is copied and ended before the library closes, and the copy is thrown.
  CString strError;
  try {
    dmf_pLoader->Open_t(strPath);
    // Both entries are found before either runs: a module without its clean-up is not started.
    dmf_pStartup = dmf_pLoader->GetFunction_t<ModuleEntry>(dmf_strModuleName + "_Startup_t");
    dmf_pCleanup = dmf_pLoader->GetFunction_t<ModuleEntry>(dmf_strModuleName + "_Cleanup");
    dmf_pStartup(this);
    dmf_bStarted = true;
    {
      CSyncLock sl(resGetFileStockMutex());
      if (FindResourceByName("Beacon") == nullptr) {
        RegisterModuleResource(FreeResourceID(this), "Beacon", new CModuleBeacon);
      }
    }
    CModule *pmod = mdFindModuleByName(dmf_strModuleName);
    if (pmod != nullptr) {
      dmf_pModule = pmod;
      svcStartModuleServices(pmod);
    } else {
      conWarning(strTranslate("DOZUModules.NoServices=Can't start services for '%1' module.\n"),
                 strPath);
    }
    return;
  } catch (CException &ex) {
    strError = ex.GetDescription();
  } catch (...) {
    strError =
        strFormat(strTranslate("DOZUModules.StartupFailed=%1: module start-up failed."), strPath);
  }
  Unload();
  throw CSimpleException(strError);
}

bool resIsDynamicModuleFile(CResourceFile *prf)
{
  return prf != nullptr &&
         mdIsDerivedFrom(prf->mdGetDataType(), CDynamicModuleFile::md_pdtDataType);
}

// ---- The file type ----

namespace {

class CModuleResourceFileType : public CResourceFileType {
  MD_DECLARE_CLASS(CModuleResourceFileType)
  CModuleResourceFileType(void)
  {
    Register();
    // Lives as long as Core: the reference keeps a release by a user from deleting a static.
    AddRef();
  }
  int CanSaveFile(CResourceFile *prf) override { return CanLoadFileName(prf->GetFileName()); }
  void SaveFile_t(CResourceFile *prf) override
  {
    ThrowFormat_t(strTranslate("DOZUResource.SaveModule=%1: Dynamic module files cannot be "
                               "saved."),
                  prf->GetFileName());
  }
  int CanLoadFileName(const CString &strFileName) override
  {
    return strMatches(strFileName, "*.module");
  }
  int CanLoadStream_t(CStream *) override { return 1; }
  // Libraries run their start-up on the loading thread and start services: main thread only.
  CResourceFile *LoadFile_t(CStream *pstrm) override
  {
    if (!thrIsThisMainThread()) {
      ThrowFormat_t(strTranslate("DOZUModules.NotMainThread=Resources from module files must be "
                                 "obtained with resObtainFromModule_t() function."));
    }
    CDynamicModuleFile *pdmf = new CDynamicModuleFile;
    try {
      pdmf->Load_t(pstrm->GetDescription());
    } catch (...) {
      delete pdmf;
      throw;
    }
    return pdmf;
  }
};

MD_CLASS_BEGIN(CModuleResourceFileType, CResourceFileType, 1)
MD_CLASS_END()

CModuleResourceFileType _res_rftModule;

} // namespace

} // namespace QuennelEngine
