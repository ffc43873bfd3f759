// The general heap on its own: block layout, splitting and merging, growth, dedicated regions,
// the start map, and a long randomised run against a shadow model.
#include "core/memory/GeneralHeap.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <map>
#include <stdint.h>
#include <string.h>
#include <vector>

using namespace QuennelEngine;

namespace {

// A heap of the test's own, released at the end of the scope.
struct TestHeap {
  CGeneralHeap th_gh;
  explicit TestHeap(bool bQuickLists = false) : th_gh(bQuickLists) {}

  bool IsConsistent(GeneralHeapWalk &ghw)
  {
    bool bOk = th_gh.Check(ghw);
    if (!bOk) ADD_FAILURE() << "heap walk: " << ghw.ghw_strError;
    return bOk;
  }
  // Every region is one free block again.
  bool IsEmpty(void)
  {
    GeneralHeapWalk ghw;
    return IsConsistent(ghw) && ghw.ghw_ctUsedBlocks == 0 &&
           ghw.ghw_ctFreeBlocks == ghw.ghw_ctRegions;
  }
};

// A small, fast, repeatable generator.
struct Random {
  unsigned long r_ul;
  explicit Random(unsigned long ulSeed) : r_ul(ulSeed) {}
  unsigned long Next(void)
  {
    r_ul ^= r_ul << 13;
    r_ul ^= r_ul >> 17;
    r_ul ^= r_ul << 5;
    return r_ul;
  }
  unsigned long Below(unsigned long ul) { return Next() % ul; }
};

} // namespace

TEST(GeneralHeap, BlockLayoutSplittingAndMerging)
{
  TestHeap th;
  CGeneralHeap &gh = th.th_gh;
  EXPECT_EQ(CGeneralHeap::BlockSizeFor(0), 16u);
  EXPECT_EQ(CGeneralHeap::BlockSizeFor(12), 16u);
  EXPECT_EQ(CGeneralHeap::BlockSizeFor(13), 24u);
  EXPECT_EQ(CGeneralHeap::BlockSizeFor(0x7FFFFFF0), 0u); // refused, not wrapped into bit 31
  EXPECT_EQ(gh.Alloc(0x7FFFFFF0), nullptr);

  char *pA = (char *)gh.Alloc(1);
  char *pB = (char *)gh.Alloc(100);
  char *pC = (char *)gh.Alloc(100);
  ASSERT_TRUE(pA && pB && pC);
  EXPECT_EQ((uintptr_t)pA % 8, 0u);
  EXPECT_EQ(CGeneralHeap::UsableSize(pA), 12u);
  // Blocks follow one another: the next header sits right after the usable bytes.
  EXPECT_EQ(pB, pA + 16);
  EXPECT_EQ(pC, pB + 104);
  EXPECT_TRUE(gh.Owns(pA));
  EXPECT_EQ(CGeneralHeap::FindOwner(pA), &gh);
  long lOnStack = 0;
  EXPECT_FALSE(gh.Owns(&lOnStack));
  EXPECT_FALSE(gh.Owns(memGetGeneralHeap())); // the global heap's object is not in its regions

  GeneralHeapWalk ghw;
  ASSERT_TRUE(th.IsConsistent(ghw));
  EXPECT_EQ(ghw.ghw_ctUsedBlocks, 3);
  EXPECT_EQ(ghw.ghw_ctFreeBlocks, 1);

  // A hole between live blocks stays a block of its own and is reused exactly.
  EXPECT_TRUE(gh.Free(pB));
  ASSERT_TRUE(th.IsConsistent(ghw));
  EXPECT_EQ(ghw.ghw_ctFreeBlocks, 2);
  EXPECT_EQ(gh.Alloc(100), pB);
  // Freed neighbours merge on both sides.
  EXPECT_TRUE(gh.Free(pA));
  EXPECT_TRUE(gh.Free(pC));
  ASSERT_TRUE(th.IsConsistent(ghw));
  EXPECT_EQ(ghw.ghw_ctFreeBlocks, 2);
  EXPECT_TRUE(gh.Free(pB));
  EXPECT_TRUE(th.IsEmpty());

  // Freeing what is not a live block is refused and changes nothing, also after a merge.
  EXPECT_FALSE(gh.Free(pB));
  EXPECT_FALSE(gh.Free(pC));
  EXPECT_FALSE(gh.Free(nullptr));
  EXPECT_TRUE(th.IsEmpty());
}

TEST(GeneralHeap, ReallocationInPlaceAndMoving)
{
  TestHeap th;
  CGeneralHeap &gh = th.th_gh;
  char *p = (char *)gh.Alloc(100);
  memset(p, 7, 100);
  CGeneralHeap::HeaderOf(p) |= CGeneralHeap::GH_MARK;
  // Growing into the free space behind it keeps the address and clears the mark.
  EXPECT_EQ(gh.ReAlloc(p, 3000), p);
  EXPECT_EQ(CGeneralHeap::HeaderOf(p) & CGeneralHeap::GH_MARK, 0u);
  EXPECT_GE(CGeneralHeap::UsableSize(p), 3000u);
  // Shrinking keeps it and gives the rest back.
  EXPECT_EQ(gh.ReAlloc(p, 50), p);
  EXPECT_EQ(CGeneralHeap::UsableSize(p), 52u);
  // Blocked by a live neighbour, the block moves with its contents.
  char *pBlocker = (char *)gh.Alloc(8);
  char *pMoved = (char *)gh.ReAlloc(p, 400);
  EXPECT_NE(pMoved, p);
  for (int i = 0; i < 50; i++) ASSERT_EQ(pMoved[i], 7);
  // With only free space behind it up to the end of the region, it grows by committing more.
  size_t slCommitted = gh.GetStats().mhs_slCommitted;
  char *pTail = (char *)gh.ReAlloc(pMoved, 900 * 1024);
  EXPECT_EQ(pTail, pMoved);
  EXPECT_GT(gh.GetStats().mhs_slCommitted, slCommitted);
  for (int i = 0; i < 50; i++) ASSERT_EQ(pTail[i], 7);
  pTail[900 * 1024 - 1] = 1;
  GeneralHeapWalk ghw;
  EXPECT_TRUE(th.IsConsistent(ghw));
  gh.Free(pTail);
  gh.Free(pBlocker);
  EXPECT_TRUE(th.IsEmpty());
}

TEST(GeneralHeap, RegionsGrowAndDedicatedBlocksGoBack)
{
  TestHeap th;
  CGeneralHeap &gh = th.th_gh;
  // Big blocks get regions of their own, released when they are freed.
  void *pHuge = gh.Alloc(3 << 20);
  ASSERT_NE(pHuge, nullptr);
  memset(pHuge, 1, 3 << 20);
  EXPECT_EQ(gh.GetStats().mhs_ctRegions, 1);
  void *pSmall = gh.Alloc(10);
  EXPECT_EQ(gh.GetStats().mhs_ctRegions, 2);
  // Resizing a dedicated block within its region keeps it; going small moves it out.
  EXPECT_EQ(gh.ReAlloc(pHuge, (3 << 20) - 1000), pHuge);
  void *pShrunk = gh.ReAlloc(pHuge, 1000);
  EXPECT_NE(pShrunk, pHuge);
  EXPECT_EQ(gh.GetStats().mhs_ctRegions, 1);
  EXPECT_EQ(((unsigned char *)pShrunk)[999], 1);
  gh.Free(pShrunk);
  gh.Free(pSmall);

  // Many mid-sized blocks fill one reservation and open the next.
  std::vector<void *> apv;
  for (int i = 0; i < 40; i++) apv.push_back(gh.Alloc(900 * 1024));
  EXPECT_GE(gh.GetStats().mhs_ctRegions, 3);
  GeneralHeapWalk ghw;
  EXPECT_TRUE(th.IsConsistent(ghw));
  for (void *pv : apv) gh.Free(pv);
  EXPECT_TRUE(th.IsEmpty());
  gh.ReleaseAll();
  EXPECT_EQ(gh.GetStats().mhs_slReserved, 0u);
  EXPECT_FALSE(gh.Owns(apv[0]));
}

// A big block that keeps growing (a stream written to its end) moves once into a region with
// room to grow, then grows in place; its bytes and the heap's figures stay right throughout.
TEST(GeneralHeap, AGrowingDedicatedBlockMovesOnceThenGrowsInPlace)
{
  TestHeap th;
  CGeneralHeap &gh = th.th_gh;
  const size_t sl = 2 << 20;
  unsigned char *pb = (unsigned char *)gh.Alloc(sl);
  ASSERT_NE(pb, nullptr);
  for (size_t i = 0; i < sl; i++) pb[i] = (unsigned char)(i * 7);
  unsigned char *pbMoved = (unsigned char *)gh.ReAlloc(pb, sl + sl / 2);
  ASSERT_NE(pbMoved, nullptr);
  EXPECT_NE(pbMoved, pb);
  const size_t slReserved = gh.GetStats().mhs_slReserved;
  EXPECT_GE(slReserved, 4 * (sl + sl / 2));
  // The reserve is address space only: what is committed follows the block.
  EXPECT_LT(gh.GetStats().mhs_slCommitted, sl + sl / 2 + (64 << 10));
  size_t slNow = sl + sl / 2;
  for (int iStep = 0; iStep < 3; iStep++) {
    slNow = slNow + slNow / 2;
    unsigned char *pbGrown = (unsigned char *)gh.ReAlloc(pbMoved, slNow);
    EXPECT_EQ(pbGrown, pbMoved) << iStep;
    pbMoved = pbGrown;
    ASSERT_GE(CGeneralHeap::UsableSize(pbMoved), slNow);
    memset(pbMoved + slNow - 4096, 0xEE, 4096);
    EXPECT_EQ(gh.GetStats().mhs_ctRegions, 1);
    EXPECT_EQ(gh.GetStats().mhs_slReserved, slReserved);
    GeneralHeapWalk ghw;
    EXPECT_TRUE(th.IsConsistent(ghw));
  }
  size_t ctWrong = 0;
  for (size_t i = 0; i < sl; i++) ctWrong += pbMoved[i] != (unsigned char)(i * 7);
  EXPECT_EQ(ctWrong, 0u);
  // Past the reserve it moves again, with its bytes.
  unsigned char *pbFar = (unsigned char *)gh.ReAlloc(pbMoved, slReserved + (1 << 20));
  ASSERT_NE(pbFar, nullptr);
  EXPECT_NE(pbFar, pbMoved);
  EXPECT_EQ(pbFar[sl - 1], (unsigned char)((sl - 1) * 7));
  EXPECT_EQ(pbFar[slNow - 1], 0xEE);
  EXPECT_EQ(gh.GetStats().mhs_ctRegions, 1);
  gh.Free(pbFar);
  EXPECT_EQ(gh.GetStats().mhs_ctRegions, 0);
  EXPECT_EQ(gh.GetStats().mhs_slReserved, 0u);
  EXPECT_EQ(gh.GetStats().mhs_slCommitted, 0u);
}

// Mixed operations with sizes skewed small, each block filled with a pattern that is checked
// when it is resized or freed, every block checked against the others for overlap, and the heap
// walked now and then; at the end every region is one free block again.
static void RunStressAgainstAShadowModel(long ctOperations, bool bQuickLists)
{
  const int ctSlots = 4096;
  const size_t slPatternSpan = 65536;
  const size_t slLargest = 2 << 20;
  std::vector<unsigned char> abPattern(slLargest + slPatternSpan);
  Random rnd(0x1234567);
  for (unsigned char &b : abPattern) b = (unsigned char)rnd.Next();

  struct Slot {
    unsigned char *s_pb;
    size_t s_sl;
    size_t s_iPattern;
  };
  std::vector<Slot> aslot(ctSlots, Slot{nullptr, 0, 0});
  std::map<uintptr_t, size_t> mapLive; // start -> usable size
  TestHeap th(bQuickLists);
  CGeneralHeap &gh = th.th_gh;

  auto PickSize = [&]() -> size_t {
    unsigned long ul = rnd.Below(10000);
    if (ul < 8500) return 1 + rnd.Below(256);
    if (ul < 9700) return 1 + rnd.Below(4096);
    if (ul < 9970) return 1 + rnd.Below(64 * 1024);
    if (ul < 9998) return 1 + rnd.Below(384 * 1024);
    return (1 << 20) + rnd.Below(1 << 20); // a few dedicated regions
  };
  auto Enter = [&](unsigned char *pb) -> bool {
    size_t sl = CGeneralHeap::UsableSize(pb);
    auto it = mapLive.lower_bound((uintptr_t)pb);
    if (it != mapLive.end() && it->first < (uintptr_t)pb + sl) return false;
    if (it != mapLive.begin()) {
      --it;
      if (it->first + it->second > (uintptr_t)pb) return false;
    }
    mapLive[(uintptr_t)pb] = sl;
    return true;
  };
  auto Intact = [&](const Slot &s, size_t sl) {
    return memcmp(s.s_pb, &abPattern[s.s_iPattern], sl) == 0;
  };
  // Any byte of a live block leads back to its start through the start map.
  auto Findable = [&](unsigned char *pb) {
    size_t sl = CGeneralHeap::UsableSize(pb);
    return gh.FindLiveBlock(pb) == pb && gh.FindLiveBlock(pb + rnd.Below(sl)) == pb &&
           gh.FindLiveBlock(pb + sl - 1) == pb && gh.FindLiveBlock(pb - 4) != pb;
  };

  long ctFaults = 0;
  for (long iOp = 0; iOp < ctOperations && ctFaults == 0; iOp++) {
    Slot &s = aslot[rnd.Below(ctSlots)];
    if (s.s_pb == nullptr) {
      s.s_sl = PickSize();
      s.s_pb = (unsigned char *)gh.Alloc(s.s_sl);
      s.s_iPattern = rnd.Below(slPatternSpan);
      if (s.s_pb == nullptr || (uintptr_t)s.s_pb % 8 != 0 ||
          CGeneralHeap::UsableSize(s.s_pb) < s.s_sl || !Enter(s.s_pb)) {
        ADD_FAILURE() << "bad allocation of " << s.s_sl << " at operation " << iOp;
        ctFaults++;
        break;
      }
      memcpy(s.s_pb, &abPattern[s.s_iPattern], s.s_sl);
      if (!Findable(s.s_pb)) {
        ADD_FAILURE() << "allocated block not found from inside at operation " << iOp;
        ctFaults++;
      }
    } else if (rnd.Below(2) == 0) {
      if (!Intact(s, s.s_sl)) {
        ADD_FAILURE() << "contents overwritten before free at operation " << iOp;
        ctFaults++;
      }
      mapLive.erase((uintptr_t)s.s_pb);
      EXPECT_TRUE(gh.Free(s.s_pb));
      if (gh.FindLiveBlock(s.s_pb + rnd.Below(s.s_sl)) != nullptr) {
        ADD_FAILURE() << "freed block still found at operation " << iOp;
        ctFaults++;
      }
      s.s_pb = nullptr;
    } else {
      size_t slNew = PickSize();
      mapLive.erase((uintptr_t)s.s_pb);
      unsigned char *pbNew = (unsigned char *)gh.ReAlloc(s.s_pb, slNew);
      size_t slKept = slNew < s.s_sl ? slNew : s.s_sl;
      if (pbNew == nullptr || CGeneralHeap::UsableSize(pbNew) < slNew || !Enter(pbNew)) {
        ADD_FAILURE() << "bad reallocation to " << slNew << " at operation " << iOp;
        ctFaults++;
        break;
      }
      s.s_pb = pbNew;
      if (!Findable(pbNew)) {
        ADD_FAILURE() << "reallocated block not found from inside at operation " << iOp;
        ctFaults++;
      }
      if (!Intact(s, slKept)) {
        ADD_FAILURE() << "contents lost by reallocation at operation " << iOp;
        ctFaults++;
      }
      if (slNew > slKept)
        memcpy(s.s_pb + slKept, &abPattern[s.s_iPattern + slKept], slNew - slKept);
      s.s_sl = slNew;
    }
    if (iOp % 100000 == 99999) {
      GeneralHeapWalk ghw;
      if (!th.IsConsistent(ghw)) ctFaults++;
      if (ghw.ghw_ctUsedBlocks != (long)mapLive.size()) {
        ADD_FAILURE() << "live blocks: heap " << ghw.ghw_ctUsedBlocks << ", model "
                      << mapLive.size();
        ctFaults++;
      }
    }
  }

  for (Slot &s : aslot) {
    if (s.s_pb == nullptr) continue;
    EXPECT_TRUE(Intact(s, s.s_sl));
    gh.Free(s.s_pb);
  }
  gh.SetQuickLists(false);
  EXPECT_TRUE(th.IsEmpty());
}

TEST(GeneralHeap, RandomisedStressAgainstAShadowModel)
{
  RunStressAgainstAShadowModel(1000000, false);
  RunStressAgainstAShadowModel(500000, true);
}

// Freed small blocks wait in the quick list of their size and come back first; they are free in
// the figures and the walk, not live, cannot be freed again, lose their mark, and are merged
// normally once a list is full or the lists are turned off.
TEST(GeneralHeap, QuickListsReuseRefuseAndFlush)
{
  TestHeap th(true);
  CGeneralHeap &gh = th.th_gh;
  void *apv[10];
  for (void *&pv : apv) pv = gh.Alloc(40);
  void *pvBig = gh.Alloc(300); // beyond the quick sizes
  MemoryHeapStats mhsLive = gh.GetStats();

  CGeneralHeap::HeaderOf(apv[0]) |= CGeneralHeap::GH_MARK;
  EXPECT_TRUE(gh.Free(apv[0]));
  EXPECT_FALSE(gh.IsLiveBlock(apv[0]));
  EXPECT_FALSE(gh.Free(apv[0])); // freed twice: refused, the list unchanged
  GeneralHeapWalk ghw;
  EXPECT_TRUE(th.IsConsistent(ghw));
  EXPECT_EQ(ghw.ghw_ctUsedBlocks, 10);
  MemoryHeapStats mhs = gh.GetStats();
  EXPECT_EQ(mhs.mhs_ctUsedBlocks, mhsLive.mhs_ctUsedBlocks - 1);
  EXPECT_EQ(mhs.mhs_slUsed, mhsLive.mhs_slUsed - 48);
  EXPECT_EQ(mhs.mhs_ctFreeBlocks, mhsLive.mhs_ctFreeBlocks + 1);

  // The same size takes it back, without the mark; another size does not.
  void *pvOther = gh.Alloc(100);
  EXPECT_NE(pvOther, apv[0]);
  void *pvAgain = gh.Alloc(37); // the same 48-byte block size
  EXPECT_EQ(pvAgain, apv[0]);
  EXPECT_EQ(CGeneralHeap::HeaderOf(pvAgain) & CGeneralHeap::GH_MARK, 0u);
  EXPECT_TRUE(gh.IsLiveBlock(pvAgain));
  gh.Free(pvOther);

  // Eight wait at most; the ninth and tenth merge with their neighbours as before.
  for (void *pv : apv) EXPECT_TRUE(gh.Free(pv));
  EXPECT_TRUE(th.IsConsistent(ghw));
  EXPECT_EQ(ghw.ghw_ctUsedBlocks, 1); // the big one
  for (int i = 0; i < 8; i++) EXPECT_FALSE(gh.Free(apv[i])) << i;
  gh.Free(pvBig);
  gh.SetQuickLists(false);
  EXPECT_TRUE(th.IsEmpty());

  // Off, a freed block merges at once and its space is cut anew.
  void *pvA = gh.Alloc(40);
  void *pvB = gh.Alloc(40);
  gh.Free(pvA);
  EXPECT_FALSE(gh.Free(pvA));
  gh.Free(pvB);
  EXPECT_TRUE(th.IsEmpty());
  gh.ReleaseAll();
}
