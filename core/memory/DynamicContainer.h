#pragma once
// CDynamicContainer<T>: a growable array of pointers to objects it does not own. Four words, in
// this order: the pointers allocated, the pointers, the pointers in use and the allocation step
// (16 unless set).
#include "core/memory/Memory.h"

#include <string.h>
#include <utility>

namespace QuennelEngine {

template <class T> class CDynamicContainer {
public:
  CDynamicContainer() : dc_ctAllocated(0), dc_apElements(nullptr), dc_ctUsed(0), dc_ctStep(16) {}
  CDynamicContainer(const CDynamicContainer &dc) : CDynamicContainer() { *this = dc; }
  CDynamicContainer(CDynamicContainer &&dc) noexcept : CDynamicContainer() { Swap(dc); }
  ~CDynamicContainer() { Clear(); }
  CDynamicContainer &operator=(CDynamicContainer &&dc) noexcept
  {
    Swap(dc);
    return *this;
  }
  void Swap(CDynamicContainer &dc) noexcept
  {
    std::swap(dc_ctAllocated, dc.dc_ctAllocated);
    std::swap(dc_apElements, dc.dc_apElements);
    std::swap(dc_ctUsed, dc.dc_ctUsed);
    std::swap(dc_ctStep, dc.dc_ctStep);
  }
  CDynamicContainer &operator=(const CDynamicContainer &dc)
  {
    if (this == &dc) return *this;
    PopAll();
    Reserve(dc.dc_ctUsed);
    if (dc.dc_ctUsed > 0) memcpy(dc_apElements, dc.dc_apElements, dc.dc_ctUsed * sizeof(T *));
    dc_ctUsed = dc.dc_ctUsed;
    return *this;
  }

  void SetAllocationStep(long ctStep) { dc_ctStep = ctStep > 0 ? ctStep : 1; }
  long Count(void) const { return dc_ctUsed; }
  bool IsEmpty(void) const { return dc_ctUsed == 0; }
  void Reserve(long ct)
  {
    if (ct <= dc_ctAllocated) return;
    dc_apElements = (T **)memReAlloc(dc_apElements, memElementBytes(ct, sizeof(T *)));
    dc_ctAllocated = ct;
  }
  // Appends a pointer (the object stays the caller's).
  void Add(T *p)
  {
    if (dc_ctUsed == dc_ctAllocated) {
      long ctGrow = dc_ctStep > dc_ctUsed / 2 ? dc_ctStep : dc_ctUsed / 2;
      Reserve(dc_ctAllocated + ctGrow);
    }
    dc_apElements[dc_ctUsed++] = p;
  }
  // Removes the first occurrence of the pointer, keeping the order of the rest; false if absent.
  bool Remove(T *p)
  {
    for (long i = 0; i < dc_ctUsed; i++) {
      if (dc_apElements[i] != p) continue;
      memmove(dc_apElements + i, dc_apElements + i + 1, (dc_ctUsed - i - 1) * sizeof(T *));
      dc_ctUsed--;
      return true;
    }
    return false;
  }
  bool IsMember(const T *p) const
  {
    for (long i = 0; i < dc_ctUsed; i++) {
      if (dc_apElements[i] == p) return true;
    }
    return false;
  }
  // Forgets every pointer (nothing is deleted), keeping the array.
  void PopAll(void) { dc_ctUsed = 0; }
  // Forgets every pointer (nothing is deleted) and frees the array.
  void Clear(void)
  {
    memFree(dc_apElements);
    dc_apElements = nullptr;
    dc_ctAllocated = 0;
    dc_ctUsed = 0;
  }
  T *Pointer(long i) const { return dc_apElements[i]; }
  T &operator[](long i) const { return *dc_apElements[i]; }
  T **begin(void) const { return dc_apElements; }
  T **end(void) const { return dc_apElements + dc_ctUsed; }

private:
  long dc_ctAllocated;
  T **dc_apElements;
  long dc_ctUsed;
  long dc_ctStep;
};

// The metadata describes this layout word by word (allocated, elements, used, step); it never
// changes.
static_assert(sizeof(CDynamicContainer<int>) == 16 && sizeof(CDynamicContainer<double>) == 16,
              "CDynamicContainer layout");

} // namespace QuennelEngine
