#pragma once
// Private to core/memory: what the allocation entry points share with the statistics code.
#include "core/memory/TypeStats.h"

namespace QuennelEngine {
namespace MemoryPrivate {

// The record to book an update of `pdt` on: the type's statistics, the pending counters for a
// null type while the Unknown descriptor does not exist, or null when there is none. Moves the
// pending counters to the Unknown descriptor first once it exists. Call under the memory mutex.
MemoryTypeStats *LookUpTypeStats(const CDataType *pdt);

} // namespace MemoryPrivate
} // namespace QuennelEngine
