#include "TestSupport.h"

#include "core/platform/SysMemory.h"

#include <gtest/gtest.h>

#include <string.h>
#include <string>

using namespace QuennelEngine;

static const unsigned short *W(const char16_t *wstr)
{
  return reinterpret_cast<const unsigned short *>(wstr);
}

static std::u16string U(const CWString &wstr)
{
  return std::u16string(reinterpret_cast<const char16_t *>(wstr.ConstData()), wstr.Length());
}

// What strUTF8ToUTF16 must give: the text decoded one character at a time by strReadWChar.
static std::u16string DecodedOneByOne(const char *str)
{
  std::u16string wstr;
  int iPos = 0;
  for (;;) {
    unsigned short wch = strReadWChar(str, iPos);
    if (wch == 0) return wstr;
    wstr.push_back((char16_t)wch);
  }
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

TEST(Conversion, ASCIIRunsEndingAtEveryAlignmentDecodeAsOneByOne)
{
  // Whatever ends a run of ASCII (the terminator, a sequence, a broken byte), at every start
  // alignment and run length, around the end of the stack buffer too, and with ASCII after it.
  static const char *const astrStops[] = {
      "",                 // the terminator
      "\xC3\xA9",         // a two-byte sequence
      "\xE2\x82\xAC",     // a three-byte sequence
      "\x80",             // a lone continuation byte
      "\xC3(",            // a lead byte without its continuation
      "\xFF\xFE",         // bytes that start nothing
      "\xF0\x9F\x98\x80", // beyond the 16-bit range
      "\xE0\x80\x80",     // overlong
  };
  alignas(8) char ach[400];
  int ctCases = 0;
  for (int iOffset = 0; iOffset < 8; iOffset++) {
    for (int ctRun = 0; ctRun < 280; ctRun++) {
      if (ctRun == 24) ctRun = 244; // the short runs, then those around the 256 units
      for (const char *strStop : astrStops) {
        for (int bAfter = 0; bAfter < 2; bAfter++) {
          char *pch = ach + iOffset;
          for (int i = 0; i < ctRun; i++)
            pch[i] = (char)(1 + (i * 37 + iOffset) % 127); // every value from 1 to 127
          int ct = ctRun;
          strcpy(pch + ct, strStop);
          ct += (int)strlen(strStop);
          if (bAfter) {
            strcpy(pch + ct, "tail text");
            ct += 9;
          }
          pch[ct] = 0;
          std::u16string wstrExpected = DecodedOneByOne(pch);
          if (U(strUTF8ToUTF16(pch)) != wstrExpected) {
            ADD_FAILURE() << "offset " << iOffset << ", run " << ctRun << ", stop \\x" << std::hex
                          << (int)(unsigned char)strStop[0] << ", after " << bAfter;
            return;
          }
          ctCases++;
        }
      }
    }
  }
  EXPECT_EQ(ctCases, 8 * (24 + 36) * 8 * 2);

  // A few spelled out, so the model above cannot hide a fault shared with it.
  EXPECT_EQ(U(strUTF8ToUTF16("abcd\x80")), u"abcd\x1F");
  EXPECT_EQ(U(strUTF8ToUTF16("abcdefg\xC3\xA9h")), u"abcdefg\u00E9h");
  EXPECT_EQ(U(strUTF8ToUTF16("abc\xE2\x82\xAC"
                             "defgh")),
            u"abc\u20ACdefgh");
  EXPECT_EQ(U(strUTF8ToUTF16("\x7F\x01\x7F\x01\x7F")), u"\x7F\x01\x7F\x01\x7F");
}

TEST(Conversion, LongMixedTextsDecodeAsOneByOne)
{
  // Beyond the stack buffer the rest is decoded with the length known; texts of ASCII runs of
  // random length between sequences, valid and broken, at every start alignment.
  static const char *const astrPieces[] = {"\xC3\xA9",         "\xE2\x82\xAC", "\x80",    "\xC3(",
                                           "\xF0\x9F\x98\x80", "\xEF\xBF\xBF", "\xDF\xBF"};
  unsigned int ulSeed = 12345;
  auto Random = [&](unsigned int ulRange) {
    ulSeed = ulSeed * 1103515245u + 12345u;
    return (ulSeed >> 16) % ulRange;
  };
  alignas(8) char ach[3000];
  for (int iText = 0; iText < 64; iText++) {
    char *pch = ach + (iText & 7);
    int ctTarget = 200 + (int)Random(2600);
    int ct = 0;
    while (ct < ctTarget) {
      int ctRun = (int)Random(40);
      for (int i = 0; i < ctRun && ct < ctTarget; i++) pch[ct++] = (char)(' ' + Random(95));
      const char *strPiece = astrPieces[Random(7)];
      int ctPiece = (int)strlen(strPiece);
      if (ct + ctPiece > ctTarget) break;
      memcpy(pch + ct, strPiece, ctPiece);
      ct += ctPiece;
    }
    pch[ct] = 0;
    std::u16string wstrExpected = DecodedOneByOne(pch);
    CWString wstr = strUTF8ToUTF16(pch);
    ASSERT_EQ(U(wstr), wstrExpected) << "text " << iText;
    EXPECT_EQ(wstrLen(wstr.ConstData()), (int)wstrExpected.size());
  }
  // Plain ASCII over the stack buffer's length needs no shrinking.
  std::string strLong(1000, 'x');
  strLong[999] = 'y';
  EXPECT_EQ(U(strUTF8ToUTF16(strLong.c_str())), std::u16string(999, u'x') + u"y");
}

TEST(Conversion, DecodingNeverReadsIntoThePageAfterTheTerminator)
{
  // A text that ends on the last byte of an accessible page: the page after it has no access,
  // so a read beyond the word that holds the terminator would fault.
  size_t slPage = sysGetPageSize();
  char *pchBase = (char *)sysReserveMemory(2 * slPage);
  ASSERT_NE(pchBase, nullptr);
  ASSERT_TRUE(sysCommitMemory(pchBase, slPage));
  char *pchEnd = pchBase + slPage - 1; // the terminator's place
  for (int ct = 0; ct < 12; ct++) {
    char *pch = pchEnd - ct;
    for (int i = 0; i < ct; i++) pch[i] = (char)('a' + i);
    *pchEnd = 0;
    EXPECT_EQ((int)U(strUTF8ToUTF16(pch)).size(), ct);
    if (ct >= 2) {
      // A two-byte sequence that the terminator cuts off.
      pchEnd[-1] = (char)0xC3;
      EXPECT_EQ(U(strUTF8ToUTF16(pch)).back(), u'\x1F');
    }
  }
  sysReleaseMemory(pchBase);
}
