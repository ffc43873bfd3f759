// Intersections and distances against independent references: GLM where it has the operation
// (ray-plane, ray-triangle, ray-sphere), and elsewhere a numeric search in double over the
// distance to the shape (the set of points within r of a convex shape is convex, so along a ray
// the distance falls, then rises: its minimum and the first crossing of r are found by ternary
// search and bisection), closed forms (a ray aimed back along a surface point's normal from
// distance s hits at t = s), and thousands of random and edge inputs.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <glm/glm.hpp>
#include <glm/gtx/intersect.hpp>

#include <algorithm>
#include <math.h>
#include <random>

using namespace QuennelEngine;
using namespace QuennelEngine::Test;

namespace {

using glm::dvec3;

dvec3 D(const Vector3f &v)
{
  return dvec3(v.x, v.y, v.z);
}
glm::vec3 G(const Vector3f &v)
{
  return glm::vec3(v.x, v.y, v.z);
}

class CRandom {
public:
  explicit CRandom(unsigned uSeed) : r_mt(uSeed) {}
  float F(float fLow, float fHigh)
  {
    return std::uniform_real_distribution<float>(fLow, fHigh)(r_mt);
  }
  Vector3f V3(float fExtent)
  {
    return Vector3f(F(-fExtent, fExtent), F(-fExtent, fExtent), F(-fExtent, fExtent));
  }
  Vector3f Unit(void)
  {
    for (;;) {
      const Vector3f v = V3(1);
      const float f = mthLength(v);
      if (f > 0.1f && f <= 1) return v / f;
    }
  }
  Matrix33f Rotation(void)
  {
    Quaternion4f q(F(-1, 1), F(-1, 1), F(-1, 1), F(-1, 1));
    const float f = sqrtf(mthDot(q, q));
    return mthQuaternionToMatrix(f > 0.1f ? q / f : mthIdentityQ4f());
  }
  // From anywhere in the cube towards the middle of the scene, at a random speed.
  Ray3f Ray(float fExtent)
  {
    const Vector3f vFrom = V3(fExtent);
    return Ray3f(vFrom, mthNormalize(V3(2) - vFrom) * F(0.5f, 2.0f));
  }

private:
  std::mt19937 r_mt;
};

// ---- Distances to shapes, in double ----

dvec3 ClosestOnSegment(const dvec3 &p, const dvec3 &a, const dvec3 &b)
{
  const dvec3 ab = b - a;
  const double d2 = glm::dot(ab, ab);
  if (d2 == 0) return a;
  return a + ab * glm::clamp(glm::dot(p - a, ab) / d2, 0.0, 1.0);
}

// Ericson's closest point on a triangle, by the Voronoi regions of its features.
dvec3 ClosestOnTriangle(const dvec3 &p, const dvec3 &a, const dvec3 &b, const dvec3 &c)
{
  const dvec3 ab = b - a, ac = c - a, ap = p - a;
  const double d1 = glm::dot(ab, ap), d2 = glm::dot(ac, ap);
  if (d1 <= 0 && d2 <= 0) return a;
  const dvec3 bp = p - b;
  const double d3 = glm::dot(ab, bp), d4 = glm::dot(ac, bp);
  if (d3 >= 0 && d4 <= d3) return b;
  const double vc = d1 * d4 - d3 * d2;
  if (vc <= 0 && d1 >= 0 && d3 <= 0) return a + ab * (d1 / (d1 - d3));
  const dvec3 cp = p - c;
  const double d5 = glm::dot(ab, cp), d6 = glm::dot(ac, cp);
  if (d6 >= 0 && d5 <= d6) return c;
  const double vb = d5 * d2 - d1 * d6;
  if (vb <= 0 && d2 >= 0 && d6 <= 0) return a + ac * (d2 / (d2 - d6));
  const double va = d3 * d6 - d5 * d4;
  if (va <= 0 && (d4 - d3) >= 0 && (d5 - d6) >= 0) {
    return b + (c - b) * ((d4 - d3) / ((d4 - d3) + (d5 - d6)));
  }
  const double denom = 1 / (va + vb + vc);
  return a + ab * (vb * denom) + ac * (vc * denom);
}

// Distances to solids are signed (negative inside): the depth of a ray's way through a solid
// then tells clear hits from grazing ones. They stay convex along a line.
double DistanceToBox(const dvec3 &p, const dvec3 &vMin, const dvec3 &vMax)
{
  const dvec3 q = glm::abs(p - (vMin + vMax) * 0.5) - (vMax - vMin) * 0.5;
  return glm::length(glm::max(q, dvec3(0.0))) + std::min(std::max({q.x, q.y, q.z}), 0.0);
}

// Distance to the solid cylinder of radius r about z from -h to h.
double DistanceToLocalCylinder(const dvec3 &p, double r, double h)
{
  const double dRadial = sqrt(p.x * p.x + p.y * p.y) - r;
  const double dAxial = fabs(p.z) - h;
  return hypot(std::max(dRadial, 0.0), std::max(dAxial, 0.0)) +
         std::min(std::max(dRadial, dAxial), 0.0);
}

// Distance to a primitive's solid, in double through its local space.
double DistanceToPrimitive(const dvec3 &p, const CPrimitiveDesc &pd)
{
  const Matrix34f &m = pd.pd_mPlacement;
  const dvec3 t(m.m[0][3], m.m[1][3], m.m[2][3]);
  const dvec3 q = p - t;
  // R^T q.
  const dvec3 l(m.m[0][0] * q.x + m.m[1][0] * q.y + m.m[2][0] * q.z,
                m.m[0][1] * q.x + m.m[1][1] * q.y + m.m[2][1] * q.z,
                m.m[0][2] * q.x + m.m[1][2] * q.y + m.m[2][2] * q.z);
  const dvec3 h = D(pd.pd_vHalfSize);
  switch (pd.pd_iType) {
  case PT_BOX:
    return DistanceToBox(l, -h, h);
  case PT_SPHERE:
    return glm::length(l) - h.x;
  case PT_CYLINDER:
    return DistanceToLocalCylinder(l, h.x, h.z);
  default: {
    const double dHalf = std::max(h.z - h.x, 0.0);
    return glm::length(l - ClosestOnSegment(l, dvec3(0, 0, -dHalf), dvec3(0, 0, dHalf))) - h.x;
  }
  }
}

// Where the ray first comes within r of a convex shape, by search over the distance along it.
struct Contact {
  bool bHit;
  double dT;       // the first t with distance <= r
  double dMinimum; // the smallest distance along [0, tMax]
  double dAtStart; // the distance at t = 0
};

template <class F>
Contact FirstContact(F fnDistance, const Ray3f &ray, double dR, double dTMax = 200)
{
  const dvec3 o = D(ray.vOrigin), d = D(ray.vDirection);
  auto g = [&](double t) { return fnDistance(o + d * t); };
  double a = 0, b = dTMax;
  for (int i = 0; i < 200; i++) {
    const double m1 = a + (b - a) / 3, m2 = b - (b - a) / 3;
    if (g(m1) < g(m2)) {
      b = m2;
    } else {
      a = m1;
    }
  }
  Contact c;
  c.dT = 0;
  c.dMinimum = g((a + b) / 2);
  c.dAtStart = g(0);
  c.bHit = c.dMinimum <= dR || c.dAtStart <= dR;
  if (!c.bHit || c.dAtStart <= dR) return c;
  double lo = 0, hi = (a + b) / 2;
  for (int i = 0; i < 200; i++) {
    const double mid = (lo + hi) / 2;
    if (g(mid) <= dR) {
      hi = mid;
    } else {
      lo = mid;
    }
  }
  c.dT = hi;
  return c;
}

// Compares a hit test with the search: clear hits and clear misses must agree (those within
// `dMargin` of grazing are skipped), a hit at the same t. Returns whether the case was clear.
template <class F>
bool ExpectLikeSearch(F fnDistance, const Ray3f &ray, double dR, int bHit, float fT,
                      double dMargin = 1e-2)
{
  const Contact c = FirstContact(fnDistance, ray, dR);
  if (fabs(c.dMinimum - dR) < dMargin || fabs(c.dAtStart - dR) < dMargin) return false;
  EXPECT_EQ(bHit, (int)c.bHit) << "minimum distance " << c.dMinimum << " radius " << dR;
  if (bHit && c.bHit) {
    if (c.dAtStart <= dR) {
      EXPECT_EQ(fT, 0.0f);
    } else {
      // On the grown surface, at its entry.
      EXPECT_NEAR(fT, c.dT, 2e-3 * (1 + c.dT));
    }
  }
  return true;
}

} // namespace

TEST(Intersect, RayPlaneAgreesWithGLMAndRefusesParallelRays)
{
  CRandom r(1);
  int ctHits = 0;
  for (int i = 0; i < 4000; i++) {
    const Ray3f ray = r.Ray(10);
    const Vector3f vNormal = r.Unit() * r.F(0.5f, 2);
    const Vector3f vPoint = r.V3(5);
    const Plane4f pl(vNormal, vPoint);
    float fT = -1, fGlm = -1;
    const int bHit = mthIntersectRayPlane(ray, pl, fT);
    const bool bGlm =
        glm::intersectRayPlane(G(ray.vOrigin), G(ray.vDirection), G(vPoint), G(vNormal), fGlm);
    ASSERT_EQ(bHit, (int)bGlm) << i;
    if (bHit) {
      ctHits++;
      // A grazing ray's distance is ill-conditioned: the rounding of the cosine between ray and
      // normal grows with 1 / cosine, so the tolerance does too (both sides round differently,
      // and a different x87 precision setting moves them again).
      const double dCos = fabs(mthDot(vNormal, ray.vDirection)) /
                          ((double)mthLength(vNormal) * mthLength(ray.vDirection));
      const double dTolerance = 1e-4 * (1 + fGlm) * (dCos < 0.05 ? 0.05 / dCos : 1.0);
      EXPECT_NEAR(fT, fGlm, dTolerance) << "cosine " << dCos;
      EXPECT_NEAR(mthDistance(pl, mthPointOnRay(ray, fT)), 0, 1e-4f * (1 + fT));
    }
  }
  EXPECT_GT(ctHits, 1000);
  // Parallel (also in the plane), a zero direction, a zero normal: no hit, fT untouched.
  const Plane4f plFloor(Vector3f(0, 1, 0), 0.0f);
  float fT = 7;
  EXPECT_EQ(mthIntersectRayPlane(Ray3f(Vector3f(0, 1, 0), Vector3f(1, 0, 0)), plFloor, fT), 0);
  EXPECT_EQ(mthIntersectRayPlane(Ray3f(Vector3f(0, 0, 0), Vector3f(1, 0, 0)), plFloor, fT), 0);
  EXPECT_EQ(mthIntersectRayPlane(Ray3f(Vector3f(0, 1, 0), Vector3f(0.0f)), plFloor, fT), 0);
  EXPECT_EQ(mthIntersectRayPlane(Ray3f(Vector3f(0, 1, 0), Vector3f(0, -1, 0)), Plane4f(0.0f), fT),
            0);
  // Going away from it, from either side.
  EXPECT_EQ(mthIntersectRayPlane(Ray3f(Vector3f(0, 1, 0), Vector3f(0, 1, 0)), plFloor, fT), 0);
  EXPECT_EQ(mthIntersectRayPlane(Ray3f(Vector3f(0, -1, 0), Vector3f(0, -1, 0)), plFloor, fT), 0);
  EXPECT_EQ(fT, 7.0f);
  // From below, and from a point on it.
  EXPECT_EQ(mthIntersectRayPlane(Ray3f(Vector3f(3, -2, 1), Vector3f(0, 4, 0)), plFloor, fT), 1);
  EXPECT_EQ(fT, 0.5f);
  EXPECT_EQ(mthIntersectRayPlane(Ray3f(Vector3f(3, 0, 1), Vector3f(0, 1, 1)), plFloor, fT), 1);
  EXPECT_EQ(fT, 0.0f);
}

TEST(Intersect, RayTriangleAgreesWithGLMAndHitsSampledPoints)
{
  CRandom r(2);
  int ctHits = 0, ctCompared = 0;
  for (int i = 0; i < 4000; i++) {
    const Ray3f ray = r.Ray(5);
    const Vector3f v0 = r.V3(3), v1 = r.V3(3), v2 = r.V3(3);
    float fT = -1, fU = -1, fV = -1;
    const int bHit = mthIntersectRayTriangle(ray, v0, v1, v2, fT, &fU, &fV);
    glm::vec2 vBary;
    float fGlm;
    bool bGlm = glm::intersectRayTriangle(G(ray.vOrigin), G(ray.vDirection), G(v0), G(v1), G(v2),
                                          vBary, fGlm);
    bGlm = bGlm && fGlm >= 0; // GLM reports hits behind the origin too
    // Hits on an edge may go either way.
    const float fEdge = std::min({vBary.x, vBary.y, 1 - vBary.x - vBary.y});
    if (bGlm && fEdge < 1e-4f) continue;
    if (!bGlm && bHit && std::min({fU, fV, 1 - fU - fV}) < 1e-4f) continue;
    ctCompared++;
    ASSERT_EQ(bHit, (int)bGlm) << i;
    if (bHit) {
      ctHits++;
      EXPECT_NEAR(fT, fGlm, 1e-3f * (1 + fGlm));
      EXPECT_NEAR(fU, vBary.x, 1e-3f);
      EXPECT_NEAR(fV, vBary.y, 1e-3f);
    }
  }
  EXPECT_GT(ctHits, 300);
  EXPECT_GT(ctCompared, 3900);
  // A ray from anywhere through a sampled point of the triangle hits it there, at t = 1.
  for (int i = 0; i < 2000; i++) {
    const Vector3f v0 = r.V3(3), v1 = r.V3(3), v2 = r.V3(3);
    float fU0 = r.F(0.01f, 0.99f), fV0 = r.F(0.01f, 0.99f);
    if (fU0 + fV0 > 1) {
      fU0 = 1 - fU0;
      fV0 = 1 - fV0;
    }
    if (fU0 + fV0 > 0.99f) continue;
    const Vector3f vOn = v0 * (1 - fU0 - fV0) + v1 * fU0 + v2 * fV0;
    const Vector3f vFrom = r.V3(8);
    const Vector3f vNormal = mthNormalize(mthCross(v1 - v0, v2 - v0));
    // Skip rays that graze the plane, where float rounding decides.
    if (fabsf(mthDot(mthNormalize(vOn - vFrom), vNormal)) < 0.05f) continue;
    float fT, fU, fV;
    ASSERT_EQ(mthIntersectRayTriangle(Ray3f(vFrom, vOn - vFrom), v0, v1, v2, fT, &fU, &fV), 1) << i;
    EXPECT_NEAR(fT, 1.0f, 1e-3f);
    EXPECT_NEAR(fU, fU0, 1e-3f);
    EXPECT_NEAR(fV, fV0, 1e-3f);
  }
  // Corners and edges are hits; zero area, parallel rays and zero directions are not.
  const Vector3f a(0, 0, 0), b(1, 0, 0), c(0, 1, 0);
  float fT = 9;
  EXPECT_EQ(mthIntersectRayTriangle(Ray3f(Vector3f(0, 0, 1), Vector3f(0, 0, -1)), a, b, c, fT), 1);
  EXPECT_EQ(fT, 1.0f);
  EXPECT_EQ(
      mthIntersectRayTriangle(Ray3f(Vector3f(0.5f, 0.5f, -2), Vector3f(0, 0, 1)), a, b, c, fT), 1);
  EXPECT_EQ(fT, 2.0f);
  fT = 9;
  EXPECT_EQ(mthIntersectRayTriangle(Ray3f(Vector3f(0.2f, 0.2f, 1), Vector3f(0, 0, 1)), a, b, c, fT),
            0); // behind
  EXPECT_EQ(mthIntersectRayTriangle(Ray3f(Vector3f(-1, 0.2f, 0), Vector3f(1, 0, 0)), a, b, c, fT),
            0); // in its plane
  EXPECT_EQ(mthIntersectRayTriangle(Ray3f(Vector3f(0.2f, 0.2f, 1), Vector3f(0.0f)), a, b, c, fT),
            0);
  EXPECT_EQ(mthIntersectRayTriangle(Ray3f(Vector3f(0.5f, 0, 1), Vector3f(0, 0, -1)), a, b,
                                    Vector3f(2, 0, 0), fT),
            0); // collinear corners
  EXPECT_EQ(mthIntersectRayTriangle(Ray3f(Vector3f(0, 0, 1), Vector3f(0, 0, -1)), a, a, c, fT), 0);
  EXPECT_EQ(fT, 9.0f);
}

TEST(Intersect, ThickRayTriangleFindsTheFirstPointWithinTheRadius)
{
  CRandom r(3);
  int ctClear = 0, ctHits = 0;
  for (int i = 0; i < 3000; i++) {
    const Ray3f ray = r.Ray(5);
    const Vector3f v0 = r.V3(2), v1 = r.V3(2), v2 = r.V3(2);
    const float fRadius = i % 10 == 0 ? 0.0f : r.F(0.05f, 1.0f);
    float fT = -1;
    const int bHit = mthIntersectThickRayTriangle(ray, fRadius, v0, v1, v2, fT);
    auto fnDistance = [&](const dvec3 &p) {
      return glm::length(p - ClosestOnTriangle(p, D(v0), D(v1), D(v2)));
    };
    if (fRadius == 0) continue; // the thin ray, compared with GLM above
    if (ExpectLikeSearch(fnDistance, ray, fRadius, bHit, fT)) ctClear++;
    ctHits += bHit;
  }
  EXPECT_GT(ctClear, 2500);
  EXPECT_GT(ctHits, 500);
  // A zero-area triangle is hit as its edge; a negative radius never.
  float fT = 9;
  EXPECT_EQ(mthIntersectThickRayTriangle(Ray3f(Vector3f(0.5f, 0, 2), Vector3f(0, 0, -1)), 0.5f,
                                         Vector3f(0.0f), Vector3f(1, 0, 0), Vector3f(2, 0, 0), fT),
            1);
  EXPECT_NEAR(fT, 1.5f, 1e-5f);
  fT = 9;
  EXPECT_EQ(mthIntersectThickRayTriangle(Ray3f(Vector3f(0.2f, 0.2f, 2), Vector3f(0, 0, -1)), -1,
                                         Vector3f(0.0f), Vector3f(1, 0, 0), Vector3f(0, 1, 0), fT),
            0);
  // Starting within the radius of the face: t = 0.
  EXPECT_EQ(mthIntersectThickRayTriangle(Ray3f(Vector3f(0.2f, 0.2f, 0.3f), Vector3f(0, 0, 1)), 0.5f,
                                         Vector3f(0.0f), Vector3f(1, 0, 0), Vector3f(0, 1, 0), fT),
            1);
  EXPECT_EQ(fT, 0.0f);
}

TEST(Intersect, RayAgainstSolidsAgreesWithTheDistanceSearch)
{
  CRandom r(4);
  int ctClear = 0, ctHits = 0;
  for (int i = 0; i < 2000; i++) {
    const Ray3f ray = r.Ray(6);
    const Vector3f vA = r.V3(2), vB = r.V3(2);
    const float fRadius = r.F(0.1f, 1.5f);
    float fT = -1;
    int bHit;
    // Box.
    const Box3f box(mthMin(vA, vB), mthMax(vA, vB));
    bHit = mthIntersectRayBox(ray, box, fT);
    ctHits += bHit;
    ctClear +=
        ExpectLikeSearch([&](const dvec3 &p) { return DistanceToBox(p, D(box.vMin), D(box.vMax)); },
                         ray, 0, bHit, fT, 1e-3);
    // Sphere, also against GLM from outside.
    bHit = mthIntersectRaySphere(ray, vA, fRadius, fT);
    ctHits += bHit;
    ctClear += ExpectLikeSearch([&](const dvec3 &p) { return glm::length(p - D(vA)); }, ray,
                                fRadius, bHit, fT);
    float fGlm;
    const Vector3f vUnit = mthNormalize(ray.vDirection);
    if (bHit && mthLength(ray.vOrigin - vA) > fRadius * 1.01f &&
        glm::intersectRaySphere(G(ray.vOrigin), G(vUnit), G(vA), fRadius * fRadius, fGlm)) {
      EXPECT_NEAR(fT * mthLength(ray.vDirection), fGlm, 1e-3f * (1 + fGlm));
    }
    // Capsule.
    bHit = mthIntersectRayCapsule(ray, vA, vB, fRadius, fT);
    ctHits += bHit;
    ctClear += ExpectLikeSearch(
        [&](const dvec3 &p) { return glm::length(p - ClosestOnSegment(p, D(vA), D(vB))); }, ray,
        fRadius, bHit, fT);
    // Finite cylinder, through a local frame along its axis.
    bHit = mthIntersectRayCylinder(ray, vA, vB, fRadius, fT);
    ctHits += bHit;
    const dvec3 vAxis = D(vB) - D(vA);
    const double dHalf = glm::length(vAxis) / 2;
    ctClear += ExpectLikeSearch(
        [&](const dvec3 &p) {
          const dvec3 vRel = p - (D(vA) + D(vB)) * 0.5;
          const double dAlong = glm::dot(vRel, vAxis) / (2 * dHalf);
          const double dAcross = glm::length(vRel - vAxis * (dAlong / (2 * dHalf)));
          return DistanceToLocalCylinder(dvec3(dAcross, 0, dAlong), fRadius, dHalf);
        },
        ray, 0, bHit, fT, 1e-3);
    // Infinite cylinder: the distance to its axis line.
    bHit = mthIntersectRayInfiniteCylinder(ray, vA, vB - vA, fRadius, fT);
    ctHits += bHit;
    ctClear += ExpectLikeSearch(
        [&](const dvec3 &p) {
          const dvec3 vRel = p - D(vA);
          return glm::length(vRel - vAxis * (glm::dot(vRel, vAxis) / glm::dot(vAxis, vAxis)));
        },
        ray, fRadius, bHit, fT);
  }
  EXPECT_GT(ctClear, 9000);
  EXPECT_GT(ctHits, 200);
}

TEST(Intersect, RaysAimedBackAlongASurfaceNormalHitAtTheirDistance)
{
  CRandom r(5);
  for (int i = 0; i < 1000; i++) {
    const float fS = r.F(0.1f, 5);
    const Vector3f vA = r.V3(3), vB = r.V3(3);
    const float fRadius = r.F(0.2f, 2);
    float fT = -1;
    // Sphere: a surface point and its normal.
    const Vector3f vN = r.Unit();
    Vector3f vOn = vA + vN * fRadius;
    ASSERT_EQ(mthIntersectRaySphere(Ray3f(vOn + vN * fS, -vN), vA, fRadius, fT), 1);
    EXPECT_NEAR(fT, fS, 1e-4f * (1 + fS));
    // Capsule: a point along the segment, out across it.
    const Vector3f vAxis = mthNormalize(vB - vA);
    const Vector3f vAcross = mthNormalize(mthCross(vAxis, r.Unit()));
    vOn = vA + (vB - vA) * r.F(0.05f, 0.95f) + vAcross * fRadius;
    ASSERT_EQ(mthIntersectRayCapsule(Ray3f(vOn + vAcross * fS, -vAcross * 2), vA, vB, fRadius, fT),
              1);
    EXPECT_NEAR(fT, fS / 2, 1e-4f * (1 + fS));
    // The same point on the cylinders' sides.
    ASSERT_EQ(mthIntersectRayCylinder(Ray3f(vOn + vAcross * fS, -vAcross), vA, vB, fRadius, fT), 1);
    EXPECT_NEAR(fT, fS, 1e-4f * (1 + fS));
    ASSERT_EQ(mthIntersectRayInfiniteCylinder(Ray3f(vOn + vAcross * fS, -vAcross), vB, vA - vB,
                                              fRadius, fT),
              1);
    EXPECT_NEAR(fT, fS, 1e-4f * (1 + fS));
    // The cylinder's end: a point of the disc at vB, from beyond it along the axis.
    vOn = vB + vAcross * (fRadius * r.F(0, 0.95f));
    ASSERT_EQ(mthIntersectRayCylinder(Ray3f(vOn + vAxis * fS, -vAxis), vA, vB, fRadius, fT), 1);
    EXPECT_NEAR(fT, fS, 1e-4f * (1 + fS));
    // The box: a point of a face.
    const Box3f box(mthMin(vA, vB) - Vector3f(0.1f), mthMax(vA, vB) + Vector3f(0.1f));
    const int iAxis = i % 3;
    Vector3f vFace = box.vMin + Vector3f(r.F(0, 1) * box.Size().x, r.F(0, 1) * box.Size().y,
                                         r.F(0, 1) * box.Size().z);
    Vector3f vOut(0.0f);
    (&vOut.x)[iAxis] = 1;
    (&vFace.x)[iAxis] = (&box.vMax.x)[iAxis];
    ASSERT_EQ(mthIntersectRayBox(Ray3f(vFace + vOut * fS, -vOut), box, fT), 1);
    EXPECT_NEAR(fT, fS, 1e-4f * (1 + fS));
  }
}

TEST(Intersect, SolidsHaveDefinedAnswersForDegenerateInput)
{
  const Ray3f ray(Vector3f(0, 0, -5), Vector3f(0, 0, 1));
  const Ray3f rayStill(Vector3f(0, 0, -5), Vector3f(0.0f));
  float fT = 9;
  // Empty boxes, zero directions, negative radii, zero axes: no hit, fT untouched.
  EXPECT_EQ(mthIntersectRayBox(ray, Box3f::Empty(), fT), 0);
  EXPECT_EQ(mthIntersectRayBox(ray, Box3f(1, 1, 1, -1, -1, -1), fT), 0);
  EXPECT_EQ(mthIntersectRayBox(rayStill, Box3f(-10, -10, -10, 10, 10, 10), fT), 0);
  EXPECT_EQ(mthIntersectRaySphere(ray, Vector3f(0.0f), -1, fT), 0);
  EXPECT_EQ(mthIntersectRaySphere(rayStill, Vector3f(0, 0, -5), 1, fT), 0);
  EXPECT_EQ(mthIntersectRayCylinder(ray, Vector3f(0.0f), Vector3f(0.0f), 1, fT), 0);
  EXPECT_EQ(mthIntersectRayCylinder(ray, Vector3f(0, 0, 1), Vector3f(0, 0, 2), -1, fT), 0);
  EXPECT_EQ(mthIntersectRayInfiniteCylinder(ray, Vector3f(0.0f), Vector3f(0.0f), 1, fT), 0);
  EXPECT_EQ(mthIntersectRayCapsule(ray, Vector3f(0.0f), Vector3f(0, 1, 0), -1, fT), 0);
  EXPECT_EQ(mthIntersectRayCapsule(rayStill, Vector3f(0.0f), Vector3f(0, 1, 0), 1, fT), 0);
  // A ray outside an infinite cylinder and parallel to its axis never reaches it.
  EXPECT_EQ(mthIntersectRayInfiniteCylinder(ray, Vector3f(3, 0, 0), Vector3f(0, 0, 2), 1, fT), 0);
  EXPECT_EQ(fT, 9.0f);
  // A ray parallel to a box's faces, inside its slab or on its boundary, hits.
  EXPECT_EQ(mthIntersectRayBox(ray, Box3f(-1, -1, -1, 1, 1, 1), fT), 1);
  EXPECT_EQ(fT, 4.0f);
  EXPECT_EQ(mthIntersectRayBox(Ray3f(Vector3f(1, 1, -5), Vector3f(0, 0, 1)),
                               Box3f(-1, -1, -1, 1, 1, 1), fT),
            1);
  EXPECT_EQ(fT, 4.0f);
  EXPECT_EQ(mthIntersectRayBox(Ray3f(Vector3f(1.5f, 0, -5), Vector3f(0, 0, 1)),
                               Box3f(-1, -1, -1, 1, 1, 1), fT),
            0);
  // A box of one point, a sphere of radius 0, a capsule of one point (a sphere).
  EXPECT_EQ(mthIntersectRayBox(ray, Box3f(Vector3f(0, 0, 2)), fT), 1);
  EXPECT_EQ(fT, 7.0f);
  EXPECT_EQ(mthIntersectRaySphere(ray, Vector3f(0, 0, 1), 0, fT), 1);
  EXPECT_EQ(fT, 6.0f);
  EXPECT_EQ(mthIntersectRayCapsule(ray, Vector3f(0, 0, 1), Vector3f(0, 0, 1), 2, fT), 1);
  EXPECT_EQ(fT, 4.0f);
  // Starting inside any solid: t = 0.
  const Ray3f rayIn(Vector3f(0.1f, 0, 0), Vector3f(1, 2, 3));
  EXPECT_EQ(mthIntersectRayBox(rayIn, Box3f(-1, -1, -1, 1, 1, 1), fT), 1);
  EXPECT_EQ(fT, 0.0f);
  fT = 9;
  EXPECT_EQ(mthIntersectRaySphere(rayIn, Vector3f(0.0f), 1, fT), 1);
  EXPECT_EQ(fT, 0.0f);
  fT = 9;
  EXPECT_EQ(mthIntersectRayCylinder(rayIn, Vector3f(0, 0, -1), Vector3f(0, 0, 1), 1, fT), 1);
  EXPECT_EQ(fT, 0.0f);
  fT = 9;
  EXPECT_EQ(mthIntersectRayInfiniteCylinder(rayIn, Vector3f(0.0f), Vector3f(0, 0, 1), 1, fT), 1);
  EXPECT_EQ(fT, 0.0f);
  fT = 9;
  EXPECT_EQ(mthIntersectRayCapsule(rayIn, Vector3f(0, 0, -1), Vector3f(0, 0, 1), 1, fT), 1);
  EXPECT_EQ(fT, 0.0f);
}

namespace {

CPrimitiveDesc RandomPrimitive(CRandom &r, long iType)
{
  const Vector3f vHalf(r.F(0.2f, 2), r.F(0.2f, 2), r.F(0.2f, 2));
  return CPrimitiveDesc((PrimitiveType)iType, vHalf, Matrix34f(r.Rotation(), r.V3(3)));
}

} // namespace

TEST(Intersect, PrimitivesThinAndThickAgreeWithTheDistanceSearch)
{
  CRandom r(6);
  int ctClear = 0, ctHits = 0;
  for (int i = 0; i < 2400; i++) {
    const CPrimitiveDesc pd = RandomPrimitive(r, i % 4);
    const Ray3f ray = r.Ray(6);
    const float fRadius = i % 3 == 0 ? 0.0f : r.F(0.05f, 1);
    float fT = -1;
    const int bHit = fRadius == 0 ? mthIntersectRayPrimitive(ray, pd, fT)
                                  : mthIntersectThickRayPrimitive(ray, fRadius, pd, fT);
    ctHits += bHit;
    const bool bClear = ExpectLikeSearch([&](const dvec3 &p) { return DistanceToPrimitive(p, pd); },
                                         ray, fRadius, bHit, fT, 2e-3);
    ctClear += bClear;
    if (!bClear || !bHit || fT == 0) continue;
    // The normal at the hit points from the shape's nearest point towards the ray's point.
    const Vector3f vHit = mthPointOnRay(ray, fT);
    const Vector3f vN = mthPrimitiveHitNormal(pd, vHit);
    EXPECT_NEAR(mthLength(vN), 1.0f, 1e-4f);
    const double dStep = 1e-3;
    const dvec3 vGradient(DistanceToPrimitive(D(vHit) + dvec3(dStep, 0, 0), pd) -
                              DistanceToPrimitive(D(vHit) - dvec3(dStep, 0, 0), pd),
                          DistanceToPrimitive(D(vHit) + dvec3(0, dStep, 0), pd) -
                              DistanceToPrimitive(D(vHit) - dvec3(0, dStep, 0), pd),
                          DistanceToPrimitive(D(vHit) + dvec3(0, 0, dStep), pd) -
                              DistanceToPrimitive(D(vHit) - dvec3(0, 0, dStep), pd));
    // Skip the box's edges and corners on thin hits, where the normal is a choice.
    if (glm::length(vGradient) < 1e-3) continue;
    if (fRadius == 0 && pd.pd_iType == PT_BOX) continue;
    EXPECT_GT(glm::dot(glm::normalize(vGradient), D(vN)), 0.99) << i << " type " << pd.pd_iType;
  }
  EXPECT_GT(ctClear, 2200);
  EXPECT_GT(ctHits, 400);
}

TEST(Intersect, PrimitiveNormalsAndDegenerateDescriptions)
{
  // A box's faces, a cylinder's side and ends, a capsule's cap, in a turned and moved placement.
  const Matrix33f mR = mthAxisAngleToMatrix(Vector4f(0, 0, 1, 3.14159265f / 2));
  const Vector3f vAt(10, 0, 0);
  const CPrimitiveDesc pdBox(PT_BOX, Vector3f(1, 2, 3), Matrix34f(mR, vAt));
  auto ExpectNormal = [](const CPrimitiveDesc &pd, const Vector3f &v, const Vector3f &vExpected) {
    const Vector3f vN = mthPrimitiveHitNormal(pd, v);
    EXPECT_NEAR(vN.x, vExpected.x, 1e-5f);
    EXPECT_NEAR(vN.y, vExpected.y, 1e-5f);
    EXPECT_NEAR(vN.z, vExpected.z, 1e-5f);
  };
  // Local +x is world +y after the quarter turn.
  ExpectNormal(pdBox, vAt + Vector3f(0.3f, 1, 0.5f), Vector3f(0, 1, 0));
  ExpectNormal(pdBox, vAt + Vector3f(-2, 0.1f, 0.5f), Vector3f(-1, 0, 0));
  ExpectNormal(pdBox, vAt + Vector3f(0.3f, 0.1f, -3), Vector3f(0, 0, -1));
  const CPrimitiveDesc pdCylinder(PT_CYLINDER, Vector3f(1, 1, 2), mthIdentityM34f());
  ExpectNormal(pdCylinder, Vector3f(0, 1, 0.5f), Vector3f(0, 1, 0));
  ExpectNormal(pdCylinder, Vector3f(0.2f, 0.3f, 2), Vector3f(0, 0, 1));
  ExpectNormal(pdCylinder, Vector3f(0.0f), Vector3f(1, 0, 0)); // on the axis, half way
  const CPrimitiveDesc pdCapsule(PT_CAPSULE, Vector3f(1, 1, 3), mthIdentityM34f());
  ExpectNormal(pdCapsule, Vector3f(0, 0, 3), Vector3f(0, 0, 1));
  ExpectNormal(pdCapsule, Vector3f(0, -1, 1), Vector3f(0, -1, 0));
  const CPrimitiveDesc pdSphere(PT_SPHERE, Vector3f(2, 0, 0), mthIdentityM34f());
  ExpectNormal(pdSphere, Vector3f(0.0f), Vector3f(0, 0, 1));
  ExpectNormal(pdSphere, Vector3f(0, 0, -5), Vector3f(0, 0, -1));
  // A capsule no longer than its diameter is a sphere.
  float fT = 9;
  const Ray3f ray(Vector3f(0, 0, -10), Vector3f(0, 0, 2));
  EXPECT_EQ(mthIntersectRayPrimitive(
                ray, CPrimitiveDesc(PT_CAPSULE, Vector3f(2, 2, 1), mthIdentityM34f()), fT),
            1);
  EXPECT_FLOAT_EQ(fT, 4.0f);
  // Negative sizes are empty shapes; an unknown type is a guard breach; neither is hit.
  fT = 9;
  for (long iType = PT_BOX; iType <= PT_CAPSULE; iType++) {
    const CPrimitiveDesc pd((PrimitiveType)iType, Vector3f(-1, -1, -1), mthIdentityM34f());
    EXPECT_EQ(mthIntersectRayPrimitive(ray, pd, fT), 0) << iType;
    EXPECT_EQ(mthIntersectThickRayPrimitive(ray, 0.5f, pd, fT), 0) << iType;
  }
  EXPECT_EQ(mthIntersectThickRayPrimitive(ray, -0.5f, pdSphere, fT), 0);
  CGuardBreachCounter gbc;
  CPrimitiveDesc pdBad(PT_BOX, Vector3f(1, 1, 1), mthIdentityM34f());
  pdBad.pd_iType = 17;
  EXPECT_EQ(mthIntersectRayPrimitive(ray, pdBad, fT), 0);
  EXPECT_EQ(gbc.Count(), 1);
  EXPECT_EQ(fT, 9.0f);
  const Vector3f vN = mthPrimitiveHitNormal(pdBad, Vector3f(0.0f));
  EXPECT_EQ(mthLength(vN), 1.0f);
  EXPECT_EQ(gbc.Count(), 2);
}

TEST(Intersect, PointsAgainstTrianglesRaysEdgesAndEllipses)
{
  CRandom r(7);
  for (int i = 0; i < 3000; i++) {
    const Vector3f v0 = r.V3(3), v1 = r.V3(3), v2 = r.V3(3);
    const Vector3f vNormal = mthNormalize(mthCross(v1 - v0, v2 - v0));
    // Barycentric samples inside (lifted off the plane, which projection ignores) and outside.
    const float fU = r.F(-0.5f, 1.5f), fV = r.F(-0.5f, 1.5f);
    const float fW = 1 - fU - fV;
    const Vector3f vPoint = v0 * fW + v1 * fU + v2 * fV + vNormal * r.F(-2, 2);
    const float fMargin = std::min({fU, fV, fW});
    if (fabsf(fMargin) > 1e-3f) {
      EXPECT_EQ(mthIsPointInTriangle(vPoint, v0, v1, v2), fMargin > 0 ? 1 : 0) << i;
    }
    // The ray's nearest point and the edge's, against the search.
    const Ray3f ray = r.Ray(5);
    const Contact c =
        FirstContact([&](const dvec3 &p) { return glm::length(p - D(vPoint)); }, ray, -1, 1e4);
    EXPECT_NEAR(mthGetPointRayDistance(vPoint, ray), c.dMinimum, 1e-4 * (1 + c.dMinimum));
    const Vector3f vClosest = mthGetClosestPointOnEdge(vPoint, v0, v1);
    const dvec3 vExpected = ClosestOnSegment(D(vPoint), D(v0), D(v1));
    EXPECT_NEAR(glm::length(D(vClosest) - vExpected), 0, 1e-4);
  }
  EXPECT_EQ(
      mthIsPointInTriangle(Vector3f(0.0f), Vector3f(0.0f), Vector3f(1, 0, 0), Vector3f(2, 0, 0)),
      0);
  EXPECT_EQ(
      mthIsPointInTriangle(Vector3f(1, 0, 0), Vector3f(0.0f), Vector3f(1, 0, 0), Vector3f(0, 1, 0)),
      1); // a corner
  EXPECT_EQ(mthGetPointRayDistance(Vector3f(3, 4, 0), Ray3f(Vector3f(0.0f), Vector3f(0.0f))), 5);
  EXPECT_EQ(mthGetPointRayDistance(Vector3f(-3, 4, 0), Ray3f(Vector3f(0.0f), Vector3f(1, 0, 0))),
            5); // behind the origin
  EXPECT_EQ(mthGetClosestPointOnEdge(Vector3f(5, 5, 5), Vector3f(1, 2, 3), Vector3f(1, 2, 3)),
            Vector3f(1, 2, 3));

  // Ellipses against a dense sampling of the curve, refined around the best sample.
  for (int i = 0; i < 600; i++) {
    const Vector2f vAxes(r.F(0.1f, 4), i % 50 == 0 ? 0.0f : r.F(0.1f, 4));
    const Vector2f vPoint(i % 7 == 0 ? 0.0f : r.F(-6, 6), i % 11 == 0 ? 0.0f : r.F(-6, 6));
    Vector2f vClosest;
    const float fDistance = mthDistancePointEllipse(vPoint, vAxes, &vClosest);
    auto Distance = [&](double dAngle) {
      return hypot(vAxes.x * cos(dAngle) - vPoint.x, vAxes.y * sin(dAngle) - vPoint.y);
    };
    const int ctSamples = 4000;
    double dBest = 1e30, dBestAngle = 0;
    for (int k = 0; k < ctSamples; k++) {
      const double dAngle = 2 * 3.14159265358979 * k / ctSamples;
      if (Distance(dAngle) < dBest) {
        dBest = Distance(dAngle);
        dBestAngle = dAngle;
      }
    }
    double a = dBestAngle - 0.002, b = dBestAngle + 0.002;
    for (int k = 0; k < 100; k++) {
      const double m1 = a + (b - a) / 3, m2 = b - (b - a) / 3;
      if (Distance(m1) < Distance(m2)) {
        b = m2;
      } else {
        a = m1;
      }
    }
    dBest = std::min(dBest, Distance((a + b) / 2));
    EXPECT_NEAR(fDistance, dBest, 1e-4 * (1 + dBest)) << vPoint.x << "," << vPoint.y;
    // The nearest point is on the curve and at that distance.
    EXPECT_NEAR(hypot(vClosest.x - vPoint.x, vClosest.y - vPoint.y), fDistance, 1e-4);
    if (vAxes.y > 0) {
      EXPECT_NEAR(vClosest.x * vClosest.x / (vAxes.x * vAxes.x) +
                      vClosest.y * vClosest.y / (vAxes.y * vAxes.y),
                  1.0, 1e-3);
    }
  }
  // A circle; the centre of an ellipse (nearest to the end of the minor axis); both axes zero.
  EXPECT_NEAR(mthDistancePointEllipse(Vector2f(3, 4), Vector2f(2, 2)), 3, 1e-5f);
  Vector2f vClosest;
  EXPECT_NEAR(mthDistancePointEllipse(Vector2f(0, 0), Vector2f(3, 1), &vClosest), 1, 1e-6f);
  EXPECT_NEAR(fabsf(vClosest.y), 1, 1e-6f);
  EXPECT_NEAR(mthDistancePointEllipse(Vector2f(0, 0), Vector2f(-1, 3)), 1, 1e-6f);
  EXPECT_EQ(mthDistancePointEllipse(Vector2f(3, 4), Vector2f(0, 0), &vClosest), 5);
  EXPECT_EQ(vClosest, Vector2f(0, 0));
}

TEST(Intersect, BoxesAndSpheresAgainstPlanesAgreeWithTheirCorners)
{
  CRandom r(8);
  for (int i = 0; i < 4000; i++) {
    const Vector3f vA = r.V3(3), vB = r.V3(3);
    const Box3f box(mthMin(vA, vB), mthMax(vA, vB));
    const Plane4f pl(r.Unit() * r.F(0.5f, 2), r.V3(3));
    double dLow = 1e30, dHigh = -1e30;
    for (int k = 0; k < 8; k++) {
      const dvec3 vCorner((k & 1) ? box.vMax.x : box.vMin.x, (k & 2) ? box.vMax.y : box.vMin.y,
                          (k & 4) ? box.vMax.z : box.vMin.z);
      const double d = glm::dot(D(pl.vNormal), vCorner) + pl.fD;
      dLow = std::min(dLow, d);
      dHigh = std::max(dHigh, d);
    }
    if (std::min(fabs(dLow), fabs(dHigh)) > 1e-4) {
      EXPECT_EQ(mthTestBoxAgainstPlane(box, pl), dLow > 0 ? 1 : dHigh < 0 ? -1 : 0) << i;
    }
    const float fRadius = r.F(0, 2);
    const double dCenter = (glm::dot(D(pl.vNormal), D(vA)) + pl.fD) / glm::length(D(pl.vNormal));
    if (fabs(fabs(dCenter) - fRadius) > 1e-4) {
      EXPECT_EQ(mthTestSphereAgainstPlane(vA, fRadius, pl), dCenter > fRadius    ? 1
                                                            : dCenter < -fRadius ? -1
                                                                                 : 0);
    }
  }
  const Plane4f plFloor(Vector3f(0, 1, 0), 0.0f);
  // Touching counts as cutting; empty boxes and negative radii are behind; a zero normal gives
  // the sign of d.
  EXPECT_EQ(mthTestBoxAgainstPlane(Box3f(0, 0, 0, 1, 1, 1), plFloor), 0);
  EXPECT_EQ(mthTestBoxAgainstPlane(Box3f::Empty(), plFloor), -1);
  EXPECT_EQ(mthTestBoxAgainstPlane(Box3f(0, 1, 0, 1, 2, 1), Plane4f(0, 0, 0, 2)), 1);
  EXPECT_EQ(mthTestBoxAgainstPlane(Box3f(0, 1, 0, 1, 2, 1), Plane4f(0, 0, 0, 0)), 0);
  EXPECT_EQ(mthTestSphereAgainstPlane(Vector3f(0, 1, 0), 1, plFloor), 0);
  EXPECT_EQ(mthTestSphereAgainstPlane(Vector3f(0, 1, 0), 0.5f, plFloor), 1);
  EXPECT_EQ(mthTestSphereAgainstPlane(Vector3f(0, 1, 0), -1, plFloor), -1);
  EXPECT_EQ(mthTestSphereAgainstPlane(Vector3f(0, -1, 0), 0.5f, Plane4f(0, 4, 0, 0)), -1);
}

TEST(Intersect, OrientedBoxesAgreeWithSampledPointsAndAxisAlignedBoxes)
{
  CRandom r(9);
  int ctTouching = 0, ctSeparate = 0, ctContained = 0;
  for (int i = 0; i < 2000; i++) {
    const OBox3f obA(r.V3(2), r.Rotation(), Vector3f(r.F(0.1f, 2), r.F(0.1f, 2), r.F(0.1f, 2)));
    const OBox3f obB(r.V3(2), r.Rotation(), Vector3f(r.F(0.1f, 2), r.F(0.1f, 2), r.F(0.1f, 2)));
    // Points: in its own axes within the half extents.
    const Vector3f vLocal(r.F(-1.2f, 1.2f), r.F(-1.2f, 1.2f), r.F(-1.2f, 1.2f));
    const Vector3f vPoint = obA.vCenter + obA.mRotation * Vector3f(vLocal.x * obA.vHalfSize.x,
                                                                   vLocal.y * obA.vHalfSize.y,
                                                                   vLocal.z * obA.vHalfSize.z);
    const float fOut = std::max({fabsf(vLocal.x), fabsf(vLocal.y), fabsf(vLocal.z)});
    if (fabsf(fOut - 1) > 1e-3f) {
      EXPECT_EQ(mthOBBoxTouchesPoint(obA, vPoint), fOut < 1 ? 1 : 0);
    }
    // A point of A inside B proves they touch; the test is symmetric.
    const int bTouch = mthOBBoxTouchesOBBox(obA, obB);
    EXPECT_EQ(bTouch, mthOBBoxTouchesOBBox(obB, obA));
    ctTouching += bTouch;
    ctSeparate += !bTouch;
    for (int k = 0; k < 8 && !bTouch; k++)
      EXPECT_EQ(mthOBBoxTouchesPoint(obB, obA.GetCorner(k)), 0);
    for (int k = 0; k < 30 && !bTouch; k++) {
      const Vector3f vIn = obA.vCenter + obA.mRotation * Vector3f(r.F(-1, 1) * obA.vHalfSize.x,
                                                                  r.F(-1, 1) * obA.vHalfSize.y,
                                                                  r.F(-1, 1) * obA.vHalfSize.z);
      EXPECT_EQ(mthOBBoxTouchesPoint(obB, vIn), 0);
    }
    // Containment is all eight corners of B in A.
    OBox3f obSmall = obB;
    obSmall.vCenter = obA.vCenter + (obB.vCenter - obA.vCenter) * 0.1f;
    obSmall.vHalfSize = obB.vHalfSize * r.F(0.05f, 0.5f);
    int ctIn = 0;
    float fWorst = 0;
    for (int k = 0; k < 8; k++) {
      const Vector3f v = obSmall.GetCorner(k) - obA.vCenter;
      const Vector3f vIn(mthDot(obA.mRotation.GetColumn(0), v) / obA.vHalfSize.x,
                         mthDot(obA.mRotation.GetColumn(1), v) / obA.vHalfSize.y,
                         mthDot(obA.mRotation.GetColumn(2), v) / obA.vHalfSize.z);
      const float f = std::max({fabsf(vIn.x), fabsf(vIn.y), fabsf(vIn.z)});
      fWorst = std::max(fWorst, f);
      ctIn += f <= 1;
    }
    if (fabsf(fWorst - 1) > 1e-3f) {
      EXPECT_EQ(mthOBBoxContainsOBBox(obA, obSmall), ctIn == 8 ? 1 : 0);
      ctContained += ctIn == 8;
    }
    // Turned by a multiple of a quarter turn, oriented boxes are axis-aligned ones.
    const Vector3f vCa = r.V3(2), vCb = r.V3(2), vHa = r.V3(1) + Vector3f(1.1f),
                   vHb = r.V3(1) + Vector3f(1.1f);
    const Box3f bA(vCa - vHa, vCa + vHa), bB(vCb - vHb, vCb + vHb);
    const Box3f bCommon = bA & bB;
    const Vector3f vGap = mthMax(bA.vMin - bB.vMax, bB.vMin - bA.vMax);
    if (std::max({vGap.x, vGap.y, vGap.z}) > -1e-3f && std::max({vGap.x, vGap.y, vGap.z}) < 1e-3f) {
      continue;
    }
    const Matrix33f mQuarter = mthAxisAngleToMatrix(Vector4f(0, 0, 1, 3.14159265f / 2));
    EXPECT_EQ(mthOBBoxTouchesOBBox(OBox3f(vCa, mthIdentityM33f(), vHa),
                                   OBox3f(vCb, mQuarter, Vector3f(vHb.y, vHb.x, vHb.z))),
              bCommon.IsEmpty() ? 0 : 1);
  }
  EXPECT_GT(ctTouching, 300);
  EXPECT_GT(ctSeparate, 300);
  EXPECT_GT(ctContained, 300);
  // Edge cases: a box contains itself and touches its neighbour across a shared face; empty
  // boxes touch and contain nothing.
  const OBox3f ob(Vector3f(1, 2, 3), mthAxisAngleToMatrix(Vector4f(0.6f, 0.8f, 0, 0.7f)),
                  Vector3f(1, 2, 3));
  EXPECT_EQ(mthOBBoxContainsOBBox(ob, ob), 1);
  EXPECT_EQ(mthOBBoxTouchesOBBox(ob, ob), 1);
  EXPECT_EQ(mthOBBoxTouchesOBBox(OBox3f(Vector3f(0.0f), mthIdentityM33f(), Vector3f(1.0f)),
                                 OBox3f(Vector3f(2, 0, 0), mthIdentityM33f(), Vector3f(1.0f))),
            1);
  EXPECT_EQ(mthOBBoxTouchesOBBox(OBox3f(Vector3f(0.0f), mthIdentityM33f(), Vector3f(1.0f)),
                                 OBox3f(Vector3f(2.01f, 0, 0), mthIdentityM33f(), Vector3f(1.0f))),
            0);
  const OBox3f obEmpty(Vector3f(1, 2, 3), mthIdentityM33f(), Vector3f(1, -1, 1));
  EXPECT_EQ(mthOBBoxTouchesPoint(obEmpty, Vector3f(1, 2, 3)), 0);
  EXPECT_EQ(mthOBBoxTouchesOBBox(ob, obEmpty), 0);
  EXPECT_EQ(mthOBBoxContainsOBBox(ob, obEmpty), 0);
  EXPECT_EQ(mthOBBoxContainsOBBox(obEmpty, ob), 0);
}
