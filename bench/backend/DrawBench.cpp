// The backend's drawing path against a hand-written dynamic-buffer path on the same device.
// Goals: binding an array and drawing it at most 15% over locking a dynamic buffer with
// no-overwrite, copying, setting the stream and drawing by hand; uploading through
// _gfxBindVertexArray at least 80% of the throughput of a raw no-overwrite lock and memcpy.
// (That steady frames take no waiting lock is proven by the tests, which see the lock flags.) A
// bind records its stream and the draw gives it to the device, so the upload measured here is
// the ring's lock and copy; the stream's cost is in the draw path's figure.
#include "BenchSupport.h"
#include "engine/Engine.h"

#include <d3d9.h>
#include <string.h>

using namespace QuennelEngine;
using namespace QuennelEngine::Bench;

namespace {

const char *const _strVertex = "vs_1_1\n"
                               "dcl_texcoord0 v0\n"
                               "mov oPos, v0\n";
const char *const _strPixel = "ps_2_0\n"
                              "def c0, 1, 0, 0, 1\n"
                              "mov oC0, c0\n";

// A dynamic buffer written by hand: appended with no-overwrite, discarded when full.
struct HandBuffer {
  IDirect3DDevice9 *pDevice = nullptr;
  IDirect3DVertexBuffer9 *pvb = nullptr;
  IDirect3DVertexDeclaration9 *pvd = nullptr;
  UINT uSize = 0;
  UINT uPos = 0;

  bool Start(IDirect3DDevice9 *pDev, UINT uBytes)
  {
    pDevice = pDev;
    uSize = uBytes;
    // The kind of buffer the backend's ring is: software processing only on such a device.
    DWORD dwUsage = D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY;
    if (!(gfx_ulFlags & GLF_HWVERTEXPROCESSING)) dwUsage |= D3DUSAGE_SOFTWAREPROCESSING;
    const D3DVERTEXELEMENT9 ave[2] = {
        {0, 0, D3DDECLTYPE_FLOAT4, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0}, D3DDECL_END()};
    return SUCCEEDED(pDevice->CreateVertexDeclaration(ave, &pvd)) &&
           SUCCEEDED(
               pDevice->CreateVertexBuffer(uSize, dwUsage, 0, D3DPOOL_DEFAULT, &pvb, nullptr));
  }
  UINT Upload(const void *pv, UINT n)
  {
    DWORD dwFlags = D3DLOCK_NOOVERWRITE;
    if (uPos + n > uSize) {
      uPos = 0;
      dwFlags = D3DLOCK_DISCARD;
    }
    void *pvLocked = nullptr;
    const UINT uAt = uPos;
    if (SUCCEEDED(pvb->Lock(uAt, n, &pvLocked, dwFlags))) {
      memcpy(pvLocked, pv, n);
      pvb->Unlock();
    }
    uPos += n;
    return uAt;
  }
  void Release(void)
  {
    if (pvb != nullptr) pvb->Release();
    if (pvd != nullptr) pvd->Release();
    pvb = nullptr;
    pvd = nullptr;
  }
};

float _afTriangle[12] = {-0.1f, -0.1f, 0.5f, 1, 0, 0.1f, 0.5f, 1, 0.1f, -0.1f, 0.5f, 1};
char _acUpload[32768];

} // namespace

int main()
{
  wndStartWindowSystemService();
  CWindow *pwnd = wndCreateWorkbench("Draw bench", CTRect(0, 0, 320, 240), 0, WPL_CLIENT);
  wndShowWindow(pwnd);
  gfxLoadBackend_t();
  long iWidth = 0, iHeight = 0;
  _gfxStartup_t(iWidth, iHeight, 32, 24, 0);
  CWindowCanvas wc;
  wc.wc_pwnd = pwnd;
  wc.cv_pcaAPI = _gfxNewWindowCanvas(pwnd, GCF_SHAREDDEPTH);
  CDrawPort dp;
  dp.dp_pcv = &wc;
  dp.dp_iWidth = 320;
  dp.dp_iHeight = 240;
  _gfxCurrentRenderTarget(&wc, -1);
  _gfx_pdpCurrent = &dp;
  _gfxCurrentRenderArea(&dp);
  const long hVertex = _gfxCreateProgram(_strVertex, 1);
  const long hPixel = _gfxCreateProgram(_strPixel, 0);
  _gfxBindVertexProgram(hVertex);
  _gfxBindPixelProgram(hPixel);
  _gfxCullFace(GFF_NONE);

  static IDirect3DDevice9 *_pDevice = nullptr;
  ((IDirect3DSurface9 *)_gfx_pcaCommon->ca_pDepth)->GetDevice(&_pDevice);
  // The hand-written buffer holds as much as the backend's whole ring, so both write the same
  // amount of memory before they come round again.
  static HandBuffer _hb;
  if (wc.cv_pcaAPI == nullptr || hVertex <= 0 || hPixel <= 0 ||
      !_hb.Start(_pDevice, (UINT)d3d_iCommonVertexBuffersSize * 1024)) {
    printf("no device or programs for the drawing comparison\n");
    return 1;
  }
  // Both paths draw into the same open scene; a flush now and then keeps the queue short.
  static long _ctDraws = 0;
  auto fnFlush = [] {
    if (++_ctDraws % 2000 == 0) _gfxFinish(0);
  };
  Comparison cd = CompareNs(
      20000,
      [&] {
        _gfxBindVertexArray(0, _afTriangle, GUT_FLOAT4, sizeof(_afTriangle), 0);
        _gfxDrawVertices(GPR_TRIANGLES, 1, 0);
        _gfxUnbindVertexBuffers();
        fnFlush();
      },
      [&] {
        const UINT uAt = _hb.Upload(_afTriangle, sizeof(_afTriangle));
        _pDevice->SetVertexDeclaration(_hb.pvd);
        _pDevice->SetStreamSource(0, _hb.pvb, uAt, 16);
        _pDevice->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1);
        fnFlush();
      },
      21);
  Report("bind array + draw", cd, "hand dynamic buffer");
  printf("  draw path over hand-written: %.0f%% (goal <= 15%%)\n",
         100.0 * (cd.sOurs.dMedian / cd.sReference.dMedian - 1.0));

  // Uploads of a small and a large array: the fixed cost per bind shows in the first, the copy in
  // the second.
  static UINT _uUpload = 0;
  for (UINT uBytes : {4096u, 32768u}) {
    _uUpload = uBytes;
    Comparison cu = CompareNs(
        uBytes == 4096u ? 50000 : 10000,
        [] {
          _gfxBindVertexArray(0, _acUpload, GUT_FLOAT4, _uUpload, 0);
          _gfxUnbindVertexBuffers();
        },
        [] { Keep(_hb.Upload(_acUpload, _uUpload)); });
    char strWhat[64];
    sprintf(strWhat, "upload %u KiB through the ring", uBytes / 1024);
    Report(strWhat, cu, "raw lock + memcpy");
    printf("  upload throughput: %.0f%% of raw (goal >= 80%%)\n",
           100.0 * cu.sReference.dMedian / cu.sOurs.dMedian);
  }

  _hb.Release();
  _pDevice->Release();
  _gfxReleaseProgram(_gfx_avppPrograms[hVertex - 1], 1);
  _gfxReleaseProgram(_gfx_avppPrograms[hPixel - 1], 0);
  _gfxReleaseCanvas(&wc);
  gfxUnloadBackend();
  return 0;
}
