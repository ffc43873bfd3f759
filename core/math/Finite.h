#pragma once
// Finiteness checks: whether every float of a value is an ordinary number (neither infinite nor
// NaN). They look at the exponent bits rather than compare, so they hold under any optimisation
// setting and on x87 registers alike, and they are cheap enough for asserts in inner loops.
#include "core/math/Box.h"
#include "core/math/Plane.h"
#include "core/math/Quaternion.h"

#include <string.h>

namespace QuennelEngine {

// 1 when `f` is neither infinite nor NaN.
inline int mthIsFiniteF(float f)
{
  unsigned int ul;
  memcpy(&ul, &f, sizeof(ul));
  return (ul & 0x7F800000u) != 0x7F800000u;
}

namespace FiniteDetail {
// Whether every float of a record made only of floats is finite.
template <class T> inline int AllFinite(const T &t)
{
  static_assert(sizeof(T) % sizeof(float) == 0, "a record of floats");
  const float *pf = reinterpret_cast<const float *>(&t);
  int bFinite = 1;
  // No early exit: the loop stays branch-free and the records are small.
  for (size_t i = 0; i < sizeof(T) / sizeof(float); i++) bFinite &= mthIsFiniteF(pf[i]);
  return bFinite;
}
} // namespace FiniteDetail

// 1 when every component is finite.
inline int mthIsFiniteV2f(const Vector2f &v)
{
  return FiniteDetail::AllFinite(v);
}
// 1 when every component is finite.
inline int mthIsFiniteV3f(const Vector3f &v)
{
  return FiniteDetail::AllFinite(v);
}
// 1 when every component is finite.
inline int mthIsFiniteV4f(const Vector4f &v)
{
  return FiniteDetail::AllFinite(v);
}
// 1 when both bounds are finite (an empty interval made by Box1f::Empty() is finite).
inline int mthIsFiniteB1f(const Box1f &b)
{
  return mthIsFiniteF(b.fMin) & mthIsFiniteF(b.fMax);
}
// 1 when both corners are finite.
inline int mthIsFiniteB2f(const Box2f &b)
{
  return mthIsFiniteV2f(b.vMin) & mthIsFiniteV2f(b.vMax);
}
// 1 when both corners are finite.
inline int mthIsFiniteB3f(const Box3f &b)
{
  return mthIsFiniteV3f(b.vMin) & mthIsFiniteV3f(b.vMax);
}
// 1 when the normal and d are finite.
inline int mthIsFiniteP4f(const Plane4f &pl)
{
  return FiniteDetail::AllFinite(pl);
}
// 1 when all four components are finite.
inline int mthIsFiniteQ4f(const Quaternion4f &q)
{
  return FiniteDetail::AllFinite(q);
}
// 1 when the rotation and the translation are finite.
inline int mthIsFiniteQV(const QuatVect &qv)
{
  return mthIsFiniteQ4f(qv.qRotation) & mthIsFiniteV3f(qv.vTranslation);
}
// 1 when every element is finite.
inline int mthIsFiniteM33f(const Matrix33f &m)
{
  return FiniteDetail::AllFinite(m);
}
// 1 when every element is finite.
inline int mthIsFiniteM34f(const Matrix34f &m)
{
  return FiniteDetail::AllFinite(m);
}
// 1 when every element is finite.
inline int mthIsFiniteM44f(const Matrix44f &m)
{
  return FiniteDetail::AllFinite(m);
}

} // namespace QuennelEngine
