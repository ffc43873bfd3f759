// Ray-triangle and ray-box hit tests: ours against GLM's glm::intersectRayTriangle and a standard
// slab test written with GLM's types, on the same random rays and shapes, in the same process
// with the same compiler flags. The hits of each side are counted first, to show that both
// measure the same work.
#include "BenchSupport.h"
#include "core/Core.h"

#include <glm/glm.hpp>
#include <glm/gtx/intersect.hpp>

#include <random>
#include <stdio.h>
#include <vector>

using namespace QuennelEngine;
using namespace QuennelEngine::Bench;

namespace {

const int ctCases = 1024;

struct Case {
  Ray3f ray;
  Vector3f av[3]; // the triangle
  Box3f box;
  glm::vec3 vgOrigin, vgDirection, avg[3], vgMin, vgMax;
};

glm::vec3 G(const Vector3f &v)
{
  return glm::vec3(v.x, v.y, v.z);
}

// The usual slab test: the entry and exit of each slab by the inverse direction, the largest
// entry against the smallest exit.
bool SlabTestGlm(const glm::vec3 &vOrigin, const glm::vec3 &vDirection, const glm::vec3 &vMin,
                 const glm::vec3 &vMax, float &fT)
{
  const glm::vec3 vInverse = 1.0f / vDirection;
  const glm::vec3 vT0 = (vMin - vOrigin) * vInverse;
  const glm::vec3 vT1 = (vMax - vOrigin) * vInverse;
  const glm::vec3 vNear = glm::min(vT0, vT1), vFar = glm::max(vT0, vT1);
  const float fNear = glm::max(glm::max(vNear.x, vNear.y), glm::max(vNear.z, 0.0f));
  const float fFar = glm::min(glm::min(vFar.x, vFar.y), vFar.z);
  if (fNear > fFar) return false;
  fT = fNear;
  return true;
}

// Interleaved rounds of both sides, reported in nanoseconds per ray (each call runs every case).
// More rounds than the default: the two sides are close, and the machines that run this are
// often shared.
template <class A, class B>
double ComparePerRay(const char *strWhat, long ctIterations, A fnOurs, const char *strReference,
                     B fnReference)
{
  fnOurs();
  fnReference();
  const Comparison c = Interleave(
      31, [&] { return TimeRound(ctIterations, fnOurs) / ctCases; },
      [&] { return TimeRound(ctIterations, fnReference) / ctCases; });
  Report(strWhat, c, strReference, "ns/ray");
  return c.sRatio.dMedian;
}

} // namespace

int main()
{
  std::mt19937 mt(7);
  std::uniform_real_distribution<float> dist(-1, 1);
  auto V3 = [&](float f) { return Vector3f(dist(mt) * f, dist(mt) * f, dist(mt) * f); };
  std::vector<Case> aCases(ctCases);
  for (Case &c : aCases) {
    // Rays from around the scene towards its middle; shapes near the middle.
    const Vector3f vFrom = V3(10);
    c.ray = Ray3f(vFrom, V3(1.5f) - vFrom);
    const Vector3f vCenter = V3(1);
    for (Vector3f &v : c.av) v = vCenter + V3(2);
    const Vector3f vA = vCenter + V3(1), vB = vCenter + V3(1);
    c.box = Box3f(mthMin(vA, vB), mthMax(vA, vB));
    c.vgOrigin = G(c.ray.vOrigin);
    c.vgDirection = G(c.ray.vDirection);
    for (int i = 0; i < 3; i++) c.avg[i] = G(c.av[i]);
    c.vgMin = G(c.box.vMin);
    c.vgMax = G(c.box.vMax);
  }
  // Both sides must agree on what they measure.
  int ctHitsOurs = 0, ctHitsGlm = 0, ctBoxOurs = 0, ctBoxGlm = 0;
  for (const Case &c : aCases) {
    float fT;
    glm::vec2 vBary;
    ctHitsOurs += mthIntersectRayTriangle(c.ray, c.av[0], c.av[1], c.av[2], fT);
    ctHitsGlm += glm::intersectRayTriangle(c.vgOrigin, c.vgDirection, c.avg[0], c.avg[1], c.avg[2],
                                           vBary, fT) &&
                 fT >= 0;
    ctBoxOurs += mthIntersectRayBox(c.ray, c.box, fT);
    ctBoxGlm += SlabTestGlm(c.vgOrigin, c.vgDirection, c.vgMin, c.vgMax, fT);
  }
  printf("hits of %d: triangles %d (GLM %d), boxes %d (slab %d)\n", ctCases, ctHitsOurs, ctHitsGlm,
         ctBoxOurs, ctBoxGlm);

  // Each round runs every case ctIterations times; times are per ray.
  const long ctIterations = 200;
  float fSum = 0;
  int ctSum = 0;
  double dRatio = ComparePerRay(
      "ray-triangle", ctIterations,
      [&] {
        for (const Case &c : aCases) {
          float fT = 0;
          ctSum += mthIntersectRayTriangle(c.ray, c.av[0], c.av[1], c.av[2], fT);
          fSum += fT;
        }
        Keep(fSum);
      },
      "glm::intersectRay..",
      [&] {
        for (const Case &c : aCases) {
          float fT = 0;
          glm::vec2 vBary;
          ctSum += glm::intersectRayTriangle(c.vgOrigin, c.vgDirection, c.avg[0], c.avg[1],
                                             c.avg[2], vBary, fT);
          fSum += fT;
        }
        Keep(fSum);
      });
  double dBoxRatio = ComparePerRay(
      "ray-box", ctIterations,
      [&] {
        for (const Case &c : aCases) {
          float fT = 0;
          ctSum += mthIntersectRayBox(c.ray, c.box, fT);
          fSum += fT;
        }
        Keep(fSum);
      },
      "GLM slab test",
      [&] {
        for (const Case &c : aCases) {
          float fT = 0;
          ctSum += SlabTestGlm(c.vgOrigin, c.vgDirection, c.vgMin, c.vgMax, fT);
          fSum += fT;
        }
        Keep(fSum);
      });
  Keep(ctSum);
  printf("(ratios above 1 mean ours is faster)\n");
  printf("ratios: ray-triangle %.2f, ray-box %.2f\n", dRatio, dBoxRatio);
  return 0;
}
