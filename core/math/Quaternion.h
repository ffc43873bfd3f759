#pragma once
// Rotations as quaternions: x, y, z, then the scalar part w. An axis-angle rotation is a Vector4f
// (axis x, y, z with a unit axis, angle in radians); its quaternion is
// (axis sin(angle / 2), cos(angle / 2)). Rotations turn counter-clockwise about their axis when
// it points at the viewer (right-handed), as the matrices of mthAxisAngleToMatrix do.
//
// A QuatVect is a placement: a rotation followed (in memory) by a translation, meaning
// p' = rotate(p) + translation, the same transform as a Matrix34f.
//
// The one-scalar constructors fill every float with the scalar (Quaternion4f(1) is (1, 1, 1, 1),
// not the identity rotation: use mthIdentityQ4f()); the default constructors leave the fields
// uninitialised.
#include "core/math/Matrix.h"

namespace QuennelEngine {

struct CORE_API Quaternion4f {
  MD_DECLARE_STRUCT(Quaternion4f)
  float x, y, z, w;

  Quaternion4f() = default;
  explicit Quaternion4f(float f) : x(f), y(f), z(f), w(f) {}
  Quaternion4f(float fX, float fY, float fZ, float fW) : x(fX), y(fY), z(fZ), w(fW) {}
};

struct CORE_API QuatVect {
  MD_DECLARE_STRUCT(QuatVect)
  Quaternion4f qRotation;
  Vector3f vTranslation;

  QuatVect() = default;
  explicit QuatVect(float f) : qRotation(f), vTranslation(f) {}
  QuatVect(const Quaternion4f &q, const Vector3f &v) : qRotation(q), vTranslation(v) {}
};

inline Quaternion4f mthIdentityQ4f(void)
{
  return Quaternion4f(0, 0, 0, 1);
}
inline QuatVect mthIdentityQV(void)
{
  return QuatVect(mthIdentityQ4f(), Vector3f(0.0f));
}

inline bool operator==(const Quaternion4f &qA, const Quaternion4f &qB)
{
  return qA.x == qB.x && qA.y == qB.y && qA.z == qB.z && qA.w == qB.w;
}
inline bool operator!=(const Quaternion4f &qA, const Quaternion4f &qB)
{
  return !(qA == qB);
}
inline bool operator==(const QuatVect &qvA, const QuatVect &qvB)
{
  return qvA.qRotation == qvB.qRotation && qvA.vTranslation == qvB.vTranslation;
}
inline bool operator!=(const QuatVect &qvA, const QuatVect &qvB)
{
  return !(qvA == qvB);
}

inline float mthDot(const Quaternion4f &qA, const Quaternion4f &qB)
{
  return qA.x * qB.x + qA.y * qB.y + qA.z * qB.z + qA.w * qB.w;
}
inline Quaternion4f operator*(const Quaternion4f &q, float f)
{
  return Quaternion4f(q.x * f, q.y * f, q.z * f, q.w * f);
}
inline Quaternion4f operator/(const Quaternion4f &q, float f)
{
  return q * (1.0f / f);
}
// The inverse rotation of a unit quaternion.
inline Quaternion4f mthConjugate(const Quaternion4f &q)
{
  return Quaternion4f(-q.x, -q.y, -q.z, q.w);
}

// The rotation qB, then qA (as matrices: A B).
CORE_API Quaternion4f operator*(const Quaternion4f &qA, const Quaternion4f &qB);
// `v` turned by the unit quaternion `q`.
CORE_API Vector3f mthRotate(const Quaternion4f &q, const Vector3f &v);
// The placement qvB, then qvA.
CORE_API QuatVect operator*(const QuatVect &qvA, const QuatVect &qvB);
// `v` placed by `qv`: rotated, then translated.
CORE_API Vector3f operator*(const QuatVect &qv, const Vector3f &v);

// Conversions. Quaternions from matrices have w >= 0; matrices must be rotations (orthonormal,
// determinant 1). A zero rotation gives the axis (1, 0, 0) with angle 0. The Euler-angle
// conversions are in core/math/Rotation.h.
//
// The unit quaternion of an axis-angle; the axis need not have length 1, and an axis of length 0
// (or not finite) gives the identity.
CORE_API Quaternion4f mthAxisAngleToQuaternion(const Vector4f &vAxisAngle);
// Unit axis and angle in [0, 2 pi]; no vector part gives (1, 0, 0, 0).
CORE_API Vector4f mthQuaternionToAxisAngle(const Quaternion4f &q);
// The rotation matrix of an axis-angle (a zero axis gives the identity).
CORE_API Matrix33f mthAxisAngleToMatrix(const Vector4f &vAxisAngle);
// The rotation matrix of a unit quaternion (the zero quaternion gives the identity).
CORE_API Matrix33f mthQuaternionToMatrix(const Quaternion4f &q);
// The quaternion of a rotation matrix, w >= 0; finite input never gives NaN.
CORE_API Quaternion4f mthMatrixToQuaternion(const Matrix33f &m);
// The matrix of a placement: rotation part and translation column.
CORE_API Matrix34f mthQuatVectToMatrix(const QuatVect &qv);
// The placement of a rotation-and-translation matrix (rotation as by mthMatrixToQuaternion).
CORE_API QuatVect mthMatrixToQuatVect(const Matrix34f &m);

static_assert(sizeof(Quaternion4f) == 16 && offsetof(Quaternion4f, x) == 0 &&
                  offsetof(Quaternion4f, y) == 4 && offsetof(Quaternion4f, z) == 8 &&
                  offsetof(Quaternion4f, w) == 12,
              "Quaternion4f layout");
static_assert(sizeof(QuatVect) == 28 && offsetof(QuatVect, qRotation) == 0 &&
                  offsetof(QuatVect, vTranslation) == 16,
              "QuatVect layout");
static_assert(std::is_trivially_copyable<Quaternion4f>::value &&
                  std::is_trivially_copyable<QuatVect>::value,
              "quaternions are copied as bytes");

} // namespace QuennelEngine
