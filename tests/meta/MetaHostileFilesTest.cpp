// Metadata files made by hand to stall or exhaust the reader: type tables nested far deeper than
// any program's types, and tables so large that a reader slower than linear would take minutes.
// Each must be refused cleanly or read, in time linear in the file.
#include "MetaTestGraph.h"

#include <gtest/gtest.h>

#include <string.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

using namespace QuennelEngine;
using namespace QuennelEngine::Test;

namespace {

long _ctHfAlive = 0;
// The most members a type record of a file may have.
const long MAX_MEMBERS_OF_A_RECORD = 64000;

// The root of most files here: the program knows it with one number.
class CHfRoot : public CObject {
  MD_DECLARE_CLASS(CHfRoot)
public:
  CHfRoot() { _ctHfAlive++; }
  ~CHfRoot() { _ctHfAlive--; }
  long hr_iValue = 0;
};

MD_CLASS_BEGIN(CHfRoot, CObject, 2)
MD_MEMBER(hr_iValue, 0, "Value")
MD_CLASS_END()

// A tree whose nodes hold their children by value: its data nests as deep as the tree.
class CHfTree : public CObject {
  MD_DECLARE_CLASS(CHfTree)
public:
  CHfTree() { _ctHfAlive++; }
  ~CHfTree() { _ctHfAlive--; }
  long ht_iDepth = 0;
  CStaticArray<CHfTree> ht_saKids;
};

MD_CLASS_BEGIN(CHfTree, CObject, 1)
MD_MEMBER(ht_iDepth, 0, "Depth")
MD_MEMBER(ht_saKids, 0, "Kids")
MD_CLASS_END()

// The bytes of a binary metadata file of format 8, written item by item.
class CFileBytes {
public:
  void Int(long sl) { Append(&sl, 4); }
  void Chunk(const char *strID) { Append(strID, 4); }
  void Text(const std::string &str)
  {
    Int((long)str.size());
    Append(str.data(), str.size());
  }
  void Append(const void *pv, size_t sl)
  {
    fb_ab.insert(fb_ab.end(), (const char *)pv, (const char *)pv + sl);
  }
  std::vector<char> fb_ab;
};

enum { KIND_SIMPLE = 0, KIND_STRUCT = 5, KIND_STATICARRAY = 6, KIND_TYPEDEF = 13 };

// One type record of the file's internal types.
struct TypeRecord {
  std::string tr_strName;
  long tr_iFormat;
  long tr_iKind;
  long tr_iRef; // the base of a structure, what a typedef names
  std::vector<std::pair<std::string, long>> tr_aMembers;
};

// A whole file: the types named in `astrExternal` come first (the program's own), then the
// records; one object of type `iRootType` whose data is `abData`; `ctIdents` empty identifiers.
std::vector<char> MakeFile(const std::vector<std::string> &astrExternal,
                           const std::vector<TypeRecord> &atr, long iRootType,
                           const std::vector<char> &abData, long ctIdents = 0)
{
  CFileBytes fb;
  fb.Chunk("VQTN");
  fb.Chunk("META");
  fb.Int(0x1234ABCD);
  fb.Int(8);
  fb.Text("hand made");
  fb.Chunk("INFO");
  fb.Int(1); // edit data stripped
  fb.Int(0);
  fb.Int(ctIdents);
  fb.Int((long)(astrExternal.size() + atr.size()));
  fb.Int(1);
  fb.Chunk("RFIL");
  fb.Int(0);
  fb.Chunk("IDNT");
  fb.Int(ctIdents);
  for (long i = 0; i < ctIdents; i++) {
    fb.Int(i);
    fb.Text("Ident" + std::to_string(i));
  }
  fb.Chunk("EXTY");
  fb.Int((long)astrExternal.size());
  for (size_t i = 0; i < astrExternal.size(); i++) {
    fb.Int((long)i);
    fb.Text(astrExternal[i]);
  }
  fb.Chunk("INTY");
  fb.Int((long)atr.size());
  for (size_t i = 0; i < atr.size(); i++) {
    const TypeRecord &tr = atr[i];
    fb.Chunk("DTTY");
    fb.Int((long)(astrExternal.size() + i));
    fb.Text(tr.tr_strName);
    fb.Int(tr.tr_iFormat);
    fb.Int(tr.tr_iKind);
    if (tr.tr_iKind == KIND_SIMPLE) {
      fb.Int(4);
      fb.Int(4);
    } else if (tr.tr_iKind == KIND_TYPEDEF || tr.tr_iKind == KIND_STATICARRAY) {
      fb.Int(tr.tr_iRef);
    } else if (tr.tr_iKind == KIND_STRUCT) {
      fb.Int(tr.tr_iRef);
      fb.Chunk("STMB");
      fb.Int((long)tr.tr_aMembers.size());
      for (const auto &m : tr.tr_aMembers) {
        fb.Text(m.first);
        fb.Int(m.second);
      }
    }
  }
  fb.Chunk("EXOB");
  fb.Int(0);
  fb.Chunk("OBTY");
  fb.Int(1);
  fb.Int(0);
  fb.Int(iRootType);
  fb.Chunk("EDTY");
  fb.Int(0);
  fb.Chunk("OBJS");
  fb.Int(1);
  fb.Int(0);
  fb.Int(iRootType);
  fb.Append(abData.data(), abData.size());
  fb.Chunk("EDOB");
  fb.Int(0);
  fb.Chunk("META");
  fb.Chunk("END ");
  return fb.fb_ab;
}

std::vector<char> Number(long sl)
{
  std::vector<char> ab(4);
  memcpy(ab.data(), &sl, 4);
  return ab;
}

// Type 0 is SLONG, type 1 the root, as an older format whose one member is `iValueType`; the
// records `atrMore` follow from type index 2.
std::vector<char> RootFile(long iBase, long iValueType, const std::vector<TypeRecord> &atrMore,
                           long ctIdents = 0)
{
  std::vector<TypeRecord> atr;
  atr.push_back(TypeRecord{"CHfRoot", 1, KIND_STRUCT, iBase, {{"hr_iValue", iValueType}}});
  atr.insert(atr.end(), atrMore.begin(), atrMore.end());
  return MakeFile({"SLONG", "CObject"}, atr, 2, Number(42), ctIdents);
}

// What reading the file gives: its value, or the error.
struct ReadResult {
  bool rr_bRead;
  long rr_iValue;
  std::string rr_strError;
};

ReadResult Read(const std::vector<char> &ab, CMetaPointer *pmpTree = nullptr)
{
  CStream strm;
  strm.CreateMemoryStream_t(ab.data(), (long)ab.size());
  try {
    CMetaPointer mp = mdInternalRead_t(strm);
    if (pmpTree != nullptr && mp.mp_pdtType == CHfTree::md_pdtDataType) {
      *pmpTree = mp;
      return ReadResult{true, 0, ""};
    }
    if (mp.mp_pdtType != CHfRoot::md_pdtDataType) {
      mdDelete(mp);
      return ReadResult{false, 0, "not the root"};
    }
    CHfRoot *proot = (CHfRoot *)(CObject *)mp.mp_pvObject;
    const long iValue = proot->hr_iValue;
    delete proot;
    return ReadResult{true, iValue, ""};
  } catch (CException &ex) {
    return ReadResult{false, 0, ex.GetDescription()};
  }
}

class MetaHostileFiles : public ::testing::Test {
protected:
  void SetUp() override
  {
    mdUpdateTypeTables();
    _ctHfAlive = 0;
  }
  void TearDown() override { EXPECT_EQ(_ctHfAlive, 0); }
};

} // namespace

// The hand-made file itself is sound: read with shallow nesting, the value arrives.
TEST_F(MetaHostileFiles, TheFileBuilderMakesFilesTheReaderTakes)
{
  // The root as it is (types 0 and 1 external), its base the program's.
  const ReadResult rrPlain = Read(RootFile(1, 0, {}));
  EXPECT_TRUE(rrPlain.rr_bRead) << rrPlain.rr_strError;
  EXPECT_EQ(rrPlain.rr_iValue, 42);
  // Its value behind a typedef of the file.
  const ReadResult rrTypedef =
      Read(RootFile(1, 3, {TypeRecord{"HfAlias", 1, KIND_TYPEDEF, 0, {}}}));
  EXPECT_TRUE(rrTypedef.rr_bRead) << rrTypedef.rr_strError;
}

namespace {

bool Refused(const ReadResult &rr, const char *strText)
{
  return !rr.rr_bRead && rr.rr_strError.find(strText) != std::string::npos;
}

// Type tables of `ct` records nested each in the next: a base chain of member-less structures
// the program does not know, a chain of typedefs ending in SLONG, or structures each holding the
// next as its one member. Names are unique per call (`strTag`).
std::vector<char> NestedFile(char chKind, long ct, const std::string &strTag)
{
  std::vector<TypeRecord> atr;
  for (long i = 0; i < ct; i++) {
    const std::string strName = "Hf" + strTag + chKind + std::to_string(i);
    const long iNext = i + 1 < ct ? 4 + i : -1;
    if (chKind == 'B') atr.push_back(TypeRecord{strName, 1, KIND_STRUCT, iNext, {}});
    if (chKind == 'T')
      atr.push_back(TypeRecord{strName, 1, KIND_TYPEDEF, iNext >= 0 ? iNext : 0, {}});
    if (chKind == 'M')
      atr.push_back(TypeRecord{strName, 1, KIND_STRUCT, -1, {{"m", iNext >= 0 ? iNext : 0}}});
  }
  // The root's base is the first record of a base chain; its value is the first of the others.
  return chKind == 'B' ? RootFile(3, 0, atr) : RootFile(1, 3, atr);
}

std::string UniqueTag(void)
{
  static long _iTag = 0;
  return std::to_string(++_iTag) + "_";
}

// The steps a read of the file took, everything counted.
long long WorkOf(const std::vector<char> &ab, ReadResult &rr)
{
  const MetaReadWork mrwBefore = mdGetReadWork();
  rr = Read(ab);
  const MetaReadWork mrwAfter = mdGetReadWork();
  return (mrwAfter.mrw_ctTypeSteps - mrwBefore.mrw_ctTypeSteps) +
         (mrwAfter.mrw_ctNameCompares - mrwBefore.mrw_ctNameCompares);
}

} // namespace

// Chains of 100,000 types are refused at once, with nothing left behind and without going deep
// down the stack; within the limit the same shapes read (a typedef chain still reaches its
// number). The tool's walk refuses them too.
TEST_F(MetaHostileFiles, TypesNestedBeyondTheLimitAreRefusedInLinearTime)
{
  for (char chKind : {'B', 'T', 'M'}) {
    SCOPED_TRACE(std::string(1, chKind));
    ReadResult rr;
    const long long llWork = WorkOf(NestedFile(chKind, 100000, UniqueTag()), rr);
    EXPECT_TRUE(Refused(rr, "is nested more than 256 levels deep.")) << rr.rr_strError;
    EXPECT_LT(llWork, 100000LL * 64);
    EXPECT_EQ(_ctHfAlive, 0);

    const ReadResult rrDeep = Read(NestedFile(chKind, MD_MAX_NESTING - 2, UniqueTag()));
    EXPECT_TRUE(rrDeep.rr_bRead) << rrDeep.rr_strError;
    // (a structure the program does not know is skipped: the value stays the constructor's)
    EXPECT_EQ(rrDeep.rr_iValue, chKind == 'M' ? 0 : 42);
    EXPECT_TRUE(Refused(Read(NestedFile(chKind, MD_MAX_NESTING + 1, UniqueTag())),
                        "is nested more than 256 levels deep."));

    const std::vector<char> ab = NestedFile(chKind, 100000, UniqueTag());
    CStream strm;
    strm.CreateMemoryStream_t(ab.data(), (long)ab.size());
    EXPECT_THROW(mdConvertMetaFile_t(strm, nullptr, nullptr), CException);
  }
}

// Reading type tables costs no more than about n log n in the number of types, members or
// identifiers: sixteen times the table takes at most 32 times the steps (names of one pattern
// that differ in their last characters once piled up in the identifier table).
TEST_F(MetaHostileFiles, TypeTablesReadInTimeLinearInTheirSize)
{
  auto Unknown = [](long ct) {
    const std::string strTag = UniqueTag();
    std::vector<TypeRecord> atr;
    for (long i = 0; i < ct; i++)
      atr.push_back(TypeRecord{"HfUnknown" + strTag + std::to_string(i), 1, KIND_STRUCT, -1, {}});
    return RootFile(1, 0, atr);
  };
  auto Members = [](long ct) {
    const std::string strTag = UniqueTag();
    TypeRecord tr{"CHfRoot", 1, KIND_STRUCT, 1, {{"hr_iValue", 0}}};
    std::vector<char> abData = Number(42);
    for (long i = 0; i < ct; i++) {
      tr.tr_aMembers.push_back({"hfMember" + strTag + std::to_string(i), 0});
      abData.insert(abData.end(), 4, 0);
    }
    return MakeFile({"SLONG", "CObject"}, {tr}, 2, abData);
  };
  auto Idents = [](long ct) { return RootFile(1, 0, {}, ct); };
  struct Case {
    const char *c_strName;
    std::function<std::vector<char>(long)> c_fnMake;
    long c_ct;
  } acases[] = {
      {"unknown types", Unknown, 500}, {"members", Members, 1000}, {"identifiers", Idents, 2000}};
  for (const Case &c : acases) {
    SCOPED_TRACE(c.c_strName);
    ReadResult rr1, rr16;
    const long long llWork1 = WorkOf(c.c_fnMake(c.c_ct), rr1);
    const long long llWork16 = WorkOf(c.c_fnMake(16 * c.c_ct), rr16);
    EXPECT_TRUE(rr1.rr_bRead) << rr1.rr_strError;
    EXPECT_TRUE(rr16.rr_bRead) << rr16.rr_strError;
    EXPECT_EQ(rr16.rr_iValue, 42);
    EXPECT_GT(llWork1, 0);
    EXPECT_LE(llWork16, 32 * llWork1) << llWork1 << " -> " << llWork16;
    std::printf("  %s: %ld -> %ld: %lld -> %lld steps\n", c.c_strName, c.c_ct, 16 * c.c_ct, llWork1,
                llWork16);
  }
  // The most members a type record may have.
  const ReadResult rrMost = Read(Members(MAX_MEMBERS_OF_A_RECORD - 1));
  EXPECT_TRUE(rrMost.rr_bRead) << rrMost.rr_strError;
  EXPECT_TRUE(Refused(Read(Members(MAX_MEMBERS_OF_A_RECORD)), "Invalid number of members"));
}

// Data nests through static arrays without any type nesting: the reader takes twice the depth
// the writer writes, and refuses more before it goes deeper down the stack.
TEST_F(MetaHostileFiles, DataNestedBeyondTheLimitIsRefusedByWriterAndReader)
{
  // Each level of the tree is two levels of the walk: the node and its array.
  auto Chain = [](long ctLevels) {
    CHfTree *proot = new CHfTree;
    CHfTree *p = proot;
    for (long i = 1; i < ctLevels; i++) {
      p->ht_saKids.New(1);
      p = &p->ht_saKids[0];
      p->ht_iDepth = i;
    }
    return proot;
  };
  auto Depth = [](const CHfTree *p) {
    long ct = 1;
    for (; p->ht_saKids.Count() == 1; p = &p->ht_saKids[0]) ct++;
    return ct;
  };
  CHfTree *pWritable = Chain(MD_MAX_NESTING / 2 - 1);
  CStream strm;
  strm.CreateMemoryStream();
  mdInternalWrite_t(strm, CMetaPointer(CHfTree::md_pdtDataType, pWritable));
  strm.SeekBeg_t(0);
  CMetaPointer mp = mdInternalRead_t(strm);
  ASSERT_EQ(mp.mp_pdtType, CHfTree::md_pdtDataType);
  EXPECT_EQ(Depth((CHfTree *)(CObject *)mp.mp_pvObject), MD_MAX_NESTING / 2 - 1);
  mdDelete(mp);
  delete pWritable;

  CHfTree *pTooDeep = Chain(MD_MAX_NESTING / 2 + 1);
  CStream strmDeep;
  strmDeep.CreateMemoryStream();
  try {
    mdInternalWrite_t(strmDeep, CMetaPointer(CHfTree::md_pdtDataType, pTooDeep));
    ADD_FAILURE() << "written";
  } catch (CException &ex) {
    EXPECT_NE(std::string(ex.GetDescription()).find("nested more than 256 levels deep"),
              std::string::npos)
        << ex.GetDescription();
  }
  delete pTooDeep;

  // By hand: the program's own layout, nested as deep as asked.
  auto TreeFile = [](long ctLevels) {
    std::vector<TypeRecord> atr = {
        TypeRecord{"CHfTree", 1, KIND_STRUCT, 1, {{"ht_iDepth", 0}, {"ht_saKids", 3}}},
        TypeRecord{"CStaticArray<CHfTree>", 1, KIND_STATICARRAY, 2, {}}};
    std::vector<char> ab;
    for (long i = 0; i < ctLevels; i++) {
      const std::vector<char> abLevel = Number(i), abCount = Number(i + 1 < ctLevels ? 1 : 0);
      ab.insert(ab.end(), abLevel.begin(), abLevel.end());
      ab.insert(ab.end(), {'S', 'T', 'A', 'R'});
      ab.insert(ab.end(), abCount.begin(), abCount.end());
    }
    return MakeFile({"SLONG", "CObject"}, atr, 2, ab);
  };
  CMetaPointer mpDeep;
  const ReadResult rrDeep = Read(TreeFile(MD_MAX_NESTING - 2), &mpDeep);
  ASSERT_TRUE(rrDeep.rr_bRead) << rrDeep.rr_strError;
  ASSERT_EQ(mpDeep.mp_pdtType, CHfTree::md_pdtDataType);
  EXPECT_EQ(Depth((CHfTree *)(CObject *)mpDeep.mp_pvObject), MD_MAX_NESTING - 2);
  mdDelete(mpDeep);
  for (long ct : {MD_MAX_NESTING + 2, 100000L}) {
    const ReadResult rr = Read(TreeFile(ct));
    EXPECT_TRUE(Refused(rr, "Object data is nested more than 512 levels deep.")) << rr.rr_strError;
  }
}

TEST_F(MetaHostileFiles, ATypeIndexNamedExternalIsNotTakenAgainByARecord)
{
  // Type 2 is external and unknown to the program; the root's record claims index 2 as well, so
  // index 3 is left without a type.
  std::vector<char> ab =
      MakeFile({"SLONG", "CObject", "CHfNoSuchType"},
               {TypeRecord{"CHfRoot", 1, KIND_STRUCT, 1, {{"hr_iValue", 0}}}}, 2, Number(42));
  const char achChunk[] = "DTTY";
  auto it = std::search(ab.begin(), ab.end(), achChunk, achChunk + 4);
  ASSERT_NE(it, ab.end());
  long iIndex = 3;
  ASSERT_EQ(memcmp(&*(it + 4), &iIndex, 4), 0);
  iIndex = 2;
  memcpy(&*(it + 4), &iIndex, 4);
  const ReadResult rr = Read(ab);
  EXPECT_FALSE(rr.rr_bRead);
  EXPECT_EQ(rr.rr_strError, "<memory stream>: Type index 2 is used twice.");
}
