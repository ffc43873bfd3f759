// The handle table.
//
// A slot holds a generation, the address it is bound to and the head of its overflow chain:
// entries that bind addresses to older generations of the slot (hvRestoreHandle). Slots and
// overflow entries share one shape of binding: the address, the marked block that holds it, and
// links in the chain of all bindings of that block. Binding numbers name both: a slot number, or
// an overflow entry's index with HV_OVERFLOW set.
//
// Two hash tables index the bindings. The address map finds the slot bound to an address; the
// block map finds the head of a marked block's chain, so the memory manager's dismissal of a
// block (it passes the block's start) reaches every handle inside the block, restored ones too.
// A CSimpleHashTable cannot remove an entry, so both store binding numbers and compare through
// the binding's present state: a binding that was dismissed or moved no longer matches, and its
// entry is stale. Stale entries are dropped whenever a table is refilled. A table that would
// grow while stale entries are the majority is cleared and refilled at its present size
// instead, so churn does not make it grow without bound.
//
// The table's lock comes before the memory mutex: new handles mark their block under it, the
// table's arrays grow under it, and the memory manager calls the dismissal before it takes its
// mutex. Nothing prints under the lock (the console frees blocks under its own mutex, which could
// reach the dismissal): the usage report waits until the lock is released.
#include "core/meta/HandleValues.h"

#include "core/frame/Console.h"
#include "core/memory/Memory.h"
#include "core/memory/SimpleHashTable.h"
#include "core/text/Translation.h"
#include "core/threads/SyncLock.h"

#include <new>
#include <stdint.h>
#include <string.h>

namespace QuennelEngine {

namespace {

const unsigned long HV_SLOTMASK = 0xFFFFFFUL;
const long HV_LASTSLOT = 0xFFFFFF;
const long HV_RETIRED = 255;
const long HV_OVERFLOW = 0x40000000L;
const long HV_SLOTSTEP = 340;
const long HV_FREESTEP = 256;
const long HV_OVERFLOWSTEP = 256;
const long HV_REPORTSTEP = 10000;

struct HandleBinding {
  const void *hb_pvAddress; // null: reserved or dismissed
  void *hb_pvBlock;         // the marked block whose dismissal takes this binding, or null
  long hb_iBlockNext;       // the next binding of that block, or -1
  long hb_iBlockPrev;       // the previous one, or -1 for the chain's head
  long hb_bLookedUp;        // the block of the address was looked for (and marked when found)
};

struct HandleSlot {
  long hs_iGeneration;
  long hs_iOverflow; // the first overflow entry, or -1
  HandleBinding hs_hb;
};

struct OverflowEntry {
  long oe_iGeneration; // -1 while the entry is free
  long oe_iNext;       // the next entry of the slot's chain, or -1
  long oe_iSlot;
  HandleBinding oe_hb;
};

} // namespace

// The lock is constant-initialised and never destroyed, like the memory mutex: blocks may be
// freed (and dismissed) before static constructors run and while the library unloads.
namespace {
union LockHolder {
  CSyncMutex lh_sm;
  constexpr LockHolder() : lh_sm() {}
  ~LockHolder() {}
};
} // namespace
static LockHolder _hv_lhLock;

static inline CSyncMutex *TableMutex(void)
{
  return &_hv_lhLock.lh_sm;
}

// Holds the table's lock for a scope. The lock keeps level -1, so CSyncLock's level bookkeeping
// never applies to it; calling the mutex directly saves that work on every conversion and on
// every free of a marked block.
namespace {
struct TableLock {
  TableLock() { _hv_lhLock.lh_sm.Lock(); }
  ~TableLock() { _hv_lhLock.lh_sm.Unlock(); }
  TableLock(const TableLock &) = delete;
  TableLock &operator=(const TableLock &) = delete;
};
} // namespace

// All guarded by the lock.
static HandleSlot *_hv_ahs = nullptr;
static long _hv_ctSlots = 0;
static long _hv_ctSlotsAllocated = 0;
static long *_hv_aiFree = nullptr;
static long _hv_ctFree = 0;
static long _hv_ctFreeAllocated = 0;
static OverflowEntry *_hv_aoe = nullptr;
static long _hv_ctOverflow = 0;
static long *_hv_aiFreeOverflow = nullptr; // as long as the overflow table
static long _hv_ctFreeOverflow = 0;
static long _hv_ctReportAbove = HV_REPORTSTEP;
static long _hv_bGrowing = 0;
static long _hv_iLastSlot = HV_LASTSLOT;
static CSimpleHashTable *_hv_pshtAddresses = nullptr;
static long _hv_ctAddressesLive = 0; // slots bound to an address, each in the map
static long _hv_ctOutsideBlocks = 0; // of them, those in no block's chain
static CSimpleHashTable *_hv_pshtBlocks = nullptr;
static long _hv_ctBlocksLive = 0; // chain heads, each in the map
static HandleRemapper volatile _hv_pRemapper = nullptr;

// The maps live for the process and are never destroyed: blocks may still be freed while the
// library unloads.
alignas(CSimpleHashTable) static unsigned char _hv_abAddresses[sizeof(CSimpleHashTable)];
alignas(CSimpleHashTable) static unsigned char _hv_abBlocks[sizeof(CSimpleHashTable)];

static inline unsigned long MakeHandle(long iSlot)
{
  return ((unsigned long)_hv_ahs[iSlot].hs_iGeneration << 24) | (unsigned long)iSlot;
}

static inline HandleBinding &Binding(long iBinding)
{
  if (iBinding & HV_OVERFLOW) return _hv_aoe[iBinding & ~HV_OVERFLOW].oe_hb;
  return _hv_ahs[iBinding].hs_hb;
}

// The maps' keys are the addresses of words that hold the address looked for, so that
// DumpHashTableUsage can find a slot's key in the slot itself.
static inline const void *KeyOf(const void *pvKey)
{
  return *(const void *const *)pvKey;
}

static inline unsigned long HashOfAddress(const void *pv)
{
  // Blocks are 8-byte aligned: the low bits carry nothing.
  unsigned long ul = (unsigned long)((uintptr_t)pv >> 3) * 2654435761UL;
  return ul ^ (ul >> 15);
}

static unsigned long HashAddress(const void *pvKey)
{
  return HashOfAddress(KeyOf(pvKey));
}

static int CompareAddress(long slValue, const void *pvKey)
{
  return _hv_ahs[slValue].hs_hb.hb_pvAddress == KeyOf(pvKey);
}

static int CompareBlock(long slValue, const void *pvKey)
{
  const HandleBinding &hb = Binding(slValue);
  return hb.hb_pvBlock == KeyOf(pvKey) && hb.hb_iBlockPrev == -1;
}

// The head of a marked block's chain, or -1: the block map's own search (FindObject with
// CompareBlock) with the hash and the comparison inline, as every free of a marked block asks.
static long FindBlockHead(const void *pBlock)
{
  const CSimpleHashTable &sht = *_hv_pshtBlocks;
  if (sht.count <= 0) return -1;
  long iCompartment = (long)(HashOfAddress(pBlock) % (unsigned long)sht.count);
  for (long i = 0; i < sht.count; i++) {
    const long *psl = sht.compartments[iCompartment].shc_aslValues;
    for (int iSlot = 0; iSlot < SHT_SLOTS; iSlot++) {
      const long slValue = psl[iSlot];
      if (slValue == -1) return -1;
      const HandleBinding &hb = Binding(slValue);
      if (hb.hb_pvBlock == pBlock && hb.hb_iBlockPrev == -1) return slValue;
    }
    if (++iCompartment == sht.count) iCompartment = 0;
  }
  return -1;
}

static void RefillAddresses(void)
{
  for (long iSlot = 1; iSlot < _hv_ctSlots; iSlot++) {
    const void *pv = _hv_ahs[iSlot].hs_hb.hb_pvAddress;
    if (pv != nullptr) _hv_pshtAddresses->AddObject(&pv, iSlot);
  }
}

static void RefillBlocks(void)
{
  for (long iSlot = 1; iSlot < _hv_ctSlots; iSlot++) {
    const HandleBinding &hb = _hv_ahs[iSlot].hs_hb;
    if (hb.hb_pvBlock != nullptr && hb.hb_iBlockPrev == -1) {
      _hv_pshtBlocks->AddObject(&hb.hb_pvBlock, iSlot);
    }
  }
  for (long i = 0; i < _hv_ctOverflow; i++) {
    const HandleBinding &hb = _hv_aoe[i].oe_hb;
    if (_hv_aoe[i].oe_iGeneration >= 0 && hb.hb_pvBlock != nullptr && hb.hb_iBlockPrev == -1) {
      _hv_pshtBlocks->AddObject(&hb.hb_pvBlock, i | HV_OVERFLOW);
    }
  }
}

static void CreateMaps(void)
{
  if (_hv_pshtAddresses != nullptr) return;
  _hv_pshtAddresses =
      new (_hv_abAddresses) CSimpleHashTable(CompareAddress, HashAddress, RefillAddresses, 5, 5000);
  _hv_pshtBlocks =
      new (_hv_abBlocks) CSimpleHashTable(CompareBlock, HashAddress, RefillBlocks, 5, 1000);
}

// Entries whose binding shows no key at all: no live entry holds their value, so one may be
// overwritten in place.
static bool IsDeadAddressEntry(long slValue)
{
  return _hv_ahs[slValue].hs_hb.hb_pvAddress == nullptr;
}

static bool IsDeadBlockEntry(long slValue)
{
  const HandleBinding &hb = Binding(slValue);
  return hb.hb_pvBlock == nullptr || hb.hb_iBlockPrev != -1;
}

// Adds an entry for `pvKey`. The allocator hands the same blocks out again and again and the
// slots come back in the order they went, so the probe run of a key often holds the binding's
// own stale entry, which serves again, or a dead one, which is overwritten: the run does not
// lengthen. Otherwise a full table that is mostly stale is refilled rather than grown. The
// binding must not show `pvKey` yet, or a refill would add it twice.
static void AddEntry(CSimpleHashTable &sht, long &ctLive, void (*pRefill)(void),
                     bool (*pIsDead)(long slValue), const void *pvKey, long iBinding)
{
  ctLive++;
  long *pslDead = nullptr;
  long iCompartment = sht.GetCompartment(sht.hash(&pvKey));
  for (long i = 0; i < sht.count; i++) {
    long *psl = sht.compartments[iCompartment].shc_aslValues;
    int iSlot = 0;
    for (; iSlot < SHT_SLOTS && psl[iSlot] != -1; iSlot++) {
      if (psl[iSlot] == iBinding) return;
      if (pslDead == nullptr && pIsDead(psl[iSlot])) pslDead = &psl[iSlot];
    }
    if (iSlot < SHT_SLOTS) break;
    if (++iCompartment == sht.count) iCompartment = 0;
  }
  if (pslDead != nullptr) {
    *pslDead = iBinding;
    return;
  }
  if (!sht.HasRoomForOne() && sht.used - (ctLive - 1) > ctLive - 1) {
    sht.ClearTable();
    pRefill();
  }
  sht.AddObject(&pvKey, iBinding);
}

static void AddAddressEntry(const void *pv, long iSlot)
{
  AddEntry(*_hv_pshtAddresses, _hv_ctAddressesLive, RefillAddresses, IsDeadAddressEntry, pv, iSlot);
}

static void AddBlockEntry(void *pBlock, long iBinding)
{
  AddEntry(*_hv_pshtBlocks, _hv_ctBlocksLive, RefillBlocks, IsDeadBlockEntry, pBlock, iBinding);
}

// ---- Block chains ----

static void LinkToBlock(long iBinding, void *pBlock)
{
  HandleBinding &hb = Binding(iBinding);
  hb.hb_bLookedUp = 1;
  hb.hb_iBlockNext = hb.hb_iBlockPrev = -1;
  if (pBlock == nullptr) return;
  if (!(iBinding & HV_OVERFLOW)) _hv_ctOutsideBlocks--;
  long iHead = FindBlockHead(pBlock);
  if (iHead < 0) {
    AddBlockEntry(pBlock, iBinding);
    hb.hb_pvBlock = pBlock;
    return;
  }
  // After the head, so the map's entry stays good.
  HandleBinding &hbHead = Binding(iHead);
  hb.hb_pvBlock = pBlock;
  hb.hb_iBlockPrev = iHead;
  hb.hb_iBlockNext = hbHead.hb_iBlockNext;
  if (hbHead.hb_iBlockNext >= 0) Binding(hbHead.hb_iBlockNext).hb_iBlockPrev = iBinding;
  hbHead.hb_iBlockNext = iBinding;
}

static void UnlinkFromBlock(long iBinding)
{
  HandleBinding &hb = Binding(iBinding);
  void *pBlock = hb.hb_pvBlock;
  if (pBlock == nullptr) return;
  if (!(iBinding & HV_OVERFLOW)) _hv_ctOutsideBlocks++;
  long iNext = hb.hb_iBlockNext, iPrev = hb.hb_iBlockPrev;
  hb.hb_pvBlock = nullptr;
  hb.hb_iBlockNext = hb.hb_iBlockPrev = -1;
  if (iPrev >= 0) {
    Binding(iPrev).hb_iBlockNext = iNext;
    if (iNext >= 0) Binding(iNext).hb_iBlockPrev = iPrev;
    return;
  }
  // The head goes: its entry is stale now, the next binding becomes the head.
  _hv_ctBlocksLive--;
  if (iNext >= 0) {
    Binding(iNext).hb_iBlockPrev = -1;
    // The new head shows the block already; keep the refill from adding it as well.
    Binding(iNext).hb_pvBlock = nullptr;
    AddBlockEntry(pBlock, iNext);
    Binding(iNext).hb_pvBlock = pBlock;
  }
}

// ---- Slots ----

template <class T> static void GrowArray(T *&pa, long &ctAllocated, long ctStep)
{
  pa = (T *)memReAlloc(pa, (size_t)(ctAllocated + ctStep) * sizeof(T));
  ctAllocated += ctStep;
}

static void InitSlot(long iSlot)
{
  HandleSlot &hs = _hv_ahs[iSlot];
  hs.hs_iGeneration = 0;
  hs.hs_iOverflow = -1;
  hs.hs_hb = HandleBinding{nullptr, nullptr, -1, -1, 0};
}

static void AppendSlot(void)
{
  if (_hv_ctSlots == _hv_ctSlotsAllocated) {
    // The table's own block must not be dismissed while it moves.
    _hv_bGrowing = 1;
    GrowArray(_hv_ahs, _hv_ctSlotsAllocated, HV_SLOTSTEP);
    _hv_bGrowing = 0;
  }
  InitSlot(_hv_ctSlots++);
}

// A slot for a new handle: the last one dismissed, or a new one. Sets `ctReport` to the new slot
// count when it passes the report threshold.
static long TakeSlot(long &ctReport)
{
  if (_hv_ctFree > 0) return _hv_aiFree[--_hv_ctFree];
  if (_hv_ctSlots == 0) AppendSlot(); // slot 0 is never handed out
  long iSlot = _hv_ctSlots;
  if (iSlot > _hv_iLastSlot) {
    // The console's mutex is never waited for under this lock; the process ends here, so no
    // holder will release it again.
    long iLastSlot = _hv_iLastSlot;
    while (TableMutex()->Unlock() > 0) {
    }
    conFatalErrorF(strTranslate("DOZUHandleValues.OutOfSlots=Out of handle values: all %1 "
                                "slots are in use or retired.\n"),
                   ARG_INT, iLastSlot);
  }
  if (iSlot > _hv_ctReportAbove) {
    ctReport = iSlot + 1;
    _hv_ctReportAbove += HV_REPORTSTEP;
  }
  AppendSlot();
  return iSlot;
}

static void ReportSlots(long ctReport)
{
  if (ctReport > 0) {
    conLogF(strTranslate("DOZUHandleValues.Used=Number of handles used: %1\n"), ARG_INT, ctReport);
  }
}

// Binds the fresh or dismissed slot `iSlot` to `pv` (not null) in the address map.
static void BindSlot(long iSlot, const void *pv)
{
  AddAddressEntry(pv, iSlot);
  _hv_ahs[iSlot].hs_hb.hb_pvAddress = pv;
  _hv_ctOutsideBlocks++;
}

// Unbinds a slot already out of its block's chain: its entry goes stale.
static void UnbindSlot(long iSlot)
{
  HandleBinding &hb = _hv_ahs[iSlot].hs_hb;
  hb.hb_pvAddress = nullptr;
  hb.hb_bLookedUp = 0;
  _hv_ctAddressesLive--;
  _hv_ctOutsideBlocks--;
}

// Ends the binding of a slot already out of its block's chain; the slot is used again with the
// next generation, or retired.
static void DismissSlot(long iSlot)
{
  UnbindSlot(iSlot);
  HandleSlot &hs = _hv_ahs[iSlot];
  if (hs.hs_iGeneration >= HV_RETIRED) return;
  if (++hs.hs_iGeneration == HV_RETIRED) return;
  if (_hv_ctFree == _hv_ctFreeAllocated) {
    GrowArray(_hv_aiFree, _hv_ctFreeAllocated, HV_FREESTEP);
  }
  _hv_aiFree[_hv_ctFree++] = iSlot;
}

static void DismissAddress(const void *pv)
{
  // More than one slot may hold the address (hvSwapPointer onto a bound address).
  for (;;) {
    long iSlot = _hv_pshtAddresses->FindObject(&pv);
    if (iSlot < 0) return;
    UnlinkFromBlock(iSlot);
    DismissSlot(iSlot);
  }
}

// ---- Overflow entries ----

static long TakeOverflowEntry(void)
{
  if (_hv_ctFreeOverflow == 0) {
    // The free stack is as long as the table, so pushing never grows it.
    long ctOld = _hv_ctOverflow;
    long ctFreeAllocated = ctOld;
    GrowArray(_hv_aoe, _hv_ctOverflow, HV_OVERFLOWSTEP);
    GrowArray(_hv_aiFreeOverflow, ctFreeAllocated, HV_OVERFLOWSTEP);
    // Pushed from the top down, so the lowest index is taken first.
    for (long i = _hv_ctOverflow - 1; i >= ctOld; i--) {
      _hv_aoe[i].oe_iGeneration = -1;
      _hv_aiFreeOverflow[_hv_ctFreeOverflow++] = i;
    }
  }
  return _hv_aiFreeOverflow[--_hv_ctFreeOverflow];
}

// Ends a restored binding already out of its block's chain: out of its slot's chain and free.
static void DismissOverflowEntry(long iEntry)
{
  OverflowEntry &oe = _hv_aoe[iEntry];
  long *piLink = &_hv_ahs[oe.oe_iSlot].hs_iOverflow;
  while (*piLink != iEntry) piLink = &_hv_aoe[*piLink].oe_iNext;
  *piLink = oe.oe_iNext;
  oe.oe_iGeneration = -1;
  oe.oe_hb = HandleBinding{nullptr, nullptr, -1, -1, 0};
  _hv_aiFreeOverflow[_hv_ctFreeOverflow++] = iEntry;
}

// ---- The memory manager's dismissal ----

// Every handle inside the block `p`, restored ones too, and any handle made for its start without
// the mark.
static void DismissBlock(void *p)
{
  TableLock tl;
  if (_hv_bGrowing || _hv_pshtAddresses == nullptr) return;
  long iBinding = FindBlockHead(p);
  if (iBinding >= 0) _hv_ctBlocksLive--;
  while (iBinding >= 0) {
    HandleBinding &hb = Binding(iBinding);
    long iNext = hb.hb_iBlockNext;
    hb.hb_pvBlock = nullptr;
    hb.hb_iBlockNext = hb.hb_iBlockPrev = -1;
    if (iBinding & HV_OVERFLOW) {
      DismissOverflowEntry(iBinding & ~HV_OVERFLOW);
    } else {
      _hv_ctOutsideBlocks++; // out of the chain, for the moment
      DismissSlot(iBinding);
    }
    iBinding = iNext;
  }
  // A handle made without the mark for the block's start is in no chain.
  if (_hv_ctOutsideBlocks > 0) DismissAddress(p);
}

namespace {
// Builds the maps and installs the dismissal as Core loads.
struct HandleTableAtLoad {
  HandleTableAtLoad()
  {
    CSyncLock sl(TableMutex());
    CreateMaps();
    memSetDismissPointerHook(DismissBlock);
  }
};
} // namespace
static HandleTableAtLoad _hv_htlInstall;

// ---- The interface ----

static unsigned long PointerToHandle(const void *pv, bool bMark)
{
  long ctReport = 0;
  unsigned long h;
  {
    TableLock tl;
    CreateMaps();
    long iSlot = pv != nullptr ? _hv_pshtAddresses->FindObject(&pv) : -1;
    if (iSlot >= 0) {
      HandleBinding &hb = _hv_ahs[iSlot].hs_hb;
      // A handle made without the mark gets it from the first call that asks for it.
      if (bMark && !hb.hb_bLookedUp) LinkToBlock(iSlot, memMarkContainingBlock(pv));
      return MakeHandle(iSlot);
    }
    void *pBlock = bMark ? memMarkContainingBlock(pv) : nullptr;
    iSlot = TakeSlot(ctReport);
    if (pv != nullptr) {
      BindSlot(iSlot, pv);
      if (bMark) LinkToBlock(iSlot, pBlock);
    }
    h = MakeHandle(iSlot);
  }
  ReportSlots(ctReport);
  return h;
}

unsigned long hvPointerToHandle(const void *pv)
{
  if (pv == nullptr) return 0;
  return PointerToHandle(pv, true);
}

unsigned long hvPointerToHandle_internal(const void *pv)
{
  return PointerToHandle(pv, false);
}

void *hvHandleToPointer(unsigned long h)
{
  if (h == 0) return nullptr;
  TableLock tl;
  long iSlot = (long)(h & HV_SLOTMASK);
  if (iSlot >= _hv_ctSlots) return nullptr;
  long iGeneration = (long)(h >> 24);
  const HandleSlot &hs = _hv_ahs[iSlot];
  if (hs.hs_iGeneration == iGeneration) return const_cast<void *>(hs.hs_hb.hb_pvAddress);
  for (long i = hs.hs_iOverflow; i >= 0; i = _hv_aoe[i].oe_iNext) {
    if (_hv_aoe[i].oe_iGeneration == iGeneration) {
      return const_cast<void *>(_hv_aoe[i].oe_hb.hb_pvAddress);
    }
  }
  return nullptr;
}

unsigned long hvReserveHandle(void)
{
  long ctReport = 0;
  unsigned long h;
  {
    CSyncLock sl(TableMutex());
    h = MakeHandle(TakeSlot(ctReport));
  }
  ReportSlots(ctReport);
  return h;
}

bool hvIsHandleReserved(unsigned long h)
{
  if (h == 0) return false;
  CSyncLock sl(TableMutex());
  long iSlot = (long)(h & HV_SLOTMASK);
  if (iSlot >= _hv_ctSlots) return false;
  const HandleSlot &hs = _hv_ahs[iSlot];
  return hs.hs_iGeneration == (long)(h >> 24) && hs.hs_hb.hb_pvAddress == nullptr;
}

void hvDismissPointer(const void *pv)
{
  if (pv == nullptr) return;
  CSyncLock sl(TableMutex());
  if (_hv_bGrowing || _hv_pshtAddresses == nullptr) return;
  DismissAddress(pv);
}

void hvRestoreHandle(const void *pv, unsigned long h)
{
  if (pv == nullptr) return;
  CSyncLock sl(TableMutex());
  CreateMaps();
  long iSlot = (long)(h & HV_SLOTMASK);
  long iGeneration = (long)(h >> 24);
  if (iSlot < 1 || iSlot >= _hv_ctSlots || _hv_ahs[iSlot].hs_iGeneration <= iGeneration) return;
  if (_hv_pshtAddresses->FindObject(&pv) >= 0) return;
  long iEntry = -1;
  for (long i = _hv_ahs[iSlot].hs_iOverflow; i >= 0; i = _hv_aoe[i].oe_iNext) {
    if (_hv_aoe[i].oe_iGeneration == iGeneration) iEntry = i;
  }
  if (iEntry >= 0) {
    UnlinkFromBlock(iEntry | HV_OVERFLOW);
  } else {
    iEntry = TakeOverflowEntry();
    OverflowEntry &oe = _hv_aoe[iEntry];
    oe.oe_iGeneration = iGeneration;
    oe.oe_iSlot = iSlot;
    oe.oe_iNext = _hv_ahs[iSlot].hs_iOverflow;
    _hv_ahs[iSlot].hs_iOverflow = iEntry;
  }
  _hv_aoe[iEntry].oe_hb.hb_pvAddress = pv;
  LinkToBlock(iEntry | HV_OVERFLOW, memMarkContainingBlock(pv));
}

void hvSwapPointer(unsigned long h, const void *pv)
{
  if (h == 0) return;
  CSyncLock sl(TableMutex());
  CreateMaps();
  long iSlot = (long)(h & HV_SLOTMASK);
  if (iSlot >= _hv_ctSlots) return;
  HandleSlot &hs = _hv_ahs[iSlot];
  // A retired slot holds nothing, whatever handle names it.
  if (hs.hs_iGeneration != (long)(h >> 24) || hs.hs_iGeneration >= HV_RETIRED) return;
  if (hs.hs_hb.hb_pvAddress == pv) return;
  if (hs.hs_hb.hb_pvAddress != nullptr) {
    // The old address's entry goes stale.
    UnlinkFromBlock(iSlot);
    UnbindSlot(iSlot);
  }
  if (pv == nullptr) return;
  void *pBlock = memMarkContainingBlock(pv);
  BindSlot(iSlot, pv);
  LinkToBlock(iSlot, pBlock);
}

void hvSetHandleRemapper(HandleRemapper pRemapper)
{
  _hv_pRemapper = pRemapper;
}

unsigned long hvRemapHandle(unsigned long h)
{
  HandleRemapper pRemapper = _hv_pRemapper;
  return pRemapper != nullptr ? pRemapper(h) : h;
}

unsigned long hvGetHash(unsigned long h)
{
  return (((h & HV_SLOTMASK) * 33UL) ^ ((h >> 24) * 107UL)) * 137UL;
}

// Call under the lock.
static HandleTableStats TakeStats(void)
{
  HandleTableStats hts = {};
  hts.hts_ctSlots = _hv_ctSlots;
  hts.hts_ctBound = _hv_ctAddressesLive;
  hts.hts_ctFree = _hv_ctFree;
  for (long iSlot = 1; iSlot < _hv_ctSlots; iSlot++) {
    hts.hts_ctRetired += _hv_ahs[iSlot].hs_iGeneration >= HV_RETIRED;
  }
  hts.hts_ctRestored = _hv_ctOverflow - _hv_ctFreeOverflow;
  if (_hv_pshtAddresses != nullptr) {
    hts.hts_ctMapCompartments = _hv_pshtAddresses->GetCompartmentCount();
    hts.hts_ctMapUsed = _hv_pshtAddresses->GetUsedCount();
    hts.hts_ctBlockCompartments = _hv_pshtBlocks->GetCompartmentCount();
    hts.hts_ctBlockUsed = _hv_pshtBlocks->GetUsedCount();
  }
  return hts;
}

HandleTableStats hvGetTableStats(void)
{
  CSyncLock sl(TableMutex());
  return TakeStats();
}

void hvDumpUsage(void)
{
  // Copies taken under the lock, printed after it.
  HandleTableStats hts;
  CSimpleHashTable *psht = nullptr;
  HandleSlot *ahs = nullptr;
  {
    CSyncLock sl(TableMutex());
    CreateMaps();
    hts = TakeStats();
    psht = new (memMAlloc(sizeof(CSimpleHashTable))) CSimpleHashTable(*_hv_pshtAddresses);
    if (_hv_ctSlots > 0) {
      ahs = (HandleSlot *)memMAlloc(_hv_ctSlots * sizeof(HandleSlot));
      memcpy(ahs, _hv_ahs, _hv_ctSlots * sizeof(HandleSlot));
    }
  }
  conTraceF(strTranslate("DOZUHandleValues.DumpSlots=Handle slots: %1 (%2 bound, %3 free, %4 "
                         "retired)\n"),
            ARG_INT, hts.hts_ctSlots, ARG_INT, hts.hts_ctBound, ARG_INT, hts.hts_ctFree, ARG_INT,
            hts.hts_ctRetired);
  conTraceF(strTranslate("DOZUHandleValues.DumpRestored=Restored handles: %1\n"), ARG_INT,
            hts.hts_ctRestored);
  conTraceF(strTranslate("DOZUHandleValues.DumpBlocks=Marked blocks: %1 entries in %2 "
                         "compartments\n"),
            ARG_INT, hts.hts_ctBlockUsed, ARG_INT, hts.hts_ctBlockCompartments);
  conTraceF(strTranslate("DOZUHandleValues.DumpMap=Address map:\n"));
  // A stale entry shows the slot's present address, so it may count as out of its compartment.
  psht->DumpHashTableUsage(ahs != nullptr ? &ahs[0].hs_hb.hb_pvAddress : nullptr,
                           (long)sizeof(HandleSlot));
  psht->~CSimpleHashTable();
  memFree(psht);
  memFree(ahs);
}

void hvSetLastSlotForTests(long iLastSlot)
{
  CSyncLock sl(TableMutex());
  _hv_iLastSlot = iLastSlot > 0 && iLastSlot < HV_LASTSLOT ? iLastSlot : HV_LASTSLOT;
}

} // namespace QuennelEngine
