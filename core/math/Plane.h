#pragma once
// Planes: a normal (x, y, z) followed by d; the points p of the plane satisfy normal . p + d = 0,
// so with a unit normal, mthDistance(plane, p) is the signed distance of p, positive on the side
// the normal points to.
#include "core/math/Vector.h"

namespace QuennelEngine {

struct CORE_API Plane4f {
  MD_DECLARE_STRUCT(Plane4f)
  Vector3f vNormal;
  float fD;

  Plane4f() = default;
  explicit Plane4f(float f) : vNormal(f), fD(f) {}
  // In field order: the normal (a, b, c), then d.
  Plane4f(float fA, float fB, float fC, float fDistance) : vNormal(fA, fB, fC), fD(fDistance) {}
  Plane4f(const Vector3f &vN, float fDistance) : vNormal(vN), fD(fDistance) {}
  // The plane with normal `vN` through `vPoint`: d = -(normal . point).
  Plane4f(const Vector3f &vN, const Vector3f &vPoint) : vNormal(vN), fD(-mthDot(vN, vPoint)) {}
};

// normal . p + d: zero on the plane; the signed distance when the normal has length 1.
inline float mthDistance(const Plane4f &pl, const Vector3f &v)
{
  return mthDot(pl.vNormal, v) + pl.fD;
}

// The same plane with a unit normal (both the normal and d scaled); a zero normal is left alone.
inline Plane4f mthNormalize(const Plane4f &pl)
{
  const float fLength = mthLength(pl.vNormal);
  return fLength > 0.0f ? Plane4f(pl.vNormal / fLength, pl.fD / fLength) : pl;
}

inline bool operator==(const Plane4f &plA, const Plane4f &plB)
{
  return plA.vNormal == plB.vNormal && plA.fD == plB.fD;
}
inline bool operator!=(const Plane4f &plA, const Plane4f &plB)
{
  return !(plA == plB);
}

static_assert(sizeof(Plane4f) == 16 && offsetof(Plane4f, vNormal) == 0 &&
                  offsetof(Plane4f, fD) == 12,
              "Plane4f layout");
static_assert(std::is_trivially_copyable<Plane4f>::value, "planes are copied as bytes");

} // namespace QuennelEngine
