#include "core/memory/PointerMap.h"

#include "core/frame/CodeGuard.h"
#include "core/frame/Console.h"
#include "core/memory/Memory.h"

#include <string.h>

namespace QuennelEngine {

// The first array: 64 slots.
static const int iFirstBits = 6;

CPointerMap::~CPointerMap()
{
  for (Table *pt = pm_ptTable; pt != nullptr;) {
    Table *ptRetired = pt->t_ptRetired;
    memFree(pt);
    pt = ptRetired;
  }
}

void *CPointerMap::Find(const void *pvKey) const
{
  if (pm_ptTable == nullptr) return nullptr;
  long ctProbes;
  void *pv = Probe(pm_ptTable, pvKey, ctProbes);
  pm_ctProbes += ctProbes;
  return pv;
}

void CPointerMap::UpdateVersion(void)
{
  // Odd while a change is in progress or the map is invalid.
  const bool bOdd = pm_ctChangeDepth > 0 || pm_bInvalid;
  if (((pm_ctVersion & 1) != 0) == bOdd) return;
  if (bOdd) {
    __atomic_store_n(&pm_ctVersion, pm_ctVersion + 1, __ATOMIC_RELAXED);
    // The odd count is seen before any change that follows.
    __atomic_thread_fence(__ATOMIC_RELEASE);
  } else {
    __atomic_store_n(&pm_ctVersion, pm_ctVersion + 1, __ATOMIC_RELEASE);
  }
}

void CPointerMap::BeginChange(void)
{
  pm_ctChangeDepth++;
  UpdateVersion();
}

void CPointerMap::EndChange(void)
{
  if (pm_ctChangeDepth <= 0) {
    corLogGuardBreach();
    return;
  }
  pm_ctChangeDepth--;
  UpdateVersion();
}

void CPointerMap::Invalidate(void)
{
  pm_bInvalid = true;
  UpdateVersion();
}

void CPointerMap::Place(Table *pt, const void *pvKey, void *pvValue)
{
  unsigned long i = Home(pt, pvKey);
  while (pt->t_aslots[i].s_pvKey != nullptr) i = (i + 1) & pt->t_ulMask;
  // The value first: a reader that sees the key sees its value (the version catches the rest).
  __atomic_store_n(&pt->t_aslots[i].s_pvValue, pvValue, __ATOMIC_RELAXED);
  __atomic_store_n(&pt->t_aslots[i].s_pvKey, pvKey, __ATOMIC_RELAXED);
}

void CPointerMap::Grow(void)
{
  Table *ptOld = pm_ptTable;
  const int iBits = ptOld == nullptr ? iFirstBits : 32 - ptOld->t_iShift + 1;
  // (more entries than a 32-bit address space can hold keys for)
  if (iBits > 27) conFatalErrorF("CPointerMap: too many entries");
  const unsigned long ctSlots = 1UL << iBits;
  Table *pt = (Table *)memMAlloc(sizeof(Table) + (ctSlots - 1) * sizeof(Slot));
  memset((void *)pt->t_aslots, 0, ctSlots * sizeof(Slot));
  pt->t_ulMask = ctSlots - 1;
  pt->t_iShift = 32 - iBits;
  pt->t_ptRetired = ptOld;
  if (ptOld != nullptr) {
    for (unsigned long i = 0; i <= ptOld->t_ulMask; i++) {
      const Slot &s = ptOld->t_aslots[i];
      if (s.s_pvKey != nullptr) Place(pt, s.s_pvKey, s.s_pvValue);
    }
  }
  // Readers find the new array complete; the old one stays readable for those still in it.
  __atomic_store_n(&pm_ptTable, pt, __ATOMIC_RELEASE);
}

void CPointerMap::Add(const void *pvKey, void *pvValue)
{
  if (pvKey == nullptr) {
    corLogGuardBreach();
    return;
  }
  BeginChange();
  if (pm_ptTable == nullptr || 2 * (unsigned long)(pm_ctUsed + 1) > pm_ptTable->t_ulMask + 1) {
    Grow();
  }
  Place(pm_ptTable, pvKey, pvValue);
  pm_ctUsed++;
  EndChange();
}

void CPointerMap::Clear(void)
{
  BeginChange();
  if (pm_ptTable != nullptr) {
    for (unsigned long i = 0; i <= pm_ptTable->t_ulMask; i++) {
      __atomic_store_n(&pm_ptTable->t_aslots[i].s_pvKey, (const void *)nullptr, __ATOMIC_RELAXED);
    }
  }
  pm_ctUsed = 0;
  pm_bInvalid = false;
  EndChange();
}

} // namespace QuennelEngine
