#pragma once
// The Direct3D utility library, loaded by name at first use like Direct3D itself, so the
// backend starts (and draws without programs or conversions) where it is missing.
#include <d3dx9.h>

namespace QuennelEngine {

struct D3DXFunctions {
  decltype(&D3DXAssembleShader) AssembleShader;
  decltype(&D3DXLoadSurfaceFromMemory) LoadSurfaceFromMemory;
  decltype(&D3DXLoadVolumeFromMemory) LoadVolumeFromMemory;
  decltype(&D3DXLoadSurfaceFromSurface) LoadSurfaceFromSurface;
};

// The library's functions; null when it cannot be loaded (the failure is reported once).
const D3DXFunctions *d3dxGetFunctions(void);
// Unloads the library (the backend's release).
void d3dxUnload(void);

// While the library runs, allocations take the intrinsic operators (its objects are freed by
// code that knows nothing of our memory layer).
class CD3DXScope {
public:
  CD3DXScope();
  ~CD3DXScope();
  CD3DXScope(const CD3DXScope &) = delete;
  CD3DXScope &operator=(const CD3DXScope &) = delete;

private:
  long xs_lBefore;
};

} // namespace QuennelEngine
