// The backend as the engine uses it: a workbench window, Engine loading Prismel, and slots driving
// a real Direct3D 9 device, checked by pixels read back from it.
#include "BackendFixture.h"

using namespace QuennelEngine;

namespace {

using QuennelEngine::Test::Backend;
using QuennelEngine::Test::ExternalBytes;
using QuennelEngine::Test::SlotValues;

TEST_F(Backend, StartupAPIFillsEverySlotAndTheSameOnesAgain)
{
  std::vector<void *> apvFirst = SlotValues();
  for (size_t i = 0; i < apvFirst.size(); i++) EXPECT_NE(apvFirst[i], nullptr) << "slot " << i;
  // The export called a second time (the library is already loaded: same image).
  CDynamicLoader dl;
  dl.Open_t("$PrismelTest.dll");
  dl.GetFunction_t<void (*)(void)>("gfxStartupAPI")();
  EXPECT_EQ(SlotValues(), apvFirst);
  // The shipped library fills every slot too, and has no test seams.
  {
    CDynamicLoader dlShipped;
    dlShipped.Open_t("$Prismel.dll");
    EXPECT_NE(QuennelEngine::Test::ThrownBy([&] { dlShipped.GetSymbol_t("prismelTestSeams"); }),
              "");
    dlShipped.GetFunction_t<void (*)(void)>("gfxStartupAPI")();
    std::vector<void *> apvShipped = SlotValues();
    for (size_t i = 0; i < apvShipped.size(); i++) {
      EXPECT_NE(apvShipped[i], nullptr) << "slot " << i;
      EXPECT_NE(apvShipped[i], apvFirst[i]) << "slot " << i;
    }
    dl.GetFunction_t<void (*)(void)>("gfxStartupAPI")();
  }
  // Slots of seams not built yet do nothing, also before any device exists.
  EXPECT_EQ(_gfxCreateTexture(16, 16, 1, 0, GCF_ARGB8), 0);
  _gfxEnableBlend();
}

TEST_F(Backend, ShutdownWithoutStartupAndTwiceAfterDoesNothing)
{
  _gfxShutdown();
  EXPECT_EQ(gfx_eCurrentAPI, GAT_NONE);
  long iWidth, iHeight;
  StartWindowed(iWidth, iHeight);
  EXPECT_EQ(gfx_eCurrentAPI, GAT_D3D);
  _gfxShutdown();
  _gfxShutdown();
  EXPECT_EQ(gfx_eCurrentAPI, GAT_NONE);
  EXPECT_EQ(_gfxPresent(nullptr, 1), 0);
  // Slots that touch the device do nothing without one.
  EXPECT_EQ(_gfxNewRenderCanvas(8, 8, GCF_XRGB8, GCF_SHAREDDEPTH, 0), nullptr);
  EXPECT_EQ(_gfxGrabCurrentRenderTarget(Box2l(0, 0, 1, 1), -1), nullptr);
  _gfxClear(GTA_COLOR, 0, 1.0f, 0);
}

TEST_F(Backend, TheDeviceKeepsTheThreadsFloatingPointPrecision)
{
  const FPUPrecision eBefore = GetFPUPrecision();
  ASSERT_NE(eBefore, FPUP_24BITS);
  long iWidth, iHeight;
  StartWindowed(iWidth, iHeight);
  ASSERT_EQ(gfx_eCurrentAPI, GAT_D3D);
  EXPECT_EQ(GetFPUPrecision(), eBefore);
  // Drawing (a clear and a present) leaves it too, and a double keeps its digits.
  _gfxClear(GTA_COLOR, 0, 1.0f, 0);
  _gfxPresent(nullptr, 1);
  EXPECT_EQ(GetFPUPrecision(), eBefore);
  volatile double d = 100000.0;
  d = d + 0.001;
  EXPECT_NE(d, 100000.0);
}

TEST_F(Backend, WindowedStartupReportsTheDesktopAndTheDeviceCapabilities)
{
  long iWidth, iHeight;
  StartWindowed(iWidth, iHeight);
  EXPECT_EQ(iWidth, GetSystemMetrics(SM_CXSCREEN));
  EXPECT_EQ(iHeight, GetSystemMetrics(SM_CYSCREEN));
  EXPECT_EQ(gfx_eCurrentAPI, GAT_D3D);
  EXPECT_EQ(gfx_ulFlags & GLF_FULLSCREEN, 0u);
  ASSERT_NE(_gfx_pcaCommon, nullptr);
  EXPECT_EQ(_gfx_pcaCommon->ca_eKind, CAK_WINDOW);
  EXPECT_NE(_gfx_pcaCommon->ca_pDepth, nullptr);
  EXPECT_GT(_gfx_pcaCommon->ca_slEstimate, 0);
  EXPECT_GT(ExternalBytes(), m_slExternalBefore);

  // The same figures straight from Direct3D.
  HMODULE hD3D = LoadLibraryA("d3d9.dll");
  ASSERT_NE(hD3D, nullptr);
  typedef IDirect3D9 *(WINAPI * Create9)(UINT);
  Create9 pCreate = (Create9)(void *)GetProcAddress(hD3D, "Direct3DCreate9");
  IDirect3D9 *pD3D = pCreate(D3D_SDK_VERSION);
  ASSERT_NE(pD3D, nullptr);
  D3DCAPS9 caps;
  pD3D->GetDeviceCaps(0, D3DDEVTYPE_HAL, &caps);
  EXPECT_EQ(gfx_pixMaxTextureSize, (long)caps.MaxTextureWidth);
  EXPECT_EQ(gfx_ctTextureUnits, (long)caps.MaxSimultaneousTextures);
  EXPECT_EQ(gfx_ctMaxVertexProgramConstants, (long)caps.MaxVertexShaderConst);
  EXPECT_EQ(gfx_iVertexProgramVersion,
            (long)(D3DSHADER_VERSION_MAJOR(caps.VertexShaderVersion) * 10 +
                   D3DSHADER_VERSION_MINOR(caps.VertexShaderVersion)));
  EXPECT_EQ((gfx_ulFlags & GLF_NONPOW2) != 0, !(caps.TextureCaps & D3DPTEXTURECAPS_POW2));
  EXPECT_EQ((gfx_ulFlags & GLF_VSYNC) != 0, (caps.Caps & D3DCAPS_READ_SCANLINE) != 0);
  EXPECT_EQ(gfx_iCurrentAdapter, 0);
  // The adapter list: every kept mode passes the filter, each size once.
  const GfxAPIEntry &ae = gfx_gaAPIs[GAT_D3D];
  EXPECT_TRUE(ae.ga_bFilled);
  ASSERT_EQ(ae.ga_ctAdapters, (long)pD3D->GetAdapterCount());
  const GfxAdapter &ad = ae.ga_aAdapters[0];
  EXPECT_STREQ(ad.ga_strVendor.str_String, "MS DirectX");
  EXPECT_GT(ad.ga_ctModes, 0);
  EXPECT_LE(ad.ga_ctModes, GFX_MAXMODES);
  for (long i = 0; i < ad.ga_ctModes; i++) {
    double dAspect = (double)ad.ga_adm[i].dm_iWidth / ad.ga_adm[i].dm_iHeight;
    EXPECT_GE(ad.ga_adm[i].dm_iWidth, 640);
    EXPECT_GE(ad.ga_adm[i].dm_iHeight, 480);
    EXPECT_TRUE(dAspect >= 1.30 - 1e-9 && dAspect <= 1.80 + 1e-9) << dAspect;
    for (long j = 0; j < i; j++) {
      EXPECT_FALSE(ad.ga_adm[i].dm_iWidth == ad.ga_adm[j].dm_iWidth &&
                   ad.ga_adm[i].dm_iHeight == ad.ga_adm[j].dm_iHeight);
    }
  }
  pD3D->Release();
  FreeLibrary(hD3D);
}

TEST_F(Backend, WindowCanvasClearedRedReadsBackRedAndPresents)
{
  long iWidth, iHeight;
  StartWindowed(iWidth, iHeight);
  CWindowCanvas wc;
  wc.wc_pwnd = _pwnd;
  wc.cv_pcaAPI = _gfxNewWindowCanvas(_pwnd, GCF_SHAREDDEPTH);
  ASSERT_NE(wc.cv_pcaAPI, nullptr);
  EXPECT_EQ(wc.cv_pcaAPI->ca_eKind, CAK_WINDOW);
  EXPECT_EQ(wc.cv_pcaAPI->ca_pDepth, nullptr); // the common canvas is larger: shared depth
  CTRect rc = wndGetWindowClientRect(_pwnd);
  Target(&wc, rc.Width(), rc.Height());
  _gfxClear(GTA_COLOR, 0xFFFF0000, 1.0f, 0);
  EXPECT_TRUE(AllAre(Grab(0, 0, rc.Width() - 1, rc.Height() - 1), 0xFF0000));
  EXPECT_EQ(_gfxPresent(&wc, 1), 1);
  // After a present the scene opens again for the next frame.
  Target(&wc, rc.Width(), rc.Height());
  _gfxClear(GTA_COLOR, 0xFF00FF00, 1.0f, 0);
  EXPECT_TRUE(AllAre(Grab(0, 0, 3, 3), 0x00FF00));
  EXPECT_EQ(_gfxPresent(&wc, 0), 1);
  // A refreshed canvas is a new, working record for the same window.
  EXPECT_EQ(_gfxRefreshWindowCanvas(&wc), 1);
  ASSERT_NE(wc.cv_pcaAPI, nullptr);
  Target(&wc, rc.Width(), rc.Height());
  _gfxClear(GTA_COLOR, 0xFF0000FF, 1.0f, 0);
  EXPECT_TRUE(AllAre(Grab(0, 0, 3, 3), 0x0000FF));
  _gfxReleaseCanvas(&wc);
  EXPECT_EQ(wc.cv_pcaAPI, nullptr);
}

TEST_F(Backend, RenderAndTextureCanvasesClearAndReadBack)
{
  long iWidth, iHeight;
  StartWindowed(iWidth, iHeight);
  long slCommon = ExternalBytes();
  CCanvas cvRender;
  cvRender.cv_pcaAPI = _gfxNewRenderCanvas(64, 32, GCF_XRGB8, GCF_DEPTH16, 0);
  ASSERT_NE(cvRender.cv_pcaAPI, nullptr);
  EXPECT_EQ(cvRender.cv_pcaAPI->ca_eKind, CAK_RENDER);
  EXPECT_NE(cvRender.cv_pcaAPI->ca_pDepth, nullptr);
  // 64 x 32 at 32 bits plus a 16-bit depth surface, counted in pages.
  EXPECT_EQ(cvRender.cv_pcaAPI->ca_slEstimate, 64 * 32 * 4 + 64 * 32 * 2);
  EXPECT_EQ(ExternalBytes() - slCommon, 3 * 4096);
  Target(&cvRender, 64, 32);
  _gfxClear((GfxTarget)(GTA_COLOR | GTA_DEPTH), 0xFF123456, 1.0f, 0);
  EXPECT_TRUE(AllAre(Grab(0, 0, 63, 31), 0x123456));

  CTextureCanvas tc;
  long hTexture = 0;
  tc.cv_pcaAPI = _gfxNewTextureCanvas(32, 16, 0, GCF_ARGB8, GCF_SHAREDDEPTH, hTexture);
  ASSERT_NE(tc.cv_pcaAPI, nullptr);
  tc.tc_hTexture = hTexture;
  ASSERT_GE(hTexture, 1);
  EXPECT_EQ(tc.cv_pcaAPI->ca_eKind, CAK_TEXTURE);
  // The slot shows the canvas's texture; the canvas owns it.
  EXPECT_EQ(_gfx_atpTextures[hTexture - 1].tp_pTexture, tc.cv_pcaAPI->ca_pColor);
  EXPECT_EQ(_gfx_atpTextures[hTexture - 1].tp_uwWidth, 32);
  Target(&tc, 32, 16);
  _gfxClear(GTA_COLOR, 0xFF00FF00, 1.0f, 0);
  EXPECT_TRUE(AllAre(Grab(0, 0, 31, 15), 0x00FF00));
  // A copy of the texture canvas into the render canvas's corner.
  _gfxCopyRenderTarget(&tc, Box2l(0, 0, -1, -1), -1, &cvRender, Box2l(0, 0, 31, 15), -1);
  Target(&cvRender, 64, 32);
  EXPECT_TRUE(AllAre(Grab(0, 0, 31, 15), 0x00FF00));
  EXPECT_TRUE(AllAre(Grab(32, 0, 63, 31), 0x123456));

  _gfxCurrentRenderTarget(nullptr, -1);
  _gfxReleaseCanvas(&tc);
  EXPECT_EQ(_gfx_atpTextures[hTexture - 1].tp_pTexture, nullptr);
  EXPECT_EQ(_gfxFindEmptyTextureSlot(), hTexture);
  _gfxReleaseCanvas(&cvRender);
  EXPECT_EQ(ExternalBytes(), slCommon);
}

TEST_F(Backend, ClearRectClearsOnlyItsRectangleWithinTheScissor)
{
  long iWidth, iHeight;
  StartWindowed(iWidth, iHeight);
  CCanvas cv;
  cv.cv_pcaAPI = _gfxNewRenderCanvas(40, 40, GCF_XRGB8, GCF_SHAREDDEPTH, 0);
  ASSERT_NE(cv.cv_pcaAPI, nullptr);
  Target(&cv, 40, 40);
  _gfxClear(GTA_COLOR, 0xFF0000FF, 1.0f, 0);
  _gfxClearRect(GTA_COLOR, 10, 10, 20, 20, 0xFFFF0000, 1.0f, 0);
  std::vector<unsigned long> aul = Grab(0, 0, 39, 39);
  ASSERT_EQ(aul.size(), 1600u);
  for (long y = 0; y < 40; y++) {
    for (long x = 0; x < 40; x++) {
      bool bInside = x >= 10 && x < 30 && y >= 10 && y < 30;
      ASSERT_EQ(aul[y * 40 + x], bInside ? 0xFF0000ul : 0x0000FFul) << x << "," << y;
    }
  }
  // With the scissor on, only the overlap is cleared; outside it nothing.
  _gfx_bScissor = 1;
  _gfx_iScissorLeft = 0;
  _gfx_iScissorTop = 0;
  _gfx_iScissorWidth = 5;
  _gfx_iScissorHeight = 5;
  _gfxClearRect(GTA_COLOR, 2, 2, 20, 20, 0xFF00FF00, 1.0f, 0);
  _gfxClearRect(GTA_COLOR, 20, 20, 5, 5, 0xFF00FF00, 1.0f, 0);
  EXPECT_TRUE(AllAre(Grab(2, 2, 4, 4), 0x00FF00));
  EXPECT_TRUE(AllAre(Grab(5, 5, 9, 9), 0x0000FF));
  EXPECT_TRUE(AllAre(Grab(20, 20, 24, 24), 0xFF0000));
  // A grab box reaching past the target is clipped to it.
  unsigned long *pul = _gfxGrabCurrentRenderTarget(Box2l(38, 38, 100, 100), -1);
  ASSERT_NE(pul, nullptr);
  EXPECT_EQ(memSize(pul) >= 4 * sizeof(unsigned long), true);
  EXPECT_EQ(pul[3] & 0xFFFFFF, 0x0000FFul);
  memFree(pul);
  EXPECT_EQ(_gfxGrabCurrentRenderTarget(Box2l(50, 50, 60, 60), -1), nullptr);
  _gfxCurrentRenderTarget(nullptr, -1);
  _gfxReleaseCanvas(&cv);
}

TEST_F(Backend, FailedStartupLeaksNothingAndAGoodOneFollows)
{
  // No display mode of 7 x 7: the full-screen device cannot be created.
  long iWidth = 7, iHeight = 7;
  std::string strError =
      QuennelEngine::Test::ThrownBy([&] { _gfxStartup_t(iWidth, iHeight, 32, 24, 0); });
  EXPECT_NE(strError.find("Cannot create rendering device"), std::string::npos) << strError;
  EXPECT_EQ(gfx_eCurrentAPI, GAT_NONE);
  EXPECT_EQ(ExternalBytes(), m_slExternalBefore);
  EXPECT_EQ(_gfx_pcaCommon, nullptr);
  StartWindowed(iWidth, iHeight);
  EXPECT_EQ(gfx_eCurrentAPI, GAT_D3D);
  // A second start-up over a running device replaces it without counting twice.
  long slOnce = ExternalBytes();
  StartWindowed(iWidth, iHeight);
  EXPECT_EQ(ExternalBytes(), slOnce);
}

TEST_F(Backend, SlotTimeGoesToTheProfileNodeAlsoWhenASlotThrows)
{
  CProfileNode pn("Gfx API test", nullptr);
  _gfx_ppnGfxAPI = &pn;
  _gfxShutdown();
  EXPECT_EQ(pn.pn_ctCalls, 1);
  EXPECT_GE(pn.pn_llTicks, 0);
  long iWidth = 7, iHeight = 7;
  QuennelEngine::Test::ThrownBy([&] { _gfxStartup_t(iWidth, iHeight, 32, 24, 0); });
  EXPECT_EQ(pn.pn_ctCalls, 2);
  // Not left with a start stamp subtracted (that would be hugely negative).
  EXPECT_GE(pn.pn_llTicks, 0);
  _gfx_ppnGfxAPI = nullptr;
}

} // namespace
