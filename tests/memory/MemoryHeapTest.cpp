// The virtual-memory pool and the size-class heap over it.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <stdarg.h>
#include <string.h>
#include <string>
#include <vector>

using namespace QuennelEngine;
using namespace QuennelEngine::Test;

namespace {

// A stand-in for conTraceF: formats the positional arguments by their tags into one text.
std::string _strTrace;

void CaptureTrace(const char *strFormat, ...)
{
  int ctArgs = 0;
  for (const char *pch = strFormat; *pch != 0; pch++) {
    if (pch[0] == '%' && pch[1] >= '1' && pch[1] <= '9' && pch[1] - '0' > ctArgs)
      ctArgs = pch[1] - '0';
  }
  std::string astrArgs[9];
  va_list args;
  va_start(args, strFormat);
  for (int i = 0; i < ctArgs; i++) {
    unsigned long ulTag = va_arg(args, unsigned long);
    char ach[32];
    switch (ulTag) {
    case 0xABCD0003:
      snprintf(ach, sizeof(ach), "%ld", va_arg(args, long));
      break;
    case 0xABCD0004:
      snprintf(ach, sizeof(ach), "%lu", va_arg(args, unsigned long));
      break;
    case 0xABCD0009:
      astrArgs[i] = va_arg(args, const char *);
      continue;
    case 0xABCD000B:
      va_arg(args, void *);
      strcpy(ach, "PTR");
      break;
    default:
      strcpy(ach, "<BAD TAG>");
      break;
    }
    astrArgs[i] = ach;
  }
  va_end(args);
  for (const char *pch = strFormat; *pch != 0; pch++) {
    if (pch[0] == '%' && pch[1] >= '1' && pch[1] <= '9') {
      _strTrace += astrArgs[pch[1] - '1'];
      pch++;
    } else {
      _strTrace += *pch;
    }
  }
}

bool IsConsistent(const CMemoryHeap &mh, MemoryHeapWalk &mhw)
{
  bool bOk = mh.Check(mhw);
  if (!bOk) ADD_FAILURE() << "heap walk: " << mhw.mhw_strError;
  return bOk;
}

} // namespace

TEST(MemoryPool, GrowsInPlaceInsideTheFirstReservation)
{
  CMemoryPoolWin32 mp;
  size_t slReal = 0;
  void *pv = nullptr;
  ASSERT_TRUE(mp.Allocate(10000, slReal, pv));
  EXPECT_GE(slReal, 10000u);
  EXPECT_EQ(slReal % 4096, 0u);
  EXPECT_EQ(mp.GetLastRegion(), pv);
  memset(pv, 0x11, slReal);

  void *pvSame = pv;
  ASSERT_TRUE(mp.Resize(pvSame, 3 << 20, slReal));
  EXPECT_EQ(pvSame, pv);
  EXPECT_GE(slReal, (size_t)3 << 20);
  ((char *)pv)[(3 << 20) - 1] = 1;
  EXPECT_EQ(((unsigned char *)pv)[9999], 0x11);
  // Not past the reservation of size + 200 MiB.
  EXPECT_FALSE(mp.Resize(pvSame, 10000 + CMemoryPoolWin32::MP_SLGROWTHRESERVE + 65536, slReal));

  // Later regions come from anywhere and cannot grow; only the last region can be resized.
  void *pvSecond = nullptr;
  ASSERT_TRUE(mp.Allocate(5000, slReal, pvSecond));
  EXPECT_GE(slReal, 5000u);
  EXPECT_FALSE(mp.Resize(pvSame, 4 << 20, slReal));
  EXPECT_FALSE(mp.Resize(pvSecond, 1 << 20, slReal));
  void *pvNull = nullptr;
  ASSERT_TRUE(mp.Resize(pvNull, 100, slReal)); // a null address allocates
  EXPECT_NE(pvNull, nullptr);
  mp.Free(pvNull);
  mp.Free(pvSecond);
  mp.Free(pv);
  EXPECT_EQ(mp.GetLastRegion(), nullptr);
  EXPECT_FALSE(mp.Allocate(0, slReal, pv));
}

TEST(MemoryHeap, SizeClassesAndBlockSizes)
{
  EXPECT_EQ(CMemoryHeap::SizeClassOf(16), 0);
  EXPECT_EQ(CMemoryHeap::SizeClassOf(24), 1);
  EXPECT_EQ(CMemoryHeap::SizeClassOf(504), 61);
  EXPECT_EQ(CMemoryHeap::SizeClassOf(512), 62);
  EXPECT_EQ(CMemoryHeap::SizeClassOf(1016), 62);
  EXPECT_EQ(CMemoryHeap::SizeClassOf(1024), 63);
  EXPECT_EQ(CMemoryHeap::SizeClassOf(0x80000000UL), 84);
  // (granularity + s + 3) rounded down to the granularity, at least 16.
  EXPECT_EQ(CMemoryHeap::BlockSizeFor(1, 8), 16u);
  EXPECT_EQ(CMemoryHeap::BlockSizeFor(12, 8), 16u);
  EXPECT_EQ(CMemoryHeap::BlockSizeFor(13, 8), 24u);
  EXPECT_EQ(CMemoryHeap::BlockSizeFor(100, 8), 104u);
  EXPECT_EQ(CMemoryHeap::BlockSizeFor(13, 16), 32u);
  EXPECT_EQ(CMemoryHeap::BlockSizeFor(0xFFFFFFF0UL, 8), 0u);

  CGuardBreachCounter gbc;
  EXPECT_EQ(memGetMemoryHeapGranularity(), 8u);
  memSetMemoryHeapGranularity(24);
  EXPECT_EQ(memGetMemoryHeapGranularity(), 8u);
  EXPECT_EQ(gbc.Count(), 1);
  memSetMemoryHeapGranularity(32);
  CMemoryPoolWin32 mp;
  CMemoryHeap mh(&mp);
  memSetMemoryHeapGranularity(8);
  EXPECT_EQ(mh.GetGranularity(), 32u);
  void *p = mh.Allocate(1);
  EXPECT_EQ((size_t)p % 32, 8u); // the block is aligned; its bytes follow its two words
  EXPECT_EQ(mh.GetBlockSize(p), 32u);
  mh.Free(p);
  EXPECT_EQ(memCreateCPUMemoryHeap(nullptr), nullptr);
}

TEST(MemoryHeap, SplittingMergingAndExactClasses)
{
  CMemoryPoolWin32 mp;
  CMemoryHeap *pmh = memCreateCPUMemoryHeap(&mp);
  CMemoryHeap &mh = *pmh;
  MemoryHeapWalk mhw;

  char *pA = (char *)mh.Allocate(40);
  ASSERT_NE(pA, nullptr);
  char *pchCore = (char *)mh.GetCore();
  EXPECT_EQ(pA, pchCore + 8);
  EXPECT_EQ(mh.GetBlockSize(pA), 48u);
  char *pB = (char *)mh.Allocate(40);
  char *pC = (char *)mh.Allocate(40);
  EXPECT_EQ(pB, pA + 48);
  EXPECT_EQ(pC, pB + 48);
  ASSERT_TRUE(IsConsistent(mh, mhw));
  EXPECT_EQ(mhw.mhw_ctFreeBlocks, 1); // the rest of the core, split off

  // A block between live ones goes to its exact class and is taken back first.
  mh.Free(pB);
  EXPECT_EQ(mh.CountFreeBlocks(CMemoryHeap::SizeClassOf(48)), 1);
  EXPECT_EQ(mh.Allocate(44), pB);
  EXPECT_EQ(mh.CountFreeBlocks(CMemoryHeap::SizeClassOf(48)), 0);
  // Merging on both sides leaves one free block.
  mh.Free(pA);
  mh.Free(pC);
  ASSERT_TRUE(IsConsistent(mh, mhw));
  EXPECT_EQ(mhw.mhw_ctFreeBlocks, 2);
  mh.Free(pB);
  ASSERT_TRUE(IsConsistent(mh, mhw));
  EXPECT_EQ(mhw.mhw_ctFreeBlocks, 1);
  EXPECT_EQ(mhw.mhw_ctUsedBlocks, 0);

  // Ranged classes are kept sorted: the smallest block that fits is taken.
  std::vector<char *> apch;
  for (size_t sl : {600, 16, 800, 16, 700, 16}) apch.push_back((char *)mh.Allocate(sl));
  mh.Free(apch[0]);
  mh.Free(apch[2]);
  mh.Free(apch[4]);
  ASSERT_TRUE(IsConsistent(mh, mhw));
  EXPECT_EQ(mh.CountFreeBlocks(62), 3);
  EXPECT_EQ(mh.Allocate(650), apch[4]);
  // A remainder of 16 bytes or less stays with the block.
  EXPECT_EQ(mh.Allocate(590), apch[0]);
  EXPECT_EQ(mh.GetBlockSize(apch[0]), 608u);
  EXPECT_EQ(mh.CountFreeBlocks(62), 1);
  // A larger remainder is split off into its class.
  EXPECT_EQ(mh.Allocate(700), apch[2]);
  EXPECT_EQ(mh.CountFreeBlocks(CMemoryHeap::SizeClassOf(808 - 704)), 1);
  ASSERT_TRUE(IsConsistent(mh, mhw));

  CGuardBreachCounter gbc;
  mh.Free(apch[1]);
  mh.Free(apch[1]); // already free: refused
  EXPECT_EQ(gbc.Count(), 1);
  ASSERT_TRUE(IsConsistent(mh, mhw));
  memDestroyMemoryHeap(pmh);
  EXPECT_EQ(mp.GetLastRegion(), nullptr); // the core went back to the pool
}

TEST(MemoryHeap, CoreGrowsInPlaceFromThePool)
{
  CMemoryPoolWin32 mp;
  CMemoryHeap mh(&mp);
  MemoryHeapWalk mhw;
  char *pFirst = (char *)mh.Allocate(60000);
  char *pchCore = (char *)mh.GetCore();
  size_t slCore = mh.GetCoreSize();
  EXPECT_EQ(slCore, 65536u);
  // The free last block grows by what it lacks and serves the request from where it starts.
  char *pSecond = (char *)mh.Allocate(70000);
  EXPECT_EQ(mh.GetCore(), pchCore);
  EXPECT_EQ(pSecond, pFirst + mh.GetBlockSize(pFirst));
  EXPECT_EQ(mh.GetCoreSize(), slCore + 65536);
  // Again from the free rest of the core.
  char *pThird = (char *)mh.Allocate(200000);
  EXPECT_EQ(pThird, pSecond + mh.GetBlockSize(pSecond));
  memset(pThird, 3, 200000);
  ASSERT_TRUE(IsConsistent(mh, mhw));

  // A random workload keeps the boundary tags and the lists straight.
  std::vector<char *> apch(512, nullptr);
  unsigned long ulRandom = 99;
  for (int i = 0; i < 20000; i++) {
    ulRandom = ulRandom * 1103515245 + 12345;
    char *&pch = apch[(ulRandom >> 8) % apch.size()];
    if (pch != nullptr) {
      ASSERT_EQ((unsigned char)pch[0], (unsigned char)(uintptr_t)pch);
      mh.Free(pch);
      pch = nullptr;
    } else {
      size_t sl =
          (ulRandom >> 20) % 8 == 0 ? 600 + (ulRandom >> 12) % 5000 : 1 + (ulRandom >> 16) % 300;
      pch = (char *)mh.Allocate(sl);
      ASSERT_NE(pch, nullptr);
      pch[0] = (char)(uintptr_t)pch;
    }
    if (i % 5000 == 0) {
      ASSERT_TRUE(IsConsistent(mh, mhw));
    }
  }
  for (char *pch : apch) mh.Free(pch);
  mh.Free(pFirst);
  mh.Free(pSecond);
  mh.Free(pThird);
  ASSERT_TRUE(IsConsistent(mh, mhw));
  EXPECT_EQ(mhw.mhw_ctFreeBlocks, 1);
  EXPECT_EQ(mh.GetCore(), pchCore);
}

TEST(MemoryHeap, DumpsOfTheFreeListsAndTheCore)
{
  CMemoryPoolWin32 mp;
  CMemoryHeap mh(&mp);
  _strTrace.clear();
  mh.DumpMemory(CaptureTrace);
  EXPECT_EQ(_strTrace, "\n-> Memory Heap (BEGIN memory dump, Ptr=PTR, CoreSize=0 B)\n"
                       "Legend: '#' occupied, '*' header, '0' free\n"
                       "\n-> Memory Heap (END memory dump)\n\n");

  char *pA = (char *)mh.Allocate(40);
  char *pB = (char *)mh.Allocate(24);
  mh.Allocate(8);
  mh.Free(pA);
  (void)pB;
  _strTrace.clear();
  mh.DumpFreeLists(CaptureTrace);
  EXPECT_EQ(_strTrace, "\n-> Free List 4(1) (block size == 48)\n"
                       "    Pos   Size\n"
                       "  1. 48\n"
                       "\n-> Free List 68(1) ( 32768 <= block size < 65536)\n"
                       "    Pos   Size\n"
                       "  1. 65432\n");

  _strTrace.clear();
  mh.DumpMemory(CaptureTrace);
  std::string strMap = std::string(8, '*') + std::string(40, '0') + std::string(8, '*') +
                       std::string(24, '#') + std::string(8, '*') + std::string(8, '#') +
                       std::string(8, '*');
  std::string strFirstLine = strMap.substr(0, 100) + "\n";
  size_t iBody = _strTrace.find("free\n");
  ASSERT_NE(iBody, std::string::npos);
  EXPECT_EQ(_strTrace.compare(iBody + 5, strFirstLine.size(), strFirstLine), 0);
  // 65536 bytes at 100 a line between the legend and the end; the last line ends on the sentinel.
  size_t ctLines = 0;
  for (char ch : _strTrace) ctLines += ch == '\n';
  EXPECT_EQ(ctLines, 2u + 1u + 656u + 3u);
  EXPECT_NE(_strTrace.find("CoreSize=65536 B"), std::string::npos);
  EXPECT_NE(
      _strTrace.find(std::string(28, '0') + "********\n\n-> Memory Heap (END memory dump)\n\n"),
      std::string::npos);
}

// The ranged lists are entered through an index of their stretches: blocks of distinct sizes all
// over one ranged class, freed in a scrambled order between live spacers, must still be found
// smallest first, whichever stretch (or none) holds the request's own size.
TEST(MemoryHeap, RangedSearchesTakeTheSmallestBlockThatFits)
{
  for (unsigned long ulSeed : {1UL, 7UL, 12345UL}) {
    CMemoryPoolWin32 mp;
    CMemoryHeap mh(&mp);
    MemoryHeapWalk mhw;
    unsigned long ulRandom = ulSeed;
    auto Next = [&]() { return (ulRandom = ulRandom * 1103515245 + 12345) >> 8; };
    // Blocks of 512 to 1016 bytes, each size once, in a scrambled order, each followed by a
    // live spacer so that no two free blocks merge.
    std::vector<size_t> aslBlocks;
    for (size_t sl = 512; sl <= 1016; sl += 8) aslBlocks.push_back(sl);
    for (size_t i = aslBlocks.size() - 1; i > 0; i--)
      std::swap(aslBlocks[i], aslBlocks[Next() % (i + 1)]);
    std::vector<char *> apchBlocks;
    for (size_t sl : aslBlocks) {
      apchBlocks.push_back((char *)mh.Allocate(sl - 4));
      ASSERT_EQ(mh.GetBlockSize(apchBlocks.back()), sl);
      mh.Allocate(8);
    }
    // Free three in four of them; the model keeps the free blocks of the class by address.
    std::vector<std::pair<char *, size_t>> aFree;
    for (size_t i = 0; i < apchBlocks.size(); i++) {
      if (Next() % 4 == 0) continue;
      mh.Free(apchBlocks[i]);
      aFree.push_back({apchBlocks[i], aslBlocks[i]});
      ASSERT_TRUE(IsConsistent(mh, mhw));
    }
    EXPECT_EQ(mh.CountFreeBlocks(62), (long)aFree.size());
    // Requests over the class take the smallest free block that fits; a remainder of more than
    // 16 bytes stays free where it was split off.
    for (;;) {
      size_t slWanted = 512 + 8 * (Next() % 64);
      size_t iBest = aFree.size();
      for (size_t i = 0; i < aFree.size(); i++) {
        if (aFree[i].second >= slWanted &&
            (iBest == aFree.size() || aFree[i].second < aFree[iBest].second))
          iBest = i;
      }
      if (iBest == aFree.size()) break;
      char *pch = (char *)mh.Allocate(slWanted - 4);
      ASSERT_EQ(pch, aFree[iBest].first) << "request of " << slWanted;
      size_t slRest = aFree[iBest].second - slWanted;
      if (slRest > 16) {
        EXPECT_EQ(mh.GetBlockSize(pch), slWanted);
        aFree[iBest] = {pch + slWanted, slRest};
        if (slRest < 512) aFree.erase(aFree.begin() + iBest); // into an exact class
      } else {
        aFree.erase(aFree.begin() + iBest);
      }
      ASSERT_TRUE(IsConsistent(mh, mhw));
    }
  }
}
