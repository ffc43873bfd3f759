#pragma once
// Intersections and distances: rays against planes, triangles and solids, points against
// triangles, rays, edges and ellipses, boxes and spheres against planes, oriented boxes against
// points and each other.
//
// Rays are parametric: a hit is reported as the parameter t >= 0 of the point origin + t direction,
// so the direction need not have length 1 (with a unit direction, t is the distance). A ray that
// starts inside a solid hits it at t = 0. Functions that report a hit return 1 and write fT;
// without a hit they return 0 and leave fT alone. Degenerate input never produces NaN: a zero
// direction, a zero axis, a negative radius, an empty box and a triangle of zero area are never
// hit, and a ray parallel to a plane misses it.
//
// A "thick" ray is a sphere of the given radius swept along the ray: it hits what comes within
// that radius of the ray's points.
//
// Ray-triangle and ray-box are defined here, inline: callers test them per ray in tight loops.
#include "core/math/Box.h"
#include "core/math/OBox.h"
#include "core/math/Plane.h"
#include "core/math/Primitive.h"
#include "core/math/Ray.h"

#include <float.h>
#include <math.h>

namespace QuennelEngine {

namespace IntersectDetail {
// The slab test: the range of t >= 0 in the box [vMin, vMax]. Each slab's entry is taken at the
// face the direction meets first, chosen by the direction's sign rather than by sorting the two
// crossings, so an empty box (a maximum below its minimum) yields an entry past the exit and is
// missed without a test of its own. A zero component makes its inverse infinite and its slab
// either everything (-inf, inf) or nothing (inf, inf); an origin exactly on such a slab's face
// makes 0 * inf = NaN, which the comparisons never take, leaving that slab unconstrained. A zero
// direction leaves the exit infinite: no hit.
inline int RayBoxRange(const Vector3f &vO, const Vector3f &vD, const Vector3f &vMin,
                       const Vector3f &vMax, float &fNear, float &fFar)
{
  const float fIX = 1.0f / vD.x, fIY = 1.0f / vD.y, fIZ = 1.0f / vD.z;
  const float fNX = ((fIX >= 0 ? vMin.x : vMax.x) - vO.x) * fIX;
  const float fFX = ((fIX >= 0 ? vMax.x : vMin.x) - vO.x) * fIX;
  const float fNY = ((fIY >= 0 ? vMin.y : vMax.y) - vO.y) * fIY;
  const float fFY = ((fIY >= 0 ? vMax.y : vMin.y) - vO.y) * fIY;
  const float fNZ = ((fIZ >= 0 ? vMin.z : vMax.z) - vO.z) * fIZ;
  const float fFZ = ((fIZ >= 0 ? vMax.z : vMin.z) - vO.z) * fIZ;
  float fN = 0, fF = INFINITY;
  if (fNX > fN) fN = fNX;
  if (fNY > fN) fN = fNY;
  if (fNZ > fN) fN = fNZ;
  if (fFX < fF) fF = fFX;
  if (fFY < fF) fF = fFY;
  if (fFZ < fF) fF = fFZ;
  if (!(fN <= fF && fF < INFINITY)) return 0;
  fNear = fN;
  fFar = fF;
  return 1;
}
} // namespace IntersectDetail

// ---- Rays against surfaces and solids ----

// The ray against the plane, from either side; 0 when the ray is parallel to it (also when it
// lies in it) or points away, or the plane's normal is zero.
CORE_API int mthIntersectRayPlane(const Ray3f &ray, const Plane4f &pl, float &fT);
// The ray against the triangle, from either side. The optional barycentric coordinates (u, v)
// give the hit as (1 - u - v) v0 + u v1 + v v2; edges and corners count as hits.
inline int mthIntersectRayTriangle(const Ray3f &ray, const Vector3f &v0, const Vector3f &v1,
                                   const Vector3f &v2, float &fT, float *pfU = nullptr,
                                   float *pfV = nullptr)
{
  // Moeller and Trumbore: u, v and t by Cramer's rule, the bounds tested before the division.
  const Vector3f vE1 = v1 - v0;
  const Vector3f vE2 = v2 - v0;
  const Vector3f vP = mthCross(ray.vDirection, vE2);
  const float fDet = mthDot(vE1, vP);
  if (fDet == 0) return 0; // parallel, a zero direction, or no area
  // Most rays miss: test u before computing v, and v before t.
  const Vector3f vS = ray.vOrigin - v0;
  const float fU = mthDot(vS, vP);
  if (fDet > 0 ? (fU < 0 || fU > fDet) : (fU > 0 || fU < fDet)) return 0;
  const Vector3f vQ = mthCross(vS, vE1);
  const float fV = mthDot(ray.vDirection, vQ);
  if (fDet > 0 ? (fV < 0 || fU + fV > fDet) : (fV > 0 || fU + fV < fDet)) return 0;
  float fHit = mthDot(vE2, vQ);
  if (fDet > 0 ? fHit < 0 : fHit > 0) return 0;
  const float fInverse = 1.0f / fDet;
  fHit *= fInverse;
  if (!(fHit <= FLT_MAX)) return 0; // a determinant so small that t overflows
  fT = fHit;
  if (pfU) *pfU = fU * fInverse;
  if (pfV) *pfV = fV * fInverse;
  return 1;
}
// The thick ray against the triangle (its face from either side, its edges and corners); a
// radius of 0 is the thin ray, a negative one never hits. A triangle of zero area is hit as its
// edges are.
CORE_API int mthIntersectThickRayTriangle(const Ray3f &ray, float fRadius, const Vector3f &v0,
                                          const Vector3f &v1, const Vector3f &v2, float &fT);
// The ray against the solid box (slab test); faces count as hits, an empty box is never hit.
inline int mthIntersectRayBox(const Ray3f &ray, const Box3f &box, float &fT)
{
  // Empty boxes and zero directions are refused by the slab test itself.
  float fFar;
  return IntersectDetail::RayBoxRange(ray.vOrigin, ray.vDirection, box.vMin, box.vMax, fT, fFar);
}
// The ray against the solid sphere; a negative radius is never hit, a radius of 0 is a point.
CORE_API int mthIntersectRaySphere(const Ray3f &ray, const Vector3f &vCenter, float fRadius,
                                   float &fT);
// The ray against the solid capped cylinder whose axis runs from vA to vB; 0 when vA = vB.
CORE_API int mthIntersectRayCylinder(const Ray3f &ray, const Vector3f &vA, const Vector3f &vB,
                                     float fRadius, float &fT);
// The ray against the solid cylinder without ends around the line through vPoint along vAxis
// (any length); 0 for a zero axis, and for a ray outside it and parallel to the axis.
CORE_API int mthIntersectRayInfiniteCylinder(const Ray3f &ray, const Vector3f &vPoint,
                                             const Vector3f &vAxis, float fRadius, float &fT);
// The ray against the solid capsule: the points within fRadius of the segment vA vB (a sphere
// when vA = vB).
CORE_API int mthIntersectRayCapsule(const Ray3f &ray, const Vector3f &vA, const Vector3f &vB,
                                    float fRadius, float &fT);
// The ray against the primitive's solid; an unknown type is a guard breach and never hit, a
// negative half extent is an empty shape.
CORE_API int mthIntersectRayPrimitive(const Ray3f &ray, const CPrimitiveDesc &pd, float &fT);
// The thick ray against the primitive's solid (boxes with rounded edges, spheres and capsules
// grown by the radius, cylinders with rounded rims). A thick ray meets a cylinder within 1e-6 of
// the shape's size, found by search rather than in closed form.
CORE_API int mthIntersectThickRayPrimitive(const Ray3f &ray, float fRadius,
                                           const CPrimitiveDesc &pd, float &fT);
// The unit normal, in world space, of the primitive's surface at or near `vPoint`: outside the
// shape, the direction from the nearest surface point to `vPoint` (so it serves thick-ray hits
// too); on or inside it, the normal of the nearest face. The centre of a round shape gives the
// local +z axis (or +x for a cylinder's or capsule's axis).
CORE_API Vector3f mthPrimitiveHitNormal(const CPrimitiveDesc &pd, const Vector3f &vPoint);

// ---- Points ----

// Whether `vPoint` projected along the triangle's normal onto its plane lies in the triangle,
// edges included; 0 for a triangle of zero area.
CORE_API int mthIsPointInTriangle(const Vector3f &vPoint, const Vector3f &v0, const Vector3f &v1,
                                  const Vector3f &v2);
// The distance from the point to the nearest point of the ray (the origin for points behind
// it, and for a zero direction).
CORE_API float mthGetPointRayDistance(const Vector3f &vPoint, const Ray3f &ray);
// The point of the segment vA vB nearest to `vPoint` (vA when vA = vB).
CORE_API Vector3f mthGetClosestPointOnEdge(const Vector3f &vPoint, const Vector3f &vA,
                                           const Vector3f &vB);
// The distance from `vPoint` to the ellipse centred at the origin with the semi-axes
// |vSemiAxes.x| along x and |vSemiAxes.y| along y (the curve, not the area: points inside have a
// positive distance too), and optionally the nearest point of the curve. A zero semi-axis makes
// the ellipse a segment along the other axis, two make it the origin.
CORE_API float mthDistancePointEllipse(const Vector2f &vPoint, const Vector2f &vSemiAxes,
                                       Vector2f *pvClosest = nullptr);

// ---- Boxes and spheres against planes ----

// 1 when the whole box lies on the side the normal points to, -1 when it lies wholly on the other
// side, 0 when the plane cuts or touches it. An empty box gives -1 (nothing of it is in front).
// With a zero normal the answer is the sign of d.
CORE_API int mthTestBoxAgainstPlane(const Box3f &box, const Plane4f &pl);
// The same for a sphere (the normal need not have length 1); a negative radius gives -1.
CORE_API int mthTestSphereAgainstPlane(const Vector3f &vCenter, float fRadius, const Plane4f &pl);

// ---- Oriented boxes ----

// Whether the point lies in the oriented box, boundaries included; 0 for an empty box.
CORE_API int mthOBBoxTouchesPoint(const OBox3f &ob, const Vector3f &vPoint);
// Whether the two oriented boxes share a point (separating-axis test; touching counts); 0 when
// either is empty.
CORE_API int mthOBBoxTouchesOBBox(const OBox3f &obA, const OBox3f &obB);
// Whether every point of obB lies in obA, within a relative 1e-5 of obA's size so that a box
// contains itself; 0 when either is empty.
CORE_API int mthOBBoxContainsOBBox(const OBox3f &obA, const OBox3f &obB);

} // namespace QuennelEngine
