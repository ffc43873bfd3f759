#include "TestSupport.h"

#include <gtest/gtest.h>

#include <float.h>
#include <math.h>
#include <stdlib.h>
#include <string.h>
#include <string>
#include <vector>

using namespace QuennelEngine;

namespace {

const unsigned short *W(const char16_t *pwch)
{
  return reinterpret_cast<const unsigned short *>(pwch);
}

std::u16string U(const CWString &wstr)
{
  return std::u16string(reinterpret_cast<const char16_t *>(wstr.ConstData()));
}

void Collect(char ch, void *pvContext)
{
  static_cast<std::string *>(pvContext)->push_back(ch);
}

// Formats through the callback: the text, and the result in `iResult`.
std::string Output(int &iResult, const char *strFormat, ...)
{
  std::string str;
  va_list args;
  va_start(args, strFormat);
  iResult = fmtOutputFV(Collect, &str, strFormat, args);
  va_end(args);
  return str;
}

// One argument with a specification, printed alone.
std::string Spec(unsigned int ulTag, const char *strSpec, ...)
{
  std::string str;
  va_list args;
  va_start(args, strSpec);
  // Re-pack the value words behind a tag with the specification bit.
  unsigned int aulWords[5] = {ulTag | FMT_WITH_SPEC};
  int ct = (ulTag == ARG_INT64 || ulTag == ARG_UINT64 || ulTag == ARG_FLOAT) ? 2 : 1;
  for (int i = 0; i < ct; i++) aulWords[1 + i] = va_arg(args, unsigned int);
  aulWords[1 + ct] = (unsigned int)(size_t)strSpec;
  va_end(args);
  fmtOutputArgs(Collect, &str, "%1", aulWords);
  return str;
}

std::string Float(double d, const char *strSpec = "")
{
  return Spec(ARG_FLOAT, strSpec, d);
}

// Live blocks of the general heap and of the string heap, where every text comes from, and the
// allocations each heap has made (which also sees a block taken and given back in between).
struct LiveBlocks {
  long lb_ctGeneral;
  long lb_ctStrings;
  long lb_ctGeneralAllocations;
  long lb_ctStringAllocations;
};

LiveBlocks CountLiveBlocks()
{
  MemSizeInfo msi = memGetMemSizeInfo();
  return {msi.msi_mhsGeneral.mhs_ctUsedBlocks, msi.msi_mhsStrings.mhs_ctUsedBlocks,
          msi.msi_mhsGeneral.mhs_ctAllocations, msi.msi_mhsStrings.mhs_ctAllocations};
}

bool SameHeaps(const LiveBlocks &a, const LiveBlocks &b)
{
  return a.lb_ctGeneral == b.lb_ctGeneral && a.lb_ctStrings == b.lb_ctStrings &&
         a.lb_ctGeneralAllocations == b.lb_ctGeneralAllocations &&
         a.lb_ctStringAllocations == b.lb_ctStringAllocations;
}

// A put callback that looks at the heaps at every character, that is at every moment in the
// middle of the formatting, and counts the moments when they hold other blocks than before the
// call. It allocates nothing itself.
struct AllocationWatch {
  LiveBlocks aw_lbBefore;
  int aw_ctChars;
  int aw_ctChanged;
};

template <class CH> void WatchAllocations(CH, void *pvContext)
{
  AllocationWatch &aw = *static_cast<AllocationWatch *>(pvContext);
  aw.aw_ctChars++;
  if (!SameHeaps(CountLiveBlocks(), aw.aw_lbBefore)) aw.aw_ctChanged++;
}

// fmtOutputFV with the watch; the result in `iResult`, the characters counted in the watch.
AllocationWatch WatchOutput(int &iResult, const char *strFormat, ...)
{
  AllocationWatch aw = {CountLiveBlocks(), 0, 0};
  va_list args;
  va_start(args, strFormat);
  iResult = fmtOutputFV(WatchAllocations<char>, &aw, strFormat, args);
  va_end(args);
  if (!SameHeaps(CountLiveBlocks(), aw.aw_lbBefore)) aw.aw_ctChanged++;
  return aw;
}

} // namespace

TEST(Formatter, PlaceholdersAreFoundByNumber)
{
  EXPECT_STREQ(strPrintF("%2 %1", ARG_INT, 1, ARG_TEXT, "a"), "a 1");
  EXPECT_STREQ(strPrintF("%1%1-%1", ARG_INT, 7), "77-7");
  EXPECT_STREQ(strPrintF("no placeholders"), "no placeholders");
  EXPECT_STREQ(strPrintF(""), "");

  int iResult;
  EXPECT_EQ(Output(iResult, "100%%"), "100%");
  EXPECT_EQ(iResult, 1);
  EXPECT_EQ(Output(iResult, "[%0]", ARG_INT, 1), "[]");
  EXPECT_EQ(iResult, 0);
  // "%a" drops the percent sign and prints the letter.
  EXPECT_EQ(Output(iResult, "%a", ARG_INT, 1), "a");
  EXPECT_EQ(iResult, 0);
  EXPECT_EQ(Output(iResult, "end %", ARG_INT, 1), "end ");
  EXPECT_EQ(iResult, 0);
  // All digits belong to the index: %12 is placeholder 12, not %1 and a 2.
  EXPECT_EQ(Output(iResult, "%12", ARG_INT, 5), "");
  EXPECT_EQ(iResult, 0);
}

TEST(Formatter, LiteralRunsOfAnyLengthAndAlignment)
{
  // Literal text is copied in words: every start alignment, and '%' or the end in every lane.
  alignas(4) char achFormat[32];
  for (int iStart = 0; iStart < 4; iStart++) {
    for (int ctBefore = 0; ctBefore < 12; ctBefore++) {
      std::string strBefore(ctBefore, 'a');
      if (ctBefore > 1) strBefore[ctBefore / 2] = '#';
      std::string strFormat = strBefore + "%1" + strBefore;
      memcpy(achFormat + iStart, strFormat.c_str(), strFormat.size() + 1);
      EXPECT_STREQ(strPrintF(achFormat + iStart, ARG_INT, 7),
                   (strBefore + "7" + strBefore).c_str());
      memcpy(achFormat + iStart, strBefore.c_str(), strBefore.size() + 1);
      EXPECT_STREQ(strPrintF(achFormat + iStart), strBefore.c_str());
    }
  }
  // Literals longer than the formatter's stack buffer, with placeholders on both sides of it.
  std::string strLong = std::string(509, 'x') + "%1" + std::string(300, 'y') + "%2!";
  CString str = strPrintF(strLong.c_str(), ARG_INT, 1234, ARG_CHAR, 'z');
  EXPECT_EQ(std::string(str), std::string(509, 'x') + "1234" + std::string(300, 'y') + "z!");
}

TEST(Formatter, TextArgumentsOfAnyLengthAndAlignment)
{
  // Text arguments are copied in words too: every start alignment, the end in every lane, and
  // texts that run past the stack buffer.
  alignas(4) char achText[48];
  for (int iStart = 0; iStart < 4; iStart++) {
    for (int ct = 0; ct < 40; ct++) {
      std::string strText(ct, 'b');
      if (ct > 2) strText[ct / 3] = '%';
      memcpy(achText + iStart, strText.c_str(), strText.size() + 1);
      EXPECT_STREQ(strPrintF("<%1|%2>", ARG_TEXT, achText + iStart, ARG_INT, ct),
                   ("<" + strText + "|" + std::to_string(ct) + ">").c_str());
    }
  }
  std::string strLong(700, 'q');
  CString str =
      strPrintF("%1%2", ARG_TEXT, std::string(500, 'p').c_str(), ARG_TEXT, strLong.c_str());
  EXPECT_EQ(std::string(str), std::string(500, 'p') + strLong);
}

TEST(Formatter, NumbersOfEveryLengthAtEveryOffset)
{
  // Digits reach the output in words and a tail of up to three characters: every length of a
  // 64-bit number, behind every offset of the output within a word.
  for (int ctBefore = 0; ctBefore < 4; ctBefore++) {
    std::string strBefore(ctBefore, 'a');
    unsigned long long ull = 0;
    for (int ctDigits = 1; ctDigits <= 20; ctDigits++) {
      ull = ull * 10 + ctDigits % 10;
      EXPECT_STREQ(strPrintF((strBefore + "%1|").c_str(), ARG_UINT64, ull),
                   (strBefore + std::to_string(ull) + "|").c_str());
    }
  }
}

TEST(Formatter, ArgumentListEndsAtAWordWithoutMarker)
{
  int iResult;
  // The second argument's tag lacks the marker: placeholder 2 and everything after it are gone.
  EXPECT_EQ(Output(iResult, "%1|%2|%3", ARG_INT, 1, 0x12340003u, 2, ARG_INT, 3), "1||");
  EXPECT_EQ(iResult, 0);

  // A placeholder beyond the list (ended by a 0 word) prints nothing.
  unsigned int aulWords[] = {ARG_INT, 4, 0};
  std::string str;
  EXPECT_EQ(fmtOutputArgs(Collect, &str, "%1<%2>", aulWords), 0);
  EXPECT_EQ(str, "4<>");

  // A type whose size is unknown cannot be stepped over.
  EXPECT_EQ(Output(iResult, "%1|%2|%3", ARG_INT, 1, 0xABCD0008u, 0, ARG_INT, 3), "1||");
  EXPECT_EQ(iResult, 0);
  EXPECT_EQ(Output(iResult, "%1", 0xABCD000Cu, 0), "");
  EXPECT_EQ(iResult, 0);
  // A by-pointer argument has one word and is skipped, but is not printable.
  int i = 5;
  EXPECT_EQ(Output(iResult, "%1|%2", ARG_INT | FMT_BY_POINTER, &i, ARG_INT, 6), "|6");
  EXPECT_EQ(iResult, 0);
}

TEST(Formatter, PlaceholderIndexIsCapped)
{
  unsigned int aulWords[] = {ARG_INT, 4, 0};
  std::string str;
  EXPECT_EQ(fmtOutputArgs(Collect, &str, "a%1001b", aulWords), 0);
  EXPECT_EQ(str, "ab");
  str.clear();
  EXPECT_EQ(fmtOutputArgs(Collect, &str, "a%123456789012345678901234567890b%1", aulWords), 0);
  EXPECT_EQ(str, "ab4");
  str.clear();
  EXPECT_EQ(fmtOutputArgs(Collect, &str, "%1000", aulWords), 0);
  EXPECT_EQ(str, "");
}

TEST(Formatter, ManyArgumentsAndRepeats)
{
  // More arguments than the reader caches: any order, repeated, from both sides of the cache.
  unsigned int aulWords[2 * 24 + 1];
  for (int i = 0; i < 24; i++) {
    aulWords[2 * i] = ARG_INT;
    aulWords[2 * i + 1] = (unsigned int)(i + 1) * 10;
  }
  aulWords[48] = 0;
  EXPECT_STREQ(strPrintArgs("%20 %17 %1 %20 %16 %24 %3", aulWords), "200 170 10 200 160 240 30");
  std::string str;
  EXPECT_EQ(fmtOutputArgs(Collect, &str, "%18%25%18", aulWords), 0);
  EXPECT_EQ(str, "180180");

  // In order, as most messages take them: through the cache and past it, then repeats; a jump
  // ahead followed by the ones it skipped.
  std::string strInOrder, strExpected;
  for (int i = 1; i <= 24; i++) {
    strInOrder += "%" + std::to_string(i) + " ";
    strExpected += std::to_string(i * 10) + " ";
  }
  EXPECT_STREQ(strPrintArgs((strInOrder + "%2 %24").c_str(), aulWords),
               (strExpected + "20 240").c_str());
  EXPECT_STREQ(strPrintArgs("%3 %4 %1 %2 %5", aulWords), "30 40 10 20 50");
  // A list that ends while read in order stays ended; what was read before still prints.
  unsigned int aulShort[] = {ARG_INT, 4, 0};
  str.clear();
  EXPECT_EQ(fmtOutputArgs(Collect, &str, "%1<%2><%3>%1<%2>", aulShort), 0);
  EXPECT_EQ(str, "4<><>4<>");

  // The same through a va_list, with 64-bit and double arguments past the cache.
  EXPECT_STREQ(strPrintF("%18 %17 %1 %18 %2", ARG_INT, 1, ARG_INT64, -2ll, ARG_INT, 3, ARG_INT, 4,
                         ARG_INT, 5, ARG_INT, 6, ARG_INT, 7, ARG_INT, 8, ARG_INT, 9, ARG_INT, 10,
                         ARG_INT, 11, ARG_INT, 12, ARG_INT, 13, ARG_INT, 14, ARG_INT, 15, ARG_INT,
                         16, ARG_INT64, 1ll << 40, ARG_FLOAT, 2.5),
               "2.5 1099511627776 1 2.5 -2");
}

TEST(Formatter, SpecificationParsing)
{
  EXPECT_EQ(tstExtendedArg(""), 0u);
  EXPECT_EQ(tstExtendedArg("02x"), (unsigned long)(FMTF_ZERO | FMTF_WIDTH | FMTF_HEX_LOWER));
  EXPECT_EQ(tstExtendedArg("#010X"),
            (unsigned long)(FMTF_PREFIX | FMTF_ZERO | FMTF_WIDTH | FMTF_HEX_UPPER));
  EXPECT_EQ(tstExtendedArg(".2f"), (unsigned long)(FMTF_PRECISION | FMTF_FIXED));
  EXPECT_EQ(tstExtendedArg("5.1f"), (unsigned long)(FMTF_WIDTH | FMTF_PRECISION | FMTF_FIXED));
  EXPECT_EQ(tstExtendedArg("q"), (unsigned long)FMTF_QUOTED);
  EXPECT_EQ(tstExtendedArg("."), (unsigned long)FMTF_PRECISION);
  EXPECT_EQ(tstExtendedArg("+- 0#12.3x"),
            (unsigned long)(FMTF_PLUS | FMTF_LEFT | FMTF_BLANK | FMTF_ZERO | FMTF_PREFIX |
                            FMTF_WIDTH | FMTF_PRECISION | FMTF_HEX_LOWER));
  EXPECT_EQ(tstExtendedArg("e"), (unsigned long)FMTF_EXP_LOWER);
  EXPECT_EQ(tstExtendedArg("E"), (unsigned long)FMTF_EXP_UPPER);

  // Invalid: '#' without x/X, two conversion letters, trailing junk, flags after the width,
  // a width that cannot be honoured.
  for (const char *strBad :
       {"#", "#q", "#08", "xq", "fe", "2x ", "04Xz", "d", "5-", "x2", "1.2.3", "99999999999"}) {
    EXPECT_EQ(tstExtendedArg(strBad), 0xFFFFFFFFul) << strBad;
    int iResult;
    std::string str;
    unsigned int aulWords[] = {
        ARG_INT | FMT_WITH_SPEC, 5, (unsigned int)(size_t)strBad, ARG_INT, 6, 0};
    iResult = fmtOutputArgs(Collect, &str, "<%1|%2>", aulWords);
    EXPECT_EQ(str, "<|6>") << strBad;
    EXPECT_EQ(iResult, 0) << strBad;
  }
}

TEST(Formatter, Integers)
{
  EXPECT_EQ(Spec(ARG_INT, "02x", 255), "ff");
  EXPECT_EQ(Spec(ARG_INT, "#010X", 255), "0x000000FF");
  // The sign comes before zero padding.
  EXPECT_EQ(Spec(ARG_INT, "06", -12), "-00012");
  EXPECT_EQ(Spec(ARG_INT, "+06", 12), "+00012");
  EXPECT_EQ(Spec(ARG_INT, " 06", 12), " 00012");
  EXPECT_EQ(Spec(ARG_INT, " 6", 12), "    12");
  EXPECT_EQ(Spec(ARG_INT, "6", -12), "   -12");
  // Left-justifying wins over zero padding.
  EXPECT_EQ(Spec(ARG_INT, "-06", -12), "-12   ");
  EXPECT_EQ(Spec(ARG_INT, "2", -12345), "-12345");
  // Unsigned values take the sign flags too; hexadecimal never has a sign.
  EXPECT_EQ(Spec(ARG_UINT, "+", 5), "+5");
  EXPECT_EQ(Spec(ARG_UINT, " ", 5), " 5");
  EXPECT_EQ(Spec(ARG_INT, "+x", 5), "5");
  EXPECT_EQ(Spec(ARG_INT, "#x", 0), "0x0");
  EXPECT_EQ(Spec(ARG_INT, "#6x", 255), "  0xff");
  EXPECT_EQ(Spec(ARG_INT, "-#6x", 255), "0xff  ");
  EXPECT_EQ(Spec(ARG_INT, "#06x", 255), "0x00ff");
  // Hexadecimal of negative values prints the bits of the type's width.
  EXPECT_EQ(Spec(ARG_INT, "x", -1), "ffffffff");
  EXPECT_EQ(Spec(ARG_INT64, "X", -2ll), "FFFFFFFFFFFFFFFE");
  EXPECT_EQ(Spec(ARG_UINT64, "x", 0x123456789ABCDEFull), "123456789abcdef");
  // Precision and text conversions do not apply to integers.
  EXPECT_EQ(Spec(ARG_INT, ".2q", 7), "7");

  EXPECT_STREQ(strPrintF("%1 %2 %3 %4", ARG_INT, 0, ARG_INT, -2147483647 - 1, ARG_INT, 2147483647,
                         ARG_UINT, 4294967295u),
               "0 -2147483648 2147483647 4294967295");
  EXPECT_STREQ(strPrintF("%1 %2 %3 %4", ARG_INT64, -9223372036854775807ll - 1, ARG_INT64,
                         9223372036854775807ll, ARG_UINT64, 18446744073709551615ull, ARG_INT64,
                         -1000000000000ll),
               "-9223372036854775808 9223372036854775807 18446744073709551615 -1000000000000");
  EXPECT_STREQ(strPrintF("%1", ARG_UINT64, 10000000000000000000ull), "10000000000000000000");
}

TEST(Formatter, PointersAndCharacters)
{
  // Pointers are zero-extended: the top bit is an address bit, not a sign.
  EXPECT_STREQ(strPrintF("%1", ARG_POINTER, (void *)0x80000000u), "0x80000000");
  EXPECT_STREQ(strPrintF("%1", ARG_POINTER, (void *)0x1234), "0x1234");
  EXPECT_STREQ(strPrintF("%1", ARG_POINTER, (void *)nullptr), "0x0");
  EXPECT_EQ(Spec(ARG_POINTER, "#010X", 0x12FF00), "0x0012FF00");
  EXPECT_EQ(Spec(ARG_POINTER, "x", 0xABCDEF), "0xabcdef");
  EXPECT_EQ(Spec(ARG_POINTER, "012", 0xABCDEF), "0x0000ABCDEF");

  EXPECT_STREQ(strPrintF("%1%2", ARG_CHAR, 'a', ARG_CHAR, 'b'), "ab");
  EXPECT_EQ(Spec(ARG_CHAR, ".0", 'a'), "");
  EXPECT_EQ(Spec(ARG_CHAR, "q", 'a'), "\"a\"");
  EXPECT_EQ(Spec(ARG_CHAR, ".0q", 'a'), "\"\"");
  EXPECT_EQ(Spec(ARG_CHAR, "3", 'a'), "  a");
  EXPECT_EQ(Spec(ARG_CHAR, "03", 'a'), "  a");
  EXPECT_EQ(Spec(ARG_CHAR, "-4q", 'a'), "\"a\" ");
  // A 16-bit character in 8-bit output goes through wchUTF16ToASCII.
  EXPECT_STREQ(strPrintF("%1%2%3", ARG_WCHAR, 'z', ARG_WCHAR, 0xE9, ARG_WCHAR, '\t'), "z\x1f ");
}

TEST(Formatter, Texts)
{
  EXPECT_EQ(Spec(ARG_TEXT, "q", "ab"), "\"ab\"");
  EXPECT_STREQ(strPrintF("%1", ARG_TEXT, (const char *)nullptr), "(null)");
  EXPECT_STREQ(strPrintF("%1", ARG_WTEXT, (const unsigned short *)nullptr), "(null)");
  EXPECT_EQ(Spec(ARG_TEXT, "q", nullptr), "(null)");
  EXPECT_EQ(Spec(ARG_TEXT, "8", nullptr), "  (null)");
  EXPECT_EQ(Spec(ARG_TEXT, ".1", "abc"), "a");
  EXPECT_EQ(Spec(ARG_TEXT, ".0q", "abc"), "\"\"");
  EXPECT_EQ(Spec(ARG_TEXT, ".9", "abc"), "abc");
  EXPECT_EQ(Spec(ARG_TEXT, "6q", "ab"), "  \"ab\"");
  EXPECT_EQ(Spec(ARG_TEXT, "-5", "ab"), "ab   ");
  EXPECT_EQ(Spec(ARG_TEXT, "05", "ab"), "   ab");
  EXPECT_EQ(Spec(ARG_TEXT, "1", "abc"), "abc");
  // 16-bit text in 8-bit output goes through wchUTF16ToASCII.
  EXPECT_STREQ(strPrintF("%1", ARG_WTEXT, u"h\u00e9!"), "h\x1f!");

  // Longer than the formatter's stack buffer: formatted again into the exact allocation.
  CString strLong = strPrintF("<%1>", ARG_TEXT | FMT_WITH_SPEC, "x", "-1000");
  EXPECT_EQ(strLong.Length(), 1002);
  EXPECT_EQ(strLong[1], 'x');
  EXPECT_EQ(strLong[2], ' ');
  EXPECT_EQ(strLong[1001], '>');
  CWString wstrLong = wstrPrintF(W(u"%1\u00e9"), ARG_WTEXT | FMT_WITH_SPEC, u"\u00fc", "700");
  EXPECT_EQ(wstrLong.Length(), 701);
  EXPECT_EQ(wstrLong[699], 0xFC);
  EXPECT_EQ(wstrLong[700], 0xE9);
}

TEST(Formatter, FloatForms)
{
  EXPECT_EQ(Float(1.5, ".2f"), "1.50");
  EXPECT_EQ(Float(100000.0), "1E+005");
  EXPECT_EQ(Float(123456.0), "1.23456E+005");
  EXPECT_EQ(Float(12345.5), "12345.5");
  EXPECT_EQ(Float(1.5e10), "1.5E+010");
  EXPECT_EQ(Float(1e-5), "1E-005");
  EXPECT_EQ(Float(0.0001), "0.0001");
  EXPECT_EQ(Float(0.1), "0.1");
  EXPECT_EQ(Float(0.7), "0.7");
  EXPECT_EQ(Float(-2.5), "-2.5");
  EXPECT_EQ(Float(3.0), "3");
  EXPECT_EQ(Float(1.0 / 3.0), "0.33333334");
  EXPECT_EQ(Float(FLT_MAX), "3.4028235E+038");
  // The smallest denormal: one digit already reads back as it.
  EXPECT_EQ(Float(1.4e-45), "1E-045");
  EXPECT_EQ(Float(1.5, "e"), "1.5e+000");
  EXPECT_EQ(Float(1.5, "E"), "1.5E+000");
  EXPECT_EQ(Float(1234.5, ".2e"), "1.23e+003");
  EXPECT_EQ(Float(1234.5, ".0e"), "1e+003");
  EXPECT_EQ(Float(1e10, "f"), "10000000000");
  EXPECT_EQ(Float(1e-5, "f"), "0.00001");
  EXPECT_EQ(Float(2.0, ".3"), "2.000");
  // Reduced to single precision before printing.
  EXPECT_EQ(Float(0.1234567890123), "0.12345679");
  EXPECT_EQ(Float(1e300), "INF");

  // Zero, NaN and the infinities bypass digits and precision.
  EXPECT_EQ(Float(0.0), "0");
  EXPECT_EQ(Float(-0.0), "0");
  EXPECT_EQ(Float(0.0, ".2f"), "0");
  EXPECT_EQ(Float(NAN), "NAN");
  EXPECT_EQ(Float(INFINITY), "INF");
  EXPECT_EQ(Float(-INFINITY), "-INF");
  EXPECT_EQ(Float(INFINITY, "+"), "+INF");
  EXPECT_EQ(Float(INFINITY, " "), " INF");
  EXPECT_EQ(Float(-INFINITY, "06"), "  -INF");

  // Sign and padding.
  EXPECT_EQ(Float(-1.5, "08.2f"), "-0001.50");
  EXPECT_EQ(Float(1.5, "+"), "+1.5");
  EXPECT_EQ(Float(1.5, " "), " 1.5");
  EXPECT_EQ(Float(1.5, "-6"), "1.5   ");
  EXPECT_EQ(Float(1.5, "6"), "   1.5");
}

TEST(Formatter, FloatRounding)
{
  // A carry through nines adds a digit.
  EXPECT_EQ(Float(9.999, ".2f"), "10.00");
  EXPECT_EQ(Float(-9.999, ".2f"), "-10.00");
  EXPECT_EQ(Float(99960000.0, ".2"), "1.00E+008");
  EXPECT_EQ(Float(0.005, ".2f"), "0.01");
  EXPECT_EQ(Float(0.0001, ".2f"), "0.00");
  EXPECT_EQ(Float(-0.0001, ".2f"), "0.00");
  EXPECT_EQ(Float(1.25, ".1f"), "1.3");
  // Positive values round up from 5, negative ones only from 6.
  EXPECT_EQ(Float(0.125, ".2f"), "0.13");
  EXPECT_EQ(Float(-0.125, ".2f"), "-0.12");
  EXPECT_EQ(Float(2.5, ".0f"), "3");
  EXPECT_EQ(Float(-2.5, ".0f"), "-2");
  EXPECT_EQ(Float(-2.6, ".0f"), "-3");
  EXPECT_EQ(Float(0.5, ".0f"), "1");
  EXPECT_EQ(Float(-0.5, ".0f"), "0");
  EXPECT_EQ(Float(-0.6, ".0f"), "-1");

  // Eight significant digits that read back as the same float, as near as eight digits allow.
  unsigned int ulSeed = 12345;
  int ctExact = 0;
  const int CT_VALUES = 3000;
  for (int i = 0; i < CT_VALUES; i++) {
    ulSeed = ulSeed * 1664525u + 1013904223u;
    unsigned int ulBits = ulSeed & 0x7FFFFFFFu;
    float f;
    memcpy(&f, &ulBits, sizeof(f));
    if (!isfinite(f) || f == 0.0f) continue;
    std::string str = Float(f);
    int ctSignificant = 0;
    for (size_t iChar = str.find_first_of("123456789"); iChar < str.size() && str[iChar] != 'E';
         iChar++) {
      if (str[iChar] != '.') ctSignificant++;
    }
    EXPECT_LE(ctSignificant, 8) << str;
    // Either it reads back as the float, or no eight digits do and it is the nearest.
    double dRead = strtod(str.c_str(), nullptr);
    if ((float)dRead == f) {
      ctExact++;
    } else {
      EXPECT_LE(fabs(dRead - f) / f, 5.01e-8) << str;
    }
  }
  EXPECT_GT(ctExact, CT_VALUES * 9 / 10);
}

TEST(Formatter, FloatWorkingBufferIsNinetyDigits)
{
  QuennelEngine::Test::CGuardBreachCounter breaches;
  EXPECT_EQ(Float(1.5, ".89f").length(), 91u);
  EXPECT_EQ(breaches.Count(), 0);
  std::string str;
  unsigned int aulWords[] = {ARG_FLOAT | FMT_WITH_SPEC, 0, 0, (unsigned int)(size_t) ".100f", 0};
  double d = 1.5;
  memcpy(aulWords + 1, &d, sizeof(d));
  EXPECT_EQ(fmtOutputArgs(Collect, &str, "[%1]", aulWords), 0);
  EXPECT_EQ(str, "[]");
  EXPECT_EQ(breaches.Count(), 1);
  EXPECT_EQ(Float(1.5, ".90f"), "");
  EXPECT_EQ(Float(1e30, ".60f"), "");
  EXPECT_EQ(Float(1.5, ".95e"), "");
  EXPECT_EQ(U(wstrPrintArgs(W(u"[%1]"), aulWords)), u"[]");
  // Every overflow counts (the console line comes the first time only).
  EXPECT_EQ(breaches.Count(), 5);
}

TEST(Formatter, SixteenBit)
{
  CWString wstr =
      wstrPrintF(W(u"\u00c4%2 %1 \u0416%%"), ARG_WTEXT, u"\u00fc\u0431", ARG_TEXT, "a\x80");
  // 8-bit arguments are widened with chASCIIToUTF16 (bytes above 127 become 31).
  EXPECT_EQ(U(wstr), u"\u00c4a\x1f \u00fc\u0431 \u0416%");
  EXPECT_EQ(U(wstrPrintF(W(u"%1%2|%3"), ARG_WCHAR, 0x416, ARG_CHAR, 'x', ARG_WCHAR | FMT_WITH_SPEC,
                         0x416, "q")),
            u"\u0416x|\"\u0416\"");
  EXPECT_EQ(U(wstrPrintF(W(u"%1 %2"), ARG_INT | FMT_WITH_SPEC, -12, "06", ARG_FLOAT, 1.5)),
            u"-00012 1.5");

  std::u16string wstrOut;
  auto put = [](unsigned short wch, void *pv) {
    static_cast<std::u16string *>(pv)->push_back(wch);
  };
  EXPECT_EQ(wfmtOutputF(put, &wstrOut, W(u"\u00e9%1%0"), ARG_INT, 3), 0);
  EXPECT_EQ(wstrOut, u"\u00e93");
}

TEST(Formatter, NullArgumentsAreRefused)
{
  QuennelEngine::Test::CGuardBreachCounter breaches;
  std::string str;
  EXPECT_EQ(fmtOutputF(Collect, &str, nullptr), 0);
  EXPECT_EQ(fmtOutputF(nullptr, &str, "x"), 0);
  EXPECT_STREQ(strPrintF(nullptr), "");
  EXPECT_GE(breaches.Count(), 1);
}

TEST(Formatter, OutputAllocatesNothingAndPrintingAllocatesTheTextOnly)
{
  static const char *const strName = "Harbour";
  std::string strLongName(700, 'n'); // longer than what strPrintF formats on the stack
  const std::string strLongExpected = "[" + strLongName + "] 42";
  // First uses, so nothing that is set up once lands in the counts.
  strPrintF("%1 %2", ARG_INT, 1, ARG_TEXT, "x");
  wstrPrintF(W(u"%1"), ARG_INT, 1);

  int iResult = 0;
  AllocationWatch aw = WatchOutput(iResult, "Loaded %1 of %2 files from %3 in %4 ms", ARG_INT, 17,
                                   ARG_INT, 1024, ARG_TEXT, strName, ARG_INT, -98765);
  EXPECT_EQ(iResult, 1);
  EXPECT_EQ(aw.aw_ctChars, (int)strlen("Loaded 17 of 1024 files from Harbour in -98765 ms"));
  EXPECT_EQ(aw.aw_ctChanged, 0);
  aw = WatchOutput(iResult, "%1 %2 %3 %4 %5%%", ARG_INT | FMT_WITH_SPEC, 0xBEEF, "08X", ARG_FLOAT,
                   1.25, ARG_UINT64, 12345678901234ull, ARG_WTEXT, W(u"wide"), ARG_CHAR, 'c');
  EXPECT_EQ(iResult, 1);
  EXPECT_EQ(aw.aw_ctChars, (int)strlen("0000BEEF 1.25 12345678901234 wide c%"));
  EXPECT_EQ(aw.aw_ctChanged, 0);
  aw = WatchOutput(iResult, "[%1] %2", ARG_TEXT, strLongName.c_str(), ARG_INT, 42);
  EXPECT_EQ(aw.aw_ctChars, (int)strLongExpected.size());
  EXPECT_EQ(aw.aw_ctChanged, 0);
  // Invalid placeholders allocate nothing either.
  aw = WatchOutput(iResult, "%9 %a %1", ARG_INT, 1);
  EXPECT_EQ(iResult, 0);
  EXPECT_EQ(aw.aw_ctChanged, 0);
  // Nor do the wide engine and the word-array entry.
  AllocationWatch awWide = {CountLiveBlocks(), 0, 0};
  wfmtOutputF(WatchAllocations<unsigned short>, &awWide, W(u"%1 in %2"), ARG_INT, 5, ARG_TEXT,
              strName);
  EXPECT_EQ(awWide.aw_ctChars, 12);
  EXPECT_EQ(awWide.aw_ctChanged, 0);
  const unsigned int aulArgs[] = {ARG_INT, 7, ARG_TEXT, (unsigned int)(size_t)strName};
  AllocationWatch awArgs = {CountLiveBlocks(), 0, 0};
  fmtOutputArgs(WatchAllocations<char>, &awArgs, "%2 %1", aulArgs);
  EXPECT_EQ(awArgs.aw_ctChars, 9);
  EXPECT_EQ(awArgs.aw_ctChanged, 0);

  // Printing: exactly one new block, on the string heap, and it is the text's; it goes with the
  // text. The counts are taken before any check, so the checks' own allocations stay out.
  struct Case {
    const char *strWhat;
    LiveBlocks lbBefore, lbHeld, lbAfter;
  };
  std::vector<Case> aCases;
  auto Print = [&](const char *strWhat, auto fnPrint, const char *strExpected) {
    Case c;
    c.strWhat = strWhat;
    c.lbBefore = CountLiveBlocks();
    {
      CString str = fnPrint();
      c.lbHeld = CountLiveBlocks();
      EXPECT_STREQ(str, strExpected) << strWhat;
    }
    c.lbAfter = CountLiveBlocks();
    aCases.push_back(c);
  };
  aCases.reserve(8);
  Print(
      "integers and a text",
      [&] {
        return strPrintF("Loaded %1 of %2 files from %3 in %4 ms", ARG_INT, 17, ARG_INT, 1024,
                         ARG_TEXT, strName, ARG_INT, -98765);
      },
      "Loaded 17 of 1024 files from Harbour in -98765 ms");
  Print(
      "every kind",
      [&] {
        return strPrintF("%1 %2 %3 %4 %5", ARG_INT | FMT_WITH_SPEC, 0xBEEF, "08X", ARG_FLOAT, 1.25,
                         ARG_UINT64, 12345678901234ull, ARG_WTEXT, W(u"wide"), ARG_CHAR, 'c');
      },
      "0000BEEF 1.25 12345678901234 wide c");
  Print(
      "longer than the stack buffer",
      [&] { return strPrintF("[%1] %2", ARG_TEXT, strLongName.c_str(), ARG_INT, 42); },
      strLongExpected.c_str());
  Print(
      "the word-array entry", [&] { return strPrintArgs("%2 %1", aulArgs); }, "Harbour 7");
  Print(
      "the type-safe front", [&] { return strFormat("%1 of %2", 3, strName); }, "3 of Harbour");
  for (const Case &c : aCases) {
    EXPECT_EQ(c.lbHeld.lb_ctStrings, c.lbBefore.lb_ctStrings + 1) << c.strWhat;
    EXPECT_EQ(c.lbHeld.lb_ctGeneral, c.lbBefore.lb_ctGeneral) << c.strWhat;
    EXPECT_EQ(c.lbAfter.lb_ctStrings, c.lbBefore.lb_ctStrings) << c.strWhat;
    EXPECT_EQ(c.lbAfter.lb_ctGeneral, c.lbBefore.lb_ctGeneral) << c.strWhat;
    // Exactly one allocation in all, the text's: none taken and given back on the way.
    EXPECT_EQ(c.lbHeld.lb_ctStringAllocations, c.lbBefore.lb_ctStringAllocations + 1) << c.strWhat;
    EXPECT_EQ(c.lbHeld.lb_ctGeneralAllocations, c.lbBefore.lb_ctGeneralAllocations) << c.strWhat;
  }

  // An empty result shares the empty text and allocates nothing.
  LiveBlocks lbBefore = CountLiveBlocks();
  {
    CString str = strPrintF("%1", ARG_TEXT, "");
    LiveBlocks lb = CountLiveBlocks();
    EXPECT_EQ(lb.lb_ctStrings, lbBefore.lb_ctStrings);
    EXPECT_EQ(lb.lb_ctGeneral, lbBefore.lb_ctGeneral);
    EXPECT_TRUE(strIsSharedEmpty(str));
  }
  // A wide text is one block of the general heap.
  lbBefore = CountLiveBlocks();
  {
    CWString wstr = wstrPrintF(W(u"%1 in %2"), ARG_INT, 5, ARG_TEXT, strName);
    LiveBlocks lb = CountLiveBlocks();
    EXPECT_EQ(lb.lb_ctGeneral, lbBefore.lb_ctGeneral + 1);
    EXPECT_EQ(lb.lb_ctStrings, lbBefore.lb_ctStrings);
    EXPECT_EQ(U(wstr), u"5 in Harbour");
  }
  LiveBlocks lbAfter = CountLiveBlocks();
  EXPECT_EQ(lbAfter.lb_ctGeneral, lbBefore.lb_ctGeneral);
  EXPECT_EQ(lbAfter.lb_ctStrings, lbBefore.lb_ctStrings);
}
