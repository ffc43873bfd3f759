#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace QuennelEngine;
using namespace QuennelEngine::Test;

TEST(PileAllocator, BlocksGrowByTheStepAndFreeAllMergesThem)
{
  CPileAllocator pa;
  EXPECT_EQ(pa.GetAllocationStep(), 16);
  EXPECT_EQ(pa.GetBlockCount(), 0);

  // The first piece makes a block of step x size; fifteen more fit in it.
  char *pchFirst = (char *)pa.Allocate(10);
  ASSERT_NE(pchFirst, nullptr);
  EXPECT_EQ(pa.GetCurrentBlockSize(), 160);
  for (int i = 1; i < 16; i++) EXPECT_EQ(pa.Allocate(10), pchFirst + 10 * i);
  EXPECT_EQ(pa.GetBlockCount(), 1);
  EXPECT_EQ(pa.GetUsedInCurrentBlock(), 160);
  // The seventeenth opens a second block.
  char *pchSecond = (char *)pa.Allocate(10);
  EXPECT_EQ(pa.GetBlockCount(), 2);
  EXPECT_EQ(pa.GetUsedInCurrentBlock(), 10);
  memset(pchSecond, 0xAB, 10);

  // FreeAll leaves one block of the summed size, so the next cycle fits in it.
  pa.FreeAll();
  EXPECT_EQ(pa.GetBlockCount(), 1);
  EXPECT_EQ(pa.GetCurrentBlockSize(), 320);
  EXPECT_EQ(pa.GetUsedInCurrentBlock(), 0);
  char *pchStart = (char *)pa.Allocate(10);
  for (int i = 1; i < 32; i++) pa.Allocate(10);
  EXPECT_EQ(pa.GetBlockCount(), 1);
  // With one block, FreeAll only rewinds it.
  pa.FreeAll();
  EXPECT_EQ(pa.Allocate(5), pchStart);

  pa.Clear();
  EXPECT_EQ(pa.GetBlockCount(), 0);
  EXPECT_EQ(pa.GetCurrentBlockSize(), 0);
  EXPECT_EQ(pa.GetUsedInCurrentBlock(), 0);
  pa.SetAllocationStep(4);
  EXPECT_EQ(pa.GetAllocationStep(), 4);
  pa.Allocate(100);
  EXPECT_EQ(pa.GetCurrentBlockSize(), 400);
  // A piece too big for the rest of the block starts a new one; the old one is kept.
  pa.Allocate(350);
  EXPECT_EQ(pa.GetBlockCount(), 2);
  EXPECT_EQ(pa.GetCurrentBlockSize(), 1400);
}

TEST(PileAllocator, FreeLastAndContractViolations)
{
  CPileAllocator pa;
  char *pchA = (char *)pa.Allocate(8);
  char *pchB = (char *)pa.Allocate(8);
  pa.FreeLast(pchB);
  EXPECT_EQ(pa.GetUsedInCurrentBlock(), 8);
  EXPECT_EQ(pa.Allocate(8), pchB); // the space is handed out again

  CGuardBreachCounter gbc;
  // Only the last piece can go back, and only once.
  pa.FreeLast(pchA);
  pa.FreeLast(pchB);
  pa.FreeLast(pchB);
  EXPECT_EQ(gbc.Count(), 2); // the first and the third call
  EXPECT_EQ(pa.GetUsedInCurrentBlock(), 8);
  pa.FreeLast(nullptr); // freeing null does nothing, and is no breach
  EXPECT_EQ(pa.GetUsedInCurrentBlock(), 8);
  EXPECT_EQ(gbc.Count(), 2);

  // A negative size and a step below 1 are refused.
  EXPECT_EQ(pa.Allocate(-1), nullptr);
  pa.SetAllocationStep(0);
  EXPECT_EQ(pa.GetAllocationStep(), 16);
  EXPECT_EQ(gbc.Count(), 4);
  // A request whose step multiple cannot be held gets a block of its own size.
  pa.SetAllocationStep(1000);
  char *pchBig = (char *)pa.Allocate(4 * 1024 * 1024);
  ASSERT_NE(pchBig, nullptr);
  EXPECT_EQ(pa.GetCurrentBlockSize(), 4 * 1024 * 1024);
  pchBig[4 * 1024 * 1024 - 1] = 1;
}
