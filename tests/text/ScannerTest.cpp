#include "TestSupport.h"

#include <gtest/gtest.h>

#include <float.h>
#include <math.h>
#include <string>

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

// Scans one by-pointer argument of `ulTag` with an optional specification.
int ScanOne(const char *strText, const char *strFormat, unsigned int ulTag, void *pv,
            const char *strSpec = nullptr)
{
  if (strSpec)
    return strScanF(strText, strFormat, ulTag | FMT_BY_POINTER | FMT_WITH_SPEC, pv, strSpec);
  return strScanF(strText, strFormat, ulTag | FMT_BY_POINTER, pv);
}

} // namespace

TEST(Scanner, ReadsValuesAndCountsConsumedCharacters)
{
  int i1 = 0, i2 = 0;
  EXPECT_EQ(
      strScanF("12 34", "%1 %2", ARG_INT | FMT_BY_POINTER, &i1, ARG_INT | FMT_BY_POINTER, &i2), 5);
  EXPECT_EQ(i1, 12);
  EXPECT_EQ(i2, 34);
  int iVersion = 0;
  EXPECT_EQ(ScanOne("Version 7 {", "Version %1 {", ARG_INT, &iVersion), 11);
  EXPECT_EQ(iVersion, 7);
  // Reordered placeholders read in the order of the format.
  EXPECT_EQ(strScanF("5-6", "%2-%1", ARG_INT | FMT_BY_POINTER, &i1, ARG_INT | FMT_BY_POINTER, &i2),
            3);
  EXPECT_EQ(i1, 6);
  EXPECT_EQ(i2, 5);
  // Stopping early counts the characters before the current one.
  EXPECT_EQ(ScanOne("123abc", "%1", ARG_INT, &i1), 3);
  EXPECT_EQ(ScanOne("", "", ARG_INT, &i1), 0);
  EXPECT_EQ(ScanOne("abc", "", ARG_INT, &i1), 0);
  // The input ending after a value completes the scan, whatever the format still holds.
  EXPECT_EQ(ScanOne("42", "%1 and more %2", ARG_INT, &i1), 2);
  EXPECT_EQ(i1, 42);
  // So does the input ending where the format wants a literal.
  EXPECT_EQ(ScanOne("ab", "abc%1", ARG_INT, &i1), 2);
  EXPECT_EQ(ScanOne("x5", "y%1", ARG_INT, &i1), -1);
  // Literals are case-sensitive.
  EXPECT_EQ(ScanOne("A5", "a%1", ARG_INT, &i1), -1);
}

TEST(Scanner, WhitespaceAndPercent)
{
  int i1 = 0, i2 = 0;
  EXPECT_EQ(strScanF("  12 \n  34", " %1 %2", ARG_INT | FMT_BY_POINTER, &i1,
                     ARG_INT | FMT_BY_POINTER, &i2),
            10);
  EXPECT_EQ(i1, 12);
  EXPECT_EQ(i2, 34);
  // Readers skip whitespace themselves; a blank in the format matches none too.
  EXPECT_EQ(
      strScanF("1,  2", "%1, %2", ARG_INT | FMT_BY_POINTER, &i1, ARG_INT | FMT_BY_POINTER, &i2), 5);
  EXPECT_EQ(
      strScanF("1,2", "%1 , %2", ARG_INT | FMT_BY_POINTER, &i1, ARG_INT | FMT_BY_POINTER, &i2), 3);
  // A tab is not whitespace.
  EXPECT_EQ(ScanOne("\t5", "%1", ARG_INT, &i1), -1);

  EXPECT_EQ(ScanOne("50%", "%1%%", ARG_INT, &i1), 3);
  EXPECT_EQ(i1, 50);
  EXPECT_EQ(ScanOne("%7", "%%%1", ARG_INT, &i1), 2);
  EXPECT_EQ(i1, 7);
  EXPECT_EQ(ScanOne("x7", "%%%1", ARG_INT, &i1), -1);
  EXPECT_EQ(ScanOne("", "%%", ARG_INT, &i1), -1);
}

TEST(Scanner, Integers)
{
  int i = 0;
  EXPECT_EQ(ScanOne("+5", "%1", ARG_INT, &i), 2);
  EXPECT_EQ(i, 5);
  EXPECT_EQ(ScanOne("-5", "%1", ARG_INT, &i), 2);
  EXPECT_EQ(i, -5);
  EXPECT_EQ(ScanOne("-", "%1", ARG_INT, &i), -1);
  EXPECT_EQ(ScanOne("- 5", "%1", ARG_INT, &i), -1);
  EXPECT_EQ(ScanOne("abc", "%1", ARG_INT, &i), -1);
  EXPECT_EQ(ScanOne("2147483647", "%1", ARG_INT, &i), 10);
  EXPECT_EQ(i, 2147483647);
  EXPECT_EQ(ScanOne("-2147483648", "%1", ARG_INT, &i), 11);
  EXPECT_EQ(i, -2147483647 - 1);
  // Overflow of the target fails instead of wrapping.
  EXPECT_EQ(ScanOne("2147483648", "%1", ARG_INT, &i), -1);
  EXPECT_EQ(ScanOne("-2147483649", "%1", ARG_INT, &i), -1);
  EXPECT_EQ(ScanOne("99999999999999999999999", "%1", ARG_INT, &i), -1);

  unsigned int ul = 0;
  EXPECT_EQ(ScanOne("4294967295", "%1", ARG_UINT, &ul), 10);
  EXPECT_EQ(ul, 4294967295u);
  EXPECT_EQ(ScanOne("4294967296", "%1", ARG_UINT, &ul), -1);
  EXPECT_EQ(ScanOne("-1", "%1", ARG_UINT, &ul), -1);
  EXPECT_EQ(ScanOne("-0", "%1", ARG_UINT, &ul), 2);
  EXPECT_EQ(ul, 0u);

  long long ll = 0;
  EXPECT_EQ(ScanOne("-9223372036854775808", "%1", ARG_INT64, &ll), 20);
  EXPECT_EQ(ll, -9223372036854775807ll - 1);
  EXPECT_EQ(ScanOne("9223372036854775807", "%1", ARG_INT64, &ll), 19);
  EXPECT_EQ(ll, 9223372036854775807ll);
  EXPECT_EQ(ScanOne("9223372036854775808", "%1", ARG_INT64, &ll), -1);
  EXPECT_EQ(ScanOne("-9223372036854775809", "%1", ARG_INT64, &ll), -1);
  unsigned long long ull = 0;
  EXPECT_EQ(ScanOne("18446744073709551615", "%1", ARG_UINT64, &ull), 20);
  EXPECT_EQ(ull, 18446744073709551615ull);
  EXPECT_EQ(ScanOne("18446744073709551616", "%1", ARG_UINT64, &ull), -1);

  // Hexadecimal: digits of either case, the prefix only with '#', overflow of the width fails.
  EXPECT_EQ(ScanOne("fF", "%1", ARG_INT, &i, "x"), 2);
  EXPECT_EQ(i, 255);
  EXPECT_EQ(ScanOne("0xFF", "%1", ARG_INT, &i, "#X"), 4);
  EXPECT_EQ(i, 255);
  EXPECT_EQ(ScanOne("0X1a", "%1", ARG_INT, &i, "#x"), 4);
  EXPECT_EQ(i, 26);
  EXPECT_EQ(ScanOne("ff", "%1", ARG_INT, &i, "#x"), -1);
  EXPECT_EQ(ScanOne("0f", "%1", ARG_INT, &i, "#x"), -1);
  EXPECT_EQ(ScanOne("zz", "%1", ARG_INT, &i, "x"), 0);
  EXPECT_EQ(i, 0);
  EXPECT_EQ(ScanOne("FFFFFFFF", "%1", ARG_INT, &i, "x"), 8);
  EXPECT_EQ(i, -1);
  EXPECT_EQ(ScanOne("0000000012345678", "%1", ARG_INT, &i, "x"), 16);
  EXPECT_EQ(i, 0x12345678);
  EXPECT_EQ(ScanOne("100000000", "%1", ARG_UINT, &ul, "x"), -1);
  EXPECT_EQ(ScanOne("FFFFFFFFFFFFFFFF", "%1", ARG_UINT64, &ull, "X"), 16);
  EXPECT_EQ(ull, 18446744073709551615ull);
  EXPECT_EQ(ScanOne("10000000000000000", "%1", ARG_INT64, &ll, "X"), -1);
  EXPECT_EQ(ScanOne("-5", "%1", ARG_INT, &i, "x"), 0);
}

TEST(Scanner, Floats)
{
  float f = 0;
  EXPECT_EQ(ScanOne("1.5", "%1", ARG_FLOAT, &f), 3);
  EXPECT_EQ(f, 1.5f);
  EXPECT_EQ(ScanOne(" -2.25e2", "%1", ARG_FLOAT, &f), 8);
  EXPECT_EQ(f, -225.0f);
  EXPECT_EQ(ScanOne("1E-3", "%1", ARG_FLOAT, &f), 4);
  EXPECT_EQ(f, 0.001f);
  EXPECT_EQ(ScanOne(".5", "%1", ARG_FLOAT, &f), 2);
  EXPECT_EQ(f, 0.5f);
  EXPECT_EQ(ScanOne("5.", "%1", ARG_FLOAT, &f), 2);
  EXPECT_EQ(f, 5.0f);
  EXPECT_EQ(ScanOne("+3", "%1", ARG_FLOAT, &f), 2);
  EXPECT_EQ(f, 3.0f);
  // A '+' is not taken in the exponent: the 'e' is read, the '+' stays.
  EXPECT_EQ(ScanOne("1e+5", "%1", ARG_FLOAT, &f), 2);
  EXPECT_EQ(f, 1.0f);
  EXPECT_EQ(ScanOne("x", "%1", ARG_FLOAT, &f), -1);
  EXPECT_EQ(ScanOne("-x", "%1", ARG_FLOAT, &f), -1);
  // Exactly rounded to single precision.
  EXPECT_EQ(ScanOne("0.1", "%1", ARG_FLOAT, &f), 3);
  EXPECT_EQ(f, 0.1f);
  EXPECT_EQ(ScanOne("3.4028235e38", "%1", ARG_FLOAT, &f), 12);
  EXPECT_EQ(f, FLT_MAX);
  EXPECT_EQ(ScanOne("1.4e-45", "%1", ARG_FLOAT, &f), 7);
  EXPECT_EQ(f, 1.4e-45f);
  EXPECT_EQ(ScanOne("16777217", "%1", ARG_FLOAT, &f), 8);
  EXPECT_EQ(f, 16777216.0f);
  EXPECT_EQ(ScanOne("0.000000000000000000000000000000123456789012345678901234567890", "%1",
                    ARG_FLOAT, &f),
            62);
  EXPECT_EQ(f, 1.2345679e-31f);
  EXPECT_EQ(ScanOne("1e40", "%1", ARG_FLOAT, &f), 4);
  EXPECT_TRUE(isinf(f));
  EXPECT_EQ(ScanOne("1e-99999999999", "%1", ARG_FLOAT, &f), 14);
  EXPECT_EQ(f, 0.0f);

  // What the formatter prints reads back, except positive exponents, whose '+' stops the reader.
  EXPECT_EQ(ScanOne("1.23456E+005", "%1", ARG_FLOAT, &f), 8);
  EXPECT_EQ(f, 1.23456f);
  for (float fValue : {0.7f, 1.0f / 3.0f, 12345.5f, 1e-5f, -2.5e-12f, 1.4e-45f}) {
    CString str = strPrintF("%1", ARG_FLOAT, (double)fValue);
    EXPECT_EQ(ScanOne(str, "%1", ARG_FLOAT, &f), str.Length()) << str.ConstData();
    EXPECT_EQ(f, fValue) << str.ConstData();
  }
}

TEST(Scanner, CharactersAndTexts)
{
  char ch = 0;
  unsigned short wch = 0;
  EXPECT_EQ(
      strScanF("ab", "%1%2", ARG_CHAR | FMT_BY_POINTER, &ch, ARG_WCHAR | FMT_BY_POINTER, &wch), 2);
  EXPECT_EQ(ch, 'a');
  EXPECT_EQ(wch, 'b');
  // The character reader takes whitespace as it is; 8-bit input is widened with chASCIIToUTF16.
  EXPECT_EQ(
      strScanF(" \x80", "%1%2", ARG_CHAR | FMT_BY_POINTER, &ch, ARG_WCHAR | FMT_BY_POINTER, &wch),
      2);
  EXPECT_EQ(ch, ' ');
  EXPECT_EQ(wch, 31);

  CString str1, str2;
  EXPECT_EQ(strScanF("hello  world!", "%1 %2", ARG_TEXT | FMT_BY_POINTER, &str1,
                     ARG_TEXT | FMT_BY_POINTER, &str2),
            13);
  EXPECT_STREQ(str1, "hello");
  EXPECT_STREQ(str2, "world!");
  // Quoted texts: up to the closing quote, which is consumed.
  EXPECT_EQ(strScanF("\"a b\" c", "%1 %2", ARG_TEXT | FMT_BY_POINTER | FMT_WITH_SPEC, &str1, "q",
                     ARG_TEXT | FMT_BY_POINTER, &str2),
            7);
  EXPECT_STREQ(str1, "a b");
  EXPECT_STREQ(str2, "c");
  EXPECT_EQ(ScanOne("\"\" x", "%1", ARG_TEXT, &str1, "q"), 2);
  EXPECT_STREQ(str1, "");
  // A missing opening quote reads a word; a missing closing one reads to the end.
  EXPECT_EQ(ScanOne("a\"b c", "%1", ARG_TEXT, &str1, "q"), 3);
  EXPECT_STREQ(str1, "a\"b");
  EXPECT_EQ(ScanOne("\"a b", "%1", ARG_TEXT, &str1, "q"), 4);
  EXPECT_STREQ(str1, "a b");
  // Without q the quotes are ordinary characters.
  EXPECT_EQ(ScanOne("\"a b\"", "%1", ARG_TEXT, &str1), 2);
  EXPECT_STREQ(str1, "\"a");
  EXPECT_EQ(ScanOne("   ", "%1", ARG_TEXT, &str1), 3);
  EXPECT_STREQ(str1, "");

  // Texts longer than the reader's stack buffer, several times over.
  std::string strLong(1500, 'k');
  strLong[0] = 'A';
  strLong[1499] = 'Z';
  EXPECT_EQ(ScanOne((strLong + " tail").c_str(), "%1", ARG_TEXT, &str1), 1500);
  EXPECT_EQ(str1.Length(), 1500);
  EXPECT_EQ(strLong, str1.ConstData());

  CWString wstr;
  EXPECT_EQ(ScanOne("caf\xe9 x", "%1", ARG_WTEXT, &wstr), 4);
  EXPECT_EQ(U(wstr), u"caf\x1f");
}

TEST(Scanner, RefusedArguments)
{
  int i = 0;
  // By value, pointer values, unknown types.
  EXPECT_EQ(strScanF("5", "%1", ARG_INT, 5), -1);
  void *pv = nullptr;
  EXPECT_EQ(ScanOne("5", "%1", ARG_POINTER, &pv), -1);
  EXPECT_EQ(ScanOne("5", "%1", 0xABCD0008u, &i), -1);
  // Invalid specification, placeholder beyond the arguments, invalid placeholders.
  EXPECT_EQ(ScanOne("5", "%1", ARG_INT, &i, "xq"), -1);
  unsigned int aulWords[] = {ARG_INT | FMT_BY_POINTER, (unsigned int)(size_t)&i, 0};
  EXPECT_EQ(strScanArgs("5 6", "%1 %2", aulWords), -1);
  EXPECT_EQ(i, 5); // what was read before the failure stays set
  EXPECT_EQ(strScanArgs("5", "%0", aulWords), -1);
  EXPECT_EQ(strScanArgs("5", "%a", aulWords), -1);
  EXPECT_EQ(strScanArgs("5", "%", aulWords), -1);
  EXPECT_EQ(strScanArgs("5", "%1001", aulWords), -1);

  QuennelEngine::Test::CGuardBreachCounter breaches;
  EXPECT_EQ(ScanOne("5", "%1", ARG_INT, nullptr), -1);
  EXPECT_EQ(strScanF(nullptr, "%1", ARG_INT | FMT_BY_POINTER, &i), -1);
  EXPECT_EQ(fmtInputF(nullptr, nullptr, "%1", ARG_INT | FMT_BY_POINTER, &i), 0);
  EXPECT_GE(breaches.Count(), 1);
}

TEST(Scanner, SixteenBit)
{
  int i = 0;
  CWString wstr1, wstr2;
  // U+00A0 is whitespace in 16-bit text; non-ASCII literals must match exactly.
  EXPECT_EQ(wstrScanF(W(u"Gr\u00f6\u00dfe\u00a042 \u00fcber\u00a0\u0416x"),
                      W(u"Gr\u00f6\u00dfe %1 %2 %3"), ARG_INT | FMT_BY_POINTER, &i,
                      ARG_WTEXT | FMT_BY_POINTER, &wstr1, ARG_WTEXT | FMT_BY_POINTER, &wstr2),
            16);
  EXPECT_EQ(i, 42);
  EXPECT_EQ(U(wstr1), u"\u00fcber");
  EXPECT_EQ(U(wstr2), u"\u0416x");
  EXPECT_EQ(
      wstrScanF(W(u"Gr\u00d6\u00dfe 1"), W(u"Gr\u00f6\u00dfe %1"), ARG_INT | FMT_BY_POINTER, &i),
      -1);

  // 16-bit input into 8-bit targets goes through wchUTF16ToASCII.
  CString str;
  char ch = 0;
  unsigned short wch = 0;
  EXPECT_EQ(wstrScanF(W(u"\u0416\u00e9 \"a\u00fc b\""), W(u"%1%2 %3"), ARG_CHAR | FMT_BY_POINTER,
                      &ch, ARG_WCHAR | FMT_BY_POINTER, &wch,
                      ARG_TEXT | FMT_BY_POINTER | FMT_WITH_SPEC, &str, "q"),
            9);
  EXPECT_EQ(ch, 31);
  EXPECT_EQ(wch, 0xE9);
  EXPECT_STREQ(str, "a\x1f b");

  float f = 0;
  long long ll = 0;
  EXPECT_EQ(wstrScanF(W(u"-1.25e1;ff"), W(u"%1;%2"), ARG_FLOAT | FMT_BY_POINTER, &f,
                      ARG_INT64 | FMT_BY_POINTER | FMT_WITH_SPEC, &ll, "x"),
            10);
  EXPECT_EQ(f, -12.5f);
  EXPECT_EQ(ll, 255);
}

namespace {

struct CCountingInput {
  const char *ci_pch;
  int ci_ctCalls;
};

int GetNext(char &chCurrent, void *pvContext)
{
  CCountingInput *pInput = static_cast<CCountingInput *>(pvContext);
  pInput->ci_ctCalls++;
  chCurrent = *pInput->ci_pch;
  if (chCurrent == 0) return 0;
  pInput->ci_pch++;
  return 1;
}

} // namespace

TEST(Scanner, CallbackInput)
{
  // The first call loads the first character; each consumed character costs one more call.
  CCountingInput input = {"7 x", 0};
  int i = 0;
  EXPECT_EQ(fmtInputF(GetNext, &input, "%1 x", ARG_INT | FMT_BY_POINTER, &i), 1);
  EXPECT_EQ(i, 7);
  EXPECT_EQ(input.ci_ctCalls, 4);

  input = {"7 y", 0};
  EXPECT_EQ(fmtInputF(GetNext, &input, "%1 x", ARG_INT | FMT_BY_POINTER, &i), 0);

  struct CWideInput {
    const char16_t *wi_pwch;
  } wideInput = {u"\u00e9=9"};
  auto get = [](unsigned short &wch, void *pv) -> int {
    CWideInput *pInput = static_cast<CWideInput *>(pv);
    wch = *pInput->wi_pwch;
    if (wch == 0) return 0;
    pInput->wi_pwch++;
    return 1;
  };
  EXPECT_EQ(wfmtInputF(get, &wideInput, W(u"\u00e9=%1"), ARG_INT | FMT_BY_POINTER, &i), 1);
  EXPECT_EQ(i, 9);
}
