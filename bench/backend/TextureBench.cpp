// Texture upload and the sampler setters. Goals: uploading A8R8G8B8 through the direct path
// takes at most 1/0.8 of a raw lock and row copy into the same texture (the conversion path is
// reported beside it), and a sampler setter that changes nothing costs at most 10 ns (the tests
// prove it makes no device call).
#include "BenchSupport.h"
#include "engine/Engine.h"

#include <d3d9.h>
#include <string.h>

using namespace QuennelEngine;
using namespace QuennelEngine::Bench;

namespace {

void Empty(long l)
{
  Keep(l);
}
void (*volatile _pEmpty)(long) = Empty;

const long _iSize = 512;
std::vector<unsigned char> _aubImage(_iSize *_iSize * 4, 0x5A);
long _hDirect = 0;
long _hConvert = 0;

// The library's memcpy, as the backend calls it (the compiler would inline a copy of a constant
// size as a slower string move, which flatters the backend).
void *(*volatile _pMemcpy)(void *, const void *, size_t) = memcpy;

// What the direct path does, done by hand: lock level 0 and copy the rows at the locked pitch.
void RawUpload(void)
{
  IDirect3DTexture9 *pTexture = (IDirect3DTexture9 *)_gfx_atpTextures[_hDirect - 1].tp_pTexture;
  IDirect3DSurface9 *pSurface = nullptr;
  if (FAILED(pTexture->GetSurfaceLevel(0, &pSurface))) return;
  D3DLOCKED_RECT lr;
  if (SUCCEEDED(pSurface->LockRect(&lr, nullptr, 0))) {
    for (long y = 0; y < _iSize; y++) {
      _pMemcpy((unsigned char *)lr.pBits + y * lr.Pitch, &_aubImage[y * _iSize * 4], _iSize * 4);
    }
    pSurface->UnlockRect();
  }
  pSurface->Release();
}

} // namespace

int main()
{
  wndStartWindowSystemService();
  CWindow *pwnd = wndCreateWorkbench("Texture bench", CTRect(0, 0, 320, 240), 0, WPL_CLIENT);
  wndShowWindow(pwnd);
  gfxLoadBackend_t();
  long iWidth = 0, iHeight = 0;
  _gfxStartup_t(iWidth, iHeight, 32, 24, 0);
  _hDirect = _gfxCreateTexture(_iSize, _iSize, 1, 0, GCF_ARGB8);
  _hConvert = _gfxCreateTexture(_iSize, _iSize, 1, 0, GCF_RGB565);
  if (_hDirect == 0 || _hConvert == 0) {
    printf("no textures\n");
    return 1;
  }

  Comparison cu = CompareNs(
      400, [] { _gfxUploadTexture(_hDirect, _aubImage.data(), GCF_ARGB8, 0, 0, 0, 0); },
      [] { RawUpload(); }, 21);
  Report("upload 512x512 A8R8G8B8, direct", cu, "raw lock + row copy", "ns");
  // The figures only count when the slot wrote the pixels.
  memset(_aubImage.data(), 0x33, _aubImage.size());
  _gfxUploadTexture(_hDirect, _aubImage.data(), GCF_ARGB8, 0, 0, 0, 0);
  D3DLOCKED_RECT lr;
  IDirect3DTexture9 *pTexture = (IDirect3DTexture9 *)_gfx_atpTextures[_hDirect - 1].tp_pTexture;
  if (SUCCEEDED(pTexture->LockRect(0, &lr, nullptr, D3DLOCK_READONLY))) {
    const unsigned char *pub = (const unsigned char *)lr.pBits + (_iSize - 1) * lr.Pitch;
    printf("  uploaded pixels %s\n", pub[_iSize * 4 - 1] == 0x33 ? "written" : "NOT WRITTEN");
    pTexture->UnlockRect(0);
  }
  printf("  direct upload speed: %.0f%% of the raw copy (goal >= 80%%)\n",
         100.0 * cu.sRatio.dMedian);
  Comparison cc = CompareNs(
      10, [] { _gfxUploadTexture(_hConvert, _aubImage.data(), GCF_ARGB8, 0, 0, 0, 0); },
      [] { RawUpload(); });
  Report("upload 512x512 A8R8G8B8 into R5G6B5, converted", cc, "raw lock + row copy", "ns");

  Comparison cs = CompareNs(
      1000000,
      [] {
        _gfxTextureFiltering(0, GfxTexFilter(207), 1, 0.0f);
        _gfxTextureWrapping(0, GTW_REPEAT, GTW_REPEAT, GTW_REPEAT);
      },
      [] {
        _pEmpty(0);
        _pEmpty(1);
      });
  Report("two redundant sampler setters", cs, "two plain pointer calls");
  printf("  redundant sampler setter: %.1f ns (goal <= 10)\n", cs.sOurs.dMedian / 2.0);
  Comparison cb = CompareNs(
      1000000, [] { _gfxBindTexture(0, _hDirect); }, [] { _pEmpty(0); });
  Report("binding the bound texture", cb, "plain pointer call");

  _gfxDeleteTexture(_hDirect);
  _gfxDeleteTexture(_hConvert);
  gfxUnloadBackend();
  return 0;
}
