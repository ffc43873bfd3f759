#pragma once
// Draws the sample's scene through the engine's graphics slots: one window, the backend started
// in it, the scene's textures and programs made once, and each frame every mesh with its node's
// transform, its material and texture, lit and depth-tested, the whole scene turning about the
// vertical axis through its centre. The camera (the math library's right-handed view and
// perspective) is placed from the scene's bounds so that the whole scene fills the view.
//
// Nothing in the scene is trusted: a mesh whose arrays disagree or whose indices leave its
// vertices, a texture whose pixels do not fill it, a reference to the wrong class and a node tree
// damaged into a cycle are skipped (and counted), never drawn.
#include "engine/Engine.h"
#include "samples/scene/Content.h"

namespace QuennelEngine {

class CSampleRenderer {
public:
  CSampleRenderer(void) = default;
  CSampleRenderer(const CSampleRenderer &) = delete;
  CSampleRenderer &operator=(const CSampleRenderer &) = delete;
  ~CSampleRenderer(void) { Stop(); }

  // Opens the window and starts the backend library in it. Throws.
  void Start_t(const char *strBackend, long iWidth, long iHeight);
  // Walks the scene, checks what it finds, creates the textures and programs, sorts what is to be
  // drawn by program and texture, and places the camera. Prints what it skipped.
  void Upload(CSampleScene *pss);
  // Clears and draws the scene turned by the frame's angle into the back buffer.
  void DrawFrame(CSampleScene *pss, long iFrame);
  void Present(void);
  // Writes the back buffer (before presenting it) as a PNG; false when it cannot be grabbed or
  // written.
  bool WriteScreenshot(const char *strFileName);
  // Where the centre of the scene's bounds lands in the window, in pixels.
  void ProjectCentre(long &iX, long &iY);
  // Releases what Upload made, the canvas and the backend.
  void Stop(void);

  long GetWidth(void) const { return sr_iWidth; }
  long GetHeight(void) const { return sr_iHeight; }
  // Triangles the backend reports drawn since start (0 while its drawing does nothing).
  long CountTriangles(void) const { return gfx_ctTriangles; }
  // What the last frame asked of the backend: draw calls, and state changes (programs, textures
  // and culling; the constants that every draw sets are not counted).
  long CountDrawCalls(void) const { return sr_ctDrawCalls; }
  long CountStateChanges(void) const { return sr_ctStateChanges; }
  // What Upload found: meshes to draw (one per node that holds it), and what it skipped.
  long CountDrawItems(void) const { return sr_aItems.Count(); }
  long CountSkipped(void) const { return sr_ctSkipped; }
  const Box3f &GetSceneBounds(void) const { return sr_boxScene; }

private:
  // A mesh with its node's transform, ready to draw.
  struct DrawItem {
    CSampleMesh *di_psm;
    Matrix34f di_mWorld;
    Matrix33f di_mNormal; // the inverse transpose of the world's linear part
    long di_iProgram;     // into sr_aPrograms
    long di_hTexture;
    Vector4f di_vColor;
    bool di_bCull;
  };
  struct Program {
    CSampleProgram *p_pprg;
    long p_hVertex;
    long p_hPixel;
  };
  struct Texture {
    CSampleTexture *t_ptex;
    long t_hTexture;
  };
  static void CollectNode(CSampleNode *pnod, const Matrix34f &m, void *pvRenderer);
  void AddMesh(CSampleMesh *psm, const Matrix34f &m);
  long ProgramOf(CSampleProgram *pprg);
  long TextureOf(CSampleTexture *ptex);
  void PlaceCamera(void);

  CWindow *sr_pwnd = nullptr;
  CWindowCanvas sr_wc;
  CDrawPort sr_dp;
  long sr_iWidth = 0;
  long sr_iHeight = 0;
  bool sr_bStarted = false;
  long sr_hWhite = 0; // for materials without a texture
  CStaticStackArray<DrawItem> sr_aItems;
  CStaticStackArray<Program> sr_aPrograms;
  CStaticStackArray<Texture> sr_aTextures;
  CStaticStackArray<CSampleMesh *> sr_apsmChecked; // meshes known to be drawable
  CStaticStackArray<CSampleMesh *> sr_apsmRefused;
  long sr_ctSkipped = 0;
  Box3f sr_boxScene = Box3f::Empty();
  Vector3f sr_vCentre = Vector3f(0.0f, 0.0f, 0.0f);
  Matrix44f sr_mViewProjection = mthIdentityM44f();
  long sr_ctDrawCalls = 0;
  long sr_ctStateChanges = 0;
};

} // namespace QuennelEngine
