// The text form of metadata files: the same graphs as the binary form, the line shapes and
// escapes, malformed and damaged text refused with the line, and the walk that converts files
// between the forms without making objects.
#include "MetaTestGraph.h"

#include <gtest/gtest.h>

#include <stddef.h>
#include <stdio.h>
#include <string.h>

#include <limits>
#include <random>
#include <string>
#include <vector>

using namespace QuennelEngine;
using namespace QuennelEngine::Test;

namespace {

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

// The value of the layout's example: a structure with one number.
struct STxValue {
  MD_DECLARE_STRUCT(STxValue)
  float fValue = 0.0f;
};

MD_CLASS_BEGIN(STxValue, void, 1)
MD_MEMBER(fValue, 0, "Value")
MD_CLASS_END()

// A file of one STxValue holding 1 as the writer writes it; `bEarlier`: in the earlier layout,
// with the program version, the earlier list names and the entries wrapped in blocks.
std::string ValueFile(bool bEarlier)
{
  auto Entry = [bEarlier](const char *strWrapper, const std::string &strLines) {
    if (!bEarlier) return strLines;
    std::string strIndented;
    for (size_t i = 0; i < strLines.size();) {
      const size_t iEnd = strLines.find('\n', i) + 1;
      strIndented += "  " + strLines.substr(i, iEnd - i);
      i = iEnd;
    }
    return std::string("    ") + strWrapper + " {\r\n" + strIndented + "    }\r\n";
  };
  std::string str = "QuennelEngine2 MetaData Version 8 {\r\n";
  if (bEarlier) str += "  ProgramVersion: \"another program\"\r\n";
  str +=
      "  Info {\r\n    EditDataStripped: 1\r\n    ResourceFiles: 0\r\n    Idents: 0\r\n"
      "    Types: 2\r\n    Objects: 1\r\n  }\r\n"
      "  ResourceFiles 0 {\r\n  }\r\n  Idents 0 {\r\n  }\r\n  ExternalTypes 0 {\r\n  }\r\n"
      "  InternalTypes 2 {\r\n    DataType {\r\n      DataType: 0\r\n      Name: \"STxValue\"\r\n"
      "      Format: 1\r\n      Type: Struct\r\n      Base: -1\r\n      Members 1 {\r\n"
      "        Member {\r\n          Name: \"fValue\"\r\n          Type: 1\r\n        }\r\n"
      "      }\r\n    }\r\n    DataType {\r\n      DataType: 1\r\n      Name: \"FLOAT\"\r\n"
      "      Format: 1\r\n      Type: Simple\r\n      Bytes: 4\r\n      LBE: 4\r\n    }\r\n  }\r\n"
      "  ExternalObjects 0 {\r\n  }\r\n";
  str += bEarlier ? "  ObjectTypes 1 {\r\n" : "  InternalObjectTypes 1 {\r\n";
  str += Entry("ObjectType", "    Object: 0\r\n    Type: 0\r\n") +
         "  }\r\n  EditObjectTypes 0 {\r\n  }\r\n";
  const std::string strData =
      "      Struct {\r\n        fValue {\r\n          FLOAT: 00 00 80 3f \r\n"
      "        }\r\n      }\r\n";
  if (bEarlier) {
    str += "  Objects 1 {\r\n    Object {\r\n      Object: 0\r\n      Type: 0\r\n" + strData +
           "    }\r\n";
  } else {
    str += "  InternalObjects 1 {\r\n    Object: 0\r\n    Type: 0\r\n    {\r\n" + strData +
           "    }\r\n";
  }
  str += "  }\r\n  EditObjects 0 {\r\n  }\r\n}\r\n";
  return str;
}

class MetaText : public ::testing::Test {
protected:
  void SetUp() override
  {
    mdUpdateTypeTables();
    _ctFlAlive = 0;
    CFlGraph *pg = new CFlGraph;
    Fill(*pg);
    mt_pg = pg;
  }
  void TearDown() override
  {
    md_bSaveTextFiles = 0;
    md_bSaveAliases = 1;
    BreakRing(*mt_pg);
    delete mt_pg;
    EXPECT_EQ(_ctFlAlive, 0);
  }
  CMetaPointer Root() { return CMetaPointer(CFlGraph::md_pdtDataType, mt_pg); }
  CFlGraph *mt_pg = nullptr;
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
  EXPECT_EQ(strText.find("fg_iNotSaved"), std::string::npos);
  EXPECT_NE(strText.find("fg_iOldName {"), std::string::npos);
  EXPECT_EQ(strText.find("fg_iAliased"), std::string::npos);
  EXPECT_NE(strText.find("FLOAT: 00 00 c0 3f \r\n"), std::string::npos); // 1.5f

  CMetaPointer mpFromText = Load(strText, strError);
  ASSERT_TRUE(mpFromText.IsValid()) << strError;
  ASSERT_EQ(mpFromText.mp_pdtType, CFlGraph::md_pdtDataType);
  ExpectSameGraph(*(CFlGraph *)mpFromText.mp_pvObject);
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
  EXPECT_STREQ(mfs.mfs_strProgramVersion, ""); // (the text form does not record it)
  EXPECT_EQ(mfs.mfs_ctIdents, 1);
  EXPECT_EQ(mfs.mfs_ctExternalObjects, 0);
  EXPECT_EQ(mfs.mfs_ctInternalObjects, mfs.mfs_ctObjects);
  bool bGraph = false;
  for (const MetaSummaryType &mst : mfs.mfs_aTypes) {
    EXPECT_TRUE(mst.mst_bKnown) << mst.mst_strName;
    if (strcmp(mst.mst_strName, "CFlGraph") == 0) {
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
  for (size_t i = strBinary.find("CFlLeaf"); i != std::string::npos; i = strBinary.find("CFlLeaf"))
    strBinary[i + 6] = 'X';
  const std::string strText = Convert(strBinary, true);
  EXPECT_NE(strText.find("Name: \"CFlLeaX\""), std::string::npos);
  EXPECT_EQ(strText.find("CFlLeaf"), std::string::npos);
  EXPECT_EQ(Convert(strText, false), strBinary);
  CStream strm;
  strm.CreateMemoryStream_t(strBinary.data(), (long)strBinary.size());
  CMetaFileSummary mfs;
  mdConvertMetaFile_t(strm, nullptr, &mfs);
  long ctUnknown = 0;
  for (const MetaSummaryType &mst : mfs.mfs_aTypes) {
    ctUnknown += mst.mst_bKnown ? 0 : 1;
    if (strcmp(mst.mst_strName, "CFlLeaX") == 0) {
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
  CString strS;
  EXPECT_FALSE(mr.IsNextItem_t("ProgramVersion"));
  EXPECT_TRUE(mr.IsNextItem_t("S"));
  EXPECT_FALSE(mr.IsNextBlock_t("S"));
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
    EXPECT_NE(strstr(ex.GetDescription(), "(12): Unknown type 'Invalid'."), nullptr)
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

// Numbers and raw runs are made and taken without the general formatter: every magnitude, sign
// and edge value must come out as printf writes it and read back exactly, also a raw run of
// floats that are no ordinary numbers.
TEST_F(MetaText, NumbersAndHexRunsLookAsPrintfWritesThemAndReadBackExactly)
{
  std::vector<long> aslValues = {0, 1, -1, 2147483647, -2147483647 - 1, (long)0xFFFFFFFFUL};
  for (long slPower = 1; slPower <= 1000000000L; slPower *= 10) {
    for (long sl : {slPower - 1, slPower, slPower + 1}) {
      aslValues.push_back(sl);
      aslValues.push_back(-sl);
    }
  }
  std::mt19937 rng(20261209);
  for (int i = 0; i < 200; i++) aslValues.push_back((long)rng());
  const float afOdd[] = {std::numeric_limits<float>::denorm_min(),
                         -0.0f,
                         std::numeric_limits<float>::infinity(),
                         -std::numeric_limits<float>::infinity(),
                         std::numeric_limits<float>::quiet_NaN(),
                         1e-40f,
                         3.4028235e38f};
  std::vector<std::vector<unsigned char>> aaubRuns;
  for (long ct : {1L, 2L, 3L, 5L, 7L, 255L, 256L, 1001L}) {
    std::vector<unsigned char> aub((size_t)ct);
    for (long i = 0; i < ct; i++) aub[(size_t)i] = (unsigned char)(i * 37 + ct);
    aaubRuns.push_back(aub);
  }
  aaubRuns.emplace_back((const unsigned char *)afOdd, (const unsigned char *)afOdd + sizeof(afOdd));

  CStream strm;
  strm.CreateMemoryStream();
  {
    CTextMetaWriter mw(strm);
    mw.Open_t();
    for (long sl : aslValues) mw.WriteInt_t("N", sl);
    for (long sl : aslValues) {
      mw.WriteListStart_t("L", nullptr, sl);
      mw.WriteListEnd_t();
    }
    for (const std::vector<unsigned char> &aub : aaubRuns)
      mw.WriteRaw_t("R", aub.data(), (long)aub.size());
    mw.WriteRaw_t("Empty", nullptr, 0);
    mw.Close_t();
  }
  std::string strExpected = "QuennelEngine2 MetaData Version 8 {\r\n";
  char ach[32];
  for (long sl : aslValues) {
    snprintf(ach, sizeof(ach), "  N: %ld\r\n", sl);
    strExpected += ach;
  }
  for (long sl : aslValues) {
    snprintf(ach, sizeof(ach), "  L %ld {\r\n  }\r\n", sl);
    strExpected += ach;
  }
  for (const std::vector<unsigned char> &aub : aaubRuns) {
    strExpected += "  R: ";
    for (unsigned char ub : aub) {
      snprintf(ach, sizeof(ach), "%02x ", ub);
      strExpected += ach;
    }
    strExpected += "\r\n";
  }
  strExpected += "  Empty: \r\n}\r\n";
  ASSERT_EQ(Bytes(strm), strExpected);

  CTextMetaReader mr(strm);
  EXPECT_EQ(mr.Open_t(), 8);
  for (long sl : aslValues) {
    long slRead = 12345;
    mr.ReadInt_t("N", slRead);
    EXPECT_EQ(slRead, sl);
  }
  for (long sl : aslValues) {
    if (sl < 0) {
      // A negative count is refused as it always was.
      long ct;
      EXPECT_THROW(mr.ReadListStart_t("L", nullptr, ct), CException);
      mr.ReadListEnd_t();
      continue;
    }
    long ct = -5;
    mr.ReadListStart_t("L", nullptr, ct);
    EXPECT_EQ(ct, sl);
    mr.ReadListEnd_t();
  }
  for (size_t i = 0; i < aaubRuns.size(); i++) {
    const std::vector<unsigned char> &aub = aaubRuns[i];
    if (i == 1) {
      mr.SkipRaw_t("R", (long)aub.size());
      continue;
    }
    std::vector<unsigned char> aubRead(aub.size(), 0xCD);
    mr.ReadRaw_t("R", aubRead.data(), (long)aubRead.size());
    EXPECT_EQ(aubRead, aub) << aub.size();
  }
  mr.ReadRaw_t("Empty", nullptr, 0);
  mr.Close_t();
}

// A member's block and item written in one piece are the very lines the three calls write, at
// every depth (indentation stops growing at 40) and for an unnamed member too.
TEST_F(MetaText, MembersInOnePieceAreTheLinesOfTheirThreeCalls)
{
  const unsigned char aub[9] = {0x00, 0x01, 0x7f, 0x80, 0xff, 0x10, 0x3f, 0xc0, 0x0a};
  auto WriteAll = [&aub](bool bOnePiece) {
    CStream strm;
    strm.CreateMemoryStream();
    CTextMetaWriter mw(strm);
    mw.Open_t();
    for (int iLevel = 0; iLevel < 24; iLevel++) {
      for (const char *strMember : {"mn_iValue", "", "m"}) {
        for (long slSize : {0L, 1L, 4L, 9L}) {
          if (bOnePiece) {
            mw.WriteRawMember_t(strMember, "SLONG", aub, slSize);
          } else {
            mw.CMetaWriter::WriteRawMember_t(strMember, "SLONG", aub, slSize);
          }
        }
        for (long sl : {0L, -1L, 7L, 2147483647L, -2147483647L - 1}) {
          if (bOnePiece) {
            mw.WriteIntMember_t(strMember, "Ptr", sl);
          } else {
            mw.CMetaWriter::WriteIntMember_t(strMember, "Ptr", sl);
          }
        }
      }
      mw.WriteBlockStart_t("Deeper", nullptr);
    }
    for (int iLevel = 0; iLevel < 24; iLevel++) mw.WriteBlockEnd_t();
    mw.Close_t();
    return Bytes(strm);
  };
  const std::string strOnePiece = WriteAll(true);
  EXPECT_NE(strOnePiece.find("\r\n  mn_iValue {\r\n    SLONG: 00 01 7f 80 \r\n  }\r\n"),
            std::string::npos);
  EXPECT_NE(strOnePiece.find("\r\n  {\r\n    Ptr: -2147483648\r\n  }\r\n"), std::string::npos);
  EXPECT_EQ(strOnePiece, WriteAll(false));
}

// Hex runs that are not as the writer writes them: upper-case digits are taken, everything else
// is refused with the message of the first fault, and the bytes before it are stored.
TEST_F(MetaText, HexRunsOtherThanTheWritersAreReadDigitByDigit)
{
  struct Case {
    const char *strLine, *strMessage; // a null message: read as 01 ab 3f 80
    long ctStored;                    // the bytes stored before the fault
  };
  const Case acases[] = {
      {"R: 01 AB 3F 80", nullptr, 4},
      {"R:01 aB 3f 80", nullptr, 4},
      {"R: 01 ab 3g 80", "Invalid hex digit 'g'", 2},
      {"R: 01 ab x3 80", "Invalid hex digit 'x'", 2},
      {"R: 01 ab 3f 8", "Invalid data for simple type", 3},
      {"R: 01 ab 3f80 ", "Invalid data for simple type", 3},
      {"R: 01 ab 3f 80 00", "Invalid data for simple type", 4},
      {"R: 01 ab  3f 80", "Invalid data for simple type", 2},
      {"R: 01 ab\t3f 80", "Invalid data for simple type", 2},
      {"R: 01 ab 3f 8-", "Invalid hex digit '-'", 3},
      {"R 01 ab 3f 80", "Expected data for simple type", 0},
  };
  const unsigned char aubRight[4] = {0x01, 0xAB, 0x3F, 0x80};
  for (const Case &c : acases) {
    const std::string strFile =
        std::string("QuennelEngine2 MetaData Version 8 {\r\n\r\n  ") + c.strLine + "\r\n}\r\n";
    CStream strm;
    strm.CreateMemoryStream_t(strFile.data(), (long)strFile.size());
    CTextMetaReader mr(strm);
    mr.Open_t();
    unsigned char aub[4] = {0, 0, 0, 0};
    try {
      mr.ReadRaw_t("R", aub, 4);
      EXPECT_EQ(c.strMessage, nullptr) << c.strLine;
    } catch (CException &ex) {
      ASSERT_NE(c.strMessage, nullptr) << c.strLine << ": " << ex.GetDescription();
      EXPECT_EQ(std::string(ex.GetDescription()),
                std::string("<memory stream>(3): ") + c.strMessage)
          << c.strLine;
    }
    for (long i = 0; i < 4; i++)
      EXPECT_EQ(aub[i], i < c.ctStored ? aubRight[i] : 0) << c.strLine << " " << i;
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
    ExpectSameGraph(*(CFlGraph *)mp.mp_pvObject);
    TakeApart(mp);
  }
  // Line numbers count every line, the blank ones too.
  std::string strError;
  Load(Replace(strLF, "Objects: ", "\n\nObjects: x"), strError);
  EXPECT_NE(strError.find("(" + std::to_string(LineOf(strLF, "Objects: ") + 2) + "): "),
            std::string::npos)
      << strError;
}

TEST_F(MetaText, AnyIndentationAndPiecesEndingAnywhereInALineAreRead)
{
  // Every line indented anew (0 to 8 blanks, some with tabs among them), and a blank line after
  // the header long enough that the reader's first piece of the stream ends at each of 48
  // places in the lines after it: in indentation, in a name, between CR and LF.
  const std::string strText = Write(Root(), true);
  std::string strIndented;
  long iLine = 0;
  for (size_t i = 0; i < strText.size();) {
    size_t iEnd = strText.find('\n', i);
    iEnd = iEnd == std::string::npos ? strText.size() : iEnd + 1;
    size_t iFirst = i;
    while (iFirst < iEnd && strText[iFirst] == ' ') iFirst++;
    std::string strIndent(iLine % 9, ' ');
    if (iLine % 7 == 3) strIndent += "\t  ";
    strIndented += strIndent + strText.substr(iFirst, iEnd - iFirst);
    i = iEnd;
    iLine++;
  }
  const size_t iAfterHeader = strIndented.find('\n') + 1;
  for (long iCut = 0; iCut < 48; iCut++) {
    SCOPED_TRACE(iCut);
    const long ctBlank = 64 * 1024 - (long)iAfterHeader - 2 - iCut;
    const std::string str = strIndented.substr(0, iAfterHeader) + std::string(ctBlank, ' ') +
                            "\r\n" + strIndented.substr(iAfterHeader);
    std::string strError;
    CMetaPointer mp = Load(str, strError);
    ASSERT_TRUE(mp.IsValid()) << strError;
    ExpectSameGraph(*(CFlGraph *)mp.mp_pvObject);
    TakeApart(mp);
  }
}

TEST_F(MetaText, SavingUnderTheSwitchWritesTextAndMembersLoadByNameOrAlias)
{
  CFlLeaf leaf;
  leaf.fl_iValue = 9;
  const std::string strLeaf = Write(CMetaPointer(CFlLeaf::md_pdtDataType, &leaf), true);
  EXPECT_EQ(strLeaf.find("QuennelEngine2 MetaData Version 8 {\r\n"), 0u);
  // The member is found under its code name and under its alias.
  for (int bAliases = 0; bAliases < 2; bAliases++) {
    md_bSaveAliases = bAliases;
    const std::string strText = Write(Root(), true);
    md_bSaveAliases = 1;
    EXPECT_NE(strText.find(bAliases ? "fg_iOldName {" : "fg_iAliased {"), std::string::npos);
    std::string strError;
    CMetaPointer mp = Load(strText, strError);
    ASSERT_TRUE(mp.IsValid()) << strError;
    EXPECT_EQ(((CFlGraph *)mp.mp_pvObject)->fg_iAliased, 2147483647);
    EXPECT_EQ(((CFlGraph *)mp.mp_pvObject)->fg_iNotSaved, 5);
    TakeApart(mp);
  }
}

// Every cut at a line end and thousands of changed bytes give a clean exception or a graph,
// never a crash or a hang, in loading and in the walk.
TEST_F(MetaText, DamagedTextIsRefusedCleanly)
{
  const std::string strText = Write(Root(), true);
  const long ctOriginal = _ctFlAlive;
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
  EXPECT_EQ(_ctFlAlive, ctOriginal);
  std::mt19937 rng(20260117);
  const char achNoise[] = "0123456789abcdefxyz-:{}\" \\\r\n";
  long ctFailed = 0;
  for (int i = 0; i < 3000; i++) {
    std::string str = strText;
    str[rng() % str.size()] = achNoise[rng() % (sizeof(achNoise) - 1)];
    if (!TryBoth(str)) ctFailed++;
  }
  EXPECT_GT(ctFailed, 1000);
  EXPECT_EQ(_ctFlAlive, ctOriginal);
}

TEST_F(MetaText, ATypeTableThatContradictsTheTypeNamesIsNeverReadIntoTexts)
{
  // The stack array of texts says, by its name, what the program knows, but its element type in
  // the file is a number, and numbers are what it holds: they must not become the texts'
  // addresses, in either form of the file.
  const std::string strText = Write(Root(), true);
  const size_t iTexts = strText.find("Name: \"CStaticStackArray<CString>\"\r\n");
  ASSERT_NE(iTexts, std::string::npos);
  const size_t iOf = strText.find("Of: ", iTexts);
  const size_t iSlong = strText.rfind("DataType: ", strText.find("Name: \"SLONG\""));
  ASSERT_NE(iOf, std::string::npos);
  ASSERT_NE(iSlong, std::string::npos);
  std::string strDamaged = strText;
  strDamaged.replace(iOf + 4, strText.find('\r', iOf) - iOf - 4,
                     strText.substr(iSlong + 10, strText.find('\r', iSlong) - iSlong - 10));
  // The elements themselves: two numbers instead of the texts.
  const size_t iList = strDamaged.find("StaticStackArray ", strDamaged.find("fg_ssaNames {"));
  const size_t iListEnd = strDamaged.find("fg_hLeaf {", iList);
  ASSERT_NE(iList, std::string::npos);
  ASSERT_NE(iListEnd, std::string::npos);
  const size_t iLineStart = strDamaged.rfind('\n', iList) + 1;
  const std::string strIndent(iList - iLineStart, ' ');
  const std::string strElements = "StaticStackArray 2 {\r\n" + strIndent +
                                  "  SLONG: 78 56 34 12 \r\n" + strIndent +
                                  "  SLONG: 01 00 00 00 \r\n" + strIndent + "}\r\n" +
                                  strIndent.substr(2) + "}\r\n" + strIndent.substr(4);
  strDamaged.replace(iList, iListEnd - iList, strElements);

  const long ctOriginal = _ctFlAlive;
  for (bool bText : {true, false}) {
    std::string strFile = bText ? strDamaged : Convert(strDamaged, false);
    std::string strError;
    CMetaPointer mp = Load(strFile, strError);
    ASSERT_TRUE(mp.IsValid()) << strError;
    ASSERT_EQ(mp.mp_pdtType, CFlGraph::md_pdtDataType);
    CFlGraph *pg = (CFlGraph *)mp.mp_pvObject;
    for (long i = 0; i < pg->fg_ssaNames.Count(); i++) EXPECT_STREQ(pg->fg_ssaNames[i], "");
    EXPECT_STREQ(pg->fg_strTitle, "A title\nover two lines");
    TakeApart(mp);
  }
  EXPECT_EQ(_ctFlAlive, ctOriginal);
}

// The writer lays a file out as documented: no program version line, list entries standing
// directly in their lists, each object's data in an unnamed block after its index and type. A
// file laid out so by hand loads, and so does one of the earlier layout; the walk turns the
// earlier layout into the documented one.
TEST_F(MetaText, FilesAreLaidOutAsDocumentedAndTheEarlierLayoutStillLoads)
{
  STxValue v;
  v.fValue = 1.0f;
  const std::string strWritten = Write(CMetaPointer(STxValue::md_pdtDataType, &v), true);
  EXPECT_EQ(strWritten, ValueFile(false));
  for (const char *strGone : {"ProgramVersion", "Ident {", "ExternalType {", "ObjectType {",
                              "Object {", "File {", "ExternalObject {", "  Objects "}) {
    EXPECT_EQ(Write(Root(), true).find(strGone), std::string::npos) << strGone;
  }
  for (bool bEarlier : {false, true}) {
    std::string strError;
    CMetaPointer mp = Load(ValueFile(bEarlier), strError);
    ASSERT_TRUE(mp.IsValid()) << bEarlier << ": " << strError;
    ASSERT_EQ(mp.mp_pdtType, STxValue::md_pdtDataType);
    EXPECT_EQ(((STxValue *)mp.mp_pvObject)->fValue, 1.0f);
    mdDelete(mp);
  }
  try {
    EXPECT_EQ(Convert(ValueFile(true), true), ValueFile(false));
  } catch (CException &ex) {
    ADD_FAILURE() << ex.GetDescription();
  }
  // An entry wrapped in a block of its own is read wherever it stands.
  const std::string strText = Write(Root(), true);
  const std::string strWrapped =
      Replace(strText, "    Ident: 0\r\n    Name: \"KindOfGraph\"\r\n",
              "    Ident {\r\n      Ident: 0\r\n      Name: \"KindOfGraph\"\r\n    }\r\n");
  ASSERT_TRUE(strWrapped != strText);
  std::string strError;
  CMetaPointer mp = Load(strWrapped, strError);
  ASSERT_TRUE(mp.IsValid()) << strError;
  ExpectSameGraph(*(CFlGraph *)mp.mp_pvObject);
  TakeApart(mp);
}

TEST_F(MetaText, ATypeRecordWithABadEndIsRefusedWithoutLeavingItsDescriptor)
{
  // A line too many before the end of the FLOAT record: the record is read whole, its end is not.
  const std::string strBad = Replace(ValueFile(false), "      LBE: 4\r\n    }\r\n",
                                     "      LBE: 4\r\n      Extra: 1\r\n    }\r\n");
  ASSERT_NE(strBad, ValueFile(false));
  auto UsedBlocks = [] { return memGetMemSizeInfo().msi_mhsGeneral.mhs_ctUsedBlocks; };
  std::string strError;
  EXPECT_FALSE(Load(strBad, strError).IsValid()); // once, for what is made once and kept
  EXPECT_NE(strError, "");
  const long ctBefore = UsedBlocks();
  for (int i = 0; i < 20; i++) {
    strError.clear();
    EXPECT_FALSE(Load(strBad, strError).IsValid());
    EXPECT_NE(strError, "");
  }
  EXPECT_EQ(UsedBlocks(), ctBefore);
}
