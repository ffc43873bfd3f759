#pragma once
// The math tests' reference: GLM, with conversions between its types and ours and the random
// inputs the sweeps use. GLM stores matrices column by column (g[column][row]) and, like us,
// multiplies column vectors, so a matrix converts element for element with the indices swapped.
#define GLM_ENABLE_EXPERIMENTAL
#include "core/Core.h"

#include <glm/ext/matrix_clip_space.hpp>
#include <glm/ext/matrix_projection.hpp>
#include <glm/glm.hpp>
#include <glm/gtc/matrix_inverse.hpp>
#include <glm/gtc/quaternion.hpp>
#include <glm/gtx/euler_angles.hpp>
#include <glm/gtx/matrix_cross_product.hpp>
#include <gtest/gtest.h>

#include <random>

namespace QuennelEngine {
namespace Test {

const float PI = 3.14159265358979f;

inline glm::vec3 ToGlm(const Vector3f &v)
{
  return glm::vec3(v.x, v.y, v.z);
}
inline glm::vec4 ToGlm(const Plane4f &pl)
{
  return glm::vec4(pl.vNormal.x, pl.vNormal.y, pl.vNormal.z, pl.fD);
}
inline glm::quat ToGlm(const Quaternion4f &q)
{
  return glm::quat(q.w, q.x, q.y, q.z);
}
inline glm::mat3 ToGlm(const Matrix33f &m)
{
  glm::mat3 g;
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 3; j++) g[j][i] = m.m[i][j];
  return g;
}
inline glm::mat4 ToGlm(const Matrix34f &m)
{
  glm::mat4 g(1.0f);
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 4; j++) g[j][i] = m.m[i][j];
  return g;
}
inline glm::mat4 ToGlm(const Matrix44f &m)
{
  glm::mat4 g;
  for (int i = 0; i < 4; i++)
    for (int j = 0; j < 4; j++) g[j][i] = m.m[i][j];
  return g;
}
inline Matrix33f FromGlm(const glm::mat3 &g)
{
  Matrix33f m;
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 3; j++) m.m[i][j] = g[j][i];
  return m;
}
inline Matrix44f FromGlm(const glm::mat4 &g)
{
  Matrix44f m;
  for (int i = 0; i < 4; i++)
    for (int j = 0; j < 4; j++) m.m[i][j] = g[j][i];
  return m;
}

// Elements of `m` within `fTolerance` of the same elements of GLM's `g` (relative above 1).
template <class M, class G>
::testing::AssertionResult NearGlm(const M &m, const G &g, float fTolerance)
{
  const int ROWS = sizeof(m.m) / sizeof(m.m[0]);
  const int COLUMNS = sizeof(m.m[0]) / sizeof(float);
  for (int i = 0; i < ROWS; i++) {
    for (int j = 0; j < COLUMNS; j++) {
      const float fExpected = g[j][i];
      const float fScale = fabsf(fExpected) > 1.0f ? fabsf(fExpected) : 1.0f;
      if (!(fabsf(m.m[i][j] - fExpected) <= fTolerance * fScale)) {
        return ::testing::AssertionFailure()
               << "element " << i << "," << j << " is " << m.m[i][j] << ", GLM has " << fExpected;
      }
    }
  }
  return ::testing::AssertionSuccess();
}

inline ::testing::AssertionResult NearVector(const Vector3f &v, const Vector3f &vExpected,
                                             float fTolerance)
{
  if (fabsf(v.x - vExpected.x) <= fTolerance && fabsf(v.y - vExpected.y) <= fTolerance &&
      fabsf(v.z - vExpected.z) <= fTolerance) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure()
         << "(" << v.x << ", " << v.y << ", " << v.z << ") is not near (" << vExpected.x << ", "
         << vExpected.y << ", " << vExpected.z << ")";
}

// Random inputs from a fixed seed, so every test draws the same values whatever ran before.
class CRandom {
public:
  explicit CRandom(unsigned int uSeed) : m_gen(uSeed) {}
  float Float(float fMin, float fMax)
  {
    return std::uniform_real_distribution<float>(fMin, fMax)(m_gen);
  }
  Vector3f Vector(float fMin, float fMax)
  {
    const float fX = Float(fMin, fMax), fY = Float(fMin, fMax);
    return Vector3f(fX, fY, Float(fMin, fMax));
  }
  // A point on the unit sphere.
  Vector3f Direction(void)
  {
    for (;;) {
      const Vector3f v = Vector(-1, 1);
      const float fLength = mthLength(v);
      if (fLength > 0.1f && fLength <= 1.0f) return v / fLength;
    }
  }
  Quaternion4f Rotation(void)
  {
    const Vector3f vAxis = Direction();
    return mthAxisAngleToQuaternion(Vector4f(vAxis, Float(-PI, PI)));
  }
  // A rotation and translation.
  Matrix34f Placement(float fReach)
  {
    return Matrix34f(mthQuaternionToMatrix(Rotation()), Vector(-fReach, fReach));
  }
  // A general affine matrix whose linear part is far from singular.
  Matrix34f Affine(void)
  {
    for (;;) {
      Matrix34f m;
      for (int i = 0; i < 3; i++)
        for (int j = 0; j < 4; j++) m.m[i][j] = Float(-3, 3);
      if (fabsf(mthDeterminant(Matrix33f(m))) > 0.5f) return m;
    }
  }

private:
  std::mt19937 m_gen;
};

} // namespace Test
} // namespace QuennelEngine
