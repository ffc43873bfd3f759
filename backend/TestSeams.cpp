// The test seams of PrismelTest.dll (see TestSeams.h); nothing of this is in Prismel.dll.
#if defined(PRISMEL_TEST_SEAMS)
#include "backend/TestSeams.h"
#include "backend/BackendPrivate.h"

#include <tuple>

namespace QuennelEngine {

namespace {

PrismelSeams _ps;

template <class... A> void StoreWords(DWORD *pdw, A... a)
{
  (void)pdw;
  static_assert(((sizeof(A) <= sizeof(DWORD)) && ...), "one word per argument");
  ((memcpy(pdw++, &a, sizeof(a))), ...);
}

// Forwards every call to the real device, counting it and keeping its arguments.
class CRecordingDevice final : public IDirect3DDevice9 {
public:
  explicit CRecordingDevice(IDirect3DDevice9 *pDevice) : rd_pDevice(pDevice) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) override
  {
    return rd_pDevice->QueryInterface(riid, ppv);
  }
  ULONG STDMETHODCALLTYPE AddRef(void) override { return rd_pDevice->AddRef(); }
  ULONG STDMETHODCALLTYPE Release(void) override
  {
    ULONG ct = rd_pDevice->Release();
    if (ct == 0) delete this;
    return ct;
  }
#define D3D_FORWARD(result, name, params, args)                                                    \
  result STDMETHODCALLTYPE name params override                                                    \
  {                                                                                                \
    Note<DDM_##name> args;                                                                         \
    if (Fake<DDM_##name> args) return (result)D3D_OK;                                              \
    if (DDM_##name == DDM_Reset && _ps.ps_ctResetsLost > 0) {                                      \
      _ps.ps_ctResetsLost--;                                                                       \
      return (result)D3DERR_DEVICELOST;                                                            \
    }                                                                                              \
    return rd_pDevice->name args;                                                                  \
  }
  D3D_DEVICE_METHODS(D3D_FORWARD)
#undef D3D_FORWARD

private:
  // Answers the call instead of the device when a test asks for that; true if it did.
  template <D3DDeviceMethod eMethod, class... A> static bool Fake(A... a)
  {
    if constexpr (eMethod == DDM_GetRasterStatus) {
      if (_ps.ps_iRaster == 0) return false;
      D3DRASTER_STATUS *prs = std::get<1>(std::make_tuple(a...));
      static long _ctPolls = 0;
      _ctPolls++;
      prs->ScanLine = 0;
      prs->InVBlank = _ps.ps_iRaster == 2 || (_ps.ps_iRaster == 3 && (_ctPolls & 1));
      return true;
    } else {
      (void)sizeof...(a);
      return false;
    }
  }
  template <D3DDeviceMethod eMethod, class... A> static void Note(A... a)
  {
    D3DCallRecord &rec = _ps.ps_rec;
    rec.dcr_actCalls[eMethod]++;
    DWORD *pdw = rec.dcr_adwArgs[eMethod];
    memset(pdw, 0, sizeof(rec.dcr_adwArgs[eMethod]));
    StoreWords(pdw, a...);
    // What the arguments point to, for the calls whose pointers matter.
    if (eMethod == DDM_SetViewport && pdw[0] != 0) {
      rec.dcr_vpLast = *(const D3DVIEWPORT9 *)pdw[0];
    } else if (eMethod == DDM_SetScissorRect && pdw[0] != 0) {
      rec.dcr_rcScissor = *(const RECT *)pdw[0];
    } else if (eMethod == DDM_Clear) {
      rec.dcr_rcClear = pdw[0] != 0 && pdw[1] != 0 ? *(const D3DRECT *)pdw[1] : D3DRECT{};
    } else if (eMethod == DDM_SetRenderState && pdw[0] < 256) {
      rec.dcr_adwRenderState[pdw[0]] = pdw[1];
      rec.dcr_actRenderStateSets[pdw[0]]++;
    }
    if ((eMethod == DDM_DrawPrimitive || eMethod == DDM_DrawIndexedPrimitive) &&
        rec.dcr_ctDraws < 8) {
      DWORD *pdwDraw = rec.dcr_aadwDraws[rec.dcr_ctDraws++];
      pdwDraw[0] = eMethod;
      memcpy(pdwDraw + 1, pdw, 6 * sizeof(DWORD));
    }
  }

  IDirect3DDevice9 *rd_pDevice;
};

} // namespace

void d3dSeamCaps(D3DCAPS9 &caps)
{
  caps.Caps = (caps.Caps & ~_ps.ps_dwCapsOff) | _ps.ps_dwCapsOn;
  caps.TextureCaps = (caps.TextureCaps & ~_ps.ps_dwTextureCapsOff) | _ps.ps_dwTextureCapsOn;
  caps.PrimitiveMiscCaps &= ~_ps.ps_dwMiscCapsOff;
  if (_ps.ps_dwMaxVertexIndex != 0) caps.MaxVertexIndex = _ps.ps_dwMaxVertexIndex;
}

bool d3dSeamModes(long &ctModes, const D3DDISPLAYMODE *&pdm)
{
  if (!_ps.ps_bModes) return false;
  ctModes = _ps.ps_ctModes;
  pdm = _ps.ps_adm;
  return true;
}

bool d3dSeamRefusesSamples(long ctSamples)
{
  if (_ps.ps_ctSamplesTried < 16) _ps.ps_actSamplesTried[_ps.ps_ctSamplesTried++] = ctSamples;
  return _ps.ps_ctMaxSamples != 0 && ctSamples > _ps.ps_ctMaxSamples;
}

void d3dSeamNoteVBlankPeriod(double dSeconds)
{
  _ps.ps_dVBlankPeriod = dSeconds;
}

void d3dSeamGammaRamp(D3DGAMMARAMP &gr)
{
  if (_ps.ps_iGammaRamp == 0) return;
  for (WORD i = 0; i < 256; i++) gr.red[i] = gr.green[i] = gr.blue[i] = i;
  if (_ps.ps_iGammaRamp == 2) gr.blue[255] = 0x1234;
}

bool d3dSeamRefusesDepth(D3DFORMAT fmt)
{
  for (D3DFORMAT fmtRefused : _ps.ps_afmtRefusedDepth) {
    if (fmtRefused == fmt) return fmt != D3DFMT_UNKNOWN;
  }
  return false;
}

bool d3dSeamRefusesTexture(D3DFORMAT fmt)
{
  for (D3DFORMAT fmtRefused : _ps.ps_afmtRefusedTexture) {
    if (fmtRefused == D3DFMT_UNKNOWN) return false;
    if (fmtRefused == fmt) return true;
  }
  return false;
}

void d3dSeamNoteLock(int bIndex, DWORD dwFlags)
{
  const long iKind = (dwFlags & D3DLOCK_DISCARD) ? 2 : (dwFlags & D3DLOCK_NOOVERWRITE) ? 1 : 0;
  _ps.ps_aactLocks[bIndex != 0][iKind]++;
}

IDirect3DDevice9 *d3dSeamWrapDevice(IDirect3DDevice9 *pDevice, const D3DPRESENT_PARAMETERS &pp)
{
  _ps.ps_ppCreated = pp;
  if (!_ps.ps_bRecord) return pDevice;
  _ps.ps_rec = D3DCallRecord();
  return new CRecordingDevice(pDevice);
}

} // namespace QuennelEngine

extern "C" __declspec(dllexport) QuennelEngine::PrismelSeams *prismelTestSeams(void)
{
  return &QuennelEngine::_ps;
}
#endif
