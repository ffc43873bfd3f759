// Matrix constructors, products, transposes and inverses.
#include "core/math/Matrix.h"

#include <float.h>
#include <math.h>

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

Vector3f operator*(const Matrix33f &m, const Vector3f &v)
{
  return Vector3f(m.m[0][0] * v.x + m.m[0][1] * v.y + m.m[0][2] * v.z,
                  m.m[1][0] * v.x + m.m[1][1] * v.y + m.m[1][2] * v.z,
                  m.m[2][0] * v.x + m.m[2][1] * v.y + m.m[2][2] * v.z);
}

Vector3f operator*(const Matrix34f &m, const Vector3f &v)
{
  return Vector3f(m.m[0][0] * v.x + m.m[0][1] * v.y + m.m[0][2] * v.z + m.m[0][3],
                  m.m[1][0] * v.x + m.m[1][1] * v.y + m.m[1][2] * v.z + m.m[1][3],
                  m.m[2][0] * v.x + m.m[2][1] * v.y + m.m[2][2] * v.z + m.m[2][3]);
}

Vector4f operator*(const Matrix44f &m, const Vector4f &v)
{
  float af[4];
  for (int i = 0; i < 4; i++) {
    af[i] = m.m[i][0] * v.x + m.m[i][1] * v.y + m.m[i][2] * v.z + m.m[i][3] * v.w;
  }
  return Vector4f(af[0], af[1], af[2], af[3]);
}

Matrix33f operator*(const Matrix33f &mA, const Matrix33f &mB)
{
  Matrix33f mR;
  for (int i = 0; i < 3; i++) {
    for (int j = 0; j < 3; j++) {
      mR.m[i][j] = mA.m[i][0] * mB.m[0][j] + mA.m[i][1] * mB.m[1][j] + mA.m[i][2] * mB.m[2][j];
    }
  }
  return mR;
}

Matrix34f operator*(const Matrix34f &mA, const Matrix34f &mB)
{
  // As 4 x 4 matrices with the bottom row (0, 0, 0, 1): the translation column picks up A's.
  Matrix34f mR;
  for (int i = 0; i < 3; i++) {
    for (int j = 0; j < 4; j++) {
      mR.m[i][j] = mA.m[i][0] * mB.m[0][j] + mA.m[i][1] * mB.m[1][j] + mA.m[i][2] * mB.m[2][j];
    }
    mR.m[i][3] += mA.m[i][3];
  }
  return mR;
}

Matrix44f operator*(const Matrix44f &mA, const Matrix44f &mB)
{
  Matrix44f mR;
  for (int i = 0; i < 4; i++) {
    for (int j = 0; j < 4; j++) {
      mR.m[i][j] = mA.m[i][0] * mB.m[0][j] + mA.m[i][1] * mB.m[1][j] + mA.m[i][2] * mB.m[2][j] +
                   mA.m[i][3] * mB.m[3][j];
    }
  }
  return mR;
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

// 1 / fDeterminant when it is finite and the matrix is not singular.
bool Reciprocal(float fDeterminant, float &fInverse)
{
  if (fDeterminant == 0.0f || !isfinite(fDeterminant)) return false;
  fInverse = 1.0f / fDeterminant;
  return isfinite(fInverse);
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

int mthInvertM33f(Matrix33f &mInverse, const Matrix33f &m)
{
  float fInv;
  if (!Reciprocal(mthDeterminant(m), fInv)) return 0;
  // The adjugate (transposed cofactors) over the determinant.
  const float(&a)[3][3] = m.m;
  mInverse = Matrix33f((a[1][1] * a[2][2] - a[1][2] * a[2][1]) * fInv,
                       (a[0][2] * a[2][1] - a[0][1] * a[2][2]) * fInv,
                       (a[0][1] * a[1][2] - a[0][2] * a[1][1]) * fInv,
                       (a[1][2] * a[2][0] - a[1][0] * a[2][2]) * fInv,
                       (a[0][0] * a[2][2] - a[0][2] * a[2][0]) * fInv,
                       (a[0][2] * a[1][0] - a[0][0] * a[1][2]) * fInv,
                       (a[1][0] * a[2][1] - a[1][1] * a[2][0]) * fInv,
                       (a[0][1] * a[2][0] - a[0][0] * a[2][1]) * fInv,
                       (a[0][0] * a[1][1] - a[0][1] * a[1][0]) * fInv);
  return 1;
}

int mthInvertM34f(Matrix34f &mInverse, const Matrix34f &m)
{
  // (A t)^-1 = (A^-1, -A^-1 t).
  Matrix33f mLinear;
  if (!mthInvertM33f(mLinear, Matrix33f(m))) return 0;
  mInverse = Matrix34f(mLinear, -(mLinear * m.GetTranslation()));
  return 1;
}

int mthInvertM44f(Matrix44f &mInverse, const Matrix44f &m)
{
  // Gauss-Jordan elimination with partial pivoting, in double so that near-singular projections
  // keep their digits.
  double a[4][8];
  for (int i = 0; i < 4; i++) {
    for (int j = 0; j < 4; j++) {
      a[i][j] = m.m[i][j];
      a[i][j + 4] = (i == j) ? 1.0 : 0.0;
    }
  }
  for (int c = 0; c < 4; c++) {
    int iPivot = c;
    for (int i = c + 1; i < 4; i++) {
      if (fabs(a[i][c]) > fabs(a[iPivot][c])) iPivot = i;
    }
    if (a[iPivot][c] == 0.0) return 0;
    if (iPivot != c) {
      for (int j = 0; j < 8; j++) {
        const double d = a[c][j];
        a[c][j] = a[iPivot][j];
        a[iPivot][j] = d;
      }
    }
    const double dInv = 1.0 / a[c][c];
    for (int j = 0; j < 8; j++) a[c][j] *= dInv;
    for (int i = 0; i < 4; i++) {
      if (i == c || a[i][c] == 0.0) continue;
      const double dFactor = a[i][c];
      for (int j = 0; j < 8; j++) a[i][j] -= dFactor * a[c][j];
    }
  }
  Matrix44f mR;
  for (int i = 0; i < 4; i++) {
    for (int j = 0; j < 4; j++) {
      if (!(fabs(a[i][j + 4]) <= FLT_MAX)) return 0;
      mR.m[i][j] = (float)a[i][j + 4];
    }
  }
  mInverse = mR;
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
