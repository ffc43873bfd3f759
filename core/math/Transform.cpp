// Box and plane transforms, back-transforms into a placement, reflections by a plane and the
// vectors that span a plane.
#include "core/math/Transform.h"

#include <float.h>
#include <math.h>

namespace QuennelEngine {

namespace {

// The box of centre `vCentre` and half sizes `vHalf` under the linear part whose element (i, j)
// is afRows[i * iRowStep + j * iColumnStep], plus `vMove`: the centre moves as a point, and each
// new half size is what the turned half sizes reach along that axis (the sum of |r_ij| half_j).
// Cheaper than eight corners and, rounding aside, exactly their bound. The steps let one loop read
// a matrix or its transpose in place.
Box3f CentredBox(const float *afRows, int iRowStep, int iColumnStep, const Vector3f &vCentre,
                 const Vector3f &vHalf, const Vector3f &vMove)
{
  float afMin[3], afMax[3];
  const float afMove[3] = {vMove.x, vMove.y, vMove.z};
  for (int i = 0; i < 3; i++) {
    const float *a = afRows + i * iRowStep;
    const float f0 = a[0], f1 = a[iColumnStep], f2 = a[2 * iColumnStep];
    const float fC = f0 * vCentre.x + f1 * vCentre.y + f2 * vCentre.z + afMove[i];
    const float fE = fabsf(f0) * vHalf.x + fabsf(f1) * vHalf.y + fabsf(f2) * vHalf.z;
    afMin[i] = fC - fE;
    afMax[i] = fC + fE;
  }
  return Box3f(afMin[0], afMin[1], afMin[2], afMax[0], afMax[1], afMax[2]);
}

// Centre and half size halved before they are added, so boxes out to FLT_MAX do not overflow.
Vector3f HalfSum(const Box3f &box)
{
  return box.vMin * 0.5f + box.vMax * 0.5f;
}
Vector3f HalfSize(const Box3f &box)
{
  return box.vMax * 0.5f - box.vMin * 0.5f;
}

// The reflection's factor 2 / (n . n), 0 for a zero normal (which leaves everything alone).
float MirrorFactor(const Vector3f &vNormal)
{
  const float fLength2 = mthDot(vNormal, vNormal);
  return fLength2 > 0.0f ? 2.0f / fLength2 : 0.0f;
}

} // namespace

Box3f mthTransformBoxM34f(const Box3f &box, const Matrix34f &m)
{
  if (box.IsEmpty()) return Box3f::Empty();
  return CentredBox(&m.m[0][0], 4, 1, HalfSum(box), HalfSize(box), m.GetTranslation());
}

Plane4f mthTransformPlaneM34f(const Plane4f &pl, const Matrix34f &m)
{
  if (pl.vNormal == Vector3f(0.0f)) return pl;
  // The plane as a row p becomes p M^-1. With M^-1 = C^T / det (C the cofactors of the linear
  // part), the normal is C n / det; scaling the whole plane by |det| leaves its sides alone and
  // needs no division: (sign(det) C n, d |det| - n' . t), normalised at the end.
  const float(&a)[3][4] = m.m;
  const Matrix33f mCofactors(
      a[1][1] * a[2][2] - a[1][2] * a[2][1], a[1][2] * a[2][0] - a[1][0] * a[2][2],
      a[1][0] * a[2][1] - a[1][1] * a[2][0], //
      a[0][2] * a[2][1] - a[0][1] * a[2][2], a[0][0] * a[2][2] - a[0][2] * a[2][0],
      a[0][1] * a[2][0] - a[0][0] * a[2][1], //
      a[0][1] * a[1][2] - a[0][2] * a[1][1], a[0][2] * a[1][0] - a[0][0] * a[1][2],
      a[0][0] * a[1][1] - a[0][1] * a[1][0]);
  const float fDet =
      a[0][0] * mCofactors.m[0][0] + a[0][1] * mCofactors.m[0][1] + a[0][2] * mCofactors.m[0][2];
  if (fDet == 0.0f || !isfinite(fDet)) return Plane4f(0.0f);
  Vector3f vNormal = mCofactors * pl.vNormal;
  if (fDet < 0.0f) vNormal = -vNormal;
  const float fLength = mthLength(vNormal);
  if (!(fLength > 0.0f && fLength <= FLT_MAX)) return Plane4f(0.0f);
  const float fD = pl.fD * fabsf(fDet) - mthDot(vNormal, m.GetTranslation());
  return Plane4f(vNormal / fLength, fD / fLength);
}

Plane4f mthTransformPlaneM44f(const Plane4f &pl, const Matrix44f &m)
{
  Matrix44f mInverse;
  if (!mthInvertM44f(mInverse, m)) return Plane4f(0.0f);
  const float afP[4] = {pl.vNormal.x, pl.vNormal.y, pl.vNormal.z, pl.fD};
  float af[4];
  for (int j = 0; j < 4; j++) {
    af[j] = afP[0] * mInverse.m[0][j] + afP[1] * mInverse.m[1][j] + afP[2] * mInverse.m[2][j] +
            afP[3] * mInverse.m[3][j];
  }
  return mthNormalize(Plane4f(af[0], af[1], af[2], af[3]));
}

Vector3f mthBackTransformRTPosM34f(const Vector3f &v, const Matrix34f &m)
{
  const Vector3f vD = v - m.GetTranslation();
  // R^T vD: the columns of R dotted with vD.
  return Vector3f(m.m[0][0] * vD.x + m.m[1][0] * vD.y + m.m[2][0] * vD.z,
                  m.m[0][1] * vD.x + m.m[1][1] * vD.y + m.m[2][1] * vD.z,
                  m.m[0][2] * vD.x + m.m[1][2] * vD.y + m.m[2][2] * vD.z);
}

Box3f mthBackTransformRTBoxM34f(const Box3f &box, const Matrix34f &m)
{
  if (box.IsEmpty()) return Box3f::Empty();
  // R^T (c - t): the transpose read in place, the centre moved first.
  return CentredBox(&m.m[0][0], 1, 4, HalfSum(box) - m.GetTranslation(), HalfSize(box),
                    Vector3f(0.0f));
}

Vector3f mthReflectPositionVectorByPlane(const Vector3f &v, const Plane4f &pl)
{
  return v - pl.vNormal * ((mthDot(pl.vNormal, v) + pl.fD) * MirrorFactor(pl.vNormal));
}

Vector3f mthReflectDirectionVectorByPlane(const Vector3f &v, const Plane4f &pl)
{
  return v - pl.vNormal * (mthDot(pl.vNormal, v) * MirrorFactor(pl.vNormal));
}

Matrix33f mthReflectRotationMatrixByPlaneRows(const Matrix33f &m, const Plane4f &pl)
{
  Matrix33f mR;
  for (int i = 0; i < 3; i++) {
    const Vector3f v = mthReflectDirectionVectorByPlane(m.GetRow(i), pl);
    mR.m[i][0] = v.x;
    mR.m[i][1] = v.y;
    mR.m[i][2] = v.z;
  }
  return mR;
}

Matrix33f mthReflectRotationMatrixByPlaneCols(const Matrix33f &m, const Plane4f &pl)
{
  Matrix33f mR;
  for (int j = 0; j < 3; j++) {
    const Vector3f v = mthReflectDirectionVectorByPlane(m.GetColumn(j), pl);
    mR.m[0][j] = v.x;
    mR.m[1][j] = v.y;
    mR.m[2][j] = v.z;
  }
  return mR;
}

void mthPlaneSpaceVectors(const Vector3f &vNormal, Vector3f &vU, Vector3f &vV)
{
  const float fLength = mthLength(vNormal);
  if (!(fLength > 0.0f && fLength <= FLT_MAX)) {
    vU = Vector3f(1, 0, 0);
    vV = Vector3f(0, 1, 0);
    return;
  }
  // The branch-free orthonormal basis of Duff et al. (2017): no division by a small number
  // anywhere, since |sign + z| >= 1.
  const Vector3f n = vNormal / fLength;
  const float fSign = copysignf(1.0f, n.z);
  const float a = -1.0f / (fSign + n.z);
  const float b = n.x * n.y * a;
  vU = Vector3f(1.0f + fSign * n.x * n.x * a, fSign * b, -fSign * n.x);
  vV = Vector3f(b, fSign + n.y * n.y * a, -n.y);
}

} // namespace QuennelEngine
