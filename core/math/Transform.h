#pragma once
// Transforms of boxes and planes, back-transforms into a placement's own space, reflections by a
// plane, and the two vectors that span a plane.
//
// A box transformed is the axis-aligned box around the transformed box (its eight corners), so
// it grows under rotation. A plane transformed holds the images of the plane's points and keeps
// its sides: a point on the positive side stays on the positive side. Reflections leave points
// of the plane where they are; a reflected rotation is a mirror (determinant -1).
#include "core/math/Box.h"
#include "core/math/Matrix.h"
#include "core/math/Plane.h"

namespace QuennelEngine {

// The axis-aligned box around `box` transformed by `m` (any linear part); an empty box stays
// empty (Box3f::Empty()).
CORE_API Box3f mthTransformBoxM34f(const Box3f &box, const Matrix34f &m);
// The plane through the images of the plane's points under `m`, with a unit normal; a singular
// linear part gives Plane4f(0), a zero normal gives the plane unchanged.
CORE_API Plane4f mthTransformPlaneM34f(const Plane4f &pl, const Matrix34f &m);
// The same under a 4 x 4 (projective) matrix, in homogeneous terms (pl . p = 0 becomes
// pl' . (m p) = 0), normalised when the new normal is not zero; a singular `m` gives Plane4f(0).
CORE_API Plane4f mthTransformPlaneM44f(const Plane4f &pl, const Matrix44f &m);

// The point `v` of world space in the space of the placement `m` (orthonormal rotation R and
// translation t): R^T (v - t).
CORE_API Vector3f mthBackTransformRTPosM34f(const Vector3f &v, const Matrix34f &m);
// The axis-aligned box around `box` taken into the space of the placement `m` as above; an empty
// box stays empty.
CORE_API Box3f mthBackTransformRTBoxM34f(const Box3f &box, const Matrix34f &m);

// The mirror image of the point `v` in the plane (any normal length); a zero normal leaves `v`.
CORE_API Vector3f mthReflectPositionVectorByPlane(const Vector3f &v, const Plane4f &pl);
// The mirror image of the direction `v` (d is ignored); a zero normal leaves `v`.
CORE_API Vector3f mthReflectDirectionVectorByPlane(const Vector3f &v, const Plane4f &pl);
// Every row of `m` mirrored as a direction: m H, H the reflection (I - 2 n n^T for a unit normal).
CORE_API Matrix33f mthReflectRotationMatrixByPlaneRows(const Matrix33f &m, const Plane4f &pl);
// Every column of `m` mirrored as a direction: H m, the mirrored placement's axes.
// For both, a zero normal leaves `m` unchanged.
CORE_API Matrix33f mthReflectRotationMatrixByPlaneCols(const Matrix33f &m, const Plane4f &pl);

// Two unit vectors `vU`, `vV` perpendicular to `vNormal` and to each other, with u x v the
// normalised normal; they change smoothly with the normal except where its z changes sign. A
// zero (or non-finite) normal is taken as +z: (1, 0, 0) and (0, 1, 0).
CORE_API void mthPlaneSpaceVectors(const Vector3f &vNormal, Vector3f &vU, Vector3f &vV);

} // namespace QuennelEngine
