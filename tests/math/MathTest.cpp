// Math value types: constructors in field order, the conventions (column vectors, radians,
// inclusive pixel boxes), products and inverses, and the x87 precision switch.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <math.h>
#include <stdexcept>
#include <string.h>

using namespace QuennelEngine;
using namespace QuennelEngine::Test;

namespace {

const float PI = 3.14159265358979f;

// The floats of a record in memory order.
template <class T, int N> void ExpectFloats(const T &t, const float (&afExpected)[N])
{
  static_assert(sizeof(T) == N * sizeof(float), "every field is a float");
  float af[N];
  memcpy(af, &t, sizeof(af));
  for (int i = 0; i < N; i++) EXPECT_EQ(af[i], afExpected[i]) << "float " << i;
}

template <class T> void ExpectAllFloats(const T &t, float f)
{
  float af[sizeof(T) / sizeof(float)];
  memcpy(af, &t, sizeof(af));
  for (float fField : af) EXPECT_EQ(fField, f);
}

void ExpectNear(const Vector3f &v, const Vector3f &vExpected, float fTolerance = 1e-5f)
{
  EXPECT_NEAR(v.x, vExpected.x, fTolerance);
  EXPECT_NEAR(v.y, vExpected.y, fTolerance);
  EXPECT_NEAR(v.z, vExpected.z, fTolerance);
}

template <class M> void ExpectNearMatrix(const M &m, const M &mExpected, float fTolerance = 1e-5f)
{
  const int ROWS = sizeof(m.m) / sizeof(m.m[0]);
  const int COLUMNS = sizeof(m.m[0]) / sizeof(float);
  for (int i = 0; i < ROWS; i++) {
    for (int j = 0; j < COLUMNS; j++) {
      EXPECT_NEAR(m.m[i][j], mExpected.m[i][j], fTolerance) << "element " << i << "," << j;
    }
  }
}

// The same rotation up to the sign (q and -q turn alike).
void ExpectSameRotation(const Quaternion4f &q, const Quaternion4f &qExpected)
{
  const float fSign = mthDot(q, qExpected) < 0 ? -1.0f : 1.0f;
  EXPECT_NEAR(q.x * fSign, qExpected.x, 1e-5f);
  EXPECT_NEAR(q.y * fSign, qExpected.y, 1e-5f);
  EXPECT_NEAR(q.z * fSign, qExpected.z, 1e-5f);
  EXPECT_NEAR(q.w * fSign, qExpected.w, 1e-5f);
}

} // namespace

TEST(MathTypes, FieldConstructorsFillTheFieldsInMemoryOrder)
{
  ExpectFloats(Vector4f(1, 2, 3, 4), {1, 2, 3, 4});
  ExpectFloats(Vector4f(Vector3f(1, 2, 3), 1), {1, 2, 3, 1});
  ExpectFloats(Box1f(-1, 2), {-1, 2});
  ExpectFloats(Box2f(1, 2, 3, 4), {1, 2, 3, 4});
  ExpectFloats(Box2f(Vector2f(1, 2), Vector2f(3, 4)), {1, 2, 3, 4});
  ExpectFloats(Box3f(1, 2, 3, 4, 5, 6), {1, 2, 3, 4, 5, 6});
  ExpectFloats(Plane4f(1, 2, 3, 4), {1, 2, 3, 4});
  ExpectFloats(Plane4f(Vector3f(1, 2, 3), 4.0f), {1, 2, 3, 4});
  ExpectFloats(Quaternion4f(1, 2, 3, 4), {1, 2, 3, 4});
  ExpectFloats(QuatVect(Quaternion4f(1, 2, 3, 4), Vector3f(5, 6, 7)), {1, 2, 3, 4, 5, 6, 7});
  ExpectFloats(Matrix33f(1, 2, 3, 4, 5, 6, 7, 8, 9), {1, 2, 3, 4, 5, 6, 7, 8, 9});
  ExpectFloats(Matrix34f(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12),
               {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
  // Row by row: the fourth argument starts the second row.
  EXPECT_EQ(Matrix33f(1, 2, 3, 4, 5, 6, 7, 8, 9)(1, 0), 4.0f);

  const Box2l box(1, 2, 3, 4);
  long asl[4];
  memcpy(asl, &box, sizeof(asl));
  EXPECT_EQ(asl[0], 1);
  EXPECT_EQ(asl[1], 2);
  EXPECT_EQ(asl[2], 3);
  EXPECT_EQ(asl[3], 4);
}

TEST(MathTypes, ScalarConstructorsFillEveryFieldAndAreNoIdentity)
{
  ExpectAllFloats(Matrix33f(1.0f), 1.0f);
  ExpectAllFloats(Matrix34f(2.0f), 2.0f);
  ExpectAllFloats(Matrix44f(3.0f), 3.0f);
  ExpectAllFloats(Quaternion4f(1.0f), 1.0f);
  ExpectAllFloats(QuatVect(5.0f), 5.0f);
  ExpectAllFloats(Vector3f(6.0f), 6.0f);
  ExpectAllFloats(Plane4f(7.0f), 7.0f);
  ExpectAllFloats(Box3f(8.0f), 8.0f);
  EXPECT_NE(Matrix33f(1.0f), mthIdentityM33f());
  EXPECT_NE(Matrix34f(1.0f), mthIdentityM34f());
  EXPECT_NE(Quaternion4f(1.0f), mthIdentityQ4f());
  EXPECT_EQ(Box2l(7), Box2l(7, 7, 7, 7));
}

TEST(MathTypes, MatricesConvertByRowsAndUpperLeftParts)
{
  const Matrix33f r(1, 2, 3, 4, 5, 6, 7, 8, 9);
  const Matrix34f m34(r, Vector3f(1, 2, 3));
  EXPECT_EQ(m34(0, 3), 1.0f);
  EXPECT_EQ(m34(1, 3), 2.0f);
  EXPECT_EQ(m34(2, 3), 3.0f);
  EXPECT_EQ(Matrix33f(m34), r);
  EXPECT_EQ(m34.GetTranslation(), Vector3f(1, 2, 3));

  const Matrix44f m44(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16);
  EXPECT_EQ(Matrix34f(m44), Matrix34f(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12));
  EXPECT_EQ(Matrix33f(m44), Matrix33f(1, 2, 3, 5, 6, 7, 9, 10, 11));
  // Widened, the affine matrix gets the bottom row (0, 0, 0, 1), and narrows back to itself.
  const Matrix44f m44Wide(m34);
  EXPECT_EQ(m44Wide, Matrix44f(1, 2, 3, 1, 4, 5, 6, 2, 7, 8, 9, 3, 0, 0, 0, 1));
  EXPECT_EQ(Matrix34f(m44Wide), m34);
}

TEST(MathTypes, MatricesTransformColumnVectors)
{
  // A quarter turn about z followed by a move: p' = R p + t.
  const Matrix33f r = mthAxisAngleToMatrix(Vector4f(0, 0, 1, PI / 2));
  const Matrix34f m(r, Vector3f(10, 20, 30));
  ExpectNear(r * Vector3f(1, 0, 0), Vector3f(0, 1, 0));
  ExpectNear(m * Vector3f(1, 0, 0), Vector3f(10, 21, 30));
  ExpectNear(Matrix33f(m) * Vector3f(1, 0, 0), Vector3f(0, 1, 0));
  const Vector4f v4 = Matrix44f(m) * Vector4f(Vector3f(1, 0, 0), 1);
  ExpectNear(Vector3f(v4.x, v4.y, v4.z), Vector3f(10, 21, 30));
  EXPECT_FLOAT_EQ(v4.w, 1.0f);
  // A non-symmetric matrix tells M v from v M.
  EXPECT_EQ(Matrix33f(1, 2, 3, 4, 5, 6, 7, 8, 9) * Vector3f(1, 0, 0), Vector3f(1, 4, 7));

  // Products apply the right-hand matrix first, in every size alike.
  const Matrix34f mB(mthAxisAngleToMatrix(Vector4f(1, 0, 0, 0.7f)), Vector3f(-1, 2, 5));
  const Vector3f p(0.5f, -2, 3);
  ExpectNear((m * mB) * p, m * (mB * p), 1e-4f);
  ExpectNear((r * Matrix33f(mB)) * p, r * (Matrix33f(mB) * p), 1e-4f);
  const Vector4f vWide = (Matrix44f(m) * Matrix44f(mB)) * Vector4f(p, 1);
  ExpectNear(Vector3f(vWide.x, vWide.y, vWide.z), m * (mB * p), 1e-4f);
  EXPECT_EQ(mthIdentityM34f() * m, m);
  EXPECT_EQ(m * mthIdentityM34f(), m);
  EXPECT_EQ(mthIdentityM44f() * Matrix44f(m), Matrix44f(m));

  EXPECT_EQ(mthTranspose(Matrix33f(1, 2, 3, 4, 5, 6, 7, 8, 9)),
            Matrix33f(1, 4, 7, 2, 5, 8, 3, 6, 9));
  const Matrix44f m44(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16);
  EXPECT_EQ(mthTranspose(m44)(0, 3), 13.0f);
  EXPECT_EQ(mthTranspose(mthTranspose(m44)), m44);
}

TEST(MathTypes, InversesUndoTheirMatricesAndSingularOnesAreRefused)
{
  const Matrix33f mA(2, 1, 0, 0, 3, 1, 1, 0, 4);
  Matrix33f mInv;
  ASSERT_TRUE(mthInvertM33f(mInv, mA));
  ExpectNearMatrix(mA * mInv, mthIdentityM33f());
  ExpectNearMatrix(mInv * mA, mthIdentityM33f());

  const Matrix34f m34(mA, Vector3f(4, -5, 6));
  Matrix34f m34Inv;
  ASSERT_TRUE(mthInvertM34f(m34Inv, m34));
  ExpectNearMatrix(m34 * m34Inv, mthIdentityM34f());

  // Needs a row swap: the first pivot is 0.
  const Matrix44f m44(0, 1, 2, 3, 1, 0, 0, 1, 2, 1, 1, 0, 0, 0, 3, 1);
  Matrix44f m44Inv;
  ASSERT_TRUE(mthInvertM44f(m44Inv, m44));
  ExpectNearMatrix(m44 * m44Inv, mthIdentityM44f());

  // A rotation with a translation, inverted cheaply, agrees with the general inverse.
  const Matrix34f mRT(
      mthAxisAngleToMatrix(mthNormalize(Vector4f(1, 2, 3, 0)) + Vector4f(0, 0, 0, 1.1f)),
      Vector3f(7, 8, 9));
  ASSERT_TRUE(mthInvertM34f(m34Inv, mRT));
  ExpectNearMatrix(mthInvertRTM34f(mRT), m34Inv);
  ExpectNear(mthInvertRTM34f(mRT) * (mRT * Vector3f(1, 2, 3)), Vector3f(1, 2, 3), 1e-4f);
  EXPECT_EQ(mthInvertR(Matrix33f(mRT)), mthTranspose(Matrix33f(mRT)));

  // Singular: refused, the output untouched.
  Matrix33f mUntouched(42.0f);
  EXPECT_FALSE(mthInvertM33f(mUntouched, Matrix33f(1, 2, 3, 2, 4, 6, 0, 0, 1)));
  EXPECT_EQ(mUntouched, Matrix33f(42.0f));
  Matrix34f m34Untouched(42.0f);
  EXPECT_FALSE(mthInvertM34f(m34Untouched, Matrix34f(0.0f)));
  EXPECT_EQ(m34Untouched, Matrix34f(42.0f));
  Matrix44f m44Untouched(42.0f);
  EXPECT_FALSE(mthInvertM44f(m44Untouched, Matrix44f(1.0f)));
  EXPECT_EQ(m44Untouched, Matrix44f(42.0f));
  // So small that the inverse would overflow a float.
  EXPECT_FALSE(mthInvertM33f(mUntouched, Matrix33f(1e-20f, 0, 0, 0, 1e-20f, 0, 0, 0, 1e-20f)));
}

TEST(MathTypes, PlanesThroughAPointAndSignedDistances)
{
  const Plane4f pl(Vector3f(0, 1, 0), Vector3f(5, 2, 7));
  EXPECT_EQ(pl, Plane4f(0, 1, 0, -2));
  EXPECT_EQ(mthDistance(pl, Vector3f(100, 2, -3)), 0.0f);
  EXPECT_EQ(mthDistance(pl, Vector3f(0, 5, 0)), 3.0f); // the side the normal points to
  EXPECT_EQ(mthDistance(pl, Vector3f(0, -1, 0)), -3.0f);
  // Normalising scales d along with the normal, so the plane stays where it is.
  const Plane4f plLong = mthNormalize(Plane4f(Vector3f(0, 4, 0), Vector3f(5, 2, 7)));
  EXPECT_EQ(plLong, Plane4f(0, 1, 0, -2));
  EXPECT_EQ(mthNormalize(Plane4f(0.0f)), Plane4f(0.0f));
}

TEST(MathTypes, AxisAnglesQuaternionsAndMatricesAgree)
{
  // Half angles: a half turn about z.
  const Quaternion4f q = mthAxisAngleToQuaternion(Vector4f(0, 0, 1, PI));
  EXPECT_NEAR(q.x, 0.0f, 1e-6f);
  EXPECT_NEAR(q.y, 0.0f, 1e-6f);
  EXPECT_NEAR(q.z, 1.0f, 1e-6f);
  EXPECT_NEAR(q.w, 0.0f, 1e-6f);

  // Each of the four branches of the matrix conversion (w, x, y or z largest), and back.
  const Vector4f avAxisAngles[] = {
      Vector4f(0, 0, 1, 0.3f), Vector4f(1, 0, 0, 3.0f),     Vector4f(0, 1, 0, 3.0f),
      Vector4f(0, 0, 1, 3.0f), Vector4f(0.6f, 0, 0.8f, PI), Vector4f(0.48f, 0.6f, 0.64f, 2.0f),
  };
  for (const Vector4f &vAA : avAxisAngles) {
    SCOPED_TRACE(testing::Message() << vAA.x << " " << vAA.y << " " << vAA.z << " " << vAA.w);
    const Quaternion4f qAA = mthAxisAngleToQuaternion(vAA);
    const Matrix33f m = mthAxisAngleToMatrix(vAA);
    ExpectSameRotation(mthMatrixToQuaternion(m), qAA);
    EXPECT_GE(mthMatrixToQuaternion(m).w, 0.0f);
    const Vector3f v(0.3f, -1.2f, 2.0f);
    ExpectNear(mthRotate(qAA, v), m * v);
    const Vector4f vBack = mthQuaternionToAxisAngle(qAA);
    ExpectNear(Vector3f(vBack.x, vBack.y, vBack.z), Vector3f(vAA.x, vAA.y, vAA.z));
    EXPECT_NEAR(vBack.w, vAA.w, 1e-5f);
  }
  // A quarter turn about x takes y to z (right-handed).
  ExpectNear(mthRotate(mthAxisAngleToQuaternion(Vector4f(1, 0, 0, PI / 2)), Vector3f(0, 1, 0)),
             Vector3f(0, 0, 1));
  // No rotation has no axis: the x axis stands in.
  EXPECT_EQ(mthQuaternionToAxisAngle(mthIdentityQ4f()), Vector4f(1, 0, 0, 0));
  // A tiny angle keeps its digits.
  EXPECT_NEAR(mthQuaternionToAxisAngle(mthAxisAngleToQuaternion(Vector4f(0, 1, 0, 1e-4f))).w, 1e-4f,
              1e-9f);
}

TEST(MathTypes, ProductsComposeRotationsAndPlacementsRightToLeft)
{
  const Quaternion4f qA = mthAxisAngleToQuaternion(Vector4f(0, 0, 1, 0.5f));
  const Quaternion4f qB = mthAxisAngleToQuaternion(Vector4f(0, 1, 0, 1.3f));
  const Vector3f v(1, 2, 3);
  ExpectNear(mthRotate(qA * qB, v), mthRotate(qA, mthRotate(qB, v)));
  ExpectNearMatrix(mthQuaternionToMatrix(qA * qB),
                   mthQuaternionToMatrix(qA) * mthQuaternionToMatrix(qB));
  ExpectNear(mthRotate(mthConjugate(qA), mthRotate(qA, v)), v);

  const QuatVect qvA(qA, Vector3f(1, 0, 0));
  const QuatVect qvB(qB, Vector3f(0, 5, 0));
  ExpectNear((qvA * qvB) * v, qvA * (qvB * v));
  // A placement and its matrix move points alike, both ways.
  ExpectNear(mthQuatVectToMatrix(qvA) * v, qvA * v);
  const QuatVect qvBack = mthMatrixToQuatVect(mthQuatVectToMatrix(qvB));
  ExpectSameRotation(qvBack.qRotation, qB);
  EXPECT_EQ(qvBack.vTranslation, Vector3f(0, 5, 0));
  EXPECT_EQ(mthIdentityQV() * v, v);
}

TEST(MathTypes, VectorProductsAndLengths)
{
  EXPECT_EQ(mthCross(Vector3f(1, 0, 0), Vector3f(0, 1, 0)), Vector3f(0, 0, 1));
  EXPECT_EQ(mthCross(Vector3f(0, 1, 0), Vector3f(1, 0, 0)), Vector3f(0, 0, -1));
  EXPECT_EQ(mthDot(Vector3f(1, 2, 3), Vector3f(4, -5, 6)), 12.0f);
  EXPECT_EQ(mthLength(Vector2f(3, 4)), 5.0f);
  EXPECT_EQ(mthNormalize(Vector3f(0, 0, -7)), Vector3f(0, 0, -1));
  // A zero vector has no direction and stays zero rather than becoming NaNs.
  EXPECT_EQ(mthNormalize(Vector3f(0.0f)), Vector3f(0.0f));
  EXPECT_EQ(Vector3f(1, 2, 3) - Vector3f(1, 1, 1) * 2.0f, Vector3f(-1, 0, 1));
  EXPECT_EQ(-Vector2l(1, -2), Vector2l(-1, 2));
  EXPECT_EQ(mthMin(Vector2l(1, 5), Vector2l(3, -2)), Vector2l(1, -2));
}

TEST(MathTypes, PixelBoxesIncludeTheirMaximum)
{
  const Box2l boxPixel(Vector2l(3, 4));
  EXPECT_FALSE(boxPixel.IsEmpty());
  EXPECT_EQ(boxPixel.Width(), 1);
  EXPECT_EQ(boxPixel.Height(), 1);
  EXPECT_TRUE(boxPixel.Contains(Vector2l(3, 4)));

  const Box2l boxSurface = Box2l::FromSize(0, 0, 640, 480);
  EXPECT_EQ(boxSurface, Box2l(0, 0, 639, 479));
  EXPECT_EQ(boxSurface.Width(), 640);
  EXPECT_EQ(boxSurface.Height(), 480);
  EXPECT_TRUE(boxSurface.Contains(Vector2l(639, 479)));
  EXPECT_FALSE(boxSurface.Contains(Vector2l(640, 0)));
  EXPECT_FALSE(boxSurface.Contains(Vector2l(0, -1)));

  // Empty as soon as one maximum is below its minimum ("right < left").
  EXPECT_TRUE(Box2l::Empty().IsEmpty());
  EXPECT_TRUE(Box2l(5, 0, 4, 10).IsEmpty());
  EXPECT_TRUE(Box2l(0, 5, 10, 4).IsEmpty());
  EXPECT_TRUE(Box2l::FromSize(10, 10, 0, 5).IsEmpty());
  EXPECT_EQ(Box2l(5, 0, 4, 10).Width(), 0);
  EXPECT_EQ(Box2l(5, 0, 4, 10).Height(), 0);
  EXPECT_FALSE(Box2l::Empty().Contains(Vector2l(0, 0)));

  // Clipping to a surface; boxes that only touch at an edge pixel share that pixel.
  EXPECT_EQ(Box2l(-10, -10, 9, 9) & boxSurface, Box2l(0, 0, 9, 9));
  EXPECT_EQ((Box2l(0, 0, 5, 5) & Box2l(5, 5, 9, 9)).Width(), 1);
  EXPECT_TRUE((Box2l(0, 0, 5, 5) & Box2l(6, 0, 9, 9)).IsEmpty());
}

TEST(MathTypes, BoxUnionsAndContainment)
{
  const Box3f boxPoint(Vector3f(1, 2, 3));
  EXPECT_EQ(boxPoint.vMin, Vector3f(1, 2, 3));
  EXPECT_EQ(boxPoint.vMax, Vector3f(1, 2, 3));
  EXPECT_FALSE(boxPoint.IsEmpty());
  EXPECT_TRUE(boxPoint.Contains(Vector3f(1, 2, 3)));

  // Unions grow from the empty box point by point; empty boxes add nothing.
  Box3f box = Box3f::Empty();
  EXPECT_TRUE(box.IsEmpty());
  box |= Vector3f(1, -1, 0);
  EXPECT_EQ(box, Box3f(Vector3f(1, -1, 0)));
  box |= Vector3f(-2, 3, 0.5f);
  EXPECT_EQ(box, Box3f(-2, -1, 0, 1, 3, 0.5f));
  EXPECT_EQ(box | Box3f(100, 100, 100, 0, 0, 0), box);
  EXPECT_EQ(Box3f(100, 100, 100, 0, 0, 0) | box, box);
  EXPECT_EQ(box.Size(), Vector3f(3, 4, 0.5f));
  EXPECT_TRUE(box.Contains(Vector3f(1, 3, 0.5f))); // on the faces
  EXPECT_FALSE(box.Contains(Vector3f(1, 3, 0.6f)));

  Box2f box2 = Box2f(0, 0, 1, 1) | Box2f(2, 3, 4, 5);
  EXPECT_EQ(box2, Box2f(0, 0, 4, 5));
  EXPECT_EQ(box2.Center(), Vector2f(2, 2.5f));
  EXPECT_TRUE((Box2f(0, 0, 1, 1) & Box2f(2, 2, 3, 3)).IsEmpty());
  EXPECT_EQ(Box1f(0, 1) | 3.0f, Box1f(0, 3));
  EXPECT_TRUE(Box1f::Empty().IsEmpty());
  EXPECT_EQ((Box1f(0, 4) & Box1f(1, 9)).Size(), 3.0f);
  EXPECT_EQ(Box2l(0, 0, 1, 1) | Box2l::Empty(), Box2l(0, 0, 1, 1));
  EXPECT_EQ(Box2l::Empty() | Vector2l(4, 5), Box2l(4, 5, 4, 5));
}

namespace {

// Restores the precision the test found, whatever the test does.
class FPUPrecisionTest : public ::testing::Test {
protected:
  void SetUp() override { fp_eFound = GetFPUPrecision(); }
  void TearDown() override { SetFPUPrecision(fp_eFound); }
  FPUPrecision fp_eFound;
};

double Third(void)
{
  volatile double dOne = 1.0, dThree = 3.0;
  volatile double dResult = dOne / dThree;
  return dResult;
}

} // namespace

TEST_F(FPUPrecisionTest, ThePrecisionRoundsResultsAndIsSetAndRestored)
{
  EXPECT_EQ(SetFPUPrecision(FPUP_53BITS), fp_eFound);
  const double dFull = Third();
  EXPECT_EQ(SetFPUPrecision(FPUP_24BITS), FPUP_53BITS);
  EXPECT_EQ(GetFPUPrecision(), FPUP_24BITS);
  const double dRounded = Third();
  SetFPUPrecision(FPUP_64BITS);
  EXPECT_EQ(GetFPUPrecision(), FPUP_64BITS);
  SetFPUPrecision(FPUP_53BITS);
  // Compared only now: a comparison loads its operands, and emulated processors have been seen
  // to round loads to the 24-bit precision too, which real ones do not.
  // A double quotient rounded to 24 bits is the float quotient.
  EXPECT_EQ(dRounded, (double)(1.0f / 3.0f));
  EXPECT_NE(dRounded, dFull);
  EXPECT_EQ(Third(), dFull);
}

TEST_F(FPUPrecisionTest, ScopesRestoreThePrecisionOnEveryWayOut)
{
  SetFPUPrecision(FPUP_64BITS);
  {
    CSetFPUPrecision sfp(FPUP_24BITS);
    EXPECT_EQ(GetFPUPrecision(), FPUP_24BITS);
    {
      CSetFPUPrecision sfpInner(FPUP_53BITS);
      EXPECT_EQ(GetFPUPrecision(), FPUP_53BITS);
    }
    EXPECT_EQ(GetFPUPrecision(), FPUP_24BITS);
  }
  EXPECT_EQ(GetFPUPrecision(), FPUP_64BITS);
  try {
    CSetFPUPrecision sfp(FPUP_24BITS);
    throw std::runtime_error("leaving");
  } catch (std::exception &) {
  }
  EXPECT_EQ(GetFPUPrecision(), FPUP_64BITS);
}

TEST_F(FPUPrecisionTest, AReservedPrecisionIsRefused)
{
  SetFPUPrecision(FPUP_53BITS);
  CGuardBreachCounter gbc;
  EXPECT_EQ(SetFPUPrecision((FPUPrecision)1), FPUP_53BITS);
  EXPECT_EQ(SetFPUPrecision((FPUPrecision)7), FPUP_53BITS);
  EXPECT_EQ(GetFPUPrecision(), FPUP_53BITS);
  EXPECT_EQ(gbc.Count(), 2);
}
