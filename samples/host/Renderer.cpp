#include "Renderer.h"

#include <algorithm>
#include <math.h>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include <stb_image_write.h>

namespace QuennelEngine {

namespace {

const float _fPi = 3.14159265f;
// The camera: its vertical field of view, and the direction from the scene's centre to it (in
// front, to the right and above).
const float _fFieldOfView = 40.0f * _fPi / 180.0f;
const Vector3f _vCameraDirection(0.55f, 0.45f, 1.0f);
// The light, fixed in the scene: towards it, and the share every face gets without it.
const Vector3f _vLightDirection(-0.5f, 0.8f, 0.6f);
const float _fAmbient = 0.3f;

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

// A matrix's rows as the constant registers take them: four floats each, the missing ones 0.
void PutRows(const Matrix33f &m, float *pf)
{
  for (int iRow = 0; iRow < 3; iRow++, pf += 4) {
    pf[0] = m(iRow, 0), pf[1] = m(iRow, 1), pf[2] = m(iRow, 2), pf[3] = 0.0f;
  }
}

bool IsFinite(const Vector4f &v)
{
  return mthIsFiniteF(v.x) && mthIsFiniteF(v.y) && mthIsFiniteF(v.z) && mthIsFiniteF(v.w);
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

long CSampleRenderer::ProgramOf(CSampleProgram *pprg)
{
  for (long i = 0; i < sr_aPrograms.Count(); i++) {
    if (sr_aPrograms[i].p_pprg == pprg) return sr_aPrograms[i].p_hVertex != 0 ? i : -1;
  }
  Program &p = sr_aPrograms.Push();
  p.p_pprg = pprg;
  p.p_hVertex = _gfxCreateProgram(pprg->sp_strVertexProgram, 1);
  p.p_hPixel = _gfxCreateProgram(pprg->sp_strPixelProgram, 0);
  if (p.p_hVertex == 0 || p.p_hPixel == 0) {
    conWarning("  program '%1' does not build: its meshes are skipped\n",
               (const char *)pprg->GetName());
    p.p_hVertex = 0;
    return -1;
  }
  return sr_aPrograms.Count() - 1;
}

long CSampleRenderer::TextureOf(CSampleTexture *ptex)
{
  if (ptex == nullptr) return sr_hWhite;
  for (long i = 0; i < sr_aTextures.Count(); i++) {
    if (sr_aTextures[i].t_ptex == ptex) return sr_aTextures[i].t_hTexture;
  }
  Texture &t = sr_aTextures.Push();
  t.t_ptex = ptex;
  t.t_hTexture = sr_hWhite;
  const CString strWhy = ptex->CheckUsable();
  if (!strWhy.IsEmpty()) {
    conWarning("  texture '%1' is drawn white: %2\n", (const char *)ptex->GetName(), strWhy);
    return sr_hWhite;
  }
  const long h = _gfxCreateTexture(ptex->st_iWidth, ptex->st_iHeight, 1, 0, GCF_ARGB8);
  if (h != 0) {
    _gfxUploadTexture(h, (const unsigned char *)&ptex->st_aulPixels[0], GCF_ARGB8, 0, 0, 0, 0);
    t.t_hTexture = h;
  }
  return t.t_hTexture;
}

void CSampleRenderer::CollectNode(CSampleNode *pnod, const Matrix34f &m, void *pvRenderer)
{
  CSampleRenderer *psr = (CSampleRenderer *)pvRenderer;
  for (long i = 0; i < pnod->sn_apmeshMeshes.Count(); i++) {
    CSampleMesh *psm = CastContent<CSampleMesh>(pnod->sn_apmeshMeshes[i]);
    if (psm != nullptr) {
      psr->AddMesh(psm, m);
    } else if (pnod->sn_apmeshMeshes[i] != nullptr) {
      conWarning("  node '%1' refers to a mesh that is none: skipped\n",
                 (const char *)pnod->GetName());
      psr->sr_ctSkipped++;
    }
  }
}

void CSampleRenderer::AddMesh(CSampleMesh *psm, const Matrix34f &m)
{
  // Each mesh is checked once, however many nodes draw it.
  for (long i = 0; i < sr_apsmRefused.Count(); i++) {
    if (sr_apsmRefused[i] == psm) {
      sr_ctSkipped++;
      return;
    }
  }
  bool bChecked = false;
  for (long i = 0; i < sr_apsmChecked.Count() && !bChecked; i++)
    bChecked = sr_apsmChecked[i] == psm;
  CString strWhy;
  if (!bChecked) {
    strWhy = psm->CheckDrawable();
    if (strWhy.IsEmpty() && psm->VertexCount() > 65535 && !(gfx_ulFlags & GLF_32BITINDICES)) {
      strWhy = "the device has no 32-bit indices";
    }
  }
  CSampleMaterial *pmat = CastContent<CSampleMaterial>(psm->sm_pmatMaterial);
  CSampleProgram *pprg =
      pmat != nullptr ? CastContent<CSampleProgram>(pmat->sm_pprgProgram) : nullptr;
  if (strWhy.IsEmpty() && pprg == nullptr) strWhy = "it has no material with a program";
  const long iProgram = strWhy.IsEmpty() ? ProgramOf(pprg) : -1;
  if (strWhy.IsEmpty() && iProgram < 0) strWhy = "its program does not build";
  Matrix33f mInverse;
  const bool bPlaced = mthIsFiniteM34f(m) && mthInvertM33f(mInverse, Matrix33f(m)) != 0;
  if (!strWhy.IsEmpty()) {
    conWarning("  mesh '%1' skipped: %2\n", (const char *)psm->GetName(), strWhy);
    sr_apsmRefused.Push() = psm;
    sr_ctSkipped++;
    return;
  }
  if (!bChecked) sr_apsmChecked.Push() = psm;
  if (!bPlaced) {
    conWarning("  mesh '%1' skipped under a node whose transform cannot be inverted\n",
               (const char *)psm->GetName());
    sr_ctSkipped++;
    return;
  }
  DrawItem &di = sr_aItems.Push();
  di.di_psm = psm;
  di.di_mWorld = m;
  di.di_mNormal = mthTranspose(mInverse);
  di.di_iProgram = iProgram;
  CSampleTexture *ptex = CastContent<CSampleTexture>(pmat->sm_ptexBaseColor);
  if (ptex == nullptr && pmat->sm_ptexBaseColor != nullptr) {
    conWarning("  material '%1' refers to a texture that is none: drawn white\n",
               (const char *)pmat->GetName());
  }
  di.di_hTexture = TextureOf(ptex);
  di.di_vColor = IsFinite(pmat->sm_vBaseColor) ? pmat->sm_vBaseColor : Vector4f(1, 1, 1, 1);
  // A mirroring transform turns the faces' winding over: such meshes are drawn from both sides.
  di.di_bCull = !pmat->sm_bDoubleSided && mthDeterminant(Matrix33f(m)) > 0;
  sr_boxScene |= mthTransformBoxM34f(psm->GetBounds(), m);
}

void CSampleRenderer::PlaceCamera(void)
{
  Vector3f vHalf(1.0f, 1.0f, 1.0f);
  sr_vCentre = Vector3f(0.0f, 0.0f, 0.0f);
  if (!sr_boxScene.IsEmpty()) {
    sr_vCentre = (sr_boxScene.vMin + sr_boxScene.vMax) * 0.5f;
    vHalf = (sr_boxScene.vMax - sr_boxScene.vMin) * 0.5f;
  }
  // The sphere around the box stays in view however the scene turns.
  float fRadius = mthLength(vHalf);
  if (!(fRadius > 1e-6f)) fRadius = 1.0f;
  const float fAspect = sr_iHeight > 0 ? (float)sr_iWidth / sr_iHeight : 1.0f;
  const float fHorizontal = 2.0f * atanf(tanf(_fFieldOfView * 0.5f) * fAspect);
  const float fNarrowest = fHorizontal < _fFieldOfView ? fHorizontal : _fFieldOfView;
  const float fDistance = 1.02f * fRadius / sinf(fNarrowest * 0.5f);
  // Right-handed: the camera looks down its -z, so its z axis points from the centre to it.
  const Vector3f vZ = mthNormalize(_vCameraDirection);
  const Vector3f vEye = sr_vCentre + vZ * fDistance;
  const Vector3f vX = mthNormalize(mthCross(Vector3f(0.0f, 1.0f, 0.0f), vZ));
  const Vector3f vY = mthCross(vZ, vX);
  const Matrix34f mView(vX.x, vX.y, vX.z, -mthDot(vX, vEye), vY.x, vY.y, vY.z, -mthDot(vY, vEye),
                        vZ.x, vZ.y, vZ.z, -mthDot(vZ, vEye));
  float fNear = fDistance - 1.5f * fRadius;
  if (fNear < 0.01f * fDistance) fNear = 0.01f * fDistance;
  const float fFar = fDistance + 1.5f * fRadius;
  sr_mViewProjection = mthFrustumFOVY(_fFieldOfView, fAspect, fNear, fFar) * Matrix44f(mView);
}

void CSampleRenderer::Upload(CSampleScene *pss)
{
  static const long ulWhite = (long)0xFFFFFFFFUL;
  sr_hWhite = _gfxCreateTexture(1, 1, 1, 0, GCF_ARGB8);
  if (sr_hWhite != 0) {
    _gfxUploadTexture(sr_hWhite, (const unsigned char *)&ulWhite, GCF_ARGB8, 0, 0, 0, 0);
  }
  const long ctRefused = VisitNodes(pss, CollectNode, this);
  if (ctRefused > 0) {
    conWarning("  %1 node reference(s) not followed: no node, or nested deeper than %2\n",
               ctRefused, SCN_MAXDEPTH);
    sr_ctSkipped += ctRefused;
  }
  // Fewer state changes: the draws by program, then by texture.
  if (sr_aItems.Count() > 1) {
    std::stable_sort(&sr_aItems[0], &sr_aItems[0] + sr_aItems.Count(),
                     [](const DrawItem &a, const DrawItem &b) {
                       return a.di_iProgram != b.di_iProgram ? a.di_iProgram < b.di_iProgram
                                                             : a.di_hTexture < b.di_hTexture;
                     });
  }
  PlaceCamera();
  long ctPrograms = 0;
  for (long i = 0; i < sr_aPrograms.Count(); i++) ctPrograms += sr_aPrograms[i].p_hVertex != 0;
  conInfo("  %1 program(s), %2 texture(s), %3 mesh draw(s), %4 skipped\n", ctPrograms,
          sr_aTextures.Count(), sr_aItems.Count(), sr_ctSkipped);
}

void CSampleRenderer::ProjectCentre(long &iX, long &iY)
{
  iX = sr_iWidth / 2;
  iY = sr_iHeight / 2;
  Vector3f v2D;
  if (mthProject3DPointTo2DSpace(v2D, sr_vCentre, sr_mViewProjection,
                                 Box2l(0, 0, sr_iWidth - 1, sr_iHeight - 1))) {
    iX = (long)v2D.x;
    iY = (long)v2D.y;
  }
}

void CSampleRenderer::DrawFrame(CSampleScene *pss, long iFrame)
{
  CProfileSample ps("Draw");
  sr_ctDrawCalls = 0;
  sr_ctStateChanges = 0;
  // Each present closes the scene: the target opens it again.
  _gfxCurrentRenderTarget(&sr_wc, -1);
  _gfx_pdpCurrent = &sr_dp;
  _gfxCurrentRenderArea(&sr_dp);
  _gfxClear((GfxTarget)(GTA_COLOR | GTA_DEPTH), 0xFF000000UL | (unsigned long)pss->ss_ulClearColor,
            1.0f, 0);
  if (sr_aItems.Count() == 0) return;
  _gfxEnableDepthBuffer();
  _gfxEnableDepthWrite();
  _gfxDisableBlend();
  // The turn about the vertical axis through the centre; the light stays where it is.
  const float fAngle = iFrame * pss->ss_fDegreesPerFrame * _fPi / 180.0f;
  const Matrix33f mTurn = mthAxisAngleToMatrix(Vector4f(0.0f, 1.0f, 0.0f, fAngle));
  const Matrix34f mTurnAbout(mTurn, sr_vCentre - mTurn * sr_vCentre);
  const Vector3f vLight = mthNormalize(_vLightDirection);
  const float afLight[8] = {vLight.x, vLight.y, vLight.z, 0, _fAmbient, 0.0f, 1e-20f, 0};
  _gfxVertexProgramConstants(7, 2, afLight);
  long iProgram = -1, hTexture = -1, iCull = -1;
  for (long i = 0; i < sr_aItems.Count(); i++) {
    const DrawItem &di = sr_aItems[i];
    if (di.di_iProgram != iProgram) {
      iProgram = di.di_iProgram;
      _gfxBindVertexProgram(sr_aPrograms[iProgram].p_hVertex);
      _gfxBindPixelProgram(sr_aPrograms[iProgram].p_hPixel);
      sr_ctStateChanges += 2;
    }
    if (di.di_hTexture != hTexture) {
      hTexture = di.di_hTexture;
      _gfxBindTexture(0, hTexture);
      sr_ctStateChanges++;
    }
    if ((long)di.di_bCull != iCull) {
      iCull = di.di_bCull;
      _gfxCullFace(di.di_bCull ? GFF_BACK : GFF_NONE);
      sr_ctStateChanges++;
    }
    const Matrix44f mAll = sr_mViewProjection * Matrix44f(mTurnAbout * di.di_mWorld);
    float afConstants[28];
    memcpy(afConstants, &mAll.m[0][0], 16 * sizeof(float));
    PutRows(mTurn * di.di_mNormal, afConstants + 16);
    _gfxVertexProgramConstants(0, 7, afConstants);
    _gfxPixelProgramConstants(0, 1, &di.di_vColor.x);
    CSampleMesh *psm = di.di_psm;
    const long ctVertices = psm->VertexCount();
    _gfxBindVertexArray(0, &psm->sm_afPositions[0], GUT_FLOAT3, ctVertices * 12, 0);
    _gfxBindVertexArray(1, &psm->sm_afTexCoords[0], GUT_FLOAT2, ctVertices * 8, 0);
    _gfxBindVertexArray(2, &psm->sm_afNormals[0], GUT_FLOAT3, ctVertices * 12, 0);
    _gfxIndexArray(&psm->sm_aiIndices[0], psm->sm_aiIndices.Count(), GUT_INDEX32);
    _gfxDrawIndices(GPR_TRIANGLES, psm->sm_aiIndices.Count() / 3, ctVertices, 0);
    _gfxUnbindVertexBuffers();
    sr_ctDrawCalls++;
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
  for (long i = 0; i < sr_aTextures.Count(); i++) {
    if (sr_aTextures[i].t_hTexture != sr_hWhite) _gfxDeleteTexture(sr_aTextures[i].t_hTexture);
  }
  if (sr_hWhite != 0) _gfxDeleteTexture(sr_hWhite);
  sr_hWhite = 0;
  for (long i = 0; i < sr_aPrograms.Count(); i++) {
    const Program &p = sr_aPrograms[i];
    for (long h : {p.p_hVertex, p.p_hPixel}) {
      if (h > 0 && h <= _gfx_ctPrograms)
        _gfxReleaseProgram(_gfx_avppPrograms[h - 1], h == p.p_hVertex);
    }
  }
  sr_aTextures.PopAll();
  sr_aPrograms.PopAll();
  sr_aItems.PopAll();
  _gfx_pdpCurrent = nullptr;
  if (sr_wc.cv_pcaAPI != nullptr) _gfxReleaseCanvas(&sr_wc);
  sr_wc.cv_pcaAPI = nullptr;
  gfxUnloadBackend();
  if (sr_pwnd != nullptr) wndDeleteWindow(sr_pwnd);
  sr_pwnd = nullptr;
}

} // namespace QuennelEngine
