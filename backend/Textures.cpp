// Textures: the format table, creation, upload level by level and face by face, binding, the
// per-unit sampler settings with redundant calls filtered out, DXT compression and the shared
// YUY2 surfaces that video textures are filled through where the device cannot sample YUY2.
#include "backend/BackendPrivate.h"
#include "backend/D3DX.h"
#include "backend/DeviceBoundPrivate.h"

namespace QuennelEngine {

namespace {

// The Direct3D format of each engine texture format, and the formats tried in its place when
// the device refuses it (232 ends a shorter list, so YUY2 is never a fallback).
const D3DFORMAT _afmtPrimary[GFX_CTTEXFORMATS] = {
    D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8, D3DFMT_R5G6B5, D3DFMT_A1R5G5B5,      D3DFMT_A4R4G4B4,
    D3DFMT_A8L8,     D3DFMT_L8,       D3DFMT_A8,     D3DFMT_A16B16G16R16F, D3DFMT_DXT1,
    D3DFMT_DXT3,     D3DFMT_DXT5,     D3DFMT_YUY2,
};
const long _aiFallbacks[GFX_CTTEXFORMATS][5] = {
    {221, 222, 223, 229, 232}, {224, 231, 232, 232, 232}, {223, 220, 224, 229, 221},
    {224, 221, 230, 232, 232}, {221, 230, 232, 232, 232}, {221, 224, 231, 232, 232},
    {225, 220, 222, 229, 221}, {225, 221, 231, 224, 232}, {232, 232, 232, 232, 232},
    {230, 231, 223, 224, 221}, {231, 224, 221, 232, 232}, {230, 224, 221, 232, 232},
    {220, 221, 222, 224, 223},
};

// (magnification, minification, mip) per filter code 200..211.
const BYTE _aubFilters[12][3] = {
    {1, 1, 0}, {2, 1, 0}, {1, 2, 0}, {2, 2, 0}, {1, 1, 1}, {2, 1, 1},
    {1, 2, 1}, {2, 2, 1}, {1, 1, 2}, {2, 1, 2}, {1, 2, 2}, {2, 2, 2},
};

bool IsDXT(GfxColorFormat e)
{
  return e == GCF_DXT1 || e == GCF_DXT3 || e == GCF_DXT5;
}

bool IsPowerOfTwo(long i)
{
  return i > 0 && (i & (i - 1)) == 0;
}

DWORD AddressMode(long eWrap)
{
  return eWrap == GTW_CLAMP ? D3DTADDRESS_CLAMP
                            : (eWrap == GTW_BORDER ? D3DTADDRESS_BORDER : D3DTADDRESS_WRAP);
}

DWORD FloatBits(float f)
{
  DWORD dw;
  memcpy(&dw, &f, sizeof(dw));
  return dw;
}

// Bytes of one source row (a block row for DXT) and how many rows a level has.
long SourcePitch(GfxColorFormat e, long iWidth)
{
  if (IsDXT(e)) return ((iWidth + 3) / 4 < 1 ? 1 : (iWidth + 3) / 4) * (e == GCF_DXT1 ? 8 : 16);
  if (e == GCF_VIDEOFRAME) return iWidth * 2;
  return iWidth * gfxGetFormatSize(e);
}
long SourceRows(GfxColorFormat e, long iHeight)
{
  return IsDXT(e) ? (iHeight + 3) / 4 : iHeight;
}

void CopyRows(BYTE *pubDest, long slDestPitch, const BYTE *pubSource, long slSourcePitch,
              long ctRows)
{
  for (long i = 0; i < ctRows; i++) {
    memcpy(pubDest + i * slDestPitch, pubSource + i * slSourcePitch, slSourcePitch);
  }
}

// A YUY2 off-screen surface shared by the video textures of one size.
class CSharedYUY2 : public CDeviceBound {
public:
  CSharedYUY2(long iWidth, long iHeight) : sy_iWidth(iWidth), sy_iHeight(iHeight) {}
  ~CSharedYUY2() override { Release(); }
  HRESULT Create(void)
  {
    HRESULT hr = _d3d.bs_pDevice->CreateOffscreenPlainSurface(
        sy_iWidth, sy_iHeight, D3DFMT_YUY2, D3DPOOL_DEFAULT, &sy_pSurface, nullptr);
    if (FAILED(hr)) sy_pSurface = nullptr;
    return hr;
  }
  void Release(void)
  {
    if (sy_pSurface != nullptr) sy_pSurface->Release();
    sy_pSurface = nullptr;
  }
  void ReleaseBeforeReset(void) override { Release(); }
  bool RestoreAfterReset(void) override { return SUCCEEDED(Create()); }
  IUnknown *WrappedObject(void) override { return sy_pSurface; }
  bool IsKeptIn(const void *pvField) override { return pvField == &sy_pSurface; }

  long sy_iWidth, sy_iHeight;
  long sy_ctUses = 0;
  IDirect3DSurface9 *sy_pSurface = nullptr;
  CSharedYUY2 *sy_psyNext = nullptr;
};

CSharedYUY2 *_psyFirst = nullptr;
// Per slot: the backend made its texture (canvases own theirs), and the shared surface it uses.
bool _abOwned[GFX_CTTEXTURESLOTS];
CSharedYUY2 *_apsyShared[GFX_CTTEXTURESLOTS];

CSharedYUY2 *TakeShared(long iWidth, long iHeight)
{
  for (CSharedYUY2 *psy = _psyFirst; psy != nullptr; psy = psy->sy_psyNext) {
    if (psy->sy_iWidth == iWidth && psy->sy_iHeight == iHeight) {
      psy->sy_ctUses++;
      return psy;
    }
  }
  CSharedYUY2 *psy = new CSharedYUY2(iWidth, iHeight);
  if (FAILED(psy->Create())) {
    delete psy;
    return nullptr;
  }
  psy->sy_ctUses = 1;
  psy->sy_psyNext = _psyFirst;
  _psyFirst = psy;
  d3dRegisterDeviceBound(psy);
  memCountExternalAlloc(iWidth * iHeight * 2, 4096);
  return psy;
}

void DropShared(CSharedYUY2 *psy)
{
  if (--psy->sy_ctUses > 0) return;
  for (CSharedYUY2 **ppsy = &_psyFirst; *ppsy != nullptr; ppsy = &(*ppsy)->sy_psyNext) {
    if (*ppsy == psy) {
      *ppsy = psy->sy_psyNext;
      break;
    }
  }
  memCountExternalAlloc(-psy->sy_iWidth * psy->sy_iHeight * 2, 4096);
  d3dForgetDeviceBound(&psy->sy_pSurface);
}

bool IsOutOfMemory(HRESULT hr)
{
  return hr == E_OUTOFMEMORY || hr == D3DERR_OUTOFVIDEOMEMORY;
}

CTextureParams *ValidSlot(long hTexture)
{
  if (hTexture < 1 || hTexture > _gfx_ctTextures) return nullptr;
  CTextureParams &tp = _gfx_atpTextures[hTexture - 1];
  return tp.tp_pTexture != nullptr ? &tp : nullptr;
}

void EmptySlot(CTextureParams &tp)
{
  memset(&tp, 0, sizeof(tp));
  tp.tp_eWrapU = tp.tp_eWrapV = tp.tp_eWrapW = GTW_REPEAT;
  tp.tp_eFilter = GTF_DEFAULT;
}

// Fills one level (or face) surface from tightly packed data of the engine format `eSource`.
void FillSurface(IDirect3DSurface9 *pSurface, CSharedYUY2 *psy, const BYTE *pubData,
                 GfxColorFormat eSource, long iWidth, long iHeight)
{
  D3DSURFACE_DESC sd;
  if (FAILED(pSurface->GetDesc(&sd))) return;
  const long slPitch = SourcePitch(eSource, iWidth);
  const long ctRows = SourceRows(eSource, iHeight);
  if (eSource == GCF_VIDEOFRAME) {
    IDirect3DSurface9 *pTarget = psy != nullptr ? psy->sy_pSurface : pSurface;
    D3DLOCKED_RECT lr;
    if (pTarget == nullptr || FAILED(pTarget->LockRect(&lr, nullptr, 0))) return;
    for (long y = 0; y < iHeight; y++) {
      bmpConvertFormat(pubData + y * slPitch, (BYTE *)lr.pBits + y * lr.Pitch, iWidth, 1,
                       GCF_VIDEOFRAME, GCF_YUY2);
    }
    pTarget->UnlockRect();
    if (psy != nullptr)
      _d3d.bs_pDevice->StretchRect(pTarget, nullptr, pSurface, nullptr, D3DTEXF_NONE);
    return;
  }
  const D3DFORMAT fmtSource = _afmtPrimary[eSource - GFX_FIRSTTEXFORMAT];
  const bool bBoth32 = (sd.Format == D3DFMT_A8R8G8B8 || sd.Format == D3DFMT_X8R8G8B8) &&
                       (fmtSource == D3DFMT_A8R8G8B8 || fmtSource == D3DFMT_X8R8G8B8);
  if (sd.Format == fmtSource || bBoth32) {
    D3DLOCKED_RECT lr;
    if (FAILED(pSurface->LockRect(&lr, nullptr, 0))) return;
    CopyRows((BYTE *)lr.pBits, lr.Pitch, pubData, slPitch, ctRows);
    pSurface->UnlockRect();
    return;
  }
  const D3DXFunctions *pfx = d3dxGetFunctions();
  if (pfx == nullptr) return;
  RECT rc = {0, 0, iWidth, iHeight};
  CD3DXScope xs;
  pfx->LoadSurfaceFromMemory(pSurface, nullptr, nullptr, pubData, fmtSource, slPitch, nullptr, &rc,
                             D3DX_FILTER_NONE, 0);
}

void FillVolume(IDirect3DVolume9 *pVolume, const BYTE *pubData, GfxColorFormat eSource, long iWidth,
                long iHeight, long iDepth)
{
  const D3DXFunctions *pfx = d3dxGetFunctions();
  if (pfx == nullptr || eSource == GCF_VIDEOFRAME) return;
  const long slPitch = SourcePitch(eSource, iWidth);
  D3DBOX box = {0, 0, (UINT)iWidth, (UINT)iHeight, 0, (UINT)iDepth};
  CD3DXScope xs;
  pfx->LoadVolumeFromMemory(
      pVolume, nullptr, nullptr, pubData, _afmtPrimary[eSource - GFX_FIRSTTEXFORMAT], slPitch,
      slPitch * SourceRows(eSource, iHeight), nullptr, &box, D3DX_FILTER_NONE, 0);
}

void UnbindEverywhere(long hTexture)
{
  for (long iUnit = 0; iUnit < 16; iUnit++) {
    if (_gfx_ahCurrentTexture[iUnit] != hTexture) continue;
    _d3d.bs_pDevice->SetTexture(iUnit, nullptr);
    _gfx_ahCurrentTexture[iUnit] = 0;
  }
}

// Releases a slot's texture and uncounts it (the device must be there).
void ReleaseSlot(long hTexture)
{
  CTextureParams &tp = _gfx_atpTextures[hTexture - 1];
  CSharedYUY2 *psy = _apsyShared[hTexture - 1];
  if (psy != nullptr) {
    // The texture is device-bound like its surface: forgetting it releases it.
    d3dForgetDeviceBound(&tp.tp_pTexture);
    DropShared(psy);
    _apsyShared[hTexture - 1] = nullptr;
  } else if (tp.tp_pTexture != nullptr) {
    ((IUnknown *)tp.tp_pTexture)->Release();
  }
  memCountExternalAlloc(-tp.tp_slMemory, 4096);
  _abOwned[hTexture - 1] = false;
  EmptySlot(tp);
}

} // namespace

D3DFORMAT d3dChooseTextureFormat(GfxColorFormat eFormat)
{
  const long i = eFormat - GFX_FIRSTTEXFORMAT;
  if (i < 0 || i >= GFX_CTTEXFORMATS) return D3DFMT_UNKNOWN;
  if (_d3d.bs_pD3D == nullptr) return _afmtPrimary[i];
  auto IsAccepted = [](D3DFORMAT fmt) {
    return !d3dSeamRefusesTexture(fmt) &&
           SUCCEEDED(_d3d.bs_pD3D->CheckDeviceFormat(_d3d.bs_iAdapter, _d3d.bs_eDevType,
                                                     _d3d.bs_fmtAdapter, 0, D3DRTYPE_TEXTURE, fmt));
  };
  if (IsAccepted(_afmtPrimary[i])) return _afmtPrimary[i];
  for (long iFallback : _aiFallbacks[i]) {
    if (iFallback == GCF_YUY2) break;
    D3DFORMAT fmt = _afmtPrimary[iFallback - GFX_FIRSTTEXFORMAT];
    if (IsAccepted(fmt)) return fmt;
  }
  return D3DFMT_UNKNOWN;
}

long d3dTextureMemory(long iWidth, long iHeight, long iDepth, bool bMipmaps, bool bCube,
                      GfxColorFormat eFormat)
{
  long slTotal = 0;
  for (;;) {
    slTotal += gfxGetFormatSize(iWidth, iHeight, iDepth, eFormat);
    if (!bMipmaps || (iWidth == 1 && iHeight == 1 && iDepth == 1)) break;
    iWidth = iWidth > 1 ? iWidth / 2 : 1;
    iHeight = iHeight > 1 ? iHeight / 2 : 1;
    iDepth = iDepth > 1 ? iDepth / 2 : 1;
  }
  return bCube ? slTotal * 6 : slTotal;
}

long d3dCreateTexture(long iWidth, long iHeight, long iDepth, int bMipmaps, GfxColorFormat eFormat)
{
  if (d3dIsUnusable()) return 0;
  if (eFormat < GFX_FIRSTTEXFORMAT || eFormat >= GFX_FIRSTTEXFORMAT + GFX_CTTEXFORMATS) return 0;
  const bool bCube = iHeight < 1;
  if (bCube) {
    iHeight = iWidth;
    iDepth = 1;
  }
  if (iDepth < 1) iDepth = 1;
  const bool bVolume = iDepth > 1;
  const bool bNonPow2 = !IsPowerOfTwo(iWidth) || !IsPowerOfTwo(iHeight) || !IsPowerOfTwo(iDepth);
  const long pixMax = bVolume ? gfx_pixMaxVolumeTextureSize : gfx_pixMaxTextureSize;
  if (iWidth < 1 || iWidth > pixMax || iHeight > pixMax || iDepth > pixMax) return 0;
  // Compressed formats need whole blocks: odd sizes take an uncompressed format of like alpha.
  if (bNonPow2) {
    if (eFormat == GCF_DXT1) eFormat = GCF_RGB565;
    if (eFormat == GCF_DXT3 || eFormat == GCF_DXT5) eFormat = GCF_ARGB4;
    if (!(gfx_ulFlags & GLF_NONPOW2)) bMipmaps = 0;
  }
  if (bVolume && !(gfx_ulFlags & GLF_MIPVOLUMEMAPS)) bMipmaps = 0;
  if (eFormat == GCF_YUY2) bMipmaps = 0;
  const D3DFORMAT fmt = (D3DFORMAT)_gfx_aulTexFormats[eFormat - GFX_FIRSTTEXFORMAT];
  if (fmt == D3DFMT_UNKNOWN) return 0;
  const long hSlot = _gfxFindEmptyTextureSlot();
  if (hSlot == 0) return 0;
  CTextureParams &tp = _gfx_atpTextures[hSlot - 1];

  IDirect3DDevice9 *pDevice = _d3d.bs_pDevice;
  const UINT ctLevels = bMipmaps ? 0 : 1;
  HRESULT hr;
  CSharedYUY2 *psy = nullptr;
  if (eFormat == GCF_YUY2 && fmt != D3DFMT_YUY2 && (gfx_ulFlags & GLF_YUY2CONVERSION)) {
    psy = TakeShared(iWidth, iHeight);
    if (psy == nullptr) return 0;
    hr = d3dNewBoundResource(
        new CBoundResource(BK_RENDERTEXTURE, iWidth, iHeight, fmt, &tp.tp_pTexture));
    if (FAILED(hr)) DropShared(psy);
  } else if (bCube) {
    hr = pDevice->CreateCubeTexture(iWidth, ctLevels, 0, fmt, D3DPOOL_MANAGED,
                                    (IDirect3DCubeTexture9 **)&tp.tp_pTexture, nullptr);
  } else if (bVolume) {
    hr = pDevice->CreateVolumeTexture(iWidth, iHeight, iDepth, ctLevels, 0, fmt, D3DPOOL_MANAGED,
                                      (IDirect3DVolumeTexture9 **)&tp.tp_pTexture, nullptr);
  } else {
    hr = pDevice->CreateTexture(iWidth, iHeight, ctLevels, 0, fmt, D3DPOOL_MANAGED,
                                (IDirect3DTexture9 **)&tp.tp_pTexture, nullptr);
  }
  if (FAILED(hr) || tp.tp_pTexture == nullptr) {
    if (IsOutOfMemory(hr)) _gfxError("CreateTexture");
    EmptySlot(tp);
    _gfxCompactTextureSlots();
    return 0;
  }
  _abOwned[hSlot - 1] = true;
  _apsyShared[hSlot - 1] = psy;
  tp.tp_uwWidth = (unsigned short)iWidth;
  tp.tp_uwHeight = (unsigned short)iHeight;
  tp.tp_uwDepth = (unsigned short)iDepth;
  tp.tp_eFormat = eFormat;
  tp.tp_ulFlags = (bNonPow2 ? 8 : 0) | (bCube ? 4 : 0) | (bMipmaps ? 2 : 0);
  const bool bFreeSize = !bNonPow2 || (gfx_ulFlags & GLF_NONPOW2);
  tp.tp_eWrapU = tp.tp_eWrapV = tp.tp_eWrapW = bFreeSize ? GTW_REPEAT : GTW_CLAMP;
  tp.tp_eFilter = !bFreeSize ? GTF_LINEAR : (gfx_eCurrentAPI == 1 ? GTF_DEFAULT : GTF_BILINEAR);
  tp.tp_iAnisotropy = 1;
  tp.tp_iBaseMipmap = 0;
  tp.tp_uwLastFrame = 0;
  tp.tp_slMemory = d3dTextureMemory(iWidth, iHeight, iDepth, bMipmaps, bCube, eFormat);
  memCountExternalAlloc(tp.tp_slMemory, 4096);
  return hSlot;
}

void d3dUploadTexture(long hTexture, const unsigned char *pubData, GfxColorFormat eSource,
                      long iFirstLevel, long iLastLevel, long iFirstFace, long iLastFace)
{
  if (d3dIsUnusable() || pubData == nullptr) return;
  CTextureParams *ptp = ValidSlot(hTexture);
  if (ptp == nullptr) return;
  if (eSource != GCF_VIDEOFRAME &&
      (eSource < GFX_FIRSTTEXFORMAT || eSource >= GFX_FIRSTTEXFORMAT + GFX_CTTEXFORMATS))
    return;
  const bool bCube = (ptp->tp_ulFlags & 4) != 0;
  const bool bVolume = ptp->tp_uwDepth > 1;
  IDirect3DBaseTexture9 *pBase = (IDirect3DBaseTexture9 *)ptp->tp_pTexture;
  // The texture's own level count already holds every rule that took its mipmaps away.
  const long ctLevels = (long)pBase->GetLevelCount();
  if (iFirstLevel < 0) iFirstLevel = 0;
  if (iLastLevel > ctLevels - 1) iLastLevel = ctLevels - 1;
  if (!bCube) iFirstFace = iLastFace = 0;
  if (iFirstFace < 0) iFirstFace = 0;
  if (iLastFace > 5) iLastFace = 5;
  CSharedYUY2 *psy = _apsyShared[hTexture - 1];
  const BYTE *pub = pubData;
  for (long iFace = iFirstFace; iFace <= iLastFace; iFace++) {
    for (long iLevel = iFirstLevel; iLevel <= iLastLevel; iLevel++) {
      long iWidth = ptp->tp_uwWidth >> iLevel, iHeight = ptp->tp_uwHeight >> iLevel;
      long iDepth = ptp->tp_uwDepth >> iLevel;
      if (iWidth < 1) iWidth = 1;
      if (iHeight < 1) iHeight = 1;
      if (iDepth < 1) iDepth = 1;
      if (bVolume) {
        IDirect3DVolume9 *pVolume = nullptr;
        if (SUCCEEDED(((IDirect3DVolumeTexture9 *)pBase)->GetVolumeLevel(iLevel, &pVolume)) &&
            pVolume != nullptr) {
          FillVolume(pVolume, pub, eSource, iWidth, iHeight, iDepth);
          pVolume->Release();
        }
      } else {
        IDirect3DSurface9 *pSurface = nullptr;
        HRESULT hr = bCube ? ((IDirect3DCubeTexture9 *)pBase)
                                 ->GetCubeMapSurface((D3DCUBEMAP_FACES)iFace, iLevel, &pSurface)
                           : ((IDirect3DTexture9 *)pBase)->GetSurfaceLevel(iLevel, &pSurface);
        if (SUCCEEDED(hr) && pSurface != nullptr) {
          FillSurface(pSurface, psy, pub, eSource, iWidth, iHeight);
          pSurface->Release();
        }
      }
      pub += gfxGetFormatSize(iWidth, iHeight, iDepth, eSource);
    }
  }
}

void d3dDeleteTexture(long hTexture)
{
  if (d3dIsUnusable() || ValidSlot(hTexture) == nullptr || !_abOwned[hTexture - 1]) return;
  ReleaseSlot(hTexture);
  UnbindEverywhere(hTexture);
  _gfxCompactTextureSlots();
}

void d3dBindTexture(long iUnit, long hTexture)
{
  if (d3dIsUnusable() || iUnit < 0 || iUnit >= 16) return;
  if (hTexture == 0) hTexture = gfx_hWhiteTexture;
  if (hTexture == _gfx_ahCurrentTexture[iUnit]) return;
  CTextureParams *ptp = ValidSlot(hTexture);
  if (ptp == nullptr) return;
  _d3d.bs_pDevice->SetTexture(iUnit, (IDirect3DBaseTexture9 *)ptp->tp_pTexture);
  _gfx_ahCurrentTexture[iUnit] = hTexture;
  const unsigned short uwFrame = (unsigned short)(gfx_iFrameNumber & 0xFFFF);
  if (ptp->tp_uwLastFrame != uwFrame) {
    ptp->tp_uwLastFrame = uwFrame;
    if (_gfx_ppnTexMem != nullptr) {
      _gfx_ppnTexMem->pn_ctCalls++;
      _gfx_ppnTexMem->pn_fCount += (float)ptp->tp_slMemory * 9.536743e-7f;
    }
  }
}

void d3dTextureFiltering(long iUnit, GfxTexFilter eFilter, long iAnisotropy, float fBias)
{
  if (d3dIsUnusable() || iUnit < 0 || iUnit >= 16) return;
  if (eFilter < 200 || eFilter > 211) return;
  IDirect3DDevice9 *pDevice = _d3d.bs_pDevice;
  CTextureParams &tpu = _gfx_atpGlobalTexParams[iUnit];
  if (iAnisotropy > gfx_iMaxTextureAnisotropy) iAnisotropy = gfx_iMaxTextureAnisotropy;
  if (iAnisotropy < 1) iAnisotropy = 1;
  if (fBias > gfx_fMaxTextureLODBias) fBias = gfx_fMaxTextureLODBias;
  if (fBias < -gfx_fMaxTextureLODBias) fBias = -gfx_fMaxTextureLODBias;
  if (gfx_fMaxTextureLODBias > 0.0f && fBias != gfx_afTextureLODBias[iUnit]) {
    pDevice->SetSamplerState(iUnit, D3DSAMP_MIPMAPLODBIAS, FloatBits(fBias));
    gfx_afTextureLODBias[iUnit] = fBias;
  }
  bool bResend = false;
  if (gfx_iMaxTextureAnisotropy >= 2 && iAnisotropy != tpu.tp_iAnisotropy) {
    pDevice->SetSamplerState(iUnit, D3DSAMP_MAXANISOTROPY, iAnisotropy);
    bResend = (iAnisotropy >= 2) != (tpu.tp_iAnisotropy >= 2);
    tpu.tp_iAnisotropy = iAnisotropy;
  }
  if (eFilter == tpu.tp_eFilter && !bResend) return;
  const BYTE *pub = _aubFilters[eFilter - 200];
  const bool bAniso = tpu.tp_iAnisotropy >= 2;
  pDevice->SetSamplerState(iUnit, D3DSAMP_MAGFILTER, bAniso ? (DWORD)D3DTEXF_ANISOTROPIC : pub[0]);
  pDevice->SetSamplerState(iUnit, D3DSAMP_MINFILTER, bAniso ? (DWORD)D3DTEXF_ANISOTROPIC : pub[1]);
  pDevice->SetSamplerState(iUnit, D3DSAMP_MIPFILTER, pub[2]);
  tpu.tp_eFilter = eFilter;
}

void d3dTextureWrapping(long iUnit, GfxTexWrap eU, GfxTexWrap eV, GfxTexWrap eW)
{
  if (d3dIsUnusable() || iUnit < 0 || iUnit >= 16) return;
  if (eW == GTW_BORDER) eW = GTW_CLAMP;
  CTextureParams &tpu = _gfx_atpGlobalTexParams[iUnit];
  IDirect3DDevice9 *pDevice = _d3d.bs_pDevice;
  if (eU != tpu.tp_eWrapU) {
    pDevice->SetSamplerState(iUnit, D3DSAMP_ADDRESSU, AddressMode(eU));
    tpu.tp_eWrapU = eU;
  }
  if (eV != tpu.tp_eWrapV) {
    pDevice->SetSamplerState(iUnit, D3DSAMP_ADDRESSV, AddressMode(eV));
    tpu.tp_eWrapV = eV;
  }
  if (eW != tpu.tp_eWrapW) {
    pDevice->SetSamplerState(iUnit, D3DSAMP_ADDRESSW, AddressMode(eW));
    tpu.tp_eWrapW = eW;
  }
}

void d3dTextureBorderColor(long iUnit, unsigned long ulColor)
{
  if (d3dIsUnusable() || iUnit < 0 || iUnit >= 16) return;
  CTextureParams &tpu = _gfx_atpGlobalTexParams[iUnit];
  if (ulColor == tpu.tp_ulBorderColor) return;
  _d3d.bs_pDevice->SetSamplerState(iUnit, D3DSAMP_BORDERCOLOR, ulColor);
  tpu.tp_ulBorderColor = ulColor;
}

void d3dTextureBaseMipmap(long iUnit, long iLevel)
{
  if (d3dIsUnusable() || iUnit < 0 || iUnit >= 16) return;
  CTextureParams &tpu = _gfx_atpGlobalTexParams[iUnit];
  if (iLevel == tpu.tp_iBaseMipmap) return;
  _d3d.bs_pDevice->SetSamplerState(iUnit, D3DSAMP_MAXMIPLEVEL, iLevel);
  tpu.tp_iBaseMipmap = iLevel;
}

void d3dCompressDXT(unsigned long *pulSource, unsigned char *pubDest, long iWidth, long iHeight,
                    int bMipmaps, GfxColorFormat eFormat)
{
  if (d3dIsUnusable() || pulSource == nullptr || pubDest == nullptr || iWidth < 1 || iHeight < 1)
    return;
  const D3DXFunctions *pfx = d3dxGetFunctions();
  if (pfx == nullptr) return;
  const bool bDXT1 = eFormat == GCF_DXT1;
  const D3DFORMAT fmt = bDXT1 ? D3DFMT_DXT1 : (eFormat == GCF_DXT3 ? D3DFMT_DXT3 : D3DFMT_DXT5);
  IDirect3DTexture9 *pTexture = nullptr;
  HRESULT hr = _d3d.bs_pDevice->CreateTexture(iWidth, iHeight, bMipmaps ? 0 : 1, 0, fmt,
                                              D3DPOOL_SCRATCH, &pTexture, nullptr);
  if (FAILED(hr) || pTexture == nullptr) {
    if (IsOutOfMemory(hr)) _gfxError("CompressTexture");
    return;
  }
  const long ctLevels = (long)pTexture->GetLevelCount();
  const GfxColorFormat eDXT = bDXT1 ? GCF_DXT1 : GCF_DXT3;
  const BYTE *pubSource = (const BYTE *)pulSource;
  for (long iLevel = 0; iLevel < ctLevels; iLevel++) {
    IDirect3DSurface9 *pSurface = nullptr;
    if (SUCCEEDED(pTexture->GetSurfaceLevel(iLevel, &pSurface)) && pSurface != nullptr) {
      RECT rc = {0, 0, iWidth, iHeight};
      {
        CD3DXScope xs;
        pfx->LoadSurfaceFromMemory(pSurface, nullptr, nullptr, pubSource,
                                   bDXT1 ? D3DFMT_X8R8G8B8 : D3DFMT_A8R8G8B8, iWidth * 4, nullptr,
                                   &rc, D3DX_FILTER_NONE, 0);
      }
      D3DLOCKED_RECT lr;
      if (SUCCEEDED(pSurface->LockRect(&lr, nullptr, D3DLOCK_READONLY))) {
        CopyRows(pubDest, SourcePitch(eDXT, iWidth), (const BYTE *)lr.pBits, lr.Pitch,
                 SourceRows(eDXT, iHeight));
        pSurface->UnlockRect();
      }
      pSurface->Release();
    }
    pubSource += iWidth * iHeight * 4;
    pubDest += gfxGetFormatSize(iWidth, iHeight, 1, eDXT);
    iWidth = iWidth > 1 ? iWidth / 2 : 1;
    iHeight = iHeight > 1 ? iHeight / 2 : 1;
  }
  pTexture->Release();
}

void d3dResetTextureUnits(void)
{
  for (CTextureParams &tpu : _gfx_atpGlobalTexParams) {
    memset(&tpu, 0, sizeof(tpu));
    tpu.tp_eWrapU = tpu.tp_eWrapV = tpu.tp_eWrapW = GTW_REPEAT;
    tpu.tp_eFilter = GTF_DEFAULT;
  }
  memset(_gfx_ahCurrentTexture, 0, sizeof(_gfx_ahCurrentTexture));
  memset(gfx_afTextureLODBias, 0, sizeof(gfx_afTextureLODBias));
  IDirect3DDevice9 *pDevice = _d3d.bs_pDevice;
  const long ctUnits = gfx_ctTextureUnits < 16 ? gfx_ctTextureUnits : 16;
  for (long iUnit = 0; iUnit < ctUnits; iUnit++) {
    CTextureParams &tpu = _gfx_atpGlobalTexParams[iUnit];
    pDevice->SetTexture(iUnit, nullptr);
    pDevice->SetTextureStageState(iUnit, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
    pDevice->SetSamplerState(iUnit, D3DSAMP_BORDERCOLOR, 0);
    pDevice->SetSamplerState(iUnit, D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP);
    pDevice->SetSamplerState(iUnit, D3DSAMP_ADDRESSV, D3DTADDRESS_WRAP);
    pDevice->SetSamplerState(iUnit, D3DSAMP_ADDRESSW, D3DTADDRESS_WRAP);
    pDevice->SetSamplerState(iUnit, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    pDevice->SetSamplerState(iUnit, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    pDevice->SetSamplerState(iUnit, D3DSAMP_MIPFILTER, D3DTEXF_POINT);
    tpu.tp_eFilter = GTF_BILINEAR;
    if (gfx_fMaxTextureLODBias > 0.0f) {
      pDevice->SetSamplerState(iUnit, D3DSAMP_MIPMAPLODBIAS, FloatBits(0.0f));
    }
    if (gfx_iMaxTextureAnisotropy >= 2) {
      pDevice->SetSamplerState(iUnit, D3DSAMP_MAXANISOTROPY, 1);
    }
    tpu.tp_iAnisotropy = 1;
    pDevice->SetTextureStageState(iUnit, D3DTSS_BUMPENVMAT00, FloatBits(0.1f));
    pDevice->SetTextureStageState(iUnit, D3DTSS_BUMPENVMAT11, FloatBits(0.1f));
  }
}

void d3dReleaseAllTextures(void)
{
  for (long h = 1; h <= GFX_CTTEXTURESLOTS; h++) {
    if (_abOwned[h - 1]) ReleaseSlot(h);
  }
  memset(_gfx_ahCurrentTexture, 0, sizeof(_gfx_ahCurrentTexture));
  _gfxCompactTextureSlots();
}

void d3dSetTextureSlots(void)
{
  _gfxCreateTexture = SLOT(d3dCreateTexture);
  _gfxDeleteTexture = SLOT(d3dDeleteTexture);
  _gfxBindTexture = SLOT(d3dBindTexture);
  _gfxUploadTexture = SLOT(d3dUploadTexture);
  _gfxTextureFiltering = SLOT(d3dTextureFiltering);
  _gfxTextureWrapping = SLOT(d3dTextureWrapping);
  _gfxTextureBorderColor = SLOT(d3dTextureBorderColor);
  _gfxTextureBaseMipmap = SLOT(d3dTextureBaseMipmap);
  _gfxCompressDXT = SLOT(d3dCompressDXT);
}

} // namespace QuennelEngine
