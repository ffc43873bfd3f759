// Finalisation: which platforms a file is finalised for and the log lines of those it skips, the
// errors, copying by a file type that cannot finalise, metadata files finalised through a copy
// (the resources' own Finalize, edit data, names of referenced files), and that the source, the
// stock and the switches are as they were afterwards, also when the save throws.
#include "ResourceTestSupport.h"

#include <windows.h>

using namespace QuennelEngine;
using namespace QuennelEngine::Test;

namespace {

long _ctFinalized = 0;
long _ctPrecached = 0;
std::string _strFinalizedAs;

// A resource that finalisation changes: its value grows by 100 times the platform, and it drops
// the resource it holds in fr_pDropped (which then dies if nothing else holds it).
class CFinResource : public CResource {
  MD_DECLARE_CLASS(CFinResource)
  CFinResource() { CountConstruction(); }
  ~CFinResource() { CountDestruction(); }
  void Finalize(EPlatform pla, const char *strFileName) override
  {
    _ctFinalized++;
    _strFinalizedAs = strFileName;
    fr_iValue += 100 * (long)pla;
    fr_pDropped = nullptr;
  }
  void PrecacheData(void) override { _ctPrecached++; }
  long fr_iValue = 0;
  long fr_iEditValue = -1;
  Ptr<CResource> fr_pDropped;
};

MD_CLASS_BEGIN(CFinResource, CResource, 1)
MD_MEMBER(fr_iValue, 0, "Value")
MD_MEMBER(fr_iEditValue, SMF_EDIT, "Edit value")
MD_MEMBER(fr_pDropped, 0, "Dropped")
MD_CLASS_END()

// Saves nothing: it takes the generated files named "*.fail", notes the switches the save sees,
// and throws.
class CFailingSaveType : public CResourceFileType {
  MD_DECLARE_CLASS(CFailingSaveType)
  CFailingSaveType() { Register(); }
  long GetSavePriority(void) override { return 20; }
  int CanSaveFile(CResourceFile *prf) override
  {
    return strMatches(prf->GetFileName(), "GenContent/*.fail");
  }
  void SaveFile_t(CResourceFile *) override
  {
    fst_iPlatform = md_plaTargetPlatformForSaving;
    fst_bDiscard = md_bDiscardEditData;
    fst_bPrecaching = md_bPrecaching;
    ThrowFormat_t("Disk full");
  }
  int CanLoadFileName(const CString &) override { return 0; }
  int CanLoadStream_t(CStream *) override { return 0; }
  CResourceFile *LoadFile_t(CStream *) override { return nullptr; }

  int fst_iPlatform = 0;
  int fst_bDiscard = 0;
  int fst_bPrecaching = 0;
};

MD_CLASS_BEGIN(CFailingSaveType, CResourceFileType, 1)
MD_CLASS_END()

// The switches finalisation sets for a while, as they were when it was made; the editor switch,
// which tests set, is put back too.
class CSwitchesKept {
public:
  CSwitchesKept()
      : sk_bInEditor(md_bInEditor), sk_bDiscard(md_bDiscardEditData),
        sk_bPrecaching(md_bPrecaching), sk_iPlatform(md_plaTargetPlatformForSaving)
  {
  }
  ~CSwitchesKept()
  {
    md_bInEditor = sk_bInEditor;
    md_bDiscardEditData = sk_bDiscard;
    md_bPrecaching = sk_bPrecaching;
    md_plaTargetPlatformForSaving = sk_iPlatform;
  }
  bool Unchanged() const
  {
    return md_bDiscardEditData == sk_bDiscard && md_bPrecaching == sk_bPrecaching &&
           md_plaTargetPlatformForSaving == sk_iPlatform;
  }

private:
  int sk_bInEditor;
  int sk_bDiscard;
  int sk_bPrecaching;
  int sk_iPlatform;
};

class Finalize : public ResourceTest {
protected:
  void SetUp() override
  {
    ResourceTest::SetUp();
    _ctFinalized = 0;
    _ctPrecached = 0;
    _strFinalizedAs.clear();
  }
  CSwitchesKept f_sk;
};

// Sets the file's last write time `iSeconds` from now (negative: in the past).
void SetFileTimeFromNow(const char *strSoft, long iSeconds)
{
  HANDLE h = CreateFileA(filSoftToHardPath(strSoft), FILE_WRITE_ATTRIBUTES,
                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE) << strSoft;
  FILETIME ft;
  GetSystemTimeAsFileTime(&ft);
  ULARGE_INTEGER ul;
  ul.LowPart = ft.dwLowDateTime;
  ul.HighPart = ft.dwHighDateTime;
  ul.QuadPart += (__int64)iSeconds * 10000000;
  ft.dwLowDateTime = ul.LowPart;
  ft.dwHighDateTime = ul.HighPart;
  EXPECT_TRUE(SetFileTime(h, nullptr, nullptr, &ft));
  CloseHandle(h);
}

// A metadata file of CFinResources valued 1, 2, ... (the first is the default), saved and left in
// the stock.
CResourceFile *SaveFinFile(const char *strName, long ct)
{
  CResourceFile *prf = new CResourceFile;
  prf->SetFileName(strName);
  for (long i = 0; i < ct; i++) {
    CFinResource *prs = new CFinResource;
    prs->fr_iValue = i + 1;
    prf->RegisterResource(prs);
  }
  prf->SaveFile_t();
  return prf;
}

CFinResource *FinOf(CResourceFile *prf, long iID)
{
  Ptr<CResource> prs = prf->FindResourceByID(iID);
  return static_cast<CFinResource *>((CResource *)prs);
}

} // namespace

TEST_F(Finalize, MissingGeneratedAndReplacedFilesAreRefused)
{
  EXPECT_EQ(ThrownBy([] { resFinalizeFile_t("Data/None.rsc", PLA_ALL); }),
            "Cannot finalize 'Data/None.rsc', file does not exist.");
  EXPECT_TRUE(f_sk.Unchanged());
  WriteFile("GenContent/PC/Data/Box.rsc", "anything");
  EXPECT_EQ(ThrownBy([] { resFinalizeFile_t("GenContent/PC/Data/Box.rsc", PLA_PC); }),
            "Cannot finalize 'GenContent/PC/Data/Box.rsc', because it is a generated file.");
  EXPECT_TRUE(f_sk.Unchanged());

  // The replace history sends the old name to another file: finalising it under the old name
  // would write the other file's content there.
  delete SaveFinFile("Data/New.rsc", 1);
  WriteFile("Data/Old.rsc", "the file before it moved");
  CStream strm;
  const char strHistory[] = "Data/Old.rsc Data/New.rsc\n";
  strm.CreateMemoryStream_t(strHistory, sizeof(strHistory) - 1);
  filLoadReplaceHistory_t(strm);
  const std::string strReplaced = ThrownBy([] { resFinalizeFile_t("Data/Old.rsc", PLA_PC); });
  filClearReplaceHistory();
  EXPECT_EQ(strReplaced,
            "Cannot finalize 'Data/Old.rsc', because it is replaced with 'Data/New.rsc'.");
  EXPECT_FALSE(filExists("GenContent/PC/Data/Old.rsc"));
  EXPECT_TRUE(f_sk.Unchanged());
}

TEST_F(Finalize, PlatformsNamedInTheFileOrWithACustomFileAreSkipped)
{
  CTsFileType tft;
  WriteFile("Data/Box.Xbox.tst", "TSTFILE!for the Xbox");
  {
    CConsoleLines cl;
    EXPECT_EQ(resFinalizeFile_t("Data/Box.Xbox.tst", PLA_PC), 0);
    EXPECT_TRUE(cl.Has("Not finalizing 'Data/Box.Xbox.tst', it is targeted for platform '.Xbox', "
                       "not 'PC'."))
        << cl.Text();
    EXPECT_FALSE(cl.Has("Finalizing"));
  }
  // For its own platform it goes without the suffix.
  EXPECT_EQ(resFinalizeFile_t("Data/Box.Xbox.tst", PLA_ALL), 1);
  EXPECT_EQ(ReadFile("GenContent/Xbox/Data/Box.tst"), "TSTFILE!for the Xbox");
  EXPECT_FALSE(filExists("GenContent/PC/Data/Box.tst"));

  WriteFile("Data/Crate.tst", "TSTFILE!everywhere");
  WriteFile("Data/Crate.PC.tst", "TSTFILE!made for the PC");
  CConsoleLines cl;
  EXPECT_EQ(resFinalizeFile_t("Data/Crate.tst", PLA_ALL), 1);
  EXPECT_TRUE(cl.Has("Not finalizing 'Data/Crate.tst' for platform 'PC', because a custom file "
                     "'Data/Crate.PC.tst' exists."))
      << cl.Text();
  EXPECT_TRUE(cl.Has("Finalizing 'Data/Crate.tst' for 'Xbox'.\n")) << cl.Text();
  EXPECT_FALSE(filExists("GenContent/PC/Data/Crate.tst"));
  EXPECT_EQ(ReadFile("GenContent/Xbox/Data/Crate.tst"), "TSTFILE!everywhere");
  // The mask limits the platforms.
  EXPECT_EQ(resFinalizeFile_t("Data/Crate.tst", PLA_PC), 0);
}

TEST_F(Finalize, AGeneratedCopyNewerThanItsSourceIsUpToDate)
{
  CTsFileType tft;
  WriteFile("Data/Box.tst", "TSTFILE!source");
  WriteFile("GenContent/PC/Data/Box.tst", "TSTFILE!generated");
  SetFileTimeFromNow("Data/Box.tst", -100);
  {
    CConsoleLines cl;
    EXPECT_EQ(resFinalizeFile_t("Data/Box.tst", PLA_PC), 0);
    EXPECT_TRUE(cl.Has("Skipping finalization of 'Data/Box.tst' for 'PC', because "
                       "'GenContent/PC/Data/Box.tst' is up to date.\n"))
        << cl.Text();
  }
  EXPECT_EQ(ReadFile("GenContent/PC/Data/Box.tst"), "TSTFILE!generated");
  // Only the platforms that are out of date are done.
  {
    CConsoleLines cl;
    EXPECT_EQ(resFinalizeFile_t("Data/Box.tst", PLA_ALL), 1);
    EXPECT_TRUE(cl.Has("Finalizing 'Data/Box.tst' for 'Xbox'.\n")) << cl.Text();
  }
  // A source changed after its copy was made is finalised again.
  SetFileTimeFromNow("Data/Box.tst", 100);
  EXPECT_EQ(resFinalizeFile_t("Data/Box.tst", PLA_PC), 1);
  EXPECT_EQ(ReadFile("GenContent/PC/Data/Box.tst"), "TSTFILE!source");

  // An Xbox ".ogg" is checked against its ".wma" copy; the source has no ".wma" of its own, so
  // the ".ogg" itself is the one compared.
  delete SaveFinFile("Sounds/Boom.ogg", 1);
  WriteFile("GenContent/Xbox/Sounds/Boom.wma", "converted");
  SetFileTimeFromNow("Sounds/Boom.ogg", -100);
  {
    CConsoleLines cl;
    EXPECT_EQ(resFinalizeFile_t("Sounds/Boom.ogg", PLA_XBOX), 0);
    EXPECT_TRUE(cl.Has("because 'GenContent/Xbox/Sounds/Boom.wma' is up to date.")) << cl.Text();
  }
  SetFileTimeFromNow("Sounds/Boom.ogg", 100);
  EXPECT_EQ(resFinalizeFile_t("Sounds/Boom.ogg", PLA_XBOX), 1);
  EXPECT_TRUE(filExists("GenContent/Xbox/Sounds/Boom.ogg"));
}

TEST_F(Finalize, ATypeWithoutFinalisationCopiesTheFileInBlocks)
{
  CTsFileType tft;
  // More than two blocks of 64 KB and a part of one.
  std::string str = "TSTFILE!";
  for (long i = 0; str.size() < 0x10000 * 2 + 1234; i++) str += (char)('a' + i % 23);
  WriteFile("Data/Big.tst", str);
  CConsoleLines cl;
  EXPECT_EQ(resFinalizeFile_t("Data/Big.tst", PLA_ALL), 1);
  EXPECT_TRUE(cl.Has("Finalizing 'Data/Big.tst' for 'PC Xbox'.\n")) << cl.Text();
  EXPECT_TRUE(cl.Has("Copying 'Data/Big.tst' into 'GenContent/PC/Data/Big.tst' because its "
                     "resource file type does not support finalization.\n"))
      << cl.Text();
  EXPECT_EQ(ReadFile("GenContent/PC/Data/Big.tst"), str);
  EXPECT_EQ(ReadFile("GenContent/Xbox/Data/Big.tst"), str);
}

TEST_F(Finalize, WithoutASaveTypeNothingIsFinalized)
{
  CResourceFile *prf = SaveFinFile("Data/Box.rsc", 1);
  CDynamicContainer<CResourceFileType> dcTypes = resListSaveFileTypes();
  for (CResourceFileType *prft : dcTypes) prft->Unregister();
  const std::string str = ThrownBy([] { resFinalizeFile_t("Data/Box.rsc", PLA_PC); });
  for (CResourceFileType *prft : dcTypes) prft->Register();
  EXPECT_EQ(str, "Cannot finalize 'Data/Box.rsc', no resource file type found that can save "
                 "that kind of resource.");
  EXPECT_EQ(resListSaveFileTypes().Count(), dcTypes.Count());
  EXPECT_FALSE(filExists("GenContent/PC/Data/Box.rsc"));
  EXPECT_EQ(prf->rf_saShared.Count(), 1);
}

TEST_F(Finalize, AMetadataFileIsFinalizedThroughACopyOfIt)
{
  // 1 is the default; 2 holds 4, which nothing else holds, so 2's Finalize deletes 4 in the copy
  // before its turn comes; 3 is a plain resource.
  CResourceFile *prf = new CResourceFile;
  prf->SetFileName("Data/Box.rsc");
  for (long i = 0; i < 3; i++) {
    CFinResource *prs = new CFinResource;
    prs->fr_iValue = i + 1;
    prf->RegisterResource(prs);
  }
  CFinResource *prsHeld = new CFinResource;
  prsHeld->fr_iValue = 4;
  FinOf(prf, 2)->fr_pDropped = prsHeld;
  prf->SaveFile_t();
  delete prf;
  const std::string strSaved = ReadFile("Data/Box.rsc");

  // Loaded by finalisation, with precaching off.
  const long ctFiles = resListResourceFiles().Count();
  CConsoleLines cl;
  EXPECT_EQ(resFinalizeFile_t("Data/Box.rsc", PLA_ALL), 1);
  EXPECT_TRUE(cl.Has("Finalizing 'Data/Box.rsc' for 'PC Xbox'.\n")) << cl.Text();
  EXPECT_FALSE(cl.Has("Copying"));
  EXPECT_EQ(_ctPrecached, 0);
  EXPECT_TRUE(f_sk.Unchanged());
  // Three resources per platform; the deleted one is passed over.
  EXPECT_EQ(_ctFinalized, 6);
  EXPECT_EQ(_strFinalizedAs, "Data/Box.rsc");

  // The source: loaded into the stock once, as it is on disk, and nothing more.
  EXPECT_EQ(resListResourceFiles().Count(), ctFiles + 1);
  CString strResolved;
  CResourceFile *prfSource = resFindFileInStock("Data/Box.rsc", strResolved);
  ASSERT_NE(prfSource, nullptr);
  EXPECT_STREQ(prfSource->GetFileName(), "Data/Box.rsc");
  EXPECT_EQ(FinOf(prfSource, 1)->fr_iValue, 1);
  EXPECT_NE((CResource *)FinOf(prfSource, 2)->fr_pDropped, nullptr);
  EXPECT_EQ(resFindFileInStock("GenContent/PC/Data/Box.rsc", strResolved), nullptr);
  EXPECT_EQ(resFindFileInStock("GenContent/Xbox/Data/Box.rsc", strResolved), nullptr);
  EXPECT_EQ(ReadFile("Data/Box.rsc"), strSaved);

  for (EPlatform pla : corContentPlatformsEnumerate()) {
    const CString strTarget =
        CString("GenContent/") + corContentPlatformToName(pla) + "/Data/Box.rsc";
    CResourceFile *prfTarget = resObtainFileInternal_t(strTarget);
    ASSERT_EQ(prfTarget->rf_saShared.Count(), 3) << strTarget;
    for (long iID = 1; iID <= 3; iID++) {
      EXPECT_EQ(FinOf(prfTarget, iID)->fr_iValue, 100 * pla + iID) << strTarget;
    }
    EXPECT_EQ((CResource *)FinOf(prfTarget, 2)->fr_pDropped, nullptr);
  }
}

TEST_F(Finalize, TheSourceKeepsItsUnsavedChangesAndStockEntry)
{
  CResourceFile *prf = SaveFinFile("Data/Box.rsc", 2);
  FinOf(prf, 2)->fr_iValue = 20;
  FinOf(prf, 2)->MarkChanged(5);
  const long ctFiles = resListResourceFiles().Count();
  EXPECT_EQ(resFinalizeFile_t("Data/Box.rsc", PLA_PC), 1);
  // The unsaved state of the file in memory is what was finalised; it is still unsaved.
  EXPECT_EQ(FinOf(prf, 2)->GetChangeCount(), 5);
  EXPECT_TRUE(prf->IsChanged());
  EXPECT_EQ(FinOf(prf, 2)->fr_iValue, 20);
  EXPECT_EQ(resListResourceFiles().Count(), ctFiles);
  CString strResolved;
  EXPECT_EQ(resFindFileInStock("Data/Box.rsc", strResolved), prf);
  CResourceFile *prfTarget = resObtainFileInternal_t("GenContent/PC/Data/Box.rsc");
  EXPECT_EQ(FinOf(prfTarget, 2)->fr_iValue, 120);
}

TEST_F(Finalize, EditDataStaysOnlyInWorldsForThePC)
{
  md_bInEditor = 1;
  CResourceFile *prfWorld = new CResourceFile;
  prfWorld->SetFileName("Levels/One.wld");
  CFinResource *prs = new CFinResource;
  prs->fr_iEditValue = 7;
  prfWorld->RegisterResource(prs);
  prfWorld->SaveFile_t();
  CResourceFile *prfBox = SaveFinFile("Data/Box.rsc", 1);
  FinOf(prfBox, 1)->fr_iEditValue = 8;
  prfBox->SaveFile_t();

  EXPECT_EQ(resFinalizeFile_t("Levels/One.wld", PLA_ALL), 1);
  EXPECT_EQ(resFinalizeFile_t("Data/Box.rsc", PLA_PC), 1);
  EXPECT_TRUE(f_sk.Unchanged());
  EXPECT_EQ(FinOf(resObtainFileInternal_t("GenContent/PC/Levels/One.wld"), 1)->fr_iEditValue, 7);
  EXPECT_EQ(FinOf(resObtainFileInternal_t("GenContent/Xbox/Levels/One.wld"), 1)->fr_iEditValue, -1);
  EXPECT_EQ(FinOf(resObtainFileInternal_t("GenContent/PC/Data/Box.rsc"), 1)->fr_iEditValue, -1);
}

TEST_F(Finalize, SavingForXboxNamesReferencedOggFilesAsWma)
{
  // Ordinary saves name files as they are.
  EXPECT_EQ(md_plaTargetPlatformForSaving, -1);
  CResourceFile *prfSound = SaveFinFile("Sounds/Boom.ogg", 1);
  CResourceFile *prfLevel = SaveFinFile("Data/Level.rsc", 1);
  FinOf(prfLevel, 1)->fr_pDropped = FinOf(prfSound, 1);
  prfLevel->SaveFile_t();
  EXPECT_NE(ReadFile("Data/Level.rsc").find("Sounds/Boom.ogg"), std::string::npos);

  md_plaTargetPlatformForSaving = PLA_XBOX;
  prfLevel->SaveFile_t();
  md_plaTargetPlatformForSaving = -1;
  const std::string strXbox = ReadFile("Data/Level.rsc");
  EXPECT_NE(strXbox.find("Sounds/Boom.wma"), std::string::npos);
  EXPECT_EQ(strXbox.find("Boom.ogg"), std::string::npos);
}

TEST_F(Finalize, SwitchesAreRestoredWhenTheSaveThrows)
{
  CFailingSaveType fst;
  md_bInEditor = 1;
  CResourceFile *prf = SaveFinFile("Data/Box.fail", 2);
  FinOf(prf, 1)->MarkChanged(3);
  const long ctFiles = resListResourceFiles().Count();
  EXPECT_EQ(ThrownBy([] { resFinalizeFile_t("Data/Box.fail", PLA_XBOX); }), "Disk full");
  // What the save saw, and what is back afterwards.
  EXPECT_EQ(fst.fst_iPlatform, PLA_XBOX);
  EXPECT_EQ(fst.fst_bDiscard, 1);
  EXPECT_EQ(fst.fst_bPrecaching, 0);
  EXPECT_TRUE(f_sk.Unchanged());
  // The copy is gone; the source is as it was.
  EXPECT_EQ(resListResourceFiles().Count(), ctFiles);
  CString strResolved;
  EXPECT_EQ(resFindFileInStock("GenContent/Xbox/Data/Box.fail", strResolved), nullptr);
  EXPECT_EQ(resFindFileInStock("Data/Box.fail", strResolved), prf);
  EXPECT_EQ(FinOf(prf, 1)->GetChangeCount(), 3);
  EXPECT_EQ(FinOf(prf, 1)->fr_iValue, 1);
  EXPECT_FALSE(filExists("GenContent/Xbox/Data/Box.fail"));
}

TEST_F(Finalize, ThePlatformEnumerationNamesThePlatformsAsTheHelpersDo)
{
  CDataType *pdt = mdFindByName(strConvertStringToID("EPlatform"));
  ASSERT_NE(pdt, nullptr);
  ASSERT_EQ(pdt->dt_dttKind, DTT_VALUEFIELD);
  const CDataType_ValueField *pdtvf = static_cast<const CDataType_ValueField *>(pdt);
  CStaticStackArray<EPlatform> saPlatforms = corContentPlatformsEnumerate();
  EXPECT_EQ(pdtvf->dtvf_ctEntries, saPlatforms.Count());
  for (EPlatform pla : saPlatforms) {
    const CDataType_ValueFieldEntry *pvfe = pdtvf->FindValue(pla);
    ASSERT_NE(pvfe, nullptr) << pla;
    EXPECT_STREQ(pvfe->vfe_strName, corContentPlatformToName(pla));
    EXPECT_EQ(corContentPlatformFromName(pvfe->vfe_strName), pla);
  }
}
