// The render-state slots: what they send the device (recorded), what the device holds afterwards
// (read back), and what a clear under a scissor leaves in the pixels.
#include "BackendFixture.h"

namespace {

using namespace QuennelEngine;
using QuennelEngine::Test::Backend;

class RenderState : public Backend {
protected:
  void SetUp() override
  {
    Backend::SetUp();
    _pps->ps_bRecord = 1;
  }
  // A windowed device with the default state sent; the record starts empty after it.
  void Start(void) { StartRecorded(); }
  // What the real device holds for a state (the wrapper forwards the read).
  static DWORD DeviceState(D3DRENDERSTATETYPE eState)
  {
    IDirect3DDevice9 *pDevice = nullptr;
    ((IDirect3DSurface9 *)_gfx_pcaCommon->ca_pDepth)->GetDevice(&pDevice);
    DWORD dw = 0xDEADBEEF;
    if (pDevice != nullptr) {
      pDevice->GetRenderState(eState, &dw);
      pDevice->Release();
    }
    return dw;
  }
  static DWORD Bits(float f)
  {
    DWORD dw;
    memcpy(&dw, &f, sizeof(dw));
    return dw;
  }
  const D3DCallRecord &rec = _pps->ps_rec;
};

TEST_F(RenderState, DefaultStateAndEveryRedundantCallMakeNoDeviceCall)
{
  Start();
  // The device got the default state with the mirrors.
  EXPECT_EQ(DeviceState(D3DRS_ZFUNC), (DWORD)D3DCMP_LESSEQUAL);
  EXPECT_EQ(DeviceState(D3DRS_CULLMODE), (DWORD)D3DCULL_CW);
  EXPECT_EQ(DeviceState(D3DRS_ALPHAFUNC), (DWORD)D3DCMP_GREATER);
  EXPECT_EQ(DeviceState(D3DRS_ALPHAREF), 128u);
  EXPECT_EQ(DeviceState(D3DRS_SRCBLEND), (DWORD)D3DBLEND_ONE);
  EXPECT_EQ(DeviceState(D3DRS_DESTBLEND), (DWORD)D3DBLEND_ZERO);
  EXPECT_EQ(DeviceState(D3DRS_FOGEND), Bits(99999.0f));
  _pps->ps_rec = D3DCallRecord();

  _gfxDisableDepthWrite();
  _gfxDisableDepthBuffer();
  _gfxDisableAlphaTest();
  _gfxDisableBlend();
  _gfxDisableClipPlane();
  _gfxDisableFog();
  _gfxBlendFunc(GBL_ONE, GBL_ZERO);
  _gfxAlphaFunc(GCP_GREATER, 0.5f);
  _gfxDepthFunc(GCP_LESS_OR_EQUAL);
  _gfxDepthRange(0.0f, 1.0f);
  _gfxCullFace(GFF_BACK);
  _gfxFrontFace(GFF_CCW); // the default orientation
  _gfxPolygonMode(GPM_FILL);
  _gfxPolygonOffset(0.0f, 0.0f);
  _gfxPointSize(1.0f);
  _gfxLineWidth(1.0f);
  _gfxMaskColorChannel(1, 1, 1, 1);
  _gfxFogColor(0);
  _gfxFogRange(88888.0f, 99999.0f);
  _gfxScissor(0, 0, -1, -1);
  const float afZero[4] = {};
  _gfxClipPlane(afZero);
  EXPECT_EQ(rec.Total(), 0);

  // A changed state repeated is sent once.
  _gfxEnableBlend();
  _gfxEnableBlend();
  _gfxDepthFunc(GCP_ALWAYS);
  _gfxDepthFunc(GCP_ALWAYS);
  _gfxCullFace(GFF_NONE);
  _gfxCullFace(GFF_NONE);
  _gfxCullFace(GFF_INVERSE); // nothing to swap while nothing is culled
  EXPECT_EQ(rec.Total(), 3);
}

TEST_F(RenderState, ChangesSendExactlyTheirStateWithTheTableValues)
{
  Start();
  struct Case {
    void (*pfn)(void);
    D3DRENDERSTATETYPE eState;
    DWORD dwValue;
  };
  const Case acase[] = {
      {[] { _gfxEnableDepthBuffer(); }, D3DRS_ZENABLE, TRUE},
      {[] { _gfxEnableDepthWrite(); }, D3DRS_ZWRITEENABLE, TRUE},
      {[] { _gfxEnableAlphaTest(); }, D3DRS_ALPHATESTENABLE, TRUE},
      {[] { _gfxEnableBlend(); }, D3DRS_ALPHABLENDENABLE, TRUE},
      {[] { _gfxEnableFog(); }, D3DRS_FOGENABLE, TRUE},
      {[] { _gfxFogColor(0xFF102030); }, D3DRS_FOGCOLOR, 0xFF102030},
      {[] { _gfxDepthFunc(GCP_GREATER_OR_EQUAL); }, D3DRS_ZFUNC, D3DCMP_GREATEREQUAL},
      {[] { _gfxDepthFunc(GCP_NOT_EQUAL); }, D3DRS_ZFUNC, D3DCMP_NOTEQUAL},
      {[] { _gfxDepthFunc(GCP_EQUAL); }, D3DRS_ZFUNC, D3DCMP_EQUAL},
      {[] { _gfxAlphaFunc(GCP_LESS, 0.5f); }, D3DRS_ALPHAFUNC, D3DCMP_LESS},
      {[] { _gfxAlphaFunc(GCP_LESS, 1.5f); }, D3DRS_ALPHAREF, 255},
      {[] { _gfxAlphaFunc(GCP_LESS, -1.0f); }, D3DRS_ALPHAREF, 0},
      {[] { _gfxBlendFunc(GBL_SRCALPHA, GBL_ZERO); }, D3DRS_SRCBLEND, D3DBLEND_SRCALPHA},
      {[] { _gfxBlendFunc(GBL_SRCALPHA, GBL_INVSRCALPHA); }, D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA},
      {[] { _gfxBlendFunc(GBL_DSTCOLOR, GBL_INVSRCALPHA); }, D3DRS_SRCBLEND, D3DBLEND_DESTCOLOR},
      {[] { _gfxBlendFunc(GBL_DSTCOLOR, GBL_INVDSTCOLOR); }, D3DRS_DESTBLEND,
       D3DBLEND_INVDESTCOLOR},
      {[] { _gfxPolygonMode(GPM_LINE); }, D3DRS_FILLMODE, D3DFILL_WIREFRAME},
      {[] { _gfxPolygonMode(GPM_POINT); }, D3DRS_FILLMODE, D3DFILL_POINT},
      {[] { _gfxCullFace(GFF_FRONT); }, D3DRS_CULLMODE, D3DCULL_CCW},
      {[] { _gfxCullFace(GFF_INVERSE); }, D3DRS_CULLMODE, D3DCULL_CW},
      {[] { _gfxCullFace(GFF_INVERSE); }, D3DRS_CULLMODE, D3DCULL_CCW},
      {[] { _gfxFrontFace(GFF_CW); }, D3DRS_CULLMODE, D3DCULL_CW},
      {[] { _gfxFrontFace(GFF_INVERSE); }, D3DRS_CULLMODE, D3DCULL_CCW},
      {[] { _gfxMaskColorChannel(1, 0, 1, 0); }, D3DRS_COLORWRITEENABLE,
       D3DCOLORWRITEENABLE_RED | D3DCOLORWRITEENABLE_BLUE},
      {[] { _gfxDisableBlend(); }, D3DRS_ALPHABLENDENABLE, FALSE},
  };
  ASSERT_NE(gfx_ulFlags & GLF_COLORMASK, 0u);
  for (const Case &c : acase) {
    const long ctTotal = rec.Total();
    const long ctSets = rec.dcr_actRenderStateSets[c.eState];
    c.pfn();
    EXPECT_EQ(rec.Total(), ctTotal + 1) << "state " << c.eState;
    EXPECT_EQ(rec.dcr_actRenderStateSets[c.eState], ctSets + 1) << "state " << c.eState;
    EXPECT_EQ(rec.dcr_adwRenderState[c.eState], c.dwValue) << "state " << c.eState;
    EXPECT_EQ(DeviceState(c.eState), c.dwValue) << "state " << c.eState;
  }
  EXPECT_EQ(_gfx_fAlphaRef, 0.0f);
  EXPECT_EQ(_gfx_ulCurrentColorMask, 0xFF00FF00u);
}

TEST_F(RenderState, EdgeCasesOfReferenceDepthRangeCullingAndSwitchesTurnedOff)
{
  Start();
  _gfxAlphaFunc(GCP_GREATER, 1.5f);
  EXPECT_EQ(_gfx_fAlphaRef, 1.0f);
  EXPECT_EQ(rec.dcr_adwRenderState[D3DRS_ALPHAREF], 255u);
  EXPECT_EQ(rec.dcr_actRenderStateSets[D3DRS_ALPHAFUNC], 0);

  // The range keeps a minimal depth and goes into the current viewport.
  _gfxDepthRange(0.5f, 0.5f);
  EXPECT_EQ(_gfx_fDepthNear, 0.5f);
  EXPECT_FLOAT_EQ(_gfx_fDepthFar, 0.501f);
  EXPECT_EQ(rec.dcr_vpLast.MinZ, 0.5f);
  EXPECT_FLOAT_EQ(rec.dcr_vpLast.MaxZ, 0.501f);
  EXPECT_EQ(rec.dcr_vpLast.Width, 32u); // the rest of the viewport as it was
  _gfxDepthRange(2.0f, -1.0f);
  EXPECT_FLOAT_EQ(_gfx_fDepthNear, 0.999f);
  EXPECT_FLOAT_EQ(_gfx_fDepthFar, 1.0f);

  // With the other orientation the face sent is swapped; the mirror keeps the one asked for.
  _gfxFrontFace(GFF_CW);
  EXPECT_EQ(_gfx_iFrontFace, 0);
  EXPECT_EQ(_swr_bFrontFace, 0);
  EXPECT_EQ(rec.dcr_adwRenderState[D3DRS_CULLMODE], (DWORD)D3DCULL_CCW);
  _gfxCullFace(GFF_FRONT);
  EXPECT_EQ(_gfx_eCullFace, GFF_FRONT);
  EXPECT_EQ(rec.dcr_adwRenderState[D3DRS_CULLMODE], (DWORD)D3DCULL_CW);
  // Without culling the orientation changes nothing on the device.
  _gfxCullFace(GFF_NONE);
  const long ctCull = rec.dcr_actRenderStateSets[D3DRS_CULLMODE];
  _gfxFrontFace(GFF_CCW);
  EXPECT_EQ(_swr_bFrontFace, 1);
  EXPECT_EQ(_gfx_iFrontFace, 1);
  EXPECT_EQ(rec.dcr_actRenderStateSets[D3DRS_CULLMODE], ctCull);

  // Switches the engine turned off stay off.
  gfx_bNoAlphaBlending = 1;
  gfx_bNoAlphaTesting = 1;
  _gfxEnableBlend();
  _gfxEnableAlphaTest();
  EXPECT_EQ(_gfx_bBlending, 0);
  EXPECT_EQ(_gfx_bAlphaTest, 0);
  EXPECT_EQ(rec.dcr_actRenderStateSets[D3DRS_ALPHABLENDENABLE], 0);

  // The line width is only kept, clamped.
  const long ctTotal = rec.Total();
  _gfxLineWidth(100.0f);
  EXPECT_EQ(_gfx_fLineWidth, gfx_fMaxLineWidth);
  EXPECT_EQ(rec.Total(), ctTotal);
}

TEST_F(RenderState, FloatStatesTravelAsFloatBits)
{
  Start();
  _gfxFogRange(10.5f, 250.25f);
  EXPECT_EQ(DeviceState(D3DRS_FOGSTART), Bits(10.5f));
  EXPECT_EQ(DeviceState(D3DRS_FOGEND), Bits(250.25f));
  EXPECT_EQ(rec.dcr_actRenderStateSets[D3DRS_FOGSTART], 1);
  _gfxFogRange(10.5f, 300.0f); // only the end changed
  EXPECT_EQ(rec.dcr_actRenderStateSets[D3DRS_FOGSTART], 1);
  EXPECT_EQ(DeviceState(D3DRS_FOGEND), Bits(300.0f));

  if (gfx_ulFlags & GLF_DEPTHBIAS) {
    _gfxPolygonOffset(1.5f, -2.0f * 65536.0f);
    EXPECT_EQ(DeviceState(D3DRS_SLOPESCALEDEPTHBIAS), Bits(1.5f));
    EXPECT_EQ(DeviceState(D3DRS_DEPTHBIAS), Bits(-2.0f));
    EXPECT_EQ(_gfx_fDepthScale, 1.5f);
  }
  gfx_fMaxPointSize = 64.0f;
  _gfxPointSize(100.0f);
  EXPECT_EQ(_gfx_fPointSize, 64.0f);
  EXPECT_EQ(DeviceState(D3DRS_POINTSIZE), Bits(64.0f));
  _gfxPointSize(2.5f);
  EXPECT_EQ(DeviceState(D3DRS_POINTSIZE), Bits(2.5f));
  // A device of one-pixel points only keeps the size.
  gfx_fMaxPointSize = 1.0f;
  const long ctSets = rec.dcr_actRenderStateSets[D3DRS_POINTSIZE];
  _gfxPointSize(0.0f);
  EXPECT_EQ(_gfx_fPointSize, 0.01f);
  EXPECT_EQ(rec.dcr_actRenderStateSets[D3DRS_POINTSIZE], ctSets);
}

TEST_F(RenderState, ColourMaskWithoutWriteMasksIsBlendingThatRestoresTheBlendState)
{
  _pps->ps_dwMiscCapsOff = D3DPMISCCAPS_COLORWRITEENABLE;
  Start();
  ASSERT_EQ(gfx_ulFlags & GLF_COLORMASK, 0u);
  _gfxBlendFunc(GBL_SRCALPHA, GBL_INVSRCALPHA);
  _gfxMaskColorChannel(0, 0, 0, 0);
  EXPECT_EQ(_gfx_ulCurrentColorMask, 0u);
  EXPECT_EQ(_gfx_bBlending, 1);
  EXPECT_EQ(DeviceState(D3DRS_ALPHABLENDENABLE), (DWORD)TRUE);
  EXPECT_EQ(DeviceState(D3DRS_SRCBLEND), (DWORD)D3DBLEND_ZERO);
  EXPECT_EQ(DeviceState(D3DRS_DESTBLEND), (DWORD)D3DBLEND_ONE);
  EXPECT_EQ(rec.dcr_actRenderStateSets[D3DRS_COLORWRITEENABLE], 0);
  // Blend factors wait for the mask.
  _gfxBlendFunc(GBL_ONE, GBL_ONE);
  EXPECT_EQ(DeviceState(D3DRS_DESTBLEND), (DWORD)D3DBLEND_ONE);
  EXPECT_EQ(DeviceState(D3DRS_SRCBLEND), (DWORD)D3DBLEND_ZERO);
  // Masked partly is as good as unmasked here: the blend state from before comes back.
  _gfxMaskColorChannel(1, 0, 0, 0);
  EXPECT_EQ(_gfx_bBlending, 0);
  EXPECT_EQ(_gfx_eBlendSrc, GBL_SRCALPHA);
  EXPECT_EQ(_gfx_eBlendDst, GBL_INVSRCALPHA);
  EXPECT_EQ(DeviceState(D3DRS_ALPHABLENDENABLE), (DWORD)FALSE);
  EXPECT_EQ(DeviceState(D3DRS_SRCBLEND), (DWORD)D3DBLEND_SRCALPHA);
  EXPECT_EQ(DeviceState(D3DRS_DESTBLEND), (DWORD)D3DBLEND_INVSRCALPHA);
  // Blending that was on stays on.
  _gfxEnableBlend();
  _gfxMaskColorChannel(0, 0, 0, 0);
  _gfxMaskColorChannel(1, 1, 1, 1);
  EXPECT_EQ(DeviceState(D3DRS_ALPHABLENDENABLE), (DWORD)TRUE);
  EXPECT_EQ(DeviceState(D3DRS_SRCBLEND), (DWORD)D3DBLEND_SRCALPHA);
  // Switching blending while masked keeps the mask, and is what the unmasking brings back.
  _gfxMaskColorChannel(0, 0, 0, 0);
  _gfxDisableBlend();
  EXPECT_EQ(DeviceState(D3DRS_ALPHABLENDENABLE), (DWORD)TRUE);
  _gfxMaskColorChannel(1, 1, 1, 1);
  EXPECT_EQ(DeviceState(D3DRS_ALPHABLENDENABLE), (DWORD)FALSE);
}

TEST_F(RenderState, ScissorIsClippedToTheDrawPortAndAnEmptyOneClearsNothing)
{
  Start();
  CCanvas cv;
  cv.cv_pcaAPI = _gfxNewRenderCanvas(64, 64, GCF_XRGB8, GCF_SHAREDDEPTH, 0);
  ASSERT_NE(cv.cv_pcaAPI, nullptr);
  Target(&cv, 64, 64);
  _gfxClear(GTA_COLOR, 0xFFFF0000, 1.0f, 0);
  _gfxScissor(8, 8, 16, 16);
  EXPECT_EQ(_gfx_bScissor, 1);
  EXPECT_EQ(DeviceState(D3DRS_SCISSORTESTENABLE), (DWORD)TRUE);
  _gfxClear(GTA_COLOR, 0xFF00FF00, 1.0f, 0);
  EXPECT_TRUE(AllAre(Grab(8, 8, 23, 23), 0x00FF00));
  EXPECT_TRUE(AllAre(Grab(24, 8, 24, 23), 0xFF0000));
  EXPECT_TRUE(AllAre(Grab(8, 7, 23, 7), 0xFF0000));
  // Nothing of the box on the draw port: nothing cleared.
  _gfxScissor(100, 100, 5, 5);
  EXPECT_EQ(_gfx_bScissor, 1);
  EXPECT_EQ(_gfx_iScissorWidth, 0);
  _gfxClear(GTA_COLOR, 0xFF0000FF, 1.0f, 0);
  for (unsigned long ul : Grab(0, 0, 63, 63)) ASSERT_NE(ul, 0x0000FFu);
  EXPECT_TRUE(AllAre(Grab(8, 8, 23, 23), 0x00FF00));

  // Draw-port coordinates are offset and clipped to the port.
  m_dp.dp_iLeft = 10;
  m_dp.dp_iTop = 20;
  m_dp.dp_iWidth = 30;
  m_dp.dp_iHeight = 40;
  _gfxScissor(-5, 35, 10, 10);
  EXPECT_EQ(_gfx_iScissorLeft, 10);
  EXPECT_EQ(_gfx_iScissorTop, 55);
  EXPECT_EQ(_gfx_iScissorWidth, 5);
  EXPECT_EQ(_gfx_iScissorHeight, 5);
  EXPECT_EQ(rec.dcr_rcScissor.left, 10);
  EXPECT_EQ(rec.dcr_rcScissor.top, 55);
  EXPECT_EQ(rec.dcr_rcScissor.right, 15);
  EXPECT_EQ(rec.dcr_rcScissor.bottom, 60);
  const long ctRects = rec.dcr_actCalls[DDM_SetScissorRect];
  _gfxScissor(-5, 35, 10, 10);
  EXPECT_EQ(rec.dcr_actCalls[DDM_SetScissorRect], ctRects);
  // A new render area turns the test off on the device, and the mirror follows: the same box
  // is then sent again.
  _gfxCurrentRenderArea(&m_dp);
  EXPECT_EQ(_gfx_bScissor, 0);
  _gfxScissor(-5, 35, 10, 10);
  EXPECT_EQ(rec.dcr_actCalls[DDM_SetScissorRect], ctRects + 1);
  EXPECT_EQ(DeviceState(D3DRS_SCISSORTESTENABLE), (DWORD)TRUE);
  // A box over the whole port, a negative size or no draw port: the test goes off.
  _gfxScissor(-10, -10, 100, 100);
  EXPECT_EQ(_gfx_bScissor, 0);
  EXPECT_EQ(DeviceState(D3DRS_SCISSORTESTENABLE), (DWORD)FALSE);
  _gfxScissor(1, 1, 2, 2);
  _gfxScissor(1, 1, -1, 2);
  EXPECT_EQ(_gfx_bScissor, 0);
  _gfxScissor(1, 1, 2, 2);
  _gfx_pdpCurrent = nullptr;
  _gfxScissor(1, 1, 2, 2);
  EXPECT_EQ(_gfx_bScissor, 0);
  EXPECT_EQ(_gfx_iScissorWidth, 0);
  _gfxReleaseCanvas(&cv);
}

TEST_F(RenderState, ProjectionIsCopiedWithoutADrawPortAndOffsetWithOne)
{
  Start();
  Matrix44f m(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 0, 0, 1, 0);
  _gfxProjectionMatrix(m);
  EXPECT_EQ(memcmp(&_gfx_mCurrentProjection, &m, sizeof(m)), 0);
  EXPECT_EQ(memcmp(&_gfx_mAdjustedProjection, &m, sizeof(m)), 0);
  CDrawPort dp;
  dp.dp_iWidth = 100;
  dp.dp_iHeight = 50;
  _gfx_pdpCurrent = &dp;
  _gfxProjectionMatrix(m);
  EXPECT_EQ(memcmp(&_gfx_mCurrentProjection, &m, sizeof(m)), 0);
  // Only the x and y rows move, by 0.99 of half a pixel through the w row.
  EXPECT_FLOAT_EQ(_gfx_mAdjustedProjection.m[0][2], 3.0f - 0.99f / 100.0f);
  EXPECT_FLOAT_EQ(_gfx_mAdjustedProjection.m[1][2], 7.0f + 0.99f / 50.0f);
  EXPECT_EQ(_gfx_mAdjustedProjection.m[0][0], 1.0f);
  EXPECT_EQ(_gfx_mAdjustedProjection.m[2][2], 11.0f);
  EXPECT_EQ(_gfx_mAdjustedProjection.m[3][2], 1.0f);
}

TEST_F(RenderState, ClipPlaneGoesToTheDeviceOnlyWithUserClipPlanes)
{
  Start();
  const float afPlane[4] = {0.0f, 1.0f, 0.0f, -2.0f};
  _gfxEnableClipPlane();
  _gfxClipPlane(afPlane);
  _gfxClipPlane(afPlane);
  EXPECT_EQ(_gfx_bClipPlane, 1);
  const long ctExpected = (gfx_ulFlags & GLF_CLIPPLANE) ? 1 : 0;
  EXPECT_EQ(rec.dcr_actCalls[DDM_SetClipPlane], ctExpected);
  EXPECT_EQ(rec.dcr_actRenderStateSets[D3DRS_CLIPPLANEENABLE], ctExpected);
  if (ctExpected) {
    EXPECT_EQ(DeviceState(D3DRS_CLIPPLANEENABLE), 1u);
  }
}

} // namespace
