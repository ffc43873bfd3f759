#include "ResourceTestSupport.h"

#include <windows.h>

#include <string.h>

namespace QuennelEngine {
namespace Test {

ResourceCounts res_rcCounts = {0, 0};

MD_CLASS_BEGIN(CTsResource, CResource, 1)
MD_MEMBER(tr_pNext, 0, "Next")
MD_MEMBER(tr_pOwned, SMF_OWNED, "Owned")
MD_MEMBER(tr_iValue, 0, "Value")
MD_CLASS_END()

MD_CLASS_BEGIN(CTsPart, CObject, 1)
MD_MEMBER(tp_iValue, 0, "Value")
MD_CLASS_END()

MD_CLASS_BEGIN(CTsAbstract, CResource, 1)
MD_CLASS_END()

MD_CLASS_BEGIN(CTsConcreteA, CTsAbstract, 1)
MD_CLASS_END()

MD_CLASS_BEGIN(CTsConcreteB, CTsAbstract, 1)
MD_CLASS_END()

MD_CLASS_BEGIN(CTsFileType, CResourceFileType, 1)
MD_CLASS_END()

int CTsFileType::CanSaveFile(CResourceFile *prf)
{
  return CanLoadFileName(prf->GetFileName());
}

void CTsFileType::SaveFile_t(CResourceFile *prf)
{
  CStream strm;
  strm.OpenFile_t(prf->GetSavePath(), "w");
  strm.Write_t("TSTFILE!", 8);
  if (tft_bFail) {
    strm.Write_t("half", 4);
    ThrowFormat_t("Disk full");
  }
  strm.Write_t(tft_strBody.data(), (long)tft_strBody.size());
}

int CTsFileType::CanLoadFileName(const CString &strFileName)
{
  return strMatches(strFileName, "*.tst");
}

int CTsFileType::CanLoadStream_t(CStream *pstrm)
{
  if (tft_bThrowOnPeek) ThrowFormat_t("Peek failed");
  char ach[8];
  pstrm->Read_t(ach, 8); // reads ahead: the caller seeks back
  return memcmp(ach, "TSTFILE!", 8) == 0;
}

CResourceFile *CTsFileType::LoadFile_t(CStream *)
{
  tft_ctLoads++;
  CResourceFile *prf = new CResourceFile;
  CTsResource *prs = new CTsResource;
  prs->SetName("Main");
  prf->RegisterResource(prs);
  return prf;
}

void ResourceTest::SetUp()
{
  mdUpdateTypeTables();
  res_rcCounts = {0, 0};
  rt_ctFilesBefore = resListResourceFiles().Count();
  char strCwd[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, strCwd);
  rt_strOldRoot = filGetSysRootDir();
  CString strRoot = CString(strCwd) + "\\ResRoot\\";
  if (filIsSysDir(strRoot)) {
    CString strSoft = CString("$") + strRoot;
    strReplaceSubstrA(strSoft, "\\", "/");
    filDeleteDirectory_t(strSoft);
  }
  CreateDirectoryA(strRoot, nullptr);
  filSetSysRootDir(strRoot);
}

void ResourceTest::TearDown()
{
  // Proxies the test left hold what they loaded.
  resFreeUnusedProxies();
  // Files left by the test, newest first (a file may be another's alternative).
  CDynamicContainer<CResourceFile> dc = resListResourceFiles();
  for (long i = dc.Count() - 1; i >= rt_ctFilesBefore; i--) delete dc.Pointer(i);
  // Proxies that those files held are unreferenced now.
  resFreeUnusedProxies();
  EXPECT_EQ(resListResourceFiles().Count(), rt_ctFilesBefore);
  if (rt_bServices) {
    svcStopService(strConvertStringToID("Service.Resource"));
    svcStopService(strConvertStringToID("Service.ResourceBrowseInfo"));
  }
  EXPECT_EQ(res_rcCounts.Alive(), 0);
  CString strRoot = filGetSysRootDir();
  filSetSysRootDir(rt_strOldRoot);
  try {
    CString strSoft = CString("$") + strRoot;
    strReplaceSubstrA(strSoft, "\\", "/");
    filDeleteDirectory_t(strSoft);
  } catch (CException &) {
  }
}

void ResourceTest::StartServices(void)
{
  svcStartService(strConvertStringToID("Service.ResourceBrowseInfo"));
  svcStartService(strConvertStringToID("Service.Resource"));
  rt_bServices = true;
}

void ResourceTest::WriteFile(const char *strName, const std::string &str)
{
  CStream strm;
  strm.OpenFile_t(strName, "w");
  strm.Write_t(str.data(), (long)str.size());
}

std::string ResourceTest::ReadFile(const char *strName)
{
  CStream strm;
  strm.OpenFile_t(strName, "r");
  std::string str(strm.GetSize(), '\0');
  strm.Read_t(&str[0], (long)str.size());
  return str;
}

void StockTest::TearDown()
{
  resForgetStockState();
  ResourceTest::TearDown();
}

CResourceFile *StockTest::MakeStockFile(const char *strName, long ct)
{
  CResourceFile *prf = new CResourceFile;
  prf->SetFileName(strName);
  for (long i = 0; i < ct; i++) {
    CTsResource *prs = new CTsResource;
    prf->RegisterResource(prs);
    prs->SetName(strFormat("R%1", i + 1));
  }
  return prf;
}

bool InStock(const char *strName)
{
  CString strResolved;
  return resFindFileInStock(strName, strResolved) != nullptr;
}

} // namespace Test
} // namespace QuennelEngine
