// Resource files: IDs, names, exposure, lookups, the stock and its name index.
#include "MetaTestSupport.h"
#include "ResourceTestSupport.h"

using namespace QuennelEngine;
using namespace QuennelEngine::Test;

namespace {

class ResourceFile : public ResourceTest {};

CTsResource *NewShared(CResourceFile *prf, long iDesired = -1, const char *strName = nullptr)
{
  CTsResource *prs = new CTsResource;
  if (strName != nullptr) prs->SetName(strName);
  prf->RegisterResource(prs, iDesired);
  return prs;
}

} // namespace

TEST_F(ResourceFile, IDsFromOneThenDesiredThenTaken)
{
  CResourceFile *prf = new CResourceFile;
  CTsResource *prs1 = NewShared(prf);
  CTsResource *prs2 = NewShared(prf);
  CTsResource *prs3 = NewShared(prf);
  EXPECT_EQ(prs1->rs_iID, 1);
  EXPECT_EQ(prs2->rs_iID, 2);
  EXPECT_EQ(prs3->rs_iID, 3);
  EXPECT_EQ(prs3->tr_ctPostRegister, 1);
  EXPECT_TRUE(prs1->IsShared());
  EXPECT_EQ(prs1->GetResourceFile(), prf);

  CTsResource *prs10 = NewShared(prf, 10);
  EXPECT_EQ(prs10->rs_iID, 10);
  EXPECT_EQ(prf->rf_iNextID, 11);
  {
    CConsoleLines cl;
    CTsResource *prsAgain = NewShared(prf, 10);
    EXPECT_EQ(prsAgain->rs_iID, 11);
    EXPECT_TRUE(cl.Has("Can't assign desired ID '10' to resource because it is already used."));
  }
  EXPECT_EQ(prf->rf_iNextID, 12);
  // Its own ID is not taken by itself: registering again under it keeps it, silently.
  {
    CConsoleLines cl;
    prf->RegisterResource(prs10, 10);
    EXPECT_EQ(prs10->rs_iID, 10);
    EXPECT_FALSE(cl.Has("Can't assign"));
    EXPECT_EQ(prf->GetAllResources().Count(), 5);
  }
  // A desired ID below the next leaves the next ID alone.
  CTsResource *prs5 = NewShared(prf, 5);
  EXPECT_EQ(prs5->rs_iID, 5);
  EXPECT_EQ(prf->rf_iNextID, 12);
  delete prf;
}

TEST_F(ResourceFile, RegisteringAnotherFilesResourceIsRefused)
{
  CResourceFile *prfA = new CResourceFile;
  CResourceFile *prfB = new CResourceFile;
  CTsResource *prs = NewShared(prfA);
  CGuardBreachCounter gbc;
  prfB->RegisterResource(prs, -1);
  EXPECT_EQ(gbc.Count(), 1);
  EXPECT_EQ(prs->rs_pFile, prfA);
  EXPECT_EQ(prfB->GetAllResources().Count(), 0);
  resRegisterResource(nullptr, prs);
  resRegisterResource(prfB, nullptr);
  EXPECT_EQ(gbc.Count(), 3);
  delete prfB;
  delete prfA;
}

TEST_F(ResourceFile, ModuleResourcesAndTheDefault)
{
  CResourceFile *prf = new CResourceFile;
  CTsResource *prsBeacon = new CTsResource;
  prf->RegisterModuleResource(7, "Beacon", prsBeacon);
  EXPECT_EQ(prsBeacon->rs_iID, 7);
  EXPECT_STREQ(prsBeacon->GetName(), "Beacon");
  EXPECT_EQ(prf->rf_iDefaultID, 7);
  EXPECT_EQ(prf->rf_iNextID, 1);
  EXPECT_EQ(prsBeacon->tr_ctPostRegister, 0);
  EXPECT_TRUE(prsBeacon->IsDefault());
  CTsResource *prsOther = new CTsResource;
  prf->RegisterModuleResource(8, "Other", prsOther);
  EXPECT_EQ(prf->rf_iDefaultID, 7);
  EXPECT_FALSE(prsOther->IsDefault());

  prf->SetDefaultResource(prsOther);
  EXPECT_TRUE(prsOther->IsDefault());
  CGuardBreachCounter gbc;
  CTsResource *prsFree = new CTsResource;
  prf->SetDefaultResource(prsFree);
  EXPECT_EQ(gbc.Count(), 1);
  EXPECT_EQ(prf->rf_iDefaultID, 8);
  delete prsFree;
  EXPECT_EQ(prf->FindDefaultResource().Get(), prsOther);
  delete prf;
}

TEST_F(ResourceFile, ExposingNumbersFromMinusTwoAndAgainAfterExposeAll)
{
  CResourceFile *prf = new CResourceFile;
  CTsResource *prsOuter = NewShared(prf, -1, "Outer");
  CTsResource *prsInnerA = new CTsResource;
  CTsResource *prsInnerB = new CTsResource;
  prsOuter->tr_pNext = prsInnerA;
  prsInnerA->tr_pNext = prsInnerB;

  prf->ExposeResource(prsInnerA);
  EXPECT_EQ(prsInnerA->rs_iExposedID, -2);
  EXPECT_TRUE(prsInnerA->IsExposed());
  EXPECT_EQ(prsInnerA->GetStorageResourceFile(), prf);
  EXPECT_EQ(prf->FindResourceByID(-2).Get(), prsInnerA);
  // Names are looked up among the shared resources only.
  prsInnerA->SetName("Inner");
  EXPECT_EQ(prf->FindResourceByName("Inner").Get(), nullptr);
  EXPECT_EQ(prf->FindResourceByName("Outer").Get(), prsOuter);

  {
    CConsoleLines cl;
    resExposeAllResources(prf);
    EXPECT_TRUE(cl.Has("2 resources exposed from"));
  }
  EXPECT_EQ(prf->rf_saExposed.Count(), 2);
  EXPECT_EQ(prsInnerA->rs_iExposedID, -2);
  EXPECT_EQ(prsInnerB->rs_iExposedID, -3);
  EXPECT_EQ(prf->FindResourceByID(-3).Get(), prsInnerB);

  resConcealAllResources(prf);
  EXPECT_EQ(prsInnerA->rs_iExposedID, -1);
  EXPECT_EQ(prf->rf_saExposed.Count(), 0);
  // The storage file stays.
  EXPECT_EQ(prsInnerA->rs_pStorageFile, prf);
  EXPECT_EQ(prf->FindResourceByID(-2).Get(), nullptr);
  delete prf;
}

TEST_F(ResourceFile, ExposureContractsAreGuarded)
{
  CResourceFile *prfA = new CResourceFile;
  CResourceFile *prfB = new CResourceFile;
  CTsResource *prsShared = NewShared(prfA);
  Ptr<CTsResource> prsFree = new CTsResource;
  CGuardBreachCounter gbc;
  prfA->ExposeResource(prsShared); // shared
  EXPECT_EQ(gbc.Count(), 1);
  prfA->ExposeResource(prsFree);
  prfA->ExposeResource(prsFree); // already exposed
  EXPECT_EQ(gbc.Count(), 2);
  prfB->ConcealResource(prsFree); // another file's
  EXPECT_EQ(gbc.Count(), 3);
  prfA->ConcealResource(prsFree);
  prfA->ConcealResource(prsFree); // not exposed
  EXPECT_EQ(gbc.Count(), 4);
  prfB->ExposeResource(prsFree); // its storage file is the first file
  EXPECT_EQ(gbc.Count(), 5);
  EXPECT_EQ(prsFree->rs_iExposedID, -1);
  // Registering an exposed resource conceals it first.
  prfA->ExposeResource(prsFree);
  prfA->RegisterResource(prsFree, -1);
  EXPECT_EQ(prfA->rf_saExposed.Count(), 0);
  EXPECT_TRUE(prsFree->IsShared());
  EXPECT_EQ(gbc.Count(), 5);
  prsFree = nullptr;
  delete prfB;
  delete prfA;
}

TEST_F(ResourceFile, LookupsByIDGoToTheAlternativeBeforeTheExposed)
{
  CResourceFile *prf = new CResourceFile;
  CResourceFile *prfAlt = new CResourceFile;
  prf->SetAlternativeFile(prfAlt);
  CTsResource *prsHere = NewShared(prf, -1, "Same");
  CTsResource *prsThere = NewShared(prfAlt, 5, "Same");
  CTsResource *prsOnlyThere = NewShared(prfAlt, 6, "Only");
  EXPECT_EQ(prf->FindResourceByID(1).Get(), prsHere);
  EXPECT_EQ(prf->FindResourceByID(5).Get(), prsThere);
  EXPECT_EQ(prf->FindResourceByName("Same").Get(), prsHere);
  EXPECT_EQ(prf->FindResourceByName("Only").Get(), prsOnlyThere);
  EXPECT_EQ(prf->FindResourceByID(99).Get(), nullptr);
  // Lookups add a reference that the Ptr gives back.
  {
    Ptr<CResource> ptr = prf->FindResourceByID(1);
    EXPECT_EQ(prsHere->GetReferenceCount(), 1);
  }
  EXPECT_EQ(prsHere->GetReferenceCount(), 0);
  // Typed lookups acquire and check the type; an empty name is the default resource.
  EXPECT_EQ(resFindResourceByID(CTsResource::md_pdtDataType, prf, 1).Get(), prsHere);
  EXPECT_EQ(resFindResourceByID(CTsPart::md_pdtDataType, prf, 1).Get(), nullptr);
  EXPECT_EQ(resFindResourceByName(CResource::md_pdtDataType, prf, "").Get(), prsHere);
  EXPECT_EQ(resFindResourceByName(CResource::md_pdtDataType, prf, nullptr).Get(), prsHere);
  // The alternative goes when its file goes.
  delete prfAlt;
  EXPECT_EQ(prf->rf_pAlternativeFile, nullptr);
  EXPECT_EQ(prf->FindResourceByID(5).Get(), nullptr);
  delete prf;
}

TEST_F(ResourceFile, RenamingToATakenNameKeepsTheOld)
{
  CResourceFile *prf = new CResourceFile;
  prf->SetFileName("Data/Names.tst");
  CTsResource *prsA = NewShared(prf, -1, "A");
  CTsResource *prsB = NewShared(prf, -1, "B");
  CConsoleLines cl;
  prsB->SetName("A");
  EXPECT_STREQ(prsB->GetName(), "B");
  EXPECT_TRUE(cl.Has("Resource named A already exists in file Data/Names.tst."));
  // The search includes the resource itself.
  {
    CConsoleLines clOwn;
    prsA->SetName("A");
    EXPECT_TRUE(clOwn.Has("Resource named A already exists"));
  }
  prsB->SetName("C");
  EXPECT_STREQ(prsB->GetName(), "C");
  // A free resource takes any name.
  Ptr<CTsResource> prsFree = new CTsResource;
  prsFree->SetName("A");
  EXPECT_STREQ(prsFree->GetName(), "A");
  delete prf;
}

TEST_F(ResourceFile, TheStockFollowsNamesAndLifetimes)
{
  const long ctBefore = resListResourceFiles().Count();
  CResourceFile *prfA = new CResourceFile;
  CResourceFile *prfB = new CResourceFile;
  EXPECT_EQ(resListResourceFiles().Count(), ctBefore + 2);
  prfA->SetFileName("Data/First.tst");
  prfB->SetFileName("Data/Second.tst");
  CString strResolved;
  EXPECT_EQ(resFindFileInStock("Data/First.tst", strResolved), prfA);
  EXPECT_STREQ(strResolved, "Data/First.tst");
  // Names compare without regard to case, as paths do.
  EXPECT_EQ(resFindFileInStock("data/second.TST", strResolved), prfB);
  // Renaming moves the entry and forgets the file time; the list keeps insertion order.
  prfA->rf_tmFileTime = Time((__int64)1234);
  prfA->SetFileName("Data/Third.tst");
  EXPECT_EQ(prfA->rf_tmFileTime, Time());
  EXPECT_EQ(resFindFileInStock("Data/First.tst", strResolved), nullptr);
  EXPECT_EQ(resFindFileInStock("Data/Third.tst", strResolved), prfA);
  CDynamicContainer<CResourceFile> dc = resListResourceFiles();
  EXPECT_EQ(dc.Pointer(dc.Count() - 1), prfA);
  EXPECT_EQ(dc.Pointer(dc.Count() - 2), prfB);
  // Unnamed files count up from where the counter stands.
  prfB->SetUnnamed();
  EXPECT_TRUE(prfB->IsUnnamed());
  const CString strFirst = prfB->GetFileName();
  prfB->SetUnnamed();
  EXPECT_STRNE(prfB->GetFileName(), strFirst);
  EXPECT_EQ(strncmp(prfB->GetFileName(), "<unnamed ", 9), 0);
  EXPECT_EQ(resFindFileInStock(prfB->GetFileName(), strResolved), prfB);
  delete prfA;
  EXPECT_EQ(resFindFileInStock("Data/Third.tst", strResolved), nullptr);
  EXPECT_EQ(resListResourceFiles().Count(), ctBefore + 1);
  delete prfB;
}

TEST_F(ResourceFile, ManyFilesInOneChainStayFindable)
{
  // Enough files that chains hold several entries; every lookup moves one to the front.
  CStaticStackArray<CResourceFile *> saFiles;
  for (int i = 0; i < 3000; i++) {
    CResourceFile *prf = new CResourceFile;
    prf->SetFileName(strFormat("Data/Many%1.tst", i));
    saFiles.Push(prf);
  }
  CString strResolved;
  for (int iRound = 0; iRound < 2; iRound++) {
    for (int i = 0; i < 3000; i += 7) {
      ASSERT_EQ(resFindFileInStock(strFormat("Data/Many%1.tst", i), strResolved), saFiles[i]);
    }
  }
  for (int i = 0; i < 3000; i += 2) delete saFiles[i];
  for (int i = 1; i < 3000; i += 2) {
    ASSERT_EQ(resFindFileInStock(strFormat("Data/Many%1.tst", i), strResolved), saFiles[i]);
    ASSERT_EQ(resFindFileInStock(strFormat("Data/Many%1.tst", i - 1), strResolved), nullptr);
  }
  for (int i = 1; i < 3000; i += 2) delete saFiles[i];
}

TEST_F(ResourceFile, EqualNamesAndEqualHashesKeepApart)
{
  // "AB" and "@R" hash alike (16 * 'A' + 'B' == 16 * '@' + 'R').
  ASSERT_EQ(strGetHash("Data/AB.tst"), strGetHash("Data/@R.tst"));
  CResourceFile *prfAB = new CResourceFile;
  prfAB->SetFileName("Data/AB.tst");
  CResourceFile *prfAt = new CResourceFile;
  prfAt->SetFileName("Data/@R.tst");
  CString strResolved;
  EXPECT_EQ(resFindFileInStock("Data/AB.tst", strResolved), prfAB);
  EXPECT_EQ(resFindFileInStock("Data/@R.tst", strResolved), prfAt);
  EXPECT_EQ(resFindFileInStock("Data/AB.tst", strResolved), prfAB);
  // A second file of the same name is found first, until it goes.
  CResourceFile *prfSecond = new CResourceFile;
  prfSecond->SetFileName("Data/AB.tst");
  EXPECT_EQ(resFindFileInStock("Data/AB.tst", strResolved), prfSecond);
  delete prfSecond;
  EXPECT_EQ(resFindFileInStock("Data/AB.tst", strResolved), prfAB);
  delete prfAB;
  EXPECT_EQ(resFindFileInStock("Data/AB.tst", strResolved), nullptr);
  EXPECT_EQ(resFindFileInStock("Data/@R.tst", strResolved), prfAt);
  delete prfAt;

  // Names that differ only in bit 5 of a character that is no letter ('@' and '`', '1' and
  // 0x11) are different names, though the index may hash them alike.
  const char *astrNames[] = {"Data/@1.tst", "Data/`1.tst", "Data/@\x11.tst", "data/`\x11.TST"};
  CResourceFile *aprf[4];
  for (int i = 0; i < 4; i++) {
    aprf[i] = new CResourceFile;
    aprf[i]->SetFileName(astrNames[i]);
  }
  for (int i = 0; i < 4; i++) {
    EXPECT_EQ(resFindFileInStock(astrNames[i], strResolved), aprf[i]) << i;
    EXPECT_STREQ(strResolved, astrNames[i]);
  }
  for (int i = 0; i < 4; i++) delete aprf[i];
}

TEST_F(ResourceFile, OfEqualNamesTheNewestIsFoundWhileTheStockGrowsAndShrinks)
{
  // Three files of one name enter between thousands of others (the index grows meanwhile);
  // then the others go in an order that moves entries around, and the equal names leave.
  CStaticStackArray<CResourceFile *> saOthers;
  CResourceFile *aprfSame[3];
  CString strResolved;
  for (int i = 0; i < 4500; i++) {
    if (i % 1500 == 0) {
      aprfSame[i / 1500] = new CResourceFile;
      aprfSame[i / 1500]->SetFileName(i == 1500 ? "data/SAME.tst" : "Data/Same.tst");
      EXPECT_EQ(resFindFileInStock("Data/Same.tst", strResolved), aprfSame[i / 1500]);
    }
    CResourceFile *prf = new CResourceFile;
    prf->SetFileName(strFormat("Data/Other%1.tst", i));
    saOthers.Push(prf);
  }
  EXPECT_EQ(resFindFileInStock("DATA/same.tst", strResolved), aprfSame[2]);
  for (long i = 0; i < saOthers.Count(); i += 3) {
    delete saOthers[i];
    saOthers[i] = nullptr;
  }
  for (long i = 0; i < saOthers.Count(); i++) {
    CResourceFile *prf = resFindFileInStock(strFormat("Data/Other%1.tst", i), strResolved);
    ASSERT_EQ(prf, saOthers[i]) << i;
  }
  delete aprfSame[2];
  EXPECT_EQ(resFindFileInStock("Data/Same.tst", strResolved), aprfSame[1]);
  delete aprfSame[0];
  EXPECT_EQ(resFindFileInStock("Data/Same.tst", strResolved), aprfSame[1]);
  delete aprfSame[1];
  EXPECT_EQ(resFindFileInStock("Data/Same.tst", strResolved), nullptr);
  for (long i = 0; i < saOthers.Count(); i++) delete saOthers[i];
  EXPECT_EQ(resFindFileInStock("Data/Other1.tst", strResolved), nullptr);
}

TEST_F(ResourceFile, NamesAreFoundWhateverTheirLengthPlaceInMemoryAndCase)
{
  // Every length around the four-character steps of the index's hash and comparison, the looked
  // up text at every alignment, with its letters' case turned and with one character changed.
  CStaticStackArray<CResourceFile *> saFiles;
  CStaticStackArray<CString> saNames;
  for (int ct = 1; ct <= 23; ct++) {
    char achName[24] = {};
    for (int i = 0; i < ct; i++) achName[i] = "aB3/x_Zq.9"[(i * 7 + ct) % 10];
    const CString str(achName);
    CResourceFile *prf = new CResourceFile;
    prf->SetFileName(str);
    saFiles.Push(prf);
    saNames.Push(str);
  }
  CString strResolved;
  char achBuffer[40];
  for (long iName = 0; iName < saNames.Count(); iName++) {
    const CString &strName = saNames[iName];
    const int ct = strName.Length();
    for (int iOffset = 0; iOffset < 4; iOffset++) {
      char *pch = achBuffer + iOffset;
      for (int i = 0; i <= ct; i++) pch[i] = chToUpper(strName[i]);
      EXPECT_EQ(resFindFileInStock(pch, strResolved), saFiles[iName]) << pch;
      EXPECT_STREQ(strResolved, pch);
      for (int i = 0; i < ct; i++) {
        const char chWas = pch[i];
        pch[i] = '#';
        EXPECT_EQ(resFindFileInStock(pch, strResolved), nullptr) << pch;
        pch[i] = chWas;
      }
      // One character more or less is another name.
      pch[ct] = 'k';
      pch[ct + 1] = 0;
      EXPECT_EQ(resFindFileInStock(pch, strResolved), nullptr) << pch;
      pch[ct - 1] = 0;
      if (ct > 1) {
        EXPECT_NE(resFindFileInStock(pch, strResolved), saFiles[iName]) << pch;
      }
    }
  }
  for (long i = 0; i < saFiles.Count(); i++) delete saFiles[i];
}

TEST_F(ResourceFile, SharedResourcesLiveWithTheFileAndFreeOnesWithTheirReferences)
{
  CResourceFile *prf = new CResourceFile;
  CTsResource *prsShared = NewShared(prf);
  {
    Ptr<CResource> ptr = prsShared;
  }
  // The last release leaves a shared resource to its file.
  EXPECT_EQ(res_rcCounts.Alive(), 1);
  {
    Ptr<CTsResource> ptrFree = new CTsResource;
    ptrFree->rs_pExtra = new CTsPart;
    EXPECT_EQ(res_rcCounts.Alive(), 3);
  }
  EXPECT_EQ(res_rcCounts.Alive(), 1);
  // An exposed free resource is concealed by its last release.
  {
    Ptr<CTsResource> ptrNested = new CTsResource;
    prf->ExposeResource(ptrNested);
    EXPECT_EQ(prf->rf_saExposed.Count(), 1);
  }
  EXPECT_EQ(prf->rf_saExposed.Count(), 0);
  delete prf;
  EXPECT_EQ(res_rcCounts.Alive(), 0);
}

TEST_F(ResourceFile, ChangesAndPaths)
{
  CResourceFile *prf = new CResourceFile;
  prf->SetFileName("a/b.rsc");
  CTsResource *prs = NewShared(prf, -1, "Tex");
  CTsResource *prsNested = new CTsResource;
  prs->tr_pNext = prsNested;
  EXPECT_FALSE(prf->IsChanged());
  prsNested->MarkChanged(2);
  EXPECT_TRUE(prsNested->IsChanged());
  EXPECT_EQ(prsNested->GetChangeCount(), 2);
  // A nested resource's change is the file's.
  EXPECT_TRUE(prf->IsChanged());
  prsNested->MarkChanged(-2);
  EXPECT_FALSE(prf->IsChanged());

  EXPECT_STREQ(resGetSubResourcePath(prs), "a/b.rsc|Tex");
  EXPECT_STREQ(resGetFileName(prs), "a/b.rsc");
  EXPECT_STREQ(resGetFileName(prsNested), "");
  CString strShell = "x", strSecond = "y";
  prs->GetShellOpenPaths(strShell, strSecond);
  EXPECT_STREQ(strShell, "a/b.rsc");
  EXPECT_STREQ(strSecond, "y");
  // The nested resource's storage file is found by search once and kept.
  {
    CConsoleLines cl;
    EXPECT_EQ(prsNested->GetStorageResourceFile(), prf);
    EXPECT_TRUE(cl.Has("Using exhaustive search to find file owning object"));
  }
  {
    CConsoleLines cl;
    EXPECT_STREQ(prsNested->GetStorageFileName(), "a/b.rsc");
    EXPECT_FALSE(cl.Has("exhaustive"));
  }
  EXPECT_EQ(prf->MayBeReferenced(), 1);
  CStockDumpInfo sdi = prs->GetSimpleInfoCSV();
  EXPECT_STREQ(sdi.sdi_strHeader, "Size [KB]");
  EXPECT_STREQ(sdi.sdi_strFile, "Unsorted.csv");
  EXPECT_STREQ(prs->GetSimpleInfo(), "");
  delete prf;
}
