// The backend's vertex and index buffers: set-up and release, static buffers, binding arrays and
// buffers to streams, and index sources.
//
// Bound arrays are copied into a ring of common dynamic buffers. Appending uses no-overwrite
// locks; moving on to the next buffer discards it, unless it still holds what the last draws
// read. Only a write over that region takes a plain (waiting) lock.
#include "backend/BuffersPrivate.h"

namespace QuennelEngine {

BufferState _d3dbf;

namespace {

// Growing the ring stops here: past it, data that does not fit is refused.
const long SL_MAXCOMMONSIZE = 16 * 1024 * 1024;
const long SL_INITIALINDEX16 = 16384;
const long SL_INITIALINDEX32 = 32768;

bool IsSoftware(void)
{
  return !(gfx_ulFlags & GLF_HWVERTEXPROCESSING);
}

DWORD DynamicUsage(void)
{
  return D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY | (IsSoftware() ? D3DUSAGE_SOFTWAREPROCESSING : 0);
}

void NoteLock(int bIndex, DWORD dwFlags)
{
  d3dSeamNoteLock(bIndex, dwFlags);
}

template <class T> void ReleaseObject(T *&p)
{
  if (p != nullptr) p->Release();
  p = nullptr;
}

bool CreateCommonVertexBuffers(long slSize)
{
  for (long i = 0; i < _d3dbf.bf_ctCommon; i++) {
    HRESULT hr = _d3d.bs_pDevice->CreateVertexBuffer(slSize, DynamicUsage(), 0, D3DPOOL_DEFAULT,
                                                     &_d3dbf.bf_apvbCommon[i], nullptr);
    if (FAILED(hr)) {
      _d3dbf.bf_apvbCommon[i] = nullptr;
      _gfxError("SetupCommonVertexArray");
      return false;
    }
    _d3dbf.bf_aiStamp[i] = 0;
  }
  _d3dbf.bf_slCommonSize = slSize;
  _d3dbf.bf_slCounted += slSize * _d3dbf.bf_ctCommon;
  memCountExternalAlloc(slSize * _d3dbf.bf_ctCommon, 4096);
  _d3dbf.bf_iCurrent = 0;
  _d3dbf.bf_slWritePos = 0;
  _d3dbf.bf_slConsumed = 0;
  _d3dbf.bf_iPeriodBuffer = -1;
  _d3dbf.bf_iLastBuffer = -1;
  return true;
}

void ReleaseCommonVertexBuffers(void)
{
  for (long i = 0; i < D3D_MAXCOMMONBUFFERS; i++) ReleaseObject(_d3dbf.bf_apvbCommon[i]);
  memCountExternalAlloc(-_d3dbf.bf_slCommonSize * _d3dbf.bf_ctCommon, 4096);
  _d3dbf.bf_slCounted -= _d3dbf.bf_slCommonSize * _d3dbf.bf_ctCommon;
  _d3dbf.bf_slCommonSize = 0;
}

bool CreateDynamicIndexBuffer(long iKind, long slSize)
{
  IDirect3DIndexBuffer9 *&pib = _d3dbf.bf_apibDynamic[iKind];
  HRESULT hr = _d3d.bs_pDevice->CreateIndexBuffer(slSize, DynamicUsage(),
                                                  iKind == 0 ? D3DFMT_INDEX16 : D3DFMT_INDEX32,
                                                  D3DPOOL_DEFAULT, &pib, nullptr);
  if (FAILED(hr)) {
    pib = nullptr;
    _d3dbf.bf_aslIndexSize[iKind] = 0;
    _gfxError("SetupCommonIndexArray");
    return false;
  }
  _d3dbf.bf_aslIndexSize[iKind] = slSize;
  _d3dbf.bf_aslIndexPos[iKind] = 0;
  _d3dbf.bf_slCounted += slSize;
  memCountExternalAlloc(slSize, 4096);
  return true;
}

void ReleaseDynamicIndexBuffer(long iKind)
{
  IDirect3DIndexBuffer9 *&pib = _d3dbf.bf_apibDynamic[iKind];
  if (pib == nullptr) return;
  if (_d3dbf.bf_pibSet == pib) _d3dbf.bf_pibSet = nullptr;
  if (_d3dbf.bf_pibEngine == pib) _d3dbf.bf_pibEngine = nullptr;
  ReleaseObject(pib);
  memCountExternalAlloc(-_d3dbf.bf_aslIndexSize[iKind], 4096);
  _d3dbf.bf_slCounted -= _d3dbf.bf_aslIndexSize[iKind];
  _d3dbf.bf_aslIndexSize[iKind] = 0;
}

void CreateQuadIndexBuffer(void)
{
  const UINT uSize = D3D_CTQUADBATCH * 6 * sizeof(WORD);
  if (FAILED(_d3d.bs_pDevice->CreateIndexBuffer(uSize, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16,
                                                D3DPOOL_MANAGED, &_d3dbf.bf_pibQuads, nullptr))) {
    _d3dbf.bf_pibQuads = nullptr;
    _gfxError("SetupCommonIndexArray");
    return;
  }
  void *pv = nullptr;
  if (FAILED(_d3dbf.bf_pibQuads->Lock(0, uSize, &pv, 0)) || pv == nullptr) return;
  WORD *puw = (WORD *)pv;
  for (long k = 0; k < D3D_CTQUADBATCH; k++) {
    const WORD b = (WORD)(4 * k);
    puw[0] = b + 1;
    puw[1] = b + 2;
    puw[2] = b;
    puw[3] = b;
    puw[4] = b + 2;
    puw[5] = b + 3;
    puw += 6;
  }
  _d3dbf.bf_pibQuads->Unlock();
}

void SetIndexSource(IDirect3DIndexBuffer9 *pib)
{
  if (_d3dbf.bf_pibSet == pib) return;
  _d3d.bs_pDevice->SetIndices(pib);
  _d3dbf.bf_pibSet = pib;
}

void BindDummy(long iStream)
{
  if (_d3dbf.bf_pvbDummy != nullptr) d3dSetStream(iStream, _d3dbf.bf_pvbDummy, 0, 0);
}

// Records a stream for the next draw.
void RecordStream(long iStream)
{
  _d3dbf.bf_ulStreamsPending |= 1UL << iStream;
}

// Copies `n` bytes into the current common buffer at `slOffset` under a lock of `dwFlags`.
void WriteCommon(const void *pv, long n, long slOffset, DWORD dwFlags)
{
  IDirect3DVertexBuffer9 *pvb = _d3dbf.bf_apvbCommon[_d3dbf.bf_iCurrent];
  _d3dbf.bf_aiStamp[_d3dbf.bf_iCurrent] = _d3dbf.bf_iStamp;
  if (_d3dbf.bf_iPeriodBuffer != _d3dbf.bf_iCurrent) {
    _d3dbf.bf_iPeriodBuffer = _d3dbf.bf_iCurrent;
    _d3dbf.bf_slPeriodStart = slOffset;
  }
  _d3dbf.bf_slWritePos = slOffset + n;
  _d3dbf.bf_slConsumed += n;
  NoteLock(0, dwFlags);
  void *pvLocked = nullptr;
  if (FAILED(pvb->Lock(slOffset, n, &pvLocked, dwFlags)) || pvLocked == nullptr) return;
  memcpy(pvLocked, pv, n);
  pvb->Unlock();
}

bool OverlapsLastDraw(long iBuffer, long slFrom, long n)
{
  return _d3dbf.bf_iLastBuffer == iBuffer && slFrom < _d3dbf.bf_slLastEnd &&
         _d3dbf.bf_slLastStart < slFrom + n;
}

long CopyToRing(const void *pv, long n);

// Makes every common buffer large enough for what is bound now plus `n` more bytes, and copies
// the arrays of the streams already bound to the ring again (their data went with the buffers).
bool GrowRing(long n)
{
  const long slWanted = (long)((double)(_d3dbf.bf_slConsumed + n) * 1.1);
  const long slNew = slWanted < SL_MAXCOMMONSIZE ? slWanted : SL_MAXCOMMONSIZE;
  if (slNew <= _d3dbf.bf_slCommonSize) {
    // At the cap: the period starts anew; earlier streams keep their places.
    _d3dbf.bf_slConsumed = 0;
    return true;
  }
  ReleaseCommonVertexBuffers();
  if (!CreateCommonVertexBuffers(slNew)) {
    ReleaseCommonVertexBuffers();
    return false;
  }
  for (long s = 0; s < D3D_CTSTREAMS; s++) {
    StreamRecord &sr = _d3dbf.bf_asr[s];
    if (sr.sr_iCommon < 0 || sr.sr_pvSource == nullptr) continue;
    if (((_gfx_uqCurrentVertexProgramInputMask >> (4 * s)) & 0xF) == 0) continue;
    long slOffset = CopyToRing(sr.sr_pvSource, sr.sr_ctBytes);
    if (slOffset < 0) continue;
    sr.sr_iCommon = _d3dbf.bf_iCurrent;
    sr.sr_pvb = _d3dbf.bf_apvbCommon[_d3dbf.bf_iCurrent];
    sr.sr_uOffset = slOffset;
    RecordStream(s);
  }
  return true;
}

// The offset at which the bytes went into the current common buffer; -1 when they could not.
long CopyToRing(const void *pv, long n)
{
  if (_d3dbf.bf_ctCommon == 0 || _d3dbf.bf_apvbCommon[0] == nullptr) return -1;
  if (n > SL_MAXCOMMONSIZE) {
    _gfxError("SetupCommonVertexArray");
    return -1;
  }
  if (_d3dbf.bf_slConsumed + n > _d3dbf.bf_slCommonSize) {
    if (!GrowRing(n)) return -1;
  }
  if (_d3dbf.bf_slWritePos + n <= _d3dbf.bf_slCommonSize) {
    const long slOffset = _d3dbf.bf_slWritePos;
    const DWORD dwFlags =
        OverlapsLastDraw(_d3dbf.bf_iCurrent, slOffset, n) ? 0 : D3DLOCK_NOOVERWRITE;
    WriteCommon(pv, n, slOffset, dwFlags);
    return slOffset;
  }
  _d3dbf.bf_iCurrent = (_d3dbf.bf_iCurrent + 1) % _d3dbf.bf_ctCommon;
  _d3dbf.bf_iPeriodBuffer = -1;
  DWORD dwFlags = D3DLOCK_DISCARD;
  if (_d3dbf.bf_iLastBuffer == _d3dbf.bf_iCurrent) {
    dwFlags = OverlapsLastDraw(_d3dbf.bf_iCurrent, 0, n) ? 0 : D3DLOCK_NOOVERWRITE;
  }
  WriteCommon(pv, n, 0, dwFlags);
  return 0;
}

// The usage type's attribute code (1..7), 0 when it is none (reported).
long CodeOf(GfxUsageType eUsage)
{
  if (eUsage < GUT_COLOR || eUsage > GUT_FLOAT4) {
    _gfxError("BindVertexBuffer, usage type");
    return 0;
  }
  return eUsage - 129;
}

bool IsStream(long iStream)
{
  if (iStream >= 0 && iStream < D3D_CTSTREAMS) return true;
  _gfxError("BindVertexBuffer, stream");
  return false;
}

void SetCode(long iStream, long iCode)
{
  const unsigned __int64 uqMask = 0xFULL << (4 * iStream);
  _gfx_uqCurrentVertexProgramInputMask =
      (_gfx_uqCurrentVertexProgramInputMask & ~uqMask) | ((unsigned __int64)iCode << (4 * iStream));
}

UINT SizeOf(IDirect3DVertexBuffer9 *pvb)
{
  D3DVERTEXBUFFER_DESC desc = {};
  pvb->GetDesc(&desc);
  return desc.Size;
}

UINT SizeOf(IDirect3DIndexBuffer9 *pib)
{
  D3DINDEXBUFFER_DESC desc = {};
  pib->GetDesc(&desc);
  return desc.Size;
}

// True when [offset, offset + size) lies in a buffer of `uSize` bytes (reported otherwise).
bool IsRange(long slOffset, long slSize, UINT uSize)
{
  if (slOffset >= 0 && slSize >= 0 && (unsigned long)slOffset + (unsigned long)slSize <= uSize) {
    return true;
  }
  _gfxError("StaticVertexBuffer, range");
  return false;
}

// The default-pool buffers as one entry of the device-bound list.
class CCommonBuffers final : public CDeviceBound {
public:
  ~CCommonBuffers() override { d3dReleaseBuffers(); }
  void ReleaseBeforeReset(void) override { d3dReleaseBuffers(); }
  bool RestoreAfterReset(void) override
  {
    d3dSetupBuffers();
    return true;
  }
  IUnknown *WrappedObject(void) override { return _d3dbf.bf_apvbCommon[0]; }
  bool IsKeptIn(const void *pvField) override { return pvField == &_d3dbf; }
};

} // namespace

UINT d3dDefaultStride(long iCode)
{
  static const UINT _auStride[8] = {0, 4, 4, 8, 4, 8, 12, 16};
  return iCode >= 1 && iCode <= 7 ? _auStride[iCode] : 0;
}

void d3dSetupBuffers(void)
{
  if (d3d_ctCommonVertexBuffers < 1) d3d_ctCommonVertexBuffers = 1;
  if (d3d_ctCommonVertexBuffers > D3D_MAXCOMMONBUFFERS) d3d_ctCommonVertexBuffers = 8;
  if (d3d_iCommonVertexBuffersSize < 32) d3d_iCommonVertexBuffersSize = 32;
  if (d3d_iCommonVertexBuffersSize > 4096) d3d_iCommonVertexBuffersSize = 4096;
  _d3dbf.bf_ctCommon = d3d_ctCommonVertexBuffers;
  const long slEach = d3d_iCommonVertexBuffersSize * 1024 / d3d_ctCommonVertexBuffers;
  if (!CreateCommonVertexBuffers(slEach)) ReleaseCommonVertexBuffers();
  CreateDynamicIndexBuffer(0, SL_INITIALINDEX16);
  if (gfx_ulFlags & GLF_32BITINDICES) CreateDynamicIndexBuffer(1, SL_INITIALINDEX32);
  CreateQuadIndexBuffer();
  if (IsSoftware()) {
    if (FAILED(_d3d.bs_pDevice->CreateVertexBuffer(
            16, D3DUSAGE_SOFTWAREPROCESSING, 0, D3DPOOL_DEFAULT, &_d3dbf.bf_pvbDummy, nullptr))) {
      _d3dbf.bf_pvbDummy = nullptr;
      _gfxError("SetupCommonVertexArray");
    } else {
      _d3dbf.bf_slCounted += 16;
      memCountExternalAlloc(16, 4096);
      for (long s = 0; s < gfx_iMaxInputStreams && s < D3D_CTSTREAMS; s++) BindDummy(s);
    }
  }
}

void d3dReleaseBuffers(void)
{
  ReleaseCommonVertexBuffers();
  ReleaseDynamicIndexBuffer(0);
  ReleaseDynamicIndexBuffer(1);
  ReleaseObject(_d3dbf.bf_pibQuads);
  ReleaseObject(_d3dbf.bf_pvbDummy);
  for (auto &md : _d3dbf.bf_aDeclarations) md.second->Release();
  if (_d3dbf.bf_slCounted != 0) memCountExternalAlloc(-_d3dbf.bf_slCounted, 4096);
  // What the device held went with the buffers or goes with the reset.
  _d3dbf = BufferState();
  if (_d3d.bs_pDevice != nullptr && !_d3d.bs_bLost) {
    _d3d.bs_pDevice->SetIndices(nullptr);
    for (long s = 0; s < D3D_CTSTREAMS && s < gfx_iMaxInputStreams; s++) {
      d3dSetStream(s, nullptr, 0, 0);
    }
    _d3d.bs_pDevice->SetVertexDeclaration(nullptr);
  }
}

void d3dRegisterBuffers(void)
{
  d3dSetupBuffers();
  d3dRegisterDeviceBound(new CCommonBuffers);
}

unsigned long d3dCreateStaticVertexBuffer(long slSize, long iKind, const void *pvData)
{
  if (d3dIsUnusable() || gfx_bNoStaticGeometry) return 0;
  if (slSize <= 0 || (iKind != 0 && iKind != 16 && iKind != 32)) {
    _gfxError("CreateStaticVertexBuffer");
    return 0;
  }
  if (iKind == 32 && !(gfx_ulFlags & GLF_32BITINDICES)) return 0;
  IUnknown *punk = nullptr;
  void *pvLocked = nullptr;
  HRESULT hr;
  if (iKind == 0) {
    IDirect3DVertexBuffer9 *pvb = nullptr;
    hr = _d3d.bs_pDevice->CreateVertexBuffer(slSize, D3DUSAGE_WRITEONLY, 0, D3DPOOL_MANAGED, &pvb,
                                             nullptr);
    punk = pvb;
    if (SUCCEEDED(hr) && pvData != nullptr && SUCCEEDED(pvb->Lock(0, slSize, &pvLocked, 0))) {
      memcpy(pvLocked, pvData, slSize);
      pvb->Unlock();
    }
  } else {
    IDirect3DIndexBuffer9 *pib = nullptr;
    hr = _d3d.bs_pDevice->CreateIndexBuffer(slSize, D3DUSAGE_WRITEONLY,
                                            iKind == 16 ? D3DFMT_INDEX16 : D3DFMT_INDEX32,
                                            D3DPOOL_MANAGED, &pib, nullptr);
    punk = pib;
    if (SUCCEEDED(hr) && pvData != nullptr && SUCCEEDED(pib->Lock(0, slSize, &pvLocked, 0))) {
      memcpy(pvLocked, pvData, slSize);
      pib->Unlock();
    }
  }
  if (FAILED(hr) || punk == nullptr) {
    _gfxError("CreateStaticVertexBuffer");
    return 0;
  }
  return (unsigned long)punk;
}

void *d3dLockStaticVertexBuffer(unsigned long hBuffer, int bIndex, GfxAccessType eAccess,
                                long slSize, long slOffset)
{
  if (d3dIsUnusable() || hBuffer == 0) return nullptr;
  const DWORD dwFlags = eAccess == GAC_READ ? D3DLOCK_READONLY : 0;
  void *pv = nullptr;
  HRESULT hr;
  if (bIndex) {
    IDirect3DIndexBuffer9 *pib = (IDirect3DIndexBuffer9 *)hBuffer;
    if (!IsRange(slOffset, slSize, SizeOf(pib))) return nullptr;
    hr = pib->Lock(slOffset, slSize, &pv, dwFlags);
  } else {
    IDirect3DVertexBuffer9 *pvb = (IDirect3DVertexBuffer9 *)hBuffer;
    if (!IsRange(slOffset, slSize, SizeOf(pvb))) return nullptr;
    hr = pvb->Lock(slOffset, slSize, &pv, dwFlags);
  }
  return SUCCEEDED(hr) ? pv : nullptr;
}

void d3dUnlockStaticVertexBuffer(unsigned long hBuffer, int bIndex, long)
{
  if (d3dIsUnusable() || hBuffer == 0) return;
  if (bIndex) {
    ((IDirect3DIndexBuffer9 *)hBuffer)->Unlock();
  } else {
    ((IDirect3DVertexBuffer9 *)hBuffer)->Unlock();
  }
}

void d3dLoadStaticVertexBuffer(unsigned long hBuffer, int bIndex, const void *pvData, long slSize,
                               long slOffset)
{
  if (pvData == nullptr) return;
  void *pv = d3dLockStaticVertexBuffer(hBuffer, bIndex, GAC_WRITE, slSize, slOffset);
  if (pv == nullptr) return;
  memcpy(pv, pvData, slSize);
  d3dUnlockStaticVertexBuffer(hBuffer, bIndex, slSize);
}

void d3dReleaseStaticVertexBuffer(unsigned long hBuffer, int bIndex)
{
  if (hBuffer == 0) return;
  if (bIndex) {
    IDirect3DIndexBuffer9 *pib = (IDirect3DIndexBuffer9 *)hBuffer;
    if (_d3dbf.bf_pibEngine == pib) _d3dbf.bf_pibEngine = nullptr;
    if (_d3dbf.bf_pibSet == pib) {
      if (!d3dIsUnusable()) _d3d.bs_pDevice->SetIndices(nullptr);
      _d3dbf.bf_pibSet = nullptr;
    }
    pib->Release();
    return;
  }
  IDirect3DVertexBuffer9 *pvb = (IDirect3DVertexBuffer9 *)hBuffer;
  for (long s = 0; s < D3D_CTSTREAMS; s++) {
    StreamRecord &sr = _d3dbf.bf_asr[s];
    if (sr.sr_iCommon >= 0 || sr.sr_pvb != pvb) continue;
    sr = StreamRecord();
    SetCode(s, 0);
    if (!d3dIsUnusable()) {
      d3dSetStream(s, _d3dbf.bf_pvbDummy, 0, 0);
    } else if (_d3dbf.bf_ass[s].ss_pvb == pvb) {
      _d3dbf.bf_ass[s] = StreamSet();
    }
  }
  pvb->Release();
}

void d3dBindVertexArray(long iStream, const void *pvData, GfxUsageType eUsage, long ctBytes,
                        long slStride)
{
  if (d3dIsUnusable() || !IsStream(iStream)) return;
  const long iCode = CodeOf(eUsage);
  if (iCode == 0 || pvData == nullptr || ctBytes <= 0) return;
  const UINT uStride = slStride != 0 ? slStride : d3dDefaultStride(iCode);
  const long slOffset = CopyToRing(pvData, ctBytes);
  if (slOffset < 0) return;
  StreamRecord &sr = _d3dbf.bf_asr[iStream];
  sr.sr_iCommon = _d3dbf.bf_iCurrent;
  sr.sr_pvb = _d3dbf.bf_apvbCommon[_d3dbf.bf_iCurrent];
  sr.sr_uOffset = slOffset;
  sr.sr_uStride = uStride;
  sr.sr_ctBytes = ctBytes;
  sr.sr_pvSource = pvData;
  RecordStream(iStream);
  SetCode(iStream, iCode);
}

void d3dBindVertexBuffer(long iStream, long iEntry, GfxUsageType eUsage, long slOffset, long ct,
                         long slStride)
{
  if (d3dIsUnusable() || !IsStream(iStream)) return;
  if (iEntry < 1 || iEntry > GFX_CTVERTEXBUFFERS) {
    _gfxError("BindVertexBuffer, entry");
    return;
  }
  const VertexBuffer &vb = _gfx_avbVertexBuffers[iEntry - 1];
  if ((vb.vb_ubType & 0x3F) == VBT_MEMORY) {
    if (!IsRange(slOffset, ct, vb.vb_slSize)) return;
    d3dBindVertexArray(iStream, (const char *)vb.vb_pBuffer + slOffset, eUsage,
                       ct != 0 ? ct : vb.vb_slSize - slOffset, slStride);
    return;
  }
  const long iCode = CodeOf(eUsage);
  if (iCode == 0 || vb.vb_pBuffer == nullptr) return;
  IDirect3DVertexBuffer9 *pvb = (IDirect3DVertexBuffer9 *)vb.vb_pBuffer;
  if (!IsRange(slOffset, 0, SizeOf(pvb))) return;
  const UINT uStride = slStride != 0 ? slStride : d3dDefaultStride(iCode);
  StreamRecord &sr = _d3dbf.bf_asr[iStream];
  sr = StreamRecord();
  sr.sr_pvb = pvb;
  sr.sr_uOffset = slOffset;
  sr.sr_uStride = uStride;
  sr.sr_ctBytes = ct;
  RecordStream(iStream);
  SetCode(iStream, iCode);
}

void d3dSetStream(long iStream, IDirect3DVertexBuffer9 *pvb, UINT uOffset, UINT uStride)
{
  _d3d.bs_pDevice->SetStreamSource(iStream, pvb, uOffset, uStride);
  _d3dbf.bf_ass[iStream] = StreamSet{pvb, uOffset, uStride};
  _d3dbf.bf_ulStreamsPending &= ~(1UL << iStream);
}

void d3dApplyStreams(void)
{
  unsigned long ul = _d3dbf.bf_ulStreamsPending;
  _d3dbf.bf_ulStreamsPending = 0;
  for (long s = 0; ul != 0; s++, ul >>= 1) {
    if (!(ul & 1) || ((_gfx_uqCurrentVertexProgramInputMask >> (4 * s)) & 0xF) == 0) continue;
    const StreamRecord &sr = _d3dbf.bf_asr[s];
    const StreamSet &ss = _d3dbf.bf_ass[s];
    if (ss.ss_pvb == sr.sr_pvb && ss.ss_uOffset == sr.sr_uOffset &&
        ss.ss_uStride == sr.sr_uStride) {
      continue;
    }
    d3dSetStream(s, sr.sr_pvb, sr.sr_uOffset, sr.sr_uStride);
  }
}

namespace {

// An unbound array's memory is the engine's again: the ring never copies from it after this.
void ForgetSource(long iStream)
{
  _d3dbf.bf_asr[iStream].sr_pvSource = nullptr;
}

} // namespace

void d3dUnbindVertexBuffer(long iStream)
{
  if (!IsStream(iStream)) return;
  SetCode(iStream, 0);
  ForgetSource(iStream);
}

void d3dUnbindVertexBuffers(void)
{
  // The arrays' sources need no forgetting: growing copies again only streams in the mask.
  _gfx_uqCurrentVertexProgramInputMask = 0;
  _d3dbf.bf_slConsumed = 0;
  if (_d3dbf.bf_iPeriodBuffer >= 0) {
    _d3dbf.bf_iLastBuffer = _d3dbf.bf_iPeriodBuffer;
    _d3dbf.bf_slLastStart = _d3dbf.bf_slPeriodStart;
    _d3dbf.bf_slLastEnd = _d3dbf.bf_slWritePos;
  }
  _d3dbf.bf_iPeriodBuffer = -1;
}

void d3dIndexArray(const void *pvIndices, long ctIndices, GfxUsageType eUsage)
{
  if (d3dIsUnusable() || pvIndices == nullptr || ctIndices <= 0) return;
  if (eUsage != GUT_INDEX16 && eUsage != GUT_INDEX32) {
    _gfxError("IndexArray, usage type");
    return;
  }
  const bool bWide = eUsage == GUT_INDEX32 && (gfx_ulFlags & GLF_32BITINDICES);
  const long iKind = bWide ? 1 : 0;
  const long slElement = bWide ? 4 : 2;
  const long slBytes = ctIndices * slElement;
  DWORD dwFlags = D3DLOCK_NOOVERWRITE;
  if (_d3dbf.bf_aslIndexPos[iKind] + slBytes > _d3dbf.bf_aslIndexSize[iKind]) {
    if (slBytes > _d3dbf.bf_aslIndexSize[iKind]) {
      ReleaseDynamicIndexBuffer(iKind);
      if (!CreateDynamicIndexBuffer(iKind, slBytes / 4 * 5 + 4)) return;
    }
    _d3dbf.bf_aslIndexPos[iKind] = 0;
    dwFlags = D3DLOCK_DISCARD;
  }
  IDirect3DIndexBuffer9 *pib = _d3dbf.bf_apibDynamic[iKind];
  if (pib == nullptr) return;
  const long slPos = _d3dbf.bf_aslIndexPos[iKind];
  NoteLock(1, dwFlags);
  void *pv = nullptr;
  if (FAILED(pib->Lock(slPos, slBytes, &pv, dwFlags)) || pv == nullptr) return;
  if (eUsage == GUT_INDEX16 || bWide) {
    memcpy(pv, pvIndices, slBytes);
  } else {
    // Without 32-bit indices the values are narrowed, clamped to what 16 bits hold.
    const unsigned long *pul = (const unsigned long *)pvIndices;
    WORD *puw = (WORD *)pv;
    for (long i = 0; i < ctIndices; i++) puw[i] = pul[i] > 0xFFFF ? 0xFFFF : (WORD)pul[i];
  }
  pib->Unlock();
  _d3dbf.bf_aslIndexPos[iKind] = slPos + slBytes;
  _d3dbf.bf_uStartIndex = slPos / slElement;
  _d3dbf.bf_pibEngine = pib;
  SetIndexSource(pib);
}

void d3dIndexBuffer(long iEntry, long iFirst, long ct)
{
  if (d3dIsUnusable()) return;
  if (iEntry == 0) {
    _d3dbf.bf_pibEngine = nullptr;
    SetIndexSource(nullptr);
    return;
  }
  if (iEntry < 1 || iEntry > GFX_CTVERTEXBUFFERS) {
    _gfxError("IndexBuffer, entry");
    return;
  }
  const VertexBuffer &vb = _gfx_avbVertexBuffers[iEntry - 1];
  const long slElement = vb.vb_ubType >= VBT_INDEX16 ? 2 : 4;
  if (iFirst < 0 || iFirst * slElement > vb.vb_slSize) {
    _gfxError("IndexBuffer, range");
    return;
  }
  if (ct == 0) ct = vb.vb_slSize / slElement - iFirst;
  if ((vb.vb_ubType & 0x3F) == VBT_MEMORY) {
    d3dIndexArray((const char *)vb.vb_pBuffer + iFirst * slElement, ct,
                  slElement == 2 ? GUT_INDEX16 : GUT_INDEX32);
    return;
  }
  IDirect3DIndexBuffer9 *pib = (IDirect3DIndexBuffer9 *)vb.vb_pBuffer;
  if (pib == nullptr) return;
  _d3dbf.bf_uStartIndex = iFirst;
  _d3dbf.bf_pibEngine = pib;
  SetIndexSource(pib);
}

void d3dUseQuadIndices(void)
{
  SetIndexSource(_d3dbf.bf_pibQuads);
}

void d3dRestoreEngineIndices(void)
{
  if (_d3dbf.bf_pibSet == _d3dbf.bf_pibQuads && _d3dbf.bf_pibQuads != nullptr) {
    SetIndexSource(_d3dbf.bf_pibEngine);
  }
}

void d3dSetBufferSlots(void)
{
  _gfxCreateStaticVertexBuffer = SLOT(d3dCreateStaticVertexBuffer);
  _gfxReleaseStaticVertexBuffer = SLOT(d3dReleaseStaticVertexBuffer);
  _gfxLoadStaticVertexBuffer = SLOT(d3dLoadStaticVertexBuffer);
  _gfxLockStaticVertexBuffer = SLOT(d3dLockStaticVertexBuffer);
  _gfxUnlockStaticVertexBuffer = SLOT(d3dUnlockStaticVertexBuffer);
  _gfxBindVertexBuffer = SLOT(d3dBindVertexBuffer);
  _gfxBindVertexArray = SLOT(d3dBindVertexArray);
  _gfxUnbindVertexBuffer = SLOT(d3dUnbindVertexBuffer);
  _gfxUnbindVertexBuffers = SLOT(d3dUnbindVertexBuffers);
  _gfxIndexBuffer = SLOT(d3dIndexBuffer);
  _gfxIndexArray = SLOT(d3dIndexArray);
}

} // namespace QuennelEngine
