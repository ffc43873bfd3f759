#pragma once
// CStaticArray<T>: an array of values whose count is set as a whole. Two words, in this order:
// the element count and the elements.
#include "core/memory/Memory.h"

#include <new>

namespace QuennelEngine {

template <class T> class CStaticArray {
public:
  CStaticArray() : sa_ctCount(0), sa_pElements(nullptr) {}
  CStaticArray(const CStaticArray &sa) : CStaticArray() { *this = sa; }
  ~CStaticArray() { Clear(); }
  CStaticArray &operator=(const CStaticArray &sa)
  {
    if (this == &sa) return *this;
    New(sa.sa_ctCount);
    for (long i = 0; i < sa_ctCount; i++) sa_pElements[i] = sa.sa_pElements[i];
    return *this;
  }

  // Replaces the elements by `ct` default ones.
  void New(long ct)
  {
    Clear();
    if (ct <= 0) return;
    sa_pElements = (T *)memMAlloc(ct * sizeof(T));
    for (long i = 0; i < ct; i++) new (&sa_pElements[i]) T();
    sa_ctCount = ct;
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

private:
  long sa_ctCount;
  T *sa_pElements;
};

} // namespace QuennelEngine
