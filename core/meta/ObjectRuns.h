#pragma once
// CObjectRuns: objects of one type made one after another (a file's objects, the copies of a
// graph) take their blocks from a run taken ahead under one lock (memReserveSingles) instead of
// each taking the memory mutex. Private to core/meta.
#include "core/memory/Memory.h"
#include "core/meta/DataType.h"

namespace QuennelEngine {

class CObjectRuns {
public:
  CObjectRuns() = default;
  CObjectRuns(const CObjectRuns &) = delete;
  CObjectRuns &operator=(const CObjectRuns &) = delete;
  // What is not taken goes back, an error's unwinding too.
  ~CObjectRuns() { memReleaseSingles(); }

  // Before an object of `pdt` is made: `CountAhead()` tells how many objects of that type come
  // in a row from this one on; asked only when a new run would be taken. A type whose objects
  // take none of a run (a size of their own) is not given another; neither is one whose run
  // another thread's run kept from being taken.
  template <class F> void Before(CDataType *pdt, F CountAhead)
  {
    if (pdt != or_pdt) {
      if (or_pdt != nullptr) memReleaseSingles();
      or_pdt = pdt;
      or_ctLeft = or_ctTaken = 0;
      or_bHelps = true;
    }
    if (or_ctLeft == 0 && or_bHelps && pdt->dt_slSize > 0) {
      const long ctAhead = CountAhead();
      if (ctAhead >= MIN_RUN) {
        const long ctBack = memReleaseSingles();
        if (or_ctTaken > 0 && ctBack == or_ctTaken) {
          or_bHelps = false;
        } else {
          or_ctTaken = or_ctLeft = memReserveSingles((size_t)pdt->dt_slSize, pdt, ctAhead);
          if (or_ctTaken == 0) or_bHelps = false;
        }
      }
    }
    if (or_ctLeft > 0) or_ctLeft--;
  }

  // Shorter runs are made one by one.
  enum { MIN_RUN = 8 };

private:
  CDataType *or_pdt = nullptr;
  long or_ctLeft = 0;  // of the run, by this count (others may take some)
  long or_ctTaken = 0; // the run's size when it was taken
  bool or_bHelps = true;
};

} // namespace QuennelEngine
