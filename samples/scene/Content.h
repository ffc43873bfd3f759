#pragma once
// The sample's content: the reflected scene classes that the importer (qeimport) writes and the
// host reads. A scene is a tree of nodes, each with a transform relative to its parent, the
// meshes drawn with it and a camera; a mesh holds flat arrays (three floats a position or
// normal, two a texture coordinate, three indices a triangle) that the renderer hands to the
// streams as they are, and its material; a material holds a program, a base colour and a
// texture. Units, axes and matrices follow the math library: metres, right-handed, y up,
// row-major matrices that transform column vectors (docs/content.md).
//
// Nothing read from a file is trusted: the Check... functions say what keeps an object from being
// drawn, and VisitNodes walks a node tree that may hold cycles.
#include "core/Core.h"

namespace QuennelEngine {

// Pixels in 0xAARRGGBB, rows from the top. Format 1.
class CSampleTexture : public CResource {
  MD_DECLARE_CLASS(CSampleTexture)
public:
  long st_iWidth = 0;
  long st_iHeight = 0;
  CStaticStackArray<long> st_aulPixels;
  // Why the texture cannot be uploaded (empty when it can): sizes and pixel count.
  CString CheckUsable(void) const;
};

// A vertex and a pixel program in the backend's assembly (`#` comment lines). Format 1.
class CSampleProgram : public CResource {
  MD_DECLARE_CLASS(CSampleProgram)
public:
  CString sp_strVertexProgram;
  CString sp_strPixelProgram;
};

// The base colour is the texture (white when there is none) times the factor. Format 2.
class CSampleMaterial : public CResource {
  MD_DECLARE_CLASS(CSampleMaterial)
public:
  Ptr<CResource> sm_pprgProgram;
  Ptr<CResource> sm_ptexBaseColor;
  Vector4f sm_vBaseColor = Vector4f(1.0f, 1.0f, 1.0f, 1.0f); // red, green, blue, alpha
  long sm_bDoubleSided = 0; // both faces drawn; otherwise the clockwise-on-screen ones are culled
};

// Triangles. Format 1.
class CSampleMesh : public CResource {
  MD_DECLARE_CLASS(CSampleMesh)
public:
  CStaticStackArray<float> sm_afPositions;
  CStaticStackArray<float> sm_afTexCoords;
  CStaticStackArray<float> sm_afNormals;
  CStaticStackArray<long> sm_aiIndices;
  Ptr<CResource> sm_pmatMaterial;
  long VertexCount(void) const { return sm_afPositions.Count() / 3; }
  // Why the mesh cannot be drawn (empty when it can): arrays that disagree, an index out of
  // range, a position that is not finite.
  CString CheckDrawable(void) const;
  // The box around the positions (empty for no positions).
  Box3f GetBounds(void) const;
};

// A projection as the model's author set it up. Format 2.
class CSampleCamera : public CResource {
  MD_DECLARE_CLASS(CSampleCamera)
public:
  long sc_bOrthographic = 0;
  float sc_fFieldOfView = 1.0f; // vertical, radians (perspective)
  float sc_fAspect = 0.0f;      // width / height; 0: the viewport's
  float sc_fNear = 0.1f;
  float sc_fFar = 0.0f;                              // 0: no far plane (perspective)
  Vector2f sc_vMagnification = Vector2f(1.0f, 1.0f); // half width and height (orthographic)
};

// A place in the tree. Format 1.
class CSampleNode : public CResource {
  MD_DECLARE_CLASS(CSampleNode)
public:
  Matrix34f sn_mTransform = mthIdentityM34f(); // into the parent's space
  CStaticStackArray<Ptr<CResource>> sn_apmeshMeshes;
  Ptr<CResource> sn_pcamCamera;
  CStaticStackArray<Ptr<CResource>> sn_apnodChildren;
};

// The root of a scene file. Format 2.
class CSampleScene : public CResource {
  MD_DECLARE_CLASS(CSampleScene)
public:
  CString ss_strTitle;
  CString ss_strSource;             // the file it was imported from, as the importer was given it
  long ss_ulClearColor = 0x203040;  // RGB
  float ss_fDegreesPerFrame = 3.0f; // the scene turns about the vertical axis through its centre
  CStaticStackArray<Ptr<CResource>> ss_apnodNodes; // the roots
};

// The resource `prs` points at when it is of class T, else null.
template <class T> T *CastContent(const Ptr<CResource> &prs)
{
  return prs != nullptr && prs->mdGetDataType() == T::md_pdtDataType ? static_cast<T *>(prs.Get())
                                                                     : nullptr;
}

// How deep VisitNodes goes, and how many nodes it visits at most: a tree whose references were
// damaged into a cycle ends there.
const long SCN_MAXDEPTH = 64;
const long SCN_MAXVISITS = 1L << 20;

// Calls `pfnVisit` for every node under the scene's roots with the node's transform into the
// scene's space, parents first. Returns the number of references it did not follow: children
// that are no nodes, nodes among their own ancestors (a cycle), and nodes deeper than
// SCN_MAXDEPTH or past SCN_MAXVISITS.
long VisitNodes(CSampleScene *pss, void (*pfnVisit)(CSampleNode *, const Matrix34f &, void *),
                void *pvContext);

// The program every imported material uses: transforms by the matrix in c0..c3, lights by the
// normal turned by the rows c4..c6 against the direction c7 with the ambient term in c8.x, and
// colours by the texture in s0 times the light times the factor in the pixel program's c0.
CSampleProgram *MakeStandardProgram(void);

// Builds the repository's small scene (a textured cube, its material, the standard program) in
// a new resource file of that name, its texture in a second file; the caller saves both.
CResourceFile *MakeSampleScene(const char *strFileName, const char *strTextureFile,
                               CResourceFile *&prfTextures);

} // namespace QuennelEngine
