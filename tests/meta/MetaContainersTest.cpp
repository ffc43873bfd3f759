// The container and reference helpers on real C++ containers of a counted element class, reached
// only through their descriptors: after each helper the C++ container sees the right elements,
// goes on working, and frees the rest itself; every construction meets one destruction.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace QuennelEngine;

namespace {

// Counts what is done to it. Its value lives in a heap text too, so an element that was moved
// wrongly or freed shows a wrong value or a dead magic word instead of passing unseen.
class CMoTestItem : public CObject {
  MD_DECLARE_CLASS(CMoTestItem)
  static long ctConstructed, ctCopied, ctDestroyed, ctBadUse;
  static void ResetCounts(void) { ctConstructed = ctCopied = ctDestroyed = ctBadUse = 0; }

  // When the countdown reaches 0, the next default construction throws (-1: never).
  static long ctThrowAfter;
  CMoTestItem(void) : mi_iValue(-1), mi_strValue("-1"), mi_ulMagic(ALIVE)
  {
    if (ctThrowAfter >= 0 && ctThrowAfter-- == 0) ThrowFormat_t("Item refused");
    ctConstructed++;
  }
  CMoTestItem(const CMoTestItem &mi)
      : CObject(mi), mi_iValue(mi.mi_iValue), mi_strValue(mi.mi_strValue), mi_ulMagic(ALIVE)
  {
    Check(mi);
    ctConstructed++;
    ctCopied++;
  }
  CMoTestItem &operator=(const CMoTestItem &mi)
  {
    Check(mi);
    Check(*this);
    mi_iValue = mi.mi_iValue;
    mi_strValue = mi.mi_strValue;
    return *this;
  }
  ~CMoTestItem(void) override
  {
    Check(*this);
    mi_ulMagic = DEAD;
    ctDestroyed++;
  }

  void Set(long i)
  {
    Check(*this);
    mi_iValue = i;
    mi_strValue = std::to_string(i).c_str();
  }
  // The value, checked against its text.
  long Value(void) const
  {
    Check(*this);
    if (std::to_string(mi_iValue) != (const char *)mi_strValue) ctBadUse++;
    return mi_iValue;
  }

  enum : unsigned long { ALIVE = 0xA11FE5ED, DEAD = 0xDEADDEAD };
  long mi_iValue;
  CString mi_strValue;
  unsigned long mi_ulMagic;

private:
  static void Check(const CMoTestItem &mi)
  {
    if (mi.mi_ulMagic != ALIVE) ctBadUse++;
  }
};
long CMoTestItem::ctConstructed = 0;
long CMoTestItem::ctCopied = 0;
long CMoTestItem::ctDestroyed = 0;
long CMoTestItem::ctBadUse = 0;
long CMoTestItem::ctThrowAfter = -1;

MD_CLASS_BEGIN(CMoTestItem, CObject, 1)
MD_MEMBER(mi_iValue, 0, "Value")
MD_MEMBER(mi_strValue, 0, "Text")
MD_CLASS_END()

class CMoTestItemDerived : public CMoTestItem {
  MD_DECLARE_CLASS(CMoTestItemDerived)
  static long ctDestroyedDerived;
  ~CMoTestItemDerived(void) override { ctDestroyedDerived++; }
};
long CMoTestItemDerived::ctDestroyedDerived = 0;

MD_CLASS_BEGIN(CMoTestItemDerived, CMoTestItem, 1)
MD_CLASS_END()

class CMoTestShared : public CSmartObject {
  MD_DECLARE_CLASS(CMoTestShared)
  static long ctAlive;
  CMoTestShared(void) { ctAlive++; }
  ~CMoTestShared(void) override { ctAlive--; }
};
long CMoTestShared::ctAlive = 0;

MD_CLASS_BEGIN(CMoTestShared, CSmartObject, 1)
MD_CLASS_END()

template <class T> CDataType *DescriptorOf(void)
{
  return MetaDeclare::TypeOf<T>::Get().Resolve();
}

// The values of a container's elements, in order.
template <class C> std::vector<long> Values(C &c)
{
  std::vector<long> al;
  for (long i = 0; i < c.Count(); i++) al.push_back(c[i].Value());
  return al;
}

// The words of a container's fixed layout (allocated count, elements, count in use, step).
template <class C> long Word(const C &c, int i)
{
  return ((const long *)&c)[i];
}

class MetaContainers : public testing::Test {
protected:
  void SetUp() override
  {
    CMoTestItem::ResetCounts();
    CMoTestItem::ctThrowAfter = -1;
    CMoTestItemDerived::ctDestroyedDerived = 0;
    CMoTestShared::ctAlive = 0;
    pdtItem = CMoTestItem::md_pdtDataType;
    DescriptorOf<CStaticArray<CMoTestItem>>();
    DescriptorOf<CStaticStackArray<CMoTestItem>>();
    DescriptorOf<CDynamicContainer<CMoTestItem>>();
    DescriptorOf<CMoTestItem *>();
    DescriptorOf<Ptr<CMoTestShared>>();
    DescriptorOf<CStaticArray<Ptr<CMoTestShared>>>();
    DescriptorOf<CStaticStackArray<CString>>();
    // Other tests' types are theirs to judge: these must pass the check.
    mdUpdateTypeTables();
    const char *astrOurs[] = {"CMoTestItem", "CMoTestItemDerived", "CMoTestShared",
                              "CStaticArray<Ptr<CMoTestShared>>", "CDynamicContainer<CMoTestItem>"};
    for (const char *strName : astrOurs) {
      CDataType *pdt = mdFindByName(strName);
      ASSERT_NE(nullptr, pdt) << strName;
      EXPECT_EQ(DTF_UPDATED, pdt->dt_ulFlags & (DTF_UPDATED | DTF_FAILED)) << strName;
    }
  }
  void TearDown() override
  {
    EXPECT_EQ(CMoTestItem::ctConstructed, CMoTestItem::ctDestroyed);
    EXPECT_EQ(0, CMoTestItem::ctBadUse);
    EXPECT_EQ(0, CMoTestShared::ctAlive);
  }
  CDataType *pdtItem = nullptr;
};

typedef std::vector<long> Longs;

TEST_F(MetaContainers, StaticArrayHelpersLeaveAValidArray)
{
  CStaticArray<CMoTestItem> sa;
  CMetaPointer mp(DescriptorOf<CStaticArray<CMoTestItem>>(), &sa);
  mdStaticArray_New_t(mp, 3);
  ASSERT_EQ(3, sa.Count());
  EXPECT_EQ(3, CMoTestItem::ctConstructed);
  for (long i = 0; i < 3; i++) sa[i].Set(i);

  // Growing keeps the first elements (moved as they are: neither copied nor destroyed).
  mdStaticArray_Resize_t(mp, 5);
  EXPECT_EQ((Longs{0, 1, 2, -1, -1}), Values(sa));
  EXPECT_EQ(5, CMoTestItem::ctConstructed);
  EXPECT_EQ(0, CMoTestItem::ctDestroyed);
  sa[3].Set(3);
  sa[4].Set(4);
  // Shrinking destroys the tail.
  mdStaticArray_Resize_t(mp, 4);
  EXPECT_EQ((Longs{0, 1, 2, 3}), Values(sa));
  EXPECT_EQ(1, CMoTestItem::ctDestroyed);

  mdStaticArray_RemoveOrdered(mp, 1);
  EXPECT_EQ((Longs{0, 2, 3}), Values(sa));
  EXPECT_EQ(2, CMoTestItem::ctDestroyed);
  mdStaticArray_MoveUp(mp, 2);
  EXPECT_EQ((Longs{0, 3, 2}), Values(sa));
  mdStaticArray_MoveDown(mp, 0);
  EXPECT_EQ((Longs{3, 0, 2}), Values(sa));
  // Moves and removals past the ends do nothing.
  mdStaticArray_MoveUp(mp, 0);
  mdStaticArray_MoveDown(mp, 2);
  mdStaticArray_RemoveOrdered(mp, 3);
  mdStaticArray_RemoveOrdered(mp, -1);
  EXPECT_EQ((Longs{3, 0, 2}), Values(sa));
  EXPECT_EQ(0, CMoTestItem::ctCopied);

  EXPECT_EQ(3, mdContainer_Count(mp));
  EXPECT_EQ(CMetaPointer(pdtItem, &sa[1]), mdContainer_Element(mp, 1));
  EXPECT_FALSE(mdContainer_Element(mp, 3).IsValid());

  // The C++ array goes on with what the helpers left.
  CStaticArray<CMoTestItem> saCopy(sa);
  EXPECT_EQ((Longs{3, 0, 2}), Values(saCopy));
  mdStaticArray_New_t(mp, 2);
  EXPECT_EQ((Longs{-1, -1}), Values(sa));
  EXPECT_EQ(5, CMoTestItem::ctDestroyed);
  mdStaticArray_Clear(mp);
  EXPECT_EQ(0, sa.Count());
  EXPECT_EQ(7, CMoTestItem::ctDestroyed);
  sa.New(2);
  mdStaticArray_Resize_t(mp, 0);
  EXPECT_EQ(0, sa.Count());
  // From empty, then left to the destructors.
  mdStaticArray_Resize_t(mp, 2);
  EXPECT_EQ(2, sa.Count());
  sa[1].Set(11);
  mdStaticArray_RemoveOrdered(CMetaPointer(mp.GetType(), &saCopy), 0);
  EXPECT_EQ((Longs{0, 2}), Values(saCopy));
}

TEST_F(MetaContainers, StackArrayHelpersGrowAsTheTemplateDoes)
{
  CStaticStackArray<CMoTestItem> ssa;
  CMetaPointer mp(DescriptorOf<CStaticStackArray<CMoTestItem>>(), &ssa);
  CMetaPointer mpFirst = mdStaticStackArray_Push_t(mp, 3);
  ASSERT_EQ(3, ssa.Count());
  EXPECT_EQ(CMetaPointer(pdtItem, &ssa[0]), mpFirst);
  EXPECT_EQ(16, Word(ssa, 0));
  for (long i = 0; i < 3; i++) ssa[i].Set(i);
  mpFirst = mdStaticStackArray_Push_t(mp);
  EXPECT_EQ(CMetaPointer(pdtItem, &ssa[3]), mpFirst);
  ssa[3].Set(3);
  ssa.Push().Set(4);
  EXPECT_EQ((Longs{0, 1, 2, 3, 4}), Values(ssa));

  mdStaticStackArray_Pop(mp);
  EXPECT_EQ((Longs{0, 1, 2, 3}), Values(ssa));
  EXPECT_EQ(1, CMoTestItem::ctDestroyed);
  mdStaticStackArray_RemoveOrdered(mp, 1);
  EXPECT_EQ((Longs{0, 2, 3}), Values(ssa));
  mdStaticStackArray_MoveUp(mp, 1);
  EXPECT_EQ((Longs{2, 0, 3}), Values(ssa));
  mdStaticStackArray_MoveDown(mp, 1);
  EXPECT_EQ((Longs{2, 3, 0}), Values(ssa));
  mdStaticStackArray_MoveDown(mp, 2);
  mdStaticStackArray_MoveUp(mp, 0);
  mdStaticStackArray_RemoveOrdered(mp, 3);
  EXPECT_EQ((Longs{2, 3, 0}), Values(ssa));
  EXPECT_EQ(2, CMoTestItem::ctDestroyed);
  EXPECT_EQ(0, CMoTestItem::ctCopied);

  mdStaticStackArray_Clear(mp);
  EXPECT_EQ(0, ssa.Count());
  EXPECT_EQ(0, Word(ssa, 0));
  EXPECT_EQ(5, CMoTestItem::ctDestroyed);
  ssa.Push().Set(7);
  mdStaticStackArray_Pop(mp);
  mdStaticStackArray_Pop(mp);
  EXPECT_EQ(0, ssa.Count());

  // With a step of 4, the helpers and the template reach the same allocations; PushTightly
  // takes exactly what is needed.
  CStaticStackArray<CMoTestItem> ssaHelped, ssaTemplate;
  ssaHelped.SetAllocationStep(4);
  ssaTemplate.SetAllocationStep(4);
  CMetaPointer mpHelped(mp.GetType(), &ssaHelped);
  const long actPush[] = {1, 4, 1, 2, 9};
  long ctPushed = 0, ctCopiedByTemplate = 0;
  for (long ct : actPush) {
    mdStaticStackArray_Push_t(mpHelped, ct);
    // The template moves its elements by copies when it grows; the helper moves them as bytes.
    const long ctCopied = CMoTestItem::ctCopied;
    ssaTemplate.Push(ct);
    ctCopiedByTemplate += CMoTestItem::ctCopied - ctCopied;
    for (long i = 0; i < ct; i++) ssaHelped[ctPushed + i].Set(ctPushed + i);
    ctPushed += ct;
    EXPECT_EQ(Word(ssaTemplate, 0), Word(ssaHelped, 0)) << ctPushed;
    EXPECT_EQ(ctPushed, ssaHelped.Count());
  }
  mdStaticStackArray_PushTightly_t(mpHelped, 2);
  EXPECT_EQ(ctPushed + 2, Word(ssaHelped, 0));
  ssaHelped[ctPushed].Set(ctPushed);
  ssaHelped[ctPushed + 1].Set(ctPushed + 1);
  ctPushed += 2;
  for (long i = 0; i < ctPushed; i++) EXPECT_EQ(i, ssaHelped[i].Value());
  EXPECT_EQ(ctCopiedByTemplate, CMoTestItem::ctCopied);
  // The template pushes on what the helper allocated.
  ssaHelped.Push().Set(ctPushed);
  EXPECT_EQ(ctPushed + 1, ssaHelped.Count());
  EXPECT_EQ(ctPushed, ssaHelped.Top().Value());
  EXPECT_FALSE(mdStaticStackArray_Push_t(mpHelped, 0).IsValid());
}

TEST_F(MetaContainers, DynamicContainerHelpersMovePointersAndDeleteOnlyWhenAsked)
{
  const MemoryTypeStats mtsItem = pdtItem->dt_mts;
  CDataType *pdtDerived = CMoTestItemDerived::md_pdtDataType;
  const MemoryTypeStats mtsDerived = pdtDerived->dt_mts;

  CDynamicContainer<CMoTestItem> dc;
  CMetaPointer mp(DescriptorOf<CDynamicContainer<CMoTestItem>>(), &dc);
  CMoTestItem *api[5];
  for (long i = 0; i < 5; i++) {
    api[i] = (CMoTestItem *)mdNew_t(pdtItem).GetObject();
    api[i]->Set(i);
    mdDynamicContainer_Add(mp, api[i]);
  }
  ASSERT_EQ(5, dc.Count());
  EXPECT_EQ(16, Word(dc, 0));
  EXPECT_EQ((Longs{0, 1, 2, 3, 4}), Values(dc));
  // Remove fills the gap with the last; RemoveOrdered keeps the order.
  mdDynamicContainer_Remove(mp, 1);
  EXPECT_EQ((Longs{0, 4, 2, 3}), Values(dc));
  mdDynamicContainer_RemoveOrdered(mp, 0);
  EXPECT_EQ((Longs{4, 2, 3}), Values(dc));
  mdDynamicContainer_MoveUp(mp, 2);
  EXPECT_EQ((Longs{4, 3, 2}), Values(dc));
  mdDynamicContainer_MoveDown(mp, 0);
  EXPECT_EQ((Longs{3, 4, 2}), Values(dc));
  mdDynamicContainer_MoveUp(mp, 0);
  mdDynamicContainer_MoveDown(mp, 2);
  mdDynamicContainer_Remove(mp, 3);
  mdDynamicContainer_RemoveOrdered(mp, -1);
  EXPECT_EQ((Longs{3, 4, 2}), Values(dc));
  EXPECT_EQ(0, CMoTestItem::ctDestroyed);

  // The template adds on; a derived element is deleted as what it is.
  dc.Add(api[0]);
  CMoTestItemDerived *pid = new CMoTestItemDerived;
  pid->Set(9);
  mdDynamicContainer_Add(mp, pid);
  mdDynamicContainer_Add(mp, nullptr);
  EXPECT_TRUE(dc.IsMember(pid));
  EXPECT_EQ(nullptr, dc.Pointer(5));
  dc.Remove(nullptr);
  EXPECT_EQ((Longs{3, 4, 2, 0, 9}), Values(dc));
  EXPECT_EQ(CMetaPointer(pdtItem, api[0]), mdContainer_Element(mp, 3));
  // Null elements are passed over.
  dc.Add(nullptr);
  mdDynamicContainer_DeleteAllMembers(mp);
  EXPECT_EQ(0, dc.Count());
  EXPECT_EQ(5, CMoTestItem::ctDestroyed);
  EXPECT_EQ(1, CMoTestItemDerived::ctDestroyedDerived);
  // The one removed before is the caller's still.
  EXPECT_EQ(1, api[1]->Value());
  mdDelete(CMetaPointer(pdtItem, api[1]));
  EXPECT_EQ(mtsItem.mts_ctSingles, pdtItem->dt_mts.mts_ctSingles);
  EXPECT_EQ(mtsItem.mts_slBytes, pdtItem->dt_mts.mts_slBytes);
  EXPECT_EQ(mtsDerived.mts_ctSingles, pdtDerived->dt_mts.mts_ctSingles);
  EXPECT_EQ(mtsDerived.mts_slBytes, pdtDerived->dt_mts.mts_slBytes);

  // Many pointers: the helper grows the array as the template would; Clear forgets them.
  CMoTestItem miLocal;
  for (long i = 0; i < 40; i++) mdDynamicContainer_Add(mp, &miLocal);
  EXPECT_EQ(40, dc.Count());
  EXPECT_EQ(40, mdContainer_Count(mp));
  for (CMoTestItem *pmi : dc) EXPECT_EQ(&miLocal, pmi);
  mdDynamicContainer_Clear(mp);
  EXPECT_EQ(0, dc.Count());
  EXPECT_EQ(-1, miLocal.Value());
  // Left to the destructor.
  dc.Add(&miLocal);
  mdDynamicContainer_Add(mp, &miLocal);
}

TEST_F(MetaContainers, ElementsWithoutOperationsLiveByTheirKind)
{
  // Smart pointers start null and release their targets when they go.
  CStaticArray<Ptr<CMoTestShared>> saptr;
  CMetaPointer mp(DescriptorOf<CStaticArray<Ptr<CMoTestShared>>>(), &saptr);
  mdStaticArray_New_t(mp, 4);
  ASSERT_EQ(4, saptr.Count());
  CMoTestShared *ps = new CMoTestShared;
  for (long i = 0; i < 4; i++) {
    EXPECT_EQ(nullptr, saptr[i].Get());
    mdRef_Assign(mdContainer_Element(mp, i), i < 3 ? ps : new CMoTestShared);
  }
  EXPECT_EQ(3, ps->GetReferenceCount());
  EXPECT_EQ(2, CMoTestShared::ctAlive);
  mdStaticArray_Resize_t(mp, 3);
  EXPECT_EQ(1, CMoTestShared::ctAlive);
  mdStaticArray_RemoveOrdered(mp, 0);
  EXPECT_EQ(2, ps->GetReferenceCount());
  mdStaticArray_MoveDown(mp, 0);
  EXPECT_EQ(ps, saptr[1].Get());
  EXPECT_EQ(2, ps->GetReferenceCount());

  // Texts keep their heap copies through the helpers' moves.
  CStaticStackArray<CString> sastr;
  CMetaPointer mpStr(DescriptorOf<CStaticStackArray<CString>>(), &sastr);
  for (long i = 0; i < 40; i++) {
    CString &str = *(CString *)mdStaticStackArray_Push_t(mpStr).GetObject();
    EXPECT_EQ(0, str.Length());
    str = std::to_string(i * 1000).c_str();
  }
  mdStaticStackArray_RemoveOrdered(mpStr, 0);
  mdStaticStackArray_Pop(mpStr);
  ASSERT_EQ(38, sastr.Count());
  for (long i = 0; i < 38; i++) EXPECT_EQ(std::to_string((i + 1) * 1000), (const char *)sastr[i]);
}

TEST_F(MetaContainers, AnElementThatFailsToConstructLeavesOnlyLiveElements)
{
  CStaticArray<CMoTestItem> sa;
  CMetaPointer mp(DescriptorOf<CStaticArray<CMoTestItem>>(), &sa);
  mdStaticArray_New_t(mp, 2);
  sa[0].Set(0);
  sa[1].Set(1);
  // Growing fails on the second new element: the array keeps what it had.
  CMoTestItem::ctThrowAfter = 1;
  EXPECT_EQ("Item refused", QuennelEngine::Test::ThrownBy([&] { mdStaticArray_Resize_t(mp, 5); }));
  EXPECT_EQ((Longs{0, 1}), Values(sa));
  EXPECT_EQ(2, CMoTestItem::ctConstructed - CMoTestItem::ctDestroyed);
  // Replacing fails: the old elements are gone, no new one is left half made.
  CMoTestItem::ctThrowAfter = 2;
  EXPECT_EQ("Item refused", QuennelEngine::Test::ThrownBy([&] { mdStaticArray_New_t(mp, 4); }));
  EXPECT_EQ(0, sa.Count());
  EXPECT_EQ(0, CMoTestItem::ctConstructed - CMoTestItem::ctDestroyed);

  CStaticStackArray<CMoTestItem> ssa;
  CMetaPointer mpStack(DescriptorOf<CStaticStackArray<CMoTestItem>>(), &ssa);
  mdStaticStackArray_Push_t(mpStack, 2);
  ssa[1].Set(1);
  CMoTestItem::ctThrowAfter = 2;
  EXPECT_EQ("Item refused",
            QuennelEngine::Test::ThrownBy([&] { mdStaticStackArray_Push_t(mpStack, 30); }));
  ASSERT_EQ(2, ssa.Count());
  EXPECT_EQ(1, ssa[1].Value());
  EXPECT_EQ(2, CMoTestItem::ctConstructed - CMoTestItem::ctDestroyed);
  ssa.Push().Set(2);
  EXPECT_EQ(3, ssa.Count());
}

TEST_F(MetaContainers, HelpersRefuseWhatIsNotTheirContainer)
{
  QuennelEngine::Test::CGuardBreachCounter gbc;
  CStaticStackArray<CMoTestItem> ssa;
  ssa.Push().Set(1);
  CMetaPointer mpWrong(DescriptorOf<CStaticArray<CMoTestItem>>(), &ssa);
  mdStaticStackArray_Pop(mpWrong);
  mdDynamicContainer_Add(mpWrong, nullptr);
  EXPECT_EQ(2, gbc.Count());
  EXPECT_EQ(1, ssa.Count());
  // Null pointers do nothing and breach nothing.
  mdStaticArray_Clear(CMetaPointer());
  mdStaticStackArray_Pop(CMetaPointer(mpWrong.GetType(), nullptr));
  mdDynamicContainer_DeleteAllMembers(CMetaPointer());
  EXPECT_EQ(0, mdContainer_Count(CMetaPointer()));
  EXPECT_EQ(2, gbc.Count());
  // An element type that does not resolve: nothing to make elements of.
  CDataType_CStaticArray dtsa("CMoTestArrayOfNothing", 1, CTypeID("CMoTestUndeclared"), 0);
  CStaticArray<CMoTestItem> sa;
  EXPECT_EQ("Cannot resolve type 'CMoTestUndeclared'", QuennelEngine::Test::ThrownBy([&] {
              mdStaticArray_New_t(CMetaPointer(&dtsa, &sa), 2);
            }));
  EXPECT_EQ(0, sa.Count());
}

// ---- References ----

TEST_F(MetaContainers, PointerReferencesStoreAndReadTheAddress)
{
  CMoTestItem mi;
  CMoTestItem *pmi = nullptr;
  CMetaPointer mpRef(DescriptorOf<CMoTestItem *>(), &pmi);
  mdRef_Assign(mpRef, &mi);
  EXPECT_EQ(&mi, pmi);
  EXPECT_EQ(CMetaPointer(pdtItem, &mi), mdRef_Dereference(mpRef));
  mdRef_Assign(mpRef, nullptr);
  EXPECT_EQ(nullptr, pmi);
  EXPECT_EQ(CMetaPointer(pdtItem, nullptr), mdRef_Dereference(mpRef));

  CString str("text");
  CString *pstr = nullptr;
  CMetaPointer mpStrRef("CString&", &pstr);
  ASSERT_NE(nullptr, mpStrRef.GetType());
  mdRef_Assign(mpStrRef, &str);
  EXPECT_EQ(&str, pstr);
  EXPECT_EQ(CMetaPointer(md_pdtCString, &str), mdRef_Dereference(mpStrRef));

  // Only references are references.
  QuennelEngine::Test::CGuardBreachCounter gbc;
  float f = 1;
  mdRef_Assign(CMetaPointer(md_pdtFLOAT, &f), &mi);
  EXPECT_EQ(1.0f, f);
  long sl = 0;
  EXPECT_FALSE(mdRef_Dereference(CMetaPointer(md_pdtINDEX, &sl)).IsValid());
  EXPECT_EQ(2, gbc.Count());
}

TEST_F(MetaContainers, SmartPointerReferencesCountTheirTargets)
{
  CDataType *pdtShared = CMoTestShared::md_pdtDataType;
  const MemoryTypeStats mtsShared = pdtShared->dt_mts;
  {
    Ptr<CMoTestShared> ptr;
    CMetaPointer mpRef(DescriptorOf<Ptr<CMoTestShared>>(), &ptr);
    CMoTestShared *psA = new CMoTestShared;
    CMoTestShared *psB = new CMoTestShared;
    Ptr<CMoTestShared> ptrB = psB;
    mdRef_Assign(mpRef, psA);
    EXPECT_EQ(psA, ptr.Get());
    EXPECT_EQ(1, psA->GetReferenceCount());
    // The same target again: taken before the old one is released, so it survives.
    mdRef_Assign(mpRef, psA);
    EXPECT_EQ(1, psA->GetReferenceCount());
    EXPECT_EQ(2, CMoTestShared::ctAlive);
    // A new target: the old one had no other reference and goes.
    mdRef_Assign(mpRef, psB);
    EXPECT_EQ(1, CMoTestShared::ctAlive);
    EXPECT_EQ(2, psB->GetReferenceCount());
    EXPECT_EQ(CMetaPointer(pdtShared, psB), mdRef_Dereference(mpRef));
    ptrB = nullptr;
    EXPECT_EQ(1, psB->GetReferenceCount());
    mdRef_Assign(mpRef, nullptr);
    EXPECT_EQ(0, CMoTestShared::ctAlive);
    EXPECT_EQ(nullptr, ptr.Get());
    // What a helper assigned, the C++ pointer releases, and the other way round.
    mdRef_Assign(mpRef, new CMoTestShared);
    Ptr<CMoTestShared> ptrSecond = new CMoTestShared;
    CMetaPointer mpSecond(mpRef.GetType(), &ptrSecond);
    mdRef_Assign(mpSecond, nullptr);
    EXPECT_EQ(1, CMoTestShared::ctAlive);
  }
  EXPECT_EQ(0, CMoTestShared::ctAlive);
  EXPECT_EQ(mtsShared.mts_ctSingles, pdtShared->dt_mts.mts_ctSingles);
  EXPECT_EQ(mtsShared.mts_slBytes, pdtShared->dt_mts.mts_slBytes);
}

} // namespace
