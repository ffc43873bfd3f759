// Threads that the library did not create (std::thread, CreateThread) taking library mutexes:
// they count as active while they may hold one, so the main thread's mutex operations use their
// atomic operations meanwhile, also when the main thread already holds the mutex; they count no
// more once they have ended, and an exclusive section does not wait for one that holds nothing.
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace QuennelEngine;
using namespace QuennelEngine::Test;

namespace {

struct SharedCounter {
  CSyncMutex sm;
  long volatile ctInside = 0;
  long volatile ctViolations = 0;
  long ctEntries = 0; // changed only under the mutex
};

// One pass under the mutex, sometimes taken twice; the plain increment is only right under
// mutual exclusion.
void EnterOnce(SharedCounter &sc, bool bTwice)
{
  sc.sm.Lock();
  if (bTwice) sc.sm.Lock();
  if (sysInterlockedIncrement(&sc.ctInside) != 1) sysInterlockedIncrement(&sc.ctViolations);
  if (!sc.sm.IsLockedByThisThread()) sysInterlockedIncrement(&sc.ctViolations);
  sc.ctEntries++;
  sysInterlockedDecrement(&sc.ctInside);
  if (bTwice) sc.sm.Unlock();
  sc.sm.Unlock();
}

} // namespace

TEST(OutsideThreads, AnOutsideThreadWaitsForAMutexTheMainThreadTookWithoutAtomics)
{
  CThreadServices ts;
  CWatchdog wd("The hand-over from the main thread", 30000);
  SharedCounter sc;
  // Nothing else is active: the main thread takes the mutex on its plain path.
  ASSERT_EQ(thrCountActiveThreads(), 0);
  ASSERT_EQ(sc.sm.Lock(), 1);
  long volatile bEntered = 0;
  long volatile bTried = 0;
  COutsideThread th(false, [&] {
    bTried = sc.sm.TryToLock() != 0;
    sc.sm.Lock();
    bEntered = 1;
    sc.sm.Unlock();
  });
  // Waiting for the mutex, it counts as active: the main thread's release is atomic.
  ASSERT_TRUE(WaitUntil([&] { return sc.sm.GetLockCount() == 1; }, 10000));
  EXPECT_EQ(thrCountActiveThreads(), 1);
  sysSleep(20);
  EXPECT_EQ(bEntered, 0) << "got in while the main thread holds the mutex";
  EXPECT_EQ(bTried, 0);
  EXPECT_EQ(sc.sm.GetOwner(), sysGetCurrentThreadID());
  EXPECT_EQ(sc.sm.Unlock(), 0);
  th.Join();
  EXPECT_EQ(bEntered, 1);
  EXPECT_EQ(sc.sm.GetLockCount(), -1);
  EXPECT_EQ(sc.sm.GetOwner(), 0u);
  // Its record went with it.
  EXPECT_EQ(thrCountActiveThreads(), 0);
  // The main thread alone again: the plain path, with its recursion.
  EXPECT_EQ(sc.sm.Lock(), 1);
  EXPECT_EQ(sc.sm.Lock(), 2);
  EXPECT_EQ(sc.sm.Unlock(), 1);
  EXPECT_EQ(sc.sm.Unlock(), 0);
}

TEST(OutsideThreads, StressThreadsJoinWhileTheMainThreadUsesTheMutex)
{
  CThreadServices ts;
  CWatchdog wd("Threads joining against the main thread", 60000);
  SharedCounter sc;
  long ctMain = 0;
  long ctOutside = 0;
  // The main thread takes and releases the mutex in a loop while others join the active count
  // from 0, again and again: the turn from plain steps to atomic ones. First newcomers (as
  // std::thread and as CreateThread), which also leave the count when they end.
  const long ctNewcomers = 20;
  const long ctPasses = 40;
  for (long iRound = 0; iRound < ctNewcomers; iRound++) {
    long volatile bDone = 0;
    COutsideThread th(iRound % 2 == 1, [&] {
      for (long i = 0; i < ctPasses; i++) EnterOnce(sc, (i & 3) == 1);
      bDone = 1;
    });
    for (long i = 0; !bDone; i++) {
      EnterOnce(sc, (i & 7) == 3);
      ctMain++;
      if ((i & 63) == 63) sysSleep(0); // lets the newcomer start
    }
    th.Join();
    ctOutside += ctPasses;
  }
  EXPECT_EQ(thrCountActiveThreads(), 0) << "an ended thread still counts as active";
  // Then one thread that stays: every exclusive section lets it go, and it joins again.
  const long ctSections = 300;
  long volatile bStop = 0;
  long volatile ctPassesOfOne = 0;
  COutsideThread th(false, [&] {
    for (long i = 0; !bStop; i++) {
      EnterOnce(sc, (i & 3) == 1);
      ctPassesOfOne++;
    }
  });
  for (long iSection = 0; iSection < ctSections; iSection++) {
    for (long i = 0; i < 50; i++) {
      EnterOnce(sc, (i & 7) == 3);
      ctMain++;
    }
    CExclusiveMainThread emt;
  }
  bStop = 1;
  th.Join();
  ctOutside += ctPassesOfOne;
  EXPECT_EQ(sc.ctViolations, 0);
  EXPECT_EQ(sc.ctEntries, ctMain + ctOutside);
  EXPECT_EQ(sc.sm.GetLockCount(), -1);
  EXPECT_EQ(thrCountActiveThreads(), 0);
}

TEST(OutsideThreads, AnExclusiveSectionDoesNotWaitForAnOutsideThreadThatHoldsNothing)
{
  CThreadServices ts;
  CWatchdog wd("An exclusive section with an idle outside thread", 30000);
  SharedCounter sc;
  CSyncEvent seGo, seHeld, seHolding;
  seGo.InitEvent(CSyncEvent::SEF_MANUALRESET);
  seHeld.InitEvent(CSyncEvent::SEF_MANUALRESET);
  seHolding.InitEvent(CSyncEvent::SEF_MANUALRESET);
  long volatile bReleased = 0;
  COutsideThread th(false, [&] {
    EnterOnce(sc, false);
    seHeld.SetEvent();
    seGo.WaitEvent();
    // After the section: it takes the mutex again, and holds it for a while.
    sc.sm.Lock();
    seHolding.SetEvent();
    sysSleep(50);
    bReleased = 1;
    sc.sm.Unlock();
  });
  ASSERT_TRUE(seHeld.WaitEvent(10000));
  {
    // It holds nothing now: the section begins at once, although the thread lives on.
    CExclusiveMainThread emt;
    EXPECT_EQ(thrCountActiveThreads(), 0);
  }
  seGo.SetEvent();
  ASSERT_TRUE(seHolding.WaitEvent(10000));
  {
    // It holds the mutex: the section waits for the release.
    CExclusiveMainThread emt;
    EXPECT_EQ(bReleased, 1);
    EXPECT_EQ(thrCountActiveThreads(), 0);
  }
  th.Join();
  EXPECT_EQ(sc.ctEntries, 1);
  EXPECT_EQ(sc.sm.GetLockCount(), -1);
  EXPECT_EQ(thrCountActiveThreads(), 0);
}

TEST(OutsideThreads, RawThreadsCountOnlyWhileTheyLive)
{
  CThreadServices ts;
  CWatchdog wd("Raw threads", 30000);
  SharedCounter sc;
  long ctSeenActive = -1;
  ThreadHandle *pthSeen = nullptr;
  COutsideThread th(true, [&] {
    EnterOnce(sc, true);
    ctSeenActive = thrCountActiveThreads();
    pthSeen = thrGetCurrentThread();
  });
  th.Join();
  // Counted while it lived, yet not one of the library's threads.
  EXPECT_EQ(ctSeenActive, 1);
  EXPECT_EQ(pthSeen, nullptr);
  EXPECT_EQ(thrCountActiveThreads(), 0);
  EXPECT_EQ(sc.ctEntries, 1);
}
