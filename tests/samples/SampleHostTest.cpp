// Runs the sample host as a program of its own and checks what it leaves: the log's account of
// the run and a screenshot that shows the scene where the camera puts it. The runs: the small
// scene the build packs, a real model brought in by the importer (a glTF file of Debian's
// assimp-testmodels), content damaged after it was written, and an imported archive damaged
// after the import.
#include "TestSupport.h"
#include "samples/scene/Content.h"

#include <windows.h>

#include <gtest/gtest.h>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#include <stb_image.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

using namespace QuennelEngine;

namespace {

const char *const _strEngineModel =
    "/usr/share/assimp/models/glTF2/2CylinderEngine-glTF-Binary/2CylinderEngine.glb";

// A program's exit code, or -1 when it could not start or ran out of time.
long RunProgram(const std::string &strCommand)
{
  STARTUPINFOA si = {};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi = {};
  std::vector<char> ach(strCommand.begin(), strCommand.end());
  ach.push_back(0);
  if (!CreateProcessA(nullptr, ach.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                      &pi)) {
    return -1;
  }
  DWORD dwCode = (DWORD)-1;
  if (WaitForSingleObject(pi.hProcess, 300000) == WAIT_OBJECT_0) {
    GetExitCodeProcess(pi.hProcess, &dwCode);
  } else {
    TerminateProcess(pi.hProcess, 1);
  }
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return (long)dwCode;
}

// A file the host left beside its root (the folder above the programs' one), as bytes; the
// library's file system is not used, as the tests' root may be elsewhere.
std::string ReadHostFile(const char *strName)
{
  std::ifstream strm(std::string("../") + strName, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(strm), std::istreambuf_iterator<char>());
}

void WriteHostFile(const char *strName, const std::string &strBytes)
{
  CreateDirectoryA("../Temp", nullptr);
  CreateDirectoryA("../Temp/Damaged", nullptr);
  std::ofstream strm(std::string("../") + strName, std::ios::binary);
  strm.write(strBytes.data(), (std::streamsize)strBytes.size());
}

struct Screenshot {
  int ss_iWidth = 0;
  int ss_iHeight = 0;
  std::vector<unsigned long> ss_aul; // 0xRRGGBB, rows from the top
  unsigned long At(long x, long y) const { return ss_aul[y * ss_iWidth + x]; }
};

Screenshot ReadPng(const std::string &strBytes)
{
  Screenshot ss;
  int ctChannels = 0;
  unsigned char *pub =
      stbi_load_from_memory((const unsigned char *)strBytes.data(), (int)strBytes.size(),
                            &ss.ss_iWidth, &ss.ss_iHeight, &ctChannels, 3);
  if (pub == nullptr) return Screenshot();
  for (long i = 0; i < (long)ss.ss_iWidth * ss.ss_iHeight; i++) {
    ss.ss_aul.push_back((unsigned long)pub[3 * i] << 16 | pub[3 * i + 1] << 8 | pub[3 * i + 2]);
  }
  stbi_image_free(pub);
  return ss;
}

// One run of the host: its exit code, its log and its screenshot, and what the log says of the
// screenshot.
struct HostRun {
  long hr_iExitCode = -1;
  std::string hr_strLog;
  Screenshot hr_ss;
  bool hr_bShot = false;
  unsigned int hr_uClear = 0;
  int hr_iX = 0, hr_iY = 0;
  bool hr_bDrewNothing = true;

  void Run(const std::string &strArguments)
  {
    remove("../Temp/Screenshot.png"); // a screenshot of an earlier run proves nothing
    hr_iExitCode = RunProgram("SampleHost.exe " + strArguments);
    hr_strLog = ReadHostFile("Temp/SampleHost.log");
    const size_t i = hr_strLog.find("screenshot Temp/Screenshot.png (");
    if (i == std::string::npos) return;
    int iWidth = 0, iHeight = 0;
    hr_bShot = sscanf(hr_strLog.c_str() + i,
                      "screenshot Temp/Screenshot.png (%dx%d, clear colour %X, "
                      "scene centre at %d,%d)",
                      &iWidth, &iHeight, &hr_uClear, &hr_iX, &hr_iY) == 5;
    hr_ss = ReadPng(ReadHostFile("Temp/Screenshot.png"));
    hr_bShot = hr_bShot && hr_ss.ss_iWidth == iWidth && hr_ss.ss_iHeight == iHeight && hr_iX >= 0 &&
               hr_iX < iWidth && hr_iY >= 0 && hr_iY < iHeight;
    const size_t iEnd = hr_strLog.find('\n', i);
    hr_bDrewNothing =
        hr_strLog.substr(i, iEnd - i).find("the backend drew nothing") != std::string::npos;
  }
  bool Logged(const char *str) const { return hr_strLog.find(str) != std::string::npos; }
  // The share of pixels that are not the clear colour.
  double Coverage(void) const
  {
    long ct = 0;
    for (unsigned long ul : hr_ss.ss_aul) ct += ul != hr_uClear;
    return hr_ss.ss_aul.empty() ? 0.0 : (double)ct / hr_ss.ss_aul.size();
  }
  long CountColours(void) const
  {
    std::vector<unsigned long> aul;
    for (unsigned long ul : hr_ss.ss_aul) {
      bool bKnown = false;
      for (unsigned long u : aul) bKnown = bKnown || u == ul;
      if (!bKnown) aul.push_back(ul);
      if (aul.size() > 64) break;
    }
    return (long)aul.size();
  }
};

// The runs are slow (a window, a device, frames): once for every test of the program.
class SampleHost : public testing::Test {
protected:
  static HostRun &Cube(void)
  {
    static HostRun hr;
    static bool bRan = false;
    if (!bRan) bRan = true, hr.Run("");
    return hr;
  }
  static HostRun &Engine(void)
  {
    static HostRun hr;
    static bool bRan = false;
    if (!bRan) {
      bRan = true;
      remove("../Temp/Engine.gro");
      CreateDirectoryA("../Temp", nullptr);
      _iImportExitCode = RunProgram(std::string("qeimport.exe ") + _strEngineModel +
                                    " ../Temp/Engine.gro --quiet");
      hr.Run("--frames 10 ../Temp/Engine.gro");
    }
    return hr;
  }
  static long _iImportExitCode;
};
long SampleHost::_iImportExitCode = -1;

TEST_F(SampleHost, RunsTheSmallSceneToItsEndWithACompleteLog)
{
  const HostRun &hr = Cube();
  EXPECT_EQ(hr.hr_iExitCode, 0);
  for (const char *str :
       {"mounted SampleContent.gro", "loading Content/Scene.wld: 100%",
        "'A turning cube' from Content/Scene.wld: 1 node(s), 1 mesh(es), 24 vertices, 12 triangles",
        "Cube: 24 vertices, 12 triangles, texture Checker (32x32)", "1 mesh draw(s), 0 skipped",
        "a frame: 1 draw calls", "start to first frame", "saved the scene as Temp/Scene.bwld",
        "Services in 'Group.Application' runlevel '0' stopped."}) {
    EXPECT_TRUE(hr.Logged(str)) << str;
  }
  EXPECT_FALSE(hr.Logged("did not load"));
  EXPECT_FALSE(hr.Logged("did not start"));
}

TEST_F(SampleHost, SmallSceneScreenshotShowsTheTexturedCubeAtTheCentre)
{
  const HostRun &hr = Cube();
  ASSERT_TRUE(hr.hr_bShot) << "no screenshot";
  EXPECT_FALSE(hr.hr_bDrewNothing);
  const Screenshot &ss = hr.hr_ss;
  EXPECT_NE(ss.At(hr.hr_iX, hr.hr_iY), hr.hr_uClear) << "the cube is not at the projected centre";
  // Textured: around the centre the checker shows colours of its own, none of them the clear.
  std::vector<unsigned long> aulSeen;
  for (int y = hr.hr_iY - 16; y <= hr.hr_iY + 16; y += 4) {
    for (int x = hr.hr_iX - 16; x <= hr.hr_iX + 16; x += 4) {
      const unsigned long ul = ss.At(x, y);
      EXPECT_NE(ul, hr.hr_uClear) << x << "," << y;
      bool bKnown = false;
      for (unsigned long u : aulSeen) bKnown = bKnown || u == ul;
      if (!bKnown) aulSeen.push_back(ul);
    }
  }
  EXPECT_GE(aulSeen.size(), 2u) << "one colour where the checker should show";
  // The corners are background: the cube is where the camera says, not everywhere.
  EXPECT_EQ(ss.At(0, 0), hr.hr_uClear);
  EXPECT_EQ(ss.At(ss.ss_iWidth - 1, ss.ss_iHeight - 1), hr.hr_uClear);
}

TEST_F(SampleHost, DrawsAnImportedModelWhole)
{
  const HostRun &hr = Engine();
  ASSERT_EQ(_iImportExitCode, 0) << "qeimport did not import " << _strEngineModel;
  EXPECT_EQ(hr.hr_iExitCode, 0);
  for (const char *str :
       {"mounted ../Temp/Engine.gro: 3 entries", "loading Content/Engine/Scene.wld: 100%",
        "'2CylinderEngine.glb' from Content/Engine/Scene.wld:",
        "34 mesh(es), 55843 vertices, 75730 triangles",
        "115 mesh draw(s), 0 skipped", // meshes drawn by several nodes
        "10 frames, 1214960 triangles drawn", "a frame: 115 draw calls"}) {
    EXPECT_TRUE(hr.Logged(str)) << str << "\n" << hr.hr_strLog;
  }
  ASSERT_TRUE(hr.hr_bShot) << "no screenshot";
  EXPECT_FALSE(hr.hr_bDrewNothing);
  // Framed whole: a good part of the picture, shaded in many tones, and clear at the corners.
  EXPECT_GT(hr.Coverage(), 0.08);
  EXPECT_LT(hr.Coverage(), 0.95);
  EXPECT_GE(hr.CountColours(), 16);
  const Screenshot &ss = hr.hr_ss;
  EXPECT_EQ(ss.At(0, 0), hr.hr_uClear);
  EXPECT_EQ(ss.At(ss.ss_iWidth - 1, 0), hr.hr_uClear);
  EXPECT_EQ(ss.At(0, ss.ss_iHeight - 1), hr.hr_uClear);
  EXPECT_EQ(ss.At(ss.ss_iWidth - 1, ss.ss_iHeight - 1), hr.hr_uClear);
}

// Content whose counts and references were changed after it was written, as a damaged or hostile
// file would hold them: the host skips what it cannot draw, draws the rest and ends normally.
class DamagedContent : public testing::Test {
protected:
  static const char *const _astrServices[3];
  static void SetUpTestSuite()
  {
    for (const char *str : _astrServices) svcStartService(strConvertStringToID(str));
  }
  static void TearDownTestSuite()
  {
    resFreeUnusedStock();
    for (long i = 2; i >= 0; i--) svcStopService(strConvertStringToID(_astrServices[i]));
  }
  static std::string Bytes(CResourceFile *prf)
  {
    CStream strm;
    strm.CreateMemoryStream();
    mdInternalWrite_t(strm,
                      CMetaPointer(CResourceFile::md_pdtDataType, static_cast<CObject *>(prf)));
    std::string str(strm.GetSize(), 0);
    strm.SeekBeg_t(0);
    strm.Read_t(&str[0], (long)str.size());
    return str;
  }
  // Writes the small scene with damaged copies of its cube beside the good one.
  static void WriteDamagedScene(void)
  {
    CResourceFile *prfTextures = nullptr;
    CResourceFile *prf =
        MakeSampleScene("Temp/Damaged/Scene.wld", "Temp/Damaged/Textures.rsc", prfTextures);
    CSampleScene *pss = CastContent<CSampleScene>(prf->FindDefaultResource());
    CSampleNode *pnodCube = CastContent<CSampleNode>(pss->ss_apnodNodes[0]);
    CSampleMesh *psmCube = CastContent<CSampleMesh>(pnodCube->sn_apmeshMeshes[0]);
    CSampleMaterial *pmat = CastContent<CSampleMaterial>(psmCube->sm_pmatMaterial);
    auto Copy = [&](const char *strName) {
      CSampleMesh *psm = new CSampleMesh;
      prf->RegisterResource(psm);
      psm->SetName(strName);
      psm->sm_afPositions = psmCube->sm_afPositions;
      psm->sm_afTexCoords = psmCube->sm_afTexCoords;
      psm->sm_afNormals = psmCube->sm_afNormals;
      psm->sm_aiIndices = psmCube->sm_aiIndices;
      psm->sm_pmatMaterial = pmat;
      pnodCube->sn_apmeshMeshes.Push() = psm;
      return psm;
    };
    Copy("Index beyond")->sm_aiIndices[7] = 1000000;
    Copy("Index below")->sm_aiIndices[0] = -5;
    Copy("Coordinates short")->sm_afTexCoords.Pop();
    Copy("No whole triangle")->sm_aiIndices.Pop();
    Copy("Not finite")->sm_afPositions[4] = std::numeric_limits<float>::infinity();
    Copy("Material of another class")->sm_pmatMaterial = psmCube;
    // A mesh slot holding a material, a texture slot holding a mesh, a child that is the node's
    // own parent (a cycle), and a texture whose pixels do not fill it.
    pnodCube->sn_apmeshMeshes.Push() = pmat;
    pmat->sm_ptexBaseColor = psmCube;
    CSampleNode *pnodChild = new CSampleNode;
    prf->RegisterResource(pnodChild);
    pnodChild->sn_apnodChildren.Push() = pnodCube;
    pnodCube->sn_apnodChildren.Push() = pnodChild;
    CSampleMaterial *pmatTextured = new CSampleMaterial;
    prf->RegisterResource(pmatTextured);
    pmatTextured->sm_pprgProgram = pmat->sm_pprgProgram;
    CSampleTexture *ptex = CastContent<CSampleTexture>(prfTextures->FindDefaultResource());
    ptex->st_iWidth = 33;
    pmatTextured->sm_ptexBaseColor = ptex;
    Copy("Texture short")->sm_pmatMaterial = pmatTextured;
    WriteHostFile("Temp/Damaged/Scene.wld", Bytes(prf));
    WriteHostFile("Temp/Damaged/Textures.rsc", Bytes(prfTextures));
    delete prf;
    delete prfTextures;
  }
  static HostRun &Damaged(void)
  {
    static HostRun hr;
    static bool bRan = false;
    if (!bRan) {
      bRan = true;
      WriteDamagedScene();
      hr.Run("--frames 4 Temp/Damaged/Scene.wld");
    }
    return hr;
  }
  QuennelEngine::Test::CThreadServices m_ts;
};
const char *const DamagedContent::_astrServices[3] = {"Service.ResourceBrowseInfo",
                                                      "Service.Resource", "Service.ResourceLoader"};

TEST_F(DamagedContent, HostSkipsWhatItCannotDrawAndDrawsTheRest)
{
  const HostRun &hr = Damaged();
  EXPECT_EQ(hr.hr_iExitCode, 0) << hr.hr_strLog;
  for (const char *str :
       {"loading Temp/Damaged/Scene.wld: 100%", "mesh 'Index beyond' skipped: index 7 is 1000000",
        "mesh 'Index below' skipped: index 0 is -5", "mesh 'Coordinates short' skipped",
        "mesh 'No whole triangle' skipped", "mesh 'Not finite' skipped: position float 4",
        "mesh 'Material of another class' skipped: it has no material with a program",
        "refers to a mesh that is none", "refers to a texture that is none",
        "texture 'Checker' is drawn white: it has 1024 pixels for 33x32",
        "node reference(s) not followed", "2 mesh draw(s), 8 skipped",
        "Services in 'Group.Application' runlevel '0' stopped."}) {
    EXPECT_TRUE(hr.Logged(str)) << str << "\n" << hr.hr_strLog;
  }
  ASSERT_TRUE(hr.hr_bShot) << hr.hr_strLog;
  EXPECT_FALSE(hr.hr_bDrewNothing);
  EXPECT_NE(hr.hr_ss.At(hr.hr_iX, hr.hr_iY), hr.hr_uClear) << "the good cube is not drawn";
}

// An imported archive damaged afterwards, as a disk or a download may leave it: the host reports
// what it cannot load and ends normally.
class DamagedArchive : public testing::Test {
public:
  // The offsets of an entry's local header and central header in the archive's bytes (the local
  // headers come first and the central directory last).
  static bool FindEntry(const std::string &strZip, const std::string &strName, size_t &slLocal,
                        size_t &slCentral)
  {
    const size_t slFirst = strZip.find(strName);
    // (the name also stands in other entries' data: the scene's and the preload list's)
    const size_t slSecond = strZip.rfind(strName);
    if (slFirst == std::string::npos || slSecond == slFirst || slFirst < 30) return false;
    slLocal = slFirst - 30;
    slCentral = slSecond - 46;
    return strZip.compare(slLocal, 4, "PK\x03\x04") == 0 &&
           strZip.compare(slCentral, 4, "PK\x01\x02") == 0;
  }
  static unsigned long Get(const std::string &str, size_t sl, int ct)
  {
    unsigned long ul = 0;
    for (int i = ct - 1; i >= 0; i--) ul = ul << 8 | (unsigned char)str[sl + i];
    return ul;
  }
  static void Put32(std::string &str, size_t sl, unsigned long ul)
  {
    for (int i = 0; i < 4; i++) str[sl + i] = (char)(ul >> (8 * i));
  }
  // Imports the textured box once; its archive's bytes.
  static const std::string &Imported(void)
  {
    static std::string str;
    if (str.empty()) {
      CreateDirectoryA("../Temp", nullptr);
      remove("../Temp/Box.gro");
      RunProgram(std::string("qeimport.exe ") + _strBoxModel + " ../Temp/Box.gro --quiet");
      str = ReadHostFile("Temp/Box.gro");
    }
    return str;
  }
  static const char *const _strBoxModel;
};
const char *const DamagedArchive::_strBoxModel =
    "/usr/share/assimp/models/glTF2/BoxTextured-glTF-Binary/BoxTextured.glb";

// The two damaged copies of the imported box and the host's runs on them, made once for every
// repetition of the test.
struct DamagedRuns {
  std::string dr_strProblem; // why the copies could not be made ("" when they were)
  HostRun dr_hrFlipped;
  HostRun dr_hrOverwritten;
};

const DamagedRuns &Damaged(void)
{
  static DamagedRuns dr;
  static bool bRan = false;
  if (bRan) return dr;
  bRan = true;
  const std::string &strGood = DamagedArchive::Imported();
  size_t slLocal = 0, slCentral = 0;
  if (!DamagedArchive::FindEntry(strGood, "Content/Box/Meshes.rsc", slLocal, slCentral)) {
    dr.dr_strProblem = "no meshes file in the imported archive";
    return dr;
  }
  const size_t slData = slLocal + 30 + DamagedArchive::Get(strGood, slLocal + 26, 2) +
                        DamagedArchive::Get(strGood, slLocal + 28, 2);
  const long slSize = (long)DamagedArchive::Get(strGood, slLocal + 22, 4);
  if (DamagedArchive::Get(strGood, slLocal + 8, 2) != 0 || slSize < 400) {
    dr.dr_strProblem = "the meshes file is not stored, or short";
    return dr;
  }
  // A byte changed under its CRC-32.
  std::string strFlipped = strGood;
  strFlipped[slData + slSize / 2] ^= 0x10;
  WriteHostFile("Temp/Flipped.gro", strFlipped);
  dr.dr_hrFlipped.Run("--frames 2 ../Temp/Flipped.gro");
  // Counts and references overwritten with a CRC-32 to match, so that the reader sees them:
  // every 24th word of the meshes file's second half made huge.
  std::string strDamaged = strGood;
  for (long sl = slSize / 2; sl + 4 <= slSize; sl += 96) {
    DamagedArchive::Put32(strDamaged, slData + sl, 0x7FFFFFF0);
  }
  const unsigned long ulCRC = crcCalculate(strDamaged.data() + slData, slSize);
  DamagedArchive::Put32(strDamaged, slLocal + 14, ulCRC);
  DamagedArchive::Put32(strDamaged, slCentral + 16, ulCRC);
  WriteHostFile("Temp/Overwritten.gro", strDamaged);
  dr.dr_hrOverwritten.Run("--frames 2 ../Temp/Overwritten.gro");
  return dr;
}

TEST_F(DamagedArchive, HostReportsWhatItCannotLoadAndEndsNormally)
{
  const DamagedRuns &dr = Damaged();
  ASSERT_EQ(dr.dr_strProblem, "");
  // The flipped byte: the archive says so, and the stock stands a replacement in for the meshes
  // file, so nothing is drawn of it.
  const HostRun &hrFlipped = dr.dr_hrFlipped;
  EXPECT_EQ(hrFlipped.hr_iExitCode, 0) << hrFlipped.hr_strLog;
  for (const char *str :
       {"Flipped.gro/Content/Box/Meshes.rsc: Damaged entry (CRC-32 mismatch)",
        "(Content/Box/Meshes.rsc). Creating replacement file.", "0 mesh draw(s), 1 skipped",
        "Services in 'Group.Application' runlevel '0' stopped."}) {
    EXPECT_TRUE(hrFlipped.Logged(str)) << str << "\n" << hrFlipped.hr_strLog;
  }
  // The overwritten counts and references reach the reader: refused whole, or drawn without what
  // does not hold together.
  const HostRun &hrDamaged = dr.dr_hrOverwritten;
  EXPECT_EQ(hrDamaged.hr_iExitCode, 0) << hrDamaged.hr_strLog;
  EXPECT_FALSE(hrDamaged.Logged("CRC-32")) << hrDamaged.hr_strLog;
  EXPECT_TRUE(hrDamaged.Logged("Services in 'Group.Application' runlevel '0' stopped."))
      << hrDamaged.hr_strLog;
  EXPECT_TRUE(hrDamaged.Logged("the scene did not load") || hrDamaged.Logged("mesh draw(s)"))
      << hrDamaged.hr_strLog;
}

} // namespace
