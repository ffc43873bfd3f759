#pragma once
// Oriented boxes: a centre, a rotation whose columns are the box's own axes in world space, and
// the half extents along those axes. A point p is in the box when every component of
// R^T (p - centre) lies within the matching half extent, boundaries included. A box with a
// negative half extent is empty. The intersection functions (core/math/Intersect.h) test them.
#include "core/math/Matrix.h"

namespace QuennelEngine {

struct CORE_API OBox3f {
  MD_DECLARE_STRUCT(OBox3f)
  Vector3f vCenter;
  Matrix33f mRotation; // orthonormal; column i is the box's axis i
  Vector3f vHalfSize;

  OBox3f() = default;
  OBox3f(const Vector3f &vC, const Matrix33f &mR, const Vector3f &vH)
      : vCenter(vC), mRotation(mR), vHalfSize(vH)
  {
  }
  // An empty box: negative half extents.
  bool IsEmpty(void) const { return vHalfSize.x < 0 || vHalfSize.y < 0 || vHalfSize.z < 0; }
  // Corner `iCorner` (0..7): bit 0 picks +x, bit 1 +y, bit 2 +z of the box's own axes.
  Vector3f GetCorner(int iCorner) const
  {
    const Vector3f vLocal((iCorner & 1) ? vHalfSize.x : -vHalfSize.x,
                          (iCorner & 2) ? vHalfSize.y : -vHalfSize.y,
                          (iCorner & 4) ? vHalfSize.z : -vHalfSize.z);
    return vCenter + mRotation * vLocal;
  }
};

static_assert(sizeof(OBox3f) == 60 && offsetof(OBox3f, vCenter) == 0 &&
                  offsetof(OBox3f, mRotation) == 12 && offsetof(OBox3f, vHalfSize) == 48,
              "OBox3f layout");
static_assert(std::is_trivially_copyable<OBox3f>::value, "oriented boxes are copied as bytes");

} // namespace QuennelEngine
