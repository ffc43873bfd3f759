// Presenting frames with the backend's own vertical-sync waiting and frame pacing, waiting for the
// GPU, and the gamma ramp.
#include "backend/BackendPrivate.h"

namespace QuennelEngine {

namespace {

void NoteLost(void)
{
  conOutputOnce(CMT_INFO, "(Direct3D) Device lost - waiting for reset.\n");
  d3dSetLost(1);
  _d3d.bs_bSceneOpen = 0;
}

// Polls until a vertical blank begins (a transition into the blank), for at most about 100 ms.
void WaitForBlankStart(void)
{
  const __int64 llLimit = timGetTimeStampFrequency() / 10;
  const __int64 llStart = timReadTimeStampCounter();
  bool bWasInBlank = true;
  D3DRASTER_STATUS rs;
  while (SUCCEEDED(_d3d.bs_pDevice->GetRasterStatus(0, &rs))) {
    if (rs.InVBlank && !bWasInBlank) return;
    bWasInBlank = rs.InVBlank != FALSE;
    if (timReadTimeStampCounter() - llStart > llLimit) return;
  }
}

} // namespace

void d3dFinish(int bFlush)
{
  if (d3dIsUnusable()) return;
  IDirect3DDevice9 *pDevice = _d3d.bs_pDevice;
  IDirect3DQuery9 *pQuery = nullptr;
  const bool bEvent = (gfx_ulFlags & GLF_EVENTQUERY) != 0;
  if (SUCCEEDED(
          pDevice->CreateQuery(bEvent ? D3DQUERYTYPE_EVENT : D3DQUERYTYPE_OCCLUSION, &pQuery))) {
    if (!bEvent) pQuery->Issue(D3DISSUE_BEGIN);
    pQuery->Issue(D3DISSUE_END);
    // Bounded: a driver that never answers must not hang the frame (about 1 s).
    for (int i = 0; i < 1000 && pQuery->GetData(nullptr, 0, D3DGETDATA_FLUSH) == S_FALSE; i++) {
      if (!bFlush) sysSleep(1);
    }
    pQuery->Release();
  }
  if (!bFlush) sysSleep(1);
  DWORD dwPasses = 0;
  pDevice->ValidateDevice(&dwPasses);
}

void d3dGammaRampTable(const unsigned short *puwTable)
{
  if (d3dIsUnusable() || puwTable == nullptr || !(gfx_ulFlags & GLF_GAMMA)) return;
  _d3d.bs_pDevice->SetGammaRamp(0, 0, (const D3DGAMMARAMP *)puwTable);
}

int d3dPresent(const CWindowCanvas *pwc, int bNoWait)
{
  IDirect3DDevice9 *pDevice = _d3d.bs_pDevice;
  if (pDevice == nullptr) return 0;
  HRESULT hr = pDevice->TestCooperativeLevel();
  if (hr == D3DERR_DEVICELOST) {
    NoteLost();
    return 0;
  }
  if (hr == D3DERR_DRIVERINTERNALERROR) {
    conFatalErrorF("(Direct3D) Internal driver error - cannot continue.");
  }
  if (hr == D3DERR_DEVICENOTRESET) {
    d3dSetLost(1);
    if (!d3dReset()) return 0;
  }
  if (_d3d.bs_bSceneOpen) {
    pDevice->EndScene();
    _d3d.bs_bSceneOpen = 0;
  }

  // 17 to 20 stand for 1 to 4 blanks and stay as they are.
  long ctVSyncs = gfx_iWaitVSyncs;
  if (ctVSyncs >= 17 && ctVSyncs <= 20) {
    ctVSyncs -= 16;
  } else {
    ctVSyncs = ctVSyncs < 0 ? 0 : ctVSyncs > 4 ? 4 : ctVSyncs;
    gfx_iWaitVSyncs = ctVSyncs;
  }
  const bool bWait = !bNoWait && ctVSyncs > 0 && (gfx_ulFlags & GLF_VSYNC);
  if (bWait) d3dFinish(0);

  if (!bNoWait) {
    double dTarget = _gfx_f1oMaxAllowedFPS;
    if (_d3d.bs_dVBlankPeriod > 0.0) {
      double dFrame = ctVSyncs * _d3d.bs_dVBlankPeriod;
      while (dFrame < _gfx_f1oMaxAllowedFPS) dFrame += _d3d.bs_dVBlankPeriod;
      dTarget = dFrame * 0.97;
    }
    if (dTarget > 0.0 && _d3d.bs_llLastPresent != 0) {
      double dSince = (double)(timReadTimeStampCounter() - _d3d.bs_llLastPresent) /
                      (double)timGetTimeStampFrequency();
      double dRest = dTarget - dSince;
      if (dRest > 0.001) sysSleep((unsigned long)(dRest * 1000.0));
    }
  }
  if (bWait) WaitForBlankStart();

  const CanvasAPI *pca = pwc != nullptr ? pwc->cv_pcaAPI : nullptr;
  if (pca == nullptr || pca == _d3d.bs_pcaCommon) {
    hr = pDevice->Present(nullptr, nullptr, nullptr, nullptr);
  } else if (pca->ca_pColor != nullptr) {
    hr = ((IDirect3DSwapChain9 *)pca->ca_pColor)->Present(nullptr, nullptr, nullptr, nullptr, 0);
  } else {
    hr = D3D_OK;
  }
  if (!bNoWait) _d3d.bs_llLastPresent = timReadTimeStampCounter();
  _gfx_ulCurrentDrawPortID = 0;
  _gfx_pdpCurrent = nullptr;
  if (hr == D3DERR_DEVICELOST) {
    NoteLost();
    return 0;
  }
  return 1;
}

void d3dSetPresentSlots(void)
{
  _gfxPresent = SLOT(d3dPresent);
  _gfxGammaRampTable = SLOT(d3dGammaRampTable);
  _gfxFinish = SLOT(d3dFinish);
}

} // namespace QuennelEngine
