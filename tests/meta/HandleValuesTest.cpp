// Handle values: conversion both ways, dismissal and slot reuse, retirement, reservation and
// swapping, restored handles, handles inside blocks, addresses the general heap does not own,
// the maps under churn, the slot limit and two threads at once.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <stdint.h>
#include <stdio.h>
#include <string.h>

using namespace QuennelEngine;
using namespace QuennelEngine::Test;

namespace {

long SlotOf(unsigned long h)
{
  return (long)(h & 0xFFFFFF);
}

long GenerationOf(unsigned long h)
{
  return (long)(h >> 24);
}

// A new block of `sl` bytes with a handle whose slot comes back at least once more. The slot on
// top of the free stack is the one every test churns, and a slot dismissed for the 255th time
// retires: a test of reuse must not take it in its last generation.
void *BlockWithReusableHandle(size_t sl, unsigned long &h)
{
  for (;;) {
    void *p = memMAlloc(sl);
    h = hvPointerToHandle(p);
    if (GenerationOf(h) < 254) return p;
    memFree(p);
  }
}

long _lStatic[4] = {11, 22, 33, 44};

unsigned long AddOne(unsigned long h)
{
  return h + 1;
}

} // namespace

TEST(HandleValues, ConversionDismissalAndSlotReuse)
{
  EXPECT_EQ(hvPointerToHandle(nullptr), 0u);
  EXPECT_EQ(hvHandleToPointer(0), nullptr);
  EXPECT_EQ(hvHandleToPointer(0x00FFFFFF), nullptr); // beyond the table
  EXPECT_EQ(hvHandleToPointer(hvGetTableStats().hts_ctSlots), nullptr);

  unsigned long h;
  void *p = BlockWithReusableHandle(32, h);
  EXPECT_NE(h, 0u);
  EXPECT_NE(SlotOf(h), 0);
  EXPECT_EQ(hvPointerToHandle(p), h);
  EXPECT_EQ(hvHandleToPointer(h), p);
  EXPECT_TRUE(memHasHandleMark(p));
  EXPECT_FALSE(hvIsHandleReserved(h));

  // Dismissed: the old handle is null for good, the slot comes back with the next generation.
  hvDismissPointer(p);
  EXPECT_EQ(hvHandleToPointer(h), nullptr);
  void *q = memMAlloc(32);
  unsigned long hq = hvPointerToHandle(q);
  EXPECT_EQ(SlotOf(hq), SlotOf(h));
  EXPECT_EQ(GenerationOf(hq), GenerationOf(h) + 1);
  EXPECT_EQ(hvHandleToPointer(hq), q);
  EXPECT_EQ(hvHandleToPointer(h), nullptr);
  // p lost its handle: it gets a new one.
  unsigned long hp = hvPointerToHandle(p);
  EXPECT_NE(hp, h);
  EXPECT_EQ(hvHandleToPointer(hp), p);
  memFree(p);
  memFree(q);
  EXPECT_EQ(hvHandleToPointer(hp), nullptr);
  EXPECT_EQ(hvHandleToPointer(hq), nullptr);

  EXPECT_EQ(hvGetHash(0x01000002), 5617u); // ((2 * 33) ^ (1 * 107)) * 137
  EXPECT_EQ(hvGetHash(0xFF000001), ((33u ^ (255u * 107u)) * 137u));
  EXPECT_EQ(hvRemapHandle(5), 5u);
  hvSetHandleRemapper(AddOne);
  EXPECT_EQ(hvRemapHandle(5), 6u);
  hvSetHandleRemapper(nullptr);
  EXPECT_EQ(hvRemapHandle(5), 5u);
}

TEST(HandleValues, ASlotDismissedThe255thTimeIsRetired)
{
  void *p = memMAlloc(16);
  unsigned long h = hvPointerToHandle(p);
  const long iSlot = SlotOf(h);
  long ctRetired = hvGetTableStats().hts_ctRetired;
  // The slot may come from an earlier test at any generation; run it to the end.
  for (long iGeneration = GenerationOf(h); iGeneration < 254; iGeneration++) {
    hvDismissPointer(p);
    h = hvPointerToHandle(p);
    ASSERT_EQ(SlotOf(h), iSlot);
    ASSERT_EQ(GenerationOf(h), iGeneration + 1);
  }
  EXPECT_EQ(hvHandleToPointer(h), p);
  hvDismissPointer(p);
  EXPECT_EQ(hvHandleToPointer(h), nullptr);
  EXPECT_EQ(hvGetTableStats().hts_ctRetired, ctRetired + 1);
  // Never handed out again, not even to a swap naming its last generation.
  unsigned long hNext = hvPointerToHandle(p);
  EXPECT_NE(SlotOf(hNext), iSlot);
  hvSwapPointer((255UL << 24) | (unsigned long)iSlot, p);
  EXPECT_EQ(hvHandleToPointer((255UL << 24) | (unsigned long)iSlot), nullptr);
  memFree(p);
  EXPECT_EQ(hvHandleToPointer(hNext), nullptr);
}

TEST(HandleValues, ReservedHandlesAndSwappingChecksTheGeneration)
{
  unsigned long h = hvReserveHandle();
  EXPECT_TRUE(hvIsHandleReserved(h));
  EXPECT_FALSE(hvIsHandleReserved(0));
  EXPECT_EQ(hvHandleToPointer(h), nullptr);

  void *p = memMAlloc(16);
  void *q = memMAlloc(16);
  hvSwapPointer(h, p);
  EXPECT_FALSE(hvIsHandleReserved(h));
  EXPECT_EQ(hvHandleToPointer(h), p);
  EXPECT_EQ(hvPointerToHandle(p), h);
  EXPECT_TRUE(memHasHandleMark(p));

  // Swapped on: p is unmapped (it gets a handle of its own) and freeing it leaves h alone.
  hvSwapPointer(h, q);
  EXPECT_EQ(hvHandleToPointer(h), q);
  EXPECT_TRUE(memHasHandleMark(q));
  unsigned long hp = hvPointerToHandle(p);
  EXPECT_NE(hp, h);
  memFree(p);
  EXPECT_EQ(hvHandleToPointer(h), q);
  EXPECT_EQ(hvHandleToPointer(hp), nullptr);

  // Another generation of the slot is not this handle: nothing happens.
  void *r = memMAlloc(16);
  hvSwapPointer(h + (1UL << 24), r);
  EXPECT_EQ(hvHandleToPointer(h), q);
  EXPECT_NE(hvPointerToHandle(r), h);

  // Swapped to null the handle is reserved again; q keeps no handle.
  hvSwapPointer(h, nullptr);
  EXPECT_TRUE(hvIsHandleReserved(h));
  hvSwapPointer(h, q);
  memFree(q);
  EXPECT_EQ(hvHandleToPointer(h), nullptr);
  // Dismissed, the handle is no longer its slot's: swapping it does nothing.
  hvSwapPointer(h, r);
  EXPECT_EQ(hvHandleToPointer(h), nullptr);
  memFree(r);
}

TEST(HandleValues, RestoredHandlesConvertAgainAndGoWithTheirBlock)
{
  unsigned long hOld;
  void *a = BlockWithReusableHandle(24, hOld);
  memFree(a);
  EXPECT_EQ(hvHandleToPointer(hOld), nullptr);
  // The slot moves on to another address.
  void *c = memMAlloc(24);
  unsigned long hCurrent = hvPointerToHandle(c);
  ASSERT_EQ(SlotOf(hCurrent), SlotOf(hOld));

  void *b = memMAlloc(24);
  hvRestoreHandle(b, hOld);
  EXPECT_EQ(hvHandleToPointer(hOld), b);
  EXPECT_EQ(hvHandleToPointer(hCurrent), c);
  EXPECT_EQ(hvGetTableStats().hts_ctRestored >= 1, true);
  // Refused: the current generation, a generation still to come, an address with a handle.
  void *d = memMAlloc(24);
  hvRestoreHandle(d, hCurrent);
  hvRestoreHandle(d, hCurrent + (1UL << 24));
  EXPECT_EQ(hvHandleToPointer(hCurrent), c);
  EXPECT_EQ(hvHandleToPointer(hCurrent + (1UL << 24)), nullptr);
  hvRestoreHandle(c, hOld);
  EXPECT_EQ(hvHandleToPointer(hOld), b);
  hvRestoreHandle(d, 0x00FFFFFF);

  // Freeing the restored address's block dismisses the old handle as well.
  long ctRestored = hvGetTableStats().hts_ctRestored;
  memFree(b);
  EXPECT_EQ(hvHandleToPointer(hOld), nullptr);
  EXPECT_EQ(hvHandleToPointer(hCurrent), c);
  EXPECT_EQ(hvGetTableStats().hts_ctRestored, ctRestored - 1);

  // Restored again, and rebound: moving the block takes it too.
  hvRestoreHandle(d, hOld);
  EXPECT_EQ(hvHandleToPointer(hOld), d);
  void *e = memMAlloc(40);
  hvRestoreHandle((char *)e + 8, hOld);
  EXPECT_EQ(hvHandleToPointer(hOld), (char *)e + 8);
  memFree(d);
  EXPECT_EQ(hvHandleToPointer(hOld), (char *)e + 8);
  e = memReAlloc(e, 4000);
  EXPECT_EQ(hvHandleToPointer(hOld), nullptr);
  EXPECT_EQ(hvHandleToPointer(hCurrent), c);
  memFree(e);
  memFree(c);
  EXPECT_EQ(hvHandleToPointer(hCurrent), nullptr);
}

TEST(HandleValues, HandlesInsideABlockGoWhenTheBlockIsFreedOrMoved)
{
  // Array elements.
  long *al = (long *)memMAlloc(100 * sizeof(long));
  unsigned long h0 = hvPointerToHandle(&al[0]);
  unsigned long h5 = hvPointerToHandle(&al[5]);
  unsigned long h99 = hvPointerToHandle(&al[99]);
  EXPECT_EQ(hvHandleToPointer(h5), &al[5]);
  EXPECT_TRUE(memHasHandleMark(al));
  memFree(al);
  EXPECT_EQ(hvHandleToPointer(h0), nullptr);
  EXPECT_EQ(hvHandleToPointer(h5), nullptr);
  EXPECT_EQ(hvHandleToPointer(h99), nullptr);

  // An aligned block, and an array whose elements follow its header.
  void *pAligned = AllocMemoryAligned(100, 64);
  unsigned long hAligned = hvPointerToHandle(pAligned);
  void *pArray = memNewArray_internal(12);
  unsigned long hArray = hvPointerToHandle(pArray);
  unsigned long hElement = hvPointerToHandle((char *)pArray + 8);
  EXPECT_EQ(hvHandleToPointer(hAligned), pAligned);
  FreeMemoryAligned(pAligned);
  EXPECT_EQ(hvHandleToPointer(hAligned), nullptr);
  EXPECT_EQ(hvHandleToPointer(hArray), pArray);
  memDeleteArray_internal(pArray);
  EXPECT_EQ(hvHandleToPointer(hArray), nullptr);
  EXPECT_EQ(hvHandleToPointer(hElement), nullptr);

  // Moved, grown in place, shrunk in place: all dismiss; the same size keeps the handle.
  char *pch = (char *)memMAlloc(64);
  unsigned long hMoved = hvPointerToHandle(pch + 8);
  void *pBlocker = memMAlloc(16); // keeps the block from growing in place
  pch = (char *)memReAlloc(pch, 4096);
  EXPECT_EQ(hvHandleToPointer(hMoved), nullptr);
  unsigned long hShrunk = hvPointerToHandle(pch + 100);
  pch = (char *)memReAlloc(pch, 200);
  EXPECT_EQ(hvHandleToPointer(hShrunk), nullptr);
  unsigned long hKept = hvPointerToHandle(pch + 4);
  EXPECT_EQ(memReAlloc(pch, memSize(pch)), pch);
  EXPECT_EQ(hvHandleToPointer(hKept), pch + 4);
  memFree(pch);
  EXPECT_EQ(hvHandleToPointer(hKept), nullptr);
  memFree(pBlocker);

  // Dismissing one handle of a block by hand leaves the others to the block.
  long *alChain = (long *)memMAlloc(16 * sizeof(long));
  unsigned long ah[4];
  for (int i = 0; i < 4; i++) ah[i] = hvPointerToHandle(&alChain[i]);
  hvDismissPointer(&alChain[0]); // the chain's first
  hvDismissPointer(&alChain[2]); // one in the middle
  EXPECT_EQ(hvHandleToPointer(ah[0]), nullptr);
  EXPECT_EQ(hvHandleToPointer(ah[1]), &alChain[1]);
  EXPECT_EQ(hvHandleToPointer(ah[3]), &alChain[3]);
  memFree(alChain);
  for (int i = 0; i < 4; i++) EXPECT_EQ(hvHandleToPointer(ah[i]), nullptr) << i;

  // A block of a region of its own.
  char *pchBig = (char *)memMAlloc(3 << 20);
  unsigned long hBig = hvPointerToHandle(pchBig + (2 << 20));
  EXPECT_EQ(hvHandleToPointer(hBig), pchBig + (2 << 20));
  memFree(pchBig);
  EXPECT_EQ(hvHandleToPointer(hBig), nullptr);
}

TEST(HandleValues, AddressesTheGeneralHeapDoesNotOwnAreNeverWrittenTo)
{
  long alStack[4] = {1, 2, 3, 4};
  unsigned long hStack = hvPointerToHandle(&alStack[1]);
  unsigned long hStatic = hvPointerToHandle(&_lStatic[2]);
  EXPECT_EQ(hvHandleToPointer(hStack), &alStack[1]);
  EXPECT_EQ(hvHandleToPointer(hStatic), &_lStatic[2]);
  EXPECT_EQ(hvPointerToHandle(&alStack[1]), hStack);
  const long alExpected[4] = {1, 2, 3, 4}, alStaticExpected[4] = {11, 22, 33, 44};
  EXPECT_EQ(memcmp(alStack, alExpected, sizeof(alStack)), 0);
  EXPECT_EQ(memcmp(_lStatic, alStaticExpected, sizeof(_lStatic)), 0);
  EXPECT_EQ(memMarkContainingBlock(&alStack[1]), nullptr);
  EXPECT_FALSE(memHasHandleMark(&alStack[1]));
  // Only dismissing them by hand ends them.
  hvDismissPointer(&alStack[1]);
  hvDismissPointer(&_lStatic[2]);
  EXPECT_EQ(hvHandleToPointer(hStack), nullptr);
  EXPECT_EQ(hvHandleToPointer(hStatic), nullptr);

  // The internal form marks nothing; asking with the mark later marks the block.
  void *p = memMAlloc(32);
  unsigned long h = hvPointerToHandle_internal(p);
  EXPECT_FALSE(memHasHandleMark(p));
  EXPECT_EQ(hvHandleToPointer(h), p);
  EXPECT_EQ(hvPointerToHandle(p), h);
  EXPECT_TRUE(memHasHandleMark(p));
  memFree(p);
  EXPECT_EQ(hvHandleToPointer(h), nullptr);
  // Made for a block's start without the mark, it still goes when another handle marked it.
  char *pch = (char *)memMAlloc(32);
  unsigned long hStart = hvPointerToHandle_internal(pch);
  unsigned long hInside = hvPointerToHandle(pch + 16);
  memFree(pch);
  EXPECT_EQ(hvHandleToPointer(hStart), nullptr);
  EXPECT_EQ(hvHandleToPointer(hInside), nullptr);
}

// Stale entries are dropped instead of growing the maps: many more handles come and go than the
// maps hold, with a few long-lived ones among them.
TEST(HandleValues, ChurnDoesNotGrowTheMaps)
{
  void *apvKept[16];
  unsigned long ahKept[16];
  for (int i = 0; i < 16; i++) {
    apvKept[i] = memMAlloc(48);
    ahKept[i] = hvPointerToHandle((char *)apvKept[i] + 8);
  }
  HandleTableStats htsBefore = hvGetTableStats();
  long ctMapEntries = htsBefore.hts_ctMapCompartments * 5;
  for (long i = 0; i < 3 * ctMapEntries; i++) {
    char *pch = (char *)memMAlloc(32);
    unsigned long hStart = hvPointerToHandle(pch);
    unsigned long hInside = hvPointerToHandle(pch + 8);
    if (hvHandleToPointer(hInside) != pch + 8) {
      ADD_FAILURE() << "handle " << i << " lost";
      break;
    }
    memFree(pch);
    if (hvHandleToPointer(hStart) != nullptr || hvHandleToPointer(hInside) != nullptr) {
      ADD_FAILURE() << "handle " << i << " survived its block";
      break;
    }
  }
  // Handles that stay bound while they move over many addresses leave entries that are stale
  // but whose slots are live: only refilling the map drops them.
  const long ctAddresses = 3 * ctMapEntries;
  const long ctMoving = 2048;
  long *al = (long *)memMAlloc(ctAddresses * sizeof(long));
  static unsigned long ahMoving[ctMoving];
  for (unsigned long &h : ahMoving) h = hvReserveHandle();
  for (long i = 0; i < ctAddresses; i++) hvSwapPointer(ahMoving[i % ctMoving], &al[i]);
  for (long i = ctAddresses - ctMoving; i < ctAddresses; i++) {
    if (hvHandleToPointer(ahMoving[i % ctMoving]) != &al[i] ||
        hvPointerToHandle(&al[i]) != ahMoving[i % ctMoving]) {
      ADD_FAILURE() << "moved handle " << i % ctMoving << " lost";
      break;
    }
  }
  EXPECT_NE(hvPointerToHandle(&al[0]), ahMoving[0]);
  memFree(al);
  for (unsigned long h : ahMoving) EXPECT_EQ(hvHandleToPointer(h), nullptr);

  HandleTableStats htsAfter = hvGetTableStats();
  EXPECT_EQ(htsAfter.hts_ctMapCompartments, htsBefore.hts_ctMapCompartments);
  EXPECT_EQ(htsAfter.hts_ctBlockCompartments, htsBefore.hts_ctBlockCompartments);
  EXPECT_EQ(htsAfter.hts_ctBound, htsBefore.hts_ctBound);
  for (int i = 0; i < 16; i++) {
    EXPECT_EQ(hvHandleToPointer(ahKept[i]), (char *)apvKept[i] + 8) << i;
    memFree(apvKept[i]);
    EXPECT_EQ(hvHandleToPointer(ahKept[i]), nullptr) << i;
  }
}

// A child process takes slots past the first report threshold and then past the last slot,
// which ends it with a message.
QE_CHILD(HandleSlotsRunOut)
{
  while (hvGetTableStats().hts_ctSlots <= 10001) hvReserveHandle();
  // The report is a log line, which goes to no output here: the parent sees it from the ring.
  for (long iLine = 0; iLine < conGetLinesCount(); iLine++) {
    long iType;
    CString strLine;
    conGetLine(iLine, iType, strLine);
    if (iType == CMT_LOG && strFindSubstr(strLine, "handles") >= 0) {
      fprintf(stderr, "logged: %s\n", (const char *)strLine);
    }
  }
  fflush(stderr);
  HandleTableStats hts = hvGetTableStats();
  hvSetLastSlotForTests(hts.hts_ctSlots + 2);
  for (long i = 0; i < hts.hts_ctFree + 10; i++) hvReserveHandle();
  return 0; // not reached
}

TEST(HandleValues, TheCountIsReportedAndTakingASlotPastTheLastOneIsFatal)
{
  ChildResult cr = RunChild("HandleSlotsRunOut");
  ASSERT_FALSE(cr.cr_bTimedOut) << cr.cr_strOutput;
  EXPECT_EQ(cr.cr_ulExitCode, 1u);
  EXPECT_NE(cr.cr_strOutput.find("logged: Number of handles used: 10002"), std::string::npos)
      << cr.cr_strOutput;
  EXPECT_NE(cr.cr_strOutput.find("FTL:  Out of handle values: all 10004 slots"), std::string::npos)
      << cr.cr_strOutput;
}

namespace {

// The two threads of the stress share blocks that the maker makes, hands out and frees; for each
// it records the handle whose block it has freed, after the free returned. A conversion that
// begins after that must give null.
const int _ctShared = 64;
const long _ctMakerSteps = 30000;
const long _ctSwapperSteps = 30000;
const unsigned long _ulWatchdogMs = 120000;

struct SharedBlock {
  char *volatile sb_pchBlock;
  char *volatile sb_pchAddress;     // the address the handle stands for, in the block
  unsigned long volatile sb_h;      // 0 while the entry changes
  unsigned long volatile sb_hFreed; // the last handle whose block was freed
};

struct StressState {
  SharedBlock ss_asb[_ctShared];
  long volatile ss_ctDone;
  long ss_ctMakerFaults;
  long ss_ctSwapperFaults;
  long ss_ctStale;
  long ss_ctSeenLive;
};

unsigned long Step(unsigned long &ulRandom)
{
  ulRandom = ulRandom * 1103515245 + 12345;
  return ulRandom >> 8;
}

void Maker(void *pv)
{
  StressState *pss = (StressState *)pv;
  unsigned long ulRandom = 7;
  for (long i = 0; i < _ctMakerSteps; i++) {
    SharedBlock &sb = pss->ss_asb[Step(ulRandom) % _ctShared];
    unsigned long h = sb.sb_h;
    if (h != 0 && sb.sb_hFreed != h) {
      if (hvHandleToPointer(h) != sb.sb_pchAddress) pss->ss_ctMakerFaults++;
      memFree(sb.sb_pchBlock);
      sb.sb_hFreed = h;
      if (hvHandleToPointer(h) != nullptr) pss->ss_ctMakerFaults++;
      continue;
    }
    char *pchBlock = (char *)memMAlloc(16 + Step(ulRandom) % 200);
    char *pchAddress = pchBlock + 8 * (Step(ulRandom) % 3);
    unsigned long hNew = hvPointerToHandle(pchAddress);
    if (hvHandleToPointer(hNew) != pchAddress) pss->ss_ctMakerFaults++;
    // Emptied first, so a reader that sees the same handle before and after also saw its
    // address (stores become visible in order on this processor).
    sb.sb_h = 0;
    sb.sb_pchBlock = pchBlock;
    sb.sb_pchAddress = pchAddress;
    sb.sb_h = hNew;
  }
  sysInterlockedIncrement(&pss->ss_ctDone);
}

// Converts the maker's handles, and reserves and swaps handles of its own.
void Swapper(void *pv)
{
  StressState *pss = (StressState *)pv;
  unsigned long ulRandom = 99;
  for (long i = 0; i < _ctSwapperSteps; i++) {
    SharedBlock &sb = pss->ss_asb[Step(ulRandom) % _ctShared];
    unsigned long h = sb.sb_h;
    unsigned long hFreed = sb.sb_hFreed;
    char *pchAddress = sb.sb_pchAddress;
    if (h != 0 && sb.sb_h == h) {
      void *pvGot = hvHandleToPointer(h);
      if (pvGot != nullptr && hFreed == h) pss->ss_ctStale++;
      if (pvGot != nullptr && pvGot != pchAddress) pss->ss_ctSwapperFaults++;
      if (pvGot != nullptr) pss->ss_ctSeenLive++;
    }
    if (i % 4 != 0) continue;
    unsigned long hReserved = hvReserveHandle();
    if (!hvIsHandleReserved(hReserved)) pss->ss_ctSwapperFaults++;
    char *pchA = (char *)memMAlloc(32);
    char *pchB = (char *)memMAlloc(32);
    hvSwapPointer(hReserved, pchA);
    if (hvHandleToPointer(hReserved) != pchA) pss->ss_ctSwapperFaults++;
    hvSwapPointer(hReserved, pchB + 8);
    memFree(pchA);
    if (hvHandleToPointer(hReserved) != pchB + 8) pss->ss_ctSwapperFaults++;
    memFree(pchB);
    if (hvHandleToPointer(hReserved) != nullptr) pss->ss_ctSwapperFaults++;
  }
  sysInterlockedIncrement(&pss->ss_ctDone);
}

} // namespace

TEST(HandleValues, TwoThreadsMakeConvertFreeAndSwap)
{
  CThreadServices ts;
  static StressState ss;
  ss = StressState{};
  ASSERT_NE(thrCreateThread(&ss, Maker), nullptr);
  ASSERT_NE(thrCreateThread(&ss, Swapper), nullptr);
  // Fixed step counts; a thread stuck on a lock fails the run instead of hanging it.
  if (!WaitUntil([&]() { return ss.ss_ctDone == 2; }, _ulWatchdogMs)) {
    fprintf(stderr, "Handle threads did not finish: a lock is stuck.\n");
    fflush(stderr);
    ADD_FAILURE();
    sysEndProcessNow(1);
  }
  ASSERT_TRUE(WaitUntil(AllThreadsEnded, 5000));
  sysSleep(50); // a thread's wrapper frees its record just after it stops counting as active
  EXPECT_EQ(ss.ss_ctMakerFaults, 0);
  EXPECT_EQ(ss.ss_ctSwapperFaults, 0);
  EXPECT_EQ(ss.ss_ctStale, 0);
  // How often the threads overlapped depends on the machine's load: reported, not required.
  if (ss.ss_ctSeenLive == 0) printf("note: the two handle threads did not overlap this run\n");
  for (SharedBlock &sb : ss.ss_asb) {
    if (sb.sb_h != 0 && sb.sb_hFreed != sb.sb_h) memFree(sb.sb_pchBlock);
  }
}

// The dump works on copies taken under the lock and prints after it.
TEST(HandleValues, DumpPrintsTheFiguresAndTheMap)
{
  void *p = memMAlloc(16);
  hvPointerToHandle(p);
  long ctCompartments = hvGetTableStats().hts_ctMapCompartments;
  long ctBefore = conGetTotalLinesCount();
  hvDumpUsage();
  EXPECT_GE(conGetTotalLinesCount() - ctBefore, ctCompartments + 4);
  long iType;
  CString strLine;
  conGetLine(0, iType, strLine); // the newest line
  EXPECT_EQ(iType, CMT_TRACE);
  EXPECT_GE(strFindSubstr(strLine, "objects are in own compartment"), 0) << (const char *)strLine;
  memFree(p);
}
