// The content the build packs: the scene must load from the archive and hold data the renderer
// can draw as it is (it skips a mesh whose arrays disagree, and draws nothing then).
#include "TestSupport.h"
#include "engine/Engine.h"
#include "samples/scene/Content.h"

#include <gtest/gtest.h>

#include <vector>

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

struct Found {
  long f_ctNodes = 0;
  std::vector<CSampleMesh *> f_apsm;
};

void Collect(CSampleNode *pnod, const Matrix34f &, void *pvFound)
{
  Found &f = *(Found *)pvFound;
  f.f_ctNodes++;
  for (long i = 0; i < pnod->sn_apmeshMeshes.Count(); i++) {
    f.f_apsm.push_back(CastContent<CSampleMesh>(pnod->sn_apmeshMeshes[i]));
  }
}

TEST_F(SampleContent, SceneLoadsWithDrawableMeshesAndTextures)
{
  ASSERT_NE(m_pss, nullptr);
  Found f;
  EXPECT_EQ(VisitNodes(m_pss, Collect, &f), 0);
  EXPECT_EQ(f.f_ctNodes, 1);
  ASSERT_EQ(f.f_apsm.size(), 1u);
  for (CSampleMesh *psm : f.f_apsm) {
    ASSERT_NE(psm, nullptr);
    EXPECT_EQ(psm->CheckDrawable(), CString(""));
    EXPECT_EQ(psm->sm_aiIndices.Count(), 36);
    CSampleMaterial *pmat = CastContent<CSampleMaterial>(psm->sm_pmatMaterial);
    ASSERT_NE(pmat, nullptr);
    EXPECT_NE(CastContent<CSampleProgram>(pmat->sm_pprgProgram), nullptr);
    CSampleTexture *pst = CastContent<CSampleTexture>(pmat->sm_ptexBaseColor);
    ASSERT_NE(pst, nullptr);
    EXPECT_EQ(pst->GetFileName(), CString("Content/Textures.rsc"));
    EXPECT_EQ(pst->CheckUsable(), CString(""));
    EXPECT_EQ(pst->st_iWidth, 32);
    // The unit cube around the origin.
    const Box3f box = psm->GetBounds();
    EXPECT_EQ(box.vMin, Vector3f(-0.5f, -0.5f, -0.5f));
    EXPECT_EQ(box.vMax, Vector3f(0.5f, 0.5f, 0.5f));
  }
}

// The cube's faces are its front faces seen from outside: each triangle winds counter-clockwise
// about the normal its vertices carry, as glTF's triangles and the right-handed view take them.
TEST_F(SampleContent, CubeTrianglesWindCounterClockwiseAboutTheirNormals)
{
  ASSERT_NE(m_pss, nullptr);
  Found f;
  VisitNodes(m_pss, Collect, &f);
  ASSERT_EQ(f.f_apsm.size(), 1u);
  const CSampleMesh *psm = f.f_apsm[0];
  ASSERT_EQ(psm->CheckDrawable(), CString(""));
  for (long i = 0; i < psm->sm_aiIndices.Count(); i += 3) {
    Vector3f av[3];
    for (int k = 0; k < 3; k++) {
      const float *pf = &psm->sm_afPositions[3 * psm->sm_aiIndices[i + k]];
      av[k] = Vector3f(pf[0], pf[1], pf[2]);
    }
    const float *pfN = &psm->sm_afNormals[3 * psm->sm_aiIndices[i]];
    const Vector3f vCross = mthCross(av[1] - av[0], av[2] - av[0]);
    EXPECT_GT(mthDot(vCross, Vector3f(pfN[0], pfN[1], pfN[2])), 0.0f) << "triangle " << i / 3;
  }
}

// The program texts must survive the metadata round trip as assembly the engine's parser takes:
// an emptied or mangled text gives no program and nothing is drawn.
TEST_F(SampleContent, ProgramTextsParseAsShaderAssembly)
{
  ASSERT_NE(m_pss, nullptr);
  Found f;
  VisitNodes(m_pss, Collect, &f);
  ASSERT_EQ(f.f_apsm.size(), 1u);
  CSampleMaterial *pmat = CastContent<CSampleMaterial>(f.f_apsm[0]->sm_pmatMaterial);
  ASSERT_NE(pmat, nullptr);
  CSampleProgram *pprg = CastContent<CSampleProgram>(pmat->sm_pprgProgram);
  ASSERT_NE(pprg, nullptr);
  unsigned long ulFlags = 0;
  CString strVertex = gfuParseShaderProgram(GAT_D3D, pprg->sp_strVertexProgram, ulFlags);
  EXPECT_NE(strstr(strVertex, "vs_1_1"), nullptr) << (const char *)strVertex;
  // Each of the three streams is declared: the renderer binds positions, coordinates, normals.
  for (const char *str : {"dcl_texcoord0 v0", "dcl_texcoord1 v1", "dcl_texcoord2 v2", "rsq"}) {
    EXPECT_NE(strstr(strVertex, str), nullptr) << str;
  }
  CString strPixel = gfuParseShaderProgram(GAT_D3D, pprg->sp_strPixelProgram, ulFlags);
  EXPECT_NE(strstr(strPixel, "ps_2_0"), nullptr) << (const char *)strPixel;
  EXPECT_NE(strstr(strPixel, "mul r0, r0, c0"), nullptr) << (const char *)strPixel;
  // The program in the file is the one the importer writes.
  Ptr<CResource> prsStandard = MakeStandardProgram();
  CSampleProgram *pprgStandard = CastContent<CSampleProgram>(prsStandard);
  ASSERT_NE(pprgStandard, nullptr);
  EXPECT_EQ(pprg->sp_strVertexProgram, pprgStandard->sp_strVertexProgram);
  EXPECT_EQ(pprg->sp_strPixelProgram, pprgStandard->sp_strPixelProgram);
}

} // namespace
