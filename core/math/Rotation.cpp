// Euler angles (heading, pitch, bank: M = Ry Rx Rz) to and from matrices, quaternions and
// axis-angles; frames from one axis; quaternion differences; the cross-product matrix.
#include "core/math/Rotation.h"

#include "core/math/Transform.h"

#include <math.h>

namespace QuennelEngine {

Matrix33f mthEulerToMatrix(const Vector3f &vEuler)
{
  const float ch = cosf(vEuler.x), sh = sinf(vEuler.x);
  const float cp = cosf(vEuler.y), sp = sinf(vEuler.y);
  const float cb = cosf(vEuler.z), sb = sinf(vEuler.z);
  // Ry(h) * Rx(p) * Rz(b), multiplied out, in place.
  const float shsp = sh * sp, chsp = ch * sp;
  Matrix33f m;
  m.m[0][0] = ch * cb + shsp * sb;
  m.m[0][1] = shsp * cb - ch * sb;
  m.m[0][2] = sh * cp;
  m.m[1][0] = cp * sb;
  m.m[1][1] = cp * cb;
  m.m[1][2] = -sp;
  m.m[2][0] = chsp * sb - sh * cb;
  m.m[2][1] = sh * sb + chsp * cb;
  m.m[2][2] = ch * cp;
  return m;
}

Quaternion4f mthEulerToQuaternion(const Vector3f &vEuler)
{
  const float ch = cosf(vEuler.x * 0.5f), sh = sinf(vEuler.x * 0.5f);
  const float cp = cosf(vEuler.y * 0.5f), sp = sinf(vEuler.y * 0.5f);
  const float cb = cosf(vEuler.z * 0.5f), sb = sinf(vEuler.z * 0.5f);
  // qy(h) * qx(p) * qz(b), multiplied out.
  const Quaternion4f q(ch * sp * cb + sh * cp * sb, sh * cp * cb - ch * sp * sb,
                       ch * cp * sb - sh * sp * cb, ch * cp * cb + sh * sp * sb);
  return q;
}

Vector4f mthEulerToAxisAngle(const Vector3f &vEuler)
{
  return mthQuaternionToAxisAngle(mthEulerToQuaternion(vEuler));
}

Vector3f mthMatrixToEuler(const Matrix33f &mat)
{
  // Bank first, from the middle row (cos p sin b, cos p cos b, -sin p); then heading and pitch
  // from the matrix with that bank taken off (M Rz(-b) = Ry(h) Rx(p)). Whatever bank comes out
  // near the gimbal lock, heading and pitch are computed to agree with it, so the angles always
  // give the matrix back; at the lock itself (no bank left in the row) bank is 0.
  const float(&m)[3][3] = mat.m;
  const float fCosPitch = sqrtf(m[1][0] * m[1][0] + m[1][1] * m[1][1]);
  float fBank = 0.0f, cb = 1.0f, sb = 0.0f;
  if (fCosPitch > 1e-30f) {
    // The bank's sine and cosine straight from the row: no trigonometry needed for them.
    const float fInv = 1.0f / fCosPitch;
    fBank = atan2f(m[1][0], m[1][1]);
    cb = m[1][1] * fInv;
    sb = m[1][0] * fInv;
  }
  const float fHeading = atan2f(m[2][1] * sb - m[2][0] * cb, m[0][0] * cb - m[0][1] * sb);
  const float fPitch = atan2f(-m[1][2], fCosPitch);
  return Vector3f(fHeading, fPitch, fBank);
}

Vector3f mthQuaternionToEuler(const Quaternion4f &q)
{
  const float fLength = sqrtf(mthDot(q, q));
  if (!(fLength > 0.0f)) return Vector3f(0.0f);
  return mthMatrixToEuler(mthQuaternionToMatrix(q / fLength));
}

Vector3f mthAxisAngleToEuler(const Vector4f &vAxisAngle)
{
  return mthMatrixToEuler(mthAxisAngleToMatrix(vAxisAngle));
}

Vector4f mthMatrixToAxisAngle(const Matrix33f &m)
{
  // The quaternion has w >= 0, so the angle comes out in [0, pi].
  return mthQuaternionToAxisAngle(mthMatrixToQuaternion(m));
}

namespace {

Matrix33f FromColumns(const Vector3f &vX, const Vector3f &vY, const Vector3f &vZ)
{
  return Matrix33f(vX.x, vY.x, vZ.x, vX.y, vY.y, vZ.y, vX.z, vY.z, vZ.z);
}

} // namespace

// mthPlaneSpaceVectors gives u, v with u x v = n; each frame puts them where the cyclic order
// x, y, z stays right-handed.
Matrix33f mthXAxisToMatrix33f(const Vector3f &vX)
{
  if (!(mthLength(vX) > 0.0f)) return mthIdentityM33f();
  Vector3f vU, vV;
  mthPlaneSpaceVectors(vX, vU, vV);
  return FromColumns(mthNormalize(vX), vU, vV); // y x z = x
}

Matrix33f mthYAxisToMatrix33f(const Vector3f &vY)
{
  if (!(mthLength(vY) > 0.0f)) return mthIdentityM33f();
  Vector3f vU, vV;
  mthPlaneSpaceVectors(vY, vU, vV);
  return FromColumns(vV, mthNormalize(vY), vU); // z x x = y
}

Matrix33f mthZAxisToMatrix33f(const Vector3f &vZ)
{
  if (!(mthLength(vZ) > 0.0f)) return mthIdentityM33f();
  Vector3f vU, vV;
  mthPlaneSpaceVectors(vZ, vU, vV);
  return FromColumns(vU, vV, mthNormalize(vZ)); // x x y = z
}

Quaternion4f mthDiffQuat(const Quaternion4f &qFrom, const Quaternion4f &qTo)
{
  const Quaternion4f q = qTo * mthConjugate(qFrom);
  return q.w < 0.0f ? q * -1.0f : q;
}

Matrix33f mthStarMatrix(const Vector3f &v)
{
  return Matrix33f(0, -v.z, v.y, //
                   v.z, 0, -v.x, //
                   -v.y, v.x, 0);
}

} // namespace QuennelEngine
