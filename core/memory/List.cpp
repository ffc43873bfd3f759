#include "core/memory/List.h"

#include "core/frame/CodeGuard.h"
#include "core/memory/Memory.h"

#include <stdlib.h>

namespace QuennelEngine {

bool CListNode::IsValid(void) const
{
  if (succ == nullptr && pred == nullptr) return true;
  if (succ == nullptr || pred == nullptr) return false;
  return pred->succ == this && succ->pred == this;
}

void CListNode::Remove(void)
{
  if (!IsLinked() || succ == nullptr) {
    corLogGuardBreach();
    return;
  }
  succ->pred = pred;
  pred->succ = succ;
  succ = nullptr;
  pred = nullptr;
}

void CListNode::AddAfter(CListNode &ln)
{
  ln.succ = succ;
  ln.pred = this;
  succ->pred = &ln;
  succ = &ln;
}

void CListNode::AddBefore(CListNode &ln)
{
  ln.succ = this;
  ln.pred = pred;
  pred->succ = &ln;
  pred = &ln;
}

void CListNode::IterationInsertAfter(CListNode &ln)
{
  AddAfter(ln);
}

void CListNode::IterationInsertBefore(CListNode &ln)
{
  AddBefore(ln);
}

CListHead *CListNode::GetHead(void) const
{
  if (!IsLinked()) {
    corLogGuardBreach();
    return nullptr;
  }
  const CListNode *pln = this;
  while (pln->pred != nullptr) pln = pln->pred;
  return (CListHead *)pln;
}

void CListHead::AddHead(CListNode &ln)
{
  CListNode *plnFirst = head;
  ln.succ = plnFirst;
  ln.pred = plnFirst->pred;
  plnFirst->pred = &ln;
  head = &ln;
}

void CListHead::AddTail(CListNode &ln)
{
  CListNode *plnLast = tailpred;
  ln.succ = plnLast->succ;
  ln.pred = plnLast;
  plnLast->succ = &ln;
  tailpred = &ln;
}

CListNode *CListHead::RemHead(void)
{
  if (IsEmpty()) {
    corLogGuardBreach();
    return nullptr;
  }
  CListNode *pln = head;
  pln->Remove();
  return pln;
}

CListNode *CListHead::RemTail(void)
{
  if (IsEmpty()) {
    corLogGuardBreach();
    return nullptr;
  }
  CListNode *pln = tailpred;
  pln->Remove();
  return pln;
}

void CListHead::RemAll(void)
{
  while (!IsEmpty()) head->Remove();
}

long CListHead::Count(void) const
{
  long ct = 0;
  for (CListNode *pln = head; pln->succ != nullptr; pln = pln->succ) ct++;
  return ct;
}

void CListHead::MoveList(CListHead &lhOther)
{
  if (lhOther.IsEmpty()) return;
  CListNode *plnFirst = lhOther.head;
  CListNode *plnLast = lhOther.tailpred;
  // Splice the other chain between our last node and our tail sentinel.
  tailpred->succ = plnFirst;
  plnFirst->pred = tailpred;
  plnLast->succ = TailNode();
  tailpred = plnLast;
  lhOther.Clear();
}

void CListHead::Sort(int (*pCompare)(const void *, const void *), long slNodeOffset)
{
  long ct = Count();
  if (ct < 2) return;
  char **apObjects = (char **)memMAlloc(ct * sizeof(char *));
  long i = 0;
  for (CListNode *pln = head; pln->succ != nullptr; pln = pln->succ) {
    apObjects[i++] = (char *)pln - slNodeOffset;
  }
  srtQuickSort(apObjects, ct, sizeof(char *), pCompare);
  CListHead lhSorted;
  for (i = 0; i < ct; i++) {
    CListNode *pln = (CListNode *)(apObjects[i] + slNodeOffset);
    pln->Remove();
    lhSorted.AddTail(*pln);
  }
  memFree(apObjects);
  MoveList(lhSorted);
}

void srtQuickSort(void *pvBase, long ctCount, long slSize,
                  int (*pCompare)(const void *, const void *))
{
  if (ctCount < 2) return;
  qsort(pvBase, ctCount, slSize, pCompare);
}

} // namespace QuennelEngine
