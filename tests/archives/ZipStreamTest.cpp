// Reading archive entries: the end of an entry, seeking both ways, damaged entries, threads.
#include "ArchivesTestSupport.h"

using namespace QuennelEngine;
using namespace QuennelEngine::Test;

namespace {

const std::string _strReadme = "line one\r\nline two\r\nline three";

// A value saved as a metadata file, to be read from archives.
struct SZsValues {
  MD_DECLARE_STRUCT(SZsValues)
  float af[64] = {};
};

MD_CLASS_BEGIN(SZsValues, void, 1)
MD_MEMBER(af, 0, "Values")
MD_CLASS_END()

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

TEST_F(ZipStream, SeekingBothWaysInAnEntry)
{
  // Deflated: inflation starts again or runs on; stored: reads are served through the stream's
  // buffer, or straight when large, across the buffer's edges.
  for (const char *strArchive : {"py_deflated.zip", "py_stored.zip"}) {
    SCOPED_TRACE(strArchive);
    Mount(strArchive, "test.gro");
    CStream strm;
    strm.OpenFile_t("Data/big.bin", "r");
    std::string strHalf(150000, '\0');
    strm.Read_t(&strHalf[0], 150000);
    EXPECT_EQ(strHalf, zs_strBig.substr(0, 150000));
    // Back to the start: the same bytes again.
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
    // Reading to the end in pieces, as a read-until-end loop does, small values among them.
    strm.SeekBeg_t(0);
    EXPECT_EQ(ReadToEnd(strm, 4096), zs_strBig);
    strm.SeekBeg_t(123);
    EXPECT_EQ(ReadToEnd(strm, 7777), zs_strBig.substr(123));
    strm.SeekBeg_t(65530);
    long sl = 0;
    strm.ReadValue_t(sl);
    EXPECT_EQ(memcmp(&sl, zs_strBig.data() + 65530, 4), 0);
    strm.Read_t(&strAgain[0], 70000);
    EXPECT_EQ(strAgain.substr(0, 70000), zs_strBig.substr(65534, 70000));
    filClearArchives();
  }
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
    std::string strMessage =
        std::string("damaged.gro/") + strEntry + ": Damaged entry (CRC-32 mismatch)";
    if (strcmp(strEntry, "crc_stored.bin") == 0) {
      // Stored entries are read through a buffer: one that fits in it is checked at its first
      // read.
      EXPECT_EQ(ThrownBy([&] { strm.Read_t(&str[0], 1); }), strMessage);
      EXPECT_EQ(str[0], 0);
      EXPECT_EQ(ThrownBy([&] { strm.Read_t(&str[0], 1); }), strMessage);
    } else {
      // Inflated on the fly: part of the entry cannot be checked yet.
      strm.Read_t(&str[0], slSize - 1);
      EXPECT_EQ(ThrownBy([&] { strm.Read_t(&str[0], 1); }), strMessage);
      EXPECT_EQ(str[0], 0);
    }
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

TEST_F(ZipStream, AMetadataFileReadFromAnArchiveHasItsEntryChecked)
{
  // The reader reads a file to its end, so the entry's CRC-32 is checked, whether the entry is
  // stored or inflated on the fly.
  SZsValues v;
  for (int i = 0; i < 64; i++) v.af[i] = i * 0.5f;
  CStream strmFile;
  strmFile.CreateMemoryStream();
  mdInternalWrite_t(strmFile, CMetaPointer(SZsValues::md_pdtDataType, &v));
  std::string strFile(strmFile.GetSize(), '\0');
  strmFile.SeekBeg_t(0);
  strmFile.Read_t(&strFile[0], (long)strFile.size());
  for (bool bDeflate : {true, false}) {
    SCOPED_TRACE(bDeflate ? "deflated" : "stored");
    ZipBuilder zb;
    zb.Add("good.mtb", strFile, bDeflate).Add("bad.mtb", strFile, bDeflate).Build();
    // The data is whole, the CRC-32 the archive states for it is not.
    zb.Set32(zb.zb_aslCentral[1] + 16, GetZip32(zb.zb_strBytes, zb.zb_aslCentral[1] + 16) ^ 1);
    filClearArchives();
    WriteRootFile("values.gro", zb.zb_strBytes);
    {
      CLockOutputs lo;
      filAddArchive("values.gro");
    }
    CStream strm;
    strm.OpenFile_t("good.mtb", "r");
    CMetaPointer mp = mdInternalRead_t(strm);
    ASSERT_TRUE(mp.IsValid());
    EXPECT_EQ(((SZsValues *)mp.mp_pvObject)->af[63], 31.5f);
    mdDelete(mp);
    EXPECT_TRUE(strm.IsAtEOF_t());
    strm.Close();
    strm.OpenFile_t("bad.mtb", "r");
    EXPECT_EQ(ThrownBy([&] { mdInternalRead_t(strm); }),
              "values.gro/bad.mtb: Damaged entry (CRC-32 mismatch)");
  }
  filClearArchives();
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

namespace {
// 10000 numbered lines of 64 bytes: a text of 640 KB.
std::string NumberedLines(void)
{
  std::string str;
  char ach[80];
  for (unsigned long i = 0; i < 10000; i++) {
    snprintf(ach, sizeof(ach), "line %05lu of a long text that is read line by line: %08lx.\r\n", i,
             (i * 2654435761UL) & 0xFFFFFFFFUL);
    str += ach;
  }
  return str;
}
} // namespace

TEST_F(ZipStream, ReadingLinesGoesBackWithoutInflatingAgain)
{
  const std::string strText = NumberedLines();
  ASSERT_EQ(strText.size(), 640000u);
  ZipBuilder zb;
  zb.Add("lines.txt", strText).Build();
  WriteRootFile("lines.gro", zb.zb_strBytes);
  {
    CLockOutputs lo;
    filAddArchive("lines.gro");
  }
  CStream strm;
  strm.OpenFile_t("lines.txt", "r");
  strm.ReadTextHeader_t();
  const long ctRestarts = filGetZipInflationRestarts();
  // The line reader reads ahead and goes back to the line's end, every line.
  size_t slAt = 0;
  for (int i = 0; i < 10000; i++) {
    size_t slEnd = strText.find("\r\n", slAt);
    ASSERT_STREQ(strm.GetLine_t(), strText.substr(slAt, slEnd - slAt).c_str()) << "line " << i;
    slAt = slEnd + 2;
  }
  EXPECT_TRUE(strm.IsAtEOF_t());
  EXPECT_EQ(filGetZipInflationRestarts() - ctRestarts, 0);

  // Back by less than the 32 KiB the inflater keeps: no restart.
  const long slSize = (long)strText.size();
  char ach[2000];
  strm.SeekEnd_t(30000);
  strm.Read_t(ach, 2000);
  EXPECT_EQ(std::string(ach, 2000), strText.substr(slSize - 30000, 2000));
  EXPECT_EQ(filGetZipInflationRestarts() - ctRestarts, 0);
  // Further back: inflation starts again, and delivers the right bytes.
  strm.SeekEnd_t(60000);
  strm.Read_t(ach, 1000);
  EXPECT_EQ(std::string(ach, 1000), strText.substr(slSize - 60000, 1000));
  EXPECT_EQ(filGetZipInflationRestarts() - ctRestarts, 1);
  // Partly behind the inflater and partly ahead of it.
  strm.SeekCur_t(-500);
  strm.Read_t(ach, 2000);
  EXPECT_EQ(std::string(ach, 2000), strText.substr(slSize - 59500, 2000));
  EXPECT_EQ(filGetZipInflationRestarts() - ctRestarts, 1);
  // Onwards from there inflation goes on; back to the start it starts again.
  strm.SeekEnd_t(1000);
  strm.Read_t(ach, 1000);
  EXPECT_EQ(std::string(ach, 1000), strText.substr(slSize - 1000));
  EXPECT_EQ(filGetZipInflationRestarts() - ctRestarts, 1);
  strm.SeekBeg_t(0);
  strm.Read_t(ach, 2000);
  EXPECT_EQ(std::string(ach, 2000), strText.substr(0, 2000));
  EXPECT_EQ(filGetZipInflationRestarts() - ctRestarts, 2);
  // And the whole entry once more, which also checks its CRC-32 again from the start.
  strm.SeekBeg_t(0);
  EXPECT_EQ(ReadToEnd(strm, 3333), strText);
}

namespace {
struct LockHolder {
  long volatile lh_bHolding = 0;
  long volatile lh_bRelease = 0;
  long volatile lh_bReleasedOnRequest = 0;
};

// Holds the file-system lock until asked to let go; a reader that waits for it instead gets it
// after 20 seconds, and the test fails rather than hangs.
void HoldFileSystemLock(void *pv)
{
  LockHolder *plh = (LockHolder *)pv;
  CSyncLock sl(filGetSyncMutex());
  plh->lh_bHolding = 1;
  plh->lh_bReleasedOnRequest = WaitUntil([plh] { return plh->lh_bRelease != 0; }, 20000);
}
} // namespace

TEST_F(ZipStream, InflatingHoldsNoFileSystemLock)
{
  Mount("py_deflated.zip", "test.gro");
  CStream strm;
  strm.OpenFile_t("Data/big.bin", "r");
  // The first read fetches 64 KiB of compressed input: far more than what follows inflates from.
  std::string str(20000, '\0');
  strm.Read_t(&str[0], 2000);
  CThreadServices ts;
  LockHolder lh;
  thrCreateThread(&lh, HoldFileSystemLock);
  ASSERT_TRUE(WaitUntil([&] { return lh.lh_bHolding != 0; }, 10000));
  // Onwards by inflating, and back into what was inflated, while another thread holds the lock.
  strm.Read_t(&str[0], 20000);
  std::string strBack(1000, '\0');
  strm.SeekBeg_t(500);
  strm.Read_t(&strBack[0], 1000);
  lh.lh_bRelease = 1;
  ASSERT_TRUE(WaitUntil(AllThreadsEnded, 30000));
  EXPECT_EQ(lh.lh_bReleasedOnRequest, 1);
  EXPECT_EQ(str, zs_strBig.substr(2000, 20000));
  EXPECT_EQ(strBack, zs_strBig.substr(500, 1000));
}

namespace {
struct RandomReader {
  const std::string *rr_pstrBig;
  const std::string *rr_pstrSmall;
  unsigned long rr_ulSeed;
  long volatile rr_ctChecked = 0;
  long volatile rr_bFailed = 0;
};

// Reads pieces of two entries of one archive: onwards, a little back, or anywhere, checking
// every piece against the content.
void ReadAtRandom(void *pv)
{
  RandomReader *prr = (RandomReader *)pv;
  try {
    CStream astrm[2];
    astrm[0].OpenFile_t("Data/big.bin", "r");
    astrm[1].OpenFile_t("Textures/Sub/b.tex", "r");
    const std::string *apstr[2] = {prr->rr_pstrBig, prr->rr_pstrSmall};
    unsigned long ul = prr->rr_ulSeed;
    std::string strPiece(5000, '\0');
    for (int i = 0; i < 300; i++) {
      ul = ul * 1664525UL + 1013904223UL;
      int iEntry = (ul >> 8) % 4 == 0 ? 1 : 0;
      CStream &strm = astrm[iEntry];
      const std::string &strExpected = *apstr[iEntry];
      const long slSize = (long)strExpected.size();
      long slAt = strm.GetPosition();
      unsigned long ulKind = (ul >> 20) % 8;
      if (ulKind >= 4 && ulKind < 7) slAt -= (long)((ul >> 4) % 20000);
      if (ulKind == 7) slAt = (long)((ul >> 4) % (unsigned long)slSize);
      if (slAt < 0 || slAt >= slSize) slAt = 0;
      long slPiece = 1 + (long)((ul >> 12) % 5000);
      if (slPiece > slSize - slAt) slPiece = slSize - slAt;
      strm.SeekBeg_t(slAt);
      strm.Read_t(&strPiece[0], slPiece);
      if (strPiece.compare(0, slPiece, strExpected, slAt, slPiece) != 0) {
        prr->rr_bFailed = 1;
        return;
      }
      prr->rr_ctChecked++;
    }
  } catch (CException &) {
    prr->rr_bFailed = 1;
  }
}
} // namespace

TEST_F(ZipStream, TwoThreadsSeekAndReadInOneArchive)
{
  for (const char *strArchive : {"py_deflated.zip", "py_stored.zip"}) {
    SCOPED_TRACE(strArchive);
    Mount(strArchive, "test.gro");
    std::string strB = ReadFileContent("Textures/Sub/b.tex");
    {
      CThreadServices ts;
      RandomReader arr[2];
      for (int i = 0; i < 2; i++) {
        arr[i].rr_pstrBig = &zs_strBig;
        arr[i].rr_pstrSmall = &strB;
        arr[i].rr_ulSeed = 77 + 1000 * i;
        thrCreateThread(&arr[i], ReadAtRandom);
      }
      ASSERT_TRUE(WaitUntil(AllThreadsEnded, 120000));
      for (int i = 0; i < 2; i++) {
        EXPECT_EQ(arr[i].rr_bFailed, 0) << "reader " << i;
        EXPECT_EQ(arr[i].rr_ctChecked, 300) << "reader " << i;
      }
    }
    filClearArchives();
  }
}
