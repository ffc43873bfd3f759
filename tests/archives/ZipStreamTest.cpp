// Reading archive entries: the end of an entry, seeking both ways, damaged entries, threads.
#include "ArchivesTestSupport.h"

using namespace QuennelEngine;
using namespace QuennelEngine::Test;

namespace {

const std::string _strReadme = "line one\r\nline two\r\nline three";

class ZipStream : public ArchiveRoot {
protected:
  void SetUp() override
  {
    ArchiveRoot::SetUp();
    Mount("py_stored.zip", "stored.gro");
    zs_strBig = ReadFileContent("Data/big.bin");
    filClearArchives();
  }
  std::string zs_strBig;
};

} // namespace

TEST_F(ZipStream, ReadingAtTheEntrysEndDeliversWhatIsThere)
{
  for (const char *strArchive : {"py_deflated.zip", "py_stored.zip"}) {
    SCOPED_TRACE(strArchive);
    Mount(strArchive, "test.gro");
    CStream strm;
    strm.OpenFile_t("readme.txt", "r");
    ASSERT_EQ(strm.GetSize(), 30);
    char ach[100];
    memset(ach, 0x55, sizeof(ach));
    strm.SeekBeg_t(20);
    strm.Read_t(ach, 100);
    EXPECT_EQ(std::string(ach, 10), _strReadme.substr(20));
    // What was not delivered is zeroed, never left as it was.
    EXPECT_EQ(std::string(ach + 10, 90), std::string(90, '\0'));
    EXPECT_EQ(strm.GetPosition(), 30);
    EXPECT_TRUE(strm.IsAtEOF_t());
    memset(ach, 0x55, sizeof(ach));
    EXPECT_EQ(ThrownBy([&] { strm.Read_t(ach, 1); }),
              "Trying to read behind the end of file. (readme.txt)");
    EXPECT_EQ(ach[0], 0);
    // The seeks keep the position inside the entry; SeekEnd_t counts back from the end.
    strm.SeekEnd_t(10);
    EXPECT_EQ(strm.GetPosition(), 20);
    strm.SeekEnd_t(0);
    EXPECT_EQ(strm.GetPosition(), 30);
    EXPECT_EQ(ThrownBy([&] { strm.SeekEnd_t(-1); }),
              "Trying to seek beyond stream EOF! (readme.txt)");
    EXPECT_EQ(ThrownBy([&] { strm.SeekEnd_t(31); }),
              "Trying to seek before stream SOF! (readme.txt)");
    EXPECT_EQ(ThrownBy([&] { strm.SeekCur_t(1); }),
              "Trying to seek beyond stream EOF! (readme.txt)");
    EXPECT_EQ(ThrownBy([&] { strm.SeekBeg_t(-1); }),
              "Trying to seek before stream SOF! (readme.txt)");
    EXPECT_EQ(ThrownBy([&] { strm.Write_t("x", 1); }), "Cannot write to zip stream!");
    EXPECT_EQ(ThrownBy([&] { strm.SetSize_t(3); }), "Cannot set size to zip stream!");
    strm.Close();
    filClearArchives();
  }
}

TEST_F(ZipStream, SeekingBothWaysInADeflatedEntry)
{
  Mount("py_deflated.zip", "test.gro");
  CStream strm;
  strm.OpenFile_t("Data/big.bin", "r");
  std::string strHalf(150000, '\0');
  strm.Read_t(&strHalf[0], 150000);
  EXPECT_EQ(strHalf, zs_strBig.substr(0, 150000));
  // Back to the start: inflation starts again and yields the same bytes.
  strm.SeekBeg_t(0);
  std::string strAgain(150000, '\0');
  strm.Read_t(&strAgain[0], 150000);
  EXPECT_EQ(strAgain, strHalf);
  // Forwards past unread data, then back a little.
  char ach[1000];
  strm.SeekBeg_t(250000);
  strm.Read_t(ach, 1000);
  EXPECT_EQ(std::string(ach, 1000), zs_strBig.substr(250000, 1000));
  strm.SeekCur_t(-1500);
  strm.Read_t(ach, 1000);
  EXPECT_EQ(std::string(ach, 1000), zs_strBig.substr(249500, 1000));
  strm.SeekEnd_t(1000);
  strm.Read_t(ach, 1000);
  EXPECT_EQ(std::string(ach, 1000), zs_strBig.substr(299000));
  // Reading to the end in pieces, as a read-until-end loop does.
  strm.SeekBeg_t(0);
  EXPECT_EQ(ReadToEnd(strm, 4096), zs_strBig);
  strm.SeekBeg_t(123);
  EXPECT_EQ(ReadToEnd(strm, 7777), zs_strBig.substr(123));
}

TEST_F(ZipStream, PeeksAndTextLines)
{
  for (const char *strArchive : {"py_deflated.zip", "infozip_stored.zip"}) {
    SCOPED_TRACE(strArchive);
    Mount(strArchive, "test.gro");
    CStream strm;
    strm.OpenFile_t("readme.txt", "r");
    strm.ReadTextHeader_t();
    EXPECT_STREQ(strm.GetLine_t(), "line one");
    EXPECT_STREQ(strm.GetLine_t(), "line two");
    EXPECT_STREQ(strm.GetLine_t(), "line three");
    EXPECT_TRUE(strm.IsAtEOF_t());
    strm.OpenFile_t("Data/big.bin", "r");
    char achPeek[300], achRead[300];
    strm.SeekBeg_t(100000);
    strm.Peek_t(achPeek, 300);
    EXPECT_EQ(strm.GetPosition(), 100000);
    strm.Read_t(achRead, 10);
    strm.Read_t(achRead + 10, 290);
    EXPECT_EQ(std::string(achRead, 300), std::string(achPeek, 300));
    EXPECT_EQ(std::string(achRead, 300), zs_strBig.substr(100000, 300));
    strm.Close();
    filClearArchives();
  }
}

TEST_F(ZipStream, DamagedEntriesAreReportedNotHandedOn)
{
  Mount("damaged.zip", "damaged.gro");
  EXPECT_EQ(ReadFileContent("good.txt"), "fine");
  CStream strm;
  for (const char *strEntry : {"crc_deflated.bin", "crc_stored.bin"}) {
    SCOPED_TRACE(strEntry);
    strm.OpenFile_t(strEntry, "r");
    long slSize = strm.GetSize();
    std::string str(slSize, 'x');
    // Part of the entry cannot be checked yet.
    strm.Read_t(&str[0], slSize - 1);
    std::string strMessage =
        std::string("damaged.gro/") + strEntry + ": Damaged entry (CRC-32 mismatch)";
    EXPECT_EQ(ThrownBy([&] { strm.Read_t(&str[0], 1); }), strMessage);
    EXPECT_EQ(str[0], 0);
    // Reading it again from the start finds the damage again.
    strm.SeekBeg_t(0);
    EXPECT_EQ(ThrownBy([&] { strm.Read_t(&str[0], slSize); }), strMessage);
    EXPECT_EQ(str, std::string(slSize, '\0'));
  }
  // The compressed data runs out before the entry's end, or ends before its stated size.
  for (const char *strEntry : {"short_input.bin", "ends_early.bin"}) {
    SCOPED_TRACE(strEntry);
    strm.OpenFile_t(strEntry, "r");
    std::string str(strm.GetSize(), 'x');
    EXPECT_EQ(ThrownBy([&] { strm.Read_t(&str[0], (long)str.size()); }), "Error reading from zip");
    EXPECT_EQ(str, std::string(str.size(), '\0'));
    strm.SeekEnd_t(1);
    EXPECT_EQ(ThrownBy([&] { strm.Read_t(&str[0], 1); }), "Error seeking in zip");
  }
}

TEST_F(ZipStream, OnlyDeliveredBytesCountAsEffective)
{
  Mount("py_deflated.zip", "test.gro");
  CStream strm;
  strm.OpenFile_t("Data/big.bin", "r");
  long ctBefore = strm_ctEffectiveBytes;
  char ach[1000];
  strm.Read_t(ach, 1000);
  strm.SeekBeg_t(200000);
  strm.Read_t(ach, 1000);
  EXPECT_EQ(strm_ctEffectiveBytes - ctBefore, 2000);
}

TEST_F(ZipStream, StreamsOutliveUnmounting)
{
  Mount("py_deflated.zip", "test.gro");
  CStream strmDeflated, strmStored;
  strmDeflated.OpenFile_t("Data/big.bin", "r");
  filClearArchives();
  Mount("py_stored.zip", "stored.gro");
  strmStored.OpenFile_t("Data/big.bin", "r");
  filClearArchives();
  EXPECT_FALSE(filExistsInZip("Data/big.bin"));
  EXPECT_EQ(ReadToEnd(strmDeflated, 65536), zs_strBig);
  EXPECT_EQ(ReadToEnd(strmStored, 65536), zs_strBig);
}

namespace {
struct EntryReader {
  const std::string *er_pstrExpected;
  const char *er_strEntry;
  long volatile er_bOK = 0;
};

void ReadEntryRepeatedly(void *pv)
{
  EntryReader *per = (EntryReader *)pv;
  try {
    for (int i = 0; i < 3; i++) {
      CStream strm;
      strm.OpenFile_t(per->er_strEntry, "r");
      if (ReadToEnd(strm, 3000 + i * 1000) != *per->er_pstrExpected) return;
    }
    per->er_bOK = 1;
  } catch (CException &) {
  }
}
} // namespace

TEST_F(ZipStream, TwoThreadsReadEntriesOfOneArchive)
{
  Mount("py_deflated.zip", "test.gro");
  CThreadServices ts;
  std::string strB = ReadFileContent("Textures/Sub/b.tex");
  EntryReader aer[2];
  aer[0].er_pstrExpected = &zs_strBig;
  aer[0].er_strEntry = "Data/big.bin";
  aer[1].er_pstrExpected = &strB;
  aer[1].er_strEntry = "Textures/Sub/b.tex";
  thrCreateThread(&aer[0], ReadEntryRepeatedly);
  thrCreateThread(&aer[1], ReadEntryRepeatedly);
  ASSERT_TRUE(WaitUntil(AllThreadsEnded, 60000));
  EXPECT_EQ(aer[0].er_bOK, 1);
  EXPECT_EQ(aer[1].er_bOK, 1);
}
