// Loading the Direct3D utility library.
#include "backend/D3DX.h"
#include "backend/BackendPrivate.h"

namespace QuennelEngine {

namespace {

CDynamicLoader *_pdlD3DX = nullptr;
D3DXFunctions _fx = {};
bool _bTried = false;

} // namespace

const D3DXFunctions *d3dxGetFunctions(void)
{
  if (_pdlD3DX != nullptr) return &_fx;
  if (_bTried) return nullptr;
  _bTried = true;
  CDynamicLoader *pdl = new CDynamicLoader;
  try {
    pdl->Open_t("$d3dx9_43.dll");
    _fx.AssembleShader = pdl->GetFunction_t<decltype(_fx.AssembleShader)>("D3DXAssembleShader");
    _fx.LoadSurfaceFromMemory =
        pdl->GetFunction_t<decltype(_fx.LoadSurfaceFromMemory)>("D3DXLoadSurfaceFromMemory");
    _fx.LoadVolumeFromMemory =
        pdl->GetFunction_t<decltype(_fx.LoadVolumeFromMemory)>("D3DXLoadVolumeFromMemory");
    _fx.LoadSurfaceFromSurface =
        pdl->GetFunction_t<decltype(_fx.LoadSurfaceFromSurface)>("D3DXLoadSurfaceFromSurface");
  } catch (CException &ex) {
    conWarningF("(Direct3D) The utility library cannot be used: %1\n", ARG_TEXT,
                ex.GetDescription());
    delete pdl;
    _fx = D3DXFunctions();
    return nullptr;
  }
  _pdlD3DX = pdl;
  return &_fx;
}

void d3dxUnload(void)
{
  delete _pdlD3DX;
  _pdlD3DX = nullptr;
  _fx = D3DXFunctions();
  _bTried = false;
}

CD3DXScope::CD3DXScope() : xs_lBefore(memGetUseIntrinsicNewDelete())
{
  memGetUseIntrinsicNewDelete() = 1;
}

CD3DXScope::~CD3DXScope()
{
  memGetUseIntrinsicNewDelete() = xs_lBefore;
}

} // namespace QuennelEngine
