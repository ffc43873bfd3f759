// Resource files saved as metadata files and loaded back through the stock: their resources
// keep their IDs and names, references into other files are resolved through the stock, and
// files that refer to each other load.
#include "ResourceTestSupport.h"

using namespace QuennelEngine;
using namespace QuennelEngine::Test;

namespace {

class ResourceMetaFiles : public ResourceTest {};

// A file named `strName` with resources valued 1, 2, ... sharing IDs 1, 2, ...
CResourceFile *MakeFile(const char *strName, int ct)
{
  CResourceFile *prf = new CResourceFile;
  prf->SetFileName(strName);
  for (int i = 0; i < ct; i++) {
    CTsResource *prs = new CTsResource;
    prs->tr_iValue = i + 1;
    prf->RegisterResource(prs);
  }
  return prf;
}

CTsResource *ResourceByID(CResourceFile *prf, long iID)
{
  Ptr<CResource> prs = prf->FindResourceByID(iID);
  return static_cast<CTsResource *>((CResource *)prs);
}

} // namespace

TEST_F(ResourceMetaFiles, AResourceFileRoundTripsWithItsIDsNamesAndParts)
{
  CResourceFile *prf = MakeFile("Data/One.rsc", 3);
  ResourceByID(prf, 2)->SetName("Second");
  CTsPart *ptp = new CTsPart;
  ptp->tp_iValue = 9;
  ResourceByID(prf, 3)->tr_pOwned = ptp;
  ResourceByID(prf, 3)->tr_pNext = ResourceByID(prf, 1);
  prf->SaveFile_t();
  delete prf;
  EXPECT_EQ(res_rcCounts.Alive(), 0);

  CResourceFile *prfLoaded = resObtainFileInternal_t("Data/One.rsc");
  ASSERT_NE(prfLoaded, nullptr);
  EXPECT_STREQ(prfLoaded->GetFileName(), "Data/One.rsc");
  ASSERT_EQ(prfLoaded->rf_saShared.Count(), 3);
  CTsResource *prs2 = ResourceByID(prfLoaded, 2);
  ASSERT_NE(prs2, nullptr);
  EXPECT_EQ(prs2->tr_iValue, 2);
  EXPECT_TRUE(prs2->IsShared());
  EXPECT_EQ(prs2->GetResourceFile(), prfLoaded);
  Ptr<CResource> prsNamed = prfLoaded->FindResourceByName("Second");
  EXPECT_EQ((CResource *)prsNamed, prs2);
  CTsResource *prs3 = ResourceByID(prfLoaded, 3);
  ASSERT_NE(prs3->tr_pOwned, nullptr);
  EXPECT_EQ(static_cast<CTsPart *>(prs3->tr_pOwned)->tp_iValue, 9);
  EXPECT_EQ((CResource *)prs3->tr_pNext, ResourceByID(prfLoaded, 1));
  // The next registration goes on from where the saved file was.
  CTsResource *prsNew = new CTsResource;
  prfLoaded->RegisterResource(prsNew);
  EXPECT_EQ(prsNew->rs_iID, 4);
  prsNamed = nullptr;
  delete prfLoaded;
}

TEST_F(ResourceMetaFiles, ReferencesIntoOtherFilesAreResolvedThroughTheStock)
{
  CResourceFile *prfA = MakeFile("Data/A.rsc", 2);
  CResourceFile *prfB = MakeFile("Data/B.rsc", 1);
  ResourceByID(prfB, 1)->tr_pNext = ResourceByID(prfA, 2);
  prfA->SaveFile_t();
  prfB->SaveFile_t();
  delete prfB;
  delete prfA;

  // Loading B loads A, which B refers to.
  CResourceFile *prfLoadedB = resObtainFileInternal_t("Data/B.rsc");
  CString strResolved;
  CResourceFile *prfLoadedA = resFindFileInStock("Data/A.rsc", strResolved);
  ASSERT_NE(prfLoadedA, nullptr);
  CTsResource *prsTarget =
      static_cast<CTsResource *>((CResource *)ResourceByID(prfLoadedB, 1)->tr_pNext);
  EXPECT_EQ(prsTarget, ResourceByID(prfLoadedA, 2));
  EXPECT_EQ(prsTarget->tr_iValue, 2);
  // A reference into A counts on A's resource.
  EXPECT_EQ(prsTarget->so_ctReferences, 1);
  delete prfLoadedB;
  delete prfLoadedA;
}

TEST_F(ResourceMetaFiles, FilesThatReferToEachOtherLoad)
{
  CResourceFile *prfA = MakeFile("Data/Ping.rsc", 1);
  CResourceFile *prfB = MakeFile("Data/Pong.rsc", 1);
  ResourceByID(prfA, 1)->tr_pNext = ResourceByID(prfB, 1);
  ResourceByID(prfB, 1)->tr_pNext = ResourceByID(prfA, 1);
  prfA->SaveFile_t();
  prfB->SaveFile_t();
  ResourceByID(prfA, 1)->tr_pNext = nullptr;
  delete prfB;
  delete prfA;

  CResourceFile *prfPing = resObtainFileInternal_t("Data/Ping.rsc");
  CString strResolved;
  CResourceFile *prfPong = resFindFileInStock("Data/Pong.rsc", strResolved);
  ASSERT_NE(prfPong, nullptr);
  CTsResource *prsPing = ResourceByID(prfPing, 1);
  CTsResource *prsPong = ResourceByID(prfPong, 1);
  EXPECT_EQ((CResource *)prsPing->tr_pNext, prsPong);
  // Pong was read while Ping was being loaded: its reference was bound when Ping completed.
  EXPECT_EQ((CResource *)prsPong->tr_pNext, prsPing);
  prsPing->tr_pNext = nullptr;
  prsPong->tr_pNext = nullptr;
  delete prfPong;
  delete prfPing;
}

TEST_F(ResourceMetaFiles, AMissingFileGetsAReplacementAndAMissingResourceADefault)
{
  CResourceFile *prfA = MakeFile("Data/Gone.rsc", 1);
  CResourceFile *prfB = MakeFile("Data/Holder.rsc", 1);
  CDummyResource *prsDummy = new CDummyResource;
  prfA->RegisterResource(prsDummy);
  ResourceByID(prfB, 1)->tr_pNext = prsDummy;
  prfA->SaveFile_t();
  prfB->SaveFile_t();
  delete prfB;
  delete prfA;
  filDeleteFile_t("Data/Gone.rsc");

  CConsoleLines cl;
  CResourceFile *prfHolder = resObtainFileInternal_t("Data/Holder.rsc");
  EXPECT_TRUE(cl.Has("Creating replacement file.")) << cl.Text();
  EXPECT_TRUE(cl.Has("Resource Data/Gone.rsc:2 (CDummyResource) not found.")) << cl.Text();
  CString strResolved;
  CResourceFile *prfReplacement = resFindFileInStock("Data/Gone.rsc", strResolved);
  ASSERT_NE(prfReplacement, nullptr);
  EXPECT_TRUE(prfReplacement->rf_ulFlags & CResourceFile::RFF_REPLACEMENT);
  CResource *prsDefault = ResourceByID(prfHolder, 1)->tr_pNext;
  ASSERT_NE(prsDefault, nullptr);
  EXPECT_TRUE(prsDefault->rs_ulFlags & CResource::RSF_DEFAULTSUBSTITUTE);
  delete prfHolder;
  delete prfReplacement;
}

TEST_F(ResourceMetaFiles, AMetadataFileWhoseRootIsNoFileIsRefused)
{
  CTsPart part;
  mdSave_t("Data/Part.rsc", MetaOf(&part));
  EXPECT_EQ(ThrownBy([] { resObtainFileInternal_t("Data/Part.rsc"); }),
            "This is a metadata file, but it is not a resource file.");
  CString strResolved;
  EXPECT_EQ(resFindFileInStock("Data/Part.rsc", strResolved), nullptr);
}

TEST_F(ResourceMetaFiles, AFailedReadLeavesNothingBehind)
{
  CResourceFile *prf = MakeFile("Data/Whole.rsc", 3);
  ResourceByID(prf, 1)->tr_pNext = ResourceByID(prf, 2);
  ResourceByID(prf, 2)->tr_pNext = ResourceByID(prf, 1); // a cycle of counted references
  CTsPart *ptp = new CTsPart;
  ResourceByID(prf, 3)->tr_pOwned = ptp;
  prf->SaveFile_t();
  ResourceByID(prf, 1)->tr_pNext = nullptr;
  delete prf;
  const std::string strWhole = ReadFile("Data/Whole.rsc");
  ASSERT_GT(strWhole.size(), 200u);
  // Every cut before the end of the objects fails; what the read had made is deleted and no
  // half-read file stays in the stock.
  for (size_t sl = 0; sl + 16 < strWhole.size(); sl += 7) {
    WriteFile("Data/Cut.rsc", strWhole.substr(0, sl));
    EXPECT_NE(ThrownBy([] { resObtainFileInternal_t("Data/Cut.rsc"); }), "") << sl;
    CString strResolved;
    EXPECT_EQ(resFindFileInStock("Data/Cut.rsc", strResolved), nullptr) << sl;
    EXPECT_EQ(res_rcCounts.Alive(), 0) << sl;
  }
}
