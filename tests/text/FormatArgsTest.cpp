#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>

using namespace QuennelEngine;

namespace {

std::u16string U(const CWString &wstr)
{
  return std::u16string(reinterpret_cast<const char16_t *>(wstr.ConstData()));
}

enum Colour { COLOUR_RED = 2 };
enum class Size : unsigned char { BIG = 9 };

} // namespace

TEST(FormatArgs, EveryOutputTypeGetsItsTag)
{
  EXPECT_STREQ(strFormat("%1%2", 'a', u'\u00e9'), "a\x1f");
  EXPECT_STREQ(strFormat("%1 %2 %3 %4", (short)-5, (unsigned short)65535, (signed char)-3,
                         (unsigned char)200),
               "-5 65535 -3 200");
  EXPECT_STREQ(strFormat("%1 %2 %3 %4", true, COLOUR_RED, Size::BIG, -7l), "1 2 9 -7");
  EXPECT_STREQ(strFormat("%1 %2 %3", 4000000000u, 4000000000ul, -2147483647 - 1),
               "4000000000 4000000000 -2147483648");
  EXPECT_STREQ(strFormat("%1 %2", -9223372036854775807ll - 1, 18446744073709551615ull),
               "-9223372036854775808 18446744073709551615");
  EXPECT_STREQ(strFormat("%1 %2", 1.5f, 0.25), "1.5 0.25");

  const char *pchConst = "c";
  char achMutable[] = "m";
  CString str = "s";
  EXPECT_STREQ(strFormat("%1%2%3%4", pchConst, achMutable, "l", str), "cmls");
  CWString wstr = u"w";
  const unsigned short *pwch = wstr;
  EXPECT_STREQ(strFormat("%1%2%3", u"u", wstr, pwch), "uww");

  EXPECT_STREQ(strFormat("%1 %2 %3", (const void *)0x80000000u, (int *)0x10, nullptr),
               "0x80000000 0x10 0x0");
  // fmtPointer prints a character pointer as an address.
  EXPECT_STREQ(strFormat("%1", fmtPointer((const char *)0xABC)), "0xABC");
}

TEST(FormatArgs, SpecificationsAndTerminator)
{
  EXPECT_STREQ(strFormat("%1|%2|%3", fmtSpec(255, "04X"), fmtSpec("ab", "q"), fmtSpec(-12, "06")),
               "00FF|\"ab\"|-00012");
  EXPECT_STREQ(strFormat("%1 %2", fmtSpec(1.5, ".2f"), fmtSpec(-1ll, "x")),
               "1.50 ffffffffffffffff");
  EXPECT_STREQ(strFormat("%1", fmtSpec(fmtPointer((void *)0xABCDEF), "010x")), "0x00abcdef");
  EXPECT_STREQ(strFormat("%1", fmtSpec(CString("cs"), "-4")), "cs  ");
  EXPECT_STREQ(strFormat("%1", fmtSpec(12, "xq#")), "");

  // The list ends with a terminator word, so placeholders beyond it print nothing.
  EXPECT_STREQ(strFormat("%1 %2 %3", 1), "1  ");
  EXPECT_STREQ(strFormat("[%1]"), "[]");
  std::string strOut;
  auto put = [](char ch, void *pv) { static_cast<std::string *>(pv)->push_back(ch); };
  EXPECT_EQ(fmtOutput(put, &strOut, "%1-%2", 3, "x"), 1);
  EXPECT_EQ(fmtOutput(put, &strOut, "|%3", 3, "x"), 0);
  EXPECT_EQ(strOut, "3-x|");
}

TEST(FormatArgs, SixteenBitOutput)
{
  EXPECT_EQ(U(wstrFormat(u"%1 %2 %3 %4", u'\u0416', 'a', "b\x80", u"\u00fc")),
            u"\u0416 a b\x1f \u00fc");
  CWString wstrFormatText = u"<%1>";
  EXPECT_EQ(U(wstrFormat(wstrFormatText, fmtSpec(7, "03"))), u"<007>");
  const unsigned short *pwchFormat = wstrFormatText;
  EXPECT_EQ(U(wstrFormat(pwchFormat, 2.5f)), u"<2.5>");

  std::u16string wstrOut;
  auto put = [](unsigned short wch, void *pv) {
    static_cast<std::u16string *>(pv)->push_back(wch);
  };
  EXPECT_EQ(wfmtOutput(put, &wstrOut, u"\u00e9%1%2", 1, 2), 1);
  EXPECT_EQ(wstrOut, u"\u00e912");
}

TEST(FormatArgs, EveryScanTargetGetsItsTag)
{
  int i = 0;
  long l = 0;
  unsigned int u = 0;
  unsigned long ul = 0;
  long long ll = 0;
  unsigned long long ull = 0;
  float f = 0;
  EXPECT_EQ(strScan("-1 -2 3 4 -5 6 7.5", "%1 %2 %3 %4 %5 %6 %7", &i, &l, &u, &ul, &ll, &ull, &f),
            18);
  EXPECT_EQ(i, -1);
  EXPECT_EQ(l, -2);
  EXPECT_EQ(u, 3u);
  EXPECT_EQ(ul, 4ul);
  EXPECT_EQ(ll, -5);
  EXPECT_EQ(ull, 6u);
  EXPECT_EQ(f, 7.5f);
  // Each target reads into its own width.
  EXPECT_EQ(strScan("4294967295", "%1", &u), 10);
  EXPECT_EQ(strScan("4294967295", "%1", &i), -1);
  EXPECT_EQ(strScan("99999999999", "%1", &ll), 11);
  EXPECT_EQ(ll, 99999999999ll);

  char ch = 0;
  unsigned short wch = 0;
  char16_t ch16 = 0;
  CString str;
  CWString wstr;
  EXPECT_EQ(strScan("abc de fg", "%1%2%3 %4 %5", &ch, &wch, &ch16, &str, &wstr), 9);
  EXPECT_EQ(ch, 'a');
  EXPECT_EQ(wch, 'b');
  EXPECT_EQ(ch16, u'c');
  EXPECT_STREQ(str, "de");
  EXPECT_EQ(U(wstr), u"fg");

  EXPECT_EQ(strScan("0x1F \"a b\"", "%1 %2", fmtSpec(&i, "#x"), fmtSpec(&str, "q")), 10);
  EXPECT_EQ(i, 31);
  EXPECT_STREQ(str, "a b");
  // Placeholders beyond the targets fail the scan.
  EXPECT_EQ(strScan("1 2", "%1 %2", &i), -1);
}

TEST(FormatArgs, SixteenBitScanning)
{
  int i = 0;
  CWString wstr;
  EXPECT_EQ(wstrScan(u"\u0416=12 \u00fcber", u"\u0416=%1 %2", &i, &wstr), 9);
  EXPECT_EQ(i, 12);
  EXPECT_EQ(U(wstr), u"\u00fcber");
  CWString wstrText = u"7";
  EXPECT_EQ(wstrScan(wstrText, u"%1", &i), 1);
  EXPECT_EQ(i, 7);

  struct CInput {
    const char *in_pch;
  } input = {"x=5"};
  auto get = [](char &ch, void *pv) -> int {
    CInput *pInput = static_cast<CInput *>(pv);
    ch = *pInput->in_pch;
    if (ch == 0) return 0;
    pInput->in_pch++;
    return 1;
  };
  EXPECT_EQ(fmtInput(get, &input, "x=%1", &i), 1);
  EXPECT_EQ(i, 5);
}
