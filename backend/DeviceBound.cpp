// The device-bound list and the default-pool resources of the canvases on it.
#include "backend/DeviceBoundPrivate.h"

namespace QuennelEngine {

namespace {

CDeviceBound *_pdbFirst = nullptr;

void Unlink(CDeviceBound *pdb)
{
  for (CDeviceBound **ppdb = &_pdbFirst; *ppdb != nullptr; ppdb = &(*ppdb)->db_pNext) {
    if (*ppdb == pdb) {
      *ppdb = pdb->db_pNext;
      return;
    }
  }
}

} // namespace

CDeviceBound::~CDeviceBound()
{
}

void d3dRegisterDeviceBound(CDeviceBound *pdb)
{
  pdb->db_pNext = _pdbFirst;
  _pdbFirst = pdb;
}

void d3dForgetDeviceBound(const void *pvField)
{
  for (CDeviceBound *pdb = _pdbFirst; pdb != nullptr; pdb = pdb->db_pNext) {
    if (pdb->IsKeptIn(pvField)) {
      Unlink(pdb);
      delete pdb;
      return;
    }
  }
}

void d3dReleaseAllBeforeReset(void)
{
  for (CDeviceBound *pdb = _pdbFirst; pdb != nullptr; pdb = pdb->db_pNext) {
    pdb->ReleaseBeforeReset();
  }
}

bool d3dRestoreAllAfterReset(void)
{
  for (CDeviceBound *pdb = _pdbFirst; pdb != nullptr; pdb = pdb->db_pNext) {
    if (!pdb->RestoreAfterReset()) return false;
  }
  return true;
}

void d3dForgetAllDeviceBound(void)
{
  while (_pdbFirst != nullptr) {
    CDeviceBound *pdb = _pdbFirst;
    _pdbFirst = pdb->db_pNext;
    delete pdb;
  }
}

long d3dCountDeviceBound(void)
{
  long ct = 0;
  for (CDeviceBound *pdb = _pdbFirst; pdb != nullptr; pdb = pdb->db_pNext) ct++;
  return ct;
}

CBoundResource::CBoundResource(BoundKind ebk, long iWidth, long iHeight, D3DFORMAT fmt,
                               void **ppSlot)
    : br_ebk(ebk), br_iWidth(iWidth), br_iHeight(iHeight), br_fmt(fmt), br_ppSlot(ppSlot)
{
}

CBoundResource::~CBoundResource()
{
  ReleaseBeforeReset();
}

HRESULT CBoundResource::Create(void)
{
  IDirect3DDevice9 *pDevice = _d3d.bs_pDevice;
  HRESULT hr = E_FAIL;
  void *pObject = nullptr;
  switch (br_ebk) {
  case BK_DEPTH: {
    IDirect3DSurface9 *pSurface = nullptr;
    hr = pDevice->CreateDepthStencilSurface(br_iWidth, br_iHeight, br_fmt, _d3d.bs_eMultiSample, 0,
                                            TRUE, &pSurface, nullptr);
    pObject = pSurface;
    break;
  }
  case BK_DEVICEDEPTH: {
    IDirect3DSurface9 *pSurface = nullptr;
    hr = pDevice->GetDepthStencilSurface(&pSurface);
    pObject = pSurface;
    break;
  }
  case BK_SWAPCHAIN: {
    D3DPRESENT_PARAMETERS pp;
    memset(&pp, 0, sizeof(pp));
    pp.BackBufferWidth = br_iWidth;
    pp.BackBufferHeight = br_iHeight;
    pp.BackBufferFormat = _d3d.bs_fmtDesktop;
    pp.BackBufferCount = 1;
    pp.MultiSampleType = _d3d.bs_eMultiSample;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    pp.hDeviceWindow = (HWND)br_hwnd;
    pp.Windowed = TRUE;
    pp.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    IDirect3DSwapChain9 *pSwapChain = nullptr;
    hr = pDevice->CreateAdditionalSwapChain(&pp, &pSwapChain);
    pObject = pSwapChain;
    break;
  }
  case BK_RENDERSURFACE: {
    IDirect3DSurface9 *pSurface = nullptr;
    hr = pDevice->CreateRenderTarget(br_iWidth, br_iHeight, br_fmt, _d3d.bs_eMultiSample, 0, FALSE,
                                     &pSurface, nullptr);
    pObject = pSurface;
    break;
  }
  case BK_RENDERTEXTURE: {
    IDirect3DTexture9 *pTexture = nullptr;
    hr = pDevice->CreateTexture(br_iWidth, br_iHeight, 1, D3DUSAGE_RENDERTARGET, br_fmt,
                                D3DPOOL_DEFAULT, &pTexture, nullptr);
    pObject = pTexture;
    break;
  }
  case BK_CUBETEXTURE: {
    IDirect3DCubeTexture9 *pTexture = nullptr;
    hr = pDevice->CreateCubeTexture(br_iWidth, 1, D3DUSAGE_RENDERTARGET, br_fmt, D3DPOOL_DEFAULT,
                                    &pTexture, nullptr);
    pObject = pTexture;
    break;
  }
  }
  if (FAILED(hr)) pObject = nullptr;
  *br_ppSlot = pObject;
  if (br_ppAlias != nullptr) *br_ppAlias = pObject;
  return hr;
}

void CBoundResource::ReleaseBeforeReset(void)
{
  IUnknown *punk = (IUnknown *)*br_ppSlot;
  if (punk != nullptr) punk->Release();
  *br_ppSlot = nullptr;
  if (br_ppAlias != nullptr) *br_ppAlias = nullptr;
}

bool CBoundResource::RestoreAfterReset(void)
{
  return SUCCEEDED(Create());
}

IUnknown *CBoundResource::WrappedObject(void)
{
  return (IUnknown *)*br_ppSlot;
}

bool CBoundResource::IsKeptIn(const void *pvField)
{
  return pvField == (const void *)br_ppSlot;
}

HRESULT d3dNewBoundResource(CBoundResource *pbr)
{
  HRESULT hr = pbr->Create();
  if (FAILED(hr)) {
    delete pbr;
    return hr;
  }
  d3dRegisterDeviceBound(pbr);
  return hr;
}

} // namespace QuennelEngine
