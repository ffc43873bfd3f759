// The file CRC table with 16000 names that all collide in the text hash against 16000 ordinary
// names, interleaved: recording every name and then the combined CRC of a list of all of them.
// The two should take times of the same order.
#include "BenchSupport.h"
#include "core/Core.h"

#include <string>
#include <vector>

using namespace QuennelEngine;
using namespace QuennelEngine::Bench;

namespace {

const long _ctNames = 16000;

// Names that all have one strGetHash: seven pairs, each one of four with equal first * 16 +
// second, so every pair leaves the hash where any other would.
CString CollidingName(long i)
{
  static const char *const astrPairs[4] = {"AQ", "BA", "C1", "D!"};
  CString str = "Data/";
  for (int iPair = 0; iPair < 7; iPair++, i /= 4) str += astrPairs[i % 4];
  return str + ".BIN";
}

CString OrdinaryName(long i)
{
  return strFormat("Data/Textures/File%1.tex", i);
}

struct NameSet {
  std::vector<CString> ns_astrNames;
  std::string ns_strList; // the names as a stream's file list
};

template <class F> NameSet MakeSet(F fnName)
{
  NameSet ns;
  CStream strm;
  strm.CreateMemoryStream();
  strm.WriteValue_t(_ctNames);
  for (long i = 0; i < _ctNames; i++) {
    ns.ns_astrNames.push_back(fnName(i));
    ns.ns_astrNames.back().Write_t(strm);
  }
  ns.ns_strList.resize(strm.GetSize());
  strm.SeekBeg_t(0);
  strm.Read_t(&ns.ns_strList[0], (long)ns.ns_strList.size());
  return ns;
}

// Milliseconds to record every name of the set in a fresh table and take the CRC of its list.
double RecordMs(const NameSet &ns)
{
  const double dStart = Now();
  CRCT_Init();
  for (long i = 0; i < _ctNames; i++) CRCT_AddFile_t(ns.ns_astrNames[i], (unsigned long)i + 1);
  CStream strm;
  strm.CreateMemoryStream_t(ns.ns_strList.data(), (long)ns.ns_strList.size());
  Keep(CRCT_MakeCRCForFiles_t(strm));
  const double dMs = (Now() - dStart) * 1000.0;
  CRCT_Clear();
  return dMs;
}

} // namespace

int main()
{
  const NameSet nsColliding = MakeSet(CollidingName);
  const NameSet nsOrdinary = MakeSet(OrdinaryName);
  CRCT_bGatherCRCs = 1;
  Comparison c = Interleave(
      ctDefaultRounds, [&] { return RecordMs(nsColliding); }, [&] { return RecordMs(nsOrdinary); });
  Report("16000 colliding names, recorded and listed", c, "16000 ordinary names", "ms");
  printf("Goal: colliding names take the same order of time: %s\n",
         c.sRatio.dMedian >= 0.25 ? "met" : "NOT MET");
  CRCT_bGatherCRCs = 0;
  return 0;
}
