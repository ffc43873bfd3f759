// Text functions against the C runtime and the system on short ASCII text.
#include "BenchSupport.h"
#include "core/Core.h"

#include <string.h>

using namespace QuennelEngine;
using namespace QuennelEngine::Bench;

int main()
{
  static const char *astrWords[] = {"Textures/Stone.tex", "textures/stone.TEX", "Models/Player.mdl",
                                    "Sounds/Step01.wav", "Worlds/Level01.wld", "Scripts/Main.lua",
                                    "Textures/Wall.tex", "Fonts/Default.fnt"};
  const long ctIter = 2000000;
  volatile int iSink = 0;
  int iWord = 0;

  double dOurs = NsPerOp(ctIter, [&] {
    iSink += strCompare(astrWords[iWord & 7], astrWords[(iWord + 1) & 7]);
    iWord++;
  });
  double dRef = NsPerOp(ctIter, [&] {
    iSink += _stricmp(astrWords[iWord & 7], astrWords[(iWord + 1) & 7]);
    iWord++;
  });
  Report("strCompare (short paths)", dOurs, "_stricmp", dRef);

  volatile unsigned long ulSink = 0;
  dOurs = NsPerOp(ctIter, [&] { ulSink += strGetHash(astrWords[iWord++ & 7]); });
  Report("strGetHash (short paths)", dOurs, "_stricmp", dRef);

  dOurs = NsPerOp(ctIter, [&] { iSink += strFindSubstr(astrWords[iWord++ & 7], "tex"); });
  dRef = NsPerOp(ctIter, [&] {
    const char *pch = strstr(astrWords[iWord++ & 7], "tex");
    iSink += pch ? 1 : 0;
  });
  Report("strFindSubstr (case-insensitive)", dOurs, "strstr", dRef);
  dOurs = NsPerOp(ctIter, [&] { iSink += strFindSubstrS(astrWords[iWord++ & 7], "tex"); });
  Report("strFindSubstrS", dOurs, "strstr", dRef);

  // UTF-8 to UTF-16: a mostly ASCII line with a few accented letters, as log and text files hold.
  const char *strLine = "The quick brown fox jumps over the lazy dog: Grüße, déjà vu, 1234567890.";
  const int ctLine = (int)strlen(strLine);
  unsigned short awch[256];
  const long ctConv = 500000;
  dOurs = NsPerOp(ctConv, [&] {
    CWString wstr = strUTF8ToUTF16(strLine);
    iSink += wstr.wstr_String[3];
  });
  dRef = NsPerOp(ctConv, [&] {
    // Includes an allocation, as strUTF8ToUTF16 does.
    int ct = MultiByteToWideChar(CP_UTF8, 0, strLine, ctLine, (wchar_t *)awch, 256);
    unsigned short *pwch = wstrAlloc(ct);
    memcpy(pwch, awch, ct * 2);
    iSink += pwch[3];
    wstrFree(pwch);
  });
  Report("strUTF8ToUTF16 (72 chars)", dOurs, "MultiByteToWideChar", dRef);
  return 0;
}
