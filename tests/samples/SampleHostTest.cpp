// Runs the sample host as a program of its own and checks what it leaves: the log's account of
// the run and a screenshot that shows the mesh where the camera puts it.
#include "TestSupport.h"

#include <windows.h>

#include <gtest/gtest.h>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#include <stb_image.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using namespace QuennelEngine;

namespace {

// The host's exit code, or -1 when it could not start or ran out of time.
long RunHost(void)
{
  STARTUPINFOA si = {};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi = {};
  char achCommand[] = "SampleHost.exe";
  if (!CreateProcessA(nullptr, achCommand, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                      &pi)) {
    return -1;
  }
  DWORD dwCode = (DWORD)-1;
  if (WaitForSingleObject(pi.hProcess, 120000) == WAIT_OBJECT_0) {
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

// The run is slow (a window, a device, sixty frames): once for every test of the program.
class SampleHost : public testing::Test {
protected:
  static void SetUpTestSuite()
  {
    if (_bRan) return;
    _bRan = true;
    remove("../Temp/Screenshot.png"); // a screenshot of an earlier run proves nothing
    _iExitCode = RunHost();
    _strLog = ReadHostFile("Temp/SampleHost.log");
    _strPng = ReadHostFile("Temp/Screenshot.png");
  }
  static bool _bRan;
  static long _iExitCode;
  static std::string _strLog;
  static std::string _strPng;
};
bool SampleHost::_bRan = false;
long SampleHost::_iExitCode = -1;
std::string SampleHost::_strLog;
std::string SampleHost::_strPng;

TEST_F(SampleHost, RunsToItsEndWithACompleteLog)
{
  EXPECT_EQ(_iExitCode, 0);
  for (const char *str : {"mounted SampleContent.gro", "loading Content/Scene.wld: 100%",
                          "'A turning cube' from Content/Scene.wld",
                          "Cube: 24 vertices, 12 triangles, texture Checker (32x32)",
                          "start to first frame", "saved the scene as Temp/Scene.bwld",
                          "Services in 'Group.Application' runlevel '0' stopped."}) {
    EXPECT_NE(_strLog.find(str), std::string::npos) << str;
  }
  EXPECT_EQ(_strLog.find("did not load"), std::string::npos);
  EXPECT_EQ(_strLog.find("did not start"), std::string::npos);
}

TEST_F(SampleHost, ScreenshotShowsTheMeshAtTheProjectedCentre)
{
  size_t i = _strLog.find("screenshot Temp/Screenshot.png (");
  ASSERT_NE(i, std::string::npos) << "no screenshot";
  int iWidth = 0, iHeight = 0, iX = 0, iY = 0;
  unsigned int uClear = 0;
  ASSERT_EQ(sscanf(_strLog.c_str() + i,
                   "screenshot Temp/Screenshot.png (%dx%d, clear colour %X, "
                   "mesh centre at %d,%d)",
                   &iWidth, &iHeight, &uClear, &iX, &iY),
            5);
  Screenshot ss = ReadPng(_strPng);
  ASSERT_EQ(ss.ss_iWidth, iWidth);
  ASSERT_EQ(ss.ss_iHeight, iHeight);
  ASSERT_TRUE(iX >= 0 && iX < iWidth && iY >= 0 && iY < iHeight);
  bool bUniform = true;
  for (unsigned long ul : ss.ss_aul) bUniform = bUniform && ul == ss.ss_aul[0];
  size_t iEnd = _strLog.find('\n', i);
  bool bDrewNothing =
      _strLog.substr(i, iEnd - i).find("the backend drew nothing") != std::string::npos;
  EXPECT_FALSE(bDrewNothing);
  EXPECT_FALSE(bUniform);
  EXPECT_NE(ss.At(iX, iY), uClear) << "the mesh is not at the projected centre";
  // Textured: around the centre the checker shows colours of its own, none of them the clear.
  std::vector<unsigned long> aulSeen;
  for (int y = iY - 20; y <= iY + 20; y += 4) {
    for (int x = iX - 20; x <= iX + 20; x += 4) {
      const unsigned long ul = ss.At(x, y);
      EXPECT_NE(ul, uClear) << x << "," << y;
      bool bKnown = false;
      for (unsigned long u : aulSeen) bKnown = bKnown || u == ul;
      if (!bKnown) aulSeen.push_back(ul);
    }
  }
  EXPECT_GE(aulSeen.size(), 2u) << "one colour where the checker should show";
  // The corners are background: the mesh is where the camera says, not everywhere.
  EXPECT_EQ(ss.At(0, 0), uClear);
  EXPECT_EQ(ss.At(iWidth - 1, iHeight - 1), uClear);
}

} // namespace
