// Damaged input of every kind the readers take: small archives, signed streams and packed blocks
// are cut at every byte and have random bits flipped (fixed seeds, bounded counts). Every case
// must end in a clean exception or a correct result; a crash, a hang or an allocation sized by a
// damaged field fails the run. Coders read and write through guarded buffers, so that a single
// byte outside them crashes at once.
#include "ArchivesTestSupport.h"

#include <map>

using namespace QuennelEngine;
using namespace QuennelEngine::Test;

namespace {

const int _ctFlipCases = 1000;

// A small deterministic generator, so the sweep is the same on every run.
struct Random {
  unsigned long r_ul;
  unsigned long Next(void)
  {
    r_ul = r_ul * 1664525UL + 1013904223UL;
    return r_ul >> 8;
  }
};

// The variants of `str`: cut at every length, then with 1 to 3 random bits flipped.
template <class F> long SweepVariants(const std::string &str, unsigned long ulSeed, F fnCase)
{
  long ctCases = 0;
  for (size_t sl = 0; sl < str.size(); sl++, ctCases++) fnCase(str.substr(0, sl));
  Random rnd = {ulSeed};
  for (int i = 0; i < _ctFlipCases; i++, ctCases++) {
    std::string strFlipped = str;
    int ctFlips = 1 + (int)(rnd.Next() % 3);
    for (int j = 0; j < ctFlips; j++) {
      unsigned long ulBit = rnd.Next() % (str.size() * 8);
      strFlipped[ulBit / 8] ^= (char)(1 << (ulBit % 8));
    }
    fnCase(strFlipped);
  }
  return ctCases;
}

long _ctSweepCases = 0;

class CorruptionSweep : public ArchiveRoot {
protected:
  static void TearDownTestSuite()
  {
    printf("[ sweep    ] %ld corrupted cases ended cleanly\n", _ctSweepCases);
  }
};

} // namespace

TEST_F(CorruptionSweep, Archives)
{
  ZipBuilder zb;
  std::string strText = "The corruption sweep reads this text from a deflated entry; twice: ";
  strText += strText;
  zb.Add("Dir/deflated.txt", strText)
      .Add("Dir/", "", false)
      .Add("stored.bin", "stored data", false);
  std::vector<std::string> astrArchives = {zb.Build(), TestData("dup_alpha.zip")};
  for (size_t iArchive = 0; iArchive < astrArchives.size(); iArchive++) {
    // What the undamaged archive holds.
    std::map<std::string, std::string> mapContent;
    WriteRootFile("sweep.gro", astrArchives[iArchive]);
    {
      CLockOutputs lo;
      filAddArchive("sweep.gro");
    }
    for (long i = 0; i < filGetZipEntryCount(); i++) {
      CString strName = filGetZipEntryFileName(i);
      mapContent[strName.str_String] = ReadFileContent(strName);
    }
    ASSERT_GE(mapContent.size(), 2u);
    filClearArchives();

    long ctMounted = 0, ctRead = 0;
    _ctSweepCases += SweepVariants(
        astrArchives[iArchive], 1234 + (unsigned long)iArchive, [&](const std::string &str) {
          filClearArchives(); // the file cannot be written while it is mounted
          WriteRootFile("sweep.gro", str);
          {
            CLockOutputs lo;
            try {
              filAddArchive("sweep.gro");
            } catch (CException &) {
              return;
            }
          }
          ctMounted++;
          for (long i = 0; i < filGetZipEntryCount(); i++) {
            CString strName = filGetZipEntryFileName(i);
            CStream strm;
            if (!strm.CreateZipStream(strName)) continue;
            try {
              std::string strRead = ReadToEnd(strm, 37);
              EXPECT_EQ((long)strRead.size(), strm.GetSize());
              // An entry that kept its name and was read whole has its content: the CRC-32 saw to
              // it.
              auto it = mapContent.find(strName.str_String);
              if (it != mapContent.end()) {
                EXPECT_EQ(strRead, it->second) << strName.str_String;
              }
              ctRead++;
            } catch (CException &) {
            }
          }
        });
    EXPECT_GT(ctMounted, 0);
    EXPECT_GT(ctRead, 0);
  }
  filClearArchives();
}

TEST_F(CorruptionSweep, DamagedSizeFields)
{
  // Every entry's sizes set to values near the true ones, at the limits of what deflate can
  // expand to, and at the limits of a 32-bit size. Mounting refuses them or the entry's reading
  // ends cleanly; what readers allocate by the entry's size stays within what its data can hold.
  std::string strText;
  for (int i = 0; i < 40; i++) strText += "sizes are checked against each other; ";
  ZipBuilder zb;
  zb.Add("deflated.txt", strText).Add("stored.bin", strText.substr(0, 300), false).Build();
  std::vector<std::pair<std::string, std::string>> aArchives = {
      {zb.zb_strBytes, "deflated.txt"},
      {zb.zb_strBytes, "stored.bin"},
      {TestData("py_deflated.zip"), "Textures/Sub/b.tex"},
      {TestData("py_deflated.zip"), "empty.txt"},
      {TestData("infozip.zip"), "empty.txt"}};
  long ctRefused = 0, ctCases = 0;
  for (const auto &archive : aArchives) {
    const std::string &strGood = archive.first;
    const std::string strName = archive.second;
    SCOPED_TRACE(strName);
    const size_t slHeader = CentralHeaderOf(strGood, strName);
    ASSERT_NE(slHeader, std::string::npos);
    const unsigned long ulPacked = GetZip32(strGood, slHeader + CF_PACKED_SIZE);
    const unsigned long ulSize = GetZip32(strGood, slHeader + CF_SIZE);
    const unsigned long aulValues[] = {0,
                                       1,
                                       ulSize - 1,
                                       ulSize + 1,
                                       ulPacked - 1,
                                       ulPacked + 1,
                                       ulPacked * 1032 + 1024,
                                       ulPacked * 1032 + 1025,
                                       0x7FFFFFF0UL,
                                       0x7FFFFFFFUL,
                                       0x80000000UL,
                                       0xFFFFFFFFUL};
    for (int iField = 0; iField < 2; iField++) {
      for (unsigned long ulValue : aulValues) {
        ctCases++;
        std::string str = strGood;
        SetZip32(str, slHeader + (iField == 0 ? CF_SIZE : CF_PACKED_SIZE), ulValue);
        filClearArchives();
        WriteRootFile("sizes.gro", str);
        {
          CLockOutputs lo;
          try {
            filAddArchive("sizes.gro");
          } catch (CException &) {
            ctRefused++;
            continue;
          }
        }
        CStream strm;
        if (!strm.CreateZipStream(strName.c_str())) continue;
        // What the whole entry would take in memory: never more than its data can inflate to.
        EXPECT_LE((__int64)strm.GetSize(), (__int64)ulPacked * 1032 + 1024 + 1)
            << "value " << ulValue;
        try {
          // The way loaders take a whole entry: a block of its size, read at once.
          CStream strmMemory;
          strmMemory.CreateMemoryStream_t(strm);
          std::string strRead = ReadToEnd(strmMemory);
          // Only the true sizes read cleanly: the CRC-32 and the end of the data see to it.
          EXPECT_EQ(GetZip32(str, slHeader + CF_SIZE), ulSize) << "value " << ulValue;
          EXPECT_EQ(strRead.size(), (size_t)ulSize) << "value " << ulValue;
        } catch (CException &) {
        }
      }
    }
  }
  filClearArchives();
  _ctSweepCases += ctCases;
  EXPECT_GT(ctRefused, 0);
}

TEST_F(CorruptionSweep, SignedStreams)
{
  // Four blocks of 50 bytes and a short fifth.
  std::string strPayload;
  for (int i = 0; i < 230; i++) strPayload += (char)(i * 13 + 5);
  const long slBlock = 50;
  std::string str(12, '\0');
  const long aslHeader[3] = {4, slBlock, SIG_CRC32};
  memcpy(&str[0], aslHeader, 12);
  unsigned long ulCRC = crcCalculate(str.data(), 12);
  str.append((const char *)&ulCRC, 4);
  for (size_t sl = 0; sl < strPayload.size(); sl += slBlock) {
    std::string strBlock = strPayload.substr(sl, slBlock);
    ulCRC = crcCalculate(strBlock.data(), (long)strBlock.size());
    str += strBlock;
    str.append((const char *)&ulCRC, 4);
  }
  auto ReadSigned = [&](const std::string &strDamaged) {
    CLockOutputs lo; // streams left unfinished by a throw complain when they close
    CStream strmMemory, strm;
    strmMemory.CreateMemoryStream_t(strDamaged.data(), (long)strDamaged.size());
    strm.CreateSignedStream(strmMemory, "r", 0);
    std::string strRead = ReadToEnd(strm, 33);
    strm.Finish_t();
    return strRead;
  };
  ASSERT_EQ(ReadSigned(str), strPayload);
  long ctRead = 0;
  _ctSweepCases += SweepVariants(str, 99, [&](const std::string &strDamaged) {
    try {
      std::string strRead = ReadSigned(strDamaged);
      // Only a cut at a block's end reads cleanly: the layout cannot tell it from a shorter
      // payload. Every other damage is found.
      EXPECT_EQ(strRead, strPayload.substr(0, strRead.size()));
      EXPECT_EQ(strRead.size() % slBlock, 0u);
      ctRead++;
    } catch (CException &) {
    }
  });
  // None of the flips; of the cuts, those after the header and after each of the whole blocks.
  EXPECT_EQ(ctRead, 5);
}

TEST_F(CorruptionSweep, PackedBlocks)
{
  std::string strSource;
  for (int i = 0; i < 150; i++) strSource += (char)(i % 7 == 0 ? 'x' : i / 3);
  strSource += std::string(40, 'r') + "packed packed packed block";
  CRLEBBCompressor rle;
  CLZCompressor lz;
  CzlibCompressor zc;
  CCompressor *apcmp[3] = {&rle, &lz, &zc};
  for (int iCoder = 0; iCoder < 3; iCoder++) {
    CCompressor &cmp = *apcmp[iCoder];
    CStream strmIn, strmPacked;
    strmIn.CreateMemoryStream_t(strSource.data(), (long)strSource.size());
    strmPacked.CreateMemoryStream();
    cmp.PackStream_t(strmIn, strmPacked);
    std::string strPacked(strmPacked.GetSize(), '\0');
    strmPacked.SeekBeg_t(0);
    strmPacked.Read_t(&strPacked[0], (long)strPacked.size());
    _ctSweepCases += SweepVariants(strPacked, 500 + iCoder, [&](const std::string &strDamaged) {
      // Through the stream wrapper: the stated size or an exception.
      CStream strmBad, strmOut;
      strmBad.CreateMemoryStream_t(strDamaged.data(), (long)strDamaged.size());
      strmOut.CreateMemoryStream();
      try {
        cmp.UnpackStream_t(strmBad, strmOut);
        long slStated;
        memcpy(&slStated, strDamaged.data(), 4);
        EXPECT_EQ(strmOut.GetSize(), slStated);
        // zlib checks its data; the other two formats carry no checksum.
        if (iCoder == 2) {
          EXPECT_EQ(ReadToEnd(strmOut), strSource);
        }
      } catch (CException &) {
      }
      // The coder alone, on the packed bytes, into a buffer of the right size.
      if (strDamaged.size() > 12) {
        CGuardedBuffer gbIn(strDamaged.substr(12));
        CGuardedBuffer gbOut(strSource.size());
        long slSize = gbOut.Size();
        if (cmp.Unpack(gbIn.Data(), gbIn.Size(), gbOut.Data(), slSize)) {
          EXPECT_LE(slSize, (long)strSource.size());
        }
      }
    });
  }
}
