// The texture slots: contents read back from the Direct3D texture level by level and face by
// face, memory accounting, and what binding and the sampler setters send (recorded).
#include "BackendFixture.h"

#include <d3dx9.h>

namespace {

using namespace QuennelEngine;
using QuennelEngine::Test::Backend;
using QuennelEngine::Test::ExternalBytes;

class Texture : public Backend {
protected:
  void SetUp() override
  {
    Backend::SetUp();
    _pps->ps_bRecord = 1;
  }
  void Start(void) { StartRecorded(); }
  static IDirect3DBaseTexture9 *Object(long hTexture)
  {
    return (IDirect3DBaseTexture9 *)_gfx_atpTextures[hTexture - 1].tp_pTexture;
  }
  // The rows of a locked surface, `ctRowBytes` each, packed (rows are block rows for DXT).
  static std::vector<BYTE> ReadSurface(IDirect3DSurface9 *pSurface, long ctRowBytes, long ctRows)
  {
    std::vector<BYTE> aub;
    D3DLOCKED_RECT lr;
    if (pSurface == nullptr || FAILED(pSurface->LockRect(&lr, nullptr, D3DLOCK_READONLY))) {
      return aub;
    }
    for (long y = 0; y < ctRows; y++) {
      const BYTE *pub = (const BYTE *)lr.pBits + y * lr.Pitch;
      aub.insert(aub.end(), pub, pub + ctRowBytes);
    }
    pSurface->UnlockRect();
    return aub;
  }
  static std::vector<BYTE> ReadLevel(long hTexture, long iLevel, long ctRowBytes, long ctRows)
  {
    IDirect3DSurface9 *pSurface = nullptr;
    ((IDirect3DTexture9 *)Object(hTexture))->GetSurfaceLevel(iLevel, &pSurface);
    std::vector<BYTE> aub = ReadSurface(pSurface, ctRowBytes, ctRows);
    if (pSurface != nullptr) pSurface->Release();
    return aub;
  }
  // A default-pool render-target texture read through a system-memory copy.
  static std::vector<unsigned long> ReadRenderTexture(long hTexture, long iWidth, long iHeight)
  {
    std::vector<unsigned long> aul;
    IDirect3DTexture9 *pTexture = (IDirect3DTexture9 *)Object(hTexture);
    IDirect3DDevice9 *pDevice = nullptr;
    pTexture->GetDevice(&pDevice);
    IDirect3DSurface9 *pLevel = nullptr, *pCopy = nullptr;
    pTexture->GetSurfaceLevel(0, &pLevel);
    D3DSURFACE_DESC sd;
    pLevel->GetDesc(&sd);
    pDevice->CreateOffscreenPlainSurface(iWidth, iHeight, sd.Format, D3DPOOL_SYSTEMMEM, &pCopy,
                                         nullptr);
    if (pCopy != nullptr && SUCCEEDED(pDevice->GetRenderTargetData(pLevel, pCopy))) {
      std::vector<BYTE> aub = ReadSurface(pCopy, iWidth * 4, iHeight);
      aul.resize(aub.size() / 4);
      memcpy(aul.data(), aub.data(), aub.size());
    }
    if (pCopy != nullptr) pCopy->Release();
    pLevel->Release();
    pDevice->Release();
    return aul;
  }
  static std::vector<BYTE> Pattern(long ct, long iSeed)
  {
    std::vector<BYTE> aub(ct);
    for (long i = 0; i < ct; i++) aub[i] = BYTE(i * 37 + iSeed * 11 + 5);
    return aub;
  }
  const D3DCallRecord &rec = _pps->ps_rec;
};

// Every uncompressed format at every level it has, odd and tiny widths included: the bytes go
// in tightly packed and come out row by row at the locked pitch.
TEST_F(Texture, UncompressedFormatsUploadEveryLevelAtAnyWidth)
{
  Start();
  for (long eFormat = GCF_XRGB8; eFormat <= GCF_RGBA16F; eFormat++) {
    const GfxColorFormat e = GfxColorFormat(eFormat);
    const long ctBytes = gfxGetFormatSize(e);
    for (long iWidth : {1, 2, 3, 5}) {
      SCOPED_TRACE(testing::Message() << "format " << eFormat << " width " << iWidth);
      const long iHeight = 4;
      long h = _gfxCreateTexture(iWidth, iHeight, 1, 1, e);
      ASSERT_NE(h, 0);
      D3DSURFACE_DESC sd;
      ((IDirect3DTexture9 *)Object(h))->GetLevelDesc(0, &sd);
      const long ctLevels = (long)Object(h)->GetLevelCount();
      EXPECT_EQ(ctLevels, (_gfx_atpTextures[h - 1].tp_ulFlags & 2) ? 3 : 1);
      long slTotal = 0;
      for (long i = 0; i < ctLevels; i++) {
        slTotal += ctBytes * std::max(iWidth >> i, 1L) * std::max(iHeight >> i, 1L);
      }
      EXPECT_EQ(_gfx_atpTextures[h - 1].tp_slMemory, slTotal);
      std::vector<BYTE> aub = Pattern(slTotal, eFormat);
      _gfxUploadTexture(h, aub.data(), e, 0, 15, 0, 0);
      // Only a format the device took as it is keeps its bytes; a fallback converts them.
      const bool bDirect = _gfx_aulTexFormats[eFormat - GFX_FIRSTTEXFORMAT] == sd.Format &&
                           sd.Format != D3DFMT_UNKNOWN;
      long slOffset = 0;
      for (long i = 0; i < ctLevels && bDirect; i++) {
        const long w = std::max(iWidth >> i, 1L), hgt = std::max(iHeight >> i, 1L);
        std::vector<BYTE> aubRead = ReadLevel(h, i, w * ctBytes, hgt);
        std::vector<BYTE> aubWant(aub.begin() + slOffset,
                                  aub.begin() + slOffset + w * hgt * ctBytes);
        if (e == GCF_XRGB8) {
          for (size_t j = 3; j < aubRead.size(); j += 4) aubRead[j] = aubWant[j] = 0;
        }
        EXPECT_EQ(aubRead, aubWant) << "level " << i;
        slOffset += w * hgt * ctBytes;
      }
      _gfxDeleteTexture(h);
    }
  }
}

// 16 x 256 compressed: levels as narrow as one pixel still hold a whole block per block row.
TEST_F(Texture, CompressedFormatsAtSixteenByTwoFiftySixCopyByBlockRows)
{
  Start();
  for (GfxColorFormat e : {GCF_DXT1, GCF_DXT3, GCF_DXT5}) {
    SCOPED_TRACE(testing::Message() << "format " << (long)e);
    if (_gfx_aulTexFormats[e - GFX_FIRSTTEXFORMAT] == D3DFMT_UNKNOWN) continue;
    long h = _gfxCreateTexture(16, 256, 1, 1, e);
    ASSERT_NE(h, 0);
    ASSERT_EQ(Object(h)->GetLevelCount(), 9u);
    EXPECT_EQ(_gfx_atpTextures[h - 1].tp_eFormat, e);
    const long ctBlock = e == GCF_DXT1 ? 8 : 16;
    long slTotal = 0;
    for (long i = 0; i < 9; i++) {
      slTotal += gfxGetFormatSize(std::max(16L >> i, 1L), std::max(256L >> i, 1L), 1, e);
    }
    // 4x64 blocks, then 2x32, 1x16, and one column of 8, 4, 2, 1, 1, 1 blocks.
    EXPECT_EQ(slTotal, ctBlock * (256 + 64 + 16 + 8 + 4 + 2 + 1 + 1 + 1));
    EXPECT_EQ(_gfx_atpTextures[h - 1].tp_slMemory, slTotal);
    std::vector<BYTE> aub = Pattern(slTotal, e);
    _gfxUploadTexture(h, aub.data(), e, 0, 8, 0, 0);
    long slOffset = 0;
    for (long i = 0; i < 9; i++) {
      const long ctRowBytes = std::max((std::max(16L >> i, 1L) + 3) / 4, 1L) * ctBlock;
      const long ctRows = (std::max(256L >> i, 1L) + 3) / 4;
      std::vector<BYTE> aubWant(aub.begin() + slOffset,
                                aub.begin() + slOffset + ctRowBytes * ctRows);
      EXPECT_EQ(ReadLevel(h, i, ctRowBytes, ctRows), aubWant) << "level " << i;
      slOffset += ctRowBytes * ctRows;
    }
    _gfxDeleteTexture(h);
  }
}

TEST_F(Texture, MipChainEndsAtOneByOneAndCountsEveryLevel)
{
  Start();
  const long slBefore = ExternalBytes();
  long h = _gfxCreateTexture(256, 128, 1, 1, GCF_ARGB8);
  ASSERT_NE(h, 0);
  EXPECT_EQ(Object(h)->GetLevelCount(), 9u);
  const long slWant =
      4 * (256 * 128 + 128 * 64 + 64 * 32 + 32 * 16 + 16 * 8 + 8 * 4 + 4 * 2 + 2 * 1 + 1 * 1);
  EXPECT_EQ(_gfx_atpTextures[h - 1].tp_slMemory, slWant);
  EXPECT_EQ(_gfx_atpTextures[h - 1].tp_ulFlags, 2u);
  EXPECT_GE(ExternalBytes() - slBefore, slWant);
  // Levels past the chain are skipped, not looked up.
  std::vector<BYTE> aub = Pattern(slWant, 1);
  _gfxUploadTexture(h, aub.data(), GCF_ARGB8, 8, 40, 0, 9);
  _gfxDeleteTexture(h);
  EXPECT_EQ(ExternalBytes(), slBefore);
  // An empty slot and handles outside the table are ignored.
  _gfxDeleteTexture(h);
  _gfxDeleteTexture(0);
  _gfxDeleteTexture(GFX_CTTEXTURESLOTS + 1);
  EXPECT_EQ(ExternalBytes(), slBefore);
}

TEST_F(Texture, CubeFacesAndAVolumeSliceHoldTheirOwnPixels)
{
  Start();
  long hCube = _gfxCreateTexture(8, 0, 1, 0, GCF_ARGB8);
  ASSERT_NE(hCube, 0);
  EXPECT_EQ(_gfx_atpTextures[hCube - 1].tp_ulFlags & 4, 4u);
  EXPECT_EQ(_gfx_atpTextures[hCube - 1].tp_slMemory, 6 * 8 * 8 * 4);
  const unsigned long aulFace[6] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF,
                                    0xFFFFFF00, 0xFF00FFFF, 0xFFFF00FF};
  std::vector<unsigned long> aul;
  for (unsigned long ul : aulFace) aul.insert(aul.end(), 64, ul);
  _gfxUploadTexture(hCube, (const BYTE *)aul.data(), GCF_ARGB8, 0, 0, 0, 5);
  for (long iFace = 0; iFace < 6; iFace++) {
    IDirect3DSurface9 *pSurface = nullptr;
    ((IDirect3DCubeTexture9 *)Object(hCube))
        ->GetCubeMapSurface((D3DCUBEMAP_FACES)iFace, 0, &pSurface);
    std::vector<BYTE> aub = ReadSurface(pSurface, 32, 8);
    pSurface->Release();
    std::vector<unsigned long> aulRead(aub.size() / 4);
    memcpy(aulRead.data(), aub.data(), aub.size());
    EXPECT_TRUE(AllAre(aulRead, aulFace[iFace])) << "face " << iFace;
  }
  _gfxDeleteTexture(hCube);

  if (gfx_pixMaxVolumeTextureSize < 4) GTEST_SKIP() << "no volume textures";
  long hVolume = _gfxCreateTexture(4, 4, 4, 0, GCF_ARGB8);
  ASSERT_NE(hVolume, 0);
  std::vector<unsigned long> aulVolume(64);
  for (long i = 0; i < 64; i++) aulVolume[i] = 0xFF000000 | (unsigned long)(i / 16) << 16 | i;
  _gfxUploadTexture(hVolume, (const BYTE *)aulVolume.data(), GCF_ARGB8, 0, 0, 0, 0);
  IDirect3DVolume9 *pVolume = nullptr;
  ((IDirect3DVolumeTexture9 *)Object(hVolume))->GetVolumeLevel(0, &pVolume);
  ASSERT_NE(pVolume, nullptr);
  D3DLOCKED_BOX lb;
  ASSERT_TRUE(SUCCEEDED(pVolume->LockBox(&lb, nullptr, D3DLOCK_READONLY)));
  const BYTE *pubSlice = (const BYTE *)lb.pBits + 2 * lb.SlicePitch;
  for (long y = 0; y < 4; y++) {
    for (long x = 0; x < 4; x++) {
      EXPECT_EQ(((const unsigned long *)(pubSlice + y * lb.RowPitch))[x],
                aulVolume[32 + y * 4 + x]);
    }
  }
  pVolume->UnlockBox();
  pVolume->Release();
  _gfxDeleteTexture(hVolume);
}

TEST_F(Texture, SizeAndSizeRulesOfCreation)
{
  Start();
  EXPECT_EQ(_gfxCreateTexture(gfx_pixMaxTextureSize + 1, 4, 1, 0, GCF_ARGB8), 0);
  EXPECT_EQ(_gfxCreateTexture(4, gfx_pixMaxTextureSize * 2, 1, 0, GCF_ARGB8), 0);
  EXPECT_EQ(_gfxCreateTexture(0, 4, 1, 0, GCF_ARGB8), 0);
  EXPECT_EQ(_gfxCreateTexture(4, 4, 1, 0, GCF_DEPTH16), 0);
  // A device that needs powers of two: an odd DXT1 texture is 16-bit, clamped, linear, one level.
  gfx_ulFlags &= ~(unsigned long)GLF_NONPOW2;
  long h = _gfxCreateTexture(100, 100, 1, 1, GCF_DXT1);
  ASSERT_NE(h, 0);
  const CTextureParams &tp = _gfx_atpTextures[h - 1];
  EXPECT_EQ(tp.tp_eFormat, GCF_RGB565);
  EXPECT_EQ(tp.tp_eFilter, 203);
  EXPECT_EQ(tp.tp_eWrapU, 81);
  EXPECT_EQ(tp.tp_ulFlags, 8u);
  EXPECT_EQ(Object(h)->GetLevelCount(), 1u);
  EXPECT_EQ(tp.tp_slMemory, 100 * 100 * 2);
  long hPow2 = _gfxCreateTexture(64, 32, 1, 1, GCF_DXT3);
  ASSERT_NE(hPow2, 0);
  EXPECT_EQ(_gfx_atpTextures[hPow2 - 1].tp_eFormat, GCF_DXT3);
  EXPECT_EQ(_gfx_atpTextures[hPow2 - 1].tp_eFilter, 207);
  EXPECT_EQ(_gfx_atpTextures[hPow2 - 1].tp_eWrapU, 80);
  _gfxDeleteTexture(h);
  _gfxDeleteTexture(hPow2);
}

TEST_F(Texture, BindingFiltersRepeatsUsesTheWhiteTextureAndDeletingUnbinds)
{
  Start();
  long hWhite = _gfxCreateTexture(1, 1, 1, 0, GCF_ARGB8);
  long h = _gfxCreateTexture(4, 4, 1, 0, GCF_ARGB8);
  ASSERT_NE(h, 0);
  // No white texture yet: handle 0 binds nothing.
  _gfxBindTexture(0, 0);
  EXPECT_EQ(rec.dcr_actCalls[DDM_SetTexture], 0);
  gfx_hWhiteTexture = hWhite;
  _gfxBindTexture(0, 0);
  EXPECT_EQ(rec.dcr_actCalls[DDM_SetTexture], 1);
  EXPECT_EQ(rec.dcr_adwArgs[DDM_SetTexture][1], (DWORD)(size_t)Object(hWhite));
  EXPECT_EQ(_gfx_ahCurrentTexture[0], hWhite);

  CProfileNode pn("Texture memory test", nullptr);
  _gfx_ppnTexMem = &pn;
  gfx_iFrameNumber = 7;
  _gfxBindTexture(0, h);
  _gfxBindTexture(0, h);
  EXPECT_EQ(rec.dcr_actCalls[DDM_SetTexture], 2);
  _gfxBindTexture(3, h);
  _gfxBindTexture(-1, h);
  _gfxBindTexture(16, h);
  _gfxBindTexture(1, h + 5);
  EXPECT_EQ(rec.dcr_actCalls[DDM_SetTexture], 3);
  // Counted once this frame, again in the next.
  EXPECT_EQ(pn.pn_ctCalls, 1);
  EXPECT_FLOAT_EQ(pn.pn_fCount, 64 * 9.536743e-7f);
  gfx_iFrameNumber = 8;
  _gfxBindTexture(0, hWhite);
  _gfxBindTexture(0, h);
  EXPECT_EQ(pn.pn_ctCalls, 3);
  _gfx_ppnTexMem = nullptr;

  _gfxDeleteTexture(h);
  EXPECT_EQ(rec.dcr_actCalls[DDM_SetTexture], 7);
  EXPECT_EQ(rec.dcr_adwArgs[DDM_SetTexture][1], 0u);
  EXPECT_EQ(_gfx_ahCurrentTexture[0], 0);
  EXPECT_EQ(_gfx_ahCurrentTexture[3], 0);
  EXPECT_EQ(_gfx_atpTextures[h - 1].tp_eFilter, 209);
  EXPECT_EQ(_gfx_atpTextures[h - 1].tp_eWrapU, 80);
  _gfxDeleteTexture(hWhite);
}

TEST_F(Texture, SamplerSettersSendOnlyChangesWithTheTableValues)
{
  Start();
  // The reset left every unit at linear filtering with point mipmaps and wrapping.
  EXPECT_EQ(_gfx_atpGlobalTexParams[0].tp_eFilter, 207);
  EXPECT_EQ(_gfx_atpGlobalTexParams[0].tp_eWrapU, 80);
  _gfxTextureFiltering(0, GfxTexFilter(207), 1, 0.0f);
  _gfxTextureWrapping(0, GTW_REPEAT, GTW_REPEAT, GTW_REPEAT);
  _gfxTextureBorderColor(0, 0);
  _gfxTextureBaseMipmap(0, 0);
  EXPECT_EQ(rec.Total(), 0);

  _gfxTextureFiltering(1, GfxTexFilter(202), 1, 0.0f);
  EXPECT_EQ(rec.dcr_actCalls[DDM_SetSamplerState], 3);
  EXPECT_EQ(rec.dcr_adwArgs[DDM_SetSamplerState][0], 1u);
  EXPECT_EQ(rec.dcr_adwArgs[DDM_SetSamplerState][1], (DWORD)D3DSAMP_MIPFILTER);
  EXPECT_EQ(rec.dcr_adwArgs[DDM_SetSamplerState][2], (DWORD)D3DTEXF_NONE);
  _gfxTextureFiltering(1, GfxTexFilter(202), 1, 0.0f);
  EXPECT_EQ(rec.dcr_actCalls[DDM_SetSamplerState], 3);

  // W = border is clamp.
  _gfxTextureWrapping(2, GTW_REPEAT, GTW_BORDER, GTW_BORDER);
  EXPECT_EQ(_gfx_atpGlobalTexParams[2].tp_eWrapV, 82);
  EXPECT_EQ(_gfx_atpGlobalTexParams[2].tp_eWrapW, 81);
  EXPECT_EQ(rec.dcr_actCalls[DDM_SetSamplerState], 5);
  EXPECT_EQ(rec.dcr_adwArgs[DDM_SetSamplerState][1], (DWORD)D3DSAMP_ADDRESSW);
  EXPECT_EQ(rec.dcr_adwArgs[DDM_SetSamplerState][2], (DWORD)D3DTADDRESS_CLAMP);
  _gfxTextureWrapping(2, GTW_REPEAT, GTW_BORDER, GTW_CLAMP);
  _gfxTextureBorderColor(2, 0xFF102030);
  _gfxTextureBorderColor(2, 0xFF102030);
  EXPECT_EQ(rec.dcr_adwArgs[DDM_SetSamplerState][2], 0xFF102030u);
  _gfxTextureBaseMipmap(2, 3);
  _gfxTextureBaseMipmap(2, 3);
  EXPECT_EQ(rec.dcr_adwArgs[DDM_SetSamplerState][1], (DWORD)D3DSAMP_MAXMIPLEVEL);
  EXPECT_EQ(rec.dcr_actCalls[DDM_SetSamplerState], 7);

  // LOD bias as float bits, clamped to the maximum.
  gfx_fMaxTextureLODBias = 2.0f;
  _gfxTextureFiltering(0, GfxTexFilter(207), 1, 0.75f);
  EXPECT_EQ(rec.dcr_adwArgs[DDM_SetSamplerState][1], (DWORD)D3DSAMP_MIPMAPLODBIAS);
  float f = 0.0f;
  memcpy(&f, &rec.dcr_adwArgs[DDM_SetSamplerState][2], 4);
  EXPECT_EQ(f, 0.75f);
  _gfxTextureFiltering(0, GfxTexFilter(207), 1, -9.0f);
  memcpy(&f, &rec.dcr_adwArgs[DDM_SetSamplerState][2], 4);
  EXPECT_EQ(f, -2.0f);
  EXPECT_EQ(gfx_afTextureLODBias[0], -2.0f);
  EXPECT_EQ(rec.dcr_actCalls[DDM_SetSamplerState], 9);

  // Anisotropy: crossing from 1 to 2 sends the filters again, anisotropic.
  gfx_iMaxTextureAnisotropy = 8;
  const long ctBefore = rec.dcr_actCalls[DDM_SetSamplerState];
  _gfxTextureFiltering(0, GfxTexFilter(207), 4, -2.0f);
  EXPECT_EQ(rec.dcr_actCalls[DDM_SetSamplerState], ctBefore + 4);
  EXPECT_EQ(rec.dcr_adwArgs[DDM_SetSamplerState][2], (DWORD)D3DTEXF_POINT);
  _gfxTextureFiltering(0, GfxTexFilter(207), 6, -2.0f);
  EXPECT_EQ(rec.dcr_actCalls[DDM_SetSamplerState], ctBefore + 5);
  _gfxTextureFiltering(0, GfxTexFilter(207), 99, -2.0f);
  EXPECT_EQ(_gfx_atpGlobalTexParams[0].tp_iAnisotropy, 8);
  _gfxTextureFiltering(0, GfxTexFilter(211), 8, -2.0f);
  EXPECT_EQ(rec.dcr_adwArgs[DDM_SetSamplerState][2], (DWORD)D3DTEXF_LINEAR);
}

TEST_F(Texture, CompressionWritesBlocksForEveryLevelAndNoMore)
{
  Start();
  std::vector<unsigned long> aul(8 * 8 + 4 * 4 + 2 * 2 + 1, 0xFFFF0000);
  // 8x8: 4 blocks, then one block for each of 4x4, 2x2 and 1x1.
  std::vector<BYTE> aub(56 + 4, 0xAB);
  _gfxCompressDXT(aul.data(), aub.data(), 8, 8, 1, GCF_DXT1);
  for (long iBlock = 0; iBlock < 7; iBlock++) {
    unsigned short uw0, uw1;
    memcpy(&uw0, &aub[iBlock * 8], 2);
    memcpy(&uw1, &aub[iBlock * 8 + 2], 2);
    EXPECT_TRUE(uw0 == 0xF800 || uw1 == 0xF800) << "block " << iBlock;
  }
  for (long i = 56; i < 60; i++) EXPECT_EQ(aub[i], 0xAB);
  // Without mipmaps only the first level; DXT5 blocks are 16 bytes.
  std::vector<BYTE> aub5(64 + 4, 0xAB);
  _gfxCompressDXT(aul.data(), aub5.data(), 8, 8, 0, GCF_DXT5);
  EXPECT_EQ(aub5[0], 0xFF); // alpha end points
  EXPECT_EQ(aub5[64], 0xAB);
}

// YUY2 textures where the device converts but cannot sample them: filled through one shared
// surface per size, which lives through a device reset with its textures.
TEST_F(Texture, VideoFramesGoThroughASharedSurfaceThatSurvivesAReset)
{
  long iWidth = GetSystemMetrics(SM_CXSCREEN), iHeight = GetSystemMetrics(SM_CYSCREEN);
  _gfxStartup_t(iWidth, iHeight, 32, 24, 0);
  ASSERT_EQ(gfx_eCurrentAPI, GAT_D3D);
  _gfx_aulTexFormats[GCF_YUY2 - GFX_FIRSTTEXFORMAT] = D3DFMT_X8R8G8B8;
  gfx_ulFlags |= GLF_YUY2CONVERSION;
  const long slBefore = ExternalBytes();
  long h1 = _gfxCreateTexture(16, 8, 1, 1, GCF_YUY2);
  long h2 = _gfxCreateTexture(16, 8, 1, 1, GCF_YUY2);
  if (h1 == 0) GTEST_SKIP() << "the device makes no YUY2 surfaces";
  ASSERT_NE(h2, 0);
  EXPECT_EQ(Object(h1)->GetLevelCount(), 1u);
  // Two textures of 16x8x2 bytes and one shared surface of the same size (counted by pages).
  EXPECT_EQ(_gfx_atpTextures[h1 - 1].tp_slMemory, 16 * 8 * 2);
  EXPECT_EQ(ExternalBytes() - slBefore, 3 * 4096);
  // A grey frame: Y 128 and no colour.
  std::vector<BYTE> aubFrame(16 * 8 * 2, 0x80);
  _gfxUploadTexture(h1, aubFrame.data(), GCF_VIDEOFRAME, 0, 0, 0, 0);
  auto IsGrey = [](const std::vector<unsigned long> &aul) {
    if (aul.empty()) return false;
    for (unsigned long ul : aul) {
      for (long iShift : {0, 8, 16}) {
        long i = (ul >> iShift) & 0xFF;
        if (i < 0x70 || i > 0x90) return false;
      }
    }
    return true;
  };
  EXPECT_TRUE(IsGrey(ReadRenderTexture(h1, 16, 8)));

  HWND hwnd = (HWND)wndGetWindowHandle(wndGetWorkbench()).wh_hWnd;
  SendMessageA(hwnd, WM_ACTIVATEAPP, FALSE, 0);
  EXPECT_EQ(_gfxPresent(nullptr, 1), 0);
  SendMessageA(hwnd, WM_ACTIVATEAPP, TRUE, 0);
  EXPECT_EQ(_gfxPresent(nullptr, 1), 1);
  ASSERT_NE(Object(h1), nullptr);
  ASSERT_NE(Object(h2), nullptr);
  _gfxUploadTexture(h2, aubFrame.data(), GCF_VIDEOFRAME, 0, 0, 0, 0);
  EXPECT_TRUE(IsGrey(ReadRenderTexture(h2, 16, 8)));

  _gfxDeleteTexture(h1);
  EXPECT_EQ(ExternalBytes() - slBefore, 2 * 4096);
  _gfxDeleteTexture(h2);
  EXPECT_EQ(ExternalBytes(), slBefore);
}

} // namespace

namespace {

using namespace QuennelEngine;

class TextureFormats : public Texture {};

// Refused formats fall back in the table's order, and a format without an accepted fallback is
// unsupported; YUY2 is never taken as a fallback.
TEST_F(TextureFormats, RefusedFormatsTakeTheFirstAcceptedFallback)
{
  D3DFORMAT *pfmt = _pps->ps_afmtRefusedTexture;
  pfmt[0] = D3DFMT_X8R8G8B8;
  pfmt[1] = D3DFMT_A8L8;
  pfmt[2] = D3DFMT_DXT1;
  pfmt[3] = D3DFMT_DXT3;
  pfmt[4] = D3DFMT_A16B16G16R16F;
  pfmt[5] = D3DFMT_L8;
  Start();
  auto Chosen = [](GfxColorFormat e) {
    return (D3DFORMAT)_gfx_aulTexFormats[e - GFX_FIRSTTEXFORMAT];
  };
  EXPECT_EQ(Chosen(GCF_XRGB8), D3DFMT_A8R8G8B8);
  EXPECT_EQ(Chosen(GCF_AL8), D3DFMT_A8R8G8B8);
  EXPECT_EQ(Chosen(GCF_L8), D3DFMT_R5G6B5); // 225 (A8L8) and 220 refused: 222 is next
  EXPECT_EQ(Chosen(GCF_DXT1), D3DFMT_DXT5);
  EXPECT_EQ(Chosen(GCF_DXT3), D3DFMT_DXT5);
  EXPECT_EQ(Chosen(GCF_RGBA16F), D3DFMT_UNKNOWN);
  EXPECT_EQ(_gfx_aulColFormats[GCF_DXT1 - GFX_FIRSTTEXFORMAT], (unsigned long)D3DFMT_DXT5);
  EXPECT_EQ(_gfxCreateTexture(4, 4, 1, 0, GCF_RGBA16F), 0);
  // A texture of a substituted format is made in the chosen one and converts what it is given.
  long h = _gfxCreateTexture(4, 4, 1, 0, GCF_XRGB8);
  ASSERT_NE(h, 0);
  D3DSURFACE_DESC sd;
  ((IDirect3DTexture9 *)Object(h))->GetLevelDesc(0, &sd);
  EXPECT_EQ(sd.Format, D3DFMT_A8R8G8B8);
  std::vector<unsigned long> aul(16, 0x00123456);
  _gfxUploadTexture(h, (const BYTE *)aul.data(), GCF_XRGB8, 0, 0, 0, 0);
  std::vector<BYTE> aub = ReadLevel(h, 0, 16, 4);
  EXPECT_EQ(aub[0], 0x56);
  EXPECT_EQ(aub[2], 0x12);
  _gfxDeleteTexture(h);
}

// Start-up leaves every unit at the defaults on the device, and the slots do nothing while the
// device is gone.
TEST_F(TextureFormats, UnitResetSendsTheDefaultsAndSlotsWaitForADevice)
{
  long hNone = _gfxCreateTexture(4, 4, 1, 0, GCF_ARGB8);
  EXPECT_EQ(hNone, 0);
  long iWidth, iHeight;
  StartWindowed(iWidth, iHeight);
  ASSERT_GT(gfx_ctTextureUnits, 0);
  EXPECT_GE(rec.dcr_actCalls[DDM_SetTexture], gfx_ctTextureUnits);
  EXPECT_EQ(rec.dcr_adwArgs[DDM_SetTextureStageState][0], (DWORD)(gfx_ctTextureUnits - 1));
  EXPECT_EQ(rec.dcr_adwArgs[DDM_SetTextureStageState][1], (DWORD)D3DTSS_BUMPENVMAT11);
  float f = 0.0f;
  memcpy(&f, &rec.dcr_adwArgs[DDM_SetTextureStageState][2], 4);
  EXPECT_EQ(f, 0.1f);
  for (long i = 0; i < 16; i++) EXPECT_EQ(_gfx_ahCurrentTexture[i], 0);
  EXPECT_EQ(_gfx_atpGlobalTexParams[gfx_ctTextureUnits - 1].tp_eFilter, 207);
  EXPECT_EQ(_gfx_atpGlobalTexParams[15].tp_eFilter, gfx_ctTextureUnits < 16 ? 209 : 207);
}

} // namespace
