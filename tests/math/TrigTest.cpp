// Trigonometry against double precision, with the Fast forms' largest errors measured over a
// dense sweep (the figures their header states), and the random tables' range, repeatability
// and shuffle.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <math.h>
#include <stdio.h>
#include <vector>

using namespace QuennelEngine;
using namespace QuennelEngine::Test;

namespace {

// The value rounded to a float through memory: x87 code may otherwise keep a float variable in
// a register with more precision, and the reference would see another angle than the function.
float ExactFloat(double d)
{
  volatile float f = (float)d;
  return f;
}

} // namespace

TEST(Trig, ExactFormsMatchDoublePrecision)
{
  for (int i = -20000; i <= 20000; i++) {
    const float f = ExactFloat(i * 0.001);
    EXPECT_NEAR(Sin(f), sin((double)f), 1.2e-7);
    EXPECT_NEAR(Cos(f), cos((double)f), 1.2e-7);
    const double dTan = tan((double)f);
    EXPECT_NEAR(Tan(f), dTan, 2.4e-7 * (1 + dTan * dTan));
  }
}

TEST(Trig, FastFormsStayWithinTheirStatedErrors)
{
  // 400,000 angles over [-8 pi, 8 pi], off the table's steps.
  const double dPi = 3.14159265358979323846;
  double dWorstSin = 0, dWorstCos = 0, dWorstTan = 0;
  const int ctSteps = 400000;
  for (int i = 0; i <= ctSteps; i++) {
    const float f = ExactFloat(-8 * dPi + 16 * dPi * i / ctSteps);
    dWorstSin = fmax(dWorstSin, fabs(SinFast(f) - sin((double)f)));
    dWorstCos = fmax(dWorstCos, fabs(CosFast(f) - cos((double)f)));
    const double dTan = tan((double)f);
    if (fabs(dTan) <= 1000 && fabs(dTan) > 1e-3) {
      dWorstTan = fmax(dWorstTan, fabs(TanFast(f) - dTan) / fabs(dTan));
    }
  }
  printf("largest errors: SinFast %.3g, CosFast %.3g, TanFast %.3g relative\n", dWorstSin,
         dWorstCos, dWorstTan);
  EXPECT_LT(dWorstSin, 4e-7);
  EXPECT_LT(dWorstCos, 4e-7);
  EXPECT_LT(dWorstTan, 3e-7);
  // Exact where the table is: zero, a quarter turn; large arguments still reduce; beyond the
  // table's range the exact forms answer; NaN stays NaN.
  EXPECT_EQ(SinFast(0), 0.0f);
  EXPECT_EQ(CosFast(0), 1.0f);
  EXPECT_EQ(TanFast(0), 0.0f);
  EXPECT_NEAR(SinFast((float)(dPi / 2)), 1.0f, 1e-7f);
  EXPECT_NEAR(SinFast(123456.7f), sin((double)123456.7f), 1e-6);
  EXPECT_NEAR(CosFast(-98765.4f), cos((double)-98765.4f), 1e-6);
  EXPECT_EQ(SinFast(3e7f), Sin(3e7f));
  EXPECT_EQ(CosFast(-3e7f), Cos(-3e7f));
  EXPECT_EQ(TanFast(3e7f), Tan(3e7f));
  EXPECT_TRUE(isnan(SinFast(NAN)));
  EXPECT_TRUE(isnan(CosFast(INFINITY)));
}

TEST(RandomTables, AreRepeatableInRangeAndShuffled)
{
  const long ct = rtGetCountOfRandomTableEntries();
  ASSERT_EQ(ct, 4096);
  rtInitializeRandomTables(1234);
  std::vector<float> afFirst;
  double dSum = 0;
  for (long i = 0; i < ct; i++) {
    const float f = rtGetRandomF(i);
    EXPECT_GE(f, 0.0f);
    EXPECT_LT(f, 1.0f);
    afFirst.push_back(f);
    dSum += f;
  }
  // Uniform: the mean of 4096 draws is within 5 standard deviations of 0.5.
  EXPECT_NEAR(dSum / ct, 0.5, 5 * sqrt(1.0 / 12 / ct));
  // Any index wraps onto the table, negative ones too.
  EXPECT_EQ(rtGetRandomF(ct + 5), afFirst[5]);
  EXPECT_EQ(rtGetRandomF(-1), afFirst[ct - 1]);
  EXPECT_EQ(rtGetPerturbedIndex(-ct), rtGetPerturbedIndex(0));
  // The perturbed indices are a permutation, and not the identity.
  std::vector<int> aiSeen(ct, 0);
  long ctInPlace = 0;
  for (long i = 0; i < ct; i++) {
    const long iIndex = rtGetPerturbedIndex(i);
    ASSERT_GE(iIndex, 0);
    ASSERT_LT(iIndex, ct);
    aiSeen[iIndex]++;
    ctInPlace += iIndex == i;
  }
  for (long i = 0; i < ct; i++) EXPECT_EQ(aiSeen[i], 1) << i;
  EXPECT_LT(ctInPlace, 20);
  // Another seed gives other tables; the same seed the same ones again.
  rtInitializeRandomTables(99);
  long ctSame = 0;
  for (long i = 0; i < ct; i++) ctSame += rtGetRandomF(i) == afFirst[i];
  EXPECT_LT(ctSame, 10);
  rtInitializeRandomTables(1234);
  for (long i = 0; i < ct; i++) ASSERT_EQ(rtGetRandomF(i), afFirst[i]) << i;
  // The seed the library loads with, so other tests see the tables as they load.
  rtInitializeRandomTables();
}
