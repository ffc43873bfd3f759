#include "core/memory/Memory.h"

#include "core/frame/CodeGuard.h"
#include "core/frame/Console.h"
#include "core/frame/ErrorHooks.h"
#include "core/memory/GeneralHeap.h"
#include "core/memory/MemoryPrivate.h"
#include "core/platform/SysMemory.h"
#include "core/platform/SysThreads.h"
#include "core/threads/SyncMutex.h"

#include <malloc.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

namespace QuennelEngine {

using MemoryPrivate::LookUpTypeStats;

// The mutex and the two heaps are constant-initialised, so they work before any static
// constructor has run, and never destroyed, so blocks can still be freed while the library
// unloads.
namespace {
union MutexHolder {
  CSyncMutex mh_sm;
  constexpr MutexHolder() : mh_sm() {}
  ~MutexHolder() {}
};
union HeapHolder {
  CGeneralHeap hh_gh;
  constexpr HeapHolder() : hh_gh(true) {} // with quick lists: small blocks turn over fast
  ~HeapHolder() {}
};
} // namespace

static MutexHolder _mem_mhMutex;
static HeapHolder _mem_hhGeneral;
static HeapHolder _mem_hhStrings;

static const char *const _strNotEnough = "Not enough memory (%1 bytes needed)!";
static const char *const _strNotEnoughRealloc =
    "DOZUMemory.NotEnough01=Not enough memory (%1 bytes needed)!";

// The word before an array: its element count with bit 31 set.
static const unsigned long _ulArrayHeader = 0x80000000UL;
// An array header whose statistics memPreDeleteArrayRC_internal has already taken back.
static const unsigned long _ulArrayAccounted = 0xFFFFFFFFUL;

// All guarded by the memory mutex.
static long _mem_slTotal = 0;
static long _mem_slExternal = 0;
static long _mem_slExternalExcess = 0;
// Read without the mutex on the free paths: it is a word, set while Core loads.
static DismissPointerHook volatile _mem_pDismissPointer = nullptr;
static bool _mem_bReportingOutOfMemory = false;
// Released before an out-of-memory report, so reporting (which formats and allocates) has room.
static const size_t _slReserve = 32 * 1024;
static void *_mem_pvReserveGeneral = nullptr;
static void *_mem_pvReserveStrings = nullptr;

static thread_local long _mem_bUseOSMemManager = 0;
// Whether any thread has been handed its switch: until then no allocation asks for the
// thread's word (a lookup through the runtime's thread storage on every allocation).
static volatile bool _mem_bOSSwitchHanded = false;

static inline bool UsesOSMemManager(void)
{
  return _mem_bOSSwitchHanded && _mem_bUseOSMemManager;
}
static thread_local long _mem_bUseIntrinsicNewDelete = 0;

static inline CSyncMutex *Mutex(void)
{
  return &_mem_mhMutex.mh_sm;
}

// Holds the memory mutex for a scope. The mutex keeps level -1, so CSyncLock's level bookkeeping
// never applies to it; calling the mutex directly saves that work on every allocation.
namespace {
struct MemoryLock {
  MemoryLock() { _mem_mhMutex.mh_sm.Lock(); }
  ~MemoryLock() { _mem_mhMutex.mh_sm.Unlock(); }
  MemoryLock(const MemoryLock &) = delete;
  MemoryLock &operator=(const MemoryLock &) = delete;
};
} // namespace

static inline CGeneralHeap &General(void)
{
  return _mem_hhGeneral.hh_gh;
}

static inline CGeneralHeap &Strings(void)
{
  return _mem_hhStrings.hh_gh;
}

CSyncMutex *_memGetSyncMutex(void)
{
  return Mutex();
}

CGeneralHeap *memGetGeneralHeap(void)
{
  return &General();
}

CGeneralHeap *memGetStringHeap(void)
{
  return &Strings();
}

static void TakeReserve(void)
{
  MemoryLock ml;
  if (_mem_pvReserveGeneral == nullptr) _mem_pvReserveGeneral = General().Alloc(_slReserve);
  if (_mem_pvReserveStrings == nullptr) _mem_pvReserveStrings = Strings().Alloc(_slReserve);
}

namespace {
struct ReserveAtLoad {
  ReserveAtLoad() { TakeReserve(); }
};
} // namespace
static ReserveAtLoad _mem_ralReserve;

// The end of every failed allocation: the callback, then the fatal error. Reporting itself needs
// memory, so the reserve goes first; failing again while reporting ends the process at once.
[[noreturn]] static QE_NOINLINE void OutOfMemory(size_t size, const char *strMessage)
{
  MemoryLock ml;
  if (_mem_bReportingOutOfMemory) {
    sysWriteStandardError("Not enough memory while reporting a lack of memory; ending at once.\n");
    sysEndProcessNow(3);
  }
  _mem_bReportingOutOfMemory = true;
  if (_mem_pvReserveGeneral != nullptr) General().Free(_mem_pvReserveGeneral);
  if (_mem_pvReserveStrings != nullptr) Strings().Free(_mem_pvReserveStrings);
  _mem_pvReserveGeneral = _mem_pvReserveStrings = nullptr;
  InsufficientMemoryCallback pCallback = GetErrorInsufficientMemoryCallback();
  if (pCallback != nullptr) pCallback(size > 0x7FFFFFFFUL ? 0x7FFFFFFFL : (long)size);
  conFatalErrorF(strMessage, ARG_UINT, (unsigned long)size);
}

// ---- Core paths, called with the mutex held ----

static inline void *AllocLocked(size_t size)
{
  void *p = General().Alloc(size);
  if (QE_UNLIKELY(p == nullptr)) OutOfMemory(size, _strNotEnough);
  _mem_slTotal += CGeneralHeap::UsableSize(p);
  return p;
}

static void *CrtAlloc(size_t size)
{
  void *p = malloc(size != 0 ? size : 1);
  if (p == nullptr) OutOfMemory(size, _strNotEnough);
  return p;
}

// A block that is not the general heap's: the string heap's, or the runtime library's.
static void FreeForeign(void *p)
{
  if (Strings().Owns(p)) {
    if (!Strings().Free(p)) corLogGuardBreach();
    return;
  }
  free(p);
}

// The handle table's lock comes before the memory mutex, so a marked block is dismissed before
// the free paths take the mutex. Its header is read without the mutex: no other thread may use
// a block that is being freed, and the heap changes only the previous-live flag of a live block
// that it is not asked to free (a block in a quick list is never marked).
static inline bool IsMarkedLive(const void *p)
{
  const unsigned long ulBoth = CGeneralHeap::GH_INUSE | CGeneralHeap::GH_MARK;
  return General().Owns(p) && (CGeneralHeap::HeaderOf(p) & ulBoth) == ulBoth;
}

static inline void DismissBeforeFree(void *p)
{
  if (QE_UNLIKELY(IsMarkedLive(p))) {
    DismissPointerHook pHook = _mem_pDismissPointer;
    if (pHook != nullptr) pHook(p);
  }
}

// A reallocation to another size moves or reshapes the block: its handles go as for a free.
static inline void DismissBeforeReAlloc(void *p, size_t size)
{
  if (p != nullptr && QE_UNLIKELY(IsMarkedLive(p)) && CGeneralHeap::UsableSize(p) != size) {
    DismissPointerHook pHook = _mem_pDismissPointer;
    if (pHook != nullptr) pHook(p);
  }
}

// Returns the usable bytes that went back to the general heap (0 for other blocks and refusals),
// for the per-type statistics. The caller has dismissed a marked block already.
static inline long FreeLocked(void *p)
{
  CGeneralHeap &gh = General();
  if (QE_UNLIKELY(!gh.Owns(p))) {
    FreeForeign(p);
    return 0;
  }
  unsigned long h = CGeneralHeap::HeaderOf(p);
  if (QE_UNLIKELY(!(h & CGeneralHeap::GH_INUSE))) {
    // Freed twice, or not a block at all.
    corLogGuardBreach();
    return 0;
  }
  size_t slUsable = CGeneralHeap::UsableSize(p);
  if (QE_UNLIKELY(!gh.Free(p))) {
    corLogGuardBreach();
    return 0;
  }
  _mem_slTotal -= slUsable;
  return (long)slUsable;
}

static void *ReAllocForeign(void *p, size_t size)
{
  if (Strings().Owns(p)) {
    if (!Strings().IsLiveBlock(p)) {
      corLogGuardBreach();
      return AllocLocked(size);
    }
    void *pNew = Strings().ReAlloc(p, size);
    if (pNew == nullptr) OutOfMemory(size, _strNotEnoughRealloc);
    return pNew;
  }
  void *pNew = realloc(p, size != 0 ? size : 1);
  if (pNew == nullptr) OutOfMemory(size, _strNotEnoughRealloc);
  return pNew;
}

// The caller has dismissed a marked block already.
static void *ReAllocLocked(void *p, size_t size)
{
  if (p == nullptr) return AllocLocked(size);
  CGeneralHeap &gh = General();
  if (!gh.Owns(p)) return ReAllocForeign(p, size);
  if (!gh.IsLiveBlock(p)) {
    corLogGuardBreach();
    return AllocLocked(size);
  }
  size_t slOld = CGeneralHeap::UsableSize(p);
  if (slOld == size) return p;
  _mem_slTotal -= slOld;
  void *pNew = gh.ReAlloc(p, size);
  if (pNew == nullptr) OutOfMemory(size, _strNotEnoughRealloc);
  _mem_slTotal += CGeneralHeap::UsableSize(pNew);
  return pNew;
}

// Usable size of one of the general heap's live blocks, or 0 for anything else.
static inline long BookableSize(void *p)
{
  return General().IsLiveBlock(p) ? (long)CGeneralHeap::UsableSize(p) : 0;
}

// ---- Core entry points ----

void *memMAlloc(size_t size)
{
  MemoryLock ml;
  return AllocLocked(size);
}

void memFree(void *p)
{
  if (p == nullptr) return;
  DismissBeforeFree(p);
  MemoryLock ml;
  FreeLocked(p);
}

void *memReAlloc(void *p, size_t size)
{
  DismissBeforeReAlloc(p, size);
  MemoryLock ml;
  return ReAllocLocked(p, size);
}

size_t memSize(const void *p)
{
  if (p == nullptr) return 0;
  if (CGeneralHeap::FindOwner(p) != nullptr) return CGeneralHeap::UsableSize(p);
  return _msize(const_cast<void *>(p));
}

size_t memGetRealSize(const void *p)
{
  return p != nullptr ? memSize(p) + 4 : 0;
}

void *memMAlloc(size_t size, const CDataType *pdt)
{
  MemoryLock ml;
  MemoryTypeStats *pmts = LookUpTypeStats(pdt);
  void *p = AllocLocked(size);
  pmts->mts_ctOperations++;
  pmts->mts_slBytes += (long)CGeneralHeap::UsableSize(p);
  return p;
}

void memFree(void *p, const CDataType *pdt)
{
  if (p == nullptr) return;
  DismissBeforeFree(p);
  MemoryLock ml;
  MemoryTypeStats *pmts = LookUpTypeStats(pdt);
  long slFreed = FreeLocked(p);
  pmts->mts_ctOperations++;
  pmts->mts_slBytes -= slFreed;
}

void *memReAlloc(void *p, size_t size, const CDataType *pdt)
{
  DismissBeforeReAlloc(p, size);
  MemoryLock ml;
  MemoryTypeStats *pmts = LookUpTypeStats(pdt);
  long slOld = p != nullptr ? BookableSize(p) : 0;
  void *pNew = ReAllocLocked(p, size);
  pmts->mts_ctOperations++;
  pmts->mts_slBytes += BookableSize(pNew) - slOld;
  return pNew;
}

// ---- Runs of singles taken ahead ----

// The run of one thread (0: none). Only its owner reads the rest, and it changes them under the
// mutex, so other threads look at the owner alone, without the mutex: it is never their own.
static volatile unsigned long _mem_ulRunThread = 0;
static size_t _mem_slRunSize = 0;
static const CDataType *_mem_pdtRun = nullptr;
static long _mem_ctRun = 0;
static const long _ctRunMax = 256;
static void *_mem_apvRun[_ctRunMax];

static long ReleaseRunLocked(void)
{
  const long ctLeft = _mem_ctRun;
  if (_mem_ctRun > 0) {
    MemoryTypeStats *pmts = LookUpTypeStats(_mem_pdtRun);
    for (long i = 0; i < _mem_ctRun; i++) {
      void *p = _mem_apvRun[i];
      const long slBytes = (long)CGeneralHeap::UsableSize(p);
      pmts->mts_ctSingles--;
      pmts->mts_ctOperations--;
      pmts->mts_slBytes -= slBytes;
      _mem_slTotal -= slBytes;
      General().Free(p);
    }
  }
  _mem_ctRun = 0;
  _mem_ulRunThread = 0;
  return ctLeft;
}

long memReserveSingles(size_t size, const CDataType *pdt, long ct)
{
  if (UsesOSMemManager() || ct <= 0) return 0;
  const unsigned long ulThread = sysGetCurrentThreadIDInline();
  MemoryLock ml;
  if (_mem_ulRunThread != 0 && _mem_ulRunThread != ulThread) return 0;
  ReleaseRunLocked();
  if (ct > _ctRunMax) ct = _ctRunMax;
  MemoryTypeStats *pmts = LookUpTypeStats(pdt);
  long ctTaken = 0;
  // Handed out from the end: the first allocated goes first, so the objects lie in file order.
  for (; ctTaken < ct; ctTaken++) {
    void *p = General().Alloc(size);
    if (p == nullptr) break; // (the caller's own allocations report the lack)
    const long slBytes = (long)CGeneralHeap::UsableSize(p);
    pmts->mts_ctSingles++;
    pmts->mts_ctOperations++;
    pmts->mts_slBytes += slBytes;
    _mem_slTotal += slBytes;
    _mem_apvRun[ct - 1 - ctTaken] = p;
  }
  if (ctTaken < ct) memmove(_mem_apvRun, _mem_apvRun + (ct - ctTaken), ctTaken * sizeof(void *));
  if (ctTaken == 0) return 0;
  _mem_slRunSize = size;
  _mem_pdtRun = pdt;
  _mem_ctRun = ctTaken;
  _mem_ulRunThread = ulThread;
  return ctTaken;
}

long memReleaseSingles(void)
{
  if (_mem_ulRunThread != sysGetCurrentThreadIDInline()) return 0;
  MemoryLock ml;
  return ReleaseRunLocked();
}

void *memMAllocSingle(size_t size, const CDataType *pdt)
{
  if (_mem_ulRunThread == sysGetCurrentThreadIDInline() && size == _mem_slRunSize &&
      pdt == _mem_pdtRun && _mem_ctRun > 0) {
    return _mem_apvRun[--_mem_ctRun];
  }
  MemoryLock ml;
  MemoryTypeStats *pmts = LookUpTypeStats(pdt);
  pmts->mts_ctSingles++;
  pmts->mts_ctOperations++;
  void *p = AllocLocked(size);
  pmts->mts_slBytes += (long)CGeneralHeap::UsableSize(p);
  return p;
}

void *memMAllocArray(size_t size, long ctCount, const CDataType *pdt)
{
  MemoryLock ml;
  MemoryTypeStats *pmts = LookUpTypeStats(pdt);
  pmts->mts_ctSingles += ctCount;
  pmts->mts_ctArrays++;
  pmts->mts_ctOperations++;
  void *p = AllocLocked(size);
  pmts->mts_slBytes += (long)CGeneralHeap::UsableSize(p);
  return p;
}

void memFreeSingle(void *p, const CDataType *pdt)
{
  if (p == nullptr) return;
  DismissBeforeFree(p);
  MemoryLock ml;
  MemoryTypeStats *pmts = LookUpTypeStats(pdt);
  long slFreed = FreeLocked(p);
  pmts->mts_ctSingles--;
  pmts->mts_ctOperations++;
  pmts->mts_slBytes -= slFreed;
}

void memFreeArray(void *p, const CDataType *pdt, long ctCount)
{
  if (p == nullptr) return;
  DismissBeforeFree(p);
  MemoryLock ml;
  MemoryTypeStats *pmts = LookUpTypeStats(pdt);
  long slFreed = FreeLocked(p);
  pmts->mts_ctSingles -= ctCount;
  pmts->mts_ctArrays--;
  pmts->mts_ctOperations++;
  pmts->mts_slBytes -= slFreed;
}

void memCountExternalAlloc(long slSize, long slGranularity)
{
  unsigned long long ullSize = slSize < 0 ? 0ULL - (long long)slSize : (unsigned long long)slSize;
  unsigned long long ullRounded = ullSize;
  if (slGranularity > 0) {
    ullRounded = (ullSize + slGranularity - 1) / slGranularity * slGranularity;
  }
  long slRounded = (long)ullRounded;
  long slExcess = (long)(ullRounded - ullSize);
  MemoryLock ml;
  if (slSize < 0) {
    _mem_slExternal -= slRounded;
    _mem_slExternalExcess -= slExcess;
  } else {
    _mem_slExternal += slRounded;
    _mem_slExternalExcess += slExcess;
  }
}

void *AllocMemoryAligned(size_t size, size_t alignment)
{
  if (alignment == 0 || (alignment & (alignment - 1)) != 0) {
    corLogGuardBreach();
    return nullptr;
  }
  // Room for the start word below the result needs at least word alignment.
  size_t slAlign = alignment < sizeof(void *) ? sizeof(void *) : alignment;
  unsigned long long ullTotal = (unsigned long long)size + 2ULL * slAlign;
  if (ullTotal > 0xFFFFFFFFULL) OutOfMemory(size, _strNotEnough);
  char *pchStart = (char *)memMAlloc((size_t)ullTotal);
  uintptr_t ulAligned =
      ((uintptr_t)pchStart + sizeof(void *) + slAlign - 1) & ~(uintptr_t)(slAlign - 1);
  ((void **)ulAligned)[-1] = pchStart;
  return (void *)ulAligned;
}

void FreeMemoryAligned(void *p)
{
  if (p == nullptr) return;
  memFree(((void **)p)[-1]);
}

// ---- The handle mark ----

void *memMarkContainingBlock(const void *pv)
{
  MemoryLock ml;
  void *p = General().FindLiveBlock(pv);
  if (p != nullptr) CGeneralHeap::HeaderOf(p) |= CGeneralHeap::GH_MARK;
  return p;
}

void memSetHandleMark(void *p)
{
  MemoryLock ml;
  if (!General().IsLiveBlock(p)) {
    corLogGuardBreach();
    return;
  }
  CGeneralHeap::HeaderOf(p) |= CGeneralHeap::GH_MARK;
}

bool memHasHandleMark(const void *p)
{
  return p != nullptr && CGeneralHeap::FindOwner(p) == &General() &&
         (CGeneralHeap::HeaderOf(p) & CGeneralHeap::GH_MARK) != 0;
}

void memClearHandleMark(void *p)
{
  MemoryLock ml;
  if (!General().IsLiveBlock(p)) {
    corLogGuardBreach();
    return;
  }
  CGeneralHeap::HeaderOf(p) &= ~(unsigned long)CGeneralHeap::GH_MARK;
}

DismissPointerHook memSetDismissPointerHook(DismissPointerHook pHook)
{
  MemoryLock ml;
  DismissPointerHook pOld = _mem_pDismissPointer;
  _mem_pDismissPointer = pHook;
  return pOld;
}

// ---- Operator entry points ----

void *memNew_internal(size_t size)
{
  if (UsesOSMemManager()) return CrtAlloc(size);
  return memMAlloc(size);
}

void *memNewRC_internal(size_t size, const CDataType *pdt)
{
  if (UsesOSMemManager()) return CrtAlloc(size);
  return memMAllocSingle(size, pdt);
}

static void *NewArray(size_t size, long ctCount, const CDataType *pdt, unsigned long ulHeader)
{
  if (size > 0xFFFFFFFFUL - 4) OutOfMemory(size, _strNotEnough);
  unsigned long *pul = (unsigned long *)memMAllocArray(size + 4, ctCount, pdt);
  pul[0] = ulHeader;
  return pul + 1;
}

void *memNewArray_internal(size_t size)
{
  if (UsesOSMemManager()) return CrtAlloc(size);
  return NewArray(size, 0, nullptr, _ulArrayHeader);
}

void *memNewArrayRC_internal(size_t size, long ctCount, const CDataType *pdt)
{
  if (UsesOSMemManager()) return CrtAlloc(size);
  if (ctCount < 0) {
    corLogGuardBreach();
    ctCount = 0;
  }
  return NewArray(size, ctCount, pdt, (unsigned long)ctCount | _ulArrayHeader);
}

void memDelete_internal(void *p)
{
  memFree(p);
}

void memDeleteArray_internal(void *p)
{
  if (p == nullptr) return;
  if (!General().Owns(p)) {
    MemoryLock ml;
    FreeForeign(p);
    return;
  }
  unsigned long ulBefore = ((unsigned long *)p)[-1];
  if (!(ulBefore & _ulArrayHeader)) {
    // A plain block: its own header is never negative.
    DismissBeforeFree(p);
    MemoryLock ml;
    FreeLocked(p);
    return;
  }
  void *pBlock = (unsigned long *)p - 1;
  DismissBeforeFree(pBlock);
  MemoryLock ml;
  if (ulBefore == _ulArrayHeader && General().IsLiveBlock(pBlock)) {
    // An array of memNewArray_internal, booked on Unknown; nothing else takes it back.
    MemoryTypeStats *pmts = LookUpTypeStats(nullptr);
    pmts->mts_ctArrays--;
    pmts->mts_ctOperations++;
    pmts->mts_slBytes -= (long)CGeneralHeap::UsableSize(pBlock);
  }
  FreeLocked(pBlock);
}

void memPreDeleteRC_internal(void *p, const CDataType *pdt)
{
  if (p == nullptr) return;
  MemoryLock ml;
  if (!General().IsLiveBlock(p)) return;
  MemoryTypeStats *pmts = LookUpTypeStats(pdt);
  pmts->mts_ctSingles--;
  pmts->mts_ctOperations++;
  pmts->mts_slBytes -= (long)CGeneralHeap::UsableSize(p);
}

void memPreDeleteArrayRC_internal(void *p, const CDataType *pdt)
{
  if (p == nullptr) return;
  MemoryLock ml;
  if (!General().Owns(p)) return;
  // `p` follows the header, or the compiler's element count that follows the header.
  unsigned long *pulHeader = (unsigned long *)p - 1;
  if (!(*pulHeader & _ulArrayHeader)) pulHeader--;
  if (!(*pulHeader & _ulArrayHeader) || !General().IsLiveBlock(pulHeader)) {
    corLogGuardBreach();
    return;
  }
  if (*pulHeader == _ulArrayAccounted) return;
  MemoryTypeStats *pmts = LookUpTypeStats(pdt);
  pmts->mts_ctSingles -= (long)(*pulHeader & ~_ulArrayHeader);
  pmts->mts_ctArrays--;
  pmts->mts_ctOperations++;
  pmts->mts_slBytes -= (long)CGeneralHeap::UsableSize(pulHeader);
  *pulHeader = _ulArrayAccounted;
}

void memPostDeleteRC_internal(const CDataType *)
{
}

void memPostDeleteArrayRC_internal(const CDataType *)
{
}

// ---- Per-thread switches ----

long &memGetUseOSMemManagerState(void)
{
  _mem_bOSSwitchHanded = true;
  return _mem_bUseOSMemManager;
}

long &memGetUseIntrinsicNewDelete(void)
{
  return _mem_bUseIntrinsicNewDelete;
}

// ---- Information ----

unsigned long long memGetFreeMemory(void)
{
  unsigned long long ullTotal, ullAvailable;
  sysGetPhysicalMemory(ullTotal, ullAvailable);
  return ullAvailable;
}

unsigned long long memGetTotalMemory(void)
{
  unsigned long long ullTotal, ullAvailable;
  sysGetPhysicalMemory(ullTotal, ullAvailable);
  return ullTotal;
}

MemSizeInfo memGetMemSizeInfo(void)
{
  MemoryLock ml;
  MemSizeInfo msi;
  msi.msi_mhsGeneral = General().GetStats();
  msi.msi_mhsStrings = Strings().GetStats();
  msi.msi_slTotal = _mem_slTotal;
  msi.msi_slExternal = _mem_slExternal;
  msi.msi_slExternalExcess = _mem_slExternalExcess;
  return msi;
}

MemConsumptionInfo memConsumptionInfo(void)
{
  return MemConsumptionInfo{0, 0, 0, 0};
}

int memCheckMemory(void)
{
  return 1;
}

// ---- The string heap ----

char *memStringAlloc(size_t size)
{
  MemoryLock ml;
  void *p = Strings().Alloc(size);
  if (QE_UNLIKELY(p == nullptr)) OutOfMemory(size, _strNotEnough);
  return (char *)p;
}

char *memStringReAlloc(char *p, size_t size)
{
  if (p == nullptr) return memStringAlloc(size);
  if (!Strings().Owns(p)) return (char *)memReAlloc(p, size);
  MemoryLock ml;
  if (!Strings().IsLiveBlock(p)) {
    corLogGuardBreach();
    return memStringAlloc(size);
  }
  void *pNew = Strings().ReAlloc(p, size);
  if (QE_UNLIKELY(pNew == nullptr)) OutOfMemory(size, _strNotEnoughRealloc);
  return (char *)pNew;
}

void memStringFree(char *p)
{
  if (p == nullptr) return;
  if (!Strings().Owns(p)) {
    memFree(p);
    return;
  }
  MemoryLock ml;
  if (!Strings().Free(p)) corLogGuardBreach();
}

} // namespace QuennelEngine
