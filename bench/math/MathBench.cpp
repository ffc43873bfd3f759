// The math library against GLM on the same work in the same process: matrix products,
// inversions, rotation conversions and box transforms. Each call takes the next of 256 prepared
// inputs and its result is kept, so neither side can hoist or drop the work. Ours are calls into
// Core.dll; GLM's are inlined templates, compiled here with Core's options.
#define GLM_ENABLE_EXPERIMENTAL
#include "BenchSupport.h"
#include "core/Core.h"

#include <glm/glm.hpp>
#include <glm/gtc/matrix_inverse.hpp>
#include <glm/gtc/quaternion.hpp>
#include <glm/gtx/euler_angles.hpp>

#include <random>
#include <stdio.h>

using namespace QuennelEngine;
using namespace QuennelEngine::Bench;

namespace {

const int _ctInputs = 256;
const long _ctIterations = 20000;

glm::mat4 ToGlm(const Matrix44f &m)
{
  glm::mat4 g;
  for (int i = 0; i < 4; i++)
    for (int j = 0; j < 4; j++) g[j][i] = m.m[i][j];
  return g;
}

glm::mat4 ToGlm(const Matrix34f &m)
{
  return ToGlm(Matrix44f(m));
}

glm::mat3 ToGlm(const Matrix33f &m)
{
  glm::mat3 g;
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 3; j++) g[j][i] = m.m[i][j];
  return g;
}

// The inputs, ours and GLM's copies of the same values.
struct Inputs {
  Matrix33f am33[_ctInputs];
  Matrix33f amRotation[_ctInputs];
  Matrix34f am34[_ctInputs];
  Matrix44f am44[_ctInputs];
  Quaternion4f aq[_ctInputs];
  Vector3f avEuler[_ctInputs];
  Box3f abox[_ctInputs];
  glm::mat3 ag33[_ctInputs];
  glm::mat3 agRotation[_ctInputs];
  glm::mat4 ag34[_ctInputs]; // the affine matrices as GLM holds them
  glm::mat4 ag44[_ctInputs];
  glm::quat agq[_ctInputs];
  glm::vec3 agEuler[_ctInputs];
  glm::vec3 agMin[_ctInputs], agMax[_ctInputs];
};

void Prepare(Inputs &in)
{
  std::mt19937 gen(7);
  std::uniform_real_distribution<float> fn(-1.0f, 1.0f);
  for (int i = 0; i < _ctInputs; i++) {
    const Vector3f vEuler(fn(gen) * 3.1f, fn(gen) * 1.5f, fn(gen) * 3.1f);
    const Matrix33f mRotation = mthEulerToMatrix(vEuler);
    in.avEuler[i] = vEuler;
    in.amRotation[i] = mRotation;
    in.agRotation[i] = ToGlm(mRotation);
    in.aq[i] = mthEulerToQuaternion(vEuler);
    in.am34[i] = Matrix34f(mRotation, Vector3f(fn(gen) * 10, fn(gen) * 10, fn(gen) * 10));
    for (int j = 0; j < 9; j++) in.am33[i].m[j / 3][j % 3] = fn(gen) + (j % 4 == 0 ? 3.0f : 0.0f);
    // A camera-like projection times a placement: a general, well-conditioned 4 x 4.
    in.am44[i] = mthFrustumFOVY(1.0f + fn(gen) * 0.2f, 1.5f, 0.5f, 100.0f) * Matrix44f(in.am34[i]);
    const Vector3f vA(fn(gen), fn(gen), fn(gen));
    const Vector3f vB(fn(gen), fn(gen), fn(gen));
    in.abox[i] = Box3f(mthMin(vA, vB), mthMax(vA, vB));
    in.ag33[i] = ToGlm(in.am33[i]);
    in.ag34[i] = ToGlm(in.am34[i]);
    in.ag44[i] = ToGlm(in.am44[i]);
    in.agq[i] = glm::quat(in.aq[i].w, in.aq[i].x, in.aq[i].y, in.aq[i].z);
    in.agEuler[i] = glm::vec3(vEuler.x, vEuler.y, vEuler.z);
    in.agMin[i] = glm::vec3(in.abox[i].vMin.x, in.abox[i].vMin.y, in.abox[i].vMin.z);
    in.agMax[i] = glm::vec3(in.abox[i].vMax.x, in.abox[i].vMax.y, in.abox[i].vMax.z);
  }
}

// The box around a box's eight corners under an affine matrix, as a GLM user writes it.
void GlmBoxCorners(const glm::mat4 &g, const glm::vec3 &vMin, const glm::vec3 &vMax,
                   glm::vec3 &vOutMin, glm::vec3 &vOutMax)
{
  vOutMin = glm::vec3(FLT_MAX);
  vOutMax = glm::vec3(-FLT_MAX);
  for (int i = 0; i < 8; i++) {
    const glm::vec3 v(i & 1 ? vMax.x : vMin.x, i & 2 ? vMax.y : vMin.y, i & 4 ? vMax.z : vMin.z);
    const glm::vec3 vT = glm::vec3(g * glm::vec4(v, 1.0f));
    vOutMin = glm::min(vOutMin, vT);
    vOutMax = glm::max(vOutMax, vT);
  }
}

// The same by centre and half size, the way ours works, in GLM's types.
void GlmBoxCentred(const glm::mat4 &g, const glm::vec3 &vMin, const glm::vec3 &vMax,
                   glm::vec3 &vOutMin, glm::vec3 &vOutMax)
{
  const glm::vec3 vCentre = glm::vec3(g * glm::vec4((vMin + vMax) * 0.5f, 1.0f));
  const glm::mat3 gAbs(glm::abs(glm::vec3(g[0])), glm::abs(glm::vec3(g[1])),
                       glm::abs(glm::vec3(g[2])));
  const glm::vec3 vHalf = gAbs * ((vMax - vMin) * 0.5f);
  vOutMin = vCentre - vHalf;
  vOutMax = vCentre + vHalf;
}

} // namespace

int main()
{
  static Inputs in;
  Prepare(in);
  int i = 0;
  auto Next = [&]() { return i = (i + 1) & (_ctInputs - 1); };
  printf("Math against GLM %d.%d.%d (ns per call; ratio above 1: ours faster)\n", GLM_VERSION_MAJOR,
         GLM_VERSION_MINOR, GLM_VERSION_PATCH);

  CompareAndReport(
      "Matrix44f product", _ctIterations,
      [&] {
        const int j = Next();
        Keep(in.am44[j] * in.am44[(j + 1) & 255]);
      },
      "glm mat4 *",
      [&] {
        const int j = Next();
        Keep(in.ag44[j] * in.ag44[(j + 1) & 255]);
      });
  CompareAndReport(
      "Matrix34f product (affine)", _ctIterations,
      [&] {
        const int j = Next();
        Keep(in.am34[j] * in.am34[(j + 1) & 255]);
      },
      "glm mat4 *",
      [&] {
        const int j = Next();
        Keep(in.ag34[j] * in.ag34[(j + 1) & 255]);
      });
  CompareAndReport(
      "Matrix33f product", _ctIterations,
      [&] {
        const int j = Next();
        Keep(in.am33[j] * in.am33[(j + 1) & 255]);
      },
      "glm mat3 *",
      [&] {
        const int j = Next();
        Keep(in.ag33[j] * in.ag33[(j + 1) & 255]);
      });

  CompareAndReport(
      "mthInvertM44f", _ctIterations,
      [&] {
        Matrix44f m;
        Keep(mthInvertM44f(m, in.am44[Next()]));
        Keep(m);
      },
      "glm::inverse mat4", [&] { Keep(glm::inverse(in.ag44[Next()])); });
  CompareAndReport(
      "mthInvertM33f", _ctIterations,
      [&] {
        Matrix33f m;
        Keep(mthInvertM33f(m, in.am33[Next()]));
        Keep(m);
      },
      "glm::inverse mat3", [&] { Keep(glm::inverse(in.ag33[Next()])); });
  CompareAndReport(
      "mthInvertM34f", _ctIterations,
      [&] {
        Matrix34f m;
        Keep(mthInvertM34f(m, in.am34[Next()]));
        Keep(m);
      },
      "glm::affineInverse", [&] { Keep(glm::affineInverse(in.ag34[Next()])); });
  CompareAndReport(
      "mthInvertRTM34f (rigid)", _ctIterations, [&] { Keep(mthInvertRTM34f(in.am34[Next()])); },
      "glm::affineInverse", [&] { Keep(glm::affineInverse(in.ag34[Next()])); });

  CompareAndReport(
      "mthQuaternionToMatrix", _ctIterations, [&] { Keep(mthQuaternionToMatrix(in.aq[Next()])); },
      "glm::mat3_cast", [&] { Keep(glm::mat3_cast(in.agq[Next()])); });
  CompareAndReport(
      "mthMatrixToQuaternion", _ctIterations,
      [&] { Keep(mthMatrixToQuaternion(in.amRotation[Next()])); }, "glm::quat_cast",
      [&] { Keep(glm::quat_cast(in.agRotation[Next()])); });
  CompareAndReport(
      "mthEulerToMatrix", _ctIterations, [&] { Keep(mthEulerToMatrix(in.avEuler[Next()])); },
      "glm::eulerAngleYXZ",
      [&] {
        const glm::vec3 &v = in.agEuler[Next()];
        Keep(glm::eulerAngleYXZ(v.x, v.y, v.z));
      });
  CompareAndReport(
      "mthMatrixToEuler", _ctIterations, [&] { Keep(mthMatrixToEuler(in.amRotation[Next()])); },
      "glm::extractEulerAngleYXZ",
      [&] {
        float fH, fP, fB;
        glm::extractEulerAngleYXZ(in.ag34[Next()], fH, fP, fB);
        Keep(fH);
        Keep(fP);
        Keep(fB);
      });
  CompareAndReport(
      "mthEulerToQuaternion", _ctIterations,
      [&] { Keep(mthEulerToQuaternion(in.avEuler[Next()])); }, "glm::quat(euler) (XYZ)",
      [&] { Keep(glm::quat(in.agEuler[Next()])); });
  CompareAndReport(
      "mthQuaternionToAxisAngle", _ctIterations,
      [&] { Keep(mthQuaternionToAxisAngle(in.aq[Next()])); }, "glm::axis + glm::angle",
      [&] {
        const glm::quat &q = in.agq[Next()];
        Keep(glm::axis(q));
        Keep(glm::angle(q));
      });

  CompareAndReport(
      "mthTransformBoxM34f", _ctIterations,
      [&] {
        const int j = Next();
        Keep(mthTransformBoxM34f(in.abox[j], in.am34[(j + 7) & 255]));
      },
      "glm eight corners",
      [&] {
        const int j = Next();
        glm::vec3 vMin, vMax;
        GlmBoxCorners(in.ag34[(j + 7) & 255], in.agMin[j], in.agMax[j], vMin, vMax);
        Keep(vMin);
        Keep(vMax);
      });
  CompareAndReport(
      "mthTransformBoxM34f", _ctIterations,
      [&] {
        const int j = Next();
        Keep(mthTransformBoxM34f(in.abox[j], in.am34[(j + 7) & 255]));
      },
      "glm centre and extent",
      [&] {
        const int j = Next();
        glm::vec3 vMin, vMax;
        GlmBoxCentred(in.ag34[(j + 7) & 255], in.agMin[j], in.agMax[j], vMin, vMax);
        Keep(vMin);
        Keep(vMax);
      });
  return 0;
}
