#pragma once
// Handle values: 32-bit weak references to addresses. The low 24 bits are a slot number (1 and
// up; 0 is no object), the high 8 bits the slot's generation. When the general heap frees or
// moves a block, every handle made for an address in it (at its start or inside it: an array
// element, an aligned block) converts to null from then on; a handle value can be saved and
// bound to a new address later (hvRestoreHandle). The table has its own lock, which comes before
// the memory mutex: it is taken by every function here except hvSetHandleRemapper,
// hvRemapHandle and hvGetHash, and it is never held while printing.
#include "core/platform/Platform.h"

namespace QuennelEngine {

// The handle of `pv`: the one it has, or a new one (null gives 0). A new handle marks the live
// block of the general heap that holds `pv`, so freeing or moving that block dismisses it. An
// address that no live block of the general heap holds (a stack or static variable, a string or
// runtime-library block) gets a handle too, but nothing is marked or written anywhere and the
// handle is never dismissed by the memory manager: only hvDismissPointer ends it.
CORE_API unsigned long hvPointerToHandle(const void *pv);
// hvPointerToHandle without marking any block: the memory manager dismisses such a handle only
// when `pv` is the start of a block that is marked for another handle. Null gives a reserved
// handle.
CORE_API unsigned long hvPointerToHandle_internal(const void *pv);
// The address a handle stands for; null for 0, a slot beyond the table, a reserved or dismissed
// handle, or an older generation that was not restored.
CORE_API void *hvHandleToPointer(unsigned long h);
// A new handle bound to no address yet (see hvSwapPointer).
CORE_API unsigned long hvReserveHandle(void);
// True when `h` is its slot's current handle and is bound to no address.
CORE_API bool hvIsHandleReserved(unsigned long h);
// Dismisses every handle that hvPointerToHandle gives for `pv`: they convert to null, and the
// slot is used again with the next generation, or retired after its 255th dismissal. Handles
// inside a block, and restored ones, go when the memory manager frees or moves their block.
CORE_API void hvDismissPointer(const void *pv);
// Binds `pv` to the older handle `h` so that `h` converts to it again, while the slot's current
// handle keeps its own address. Nothing happens unless the slot exists and has moved past h's
// generation, or when `pv` is null or has a handle of its own already. Restoring the same old
// handle again rebinds it. The binding is dismissed with the block that holds `pv`.
CORE_API void hvRestoreHandle(const void *pv, unsigned long h);
// Binds the slot of the current handle `h` to `pv` instead of its present address (unmapping
// that one) and marks the block of `pv`; does nothing when `h` is not its slot's current handle.
CORE_API void hvSwapPointer(unsigned long h, const void *pv);

// What hvRemapHandle applies (null: the handle stays as it is).
typedef unsigned long (*HandleRemapper)(unsigned long h);
CORE_API void hvSetHandleRemapper(HandleRemapper pRemapper);
CORE_API unsigned long hvRemapHandle(unsigned long h);
// (((h & 0xFFFFFF) * 33) ^ ((h >> 24) * 107)) * 137, in 32 bits.
CORE_API unsigned long hvGetHash(unsigned long h);

// The table's figures, taken at one moment under its lock.
struct HandleTableStats {
  long hts_ctSlots;             // slot count (slot 0 included, never handed out)
  long hts_ctBound;             // slots bound to an address
  long hts_ctFree;              // slots waiting to be used again
  long hts_ctRetired;           // slots dismissed 255 times
  long hts_ctRestored;          // restored bindings of older generations
  long hts_ctMapCompartments;   // of the address map
  long hts_ctMapUsed;           // its entries, stale ones included
  long hts_ctBlockCompartments; // of the map from marked blocks to their handles
  long hts_ctBlockUsed;
};
CORE_API HandleTableStats hvGetTableStats(void);
// Prints the table's figures and the address map's usage through the trace output.
CORE_API void hvDumpUsage(void);

// For tests: the highest slot number handed out before the table runs out (0: 0xFFFFFF, the
// largest a handle holds). Taking a slot beyond it is a fatal error.
CORE_API void hvSetLastSlotForTests(long iLastSlot);

} // namespace QuennelEngine
