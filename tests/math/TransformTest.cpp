// Inversions, box and plane transforms, back-transforms, reflections and plane spaces against
// GLM and against what they must satisfy (points of a plane stay on the transformed plane, a box
// holds the transformed corners, a reflection twice is nothing).
//
// Tolerances: random matrices have elements up to 3 and translations up to 10, so results are
// compared within 1e-4 relative (a few float roundings of values of that size).
#include "GlmConvert.h"

using namespace QuennelEngine;
using namespace QuennelEngine::Test;

namespace {

Vector3f Corner(const Box3f &box, int i)
{
  return Vector3f(i & 1 ? box.vMax.x : box.vMin.x, i & 2 ? box.vMax.y : box.vMin.y,
                  i & 4 ? box.vMax.z : box.vMin.z);
}

// The box around the eight corners transformed by GLM.
Box3f GlmCornerBox(const Box3f &box, const glm::mat4 &g)
{
  Box3f boxR = Box3f::Empty();
  for (int i = 0; i < 8; i++) {
    const glm::vec4 v = g * glm::vec4(ToGlm(Corner(box, i)), 1.0f);
    boxR |= Vector3f(v.x, v.y, v.z);
  }
  return boxR;
}

::testing::AssertionResult NearBox(const Box3f &box, const Box3f &boxExpected, float fTolerance)
{
  auto r = NearVector(box.vMin, boxExpected.vMin, fTolerance);
  return r ? NearVector(box.vMax, boxExpected.vMax, fTolerance) : r;
}

// The plane as GLM computes it: the row p times the inverse, normalised.
Plane4f GlmPlane(const Plane4f &pl, const glm::mat4 &g)
{
  const glm::vec4 v = ToGlm(pl) * glm::inverse(g);
  const float fInvLength = 1.0f / glm::length(glm::vec3(v));
  return Plane4f(v.x * fInvLength, v.y * fInvLength, v.z * fInvLength, v.w * fInvLength);
}

::testing::AssertionResult NearPlane(const Plane4f &pl, const Plane4f &plExpected, float fTolerance)
{
  auto r = NearVector(pl.vNormal, plExpected.vNormal, fTolerance);
  if (!r) return r;
  if (fabsf(pl.fD - plExpected.fD) <= fTolerance * (1 + fabsf(plExpected.fD))) return r;
  return ::testing::AssertionFailure() << "d " << pl.fD << " is not " << plExpected.fD;
}

} // namespace

TEST(MathTransform, InversesAndTransposesMatchGlm)
{
  CRandom rnd(21);
  for (int i = 0; i < 2000; i++) {
    const Matrix34f mAffine = rnd.Affine();
    Matrix33f m33;
    Matrix34f m34;
    ASSERT_TRUE(mthInvertM33f(m33, Matrix33f(mAffine)));
    ASSERT_TRUE(NearGlm(m33, glm::inverse(glm::mat3(ToGlm(mAffine))), 1e-4f));
    ASSERT_TRUE(mthInvertM34f(m34, mAffine));
    ASSERT_TRUE(NearGlm(m34, glm::affineInverse(ToGlm(mAffine)), 1e-4f));
    // A general 4 x 4 (a projective bottom row) and the transposes.
    Matrix44f m44 = Matrix44f(mAffine), m44Inverse;
    m44.m[3][0] = rnd.Float(-0.2f, 0.2f);
    m44.m[3][2] = rnd.Float(-0.2f, 0.2f);
    ASSERT_TRUE(mthInvertM44f(m44Inverse, m44));
    ASSERT_TRUE(NearGlm(m44Inverse, glm::inverse(ToGlm(m44)), 1e-3f));
    ASSERT_TRUE(NearGlm(mthTranspose(m44), glm::transpose(ToGlm(m44)), 0));
    ASSERT_TRUE(
        NearGlm(mthTranspose(Matrix33f(mAffine)), glm::transpose(glm::mat3(ToGlm(mAffine))), 0));
    // Rigid placements: the cheap inverses equal the general ones.
    const Matrix34f mRigid = rnd.Placement(10);
    ASSERT_TRUE(NearGlm(mthInvertRTM34f(mRigid), glm::affineInverse(ToGlm(mRigid)), 1e-5f));
    ASSERT_TRUE(NearGlm(mthInvertRTM44f(Matrix44f(mRigid)), glm::inverse(ToGlm(mRigid)), 1e-5f));
    ASSERT_TRUE(
        NearGlm(mthInvertR(Matrix33f(mRigid)), glm::inverse(glm::mat3(ToGlm(mRigid))), 1e-5f));
  }
  // The rigid 4 x 4 inverse has the affine bottom row, exactly.
  const Matrix44f mInverse = mthInvertRTM44f(Matrix44f(rnd.Placement(3)));
  EXPECT_EQ(mInverse.m[3][0], 0.0f);
  EXPECT_EQ(mInverse.m[3][2], 0.0f);
  EXPECT_EQ(mInverse.m[3][3], 1.0f);
  // Singular matrices: 0, and the output untouched.
  Matrix44f m44 = mthIdentityM44f();
  EXPECT_EQ(mthInvertM44f(m44, Matrix44f(1.0f)), 0);
  EXPECT_EQ(m44, mthIdentityM44f());
  // Not finite, or an inverse beyond the float range: 0 as well.
  EXPECT_EQ(mthInvertM44f(m44, Matrix44f(NAN)), 0);
  EXPECT_EQ(mthInvertM44f(m44, Matrix44f(1e-39f, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1)), 0);
  EXPECT_EQ(m44, mthIdentityM44f());
  Matrix33f m33 = mthIdentityM33f();
  EXPECT_EQ(mthInvertM33f(m33, Matrix33f(1e-39f, 0, 0, 0, 1, 0, 0, 0, 1)), 0);
  EXPECT_EQ(mthInvertM33f(m33, Matrix33f(INFINITY, 0, 0, 0, 1, 0, 0, 0, 1)), 0);
  EXPECT_EQ(m33, mthIdentityM33f());
  Matrix34f m34 = mthIdentityM34f();
  EXPECT_EQ(mthInvertM34f(m34, Matrix34f(1, 2, 3, 4, 2, 4, 6, 8, 0, 0, 1, 0)), 0);
  EXPECT_EQ(m34, mthIdentityM34f());
}

TEST(MathTransform, TransformedBoxesAreTheBoxesAroundTheTransformedCorners)
{
  CRandom rnd(22);
  for (int i = 0; i < 3000; i++) {
    const Vector3f vA = rnd.Vector(-5, 5), vB = rnd.Vector(-5, 5);
    const Box3f box(mthMin(vA, vB), mthMax(vA, vB));
    const Matrix34f m = i % 2 ? rnd.Affine() : rnd.Placement(10);
    const Box3f boxT = mthTransformBoxM34f(box, m);
    ASSERT_TRUE(NearBox(boxT, GlmCornerBox(box, ToGlm(m)), 1e-4f));
    // A placement's back-transform is the transform by its inverse, and takes points back.
    const Matrix34f mRigid = rnd.Placement(10);
    const Box3f boxBack = mthBackTransformRTBoxM34f(box, mRigid);
    ASSERT_TRUE(NearBox(boxBack, GlmCornerBox(box, glm::affineInverse(ToGlm(mRigid))), 1e-4f));
    const Vector3f v = rnd.Vector(-5, 5);
    ASSERT_TRUE(NearVector(mthBackTransformRTPosM34f(mRigid * v, mRigid), v, 1e-4f));
  }
  // A point box stays a point; an empty box stays empty; boxes out to FLT_MAX stay finite.
  const Matrix34f m = rnd.Placement(10);
  const Box3f boxPoint = mthTransformBoxM34f(Box3f(Vector3f(1, 2, 3)), m);
  EXPECT_TRUE(NearBox(boxPoint, Box3f(m * Vector3f(1, 2, 3)), 1e-5f));
  // Empty boxes come back as the one empty box, so that a later union starts from nothing.
  EXPECT_EQ(mthTransformBoxM34f(Box3f::Empty(), m), Box3f::Empty());
  EXPECT_EQ(mthTransformBoxM34f(Box3f(0, 0, 0, -1, 1, 1), m), Box3f::Empty());
  EXPECT_EQ(mthBackTransformRTBoxM34f(Box3f::Empty(), m), Box3f::Empty());
  const Box3f boxAll(-FLT_MAX, -FLT_MAX, -FLT_MAX, FLT_MAX, FLT_MAX, FLT_MAX);
  EXPECT_FALSE(mthTransformBoxM34f(boxAll, mthIdentityM34f()).IsEmpty());
  EXPECT_EQ(mthTransformBoxM34f(boxAll, mthIdentityM34f()), boxAll);
}

TEST(MathTransform, TransformedPlanesHoldTheTransformedPointsOnTheSameSide)
{
  CRandom rnd(23);
  for (int i = 0; i < 3000; i++) {
    const Plane4f pl(rnd.Direction() * rnd.Float(0.5f, 2), rnd.Float(-5, 5));
    Matrix34f m = i % 2 ? rnd.Affine() : rnd.Placement(10);
    if (i % 5 == 0)
      m = Matrix34f(mthReflectRotationMatrixByPlaneCols(Matrix33f(m), pl), Vector3f(1));
    const Plane4f plT = mthTransformPlaneM34f(pl, m);
    ASSERT_NEAR(mthLength(plT.vNormal), 1.0f, 1e-5f);
    ASSERT_TRUE(NearPlane(plT, GlmPlane(pl, ToGlm(m)), 1e-4f));
    // The same through the 4 x 4 form.
    ASSERT_TRUE(NearPlane(mthTransformPlaneM44f(pl, Matrix44f(m)), plT, 1e-4f));
    // A point of the plane lands on it, one on the positive side stays positive (mirrors too).
    Vector3f vU, vV;
    mthPlaneSpaceVectors(pl.vNormal, vU, vV);
    const Vector3f vOn = pl.vNormal * (-pl.fD / mthDot(pl.vNormal, pl.vNormal)) + vU * 2 - vV;
    ASSERT_NEAR(mthDistance(plT, m * vOn), 0, 1e-3f);
    ASSERT_GT(mthDistance(plT, m * (vOn + pl.vNormal)), 0);
  }
  // Singular linear parts give the zero plane; a zero normal is left as it is.
  const Plane4f pl(0, 1, 0, -2);
  EXPECT_EQ(mthTransformPlaneM34f(pl, Matrix34f(1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0)),
            Plane4f(0.0f));
  EXPECT_EQ(mthTransformPlaneM44f(pl, Matrix44f(0.0f)), Plane4f(0.0f));
  EXPECT_EQ(mthTransformPlaneM34f(Plane4f(0, 0, 0, 3), rnd.Affine()), Plane4f(0, 0, 0, 3));
}

TEST(MathTransform, ReflectionsMirrorPointsDirectionsAndFrames)
{
  CRandom rnd(24);
  for (int i = 0; i < 2000; i++) {
    const Vector3f vN = rnd.Direction();
    const float fScale = rnd.Float(0.2f, 5);
    const Plane4f pl(vN * fScale, rnd.Float(-5, 5) * fScale); // any normal length
    const Vector3f v = rnd.Vector(-10, 10);
    const Vector3f vPoint = mthReflectPositionVectorByPlane(v, pl);
    // The plane is half way, the distance changes sign, and twice is nothing.
    ASSERT_NEAR(mthDistance(pl, (v + vPoint) * 0.5f), 0, 1e-3f);
    ASSERT_NEAR(mthDistance(pl, vPoint), -mthDistance(pl, v), 1e-3f);
    ASSERT_TRUE(NearVector(mthReflectPositionVectorByPlane(vPoint, pl), v, 1e-4f));
    // Directions as GLM reflects them (with a unit normal).
    const Vector3f vDirection = mthReflectDirectionVectorByPlane(v, pl);
    const glm::vec3 g = glm::reflect(ToGlm(v), ToGlm(vN));
    ASSERT_TRUE(NearVector(vDirection, Vector3f(g.x, g.y, g.z), 1e-4f));
    // Frames: H m mirrors the columns, m H the rows; both mirror (determinant -1).
    const glm::mat3 gH = glm::mat3(1.0f) - 2.0f * glm::outerProduct(ToGlm(vN), ToGlm(vN));
    const Matrix33f m = mthQuaternionToMatrix(rnd.Rotation());
    const Matrix33f mCols = mthReflectRotationMatrixByPlaneCols(m, pl);
    const Matrix33f mRows = mthReflectRotationMatrixByPlaneRows(m, pl);
    ASSERT_TRUE(NearGlm(mCols, gH * ToGlm(m), 1e-5f));
    ASSERT_TRUE(NearGlm(mRows, ToGlm(m) * gH, 1e-5f));
    ASSERT_NEAR(mthDeterminant(mCols), -1.0f, 1e-4f);
    ASSERT_NEAR(mthDeterminant(mRows), -1.0f, 1e-4f);
  }
  // A zero normal mirrors nothing.
  const Plane4f plZero(0, 0, 0, 4);
  EXPECT_EQ(mthReflectPositionVectorByPlane(Vector3f(1, 2, 3), plZero), Vector3f(1, 2, 3));
  EXPECT_EQ(mthReflectDirectionVectorByPlane(Vector3f(1, 2, 3), plZero), Vector3f(1, 2, 3));
  const Matrix33f mTurn = mthQuaternionToMatrix(rnd.Rotation());
  EXPECT_EQ(mthReflectRotationMatrixByPlaneRows(mTurn, plZero), mTurn);
  EXPECT_EQ(mthReflectRotationMatrixByPlaneCols(mTurn, plZero), mTurn);
}

TEST(MathTransform, PlaneSpaceVectorsAreAnOrthonormalRightHandedFrame)
{
  std::vector<Vector3f> av = {Vector3f(0, 0, 1),
                              Vector3f(0, 0, -1),
                              Vector3f(1, 0, 0),
                              Vector3f(0, -1, 0),
                              Vector3f(1e-4f, 0, -1),
                              Vector3f(0, 1e-7f, -1),
                              Vector3f(-1e-30f, 0, -1e-30f),
                              Vector3f(0, 0, -0.0f)};
  CRandom rnd(25);
  for (int i = 0; i < 3000; i++) av.push_back(rnd.Vector(-3, 3));
  for (const Vector3f &vN : av) {
    Vector3f vU, vV;
    mthPlaneSpaceVectors(vN, vU, vV);
    ASSERT_NEAR(mthLength(vU), 1.0f, 1e-5f);
    ASSERT_NEAR(mthLength(vV), 1.0f, 1e-5f);
    ASSERT_NEAR(mthDot(vU, vV), 0.0f, 1e-5f);
    if (mthLength(vN) > 0) {
      ASSERT_TRUE(NearVector(mthCross(vU, vV), mthNormalize(vN), 1e-5f)) << vN.x << " " << vN.z;
    }
  }
  Vector3f vU, vV;
  mthPlaneSpaceVectors(Vector3f(0.0f), vU, vV);
  EXPECT_EQ(vU, Vector3f(1, 0, 0));
  EXPECT_EQ(vV, Vector3f(0, 1, 0));
  mthPlaneSpaceVectors(Vector3f(NAN, 0, 1), vU, vV);
  EXPECT_EQ(vU, Vector3f(1, 0, 0));
}
