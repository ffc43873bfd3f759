// strTranslate with a table of a few thousand entries loaded: hits and misses should take 100 ns
// or less. The reference is a lookup of the same keys in a std::unordered_map.
#include "BenchSupport.h"
#include "core/Core.h"

#include <string>
#include <unordered_map>
#include <vector>

using namespace QuennelEngine;
using namespace QuennelEngine::Bench;

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
  {
    CStream strm;
    strm.OpenFile_t("Bench.tbl", "w");
    strm.Write_t(strTable.data(), (long)strTable.size());
  }
  double dStart = Now();
  strLoadTranslationTable_t("Bench.tbl");
  printf("Loading a table of %d entries: %.2f ms\n", ctEntries, (Now() - dStart) * 1000.0);

  // Texts as the code writes them: prefix, key, default.
  std::vector<std::string> astrHits, astrMisses, astrKeys;
  for (int i = 0; i < 64; i++) {
    int iEntry = (i * 61) % ctEntries;
    std::string strKey =
        "Module" + std::to_string(iEntry % 17) + ".SomeKeyName" + std::to_string(iEntry);
    astrKeys.push_back(strKey);
    astrHits.push_back("DOZU" + strKey + "=Default text");
    astrMisses.push_back("DOZUModule" + std::to_string(i % 17) + ".MissingKey" + std::to_string(i) +
                         "=Default text");
  }
  const long ctIter = 2000000;
  int i = 0;
  volatile char chSink = 0;
  double dHit = NsPerOp(ctIter, [&] { chSink += strTranslate(astrHits[i++ & 63].c_str())[0]; });
  double dMiss = NsPerOp(ctIter, [&] { chSink += strTranslate(astrMisses[i++ & 63].c_str())[0]; });
  double dRef = NsPerOp(ctIter, [&] {
    const std::string &strText = astrHits[i++ & 63];
    size_t iEquals = strText.find('=');
    auto it = mapRef.find(strText.substr(4, iEquals - 4));
    chSink += it != mapRef.end() ? it->second[0] : strText[iEquals + 1];
  });
  Report("strTranslate hit (4000 entries)", dHit, "unordered_map", dRef);
  Report("strTranslate miss (4000 entries)", dMiss, "unordered_map", dRef);

  dStart = Now();
  const int ctReloads = 20;
  for (int iReload = 0; iReload < ctReloads; iReload++) {
    strUnloadTranslationTable_t("Bench.tbl");
    strLoadTranslationTable_t("Bench.tbl");
  }
  printf("Unloading and loading it again: %.2f ms\n", (Now() - dStart) * 1000.0 / ctReloads);
  strUnloadTranslationTable_t("Bench.tbl");
  double dNone = NsPerOp(ctIter, [&] { chSink += strTranslate(astrHits[i++ & 63].c_str())[0]; });
  Report("strTranslate without tables", dNone);
  printf("Goal: hit and miss in 100 ns or less: %s\n",
         dHit <= 100.0 && dMiss <= 100.0 ? "met" : "NOT MET");

  CString strSoftRoot = CString("$") + filGetSysRootDir();
  strReplaceSubstrA(strSoftRoot, "\\", "/");
  try {
    filDeleteDirectory_t(strSoftRoot);
  } catch (CException &) {
  }
  filSetSysRootDir(strOldRoot);
  return 0;
}
