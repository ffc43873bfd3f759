#include "TestSupport.h"

#include "core/memory/HashIndex.h"

#include <gtest/gtest.h>

#include <vector>

using namespace QuennelEngine;
using QuennelEngine::Test::CGuardBreachCounter;

namespace {
// The owner's side: keys in an array, the value is the position; counts the keys looked at.
struct Owner {
  std::vector<unsigned long> o_aulKeys;
  CHashIndex o_hi;
  long o_ctMatches = 0;

  void Add(unsigned long ulKey, unsigned long ulHash)
  {
    o_aulKeys.push_back(ulKey);
    o_hi.Add(ulHash, (long)o_aulKeys.size() - 1);
  }
  long Find(unsigned long ulKey, unsigned long ulHash)
  {
    return o_hi.Find(ulHash, [&](long i) {
      o_ctMatches++;
      return o_aulKeys[i] == ulKey;
    });
  }
};
} // namespace

// Every entry stays findable through each growth, aligned addresses as hashes included, and a
// look-up looks at a key only when the hashes agree.
TEST(HashIndex, EntriesSurviveGrowthAndKeysAreComparedOnlyOnEqualHashes)
{
  Owner o;
  EXPECT_EQ(o.Find(1, 1), -1);
  EXPECT_EQ(o.o_hi.SlotCount(), 0);
  const unsigned long ct = 20000;
  for (unsigned long i = 0; i < ct; i++) o.Add(i, 0x00400000UL + 16 * i);
  EXPECT_EQ(o.o_hi.Count(), (long)ct);
  // At most half full, a power of two.
  EXPECT_GE(o.o_hi.SlotCount(), 2 * (long)ct);
  EXPECT_EQ(o.o_hi.SlotCount() & (o.o_hi.SlotCount() - 1), 0);
  o.o_ctMatches = 0;
  for (unsigned long i = 0; i < ct; i++) ASSERT_EQ(o.Find(i, 0x00400000UL + 16 * i), (long)i);
  EXPECT_EQ(o.o_ctMatches, (long)ct);
  for (unsigned long i = 0; i < ct; i++) ASSERT_EQ(o.Find(ct + i, 0x00400008UL + 16 * i), -1);
  EXPECT_EQ(o.o_ctMatches, (long)ct);
}

// Keys that share a hash are told apart by the owner's match; the first stored one that matches
// wins.
TEST(HashIndex, KeysSharingAHashAreToldApartByTheMatch)
{
  Owner o;
  for (unsigned long i = 0; i < 100; i++) o.Add(i, 7);
  for (unsigned long i = 0; i < 100; i++) EXPECT_EQ(o.Find(i, 7), (long)i);
  EXPECT_EQ(o.Find(100, 7), -1);
  o.Add(5, 7);
  EXPECT_EQ(o.Find(5, 7), 5);
}

// Clear keeps the slots, Reset frees them; both forget every entry, and the index is usable
// afterwards. A negative value is refused.
TEST(HashIndex, ClearResetAndRefusedValues)
{
  Owner o;
  for (unsigned long i = 0; i < 1000; i++) o.Add(i, i * 2654435761UL);
  const long ctSlots = o.o_hi.SlotCount();
  o.o_hi.Clear();
  EXPECT_EQ(o.o_hi.Count(), 0);
  EXPECT_EQ(o.o_hi.SlotCount(), ctSlots);
  EXPECT_EQ(o.Find(3, 3 * 2654435761UL), -1);
  o.o_hi.Add(3 * 2654435761UL, 3);
  EXPECT_EQ(o.Find(3, 3 * 2654435761UL), 3);
  o.o_hi.Reset();
  EXPECT_EQ(o.o_hi.SlotCount(), 0);
  EXPECT_EQ(o.Find(3, 3 * 2654435761UL), -1);

  CGuardBreachCounter gbc;
  o.o_hi.Add(1, -1);
  EXPECT_EQ(gbc.Count(), 1);
  EXPECT_EQ(o.o_hi.Count(), 0);
}
