// Intersections and distances. Every ray test works on the parameter t of origin + t direction
// and rejects a zero direction first, so no division below ever divides by a zero it did not
// check; a ray that starts inside a solid reports t = 0.
//
// Thick rays are the thin ray against the solid grown by the radius (its Minkowski sum with a
// ball): a grown sphere or capsule is a larger one, a grown triangle is a slab over the face with
// a capsule along each edge, a grown box is three boxes each grown along one axis with a capsule
// along each of its twelve edges. A grown cylinder has a torus for a rim, which is found by
// stepping along the ray by the exact distance to the cylinder (each step safe, since no point of
// the shape is nearer than that distance), with a search of the convex distance along the ray
// for the rays nearly parallel to its surface, where steps shrink slowly.
#include "core/math/Intersect.h"

#include "core/frame/CodeGuard.h"

#include <float.h>
#include <math.h>

namespace QuennelEngine {

namespace {

inline float Min(float fA, float fB)
{
  return fA < fB ? fA : fB;
}
inline float Max(float fA, float fB)
{
  return fA > fB ? fA : fB;
}

// A hit is kept when it is nearer than the best so far.
inline void Keep(float fT, float &fBest, int &bHit)
{
  if (!bHit || fT < fBest) {
    fBest = fT;
    bHit = 1;
  }
}

// The parameter of the first hit of o + t d (|d| > 0) with the solid sphere, from the
// coefficients; 0 when it misses.
int RaySphere(const Vector3f &vO, const Vector3f &vD, const Vector3f &vC, float fR, float &fT)
{
  if (fR < 0) return 0;
  const Vector3f vM = vO - vC;
  const float fC = mthDot(vM, vM) - fR * fR;
  if (fC <= 0) {
    fT = 0;
    return 1;
  }
  const float fB = mthDot(vM, vD);
  if (fB >= 0) return 0; // outside and going away
  const float fA = mthDot(vD, vD);
  const float fDisc = fB * fB - fA * fC;
  if (fDisc < 0) return 0;
  const float fHit = (-fB - sqrtf(fDisc)) / fA;
  fT = Max(fHit, 0.0f);
  return 1;
}

// The capsule of the segment vA vB (which may be a point) and radius fR.
int RayCapsule(const Vector3f &vO, const Vector3f &vD, const Vector3f &vA, const Vector3f &vB,
               float fR, float &fT)
{
  if (fR < 0) return 0;
  const Vector3f vAxis = vB - vA;
  const float fAxis2 = mthDot(vAxis, vAxis);
  if (fAxis2 == 0) return RaySphere(vO, vD, vA, fR, fT);
  // Inside: the origin is within the radius of the segment.
  const Vector3f vAO = vO - vA;
  const float fS = Min(Max(mthDot(vAO, vAxis) / fAxis2, 0.0f), 1.0f);
  const Vector3f vNear = vAO - vAxis * fS;
  if (mthDot(vNear, vNear) <= fR * fR) {
    fT = 0;
    return 1;
  }
  int bHit = 0;
  float fBest = 0;
  // The side: the infinite cylinder, where the hit's projection falls on the segment.
  const float fDA = mthDot(vD, vAxis) / fAxis2;
  const float fOA = mthDot(vAO, vAxis) / fAxis2;
  const Vector3f vDPerp = vD - vAxis * fDA;
  const Vector3f vOPerp = vAO - vAxis * fOA;
  const float fA = mthDot(vDPerp, vDPerp);
  if (fA > 0) {
    const float fB = mthDot(vOPerp, vDPerp);
    const float fC = mthDot(vOPerp, vOPerp) - fR * fR;
    const float fDisc = fB * fB - fA * fC;
    if (fDisc >= 0) {
      const float fHit = (-fB - sqrtf(fDisc)) / fA;
      const float fAlong = fOA + fHit * fDA;
      if (fHit >= 0 && fAlong >= 0 && fAlong <= 1) Keep(fHit, fBest, bHit);
    }
  }
  // The ends.
  float fEnd;
  if (RaySphere(vO, vD, vA, fR, fEnd)) Keep(fEnd, fBest, bHit);
  if (RaySphere(vO, vD, vB, fR, fEnd)) Keep(fEnd, fBest, bHit);
  if (bHit) fT = fBest;
  return bHit;
}

inline int RayBox(const Vector3f &vO, const Vector3f &vD, const Vector3f &vMin,
                  const Vector3f &vMax, float &fT)
{
  float fFar;
  return IntersectDetail::RayBoxRange(vO, vD, vMin, vMax, fT, fFar);
}

// The face of a triangle seen from the origin, grown by fR along its unit normal, for thick rays.
int RayTriangleSlab(const Vector3f &vO, const Vector3f &vD, float fR, const Vector3f &v0,
                    const Vector3f &v1, const Vector3f &v2, float &fT)
{
  const Vector3f vN = mthCross(v1 - v0, v2 - v0);
  const float fLength = mthLength(vN);
  if (!(fLength > 0)) return 0;
  const Vector3f vUnit = vN / fLength;
  const float fDistance = mthDot(vUnit, vO - v0);
  if (fabsf(fDistance) <= fR && mthIsPointInTriangle(vO, v0, v1, v2)) {
    fT = 0;
    return 1;
  }
  // The face on the origin's side, fR towards it.
  const Vector3f vOffset = vUnit * (fDistance >= 0 ? fR : -fR);
  const float fDN = mthDot(vUnit, vD);
  if (fDN == 0 || (fDistance >= 0) == (fDN > 0)) return 0;
  const float fHit = (fabsf(fDistance) - fR) / fabsf(fDN);
  if (!(fHit >= 0 && fHit <= FLT_MAX)) return 0;
  const Vector3f vOnFace = vO + vD * fHit - vOffset;
  if (!mthIsPointInTriangle(vOnFace, v0, v1, v2)) return 0;
  fT = fHit;
  return 1;
}

// The distance from a local point to the solid cylinder of radius fR and half height fH about
// the z axis (negative inside).
float CylinderDistance(const Vector3f &v, float fR, float fH)
{
  const float fRadial = sqrtf(v.x * v.x + v.y * v.y) - fR;
  const float fAxial = fabsf(v.z) - fH;
  const float fOutR = Max(fRadial, 0.0f), fOutA = Max(fAxial, 0.0f);
  return sqrtf(fOutR * fOutR + fOutA * fOutA) + Min(Max(fRadial, fAxial), 0.0f);
}

// The local cylinder about z (radius fR, half height fH) grown by fGrow >= 0.
int RayLocalCylinder(const Vector3f &vO, const Vector3f &vD, float fR, float fH, float fGrow,
                     float &fT)
{
  if (fR < 0 || fH < 0) return 0;
  if (fGrow == 0) {
    return mthIntersectRayCylinder(Ray3f(vO, vD), Vector3f(0, 0, -fH), Vector3f(0, 0, fH), fR, fT);
  }
  // Within the grown bounding box, step by the distance to the cylinder.
  const Vector3f vBound(fR + fGrow, fR + fGrow, fH + fGrow);
  float fEnter, fFar;
  if (!IntersectDetail::RayBoxRange(vO, vD, -vBound, vBound, fEnter, fFar)) return 0;
  const float fLength = mthLength(vD);
  const float fEpsilon = 1e-6f * (fR + fH + fGrow);
  auto Gap = [&](float fAt) { return CylinderDistance(vO + vD * fAt, fR, fH) - fGrow; };
  float fAt = fEnter;
  for (int iStep = 0; iStep < 32; iStep++) {
    if (fAt > fFar) return 0;
    const float fGap = Gap(fAt);
    if (fGap <= fEpsilon) {
      fT = fAt;
      return 1;
    }
    fAt += fGap / fLength;
  }
  // Slow progress means a ray nearly parallel to the surface. The distance to a convex shape is
  // convex along a line: find its smallest value, then the first crossing before it.
  float fLow = fAt, fHigh = fFar;
  for (int i = 0; i < 60; i++) {
    const float fThird = (fHigh - fLow) / 3;
    if (Gap(fLow + fThird) < Gap(fHigh - fThird)) {
      fHigh -= fThird;
    } else {
      fLow += fThird;
    }
  }
  float fInside = (fLow + fHigh) / 2;
  if (!(fInside >= fAt) || Gap(fInside) > fEpsilon) return 0;
  float fOutside = fAt;
  for (int i = 0; i < 40; i++) {
    const float fMiddle = (fOutside + fInside) / 2;
    if (Gap(fMiddle) <= fEpsilon) {
      fInside = fMiddle;
    } else {
      fOutside = fMiddle;
    }
  }
  fT = fInside;
  return 1;
}

// The primitive in its local space (the ray moved there already), grown by fGrow >= 0.
int RayLocalPrimitive(const Vector3f &vO, const Vector3f &vD, const CPrimitiveDesc &pd, float fGrow,
                      float &fT)
{
  const Vector3f &vH = pd.pd_vHalfSize;
  switch (pd.pd_iType) {
  case PT_BOX: {
    if (vH.x < 0 || vH.y < 0 || vH.z < 0) return 0;
    if (fGrow == 0) return RayBox(vO, vD, -vH, vH, fT);
    int bHit = 0;
    float fBest = 0, fHit;
    // The box grown along each axis alone...
    for (int i = 0; i < 3; i++) {
      Vector3f vGrown = vH;
      (&vGrown.x)[i] += fGrow;
      if (RayBox(vO, vD, -vGrown, vGrown, fHit)) Keep(fHit, fBest, bHit);
    }
    // ...and the rounded edges: four along each axis i, at the corners of the other two.
    const float afH[3] = {vH.x, vH.y, vH.z};
    for (int i = 0; i < 3; i++) {
      const int j = (i + 1) % 3, k = (i + 2) % 3;
      for (int iCorner = 0; iCorner < 4; iCorner++) {
        float afA[3], afB[3];
        afA[i] = -afH[i];
        afB[i] = afH[i];
        afA[j] = afB[j] = (iCorner & 1) ? afH[j] : -afH[j];
        afA[k] = afB[k] = (iCorner & 2) ? afH[k] : -afH[k];
        if (RayCapsule(vO, vD, Vector3f(afA[0], afA[1], afA[2]), Vector3f(afB[0], afB[1], afB[2]),
                       fGrow, fHit)) {
          Keep(fHit, fBest, bHit);
        }
      }
    }
    if (bHit) fT = fBest;
    return bHit;
  }
  case PT_SPHERE:
    if (vH.x < 0) return 0;
    return RaySphere(vO, vD, Vector3f(0.0f), vH.x + fGrow, fT);
  case PT_CYLINDER:
    return RayLocalCylinder(vO, vD, vH.x, vH.z, fGrow, fT);
  case PT_CAPSULE: {
    if (vH.x < 0 || vH.z < 0) return 0;
    const float fHalf = Max(vH.z - vH.x, 0.0f);
    return RayCapsule(vO, vD, Vector3f(0, 0, -fHalf), Vector3f(0, 0, fHalf), vH.x + fGrow, fT);
  }
  }
  corLogGuardBreach();
  return 0;
}

int RayPrimitive(const Ray3f &ray, float fGrow, const CPrimitiveDesc &pd, float &fT)
{
  if (mthDot(ray.vDirection, ray.vDirection) == 0 || fGrow < 0) return 0;
  // A rigid placement keeps the ray parameter: move the ray into the primitive's space.
  const Matrix34f mToLocal = mthInvertRTM34f(pd.pd_mPlacement);
  const Vector3f vO = mToLocal * ray.vOrigin;
  const Vector3f vD = Matrix33f(mToLocal) * ray.vDirection;
  return RayLocalPrimitive(vO, vD, pd, fGrow, fT);
}

// The point of the local primitive's solid nearest to `v` (`v` itself when inside).
Vector3f NearestLocalPoint(const CPrimitiveDesc &pd, const Vector3f &v)
{
  const Vector3f &vH = pd.pd_vHalfSize;
  switch (pd.pd_iType) {
  case PT_BOX:
    return mthMax(-vH, mthMin(v, vH));
  case PT_SPHERE: {
    const float fLength = mthLength(v);
    return fLength > vH.x ? v * (vH.x / fLength) : v;
  }
  case PT_CYLINDER: {
    Vector3f vN(v.x, v.y, Min(Max(v.z, -vH.z), vH.z));
    const float fRadial = sqrtf(v.x * v.x + v.y * v.y);
    if (fRadial > vH.x) {
      vN.x *= vH.x / fRadial;
      vN.y *= vH.x / fRadial;
    }
    return vN;
  }
  default: { // PT_CAPSULE
    const float fHalf = Max(vH.z - vH.x, 0.0f);
    const Vector3f vAxis(0, 0, Min(Max(v.z, -fHalf), fHalf));
    const Vector3f vOut = v - vAxis;
    const float fLength = mthLength(vOut);
    return fLength > vH.x ? vAxis + vOut * (vH.x / fLength) : v;
  }
  }
}

// The outward normal of the nearest face of the local primitive for a point on or inside it.
Vector3f LocalFaceNormal(const CPrimitiveDesc &pd, const Vector3f &v)
{
  const Vector3f &vH = pd.pd_vHalfSize;
  switch (pd.pd_iType) {
  case PT_BOX: {
    // The face whose plane is nearest (the largest signed distance).
    const float afGap[3] = {fabsf(v.x) - vH.x, fabsf(v.y) - vH.y, fabsf(v.z) - vH.z};
    int i = afGap[0] >= afGap[1] ? 0 : 1;
    if (afGap[2] > afGap[i]) i = 2;
    Vector3f vN(0.0f);
    (&vN.x)[i] = (&v.x)[i] < 0 ? -1.0f : 1.0f;
    return vN;
  }
  case PT_SPHERE:
    return mthLength(v) > 0 ? mthNormalize(v) : Vector3f(0, 0, 1);
  case PT_CYLINDER: {
    const float fRadial = sqrtf(v.x * v.x + v.y * v.y);
    if (fabsf(v.z) - vH.z > fRadial - vH.x) return Vector3f(0, 0, v.z < 0 ? -1.0f : 1.0f);
    return fRadial > 0 ? Vector3f(v.x / fRadial, v.y / fRadial, 0) : Vector3f(1, 0, 0);
  }
  default: { // PT_CAPSULE
    const float fHalf = Max(vH.z - vH.x, 0.0f);
    const Vector3f vOut = v - Vector3f(0, 0, Min(Max(v.z, -fHalf), fHalf));
    return mthLength(vOut) > 0 ? mthNormalize(vOut) : Vector3f(1, 0, 0);
  }
  }
}

// Whether the local point `v` lies within the half extents, boundaries included.
inline int InHalfSize(const Vector3f &v, const Vector3f &vH)
{
  return fabsf(v.x) <= vH.x && fabsf(v.y) <= vH.y && fabsf(v.z) <= vH.z;
}

// R^T v: a world direction in the box's own axes.
inline Vector3f ToBoxAxes(const Matrix33f &m, const Vector3f &v)
{
  return Vector3f(m.m[0][0] * v.x + m.m[1][0] * v.y + m.m[2][0] * v.z,
                  m.m[0][1] * v.x + m.m[1][1] * v.y + m.m[2][1] * v.z,
                  m.m[0][2] * v.x + m.m[1][2] * v.y + m.m[2][2] * v.z);
}

} // namespace

int mthIntersectRayPlane(const Ray3f &ray, const Plane4f &pl, float &fT)
{
  const float fDN = mthDot(pl.vNormal, ray.vDirection);
  if (fDN == 0) return 0;
  const float fHit = -mthDistance(pl, ray.vOrigin) / fDN;
  if (!(fHit >= 0 && fHit <= FLT_MAX)) return 0;
  fT = fHit;
  return 1;
}

int mthIntersectThickRayTriangle(const Ray3f &ray, float fRadius, const Vector3f &v0,
                                 const Vector3f &v1, const Vector3f &v2, float &fT)
{
  if (fRadius < 0 || mthDot(ray.vDirection, ray.vDirection) == 0) return 0;
  if (fRadius == 0) return mthIntersectRayTriangle(ray, v0, v1, v2, fT);
  const Vector3f &vO = ray.vOrigin, &vD = ray.vDirection;
  int bHit = 0;
  float fBest = 0, fHit;
  if (RayTriangleSlab(vO, vD, fRadius, v0, v1, v2, fHit)) Keep(fHit, fBest, bHit);
  if (RayCapsule(vO, vD, v0, v1, fRadius, fHit)) Keep(fHit, fBest, bHit);
  if (RayCapsule(vO, vD, v1, v2, fRadius, fHit)) Keep(fHit, fBest, bHit);
  if (RayCapsule(vO, vD, v2, v0, fRadius, fHit)) Keep(fHit, fBest, bHit);
  if (bHit) fT = fBest;
  return bHit;
}

int mthIntersectRaySphere(const Ray3f &ray, const Vector3f &vCenter, float fRadius, float &fT)
{
  if (mthDot(ray.vDirection, ray.vDirection) == 0) return 0;
  return RaySphere(ray.vOrigin, ray.vDirection, vCenter, fRadius, fT);
}

int mthIntersectRayCylinder(const Ray3f &ray, const Vector3f &vA, const Vector3f &vB, float fRadius,
                            float &fT)
{
  const Vector3f &vO = ray.vOrigin, &vD = ray.vDirection;
  const Vector3f vAxis = vB - vA;
  const float fAxis2 = mthDot(vAxis, vAxis);
  if (fAxis2 == 0 || fRadius < 0 || mthDot(vD, vD) == 0) return 0;
  // Positions along the axis in units of its length (0 at vA, 1 at vB) and across it.
  const Vector3f vAO = vO - vA;
  const float fOA = mthDot(vAO, vAxis) / fAxis2;
  const float fDA = mthDot(vD, vAxis) / fAxis2;
  const Vector3f vOPerp = vAO - vAxis * fOA;
  const Vector3f vDPerp = vD - vAxis * fDA;
  const float fC = mthDot(vOPerp, vOPerp) - fRadius * fRadius;
  if (fC <= 0 && fOA >= 0 && fOA <= 1) {
    fT = 0;
    return 1;
  }
  int bHit = 0;
  float fBest = 0;
  // The side.
  const float fA = mthDot(vDPerp, vDPerp);
  if (fA > 0 && fC > 0) {
    const float fB = mthDot(vOPerp, vDPerp);
    const float fDisc = fB * fB - fA * fC;
    if (fB < 0 && fDisc >= 0) {
      const float fHit = (-fB - sqrtf(fDisc)) / fA;
      const float fAlong = fOA + fHit * fDA;
      if (fAlong >= 0 && fAlong <= 1) Keep(fHit, fBest, bHit);
    }
  }
  // The ends: where the ray crosses the end's plane within the radius.
  if (fDA != 0) {
    for (float fEnd = 0; fEnd <= 1; fEnd += 1) {
      const float fHit = (fEnd - fOA) / fDA;
      if (!(fHit >= 0 && fHit <= FLT_MAX)) continue;
      const Vector3f vAcross = vOPerp + vDPerp * fHit;
      if (mthDot(vAcross, vAcross) <= fRadius * fRadius) Keep(fHit, fBest, bHit);
    }
  }
  if (bHit) fT = fBest;
  return bHit;
}

int mthIntersectRayInfiniteCylinder(const Ray3f &ray, const Vector3f &vPoint, const Vector3f &vAxis,
                                    float fRadius, float &fT)
{
  const Vector3f &vD = ray.vDirection;
  const float fAxis2 = mthDot(vAxis, vAxis);
  if (fAxis2 == 0 || fRadius < 0 || mthDot(vD, vD) == 0) return 0;
  const Vector3f vPO = ray.vOrigin - vPoint;
  const Vector3f vOPerp = vPO - vAxis * (mthDot(vPO, vAxis) / fAxis2);
  const Vector3f vDPerp = vD - vAxis * (mthDot(vD, vAxis) / fAxis2);
  const float fC = mthDot(vOPerp, vOPerp) - fRadius * fRadius;
  if (fC <= 0) {
    fT = 0;
    return 1;
  }
  const float fA = mthDot(vDPerp, vDPerp);
  const float fB = mthDot(vOPerp, vDPerp);
  if (fA == 0 || fB >= 0) return 0; // parallel to the axis, or going away
  const float fDisc = fB * fB - fA * fC;
  if (fDisc < 0) return 0;
  fT = Max((-fB - sqrtf(fDisc)) / fA, 0.0f);
  return 1;
}

int mthIntersectRayCapsule(const Ray3f &ray, const Vector3f &vA, const Vector3f &vB, float fRadius,
                           float &fT)
{
  if (mthDot(ray.vDirection, ray.vDirection) == 0) return 0;
  return RayCapsule(ray.vOrigin, ray.vDirection, vA, vB, fRadius, fT);
}

int mthIntersectRayPrimitive(const Ray3f &ray, const CPrimitiveDesc &pd, float &fT)
{
  return RayPrimitive(ray, 0, pd, fT);
}

int mthIntersectThickRayPrimitive(const Ray3f &ray, float fRadius, const CPrimitiveDesc &pd,
                                  float &fT)
{
  return RayPrimitive(ray, fRadius, pd, fT);
}

Vector3f mthPrimitiveHitNormal(const CPrimitiveDesc &pd, const Vector3f &vPoint)
{
  if (pd.pd_iType < PT_BOX || pd.pd_iType > PT_CAPSULE) {
    corLogGuardBreach();
    return Vector3f(0, 0, 1);
  }
  const Matrix34f mToLocal = mthInvertRTM34f(pd.pd_mPlacement);
  const Vector3f v = mToLocal * vPoint;
  const Vector3f vOut = v - NearestLocalPoint(pd, v);
  // Points just off the surface (a hit's rounding) take the face's normal, which is exact.
  const float fScale = mthLength(pd.pd_vHalfSize) + mthLength(v);
  const Vector3f vLocal =
      mthLength(vOut) > 1e-5f * fScale ? mthNormalize(vOut) : LocalFaceNormal(pd, v);
  return Matrix33f(pd.pd_mPlacement) * vLocal;
}

int mthIsPointInTriangle(const Vector3f &vPoint, const Vector3f &v0, const Vector3f &v1,
                         const Vector3f &v2)
{
  const Vector3f vN = mthCross(v1 - v0, v2 - v0);
  if (mthDot(vN, vN) == 0) return 0;
  // On the inner side of each edge, seen along the normal.
  return mthDot(vN, mthCross(v1 - v0, vPoint - v0)) >= 0 &&
         mthDot(vN, mthCross(v2 - v1, vPoint - v1)) >= 0 &&
         mthDot(vN, mthCross(v0 - v2, vPoint - v2)) >= 0;
}

float mthGetPointRayDistance(const Vector3f &vPoint, const Ray3f &ray)
{
  const Vector3f vOP = vPoint - ray.vOrigin;
  const float fD2 = mthDot(ray.vDirection, ray.vDirection);
  const float fAlong = fD2 > 0 ? Max(mthDot(vOP, ray.vDirection) / fD2, 0.0f) : 0.0f;
  return mthLength(vOP - ray.vDirection * fAlong);
}

Vector3f mthGetClosestPointOnEdge(const Vector3f &vPoint, const Vector3f &vA, const Vector3f &vB)
{
  const Vector3f vAB = vB - vA;
  const float fLength2 = mthDot(vAB, vAB);
  if (fLength2 == 0) return vA;
  const float fS = mthDot(vPoint - vA, vAB) / fLength2;
  if (fS <= 0) return vA;
  if (fS >= 1) return vB;
  return vA + vAB * fS;
}

namespace {

// The root of F(s) = (r0 z0 / (s + r0))^2 + (z1 / (s + 1))^2 - 1 by bisection (Eberly's robust
// method); F falls monotonically on [z1 - 1, |(r0 z0, z1)| - 1], so bisection ends in at most
// the bits of a double.
double EllipseRoot(double dR0, double dZ0, double dZ1, double dG)
{
  const double dN0 = dR0 * dZ0;
  double dS0 = dZ1 - 1;
  double dS1 = dG < 0 ? 0 : sqrt(dN0 * dN0 + dZ1 * dZ1) - 1;
  double dS = 0;
  for (int i = 0; i < 1100; i++) {
    dS = (dS0 + dS1) / 2;
    if (dS == dS0 || dS == dS1) break;
    const double dRatio0 = dN0 / (dS + dR0);
    const double dRatio1 = dZ1 / (dS + 1);
    dG = dRatio0 * dRatio0 + dRatio1 * dRatio1 - 1;
    if (dG > 0) {
      dS0 = dS;
    } else if (dG < 0) {
      dS1 = dS;
    } else {
      break;
    }
  }
  return dS;
}

// Distance from (dY0, dY1) >= 0 to the ellipse with semi-axes dE0 >= dE1 > 0, and the nearest
// point (also in the first quadrant).
double EllipseDistanceQuadrant(double dE0, double dE1, double dY0, double dY1, double &dX0,
                               double &dX1)
{
  if (dY1 > 0) {
    if (dY0 > 0) {
      const double dZ0 = dY0 / dE0, dZ1 = dY1 / dE1;
      const double dG = dZ0 * dZ0 + dZ1 * dZ1 - 1;
      if (dG != 0) {
        const double dR0 = (dE0 / dE1) * (dE0 / dE1);
        const double dS = EllipseRoot(dR0, dZ0, dZ1, dG);
        dX0 = dR0 * dY0 / (dS + dR0);
        dX1 = dY1 / (dS + 1);
        return sqrt((dX0 - dY0) * (dX0 - dY0) + (dX1 - dY1) * (dX1 - dY1));
      }
      dX0 = dY0;
      dX1 = dY1;
      return 0;
    }
    dX0 = 0;
    dX1 = dE1;
    return fabs(dY1 - dE1);
  }
  // On the major axis: the nearest point is off the axis while the point is near the centre.
  const double dNumer0 = dE0 * dY0, dDenom0 = dE0 * dE0 - dE1 * dE1;
  if (dNumer0 < dDenom0) {
    const double dXDE0 = dNumer0 / dDenom0;
    dX0 = dE0 * dXDE0;
    dX1 = dE1 * sqrt(1 - dXDE0 * dXDE0);
    return sqrt((dX0 - dY0) * (dX0 - dY0) + dX1 * dX1);
  }
  dX0 = dE0;
  dX1 = 0;
  return fabs(dY0 - dE0);
}

} // namespace

float mthDistancePointEllipse(const Vector2f &vPoint, const Vector2f &vSemiAxes,
                              Vector2f *pvClosest)
{
  // Work in the first quadrant with the longer axis first; mirror the answer back.
  const double dA = fabs((double)vSemiAxes.x), dB = fabs((double)vSemiAxes.y);
  const int bSwap = dB > dA;
  const double dE0 = bSwap ? dB : dA, dE1 = bSwap ? dA : dB;
  const double dY0 = fabs((double)(bSwap ? vPoint.y : vPoint.x));
  const double dY1 = fabs((double)(bSwap ? vPoint.x : vPoint.y));
  double dX0, dX1, dDistance;
  if (dE1 > 0) {
    dDistance = EllipseDistanceQuadrant(dE0, dE1, dY0, dY1, dX0, dX1);
  } else {
    // A segment [-e0, e0] on the major axis (the origin when e0 is 0 too).
    dX0 = dY0 < dE0 ? dY0 : dE0;
    dX1 = 0;
    dDistance = sqrt((dY0 - dX0) * (dY0 - dX0) + dY1 * dY1);
  }
  if (pvClosest) {
    const double dX = bSwap ? dX1 : dX0, dY = bSwap ? dX0 : dX1;
    pvClosest->x = (float)(vPoint.x < 0 ? -dX : dX);
    pvClosest->y = (float)(vPoint.y < 0 ? -dY : dY);
  }
  return (float)dDistance;
}

int mthTestBoxAgainstPlane(const Box3f &box, const Plane4f &pl)
{
  if (box.IsEmpty()) return -1;
  // The centre's distance against the box's reach along the normal.
  const Vector3f vHalf = box.Size() * 0.5f;
  const float fReach =
      fabsf(pl.vNormal.x) * vHalf.x + fabsf(pl.vNormal.y) * vHalf.y + fabsf(pl.vNormal.z) * vHalf.z;
  const float fDistance = mthDistance(pl, box.Center());
  if (fDistance > fReach) return 1;
  if (fDistance < -fReach) return -1;
  return 0;
}

int mthTestSphereAgainstPlane(const Vector3f &vCenter, float fRadius, const Plane4f &pl)
{
  if (fRadius < 0) return -1;
  // distance / |n| against the radius, squared to spare the root.
  const float fDistance = mthDistance(pl, vCenter);
  const float fReach2 = fRadius * fRadius * mthDot(pl.vNormal, pl.vNormal);
  if (fDistance * fDistance <= fReach2) return 0;
  return fDistance > 0 ? 1 : -1;
}

int mthOBBoxTouchesPoint(const OBox3f &ob, const Vector3f &vPoint)
{
  if (ob.IsEmpty()) return 0;
  return InHalfSize(ToBoxAxes(ob.mRotation, vPoint - ob.vCenter), ob.vHalfSize);
}

int mthOBBoxTouchesOBBox(const OBox3f &obA, const OBox3f &obB)
{
  if (obA.IsEmpty() || obB.IsEmpty()) return 0;
  // Gottschalk's separating-axis test in A's axes: R = A^T B, T = A^T (cB - cA). The absolute
  // values get a small addition so that nearly parallel edges, whose cross products are nearly
  // zero, cannot make a separating axis out of rounding.
  const Matrix33f &mA = obA.mRotation, &mB = obB.mRotation;
  float afR[3][3], afAbs[3][3];
  const float fEpsilon = 1e-6f;
  for (int i = 0; i < 3; i++) {
    for (int j = 0; j < 3; j++) {
      afR[i][j] = mA.m[0][i] * mB.m[0][j] + mA.m[1][i] * mB.m[1][j] + mA.m[2][i] * mB.m[2][j];
      afAbs[i][j] = fabsf(afR[i][j]) + fEpsilon;
    }
  }
  const Vector3f vT3 = ToBoxAxes(mA, obB.vCenter - obA.vCenter);
  const float afT[3] = {vT3.x, vT3.y, vT3.z};
  const float afA[3] = {obA.vHalfSize.x, obA.vHalfSize.y, obA.vHalfSize.z};
  const float afB[3] = {obB.vHalfSize.x, obB.vHalfSize.y, obB.vHalfSize.z};
  // A's axes, then B's.
  for (int i = 0; i < 3; i++) {
    const float fRB = afB[0] * afAbs[i][0] + afB[1] * afAbs[i][1] + afB[2] * afAbs[i][2];
    if (fabsf(afT[i]) > afA[i] + fRB) return 0;
  }
  for (int j = 0; j < 3; j++) {
    const float fRA = afA[0] * afAbs[0][j] + afA[1] * afAbs[1][j] + afA[2] * afAbs[2][j];
    const float fT = afT[0] * afR[0][j] + afT[1] * afR[1][j] + afT[2] * afR[2][j];
    if (fabsf(fT) > fRA + afB[j]) return 0;
  }
  // The nine cross products of an axis of A and an axis of B.
  for (int i = 0; i < 3; i++) {
    const int i1 = (i + 1) % 3, i2 = (i + 2) % 3;
    for (int j = 0; j < 3; j++) {
      const int j1 = (j + 1) % 3, j2 = (j + 2) % 3;
      const float fRA = afA[i1] * afAbs[i2][j] + afA[i2] * afAbs[i1][j];
      const float fRB = afB[j1] * afAbs[i][j2] + afB[j2] * afAbs[i][j1];
      const float fT = afT[i2] * afR[i1][j] - afT[i1] * afR[i2][j];
      if (fabsf(fT) > fRA + fRB) return 0;
    }
  }
  return 1;
}

int mthOBBoxContainsOBBox(const OBox3f &obA, const OBox3f &obB)
{
  if (obA.IsEmpty() || obB.IsEmpty()) return 0;
  // Along each axis of A, B's centre plus its reach stays within A's half extent.
  const Matrix33f &mA = obA.mRotation, &mB = obB.mRotation;
  const Vector3f vT = ToBoxAxes(mA, obB.vCenter - obA.vCenter);
  const float afT[3] = {vT.x, vT.y, vT.z};
  const float afA[3] = {obA.vHalfSize.x, obA.vHalfSize.y, obA.vHalfSize.z};
  const float afB[3] = {obB.vHalfSize.x, obB.vHalfSize.y, obB.vHalfSize.z};
  for (int i = 0; i < 3; i++) {
    float fReach = 0;
    for (int j = 0; j < 3; j++) {
      const float fR = mA.m[0][i] * mB.m[0][j] + mA.m[1][i] * mB.m[1][j] + mA.m[2][i] * mB.m[2][j];
      fReach += fabsf(fR) * afB[j];
    }
    const float fSlack = 1e-5f * (afA[0] + afA[1] + afA[2]);
    if (fabsf(afT[i]) + fReach > afA[i] + fSlack) return 0;
  }
  return 1;
}

} // namespace QuennelEngine
