#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace QuennelEngine;

namespace {

Time Units(__int64 ll)
{
  return Time(ll);
}

} // namespace

TEST(Time, SecondsAndFractions)
{
  EXPECT_EQ(Time().tm_llValue, 0);
  EXPECT_EQ(tim_tmQuantum.tm_llValue, 1);

  Time tm(1.5f);
  EXPECT_EQ(tm.tm_llValue, 0x0000000180000000LL);
  EXPECT_EQ(timSecondsL(tm), 1);
  EXPECT_EQ(timFractionsF(tm), 0.5f);
  EXPECT_EQ(timToFloat(tm), 1.5f);

  // Whole seconds round towards minus infinity; the fraction stays positive.
  EXPECT_EQ(timSecondsL(Time(-0.5f)), -1);
  EXPECT_EQ(timFractionsF(Time(-0.5f)), 0.5f);
  EXPECT_EQ(timToFloat(Time(-2.25f)), -2.25f);

  // Rounded to the nearest unit, not truncated.
  EXPECT_EQ(Time(1.0e-10f).tm_llValue, 0); // 0.43 units
  EXPECT_EQ(Time(2.0e-10f).tm_llValue, 1); // 0.86 units
  EXPECT_EQ(Time(-2.0e-10f).tm_llValue, -1);

  // Seconds beyond the range saturate instead of wrapping to the other sign.
  EXPECT_EQ(Time(3.0e9f).tm_llValue, 0x7FFFFFFFFFFFFFFFLL);
  EXPECT_EQ(Time(-3.0e9f).tm_llValue, -0x7FFFFFFFFFFFFFFFLL - 1);
}

TEST(Time, Milliseconds)
{
  EXPECT_EQ(timFromMillisecondsL(1000), Time(1.0f));
  EXPECT_EQ(timMillisecondsL(Time(1.0f)), 1000);
  EXPECT_EQ(timMillisecondsL(Time(0.0015f)), 1);
  EXPECT_EQ(timFromMillisecondsL(-500), Time(-0.5f));
  EXPECT_EQ(timMillisecondsL(Time(-0.5f)), -500);
  // Thirty days of uptime: the milliseconds no longer fit in 32 bits, nor does the product
  // of the raw units by 1000 fit in 64.
  Time tmMonth = Units((__int64)30 * 86400 << 32);
  EXPECT_EQ(timMillisecondsL(tmMonth), 2592000000LL);
  EXPECT_EQ(timFromMillisecondsL(2592000000LL), tmMonth);
  // The largest calendar time still converts.
  EXPECT_EQ(timMillisecondsL(Units(0x7FFFFFFFLL << 32)), 2147483647000LL);
}

TEST(Time, Phase)
{
  EXPECT_EQ(timGetPhase(Time(2.5f), 1.0f), 0.5f);
  EXPECT_EQ(timGetPhase(Time(), 1.0f), 0.0f);
  EXPECT_NEAR(timGetPhase(Time(0.75f), 0.3f), 0.5f, 1e-6f);
  // No period, or a negative one, gives 0 rather than a division by zero.
  EXPECT_EQ(timGetPhase(Time(2.5f), 0.0f), 0.0f);
  EXPECT_EQ(timGetPhase(Time(2.5f), -1.0f), 0.0f);
  EXPECT_EQ(timGetPhase(Time(2.5f), 1.0e-12f), 0.0f); // below one unit
  // Stays inside [0, 1) for non-negative times, also just below a multiple of the period.
  Time tmPeriod(0.1f);
  for (__int64 ll = -3; ll <= 3; ll++) {
    float fPhase = timGetPhase(Units(tmPeriod.tm_llValue * 7 + ll), 0.1f);
    EXPECT_GE(fPhase, 0.0f);
    EXPECT_LT(fPhase, 1.0f);
  }
}

TEST(Time, Operators)
{
  Time tmA(1.5f), tmB(0.25f);
  EXPECT_EQ(tmA + tmB, Time(1.75f));
  EXPECT_EQ(tmA - tmB, Time(1.25f));
  EXPECT_EQ(-tmA, Time(-1.5f));
  EXPECT_EQ(tmA * 2.0f, Time(3.0f));
  EXPECT_EQ(0.5f * tmA, Time(0.75f));
  EXPECT_EQ(tmA / 3.0f, Time(0.5f));
  EXPECT_EQ(tmA / 0.0f, Time()); // no trap
  EXPECT_TRUE(tmB < tmA && tmB <= tmA && tmA > tmB && tmA >= tmB && tmA != tmB);
  Time tm = tmA;
  tm += tmB;
  tm -= Time(0.75f);
  EXPECT_EQ(tm, Time(1.0f));
}
