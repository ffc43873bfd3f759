#include "TestSupport.h"

#include "core/memory/PointerMap.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

using namespace QuennelEngine;
using QuennelEngine::Test::CGuardBreachCounter;

namespace {
// Keys are addresses in an array, values the addresses of their twins in another.
struct Keys {
  std::vector<char> k_achKeys;
  std::vector<char> k_achValues;
  explicit Keys(size_t ct) : k_achKeys(ct), k_achValues(ct) {}
  const void *Key(size_t i) const { return &k_achKeys[i]; }
  void *Value(size_t i) { return &k_achValues[i]; }
};

void *Found(const CPointerMap &pm, const void *pvKey)
{
  void *pv = (void *)1;
  EXPECT_TRUE(pm.TryFind(pvKey, pv));
  return pv;
}
} // namespace

// Entries stay findable through growth, by the lock-free search and by Find alike; the first
// entry of a key wins; Clear empties; a null key is refused.
TEST(PointerMap, EntriesSurviveGrowthAndBothSearchesAgree)
{
  CPointerMap pm;
  Keys k(20000);
  void *pv = (void *)1;
  // An empty map has no array yet: the lock-free search defers to Find.
  EXPECT_FALSE(pm.TryFind(k.Key(0), pv));
  EXPECT_EQ(pm.Find(k.Key(0)), nullptr);
  for (size_t i = 0; i < 10000; i++) pm.Add(k.Key(i), k.Value(i));
  EXPECT_EQ(pm.Count(), 10000);
  for (size_t i = 0; i < 20000; i++) {
    void *pvWanted = i < 10000 ? k.Value(i) : nullptr;
    ASSERT_EQ(Found(pm, k.Key(i)), pvWanted) << i;
    ASSERT_EQ(pm.Find(k.Key(i)), pvWanted) << i;
  }
  pm.Add(k.Key(7), k.Value(8));
  EXPECT_EQ(Found(pm, k.Key(7)), k.Value(7));

  const long long llProbes = pm.ProbeCount();
  pm.Find(k.Key(1));
  EXPECT_GT(pm.ProbeCount(), llProbes);

  pm.Clear();
  EXPECT_EQ(pm.Count(), 0);
  EXPECT_EQ(Found(pm, k.Key(1)), nullptr);
  pm.Add(k.Key(1), k.Value(2));
  EXPECT_EQ(Found(pm, k.Key(1)), k.Value(2));

  CGuardBreachCounter gbc;
  pm.Add(nullptr, k.Value(0));
  pm.EndChange();
  EXPECT_EQ(gbc.Count(), 2);
  EXPECT_EQ(pm.Count(), 1);
}

// While a change is grouped, and from an invalidation until the next Clear, lock-free searches
// defer to Find, which answers from the content as it is.
TEST(PointerMap, ChangesAndInvalidationSendReadersToTheLock)
{
  CPointerMap pm;
  Keys k(4);
  pm.Add(k.Key(0), k.Value(0));
  void *pv = nullptr;
  pm.BeginChange();
  pm.BeginChange();
  pm.Add(k.Key(1), k.Value(1));
  EXPECT_FALSE(pm.TryFind(k.Key(0), pv));
  pm.EndChange();
  EXPECT_FALSE(pm.TryFind(k.Key(0), pv));
  pm.EndChange();
  EXPECT_EQ(Found(pm, k.Key(1)), k.Value(1));

  pm.Invalidate();
  EXPECT_FALSE(pm.TryFind(k.Key(0), pv));
  pm.Add(k.Key(2), k.Value(2));
  EXPECT_FALSE(pm.TryFind(k.Key(2), pv));
  EXPECT_EQ(pm.Find(k.Key(2)), k.Value(2));
  pm.BeginChange();
  pm.Clear();
  pm.Add(k.Key(3), k.Value(3));
  EXPECT_FALSE(pm.TryFind(k.Key(3), pv));
  pm.EndChange();
  EXPECT_EQ(Found(pm, k.Key(3)), k.Value(3));
  EXPECT_EQ(Found(pm, k.Key(0)), nullptr);
}

// Readers racing a writer that adds (and so grows the array many times) and rebuilds never get
// a wrong or missing value: a search either answers correctly or defers to the lock.
TEST(PointerMap, ReadersRacingAWriterNeverSeeAWrongValue)
{
  CPointerMap pm;
  const size_t ct = 30000;
  Keys k(ct);
  std::atomic<size_t> ctAdded{0};
  std::atomic<bool> bDone{false};
  std::atomic<long> ctWrong{0}, ctAnswered{0};
  auto Reader = [&] {
    for (unsigned long ul = 1; !bDone; ul = ul * 1103515245UL + 12345UL) {
      const size_t ctKnown = ctAdded.load();
      if (ctKnown == 0) continue;
      const size_t i = (ul >> 8) % ctKnown;
      void *pv = nullptr;
      if (!pm.TryFind(k.Key(i), pv)) continue;
      ctAnswered++;
      // Added before the search began: there, with its own value.
      if (pv != k.Value(i)) ctWrong++;
    }
  };
  std::thread th1(Reader), th2(Reader);
  for (size_t i = 0; i < ct; i++) {
    pm.Add(k.Key(i), k.Value(i));
    ctAdded = i + 1;
    if (i % 5000 == 4999) {
      // A rebuild, as owners do after removing entries.
      pm.Invalidate();
      pm.BeginChange();
      pm.Clear();
      for (size_t j = 0; j <= i; j++) pm.Add(k.Key(j), k.Value(j));
      pm.EndChange();
    }
  }
  // (on a loaded machine the readers may not have run yet: they search on until they have
  // answered, the map then at rest)
  while (ctAnswered < 1000) std::this_thread::yield();
  bDone = true;
  th1.join();
  th2.join();
  EXPECT_EQ(ctWrong, 0);
  EXPECT_GT(ctAnswered, 0);
  for (size_t i = 0; i < ct; i++) ASSERT_EQ(Found(pm, k.Key(i)), k.Value(i));
}
