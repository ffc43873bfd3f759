#pragma once
// Projections: the matrices that take view space to clip space, their clip distances and clip
// planes, and points and rays between 3D and the pixels of a viewport.
//
// View space is right-handed: x to the right, y up, the camera looking down -z. The projection
// takes it to Direct3D's clip space: x and y from -w to w (y up), depth z from 0 at the near plane
// to w at the far plane, and w = -z (the distance in front of the camera) for a perspective, 1
// for an orthographic one. A far distance may be INFINITY (the limit matrix: depth reaches 1 only
// at infinity), and a far distance below the near one reverses the depth (1 near, 0 far).
//
// 2D space is the viewport's pixels: x to the right and y down from the viewport's top-left
// corner, pixel (i, j) covering [i, i + 1) x [j, j + 1) so its centre is (i + 0.5, j + 0.5); z is
// the depth, 0 to 1. The backend shifts its projection by Direct3D's half pixel, so a point
// projected here lands on the pixel the device draws it on.
//
// Every function below that takes a projection also takes a view-projection (or any further
// product) unless it says otherwise: the clip planes then come out in world space. Degenerate
// sizes (a zero width, height or depth range, a near distance at or below 0 for a perspective, a
// field of view outside (0, pi)) give the identity matrix rather than infinities.
#include "core/math/Box.h"
#include "core/math/Matrix.h"
#include "core/math/Plane.h"
#include "core/math/Ray.h"

namespace QuennelEngine {

// A perspective through the rectangle left..right, bottom..top of the near plane.
CORE_API Matrix44f mthFrustum(float fLeft, float fRight, float fBottom, float fTop, float fNear,
                              float fFar);
// A centred perspective of the horizontal field of view `fFOVX`; `fAspect` is width / height.
CORE_API Matrix44f mthFrustumFOVX(float fFOVX, float fAspect, float fNear, float fFar);
// A centred perspective of the vertical field of view `fFOVY`; `fAspect` is width / height.
CORE_API Matrix44f mthFrustumFOVY(float fFOVY, float fAspect, float fNear, float fFar);
// An orthographic projection of the box left..right, bottom..top, -near..-far of view space
// (a near distance may be 0 or negative).
CORE_API Matrix44f mthOrtho(float fLeft, float fRight, float fBottom, float fTop, float fNear,
                            float fFar);
// A centred orthographic projection `fSizeX` wide and fSizeX / fAspect high.
CORE_API Matrix44f mthOrthoSizeX(float fSizeX, float fAspect, float fNear, float fFar);
// A centred orthographic projection `fSizeY` high and fSizeY * fAspect wide.
CORE_API Matrix44f mthOrthoSizeY(float fSizeY, float fAspect, float fNear, float fFar);

// The size seen across a field of view at a distance: 2 d tan(fov / 2); 0 for fov <= 0, FLT_MAX
// for fov >= pi.
CORE_API float mthFOVToSize(float fFOV, float fDistance);
// The field of view that spans a size at a distance: 2 atan(size / 2d), in [0, pi] even at
// distance 0.
CORE_API float mthSizeToFOV(float fSize, float fDistance);

// Moves the near and far planes of a projection made above (perspective or orthographic; not a
// view-projection) and keeps the rest; leaves `mProjection` alone for distances it cannot take.
CORE_API void mthSetClipDistances(Matrix44f &mProjection, float fNear, float fFar);
// The near distance of a projection made above; 0 for a matrix of neither kind.
CORE_API float mthGetNearClipDistance(const Matrix44f &mProjection);
// The far distance of a projection made above (INFINITY for an infinite one); 0 for a matrix of
// neither kind.
CORE_API float mthGetFarClipDistance(const Matrix44f &mProjection);

// The clip planes of a projection, in the space the matrix takes from, with unit normals that
// point into the visible volume (positive distance inside). The far plane of an infinite
// perspective has a zero normal and d > 0: everything is in front of it.
CORE_API Plane4f mthGetLeftPlane(const Matrix44f &mProjection);
CORE_API Plane4f mthGetRightPlane(const Matrix44f &mProjection);
CORE_API Plane4f mthGetTopPlane(const Matrix44f &mProjection);
CORE_API Plane4f mthGetBottomPlane(const Matrix44f &mProjection);
CORE_API Plane4f mthGetNearPlane(const Matrix44f &mProjection);
CORE_API Plane4f mthGetFarPlane(const Matrix44f &mProjection);

// The 2D point (pixel x, y and depth) of `v3D` under a (view-)projection in the viewport's pixel
// box (inclusive, as the draw port's); returns 0 and leaves `v2D` alone when the point is at or
// behind the camera's plane (w <= 0) or the viewport is empty.
CORE_API int mthProject3DPointTo2DSpace(Vector3f &v2D, const Vector3f &v3D,
                                        const Matrix44f &mProjection, const Box2l &boxViewport);
// The 3D point whose 2D point (pixel x, y and depth) is `v2D`; returns 0 and leaves `v3D` alone
// when the matrix is singular, the point lies at infinity or the viewport is empty.
CORE_API int mthProject2DPointTo3DSpace(Vector3f &v3D, const Vector3f &v2D,
                                        const Matrix44f &mProjection, const Box2l &boxViewport);
// The ray through the pixel point `v2D`: it starts on the clip plane nearer to the camera and
// runs (unit direction) away from it (for an orthographic projection, from depth 0 to depth 1);
// returns 0 and leaves `ray` alone when the matrix is singular or the viewport is empty.
CORE_API int mthRayThroughPoint(Ray3f &ray, const Vector2f &v2D, const Matrix44f &mProjection,
                                const Box2l &boxViewport);
// Pixels across one unit of length (a meter) lying across the view at `fDistance` in front of
// the camera, horizontally, for a projection (not a view-projection) in the viewport; 0 at or
// behind the camera's plane or for an empty viewport.
CORE_API float mthMeterToPixelFactor(const Matrix44f &mProjection, const Box2l &boxViewport,
                                     float fDistance);

} // namespace QuennelEngine
