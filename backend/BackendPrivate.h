#pragma once
// The backend's state and helpers shared by its sources: the Direct3D objects, the device-bound
// list, the scope object every slot opens and the lazy scene.
#include "engine/Engine.h"

#include <d3d9.h>
#include <string.h>

namespace QuennelEngine {

// The backend's module-wide state. Zeroed (BackendState()) before a start-up and after shutdown.
struct BackendState {
  CDynamicLoader *bs_pdl = nullptr; // holds d3d9.dll while the Direct3D object lives
  IDirect3D9 *bs_pD3D = nullptr;
  IDirect3DDevice9 *bs_pDevice = nullptr;
  D3DDEVTYPE bs_eDevType = D3DDEVTYPE_HAL;
  UINT bs_iAdapter = 0;
  D3DPRESENT_PARAMETERS bs_pp = {};
  D3DFORMAT bs_fmtBackBuffer = D3DFMT_UNKNOWN;
  D3DFORMAT bs_fmtDepth = D3DFMT_UNKNOWN;
  D3DFORMAT bs_fmtDesktop = D3DFMT_UNKNOWN;
  // The display's format while the device runs, which format checks take as the adapter's:
  // the desktop's when windowed, the back buffer's without alpha in full screen.
  D3DFORMAT bs_fmtAdapter = D3DFMT_UNKNOWN;
  D3DCAPS9 bs_caps = {};
  long bs_ctSamples = 0; // anti-aliasing samples in use; 0 none
  D3DMULTISAMPLE_TYPE bs_eMultiSample = D3DMULTISAMPLE_NONE;
  int bs_bLost = 0;
  // The device while it can be used, null while lost (one load for the check every slot makes);
  // written only by d3dSetLost.
  IDirect3DDevice9 *bs_pUsable = nullptr;
  int bs_bSceneOpen = 0;
  double bs_dVBlankPeriod = 0.0; // seconds; 0 when not measured
  D3DTEXTUREFILTERTYPE bs_eCopyFilter = D3DTEXF_NONE;
  long bs_slFrameBufferCounted = 0; // what start-up counted as external allocation
  int bs_bGammaSaved = 0;           // _gfx_auwSystemGammaTable holds the desktop's ramp
  __int64 bs_llLastPresent = 0;
  CanvasAPI *bs_pcaCommon = nullptr;
  long bs_iCommonWidth = 0; // the common canvas's size (its depth surface's)
  long bs_iCommonHeight = 0;
  // The cull mode last sent (0: none since the defaults), the clip plane kept on devices
  // without user clip planes, and the blend state that a colour mask of 0 stood in for.
  DWORD bs_dwCullSent = 0;
  float bs_afClipPlane[4] = {};
  int bs_bMaskEmulated = 0;
  int bs_bMaskedBlending = 0;
  GfxBlend bs_eMaskedSrc = GBL_ONE;
  GfxBlend bs_eMaskedDst = GBL_ZERO;
};
extern BackendState _d3d;

// Every slot opens one: its time goes to the engine's profile node, also when the slot throws,
// and a missing node is tolerated.
class CSlotScope {
public:
  CSlotScope() : ss_ppn(_gfx_ppnGfxAPI)
  {
    if (ss_ppn != nullptr) {
      ss_ppn->pn_llTicks -= timReadTimeStampCounter();
      ss_ppn->pn_ctCalls++;
    }
  }
  ~CSlotScope()
  {
    if (ss_ppn != nullptr) ss_ppn->pn_llTicks += timReadTimeStampCounter();
  }
  CSlotScope(const CSlotScope &) = delete;
  CSlotScope &operator=(const CSlotScope &) = delete;

private:
  CProfileNode *ss_ppn;
};

// Each slot is its implementation inside a slot scope. Filling a slot in the implementation's
// own source lets the compiler fold the two into one function (the render-state setters need
// that: a changing setter costs little more than the device call it makes).
template <class F, F f> struct Slot;
template <class R, class... A, R (*f)(A...)> struct Slot<R (*)(A...), f> {
  __attribute__((flatten)) static R Call(A... a)
  {
    CSlotScope ss;
    return f(a...);
  }
};
#define SLOT(impl) &Slot<decltype(&impl), &impl>::Call

// True when slots that touch the device must return at once.
inline bool d3dIsUnusable(void)
{
  return _d3d.bs_pUsable == nullptr;
}
// Marks the device lost or usable again (also after it was made).
inline void d3dSetLost(int bLost)
{
  _d3d.bs_bLost = bLost;
  _d3d.bs_pUsable = bLost ? nullptr : _d3d.bs_pDevice;
}

// Drawing slots open the scene lazily: the first after a present issues BeginScene.
inline void d3dOpenScene(void)
{
  if (!_d3d.bs_bSceneOpen) {
    _d3d.bs_pDevice->BeginScene();
    _d3d.bs_bSceneOpen = 1;
  }
}

// Pixel boxes include their maximum (see Box2l): a box is empty when right < left or
// bottom < top, and one of a single pixel has minimum == maximum.
// The box clipped to a surface of the given size; an empty box stands for the whole surface.
// False when nothing of the box lies on the surface.
bool d3dClipBox(const Box2l &box, long iWidth, long iHeight, RECT &rc);

// ---- Test seams ----

// A test build (PrismelTest.dll) changes a few answers of Direct3D here (backend/TestSeams.h);
// in the shipped library these do nothing.
#if defined(PRISMEL_TEST_SEAMS)
void d3dSeamCaps(D3DCAPS9 &caps);
// True when a given mode list stands for every adapter's own.
bool d3dSeamModes(long &ctModes, const D3DDISPLAYMODE *&pdm);
bool d3dSeamRefusesSamples(long ctSamples);
bool d3dSeamRefusesDepth(D3DFORMAT fmt);
bool d3dSeamRefusesTexture(D3DFORMAT fmt);
// The desktop's gamma ramp as the device reported it.
void d3dSeamGammaRamp(D3DGAMMARAMP &gr);
// The vertical-blank period the common canvas measured.
void d3dSeamNoteVBlankPeriod(double dSeconds);
// The device the backend then uses (a recording wrapper of it, or itself).
IDirect3DDevice9 *d3dSeamWrapDevice(IDirect3DDevice9 *pDevice, const D3DPRESENT_PARAMETERS &pp);
// A lock of a dynamic vertex (bIndex 0) or index buffer with these flags.
void d3dSeamNoteLock(int bIndex, DWORD dwFlags);
#else
inline void d3dSeamCaps(D3DCAPS9 &)
{
}
inline bool d3dSeamModes(long &, const D3DDISPLAYMODE *&)
{
  return false;
}
inline bool d3dSeamRefusesSamples(long)
{
  return false;
}
inline bool d3dSeamRefusesDepth(D3DFORMAT)
{
  return false;
}
inline bool d3dSeamRefusesTexture(D3DFORMAT)
{
  return false;
}
inline void d3dSeamGammaRamp(D3DGAMMARAMP &)
{
}
inline void d3dSeamNoteVBlankPeriod(double)
{
}
inline IDirect3DDevice9 *d3dSeamWrapDevice(IDirect3DDevice9 *pDevice, const D3DPRESENT_PARAMETERS &)
{
  return pDevice;
}
inline void d3dSeamNoteLock(int, DWORD)
{
}
#endif

// ---- The device-bound list ----

// An object whose Direct3D resource lives in the default pool: released before a reset and
// restored after it.
class CDeviceBound {
public:
  virtual ~CDeviceBound();
  virtual void ReleaseBeforeReset(void) = 0;
  // False when the resource cannot be made again.
  virtual bool RestoreAfterReset(void) = 0;
  // The Direct3D object it wraps now (by which it is found when that is released).
  virtual IUnknown *WrappedObject(void) = 0;
  // True when it keeps its object in the field at `pvField` (found so also while lost, when
  // every object is released).
  virtual bool IsKeptIn(const void *pvField) = 0;

  CDeviceBound *db_pNext = nullptr;
};
void d3dRegisterDeviceBound(CDeviceBound *pdb);
// Unregisters and deletes (which releases) the entry keeping its object in the field
// `pvField` (nothing when none does).
void d3dForgetDeviceBound(const void *pvField);
void d3dReleaseAllBeforeReset(void);
bool d3dRestoreAllAfterReset(void);
// Deletes every entry (they release their objects) at shutdown.
void d3dForgetAllDeviceBound(void);
long d3dCountDeviceBound(void);

// ---- Shared steps ----

// Bits per pixel of a Direct3D format for the memory estimates.
long d3dFormatBits(D3DFORMAT fmt);
// samples x bits x width x height / 8, samples at least 1.
long d3dEstimate(D3DFORMAT fmt, long iWidth, long iHeight, long ctSamples);
// The Direct3D format of a depth format value: 233 is 16-bit, anything else D24S8.
inline D3DFORMAT d3dDepthFormatOf(GfxColorFormat eDepth)
{
  return eDepth == GCF_DEPTH16 ? D3DFMT_D16 : D3DFMT_D24S8;
}
// Loads Direct3D and fills the adapter list (first step of start-up).
void d3dLoad_t(void);
// Releases the device, the Direct3D object and the library, in that order.
void d3dRelease(void);
void d3dCreateDevice_t(long &iWidth, long &iHeight, long &iColorBits, long &iDepthBits,
                       long iRefresh);
void d3dSetCapsAndDefaults_t(void);
void d3dCreateCommonCanvas(long &iWidth, long &iHeight, long iColorBits, long iDepthBits);
void d3dReleaseCommonCanvas(void);
// The reset after a lost device; 0 when it must be tried again later.
int d3dReset(void);

// Sets the default render state on the device and in the mirrors (creation and every reset).
void d3dSetDefaultRenderState(void);

// The slots of this seam. Each source fills the slots of what it implements (its d3dSet...Slots,
// called by gfxStartupAPI), so every slot folds into its implementation.
void d3dSetCanvasSlots(void);
void d3dSetPresentSlots(void);
void d3dStartup_t(long &iWidth, long &iHeight, long iColorBits, long iDepthBits, long iRefresh);
void d3dShutdown(void);
CanvasAPI *d3dNewWindowCanvas(CWindow *pwnd, GfxColorFormat eDepth);
CanvasAPI *d3dNewTextureCanvas(long iWidth, long iHeight, int bCube, GfxColorFormat eColor,
                               GfxColorFormat eDepth, long &hTexture);
CanvasAPI *d3dNewRenderCanvas(long iWidth, long iHeight, GfxColorFormat eColor,
                              GfxColorFormat eDepth, int iFlags);
int d3dRefreshWindowCanvas(CWindowCanvas *pwc);
void d3dReleaseCanvas(CCanvas *pcv);
int d3dPresent(const CWindowCanvas *pwc, int bNoWait);
void d3dClear(GfxTarget eTarget, unsigned long ulColor, float fDepth, unsigned char ubStencil);
void d3dClearRect(GfxTarget eTarget, long iX, long iY, long iWidth, long iHeight,
                  unsigned long ulColor, float fDepth, unsigned char ubStencil);
void d3dGammaRampTable(const unsigned short *puwTable);
void d3dFinish(int bFlush);
void d3dCurrentRenderArea(CDrawPort *pdp);
void d3dCurrentRenderTarget(CCanvas *pcv, long iFace);
void d3dCopyRenderTarget(CCanvas *pcvSource, const Box2l &boxSource, long iSourceFace,
                         CCanvas *pcvTarget, const Box2l &boxTarget, long iTargetFace);
unsigned long *d3dGrabCurrentRenderTarget(const Box2l &box, long iFace);

// Render state (backend/RenderState.cpp); d3dSetRenderStateSlots fills their slots.
void d3dSetRenderStateSlots(void);
void d3dEnableDepthWrite(void);
void d3dDisableDepthWrite(void);
void d3dEnableDepthBuffer(void);
void d3dDisableDepthBuffer(void);
void d3dEnableAlphaTest(void);
void d3dDisableAlphaTest(void);
void d3dEnableBlend(void);
void d3dDisableBlend(void);
void d3dEnableClipPlane(void);
void d3dDisableClipPlane(void);
void d3dEnableFog(void);
void d3dDisableFog(void);
void d3dBlendFunc(GfxBlend eSrc, GfxBlend eDst);
void d3dAlphaFunc(GfxComp eFunc, float fRef);
void d3dDepthFunc(GfxComp eFunc);
void d3dDepthRange(float fNear, float fFar);
void d3dCullFace(GfxPolyFace eFace);
void d3dFrontFace(GfxPolyFace eFace);
void d3dClipPlane(const float *pfPlane);
void d3dPointSize(float fSize);
void d3dLineWidth(float fWidth);
void d3dPolygonMode(GfxPolyMode eMode);
void d3dPolygonOffset(float fScale, float fBias);
void d3dMaskColorChannel(int bRed, int bGreen, int bBlue, int bAlpha);
void d3dFogColor(unsigned long ulColor);
void d3dFogRange(float fStart, float fEnd);
void d3dScissor(long iX, long iY, long iWidth, long iHeight);
void d3dProjectionMatrix(const Matrix44f &m);

// Vertex and index buffers and drawing (backend/Buffers.cpp, backend/Drawing.cpp).
// d3dRegisterBuffers sets them up and puts them on the device-bound list (which releases them
// at a reset and shutdown); d3dSetDrawingSlots fills their slots.
void d3dRegisterBuffers(void);
void d3dSetupBuffers(void);
void d3dReleaseBuffers(void);
void d3dSetBufferSlots(void);
void d3dSetDrawingSlots(void);
// The quad index buffer as index source, and the engine's own again after quads.
void d3dUseQuadIndices(void);
void d3dRestoreEngineIndices(void);

// Programs (backend/Programs.cpp); d3dSetProgramSlots fills their slots.
void d3dSetProgramSlots(void);
long d3dCreateProgram(const char *strText, int bVertex);
void d3dReleaseProgram(VexPixProgram &vpp, int bVertex);
// Releases the programs the engine left in its table (shutdown).
void d3dReleaseAllPrograms(void);
void d3dBindVertexProgram(long hProgram);
void d3dBindPixelProgram(long hProgram);
void d3dVertexProgramConstants(long iFirst, long ctRegisters, const float *pfValues);
void d3dPixelProgramConstants(long iFirst, long ctRegisters, const float *pfValues);
void d3dGetConstantRegisters(GfxStatus eStatus, long iFirst, long ctRegisters, void *pvOut);

// Occlusion queries (backend/Queries.cpp); d3dSetQuerySlots fills their slots.
void d3dSetQuerySlots(void);
void d3dIssueQueryBegin(long iQuery);
void d3dIssueQueryEnd(long iQuery);
int d3dGetQueryResult(long iQuery, long &ctPixels, int bNoWait);
void d3dReleaseQuery(long iQuery);
// Shutdown and before a reset.
void d3dReleaseAllQueries(void);

// Textures (backend/Textures.cpp).
void d3dSetTextureSlots(void);
// The Direct3D format of a texture format, or the first accepted fallback; D3DFMT_UNKNOWN when
// the device takes none. Unchecked before the device exists.
D3DFORMAT d3dChooseTextureFormat(GfxColorFormat eFormat);
// Bytes of a texture over its mip levels (six faces for a cube).
long d3dTextureMemory(long iWidth, long iHeight, long iDepth, bool bMipmaps, bool bCube,
                      GfxColorFormat eFormat);
// The sampler defaults of every unit, on the device and in the engine's records.
void d3dResetTextureUnits(void);
// Releases every texture the backend made (before the device goes).
void d3dReleaseAllTextures(void);

} // namespace QuennelEngine
