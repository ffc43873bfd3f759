#pragma once
// Freeing the stock. Files are never freed by their last reference; these free, on request, every
// stock file that nothing outside the stock holds. Both run in an exclusive section (no other
// thread active) under the stock mutex, so they must be called from the main thread, never while
// it holds the stock mutex or runs a task.
#include "core/platform/Platform.h"

namespace QuennelEngine {

// Frees every file that is not held from outside the stock: files whose resources have no
// references, files referenced only from inside themselves, chains of files held only by freed
// files, and groups of files that hold only each other. Logs the count, the time and the passes.
CORE_API void resFreeUnusedStock(void);
// The cheap variant: one pass that frees every file none of whose shared or exposed resources
// has a reference; no graph is walked.
CORE_API void resFreeUnusedStockTrivial(void);

} // namespace QuennelEngine
