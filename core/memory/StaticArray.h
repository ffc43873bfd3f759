#pragma once
// CStaticArray<T>: an array of values whose count is set as a whole. Two words, in this order:
// the element count and the elements.
#include "core/memory/Memory.h"

#include <new>
#include <utility>

namespace QuennelEngine {

template <class T> class CStaticArray {
public:
  CStaticArray() : sa_ctCount(0), sa_pElements(nullptr) {}
  CStaticArray(const CStaticArray &sa) : CStaticArray() { *this = sa; }
  CStaticArray(CStaticArray &&sa) noexcept : CStaticArray() { Swap(sa); }
  ~CStaticArray() { Clear(); }
  CStaticArray &operator=(const CStaticArray &sa)
  {
    if (this == &sa) return *this;
    Clear();
    if (sa.sa_ctCount <= 0) return *this;
    sa_pElements = (T *)memMAlloc(memElementBytes(sa.sa_ctCount, sizeof(T)));
    // The count follows the constructions, so a throwing copy leaves only live elements.
    for (; sa_ctCount < sa.sa_ctCount; sa_ctCount++) {
      new (&sa_pElements[sa_ctCount]) T(sa.sa_pElements[sa_ctCount]);
    }
    return *this;
  }
  CStaticArray &operator=(CStaticArray &&sa) noexcept
  {
    Swap(sa);
    return *this;
  }
  void Swap(CStaticArray &sa) noexcept
  {
    std::swap(sa_ctCount, sa.sa_ctCount);
    std::swap(sa_pElements, sa.sa_pElements);
  }

  // Replaces the elements by `ct` default ones.
  void New(long ct)
  {
    Clear();
    if (ct <= 0) return;
    sa_pElements = (T *)memMAlloc(memElementBytes(ct, sizeof(T)));
    for (; sa_ctCount < ct; sa_ctCount++) new (&sa_pElements[sa_ctCount]) T();
  }
  void Clear(void)
  {
    for (long i = 0; i < sa_ctCount; i++) sa_pElements[i].~T();
    memFree(sa_pElements);
    sa_pElements = nullptr;
    sa_ctCount = 0;
  }
  long Count(void) const { return sa_ctCount; }
  T &operator[](long i) { return sa_pElements[i]; }
  const T &operator[](long i) const { return sa_pElements[i]; }
  T *begin(void) { return sa_pElements; }
  T *end(void) { return sa_pElements + sa_ctCount; }
  const T *begin(void) const { return sa_pElements; }
  const T *end(void) const { return sa_pElements + sa_ctCount; }

private:
  long sa_ctCount;
  T *sa_pElements;
};

// The metadata describes this layout word by word (the count, then the elements); it never changes.
static_assert(sizeof(CStaticArray<int>) == 8 && sizeof(CStaticArray<double>) == 8,
              "CStaticArray layout");

} // namespace QuennelEngine
