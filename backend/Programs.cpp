// Vertex and pixel programs: the engine's program text goes through its parser to Direct3D
// assembly, is assembled by the utility library and created as a shader in a slot of the
// engine's program table. Binding filters the current program; constants go straight through.
#include "backend/BackendPrivate.h"
#include "backend/D3DX.h"

namespace QuennelEngine {

namespace {

inline IDirect3DDevice9 *Device(void)
{
  return _d3d.bs_pDevice;
}

// The tag of a dumped program's file name: a hash of the program text.
unsigned long TagOf(const char *str)
{
  unsigned long ul = 2166136261UL;
  for (const unsigned char *pub = (const unsigned char *)str; *pub != 0; pub++) {
    ul = (ul ^ *pub) * 16777619UL;
  }
  return ul;
}

// Saves the assembly as "Temp/D3D-<tag>.vp" or ".pp" by the kind asked for; a failure is only
// reported, the program is still made.
void DumpProgram(const char *strText, const CString &strAsm, int bVertex)
{
  try {
    const CString strName =
        strFormat("Temp/D3D-%1.%2p", fmtSpec(TagOf(strText), "08X"), bVertex ? "v" : "p");
    strAsm.SaveText_t(strName.str_String);
  } catch (CException &ex) {
    conWarningF("(Direct3D) Cannot save a GPU program: %1\n", ARG_TEXT, ex.GetDescription());
  }
}

inline long &CurrentOf(int bVertex)
{
  return bVertex ? _gfx_hCurrentVertexProgram : _gfx_hCurrentPixelProgram;
}

inline void SetShader(int bVertex, IUnknown *pShader)
{
  if (bVertex) {
    Device()->SetVertexShader((IDirect3DVertexShader9 *)pShader);
  } else {
    Device()->SetPixelShader((IDirect3DPixelShader9 *)pShader);
  }
}

// The tokens assembled from the text, or null with the warning and traces given.
ID3DXBuffer *Assemble(const CString &strAsm)
{
  const D3DXFunctions *pfx = d3dxGetFunctions();
  if (pfx == nullptr) {
    conWarningF("Couldn't compile GPU program!\n");
    return nullptr;
  }
  ID3DXBuffer *pTokens = nullptr;
  ID3DXBuffer *pErrors = nullptr;
  HRESULT hr;
  {
    CD3DXScope xs;
    hr = pfx->AssembleShader(strAsm.str_String, (UINT)strlen(strAsm.str_String), nullptr, nullptr,
                             D3DXSHADER_SKIPOPTIMIZATION, &pTokens, &pErrors);
  }
  if (FAILED(hr) || pTokens == nullptr) {
    conWarningF("Couldn't compile GPU program!\n");
    conTraceF("Invalid GPU program:\n%1\n", ARG_TEXT, strAsm.str_String);
    if (pErrors != nullptr && pErrors->GetBufferSize() > 0) {
      CString strErrors((const char *)pErrors->GetBufferPointer(), (int)pErrors->GetBufferSize());
      conTraceF("%1\n", ARG_TEXT, strErrors.str_String);
    }
    if (pTokens != nullptr) pTokens->Release();
    pTokens = nullptr;
  }
  if (pErrors != nullptr) pErrors->Release();
  return pTokens;
}

} // namespace

long d3dCreateProgram(const char *strText, int bVertex)
{
  if (d3dIsUnusable() || strText == nullptr) return 0;
  unsigned long ulFlags = 0;
  const CString strAsm = gfuParseShaderProgram(GAT_D3D, strText, ulFlags);
  if (strlen(strAsm.str_String) < 8) return -1;
  if (gfx_bOutputGPUPrograms) DumpProgram(strText, strAsm, bVertex);

  ID3DXBuffer *pTokens = Assemble(strAsm);
  if (pTokens == nullptr) return 0;
  const long iSlot = _gfxFindEmptyProgramSlot();
  if (iSlot < 0) {
    pTokens->Release();
    _gfxError("CreateProgram, slot");
    return 0;
  }
  VexPixProgram &vpp = _gfx_avppPrograms[iSlot];
  const DWORD *pdwTokens = (const DWORD *)pTokens->GetBufferPointer();
  HRESULT hr;
  if (bVertex) {
    hr = Device()->CreateVertexShader(pdwTokens, (IDirect3DVertexShader9 **)&vpp.vpp_pShader);
  } else {
    hr = Device()->CreatePixelShader(pdwTokens, (IDirect3DPixelShader9 **)&vpp.vpp_pShader);
  }
  pTokens->Release();
  if (FAILED(hr) || vpp.vpp_pShader == nullptr) {
    // The slot stays free (a vertex text made as a pixel program lands here too).
    vpp = VexPixProgram();
    conWarningF("Couldn't compile GPU program!\n");
    conTraceF("Invalid GPU program:\n%1\n", ARG_TEXT, strAsm.str_String);
    return 0;
  }
  vpp.vpp_ulReserved = 0;
  vpp.vpp_ulFlags = ulFlags | (bVertex ? 0 : VPF_PIXEL);
  CurrentOf(bVertex) = 0;
  SetShader(bVertex, nullptr);
  return iSlot + 1;
}

void d3dReleaseProgram(VexPixProgram &vpp, int bVertex)
{
  long &hCurrent = CurrentOf(bVertex);
  const long iSlot = long(&vpp - _gfx_avppPrograms);
  const bool bCurrent = iSlot >= 0 && iSlot < GFX_CTPROGRAMSLOTS && hCurrent == iSlot + 1;
  // The device must not keep using a shader that goes.
  if ((hCurrent == 0 || bCurrent) && Device() != nullptr) SetShader(bVertex, nullptr);
  if (bCurrent) hCurrent = 0;
  if (vpp.vpp_pShader != nullptr) ((IUnknown *)vpp.vpp_pShader)->Release();
  vpp.vpp_pShader = nullptr;
}

void d3dReleaseAllPrograms(void)
{
  for (long i = 0; i < _gfx_ctPrograms; i++) {
    VexPixProgram &vpp = _gfx_avppPrograms[i];
    if (vpp.vpp_pShader == nullptr) continue;
    conWarningF("(Direct3D) A GPU program was still alive at shutdown.\n");
    ((IUnknown *)vpp.vpp_pShader)->Release();
    vpp = VexPixProgram();
  }
  _gfx_hCurrentVertexProgram = _gfx_hCurrentPixelProgram = 0;
}

namespace {

void BindProgram(long hProgram, int bVertex)
{
  long &hCurrent = CurrentOf(bVertex);
  if (hProgram == hCurrent || hProgram < 0 || hProgram > _gfx_ctPrograms || d3dIsUnusable()) {
    return;
  }
  SetShader(bVertex,
            hProgram == 0 ? nullptr : (IUnknown *)_gfx_avppPrograms[hProgram - 1].vpp_pShader);
  hCurrent = hProgram;
}

} // namespace

void d3dBindVertexProgram(long hProgram)
{
  BindProgram(hProgram, 1);
}

void d3dBindPixelProgram(long hProgram)
{
  BindProgram(hProgram, 0);
}

void d3dVertexProgramConstants(long iFirst, long ctRegisters, const float *pfValues)
{
  if (d3dIsUnusable() || pfValues == nullptr || iFirst < 0 || ctRegisters <= 0) return;
  Device()->SetVertexShaderConstantF(iFirst, pfValues, ctRegisters);
}

void d3dPixelProgramConstants(long iFirst, long ctRegisters, const float *pfValues)
{
  if (d3dIsUnusable() || pfValues == nullptr || iFirst < 0 || ctRegisters <= 0) return;
  Device()->SetPixelShaderConstantF(iFirst, pfValues, ctRegisters);
}

void d3dGetConstantRegisters(GfxStatus eStatus, long iFirst, long ctRegisters, void *pvOut)
{
  if (Device() == nullptr || pvOut == nullptr || iFirst < 0 || ctRegisters <= 0) return;
  if (eStatus == GST_VERTEXCONSTANTS) {
    Device()->GetVertexShaderConstantF(iFirst, (float *)pvOut, ctRegisters);
  } else {
    Device()->GetPixelShaderConstantF(iFirst, (float *)pvOut, ctRegisters);
  }
}

void d3dSetProgramSlots(void)
{
  _gfxCreateProgram = SLOT(d3dCreateProgram);
  _gfxReleaseProgram = SLOT(d3dReleaseProgram);
  _gfxBindVertexProgram = SLOT(d3dBindVertexProgram);
  _gfxBindPixelProgram = SLOT(d3dBindPixelProgram);
  _gfxVertexProgramConstants = SLOT(d3dVertexProgramConstants);
  _gfxPixelProgramConstants = SLOT(d3dPixelProgramConstants);
  gfxGetConstantRegisters = SLOT(d3dGetConstantRegisters);
}

} // namespace QuennelEngine
