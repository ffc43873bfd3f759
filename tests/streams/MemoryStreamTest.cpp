#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>

using namespace QuennelEngine;
using namespace QuennelEngine::Test;

// Runs `fn` and returns the description of the CException it throws ("" if none).

TEST(Stream, ClosedHandleRefusesEverything)
{
  CStream strm;
  EXPECT_EQ(strm.GetSize(), 0);
  EXPECT_EQ(strm.GetPosition(), 0);
  EXPECT_TRUE(strm.IsAtEOF_t());
  char ach[4];
  EXPECT_EQ(ThrownBy([&] { strm.Read_t(ach, 4); }), "Cannot read from dummy stream!");
  EXPECT_EQ(ThrownBy([&] { strm.Read_t(ach, 0); }), ""); // nothing to read: no call, no throw
  EXPECT_EQ(ThrownBy([&] { strm.Peek_t(ach, 1); }), "Cannot peek into dummy stream!");
  EXPECT_EQ(ThrownBy([&] { strm.Write_t(ach, 1); }), "Cannot write to dummy stream!");
  EXPECT_EQ(ThrownBy([&] { strm.SeekCur_t(1); }), "Cannot seek in dummy stream!");
  EXPECT_EQ(ThrownBy([&] { strm.SetSize_t(1); }), "Cannot set size to dummy stream!");
  EXPECT_STREQ(strm.GetDescription(), "<dummy stream>");
  strm.CreateMemoryStream_t("abc", 3);
  strm.Close();
  EXPECT_EQ(ThrownBy([&] { strm.Read_t(ach, 1); }), "Cannot read from dummy stream!");
}

TEST(MemoryStream, GrowthReadsAndTheEnd)
{
  CStream strm;
  strm.CreateMemoryStream();
  CMemoryStream *pms = (CMemoryStream *)strm.GetImplementation();
  strm.Write_t("x", 1);
  EXPECT_EQ(pms->GetCapacity(), 4096);
  char achBig[4096] = {};
  strm.Write_t(achBig, 4096);
  EXPECT_EQ(pms->GetCapacity(), 8192);
  EXPECT_EQ(strm.GetSize(), 4097);

  strm.CreateMemoryStream_t("abcdef", 6);
  char ach[10] = {};
  EXPECT_EQ(ThrownBy([&] { strm.Read_t(ach, 10); }), "EOF reached! (<memory stream>)");
  EXPECT_EQ(std::string(ach, 6), "abcdef");
  EXPECT_EQ(strm.GetPosition(), 6);
  strm.SeekBeg_t(4);
  memset(ach, 0, sizeof(ach));
  EXPECT_EQ(ThrownBy([&] { strm.Peek_t(ach, 5); }), "EOF reached! (<memory stream>)");
  EXPECT_EQ(std::string(ach), "ef");
  EXPECT_EQ(strm.GetPosition(), 4); // a peek never moves
  EXPECT_EQ(ThrownBy([&] { strm.Read_t(ach, -1); }), "Invalid size! (<memory stream>)");
  EXPECT_EQ(ThrownBy([&] { strm.Write_t(ach, -5); }), "Invalid size! (<memory stream>)");
  EXPECT_EQ(strm.GetSize(), 6);
}

TEST(MemoryStream, SeeksAreCheckedWithoutOverflow)
{
  CStream strm;
  strm.CreateMemoryStream_t("0123456789", 10);
  strm.SeekEnd_t(0);
  EXPECT_EQ(strm.GetPosition(), 10);
  strm.SeekEnd_t(10);
  EXPECT_EQ(strm.GetPosition(), 0);
  const std::string strBefore = "Trying to seek before stream SOF! (<memory stream>)";
  const std::string strBeyond = "Trying to seek beyond stream EOF! (<memory stream>)";
  EXPECT_EQ(ThrownBy([&] { strm.SeekEnd_t(11); }), strBefore);
  EXPECT_EQ(ThrownBy([&] { strm.SeekEnd_t(-1); }), strBeyond); // one sign for every stream
  EXPECT_EQ(ThrownBy([&] { strm.SeekBeg_t(-1); }), strBefore);
  EXPECT_EQ(ThrownBy([&] { strm.SeekBeg_t(11); }), strBeyond);
  strm.SeekBeg_t(5);
  EXPECT_EQ(ThrownBy([&] { strm.SeekCur_t(0x7FFFFFFF); }), strBeyond); // would wrap
  EXPECT_EQ(ThrownBy([&] { strm.SeekCur_t(-0x7FFFFFFF - 1); }), strBefore);
  EXPECT_EQ(ThrownBy([&] { strm.SeekCur_t(-6); }), strBefore);
  strm.SeekCur_t(5);
  EXPECT_TRUE(strm.IsAtEOF_t());
  char ch;
  EXPECT_NE(ThrownBy([&] { strm.Read_t(&ch, 0x7FFFFFFF); }), "");

  // A size below the position moves the position to it.
  strm.SetSize_t(3);
  EXPECT_EQ(strm.GetPosition(), 3);
  EXPECT_EQ(ThrownBy([&] { strm.SetSize_t(-1); }), "Could not resize stream! (<memory stream>)");
  strm.SetSize_t(20000);
  EXPECT_EQ(strm.GetSize(), 20000);
}

TEST(MemoryStream, CopiesFromOtherStreams)
{
  CStream strmSource;
  strmSource.CreateMemoryStream_t("headerPAYLOAD", 13);
  strmSource.SeekBeg_t(6);
  CStream strm;
  strm.CreateMemoryStream_t(strmSource); // from the source's position to its end
  EXPECT_EQ(strm.GetSize(), 7);
  EXPECT_EQ(strm.GetPosition(), 0);
  EXPECT_TRUE(strmSource.IsAtEOF_t());
  char ach[16] = {};
  strm.Read_t(ach, 7);
  EXPECT_STREQ(ach, "PAYLOAD");

  // Writing a stream into a memory stream copies all of it and keeps the source's position.
  strmSource.SeekBeg_t(3);
  strm.SeekBeg_t(0);
  strm.Write_t(strmSource);
  EXPECT_EQ(strmSource.GetPosition(), 3);
  EXPECT_EQ(strm.GetSize(), 13);
  strm.SeekBeg_t(0);
  memset(ach, 0, sizeof(ach));
  strm.Read_t(ach, 13);
  EXPECT_STREQ(ach, "headerPAYLOAD");

  // A stream copied from itself.
  strm.SeekBeg_t(6);
  strm.CreateMemoryStream_t(strm);
  EXPECT_EQ(strm.GetSize(), 7);
}

TEST(Stream, ChunkIDsDataBlocksAndKeywords)
{
  CStream strm;
  strm.CreateMemoryStream();
  strm.WriteID_t("META");
  strm.WriteID_t(CChunkID("INFO"));
  strm.Write_t("Version 7", 9);
  strm.SeekBeg_t(0);
  EXPECT_EQ(strm.PeekID_t(), CChunkID("META"));
  EXPECT_EQ(strm.GetPosition(), 0);
  long ctEffective = strm_ctEffectiveBytes;
  strm.ExpectID_t("META");
  EXPECT_EQ(strm.GetPosition(), 4);
  EXPECT_EQ(strm_ctEffectiveBytes, ctEffective + 4);
  std::string str = ThrownBy([&] { strm.ExpectID_t("META"); });
  EXPECT_EQ(str, "Chunk ID validation failed.\nExpected ID META but found INFO\n");
  EXPECT_EQ(strm.GetPosition(), 8); // the four bytes stay consumed
  strm.ExpectKeyword_t("Version");
  EXPECT_EQ(ThrownBy([&] { strm.ExpectKeyword_t(" 8"); }), "Expected keyword  8 not found");
  EXPECT_STREQ(CChunkID(), "    ");

  CStream strmBytes;
  char ach[100];
  for (int i = 0; i < 100; i++) ach[i] = (char)i;
  strmBytes.CreateMemoryStream_t(ach, 100);
  strmBytes.SeekBeg_t(50);
  CDataBlock db;
  strmBytes.ReadDataBlock_t(db, 10);
  EXPECT_EQ(db.GetSize(), 10);
  EXPECT_EQ(((char *)db.GetData())[9], 9);
  strmBytes.ReadDataBlock_t(db);
  EXPECT_EQ(db.GetSize(), 100);
  CStream strmOut;
  strmOut.CreateMemoryStream();
  strmOut.WriteDataBlock_t(db);
  EXPECT_EQ(strmOut.GetSize(), 100);
  CDataBlock dbCopy(db);
  EXPECT_TRUE(dbCopy == db);
  ((char *)dbCopy.GetData())[0] = 1;
  EXPECT_TRUE(dbCopy != db);
}

TEST(Stream, FindAcrossChunksAndAtTheEnd)
{
  std::string str(10000, 'a');
  str.replace(4094, 5, "NEEDL"); // lies across the first 4096-byte chunk
  str.replace(9000, 5, "OTHER");
  CStream strm;
  strm.CreateMemoryStream_t(str.data(), (long)str.size());
  EXPECT_EQ(strm.Find_t((const unsigned char *)"NEEDL", 5), 4094);
  EXPECT_EQ(strm.GetPosition(), 4094);
  EXPECT_EQ(strm.Find_t((const unsigned char *)"OTHER", 5), 9000);
  strm.SeekBeg_t(100);
  EXPECT_EQ(strm.Find_t((const unsigned char *)"MISSING", 7), -1);
  EXPECT_EQ(strm.GetPosition(), 100);
  // A candidate that would run past the end is no match.
  EXPECT_EQ(strm.Find_t((const unsigned char *)"aaaaaZ", 6), -1);
  strm.SeekEnd_t(3);
  EXPECT_EQ(strm.Find_t((const unsigned char *)"aaaa", 4), -1);
  CGuardBreachCounter gbc;
  EXPECT_EQ(strm.Find_t((const unsigned char *)"a", 0), -1);
  EXPECT_EQ(strm.Find_t((const unsigned char *)"a", 32768), -1);
  EXPECT_EQ(gbc.Count(), 2);
}
