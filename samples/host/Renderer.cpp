#include "Renderer.h"

#include <math.h>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include <stb_image_write.h>

namespace QuennelEngine {

namespace {

// Row-major 4x4 matrices acting on column vectors: the rows go to the program's c0..c3 as they
// are, each dp4 taking one.
void Multiply(const float a[16], const float b[16], float afOut[16])
{
  float af[16];
  for (int r = 0; r < 4; r++) {
    for (int c = 0; c < 4; c++) {
      af[r * 4 + c] = 0;
      for (int k = 0; k < 4; k++) af[r * 4 + c] += a[r * 4 + k] * b[k * 4 + c];
    }
  }
  for (int i = 0; i < 16; i++) afOut[i] = af[i];
}

void Normalize(float v[3])
{
  float f = sqrtf(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
  if (f > 0) v[0] /= f, v[1] /= f, v[2] /= f;
}

void Cross(const float a[3], const float b[3], float afOut[3])
{
  afOut[0] = a[1] * b[2] - a[2] * b[1];
  afOut[1] = a[2] * b[0] - a[0] * b[2];
  afOut[2] = a[0] * b[1] - a[1] * b[0];
}

// Turning about the vertical axis.
void RotationY(float fRadians, float afOut[16])
{
  float c = cosf(fRadians), s = sinf(fRadians);
  const float af[16] = {c, 0, s, 0, 0, 1, 0, 0, -s, 0, c, 0, 0, 0, 0, 1};
  for (int i = 0; i < 16; i++) afOut[i] = af[i];
}

const float _fPi = 3.14159265f;

struct PngSink {
  CStream *ps_pstrm;
  bool ps_bFailed;
};

void WritePngBytes(void *pvContext, void *pvData, int ctBytes)
{
  PngSink *pps = (PngSink *)pvContext;
  try {
    pps->ps_pstrm->Write_t(pvData, ctBytes);
  } catch (CException &) {
    pps->ps_bFailed = true;
  }
}

} // namespace

void CSampleRenderer::Start_t(const char *strBackend, long iWidth, long iHeight)
{
  wndStartWindowSystemService();
  sr_pwnd =
      wndCreateWorkbench("QuennelEngine sample", CTRect(0, 0, iWidth, iHeight), 0, WPL_CLIENT);
  wndShowWindow(sr_pwnd);
  gfxLoadBackend_t(strBackend);
  sr_bStarted = true;
  long iW = 0, iH = 0;
  _gfxStartup_t(iW, iH, 32, 24, 0);
  CTRect rc = wndGetWindowClientRect(sr_pwnd);
  sr_iWidth = rc.Width();
  sr_iHeight = rc.Height();
  sr_wc.wc_pwnd = sr_pwnd;
  sr_wc.cv_pcaAPI = _gfxNewWindowCanvas(sr_pwnd, GCF_SHAREDDEPTH);
  if (sr_wc.cv_pcaAPI == nullptr) ThrowF_t("no canvas for the window");
  sr_dp.dp_pcv = &sr_wc;
  sr_dp.dp_iWidth = sr_iWidth;
  sr_dp.dp_iHeight = sr_iHeight;
}

void CSampleRenderer::Upload(CSampleScene *pss)
{
  for (long i = 0; i < pss->ss_apmeshMeshes.Count(); i++) {
    CSampleMesh *psm = CastContent<CSampleMesh>(pss->ss_apmeshMeshes[i]);
    CSampleMaterial *pmat =
        psm != nullptr ? CastContent<CSampleMaterial>(psm->sm_pmatMaterial) : nullptr;
    if (pmat == nullptr || sr_hVertexProgram != 0) continue; // one material is drawn
    sr_hVertexProgram = _gfxCreateProgram(pmat->sm_strVertexProgram, 1);
    sr_hPixelProgram = _gfxCreateProgram(pmat->sm_strPixelProgram, 0);
    CSampleTexture *pst = CastContent<CSampleTexture>(pmat->sm_ptexTexture);
    if (pst == nullptr || pst->st_aulPixels.Count() != pst->st_iWidth * pst->st_iHeight) continue;
    sr_hTexture = _gfxCreateTexture(pst->st_iWidth, pst->st_iHeight, 1, 0, GCF_ARGB8);
    if (sr_hTexture != 0) {
      _gfxUploadTexture(sr_hTexture, (const unsigned char *)&pst->st_aulPixels[0], GCF_ARGB8, 0, 0,
                        0, 0);
    }
  }
  conInfo("  programs %1 and %2, texture %3\n", sr_hVertexProgram, sr_hPixelProgram, sr_hTexture);
}

void CSampleRenderer::ViewProjection(CSampleCamera *psc, float afOut[16])
{
  // A left-handed look-at: z runs from the eye to the target, depth 0 to 1.
  float vEye[3] = {psc->sc_vPosition.x, psc->sc_vPosition.y, psc->sc_vPosition.z};
  float vZ[3] = {psc->sc_vTarget.x - vEye[0], psc->sc_vTarget.y - vEye[1],
                 psc->sc_vTarget.z - vEye[2]};
  Normalize(vZ);
  const float vUp[3] = {0, 1, 0};
  float vX[3], vY[3];
  Cross(vUp, vZ, vX);
  Normalize(vX);
  Cross(vZ, vX, vY);
  const float afView[16] = {
      vX[0], vX[1], vX[2], -(vX[0] * vEye[0] + vX[1] * vEye[1] + vX[2] * vEye[2]),
      vY[0], vY[1], vY[2], -(vY[0] * vEye[0] + vY[1] * vEye[1] + vY[2] * vEye[2]),
      vZ[0], vZ[1], vZ[2], -(vZ[0] * vEye[0] + vZ[1] * vEye[1] + vZ[2] * vEye[2]),
      0,     0,     0,     1};
  float fNear = 0.1f, fFar = 100.0f;
  float fY = 1.0f / tanf(psc->sc_fFieldOfView * _fPi / 360.0f);
  float fX = fY * sr_iHeight / (float)(sr_iWidth > 0 ? sr_iWidth : 1);
  float fQ = fFar / (fFar - fNear);
  const float afProjection[16] = {fX, 0, 0, 0, 0, fY, 0, 0, 0, 0, fQ, -fQ * fNear, 0, 0, 1, 0};
  Multiply(afProjection, afView, afOut);
}

void CSampleRenderer::ProjectOrigin(CSampleScene *pss, long &iX, long &iY)
{
  iX = sr_iWidth / 2;
  iY = sr_iHeight / 2;
  CSampleCamera *psc = CastContent<CSampleCamera>(pss->ss_pcamCamera);
  if (psc == nullptr) return;
  float af[16];
  ViewProjection(psc, af);
  if (af[15] <= 0) return;
  iX = (long)((af[3] / af[15] * 0.5f + 0.5f) * sr_iWidth);
  iY = (long)((0.5f - af[7] / af[15] * 0.5f) * sr_iHeight);
}

void CSampleRenderer::DrawFrame(CSampleScene *pss, long iFrame)
{
  CProfileSample ps("Draw");
  // Each present closes the scene: the target opens it again.
  _gfxCurrentRenderTarget(&sr_wc, -1);
  _gfx_pdpCurrent = &sr_dp;
  _gfxCurrentRenderArea(&sr_dp);
  _gfxClear((GfxTarget)(GTA_COLOR | GTA_DEPTH), 0xFF000000UL | (unsigned long)pss->ss_ulClearColor,
            1.0f, 0);
  CSampleCamera *psc = CastContent<CSampleCamera>(pss->ss_pcamCamera);
  if (psc != nullptr) {
    _gfxEnableDepthBuffer();
    _gfxEnableDepthWrite();
    _gfxCullFace(GFF_NONE);
    _gfxDisableBlend();
    float afViewProjection[16], afModel[16], afAll[16];
    float fAngle = iFrame * pss->ss_fDegreesPerFrame * _fPi / 180.0f;
    ViewProjection(psc, afViewProjection);
    RotationY(fAngle, afModel);
    Multiply(afViewProjection, afModel, afAll);
    // The light is fixed in the world: into the mesh's space by the inverse turn.
    float vLight[3] = {-0.4f, 0.8f, -0.6f};
    Normalize(vLight);
    float c = cosf(fAngle), s = sinf(fAngle);
    const float afLight[8] = {c * vLight[0] - s * vLight[2],
                              vLight[1],
                              s * vLight[0] + c * vLight[2],
                              0,
                              0.25f,
                              0.0f,
                              0,
                              0};
    _gfxBindVertexProgram(sr_hVertexProgram);
    _gfxBindPixelProgram(sr_hPixelProgram);
    _gfxVertexProgramConstants(0, 4, afAll);
    _gfxVertexProgramConstants(4, 2, afLight);
    _gfxBindTexture(0, sr_hTexture);
    for (long i = 0; i < pss->ss_apmeshMeshes.Count(); i++) {
      CSampleMesh *psm = CastContent<CSampleMesh>(pss->ss_apmeshMeshes[i]);
      long ctVertices = psm != nullptr ? psm->VertexCount() : 0;
      if (ctVertices == 0 || psm->sm_afTexCoords.Count() != 2 * ctVertices ||
          psm->sm_afNormals.Count() != 3 * ctVertices || psm->sm_aiIndices.Count() < 3) {
        continue;
      }
      _gfxBindVertexArray(0, &psm->sm_afPositions[0], GUT_FLOAT3, ctVertices * 12, 0);
      _gfxBindVertexArray(1, &psm->sm_afTexCoords[0], GUT_FLOAT2, ctVertices * 8, 0);
      _gfxBindVertexArray(2, &psm->sm_afNormals[0], GUT_FLOAT3, ctVertices * 12, 0);
      _gfxIndexArray(&psm->sm_aiIndices[0], psm->sm_aiIndices.Count(), GUT_INDEX32);
      _gfxDrawIndices(GPR_TRIANGLES, psm->sm_aiIndices.Count() / 3, ctVertices, 0);
      _gfxUnbindVertexBuffers();
    }
  }
}

void CSampleRenderer::Present(void)
{
  _gfxPresent(&sr_wc, 0);
}

bool CSampleRenderer::WriteScreenshot(const char *strFileName)
{
  unsigned long *pul = _gfxGrabCurrentRenderTarget(Box2l(0, 0, sr_iWidth - 1, sr_iHeight - 1), -1);
  if (pul == nullptr) return false;
  long ctPixels = sr_iWidth * sr_iHeight;
  unsigned char *pub = (unsigned char *)memMAlloc(ctPixels * 3);
  for (long i = 0; i < ctPixels; i++) {
    pub[i * 3 + 0] = (unsigned char)(pul[i] >> 16);
    pub[i * 3 + 1] = (unsigned char)(pul[i] >> 8);
    pub[i * 3 + 2] = (unsigned char)pul[i];
  }
  memFree(pul);
  CStream strm;
  PngSink sink = {&strm, false};
  bool bWritten = false;
  try {
    strm.OpenFile_t(strFileName, "w");
    bWritten = stbi_write_png_to_func(WritePngBytes, &sink, sr_iWidth, sr_iHeight, 3, pub,
                                      sr_iWidth * 3) != 0;
    strm.Close();
  } catch (CException &ex) {
    conWarning("  the screenshot could not be written: %1\n", ex.GetDescription());
  }
  memFree(pub);
  return bWritten && !sink.ps_bFailed;
}

void CSampleRenderer::Stop(void)
{
  if (!sr_bStarted) return;
  sr_bStarted = false;
  if (sr_hTexture != 0) _gfxDeleteTexture(sr_hTexture);
  sr_hTexture = 0;
  for (long h : {sr_hVertexProgram, sr_hPixelProgram}) {
    if (h > 0 && h <= _gfx_ctPrograms)
      _gfxReleaseProgram(_gfx_avppPrograms[h - 1], h == sr_hVertexProgram);
  }
  sr_hVertexProgram = sr_hPixelProgram = 0;
  _gfx_pdpCurrent = nullptr;
  if (sr_wc.cv_pcaAPI != nullptr) _gfxReleaseCanvas(&sr_wc);
  sr_wc.cv_pcaAPI = nullptr;
  gfxUnloadBackend();
  if (sr_pwnd != nullptr) wndDeleteWindow(sr_pwnd);
  sr_pwnd = nullptr;
}

} // namespace QuennelEngine
