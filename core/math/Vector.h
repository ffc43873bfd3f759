#pragma once
// Vectors: plain records of floats (Vector2f, Vector3f, Vector4f) or 32-bit integers (Vector2l),
// laid out as their fields x, y, z, w in order, without gaps. They are reflected structures, so
// they can be members of saved classes; the default constructors leave the fields uninitialised.
#include "core/meta/MetaClass.h"

#include <math.h>
#include <stddef.h>
#include <type_traits>

namespace QuennelEngine {

struct CORE_API Vector2f {
  MD_DECLARE_STRUCT(Vector2f)
  float x, y;

  Vector2f() = default;
  // Every field takes `f`.
  explicit Vector2f(float f) : x(f), y(f) {}
  Vector2f(float fX, float fY) : x(fX), y(fY) {}

  Vector2f &operator+=(const Vector2f &v)
  {
    x += v.x;
    y += v.y;
    return *this;
  }
  Vector2f &operator-=(const Vector2f &v)
  {
    x -= v.x;
    y -= v.y;
    return *this;
  }
  Vector2f &operator*=(float f)
  {
    x *= f;
    y *= f;
    return *this;
  }
  Vector2f &operator/=(float f) { return *this *= 1.0f / f; }
};

struct CORE_API Vector3f {
  MD_DECLARE_STRUCT(Vector3f)
  float x, y, z;

  Vector3f() = default;
  explicit Vector3f(float f) : x(f), y(f), z(f) {}
  Vector3f(float fX, float fY, float fZ) : x(fX), y(fY), z(fZ) {}

  Vector3f &operator+=(const Vector3f &v)
  {
    x += v.x;
    y += v.y;
    z += v.z;
    return *this;
  }
  Vector3f &operator-=(const Vector3f &v)
  {
    x -= v.x;
    y -= v.y;
    z -= v.z;
    return *this;
  }
  Vector3f &operator*=(float f)
  {
    x *= f;
    y *= f;
    z *= f;
    return *this;
  }
  Vector3f &operator/=(float f) { return *this *= 1.0f / f; }
};

struct CORE_API Vector4f {
  MD_DECLARE_STRUCT(Vector4f)
  float x, y, z, w;

  Vector4f() = default;
  explicit Vector4f(float f) : x(f), y(f), z(f), w(f) {}
  Vector4f(float fX, float fY, float fZ, float fW) : x(fX), y(fY), z(fZ), w(fW) {}
  // (v, w): a point of homogeneous space is (p, 1), a direction (d, 0).
  Vector4f(const Vector3f &v, float fW) : x(v.x), y(v.y), z(v.z), w(fW) {}

  Vector4f &operator+=(const Vector4f &v)
  {
    x += v.x;
    y += v.y;
    z += v.z;
    w += v.w;
    return *this;
  }
  Vector4f &operator-=(const Vector4f &v)
  {
    x -= v.x;
    y -= v.y;
    z -= v.z;
    w -= v.w;
    return *this;
  }
  Vector4f &operator*=(float f)
  {
    x *= f;
    y *= f;
    z *= f;
    w *= f;
    return *this;
  }
  Vector4f &operator/=(float f) { return *this *= 1.0f / f; }
};

// Pixel positions and sizes.
struct CORE_API Vector2l {
  MD_DECLARE_STRUCT(Vector2l)
  long x, y;

  Vector2l() = default;
  explicit Vector2l(long sl) : x(sl), y(sl) {}
  Vector2l(long slX, long slY) : x(slX), y(slY) {}

  Vector2l &operator+=(const Vector2l &v)
  {
    x += v.x;
    y += v.y;
    return *this;
  }
  Vector2l &operator-=(const Vector2l &v)
  {
    x -= v.x;
    y -= v.y;
    return *this;
  }
};

// ---- Arithmetic, component by component ----

#define QE_VECTOR_OPERATORS(V)                                                                     \
  inline V operator+(V vA, const V &vB)                                                            \
  {                                                                                                \
    return vA += vB;                                                                               \
  }                                                                                                \
  inline V operator-(V vA, const V &vB)                                                            \
  {                                                                                                \
    return vA -= vB;                                                                               \
  }
QE_VECTOR_OPERATORS(Vector2f)
QE_VECTOR_OPERATORS(Vector3f)
QE_VECTOR_OPERATORS(Vector4f)
QE_VECTOR_OPERATORS(Vector2l)
#undef QE_VECTOR_OPERATORS

#define QE_VECTOR_SCALING(V)                                                                       \
  inline V operator*(V v, float f)                                                                 \
  {                                                                                                \
    return v *= f;                                                                                 \
  }                                                                                                \
  inline V operator*(float f, V v)                                                                 \
  {                                                                                                \
    return v *= f;                                                                                 \
  }                                                                                                \
  inline V operator/(V v, float f)                                                                 \
  {                                                                                                \
    return v /= f;                                                                                 \
  }                                                                                                \
  inline V operator-(const V &v)                                                                   \
  {                                                                                                \
    return v * -1.0f;                                                                              \
  }
QE_VECTOR_SCALING(Vector2f)
QE_VECTOR_SCALING(Vector3f)
QE_VECTOR_SCALING(Vector4f)
#undef QE_VECTOR_SCALING

inline Vector2l operator-(const Vector2l &v)
{
  return Vector2l(-v.x, -v.y);
}

// Exact comparison of every field.
inline bool operator==(const Vector2f &vA, const Vector2f &vB)
{
  return vA.x == vB.x && vA.y == vB.y;
}
inline bool operator==(const Vector3f &vA, const Vector3f &vB)
{
  return vA.x == vB.x && vA.y == vB.y && vA.z == vB.z;
}
inline bool operator==(const Vector4f &vA, const Vector4f &vB)
{
  return vA.x == vB.x && vA.y == vB.y && vA.z == vB.z && vA.w == vB.w;
}
inline bool operator==(const Vector2l &vA, const Vector2l &vB)
{
  return vA.x == vB.x && vA.y == vB.y;
}
inline bool operator!=(const Vector2f &vA, const Vector2f &vB)
{
  return !(vA == vB);
}
inline bool operator!=(const Vector3f &vA, const Vector3f &vB)
{
  return !(vA == vB);
}
inline bool operator!=(const Vector4f &vA, const Vector4f &vB)
{
  return !(vA == vB);
}
inline bool operator!=(const Vector2l &vA, const Vector2l &vB)
{
  return !(vA == vB);
}

// ---- Products and lengths ----

inline float mthDot(const Vector2f &vA, const Vector2f &vB)
{
  return vA.x * vB.x + vA.y * vB.y;
}
inline float mthDot(const Vector3f &vA, const Vector3f &vB)
{
  return vA.x * vB.x + vA.y * vB.y + vA.z * vB.z;
}
inline float mthDot(const Vector4f &vA, const Vector4f &vB)
{
  return vA.x * vB.x + vA.y * vB.y + vA.z * vB.z + vA.w * vB.w;
}
// Right-handed: (1, 0, 0) x (0, 1, 0) = (0, 0, 1).
inline Vector3f mthCross(const Vector3f &vA, const Vector3f &vB)
{
  return Vector3f(vA.y * vB.z - vA.z * vB.y, vA.z * vB.x - vA.x * vB.z, vA.x * vB.y - vA.y * vB.x);
}
template <class V> inline float mthLength(const V &v)
{
  return sqrtf(mthDot(v, v));
}
// `v` scaled to length 1; a zero vector (which has no direction) stays zero rather than
// becoming NaNs.
template <class V> inline V mthNormalize(const V &v)
{
  const float fLength = mthLength(v);
  return fLength > 0.0f ? v / fLength : v;
}

// The smaller and the larger of each pair of components.
inline Vector2f mthMin(const Vector2f &vA, const Vector2f &vB)
{
  return Vector2f(vA.x < vB.x ? vA.x : vB.x, vA.y < vB.y ? vA.y : vB.y);
}
inline Vector2f mthMax(const Vector2f &vA, const Vector2f &vB)
{
  return Vector2f(vA.x > vB.x ? vA.x : vB.x, vA.y > vB.y ? vA.y : vB.y);
}
inline Vector3f mthMin(const Vector3f &vA, const Vector3f &vB)
{
  return Vector3f(vA.x < vB.x ? vA.x : vB.x, vA.y < vB.y ? vA.y : vB.y, vA.z < vB.z ? vA.z : vB.z);
}
inline Vector3f mthMax(const Vector3f &vA, const Vector3f &vB)
{
  return Vector3f(vA.x > vB.x ? vA.x : vB.x, vA.y > vB.y ? vA.y : vB.y, vA.z > vB.z ? vA.z : vB.z);
}
inline Vector2l mthMin(const Vector2l &vA, const Vector2l &vB)
{
  return Vector2l(vA.x < vB.x ? vA.x : vB.x, vA.y < vB.y ? vA.y : vB.y);
}
inline Vector2l mthMax(const Vector2l &vA, const Vector2l &vB)
{
  return Vector2l(vA.x > vB.x ? vA.x : vB.x, vA.y > vB.y ? vA.y : vB.y);
}

// ---- Layouts, which callers and files rely on ----

static_assert(sizeof(Vector2f) == 8 && offsetof(Vector2f, y) == 4, "Vector2f layout");
static_assert(sizeof(Vector3f) == 12 && offsetof(Vector3f, y) == 4 && offsetof(Vector3f, z) == 8,
              "Vector3f layout");
static_assert(sizeof(Vector4f) == 16 && offsetof(Vector4f, y) == 4 && offsetof(Vector4f, z) == 8 &&
                  offsetof(Vector4f, w) == 12,
              "Vector4f layout");
static_assert(sizeof(Vector2l) == 8 && sizeof(long) == 4 && offsetof(Vector2l, y) == 4,
              "Vector2l layout");
static_assert(std::is_trivially_copyable<Vector2f>::value &&
                  std::is_trivially_copyable<Vector3f>::value &&
                  std::is_trivially_copyable<Vector4f>::value &&
                  std::is_trivially_copyable<Vector2l>::value,
              "vectors are copied as bytes");

} // namespace QuennelEngine
