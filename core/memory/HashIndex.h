#pragma once
// CHashIndex: an open-addressed index from full 32-bit hashes to non-negative values (typically
// positions in the owner's array). The owner keeps the keys; the index keeps each key's hash
// beside its value, so a probe looks at a key only when the hashes agree, and a look-up that
// misses usually looks at none. Power-of-two slots, at most half used, linear probing from a
// Fibonacci-scrambled home, so weak hashes (aligned addresses) still spread. Entries are never
// removed one by one. It does not lock.
#include "core/platform/Platform.h"

namespace QuennelEngine {

class CORE_API CHashIndex {
public:
  CHashIndex(void) = default;
  CHashIndex(const CHashIndex &) = delete;
  CHashIndex &operator=(const CHashIndex &) = delete;
  ~CHashIndex();

  // Stores `slValue` (>= 0) under `ulHash`, growing the index when it would be more than half
  // full. A negative value is a contract violation and is not stored.
  void Add(unsigned long ulHash, long slValue);
  // The first stored value under `ulHash` for which `match(value)` is true, or -1.
  template <class Match> long Find(unsigned long ulHash, Match match) const
  {
    if (hi_aslots == nullptr) return -1;
    for (unsigned long i = Home(ulHash);; i = (i + 1) & hi_ulMask) {
      hi_ctProbes++;
      const Slot &s = hi_aslots[i];
      if (s.s_slValue < 0) return -1;
      if (s.s_ulHash == ulHash && match(s.s_slValue)) return s.s_slValue;
    }
  }
  // Empties the index keeping its slots (no allocation).
  void Clear(void);
  // Frees the slots.
  void Reset(void);
  long Count(void) const { return hi_ctUsed; }
  long SlotCount(void) const { return hi_aslots == nullptr ? 0 : (long)hi_ulMask + 1; }
  // The slots look-ups have visited so far, for tests of the owner's cost.
  long long ProbeCount(void) const { return hi_ctProbes; }

private:
  struct Slot {
    unsigned long s_ulHash;
    long s_slValue; // -1 for an empty slot
  };
  unsigned long Home(unsigned long ulHash) const
  {
    return (unsigned long)((ulHash * 0x9E3779B1UL) >> hi_iShift) & hi_ulMask;
  }
  void Place(unsigned long ulHash, long slValue);
  void Grow(void);

  Slot *hi_aslots = nullptr;
  unsigned long hi_ulMask = 0;
  int hi_iShift = 0;
  long hi_ctUsed = 0;
  mutable long long hi_ctProbes = 0;
};

} // namespace QuennelEngine
