// The render-state slots: each compares with the engine's mirror, returns when nothing changes,
// and otherwise updates the mirror and sends exactly the state that changed. The default state
// goes to the device and the mirrors together, so the two never disagree.
#include "backend/BackendPrivate.h"

namespace QuennelEngine {

namespace {

// Every setter checked d3dIsUnusable first: the usable device is the same load.
inline IDirect3DDevice9 *Device(void)
{
  return _d3d.bs_pUsable;
}

// Float states travel as the float's bits in the DWORD.
inline DWORD FloatBits(float f)
{
  DWORD dw;
  memcpy(&dw, &f, sizeof(dw));
  return dw;
}

inline float Clamp(float f, float fMin, float fMax)
{
  return f < fMin ? fMin : (f > fMax ? fMax : f);
}

DWORD BlendOf(GfxBlend e)
{
  static const DWORD adw[8] = {D3DBLEND_ZERO,        D3DBLEND_ONE,        D3DBLEND_SRCCOLOR,
                               D3DBLEND_INVSRCCOLOR, D3DBLEND_DESTCOLOR,  D3DBLEND_INVDESTCOLOR,
                               D3DBLEND_SRCALPHA,    D3DBLEND_INVSRCALPHA};
  const long i = (long)e - GBL_ZERO;
  return i >= 0 && i < 8 ? adw[i] : (DWORD)D3DBLEND_ONE;
}

DWORD CompOf(GfxComp e)
{
  static const DWORD adw[8] = {D3DCMP_NEVER,   D3DCMP_LESS,     D3DCMP_LESSEQUAL,
                               D3DCMP_EQUAL,   D3DCMP_NOTEQUAL, D3DCMP_GREATEREQUAL,
                               D3DCMP_GREATER, D3DCMP_ALWAYS};
  const long i = (long)e - GCP_NEVER;
  return i >= 0 && i < 8 ? adw[i] : (DWORD)D3DCMP_ALWAYS;
}

DWORD FillOf(GfxPolyMode e)
{
  switch (e) {
  case GPM_LINE:
    return D3DFILL_WIREFRAME;
  case GPM_POINT:
    return D3DFILL_POINT;
  default:
    return D3DFILL_SOLID;
  }
}

// A boolean state behind its mirror.
inline void SetSwitch(int &bMirror, int bOn, D3DRENDERSTATETYPE eState)
{
  if (bMirror == bOn || d3dIsUnusable()) return;
  bMirror = bOn;
  Device()->SetRenderState(eState, bOn ? TRUE : FALSE);
}

// Sends the cull mode of the mirrored face: the orientation swaps front and back, and the last
// mode sent is not sent again.
void ApplyCullFace(void)
{
  GfxPolyFace eFace = _gfx_eCullFace;
  if (!_gfx_iFrontFace && eFace == GFF_FRONT) {
    eFace = GFF_BACK;
  } else if (!_gfx_iFrontFace && eFace == GFF_BACK) {
    eFace = GFF_FRONT;
  }
  const DWORD dwCull =
      eFace == GFF_FRONT ? D3DCULL_CCW : (eFace == GFF_BACK ? D3DCULL_CW : D3DCULL_NONE);
  if (dwCull == _d3d.bs_dwCullSent) return;
  _d3d.bs_dwCullSent = dwCull;
  Device()->SetRenderState(D3DRS_CULLMODE, dwCull);
}

void SetBlendFactors(GfxBlend eSrc, GfxBlend eDst)
{
  if (eSrc != _gfx_eBlendSrc) Device()->SetRenderState(D3DRS_SRCBLEND, BlendOf(eSrc));
  if (eDst != _gfx_eBlendDst) Device()->SetRenderState(D3DRS_DESTBLEND, BlendOf(eDst));
  _gfx_eBlendSrc = eSrc;
  _gfx_eBlendDst = eDst;
}

void SetBlending(int bOn)
{
  if (_gfx_bBlending == bOn) return;
  _gfx_bBlending = bOn;
  Device()->SetRenderState(D3DRS_ALPHABLENDENABLE, bOn ? TRUE : FALSE);
}

} // namespace

void d3dSetDefaultRenderState(void)
{
  IDirect3DDevice9 *pDevice = Device();
  _gfx_bDepthTest = 0;
  _gfx_bDepthWrite = 0;
  _gfx_bAlphaTest = 0;
  _gfx_bBlending = 0;
  _gfx_bFog = 0;
  _gfx_ulFogColor = 0;
  _gfx_fFogStart = 88888.0f;
  _gfx_fFogEnd = 99999.0f;
  _gfx_bClipPlane = 0;
  _gfx_iFrontFace = 1;
  _swr_bFrontFace = 0;
  _gfx_fDepthNear = 0.0f;
  _gfx_fDepthFar = 1.0f;
  _gfx_eCullFace = GFF_BACK;
  _gfx_eDepthFunc = GCP_LESS_OR_EQUAL;
  _gfx_eBlendSrc = GBL_ONE;
  _gfx_eBlendDst = GBL_ZERO;
  _gfx_eAlphaFunc = GCP_GREATER;
  _gfx_fAlphaRef = 0.5f;
  _gfx_ePolyMode = GPM_FILL;
  _gfx_fPointSize = 1.0f;
  _gfx_ulCurrentColorMask = 0xFFFFFFFF;
  _gfx_bScissor = 0;
  _gfx_iScissorLeft = _gfx_iScissorTop = _gfx_iScissorWidth = _gfx_iScissorHeight = 0;
  _d3d.bs_bMaskEmulated = 0;
  memset(_d3d.bs_afClipPlane, 0, sizeof(_d3d.bs_afClipPlane));
  pDevice->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
  pDevice->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
  pDevice->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
  pDevice->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
  pDevice->SetRenderState(D3DRS_FOGENABLE, FALSE);
  pDevice->SetRenderState(D3DRS_FOGCOLOR, 0);
  pDevice->SetRenderState(D3DRS_FOGSTART, FloatBits(_gfx_fFogStart));
  pDevice->SetRenderState(D3DRS_FOGEND, FloatBits(_gfx_fFogEnd));
  pDevice->SetRenderState(D3DRS_CLIPPLANEENABLE, 0);
  pDevice->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
  pDevice->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
  pDevice->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
  pDevice->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ZERO);
  pDevice->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATER);
  pDevice->SetRenderState(D3DRS_ALPHAREF, 128);
  pDevice->SetRenderState(D3DRS_SCISSORTESTENABLE, FALSE);
  pDevice->SetRenderState(D3DRS_COLORWRITEENABLE, 0xF);
  pDevice->SetRenderState(D3DRS_POINTSIZE, FloatBits(1.0f));
  // The cull cache starts again with the device's state (a reset forgets it).
  _d3d.bs_dwCullSent = 0;
  ApplyCullFace();
}

void d3dEnableDepthWrite(void)
{
  SetSwitch(_gfx_bDepthWrite, 1, D3DRS_ZWRITEENABLE);
}
void d3dDisableDepthWrite(void)
{
  SetSwitch(_gfx_bDepthWrite, 0, D3DRS_ZWRITEENABLE);
}
void d3dEnableDepthBuffer(void)
{
  SetSwitch(_gfx_bDepthTest, 1, D3DRS_ZENABLE);
}
void d3dDisableDepthBuffer(void)
{
  SetSwitch(_gfx_bDepthTest, 0, D3DRS_ZENABLE);
}
void d3dEnableAlphaTest(void)
{
  if (gfx_bNoAlphaTesting) return;
  SetSwitch(_gfx_bAlphaTest, 1, D3DRS_ALPHATESTENABLE);
}
void d3dDisableAlphaTest(void)
{
  SetSwitch(_gfx_bAlphaTest, 0, D3DRS_ALPHATESTENABLE);
}
// While blending stands in for a colour mask of 0, switching it goes to the state that comes
// back with the mask (turning it off now would let colour through).
void d3dEnableBlend(void)
{
  if (gfx_bNoAlphaBlending) return;
  if (_d3d.bs_bMaskEmulated) {
    _d3d.bs_bMaskedBlending = 1;
    return;
  }
  SetSwitch(_gfx_bBlending, 1, D3DRS_ALPHABLENDENABLE);
}
void d3dDisableBlend(void)
{
  if (_d3d.bs_bMaskEmulated) {
    _d3d.bs_bMaskedBlending = 0;
    return;
  }
  SetSwitch(_gfx_bBlending, 0, D3DRS_ALPHABLENDENABLE);
}
void d3dEnableFog(void)
{
  SetSwitch(_gfx_bFog, 1, D3DRS_FOGENABLE);
}
void d3dDisableFog(void)
{
  SetSwitch(_gfx_bFog, 0, D3DRS_FOGENABLE);
}

void d3dEnableClipPlane(void)
{
  if (_gfx_bClipPlane || d3dIsUnusable()) return;
  _gfx_bClipPlane = 1;
  if (gfx_ulFlags & GLF_CLIPPLANE) Device()->SetRenderState(D3DRS_CLIPPLANEENABLE, 1);
}
void d3dDisableClipPlane(void)
{
  if (!_gfx_bClipPlane || d3dIsUnusable()) return;
  _gfx_bClipPlane = 0;
  if (gfx_ulFlags & GLF_CLIPPLANE) Device()->SetRenderState(D3DRS_CLIPPLANEENABLE, 0);
}

void d3dFogColor(unsigned long ulColor)
{
  if (_gfx_ulFogColor == ulColor || d3dIsUnusable()) return;
  _gfx_ulFogColor = ulColor;
  Device()->SetRenderState(D3DRS_FOGCOLOR, ulColor);
}

void d3dFogRange(float fStart, float fEnd)
{
  if (d3dIsUnusable()) return;
  if (fStart != _gfx_fFogStart) {
    _gfx_fFogStart = fStart;
    Device()->SetRenderState(D3DRS_FOGSTART, FloatBits(fStart));
  }
  if (fEnd != _gfx_fFogEnd) {
    _gfx_fFogEnd = fEnd;
    Device()->SetRenderState(D3DRS_FOGEND, FloatBits(fEnd));
  }
}

void d3dBlendFunc(GfxBlend eSrc, GfxBlend eDst)
{
  if ((eSrc == _gfx_eBlendSrc && eDst == _gfx_eBlendDst) || d3dIsUnusable()) return;
  // While blending stands in for a colour mask of 0 the factors stay as they are.
  if (_d3d.bs_bMaskEmulated) return;
  SetBlendFactors(eSrc, eDst);
}

void d3dAlphaFunc(GfxComp eFunc, float fRef)
{
  fRef = Clamp(fRef, 0.0f, 1.0f);
  if ((eFunc == _gfx_eAlphaFunc && fRef == _gfx_fAlphaRef) || d3dIsUnusable()) return;
  if (eFunc != _gfx_eAlphaFunc) Device()->SetRenderState(D3DRS_ALPHAFUNC, CompOf(eFunc));
  if (fRef != _gfx_fAlphaRef) Device()->SetRenderState(D3DRS_ALPHAREF, (DWORD)(fRef * 255 + 0.5f));
  _gfx_eAlphaFunc = eFunc;
  _gfx_fAlphaRef = fRef;
}

void d3dDepthFunc(GfxComp eFunc)
{
  if (eFunc == _gfx_eDepthFunc || d3dIsUnusable()) return;
  _gfx_eDepthFunc = eFunc;
  Device()->SetRenderState(D3DRS_ZFUNC, CompOf(eFunc));
}

void d3dDepthRange(float fNear, float fFar)
{
  fNear = Clamp(fNear, 0.0f, 0.999f);
  fFar = Clamp(fFar, 0.001f, 1.0f);
  if (fFar < fNear + 0.001f) fFar = fNear + 0.001f;
  if ((fNear == _gfx_fDepthNear && fFar == _gfx_fDepthFar) || d3dIsUnusable()) return;
  _gfx_fDepthNear = fNear;
  _gfx_fDepthFar = fFar;
  D3DVIEWPORT9 vp;
  Device()->GetViewport(&vp);
  vp.MinZ = fNear;
  vp.MaxZ = fFar;
  Device()->SetViewport(&vp);
}

void d3dCullFace(GfxPolyFace eFace)
{
  if (d3dIsUnusable()) return;
  if (eFace == GFF_INVERSE) {
    if (_gfx_eCullFace == GFF_NONE) return;
    eFace = _gfx_eCullFace == GFF_BACK ? GFF_FRONT : GFF_BACK;
  }
  if (eFace != GFF_NONE && eFace != GFF_FRONT && eFace != GFF_BACK) return;
  _gfx_eCullFace = eFace;
  ApplyCullFace();
}

void d3dFrontFace(GfxPolyFace eFace)
{
  if (d3dIsUnusable()) return;
  if (eFace == GFF_INVERSE) eFace = _gfx_iFrontFace ? GFF_CW : GFF_CCW;
  _swr_bFrontFace = eFace == GFF_CCW;
  const int bFront = eFace == GFF_CCW;
  if (bFront == _gfx_iFrontFace) return;
  _gfx_iFrontFace = bFront;
  if (_gfx_eCullFace != GFF_NONE) ApplyCullFace();
}

void d3dPolygonMode(GfxPolyMode eMode)
{
  if (eMode == _gfx_ePolyMode || d3dIsUnusable()) return;
  _gfx_ePolyMode = eMode;
  Device()->SetRenderState(D3DRS_FILLMODE, FillOf(eMode));
}

void d3dPolygonOffset(float fScale, float fBias)
{
  if (!(gfx_ulFlags & GLF_DEPTHBIAS) || d3dIsUnusable()) return;
  if (fScale != _gfx_fDepthScale) {
    _gfx_fDepthScale = fScale;
    Device()->SetRenderState(D3DRS_SLOPESCALEDEPTHBIAS, FloatBits(fScale));
  }
  if (fBias != _gfx_fDepthBias) {
    _gfx_fDepthBias = fBias;
    Device()->SetRenderState(D3DRS_DEPTHBIAS, FloatBits(fBias / 65536.0f));
  }
}

void d3dPointSize(float fSize)
{
  fSize = Clamp(fSize, 0.01f, gfx_fMaxPointSize);
  if (fSize == _gfx_fPointSize || d3dIsUnusable()) return;
  _gfx_fPointSize = fSize;
  if (gfx_fMaxPointSize != 1.0f) Device()->SetRenderState(D3DRS_POINTSIZE, FloatBits(fSize));
}

void d3dLineWidth(float fWidth)
{
  // Direct3D 9 draws lines one pixel wide: the width is only kept.
  _gfx_fLineWidth = Clamp(fWidth, 0.01f, gfx_fMaxLineWidth);
}

void d3dMaskColorChannel(int bRed, int bGreen, int bBlue, int bAlpha)
{
  const unsigned long ulMask = (bRed ? 0xFF000000 : 0) | (bGreen ? 0x00FF0000 : 0) |
                               (bBlue ? 0x0000FF00 : 0) | (bAlpha ? 0x000000FF : 0);
  if (ulMask == _gfx_ulCurrentColorMask || d3dIsUnusable()) return;
  _gfx_ulCurrentColorMask = ulMask;
  if (gfx_ulFlags & GLF_COLORMASK) {
    const DWORD dwWrite =
        (bRed ? D3DCOLORWRITEENABLE_RED : 0) | (bGreen ? D3DCOLORWRITEENABLE_GREEN : 0) |
        (bBlue ? D3DCOLORWRITEENABLE_BLUE : 0) | (bAlpha ? D3DCOLORWRITEENABLE_ALPHA : 0);
    Device()->SetRenderState(D3DRS_COLORWRITEENABLE, dwWrite);
    return;
  }
  // Without write masks only "nothing" can be had: blending that keeps the target. The blend
  // state it replaced comes back with the next mask that writes something.
  if (ulMask == 0 && !_d3d.bs_bMaskEmulated) {
    _d3d.bs_bMaskedBlending = _gfx_bBlending;
    _d3d.bs_eMaskedSrc = _gfx_eBlendSrc;
    _d3d.bs_eMaskedDst = _gfx_eBlendDst;
    SetBlending(1);
    SetBlendFactors(GBL_ZERO, GBL_ONE);
    _d3d.bs_bMaskEmulated = 1;
  } else if (ulMask != 0 && _d3d.bs_bMaskEmulated) {
    _d3d.bs_bMaskEmulated = 0;
    SetBlendFactors(_d3d.bs_eMaskedSrc, _d3d.bs_eMaskedDst);
    SetBlending(_d3d.bs_bMaskedBlending);
  }
}

void d3dClipPlane(const float *pfPlane)
{
  if (pfPlane == nullptr || d3dIsUnusable()) return;
  if (memcmp(pfPlane, _d3d.bs_afClipPlane, sizeof(_d3d.bs_afClipPlane)) == 0) return;
  memcpy(_d3d.bs_afClipPlane, pfPlane, sizeof(_d3d.bs_afClipPlane));
  if (gfx_ulFlags & GLF_CLIPPLANE) Device()->SetClipPlane(0, pfPlane);
}

void d3dScissor(long iX, long iY, long iWidth, long iHeight)
{
  if (d3dIsUnusable()) return;
  const CDrawPort *pdp = _gfx_pdpCurrent;
  bool bOn = iWidth >= 0 && iHeight >= 0 && pdp != nullptr;
  long iLeft = 0, iTop = 0, iRight = 0, iBottom = 0;
  if (bOn) {
    // Draw-port coordinates to the target's, clipped to the draw port; the right and bottom
    // edges are exclusive here.
    iLeft = iX + pdp->dp_iLeft;
    iTop = iY + pdp->dp_iTop;
    iRight = iLeft + iWidth;
    iBottom = iTop + iHeight;
    const long iPortRight = pdp->dp_iLeft + pdp->dp_iWidth;
    const long iPortBottom = pdp->dp_iTop + pdp->dp_iHeight;
    if (iLeft < pdp->dp_iLeft) iLeft = pdp->dp_iLeft;
    if (iTop < pdp->dp_iTop) iTop = pdp->dp_iTop;
    if (iRight > iPortRight) iRight = iPortRight;
    if (iBottom > iPortBottom) iBottom = iPortBottom;
    // Nothing of the box on the draw port: an empty box that lets nothing through.
    if (iRight < iLeft) iRight = iLeft;
    if (iBottom < iTop) iBottom = iTop;
    if (iLeft == pdp->dp_iLeft && iTop == pdp->dp_iTop && iRight == iPortRight &&
        iBottom == iPortBottom) {
      bOn = false;
    }
  }
  if (!bOn) {
    if (!_gfx_bScissor) return;
    _gfx_bScissor = 0;
    _gfx_iScissorLeft = _gfx_iScissorTop = _gfx_iScissorWidth = _gfx_iScissorHeight = 0;
    Device()->SetRenderState(D3DRS_SCISSORTESTENABLE, FALSE);
    return;
  }
  if (_gfx_bScissor && iLeft == _gfx_iScissorLeft && iTop == _gfx_iScissorTop &&
      iRight - iLeft == _gfx_iScissorWidth && iBottom - iTop == _gfx_iScissorHeight) {
    return;
  }
  _gfx_iScissorLeft = iLeft;
  _gfx_iScissorTop = iTop;
  _gfx_iScissorWidth = iRight - iLeft;
  _gfx_iScissorHeight = iBottom - iTop;
  RECT rc = {iLeft, iTop, iRight, iBottom};
  Device()->SetScissorRect(&rc);
  if (!_gfx_bScissor) Device()->SetRenderState(D3DRS_SCISSORTESTENABLE, TRUE);
  _gfx_bScissor = 1;
}

void d3dProjectionMatrix(const Matrix44f &m)
{
  _gfx_mCurrentProjection = m;
  _gfx_mAdjustedProjection = m;
  const CDrawPort *pdp = _gfx_pdpCurrent;
  if (pdp == nullptr || pdp->dp_iWidth <= 0 || pdp->dp_iHeight <= 0) return;
  // The viewport is the draw port, so what is left is Direct3D's pixel centres: clip x and y
  // move by 0.99 of half a pixel (one pixel is 2 / size in clip units), applied through the w
  // row so it holds for any depth.
  const float fOffsetX = -0.99f / (float)pdp->dp_iWidth;
  const float fOffsetY = 0.99f / (float)pdp->dp_iHeight;
  for (int iCol = 0; iCol < 4; iCol++) {
    _gfx_mAdjustedProjection.m[0][iCol] += fOffsetX * m.m[3][iCol];
    _gfx_mAdjustedProjection.m[1][iCol] += fOffsetY * m.m[3][iCol];
  }
}

void d3dSetRenderStateSlots(void)
{
  _gfxEnableDepthWrite = SLOT(d3dEnableDepthWrite);
  _gfxDisableDepthWrite = SLOT(d3dDisableDepthWrite);
  _gfxEnableDepthBuffer = SLOT(d3dEnableDepthBuffer);
  _gfxDisableDepthBuffer = SLOT(d3dDisableDepthBuffer);
  _gfxEnableAlphaTest = SLOT(d3dEnableAlphaTest);
  _gfxDisableAlphaTest = SLOT(d3dDisableAlphaTest);
  _gfxEnableBlend = SLOT(d3dEnableBlend);
  _gfxDisableBlend = SLOT(d3dDisableBlend);
  _gfxEnableClipPlane = SLOT(d3dEnableClipPlane);
  _gfxDisableClipPlane = SLOT(d3dDisableClipPlane);
  _gfxEnableFog = SLOT(d3dEnableFog);
  _gfxDisableFog = SLOT(d3dDisableFog);
  _gfxBlendFunc = SLOT(d3dBlendFunc);
  _gfxAlphaFunc = SLOT(d3dAlphaFunc);
  _gfxDepthFunc = SLOT(d3dDepthFunc);
  _gfxDepthRange = SLOT(d3dDepthRange);
  _gfxCullFace = SLOT(d3dCullFace);
  _gfxFrontFace = SLOT(d3dFrontFace);
  _gfxClipPlane = SLOT(d3dClipPlane);
  _gfxPointSize = SLOT(d3dPointSize);
  _gfxLineWidth = SLOT(d3dLineWidth);
  _gfxPolygonMode = SLOT(d3dPolygonMode);
  _gfxPolygonOffset = SLOT(d3dPolygonOffset);
  _gfxMaskColorChannel = SLOT(d3dMaskColorChannel);
  _gfxFogColor = SLOT(d3dFogColor);
  _gfxFogRange = SLOT(d3dFogRange);
  _gfxScissor = SLOT(d3dScissor);
  _gfxProjectionMatrix = SLOT(d3dProjectionMatrix);
}

} // namespace QuennelEngine
