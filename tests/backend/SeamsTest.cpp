// The backend through its test seams: what it sends the device (recorded), branches of
// capabilities Wine never reports, a given mode list, multisampling and depth formats refused,
// and a real full-screen device lost and reset.
#include "BackendFixture.h"

namespace {

using namespace QuennelEngine;
using QuennelEngine::Test::Backend;
using QuennelEngine::Test::ExternalBytes;

D3DDISPLAYMODE Mode(UINT uWidth, UINT uHeight, D3DFORMAT fmt = D3DFMT_X8R8G8B8)
{
  D3DDISPLAYMODE dm = {uWidth, uHeight, 60, fmt};
  return dm;
}

// The format of a Direct3D surface kept in a canvas record.
D3DFORMAT SurfaceFormat(void *pvSurface)
{
  D3DSURFACE_DESC sd = {};
  if (pvSurface == nullptr) return D3DFMT_UNKNOWN;
  ((IDirect3DSurface9 *)pvSurface)->GetDesc(&sd);
  return sd.Format;
}

TEST_F(Backend, ModeFilterKeepsUsableSizesOnceAndEnumeratesOnlyOnce)
{
  const D3DDISPLAYMODE adm[] = {
      Mode(1280, 1024), Mode(1024, 768), Mode(1280, 720),           Mode(640, 480),
      Mode(600, 480),   Mode(1024, 768), Mode(800, 600, D3DFMT_P8), Mode(2560, 1080),
  };
  _pps->ps_bModes = 1;
  _pps->ps_ctModes = sizeof(adm) / sizeof(adm[0]);
  memcpy(_pps->ps_adm, adm, sizeof(adm));
  long iWidth, iHeight;
  StartWindowed(iWidth, iHeight);
  const GfxAdapter &ad = gfx_gaAPIs[GAT_D3D].ga_aAdapters[0];
  ASSERT_EQ(ad.ga_ctModes, 3);
  EXPECT_EQ(ad.ga_adm[0].dm_iWidth, 1024);
  EXPECT_EQ(ad.ga_adm[0].dm_iHeight, 768);
  EXPECT_EQ(ad.ga_adm[1].dm_iWidth, 1280);
  EXPECT_EQ(ad.ga_adm[1].dm_iHeight, 720);
  EXPECT_EQ(ad.ga_adm[2].dm_iWidth, 640);
  EXPECT_EQ(ad.ga_adm[2].dm_iHeight, 480);
  // A second start-up keeps the list it has.
  _pps->ps_ctModes = 1;
  StartWindowed(iWidth, iHeight);
  EXPECT_EQ(gfx_gaAPIs[GAT_D3D].ga_aAdapters[0].ga_ctModes, 3);
  // At most 50 modes are kept, the enumeration stopping there.
  _gfxShutdown();
  gfx_gaAPIs[GAT_D3D].ga_bFilled = 0;
  _pps->ps_ctModes = 0;
  StartWindowed(iWidth, iHeight);
  EXPECT_EQ(gfx_gaAPIs[GAT_D3D].ga_aAdapters[0].ga_ctModes, 0);
}

TEST_F(Backend, MultisamplingIsLoweredOneSampleAtATimeUntilAccepted)
{
  long iWidth, iHeight;
  // Nothing asked: nothing tried.
  StartWindowed(iWidth, iHeight);
  EXPECT_EQ(_pps->ps_ctSamplesTried, 0);
  EXPECT_EQ(gfx_ctAntiAliasingSamples, 1);
  EXPECT_EQ(_pps->ps_ppCreated.MultiSampleType, D3DMULTISAMPLE_NONE);

  // 2 asks for 4 samples; only 2 are offered: 4, 3, then 2 are tried.
  gfx_iAntiAliasing = 2;
  _pps->ps_ctMaxSamples = 2;
  _pps->ps_ctSamplesTried = 0;
  StartWindowed(iWidth, iHeight);
  ASSERT_GE(_pps->ps_ctSamplesTried, 3);
  EXPECT_EQ(_pps->ps_actSamplesTried[0], 4);
  EXPECT_EQ(_pps->ps_actSamplesTried[1], 3);
  EXPECT_EQ(_pps->ps_actSamplesTried[2], 2);
  if (gfx_ctAntiAliasingSamples == 2) {
    EXPECT_EQ(_pps->ps_ctSamplesTried, 3);
    EXPECT_EQ(_pps->ps_ppCreated.MultiSampleType, D3DMULTISAMPLE_2_SAMPLES);
    // Canvases made afterwards take the same multisample type.
    D3DSURFACE_DESC sd;
    ((IDirect3DSurface9 *)_gfx_pcaCommon->ca_pDepth)->GetDesc(&sd);
    EXPECT_EQ(sd.MultiSampleType, D3DMULTISAMPLE_2_SAMPLES);
  } else {
    EXPECT_EQ(gfx_ctAntiAliasingSamples, 1);
  }

  // None offered at all: down to one sample, no multisampling.
  _pps->ps_ctMaxSamples = 1;
  _pps->ps_ctSamplesTried = 0;
  gfx_iAntiAliasing = 9; // clamped to 16 samples
  StartWindowed(iWidth, iHeight);
  EXPECT_EQ(_pps->ps_ctSamplesTried, 15);
  EXPECT_EQ(_pps->ps_actSamplesTried[0], 16);
  EXPECT_EQ(gfx_ctAntiAliasingSamples, 1);
  EXPECT_EQ(_pps->ps_ppCreated.MultiSampleType, D3DMULTISAMPLE_NONE);
}

TEST_F(Backend, ThirtyTwoBitDepthFallsBackToD24X8ThenToD24S8WithStencil)
{
  long iWidth, iHeight;
  _pps->ps_afmtRefusedDepth[0] = D3DFMT_D32;
  StartWindowed(iWidth, iHeight);
  const D3DFORMAT fmtSecond = SurfaceFormat(_gfx_pcaCommon->ca_pDepth);
  EXPECT_TRUE(fmtSecond == D3DFMT_D24X8 || fmtSecond == D3DFMT_D24S8) << fmtSecond;
  EXPECT_EQ((gfx_ulFlags & GLF_STENCIL) != 0, fmtSecond == D3DFMT_D24S8);

  _pps->ps_afmtRefusedDepth[1] = D3DFMT_D24X8;
  StartWindowed(iWidth, iHeight);
  EXPECT_EQ(SurfaceFormat(_gfx_pcaCommon->ca_pDepth), D3DFMT_D24S8);
  EXPECT_NE(gfx_ulFlags & GLF_STENCIL, 0u);
  EXPECT_EQ(_gfx_pcaCommon->ca_eDepthFormat, GCF_DEPTH24);
}

TEST_F(Backend, CapabilitiesWineNeverLacksAreReadWhenMissing)
{
  long iWidth, iHeight;
  _pps->ps_dwCapsOff = D3DCAPS_READ_SCANLINE;
  _pps->ps_dwTextureCapsOn = D3DPTEXTURECAPS_POW2;
  _pps->ps_dwTextureCapsOff = D3DPTEXTURECAPS_NONPOW2CONDITIONAL;
  _pps->ps_dwMiscCapsOff = D3DPMISCCAPS_COLORWRITEENABLE;
  _pps->ps_dwMaxVertexIndex = 0xFFFF;
  gfx_iWaitVSyncs = 1;
  StartWindowed(iWidth, iHeight);
  EXPECT_EQ(gfx_ulFlags & (GLF_VSYNC | GLF_NONPOW2 | GLF_COLORMASK | GLF_32BITINDICES), 0u);
  // Without the scan line the device waits for the blank itself.
  EXPECT_EQ(_pps->ps_ppCreated.PresentationInterval, (UINT)D3DPRESENT_INTERVAL_ONE);
  // Power-of-two textures only: a texture canvas grows to the next powers of two.
  CTextureCanvas tc;
  long hTexture = 0;
  tc.cv_pcaAPI = _gfxNewTextureCanvas(30, 20, 0, GCF_XRGB8, GCF_SHAREDDEPTH, hTexture);
  ASSERT_NE(tc.cv_pcaAPI, nullptr);
  tc.tc_hTexture = hTexture;
  const CTextureParams &tp = _gfx_atpTextures[hTexture - 1];
  EXPECT_EQ(tp.tp_uwWidth, 32);
  EXPECT_EQ(tp.tp_uwHeight, 32);
  EXPECT_EQ(tp.tp_ulFlags & 8, 0u);
  D3DSURFACE_DESC sd;
  ((IDirect3DTexture9 *)tc.cv_pcaAPI->ca_pColor)->GetLevelDesc(0, &sd);
  EXPECT_EQ(sd.Width, 32u);
  EXPECT_EQ(sd.Height, 32u);
  _gfxReleaseCanvas(&tc);

  // With the scan line readable and sizes free (what Wine reports) the other branches.
  *_pps = PrismelSeams();
  StartWindowed(iWidth, iHeight);
  if (gfx_ulFlags & GLF_VSYNC) {
    EXPECT_EQ(_pps->ps_ppCreated.PresentationInterval, (UINT)D3DPRESENT_INTERVAL_IMMEDIATE);
  }
  if (gfx_ulFlags & GLF_NONPOW2) {
    tc.cv_pcaAPI = _gfxNewTextureCanvas(30, 20, 0, GCF_XRGB8, GCF_SHAREDDEPTH, hTexture);
    ASSERT_NE(tc.cv_pcaAPI, nullptr);
    tc.tc_hTexture = hTexture;
    EXPECT_EQ(_gfx_atpTextures[hTexture - 1].tp_uwWidth, 30);
    EXPECT_EQ(_gfx_atpTextures[hTexture - 1].tp_ulFlags & 8, 8u);
    _gfxReleaseCanvas(&tc);
  }
}

TEST_F(Backend, VerticalSyncSettingsAreClampedExceptTheCodedCounts)
{
  long iWidth, iHeight;
  gfx_iWaitVSyncs = 7;
  StartWindowed(iWidth, iHeight);
  EXPECT_EQ(gfx_iWaitVSyncs, 4);
  EXPECT_EQ(_gfxPresent(nullptr, 1), 1);
  EXPECT_EQ(gfx_iWaitVSyncs, 4);
  gfx_iWaitVSyncs = 18;
  StartWindowed(iWidth, iHeight);
  EXPECT_EQ(gfx_iWaitVSyncs, 18);
  EXPECT_EQ(_gfxPresent(nullptr, 1), 1);
  EXPECT_EQ(gfx_iWaitVSyncs, 18);
  gfx_iWaitVSyncs = -3;
  StartWindowed(iWidth, iHeight);
  EXPECT_EQ(gfx_iWaitVSyncs, 0);
}

TEST_F(Backend, RecordedCallsShowViewportsClearsAndTheLazyScene)
{
  _pps->ps_bRecord = 1;
  long iWidth, iHeight;
  StartWindowed(iWidth, iHeight);
  const D3DCallRecord &rec = _pps->ps_rec;
  // The default state: a 32 x 32 viewport, lighting off, dithering on.
  EXPECT_EQ(rec.dcr_vpLast.Width, 32u);
  EXPECT_EQ(rec.dcr_adwRenderState[D3DRS_LIGHTING], (DWORD)FALSE);
  EXPECT_EQ(rec.dcr_adwRenderState[D3DRS_DITHERENABLE], (DWORD)TRUE);
  EXPECT_EQ(rec.dcr_actCalls[DDM_BeginScene], 0);

  CCanvas cv;
  cv.cv_pcaAPI = _gfxNewRenderCanvas(64, 64, GCF_XRGB8, GCF_SHAREDDEPTH, 0);
  ASSERT_NE(cv.cv_pcaAPI, nullptr);
  _gfxCurrentRenderTarget(&cv, -1);
  EXPECT_EQ((void *)rec.dcr_adwArgs[DDM_SetRenderTarget][1], cv.cv_pcaAPI->ca_pColor);
  // Shared depth: the common canvas's surface.
  EXPECT_EQ((void *)rec.dcr_adwArgs[DDM_SetDepthStencilSurface][0], _gfx_pcaCommon->ca_pDepth);
  CDrawPort dp;
  dp.dp_pcv = &cv;
  dp.dp_iLeft = 10;
  dp.dp_iTop = 20;
  dp.dp_iWidth = 30;
  dp.dp_iHeight = 40;
  _gfx_fDepthNear = 0.25f;
  _gfx_fDepthFar = 0.75f;
  _gfxCurrentRenderArea(&dp);
  EXPECT_EQ(rec.dcr_actCalls[DDM_BeginScene], 1);
  EXPECT_EQ(rec.dcr_vpLast.X, 10u);
  EXPECT_EQ(rec.dcr_vpLast.Y, 20u);
  EXPECT_EQ(rec.dcr_vpLast.Width, 30u);
  EXPECT_EQ(rec.dcr_vpLast.Height, 40u);
  EXPECT_EQ(rec.dcr_vpLast.MinZ, 0.25f);
  EXPECT_EQ(rec.dcr_vpLast.MaxZ, 0.75f);
  EXPECT_EQ(rec.dcr_adwRenderState[D3DRS_SCISSORTESTENABLE], (DWORD)FALSE);
  _gfx_pdpCurrent = &dp;

  // The whole draw port clears without rectangles, less of it with one.
  _gfxClear(GTA_COLOR, 0xFF00FF00, 1.0f, 0);
  EXPECT_EQ(rec.dcr_adwArgs[DDM_Clear][0], 0u);
  EXPECT_EQ(rec.dcr_adwArgs[DDM_Clear][2], (DWORD)D3DCLEAR_TARGET);
  EXPECT_EQ(rec.dcr_adwArgs[DDM_Clear][3], 0xFF00FF00u);
  _gfxClearRect((GfxTarget)(GTA_COLOR | GTA_DEPTH | GTA_STENCIL), 12, 22, 5, 6, 0, 0.5f, 7);
  EXPECT_EQ(rec.dcr_adwArgs[DDM_Clear][0], 1u);
  EXPECT_EQ(rec.dcr_rcClear.x1, 12);
  EXPECT_EQ(rec.dcr_rcClear.y1, 22);
  EXPECT_EQ(rec.dcr_rcClear.x2, 17);
  EXPECT_EQ(rec.dcr_rcClear.y2, 28);
  DWORD dwFlags = D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER;
  if (gfx_ulFlags & GLF_STENCIL) dwFlags |= D3DCLEAR_STENCIL;
  EXPECT_EQ(rec.dcr_adwArgs[DDM_Clear][2], dwFlags);
  // Nothing to clear (no buffer named, or nothing inside the scissor): no call.
  long ctClears = rec.dcr_actCalls[DDM_Clear];
  _gfxClearRect((GfxTarget)0, 12, 22, 5, 6, 0, 0.5f, 7);
  _gfx_bScissor = 1;
  _gfx_iScissorLeft = _gfx_iScissorTop = 50;
  _gfx_iScissorWidth = _gfx_iScissorHeight = 4;
  _gfxClearRect(GTA_COLOR, 0, 0, 10, 10, 0, 1.0f, 0);
  _gfx_bScissor = 0;
  EXPECT_EQ(rec.dcr_actCalls[DDM_Clear], ctClears);
  // An empty draw port gets a 1 x 1 viewport at the origin.
  CDrawPort dpEmpty;
  _gfxCurrentRenderArea(&dpEmpty);
  EXPECT_EQ(rec.dcr_vpLast.X, 0u);
  EXPECT_EQ(rec.dcr_vpLast.Width, 1u);
  EXPECT_EQ(rec.dcr_vpLast.Height, 1u);
  EXPECT_EQ(rec.dcr_actCalls[DDM_BeginScene], 1);

  // Copies use the filter chosen from the device's caps, with boxes clipped to the surfaces.
  CCanvas cvSmall;
  cvSmall.cv_pcaAPI = _gfxNewRenderCanvas(16, 8, GCF_XRGB8, GCF_SHAREDDEPTH, 0);
  ASSERT_NE(cvSmall.cv_pcaAPI, nullptr);
  _gfxCopyRenderTarget(&cv, Box2l(-5, -5, 100, 100), -1, &cvSmall, Box2l(0, 0, -1, -1), -1);
  EXPECT_EQ(rec.dcr_actCalls[DDM_StretchRect], 1);
  IDirect3DDevice9 *pDevice = nullptr;
  ((IDirect3DSurface9 *)_gfx_pcaCommon->ca_pDepth)->GetDevice(&pDevice);
  ASSERT_NE(pDevice, nullptr);
  D3DCAPS9 caps;
  pDevice->GetDeviceCaps(&caps);
  pDevice->Release();
  const DWORD dwLinear = D3DPTFILTERCAPS_MINFLINEAR | D3DPTFILTERCAPS_MAGFLINEAR;
  EXPECT_EQ(
      rec.dcr_adwArgs[DDM_StretchRect][4],
      (DWORD)((caps.StretchRectFilterCaps & dwLinear) == dwLinear ? D3DTEXF_LINEAR : D3DTEXF_NONE));
  // Gamma: a windowed device never sets a ramp.
  unsigned short auw[3 * 256] = {};
  _gfxGammaRampTable(auw);
  EXPECT_EQ(rec.dcr_actCalls[DDM_SetGammaRamp], 0);

  // A present closes the scene; the next drawing slot opens a new one.
  EXPECT_EQ(_gfxPresent(nullptr, 1), 1);
  EXPECT_EQ(rec.dcr_actCalls[DDM_EndScene], 1);
  EXPECT_EQ(rec.dcr_actCalls[DDM_Present], 1);
  EXPECT_EQ(_gfx_pdpCurrent, nullptr);
  EXPECT_EQ(_gfxPresent(nullptr, 1), 1);
  EXPECT_EQ(rec.dcr_actCalls[DDM_EndScene], 1);
  _gfxCurrentRenderArea(&dp);
  EXPECT_EQ(rec.dcr_actCalls[DDM_BeginScene], 2);

  _gfxCurrentRenderTarget(nullptr, -1);
  _gfxReleaseCanvas(&cvSmall);
  _gfxReleaseCanvas(&cv);
}

TEST_F(Backend, FullScreenDeviceLostAndResetKeepsEveryCanvasWorking)
{
  _pps->ps_bRecord = 1;
  const D3DCallRecord &rec = _pps->ps_rec;
  long iWidth = GetSystemMetrics(SM_CXSCREEN), iHeight = GetSystemMetrics(SM_CYSCREEN);
  _gfxStartup_t(iWidth, iHeight, 32, 24, 0);
  ASSERT_EQ(gfx_eCurrentAPI, GAT_D3D);
  EXPECT_NE(gfx_ulFlags & GLF_FULLSCREEN, 0u);
  EXPECT_EQ(_gfx_pcaCommon->ca_slEstimate, 0); // the device's own depth surface
  ASSERT_EQ(_pps->ps_ppCreated.Windowed, FALSE);
  EXPECT_EQ(_pps->ps_ppCreated.BackBufferWidth, (UINT)iWidth);
  EXPECT_EQ(_pps->ps_ppCreated.AutoDepthStencilFormat, D3DFMT_D24S8);

  CCanvas cvRender;
  cvRender.cv_pcaAPI = _gfxNewRenderCanvas(32, 32, GCF_XRGB8, GCF_DEPTH16, 0);
  CTextureCanvas tc;
  tc.cv_pcaAPI = _gfxNewTextureCanvas(16, 16, 0, GCF_ARGB8, GCF_SHAREDDEPTH, tc.tc_hTexture);
  CTextureCanvas tcCube;
  tcCube.cv_pcaAPI =
      _gfxNewTextureCanvas(16, 16, 1, GCF_ARGB8, GCF_SHAREDDEPTH, tcCube.tc_hTexture);
  ASSERT_NE(cvRender.cv_pcaAPI, nullptr) << gfxLastError() << " " << gfx_ulFlags;
  ASSERT_NE(tc.cv_pcaAPI, nullptr);
  ASSERT_NE(tcCube.cv_pcaAPI, nullptr);
  EXPECT_EQ(tcCube.cv_pcaAPI->ca_eKind, CAK_CUBETEXTURE);
  const long slExternal = ExternalBytes();
  // Each canvas kind cleared and read back; the common canvas is the device's back buffer.
  auto ClearAndReadBack = [&](CCanvas *pcv, long iSize, unsigned long ulColor) {
    Target(pcv, iSize, iSize);
    _gfxClear(GTA_COLOR, 0xFF000000 | ulColor, 1.0f, 0);
    return AllAre(Grab(0, 0, iSize - 1, iSize - 1), ulColor);
  };
  auto EveryCanvasWorks = [&]() {
    EXPECT_TRUE(ClearAndReadBack(nullptr, 64, 0xFF0000));
    EXPECT_TRUE(ClearAndReadBack(&cvRender, 32, 0x00FF00));
    EXPECT_TRUE(ClearAndReadBack(&tc, 16, 0x0000FF));
    EXPECT_TRUE(ClearAndReadBack(&tcCube, 16, 0xFFFF00));
    _gfxCurrentRenderTarget(nullptr, -1);
    EXPECT_EQ(_gfxPresent(nullptr, 1), 1);
  };
  EveryCanvasWorks();
  // Full screen, the ramp goes to the device when gamma is in use.
  unsigned short auw[3 * 256] = {};
  _gfxGammaRampTable(auw);
  EXPECT_EQ(rec.dcr_actCalls[DDM_SetGammaRamp], (gfx_ulFlags & GLF_GAMMA) ? 1 : 0);

  _gfxCullFace(GFF_NONE);
  // The application loses the screen: the device is lost.
  HWND hwnd = (HWND)wndGetWindowHandle(wndGetWorkbench()).wh_hWnd;
  SendMessageA(hwnd, WM_ACTIVATEAPP, FALSE, 0);
  EXPECT_EQ(_gfxPresent(nullptr, 1), 0);
  const long ctCallsLost = rec.Total();
  CDrawPort dp;
  dp.dp_iWidth = dp.dp_iHeight = 8;
  _gfx_pdpCurrent = &dp;
  _gfxCurrentRenderTarget(&cvRender, -1);
  _gfxCurrentRenderArea(&dp);
  _gfxClear(GTA_COLOR, 0, 1.0f, 0);
  _gfxClearRect(GTA_COLOR, 0, 0, 4, 4, 0, 1.0f, 0);
  _gfxCopyRenderTarget(&tc, Box2l(0, 0, -1, -1), -1, &cvRender, Box2l(0, 0, -1, -1), -1);
  EXPECT_EQ(_gfxGrabCurrentRenderTarget(Box2l(0, 0, 3, 3), -1), nullptr);
  long hTexture = 0;
  EXPECT_EQ(_gfxNewRenderCanvas(8, 8, GCF_XRGB8, GCF_SHAREDDEPTH, 0), nullptr);
  EXPECT_EQ(_gfxNewTextureCanvas(8, 8, 0, GCF_ARGB8, GCF_SHAREDDEPTH, hTexture), nullptr);
  EXPECT_EQ(_gfxNewWindowCanvas(_pwnd, GCF_SHAREDDEPTH), nullptr);
  _gfxFinish(1);
  _gfxGammaRampTable(auw);
  _gfxEnableBlend();
  _gfxCullFace(GFF_NONE);
  _gfxScissor(0, 0, 2, 2);
  EXPECT_EQ(rec.Total(), ctCallsLost) << "a slot touched the lost device";
  _gfx_pdpCurrent = nullptr;
  // Still lost while the application stays inactive.
  EXPECT_EQ(_gfxPresent(nullptr, 1), 0);
  EXPECT_EQ(rec.dcr_actCalls[DDM_Reset], 0);

  // Back in front, but lost again while the reset goes through: that is no failure, the device
  // stays lost (nothing is made again) and the next present tries once more.
  SendMessageA(hwnd, WM_ACTIVATEAPP, TRUE, 0);
  _pps->ps_ctResetsLost = 1;
  EXPECT_EQ(_gfxPresent(nullptr, 1), 0);
  EXPECT_EQ(rec.dcr_actCalls[DDM_Reset], 1);
  EXPECT_EQ(cvRender.cv_pcaAPI->ca_pColor, nullptr);
  const long ctCallsRetry = rec.Total();
  _gfxClear(GTA_COLOR, 0, 1.0f, 0);
  EXPECT_EQ(rec.Total(), ctCallsRetry) << "a slot touched the device that is still lost";

  // The next present resets the device and every canvas is made again.
  EXPECT_EQ(_gfxPresent(nullptr, 1), 1);
  EXPECT_EQ(rec.dcr_actCalls[DDM_Reset], 2);
  EXPECT_EQ(gfx_eCurrentAPI, GAT_D3D);
  EXPECT_NE(_gfx_pcaCommon->ca_pDepth, nullptr);
  EXPECT_NE(cvRender.cv_pcaAPI->ca_pColor, nullptr);
  EXPECT_NE(cvRender.cv_pcaAPI->ca_pDepth, nullptr);
  EXPECT_EQ(_gfx_atpTextures[tc.tc_hTexture - 1].tp_pTexture, tc.cv_pcaAPI->ca_pColor);
  EXPECT_NE(tc.cv_pcaAPI->ca_pColor, nullptr);
  EXPECT_EQ(ExternalBytes(), slExternal);
  EveryCanvasWorks();
  EXPECT_EQ(rec.dcr_actCalls[DDM_Reset], 2);
  // The reset brought the default state back, and the cull cache with it: turning culling off
  // (as it was before the loss) is sent again.
  EXPECT_EQ(_gfx_eCullFace, GFF_BACK);
  EXPECT_EQ(rec.dcr_adwRenderState[D3DRS_CULLMODE], (DWORD)D3DCULL_CW);
  _gfxCullFace(GFF_NONE);
  EXPECT_EQ(rec.dcr_adwRenderState[D3DRS_CULLMODE], (DWORD)D3DCULL_NONE);

  _gfxReleaseCanvas(&tcCube);
  _gfxReleaseCanvas(&tc);
  _gfxReleaseCanvas(&cvRender);
}

TEST_F(Backend, TheDesktopRampIsWidenedOnlyWhenEveryEntryFitsInEightBits)
{
  long iWidth = GetSystemMetrics(SM_CXSCREEN), iHeight = GetSystemMetrics(SM_CYSCREEN);
  for (long iRamp : {1L, 2L}) {
    _pps->ps_iGammaRamp = iRamp;
    _gfxStartup_t(iWidth, iHeight, 32, 24, 0);
    ASSERT_EQ(gfx_eCurrentAPI, GAT_D3D);
    if (!(gfx_ulFlags & GLF_GAMMA)) {
      _gfxShutdown();
      GTEST_SKIP() << "this device has no full-screen gamma";
    }
    const unsigned short *auwRed = _gfx_auwSystemGammaTable;
    const unsigned short *auwBlue = _gfx_auwSystemGammaTable + 512;
    if (iRamp == 1) {
      // 8-bit entries become 16-bit ones: 0x12 reads as 0x1212.
      EXPECT_EQ(auwRed[0x12], 0x1212);
      EXPECT_EQ(auwBlue[255], 0xFFFF);
    } else {
      // One entry needs 16 bits: the ramp is taken as 16-bit, entry for entry.
      EXPECT_EQ(auwRed[0x12], 0x12);
      EXPECT_EQ(auwBlue[255], 0x1234);
    }
    _gfxShutdown();
  }
}

TEST_F(Backend, AnAdapterIndexOutsideTheListFallsBackToTheFirst)
{
  for (long iAdapter : {-1L, 7L}) {
    d3d_iRenderingDevice = iAdapter;
    long iWidth, iHeight;
    StartWindowed(iWidth, iHeight);
    ASSERT_EQ(gfx_eCurrentAPI, GAT_D3D) << iAdapter;
    EXPECT_EQ(d3d_iRenderingDevice, 0);
    EXPECT_EQ(gfx_iCurrentAdapter, 0);
    _gfxShutdown();
  }
}

TEST_F(Backend, TheBlankPeriodIsMeasuredOnlyFromBlankStartsAndItsPollsEnd)
{
  // A display that never reports a blank, or never leaves it, ends the measurement (each poll is
  // bounded) with no period; one that goes in and out of the blank gives one.
  for (long iRaster : {1L, 2L, 3L}) {
    _pps->ps_bRecord = 1;
    _pps->ps_iRaster = iRaster;
    _pps->ps_dVBlankPeriod = -1.0;
    // (the raster status is answered by the seam, so the device need not read its scan line)
    _pps->ps_dwCapsOn = D3DCAPS_READ_SCANLINE;
    long iWidth, iHeight;
    StartWindowed(iWidth, iHeight);
    ASSERT_EQ(gfx_eCurrentAPI, GAT_D3D);
    EXPECT_NE(gfx_ulFlags & GLF_VSYNC, 0u);
    if (iRaster == 3) {
      EXPECT_GT(_pps->ps_dVBlankPeriod, 0.0);
    } else {
      EXPECT_EQ(_pps->ps_dVBlankPeriod, 0.0) << iRaster;
    }
    _gfxShutdown();
  }
}

} // namespace
