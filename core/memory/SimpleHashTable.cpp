#include "core/memory/SimpleHashTable.h"

#include "core/frame/CodeGuard.h"
#include "core/memory/Memory.h"

#include <string.h>

namespace QuennelEngine {

CSimpleHashTable::CSimpleHashTable(CompareFunction pCompare, HashFunction pHash,
                                   RehashFunction pRehash, long ctStep, long ctCompartments,
                                   long ctGrowthFactor)
    : compare(pCompare), hash(pHash), rehash(pRehash), used(0), step(ctStep), count(0),
      compartments(nullptr), sht_ctInitial(ctCompartments > 0 ? ctCompartments : ctStep),
      sht_ctGrowthFactor(ctGrowthFactor)
{
  if (ctStep <= 0 || pCompare == nullptr || pHash == nullptr) corLogGuardBreach();
  if (step < 0) step = 0;
  if (sht_ctInitial < 0) sht_ctInitial = 0;
  if (sht_ctGrowthFactor < 1) sht_ctGrowthFactor = 1;
  Allocate(sht_ctInitial);
}

CSimpleHashTable::CSimpleHashTable(const CSimpleHashTable &sht)
    : compare(sht.compare), hash(sht.hash), rehash(sht.rehash), used(sht.used), step(sht.step),
      count(0), compartments(nullptr), sht_ctInitial(sht.sht_ctInitial),
      sht_ctGrowthFactor(sht.sht_ctGrowthFactor)
{
  Allocate(sht.count);
  if (count > 0) memcpy(compartments, sht.compartments, count * sizeof(SimpleHashCompartment));
  used = sht.used;
}

CSimpleHashTable &CSimpleHashTable::operator=(const CSimpleHashTable &sht)
{
  if (this == &sht) return *this;
  compare = sht.compare;
  hash = sht.hash;
  rehash = sht.rehash;
  step = sht.step;
  sht_ctInitial = sht.sht_ctInitial;
  sht_ctGrowthFactor = sht.sht_ctGrowthFactor;
  Allocate(sht.count);
  if (count > 0) memcpy(compartments, sht.compartments, count * sizeof(SimpleHashCompartment));
  used = sht.used;
  return *this;
}

CSimpleHashTable::~CSimpleHashTable()
{
  memFree(compartments);
}

void CSimpleHashTable::Allocate(long ctCompartments)
{
  memFree(compartments);
  compartments = nullptr;
  count = ctCompartments;
  used = 0;
  if (count == 0) return;
  compartments = (SimpleHashCompartment *)memMAlloc(count * sizeof(SimpleHashCompartment));
  // Every slot -1: all bytes 0xFF.
  memset((void *)compartments, 0xFF, count * sizeof(SimpleHashCompartment));
}

void CSimpleHashTable::ExpandTable(void)
{
  long ctGrown = count * sht_ctGrowthFactor;
  if (ctGrown < count + step) ctGrown = count + step;
  Allocate(ctGrown);
}

void CSimpleHashTable::ResetTable(void)
{
  Allocate(sht_ctInitial);
}

void CSimpleHashTable::ClearTable(void)
{
  if (count > 0) memset((void *)compartments, 0xFF, count * sizeof(SimpleHashCompartment));
  used = 0;
}

long CSimpleHashTable::GetCompartment(unsigned long ulHash) const
{
  return count > 0 ? (long)(ulHash % (unsigned long)count) : -1;
}

bool CSimpleHashTable::HasRoomForOne(void) const
{
  // used / (5 x count) <= 0.85, in integers: 100 x used <= 85 x 5 x count.
  return count > 0 && 100LL * used <= 85LL * SHT_SLOTS * count;
}

void CSimpleHashTable::AddObject(const void *pvObject, long slValue)
{
  if (slValue < 0) {
    // -1 marks an empty slot; negative values cannot be stored.
    corLogGuardBreach();
    return;
  }
  for (;;) {
    if (HasRoomForOne()) {
      long iCompartment = GetCompartment(hash(pvObject));
      for (long i = 0; i < count; i++) {
        long *psl = compartments[iCompartment].shc_aslValues;
        for (int iSlot = 0; iSlot < SHT_SLOTS; iSlot++) {
          if (psl[iSlot] == -1) {
            psl[iSlot] = slValue;
            used++;
            return;
          }
        }
        if (++iCompartment == count) iCompartment = 0;
      }
    }
    if (step <= 0 && sht_ctGrowthFactor <= 1) {
      // A table that cannot grow can never hold the object.
      corLogGuardBreach();
      return;
    }
    // Too full: grow, let the owner add everything again, then retry.
    ExpandTable();
    if (rehash != nullptr) rehash();
  }
}

SimpleHashSlot CSimpleHashTable::FindObjectSlot(const void *pvObject) const
{
  SimpleHashSlot shs;
  if (count == 0) return shs;
  long iCompartment = GetCompartment(hash(pvObject));
  // Probing walks the compartments in order and wraps once, without a division per step.
  for (long i = 0; i < count; i++) {
    const long *psl = compartments[iCompartment].shc_aslValues;
    for (int iSlot = 0; iSlot < SHT_SLOTS; iSlot++) {
      if (psl[iSlot] == -1) return shs;
      if (compare(psl[iSlot], pvObject)) {
        shs.shs_iCompartment = iCompartment;
        shs.shs_iSlot = iSlot;
        return shs;
      }
    }
    if (++iCompartment == count) iCompartment = 0;
  }
  return shs;
}

long CSimpleHashTable::FindObject(const void *pvObject) const
{
  if (count == 0) return -1;
  const SimpleHashCompartment *pshc = compartments + GetCompartment(hash(pvObject));
  const SimpleHashCompartment *pshcEnd = compartments + count;
  for (long i = 0; i < count; i++) {
    for (int iSlot = 0; iSlot < SHT_SLOTS; iSlot++) {
      long slValue = pshc->shc_aslValues[iSlot];
      if (slValue == -1) return -1;
      if (compare(slValue, pvObject)) return slValue;
    }
    if (++pshc == pshcEnd) pshc = compartments;
  }
  return -1;
}

long CSimpleHashTable::GetSlotValue(const SimpleHashSlot &shs) const
{
  if (shs.shs_iCompartment < 0 || shs.shs_iCompartment >= count || shs.shs_iSlot < 0 ||
      shs.shs_iSlot >= SHT_SLOTS) {
    return -1;
  }
  return compartments[shs.shs_iCompartment].shc_aslValues[shs.shs_iSlot];
}

} // namespace QuennelEngine

#include "core/frame/Console.h"
#include "core/text/Translation.h"

namespace QuennelEngine {

void CSimpleHashTable::DumpHashTableUsage(const void *pvBase, long slStride) const
{
  const long ctSlots = count * SHT_SLOTS;
  long actByUse[SHT_SLOTS + 1] = {};
  for (long i = 0; i < count; i++) {
    int ctUsed = 0;
    for (int iSlot = 0; iSlot < SHT_SLOTS; iSlot++)
      ctUsed += compartments[i].shc_aslValues[iSlot] != -1;
    actByUse[ctUsed]++;
  }
  conTraceF(strTranslate("DOZUSimpleHashTable.Compartments=Compartments %1\n"), ARG_INT, count);
  conTraceF(strTranslate("DOZUSimpleHashTable.Slots=Slots %1/%2 (%3%%)\n"), ARG_INT, used, ARG_INT,
            ctSlots, 0xABCD4007, ctSlots > 0 ? 100.0 * used / ctSlots : 0.0, ".1f");
  for (int ctUsed = 0; ctUsed <= SHT_SLOTS; ctUsed++) {
    conTraceF(strTranslate("DOZUSimpleHashTable.UsedSlots=Compartments with %1 used slots - %2\n"),
              ARG_INT, ctUsed, ARG_INT, actByUse[ctUsed]);
  }
  conTraceF(strTranslate("DOZUSimpleHashTable.Dump=Dumping compartments usage:\n"));
  // Per compartment: '-' an empty slot, '#' an object at home here, '+' one that overflowed here.
  long ctAtHome = 0;
  for (long i = 0; i < count; i++) {
    char strSlots[SHT_SLOTS + 1] = {};
    for (int iSlot = 0; iSlot < SHT_SLOTS; iSlot++) {
      long slValue = compartments[i].shc_aslValues[iSlot];
      if (slValue == -1) {
        strSlots[iSlot] = '-';
        continue;
      }
      const void *pvObject = (const char *)pvBase + slValue * slStride;
      bool bHome = GetCompartment(hash(pvObject)) == i;
      ctAtHome += bHome;
      strSlots[iSlot] = bHome ? '#' : '+';
    }
    conTraceF("%1: %2\n", ARG_INT, i, ARG_TEXT, strSlots);
  }
  conTraceF(
      strTranslate("DOZUSimpleHashTable.Objects=%1/%2 (%3%%) objects are in own compartment\n"),
      ARG_INT, ctAtHome, ARG_INT, used, 0xABCD4007, used > 0 ? 100.0 * ctAtHome / used : 0.0,
      ".1f");
}

} // namespace QuennelEngine
