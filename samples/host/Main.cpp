// The sample host: a program built on Core the way a game is. It hands its main function to the
// library, opens its log, raises the application's services, writes a small scene as content
// files and loads it back on the loading thread while it runs a few frames that exercise the
// subsystems under the profiler, prints a report of what it did and the profile, and shuts down,
// leaving "Temp/SampleHost.log" beside the program's root.
#include "core/Core.h"

using namespace QuennelEngine;

namespace {

const int _ctFrames = 12;

// Work for the threads section: sums a range.
struct SumJob {
  long sj_iFrom;
  long sj_iTo;
  __int64 sj_llSum;
  long volatile sj_bDone;
};

void RunSum(void *pvJob)
{
  SumJob *psj = (SumJob *)pvJob;
  psj->sj_llSum = 0;
  for (long i = psj->sj_iFrom; i < psj->sj_iTo; i++) psj->sj_llSum += i;
  __atomic_store_n(&psj->sj_bDone, 1, __ATOMIC_SEQ_CST);
}

// Content: a scene that refers to meshes kept in a file of their own.
class CSampleMesh : public CResource {
  MD_DECLARE_CLASS(CSampleMesh)
  long sm_ctVertices = 0;
  CString sm_strMaterial;
};

class CSampleScene : public CResource {
  MD_DECLARE_CLASS(CSampleScene)
  CString ss_strTitle;
  Vector3f ss_vSunDirection = Vector3f(0.0f, -1.0f, 0.0f);
  CStaticStackArray<Ptr<CResource>> ss_sapMeshes;
};

MD_CLASS_BEGIN(CSampleMesh, CResource, 1)
MD_MEMBER(sm_ctVertices, 0, "Vertices")
MD_MEMBER(sm_strMaterial, 0, "Material")
MD_CLASS_END()

MD_CLASS_BEGIN(CSampleScene, CResource, 1)
MD_MEMBER(ss_strTitle, 0, "Title")
MD_MEMBER(ss_vSunDirection, 0, "Sun direction")
MD_MEMBER(ss_sapMeshes, 0, "Meshes")
MD_CLASS_END()

const char *const _strMeshFile = "Temp/Sample/Meshes.rsc";
const char *const _strSceneFile = "Temp/Sample/Scene.wld";

// Writes the meshes' file, the scene's file and the scene's preload list, and frees them again:
// what the loader reads next comes from disk.
void WriteContent(void)
{
  static const char *const astrMeshes[] = {"Rock", "Tree", "Well"};
  CResourceFile *prfMeshes = new CResourceFile;
  prfMeshes->SetFileName(_strMeshFile);
  CResourceFile *prfScene = new CResourceFile;
  prfScene->SetFileName(_strSceneFile);
  CSampleScene *pss = new CSampleScene;
  prfScene->RegisterResource(pss);
  pss->ss_strTitle = "A clearing at dusk";
  pss->ss_vSunDirection = Vector3f(0.3f, -0.8f, 0.5f);
  for (int i = 0; i < 3; i++) {
    CSampleMesh *psm = new CSampleMesh;
    prfMeshes->RegisterResource(psm);
    psm->SetName(astrMeshes[i]);
    psm->sm_ctVertices = 120 * (i + 1);
    psm->sm_strMaterial = strFormat("Materials/%1.mat", astrMeshes[i]);
    pss->ss_sapMeshes.Push() = psm;
  }
  prfMeshes->SaveFile_t();
  prfScene->SaveFile_t();
  CStream strm;
  strm.OpenFile_t(CString(_strSceneFile) + ".preload", "w");
  strm.Print_t("%1: %2\n", filGetFileSize(_strMeshFile), _strMeshFile);
  strm.Close();
  resFreeUnusedStock();
}

// Reports the scene once the loader has it.
void ReportContent(CResourceLoader &rl, long ctFrames)
{
  conInfo("-- Content\n");
  Ptr<CResource> prs = rl.GetLoadedResource();
  CSampleScene *pss = prs != nullptr && prs->mdGetDataType() == CSampleScene::md_pdtDataType
                          ? static_cast<CSampleScene *>(prs.Get())
                          : nullptr;
  if (pss == nullptr) {
    conInfo("  the scene did not load\n");
    return;
  }
  conInfo("  '%1' from %2 loaded on the loading thread in %3 frame(s), %4 ms after the request\n",
          pss->ss_strTitle, pss->GetFileName(), ctFrames,
          timMillisecondsL(timUptimeNow() - rl.GetLoadStartTime()));
  conInfo("  sun direction (%1, %2, %3), %4 meshes:\n", pss->ss_vSunDirection.x,
          pss->ss_vSunDirection.y, pss->ss_vSunDirection.z, pss->ss_sapMeshes.Count());
  for (long i = 0; i < pss->ss_sapMeshes.Count(); i++) {
    Ptr<CResource> prsMesh = resAcquire(pss->ss_sapMeshes[i]);
    if (prsMesh == nullptr || prsMesh->mdGetDataType() != CSampleMesh::md_pdtDataType) continue;
    CSampleMesh *psm = static_cast<CSampleMesh *>(prsMesh.Get());
    conInfo("    %1 in %2: %3 vertices, material %4\n", (const char *)psm->GetName(),
            psm->GetFileName(), psm->sm_ctVertices, psm->sm_strMaterial);
  }
  conInfo("  the stock holds %1 file(s)\n", resListResourceFiles().Count());
}

long _ctFrameCallbacks = 0;

void CountFrame(void *)
{
  _ctFrameCallbacks++;
}

void DoText(bool bReport)
{
  CProfileSample ps("Text");
  CString strName = "Quennel";
  CWString wstrGreeting = strUTF8ToUTF16("Grüße aus der Engine");
  int iMajor = 0, iMinor = 0;
  strScan("Version 2.62", "Version %1.%2", &iMajor, &iMinor);
  if (!bReport) return;
  conInfo("-- Text\n");
  conInfo("  positional: %2 has %1 items, %3%% of them new\n", 17, strName, fmtSpec(23.5f, ".1f"));
  conInfo("  hexadecimal %1, padded %2, quoted %3\n", fmtSpec(0xBEEFu, "#010X"), fmtSpec(-12, "06"),
          fmtSpec("text", "q"));
  conInfo("  UTF-16 round trip: %1 (%2 units)\n", strUTF16ToUTF8(wstrGreeting),
          wstrGreeting.Length());
  conInfo("  scanned version %1.%2; Data/*.TGA matches data/tex.tga: %3\n", iMajor, iMinor,
          strMatches("data/tex.tga", "Data/*.TGA") ? "yes" : "no");
}

void DoMemory(bool bReport)
{
  CProfileSample ps("Memory");
  CPileAllocator pa;
  for (int i = 0; i < 1000; i++) pa.Allocate(24);
  void *apv[256];
  for (int i = 0; i < 256; i++) apv[i] = memMAlloc(16 + i);
  MemSizeInfo msi = memGetMemSizeInfo();
  for (int i = 0; i < 256; i++) memFree(apv[i]);
  if (!bReport) return;
  conInfo("-- Memory\n");
  conInfo("  general heap: %1 live blocks, %2 bytes in use; total tracked %3 bytes\n",
          msi.msi_mhsGeneral.mhs_ctUsedBlocks, (unsigned long)msi.msi_mhsGeneral.mhs_slUsed,
          msi.msi_slTotal);
}

void DoThreads(bool bReport)
{
  CProfileSample ps("Threads");
  SumJob asj[4];
  for (int i = 0; i < 4; i++) {
    asj[i].sj_iFrom = i * 250000;
    asj[i].sj_iTo = (i + 1) * 250000;
    asj[i].sj_bDone = 0;
    thrCreateThread(&asj[i], RunSum);
  }
  // (the loading thread lives beside them: the jobs say themselves when they are done)
  for (int i = 0; i < 4; i++) {
    while (!__atomic_load_n(&asj[i].sj_bDone, __ATOMIC_SEQ_CST)) sysSleep(1);
  }
  __int64 llTotal = 0;
  for (int i = 0; i < 4; i++) llTotal += asj[i].sj_llSum;
  if (!bReport) return;
  conInfo("-- Threads\n");
  conInfo("  four library threads summed 0..999999 to %1\n", llTotal);
  CExclusiveMainThread emt;
  conInfo("  exclusive section entered with %1 active threads\n", thrCountActiveThreads());
}

void DoFiles(bool bReport)
{
  CProfileSample ps("Files");
  CStream strm;
  strm.OpenFile_t("Temp/Sample/Report.txt", "w");
  strm.SetUTF8();
  strm.WriteTextHeader_t();
  for (int i = 1; i <= 3; i++) {
    strm.Print_t("Line %1 of the sample, written at %2\n", i, timToString(timUTCNow()));
  }
  strm.Close();
  strm.OpenFile_t("Temp/Sample/Report.txt", "r");
  strm.ReadTextHeader_t();
  long ctLines = 0;
  CString strFirst;
  while (!strm.IsAtEOF_t()) {
    CString strLine = strm.GetLine_t();
    if (ctLines++ == 0) strFirst = strLine;
  }
  if (!bReport) return;
  conInfo("-- Streams and files\n");
  conInfo("  wrote and read back %1 lines (%2 bytes): \"%3\"\n", ctLines,
          filGetFileSize("Temp/Sample/Report.txt"), strFirst);
  CStaticStackArray<CString> astr = filFindFiles("Temp/Sample/", "*.txt");
  conInfo("  the folder lists %1 text file(s)\n", astr.Count());
  try {
    strm.OpenFile_t("Missing/File.bin", "r");
  } catch (CException &ex) {
    conInfo("  a missing file is reported as: %1\n", ex.GetDescription());
  }
}

// The host's main function: everything between the library's start-up and its shutdown.
void HostMain(void)
{
  conBackupLog("Temp/SampleHost.log");
  conOpenLog(COT_LOG3, "Temp/SampleHost.log", "w");
  conDumpBuffer(COT_LOG3); // what start-up logged before the file was open
  static CServiceLog sl;
  svcAssignServiceLog(&sl);
  conInfo("QuennelEngine sample host: %1\n", corGetExeFileName());

  IDENT idApplication = strConvertStringToID("Group.Application");
  svcChangeRunLevel(idApplication, 11);
  pfuRegisterPerFrameCallback(CountFrame, nullptr);

  // The scene loads on the loading thread while the frames run; the first frame reports what it
  // did, and the frame the loader finishes in reports the scene.
  WriteContent();
  CResourceLoader rl;
  rl.BeginLoading(CSampleScene::md_pdtDataType, _strSceneFile);
  prf_bShowProfiler = 1;
  prf_tmRefreshInterval = 0.0f;
  Time tmStart = timUptimeNow();
  for (int iFrame = 0; iFrame < _ctFrames || !rl.IsResolved(); iFrame++) {
    CProfileSample ps("Frame");
    bool bReport = iFrame == 0;
    pfuCallPerFrameCallbacks();
    DoText(bReport);
    DoMemory(bReport);
    DoThreads(bReport);
    DoFiles(bReport);
    rl.UpdateLoader();
    if (!rl.IsResolved() && rl.IsFinished()) {
      rl.ResolveResource();
      ReportContent(rl, iFrame + 1);
    }
    prfIncFrameCounter();
  }
  conInfo("-- %1 frames in %2 ms; %3 per-frame callbacks ran\n", _ctFrames,
          timMillisecondsL(timUptimeNow() - tmStart), _ctFrameCallbacks);
  CString strProfile;
  prfReportResults(70, strProfile);
  conInfo("-- Profile of the last frame (calls, ms per frame, share of the frame)\n%1", strProfile);
  pfuUnregisterPerFrameCallback(CountFrame, nullptr);
  sl.DumpToLogFile();
  // From now on service events go straight to the log, so the shutdown's stops appear there too.
  sl.sl_bEcho = 1;
}

} // namespace

int main(int ctArguments, char *astrArguments[])
{
  return corRun(HostMain, ctArguments, astrArguments, "");
}
