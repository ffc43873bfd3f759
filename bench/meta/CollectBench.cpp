// Collection and copy of object graphs: objects collected per second at sizes from 10,000 to
// 1,000,000 (the cost per object should stay flat), and mdCopy of a 10,000-object graph against a
// hand-written clone of the same graph.
#include "BenchSupport.h"
#include "core/Core.h"

#include <stdio.h>

#include <vector>

using namespace QuennelEngine;
using namespace QuennelEngine::Bench;

namespace {

class CBnNode : public CObject {
  MD_DECLARE_CLASS(CBnNode)
  CBnNode *bn_pNeighbour = nullptr; // not owned: inside the graph
  long bn_iValue = 0;
  FLOAT bn_fWeight = 0;
};

// Owns its nodes.
class CBnGraph : public CObject {
  MD_DECLARE_CLASS(CBnGraph)
  ~CBnGraph()
  {
    for (long i = 0; i < bg_sapNodes.Count(); i++) delete bg_sapNodes[i];
  }
  CStaticArray<CBnNode *> bg_sapNodes;
};

MD_CLASS_BEGIN(CBnNode, CObject, 1)
MD_MEMBER(bn_pNeighbour, 0, "Neighbour")
MD_MEMBER(bn_iValue, 0, "Value")
MD_MEMBER(bn_fWeight, 0, "Weight")
MD_CLASS_END()

MD_CLASS_BEGIN(CBnGraph, CObject, 1)
MD_MEMBER(bg_sapNodes, SMF_OWNED, "Nodes")
MD_CLASS_END()

CBnGraph *MakeGraph(long ct)
{
  CBnGraph *pg = new CBnGraph;
  pg->bg_sapNodes.New(ct);
  for (long i = 0; i < ct; i++) {
    pg->bg_sapNodes[i] = new CBnNode;
    pg->bg_sapNodes[i]->bn_iValue = i;
  }
  for (long i = 0; i < ct; i++)
    pg->bg_sapNodes[i]->bn_pNeighbour = pg->bg_sapNodes[(i * 7 + 1) % ct];
  return pg;
}

// What a programmer writes by hand for this graph: new nodes, and neighbours found by index.
CBnGraph *CloneByHand(const CBnGraph *pg)
{
  const long ct = pg->bg_sapNodes.Count();
  CBnGraph *pgCopy = new CBnGraph;
  pgCopy->bg_sapNodes.New(ct);
  std::vector<long> aiIndex(ct);
  for (long i = 0; i < ct; i++) {
    const CBnNode *pn = pg->bg_sapNodes[i];
    CBnNode *pnCopy = new CBnNode;
    pnCopy->bn_iValue = pn->bn_iValue;
    pnCopy->bn_fWeight = pn->bn_fWeight;
    pgCopy->bg_sapNodes[i] = pnCopy;
    aiIndex[i] = pn->bn_pNeighbour->bn_iValue;
  }
  for (long i = 0; i < ct; i++)
    pgCopy->bg_sapNodes[i]->bn_pNeighbour = pgCopy->bg_sapNodes[aiIndex[i]];
  return pgCopy;
}

double CollectSeconds(CBnGraph *pg)
{
  const double dStart = Now();
  CMetaContextScope mcs;
  mdGetMetaSwitches().ms_bCollectForCopying = 1;
  mdSetupMetaIndex();
  mdCollectReference_t(CMetaPointer(CBnGraph::md_pdtDataType, pg), SMF_OWNED);
  _mdCollectClosure_t();
  Keep(mdGetObjectCount());
  mdCleanupMetaIndex();
  return Now() - dStart;
}

} // namespace

int main()
{
  mdUpdateTypeTables();
  printf("Collection and copy\n");
  for (long ct : {10000L, 100000L, 1000000L}) {
    CBnGraph *pg = MakeGraph(ct);
    std::vector<double> adNsPerObject;
    const int ctRounds = ct >= 1000000 ? 5 : 15;
    for (int i = 0; i < ctRounds; i++) adNsPerObject.push_back(CollectSeconds(pg) * 1e9 / (ct + 1));
    const Spread s = Summarise(adNsPerObject);
    char strWhat[64];
    sprintf(strWhat, "collect %ld objects, per object", ct + 1);
    Report(strWhat, s);
    printf("%-44s %9.2f million objects per second\n", "", 1000.0 / s.dMedian);
    delete pg;
  }

  CBnGraph *pg = MakeGraph(10000);
  Comparison c = Interleave(
      15,
      [&] {
        const double dStart = Now();
        CMetaPointer mp;
        mdCopy(mp, CMetaPointer(CBnGraph::md_pdtDataType, pg));
        const double d = Now() - dStart;
        mdDelete(mp);
        return d * 1e6;
      },
      [&] {
        const double dStart = Now();
        CBnGraph *pgCopy = CloneByHand(pg);
        const double d = Now() - dStart;
        delete pgCopy;
        return d * 1e6;
      });
  Report("mdCopy of a 10,001-object graph", c, "clone by hand", "us");
  printf("%-44s mdCopy takes %.2fx the hand-written clone\n", "", 1.0 / c.sRatio.dMedian);
  delete pg;
  return 0;
}
