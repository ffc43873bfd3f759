#pragma once
// The system's virtual memory and memory figures behind plain functions. The memory subsystem
// reaches the operating system through these only.
#include "core/platform/Platform.h"

namespace QuennelEngine {

// Reserves `slSize` bytes of address space without access (rounded up to the allocation
// granularity); null on failure.
CORE_API void *sysReserveMemory(size_t slSize);
// Commits the pages covering [pv, pv + slSize) inside a reservation for reading and writing;
// false on failure. Committing pages that are committed already is harmless.
CORE_API bool sysCommitMemory(void *pv, size_t slSize);
// Reserves and commits `slSize` bytes anywhere; null on failure.
CORE_API void *sysAllocateMemory(size_t slSize);
// Returns the pages covering [pv, pv + slSize) to their reservation, without access again.
CORE_API void sysDecommitMemory(void *pv, size_t slSize);
// Releases a whole reservation, given its base address.
CORE_API void sysReleaseMemory(void *pvBase);
// Bytes of committed pages that follow `pv` in one run, as the system reports them (0 when the
// page at `pv` is not committed).
CORE_API size_t sysQueryCommittedSize(const void *pv);
// The page size and the granularity of reservations (their bases and sizes are multiples of it).
CORE_API size_t sysGetPageSize(void);
CORE_API size_t sysGetAllocationGranularity(void);
// Physical memory of the machine: the total and what is available now.
CORE_API void sysGetPhysicalMemory(unsigned long long &ullTotal, unsigned long long &ullAvailable);
// Ends the process at once with `uExitCode`: no clean-up, no console, no allocation.
[[noreturn]] CORE_API void sysEndProcessNow(unsigned int uExitCode);
// Writes `str` to the standard error handle without the runtime library's buffers.
CORE_API void sysWriteStandardError(const char *str);

} // namespace QuennelEngine
