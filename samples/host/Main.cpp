// The sample host: a small program built on Core the way a game is. It exercises the library's
// subsystems and prints a formatted report of what it did.
#include "core/Core.h"

using namespace QuennelEngine;

namespace {

// Work for the threads section: sums a range and counts itself done.
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

void ReportText(void)
{
  conInfo("-- Text\n");
  CString strName = "Quennel";
  CWString wstrGreeting = strUTF8ToUTF16("Grüße aus der Engine");
  conInfo("  positional: %2 has %1 items, %3%% of them new\n", 17, strName, fmtSpec(23.5f, ".1f"));
  conInfo("  hexadecimal %1, padded %2, quoted %3\n", fmtSpec(0xBEEFu, "#010X"), fmtSpec(-12, "06"),
          fmtSpec("text", "q"));
  conInfo("  UTF-16 round trip: %1 (%2 units)\n", strUTF16ToUTF8(wstrGreeting),
          wstrGreeting.Length());
  int iMajor = 0, iMinor = 0;
  strScan("Version 2.62", "Version %1.%2", &iMajor, &iMinor);
  conInfo("  scanned version %1.%2; Data/*.TGA matches data/tex.tga: %3\n", iMajor, iMinor,
          strMatches("data/tex.tga", "Data/*.TGA") ? "yes" : "no");
}

void ReportMemory(void)
{
  conInfo("-- Memory\n");
  CPileAllocator pa;
  for (int i = 0; i < 1000; i++) pa.Allocate(24);
  void *apv[256];
  for (int i = 0; i < 256; i++) apv[i] = memMAlloc(16 + i);
  MemSizeInfo msi = memGetMemSizeInfo();
  for (int i = 0; i < 256; i++) memFree(apv[i]);
  conInfo("  general heap: %1 live blocks, %2 bytes in use; total tracked %3 bytes\n",
          msi.msi_mhsGeneral.mhs_ctUsedBlocks, (unsigned long)msi.msi_mhsGeneral.mhs_slUsed,
          msi.msi_slTotal);
}

void ReportThreads(void)
{
  conInfo("-- Threads\n");
  thrStartMultiThreading();
  thrStartMultiThreadingSystem();
  SumJob asj[4];
  for (int i = 0; i < 4; i++) {
    asj[i].sj_iFrom = i * 250000;
    asj[i].sj_iTo = (i + 1) * 250000;
    thrCreateThread(&asj[i], RunSum);
  }
  while (thrCountThreads() > 0 || thrCountActiveThreads() > 0) sysSleep(1);
  __int64 llTotal = 0;
  for (int i = 0; i < 4; i++) llTotal += asj[i].sj_llSum;
  conInfo("  four library threads summed 0..999999 to %1\n", llTotal);
  {
    CExclusiveMainThread emt;
    conInfo("  exclusive section entered with %1 active threads\n", thrCountActiveThreads());
  }
  thrStopMultiThreadingSystem();
  thrStopMultiThreading();
}

void ReportFiles(void)
{
  conInfo("-- Streams and files\n");
  CStream strm;
  strm.OpenFile_t("Temp/Sample/Report.txt", "w");
  strm.SetUTF8();
  strm.WriteTextHeader_t();
  for (int i = 1; i <= 3; i++) strm.Print_t("Line %1 of the sample, written at %2\n", i, timToString(timUTCNow()));
  strm.Close();
  strm.OpenFile_t("Temp/Sample/Report.txt", "r");
  strm.ReadTextHeader_t();
  long ctLines = 0;
  CString strFirst;
  while (!strm.IsAtEOF_t()) {
    CString strLine = strm.GetLine_t();
    if (ctLines++ == 0) strFirst = strLine;
  }
  conInfo("  wrote and read back %1 lines (%2 bytes): \"%3\"\n", ctLines, filGetFileSize("Temp/Sample/Report.txt"),
          strFirst);
  CStaticStackArray<CString> astr = filFindFiles("Temp/Sample/", "*.txt");
  conInfo("  the folder lists %1 text file(s); free disk space %2 MiB\n", astr.Count(),
          (long)(filGetDiskFreeSpace("") >> 20));
  try {
    strm.OpenFile_t("Missing/File.bin", "r");
  } catch (CException &ex) {
    conInfo("  a missing file is reported as: %1\n", ex.GetDescription());
  }
}

} // namespace

int main(int, char *argv[])
{
  Time tmStart = timUptimeNow();
  filSysAnalyzeAppPath(nullptr);
  // The report goes to the program's folder tree: relative to where it runs.
  conInfo("QuennelEngine sample host (%1)\n", argv[0]);
  ReportText();
  ReportMemory();
  ReportThreads();
  ReportFiles();
  conInfo("-- Done in %1 ms; %2 console lines written\n", timMillisecondsL(timUptimeNow() - tmStart),
          conGetTotalLinesCount());
  return 0;
}
