// Rotation conversions against GLM: Euler angles (heading about y, pitch about x, bank about z,
// M = Ry Rx Rz, GLM's eulerAngleYXZ), quaternions, axis-angles; round trips over sweeps that
// include the gimbal lock and half turns; frames from one axis; differences; cross products.
//
// Tolerances: single-precision rotations hold their elements to a few units of 1e-7, so matrices
// and quaternions are compared within 2e-6 (1e-5 after two conversions), angles within 1e-3 rad
// away from the gimbal lock, where they are well defined.
#include "GlmConvert.h"

using namespace QuennelEngine;
using namespace QuennelEngine::Test;

namespace {

// The same rotation up to the sign (q and -q turn alike).
::testing::AssertionResult SameRotation(const Quaternion4f &q, const Quaternion4f &qExpected,
                                        float fTolerance)
{
  const float fSign = mthDot(q, qExpected) < 0 ? -1.0f : 1.0f;
  if (fabsf(q.x * fSign - qExpected.x) <= fTolerance &&
      fabsf(q.y * fSign - qExpected.y) <= fTolerance &&
      fabsf(q.z * fSign - qExpected.z) <= fTolerance &&
      fabsf(q.w * fSign - qExpected.w) <= fTolerance) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure()
         << "(" << q.x << ", " << q.y << ", " << q.z << ", " << q.w << ") is not (" << qExpected.x
         << ", " << qExpected.y << ", " << qExpected.z << ", " << qExpected.w << ")";
}

::testing::AssertionResult NearMatrix(const Matrix33f &m, const Matrix33f &mExpected,
                                      float fTolerance)
{
  return NearGlm(m, ToGlm(mExpected), fTolerance);
}

// Euler angles over a grid with the special values in it (0, the gimbal lock at pitch +-pi/2,
// half turns at +-pi), then random ones.
std::vector<Vector3f> EulerSweep(void)
{
  const float afSpecial[] = {
      0,      PI / 2,         -PI / 2,         PI,         -PI,  PI / 4, -PI / 3, 0.001f,
      -1e-6f, PI / 2 - 1e-4f, -PI / 2 + 1e-3f, PI - 1e-5f, 2.5f, -2.9f};
  std::vector<Vector3f> av;
  for (float fH : afSpecial)
    for (float fP : afSpecial)
      for (float fB : afSpecial) av.push_back(Vector3f(fH, fP, fB));
  CRandom rnd(11);
  for (int i = 0; i < 3000; i++) {
    const float fH = rnd.Float(-PI, PI), fP = rnd.Float(-PI / 2, PI / 2);
    av.push_back(Vector3f(fH, fP, rnd.Float(-PI, PI)));
  }
  return av;
}

bool IsRotation(const Matrix33f &m, float fTolerance)
{
  return NearMatrix(m * mthTranspose(m), mthIdentityM33f(), fTolerance) &&
         fabsf(mthDeterminant(m) - 1.0f) <= fTolerance;
}

} // namespace

TEST(MathRotation, EulerAnglesGiveGlmsYawPitchRollMatrixAndQuaternion)
{
  for (const Vector3f &v : EulerSweep()) {
    const glm::mat3 g = glm::mat3(glm::eulerAngleYXZ(v.x, v.y, v.z));
    ASSERT_TRUE(NearGlm(mthEulerToMatrix(v), g, 2e-6f)) << v.x << " " << v.y << " " << v.z;
    const glm::quat gq = glm::quat_cast(g);
    ASSERT_TRUE(SameRotation(mthEulerToQuaternion(v), Quaternion4f(gq.x, gq.y, gq.z, gq.w), 2e-6f))
        << v.x << " " << v.y << " " << v.z;
    // The axis-angle turns the same way.
    ASSERT_TRUE(NearMatrix(mthAxisAngleToMatrix(mthEulerToAxisAngle(v)), FromGlm(g), 1e-5f));
  }
  // Each angle alone, as documented: heading turns -z (the view) towards -x (left), pitch turns it
  // up, bank turns +x (right) up.
  EXPECT_TRUE(NearVector(mthEulerToMatrix(Vector3f(PI / 2, 0, 0)) * Vector3f(0, 0, -1),
                         Vector3f(-1, 0, 0), 1e-6f));
  EXPECT_TRUE(NearVector(mthEulerToMatrix(Vector3f(0, PI / 2, 0)) * Vector3f(0, 0, -1),
                         Vector3f(0, 1, 0), 1e-6f));
  EXPECT_TRUE(NearVector(mthEulerToMatrix(Vector3f(0, 0, PI / 2)) * Vector3f(1, 0, 0),
                         Vector3f(0, 1, 0), 1e-6f));
}

TEST(MathRotation, EulerAnglesRoundTripThroughMatricesQuaternionsAndAxisAngles)
{
  for (const Vector3f &v : EulerSweep()) {
    const Matrix33f m = mthEulerToMatrix(v);
    const Vector3f vFromMatrix = mthMatrixToEuler(m);
    const Vector3f vFromQuaternion = mthQuaternionToEuler(mthEulerToQuaternion(v));
    const Vector3f vFromAxisAngle = mthAxisAngleToEuler(mthEulerToAxisAngle(v));
    for (const Vector3f &vBack : {vFromMatrix, vFromQuaternion, vFromAxisAngle}) {
      // Always in range, and always the same rotation.
      ASSERT_TRUE(fabsf(vBack.x) <= PI && fabsf(vBack.y) <= PI / 2 + 1e-6f && fabsf(vBack.z) <= PI)
          << vBack.x << " " << vBack.y << " " << vBack.z;
      ASSERT_TRUE(NearMatrix(mthEulerToMatrix(vBack), m, 1e-5f))
          << v.x << " " << v.y << " " << v.z << " came back as " << vBack.x << " " << vBack.y << " "
          << vBack.z;
    }
    // Away from the lock and from the +-pi seam the angles themselves come back.
    if (fabsf(v.y) < PI / 2 - 0.01f && fabsf(v.x) < PI - 0.01f && fabsf(v.z) < PI - 0.01f) {
      ASSERT_TRUE(NearVector(vFromMatrix, v, 1e-3f)) << v.x << " " << v.y << " " << v.z;
      ASSERT_TRUE(NearVector(vFromQuaternion, v, 1e-3f));
    }
  }
  // At the lock itself the whole turn goes to heading.
  const Vector3f vLock = mthMatrixToEuler(mthEulerToMatrix(Vector3f(0.3f, PI / 2, 0.5f)));
  EXPECT_NEAR(vLock.y, PI / 2, 1e-3f);
  EXPECT_TRUE(
      NearMatrix(mthEulerToMatrix(vLock), mthEulerToMatrix(Vector3f(0.3f, PI / 2, 0.5f)), 1e-5f));
  const Vector3f vExact = mthMatrixToEuler(Matrix33f(0, 1, 0, 0, 0, -1, -1, 0, 0));
  EXPECT_EQ(vExact.z, 0.0f);
  EXPECT_NEAR(vExact.x, PI / 2, 1e-6f);
  EXPECT_NEAR(vExact.y, PI / 2, 1e-6f);
}

TEST(MathRotation, QuaternionsAndMatricesRoundTripIncludingHalfTurns)
{
  std::vector<Quaternion4f> aq;
  CRandom rnd(12);
  for (int i = 0; i < 3000; i++) aq.push_back(rnd.Rotation());
  // Half turns (w = 0) about axes and diagonals, and near-half turns: the trace is -1 there and
  // the conversion must take another element than w.
  for (const Vector3f &vAxis :
       {Vector3f(1, 0, 0), Vector3f(0, 1, 0), Vector3f(0, 0, 1), mthNormalize(Vector3f(1, 1, 0)),
        mthNormalize(Vector3f(-1, 2, 3)), mthNormalize(Vector3f(1, 1, 1))}) {
    for (float fAngle : {PI, -PI, PI - 1e-4f, 0.0f, 1e-5f, PI / 2}) {
      aq.push_back(mthAxisAngleToQuaternion(Vector4f(vAxis, fAngle)));
    }
  }
  for (const Quaternion4f &q : aq) {
    const Matrix33f m = mthQuaternionToMatrix(q);
    ASSERT_TRUE(NearGlm(m, glm::mat3_cast(ToGlm(q)), 2e-6f));
    ASSERT_TRUE(IsRotation(m, 1e-5f));
    const Quaternion4f qBack = mthMatrixToQuaternion(m);
    ASSERT_GE(qBack.w, 0.0f);
    ASSERT_TRUE(SameRotation(qBack, q, 2e-6f));
    const glm::quat gq = glm::quat_cast(ToGlm(m));
    ASSERT_TRUE(SameRotation(qBack, Quaternion4f(gq.x, gq.y, gq.z, gq.w), 2e-6f));
    // Matrix to axis-angle: an angle in [0, pi] about a unit axis, the same rotation.
    const Vector4f vAxisAngle = mthMatrixToAxisAngle(m);
    ASSERT_GE(vAxisAngle.w, 0.0f);
    ASSERT_LE(vAxisAngle.w, PI + 1e-6f);
    ASSERT_NEAR(mthLength(Vector3f(vAxisAngle.x, vAxisAngle.y, vAxisAngle.z)), 1.0f, 1e-5f);
    ASSERT_TRUE(NearMatrix(mthAxisAngleToMatrix(vAxisAngle), m, 1e-5f));
    // Quaternion to axis-angle: GLM's angle and axis (its arc cosine holds the digits only
    // away from no turn), and back to the same rotation everywhere.
    const Vector4f vQuatAxisAngle = mthQuaternionToAxisAngle(q);
    ASSERT_GE(vQuatAxisAngle.w, 0.0f);
    ASSERT_LE(vQuatAxisAngle.w, 2 * PI + 1e-5f);
    ASSERT_TRUE(SameRotation(mthAxisAngleToQuaternion(vQuatAxisAngle), q, 2e-6f));
    if (fabsf(q.w) < 0.99f) {
      const glm::vec3 gAxis = glm::axis(ToGlm(q));
      ASSERT_NEAR(vQuatAxisAngle.w, glm::angle(ToGlm(q)), 1e-5f);
      ASSERT_TRUE(NearVector(Vector3f(vQuatAxisAngle.x, vQuatAxisAngle.y, vQuatAxisAngle.z),
                             Vector3f(gAxis.x, gAxis.y, gAxis.z), 1e-5f));
    }
    // And as a placement with its translation.
    const QuatVect qv = mthMatrixToQuatVect(Matrix34f(m, Vector3f(1, -2, 3)));
    ASSERT_TRUE(SameRotation(qv.qRotation, q, 2e-6f));
    ASSERT_EQ(qv.vTranslation, Vector3f(1, -2, 3));
  }
  EXPECT_EQ(mthMatrixToAxisAngle(mthIdentityM33f()), Vector4f(1, 0, 0, 0));
}

TEST(MathRotation, DegenerateRotationsGiveDefinedAnswers)
{
  // A zero axis turns nothing, whatever the angle; a long axis is normalised.
  EXPECT_EQ(mthAxisAngleToQuaternion(Vector4f(0, 0, 0, 1.5f)), mthIdentityQ4f());
  EXPECT_EQ(mthAxisAngleToMatrix(Vector4f(0, 0, 0, 2.0f)), mthIdentityM33f());
  EXPECT_EQ(mthAxisAngleToQuaternion(Vector4f(INFINITY, 0, 0, 1.0f)), mthIdentityQ4f());
  EXPECT_TRUE(SameRotation(mthAxisAngleToQuaternion(Vector4f(0, 0, 5, PI)),
                           Quaternion4f(0, 0, 1, 0), 1e-6f));
  EXPECT_EQ(mthAxisAngleToEuler(Vector4f(0, 0, 0, 3.0f)), Vector3f(0.0f));
  // The zero quaternion has no rotation in it; a long one is normalised.
  EXPECT_EQ(mthQuaternionToEuler(Quaternion4f(0.0f)), Vector3f(0.0f));
  EXPECT_EQ(mthQuaternionToMatrix(Quaternion4f(0.0f)), mthIdentityM33f());
  EXPECT_TRUE(
      NearVector(mthQuaternionToEuler(mthEulerToQuaternion(Vector3f(0.1f, 0.2f, 0.3f)) * 3.0f),
                 Vector3f(0.1f, 0.2f, 0.3f), 1e-5f));
  // Matrices that are no rotation (zero, singular, scaled, random) never give NaN.
  CRandom rnd(13);
  std::vector<Matrix33f> am = {Matrix33f(0.0f), Matrix33f(1.0f), Matrix33f(-1.0f),
                               Matrix33f(-1, 0, 0, 0, -1, 0, 0, 0, -1)};
  for (int i = 0; i < 500; i++) {
    Matrix33f m;
    for (int j = 0; j < 9; j++) m.m[j / 3][j % 3] = rnd.Float(-10, 10);
    am.push_back(m);
  }
  for (const Matrix33f &m : am) {
    ASSERT_TRUE(mthIsFiniteV3f(mthMatrixToEuler(m)));
    ASSERT_TRUE(mthIsFiniteQ4f(mthMatrixToQuaternion(m)));
    ASSERT_TRUE(mthIsFiniteV4f(mthMatrixToAxisAngle(m)));
  }
}

TEST(MathRotation, FramesFromOneAxisAreRightHandedRotationsWithThatAxis)
{
  std::vector<Vector3f> av = {
      Vector3f(1, 0, 0),  Vector3f(-1, 0, 0),         Vector3f(0, 1, 0),
      Vector3f(0, -1, 0), Vector3f(0, 0, 1),          Vector3f(0, 0, -1),
      Vector3f(3, 0, 0),  Vector3f(1e-3f, 0, -1),     Vector3f(0, 1e-7f, -1),
      Vector3f(1, 1, 1),  Vector3f(1e-20f, 0, 1e-20f)};
  CRandom rnd(14);
  for (int i = 0; i < 2000; i++) av.push_back(rnd.Vector(-5, 5));
  for (const Vector3f &v : av) {
    const Vector3f vUnit = mthNormalize(v);
    const Matrix33f mX = mthXAxisToMatrix33f(v), mY = mthYAxisToMatrix33f(v),
                    mZ = mthZAxisToMatrix33f(v);
    for (const Matrix33f *pm : {&mX, &mY, &mZ}) ASSERT_TRUE(IsRotation(*pm, 1e-5f));
    ASSERT_TRUE(NearVector(mX.GetColumn(0), vUnit, 1e-6f));
    ASSERT_TRUE(NearVector(mY.GetColumn(1), vUnit, 1e-6f));
    ASSERT_TRUE(NearVector(mZ.GetColumn(2), vUnit, 1e-6f));
  }
  EXPECT_EQ(mthXAxisToMatrix33f(Vector3f(0.0f)), mthIdentityM33f());
  EXPECT_EQ(mthYAxisToMatrix33f(Vector3f(0.0f)), mthIdentityM33f());
  EXPECT_EQ(mthZAxisToMatrix33f(Vector3f(0.0f)), mthIdentityM33f());
}

TEST(MathRotation, DifferenceOfTwoRotationsTakesOneToTheOtherTheShortWay)
{
  CRandom rnd(15);
  for (int i = 0; i < 2000; i++) {
    const Quaternion4f qA = rnd.Rotation(), qB = rnd.Rotation();
    const Quaternion4f qD = mthDiffQuat(qA, qB);
    ASSERT_GE(qD.w, 0.0f);
    ASSERT_TRUE(SameRotation(qD * qA, qB, 2e-6f));
    const glm::quat g = ToGlm(qB) * glm::inverse(ToGlm(qA));
    ASSERT_TRUE(SameRotation(qD, Quaternion4f(g.x, g.y, g.z, g.w), 2e-6f));
  }
  EXPECT_TRUE(
      SameRotation(mthDiffQuat(mthIdentityQ4f(), Quaternion4f(0, 0, 0, -1)), mthIdentityQ4f(), 0));
}

TEST(MathRotation, StarMatrixIsTheCrossProduct)
{
  CRandom rnd(16);
  for (int i = 0; i < 1000; i++) {
    const Vector3f vA = rnd.Vector(-10, 10), vB = rnd.Vector(-10, 10);
    const Matrix33f m = mthStarMatrix(vA);
    ASSERT_TRUE(NearGlm(m, glm::matrixCross3(ToGlm(vA)), 0));
    ASSERT_TRUE(NearVector(m * vB, mthCross(vA, vB), 1e-4f));
    ASSERT_EQ(mthTranspose(m), mthStarMatrix(-vA));
  }
}
