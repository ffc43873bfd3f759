#pragma once
// CDynamicStackArray<T>: a growable array of values that never move. The elements live in blocks
// of the allocation step (16 unless set) and an index of pointers keeps their order, so a
// reference or pointer to an element stays valid until that element is removed, however much the
// array grows. Removed elements leave their room to the next Push; Clear frees the blocks.
#include "core/memory/StaticStackArray.h"

#include <new>
#include <utility>

namespace QuennelEngine {

template <class T> class CDynamicStackArray {
public:
  CDynamicStackArray() : da_ctStep(16) {}
  CDynamicStackArray(const CDynamicStackArray &da) : CDynamicStackArray() { *this = da; }
  CDynamicStackArray(CDynamicStackArray &&da) noexcept : CDynamicStackArray() { Swap(da); }
  ~CDynamicStackArray() { Clear(); }

  CDynamicStackArray &operator=(const CDynamicStackArray &da)
  {
    if (this == &da) return *this;
    PopAll();
    for (long i = 0; i < da.Count(); i++) Push(da[i]);
    return *this;
  }
  CDynamicStackArray &operator=(CDynamicStackArray &&da) noexcept
  {
    Swap(da);
    return *this;
  }
  void Swap(CDynamicStackArray &da) noexcept
  {
    da_apElements.Swap(da.da_apElements);
    da_apFree.Swap(da.da_apFree);
    da_apBlocks.Swap(da.da_apBlocks);
    std::swap(da_ctStep, da.da_ctStep);
  }

  // Elements per block allocated from now on.
  void SetAllocationStep(long ctStep) { da_ctStep = ctStep > 0 ? ctStep : 1; }
  long GetAllocationStep(void) const { return da_ctStep; }
  long Count(void) const { return da_apElements.Count(); }
  bool IsEmpty(void) const { return da_apElements.IsEmpty(); }

  // A new default element at the end.
  T &Push(void)
  {
    T *p = new (PeekRoom()) T();
    da_apFree.Pop(); // the room is taken once the element exists
    da_apElements.Push(p);
    return *p;
  }
  // A copy of `value` at the end; `value` may be an element of this array (elements never move).
  T &Push(const T &value)
  {
    T *p = new (PeekRoom()) T(value);
    da_apFree.Pop(); // the room is taken once the element exists
    da_apElements.Push(p);
    return *p;
  }
  T &Push(T &&value)
  {
    T *p = new (PeekRoom()) T(std::move(value));
    da_apFree.Pop(); // the room is taken once the element exists
    da_apElements.Push(p);
    return *p;
  }
  // Removes the last element.
  void Pop(void)
  {
    if (IsEmpty()) return;
    Destroy(da_apElements.Top());
    da_apElements.Pop();
  }
  // Removes the element at `i`, keeping the order of the others (which do not move).
  void Delete(long i)
  {
    if (i < 0 || i >= Count()) return;
    Destroy(da_apElements[i]);
    da_apElements.Delete(i);
  }
  // Removes every element, keeping the blocks for the next ones.
  void PopAll(void)
  {
    while (!IsEmpty()) Pop();
  }
  // Removes every element and frees the blocks.
  void Clear(void)
  {
    PopAll();
    for (void *pv : da_apBlocks) memFree(pv);
    da_apBlocks.Clear();
    da_apFree.Clear();
    da_apElements.Clear();
  }
  // The index of the element at that address, or -1 if it is none of this array's.
  long Index(const T *p) const
  {
    for (long i = 0; i < Count(); i++) {
      if (da_apElements[i] == p) return i;
    }
    return -1;
  }

  T &operator[](long i) { return *da_apElements[i]; }
  const T &operator[](long i) const { return *da_apElements[i]; }
  T &Top(void) { return *da_apElements.Top(); }
  const T &Top(void) const { return *da_apElements.Top(); }

private:
  // Room for one element, left on top of the free list: a slot left by a removed element, else
  // one of a new block.
  void *PeekRoom(void)
  {
    if (da_apFree.IsEmpty()) {
      char *pBlock = (char *)memMAlloc(memElementBytes(da_ctStep, sizeof(T)));
      da_apBlocks.Push(pBlock);
      // Last slot first, so the block fills from its start.
      for (long i = da_ctStep - 1; i >= 0; i--) da_apFree.Push(pBlock + i * sizeof(T));
    }
    return da_apFree.Top();
  }
  void Destroy(T *p)
  {
    p->~T();
    da_apFree.Push(p);
  }

  CStaticStackArray<T *> da_apElements; // the elements in order
  CStaticStackArray<void *> da_apFree;  // room left by removed elements and unused block slots
  CStaticStackArray<void *> da_apBlocks;
  long da_ctStep;
};

} // namespace QuennelEngine
