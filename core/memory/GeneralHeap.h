#pragma once
// CGeneralHeap: the library's own boundary-tag heap on reserved virtual memory (the design note
// is at the top of GeneralHeap.cpp). The allocation entry points of Memory.h own two instances,
// the general heap and the string heap, and hold the memory mutex around every call; the class
// itself does not lock. Exported for diagnostics and tests, which may make heaps of their own.
#include "core/memory/Memory.h"

#include <stdint.h>

namespace QuennelEngine {

struct GeneralHeapRegion;
class CGeneralHeap;

namespace GeneralHeapPrivate {
// The heap that reserved each 64 KiB unit of the address space (null: none of ours).
CORE_API extern CGeneralHeap *gh_apghUnitOwners[65536];
} // namespace GeneralHeapPrivate

// The result of a consistency walk over a heap's regions and free lists.
struct GeneralHeapWalk {
  long ghw_ctRegions;
  long ghw_ctUsedBlocks;
  long ghw_ctFreeBlocks;
  size_t ghw_slUsed;        // bytes of live blocks, headers included
  size_t ghw_slFree;        // bytes of free blocks
  const char *ghw_strError; // the first fault found, or null
};

class CORE_API CGeneralHeap {
public:
  // Flag bits of a block's header word; the rest is the block size (a multiple of 8). Bit 31 is
  // never set, so a header is never mistaken for an array header.
  enum : unsigned long {
    GH_INUSE = 1,     // the block is live
    GH_PREVINUSE = 2, // the block before it is live (otherwise its size ends it, as a footer)
    GH_MARK = 4,      // the handle mark
    GH_FLAGS = 7,
    GH_SIZEMASK = 0x7FFFFFF8UL,
  };

  // Empty; takes address space on the first allocation. Usable from static initialisers. With
  // quick lists (see SetQuickLists) from the start when `bQuickLists` is true.
  constexpr explicit CGeneralHeap(bool bQuickLists = false) : gh_bQuick(bQuickLists) {}
  // Releases every region.
  ~CGeneralHeap();
  CGeneralHeap(const CGeneralHeap &) = delete;
  CGeneralHeap &operator=(const CGeneralHeap &) = delete;

  // A block of at least `slSize` usable bytes, 8-byte aligned, its handle mark clear; null when
  // the system has no memory left for it.
  void *Alloc(size_t slSize);
  // Resizes the live block `p` (null: Alloc), in place when it can, keeping the contents and
  // clearing the handle mark; null on failure, and `p` is then untouched.
  void *ReAlloc(void *p, size_t slSize);
  // Frees the live block `p`; false (and nothing done) when `p` is not a live block.
  bool Free(void *p);
  // Frees every block at once and returns all address space to the system.
  void ReleaseAll(void);
  // Quick lists keep up to 8 freed blocks of every size up to 264 bytes aside, still live to
  // their neighbours, and hand them out again before anything else: a turnover of small blocks
  // then skips the merging and splitting. They count as free in the figures and the walk, and a
  // block in them is not live (freeing it again is refused). Off unless asked for; turning them
  // off frees what they hold.
  void SetQuickLists(bool bOn);

  // True when `pv` lies in one of this heap's regions.
  bool Owns(const void *pv) const { return FindOwner(pv) == this; }
  // The heap whose region holds `pv`, or null.
  static CGeneralHeap *FindOwner(const void *pv)
  {
    return GeneralHeapPrivate::gh_apghUnitOwners[(uintptr_t)pv >> 16];
  }
  // True when `p` is a live block of this heap (owned, live flag set, not in a quick list).
  bool IsLiveBlock(const void *p) const;
  // The live block of this heap whose usable bytes hold `pv` (its start may be `pv` itself), or
  // null when `pv` lies in none (not ours, free space, a header, a block in a quick list).
  void *FindLiveBlock(const void *pv) const;

  // The header word before a block.
  static unsigned long &HeaderOf(void *p) { return ((unsigned long *)p)[-1]; }
  static unsigned long HeaderOf(const void *p) { return ((const unsigned long *)p)[-1]; }
  // Usable bytes of a live block: its size less the header word.
  static size_t UsableSize(const void *p) { return (HeaderOf(p) & GH_SIZEMASK) - 4; }
  // The block size that a request of `slSize` bytes takes (0 when it is impossibly large).
  static size_t BlockSizeFor(size_t slSize);

  // The heap's figures: the live and address-space ones are kept as it goes, the free ones are
  // counted from the bins.
  MemoryHeapStats GetStats(void) const;
  // Walks every region block by block and every free list, checking the boundary tags, the
  // flags, the bins and the running figures; true when all is consistent.
  bool Check(GeneralHeapWalk &ghw) const;

private:
  enum { GH_CTBINS = 295, GH_CTBINWORDS = 10, GH_CTQUICK = 32, GH_QUICKDEPTH = 8 };
  bool InQuickList(const char *pb, size_t slBlock) const;
  void FlushQuickLists(void);

  char *TakeFree(size_t slBlock);
  void *UseBlock(char *pb, size_t slBlock);
  void *TakeTop(size_t slBlock);
  void ReleaseBlock(char *pb, size_t slBlock, bool bPrevInUse);
  void ShrinkBlock(char *pb, size_t slBlock, size_t slWanted);
  void LinkFree(char *pb, size_t slBlock);
  void UnlinkFree(char *pb, size_t slBlock);
  int FindBin(int iBin) const;
  bool Grow(size_t slBlock);
  bool ExtendRegion(GeneralHeapRegion *prg, size_t slMore);
  // A dedicated region may reserve more than its block needs (`slReserve`), to grow in place.
  GeneralHeapRegion *NewRegion(size_t slBlock, bool bDedicated, size_t slReserve = 0);
  void ReleaseRegion(GeneralHeapRegion *prg);
  void *AllocDedicated(size_t slBlock, size_t slReserve = 0);
  // Alloc without counting the allocation.
  void *AllocBlock(size_t slSize);
  bool CheckRegion(const GeneralHeapRegion *prg, GeneralHeapWalk &ghw) const;

  GeneralHeapRegion *gh_prgFirst = nullptr;       // every region, newest first
  GeneralHeapRegion *gh_prgGrow = nullptr;        // the region that grows by committing more
  char *gh_pchTop = nullptr;                      // its last block when free; in no bin
  char *gh_apchBins[GH_CTBINS] = {};              // free lists, null-terminated, doubly linked
  unsigned long gh_aulBinMap[GH_CTBINWORDS] = {}; // one bit per non-empty bin
  unsigned long gh_ulBinWords = 0;                // one bit per non-zero word of the map
  MemoryHeapStats gh_mhs = {}; // live blocks and address space; free ones counted
  bool gh_bQuick = false;
  unsigned char gh_actQuick[GH_CTQUICK] = {};          // blocks in each quick list
  char *gh_aapchQuick[GH_CTQUICK][GH_QUICKDEPTH] = {}; // by block size, 16 to 264 bytes
};

// The general heap and the string heap of the allocation entry points. Lock the memory mutex
// around any use.
CORE_API CGeneralHeap *memGetGeneralHeap(void);
CORE_API CGeneralHeap *memGetStringHeap(void);

} // namespace QuennelEngine
