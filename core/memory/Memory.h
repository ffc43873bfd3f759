#pragma once
// The library's allocation entry points. Every allocation of the library and of the engine goes
// through them: a general heap of the library's own under one memory mutex, statistics per
// reflected type, a handle mark per block, and one out-of-memory policy (the process ends with a
// message; no entry point ever returns null for lack of memory).
#include "core/memory/TypeStats.h"
#include "core/platform/Platform.h"

namespace QuennelEngine {

class CSyncMutex;

// Figures of one of the library's heaps.
struct MemoryHeapStats {
  size_t mhs_slReserved;  // address space reserved from the system
  size_t mhs_slCommitted; // of it, committed
  size_t mhs_slUsed;      // bytes of live blocks, headers included
  size_t mhs_slFree;      // bytes of free blocks
  long mhs_ctUsedBlocks;
  long mhs_ctFreeBlocks;
  long mhs_ctRegions;
  long mhs_ctAllocations; // blocks handed out since the heap started (wraps around)
};

// What memGetMemSizeInfo reports, all taken at one moment under the memory mutex.
struct MemSizeInfo {
  MemoryHeapStats msi_mhsGeneral; // the general heap
  MemoryHeapStats msi_mhsStrings; // the string heap
  long msi_slTotal;               // memSize of every live block taken through memMAlloc
  long msi_slExternal;            // bytes others reported through memCountExternalAlloc
  long msi_slExternalExcess;      // of those, what rounding to the granularity added
};

// Kept for the tools that print it; every field is 0.
struct MemConsumptionInfo {
  long mci_slAllocated;
  long mci_slPeak;
  long mci_ctAllocations;
  long mci_ctFrees;
};

// ---- Core entry points (all take the memory mutex) ----

// Allocates `size` bytes from the general heap with the handle mark clear; never returns null
// (out of memory is fatal).
CORE_API void *memMAlloc(size_t size);
// Frees a block; null is ignored, a marked block is dismissed from the handle table first.
CORE_API void memFree(void *p);
// Resizes a block keeping its contents (null: memMAlloc). Returns `p` itself, mark and all, when
// memSize(p) is already `size`; otherwise the result's mark is clear. Size 0 gives a minimal
// block. Never returns null.
CORE_API void *memReAlloc(void *p, size_t size);
// Bytes of `ct` elements of `size` bytes, for the containers. A count whose bytes do not fit a
// size_t (or a negative one) gives the largest size, which no heap has: the allocation then ends
// in the out-of-memory error instead of handing out a block shorter than the elements.
inline size_t memElementBytes(long ct, size_t size)
{
  return (ct < 0 || (size_t)ct > (size_t)-1 / size) ? (size_t)-1 : (size_t)ct * size;
}
// Usable size of a block (0 for null).
CORE_API size_t memSize(const void *p);
// memSize plus the header word (0 for null).
CORE_API size_t memGetRealSize(const void *p);

// The same, booking one operation and the bytes on the statistics of `pdt` (null: Unknown).
CORE_API void *memMAlloc(size_t size, const CDataType *pdt);
CORE_API void memFree(void *p, const CDataType *pdt);
CORE_API void *memReAlloc(void *p, size_t size, const CDataType *pdt);

// A single object of `pdt`: singles +1, operations +1, bytes += memSize.
CORE_API void *memMAllocSingle(size_t size, const CDataType *pdt);
// Takes up to `ct` (at most 256) blocks of `size` bytes for single objects of `pdt` ahead, under
// one lock, booked as memMAllocSingle books them: the calling thread's next memMAllocSingle calls
// with that size and type take them without the lock (a reader about to make many objects of a
// type). Gives back what the thread's earlier run left. One thread holds a run at a time: 0 when
// another does; else the number taken.
CORE_API long memReserveSingles(size_t size, const CDataType *pdt, long ct);
// Frees the blocks of the calling thread's run that were not taken, their booking undone (as if
// they had never been allocated), and returns their number (0 when the thread holds no run).
CORE_API long memReleaseSingles(void);
// An array of `ctCount` elements of `pdt`: singles + count, arrays +1, operations +1, bytes.
CORE_API void *memMAllocArray(size_t size, long ctCount, const CDataType *pdt);
// Frees a single object of `pdt` (null ignored): singles -1, operations +1, bytes -= memSize.
CORE_API void memFreeSingle(void *p, const CDataType *pdt);
// Frees an array of `pdt` (null ignored): arrays -1, operations +1, bytes -= memSize, and
// singles - `ctCount` (pass the count given to memMAllocArray to keep singles balanced).
CORE_API void memFreeArray(void *p, const CDataType *pdt, long ctCount = 0);

// Accounts memory that others allocate (video resources...): |slSize| rounded up to a multiple
// of `slGranularity` (none when it is 0 or less) is added to the external bytes with the sign of
// `slSize`, and what the rounding added to the excess counter, with the same sign.
CORE_API void memCountExternalAlloc(long slSize, long slGranularity);

// `size` bytes aligned to `alignment` (a power of two; otherwise a guard breach and null), freed
// with FreeMemoryAligned. The word before the result holds the memMAlloc block's start.
CORE_API void *AllocMemoryAligned(size_t size, size_t alignment);
// Frees a block of AllocMemoryAligned (null ignored).
CORE_API void FreeMemoryAligned(void *p);

// ---- The handle mark ----

// What memFree and memReAlloc call with the start of a marked block before it goes.
typedef void (*DismissPointerHook)(void *p);

// Marks the live block `p`: handle values may refer into it, so freeing it dismisses them.
CORE_API void memSetHandleMark(void *p);
// Marks the live block of the general heap that holds `pv` (at its start or anywhere inside it)
// and returns the block's start. Null, with nothing marked, when no live block of the general
// heap holds `pv` (a stack or static variable, a string or runtime-library block).
CORE_API void *memMarkContainingBlock(const void *pv);
// True when the block `p` carries the handle mark.
CORE_API bool memHasHandleMark(const void *p);
// Clears the handle mark of the block `p`.
CORE_API void memClearHandleMark(void *p);
// Installs what memFree and memReAlloc call for a marked block (null: nothing); returns the hook
// it replaces. The hook runs before the memory mutex is taken, so it may take locks of its own
// that come before the memory mutex, and may allocate and free unmarked blocks.
CORE_API DismissPointerHook memSetDismissPointerHook(DismissPointerHook pHook);

// ---- Operator entry points (what new and delete of the engine's classes call) ----

// memMAlloc(size).
CORE_API void *memNew_internal(size_t size);
// memMAllocSingle(size, pdt).
CORE_API void *memNewRC_internal(size_t size, const CDataType *pdt);
// An array with the header 0x80000000 before it (count unknown), booked on Unknown.
CORE_API void *memNewArray_internal(size_t size);
// An array of `ctCount` elements of `pdt` with the header ctCount | 0x80000000 before it.
CORE_API void *memNewArrayRC_internal(size_t size, long ctCount, const CDataType *pdt);
// memFree(p), or free(p) for a block of the runtime library.
CORE_API void memDelete_internal(void *p);
// Frees an array: from its header when the word before `p` is negative, else `p` itself.
CORE_API void memDeleteArray_internal(void *p);
// Before the destructor of a single object of `pdt`: singles -1, operations +1, bytes.
CORE_API void memPreDeleteRC_internal(void *p, const CDataType *pdt);
// Before the destructors of an array of `pdt` (`p` after its header, or after the compiler's
// element count that follows the header): singles - count, arrays -1, operations +1, bytes.
CORE_API void memPreDeleteArrayRC_internal(void *p, const CDataType *pdt);
// After the destructor(s); they change no counter.
CORE_API void memPostDeleteRC_internal(const CDataType *pdt);
CORE_API void memPostDeleteArrayRC_internal(const CDataType *pdt);

// ---- Per-thread switches ----

// Non-zero: the operator entry points of the calling thread use the runtime library's malloc and
// free (no statistics, marks or headers). Frees go by who owns the block, whatever the switch.
CORE_API long &memGetUseOSMemManagerState(void);
// A per-thread switch for hosts; nothing in the library reads it.
CORE_API long &memGetUseIntrinsicNewDelete(void);

// ---- Information ----

// Available and total physical memory of the machine, in bytes.
CORE_API unsigned long long memGetFreeMemory(void);
CORE_API unsigned long long memGetTotalMemory(void);
// The heaps' figures and the byte counters, taken under the memory mutex.
CORE_API MemSizeInfo memGetMemSizeInfo(void);
// An all-zero record.
CORE_API MemConsumptionInfo memConsumptionInfo(void);
// Always 1.
CORE_API int memCheckMemory(void);
// The memory mutex (recursive), usable from the first call on.
CORE_API CSyncMutex *_memGetSyncMutex(void);

// ---- The string heap: single blocks for the texts of CString ----

// A separate heap, so text churn does not fragment the general heap; same failure policy.
CORE_API char *memStringAlloc(size_t size);
CORE_API char *memStringReAlloc(char *p, size_t size);
CORE_API void memStringFree(char *p);

} // namespace QuennelEngine
