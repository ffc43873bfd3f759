// The size-class heap.
//
// A block at address A starts with two words: at A the size of the block before it, valid only
// while that one is free (its footer), and at A + 4 its own size with two flags, live and
// previous-live. The user's bytes start at A + 8 and may run into the next block's first word,
// which a live block's successor does not use; so a request of s bytes takes s + 4 rounded up to
// the granularity, at least 16. A free block keeps its list links at A + 8 and A + 12.
//
// The core is one run of blocks followed by an 8-byte sentinel, a live block of size 0. It grows
// at the end: the sentinel's place becomes a free block over the new pages, merged with a free
// last block, and a new sentinel ends the core.
//
// 85 free lists: one per exact size from 16 to 504 bytes, then one per power of two, kept sorted
// by size so the first block that fits is the best. A request takes the head of its exact list,
// or the first fitting block of its ranged list, or else the smallest block of the next non-empty
// list above.
//
// A ranged list can grow long, and walking it from its head on every link and every search would
// cost more than the rest of an allocation. So each ranged class is cut into 32 stretches of equal
// width (16 bytes wide in the 512-byte class), and the heap keeps the first block of every
// stretch, with a bit per non-empty stretch. A search or an insertion enters the list at the
// first block of the nearest non-empty stretch at or below the size it wants: everything before
// that block is smaller, so only the blocks of one stretch are walked. The lists themselves, and
// so the block every request takes, are the same as without the index.
#include "core/memory/MemoryHeap.h"

#include "core/frame/CodeGuard.h"
#include "core/frame/Console.h"
#include "core/memory/Memory.h"

#include <new>
#include <string.h>

namespace QuennelEngine {

typedef unsigned long Word;

static const Word MH_INUSE = 1;
static const Word MH_PREVINUSE = 2;
static const Word MH_FLAGS = 3;
static const size_t _slMinBlock = 16;
static const size_t _slGrowStep = 64 * 1024;
static const size_t _slSentinel = 8;
static const size_t _slMaxRequest = 0x7FF00000UL;

static size_t _mh_slGranularity = 8;

// The hot path is a handful of small steps; calls between them would cost as much as the steps.
#define MH_INLINE inline __attribute__((always_inline))

static inline Word &PrevSize(char *pb)
{
  return *(Word *)pb;
}

static inline Word &Header(char *pb)
{
  return *(Word *)(pb + 4);
}

static inline size_t SizeOf(Word h)
{
  return h & ~MH_FLAGS;
}

static inline char *&NextFree(char *pb)
{
  return *(char **)(pb + 8);
}

static inline char *&PrevFree(char *pb)
{
  return *(char **)(pb + 12);
}

void memSetMemoryHeapGranularity(size_t slGranularity)
{
  if (slGranularity < 8 || slGranularity > 4096 || (slGranularity & (slGranularity - 1)) != 0) {
    corLogGuardBreach();
    return;
  }
  __atomic_store_n(&_mh_slGranularity, slGranularity, __ATOMIC_RELAXED);
}

size_t memGetMemoryHeapGranularity(void)
{
  return __atomic_load_n(&_mh_slGranularity, __ATOMIC_RELAXED);
}

size_t CMemoryHeap::BlockSizeFor(size_t slSize, size_t slGranularity)
{
  if (slSize > _slMaxRequest) return 0;
  size_t slBlock = (slGranularity + slSize + 3) & ~(slGranularity - 1);
  return slBlock < _slMinBlock ? _slMinBlock : slBlock;
}

MH_INLINE int CMemoryHeap::SizeClassOf(size_t slBlock)
{
  if (slBlock <= MH_SLLASTEXACT) return (int)(slBlock - 16) / 8;
  return 53 + (31 - __builtin_clz((unsigned)slBlock));
}

// The stretch of a block size in its ranged class: the five bits below its highest one.
static MH_INLINE int StretchOf(size_t slBlock, int iClass)
{
  return (int)(slBlock >> (iClass - 53 - 5)) & (CMemoryHeap::MH_CTSTRETCHES - 1);
}

CMemoryHeap::CMemoryHeap(CMemoryPool *pmp)
    : mh_pmp(pmp), mh_slGranularity(memGetMemoryHeapGranularity()), mh_pchCore(nullptr),
      mh_slCore(0), mh_slChunks(0), mh_apchFree(), mh_aulClassMap(), mh_aapchStretch(),
      mh_aulStretchMap()
{
}

CMemoryHeap::~CMemoryHeap()
{
  if (mh_pchCore != nullptr && mh_pmp != nullptr) mh_pmp->Free(mh_pchCore);
}

// The first block of the ranged list `iClass` with `slBlock` bytes or more (null: none), and in
// `pchPrev` the block before it (the list's last one when there is none).
MH_INLINE char *CMemoryHeap::FirstAtLeast(int iClass, size_t slBlock, char *&pchPrev) const
{
  const int iRanged = iClass - MH_CTEXACTCLASSES;
  const int iStretch = StretchOf(slBlock, iClass);
  const unsigned long ulAtOrBelow = mh_aulStretchMap[iRanged] & (~0UL >> (31 - iStretch));
  pchPrev = nullptr;
  // Every block is bigger than the stretch's: the head is the one.
  if (ulAtOrBelow == 0) return mh_apchFree[iClass];
  char *pb = mh_aapchStretch[iRanged][31 - __builtin_clzl(ulAtOrBelow)];
  pchPrev = PrevFree(pb);
  while (pb != nullptr && SizeOf(Header(pb)) < slBlock) {
    pchPrev = pb;
    pb = NextFree(pb);
  }
  return pb;
}

// After the block `pb` of `slBlock` bytes was linked into the ranged list `iClass`: it starts
// its stretch unless the block before it lies in the same stretch.
MH_INLINE void CMemoryHeap::IndexLinked(char *pb, size_t slBlock, int iClass)
{
  const int iStretch = StretchOf(slBlock, iClass);
  char *pchPrev = PrevFree(pb);
  if (pchPrev != nullptr && StretchOf(SizeOf(Header(pchPrev)), iClass) == iStretch) return;
  const int iRanged = iClass - MH_CTEXACTCLASSES;
  mh_aapchStretch[iRanged][iStretch] = pb;
  mh_aulStretchMap[iRanged] |= 1UL << iStretch;
}

// Before the block `pb` of `slBlock` bytes leaves the ranged list `iClass` (its links still in
// place): the block after it starts the stretch, if it lies in it.
MH_INLINE void CMemoryHeap::IndexUnlinked(char *pb, size_t slBlock, int iClass)
{
  const int iRanged = iClass - MH_CTEXACTCLASSES;
  const int iStretch = StretchOf(slBlock, iClass);
  if (mh_aapchStretch[iRanged][iStretch] != pb) return;
  char *pchNext = NextFree(pb);
  if (pchNext != nullptr && StretchOf(SizeOf(Header(pchNext)), iClass) == iStretch) {
    mh_aapchStretch[iRanged][iStretch] = pchNext;
    return;
  }
  mh_aapchStretch[iRanged][iStretch] = nullptr;
  mh_aulStretchMap[iRanged] &= ~(1UL << iStretch);
}

MH_INLINE void CMemoryHeap::LinkFree(char *pb, size_t slBlock)
{
  int iClass = SizeClassOf(slBlock);
  char *pchPrev = nullptr;
  char *pchNext = mh_apchFree[iClass];
  if (iClass >= MH_CTEXACTCLASSES) pchNext = FirstAtLeast(iClass, slBlock, pchPrev);
  NextFree(pb) = pchNext;
  PrevFree(pb) = pchPrev;
  if (pchNext != nullptr) PrevFree(pchNext) = pb;
  if (pchPrev != nullptr) {
    NextFree(pchPrev) = pb;
  } else {
    mh_apchFree[iClass] = pb;
    mh_aulClassMap[iClass >> 5] |= 1UL << (iClass & 31);
  }
  if (iClass >= MH_CTEXACTCLASSES) IndexLinked(pb, slBlock, iClass);
}

MH_INLINE void CMemoryHeap::UnlinkFree(char *pb, size_t slBlock)
{
  int iClass = SizeClassOf(slBlock);
  if (iClass >= MH_CTEXACTCLASSES) IndexUnlinked(pb, slBlock, iClass);
  char *pchNext = NextFree(pb);
  char *pchPrev = PrevFree(pb);
  if (pchNext != nullptr) PrevFree(pchNext) = pchPrev;
  if (pchPrev != nullptr) {
    NextFree(pchPrev) = pchNext;
  } else {
    mh_apchFree[iClass] = pchNext;
    if (pchNext == nullptr) mh_aulClassMap[iClass >> 5] &= ~(1UL << (iClass & 31));
  }
}

MH_INLINE int CMemoryHeap::FindClass(int iClass) const
{
  int iWord = iClass >> 5;
  if (iWord >= 3) return -1;
  unsigned long ulBits = mh_aulClassMap[iWord] & (~0UL << (iClass & 31));
  while (ulBits == 0) {
    if (++iWord == 3) return -1;
    ulBits = mh_aulClassMap[iWord];
  }
  int iFound = iWord * 32 + __builtin_ctzl(ulBits);
  return iFound < MH_CTCLASSES ? iFound : -1;
}

// Puts the free block `pchNew` of `slNew` bytes in the place of the listed block `pchOld`: in
// the same list node when the class stays and the list stays sorted (the common case of a big
// block that is split or grows by a merge), otherwise by unlinking one and linking the other.
MH_INLINE void CMemoryHeap::ReplaceFree(char *pchOld, size_t slOld, char *pchNew, size_t slNew)
{
  int iClass = SizeClassOf(slNew);
  if (iClass == SizeClassOf(slOld)) {
    char *pchPrev = PrevFree(pchOld);
    char *pchNext = NextFree(pchOld);
    if (iClass < MH_CTEXACTCLASSES || ((pchPrev == nullptr || SizeOf(Header(pchPrev)) <= slNew) &&
                                       (pchNext == nullptr || SizeOf(Header(pchNext)) >= slNew))) {
      if (iClass >= MH_CTEXACTCLASSES) IndexUnlinked(pchOld, slOld, iClass);
      NextFree(pchNew) = pchNext;
      PrevFree(pchNew) = pchPrev;
      if (pchNext != nullptr) PrevFree(pchNext) = pchNew;
      if (pchPrev != nullptr) {
        NextFree(pchPrev) = pchNew;
      } else {
        mh_apchFree[iClass] = pchNew;
      }
      if (iClass >= MH_CTEXACTCLASSES) IndexLinked(pchNew, slNew, iClass);
      return;
    }
  }
  UnlinkFree(pchOld, slOld);
  LinkFree(pchNew, slNew);
}

// A listed free block of at least `slBlock` bytes, still in its list, or null.
MH_INLINE char *CMemoryHeap::FindFree(size_t slBlock)
{
  int iClass = SizeClassOf(slBlock);
  if (iClass >= MH_CTEXACTCLASSES) {
    char *pchPrev;
    char *pb = FirstAtLeast(iClass, slBlock, pchPrev);
    if (pb != nullptr) return pb;
    iClass++;
  }
  iClass = FindClass(iClass);
  return iClass < 0 ? nullptr : mh_apchFree[iClass];
}

// Makes the listed free block `pb` live with `slBlock` bytes; the rest, when more than 16 bytes,
// stays free in its place.
MH_INLINE void *CMemoryHeap::UseBlock(char *pb, size_t slBlock)
{
  Word h = Header(pb);
  size_t slFound = SizeOf(h);
  if (slFound - slBlock > _slMinBlock) {
    char *pchRest = pb + slBlock;
    size_t slRest = slFound - slBlock;
    Header(pchRest) = slRest | MH_PREVINUSE;
    PrevSize(pchRest + slRest) = slRest;
    ReplaceFree(pb, slFound, pchRest, slRest);
    slFound = slBlock;
  } else {
    UnlinkFree(pb, slFound);
    Header(pb + slFound) |= MH_PREVINUSE;
  }
  Header(pb) = slFound | MH_INUSE | (h & MH_PREVINUSE);
  return pb + 8;
}

MH_INLINE void CMemoryHeap::ReleaseBlock(char *pb, size_t slBlock, bool bPrevInUse)
{
  char *pchNext = pb + slBlock;
  Word hNext = Header(pchNext);
  // The listed neighbour whose node the merged block takes over, if any.
  char *pchListed = nullptr;
  size_t slListed = 0;
  if (!(hNext & MH_INUSE)) {
    pchListed = pchNext;
    slListed = SizeOf(hNext);
    slBlock += slListed;
    pchNext += slListed;
    hNext = Header(pchNext);
  }
  if (!bPrevInUse) {
    size_t slPrev = PrevSize(pb);
    // The merged header stays behind in the free space: clear it, so freeing it again is refused.
    Header(pb) = 0;
    pb -= slPrev;
    if (pchListed != nullptr) UnlinkFree(pchListed, slListed);
    pchListed = pb;
    slListed = slPrev;
    slBlock += slPrev;
  }
  Header(pb) = slBlock | MH_PREVINUSE;
  PrevSize(pchNext) = slBlock;
  Header(pchNext) = hNext & ~MH_PREVINUSE;
  if (pchListed != nullptr) {
    ReplaceFree(pchListed, slListed, pb, slBlock);
  } else {
    LinkFree(pb, slBlock);
  }
}

bool CMemoryHeap::Grow(size_t slBlock)
{
  if (mh_pmp == nullptr) return false;
  if (mh_pchCore == nullptr) {
    size_t slWanted = slBlock + _slSentinel;
    if (slWanted < _slGrowStep) slWanted = _slGrowStep;
    size_t slReal = 0;
    void *pv = nullptr;
    if (!mh_pmp->Allocate(slWanted, slReal, pv) || slReal < slBlock + _slSentinel) return false;
    mh_pchCore = (char *)pv;
    mh_slCore = slReal;
    mh_slChunks = (slReal - _slSentinel) & ~(mh_slGranularity - 1);
    char *pb = mh_pchCore;
    Header(pb) = mh_slChunks | MH_PREVINUSE;
    PrevSize(Sentinel()) = mh_slChunks;
    Header(Sentinel()) = MH_INUSE;
    LinkFree(pb, mh_slChunks);
    return true;
  }

  // A free last block grows into the new space, so only what it lacks is added.
  Word hSentinel = Header(Sentinel());
  size_t slLast = (hSentinel & MH_PREVINUSE) ? 0 : PrevSize(Sentinel());
  size_t slMissing = slBlock > slLast ? slBlock - slLast : mh_slGranularity;
  if (slMissing < _slGrowStep) slMissing = _slGrowStep;
  if (mh_slCore + slMissing < mh_slCore) return false;
  void *pv = mh_pchCore;
  size_t slReal = 0;
  if (!mh_pmp->Resize(pv, mh_slCore + slMissing, slReal) || pv != mh_pchCore) return false;
  size_t slChunks = (slReal - _slSentinel) & ~(mh_slGranularity - 1);
  if (slChunks <= mh_slChunks) return false;
  mh_slCore = slReal;
  char *pb = Sentinel();
  size_t slNew = slChunks - mh_slChunks;
  mh_slChunks = slChunks;
  Header(Sentinel()) = MH_INUSE;
  ReleaseBlock(pb, slNew, (hSentinel & MH_PREVINUSE) != 0);
  return true;
}

void *CMemoryHeap::Allocate(size_t slSize)
{
  size_t slBlock = BlockSizeFor(slSize, mh_slGranularity);
  if (slBlock == 0) return nullptr;
  char *pb;
  while ((pb = FindFree(slBlock)) == nullptr) {
    if (!Grow(slBlock)) return nullptr;
  }
  return UseBlock(pb, slBlock);
}

void CMemoryHeap::Free(void *p)
{
  if (p == nullptr) return;
  char *pb = (char *)p - 8;
  if (pb < mh_pchCore || pb >= Sentinel() || !(Header(pb) & MH_INUSE)) {
    corLogGuardBreach();
    return;
  }
  Word h = Header(pb);
  ReleaseBlock(pb, SizeOf(h), (h & MH_PREVINUSE) != 0);
}

size_t CMemoryHeap::GetBlockSize(const void *p) const
{
  if (p == nullptr) return 0;
  return SizeOf(Header((char *)p - 8));
}

long CMemoryHeap::CountFreeBlocks(int iClass) const
{
  if (iClass < 0 || iClass >= MH_CTCLASSES) return 0;
  long ct = 0;
  for (char *pb = mh_apchFree[iClass]; pb != nullptr; pb = NextFree(pb)) ct++;
  return ct;
}

void CMemoryHeap::DumpFreeLists(MemoryTraceFunction pTrace) const
{
  if (pTrace == nullptr) pTrace = conTraceF;
  for (int iClass = 0; iClass < MH_CTCLASSES; iClass++) {
    long ct = CountFreeBlocks(iClass);
    if (ct == 0) continue;
    pTrace("\n-> Free List %1(%2)", ARG_INT, iClass, ARG_INT, ct);
    if (iClass < MH_CTEXACTCLASSES) {
      pTrace(" (block size == %1)\n", ARG_UINT, (unsigned long)(16 + 8 * iClass));
    } else {
      int iLog = iClass - 53;
      unsigned long ulUpper = iLog >= 31 ? 0xFFFFFFFFUL : 2UL << iLog;
      pTrace(" ( %1 <= block size < %2)\n", ARG_UINT, 1UL << iLog, ARG_UINT, ulUpper);
    }
    pTrace("    Pos   Size\n");
    long iPos = 1;
    for (char *pb = mh_apchFree[iClass]; pb != nullptr; pb = NextFree(pb), iPos++) {
      pTrace("  %1. %2\n", ARG_INT, iPos, ARG_UINT, (unsigned long)SizeOf(Header(pb)));
    }
  }
}

// One line of the byte map at a time.
namespace {
struct DumpLine {
  MemoryTraceFunction dl_pTrace;
  char dl_ach[101];
  size_t dl_ct;

  void Put(char ch, size_t ct)
  {
    for (; ct > 0; ct--) {
      dl_ach[dl_ct++] = ch;
      if (dl_ct == 100) Flush();
    }
  }
  void Flush(void)
  {
    if (dl_ct == 0) return;
    dl_ach[dl_ct] = 0;
    dl_pTrace("%1\n", ARG_TEXT, dl_ach);
    dl_ct = 0;
  }
};
} // namespace

void CMemoryHeap::DumpMemory(MemoryTraceFunction pTrace) const
{
  if (pTrace == nullptr) pTrace = conTraceF;
  pTrace("\n-> Memory Heap (BEGIN memory dump, Ptr=%1, CoreSize=%2 B)\n", ARG_POINTER,
         (void *)mh_pchCore, ARG_UINT, (unsigned long)mh_slCore);
  pTrace("Legend: '#' occupied, '*' header, '0' free\n");
  DumpLine dl;
  dl.dl_pTrace = pTrace;
  dl.dl_ct = 0;
  if (mh_pchCore != nullptr) {
    for (char *pb = mh_pchCore; pb < Sentinel(); pb += SizeOf(Header(pb))) {
      dl.Put('*', 8);
      dl.Put((Header(pb) & MH_INUSE) ? '#' : '0', SizeOf(Header(pb)) - 8);
    }
    dl.Put('*', _slSentinel);
    // What the granularity leaves behind the sentinel is never used.
    dl.Put('0', mh_slCore - mh_slChunks - _slSentinel);
  }
  dl.Flush();
  pTrace("\n-> Memory Heap (END memory dump)\n\n");
}

// True when the stretch index of the ranged list `iClass` names the first block of every stretch
// and nothing else.
bool CMemoryHeap::StretchesAgree(int iClass) const
{
  char *apchFirst[MH_CTSTRETCHES] = {};
  unsigned long ulMap = 0;
  for (char *pb = mh_apchFree[iClass]; pb != nullptr; pb = NextFree(pb)) {
    int iStretch = StretchOf(SizeOf(Header(pb)), iClass);
    if (apchFirst[iStretch] == nullptr) apchFirst[iStretch] = pb;
    ulMap |= 1UL << iStretch;
  }
  const int iRanged = iClass - MH_CTEXACTCLASSES;
  if (mh_aulStretchMap[iRanged] != ulMap) return false;
  for (int i = 0; i < MH_CTSTRETCHES; i++) {
    if (mh_aapchStretch[iRanged][i] != apchFirst[i]) return false;
  }
  return true;
}

bool CMemoryHeap::Check(MemoryHeapWalk &mhw) const
{
  mhw = MemoryHeapWalk{};
  if (mh_pchCore == nullptr) {
    for (int i = 0; i < MH_CTCLASSES; i++) {
      if (mh_apchFree[i] != nullptr) return mhw.mhw_strError = "free block without a core", false;
    }
    return true;
  }
  if (mh_slChunks + _slSentinel > mh_slCore) return mhw.mhw_strError = "core sizes", false;
  bool bPrevInUse = true;
  char *pb = mh_pchCore;
  while (pb < Sentinel()) {
    Word h = Header(pb);
    size_t slBlock = SizeOf(h);
    if (((h & MH_PREVINUSE) != 0) != bPrevInUse)
      return mhw.mhw_strError = "previous-live flag", false;
    if (slBlock < _slMinBlock || (slBlock & (mh_slGranularity - 1)) != 0) {
      return mhw.mhw_strError = "block size", false;
    }
    if (pb + slBlock > Sentinel()) return mhw.mhw_strError = "block runs past the core", false;
    if (h & MH_INUSE) {
      mhw.mhw_ctUsedBlocks++;
      mhw.mhw_slUsed += slBlock;
    } else {
      if (!bPrevInUse) return mhw.mhw_strError = "two free blocks side by side", false;
      if (PrevSize(pb + slBlock) != slBlock) return mhw.mhw_strError = "footer", false;
      mhw.mhw_ctFreeBlocks++;
      mhw.mhw_slFree += slBlock;
    }
    bPrevInUse = (h & MH_INUSE) != 0;
    pb += slBlock;
  }
  if (pb != Sentinel()) return mhw.mhw_strError = "block runs past the core", false;
  Word hSentinel = Header(Sentinel());
  if (SizeOf(hSentinel) != 0 || !(hSentinel & MH_INUSE) ||
      ((hSentinel & MH_PREVINUSE) != 0) != bPrevInUse) {
    return mhw.mhw_strError = "sentinel", false;
  }

  long ctListed = 0;
  for (int iClass = 0; iClass < MH_CTCLASSES; iClass++) {
    bool bMapped = (mh_aulClassMap[iClass >> 5] >> (iClass & 31)) & 1;
    if (bMapped != (mh_apchFree[iClass] != nullptr)) return mhw.mhw_strError = "class map", false;
    char *pchPrev = nullptr;
    for (char *pchFree = mh_apchFree[iClass]; pchFree != nullptr; pchFree = NextFree(pchFree)) {
      if (++ctListed > mhw.mhw_ctFreeBlocks) return mhw.mhw_strError = "free list too long", false;
      if (pchFree < mh_pchCore || pchFree >= Sentinel() || (Header(pchFree) & MH_INUSE)) {
        return mhw.mhw_strError = "live block in a free list", false;
      }
      size_t slBlock = SizeOf(Header(pchFree));
      if (SizeClassOf(slBlock) != iClass)
        return mhw.mhw_strError = "block in the wrong list", false;
      if (PrevFree(pchFree) != pchPrev) return mhw.mhw_strError = "free list links", false;
      if (pchPrev != nullptr && iClass >= MH_CTEXACTCLASSES && SizeOf(Header(pchPrev)) > slBlock) {
        return mhw.mhw_strError = "ranged list out of order", false;
      }
      pchPrev = pchFree;
    }
    if (iClass >= MH_CTEXACTCLASSES && !StretchesAgree(iClass)) {
      return mhw.mhw_strError = "stretch index", false;
    }
  }
  if (ctListed != mhw.mhw_ctFreeBlocks) return mhw.mhw_strError = "free block not listed", false;
  return true;
}

CMemoryHeap *memCreateCPUMemoryHeap(CMemoryPool *pmp)
{
  if (pmp == nullptr) {
    corLogGuardBreach();
    return nullptr;
  }
  return new (memMAlloc(sizeof(CMemoryHeap))) CMemoryHeap(pmp);
}

void memDestroyMemoryHeap(CMemoryHeap *pmh)
{
  if (pmh == nullptr) return;
  pmh->~CMemoryHeap();
  memFree(pmh);
}

} // namespace QuennelEngine
