// Metadata files against cereal's binary archive on the same graph, through memory streams:
// 1,000,000 small objects written and read (also when the file's layout of the node differs from
// the program's, which cereal cannot read at all), a 16 MiB FLOAT array against memcpy, and the
// share of the type tables in a file of more than 100 KB.
#include "BenchSupport.h"
#include "core/Core.h"

#include <cereal/archives/binary.hpp>
#include <cereal/types/vector.hpp>

#include <stdio.h>
#include <string.h>

#include <sstream>
#include <string>
#include <vector>

using namespace QuennelEngine;
using namespace QuennelEngine::Bench;

namespace {

class CMfNode : public CObject {
  MD_DECLARE_CLASS(CMfNode)
  long mn_iA = 0;
  FLOAT mn_fB = 0;
  long mn_iC = 0;
  CMfNode *mn_pNext = nullptr; // not owned: inside the graph
  long mn_iD = 0;
};

class CMfGraph : public CObject {
  MD_DECLARE_CLASS(CMfGraph)
  ~CMfGraph()
  {
    for (long i = 0; i < mg_sapNodes.Count(); i++) delete mg_sapNodes[i];
  }
  CStaticArray<CMfNode *> mg_sapNodes;
};

class CMfFloats : public CObject {
  MD_DECLARE_CLASS(CMfFloats)
  CStaticArray<FLOAT> mf_saValues;
};

MD_CLASS_BEGIN(CMfNode, CObject, 1)
MD_MEMBER(mn_iA, 0, "A")
MD_MEMBER(mn_fB, 0, "B")
MD_MEMBER(mn_iC, 0, "C")
MD_MEMBER(mn_pNext, 0, "Next")
MD_MEMBER(mn_iD, 0, "D")
MD_CLASS_END()

MD_CLASS_BEGIN(CMfGraph, CObject, 1)
MD_MEMBER(mg_sapNodes, SMF_OWNED, "Nodes")
MD_CLASS_END()

MD_CLASS_BEGIN(CMfFloats, CObject, 1)
MD_MEMBER(mf_saValues, 0, "Values")
MD_CLASS_END()

// The same graph as cereal stores it: nodes by value, the reference as an index.
struct SCerealNode {
  long a, c, d, next;
  float b;
  template <class Archive> void serialize(Archive &ar) { ar(a, b, c, next, d); }
};

CMfGraph *MakeGraph(long ct)
{
  CMfGraph *pg = new CMfGraph;
  pg->mg_sapNodes.New(ct);
  for (long i = 0; i < ct; i++) {
    CMfNode *pn = new CMfNode;
    pn->mn_iA = i;
    pn->mn_fB = i * 0.5f;
    pn->mn_iC = -i;
    pn->mn_iD = i * 3;
    pg->mg_sapNodes[i] = pn;
  }
  for (long i = 0; i < ct; i++) pg->mg_sapNodes[i]->mn_pNext = pg->mg_sapNodes[(i * 7 + 1) % ct];
  return pg;
}

std::vector<SCerealNode> MakeCerealGraph(long ct)
{
  std::vector<SCerealNode> a(ct);
  for (long i = 0; i < ct; i++) a[i] = SCerealNode{i, -i, i * 3, (i * 7 + 1) % ct, i * 0.5f};
  return a;
}

double Seconds(double dStart)
{
  return Now() - dStart;
}

long FileSize(CMetaPointer mp)
{
  CStream strm;
  strm.CreateMemoryStream();
  mdInternalWrite_t(strm, mp);
  return strm.GetSize();
}

// The file with the node's members C and A swapped in its type record: the program then reads
// every node member by member from a layout that is not its own.
std::string SwapMembers(std::string str)
{
  const size_t iA = str.find("mn_iA");
  const size_t iC = str.find("mn_iC");
  if (iA != std::string::npos && iC != std::string::npos) {
    str[iA + 4] = 'C';
    str[iC + 4] = 'A';
  }
  return str;
}

} // namespace

int main(int argc, char **argv)
{
  mdUpdateTypeTables();
  const long ctNodes = 1000000;
  CMfGraph *pg = MakeGraph(ctNodes);
  std::vector<SCerealNode> aCereal = MakeCerealGraph(ctNodes);
  CMetaPointer mpGraph(CMfGraph::md_pdtDataType, static_cast<CObject *>(pg));

  // "write" or "read" only repeats that side of ours, for a profiler.
  if (argc > 1) {
    CStream strm;
    strm.CreateMemoryStream();
    mdInternalWrite_t(strm, mpGraph);
    std::string str(strm.GetSize(), 0);
    strm.SeekBeg_t(0);
    strm.Read_t(&str[0], (long)str.size());
    for (int i = 0; i < 10; i++) {
      CStream strmRound;
      if (strcmp(argv[1], "write") == 0) {
        strmRound.CreateMemoryStream();
        mdInternalWrite_t(strmRound, mpGraph);
      } else {
        strmRound.CreateMemoryStream_t(str.data(), (long)str.size());
        mdDelete(mdInternalRead_t(strmRound));
      }
    }
    delete pg;
    return 0;
  }

  std::string strOurs, strCereal;
  const int ctRounds = 9;
  Comparison cWrite = Interleave(
      ctRounds,
      [&] {
        CStream strm;
        strm.CreateMemoryStream();
        const double d = Now();
        mdInternalWrite_t(strm, mpGraph);
        const double dSeconds = Seconds(d);
        strOurs.resize(strm.GetSize());
        strm.SeekBeg_t(0);
        strm.Read_t(&strOurs[0], (long)strOurs.size());
        return dSeconds * 1e3;
      },
      [&] {
        std::ostringstream os;
        const double d = Now();
        {
          cereal::BinaryOutputArchive ar(os);
          ar(aCereal);
        }
        const double dSeconds = Seconds(d);
        strCereal = os.str();
        return dSeconds * 1e3;
      });
  Report("write 1,000,000 nodes", cWrite, "cereal", "ms");

  auto ReadOurs = [](const std::string &str) {
    CStream strm;
    strm.CreateMemoryStream_t(str.data(), (long)str.size());
    const double d = Now();
    CMetaPointer mp = mdInternalRead_t(strm);
    const double dSeconds = Seconds(d);
    mdDelete(mp);
    return dSeconds * 1e3;
  };
  auto ReadCereal = [&strCereal] {
    std::istringstream is(strCereal);
    std::vector<SCerealNode> a;
    const double d = Now();
    {
      cereal::BinaryInputArchive ar(is);
      ar(a);
    }
    const double dSeconds = Seconds(d);
    Keep(a.size());
    return dSeconds * 1e3;
  };
  Comparison cRead = Interleave(
      ctRounds, [&] { return ReadOurs(strOurs); }, ReadCereal);
  Report("read 1,000,000 nodes", cRead, "cereal", "ms");
  const std::string strChanged = SwapMembers(strOurs);
  Comparison cChanged = Interleave(
      ctRounds, [&] { return ReadOurs(strChanged); }, ReadCereal);
  Report("read 1,000,000 nodes, layout changed", cChanged, "cereal (same layout)", "ms");
  printf("file sizes: ours %ld bytes, cereal %ld bytes\n", (long)strOurs.size(),
         (long)strCereal.size());
  delete pg;

  // A plain array: one raw block each way.
  const long ctFloats = 4L << 20;
  CMfFloats floats;
  floats.mf_saValues.New(ctFloats);
  for (long i = 0; i < ctFloats; i++) floats.mf_saValues[i] = (FLOAT)i;
  CMetaPointer mpFloats(CMfFloats::md_pdtDataType, static_cast<CObject *>(&floats));
  std::vector<char> abCopy(ctFloats * sizeof(FLOAT));
  std::string strFloats;
  const double dMiB = (double)(ctFloats * sizeof(FLOAT)) / (1 << 20);
  Comparison cFloatWrite = Interleave(
      ctRounds,
      [&] {
        CStream strm;
        strm.CreateMemoryStream();
        strm.SetSize_t(ctFloats * 4 + 4096);
        strm.SeekBeg_t(0);
        const double d = Now();
        mdInternalWrite_t(strm, mpFloats);
        const double dSeconds = Seconds(d);
        strFloats.resize(strm.GetPosition());
        strm.SeekBeg_t(0);
        strm.Read_t(&strFloats[0], (long)strFloats.size());
        return dSeconds * 1e3;
      },
      [&] {
        // (into a new buffer, as the stream writes into new memory)
        const double d = Now();
        char *pch = (char *)memMAlloc(abCopy.size());
        memcpy(pch, &floats.mf_saValues[0], abCopy.size());
        Keep(pch[12345]);
        const double dSeconds = Seconds(d);
        memFree(pch);
        return dSeconds * 1e3;
      });
  Report("write 16 MiB FLOAT array", cFloatWrite, "new buffer + memcpy", "ms");
  printf("  = %.0f MB/s\n", dMiB * 1.048576 / (cFloatWrite.sOurs.dMedian / 1e3));
  Comparison cFloatRead = Interleave(
      ctRounds,
      [&] {
        CStream strm;
        strm.CreateMemoryStream_t(strFloats.data(), (long)strFloats.size());
        const double d = Now();
        CMetaPointer mp = mdInternalRead_t(strm);
        const double dSeconds = Seconds(d);
        mdDelete(mp);
        return dSeconds * 1e3;
      },
      [&] {
        // (into a new array, as a read makes a new object)
        const double d = Now();
        char *pch = (char *)memMAlloc(abCopy.size());
        memcpy(pch, abCopy.data(), abCopy.size());
        Keep(pch[12345]);
        const double dSeconds = Seconds(d);
        memFree(pch);
        return dSeconds * 1e3;
      });
  Report("read 16 MiB FLOAT array", cFloatRead, "new buffer + memcpy", "ms");
  printf("  = %.0f MB/s\n", dMiB * 1.048576 / (cFloatRead.sOurs.dMedian / 1e3));

  // The type tables: a file of one node holds them and hardly anything else.
  CMfGraph *pgOne = MakeGraph(1);
  CMfGraph *pgMany = MakeGraph(5000);
  const long slOne =
      FileSize(CMetaPointer(CMfGraph::md_pdtDataType, static_cast<CObject *>(pgOne)));
  const long slMany =
      FileSize(CMetaPointer(CMfGraph::md_pdtDataType, static_cast<CObject *>(pgMany)));
  printf("type tables and header: %ld bytes of a %ld-byte file (%.2f%%)\n", slOne, slMany,
         100.0 * slOne / slMany);
  delete pgOne;
  delete pgMany;
  return 0;
}
