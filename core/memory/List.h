#pragma once
// The intrusive doubly linked list. Objects embed a CListNode; the list head doubles as a sentinel
// first node (at its start) and a sentinel last node (at its second word), so every walk ends on
// a null successor and no operation compares with the head:
//
//   for (CListNode *pln = lh.GetFirst(); pln->succ != nullptr; pln = pln->succ) ...
//
// Neither class locks: owners that share a list hold their own mutex around every operation.
#include "core/platform/Platform.h"

namespace QuennelEngine {

class CListHead;

class CORE_API CListNode {
public:
  CListNode *succ; // next node; for the last node the head's sentinel tail node
  CListNode *pred; // previous node; for the first node the head itself

  CListNode() : succ(nullptr), pred(nullptr) {}
  // A copy is not in any list.
  CListNode(const CListNode &) : succ(nullptr), pred(nullptr) {}
  CListNode &operator=(const CListNode &) { return *this; }
  ~CListNode()
  {
    if (IsLinked()) Remove();
  }

  CListNode *Succ(void) const { return succ; }
  CListNode *Pred(void) const { return pred; }
  bool IsLinked(void) const { return pred != nullptr; }
  // True when unlinked, or when both neighbours point back at this node.
  bool IsValid(void) const;
  // Unlinks the node (a node in no list is left alone, reported as a contract violation).
  void Remove(void);
  // Links `pln` after (before) this node.
  void AddAfter(CListNode &ln);
  void AddBefore(CListNode &ln);
  // The same linking, for use while the list is being walked.
  void IterationInsertAfter(CListNode &ln);
  void IterationInsertBefore(CListNode &ln);
  // The list this node is in; null (a contract violation) for an unlinked node.
  CListHead *GetHead(void) const;
};

class CORE_API CListHead {
public:
  CListNode *head;     // the first node, or the sentinel tail node (&tail) when empty
  CListNode *tail;     // always null
  CListNode *tailpred; // the last node, or the head itself when empty

  CListHead() { Clear(); }
  // A copy is empty; assignment does nothing.
  CListHead(const CListHead &) { Clear(); }
  CListHead &operator=(const CListHead &) { return *this; }

  // Makes the list empty without touching its nodes.
  void Clear(void)
  {
    head = TailNode();
    tail = nullptr;
    tailpred = HeadNode();
  }
  bool IsEmpty(void) const { return head == TailNode(); }
  // The first node; for an empty list the sentinel, whose successor is null.
  CListNode *GetFirst(void) const { return head; }
  CListNode *GetLast(void) const { return tailpred; }

  void AddHead(CListNode &ln);
  void AddTail(CListNode &ln);
  // Remove and return the first (last) node; null for an empty list (a contract violation).
  CListNode *RemHead(void);
  CListNode *RemTail(void);
  // Unlinks every node.
  void RemAll(void);
  long Count(void) const;
  // Appends all of `lhOther`'s nodes, in order, and leaves it empty.
  void MoveList(CListHead &lhOther);
  // Sorts by `pCompare`, which receives pointers to array elements that point at the objects
  // (each node's address minus `slNodeOffset`). Not stable.
  void Sort(int (*pCompare)(const void *, const void *), long slNodeOffset);

  // The head seen as its two sentinel nodes.
  CListNode *HeadNode(void) const { return (CListNode *)&head; }
  CListNode *TailNode(void) const { return (CListNode *)&tail; }
};

// Sorts an array with the runtime library's qsort.
CORE_API void srtQuickSort(void *pvBase, long ctCount, long slSize,
                           int (*pCompare)(const void *, const void *));

} // namespace QuennelEngine
