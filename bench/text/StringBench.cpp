// Text functions against the C runtime and the system on short ASCII text.
#include "BenchSupport.h"
#include "core/Core.h"

#include <string.h>

using namespace QuennelEngine;
using namespace QuennelEngine::Bench;

int main()
{
  static const char *astrWords[] = {"Textures/Stone.tex", "textures/stone.TEX", "Models/Player.mdl",
                                    "Sounds/Step01.wav",  "Worlds/Level01.wld", "Scripts/Main.lua",
                                    "Textures/Wall.tex",  "Fonts/Default.fnt"};
  const long ctIter = 1000000;
  volatile int iSink = 0;
  int iOurs = 0, iRef = 0;

  CompareAndReport(
      "strCompare (short paths)", ctIter,
      [&] {
        iSink += strCompare(astrWords[iOurs & 7], astrWords[(iOurs + 1) & 7]);
        iOurs++;
      },
      "_stricmp",
      [&] {
        iSink += _stricmp(astrWords[iRef & 7], astrWords[(iRef + 1) & 7]);
        iRef++;
      });

  // The hash reads the text once, as a comparison does: _stricmp is the yardstick.
  volatile unsigned long ulSink = 0;
  CompareAndReport(
      "strGetHash (short paths)", ctIter, [&] { ulSink += strGetHash(astrWords[iOurs++ & 7]); },
      "_stricmp",
      [&] {
        iSink += _stricmp(astrWords[iRef & 7], astrWords[(iRef + 1) & 7]);
        iRef++;
      });

  auto fnStrstr = [&] {
    const char *pch = strstr(astrWords[iRef++ & 7], "tex");
    iSink += pch ? 1 : 0;
  };
  CompareAndReport(
      "strFindSubstr (case-insensitive)", ctIter,
      [&] { iSink += strFindSubstr(astrWords[iOurs++ & 7], "tex"); }, "strstr", fnStrstr);
  CompareAndReport(
      "strFindSubstrS", ctIter, [&] { iSink += strFindSubstrS(astrWords[iOurs++ & 7], "tex"); },
      "strstr", fnStrstr);

  // UTF-8 to UTF-16 against the system given the length, both allocating the result: a mostly
  // ASCII line with a few accented letters, as log and text files hold; a plain ASCII path; and
  // a text too long for the converter's stack buffer.
  static unsigned short awch[2048];
  auto CompareConversion = [&](const char *strWhat, const char *strText, long ctConv) {
    const int ctText = (int)strlen(strText);
    CompareAndReport(
        strWhat, ctConv,
        [&] {
          CWString wstr = strUTF8ToUTF16(strText);
          iSink += wstr.wstr_String[3];
        },
        "MultiByteToWideChar",
        [&] {
          int ct = MultiByteToWideChar(CP_UTF8, 0, strText, ctText, (wchar_t *)awch, 2048);
          unsigned short *pwch = wstrAlloc(ct);
          memcpy(pwch, awch, ct * 2);
          iSink += pwch[3];
          wstrFree(pwch);
        });
  };
  CompareConversion("strUTF8ToUTF16 (72 chars, 4 accented)",
                    "The quick brown fox jumps over the lazy dog: Grüße, déjà vu, 1234567890.",
                    500000);
  CompareConversion("strUTF8ToUTF16 (34 ASCII chars)", "Textures/Walls/Stone/Granite01.tex",
                    500000);
  static char achLong[1200];
  for (int i = 0; i < (int)sizeof(achLong) - 1; i++)
    achLong[i] = i % 97 == 96 ? '\n' : (char)('a' + i % 26);
  memcpy(achLong + 600, "\xC3\xA9t\xC3\xA9", 5); // one line with accents in the middle
  CompareConversion("strUTF8ToUTF16 (1199 bytes, 2 accented)", achLong, 50000);
  return 0;
}
