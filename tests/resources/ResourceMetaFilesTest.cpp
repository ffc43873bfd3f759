// Resource files saved as metadata files and loaded back through the stock: their resources
// keep their IDs and names, references into other files are resolved through the stock, and
// files that refer to each other load.
#include "ResourceTestSupport.h"

using namespace QuennelEngine;
using namespace QuennelEngine::Test;

namespace {

// Editor-only data: an owned part and a number.
class CEdHolder : public CObject {
  MD_DECLARE_CLASS(CEdHolder)
  ~CEdHolder() { delete eh_pEdit; }
  CTsPart *eh_pEdit = nullptr;
  long eh_iEditValue = -1;
  long eh_iValue = 0;
};

MD_CLASS_BEGIN(CEdHolder, CObject, 1)
MD_MEMBER(eh_pEdit, SMF_EDIT | SMF_OWNED, "Edit part")
MD_MEMBER(eh_iEditValue, SMF_EDIT, "Edit value")
MD_MEMBER(eh_iValue, 0, "Value")
MD_CLASS_END()

// A resource with a reference to any resource and one to a CTsConcreteA only.
class CRfNarrow : public CResource {
  MD_DECLARE_CLASS(CRfNarrow)
  Ptr<CResource> rn_pAny;
  Ptr<CTsConcreteA> rn_pA;
};

MD_CLASS_BEGIN(CRfNarrow, CResource, 1)
MD_MEMBER(rn_pAny, 0, "Any")
MD_MEMBER(rn_pA, 0, "A")
MD_CLASS_END()

// Restores the editor switches, whatever a test set.
class CEditorSwitches {
public:
  CEditorSwitches() : es_bInEditor(md_bInEditor), es_bDiscard(md_bDiscardEditData) {}
  ~CEditorSwitches()
  {
    md_bInEditor = es_bInEditor;
    md_bDiscardEditData = es_bDiscard;
  }

private:
  int es_bInEditor;
  int es_bDiscard;
};

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

// The text form of the earlier layout: every entry of the list `strList` in a block of its own
// named `strWrapper`. An entry starts at each line of the list that names `strFirstKey`.
std::string WrapEntries(const std::string &strText, const char *strList, const char *strWrapper,
                        const char *strFirstKey)
{
  const size_t iList = strText.find(std::string("  ") + strList + " ");
  if (iList == std::string::npos) return strText;
  size_t i = strText.find('\n', iList) + 1;
  const size_t iEnd = strText.find("\n  }\r\n", i - 1) + 1;
  const std::string strEntryStart = std::string("    ") + strFirstKey + ": ";
  std::string strOut = strText.substr(0, i);
  bool bOpen = false;
  for (; i < iEnd;) {
    const size_t iLineEnd = strText.find('\n', i) + 1;
    const std::string strLine = strText.substr(i, iLineEnd - i);
    if (strLine.compare(0, strEntryStart.size(), strEntryStart) == 0) {
      if (bOpen) strOut += "    }\r\n";
      strOut += std::string("    ") + strWrapper + " {\r\n";
      bOpen = true;
    }
    strOut += "  " + strLine;
    i = iLineEnd;
  }
  if (bOpen) strOut += "    }\r\n";
  return strOut + strText.substr(iEnd);
}

TEST_F(ResourceMetaFiles, ReferencesIntoOtherFilesLoadFromTheEarlierTextLayout)
{
  // The earlier layout wrapped each entry of the tables of other files, their types and their
  // objects in a block; files written so still load, and find what they refer to.
  // The referring file holds no resource of the target's type, so the type is external too.
  CResourceFile *prfA = MakeFile("Data/Older.rsc", 2);
  CResourceFile *prfB = new CResourceFile;
  prfB->SetFileName("Data/Newer.rsc");
  CRfNarrow *prn = new CRfNarrow;
  prfB->RegisterResource(prn);
  prn->rn_pAny = ResourceByID(prfA, 2);
  prfA->SaveFile_t();
  md_bSaveTextFiles = 1;
  try {
    prfB->SaveFile_t();
  } catch (CException &) {
    md_bSaveTextFiles = 0;
    throw;
  }
  md_bSaveTextFiles = 0;
  delete prfB;
  delete prfA;
  const std::string strText = ReadFile("Data/Newer.rsc");
  std::string strEarlier = WrapEntries(strText, "ResourceFiles", "File", "File");
  strEarlier = WrapEntries(strEarlier, "ExternalTypes", "ExternalType", "Type");
  strEarlier = WrapEntries(strEarlier, "ExternalObjects", "ExternalObject", "Object");
  for (const char *strWrapper : {"    File {", "    ExternalType {", "    ExternalObject {"}) {
    ASSERT_NE(strEarlier.find(strWrapper), std::string::npos) << strWrapper << "\n" << strText;
  }
  WriteFile("Data/Newer.rsc", strEarlier);

  CResourceFile *prfLoaded = resObtainFileInternal_t("Data/Newer.rsc");
  CString strResolved;
  CResourceFile *prfOlder = resFindFileInStock("Data/Older.rsc", strResolved);
  ASSERT_NE(prfOlder, nullptr);
  Ptr<CResource> prs = prfLoaded->FindResourceByID(1);
  ASSERT_NE(prs, nullptr);
  EXPECT_EQ((CResource *)static_cast<CRfNarrow *>((CResource *)prs)->rn_pAny,
            ResourceByID(prfOlder, 2));
  prs = nullptr;
  delete prfLoaded;
  delete prfOlder;
}

// A new file of that name holding one new resource of type T.
template <class T> CResourceFile *NewFileWith(const char *strName, T *&prs)
{
  CResourceFile *prf = new CResourceFile;
  prf->SetFileName(strName);
  prs = new T;
  prf->RegisterResource(prs);
  return prf;
}

TEST_F(ResourceMetaFiles, AReferenceBoundLaterThatDoesNotFitIsLeftNullAndSaidSo)
{
  // Tick's resource 1 was a CTsConcreteA when Tock was saved with a reference to it; Tick was
  // saved again with a CRfNarrow as resource 1, referring to Tock.
  {
    CTsConcreteA *pA;
    CResourceFile *prfTick = NewFileWith("Data/Tick.rsc", pA);
    CRfNarrow *pTock;
    CResourceFile *prfTock = NewFileWith("Data/Tock.rsc", pTock);
    pTock->rn_pA = pA;
    prfTock->SaveFile_t();
    pTock->rn_pA = nullptr;
    delete prfTick;
    CRfNarrow *pTick;
    CResourceFile *prfNewTick = NewFileWith("Data/Tick.rsc", pTick);
    pTick->rn_pAny = pTock;
    prfNewTick->SaveFile_t();
    pTick->rn_pAny = nullptr;
    delete prfNewTick;
    delete prfTock;
  }
  // Loading Tick loads Tock, whose reference back into Tick is bound when Tick completes.
  CConsoleLines cl;
  CResourceFile *prfTick = resObtainFileInternal_t("Data/Tick.rsc");
  CString strResolved;
  CResourceFile *prfTock = resFindFileInStock("Data/Tock.rsc", strResolved);
  ASSERT_NE(prfTock, nullptr);
  CRfNarrow *pTick = static_cast<CRfNarrow *>((CResource *)prfTick->FindResourceByID(1));
  CRfNarrow *pTock = static_cast<CRfNarrow *>((CResource *)prfTock->FindResourceByID(1));
  ASSERT_NE(pTick, nullptr);
  ASSERT_NE(pTock, nullptr);
  EXPECT_EQ((CResource *)pTick->rn_pAny, pTock);
  EXPECT_EQ((CResource *)pTock->rn_pA, nullptr);
  EXPECT_TRUE(cl.Has("Wrong type of external object. Resource Data/Tick.rsc:1 (CRfNarrow) should "
                     "have been CTsConcreteA."))
      << cl.Text();
  pTick->rn_pAny = nullptr;
  delete prfTock;
  delete prfTick;
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

TEST_F(ResourceMetaFiles, EditDataIsKeptInTheEditorAndLeftOutElsewhere)
{
  CEditorSwitches es;
  CEdHolder h;
  h.eh_pEdit = new CTsPart;
  h.eh_pEdit->tp_iValue = 3;
  h.eh_iEditValue = 8;
  h.eh_iValue = 5;
  md_bInEditor = 1;
  md_bDiscardEditData = 0;
  mdSave_t("Data/Edit.dat", MetaOf(&h));
  md_bDiscardEditData = 1;
  mdSave_t("Data/Stripped.dat", MetaOf(&h));
  EXPECT_LT(ReadFile("Data/Stripped.dat").size(), ReadFile("Data/Edit.dat").size());

  // In the editor the edit data comes back.
  md_bDiscardEditData = 0;
  CMetaPointer mp = mdLoad_t("Data/Edit.dat");
  CEdHolder *ph = (CEdHolder *)mp.mp_pvObject;
  ASSERT_NE(ph->eh_pEdit, nullptr);
  EXPECT_EQ(ph->eh_pEdit->tp_iValue, 3);
  EXPECT_EQ(ph->eh_iEditValue, 8);
  mdDelete(mp);
  // Outside it, both files load without it.
  md_bInEditor = 0;
  for (const char *strFile : {"Data/Edit.dat", "Data/Stripped.dat"}) {
    mp = mdLoad_t(strFile);
    ph = (CEdHolder *)mp.mp_pvObject;
    EXPECT_EQ(ph->eh_pEdit, nullptr) << strFile;
    EXPECT_EQ(ph->eh_iEditValue, -1) << strFile;
    EXPECT_EQ(ph->eh_iValue, 5) << strFile;
    mdDelete(mp);
  }
  // A stripped file loads in the editor too, without its edit data.
  md_bInEditor = 1;
  mp = mdLoad_t("Data/Stripped.dat");
  ph = (CEdHolder *)mp.mp_pvObject;
  EXPECT_EQ(ph->eh_pEdit, nullptr);
  EXPECT_EQ(ph->eh_iValue, 5);
  mdDelete(mp);
  EXPECT_EQ(res_rcCounts.Alive(), 1); // h's part
}

TEST_F(ResourceMetaFiles, AWorldOfAnotherProgramVersionLoadsOnlyInTheEditor)
{
  CEditorSwitches es;
  CTsPart part;
  part.tp_iValue = 4;
  const CString strOurs = mdGetProgramVersionText();
  const CString strOther = "$Version: Other Game; 1.000.00:1; test$";
  mdSetProgramVersionText(strOther);
  mdSave_t("Data/Level.wld", MetaOf(&part));
  mdSave_t("Data/Level.dat", MetaOf(&part));
  mdSetProgramVersionText(strOurs);
  md_bInEditor = 0;
  EXPECT_NE(ThrownBy([] { mdDelete(mdLoad_t("Data/Level.wld")); }).find((const char *)strOther),
            std::string::npos);
  // Only worlds are bound to the program's version.
  CMetaPointer mp = mdLoad_t("Data/Level.dat");
  EXPECT_EQ(((CTsPart *)mp.mp_pvObject)->tp_iValue, 4);
  mdDelete(mp);
  md_bInEditor = 1;
  mp = mdLoad_t("Data/Level.wld");
  EXPECT_EQ(((CTsPart *)mp.mp_pvObject)->tp_iValue, 4);
  mdDelete(mp);
}
