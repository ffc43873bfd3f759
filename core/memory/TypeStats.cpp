#include "core/memory/TypeStats.h"

#include "core/memory/Memory.h"
#include "core/memory/MemoryPrivate.h"
#include "core/threads/SyncLock.h"

namespace QuennelEngine {

namespace MemoryPrivate {
MemoryTypeStatsProvider mem_pProvider = nullptr;
// Set while a pending counter may be non-zero, so the common update skips the flush.
bool mem_bPending = false;
TypeStatsCacheEntry mem_atscTypes[MEM_CTTYPECACHE] = {};
} // namespace MemoryPrivate

using MemoryPrivate::mem_bPending;
using MemoryPrivate::mem_pProvider;

static MemoryTypeStats _mem_mtsPending = {0, 0, 0, 0};

void memSetTypeStatsProvider(MemoryTypeStatsProvider pProvider)
{
  CSyncLock sl(_memGetSyncMutex());
  mem_pProvider = pProvider;
  for (MemoryPrivate::TypeStatsCacheEntry &tsc : MemoryPrivate::mem_atscTypes) {
    tsc = MemoryPrivate::TypeStatsCacheEntry{nullptr, nullptr};
  }
}

MemoryTypeStatsProvider memGetTypeStatsProvider(void)
{
  CSyncLock sl(_memGetSyncMutex());
  return mem_pProvider;
}

void memForgetTypeStats(const CDataType *pdt)
{
  if (pdt == nullptr) return;
  CSyncLock sl(_memGetSyncMutex());
  MemoryPrivate::TypeStatsCacheEntry &tsc = MemoryPrivate::TypeCacheEntryOf(pdt);
  if (tsc.tsc_pdt == pdt) tsc = MemoryPrivate::TypeStatsCacheEntry{nullptr, nullptr};
}

MemoryTypeStats memGetPendingTypeStats(void)
{
  CSyncLock sl(_memGetSyncMutex());
  return _mem_mtsPending;
}

namespace MemoryPrivate {

MemoryTypeStats *LookUpTypeStatsSlow(const CDataType *pdt)
{
  MemoryTypeStatsProvider pProvider = mem_pProvider;
  if (pProvider == nullptr) {
    if (pdt != nullptr) return nullptr;
    mem_bPending = true;
    return &_mem_mtsPending;
  }
  if (mem_bPending) {
    MemoryTypeStats *pmtsUnknown = pProvider(nullptr);
    if (pmtsUnknown != nullptr) {
      pmtsUnknown->mts_ctSingles += _mem_mtsPending.mts_ctSingles;
      pmtsUnknown->mts_ctArrays += _mem_mtsPending.mts_ctArrays;
      pmtsUnknown->mts_ctOperations += _mem_mtsPending.mts_ctOperations;
      pmtsUnknown->mts_slBytes += _mem_mtsPending.mts_slBytes;
      _mem_mtsPending = MemoryTypeStats{0, 0, 0, 0};
      mem_bPending = false;
      if (pdt == nullptr) return pmtsUnknown;
    }
  }
  MemoryTypeStats *pmts = pProvider(pdt);
  if (pmts == nullptr && pdt == nullptr) {
    mem_bPending = true;
    return &_mem_mtsPending;
  }
  // A record that does not exist yet may exist on the next update: only records are kept.
  if (pmts != nullptr && pdt != nullptr) TypeCacheEntryOf(pdt) = TypeStatsCacheEntry{pdt, pmts};
  return pmts;
}

} // namespace MemoryPrivate
} // namespace QuennelEngine
