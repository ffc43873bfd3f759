// Device creation, the capability checks and default state, the common window canvas and the
// reset after a lost device.
//
// The reset path: every default-pool resource is on the device-bound list; before Reset each
// releases its object, after it each makes the object again into the same canvas field, so the
// engine's records stay valid across the reset. Reset failing with "device lost" is a transient
// (the device was lost again meanwhile): the backend stays lost and tries again at the next
// present. Only other failures are fatal.
#include "backend/DeviceBoundPrivate.h"

namespace QuennelEngine {

namespace {

void Throw_t(const char *strText)
{
  ThrowFormat_t(strTranslate(strText));
}

bool IsDepthFormatOK(D3DFORMAT fmt)
{
  IDirect3D9 *pD3D = _d3d.bs_pD3D;
  return !d3dSeamRefusesDepth(fmt) &&
         SUCCEEDED(pD3D->CheckDeviceFormat(_d3d.bs_iAdapter, _d3d.bs_eDevType, _d3d.bs_fmtAdapter,
                                           D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, fmt)) &&
         SUCCEEDED(pD3D->CheckDepthStencilMatch(_d3d.bs_iAdapter, _d3d.bs_eDevType,
                                                _d3d.bs_fmtAdapter, _d3d.bs_fmtBackBuffer, fmt));
}

bool IsFormatOK(DWORD dwUsage, D3DRESOURCETYPE rt, D3DFORMAT fmt)
{
  return SUCCEEDED(_d3d.bs_pD3D->CheckDeviceFormat(_d3d.bs_iAdapter, _d3d.bs_eDevType,
                                                   _d3d.bs_fmtAdapter, dwUsage, rt, fmt));
}

bool CanCreateQuery(D3DQUERYTYPE eType)
{
  IDirect3DQuery9 *pQuery = nullptr;
  if (FAILED(_d3d.bs_pDevice->CreateQuery(eType, &pQuery)) || pQuery == nullptr) return false;
  pQuery->Release();
  return true;
}

void SetDefaultState(void)
{
  IDirect3DDevice9 *pDevice = _d3d.bs_pDevice;
  d3dSetDefaultRenderState();
  pDevice->SetRenderState(D3DRS_LIGHTING, FALSE);
  pDevice->SetRenderState(D3DRS_POINTSCALEENABLE, FALSE);
  pDevice->SetRenderState(D3DRS_DITHERENABLE, TRUE);
  D3DVIEWPORT9 vp = {0, 0, 32, 32, 0.0f, 1.0f};
  pDevice->SetViewport(&vp);
}

} // namespace

void d3dSetCapsAndDefaults_t(void)
{
  IDirect3DDevice9 *pDevice = _d3d.bs_pDevice;
  D3DCAPS9 &caps = _d3d.bs_caps;
  pDevice->GetDeviceCaps(&caps);
  d3dSeamCaps(caps);
  SetDefaultState();

  const unsigned long ulCleared = GLF_BACKBUFFERTEXTURE | GLF_NONPOW2 | GLF_BORDERCLAMP |
                                  GLF_VSYNC | GLF_GAMMA | GLF_OCCLUSIONQUERY | GLF_EVENTQUERY |
                                  GLF_FLOATBLENDING | GLF_CLIPPLANE | GLF_COLORMASK |
                                  GLF_DEPTHBIAS | GLF_32BITINDICES | GLF_MIPCUBEMAPS |
                                  GLF_MIPVOLUMEMAPS | GLF_YUY2CONVERSION | GLF_YUY2TEXTURES;
  gfx_ulFlags &= ~ulCleared;
  if (IsFormatOK(0, D3DRTYPE_TEXTURE, _d3d.bs_fmtBackBuffer)) gfx_ulFlags |= GLF_BACKBUFFERTEXTURE;
  gfx_pixMaxTextureSize = caps.MaxTextureWidth;

  if (!(caps.TextureCaps & D3DPTEXTURECAPS_CUBEMAP)) {
    Throw_t("DOZUPrismel.NoCubeMaps=\nDirect3D error: Missing support for cube-map textures.");
  }
  if (caps.TextureCaps & D3DPTEXTURECAPS_MIPCUBEMAP) gfx_ulFlags |= GLF_MIPCUBEMAPS;
  gfx_pixMaxVolumeTextureSize = 0;
  if (caps.TextureCaps & D3DPTEXTURECAPS_VOLUMEMAP) {
    gfx_pixMaxVolumeTextureSize = caps.MaxVolumeExtent;
    if (caps.TextureCaps & D3DPTEXTURECAPS_MIPVOLUMEMAP) gfx_ulFlags |= GLF_MIPVOLUMEMAPS;
  }
  if (caps.TextureCaps & D3DPTEXTURECAPS_POW2) {
    if (!(caps.TextureCaps & D3DPTEXTURECAPS_NONPOW2CONDITIONAL)) {
      conWarningF("\nMissing support for non-power-of-2 textures.\n");
    }
  } else {
    gfx_ulFlags |= GLF_NONPOW2;
  }
  if (caps.TextureAddressCaps & D3DPTADDRESSCAPS_BORDER) gfx_ulFlags |= GLF_BORDERCLAMP;
  _gfx_ulCurrentColorMask = 0xFFFFFFFF;
  if (caps.PrimitiveMiscCaps & D3DPMISCCAPS_COLORWRITEENABLE) gfx_ulFlags |= GLF_COLORMASK;
  if (caps.MaxUserClipPlanes > 0) gfx_ulFlags |= GLF_CLIPPLANE;
  if (caps.MaxVertexIndex > 0xFFFF) gfx_ulFlags |= GLF_32BITINDICES;
  gfx_fMaxTextureLODBias = (caps.RasterCaps & D3DPRASTERCAPS_MIPMAPLODBIAS) ? 16.0f : 0.0f;
  gfx_iMaxTextureAnisotropy =
      (caps.RasterCaps & D3DPRASTERCAPS_ANISOTROPY) ? caps.MaxAnisotropy : 1;
  _gfx_fDepthScale = 0.0f;
  _gfx_fDepthBias = 0.0f;
  if (caps.RasterCaps & D3DPRASTERCAPS_DEPTHBIAS) {
    gfx_ulFlags |= GLF_DEPTHBIAS;
    pDevice->SetRenderState(D3DRS_DEPTHBIAS, 0);
    pDevice->SetRenderState(D3DRS_SLOPESCALEDEPTHBIAS, 0);
  }
  if (caps.Caps & D3DCAPS_READ_SCANLINE) gfx_ulFlags |= GLF_VSYNC;

  if (!(caps.DevCaps2 & D3DDEVCAPS2_STREAMOFFSET) ||
      !(caps.RasterCaps & D3DPRASTERCAPS_SCISSORTEST)) {
    Throw_t("DOZUPrismel.NotDX9compatible=\n(Direct3D) Driver is not DirectX 9.0 compatible "
            "(missing support for stream offset and scissoring).");
  }

  // The desktop's ramp is read once, at creation: a reset must not take the game's ramp for it.
  if (gfx_ulFlags & GLF_FULLSCREEN) {
    if (caps.Caps2 & D3DCAPS2_FULLSCREENGAMMA) {
      gfx_ulFlags |= GLF_GAMMA;
      if (!_d3d.bs_bGammaSaved) {
        D3DGAMMARAMP gr;
        pDevice->GetGammaRamp(0, &gr);
        d3dSeamGammaRamp(gr);
        memcpy(_gfx_auwSystemGammaTable, &gr, sizeof(gr));
        // Widen 8-bit entries to 16 bits, but only when the whole ramp is 8-bit.
        bool bEightBit = true;
        for (unsigned short uw : _gfx_auwSystemGammaTable) bEightBit = bEightBit && uw <= 0xFF;
        if (bEightBit) {
          for (unsigned short &uw : _gfx_auwSystemGammaTable) uw = (unsigned short)(uw | (uw << 8));
        }
        _d3d.bs_bGammaSaved = 1;
      }
    } else {
      conWarningF(strTranslate("DOZUGfx.Gamma=Gamma correction is not supported.\n"));
    }
  }

  if (caps.MaxStreams < 8 || caps.VertexShaderVersion < D3DVS_VERSION(1, 1) ||
      caps.MaxVertexShaderConst < 96) {
    Throw_t("DOZUPrismel.NoVertexShaders=\n(Direct3D) Missing support for vertex shaders.");
  }
  gfx_iVertexProgramVersion = D3DSHADER_VERSION_MAJOR(caps.VertexShaderVersion) * 10 +
                              D3DSHADER_VERSION_MINOR(caps.VertexShaderVersion);
  gfx_ctMaxVertexProgramConstants = caps.MaxVertexShaderConst;
  if (caps.PixelShaderVersion < D3DPS_VERSION(1, 1)) {
    Throw_t("DOZUPrismel.NoPixelShaders=\n(Direct3D) Missing support for pixel shaders.");
  }
  gfx_iPixelProgramVersion = D3DSHADER_VERSION_MAJOR(caps.PixelShaderVersion) * 10 +
                             D3DSHADER_VERSION_MINOR(caps.PixelShaderVersion);
  gfx_ctMaxPixelProgramConstants =
      gfx_iPixelProgramVersion == 20 ? 32 : (gfx_iPixelProgramVersion < 20 ? 8 : 224);

  gfx_ctTextureUnits = caps.MaxSimultaneousTextures;
  gfx_fMaxPointSize = caps.MaxPointSize < 1.0f ? 1.0f : caps.MaxPointSize;
  gfx_fMaxLineWidth = 63.0f;
  const DWORD dwLinear = D3DPTFILTERCAPS_MINFLINEAR | D3DPTFILTERCAPS_MAGFLINEAR;
  _d3d.bs_eCopyFilter =
      (caps.StretchRectFilterCaps & dwLinear) == dwLinear ? D3DTEXF_LINEAR : D3DTEXF_NONE;

  if (CanCreateQuery(D3DQUERYTYPE_OCCLUSION)) gfx_ulFlags |= GLF_OCCLUSIONQUERY;
  if (CanCreateQuery(D3DQUERYTYPE_EVENT)) gfx_ulFlags |= GLF_EVENTQUERY;

  for (long i = 0; i < GFX_CTTEXFORMATS; i++) {
    D3DFORMAT fmt = d3dChooseTextureFormat(GfxColorFormat(GFX_FIRSTTEXFORMAT + i));
    _gfx_aulTexFormats[i] = fmt;
    _gfx_aulColFormats[i] = fmt;
  }

  if (IsFormatOK(0, D3DRTYPE_TEXTURE, D3DFMT_YUY2)) {
    gfx_ulFlags |= GLF_YUY2TEXTURES;
  } else if (IsFormatOK(0, D3DRTYPE_SURFACE, D3DFMT_YUY2) &&
             SUCCEEDED(_d3d.bs_pD3D->CheckDeviceFormatConversion(_d3d.bs_iAdapter, _d3d.bs_eDevType,
                                                                 D3DFMT_YUY2, D3DFMT_X8R8G8B8))) {
    gfx_ulFlags |= GLF_YUY2CONVERSION;
  }
  if (IsFormatOK(D3DUSAGE_RENDERTARGET | D3DUSAGE_QUERY_POSTPIXELSHADER_BLENDING, D3DRTYPE_TEXTURE,
                 D3DFMT_A16B16G16R16F)) {
    gfx_ulFlags |= GLF_FLOATBLENDING;
  }
  pDevice->TestCooperativeLevel();
}

void d3dCreateDevice_t(long &iWidth, long &iHeight, long &iColorBits, long &iDepthBits,
                       long iRefresh)
{
  IDirect3D9 *pD3D = _d3d.bs_pD3D;
  D3DPRESENT_PARAMETERS &pp = _d3d.bs_pp;
  memset(&pp, 0, sizeof(pp));
  // The adapter: checked against the count (a negative index is as bad as one past the end).
  long ctAdapters = gfx_gaAPIs[GAT_D3D].ga_ctAdapters;
  if (d3d_iRenderingDevice < 0 || d3d_iRenderingDevice >= ctAdapters) d3d_iRenderingDevice = 0;
  _d3d.bs_iAdapter = d3d_iRenderingDevice;
  for (long i = 0; i < ctAdapters; i++) {
    if (strcmp(gfx_gaAPIs[GAT_D3D].ga_aAdapters[i].ga_strRenderer.str_String, "NVIDIA NVPerfHUD") ==
        0) {
      _d3d.bs_iAdapter = i;
      _d3d.bs_eDevType = D3DDEVTYPE_REF;
    }
  }
  const UINT iAdapter = _d3d.bs_iAdapter;
  D3DDISPLAYMODE dmDesktop;
  pD3D->GetAdapterDisplayMode(iAdapter, &dmDesktop);
  _d3d.bs_fmtDesktop = dmDesktop.Format;
  D3DCAPS9 caps;
  pD3D->GetDeviceCaps(iAdapter, _d3d.bs_eDevType, &caps);
  d3dSeamCaps(caps);

  const bool bFullScreen = iWidth >= 1 && iHeight >= 1;
  if (!bFullScreen) iColorBits = iDepthBits = 0;

  D3DFORMAT fmtBack;
  if (iColorBits == 16) {
    fmtBack = D3DFMT_R5G6B5;
  } else if (iColorBits == 32) {
    fmtBack = D3DFMT_A8R8G8B8;
  } else if (iColorBits != 0) {
    fmtBack = D3DFMT_X8R8G8B8;
  } else {
    fmtBack = dmDesktop.Format;
    iColorBits = fmtBack == D3DFMT_R5G6B5 ? 16 : 24;
  }
  _d3d.bs_fmtBackBuffer = fmtBack;
  // Direct3D accepts only display formats as the adapter's (A8R8G8B8 is not one).
  _d3d.bs_fmtAdapter = !bFullScreen                 ? dmDesktop.Format
                       : fmtBack == D3DFMT_A8R8G8B8 ? D3DFMT_X8R8G8B8
                                                    : fmtBack;

  if (iDepthBits == 0) iDepthBits = iColorBits == 16 ? 16 : 32;
  gfx_ulFlags &= ~(unsigned long)GLF_STENCIL;
  D3DFORMAT fmtDepth = D3DFMT_D24S8;
  if (iDepthBits == 16) {
    fmtDepth = D3DFMT_D16;
  } else if (iDepthBits == 32) {
    if (IsDepthFormatOK(D3DFMT_D32)) {
      fmtDepth = D3DFMT_D32;
    } else if (IsDepthFormatOK(D3DFMT_D24X8)) {
      fmtDepth = D3DFMT_D24X8;
    } else {
      iDepthBits = 24;
    }
  } else {
    iDepthBits = 24;
  }
  if (iDepthBits == 24) {
    fmtDepth = D3DFMT_D24S8;
    gfx_ulFlags |= GLF_STENCIL;
  }
  _d3d.bs_fmtDepth = fmtDepth;

  HWND hwnd = (HWND)wndGetWindowHandle(wndGetWorkbench()).wh_hWnd;
  pp.BackBufferCount = 1;
  pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
  pp.hDeviceWindow = hwnd;
  pp.BackBufferFormat = fmtBack;
  if (bFullScreen) {
    wndResizeWindow(wndGetWorkbench(), CTRect(0, 0, iWidth, iHeight));
    pp.FullScreen_RefreshRateInHz = iRefresh > 0 ? iRefresh : 0;
    pp.BackBufferWidth = iWidth;
    pp.BackBufferHeight = iHeight;
    pp.EnableAutoDepthStencil = TRUE;
    pp.AutoDepthStencilFormat = fmtDepth;
    pp.Windowed = FALSE;
    gfx_ulFlags |= GLF_FULLSCREEN;
  } else {
    pp.BackBufferWidth = 16;
    pp.BackBufferHeight = 16;
    pp.Windowed = TRUE;
    gfx_ulFlags &= ~(unsigned long)GLF_FULLSCREEN;
  }

  // Values 17 to 20 are vertical-sync counts of 1 to 4 kept as given; others are clamped.
  if (gfx_iWaitVSyncs < 17 || gfx_iWaitVSyncs > 20) {
    if (gfx_iWaitVSyncs < 0) gfx_iWaitVSyncs = 0;
    if (gfx_iWaitVSyncs > 4) gfx_iWaitVSyncs = 4;
  }
  const long ctVSyncs = gfx_iWaitVSyncs >= 17 ? gfx_iWaitVSyncs - 16 : gfx_iWaitVSyncs;
  if ((caps.Caps & D3DCAPS_READ_SCANLINE) ||
      !(caps.PresentationIntervals & D3DPRESENT_INTERVAL_ONE)) {
    pp.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
  } else {
    pp.PresentationInterval =
        ctVSyncs >= 1 ? D3DPRESENT_INTERVAL_ONE : D3DPRESENT_INTERVAL_IMMEDIATE;
  }

  gfx_ulFlags &= ~(unsigned long)(GLF_HASTNL | GLF_HWVERTEXPROCESSING);
  gfx_iMaxInputStreams = 16;
  // The device keeps the thread's floating-point precision: left to itself, Direct3D drops it to
  // 24 bits, and every double of the program (clocks, profiles, the game's own) loses digits.
  DWORD dwBehavior = D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_FPU_PRESERVE;
  if ((caps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT) && caps.VertexShaderVersion != 0 &&
      caps.MaxStreams >= 8) {
    gfx_ulFlags |= GLF_HASTNL;
    if (!d3d_bNoHardwareVertexProcessing) {
      dwBehavior = D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_FPU_PRESERVE;
      gfx_iMaxInputStreams = caps.MaxStreams;
      gfx_ulFlags |= GLF_HWVERTEXPROCESSING;
    }
  }

  // Anti-aliasing: lowered one sample at a time until both buffers accept it.
  long ctSamples = 1L << (gfx_iAntiAliasing < 0   ? 0
                          : gfx_iAntiAliasing > 4 ? 4
                                                  : gfx_iAntiAliasing);
  for (; ctSamples > 1; ctSamples--) {
    D3DMULTISAMPLE_TYPE mst = (D3DMULTISAMPLE_TYPE)ctSamples;
    if (!d3dSeamRefusesSamples(ctSamples) &&
        SUCCEEDED(pD3D->CheckDeviceMultiSampleType(iAdapter, _d3d.bs_eDevType, fmtBack, pp.Windowed,
                                                   mst, nullptr)) &&
        SUCCEEDED(pD3D->CheckDeviceMultiSampleType(iAdapter, _d3d.bs_eDevType, fmtDepth,
                                                   pp.Windowed, mst, nullptr))) {
      break;
    }
  }
  gfx_ctAntiAliasingSamples = ctSamples;
  pp.MultiSampleType = ctSamples > 1 ? (D3DMULTISAMPLE_TYPE)ctSamples : D3DMULTISAMPLE_NONE;

  HRESULT hr =
      pD3D->CreateDevice(iAdapter, _d3d.bs_eDevType, hwnd, dwBehavior, &pp, &_d3d.bs_pDevice);
  if (FAILED(hr) && pp.MultiSampleType != D3DMULTISAMPLE_NONE) {
    gfx_ctAntiAliasingSamples = 1;
    gfx_iAntiAliasing = 0;
    pp.MultiSampleType = D3DMULTISAMPLE_NONE;
    hr = pD3D->CreateDevice(iAdapter, _d3d.bs_eDevType, hwnd, dwBehavior, &pp, &_d3d.bs_pDevice);
  }
  if (FAILED(hr)) {
    _d3d.bs_pDevice = nullptr;
    Throw_t("DOZUPrismel.noRenderingDevice=\n(Direct3D) Cannot create rendering device.");
  }
  _d3d.bs_pDevice = d3dSeamWrapDevice(_d3d.bs_pDevice, pp);
  d3dSetLost(0);
  _d3d.bs_eMultiSample = pp.MultiSampleType;
  _d3d.bs_ctSamples = pp.MultiSampleType == D3DMULTISAMPLE_NONE ? 0 : gfx_ctAntiAliasingSamples;
  gfx_iCurrentAdapter = iAdapter;
  d3dSetCapsAndDefaults_t();
  _d3d.bs_slFrameBufferCounted = iWidth * iHeight * 12;
  memCountExternalAlloc(_d3d.bs_slFrameBufferCounted, 4096);
  conLogF(strTranslate("DOZUPrismel.D3DCreated=(Direct3D) Context created successfully.\n"));
}

void d3dCreateCommonCanvas(long &iWidth, long &iHeight, long iColorBits, long iDepthBits)
{
  d3dSetLost(0);
  _d3d.bs_bSceneOpen = 0;
  CanvasAPI *pca = (CanvasAPI *)memMAlloc(sizeof(CanvasAPI));
  memset(pca, 0, sizeof(*pca));
  _d3d.bs_pcaCommon = pca;
  _gfx_pcaCommon = pca;
  pca->ca_eColorFormat = iColorBits == 16 ? GCF_RGB565 : GCF_XRGB8;
  pca->ca_eDepthFormat = iDepthBits == 16 ? GCF_DEPTH16 : GCF_DEPTH24;
  pca->ca_eKind = CAK_WINDOW;
  CBoundResource *pbr;
  if (gfx_ulFlags & GLF_FULLSCREEN) {
    pbr = new CBoundResource(BK_DEVICEDEPTH, iWidth, iHeight, _d3d.bs_fmtDepth, &pca->ca_pDepth);
  } else {
    iWidth = GetSystemMetrics(SM_CXSCREEN);
    iHeight = GetSystemMetrics(SM_CYSCREEN);
    pbr = new CBoundResource(BK_DEPTH, iWidth, iHeight, _d3d.bs_fmtDepth, &pca->ca_pDepth);
    pca->ca_slEstimate = d3dEstimate(_d3d.bs_fmtDepth, iWidth, iHeight, _d3d.bs_ctSamples);
  }
  _d3d.bs_iCommonWidth = iWidth;
  _d3d.bs_iCommonHeight = iHeight;
  if (FAILED(d3dNewBoundResource(pbr))) {
    Throw_t("DOZUPrismel.noRenderingDevice=\n(Direct3D) Cannot create rendering device.");
  }
  memCountExternalAlloc(pca->ca_slEstimate, 4096);

  // The vertical-blank period: ten blank starts timed, each poll bounded so a display that never
  // reports a blank leaves the period at 0.
  _d3d.bs_dVBlankPeriod = 0.0;
  if (gfx_ulFlags & GLF_VSYNC) {
    const __int64 llFrequency = timGetTimeStampFrequency();
    const __int64 llLimit = llFrequency / 10;
    auto WaitBlankStart = [&]() {
      D3DRASTER_STATUS rs;
      __int64 llStart = timReadTimeStampCounter();
      bool bWasInBlank = true;
      for (;;) {
        if (FAILED(_d3d.bs_pDevice->GetRasterStatus(0, &rs))) return false;
        if (rs.InVBlank && !bWasInBlank) return true;
        bWasInBlank = rs.InVBlank != FALSE;
        if (timReadTimeStampCounter() - llStart > llLimit) return false;
      }
    };
    if (WaitBlankStart()) {
      __int64 llStart = timReadTimeStampCounter();
      bool bOK = true;
      for (int i = 0; i < 10 && bOK; i++) bOK = WaitBlankStart();
      if (bOK) {
        _d3d.bs_dVBlankPeriod =
            (double)(timReadTimeStampCounter() - llStart) / (double)llFrequency / 10.0;
      }
    }
  }
  d3dSeamNoteVBlankPeriod(_d3d.bs_dVBlankPeriod);
}

void d3dReleaseCommonCanvas(void)
{
  CanvasAPI *pca = _d3d.bs_pcaCommon;
  if (pca == nullptr) return;
  d3dForgetDeviceBound(&pca->ca_pDepth);
  memCountExternalAlloc(-pca->ca_slEstimate, 4096);
  if (_gfx_pcaCommon == pca) _gfx_pcaCommon = nullptr;
  _d3d.bs_pcaCommon = nullptr;
  memFree(pca);
}

int d3dReset(void)
{
  d3dReleaseAllQueries();
  d3dReleaseAllBeforeReset();
  HRESULT hr = _d3d.bs_pDevice->Reset(&_d3d.bs_pp);
  if (hr == D3DERR_DEVICELOST) {
    // Lost again before the reset went through: stay lost and try at the next present.
    // The objects stay released until then.
    d3dSetLost(1);
    return 0;
  }
  if (FAILED(hr)) {
    conFatalErrorF("(Direct3D) Device was lost and cannot be reset due to internal error.");
  }
  if (!d3dRestoreAllAfterReset()) conFatalErrorF("(Direct3D) Failed to restart lost object.");
  _d3d.bs_bSceneOpen = 0;
  d3dSetLost(0);
  try {
    d3dSetCapsAndDefaults_t();
  } catch (CException &ex) {
    conFatalErrorF("%1", ARG_TEXT, ex.GetDescription());
  }
  // The device forgot its shaders, streams and matrices: so do the engine's records of them.
  _gfx_hCurrentVertexProgram = _gfx_hCurrentPixelProgram = 0;
  _gfx_uqCurrentVertexProgramInputMask = _gfx_uqLastVertexProgramInputMask = 0;
  _gfx_mCurrentModel = Matrix44f(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
  _gfx_mCurrentView = _gfx_mCurrentModel;
  _gfx_mCurrentProjection = _gfx_mCurrentModel;
  _gfx_mAdjustedProjection = _gfx_mCurrentModel;
  _gfx_ulCachedMatrices = 0;
  d3dResetTextureUnits();
  _gfx_pcvCurrent = nullptr;
  conTraceF("(Direct3D) Device has been reset successfully.\n");
  return 1;
}

} // namespace QuennelEngine
