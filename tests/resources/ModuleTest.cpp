// Game modules as resource files: the test modules (tests/resources/data/TestModule.cpp, built
// beside this program) load through "Bin/<name>.module", start their services at the run levels
// reached, and leave nothing behind when they unload or fail to load.
#include "ResourceTestSupport.h"

#include <windows.h>

#include <string>

using namespace QuennelEngine;
using namespace QuennelEngine::Test;

namespace {

IDENT ID(const char *str)
{
  return strConvertStringToID(str);
}

bool InProcess(const wchar_t *wstrLibrary)
{
  return GetModuleHandleW(wstrLibrary) != nullptr;
}

// What the test modules said ("<module>: <event>" console lines), as "event, event, ...".
std::string Events(const CConsoleLines &cl, const char *strModule)
{
  const std::string strText = cl.Text();
  const std::string strPrefix = std::string(strModule) + ": ";
  std::string strEvents;
  size_t iLine = 0;
  while (iLine < strText.size()) {
    size_t iEnd = strText.find('\n', iLine);
    if (iEnd == std::string::npos) iEnd = strText.size();
    const std::string strLine = strText.substr(iLine, iEnd - iLine);
    if (strLine.compare(0, strPrefix.size(), strPrefix) == 0) {
      if (!strEvents.empty()) strEvents += ", ";
      strEvents += strLine.substr(strPrefix.size());
    }
    iLine = iEnd + 1;
  }
  return strEvents;
}

// Nothing of a test module is left: no library, no file, no services, no types.
void ExpectNothingLeftOf(const wchar_t *wstrLibrary, const char *strFile)
{
  EXPECT_FALSE(InProcess(wstrLibrary)) << strFile;
  EXPECT_FALSE(InStock(strFile)) << strFile;
  EXPECT_EQ(svcFindService(ID("Service.TmZero")), nullptr) << strFile;
  EXPECT_EQ(svcFindService(ID("Service.TmEleven")), nullptr) << strFile;
  EXPECT_EQ(mdFindByName("CTmThing"), nullptr) << strFile;
  EXPECT_EQ(mdFindByName("CTmPart"), nullptr) << strFile;
  EXPECT_EQ(mdFindByName("ETmKind"), nullptr) << strFile;
}

// The program's directory is where "Bin/" modules are found; each test has its own root as the
// other resource tests do, and the modules' group is back at -1 afterwards.
class Modules : public ResourceTest {
protected:
  void SetUp() override
  {
    mt_strOldRoot = filGetSysRootDir();
    {
      CLockOutputs lo;
      filSysAnalyzeAppPath(nullptr);
    }
    ResourceTest::SetUp();
  }
  void TearDown() override
  {
    svcChangeRunLevel(ID("Group.ModuleTests"), -1);
    ResourceTest::TearDown();
    filSetSysRootDir(mt_strOldRoot);
  }
  CString mt_strOldRoot;
};

} // namespace

TEST_F(Modules, LoadStartsServicesAtTheLevelsReachedAndUnloadGoesBackwards)
{
  svcChangeRunLevel(ID("Group.ModuleTests"), 10);
  ASSERT_FALSE(InProcess(L"TestModule.dll"));
  CConsoleLines clLoad;
  {
    CModuleLoader ml;
    CModuleBeacon *pmb = ml.LoadModule_t("Bin/TestModule.module");
    ASSERT_NE(pmb, nullptr) << clLoad.Text();
    EXPECT_TRUE(InProcess(L"TestModule.dll"));
    EXPECT_EQ(Events(clLoad, "TestModule"), "started, +Zero, +Ten");
    EXPECT_TRUE(clLoad.Has("Module 'Bin/TestModule.module' loaded in '")) << clLoad.Text();
    EXPECT_FALSE(clLoad.Has("Can't start services")) << clLoad.Text();
    EXPECT_TRUE(svcIsServiceStarted(ID("Service.TmTen")));
    EXPECT_FALSE(svcIsServiceStarted(ID("Service.TmEleven")));

    // The beacon and the module's own resource are in the module file, in the stock.
    CResourceFile *prf = pmb->GetResourceFile();
    ASSERT_TRUE(resIsDynamicModuleFile(prf));
    EXPECT_STREQ(prf->GetFileName(), "Bin/TestModule.module");
    EXPECT_TRUE(InStock("Bin/TestModule.module"));
    EXPECT_STREQ(pmb->GetName(), "Beacon");
    CDataType *pdtThing = mdFindByName("CTmThing");
    ASSERT_NE(pdtThing, nullptr);
    EXPECT_NE(resFindResourceByName(pdtThing, prf, "Thing"), nullptr);
    CDynamicModuleFile *pdmf = static_cast<CDynamicModuleFile *>(prf);
    EXPECT_STREQ(pdmf->GetModuleName(), "TestModule");
    EXPECT_EQ(pdmf->GetModule(), mdFindModuleByName("TestModule"));

    // Levels reached later start the module's services like any other.
    CConsoleLines clRaise;
    svcChangeRunLevel(ID("Group.ModuleTests"), 11);
    EXPECT_EQ(Events(clRaise, "TestModule"), "+Eleven");

    EXPECT_EQ(ThrownBy([&] { prf->SaveFile_t(); }),
              "Bin/TestModule.module: Dynamic module files cannot be saved.");
  }
  // The loader's destructor released the module: services, resources, clean-up, then the library.
  EXPECT_EQ(Events(clLoad, "TestModule"),
            "started, +Zero, +Ten, +Eleven, -Eleven, -Ten, -Zero, thing freed, cleaned up, "
            "unloading");
  ExpectNothingLeftOf(L"TestModule.dll", "Bin/TestModule.module");
}

TEST_F(Modules, TheLastReferenceKeepsTheModule)
{
  CThreadServices ts; // the stock's freeing runs in an exclusive section
  CConsoleLines cl;
  CModuleLoader ml;
  ASSERT_NE(ml.LoadModule("Bin/TestModule.module"), nullptr) << cl.Text();
  ASSERT_NE(ml.LoadModule("Bin/TestModule.module"), nullptr);
  EXPECT_EQ(ml.Count(), 2);
  EXPECT_EQ(Events(cl, "TestModule"), "started"); // the second load shares the file

  ml.ReleaseModule("Bin/TestModule.module");
  EXPECT_TRUE(InProcess(L"TestModule.dll"));
  // Loaded modules are held from outside the stock: freeing it keeps them.
  resFreeUnusedStock();
  EXPECT_TRUE(InStock("Bin/TestModule.module"));

  // A resource of the module held elsewhere outlives the loader's last entry; the stock frees
  // the module once that goes too.
  Ptr<CResource> prsThing =
      resObtainResourceFromModule_t(nullptr, "Bin/TestModule.module", "Thing");
  ml.ReleaseModule("Bin/TestModule.module");
  EXPECT_EQ(ml.Count(), 0);
  EXPECT_TRUE(InProcess(L"TestModule.dll"));
  EXPECT_EQ(Events(cl, "TestModule"), "started");
  prsThing = nullptr;
  resFreeUnusedStockTrivial();
  EXPECT_EQ(Events(cl, "TestModule"), "started, thing freed, cleaned up, unloading");
  ExpectNothingLeftOf(L"TestModule.dll", "Bin/TestModule.module");

  // A name never loaded is a guard breach and changes nothing.
  ASSERT_NE(ml.LoadModule("Bin/TestModule.module"), nullptr);
  {
    CGuardBreachCounter gbc;
    ml.ReleaseModule("Bin/PlainModule.module");
    EXPECT_EQ(gbc.Count(), 1);
  }
  EXPECT_EQ(ml.Count(), 1);
  EXPECT_TRUE(InProcess(L"TestModule.dll"));

  // Releasing all goes from the last loaded to the first.
  ASSERT_NE(ml.LoadModule("Bin/PlainModule.module"), nullptr);
  EXPECT_FALSE(cl.Has("registered twice")) << cl.Text();
  CConsoleLines clRelease;
  ml.ReleaseAllModules();
  const std::string strText = clRelease.Text();
  EXPECT_LT(strText.find("PlainModule: cleaned up"), strText.find("TestModule: cleaned up"))
      << strText;
  EXPECT_EQ(ml.Count(), 0);
  ExpectNothingLeftOf(L"TestModule.dll", "Bin/TestModule.module");
  EXPECT_FALSE(InProcess(L"PlainModule.dll"));
}

TEST_F(Modules, AModuleWithoutMetadataRunsWithoutServicesAndGetsABeacon)
{
  svcChangeRunLevel(ID("Group.ModuleTests"), 11);
  CConsoleLines cl;
  CModuleLoader ml;
  CModuleBeacon *pmb = ml.LoadModule_t("Bin/PlainModule.module");
  ASSERT_NE(pmb, nullptr);
  EXPECT_TRUE(cl.Has("Can't start services for 'Bin/PlainModule.module' module.\n")) << cl.Text();
  EXPECT_EQ(Events(cl, "PlainModule"), "started");
  // The loader's beacon takes an ID the module left free; the module's resource stays the
  // default.
  CResourceFile *prf = pmb->GetResourceFile();
  ASSERT_NE(prf, nullptr);
  EXPECT_STREQ(pmb->GetName(), "Beacon");
  EXPECT_EQ(pmb->rs_iID, 3);
  EXPECT_STREQ(prf->FindDefaultResource()->GetName(), "Thing");
  ml.ReleaseModule("Bin/PlainModule.module");
  EXPECT_EQ(Events(cl, "PlainModule"), "started, cleaned up, unloading");
  EXPECT_FALSE(InProcess(L"PlainModule.dll"));
  EXPECT_FALSE(InStock("Bin/PlainModule.module"));
}

TEST_F(Modules, FailedLoadsLeaveNothingLoaded)
{
  svcChangeRunLevel(ID("Group.ModuleTests"), 11);
  // The process error mode is the caller's again after every load, failed or not.
  const UINT uiOldMode = SetErrorMode(SEM_NOALIGNMENTFAULTEXCEPT);
  CModuleLoader ml;
  CConsoleLines cl;
  // Both entries are looked up before either runs.
  EXPECT_EQ(ThrownBy([&] { ml.LoadModule_t("Bin/NoCleanupModule.module"); }),
            "Symbol NoCleanupModule_Cleanup not found!");
  EXPECT_EQ(Events(cl, "NoCleanupModule"), "unloading");
  ExpectNothingLeftOf(L"NoCleanupModule.dll", "Bin/NoCleanupModule.module");

  // A start-up that fails: what it registered goes, its clean-up is not owed, no service started.
  EXPECT_EQ(ThrownBy([&] { ml.LoadModule_t("Bin/ThrowingModule.module"); }),
            "ThrowingModule refuses to start");
  EXPECT_EQ(Events(cl, "ThrowingModule"), "started, thing freed, unloading");
  ExpectNothingLeftOf(L"ThrowingModule.dll", "Bin/ThrowingModule.module");
  EXPECT_EQ(ml.Count(), 0);

  // LoadModule reports the failure instead of throwing it.
  CConsoleLines clReported;
  EXPECT_EQ(ml.LoadModule("Bin/NoCleanupModule.module"), nullptr);
  EXPECT_TRUE(clReported.Has("Symbol NoCleanupModule_Cleanup not found!\n")) << clReported.Text();
  EXPECT_NE(ThrownBy([&] { ml.LoadModule_t("Bin/NoSuchModule.module"); }), "");
  EXPECT_EQ(ml.Count(), 0);
  EXPECT_EQ(resListResourceFiles().Count(), rt_ctFilesBefore);
  EXPECT_EQ(GetErrorMode(), (UINT)SEM_NOALIGNMENTFAULTEXCEPT);
  ASSERT_NE(ml.LoadModule("Bin/TestModule.module"), nullptr);
  ml.ReleaseAllModules();
  EXPECT_EQ(GetErrorMode(), (UINT)SEM_NOALIGNMENTFAULTEXCEPT);
  SetErrorMode(uiOldMode);
}

TEST_F(Modules, OnlyTheProgramsLibrariesRunAsModules)
{
  // A copy of a module elsewhere, named like a module file, is not run.
  CString strLibrary = filGetHardExePath() + "TestModule.dll";
  filCreateDirectoryPath("Content/");
  ASSERT_TRUE(CopyFileA(strLibrary, filSoftToHardPath("Content/Copy.module"), FALSE));
  EXPECT_EQ(ThrownBy([&] { resObtainFileInternal_t("Content/Copy.module"); }),
            "Dynamic module Content/Copy.module not found!");
  EXPECT_FALSE(InProcess(L"Copy.module"));
  EXPECT_FALSE(InStock("Content/Copy.module"));
  // A name that climbs out of Bin/ is no module file: nothing is opened.
  EXPECT_NE(ThrownBy([&] { resObtainFileInternal_t("Bin/..\\bin\\TestModule.module"); }), "");
  EXPECT_FALSE(InProcess(L"TestModule.dll"));
}

namespace {
struct WorkerLoad {
  CString wl_strError;
  long volatile wl_bDone;
};
void LoadOnWorker(void *pv)
{
  WorkerLoad &wl = *(WorkerLoad *)pv;
  wl.wl_strError = ThrownBy([] { resObtainFileInternal_t("Bin/TestModule.module"); }).c_str();
  wl.wl_bDone = 1;
}
} // namespace

TEST_F(Modules, WorkersCannotLoadModules)
{
  CThreadServices ts;
  WorkerLoad wl = {CString(), 0};
  thrCreateThread(&wl, LoadOnWorker);
  ASSERT_TRUE(WaitUntil(AllThreadsEnded, 10000));
  EXPECT_STREQ(wl.wl_strError,
               "Resources from module files must be obtained with resObtainFromModule_t() "
               "function.");
  EXPECT_FALSE(InProcess(L"TestModule.dll"));
  EXPECT_FALSE(InStock("Bin/TestModule.module"));
}

TEST_F(Modules, TheModulesTypesRoundTripThroughSavedFiles)
{
  CModuleLoader ml;
  ASSERT_NE(ml.LoadModule("Bin/TestModule.module"), nullptr);
  HMODULE hModule = GetModuleHandleW(L"TestModule.dll");
  typedef CResource *(*NewThing)(const char *);
  typedef void (*Describe)(CResource *, CString *);
  NewThing pNewThing = (NewThing)(void *)GetProcAddress(hModule, "TestModule_NewThing");
  Describe pDescribe = (Describe)(void *)GetProcAddress(hModule, "TestModule_Describe");
  ASSERT_NE(pNewThing, nullptr);
  ASSERT_NE(pDescribe, nullptr);
  CDataType *pdtThing = mdFindByName("CTmThing");
  const std::string strExpected = "kept 2 [ 10 20 30 ] part 7 next neighbour 1 [ 10 20 30 ] part 7";

  const int bOldText = md_bSaveTextFiles;
  for (int bText = 0; bText < 2; bText++) {
    md_bSaveTextFiles = bText;
    const char *strFile = bText ? "Things/Text.rsc" : "Things/Binary.rsc";
    {
      CResourceFile *prf = new CResourceFile;
      prf->SetFileName(strFile);
      Ptr<CResource> prs = pNewThing("kept");
      prf->RegisterResource(prs);
      prs->SetName("Kept");
      CString strBefore;
      pDescribe(prs, &strBefore);
      EXPECT_EQ(std::string(strBefore), strExpected);
      EXPECT_EQ(ThrownBy([&] { prf->SaveFile_t(); }), "") << strFile;
      prs = nullptr;
      delete prf;
    }
    CResourceFile *prfLoaded = nullptr;
    ASSERT_EQ(ThrownBy([&] { prfLoaded = resObtainFileInternal_t(strFile); }), "") << strFile;
    Ptr<CResource> prs = resFindResourceByName(pdtThing, prfLoaded, "Kept");
    ASSERT_NE(prs, nullptr) << strFile;
    EXPECT_EQ(prs->mdGetDataType(), pdtThing);
    CString strAfter;
    pDescribe(prs, &strAfter);
    EXPECT_EQ(std::string(strAfter), strExpected) << strFile;
    // Content of the module's types goes before the module does.
    prs = nullptr;
    delete prfLoaded;
  }
  md_bSaveTextFiles = bOldText;
  ml.ReleaseAllModules();
  ExpectNothingLeftOf(L"TestModule.dll", "Bin/TestModule.module");
}
