// Metadata files: graphs round-trip through files, files written by an older layout of a type
// load into the new one, and damaged files are refused cleanly.
#include "MetaTestSupport.h"

#include <gtest/gtest.h>

#include <stddef.h>
#include <string.h>

#include <random>
#include <vector>

using namespace QuennelEngine;
using namespace QuennelEngine::Test;

enum EFlShade : long {
  FLS_DARK = 1,
  FLS_LIGHT = 2,
};
MD_DECLARE_ENUM(EFlShade)
MD_ENUM_BEGIN(EFlShade, 1)
MD_ENUM_VALUE(FLS_DARK, "FLS_DARK", "Dark")
MD_ENUM_VALUE(FLS_LIGHT, "FLS_LIGHT", "Light")
MD_ENUM_END()

MD_TYPEDEF(FLWEIGHT, "SLONG")

namespace {

long _ctFlAlive = 0;

class CFlLeaf : public CObject {
  MD_DECLARE_CLASS(CFlLeaf)
  CFlLeaf() { _ctFlAlive++; }
  ~CFlLeaf() { _ctFlAlive--; }
  long fl_iValue = 0;
};

class CFlNode : public CSmartObject {
  MD_DECLARE_CLASS(CFlNode)
  CFlNode() { _ctFlAlive++; }
  ~CFlNode() { _ctFlAlive--; }
  Ptr<CFlNode> fn_pNext;
  long fn_iValue = 0;
};

class CFlGraph : public CObject {
  MD_DECLARE_CLASS(CFlGraph)
  CFlGraph() { _ctFlAlive++; }
  ~CFlGraph()
  {
    delete fg_pOwned;
    for (long i = 0; i < fg_dcOwned.Count(); i++) delete fg_dcOwned.Pointer(i);
    _ctFlAlive--;
  }
  CFlLeaf *fg_pOwned = nullptr;
  CFlLeaf *fg_pShared = nullptr; // one of fg_dcOwned's
  CFlLeaf *fg_pShared2 = nullptr;
  CFlGraph *fg_pSelf = nullptr;
  CDynamicContainer<CFlLeaf> fg_dcOwned;
  CDynamicContainer<CFlLeaf> fg_dcWithNulls;
  CStaticArray<FLOAT> fg_saFloats;
  CStaticStackArray<CString> fg_ssaNames;
  Handle<CFlLeaf> fg_hLeaf;
  FLOAT fg_afWeights[4] = {0, 0, 0, 0};
  EFlShade fg_eShade = FLS_DARK;
  long fg_iWeight = 0;
  CString fg_strTitle;
  IDENT fg_idKind = mdInvalidIdent();
  Ptr<CFlNode> fg_pRing;
  long fg_iNotSaved = 5;
};

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
MD_MEMBER(fg_iNotSaved, SMF_NOSAVE, "Not saved")
MD_CLASS_END()

CMetaPointer Meta(CObject *pobj)
{
  return CMetaPointer(pobj->mdGetDataType(), pobj);
}

// Writes the graph of `mp` into a memory stream, positioned at its start.
void WriteToMemory(CStream &strm, CMetaPointer mp)
{
  strm.CreateMemoryStream();
  mdInternalWrite_t(strm, mp);
  strm.SeekBeg_t(0);
}

std::vector<char> Bytes(CStream &strm)
{
  std::vector<char> ab(strm.GetSize());
  strm.SeekBeg_t(0);
  if (!ab.empty()) strm.Read_t(ab.data(), (long)ab.size());
  strm.SeekBeg_t(0);
  return ab;
}

// Fills a graph with one of everything a file holds.
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
  for (int i = 0; i < 3; i++) g.fg_saFloats[i] = 0.5f * i;
  g.fg_ssaNames.Push() = "alpha";
  g.fg_ssaNames.Push() = "";
  g.fg_ssaNames.Push() = "gamma";
  g.fg_hLeaf = g.fg_dcOwned.Pointer(0);
  for (int i = 0; i < 4; i++) g.fg_afWeights[i] = 1.0f + i;
  g.fg_eShade = FLS_LIGHT;
  g.fg_iWeight = -42;
  g.fg_strTitle = "A title";
  g.fg_idKind = strConvertStringToID("KindOfGraph");
  Ptr<CFlNode> pA(new CFlNode), pB(new CFlNode);
  pA->fn_iValue = 1;
  pB->fn_iValue = 2;
  pA->fn_pNext = pB;
  pB->fn_pNext = pA;
  g.fg_pRing = pA;
  g.fg_iNotSaved = 77;
}

// Breaks the ring of counted nodes so that the graph can go.
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

// Deletes a loaded graph whatever shape a damaged file gave it: every distinct leaf once.
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

void ExpectSameGraph(CFlGraph &g, CFlGraph &h)
{
  ASSERT_NE(h.fg_pOwned, nullptr);
  EXPECT_NE(h.fg_pOwned, g.fg_pOwned);
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
  for (int i = 0; i < 3; i++) EXPECT_EQ(h.fg_saFloats[i], 0.5f * i);
  ASSERT_EQ(h.fg_ssaNames.Count(), 3);
  EXPECT_STREQ(h.fg_ssaNames[0], "alpha");
  EXPECT_STREQ(h.fg_ssaNames[1], "");
  EXPECT_STREQ(h.fg_ssaNames[2], "gamma");
  EXPECT_EQ(h.fg_hLeaf.Get(), h.fg_dcOwned.Pointer(0));
  for (int i = 0; i < 4; i++) EXPECT_EQ(h.fg_afWeights[i], 1.0f + i);
  EXPECT_EQ(h.fg_eShade, FLS_LIGHT);
  EXPECT_EQ(h.fg_iWeight, -42);
  EXPECT_STREQ(h.fg_strTitle, "A title");
  EXPECT_EQ(h.fg_idKind, strConvertStringToID("KindOfGraph"));
  ASSERT_NE(h.fg_pRing, nullptr);
  EXPECT_NE(h.fg_pRing, g.fg_pRing);
  EXPECT_EQ(h.fg_pRing->fn_iValue, 1);
  ASSERT_NE(h.fg_pRing->fn_pNext, nullptr);
  EXPECT_EQ(h.fg_pRing->fn_pNext->fn_iValue, 2);
  EXPECT_EQ(h.fg_pRing->fn_pNext->fn_pNext, h.fg_pRing);
  EXPECT_EQ(h.fg_iNotSaved, 5); // its constructor's value
}

class MetaFiles : public ::testing::Test {
protected:
  void SetUp() override
  {
    mdUpdateTypeTables();
    _ctFlAlive = 0;
  }
  void TearDown() override
  {
    md_bAllowRawLoading = 1;
    EXPECT_EQ(_ctFlAlive, 0);
  }
};

} // namespace

TEST_F(MetaFiles, AGraphOfEveryKindRoundTripsDeepEqualWithAndWithoutRawLoading)
{
  CFlGraph g;
  Fill(g);
  CStream strm;
  WriteToMemory(strm, Meta(&g));
  const std::vector<char> abFirst = Bytes(strm);
  std::vector<char> abSecond;
  for (int bRaw = 0; bRaw < 2; bRaw++) {
    md_bAllowRawLoading = bRaw;
    strm.SeekBeg_t(0);
    CMetaPointer mp = mdInternalRead_t(strm);
    ASSERT_EQ(mp.mp_pdtType, CFlGraph::md_pdtDataType);
    CFlGraph &h = *(CFlGraph *)mp.mp_pvObject;
    ExpectSameGraph(g, h);
    // Written again, the loaded graph gives the same bytes.
    CStream strmAgain;
    WriteToMemory(strmAgain, mp);
    abSecond = Bytes(strmAgain);
    EXPECT_EQ(abSecond, abFirst);
    BreakRing(h);
    mdDelete(mp);
  }
  BreakRing(g);
}

TEST_F(MetaFiles, ReadStatisticsAreReportedWhenAsked)
{
  CFlLeaf leaf;
  CStream strm;
  WriteToMemory(strm, Meta(&leaf));
  md_bReportReadStats = 1;
  CConsoleLines cl;
  CMetaPointer mp = mdInternalRead_t(strm);
  md_bReportReadStats = 0;
  mdDelete(mp);
  EXPECT_TRUE(cl.Has("<memory stream>: ")) << cl.Text();
  EXPECT_TRUE(cl.Has(" bytes read (")) << cl.Text();
}

TEST_F(MetaFiles, TheFileStartsWithItsMagicAndEndsWithItsFooter)
{
  CFlLeaf leaf;
  leaf.fl_iValue = 3;
  CStream strm;
  WriteToMemory(strm, Meta(&leaf));
  const std::vector<char> ab = Bytes(strm);
  ASSERT_GT(ab.size(), 16u);
  EXPECT_EQ(memcmp(ab.data(), "VQTNMETA", 8), 0);
  unsigned long ulCookie;
  long iVersion;
  memcpy(&ulCookie, ab.data() + 8, 4);
  memcpy(&iVersion, ab.data() + 12, 4);
  EXPECT_EQ(ulCookie, 0x1234ABCDUL);
  EXPECT_EQ(iVersion, 8);
  EXPECT_EQ(memcmp(ab.data() + ab.size() - 8, "METAEND ", 8), 0);
}

TEST_F(MetaFiles, HeaderFaultsAreReportedWithTheirTexts)
{
  CFlLeaf leaf;
  CStream strm;
  WriteToMemory(strm, Meta(&leaf));
  std::vector<char> ab = Bytes(strm);
  auto Message = [](std::vector<char> abFile) -> std::string {
    CStream strmBad;
    strmBad.CreateMemoryStream_t(abFile.data(), (long)abFile.size());
    try {
      CMetaPointer mp = mdInternalRead_t(strmBad);
      mdDelete(mp);
    } catch (CException &ex) {
      return ex.GetDescription();
    }
    return "(no error)";
  };
  std::vector<char> abSwapped = ab;
  const unsigned long ulSwapped = 0xCDAB3412UL;
  memcpy(abSwapped.data() + 8, &ulSwapped, 4);
  EXPECT_NE(Message(abSwapped).find("Unsupported endianness"), std::string::npos);
  std::vector<char> abWrong = ab;
  const unsigned long ulWrong = 0x11112222UL;
  memcpy(abWrong.data() + 8, &ulWrong, 4);
  EXPECT_NE(Message(abWrong).find("Wrong endianness cookie 11112222."), std::string::npos);
  std::vector<char> abFuture = ab;
  const long iFuture = 9;
  memcpy(abFuture.data() + 12, &iFuture, 4);
  EXPECT_NE(Message(abFuture).find("version 9"), std::string::npos);
  std::vector<char> abNotMeta = ab;
  abNotMeta[0] = 'X';
  EXPECT_NE(Message(abNotMeta).find("This is not a metadata file."), std::string::npos);
}

// Every truncation and thousands of bit flips give a clean exception or a graph, never a crash,
// a hang or a fatal error. A cut file always fails and leaves nothing behind.
TEST_F(MetaFiles, DamagedFilesAreRefusedCleanly)
{
  CFlGraph g;
  Fill(g);
  CStream strm;
  WriteToMemory(strm, Meta(&g));
  const std::vector<char> ab = Bytes(strm);
  BreakRing(g);
  ASSERT_GT(ab.size(), 1000u);
  ASSERT_LT(ab.size(), 5200u);
  auto TryRead = [](const std::vector<char> &abFile, std::vector<CMetaPointer> *pLoaded) -> bool {
    CStream strmBad;
    strmBad.CreateMemoryStream_t(abFile.data(), (long)abFile.size());
    try {
      CMetaPointer mp = mdInternalRead_t(strmBad);
      if (pLoaded != nullptr) pLoaded->push_back(mp);
      return true;
    } catch (CException &) {
      return false;
    }
  };
  // Reading stops after the objects outside the editor: only the empty edit lists and the
  // footer (16 bytes) may be cut off.
  const long ctOriginal = _ctFlAlive;
  for (size_t sl = 0; sl + 16 < ab.size(); sl++) {
    EXPECT_FALSE(TryRead(std::vector<char>(ab.begin(), ab.begin() + sl), nullptr)) << sl;
  }
  EXPECT_EQ(_ctFlAlive, ctOriginal);
  // A flipped bit may still give a loadable graph, but one whose C++ ownership is broken (a
  // leaf owned twice): such a graph is taken apart by hand, each leaf deleted once.
  std::vector<CMetaPointer> aLoaded;
  std::mt19937 rng(20261208);
  long ctFailed = 0;
  for (int i = 0; i < 10000; i++) {
    std::vector<char> abFlipped = ab;
    abFlipped[rng() % ab.size()] ^= (char)(1 << (rng() % 8));
    if (!TryRead(abFlipped, &aLoaded)) ctFailed++;
    for (CMetaPointer &mp : aLoaded) TakeApart(mp);
    aLoaded.clear();
  }
  EXPECT_GT(ctFailed, 1000);
  EXPECT_EQ(_ctFlAlive, ctOriginal);
}
