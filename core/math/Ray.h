#pragma once
// Rays: an origin followed by a direction; the ray holds the points origin + t direction for
// t >= 0. The intersection and distance functions say whether they need a unit direction.
#include "core/math/Vector.h"

namespace QuennelEngine {

struct CORE_API Ray3f {
  MD_DECLARE_STRUCT(Ray3f)
  Vector3f vOrigin;
  Vector3f vDirection;

  Ray3f() = default;
  Ray3f(const Vector3f &vO, const Vector3f &vD) : vOrigin(vO), vDirection(vD) {}
};

// The point at parameter `fT` along the ray.
inline Vector3f mthPointOnRay(const Ray3f &ray, float fT)
{
  return ray.vOrigin + ray.vDirection * fT;
}

static_assert(sizeof(Ray3f) == 24 && offsetof(Ray3f, vOrigin) == 0 &&
                  offsetof(Ray3f, vDirection) == 12,
              "Ray3f layout");
static_assert(std::is_trivially_copyable<Ray3f>::value, "rays are copied as bytes");

} // namespace QuennelEngine
