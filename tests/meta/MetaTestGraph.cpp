#include "MetaTestGraph.h"

#include <vector>

namespace QuennelEngine {
namespace Test {

MD_ENUM_BEGIN(EFlShade, 1)
MD_ENUM_VALUE(FLS_DARK, "FLS_DARK", "Dark")
MD_ENUM_VALUE(FLS_LIGHT, "FLS_LIGHT", "Light")
MD_ENUM_END()

MD_TYPEDEF(FLWEIGHT, "SLONG")

long _ctFlAlive = 0;

MD_CLASS_BEGIN(CFlLeaf, CObject, 1)
MD_MEMBER(fl_iValue, 0, "Value")
MD_CLASS_END()

MD_CLASS_BEGIN(CFlNode, CSmartObject, 1)
MD_MEMBER(fn_pNext, 0, "Next")
MD_MEMBER(fn_iValue, 0, "Value")
MD_CLASS_END()

MD_CLASS_BEGIN(CFlGraph, CObject, 1)
MD_MEMBER(fg_pOwned, SMF_OWNED, "Owned")
MD_MEMBER(fg_pShared, 0, "Shared")
MD_MEMBER(fg_pShared2, 0, "Shared again")
MD_MEMBER(fg_pSelf, 0, "Self")
MD_MEMBER(fg_dcOwned, SMF_OWNED, "Owned leaves")
MD_MEMBER(fg_dcWithNulls, SMF_KEEPNULLS, "With nulls")
MD_MEMBER(fg_saFloats, 0, "Floats")
MD_MEMBER(fg_ssaNames, 0, "Names")
MD_MEMBER(fg_hLeaf, 0, "Leaf handle")
MD_MEMBER(fg_afWeights, 0, "Weights")
MD_MEMBER(fg_eShade, 0, "Shade")
MD_MEMBER_AS(fg_iWeight, "FLWEIGHT", 0, "Weight")
MD_MEMBER(fg_strTitle, 0, "Title")
MD_MEMBER(fg_idKind, 0, "Kind")
MD_MEMBER(fg_pRing, 0, "Ring")
MD_MEMBER_EX(fg_iAliased, 0, "Aliased", "fg_iOldName", nullptr)
MD_MEMBER(fg_iNotSaved, SMF_NOSAVE, "Not saved")
MD_CLASS_END()

const char *const fl_astrTexts[] = {
    "alpha",
    "",
    "line\nbreak",
    "carriage\rreturn",
    "a \"quote\"",
    "back\\slash",
    "first\n   leading spaces",
    "trailing spaces   ",
    "ends in a line feed\n",
    "\n\n",
    "\\n is not a line feed",
};
const int FL_CT_TEXTS = sizeof(fl_astrTexts) / sizeof(fl_astrTexts[0]);

void Fill(CFlGraph &g)
{
  g.fg_pOwned = new CFlLeaf;
  g.fg_pOwned->fl_iValue = 11;
  for (int i = 0; i < 3; i++) {
    CFlLeaf *pl = new CFlLeaf;
    pl->fl_iValue = 100 + i;
    g.fg_dcOwned.Add(pl);
  }
  g.fg_pShared = g.fg_dcOwned.Pointer(1);
  g.fg_pShared2 = g.fg_dcOwned.Pointer(1);
  g.fg_pSelf = &g;
  g.fg_dcWithNulls.Add(g.fg_dcOwned.Pointer(2));
  mdDynamicContainer_Add(
      CMetaPointer(mdFindByName("CDynamicContainer<CFlLeaf>"), &g.fg_dcWithNulls), nullptr);
  g.fg_dcWithNulls.Add(g.fg_pOwned);
  g.fg_saFloats.New(3);
  for (int i = 0; i < 3; i++) g.fg_saFloats[i] = 0.25f * i - 1.0f;
  for (int i = 0; i < FL_CT_TEXTS; i++) g.fg_ssaNames.Push() = fl_astrTexts[i];
  g.fg_hLeaf = g.fg_dcOwned.Pointer(0);
  for (int i = 0; i < 4; i++) g.fg_afWeights[i] = 1.5f + i;
  g.fg_eShade = FLS_LIGHT;
  g.fg_iWeight = -2147483647 - 1;
  g.fg_strTitle = "A title\nover two lines";
  g.fg_idKind = strConvertStringToID("KindOfGraph");
  Ptr<CFlNode> pA(new CFlNode), pB(new CFlNode);
  pA->fn_iValue = 1;
  pB->fn_iValue = 2;
  pA->fn_pNext = pB;
  pB->fn_pNext = pA;
  g.fg_pRing = pA;
  g.fg_iAliased = 2147483647;
  g.fg_iNotSaved = 77;
}

void BreakRing(CFlGraph &g)
{
  // (a damaged file may have made any shape of ring: every node met lets go of its next)
  std::vector<Ptr<CFlNode>> aNodes;
  for (Ptr<CFlNode> p = g.fg_pRing; p != nullptr && aNodes.size() < 16; p = p->fn_pNext) {
    aNodes.push_back(p);
  }
  for (Ptr<CFlNode> &p : aNodes) p->fn_pNext = nullptr;
  g.fg_pRing = nullptr;
}

void TakeApart(CMetaPointer mp)
{
  if (mp.mp_pdtType != CFlGraph::md_pdtDataType) {
    // (a leaf or a node as the root: the file's type table was damaged into another root)
    if (mp.mp_pdtType == CFlNode::md_pdtDataType) {
      Ptr<CFlNode> p((CFlNode *)(CSmartObject *)(CObject *)mp.mp_pvObject);
      p->fn_pNext = nullptr;
      return;
    }
    mdDelete(mp);
    return;
  }
  CFlGraph *pg = (CFlGraph *)mp.mp_pvObject;
  BreakRing(*pg);
  std::vector<CFlLeaf *> apl;
  auto Keep = [&apl, pg](CFlLeaf *pl) {
    if (pl == nullptr || (void *)pl == (void *)pg) return;
    for (CFlLeaf *p : apl) {
      if (p == pl) return;
    }
    apl.push_back(pl);
  };
  Keep(pg->fg_pOwned);
  for (long i = 0; i < pg->fg_dcOwned.Count(); i++) Keep(pg->fg_dcOwned.Pointer(i));
  // (a leaf that lost its owner to a flipped index is still reached by the other references)
  Keep(pg->fg_pShared);
  Keep(pg->fg_pShared2);
  for (long i = 0; i < pg->fg_dcWithNulls.Count(); i++) Keep(pg->fg_dcWithNulls.Pointer(i));
  Keep(pg->fg_hLeaf.Get());
  pg->fg_pOwned = nullptr;
  pg->fg_dcOwned.Clear();
  mdDelete(mp);
  for (CFlLeaf *pl : apl) delete pl;
}

void ExpectSameGraph(CFlGraph &h, CFlGraph *pgOriginal)
{
  ASSERT_NE(h.fg_pOwned, nullptr);
  if (pgOriginal != nullptr) {
    EXPECT_NE(h.fg_pOwned, pgOriginal->fg_pOwned);
  }
  EXPECT_EQ(h.fg_pOwned->fl_iValue, 11);
  ASSERT_EQ(h.fg_dcOwned.Count(), 3);
  for (int i = 0; i < 3; i++) EXPECT_EQ(h.fg_dcOwned.Pointer(i)->fl_iValue, 100 + i);
  EXPECT_EQ(h.fg_pShared, h.fg_dcOwned.Pointer(1));
  EXPECT_EQ(h.fg_pShared2, h.fg_pShared);
  EXPECT_EQ(h.fg_pSelf, &h);
  ASSERT_EQ(h.fg_dcWithNulls.Count(), 3);
  EXPECT_EQ(h.fg_dcWithNulls.Pointer(0), h.fg_dcOwned.Pointer(2));
  EXPECT_EQ(h.fg_dcWithNulls.Pointer(1), nullptr);
  EXPECT_EQ(h.fg_dcWithNulls.Pointer(2), h.fg_pOwned);
  ASSERT_EQ(h.fg_saFloats.Count(), 3);
  for (int i = 0; i < 3; i++) EXPECT_EQ(h.fg_saFloats[i], 0.25f * i - 1.0f);
  ASSERT_EQ(h.fg_ssaNames.Count(), FL_CT_TEXTS);
  for (int i = 0; i < FL_CT_TEXTS; i++) EXPECT_STREQ(h.fg_ssaNames[i], fl_astrTexts[i]) << i;
  EXPECT_EQ(h.fg_hLeaf.Get(), h.fg_dcOwned.Pointer(0));
  for (int i = 0; i < 4; i++) EXPECT_EQ(h.fg_afWeights[i], 1.5f + i);
  EXPECT_EQ(h.fg_eShade, FLS_LIGHT);
  EXPECT_EQ(h.fg_iWeight, -2147483647 - 1);
  EXPECT_STREQ(h.fg_strTitle, "A title\nover two lines");
  EXPECT_EQ(h.fg_idKind, strConvertStringToID("KindOfGraph"));
  ASSERT_NE(h.fg_pRing, nullptr);
  if (pgOriginal != nullptr) {
    EXPECT_NE(h.fg_pRing, pgOriginal->fg_pRing);
  }
  EXPECT_EQ(h.fg_pRing->fn_iValue, 1);
  ASSERT_NE(h.fg_pRing->fn_pNext, nullptr);
  EXPECT_EQ(h.fg_pRing->fn_pNext->fn_iValue, 2);
  EXPECT_EQ(h.fg_pRing->fn_pNext->fn_pNext, h.fg_pRing);
  EXPECT_EQ(h.fg_iAliased, 2147483647);
  EXPECT_EQ(h.fg_iNotSaved, 5); // its constructor's value
}

} // namespace Test
} // namespace QuennelEngine
