// Handle values: converting handles to addresses and known addresses to handles, against a
// std::unordered_map lookup under a mutex of the library (the least a shared table costs), and
// the extra cost of freeing a block that has handles, against freeing one that has none.
#include "BenchSupport.h"
#include "core/Core.h"

#include <stdio.h>

#include <unordered_map>

using namespace QuennelEngine;
using namespace QuennelEngine::Bench;

namespace {

const int _ctObjects = 1024; // a power of two
void *_apvObjects[_ctObjects];
unsigned long _ahObjects[_ctObjects];
CSyncMutex _smReference;
std::unordered_map<unsigned long, void *> _mapHandleToPointer;
std::unordered_map<const void *, unsigned long> _mapPointerToHandle;

// Blocks of one size taken and then freed in one timed sweep; nanoseconds per free.
const int _ctFreed = 2000;
void *_apvFreed[_ctFreed];

double FreeRound(bool bWithHandles)
{
  for (int i = 0; i < _ctFreed; i++) {
    _apvFreed[i] = memMAlloc(64);
    if (bWithHandles) hvPointerToHandle(_apvFreed[i]);
  }
  double dStart = Now();
  for (int i = 0; i < _ctFreed; i++) memFree(_apvFreed[i]);
  return (Now() - dStart) * 1e9 / _ctFreed;
}

} // namespace

int main()
{
  for (int i = 0; i < _ctObjects; i++) {
    _apvObjects[i] = memMAlloc(32 + (i & 7) * 8);
    _ahObjects[i] = hvPointerToHandle(_apvObjects[i]);
    _mapHandleToPointer[_ahObjects[i]] = _apvObjects[i];
    _mapPointerToHandle[_apvObjects[i]] = _ahObjects[i];
  }
  const long ct = 400000; // per round

  unsigned long iOurs = 0, iRef = 0;
  Comparison c = CompareNs(
      ct, [&]() { Keep(hvHandleToPointer(_ahObjects[iOurs++ & (_ctObjects - 1)])); },
      [&]() {
        CSyncLock sl(&_smReference);
        Keep(_mapHandleToPointer.find(_ahObjects[iRef++ & (_ctObjects - 1)])->second);
      });
  Report("hvHandleToPointer", c, "locked unordered_map");
  double dToPointer = c.sOurs.dMedian;

  c = CompareNs(
      ct, [&]() { Keep(hvPointerToHandle(_apvObjects[iOurs++ & (_ctObjects - 1)])); },
      [&]() {
        CSyncLock sl(&_smReference);
        Keep(_mapPointerToHandle.find(_apvObjects[iRef++ & (_ctObjects - 1)])->second);
      });
  Report("hvPointerToHandle of a known address", c, "locked unordered_map");
  double dToHandle = c.sOurs.dMedian;

  FreeRound(true);
  FreeRound(false);
  c = Interleave(
      ctDefaultRounds * 2, [] { return FreeRound(true); }, [] { return FreeRound(false); });
  Report("memFree of a block with a handle", c, "memFree without");
  double dExtra = c.sOurs.dMedian - c.sReference.dMedian;
  printf("%-44s %9.1f ns\n", "  extra cost of the handle", dExtra);

  for (int i = 0; i < _ctObjects; i++) memFree(_apvObjects[i]);
  printf("\nGoals: hvHandleToPointer <= 40 ns (%s), hvPointerToHandle of a known address <= 80 ns "
         "(%s), extra cost of freeing a block with a handle <= 100 ns (%s).\n",
         dToPointer <= 40 ? "met" : "missed", dToHandle <= 80 ? "met" : "missed",
         dExtra <= 100 ? "met" : "missed");
  return 0;
}
