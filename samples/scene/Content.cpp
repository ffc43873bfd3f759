#include "Content.h"

namespace QuennelEngine {

MD_CLASS_BEGIN(CSampleTexture, CResource, 1)
MD_MEMBER(st_iWidth, 0, "Width")
MD_MEMBER(st_iHeight, 0, "Height")
MD_MEMBER(st_aulPixels, 0, "Pixels")
MD_CLASS_END()

MD_CLASS_BEGIN(CSampleProgram, CResource, 1)
MD_MEMBER(sp_strVertexProgram, 0, "Vertex program")
MD_MEMBER(sp_strPixelProgram, 0, "Pixel program")
MD_CLASS_END()

MD_CLASS_BEGIN(CSampleMaterial, CResource, 2)
MD_MEMBER(sm_pprgProgram, 0, "Program")
MD_MEMBER(sm_ptexBaseColor, 0, "Base colour texture")
MD_MEMBER(sm_vBaseColor, 0, "Base colour")
MD_MEMBER(sm_bDoubleSided, 0, "Double sided")
MD_CLASS_END()

MD_CLASS_BEGIN(CSampleMesh, CResource, 1)
MD_MEMBER(sm_afPositions, 0, "Positions")
MD_MEMBER(sm_afTexCoords, 0, "Texture coordinates")
MD_MEMBER(sm_afNormals, 0, "Normals")
MD_MEMBER(sm_aiIndices, 0, "Indices")
MD_MEMBER(sm_pmatMaterial, 0, "Material")
MD_CLASS_END()

MD_CLASS_BEGIN(CSampleCamera, CResource, 2)
MD_MEMBER(sc_bOrthographic, 0, "Orthographic")
MD_MEMBER(sc_fFieldOfView, 0, "Field of view")
MD_MEMBER(sc_fAspect, 0, "Aspect")
MD_MEMBER(sc_fNear, 0, "Near")
MD_MEMBER(sc_fFar, 0, "Far")
MD_MEMBER(sc_vMagnification, 0, "Magnification")
MD_CLASS_END()

MD_CLASS_BEGIN(CSampleNode, CResource, 1)
MD_MEMBER(sn_mTransform, 0, "Transform")
MD_MEMBER(sn_apmeshMeshes, 0, "Meshes")
MD_MEMBER(sn_pcamCamera, 0, "Camera")
MD_MEMBER(sn_apnodChildren, 0, "Children")
MD_CLASS_END()

MD_CLASS_BEGIN(CSampleScene, CResource, 2)
MD_MEMBER(ss_strTitle, 0, "Title")
MD_MEMBER(ss_strSource, 0, "Source")
MD_MEMBER(ss_ulClearColor, 0, "Clear colour")
MD_MEMBER(ss_fDegreesPerFrame, 0, "Degrees per frame")
MD_MEMBER(ss_apnodNodes, 0, "Nodes")
MD_CLASS_END()

// Textures larger than this on a side are refused: no device of the backend's takes them.
static const long _iMaxTextureSize = 8192;

CString CSampleTexture::CheckUsable(void) const
{
  if (st_iWidth < 1 || st_iHeight < 1 || st_iWidth > _iMaxTextureSize ||
      st_iHeight > _iMaxTextureSize) {
    return strFormat("its size %1x%2 is outside 1..%3", st_iWidth, st_iHeight, _iMaxTextureSize);
  }
  if (st_aulPixels.Count() != st_iWidth * st_iHeight) {
    return strFormat("it has %1 pixels for %2x%3", st_aulPixels.Count(), st_iWidth, st_iHeight);
  }
  return CString();
}

CString CSampleMesh::CheckDrawable(void) const
{
  const long ctVertices = VertexCount();
  if (ctVertices == 0 || sm_afPositions.Count() != 3 * ctVertices) {
    return strFormat("%1 position floats are no whole vertices", sm_afPositions.Count());
  }
  if (sm_afTexCoords.Count() != 2 * ctVertices || sm_afNormals.Count() != 3 * ctVertices) {
    return strFormat("%1 vertices with %2 texture coordinate and %3 normal floats", ctVertices,
                     sm_afTexCoords.Count(), sm_afNormals.Count());
  }
  const long ctIndices = sm_aiIndices.Count();
  if (ctIndices == 0 || ctIndices % 3 != 0) {
    return strFormat("%1 indices are no whole triangles", ctIndices);
  }
  for (long i = 0; i < ctIndices; i++) {
    // (unsigned: a negative index is out of range too)
    if ((unsigned long)sm_aiIndices[i] >= (unsigned long)ctVertices) {
      return strFormat("index %1 is %2, outside its %3 vertices", i, sm_aiIndices[i], ctVertices);
    }
  }
  for (long i = 0; i < sm_afPositions.Count(); i++) {
    if (!mthIsFiniteF(sm_afPositions[i])) return strFormat("position float %1 is not finite", i);
  }
  return CString();
}

Box3f CSampleMesh::GetBounds(void) const
{
  Box3f box = Box3f::Empty();
  for (long i = 0; i + 2 < sm_afPositions.Count(); i += 3) {
    box |= Vector3f(sm_afPositions[i], sm_afPositions[i + 1], sm_afPositions[i + 2]);
  }
  return box;
}

namespace {

struct NodeWalk {
  void (*nw_pfnVisit)(CSampleNode *, const Matrix34f &, void *);
  void *nw_pvContext;
  long nw_ctVisits;
  long nw_ctRefused;
  CSampleNode *nw_apnodPath[SCN_MAXDEPTH]; // the node's ancestors
};

void Walk(NodeWalk &nw, const Ptr<CResource> &prs, const Matrix34f &mParent, long iDepth)
{
  if (prs == nullptr) return;
  CSampleNode *pnod = CastContent<CSampleNode>(prs);
  bool bFollow = pnod != nullptr && iDepth < SCN_MAXDEPTH && nw.nw_ctVisits < SCN_MAXVISITS;
  // A node among its own ancestors closes a cycle: the walk does not go round it.
  for (long i = 0; i < iDepth && bFollow; i++) bFollow = nw.nw_apnodPath[i] != pnod;
  if (!bFollow) {
    nw.nw_ctRefused++;
    return;
  }
  nw.nw_ctVisits++;
  nw.nw_apnodPath[iDepth] = pnod;
  const Matrix34f m = mParent * pnod->sn_mTransform;
  nw.nw_pfnVisit(pnod, m, nw.nw_pvContext);
  for (long i = 0; i < pnod->sn_apnodChildren.Count(); i++) {
    Walk(nw, pnod->sn_apnodChildren[i], m, iDepth + 1);
  }
}

} // namespace

long VisitNodes(CSampleScene *pss, void (*pfnVisit)(CSampleNode *, const Matrix34f &, void *),
                void *pvContext)
{
  if (pss == nullptr || pfnVisit == nullptr) return 0;
  NodeWalk nw = {pfnVisit, pvContext, 0, 0, {}};
  for (long i = 0; i < pss->ss_apnodNodes.Count(); i++) {
    Walk(nw, pss->ss_apnodNodes[i], mthIdentityM34f(), 0);
  }
  return nw.nw_ctRefused;
}

// The streams are declared by number: positions in 0, texture coordinates in 1, normals in 2.
// The normal is turned into the scene's space by the rows c4..c6 (the inverse transpose of the
// node's linear part) and made unit length again before it is lit; c8.z keeps a zero normal from
// dividing by zero.
static const char *const _strStandardVertexProgram =
    "# Transforms by the matrix in c0..c3 (rows), passes the texture coordinate on and lights by\n"
    "# the normal, turned by c4..c6, against the direction in c7 with the ambient term in c8.x.\n"
    "vs_1_1\n"
    "dcl_texcoord0 v0\n"
    "dcl_texcoord1 v1\n"
    "dcl_texcoord2 v2\n"
    "dp4 oPos.x, v0, c0\n"
    "dp4 oPos.y, v0, c1\n"
    "dp4 oPos.z, v0, c2\n"
    "dp4 oPos.w, v0, c3\n"
    "mov oT0.xy, v1\n"
    "dp3 r0.x, v2, c4\n"
    "dp3 r0.y, v2, c5\n"
    "dp3 r0.z, v2, c6\n"
    "dp3 r1.x, r0, r0\n"
    "add r1.x, r1.x, c8.z\n"
    "rsq r1.x, r1.x\n"
    "mul r0.xyz, r0, r1.x\n"
    "dp3 r1.x, r0, c7\n"
    "max r1.x, r1.x, c8.y\n"
    "add oD0, r1.x, c8.x\n";

static const char *const _strStandardPixelProgram = "# The texture times the vertex's light times "
                                                    "the base colour in c0.\n"
                                                    "ps_2_0\n"
                                                    "dcl t0.xy\n"
                                                    "dcl v0\n"
                                                    "dcl_2d s0\n"
                                                    "texld r0, t0, s0\n"
                                                    "mul r0, r0, v0\n"
                                                    "mul r0, r0, c0\n"
                                                    "mov oC0, r0\n";

CSampleProgram *MakeStandardProgram(void)
{
  CSampleProgram *pprg = new CSampleProgram;
  pprg->SetName("Standard");
  pprg->sp_strVertexProgram = _strStandardVertexProgram;
  pprg->sp_strPixelProgram = _strStandardPixelProgram;
  return pprg;
}

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
    // Two axes across the face with u x v = n, so the corners below run counter-clockwise seen
    // from outside: the front face of a right-handed view.
    float u[3] = {n[1] + n[2], 0, n[0]};
    if (n[1] != 0) u[0] = 1, u[2] = 0;
    float v[3] = {n[1] * u[2] - n[2] * u[1], n[2] * u[0] - n[0] * u[2], n[0] * u[1] - n[1] * u[0]};
    long iBase = psm->VertexCount();
    static const float afCorner[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
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
  CSampleProgram *pprg = MakeStandardProgram();
  prf->RegisterResource(pprg);
  CSampleMaterial *pmat = new CSampleMaterial;
  prf->RegisterResource(pmat);
  pmat->SetName("Checkered");
  pmat->sm_pprgProgram = pprg;
  pmat->sm_ptexBaseColor = pst;
  CSampleMesh *psm = MakeCube();
  prf->RegisterResource(psm);
  psm->sm_pmatMaterial = pmat;
  CSampleNode *pnod = new CSampleNode;
  prf->RegisterResource(pnod);
  pnod->SetName("Cube");
  pnod->sn_apmeshMeshes.Push() = psm;
  pss->ss_apnodNodes.Push() = pnod;
  prf->SetDefaultResource(pss);
  return prf;
}

} // namespace QuennelEngine
