// Finiteness checks: every field of every type is looked at, and infinities, NaNs of both signs
// and payloads are refused while the largest, smallest and subnormal floats pass.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <float.h>
#include <math.h>
#include <string.h>

using namespace QuennelEngine;

namespace {

// Calls `fnCheck` on `t` with each of its floats in turn replaced by each bad value, and once
// as it is.
template <class T, class F> void ExpectEveryFieldChecked(const T &t, F fnCheck)
{
  const int ctFloats = sizeof(T) / sizeof(float);
  ASSERT_TRUE(fnCheck(t));
  float fQuietNaN = NAN, fPayloadNaN;
  const unsigned int ulPayload = 0xFF800123u; // a negative NaN with a payload
  memcpy(&fPayloadNaN, &ulPayload, sizeof(fPayloadNaN));
  for (float fBad : {INFINITY, -INFINITY, fQuietNaN, -fQuietNaN, fPayloadNaN}) {
    for (int i = 0; i < ctFloats; i++) {
      T tBad = t;
      memcpy(reinterpret_cast<char *>(&tBad) + i * sizeof(float), &fBad, sizeof(float));
      EXPECT_FALSE(fnCheck(tBad)) << "float " << i << " is " << fBad;
    }
  }
}

} // namespace

TEST(MathFinite, OrdinaryNumbersPassAndEveryFieldIsChecked)
{
  for (float f : {0.0f, -0.0f, 1.0f, FLT_MAX, -FLT_MAX, FLT_MIN, FLT_TRUE_MIN, -FLT_TRUE_MIN}) {
    EXPECT_TRUE(mthIsFiniteF(f)) << f;
  }
  EXPECT_FALSE(mthIsFiniteF(INFINITY));
  EXPECT_FALSE(mthIsFiniteF(-INFINITY));
  EXPECT_FALSE(mthIsFiniteF(NAN));
  // An overflow computed at run time (x87 registers hold more range than a float).
  volatile float fBig = FLT_MAX;
  EXPECT_FALSE(mthIsFiniteF(fBig * 2.0f));

  ExpectEveryFieldChecked(Vector2f(1, -2), mthIsFiniteV2f);
  ExpectEveryFieldChecked(Vector3f(1, -2, FLT_MAX), mthIsFiniteV3f);
  ExpectEveryFieldChecked(Vector4f(1, -2, 3, FLT_MIN), mthIsFiniteV4f);
  ExpectEveryFieldChecked(Box1f(-1, 2), mthIsFiniteB1f);
  ExpectEveryFieldChecked(Box2f(0, 1, 2, 3), mthIsFiniteB2f);
  ExpectEveryFieldChecked(Box3f(0, 1, 2, 3, 4, 5), mthIsFiniteB3f);
  ExpectEveryFieldChecked(Plane4f(0, 1, 0, -2), mthIsFiniteP4f);
  ExpectEveryFieldChecked(Quaternion4f(0, 0, 0, 1), mthIsFiniteQ4f);
  ExpectEveryFieldChecked(QuatVect(Quaternion4f(0, 0, 0, 1), Vector3f(1, 2, 3)), mthIsFiniteQV);
  ExpectEveryFieldChecked(Matrix33f(2.0f), mthIsFiniteM33f);
  ExpectEveryFieldChecked(Matrix34f(-3.0f), mthIsFiniteM34f);
  ExpectEveryFieldChecked(Matrix44f(4.0f), mthIsFiniteM44f);
  // The empty boxes are built from the largest floats: finite.
  EXPECT_TRUE(mthIsFiniteB1f(Box1f::Empty()));
  EXPECT_TRUE(mthIsFiniteB3f(Box3f::Empty()));
}
