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

template <class A, class F> double PairLoop(long ct, A fnAlloc, F fnFree)
{
  for (int i = 0; i < _ctWindow; i++)
    _apvWindow[i] = fnAlloc(_aslSizes[i]);
  unsigned long i = 0;
  double dNs = NsPerOp(ct, [&]() {
    void *&pv = _apvWindow[i & (_ctWindow - 1)];
    fnFree(pv);
    pv = fnAlloc(_aslSizes[i & (_ctSizes - 1)]);
    i++;
  });
  for (int j = 0; j < _ctWindow; j++)
    fnFree(_apvWindow[j]);
  return dNs;
}

} // namespace

int main()
{
  unsigned long ulRandom = 1;
  for (int i = 0; i < _ctSizes; i++) {
    ulRandom = ulRandom * 1103515245 + 12345;
    _aslSizes[i] = 16 + (ulRandom >> 8) % 241;
  }
  const long ct = 2000000;

  // Pairs of 16 to 256 bytes: each block freed right after it is taken.
  unsigned long iPair = 0;
  double dCrtPair = NsPerOp(ct, [&]() {
    void *pv = malloc(_aslSizes[iPair++ & (_ctSizes - 1)]);
    Keep(pv);
    free(pv);
  });
  double dOursPair =
      NsPerOp(ct, [&]() { memFree(memMAlloc(_aslSizes[iPair++ & (_ctSizes - 1)])); });
  Report("memMAlloc/memFree pair, 16-256 B", dOursPair, "malloc/free pair", dCrtPair);

  // The same sizes turning over in a window of live blocks, so blocks are freed between others.
  double dCrt = PairLoop(
      ct, [](size_t sl) { return malloc(sl); }, [](void *pv) { free(pv); });
  double dOurs = PairLoop(
      ct, [](size_t sl) { return memMAlloc(sl); }, [](void *pv) { memFree(pv); });
  Report("memMAlloc/memFree turnover of 64 blocks", dOurs, "malloc/free turnover", dCrt);

  // The turnover with per-type statistics: single objects of one type.
  // Measured in alternation, best of three each, so a burst of load elsewhere hits both alike.
  memSetTypeStatsProvider(Provider);
  const CDataType *pdt = (const CDataType *)&_mtsType;
  double dTyped = 1e30, dUntyped = 1e30;
  for (int iRound = 0; iRound < 3; iRound++) {
    double d = PairLoop(
        ct / 2, [pdt](size_t sl) { return memMAllocSingle(sl, pdt); },
        [pdt](void *pv) { memFreeSingle(pv, pdt); });
    if (d < dTyped) dTyped = d;
    d = PairLoop(
        ct / 2, [](size_t sl) { return memMAlloc(sl); }, [](void *pv) { memFree(pv); });
    if (d < dUntyped) dUntyped = d;
  }
  memSetTypeStatsProvider(nullptr);
  Report("memMAllocSingle/memFreeSingle with a type", dTyped, "untyped turnover", dUntyped);
  printf("%-44s %8.1f%%   (goal: at most 15%%)\n", "  statistics cost",
         (dTyped / dUntyped - 1) * 100);

  // Pile pieces given back all at once, against malloc of the same pieces freed one by one.
  const int ctPieces = 1000;
  static void *apvPieces[ctPieces];
  CPileAllocator pa;
  double dPile = NsPerOp(2000,
                         [&]() {
                           for (int i = 0; i < ctPieces; i++)
                             Keep(pa.Allocate((long)_aslSizes[i & 255] / 4));
                           pa.FreeAll();
                         }) /
                 ctPieces;
  double dMalloc = NsPerOp(2000,
                           [&]() {
                             for (int i = 0; i < ctPieces; i++)
                               apvPieces[i] = malloc(_aslSizes[i & 255] / 4);
                             for (int i = 0; i < ctPieces; i++)
                               free(apvPieces[i]);
                           }) /
                   ctPieces;
  Report("CPileAllocator::Allocate (FreeAll per 1000)", dPile, "malloc + free", dMalloc);

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
  auto CrtAlloc = [](size_t sl) { return malloc(sl); };
  auto CrtFree = [](void *pv) { free(pv); };

  // A batch of 1000 blocks taken, then freed in a scattered order.
  static void *apvBatch[1000];
  unsigned long iBatch = 0;
  auto Batch = [&](auto fnAlloc, auto fnFree) {
    return NsPerOp(1000,
                   [&]() {
                     for (int i = 0; i < 1000; i++)
                       apvBatch[i] = fnAlloc(aslMixed[(iBatch + i) & (ctMixed - 1)]);
                     for (int i = 0; i < 1000; i++)
                       fnFree(apvBatch[(i * 7919) % 1000]);
                     iBatch += 1000;
                   }) /
           1000;
  };
  double dHeapBatch = Batch(HeapAlloc, HeapFree);
  double dCrtBatch = Batch(CrtAlloc, CrtFree);
  Report("CMemoryHeap batch of 1000, scattered frees", dHeapBatch, "malloc/free batch", dCrtBatch);

  // 512 live blocks turning over at random.
  static void *apvMixed[512];
  auto Turnover = [&](auto fnAlloc, auto fnFree) {
    for (int i = 0; i < 512; i++)
      apvMixed[i] = fnAlloc(aslMixed[i]);
    unsigned long i = 0;
    double dNs = NsPerOp(ct, [&]() {
      void *&pv = apvMixed[(i * 7919) & 511];
      fnFree(pv);
      pv = fnAlloc(aslMixed[i & (ctMixed - 1)]);
      i++;
    });
    for (int j = 0; j < 512; j++)
      fnFree(apvMixed[j]);
    return dNs;
  };
  double dHeap = Turnover(HeapAlloc, HeapFree);
  double dMixedCrt = Turnover(CrtAlloc, CrtFree);
  Report("CMemoryHeap turnover of 512 blocks", dHeap, "malloc/free turnover", dMixedCrt);
  memDestroyMemoryHeap(pmh);

  printf("\nGoals: memMAlloc pairs >= 3x, pile >= 10x, CMemoryHeap mixed >= 5x the C runtime.\n");
  return 0;
}
