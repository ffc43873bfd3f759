#pragma once
// CMemoryHeap: a heap with size-class free lists over one contiguous core that grows in place
// through a CMemoryPool. Not locked: each heap belongs to one owner. No entry point of Memory.h
// routes general allocations through it.
#include "core/memory/MemoryPool.h"

namespace QuennelEngine {

// Where the dumps go: anything that takes a format and tagged arguments as conTraceF does; null
// stands for conTraceF.
typedef void (*MemoryTraceFunction)(const char *strFormat, ...);

// The result of a consistency walk over a heap's core and free lists.
struct MemoryHeapWalk {
  long mhw_ctUsedBlocks;
  long mhw_ctFreeBlocks;
  size_t mhw_slUsed;
  size_t mhw_slFree;
  const char *mhw_strError; // the first fault found, or null
};

class CORE_API CMemoryHeap {
public:
  enum {
    MH_CTCLASSES = 85,
    MH_CTEXACTCLASSES = 62,
    MH_SLLASTEXACT = 504,
    MH_CTRANGED = MH_CTCLASSES - MH_CTEXACTCLASSES,
    MH_CTSTRETCHES = 32, // parts of a ranged class that the sorted lists are indexed by
  };

  // An empty heap growing from `pmp`, with the granularity in force now.
  explicit CMemoryHeap(CMemoryPool *pmp);
  // Gives the core back to the pool.
  ~CMemoryHeap();
  CMemoryHeap(const CMemoryHeap &) = delete;
  CMemoryHeap &operator=(const CMemoryHeap &) = delete;

  // `slSize` bytes, aligned to the granularity; null when the pool cannot grow the core.
  void *Allocate(size_t slSize);
  // Frees a block of Allocate (null ignored; anything else that is not live is a guard breach).
  void Free(void *p);
  // The size of the block holding `p` (its usable bytes are that minus 4).
  size_t GetBlockSize(const void *p) const;

  // The block a request of `slSize` bytes takes with granularity `slGranularity` (0 when too big).
  static size_t BlockSizeFor(size_t slSize, size_t slGranularity);
  // The free-list class of a block size: (size - 16) / 8 up to 504, 53 + log2(size) above.
  static int SizeClassOf(size_t slBlock);

  void *GetCore(void) const { return mh_pchCore; }
  size_t GetCoreSize(void) const { return mh_slCore; }
  size_t GetGranularity(void) const { return mh_slGranularity; }
  // The free blocks of one class, first to last (for diagnostics).
  long CountFreeBlocks(int iClass) const;

  // Prints every non-empty free list through `pTrace`.
  void DumpFreeLists(MemoryTraceFunction pTrace = nullptr) const;
  // Prints a map of the core through `pTrace`, one character per byte, 100 per line.
  void DumpMemory(MemoryTraceFunction pTrace = nullptr) const;
  // Walks the core block by block and every free list; true when all is consistent.
  bool Check(MemoryHeapWalk &mhw) const;

private:
  char *FindFree(size_t slBlock);
  void *UseBlock(char *pb, size_t slBlock);
  void ReplaceFree(char *pchOld, size_t slOld, char *pchNew, size_t slNew);
  void ReleaseBlock(char *pb, size_t slBlock, bool bPrevInUse);
  void LinkFree(char *pb, size_t slBlock);
  void UnlinkFree(char *pb, size_t slBlock);
  int FindClass(int iClass) const;
  char *FirstAtLeast(int iClass, size_t slBlock, char *&pchPrev) const;
  void IndexLinked(char *pb, size_t slBlock, int iClass);
  void IndexUnlinked(char *pb, size_t slBlock, int iClass);
  bool Grow(size_t slBlock);
  bool StretchesAgree(int iClass) const;
  char *Sentinel(void) const { return mh_pchCore + mh_slChunks; }

  CMemoryPool *mh_pmp;
  size_t mh_slGranularity;
  char *mh_pchCore;                // the core's address (null until the first allocation)
  size_t mh_slCore;                // its committed size
  size_t mh_slChunks;              // bytes of blocks in it; the sentinel follows
  char *mh_apchFree[MH_CTCLASSES]; // free-list heads
  unsigned long mh_aulClassMap[3]; // one bit per non-empty list
  // The first block of each stretch of each ranged list (null: none), and a bit per non-empty
  // stretch, so a sorted list is entered near the size looked for instead of at its head.
  char *mh_aapchStretch[MH_CTRANGED][MH_CTSTRETCHES];
  unsigned long mh_aulStretchMap[MH_CTRANGED];
};

// Sets the granularity of heaps created from now on (a power of two from 8 to 4096; anything else
// is a guard breach); 8 at start.
CORE_API void memSetMemoryHeapGranularity(size_t slGranularity);
CORE_API size_t memGetMemoryHeapGranularity(void);
// A new CPU memory heap growing from `pmp` (null: a guard breach and null).
CORE_API CMemoryHeap *memCreateCPUMemoryHeap(CMemoryPool *pmp);
// Destroys a heap of memCreateCPUMemoryHeap (null ignored).
CORE_API void memDestroyMemoryHeap(CMemoryHeap *pmh);

} // namespace QuennelEngine
