// The stock's text and CSV dumps, read back from their files, and stock states with their diff.
#include "MetaTestSupport.h"
#include "ResourceTestSupport.h"

using namespace QuennelEngine;
using namespace QuennelEngine::Test;

namespace {

class StockDump : public StockTest {
protected:
  // A dump file as text, without the byte order mark and carriage returns.
  std::string ReadText(const char *strName)
  {
    std::string str = ReadFile(strName);
    if (str.compare(0, 3, "\xEF\xBB\xBF") == 0) str.erase(0, 3);
    std::string strOut;
    for (char ch : str) {
      if (ch != '\r') strOut += ch;
    }
    return strOut;
  }
};

// A resource whose CSV row is chosen by the test: its first value and its CSV file.
class CTsDumpResource : public CResource {
  MD_DECLARE_CLASS(CTsDumpResource)
  long tdr_iSize = 0;
  CString tdr_strFile;
  CStockDumpInfo GetSimpleInfoCSV(void) override
  {
    CStockDumpInfo sdi;
    sdi.sdi_strValues = strFormat("%1, extra", tdr_iSize);
    sdi.sdi_strHeader = "Size, Extra";
    sdi.sdi_strFile = tdr_strFile;
    return sdi;
  }
};

MD_CLASS_BEGIN(CTsDumpResource, CResource, 1)
MD_CLASS_END()

CTsDumpResource *AddDumped(CResourceFile *prf, const char *strName, long iSize, const char *strFile)
{
  CTsDumpResource *prs = new CTsDumpResource;
  prs->tdr_iSize = iSize;
  prs->tdr_strFile = strFile;
  prf->RegisterResource(prs);
  prs->SetName(strName);
  return prs;
}

std::string Padded(const std::string &str, size_t ctWidth)
{
  return str.size() >= ctWidth ? str : std::string(ctWidth - str.size(), ' ') + str;
}

// A CSV row as the dump writes it.
std::string Row(const char *strType, const char *strFile, const char *strValues, long ctRefs,
                const char *strName)
{
  std::string strRefs = Padded(std::to_string(ctRefs), 6);
  std::string strShort = strFile;
  strShort = strShort.substr(strShort.rfind('/') + 1);
  return Padded(strType, 25) + ", " + Padded(strShort, 25) + ", " + strValues + ", " + strRefs +
         ", " + strFile + "," + strName + "\n";
}

// The console lines, without the empty ones.
std::string Printed(const CConsoleLines &cl)
{
  std::string strOut;
  const std::string str = cl.Text();
  for (size_t i = 0; i < str.size(); i++) {
    if (str[i] == '\n' && (strOut.empty() || strOut.back() == '\n')) continue;
    strOut += str[i];
  }
  return strOut;
}

const std::string strDumpHeader = Padded("TypeName", 25) + ", " + Padded("FileName", 25) + ", ";

} // namespace

TEST_F(StockDump, TheTextDumpListsFilesAndTheirSharedResources)
{
  CResourceFile *prfA = MakeStockFile("Dump/A.rsc", 2);
  ResourceOf(prfA, 1)->MarkChanged(1);
  Ptr<CResource> prsHeld = ResourceOf(prfA, 1);
  CResourceFile *prfB = MakeStockFile("Dump/B.rsc", 0);
  CResource *prsDummy = new CDummyResource;
  prfB->RegisterResource(prsDummy, 12);

  resDumpStock();
  EXPECT_EQ(ReadText("Temp/StockDump.txt"), "Stock dump:\n"
                                            "Dump/A.rsc [modified]: (2 shared)\n"
                                            "  1(  0 references): CTsResource R1 \n"
                                            "  2(  1 references): CTsResource R2 *\n"
                                            "Dump/B.rsc: (1 shared)\n"
                                            " 12(  0 references): CDummyResource  \n");
  EXPECT_FALSE(conIsLogOpen(COT_LOG5));
  EXPECT_TRUE(conIsTagsEnabled(COT_LOG5));
  // The dump begins anew each time.
  prsHeld = nullptr;
  delete prfB;
  resDumpStock();
  EXPECT_EQ(ReadText("Temp/StockDump.txt"), "Stock dump:\n"
                                            "Dump/A.rsc [modified]: (2 shared)\n"
                                            "  1(  0 references): CTsResource R1 \n"
                                            "  2(  0 references): CTsResource R2 *\n");
}

TEST_F(StockDump, TheCSVDumpSortsRowsIntoTheirFiles)
{
  CResourceFile *prfWorld = new CResourceFile;
  prfWorld->SetFileName("Levels/Forest.wld");
  AddDumped(prfWorld, "Small", 5, "A.csv");
  Ptr<CResource> prsHeld = AddDumped(prfWorld, "Big", 50, "A.csv");
  CResourceFile *prfOther = new CResourceFile;
  prfOther->SetFileName("Data/Other.rsc");
  AddDumped(prfOther, "Middle", 7, "B.csv");
  CResource *prsDummy = new CDummyResource;
  prfOther->RegisterResource(prsDummy);
  prsDummy->SetName("Dummy");
  const std::string strDummyValues = (const char *)prsDummy->GetSimpleInfoCSV().sdi_strValues;
  // Whatever was in the folder goes.
  WriteFile("Temp/StockDumps/Forest/Stale.csv", "old");

  {
    CConsoleLines cl;
    resDumpStockCSV();
    EXPECT_TRUE(cl.Has("Dumping stock to: ")) << cl.Text();
    EXPECT_TRUE(cl.Has((const char *)filSoftToHardPath("Temp/StockDumps/Forest/")));
  }
  EXPECT_FALSE(filExistsOnDisk("Temp/StockDumps/Forest/Stale.csv"));
  // By type, then by the first value, largest first; A.csv is opened again for its last row.
  EXPECT_EQ(ReadText("Temp/StockDumps/Forest/A.csv"),
            strDumpHeader + "Size, Extra,   Refs, Complete file path\n" +
                Row("CTsDumpResource", "Levels/Forest.wld", "50, extra", 1, "Big") +
                Row("CTsDumpResource", "Levels/Forest.wld", "5, extra", 0, "Small"));
  EXPECT_EQ(ReadText("Temp/StockDumps/Forest/B.csv"),
            strDumpHeader + "Size, Extra,   Refs, Complete file path\n" +
                Row("CTsDumpResource", "Data/Other.rsc", "7, extra", 0, "Middle"));
  EXPECT_EQ(ReadText("Temp/StockDumps/Forest/Unsorted.csv"),
            strDumpHeader + "Size [KB],   Refs, Complete file path\n" +
                Row("CDummyResource", "Data/Other.rsc", strDummyValues.c_str(), 0, "Dummy"));

  // Two worlds, or none: the common folder; in the editor the files say so.
  CResourceFile *prfSecond = new CResourceFile;
  prfSecond->SetFileName("Levels/Desert.wld");
  const int bWasInEditor = md_bInEditor;
  md_bInEditor = 1;
  resDumpStockCSV();
  md_bInEditor = bWasInEditor;
  EXPECT_EQ(ReadText("Temp/StockDumps/Common/B.csv"),
            "WARNING! Dumped from editor!\n" + strDumpHeader +
                "Size, Extra,   Refs, Complete file path\n" +
                Row("CTsDumpResource", "Data/Other.rsc", "7, extra", 0, "Middle"));
}

TEST_F(StockDump, StatesRecordNamesAndTheDiffShowsNewFiles)
{
  {
    CConsoleLines cl;
    resDisplayStockDiff();
    EXPECT_TRUE(cl.Has("Nothing to compare stock state with. Use resStoreStockState() to record "
                       "stock state."));
  }
  MakeStockFile("State/b.rsc");
  MakeStockFile("State/A.rsc");
  {
    CConsoleLines cl;
    resStoreStockState();
    EXPECT_TRUE(cl.Has("Stock state recorded. Stock diff can be later examined with "
                       "resDisplayStockDiff() call."));
  }
  {
    CConsoleLines cl;
    resDisplayStockDiff();
    EXPECT_EQ(Printed(cl), "No diff in stock.\n");
  }

  CResourceFile *prfNew = MakeStockFile("State/New.rsc", 1);
  CResource *prsDummy = new CDummyResource;
  prfNew->RegisterResource(prsDummy, 4);
  Ptr<CResource> prsHeld = ResourceOf(prfNew);
  {
    CConsoleLines cl;
    resDisplayStockDiff();
    EXPECT_EQ(Printed(cl), "State/New.rsc.\n"
                           "  Type = 'CTsResource', RefCount = '1', Name = 'R1', ID = '1'\n"
                           "  Type = 'CDummyResource', RefCount = '0', Name = '', ID = '4'\n");
  }

  // A record is sorted without regard to case; filtering drops the names it has.
  CStockState *pss = resRecordStockState();
  const long iFirst = pss->FindFile("State/A.rsc");
  ASSERT_GE(iFirst, 0);
  EXPECT_EQ(pss->FindFile("State/b.rsc"), iFirst + 1);
  EXPECT_EQ(pss->FindFile("State/New.rsc"), iFirst + 2);
  EXPECT_EQ(pss->FindFile("State/None.rsc"), -1);
  CDynamicContainer<CResourceFile> dcFiles = resListResourceFiles();
  resSortStockFiles(dcFiles);
  EXPECT_EQ(dcFiles.Count(), pss->ss_astrFiles.Count());
  for (long i = 0; i < dcFiles.Count(); i++) {
    EXPECT_STREQ(dcFiles.Pointer(i)->GetFileName(), pss->ss_astrFiles[i]);
  }
  pss->ss_astrFiles.Delete(iFirst + 2);
  resFilterStockFiles(dcFiles, pss);
  ASSERT_EQ(dcFiles.Count(), 1);
  EXPECT_EQ(dcFiles.Pointer(0), prfNew);
  delete pss;

  {
    CConsoleLines cl;
    resDumpRefHolderStack();
    EXPECT_EQ(Printed(cl), "Reference count tracker isn't enabled.\n");
  }
}
