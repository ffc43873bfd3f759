// Programs and occlusion queries: what they send the device (recorded), what the device holds
// (constants read back), the dumps, and every failure leaving no slot taken.
#include "BackendFixture.h"

#include <string>

namespace {

using namespace QuennelEngine;
using QuennelEngine::Test::Backend;

const char *const _strVertex = "# passes the position through\n"
                               "vs_1_1\n"
                               "dcl_texcoord0 v0\n"
                               "mov oPos, v0\n";
const char *const _strPixel = "ps_2_0\n"
                              "def c0, 1, 0, 0, 1\n"
                              "mov oC0, c0\n";

class Programs : public Backend {
protected:
  void SetUp() override
  {
    Backend::SetUp();
    StartRecorded();
  }
  void TearDown() override
  {
    for (long i = 0; i < _gfx_ctPrograms; i++) {
      VexPixProgram &vpp = _gfx_avppPrograms[i];
      if (vpp.vpp_pShader != nullptr) _gfxReleaseProgram(vpp, !(vpp.vpp_ulFlags & VPF_PIXEL));
    }
    gfx_bOutputGPUPrograms = 0;
    Backend::TearDown();
  }
  static long FreeSlot(void)
  {
    const long iSlot = _gfxFindEmptyProgramSlot();
    return iSlot;
  }
  // The dumped programs in Temp/ with the given extension; with bDelete they go.
  static long Dumps(const char *strExtension, bool bDelete, std::string *pstrText = nullptr)
  {
    const CString strDir = filSoftToHardPath("Temp/");
    WIN32_FIND_DATAA fd;
    HANDLE h =
        FindFirstFileA((std::string(strDir.str_String) + "D3D-*." + strExtension).c_str(), &fd);
    long ct = 0;
    if (h == INVALID_HANDLE_VALUE) return 0;
    do {
      ct++;
      const std::string strPath = std::string(strDir.str_String) + fd.cFileName;
      if (pstrText != nullptr) {
        CString str;
        str.LoadText_t(filHardToSoftPath(strPath.c_str()).str_String);
        *pstrText = str.str_String;
      }
      if (bDelete) DeleteFileA(strPath.c_str());
    } while (FindNextFileA(h, &fd));
    FindClose(h);
    return ct;
  }
  const D3DCallRecord &rec = _pps->ps_rec;
};

TEST_F(Programs, ProgramsTakeSlotsAndBindingSkipsTheCurrentAndUnknownHandles)
{
  const long hVertex = _gfxCreateProgram(_strVertex, 1);
  ASSERT_GT(hVertex, 0) << "the vertex program was not made";
  const long hPixel = _gfxCreateProgram(_strPixel, 0);
  ASSERT_GT(hPixel, 0);
  EXPECT_NE(hPixel, hVertex);
  EXPECT_EQ(_gfx_avppPrograms[hVertex - 1].vpp_ulFlags & VPF_PIXEL, 0u);
  EXPECT_NE(_gfx_avppPrograms[hPixel - 1].vpp_ulFlags & VPF_PIXEL, 0u);
  EXPECT_EQ(rec.dcr_actCalls[DDM_CreateVertexShader], 1);
  EXPECT_EQ(rec.dcr_actCalls[DDM_CreatePixelShader], 1);
  // Making a program forgets the current one of its kind.
  EXPECT_EQ(rec.dcr_actCalls[DDM_SetVertexShader], 1);
  EXPECT_EQ(rec.dcr_adwArgs[DDM_SetVertexShader][0], 0u);
  EXPECT_EQ(_gfx_hCurrentVertexProgram, 0);

  _pps->ps_rec = D3DCallRecord();
  _gfxBindVertexProgram(hVertex);
  _gfxBindVertexProgram(hVertex);
  _gfxBindPixelProgram(hPixel);
  _gfxBindPixelProgram(hPixel);
  EXPECT_EQ(rec.dcr_actCalls[DDM_SetVertexShader], 1);
  EXPECT_EQ(rec.dcr_adwArgs[DDM_SetVertexShader][0],
            (DWORD)_gfx_avppPrograms[hVertex - 1].vpp_pShader);
  EXPECT_EQ(rec.dcr_actCalls[DDM_SetPixelShader], 1);
  EXPECT_EQ(_gfx_hCurrentPixelProgram, hPixel);
  // A handle above the table's count, or negative, changes nothing.
  _gfxBindVertexProgram(_gfx_ctPrograms + 1);
  _gfxBindVertexProgram(-1);
  _gfxBindPixelProgram(GFX_CTPROGRAMSLOTS + 5);
  EXPECT_EQ(rec.Total(), 2);
  EXPECT_EQ(_gfx_hCurrentVertexProgram, hVertex);
  // Handle 0 takes the shader away.
  _gfxBindPixelProgram(0);
  EXPECT_EQ(rec.dcr_actCalls[DDM_SetPixelShader], 2);
  EXPECT_EQ(rec.dcr_adwArgs[DDM_SetPixelShader][0], 0u);

  // Releasing the current program unbinds it and frees its slot.
  _gfxReleaseProgram(_gfx_avppPrograms[hVertex - 1], 1);
  EXPECT_EQ(_gfx_hCurrentVertexProgram, 0);
  EXPECT_EQ(rec.dcr_actCalls[DDM_SetVertexShader], 2);
  EXPECT_EQ(rec.dcr_adwArgs[DDM_SetVertexShader][0], 0u);
  EXPECT_EQ(_gfx_avppPrograms[hVertex - 1].vpp_pShader, nullptr);
  EXPECT_EQ(FreeSlot(), hVertex - 1);
  // Binding the freed slot again is harmless: it sets no shader.
  _gfxBindVertexProgram(hVertex);
  EXPECT_EQ(rec.dcr_adwArgs[DDM_SetVertexShader][0], 0u);
}

TEST_F(Programs, FailuresGiveMinusOneOrZeroAndLeaveTheSlotFree)
{
  const long iFree = FreeSlot();
  // A parser result too short to be a program.
  EXPECT_EQ(_gfxCreateProgram("# nothing but a comment\n\n", 1), -1);
  EXPECT_EQ(_gfxCreateProgram("vs_1_1", 1), -1);
  // An assembly error: nothing is created.
  EXPECT_EQ(_gfxCreateProgram("vs_1_1\nnot_an_instruction r0, r1\n", 1), 0);
  EXPECT_EQ(rec.dcr_actCalls[DDM_CreateVertexShader], 0);
  // A pixel program's text made as a vertex program: the shader creation fails.
  EXPECT_EQ(_gfxCreateProgram(_strPixel, 1), 0);
  EXPECT_EQ(FreeSlot(), iFree);
  EXPECT_EQ(_gfx_avppPrograms[iFree].vpp_pShader, nullptr);
  EXPECT_EQ(_gfx_hCurrentVertexProgram, 0);
}

TEST_F(Programs, DumpsAreNamedByTheKindAskedFor)
{
  Dumps("vp", true);
  Dumps("pp", true);
  gfx_bOutputGPUPrograms = 1;
  ASSERT_GT(_gfxCreateProgram(_strVertex, 1), 0);
  ASSERT_GT(_gfxCreateProgram(_strPixel, 0), 0);
  std::string strText;
  EXPECT_EQ(Dumps("vp", true, &strText), 1);
  // The parser's output: the comment line is gone.
  EXPECT_EQ(strText, "vs_1_1\ndcl_texcoord0 v0\nmov oPos, v0\n");
  EXPECT_EQ(Dumps("pp", true), 1);
  // Without the switch nothing is written.
  gfx_bOutputGPUPrograms = 0;
  ASSERT_GT(_gfxCreateProgram(_strVertex, 1), 0);
  EXPECT_EQ(Dumps("vp", true), 0);
}

TEST_F(Programs, ConstantsGoToTheRegistersAndReadBack)
{
  const float afVertex[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  const float afPixel[4] = {0.25f, 0.5f, 0.75f, 1.0f};
  _gfxVertexProgramConstants(10, 2, afVertex);
  _gfxPixelProgramConstants(3, 1, afPixel);
  EXPECT_EQ(rec.dcr_adwArgs[DDM_SetVertexShaderConstantF][0], 10u);
  EXPECT_EQ(rec.dcr_adwArgs[DDM_SetVertexShaderConstantF][2], 2u);
  float af[8] = {};
  gfxGetConstantRegisters(GST_VERTEXCONSTANTS, 10, 2, af);
  EXPECT_EQ(memcmp(af, afVertex, sizeof(afVertex)), 0);
  float afp[4] = {};
  gfxGetConstantRegisters(GST_PIXELCONSTANTS, 3, 1, afp);
  EXPECT_EQ(memcmp(afp, afPixel, sizeof(afPixel)), 0);
  // Nothing to send sends nothing.
  _pps->ps_rec = D3DCallRecord();
  _gfxVertexProgramConstants(0, 0, afVertex);
  _gfxPixelProgramConstants(0, 1, nullptr);
  _gfxVertexProgramConstants(-1, 1, afVertex);
  EXPECT_EQ(rec.Total(), 0);
}

TEST_F(Programs, QueriesAnswerPromptlyAndRangeCheckTheirNumbers)
{
  if (!(gfx_ulFlags & GLF_OCCLUSIONQUERY)) GTEST_SKIP() << "no occlusion queries here";
  long ctPixels = -7;
  // Numbers outside the table touch nothing.
  _gfxIssueQueryBegin(5000);
  _gfxIssueQueryEnd(-1);
  EXPECT_EQ(_gfxGetQueryResult(5000, ctPixels, 0), 0);
  _gfxReleaseQuery(4096);
  EXPECT_EQ(rec.Total(), 0);
  // A number never begun has no query.
  EXPECT_EQ(_gfxGetQueryResult(7, ctPixels, 0), 0);
  // Begun but never ended: 0 at once, the device is not polled.
  _gfxIssueQueryBegin(7);
  EXPECT_EQ(rec.dcr_actCalls[DDM_CreateQuery], 1);
  EXPECT_EQ(_gfxGetQueryResult(7, ctPixels, 0), 0);
  EXPECT_EQ(ctPixels, -7);
  // Ended with nothing drawn: ready, no pixels. The query is made once per number.
  _gfxIssueQueryEnd(7);
  EXPECT_EQ(_gfxGetQueryResult(7, ctPixels, 0), 1);
  EXPECT_EQ(ctPixels, 0);
  _gfxIssueQueryBegin(7);
  _gfxIssueQueryEnd(7);
  EXPECT_EQ(rec.dcr_actCalls[DDM_CreateQuery], 1);
  // Released, it is forgotten.
  _gfxReleaseQuery(7);
  EXPECT_EQ(_gfxGetQueryResult(7, ctPixels, 0), 0);
  // An end without a begin does nothing.
  _gfxIssueQueryEnd(7);
  EXPECT_EQ(_gfxGetQueryResult(7, ctPixels, 0), 0);
}

} // namespace
