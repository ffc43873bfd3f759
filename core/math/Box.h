#pragma once
// Axis-aligned boxes: a minimum corner followed by a maximum corner. A box is empty when any
// maximum coordinate is below its minimum; a box whose corners are equal is not empty, it holds
// that one point.
//
// Pixel boxes (Box2l) include their maximum: Box2l(x0, y0, x1, y1) covers the pixels x0..x1 and
// y0..y1, so it is x1 - x0 + 1 pixels wide, a box made from one point is one pixel, and
// Box2l(0, 0, w - 1, h - 1) is a whole w x h surface. That is what makes "right < left" the
// emptiness test; the backend and everything that clips or copies pixel boxes follows it.
// Float boxes include both boundaries too: Contains() is true on the faces.
//
// The one-scalar constructors set every field to the scalar; the default constructors leave the
// fields uninitialised; Empty() gives the box that union starts from.
#include "core/math/Vector.h"

#include <float.h>

namespace QuennelEngine {

namespace BoxDetail {
// Whether any component of `vA` is below the same component of `vB`.
inline bool AnyBelow(float fA, float fB)
{
  return fA < fB;
}
inline bool AnyBelow(const Vector2f &vA, const Vector2f &vB)
{
  return vA.x < vB.x || vA.y < vB.y;
}
inline bool AnyBelow(const Vector3f &vA, const Vector3f &vB)
{
  return vA.x < vB.x || vA.y < vB.y || vA.z < vB.z;
}
inline bool AnyBelow(const Vector2l &vA, const Vector2l &vB)
{
  return vA.x < vB.x || vA.y < vB.y;
}
inline float Min(float fA, float fB)
{
  return fA < fB ? fA : fB;
}
inline float Max(float fA, float fB)
{
  return fA > fB ? fA : fB;
}
template <class V> V Min(const V &vA, const V &vB)
{
  return mthMin(vA, vB);
}
template <class V> V Max(const V &vA, const V &vB)
{
  return mthMax(vA, vB);
}

// The operations every box kind shares, over its corner type P.
template <class B, class P> struct Operations {
  bool IsEmpty(void) const
  {
    const B &b = static_cast<const B &>(*this);
    return AnyBelow(b.Max(), b.Min());
  }
  // Whether the point lies in the box, boundaries included; never in an empty box.
  bool Contains(const P &p) const
  {
    const B &b = static_cast<const B &>(*this);
    return !AnyBelow(p, b.Min()) && !AnyBelow(b.Max(), p);
  }
  // The smallest box holding both; an empty box adds nothing.
  B &operator|=(const B &bOther)
  {
    B &b = static_cast<B &>(*this);
    if (bOther.IsEmpty()) return b;
    if (b.IsEmpty()) return b = bOther;
    b.Min() = BoxDetail::Min(b.Min(), bOther.Min());
    b.Max() = BoxDetail::Max(b.Max(), bOther.Max());
    return b;
  }
  // The smallest box holding the box and the point.
  B &operator|=(const P &p) { return *this |= B(p); }
  // The common part; empty when the boxes do not meet.
  B &operator&=(const B &bOther)
  {
    B &b = static_cast<B &>(*this);
    b.Min() = BoxDetail::Max(b.Min(), bOther.Min());
    b.Max() = BoxDetail::Min(b.Max(), bOther.Max());
    return b;
  }

protected:
  Operations() = default;
};
} // namespace BoxDetail

struct CORE_API Box1f : BoxDetail::Operations<Box1f, float> {
  MD_DECLARE_STRUCT(Box1f)
  float fMin, fMax;

  Box1f() = default;
  // From one value: the interval holding only that value.
  explicit Box1f(float f) : fMin(f), fMax(f) {}
  Box1f(float fMinimum, float fMaximum) : fMin(fMinimum), fMax(fMaximum) {}
  static Box1f Empty(void) { return Box1f(FLT_MAX, -FLT_MAX); }

  float &Min(void) { return fMin; }
  float &Max(void) { return fMax; }
  const float &Min(void) const { return fMin; }
  const float &Max(void) const { return fMax; }
  float Size(void) const { return fMax - fMin; }
};

struct CORE_API Box2f : BoxDetail::Operations<Box2f, Vector2f> {
  MD_DECLARE_STRUCT(Box2f)
  Vector2f vMin, vMax;

  Box2f() = default;
  explicit Box2f(float f) : vMin(f), vMax(f) {}
  Box2f(float fX0, float fY0, float fX1, float fY1) : vMin(fX0, fY0), vMax(fX1, fY1) {}
  // From one point: minimum and maximum are that point.
  explicit Box2f(const Vector2f &v) : vMin(v), vMax(v) {}
  Box2f(const Vector2f &vMinimum, const Vector2f &vMaximum) : vMin(vMinimum), vMax(vMaximum) {}
  static Box2f Empty(void) { return Box2f(FLT_MAX, FLT_MAX, -FLT_MAX, -FLT_MAX); }

  Vector2f &Min(void) { return vMin; }
  Vector2f &Max(void) { return vMax; }
  const Vector2f &Min(void) const { return vMin; }
  const Vector2f &Max(void) const { return vMax; }
  Vector2f Size(void) const { return vMax - vMin; }
  Vector2f Center(void) const { return (vMin + vMax) * 0.5f; }
};

// A pixel box: the maximum is included (see the top of this file).
struct CORE_API Box2l : BoxDetail::Operations<Box2l, Vector2l> {
  MD_DECLARE_STRUCT(Box2l)
  Vector2l vMin, vMax;

  Box2l() = default;
  explicit Box2l(long sl) : vMin(sl), vMax(sl) {}
  Box2l(long slX0, long slY0, long slX1, long slY1) : vMin(slX0, slY0), vMax(slX1, slY1) {}
  // From one point: the one pixel.
  explicit Box2l(const Vector2l &v) : vMin(v), vMax(v) {}
  Box2l(const Vector2l &vMinimum, const Vector2l &vMaximum) : vMin(vMinimum), vMax(vMaximum) {}
  // The box of no pixels.
  static Box2l Empty(void) { return Box2l(0, 0, -1, -1); }
  // The w x h pixels from (x, y): empty when a size is 0 or below.
  static Box2l FromSize(long slX, long slY, long slWidth, long slHeight)
  {
    return Box2l(slX, slY, slX + slWidth - 1, slY + slHeight - 1);
  }

  Vector2l &Min(void) { return vMin; }
  Vector2l &Max(void) { return vMax; }
  const Vector2l &Min(void) const { return vMin; }
  const Vector2l &Max(void) const { return vMax; }
  // Counts of pixels covered; 0 for an empty box.
  long Width(void) const { return IsEmpty() ? 0 : vMax.x - vMin.x + 1; }
  long Height(void) const { return IsEmpty() ? 0 : vMax.y - vMin.y + 1; }
};

struct CORE_API Box3f : BoxDetail::Operations<Box3f, Vector3f> {
  MD_DECLARE_STRUCT(Box3f)
  Vector3f vMin, vMax;

  Box3f() = default;
  explicit Box3f(float f) : vMin(f), vMax(f) {}
  Box3f(float fX0, float fY0, float fZ0, float fX1, float fY1, float fZ1)
      : vMin(fX0, fY0, fZ0), vMax(fX1, fY1, fZ1)
  {
  }
  explicit Box3f(const Vector3f &v) : vMin(v), vMax(v) {}
  Box3f(const Vector3f &vMinimum, const Vector3f &vMaximum) : vMin(vMinimum), vMax(vMaximum) {}
  static Box3f Empty(void)
  {
    return Box3f(FLT_MAX, FLT_MAX, FLT_MAX, -FLT_MAX, -FLT_MAX, -FLT_MAX);
  }

  Vector3f &Min(void) { return vMin; }
  Vector3f &Max(void) { return vMax; }
  const Vector3f &Min(void) const { return vMin; }
  const Vector3f &Max(void) const { return vMax; }
  Vector3f Size(void) const { return vMax - vMin; }
  Vector3f Center(void) const { return (vMin + vMax) * 0.5f; }
};

// Union and intersection as values.
#define QE_BOX_OPERATORS(B, P)                                                                     \
  inline B operator|(B bA, const B &bB)                                                            \
  {                                                                                                \
    return bA |= bB;                                                                               \
  }                                                                                                \
  inline B operator|(B b, const P &p)                                                              \
  {                                                                                                \
    return b |= p;                                                                                 \
  }                                                                                                \
  inline B operator&(B bA, const B &bB)                                                            \
  {                                                                                                \
    return bA &= bB;                                                                               \
  }
QE_BOX_OPERATORS(Box1f, float)
QE_BOX_OPERATORS(Box2f, Vector2f)
QE_BOX_OPERATORS(Box2l, Vector2l)
QE_BOX_OPERATORS(Box3f, Vector3f)
#undef QE_BOX_OPERATORS

// Exact comparison of both corners.
inline bool operator==(const Box1f &bA, const Box1f &bB)
{
  return bA.fMin == bB.fMin && bA.fMax == bB.fMax;
}
inline bool operator==(const Box2f &bA, const Box2f &bB)
{
  return bA.vMin == bB.vMin && bA.vMax == bB.vMax;
}
inline bool operator==(const Box2l &bA, const Box2l &bB)
{
  return bA.vMin == bB.vMin && bA.vMax == bB.vMax;
}
inline bool operator==(const Box3f &bA, const Box3f &bB)
{
  return bA.vMin == bB.vMin && bA.vMax == bB.vMax;
}

static_assert(sizeof(Box1f) == 8 && offsetof(Box1f, fMin) == 0 && offsetof(Box1f, fMax) == 4,
              "Box1f layout");
static_assert(sizeof(Box2f) == 16 && offsetof(Box2f, vMin) == 0 && offsetof(Box2f, vMax) == 8,
              "Box2f layout");
static_assert(sizeof(Box2l) == 16 && offsetof(Box2l, vMin) == 0 && offsetof(Box2l, vMax) == 8,
              "Box2l layout");
static_assert(sizeof(Box3f) == 24 && offsetof(Box3f, vMin) == 0 && offsetof(Box3f, vMax) == 12,
              "Box3f layout");
static_assert(std::is_trivially_copyable<Box1f>::value &&
                  std::is_trivially_copyable<Box2f>::value &&
                  std::is_trivially_copyable<Box2l>::value &&
                  std::is_trivially_copyable<Box3f>::value,
              "boxes are copied as bytes");

} // namespace QuennelEngine
