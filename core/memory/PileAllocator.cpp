#include "core/memory/PileAllocator.h"

#include "core/frame/CodeGuard.h"
#include "core/memory/Memory.h"
#include "core/streams/DataBlock.h"

#include <new>

namespace QuennelEngine {

struct PileAllocatorData {
  CDataBlock **pa_apdbBlocks; // owned; the last one is current
  long pa_ctBlocks;
  long pa_ctBlocksAllocated; // grows in steps of 16
  long pa_ctStep;
  long pa_slCurrentSize;
  long pa_slUsed;
  char *pa_pchCurrent; // the current block's data
  void *pa_pvLast;     // the last piece handed out, or null
};

static const long _ctBlockArrayStep = 16;

CPileAllocator::CPileAllocator()
{
  pa_pData = new (memMAlloc(sizeof(PileAllocatorData))) PileAllocatorData{};
  pa_pData->pa_ctStep = 16;
}

CPileAllocator::~CPileAllocator()
{
  Clear();
  memFree(pa_pData);
}

static void AddBlock(PileAllocatorData *ppa, long slSize)
{
  if (ppa->pa_ctBlocks == ppa->pa_ctBlocksAllocated) {
    ppa->pa_ctBlocksAllocated += _ctBlockArrayStep;
    ppa->pa_apdbBlocks = (CDataBlock **)memReAlloc(ppa->pa_apdbBlocks, ppa->pa_ctBlocksAllocated *
                                                                           sizeof(CDataBlock *));
  }
  CDataBlock *pdb = new (memMAlloc(sizeof(CDataBlock))) CDataBlock;
  pdb->Allocate(slSize);
  ppa->pa_apdbBlocks[ppa->pa_ctBlocks++] = pdb;
  ppa->pa_pchCurrent = (char *)pdb->GetData();
  ppa->pa_slCurrentSize = slSize;
  ppa->pa_slUsed = 0;
}

static void FreeBlocks(PileAllocatorData *ppa)
{
  for (long i = 0; i < ppa->pa_ctBlocks; i++) {
    ppa->pa_apdbBlocks[i]->~CDataBlock();
    memFree(ppa->pa_apdbBlocks[i]);
  }
  ppa->pa_ctBlocks = 0;
  ppa->pa_pchCurrent = nullptr;
  ppa->pa_slCurrentSize = 0;
  ppa->pa_slUsed = 0;
  ppa->pa_pvLast = nullptr;
}

void *CPileAllocator::Allocate(long slSize)
{
  PileAllocatorData *ppa = pa_pData;
  if (slSize <= 0) {
    if (slSize < 0) {
      corLogGuardBreach();
      return nullptr;
    }
    slSize = 1;
  }
  if (QE_UNLIKELY(ppa->pa_slCurrentSize - ppa->pa_slUsed < slSize)) {
    long long llBlock = (long long)ppa->pa_ctStep * slSize;
    // Beyond what a block can hold, the step gives way to the request itself.
    AddBlock(ppa, llBlock > 0x7FFFFFFFLL ? slSize : (long)llBlock);
  }
  void *p = ppa->pa_pchCurrent + ppa->pa_slUsed;
  ppa->pa_slUsed += slSize;
  ppa->pa_pvLast = p;
  return p;
}

void CPileAllocator::FreeLast(void *p)
{
  PileAllocatorData *ppa = pa_pData;
  if (p == nullptr) return; // freeing null does nothing, as everywhere
  if (p != ppa->pa_pvLast) {
    corLogGuardBreach();
    return;
  }
  ppa->pa_slUsed = (long)((char *)p - ppa->pa_pchCurrent);
  ppa->pa_pvLast = nullptr;
}

void CPileAllocator::FreeAll(void)
{
  PileAllocatorData *ppa = pa_pData;
  ppa->pa_pvLast = nullptr;
  if (ppa->pa_ctBlocks <= 1) {
    ppa->pa_slUsed = 0;
    return;
  }
  long long llSum = 0;
  for (long i = 0; i < ppa->pa_ctBlocks; i++) llSum += ppa->pa_apdbBlocks[i]->GetSize();
  FreeBlocks(ppa);
  AddBlock(ppa, llSum > 0x7FFFFFFFLL ? 0x7FFFFFFF : (long)llSum);
}

void CPileAllocator::Clear(void)
{
  FreeBlocks(pa_pData);
  memFree(pa_pData->pa_apdbBlocks);
  pa_pData->pa_apdbBlocks = nullptr;
  pa_pData->pa_ctBlocksAllocated = 0;
}

void CPileAllocator::SetAllocationStep(long ctStep)
{
  if (ctStep < 1) {
    corLogGuardBreach();
    return;
  }
  pa_pData->pa_ctStep = ctStep;
}

long CPileAllocator::GetAllocationStep(void) const
{
  return pa_pData->pa_ctStep;
}

long CPileAllocator::GetBlockCount(void) const
{
  return pa_pData->pa_ctBlocks;
}

long CPileAllocator::GetCurrentBlockSize(void) const
{
  return pa_pData->pa_slCurrentSize;
}

long CPileAllocator::GetUsedInCurrentBlock(void) const
{
  return pa_pData->pa_slUsed;
}

} // namespace QuennelEngine
