// The background loader: a request for a small file the system has cached until the resource is
// bound (goal: median at most 2 ms) against loading it on the calling thread; how many small
// files the loader reads per second (at least 500); how soon a waiting main thread wakes once
// its load is bound (median at most 0.2 ms) against a bare thread woken by an event; UpdateLoader
// with 1,000 queued post-load tasks of 1 ms (within 10-12 ms every frame); proxy lookup among
// 10,000 proxies (at most 10 us) against a std::unordered_map; resFreeUnusedProxies of 10,000
// (at most 5 ms).
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

class CBnLoadResource : public CResource {
  MD_DECLARE_CLASS(CBnLoadResource)
  long blr_iValue = 0;
  CString blr_strText;
};

MD_CLASS_BEGIN(CBnLoadResource, CResource, 1)
MD_MEMBER(blr_iValue, 0, "Value")
MD_MEMBER(blr_strText, 0, "Text")
MD_CLASS_END()

// When the last load's file type finished reading, for the wake-up figure.
double volatile _bn_dLoadEnd = 0;

// "*.wake" files: metadata files whose load notes when it ends.
class CBnWakeFileType : public CResourceFileType {
  MD_DECLARE_CLASS(CBnWakeFileType)
  CBnWakeFileType() { Register(); }
  long GetLoadPriority(void) override { return 5; }
  int CanSaveFile(CResourceFile *) override { return 0; }
  void SaveFile_t(CResourceFile *) override {}
  int CanLoadFileName(const CString &strFileName) override
  {
    return strMatches(strFileName, "*.wake");
  }
  int CanLoadStream_t(CStream *) override { return 1; }
  CResourceFile *LoadFile_t(CStream *) override
  {
    sysSleep(2); // the main thread is asleep by now
    CResourceFile *prf = new CResourceFile;
    prf->RegisterResource(new CBnLoadResource);
    _bn_dLoadEnd = Now();
    return prf;
  }
};

MD_CLASS_BEGIN(CBnWakeFileType, CResourceFileType, 1)
MD_CLASS_END()

CString FileName(const char *strKind, long i)
{
  return strFormat("Bench/Loader/%1%2.rsc", strKind, fmtSpec(i, "04"));
}

void WriteSmallFiles(const char *strKind, long ct)
{
  for (long i = 0; i < ct; i++) {
    CResourceFile *prf = new CResourceFile;
    prf->SetFileName(FileName(strKind, i));
    CBnLoadResource *prs = new CBnLoadResource;
    prs->blr_iValue = i;
    prs->blr_strText = "a small resource";
    prf->RegisterResource(prs);
    prf->SaveFile_t();
    delete prf;
  }
}

void FreeEverything(void)
{
  resFreeUnusedProxies();
  resFreeUnusedStockTrivial();
}

void MeasureRequests(void)
{
  const long ctFiles = 40;
  WriteSmallFiles("Small", ctFiles);
  WriteSmallFiles("Direct", ctFiles);
  // Per round: the median time of one request over all files, through the loader (ours) and
  // loaded on the calling thread (the reference).
  Comparison c = Interleave(
      ctDefaultRounds,
      [&]() {
        std::vector<double> a;
        for (long i = 0; i < ctFiles; i++) {
          const double dStart = Now();
          Ptr<CResource> prs = resObtainResource(CBnLoadResource::md_pdtDataType, ROM_LOADFIRST, 0,
                                                 0, FileName("Small", i), "");
          a.push_back((Now() - dStart) * 1e6);
          if (prs == nullptr) printf("  (a load failed!)\n");
        }
        FreeEverything();
        return Summarise(a).dMedian;
      },
      [&]() {
        std::vector<double> a;
        for (long i = 0; i < ctFiles; i++) {
          const double dStart = Now();
          CResourceFile *prf = resObtainFileInternal_t(FileName("Direct", i));
          a.push_back((Now() - dStart) * 1e6);
          Keep(prf);
        }
        FreeEverything();
        return Summarise(a).dMedian;
      });
  Report("request to bound, small cached file", c, "on the caller", "us");
}

void MeasureThroughput(void)
{
  const long ctFiles = 500;
  WriteSmallFiles("Many", ctFiles);
  std::vector<double> a;
  for (int iRound = 0; iRound < 7; iRound++) {
    std::vector<Ptr<CResource>> aprs;
    const double dStart = Now();
    for (long i = 0; i < ctFiles; i++) {
      aprs.push_back(resObtainResource(CBnLoadResource::md_pdtDataType, ROM_LOADLAST, 0, 0,
                                       FileName("Many", i), ""));
    }
    for (Ptr<CResource> &prs : aprs) {
      if (resAcquire(prs) == nullptr) printf("  (a load failed!)\n");
    }
    a.push_back((double)ctFiles / (Now() - dStart));
    aprs.clear();
    FreeEverything();
  }
  Report("small files read by the loader", Summarise(a), "/s");
}

struct WakeTarget {
  CSyncEvent wt_se;
  double volatile wt_dSet;
};

void WakeBare(void *pv)
{
  WakeTarget *pwt = (WakeTarget *)pv;
  sysSleep(2);
  pwt->wt_dSet = Now();
  pwt->wt_se.SetEvent();
}

void MeasureWakeUp(void)
{
  CBnWakeFileType bwft;
  for (int i = 0; i < 200; i++) {
    CStream strm;
    strm.OpenFile_t(strFormat("Bench/Loader/W%1.wake", i), "w");
    strm.Write_t("wake", 4);
  }
  long iNext = 0;
  Comparison c = Interleave(
      31,
      [&]() {
        const CString strName = strFormat("Bench/Loader/W%1.wake", iNext++ % 200);
        Ptr<CResource> prs =
            resObtainResource(CBnLoadResource::md_pdtDataType, ROM_LOADFIRST, 0, 0, strName, "");
        const double dWoken = Now();
        if (prs == nullptr) printf("  (a load failed!)\n");
        prs = nullptr;
        FreeEverything();
        return (dWoken - _bn_dLoadEnd) * 1e6;
      },
      [&]() {
        WakeTarget wt;
        wt.wt_se.InitEvent(0);
        thrCreateThread(&wt, WakeBare);
        wt.wt_se.WaitEvent();
        const double dWoken = Now();
        return (dWoken - wt.wt_dSet) * 1e6;
      });
  Report("main thread woken after its load ends", c, "bare event wake", "us");
}

class CBnSleepTask : public CResourceTask {
  MD_DECLARE_CLASS(CBnSleepTask)
  void OnExecute(CResource *) override
  {
    const double dEnd = Now() + 0.001;
    while (Now() < dEnd) {
    }
  }
};

MD_CLASS_BEGIN(CBnSleepTask, CResourceTask, 1)
MD_CLASS_END()

class CBnQueueTask : public CBaseTask {
  MD_DECLARE_CLASS(CBnQueueTask)
  CResource *bqt_prs = nullptr;
  void OnExecute(CTaskPool *) override
  {
    for (int i = 0; i < 1000; i++) mlAddPostLoadTask(bqt_prs, new CBnSleepTask);
  }
};

MD_CLASS_BEGIN(CBnQueueTask, CBaseTask, 1)
MD_CLASS_END()

void MeasureUpdateLoader(void)
{
  CBnLoadResource *prs = new CBnLoadResource;
  prs->AddRef();
  CBnQueueTask *pqt = new CBnQueueTask;
  pqt->bqt_prs = prs;
  mlPostLoadingTask(pqt, 0);
  while (mlCountPostLoadTasks() < 1000) sysSleep(1);
  CResourceLoader rl;
  rl.PrepareLoader(CBnLoadResource::md_pdtDataType, "Bench/Loader/Nothing.rsc");
  std::vector<double> a;
  while (mlCountPostLoadTasks() > 0) {
    const double dStart = Now();
    rl.UpdateLoader();
    a.push_back((Now() - dStart) * 1e3);
  }
  const double dMax = *std::max_element(a.begin(), a.end());
  // The last frame runs only what was left.
  a.pop_back();
  Report("UpdateLoader frame, 1,000 tasks of 1 ms", Summarise(a), "ms");
  printf("%-44s %9.1f ms over %d frames\n", "  the longest frame", dMax, (int)a.size() + 1);
  prs->RemRef();
}

void MeasureProxies(void)
{
  const long ctProxies = 10000;
  std::vector<CString> aNames;
  std::unordered_map<std::string, CResourceProxy *> mapProxies;
  std::vector<Ptr<CResourceProxy>> aprp;
  for (long i = 0; i < ctProxies; i++) {
    aNames.push_back(FileName("Proxy", i));
    aprp.push_back(mlScheduleResourceLoadByName(ROM_DELAYED, 0, 0, CBnLoadResource::md_pdtDataType,
                                                aNames.back(), "Main"));
    mapProxies[std::string((const char *)aNames.back()) + "|Main"] = aprp.back();
  }
  const CString strMain = "Main";
  long iNext = 0;
  Comparison c = CompareNs(
      100000,
      [&]() {
        iNext = (iNext + 7919) % ctProxies;
        Keep(resFindProxyByName(CBnLoadResource::md_pdtDataType, aNames[iNext], strMain));
      },
      [&]() {
        iNext = (iNext + 7919) % ctProxies;
        Keep(mapProxies.find(std::string((const char *)aNames[iNext]) + "|Main"));
      });
  Report("proxy lookup among 10,000", c, "unordered_map", "ns");
  aprp.clear();
  FreeEverything();

  std::vector<double> a;
  for (int iRound = 0; iRound < ctDefaultRounds; iRound++) {
    for (long i = 0; i < ctProxies; i++) {
      mlScheduleResourceLoadByName(ROM_DELAYED, 0, 0, CBnLoadResource::md_pdtDataType, aNames[i],
                                   "Main");
    }
    const double dStart = Now();
    resFreeUnusedProxies();
    a.push_back((Now() - dStart) * 1e3);
    if (resCountResourceProxies() != 0) printf("  (proxies were kept!)\n");
  }
  Report("resFreeUnusedProxies of 10,000", Summarise(a), "ms");
}

// Whether the measure was asked for: all of them without arguments, else those named.
bool Wanted(int argc, char **argv, const char *strMeasure)
{
  if (argc < 2) return true;
  for (int i = 1; i < argc; i++) {
    if (strcmp(argv[i], strMeasure) == 0) return true;
  }
  return false;
}

} // namespace

// Arguments name the measures to run (requests, throughput, wake, update, proxies); none runs
// them all.
int main(int argc, char **argv)
{
  CLockOutputs lo;
  mdUpdateTypeTables();
  thrStartMultiThreading();
  thrStartMultiThreadingSystem();
  mlStartResourceLoader();
  filCreateDirectoryPath("Bench/Loader/x");
  if (Wanted(argc, argv, "requests")) MeasureRequests();
  if (Wanted(argc, argv, "throughput")) MeasureThroughput();
  if (Wanted(argc, argv, "wake")) MeasureWakeUp();
  if (Wanted(argc, argv, "update")) MeasureUpdateLoader();
  if (Wanted(argc, argv, "proxies")) MeasureProxies();
  mlStopResourceLoader();
  thrStopMultiThreadingSystem();
  thrStopMultiThreading();
  return 0;
}
