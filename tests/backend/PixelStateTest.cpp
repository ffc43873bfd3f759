// The render state seen in the pixels: triangles drawn through programs into a 64 x 64 render
// canvas under each state, read back, with hardware and software vertex processing both.
#include "BackendFixture.h"

#include <vector>

namespace {

using namespace QuennelEngine;
using QuennelEngine::Test::Backend;

const long _iSize = 64;
const unsigned long _ulClear = 0x000080;

// Positions pass through; the colour is the pixel program's constant c0.
const char *const _strVertex = "vs_1_1\n"
                               "dcl_texcoord0 v0\n"
                               "mov oPos, v0\n";
const char *const _strPixel = "ps_2_0\n"
                              "mov oC0, c0\n";

struct Vertex {
  float x, y, z;
};

class PixelState : public Backend, public testing::WithParamInterface<int> {
protected:
  void SetUp() override
  {
    Backend::SetUp();
    d3d_bNoHardwareVertexProcessing = GetParam();
    Start();
  }
  void Start(void)
  {
    long iWidth, iHeight;
    StartWindowed(iWidth, iHeight);
    ASSERT_EQ(gfx_eCurrentAPI, GAT_D3D);
    m_cv.cv_pcaAPI = _gfxNewRenderCanvas(_iSize, _iSize, GCF_XRGB8, GCF_DEPTH24, 0);
    ASSERT_NE(m_cv.cv_pcaAPI, nullptr);
    Target(&m_cv, _iSize, _iSize);
    m_hVertex = _gfxCreateProgram(_strVertex, 1);
    m_hPixel = _gfxCreateProgram(_strPixel, 0);
    ASSERT_GT(m_hVertex, 0);
    ASSERT_GT(m_hPixel, 0);
    _gfxBindVertexProgram(m_hVertex);
    _gfxBindPixelProgram(m_hPixel);
    _gfxClear(GfxTarget(GTA_COLOR | GTA_DEPTH), 0xFF000000 | _ulClear, 1.0f, 0);
  }
  void TearDown() override
  {
    _gfxReleaseProgram(_gfx_avppPrograms[m_hVertex - 1], 1);
    _gfxReleaseProgram(_gfx_avppPrograms[m_hPixel - 1], 0);
    _gfxReleaseCanvas(&m_cv);
    Backend::TearDown();
  }
  // Draws a triangle list in the colour (alpha included).
  static void Draw(const std::vector<Vertex> &av, float r, float g, float b, float a = 1.0f)
  {
    const float afColor[4] = {r, g, b, a};
    _gfxPixelProgramConstants(0, 1, afColor);
    _gfxBindVertexArray(0, av.data(), GUT_FLOAT3, long(av.size() * sizeof(Vertex)), 0);
    _gfxDrawVertices(GPR_TRIANGLES, long(av.size() / 3), 0);
    _gfxUnbindVertexBuffers();
  }
  // The whole target as two counter-clockwise triangles at a depth.
  static std::vector<Vertex> Screen(float z)
  {
    return {{-1, -1, z}, {1, -1, z}, {1, 1, z}, {-1, -1, z}, {1, 1, z}, {-1, 1, z}};
  }
  static unsigned long Pixel(long x, long y)
  {
    std::vector<unsigned long> aul = Grab(x, y, x, y);
    return aul.empty() ? 0xDEADBEEF : aul[0];
  }
  static long CountNot(unsigned long ul)
  {
    long ct = 0;
    for (unsigned long u : Grab(0, 0, _iSize - 1, _iSize - 1)) ct += u != ul;
    return ct;
  }
  CCanvas m_cv;
  long m_hVertex = 0;
  long m_hPixel = 0;
};

TEST_P(PixelState, ProgramColourInsideAndBlendingAddsToTheTarget)
{
  // The lower-right half of the target.
  Draw({{-1, -1, 0.5f}, {1, -1, 0.5f}, {1, 1, 0.5f}}, 1, 0, 0);
  EXPECT_EQ(Pixel(60, 40), 0xFF0000u);
  EXPECT_EQ(Pixel(3, 20), _ulClear);
  // One plus one: red and the clear's blue together.
  _gfxClear(GTA_COLOR, 0xFF000000 | _ulClear, 1.0f, 0);
  _gfxEnableBlend();
  _gfxBlendFunc(GBL_ONE, GBL_ONE);
  Draw(Screen(0.5f), 1, 0, 0);
  EXPECT_TRUE(AllAre(Grab(0, 0, _iSize - 1, _iSize - 1), 0xFF0080));
  // Source alpha over the target: half of each.
  _gfxClear(GTA_COLOR, 0xFF000000, 1.0f, 0);
  _gfxBlendFunc(GBL_SRCALPHA, GBL_INVSRCALPHA);
  Draw(Screen(0.5f), 1, 1, 1, 0.5f);
  const unsigned long ul = Pixel(30, 30);
  EXPECT_NEAR(long(ul & 0xFF), 128, 2);
}

TEST_P(PixelState, AlphaTestKeepsOnlyWhatPassesTheRoundedReference)
{
  _gfxEnableAlphaTest();
  // Greater than 0.5 (128 on the device).
  Draw(Screen(0.5f), 1, 0, 0, 0.4f);
  EXPECT_EQ(CountNot(_ulClear), 0);
  Draw(Screen(0.5f), 1, 0, 0, 0.6f);
  EXPECT_EQ(CountNot(0xFF0000), 0);
  // A reference of 1.5 is 1, sent as 255: nothing is greater.
  _gfxAlphaFunc(GCP_GREATER, 1.5f);
  EXPECT_EQ(_gfx_fAlphaRef, 1.0f);
  Draw(Screen(0.5f), 0, 1, 0, 1.0f);
  EXPECT_EQ(CountNot(0xFF0000), 0);
  _gfxAlphaFunc(GCP_GREATER_OR_EQUAL, 1.5f);
  Draw(Screen(0.5f), 0, 1, 0, 1.0f);
  EXPECT_EQ(CountNot(0x00FF00), 0);
}

TEST_P(PixelState, DepthTestAndDepthRangeDecideWhatIsHidden)
{
  _gfxEnableDepthBuffer();
  _gfxEnableDepthWrite();
  _gfxDepthFunc(GCP_LESS);
  Draw(Screen(0.5f), 1, 0, 0);
  Draw(Screen(0.7f), 0, 1, 0); // behind: hidden
  EXPECT_EQ(CountNot(0xFF0000), 0);
  Draw(Screen(0.3f), 0, 0, 1); // in front
  EXPECT_EQ(CountNot(0x0000FF), 0);
  // A range of 0.5 to 0.5 (far becomes 0.501) puts everything at about 0.5 in depth.
  _gfxClear(GfxTarget(GTA_COLOR | GTA_DEPTH), 0xFF000000 | _ulClear, 1.0f, 0);
  _gfxDepthRange(0.5f, 0.5f);
  EXPECT_FLOAT_EQ(_gfx_fDepthFar, 0.501f);
  Draw(Screen(0.0f), 1, 0, 0);
  _gfxDepthRange(0.0f, 1.0f);
  Draw(Screen(0.6f), 0, 1, 0); // 0.6 is behind 0.5
  EXPECT_EQ(CountNot(0xFF0000), 0);
  Draw(Screen(0.4f), 0, 0, 1);
  EXPECT_EQ(CountNot(0x0000FF), 0);
  // Without the test, whatever comes last is drawn.
  _gfxDisableDepthBuffer();
  Draw(Screen(0.9f), 0, 1, 0);
  EXPECT_EQ(CountNot(0x00FF00), 0);
}

TEST_P(PixelState, CullingFollowsTheFaceAndTheOrientationToggle)
{
  const std::vector<Vertex> avCCW = {{-1, -1, 0.5f}, {1, -1, 0.5f}, {0, 1, 0.5f}};
  const std::vector<Vertex> avCW = {{-1, -1, 0.5f}, {0, 1, 0.5f}, {1, -1, 0.5f}};
  // Back faces culled by default: counter-clockwise triangles face the viewer.
  Draw(avCW, 1, 0, 0);
  EXPECT_EQ(CountNot(_ulClear), 0);
  Draw(avCCW, 1, 0, 0);
  EXPECT_EQ(Pixel(32, 40), 0xFF0000u);
  // The orientation toggled: clockwise faces the viewer now.
  _gfxFrontFace(GFF_INVERSE);
  Draw(avCCW, 0, 1, 0);
  EXPECT_EQ(Pixel(32, 40), 0xFF0000u);
  Draw(avCW, 0, 1, 0);
  EXPECT_EQ(Pixel(32, 40), 0x00FF00u);
  // Front faces culled (with the toggled orientation, clockwise ones go).
  _gfxCullFace(GFF_FRONT);
  Draw(avCW, 0, 0, 1);
  EXPECT_EQ(Pixel(32, 40), 0x00FF00u);
  Draw(avCCW, 0, 0, 1);
  EXPECT_EQ(Pixel(32, 40), 0x0000FFu);
  // Nothing culled.
  _gfxCullFace(GFF_NONE);
  Draw(avCW, 1, 1, 0);
  EXPECT_EQ(Pixel(32, 40), 0xFFFF00u);
}

TEST_P(PixelState, LinesLeaveTheInsideAndPointsLeaveAlmostEverything)
{
  const std::vector<Vertex> av = {{-0.9f, -0.9f, 0.5f}, {0.9f, -0.9f, 0.5f}, {0, 0.9f, 0.5f}};
  _gfxPolygonMode(GPM_LINE);
  Draw(av, 1, 0, 0);
  EXPECT_EQ(Pixel(32, 40), _ulClear);
  const long ctLines = CountNot(_ulClear);
  EXPECT_GT(ctLines, 60);
  EXPECT_LT(ctLines, 400);
  _gfxClear(GTA_COLOR, 0xFF000000 | _ulClear, 1.0f, 0);
  _gfxPolygonMode(GPM_POINT);
  Draw(av, 1, 0, 0);
  EXPECT_GE(CountNot(_ulClear), 1);
  EXPECT_LE(CountNot(_ulClear), 12);
  _gfxPolygonMode(GPM_FILL);
  Draw(av, 1, 0, 0);
  EXPECT_EQ(Pixel(32, 40), 0xFF0000u);
}

TEST_P(PixelState, ScissorLimitsDrawingToItsBoxClippedToTheDrawPort)
{
  _gfxScissor(10, 20, 8, 4);
  Draw(Screen(0.5f), 1, 0, 0);
  EXPECT_TRUE(AllAre(Grab(10, 20, 17, 23), 0xFF0000));
  EXPECT_EQ(CountNot(_ulClear), 8 * 4);
  // A box reaching past the draw port is clipped to it.
  _gfxClear(GTA_COLOR, 0xFF000000 | _ulClear, 1.0f, 0);
  _gfxScissor(60, -10, 100, 20);
  Draw(Screen(0.5f), 0, 1, 0);
  EXPECT_EQ(CountNot(_ulClear), 4 * 10);
  EXPECT_EQ(Pixel(63, 0), 0x00FF00u);
  // A box wholly outside lets nothing through.
  _gfxClear(GTA_COLOR, 0xFF000000 | _ulClear, 1.0f, 0);
  _gfxScissor(100, 100, 5, 5);
  Draw(Screen(0.5f), 0, 1, 0);
  EXPECT_EQ(CountNot(_ulClear), 0);
  // Off again: the whole target.
  _gfxScissor(0, 0, -1, -1);
  Draw(Screen(0.5f), 0, 0, 1);
  EXPECT_EQ(CountNot(0x0000FF), 0);
}

TEST_P(PixelState, ColourMaskKeepsChannelsAndItsEmulationRestoresTheBlendState)
{
  if (gfx_ulFlags & GLF_COLORMASK) {
    _gfxMaskColorChannel(1, 0, 0, 0);
    Draw(Screen(0.5f), 1, 1, 1);
    // Red written, the clear's blue kept.
    EXPECT_EQ(CountNot(0xFF0080), 0);
    _gfxMaskColorChannel(1, 1, 1, 1);
  }
  // Without write masks (a device that lacks them), a mask of 0 is source zero, destination one.
  _gfxShutdown();
  _pps->ps_dwMiscCapsOff = D3DPMISCCAPS_COLORWRITEENABLE;
  _gfxReleaseCanvas(&m_cv);
  Start();
  ASSERT_EQ(gfx_ulFlags & GLF_COLORMASK, 0u);
  _gfxMaskColorChannel(0, 0, 0, 0);
  Draw(Screen(0.5f), 1, 1, 1);
  EXPECT_EQ(CountNot(_ulClear), 0);
  _gfxBlendFunc(GBL_ONE, GBL_ONE); // ignored while masked
  Draw(Screen(0.5f), 1, 1, 1);
  EXPECT_EQ(CountNot(_ulClear), 0);
  // Unmasked: blending off again, as before the mask, so the draw replaces the target.
  _gfxMaskColorChannel(1, 1, 1, 1);
  EXPECT_EQ(_gfx_bBlending, 0);
  Draw(Screen(0.5f), 0, 1, 0);
  EXPECT_EQ(CountNot(0x00FF00), 0);
}

TEST_P(PixelState, OcclusionQueriesCountTheDrawnPixels)
{
  if (!(gfx_ulFlags & GLF_OCCLUSIONQUERY)) GTEST_SKIP() << "no occlusion queries here";
  // Half of the 64 x 64 target.
  _gfxIssueQueryBegin(3);
  Draw({{-1, -1, 0.5f}, {1, -1, 0.5f}, {1, 1, 0.5f}}, 1, 0, 0);
  _gfxIssueQueryEnd(3);
  long ctPixels = -1;
  ASSERT_EQ(_gfxGetQueryResult(3, ctPixels, 0), 1);
  const long ctDrawn = CountNot(_ulClear);
  EXPECT_EQ(ctPixels, ctDrawn);
  EXPECT_NEAR(ctDrawn, _iSize * _iSize / 2, _iSize);
  // 20,000 triangles, more than one draw call takes: every one of them drawn, in batches. Each
  // pair covers the same small square (a few pixels each, so a software rasteriser is quick).
  std::vector<Vertex> av;
  const float f0 = -0.25f, f1 = f0 + 8.0f / _iSize; // four pixels a side
  const std::vector<Vertex> avSquare = {{f0, f0, 0.5f}, {f1, f0, 0.5f}, {f1, f1, 0.5f},
                                        {f0, f0, 0.5f}, {f1, f1, 0.5f}, {f0, f1, 0.5f}};
  for (long i = 0; i < 10000; i++) av.insert(av.end(), avSquare.begin(), avSquare.end());
  _gfxClear(GTA_COLOR, 0xFF000000 | _ulClear, 1.0f, 0);
  const long ctTrianglesBefore = gfx_ctTriangles;
  _gfxIssueQueryBegin(4);
  Draw(av, 0, 1, 0);
  _gfxIssueQueryEnd(4);
  ASSERT_EQ(_gfxGetQueryResult(4, ctPixels, 0), 1);
  const long ctSquare = CountNot(_ulClear);
  EXPECT_NEAR(ctSquare, 16, 8);
  EXPECT_EQ(ctPixels, 10000 * ctSquare);
  EXPECT_EQ(gfx_ctTriangles - ctTrianglesBefore, 20000);
  _gfxReleaseQuery(3);
  _gfxReleaseQuery(4);
}

INSTANTIATE_TEST_SUITE_P(Processing, PixelState, testing::Values(0, 1),
                         [](const testing::TestParamInfo<int> &info) {
                           return info.param ? "Software" : "Hardware";
                         });

} // namespace
