#pragma once
// The default-pool resources of canvases as device-bound objects: each makes its Direct3D object
// into a slot of a canvas record (and, for texture canvases, of the texture table), releases it
// before a reset and makes it again after one.
#include "backend/BackendPrivate.h"

namespace QuennelEngine {

enum BoundKind {
  BK_DEPTH,         // an own depth-stencil surface
  BK_DEVICEDEPTH,   // the full-screen device's automatic depth-stencil surface, taken
  BK_SWAPCHAIN,     // an additional swap chain of a window
  BK_RENDERSURFACE, // a render-target surface
  BK_RENDERTEXTURE, // a render-target texture
  BK_CUBETEXTURE,   // a render-target cube texture
};

class CBoundResource : public CDeviceBound {
public:
  CBoundResource(BoundKind ebk, long iWidth, long iHeight, D3DFORMAT fmt, void **ppSlot);
  // Releases the object and clears the slots.
  ~CBoundResource() override;
  // Makes the object into the slots; the slots are null on failure.
  HRESULT Create(void);
  void ReleaseBeforeReset(void) override;
  bool RestoreAfterReset(void) override;
  IUnknown *WrappedObject(void) override;
  bool IsKeptIn(const void *pvField) override;

  BoundKind br_ebk;
  long br_iWidth, br_iHeight;
  D3DFORMAT br_fmt;
  void **br_ppSlot;
  void **br_ppAlias = nullptr; // a second holder of the same pointer (not counted)
  void *br_hwnd = nullptr;     // swap chains: the window
};

// Creates the resource and registers it; on failure deletes it and returns the error.
HRESULT d3dNewBoundResource(CBoundResource *pbr);

} // namespace QuennelEngine
