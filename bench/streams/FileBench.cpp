// Disk streams against the system's own calls in the same process, interleaved: sequential reads
// through the shared block cache against raw ReadFile (from a block start and from an odd one),
// small reads against fread, small writes against fwrite, and the main thread's small reads with
// a loader thread reading a large file at the same time against the same reads alone.
#include "BenchSupport.h"
#include "core/Core.h"

#include <stdio.h>
#include <stdlib.h>

#include <vector>

using namespace QuennelEngine;
using namespace QuennelEngine::Bench;

static const long _slFile = 16 << 20;
static const long _slLoaderFile = 128 << 20;
static const long _slLoaderRequest = 1 << 20;
static char _achBuffer[65536];

static void WriteFileOf(const char *strName, long slSize)
{
  CStream strm;
  strm.OpenFile_t(strName, "w");
  static char ach[65536];
  for (long i = 0; i < (long)sizeof(ach); i++) ach[i] = (char)(i * 7 + i / 251);
  for (long sl = 0; sl < slSize; sl += sizeof(ach)) strm.Write_t(ach, sizeof(ach));
}

// Microseconds to read the file from `slStart` to its end in requests of `slRequest` bytes.
static double ReadPassOurs(long slStart, long slRequest)
{
  double dStart = Now();
  CStream strm;
  strm.OpenFile_t("Temp/bench.bin", "r");
  strm.SeekBeg_t(slStart);
  for (long sl = slStart; sl + slRequest <= _slFile; sl += slRequest) {
    strm.Read_t(_achBuffer, slRequest);
  }
  Keep(_achBuffer[5]);
  return (Now() - dStart) * 1e6;
}

static double ReadPassRaw(const char *strHard, long slStart, long slRequest)
{
  double dStart = Now();
  HANDLE h =
      CreateFileA(strHard, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  SetFilePointer(h, slStart, nullptr, FILE_BEGIN);
  DWORD dw;
  for (long sl = slStart; sl + slRequest <= _slFile; sl += slRequest) {
    ReadFile(h, _achBuffer, slRequest, &dw, nullptr);
  }
  CloseHandle(h);
  Keep(_achBuffer[5]);
  return (Now() - dStart) * 1e6;
}

static void CompareSequential(const char *strHard, long slStart, long slRequest)
{
  ReadPassOurs(slStart, slRequest);
  ReadPassRaw(strHard, slStart, slRequest);
  Comparison c = Interleave(
      ctDefaultRounds, [&] { return ReadPassOurs(slStart, slRequest); },
      [&] { return ReadPassRaw(strHard, slStart, slRequest); });
  char strWhat[64];
  sprintf(strWhat, "16 MiB in %ld KiB reads from offset %ld", slRequest / 1024, slStart);
  Report(strWhat, c, "raw ReadFile", "us");
}

// The loader: reads its large file over and over in requests that bypass the read cache, while
// it is told to run.
struct LoaderState {
  long volatile ls_bRun = 0;
  long volatile ls_bQuit = 0;
  long volatile ls_bParked = 0; // it has seen that it must not run
  long volatile ls_ctRequests = 0;
};
static LoaderState _ls;

static void LoaderThread(void *)
{
  static char achLoad[_slLoaderRequest];
  try {
    CStream strm;
    strm.OpenFile_t("Temp/loader.bin", "r");
    while (!_ls.ls_bQuit) {
      if (!_ls.ls_bRun) {
        _ls.ls_bParked = 1;
        sysSleep(1);
        continue;
      }
      _ls.ls_bParked = 0;
      if (strm.GetPosition() + _slLoaderRequest > _slLoaderFile) strm.SeekBeg_t(0);
      strm.Read_t(achLoad, _slLoaderRequest);
      _ls.ls_ctRequests = _ls.ls_ctRequests + 1;
    }
  } catch (CException &ex) {
    printf("loader: %s\n", (const char *)ex.GetDescription());
    _ls.ls_bQuit = 1;
  }
  _ls.ls_bParked = 1;
}

// One round of the main thread's sequential 4 KiB reads; returns the round's median latency in
// nanoseconds and adds every latency to `aAll`.
static double MainThreadRound(CStream &strm, std::vector<double> &aAll)
{
  const int ctReads = 2000;
  std::vector<double> aRound;
  aRound.reserve(ctReads);
  for (int i = 0; i < ctReads; i++) {
    if (strm.GetPosition() + 4096 > _slFile) strm.SeekBeg_t(0);
    double dStart = Now();
    strm.Read_t(_achBuffer, 4096);
    aRound.push_back((Now() - dStart) * 1e9);
  }
  aAll.insert(aAll.end(), aRound.begin(), aRound.end());
  return Summarise(aRound).dMedian;
}

static void CompareWithLoader(void)
{
  thrCreateThread(nullptr, LoaderThread);
  CStream strm;
  strm.OpenFile_t("Temp/bench.bin", "r");
  std::vector<double> aWith, aAlone;
  double dLoaderSeconds = 0;
  long ctLoaderRequests = 0;
  auto WithLoader = [&] {
    _ls.ls_bRun = 1;
    long ctStart = _ls.ls_ctRequests;
    // The loader is in full swing (or has failed and said so).
    while (_ls.ls_ctRequests == ctStart && !_ls.ls_bQuit) sysSleep(0);
    ctStart = _ls.ls_ctRequests;
    double dStart = Now();
    double dMedian = MainThreadRound(strm, aWith);
    dLoaderSeconds += Now() - dStart;
    ctLoaderRequests += _ls.ls_ctRequests - ctStart;
    return dMedian;
  };
  auto Alone = [&] {
    _ls.ls_bRun = 0;
    while (!_ls.ls_bParked) sysSleep(0);
    return MainThreadRound(strm, aAlone);
  };
  WithLoader();
  Alone();
  aWith.clear();
  aAlone.clear();
  dLoaderSeconds = 0;
  ctLoaderRequests = 0;
  Comparison c = Interleave(ctDefaultRounds, WithLoader, Alone);
  _ls.ls_bRun = 0;
  _ls.ls_bQuit = 1;
  while (thrCountThreads() > 0) sysSleep(1);
  Report("Main 4 KiB reads, median, loader reading", c, "alone");
  std::sort(aWith.begin(), aWith.end());
  std::sort(aAlone.begin(), aAlone.end());
  printf("%-44s %9.1f ns          %-20s %9.1f ns\n", "Main 4 KiB reads, 99th percentile, loader",
         Quantile(aWith, 0.99), "alone", Quantile(aAlone, 0.99));
  double dLoaderMiB = ctLoaderRequests * (_slLoaderRequest / 1048576.0);
  printf("%-44s %9.1f MiB/s\n", "  the loader's reads meanwhile",
         dLoaderSeconds > 0 ? dLoaderMiB / dLoaderSeconds : 0);
}

int main()
{
  thrStartMultiThreading();
  thrStartMultiThreadingSystem();
  char strCwd[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, strCwd);
  filSetSysRootDir(CString(strCwd) + "\\");
  WriteFileOf("Temp/bench.bin", _slFile);
  WriteFileOf("Temp/loader.bin", _slLoaderFile);
  CString strHard = filSoftToHardPath("Temp/bench.bin");
  // QE_OVERLAP=1 or 0 forces overlapped reads on or off (the default depends on the system).
  if (getenv("QE_OVERLAP")) fil_bAsynchronousReads = atoi(getenv("QE_OVERLAP"));

  for (long slRequest = 4096; slRequest <= 65536; slRequest *= 4) {
    CompareSequential(strHard, 0, slRequest);
  }
  // Starts inside a block, as the stored entries of an archive do.
  CompareSequential(strHard, 1234, 16384);
  CompareSequential(strHard, 1234, 65536);

  {
    CStream strm;
    strm.OpenFile_t("Temp/bench.bin", "r");
    FILE *pf = fopen(strHard, "rb");
    const long ctPerPass = _slFile / 4;
    long iOurs = 0, iRef = 0;
    long l = 0;
    CompareAndReport(
        "4-byte reads from a disk stream", 1 << 18,
        [&] {
          if (++iOurs == ctPerPass) {
            strm.SeekBeg_t(0);
            iOurs = 0;
          }
          strm.ReadValue_t(l);
          Keep(l);
        },
        "fread",
        [&] {
          if (++iRef == ctPerPass) {
            fseek(pf, 0, SEEK_SET);
            iRef = 0;
          }
          Keep(fread(&l, 4, 1, pf));
        });
    fclose(pf);
  }

  {
    const long ctWrites = 1 << 18;
    CString strWriteHard = filSoftToHardPath("Temp/write2.bin");
    auto Ours = [&] {
      double dStart = Now();
      CStream strm;
      strm.OpenFile_t("Temp/write.bin", "w");
      for (long i = 0; i < ctWrites; i++) strm.WriteValue_t(i);
      strm.Close();
      return (Now() - dStart) * 1e9 / ctWrites;
    };
    auto Ref = [&] {
      double dStart = Now();
      FILE *pf = fopen(strWriteHard, "wb");
      for (long i = 0; i < ctWrites; i++) fwrite(&i, 4, 1, pf);
      fclose(pf);
      return (Now() - dStart) * 1e9 / ctWrites;
    };
    Ours();
    Ref();
    Report("4-byte writes to a disk stream", Interleave(ctDefaultRounds, Ours, Ref), "fwrite");
    DeleteFileA(strWriteHard);
  }

  CompareWithLoader();

  DeleteFileA(strHard);
  DeleteFileA(filSoftToHardPath("Temp/loader.bin"));
  DeleteFileA(filSoftToHardPath("Temp/write.bin"));
  thrStopMultiThreadingSystem();
  thrStopMultiThreading();
  return 0;
}
