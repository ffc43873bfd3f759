// Textures seen through drawing: a quad samples each level of a texture of every format (a solid
// colour per level, chosen by an explicit level of detail), the faces of a cube, a slice of a
// volume, a video frame through the shared surface, and the wrap modes. What the pixels show is
// what the device really holds after the upload, conversions included.
#include "BackendFixture.h"

#include <stdlib.h>

#include <vector>

namespace {

using namespace QuennelEngine;
using QuennelEngine::Test::Backend;

const long _iSize = 64;

const char *const _strVertex = "vs_3_0\n"
                               "dcl_texcoord0 v0\n"
                               "dcl_texcoord1 v1\n"
                               "dcl_position o0\n"
                               "dcl_texcoord0 o1\n"
                               "mov o0, v0\n"
                               "mov o1, v1\n";
// c0.w is the level sampled; the alpha program shows the sampled alpha as grey.
const char *const _strColor2D = "ps_3_0\n"
                                "dcl_texcoord0 v0.xy\n"
                                "dcl_2d s0\n"
                                "mov r0.xy, v0\n"
                                "mov r0.zw, c0\n"
                                "texldl r1, r0, s0\n"
                                "mov oC0, r1\n";
const char *const _strAlpha2D = "ps_3_0\n"
                                "dcl_texcoord0 v0.xy\n"
                                "dcl_2d s0\n"
                                "mov r0.xy, v0\n"
                                "mov r0.zw, c0\n"
                                "texldl r1, r0, s0\n"
                                "mov oC0, r1.w\n";
// c1 is the sampled coordinate (a direction for cubes).
const char *const _strCube = "ps_3_0\n"
                             "dcl_cube s0\n"
                             "mov r0, c1\n"
                             "texldl r1, r0, s0\n"
                             "mov oC0, r1\n";
const char *const _strVolume = "ps_3_0\n"
                               "dcl_volume s0\n"
                               "mov r0, c1\n"
                               "texldl r1, r0, s0\n"
                               "mov oC0, r1\n";

struct RGBA {
  long r, g, b, a;
};

inline unsigned short Bits565(const RGBA &c)
{
  return (unsigned short)(((c.r >> 3) << 11) | ((c.g >> 2) << 5) | (c.b >> 3));
}

// One texel (or one block for DXT, one pixel pair for YUY2) of a solid colour in a format.
std::vector<BYTE> Texel(GfxColorFormat eFormat, const RGBA &c)
{
  auto Words = [](std::initializer_list<unsigned short> auw) {
    std::vector<BYTE> aub;
    for (unsigned short uw : auw) {
      aub.push_back(BYTE(uw));
      aub.push_back(BYTE(uw >> 8));
    }
    return aub;
  };
  auto Half = [](long l) { return (unsigned short)(l == 255 ? 0x3C00 : l == 0 ? 0 : 0x3800); };
  const unsigned long ul = (c.a << 24) | (c.r << 16) | (c.g << 8) | c.b;
  std::vector<BYTE> aubColorBlock = Words({Bits565(c), Bits565(c), 0, 0});
  switch (eFormat) {
  case GCF_XRGB8:
  case GCF_ARGB8:
    return {BYTE(ul), BYTE(ul >> 8), BYTE(ul >> 16), BYTE(ul >> 24)};
  case GCF_RGB565:
    return Words({Bits565(c)});
  case GCF_ARGB1555:
    return Words({(unsigned short)((c.a ? 0x8000 : 0) | ((c.r >> 3) << 10) | ((c.g >> 3) << 5) |
                                   (c.b >> 3))});
  case GCF_ARGB4:
    return Words({(unsigned short)(((c.a >> 4) << 12) | ((c.r >> 4) << 8) | ((c.g >> 4) << 4) |
                                   (c.b >> 4))});
  case GCF_AL8:
    return {BYTE(c.r), BYTE(c.a)};
  case GCF_L8:
    return {BYTE(c.r)};
  case GCF_A8:
    return {BYTE(c.a)};
  case GCF_RGBA16F:
    return Words({Half(c.r), Half(c.g), Half(c.b), Half(c.a)});
  case GCF_DXT1:
    return aubColorBlock;
  case GCF_DXT3: {
    std::vector<BYTE> aub(8, 0xFF);
    aub.insert(aub.end(), aubColorBlock.begin(), aubColorBlock.end());
    return aub;
  }
  case GCF_DXT5: {
    std::vector<BYTE> aub = {BYTE(c.a), BYTE(c.a), 0, 0, 0, 0, 0, 0};
    aub.insert(aub.end(), aubColorBlock.begin(), aubColorBlock.end());
    return aub;
  }
  case GCF_YUY2: // grey: luminance only
    return {BYTE(c.r), 128, BYTE(c.r), 128};
  default:
    return {};
  }
}

bool IsBlocks(GfxColorFormat e)
{
  return e == GCF_DXT1 || e == GCF_DXT3 || e == GCF_DXT5;
}

// A level of the given size filled with the colour.
void AppendLevel(std::vector<BYTE> &aub, GfxColorFormat eFormat, long iWidth, long iHeight,
                 const RGBA &c)
{
  const std::vector<BYTE> aubTexel = Texel(eFormat, c);
  long ct = iWidth * iHeight;
  if (IsBlocks(eFormat)) ct = ((iWidth + 3) / 4) * ((iHeight + 3) / 4);
  if (eFormat == GCF_YUY2) ct = ((iWidth + 1) / 2) * iHeight;
  for (long i = 0; i < ct; i++) aub.insert(aub.end(), aubTexel.begin(), aubTexel.end());
}

class TextureSample : public Backend {
protected:
  void SetUp() override
  {
    Backend::SetUp();
    long iWidth, iHeight;
    StartWindowed(iWidth, iHeight);
    ASSERT_EQ(gfx_eCurrentAPI, GAT_D3D);
    if (gfx_iPixelProgramVersion < 30 || gfx_iVertexProgramVersion < 30) {
      GTEST_SKIP() << "no version 3 programs on this device";
    }
    m_cv.cv_pcaAPI = _gfxNewRenderCanvas(_iSize, _iSize, GCF_XRGB8, GCF_SHAREDDEPTH, 0);
    ASSERT_NE(m_cv.cv_pcaAPI, nullptr);
    Target(&m_cv, _iSize, _iSize);
    for (const char *str : {_strVertex, _strColor2D, _strAlpha2D, _strCube, _strVolume}) {
      const bool bVertex = str == _strVertex;
      m_ahPrograms.push_back(_gfxCreateProgram(str, bVertex));
      ASSERT_GT(m_ahPrograms.back(), 0) << str;
    }
    _gfxBindVertexProgram(m_ahPrograms[0]);
    _gfxCullFace(GFF_NONE);
  }
  void TearDown() override
  {
    for (long h : m_ahPrograms) {
      if (h > 0) _gfxReleaseProgram(_gfx_avppPrograms[h - 1], h == m_ahPrograms[0]);
    }
    if (m_cv.cv_pcaAPI != nullptr) _gfxReleaseCanvas(&m_cv);
    Backend::TearDown();
  }
  // Draws the target-filling quad with texture coordinates u0..u1 through the pixel program,
  // the level in c0.w and the coordinate in c1; returns the centre pixel.
  unsigned long Sample(long hPixel, float fLevel, const float afCoord[4] = nullptr,
                       float fU0 = 0.0f, float fU1 = 1.0f)
  {
    _gfxBindPixelProgram(hPixel);
    const float afC0[4] = {0, 0, 0, fLevel};
    _gfxPixelProgramConstants(0, 1, afC0);
    if (afCoord != nullptr) _gfxPixelProgramConstants(1, 1, afCoord);
    const float afPositions[] = {-1, -1, 0.5f, 1, -1, 0.5f, 1,  1, 0.5f,
                                 -1, -1, 0.5f, 1, 1,  0.5f, -1, 1, 0.5f};
    const float afUV[] = {fU0, 1, fU1, 1, fU1, 0, fU0, 1, fU1, 0, fU0, 0};
    _gfxClear(GTA_COLOR, 0xFF123456, 1.0f, 0);
    _gfxBindVertexArray(0, afPositions, GUT_FLOAT3, sizeof(afPositions), 0);
    _gfxBindVertexArray(1, afUV, GUT_FLOAT2, sizeof(afUV), 0);
    _gfxDrawVertices(GPR_TRIANGLES, 2, 0);
    _gfxUnbindVertexBuffers();
    std::vector<unsigned long> aul = Grab(_iSize / 2, _iSize / 2, _iSize / 2, _iSize / 2);
    return aul.empty() ? 0xDEADBEEF : aul[0];
  }
  static bool Near(unsigned long ul, long r, long g, long b, long lTolerance = 3)
  {
    return labs(long((ul >> 16) & 0xFF) - r) <= lTolerance &&
           labs(long((ul >> 8) & 0xFF) - g) <= lTolerance &&
           labs(long(ul & 0xFF) - b) <= lTolerance;
  }
  static long Levels(long hTexture)
  {
    return (long)((IDirect3DBaseTexture9 *)_gfx_atpTextures[hTexture - 1].tp_pTexture)
        ->GetLevelCount();
  }

  CCanvas m_cv;
  std::vector<long> m_ahPrograms;
};

TEST_F(TextureSample, EveryFormatSamplesEachOfItsLevelsAtAnyWidth)
{
  // A colour per level that every format holds exactly (grey ones for luminance and alpha).
  const RGBA acColor[3] = {{255, 0, 0, 255}, {0, 255, 0, 128}, {0, 0, 255, 255}};
  const RGBA acGrey[3] = {{255, 255, 255, 255}, {128, 128, 128, 128}, {64, 64, 64, 64}};
  for (long iFormat = GCF_XRGB8; iFormat <= GCF_DXT5; iFormat++) {
    const GfxColorFormat eFormat = GfxColorFormat(iFormat);
    const bool bGrey = eFormat == GCF_AL8 || eFormat == GCF_L8 || eFormat == GCF_A8;
    const bool bAlpha = eFormat == GCF_ARGB8 || eFormat == GCF_ARGB4 || eFormat == GCF_AL8 ||
                        eFormat == GCF_A8 || eFormat == GCF_RGBA16F || eFormat == GCF_DXT5;
    const RGBA *ac = bGrey ? acGrey : acColor;
    const long aiWidths[] = {1, 2, 3, 5, 4};
    for (long iWidth : aiWidths) {
      // Blocks need sides of four or more to keep a block-compressed format.
      const long iHeight = IsBlocks(eFormat) ? 16 : 4;
      if (IsBlocks(eFormat) && iWidth != 4) continue;
      SCOPED_TRACE(testing::Message()
                   << "format " << iFormat << ", " << iWidth << " x " << iHeight);
      const long hTexture = _gfxCreateTexture(iWidth, iHeight, 1, 1, eFormat);
      ASSERT_GT(hTexture, 0);
      const long ctLevels = Levels(hTexture);
      EXPECT_GE(ctLevels, (iWidth & (iWidth - 1)) == 0 || (gfx_ulFlags & GLF_NONPOW2) ? 3 : 1);
      const GfxColorFormat eReal = _gfx_atpTextures[hTexture - 1].tp_eFormat;
      std::vector<BYTE> aub;
      for (long iLevel = 0; iLevel < ctLevels; iLevel++) {
        AppendLevel(aub, eReal == eFormat ? eFormat : GCF_ARGB8,
                    iWidth >> iLevel > 0 ? iWidth >> iLevel : 1,
                    iHeight >> iLevel > 0 ? iHeight >> iLevel : 1, ac[iLevel < 3 ? iLevel : 2]);
      }
      _gfxUploadTexture(hTexture, aub.data(), eReal == eFormat ? eFormat : GCF_ARGB8, 0,
                        ctLevels - 1, 0, 0);
      _gfxBindTexture(0, hTexture);
      _gfxTextureFiltering(0, GTF_BILINEAR, 1, 0.0f);
      for (long iLevel = 0; iLevel < ctLevels && iLevel < 3; iLevel++) {
        const RGBA &c = ac[iLevel];
        const unsigned long ul = Sample(m_ahPrograms[1], float(iLevel));
        if (eFormat == GCF_A8) {
          EXPECT_TRUE(Near(ul, 0, 0, 0)) << "level " << iLevel << ": " << std::hex << ul;
        } else {
          EXPECT_TRUE(Near(ul, c.r, c.g, c.b)) << "level " << iLevel << ": " << std::hex << ul;
        }
        if (bAlpha) {
          const unsigned long ulAlpha = Sample(m_ahPrograms[2], float(iLevel));
          EXPECT_TRUE(Near(ulAlpha, c.a, c.a, c.a, 9))
              << "alpha of level " << iLevel << ": " << std::hex << ulAlpha;
        }
      }
      _gfxDeleteTexture(hTexture);
    }
  }
}

TEST_F(TextureSample, CompressedTexturesOfSixteenByTwoFiftySixSampleEveryNarrowLevel)
{
  const RGBA ac[9] = {{255, 0, 0, 255},     {0, 255, 0, 255},   {0, 0, 255, 255},
                      {255, 255, 0, 255},   {0, 255, 255, 255}, {255, 0, 255, 255},
                      {255, 255, 255, 255}, {0, 0, 0, 255},     {255, 0, 0, 255}};
  for (GfxColorFormat eFormat : {GCF_DXT1, GCF_DXT3, GCF_DXT5}) {
    SCOPED_TRACE(testing::Message() << "format " << long(eFormat));
    const long hTexture = _gfxCreateTexture(16, 256, 1, 1, eFormat);
    ASSERT_GT(hTexture, 0);
    ASSERT_EQ(_gfx_atpTextures[hTexture - 1].tp_eFormat, eFormat);
    ASSERT_EQ(Levels(hTexture), 9);
    std::vector<BYTE> aub;
    for (long iLevel = 0; iLevel < 9; iLevel++) {
      AppendLevel(aub, eFormat, 16 >> iLevel > 0 ? 16 >> iLevel : 1, 256 >> iLevel, ac[iLevel]);
    }
    _gfxUploadTexture(hTexture, aub.data(), eFormat, 0, 8, 0, 0);
    _gfxBindTexture(0, hTexture);
    _gfxTextureFiltering(0, GTF_BILINEAR, 1, 0.0f);
    for (long iLevel = 0; iLevel < 9; iLevel++) {
      const unsigned long ul = Sample(m_ahPrograms[1], float(iLevel));
      EXPECT_TRUE(Near(ul, ac[iLevel].r, ac[iLevel].g, ac[iLevel].b))
          << "level " << iLevel << ": " << std::hex << ul;
    }
    _gfxDeleteTexture(hTexture);
  }
}

TEST_F(TextureSample, CubeFacesVolumeSlicesAndVideoFramesSampleAsUploaded)
{
  // Six faces, six colours, in face order +x, -x, +y, -y, +z, -z.
  const RGBA acFaces[6] = {{255, 0, 0, 255},   {0, 255, 0, 255},   {0, 0, 255, 255},
                           {255, 255, 0, 255}, {0, 255, 255, 255}, {255, 0, 255, 255}};
  const long hCube = _gfxCreateTexture(8, 0, 1, 0, GCF_ARGB8);
  ASSERT_GT(hCube, 0);
  std::vector<BYTE> aub;
  for (const RGBA &c : acFaces) AppendLevel(aub, GCF_ARGB8, 8, 8, c);
  _gfxUploadTexture(hCube, aub.data(), GCF_ARGB8, 0, 0, 0, 5);
  _gfxBindTexture(0, hCube);
  _gfxTextureFiltering(0, GTF_NEAREST, 1, 0.0f);
  const float aafDirections[6][4] = {{1, 0, 0, 0},  {-1, 0, 0, 0}, {0, 1, 0, 0},
                                     {0, -1, 0, 0}, {0, 0, 1, 0},  {0, 0, -1, 0}};
  for (long iFace = 0; iFace < 6; iFace++) {
    const unsigned long ul = Sample(m_ahPrograms[3], 0, aafDirections[iFace]);
    EXPECT_TRUE(Near(ul, acFaces[iFace].r, acFaces[iFace].g, acFaces[iFace].b))
        << "face " << iFace << ": " << std::hex << ul;
  }
  _gfxDeleteTexture(hCube);

  if (gfx_pixMaxVolumeTextureSize > 0) {
    const long hVolume = _gfxCreateTexture(4, 4, 4, 0, GCF_ARGB8);
    ASSERT_GT(hVolume, 0);
    aub.clear();
    for (long iSlice = 0; iSlice < 4; iSlice++) AppendLevel(aub, GCF_ARGB8, 4, 4, acFaces[iSlice]);
    _gfxUploadTexture(hVolume, aub.data(), GCF_ARGB8, 0, 0, 0, 0);
    _gfxBindTexture(0, hVolume);
    for (long iSlice = 0; iSlice < 4; iSlice++) {
      const float afCoord[4] = {0.5f, 0.5f, (iSlice + 0.5f) / 4.0f, 0};
      const unsigned long ul = Sample(m_ahPrograms[4], 0, afCoord);
      EXPECT_TRUE(Near(ul, acFaces[iSlice].r, acFaces[iSlice].g, acFaces[iSlice].b))
          << "slice " << iSlice << ": " << std::hex << ul;
    }
    _gfxDeleteTexture(hVolume);
  }

  // A grey video frame (luminance 180, no colour) through YUY2: grey on the screen, also for
  // a second texture of the same size that shares the surface.
  if (gfx_ulFlags & (GLF_YUY2TEXTURES | GLF_YUY2CONVERSION)) {
    const long ahVideo[2] = {_gfxCreateTexture(16, 16, 1, 0, GCF_YUY2),
                             _gfxCreateTexture(16, 16, 1, 0, GCF_YUY2)};
    for (long hVideo : ahVideo) {
      ASSERT_GT(hVideo, 0);
      aub.clear();
      AppendLevel(aub, GCF_YUY2, 16, 16, {180, 180, 180, 255});
      _gfxUploadTexture(hVideo, aub.data(), GCF_VIDEOFRAME, 0, 0, 0, 0);
      _gfxBindTexture(0, hVideo);
      const unsigned long ul = Sample(m_ahPrograms[1], 0);
      const long r = (ul >> 16) & 0xFF, g = (ul >> 8) & 0xFF, b = ul & 0xFF;
      EXPECT_TRUE(labs(r - g) <= 4 && labs(g - b) <= 4 && r > 150 && r < 215) << std::hex << ul;
    }
    for (long hVideo : ahVideo) _gfxDeleteTexture(hVideo);
  }
}

TEST_F(TextureSample, RepeatWrapsAroundWhereClampKeepsTheEdge)
{
  // Two texels: red on the left, green on the right.
  const long hTexture = _gfxCreateTexture(2, 1, 1, 0, GCF_ARGB8);
  ASSERT_GT(hTexture, 0);
  const unsigned long aul[2] = {0xFFFF0000, 0xFF00FF00};
  _gfxUploadTexture(hTexture, (const unsigned char *)aul, GCF_ARGB8, 0, 0, 0, 0);
  _gfxBindTexture(0, hTexture);
  _gfxTextureFiltering(0, GTF_NEAREST, 1, 0.0f);
  // Across the quad u runs from 1 to 1.5: the centre samples u = 1.25.
  _gfxTextureWrapping(0, GTW_REPEAT, GTW_REPEAT, GTW_REPEAT);
  EXPECT_TRUE(Near(Sample(m_ahPrograms[1], 0, nullptr, 1.0f, 1.5f), 255, 0, 0));
  _gfxTextureWrapping(0, GTW_CLAMP, GTW_CLAMP, GTW_CLAMP);
  EXPECT_TRUE(Near(Sample(m_ahPrograms[1], 0, nullptr, 1.0f, 1.5f), 0, 255, 0));
  // The border colour shows outside with the border mode.
  if (gfx_ulFlags & GLF_BORDERCLAMP) {
    _gfxTextureWrapping(0, GTW_BORDER, GTW_BORDER, GTW_CLAMP);
    _gfxTextureBorderColor(0, 0xFF0000FF);
    EXPECT_TRUE(Near(Sample(m_ahPrograms[1], 0, nullptr, 1.0f, 1.5f), 0, 0, 255));
  }
  // Handle 0 binds the white texture.
  _gfxBindTexture(0, 0);
  if (gfx_hWhiteTexture != 0) {
    EXPECT_TRUE(Near(Sample(m_ahPrograms[1], 0), 255, 255, 255));
  }
  _gfxDeleteTexture(hTexture);
}

} // namespace
