#pragma once
// A stand-in for the engine library: the least of its graphics interface that the Direct3D
// backend uses. The engine owns every piece of graphics state (flags, capabilities, mirrors,
// tables, profile nodes) as exported variables and calls the graphics API only through exported
// function-pointer variables, the slots. The backend (Prismel.dll) fills the slots from its one
// export gfxStartupAPI; gfxLoadBackend_t loads it and calls that export.
//
// The slot list is one X-macro, GFX_SLOTS, so the declarations, the definitions and any walk over
// every slot (the tests, the backend's table) come from the same lines.
#include "core/Core.h"

#if defined(QE_ENGINE_BUILD)
#define ENGINE_API __declspec(dllexport)
#else
#define ENGINE_API __declspec(dllimport)
#endif

namespace QuennelEngine {

// ---- Engine enumerations ----

// Colour and depth formats of canvases and textures.
enum GfxColorFormat : long {
  GCF_NONE = 0,
  GCF_XRGB8 = 220, // the 32-bit window formats
  GCF_ARGB8 = 221,
  GCF_RGB565 = 222, // the 16-bit window format
  GCF_ARGB1555 = 223,
  GCF_ARGB4 = 224,
  GCF_AL8 = 225,
  GCF_L8 = 226,
  GCF_A8 = 227,
  GCF_RGBA16F = 228,
  GCF_DXT1 = 229,
  GCF_DXT3 = 230,
  GCF_DXT5 = 231,
  GCF_YUY2 = 232,
  GCF_DEPTH16 = 233,
  GCF_DEPTH24 = 235,
  GCF_SHAREDDEPTH = 236, // a canvas without depth of its own: it shares the common one
};
// The first and last colour formats a texture can have (the format tables are indexed from 220).
static const long GFX_FIRSTTEXFORMAT = 220;
static const long GFX_CTTEXFORMATS = 13;

// Which buffers a clear touches.
enum GfxTarget : long {
  GTA_COLOR = 1,
  GTA_DEPTH = 2,
  GTA_STENCIL = 4,
};

// The graphics APIs the engine knows.
enum GfxAPI : long {
  GAT_NONE = 0,
  GAT_D3D = 2,
};

// Texture filters: magnification, minification and mip filter (none, point, linear) in one code.
enum GfxTexFilter : long {
  GTF_NEAREST = 200,  // point, point, no mipmaps
  GTF_LINEAR = 203,   // linear, linear, no mipmaps
  GTF_BILINEAR = 207, // linear, linear, nearest mipmap
  GTF_TRILINEAR = 211,
  GTF_DEFAULT = 209, // the default of an empty slot
};
// Texture address modes.
enum GfxTexWrap : long {
  GTW_REPEAT = 80,
  GTW_CLAMP = 81,
  GTW_BORDER = 82,
};
// Packed video frames of the engine (two pixels in four bytes, Y0 U Y1 V); only uploads take it.
static const GfxColorFormat GCF_VIDEOFRAME = GfxColorFormat(239);

// What a vertex stream holds (one attribute per stream) and index data.
enum GfxUsageType : long {
  GUT_COLOR = 130,  // four bytes of colour
  GUT_SHORT2 = 131, // two 16-bit integers
  GUT_SHORT4 = 132,
  GUT_FLOAT1 = 133,
  GUT_FLOAT2 = 134,
  GUT_FLOAT3 = 135,
  GUT_FLOAT4 = 136,
  GUT_INDEX16 = 137,
  GUT_INDEX32 = 138,
};
// How a static buffer is locked.
enum GfxAccessType : long {
  GAC_READ = 140,
  GAC_WRITE = 141,
  GAC_READWRITE = 142,
};
// Primitive types; the tables _gfx_aiPrimTris and _gfx_aiPrimSize are indexed by type - 150.
enum GfxPrimitive : long {
  GPR_POINTS = 150,
  GPR_LINES = 151,
  GPR_LINESTRIP = 152,
  GPR_TRIANGLES = 153,
  GPR_TRIANGLESTRIP = 154,
  GPR_TRIANGLEFAN = 155,
  GPR_QUADS = 156,
};
static const long GFX_CTPRIMITIVES = 7;
// Which constant registers gfxGetConstantRegisters reads.
enum GfxStatus : long {
  GST_VERTEXCONSTANTS = 1040,
  GST_PIXELCONSTANTS = 1041,
};

// Blend factors, comparisons, faces and polygon modes of the render-state slots.
enum GfxBlend : long {
  GBL_ZERO = 20,
  GBL_ONE = 21,
  GBL_SRCCOLOR = 22,
  GBL_INVSRCCOLOR = 23,
  GBL_DSTCOLOR = 24,
  GBL_INVDSTCOLOR = 25,
  GBL_SRCALPHA = 26,
  GBL_INVSRCALPHA = 27,
};
enum GfxComp : long {
  GCP_NEVER = 40,
  GCP_LESS = 41,
  GCP_LESS_OR_EQUAL = 42,
  GCP_EQUAL = 43,
  GCP_NOT_EQUAL = 44,
  GCP_GREATER_OR_EQUAL = 45,
  GCP_GREATER = 46,
  GCP_ALWAYS = 47,
};
enum GfxPolyFace : long {
  GFF_NONE = 60, // cull faces
  GFF_FRONT = 61,
  GFF_BACK = 62,
  GFF_CW = 63, // front-face orientations
  GFF_CCW = 64,
  GFF_INVERSE = 65, // the opposite of the current face or orientation
};
enum GfxPolyMode : long {
  GPM_FILL = 66,
  GPM_LINE = 67,
  GPM_POINT = 68,
};

// A program of the engine's table _gfx_avppPrograms (handles are slot + 1).
struct VexPixProgram {
  void *vpp_pShader; // the Direct3D shader object; null for a free slot
  unsigned long vpp_ulReserved;
  unsigned long vpp_ulFlags; // the shader parser's flags, and VPF_PIXEL for pixel programs
};
static const unsigned long VPF_PIXEL = 0x80000000UL;
static const long GFX_CTPROGRAMSLOTS = 512;

// An entry of the engine's table of vertex and index buffers _gfx_avbVertexBuffers (entries are
// 1-based; 0 stands for none). The low six bits of the type byte give where the data lives; a
// type byte of VBT_INDEX16 or more marks 16-bit indices.
enum VertexBufferType : unsigned char {
  VBT_NONE = 0,
  VBT_BUFFER = 1,  // vb_pBuffer is the backend's static buffer (its handle)
  VBT_MEMORY = 30, // vb_pBuffer points to the data in memory
  VBT_INDEX16 = 64,
};
struct VertexBuffer {
  void *vb_pBuffer;
  long vb_slSize; // bytes
  unsigned char vb_ubType;
};
static const long GFX_CTVERTEXBUFFERS = 1024;

// gfx_ulFlags bits (written by the backend).
enum GfxFlag : unsigned long {
  GLF_FULLSCREEN = 0x1,
  GLF_GAMMA = 0x2,
  GLF_VSYNC = 0x4, // the raster scan line can be read: the backend waits for blanks itself
  GLF_NONPOW2 = 0x8,
  GLF_BACKBUFFERTEXTURE = 0x10,
  GLF_BORDERCLAMP = 0x20,
  GLF_STENCIL = 0x400,
  GLF_OCCLUSIONQUERY = 0x800,
  GLF_EVENTQUERY = 0x1000,
  GLF_FLOATBLENDING = 0x2000,
  GLF_HASTNL = 0x10000,
  GLF_HWVERTEXPROCESSING = 0x20000,
  GLF_CLIPPLANE = 0x40000,
  GLF_COLORMASK = 0x80000,
  GLF_DEPTHBIAS = 0x100000,
  GLF_32BITINDICES = 0x200000,
  GLF_MIPCUBEMAPS = 0x400000,
  GLF_MIPVOLUMEMAPS = 0x800000,
  GLF_YUY2CONVERSION = 0x1000000,
  GLF_YUY2TEXTURES = 0x2000000,
};

// ---- Canvases ----

// The backend's record of a canvas, allocated by the backend, referenced from the engine's
// CCanvas. Fields in this order.
enum CanvasKind : long {
  CAK_RENDER = 1,
  CAK_WINDOW = 2,
  CAK_TEXTURE = 3,
  CAK_CUBETEXTURE = 4,
};
struct CanvasAPI {
  void *ca_pColor; // swap chain, render-target surface or texture (unused for the common canvas)
  void *ca_pDepth; // own depth-stencil surface; null when the common one is shared
  long ca_ulReserved;
  GfxColorFormat ca_eColorFormat;
  GfxColorFormat ca_eDepthFormat;
  long ca_eKind;      // CanvasKind
  long ca_slEstimate; // video memory counted as external allocation
  void *ca_pvBackend; // the backend's own bookkeeping for this record
};

// The engine's canvases: what the backend needs of them.
class CCanvas {
public:
  CanvasAPI *cv_pcaAPI = nullptr;
};
class CWindowCanvas : public CCanvas {
public:
  CWindow *wc_pwnd = nullptr;
};
class CTextureCanvas : public CCanvas {
public:
  long tc_hTexture = 0; // 1-based slot of _gfx_atpTextures
};
// A rectangle of a canvas that drawing goes to.
class CDrawPort {
public:
  CCanvas *dp_pcv = nullptr;
  long dp_iLeft = 0;
  long dp_iTop = 0;
  long dp_iWidth = 0;
  long dp_iHeight = 0;
  unsigned long dp_ulID = 0;
};

// A texture slot (and a texture unit's sampler settings), as the backend uses it.
struct CTextureParams {
  void *tp_pTexture;
  long tp_slMemory;
  unsigned long tp_ulBorderColor;
  unsigned short tp_uwLastFrame;
  unsigned short tp_uwWidth, tp_uwHeight, tp_uwDepth;
  long tp_eWrapU, tp_eWrapV, tp_eWrapW;
  GfxColorFormat tp_eFormat;
  long tp_eFilter;
  long tp_iAnisotropy;
  long tp_iBaseMipmap;
  unsigned long tp_ulFlags; // 8 a size is not a power of two, 4 cube texture, 2 has mipmaps
};
static const long GFX_CTTEXTURESLOTS = 1024;

// ---- The API table (adapters and their modes) ----

static const long GFX_MAXMODES = 50;
static const long GFX_MAXADAPTERS = 8;
struct GfxDisplayMode {
  long dm_iWidth;
  long dm_iHeight;
};
struct GfxAdapter {
  CString ga_strVendor; // the API name
  CString ga_strRenderer;
  CString ga_strVersion;
  long ga_ctModes;
  GfxDisplayMode ga_adm[GFX_MAXMODES];
};
struct GfxAPIEntry {
  long ga_bFilled;
  long ga_ctAdapters;
  GfxAdapter ga_aAdapters[GFX_MAXADAPTERS];
};
// Indexed by GfxAPI.
ENGINE_API extern GfxAPIEntry gfx_gaAPIs[3];

// ---- The slots ----

// X(name, result, (arguments)) for every slot the backend fills.
#define GFX_SLOTS(X)                                                                               \
  X(_gfxStartup_t, void, (long &, long &, long, long, long))                                       \
  X(_gfxShutdown, void, (void))                                                                    \
  X(_gfxNewWindowCanvas, CanvasAPI *, (CWindow *, GfxColorFormat))                                 \
  X(_gfxNewTextureCanvas, CanvasAPI *, (long, long, int, GfxColorFormat, GfxColorFormat, long &))  \
  X(_gfxNewRenderCanvas, CanvasAPI *, (long, long, GfxColorFormat, GfxColorFormat, int))           \
  X(_gfxRefreshWindowCanvas, int, (CWindowCanvas *))                                               \
  X(_gfxReleaseCanvas, void, (CCanvas *))                                                          \
  X(_gfxPresent, int, (const CWindowCanvas *, int))                                                \
  X(_gfxClear, void, (GfxTarget, unsigned long, float, unsigned char))                             \
  X(_gfxClearRect, void, (GfxTarget, long, long, long, long, unsigned long, float, unsigned char)) \
  X(_gfxGammaRampTable, void, (const unsigned short *))                                            \
  X(_gfxFinish, void, (int))                                                                       \
  X(_gfxCurrentRenderArea, void, (CDrawPort *))                                                    \
  X(_gfxCurrentRenderTarget, void, (CCanvas *, long))                                              \
  X(_gfxCopyRenderTarget, void, (CCanvas *, const Box2l &, long, CCanvas *, const Box2l &, long))  \
  X(_gfxGrabCurrentRenderTarget, unsigned long *, (const Box2l &, long))                           \
  X(_gfxCreateTexture, long, (long, long, long, int, GfxColorFormat))                              \
  X(_gfxDeleteTexture, void, (long))                                                               \
  X(_gfxBindTexture, void, (long, long))                                                           \
  X(_gfxUploadTexture, void,                                                                       \
    (long, const unsigned char *, GfxColorFormat, long, long, long, long))                         \
  X(_gfxTextureFiltering, void, (long, GfxTexFilter, long, float))                                 \
  X(_gfxTextureWrapping, void, (long, GfxTexWrap, GfxTexWrap, GfxTexWrap))                         \
  X(_gfxTextureBorderColor, void, (long, unsigned long))                                           \
  X(_gfxTextureBaseMipmap, void, (long, long))                                                     \
  X(_gfxCompressDXT, void, (unsigned long *, unsigned char *, long, long, int, GfxColorFormat))    \
  X(_gfxCreateStaticVertexBuffer, unsigned long, (long, long, const void *))                       \
  X(_gfxReleaseStaticVertexBuffer, void, (unsigned long, int))                                     \
  X(_gfxLoadStaticVertexBuffer, void, (unsigned long, int, const void *, long, long))              \
  X(_gfxLockStaticVertexBuffer, void *, (unsigned long, int, GfxAccessType, long, long))           \
  X(_gfxUnlockStaticVertexBuffer, void, (unsigned long, int, long))                                \
  X(_gfxBindVertexBuffer, void, (long, long, GfxUsageType, long, long, long))                      \
  X(_gfxBindVertexArray, void, (long, const void *, GfxUsageType, long, long))                     \
  X(_gfxUnbindVertexBuffer, void, (long))                                                          \
  X(_gfxUnbindVertexBuffers, void, (void))                                                         \
  X(_gfxIndexBuffer, void, (long, long, long))                                                     \
  X(_gfxIndexArray, void, (const void *, long, GfxUsageType))                                      \
  X(_gfxDrawVertices, void, (GfxPrimitive, long, long))                                            \
  X(_gfxDrawIndices, void, (GfxPrimitive, long, long, long))                                       \
  X(_gfxCreateProgram, long, (const char *, int))                                                  \
  X(_gfxReleaseProgram, void, (VexPixProgram &, int))                                              \
  X(_gfxBindVertexProgram, void, (long))                                                           \
  X(_gfxBindPixelProgram, void, (long))                                                            \
  X(_gfxVertexProgramConstants, void, (long, long, const float *))                                 \
  X(_gfxPixelProgramConstants, void, (long, long, const float *))                                  \
  X(gfxGetConstantRegisters, void, (GfxStatus, long, long, void *))                                \
  X(_gfxEnableDepthWrite, void, (void))                                                            \
  X(_gfxDisableDepthWrite, void, (void))                                                           \
  X(_gfxEnableDepthBuffer, void, (void))                                                           \
  X(_gfxDisableDepthBuffer, void, (void))                                                          \
  X(_gfxEnableAlphaTest, void, (void))                                                             \
  X(_gfxDisableAlphaTest, void, (void))                                                            \
  X(_gfxEnableBlend, void, (void))                                                                 \
  X(_gfxDisableBlend, void, (void))                                                                \
  X(_gfxEnableClipPlane, void, (void))                                                             \
  X(_gfxDisableClipPlane, void, (void))                                                            \
  X(_gfxEnableFog, void, (void))                                                                   \
  X(_gfxDisableFog, void, (void))                                                                  \
  X(_gfxBlendFunc, void, (GfxBlend, GfxBlend))                                                     \
  X(_gfxAlphaFunc, void, (GfxComp, float))                                                         \
  X(_gfxDepthFunc, void, (GfxComp))                                                                \
  X(_gfxDepthRange, void, (float, float))                                                          \
  X(_gfxCullFace, void, (GfxPolyFace))                                                             \
  X(_gfxFrontFace, void, (GfxPolyFace))                                                            \
  X(_gfxClipPlane, void, (const float *))                                                          \
  X(_gfxPointSize, void, (float))                                                                  \
  X(_gfxLineWidth, void, (float))                                                                  \
  X(_gfxPolygonMode, void, (GfxPolyMode))                                                          \
  X(_gfxPolygonOffset, void, (float, float))                                                       \
  X(_gfxMaskColorChannel, void, (int, int, int, int))                                              \
  X(_gfxFogColor, void, (unsigned long))                                                           \
  X(_gfxFogRange, void, (float, float))                                                            \
  X(_gfxScissor, void, (long, long, long, long))                                                   \
  X(_gfxProjectionMatrix, void, (const Matrix44f &))                                               \
  X(_gfxIssueQueryBegin, void, (long))                                                             \
  X(_gfxIssueQueryEnd, void, (long))                                                               \
  X(_gfxReleaseQuery, void, (long))                                                                \
  X(_gfxGetQueryResult, int, (long, long &, int))

#define GFX_DECLARE_SLOT(name, result, args) ENGINE_API extern result(*name) args;
GFX_SLOTS(GFX_DECLARE_SLOT)
#undef GFX_DECLARE_SLOT

// ---- Settings the backend reads ----

ENGINE_API extern long d3d_iRenderingDevice;
ENGINE_API extern int d3d_bReferenceRasterizer;
ENGINE_API extern int d3d_bNoHardwareVertexProcessing;
ENGINE_API extern long d3d_ctCommonVertexBuffers;
ENGINE_API extern long d3d_iCommonVertexBuffersSize;
ENGINE_API extern long gfx_iAntiAliasing;
ENGINE_API extern long gfx_iWaitVSyncs;
ENGINE_API extern float _gfx_f1oMaxAllowedFPS; // seconds per frame at the highest allowed rate
ENGINE_API extern int gfx_bOutputGPUPrograms;
ENGINE_API extern int gfx_bNoStaticGeometry;
ENGINE_API extern int gfx_bNoAlphaTesting;
ENGINE_API extern int gfx_bNoAlphaBlending;

// ---- Capabilities and state the backend writes ----

ENGINE_API extern unsigned long gfx_ulFlags; // GfxFlag bits
ENGINE_API extern GfxAPI gfx_eCurrentAPI;
ENGINE_API extern long gfx_ctAntiAliasingSamples;
ENGINE_API extern long gfx_iCurrentAdapter;
ENGINE_API extern long gfx_pixMaxTextureSize;
ENGINE_API extern long gfx_pixMaxVolumeTextureSize;
ENGINE_API extern float gfx_fMaxTextureLODBias;
ENGINE_API extern long gfx_iMaxTextureAnisotropy;
ENGINE_API extern long gfx_iVertexProgramVersion;
ENGINE_API extern long gfx_ctMaxVertexProgramConstants;
ENGINE_API extern long gfx_iPixelProgramVersion;
ENGINE_API extern long gfx_ctMaxPixelProgramConstants;
ENGINE_API extern long gfx_ctTextureUnits;
ENGINE_API extern long gfx_iMaxInputStreams;
ENGINE_API extern float gfx_fMaxPointSize;
ENGINE_API extern float gfx_fMaxLineWidth;
ENGINE_API extern unsigned long _gfx_aulTexFormats[GFX_CTTEXFORMATS];
ENGINE_API extern unsigned long _gfx_aulColFormats[GFX_CTTEXFORMATS];
// The desktop's gamma ramp read at device creation (red, green, blue, 256 entries each).
ENGINE_API extern unsigned short _gfx_auwSystemGammaTable[3 * 256];

// The common window canvas: the device's own back buffer (full screen) and the shared depth.
ENGINE_API extern CanvasAPI *_gfx_pcaCommon;
ENGINE_API extern CDrawPort *_gfx_pdpCurrent;
ENGINE_API extern unsigned long _gfx_ulCurrentDrawPortID;
ENGINE_API extern CCanvas *_gfx_pcvCurrent;
ENGINE_API extern float _gfx_fDepthNear;
ENGINE_API extern float _gfx_fDepthFar;
ENGINE_API extern unsigned long _gfx_ulCurrentColorMask;
ENGINE_API extern float _gfx_fDepthScale;
ENGINE_API extern float _gfx_fDepthBias;
// The scissor box in pixels of the current target (empty: the test is off).
ENGINE_API extern int _gfx_bScissor;
ENGINE_API extern long _gfx_iScissorLeft, _gfx_iScissorTop, _gfx_iScissorWidth, _gfx_iScissorHeight;

// Render-state mirrors with their default values (the device gets the same at creation).
ENGINE_API extern int _gfx_bDepthTest;
ENGINE_API extern int _gfx_bDepthWrite;
ENGINE_API extern int _gfx_bAlphaTest;
ENGINE_API extern int _gfx_bBlending;
ENGINE_API extern int _gfx_bFog;
ENGINE_API extern unsigned long _gfx_ulFogColor;
ENGINE_API extern float _gfx_fFogStart;
ENGINE_API extern float _gfx_fFogEnd;
ENGINE_API extern int _gfx_bClipPlane;
ENGINE_API extern int _gfx_iFrontFace; // 1 while the front face is the default orientation
ENGINE_API extern int _swr_bFrontFace; // the last orientation asked for was GFF_CCW
ENGINE_API extern GfxBlend _gfx_eBlendSrc;
ENGINE_API extern GfxBlend _gfx_eBlendDst;
ENGINE_API extern GfxComp _gfx_eAlphaFunc;
ENGINE_API extern float _gfx_fAlphaRef;
ENGINE_API extern GfxComp _gfx_eDepthFunc;
ENGINE_API extern GfxPolyFace _gfx_eCullFace; // as asked for, before the orientation swaps it
ENGINE_API extern GfxPolyMode _gfx_ePolyMode;
ENGINE_API extern float _gfx_fPointSize;
ENGINE_API extern float _gfx_fLineWidth;
// The projection as the engine set it, and as it goes to programs after the draw-port
// adjustment (a copy when there is no draw port).
ENGINE_API extern Matrix44f _gfx_mCurrentProjection;
ENGINE_API extern Matrix44f _gfx_mAdjustedProjection;

// Vertex streams in use: the attribute code (usage type - 129) of stream s in bits 4s..4s+3, as
// the engine set it and as the last draw used it.
// Arrays bound with _gfxBindVertexArray are copied into the backend's ring of common buffers; the
// engine calls _gfxUnbindVertexBuffers after every draw (at least once a frame), since what is
// bound between two such calls must fit one common buffer (the ring grows, up to 16 MiB, when it
// does not) and the bound arrays must stay in memory until then.
ENGINE_API extern unsigned __int64 _gfx_uqCurrentVertexProgramInputMask;
ENGINE_API extern unsigned __int64 _gfx_uqLastVertexProgramInputMask;
// Triangles and vertices drawn (the backend adds to them).
ENGINE_API extern long gfx_ctTriangles;
ENGINE_API extern long gfx_ctVertices;
// Per primitive type (type - 150): triangles per primitive, and vertices per primitive with a
// constant term (two values per type).
ENGINE_API extern const long _gfx_aiPrimTris[GFX_CTPRIMITIVES];
ENGINE_API extern const long _gfx_aiPrimSize[2 * GFX_CTPRIMITIVES];
ENGINE_API extern VertexBuffer _gfx_avbVertexBuffers[GFX_CTVERTEXBUFFERS];

// The program table, how many of its slots were ever taken (handles above that are unknown),
// and the current programs (0: none).
ENGINE_API extern VexPixProgram _gfx_avppPrograms[GFX_CTPROGRAMSLOTS];
ENGINE_API extern long _gfx_ctPrograms;
ENGINE_API extern long _gfx_hCurrentVertexProgram;
ENGINE_API extern long _gfx_hCurrentPixelProgram;
// The model and view matrices and which of the matrices the backend has sent (bits).
ENGINE_API extern Matrix44f _gfx_mCurrentModel;
ENGINE_API extern Matrix44f _gfx_mCurrentView;
ENGINE_API extern unsigned long _gfx_ulCachedMatrices;

// The texture slots (handles are 1-based) and the per-unit sampler settings.
ENGINE_API extern CTextureParams _gfx_atpTextures[GFX_CTTEXTURESLOTS];
ENGINE_API extern CTextureParams _gfx_atpGlobalTexParams[16];
// The texture bound to each unit (0: none), each unit's LOD bias, the texture handle 0 stands
// for, and the frame number that per-frame texture memory is counted by.
ENGINE_API extern long _gfx_ahCurrentTexture[16];
ENGINE_API extern float gfx_afTextureLODBias[16];
ENGINE_API extern long gfx_hWhiteTexture;
ENGINE_API extern long gfx_iFrameNumber;
// Textures bound this frame: calls = textures, count = megabytes (may be null).
ENGINE_API extern CProfileNode *_gfx_ppnTexMem;

// The profile node every slot adds its time to (may be null).
ENGINE_API extern CProfileNode *_gfx_ppnGfxAPI;

// ---- Engine functions the backend calls ----

// Reports a failed allocation of the backend ("NewWindowCanvas, swap-chain"); counted and kept.
ENGINE_API void _gfxError(const char *strWhere);
// How many times _gfxError was called, and its last text (for the tests).
ENGINE_API long gfxCountErrors(void);
ENGINE_API const char *gfxLastError(void);
// A free 1-based texture slot; 0 when every slot is in use.
ENGINE_API long _gfxFindEmptyTextureSlot(void);
// Clips a rectangle to the scissor box when the scissor is on; 0 when nothing is left.
ENGINE_API int _gfxClipToScissor(long &iX, long &iY, long &iWidth, long &iHeight);
// Bytes per pixel of a format (depth formats included); 0 for a compressed or unknown one.
ENGINE_API long gfxGetFormatSize(GfxColorFormat eFormat);
// Bytes of an image of the format: compressed formats by 4 x 4 blocks (8 bytes for DXT1, 16
// for DXT3/5), video frames at two bytes a pixel.
ENGINE_API long gfxGetFormatSize(long iWidth, long iHeight, long iDepth, GfxColorFormat eFormat);
// Converts an image between two of the engine's formats; false when it cannot (this stand-in
// converts video frames to YUY2, and copies an image to its own format).
ENGINE_API bool bmpConvertFormat(const void *pvSource, void *pvTarget, long iWidth, long iHeight,
                                 GfxColorFormat eFrom, GfxColorFormat eTo);
// Drops the empty slots at the end of the texture table from its count of used slots.
ENGINE_API void _gfxCompactTextureSlots(void);
// The count of texture slots ever taken (handles above it are unknown).
ENGINE_API extern long _gfx_ctTextures;
// A free 0-based slot of the program table (the count grows to cover it); -1 when full.
ENGINE_API long _gfxFindEmptyProgramSlot(void);
// The engine's shader parser: turns a program text into the given API's shader assembly and
// sets the parser's flags. This stand-in takes Direct3D assembly itself, with "#" comment lines,
// and gives the empty text for any other API or for a text without an instruction.
ENGINE_API CString gfuParseShaderProgram(GfxAPI eAPI, const char *strText, unsigned long &ulFlags);
ENGINE_API CWindow *gfxGetWindowCanvasWindow(CWindowCanvas *pwc);
ENGINE_API long gfxGetTextureCanvasHandle(CTextureCanvas *ptc);

// ---- The backend library ----

// Loads the backend library (by a bare name the system searches for) and calls its
// gfxStartupAPI; throws the loader's exception when it cannot be loaded or lacks the export.
ENGINE_API void gfxLoadBackend_t(const char *strLibrary = "Prismel.dll");
// Shuts the backend down through its slot, clears every slot and unloads the library.
ENGINE_API void gfxUnloadBackend(void);
// Resets the state variables to their start values (the tests start from them).
ENGINE_API void gfxResetEngineState(void);

} // namespace QuennelEngine
