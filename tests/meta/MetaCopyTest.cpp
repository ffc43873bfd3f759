// Collection and copy of object graphs: what a copy duplicates, shares, translates or drops, and
// how cycles of smart pointers are broken.
#include "MetaTestSupport.h"

#include <gtest/gtest.h>

#include <thread>

using namespace QuennelEngine;
using namespace QuennelEngine::Test;

namespace {

long _ctCpAlive = 0;

// A counted element of the graphs.
class CCpPart : public CObject {
  MD_DECLARE_CLASS(CCpPart)
  CCpPart() { _ctCpAlive++; }
  ~CCpPart() { _ctCpAlive--; }
  long cp_iValue = 0;
};

class CCpGraph : public CObject {
  MD_DECLARE_CLASS(CCpGraph)
  CCpGraph() { _ctCpAlive++; }
  ~CCpGraph()
  {
    delete cg_pOwned;
    _ctCpAlive--;
  }
  CCpPart *cg_pOwned = nullptr;   // owned: duplicated
  CCpPart *cg_pSibling = nullptr; // not owned: the copy of an internal target, else null
  CCpGraph *cg_pBack = nullptr;   // not owned, points into the graph
  CString cg_strName;
  CStaticStackArray<long> cg_saValues;
  long cg_iNoCopy = 0;
};

// Edit data: a part only the editor sees, and one reached first plainly, then as edit data.
class CCpEdited : public CObject {
  MD_DECLARE_CLASS(CCpEdited)
  CCpEdited() { _ctCpAlive++; }
  ~CCpEdited()
  {
    delete ce_pEditOnly;
    delete ce_pEditShared;
    _ctCpAlive--;
  }
  CCpPart *ce_pPlain = nullptr;
  CCpPart *ce_pEditShared = nullptr;
  CCpPart *ce_pEditOnly = nullptr;
};

class CCpNode : public CSmartObject {
  MD_DECLARE_CLASS(CCpNode)
  CCpNode() { _ctCpAlive++; }
  ~CCpNode() { _ctCpAlive--; }
  Ptr<CCpNode> cn_pNext;
  long cn_iValue = 0;
};

MD_CLASS_BEGIN(CCpPart, CObject, 1)
MD_MEMBER(cp_iValue, 0, "Value")
MD_CLASS_END()

MD_CLASS_BEGIN(CCpGraph, CObject, 1)
MD_MEMBER(cg_pOwned, SMF_OWNED, "Owned")
MD_MEMBER(cg_pSibling, 0, "Sibling")
MD_MEMBER(cg_pBack, 0, "Back")
MD_MEMBER(cg_strName, 0, "Name")
MD_MEMBER(cg_saValues, 0, "Values")
MD_MEMBER(cg_iNoCopy, SMF_NOCOPY, "Not copied")
MD_CLASS_END()

MD_CLASS_BEGIN(CCpEdited, CObject, 1)
MD_MEMBER(ce_pPlain, 0, "Plain")
MD_MEMBER(ce_pEditShared, SMF_OWNED | SMF_EDIT, "Edit shared")
MD_MEMBER(ce_pEditOnly, SMF_OWNED | SMF_EDIT, "Edit only")
MD_CLASS_END()

MD_CLASS_BEGIN(CCpNode, CSmartObject, 1)
MD_MEMBER(cn_pNext, 0, "Next")
MD_MEMBER(cn_iValue, 0, "Value")
MD_CLASS_END()

CMetaPointer Meta(CObject *pobj)
{
  return CMetaPointer(pobj->mdGetDataType(), pobj);
}

// Owns a crowd of parts: a graph of many objects of one type in a row.
class CCpCrowd : public CObject {
  MD_DECLARE_CLASS(CCpCrowd)
  ~CCpCrowd()
  {
    for (long i = 0; i < cc_sapParts.Count(); i++) delete cc_sapParts[i];
  }
  CStaticArray<CCpPart *> cc_sapParts;
};

MD_CLASS_BEGIN(CCpCrowd, CObject, 1)
MD_MEMBER(cc_sapParts, SMF_OWNED, "Parts")
MD_CLASS_END()

class MetaCopy : public ::testing::Test {
protected:
  void SetUp() override
  {
    mdUpdateTypeTables();
    _ctCpAlive = 0;
  }
  void TearDown() override { EXPECT_EQ(_ctCpAlive, 0); }
};

} // namespace

TEST_F(MetaCopy, OwnedPartsAreDuplicatedInternalReferencesTranslatedExternalOnesDropped)
{
  CCpGraph g;
  g.cg_pOwned = new CCpPart;
  g.cg_pOwned->cp_iValue = 7;
  CCpPart partOutside;
  g.cg_pSibling = &partOutside; // outside the graph
  g.cg_pBack = &g;              // the root itself
  g.cg_strName = "root";
  g.cg_saValues.Push() = 1;
  g.cg_saValues.Push() = 2;
  g.cg_iNoCopy = 99;

  CMetaPointer mpCopy;
  mdCopy(mpCopy, Meta(&g));
  ASSERT_TRUE(mpCopy.IsValid());
  ASSERT_EQ(mpCopy.mp_pdtType, CCpGraph::md_pdtDataType);
  CCpGraph *pgCopy = (CCpGraph *)mpCopy.mp_pvObject;
  ASSERT_NE(pgCopy->cg_pOwned, nullptr);
  EXPECT_NE(pgCopy->cg_pOwned, g.cg_pOwned);
  EXPECT_EQ(pgCopy->cg_pOwned->cp_iValue, 7);
  EXPECT_EQ(pgCopy->cg_pSibling, nullptr); // external, not retained
  EXPECT_EQ(pgCopy->cg_pBack, pgCopy);     // internal: the copy of the root
  EXPECT_STREQ(pgCopy->cg_strName, "root");
  EXPECT_NE((const char *)pgCopy->cg_strName, (const char *)g.cg_strName); // deep
  ASSERT_EQ(pgCopy->cg_saValues.Count(), 2);
  EXPECT_EQ(pgCopy->cg_saValues[1], 2);
  EXPECT_EQ(pgCopy->cg_iNoCopy, 0);
  mdDelete(mpCopy);

  // With md_bCopyRetainsAll, an external reference keeps pointing at the original.
  md_bCopyRetainsAll = 1;
  CMetaPointer mpRetained;
  mdCopy(mpRetained, Meta(&g));
  md_bCopyRetainsAll = 0;
  EXPECT_EQ(((CCpGraph *)mpRetained.mp_pvObject)->cg_pSibling, &partOutside);
  mdDelete(mpRetained);

  // A null source gives a null destination.
  CMetaPointer mpNull = mpCopy;
  mdCopy(mpNull, CMetaPointer());
  EXPECT_FALSE(mpNull.IsValid());
}

TEST_F(MetaCopy, CopyingIntoADestinationDeletesItsOldPointeeOnce)
{
  CCpGraph g;
  g.cg_pOwned = new CCpPart;
  CCpGraph gDestination;
  gDestination.cg_pOwned = new CCpPart;
  gDestination.cg_pOwned->cp_iValue = 5;
  EXPECT_EQ(_ctCpAlive, 4);
  CMetaPointer mpDestination = Meta(&gDestination);
  mdCopy(mpDestination, Meta(&g));
  EXPECT_EQ(mpDestination.mp_pvObject, &gDestination);
  ASSERT_NE(gDestination.cg_pOwned, nullptr);
  EXPECT_NE(gDestination.cg_pOwned, g.cg_pOwned);
  EXPECT_EQ(gDestination.cg_pOwned->cp_iValue, 0);
  // The old pointee went, its copy came: as many alive as before.
  EXPECT_EQ(_ctCpAlive, 4);
}

TEST_F(MetaCopy, SeveralRootsCopyAsOneGraph)
{
  CCpGraph gA, gB;
  gA.cg_pBack = &gB;
  gB.cg_pBack = &gA;
  CStaticStackArray<CMetaPointer> saSources, saCopies;
  saSources.Push(Meta(&gA));
  saSources.Push(Meta(&gB));
  mdCopyMultiple(saCopies, saSources);
  ASSERT_EQ(saCopies.Count(), 2);
  CCpGraph *pgA = (CCpGraph *)saCopies[0].mp_pvObject;
  CCpGraph *pgB = (CCpGraph *)saCopies[1].mp_pvObject;
  EXPECT_EQ(pgA->cg_pBack, pgB);
  EXPECT_EQ(pgB->cg_pBack, pgA);
  mdDelete(saCopies[0]);
  mdDelete(saCopies[1]);
}

TEST_F(MetaCopy, ClearingSmartPointersFreesACycleAndSparesWhatIsHeldOutside)
{
  {
    // A -> B -> C -> A, held by nobody but one another.
    CCpNode *pA = new CCpNode, *pB = new CCpNode, *pC = new CCpNode;
    Ptr<CCpNode> pHold(pA);
    pA->cn_pNext = pB;
    pB->cn_pNext = pC;
    pC->cn_pNext = pA;
    EXPECT_EQ(_ctCpAlive, 3);
    mdClearSmartPointers(Meta(pA));
    // B and C went; A is held from outside and survives with its pointer cleared.
    EXPECT_EQ(_ctCpAlive, 1);
    EXPECT_EQ(pA->cn_pNext.Get(), nullptr);
    EXPECT_EQ(pA->GetReferenceCount(), 1);
  }
  EXPECT_EQ(_ctCpAlive, 0);
}

TEST_F(MetaCopy, SmartTargetsAreCopiedWithTheirCounts)
{
  Ptr<CCpNode> pA(new CCpNode);
  pA->cn_pNext = new CCpNode;
  pA->cn_pNext->cn_iValue = 3;
  CMetaPointer mpCopy;
  mdCopy(mpCopy, Meta(pA));
  Ptr<CCpNode> pCopy((CCpNode *)mpCopy.mp_pvObject);
  ASSERT_NE(pCopy->cn_pNext.Get(), nullptr);
  EXPECT_NE(pCopy->cn_pNext.Get(), pA->cn_pNext.Get());
  EXPECT_EQ(pCopy->cn_pNext->cn_iValue, 3);
  EXPECT_EQ(pCopy->cn_pNext->GetReferenceCount(), 1);
  EXPECT_EQ(pA->cn_pNext->GetReferenceCount(), 1);
}

TEST_F(MetaCopy, ClipboardDeletesWhatItHeldButNotTheSameObjectTwice)
{
  CMetaPointer mp = mdNew_t(CCpPart::md_pdtDataType);
  mdSetClipboard(mp);
  mdSetClipboard(mp); // the same: nothing is deleted
  EXPECT_EQ(_ctCpAlive, 1);
  EXPECT_EQ(mdGetClipboard(), mp);
  mdSetClipboard(CMetaPointer());
  EXPECT_EQ(_ctCpAlive, 0);
  mdSetClipboardRaw(mp);
  EXPECT_EQ(mdGetClipboardRaw(), mp);
  mdSetClipboardRaw(CMetaPointer());
}

TEST_F(MetaCopy, SwitchesAreBackAfterACopyAndContextsDoNotMix)
{
  const int bResolve = md_bResolveProxies;
  CCpGraph g;
  CMetaPointer mpCopy;
  mdCopy(mpCopy, Meta(&g));
  EXPECT_EQ(md_bResolveProxies, bResolve);
  EXPECT_EQ(md_bCollectForCopying, 0);
  mdDelete(mpCopy);

  // An index being filled on this thread survives a copy made meanwhile.
  mdSetupMetaIndex();
  const long i = mdAddObject(Meta(&g));
  CMetaPointer mpCopy2;
  mdCopy(mpCopy2, Meta(&g));
  EXPECT_EQ(mdGetObjectCount(), 1);
  EXPECT_EQ(mdObjectToIndex(Meta(&g)), i);
  mdCleanupMetaIndex();
  mdDelete(mpCopy2);
}

namespace {

struct CollectorState {
  CCpGraph *cs_pg;
  long cs_ctBad;
  volatile long cs_bDone;
};

const int _ctCollections = 200;

// Collects the graph again and again in contexts of its own, on a library thread.
void Collector(void *pv)
{
  CollectorState *pcs = (CollectorState *)pv;
  for (int i = 0; i < _ctCollections; i++) {
    CMetaContextScope mcs;
    mdGetMetaSwitches().ms_bCollectForCopying = 0;
    mdSetupMetaIndex();
    mdCollectReference_t(Meta(pcs->cs_pg), SMF_OWNED);
    _mdCollectClosure_t();
    if (mdGetObjectCount() != 2 || mdIsObjectExternal(0) || mdIsObjectExternal(1)) pcs->cs_ctBad++;
    mdCleanupMetaIndex();
  }
  pcs->cs_bDone = 1;
}

} // namespace

TEST_F(MetaCopy, ACopyAndACollectionOnTwoThreadsLeaveBothCorrect)
{
  CThreadServices ts;
  CCpGraph gA;
  gA.cg_pOwned = new CCpPart;
  gA.cg_pBack = &gA;
  static CollectorState cs;
  cs = CollectorState{&gA, 0, 0};
  ASSERT_NE(thrCreateThread(&cs, Collector), nullptr);
  long ctBadCopies = 0;
  for (int i = 0; i < _ctCollections; i++) {
    CMetaPointer mp;
    mdCopy(mp, Meta(&gA));
    CCpGraph *pg = (CCpGraph *)mp.mp_pvObject;
    if (pg == nullptr || pg->cg_pBack != pg || pg->cg_pOwned == nullptr ||
        pg->cg_pOwned == gA.cg_pOwned) {
      ctBadCopies++;
    }
    mdDelete(mp);
  }
  ASSERT_TRUE(WaitUntil([] { return cs.cs_bDone != 0; }, 60000));
  ASSERT_TRUE(WaitUntil(AllThreadsEnded, 5000));
  EXPECT_EQ(cs.cs_ctBad, 0);
  EXPECT_EQ(ctBadCopies, 0);
}

TEST_F(MetaCopy, CollectionSortsEditDataAndCountsBytes)
{
  CCpGraph g;
  g.cg_pOwned = new CCpPart;
  CMetaContextScope mcs;
  mdSetupMetaIndex();
  mdCollectReference_t(Meta(&g), SMF_OWNED);
  _mdCollectClosure_t();
  ASSERT_EQ(mdGetObjectCount(), 2);
  EXPECT_EQ(mdIndexToObject(0).mp_pvObject, &g);
  EXPECT_EQ(mdIndexToObject(1).mp_pvObject, g.cg_pOwned);
  EXPECT_FALSE(mdIsObjectExternal(1));
  EXPECT_TRUE(mdIsObjectCollected(1));
  EXPECT_GE(mdTypeToIndex(CCpPart::md_pdtDataType), 0);
  EXPECT_GT(mdGetMetaSwitches().ms_slCollectedBytes, 0);
  EXPECT_EQ(md_slCollectedBytes, mdGetMetaSwitches().ms_slCollectedBytes);
  mdCleanupMetaIndex();
  EXPECT_EQ(CCpPart::md_pdtDataType->dt_iSaveIndex, -1);

  // An object reached first through a plain reference, then through an owned edit one, stays a
  // normal object and the lost qualifier is reported.
  CCpPart part;
  CConsoleLines cl;
  mdSetupMetaIndex();
  const long i = mdCollectReference_t(Meta(&part), 0);
  mdCollectReference_t(Meta(&part), SMF_OWNED | SMF_EDIT);
  EXPECT_FALSE(mdIsObjectEdit(i));
  EXPECT_TRUE(cl.Has("has lost SMF_EDIT qualifier due to collection order!")) << cl.Text();
  mdCleanupMetaIndex();
}

// The switches are the process's: a thread that used the index before follows a change made
// since, whether it comes before the setup or between it and the collection.
TEST_F(MetaCopy, CollectionFollowsTheEditSwitchesAsTheyAreWhenItRuns)
{
  const int bWasInEditor = md_bInEditor, bWasDiscard = md_bDiscardEditData;
  CCpEdited e;
  e.ce_pEditShared = new CCpPart;
  e.ce_pPlain = e.ce_pEditShared;
  e.ce_pEditOnly = new CCpPart;
  // Runs one collection by hand; returns the index of the part only edit data reaches.
  auto Collect = [&](bool bSwitchAfterSetup, int bInEditor, int bDiscard) {
    if (!bSwitchAfterSetup) md_bInEditor = bInEditor, md_bDiscardEditData = bDiscard;
    mdSetupMetaIndex();
    if (bSwitchAfterSetup) md_bInEditor = bInEditor, md_bDiscardEditData = bDiscard;
    mdCollectReference_t(Meta(&e), SMF_OWNED);
    _mdCollectClosure_t();
    const long i = mdObjectToIndex(Meta(e.ce_pEditOnly));
    const bool bEdit = i >= 0 && mdIsObjectEdit(i);
    mdCleanupMetaIndex();
    return i >= 0 ? (bEdit ? 2 : 1) : 0;
  };
  for (int iRound = 0; iRound < 2; iRound++) {
    const bool bAfter = iRound == 1;
    {
      CConsoleLines cl;
      EXPECT_EQ(Collect(bAfter, 0, 0), 0) << iRound;
      EXPECT_FALSE(cl.Has("has lost SMF_EDIT qualifier")) << cl.Text();
    }
    {
      CConsoleLines cl;
      EXPECT_EQ(Collect(bAfter, 1, 0), 2) << iRound; // collected, as edit data
      EXPECT_TRUE(cl.Has("has lost SMF_EDIT qualifier due to collection order!")) << cl.Text();
    }
    EXPECT_EQ(Collect(bAfter, 1, 1), 0) << iRound; // the editor discarding its data
  }
  // A new thread starts from the switches of the moment too.
  md_bInEditor = 1;
  md_bDiscardEditData = 0;
  int iOnThread = -1;
  std::thread th([&] { iOnThread = Collect(false, 1, 0); });
  th.join();
  EXPECT_EQ(iOnThread, 2);
  md_bInEditor = bWasInEditor;
  md_bDiscardEditData = bWasDiscard;
}

TEST_F(MetaCopy, BytesAreNeverCopiedForValuesThatAreNotPlain)
{
  // A handle-like value without a Copy operation: copying its bytes would share what it holds.
  CDataType_Simple dtOpaque("CCpOpaque", 1, nullptr, 4, 4, 0);
  unsigned long ulSource = 0x12345678, ulDestination = 0;
  CGuardBreachCounter gbc;
  mdCopyObjectDefault_t(&dtOpaque, &ulDestination, &ulSource, 0);
  EXPECT_EQ(gbc.Count(), 1);
  EXPECT_EQ(ulDestination, 0u);
  // Plain values and texts (which have their own Copy) are copied.
  mdCopyObject_t(md_pdtULONG, &ulDestination, &ulSource, 0);
  EXPECT_EQ(ulDestination, 0x12345678u);
  CString strSource = "text", strDestination;
  mdCopyObject_t(md_pdtCString, &strDestination, &strSource, 0);
  EXPECT_STREQ(strDestination, "text");
  EXPECT_NE((const char *)strDestination, (const char *)strSource);
}

// Later objects of a type are collected through steps made from the first one's walk: they must
// count the same bytes and reach the same parts.
TEST_F(MetaCopy, EveryObjectOfATypeIsCollectedAsTheFirstWas)
{
  auto Collect = [](CCpGraph *pg, long &ctObjects) {
    CMetaContextScope mcs;
    mdSetupMetaIndex();
    mdCollectReference_t(Meta(pg), SMF_OWNED);
    _mdCollectClosure_t();
    ctObjects = mdGetObjectCount();
    for (long i = 0; i < ctObjects; i++) {
      EXPECT_TRUE(mdIsObjectCollected(i)) << i;
      EXPECT_FALSE(mdIsObjectExternal(i)) << i;
    }
    const long slBytes = mdGetMetaSwitches().ms_slCollectedBytes;
    mdCleanupMetaIndex();
    return slBytes;
  };
  // Five graphs, each owning a part, each referring back to the one before.
  CCpGraph ag[5];
  for (int i = 0; i < 5; i++) {
    ag[i].cg_pOwned = new CCpPart;
    ag[i].cg_saValues.Push() = i;
    if (i > 0) ag[i].cg_pBack = &ag[i - 1];
  }
  long ctOne, ctAll;
  const long slOne = Collect(&ag[0], ctOne);
  const long slAll = Collect(&ag[4], ctAll);
  EXPECT_EQ(ctOne, 2);
  EXPECT_EQ(ctAll, 10);
  EXPECT_EQ(slAll, 5 * slOne);
}

// Many copies of one type (their blocks taken ahead in runs): each made and booked once, no run
// left held, and the books back where they were once the copy is deleted.
TEST_F(MetaCopy, ManyObjectsOfOneTypeAreMadeAndBookedOnceEach)
{
  CCpCrowd crowd;
  const long ct = 700;
  crowd.cc_sapParts.New(ct);
  for (long i = 0; i < ct; i++) {
    crowd.cc_sapParts[i] = new CCpPart;
    crowd.cc_sapParts[i]->cp_iValue = i * 3;
  }
  const MemoryTypeStats mtsBefore = CCpPart::md_pdtDataType->dt_mts;
  CMetaPointer mpCopy;
  mdCopy(mpCopy, Meta(&crowd));
  EXPECT_EQ(memReleaseSingles(), 0);
  ASSERT_EQ(mpCopy.mp_pdtType, CCpCrowd::md_pdtDataType);
  const CCpCrowd &copy = *(CCpCrowd *)(CObject *)mpCopy.mp_pvObject;
  ASSERT_EQ(copy.cc_sapParts.Count(), ct);
  long ctWrong = 0;
  for (long i = 0; i < ct; i++) {
    ctWrong +=
        copy.cc_sapParts[i] == crowd.cc_sapParts[i] || copy.cc_sapParts[i]->cp_iValue != i * 3;
  }
  EXPECT_EQ(ctWrong, 0);
  EXPECT_EQ(_ctCpAlive, 2 * ct);
  EXPECT_EQ(CCpPart::md_pdtDataType->dt_mts.mts_ctSingles, mtsBefore.mts_ctSingles + ct);
  mdDelete(mpCopy);
  EXPECT_EQ(CCpPart::md_pdtDataType->dt_mts.mts_ctSingles, mtsBefore.mts_ctSingles);
  EXPECT_EQ(CCpPart::md_pdtDataType->dt_mts.mts_slBytes, mtsBefore.mts_slBytes);
}
