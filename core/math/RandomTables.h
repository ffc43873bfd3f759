#pragma once
// Random tables: a fixed run of pseudo-random floats and a shuffled order of its indices, for
// effects that want cheap, repeatable noise (particle jitter, dithering, variation per object
// index). The tables are filled from a seed: the same seed gives the same tables on every
// machine and run. They are filled with seed 1 when the library loads; refilling them while
// another thread reads them is the caller's race.
#include "core/platform/Platform.h"

namespace QuennelEngine {

// Refills both tables from `ulSeed` (every seed is valid, 0 included).
CORE_API void rtInitializeRandomTables(unsigned long ulSeed = 1);
// The table's float at `iIndex`, in [0, 1); any index is valid, taken modulo the table's count
// (negative ones too), so consecutive indices walk the table and wrap around.
CORE_API float rtGetRandomF(long iIndex);
// The index at position `iIndex` of the shuffled order, in [0, count): a permutation of the
// table's indices, `iIndex` taken modulo the count like rtGetRandomF's.
CORE_API long rtGetPerturbedIndex(long iIndex);
// The number of entries of each table (a power of two, 4096).
CORE_API long rtGetCountOfRandomTableEntries(void);

} // namespace QuennelEngine
