#pragma once
// CStaticStackArray<T>: a growable array of values. Four words, in this order: the elements
// allocated, the elements, the elements in use and the allocation step (16 unless set); a new
// array allocates nothing. Growing adds at least the step and at least half the elements in use,
// so pushing many elements stays linear. Elements move when the array grows: do not keep pointers
// to them across a Push (pushing one of the array's own elements is safe: it is copied first).
#include "core/memory/Memory.h"

#include <new>
#include <utility>

namespace QuennelEngine {

template <class T> class CStaticStackArray {
public:
  CStaticStackArray() : sa_ctAllocated(0), sa_pElements(nullptr), sa_ctUsed(0), sa_ctStep(16) {}
  CStaticStackArray(const CStaticStackArray &sa) : CStaticStackArray() { *this = sa; }
  CStaticStackArray(CStaticStackArray &&sa) noexcept : CStaticStackArray() { Swap(sa); }
  ~CStaticStackArray() { Clear(); }

  CStaticStackArray &operator=(const CStaticStackArray &sa)
  {
    if (this == &sa) return *this;
    PopAll();
    Reserve(sa.sa_ctUsed);
    for (long i = 0; i < sa.sa_ctUsed; i++) Construct(sa.sa_pElements[i]);
    return *this;
  }
  CStaticStackArray &operator=(CStaticStackArray &&sa) noexcept
  {
    Swap(sa);
    return *this;
  }
  void Swap(CStaticStackArray &sa) noexcept
  {
    std::swap(sa_ctAllocated, sa.sa_ctAllocated);
    std::swap(sa_pElements, sa.sa_pElements);
    std::swap(sa_ctUsed, sa.sa_ctUsed);
    std::swap(sa_ctStep, sa.sa_ctStep);
  }

  void SetAllocationStep(long ctStep) { sa_ctStep = ctStep > 0 ? ctStep : 1; }
  long GetAllocationStep(void) const { return sa_ctStep; }
  long Count(void) const { return sa_ctUsed; }
  long AllocatedCount(void) const { return sa_ctAllocated; }
  bool IsEmpty(void) const { return sa_ctUsed == 0; }

  // Room for `ct` elements without growing.
  void Reserve(long ct)
  {
    if (ct <= sa_ctAllocated) return;
    T *pNew = (T *)memMAlloc(memElementBytes(ct, sizeof(T)));
    for (long i = 0; i < sa_ctUsed; i++) {
      new (&pNew[i]) T(std::move(sa_pElements[i]));
      sa_pElements[i].~T();
    }
    memFree(sa_pElements);
    sa_pElements = pNew;
    sa_ctAllocated = ct;
  }

  // A new default element at the end.
  T &Push(void)
  {
    Grow(1);
    T *p = new (&sa_pElements[sa_ctUsed]) T();
    sa_ctUsed++;
    return *p;
  }
  // `ct` new default elements at the end; the first of them.
  T *Push(long ct)
  {
    if (ct <= 0) return end();
    Grow(ct);
    T *p = &sa_pElements[sa_ctUsed];
    for (long i = 0; i < ct; i++) {
      new (&sa_pElements[sa_ctUsed]) T();
      sa_ctUsed++;
    }
    return p;
  }
  // A copy of `value` at the end; `value` may be an element of this array.
  T &Push(const T &value)
  {
    if (sa_ctUsed < sa_ctAllocated) return Construct(value);
    // Growing frees the old elements, `value` among them if it is one: copy it first.
    T copy(value);
    Grow(1);
    return Construct(std::move(copy));
  }
  // `value` moved to the end; `value` may be an element of this array.
  T &Push(T &&value)
  {
    if (sa_ctUsed < sa_ctAllocated) return Construct(std::move(value));
    T moved(std::move(value));
    Grow(1);
    return Construct(std::move(moved));
  }
  // Removes the last element.
  void Pop(void)
  {
    if (sa_ctUsed > 0) sa_pElements[--sa_ctUsed].~T();
  }
  // Removes every element, keeping the allocation.
  void PopAll(void)
  {
    while (sa_ctUsed > 0) sa_pElements[--sa_ctUsed].~T();
  }
  // Removes every element and frees the allocation.
  void Clear(void)
  {
    PopAll();
    memFree(sa_pElements);
    sa_pElements = nullptr;
    sa_ctAllocated = 0;
  }
  // Removes the element at `i`, keeping the order of the others.
  void Delete(long i)
  {
    if (i < 0 || i >= sa_ctUsed) return;
    for (long j = i; j + 1 < sa_ctUsed; j++) sa_pElements[j] = std::move(sa_pElements[j + 1]);
    Pop();
  }

  T &operator[](long i) { return sa_pElements[i]; }
  const T &operator[](long i) const { return sa_pElements[i]; }
  T &Top(void) { return sa_pElements[sa_ctUsed - 1]; }
  const T &Top(void) const { return sa_pElements[sa_ctUsed - 1]; }
  T *begin(void) { return sa_pElements; }
  T *end(void) { return sa_pElements + sa_ctUsed; }
  const T *begin(void) const { return sa_pElements; }
  const T *end(void) const { return sa_pElements + sa_ctUsed; }

private:
  // Constructs the next element in room that is already allocated.
  template <class V> T &Construct(V &&value)
  {
    T *p = new (&sa_pElements[sa_ctUsed]) T(std::forward<V>(value));
    sa_ctUsed++;
    return *p;
  }
  // The test inline, the growing out of line: a Push stays small enough to be inlined.
  void Grow(long ct)
  {
    if (QE_LIKELY(sa_ctUsed + ct <= sa_ctAllocated)) return;
    GrowFor(sa_ctUsed + ct);
  }
  QE_NOINLINE void GrowFor(long ctNeeded)
  {
    long ctGrown = sa_ctAllocated + (sa_ctStep > sa_ctUsed / 2 ? sa_ctStep : sa_ctUsed / 2);
    Reserve(ctGrown > ctNeeded ? ctGrown : ctNeeded);
  }

  long sa_ctAllocated;
  T *sa_pElements;
  long sa_ctUsed;
  long sa_ctStep;
};

// The metadata describes this layout word by word (allocated, elements, used, step); it never
// changes.
static_assert(sizeof(CStaticStackArray<int>) == 16 && sizeof(CStaticStackArray<double>) == 16,
              "CStaticStackArray layout");

} // namespace QuennelEngine
