// The checks that keep the host from drawing damaged content: a mesh's arrays and indices, a
// texture's pixels, and the walk of a node tree whose references were changed into a cycle.
#include "TestSupport.h"
#include "samples/scene/Content.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

using namespace QuennelEngine;

namespace {

// One triangle of three vertices.
Ptr<CResource> MakeTriangle(void)
{
  CSampleMesh *psm = new CSampleMesh;
  const float afPositions[9] = {0, 0, 0, 1, 0, 0, 0, 1, 0};
  for (float f : afPositions) psm->sm_afPositions.Push() = f;
  for (int i = 0; i < 6; i++) psm->sm_afTexCoords.Push() = 0.5f;
  for (int i = 0; i < 3; i++) {
    psm->sm_afNormals.Push() = 0, psm->sm_afNormals.Push() = 0, psm->sm_afNormals.Push() = 1;
    psm->sm_aiIndices.Push() = i;
  }
  return psm;
}

std::string Check(const Ptr<CResource> &prs)
{
  return (const char *)CastContent<CSampleMesh>(prs)->CheckDrawable();
}

TEST(ContentChecks, MeshWhoseArraysOrIndicesDisagreeIsNotDrawable)
{
  Ptr<CResource> prs = MakeTriangle();
  CSampleMesh *psm = CastContent<CSampleMesh>(prs);
  EXPECT_EQ(Check(prs), "");
  EXPECT_EQ(psm->GetBounds().vMax, Vector3f(1, 1, 0));
  psm->sm_aiIndices[2] = 3;
  EXPECT_EQ(Check(prs), "index 2 is 3, outside its 3 vertices");
  psm->sm_aiIndices[2] = -1;
  EXPECT_EQ(Check(prs), "index 2 is -1, outside its 3 vertices");
  psm->sm_aiIndices[2] = 2;
  psm->sm_aiIndices.Push() = 0;
  EXPECT_EQ(Check(prs), "4 indices are no whole triangles");
  psm->sm_aiIndices.PopAll();
  EXPECT_EQ(Check(prs), "0 indices are no whole triangles");
  prs = MakeTriangle();
  psm = CastContent<CSampleMesh>(prs);
  psm->sm_afNormals.Pop();
  EXPECT_EQ(Check(prs), "3 vertices with 6 texture coordinate and 8 normal floats");
  prs = MakeTriangle();
  psm = CastContent<CSampleMesh>(prs);
  psm->sm_afTexCoords.Push() = 0;
  EXPECT_EQ(Check(prs), "3 vertices with 7 texture coordinate and 9 normal floats");
  prs = MakeTriangle();
  psm = CastContent<CSampleMesh>(prs);
  psm->sm_afPositions.Pop();
  EXPECT_EQ(Check(prs), "8 position floats are no whole vertices");
  psm->sm_afPositions.PopAll();
  EXPECT_EQ(Check(prs), "0 position floats are no whole vertices");
  prs = MakeTriangle();
  psm = CastContent<CSampleMesh>(prs);
  psm->sm_afPositions[4] = std::numeric_limits<float>::quiet_NaN();
  EXPECT_EQ(Check(prs), "position float 4 is not finite");
}

TEST(ContentChecks, TextureMustBeFilledByItsPixels)
{
  Ptr<CResource> prs = new CSampleTexture;
  CSampleTexture *ptex = CastContent<CSampleTexture>(prs);
  EXPECT_EQ(std::string(ptex->CheckUsable()), "its size 0x0 is outside 1..8192");
  ptex->st_iWidth = 2;
  ptex->st_iHeight = 3;
  for (int i = 0; i < 5; i++) ptex->st_aulPixels.Push() = -1;
  EXPECT_EQ(std::string(ptex->CheckUsable()), "it has 5 pixels for 2x3");
  ptex->st_aulPixels.Push() = -1;
  EXPECT_EQ(std::string(ptex->CheckUsable()), "");
  ptex->st_iWidth = 8193;
  EXPECT_EQ(std::string(ptex->CheckUsable()), "its size 8193x3 is outside 1..8192");
  ptex->st_iWidth = -2;
  ptex->st_iHeight = -3; // a product that matches is no excuse
  EXPECT_EQ(std::string(ptex->CheckUsable()), "its size -2x-3 is outside 1..8192");
}

struct Visits {
  std::vector<CSampleNode *> v_apnod;
  std::vector<Vector3f> v_avTranslation;
};

void Record(CSampleNode *pnod, const Matrix34f &m, void *pvVisits)
{
  Visits &v = *(Visits *)pvVisits;
  v.v_apnod.push_back(pnod);
  v.v_avTranslation.push_back(m.GetTranslation());
}

// Nodes with a translation each, held by the scene.
CSampleNode *AddNode(CStaticStackArray<Ptr<CResource>> &aprsKeep, float fX)
{
  CSampleNode *pnod = new CSampleNode;
  pnod->sn_mTransform.SetTranslation(Vector3f(fX, 0, 0));
  aprsKeep.Push() = pnod;
  return pnod;
}

TEST(ContentChecks, NodeWalkComposesTransformsAndStopsAtCyclesAndDepth)
{
  CStaticStackArray<Ptr<CResource>> aprs;
  Ptr<CResource> prsScene = new CSampleScene;
  CSampleScene *pss = CastContent<CSampleScene>(prsScene);
  CSampleNode *pnodA = AddNode(aprs, 1);
  CSampleNode *pnodB = AddNode(aprs, 10);
  CSampleNode *pnodC = AddNode(aprs, 100);
  pss->ss_apnodNodes.Push() = pnodA;
  pnodA->sn_apnodChildren.Push() = pnodB;
  pnodB->sn_apnodChildren.Push() = pnodC;
  Visits v;
  EXPECT_EQ(VisitNodes(pss, Record, &v), 0);
  ASSERT_EQ(v.v_apnod.size(), 3u);
  EXPECT_EQ(v.v_apnod[2], pnodC);
  EXPECT_EQ(v.v_avTranslation[2], Vector3f(111, 0, 0)); // parents first, composed
  // Damaged: C holds A again (a cycle), B holds the scene (no node) and a null.
  pnodC->sn_apnodChildren.Push() = pnodA;
  pnodB->sn_apnodChildren.Push() = prsScene;
  pnodB->sn_apnodChildren.Push() = Ptr<CResource>();
  v = Visits();
  EXPECT_EQ(VisitNodes(pss, Record, &v), 2);
  EXPECT_EQ(v.v_apnod.size(), 3u);
  // A node may be reached twice without a cycle (two roots): it is visited twice.
  pnodC->sn_apnodChildren.PopAll();
  pnodB->sn_apnodChildren.PopAll();
  pss->ss_apnodNodes.Push() = pnodA;
  v = Visits();
  EXPECT_EQ(VisitNodes(pss, Record, &v), 0);
  EXPECT_EQ(v.v_apnod.size(), 4u);
  // A chain deeper than the walk goes: cut at SCN_MAXDEPTH.
  pss->ss_apnodNodes.PopAll();
  CSampleNode *pnodParent = AddNode(aprs, 0);
  pss->ss_apnodNodes.Push() = pnodParent;
  for (long i = 1; i < SCN_MAXDEPTH + 5; i++) {
    CSampleNode *pnod = AddNode(aprs, 0);
    pnodParent->sn_apnodChildren.Push() = pnod;
    pnodParent = pnod;
  }
  v = Visits();
  EXPECT_EQ(VisitNodes(pss, Record, &v), 1);
  EXPECT_EQ((long)v.v_apnod.size(), SCN_MAXDEPTH);
  // The nodes hold each other: the chains are cut before the references go.
  for (long i = 0; i < aprs.Count(); i++) {
    CastContent<CSampleNode>(aprs[i])->sn_apnodChildren.PopAll();
  }
  pss->ss_apnodNodes.PopAll();
}

} // namespace
