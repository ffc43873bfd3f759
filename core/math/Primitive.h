#pragma once
// Primitive descriptions: a box, sphere, cylinder or capsule in a local space of its own, placed
// in the world by a rigid transform. The shape is centred on the local origin and its half
// extents are those of its local bounding box:
//   PT_BOX       half extents x, y, z;
//   PT_SPHERE    radius x (y and z unused);
//   PT_CYLINDER  radius x, half height z, its axis along local z;
//   PT_CAPSULE   radius x, half height z caps included, so its inner segment runs along local z
//                from -(z - x) to z - x (a capsule no longer than its diameter is a sphere).
// The placement's linear part must be a rotation (orthonormal, no scale): the intersection
// functions move rays into local space with its cheap inverse, which keeps ray parameters.
#include "core/math/Matrix.h"

namespace QuennelEngine {

enum PrimitiveType : long {
  PT_BOX = 0,
  PT_SPHERE = 1,
  PT_CYLINDER = 2,
  PT_CAPSULE = 3,
};

struct CORE_API CPrimitiveDesc {
  MD_DECLARE_STRUCT(CPrimitiveDesc)
  long pd_iType;           // a PrimitiveType
  Vector3f pd_vHalfSize;   // see the top of this file
  Matrix34f pd_mPlacement; // local to world, a rotation and a translation

  CPrimitiveDesc() = default;
  CPrimitiveDesc(PrimitiveType eType, const Vector3f &vHalfSize, const Matrix34f &mPlacement)
      : pd_iType(eType), pd_vHalfSize(vHalfSize), pd_mPlacement(mPlacement)
  {
  }
};

static_assert(sizeof(CPrimitiveDesc) == 64 && offsetof(CPrimitiveDesc, pd_iType) == 0 &&
                  offsetof(CPrimitiveDesc, pd_vHalfSize) == 4 &&
                  offsetof(CPrimitiveDesc, pd_mPlacement) == 16,
              "CPrimitiveDesc layout");
static_assert(std::is_trivially_copyable<CPrimitiveDesc>::value,
              "primitive descriptions are copied as bytes");

} // namespace QuennelEngine
