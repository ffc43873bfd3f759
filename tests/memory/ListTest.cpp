#include "TestSupport.h"

#include <gtest/gtest.h>

#include <vector>

using namespace QuennelEngine;
using QuennelEngine::Test::CGuardBreachCounter;

namespace {
struct Item {
  int it_iValue;
  CListNode it_ln;
  explicit Item(int i) : it_iValue(i) {}
};

std::vector<int> Values(const CListHead &lh)
{
  std::vector<int> ai;
  for (CListNode *pln = lh.GetFirst(); pln->succ != nullptr; pln = pln->succ) {
    ai.push_back(((Item *)((char *)pln - offsetof(Item, it_ln)))->it_iValue);
  }
  return ai;
}

int CompareItems(const void *pv0, const void *pv1)
{
  const Item *pi0 = *(const Item *const *)pv0;
  const Item *pi1 = *(const Item *const *)pv1;
  return pi0->it_iValue - pi1->it_iValue;
}

int CompareEqual(const void *, const void *)
{
  return 0;
}
} // namespace

TEST(List, EmptyHeadIsItsOwnSentinel)
{
  CListHead lh;
  EXPECT_TRUE(lh.IsEmpty());
  EXPECT_EQ(lh.Count(), 0);
  EXPECT_EQ(lh.head, (CListNode *)&lh.tail);
  EXPECT_EQ(lh.tailpred, (CListNode *)&lh);
  EXPECT_EQ(lh.tail, nullptr);
  // A copy is empty and assignment leaves the target alone.
  Item a(1);
  lh.AddTail(a.it_ln);
  CListHead lhCopy(lh);
  EXPECT_TRUE(lhCopy.IsEmpty());
  lhCopy = lh;
  EXPECT_TRUE(lhCopy.IsEmpty());
  EXPECT_EQ(lh.Count(), 1);
}

TEST(List, LinkingRemovingAndValidity)
{
  CListHead lh;
  Item a(1), b(2), c(3), d(4);
  lh.AddTail(b.it_ln);
  lh.AddHead(a.it_ln);
  lh.AddTail(d.it_ln);
  d.it_ln.AddBefore(c.it_ln);
  EXPECT_EQ(Values(lh), (std::vector<int>{1, 2, 3, 4}));
  EXPECT_EQ(a.it_ln.pred, (CListNode *)&lh);
  EXPECT_EQ(d.it_ln.succ, (CListNode *)&lh.tail);
  EXPECT_EQ(c.it_ln.GetHead(), &lh);
  EXPECT_TRUE(b.it_ln.IsValid());

  b.it_ln.Remove();
  EXPECT_FALSE(b.it_ln.IsLinked());
  EXPECT_TRUE(b.it_ln.IsValid());
  a.it_ln.AddAfter(b.it_ln);
  EXPECT_EQ(Values(lh), (std::vector<int>{1, 2, 3, 4}));

  // A node whose neighbour does not point back is invalid.
  CListNode *plnSaved = c.it_ln.succ;
  c.it_ln.succ = &a.it_ln;
  EXPECT_FALSE(c.it_ln.IsValid());
  c.it_ln.succ = plnSaved;

  EXPECT_EQ(lh.RemHead(), &a.it_ln);
  EXPECT_EQ(lh.RemTail(), &d.it_ln);
  EXPECT_EQ(Values(lh), (std::vector<int>{2, 3}));
  {
    Item e(5);
    lh.AddTail(e.it_ln);
    EXPECT_EQ(lh.Count(), 3);
  } // the destructor unlinks
  EXPECT_EQ(lh.Count(), 2);
  lh.RemAll();
  EXPECT_TRUE(lh.IsEmpty());
  EXPECT_FALSE(b.it_ln.IsLinked() || c.it_ln.IsLinked());

  // Contract violations answer null instead of following null links.
  CGuardBreachCounter gbc;
  EXPECT_EQ(lh.RemHead(), nullptr);
  EXPECT_EQ(lh.RemTail(), nullptr);
  EXPECT_EQ(b.it_ln.GetHead(), nullptr);
  b.it_ln.Remove();
  EXPECT_EQ(gbc.Count(), 4);
  // A copied node is unlinked.
  lh.AddTail(c.it_ln);
  CListNode lnCopy(c.it_ln);
  EXPECT_FALSE(lnCopy.IsLinked());
}

TEST(List, MoveListAndSort)
{
  CListHead lhA, lhB;
  Item a(3), b(1), c(2), d(5), e(4);
  lhA.AddTail(a.it_ln);
  lhA.MoveList(lhB); // empty source: nothing changes
  EXPECT_EQ(Values(lhA), (std::vector<int>{3}));
  EXPECT_TRUE(lhB.IsEmpty());
  lhB.AddTail(b.it_ln);
  lhB.AddTail(c.it_ln);
  lhA.MoveList(lhB);
  EXPECT_EQ(Values(lhA), (std::vector<int>{3, 1, 2}));
  EXPECT_TRUE(lhB.IsEmpty());
  EXPECT_EQ(c.it_ln.succ, (CListNode *)&lhA.tail);
  // Moving into an empty list.
  lhB.MoveList(lhA);
  EXPECT_EQ(Values(lhB), (std::vector<int>{3, 1, 2}));
  EXPECT_EQ(a.it_ln.pred, (CListNode *)&lhB);

  lhB.AddTail(d.it_ln);
  lhB.AddTail(e.it_ln);
  lhB.Sort(CompareItems, offsetof(Item, it_ln));
  EXPECT_EQ(Values(lhB), (std::vector<int>{1, 2, 3, 4, 5}));
  lhB.Sort(CompareEqual, offsetof(Item, it_ln));
  EXPECT_EQ(lhB.Count(), 5);
  for (CListNode *pln = lhB.GetFirst(); pln->succ; pln = pln->succ) EXPECT_TRUE(pln->IsValid());

  int ai[] = {5, 3, 9, 1};
  srtQuickSort(ai, 4, sizeof(int),
               [](const void *p0, const void *p1) { return *(const int *)p0 - *(const int *)p1; });
  EXPECT_EQ(ai[0], 1);
  EXPECT_EQ(ai[3], 9);
}
