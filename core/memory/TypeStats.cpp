#include "core/memory/TypeStats.h"

#include "core/memory/Memory.h"
#include "core/memory/MemoryPrivate.h"
#include "core/threads/SyncLock.h"

namespace QuennelEngine {

namespace MemoryPrivate {
TypeStatsCacheEntry mem_atscTypes[MEM_CTTYPECACHE] = {};
} // namespace MemoryPrivate

using MemoryPrivate::mem_atscTypes;
using MemoryPrivate::TypeCacheEntryOf;
using MemoryPrivate::TypeStatsCacheEntry;

// All guarded by the memory mutex.
static MemoryTypeStatsProvider _mem_pProvider = nullptr;
static MemoryTypeStats _mem_mtsPending = {0, 0, 0, 0};
// Set while a pending counter may be non-zero, so the common update skips the flush.
static bool _mem_bPending = false;
// Where the updates go that have no record.
static MemoryTypeStats _mem_mtsDiscarded = {0, 0, 0, 0};

static void ForgetAllTypes(void)
{
  for (TypeStatsCacheEntry &tsc : mem_atscTypes) tsc = TypeStatsCacheEntry{0, nullptr};
}

void memSetTypeStatsProvider(MemoryTypeStatsProvider pProvider)
{
  CSyncLock sl(_memGetSyncMutex());
  _mem_pProvider = pProvider;
  ForgetAllTypes();
}

MemoryTypeStatsProvider memGetTypeStatsProvider(void)
{
  CSyncLock sl(_memGetSyncMutex());
  return _mem_pProvider;
}

void memForgetTypeStats(const CDataType *pdt)
{
  if (pdt == nullptr) return;
  CSyncLock sl(_memGetSyncMutex());
  TypeStatsCacheEntry &tsc = TypeCacheEntryOf(pdt);
  if (tsc.tsc_ulNotType == ~(uintptr_t)pdt) tsc = TypeStatsCacheEntry{0, nullptr};
}

MemoryTypeStats memGetPendingTypeStats(void)
{
  CSyncLock sl(_memGetSyncMutex());
  return _mem_mtsPending;
}

// Counters gather in the pending record from now on: the cache stays empty while they do, so
// every update comes here and moves them once Unknown exists.
static MemoryTypeStats *Pending(void)
{
  if (!_mem_bPending) ForgetAllTypes();
  _mem_bPending = true;
  return &_mem_mtsPending;
}

namespace MemoryPrivate {

MemoryTypeStats *LookUpTypeStatsSlow(const CDataType *pdt)
{
  MemoryTypeStatsProvider pProvider = _mem_pProvider;
  if (pProvider == nullptr) return pdt == nullptr ? Pending() : &_mem_mtsDiscarded;
  if (_mem_bPending) {
    MemoryTypeStats *pmtsUnknown = pProvider(nullptr);
    if (pmtsUnknown != nullptr) {
      pmtsUnknown->mts_ctSingles += _mem_mtsPending.mts_ctSingles;
      pmtsUnknown->mts_ctArrays += _mem_mtsPending.mts_ctArrays;
      pmtsUnknown->mts_ctOperations += _mem_mtsPending.mts_ctOperations;
      pmtsUnknown->mts_slBytes += _mem_mtsPending.mts_slBytes;
      _mem_mtsPending = MemoryTypeStats{0, 0, 0, 0};
      _mem_bPending = false;
      if (pdt == nullptr) return pmtsUnknown;
    }
  }
  MemoryTypeStats *pmts = pProvider(pdt);
  if (pmts == nullptr) return pdt == nullptr ? Pending() : &_mem_mtsDiscarded;
  // A record that does not exist yet may exist on the next update: only records are kept, and
  // none while counters are pending.
  if (pdt != nullptr && !_mem_bPending) {
    TypeCacheEntryOf(pdt) = TypeStatsCacheEntry{~(uintptr_t)pdt, pmts};
  }
  return pmts;
}

} // namespace MemoryPrivate
} // namespace QuennelEngine
