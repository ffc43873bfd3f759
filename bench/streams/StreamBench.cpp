// Memory streams and the text layer against memcpy and raw byte rates.
#include "BenchSupport.h"
#include "core/Core.h"

#include <string.h>

#include <string>

using namespace QuennelEngine;
using namespace QuennelEngine::Bench;

int main()
{
  const long slBlock = 1 << 20;
  char *pchSource = (char *)memMAlloc(slBlock);
  char *pchTarget = (char *)memMAlloc(slBlock);
  memset(pchSource, 'a', slBlock);
  CStream strm;
  strm.CreateMemoryStream_t(pchSource, slBlock);

  double dRef = NsPerOp(200, [&] { memcpy(pchTarget, pchSource, slBlock); Keep(pchTarget[7]); });
  double dOurs = NsPerOp(200, [&] {
    strm.SeekBeg_t(0);
    strm.Read_t(pchTarget, slBlock);
  });
  Report("Memory stream read of 1 MiB", dOurs, "memcpy", dRef);
  dOurs = NsPerOp(200, [&] {
    strm.SeekBeg_t(0);
    strm.Write_t(pchSource, slBlock);
  });
  Report("Memory stream write of 1 MiB", dOurs, "memcpy", dRef);

  long lValue = 0;
  const long ctReads = slBlock / 4;
  dOurs = NsPerOp(20, [&] {
    strm.SeekBeg_t(0);
    for (long i = 0; i < ctReads; i++) strm.ReadValue_t(lValue);
  }) / ctReads;
  printf("%-44s %9.1f ns   %.1f M reads/s\n", "4-byte reads from a memory stream", dOurs,
         1000.0 / dOurs);

  // Lines of 60 ASCII characters.
  std::string strText;
  for (int i = 0; i < 20000; i++) {
    strText += "The quick brown fox jumps over the lazy dog, line number ";
    strText += std::to_string(i % 1000) + "\r\n";
  }
  CStream strmText;
  strmText.CreateMemoryStream_t(strText.data(), (long)strText.size());
  double dLines = NsPerOp(5, [&] {
    strmText.SeekBeg_t(0);
    while (!strmText.IsAtEOF_t()) Keep(strmText.GetLine_t());
  });
  printf("%-44s %9.1f ms   %.0f MB/s\n", "GetLine_t over 1.2 MB of ASCII lines", dLines / 1e6,
         strText.size() / (dLines / 1e9) / 1e6);

  // The pattern lies at the very end.
  std::string strHaystack(8 << 20, 'x');
  strHaystack.replace(strHaystack.size() - 8, 8, "NEEDLE!!");
  CStream strmHay;
  strmHay.CreateMemoryStream_t(strHaystack.data(), (long)strHaystack.size());
  double dFind = NsPerOp(5, [&] {
    strmHay.SeekBeg_t(0);
    Keep(strmHay.Find_t((const unsigned char *)"NEEDLE!!", 8));
  });
  printf("%-44s %9.1f ms   %.0f MB/s\n", "Find_t through 8 MiB", dFind / 1e6,
         strHaystack.size() / (dFind / 1e9) / 1e6);

  memFree(pchSource);
  memFree(pchTarget);
  return 0;
}
