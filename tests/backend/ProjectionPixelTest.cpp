// The math library's projections agree with the device: points placed by a camera built from
// mthFrustumFOVY or mthOrtho are drawn through a program that applies the backend's adjusted
// projection, and the pixels lit are exactly those mthProject3DPointTo2DSpace predicts, depth
// included (the depth buffer, cleared to 0.5, hides what it predicts beyond 0.5).
#include "BackendFixture.h"

#include <random>
#include <set>
#include <utility>
#include <vector>

namespace {

using namespace QuennelEngine;
using QuennelEngine::Test::Backend;

const long _iWidth = 96;
const long _iHeight = 64;
const unsigned long _ulClear = 0x000080;

// The position times the matrix in c0..c3 (its rows).
const char *const _strVertex = "vs_1_1\n"
                               "dcl_texcoord0 v0\n"
                               "dp4 oPos.x, v0, c0\n"
                               "dp4 oPos.y, v0, c1\n"
                               "dp4 oPos.z, v0, c2\n"
                               "dp4 oPos.w, v0, c3\n";
const char *const _strPixel = "ps_2_0\n"
                              "mov oC0, c0\n";

struct Vertex {
  float x, y, z;
};

// A point to draw and the pixel it should light.
struct Mark {
  Vector3f vWorld;
  long iX, iY;
  float fDepth;
  float fHalfSize; // world units of 0.3 pixels at its distance
};

class ProjectionPixels : public Backend {
protected:
  void SetUp() override
  {
    Backend::SetUp();
    long iWidth, iHeight;
    StartWindowed(iWidth, iHeight);
    ASSERT_EQ(gfx_eCurrentAPI, GAT_D3D);
    m_cv.cv_pcaAPI = _gfxNewRenderCanvas(_iWidth, _iHeight, GCF_XRGB8, GCF_DEPTH24, 0);
    ASSERT_NE(m_cv.cv_pcaAPI, nullptr);
    Target(&m_cv, _iWidth, _iHeight);
    m_hVertex = _gfxCreateProgram(_strVertex, 1);
    m_hPixel = _gfxCreateProgram(_strPixel, 0);
    ASSERT_GT(m_hVertex, 0);
    ASSERT_GT(m_hPixel, 0);
    _gfxBindVertexProgram(m_hVertex);
    _gfxBindPixelProgram(m_hPixel);
    _gfxCullFace(GFF_NONE);
    const float afWhite[4] = {1, 1, 1, 1};
    _gfxPixelProgramConstants(0, 1, afWhite);
  }
  void TearDown() override
  {
    _gfxReleaseProgram(_gfx_avppPrograms[m_hVertex - 1], 1);
    _gfxReleaseProgram(_gfx_avppPrograms[m_hPixel - 1], 0);
    _gfxReleaseCanvas(&m_cv);
    Backend::TearDown();
  }
  // Draws into the pixel box `boxPort` of the target through the camera at `mPlacement` with
  // `mProjection`, and checks that exactly the predicted pixels of the marks are lit.
  void DrawAndCompare(const Box2l &boxPort, const Matrix34f &mPlacement,
                      const Matrix44f &mProjection, float fNear, float fFar)
  {
    // The whole target cleared first (a clear covers the draw port only).
    _gfxClear(GfxTarget(GTA_COLOR | GTA_DEPTH), 0xFF000000 | _ulClear, 0.5f, 0);
    m_dp.dp_iLeft = boxPort.vMin.x;
    m_dp.dp_iTop = boxPort.vMin.y;
    m_dp.dp_iWidth = boxPort.Width();
    m_dp.dp_iHeight = boxPort.Height();
    _gfxCurrentRenderArea(&m_dp);
    _gfxProjectionMatrix(mProjection);
    const Matrix44f mView = Matrix44f(mthInvertRTM34f(mPlacement));
    const Matrix44f mAll = mProjection * mView;
    // Marks whose pixel position is well inside a pixel (0.3 to 0.7 of it), so a square of
    // +-0.3 pixels around them covers that pixel's centre and no other, each on its own pixel.
    std::mt19937 gen(41);
    std::uniform_real_distribution<float> fnUnit(0.0f, 1.0f);
    std::vector<Mark> amk;
    std::set<std::pair<long, long>> setPixels;
    for (int iTry = 0; iTry < 5000 && amk.size() < 40; iTry++) {
      // A depth drawn evenly from 0.05 to 0.95 and the distance that has it, so about half the
      // marks are in front of the cleared depth.
      const bool bPerspective = mProjection.m[3][2] != 0;
      const float fAimedDepth = 0.05f + 0.9f * fnUnit(gen);
      const float fDistance = bPerspective ? fNear * fFar / (fFar - fAimedDepth * (fFar - fNear))
                                           : fNear + fAimedDepth * (fFar - fNear);
      const Vector3f vView((fnUnit(gen) * 2 - 1) * 0.9f, (fnUnit(gen) * 2 - 1) * 0.9f, -fDistance);
      // Spread over the view: x and y scaled to the visible half sizes at that distance.
      const float fScaleX = bPerspective ? fDistance : 1.0f;
      const Vector3f vScaled(vView.x * fScaleX / mProjection.m[0][0],
                             vView.y * fScaleX / mProjection.m[1][1], vView.z);
      Mark mk;
      mk.vWorld = mPlacement * vScaled;
      Vector3f v2D;
      ASSERT_TRUE(mthProject3DPointTo2DSpace(v2D, mk.vWorld, mAll, boxPort));
      const float fFracX = v2D.x - floorf(v2D.x), fFracY = v2D.y - floorf(v2D.y);
      if (fFracX < 0.3f || fFracX > 0.7f || fFracY < 0.3f || fFracY > 0.7f) continue;
      // Depths close to the cleared 0.5 could go either way.
      if (fabsf(v2D.z - 0.5f) < 0.02f) continue;
      mk.iX = (long)floorf(v2D.x);
      mk.iY = (long)floorf(v2D.y);
      mk.fDepth = v2D.z;
      if (!setPixels.insert(std::make_pair(mk.iX, mk.iY)).second) continue;
      mk.fHalfSize = 0.3f / mthMeterToPixelFactor(mProjection, boxPort, fDistance);
      amk.push_back(mk);
    }
    ASSERT_GE(amk.size(), 20u);
    // Squares facing the camera: its right and up axes are the placement's first two columns.
    const Vector3f vRight = Matrix33f(mPlacement).GetColumn(0);
    const Vector3f vUp = Matrix33f(mPlacement).GetColumn(1);
    std::vector<Vertex> av;
    for (const Mark &mk : amk) {
      const Vector3f vR = vRight * mk.fHalfSize, vU = vUp * mk.fHalfSize;
      const Vector3f avCorner[4] = {mk.vWorld - vR - vU, mk.vWorld + vR - vU, mk.vWorld + vR + vU,
                                    mk.vWorld - vR + vU};
      for (int i : {0, 1, 2, 0, 2, 3}) av.push_back({avCorner[i].x, avCorner[i].y, avCorner[i].z});
    }
    // The program gets what the backend made of the projection (its half-pixel shift) times the
    // view.
    const Matrix44f mDevice = _gfx_mAdjustedProjection * mView;
    _gfxVertexProgramConstants(0, 4, &mDevice.m[0][0]);
    _gfxEnableDepthBuffer();
    _gfxDepthFunc(GCP_LESS);
    _gfxBindVertexArray(0, av.data(), GUT_FLOAT3, long(av.size() * sizeof(Vertex)), 0);
    _gfxDrawVertices(GPR_TRIANGLES, long(av.size() / 3), 0);
    _gfxUnbindVertexBuffers();

    const std::vector<unsigned long> aul = Grab(0, 0, _iWidth - 1, _iHeight - 1);
    ASSERT_EQ(aul.size(), size_t(_iWidth * _iHeight));
    std::set<std::pair<long, long>> setExpected, setLit;
    long ctHidden = 0;
    for (const Mark &mk : amk) {
      if (mk.fDepth < 0.5f) {
        setExpected.insert(std::make_pair(mk.iX, mk.iY));
      } else {
        ctHidden++;
      }
    }
    for (long y = 0; y < _iHeight; y++) {
      for (long x = 0; x < _iWidth; x++) {
        if (aul[y * _iWidth + x] != _ulClear) setLit.insert(std::make_pair(x, y));
      }
    }
    EXPECT_GT(setExpected.size(), 5u);
    EXPECT_GT(ctHidden, 5);
    for (const auto &pr : setExpected) {
      EXPECT_TRUE(setLit.count(pr)) << "predicted pixel " << pr.first << "," << pr.second;
    }
    for (const auto &pr : setLit) {
      EXPECT_TRUE(setExpected.count(pr)) << "unpredicted pixel " << pr.first << "," << pr.second;
    }
  }

  CCanvas m_cv;
  long m_hVertex = 0;
  long m_hPixel = 0;
};

// A camera turned and moved away from the origin, so no axis lines up with the view.
Matrix34f CameraPlacement(void)
{
  return Matrix34f(mthEulerToMatrix(Vector3f(0.4f, -0.25f, 0.1f)), Vector3f(3, -1, 2));
}

} // namespace

TEST_F(ProjectionPixels, PerspectivePointsLandOnThePredictedPixels)
{
  const float fNear = 1.0f, fFar = 4.0f;
  DrawAndCompare(Box2l::FromSize(0, 0, _iWidth, _iHeight), CameraPlacement(),
                 mthFrustumFOVY(1.0f, (float)_iWidth / (float)_iHeight, fNear, fFar), fNear, fFar);
}

TEST_F(ProjectionPixels, OrthographicPointsInAnOffsetDrawPortLandOnThePredictedPixels)
{
  const float fNear = 0.5f, fFar = 6.0f;
  const Box2l boxPort = Box2l::FromSize(10, 6, 64, 40);
  DrawAndCompare(boxPort, CameraPlacement(), mthOrthoSizeY(3.0f, 64.0f / 40.0f, fNear, fFar), fNear,
                 fFar);
}
