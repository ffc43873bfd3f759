// Metadata files: graphs round-trip through files, files written by an older layout of a type
// load into the new one, and damaged files are refused cleanly.
#include "MetaTestGraph.h"

#include <gtest/gtest.h>

#include <stddef.h>
#include <string.h>

#include <algorithm>
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

// Objects that refer to each other without owning: what a load keeps is what the root reaches.
class CFlLink : public CObject {
  MD_DECLARE_CLASS(CFlLink)
public:
  CFlLink() { _ctFlAlive++; }
  ~CFlLink() { _ctFlAlive--; }
  long fk_iId = 0;
  CFlLink *fk_pA = nullptr;
  CFlLink *fk_pB = nullptr;
};

MD_CLASS_BEGIN(CFlLink, CObject, 1)
MD_MEMBER(fk_iId, 0, "Id")
MD_MEMBER(fk_pA, 0, "A")
MD_MEMBER(fk_pB, 0, "B")
MD_CLASS_END()

// A link's companion whose data ends with a container, so that objects of both kinds alternate
// in a file with and without a run of fixed bytes at their end.
class CFlBag : public CObject {
  MD_DECLARE_CLASS(CFlBag)
public:
  CFlBag() { _ctFlAlive++; }
  ~CFlBag() { _ctFlAlive--; }
  long fb_iValue = 0;
  CFlBag *fb_pNext = nullptr;
  CFlLink *fb_pLink = nullptr;
  CStaticArray<long> fb_saValues;
  CStaticArray<CFlLink *> fb_sapLinks; // not owned
};

MD_CLASS_BEGIN(CFlBag, CObject, 1)
MD_MEMBER(fb_iValue, 0, "Value")
MD_MEMBER(fb_pNext, 0, "Next")
MD_MEMBER(fb_pLink, 0, "Link")
MD_MEMBER(fb_saValues, 0, "Values")
MD_MEMBER(fb_sapLinks, 0, "Links")
MD_CLASS_END()

// Many references to few objects: a container that does not own its elements.
class CFlRefs : public CObject {
  MD_DECLARE_CLASS(CFlRefs)
public:
  CFlRefs() { _ctFlAlive++; }
  ~CFlRefs()
  {
    for (CFlLink *p : fr_apOwned) delete p;
    _ctFlAlive--;
  }
  CFlLink *fr_apOwned[3] = {nullptr, nullptr, nullptr};
  CDynamicContainer<CFlLink> fr_dcSeen;
};

MD_CLASS_BEGIN(CFlRefs, CObject, 1)
MD_MEMBER(fr_apOwned, SMF_OWNED, "Owned")
MD_MEMBER(fr_dcSeen, 0, "Seen")
MD_CLASS_END()

// Where the object data of a file starts (its chunk), or 0.
size_t ObjectsAt(const std::vector<char> &ab)
{
  const char achChunk[] = "OBJS";
  auto it = std::search(ab.begin(), ab.end(), achChunk, achChunk + 4);
  return it == ab.end() ? 0 : (size_t)(it - ab.begin());
}

// The bytes of a file of: root -> A, D; A -> B; D -> F, E; E -> D. The objects come in the order
// the root reaches them (root 0, A 1, D 2, B 3, F 4, E 5); `iRootB` replaces the root's
// reference to D in the file.
std::vector<char> LinkFile(long iRootB)
{
  CFlLink aLinks[6];
  for (long i = 0; i < 6; i++) aLinks[i].fk_iId = i;
  CFlLink &root = aLinks[0], &a = aLinks[1], &d = aLinks[2], &b = aLinks[3], &f = aLinks[4],
          &e = aLinks[5];
  root.fk_pA = &a;
  root.fk_pB = &d;
  a.fk_pA = &b;
  d.fk_pA = &f;
  d.fk_pB = &e;
  e.fk_pA = &d;
  CStream strm;
  WriteToMemory(strm, Meta(&root));
  std::vector<char> ab = Bytes(strm);
  // The object data: "OBJS", the count, then the root's index, type, id, A and B.
  const size_t slObjects = ObjectsAt(ab);
  if (slObjects == 0) return std::vector<char>();
  const size_t slRootB = slObjects + 8 + 8 + 8;
  long iOld;
  memcpy(&iOld, &ab[slRootB], 4);
  if (iOld != 2) return std::vector<char>();
  memcpy(&ab[slRootB], &iRootB, 4);
  return ab;
}

CFlLink *ReadLinks(const std::vector<char> &ab)
{
  CStream strm;
  strm.CreateMemoryStream_t(ab.data(), (long)ab.size());
  CMetaPointer mp = mdInternalRead_t(strm);
  return mp.mp_pdtType == CFlLink::md_pdtDataType ? (CFlLink *)(CObject *)mp.mp_pvObject : nullptr;
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

// A stream that holds its bytes in memory is read in place; one that must be read (a disk file,
// an archive entry) through the reader's calls. Both give the same graph, stop at the same
// place, and refuse a cut file with the same message.
namespace {
class CNoWindowStream : public CStreamImp {
public:
  explicit CNoWindowStream(const std::vector<char> &ab)
  {
    nw_strm.CreateMemoryStream_t(ab.data(), (long)ab.size());
  }
  void Peek_t(void *pv, long sl) override { nw_strm.Peek_t(pv, sl); }
  void Read_t(void *pv, long sl) override { nw_strm.Read_t(pv, sl); }
  void Write_t(CStream &strm) override { nw_strm.Write_t(strm); }
  void Write_t(const void *pv, long sl) override { nw_strm.Write_t(pv, sl); }
  void SeekBeg_t(long sl) override { nw_strm.SeekBeg_t(sl); }
  void SeekEnd_t(long sl) override { nw_strm.SeekEnd_t(sl); }
  void SeekCur_t(long sl) override { nw_strm.SeekCur_t(sl); }
  void SetSize_t(long sl) override { nw_strm.SetSize_t(sl); }
  void ReadAhead_t(long) override {}
  long GetSize(void) override { return nw_strm.GetSize(); }
  long GetPosition(void) override { return nw_strm.GetPosition(); }
  int IsAtEOF_t(void) override { return nw_strm.IsAtEOF_t(); }
  CString GetDescription(void) override { return "<memory stream>"; }

private:
  CStream nw_strm;
};

struct ReadOutcome {
  CMetaPointer ro_mp;
  std::string ro_strError;
  long ro_slPosition = -1;
};

ReadOutcome ReadThrough(const std::vector<char> &ab, bool bInPlace)
{
  CStream strm;
  if (bInPlace) {
    strm.CreateMemoryStream_t(ab.data(), (long)ab.size());
  } else {
    strm.SetImplementation(new CNoWindowStream(ab));
  }
  long slBytes = 0;
  EXPECT_EQ(strm.GetReadWindow(slBytes) != nullptr, bInPlace && !ab.empty());
  ReadOutcome ro;
  try {
    ro.ro_mp = mdInternalRead_t(strm);
  } catch (CException &e) {
    ro.ro_strError = e.GetDescription();
  }
  ro.ro_slPosition = strm.GetPosition();
  return ro;
}
} // namespace

TEST_F(MetaFiles, StreamsInMemoryAndStreamsThatMustBeReadGiveTheSameReads)
{
  CFlGraph g;
  Fill(g);
  CStream strm;
  WriteToMemory(strm, Meta(&g));
  const std::vector<char> ab = Bytes(strm);
  long aslEnd[2];
  for (int bInPlace = 0; bInPlace < 2; bInPlace++) {
    ReadOutcome ro = ReadThrough(ab, bInPlace != 0);
    ASSERT_EQ(ro.ro_mp.mp_pdtType, CFlGraph::md_pdtDataType) << ro.ro_strError;
    aslEnd[bInPlace] = ro.ro_slPosition;
    CFlGraph &h = *(CFlGraph *)ro.ro_mp.mp_pvObject;
    ExpectSameGraph(h, &g);
    BreakRing(h);
    mdDelete(ro.ro_mp);
  }
  // (outside the editor the read ends before the edit lists and the footer)
  EXPECT_EQ(aslEnd[1], aslEnd[0]);
  EXPECT_GT(aslEnd[1], (long)ObjectsAt(ab));
  BreakRing(g);
  // Cut anywhere in the objects' data (and the rest): the same refusal either way.
  const size_t slObjects = ObjectsAt(ab);
  ASSERT_GT(slObjects, 0u);
  const long ctOriginal = _ctFlAlive;
  for (size_t sl = slObjects; sl + 16 < ab.size(); sl++) {
    const std::vector<char> abCut(ab.begin(), ab.begin() + sl);
    const ReadOutcome roRead = ReadThrough(abCut, false);
    const ReadOutcome roInPlace = ReadThrough(abCut, true);
    EXPECT_FALSE(roRead.ro_mp.IsValid()) << sl;
    EXPECT_FALSE(roInPlace.ro_mp.IsValid()) << sl;
    EXPECT_FALSE(roInPlace.ro_strError.empty()) << sl;
    EXPECT_EQ(roInPlace.ro_strError, roRead.ro_strError) << sl;
  }
  EXPECT_EQ(_ctFlAlive, ctOriginal);
}

// What the root does not reach is deleted after the load, cycles too; what it reaches only
// through objects that came before it in the file is kept.
TEST_F(MetaFiles, ALoadKeepsExactlyWhatTheRootReaches)
{
  // The root's reference to D cut: D, F and E (with the cycle D <-> E) are unused.
  const std::vector<char> abCut = LinkFile(-1);
  ASSERT_FALSE(abCut.empty());
  CFlLink *proot = ReadLinks(abCut);
  ASSERT_NE(proot, nullptr);
  ASSERT_NE(proot->fk_pA, nullptr);
  ASSERT_NE(proot->fk_pA->fk_pA, nullptr);
  EXPECT_EQ(proot->fk_pA->fk_pA->fk_iId, 3);
  EXPECT_EQ(proot->fk_pB, nullptr);
  EXPECT_EQ(_ctFlAlive, 3);
  delete proot->fk_pA->fk_pA;
  delete proot->fk_pA;
  delete proot;

  // The root refers to E instead: D was read before anything reached it, and F is reached only
  // through D; all six stay.
  const std::vector<char> abLate = LinkFile(5);
  ASSERT_FALSE(abLate.empty());
  proot = ReadLinks(abLate);
  ASSERT_NE(proot, nullptr);
  EXPECT_EQ(_ctFlAlive, 6);
  CFlLink *pe = proot->fk_pB;
  ASSERT_NE(pe, nullptr);
  EXPECT_EQ(pe->fk_iId, 5);
  CFlLink *pd = pe->fk_pA;
  ASSERT_NE(pd, nullptr);
  EXPECT_EQ(pd->fk_iId, 2);
  EXPECT_EQ(pd->fk_pB, pe);
  ASSERT_NE(pd->fk_pA, nullptr);
  EXPECT_EQ(pd->fk_pA->fk_iId, 4);
  delete pd->fk_pA;
  delete pd;
  delete pe;
  delete proot->fk_pA->fk_pA;
  delete proot->fk_pA;
  delete proot;
}

// An object's data twice in a file is refused, and nothing of the file is left.
TEST_F(MetaFiles, AnObjectWhoseDataComesTwiceIsRefused)
{
  std::vector<char> ab = LinkFile(2);
  ASSERT_FALSE(ab.empty());
  const size_t slObjects = ObjectsAt(ab);
  ASSERT_NE(slObjects, 0u);
  // Object 3 (B, the fourth record of 20 bytes) claims to be object 1 (A) again.
  const size_t slFourth = slObjects + 8 + 3 * 20;
  long iObject;
  memcpy(&iObject, &ab[slFourth], 4);
  ASSERT_EQ(iObject, 3);
  iObject = 1;
  memcpy(&ab[slFourth], &iObject, 4);
  CStream strm;
  strm.CreateMemoryStream_t(ab.data(), (long)ab.size());
  try {
    mdInternalRead_t(strm);
    ADD_FAILURE() << "the file loaded";
  } catch (CException &ex) {
    EXPECT_NE(std::string(ex.GetDescription()).find("Object index 1 is read twice."),
              std::string::npos)
        << ex.GetDescription();
  }
  EXPECT_EQ(_ctFlAlive, 0);
}

// Hundreds of objects of two types, one ending with fixed bytes and one with a container,
// alternating in the file, read back as written; and read member by member when the file's
// layout has the links' two references the other way round.
TEST_F(MetaFiles, ManyObjectsOfMixedTypesReadBackInBothLayouts)
{
  const long ct = 300;
  std::vector<CFlLink *> apLinks;
  std::vector<CFlBag *> apBags;
  for (long i = 0; i < ct; i++) {
    apLinks.push_back(new CFlLink);
    apBags.push_back(new CFlBag);
  }
  for (long i = 0; i < ct; i++) {
    apLinks[i]->fk_iId = i;
    apLinks[i]->fk_pA = i + 1 < ct ? apLinks[i + 1] : nullptr;
    apLinks[i]->fk_pB = apLinks[(i * 7) % ct];
    apBags[i]->fb_iValue = -i;
    apBags[i]->fb_pNext = i + 1 < ct ? apBags[i + 1] : nullptr;
    apBags[i]->fb_pLink = apLinks[i];
    apBags[i]->fb_saValues.New(i % 4);
    for (long j = 0; j < i % 4; j++) apBags[i]->fb_saValues[j] = i * 10 + j;
  }
  // The first bag also lists every link twice with nulls between (more than one block of
  // references in the binary form).
  CStaticArray<CFlLink *> &sap = apBags[0]->fb_sapLinks;
  sap.New(3 * ct);
  for (long i = 0; i < 3 * ct; i++) sap[i] = i % 3 == 2 ? nullptr : apLinks[(i / 3 * 11) % ct];
  CStream strm;
  WriteToMemory(strm, Meta(apBags[0]));
  std::vector<char> ab = Bytes(strm);
  for (CFlLink *p : apLinks) delete p;
  for (CFlBag *p : apBags) delete p;

  // The same bytes with the links' members "fk_pA" and "fk_pB" named the other way round.
  std::vector<char> abSwapped = ab;
  const char achA[] = "fk_pA", achB[] = "fk_pB";
  auto itA = std::search(abSwapped.begin(), abSwapped.end(), achA, achA + 5);
  auto itB = std::search(abSwapped.begin(), abSwapped.end(), achB, achB + 5);
  ASSERT_NE(itA, abSwapped.end());
  ASSERT_NE(itB, abSwapped.end());
  itA[4] = 'B';
  itB[4] = 'A';

  for (int bSwapped = 0; bSwapped < 2; bSwapped++) {
    const std::vector<char> &abFile = bSwapped ? abSwapped : ab;
    CStream strmRead;
    strmRead.CreateMemoryStream_t(abFile.data(), (long)abFile.size());
    CMetaPointer mp = mdInternalRead_t(strmRead);
    ASSERT_EQ(mp.mp_pdtType, CFlBag::md_pdtDataType);
    EXPECT_EQ(_ctFlAlive, 2 * ct);
    std::vector<CFlBag *> apRead;
    std::vector<CFlLink *> apReadLinks;
    for (CFlBag *pb = (CFlBag *)(CObject *)mp.mp_pvObject; pb != nullptr; pb = pb->fb_pNext) {
      apRead.push_back(pb);
      apReadLinks.push_back(pb->fb_pLink);
    }
    ASSERT_EQ((long)apRead.size(), ct);
    long ctWrong = 0;
    for (long i = 0; i < ct; i++) {
      const CFlBag &b = *apRead[i];
      ctWrong += b.fb_iValue != -i || b.fb_saValues.Count() != i % 4;
      for (long j = 0; j < b.fb_saValues.Count(); j++) ctWrong += b.fb_saValues[j] != i * 10 + j;
      const CFlLink *pl = apReadLinks[i];
      if (pl == nullptr) {
        ctWrong++;
        continue;
      }
      CFlLink *plNext = i + 1 < ct ? apReadLinks[i + 1] : nullptr;
      CFlLink *plCross = apReadLinks[(i * 7) % ct];
      ctWrong += pl->fk_iId != i;
      ctWrong += pl->fk_pA != (bSwapped ? plCross : plNext);
      ctWrong += pl->fk_pB != (bSwapped ? plNext : plCross);
    }
    const CStaticArray<CFlLink *> &sapRead = apRead[0]->fb_sapLinks;
    ctWrong += sapRead.Count() != 3 * ct;
    for (long i = 0; i < sapRead.Count(); i++) {
      ctWrong += sapRead[i] != (i % 3 == 2 ? nullptr : apReadLinks[(i / 3 * 11) % ct]);
    }
    EXPECT_EQ(ctWrong, 0) << bSwapped;
    for (CFlLink *p : apReadLinks) delete p;
    for (CFlBag *p : apRead) delete p;
  }
}

// A container may name the same few objects any number of times: its entries take 4 bytes each,
// whatever the objects take, and the file the writer made reads back exactly, in both forms.
TEST_F(MetaFiles, AContainerNamingFewObjectsManyTimesRoundTrips)
{
  for (int bText = 0; bText < 2; bText++) {
    CFlRefs refs;
    for (long i = 0; i < 3; i++) {
      refs.fr_apOwned[i] = new CFlLink;
      refs.fr_apOwned[i]->fk_iId = 10 + i;
    }
    const long ct = 10003;
    for (long i = 0; i < ct; i++) refs.fr_dcSeen.Add(refs.fr_apOwned[(i * 7) % 3]);
    md_bSaveTextFiles = bText;
    CStream strm;
    WriteToMemory(strm, Meta(&refs));
    md_bSaveTextFiles = 0;
    CMetaPointer mp;
    try {
      mp = mdInternalRead_t(strm);
    } catch (CException &ex) {
      ADD_FAILURE() << (bText ? "text: " : "binary: ") << ex.GetDescription();
      continue;
    }
    ASSERT_EQ(mp.mp_pdtType, CFlRefs::md_pdtDataType);
    CFlRefs *pRead = (CFlRefs *)(CObject *)mp.mp_pvObject;
    ASSERT_EQ(pRead->fr_dcSeen.Count(), ct);
    bool bSame = true;
    for (long i = 0; i < ct; i++) {
      const CFlLink *p = pRead->fr_dcSeen.Pointer(i);
      bSame = bSame && p == pRead->fr_apOwned[(i * 7) % 3] && p->fk_iId == 10 + (i * 7) % 3;
    }
    EXPECT_TRUE(bSame) << bText;
    delete pRead;
  }
}

// Objects of one type in long runs (their blocks taken ahead): each is made once and booked once
// on its type, a cut file gives back all it made, and no run is left held after a read.
TEST_F(MetaFiles, LongRunsOfOneTypeAreMadeAndBookedOnceEach)
{
  const long ct = 1500;
  std::vector<CFlLink *> ap(ct);
  for (long i = 0; i < ct; i++) ap[i] = new CFlLink;
  for (long i = 0; i < ct; i++) {
    ap[i]->fk_iId = i;
    ap[i]->fk_pA = i + 1 < ct ? ap[i + 1] : nullptr;
    ap[i]->fk_pB = ap[(i * 13) % ct];
  }
  CStream strm;
  WriteToMemory(strm, Meta(ap[0]));
  const std::vector<char> ab = Bytes(strm);
  for (CFlLink *p : ap) delete p;
  const MemoryTypeStats mtsBefore = CFlLink::md_pdtDataType->dt_mts;

  CMetaPointer mp = ReadThrough(ab, true).ro_mp;
  ASSERT_EQ(mp.mp_pdtType, CFlLink::md_pdtDataType);
  EXPECT_EQ(memReleaseSingles(), 0);
  EXPECT_EQ(_ctFlAlive, ct);
  EXPECT_EQ(CFlLink::md_pdtDataType->dt_mts.mts_ctSingles, mtsBefore.mts_ctSingles + ct);
  std::vector<CFlLink *> apRead;
  for (CFlLink *p = (CFlLink *)(CObject *)mp.mp_pvObject; p != nullptr; p = p->fk_pA)
    apRead.push_back(p);
  ASSERT_EQ((long)apRead.size(), ct);
  long ctWrong = 0;
  for (long i = 0; i < ct; i++)
    ctWrong += apRead[i]->fk_iId != i || apRead[i]->fk_pB != apRead[(i * 13) % ct];
  EXPECT_EQ(ctWrong, 0);
  for (CFlLink *p : apRead) delete p;
  EXPECT_EQ(CFlLink::md_pdtDataType->dt_mts.mts_ctSingles, mtsBefore.mts_ctSingles);
  EXPECT_EQ(CFlLink::md_pdtDataType->dt_mts.mts_slBytes, mtsBefore.mts_slBytes);

  // Cut in the middle of the objects' data: nothing made is left, nothing stays booked.
  const size_t slObjects = ObjectsAt(ab);
  ASSERT_GT(slObjects, 0u);
  const std::vector<char> abCut(ab.begin(), ab.begin() + (slObjects + ab.size()) / 2);
  const ReadOutcome ro = ReadThrough(abCut, true);
  EXPECT_FALSE(ro.ro_mp.IsValid());
  EXPECT_EQ(memReleaseSingles(), 0);
  EXPECT_EQ(_ctFlAlive, 0);
  EXPECT_EQ(CFlLink::md_pdtDataType->dt_mts.mts_ctSingles, mtsBefore.mts_ctSingles);
  EXPECT_EQ(CFlLink::md_pdtDataType->dt_mts.mts_slBytes, mtsBefore.mts_slBytes);
}

// The text form's reader is made for a stream the binary reader does not recognise; when its own
// check fails with an exception, the exception comes through and the reader is deleted.
namespace {
long _ctCheckingReaders = 0;

class CThrowingCheckReader : public CMetaReader {
public:
  explicit CThrowingCheckReader(CStream &strm) : CMetaReader(strm) { _ctCheckingReaders++; }
  ~CThrowingCheckReader() override { _ctCheckingReaders--; }
  long Open_t(void) override { return 0; }
  void Close_t(void) override {}
  void ReadInt_t(const char *, long &sl) override { sl = 0; }
  void ReadString_t(const char *, CString &) override {}
  void ReadKind_t(const char *, DataTypeType &) override {}
  void ReadRaw_t(const char *, void *, long) override {}
  void ReadBlockStart_t(const char *, const char *) override {}
  void ReadBlockEnd_t(void) override {}
  void ReadListStart_t(const char *, const char *, long &ct) override { ct = 0; }
  void ReadListEnd_t(void) override {}
  void SkipRaw_t(const char *, long) override {}
  int IsMetaFile(void) override { throw CSimpleException("the check failed"); }
};

CMetaReader *MakeThrowingCheckReader(CStream &strm)
{
  return new CThrowingCheckReader(strm);
}
} // namespace

TEST_F(MetaFiles, ATextReaderWhoseCheckThrowsIsDeleted)
{
  const MetaWriterFactory pWriter = mdGetTextWriterFactory();
  const MetaReaderFactory pReader = mdGetTextReaderFactory();
  mdSetTextFormFactories(pWriter, MakeThrowingCheckReader);
  const std::vector<char> ab = {'n', 'o', 't', ' ', 'm', 'e', 't', 'a'};
  const ReadOutcome ro = ReadThrough(ab, true);
  mdSetTextFormFactories(pWriter, pReader);
  EXPECT_FALSE(ro.ro_mp.IsValid());
  EXPECT_EQ(ro.ro_strError, "the check failed");
  EXPECT_EQ(_ctCheckingReaders, 0);
}
