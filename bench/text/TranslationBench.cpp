// strTranslate with a table of a few thousand entries loaded: hits and misses should take 100 ns
// or less. The reference is a lookup of the same keys in a std::unordered_map, interleaved.
//
// Loading a table of keys that all collide in the text hash against loading one of ordinary keys
// of the same count: the two should take times of the same order.
#include "BenchSupport.h"
#include "core/Core.h"

#include <string>
#include <unordered_map>
#include <vector>

using namespace QuennelEngine;
using namespace QuennelEngine::Bench;

namespace {

void WriteTable(const char *strName, const std::string &strTable)
{
  CStream strm;
  strm.OpenFile_t(strName, "w");
  strm.Write_t(strTable.data(), (long)strTable.size());
}

// Keys that all have one strGetHashS: seven pairs, each one of five with equal first * 16 +
// second, so every pair leaves the hash where any other would.
std::string CollidingKey(long i)
{
  static const char *const astrPairs[5] = {"Aq", "Ba", "CQ", "DA", "E1"};
  std::string str = "Collide.";
  for (int iPair = 0; iPair < 7; iPair++, i /= 5) str += astrPairs[i % 5];
  return str;
}

// A table of `ctEntries` keys made by `fnKey`.
template <class F> std::string TableOf(long ctEntries, F fnKey)
{
  std::string str = std::to_string(ctEntries) + "\r\n";
  for (long i = 0; i < ctEntries; i++) {
    str += fnKey(i) + "=Translation number " + std::to_string(i) + "\r\n";
  }
  return str;
}

// Milliseconds to load a table (it is unloaded again after, untimed).
double LoadMs(const char *strName)
{
  const double dStart = Now();
  strLoadTranslationTable_t(strName);
  const double dMs = (Now() - dStart) * 1000.0;
  strUnloadTranslationTable_t(strName);
  return dMs;
}

} // namespace

int main()
{
  const int ctEntries = 4000;
  char strCwd[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, strCwd);
  CString strOldRoot = filGetSysRootDir();
  filSetSysRootDir(CString(strCwd) + "\\TrBench\\");
  CreateDirectoryA(filGetSysRootDir(), nullptr);

  std::string strTable = std::to_string(ctEntries) + "\r\n";
  std::unordered_map<std::string, std::string> mapRef;
  for (int i = 0; i < ctEntries; i++) {
    std::string strKey = "Module" + std::to_string(i % 17) + ".SomeKeyName" + std::to_string(i);
    std::string strValue = "Translation number " + std::to_string(i);
    strTable += strKey + "=" + strValue + "\r\n";
    mapRef[strKey] = strValue;
  }
  WriteTable("Bench.tbl", strTable);
  strLoadTranslationTable_t("Bench.tbl");

  // Texts as the code writes them: prefix, key, default.
  std::vector<std::string> astrHits, astrMisses;
  for (int i = 0; i < 64; i++) {
    int iEntry = (i * 61) % ctEntries;
    std::string strKey =
        "Module" + std::to_string(iEntry % 17) + ".SomeKeyName" + std::to_string(iEntry);
    astrHits.push_back("DOZU" + strKey + "=Default text");
    astrMisses.push_back("DOZUModule" + std::to_string(i % 17) + ".MissingKey" + std::to_string(i) +
                         "=Default text");
  }
  const long ctIter = 400000;
  int i = 0;
  volatile char chSink = 0;
  // The reference does what strTranslate does with a standard map: cut out the key, find it.
  auto Reference = [&](const std::vector<std::string> &astrTexts) {
    const std::string &strText = astrTexts[i++ & 63];
    size_t iEquals = strText.find('=');
    auto it = mapRef.find(strText.substr(4, iEquals - 4));
    chSink += it != mapRef.end() ? it->second[0] : strText[iEquals + 1];
  };
  Comparison cHit = CompareNs(
      ctIter, [&] { chSink += strTranslate(astrHits[i++ & 63].c_str())[0]; },
      [&] { Reference(astrHits); });
  Report("strTranslate hit (4000 entries)", cHit, "unordered_map");
  Comparison cMiss = CompareNs(
      ctIter, [&] { chSink += strTranslate(astrMisses[i++ & 63].c_str())[0]; },
      [&] { Reference(astrMisses); });
  Report("strTranslate miss (4000 entries)", cMiss, "unordered_map");
  strUnloadTranslationTable_t("Bench.tbl");
  std::vector<double> adReload;
  for (int iRound = 0; iRound < ctDefaultRounds; iRound++) adReload.push_back(LoadMs("Bench.tbl"));
  Report("Loading it again", Summarise(adReload), "ms");
  Report("strTranslate without tables",
         MeasureNs(ctIter, [&] { chSink += strTranslate(astrHits[i++ & 63].c_str())[0]; }));
  printf("Goal: hit and miss in 100 ns or less: %s\n",
         cHit.sOurs.dMedian <= 100.0 && cMiss.sOurs.dMedian <= 100.0 ? "met" : "NOT MET");

  // Colliding keys against ordinary ones, 30000 each, loaded in alternation.
  const long ctLoaded = 30000;
  WriteTable("Collide.tbl", TableOf(ctLoaded, CollidingKey));
  WriteTable("Ordinary.tbl", TableOf(ctLoaded, [](long iKey) {
               return "Module" + std::to_string(iKey % 17) + ".SomeKeyName" + std::to_string(iKey);
             }));
  Comparison cLoad = Interleave(
      ctDefaultRounds, [] { return LoadMs("Collide.tbl"); }, [] { return LoadMs("Ordinary.tbl"); });
  Report("Loading 30000 colliding keys", cLoad, "30000 ordinary keys", "ms");
  printf("Goal: colliding keys load in the same order of time: %s\n",
         cLoad.sRatio.dMedian >= 0.25 ? "met" : "NOT MET");

  CString strSoftRoot = CString("$") + filGetSysRootDir();
  strReplaceSubstrA(strSoftRoot, "\\", "/");
  try {
    filDeleteDirectory_t(strSoftRoot);
  } catch (CException &) {
  }
  filSetSysRootDir(strOldRoot);
  return 0;
}
