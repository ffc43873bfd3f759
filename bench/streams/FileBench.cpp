// Disk streams against the system's own calls in the same process: sequential reads through the
// shared block cache against raw ReadFile, small reads, and small writes against fwrite.
#include "BenchSupport.h"
#include "core/Core.h"

#include <stdio.h>
#include <stdlib.h>

using namespace QuennelEngine;
using namespace QuennelEngine::Bench;

int main()
{
  char strCwd[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, strCwd);
  filSetSysRootDir(CString(strCwd) + "\\");
  const long slFile = 16 << 20;
  {
    CStream strm;
    strm.OpenFile_t("Temp/bench.bin", "w");
    char ach[65536];
    for (long i = 0; i < (long)sizeof(ach); i++) ach[i] = (char)i;
    for (long sl = 0; sl < slFile; sl += sizeof(ach)) strm.Write_t(ach, sizeof(ach));
  }
  CString strHard = filSoftToHardPath("Temp/bench.bin");
  // QE_OVERLAP=1 or 0 forces overlapped reads on or off (the default depends on the system).
  if (getenv("QE_OVERLAP")) fil_bAsynchronousReads = atoi(getenv("QE_OVERLAP"));
  static char achBuffer[65536];

  for (long slRequest = 4096; slRequest <= 65536; slRequest *= 4) {
    double dRaw = NsPerOp(3, [&] {
      HANDLE h = CreateFileA(strHard, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                             nullptr);
      DWORD dw;
      for (long sl = 0; sl < slFile; sl += slRequest) ReadFile(h, achBuffer, slRequest, &dw, nullptr);
      CloseHandle(h);
    });
    double dOurs = NsPerOp(3, [&] {
      CStream strm;
      strm.OpenFile_t("Temp/bench.bin", "r");
      for (long sl = 0; sl < slFile; sl += slRequest) strm.Read_t(achBuffer, slRequest);
    });
    char strWhat[64];
    sprintf(strWhat, "Sequential 16 MiB in %ld KiB reads", slRequest / 1024);
    Report(strWhat, dOurs / 1e3, "raw ReadFile (us)", dRaw / 1e3);
  }

  {
    CStream strm;
    strm.OpenFile_t("Temp/bench.bin", "r");
    const long ctReads = 1 << 20;
    long l;
    double d = NsPerOp(1, [&] {
      strm.SeekBeg_t(0);
      for (long i = 0; i < ctReads; i++) strm.ReadValue_t(l);
    }) / ctReads;
    printf("%-44s %9.1f ns   %.1f M reads/s\n", "4-byte reads from a disk stream", d, 1000.0 / d);
  }

  const long ctWrites = 1 << 18;
  double dOurs = NsPerOp(3, [&] {
    CStream strm;
    strm.OpenFile_t("Temp/write.bin", "w");
    for (long i = 0; i < ctWrites; i++) strm.WriteValue_t(i);
  }) / ctWrites;
  CString strWriteHard = filSoftToHardPath("Temp/write2.bin");
  double dRef = NsPerOp(3, [&] {
    FILE *pf = fopen(strWriteHard, "wb");
    for (long i = 0; i < ctWrites; i++) fwrite(&i, 4, 1, pf);
    fclose(pf);
  }) / ctWrites;
  Report("4-byte writes to a disk stream", dOurs, "fwrite", dRef);
  DeleteFileA(strHard);
  DeleteFileA(filSoftToHardPath("Temp/write.bin"));
  DeleteFileA(strWriteHard);
  return 0;
}
