#include "Content.h"

namespace QuennelEngine {

MD_CLASS_BEGIN(CSampleTexture, CResource, 1)
MD_MEMBER(st_iWidth, 0, "Width")
MD_MEMBER(st_iHeight, 0, "Height")
MD_MEMBER(st_aulPixels, 0, "Pixels")
MD_CLASS_END()

MD_CLASS_BEGIN(CSampleMaterial, CResource, 1)
MD_MEMBER(sm_strVertexProgram, 0, "Vertex program")
MD_MEMBER(sm_strPixelProgram, 0, "Pixel program")
MD_MEMBER(sm_ptexTexture, 0, "Texture")
MD_CLASS_END()

MD_CLASS_BEGIN(CSampleMesh, CResource, 1)
MD_MEMBER(sm_afPositions, 0, "Positions")
MD_MEMBER(sm_afTexCoords, 0, "Texture coordinates")
MD_MEMBER(sm_afNormals, 0, "Normals")
MD_MEMBER(sm_aiIndices, 0, "Indices")
MD_MEMBER(sm_pmatMaterial, 0, "Material")
MD_CLASS_END()

MD_CLASS_BEGIN(CSampleCamera, CResource, 1)
MD_MEMBER(sc_vPosition, 0, "Position")
MD_MEMBER(sc_vTarget, 0, "Target")
MD_MEMBER(sc_fFieldOfView, 0, "Field of view")
MD_CLASS_END()

MD_CLASS_BEGIN(CSampleScene, CResource, 1)
MD_MEMBER(ss_strTitle, 0, "Title")
MD_MEMBER(ss_ulClearColor, 0, "Clear colour")
MD_MEMBER(ss_fDegreesPerFrame, 0, "Degrees per frame")
MD_MEMBER(ss_pcamCamera, 0, "Camera")
MD_MEMBER(ss_apmeshMeshes, 0, "Meshes")
MD_CLASS_END()

namespace {

// A checkerboard of two warm colours, 8 by 8 cells of 4 pixels.
CSampleTexture *MakeChecker(void)
{
  CSampleTexture *pst = new CSampleTexture;
  pst->SetName("Checker");
  pst->st_iWidth = pst->st_iHeight = 32;
  for (long y = 0; y < 32; y++) {
    for (long x = 0; x < 32; x++) {
      pst->st_aulPixels.Push() = ((x / 4 + y / 4) & 1) != 0 ? 0xFFE0A020L : 0xFF902010L;
    }
  }
  return pst;
}

// A unit cube: four vertices a face so each face has its own normal and texture corners.
CSampleMesh *MakeCube(void)
{
  static const float afNormals[6][3] = {{1, 0, 0},  {-1, 0, 0}, {0, 1, 0},
                                        {0, -1, 0}, {0, 0, 1},  {0, 0, -1}};
  CSampleMesh *psm = new CSampleMesh;
  psm->SetName("Cube");
  for (int iFace = 0; iFace < 6; iFace++) {
    const float *n = afNormals[iFace];
    // Two axes across the face, chosen so the corners run clockwise seen from outside.
    float u[3] = {n[1] + n[2], 0, n[0]};
    if (n[1] != 0) u[0] = 1, u[2] = 0;
    float v[3] = {n[1] * u[2] - n[2] * u[1], n[2] * u[0] - n[0] * u[2], n[0] * u[1] - n[1] * u[0]};
    long iBase = psm->VertexCount();
    static const float afCorner[4][2] = {{-1, -1}, {-1, 1}, {1, 1}, {1, -1}};
    for (int c = 0; c < 4; c++) {
      for (int k = 0; k < 3; k++) {
        psm->sm_afPositions.Push() = 0.5f * (n[k] + afCorner[c][0] * u[k] + afCorner[c][1] * v[k]);
        psm->sm_afNormals.Push() = n[k];
      }
      psm->sm_afTexCoords.Push() = 0.5f + 0.5f * afCorner[c][0];
      psm->sm_afTexCoords.Push() = 0.5f - 0.5f * afCorner[c][1];
    }
    static const long aiQuad[6] = {0, 1, 2, 0, 2, 3};
    for (long i : aiQuad) psm->sm_aiIndices.Push() = iBase + i;
  }
  return psm;
}

} // namespace

CResourceFile *MakeSampleScene(const char *strFileName, const char *strTextureFile,
                               const char *strVertexProgram, const char *strPixelProgram,
                               CResourceFile *&prfTextures)
{
  prfTextures = new CResourceFile;
  prfTextures->SetFileName(strTextureFile);
  CResourceFile *prf = new CResourceFile;
  prf->SetFileName(strFileName);
  CSampleScene *pss = new CSampleScene;
  prf->RegisterResource(pss);
  pss->ss_strTitle = "A turning cube";
  CSampleTexture *pst = MakeChecker();
  prfTextures->RegisterResource(pst);
  prfTextures->SetDefaultResource(pst);
  CSampleMaterial *psmat = new CSampleMaterial;
  prf->RegisterResource(psmat);
  psmat->SetName("Checkered");
  psmat->sm_strVertexProgram = strVertexProgram;
  psmat->sm_strPixelProgram = strPixelProgram;
  psmat->sm_ptexTexture = pst;
  CSampleMesh *psm = MakeCube();
  prf->RegisterResource(psm);
  psm->sm_pmatMaterial = psmat;
  CSampleCamera *psc = new CSampleCamera;
  prf->RegisterResource(psc);
  psc->sc_vPosition = Vector3f(0.0f, 1.2f, -2.6f);
  pss->ss_pcamCamera = psc;
  pss->ss_apmeshMeshes.Push() = psm;
  prf->SetDefaultResource(pss);
  return prf;
}

} // namespace QuennelEngine
