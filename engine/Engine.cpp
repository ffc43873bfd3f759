// The engine stand-in's graphics state, its helper functions and the loading of the backend.
#include "engine/Engine.h"

#include <string.h>

namespace QuennelEngine {

#define GFX_DEFINE_SLOT(name, result, args) result(*name) args = nullptr;
GFX_SLOTS(GFX_DEFINE_SLOT)
#undef GFX_DEFINE_SLOT

GfxAPIEntry gfx_gaAPIs[3];

long d3d_iRenderingDevice = 0;
int d3d_bReferenceRasterizer = 0;
int d3d_bNoHardwareVertexProcessing = 0;
long d3d_ctCommonVertexBuffers = 4;
long d3d_iCommonVertexBuffersSize = 1024; // KiB over all the common buffers
long gfx_iAntiAliasing = 0;
long gfx_iWaitVSyncs = 0;
float _gfx_f1oMaxAllowedFPS = 0.0f;
int gfx_bOutputGPUPrograms = 0;
int gfx_bNoStaticGeometry = 0;
int gfx_bNoAlphaTesting = 0;
int gfx_bNoAlphaBlending = 0;

unsigned long gfx_ulFlags = 0;
GfxAPI gfx_eCurrentAPI = GAT_NONE;
long gfx_ctAntiAliasingSamples = 1;
long gfx_iCurrentAdapter = 0;
long gfx_pixMaxTextureSize = 0;
long gfx_pixMaxVolumeTextureSize = 0;
float gfx_fMaxTextureLODBias = 0.0f;
long gfx_iMaxTextureAnisotropy = 1;
long gfx_iVertexProgramVersion = 0;
long gfx_ctMaxVertexProgramConstants = 0;
long gfx_iPixelProgramVersion = 0;
long gfx_ctMaxPixelProgramConstants = 0;
long gfx_ctTextureUnits = 0;
long gfx_iMaxInputStreams = 0;
float gfx_fMaxPointSize = 1.0f;
float gfx_fMaxLineWidth = 1.0f;
unsigned long _gfx_aulTexFormats[GFX_CTTEXFORMATS];
unsigned long _gfx_aulColFormats[GFX_CTTEXFORMATS];
unsigned short _gfx_auwSystemGammaTable[3 * 256];

CanvasAPI *_gfx_pcaCommon = nullptr;
CDrawPort *_gfx_pdpCurrent = nullptr;
unsigned long _gfx_ulCurrentDrawPortID = 0;
CCanvas *_gfx_pcvCurrent = nullptr;
float _gfx_fDepthNear = 0.0f;
float _gfx_fDepthFar = 1.0f;
unsigned long _gfx_ulCurrentColorMask = 0xFFFFFFFF;
float _gfx_fDepthScale = 0.0f;
float _gfx_fDepthBias = 0.0f;
int _gfx_bScissor = 0;
long _gfx_iScissorLeft = 0, _gfx_iScissorTop = 0, _gfx_iScissorWidth = 0, _gfx_iScissorHeight = 0;

int _gfx_bDepthTest = 0;
int _gfx_bDepthWrite = 0;
int _gfx_bAlphaTest = 0;
int _gfx_bBlending = 0;
int _gfx_bFog = 0;
unsigned long _gfx_ulFogColor = 0;
float _gfx_fFogStart = 88888.0f;
float _gfx_fFogEnd = 99999.0f;
int _gfx_bClipPlane = 0;
int _gfx_iFrontFace = 1;
int _swr_bFrontFace = 0;
GfxBlend _gfx_eBlendSrc = GBL_ONE;
GfxBlend _gfx_eBlendDst = GBL_ZERO;
GfxComp _gfx_eAlphaFunc = GCP_GREATER;
float _gfx_fAlphaRef = 0.5f;
GfxComp _gfx_eDepthFunc = GCP_LESS_OR_EQUAL;
GfxPolyFace _gfx_eCullFace = GFF_BACK;
GfxPolyMode _gfx_ePolyMode = GPM_FILL;
float _gfx_fPointSize = 1.0f;
float _gfx_fLineWidth = 1.0f;
Matrix44f _gfx_mCurrentProjection(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
Matrix44f _gfx_mAdjustedProjection(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);

unsigned __int64 _gfx_uqCurrentVertexProgramInputMask = 0;
unsigned __int64 _gfx_uqLastVertexProgramInputMask = 0;
long gfx_ctTriangles = 0;
long gfx_ctVertices = 0;
// points, lines, line strip, triangles, triangle strip, fan, quads
const long _gfx_aiPrimTris[GFX_CTPRIMITIVES] = {0, 0, 0, 1, 1, 1, 2};
const long _gfx_aiPrimSize[2 * GFX_CTPRIMITIVES] = {1, 0, 2, 0, 1, 1, 3, 0, 1, 2, 1, 2, 4, 0};
VertexBuffer _gfx_avbVertexBuffers[GFX_CTVERTEXBUFFERS];
VexPixProgram _gfx_avppPrograms[GFX_CTPROGRAMSLOTS];
long _gfx_ctPrograms = 0;
long _gfx_hCurrentVertexProgram = 0;
long _gfx_hCurrentPixelProgram = 0;
Matrix44f _gfx_mCurrentModel(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
Matrix44f _gfx_mCurrentView(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
unsigned long _gfx_ulCachedMatrices = 0;

CTextureParams _gfx_atpTextures[GFX_CTTEXTURESLOTS];
CTextureParams _gfx_atpGlobalTexParams[16];

CProfileNode *_gfx_ppnGfxAPI = nullptr;

namespace {

CDynamicLoader *_pdlBackend = nullptr;
long _ctErrors = 0;
char _achLastError[256] = "";

} // namespace

void _gfxError(const char *strWhere)
{
  _ctErrors++;
  strncpy(_achLastError, strWhere != nullptr ? strWhere : "", sizeof(_achLastError) - 1);
  conErrorF("Graphics: out of memory in %1\n", ARG_TEXT, _achLastError);
}

long gfxCountErrors(void)
{
  return _ctErrors;
}

const char *gfxLastError(void)
{
  return _achLastError;
}

long _gfxFindEmptyTextureSlot(void)
{
  for (long i = 0; i < GFX_CTTEXTURESLOTS; i++) {
    if (_gfx_atpTextures[i].tp_pTexture == nullptr && _gfx_atpTextures[i].tp_uwWidth == 0) {
      return i + 1;
    }
  }
  return 0;
}

int _gfxClipToScissor(long &iX, long &iY, long &iWidth, long &iHeight)
{
  if (_gfx_bScissor) {
    long iRight = iX + iWidth, iBottom = iY + iHeight;
    long iScissorRight = _gfx_iScissorLeft + _gfx_iScissorWidth;
    long iScissorBottom = _gfx_iScissorTop + _gfx_iScissorHeight;
    if (iX < _gfx_iScissorLeft) iX = _gfx_iScissorLeft;
    if (iY < _gfx_iScissorTop) iY = _gfx_iScissorTop;
    if (iRight > iScissorRight) iRight = iScissorRight;
    if (iBottom > iScissorBottom) iBottom = iScissorBottom;
    iWidth = iRight - iX;
    iHeight = iBottom - iY;
  }
  return iWidth > 0 && iHeight > 0;
}

long gfxGetFormatSize(GfxColorFormat eFormat)
{
  switch (eFormat) {
  case GCF_XRGB8:
  case GCF_ARGB8:
  case GCF_DEPTH24:
    return 4;
  case GCF_RGB565:
  case GCF_ARGB1555:
  case GCF_ARGB4:
  case GCF_AL8:
  case GCF_YUY2:
  case GCF_DEPTH16:
    return 2;
  case GCF_L8:
  case GCF_A8:
    return 1;
  case GCF_RGBA16F:
    return 8;
  default:
    return 0;
  }
}

long _gfxFindEmptyProgramSlot(void)
{
  for (long i = 0; i < GFX_CTPROGRAMSLOTS; i++) {
    if (_gfx_avppPrograms[i].vpp_pShader == nullptr) {
      if (_gfx_ctPrograms < i + 1) _gfx_ctPrograms = i + 1;
      return i;
    }
  }
  return -1;
}

CString gfuParseShaderProgram(GfxAPI eAPI, const char *strText, unsigned long &ulFlags)
{
  ulFlags = 0;
  if (eAPI != GAT_D3D || strText == nullptr) return CString();
  // Line by line: "#" comment lines and blank lines go, the rest is kept with its line end.
  CString strOut;
  bool bCode = false;
  const char *pch = strText;
  while (*pch != 0) {
    const char *pchEnd = strchr(pch, '\n');
    long ctLine = pchEnd != nullptr ? long(pchEnd - pch) : long(strlen(pch));
    const char *pchFirst = pch;
    while (pchFirst < pch + ctLine &&
           (*pchFirst == ' ' || *pchFirst == '\t' || *pchFirst == '\r')) {
      pchFirst++;
    }
    if (pchFirst < pch + ctLine && *pchFirst != '#') {
      strOut += CString(pchFirst, long(pch + ctLine - pchFirst));
      strOut += "\n";
      bCode = true;
    }
    pch += ctLine;
    if (*pch == '\n') pch++;
  }
  if (!bCode) return CString();
  return strOut;
}

CWindow *gfxGetWindowCanvasWindow(CWindowCanvas *pwc)
{
  return pwc != nullptr ? pwc->wc_pwnd : nullptr;
}

long gfxGetTextureCanvasHandle(CTextureCanvas *ptc)
{
  return ptc != nullptr ? ptc->tc_hTexture : 0;
}

void gfxLoadBackend_t(const char *strLibrary)
{
  gfxUnloadBackend();
  CDynamicLoader *pdl = new CDynamicLoader;
  try {
    // "$" + a bare name: the system's search finds the library beside the program.
    CString strPath = CString("$") + strLibrary;
    pdl->Open_t(strPath.str_String);
    void (*pStartupAPI)(void) = pdl->GetFunction_t<void (*)(void)>("gfxStartupAPI");
    pStartupAPI();
  } catch (...) {
    delete pdl;
    throw;
  }
  _pdlBackend = pdl;
}

void gfxUnloadBackend(void)
{
  if (_gfxShutdown != nullptr) _gfxShutdown();
#define GFX_CLEAR_SLOT(name, result, args) name = nullptr;
  GFX_SLOTS(GFX_CLEAR_SLOT)
#undef GFX_CLEAR_SLOT
  delete _pdlBackend;
  _pdlBackend = nullptr;
}

void gfxResetEngineState(void)
{
  d3d_iRenderingDevice = 0;
  d3d_bReferenceRasterizer = 0;
  d3d_bNoHardwareVertexProcessing = 0;
  gfx_iAntiAliasing = 0;
  gfx_iWaitVSyncs = 0;
  _gfx_f1oMaxAllowedFPS = 0.0f;
  _gfx_bScissor = 0;
  _gfx_iScissorLeft = _gfx_iScissorTop = _gfx_iScissorWidth = _gfx_iScissorHeight = 0;
  gfx_bNoAlphaTesting = 0;
  gfx_bNoAlphaBlending = 0;
  _gfx_pdpCurrent = nullptr;
  _gfx_ppnGfxAPI = nullptr;
  d3d_ctCommonVertexBuffers = 4;
  d3d_iCommonVertexBuffersSize = 1024;
  gfx_bOutputGPUPrograms = 0;
  gfx_bNoStaticGeometry = 0;
  gfx_ctTriangles = gfx_ctVertices = 0;
  _gfx_uqCurrentVertexProgramInputMask = _gfx_uqLastVertexProgramInputMask = 0;
  memset(_gfx_avbVertexBuffers, 0, sizeof(_gfx_avbVertexBuffers));
  _gfx_hCurrentVertexProgram = _gfx_hCurrentPixelProgram = 0;
  _ctErrors = 0;
  _achLastError[0] = 0;
}

} // namespace QuennelEngine
