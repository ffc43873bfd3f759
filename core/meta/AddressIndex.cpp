#include "core/meta/AddressIndex.h"

#include "core/memory/Memory.h"

#include <string.h>

namespace QuennelEngine {

// A page's first table: four cache lines.
static const unsigned long _ai_ctFirstSlots = 32;
static const int _ai_iFirstShift = 7;
// Probes beyond this many make a page's table grow.
static const unsigned long _ai_ctLongProbe = 8;
static const size_t _ai_slChunk = 256 * 1024;

static int Log2(unsigned long ul)
{
  int i = 0;
  while (ul > 1) {
    ul >>= 1;
    i++;
  }
  return i;
}

CAddressIndex::~CAddressIndex(void)
{
  memFree(ai_apPages);
  while (ai_pChunks != nullptr) {
    Chunk *pc = ai_pChunks;
    ai_pChunks = pc->c_pNext;
    memFree(pc);
  }
}

CAddressIndex::Slot *CAddressIndex::AllocSlots(unsigned long ct)
{
  const int iLog = Log2(ct);
  Slot *as = ai_apFree[iLog];
  if (as != nullptr) {
    ai_apFree[iLog] = *(Slot **)as;
  } else {
    const size_t slBytes = ct * sizeof(Slot);
    if (ai_pCurrent == nullptr || ai_slCurrentUsed + slBytes > ai_pCurrent->c_slSize) {
      // The next kept chunk if it is large enough, else a new one (kept after the others).
      Chunk *pc = ai_pCurrent == nullptr ? ai_pChunks : ai_pCurrent->c_pNext;
      while (pc != nullptr && pc->c_slSize < slBytes) pc = pc->c_pNext;
      if (pc == nullptr) {
        const size_t slSize = slBytes > _ai_slChunk ? slBytes : _ai_slChunk;
        pc = (Chunk *)memMAlloc(sizeof(Chunk) + slSize);
        pc->c_slSize = slSize;
        pc->c_pNext = nullptr;
        Chunk **ppc = &ai_pChunks;
        while (*ppc != nullptr) ppc = &(*ppc)->c_pNext;
        *ppc = pc;
      }
      ai_pCurrent = pc;
      ai_slCurrentUsed = 0;
    }
    as = (Slot *)((char *)(ai_pCurrent + 1) + ai_slCurrentUsed);
    ai_slCurrentUsed += slBytes;
  }
  memset(as, 0, ct * sizeof(Slot));
  return as;
}

void CAddressIndex::FreeSlots(Slot *as, unsigned long ct)
{
  const int iLog = Log2(ct);
  *(Slot **)as = ai_apFree[iLog];
  ai_apFree[iLog] = as;
}

void CAddressIndex::GrowDirectory(void)
{
  Page *apOld = ai_apPages;
  const unsigned long ctOld = apOld == nullptr ? 0 : ai_ulMask + 1;
  const unsigned long ctNew = ctOld == 0 ? 256 : ctOld * 2;
  ai_apPages = (Page *)memMAlloc(ctNew * sizeof(Page));
  memset(ai_apPages, 0, ctNew * sizeof(Page));
  ai_ulMask = ctNew - 1;
  ai_iShift = 32 - Log2(ctNew);
  for (unsigned long ul = 0; ul < ctOld; ul++) {
    const Page &pOld = apOld[ul];
    if (pOld.p_aSlots == nullptr) continue;
    for (unsigned long ulNew = (pOld.p_ulPage * 2654435761UL) >> ai_iShift;;
         ulNew = (ulNew + 1) & ai_ulMask) {
      if (ai_apPages[ulNew].p_aSlots == nullptr) {
        ai_apPages[ulNew] = pOld;
        break;
      }
    }
  }
  memFree(apOld);
}

CAddressIndex::Page &CAddressIndex::AddPage(unsigned long ulPage)
{
  if ((ai_ctPages + 1) * 2 > (long)(ai_ulMask + 1)) GrowDirectory();
  for (unsigned long ul = (ulPage * 2654435761UL) >> ai_iShift;; ul = (ul + 1) & ai_ulMask) {
    Page &p = ai_apPages[ul];
    if (p.p_aSlots != nullptr) {
      if (p.p_ulPage == ulPage) return p;
      continue;
    }
    p.p_ulPage = ulPage;
    p.p_aSlots = AllocSlots(_ai_ctFirstSlots);
    p.p_ulMask = _ai_ctFirstSlots - 1;
    p.p_iShift = _ai_iFirstShift;
    p.p_ctUsed = 0;
    ai_ctPages++;
    return p;
  }
}

void CAddressIndex::GrowPage(Page &p)
{
  Slot *asOld = p.p_aSlots;
  const unsigned long ctOld = p.p_ulMask + 1u;
  p.p_aSlots = AllocSlots(ctOld * 2);
  p.p_ulMask = (unsigned short)(ctOld * 2 - 1);
  p.p_iShift--;
  for (unsigned long ul = 0; ul < ctOld; ul++) {
    const Slot &s = asOld[ul];
    if (s.s_pv == nullptr) continue;
    for (unsigned long ulNew = HomeOf(s.s_pv, p);; ulNew = (ulNew + 1) & p.p_ulMask) {
      if (p.p_aSlots[ulNew].s_pv == nullptr) {
        p.p_aSlots[ulNew] = s;
        break;
      }
    }
  }
  FreeSlots(asOld, ctOld);
}

void CAddressIndex::AddSlow(const void *pv, long i)
{
  Page &p = AddPage(PageOf(pv));
  if ((p.p_ctUsed + 1) * 2 > p.p_ulMask + 1u && p.p_iShift > 0) GrowPage(p);
  for (;;) {
    unsigned long ctProbes = 0;
    for (unsigned long ul = HomeOf(pv, p);; ul = (ul + 1) & p.p_ulMask, ctProbes++) {
      Slot &s = p.p_aSlots[ul];
      if (s.s_pv == pv) {
        s.s_i = i;
        return;
      }
      if (s.s_pv == nullptr) {
        // Addresses bunched in a part of the page: spread them over more slots instead.
        if (ctProbes >= _ai_ctLongProbe && p.p_iShift > 0) break;
        s.s_pv = pv;
        s.s_i = i;
        p.p_ctUsed++;
        ai_ctEntries++;
        return;
      }
    }
    GrowPage(p);
  }
}

size_t CAddressIndex::BytesHeld(void) const
{
  size_t sl = ai_apPages == nullptr ? 0 : (ai_ulMask + 1) * sizeof(Page);
  for (const Chunk *pc = ai_pChunks; pc != nullptr; pc = pc->c_pNext) sl += pc->c_slSize;
  return sl;
}

void CAddressIndex::Reset(void)
{
  if (ai_ctPages > 0) memset(ai_apPages, 0, (ai_ulMask + 1) * sizeof(Page));
  ai_ctPages = 0;
  ai_ctEntries = 0;
  ai_pCurrent = nullptr;
  ai_slCurrentUsed = 0;
  memset(ai_apFree, 0, sizeof(ai_apFree));
}

} // namespace QuennelEngine
