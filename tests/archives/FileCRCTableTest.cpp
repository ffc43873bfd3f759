// CRC-32 and the file CRC table.
#include "ArchivesTestSupport.h"

using namespace QuennelEngine;
using namespace QuennelEngine::Test;

TEST(CRC32, AgreesWithZlib)
{
  const z_crc_t *pulZlib = get_crc_table();
  for (int i = 0; i < 256; i++) ASSERT_EQ(_crc_aulCRCTable[i], (unsigned long)pulZlib[i]) << i;
  std::string str(70000, '\0');
  for (size_t i = 0; i < str.size(); i++) str[i] = (char)(i * 131 + (i >> 9));
  // Every short length at every alignment, and long blocks split at odd places.
  for (long slOffset = 0; slOffset < 16; slOffset++) {
    for (long slSize = 0; slSize < 300; slSize++) {
      const char *pch = str.data() + slOffset;
      ASSERT_EQ(crcCalculate(pch, slSize), crc32(0, (const Bytef *)pch, slSize))
          << slOffset << " " << slSize;
    }
  }
  unsigned long ulZlib = crc32(0, (const Bytef *)str.data(), (uInt)str.size());
  EXPECT_EQ(crcCalculate(str.data(), (long)str.size()), ulZlib);
  for (long slSplit : {1L, 63L, 64L, 65L, 1000L, 69999L}) {
    unsigned long ul = crcUpdate(0xFFFFFFFFUL, str.data(), slSplit);
    ul = crcUpdate(ul, str.data() + slSplit, (long)str.size() - slSplit);
    EXPECT_EQ(ul ^ 0xFFFFFFFFUL, ulZlib) << slSplit;
  }
  EXPECT_EQ(crcCalculate("123456789", 9), 0xCBF43926UL);
  EXPECT_EQ(crcUpdate(0x1234, "x", -1), 0x1234UL);
}

namespace {

// A table of its own for each test, gathering on; the flag is put back after.
class FileCRCTable : public testing::Test {
protected:
  void SetUp() override
  {
    fct_bOld = CRCT_bGatherCRCs;
    CRCT_Init();
    CRCT_bGatherCRCs = 1;
  }
  void TearDown() override
  {
    CRCT_Clear();
    CRCT_ClearExcludedPatterns();
    CRCT_bGatherCRCs = fct_bOld;
  }
  static unsigned long CRCOf(const char *strName)
  {
    for (long i = 0; i < CRCT_GetFileCount(); i++) {
      CString str;
      unsigned long ul;
      bool bActive;
      CRCT_GetFile(i, str, ul, bActive);
      if (str == strName) return ul;
    }
    return 0xDEADBEEFUL;
  }
  static std::string List(std::initializer_list<const char *> astr, long ctOverride = -1)
  {
    CStream strm;
    strm.CreateMemoryStream();
    strm.WriteValue_t(ctOverride >= 0 ? ctOverride : (long)astr.size());
    for (const char *str : astr) CString(str).Write_t(strm);
    std::string strBytes(strm.GetSize(), '\0');
    strm.SeekBeg_t(0);
    strm.Read_t(&strBytes[0], (long)strBytes.size());
    return strBytes;
  }
  static unsigned long CRCForList(const std::string &strList)
  {
    CStream strm;
    strm.CreateMemoryStream_t(strList.data(), (long)strList.size());
    return CRCT_MakeCRCForFiles_t(strm);
  }
  int fct_bOld;
};

} // namespace

TEST_F(FileCRCTable, RecordingAndTheActiveList)
{
  CRCT_bGatherCRCs = 0;
  CRCT_AddFile_t("Content/a.tex", 5);
  EXPECT_EQ(CRCT_GetFileCount(), 0);
  CRCT_bGatherCRCs = 1;
  CRCT_AddFile_t("Content/a.tex", 5);
  CRCT_AddFile_t("content/A.TEX", 0);
  CRCT_AddFile_t("Content/b.tex", 7);
  EXPECT_EQ(CRCT_GetFileCount(), 2);
  EXPECT_EQ(CRCOf("Content/a.tex"), 5UL);
  CRCT_AddExcludedPattern("Temp/");
  CRCT_AddExcludedPattern("*.log");
  CRCT_AddFile_t("Temp/x.bin", 0);
  CRCT_AddFile_t("Game.log", 0);
  CRCT_AddFile_t("Content/zero.bin", 0);
  EXPECT_EQ(CRCOf("Temp/x.bin"), 0x12345678UL);
  EXPECT_EQ(CRCOf("Game.log"), 0x12345678UL);
  EXPECT_EQ(CRCOf("Content/zero.bin"), 0UL);

  auto FileList = [] {
    CStream strm;
    strm.CreateMemoryStream();
    CRCT_MakeFileList_t(strm);
    strm.SeekBeg_t(0);
    long ct;
    strm.ReadValue_t(ct);
    std::vector<std::string> astr;
    for (long i = 0; i < ct; i++) {
      CString str;
      str.Read_t(strm);
      astr.push_back(str.str_String);
    }
    EXPECT_TRUE(strm.IsAtEOF_t());
    return astr;
  };
  EXPECT_EQ(FileList().size(), 5u);
  CRCT_ResetActiveList();
  EXPECT_EQ(FileList().size(), 0u);
  CRCT_AddFile_t("Content/b.tex", 0);
  CRCT_AddFile_t("Content/a.tex", 9);
  // In the order first recorded.
  EXPECT_EQ(FileList(), (std::vector<std::string>{"Content/a.tex", "Content/b.tex"}));
  EXPECT_EQ(CRCOf("Content/a.tex"), 9UL);
}

TEST_F(FileCRCTable, CombinedCRCOfAList)
{
  CRCT_AddFile_t("a", 0x11223344);
  CRCT_AddFile_t("b", 0xAABBCCDD);
  EXPECT_EQ(CRCForList(List({})), 0UL);
  const unsigned char aub[8] = {0x11, 0x22, 0x33, 0x44, 0xAA, 0xBB, 0xCC, 0xDD};
  EXPECT_EQ(CRCForList(List({"a", "b"})), crcCalculate(aub, 8));
  // An unknown name counts with CRC 0 and is recorded.
  const unsigned char aubUnknown[8] = {0x11, 0x22, 0x33, 0x44, 0, 0, 0, 0};
  EXPECT_EQ(CRCForList(List({"a", "new"})), crcCalculate(aubUnknown, 8));
  EXPECT_EQ(CRCOf("new"), 0UL);

  // Gathering is on for the call and restored after, also when the list is damaged.
  CRCT_bGatherCRCs = 0;
  EXPECT_EQ(CRCForList(List({"other"})), crcCalculate(aubUnknown + 4, 4));
  EXPECT_EQ(CRCT_bGatherCRCs, 0);
  EXPECT_EQ(CRCOf("other"), 0UL);
  EXPECT_NE(ThrownBy([] { CRCForList(List({"a"}, 5)); }), "");
  EXPECT_EQ(ThrownBy([] { CRCForList(List({"a"}, 0x7FFFFFFF)); }), "Invalid file list.");
  EXPECT_NE(ThrownBy([] { CRCForList(List({}).substr(0, 2)); }), "");
  EXPECT_EQ(CRCT_bGatherCRCs, 0);
}

namespace {
struct Adder {
  int ad_iThread;
  long volatile ad_bDone = 0;
};
void AddMany(void *pv)
{
  Adder *pad = (Adder *)pv;
  for (long i = 0; i < 1500; i++)
    CRCT_AddFile_t(strFormat("T%1/file%2.bin", pad->ad_iThread, i), i + 1);
  pad->ad_bDone = 1;
}
} // namespace

TEST_F(FileCRCTable, TheIndexGrowsAndIsSharedByThreads)
{
  // Thousands of names overflow the first 10 slots of every bucket many times over, while two
  // threads record at once; every record keeps its CRC.
  CThreadServices ts;
  Adder aad[2] = {{0}, {1}};
  thrCreateThread(&aad[0], AddMany);
  thrCreateThread(&aad[1], AddMany);
  ASSERT_TRUE(WaitUntil(AllThreadsEnded, 60000));
  ASSERT_EQ(CRCT_GetFileCount(), 3000);
  for (int iThread = 0; iThread < 2; iThread++) {
    for (long i = 0; i < 1500; i += 7) {
      CRCT_AddFile_t(strFormat("t%1/FILE%2.bin", iThread, i), 0);
    }
  }
  EXPECT_EQ(CRCT_GetFileCount(), 3000);
  EXPECT_EQ(CRCOf("T1/file1499.bin"), 1500UL);
  EXPECT_EQ(CRCOf("T0/file0.bin"), 1UL);
}

namespace {
// Names that all have one strGetHash, whatever the case: seven pairs of characters after a fixed
// head, each pair one of four whose (first * 16 + second) is the same, so that every pair leaves
// the hash where any other would.
CString CollidingName(long i)
{
  static const char *const astrPairs[4] = {"AQ", "BA", "C1", "D!"};
  CString str = "Data/";
  for (int iPair = 0; iPair < 7; iPair++, i /= 4) str += astrPairs[i % 4];
  return str + ".BIN";
}
} // namespace

TEST_F(FileCRCTable, NamesThatCollideInTheTextHashCostLinearWork)
{
  const long ctNames = 16000;
  std::vector<CString> astrNames;
  for (long i = 0; i <= ctNames; i++) {
    astrNames.push_back(CollidingName(i));
    ASSERT_EQ(strGetHash(astrNames[i]), strGetHash(astrNames[0])) << astrNames[i].str_String;
  }
  const long ctProbesBefore = CRCT_GetProbeCount();
  for (long i = 0; i < ctNames; i++) CRCT_AddFile_t(astrNames[i], (unsigned long)i + 1);
  // Found again in another case: no new records, the CRCs stay.
  for (long i = 0; i < ctNames; i++) CRCT_AddFile_t(strToLower(astrNames[i]), 0);
  ASSERT_EQ(CRCT_GetFileCount(), ctNames);

  // A list from elsewhere naming all of them and one more that collides as well.
  CStream strm;
  strm.CreateMemoryStream();
  strm.WriteValue_t(ctNames + 1);
  std::string strExpected;
  for (long i = 0; i <= ctNames; i++) {
    astrNames[i].Write_t(strm);
    const unsigned long ulCRC = i < ctNames ? (unsigned long)i + 1 : 0;
    for (int iShift = 24; iShift >= 0; iShift -= 8) strExpected += (char)(ulCRC >> iShift);
  }
  strm.SeekBeg_t(0);
  EXPECT_EQ(CRCT_MakeCRCForFiles_t(strm),
            crcCalculate(strExpected.data(), (long)strExpected.size()));
  ASSERT_EQ(CRCT_GetFileCount(), ctNames + 1);

  // A few slots per operation and per record moved while growing; walking the colliding names
  // would cost thousands per operation.
  const long ctOperations = 3 * ctNames + 1;
  EXPECT_LT(CRCT_GetProbeCount() - ctProbesBefore, 32 * ctOperations);
  // The records keep the order in which they came.
  for (long i : {0L, 1L, 4095L, 9999L, ctNames - 1, ctNames}) {
    CString strName;
    unsigned long ulCRC;
    bool bActive;
    ASSERT_TRUE(CRCT_GetFile(i, strName, ulCRC, bActive));
    EXPECT_STREQ(strName, astrNames[i]);
    EXPECT_EQ(ulCRC, i < ctNames ? (unsigned long)i + 1 : 0UL);
    EXPECT_TRUE(bActive);
  }
}
