// The descriptors of the math value types, so they can be members of saved structures. Their
// members are flat runs of floats or 32-bit integers, so every one of them is plain: arrays of
// them travel through metadata files as raw blocks.
#include "core/math/Box.h"
#include "core/math/OBox.h"
#include "core/math/Plane.h"
#include "core/math/Primitive.h"
#include "core/math/Quaternion.h"
#include "core/math/Ray.h"

namespace QuennelEngine {

namespace {

// Metadata files carry one-dimensional arrays only, so a matrix is described as the run of floats
// it is in memory, row by row ("FLOAT[12]" for a Matrix34f).
CTypeID MatrixElements(long ctFloats)
{
  return CTypeID(mdObtainCompoundType(DTT_ARRAY, CTypeID("FLOAT"), 1, &ctFloats,
                                      ctFloats * (long)sizeof(float)));
}

} // namespace

MD_CLASS_BEGIN(Vector2f, void, 1)
MD_MEMBER(x, 0, "X")
MD_MEMBER(y, 0, "Y")
MD_CLASS_END()

MD_CLASS_BEGIN(Vector3f, void, 1)
MD_MEMBER(x, 0, "X")
MD_MEMBER(y, 0, "Y")
MD_MEMBER(z, 0, "Z")
MD_CLASS_END()

MD_CLASS_BEGIN(Vector4f, void, 1)
MD_MEMBER(x, 0, "X")
MD_MEMBER(y, 0, "Y")
MD_MEMBER(z, 0, "Z")
MD_MEMBER(w, 0, "W")
MD_CLASS_END()

MD_CLASS_BEGIN(Vector2l, void, 1)
MD_MEMBER(x, 0, "X")
MD_MEMBER(y, 0, "Y")
MD_CLASS_END()

MD_CLASS_BEGIN(Matrix33f, void, 1)
md_decl.AddMember(MatrixElements(9), "m", offsetof(Matrix33f, m), 0, "Elements", nullptr, nullptr);
MD_CLASS_END()

MD_CLASS_BEGIN(Matrix34f, void, 1)
md_decl.AddMember(MatrixElements(12), "m", offsetof(Matrix34f, m), 0, "Elements", nullptr, nullptr);
MD_CLASS_END()

MD_CLASS_BEGIN(Matrix44f, void, 1)
md_decl.AddMember(MatrixElements(16), "m", offsetof(Matrix44f, m), 0, "Elements", nullptr, nullptr);
MD_CLASS_END()

MD_CLASS_BEGIN(Box1f, void, 1)
MD_MEMBER(fMin, 0, "Minimum")
MD_MEMBER(fMax, 0, "Maximum")
MD_CLASS_END()

MD_CLASS_BEGIN(Box2f, void, 1)
MD_MEMBER(vMin, 0, "Minimum")
MD_MEMBER(vMax, 0, "Maximum")
MD_CLASS_END()

MD_CLASS_BEGIN(Box2l, void, 1)
MD_MEMBER(vMin, 0, "Minimum")
MD_MEMBER(vMax, 0, "Maximum")
MD_CLASS_END()

MD_CLASS_BEGIN(Box3f, void, 1)
MD_MEMBER(vMin, 0, "Minimum")
MD_MEMBER(vMax, 0, "Maximum")
MD_CLASS_END()

MD_CLASS_BEGIN(Plane4f, void, 1)
MD_MEMBER(vNormal, 0, "Normal")
MD_MEMBER(fD, 0, "Distance")
MD_CLASS_END()

MD_CLASS_BEGIN(Quaternion4f, void, 1)
MD_MEMBER(x, 0, "X")
MD_MEMBER(y, 0, "Y")
MD_MEMBER(z, 0, "Z")
MD_MEMBER(w, 0, "W")
MD_CLASS_END()

MD_CLASS_BEGIN(QuatVect, void, 1)
MD_MEMBER(qRotation, 0, "Rotation")
MD_MEMBER(vTranslation, 0, "Translation")
MD_CLASS_END()

MD_CLASS_BEGIN(Ray3f, void, 1)
MD_MEMBER(vOrigin, 0, "Origin")
MD_MEMBER(vDirection, 0, "Direction")
MD_CLASS_END()

MD_CLASS_BEGIN(OBox3f, void, 1)
MD_MEMBER(vCenter, 0, "Center")
MD_MEMBER(mRotation, 0, "Rotation")
MD_MEMBER(vHalfSize, 0, "HalfSize")
MD_CLASS_END()

MD_CLASS_BEGIN(CPrimitiveDesc, void, 1)
MD_MEMBER(pd_iType, 0, "Type")
MD_MEMBER(pd_vHalfSize, 0, "HalfSize")
MD_MEMBER(pd_mPlacement, 0, "Placement")
MD_CLASS_END()

} // namespace QuennelEngine
