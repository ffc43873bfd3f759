// The backend's cost over Direct3D: a slot call (timing into the profile node plus the lost
// test) against a plain call through a function pointer, and a frame (target, clear, present)
// through the slots against the same frame on a bare Direct3D 9 device in the same process.
// Goals: at most 30 ns extra per slot call, at most 20 us extra per frame. A render-state setter
// that changes nothing costs at most 10 ns (the tests prove it makes no device call); one that
// changes the state is at most 20% over the raw SetRenderState on the same device.
#include "BenchSupport.h"
#include "engine/Engine.h"

#include <d3d9.h>

using namespace QuennelEngine;
using namespace QuennelEngine::Bench;

namespace {

void Empty(CDrawPort *pdp)
{
  Keep(pdp);
}
void (*volatile _pEmpty)(CDrawPort *) = Empty;

// A bare Direct3D 9 device on its own window: clear and present, nothing else.
struct BareDevice {
  HMODULE hD3D = nullptr;
  IDirect3D9 *pD3D = nullptr;
  IDirect3DDevice9 *pDevice = nullptr;

  bool Start(HWND hwnd)
  {
    hD3D = LoadLibraryA("d3d9.dll");
    typedef IDirect3D9 *(WINAPI * Create9)(UINT);
    Create9 pCreate = (Create9)(void *)GetProcAddress(hD3D, "Direct3DCreate9");
    pD3D = pCreate != nullptr ? pCreate(D3D_SDK_VERSION) : nullptr;
    if (pD3D == nullptr) return false;
    D3DDISPLAYMODE dm;
    pD3D->GetAdapterDisplayMode(0, &dm);
    D3DPRESENT_PARAMETERS pp = {};
    pp.BackBufferWidth = 320;
    pp.BackBufferHeight = 240;
    pp.BackBufferFormat = dm.Format;
    pp.BackBufferCount = 1;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    pp.hDeviceWindow = hwnd;
    pp.Windowed = TRUE;
    pp.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    return SUCCEEDED(pD3D->CreateDevice(
        0, D3DDEVTYPE_HAL, hwnd, D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_FPU_PRESERVE, &pp,
        &pDevice));
  }
  void Frame(void)
  {
    pDevice->BeginScene();
    pDevice->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF204080, 1.0f, 0);
    pDevice->EndScene();
    pDevice->Present(nullptr, nullptr, nullptr, nullptr);
  }
  ~BareDevice()
  {
    if (pDevice != nullptr) pDevice->Release();
    if (pD3D != nullptr) pD3D->Release();
    if (hD3D != nullptr) FreeLibrary(hD3D);
  }
};

} // namespace

int main()
{
  wndStartWindowSystemService();
  CWindow *pwndBench = wndCreateWorkbench("Backend bench", CTRect(0, 0, 320, 240), 0, WPL_CLIENT);
  wndShowWindow(pwndBench);
  CWindow *pwndBare = wndCreateWindow(nullptr, "Bare", 0, 0, 320, 240, 0, WPL_CLIENT);
  wndShowWindow(pwndBare);
  gfxLoadBackend_t();
  long iWidth = 0, iHeight = 0;
  _gfxStartup_t(iWidth, iHeight, 32, 24, 0);
  CProfileNode pn("Gfx API", nullptr);
  _gfx_ppnGfxAPI = &pn;

  // A slot that only tests for a usable device and returns.
  Comparison c = CompareNs(
      2000000, [] { _gfxCurrentRenderArea(nullptr); }, [] { _pEmpty(nullptr); });
  Report("slot call (timing + lost test)", c, "plain pointer call");
  printf("  extra per slot call: %.1f ns (goal <= 30)\n", c.sOurs.dMedian - c.sReference.dMedian);
  // The floor of the timing: the two time-stamp reads every slot makes for the profile.
  volatile __int64 llSink = 0;
  Spread sStamps = MeasureNs(2000000, [&] {
    const __int64 ll = timReadTimeStampCounter();
    llSink = llSink + (timReadTimeStampCounter() - ll);
  });
  Report("  two time-stamp reads (and a sum)", sStamps);

  // Render state: the same depth function again and again, then two alternating ones against
  // the raw call alternating the same values on the backend's own device.
  _gfx_ppnGfxAPI = nullptr;
  Comparison cr = CompareNs(
      10000000, [] { _gfxDepthFunc(GCP_LESS_OR_EQUAL); }, [] { _pEmpty(nullptr); });
  Report("redundant state setter", cr, "plain pointer call");
  printf("  redundant setter: %.1f ns (goal <= 10)\n", cr.sOurs.dMedian);
  IDirect3DDevice9 *pDevice = nullptr;
  ((IDirect3DSurface9 *)_gfx_pcaCommon->ca_pDepth)->GetDevice(&pDevice);
  static IDirect3DDevice9 *_pDevice = pDevice;
  static long _iToggle = 0;
  Comparison cn = CompareNs(
      5000000, [] { _gfxDepthFunc((_iToggle++ & 1) ? GCP_LESS : GCP_GREATER); },
      [] {
        _pDevice->SetRenderState(D3DRS_ZFUNC, (_iToggle++ & 1) ? D3DCMP_LESS : D3DCMP_GREATER);
      });
  Report("changing state setter", cn, "raw SetRenderState");
  printf("  changing setter over raw: %.0f%% (goal <= 20%%)\n",
         100.0 * (cn.sOurs.dMedian / cn.sReference.dMedian - 1.0));
  pDevice->Release();
  _gfx_ppnGfxAPI = &pn;

  CWindowCanvas wc;
  wc.wc_pwnd = pwndBench;
  wc.cv_pcaAPI = _gfxNewWindowCanvas(pwndBench, GCF_SHAREDDEPTH);
  CDrawPort dp;
  dp.dp_pcv = &wc;
  dp.dp_iWidth = 320;
  dp.dp_iHeight = 240;
  BareDevice bd;
  if (wc.cv_pcaAPI == nullptr || !bd.Start((HWND)wndGetWindowHandle(pwndBare).wh_hWnd)) {
    printf("no device for the frame comparison\n");
    return 1;
  }
  auto fnOurs = [&] {
    _gfxCurrentRenderTarget(&wc, -1);
    _gfx_pdpCurrent = &dp;
    _gfxCurrentRenderArea(&dp);
    _gfxClear(GTA_COLOR, 0xFF204080, 1.0f, 0);
    _gfxPresent(&wc, 1);
  };
  auto fnBare = [&] { bd.Frame(); };
  // Frames cost milliseconds under a software rasterizer: fewer per round, more rounds.
  Comparison cf = CompareNs(200, fnOurs, fnBare, 21);
  Comparison cfUs = cf;
  for (Spread *ps : {&cfUs.sOurs, &cfUs.sReference}) {
    ps->dMedian /= 1000.0;
    ps->dLow /= 1000.0;
    ps->dHigh /= 1000.0;
  }
  Report("frame: target, clear, present", cfUs, "bare Direct3D 9", "us");
  printf("  extra per frame: %.1f us (goal <= 20)\n", cfUs.sOurs.dMedian - cfUs.sReference.dMedian);

  _gfxReleaseCanvas(&wc);
  _gfx_ppnGfxAPI = nullptr;
  gfxUnloadBackend();
  return 0;
}
