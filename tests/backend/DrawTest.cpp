// Vertex and index buffers and drawing: the calls made (recorded), the lock flags of the ring,
// and what triangles, quads and indexed draws leave in the pixels with either vertex processing.
#include "BackendFixture.h"

namespace {

using namespace QuennelEngine;
using QuennelEngine::Test::Backend;
using QuennelEngine::Test::ExternalBytes;

const char *const _strVertex = "vs_1_1\n"
                               "dcl_texcoord0 v0\n"
                               "mov oPos, v0\n";
// Positions from stream 0 with a colour from stream 1.
const char *const _strVertexColour = "vs_1_1\n"
                                     "dcl_texcoord0 v0\n"
                                     "dcl_texcoord1 v1\n"
                                     "mov oPos, v0\n"
                                     "mov oT0, v1\n";
const char *const _strRed = "ps_2_0\n"
                            "def c0, 1, 0, 0, 1\n"
                            "mov oC0, c0\n";
const char *const _strFromTexcoord = "ps_2_0\n"
                                     "dcl t0\n"
                                     "mov oC0, t0\n";

struct Vertex {
  float x, y, z, w;
};

class Draw : public Backend {
protected:
  void SetUp() override
  {
    Backend::SetUp();
    _pps->ps_bRecord = 1;
  }
  void TearDown() override
  {
    if (m_cv.cv_pcaAPI != nullptr) _gfxReleaseCanvas(&m_cv);
    for (long i = 0; i < _gfx_ctPrograms; i++) {
      VexPixProgram &vpp = _gfx_avppPrograms[i];
      if (vpp.vpp_pShader != nullptr) _gfxReleaseProgram(vpp, !(vpp.vpp_ulFlags & VPF_PIXEL));
    }
    Backend::TearDown();
  }
  void Start(bool bSoftware = false)
  {
    d3d_bNoHardwareVertexProcessing = bSoftware;
    long iWidth, iHeight;
    StartWindowed(iWidth, iHeight);
    ASSERT_EQ(gfx_eCurrentAPI, GAT_D3D);
    _pps->ps_rec = D3DCallRecord();
    memset(_pps->ps_aactLocks, 0, sizeof(_pps->ps_aactLocks));
  }
  // A 64 x 64 target cleared blue, with the given programs bound.
  void Canvas(const char *strVertex, const char *strPixel)
  {
    m_cv.cv_pcaAPI = _gfxNewRenderCanvas(64, 64, GCF_XRGB8, GCF_SHAREDDEPTH, 0);
    ASSERT_NE(m_cv.cv_pcaAPI, nullptr);
    Target(&m_cv, 64, 64);
    _gfxClear((GfxTarget)(GTA_COLOR | GTA_DEPTH), 0xFF0000FF, 1.0f, 0);
    const long hVertex = _gfxCreateProgram(strVertex, 1);
    const long hPixel = _gfxCreateProgram(strPixel, 0);
    ASSERT_GT(hVertex, 0);
    ASSERT_GT(hPixel, 0);
    _gfxBindVertexProgram(hVertex);
    _gfxBindPixelProgram(hPixel);
    _gfxCullFace(GFF_NONE);
  }
  static unsigned long Pixel(long x, long y) { return Grab(x, y, x, y).at(0); }
  // Two triangles over the square from (x0, y0) to (x1, y1) in clip space, as a list.
  static void Square(Vertex *pv, float x0, float y0, float x1, float y1)
  {
    const Vertex av[6] = {{x0, y0, 0.5f, 1}, {x0, y1, 0.5f, 1}, {x1, y1, 0.5f, 1},
                          {x0, y0, 0.5f, 1}, {x1, y1, 0.5f, 1}, {x1, y0, 0.5f, 1}};
    memcpy(pv, av, sizeof(av));
  }
  const D3DCallRecord &rec = _pps->ps_rec;
  CCanvas m_cv;
};

TEST_F(Draw, SettingsAreClampedAndTheBuffersGoAtShutdown)
{
  d3d_ctCommonVertexBuffers = 12;
  d3d_iCommonVertexBuffersSize = 9000;
  Start();
  EXPECT_EQ(d3d_ctCommonVertexBuffers, 8);
  EXPECT_EQ(d3d_iCommonVertexBuffersSize, 4096);
  EXPECT_GT(ExternalBytes(), m_slExternalBefore + 4096 * 1024);
  _gfxShutdown();
  EXPECT_EQ(ExternalBytes(), m_slExternalBefore);

  d3d_ctCommonVertexBuffers = 0;
  d3d_iCommonVertexBuffersSize = 10;
  _pps->ps_bRecord = 1;
  Start();
  EXPECT_EQ(d3d_ctCommonVertexBuffers, 1);
  EXPECT_EQ(d3d_iCommonVertexBuffersSize, 32);
  // One vertex ring buffer of 32 KiB: an array of 40 KiB makes it grow to 1.1 times that.
  std::vector<char> ac(40 * 1024);
  _gfxBindVertexArray(0, ac.data(), GUT_FLOAT4, (long)ac.size(), 0);
  EXPECT_EQ(rec.dcr_actCalls[DDM_CreateVertexBuffer], 1);
  EXPECT_EQ(rec.dcr_adwArgs[DDM_CreateVertexBuffer][0], (DWORD)(40 * 1024 * 1.1));
}

TEST_F(Draw, QuadsAndLongListsAreDrawnInBatchesAndCountedWhole)
{
  Start();
  std::vector<Vertex> av(4 * 20000, Vertex{0, 0, 0.5f, 1});
  _gfxBindVertexArray(0, av.data(), GUT_FLOAT4, (long)(av.size() * sizeof(Vertex)), 0);
  gfx_ctTriangles = gfx_ctVertices = 0;
  _gfxDrawVertices(GPR_QUADS, 20000, 5);
  ASSERT_EQ(rec.dcr_ctDraws, 2);
  const DWORD adwFirst[7] = {DDM_DrawIndexedPrimitive, D3DPT_TRIANGLELIST, 5, 0, 43688, 0, 21844};
  const DWORD adwSecond[7] = {
      DDM_DrawIndexedPrimitive, D3DPT_TRIANGLELIST, 5 + 43688, 0, 4 * 9078, 0, 2 * 9078};
  EXPECT_EQ(memcmp(rec.dcr_aadwDraws[0], adwFirst, sizeof(adwFirst)), 0);
  EXPECT_EQ(memcmp(rec.dcr_aadwDraws[1], adwSecond, sizeof(adwSecond)), 0);
  EXPECT_EQ(gfx_ctTriangles, 40000);
  EXPECT_EQ(gfx_ctVertices, 80000);
  // The quad indices are set once, and an indexed draw of the engine gets its own back.
  EXPECT_EQ(rec.dcr_actCalls[DDM_SetIndices], 1);
  _gfxDrawVertices(GPR_QUADS, 1, 0);
  EXPECT_EQ(rec.dcr_actCalls[DDM_SetIndices], 1);
  const WORD auw[3] = {0, 1, 2};
  _gfxIndexArray(auw, 3, GUT_INDEX16);
  _gfxDrawVertices(GPR_QUADS, 1, 0);
  _gfxDrawIndices(GPR_TRIANGLES, 1, 3, 0);
  EXPECT_EQ(rec.dcr_actCalls[DDM_SetIndices], 4);

  _pps->ps_rec = D3DCallRecord();
  gfx_ctTriangles = gfx_ctVertices = 0;
  _gfxDrawVertices(GPR_TRIANGLES, 20000, 7);
  ASSERT_EQ(rec.dcr_ctDraws, 2);
  const DWORD adwList[4] = {DDM_DrawPrimitive, D3DPT_TRIANGLELIST, 7, 16383};
  const DWORD adwRest[4] = {DDM_DrawPrimitive, D3DPT_TRIANGLELIST, 7 + 3 * 16383, 20000 - 16383};
  EXPECT_EQ(memcmp(rec.dcr_aadwDraws[0], adwList, sizeof(adwList)), 0);
  EXPECT_EQ(memcmp(rec.dcr_aadwDraws[1], adwRest, sizeof(adwRest)), 0);
  EXPECT_EQ(gfx_ctTriangles, 20000);
  EXPECT_EQ(gfx_ctVertices, 60000);
  // Strips advance by one vertex per primitive.
  _gfxDrawVertices(GPR_TRIANGLESTRIP, 16384, 0);
  EXPECT_EQ(rec.dcr_aadwDraws[3][2], 16383u);
  EXPECT_EQ(rec.dcr_aadwDraws[3][3], 1u);
}

TEST_F(Draw, BadStreamsUsagesRangesAndQuadIndicesAreReportedAndDoNothing)
{
  Start();
  const float af[4] = {};
  const long ctErrors = gfxCountErrors();
  _gfxBindVertexArray(16, af, GUT_FLOAT4, sizeof(af), 0);
  _gfxBindVertexArray(-1, af, GUT_FLOAT4, sizeof(af), 0);
  _gfxBindVertexArray(0, af, (GfxUsageType)129, sizeof(af), 0);
  _gfxBindVertexArray(0, af, GUT_INDEX16, sizeof(af), 0);
  EXPECT_EQ(gfxCountErrors(), ctErrors + 4);
  EXPECT_EQ(rec.dcr_actCalls[DDM_SetStreamSource], 0);
  EXPECT_EQ(_gfx_uqCurrentVertexProgramInputMask, 0u);
  // Nothing bound: nothing drawn.
  _gfxDrawVertices(GPR_TRIANGLES, 1, 0);
  EXPECT_EQ(rec.dcr_ctDraws, 0);

  const unsigned long hBuffer = _gfxCreateStaticVertexBuffer(64, 0, nullptr);
  ASSERT_NE(hBuffer, 0u);
  const long ctBefore = gfxCountErrors();
  EXPECT_EQ(_gfxLockStaticVertexBuffer(hBuffer, 0, GAC_WRITE, 32, 40), nullptr);
  EXPECT_EQ(_gfxLockStaticVertexBuffer(hBuffer, 0, GAC_WRITE, -4, 0), nullptr);
  _gfxLoadStaticVertexBuffer(hBuffer, 0, af, 16, 60);
  EXPECT_EQ(gfxCountErrors(), ctBefore + 3);
  void *pv = _gfxLockStaticVertexBuffer(hBuffer, 0, GAC_WRITE, 32, 32);
  EXPECT_NE(pv, nullptr);
  _gfxUnlockStaticVertexBuffer(hBuffer, 0, 32);
  _gfxReleaseStaticVertexBuffer(hBuffer, 0);

  // Quads have no indexed form.
  _gfxBindVertexArray(0, af, GUT_FLOAT4, sizeof(af), 0);
  const WORD auw[4] = {0, 0, 0, 0};
  _gfxIndexArray(auw, 4, GUT_INDEX16);
  _gfxDrawIndices(GPR_QUADS, 1, 4, 0);
  EXPECT_EQ(rec.dcr_ctDraws, 0);
  EXPECT_EQ(gfxCountErrors(), ctBefore + 4);
  // Without static geometry no buffer is made.
  gfx_bNoStaticGeometry = 1;
  EXPECT_EQ(_gfxCreateStaticVertexBuffer(64, 0, nullptr), 0u);
}

TEST_F(Draw, ReleasingTheIndexSourceUnsetsItAndDrawsNothingFromIt)
{
  Start();
  const float af[12] = {};
  _gfxBindVertexArray(0, af, GUT_FLOAT4, sizeof(af), 0);
  const WORD auw[3] = {0, 1, 2};
  const unsigned long hIndices = _gfxCreateStaticVertexBuffer(sizeof(auw), 16, auw);
  ASSERT_NE(hIndices, 0u);
  _gfx_avbVertexBuffers[0] = VertexBuffer{(void *)hIndices, sizeof(auw), VBT_INDEX16 | VBT_BUFFER};
  _gfxIndexBuffer(1, 0, 0);
  _gfxDrawIndices(GPR_TRIANGLES, 1, 3, 0);
  EXPECT_EQ(rec.dcr_ctDraws, 1);
  _gfxReleaseStaticVertexBuffer(hIndices, 1);
  _gfx_avbVertexBuffers[0] = VertexBuffer();
  EXPECT_EQ(rec.dcr_adwArgs[DDM_SetIndices][0], 0u);
  // After quads the released buffer is not restored either.
  _gfxDrawVertices(GPR_QUADS, 1, 0);
  _gfxDrawIndices(GPR_TRIANGLES, 1, 3, 0);
  EXPECT_EQ(rec.dcr_ctDraws, 2);
  EXPECT_EQ(rec.dcr_aadwDraws[1][0], (DWORD)DDM_DrawIndexedPrimitive);
  EXPECT_EQ(rec.dcr_aadwDraws[1][4], 4u) << "the second draw was the quad";
}

TEST_F(Draw, SteadyFramesOnlyAppendAndRotateWithoutWaiting)
{
  Start();
  Vertex av[3] = {};
  for (long iFrame = 0; iFrame < 100; iFrame++) {
    for (long iDraw = 0; iDraw < 100; iDraw++) {
      _gfxBindVertexArray(0, av, GUT_FLOAT4, sizeof(av), 0);
      _gfxDrawVertices(GPR_TRIANGLES, 1, 0);
      _gfxUnbindVertexBuffers();
    }
  }
  EXPECT_EQ(_pps->ps_aactLocks[0][0], 0);
  EXPECT_GT(_pps->ps_aactLocks[0][1], 9000);
  // 480 kB went through buffers of 256 kB: they rotated, discarding.
  EXPECT_GE(_pps->ps_aactLocks[0][2], 1);
  // One declaration served every draw.
  EXPECT_EQ(rec.dcr_actCalls[DDM_CreateVertexDeclaration], 1);
  EXPECT_EQ(rec.dcr_actCalls[DDM_SetVertexDeclaration], 1);
  EXPECT_EQ(gfx_ctTriangles, 10000);

  // One buffer only: wrapping onto what the last draw read must wait.
  _gfxShutdown();
  d3d_ctCommonVertexBuffers = 1;
  d3d_iCommonVertexBuffersSize = 32;
  _pps->ps_bRecord = 1;
  Start();
  std::vector<char> ac(20 * 1024);
  _gfxBindVertexArray(0, ac.data(), GUT_FLOAT4, (long)ac.size(), 0);
  _gfxDrawVertices(GPR_TRIANGLES, 1, 0);
  _gfxUnbindVertexBuffers();
  _gfxBindVertexArray(0, ac.data(), GUT_FLOAT4, (long)ac.size(), 0);
  EXPECT_EQ(_pps->ps_aactLocks[0][0], 1);
}

TEST_F(Draw, IndexArraysAppendDiscardAndNarrowWithout32BitIndices)
{
  _pps->ps_dwMaxVertexIndex = 0xFFFF;
  Start();
  EXPECT_EQ(gfx_ulFlags & GLF_32BITINDICES, 0u);
  const unsigned long aul[3] = {0, 1, 70000};
  _gfxIndexArray(aul, 3, GUT_INDEX32);
  _gfxIndexArray(aul, 3, GUT_INDEX32);
  EXPECT_EQ(_pps->ps_aactLocks[1][1], 2);
  const float af[12] = {};
  _gfxBindVertexArray(0, af, GUT_FLOAT4, sizeof(af), 0);
  _gfxDrawIndices(GPR_TRIANGLES, 1, 3, 0);
  // The second array started after the first's three 16-bit indices.
  EXPECT_EQ(rec.dcr_aadwDraws[0][5], 3u);
  IDirect3DIndexBuffer9 *pib = (IDirect3DIndexBuffer9 *)rec.dcr_adwArgs[DDM_SetIndices][0];
  ASSERT_NE(pib, nullptr);
  D3DINDEXBUFFER_DESC desc = {};
  pib->GetDesc(&desc);
  EXPECT_EQ(desc.Format, D3DFMT_INDEX16);
  // An array larger than the buffer makes a larger one, written from its start.
  std::vector<WORD> auw(10000);
  _gfxIndexArray(auw.data(), (long)auw.size(), GUT_INDEX16);
  EXPECT_EQ(_pps->ps_aactLocks[1][2], 1);
  EXPECT_EQ(rec.dcr_adwArgs[DDM_CreateIndexBuffer][0], 25004u);
}

TEST_F(Draw, AResetMakesTheBuffersAgainAndForgetsWhatTheDeviceHeld)
{
  long iWidth = GetSystemMetrics(SM_CXSCREEN), iHeight = GetSystemMetrics(SM_CYSCREEN);
  _gfxStartup_t(iWidth, iHeight, 32, 24, 0);
  ASSERT_EQ(gfx_eCurrentAPI, GAT_D3D);
  ASSERT_NE(gfx_ulFlags & GLF_FULLSCREEN, 0u);
  const long slExternal = ExternalBytes();
  const float af[16] = {};
  _gfxBindVertexArray(0, af, GUT_FLOAT4, sizeof(af), 0);
  _gfxDrawVertices(GPR_QUADS, 1, 0);
  EXPECT_EQ(_gfxPresent(nullptr, 1), 1);

  HWND hwnd = (HWND)wndGetWindowHandle(wndGetWorkbench()).wh_hWnd;
  SendMessageA(hwnd, WM_ACTIVATEAPP, FALSE, 0);
  EXPECT_EQ(_gfxPresent(nullptr, 1), 0);
  const long ctCallsLost = rec.Total();
  _gfxBindVertexArray(0, af, GUT_FLOAT4, sizeof(af), 0);
  _gfxIndexArray(af, 4, GUT_INDEX16);
  _gfxDrawVertices(GPR_QUADS, 1, 0);
  _gfxDrawIndices(GPR_TRIANGLES, 1, 3, 0);
  EXPECT_EQ(rec.Total(), ctCallsLost) << "a slot touched the lost device";
  SendMessageA(hwnd, WM_ACTIVATEAPP, TRUE, 0);
  ASSERT_EQ(_gfxPresent(nullptr, 1), 1);
  EXPECT_EQ(ExternalBytes(), slExternal);

  // The engine binds again; the quad indices and the declaration go to the device again.
  _pps->ps_rec = D3DCallRecord();
  _gfxBindVertexArray(0, af, GUT_FLOAT4, sizeof(af), 0);
  _gfxDrawVertices(GPR_QUADS, 1, 0);
  EXPECT_EQ(rec.dcr_actCalls[DDM_SetIndices], 1);
  EXPECT_EQ(rec.dcr_actCalls[DDM_CreateVertexDeclaration], 1);
  EXPECT_EQ(rec.dcr_actCalls[DDM_SetVertexDeclaration], 1);
  EXPECT_EQ(rec.dcr_ctDraws, 1);
  ShowWindow(hwnd, SW_RESTORE);
}

// Each case runs with hardware and with software vertex processing.
class DrawPixels : public Draw, public testing::WithParamInterface<bool> {};

TEST_P(DrawPixels, ArraysAndStaticBuffersDrawTheProgramsColourOnlyInside)
{
  Start(GetParam());
  EXPECT_EQ((gfx_ulFlags & GLF_HWVERTEXPROCESSING) == 0, GetParam());
  Canvas(_strVertex, _strRed);
  Vertex av[6];
  Square(av, -0.5f, -0.5f, 0.5f, 0.5f);
  _gfxBindVertexArray(0, av, GUT_FLOAT4, sizeof(av), 0);
  _gfxDrawVertices(GPR_TRIANGLES, 2, 0);
  EXPECT_TRUE(AllAre(Grab(20, 20, 43, 43), 0xFF0000));
  EXPECT_EQ(Pixel(4, 4), 0x0000FFu);
  EXPECT_EQ(Pixel(60, 60), 0x0000FFu);

  // The same square from static buffers with 16-bit indices, on the left.
  _gfxClear((GfxTarget)(GTA_COLOR | GTA_DEPTH), 0xFF0000FF, 1.0f, 0);
  const Vertex avCorners[4] = {
      {-1, -1, 0.5f, 1}, {-1, 1, 0.5f, 1}, {0, 1, 0.5f, 1}, {0, -1, 0.5f, 1}};
  const WORD auw[6] = {0, 1, 2, 0, 2, 3};
  const unsigned long hVertices = _gfxCreateStaticVertexBuffer(sizeof(avCorners), 0, avCorners);
  const unsigned long hIndices = _gfxCreateStaticVertexBuffer(sizeof(auw), 16, auw);
  ASSERT_NE(hVertices, 0u);
  ASSERT_NE(hIndices, 0u);
  _gfx_avbVertexBuffers[0] = VertexBuffer{(void *)hVertices, sizeof(avCorners), VBT_BUFFER};
  _gfx_avbVertexBuffers[1] = VertexBuffer{(void *)hIndices, sizeof(auw), VBT_INDEX16 | VBT_BUFFER};
  _gfxBindVertexBuffer(0, 1, GUT_FLOAT4, 0, 4, 0);
  _gfxIndexBuffer(2, 0, 0);
  _gfxDrawIndices(GPR_TRIANGLES, 2, 4, 0);
  EXPECT_TRUE(AllAre(Grab(0, 0, 31, 63), 0xFF0000));
  EXPECT_TRUE(AllAre(Grab(32, 0, 63, 63), 0x0000FF));
  _gfxReleaseStaticVertexBuffer(hVertices, 0);
  _gfxReleaseStaticVertexBuffer(hIndices, 1);
  _gfx_avbVertexBuffers[0] = _gfx_avbVertexBuffers[1] = VertexBuffer();

  // 32-bit index arrays, on the right.
  _gfxClear((GfxTarget)(GTA_COLOR | GTA_DEPTH), 0xFF0000FF, 1.0f, 0);
  const Vertex avRight[4] = {{0, -1, 0.5f, 1}, {0, 1, 0.5f, 1}, {1, 1, 0.5f, 1}, {1, -1, 0.5f, 1}};
  const unsigned long aul[6] = {0, 1, 2, 0, 2, 3};
  _gfxBindVertexArray(0, avRight, GUT_FLOAT4, sizeof(avRight), 0);
  _gfxIndexArray(aul, 6, GUT_INDEX32);
  _gfxDrawIndices(GPR_TRIANGLES, 2, 4, 0);
  EXPECT_TRUE(AllAre(Grab(32, 0, 63, 63), 0xFF0000));
  EXPECT_TRUE(AllAre(Grab(0, 0, 31, 63), 0x0000FF));

  // 16-bit index arrays, on the left, appended after the 32-bit ones and drawn from their start;
  // the first index is a vertex of the right half, so drawing from the wrong place shows.
  _gfxClear((GfxTarget)(GTA_COLOR | GTA_DEPTH), 0xFF0000FF, 1.0f, 0);
  const Vertex avBoth[8] = {{0, -1, 0.5f, 1},  {0, 1, 0.5f, 1},  {1, 1, 0.5f, 1}, {1, -1, 0.5f, 1},
                            {-1, -1, 0.5f, 1}, {-1, 1, 0.5f, 1}, {0, 1, 0.5f, 1}, {0, -1, 0.5f, 1}};
  const WORD auwLeft[6] = {4, 5, 6, 4, 6, 7};
  _gfxBindVertexArray(0, avBoth, GUT_FLOAT4, sizeof(avBoth), 0);
  _gfxIndexArray(auwLeft, 6, GUT_INDEX16);
  _gfxIndexArray(auwLeft, 6, GUT_INDEX16);
  _gfxDrawIndices(GPR_TRIANGLES, 2, 8, 0);
  EXPECT_TRUE(AllAre(Grab(0, 0, 31, 63), 0xFF0000));
  EXPECT_TRUE(AllAre(Grab(32, 0, 63, 63), 0x0000FF));
}

TEST_P(DrawPixels, TwentyThousandQuadsDrawAtBothEnds)
{
  Start(GetParam());
  Canvas(_strVertex, _strRed);
  // Quad k covers nothing but the last two: the first over the left half, the last the right.
  std::vector<Vertex> av(4 * 20000, Vertex{5, 5, 0.5f, 1});
  const Vertex avLeft[4] = {{-1, -1, 0.5f, 1}, {-1, 1, 0.5f, 1}, {0, 1, 0.5f, 1}, {0, -1, 0.5f, 1}};
  const Vertex avRight[4] = {{0, -1, 0.5f, 1}, {0, 1, 0.5f, 1}, {1, 1, 0.5f, 1}, {1, -1, 0.5f, 1}};
  memcpy(&av[0], avLeft, sizeof(avLeft));
  memcpy(&av[4 * 19999], avRight, sizeof(avRight));
  _gfxBindVertexArray(0, av.data(), GUT_FLOAT4, (long)(av.size() * sizeof(Vertex)), 0);
  _gfxDrawVertices(GPR_QUADS, 20000, 0);
  EXPECT_TRUE(AllAre(Grab(0, 0, 63, 63), 0xFF0000));
}

TEST_P(DrawPixels, TwentyThousandTrianglesAllDraw)
{
  Start(GetParam());
  Canvas(_strVertex, _strRed);
  // The first triangle pair covers the left half, the last the right; the others nothing.
  std::vector<Vertex> av(3 * 20000, Vertex{5, 5, 0.5f, 1});
  Square(&av[0], -1, -1, 0, 1);
  Square(&av[3 * 19998], 0, -1, 1, 1);
  _gfxBindVertexArray(0, av.data(), GUT_FLOAT4, (long)(av.size() * sizeof(Vertex)), 0);
  gfx_ctTriangles = 0;
  _gfxIssueQueryBegin(7);
  _gfxDrawVertices(GPR_TRIANGLES, 20000, 0);
  _gfxIssueQueryEnd(7);
  long ctPixels = 0;
  EXPECT_EQ(_gfxGetQueryResult(7, ctPixels, 0), 1);
  EXPECT_EQ(ctPixels, 64 * 64);
  _gfxReleaseQuery(7);
  EXPECT_EQ(gfx_ctTriangles, 20000);
  EXPECT_EQ(rec.dcr_ctDraws, 2);
  EXPECT_TRUE(AllAre(Grab(0, 0, 63, 63), 0xFF0000));
}

TEST_P(DrawPixels, AGrowingRingKeepsTheEarlierStreamOfTheSameDraw)
{
  d3d_ctCommonVertexBuffers = 2;
  d3d_iCommonVertexBuffersSize = 64;
  Start(GetParam());
  Canvas(_strVertexColour, _strFromTexcoord);
  // 6000 vertices of position and colour: each stream more than one 32 KiB buffer holds
  // together with the other.
  const long ct = 6000;
  std::vector<Vertex> avPos(ct, Vertex{5, 5, 0.5f, 1});
  std::vector<Vertex> avColour(ct, Vertex{0, 1, 0, 1});
  Square(&avPos[ct - 6], -1, -1, 1, 1);
  _gfxBindVertexArray(0, avPos.data(), GUT_FLOAT4, ct * sizeof(Vertex), 0);
  _gfxBindVertexArray(1, avColour.data(), GUT_FLOAT4, ct * sizeof(Vertex), 0);
  EXPECT_GT(rec.dcr_actCalls[DDM_CreateVertexBuffer], 0) << "the ring did not grow";
  // Binds only record their streams; the draw gives the device both, stream 0 in the grown
  // buffers (its old buffer is gone: drawing from it would not give these pixels).
  EXPECT_EQ(rec.dcr_actCalls[DDM_SetStreamSource], 0);
  _gfxDrawVertices(GPR_TRIANGLES, ct / 3, 0);
  EXPECT_EQ(rec.dcr_actCalls[DDM_SetStreamSource], 2);
  EXPECT_TRUE(AllAre(Grab(0, 0, 63, 63), 0x00FF00));

  // Arrays of earlier draws are not copied again when the ring grows: their memory may be gone.
  _gfxUnbindVertexBuffers();
  _pps->ps_rec = D3DCallRecord();
  memset(_pps->ps_aactLocks, 0, sizeof(_pps->ps_aactLocks));
  std::vector<Vertex> avMore(4 * ct, Vertex{0, 0, 0, 1});
  _gfxBindVertexArray(0, avMore.data(), GUT_FLOAT4, (long)(avMore.size() * sizeof(Vertex)), 0);
  EXPECT_EQ(rec.dcr_actCalls[DDM_CreateVertexBuffer], 2);
  EXPECT_EQ(_pps->ps_aactLocks[0][0] + _pps->ps_aactLocks[0][1] + _pps->ps_aactLocks[0][2], 1);
  _gfxDrawVertices(GPR_TRIANGLES, 1, 0);
  // Stream 0; under software processing stream 1, no longer used, gets the dummy stream.
  EXPECT_EQ(rec.dcr_actCalls[DDM_SetStreamSource], GetParam() ? 2 : 1);
}

// A stream bound again to what the device has is not set again; one bound and unbound without
// a draw costs no call at all.
TEST_F(Draw, StreamsReachTheDeviceOnlyWhenADrawUsesThemChanged)
{
  Start();
  const unsigned long hBuffer = _gfxCreateStaticVertexBuffer(256, 0, nullptr);
  ASSERT_NE(hBuffer, 0u);
  const long iEntry = 1;
  _gfx_avbVertexBuffers[iEntry - 1] = VertexBuffer{(void *)hBuffer, 256, VBT_BUFFER};
  const long ctBefore = rec.dcr_actCalls[DDM_SetStreamSource];
  _gfxBindVertexBuffer(0, iEntry, GUT_FLOAT4, 0, 0, 0);
  _gfxUnbindVertexBuffers();
  EXPECT_EQ(rec.dcr_actCalls[DDM_SetStreamSource], ctBefore);
  _gfxBindVertexBuffer(0, iEntry, GUT_FLOAT4, 0, 0, 0);
  _gfxDrawVertices(GPR_TRIANGLES, 1, 0);
  EXPECT_EQ(rec.dcr_actCalls[DDM_SetStreamSource], ctBefore + 1);
  _gfxUnbindVertexBuffers();
  _gfxBindVertexBuffer(0, iEntry, GUT_FLOAT4, 0, 0, 0);
  _gfxDrawVertices(GPR_TRIANGLES, 1, 0);
  EXPECT_EQ(rec.dcr_actCalls[DDM_SetStreamSource], ctBefore + 1);
  // Another offset is another stream.
  _gfxUnbindVertexBuffers();
  _gfxBindVertexBuffer(0, iEntry, GUT_FLOAT4, 16, 0, 0);
  _gfxDrawVertices(GPR_TRIANGLES, 1, 0);
  EXPECT_EQ(rec.dcr_actCalls[DDM_SetStreamSource], ctBefore + 2);
  _gfxUnbindVertexBuffers();
  _gfx_avbVertexBuffers[iEntry - 1] = VertexBuffer();
  _gfxReleaseStaticVertexBuffer(hBuffer, 0);
}

INSTANTIATE_TEST_SUITE_P(Processing, DrawPixels, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool> &tpi) {
                           return tpi.param ? "Software" : "Hardware";
                         });

} // namespace
