#include "TestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

using namespace QuennelEngine;
using namespace QuennelEngine::Test;

namespace {

// Makes the test program's folder (where LoaderTestLibrary.dll is built) the root of soft paths.
class CRootAtProgram {
public:
  CRootAtProgram() : rap_strOldRoot(filGetSysRootDir())
  {
    CString strProgram = filSysGetModulePath();
    filSetSysRootDir(strGetHead(strProgram, strFindCharSB(strProgram, '\\') + 1));
  }
  ~CRootAtProgram() { filSetSysRootDir(rap_strOldRoot); }

private:
  CString rap_strOldRoot;
};

// Sets a recognisable process error mode and puts the old one back.
class CErrorMode {
public:
  CErrorMode() : em_uiOld(SetErrorMode(SEM_NOALIGNMENTFAULTEXCEPT)) {}
  ~CErrorMode() { SetErrorMode(em_uiOld); }
  static UINT Current(void) { return GetErrorMode(); }

private:
  UINT em_uiOld;
};

bool IsLibraryInProcess(void)
{
  return GetModuleHandleW(L"LoaderTestLibrary.dll") != nullptr;
}

} // namespace

TEST(DynamicLoader, OpensBySoftPathAndFindsSymbols)
{
  CRootAtProgram rap;
  CErrorMode em;
  ASSERT_FALSE(IsLibraryInProcess());
  {
    CDynamicLoader dl;
    EXPECT_FALSE(dl.IsLoaded());
    EXPECT_EQ(dl.GetSymbol_t("LoaderTestLibrary_Answer"),
              nullptr); // nothing open: no symbol, no throw
    ASSERT_EQ(ThrownBy([&] { dl.Open_t("LoaderTestLibrary.dll"); }), "");
    EXPECT_EQ(CErrorMode::Current(), (UINT)SEM_NOALIGNMENTFAULTEXCEPT);
    EXPECT_TRUE(dl.IsLoaded());
    EXPECT_TRUE(IsLibraryInProcess());
    EXPECT_EQ(dl.GetFunction_t<int (*)(void)>("LoaderTestLibrary_Answer")(), 42);
    EXPECT_EQ(*(int *)dl.GetSymbol_t("LoaderTestLibrary_iValue"), 7);
    EXPECT_EQ(ThrownBy([&] { dl.GetSymbol_t("LoaderTestLibrary_Missing"); }),
              "Symbol LoaderTestLibrary_Missing not found!");

    dl.Close();
    EXPECT_FALSE(dl.IsLoaded());
    EXPECT_FALSE(IsLibraryInProcess());
    EXPECT_EQ(dl.GetSymbol_t("LoaderTestLibrary_Answer"), nullptr);
    dl.Close(); // closing twice is harmless

    // An absolute soft path works too; destroying the loader unloads the library.
    CString strAbsolute = "$" + filGetSysRootDir() + "LoaderTestLibrary.dll";
    ASSERT_EQ(ThrownBy([&] { dl.Open_t(strAbsolute); }), "");
    EXPECT_TRUE(IsLibraryInProcess());
    // Opening again closes the first library: the process holds it once.
    ASSERT_EQ(ThrownBy([&] { dl.Open_t("LoaderTestLibrary.dll"); }), "");
  }
  EXPECT_FALSE(IsLibraryInProcess());
}

TEST(DynamicLoader, MissingLibrariesFailWithTheirNameAndNoDialog)
{
  CRootAtProgram rap;
  CErrorMode em;
  CDynamicLoader dl;
  EXPECT_EQ(ThrownBy([&] { dl.Open_t("Missing/NoSuchModule.dll"); }),
            "Dynamic module Missing/NoSuchModule.dll not found!");
  EXPECT_FALSE(dl.IsLoaded());
  EXPECT_EQ(CErrorMode::Current(), (UINT)SEM_NOALIGNMENTFAULTEXCEPT);
  EXPECT_EQ(ThrownBy([&] { dl.Open_t("$NoSuchSystemModule.dll"); }),
            "Dynamic module $NoSuchSystemModule.dll not found!");
  EXPECT_EQ(CErrorMode::Current(), (UINT)SEM_NOALIGNMENTFAULTEXCEPT);

  // A failed open leaves nothing open, not even what was open before.
  ASSERT_EQ(ThrownBy([&] { dl.Open_t("LoaderTestLibrary.dll"); }), "");
  EXPECT_NE(ThrownBy([&] { dl.Open_t("NoSuchModule.dll"); }), "");
  EXPECT_FALSE(dl.IsLoaded());
  EXPECT_FALSE(IsLibraryInProcess());
}

TEST(DynamicLoader, UnloadingReleasesTheLibrarysSectionNames)
{
  CRootAtProgram rap;
  int bOldShow = prf_bShowProfiler;
  prf_bShowProfiler = 1;
  typedef const char *(*EnterSection)(void);
  CDynamicLoader dl;
  ASSERT_EQ(ThrownBy([&] { dl.Open_t("LoaderTestLibrary.dll"); }), "");
  const char *strName = dl.GetFunction_t<EnterSection>("LoaderTestLibrary_EnterSection")();
  CProfileNode *ppnFirst = prfGetRootNode().GetSubNode(strName);
  EXPECT_STREQ(ppnFirst->GetName(), "LoaderTestLibrary.Section");
  EXPECT_EQ(ppnFirst->pn_ctCalls, 1);

  // Once the library is gone its literal's address means nothing: the node keeps its text and
  // figures, and the library loaded again (wherever its literal lands) gets a node of its own.
  dl.Close();
  EXPECT_NE(ppnFirst->pn_strName, strName);
  EXPECT_STREQ(ppnFirst->GetName(), "LoaderTestLibrary.Section");
  ASSERT_EQ(ThrownBy([&] { dl.Open_t("LoaderTestLibrary.dll"); }), "");
  const char *strNameAgain = dl.GetFunction_t<EnterSection>("LoaderTestLibrary_EnterSection")();
  CProfileNode *ppnSecond = prfGetRootNode().GetSubNode(strNameAgain);
  EXPECT_NE(ppnSecond, ppnFirst);
  EXPECT_EQ(ppnSecond->pn_ctCalls, 1);
  EXPECT_EQ(ppnFirst->pn_ctCalls, 1);
  dl.Close();
  EXPECT_EQ(prfGetCurrentNode(), &prfGetRootNode());
  prf_bShowProfiler = bOldShow;
}
