#include "TestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace QuennelEngine;
using namespace QuennelEngine::Test;

namespace {

// Gives each test a fresh root directory under the working directory, removed afterwards.
class FileSystem : public testing::Test {
protected:
  void SetUp() override
  {
    char strCwd[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, strCwd);
    fs_strOldRoot = filGetSysRootDir();
    CString strRoot = CString(strCwd) + "\\FsRoot\\";
    filSetSysRootDir(strRoot);
    if (filIsSysDir(strRoot)) filDeleteDirectory_t("$" + strFormat("%1", strRoot));
    CreateDirectoryA(strRoot, nullptr);
  }
  void TearDown() override
  {
    CString strRoot = filGetSysRootDir();
    filSetSysRootDir(fs_strOldRoot);
    try {
      CString strSoft = CString("$") + strRoot;
      strReplaceSubstrA(strSoft, "\\", "/");
      filDeleteDirectory_t(strSoft);
    } catch (CException &) {
    }
  }
  void WriteFile(const char *strName, const std::string &str)
  {
    CStream strm;
    strm.OpenFile_t(strName, "w");
    strm.Write_t(str.data(), (long)str.size());
  }
  std::string ReadFile(const char *strName)
  {
    CStream strm;
    strm.OpenFile_t(strName, "r");
    std::string str(strm.GetSize(), '\0');
    strm.Read_t(&str[0], (long)str.size());
    return str;
  }
  void ReadThroughTheCache(void);
  CString fs_strOldRoot;
};

} // namespace

TEST(Paths, SoftAndHard)
{
  CString strOldRoot = filGetSysRootDir();
  filSetSysRootDir("D:\\Game\\");
  EXPECT_STREQ(filSoftToHardPath("Content/a.txt"), "D:\\Game\\Content\\a.txt");
  EXPECT_STREQ(filHardToSoftPath("D:\\Game\\Content\\a.txt"), "Content/a.txt");
  EXPECT_STREQ(filHardToSoftPath("d:\\game\\Content\\a.txt"), "Content/a.txt");
  EXPECT_STREQ(filSoftToHardPath("$C:/x.txt"), "C:\\x.txt");
  EXPECT_STREQ(filHardToSoftPath("C:\\x.txt"), "$C:/x.txt");
  EXPECT_STREQ(filGetParentDir("$C:/"), "$/");
  EXPECT_STREQ(filGetParentDir("Content/Levels/"), "Content/");
  EXPECT_STREQ(filGetParentDir("Content/Levels/a.wld"), "Content/Levels/");
  EXPECT_STREQ(filSysPathLevelUp("C:\\a\\b\\"), "C:\\a\\");
  EXPECT_STREQ(filSysPathLevelUp("C:\\a\\b"), "");
  EXPECT_STREQ(filGetSysDirSeparator(), "\\");
  filSetSysRootDir(strOldRoot);
}

TEST(Paths, RootFromTheProgramsLocation)
{
  CString strOldRoot = filGetSysRootDir();
  CLockOutputs lo;
  filSysAnalyzeAppPath("D:\\Game\\Bin\\Game.exe");
  EXPECT_STREQ(filGetSysRootDir(), "D:\\Game\\");
  EXPECT_STREQ(filGetSoftExePath(), "Bin/");
  EXPECT_STREQ(filGetHardExePath(), "D:\\Game\\Bin\\");
  EXPECT_STREQ(filGetExeName(), "Game.exe");
  // Modules in "Bin/" are the libraries beside the program.
  EXPECT_STREQ(filSoftToHardPath("Bin/Engine.module"), "D:\\Game\\Bin\\Engine.dll");

  filSysAnalyzeAppPath("D:\\Game\\Bin\\Release\\Game.exe");
  EXPECT_STREQ(filGetSysRootDir(), "D:\\Game\\");
  EXPECT_STREQ(filGetSoftExePath(), "Bin/Release/");
  EXPECT_STREQ(filSoftToHardPath("Bin/Engine.module"), "D:\\Game\\Bin\\Release\\Engine.dll");
  filSysAnalyzeAppPath("D:\\Tools\\Tool.exe");
  EXPECT_STREQ(filGetSysRootDir(), "D:\\Tools\\");
  EXPECT_STREQ(filGetSoftExePath(), "");

  corSetStartupSettings("NoRootDir");
  filSysAnalyzeAppPath("D:\\Game\\Bin\\Game.exe");
  EXPECT_STREQ(filSoftToHardPath("Content/a.txt"), "<forbidden>Content\\a.txt");
  corSetStartupSettings("");
  filSetSysRootDir(strOldRoot);
}

TEST(Paths, ModuleFilesMapOnlyPlainNamesToTheProgramsDirectory)
{
  CString strOldRoot = filGetSysRootDir();
  CLockOutputs lo;
  filSysAnalyzeAppPath("D:\\Game\\Bin\\Game.exe");
  EXPECT_STREQ(filSoftToHardPath("Bin/Game.module"), "D:\\Game\\Bin\\Game.dll");
  EXPECT_STREQ(filSoftToHardPath("Bin/Game.v2.module"), "D:\\Game\\Bin\\Game.v2.dll");
  EXPECT_TRUE(filIsModuleFileName("Bin/Game.module"));
  // The program's directory stays the target when the root moves.
  filSetSysRootDir("E:\\Elsewhere\\");
  EXPECT_STREQ(filSoftToHardPath("Bin/Game.module"), "D:\\Game\\Bin\\Game.dll");
  filSetSysRootDir("D:\\Game\\");

  // Names that would leave the directory, or name another drive, are ordinary paths: no library
  // of theirs is reached.
  const char *astrRefused[] = {"Bin/..\\Tools\\Evil.module",
                               "Bin/C:Evil.module",
                               "Bin/Sub/Game.module",
                               "Bin/.module",
                               "Bin/...module",
                               "Bin/a..b.module",
                               "Content/Game.module",
                               "$Bin/Game.module"};
  for (const char *str : astrRefused) {
    EXPECT_FALSE(filIsModuleFileName(str)) << str;
    EXPECT_FALSE(strHasTail(filSoftToHardPath(str), ".dll")) << str;
  }
  EXPECT_STREQ(filSoftToHardPath("Bin/..\\Tools\\Evil.module"),
               "D:\\Game\\Bin\\..\\Tools\\Evil.module");
  EXPECT_FALSE(filIsModuleFileName(nullptr));
  filSetSysRootDir(strOldRoot);
}

TEST_F(FileSystem, BinListsTheProgramsLibrariesAsModules)
{
  const CString strRoot = filGetSysRootDir();
  WriteFile("Game/Bin/A.dll", "");
  WriteFile("Game/Bin/B.DLL", "");
  WriteFile("Game/Bin/notes.txt", "");
  WriteFile("Game/Bin/Sub.dll/C.dll", ""); // a directory named like a library is not one
  {
    CLockOutputs lo;
    filSysAnalyzeAppPath(strRoot + "Game\\Bin\\Game.exe");
  }
  // The system lists a directory in an order of its own.
  auto Listed = [](const char *strDir, const char *strPattern) {
    std::vector<std::string> astr;
    for (const CString &str : filFindFiles(strDir, strPattern)) astr.push_back(str.str_String);
    std::sort(astr.begin(), astr.end());
    std::string strAll;
    for (const std::string &str : astr) strAll += str + " ";
    return strAll;
  };
  EXPECT_EQ(Listed("Bin/", "*.module"), "Bin/A.module Bin/B.module ");
  // The disk entries of Bin/ come too; every listed module maps back to its library.
  EXPECT_EQ(Listed("Bin/", "A*"), "Bin/A.dll Bin/A.module ");
  EXPECT_TRUE(filExistsOnDisk("Bin/A.module"));
  EXPECT_FALSE(filExistsOnDisk("Bin/C.module"));
  // Other folders list no modules.
  EXPECT_EQ(Listed("Game/Bin/", "*.module"), "");
  {
    CLockOutputs lo;
    filSysAnalyzeAppPath(nullptr);
  }
  filSetSysRootDir(strRoot);
}

TEST_F(FileSystem, OpeningRefusesBadRequests)
{
  CStream strm;
  EXPECT_EQ(ThrownBy([&] { strm.OpenFile_t("", "r"); }), "Must provide filename to open!");
  EXPECT_EQ(ThrownBy([&] { strm.OpenFile_t("a.txt", "x"); }),
            "Invalid mode selection! ([r | w | a] supported.) (a.txt)");
  EXPECT_EQ(ThrownBy([&] { strm.OpenFile_t("missing.txt", "r"); }),
            "Could not open file! (missing.txt)");
  EXPECT_EQ(strm.CreateFileStream("missing.txt", "r"), 0);

  // Saving into a missing folder creates it; a read-only file is refused for writing.
  WriteFile("New/Folder/file.txt", "data");
  EXPECT_TRUE(filIsDirectory("New/Folder/"));
  SetFileAttributesW((LPCWSTR)strUTF8ToUTF16(filSoftToHardPath("New/Folder/file.txt")).wstr_String,
                     FILE_ATTRIBUTE_READONLY);
  EXPECT_TRUE(filIsReadOnly("New/Folder/file.txt"));
  EXPECT_EQ(ThrownBy([&] { strm.OpenFile_t("New/Folder/file.txt", "w"); }),
            "Could not write to read-only file! (New/Folder/file.txt)");
  EXPECT_EQ(ThrownBy([&] { strm.OpenFile_t("New/Folder/file.txt", "a"); }),
            "Could not write to read-only file! (New/Folder/file.txt)");
  EXPECT_EQ(ReadFile("New/Folder/file.txt"), "data");
  SetFileAttributesW((LPCWSTR)strUTF8ToUTF16(filSoftToHardPath("New/Folder/file.txt")).wstr_String,
                     FILE_ATTRIBUTE_NORMAL);
}

TEST_F(FileSystem, ReadingThroughTheBlockCache)
{
  // Both the overlapped and the synchronous read paths.
  for (int bOverlap = 0; bOverlap < 2; bOverlap++) {
    fil_bAsynchronousReads = bOverlap;
    SCOPED_TRACE(bOverlap ? "overlapped" : "synchronous");
    ReadThroughTheCache();
  }
  fil_bAsynchronousReads = -1;
}

void FileSystem::ReadThroughTheCache(void)
{
  std::string str(32770, '\0');
  for (size_t i = 0; i < str.size(); i++) str[i] = (char)(i * 7 + i / 256);
  WriteFile("big.bin", str);
  {
    CStream strmKind;
    strmKind.OpenFile_t("big.bin", "r");
    EXPECT_EQ(((CFileStreamWin32 *)strmKind.GetImplementation())->IsAsynchronous(),
              fil_bAsynchronousReads != 0);
  }
  EXPECT_EQ(filGetFileSize("big.bin"), 32770);

  CStream strm;
  strm.OpenFile_t("big.bin", "r");
  EXPECT_EQ(strm.GetSize(), 32770);
  // The last 2 bytes lie in the second block only; there is no block after it to read ahead.
  strm.SeekEnd_t(2);
  long ctDisk = strm_ctDiskBytes;
  char ach[16];
  strm.Read_t(ach, 2);
  EXPECT_EQ(strm_ctDiskBytes - ctDisk, 32768);
  EXPECT_EQ(std::string(ach, 2), str.substr(32768, 2));
  // The last 10 start in the first block, which is read now.
  strm.SeekEnd_t(10);
  strm.Read_t(ach, 10);
  EXPECT_EQ(strm_ctDiskBytes - ctDisk, 65536);
  EXPECT_EQ(std::string(ach, 10), str.substr(32760, 10));
  EXPECT_TRUE(strm.IsAtEOF_t());
  // Past the end: refused before any transfer.
  strm.SeekEnd_t(10);
  ctDisk = strm_ctDiskBytes;
  EXPECT_EQ(ThrownBy([&] { strm.Read_t(ach, 11); }), "Reading past the end of file. (big.bin)");
  EXPECT_EQ(strm_ctDiskBytes, ctDisk);
  EXPECT_EQ(ThrownBy([&] { strm.SeekBeg_t(-1); }), "Trying to seek before stream SOF! (big.bin)");

  // The whole file in odd pieces, across the block boundary; peeks do not move.
  strm.SeekBeg_t(0);
  std::string strRead;
  while (!strm.IsAtEOF_t()) {
    long ct = strm.GetSize() - strm.GetPosition();
    if (ct > 3001) ct = 3001;
    std::string strPiece(ct, '\0');
    strm.Peek_t(&strPiece[0], ct);
    strm.Read_t(&strPiece[0], ct);
    strRead += strPiece;
  }
  EXPECT_EQ(strRead, str);
  // A memory copy of the file, and a read-ahead closed at once.
  CStream strmCopy;
  strmCopy.CreateMemoryStream_t("big.bin");
  EXPECT_EQ(strmCopy.GetSize(), 32770);
  CStream strmAhead;
  strmAhead.OpenFile_t("big.bin", "r");
  strmAhead.ReadAhead_t(32770);
  strmAhead.Close();
  strm.SeekBeg_t(32768);
  strm.Read_t(ach, 2);
  EXPECT_EQ(std::string(ach, 2), str.substr(32768, 2));
  // Whole blocks go past the cache straight into the buffer.
  strm.SeekBeg_t(0);
  std::string strBlock(32768, '\0');
  strm.Read_t(&strBlock[0], 32768);
  EXPECT_EQ(strBlock, str.substr(0, 32768));
}

TEST_F(FileSystem, WritingThroughTheWriteCache)
{
  CStream strm;
  strm.OpenFile_t("cached.bin", "w");
  std::string str(100, 'w');
  strm.Write_t(str.data(), 100);
  WIN32_FILE_ATTRIBUTE_DATA fad;
  CWString wstrHard = strUTF8ToUTF16(filSoftToHardPath("cached.bin"));
  ASSERT_TRUE(GetFileAttributesExW((LPCWSTR)wstrHard.wstr_String, GetFileExInfoStandard, &fad));
  EXPECT_EQ(fad.nFileSizeLow, 0u); // still in the cache
  EXPECT_EQ(strm.GetPosition(), 100);
  EXPECT_EQ(strm.GetSize(), 100);
  strm.SeekBeg_t(50); // seeking writes the cache out
  GetFileAttributesExW((LPCWSTR)wstrHard.wstr_String, GetFileExInfoStandard, &fad);
  EXPECT_EQ(fad.nFileSizeLow, 100u);
  strm.Write_t("XY", 2);
  strm.Close();
  EXPECT_EQ(ReadFile("cached.bin"), std::string(50, 'w') + "XY" + std::string(48, 'w'));

  // Appending writes after what is there.
  strm.OpenFile_t("cached.bin", "a");
  EXPECT_EQ(strm.GetPosition(), 100);
  strm.Write_t("end", 3);
  strm.Finish_t();
  strm.Close();
  EXPECT_EQ(ReadFile("cached.bin").substr(98), "wwend");

  // A size change grows with zeros or truncates, never overwriting what stays.
  strm.OpenFile_t("cached.bin", "a");
  strm.SetSize_t(110);
  EXPECT_EQ(strm.GetSize(), 110);
  strm.Close();
  std::string strGrown = ReadFile("cached.bin");
  EXPECT_EQ(strGrown.substr(98, 5), "wwend");
  EXPECT_EQ(strGrown.substr(103), std::string(7, '\0'));
  strm.OpenFile_t("cached.bin", "a");
  strm.SetSize_t(10);
  EXPECT_EQ(strm.GetPosition(), 10);
  EXPECT_NE(ThrownBy([&] { strm.SetSize_t(-1); }), "");
  strm.Close();
  EXPECT_EQ(ReadFile("cached.bin"), std::string(10, 'w'));

  // Writing a stream writes out the cached bytes first, so the order is kept.
  CStream strmSource;
  strmSource.CreateMemoryStream_t("SOURCE", 6);
  strm.OpenFile_t("ordered.bin", "w");
  strm.Write_t("head-", 5);
  strm.Write_t(strmSource);
  strm.Write_t("-tail", 5);
  strm.Close();
  EXPECT_EQ(ReadFile("ordered.bin"), "head-SOURCE-tail");
}

namespace {
struct ReaderState {
  CString rs_strFile;
  std::string rs_strExpected;
  long volatile rs_bOK = 0;
};

void ReadWholeFile(void *pv)
{
  ReaderState *prs = (ReaderState *)pv;
  try {
    for (int iRound = 0; iRound < 5; iRound++) {
      CStream strm;
      strm.OpenFile_t(prs->rs_strFile, "r");
      std::string str;
      char ach[1000];
      while (!strm.IsAtEOF_t()) {
        long ct = strm.GetSize() - strm.GetPosition();
        if (ct > 1000) ct = 1000;
        strm.Read_t(ach, ct);
        str.append(ach, ct);
      }
      if (str != prs->rs_strExpected) return;
    }
    prs->rs_bOK = 1;
  } catch (CException &) {
  }
}
} // namespace

TEST_F(FileSystem, TwoThreadsReadDifferentFiles)
{
  CThreadServices ts;
  ReaderState ars[2];
  for (int i = 0; i < 2; i++) {
    std::string str(200000, '\0');
    for (size_t j = 0; j < str.size(); j++) str[j] = (char)(j * (i + 3) + j / 1000);
    ars[i].rs_strFile = strFormat("reader%1.bin", i);
    ars[i].rs_strExpected = str;
    WriteFile(ars[i].rs_strFile, str);
  }
  thrCreateThread(&ars[0], ReadWholeFile);
  thrCreateThread(&ars[1], ReadWholeFile);
  ASSERT_TRUE(WaitUntil(AllThreadsEnded, 60000));
  EXPECT_EQ(ars[0].rs_bOK, 1);
  EXPECT_EQ(ars[1].rs_bOK, 1);
}

TEST_F(FileSystem, OperationsAndListings)
{
  WriteFile("Data/a.txt", "a");
  WriteFile("Data/b.tex", "b");
  WriteFile("Data/Sub/c.txt", "c");
  EXPECT_TRUE(filExists("Data/a.txt"));
  EXPECT_TRUE(filExistsOnDisk("Data/a.txt"));
  EXPECT_FALSE(filExists("Data/none.txt"));
  EXPECT_TRUE(filIsDirectory("Data/Sub/"));
  EXPECT_TRUE(filIsDummyFile("Data/.."));
  EXPECT_FALSE(filIsDummyFile("Data/a.txt"));
  Time tm = filGetFileTime_t("Data/a.txt");
  EXPECT_GT(timToFloat(tm), 1.0e9f);
  EXPECT_NE(ThrownBy([&] { filGetFileTime_t("Data/none.txt"); }), "");

  CStaticStackArray<CString> astr = filFindFiles("Data/", "*.txt");
  ASSERT_EQ(astr.Count(), 1);
  EXPECT_STREQ(astr[0], "Data/a.txt");
  astr = filGetFromDir("Data/", "*");
  EXPECT_EQ(astr.Count(), 3);
  CStaticStackArray<CString> astrAll;
  filFindFilesRecursively("Data/", "*.txt", astrAll);
  EXPECT_EQ(astrAll.Count(), 2);
  MakeDirList(astrAll, "Data/", "*.t*", DLI_RECURSIVE);
  ASSERT_EQ(astrAll.Count(), 3);
  EXPECT_STREQ(astrAll[0], "Data/a.txt");
  EXPECT_STREQ(astrAll[1], "Data/b.tex");
  EXPECT_STREQ(astrAll[2], "Data/Sub/c.txt");
  MakeDirList(astrAll, "Data/", "", 0);
  EXPECT_EQ(astrAll.Count(), 2);

  filRenameFile_t("Data/a.txt", "Moved/Here/a.txt");
  EXPECT_TRUE(filExists("Moved/Here/a.txt"));
  EXPECT_FALSE(filExists("Data/a.txt"));
  filDeleteFile_t("Moved/Here/a.txt");
  EXPECT_FALSE(filExists("Moved/Here/a.txt"));
  std::string str = ThrownBy([&] { filDeleteFile_t("Moved/Here/a.txt"); });
  EXPECT_EQ(str.rfind("Cannot delete file Moved/Here/a.txt. ", 0), 0u) << str;
  filRenameDirectory_t("Moved/", "Renamed/");
  EXPECT_TRUE(filIsDirectory("Renamed/Here/"));
  filRemoveDirectory_t("Renamed/Here/");
  EXPECT_NE(ThrownBy([&] { filRemoveDirectory_t("Renamed/Here/"); }), "");
  EXPECT_EQ(filCreateDirectoryPath("One/Two/Three/"), 1);
  EXPECT_TRUE(filIsDirectory("One/Two/Three/"));
  EXPECT_EQ(filCreateDirectoryPath(""), 1);
  filDeleteDirectory_t("Data/");
  EXPECT_FALSE(filIsDirectory("Data/"));
  EXPECT_GT(filGetDiskFreeSpace(""), 0);
  EXPECT_GT(filGetDrives().Count(), 0);
  EXPECT_GT(filFindFiles("$/", "").Count(), 0);
}

TEST_F(FileSystem, DeletingADirectoryDoesNotEnterLinks)
{
  WriteFile("Keep/precious.txt", "keep");
  WriteFile("Doomed/file.txt", "x");
  CWString wstrLink = strUTF8ToUTF16(filSoftToHardPath("Doomed/Link"));
  CWString wstrTarget = strUTF8ToUTF16(filSoftToHardPath("Keep"));
  if (!CreateSymbolicLinkW((LPCWSTR)wstrLink.wstr_String, (LPCWSTR)wstrTarget.wstr_String,
                           SYMBOLIC_LINK_FLAG_DIRECTORY)) {
    GTEST_SKIP() << "directory links are not available here";
  }
  filDeleteDirectory_t("Doomed/");
  EXPECT_FALSE(filIsDirectory("Doomed/"));
  EXPECT_TRUE(filExists("Keep/precious.txt"));
}

TEST_F(FileSystem, AvailableFileNames)
{
  EXPECT_STREQ(filCreateAvailableFileName_t("Shots/Shot0000.tga", 4), "Shots/Shot0000.tga");
  WriteFile("Shots/Shot0000.tga", "x");
  EXPECT_STREQ(filCreateAvailableFileName_t("Shots/Shot0000.tga", 4), "Shots/Shot0001.tga");
  EXPECT_EQ(ThrownBy([&] { filCreateAvailableFileName_t("Shots/Shot00.tga", 3); }),
            "Inappropriate base file name provided (too few digits).");
  for (int i = 0; i < 10; i++) WriteFile(strFormat("Shots/S%1.tga", i), "x");
  EXPECT_EQ(ThrownBy([&] { filCreateAvailableFileName_t("Shots/S0.tga", 1); }),
            "Too many files for the given number of digits.");
}

TEST_F(FileSystem, ReplaceHistory)
{
  WriteFile("ReplaceHistory.txt", "Old/a.tex New/a.tex\r\n"
                                  "\r\n"
                                  "Textures/* Gfx/Textures/*\r\n"
                                  "one two three\r\n"
                                  "\"With Blank/b.tex\" \"Moved/b.tex\"\r\n"
                                  "single\r\n"
                                  "bad\"quote x\r\n"
                                  "Back\\Slash.tex Fore/Slash.tex\r\n");
  CString strErrors;
  {
    CLockOutputs lo;
    long ctBefore = conGetTotalLinesCount();
    filLoadReplaceHistory_t();
    for (long i = conGetTotalLinesCount() - ctBefore - 1; i >= 0; i--) {
      long iType;
      CString strLine;
      conGetLine(i, iType, strLine);
      strErrors += strLine;
    }
  }
  EXPECT_EQ(filGetReplaceHistoryCount(), 4);
  EXPECT_NE(strFindSubstr(strErrors, "ReplaceHistory.txt(4) : Too many filenames."), -1)
      << strErrors;
  EXPECT_NE(strFindSubstr(strErrors, "ReplaceHistory.txt(6) : Too few filenames."), -1);
  EXPECT_NE(strFindSubstr(strErrors, "ReplaceHistory.txt(7) : Illegal use of quote character."),
            -1);
  EXPECT_STREQ(filFileReplaceHistory("Old/a.tex"), "New/a.tex");
  EXPECT_STREQ(filFileReplaceHistory("OLD/A.TEX"), "New/a.tex");
  EXPECT_STREQ(filFileReplaceHistory("Textures/Wall/x.tex"), "Gfx/Textures/Wall/x.tex");
  EXPECT_STREQ(filFileReplaceHistory("With Blank/b.tex"), "Moved/b.tex");
  EXPECT_STREQ(filFileReplaceHistory("Back/Slash.tex"), "Fore/Slash.tex");
  EXPECT_STREQ(filFileReplaceHistory("Other.tex"), "Other.tex");
  // A world becomes its raw form only when that exists.
  EXPECT_STREQ(filFileReplaceHistory("Levels/a.wld"), "Levels/a.wld");
  WriteFile("Levels/a.tex", "raw");
  EXPECT_STREQ(filFileReplaceHistory("Levels/a.wld"), "Levels/a.tex");
  EXPECT_STREQ(filFileReplaceHistory("Levels/A.WLD"), "Levels/A.tex");
  // The shortcut of look-ups agrees: only loaded pairs, or a world's name while raw loading is
  // allowed, may change a name.
  EXPECT_FALSE(filReplaceHistoryKeeps("Other.tex"));
  filClearReplaceHistory();
  EXPECT_TRUE(filReplaceHistoryKeeps("Other.tex"));
  for (const char *str : {"Levels/a.wld", "Levels/A.WLD", "x.wLd"}) {
    EXPECT_FALSE(filReplaceHistoryKeeps(str)) << str;
    EXPECT_FALSE(filReplaceHistoryKeeps(str, (int)strlen(str))) << str;
  }
  for (const char *str : {"Levels/awld", "a.wlx", "wld", ".wl", "a.w1d", "a.wl", ""}) {
    EXPECT_TRUE(filReplaceHistoryKeeps(str)) << str;
  }
  const int bRaw = md_bAllowRawLoading;
  md_bAllowRawLoading = 0;
  EXPECT_TRUE(filReplaceHistoryKeeps("Levels/a.wld"));
  md_bAllowRawLoading = bRaw;
  filClearReplaceHistory();
}

TEST_F(FileSystem, TextFilesOfTheStringTypes)
{
  CString str("line one\nGrüße\n");
  str.SaveText_t("Text/utf8.txt");
  EXPECT_EQ(ReadFile("Text/utf8.txt"), "line one\nGrüße\n");
  CWString wstr(u"wide\nЖ");
  wstr.SaveText_t("Text/utf16.txt");
  EXPECT_EQ(ReadFile("Text/utf16.txt"), std::string("\xFF\xFEw\0i\0d\0e\0\r\0\n\0\x16\x04", 16));
  CString strLoaded;
  strLoaded.LoadText_t("Text/utf16.txt");
  EXPECT_STREQ(strLoaded, "wide\nЖ");
  CWString wstrLoaded;
  wstrLoaded.LoadText_t("Text/utf16.txt");
  EXPECT_EQ(wstrLoaded, wstr);
  WriteFile("Text/crlf.txt", "a\r\nb");
  strLoaded.LoadText_t("Text/crlf.txt");
  EXPECT_STREQ(strLoaded, "a\nb");

  // A collation table file: 'b' (98) before 'a' (97).
  CWString wstrTable((unsigned short)1, 100);
  for (int i = 0; i < 100; i++) wstrTable.wstr_String[i] = (unsigned short)(i + 1);
  wstrTable.wstr_String[96] = 2;
  wstrTable.wstr_String[97] = 1;
  CStream strm;
  strm.OpenFile_t("Text/collation.bin", "w");
  wstrTable.Write_t(strm);
  strm.Close();
  strLoadCollation_t("Text/collation.bin");
  EXPECT_EQ(wstrCompare((const unsigned short *)u"b", (const unsigned short *)u"a"), -1);
  wstrSetCollation(nullptr);
}

namespace {
// Bytes that tell where they lie: a piece read from the wrong block or offset does not match.
unsigned char ContentAt(int iFile, long slOffset)
{
  unsigned long ul = (unsigned long)slOffset;
  return (unsigned char)((ul ^ (ul >> 8) ^ (ul >> 16)) * (2 * iFile + 1) + iFile);
}

std::string MakeContent(int iFile, long slSize)
{
  std::string str(slSize, '\0');
  for (long i = 0; i < slSize; i++) str[i] = (char)ContentAt(iFile, i);
  return str;
}

// The first offset where the bytes differ from the file's content, or -1.
long FirstMismatch(int iFile, long slOffset, const unsigned char *pub, long slSize)
{
  for (long i = 0; i < slSize; i++) {
    if (pub[i] != ContentAt(iFile, slOffset + i)) return slOffset + i;
  }
  return -1;
}

// One thread's read held up inside its disk transfer until the test lets it go.
struct StalledRead {
  CString sr_strFile;
  long sr_slSize = 0;
  unsigned long volatile sr_ulThread = 0;
  long volatile sr_bStalled = 0;
  long volatile sr_bReleased = 0;
  long volatile sr_bReleasedInTime = 0;
  long volatile sr_bOK = 0;
};
StalledRead *_psrStalled = nullptr;

void StallTheStalledReader(void)
{
  StalledRead &sr = *_psrStalled;
  if (sysGetCurrentThreadID() != sr.sr_ulThread || sr.sr_bStalled) return;
  sr.sr_bStalled = 1;
  sr.sr_bReleasedInTime = WaitUntil([&] { return sr.sr_bReleased != 0; }, 10000);
}

void ReadWhileStalled(void *pv)
{
  StalledRead &sr = *(StalledRead *)pv;
  sr.sr_ulThread = sysGetCurrentThreadID();
  try {
    CStream strm;
    strm.OpenFile_t(sr.sr_strFile, "r");
    std::string str(sr.sr_slSize, '\0');
    strm.SeekBeg_t(1234);
    strm.Read_t(&str[0], sr.sr_slSize);
    sr.sr_bOK = FirstMismatch(0, 1234, (const unsigned char *)str.data(), sr.sr_slSize) < 0;
  } catch (CException &) {
  }
}
} // namespace

TEST_F(FileSystem, AReadDoesNotWaitForAnotherThreadsDiskTransfer)
{
  CThreadServices ts;
  WriteFile("loader.bin", MakeContent(0, 300000));
  WriteFile("main.bin", MakeContent(1, 5000));
  // Through the cache (a small read) and past it (a large one), synchronous and overlapped.
  for (int bOverlap = 0; bOverlap < 2; bOverlap++) {
    for (long slSize : {100L, 70000L}) {
      SCOPED_TRACE(strFormat("overlap %1, %2 bytes", bOverlap, slSize).str_String);
      fil_bAsynchronousReads = bOverlap;
      // Left alive if the reader never ends, so that it cannot touch freed memory.
      StalledRead *psr = new StalledRead;
      psr->sr_strFile = "loader.bin";
      psr->sr_slSize = slSize;
      _psrStalled = psr;
      fil_pfnBeforeDiskRead = StallTheStalledReader;
      thrCreateThread(psr, ReadWhileStalled);
      EXPECT_TRUE(WaitUntil([&] { return psr->sr_bStalled != 0; }, 10000));
      // The other thread is inside its transfer: this read must get through meanwhile.
      CStream strm;
      strm.OpenFile_t("main.bin", "r");
      unsigned char aub[300];
      strm.SeekBeg_t(4000);
      strm.Read_t(aub, sizeof(aub));
      EXPECT_EQ(FirstMismatch(1, 4000, aub, sizeof(aub)), -1);
      strm.Close();
      psr->sr_bReleased = 1;
      bool bEnded = WaitUntil(AllThreadsEnded, 20000);
      EXPECT_TRUE(bEnded);
      fil_pfnBeforeDiskRead = nullptr;
      EXPECT_EQ(psr->sr_bReleasedInTime, 1) << "the read waited for the other thread's transfer";
      EXPECT_EQ(psr->sr_bOK, 1);
      if (bEnded) delete psr;
    }
  }
  fil_bAsynchronousReads = -1;
}

TEST_F(FileSystem, UnalignedLargeReadsGoStraightToTheCaller)
{
  const long slFile = 400000;
  WriteFile("seq.bin", MakeContent(2, slFile));
  for (int bOverlap = 0; bOverlap < 2; bOverlap++) {
    SCOPED_TRACE(bOverlap ? "overlapped" : "synchronous");
    fil_bAsynchronousReads = bOverlap;
    CStream strm;
    strm.OpenFile_t("seq.bin", "r");
    std::string str(65536, '\0');
    const unsigned char *pub = (const unsigned char *)str.data();
    // From an odd start, each request is one transfer of its own size: no block is read twice
    // and none is read ahead only to be passed by.
    strm.SeekBeg_t(1234);
    long ctDisk = strm_ctDiskBytes;
    strm.Read_t(&str[0], 65536);
    EXPECT_EQ(strm_ctDiskBytes - ctDisk, 65536);
    EXPECT_EQ(FirstMismatch(2, 1234, pub, 65536), -1);
    strm.Read_t(&str[0], 16384);
    EXPECT_EQ(strm_ctDiskBytes - ctDisk, 65536 + 16384);
    EXPECT_EQ(FirstMismatch(2, 1234 + 65536, pub, 16384), -1);

    // A small read caches its block and the next; a large read then takes what is cached and
    // reads only the rest.
    strm.SeekBeg_t(200000);
    ctDisk = strm_ctDiskBytes;
    strm.Read_t(&str[0], 100);
    EXPECT_EQ(strm_ctDiskBytes - ctDisk, 2 * 32768);
    EXPECT_EQ(FirstMismatch(2, 200000, pub, 100), -1);
    strm.Read_t(&str[0], 65536);
    EXPECT_EQ(FirstMismatch(2, 200100, pub, 65536), -1);
    // The two cached blocks are copied (a large read asks for nothing ahead), and the last 3492
    // bytes, a small read, take the next block with one more block read ahead.
    EXPECT_EQ(strm_ctDiskBytes - ctDisk, 4 * 32768);
    // The end of the file, unaligned and large.
    strm.SeekBeg_t(slFile - 20001);
    strm.Read_t(&str[0], 20001);
    EXPECT_EQ(FirstMismatch(2, slFile - 20001, pub, 20001), -1);
    EXPECT_TRUE(strm.IsAtEOF_t());
  }
  fil_bAsynchronousReads = -1;
}

namespace {
const int _ctStressFiles = 3;
const long _aslStressSize[_ctStressFiles] = {300007, 150001, 99999};

struct StressReader {
  int sr_iThread = 0;
  long sr_ctRounds = 0;
  std::string sr_strError; // the first fault found
  long volatile sr_bDone = 0;
};

// Reads at random offsets with random sizes, from the shared file 0 and from the thread's own
// file, checking every byte; streams are closed and reopened at random while others read.
void ReadAtRandom(void *pv)
{
  StressReader &sr = *(StressReader *)pv;
  unsigned long ulSeed = 12345 + 7919 * sr.sr_iThread;
  auto Random = [&](unsigned long ulRange) {
    ulSeed = ulSeed * 1103515245UL + 12345UL;
    return (ulSeed >> 8) % ulRange;
  };
  const int iOwnFile = 1 + sr.sr_iThread % (_ctStressFiles - 1);
  std::string strBuffer(120000, '\0');
  unsigned char *pub = (unsigned char *)&strBuffer[0];
  try {
    CStream astrm[2];
    int aiFile[2] = {0, iOwnFile};
    for (int i = 0; i < 2; i++) astrm[i].OpenFile_t(strFormat("stress%1.bin", aiFile[i]), "r");
    for (long iRound = 0; iRound < sr.sr_ctRounds && sr.sr_strError.empty(); iRound++) {
      int iStream = (int)Random(2);
      CStream &strm = astrm[iStream];
      const int iFile = aiFile[iStream];
      const long slFile = _aslStressSize[iFile];
      unsigned long ulWhat = Random(100);
      if (ulWhat < 3) {
        strm.Close();
        strm.OpenFile_t(strFormat("stress%1.bin", iFile), "r");
        continue;
      }
      long slOffset = (long)Random(slFile);
      if (ulWhat < 8) {
        strm.SeekBeg_t(slOffset);
        strm.ReadAhead_t((long)Random(200000));
        continue;
      }
      // Mostly small reads through the cache, some large ones past it.
      long slSize = ulWhat < 75 ? 1 + (long)Random(6000) : 16384 + (long)Random(100000);
      if (slSize > slFile - slOffset) slSize = slFile - slOffset;
      strm.SeekBeg_t(slOffset);
      if (ulWhat < 15) {
        strm.Peek_t(pub, slSize);
        if (strm.GetPosition() != slOffset) sr.sr_strError = "a peek moved the position";
      } else {
        strm.Read_t(pub, slSize);
        if (strm.GetPosition() != slOffset + slSize) sr.sr_strError = "a read moved wrongly";
      }
      long slBad = FirstMismatch(iFile, slOffset, pub, slSize);
      if (slBad >= 0) {
        sr.sr_strError = strFormat("file %1: reading %2 bytes at %3, wrong byte at %4", iFile,
                                   slSize, slOffset, slBad)
                             .str_String;
      }
    }
  } catch (CException &ex) {
    sr.sr_strError = ex.GetDescription();
  }
  sr.sr_bDone = 1;
}
} // namespace

TEST_F(FileSystem, ThreadsReadAtRandomThroughTheSharedCache)
{
  CThreadServices ts;
  for (int i = 0; i < _ctStressFiles; i++) {
    WriteFile(strFormat("stress%1.bin", i), MakeContent(i, _aslStressSize[i]));
  }
  const int ctThreads = 4;
  for (int bOverlap = 0; bOverlap < 2; bOverlap++) {
    SCOPED_TRACE(bOverlap ? "overlapped" : "synchronous");
    fil_bAsynchronousReads = bOverlap;
    // Left alive if a reader never ends, so that it cannot touch freed memory.
    StressReader *asr = new StressReader[ctThreads];
    for (int i = 0; i < ctThreads; i++) {
      asr[i].sr_iThread = i;
      asr[i].sr_ctRounds = 1500;
      thrCreateThread(&asr[i], ReadAtRandom);
    }
    // The main thread reads too, as a game's would while its loaders work.
    StressReader srMain;
    srMain.sr_iThread = ctThreads;
    srMain.sr_ctRounds = 500;
    ReadAtRandom(&srMain);
    EXPECT_EQ(srMain.sr_strError, "");
    bool bEnded = WaitUntil(AllThreadsEnded, 120000);
    ASSERT_TRUE(bEnded) << "a reader hangs";
    for (int i = 0; i < ctThreads; i++) {
      EXPECT_EQ(asr[i].sr_bDone, 1);
      EXPECT_EQ(asr[i].sr_strError, "") << "thread " << i;
    }
    delete[] asr;
  }
  fil_bAsynchronousReads = -1;
}
