#pragma once
// An index from addresses (or identifiers) to positions, for graphs of millions of objects.
#include <stddef.h>

namespace QuennelEngine {

// Two levels: a directory of 4 KiB address pages, and per page a small table of the addresses on
// it, in which an address's home slot is its offset in the page scaled to the table. Objects
// allocated together lie on the same pages and in the same order in the tables, so a walk over a
// graph of millions of objects touches a few cache lines per page instead of missing the cache
// (and the TLB) once per lookup, as one large hash table does. A page's table doubles when it is
// half full or a probe runs long; at 4096 slots every address of the page has a slot of its own.
class CAddressIndex {
public:
  CAddressIndex(void) {}
  ~CAddressIndex(void);
  CAddressIndex(const CAddressIndex &) = delete;
  CAddressIndex &operator=(const CAddressIndex &) = delete;
  // Stores the position of `pv` (a later one replaces an earlier one). Inline when the address's
  // page has a table with room and the address's home slot is free, as it mostly is.
  void Add(const void *pv, long i)
  {
    Page *pp = const_cast<Page *>(FindPage(PageOf(pv)));
    if (pp != nullptr && (pp->p_ctUsed + 1) * 2 <= pp->p_ulMask + 1u) {
      Slot &s = pp->p_aSlots[HomeOf(pv, *pp)];
      if (s.s_pv == nullptr) {
        s.s_pv = pv;
        s.s_i = i;
        pp->p_ctUsed++;
        ai_ctEntries++;
        return;
      }
    }
    AddSlow(pv, i);
  }
  // The position of `pv`, or -1.
  long Find(const void *pv) const
  {
    const Page *pp = FindPage(PageOf(pv));
    if (pp == nullptr) return -1;
    for (unsigned long ul = HomeOf(pv, *pp);; ul = (ul + 1) & pp->p_ulMask) {
      const Slot &s = pp->p_aSlots[ul];
      if (s.s_pv == pv) return s.s_i;
      if (s.s_pv == nullptr) return -1;
    }
  }
  // Forgets every entry (the memory stays for the next use).
  void Reset(void);
  long Count(void) const { return ai_ctEntries; }
  // The bytes the index keeps allocated.
  size_t BytesHeld(void) const;

private:
  struct Slot {
    const void *s_pv;
    long s_i;
  };
  struct Page {
    unsigned long p_ulPage;
    Slot *p_aSlots; // null: the directory entry is free
    unsigned short p_ulMask;
    unsigned short p_iShift; // 12 - log2 of the slot count
    unsigned long p_ctUsed;
  };
  static unsigned long PageOf(const void *pv) { return (unsigned long)(size_t)pv >> 12; }
  static unsigned long HomeOf(const void *pv, const Page &p)
  {
    return ((unsigned long)(size_t)pv & 4095) >> p.p_iShift;
  }
  const Page *FindPage(unsigned long ulPage) const
  {
    if (ai_ctPages == 0) return nullptr;
    for (unsigned long ul = (ulPage * 2654435761UL) >> ai_iShift;; ul = (ul + 1) & ai_ulMask) {
      const Page &p = ai_apPages[ul];
      if (p.p_aSlots == nullptr) return nullptr;
      if (p.p_ulPage == ulPage) return &p;
    }
  }
  void AddSlow(const void *pv, long i);
  Page &AddPage(unsigned long ulPage);
  void GrowDirectory(void);
  void GrowPage(Page &p);
  Slot *AllocSlots(unsigned long ct);
  void FreeSlots(Slot *as, unsigned long ct);

  Page *ai_apPages = nullptr;
  unsigned long ai_ulMask = 0;
  int ai_iShift = 32;
  long ai_ctPages = 0;
  long ai_ctEntries = 0;
  // The slot tables are cut from chunks that live as long as the index; tables outgrown by
  // their page wait on a free list per size.
  struct Chunk {
    Chunk *c_pNext;
    size_t c_slSize;
  };
  Chunk *ai_pChunks = nullptr;  // every chunk, in the order they are used
  Chunk *ai_pCurrent = nullptr; // the chunk tables are cut from now
  size_t ai_slCurrentUsed = 0;
  Slot *ai_apFree[13] = {};
};

} // namespace QuennelEngine
