// The backend's export, its table of slots, the loading of Direct3D with the adapter list, and
// start-up and shutdown.
//
// Ownership: the backend owns d3d9.dll (through its dynamic loader), the Direct3D object, the
// device and every resource on the device-bound list. They go in the reverse order: resources,
// device, Direct3D object, library; a start-up that fails half-way unwinds the same way, so
// the next one starts from nothing.
#include "backend/BackendPrivate.h"
#include "backend/D3DX.h"

#include <math.h>

namespace QuennelEngine {

BackendState _d3d;

namespace {

// The slots of the texture, buffer, program, state and query seams until those are built: they
// do nothing and return a neutral value.
template <class F> struct UnimplementedSlot;
template <class R, class... A> struct UnimplementedSlot<R (*)(A...)> {
  static R DoNothing(A...) { return R(); }
};

// Display modes kept per adapter: at least 640 x 480, aspect within 0.25 of 1.55, a usable
// format, and each size once.
bool IsModeListed(const D3DDISPLAYMODE &dm)
{
  if (dm.Width < 640 || dm.Height < 480) return false;
  switch (dm.Format) {
  case D3DFMT_A8R8G8B8:
  case D3DFMT_X8R8G8B8:
  case D3DFMT_R5G6B5:
  case D3DFMT_X1R5G5B5:
  case D3DFMT_A1R5G5B5:
  case D3DFMT_A2R10G10B10:
    break;
  default:
    return false;
  }
  double dAspect = (double)dm.Width / (double)dm.Height;
  return fabs(dAspect - 1.55) <= 0.25;
}

void EnumerateAdapters(void)
{
  GfxAPIEntry &ae = gfx_gaAPIs[GAT_D3D];
  if (ae.ga_bFilled) return;
  ae.ga_ctAdapters = 0;
  UINT ctAdapters = _d3d.bs_pD3D->GetAdapterCount();
  for (UINT iAdapter = 0; iAdapter < ctAdapters && ae.ga_ctAdapters < GFX_MAXADAPTERS; iAdapter++) {
    GfxAdapter &ad = ae.ga_aAdapters[ae.ga_ctAdapters];
    ad.ga_ctModes = 0;
    long ctGiven = 0;
    const D3DDISPLAYMODE *pdmGiven = nullptr;
    const bool bGiven = d3dSeamModes(ctGiven, pdmGiven);
    UINT ctModes = bGiven ? ctGiven : _d3d.bs_pD3D->GetAdapterModeCount(iAdapter, D3DFMT_X8R8G8B8);
    for (UINT iMode = 0; iMode < ctModes && ad.ga_ctModes < GFX_MAXMODES; iMode++) {
      D3DDISPLAYMODE dm;
      if (bGiven) {
        dm = pdmGiven[iMode];
      } else if (FAILED(_d3d.bs_pD3D->EnumAdapterModes(iAdapter, D3DFMT_X8R8G8B8, iMode, &dm))) {
        continue;
      }
      if (!IsModeListed(dm)) continue;
      if (FAILED(_d3d.bs_pD3D->CheckDeviceType(iAdapter, _d3d.bs_eDevType, dm.Format, dm.Format,
                                               FALSE))) {
        continue;
      }
      bool bSeen = false;
      for (long i = 0; i < ad.ga_ctModes; i++) {
        if (ad.ga_adm[i].dm_iWidth == (long)dm.Width && ad.ga_adm[i].dm_iHeight == (long)dm.Height)
          bSeen = true;
      }
      if (bSeen) continue;
      ad.ga_adm[ad.ga_ctModes].dm_iWidth = dm.Width;
      ad.ga_adm[ad.ga_ctModes].dm_iHeight = dm.Height;
      ad.ga_ctModes++;
    }
    D3DADAPTER_IDENTIFIER9 ai;
    memset(&ai, 0, sizeof(ai));
    _d3d.bs_pD3D->GetAdapterIdentifier(iAdapter, 0, &ai);
    ad.ga_strVendor = "MS DirectX";
    ad.ga_strRenderer = ai.Description;
    DWORD dwHigh = ai.DriverVersion.HighPart, dwLow = ai.DriverVersion.LowPart;
    ad.ga_strVersion = strFormat("%1.%2.%3.%4", (long)HIWORD(dwHigh), (long)LOWORD(dwHigh),
                                 (long)HIWORD(dwLow), (long)LOWORD(dwLow));
    ae.ga_ctAdapters++;
  }
  ae.ga_bFilled = 1;
}

} // namespace

void d3dLoad_t(void)
{
  _d3d.bs_pdl = new CDynamicLoader;
  try {
    _d3d.bs_pdl->Open_t("$D3D9.dll");
  } catch (...) {
    delete _d3d.bs_pdl;
    _d3d.bs_pdl = nullptr;
    throw;
  }
  typedef IDirect3D9 *(WINAPI * Create9)(UINT);
  Create9 pCreate = nullptr;
  try {
    pCreate = _d3d.bs_pdl->GetFunction_t<Create9>("Direct3DCreate9");
  } catch (CException &) {
  }
  if (pCreate == nullptr) {
    d3dRelease();
    gfx_gaAPIs[GAT_D3D].ga_ctAdapters = 0;
    ThrowFormat_t(
        strTranslate("DOZUPrismel.NoEntryProc=(Direct3D) Cannot get entry procedure address."));
  }
  _d3d.bs_pD3D = pCreate(D3D_SDK_VERSION);
  if (_d3d.bs_pD3D == nullptr) {
    d3dRelease();
    ThrowFormat_t(strTranslate("DOZUPrismel.CannotInitialize=(Direct3D) Cannot initialize API."));
  }
  _d3d.bs_eDevType = d3d_bReferenceRasterizer ? D3DDEVTYPE_REF : D3DDEVTYPE_HAL;
  EnumerateAdapters();
}

void d3dRelease(void)
{
  ULONG ctLeft = 0;
  if (_d3d.bs_pDevice != nullptr) {
    ctLeft = _d3d.bs_pDevice->Release();
    if (ctLeft != 0) {
      conWarningF("(Direct3D) The device still has %1 references at release.\n", ARG_INT,
                  (long)ctLeft);
    }
  }
  if (_d3d.bs_pD3D != nullptr) _d3d.bs_pD3D->Release();
  CDynamicLoader *pdl = _d3d.bs_pdl;
  // Unloading the library under live objects would leave their code gone: then it stays.
  if (ctLeft != 0) pdl = nullptr;
  _d3d = BackendState();
  delete pdl;
  if (ctLeft == 0) d3dxUnload();
}

void d3dStartup_t(long &iWidth, long &iHeight, long iColorBits, long iDepthBits, long iRefresh)
{
  // A start-up over a running device shuts that one down first, so nothing leaks.
  d3dShutdown();
  try {
    d3dLoad_t();
    d3dCreateDevice_t(iWidth, iHeight, iColorBits, iDepthBits, iRefresh);
    d3dCreateCommonCanvas(iWidth, iHeight, iColorBits, iDepthBits);
    d3dResetTextureUnits();
    d3dRegisterBuffers();
  } catch (...) {
    // Everything made so far goes before the exception reaches the engine.
    d3dReleaseCommonCanvas();
    d3dForgetAllDeviceBound();
    if (_d3d.bs_slFrameBufferCounted != 0) {
      memCountExternalAlloc(-_d3d.bs_slFrameBufferCounted, 4096);
    }
    d3dRelease();
    throw;
  }
  gfx_eCurrentAPI = GAT_D3D;
}

void d3dShutdown(void)
{
  if (gfx_eCurrentAPI != GAT_D3D) return;
  d3dReleaseAllQueries();
  d3dReleaseAllPrograms();
  d3dReleaseAllTextures();
  d3dReleaseCommonCanvas();
  d3dForgetAllDeviceBound();
  // The estimate goes exactly as it was counted.
  if (_d3d.bs_slFrameBufferCounted != 0) {
    memCountExternalAlloc(-_d3d.bs_slFrameBufferCounted, 4096);
  }
  if (_d3d.bs_bGammaSaved && (gfx_ulFlags & GLF_GAMMA) && _d3d.bs_pDevice != nullptr) {
    _d3d.bs_pDevice->SetGammaRamp(0, 0, (const D3DGAMMARAMP *)_gfx_auwSystemGammaTable);
  }
  gfx_ulFlags &= ~(unsigned long)GLF_FULLSCREEN;
  d3dRelease();
  gfx_eCurrentAPI = GAT_NONE;
}

} // namespace QuennelEngine

using namespace QuennelEngine;

extern "C" __declspec(dllexport) void gfxStartupAPI(void)
{
  // Every slot first gets the stub of its type; the implemented ones replace theirs.
#define SET_UNIMPLEMENTED(name, result, args) name = &UnimplementedSlot<decltype(name)>::DoNothing;
  GFX_SLOTS(SET_UNIMPLEMENTED)
#undef SET_UNIMPLEMENTED
  _gfxStartup_t = SLOT(d3dStartup_t);
  _gfxShutdown = SLOT(d3dShutdown);
  d3dSetCanvasSlots();
  d3dSetPresentSlots();
  d3dSetRenderStateSlots();
  d3dSetProgramSlots();
  d3dSetQuerySlots();
  d3dSetTextureSlots();
  d3dSetDrawingSlots();
}
