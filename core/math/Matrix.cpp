// Matrix constructors, products, transposes and inverses.
#include "core/math/Matrix.h"

#include <math.h>
#include <string.h>

namespace QuennelEngine {

Matrix33f::Matrix33f(float f)
{
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 3; j++) m[i][j] = f;
}

Matrix33f::Matrix33f(float f00, float f01, float f02, float f10, float f11, float f12, float f20,
                     float f21, float f22)
    : m{{f00, f01, f02}, {f10, f11, f12}, {f20, f21, f22}}
{
}

Matrix33f::Matrix33f(const Matrix34f &m34)
{
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 3; j++) m[i][j] = m34.m[i][j];
}

Matrix33f::Matrix33f(const Matrix44f &m44)
{
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 3; j++) m[i][j] = m44.m[i][j];
}

Matrix34f::Matrix34f(float f)
{
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 4; j++) m[i][j] = f;
}

Matrix34f::Matrix34f(float f00, float f01, float f02, float f03, float f10, float f11, float f12,
                     float f13, float f20, float f21, float f22, float f23)
    : m{{f00, f01, f02, f03}, {f10, f11, f12, f13}, {f20, f21, f22, f23}}
{
}

Matrix34f::Matrix34f(const Matrix33f &r, const Vector3f &t)
    : m{{r.m[0][0], r.m[0][1], r.m[0][2], t.x},
        {r.m[1][0], r.m[1][1], r.m[1][2], t.y},
        {r.m[2][0], r.m[2][1], r.m[2][2], t.z}}
{
}

Matrix34f::Matrix34f(const Matrix44f &m44)
{
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 4; j++) m[i][j] = m44.m[i][j];
}

Matrix44f::Matrix44f(float f)
{
  for (int i = 0; i < 4; i++)
    for (int j = 0; j < 4; j++) m[i][j] = f;
}

Matrix44f::Matrix44f(float f00, float f01, float f02, float f03, float f10, float f11, float f12,
                     float f13, float f20, float f21, float f22, float f23, float f30, float f31,
                     float f32, float f33)
    : m{{f00, f01, f02, f03}, {f10, f11, f12, f13}, {f20, f21, f22, f23}, {f30, f31, f32, f33}}
{
}

Matrix44f::Matrix44f(const Matrix34f &m34)
{
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 4; j++) m[i][j] = m34.m[i][j];
  m[3][0] = m[3][1] = m[3][2] = 0.0f;
  m[3][3] = 1.0f;
}

Matrix33f mthIdentityM33f(void)
{
  return Matrix33f(1, 0, 0, 0, 1, 0, 0, 0, 1);
}

Matrix34f mthIdentityM34f(void)
{
  return Matrix34f(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0);
}

Matrix44f mthIdentityM44f(void)
{
  return Matrix44f(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
}

namespace {

template <int ROWS, int COLUMNS>
bool SameElements(const float (&afA)[ROWS][COLUMNS], const float (&afB)[ROWS][COLUMNS])
{
  for (int i = 0; i < ROWS; i++)
    for (int j = 0; j < COLUMNS; j++)
      if (afA[i][j] != afB[i][j]) return false;
  return true;
}

// Whether every float of an array is finite, by the exponent bits: the floats have been stored,
// so an x87 register's extra range cannot hide an overflow.
template <int COUNT> bool AllFinite(const float *af)
{
  unsigned int aul[COUNT];
  memcpy(aul, af, sizeof(aul));
  unsigned int ulBad = 0;
  for (int i = 0; i < COUNT; i++) ulBad |= (aul[i] & 0x7F800000u) == 0x7F800000u;
  return ulBad == 0;
}

} // namespace

bool operator==(const Matrix33f &mA, const Matrix33f &mB)
{
  return SameElements(mA.m, mB.m);
}

bool operator==(const Matrix34f &mA, const Matrix34f &mB)
{
  return SameElements(mA.m, mB.m);
}

bool operator==(const Matrix44f &mA, const Matrix44f &mB)
{
  return SameElements(mA.m, mB.m);
}

Matrix33f mthTranspose(const Matrix33f &m)
{
  Matrix33f mR;
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 3; j++) mR.m[i][j] = m.m[j][i];
  return mR;
}

Matrix44f mthTranspose(const Matrix44f &m)
{
  Matrix44f mR;
  for (int i = 0; i < 4; i++)
    for (int j = 0; j < 4; j++) mR.m[i][j] = m.m[j][i];
  return mR;
}

float mthDeterminant(const Matrix33f &m)
{
  return m.m[0][0] * (m.m[1][1] * m.m[2][2] - m.m[1][2] * m.m[2][1]) -
         m.m[0][1] * (m.m[1][0] * m.m[2][2] - m.m[1][2] * m.m[2][0]) +
         m.m[0][2] * (m.m[1][0] * m.m[2][1] - m.m[1][1] * m.m[2][0]);
}

namespace {

// The adjugate (transposed cofactors) over the determinant; false for a singular matrix. The
// first column's cofactors give the determinant too. Reads the left 3 x 3 of a 3 x 3 or 3 x 4.
template <int COLUMNS> bool Invert33(float (&afInverse)[3][3], const float (&a)[3][COLUMNS])
{
  const float f00 = a[1][1] * a[2][2] - a[1][2] * a[2][1];
  const float f10 = a[1][2] * a[2][0] - a[1][0] * a[2][2];
  const float f20 = a[1][0] * a[2][1] - a[1][1] * a[2][0];
  // Rounded to a float through memory, so that x87 registers (with their wider range) and SSE
  // refuse the same determinants: those that underflow to 0.
  volatile float fRounded = a[0][0] * f00 + a[0][1] * f10 + a[0][2] * f20;
  const float fDeterminant = fRounded;
  if (fDeterminant == 0.0f) return false;
  const float fInv = 1.0f / fDeterminant;
  afInverse[0][0] = f00 * fInv;
  afInverse[0][1] = (a[0][2] * a[2][1] - a[0][1] * a[2][2]) * fInv;
  afInverse[0][2] = (a[0][1] * a[1][2] - a[0][2] * a[1][1]) * fInv;
  afInverse[1][0] = f10 * fInv;
  afInverse[1][1] = (a[0][0] * a[2][2] - a[0][2] * a[2][0]) * fInv;
  afInverse[1][2] = (a[0][2] * a[1][0] - a[0][0] * a[1][2]) * fInv;
  afInverse[2][0] = f20 * fInv;
  afInverse[2][1] = (a[0][1] * a[2][0] - a[0][0] * a[2][1]) * fInv;
  afInverse[2][2] = (a[0][0] * a[1][1] - a[0][1] * a[1][0]) * fInv;
  // A determinant too small for its cofactors (or one not finite) left infinities or NaNs.
  return AllFinite<9>(&afInverse[0][0]);
}

} // namespace

int mthInvertM33f(Matrix33f &mInverse, const Matrix33f &m)
{
  float af[3][3];
  if (!Invert33(af, m.m)) return 0;
  memcpy(mInverse.m, af, sizeof(af));
  return 1;
}

int mthInvertM34f(Matrix34f &mInverse, const Matrix34f &m)
{
  // (A t)^-1 = (A^-1, -A^-1 t).
  const float(&a)[3][4] = m.m;
  float af[3][3];
  if (!Invert33(af, a)) return 0;
  for (int i = 0; i < 3; i++) {
    mInverse.m[i][0] = af[i][0];
    mInverse.m[i][1] = af[i][1];
    mInverse.m[i][2] = af[i][2];
    mInverse.m[i][3] = -(af[i][0] * a[0][3] + af[i][1] * a[1][3] + af[i][2] * a[2][3]);
  }
  return 1;
}

int mthInvertM44f(Matrix44f &mInverse, const Matrix44f &m)
{
  // The adjugate from the 2 x 2 minors of the top two rows (s) and the bottom two (c), in
  // double: a product of two floats is exact there, so the minors are, and near-singular
  // projections keep their digits. No branches but the singular test.
  const float(&a)[4][4] = m.m;
  const double s0 = (double)a[0][0] * a[1][1] - (double)a[1][0] * a[0][1];
  const double s1 = (double)a[0][0] * a[1][2] - (double)a[1][0] * a[0][2];
  const double s2 = (double)a[0][0] * a[1][3] - (double)a[1][0] * a[0][3];
  const double s3 = (double)a[0][1] * a[1][2] - (double)a[1][1] * a[0][2];
  const double s4 = (double)a[0][1] * a[1][3] - (double)a[1][1] * a[0][3];
  const double s5 = (double)a[0][2] * a[1][3] - (double)a[1][2] * a[0][3];
  const double c5 = (double)a[2][2] * a[3][3] - (double)a[3][2] * a[2][3];
  const double c4 = (double)a[2][1] * a[3][3] - (double)a[3][1] * a[2][3];
  const double c3 = (double)a[2][1] * a[3][2] - (double)a[3][1] * a[2][2];
  const double c2 = (double)a[2][0] * a[3][3] - (double)a[3][0] * a[2][3];
  const double c1 = (double)a[2][0] * a[3][2] - (double)a[3][0] * a[2][2];
  const double c0 = (double)a[2][0] * a[3][1] - (double)a[3][0] * a[2][1];
  const double dDet = s0 * c5 - s1 * c4 + s2 * c3 + s3 * c2 - s4 * c1 + s5 * c0;
  if (dDet == 0.0) return 0;
  const double d = 1.0 / dDet;
  const float af[4][4] = {{(float)((a[1][1] * c5 - a[1][2] * c4 + a[1][3] * c3) * d),
                           (float)((-a[0][1] * c5 + a[0][2] * c4 - a[0][3] * c3) * d),
                           (float)((a[3][1] * s5 - a[3][2] * s4 + a[3][3] * s3) * d),
                           (float)((-a[2][1] * s5 + a[2][2] * s4 - a[2][3] * s3) * d)},
                          {(float)((-a[1][0] * c5 + a[1][2] * c2 - a[1][3] * c1) * d),
                           (float)((a[0][0] * c5 - a[0][2] * c2 + a[0][3] * c1) * d),
                           (float)((-a[3][0] * s5 + a[3][2] * s2 - a[3][3] * s1) * d),
                           (float)((a[2][0] * s5 - a[2][2] * s2 + a[2][3] * s1) * d)},
                          {(float)((a[1][0] * c4 - a[1][1] * c2 + a[1][3] * c0) * d),
                           (float)((-a[0][0] * c4 + a[0][1] * c2 - a[0][3] * c0) * d),
                           (float)((a[3][0] * s4 - a[3][1] * s2 + a[3][3] * s0) * d),
                           (float)((-a[2][0] * s4 + a[2][1] * s2 - a[2][3] * s0) * d)},
                          {(float)((-a[1][0] * c3 + a[1][1] * c1 - a[1][2] * c0) * d),
                           (float)((a[0][0] * c3 - a[0][1] * c1 + a[0][2] * c0) * d),
                           (float)((-a[3][0] * s3 + a[3][1] * s1 - a[3][2] * s0) * d),
                           (float)((a[2][0] * s3 - a[2][1] * s1 + a[2][2] * s0) * d)}};
  // An inverse beyond the float range became infinite when it was rounded to float (and a
  // determinant that was not finite gave NaNs): either counts as singular.
  if (!AllFinite<16>(&af[0][0])) return 0;
  memcpy(mInverse.m, af, sizeof(af));
  return 1;
}

Matrix33f mthInvertR(const Matrix33f &r)
{
  return mthTranspose(r);
}

Matrix34f mthInvertRTM34f(const Matrix34f &m)
{
  const Matrix33f rT = mthTranspose(Matrix33f(m));
  return Matrix34f(rT, -(rT * m.GetTranslation()));
}

Matrix44f mthInvertRTM44f(const Matrix44f &m)
{
  return Matrix44f(mthInvertRTM34f(Matrix34f(m)));
}

} // namespace QuennelEngine
