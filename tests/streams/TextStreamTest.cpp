#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>

using namespace QuennelEngine;
using QuennelEngine::Test::ThrownBy;

namespace {

std::string Bytes(CStream &strm)
{
  CDataBlock db;
  long slPosition = strm.GetPosition();
  strm.ReadDataBlock_t(db);
  strm.SeekBeg_t(slPosition);
  return std::string((const char *)db.GetData(), db.GetSize());
}

// A memory stream with the bytes, in the 8-bit encoding (opening alone keeps the codec).
void Open(CStream &strm, const std::string &str)
{
  strm.Close();
  strm.CreateMemoryStream_t(str.data(), (long)str.size());
}

const unsigned short *W(const char16_t *wstr)
{
  return reinterpret_cast<const unsigned short *>(wstr);
}

} // namespace

TEST(TextStream, HeadersChooseTheCodec)
{
  CStream strm;
  Open(strm, std::string("\xFF\xFE\x41\x00", 4));
  strm.ReadTextHeader_t();
  EXPECT_EQ(strm.GetPosition(), 2);
  EXPECT_EQ(strm.GetWChar_t(), 'A');

  Open(strm, std::string("\xFE\xFF\x00\x42", 4));
  strm.ReadTextHeader_t();
  EXPECT_EQ(strm.GetPosition(), 2);
  EXPECT_EQ(strm.GetWChar_t(), 'B');

  Open(strm, "\xEF\xBB\xBF\xC3\xA9");
  strm.ReadTextHeader_t();
  EXPECT_EQ(strm.GetPosition(), 3);
  EXPECT_EQ(strm.GetWChar_t(), 0xE9);

  Open(strm, "x");
  strm.ReadTextHeader_t();
  EXPECT_EQ(strm.GetPosition(), 0);
  Open(strm, "\xEF\xBB");
  strm.ReadTextHeader_t();
  EXPECT_EQ(strm.GetPosition(), 0);
  EXPECT_EQ(strm.GetWChar_t(), 31); // 8-bit: bytes above 127 have no 16-bit form
}

TEST(TextStream, LinesInEveryLineEndStyle)
{
  CStream strm;
  Open(strm, "ab\r\ncd");
  EXPECT_STREQ(strm.GetLine_t(), "ab");
  EXPECT_STREQ(strm.GetLine_t(), "cd");
  EXPECT_EQ(ThrownBy([&] { strm.GetLine_t(); }), "EOF reached! (<memory stream>)");

  Open(strm, "one\rtwo\n\rthree\n\nfive\n");
  EXPECT_STREQ(strm.GetLine_t(), "one");
  EXPECT_STREQ(strm.GetLine_t(), "two");
  EXPECT_STREQ(strm.GetLine_t(), "three");
  EXPECT_STREQ(strm.GetLine_t(), "");
  EXPECT_STREQ(strm.GetLine_t(), "five");
  EXPECT_TRUE(strm.IsAtEOF_t());

  // UTF-8 lines come back as UTF-8; a long line crosses the chunked fast path.
  std::string strLong(10000, 'x');
  Open(strm, "\xEF\xBB\xBFGr\xC3\xBC\xC3\x9F"
             "e\t!\r\n" +
                 strLong + "\n");
  strm.ReadTextHeader_t();
  EXPECT_STREQ(strm.GetLine_t(), "Grüße !");
  EXPECT_EQ(strm.GetLine_t().Length(), 10000);

  // 8-bit text: characters without a 16-bit form read as 31, stored as that.
  Open(strm, "a\x7F"
             "b\n");
  EXPECT_STREQ(strm.GetLine_t(), "a\x1F"
                                 "b");

  Open(strm, std::string("\xFF\xFEh\0i\0\r\0\n\0\x16\x04\n\0", 14));
  strm.ReadTextHeader_t();
  EXPECT_EQ(strm.GetLineW_t(), CWString(u"hi"));
  EXPECT_EQ(strm.GetLineW_t(), CWString(u"Ж"));
  EXPECT_NE(ThrownBy([&] { strm.GetLineW_t(); }), "");
}

// One line of megabytes: the line buffer must grow geometrically (growing by a fixed step copies
// the line once per step, which takes minutes at this size and runs into the test's time limit).
TEST(TextStream, VeryLongLinesInEveryEncoding)
{
  CStream strm;
  const long ctLong = 4 << 20;
  std::string strLong(ctLong, 'y');
  Open(strm, strLong + "\nend\n");
  EXPECT_EQ(strm.GetLine_t().Length(), ctLong);
  EXPECT_STREQ(strm.GetLine_t(), "end");

  std::string strWide("\xFF\xFE", 2);
  for (long i = 0; i < ctLong / 4; i++) strWide.append("z\0", 2);
  strWide.append("\n\0", 2);
  Open(strm, strWide);
  strm.ReadTextHeader_t();
  CWString wstr = strm.GetLineW_t();
  EXPECT_EQ(wstr.Length(), ctLong / 4);
  EXPECT_EQ(wstr.wstr_String[ctLong / 4 - 1], (unsigned short)u'z');
}

TEST(TextStream, WritingInEveryEncoding)
{
  CStream strm;
  strm.CreateMemoryStream();
  strm.PutLine_t("x");
  EXPECT_EQ(Bytes(strm), "x\r\n");

  strm.CreateMemoryStream();
  strm.SetUTF8();
  strm.WriteTextHeader_t();
  strm.PutLine_t("a\nGrüße\t€");
  EXPECT_EQ(Bytes(strm), "\xEF\xBB\xBF"
                         "a\r\nGrüße €\r\n");

  strm.CreateMemoryStream();
  strm.SetASCII();
  strm.PutLine_t("Grüße"); // no 8-bit form: 31 each
  EXPECT_EQ(Bytes(strm), "Gr\x1F\x1F"
                         "e\r\n");

  strm.CreateMemoryStream();
  strm.SetUTF16();
  strm.WriteTextHeader_t();
  strm.PutLineW_t(W(u"Ж"));
  EXPECT_EQ(Bytes(strm), std::string("\xFF\xFE\x16\x04\r\0\n\0", 8));
  strm.SeekBeg_t(0);
  strm.ReadTextHeader_t();
  EXPECT_EQ(strm.GetLineW_t(), CWString(u"Ж"));

  strm.CreateMemoryStream();
  strm.SetUTF16Inv();
  strm.WriteTextHeader_t();
  strm.FPrintF("%1=%2\n", ARG_TEXT, "k", ARG_INT, 5);
  EXPECT_EQ(Bytes(strm), std::string("\xFE\xFF\0k\0=\x00"
                                     "5\0\r\0\n",
                                     12));

  strm.CreateMemoryStream();
  strm.SetUTF8();
  strm.Print_t("%1 €%2\n", CString("Preis"), 5);
  strm.FPrintF(W(u"%1\n"), ARG_WTEXT, W(u"Ω"));
  EXPECT_EQ(Bytes(strm), "Preis €5\r\nΩ\r\n");
}

TEST(TextStream, ScanningGivesBackExactlyTheCharacterReadAhead)
{
  CStream strm;
  Open(strm, "Version 7 {");
  int iVersion = 0;
  EXPECT_EQ(strm.FScanF("Version %1", 0xABCD8003, &iVersion), 9);
  EXPECT_EQ(iVersion, 7);
  EXPECT_EQ(strm.GetPosition(), 9);
  EXPECT_EQ(strm.GetChar_t(), ' ');

  // The character read ahead was the last one: it is given back too.
  Open(strm, "12x");
  int i = 0;
  EXPECT_EQ(strm.FScanF("%1", 0xABCD8003, &i), 2);
  EXPECT_EQ(strm.GetChar_t(), 'x');

  // In UTF-16 and across CR LF the give-back is one whole character, not one byte.
  Open(strm, std::string("\xFF\xFE"
                         "4\0"
                         "2\0\r\0\n\0"
                         "z\0",
                         12));
  strm.ReadTextHeader_t();
  EXPECT_EQ(strm.FScanF(W(u"%1"), 0xABCD8003, &i), 4);
  EXPECT_EQ(i, 42);
  EXPECT_EQ(strm.GetWChar_t(), 10);
  EXPECT_EQ(strm.GetWChar_t(), 'z');

  Open(strm, "1\r\n2");
  int i2 = 0;
  EXPECT_EQ(strm.FScanF("%1\n%2", 0xABCD8003, &i, 0xABCD8003, &i2), 4);
  EXPECT_EQ(i2, 2);

  Open(strm, "abc");
  EXPECT_EQ(strm.FScanF("%1", 0xABCD8003, &i), -1);
}

TEST(TextStream, CharactersAndTheEnd)
{
  CStream strm;
  Open(strm, "a\r\nb");
  EXPECT_EQ(strm.GetChar_t(), 'a');
  EXPECT_EQ(strm.GetChar_t(), '\n');
  EXPECT_EQ(strm.GetChar_t(), 'b');
  EXPECT_EQ(strm.GetChar_t(), 0);
  EXPECT_EQ(ThrownBy([&] { strm.GetWChar_t(); }), "EOF reached! (<memory stream>)");

  // A stray UTF-8 continuation byte reads as 31; a cut sequence does not run past the end.
  Open(strm, "\x80"
             "a\xE2\x82");
  strm.SetUTF8();
  EXPECT_EQ(strm.GetWChar_t(), 31);
  EXPECT_EQ(strm.GetWChar_t(), 'a');
  EXPECT_EQ(strm.GetWChar_t(), 31);
  EXPECT_TRUE(strm.IsAtEOF_t());

  // A lone last byte of UTF-16 ends the text.
  Open(strm, std::string("\xFF\xFEQ\0R", 5));
  strm.ReadTextHeader_t();
  EXPECT_EQ(strm.GetWChar_t(), 'Q');
  EXPECT_NE(ThrownBy([&] { strm.GetWChar_t(); }), "");

  Open(strm, "abc");
  EXPECT_EQ(ThrownBy([&] { strm.Throw_t("Bad %1", ARG_INT, 3); }), "Bad 3 (<memory stream>)");
}

TEST(StringStreaming, RoundTripsAndRefusesBadLengths)
{
  CStream strm;
  strm.CreateMemoryStream();
  CString("hello").Write_t(strm);
  CWString(u"plain").Write_t(strm);
  CWString(u"café").Write_t(strm);
  CWString(u"a\tb").Write_t(strm); // a tab would not survive as a byte
  std::string str = Bytes(strm);
  EXPECT_EQ(str.substr(0, 9), std::string("\x05\0\0\0hello", 9));
  EXPECT_EQ(str.substr(9, 9), std::string("\x05\0\0\0plain", 9));
  EXPECT_EQ(str.substr(18, 4), std::string("\x04\0\0\x40", 4)); // bit 30: 16-bit units
  EXPECT_EQ(str.substr(22, 8), std::string("c\0a\0f\0\xE9\0", 8));
  strm.SeekBeg_t(0);
  CString strRead;
  CWString wstrA, wstrB, wstrTab;
  strRead.Read_t(strm);
  wstrA.Read_t(strm);
  wstrB.Read_t(strm);
  wstrTab.Read_t(strm);
  EXPECT_EQ(wstrCompareS(wstrTab, (const unsigned short *)u"a\tb"), 0);
  EXPECT_STREQ(strRead, "hello");
  EXPECT_EQ(wstrA, CWString(u"plain"));
  EXPECT_EQ(wstrB, CWString(u"café"));

  // Big-endian units are swapped on reading.
  Open(strm, std::string("\x02\0\0\x20\x04\x16\0z", 8));
  wstrA.Read_t(strm);
  EXPECT_EQ(wstrA, CWString(u"Жz"));

  // Lengths the stream cannot hold, negative lengths and unknown encodings are refused before
  // anything is allocated; the string keeps its old text.
  strRead = "kept";
  Open(strm, std::string("\xFF\xFF\xFF\x7F"
                         "abc",
                         7));
  EXPECT_EQ(ThrownBy([&] { strRead.Read_t(strm); }),
            "Invalid string length 2147483647 in stream! (<memory stream>)");
  Open(strm, std::string("\xFE\xFF\xFF\xFF", 4));
  EXPECT_NE(ThrownBy([&] { strRead.Read_t(strm); }), "");
  EXPECT_STREQ(strRead, "kept");
  Open(strm, std::string("\x03\0\0\x20"
                         "ab",
                         6));
  EXPECT_NE(ThrownBy([&] { wstrA.Read_t(strm); }), "");
  Open(strm, std::string("\x01\0\0\x60"
                         "ab",
                         6));
  EXPECT_EQ(ThrownBy([&] { wstrA.Read_t(strm); }),
            "Unknown string encoding 3 in stream! (<memory stream>)");
  EXPECT_EQ(wstrA, CWString(u"Жz"));
}
