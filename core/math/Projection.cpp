// Projection matrices (right-handed view space, Direct3D's depth 0 to 1), their clip distances
// and planes, and points and rays between 3D and the viewport's pixels.
#include "core/math/Projection.h"

#include <float.h>
#include <math.h>

namespace QuennelEngine {

namespace {

const float _fPi = 3.14159265358979f;

bool IsOrdinary(float f)
{
  return isfinite(f) != 0;
}

// The depth row (A, B) of a perspective, z_clip = A z + B with w = -z: 0 at z = -near, w at
// z = -far.
void PerspectiveDepth(float fNear, float fFar, float &fA, float &fB)
{
  fA = isinf(fFar) ? -1.0f : fFar / (fNear - fFar);
  fB = fA * fNear;
}

bool PerspectiveDistances(float fNear, float fFar)
{
  return IsOrdinary(fNear) && fNear > 0.0f && fFar > 0.0f && fFar != fNear &&
         (IsOrdinary(fFar) || fFar == INFINITY);
}

// The clip-space row `i` of a matrix.
Vector4f Row(const Matrix44f &m, int i)
{
  return Vector4f(m.m[i][0], m.m[i][1], m.m[i][2], m.m[i][3]);
}

Plane4f PlaneOfRow(const Vector4f &v)
{
  return mthNormalize(Plane4f(v.x, v.y, v.z, v.w));
}

// The viewport's size in pixels, false when it is empty.
bool ViewportSize(const Box2l &boxViewport, float &fWidth, float &fHeight)
{
  if (boxViewport.IsEmpty()) return false;
  fWidth = (float)boxViewport.Width();
  fHeight = (float)boxViewport.Height();
  return true;
}

// A pixel point to normalised device coordinates (x and y -1 to 1, y up).
Vector4f PixelToDevice(const Vector3f &v2D, const Box2l &boxViewport, float fWidth, float fHeight)
{
  return Vector4f((v2D.x - (float)boxViewport.vMin.x) / fWidth * 2.0f - 1.0f,
                  1.0f - (v2D.y - (float)boxViewport.vMin.y) / fHeight * 2.0f, v2D.z, 1.0f);
}

} // namespace

Matrix44f mthFrustum(float fLeft, float fRight, float fBottom, float fTop, float fNear, float fFar)
{
  if (!(IsOrdinary(fLeft) && IsOrdinary(fRight) && IsOrdinary(fBottom) && IsOrdinary(fTop)) ||
      fLeft == fRight || fBottom == fTop || !PerspectiveDistances(fNear, fFar)) {
    return mthIdentityM44f();
  }
  const float fW = 1.0f / (fRight - fLeft), fH = 1.0f / (fTop - fBottom);
  float fA, fB;
  PerspectiveDepth(fNear, fFar, fA, fB);
  return Matrix44f(2.0f * fNear * fW, 0, (fRight + fLeft) * fW, 0, //
                   0, 2.0f * fNear * fH, (fTop + fBottom) * fH, 0, //
                   0, 0, fA, fB,                                   //
                   0, 0, -1, 0);
}

namespace {

// A centred perspective from the two scales of x and y.
Matrix44f CentredPerspective(float fScaleX, float fScaleY, float fNear, float fFar)
{
  if (!(IsOrdinary(fScaleX) && IsOrdinary(fScaleY) && fScaleX > 0.0f && fScaleY > 0.0f) ||
      !PerspectiveDistances(fNear, fFar)) {
    return mthIdentityM44f();
  }
  float fA, fB;
  PerspectiveDepth(fNear, fFar, fA, fB);
  return Matrix44f(fScaleX, 0, 0, 0, //
                   0, fScaleY, 0, 0, //
                   0, 0, fA, fB,     //
                   0, 0, -1, 0);
}

bool FieldOfView(float fFOV)
{
  return fFOV > 0.0f && fFOV < _fPi;
}

} // namespace

Matrix44f mthFrustumFOVX(float fFOVX, float fAspect, float fNear, float fFar)
{
  if (!FieldOfView(fFOVX) || !(fAspect > 0.0f)) return mthIdentityM44f();
  const float fScaleX = 1.0f / tanf(fFOVX * 0.5f);
  return CentredPerspective(fScaleX, fScaleX * fAspect, fNear, fFar);
}

Matrix44f mthFrustumFOVY(float fFOVY, float fAspect, float fNear, float fFar)
{
  if (!FieldOfView(fFOVY) || !(fAspect > 0.0f)) return mthIdentityM44f();
  const float fScaleY = 1.0f / tanf(fFOVY * 0.5f);
  return CentredPerspective(fScaleY / fAspect, fScaleY, fNear, fFar);
}

Matrix44f mthOrtho(float fLeft, float fRight, float fBottom, float fTop, float fNear, float fFar)
{
  if (!(IsOrdinary(fLeft) && IsOrdinary(fRight) && IsOrdinary(fBottom) && IsOrdinary(fTop) &&
        IsOrdinary(fNear) && IsOrdinary(fFar)) ||
      fLeft == fRight || fBottom == fTop || fNear == fFar) {
    return mthIdentityM44f();
  }
  const float fW = 1.0f / (fRight - fLeft), fH = 1.0f / (fTop - fBottom);
  const float fA = 1.0f / (fNear - fFar);
  return Matrix44f(2.0f * fW, 0, 0, -(fRight + fLeft) * fW, //
                   0, 2.0f * fH, 0, -(fTop + fBottom) * fH, //
                   0, 0, fA, fA * fNear,                    //
                   0, 0, 0, 1);
}

Matrix44f mthOrthoSizeX(float fSizeX, float fAspect, float fNear, float fFar)
{
  if (!(fAspect > 0.0f)) return mthIdentityM44f();
  const float fHalfX = fSizeX * 0.5f, fHalfY = fHalfX / fAspect;
  return mthOrtho(-fHalfX, fHalfX, -fHalfY, fHalfY, fNear, fFar);
}

Matrix44f mthOrthoSizeY(float fSizeY, float fAspect, float fNear, float fFar)
{
  if (!(fAspect > 0.0f)) return mthIdentityM44f();
  const float fHalfY = fSizeY * 0.5f, fHalfX = fHalfY * fAspect;
  return mthOrtho(-fHalfX, fHalfX, -fHalfY, fHalfY, fNear, fFar);
}

float mthFOVToSize(float fFOV, float fDistance)
{
  if (!(fFOV > 0.0f)) return 0.0f;
  if (!(fFOV < _fPi)) return FLT_MAX;
  return 2.0f * fDistance * tanf(fFOV * 0.5f);
}

float mthSizeToFOV(float fSize, float fDistance)
{
  return 2.0f * atan2f(fabsf(fSize) * 0.5f, fabsf(fDistance));
}

// The depth row is (0, 0, A, B) and the w row (0, 0, C, D): C = -1, D = 0 for a perspective, C = 0
// for an orthographic projection. The distances solve A z + B = 0 (near) and A z + B = C z + D
// (far) for z = -distance.
void mthSetClipDistances(Matrix44f &mProjection, float fNear, float fFar)
{
  float(&m)[4][4] = mProjection.m;
  if (m[3][2] != 0.0f) {
    if (!PerspectiveDistances(fNear, fFar)) return;
    const float fC = m[3][2];
    const float fA = isinf(fFar) ? fC : fC * fFar / (fFar - fNear);
    m[2][2] = fA;
    m[2][3] = fA * fNear;
  } else {
    if (!(IsOrdinary(fNear) && IsOrdinary(fFar)) || fNear == fFar) return;
    const float fA = m[3][3] / (fNear - fFar);
    m[2][2] = fA;
    m[2][3] = fA * fNear;
  }
}

float mthGetNearClipDistance(const Matrix44f &mProjection)
{
  const float(&m)[4][4] = mProjection.m;
  if (m[2][2] == 0.0f) return 0.0f;
  return m[2][3] / m[2][2];
}

float mthGetFarClipDistance(const Matrix44f &mProjection)
{
  const float(&m)[4][4] = mProjection.m;
  if (m[3][2] != 0.0f) {
    const float fDenominator = m[2][2] - m[3][2];
    return fDenominator == 0.0f ? INFINITY : m[2][3] / fDenominator;
  }
  if (m[2][2] == 0.0f) return 0.0f;
  return (m[2][3] - m[3][3]) / m[2][2];
}

// Inside is -w <= x <= w, -w <= y <= w, 0 <= z <= w: each inequality is a row combination that
// is positive inside.
Plane4f mthGetLeftPlane(const Matrix44f &mProjection)
{
  return PlaneOfRow(Row(mProjection, 3) + Row(mProjection, 0));
}

Plane4f mthGetRightPlane(const Matrix44f &mProjection)
{
  return PlaneOfRow(Row(mProjection, 3) - Row(mProjection, 0));
}

Plane4f mthGetTopPlane(const Matrix44f &mProjection)
{
  return PlaneOfRow(Row(mProjection, 3) - Row(mProjection, 1));
}

Plane4f mthGetBottomPlane(const Matrix44f &mProjection)
{
  return PlaneOfRow(Row(mProjection, 3) + Row(mProjection, 1));
}

Plane4f mthGetNearPlane(const Matrix44f &mProjection)
{
  return PlaneOfRow(Row(mProjection, 2));
}

Plane4f mthGetFarPlane(const Matrix44f &mProjection)
{
  return PlaneOfRow(Row(mProjection, 3) - Row(mProjection, 2));
}

int mthProject3DPointTo2DSpace(Vector3f &v2D, const Vector3f &v3D, const Matrix44f &mProjection,
                               const Box2l &boxViewport)
{
  float fWidth, fHeight;
  if (!ViewportSize(boxViewport, fWidth, fHeight)) return 0;
  const Vector4f vClip = mProjection * Vector4f(v3D, 1.0f);
  if (!(vClip.w > 0.0f)) return 0;
  const float fInvW = 1.0f / vClip.w;
  v2D = Vector3f((float)boxViewport.vMin.x + (vClip.x * fInvW + 1.0f) * 0.5f * fWidth,
                 (float)boxViewport.vMin.y + (1.0f - vClip.y * fInvW) * 0.5f * fHeight,
                 vClip.z * fInvW);
  return 1;
}

int mthProject2DPointTo3DSpace(Vector3f &v3D, const Vector3f &v2D, const Matrix44f &mProjection,
                               const Box2l &boxViewport)
{
  float fWidth, fHeight;
  Matrix44f mInverse;
  if (!ViewportSize(boxViewport, fWidth, fHeight) || !mthInvertM44f(mInverse, mProjection)) {
    return 0;
  }
  const Vector4f v = mInverse * PixelToDevice(v2D, boxViewport, fWidth, fHeight);
  if (v.w == 0.0f) return 0;
  const Vector3f vPoint = Vector3f(v.x, v.y, v.z) / v.w;
  if (!IsOrdinary(vPoint.x) || !IsOrdinary(vPoint.y) || !IsOrdinary(vPoint.z)) return 0;
  v3D = vPoint;
  return 1;
}

int mthRayThroughPoint(Ray3f &ray, const Vector2f &v2D, const Matrix44f &mProjection,
                       const Box2l &boxViewport)
{
  float fWidth, fHeight;
  Matrix44f mInverse;
  if (!ViewportSize(boxViewport, fWidth, fHeight) || !mthInvertM44f(mInverse, mProjection)) {
    return 0;
  }
  const Vector4f vDevice =
      PixelToDevice(Vector3f(v2D.x, v2D.y, 0.0f), boxViewport, fWidth, fHeight);
  Vector4f vStart = mInverse * vDevice;
  Vector4f vEnd = mInverse * Vector4f(vDevice.x, vDevice.y, 1.0f, 1.0f);
  // Unprojected, w is 1 / distance for a perspective: the larger one is the end nearer to the
  // camera, which is depth 1 when the depth is reversed.
  if (fabsf(vStart.w) < fabsf(vEnd.w)) {
    const Vector4f v = vStart;
    vStart = vEnd;
    vEnd = v;
  }
  if (vStart.w == 0.0f) return 0;
  // end / w_end - start / w_start, times w_start w_end (the same sign at both ends): this stays
  // right when the far end is at infinity (w_end = 0, an infinite perspective).
  const Vector3f vS(vStart.x, vStart.y, vStart.z), vE(vEnd.x, vEnd.y, vEnd.z);
  const Vector3f vDirection = mthNormalize(vE * vStart.w - vS * vEnd.w);
  const Vector3f vOrigin = vS / vStart.w;
  if (!(mthLength(vDirection) > 0.0f) || !IsOrdinary(mthDot(vDirection, vOrigin))) return 0;
  ray = Ray3f(vOrigin, vDirection);
  return 1;
}

float mthMeterToPixelFactor(const Matrix44f &mProjection, const Box2l &boxViewport, float fDistance)
{
  float fWidth, fHeight;
  if (!ViewportSize(boxViewport, fWidth, fHeight)) return 0.0f;
  // w at the point (0, 0, -distance) of view space; x_clip / w grows by m00 / w per unit.
  const float fW = mProjection.m[3][3] - mProjection.m[3][2] * fDistance;
  if (!(fW > 0.0f)) return 0.0f;
  return fabsf(mProjection.m[0][0]) * 0.5f * fWidth / fW;
}

} // namespace QuennelEngine
