#pragma once
// Rotation conversions around Euler angles, rotation matrices from one axis, quaternion
// differences and the cross-product matrix. The conversions between quaternions, axis-angles and
// matrices live with the quaternion (core/math/Quaternion.h).
//
// Euler angles are a Vector3f (heading, pitch, bank) in radians, one order everywhere:
//   M = Ry(heading) * Rx(pitch) * Rz(bank)
// so bank (about z) turns first, then pitch (about x), then heading (about y), each a right-handed
// turn about a fixed axis. With y up and the camera looking down -z, heading turns left, pitch
// looks up and bank rolls to the left. The angles back from a rotation lie in heading [-pi, pi],
// pitch [-pi/2, pi/2], bank [-pi, pi]; at pitch +-pi/2 (gimbal lock) heading and bank turn about
// the same axis, and the conversions give the whole turn to heading and 0 to bank when the
// matrix has no trace of bank left.
#include "core/math/Quaternion.h"

namespace QuennelEngine {

// The rotation matrix of Euler angles (heading, pitch, bank).
CORE_API Matrix33f mthEulerToMatrix(const Vector3f &vEuler);
// The unit quaternion of Euler angles, the same rotation as mthEulerToMatrix.
CORE_API Quaternion4f mthEulerToQuaternion(const Vector3f &vEuler);
// The axis-angle of Euler angles: a unit axis and an angle in [0, 2 pi].
CORE_API Vector4f mthEulerToAxisAngle(const Vector3f &vEuler);
// The Euler angles of a rotation matrix, in the ranges above; finite input never gives NaN.
CORE_API Vector3f mthMatrixToEuler(const Matrix33f &m);
// The Euler angles of a quaternion (normalised first; the zero quaternion gives zero angles).
CORE_API Vector3f mthQuaternionToEuler(const Quaternion4f &q);
// The Euler angles of an axis-angle (a zero axis gives zero angles).
CORE_API Vector3f mthAxisAngleToEuler(const Vector4f &vAxisAngle);
// The axis-angle of a rotation matrix: a unit axis, an angle in [0, pi]; the identity gives
// (1, 0, 0, 0).
CORE_API Vector4f mthMatrixToAxisAngle(const Matrix33f &m);

// A rotation whose x axis (first column) is `vX` normalised, the other two completing a
// right-handed frame as mthPlaneSpaceVectors does; a zero vector gives the identity.
CORE_API Matrix33f mthXAxisToMatrix33f(const Vector3f &vX);
// A rotation whose y axis (second column) is `vY` normalised; a zero vector gives the identity.
CORE_API Matrix33f mthYAxisToMatrix33f(const Vector3f &vY);
// A rotation whose z axis (third column) is `vZ` normalised; a zero vector gives the identity.
CORE_API Matrix33f mthZAxisToMatrix33f(const Vector3f &vZ);

// The rotation that, applied after qFrom, gives qTo (qTo * conjugate(qFrom)) for unit quaternions,
// with w >= 0: the shorter of the two ways.
CORE_API Quaternion4f mthDiffQuat(const Quaternion4f &qFrom, const Quaternion4f &qTo);
// The cross-product matrix of `v`: mthStarMatrix(v) * w == mthCross(v, w).
CORE_API Matrix33f mthStarMatrix(const Vector3f &v);

} // namespace QuennelEngine
