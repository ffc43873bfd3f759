// The container templates driven through their paths with an element that counts what is done to
// it: every construction must meet exactly one destruction, no element is used after it died,
// and values survive growth, removal and copying.
#include "TestSupport.h"
#include "core/memory/GeneralHeap.h"

#include <gtest/gtest.h>

#include <string>

using namespace QuennelEngine;

namespace {

// Counts constructions, copies, moves and destructions; its value lives in a heap string too, so
// a copy made from freed memory shows as a wrong value (or a heap error), not as silence.
class CCounted {
public:
  static long ctConstructed, ctCopied, ctMoved, ctDestroyed, ctBadUse;
  static void ResetCounts() { ctConstructed = ctCopied = ctMoved = ctDestroyed = ctBadUse = 0; }
  static long Alive() { return ctConstructed - ctDestroyed; }

  CCounted() : cn_iValue(-1), cn_strValue("-1"), cn_ulMagic(_ulAlive) { ctConstructed++; }
  explicit CCounted(long i) : cn_iValue(i), cn_strValue(std::to_string(i)), cn_ulMagic(_ulAlive)
  {
    ctConstructed++;
  }
  CCounted(const CCounted &c) : cn_iValue(c.cn_iValue), cn_strValue(c.cn_strValue)
  {
    Check(c);
    cn_ulMagic = _ulAlive;
    ctConstructed++;
    ctCopied++;
  }
  CCounted(CCounted &&c) noexcept : cn_iValue(c.cn_iValue), cn_strValue(std::move(c.cn_strValue))
  {
    Check(c);
    c.cn_iValue = -2;
    cn_ulMagic = _ulAlive;
    ctConstructed++;
    ctMoved++;
  }
  CCounted &operator=(const CCounted &c)
  {
    Check(c);
    Check(*this);
    cn_iValue = c.cn_iValue;
    cn_strValue = c.cn_strValue;
    return *this;
  }
  CCounted &operator=(CCounted &&c) noexcept
  {
    Check(c);
    Check(*this);
    cn_iValue = c.cn_iValue;
    cn_strValue = std::move(c.cn_strValue);
    c.cn_iValue = -2;
    return *this;
  }
  ~CCounted()
  {
    Check(*this);
    cn_ulMagic = _ulDead;
    ctDestroyed++;
  }

  // The value, checked against its copy in the string.
  long Value() const
  {
    Check(*this);
    if (cn_iValue >= 0 && cn_strValue != std::to_string(cn_iValue)) ctBadUse++;
    return cn_iValue;
  }

private:
  static const unsigned long _ulAlive = 0xA11FE5ED, _ulDead = 0xDEADDEAD;
  static void Check(const CCounted &c)
  {
    if (c.cn_ulMagic != _ulAlive) ctBadUse++;
  }

  long cn_iValue;
  std::string cn_strValue;
  unsigned long cn_ulMagic;
};
long CCounted::ctConstructed, CCounted::ctCopied, CCounted::ctMoved, CCounted::ctDestroyed,
    CCounted::ctBadUse;

// Every test starts from zero counts and ends with no element alive and no bad use.
class Containers : public ::testing::Test {
protected:
  void SetUp() override { CCounted::ResetCounts(); }
  void TearDown() override
  {
    EXPECT_EQ(CCounted::Alive(), 0);
    EXPECT_EQ(CCounted::ctBadUse, 0);
  }
};

template <class A> std::string Values(const A &a)
{
  std::string str;
  for (long i = 0; i < a.Count(); i++) str += std::to_string(a[i].Value()) + " ";
  return str;
}

} // namespace

TEST_F(Containers, StackArrayGrowsRemovesInOrderAndClears)
{
  {
    CStaticStackArray<CCounted> sa;
    sa.SetAllocationStep(4);
    for (long i = 0; i < 100; i++) sa.Push(CCounted(i));
    EXPECT_EQ(sa.Count(), 100);
    EXPECT_EQ(CCounted::Alive(), 100);
    EXPECT_EQ(CCounted::ctCopied, 0); // growth and pushes of temporaries move
    for (long i = 0; i < 100; i++) EXPECT_EQ(sa[i].Value(), i);

    sa.Delete(0);
    sa.Delete(50);
    sa.Delete(sa.Count() - 1);
    sa.Delete(-1);   // outside: nothing
    sa.Delete(1000); // outside: nothing
    EXPECT_EQ(sa.Count(), 97);
    EXPECT_EQ(sa[0].Value(), 1);
    EXPECT_EQ(sa[49].Value(), 50);
    EXPECT_EQ(sa[50].Value(), 52);
    EXPECT_EQ(sa.Top().Value(), 98);
    EXPECT_EQ(CCounted::Alive(), 97);

    sa.Pop();
    EXPECT_EQ(CCounted::Alive(), 96);
    sa.PopAll();
    EXPECT_EQ(CCounted::Alive(), 0);
    EXPECT_TRUE(sa.IsEmpty());
    sa.Pop(); // empty: nothing
    CCounted *p = sa.Push(3);
    EXPECT_EQ(p, &sa[0]);
    EXPECT_EQ(sa.Count(), 3);
    EXPECT_EQ(sa.Push(0L), sa.end()); // no elements: nothing pushed
    sa.Clear();
    EXPECT_EQ(CCounted::Alive(), 0);
    sa.Push(CCounted(7)); // usable again after Clear
    EXPECT_EQ(sa[0].Value(), 7);
  }
  EXPECT_EQ(CCounted::Alive(), 0);
}

TEST_F(Containers, StackArrayPushesItsOwnElementsWhileGrowing)
{
  CStaticStackArray<CCounted> sa;
  sa.SetAllocationStep(1);
  sa.Push(CCounted(10));
  // Many pushes below grow the array, which frees the element being copied or moved.
  for (long i = 0; i < 20; i++) sa.Push(sa[0]);
  EXPECT_EQ(sa.Count(), 21);
  for (long i = 0; i < sa.Count(); i++) EXPECT_EQ(sa[i].Value(), 10) << i;
  for (long i = 0; i < 20; i++) sa.Push(std::move(sa[sa.Count() - 1]));
  EXPECT_EQ(sa.Count(), 41);
  EXPECT_EQ(sa.Top().Value(), 10);
  EXPECT_EQ(sa[20].Value(), -2); // moved from
  // With room to spare no copy is needed first.
  sa.Reserve(100);
  long ctCopied = CCounted::ctCopied;
  sa.Push(sa[0]);
  EXPECT_EQ(CCounted::ctCopied, ctCopied + 1);
  EXPECT_EQ(sa.Top().Value(), 10);
}

TEST_F(Containers, StackArrayCopiesMovesAndSwaps)
{
  CStaticStackArray<CCounted> sa;
  for (long i = 0; i < 5; i++) sa.Push(CCounted(i));
  CStaticStackArray<CCounted> saCopy(sa);
  EXPECT_EQ(Values(saCopy), "0 1 2 3 4 ");
  EXPECT_EQ(CCounted::Alive(), 10);
  saCopy = saCopy; // self-assignment keeps everything
  EXPECT_EQ(Values(saCopy), "0 1 2 3 4 ");
  saCopy.Push(CCounted(9));
  sa = saCopy;
  EXPECT_EQ(Values(sa), "0 1 2 3 4 9 ");
  EXPECT_EQ(CCounted::Alive(), 12);
  CStaticStackArray<CCounted> saMoved(std::move(sa));
  EXPECT_TRUE(sa.IsEmpty());
  EXPECT_EQ(Values(saMoved), "0 1 2 3 4 9 ");
  EXPECT_EQ(CCounted::Alive(), 12);
  saMoved = CStaticStackArray<CCounted>();
  EXPECT_EQ(CCounted::Alive(), 6);
}

TEST_F(Containers, StaticArrayNewCopyAndClear)
{
  CStaticArray<CCounted> sa;
  EXPECT_EQ(sa.Count(), 0);
  sa.New(0);
  sa.New(-3);
  EXPECT_EQ(sa.Count(), 0);
  sa.New(8);
  EXPECT_EQ(sa.Count(), 8);
  EXPECT_EQ(CCounted::Alive(), 8);
  for (long i = 0; i < 8; i++) sa[i] = CCounted(i * 2);
  CStaticArray<CCounted> saCopy(sa);
  EXPECT_EQ(CCounted::Alive(), 16);
  EXPECT_EQ(Values(saCopy), "0 2 4 6 8 10 12 14 ");
  long ctConstructed = CCounted::ctConstructed;
  saCopy = sa; // copies construct, never default-construct and assign
  EXPECT_EQ(CCounted::ctConstructed - ctConstructed, 8);
  sa.New(2); // replaces the elements
  EXPECT_EQ(CCounted::Alive(), 10);
  EXPECT_EQ(sa[0].Value(), -1);
  CStaticArray<CCounted> saMoved(std::move(saCopy));
  EXPECT_EQ(saCopy.Count(), 0);
  EXPECT_EQ(saMoved.Count(), 8);
  saMoved.Clear();
  sa.Clear();
  EXPECT_EQ(CCounted::Alive(), 0);
}

TEST_F(Containers, DynamicContainerKeepsPointersAndOwnsNothing)
{
  CCounted ac[40];
  for (long i = 0; i < 40; i++) ac[i] = CCounted(i);
  long ctAlive = CCounted::Alive();
  {
    CDynamicContainer<CCounted> dc;
    dc.SetAllocationStep(3);
    for (long i = 0; i < 40; i++) dc.Add(&ac[i]);
    dc.Add(&ac[5]); // a pointer may stand twice
    EXPECT_EQ(dc.Count(), 41);
    EXPECT_EQ(CCounted::Alive(), ctAlive); // no element was made or copied
    EXPECT_TRUE(dc.IsMember(&ac[39]));
    EXPECT_TRUE(dc.Remove(&ac[5])); // the first occurrence, keeping the order
    EXPECT_EQ(dc.Pointer(5), &ac[6]);
    EXPECT_EQ(dc.Pointer(39), &ac[5]);
    EXPECT_FALSE(dc.Remove(nullptr));
    CDynamicContainer<CCounted> dcCopy(dc);
    EXPECT_EQ(dcCopy.Count(), 40);
    EXPECT_EQ(dcCopy[0].Value(), 0);
    dc.PopAll();
    EXPECT_TRUE(dc.IsEmpty());
    dc = dcCopy;
    EXPECT_EQ(dc.Count(), 40);
    CDynamicContainer<CCounted> dcMoved(std::move(dcCopy));
    EXPECT_TRUE(dcCopy.IsEmpty());
    EXPECT_EQ(dcMoved.Pointer(0), &ac[0]);
    long ct = 0;
    for (CCounted *p : dcMoved) ct += p->Value() >= 0;
    EXPECT_EQ(ct, 40);
  }
  EXPECT_EQ(CCounted::Alive(), ctAlive); // the containers deleted nothing
}

TEST_F(Containers, DynamicStackArrayElementsNeverMove)
{
  CDynamicStackArray<CCounted> da;
  da.SetAllocationStep(4);
  CCounted &cFirst = da.Push(CCounted(0));
  CCounted *apc[50];
  apc[0] = &cFirst;
  for (long i = 1; i < 50; i++) apc[i] = &da.Push(CCounted(i));
  EXPECT_EQ(da.Count(), 50);
  EXPECT_EQ(CCounted::Alive(), 50);
  for (long i = 0; i < 50; i++) {
    EXPECT_EQ(&da[i], apc[i]); // still where they were made
    EXPECT_EQ(da.Index(apc[i]), i);
  }
  EXPECT_EQ(da.Index(nullptr), -1);

  // Pushing its own element: nothing moves, so the source is alive throughout.
  for (long i = 0; i < 10; i++) da.Push(da[0]);
  EXPECT_EQ(da.Top().Value(), 0);

  da.Delete(3);
  da.Delete(-1);
  da.Delete(da.Count());
  EXPECT_EQ(da.Count(), 59);
  EXPECT_EQ(&da[3], apc[4]); // the others keep their places and their order
  EXPECT_EQ(da[3].Value(), 4);
  // The room of the removed element is used again.
  CCounted &cReused = da.Push(CCounted(77));
  EXPECT_EQ(&cReused, apc[3]);
  EXPECT_EQ(da.Top().Value(), 77);

  CDynamicStackArray<CCounted> daCopy(da);
  EXPECT_EQ(daCopy.Count(), da.Count());
  EXPECT_EQ(Values(daCopy), Values(da));
  EXPECT_NE(&daCopy[0], &da[0]);
  EXPECT_EQ(CCounted::Alive(), 120);
  daCopy = daCopy;
  EXPECT_EQ(CCounted::Alive(), 120);

  da.Pop();
  da.PopAll();
  EXPECT_EQ(CCounted::Alive(), 60);
  CDynamicStackArray<CCounted> daMoved(std::move(daCopy));
  EXPECT_TRUE(daCopy.IsEmpty());
  EXPECT_EQ(daMoved.Count(), 60);
  daMoved.Clear();
  EXPECT_EQ(CCounted::Alive(), 0);
  da.Push(); // usable after PopAll, and its blocks still hold room
  EXPECT_EQ(da[0].Value(), -1);
}

TEST_F(Containers, HeapStaysConsistentAndNothingLeaks)
{
  long slTotalBefore = memGetMemSizeInfo().msi_slTotal;
  {
    CStaticStackArray<CCounted> sa;
    CDynamicStackArray<CCounted> da;
    CStaticArray<CCounted> st;
    for (long i = 0; i < 300; i++) {
      sa.Push(CCounted(i));
      da.Push(CCounted(i));
      if (i % 7 == 0) sa.Delete(i / 2);
      if (i % 5 == 0) da.Delete(i / 3);
    }
    st.New(33);
    st = CStaticArray<CCounted>(st);
  }
  EXPECT_EQ(memGetMemSizeInfo().msi_slTotal, slTotalBefore); // every block went back
  CSyncLock sl(_memGetSyncMutex());
  GeneralHeapWalk ghw;
  EXPECT_TRUE(memGetGeneralHeap()->Check(ghw)) << ghw.ghw_strError;
}
