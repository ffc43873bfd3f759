#include "core/memory/HashIndex.h"

#include "core/frame/CodeGuard.h"
#include "core/frame/Console.h"
#include "core/memory/Memory.h"

#include <string.h>

namespace QuennelEngine {

// The first table: 64 slots.
static const int iFirstBits = 6;

CHashIndex::~CHashIndex()
{
  memFree(hi_aslots);
}

void CHashIndex::Add(unsigned long ulHash, long slValue)
{
  if (slValue < 0) {
    // -1 marks an empty slot.
    corLogGuardBreach();
    return;
  }
  if (hi_aslots == nullptr || 2 * (unsigned long)(hi_ctUsed + 1) > hi_ulMask + 1) Grow();
  Place(ulHash, slValue);
  hi_ctUsed++;
}

void CHashIndex::Place(unsigned long ulHash, long slValue)
{
  unsigned long i = Home(ulHash);
  while (hi_aslots[i].s_slValue >= 0) i = (i + 1) & hi_ulMask;
  hi_aslots[i].s_ulHash = ulHash;
  hi_aslots[i].s_slValue = slValue;
}

void CHashIndex::Grow(void)
{
  // The hashes are kept, so growing moves the entries without asking the owner.
  const Slot *asOld = hi_aslots;
  const unsigned long ctOld = asOld == nullptr ? 0 : hi_ulMask + 1;
  const int iBits = asOld == nullptr ? iFirstBits : 32 - hi_iShift + 1;
  // (more entries than a 32-bit address space can hold keys for)
  if (iBits > 28) conFatalErrorF("CHashIndex: too many entries");
  const unsigned long ctNew = 1UL << iBits;
  hi_aslots = (Slot *)memMAlloc(ctNew * sizeof(Slot));
  // Every value -1: all bytes 0xFF.
  memset((void *)hi_aslots, 0xFF, ctNew * sizeof(Slot));
  hi_ulMask = ctNew - 1;
  hi_iShift = 32 - iBits;
  for (unsigned long i = 0; i < ctOld; i++) {
    if (asOld[i].s_slValue >= 0) Place(asOld[i].s_ulHash, asOld[i].s_slValue);
  }
  memFree((void *)asOld);
}

void CHashIndex::Clear(void)
{
  if (hi_aslots != nullptr) memset((void *)hi_aslots, 0xFF, (hi_ulMask + 1) * sizeof(Slot));
  hi_ctUsed = 0;
}

void CHashIndex::Reset(void)
{
  memFree(hi_aslots);
  hi_aslots = nullptr;
  hi_ulMask = 0;
  hi_iShift = 0;
  hi_ctUsed = 0;
}

} // namespace QuennelEngine
