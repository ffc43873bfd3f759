// The content the build packs: the scene must load from the archive and hold data the renderer
// can draw as it is (it skips a mesh whose arrays disagree, and draws nothing then).
#include "TestSupport.h"
#include "engine/Engine.h"
#include "samples/host/Content.h"

#include <gtest/gtest.h>

using namespace QuennelEngine;

namespace {

// What the host's run level starts for the resources (the loading thread needs the thread
// services the fixture's member starts first).
const char *const _astrServices[] = {"Service.ResourceBrowseInfo", "Service.Resource",
                                     "Service.ResourceLoader"};

class SampleContent : public testing::Test {
protected:
  void SetUp() override
  {
    for (const char *str : _astrServices) svcStartService(strConvertStringToID(str));
    try {
      filAddArchive(filGetSoftExePath() + "SampleContent.gro");
    } catch (CException &ex) {
      FAIL() << ex.GetDescription();
    }
    CResourceLoader rl;
    rl.BeginLoading(CSampleScene::md_pdtDataType, "Content/Scene.wld");
    rl.WaitUntilFinished(); // (resolves the proxy too)
    m_prsScene = rl.GetLoadedResource();
    m_pss = CastContent<CSampleScene>(m_prsScene);
  }
  void TearDown() override
  {
    m_pss = nullptr;
    m_prsScene = nullptr;
    resFreeUnusedStock();
    filClearArchives();
    for (long i = 2; i >= 0; i--) svcStopService(strConvertStringToID(_astrServices[i]));
  }
  QuennelEngine::Test::CThreadServices m_ts; // the loading thread's, for this test only
  Ptr<CResource> m_prsScene;
  CSampleScene *m_pss = nullptr;
};

TEST_F(SampleContent, SceneLoadsWithConsistentMeshesAndTextures)
{
  ASSERT_NE(m_pss, nullptr);
  ASSERT_NE(CastContent<CSampleCamera>(m_pss->ss_pcamCamera), nullptr);
  ASSERT_GT(m_pss->ss_apmeshMeshes.Count(), 0);
  for (long i = 0; i < m_pss->ss_apmeshMeshes.Count(); i++) {
    CSampleMesh *psm = CastContent<CSampleMesh>(m_pss->ss_apmeshMeshes[i]);
    ASSERT_NE(psm, nullptr);
    long ctVertices = psm->VertexCount();
    EXPECT_EQ(psm->sm_afPositions.Count(), 3 * ctVertices);
    EXPECT_EQ(psm->sm_afTexCoords.Count(), 2 * ctVertices);
    EXPECT_EQ(psm->sm_afNormals.Count(), 3 * ctVertices);
    ASSERT_GT(psm->sm_aiIndices.Count(), 0);
    EXPECT_EQ(psm->sm_aiIndices.Count() % 3, 0);
    for (long j = 0; j < psm->sm_aiIndices.Count(); j++) {
      EXPECT_TRUE(psm->sm_aiIndices[j] >= 0 && psm->sm_aiIndices[j] < ctVertices) << j;
    }
    CSampleMaterial *pmat = CastContent<CSampleMaterial>(psm->sm_pmatMaterial);
    ASSERT_NE(pmat, nullptr);
    CSampleTexture *pst = CastContent<CSampleTexture>(pmat->sm_ptexTexture);
    ASSERT_NE(pst, nullptr);
    EXPECT_EQ(pst->GetFileName(), CString("Content/Textures.rsc"));
    EXPECT_EQ(pst->st_aulPixels.Count(), pst->st_iWidth * pst->st_iHeight);
    EXPECT_GT(pst->st_iWidth, 0);
  }
}

// The program texts must survive the metadata round trip as assembly the engine's parser takes:
// an emptied or mangled text gives no program and nothing is drawn.
TEST_F(SampleContent, ProgramTextsParseAsShaderAssembly)
{
  ASSERT_NE(m_pss, nullptr);
  CSampleMesh *psm = CastContent<CSampleMesh>(m_pss->ss_apmeshMeshes[0]);
  ASSERT_NE(psm, nullptr);
  CSampleMaterial *pmat = CastContent<CSampleMaterial>(psm->sm_pmatMaterial);
  ASSERT_NE(pmat, nullptr);
  unsigned long ulFlags = 0;
  CString strVertex = gfuParseShaderProgram(GAT_D3D, pmat->sm_strVertexProgram, ulFlags);
  EXPECT_NE(strstr(strVertex, "vs_1_1"), nullptr) << (const char *)strVertex;
  // Each of the three streams is declared: the renderer binds positions, coordinates, normals.
  for (const char *str : {"dcl_texcoord0 v0", "dcl_texcoord1 v1", "dcl_texcoord2 v2"}) {
    EXPECT_NE(strstr(strVertex, str), nullptr) << str;
  }
  CString strPixel = gfuParseShaderProgram(GAT_D3D, pmat->sm_strPixelProgram, ulFlags);
  EXPECT_NE(strstr(strPixel, "ps_2_0"), nullptr) << (const char *)strPixel;
}

} // namespace
