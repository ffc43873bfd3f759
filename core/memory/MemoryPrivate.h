#pragma once
// Private to core/memory: what the allocation entry points share with the statistics code.
#include "core/memory/TypeStats.h"

#include <stdint.h>

namespace QuennelEngine {
namespace MemoryPrivate {

// The provider's last answers for non-null types, by a hash of the type's address: under an
// emulator, the call through the provider's pointer costs more than the rest of the booking.
// Emptied whenever the provider changes and while pending counters wait for Unknown (so a hit
// needs no other check); an entry goes when its descriptor does (memForgetTypeStats).
struct TypeStatsCacheEntry {
  uintptr_t tsc_ulNotType; // ~ the type's address: 0 (empty) matches no type, null included
  MemoryTypeStats *tsc_pmts;
};
const int MEM_CTTYPECACHE = 16;
extern TypeStatsCacheEntry mem_atscTypes[MEM_CTTYPECACHE];

inline TypeStatsCacheEntry &TypeCacheEntryOf(const CDataType *pdt)
{
  return mem_atscTypes[((unsigned long)(uintptr_t)pdt * 2654435761UL) >> 28];
}

// LookUpTypeStats for every case the inline path leaves to it.
MemoryTypeStats *LookUpTypeStatsSlow(const CDataType *pdt);

// The record to book an update of `pdt` on: the type's statistics, the pending counters for a
// null type while the Unknown descriptor does not exist, or a record that nothing reads when there
// is none (so the booking code needs no test). Moves the pending counters to the Unknown
// descriptor first once it exists. Call under the memory mutex. Inline, as every typed allocation
// and free asks: the common case is one look at the cache.
inline MemoryTypeStats *LookUpTypeStats(const CDataType *pdt)
{
  const TypeStatsCacheEntry &tsc = TypeCacheEntryOf(pdt);
  if (QE_LIKELY(tsc.tsc_ulNotType == ~(uintptr_t)pdt)) return tsc.tsc_pmts;
  return LookUpTypeStatsSlow(pdt);
}

} // namespace MemoryPrivate
} // namespace QuennelEngine
