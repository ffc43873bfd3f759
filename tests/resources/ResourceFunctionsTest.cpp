// Sub-resource paths, default substitutes, browse information, the services, unsharing and
// copies of graphs that reference resources.
#include "MetaTestSupport.h"
#include "ResourceTestSupport.h"

using namespace QuennelEngine;
using namespace QuennelEngine::Test;

namespace {

class ResourceFunctions : public ResourceTest {};

CResource *MakeA(IDENT)
{
  return new CTsConcreteA;
}
CResource *MakeB(IDENT)
{
  return new CTsConcreteB;
}
CResource *MakeTs(IDENT)
{
  CTsResource *prs = new CTsResource;
  prs->tr_iValue = 42;
  return prs;
}

// A graph owner that is no resource: it holds a shared and a free resource.
class CTsHolder : public CObject {
  MD_DECLARE_CLASS(CTsHolder)
  CTsHolder() { CountConstruction(); }
  ~CTsHolder() { CountDestruction(); }
  Ptr<CResource> th_pShared;
  Ptr<CResource> th_pFree;
};

MD_CLASS_BEGIN(CTsHolder, CObject, 1)
MD_MEMBER(th_pShared, 0, "Shared")
MD_MEMBER(th_pFree, 0, "Free")
MD_CLASS_END()

} // namespace

TEST(SubResourcePath, DecodeAndCompile)
{
  CString strFile, strName;
  resDecodeSubResourcePath("a/b.rsc|Tex", strFile, strName);
  EXPECT_STREQ(strFile, "a/b.rsc");
  EXPECT_STREQ(strName, "Tex");
  EXPECT_TRUE(resHasSubResource("a/b.rsc|Tex"));
  // Only the first bar separates.
  resDecodeSubResourcePath("a/b.rsc|Tex|2", strFile, strName);
  EXPECT_STREQ(strFile, "a/b.rsc");
  EXPECT_STREQ(strName, "Tex|2");
  resDecodeSubResourcePath("a/b.rsc", strFile, strName);
  EXPECT_STREQ(strFile, "a/b.rsc");
  EXPECT_STREQ(strName, "");
  EXPECT_FALSE(resHasSubResource("a/b.rsc"));
  EXPECT_STREQ(resCompileSubResourcePath("a/b.rsc", ""), "a/b.rsc");
  EXPECT_STREQ(resCompileSubResourcePath("a/b.rsc", nullptr), "a/b.rsc");
  EXPECT_STREQ(resCompileSubResourcePath("a/b.rsc", "Tex"), "a/b.rsc|Tex");
  EXPECT_STREQ(resGetResourceFile("x.rsc|"), "x.rsc");
  EXPECT_STREQ(resGetResourceName("|y"), "y");
  CGuardBreachCounter gbc;
  EXPECT_STREQ(resGetSubResourcePath(nullptr), "");
  EXPECT_EQ(gbc.Count(), 1);
}

TEST_F(ResourceFunctions, DefaultCreatorsLatestWinsAndAbstractGoesThroughDerived)
{
  const IDENT idAbstract = strConvertStringToID("CTsAbstract");
  // No creator: the first derived class that is not abstract.
  {
    Ptr<CResource> prs = rscCreateDefaultResource(idAbstract);
    ASSERT_NE(prs, nullptr);
    EXPECT_EQ(prs->mdGetDataType(), CTsConcreteA::md_pdtDataType);
    EXPECT_TRUE(prs->rs_ulFlags & CResource::RSF_DEFAULTSUBSTITUTE);
  }
  // A creator of a derived class answers for the abstract one.
  rscRegisterDefaultResourceCreator(strConvertStringToID("CTsConcreteB"), MakeB);
  EXPECT_EQ(rscCreateDefaultResource(idAbstract)->mdGetDataType(), CTsConcreteB::md_pdtDataType);
  // One for the class itself comes first; the latest registration wins and unregistering it
  // brings back the one before.
  rscRegisterDefaultResourceCreator(idAbstract, MakeA);
  rscRegisterDefaultResourceCreator(idAbstract, MakeB);
  EXPECT_EQ(rscCreateDefaultResource(idAbstract)->mdGetDataType(), CTsConcreteB::md_pdtDataType);
  rscUnregisterDefaultResourceCreator(idAbstract, MakeB);
  EXPECT_EQ(rscCreateDefaultResource(idAbstract)->mdGetDataType(), CTsConcreteA::md_pdtDataType);
  rscUnregisterDefaultResourceCreator(idAbstract, MakeA);
  rscUnregisterDefaultResourceCreator(strConvertStringToID("CTsConcreteB"), MakeB);
  // A concrete class without a creator is made as itself.
  {
    Ptr<CResource> prs = rscCreateDefaultResource(strConvertStringToID("CTsResource"));
    EXPECT_EQ(prs->mdGetDataType(), CTsResource::md_pdtDataType);
    rscRegisterDefaultResourceCreator(strConvertStringToID("CTsResource"), MakeTs);
    Ptr<CResource> prsMade = rscCreateDefaultResource(strConvertStringToID("CTsResource"));
    EXPECT_EQ(static_cast<CTsResource *>(prsMade.Get())->tr_iValue, 42);
    rscUnregisterDefaultResourceCreator(strConvertStringToID("CTsResource"), MakeTs);
  }
  // Unknown classes and classes that are no resources are guard breaches.
  CGuardBreachCounter gbc;
  EXPECT_EQ(rscCreateDefaultResource(strConvertStringToID("CNoSuchClass")).Get(), nullptr);
  EXPECT_EQ(rscCreateDefaultResource(strConvertStringToID("CTsPart")).Get(), nullptr);
  EXPECT_EQ(gbc.Count(), 2);
}

TEST_F(ResourceFunctions, TheResourceServiceRegistersTheDummy)
{
  CGuardBreachCounter gbc;
  CResourceBrowseInfo rbi;
  EXPECT_EQ(rscGetBrowseInfo("CResource", rbi, 1), 0);
  rscRegisterBrowseInfo("CTsResource", "Test", "*.tst", "a", "b");
  CStaticStackArray<CResourceBrowseInfo> sa;
  rscGetAllBrowseInfos(sa);
  EXPECT_EQ(sa.Count(), 0);
  EXPECT_EQ(gbc.Count(), 3);

  StartServices();
  Ptr<CResource> prs = rscCreateDefaultResource(strConvertStringToID("CResource"));
  EXPECT_EQ(prs->mdGetDataType(), CDummyResource::md_pdtDataType);
  EXPECT_EQ(rscGetBrowseInfo("CResource", rbi, 0), 1);
  EXPECT_STREQ(rbi.rbi_strDescription, "Resource");
  EXPECT_STREQ(rbi.rbi_strWildcard, "*.rsc");
  EXPECT_STREQ(rbi.rbi_strBrowseClass, "CResource");
  EXPECT_STREQ(rbi.rbi_strBrowseName, "Resource");
  EXPECT_EQ(gbc.Count(), 3);
}

TEST_F(ResourceFunctions, BrowseInfosSearchBasesAndDescendants)
{
  StartServices();
  rscRegisterBrowseInfo("CTsAbstract", "Abstract", "*.abs", "x", "y");
  rscRegisterBrowseInfo("CTsConcreteA", "A", "*.a", "x", "y");
  CResourceBrowseInfo rbi;
  rbi.rbi_strBrowseName = "kept";
  // Not registered, bases not searched: the defaults, the fifth string untouched.
  EXPECT_EQ(rscGetBrowseInfo("CTsConcreteB", rbi, 0), 0);
  EXPECT_STREQ(rbi.rbi_strClass, "CTsConcreteB");
  EXPECT_STREQ(rbi.rbi_strDescription, "All resources");
  EXPECT_STREQ(rbi.rbi_strWildcard, "*.*");
  EXPECT_STREQ(rbi.rbi_strBrowseClass, "*");
  EXPECT_STREQ(rbi.rbi_strBrowseName, "kept");
  // The last-registered base wins.
  EXPECT_EQ(rscGetBrowseInfo("CTsConcreteB", rbi, 1), 1);
  EXPECT_STREQ(rbi.rbi_strDescription, "Abstract");
  EXPECT_EQ(rscGetBrowseInfo("CNoSuchClass", rbi, 1), 0);

  CStaticStackArray<CResourceBrowseInfo> sa;
  rscGetDerivedBrowseInfos("CResource", sa);
  ASSERT_EQ(sa.Count(), 2);
  EXPECT_STREQ(sa[0].rbi_strClass, "CTsAbstract");
  sa.PopAll();
  rscGetDerivedBrowseInfos("CTsAbstract", sa);
  ASSERT_EQ(sa.Count(), 1);
  EXPECT_STREQ(sa[0].rbi_strClass, "CTsConcreteA");
  // Unregistering needs all five strings.
  rscUnregisterBrowseInfo("CTsConcreteA", "A", "*.a", "x", "other");
  sa.PopAll();
  rscGetAllBrowseInfos(sa);
  EXPECT_EQ(sa.Count(), 3);
  rscUnregisterBrowseInfo("CTsConcreteA", "A", "*.a", "x", "y");
  rscUnregisterBrowseInfo("CTsAbstract", "Abstract", "*.abs", "x", "y");
  sa.PopAll();
  rscGetAllBrowseInfos(sa);
  EXPECT_EQ(sa.Count(), 1);
}

TEST_F(ResourceFunctions, CopiesShareSharedResourcesAndDuplicateFreeOnes)
{
  CResourceFile *prf = new CResourceFile;
  prf->SetFileName("Data/Lib.tst");
  CTsResource *prsShared = new CTsResource;
  prf->RegisterResource(prsShared);
  CTsHolder *pth = new CTsHolder;
  pth->th_pShared = prsShared;
  CTsResource *prsFree = new CTsResource;
  prsFree->tr_iValue = 5;
  prsFree->tr_pOwned = new CTsPart;
  pth->th_pFree = prsFree;

  CMetaPointer mpCopy;
  mdCopy(mpCopy, MetaOf(pth));
  ASSERT_TRUE(mpCopy.IsValid());
  CTsHolder *pthCopy = (CTsHolder *)mpCopy.mp_pvObject;
  EXPECT_EQ(pthCopy->th_pShared.Get(), prsShared);
  EXPECT_EQ(prsShared->GetReferenceCount(), 2);
  ASSERT_NE(pthCopy->th_pFree.Get(), nullptr);
  EXPECT_NE(pthCopy->th_pFree.Get(), prsFree);
  CTsResource *prsFreeCopy = static_cast<CTsResource *>(pthCopy->th_pFree.Get());
  EXPECT_EQ(prsFreeCopy->tr_iValue, 5);
  EXPECT_NE(prsFreeCopy->tr_pOwned, prsFree->tr_pOwned);
  EXPECT_FALSE(prsFreeCopy->IsShared());
  mdDelete(mpCopy);
  delete pth;

  // Unsharing copies even a shared resource, into no file.
  prsShared->tr_iValue = 9;
  prsShared->SetName("Named");
  Ptr<CResource> prsUnshared = resUnshareResource(prsShared);
  ASSERT_NE(prsUnshared, nullptr);
  EXPECT_NE(prsUnshared.Get(), prsShared);
  EXPECT_FALSE(prsUnshared->IsShared());
  EXPECT_EQ(prsUnshared->rs_iID, -1);
  EXPECT_EQ(prsUnshared->rs_pFile, nullptr);
  EXPECT_EQ(static_cast<CTsResource *>(prsUnshared.Get())->tr_iValue, 9);
  EXPECT_STREQ(prsUnshared->GetName(), "Named");
  prsUnshared = nullptr;
  delete prf;
}
