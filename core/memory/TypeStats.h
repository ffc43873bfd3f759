#pragma once
// Allocation statistics per reflected type. The type descriptors hold the records; the memory
// subsystem reaches them through a provider that the metadata layer installs.
#include "core/platform/Platform.h"

namespace QuennelEngine {

class CDataType;

// What is alive of one type, and how busy it has been.
struct MemoryTypeStats {
  long mts_ctSingles;    // live single objects, live array elements included
  long mts_ctArrays;     // live arrays
  long mts_ctOperations; // allocations and frees, each counted once
  long mts_slBytes;      // bytes of the live blocks (their memSize)
};

// Returns the statistics of `pdt`, or those of the Unknown descriptor for null; null when the
// record does not exist (yet). Once it has returned a record for a type, it must return the same
// one for that type while it is installed, until the type is forgotten (memForgetTypeStats): the
// allocation functions remember it.
typedef MemoryTypeStats *(*MemoryTypeStatsProvider)(const CDataType *pdt);

// Installs the provider (null removes it); takes the memory mutex.
CORE_API void memSetTypeStatsProvider(MemoryTypeStatsProvider pProvider);
// The installed provider, or null.
CORE_API MemoryTypeStatsProvider memGetTypeStatsProvider(void);
// Drops what the allocation functions remember of `pdt`'s record; a descriptor calls it as it
// goes, so one made later at the same address is asked for afresh. Takes the memory mutex.
CORE_API void memForgetTypeStats(const CDataType *pdt);
// A copy of the counters that null-type allocations gather while the Unknown descriptor does not
// exist; they move to it on the first update after it appears.
CORE_API MemoryTypeStats memGetPendingTypeStats(void);

} // namespace QuennelEngine
