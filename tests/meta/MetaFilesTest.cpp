// Metadata files: graphs round-trip through files, files written by an older layout of a type
// load into the new one, and damaged files are refused cleanly.
#include "MetaTestGraph.h"

#include <gtest/gtest.h>

#include <stddef.h>
#include <string.h>

#include <random>
#include <vector>

using namespace QuennelEngine;
using namespace QuennelEngine::Test;

namespace {

CMetaPointer Meta(CObject *pobj)
{
  return CMetaPointer(pobj->mdGetDataType(), pobj);
}

// Writes the graph of `mp` into a memory stream, positioned at its start.
void WriteToMemory(CStream &strm, CMetaPointer mp)
{
  strm.CreateMemoryStream();
  mdInternalWrite_t(strm, mp);
  strm.SeekBeg_t(0);
}

std::vector<char> Bytes(CStream &strm)
{
  std::vector<char> ab(strm.GetSize());
  strm.SeekBeg_t(0);
  if (!ab.empty()) strm.Read_t(ab.data(), (long)ab.size());
  strm.SeekBeg_t(0);
  return ab;
}

class MetaFiles : public ::testing::Test {
protected:
  void SetUp() override
  {
    mdUpdateTypeTables();
    _ctFlAlive = 0;
  }
  void TearDown() override
  {
    md_bAllowRawLoading = 1;
    EXPECT_EQ(_ctFlAlive, 0);
  }
};

} // namespace

TEST_F(MetaFiles, AGraphOfEveryKindRoundTripsDeepEqualWithAndWithoutRawLoading)
{
  CFlGraph g;
  Fill(g);
  CStream strm;
  WriteToMemory(strm, Meta(&g));
  const std::vector<char> abFirst = Bytes(strm);
  std::vector<char> abSecond;
  for (int bRaw = 0; bRaw < 2; bRaw++) {
    md_bAllowRawLoading = bRaw;
    strm.SeekBeg_t(0);
    CMetaPointer mp = mdInternalRead_t(strm);
    ASSERT_EQ(mp.mp_pdtType, CFlGraph::md_pdtDataType);
    CFlGraph &h = *(CFlGraph *)mp.mp_pvObject;
    ExpectSameGraph(h, &g);
    // Written again, the loaded graph gives the same bytes.
    CStream strmAgain;
    WriteToMemory(strmAgain, mp);
    abSecond = Bytes(strmAgain);
    EXPECT_EQ(abSecond, abFirst);
    BreakRing(h);
    mdDelete(mp);
  }
  BreakRing(g);
}

TEST_F(MetaFiles, ReadStatisticsAreReportedWhenAsked)
{
  CFlLeaf leaf;
  CStream strm;
  WriteToMemory(strm, Meta(&leaf));
  md_bReportReadStats = 1;
  CConsoleLines cl;
  CMetaPointer mp = mdInternalRead_t(strm);
  md_bReportReadStats = 0;
  mdDelete(mp);
  EXPECT_TRUE(cl.Has("<memory stream>: ")) << cl.Text();
  EXPECT_TRUE(cl.Has(" bytes read (")) << cl.Text();
}

TEST_F(MetaFiles, TheFileStartsWithItsMagicAndEndsWithItsFooter)
{
  CFlLeaf leaf;
  leaf.fl_iValue = 3;
  CStream strm;
  WriteToMemory(strm, Meta(&leaf));
  const std::vector<char> ab = Bytes(strm);
  ASSERT_GT(ab.size(), 16u);
  EXPECT_EQ(memcmp(ab.data(), "VQTNMETA", 8), 0);
  unsigned long ulCookie;
  long iVersion;
  memcpy(&ulCookie, ab.data() + 8, 4);
  memcpy(&iVersion, ab.data() + 12, 4);
  EXPECT_EQ(ulCookie, 0x1234ABCDUL);
  EXPECT_EQ(iVersion, 8);
  EXPECT_EQ(memcmp(ab.data() + ab.size() - 8, "METAEND ", 8), 0);
}

TEST_F(MetaFiles, HeaderFaultsAreReportedWithTheirTexts)
{
  CFlLeaf leaf;
  CStream strm;
  WriteToMemory(strm, Meta(&leaf));
  std::vector<char> ab = Bytes(strm);
  auto Message = [](std::vector<char> abFile) -> std::string {
    CStream strmBad;
    strmBad.CreateMemoryStream_t(abFile.data(), (long)abFile.size());
    try {
      CMetaPointer mp = mdInternalRead_t(strmBad);
      mdDelete(mp);
    } catch (CException &ex) {
      return ex.GetDescription();
    }
    return "(no error)";
  };
  std::vector<char> abSwapped = ab;
  const unsigned long ulSwapped = 0xCDAB3412UL;
  memcpy(abSwapped.data() + 8, &ulSwapped, 4);
  EXPECT_NE(Message(abSwapped).find("Unsupported endianness"), std::string::npos);
  std::vector<char> abWrong = ab;
  const unsigned long ulWrong = 0x11112222UL;
  memcpy(abWrong.data() + 8, &ulWrong, 4);
  EXPECT_NE(Message(abWrong).find("Wrong endianness cookie 11112222."), std::string::npos);
  std::vector<char> abFuture = ab;
  const long iFuture = 9;
  memcpy(abFuture.data() + 12, &iFuture, 4);
  EXPECT_NE(Message(abFuture).find("version 9"), std::string::npos);
  std::vector<char> abNotMeta = ab;
  abNotMeta[0] = 'X';
  EXPECT_NE(Message(abNotMeta).find("This is not a metadata file."), std::string::npos);
}

// Every truncation and thousands of bit flips give a clean exception or a graph, never a crash,
// a hang or a fatal error. A cut file always fails and leaves nothing behind.
TEST_F(MetaFiles, DamagedFilesAreRefusedCleanly)
{
  CFlGraph g;
  Fill(g);
  CStream strm;
  WriteToMemory(strm, Meta(&g));
  const std::vector<char> ab = Bytes(strm);
  BreakRing(g);
  ASSERT_GT(ab.size(), 1000u);
  ASSERT_LT(ab.size(), 5200u);
  auto TryRead = [](const std::vector<char> &abFile, std::vector<CMetaPointer> *pLoaded) -> bool {
    CStream strmBad;
    strmBad.CreateMemoryStream_t(abFile.data(), (long)abFile.size());
    try {
      CMetaPointer mp = mdInternalRead_t(strmBad);
      if (pLoaded != nullptr) pLoaded->push_back(mp);
      return true;
    } catch (CException &) {
      return false;
    }
  };
  // Reading stops after the objects outside the editor: only the empty edit lists and the
  // footer (16 bytes) may be cut off.
  const long ctOriginal = _ctFlAlive;
  for (size_t sl = 0; sl + 16 < ab.size(); sl++) {
    EXPECT_FALSE(TryRead(std::vector<char>(ab.begin(), ab.begin() + sl), nullptr)) << sl;
  }
  EXPECT_EQ(_ctFlAlive, ctOriginal);
  // A flipped bit may still give a loadable graph, but one whose C++ ownership is broken (a
  // leaf owned twice): such a graph is taken apart by hand, each leaf deleted once.
  std::vector<CMetaPointer> aLoaded;
  std::mt19937 rng(20261208);
  long ctFailed = 0;
  for (int i = 0; i < 10000; i++) {
    std::vector<char> abFlipped = ab;
    abFlipped[rng() % ab.size()] ^= (char)(1 << (rng() % 8));
    if (!TryRead(abFlipped, &aLoaded)) ctFailed++;
    for (CMetaPointer &mp : aLoaded) TakeApart(mp);
    aLoaded.clear();
  }
  EXPECT_GT(ctFailed, 1000);
  EXPECT_EQ(_ctFlAlive, ctOriginal);
}
