// The allocation entry points: totals, array headers, the handle mark, per-type statistics, the
// per-thread switch, aligned blocks and the information calls.
#include "TestSupport.h"
#include "core/memory/GeneralHeap.h"

#include <gtest/gtest.h>

#include <stdint.h>
#include <string.h>

#include <thread>

using namespace QuennelEngine;
using namespace QuennelEngine::Test;

namespace {

// A stand-in for the type descriptors: the statistics are all a descriptor holds here.
struct FakeType {
  MemoryTypeStats ft_mts;
};

FakeType _ftUnknown;
FakeType _ftA;
bool _bUnknownExists = false;

MemoryTypeStats *FakeProvider(const CDataType *pdt)
{
  if (pdt == nullptr) return _bUnknownExists ? &_ftUnknown.ft_mts : nullptr;
  return &((FakeType *)pdt)->ft_mts;
}

const CDataType *TypeA(void)
{
  return (const CDataType *)&_ftA;
}

// Installs a provider (the fake one unless null is asked for) for one test and puts back the
// one installed before (the metadata's).
struct ProviderScope {
  ProviderScope(bool bUnknownExists, bool bFake = true) : ps_pOld(memGetTypeStatsProvider())
  {
    _ftUnknown = FakeType{};
    _ftA = FakeType{};
    _bUnknownExists = bUnknownExists;
    memSetTypeStatsProvider(bFake ? FakeProvider : nullptr);
  }
  ~ProviderScope() { memSetTypeStatsProvider(ps_pOld); }
  MemoryTypeStatsProvider ps_pOld;
};

bool SameStats(const MemoryTypeStats &a, const MemoryTypeStats &b)
{
  return a.mts_ctSingles == b.mts_ctSingles && a.mts_ctArrays == b.mts_ctArrays &&
         a.mts_ctOperations == b.mts_ctOperations && a.mts_slBytes == b.mts_slBytes;
}

long Total(void)
{
  return memGetMemSizeInfo().msi_slTotal;
}

// The general heap's consistency walk, under the memory mutex.
bool GeneralHeapIsConsistent(void)
{
  CSyncLock sl(_memGetSyncMutex());
  GeneralHeapWalk ghw;
  bool bOk = memGetGeneralHeap()->Check(ghw);
  if (!bOk) ADD_FAILURE() << "general heap: " << ghw.ghw_strError;
  return bOk;
}

void *_apvDismissed[8];
int _ctDismissed = 0;
int _ctDismissedUnderTheMutex = 0;

void RecordDismiss(void *p)
{
  if (_ctDismissed < 8) _apvDismissed[_ctDismissed] = p;
  _ctDismissed++;
  // The handle table's lock comes before the memory mutex: the hook must run outside it.
  if (_memGetSyncMutex()->IsLockedByThisThread()) _ctDismissedUnderTheMutex++;
}

} // namespace

TEST(Memory, AllocationsKeepTheTotalAndTheHeapConsistent)
{
  long slStart = Total();
  void *p = memMAlloc(100);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ((uintptr_t)p % 8, 0u);
  EXPECT_GE(memSize(p), 100u);
  EXPECT_EQ(memGetRealSize(p), memSize(p) + 4);
  EXPECT_EQ(Total(), slStart + (long)memSize(p));
  EXPECT_TRUE(memGetGeneralHeap()->Owns(p));
  EXPECT_EQ(CGeneralHeap::HeaderOf(p) & 0x80000000UL, 0u); // never taken for an array header

  memset(p, 0x5A, 100);
  p = memReAlloc(p, 5000);
  EXPECT_EQ(((unsigned char *)p)[99], 0x5A);
  EXPECT_EQ(Total(), slStart + (long)memSize(p));

  // Size 0 still gives a block.
  p = memReAlloc(p, 0);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(Total(), slStart + (long)memSize(p));
  void *pZero = memMAlloc(0);
  ASSERT_NE(pZero, nullptr);
  EXPECT_NE(pZero, p);
  memFree(pZero);
  memFree(p);
  EXPECT_EQ(Total(), slStart);

  // Null in, nothing out.
  memFree(nullptr);
  EXPECT_EQ(memSize(nullptr), 0u);
  EXPECT_EQ(memGetRealSize(nullptr), 0u);
  void *pFromNull = memReAlloc(nullptr, 24);
  EXPECT_GE(memSize(pFromNull), 24u);
  memFree(pFromNull);
  EXPECT_EQ(Total(), slStart);

  // Freeing twice is refused, not a corruption.
  CGuardBreachCounter gbc;
  void *pTwice = memMAlloc(40);
  memFree(pTwice);
  memFree(pTwice);
  EXPECT_EQ(gbc.Count(), 1);
  EXPECT_EQ(Total(), slStart);
  EXPECT_TRUE(GeneralHeapIsConsistent());
}

TEST(Memory, StringHeapIsSeparateAndUncounted)
{
  long slStart = Total();
  char *pch = memStringAlloc(10);
  EXPECT_TRUE(memGetStringHeap()->Owns(pch));
  EXPECT_FALSE(memGetGeneralHeap()->Owns(pch));
  strcpy(pch, "123456789");
  pch = memStringReAlloc(pch, 3000);
  EXPECT_STREQ(pch, "123456789");
  EXPECT_EQ(Total(), slStart);
  memStringFree(pch);
  memStringFree(nullptr);

  // A general block handed to the string calls goes back to its own heap.
  char *pchGeneral = (char *)memMAlloc(16);
  pchGeneral = memStringReAlloc(pchGeneral, 32);
  EXPECT_TRUE(memGetGeneralHeap()->Owns(pchGeneral));
  memStringFree(pchGeneral);
  EXPECT_EQ(Total(), slStart);
  CSyncLock sl(_memGetSyncMutex());
  GeneralHeapWalk ghw;
  EXPECT_TRUE(memGetStringHeap()->Check(ghw)) << ghw.ghw_strError;
}

TEST(Memory, ArrayHeaders)
{
  long slStart = Total();
  // Unknown count: the header is 0x80000000 and the block starts at it.
  unsigned long *pul = (unsigned long *)memNewArray_internal(12);
  EXPECT_EQ(pul[-1], 0x80000000UL);
  EXPECT_TRUE(memGetGeneralHeap()->IsLiveBlock(pul - 1));
  EXPECT_GE(memSize(pul - 1), 16u);
  memDeleteArray_internal(pul);
  EXPECT_EQ(Total(), slStart);

  // A counted array.
  ProviderScope ps(true);
  pul = (unsigned long *)memNewArrayRC_internal(24, 3, TypeA());
  EXPECT_EQ(pul[-1], 0x80000003UL);
  memPreDeleteArrayRC_internal(pul, TypeA());
  memPostDeleteArrayRC_internal(TypeA());
  memDeleteArray_internal(pul);
  EXPECT_EQ(Total(), slStart);

  // A plain block is freed at its own address.
  void *p = memMAlloc(20);
  memDeleteArray_internal(p);
  EXPECT_EQ(Total(), slStart);
  memDeleteArray_internal(nullptr);
  EXPECT_TRUE(GeneralHeapIsConsistent());
}

TEST(Memory, ReallocationAndTheHandleMark)
{
  DismissPointerHook pHandleTable = memSetDismissPointerHook(RecordDismiss);
  _ctDismissed = 0;
  _ctDismissedUnderTheMutex = 0;

  void *p = memMAlloc(50);
  EXPECT_FALSE(memHasHandleMark(p));
  memSetHandleMark(p);
  EXPECT_TRUE(memHasHandleMark(p));
  // The same size: the block itself, mark kept, nobody dismissed.
  EXPECT_EQ(memReAlloc(p, memSize(p)), p);
  EXPECT_TRUE(memHasHandleMark(p));
  EXPECT_EQ(_ctDismissed, 0);
  // Another size: the old address is dismissed and the mark cleared, even in place.
  void *pNew = memReAlloc(p, memSize(p) - 8);
  EXPECT_EQ(_ctDismissed, 1);
  EXPECT_EQ(_apvDismissed[0], p);
  EXPECT_FALSE(memHasHandleMark(pNew));

  // Freeing a marked block dismisses it first; unmarked ones are not.
  memSetHandleMark(pNew);
  memFree(pNew);
  EXPECT_EQ(_ctDismissed, 2);
  EXPECT_EQ(_apvDismissed[1], pNew);
  void *pPlain = memMAlloc(50);
  memFree(pPlain);
  EXPECT_EQ(_ctDismissed, 2);

  // A fresh block never carries an old mark, though it may take the same place.
  void *pMarked = memMAlloc(64);
  memSetHandleMark(pMarked);
  memClearHandleMark(pMarked);
  EXPECT_FALSE(memHasHandleMark(pMarked));
  memSetHandleMark(pMarked);
  memFree(pMarked);
  void *pAgain = memMAlloc(64);
  EXPECT_FALSE(memHasHandleMark(pAgain));
  memFree(pAgain);

  // Every free path dismisses a marked block, never under the memory mutex.
  memSetHandleMark(pAgain = memMAlloc(24));
  memFreeSingle(pAgain, nullptr);
  memSetHandleMark(pAgain = memMAlloc(24));
  memFreeArray(pAgain, nullptr);
  memSetHandleMark(pAgain = memMAlloc(24));
  memFree(pAgain, nullptr);
  void *pArray = memNewArray_internal(12);
  memSetHandleMark((char *)pArray - 4);
  memDeleteArray_internal(pArray);
  memSetHandleMark(pAgain = memMAlloc(24));
  memReAlloc(pAgain, 2000, nullptr);
  memSetHandleMark(pAgain = memMAlloc(24));
  memStringFree((char *)pAgain);
  EXPECT_EQ(_ctDismissed, 9);
  EXPECT_EQ(_apvDismissed[6], (char *)pArray - 4);
  EXPECT_EQ(_ctDismissedUnderTheMutex, 0);

  // An address inside a block marks the block and gives its start.
  char *pch = (char *)memMAlloc(100);
  EXPECT_EQ(memMarkContainingBlock(pch + 60), pch);
  EXPECT_TRUE(memHasHandleMark(pch));
  EXPECT_EQ(memMarkContainingBlock(pch + memSize(pch)), nullptr); // past its end
  memFree(pch);
  EXPECT_EQ(memMarkContainingBlock(pch + 60), nullptr); // freed

  // Only the general heap's live blocks can be marked.
  CGuardBreachCounter gbc;
  long lOnStack = 0;
  memSetHandleMark(&lOnStack);
  EXPECT_FALSE(memHasHandleMark(&lOnStack));
  EXPECT_EQ(memMarkContainingBlock(&lOnStack), nullptr);
  EXPECT_EQ(lOnStack, 0);
  EXPECT_EQ(gbc.Count(), 1);
  EXPECT_EQ(memSetDismissPointerHook(pHandleTable), RecordDismiss);
  EXPECT_TRUE(GeneralHeapIsConsistent());
}

TEST(Memory, TypeStatisticsStayBalanced)
{
  ProviderScope ps(true);
  const MemoryTypeStats mtsZero = {0, 0, 0, 0};

  void *pSingle = memMAllocSingle(40, TypeA());
  EXPECT_EQ(_ftA.ft_mts.mts_ctSingles, 1);
  EXPECT_EQ(_ftA.ft_mts.mts_slBytes, (long)memSize(pSingle));
  void *pArray = memMAllocArray(100, 5, TypeA());
  EXPECT_EQ(_ftA.ft_mts.mts_ctSingles, 6);
  EXPECT_EQ(_ftA.ft_mts.mts_ctArrays, 1);
  memFreeSingle(pSingle, TypeA());
  memFreeArray(pArray, TypeA(), 5);
  EXPECT_EQ(_ftA.ft_mts.mts_ctOperations, 4);
  _ftA.ft_mts.mts_ctOperations = 0;
  EXPECT_TRUE(SameStats(_ftA.ft_mts, mtsZero));

  // Typed plain calls book operations and bytes only.
  void *p = memMAlloc(30, TypeA());
  p = memReAlloc(p, 300, TypeA());
  EXPECT_EQ(_ftA.ft_mts.mts_slBytes, (long)memSize(p));
  memFree(p, TypeA());
  EXPECT_EQ(_ftA.ft_mts.mts_ctOperations, 3);
  EXPECT_EQ(_ftA.ft_mts.mts_slBytes, 0);
  _ftA.ft_mts.mts_ctOperations = 0;

  // Freeing null changes no counter, operations included.
  memFreeSingle(nullptr, TypeA());
  memFreeArray(nullptr, TypeA(), 3);
  memFree(nullptr, TypeA());
  memPreDeleteRC_internal(nullptr, TypeA());
  memPreDeleteArrayRC_internal(nullptr, TypeA());
  EXPECT_TRUE(SameStats(_ftA.ft_mts, mtsZero));

  // The operators: a single object, an array read from its header (bit 31 masked), and an
  // array whose pointer follows the compiler's element count.
  void *pObject = memNewRC_internal(24, TypeA());
  memPreDeleteRC_internal(pObject, TypeA());
  memPostDeleteRC_internal(TypeA());
  memDelete_internal(pObject);
  void *pObjects = memNewArrayRC_internal(64, 7, TypeA());
  EXPECT_EQ(_ftA.ft_mts.mts_ctSingles, 7);
  memPreDeleteArrayRC_internal(pObjects, TypeA());
  EXPECT_EQ(_ftA.ft_mts.mts_ctSingles, 0);
  memDeleteArray_internal(pObjects);
  unsigned long *pulCookie = (unsigned long *)memNewArrayRC_internal(4 + 9 * 4, 9, TypeA());
  pulCookie[0] = 9;
  memPreDeleteArrayRC_internal(pulCookie + 1, TypeA());
  memDeleteArray_internal(pulCookie);
  EXPECT_EQ(_ftA.ft_mts.mts_ctOperations, 6);
  _ftA.ft_mts.mts_ctOperations = 0;
  EXPECT_TRUE(SameStats(_ftA.ft_mts, mtsZero));

  // An array without a type is booked on Unknown and taken back when it is freed.
  MemoryTypeStats mtsUnknown = _ftUnknown.ft_mts;
  void *pUntyped = memNewArray_internal(10);
  EXPECT_EQ(_ftUnknown.ft_mts.mts_ctArrays, mtsUnknown.mts_ctArrays + 1);
  memDeleteArray_internal(pUntyped);
  EXPECT_EQ(_ftUnknown.ft_mts.mts_ctArrays, mtsUnknown.mts_ctArrays);
  EXPECT_EQ(_ftUnknown.ft_mts.mts_slBytes, mtsUnknown.mts_slBytes);
}

TEST(Memory, PendingStatisticsMoveToUnknownOnceItExists)
{
  ProviderScope psNone(false, false);
  MemoryTypeStats mtsBefore = memGetPendingTypeStats();
  {
    // No provider yet: null-type allocations gather as pending counters.
    void *p = memMAllocSingle(20, nullptr);
    MemoryTypeStats mts = memGetPendingTypeStats();
    EXPECT_EQ(mts.mts_ctSingles, mtsBefore.mts_ctSingles + 1);
    EXPECT_EQ(mts.mts_ctOperations, mtsBefore.mts_ctOperations + 1);
    EXPECT_EQ(mts.mts_slBytes, mtsBefore.mts_slBytes + (long)memSize(p));
    memFreeSingle(p, nullptr);
    // A typed allocation has nowhere to be booked and changes nothing.
    void *pA = memMAllocSingle(20, TypeA());
    memFreeSingle(pA, TypeA());
  }
  MemoryTypeStats mtsPending = memGetPendingTypeStats();
  EXPECT_EQ(mtsPending.mts_ctSingles, mtsBefore.mts_ctSingles);
  EXPECT_EQ(mtsPending.mts_ctOperations, mtsBefore.mts_ctOperations + 2);

  // A provider without the Unknown descriptor: still pending.
  ProviderScope ps(false);
  void *pArray = memMAllocArray(32, 2, nullptr);
  EXPECT_EQ(memGetPendingTypeStats().mts_ctArrays, mtsPending.mts_ctArrays + 1);
  EXPECT_EQ(_ftUnknown.ft_mts.mts_ctArrays, 0);

  // Once Unknown exists, the next update of any type moves everything there first.
  _bUnknownExists = true;
  void *pA = memMAllocSingle(8, TypeA());
  MemoryTypeStats mtsNow = memGetPendingTypeStats();
  EXPECT_TRUE(SameStats(mtsNow, MemoryTypeStats{0, 0, 0, 0}));
  EXPECT_EQ(_ftUnknown.ft_mts.mts_ctArrays, mtsPending.mts_ctArrays + 1);
  EXPECT_EQ(_ftUnknown.ft_mts.mts_ctSingles, mtsPending.mts_ctSingles + 2);
  EXPECT_EQ(_ftUnknown.ft_mts.mts_ctOperations, mtsPending.mts_ctOperations + 1);
  memFreeArray(pArray, nullptr, 2);
  EXPECT_EQ(_ftUnknown.ft_mts.mts_ctArrays, mtsPending.mts_ctArrays);
  EXPECT_EQ(_ftUnknown.ft_mts.mts_ctSingles, mtsPending.mts_ctSingles);
  EXPECT_EQ(_ftUnknown.ft_mts.mts_slBytes, mtsPending.mts_slBytes);
  memFreeSingle(pA, TypeA());
  EXPECT_EQ(_ftA.ft_mts.mts_ctSingles, 0);

  // Counters that gather while a type's record is remembered still move on that type's next
  // update.
  _bUnknownExists = false;
  pA = memMAllocSingle(8, TypeA());
  void *pUntyped = memMAllocSingle(12, nullptr);
  EXPECT_EQ(memGetPendingTypeStats().mts_ctSingles, 1);
  _bUnknownExists = true;
  const MemoryTypeStats mtsUnknown = _ftUnknown.ft_mts;
  memFreeSingle(pA, TypeA());
  EXPECT_TRUE(SameStats(memGetPendingTypeStats(), MemoryTypeStats{0, 0, 0, 0}));
  EXPECT_EQ(_ftUnknown.ft_mts.mts_ctSingles, mtsUnknown.mts_ctSingles + 1);
  EXPECT_EQ(_ftUnknown.ft_mts.mts_slBytes, mtsUnknown.mts_slBytes + (long)memSize(pUntyped));
  EXPECT_TRUE(SameStats(_ftA.ft_mts, MemoryTypeStats{0, 0, 4, 0}));
  memFreeSingle(pUntyped, nullptr);
}

// The typed calls remember the provider's answers: what they remember must never outlive the
// provider that gave it, a record that did not exist must be asked for again, and types that
// share a place in what is remembered must each be booked on their own record.
FakeType _aftMany[40];
bool _bManyExist = false;

MemoryTypeStats *ProviderOfMany(const CDataType *pdt)
{
  if (pdt == nullptr) return &_ftUnknown.ft_mts;
  if (!_bManyExist && (const FakeType *)pdt >= _aftMany) return nullptr;
  return &((FakeType *)pdt)->ft_mts;
}

FakeType _ftOther;

MemoryTypeStats *ProviderOfOther(const CDataType *pdt)
{
  return pdt == nullptr ? &_ftUnknown.ft_mts : &_ftOther.ft_mts;
}

TEST(Memory, RememberedTypeRecordsFollowTheProvider)
{
  ProviderScope ps(true);
  void *p = memMAllocSingle(16, TypeA());
  memFreeSingle(p, TypeA());
  EXPECT_EQ(_ftA.ft_mts.mts_ctOperations, 2);

  // Another provider books the same type elsewhere from its first call on.
  _ftOther = FakeType{};
  memSetTypeStatsProvider(ProviderOfOther);
  p = memMAllocSingle(16, TypeA());
  EXPECT_EQ(_ftOther.ft_mts.mts_ctSingles, 1);
  EXPECT_EQ(_ftA.ft_mts.mts_ctSingles, 0);
  memFreeSingle(p, TypeA());
  EXPECT_EQ(_ftOther.ft_mts.mts_ctOperations, 2);
  EXPECT_EQ(_ftA.ft_mts.mts_ctOperations, 2);

  // Records that do not exist yet book nothing, and are booked on once they exist.
  for (FakeType &ft : _aftMany) ft = FakeType{};
  _bManyExist = false;
  memSetTypeStatsProvider(ProviderOfMany);
  const CDataType *pdtFirst = (const CDataType *)&_aftMany[0];
  p = memMAllocSingle(24, pdtFirst);
  memFreeSingle(p, pdtFirst);
  _bManyExist = true;
  EXPECT_EQ(_aftMany[0].ft_mts.mts_ctOperations, 0);
  // Forty types, more than are remembered at once, interleaved: each on its own record.
  void *apv[40];
  for (int iRound = 0; iRound < 3; iRound++) {
    for (int i = 0; i < 40; i++)
      apv[i] = memMAllocArray(8 + i, i + 1, (const CDataType *)&_aftMany[i]);
    for (int i = 39; i >= 0; i--) memFreeArray(apv[i], (const CDataType *)&_aftMany[i], i + 1);
  }
  for (int i = 0; i < 40; i++) {
    EXPECT_EQ(_aftMany[i].ft_mts.mts_ctOperations, 6) << i;
    EXPECT_TRUE(SameStats(_aftMany[i].ft_mts, MemoryTypeStats{0, 0, 6, 0})) << i;
  }
  p = memMAllocSingle(24, pdtFirst);
  EXPECT_EQ(_aftMany[0].ft_mts.mts_ctSingles, 1);
  EXPECT_EQ(_aftMany[0].ft_mts.mts_slBytes, (long)memSize(p));
  memFreeSingle(p, pdtFirst);
  EXPECT_EQ(_ftA.ft_mts.mts_ctOperations, 2);
}

// A type that goes is forgotten: one made later at its address is booked on the record the
// provider gives it, not on the record of the one before.
MemoryTypeStats _amtsLives[2];
int _iLife = 0;

MemoryTypeStats *ProviderOfLives(const CDataType *pdt)
{
  return pdt == nullptr ? &_ftUnknown.ft_mts : &_amtsLives[_iLife];
}

TEST(Memory, ATypeMadeWhereAForgottenOneWasIsAskedForAfresh)
{
  ProviderScope ps(true);
  _amtsLives[0] = _amtsLives[1] = MemoryTypeStats{0, 0, 0, 0};
  _iLife = 0;
  memSetTypeStatsProvider(ProviderOfLives);
  void *p = memMAllocSingle(16, TypeA());
  void *pKept = memMAllocArray(40, 2, TypeA());
  memFreeSingle(p, TypeA());
  memForgetTypeStats(TypeA());
  _iLife = 1;
  p = memMAllocArray(32, 3, TypeA());
  EXPECT_TRUE(SameStats(_amtsLives[1], MemoryTypeStats{3, 1, 1, (long)memSize(p)}));
  memFreeArray(p, TypeA(), 3);
  EXPECT_TRUE(SameStats(_amtsLives[1], MemoryTypeStats{0, 0, 2, 0}));
  EXPECT_TRUE(SameStats(_amtsLives[0], MemoryTypeStats{2, 1, 3, (long)memSize(pKept)}));
  // Forgetting null, or a type nothing remembers, changes nothing.
  memForgetTypeStats(nullptr);
  memForgetTypeStats((const CDataType *)&_ftUnknown);
  p = memMAllocSingle(8, TypeA());
  memFreeSingle(p, TypeA());
  EXPECT_EQ(_amtsLives[1].mts_ctOperations, 4);
  memFree(pKept);
}

TEST(Memory, FreesGoByOwnerWhateverTheSwitch)
{
  long &bUseOS = memGetUseOSMemManagerState();
  ASSERT_EQ(bUseOS, 0);
  EXPECT_EQ(&bUseOS, &memGetUseOSMemManagerState()); // one word per thread
  long slStart = Total();
  ProviderScope ps(true);

  // With the switch on, the operators take the runtime library's heap: no header, no statistics.
  bUseOS = 1;
  void *pSingle = memNew_internal(40);
  void *pTyped = memNewRC_internal(40, TypeA());
  void *pArray = memNewArray_internal(40);
  void *pTypedArray = memNewArrayRC_internal(40, 4, TypeA());
  EXPECT_FALSE(memGetGeneralHeap()->Owns(pSingle));
  EXPECT_FALSE(memGetGeneralHeap()->Owns(pArray));
  EXPECT_GE(memSize(pSingle), 40u);
  EXPECT_TRUE(SameStats(_ftA.ft_mts, MemoryTypeStats{0, 0, 0, 0}));
  EXPECT_EQ(Total(), slStart);

  // Switched off again, the runtime's blocks still go to free().
  bUseOS = 0;
  memPreDeleteRC_internal(pTyped, TypeA());
  memPreDeleteArrayRC_internal(pTypedArray, TypeA());
  memDelete_internal(pSingle);
  memDelete_internal(pTyped);
  memDeleteArray_internal(pArray);
  memDeleteArray_internal(pTypedArray);
  EXPECT_TRUE(SameStats(_ftA.ft_mts, MemoryTypeStats{0, 0, 0, 0}));

  // And ours go to our heap when the switch is turned on in between.
  void *pOurs = memNew_internal(40);
  void *pOursArray = memNewArrayRC_internal(40, 2, TypeA());
  EXPECT_TRUE(memGetGeneralHeap()->Owns(pOurs));
  bUseOS = 1;
  memPreDeleteArrayRC_internal(pOursArray, TypeA());
  memDelete_internal(pOurs);
  memDeleteArray_internal(pOursArray);
  bUseOS = 0;
  EXPECT_EQ(Total(), slStart);
  EXPECT_EQ(_ftA.ft_mts.mts_ctSingles, 0);
  EXPECT_EQ(_ftA.ft_mts.mts_ctArrays, 0);
  EXPECT_TRUE(GeneralHeapIsConsistent());

  // The hosts' switch is a separate word that nothing reads.
  long &bIntrinsic = memGetUseIntrinsicNewDelete();
  EXPECT_NE(&bIntrinsic, &bUseOS);
  bIntrinsic = 1;
  void *pStill = memNew_internal(8);
  EXPECT_TRUE(memGetGeneralHeap()->Owns(pStill));
  memDelete_internal(pStill);
  bIntrinsic = 0;
}

TEST(Memory, AlignedBlocks)
{
  void *p = AllocMemoryAligned(100, 16);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ((uintptr_t)p % 16, 0u);
  char *pchStart = (char *)((void **)p)[-1];
  EXPECT_EQ(memSize(pchStart), 132u);
  EXPECT_GE((char *)p - pchStart, 4);
  FreeMemoryAligned(p);

  // Every power of two holds the whole size above the start word.
  for (size_t slAlign = 1; slAlign <= 4096; slAlign *= 2) {
    for (size_t slSize = 0; slSize < 70; slSize += 23) {
      char *pch = (char *)AllocMemoryAligned(slSize, slAlign);
      ASSERT_NE(pch, nullptr);
      EXPECT_EQ((uintptr_t)pch % slAlign, 0u);
      char *pchBlock = (char *)((void **)pch)[-1];
      EXPECT_GE(pch - pchBlock, 4);
      EXPECT_LE(pch + slSize, pchBlock + memSize(pchBlock)) << slSize << " aligned to " << slAlign;
      memset(pch, 0xCC, slSize);
      FreeMemoryAligned(pch);
    }
  }
  FreeMemoryAligned(nullptr);

  CGuardBreachCounter gbc;
  EXPECT_EQ(AllocMemoryAligned(100, 24), nullptr);
  EXPECT_EQ(AllocMemoryAligned(100, 0), nullptr);
  EXPECT_EQ(gbc.Count(), 2); // every breach counts, also from one call site
  EXPECT_TRUE(GeneralHeapIsConsistent());
}

TEST(Memory, ExternalCountsAndInformation)
{
  MemSizeInfo msi = memGetMemSizeInfo();
  memCountExternalAlloc(1000, 256);
  MemSizeInfo msiAfter = memGetMemSizeInfo();
  EXPECT_EQ(msiAfter.msi_slExternal, msi.msi_slExternal + 1024);
  EXPECT_EQ(msiAfter.msi_slExternalExcess, msi.msi_slExternalExcess + 24);
  memCountExternalAlloc(-1000, 256);
  // No granularity: no rounding, and no division by zero.
  memCountExternalAlloc(777, 0);
  EXPECT_EQ(memGetMemSizeInfo().msi_slExternal, msi.msi_slExternal + 777);
  memCountExternalAlloc(-777, -5);
  msiAfter = memGetMemSizeInfo();
  EXPECT_EQ(msiAfter.msi_slExternal, msi.msi_slExternal);
  EXPECT_EQ(msiAfter.msi_slExternalExcess, msi.msi_slExternalExcess);

  // The heap figures agree with a walk.
  {
    CSyncLock sl(_memGetSyncMutex());
    GeneralHeapWalk ghw;
    ASSERT_TRUE(memGetGeneralHeap()->Check(ghw)) << ghw.ghw_strError;
    msi = memGetMemSizeInfo();
    EXPECT_EQ(msi.msi_mhsGeneral.mhs_ctUsedBlocks, ghw.ghw_ctUsedBlocks);
    EXPECT_EQ(msi.msi_mhsGeneral.mhs_slFree, ghw.ghw_slFree);
    EXPECT_GE(msi.msi_mhsGeneral.mhs_slReserved, msi.msi_mhsGeneral.mhs_slCommitted);
  }

  MemConsumptionInfo mci = memConsumptionInfo();
  EXPECT_EQ(mci.mci_slAllocated | mci.mci_slPeak | mci.mci_ctAllocations | mci.mci_ctFrees, 0);
  EXPECT_EQ(memCheckMemory(), 1);
  EXPECT_GT(memGetTotalMemory(), 0u);
  EXPECT_LE(memGetFreeMemory(), memGetTotalMemory());

  // The memory mutex is one recursive mutex.
  CSyncMutex *psm = _memGetSyncMutex();
  EXPECT_EQ(psm, _memGetSyncMutex());
  EXPECT_EQ(psm->Lock(), 1);
  void *p = memMAlloc(8); // nests inside the caller's hold
  memFree(p);
  EXPECT_EQ(psm->Unlock(), 0);
}

// A run of singles taken ahead: the owning thread's allocations of that size and type take its
// blocks, in the order they were allocated; the books end as if each had been allocated alone,
// what was not taken going back without a trace; other sizes, types and threads go their usual
// way, and a second thread cannot take a run while one is held.
TEST(Memory, RunsOfSinglesTakenAheadBookAsSingleAllocationsDo)
{
  ProviderScope ps(true);
  const long slTotal = Total();
  ASSERT_EQ(memReserveSingles(24, TypeA(), 10), 10);
  EXPECT_EQ(_ftA.ft_mts.mts_ctSingles, 10);
  void *ap[4];
  for (void *&p : ap) p = memMAllocSingle(24, TypeA());
  // Another size, another type: not from the run.
  void *pOther = memMAllocSingle(40, TypeA());
  void *pUnknown = memMAllocSingle(24, nullptr);
  // Another thread: neither its blocks nor a run of its own.
  void *pThread = nullptr;
  long ctThreadRun = -1;
  std::thread th([&] {
    pThread = memMAllocSingle(24, TypeA());
    ctThreadRun = memReserveSingles(24, TypeA(), 5);
    EXPECT_EQ(memReleaseSingles(), 0);
  });
  th.join();
  EXPECT_EQ(ctThreadRun, 0);
  EXPECT_EQ(memReleaseSingles(), 6);
  EXPECT_EQ(memReleaseSingles(), 0);
  EXPECT_EQ(_ftA.ft_mts.mts_ctSingles, 6);
  EXPECT_EQ(_ftA.ft_mts.mts_ctOperations, 6);
  EXPECT_EQ(_ftA.ft_mts.mts_slBytes,
            4 * (long)memSize(ap[0]) + (long)memSize(pOther) + (long)memSize(pThread));
  for (void *p : {ap[0], ap[1], ap[2], ap[3], pThread}) {
    EXPECT_TRUE(memGetGeneralHeap()->IsLiveBlock(p));
    EXPECT_NE(p, pOther);
  }
  for (void *p : ap) memFreeSingle(p, TypeA());
  memFreeSingle(pOther, TypeA());
  memFreeSingle(pThread, TypeA());
  memFreeSingle(pUnknown, nullptr);
  EXPECT_EQ(_ftA.ft_mts.mts_ctSingles, 0);
  EXPECT_EQ(_ftA.ft_mts.mts_slBytes, 0);
  EXPECT_EQ(Total(), slTotal);
  // A run is at most 256 blocks, and a new one gives back what the last one left.
  EXPECT_EQ(memReserveSingles(16, TypeA(), 1000), 256);
  void *p = memMAllocSingle(16, TypeA());
  EXPECT_EQ(memReserveSingles(16, TypeA(), 3), 3);
  EXPECT_EQ(_ftA.ft_mts.mts_ctSingles, 4);
  EXPECT_EQ(memReleaseSingles(), 3);
  memFreeSingle(p, TypeA());
  EXPECT_EQ(Total(), slTotal);
  EXPECT_TRUE(GeneralHeapIsConsistent());
}
