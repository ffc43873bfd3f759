// Memory benchmark: the allocation entry points, per-type statistics, the pile allocator and the
// size-class heap against the C runtime's malloc and free, measured in the same process.
#include "BenchSupport.h"
#include "core/Core.h"

#include <stdlib.h>

using namespace QuennelEngine;
using namespace QuennelEngine::Bench;

namespace {

const int _ctWindow = 64; // blocks alive at once in the pair loops
const int _ctSizes = 256;
size_t _aslSizes[_ctSizes];
void *_apvWindow[_ctWindow];

// A stand-in descriptor: the statistics are all it holds here.
MemoryTypeStats _mtsType;
MemoryTypeStats _mtsUnknown;

MemoryTypeStats *Provider(const CDataType *pdt)
{
  return pdt == nullptr ? &_mtsUnknown : (MemoryTypeStats *)pdt;
}

// Nanoseconds per free and allocation of one round of turnover in the window of live blocks: the
// window is filled before the clock starts and emptied after it stops.
template <class A, class F> double PairRound(long ct, A fnAlloc, F fnFree)
{
  for (int i = 0; i < _ctWindow; i++) _apvWindow[i] = fnAlloc(_aslSizes[i]);
  unsigned long i = 0;
  auto fnStep = [&]() {
    void *&pv = _apvWindow[i & (_ctWindow - 1)];
    fnFree(pv);
    pv = fnAlloc(_aslSizes[i & (_ctSizes - 1)]);
    i++;
  };
  double dNs = TimeRound(ct, fnStep);
  for (int j = 0; j < _ctWindow; j++) fnFree(_apvWindow[j]);
  return dNs;
}

// Interleaved rounds of two functions that each measure one round; each runs once first, so
// first-use costs land in neither side.
template <class A, class B> Comparison CompareRounds(A fnOurs, B fnReference)
{
  fnOurs();
  fnReference();
  return Interleave(ctDefaultRounds, fnOurs, fnReference);
}

} // namespace

int main()
{
  unsigned long ulRandom = 1;
  for (int i = 0; i < _ctSizes; i++) {
    ulRandom = ulRandom * 1103515245 + 12345;
    _aslSizes[i] = 16 + (ulRandom >> 8) % 241;
  }
  const long ct = 500000; // per round

  // Pairs of 16 to 256 bytes: each block freed right after it is taken.
  unsigned long iPair = 0, iCrtPair = 0;
  CompareAndReport(
      "memMAlloc/memFree pair, 16-256 B", ct,
      [&]() { memFree(memMAlloc(_aslSizes[iPair++ & (_ctSizes - 1)])); }, "malloc/free pair",
      [&]() {
        void *pv = malloc(_aslSizes[iCrtPair++ & (_ctSizes - 1)]);
        Keep(pv);
        free(pv);
      });

  // The same sizes turning over in a window of live blocks, so blocks are freed between others.
  auto OursAlloc = [](size_t sl) { return memMAlloc(sl); };
  auto OursFree = [](void *pv) { memFree(pv); };
  auto CrtAlloc = [](size_t sl) { return malloc(sl); };
  auto CrtFree = [](void *pv) { free(pv); };
  Comparison c = CompareRounds([&] { return PairRound(ct, OursAlloc, OursFree); },
                               [&] { return PairRound(ct, CrtAlloc, CrtFree); });
  Report("memMAlloc/memFree turnover of 64 blocks", c, "malloc/free turnover");

  // The turnover with per-type statistics: single objects of one type, against the untyped one.
  memSetTypeStatsProvider(Provider);
  const CDataType *pdt = (const CDataType *)&_mtsType;
  c = CompareRounds(
      [&] {
        return PairRound(
            ct, [pdt](size_t sl) { return memMAllocSingle(sl, pdt); },
            [pdt](void *pv) { memFreeSingle(pv, pdt); });
      },
      [&] { return PairRound(ct, OursAlloc, OursFree); });
  memSetTypeStatsProvider(nullptr);
  Report("memMAllocSingle/memFreeSingle with a type", c, "untyped turnover");
  // The ratio is untyped / typed per round, so the cost is its inverse less one.
  printf("%-44s %8.1f%%   (goal: at most 15%%)\n", "  statistics cost",
         c.sRatio.dMedian > 0 ? (1 / c.sRatio.dMedian - 1) * 100 : 0.0);

  // Pile pieces given back all at once, against malloc of the same pieces freed one by one;
  // nanoseconds per piece.
  const int ctPieces = 1000;
  const long ctPileRounds = 400;
  static void *apvPieces[ctPieces];
  CPileAllocator pa;
  auto fnPile = [&]() {
    for (int i = 0; i < ctPieces; i++) Keep(pa.Allocate((long)_aslSizes[i & 255] / 4));
    pa.FreeAll();
  };
  auto fnMalloc = [&]() {
    for (int i = 0; i < ctPieces; i++) apvPieces[i] = malloc(_aslSizes[i & 255] / 4);
    for (int i = 0; i < ctPieces; i++) free(apvPieces[i]);
  };
  c = CompareRounds([&] { return TimeRound(ctPileRounds, fnPile) / ctPieces; },
                    [&] { return TimeRound(ctPileRounds, fnMalloc) / ctPieces; });
  Report("CPileAllocator::Allocate (FreeAll per 1000)", c, "malloc + free");

  // Mixed sizes on the size-class heap: mostly 8-128 bytes, one in eight 256 B-4 KiB.
  const int ctMixed = 4096;
  static size_t aslMixed[ctMixed];
  for (int i = 0; i < ctMixed; i++) {
    ulRandom = ulRandom * 1103515245 + 12345;
    aslMixed[i] =
        (ulRandom >> 24) % 8 == 0 ? 256 + (ulRandom >> 8) % 3840 : 8 + (ulRandom >> 8) % 120;
  }
  CMemoryPoolWin32 mp;
  CMemoryHeap *pmh = memCreateCPUMemoryHeap(&mp);
  auto HeapAlloc = [&](size_t sl) { return pmh->Allocate(sl); };
  auto HeapFree = [&](void *pv) { pmh->Free(pv); };

  // A batch of 1000 blocks taken, then freed in a scattered order; nanoseconds per block.
  static void *apvBatch[1000];
  unsigned long iBatch = 0;
  auto BatchRound = [&](auto fnAlloc, auto fnFree) {
    auto fnBatch = [&]() {
      for (int i = 0; i < 1000; i++) apvBatch[i] = fnAlloc(aslMixed[(iBatch + i) & (ctMixed - 1)]);
      for (int i = 0; i < 1000; i++) fnFree(apvBatch[(i * 7919) % 1000]);
      iBatch += 1000;
    };
    return TimeRound(200, fnBatch) / 1000;
  };
  c = CompareRounds([&] { return BatchRound(HeapAlloc, HeapFree); },
                    [&] { return BatchRound(CrtAlloc, CrtFree); });
  Report("CMemoryHeap batch of 1000, scattered frees", c, "malloc/free batch");

  // 512 live blocks turning over at random.
  static void *apvMixed[512];
  auto TurnoverRound = [&](auto fnAlloc, auto fnFree) {
    for (int i = 0; i < 512; i++) apvMixed[i] = fnAlloc(aslMixed[i]);
    unsigned long i = 0;
    auto fnStep = [&]() {
      void *&pv = apvMixed[(i * 7919) & 511];
      fnFree(pv);
      pv = fnAlloc(aslMixed[i & (ctMixed - 1)]);
      i++;
    };
    double dNs = TimeRound(ct, fnStep);
    for (int j = 0; j < 512; j++) fnFree(apvMixed[j]);
    return dNs;
  };
  c = CompareRounds([&] { return TurnoverRound(HeapAlloc, HeapFree); },
                    [&] { return TurnoverRound(CrtAlloc, CrtFree); });
  Report("CMemoryHeap turnover of 512 blocks", c, "malloc/free turnover");
  memDestroyMemoryHeap(pmh);

  printf("\nGoals: memMAlloc pairs >= 3x, pile >= 10x, CMemoryHeap mixed >= 5x the C runtime.\n");
  return 0;
}
