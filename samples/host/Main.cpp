// The sample host: a program built on Core the way a game is. It hands its main function to the
// library, opens its log, raises the application's services, mounts the sample's content archive
// and loads the scene from it on the loading thread while frames exercise the subsystems, then
// starts the graphics backend in a window, draws the scene turning for a number of frames, writes
// a screenshot and the scene as a binary file, prints the profile and shuts down, leaving
// "Temp/SampleHost.log" and "Temp/Screenshot.png" beside the program's root.
//
// "SampleHost --write-content DIR" writes the scene's text file from the program texts in DIR
// instead: how the repository's content file is made.
#include "Renderer.h"

using namespace QuennelEngine;

namespace {

const int _ctFrames = 12;
const long _ctDrawnFrames = 60;

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

const char *const _strSceneFile = "Content/Scene.wld";
const char *const _strTextureFile = "Content/Textures.rsc";
const char *const _strArchive = "SampleContent.gro";
const char *const _strScreenshot = "Temp/Screenshot.png";
const char *const _strSavedScene = "Temp/Scene.bwld";
const long _iWidth = 320;
const long _iHeight = 240;

// Writes the scene's text files and its preload list into Temp/Content/ from the program texts
// found as Content/Cube.vsh and Content/Cube.psh.
void WriteContent_t(void)
{
  CString strVertex, strPixel;
  strVertex.LoadText_t("Content/Cube.vsh");
  strPixel.LoadText_t("Content/Cube.psh");
  CResourceFile *prfTextures = nullptr;
  CResourceFile *prf = MakeSampleScene("Temp/Content/Scene.wld", "Temp/Content/Textures.rsc",
                                       strVertex, strPixel, prfTextures);
  md_bSaveTextFiles = 1;
  prfTextures->SaveFile_t();
  prf->SaveFile_t();
  md_bSaveTextFiles = 0;
  resFreeUnusedStock();
  conInfo("wrote Temp/Content/Scene.wld and Temp/Content/Textures.rsc\n");
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

void ReportScene(CSampleScene *pss)
{
  conInfo("-- Content\n");
  conInfo("  '%1' from %2, %3 mesh(es):\n", pss->ss_strTitle, pss->GetFileName(),
          pss->ss_apmeshMeshes.Count());
  for (long i = 0; i < pss->ss_apmeshMeshes.Count(); i++) {
    CSampleMesh *psm = CastContent<CSampleMesh>(pss->ss_apmeshMeshes[i]);
    if (psm == nullptr) continue;
    CSampleMaterial *pmat = CastContent<CSampleMaterial>(psm->sm_pmatMaterial);
    CSampleTexture *pst =
        pmat != nullptr ? CastContent<CSampleTexture>(pmat->sm_ptexTexture) : nullptr;
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
  sr.ProjectOrigin(pss, iX, iY);
  // The screenshot test reads this line: where to look, and what the background is.
  conInfo("  %1 frames, %2 triangles drawn; screenshot %3 (%4x%5, clear colour %6, mesh centre at "
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
    filAddArchive(filGetSoftExePath() + _strArchive);
    conInfo("  mounted %1: %2 entries\n", _strArchive, filGetZipEntryCount());
    if (corGetArgV(1) == "--write-content") {
      WriteContent_t();
    } else {
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
