#pragma once
// Draws the sample's scene through the engine's graphics slots: one window, the backend started
// in it, the meshes' textures and programs made once, a turning mesh each frame.
#include "Content.h"
#include "engine/Engine.h"

namespace QuennelEngine {

class CSampleRenderer {
public:
  CSampleRenderer(void) = default;
  CSampleRenderer(const CSampleRenderer &) = delete;
  CSampleRenderer &operator=(const CSampleRenderer &) = delete;
  ~CSampleRenderer(void) { Stop(); }

  // Opens the window and starts the backend library in it. Throws.
  void Start_t(const char *strBackend, long iWidth, long iHeight);
  // Creates the scene's textures and programs.
  void Upload(CSampleScene *pss);
  // Clears and draws the scene turned by the frame's angle into the back buffer.
  void DrawFrame(CSampleScene *pss, long iFrame);
  void Present(void);
  // Writes the back buffer (before presenting it) as a PNG; false when it cannot be grabbed or
  // written.
  bool WriteScreenshot(const char *strFileName);
  // Where the origin of the scene lands in the window (the mesh's centre), in pixels.
  void ProjectOrigin(CSampleScene *pss, long &iX, long &iY);
  // Releases what Upload made, the canvas and the backend.
  void Stop(void);

  long GetWidth(void) const { return sr_iWidth; }
  long GetHeight(void) const { return sr_iHeight; }
  // Triangles the backend reports drawn since start (0 while its drawing does nothing).
  long CountTriangles(void) const { return gfx_ctTriangles; }

private:
  void ViewProjection(CSampleCamera *psc, float afOut[16]);

  CWindow *sr_pwnd = nullptr;
  CWindowCanvas sr_wc;
  CDrawPort sr_dp;
  long sr_iWidth = 0;
  long sr_iHeight = 0;
  long sr_hTexture = 0;
  long sr_hVertexProgram = 0;
  long sr_hPixelProgram = 0;
  bool sr_bStarted = false;
};

} // namespace QuennelEngine
