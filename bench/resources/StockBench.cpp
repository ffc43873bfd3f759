// The stock: resFindFileInStock among 10,000 files (goal: at most 300 ns) against a
// std::unordered_map of the same names, and the free functions over 1,000 files of 100
// resources each, when every file is held and when every file goes (goals: resFreeUnusedStock at
// most 200 ms, resFreeUnusedStockTrivial at most 5 ms), the freeing against deleting the same
// files by hand.
#include "BenchSupport.h"
#include "core/Core.h"

#include <stdio.h>
#include <string.h>

#include <string>
#include <unordered_map>
#include <vector>

using namespace QuennelEngine;
using namespace QuennelEngine::Bench;

namespace {

class CBnResource : public CResource {
  MD_DECLARE_CLASS(CBnResource)
  Ptr<CResource> br_pNext;
  long br_iValue = 0;
};

MD_CLASS_BEGIN(CBnResource, CResource, 1)
MD_MEMBER(br_pNext, 0, "Next")
MD_MEMBER(br_iValue, 0, "Value")
MD_CLASS_END()

CString NameOf(long i)
{
  return strFormat("Bench/Stock/File%1.rsc", fmtSpec(i, "05"));
}

void CompareFind(void)
{
  const long ctFiles = 10000;
  std::vector<CResourceFile *> aFiles;
  std::unordered_map<std::string, CResourceFile *> mapFiles;
  std::vector<CString> aNames;
  std::vector<std::string> aKeys;
  for (long i = 0; i < ctFiles; i++) {
    CResourceFile *prf = new CResourceFile;
    prf->SetFileName(NameOf(i));
    aFiles.push_back(prf);
    aNames.push_back(NameOf(i));
    aKeys.push_back((const char *)aNames.back());
    mapFiles[aKeys.back()] = prf;
  }
  // Lookups wander over the whole stock.
  long iNext = 0;
  CString strResolved;
  Comparison c = CompareNs(
      200000,
      [&]() {
        iNext = (iNext + 7919) % ctFiles;
        Keep(resFindFileInStock(aNames[iNext], strResolved));
      },
      [&]() {
        iNext = (iNext + 7919) % ctFiles;
        Keep(mapFiles.find(aKeys[iNext])->second);
      });
  Report("resFindFileInStock, 10,000 files", c, "unordered_map find");
  for (CResourceFile *prf : aFiles) delete prf;
}

const long ctStockFiles = 1000;
const long ctPerFile = 100;

// 1,000 files of 100 resources. With `bLinked`, each resource holds the next of its file and
// each file's first resource holds the previous file's last; with `bHeld`, the test holds each
// file's first resource too.
struct BenchStock {
  std::vector<Ptr<CResource>> bs_aHolders;
  BenchStock(bool bLinked, bool bHeld)
  {
    CBnResource *prsPreviousLast = nullptr;
    for (long iFile = 0; iFile < ctStockFiles; iFile++) {
      CResourceFile *prf = new CResourceFile;
      prf->SetFileName(NameOf(iFile));
      CBnResource *prsPrevious = nullptr;
      CBnResource *prsFirst = nullptr;
      for (long i = 0; i < ctPerFile; i++) {
        CBnResource *prs = new CBnResource;
        prf->RegisterResource(prs);
        if (bLinked && prsPrevious != nullptr) prsPrevious->br_pNext = prs;
        if (prsFirst == nullptr) prsFirst = prs;
        prsPrevious = prs;
      }
      if (bLinked && prsPreviousLast != nullptr) prsFirst->br_pNext = prsPreviousLast;
      prsPreviousLast = prsPrevious;
      if (bHeld) bs_aHolders.push_back(Ptr<CResource>(prsFirst));
    }
  }
};

long StockCount(void)
{
  return resListResourceFiles().Count();
}

// Milliseconds (or seconds times `dScale`) of one call of `fn` in each of the rounds; `fnSetUp`
// runs before each, untimed.
template <class S, class F> Spread MeasureMs(S fnSetUp, F fn, double dScale = 1e3)
{
  std::vector<double> a;
  for (int iRound = 0; iRound < ctDefaultRounds; iRound++) {
    fnSetUp();
    const double dStart = Now();
    fn();
    a.push_back((Now() - dStart) * dScale);
  }
  return Summarise(a);
}

void DeleteByHand(void)
{
  CDynamicContainer<CResourceFile> dc = resListResourceFiles();
  for (long i = dc.Count() - 1; i >= 0; i--) delete dc.Pointer(i);
}

// Milliseconds of ours against the reference, interleaved; each round builds its stock first,
// untimed.
template <class S, class A, class B> Comparison CompareMs(S fnSetUp, A fnOurs, B fnReference)
{
  auto fnTime = [&](auto fn) {
    fnSetUp();
    const double dStart = Now();
    fn();
    return (Now() - dStart) * 1e3;
  };
  return Interleave(
      ctDefaultRounds, [&] { return fnTime(fnOurs); }, [&] { return fnTime(fnReference); });
}

void MeasureFreeing(void)
{
  // Every file held: nothing goes, the stock stays for every round.
  {
    BenchStock bs(true, true);
    Report("resFreeUnusedStock, 1,000 x 100, all held", MeasureMs([] {}, resFreeUnusedStock), "ms");
    Report("resFreeUnusedStockTrivial, all held", MeasureMs([] {}, resFreeUnusedStockTrivial, 1e6),
           "us");
    if (StockCount() != ctStockFiles) printf("  (files were freed that are held!)\n");
    bs.bs_aHolders.clear();
    resFreeUnusedStock();
  }
  // Every file goes: a fresh stock for each round. Deleting the files by hand is the reference:
  // the clearing of each file is the same either way.
  BenchStock *pbs = nullptr;
  auto fnLinked = [&] {
    delete pbs;
    pbs = new BenchStock(true, false);
  };
  Report("resFreeUnusedStock, 1,000 x 100, all freed",
         CompareMs(fnLinked, resFreeUnusedStock, DeleteByHand), "deleting by hand", "ms");
  if (StockCount() != 0) printf("  (files were kept that nothing holds!)\n");
  auto fnLoose = [&] {
    delete pbs;
    pbs = new BenchStock(false, false);
  };
  Report("resFreeUnusedStockTrivial, all freed",
         CompareMs(fnLoose, resFreeUnusedStockTrivial, DeleteByHand), "deleting by hand", "ms");
  if (StockCount() != 0) printf("  (files were kept that nothing holds!)\n");
  delete pbs;
}

} // namespace

// With "find" as its argument, only the look-up is measured.
int main(int argc, char **argv)
{
  const bool bFindOnly = argc > 1 && strcmp(argv[1], "find") == 0;
  CLockOutputs lo;
  mdUpdateTypeTables();
  thrStartMultiThreading();
  thrStartMultiThreadingSystem();
  CompareFind();
  if (!bFindOnly) MeasureFreeing();
  thrStopMultiThreadingSystem();
  thrStopMultiThreading();
  return 0;
}
