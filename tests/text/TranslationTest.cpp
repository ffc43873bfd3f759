#include "TestSupport.h"

#include "core/platform/SysLocale.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <set>
#include <string>

using namespace QuennelEngine;
using namespace QuennelEngine::Test;

namespace {

// A table file: the count line as given, then the lines, each ended by CR LF.
std::string Table(const char *strCount, std::initializer_list<const char *> astrLines)
{
  std::string str = std::string(strCount) + "\r\n";
  for (const char *strLine : astrLines) str += std::string(strLine) + "\r\n";
  return str;
}

// The text in UTF-16 with its byte order mark, little- or big-endian.
std::string UTF16(const std::string &strUTF8, bool bBigEndian)
{
  CWString wstr = strUTF8ToUTF16(strUTF8.c_str());
  std::string str = bBigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (int i = 0; i < wstr.Length(); i++) {
    char chLow = (char)(wstr[i] & 0xFF), chHigh = (char)(wstr[i] >> 8);
    str += bBigEndian ? chHigh : chLow;
    str += bBigEndian ? chLow : chHigh;
  }
  return str;
}

// Each test gets a fresh root with the default locales root and no locale; its tables are
// unloaded and the root removed afterwards.
class Translation : public testing::Test {
protected:
  void SetUp() override
  {
    char strCwd[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, strCwd);
    tr_strOldRoot = filGetSysRootDir();
    tr_strOldLocaleDir = str_strLocaleDir;
    tr_strOldLocale = str_strCurrentLocale;
    CString strRoot = CString(strCwd) + "\\TrRoot\\";
    filSetSysRootDir(strRoot);
    if (filIsSysDir(strRoot)) filDeleteDirectory_t("$" + strFormat("%1", strRoot));
    CreateDirectoryA(strRoot, nullptr);
    str_strLocaleDir = STR_DEFAULT_LOCALES_DIR;
    strSetCurrentLocale("");
  }
  void TearDown() override
  {
    for (const CString &str : strGetLoadedTranslationTables()) strUnloadTranslationTable_t(str);
    str_strLocaleDir = tr_strOldLocaleDir;
    strSetCurrentLocale(tr_strOldLocale);
    CString strSoft = CString("$") + filGetSysRootDir();
    strReplaceSubstrA(strSoft, "\\", "/");
    filSetSysRootDir(tr_strOldRoot);
    try {
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
  CString Loc(const char *strName) { return CString(STR_DEFAULT_LOCALES_DIR) + strName; }
  CString tr_strOldRoot, tr_strOldLocaleDir, tr_strOldLocale;
};

// The console lines that `fn` prints (kept off the outputs).
template <class F> std::string Printed(F fn)
{
  CLockOutputs lo;
  long ctBefore = conGetTotalLinesCount();
  fn();
  std::string str;
  for (long i = conGetTotalLinesCount() - ctBefore - 1; i >= 0; i--) {
    long iType;
    CString strLine;
    conGetLine(i, iType, strLine);
    str += std::string(strLine) + "\n";
  }
  return str;
}

} // namespace

TEST_F(Translation, TextsWithoutTablesAndTheirKeys)
{
  const char *str = "DOZUConsole.StartLog=START OF LOG";
  EXPECT_EQ(strTranslate(str), str + 21);
  const char *strEq = "=";
  EXPECT_EQ(strTranslate(strEq), strEq);
  const char *strPlain = "No key here";
  EXPECT_EQ(strTranslate(strPlain), strPlain);
  EXPECT_STREQ(strTranslate("a=b=c"), "b=c");
  CLockOutputs lo; // the breach reports are expected
  CGuardBreachCounter gbc;
  EXPECT_STREQ(strTranslate(nullptr), "");
  EXPECT_EQ(gbc.Count(), 1);

  WriteFile("t.tbl", Table("4", {"Console.StartLog=Begin", "DOZUConsole.Twice=Once",
                                 "Console.Lines=One\\nTwo", "Key\\nSplit=Joined", "no equals",
                                 "Console.Empty=", "Console.Eq=a=b"}));
  strLoadTranslationTable_t("t.tbl");
  EXPECT_STREQ(strTranslate(str), "Begin");
  // Keys are exact: another case misses, and the prefixes go at most once each, in order.
  EXPECT_STREQ(strTranslate("DOZUconsole.startlog=Default"), "Default");
  EXPECT_STREQ(strTranslate("DTRSConsole.StartLog=D"), "Begin");
  EXPECT_STREQ(strTranslate("TTRS:Console.StartLog=D"), "Begin");
  EXPECT_STREQ(strTranslate("Console.StartLog=D"), "Begin");
  EXPECT_STREQ(strTranslate("DTRSDOZUTTRS:Console.StartLog=D"), "Begin");
  EXPECT_STREQ(strTranslate("DOZUDTRSConsole.StartLog=D"), "D");
  EXPECT_STREQ(strTranslate("DOZUDOZUConsole.Twice=D"), "Once");
  EXPECT_STREQ(strTranslate("DOZUConsole.Lines=D"), "One\nTwo");
  EXPECT_STREQ(strTranslate("DOZUKey\nSplit=D"), "Joined");
  EXPECT_STREQ(strTranslate("DOZUConsole.Empty=D"), "");
  EXPECT_STREQ(strTranslate("DOZUConsole.Eq=D"), "a=b");
  EXPECT_STREQ(strFindTranslation("Console.StartLog"), "Begin");
  EXPECT_EQ(strFindTranslation("DOZUConsole.StartLog"), nullptr);
}

TEST_F(Translation, CountsAreHintsAndEncodingsFollowTheHeader)
{
  WriteFile("few.tbl", Table("1", {"A.One=1", "A.Two=2", "A.Three=3"}));
  WriteFile("many.tbl", Table("2000000000", {"B.One=1"}) + "B.Last=no line end");
  WriteFile("negative.tbl", Table("-5", {"C.One=1"}));
  WriteFile("le.tbl", UTF16(Table("9", {"D.Umlaut=\xC3\x84rger", "D.Two=2"}), false));
  WriteFile("be.tbl", UTF16(Table("0", {"E.Line=x\\ny"}), true));
  WriteFile("nocount.tbl", Table("F.One=1", {"F.Two=2"}));
  WriteFile("empty.tbl", "");
  for (const char *strName : {"few.tbl", "many.tbl", "negative.tbl", "le.tbl", "be.tbl"}) {
    strLoadTranslationTable_t(strName);
  }
  EXPECT_STREQ(strTranslate("A.Three=x"), "3");
  EXPECT_STREQ(strTranslate("B.One=x"), "1");
  EXPECT_STREQ(strTranslate("B.Last=x"), "no line end");
  EXPECT_STREQ(strTranslate("C.One=x"), "1");
  EXPECT_STREQ(strTranslate("D.Umlaut=x"), "\xC3\x84rger");
  EXPECT_STREQ(strTranslate("D.Two=x"), "2");
  EXPECT_STREQ(strTranslate("E.Line=x"), "x\ny");

  // Without a count a table is refused with a warning.
  std::string strOut = Printed([] {
    strLoadTranslationTable_t("nocount.tbl");
    strLoadTranslationTable_t("empty.tbl");
  });
  EXPECT_NE(strOut.find("Missing entries number from the 'nocount.tbl' translation table."),
            std::string::npos)
      << strOut;
  EXPECT_NE(strOut.find("'empty.tbl'"), std::string::npos);
  EXPECT_STREQ(strTranslate("F.Two=x"), "x");
  EXPECT_EQ(strGetLoadedTranslationTables().Count(), 5);
  // A missing file passes the stream's error on.
  EXPECT_THROW(strLoadTranslationTable_t("missing.tbl"), CFileException);
  EXPECT_EQ(strGetLoadedTranslationTables().Count(), 5);
}

TEST_F(Translation, LoadingUnloadingAndOverriding)
{
  WriteFile("base.tbl", Table("2", {"Menu.Start=Start", "Menu.Quit=Quit"}));
  WriteFile("over.tbl", Table("1", {"Menu.Start=Go"}));
  strLoadTranslationTable_t("base.tbl");
  strLoadTranslationTable_t("base.tbl");
  EXPECT_EQ(strGetLoadedTranslationTables().Count(), 1);
  const char *pchStart = strTranslate("Menu.Start=x");
  EXPECT_STREQ(pchStart, "Start");

  // The table loaded last wins; unloading it uncovers the earlier one.
  strLoadTranslationTable_t("over.tbl");
  EXPECT_STREQ(strTranslate("Menu.Start=x"), "Go");
  strUnloadTranslationTable_t("over.tbl");
  EXPECT_STREQ(strTranslate("Menu.Start=x"), "Start");
  strLoadTranslationTable_t("over.tbl");
  strUnloadTranslationTable_t("base.tbl");
  EXPECT_STREQ(strTranslate("Menu.Start=x"), "Go");
  EXPECT_STREQ(strTranslate("Menu.Quit=x"), "x");
  strUnloadTranslationTable_t("unknown.tbl");
  strUnloadTranslationTable_t("over.tbl");
  EXPECT_STREQ(strTranslate("Menu.Start=x"), "x");
  EXPECT_EQ(strGetLoadedTranslationTables().Count(), 0);
  // A translation handed out outlives its table.
  EXPECT_STREQ(pchStart, "Start");
}

TEST_F(Translation, ObtainingTablesFromDirectories)
{
  WriteFile(Loc("b.tbl"), Table("1", {"T.B=b"}));
  WriteFile(Loc("a.tbl"), Table("1", {"T.A=a"}));
  WriteFile(Loc("English/e.tbl"), Table("1", {"T.E=e"}));
  WriteFile(Loc("notes.txt"), Table("1", {"T.N=n"}));
  filCreateDirectoryPath(Loc("folder.tbl/"));
  WriteFile("Other/o.tbl", Table("1", {"T.O=o"}));
  WriteFile("Other/Deep/Er/d.tbl", Table("1", {"T.D=d"}));

  // The default locales directory (in any case) gives its own files only, in name order.
  strObtainTranslationTables_t("content/quennelvop2/locales/");
  EXPECT_EQ(strGetLoadedTranslationTables().Count(), 2);
  EXPECT_STREQ(strTranslate("T.A=x"), "a");
  EXPECT_STREQ(strTranslate("T.E=x"), "x");
  for (const CString &str : strGetLoadedTranslationTables()) strUnloadTranslationTable_t(str);
  strObtainTranslationTables_t("");
  CStaticStackArray<CString> astr = strGetLoadedTranslationTables();
  ASSERT_EQ(astr.Count(), 2);
  EXPECT_STREQ(astr[0], Loc("a.tbl"));
  EXPECT_STREQ(astr[1], Loc("b.tbl"));
  // Any other directory gives its whole subtree (a missing '/' is supplied).
  strObtainTranslationTables_t("Other");
  EXPECT_EQ(strGetLoadedTranslationTables().Count(), 4);
  EXPECT_STREQ(strTranslate("T.D=x"), "d");
  EXPECT_STREQ(strTranslate("T.O=x"), "o");
}

TEST_F(Translation, ReloadingWithALocale)
{
  WriteFile(Loc("Game.tbl"), Table("2", {"Menu.Start=Start", "Menu.Quit=Quit"}));
  WriteFile(Loc("English/Game.tbl"), Table("1", {"Menu.Start=Go"}));
  WriteFile(Loc("German/Sub/Game.tbl"), Table("1", {"Menu.Start=Los"}));
  WriteFile("Extra.tbl", Table("1", {"Extra.Key=extra"}));
  strLoadTranslationTable_t("Extra.tbl");

  strReloadTransTables("German");
  EXPECT_STREQ(str_strCurrentLocale, "German");
  EXPECT_STREQ(strGetCurrentLocaleDir(), Loc("German/"));
  EXPECT_STREQ(strTranslate("Menu.Start=x"), "Los");
  EXPECT_STREQ(strTranslate("Menu.Quit=x"), "Quit");
  EXPECT_STREQ(strTranslate("Extra.Key=x"), "x");
  strReloadTransTables("");
  EXPECT_STREQ(strGetCurrentLocaleDir(), STR_DEFAULT_LOCALES_DIR);
  EXPECT_STREQ(strTranslate("Menu.Start=x"), "Start");

  // Another root: its own files and the locale's folder, not the other locales' folders.
  WriteFile("Loc/Base.tbl", Table("1", {"Menu.Quit=Exit"}));
  WriteFile("Loc/English/En.tbl", Table("1", {"Menu.Start=Go"}));
  WriteFile("Loc/German/De.tbl", Table("1", {"Menu.Start=Los"}));
  str_strLocaleDir = "Loc/";
  strReloadTransTables("English");
  EXPECT_EQ(strGetLoadedTranslationTables().Count(), 2);
  EXPECT_STREQ(strTranslate("Menu.Start=x"), "Go");
  EXPECT_STREQ(strTranslate("Menu.Quit=x"), "Exit");

  // An error passes on, or is printed; what was loaded before it stays in use.
  HANDLE hLocked = CreateFileA(filSoftToHardPath("Loc/English/En.tbl"), GENERIC_READ, 0, nullptr,
                               OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(hLocked, INVALID_HANDLE_VALUE);
  EXPECT_THROW(strReloadTranslationTables_t(), CFileException);
  EXPECT_STREQ(strTranslate("Menu.Quit=x"), "Exit");
  std::string strOut = Printed([] { strReloadTransTables("English"); });
  CloseHandle(hLocked);
  EXPECT_NE(strOut.find("Could not open file! (Loc/English/En.tbl)"), std::string::npos) << strOut;
  EXPECT_STREQ(strTranslate("Menu.Quit=x"), "Exit");
  EXPECT_STREQ(strTranslate("Menu.Start=x"), "x");
}

TEST_F(Translation, DetectingTheLocaleFromTheSystemLanguage)
{
  const CString strLanguage = sysGetLanguageName();
  ASSERT_GE(strLanguage.Length(), 2);
  const CString strClose = strGetHead(strLanguage, 2) + "zz";
  const CString strCloser = strGetHead(strLanguage, 2) + "aa";
  filCreateDirectoryPath(Loc("Xx/"));
  filCreateDirectoryPath(Loc(strClose + "/"));
  filCreateDirectoryPath(Loc(strToUpper(strLanguage) + "/"));
  // The full name wins over a two-letter match, ignoring case.
  strAutoDetectLocale();
  EXPECT_STREQ(str_strCurrentLocale, strToUpper(strLanguage));
  filRemoveDirectory_t(Loc(strToUpper(strLanguage) + "/"));
  filCreateDirectoryPath(Loc(strCloser + "/"));
  strAutoDetectLocale();
  EXPECT_STREQ(str_strCurrentLocale, strCloser);
  // Only folders count.
  filRemoveDirectory_t(Loc(strClose + "/"));
  filRemoveDirectory_t(Loc(strCloser + "/"));
  WriteFile(Loc(strLanguage), "file");
  strAutoDetectLocale();
  EXPECT_STREQ(str_strCurrentLocale, "");
}

TEST_F(Translation, FindingLocalizedFiles)
{
  for (const char *strName : {"Snd/Intro.ogg", "Snd/Intro_English.ogg", "Snd/Intro_eng.ogg",
                              "Snd/Intro_ger.ogg", "Snd/Intro_French.wav", "Snd/Outro.ogg"}) {
    WriteFile(strName, "x");
  }
  EXPECT_STREQ(strFindLocalizedFile("Snd/Intro.ogg"), "Snd/Intro.ogg"); // no locale
  strSetCurrentLocale("English");
  EXPECT_STREQ(strFindLocalizedFile("Snd/Intro.ogg"), "Snd/Intro_English.ogg");
  // A "_???" ending names a sibling already; a longer one is part of the base name.
  EXPECT_STREQ(strFindLocalizedFile("Snd/Intro_ger.ogg"), "Snd/Intro_English.ogg");
  EXPECT_STREQ(strFindLocalizedFile("Snd/Intro_German.ogg"), "Snd/Intro_German.ogg");
  EXPECT_STREQ(strFindLocalizedFile("Snd/Outro.ogg"), "Snd/Outro.ogg");
  filDeleteFile_t("Snd/Intro_English.ogg");
  EXPECT_STREQ(strFindLocalizedFile("Snd/Intro.ogg"), "Snd/Intro_eng.ogg");
  // The extension must agree.
  strSetCurrentLocale("French");
  EXPECT_STREQ(strFindLocalizedFile("Snd/Intro.ogg"), "Snd/Intro.ogg");
  EXPECT_STREQ(strFindLocalizedFile("Snd/Intro.wav"), "Snd/Intro_French.wav");
}

TEST_F(Translation, TransStringsLookUpTheirHeaders)
{
  CTransString ts("Own text");
  EXPECT_EQ(ts.ts_strHeader.Length(), 8);
  EXPECT_EQ(strFindNotFromSetS(ts.ts_strHeader, "0123456789ABCDEF"), -1);
  EXPECT_STREQ(ts, "Own text");

  WriteFile("ts.tbl", Table("1", {"0000ABCD=Translated"}));
  strLoadTranslationTable_t("ts.tbl");
  ts.SetHeader("0000ABCD");
  EXPECT_STREQ(ts, "Translated");
  EXPECT_STREQ(CString(ts), "Translated");
  ts.SetHeader("");
  EXPECT_STREQ(ts, "Own text");
  ts.Clear();
  EXPECT_STREQ(ts, "");
  EXPECT_EQ(ts.ts_strHeader.Length(), 8);
}

namespace {

struct ReaderState {
  std::atomic<bool> rs_bStop{false};
  std::atomic<long> rs_ctReads{0};
  std::atomic<long> rs_ctWrong{0};
};

void TranslateInALoop(void *pv)
{
  ReaderState &rs = *(ReaderState *)pv;
  const char *apchSeen[64] = {};
  for (long i = 0; !rs.rs_bStop && i < 50000000; i++) {
    const char *pch = strTranslate("DOZUMenu.Start=Default");
    const char *pchMiss = strTranslate("DOZUMenu.Missing=Miss");
    // Every reload publishes complete tables: the default never shows through.
    if ((strcmp(pch, "Start") != 0 && strcmp(pch, "Go") != 0) || strcmp(pchMiss, "Miss") != 0) {
      rs.rs_ctWrong++;
    }
    // Translations handed out earlier still read the same.
    const char *pchOld = apchSeen[i & 63];
    if (pchOld != nullptr && strcmp(pchOld, "Start") != 0 && strcmp(pchOld, "Go") != 0) {
      rs.rs_ctWrong++;
    }
    apchSeen[i & 63] = pch;
    rs.rs_ctReads++;
  }
}

} // namespace

TEST_F(Translation, ReadersOnOtherThreadsDuringReloads)
{
  std::string strBase = Table("3000", {"Menu.Start=Start"});
  for (int i = 0; i < 3000; i++) strBase += "Filler.Key" + std::to_string(i) + "=Value\r\n";
  WriteFile(Loc("Game.tbl"), strBase);
  WriteFile(Loc("English/Game.tbl"), Table("1", {"Menu.Start=Go"}));
  strReloadTransTables("");

  CThreadServices ts;
  ReaderState rs;
  thrCreateThread(&rs, TranslateInALoop);
  thrCreateThread(&rs, TranslateInALoop);
  ASSERT_TRUE(WaitUntil([&] { return rs.rs_ctReads > 100; }, 10000));
  for (int i = 0; i < 60; i++) strReloadTransTables(i % 2 == 0 ? "English" : "");
  long ctReadsDuring = rs.rs_ctReads;
  rs.rs_bStop = true;
  EXPECT_TRUE(WaitUntil(AllThreadsEnded, 10000));
  EXPECT_EQ(rs.rs_ctWrong, 0);
  EXPECT_GT(ctReadsDuring, 200);
  EXPECT_STREQ(strTranslate("DOZUFiller.Key2999=x"), "Value");
}

TEST(TransString, HeadersAreUniqueWithinATickAndAcrossThreads)
{
  CThreadServices ts;
  static std::string astr[2][2000];
  auto Make = [](void *pv) {
    std::string *pstr = (std::string *)pv;
    for (int i = 0; i < 2000; i++) pstr[i] = CTransString().ts_strHeader.ConstData();
  };
  thrCreateThread(astr[0], Make);
  Make(astr[1]);
  ASSERT_TRUE(WaitUntil(AllThreadsEnded, 10000));
  std::set<std::string> setAll(astr[0], astr[0] + 2000);
  setAll.insert(astr[1], astr[1] + 2000);
  EXPECT_EQ(setAll.size(), 4000u);
}

namespace {
// Keys that all have one strGetHashS: seven pairs of characters after a fixed head, each pair
// one of five whose (first * 16 + second) is the same, so that every pair leaves the hash where
// any other would.
std::string CollidingKey(long i)
{
  static const char *const astrPairs[5] = {"Aq", "Ba", "CQ", "DA", "E1"};
  std::string str = "Collide.";
  for (int iPair = 0; iPair < 7; iPair++, i /= 5) str += astrPairs[i % 5];
  return str;
}
} // namespace

TEST_F(Translation, KeysThatCollideInTheTextHash)
{
  const long ctKeys = 30000;
  std::string strBase = std::to_string(ctKeys) + "\r\n", strOver = "1\r\n";
  for (long i = 0; i < ctKeys; i++) {
    const std::string strKey = CollidingKey(i);
    ASSERT_EQ(strGetHashS(strKey.c_str()), strGetHashS(CollidingKey(0).c_str())) << strKey;
    strBase += strKey + "=Value " + std::to_string(i) + "\r\n";
    if (i % 7 == 0) strOver += strKey + "=Over " + std::to_string(i) + "\r\n";
  }
  WriteFile("collide.tbl", strBase);
  WriteFile("over.tbl", strOver);
  // The wrong answers over every key, with or without over.tbl loaded.
  auto CountWrong = [&](bool bOver) {
    long ctWrong = 0;
    for (long i = 0; i < ctKeys; i++) {
      const std::string strKey = CollidingKey(i);
      const std::string strWanted = (bOver && i % 7 == 0 ? "Over " : "Value ") + std::to_string(i);
      if (strTranslate(("DOZU" + strKey + "=x").c_str()) != strWanted) ctWrong++;
      const char *pch = strFindTranslation(strKey.c_str());
      if (pch == nullptr || pch != strWanted) ctWrong++;
    }
    // Keys that collide as well but are in no table.
    for (long i = ctKeys; i < ctKeys + 100; i++) {
      if (strcmp(strTranslate((CollidingKey(i) + "=x").c_str()), "x") != 0) ctWrong++;
    }
    return ctWrong;
  };

  const TranslationWork twBefore = strGetTranslationWork();
  strLoadTranslationTable_t("collide.tbl");
  const TranslationWork twLoaded = strGetTranslationWork();
  // Storing 60000 texts and sorting 30000 keys: a few probes per text and about log2(30000)
  // comparisons per key, where walking the colliding ones would take thousands each.
  EXPECT_LT(twLoaded.tw_ctPoolProbes - twBefore.tw_ctPoolProbes, 16 * 2 * ctKeys);
  EXPECT_LT(twLoaded.tw_ctIndexCompares - twBefore.tw_ctIndexCompares, 64 * ctKeys);
  EXPECT_LE(twLoaded.tw_ctMostLookupCompares, 16);
  EXPECT_EQ(CountWrong(false), 0);

  // Overriding, and uncovering again, inside the one crowded bucket.
  strLoadTranslationTable_t("over.tbl");
  EXPECT_LE(strGetTranslationWork().tw_ctMostLookupCompares, 16);
  EXPECT_EQ(CountWrong(true), 0);
  strUnloadTranslationTable_t("over.tbl");
  EXPECT_EQ(CountWrong(false), 0);
  const TranslationWork twAfter = strGetTranslationWork();
  EXPECT_LT(twAfter.tw_ctIndexCompares - twBefore.tw_ctIndexCompares, 3 * 64 * ctKeys);
}

TEST_F(Translation, LongLinesOfEscapedLineFeeds)
{
  // Four megabytes of backslash-n in one line: replacing them one at a time copied the whole
  // line for each, which would take many minutes.
  const size_t ctEscapes = 2000000;
  std::string strLine = "Long\\nKey=";
  strLine.reserve(strLine.size() + 2 * ctEscapes);
  for (size_t i = 0; i < ctEscapes; i++) strLine += "\\n";
  WriteFile("long.tbl", Table("2", {strLine.c_str(), "Mix.Key=a\\\\n\\nb\\"}));
  strLoadTranslationTable_t("long.tbl");
  const char *pch = strTranslate("DOZULong\nKey=x");
  EXPECT_EQ(strlen(pch), ctEscapes);
  EXPECT_EQ(strspn(pch, "\n"), ctEscapes);
  // Left to right: a backslash before a backslash-n stays.
  EXPECT_STREQ(strTranslate("Mix.Key=x"), "a\\\n\nb\\");
}
