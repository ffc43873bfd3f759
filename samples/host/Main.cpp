// The sample host: a program built on Core the way a game is. It hands its main function to the
// library, opens its log, raises the application's services, mounts a content archive and loads
// the scene from it on the loading thread while frames exercise the subsystems, then starts the
// graphics backend in a window, draws the scene turning for a number of frames, writes a
// screenshot and the scene as a binary file, prints the profile and shuts down, leaving
// "Temp/SampleHost.log" and "Temp/Screenshot.png" beside the program's root.
//
//   SampleHost [--frames N] [CONTENT]
//
// CONTENT is a group archive (a path as the shell gives it; SampleContent.gro beside the program
// when none is given), whose scene is its entry named .../Scene.wld, or a scene file by its path
// under the program's root (ending in .wld). qeimport writes such archives from glTF models.
//
// "SampleHost --write-content" writes the small scene's text files instead: how the repository's
// content is made.
#include "Renderer.h"

#include <stdlib.h>

using namespace QuennelEngine;

namespace {

const int _ctFrames = 12;
long _ctDrawnFrames = 60;

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

const char *const _strArchive = "SampleContent.gro";
const char *const _strScreenshot = "Temp/Screenshot.png";
const char *const _strSavedScene = "Temp/Scene.bwld";
const long _iWidth = 320;
const long _iHeight = 240;
CString _strSceneFile;

// Writes the small scene's text files and its preload list into Temp/Content/.
void WriteContent_t(void)
{
  CResourceFile *prfTextures = nullptr;
  CResourceFile *prf =
      MakeSampleScene("Temp/Content/Scene.wld", "Temp/Content/Textures.rsc", prfTextures);
  md_bSaveTextFiles = 1;
  prfTextures->SaveFile_t();
  prf->SaveFile_t();
  md_bSaveTextFiles = 0;
  resFreeUnusedStock();
  conInfo("wrote Temp/Content/Scene.wld and Temp/Content/Textures.rsc\n");
}

// A path of the command line (relative to the current folder) as the absolute soft path that
// the library's streams take.
CString HostPath(const char *strPath)
{
  char achFull[1024];
  if (_fullpath(achFull, strPath, sizeof(achFull)) == nullptr) return strPath;
  return CString("$") + achFull;
}

// Mounts the content the command line names and finds its scene. Throws.
void MountContent_t(const CString &strContent)
{
  if (strHasTail(strContent, ".wld")) {
    _strSceneFile = strContent;
    return;
  }
  const CString strArchive =
      strContent.IsEmpty() ? filGetSoftExePath() + _strArchive : HostPath(strContent);
  filAddArchive(strArchive);
  const long ctEntries = filGetZipEntryCount();
  conInfo("  mounted %1: %2 entries\n", strContent.IsEmpty() ? CString(_strArchive) : strContent,
          ctEntries);
  for (long i = 0; i < ctEntries && _strSceneFile.IsEmpty(); i++) {
    const CString strEntry = filGetZipEntryFileName(i);
    if (strHasTail(strEntry, "Scene.wld")) _strSceneFile = strEntry;
  }
  if (_strSceneFile.IsEmpty())
    ThrowFormat_t("%1 holds no scene (no entry ends in Scene.wld)", strContent);
}

// Loads the scene on the loading thread while the frames exercise the subsystems, printing the
// progress as it moves. The scene, or null when it did not load.
Ptr<CResource> LoadScene(Time &tmLoading)
{
  CResourceLoader rl;
  rl.BeginLoading(CSampleScene::md_pdtDataType, _strSceneFile);
  Time tmStart = timUptimeNow();
  long iShownPercent = -1;
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
      tmLoading = timUptimeNow() - tmStart;
    }
    long iPercent = rl.IsResolved() ? 100 : (long)(rl.GetLoadProgress() * 100.0f);
    if (iPercent != iShownPercent) {
      conInfo("  loading %1: %2%%\n", _strSceneFile, iPercent);
      iShownPercent = iPercent;
    }
    prfIncFrameCounter();
  }
  return rl.GetLoadedResource();
}

struct SceneCounts {
  long sc_ctNodes = 0;
  long sc_ctMeshes = 0;
  long sc_ctVertices = 0;
  long sc_ctTriangles = 0;
  CStaticStackArray<CSampleMesh *> sc_apsm;
};

void CountNode(CSampleNode *pnod, const Matrix34f &, void *pvCounts)
{
  SceneCounts &sc = *(SceneCounts *)pvCounts;
  sc.sc_ctNodes++;
  for (long i = 0; i < pnod->sn_apmeshMeshes.Count(); i++) {
    CSampleMesh *psm = CastContent<CSampleMesh>(pnod->sn_apmeshMeshes[i]);
    if (psm == nullptr) continue;
    bool bSeen = false;
    for (long j = 0; j < sc.sc_apsm.Count() && !bSeen; j++) bSeen = sc.sc_apsm[j] == psm;
    if (bSeen) continue;
    sc.sc_apsm.Push() = psm;
    sc.sc_ctMeshes++;
    sc.sc_ctVertices += psm->VertexCount();
    sc.sc_ctTriangles += psm->sm_aiIndices.Count() / 3;
  }
}

// What the scene holds: the totals, and each mesh of a small scene.
void ReportScene(CSampleScene *pss)
{
  conInfo("-- Content\n");
  SceneCounts sc;
  VisitNodes(pss, CountNode, &sc);
  conInfo("  '%1' from %2: %3 node(s), %4 mesh(es), %5 vertices, %6 triangles\n", pss->ss_strTitle,
          pss->GetFileName(), sc.sc_ctNodes, sc.sc_ctMeshes, sc.sc_ctVertices, sc.sc_ctTriangles);
  if (sc.sc_apsm.Count() > 8) return;
  for (long i = 0; i < sc.sc_apsm.Count(); i++) {
    CSampleMesh *psm = sc.sc_apsm[i];
    CSampleMaterial *pmat = CastContent<CSampleMaterial>(psm->sm_pmatMaterial);
    CSampleTexture *pst =
        pmat != nullptr ? CastContent<CSampleTexture>(pmat->sm_ptexBaseColor) : nullptr;
    conInfo("    %1: %2 vertices, %3 triangles, texture %4 (%5x%6) from %7\n",
            (const char *)psm->GetName(), psm->VertexCount(), psm->sm_aiIndices.Count() / 3,
            pst != nullptr ? (const char *)pst->GetName() : "none", pst ? pst->st_iWidth : 0,
            pst ? pst->st_iHeight : 0, pst ? pst->GetFileName() : CString(""));
  }
}

// Draws the scene, writes the screenshot and says whether the backend drew anything.
void Render(CSampleScene *pss, Time tmStart, Time tmLoading)
{
  conInfo("-- Rendering\n");
  CSampleRenderer sr;
  try {
    sr.Start_t("Prismel.dll", _iWidth, _iHeight);
  } catch (CException &ex) {
    conWarning("  the backend did not start: %1\n", ex.GetDescription());
    return;
  }
  sr.Upload(pss);
  Time tmFirstFrame;
  Time tmFramesStart = timUptimeNow();
  bool bShot = false;
  for (long iFrame = 0; iFrame < _ctDrawnFrames; iFrame++) {
    CProfileSample ps("Frame");
    sysUpdate();
    sr.DrawFrame(pss, iFrame);
    if (iFrame == _ctDrawnFrames - 1) {
      CProfileSample psShot("Screenshot");
      bShot = sr.WriteScreenshot(_strScreenshot);
    }
    {
      // Where the frame's time goes: the device works through the draws at the present.
      CProfileSample psPresent("Present");
      sr.Present();
    }
    if (iFrame == 0) tmFirstFrame = timUptimeNow() - tmStart;
    prfIncFrameCounter();
  }
  Time tmFrames = timUptimeNow() - tmFramesStart;
  long iX, iY;
  sr.ProjectCentre(iX, iY);
  // The screenshot test reads this line: where to look, and what the background is.
  conInfo("  %1 frames, %2 triangles drawn; screenshot %3 (%4x%5, clear colour %6, scene centre at "
          "%7,%8)%9\n",
          _ctDrawnFrames, sr.CountTriangles(), bShot ? _strScreenshot : "not written",
          sr.GetWidth(), sr.GetHeight(), fmtSpec(pss->ss_ulClearColor & 0xFFFFFF, "06X"), iX, iY,
          sr.CountTriangles() == 0 ? "; the backend drew nothing" : "");
  // In tenths, printed as whole numbers: frames per second and the loader's share in percent.
  __int64 llFramesMs = timMillisecondsL(tmFrames);
  __int64 llFirstMs = timMillisecondsL(tmFirstFrame);
  __int64 llLoadMs = timMillisecondsL(tmLoading);
  long iFps10 = llFramesMs > 0 ? (long)(_ctDrawnFrames * 10000 / llFramesMs) : 0;
  long iShare10 = llFirstMs > 0 ? (long)(llLoadMs * 1000 / llFirstMs) : 0;
  conInfo("  start to first frame %1 ms, %2.%3 frames per second, the loader's share %4.%5%% "
          "(%6 ms)\n",
          llFirstMs, iFps10 / 10, iFps10 % 10, iShare10 / 10, iShare10 % 10, llLoadMs);
  conInfo("  a frame: %1 draw calls, %2 state changes (programs, textures, culling)\n",
          sr.CountDrawCalls(), sr.CountStateChanges());
  CString strProfile;
  prfReportResults(70, strProfile);
  conInfo("-- Profile of the last frame (calls, ms per frame, share of the frame)\n%1", strProfile);
  sr.Stop();
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
  Time tmStart = timUptimeNow();

  IDENT idApplication = strConvertStringToID("Group.Application");
  svcChangeRunLevel(idApplication, 11);
  pfuRegisterPerFrameCallback(CountFrame, nullptr);
  try {
    // The command line: options, then the content.
    CString strContent;
    bool bWriteContent = false;
    for (int i = 1; i < corGetArgC(); i++) {
      const CString str = corGetArgV(i);
      if (str == "--write-content") {
        bWriteContent = true;
      } else if (str == "--frames" && i + 1 < corGetArgC()) {
        long ct = atol(corGetArgV(++i));
        _ctDrawnFrames = ct < 1 ? 1 : ct > 100000 ? 100000 : ct;
      } else {
        strContent = str;
      }
    }
    if (bWriteContent) {
      WriteContent_t();
    } else {
      MountContent_t(strContent);
      prf_bShowProfiler = 1;
      prf_tmRefreshInterval = 0.0f;
      Time tmLoading;
      Ptr<CResource> prs = LoadScene(tmLoading);
      CSampleScene *pss = CastContent<CSampleScene>(prs);
      if (pss == nullptr) {
        conWarning("  the scene did not load\n");
      } else {
        ReportScene(pss);
        Render(pss, tmStart, tmLoading);
        // The loaded file under a new name: saved in the binary form, the texture file still
        // referred to where it was found.
        CResourceFile *prf = pss->GetResourceFile();
        prf->SetFileName(_strSavedScene);
        prf->SaveFile_t();
        conInfo("  saved the scene as %1 (%2 bytes)\n", _strSavedScene,
                filGetFileSize(_strSavedScene));
      }
    }
  } catch (CException &ex) {
    conWarning("  %1\n", ex.GetDescription());
  }
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
