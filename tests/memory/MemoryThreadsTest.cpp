// The allocation entry points used from several library threads at once.
#include "TestSupport.h"
#include "core/memory/GeneralHeap.h"

#include <gtest/gtest.h>

#include <string.h>

using namespace QuennelEngine;
using namespace QuennelEngine::Test;

namespace {

const int _ctWorkers = 4;
const long _ctOperationsPerWorker = 100000;
const unsigned long _ulWorkBudgetMs = 4000;
const unsigned long _ulWatchdogMs = 15000;

struct WorkerState {
  int ws_iWorker;
  long volatile *ws_pbStop;
  long volatile *ws_pctDone;
  long ws_ctOperations;
  long ws_ctFaults;
  long ws_bSwitchSeen;
};

// Random allocations, reallocations and frees, each block filled with the worker's byte and
// checked before it changes hands.
void Worker(void *pv)
{
  WorkerState *pws = (WorkerState *)pv;
  // The main thread has set its own switch; this thread's word is separate.
  pws->ws_bSwitchSeen = memGetUseOSMemManagerState();
  const int ctSlots = 256;
  unsigned char *apb[ctSlots] = {};
  size_t asl[ctSlots] = {};
  unsigned char bFill = (unsigned char)(0x40 + pws->ws_iWorker);
  unsigned long ulRandom = 12345 + pws->ws_iWorker;
  for (long iOp = 0; iOp < _ctOperationsPerWorker && !*pws->ws_pbStop; iOp++) {
    ulRandom = ulRandom * 1103515245 + 12345;
    int iSlot = (ulRandom >> 8) % ctSlots;
    size_t slNew =
        (ulRandom >> 20) % 16 == 0 ? 1 + (ulRandom >> 4) % 20000 : 1 + (ulRandom >> 12) % 200;
    unsigned char *&pb = apb[iSlot];
    if (pb != nullptr) {
      for (size_t i = 0; i < asl[iSlot]; i += 7) {
        if (pb[i] != bFill) {
          pws->ws_ctFaults++;
          break;
        }
      }
    }
    switch ((ulRandom >> 16) % 3) {
    case 0:
      memFree(pb);
      pb = nullptr;
      break;
    case 1:
      memFree(pb);
      pb = (unsigned char *)memMAlloc(slNew);
      memset(pb, bFill, slNew);
      asl[iSlot] = slNew;
      break;
    default:
      pb = (unsigned char *)memReAlloc(pb, slNew);
      memset(pb, bFill, slNew);
      asl[iSlot] = slNew;
      break;
    }
    pws->ws_ctOperations++;
  }
  for (int i = 0; i < ctSlots; i++) memFree(apb[i]);
  sysInterlockedIncrement(pws->ws_pctDone);
}

// Forty types, more than the typed calls remember at once, so they keep taking each other's
// places: each worker books its own twenty, and every record must end as its worker left it.
const int _ctTypesPerWorker = 20;
const long _ctTypedRounds = 3000;
MemoryTypeStats _amtsTypes[2 * _ctTypesPerWorker];
MemoryTypeStats _mtsUntyped;

MemoryTypeStats *ProviderOfTypes(const CDataType *pdt)
{
  return pdt == nullptr ? &_mtsUntyped : (MemoryTypeStats *)pdt;
}

const CDataType *TypeAt(int i)
{
  return (const CDataType *)&_amtsTypes[i];
}

struct TypedWorkerState {
  int tws_iFirst;
  long volatile *tws_pctDone;
};

void TypedWorker(void *pv)
{
  TypedWorkerState *ptws = (TypedWorkerState *)pv;
  void *apv[_ctTypesPerWorker] = {};
  for (long iRound = 0; iRound < _ctTypedRounds; iRound++) {
    for (int i = 0; i < _ctTypesPerWorker; i++) {
      memFreeSingle(apv[i], TypeAt(ptws->tws_iFirst + i));
      apv[i] = memMAllocSingle(8 + 4 * i, TypeAt(ptws->tws_iFirst + i));
    }
  }
  for (int i = 0; i < _ctTypesPerWorker; i++) memFreeSingle(apv[i], TypeAt(ptws->tws_iFirst + i));
  sysInterlockedIncrement(ptws->tws_pctDone);
}

} // namespace

TEST(MemoryThreads, FourThreadsShareTheHeapUnderTheMutex)
{
  CThreadServices ts;
  // A first thread makes the thread registry's array, which stays; count from after it.
  thrCreateThread(nullptr, [](void *) {});
  ASSERT_TRUE(WaitUntil(AllThreadsEnded, 5000));
  sysSleep(50);
  long slTotalBefore = memGetMemSizeInfo().msi_slTotal;
  long volatile bStop = 0;
  long volatile ctDone = 0;
  WorkerState aws[_ctWorkers];
  long &bUseOS = memGetUseOSMemManagerState();
  bUseOS = 1;
  for (int i = 0; i < _ctWorkers; i++) {
    aws[i] = WorkerState{i, &bStop, &ctDone, 0, 0, -1};
    ASSERT_NE(thrCreateThread(&aws[i], Worker), nullptr);
  }
  bUseOS = 0;

  // Bounded in time as well as in operations; a worker stuck on the mutex fails the test
  // instead of hanging the run.
  bool bFinished = WaitUntil([&]() { return ctDone == _ctWorkers; }, _ulWorkBudgetMs);
  if (!bFinished) {
    bStop = 1;
    bFinished = WaitUntil([&]() { return ctDone == _ctWorkers; }, _ulWatchdogMs);
  }
  if (!bFinished) {
    fprintf(stderr, "Memory threads did not finish: the heap or its mutex is stuck.\n");
    fflush(stderr);
    ADD_FAILURE();
    sysEndProcessNow(1);
  }
  ASSERT_TRUE(WaitUntil(AllThreadsEnded, 5000));
  // A thread's wrapper frees its record just after it stops counting as active; let it finish
  // before the main thread takes the mutex on its single-thread path again.
  sysSleep(50);

  for (int i = 0; i < _ctWorkers; i++) {
    EXPECT_EQ(aws[i].ws_ctFaults, 0) << "worker " << i;
    EXPECT_GT(aws[i].ws_ctOperations, 1000) << "worker " << i;
    EXPECT_EQ(aws[i].ws_bSwitchSeen, 0) << "worker " << i;
  }
  EXPECT_EQ(memGetMemSizeInfo().msi_slTotal, slTotalBefore);
  CSyncLock sl(_memGetSyncMutex());
  GeneralHeapWalk ghw;
  EXPECT_TRUE(memGetGeneralHeap()->Check(ghw)) << ghw.ghw_strError;
}

TEST(MemoryThreads, TwoThreadsBookTheirOwnTypesWhileTypesAreForgotten)
{
  CThreadServices ts;
  MemoryTypeStatsProvider pOld = memGetTypeStatsProvider();
  for (MemoryTypeStats &mts : _amtsTypes) mts = MemoryTypeStats{0, 0, 0, 0};
  memSetTypeStatsProvider(ProviderOfTypes);
  long volatile ctDone = 0;
  TypedWorkerState atws[2] = {{0, &ctDone}, {_ctTypesPerWorker, &ctDone}};
  for (TypedWorkerState &tws : atws) ASSERT_NE(thrCreateThread(&tws, TypedWorker), nullptr);
  // Meanwhile types go and come back at the same addresses, as descriptors would.
  bool bFinished = WaitUntil(
      [&]() {
        for (int i = 0; i < 2 * _ctTypesPerWorker; i += 3) memForgetTypeStats(TypeAt(i));
        return ctDone == 2;
      },
      _ulWatchdogMs);
  if (!bFinished) {
    fprintf(stderr, "Typed memory threads did not finish: the heap or its mutex is stuck.\n");
    fflush(stderr);
    ADD_FAILURE();
    sysEndProcessNow(1);
  }
  ASSERT_TRUE(WaitUntil(AllThreadsEnded, 5000));
  sysSleep(50);
  memSetTypeStatsProvider(pOld);
  for (int i = 0; i < 2 * _ctTypesPerWorker; i++) {
    EXPECT_EQ(_amtsTypes[i].mts_ctOperations, 2 * _ctTypedRounds) << i;
    EXPECT_EQ(_amtsTypes[i].mts_ctSingles, 0) << i;
    EXPECT_EQ(_amtsTypes[i].mts_slBytes, 0) << i;
  }
}
