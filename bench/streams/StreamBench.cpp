// Memory streams and the text layer against plain memory operations in the same process,
// interleaved: bulk reads and writes against memcpy, 4-byte reads against copies from a pointer,
// GetLine_t against splitting with memchr, Find_t against std::string::find.
#include "BenchSupport.h"
#include "core/Core.h"

#include <string.h>

#include <string>

using namespace QuennelEngine;
using namespace QuennelEngine::Bench;

static int Run()
{
  const long slBlock = 1 << 20;
  char *pchSource = (char *)memMAlloc(slBlock);
  char *pchTarget = (char *)memMAlloc(slBlock);
  memset(pchSource, 'a', slBlock);
  CStream strm;
  strm.CreateMemoryStream_t(pchSource, slBlock);

  auto Memcpy = [&] {
    memcpy(pchTarget, pchSource, slBlock);
    Keep(pchTarget[7]);
  };
  CompareAndReport(
      "Memory stream read of 1 MiB", 200,
      [&] {
        strm.SeekBeg_t(0);
        strm.Read_t(pchTarget, slBlock);
        Keep(pchTarget[7]);
      },
      "memcpy", Memcpy);
  CompareAndReport(
      "Memory stream write of 1 MiB", 200,
      [&] {
        strm.SeekBeg_t(0);
        strm.Write_t(pchSource, slBlock);
      },
      "memcpy", Memcpy);

  {
    const long ctPerPass = slBlock / 4;
    long iOurs = 0, iRef = 0;
    long lValue = 0;
    const char *pchRead = pchSource;
    strm.SeekBeg_t(0); // the writes above left the stream at its end
    CompareAndReport(
        "4-byte reads from a memory stream", 1 << 18,
        [&] {
          if (++iOurs == ctPerPass) {
            strm.SeekBeg_t(0);
            iOurs = 0;
          }
          strm.ReadValue_t(lValue);
          Keep(lValue);
        },
        "memcpy of 4 bytes",
        [&] {
          if (++iRef == ctPerPass) {
            pchRead = pchSource;
            iRef = 0;
          }
          memcpy(&lValue, pchRead, 4);
          pchRead += 4;
          Keep(lValue);
        });
  }

  // Lines of 60 ASCII characters.
  std::string strText;
  for (int i = 0; i < 20000; i++) {
    strText += "The quick brown fox jumps over the lazy dog, line number ";
    strText += std::to_string(i % 1000) + "\r\n";
  }
  CStream strmText;
  strmText.CreateMemoryStream_t(strText.data(), (long)strText.size());
  auto GetLines = [&] {
    double dStart = Now();
    strmText.SeekBeg_t(0);
    while (!strmText.IsAtEOF_t()) Keep(strmText.GetLine_t());
    return (Now() - dStart) * 1e3;
  };
  auto SplitLines = [&] {
    // Each line copied out without its line end, as GetLine_t delivers it.
    double dStart = Now();
    const char *pch = strText.data();
    const char *pchEnd = pch + strText.size();
    while (pch < pchEnd) {
      const char *pchLF = (const char *)memchr(pch, '\n', pchEnd - pch);
      if (pchLF == nullptr) pchLF = pchEnd;
      const char *pchLineEnd = pchLF > pch && pchLF[-1] == '\r' ? pchLF - 1 : pchLF;
      std::string strLine(pch, pchLineEnd - pch);
      Keep(strLine);
      pch = pchLF + 1;
    }
    return (Now() - dStart) * 1e3;
  };
  GetLines();
  SplitLines();
  Comparison cLines = Interleave(ctDefaultRounds, GetLines, SplitLines);
  Report("GetLine_t over 1.2 MB of ASCII lines", cLines, "memchr + std::string", "ms");
  printf("%-44s %9.0f MB/s\n", "  GetLine_t rate", strText.size() / cLines.sOurs.dMedian / 1e3);

  // The pattern lies at the very end.
  std::string strHaystack(8 << 20, 'x');
  strHaystack.replace(strHaystack.size() - 8, 8, "NEEDLE!!");
  CStream strmHay;
  strmHay.CreateMemoryStream_t(strHaystack.data(), (long)strHaystack.size());
  auto Find = [&] {
    double dStart = Now();
    strmHay.SeekBeg_t(0);
    Keep(strmHay.Find_t((const unsigned char *)"NEEDLE!!", 8));
    return (Now() - dStart) * 1e3;
  };
  auto StringFind = [&] {
    double dStart = Now();
    Keep(strHaystack.find("NEEDLE!!"));
    return (Now() - dStart) * 1e3;
  };
  Find();
  StringFind();
  Comparison cFind = Interleave(ctDefaultRounds, Find, StringFind);
  Report("Find_t through 8 MiB", cFind, "std::string::find", "ms");
  printf("%-44s %9.0f MB/s\n", "  Find_t rate", strHaystack.size() / cFind.sOurs.dMedian / 1e3);

  memFree(pchSource);
  memFree(pchTarget);
  return 0;
}

int main()
{
  try {
    return Run();
  } catch (...) {
    char achDescription[512];
    printf("StreamBench stopped: %s\n",
           dbgDescribeCurrentException(achDescription, sizeof(achDescription)));
    return 1;
  }
}
