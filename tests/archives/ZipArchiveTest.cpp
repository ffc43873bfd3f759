// Mounting group archives written by other tools, the entry and directory tables, and the file
// system's use of them.
#include "ArchivesTestSupport.h"

#include <algorithm>

using namespace QuennelEngine;
using namespace QuennelEngine::Test;

namespace {

const char *const _astrFiles[] = {"Data/big.bin", "empty.txt", "readme.txt", "Textures/a.tex",
                                  "Textures/Sub/b.tex"};
const std::string _strReadme = "line one\r\nline two\r\nline three";
std::string TextureA(void)
{
  std::string str;
  for (int i = 0; i < 3; i++) str += "texture A from the archive\n";
  return str;
}

std::vector<std::string> Strings(const CStaticStackArray<CString> &astr)
{
  std::vector<std::string> a;
  for (const CString &str : astr) a.push_back(str.str_String);
  std::sort(a.begin(), a.end());
  return a;
}

} // namespace

TEST_F(ArchiveRoot, ArchivesOfPythonAndInfoZipIndexAndRead)
{
  // The stored archive is the reference for the others' content; every full read also checks
  // the entry's CRC-32.
  Mount("py_stored.zip", "reference.gro");
  std::string strBig = ReadFileContent("Data/big.bin");
  std::string strB = ReadFileContent("Textures/Sub/b.tex");
  ASSERT_EQ(strBig.size(), 300000u);
  filClearArchives();

  for (const char *strArchive :
       {"py_deflated.zip", "py_stored.zip", "py_nodirs.zip", "infozip.zip", "infozip_stored.zip"}) {
    SCOPED_TRACE(strArchive);
    Mount(strArchive, "test.gro");
    ASSERT_EQ(filGetZipEntryCount(), 5);
    for (long i = 0; i < 5; i++) EXPECT_STREQ(filGetZipEntryFileName(i), _astrFiles[i]);
    EXPECT_EQ(filGetZipEntryFileSize(0), 300000);
    EXPECT_EQ(ReadFileContent("readme.txt"), _strReadme);
    EXPECT_EQ(ReadFileContent("textures/A.TEX"), TextureA()); // names ignore case
    EXPECT_EQ(ReadFileContent("Data/big.bin"), strBig);
    EXPECT_EQ(ReadFileContent("Textures/Sub/b.tex"), strB);
    EXPECT_EQ(ReadFileContent("empty.txt"), "");
    EXPECT_TRUE(filExistsInZip("README.TXT"));
    EXPECT_TRUE(filExistsInZip(""));
    EXPECT_FALSE(filExistsInZip("Textures/"));
    EXPECT_FALSE(filExistsInZip("missing.txt"));
    EXPECT_TRUE(filIsZipDirectory("Textures/Sub"));
    EXPECT_TRUE(filIsZipDirectory("textures/"));
    EXPECT_FALSE(filIsZipDirectory("readme.txt"));
    filClearArchives();
    EXPECT_FALSE(filExistsInZip(""));
  }

  // Written to a pipe: the local headers carry no sizes, descriptors follow the data.
  Mount("infozip_stream.zip", "stream.gro");
  EXPECT_EQ(filGetZipEntryCount(), 3);
  EXPECT_EQ(ReadFileContent("Textures/Sub/b.tex"), strB);
  EXPECT_EQ(ReadFileContent("readme.txt"), _strReadme);
}

TEST_F(ArchiveRoot, DirectoriesAndListings)
{
  Mount("py_deflated.zip", "test.gro");
  // Implied by the entries' paths, plus the empty directory the archive lists.
  ASSERT_EQ(filGetZipDirCount(), 4);
  EXPECT_STREQ(filGetZipDirName(0), "Data/");
  EXPECT_STREQ(filGetZipDirName(1), "Empty/");
  EXPECT_STREQ(filGetZipDirName(2), "Textures/");
  EXPECT_STREQ(filGetZipDirName(3), "Textures/Sub/");
  EXPECT_TRUE(filIsZipDirectory("Empty"));

  typedef std::vector<std::string> Names;
  EXPECT_EQ(Strings(filGetZipEntryFindFiles("Textures/", "*.tex")), Names{"Textures/a.tex"});
  EXPECT_EQ(Strings(filGetZipEntryFindFiles("Textures", "")), Names{"Textures/a.tex"});
  EXPECT_EQ(Strings(filGetZipEntryFindFiles("", "*.txt")), (Names{"empty.txt", "readme.txt"}));
  EXPECT_EQ(Strings(filGetZipEntryFindFiles("Nowhere/", "")), Names{});
  EXPECT_EQ(Strings(filZipEntryFindDirs("", "")), (Names{"Data/", "Empty/", "Textures/"}));
  EXPECT_EQ(Strings(filZipEntryFindDirs("", "T*")), Names{"Textures/"});
  EXPECT_EQ(Strings(filZipEntryFindDirs("Textures/", "")), Names{"Textures/Sub/"});

  // The file system lists disk and archive together, each name once.
  WriteRootFile("Textures/disk.tex", "d");
  WriteRootFile("Textures/a.tex", "disk copy");
  EXPECT_EQ(Strings(filFindFiles("Textures/", "*")),
            (Names{"Textures/Sub/", "Textures/a.tex", "Textures/disk.tex"}));
  CStaticStackArray<CString> astr;
  MakeDirList(astr, "Textures/", "*.tex", DLI_RECURSIVE);
  EXPECT_EQ(Strings(astr), (Names{"Textures/Sub/b.tex", "Textures/a.tex", "Textures/disk.tex"}));
  MakeDirList(astr, "Textures/", "*.tex", DLI_ONLYDISK);
  EXPECT_EQ(Strings(astr), (Names{"Textures/a.tex", "Textures/disk.tex"}));

  // Out-of-range indices are contract breaches with neutral results.
  CLockOutputs lo;
  EXPECT_STREQ(filGetZipEntryFileName(5), "");
  EXPECT_EQ(filGetZipEntryFileSize(-1), 0);
  EXPECT_STREQ(filGetZipDirName(99), "");
}

TEST_F(ArchiveRoot, EntryTimesAndSizes)
{
  Mount("py_deflated.zip", "test.gro");
  Time tmExpected = timFromString("2020/05/17 13:45:30");
  EXPECT_EQ(filGetZipEntryFileTime(2), tmExpected);
  Time tm;
  EXPECT_EQ(filGetFileTimeFromZip("readme.txt", tm), 1);
  EXPECT_EQ(tm, tmExpected);
  EXPECT_EQ(filGetFileTimeFromZip("missing.txt", tm), 0);
  // Not on disk: the file system takes the archive's time and size.
  EXPECT_EQ(filGetFileTime_t("readme.txt"), tmExpected);
  EXPECT_EQ(filGetFileSize("Data/big.bin"), 300000);
  EXPECT_EQ(filGetZipEntrySizeByName("empty.txt"), 0);
  EXPECT_EQ(filGetZipEntrySizeByName("missing.txt"), -1);

  // A date that is not one gives 0, not a broken contract.
  ZipBuilder zb;
  zb.Add("a.txt", "a").Build();
  zb.Set16(zb.zb_aslCentral[0] + 14, 0); // month 0
  WriteRootFile("baddate.gro", zb.zb_strBytes);
  filClearArchives();
  CGuardBreachCounter gbc;
  {
    CLockOutputs lo;
    filAddArchive("baddate.gro");
  }
  EXPECT_EQ(filGetZipEntryFileTime(0), Time());
  EXPECT_EQ(gbc.Count(), 0);
}

TEST_F(ArchiveRoot, DiskOrArchiveByPreference)
{
  Mount("both.zip", "both.gro");
  WriteRootFile("both.txt", "from the disk");
  WriteRootFile("disk_only.txt", "disk");
  EXPECT_TRUE(filExists("both.txt"));
  EXPECT_EQ(ReadFileContent("both.txt"), "from the disk");
  fil_bPreferZips = 1;
  EXPECT_EQ(ReadFileContent("both.txt"), "from the archive");
  EXPECT_EQ(ReadFileContent("disk_only.txt"), "disk");
  fil_bPreferZips = 0;

  // A missing entry leaves the stream as it was.
  CStream strm;
  strm.CreateMemoryStream_t("abc", 3);
  EXPECT_EQ(strm.CreateZipStream("missing.txt"), 0);
  EXPECT_EQ(strm.GetSize(), 3);
  EXPECT_EQ(ThrownBy([&] { strm.OpenFile_t("missing.txt", "r"); }),
            "Could not open file! (missing.txt)");
  EXPECT_EQ(strm.CreateZipStream("both.txt"), 1);
  EXPECT_STREQ(strm.GetDescription(), "both.txt");
}

TEST_F(ArchiveRoot, TheArchiveWhoseNameSortsLastWinsEqualEntries)
{
  Mount("dup_beta.zip", "Beta.gro");
  Mount("dup_alpha.zip", "alpha.gro");
  EXPECT_EQ(filGetZipEntryCount(), 3);
  EXPECT_EQ(ReadFileContent("Textures/a.tex"), "beta");
  EXPECT_EQ(ReadFileContent("alpha.txt"), "1");
  EXPECT_EQ(ReadFileContent("beta.txt"), "2");
  filClearArchives();
  Mount("dup_alpha.zip", "zeta.gro");
  Mount("dup_beta.zip", "Beta.gro");
  EXPECT_EQ(ReadFileContent("textures/a.tex"), "alpha");
}

TEST_F(ArchiveRoot, TheEndRecordIsFoundPastCommentsAndAppendedData)
{
  // 70000 bytes after the record: a 64 KiB comment and more appended.
  Mount("py_comment.zip", "comment.gro");
  EXPECT_EQ(ReadFileContent("readme.txt"), _strReadme);
  Mount("py_trailing.zip", "trailing.gro");
  // A comment holding a record of its own, with impossible fields.
  Mount("py_fakesig.zip", "fake.gro");
  EXPECT_EQ(filGetZipArchiveCount(), 3);
  EXPECT_EQ(ReadFileContent("Textures/Sub/b.tex").size(), 5000u);
}

TEST_F(ArchiveRoot, ProgramsWithAndWithoutAnAppendedArchive)
{
  // The ZIP follows 5000 bytes of program; its offsets count from its own start.
  Mount("attached.exe", "Game.exe");
  EXPECT_EQ(filGetZipArchiveCount(), 1);
  EXPECT_EQ(ReadFileContent("readme.txt"), _strReadme);
  EXPECT_EQ(ReadFileContent("Data/big.bin").size(), 300000u);
  // A program without one is left out silently; a ".gro" without one is an error.
  EXPECT_EQ(MountError("plain.exe", "Plain.exe"), "");
  EXPECT_EQ(filGetZipArchiveCount(), 1);
  EXPECT_EQ(MountError("plain.exe", "plain.gro"),
            "plain.gro: Cannot find 'end of central directory'");
  WriteRootFile("tiny.gro", "PK");
  {
    CLockOutputs lo;
    EXPECT_EQ(ThrownBy([] { filAddArchive("tiny.gro"); }),
              "tiny.gro: Cannot find 'end of central directory'");
    EXPECT_EQ(ThrownBy([] { filAddArchive("absent.gro"); }), "absent.gro: Cannot open archive");
  }
  EXPECT_EQ(filGetZipArchiveCount(), 1);
}

TEST_F(ArchiveRoot, RefusedArchivesLeaveTheIndexAsItWas)
{
  Mount("both.zip", "both.gro");
  EXPECT_EQ(MountError("py_bzip2.zip", "bz.gro"),
            "bz.gro/packed.bin: Only 'deflate' compression is supported");

  auto Refusal = [&](ZipBuilder &zb) {
    WriteRootFile("bad.gro", zb.zb_strBytes);
    CLockOutputs lo;
    return ThrownBy([] { filAddArchive("bad.gro"); });
  };
  ZipBuilder zb;
  zb.Add("a.txt", "alpha").Add("b/", "", false).Add("c.txt", "gamma", false).Build();
  const size_t slEnd = zb.zb_slEnd;
  const std::string strGood = zb.zb_strBytes;
  EXPECT_EQ(Refusal(zb), "");
  EXPECT_TRUE(filIsZipDirectory("b/"));
  filClearArchives();
  Mount("both.zip", "both.gro");

  zb.Set16(slEnd + 4, 1);
  EXPECT_EQ(Refusal(zb), "bad.gro: Multi-volume zips are not supported");
  zb.zb_strBytes = strGood;
  zb.Set16(slEnd + 8, 2);
  EXPECT_EQ(Refusal(zb), "bad.gro: Multi-volume zips are not supported");
  zb.zb_strBytes = strGood;
  zb.Set16(slEnd + 8, 0);
  zb.Set16(slEnd + 10, 0);
  EXPECT_EQ(Refusal(zb), "bad.gro: Empty zip");
  // The directory's offset and size are checked against the file before it is read.
  zb.zb_strBytes = strGood;
  zb.Set32(slEnd + 16, 0x7FFFFF00);
  EXPECT_EQ(Refusal(zb), "bad.gro: Damaged 'end of central directory'");
  zb.zb_strBytes = strGood;
  zb.Set32(slEnd + 12, 0xFFFFFFF0);
  EXPECT_EQ(Refusal(zb), "bad.gro: Damaged 'end of central directory'");
  zb.zb_strBytes = strGood;
  zb.Set16(slEnd + 10, 200); // more headers than the directory can hold
  zb.Set16(slEnd + 8, 200);
  EXPECT_EQ(Refusal(zb), "bad.gro: Damaged 'end of central directory'");
  zb.zb_strBytes = strGood;
  zb.Set32(zb.zb_aslCentral[1], 0x02014B51);
  EXPECT_EQ(Refusal(zb), "bad.gro: Wrong signature for 'file header' number 1");
  // Name lengths: beyond the directory, zero, above 512.
  zb.zb_strBytes = strGood;
  zb.Set16(zb.zb_aslCentral[2] + 28, 400);
  EXPECT_EQ(Refusal(zb), "bad.gro: Damaged central directory");
  zb.zb_strBytes = strGood;
  zb.Set16(zb.zb_aslCentral[0] + 28, 0);
  EXPECT_EQ(Refusal(zb), "bad.gro: Invalid filepath length in zip");
  ZipBuilder zbLong;
  zbLong.Add(std::string(513, 'n'), "x").Build();
  EXPECT_EQ(Refusal(zbLong), "bad.gro: Too long filepath in zip");
  zb.zb_strBytes = strGood;
  zb.Set32(zb.zb_aslCentral[1] + 24, 5);
  EXPECT_EQ(Refusal(zb), "bad.gro/b/: Invalid directory");
  zb.zb_strBytes = strGood;
  zb.Set16(zb.zb_aslCentral[0] + 8, 1);
  EXPECT_EQ(Refusal(zb), "bad.gro/a.txt: Encrypted entries are not supported");
  // Sizes and offsets must fit the file and a 32-bit stream.
  zb.zb_strBytes = strGood;
  zb.Set32(zb.zb_aslCentral[0] + 42, 0xFFFFFFFF);
  EXPECT_EQ(Refusal(zb), "bad.gro/a.txt: Damaged entry");
  zb.zb_strBytes = strGood;
  zb.Set32(zb.zb_aslCentral[2] + 20, 4);
  EXPECT_EQ(Refusal(zb), "bad.gro/c.txt: Damaged entry");

  // None of them changed what was mounted.
  EXPECT_EQ(filGetZipArchiveCount(), 1);
  EXPECT_EQ(filGetZipEntryCount(), 1);
  EXPECT_EQ(ReadFileContent("both.txt"), "from the archive");

  // A local header that is not one is found when the entry is opened.
  zb.zb_strBytes = strGood;
  zb.Set32(0, 0x04034B51);
  EXPECT_EQ(Refusal(zb), "");
  CStream strm;
  EXPECT_EQ(strm.CreateZipStream("a.txt"), 0);
  EXPECT_EQ(ThrownBy([&] { strm.OpenFile_t("a.txt", "r"); }), "Could not open file! (a.txt)");
  EXPECT_EQ(ReadFileContent("c.txt"), "gamma");
}

TEST_F(ArchiveRoot, StreamInitialisationMountsEveryGoodGroupFile)
{
  Install("dup_alpha.zip", "a.gro");
  Install("plain.exe", "b.gro");
  Install("dup_beta.zip", "c.gro");
  CString strRoot = filGetSysRootDir();
  CString strOldExe = filGetHardExePath() + filGetExeName();
  {
    CLockOutputs lo;
    filInitializeStreams_t(strRoot + "Bin\\Game.exe");
  }
  EXPECT_STREQ(filGetSysRootDir(), strRoot);
  EXPECT_EQ(filGetZipArchiveCount(), 2);
  EXPECT_TRUE(filExistsInZip("alpha.txt"));
  EXPECT_TRUE(filExistsInZip("beta.txt"));
  // The damaged archive was reported with the others' errors.
  bool bReported = false;
  for (long i = 0; i < 40 && !bReported; i++) {
    long iType;
    CString strLine;
    conGetLine(i, iType, strLine);
    bReported = strFindSubstr(strLine, "b.gro: Cannot find 'end of central directory'") >= 0;
  }
  EXPECT_TRUE(bReported);

  // With "attachedzip" the program itself is mounted when it carries an archive, and left out
  // silently when it does not.
  corSetStartupSettings("attachedzip nozips");
  for (const char *strProgram : {"attached.exe", "plain.exe"}) {
    filClearArchives();
    Install(strProgram, "Bin/Game.exe");
    CLockOutputs lo;
    filInitializeStreams_t(strRoot + "Bin\\Game.exe");
    EXPECT_EQ(filGetZipArchiveCount(), strProgram[0] == 'a' ? 1 : 0) << strProgram;
    EXPECT_EQ(filExistsInZip("readme.txt"), strProgram[0] == 'a') << strProgram;
  }
  corSetStartupSettings("");
  // The program's paths as they were; that moves the root, which is put back for the test's end.
  CLockOutputs lo;
  filSysAnalyzeAppPath(strOldExe);
  filSetSysRootDir(strRoot);
}

TEST_F(ArchiveRoot, EntriesWhoseSizesDisagreeAreRefusedWhenMounting)
{
  // Archives written by Python, then damaged here one field at a time. What readers allocate is
  // sized by an entry's size, so a damaged one must not get past mounting.
  Mount("both.zip", "both.gro");
  const std::string strDeflated = TestData("py_deflated.zip");
  const std::string strStored = TestData("py_stored.zip");
  const size_t slBig = CentralHeaderOf(strDeflated, "Data/big.bin");
  const size_t slReadme = CentralHeaderOf(strDeflated, "readme.txt");
  const size_t slEmpty = CentralHeaderOf(strDeflated, "empty.txt");
  const size_t slStoredReadme = CentralHeaderOf(strStored, "readme.txt");
  ASSERT_NE(slBig, std::string::npos);
  ASSERT_NE(slReadme, std::string::npos);
  ASSERT_NE(slEmpty, std::string::npos);
  ASSERT_NE(slStoredReadme, std::string::npos);
  const unsigned long ulBigPacked = GetZip32(strDeflated, slBig + CF_PACKED_SIZE);
  ASSERT_LT(ulBigPacked, 300000u);
  ASSERT_EQ(GetZip32(strDeflated, slEmpty + CF_SIZE), 0u);
  ASSERT_EQ(GetZip32(strDeflated, slEmpty + CF_CRC), 0u);

  auto Damaged = [&](const std::string &strGood, size_t slField, unsigned long ulValue) {
    std::string str = strGood;
    SetZip32(str, slField, ulValue);
    WriteRootFile("bad.gro", str);
    CLockOutputs lo;
    return ThrownBy([] { filAddArchive("bad.gro"); });
  };
  const std::string strBigRefused = "bad.gro/Data/big.bin: Damaged entry (its sizes do not agree)";
  // Near 2 GiB: mounted, the first read of it would have sized a 2 GiB block.
  EXPECT_EQ(Damaged(strDeflated, slBig + CF_SIZE, 0x7FFFFFF0), strBigRefused);
  // Just beyond what the packed bytes can inflate to, and just within it.
  const unsigned long ulMost = ulBigPacked * 1032 + 1024;
  EXPECT_EQ(Damaged(strDeflated, slBig + CF_SIZE, ulMost + 1), strBigRefused);
  EXPECT_EQ(Damaged(strDeflated, slBig + CF_SIZE, ulMost), "");
  {
    // Allowed by its sizes, the entry still cannot be read: its data ends early.
    CStream strm;
    strm.OpenFile_t("Data/big.bin", "r");
    EXPECT_EQ(strm.GetSize(), (long)ulMost);
    std::string strPiece(65536, '\0');
    EXPECT_EQ(ThrownBy([&] {
                for (int i = 0; i < 8; i++) strm.Read_t(&strPiece[0], 65536);
              }),
              "Error reading from zip");
  }
  filClearArchives();
  Mount("both.zip", "both.gro");

  // A size damaged to 0 would open as an empty file: the CRC-32 of nothing is 0.
  EXPECT_EQ(Damaged(strDeflated, slReadme + CF_SIZE, 0),
            "bad.gro/readme.txt: Damaged entry (its sizes do not agree)");
  EXPECT_EQ(Damaged(strStored, slStoredReadme + CF_SIZE, 0), "bad.gro/readme.txt: Damaged entry");
  // Also with the CRC-32 damaged to 0: far more packed bytes than an empty stream needs.
  std::string strBothZero = strDeflated;
  SetZip32(strBothZero, slBig + CF_CRC, 0);
  EXPECT_EQ(Damaged(strBothZero, slBig + CF_SIZE, 0), strBigRefused);
  // An empty entry with the CRC-32 of something.
  EXPECT_EQ(Damaged(strDeflated, slEmpty + CF_CRC, 0x12345678),
            "bad.gro/empty.txt: Damaged entry (its sizes do not agree)");

  // None of them changed what was mounted.
  EXPECT_EQ(filGetZipArchiveCount(), 1);
  EXPECT_EQ(ReadFileContent("both.txt"), "from the archive");
  // The undamaged archives mount, their empty entries included (Info-ZIP stores them).
  filClearArchives();
  for (const char *strArchive : {"py_deflated.zip", "infozip.zip", "infozip_stored.zip"}) {
    SCOPED_TRACE(strArchive);
    EXPECT_EQ(MountError(strArchive, "good.gro"), "");
    EXPECT_EQ(ReadFileContent("empty.txt"), "");
    filClearArchives();
  }
}
