// Text metadata files against RapidJSON on an equivalent document, and against the binary form
// of the same graph: 200,000 small objects written and read through memory streams, rounds
// interleaved. Prints the text form's throughput (MB of text per second) beside the medians.
#include "BenchSupport.h"
#include "core/Core.h"

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <stdio.h>

#include <string>
#include <vector>

using namespace QuennelEngine;
using namespace QuennelEngine::Bench;

namespace {

class CMtNode : public CObject {
  MD_DECLARE_CLASS(CMtNode)
  long mn_iA = 0;
  FLOAT mn_fB = 0;
  long mn_iC = 0;
  CMtNode *mn_pNext = nullptr; // not owned: inside the graph
  CString mn_strName;
};

class CMtGraph : public CObject {
  MD_DECLARE_CLASS(CMtGraph)
  ~CMtGraph()
  {
    for (long i = 0; i < mg_sapNodes.Count(); i++) delete mg_sapNodes[i];
  }
  CStaticArray<CMtNode *> mg_sapNodes;
};

MD_CLASS_BEGIN(CMtNode, CObject, 1)
MD_MEMBER(mn_iA, 0, "A")
MD_MEMBER(mn_fB, 0, "B")
MD_MEMBER(mn_iC, 0, "C")
MD_MEMBER(mn_pNext, 0, "Next")
MD_MEMBER(mn_strName, 0, "Name")
MD_CLASS_END()

MD_CLASS_BEGIN(CMtGraph, CObject, 1)
MD_MEMBER(mg_sapNodes, SMF_OWNED, "Nodes")
MD_CLASS_END()

// The same graph as a JSON document holds it: the reference as an index.
struct SJsonNode {
  int a, c, next;
  float b;
  std::string name;
};

CMtGraph *MakeGraph(long ct)
{
  CMtGraph *pg = new CMtGraph;
  pg->mg_sapNodes.New(ct);
  for (long i = 0; i < ct; i++) {
    CMtNode *pn = new CMtNode;
    pn->mn_iA = i;
    pn->mn_fB = i * 0.5f;
    pn->mn_iC = -i;
    pn->mn_strName = strFormat("node %1", i);
    pg->mg_sapNodes[i] = pn;
  }
  for (long i = 0; i < ct; i++) pg->mg_sapNodes[i]->mn_pNext = pg->mg_sapNodes[(i * 7 + 1) % ct];
  return pg;
}

std::vector<SJsonNode> MakeJsonGraph(long ct)
{
  std::vector<SJsonNode> a(ct);
  for (long i = 0; i < ct; i++) {
    a[i] =
        SJsonNode{(int)i, (int)-i, (int)((i * 7 + 1) % ct), i * 0.5f, "node " + std::to_string(i)};
  }
  return a;
}

std::string Write(CMetaPointer mp, int bText, double &dMs)
{
  md_bSaveTextFiles = bText;
  CStream strm;
  strm.CreateMemoryStream();
  const double d = Now();
  mdInternalWrite_t(strm, mp);
  dMs = (Now() - d) * 1e3;
  md_bSaveTextFiles = 0;
  std::string str(strm.GetSize(), '\0');
  strm.SeekBeg_t(0);
  strm.Read_t(&str[0], (long)str.size());
  return str;
}

double Read(const std::string &str)
{
  CStream strm;
  strm.CreateMemoryStream_t(str.data(), (long)str.size());
  const double d = Now();
  CMetaPointer mp = mdInternalRead_t(strm);
  const double dMs = (Now() - d) * 1e3;
  mdDelete(mp);
  return dMs;
}

} // namespace

int main()
{
  mdUpdateTypeTables();
  const long ctNodes = 200000;
  const int ctRounds = 5;
  CMtGraph *pg = MakeGraph(ctNodes);
  CMetaPointer mpGraph(CMtGraph::md_pdtDataType, static_cast<CObject *>(pg));
  std::vector<SJsonNode> aJson = MakeJsonGraph(ctNodes);

  std::string strText, strBinary, strJson;
  double dMs;
  Comparison cWrite = Interleave(
      ctRounds,
      [&] {
        strText = Write(mpGraph, 1, dMs);
        return dMs;
      },
      [&] {
        const double d = Now();
        rapidjson::StringBuffer sb;
        rapidjson::Writer<rapidjson::StringBuffer> w(sb);
        w.StartArray();
        for (const SJsonNode &n : aJson) {
          w.StartObject();
          w.Key("A");
          w.Int(n.a);
          w.Key("B");
          w.Double(n.b);
          w.Key("C");
          w.Int(n.c);
          w.Key("Next");
          w.Int(n.next);
          w.Key("Name");
          w.String(n.name.c_str(), (rapidjson::SizeType)n.name.size());
          w.EndObject();
        }
        w.EndArray();
        strJson.assign(sb.GetString(), sb.GetSize());
        return (Now() - d) * 1e3;
      });
  Report("text write 200,000 nodes", cWrite, "RapidJSON write", "ms");
  printf("  = %.0f MB/s of text (%ld bytes; JSON %ld bytes)\n",
         (double)strText.size() / 1e6 / (cWrite.sOurs.dMedian / 1e3), (long)strText.size(),
         (long)strJson.size());

  Comparison cRead = Interleave(
      ctRounds, [&] { return Read(strText); },
      [&] {
        const double d = Now();
        rapidjson::Document doc;
        doc.Parse(strJson.c_str(), strJson.size());
        std::vector<SJsonNode> a;
        a.reserve(doc.Size());
        for (const rapidjson::Value &v : doc.GetArray()) {
          a.push_back(SJsonNode{v["A"].GetInt(), v["C"].GetInt(), v["Next"].GetInt(),
                                (float)v["B"].GetDouble(), v["Name"].GetString()});
        }
        Keep(a.size());
        return (Now() - d) * 1e3;
      });
  Report("text read 200,000 nodes", cRead, "RapidJSON parse", "ms");
  printf("  = %.0f MB/s of text\n", (double)strText.size() / 1e6 / (cRead.sOurs.dMedian / 1e3));

  // The same graph in both forms: how much the text form costs over the binary one.
  Comparison cWriteForms = Interleave(
      ctRounds,
      [&] {
        Write(mpGraph, 1, dMs);
        return dMs;
      },
      [&] {
        strBinary = Write(mpGraph, 0, dMs);
        return dMs;
      });
  Report("text write against binary write", cWriteForms, "binary write", "ms");
  Comparison cReadForms = Interleave(
      ctRounds, [&] { return Read(strText); }, [&] { return Read(strBinary); });
  Report("text read against binary read", cReadForms, "binary read", "ms");
  printf("  text costs %.1fx the binary time to write, %.1fx to read (sizes %ld and %ld bytes)\n",
         1.0 / cWriteForms.sRatio.dMedian, 1.0 / cReadForms.sRatio.dMedian, (long)strText.size(),
         (long)strBinary.size());
  delete pg;
  return 0;
}
