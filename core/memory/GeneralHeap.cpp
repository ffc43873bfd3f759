// The general heap: a boundary-tag allocator on virtual memory.
//
// Address space comes from the system in regions: 16 MiB reserved at a time and committed in
// 256 KiB steps from the bottom as the heap grows; a block of 1 MiB or more gets a region of its
// own that is released as soon as the block is freed. Each region starts with its descriptor and
// ends with a sentinel word, a live block of size 0, so walks and coalescing stop there without
// comparing addresses. A table with one entry per 64 KiB of the 32-bit address space maps every
// reserved unit to its region: "is this pointer ours, and whose?" is one load.
//
// A block is one header word followed by the user's bytes; the user's pointer is 8-byte aligned,
// so blocks start at 4 mod 8 and their sizes are multiples of 8. The header holds the size and
// three flags: live, previous block live, and the handle mark of the allocation entry points. A
// free block also keeps its size in its last word (the footer) and two free-list links after its
// header, so the smallest block is 16 bytes. Freeing merges a block with free neighbours at once
// (the previous one is found through its footer when the flag says it is free): two free blocks
// are never adjacent.
//
// Free blocks sit in 295 bins: one per size from 16 to 1024 bytes in steps of 8, then eight bins
// per power of two. A two-level bitmap of non-empty bins finds the first bin that can serve a
// request in a few instructions. Small requests take the head of the first non-empty bin from
// their own size up (an exact fit when their own bin has one); large ones look at a few blocks of
// their own bin, then take the head of the next non-empty bin, whose blocks are all large enough.
// A block that is bigger than needed is split when 16 bytes or more would remain.
//
// Quick lists, where the owner asks for them, sit in front of all this: a freed block of 264
// bytes or less goes on the short list of its size as it is, still marked live so that no
// neighbour merges with it, and the next request of that size takes it back in a few
// instructions. A list holds 8 blocks at most; what does not fit is freed as above.
//
// Beside every region that is not dedicated lies its start map: one bit per 8 bytes of the
// region, set at the user's pointer of every block that is handed out and cleared when the block
// is freed into the bins or the top. A block parked in a quick list keeps its bit, so the quick
// lists' fast path never touches the map. FindLiveBlock scans the map back from an address to
// the nearest start and checks that the block there covers the address and is live: that is how
// a handle made for an address inside a block (an array element, an aligned block) finds the
// block whose freeing must dismiss it. Only free space lies between starts, so no live block can
// hide between the one found and the address.
//
// The free block at the end of the growing region, the top, stays out of the bins: requests that
// no bin serves are cut from its start, and blocks freed next to it merge into it, with no list
// or bitmap work and no footer (nothing lies behind it to need one). When the top is too small,
// the region commits more pages behind it, or a new region becomes the growing one and the old
// top goes into a bin.
#include "core/memory/GeneralHeap.h"

#include "core/platform/SysMemory.h"

#include <stdint.h>
#include <string.h>

namespace QuennelEngine {

// A region's descriptor, at its base.
struct GeneralHeapRegion {
  GeneralHeapRegion *rg_prgNext;
  CGeneralHeap *rg_pgh;
  size_t rg_slReserved;
  size_t rg_slCommitted;
  // The start map; null for a dedicated region, which holds one block and goes when it is freed.
  unsigned long *rg_pulStarts;
};

static inline bool IsDedicated(const GeneralHeapRegion *prg)
{
  return prg->rg_pulStarts == nullptr;
}

typedef unsigned long Word;

static const Word GH_INUSE = CGeneralHeap::GH_INUSE;
static const Word GH_PREVINUSE = CGeneralHeap::GH_PREVINUSE;
static const Word GH_MARK = CGeneralHeap::GH_MARK;
static const Word GH_SIZEMASK = CGeneralHeap::GH_SIZEMASK;

static const size_t _slMinBlock = 16;
static const size_t _slLastExactBin = 1024;
static const size_t _slLastQuick = 264;
static const size_t _slMaxRequest = 0x7FF00000UL;
static const size_t _slDedicated = 1UL << 20;
static const size_t _slRegionReserve = 16UL << 20;
static const size_t _slInitialCommit = 256UL << 10;
static const size_t _slCommitStep = 256UL << 10;
// Blocks start at 4 mod 8; the first one right after the descriptor.
static const size_t _slFirstBlock = ((sizeof(GeneralHeapRegion) + 4 + 7) & ~(size_t)7) - 4;
// The descriptor before the first block and the sentinel after the last.
static const size_t _slRegionOverhead = _slFirstBlock + 4;
static const int _iUnitShift = 16;
// The hot path is a handful of small steps; calls between them would cost as much as the steps.
#define GH_INLINE inline __attribute__((always_inline))
static const size_t _slUnit = (size_t)1 << _iUnitShift;

// The region and the heap of every 64 KiB unit of the address space (null: not ours). Entries
// change only while their units are reserved by the heap that writes them.
static GeneralHeapRegion *_gh_aprgUnits[(size_t)1 << (32 - _iUnitShift)];
CGeneralHeap *GeneralHeapPrivate::gh_apghUnitOwners[(size_t)1 << (32 - _iUnitShift)];

static inline Word &Header(char *pb)
{
  return *(Word *)pb;
}

static inline size_t SizeOf(Word h)
{
  return h & GH_SIZEMASK;
}

static inline Word &Footer(char *pb, size_t slBlock)
{
  return *(Word *)(pb + slBlock - 4);
}

static inline char *&NextFree(char *pb)
{
  return *(char **)(pb + 4);
}

static inline char *&PrevFree(char *pb)
{
  return *(char **)(pb + 8);
}

static inline size_t RoundUp(size_t sl, size_t slStep)
{
  return (sl + slStep - 1) & ~(slStep - 1);
}

static inline GeneralHeapRegion *RegionOf(const void *pv)
{
  return _gh_aprgUnits[(uintptr_t)pv >> _iUnitShift];
}

static inline char *RegionBase(GeneralHeapRegion *prg)
{
  return (char *)prg;
}

// Bytes of the start map of a region of `slReserved` bytes: one bit per 8 bytes.
static inline size_t StartMapBytes(size_t slReserved)
{
  return slReserved >> 6;
}

// The start map's bit of the block whose header is at `pb` (its user's pointer at pb + 4).
static GH_INLINE void SetStart(GeneralHeapRegion *prg, char *pb)
{
  size_t iBit = (size_t)(pb + 4 - RegionBase(prg)) >> 3;
  prg->rg_pulStarts[iBit >> 5] |= 1UL << (iBit & 31);
}

static GH_INLINE void ClearStart(GeneralHeapRegion *prg, char *pb)
{
  size_t iBit = (size_t)(pb + 4 - RegionBase(prg)) >> 3;
  prg->rg_pulStarts[iBit >> 5] &= ~(1UL << (iBit & 31));
}

static inline bool HasStart(const GeneralHeapRegion *prg, const char *pb)
{
  size_t iBit = (size_t)(pb + 4 - (const char *)prg) >> 3;
  return (prg->rg_pulStarts[iBit >> 5] >> (iBit & 31)) & 1;
}

static GH_INLINE int BinOf(size_t slBlock)
{
  if (slBlock <= _slLastExactBin) return (int)(slBlock >> 3) - 2;
  int iLog = 31 - __builtin_clz((unsigned)slBlock);
  int iSub = (int)(slBlock >> (iLog - 3)) & 7;
  return 127 + (iLog - 10) * 8 + iSub;
}

static inline int QuickOf(size_t slBlock)
{
  return (int)(slBlock >> 3) - 2;
}

size_t CGeneralHeap::BlockSizeFor(size_t slSize)
{
  if (slSize > _slMaxRequest) return 0;
  size_t slBlock = (slSize + 4 + 7) & ~(size_t)7;
  return slBlock < _slMinBlock ? _slMinBlock : slBlock;
}

CGeneralHeap::~CGeneralHeap()
{
  ReleaseAll();
}

bool CGeneralHeap::InQuickList(const char *pb, size_t slBlock) const
{
  if (slBlock > _slLastQuick) return false;
  int iQuick = QuickOf(slBlock);
  for (int i = 0; i < gh_actQuick[iQuick]; i++) {
    if (gh_aapchQuick[iQuick][i] == pb) return true;
  }
  return false;
}

bool CGeneralHeap::IsLiveBlock(const void *p) const
{
  if (p == nullptr || !Owns(p)) return false;
  Word h = HeaderOf(p);
  return (h & GH_INUSE) != 0 && !InQuickList((const char *)p - 4, SizeOf(h));
}

void *CGeneralHeap::FindLiveBlock(const void *pv) const
{
  if (pv == nullptr || !Owns(pv)) return nullptr;
  GeneralHeapRegion *prg = RegionOf(pv);
  char *pchBase = RegionBase(prg);
  char *p;
  if (IsDedicated(prg)) {
    // A dedicated region holds one block.
    p = pchBase + _slFirstBlock + 4;
  } else {
    size_t slOffset = (size_t)((const char *)pv - pchBase);
    if (slOffset >= prg->rg_slCommitted) return nullptr;
    // The nearest start at or below pv: the highest bit set up to pv's own.
    size_t iBit = slOffset >> 3;
    size_t iWord = iBit >> 5;
    unsigned long ulBits = prg->rg_pulStarts[iWord] & (~0UL >> (31 - (iBit & 31)));
    while (ulBits == 0) {
      if (iWord == 0) return nullptr;
      ulBits = prg->rg_pulStarts[--iWord];
    }
    p = pchBase + ((iWord << 5) + (31 - __builtin_clzl(ulBits))) * 8;
  }
  if ((const char *)pv < p || (const char *)pv >= p + UsableSize(p)) return nullptr;
  return IsLiveBlock(p) ? p : nullptr;
}

void CGeneralHeap::FlushQuickLists(void)
{
  for (int iQuick = 0; iQuick < GH_CTQUICK; iQuick++) {
    while (gh_actQuick[iQuick] > 0) {
      char *pb = gh_aapchQuick[iQuick][--gh_actQuick[iQuick]];
      Word h = Header(pb);
      ReleaseBlock(pb, SizeOf(h), (h & GH_PREVINUSE) != 0);
    }
  }
}

void CGeneralHeap::SetQuickLists(bool bOn)
{
  if (!bOn) FlushQuickLists();
  gh_bQuick = bOn;
}

GH_INLINE void CGeneralHeap::LinkFree(char *pb, size_t slBlock)
{
  int iBin = BinOf(slBlock);
  char *pchHead = gh_apchBins[iBin];
  NextFree(pb) = pchHead;
  PrevFree(pb) = nullptr;
  if (pchHead != nullptr) {
    PrevFree(pchHead) = pb;
  } else {
    gh_aulBinMap[iBin >> 5] |= 1UL << (iBin & 31);
    gh_ulBinWords |= 1UL << (iBin >> 5);
  }
  gh_apchBins[iBin] = pb;
}

GH_INLINE void CGeneralHeap::UnlinkFree(char *pb, size_t slBlock)
{
  char *pchNext = NextFree(pb);
  char *pchPrev = PrevFree(pb);
  if (pchNext != nullptr) PrevFree(pchNext) = pchPrev;
  if (pchPrev != nullptr) {
    NextFree(pchPrev) = pchNext;
    return;
  }
  int iBin = BinOf(slBlock);
  gh_apchBins[iBin] = pchNext;
  if (pchNext == nullptr) {
    unsigned long &ulWord = gh_aulBinMap[iBin >> 5];
    ulWord &= ~(1UL << (iBin & 31));
    if (ulWord == 0) gh_ulBinWords &= ~(1UL << (iBin >> 5));
  }
}

// The first non-empty bin at `iBin` or above, or -1.
GH_INLINE int CGeneralHeap::FindBin(int iBin) const
{
  int iWord = iBin >> 5;
  if (iWord >= GH_CTBINWORDS) return -1;
  unsigned long ulBits = gh_aulBinMap[iWord] & (~0UL << (iBin & 31));
  if (ulBits != 0) return iWord * 32 + __builtin_ctzl(ulBits);
  unsigned long ulWords = gh_ulBinWords & (~0UL << (iWord + 1));
  if (ulWords == 0) return -1;
  iWord = __builtin_ctzl(ulWords);
  return iWord * 32 + __builtin_ctzl(gh_aulBinMap[iWord]);
}

// Unlinks and returns a binned free block of at least `slBlock` bytes, or null.
GH_INLINE char *CGeneralHeap::TakeFree(size_t slBlock)
{
  int iBin = BinOf(slBlock);
  if (slBlock > _slLastExactBin) {
    // A ranged bin may hold blocks too small for us: look at a few, then move up.
    int ctLooked = 0;
    for (char *pb = gh_apchBins[iBin]; pb != nullptr && ctLooked < 16;
         pb = NextFree(pb), ctLooked++) {
      size_t slFound = SizeOf(Header(pb));
      if (slFound >= slBlock) {
        UnlinkFree(pb, slFound);
        return pb;
      }
    }
    iBin++;
  }
  iBin = FindBin(iBin);
  if (iBin < 0) return nullptr;
  char *pb = gh_apchBins[iBin];
  UnlinkFree(pb, SizeOf(Header(pb)));
  return pb;
}

// Makes the unlinked binned block `pb` live with `slBlock` bytes, splitting off the rest.
GH_INLINE void *CGeneralHeap::UseBlock(char *pb, size_t slBlock)
{
  Word h = Header(pb);
  size_t slFound = SizeOf(h);
  if (slFound - slBlock >= _slMinBlock) {
    // A binned block never borders the top, so the rest goes to a bin too.
    char *pchRest = pb + slBlock;
    size_t slRest = slFound - slBlock;
    Header(pchRest) = slRest | GH_PREVINUSE;
    Footer(pchRest, slRest) = slRest;
    LinkFree(pchRest, slRest);
    slFound = slBlock;
  } else {
    Header(pb + slFound) |= GH_PREVINUSE;
  }
  Header(pb) = slFound | GH_INUSE | (h & GH_PREVINUSE);
  SetStart(RegionOf(pb), pb);
  gh_mhs.mhs_slUsed += slFound;
  gh_mhs.mhs_ctUsedBlocks++;
  return pb + 4;
}

// Cuts `slBlock` bytes from the start of the top, or returns null when it is smaller.
GH_INLINE void *CGeneralHeap::TakeTop(size_t slBlock)
{
  char *pb = gh_pchTop;
  if (pb == nullptr) return nullptr;
  size_t slTop = SizeOf(Header(pb));
  if (slTop < slBlock) return nullptr;
  if (slTop - slBlock >= _slMinBlock) {
    gh_pchTop = pb + slBlock;
    Header(gh_pchTop) = (slTop - slBlock) | GH_PREVINUSE;
  } else {
    slBlock = slTop;
    gh_pchTop = nullptr;
    Header(pb + slTop) |= GH_PREVINUSE;
  }
  Header(pb) = slBlock | GH_INUSE | GH_PREVINUSE;
  SetStart(gh_prgGrow, pb);
  gh_mhs.mhs_slUsed += slBlock;
  gh_mhs.mhs_ctUsedBlocks++;
  return pb + 4;
}

// Turns `pb` (no longer counted as live) into free space merged with free neighbours: part of
// the top, a binned block, or, for a dedicated region, nothing at all.
GH_INLINE void CGeneralHeap::ReleaseBlock(char *pb, size_t slBlock, bool bPrevInUse)
{
  GeneralHeapRegion *prg = RegionOf(pb);
  if (!IsDedicated(prg)) ClearStart(prg, pb);
  char *pchNext = pb + slBlock;
  if (!bPrevInUse) {
    size_t slPrev = *(Word *)(pb - 4);
    // The merged header stays behind in the free space: clear it, so freeing it again is refused.
    Header(pb) = 0;
    pb -= slPrev;
    UnlinkFree(pb, slPrev);
    slBlock += slPrev;
  }
  if (pchNext == gh_pchTop) {
    Header(pb) = (slBlock + SizeOf(Header(pchNext))) | GH_PREVINUSE;
    gh_pchTop = pb;
    return;
  }
  Word hNext = Header(pchNext);
  if (!(hNext & GH_INUSE)) {
    size_t slNext = SizeOf(hNext);
    UnlinkFree(pchNext, slNext);
    slBlock += slNext;
    pchNext += slNext;
    hNext = Header(pchNext);
  }
  Header(pchNext) = hNext & ~GH_PREVINUSE;
  if (QE_UNLIKELY(SizeOf(hNext) == 0)) {
    // The block now ends its region.
    if (IsDedicated(prg)) {
      ReleaseRegion(prg);
      return;
    }
    if (prg == gh_prgGrow) {
      Header(pb) = slBlock | GH_PREVINUSE;
      gh_pchTop = pb;
      return;
    }
  }
  Header(pb) = slBlock | GH_PREVINUSE;
  Footer(pb, slBlock) = slBlock;
  LinkFree(pb, slBlock);
}

// Cuts the live block `pb` down to `slWanted` bytes when 16 or more would be left over.
void CGeneralHeap::ShrinkBlock(char *pb, size_t slBlock, size_t slWanted)
{
  Word h = Header(pb) & ~GH_MARK;
  if (slBlock - slWanted < _slMinBlock) {
    Header(pb) = h;
    return;
  }
  Header(pb) = slWanted | (h & (GH_INUSE | GH_PREVINUSE));
  size_t slRest = slBlock - slWanted;
  gh_mhs.mhs_slUsed -= slRest;
  ReleaseBlock(pb + slWanted, slRest, true);
}

void *CGeneralHeap::Alloc(size_t slSize)
{
  void *p = AllocBlock(slSize);
  if (p != nullptr) gh_mhs.mhs_ctAllocations++;
  return p;
}

void *CGeneralHeap::AllocBlock(size_t slSize)
{
  size_t slBlock = BlockSizeFor(slSize);
  if (slBlock == 0) return nullptr;
  if (slBlock <= _slLastQuick) {
    int iQuick = QuickOf(slBlock);
    if (gh_actQuick[iQuick] != 0) {
      char *pb = gh_aapchQuick[iQuick][--gh_actQuick[iQuick]];
      gh_mhs.mhs_slUsed += slBlock;
      gh_mhs.mhs_ctUsedBlocks++;
      return pb + 4;
    }
  }
  if (slBlock >= _slDedicated) return AllocDedicated(slBlock);
  for (;;) {
    char *pb = TakeFree(slBlock);
    if (pb != nullptr) return UseBlock(pb, slBlock);
    void *p = TakeTop(slBlock);
    if (p != nullptr) return p;
    if (!Grow(slBlock)) return nullptr;
  }
}

bool CGeneralHeap::Free(void *p)
{
  if (p == nullptr) return false;
  char *pb = (char *)p - 4;
  Word h = Header(pb);
  if (!(h & GH_INUSE) || SizeOf(h) == 0) return false;
  size_t slBlock = SizeOf(h);
  if (slBlock <= _slLastQuick && gh_bQuick) {
    if (InQuickList(pb, slBlock)) return false; // freed before
    int iQuick = QuickOf(slBlock);
    if (gh_actQuick[iQuick] < GH_QUICKDEPTH) {
      Header(pb) = h & ~GH_MARK;
      gh_aapchQuick[iQuick][gh_actQuick[iQuick]++] = pb;
      gh_mhs.mhs_slUsed -= slBlock;
      gh_mhs.mhs_ctUsedBlocks--;
      return true;
    }
  }
  gh_mhs.mhs_slUsed -= slBlock;
  gh_mhs.mhs_ctUsedBlocks--;
  ReleaseBlock(pb, slBlock, (h & GH_PREVINUSE) != 0);
  return true;
}

void *CGeneralHeap::ReAlloc(void *p, size_t slSize)
{
  if (p == nullptr) return Alloc(slSize);
  size_t slWanted = BlockSizeFor(slSize);
  if (slWanted == 0) return nullptr;
  char *pb = (char *)p - 4;
  Word h = Header(pb);
  size_t slBlock = SizeOf(h);

  if (slBlock >= _slDedicated && IsDedicated(RegionOf(pb))) {
    // A dedicated block keeps its region while it stays big and fits.
    if (slWanted >= _slDedicated && slWanted <= slBlock) {
      Header(pb) = h & ~GH_MARK;
      return p;
    }
    if (slWanted > slBlock) {
      // A growing one commits more of its region's spare address space, in place.
      GeneralHeapRegion *prg = RegionOf(pb);
      char *pchBase = RegionBase(prg);
      const size_t slCommit = RoundUp(slWanted + _slRegionOverhead, sysGetPageSize());
      if (slCommit <= prg->rg_slReserved &&
          sysCommitMemory(pchBase + prg->rg_slCommitted, slCommit - prg->rg_slCommitted)) {
        gh_mhs.mhs_slCommitted += slCommit - prg->rg_slCommitted;
        prg->rg_slCommitted = slCommit;
        const size_t slNew = slCommit - _slRegionOverhead;
        Header(pb) = slNew | GH_INUSE | GH_PREVINUSE;
        Header(pchBase + slCommit - 4) = GH_INUSE | GH_PREVINUSE;
        gh_mhs.mhs_slUsed += slNew - slBlock;
        return p;
      }
      // Else a new region with room for the block to grow on to four times its size (a
      // stream written to its end grows many times), the data copied once.
      const size_t slSpare = slWanted < (256UL << 20) ? 3 * slWanted : (256UL << 20);
      void *pNew = AllocDedicated(slWanted, slWanted + slSpare + _slRegionOverhead);
      if (pNew == nullptr) return nullptr;
      gh_mhs.mhs_ctAllocations++;
      memcpy(pNew, p, slBlock - 4 < slSize ? slBlock - 4 : slSize);
      Free(p);
      return pNew;
    }
  } else if (slWanted < _slDedicated) {
    if (slWanted <= slBlock) {
      ShrinkBlock(pb, slBlock, slWanted);
      return p;
    }
    char *pchNext = pb + slBlock;
    Word hNext = Header(pchNext);
    GeneralHeapRegion *prg = gh_prgGrow;
    bool bEndsGrowing =
        pchNext == gh_pchTop || (SizeOf(hNext) == 0 && prg != nullptr && RegionOf(pchNext) == prg);
    if (bEndsGrowing) {
      // Only the top lies behind the block: take from it, committing more when it is short.
      size_t slTop = gh_pchTop != nullptr ? SizeOf(Header(gh_pchTop)) : 0;
      if (slBlock + slTop < slWanted) {
        size_t slNeed = slWanted - slBlock - slTop;
        size_t slRoom = prg->rg_slReserved - prg->rg_slCommitted;
        size_t slMore = RoundUp(slNeed > _slCommitStep ? slNeed : _slCommitStep, sysGetPageSize());
        if (slNeed <= slRoom) ExtendRegion(prg, slMore < slRoom ? slMore : slRoom);
      }
      if (gh_pchTop == pchNext && slBlock + SizeOf(Header(pchNext)) >= slWanted) {
        size_t slAll = slBlock + SizeOf(Header(pchNext));
        if (slAll - slWanted >= _slMinBlock) {
          gh_pchTop = pb + slWanted;
          Header(gh_pchTop) = (slAll - slWanted) | GH_PREVINUSE;
        } else {
          slWanted = slAll;
          gh_pchTop = nullptr;
          Header(pb + slAll) |= GH_PREVINUSE;
        }
        Header(pb) = slWanted | GH_INUSE | (h & GH_PREVINUSE);
        gh_mhs.mhs_slUsed += slWanted - slBlock;
        return p;
      }
    } else if (!(hNext & GH_INUSE) && slBlock + SizeOf(hNext) >= slWanted) {
      size_t slNext = SizeOf(hNext);
      UnlinkFree(pchNext, slNext);
      Header(pchNext + slNext) |= GH_PREVINUSE;
      gh_mhs.mhs_slUsed += slNext;
      slBlock += slNext;
      Header(pb) = slBlock | (h & (GH_INUSE | GH_PREVINUSE));
      ShrinkBlock(pb, slBlock, slWanted);
      return p;
    }
  }

  void *pNew = Alloc(slSize);
  if (pNew == nullptr) return nullptr;
  size_t slKeep = slBlock - 4 < slSize ? slBlock - 4 : slSize;
  memcpy(pNew, p, slKeep);
  Free(p);
  return pNew;
}

bool CGeneralHeap::Grow(size_t slBlock)
{
  GeneralHeapRegion *prg = gh_prgGrow;
  if (prg != nullptr) {
    // The top grows into the new pages, so only what it lacks is needed.
    size_t slTop = gh_pchTop != nullptr ? SizeOf(Header(gh_pchTop)) : 0;
    size_t slNeed = slBlock > slTop ? slBlock - slTop : _slMinBlock;
    size_t slRoom = prg->rg_slReserved - prg->rg_slCommitted;
    if (slNeed <= slRoom) {
      size_t slMore = RoundUp(slNeed > _slCommitStep ? slNeed : _slCommitStep, sysGetPageSize());
      if (ExtendRegion(prg, slMore < slRoom ? slMore : slRoom)) return true;
    }
  }
  char *pchOldTop = gh_pchTop;
  if (NewRegion(slBlock, false) == nullptr) return false;
  // The old region is full: its top becomes an ordinary free block.
  if (pchOldTop != nullptr) {
    size_t slOld = SizeOf(Header(pchOldTop));
    Footer(pchOldTop, slOld) = slOld;
    LinkFree(pchOldTop, slOld);
  }
  return true;
}

// Commits `slMore` bytes at the end of the growing region; the top grows over them.
bool CGeneralHeap::ExtendRegion(GeneralHeapRegion *prg, size_t slMore)
{
  char *pchEnd = RegionBase(prg) + prg->rg_slCommitted;
  if (!sysCommitMemory(pchEnd, slMore)) return false;
  prg->rg_slCommitted += slMore;
  gh_mhs.mhs_slCommitted += slMore;
  char *pchOldSentinel = pchEnd - 4;
  Header(pchEnd + slMore - 4) = GH_INUSE;
  if (gh_pchTop != nullptr) {
    Header(gh_pchTop) += slMore;
    Header(pchOldSentinel) = 0;
  } else {
    Header(pchOldSentinel) = slMore | GH_PREVINUSE;
    gh_pchTop = pchOldSentinel;
  }
  return true;
}

GeneralHeapRegion *CGeneralHeap::NewRegion(size_t slBlock, bool bDedicated, size_t slReserveAtLeast)
{
  size_t slReserve = RoundUp(slBlock + _slRegionOverhead, _slUnit);
  if (!bDedicated && slReserve < _slRegionReserve) slReserve = _slRegionReserve;
  const size_t slExact = slReserve;
  if (bDedicated && slReserveAtLeast > slReserve) slReserve = RoundUp(slReserveAtLeast, _slUnit);
  char *pchBase = (char *)sysReserveMemory(slReserve);
  if (pchBase == nullptr && slReserve > slExact) {
    // No room for the spare address space: the block alone.
    slReserve = slExact;
    pchBase = (char *)sysReserveMemory(slReserve);
  }
  if (pchBase == nullptr) return nullptr;
  size_t slCommit = slReserve;
  if (bDedicated && slReserve > slExact) {
    slCommit = RoundUp(slBlock + _slRegionOverhead, sysGetPageSize());
  } else if (!bDedicated) {
    size_t slFirst = slBlock + _slRegionOverhead;
    slCommit = RoundUp(slFirst > _slInitialCommit ? slFirst : _slInitialCommit, sysGetPageSize());
    if (slCommit > slReserve) slCommit = slReserve;
  }
  if (!sysCommitMemory(pchBase, slCommit)) {
    sysReleaseMemory(pchBase);
    return nullptr;
  }

  unsigned long *pulStarts = nullptr;
  if (!bDedicated) {
    // Fresh pages are zero: no starts yet.
    pulStarts = (unsigned long *)sysAllocateMemory(StartMapBytes(slReserve));
    if (pulStarts == nullptr) {
      sysReleaseMemory(pchBase);
      return nullptr;
    }
    gh_mhs.mhs_slReserved += StartMapBytes(slReserve);
    gh_mhs.mhs_slCommitted += StartMapBytes(slReserve);
  }

  GeneralHeapRegion *prg = (GeneralHeapRegion *)pchBase;
  prg->rg_prgNext = gh_prgFirst;
  prg->rg_pgh = this;
  prg->rg_slReserved = slReserve;
  prg->rg_slCommitted = slCommit;
  prg->rg_pulStarts = pulStarts;
  gh_prgFirst = prg;
  for (size_t sl = 0; sl < slReserve; sl += _slUnit) {
    _gh_aprgUnits[((uintptr_t)pchBase + sl) >> _iUnitShift] = prg;
    GeneralHeapPrivate::gh_apghUnitOwners[((uintptr_t)pchBase + sl) >> _iUnitShift] = this;
  }
  gh_mhs.mhs_slReserved += slReserve;
  gh_mhs.mhs_slCommitted += slCommit;
  gh_mhs.mhs_ctRegions++;

  char *pb = pchBase + _slFirstBlock;
  size_t slFirst = slCommit - _slRegionOverhead;
  char *pchSentinel = pchBase + slCommit - 4;
  if (bDedicated) {
    Header(pb) = slFirst | GH_INUSE | GH_PREVINUSE;
    Header(pchSentinel) = GH_INUSE | GH_PREVINUSE;
    gh_mhs.mhs_slUsed += slFirst;
    gh_mhs.mhs_ctUsedBlocks++;
  } else {
    Header(pb) = slFirst | GH_PREVINUSE;
    Header(pchSentinel) = GH_INUSE;
    gh_prgGrow = prg;
    gh_pchTop = pb;
  }
  return prg;
}

void *CGeneralHeap::AllocDedicated(size_t slBlock, size_t slReserve)
{
  GeneralHeapRegion *prg = NewRegion(slBlock, true, slReserve);
  if (prg == nullptr) return nullptr;
  return RegionBase(prg) + _slFirstBlock + 4;
}

void CGeneralHeap::ReleaseRegion(GeneralHeapRegion *prg)
{
  GeneralHeapRegion **pprg = &gh_prgFirst;
  while (*pprg != prg) pprg = &(*pprg)->rg_prgNext;
  *pprg = prg->rg_prgNext;
  if (gh_prgGrow == prg) {
    gh_prgGrow = nullptr;
    gh_pchTop = nullptr;
  }
  char *pchBase = RegionBase(prg);
  for (size_t sl = 0; sl < prg->rg_slReserved; sl += _slUnit) {
    _gh_aprgUnits[((uintptr_t)pchBase + sl) >> _iUnitShift] = nullptr;
    GeneralHeapPrivate::gh_apghUnitOwners[((uintptr_t)pchBase + sl) >> _iUnitShift] = nullptr;
  }
  gh_mhs.mhs_slReserved -= prg->rg_slReserved;
  gh_mhs.mhs_slCommitted -= prg->rg_slCommitted;
  gh_mhs.mhs_ctRegions--;
  if (!IsDedicated(prg)) {
    gh_mhs.mhs_slReserved -= StartMapBytes(prg->rg_slReserved);
    gh_mhs.mhs_slCommitted -= StartMapBytes(prg->rg_slReserved);
    sysReleaseMemory(prg->rg_pulStarts);
  }
  sysReleaseMemory(pchBase);
}

void CGeneralHeap::ReleaseAll(void)
{
  for (int iQuick = 0; iQuick < GH_CTQUICK; iQuick++) gh_actQuick[iQuick] = 0;
  while (gh_prgFirst != nullptr) ReleaseRegion(gh_prgFirst);
  memset(gh_apchBins, 0, sizeof(gh_apchBins));
  memset(gh_aulBinMap, 0, sizeof(gh_aulBinMap));
  gh_ulBinWords = 0;
  gh_mhs = MemoryHeapStats{};
}

MemoryHeapStats CGeneralHeap::GetStats(void) const
{
  MemoryHeapStats mhs = gh_mhs;
  for (int iBin = 0; iBin < GH_CTBINS; iBin++) {
    for (char *pb = gh_apchBins[iBin]; pb != nullptr; pb = NextFree(pb)) {
      mhs.mhs_slFree += SizeOf(Header(pb));
      mhs.mhs_ctFreeBlocks++;
    }
  }
  if (gh_pchTop != nullptr) {
    mhs.mhs_slFree += SizeOf(Header(gh_pchTop));
    mhs.mhs_ctFreeBlocks++;
  }
  for (int iQuick = 0; iQuick < GH_CTQUICK; iQuick++) {
    mhs.mhs_slFree += (size_t)gh_actQuick[iQuick] * (size_t)((iQuick + 2) << 3);
    mhs.mhs_ctFreeBlocks += gh_actQuick[iQuick];
  }
  return mhs;
}

bool CGeneralHeap::CheckRegion(const GeneralHeapRegion *prg, GeneralHeapWalk &ghw) const
{
  char *pchBase = RegionBase(const_cast<GeneralHeapRegion *>(prg));
  char *pchEnd = pchBase + prg->rg_slCommitted;
  if (prg->rg_pgh != this) return ghw.ghw_strError = "region of another heap", false;
  if (prg->rg_slCommitted > prg->rg_slReserved || prg->rg_slCommitted < _slRegionOverhead + 16) {
    return ghw.ghw_strError = "region sizes", false;
  }
  for (size_t sl = 0; sl < prg->rg_slReserved; sl += _slUnit) {
    if (RegionOf(pchBase + sl) != prg || FindOwner(pchBase + sl) != this) {
      return ghw.ghw_strError = "region map", false;
    }
  }
  bool bPrevInUse = true;
  long ctLive = 0;
  long ctStarts = 0; // blocks that must have their bit in the start map
  char *pb = pchBase + _slFirstBlock;
  for (;;) {
    if (pb > pchEnd - 4) return ghw.ghw_strError = "block runs past the region", false;
    Word h = Header(pb);
    size_t slBlock = SizeOf(h);
    if (h & 0x80000000UL) return ghw.ghw_strError = "bit 31 of a header", false;
    if (((h & GH_PREVINUSE) != 0) != bPrevInUse)
      return ghw.ghw_strError = "previous-live flag", false;
    if (slBlock == 0) {
      if (pb != pchEnd - 4 || !(h & GH_INUSE)) return ghw.ghw_strError = "sentinel", false;
      break;
    }
    if (slBlock < _slMinBlock || (slBlock & 7) != 0) return ghw.ghw_strError = "block size", false;
    if (pb + slBlock > pchEnd - 4) return ghw.ghw_strError = "block runs past the region", false;
    if ((h & GH_INUSE) && InQuickList(pb, slBlock)) {
      if (h & GH_MARK) return ghw.ghw_strError = "handle mark on a free block", false;
      ghw.ghw_ctFreeBlocks++;
      ghw.ghw_slFree += slBlock;
    } else if (h & GH_INUSE) {
      ghw.ghw_ctUsedBlocks++;
      ghw.ghw_slUsed += slBlock;
      ctLive++;
    } else {
      if (!bPrevInUse) return ghw.ghw_strError = "two free blocks side by side", false;
      if (h & GH_MARK) return ghw.ghw_strError = "handle mark on a free block", false;
      bool bLast = SizeOf(Header(pb + slBlock)) == 0;
      if ((pb == gh_pchTop) != (bLast && prg == gh_prgGrow)) return ghw.ghw_strError = "top", false;
      if (pb != gh_pchTop && Footer(pb, slBlock) != slBlock)
        return ghw.ghw_strError = "footer", false;
      ghw.ghw_ctFreeBlocks++;
      ghw.ghw_slFree += slBlock;
    }
    if (!IsDedicated(prg) && (h & GH_INUSE)) {
      if (!HasStart(prg, pb)) return ghw.ghw_strError = "start map misses a block", false;
      ctStarts++;
    }
    bPrevInUse = (h & GH_INUSE) != 0;
    pb += slBlock;
  }
  if (IsDedicated(prg) && ctLive != 1) return ghw.ghw_strError = "dedicated region", false;
  if (!IsDedicated(prg)) {
    // Every bit set belongs to a block found above: none in free space or inside a block.
    long ctBits = 0;
    size_t ctWords = StartMapBytes(prg->rg_slReserved) / sizeof(unsigned long);
    for (size_t i = 0; i < ctWords; i++) ctBits += __builtin_popcountl(prg->rg_pulStarts[i]);
    if (ctBits != ctStarts) return ghw.ghw_strError = "start map has a stray bit", false;
  }
  return true;
}

bool CGeneralHeap::Check(GeneralHeapWalk &ghw) const
{
  ghw = GeneralHeapWalk{};
  size_t slReserved = 0, slCommitted = 0;
  bool bGrowFound = gh_prgGrow == nullptr;
  for (const GeneralHeapRegion *prg = gh_prgFirst; prg != nullptr; prg = prg->rg_prgNext) {
    if (!CheckRegion(prg, ghw)) return false;
    ghw.ghw_ctRegions++;
    slReserved += prg->rg_slReserved;
    slCommitted += prg->rg_slCommitted;
    if (!IsDedicated(prg)) {
      slReserved += StartMapBytes(prg->rg_slReserved);
      slCommitted += StartMapBytes(prg->rg_slReserved);
    }
    if (prg == gh_prgGrow) bGrowFound = true;
  }
  if (!bGrowFound) return ghw.ghw_strError = "growing region not in the list", false;

  long ctBinned = 0;
  for (int iBin = 0; iBin < GH_CTBINS; iBin++) {
    bool bMapped = (gh_aulBinMap[iBin >> 5] >> (iBin & 31)) & 1;
    if (bMapped != (gh_apchBins[iBin] != nullptr)) return ghw.ghw_strError = "bin map", false;
    char *pchPrev = nullptr;
    for (char *pb = gh_apchBins[iBin]; pb != nullptr; pb = NextFree(pb)) {
      if (++ctBinned > ghw.ghw_ctFreeBlocks) return ghw.ghw_strError = "free list too long", false;
      Word h = Header(pb);
      if (!Owns(pb) || (h & GH_INUSE)) return ghw.ghw_strError = "live block in a free list", false;
      if (BinOf(SizeOf(h)) != iBin) return ghw.ghw_strError = "block in the wrong bin", false;
      if (PrevFree(pb) != pchPrev) return ghw.ghw_strError = "free list links", false;
      pchPrev = pb;
    }
  }
  long ctQuick = 0;
  for (int iQuick = 0; iQuick < GH_CTQUICK; iQuick++) {
    if (gh_actQuick[iQuick] > GH_QUICKDEPTH) return ghw.ghw_strError = "quick list length", false;
    for (int i = 0; i < gh_actQuick[iQuick]; i++) {
      char *pb = gh_aapchQuick[iQuick][i];
      Word h = Header(pb);
      if (!Owns(pb) || !(h & GH_INUSE) || QuickOf(SizeOf(h)) != iQuick) {
        return ghw.ghw_strError = "block in the wrong quick list", false;
      }
      for (int j = 0; j < i; j++) {
        if (gh_aapchQuick[iQuick][j] == pb) return ghw.ghw_strError = "quick list twice", false;
      }
      ctQuick++;
    }
  }
  if (ctBinned + (gh_pchTop != nullptr) + ctQuick != ghw.ghw_ctFreeBlocks) {
    return ghw.ghw_strError = "free block not in a bin", false;
  }
  for (int iWord = 0; iWord < GH_CTBINWORDS; iWord++) {
    if (((gh_ulBinWords >> iWord) & 1) != (gh_aulBinMap[iWord] != 0)) {
      return ghw.ghw_strError = "bin map summary", false;
    }
  }

  MemoryHeapStats mhs = GetStats();
  if (mhs.mhs_ctRegions != ghw.ghw_ctRegions || mhs.mhs_slReserved != slReserved ||
      mhs.mhs_slCommitted != slCommitted || mhs.mhs_ctUsedBlocks != ghw.ghw_ctUsedBlocks ||
      mhs.mhs_slUsed != ghw.ghw_slUsed || mhs.mhs_ctFreeBlocks != ghw.ghw_ctFreeBlocks ||
      mhs.mhs_slFree != ghw.ghw_slFree) {
    return ghw.ghw_strError = "running figures", false;
  }
  return true;
}

} // namespace QuennelEngine
