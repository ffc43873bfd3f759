#pragma once
// Matrices: floats stored row by row (m[row][column]) that transform column vectors, so a point p
// becomes M p. A Matrix34f is a rotation or linear part R of three columns followed by a
// translation column t: p' = R p + t, the bottom row (0, 0, 0, 1) of the 4 x 4 form implied.
// Note that Direct3D's fixed functions multiply row vectors: they take the transpose.
//
// The one-scalar constructors fill every float with the scalar (Matrix33f(1) is all ones, not
// the identity: use mthIdentityM33f()); the default constructors leave the fields uninitialised.
#include "core/math/Vector.h"

namespace QuennelEngine {

struct Matrix34f;
struct Matrix44f;

struct CORE_API Matrix33f {
  MD_DECLARE_STRUCT(Matrix33f)
  float m[3][3];

  Matrix33f() = default;
  explicit Matrix33f(float f);
  // Row by row.
  Matrix33f(float f00, float f01, float f02, float f10, float f11, float f12, float f20, float f21,
            float f22);
  // The upper-left 3 x 3 part.
  explicit Matrix33f(const Matrix34f &m34);
  explicit Matrix33f(const Matrix44f &m44);

  float &operator()(int iRow, int iColumn) { return m[iRow][iColumn]; }
  float operator()(int iRow, int iColumn) const { return m[iRow][iColumn]; }
  Vector3f GetRow(int iRow) const { return Vector3f(m[iRow][0], m[iRow][1], m[iRow][2]); }
  Vector3f GetColumn(int iColumn) const
  {
    return Vector3f(m[0][iColumn], m[1][iColumn], m[2][iColumn]);
  }
};

struct CORE_API Matrix34f {
  MD_DECLARE_STRUCT(Matrix34f)
  float m[3][4];

  Matrix34f() = default;
  explicit Matrix34f(float f);
  // Row by row: each row is three linear elements, then the translation's component.
  Matrix34f(float f00, float f01, float f02, float f03, float f10, float f11, float f12, float f13,
            float f20, float f21, float f22, float f23);
  // Row i is (r row i, t component i).
  Matrix34f(const Matrix33f &r, const Vector3f &t);
  // The first three rows of `m44` (its bottom row is dropped, not checked).
  explicit Matrix34f(const Matrix44f &m44);

  float &operator()(int iRow, int iColumn) { return m[iRow][iColumn]; }
  float operator()(int iRow, int iColumn) const { return m[iRow][iColumn]; }
  Vector3f GetTranslation(void) const { return Vector3f(m[0][3], m[1][3], m[2][3]); }
  void SetTranslation(const Vector3f &t)
  {
    m[0][3] = t.x;
    m[1][3] = t.y;
    m[2][3] = t.z;
  }
};

struct CORE_API Matrix44f {
  MD_DECLARE_STRUCT(Matrix44f)
  float m[4][4];

  Matrix44f() = default;
  explicit Matrix44f(float f);
  // Row by row.
  Matrix44f(float f00, float f01, float f02, float f03, float f10, float f11, float f12, float f13,
            float f20, float f21, float f22, float f23, float f30, float f31, float f32, float f33);
  // The affine matrix with its implied bottom row (0, 0, 0, 1).
  explicit Matrix44f(const Matrix34f &m34);

  float &operator()(int iRow, int iColumn) { return m[iRow][iColumn]; }
  float operator()(int iRow, int iColumn) const { return m[iRow][iColumn]; }
};

// The identities.
CORE_API Matrix33f mthIdentityM33f(void);
CORE_API Matrix34f mthIdentityM34f(void);
CORE_API Matrix44f mthIdentityM44f(void);

// Products: M v for vectors, A B (B applied first) for matrices. A Matrix34f times a Vector3f
// transforms a point (R p + t); for a direction, take Matrix33f(m34) * v. (Inline: they are
// small and run in the inner loops of callers.)
inline Vector3f operator*(const Matrix33f &m, const Vector3f &v)
{
  return Vector3f(m.m[0][0] * v.x + m.m[0][1] * v.y + m.m[0][2] * v.z,
                  m.m[1][0] * v.x + m.m[1][1] * v.y + m.m[1][2] * v.z,
                  m.m[2][0] * v.x + m.m[2][1] * v.y + m.m[2][2] * v.z);
}

inline Vector3f operator*(const Matrix34f &m, const Vector3f &v)
{
  return Vector3f(m.m[0][0] * v.x + m.m[0][1] * v.y + m.m[0][2] * v.z + m.m[0][3],
                  m.m[1][0] * v.x + m.m[1][1] * v.y + m.m[1][2] * v.z + m.m[1][3],
                  m.m[2][0] * v.x + m.m[2][1] * v.y + m.m[2][2] * v.z + m.m[2][3]);
}

inline Vector4f operator*(const Matrix44f &m, const Vector4f &v)
{
  float af[4];
  for (int i = 0; i < 4; i++) {
    af[i] = m.m[i][0] * v.x + m.m[i][1] * v.y + m.m[i][2] * v.z + m.m[i][3] * v.w;
  }
  return Vector4f(af[0], af[1], af[2], af[3]);
}

inline Matrix33f operator*(const Matrix33f &mA, const Matrix33f &mB)
{
  Matrix33f mR;
  for (int i = 0; i < 3; i++) {
    for (int j = 0; j < 3; j++) {
      mR.m[i][j] = mA.m[i][0] * mB.m[0][j] + mA.m[i][1] * mB.m[1][j] + mA.m[i][2] * mB.m[2][j];
    }
  }
  return mR;
}

inline Matrix34f operator*(const Matrix34f &mA, const Matrix34f &mB)
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

inline Matrix44f operator*(const Matrix44f &mA, const Matrix44f &mB)
{
  // A row of A in locals times the columns of B, unrolled.
  Matrix44f mR;
  const float(&b)[4][4] = mB.m;
  for (int i = 0; i < 4; i++) {
    const float a0 = mA.m[i][0], a1 = mA.m[i][1], a2 = mA.m[i][2], a3 = mA.m[i][3];
    mR.m[i][0] = a0 * b[0][0] + a1 * b[1][0] + a2 * b[2][0] + a3 * b[3][0];
    mR.m[i][1] = a0 * b[0][1] + a1 * b[1][1] + a2 * b[2][1] + a3 * b[3][1];
    mR.m[i][2] = a0 * b[0][2] + a1 * b[1][2] + a2 * b[2][2] + a3 * b[3][2];
    mR.m[i][3] = a0 * b[0][3] + a1 * b[1][3] + a2 * b[2][3] + a3 * b[3][3];
  }
  return mR;
}

// Exact comparison of every element.
CORE_API bool operator==(const Matrix33f &mA, const Matrix33f &mB);
CORE_API bool operator==(const Matrix34f &mA, const Matrix34f &mB);
CORE_API bool operator==(const Matrix44f &mA, const Matrix44f &mB);
inline bool operator!=(const Matrix33f &mA, const Matrix33f &mB)
{
  return !(mA == mB);
}
inline bool operator!=(const Matrix34f &mA, const Matrix34f &mB)
{
  return !(mA == mB);
}
inline bool operator!=(const Matrix44f &mA, const Matrix44f &mB)
{
  return !(mA == mB);
}

// The transpose: rows become columns.
CORE_API Matrix33f mthTranspose(const Matrix33f &m);
CORE_API Matrix44f mthTranspose(const Matrix44f &m);

// The inverse of a general matrix into `mInverse`; returns 0 and leaves `mInverse` alone when the
// matrix is singular (its determinant is 0, or so small that the inverse would overflow) or not
// finite.
CORE_API int mthInvertM33f(Matrix33f &mInverse, const Matrix33f &m);
CORE_API int mthInvertM34f(Matrix34f &mInverse, const Matrix34f &m);
CORE_API int mthInvertM44f(Matrix44f &mInverse, const Matrix44f &m);
// The inverse of a rotation (the transpose), and of a rotation with a translation (R^T, -R^T t):
// exact and cheap, for orthonormal linear parts only (cameras, placements).
// A non-orthonormal linear part gives its transpose, which is then no inverse.
CORE_API Matrix33f mthInvertR(const Matrix33f &r);
CORE_API Matrix34f mthInvertRTM34f(const Matrix34f &m);
// The same for the 4 x 4 form: its bottom row is taken to be (0, 0, 0, 1) and comes back as that.
CORE_API Matrix44f mthInvertRTM44f(const Matrix44f &m);

CORE_API float mthDeterminant(const Matrix33f &m);

static_assert(sizeof(Matrix33f) == 36 && offsetof(Matrix33f, m) == 0, "Matrix33f layout");
static_assert(sizeof(Matrix34f) == 48 && offsetof(Matrix34f, m) == 0, "Matrix34f layout");
static_assert(sizeof(Matrix44f) == 64 && offsetof(Matrix44f, m) == 0, "Matrix44f layout");
static_assert(std::is_trivially_copyable<Matrix33f>::value &&
                  std::is_trivially_copyable<Matrix34f>::value &&
                  std::is_trivially_copyable<Matrix44f>::value,
              "matrices are copied as bytes");

} // namespace QuennelEngine
