// Drawing: the vertex declaration for the streams in use, vertex and indexed draws, quads from
// the prebuilt index buffer, and the triangle and vertex statistics.
#include "backend/BuffersPrivate.h"

namespace QuennelEngine {

namespace {

const D3DPRIMITIVETYPE _aePrimitive[GFX_CTPRIMITIVES] = {
    D3DPT_POINTLIST,     D3DPT_LINELIST,    D3DPT_LINESTRIP,    D3DPT_TRIANGLELIST,
    D3DPT_TRIANGLESTRIP, D3DPT_TRIANGLEFAN, D3DPT_TRIANGLELIST,
};
const BYTE _aubDeclType[8] = {
    D3DDECLTYPE_UNUSED, D3DDECLTYPE_D3DCOLOR, D3DDECLTYPE_SHORT2, D3DDECLTYPE_SHORT4,
    D3DDECLTYPE_FLOAT1, D3DDECLTYPE_FLOAT2,   D3DDECLTYPE_FLOAT3, D3DDECLTYPE_FLOAT4,
};

bool IsSoftware(void)
{
  return !(gfx_ulFlags & GLF_HWVERTEXPROCESSING);
}

IDirect3DVertexDeclaration9 *FindOrMakeDeclaration(unsigned __int64 uqMask)
{
  for (auto &md : _d3dbf.bf_aDeclarations) {
    if (md.first == uqMask) return md.second;
  }
  D3DVERTEXELEMENT9 ave[D3D_CTSTREAMS + 1];
  long ct = 0;
  const bool bEvery = IsSoftware();
  for (long s = 0; s < D3D_CTSTREAMS; s++) {
    const long iCode = (long)((uqMask >> (4 * s)) & 0xF);
    if (iCode == 0 && !(bEvery && s < gfx_iMaxInputStreams)) continue;
    // Streams without data read the dummy buffer; its zeros read as a colour.
    const BYTE ubType = iCode >= 1 && iCode <= 7 ? _aubDeclType[iCode] : (BYTE)D3DDECLTYPE_D3DCOLOR;
    ave[ct++] = {(WORD)s, 0, ubType, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, (BYTE)s};
  }
  ave[ct] = D3DDECL_END();
  IDirect3DVertexDeclaration9 *pvd = nullptr;
  if (FAILED(_d3d.bs_pDevice->CreateVertexDeclaration(ave, &pvd)) || pvd == nullptr) {
    return nullptr;
  }
  _d3dbf.bf_aDeclarations.emplace_back(uqMask, pvd);
  return pvd;
}

// False when the streams in use cannot be declared (a code outside 1..7, or none at all).
bool PrepareDeclaration(void)
{
  const unsigned __int64 uqMask = _gfx_uqCurrentVertexProgramInputMask;
  const unsigned __int64 uqLast = _gfx_uqLastVertexProgramInputMask;
  for (long s = 0; s < D3D_CTSTREAMS; s++) {
    if (((uqMask >> (4 * s)) & 0xF) > 7) {
      _gfxError("Draw, attribute code");
      return false;
    }
  }
  if (uqMask == 0) {
    _gfxError("Draw, no stream");
    return false;
  }
  if (_d3dbf.bf_bDeclarationSet && uqMask == uqLast) {
    d3dApplyStreams();
    return true;
  }
  IDirect3DVertexDeclaration9 *pvd = FindOrMakeDeclaration(uqMask);
  if (pvd == nullptr) return false;
  if (IsSoftware() && _d3dbf.bf_pvbDummy != nullptr) {
    for (long s = 0; s < D3D_CTSTREAMS && s < gfx_iMaxInputStreams; s++) {
      if (((uqLast >> (4 * s)) & 0xF) != 0 && ((uqMask >> (4 * s)) & 0xF) == 0) {
        d3dSetStream(s, _d3dbf.bf_pvbDummy, 0, 0);
      }
    }
  }
  _d3d.bs_pDevice->SetVertexDeclaration(pvd);
  _d3dbf.bf_bDeclarationSet = 1;
  _gfx_uqLastVertexProgramInputMask = uqMask;
  d3dApplyStreams();
  return true;
}

// How far the first vertex (or index) moves for the next batch of `ct` primitives.
long Advance(GfxPrimitive ePrim, long ct)
{
  switch (ePrim) {
  case GPR_LINESTRIP:
  case GPR_TRIANGLESTRIP:
    return ct;
  default:
    return ct * _gfx_aiPrimSize[2 * (ePrim - GPR_POINTS)];
  }
}

bool IsPrimitive(GfxPrimitive ePrim)
{
  if (ePrim >= GPR_POINTS && ePrim <= GPR_QUADS) return true;
  _gfxError("Draw, primitive");
  return false;
}

void DrawQuads(long ctQuads, long iFirst)
{
  if (_d3dbf.bf_pibQuads == nullptr) return;
  d3dUseQuadIndices();
  while (ctQuads > 0) {
    const long ct = ctQuads < D3D_CTQUADBATCH ? ctQuads : D3D_CTQUADBATCH;
    _d3d.bs_pDevice->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, iFirst, 0, 4 * ct, 0, 2 * ct);
    ctQuads -= ct;
    iFirst += 4 * D3D_CTQUADBATCH;
  }
}

} // namespace

void d3dDrawVertices(GfxPrimitive ePrim, long ct, long iFirst)
{
  if (d3dIsUnusable() || ct < 1 || !IsPrimitive(ePrim)) return;
  if (!PrepareDeclaration()) return;
  d3dOpenScene();
  const long iType = ePrim - GPR_POINTS;
  if (ePrim == GPR_QUADS) {
    DrawQuads(ct, iFirst);
  } else if (ePrim == GPR_TRIANGLEFAN) {
    // Every triangle of a fan shares its first vertex, so a fan cannot be split.
    _d3d.bs_pDevice->DrawPrimitive(D3DPT_TRIANGLEFAN, iFirst, ct);
  } else {
    for (long ctLeft = ct, iStart = iFirst; ctLeft > 0;) {
      const long ctBatch = ctLeft < D3D_MAXBATCH ? ctLeft : D3D_MAXBATCH;
      _d3d.bs_pDevice->DrawPrimitive(_aePrimitive[iType], iStart, ctBatch);
      iStart += Advance(ePrim, ctBatch);
      ctLeft -= ctBatch;
    }
  }
  gfx_ctTriangles += ct * _gfx_aiPrimTris[iType];
  gfx_ctVertices += _gfx_aiPrimSize[2 * iType + 1] + ct * _gfx_aiPrimSize[2 * iType];
  _d3dbf.bf_iStamp++;
}

void d3dDrawIndices(GfxPrimitive ePrim, long ct, long ctVertices, long iMinIndex)
{
  if (d3dIsUnusable() || ct < 1 || !IsPrimitive(ePrim)) return;
  // Quads have no index order of their own: the engine's indices would be read as triangles.
  if (ePrim == GPR_QUADS) {
    _gfxError("DrawIndices, quads");
    return;
  }
  if (!PrepareDeclaration()) return;
  d3dRestoreEngineIndices();
  if (_d3dbf.bf_pibSet == nullptr) {
    _gfxError("DrawIndices, no index source");
    return;
  }
  d3dOpenScene();
  const long iType = ePrim - GPR_POINTS;
  if (ePrim == GPR_TRIANGLEFAN) {
    _d3d.bs_pDevice->DrawIndexedPrimitive(D3DPT_TRIANGLEFAN, 0, iMinIndex, ctVertices,
                                          _d3dbf.bf_uStartIndex, ct);
  } else {
    UINT uStart = _d3dbf.bf_uStartIndex;
    for (long ctLeft = ct; ctLeft > 0;) {
      const long ctBatch = ctLeft < D3D_MAXBATCH ? ctLeft : D3D_MAXBATCH;
      _d3d.bs_pDevice->DrawIndexedPrimitive(_aePrimitive[iType], 0, iMinIndex, ctVertices, uStart,
                                            ctBatch);
      uStart += Advance(ePrim, ctBatch);
      ctLeft -= ctBatch;
    }
  }
  gfx_ctTriangles += ct * _gfx_aiPrimTris[iType];
  gfx_ctVertices += ctVertices;
  _d3dbf.bf_iStamp++;
}

void d3dSetDrawingSlots(void)
{
  d3dSetBufferSlots();
  _gfxDrawVertices = SLOT(d3dDrawVertices);
  _gfxDrawIndices = SLOT(d3dDrawIndices);
}

} // namespace QuennelEngine
