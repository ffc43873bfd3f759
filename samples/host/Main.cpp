// The sample host: a program built on Core the way a game is. It hands its main function to the
// library, opens its log, raises the application's services, runs a few frames that exercise the
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
};

void RunSum(void *pvJob)
{
  SumJob *psj = (SumJob *)pvJob;
  psj->sj_llSum = 0;
  for (long i = psj->sj_iFrom; i < psj->sj_iTo; i++) psj->sj_llSum += i;
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
    thrCreateThread(&asj[i], RunSum);
  }
  while (thrCountThreads() > 0 || thrCountActiveThreads() > 0) sysSleep(1);
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

  // A few frames of work under the profiler; the first one reports what it did.
  prf_bShowProfiler = 1;
  prf_tmRefreshInterval = 0.0f;
  Time tmStart = timUptimeNow();
  for (int iFrame = 0; iFrame < _ctFrames; iFrame++) {
    CProfileSample ps("Frame");
    bool bReport = iFrame == 0;
    pfuCallPerFrameCallbacks();
    DoText(bReport);
    DoMemory(bReport);
    DoThreads(bReport);
    DoFiles(bReport);
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
