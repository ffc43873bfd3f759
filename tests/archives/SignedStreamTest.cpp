// Signatures and signed streams.
#include "ArchivesTestSupport.h"

using namespace QuennelEngine;
using namespace QuennelEngine::Test;

namespace {

std::string Payload(long slSize)
{
  std::string str(slSize, '\0');
  for (long i = 0; i < slSize; i++) str[i] = (char)(i * 7 + i / 300);
  return str;
}

// The signed form of a payload, written through a memory stream.
std::string Signed(const std::string &strPayload)
{
  CStream strmMemory, strmSigned;
  strmMemory.CreateMemoryStream();
  strmSigned.CreateSignedStream(strmMemory, "w", SIG_CRC32);
  if (!strPayload.empty()) strmSigned.Write_t(strPayload.data(), (long)strPayload.size());
  strmSigned.Finish_t();
  std::string str(strmMemory.GetSize(), '\0');
  strmMemory.SeekBeg_t(0);
  strmMemory.Read_t(&str[0], (long)str.size());
  return str;
}

void Put32(std::string &str, size_t sl, unsigned long ul)
{
  for (int i = 0; i < 4; i++) str[sl + i] = (char)(ul >> (8 * i));
}

// A header with the fields given and a correct signature over them.
std::string Header(long slSignature, long slBlock, long slType)
{
  std::string str(16, '\0');
  Put32(str, 0, slSignature);
  Put32(str, 4, slBlock);
  Put32(str, 8, slType);
  Put32(str, 12, crcCalculate(str.data(), 12));
  return str;
}

// Opens a signed stream for reading over `strm` holding the bytes.
struct SignedReader {
  CStream sr_strmMemory;
  CStream sr_strm;
  explicit SignedReader(const std::string &str)
  {
    sr_strmMemory.CreateMemoryStream_t(str.data(), (long)str.size());
    sr_strm.CreateSignedStream(sr_strmMemory, "r", 0);
  }
  ~SignedReader()
  {
    // Unfinished streams complain when destroyed; the tests finish them or leave quietly.
    CLockOutputs lo;
    sr_strm.Close();
  }
};

bool ConsoleHas(const char *strText)
{
  for (long i = 0; i < 10; i++) {
    long iType;
    CString strLine;
    conGetLine(i, iType, strLine);
    if (strFindSubstr(strLine, strText) >= 0) return true;
  }
  return false;
}

} // namespace

TEST(Signatures, StandardCRC32)
{
  EXPECT_EQ(sigGetSize(SIG_CRC32), 4);
  EXPECT_EQ(sigGetSize(SIG_CRC32_COMPAT), 4);
  {
    CLockOutputs lo;
    EXPECT_EQ(sigGetSize((SignatureType)3), 0);
  }
  CDataBlock db;
  sigCalculate(SIG_CRC32_COMPAT, "123456789", 9, db);
  ASSERT_EQ(db.GetSize(), 4);
  const unsigned char aubCheck[4] = {0x26, 0x39, 0xF4, 0xCB}; // 0xCBF43926, little-endian
  EXPECT_EQ(memcmp(db.GetData(), aubCheck, 4), 0);
  // In pieces, through a handle.
  CSignHandle *psh = sigBegin(SIG_CRC32);
  sigUpdate(psh, "1234", 4);
  sigUpdate(psh, "56789", 5);
  CDataBlock dbPieces;
  sigFinish(psh, dbPieces);
  EXPECT_TRUE(dbPieces == db);
  // A null handle is a broken contract, and changes nothing.
  CLockOutputs lo;
  sigUpdate(nullptr, "x", 1);
  sigFinish(nullptr, dbPieces);
  EXPECT_TRUE(dbPieces == db);
}

TEST(SignedStream, LayoutAndReadingBack)
{
  std::string strPayload = Payload(10000);
  std::string strSigned = Signed(strPayload);
  ASSERT_EQ(strSigned.size(), 10024u); // 12 + 4 + (8192 + 4) + (1808 + 4)
  EXPECT_EQ(strSigned.substr(0, 16), Header(4, 8192, 1));
  EXPECT_EQ(strSigned.substr(16, 8192), strPayload.substr(0, 8192));

  // Size, position and end are the payload's: a read-until-end loop gets all of it.
  SignedReader sr(strSigned);
  EXPECT_EQ(sr.sr_strm.GetSize(), 10000);
  EXPECT_EQ(sr.sr_strm.GetPosition(), 0);
  EXPECT_EQ(ReadToEnd(sr.sr_strm, 3000), strPayload);
  EXPECT_EQ(sr.sr_strm.GetPosition(), 10000);
  char ch = 'x';
  EXPECT_EQ(ThrownBy([&] { sr.sr_strm.Read_t(&ch, 1); }),
            "Reading past end of file. (<memory stream>)");
  EXPECT_EQ(ch, 0);
  sr.sr_strm.Finish_t();
  EXPECT_EQ(ThrownBy([&] { sr.sr_strm.Read_t(&ch, 1); }),
            "Signed stream isn't opened for reading. (<memory stream>)");

  // Exactly the payload, read at once; peeks across a block edge leave the position.
  SignedReader sr2(strSigned);
  std::string str(10000, '\0');
  sr2.sr_strm.Read_t(&str[0], 8000);
  sr2.sr_strm.Peek_t(&str[8000], 2000);
  EXPECT_EQ(sr2.sr_strm.GetPosition(), 8000);
  std::string strRead(2000, '\0');
  sr2.sr_strm.Read_t(&strRead[0], 2000);
  EXPECT_EQ(strRead, str.substr(8000));
  EXPECT_EQ(str.substr(0, 8000) + strRead, strPayload);
  EXPECT_TRUE(sr2.sr_strm.IsAtEOF_t());

  // An empty payload is the header alone.
  std::string strEmpty = Signed("");
  EXPECT_EQ(strEmpty.size(), 16u);
  SignedReader sr3(strEmpty);
  EXPECT_EQ(sr3.sr_strm.GetSize(), 0);
  EXPECT_TRUE(sr3.sr_strm.IsAtEOF_t());
  sr3.sr_strm.Finish_t();
}

TEST(SignedStream, DamageIsFoundAtItsBlock)
{
  std::string strPayload = Payload(20000);
  const std::string strSigned = Signed(strPayload);

  std::string str = strSigned;
  str[16 + 8196 + 5] ^= 1; // a payload byte of block 1
  {
    SignedReader sr(str);
    std::string strRead(20000, '\0');
    sr.sr_strm.Read_t(&strRead[0], 8192);
    EXPECT_EQ(ThrownBy([&] { sr.sr_strm.Read_t(&strRead[0], 1); }),
              "Block signature verification failed. (<memory stream>)");
  }
  {
    // Finishing verifies the blocks nobody read.
    SignedReader sr(str);
    char ach[10];
    sr.sr_strm.Read_t(ach, 10);
    EXPECT_EQ(ThrownBy([&] { sr.sr_strm.Finish_t(); }),
              "Block signature verification failed. (<memory stream>)");
  }
  str = strSigned;
  str[7] ^= 0x80; // a negative block size
  EXPECT_EQ(ThrownBy([&] { SignedReader sr(str); }),
            "Invalid signed stream header. (<memory stream>)");
  str = strSigned;
  str[5] ^= 1; // a block size that is sane, but not the one signed
  EXPECT_EQ(ThrownBy([&] { SignedReader sr(str); }),
            "Header signature verification failed. (<memory stream>)");
  str = strSigned;
  str[13] ^= 1;
  EXPECT_EQ(ThrownBy([&] { SignedReader sr(str); }),
            "Header signature verification failed. (<memory stream>)");
  // Cut inside the last block's signature.
  str = strSigned.substr(0, strSigned.size() - (20000 - 16384) - 2);
  EXPECT_EQ(ThrownBy([&] { SignedReader sr(str); }),
            "Signed stream is truncated. (<memory stream>)");
  // Cut inside the last block's payload: that block's signature is wrong.
  str = strSigned.substr(0, strSigned.size() - 10);
  {
    SignedReader sr(str);
    EXPECT_EQ(sr.sr_strm.GetSize(), 20000 - 10);
    EXPECT_EQ(ThrownBy([&] { ReadToEnd(sr.sr_strm); }),
              "Block signature verification failed. (<memory stream>)");
  }
  EXPECT_NE(ThrownBy([&] { SignedReader sr(strSigned.substr(0, 10)); }), "");
}

TEST(SignedStream, TheHeaderIsCheckedBeforeAnythingIsAllocated)
{
  const std::string strBlock = "abc" + std::string(4, '\0');
  for (std::string strHeader : {Header(4, 0, 1), Header(4, -1, 1), Header(4, 65537, 1),
                                Header(4, 0x7FFFFFFF, 2), Header(0, 8192, 1), Header(4096, 8192, 1),
                                Header(-4, 8192, 1), Header(4, 8192, 3), Header(4, 8192, 0)}) {
    EXPECT_EQ(ThrownBy([&] { SignedReader sr(strHeader + strBlock); }),
              "Invalid signed stream header. (<memory stream>)");
  }
  // Block sizes other than the writers' are read.
  std::string str = Header(4, 2, 2);
  str += "ab";
  str += std::string(4, '\0');
  Put32(str, 18, crcCalculate("ab", 2));
  str += "c";
  str += std::string(4, '\0');
  Put32(str, 23, crcCalculate("c", 1));
  SignedReader sr(str);
  EXPECT_EQ(ReadToEnd(sr.sr_strm, 1), "abc");
  sr.sr_strm.Finish_t();

  // The largest blocks over a short payload, and over none: the block buffer is sized by what
  // the stream holds, and every block still fits it.
  std::string strShort = Header(4, 65536, 1) + "hello" + std::string(4, '\0');
  Put32(strShort, 21, crcCalculate("hello", 5));
  SignedReader srShort(strShort);
  char ach[5];
  srShort.sr_strm.Peek_t(ach, 5);
  EXPECT_EQ(std::string(ach, 5), "hello");
  EXPECT_EQ(ReadToEnd(srShort.sr_strm, 2), "hello");
  EXPECT_EQ(ThrownBy([&] { srShort.sr_strm.Read_t(ach, 1); }),
            "Reading past end of file. (<memory stream>)");
  srShort.sr_strm.Finish_t();
  SignedReader srEmpty(Header(4, 65536, 1));
  EXPECT_EQ(ThrownBy([&] { srEmpty.sr_strm.Read_t(ach, 1); }),
            "Reading past end of file. (<memory stream>)");
  srEmpty.sr_strm.Finish_t();
}

TEST(SignedStream, RefusedOperations)
{
  CLockOutputs lo;
  CStream strmMemory, strm;
  strmMemory.CreateMemoryStream();
  EXPECT_EQ(ThrownBy([&] { strm.CreateSignedStream(strmMemory, "w", 7); }),
            "Invalid signature type. (<memory stream>)");
  EXPECT_EQ(strmMemory.GetSize(), 0);
  strm.CreateSignedStream(strmMemory, "w", SIG_CRC32);
  EXPECT_EQ(ThrownBy([&] { strm.SeekBeg_t(0); }),
            "Seeking in signed stream is illegal. (<memory stream>)");
  EXPECT_EQ(ThrownBy([&] { strm.SeekEnd_t(0); }),
            "Seeking in signed stream is illegal. (<memory stream>)");
  char ch;
  EXPECT_EQ(ThrownBy([&] { strm.Read_t(&ch, 1); }),
            "Signed stream isn't opened for reading. (<memory stream>)");
  strm.Write_t("abc", 3);
  EXPECT_EQ(strm.GetSize(), 3);
  EXPECT_EQ(strm.GetPosition(), 3);
  strm.Finish_t();
  EXPECT_EQ(ThrownBy([&] { strm.Write_t("abc", 3); }),
            "Signed stream isn't opened for writing. (<memory stream>)");
  EXPECT_EQ(ThrownBy([&] { strm.SetSize_t(100); }),
            "Signed stream isn't opened for writing. (<memory stream>)");
  EXPECT_EQ(strmMemory.GetSize(), 16 + 3 + 4);

  // Destroyed unfinished: reported with the description.
  CStream strmMemory2;
  strmMemory2.CreateMemoryStream();
  {
    CStream strmUnfinished;
    strmUnfinished.CreateSignedStream(strmMemory2, "w", SIG_CRC32);
  }
  EXPECT_TRUE(
      ConsoleHas("Signed stream '<memory stream>' wasn't finished. It is still opened for write."));
}

TEST(SignedStream, FillingToTheDesiredSize)
{
  for (long slDesired : {20000L, 16L + 8196L, 16L + 8196L + 2L, 100000L}) {
    SCOPED_TRACE(slDesired);
    CStream strmMemory, strm;
    strmMemory.CreateMemoryStream();
    strm.CreateSignedStream(strmMemory, "w", SIG_CRC32);
    strm.SetSize_t(slDesired);
    strm.Write_t("abc", 3);
    {
      CLockOutputs lo;
      strm.Finish_t();
    }
    // The size is reached; a signature may carry it a few bytes beyond.
    EXPECT_GE(strmMemory.GetSize(), slDesired);
    EXPECT_LE(strmMemory.GetSize(), slDesired + 4);
    strmMemory.SeekBeg_t(0);
    CStream strmRead;
    strmRead.CreateSignedStream(strmMemory, "r", 0);
    std::string str = ReadToEnd(strmRead, 5000);
    EXPECT_EQ(str.substr(0, 3), "abc");
    EXPECT_EQ(str.substr(3), std::string(str.size() - 3, '\0'));
    strmRead.Finish_t();
  }
  // Already beyond the desired size: reported, nothing added.
  CStream strmMemory, strm;
  strmMemory.CreateMemoryStream();
  strm.CreateSignedStream(strmMemory, "w", SIG_CRC32);
  strm.SetSize_t(10);
  strm.Write_t("abc", 3);
  CLockOutputs lo;
  strm.Finish_t();
  EXPECT_TRUE(ConsoleHas("Signed stream is filled over desired size!"));
  EXPECT_EQ(strmMemory.GetSize(), 16 + 3 + 4);
}

TEST_F(ArchiveRoot, SignedFiles)
{
  CStream strm;
  EXPECT_EQ(strm.CreateSignedStream("missing.sig", "r", 0), 0);
  ASSERT_EQ(strm.CreateSignedStream("signed.sig", "w", SIG_CRC32), 1);
  EXPECT_STREQ(strm.GetDescription(), "signed.sig");
  std::string strPayload = Payload(30000);
  strm.Write_t(strPayload.data(), (long)strPayload.size());
  strm.Finish_t();
  strm.Close();
  EXPECT_EQ(filGetFileSize("signed.sig"), 16 + 3 * 8196 + (30000 - 3 * 8192) + 4);
  ASSERT_EQ(strm.CreateSignedStream("signed.sig", "r", 0), 1);
  EXPECT_EQ(ReadToEnd(strm, 10000), strPayload);
  strm.Finish_t();
}
