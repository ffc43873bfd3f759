// File types: the load and save lists, loading a file synchronously, and saving that replaces
// the old file only with a complete new one.
#include "MetaTestSupport.h"
#include "ResourceTestSupport.h"

using namespace QuennelEngine;
using namespace QuennelEngine::Test;

namespace {

class ResourceFileType : public ResourceTest {};

// A type with chosen priorities that takes nothing.
class CTsPriorityType : public CResourceFileType {
  MD_DECLARE_CLASS(CTsPriorityType)
  explicit CTsPriorityType(long iLoad = 0, long iSave = 0) : pt_iLoad(iLoad), pt_iSave(iSave)
  {
    Register();
  }
  long GetLoadPriority(void) override { return pt_iLoad; }
  long GetSavePriority(void) override { return pt_iSave; }
  int CanSaveFile(CResourceFile *) override { return 0; }
  void SaveFile_t(CResourceFile *) override {}
  int CanLoadFileName(const CString &) override { return 0; }
  int CanLoadStream_t(CStream *) override { return 0; }
  CResourceFile *LoadFile_t(CStream *) override { return nullptr; }
  long pt_iLoad, pt_iSave;
};

MD_CLASS_BEGIN(CTsPriorityType, CResourceFileType, 1)
MD_CLASS_END()

long IndexOf(const CDynamicContainer<CResourceFileType> &dc, CResourceFileType *prft)
{
  for (long i = 0; i < dc.Count(); i++) {
    if (dc.Pointer(i) == prft) return i;
  }
  return -1;
}

} // namespace

TEST_F(ResourceFileType, ListsAreSortedByPriorityAndTheMetadataTypeIsLast)
{
  const long ctBefore = resListLoadFileTypes().Count();
  // Core's two: the metadata type at the end of both lists.
  ASSERT_GE(ctBefore, 2);
  CResourceFileType *prftMeta = resListLoadFileTypes().Pointer(ctBefore - 1);
  EXPECT_EQ(prftMeta->GetLoadPriority(), (long)0x80000000UL);
  EXPECT_EQ(resListSaveFileTypes().Pointer(ctBefore - 1), prftMeta);
  {
    CTsPriorityType ptLow(-5, 50), ptHigh(50, -5), ptEqual(50, -5);
    CDynamicContainer<CResourceFileType> dcLoad = resListLoadFileTypes();
    CDynamicContainer<CResourceFileType> dcSave = resListSaveFileTypes();
    EXPECT_EQ(dcLoad.Count(), ctBefore + 3);
    EXPECT_LT(IndexOf(dcLoad, &ptHigh), IndexOf(dcLoad, &ptEqual));
    EXPECT_LT(IndexOf(dcLoad, &ptEqual), IndexOf(dcLoad, &ptLow));
    EXPECT_LT(IndexOf(dcSave, &ptLow), IndexOf(dcSave, &ptHigh));
    EXPECT_EQ(dcLoad.Pointer(dcLoad.Count() - 1), prftMeta);
  }
  EXPECT_EQ(resListLoadFileTypes().Count(), ctBefore);
  EXPECT_EQ(resListSaveFileTypes().Count(), ctBefore);
}

TEST_F(ResourceFileType, LoadingFindsTheTypeAndKeepsOneFilePerName)
{
  CTsFileType tft;
  WriteFile("Data/One.tst", "TSTFILE!rest");
  CResourceFile *prf = resObtainFileInternal_t("Data/One.tst");
  ASSERT_NE(prf, nullptr);
  EXPECT_STREQ(prf->GetFileName(), "Data/One.tst");
  EXPECT_EQ(tft.tft_ctLoads, 1);
  // From the stock the second time.
  EXPECT_EQ(resObtainFileInternal_t("Data/One.tst"), prf);
  EXPECT_EQ(tft.tft_ctLoads, 1);
  Ptr<CResource> prs =
      resObtainResourceFromModule_t(CTsResource::md_pdtDataType, "Data/One.tst", "");
  EXPECT_STREQ(prs->GetName(), "Main");
  EXPECT_EQ(resObtainResourceFromModule_t(nullptr, "Data/One.tst", "Main").Get(), prs.Get());
  EXPECT_EQ(ThrownBy([] { resObtainResourceFromModule_t(nullptr, "Data/One.tst", "Nope"); }),
            "No resource with name Nope in file Data/One.tst.");
  const std::string strWrong = ThrownBy(
      [] { resObtainResourceFromModule_t(CTsPart::md_pdtDataType, "Data/One.tst", "Main"); });
  EXPECT_EQ(strWrong.find("Resource Main in file Data/One.tst is CTsResource, expected CTsPart"),
            0u)
      << strWrong;
  prs = nullptr;
  CResourceFile *prfEmpty = new CResourceFile;
  prfEmpty->SetFileName("Data/Empty.tst");
  EXPECT_EQ(ThrownBy([] { resObtainResourceFromModule_t(nullptr, "Data/Empty.tst", nullptr); }),
            "No default resource in file Data/Empty.tst.");
  EXPECT_EQ(ThrownBy([] { resObtainFileInternal_t(""); }),
            "Can't obtain resource file without provided file name.");
}

TEST_F(ResourceFileType, AFileNoTypeTakesIsUnrecognized)
{
  CTsFileType tft;
  WriteFile("Data/Plain.tst", "NOTMETA!and more");
  WriteFile("Data/Short.rsc", "Quen");
  const std::string str = ThrownBy([] { resObtainFileInternal_t("Data/Plain.tst"); });
  EXPECT_NE(str.find("Unrecognized file type."), std::string::npos) << str;
  EXPECT_NE(ThrownBy([] { resObtainFileInternal_t("Data/Short.rsc"); }).find("Unrecognized"),
            std::string::npos);
  // A type that throws while it looks is reported and passed over.
  tft.tft_bThrowOnPeek = true;
  WriteFile("Data/Good.tst", "TSTFILE!");
  CConsoleLines cl;
  EXPECT_NE(ThrownBy([] { resObtainFileInternal_t("Data/Good.tst"); }).find("Unrecognized"),
            std::string::npos);
  EXPECT_TRUE(cl.Has("Peek failed"));
  // Metadata files are recognised by their first bytes, and then read as such.
  WriteFile("Data/Binary.rsc", "VQTNMETA....");
  WriteFile("Data/Text.rsc", "QuennelE text");
  EXPECT_EQ(ThrownBy([] { resObtainFileInternal_t("Data/Binary.rsc"); }),
            "Data/Binary.rsc: Wrong endianness cookie 2E2E2E2E.");
  EXPECT_NE(ThrownBy([] {
              resObtainFileInternal_t("Data/Text.rsc");
            }).find("This is not a metadata file."),
            std::string::npos);
  // A byte-order mark that a tool put before the text form does not hide it.
  WriteFile("Data/Marked.rsc", "\xEF\xBB\xBFQuennelE text");
  EXPECT_NE(ThrownBy([] {
              resObtainFileInternal_t("Data/Marked.rsc");
            }).find("This is not a metadata file."),
            std::string::npos);
  CString strResolved;
  EXPECT_EQ(resFindFileInStock("Data/Binary.rsc", strResolved), nullptr);
}

TEST_F(ResourceFileType, SavingRefusesBrokenFilesAndModules)
{
  CTsFileType tft;
  CResourceFile *prf = new CResourceFile;
  prf->SetFileName("Data/Broken.tst");
  prf->rf_ulFlags |= CResourceFile::RFF_REPLACEMENT;
  EXPECT_EQ(ThrownBy([&] { prf->SaveFile_t(); }),
            "Can't save 'Data/Broken.tst' file because it is was created as replacement for "
            "original file.\n");
  prf->rf_ulFlags |= CResourceFile::RFF_NOTLOADED;
  EXPECT_EQ(ThrownBy([&] { prf->SaveFile_t(); }),
            "Can't save 'Data/Broken.tst' file because it wasn't properly loaded.\n");
  EXPECT_FALSE(filExistsOnDisk("Data/Broken.tst"));

  CResourceFile *prfModule = new CResourceFile;
  prfModule->SetFileName("Bin/Game.module");
  EXPECT_EQ(ThrownBy([&] { prfModule->SaveFile_t(); }),
            "Bin/Game.module: Dynamic module files cannot be saved.");
  // Any other file goes to the metadata type.
  CResourceFile *prfMeta = new CResourceFile;
  prfMeta->SetFileName("Data/Some.rsc");
  EXPECT_EQ(ThrownBy([&] { prfMeta->SaveFile_t(); }), "");
  EXPECT_TRUE(filExistsOnDisk("Data/Some.rsc"));
  EXPECT_FALSE(filExistsOnDisk("Data/Some.rsc.saving"));
}

TEST_F(ResourceFileType, AFailedSaveLeavesTheOldFileIntact)
{
  CTsFileType tft;
  filCreateDirectoryPath("Data/");
  const std::string strOld = "TSTFILE!the old contents, byte for byte";
  WriteFile("Data/Keep.tst", strOld);
  CResourceFile *prf = new CResourceFile;
  prf->SetFileName("Data/Keep.tst");

  tft.tft_bFail = true;
  EXPECT_EQ(ThrownBy([&] { prf->SaveFile_t(); }), "Disk full");
  EXPECT_EQ(ReadFile("Data/Keep.tst"), strOld);
  EXPECT_FALSE(filExistsOnDisk("Data/Keep.tst.saving"));
  // The file time is that of the file on disk, failed or not.
  Time tmDisk;
  ASSERT_TRUE(filGetFileTimeOnDisk("Data/Keep.tst", tmDisk));
  EXPECT_EQ(prf->rf_tmFileTime, tmDisk);
  EXPECT_FALSE(prf->IsChangedExternally());

  tft.tft_bFail = false;
  tft.tft_strBody = "new";
  prf->SaveFile_t();
  EXPECT_EQ(ReadFile("Data/Keep.tst"), "TSTFILE!new");
  EXPECT_FALSE(filExistsOnDisk("Data/Keep.tst.saving"));
  EXPECT_STREQ(prf->GetSavePath(), "Data/Keep.tst");
  // A file that did not exist before is written whole too.
  CResourceFile *prfNew = new CResourceFile;
  prfNew->SetFileName("Data/New.tst");
  prfNew->SaveFile_t();
  EXPECT_EQ(ReadFile("Data/New.tst"), "TSTFILE!new");

  // Changed on disk behind the file's back.
  sysSleep(20);
  WriteFile("Data/Keep.tst", "TSTFILE!someone else");
  Time tm;
  filGetFileTimeOnDisk("Data/Keep.tst", tm);
  if (tm != prf->rf_tmFileTime) {
    EXPECT_TRUE(prf->IsChangedExternally());
  }
  prf->rf_tmFileTime = Time();
  EXPECT_FALSE(prf->IsChangedExternally());
}
