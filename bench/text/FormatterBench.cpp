// The positional formatter and scanner against the C runtime's snprintf and sscanf (msvcrt's own
// entry points, looked up by name, so the comparison is with the system's runtime and not with a
// replacement the compiler's headers may route printf-style calls to).
#include "BenchSupport.h"
#include "core/Core.h"

#include <stdio.h>
#include <string.h>

using namespace QuennelEngine;
using namespace QuennelEngine::Bench;

typedef int(__cdecl *SnprintfFunction)(char *, size_t, const char *, ...);
typedef int(__cdecl *SscanfFunction)(const char *, const char *, ...);

int main()
{
  HMODULE hRuntime = LoadLibraryA("msvcrt.dll");
  SnprintfFunction pSnprintf = (SnprintfFunction)(void *)GetProcAddress(hRuntime, "_snprintf");
  SscanfFunction pSscanf = (SscanfFunction)(void *)GetProcAddress(hRuntime, "sscanf");
  if (pSnprintf == nullptr || pSscanf == nullptr) {
    printf("msvcrt.dll's _snprintf or sscanf not found\n");
    return 1;
  }

  const long ctIter = 500000;
  static const char *astrNames[] = {"Arena", "Harbour", "Crypt", "Citadel"};
  char achBuffer[256];
  volatile int iSink = 0;
  int i = 0;

  // Five mixed arguments: two integers, a text, a hexadecimal and a float.
  double dOurs = NsPerOp(ctIter, [&] {
    CString str = strPrintF("Player %1 scored %2 points in %3 (id %4, ratio %5)", ARG_INT, i,
                            ARG_INT, 1234567 + i, ARG_TEXT, astrNames[i & 3],
                            ARG_INT | FMT_WITH_SPEC, 0xBEEF + i, "08X", ARG_FLOAT, 1.25 + (i & 7));
    iSink += str[0];
    i++;
  });
  double dRef = NsPerOp(ctIter, [&] {
    pSnprintf(achBuffer, sizeof(achBuffer), "Player %d scored %d points in %s (id %08X, ratio %g)",
              i, 1234567 + i, astrNames[i & 3], 0xBEEF + i, 1.25 + (i & 7));
    iSink += achBuffer[0];
    i++;
  });
  Report("strPrintF, 2 ints + text + hex + float", dOurs, "_snprintf", dRef);
  double dFront = NsPerOp(ctIter, [&] {
    CString str = strFormat("Player %1 scored %2 points in %3 (id %4, ratio %5)", i, 1234567 + i,
                            astrNames[i & 3], fmtSpec(0xBEEF + i, "08X"), 1.25f + (i & 7));
    iSink += str[0];
    i++;
  });
  Report("strFormat, the same message", dFront, "_snprintf", dRef);

  // Integers and texts only.
  dOurs = NsPerOp(ctIter, [&] {
    CString str = strPrintF("Loaded %1 of %2 files from %3 in %4 ms", ARG_INT, i & 1023, ARG_INT,
                            1024, ARG_TEXT, astrNames[i & 3], ARG_INT, 98765 + i);
    iSink += str[0];
    i++;
  });
  dRef = NsPerOp(ctIter, [&] {
    pSnprintf(achBuffer, sizeof(achBuffer), "Loaded %d of %d files from %s in %d ms", i & 1023,
              1024, astrNames[i & 3], 98765 + i);
    iSink += achBuffer[0];
    i++;
  });
  Report("strPrintF, 3 ints + text", dOurs, "_snprintf", dRef);
  dOurs = NsPerOp(ctIter, [&] {
    CString str = strPrintF("%1: %2 (%3)", ARG_TEXT, astrNames[i & 3], ARG_TEXT, "file not found",
                            ARG_INT, i);
    iSink += str[0];
    i++;
  });
  dRef = NsPerOp(ctIter, [&] {
    pSnprintf(achBuffer, sizeof(achBuffer), "%s: %s (%d)", astrNames[i & 3], "file not found", i);
    iSink += achBuffer[0];
    i++;
  });
  Report("strPrintF, 2 texts + int", dOurs, "_snprintf", dRef);

  // What every strPrintF pays for its one allocation, whatever the engine does.
  double dAlloc = NsPerOp(ctIter, [&] {
    char *pch = strAlloc(40 + (i++ & 7));
    pch[0] = 'x';
    iSink += pch[0];
    strFree(pch);
  });
  Report("strAlloc + strFree of a message's length", dAlloc);

  // The engine alone, without the string: into a counting callback.
  int ctChars = 0;
  auto count = [](char, void *pv) { ++*(int *)pv; };
  dOurs = NsPerOp(ctIter, [&] {
    fmtOutputF(count, &ctChars, "Loaded %1 of %2 files from %3 in %4 ms", ARG_INT, i & 1023,
               ARG_INT, 1024, ARG_TEXT, astrNames[i & 3], ARG_INT, 98765 + i);
    i++;
  });
  Report("fmtOutputF to a callback, 3 ints + text", dOurs);

  // Scanning integers.
  static const char *astrInputs[] = {"1234 5678 -42", "7 -99999 31337", "2147483647 0 -1",
                                     "600 700 800"};
  int i1, i2, i3;
  dOurs = NsPerOp(ctIter, [&] {
    iSink += strScanF(astrInputs[i & 3], "%1 %2 %3", ARG_INT | FMT_BY_POINTER, &i1,
                      ARG_INT | FMT_BY_POINTER, &i2, ARG_INT | FMT_BY_POINTER, &i3);
    iSink += i1 + i2 + i3;
    i++;
  });
  dRef = NsPerOp(ctIter, [&] {
    iSink += pSscanf(astrInputs[i & 3], "%d %d %d", &i1, &i2, &i3);
    iSink += i1 + i2 + i3;
    i++;
  });
  Report("strScanF, 3 integers", dOurs, "sscanf", dRef);
  dFront = NsPerOp(ctIter, [&] {
    iSink += strScan(astrInputs[i & 3], "%1 %2 %3", &i1, &i2, &i3);
    iSink += i1 + i2 + i3;
    i++;
  });
  Report("strScan, 3 integers", dFront, "sscanf", dRef);

  static const char *astrMixed[] = {"Version 7 { 1.5 Stone }", "Version 12 { -0.25 Wall }",
                                    "Version 3 { 100 Floor }", "Version 99 { 3.75 Roof }"};
  float f;
  CString strName;
  char achName[64];
  dOurs = NsPerOp(ctIter, [&] {
    iSink += strScanF(astrMixed[i & 3], "Version %1 { %2 %3 }", ARG_INT | FMT_BY_POINTER, &i1,
                      ARG_FLOAT | FMT_BY_POINTER, &f, ARG_TEXT | FMT_BY_POINTER, &strName);
    i++;
  });
  dRef = NsPerOp(ctIter, [&] {
    iSink += pSscanf(astrMixed[i & 3], "Version %d { %f %63s }", &i1, &f, achName);
    i++;
  });
  Report("strScanF, int + float + text", dOurs, "sscanf", dRef);
  Keep(iSink);
  return 0;
}
