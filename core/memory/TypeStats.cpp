#include "core/memory/TypeStats.h"

#include "core/memory/Memory.h"
#include "core/memory/MemoryPrivate.h"
#include "core/threads/SyncLock.h"

namespace QuennelEngine {

static MemoryTypeStatsProvider _mem_pProvider = nullptr;
static MemoryTypeStats _mem_mtsPending = {0, 0, 0, 0};
// Set while a pending counter may be non-zero, so the common update skips the flush.
static bool _mem_bPending = false;

void memSetTypeStatsProvider(MemoryTypeStatsProvider pProvider)
{
  CSyncLock sl(_memGetSyncMutex());
  _mem_pProvider = pProvider;
}

MemoryTypeStatsProvider memGetTypeStatsProvider(void)
{
  CSyncLock sl(_memGetSyncMutex());
  return _mem_pProvider;
}

MemoryTypeStats memGetPendingTypeStats(void)
{
  CSyncLock sl(_memGetSyncMutex());
  return _mem_mtsPending;
}

namespace MemoryPrivate {

MemoryTypeStats *LookUpTypeStats(const CDataType *pdt)
{
  MemoryTypeStatsProvider pProvider = _mem_pProvider;
  if (pProvider == nullptr) {
    if (pdt != nullptr) return nullptr;
    _mem_bPending = true;
    return &_mem_mtsPending;
  }
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
  if (pmts == nullptr && pdt == nullptr) {
    _mem_bPending = true;
    return &_mem_mtsPending;
  }
  return pmts;
}

} // namespace MemoryPrivate
} // namespace QuennelEngine
