// The text form of metadata files: the same graphs as the binary form, the line shapes and
// escapes, malformed and damaged text refused with the line, and the walk that converts files
// between the forms without making objects.
#include "MetaTestSupport.h"

#include <gtest/gtest.h>

#include <stddef.h>
#include <string.h>

#include <random>
#include <string>
#include <vector>

using namespace QuennelEngine;
using namespace QuennelEngine::Test;

enum ETxHue : long {
  TXH_RED = 1,
  TXH_BLUE = 2,
};
MD_DECLARE_ENUM(ETxHue)
MD_ENUM_BEGIN(ETxHue, 1)
MD_ENUM_VALUE(TXH_RED, "TXH_RED", "Red")
MD_ENUM_VALUE(TXH_BLUE, "TXH_BLUE", "Blue")
MD_ENUM_END()

MD_TYPEDEF(TXCOUNT, "SLONG")

namespace {

long _ctTxAlive = 0;

class CTxLeaf : public CObject {
  MD_DECLARE_CLASS(CTxLeaf)
  CTxLeaf() { _ctTxAlive++; }
  ~CTxLeaf() { _ctTxAlive--; }
  long tl_iValue = 0;
};

class CTxNode : public CSmartObject {
  MD_DECLARE_CLASS(CTxNode)
  CTxNode() { _ctTxAlive++; }
  ~CTxNode() { _ctTxAlive--; }
  Ptr<CTxNode> tn_pNext;
  long tn_iValue = 0;
};

class CTxGraph : public CObject {
  MD_DECLARE_CLASS(CTxGraph)
  CTxGraph() { _ctTxAlive++; }
  ~CTxGraph()
  {
    delete tg_pOwned;
    for (long i = 0; i < tg_dcOwned.Count(); i++) delete tg_dcOwned.Pointer(i);
    _ctTxAlive--;
  }
  CTxLeaf *tg_pOwned = nullptr;
  CTxLeaf *tg_pShared = nullptr; // one of tg_dcOwned's
  CTxGraph *tg_pSelf = nullptr;
  CDynamicContainer<CTxLeaf> tg_dcOwned;
  CStaticArray<FLOAT> tg_saFloats;
  CStaticStackArray<CString> tg_ssaTexts;
  Handle<CTxLeaf> tg_hLeaf;
  FLOAT tg_afWeights[3] = {0, 0, 0};
  ETxHue tg_eHue = TXH_RED;
  long tg_iCount = 0;
  CString tg_strTitle;
  IDENT tg_idKind = mdInvalidIdent();
  Ptr<CTxNode> tg_pRing;
  long tg_iAliased = 0; // saved under its alias
  long tg_iNotSaved = 5;
};

MD_CLASS_BEGIN(CTxLeaf, CObject, 1)
MD_MEMBER(tl_iValue, 0, "Value")
MD_CLASS_END()

MD_CLASS_BEGIN(CTxNode, CSmartObject, 1)
MD_MEMBER(tn_pNext, 0, "Next")
MD_MEMBER(tn_iValue, 0, "Value")
MD_CLASS_END()

MD_CLASS_BEGIN(CTxGraph, CObject, 1)
MD_MEMBER(tg_pOwned, SMF_OWNED, "Owned")
MD_MEMBER(tg_pShared, 0, "Shared")
MD_MEMBER(tg_pSelf, 0, "Self")
MD_MEMBER(tg_dcOwned, SMF_OWNED, "Owned leaves")
MD_MEMBER(tg_saFloats, 0, "Floats")
MD_MEMBER(tg_ssaTexts, 0, "Texts")
MD_MEMBER(tg_hLeaf, 0, "Leaf handle")
MD_MEMBER(tg_afWeights, 0, "Weights")
MD_MEMBER(tg_eHue, 0, "Hue")
MD_MEMBER_AS(tg_iCount, "TXCOUNT", 0, "Count")
MD_MEMBER(tg_strTitle, 0, "Title")
MD_MEMBER(tg_idKind, 0, "Kind")
MD_MEMBER(tg_pRing, 0, "Ring")
MD_MEMBER_EX(tg_iAliased, 0, "Aliased", "tg_iOldName", nullptr)
MD_MEMBER(tg_iNotSaved, SMF_NOSAVE, "Not saved")
MD_CLASS_END()

// The texts that must survive the escapes and the continued lines.
const char *const _astrTexts[] = {
    "line\nbreak",
    "carriage\rreturn",
    "a \"quote\"",
    "back\\slash",
    "first\n   leading spaces",
    "trailing spaces   ",
    "",
    "ends in a line feed\n",
    "\n\n",
    "\\n is not a line feed",
};
const int CT_TEXTS = sizeof(_astrTexts) / sizeof(_astrTexts[0]);

void Fill(CTxGraph &g)
{
  g.tg_pOwned = new CTxLeaf;
  g.tg_pOwned->tl_iValue = 11;
  for (int i = 0; i < 3; i++) {
    CTxLeaf *pl = new CTxLeaf;
    pl->tl_iValue = 100 + i;
    g.tg_dcOwned.Add(pl);
  }
  g.tg_pShared = g.tg_dcOwned.Pointer(1);
  g.tg_pSelf = &g;
  g.tg_saFloats.New(3);
  for (int i = 0; i < 3; i++) g.tg_saFloats[i] = 0.25f * i - 1.0f;
  for (const char *str : _astrTexts) g.tg_ssaTexts.Push() = str;
  g.tg_hLeaf = g.tg_dcOwned.Pointer(0);
  for (int i = 0; i < 3; i++) g.tg_afWeights[i] = 1.5f + i;
  g.tg_eHue = TXH_BLUE;
  g.tg_iCount = -2147483647 - 1;
  g.tg_strTitle = "A title\nover two lines";
  g.tg_idKind = strConvertStringToID("KindOfText");
  Ptr<CTxNode> pA(new CTxNode), pB(new CTxNode);
  pA->tn_iValue = 1;
  pB->tn_iValue = 2;
  pA->tn_pNext = pB;
  pB->tn_pNext = pA;
  g.tg_pRing = pA;
  g.tg_iAliased = 2147483647;
  g.tg_iNotSaved = 77;
}

void BreakRing(CTxGraph &g)
{
  std::vector<Ptr<CTxNode>> aNodes;
  for (Ptr<CTxNode> p = g.tg_pRing; p != nullptr && aNodes.size() < 16; p = p->tn_pNext) {
    aNodes.push_back(p);
  }
  for (Ptr<CTxNode> &p : aNodes) p->tn_pNext = nullptr;
  g.tg_pRing = nullptr;
}

// Deletes a loaded graph whatever shape a damaged file gave it: every distinct leaf once.
void TakeApart(CMetaPointer mp)
{
  if (mp.mp_pdtType == CTxNode::md_pdtDataType) {
    Ptr<CTxNode> p((CTxNode *)(CSmartObject *)(CObject *)mp.mp_pvObject);
    p->tn_pNext = nullptr;
    return;
  }
  if (mp.mp_pdtType != CTxGraph::md_pdtDataType) {
    mdDelete(mp);
    return;
  }
  CTxGraph *pg = (CTxGraph *)mp.mp_pvObject;
  BreakRing(*pg);
  std::vector<CTxLeaf *> apl;
  auto Keep = [&apl, pg](CTxLeaf *pl) {
    if (pl == nullptr || (void *)pl == (void *)pg) return;
    for (CTxLeaf *p : apl) {
      if (p == pl) return;
    }
    apl.push_back(pl);
  };
  Keep(pg->tg_pOwned);
  for (long i = 0; i < pg->tg_dcOwned.Count(); i++) Keep(pg->tg_dcOwned.Pointer(i));
  Keep(pg->tg_pShared);
  Keep(pg->tg_hLeaf.Get());
  pg->tg_pOwned = nullptr;
  pg->tg_dcOwned.Clear();
  mdDelete(mp);
  for (CTxLeaf *pl : apl) delete pl;
}

void ExpectSameGraph(CTxGraph &h)
{
  ASSERT_NE(h.tg_pOwned, nullptr);
  EXPECT_EQ(h.tg_pOwned->tl_iValue, 11);
  ASSERT_EQ(h.tg_dcOwned.Count(), 3);
  for (int i = 0; i < 3; i++) EXPECT_EQ(h.tg_dcOwned.Pointer(i)->tl_iValue, 100 + i);
  EXPECT_EQ(h.tg_pShared, h.tg_dcOwned.Pointer(1));
  EXPECT_EQ(h.tg_pSelf, &h);
  ASSERT_EQ(h.tg_saFloats.Count(), 3);
  for (int i = 0; i < 3; i++) EXPECT_EQ(h.tg_saFloats[i], 0.25f * i - 1.0f);
  ASSERT_EQ(h.tg_ssaTexts.Count(), CT_TEXTS);
  for (int i = 0; i < CT_TEXTS; i++) EXPECT_STREQ(h.tg_ssaTexts[i], _astrTexts[i]) << i;
  EXPECT_EQ(h.tg_hLeaf.Get(), h.tg_dcOwned.Pointer(0));
  for (int i = 0; i < 3; i++) EXPECT_EQ(h.tg_afWeights[i], 1.5f + i);
  EXPECT_EQ(h.tg_eHue, TXH_BLUE);
  EXPECT_EQ(h.tg_iCount, -2147483647 - 1);
  EXPECT_STREQ(h.tg_strTitle, "A title\nover two lines");
  EXPECT_EQ(h.tg_idKind, strConvertStringToID("KindOfText"));
  ASSERT_NE(h.tg_pRing, nullptr);
  ASSERT_NE(h.tg_pRing->tn_pNext, nullptr);
  EXPECT_EQ(h.tg_pRing->tn_pNext->tn_iValue, 2);
  EXPECT_EQ(h.tg_pRing->tn_pNext->tn_pNext, h.tg_pRing);
  EXPECT_EQ(h.tg_iAliased, 2147483647);
  EXPECT_EQ(h.tg_iNotSaved, 5);
}

std::string Bytes(CStream &strm)
{
  std::string str(strm.GetSize(), '\0');
  strm.SeekBeg_t(0);
  if (!str.empty()) strm.Read_t(&str[0], (long)str.size());
  strm.SeekBeg_t(0);
  return str;
}

std::string Write(CMetaPointer mp, bool bText)
{
  md_bSaveTextFiles = bText ? 1 : 0;
  CStream strm;
  strm.CreateMemoryStream();
  mdInternalWrite_t(strm, mp);
  md_bSaveTextFiles = 0;
  return Bytes(strm);
}

// Loads a file from its bytes: the root, or the error's text in `strError`.
CMetaPointer Load(const std::string &strFile, std::string &strError)
{
  CStream strm;
  strm.CreateMemoryStream_t(strFile.data(), (long)strFile.size());
  try {
    return mdInternalRead_t(strm);
  } catch (CException &ex) {
    strError = ex.GetDescription();
  }
  return CMetaPointer();
}

std::string Convert(const std::string &strFile, bool bText)
{
  CStream strmIn, strmOut;
  strmIn.CreateMemoryStream_t(strFile.data(), (long)strFile.size());
  strmOut.CreateMemoryStream();
  CTextMetaWriter mwText(strmOut);
  CBinaryMetaWriter mwBinary(strmOut);
  mdConvertMetaFile_t(strmIn, bText ? (CMetaWriter *)&mwText : (CMetaWriter *)&mwBinary, nullptr);
  return Bytes(strmOut);
}

std::string Replace(std::string str, const std::string &strOld, const std::string &strNew)
{
  const size_t i = str.find(strOld);
  if (i != std::string::npos) str.replace(i, strOld.size(), strNew);
  return str;
}

// The line (from 1) on which `strPart` first stands in the text.
long LineOf(const std::string &str, const std::string &strPart)
{
  const size_t i = str.find(strPart);
  if (i == std::string::npos) return -1;
  long ct = 1;
  for (size_t j = 0; j < i; j++) ct += str[j] == '\n' ? 1 : 0;
  return ct;
}

class MetaText : public ::testing::Test {
protected:
  void SetUp() override
  {
    mdUpdateTypeTables();
    _ctTxAlive = 0;
    CTxGraph *pg = new CTxGraph;
    Fill(*pg);
    mt_pg = pg;
  }
  void TearDown() override
  {
    md_bSaveTextFiles = 0;
    md_bSaveAliases = 1;
    BreakRing(*mt_pg);
    delete mt_pg;
    EXPECT_EQ(_ctTxAlive, 0);
  }
  CMetaPointer Root() { return CMetaPointer(CTxGraph::md_pdtDataType, mt_pg); }
  CTxGraph *mt_pg = nullptr;
};

} // namespace

TEST_F(MetaText, BinaryToTextToBinaryThroughLoadingIsByteIdentical)
{
  const std::string strBinary = Write(Root(), false);
  std::string strError;
  CMetaPointer mpFromBinary = Load(strBinary, strError);
  ASSERT_TRUE(mpFromBinary.IsValid()) << strError;
  const std::string strText = Write(mpFromBinary, true);
  TakeApart(mpFromBinary);

  EXPECT_EQ(strText.compare(0, 36, "QuennelEngine2 MetaData Version 8 {\r"), 0) << strText;
  EXPECT_EQ(strText.substr(strText.size() - 3), "}\r\n");
  EXPECT_NE(strText.find("\r\n  Info {\r\n    EditDataStripped: 1\r\n"), std::string::npos);
  // Never-saved members are left out; aliased ones stand under their alias.
  EXPECT_EQ(strText.find("tg_iNotSaved"), std::string::npos);
  EXPECT_NE(strText.find("tg_iOldName {"), std::string::npos);
  EXPECT_EQ(strText.find("tg_iAliased"), std::string::npos);
  EXPECT_NE(strText.find("FLOAT: 00 00 c0 3f \r\n"), std::string::npos); // 1.5f

  CMetaPointer mpFromText = Load(strText, strError);
  ASSERT_TRUE(mpFromText.IsValid()) << strError;
  ASSERT_EQ(mpFromText.mp_pdtType, CTxGraph::md_pdtDataType);
  ExpectSameGraph(*(CTxGraph *)mpFromText.mp_pvObject);
  EXPECT_EQ(Write(mpFromText, false), strBinary);
  TakeApart(mpFromText);
}

TEST_F(MetaText, TheWalkConvertsBothWaysByteForByteAndAsTheWriterWrites)
{
  const std::string strBinary = Write(Root(), false);
  const std::string strText = Write(Root(), true);
  EXPECT_EQ(Convert(strBinary, true), strText);
  EXPECT_EQ(Convert(strText, false), strBinary);
  EXPECT_EQ(Convert(strText, true), strText);

  CStream strm;
  strm.CreateMemoryStream_t(strText.data(), (long)strText.size());
  CMetaFileSummary mfs;
  mdConvertMetaFile_t(strm, nullptr, &mfs);
  EXPECT_EQ(mfs.mfs_iForm, 2);
  EXPECT_EQ(mfs.mfs_iVersion, 8);
  EXPECT_STREQ(mfs.mfs_strProgramVersion, mdGetProgramVersionText());
  EXPECT_EQ(mfs.mfs_ctIdents, 1);
  EXPECT_EQ(mfs.mfs_ctExternalObjects, 0);
  EXPECT_EQ(mfs.mfs_ctInternalObjects, mfs.mfs_ctObjects);
  bool bGraph = false;
  for (const MetaSummaryType &mst : mfs.mfs_aTypes) {
    EXPECT_TRUE(mst.mst_bKnown) << mst.mst_strName;
    if (strcmp(mst.mst_strName, "CTxGraph") == 0) {
      bGraph = true;
      EXPECT_EQ(mst.mst_iKind, DTT_STRUCT);
      EXPECT_EQ(mst.mst_iFormat, 1);
      EXPECT_EQ(mst.mst_ctObjects, 1);
    }
  }
  EXPECT_TRUE(bGraph);
}

// A type the program does not know is carried by its record: the walk converts the file all the
// same.
TEST_F(MetaText, TheWalkCarriesTypesTheProgramDoesNotKnow)
{
  std::string strBinary = Write(Root(), false);
  for (size_t i = strBinary.find("CTxLeaf"); i != std::string::npos; i = strBinary.find("CTxLeaf"))
    strBinary[i + 6] = 'X';
  const std::string strText = Convert(strBinary, true);
  EXPECT_NE(strText.find("Name: \"CTxLeaX\""), std::string::npos);
  EXPECT_EQ(strText.find("CTxLeaf"), std::string::npos);
  EXPECT_EQ(Convert(strText, false), strBinary);
  CStream strm;
  strm.CreateMemoryStream_t(strBinary.data(), (long)strBinary.size());
  CMetaFileSummary mfs;
  mdConvertMetaFile_t(strm, nullptr, &mfs);
  long ctUnknown = 0;
  for (const MetaSummaryType &mst : mfs.mfs_aTypes) {
    ctUnknown += mst.mst_bKnown ? 0 : 1;
    if (strcmp(mst.mst_strName, "CTxLeaX") == 0) {
      EXPECT_EQ(mst.mst_ctObjects, 4);
    }
  }
  EXPECT_GE(ctUnknown, 2); // the leaf and what is made of it
}

TEST_F(MetaText, PrimitivesWriteTheirLinesAndReadThemBack)
{
  CStream strm;
  strm.CreateMemoryStream();
  {
    CTextMetaWriter mw(strm);
    mw.Open_t();
    mw.WriteString_t("S", "a\nb");
    const unsigned char aub[4] = {0x00, 0x00, 0x80, 0x3F};
    mw.WriteRaw_t("FLOAT", aub, 4);
    mw.WriteListStart_t("Empty", "LIST", 0);
    mw.WriteListEnd_t();
    for (long iKind : {0L, 13L, 15L, 16L, 17L, 14L}) mw.WriteKind_t("Type", (DataTypeType)iKind);
    mw.WriteBlockStart_t("", nullptr);
    for (int i = 0; i < 30; i++) mw.WriteBlockStart_t("Deep", nullptr);
    mw.WriteInt_t("Min", -2147483647 - 1);
    for (int i = 0; i < 31; i++) mw.WriteBlockEnd_t();
    mw.Close_t();
  }
  const std::string str = Bytes(strm);
  EXPECT_EQ(str.compare(0, 3, "Que"), 0); // no byte-order mark
  EXPECT_NE(str.find("\r\n  S: \"a\\n\r\n    \"b\"\r\n"), std::string::npos) << str;
  EXPECT_NE(str.find("\r\n  FLOAT: 00 00 80 3f \r\n"), std::string::npos);
  EXPECT_NE(str.find("\r\n  Empty 0 {\r\n  }\r\n"), std::string::npos);
  EXPECT_NE(str.find("Type: Simple\r\n  Type: Typedef\r\n  Type: ScriptState\r\n  Type: "
                     "ScriptLatent\r\n  Type: Unknown\r\n  Type: Invalid\r\n  {\r\n"),
            std::string::npos);
  // Indentation stops growing at 40 spaces.
  EXPECT_NE(str.find("\r\n" + std::string(40, ' ') + "Min: -2147483648\r\n"), std::string::npos);
  EXPECT_EQ(str.find(std::string(42, ' ')), std::string::npos);

  strm.SeekBeg_t(0);
  CTextMetaReader mr(strm);
  EXPECT_TRUE(mr.IsMetaFile());
  EXPECT_EQ(mr.Open_t(), 8);
  CString strVersion, strS;
  mr.ReadString_t("ProgramVersion", strVersion);
  mr.ReadString_t("S", strS);
  EXPECT_STREQ(strS, "a\nb");
  unsigned char aub[4];
  mr.ReadRaw_t("FLOAT", aub, 4);
  EXPECT_EQ(aub[2], 0x80);
  EXPECT_EQ(aub[3], 0x3F);
  long ct = -5;
  mr.ReadListStart_t("Empty", nullptr, ct);
  EXPECT_EQ(ct, 0);
  mr.ReadListEnd_t();
  for (long iKind : {0L, 13L, 15L, 16L, 17L}) {
    DataTypeType dtt;
    mr.ReadKind_t("Type", dtt);
    EXPECT_EQ(dtt, iKind);
  }
  DataTypeType dtt;
  try {
    mr.ReadKind_t("Type", dtt);
    ADD_FAILURE();
  } catch (CException &ex) {
    EXPECT_NE(strstr(ex.GetDescription(), "(13): Unknown type 'Invalid'."), nullptr)
        << ex.GetDescription();
  }
  mr.ReadBlockStart_t("", nullptr);
  for (int i = 0; i < 30; i++) mr.ReadBlockStart_t("Deep", nullptr);
  long sl = 0;
  mr.ReadInt_t("Min", sl);
  EXPECT_EQ(sl, -2147483647 - 1);
  for (int i = 0; i < 31; i++) mr.ReadBlockEnd_t();
  mr.Close_t();
  try {
    mr.ReadBlockEnd_t();
    ADD_FAILURE() << "read past the end";
  } catch (CException &ex) {
    EXPECT_NE(strstr(ex.GetDescription(), "Unexpected end of file."), nullptr);
  }
}

// Malformed lines give their texts with the number of the line at fault.
TEST_F(MetaText, MalformedTextIsRefusedWithTheLine)
{
  const std::string strText = Write(Root(), true);
  struct Case {
    const char *strOld, *strNew, *strMessage;
  };
  const Case acases[] = {
      {"Type: 1\r\n", "Type: 12x\r\n", "Invalid integer ': 12x'"},
      {"Objects: ", "Objects: 1 2", "Invalid integer"},
      {"FLOAT: 00 00 c0 3f", "FLOAT: 00 00 c0 3g", "Invalid hex digit 'g'"},
      {"FLOAT: 00 00 c0 3f", "FLOAT: 00 00  c0 3f", "Invalid data for simple type"},
      {"FLOAT: 00 00 c0 3f", "FLOAT: 00 00 c0", "Invalid data for simple type"},
      {"FLOAT: 00 00 c0 3f", "FLOAT: 00 00 c0 3f 00", "Invalid data for simple type"},
      {"FLOAT: 00 00 c0 3f", "FLOA 00 00 c0 3f", "Expected data for simple type"},
      {"String: \"A title", "String: A title", "Quote (\") expected"},
      {"Info {", "Info", "Expected start of block 'Info'"},
      {"Type: Struct", "Type: Structure", "Unknown type 'Structure'."},
      {"Version 8 {", "Version 9 {", "Unsupported metadata format version 9"},
      {"Version 8 {", "Version x {", "Bad metadata format version"},
      {"Version 8 {", "Version -1 {", "Bad metadata format version"},
      {"QuennelEngine2 MetaData", "QuennelEngineX MetaData", "Bad metadata header"},
      {"ResourceFiles: 0", "ResourceFile: 0", "Expected keyword 'ResourceFiles'"},
  };
  for (const Case &c : acases) {
    const std::string strBad = Replace(strText, c.strOld, c.strNew);
    ASSERT_NE(strBad, strText) << c.strOld;
    std::string strError;
    CMetaPointer mp = Load(strBad, strError);
    EXPECT_FALSE(mp.IsValid()) << c.strNew;
    if (mp.IsValid()) TakeApart(mp);
    EXPECT_NE(strError.find(c.strMessage), std::string::npos) << c.strNew << ": " << strError;
    const std::string strLine = "(" + std::to_string(LineOf(strBad, c.strNew)) + "): ";
    EXPECT_EQ(strError.find("<memory stream>" + strLine), 0u) << c.strNew << ": " << strError;
  }
  // A header line that is not ours.
  std::string strError;
  Load("QuennelEngineering notes\r\n", strError);
  EXPECT_NE(strError.find("(1): Bad metadata header"), std::string::npos) << strError;
}

// A byte-order mark added by a tool, LF or CR line ends and blank lines change nothing.
TEST_F(MetaText, AByteOrderMarkAndOtherLineEndsAreAccepted)
{
  const std::string strText = Write(Root(), true);
  std::string strLF, strCR;
  for (char ch : strText) {
    if (ch != '\r') strLF += ch;
    if (ch != '\n') strCR += ch;
  }
  std::string strBlankLines;
  for (char ch : strText)
    strBlankLines += ch == '\n' ? std::string("\n\r\n  \t \r\n") : std::string(1, ch);
  for (const std::string &str :
       {"\xEF\xBB\xBF" + strText, strLF, strCR, "\xEF\xBB\xBF" + strLF, strBlankLines}) {
    CStream strm;
    strm.CreateMemoryStream_t(str.data(), (long)str.size());
    EXPECT_EQ(mdPeekMetaFileForm(strm), 2);
    std::string strError;
    CMetaPointer mp = Load(str, strError);
    ASSERT_TRUE(mp.IsValid()) << strError;
    ExpectSameGraph(*(CTxGraph *)mp.mp_pvObject);
    TakeApart(mp);
  }
  // Line numbers count every line, the blank ones too.
  std::string strError;
  Load(Replace(strLF, "Objects: ", "\n\nObjects: x"), strError);
  EXPECT_NE(strError.find("(" + std::to_string(LineOf(strLF, "Objects: ") + 2) + "): "),
            std::string::npos)
      << strError;
}

TEST_F(MetaText, SavingUnderTheSwitchWritesTextAndMembersLoadByNameOrAlias)
{
  CTxLeaf leaf;
  leaf.tl_iValue = 9;
  const std::string strLeaf = Write(CMetaPointer(CTxLeaf::md_pdtDataType, &leaf), true);
  EXPECT_EQ(strLeaf.find("QuennelEngine2 MetaData Version 8 {\r\n"), 0u);
  // The member is found under its code name and under its alias.
  for (int bAliases = 0; bAliases < 2; bAliases++) {
    md_bSaveAliases = bAliases;
    const std::string strText = Write(Root(), true);
    md_bSaveAliases = 1;
    EXPECT_NE(strText.find(bAliases ? "tg_iOldName {" : "tg_iAliased {"), std::string::npos);
    std::string strError;
    CMetaPointer mp = Load(strText, strError);
    ASSERT_TRUE(mp.IsValid()) << strError;
    EXPECT_EQ(((CTxGraph *)mp.mp_pvObject)->tg_iAliased, 2147483647);
    EXPECT_EQ(((CTxGraph *)mp.mp_pvObject)->tg_iNotSaved, 5);
    TakeApart(mp);
  }
}

// Every cut at a line end and thousands of changed bytes give a clean exception or a graph,
// never a crash or a hang, in loading and in the walk.
TEST_F(MetaText, DamagedTextIsRefusedCleanly)
{
  const std::string strText = Write(Root(), true);
  const long ctOriginal = _ctTxAlive;
  auto TryBoth = [](const std::string &str) -> bool {
    std::string strError;
    CMetaPointer mp = Load(str, strError);
    if (mp.IsValid()) TakeApart(mp);
    CStream strm;
    strm.CreateMemoryStream_t(str.data(), (long)str.size());
    try {
      mdConvertMetaFile_t(strm, nullptr, nullptr);
    } catch (CException &) {
      return false;
    }
    return true;
  };
  // The walk reads to the last line: every cut before it fails.
  for (size_t i = 0; i + 3 < strText.size(); i++) {
    if (strText[i] != '\n') continue;
    EXPECT_FALSE(TryBoth(strText.substr(0, i + 1))) << i;
  }
  EXPECT_EQ(_ctTxAlive, ctOriginal);
  std::mt19937 rng(20260117);
  const char achNoise[] = "0123456789abcdefxyz-:{}\" \\\r\n";
  long ctFailed = 0;
  for (int i = 0; i < 3000; i++) {
    std::string str = strText;
    str[rng() % str.size()] = achNoise[rng() % (sizeof(achNoise) - 1)];
    if (!TryBoth(str)) ctFailed++;
  }
  EXPECT_GT(ctFailed, 1000);
  EXPECT_EQ(_ctTxAlive, ctOriginal);
}
