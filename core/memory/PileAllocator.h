#pragma once
// CPileAllocator: many short-lived pieces cut one after another from owned blocks and given back
// all at once. Not locked: each pile belongs to one owner.
#include "core/platform/Platform.h"

namespace QuennelEngine {

struct PileAllocatorData;

class CORE_API CPileAllocator {
public:
  // Empty, with an allocation step of 16.
  CPileAllocator();
  // Frees every block.
  ~CPileAllocator();
  CPileAllocator(const CPileAllocator &) = delete;
  CPileAllocator &operator=(const CPileAllocator &) = delete;

  // `slSize` bytes (0 counts as 1) right after the previous piece; when the current block has
  // too little left, a new block of step x `slSize` bytes becomes current. Never null for a
  // size of 0 or more; a negative size is a guard breach and gives null.
  void *Allocate(long slSize);
  // Takes back `p` when it is the last piece handed out; anything else is a guard breach.
  void FreeLast(void *p);
  // Takes back every piece; several blocks are replaced by one of their summed size.
  void FreeAll(void);
  // Frees every block.
  void Clear(void);
  // How many times a request's size a new block holds (1 or more).
  void SetAllocationStep(long ctStep);
  long GetAllocationStep(void) const;

  // The blocks owned, the current block's size and the bytes used in it (for diagnostics).
  long GetBlockCount(void) const;
  long GetCurrentBlockSize(void) const;
  long GetUsedInCurrentBlock(void) const;

private:
  PileAllocatorData *pa_pData;
};

} // namespace QuennelEngine
