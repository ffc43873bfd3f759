// The metadata's walks over resources: what the inspector says, clearing a file (cycles
// included), and which objects the reference walks reach.
#include "MetaTestSupport.h"
#include "ResourceTestSupport.h"

using namespace QuennelEngine;
using namespace QuennelEngine::Test;

namespace {

class ResourceMeta : public ResourceTest {};

bool Lists(const CStaticStackArray<CMetaPointer> &sa, void *pv)
{
  for (const CMetaPointer &mp : sa) {
    if (mp.mp_pvObject == pv) return true;
  }
  return false;
}

} // namespace

TEST_F(ResourceMeta, TheInspectorKnowsSharedExposedAndFree)
{
  CResourceFile *prf = new CResourceFile;
  CTsResource *prsShared = new CTsResource;
  prf->RegisterResource(prsShared);
  Ptr<CTsResource> prsExposed = new CTsResource;
  prf->ExposeResource(prsExposed);
  Ptr<CTsResource> prsFree = new CTsResource;
  CTsPart tp;

  MetaResourceInfo mri = mdInspectResource(MetaOf(prsShared));
  EXPECT_TRUE(mri.mri_bResource && mri.mri_bShared && !mri.mri_bExposed && !mri.mri_bProxy);
  EXPECT_EQ(mri.mri_pStorageFile, prf);
  mri = mdInspectResource(MetaOf(prsExposed));
  EXPECT_TRUE(mri.mri_bResource && !mri.mri_bShared && mri.mri_bExposed);
  EXPECT_EQ(mri.mri_pStorageFile, prf);
  mri = mdInspectResource(MetaOf(prsFree));
  EXPECT_TRUE(mri.mri_bResource && !mri.mri_bShared && !mri.mri_bExposed);
  EXPECT_EQ(mri.mri_pStorageFile, nullptr);
  // Seen through a base's descriptor it is still what it is.
  mri = mdInspectResource(CMetaPointer(CObject::md_pdtDataType, (CObject *)prsShared));
  EXPECT_TRUE(mri.mri_bShared);
  EXPECT_FALSE(mdInspectResource(MetaOf(&tp)).mri_bResource);
  prsExposed = nullptr;
  prsFree = nullptr;
  delete prf;
}

TEST_F(ResourceMeta, DeletingAFileFreesItsGraphWithCyclesAndKeepsWhatIsHeld)
{
  CResourceFile *prf = new CResourceFile;
  CTsResource *prsA = new CTsResource;
  CTsResource *prsB = new CTsResource;
  CTsResource *prsHeld = new CTsResource;
  prf->RegisterResource(prsA);
  prf->RegisterResource(prsB);
  prf->RegisterResource(prsHeld);
  // A cycle between shared resources, and one among nested free resources.
  prsA->tr_pNext = prsB;
  prsB->tr_pNext = prsA;
  CTsResource *prsInner1 = new CTsResource;
  CTsResource *prsInner2 = new CTsResource;
  prsHeld->tr_pNext = prsInner1;
  prsInner1->tr_pNext = prsInner2;
  prsInner2->tr_pNext = prsInner1;
  prsInner1->tr_pOwned = new CTsPart;
  prf->ExposeResource(prsInner2);
  EXPECT_EQ(res_rcCounts.Alive(), 6);

  Ptr<CResource> ptrHeld = prsHeld;
  delete prf;
  // Only the held resource outlives its file, as a free resource; its cycle is cleared.
  EXPECT_EQ(res_rcCounts.Alive(), 1);
  EXPECT_FALSE(ptrHeld->IsShared());
  EXPECT_EQ(ptrHeld->rs_pFile, nullptr);
  EXPECT_EQ(ptrHeld->rs_iID, -1);
  EXPECT_EQ(prsHeld->tr_pNext.Get(), nullptr);
  ptrHeld = nullptr;
  EXPECT_EQ(res_rcCounts.Alive(), 0);
}

TEST_F(ResourceMeta, ClearingReportsWhatOutlivesIt)
{
  CResourceFile *prfLib = new CResourceFile;
  CTsResource *prsLib = new CTsResource;
  prfLib->RegisterResource(prsLib);
  CResourceFile *prf = new CResourceFile;
  CTsResource *prs = new CTsResource;
  prf->RegisterResource(prs);
  prs->tr_pNext = prsLib; // into another file: released, not cleared
  Ptr<CResource> ptrOutside = prsLib;
  Ptr<CResource> ptrHeld = prs;
  EXPECT_EQ(prsLib->GetReferenceCount(), 2);

  // The other file's resource and the held one outlive the clearing.
  EXPECT_EQ(mdClearResourceFile(prf), 2);
  EXPECT_EQ(prsLib->GetReferenceCount(), 1);
  EXPECT_TRUE(prsLib->IsShared());
  EXPECT_EQ(prf->GetAllResources().Count(), 0);
  EXPECT_FALSE(ptrHeld->IsShared());
  EXPECT_EQ(md_bCollectingForClear, 0);
  ptrHeld = nullptr;
  ptrOutside = nullptr;
  EXPECT_EQ(res_rcCounts.Alive(), 1);
  CGuardBreachCounter gbc;
  EXPECT_EQ(mdClearResourceFile(nullptr), 0);
  EXPECT_EQ(gbc.Count(), 1);
  delete prf;
  delete prfLib;
}

TEST_F(ResourceMeta, ReferenceWalksStopAtOtherFiles)
{
  CResourceFile *prfLib = new CResourceFile;
  CTsResource *prsLib = new CTsResource;
  prfLib->RegisterResource(prsLib);
  CTsResource *prsLibInner = new CTsResource;
  prsLib->tr_pNext = prsLibInner;

  CResourceFile *prf = new CResourceFile;
  CTsResource *prs = new CTsResource;
  prf->RegisterResource(prs);
  CTsResource *prsInner = new CTsResource;
  CTsPart *ptp = new CTsPart;
  prs->tr_pNext = prsInner;
  prsInner->tr_pOwned = ptp;
  prsInner->tr_pNext = prsLib;

  CStaticStackArray<CMetaPointer> sa;
  mdFindReferences(prf, sa);
  EXPECT_TRUE(Lists(sa, prs));
  EXPECT_TRUE(Lists(sa, prsInner));
  EXPECT_TRUE(Lists(sa, ptp));
  EXPECT_FALSE(Lists(sa, prsLib));
  EXPECT_FALSE(Lists(sa, prsLibInner));
  EXPECT_EQ(resFindResourceFileOwningObject(MetaOf(ptp)), prf);
  EXPECT_EQ(resFindResourceFileOwningObject(MetaOf(prsLibInner)), prfLib);

  CDynamicContainer<CResource> dc;
  mdGetResources_t(MetaOf(prs), dc);
  EXPECT_EQ(dc.Count(), 2);
  EXPECT_TRUE(dc.IsMember(prsInner));
  EXPECT_TRUE(dc.IsMember(prsLib));
  EXPECT_FALSE(dc.IsMember(prsLibInner));
  dc.PopAll();
  mdGetResourcesRecursive_t(MetaOf(prs), dc);
  EXPECT_EQ(dc.Count(), 3);
  EXPECT_TRUE(dc.IsMember(prsLibInner));
  EXPECT_FALSE(dc.IsMember(prs));
  EXPECT_GT(mdGetResourceSize_t(prs), 0);
  delete prf;
  delete prfLib;
}
