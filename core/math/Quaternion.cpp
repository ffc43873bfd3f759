// Quaternion products and the conversions between quaternions, axis-angles and matrices.
#include "core/math/Quaternion.h"

#include <float.h>
#include <math.h>

namespace QuennelEngine {

Quaternion4f operator*(const Quaternion4f &qA, const Quaternion4f &qB)
{
  return Quaternion4f(qA.w * qB.x + qA.x * qB.w + qA.y * qB.z - qA.z * qB.y,
                      qA.w * qB.y - qA.x * qB.z + qA.y * qB.w + qA.z * qB.x,
                      qA.w * qB.z + qA.x * qB.y - qA.y * qB.x + qA.z * qB.w,
                      qA.w * qB.w - qA.x * qB.x - qA.y * qB.y - qA.z * qB.z);
}

Vector3f mthRotate(const Quaternion4f &q, const Vector3f &v)
{
  // v + 2w (u x v) + 2 u x (u x v), u the vector part: two cross products instead of two
  // quaternion products.
  const Vector3f u(q.x, q.y, q.z);
  const Vector3f vT = mthCross(u, v) * 2.0f;
  return v + vT * q.w + mthCross(u, vT);
}

QuatVect operator*(const QuatVect &qvA, const QuatVect &qvB)
{
  return QuatVect(qvA.qRotation * qvB.qRotation,
                  mthRotate(qvA.qRotation, qvB.vTranslation) + qvA.vTranslation);
}

Vector3f operator*(const QuatVect &qv, const Vector3f &v)
{
  return mthRotate(qv.qRotation, v) + qv.vTranslation;
}

Quaternion4f mthAxisAngleToQuaternion(const Vector4f &vAxisAngle)
{
  // The axis is normalised here, so a slightly long axis cannot give a quaternion that scales;
  // one of length 0 (or a non-finite one) has no direction and turns nothing.
  const float fLength = sqrtf(vAxisAngle.x * vAxisAngle.x + vAxisAngle.y * vAxisAngle.y +
                              vAxisAngle.z * vAxisAngle.z);
  if (!(fLength > 0.0f && fLength <= FLT_MAX)) return mthIdentityQ4f();
  const float fHalf = vAxisAngle.w * 0.5f;
  const float fSin = sinf(fHalf) / fLength;
  return Quaternion4f(vAxisAngle.x * fSin, vAxisAngle.y * fSin, vAxisAngle.z * fSin, cosf(fHalf));
}

Vector4f mthQuaternionToAxisAngle(const Quaternion4f &q)
{
  // atan2 keeps small angles accurate where acos(w) would lose them.
  const float fSin = sqrtf(q.x * q.x + q.y * q.y + q.z * q.z);
  if (fSin == 0.0f) return Vector4f(1, 0, 0, 0);
  const float fInv = 1.0f / fSin;
  return Vector4f(q.x * fInv, q.y * fInv, q.z * fInv, 2.0f * atan2f(fSin, q.w));
}

Matrix33f mthQuaternionToMatrix(const Quaternion4f &q)
{
  // The doubled components first: every product below then carries its factor 2.
  const float x2 = q.x + q.x, y2 = q.y + q.y, z2 = q.z + q.z;
  const float xx = q.x * x2, yy = q.y * y2, zz = q.z * z2;
  const float xy = q.x * y2, xz = q.x * z2, yz = q.y * z2;
  const float xw = q.w * x2, yw = q.w * y2, zw = q.w * z2;
  // Written in place: a call to the nine-float constructor would round-trip every element
  // through the stack.
  Matrix33f m;
  m.m[0][0] = 1 - (yy + zz);
  m.m[0][1] = xy - zw;
  m.m[0][2] = xz + yw;
  m.m[1][0] = xy + zw;
  m.m[1][1] = 1 - (xx + zz);
  m.m[1][2] = yz - xw;
  m.m[2][0] = xz - yw;
  m.m[2][1] = yz + xw;
  m.m[2][2] = 1 - (xx + yy);
  return m;
}

Matrix33f mthAxisAngleToMatrix(const Vector4f &vAxisAngle)
{
  return mthQuaternionToMatrix(mthAxisAngleToQuaternion(vAxisAngle));
}

Quaternion4f mthMatrixToQuaternion(const Matrix33f &mat)
{
  // From the largest of w, x, y, z, so the square root never takes a small difference.
  const float(&m)[3][3] = mat.m;
  const float fTrace = m[0][0] + m[1][1] + m[2][2];
  // The largest component is half the root; one division gives the factor for the others.
  Quaternion4f q;
  if (fTrace > 0.0f) {
    const float fRoot = sqrtf(fTrace + 1.0f), f = 0.5f / fRoot;
    q = Quaternion4f((m[2][1] - m[1][2]) * f, (m[0][2] - m[2][0]) * f, (m[1][0] - m[0][1]) * f,
                     0.5f * fRoot);
  } else if (m[0][0] >= m[1][1] && m[0][0] >= m[2][2]) {
    const float fRoot = sqrtf(1.0f + m[0][0] - m[1][1] - m[2][2]), f = 0.5f / fRoot;
    q = Quaternion4f(0.5f * fRoot, (m[0][1] + m[1][0]) * f, (m[0][2] + m[2][0]) * f,
                     (m[2][1] - m[1][2]) * f);
  } else if (m[1][1] >= m[2][2]) {
    const float fRoot = sqrtf(1.0f + m[1][1] - m[0][0] - m[2][2]), f = 0.5f / fRoot;
    q = Quaternion4f((m[0][1] + m[1][0]) * f, 0.5f * fRoot, (m[1][2] + m[2][1]) * f,
                     (m[0][2] - m[2][0]) * f);
  } else {
    const float fRoot = sqrtf(1.0f + m[2][2] - m[0][0] - m[1][1]), f = 0.5f / fRoot;
    q = Quaternion4f((m[0][2] + m[2][0]) * f, (m[1][2] + m[2][1]) * f, 0.5f * fRoot,
                     (m[1][0] - m[0][1]) * f);
  }
  return q.w < 0.0f ? q * -1.0f : q;
}

Matrix34f mthQuatVectToMatrix(const QuatVect &qv)
{
  return Matrix34f(mthQuaternionToMatrix(qv.qRotation), qv.vTranslation);
}

QuatVect mthMatrixToQuatVect(const Matrix34f &m)
{
  return QuatVect(mthMatrixToQuaternion(Matrix33f(m)), m.GetTranslation());
}

} // namespace QuennelEngine
