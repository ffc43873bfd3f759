// Projections against GLM's right-handed, zero-to-one matrices (glm::frustumRH_ZO and the like),
// and what must hold between them: clip distances and planes bound what is visible, a point
// projected and unprojected comes back, a ray through a pixel passes through what lands there.
//
// Tolerances: matrix elements within 1e-5 relative; pixels within 1e-2 (a float's rounding of a
// few hundred pixels, amplified by the perspective divide); points back from unprojection within
// 1e-3 relative to their distance (depth near 1 keeps few bits of a distant point).
#include "GlmConvert.h"

using namespace QuennelEngine;
using namespace QuennelEngine::Test;

namespace {

struct Camera {
  Matrix34f mPlacement;  // camera to world
  Matrix44f mProjection; // view to clip
  Matrix44f mAll;        // world to clip
};

Camera MakeCamera(CRandom &rnd, const Matrix44f &mProjection)
{
  Camera c;
  c.mPlacement = rnd.Placement(20);
  c.mProjection = mProjection;
  c.mAll = mProjection * Matrix44f(mthInvertRTM34f(c.mPlacement));
  return c;
}

// A world point at a view-space position of the camera.
Vector3f InView(const Camera &c, const Vector3f &vView)
{
  return c.mPlacement * vView;
}

bool InClipVolume(const Vector4f &v, float fMargin)
{
  return v.x >= -v.w + fMargin && v.x <= v.w - fMargin && v.y >= -v.w + fMargin &&
         v.y <= v.w - fMargin && v.z >= fMargin && v.z <= v.w - fMargin;
}

bool OutsideClipVolume(const Vector4f &v, float fMargin)
{
  return v.x < -v.w - fMargin || v.x > v.w + fMargin || v.y < -v.w - fMargin ||
         v.y > v.w + fMargin || v.z < -fMargin || v.z > v.w + fMargin;
}

// The projections the sweeps use: perspective (centred, off-centre, infinite, reversed depth)
// and orthographic.
std::vector<Matrix44f> Projections(void)
{
  return {mthFrustumFOVY(1.0f, 1.5f, 0.5f, 200.0f),
          mthFrustumFOVX(2.0f, 0.75f, 0.1f, 50.0f),
          mthFrustum(-0.3f, 0.5f, -0.2f, 0.4f, 0.25f, 80.0f),
          mthFrustumFOVY(0.8f, 1.0f, 1.0f, INFINITY),
          mthFrustumFOVY(1.2f, 1.3f, 100.0f, 0.5f),
          mthOrtho(-4, 6, -3, 2, -5, 40),
          mthOrthoSizeY(10, 1.6f, 1, 30)};
}

// The distance of the clip plane nearer to the camera.
float NearestDistance(const Matrix44f &mProjection)
{
  return fminf(fabsf(mthGetNearClipDistance(mProjection)),
               fabsf(mthGetFarClipDistance(mProjection)));
}

} // namespace

TEST(MathProjection, MatricesAreGlmsRightHandedWithDepthZeroToOne)
{
  CRandom rnd(31);
  for (int i = 0; i < 2000; i++) {
    const float fL = rnd.Float(-5, 0), fR = rnd.Float(0.1f, 5);
    const float fB = rnd.Float(-5, 0), fT = rnd.Float(0.1f, 5);
    const float fN = rnd.Float(0.01f, 5), fF = fN + rnd.Float(0.1f, 1000);
    ASSERT_TRUE(NearGlm(mthFrustum(fL, fR, fB, fT, fN, fF),
                        glm::frustumRH_ZO(fL, fR, fB, fT, fN, fF), 1e-5f));
    ASSERT_TRUE(NearGlm(mthOrtho(fL, fR, fB, fT, -fN, fF), glm::orthoRH_ZO(fL, fR, fB, fT, -fN, fF),
                        1e-5f));
    const float fFOV = rnd.Float(0.05f, 3.0f), fAspect = rnd.Float(0.3f, 3);
    ASSERT_TRUE(NearGlm(mthFrustumFOVY(fFOV, fAspect, fN, fF),
                        glm::perspectiveRH_ZO(fFOV, fAspect, fN, fF), 1e-5f));
    // The horizontal field of view is the vertical one of the narrower (or wider) picture.
    const float fFOVY = 2.0f * atanf(tanf(fFOV * 0.5f) / fAspect);
    ASSERT_TRUE(NearGlm(mthFrustumFOVX(fFOV, fAspect, fN, fF),
                        glm::perspectiveRH_ZO(fFOVY, fAspect, fN, fF), 1e-4f));
    const float fSize = rnd.Float(0.1f, 100);
    ASSERT_TRUE(NearGlm(
        mthOrthoSizeX(fSize, fAspect, fN, fF),
        glm::orthoRH_ZO(-fSize / 2, fSize / 2, -fSize / 2 / fAspect, fSize / 2 / fAspect, fN, fF),
        1e-5f));
    ASSERT_TRUE(NearGlm(
        mthOrthoSizeY(fSize, fAspect, fN, fF),
        glm::orthoRH_ZO(-fSize / 2 * fAspect, fSize / 2 * fAspect, -fSize / 2, fSize / 2, fN, fF),
        1e-5f));
  }
  // In front is -z: the near point has depth 0, the far one 1, and the edge of the horizontal
  // field of view is x = 1.
  const Matrix44f m = mthFrustumFOVX(1.2f, 1.5f, 2, 10);
  const Vector4f vNear = m * Vector4f(0, 0, -2, 1), vFar = m * Vector4f(0, 0, -10, 1);
  EXPECT_NEAR(vNear.z / vNear.w, 0.0f, 1e-6f);
  EXPECT_NEAR(vFar.z / vFar.w, 1.0f, 1e-6f);
  EXPECT_LT((m * Vector4f(0, 0, 3, 1)).w, 0.0f);
  const Vector4f vEdge = m * Vector4f(tanf(0.6f) * 5, 0, -5, 1);
  EXPECT_NEAR(vEdge.x / vEdge.w, 1.0f, 1e-6f);
  // An infinite far plane is the limit of far ones; a reversed one swaps the depths.
  EXPECT_TRUE(NearGlm(mthFrustumFOVY(1, 1, 0.5f, INFINITY),
                      ToGlm(mthFrustumFOVY(1, 1, 0.5f, 1e30f)), 1e-6f));
  const Matrix44f mReversed = mthFrustumFOVY(1, 1, 10, 1);
  const Vector4f vAtOne = mReversed * Vector4f(0, 0, -1, 1);
  EXPECT_NEAR(vAtOne.z / vAtOne.w, 1.0f, 1e-6f);
}

TEST(MathProjection, DegenerateSizesGiveTheIdentity)
{
  const Matrix44f mI = mthIdentityM44f();
  EXPECT_EQ(mthFrustum(1, 1, -1, 1, 1, 10), mI);
  EXPECT_EQ(mthFrustum(-1, 1, 2, 2, 1, 10), mI);
  EXPECT_EQ(mthFrustum(-1, 1, -1, 1, 0, 10), mI);
  EXPECT_EQ(mthFrustum(-1, 1, -1, 1, -1, 10), mI);
  EXPECT_EQ(mthFrustum(-1, 1, -1, 1, 5, 5), mI);
  EXPECT_EQ(mthFrustum(-1, NAN, -1, 1, 1, 10), mI);
  EXPECT_EQ(mthFrustum(-1, 1, -1, 1, INFINITY, 10), mI);
  EXPECT_EQ(mthFrustumFOVY(0, 1, 1, 10), mI);
  EXPECT_EQ(mthFrustumFOVY(PI, 1, 1, 10), mI);
  EXPECT_EQ(mthFrustumFOVY(1, 0, 1, 10), mI);
  EXPECT_EQ(mthFrustumFOVX(-1, 1, 1, 10), mI);
  EXPECT_EQ(mthFrustumFOVX(1, NAN, 1, 10), mI);
  EXPECT_EQ(mthOrtho(-1, 1, -1, 1, 3, 3), mI);
  EXPECT_EQ(mthOrtho(-1, 1, -1, 1, 0, INFINITY), mI);
  EXPECT_EQ(mthOrthoSizeX(0, 1, 0, 1), mI);
  EXPECT_EQ(mthOrthoSizeY(1, -1, 0, 1), mI);
}

TEST(MathProjection, ClipDistancesComeBackAndMoveAlone)
{
  CRandom rnd(32);
  for (int i = 0; i < 1000; i++) {
    const float fN = rnd.Float(0.01f, 5), fF = fN + rnd.Float(0.1f, 1000);
    const float fN2 = rnd.Float(0.01f, 5), fF2 = fN2 + rnd.Float(0.1f, 1000);
    Matrix44f m = mthFrustum(-0.5f, 0.7f, -0.3f, 0.2f, fN, fF);
    ASSERT_NEAR(mthGetNearClipDistance(m), fN, 1e-4f * fN);
    // A perspective keeps the far distance only in m22 + 1 = n / (n - f), whose digits go as
    // f / n grows.
    ASSERT_NEAR(mthGetFarClipDistance(m), fF, fF * (1e-5f + 3e-7f * fF / fN));
    // The field of view stays: the near rectangle grows with the near distance.
    mthSetClipDistances(m, fN2, fF2);
    const float fGrowth = fN2 / fN;
    ASSERT_TRUE(NearGlm(m,
                        glm::frustumRH_ZO(-0.5f * fGrowth, 0.7f * fGrowth, -0.3f * fGrowth,
                                          0.2f * fGrowth, fN2, fF2),
                        1e-5f));
    Matrix44f mOrtho = mthOrthoSizeY(3, 2, -fN, fF);
    ASSERT_NEAR(mthGetNearClipDistance(mOrtho), -fN, 1e-4f);
    ASSERT_NEAR(mthGetFarClipDistance(mOrtho), fF, 1e-4f * fF);
    mthSetClipDistances(mOrtho, fN2, fF2);
    ASSERT_TRUE(NearGlm(mOrtho, ToGlm(mthOrthoSizeY(3, 2, fN2, fF2)), 1e-5f));
  }
  Matrix44f m = mthFrustumFOVY(1, 1, 0.5f, INFINITY);
  EXPECT_FLOAT_EQ(mthGetNearClipDistance(m), 0.5f);
  EXPECT_EQ(mthGetFarClipDistance(m), INFINITY);
  mthSetClipDistances(m, 2, 100);
  EXPECT_TRUE(NearGlm(m, glm::perspectiveRH_ZO(1.0f, 1.0f, 2.0f, 100.0f), 1e-6f));
  mthSetClipDistances(m, 0.5f, INFINITY);
  EXPECT_EQ(m, mthFrustumFOVY(1, 1, 0.5f, INFINITY));
  // Distances a perspective cannot take leave it alone; a matrix of neither kind gives 0.
  const Matrix44f mBefore = m;
  mthSetClipDistances(m, 0, 10);
  mthSetClipDistances(m, 5, 5);
  mthSetClipDistances(m, NAN, 5);
  EXPECT_EQ(m, mBefore);
  EXPECT_EQ(mthGetNearClipDistance(Matrix44f(0.0f)), 0.0f);
  EXPECT_EQ(mthGetFarClipDistance(Matrix44f(0.0f)), 0.0f);
}

TEST(MathProjection, ClipPlanesBoundTheVisibleVolumeInWorldSpace)
{
  CRandom rnd(33);
  for (const Matrix44f &mProjection : Projections()) {
    const Camera c = MakeCamera(rnd, mProjection);
    const Plane4f apl[6] = {mthGetLeftPlane(c.mAll), mthGetRightPlane(c.mAll),
                            mthGetTopPlane(c.mAll),  mthGetBottomPlane(c.mAll),
                            mthGetNearPlane(c.mAll), mthGetFarPlane(c.mAll)};
    int ctInside = 0, ctOutside = 0;
    for (int i = 0; i < 3000; i++) {
      const Vector3f v = InView(c, rnd.Vector(-60, 60) * (i % 2 ? 1.0f : 0.05f));
      const Vector4f vClip = c.mAll * Vector4f(v, 1);
      float fMinimum = FLT_MAX;
      for (const Plane4f &pl : apl) fMinimum = fminf(fMinimum, mthDistance(pl, v));
      // Behind the camera a perspective's w is negative: the planes still cut it away.
      if (vClip.w > 0 && InClipVolume(vClip, 1e-3f * vClip.w)) {
        ASSERT_GE(fMinimum, 0.0f);
        ctInside++;
      } else if (vClip.w <= 0 || OutsideClipVolume(vClip, 1e-3f * fabsf(vClip.w))) {
        ASSERT_LT(fMinimum, 0.0f) << v.x << " " << v.y << " " << v.z;
        ctOutside++;
      }
    }
    EXPECT_GT(ctInside, 50);
    EXPECT_GT(ctOutside, 50);
    for (const Plane4f &pl : apl) {
      const float fLength = mthLength(pl.vNormal);
      EXPECT_TRUE(fabsf(fLength - 1.0f) < 1e-5f || fLength == 0.0f);
    }
  }
  // The near plane of a camera's projection lies at the near distance in front of it, facing it;
  // an infinite far plane has nothing behind it.
  const Matrix44f m = mthFrustumFOVY(1, 1, 0.5f, INFINITY);
  const Plane4f plNear = mthGetNearPlane(m);
  EXPECT_TRUE(NearVector(plNear.vNormal, Vector3f(0, 0, -1), 1e-6f));
  EXPECT_NEAR(plNear.fD, -0.5f, 1e-6f);
  const Plane4f plFar = mthGetFarPlane(m);
  EXPECT_EQ(plFar.vNormal, Vector3f(0.0f));
  EXPECT_GT(plFar.fD, 0.0f);
}

TEST(MathProjection, FieldOfViewAndSizeAreInverses)
{
  CRandom rnd(34);
  for (int i = 0; i < 1000; i++) {
    const float fFOV = rnd.Float(0.01f, 3.1f), fDistance = rnd.Float(0.1f, 100);
    const float fSize = mthFOVToSize(fFOV, fDistance);
    ASSERT_NEAR(fSize, 2 * fDistance * tanf(fFOV / 2), 1e-5f * fSize);
    ASSERT_NEAR(mthSizeToFOV(fSize, fDistance), fFOV, 1e-5f);
  }
  EXPECT_EQ(mthFOVToSize(0, 5), 0.0f);
  EXPECT_EQ(mthFOVToSize(NAN, 5), 0.0f);
  EXPECT_EQ(mthFOVToSize(PI, 5), FLT_MAX);
  EXPECT_NEAR(mthSizeToFOV(2, 0), PI, 1e-6f);
  EXPECT_EQ(mthSizeToFOV(0, 0), 0.0f);
}

TEST(MathProjection, PointsProjectAsGlmPutsThemAndComeBack)
{
  CRandom rnd(35);
  const Box2l boxViewport = Box2l::FromSize(30, 20, 640, 480);
  const glm::vec4 gViewport(30, 20, 640, 480);
  for (const Matrix44f &mProjection : Projections()) {
    const Camera c = MakeCamera(rnd, mProjection);
    const float fNear = NearestDistance(mProjection);
    for (int i = 0; i < 1000; i++) {
      // A point in front of the camera inside the view, most of the time.
      const float fDistance = rnd.Float(fNear + 0.1f, 40);
      const Vector3f v = InView(c, Vector3f(rnd.Float(-fDistance, fDistance) * 0.5f,
                                            rnd.Float(-fDistance, fDistance) * 0.5f, -fDistance));
      Vector3f v2D;
      ASSERT_TRUE(mthProject3DPointTo2DSpace(v2D, v, c.mAll, boxViewport));
      // GLM counts window y up from the bottom; we count pixels down from the top.
      const glm::vec3 g = glm::projectZO(ToGlm(v), glm::mat4(1.0f), ToGlm(c.mAll), gViewport);
      ASSERT_TRUE(NearVector(v2D, Vector3f(g.x, 2 * 20 + 480 - g.y, g.z), 1e-2f));
      Vector3f vBack;
      ASSERT_TRUE(mthProject2DPointTo3DSpace(vBack, v2D, c.mAll, boxViewport));
      ASSERT_TRUE(NearVector(vBack, v, 1e-3f * (fDistance + 20))) << i;
    }
  }
  // The top-left pixel's corner is the top-left of the view, the centre its middle.
  const Matrix44f m = mthOrtho(-1, 1, -1, 1, 0, 1);
  Vector3f v2D;
  ASSERT_TRUE(mthProject3DPointTo2DSpace(v2D, Vector3f(-1, 1, -0.5f), m, boxViewport));
  EXPECT_TRUE(NearVector(v2D, Vector3f(30, 20, 0.5f), 1e-5f));
  ASSERT_TRUE(mthProject3DPointTo2DSpace(v2D, Vector3f(0, 0, 0), m, boxViewport));
  EXPECT_TRUE(NearVector(v2D, Vector3f(30 + 320, 20 + 240, 0), 1e-5f));
  // At or behind the camera, with an empty viewport or a singular matrix: 0, output untouched.
  const Matrix44f mPerspective = mthFrustumFOVY(1, 1, 1, 10);
  v2D = Vector3f(7.0f);
  EXPECT_EQ(mthProject3DPointTo2DSpace(v2D, Vector3f(0, 0, 1), mPerspective, boxViewport), 0);
  EXPECT_EQ(mthProject3DPointTo2DSpace(v2D, Vector3f(0, 0, 0), mPerspective, boxViewport), 0);
  EXPECT_EQ(mthProject3DPointTo2DSpace(v2D, Vector3f(0, 0, -5), mPerspective, Box2l::Empty()), 0);
  EXPECT_EQ(mthProject2DPointTo3DSpace(v2D, Vector3f(1, 1, 0.5f), Matrix44f(1.0f), boxViewport), 0);
  EXPECT_EQ(v2D, Vector3f(7.0f));
  // Depth 1 of an infinite perspective is at infinity: no point.
  EXPECT_EQ(mthProject2DPointTo3DSpace(v2D, Vector3f(5, 5, 1), mthFrustumFOVY(1, 1, 1, INFINITY),
                                       boxViewport),
            0);
}

TEST(MathProjection, RaysThroughPixelsPassThroughWhatLandsThere)
{
  CRandom rnd(36);
  const Box2l boxViewport = Box2l::FromSize(0, 0, 320, 200);
  for (const Matrix44f &mProjection : Projections()) {
    const Camera c = MakeCamera(rnd, mProjection);
    const Plane4f plNear = mthGetNearPlane(c.mAll), plFar = mthGetFarPlane(c.mAll);
    const float fNear = NearestDistance(mProjection);
    const Vector3f vForward = -Matrix33f(c.mPlacement).GetColumn(2);
    for (int i = 0; i < 1000; i++) {
      const float fDistance = rnd.Float(fNear + 0.1f, 40);
      const Vector3f v = InView(c, Vector3f(rnd.Float(-fDistance, fDistance) * 0.3f,
                                            rnd.Float(-fDistance, fDistance) * 0.3f, -fDistance));
      Vector3f v2D;
      ASSERT_TRUE(mthProject3DPointTo2DSpace(v2D, v, c.mAll, boxViewport));
      Ray3f ray;
      ASSERT_TRUE(mthRayThroughPoint(ray, Vector2f(v2D.x, v2D.y), c.mAll, boxViewport));
      // Unit direction, away from the camera, from the nearer clip plane, through the point.
      ASSERT_NEAR(mthLength(ray.vDirection), 1.0f, 1e-5f);
      ASSERT_GT(mthDot(ray.vDirection, vForward), 0.0f);
      ASSERT_LT(
          fminf(fabsf(mthDistance(plNear, ray.vOrigin)), fabsf(mthDistance(plFar, ray.vOrigin))),
          1e-3f);
      const float fT = mthDot(v - ray.vOrigin, ray.vDirection);
      ASSERT_GT(fT, 0.0f);
      ASSERT_TRUE(NearVector(mthPointOnRay(ray, fT), v, 2e-3f * (fDistance + 1))) << i;
    }
  }
  // An orthographic ray runs along the view's -z.
  Ray3f ray;
  ASSERT_TRUE(
      mthRayThroughPoint(ray, Vector2f(10, 190), mthOrtho(-2, 2, -1, 1, 0, 10), boxViewport));
  EXPECT_TRUE(NearVector(ray.vDirection, Vector3f(0, 0, -1), 1e-6f));
  const Ray3f rayBefore = ray;
  EXPECT_EQ(mthRayThroughPoint(ray, Vector2f(1, 1), Matrix44f(0.0f), boxViewport), 0);
  EXPECT_EQ(mthRayThroughPoint(ray, Vector2f(1, 1), mthOrtho(-2, 2, -1, 1, 0, 10), Box2l::Empty()),
            0);
  EXPECT_EQ(ray.vOrigin, rayBefore.vOrigin);
}

TEST(MathProjection, MeterToPixelFactorIsTheProjectedSizeOfOneMeter)
{
  const Box2l boxViewport = Box2l::FromSize(0, 0, 800, 600);
  for (const Matrix44f &m : Projections()) {
    for (float fDistance : {1.0f, 2.5f, 10.0f, 35.0f}) {
      Vector3f vA, vB;
      ASSERT_TRUE(mthProject3DPointTo2DSpace(vA, Vector3f(-0.5f, 0, -fDistance), m, boxViewport));
      ASSERT_TRUE(mthProject3DPointTo2DSpace(vB, Vector3f(0.5f, 0, -fDistance), m, boxViewport));
      EXPECT_NEAR(mthMeterToPixelFactor(m, boxViewport, fDistance), vB.x - vA.x,
                  1e-3f * (vB.x - vA.x));
    }
  }
  const Matrix44f m = mthFrustumFOVY(1, 1, 1, 10);
  EXPECT_EQ(mthMeterToPixelFactor(m, boxViewport, 0), 0.0f);
  EXPECT_EQ(mthMeterToPixelFactor(m, boxViewport, -3), 0.0f);
  EXPECT_EQ(mthMeterToPixelFactor(m, Box2l::Empty(), 3), 0.0f);
}
