#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace QuennelEngine;

static const unsigned short *W(const char16_t *wstr)
{
  return reinterpret_cast<const unsigned short *>(wstr);
}

TEST(FileNames, PartsOfPaths)
{
  EXPECT_STREQ(strFileDir("Dir/Sub/Name.ext"), "Dir/Sub/");
  EXPECT_STREQ(strFileDir("Dir/Sub/"), "Dir/Sub/");
  EXPECT_STREQ(strFileDir("Name.ext"), "");
  EXPECT_STREQ(strNoFileDir("Dir/Sub/Name.ext"), "Name.ext");
  EXPECT_STREQ(strNoFileDir("Dir/"), "");
  EXPECT_STREQ(strFileName("Dir/Name.tar.gz"), "Name.tar");
  EXPECT_STREQ(strFileName("Dir/Name"), "Name");
  EXPECT_STREQ(strFileExt("Dir/Name.tar.gz"), ".gz");
  EXPECT_STREQ(strFileExt("Dir/a.b/Name"), "");
  EXPECT_STREQ(strNoFileExt("Dir/a.b/Name"), "Dir/a");
  EXPECT_STREQ(strNoFileExt("Dir/Name.ext"), "Dir/Name");
  EXPECT_STREQ(strNoFileExt("Name"), "Name");
  EXPECT_STREQ(strDirName("Data/Textures/"), "Textures");
  EXPECT_STREQ(strDirName("Textures/"), "Textures");
  EXPECT_STREQ(strDirName("Data/Textures"), "");
  EXPECT_STREQ(strDirName(""), "");

  EXPECT_TRUE(strIsValidFileName(""));
  EXPECT_TRUE(strIsValidFileName("Wall (1).tex"));
  EXPECT_FALSE(strIsValidFileName("a/b"));
  EXPECT_FALSE(strIsValidFileName("what?"));
  EXPECT_TRUE(wstrIsValidFileName(W(u"Wow.txt")));
  EXPECT_FALSE(wstrIsValidFileName(W(u"café")));
}

TEST(Conversion, UTF8EncodingAndDecoding)
{
  EXPECT_EQ(strUTF8GetBytesCount('a'), 1);
  EXPECT_EQ(strUTF8GetBytesCount((char)0xC3), 2);
  EXPECT_EQ(strUTF8GetBytesCount((char)0xE2), 3);
  EXPECT_EQ(strUTF8GetBytesCount((char)0xF0), 3);
  EXPECT_EQ(strUTF8GetBytesCount((char)0x80), 0);

  char ach[16] = {};
  int iPos = 0;
  strWriteUTF8Char('A', ach, iPos);
  strWriteUTF8Char(0xE9, ach, iPos);
  strWriteUTF8Char(0x20AC, ach, iPos);
  strWriteUTF8Char(0x7FF, ach, iPos);
  strWriteUTF8Char(0x800, ach, iPos);
  EXPECT_EQ(iPos, 1 + 2 + 3 + 2 + 3);
  EXPECT_STREQ(ach, "A\xC3\xA9\xE2\x82\xAC\xDF\xBF\xE0\xA0\x80");

  iPos = 0;
  EXPECT_EQ(strReadWChar(ach, iPos), 'A');
  EXPECT_EQ(strReadWChar(ach, iPos), 0xE9);
  EXPECT_EQ(strGetWChar(ach, iPos), 0x20AC);
  EXPECT_EQ(strReadWChar(ach, iPos), 0x20AC);
  EXPECT_EQ(strReadWChar(ach, iPos), 0x7FF);
  EXPECT_EQ(strReadWChar(ach, iPos), 0x800);
  EXPECT_EQ(strReadWChar(ach, iPos), 0);
  EXPECT_EQ(strReadWChar(ach, iPos), 0); // stays on the terminator
  EXPECT_EQ(iPos, 11);
}

TEST(Conversion, BrokenUTF8GivesReplacementsAndNeverPassesTheEnd)
{
  struct Case {
    const char *str;
    const char16_t *wstrExpected;
  };
  const Case aCases[] = {
    {"\x80x", u"\x1Fx"},             // lone continuation byte
    {"\xC3", u"\x1F"},               // two-byte sequence cut by the terminator
    {"\xC1\x81", u"\x1F"},           // overlong two-byte form of 'A'
    {"\xE2\x82", u"\x1F"},           // three-byte sequence cut by the terminator
    {"\xE0\x80\x80z", u"\x1Fz"},     // overlong three-byte form
    {"\xEF\xBF\xBF", u"\x1F"},       // U+FFFF
    {"\xC3(", u"\x1F("},             // a lead byte followed by no continuation keeps the next
    {"\xF0\x9F\x98\x80!", u"\x1F!"}, // beyond the 16-bit range: one replacement
  };
  for (const Case &c : aCases) {
    CWString wstr = strUTF8ToUTF16(c.str);
    EXPECT_EQ(wstrCompareS(wstr, W(c.wstrExpected)), 0) << c.str;
  }
}

TEST(Conversion, RoundTripsAndNarrowing)
{
  CWString wstr = strUTF8ToUTF16("Grüße, €uro ąę Ж");
  EXPECT_EQ(wstr, CWString(u"Grüße, €uro ąę Ж"));
  EXPECT_STREQ(strUTF16ToUTF8(wstr), "Grüße, €uro ąę Ж");
  // Every 16-bit value except U+FFFF and the terminator survives a round trip.
  CWString wstrAll(1, 0xFFFE);
  unsigned short *pwch = wstrAll.wstr_String;
  for (int i = 0; i < 0xFFFE; i++) pwch[i] = (unsigned short)(i + 1);
  EXPECT_EQ(wstrCompareS(strUTF8ToUTF16(strUTF16ToUTF8(wstrAll)), wstrAll), 0);

  EXPECT_EQ(strASCIIToUTF16("a\tb\xE9"), CWString(u"a b\x1F"));
  EXPECT_STREQ(strUTF16ToASCII(W(u"a\tbé\u20AC")), "a b\x1F\x1F");
  EXPECT_STREQ(wchUTF16ToUTF8(0xE9), "\xC3\xA9");
  EXPECT_STREQ(wchUTF16ToUTF8(0), "");
  EXPECT_STREQ(strUTF16ToUTF8(W(u"")), "");
}
