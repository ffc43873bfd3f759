#pragma once
// The sample's content: reflected resources a scene file holds. Arrays are flat (three floats a
// position or normal, two a texture coordinate) so the renderer hands them to the streams as
// they are.
#include "core/Core.h"

namespace QuennelEngine {

class CSampleTexture : public CResource {
  MD_DECLARE_CLASS(CSampleTexture)
public:
  long st_iWidth = 0;
  long st_iHeight = 0;
  CStaticStackArray<long> st_aulPixels; // 0xAARRGGBB, rows from the top
};

class CSampleMaterial : public CResource {
  MD_DECLARE_CLASS(CSampleMaterial)
public:
  CString sm_strVertexProgram;
  CString sm_strPixelProgram;
  Ptr<CResource> sm_ptexTexture;
};

class CSampleMesh : public CResource {
  MD_DECLARE_CLASS(CSampleMesh)
public:
  CStaticStackArray<float> sm_afPositions;
  CStaticStackArray<float> sm_afTexCoords;
  CStaticStackArray<float> sm_afNormals;
  CStaticStackArray<long> sm_aiIndices; // triangles
  Ptr<CResource> sm_pmatMaterial;
  long VertexCount(void) const { return sm_afPositions.Count() / 3; }
};

class CSampleCamera : public CResource {
  MD_DECLARE_CLASS(CSampleCamera)
public:
  Vector3f sc_vPosition = Vector3f(0.0f, 0.0f, -3.0f);
  Vector3f sc_vTarget = Vector3f(0.0f, 0.0f, 0.0f);
  float sc_fFieldOfView = 60.0f; // vertical, degrees
};

class CSampleScene : public CResource {
  MD_DECLARE_CLASS(CSampleScene)
public:
  CString ss_strTitle;
  long ss_ulClearColor = 0x203040;  // RGB
  float ss_fDegreesPerFrame = 3.0f; // the mesh turns about the vertical axis
  Ptr<CResource> ss_pcamCamera;
  CStaticStackArray<Ptr<CResource>> ss_apmeshMeshes;
};

// The resource `prs` points at when it is of class T, else null.
template <class T> T *CastContent(const Ptr<CResource> &prs)
{
  return prs != nullptr && prs->mdGetDataType() == T::md_pdtDataType ? static_cast<T *>(prs.Get())
                                                                     : nullptr;
}

// Builds the scene the repository's content holds (a textured cube, its material, a camera) in
// a new resource file of that name, its texture in a second file; the caller saves both.
CResourceFile *MakeSampleScene(const char *strFileName, const char *strTextureFile,
                               const char *strVertexProgram, const char *strPixelProgram,
                               CResourceFile *&prfTextures);

} // namespace QuennelEngine
