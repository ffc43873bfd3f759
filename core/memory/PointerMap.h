#pragma once
// CPointerMap: an open-addressed map from pointer keys (interned names, addresses) to pointers
// that readers search without a lock while writers, one at a time (the owner serialises them),
// change it. Writers bracket each change with a version count (odd while changing); a reader
// probes, then checks that the count was even and did not move, and otherwise asks again under
// the owner's lock. Slot arrays are never freed while the map lives: a grown array keeps its
// predecessors (together smaller than itself), so a reader that raced a writer has read stale
// memory, never freed memory. Keys are compared by address; the first entry added for a key wins.
#include "core/platform/Platform.h"

#include <stdint.h>

namespace QuennelEngine {

class CORE_API CPointerMap {
public:
  CPointerMap(void) = default;
  CPointerMap(const CPointerMap &) = delete;
  CPointerMap &operator=(const CPointerMap &) = delete;
  ~CPointerMap();

  // ---- Readers, from any thread without the owner's lock ----
  // True if the search was not disturbed by a writer: then `pvValue` is the key's value, or null
  // for a key that is not there. False if a writer was at work or the map was invalidated: ask
  // again with Find under the owner's lock.
  bool TryFind(const void *pvKey, void *&pvValue) const
  {
    const long ctVersion = __atomic_load_n(&pm_ctVersion, __ATOMIC_ACQUIRE);
    const Table *pt = __atomic_load_n(&pm_ptTable, __ATOMIC_ACQUIRE);
    if ((ctVersion & 1) != 0 || pt == nullptr) return false;
    long ctProbes;
    pvValue = Probe(pt, pvKey, ctProbes);
    __atomic_thread_fence(__ATOMIC_ACQUIRE);
    return __atomic_load_n(&pm_ctVersion, __ATOMIC_RELAXED) == ctVersion;
  }

  // ---- Under the owner's lock ----
  // The key's value, or null. An invalidated map answers too (from its last content).
  void *Find(const void *pvKey) const;
  // Adds an entry (a null key is a contract violation and is not added).
  void Add(const void *pvKey, void *pvValue);
  // Forgets every entry, keeping the slots; the map is valid (and empty) afterwards.
  void Clear(void);
  // Makes readers ask under the lock until the next Clear, e.g. while entries the map still
  // holds are stale and the owner rebuilds it later.
  void Invalidate(void);
  // Groups changes so that readers see none of them until the outermost End (nested).
  void BeginChange(void);
  void EndChange(void);
  long Count(void) const { return pm_ctUsed; }
  // The slots Find has visited so far, for tests of the owner's cost (lock-free searches are
  // not counted: a shared counter would be written by every reader).
  long long ProbeCount(void) const { return pm_ctProbes; }

private:
  struct Slot {
    const void *s_pvKey; // null for an empty slot
    void *s_pvValue;
  };
  struct Table {
    unsigned long t_ulMask;
    int t_iShift;
    Table *t_ptRetired; // the array this one replaced
    Slot t_aslots[1];
  };
  static unsigned long Home(const Table *pt, const void *pvKey)
  {
    return (unsigned long)(((unsigned long)(uintptr_t)pvKey * 0x9E3779B1UL) >> pt->t_iShift) &
           pt->t_ulMask;
  }
  static void *Probe(const Table *pt, const void *pvKey, long &ctProbes)
  {
    // The mask bounds the walk: a reader racing a writer may see a full run of slots.
    unsigned long i = Home(pt, pvKey);
    ctProbes = 0;
    for (unsigned long ctLeft = pt->t_ulMask + 1; ctLeft > 0; ctLeft--) {
      ctProbes++;
      const void *pv = __atomic_load_n(&pt->t_aslots[i].s_pvKey, __ATOMIC_RELAXED);
      if (pv == nullptr) return nullptr;
      if (pv == pvKey) return __atomic_load_n(&pt->t_aslots[i].s_pvValue, __ATOMIC_RELAXED);
      i = (i + 1) & pt->t_ulMask;
    }
    return nullptr;
  }
  static void Place(Table *pt, const void *pvKey, void *pvValue);
  void Grow(void);
  void UpdateVersion(void);

  Table *pm_ptTable = nullptr;
  long pm_ctUsed = 0;
  long pm_ctVersion = 0;
  long pm_ctChangeDepth = 0;
  bool pm_bInvalid = false;
  mutable long long pm_ctProbes = 0;
};

} // namespace QuennelEngine
