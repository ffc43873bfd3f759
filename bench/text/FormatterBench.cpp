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

  const long ctIter = 200000; // per round
  static const char *astrNames[] = {"Arena", "Harbour", "Crypt", "Citadel"};
  char achBuffer[256];
  volatile int iSink = 0;
  int i = 0, iRef = 0;

  // Five mixed arguments: two integers, a text, a hexadecimal and a float.
  auto fnMixedRef = [&] {
    pSnprintf(achBuffer, sizeof(achBuffer), "Player %d scored %d points in %s (id %08X, ratio %g)",
              iRef, 1234567 + iRef, astrNames[iRef & 3], 0xBEEF + iRef, 1.25 + (iRef & 7));
    iSink += achBuffer[0];
    iRef++;
  };
  CompareAndReport(
      "strPrintF, 2 ints + text + hex + float", ctIter,
      [&] {
        CString str =
            strPrintF("Player %1 scored %2 points in %3 (id %4, ratio %5)", ARG_INT, i, ARG_INT,
                      1234567 + i, ARG_TEXT, astrNames[i & 3], ARG_INT | FMT_WITH_SPEC, 0xBEEF + i,
                      "08X", ARG_FLOAT, 1.25 + (i & 7));
        iSink += str[0];
        i++;
      },
      "_snprintf", fnMixedRef);
  CompareAndReport(
      "strFormat, the same message", ctIter,
      [&] {
        CString str =
            strFormat("Player %1 scored %2 points in %3 (id %4, ratio %5)", i, 1234567 + i,
                      astrNames[i & 3], fmtSpec(0xBEEF + i, "08X"), 1.25f + (i & 7));
        iSink += str[0];
        i++;
      },
      "_snprintf", fnMixedRef);

  // Integers and texts only.
  CompareAndReport(
      "strPrintF, 3 ints + text", ctIter,
      [&] {
        CString str = strPrintF("Loaded %1 of %2 files from %3 in %4 ms", ARG_INT, i & 1023,
                                ARG_INT, 1024, ARG_TEXT, astrNames[i & 3], ARG_INT, 98765 + i);
        iSink += str[0];
        i++;
      },
      "_snprintf",
      [&] {
        pSnprintf(achBuffer, sizeof(achBuffer), "Loaded %d of %d files from %s in %d ms",
                  iRef & 1023, 1024, astrNames[iRef & 3], 98765 + iRef);
        iSink += achBuffer[0];
        iRef++;
      });
  CompareAndReport(
      "strPrintF, 2 texts + int", ctIter,
      [&] {
        CString str = strPrintF("%1: %2 (%3)", ARG_TEXT, astrNames[i & 3], ARG_TEXT,
                                "file not found", ARG_INT, i);
        iSink += str[0];
        i++;
      },
      "_snprintf",
      [&] {
        pSnprintf(achBuffer, sizeof(achBuffer), "%s: %s (%d)", astrNames[iRef & 3],
                  "file not found", iRef);
        iSink += achBuffer[0];
        iRef++;
      });

  // What every strPrintF pays for its one allocation, whatever the engine does.
  Spread s = MeasureNs(ctIter, [&] {
    char *pch = strAlloc(40 + (i++ & 7));
    pch[0] = 'x';
    iSink += pch[0];
    strFree(pch);
  });
  Report("strAlloc + strFree of a message's length", s);

  // The engine alone, without the string: into a counting callback.
  int ctChars = 0;
  auto count = [](char, void *pv) { ++*(int *)pv; };
  s = MeasureNs(ctIter, [&] {
    fmtOutputF(count, &ctChars, "Loaded %1 of %2 files from %3 in %4 ms", ARG_INT, i & 1023,
               ARG_INT, 1024, ARG_TEXT, astrNames[i & 3], ARG_INT, 98765 + i);
    i++;
  });
  Report("fmtOutputF to a callback, 3 ints + text", s);

  // Scanning integers.
  static const char *astrInputs[] = {"1234 5678 -42", "7 -99999 31337", "2147483647 0 -1",
                                     "600 700 800"};
  int i1, i2, i3;
  auto fnScanRef = [&] {
    iSink += pSscanf(astrInputs[iRef & 3], "%d %d %d", &i1, &i2, &i3);
    iSink += i1 + i2 + i3;
    iRef++;
  };
  CompareAndReport(
      "strScanF, 3 integers", ctIter,
      [&] {
        iSink += strScanF(astrInputs[i & 3], "%1 %2 %3", ARG_INT | FMT_BY_POINTER, &i1,
                          ARG_INT | FMT_BY_POINTER, &i2, ARG_INT | FMT_BY_POINTER, &i3);
        iSink += i1 + i2 + i3;
        i++;
      },
      "sscanf", fnScanRef);
  CompareAndReport(
      "strScan, 3 integers", ctIter,
      [&] {
        iSink += strScan(astrInputs[i & 3], "%1 %2 %3", &i1, &i2, &i3);
        iSink += i1 + i2 + i3;
        i++;
      },
      "sscanf", fnScanRef);

  static const char *astrMixed[] = {"Version 7 { 1.5 Stone }", "Version 12 { -0.25 Wall }",
                                    "Version 3 { 100 Floor }", "Version 99 { 3.75 Roof }"};
  float f;
  CString strName;
  char achName[64];
  CompareAndReport(
      "strScanF, int + float + text", ctIter,
      [&] {
        iSink += strScanF(astrMixed[i & 3], "Version %1 { %2 %3 }", ARG_INT | FMT_BY_POINTER, &i1,
                          ARG_FLOAT | FMT_BY_POINTER, &f, ARG_TEXT | FMT_BY_POINTER, &strName);
        i++;
      },
      "sscanf",
      [&] {
        iSink += pSscanf(astrMixed[iRef & 3], "Version %d { %f %63s }", &i1, &f, achName);
        iRef++;
      });
  Keep(iSink);
  return 0;
}
