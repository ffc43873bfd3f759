// Canvases: window, render and texture canvases, render-target selection, copies, grabs and
// clears.
#include "backend/DeviceBoundPrivate.h"

namespace QuennelEngine {

namespace {

bool IsOutOfMemory(HRESULT hr)
{
  return hr == E_OUTOFMEMORY || hr == D3DERR_OUTOFVIDEOMEMORY;
}

CanvasAPI *NewRecord(long eKind, GfxColorFormat eColor, GfxColorFormat eDepth)
{
  CanvasAPI *pca = (CanvasAPI *)memMAlloc(sizeof(CanvasAPI));
  memset(pca, 0, sizeof(*pca));
  pca->ca_eKind = eKind;
  pca->ca_eColorFormat = eColor;
  pca->ca_eDepthFormat = eDepth;
  return pca;
}

void FreeRecord(CanvasAPI *pca)
{
  d3dForgetDeviceBound(&pca->ca_pColor);
  d3dForgetDeviceBound(&pca->ca_pDepth);
  memFree(pca);
}

// The canvas's depth: shared with the common canvas for 0 and 236, unless that one is smaller;
// otherwise an own surface. False (and an error reported) when the own surface fails.
bool MakeDepth(CanvasAPI *pca, long iWidth, long iHeight, GfxColorFormat eDepth,
               const char *strError, long &slEstimate)
{
  if (eDepth == GCF_NONE || eDepth == GCF_SHAREDDEPTH) {
    if (_d3d.bs_iCommonWidth >= iWidth && _d3d.bs_iCommonHeight >= iHeight) return true;
    eDepth = _d3d.bs_pcaCommon->ca_eDepthFormat;
  }
  D3DFORMAT fmt = d3dDepthFormatOf(eDepth);
  HRESULT hr =
      d3dNewBoundResource(new CBoundResource(BK_DEPTH, iWidth, iHeight, fmt, &pca->ca_pDepth));
  if (FAILED(hr)) {
    _gfxError(strError);
    return false;
  }
  slEstimate += d3dEstimate(fmt, iWidth, iHeight, _d3d.bs_ctSamples);
  return true;
}

bool IsCommon(const CanvasAPI *pca)
{
  return pca == nullptr || pca == _d3d.bs_pcaCommon;
}

// The colour surface of a canvas (a new reference) for a face; null on failure.
IDirect3DSurface9 *ColorSurfaceOf(CCanvas *pcv, long iFace)
{
  CanvasAPI *pca = pcv != nullptr ? pcv->cv_pcaAPI : nullptr;
  IDirect3DSurface9 *pSurface = nullptr;
  if (IsCommon(pca)) {
    _d3d.bs_pDevice->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &pSurface);
    return pSurface;
  }
  if (pca->ca_pColor == nullptr) return nullptr;
  switch (pca->ca_eKind) {
  case CAK_WINDOW:
    ((IDirect3DSwapChain9 *)pca->ca_pColor)->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &pSurface);
    break;
  case CAK_RENDER:
    pSurface = (IDirect3DSurface9 *)pca->ca_pColor;
    pSurface->AddRef();
    break;
  case CAK_TEXTURE:
    ((IDirect3DTexture9 *)pca->ca_pColor)->GetSurfaceLevel(0, &pSurface);
    break;
  case CAK_CUBETEXTURE:
    ((IDirect3DCubeTexture9 *)pca->ca_pColor)
        ->GetCubeMapSurface((D3DCUBEMAP_FACES)(iFace >= 0 && iFace < 6 ? iFace : 0), 0, &pSurface);
    break;
  }
  return pSurface;
}

long NextPowerOfTwo(long i)
{
  long iPow = 1;
  while (iPow < i) iPow <<= 1;
  return iPow;
}

} // namespace

long d3dFormatBits(D3DFORMAT fmt)
{
  switch (fmt) {
  case D3DFMT_A8R8G8B8:
  case D3DFMT_X8R8G8B8:
  case D3DFMT_A2R10G10B10:
  case D3DFMT_D32:
  case D3DFMT_D24S8:
  case D3DFMT_D24X8:
  case D3DFMT_D24X4S4:
  case D3DFMT_D24FS8:
  case D3DFMT_G16R16F:
  case D3DFMT_R32F:
  case D3DFMT_G16R16:
    return 32;
  case D3DFMT_R5G6B5:
  case D3DFMT_X1R5G5B5:
  case D3DFMT_A1R5G5B5:
  case D3DFMT_A4R4G4B4:
  case D3DFMT_A8L8:
  case D3DFMT_D16_LOCKABLE:
  case D3DFMT_D16:
  case D3DFMT_L16:
  case D3DFMT_R16F:
  case D3DFMT_YUY2:
  case D3DFMT_UYVY:
    return 16;
  case D3DFMT_A8:
  case D3DFMT_L8:
  case D3DFMT_DXT3:
  case D3DFMT_DXT5:
    return 8;
  case D3DFMT_DXT1:
    return 4;
  case D3DFMT_A16B16G16R16:
  case D3DFMT_A16B16G16R16F:
  case D3DFMT_G32R32F:
    return 64;
  case D3DFMT_A32B32G32R32F:
    return 128;
  default:
    return 65536;
  }
}

long d3dEstimate(D3DFORMAT fmt, long iWidth, long iHeight, long ctSamples)
{
  if (ctSamples < 1) ctSamples = 1;
  return (long)((__int64)ctSamples * d3dFormatBits(fmt) * iWidth * iHeight / 8);
}

bool d3dClipBox(const Box2l &box, long iWidth, long iHeight, RECT &rc)
{
  if (box.IsEmpty()) {
    rc = {0, 0, iWidth, iHeight};
    return iWidth > 0 && iHeight > 0;
  }
  // The box includes its maximum; the rectangle excludes its right and bottom.
  rc.left = box.vMin.x < 0 ? 0 : box.vMin.x;
  rc.top = box.vMin.y < 0 ? 0 : box.vMin.y;
  rc.right = box.vMax.x + 1 > iWidth ? iWidth : box.vMax.x + 1;
  rc.bottom = box.vMax.y + 1 > iHeight ? iHeight : box.vMax.y + 1;
  return rc.left < rc.right && rc.top < rc.bottom;
}

CanvasAPI *d3dNewWindowCanvas(CWindow *pwnd, GfxColorFormat eDepth)
{
  if (d3dIsUnusable() || pwnd == nullptr) return nullptr;
  CTRect rc = wndGetWindowClientRect(pwnd);
  long iWidth = rc.Width() < 1 ? 1 : rc.Width();
  long iHeight = rc.Height() < 1 ? 1 : rc.Height();
  CanvasAPI *pca = NewRecord(CAK_WINDOW, GCF_XRGB8, eDepth);
  CBoundResource *pbr =
      new CBoundResource(BK_SWAPCHAIN, iWidth, iHeight, _d3d.bs_fmtDesktop, &pca->ca_pColor);
  pbr->br_hwnd = wndGetWindowHandle(pwnd).wh_hWnd;
  HRESULT hr = d3dNewBoundResource(pbr);
  if (FAILED(hr)) {
    if (IsOutOfMemory(hr)) _gfxError("NewWindowCanvas, swap-chain");
    FreeRecord(pca);
    return nullptr;
  }
  long slEstimate = d3dEstimate(_d3d.bs_fmtDesktop, iWidth, iHeight, _d3d.bs_ctSamples);
  if (!MakeDepth(pca, iWidth, iHeight, eDepth, "NewWindowCanvas, depth surface", slEstimate)) {
    FreeRecord(pca);
    return nullptr;
  }
  pca->ca_slEstimate = slEstimate;
  memCountExternalAlloc(slEstimate, 4096);
  return pca;
}

CanvasAPI *d3dNewRenderCanvas(long iWidth, long iHeight, GfxColorFormat eColor,
                              GfxColorFormat eDepth, int)
{
  if (d3dIsUnusable() || iWidth < 1 || iHeight < 1) return nullptr;
  if (eColor < GFX_FIRSTTEXFORMAT || eColor >= GFX_FIRSTTEXFORMAT + GFX_CTTEXFORMATS)
    return nullptr;
  if (eColor == GCF_RGBA16F && !(gfx_ulFlags & GLF_FLOATBLENDING)) return nullptr;
  D3DFORMAT fmt = (D3DFORMAT)_gfx_aulTexFormats[eColor - GFX_FIRSTTEXFORMAT];
  if (fmt == D3DFMT_UNKNOWN) return nullptr;
  CanvasAPI *pca = NewRecord(CAK_RENDER, eColor, eDepth);
  HRESULT hr = d3dNewBoundResource(
      new CBoundResource(BK_RENDERSURFACE, iWidth, iHeight, fmt, &pca->ca_pColor));
  if (FAILED(hr)) {
    if (IsOutOfMemory(hr)) _gfxError("NewRenderCanvas, back-buffer surface");
    FreeRecord(pca);
    return nullptr;
  }
  long slEstimate = d3dEstimate(fmt, iWidth, iHeight, _d3d.bs_ctSamples);
  if (!MakeDepth(pca, iWidth, iHeight, eDepth, "NewRenderCanvas, depth surface", slEstimate)) {
    FreeRecord(pca);
    return nullptr;
  }
  pca->ca_slEstimate = slEstimate;
  memCountExternalAlloc(slEstimate, 4096);
  return pca;
}

CanvasAPI *d3dNewTextureCanvas(long iWidth, long iHeight, int bCube, GfxColorFormat eColor,
                               GfxColorFormat eDepth, long &hTexture)
{
  hTexture = 0;
  if (d3dIsUnusable() || iWidth < 1 || iHeight < 1) return nullptr;
  if (eColor < GFX_FIRSTTEXFORMAT || eColor >= GFX_FIRSTTEXFORMAT + GFX_CTTEXFORMATS)
    return nullptr;
  D3DFORMAT fmt = (D3DFORMAT)_gfx_aulTexFormats[eColor - GFX_FIRSTTEXFORMAT];
  if (fmt == D3DFMT_UNKNOWN) return nullptr;
  if (bCube) iHeight = iWidth;
  bool bNonPow2 = NextPowerOfTwo(iWidth) != iWidth || NextPowerOfTwo(iHeight) != iHeight;
  if (!(gfx_ulFlags & GLF_NONPOW2)) {
    iWidth = NextPowerOfTwo(iWidth);
    iHeight = NextPowerOfTwo(iHeight);
    bNonPow2 = false;
  }
  long hSlot = _gfxFindEmptyTextureSlot();
  if (hSlot == 0) return nullptr;
  CTextureParams &tp = _gfx_atpTextures[hSlot - 1];
  CanvasAPI *pca = NewRecord(bCube ? CAK_CUBETEXTURE : CAK_TEXTURE, eColor, eDepth);
  // The canvas owns the texture; the slot only shows it.
  CBoundResource *pbr = new CBoundResource(bCube ? BK_CUBETEXTURE : BK_RENDERTEXTURE, iWidth,
                                           iHeight, fmt, &pca->ca_pColor);
  pbr->br_ppAlias = &tp.tp_pTexture;
  HRESULT hr = d3dNewBoundResource(pbr);
  if (FAILED(hr)) {
    if (IsOutOfMemory(hr)) _gfxError("NewTextureCanvas, texture surface");
    FreeRecord(pca);
    return nullptr;
  }
  long slEstimate = gfxGetFormatSize(eColor) * iWidth * iHeight * (bCube ? 6 : 1);
  if (!MakeDepth(pca, iWidth, iHeight, eDepth, "NewTextureCanvas, depth surface", slEstimate)) {
    FreeRecord(pca);
    memset(&tp, 0, sizeof(tp));
    return nullptr;
  }
  tp.tp_slMemory = gfxGetFormatSize(eColor) * iWidth * iHeight * (bCube ? 6 : 1);
  tp.tp_uwWidth = (unsigned short)iWidth;
  tp.tp_uwHeight = (unsigned short)iHeight;
  tp.tp_uwDepth = 1;
  tp.tp_eFormat = eColor;
  tp.tp_eFilter = 203; // linear, no mipmaps
  tp.tp_eWrapU = tp.tp_eWrapV = tp.tp_eWrapW = 81;
  tp.tp_ulFlags = (bCube ? 4 : 0) | (bNonPow2 ? 8 : 0);
  pca->ca_slEstimate = slEstimate;
  memCountExternalAlloc(slEstimate, 4096);
  hTexture = hSlot;
  return pca;
}

void d3dReleaseCanvas(CCanvas *pcv)
{
  if (pcv == nullptr || pcv->cv_pcaAPI == nullptr || IsCommon(pcv->cv_pcaAPI)) return;
  CanvasAPI *pca = pcv->cv_pcaAPI;
  if (pca->ca_eKind == CAK_TEXTURE || pca->ca_eKind == CAK_CUBETEXTURE) {
    long hTexture = gfxGetTextureCanvasHandle((CTextureCanvas *)pcv);
    d3dForgetDeviceBound(&pca->ca_pColor);
    if (hTexture >= 1 && hTexture <= GFX_CTTEXTURESLOTS) {
      memset(&_gfx_atpTextures[hTexture - 1], 0, sizeof(CTextureParams));
      _gfxDeleteTexture(hTexture);
    }
  }
  memCountExternalAlloc(-pca->ca_slEstimate, 4096);
  pca->ca_slEstimate = 0;
  if (_gfx_pcvCurrent == pcv) _gfx_pcvCurrent = nullptr;
  pcv->cv_pcaAPI = nullptr;
  FreeRecord(pca);
}

int d3dRefreshWindowCanvas(CWindowCanvas *pwc)
{
  if (pwc == nullptr) return 0;
  // What the new canvas needs is read before the old record goes.
  GfxColorFormat eDepth = GCF_SHAREDDEPTH;
  if (pwc->cv_pcaAPI != nullptr && pwc->cv_pcaAPI->ca_pDepth != nullptr) {
    eDepth = pwc->cv_pcaAPI->ca_eDepthFormat;
  }
  CWindow *pwnd = gfxGetWindowCanvasWindow(pwc);
  d3dReleaseCanvas(pwc);
  if (d3dIsUnusable()) return 0;
  pwc->cv_pcaAPI = d3dNewWindowCanvas(pwnd, eDepth);
  return pwc->cv_pcaAPI != nullptr;
}

namespace {

// The device's part of d3dCurrentRenderArea, out of line: the slot's test for a usable device then
// returns without setting up this one's frame.
QE_NOINLINE void SetRenderArea(const CDrawPort *pdp)
{
  d3dOpenScene();
  D3DVIEWPORT9 vp = {0, 0, 1, 1, _gfx_fDepthNear, _gfx_fDepthFar};
  if (pdp->dp_iWidth > 0 && pdp->dp_iHeight > 0) {
    vp.X = pdp->dp_iLeft;
    vp.Y = pdp->dp_iTop;
    vp.Width = pdp->dp_iWidth;
    vp.Height = pdp->dp_iHeight;
  }
  _d3d.bs_pDevice->SetViewport(&vp);
  // A new area starts without a scissor: the mirror follows the device.
  _d3d.bs_pDevice->SetRenderState(D3DRS_SCISSORTESTENABLE, FALSE);
  _gfx_bScissor = 0;
}

} // namespace

void d3dCurrentRenderArea(CDrawPort *pdp)
{
  if (d3dIsUnusable() || pdp == nullptr) return;
  SetRenderArea(pdp);
}

void d3dCurrentRenderTarget(CCanvas *pcv, long iFace)
{
  if (d3dIsUnusable()) return;
  IDirect3DSurface9 *pColor = ColorSurfaceOf(pcv, iFace);
  if (pColor == nullptr) return;
  CanvasAPI *pca = pcv != nullptr ? pcv->cv_pcaAPI : nullptr;
  void *pDepth =
      pca != nullptr && pca->ca_pDepth != nullptr ? pca->ca_pDepth : _d3d.bs_pcaCommon->ca_pDepth;
  _d3d.bs_pDevice->SetRenderTarget(0, pColor);
  _d3d.bs_pDevice->SetDepthStencilSurface((IDirect3DSurface9 *)pDepth);
  pColor->Release();
  _gfx_pcvCurrent = pcv;
}

void d3dCopyRenderTarget(CCanvas *pcvSource, const Box2l &boxSource, long iSourceFace,
                         CCanvas *pcvTarget, const Box2l &boxTarget, long iTargetFace)
{
  if (d3dIsUnusable()) return;
  IDirect3DSurface9 *pSource = ColorSurfaceOf(pcvSource, iSourceFace);
  IDirect3DSurface9 *pTarget = ColorSurfaceOf(pcvTarget, iTargetFace);
  if (pSource != nullptr && pTarget != nullptr) {
    D3DSURFACE_DESC sdSource, sdTarget;
    pSource->GetDesc(&sdSource);
    pTarget->GetDesc(&sdTarget);
    RECT rcSource, rcTarget;
    if (d3dClipBox(boxSource, sdSource.Width, sdSource.Height, rcSource) &&
        d3dClipBox(boxTarget, sdTarget.Width, sdTarget.Height, rcTarget)) {
      _d3d.bs_pDevice->StretchRect(pSource, &rcSource, pTarget, &rcTarget, _d3d.bs_eCopyFilter);
    }
  }
  if (pSource != nullptr) pSource->Release();
  if (pTarget != nullptr) pTarget->Release();
}

unsigned long *d3dGrabCurrentRenderTarget(const Box2l &box, long)
{
  if (d3dIsUnusable()) return nullptr;
  IDirect3DDevice9 *pDevice = _d3d.bs_pDevice;
  IDirect3DSurface9 *pTarget = nullptr, *pCopy = nullptr;
  unsigned long *pulPixels = nullptr;
  D3DSURFACE_DESC sd;
  RECT rc;
  D3DLOCKED_RECT lr;
  if (FAILED(pDevice->GetRenderTarget(0, &pTarget))) return nullptr;
  pTarget->GetDesc(&sd);
  const bool b32 = sd.Format == D3DFMT_A8R8G8B8 || sd.Format == D3DFMT_X8R8G8B8;
  const bool b16 = sd.Format == D3DFMT_R5G6B5;
  if ((b32 || b16) && d3dClipBox(box, sd.Width, sd.Height, rc) &&
      SUCCEEDED(pDevice->CreateRenderTarget(sd.Width, sd.Height, sd.Format, D3DMULTISAMPLE_NONE, 0,
                                            TRUE, &pCopy, nullptr)) &&
      SUCCEEDED(pDevice->StretchRect(pTarget, nullptr, pCopy, nullptr, D3DTEXF_NONE)) &&
      SUCCEEDED(pCopy->LockRect(&lr, &rc, D3DLOCK_READONLY))) {
    const long iWidth = rc.right - rc.left, iHeight = rc.bottom - rc.top;
    pulPixels = (unsigned long *)memMAlloc(sizeof(unsigned long) * iWidth * iHeight);
    for (long y = 0; y < iHeight; y++) {
      const unsigned char *pubRow = (const unsigned char *)lr.pBits + y * lr.Pitch;
      unsigned long *pulOut = pulPixels + y * iWidth;
      if (b32) {
        memcpy(pulOut, pubRow, sizeof(unsigned long) * iWidth);
        continue;
      }
      for (long x = 0; x < iWidth; x++) {
        unsigned long ul = ((const unsigned short *)pubRow)[x];
        unsigned long r = (ul >> 11) & 31, g = (ul >> 5) & 63, b = ul & 31;
        pulOut[x] =
            0xFF000000 | ((r << 3 | r >> 2) << 16) | ((g << 2 | g >> 4) << 8) | (b << 3 | b >> 2);
      }
    }
    pCopy->UnlockRect();
  }
  if (pCopy != nullptr) pCopy->Release();
  pTarget->Release();
  return pulPixels;
}

void d3dClearRect(GfxTarget eTarget, long iX, long iY, long iWidth, long iHeight,
                  unsigned long ulColor, float fDepth, unsigned char ubStencil)
{
  if (d3dIsUnusable()) return;
  if (!_gfxClipToScissor(iX, iY, iWidth, iHeight)) return;
  d3dOpenScene();
  DWORD dwFlags = 0;
  if (eTarget & GTA_COLOR) dwFlags |= D3DCLEAR_TARGET;
  if (eTarget & GTA_DEPTH) dwFlags |= D3DCLEAR_ZBUFFER;
  if ((eTarget & GTA_STENCIL) && (gfx_ulFlags & GLF_STENCIL)) dwFlags |= D3DCLEAR_STENCIL;
  if (dwFlags == 0) return;
  const CDrawPort *pdp = _gfx_pdpCurrent;
  if (pdp != nullptr && iX == pdp->dp_iLeft && iY == pdp->dp_iTop && iWidth == pdp->dp_iWidth &&
      iHeight == pdp->dp_iHeight) {
    _d3d.bs_pDevice->Clear(0, nullptr, dwFlags, ulColor, fDepth, ubStencil);
    return;
  }
  D3DRECT rc = {iX, iY, iX + iWidth, iY + iHeight};
  _d3d.bs_pDevice->Clear(1, &rc, dwFlags, ulColor, fDepth, ubStencil);
}

void d3dClear(GfxTarget eTarget, unsigned long ulColor, float fDepth, unsigned char ubStencil)
{
  const CDrawPort *pdp = _gfx_pdpCurrent;
  if (pdp == nullptr) return;
  d3dClearRect(eTarget, pdp->dp_iLeft, pdp->dp_iTop, pdp->dp_iWidth, pdp->dp_iHeight, ulColor,
               fDepth, ubStencil);
}

void d3dSetCanvasSlots(void)
{
  _gfxNewWindowCanvas = SLOT(d3dNewWindowCanvas);
  _gfxNewTextureCanvas = SLOT(d3dNewTextureCanvas);
  _gfxNewRenderCanvas = SLOT(d3dNewRenderCanvas);
  _gfxRefreshWindowCanvas = SLOT(d3dRefreshWindowCanvas);
  _gfxReleaseCanvas = SLOT(d3dReleaseCanvas);
  _gfxClear = SLOT(d3dClear);
  _gfxClearRect = SLOT(d3dClearRect);
  _gfxCurrentRenderArea = SLOT(d3dCurrentRenderArea);
  _gfxCurrentRenderTarget = SLOT(d3dCurrentRenderTarget);
  _gfxCopyRenderTarget = SLOT(d3dCopyRenderTarget);
  _gfxGrabCurrentRenderTarget = SLOT(d3dGrabCurrentRenderTarget);
}

} // namespace QuennelEngine
