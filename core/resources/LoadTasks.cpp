#include "core/resources/LoadTasks.h"

#include "core/frame/CodeGuard.h"
#include "core/frame/Console.h"
#include "core/frame/Exception.h"
#include "core/meta/DataTypeKinds.h"
#include "core/meta/MetaFiles.h"
#include "core/resources/LoadingPool.h"
#include "core/streams/Stream.h"
#include "core/text/Translation.h"
#include "core/threads/SyncLock.h"
#include "core/threads/TaskPool.h"
#include "core/threads/Threads.h"

#include <exception>

namespace QuennelEngine {

MD_CLASS_BEGIN(CLoadResourceTask, CBaseTask, 1)
MD_CLASS_END()

MD_CLASS_BEGIN(CMetaLoadTask, CBaseTask, 1)
MD_CLASS_END()

// The text of whatever a load threw.
static CString DescribeCurrentException(void)
{
  try {
    throw;
  } catch (CException &ex) {
    return ex.GetDescription();
  } catch (std::bad_alloc &) {
    return strTranslate("DOZUResourceLoader.OutOfMemory=Not enough memory to finish loading.");
  } catch (std::exception &ex) {
    return strFormat(strTranslate("DOZUResourceLoader.Unexpected=Unexpected error while loading: "
                                  "%1"),
                     ex.what());
  } catch (...) {
    return strTranslate("DOZUResourceLoader.Unknown=Unknown error while loading.");
  }
}

static CString CancelledText(void)
{
  return strTranslate("DOZUResourceLoader.Cancelled=Loading was cancelled.");
}

// ---- CLoadResourceTask ----

CLoadResourceTask::CLoadResourceTask(void)
    : lrt_bByID(0), lrt_iID((long)0xCDCDCDCD), lrt_strName("invalid"), lrt_pdtType(nullptr),
      lrt_ulRunningThread(0)
{
}

CLoadResourceTask::~CLoadResourceTask(void)
{
  ReleaseProxy();
}

void CLoadResourceTask::ReleaseProxy(void)
{
  CResourceProxy *prp = lrt_prpProxy;
  if (prp == nullptr) return;
  // A task that never bound (cancelled, or deleted unrun) still releases the waiters. Only this
  // task binds while the proxy names it, so the look and the binding need not share a hold.
  bool bBound;
  {
    CSyncLock sl(&prp->rp_smBind);
    bBound = prp->rp_ptskLoad != this;
  }
  if (!bBound) prp->BindLoadedResource(nullptr, CancelledText());
  lrt_prpProxy = nullptr;
}

void CLoadResourceTask::InitTaskByName(CResourceProxy *prp, CDataType *pdt, const CString &strPath,
                                       const CString &strName)
{
  lrt_prpProxy = prp;
  lrt_pdtType = pdt;
  lrt_strPath = strPath;
  lrt_strName = strName;
  lrt_bByID = 0;
  lrt_iID = (long)0xCDCDCDCD;
}

void CLoadResourceTask::InitTaskByID(CResourceProxy *prp, CDataType *pdt, const CString &strPath,
                                     long iID)
{
  lrt_prpProxy = prp;
  lrt_pdtType = pdt;
  lrt_strPath = strPath;
  lrt_strName = "invalid";
  lrt_bByID = 1;
  lrt_iID = iID;
}

void CLoadResourceTask::OnExecute(CTaskPool *)
{
  CResourceProxy *prp = lrt_prpProxy;
  if (prp == nullptr) return;
  lrt_ulRunningThread = thrGetCurrentThreadID();
  ResLoadRequest lr;
  lr.lr_pdt = lrt_pdtType;
  lr.lr_rom = ROM_LOADFIRST;
  lr.lr_bReportErrors = (prp->rp_ulFlags & CResourceProxy::RPF_REPORTERRORS) != 0;
  lr.lr_bCreateReplacement = (prp->rp_ulFlags & CResourceProxy::RPF_CREATEREPLACEMENT) != 0;
  lr.lr_strPath = lrt_strPath;
  lr.lr_strName = lrt_bByID ? CString() : lrt_strName;
  lr.lr_iID = lrt_iID;
  lr.lr_bByID = lrt_bByID;
  CString strError;
  Ptr<CResource> prs;
  try {
    prs = resLoadResourceNow(lr, strError);
  } catch (...) {
    // Whatever went wrong, the proxy gets an answer and the loading thread goes on.
    prs = nullptr;
    strError = DescribeCurrentException();
    if (lr.lr_bReportErrors) conError("%1\n", strError);
  }
  lrt_ulRunningThread = 0;
  prp->BindLoadedResource(prs, strError);
}

void CLoadResourceTask::OnCancel(void)
{
  ReleaseProxy();
}

void CLoadResourceTask::DeleteSelf(void)
{
  ReleaseProxy();
  CBaseTask::DeleteSelf();
}

// ---- CMetaLoadTask ----

static void ReadMetaNow(const CString &strFileName, CStream *pstrm, MetaLoadResult &mlr)
{
  if (pstrm != nullptr) {
    mlr.mlr_mpResult = mdInternalRead_t(*pstrm);
    return;
  }
  CStream strm;
  strm.OpenFile_t(strFileName, "r");
  mlr.mlr_mpResult = mdInternalRead_t(strm);
}

void CMetaLoadTask::OnExecute(CTaskPool *)
{
  MetaLoadResult &mlr = *mlt_pmlr;
  try {
    ReadMetaNow(mlt_strFileName, mlt_pstrm, mlr);
  } catch (...) {
    mlr.mlr_bFailed = 1;
    mlr.mlr_strError = DescribeCurrentException();
  }
  mlt_pmlr = nullptr;
  mlSignalLoadDone(mlr.mlr_bDone, &mlr.mlr_seDone);
}

void CMetaLoadTask::OnCancel(void)
{
  MetaLoadResult *pmlr = mlt_pmlr;
  if (pmlr == nullptr) return;
  mlt_pmlr = nullptr;
  pmlr->mlr_bFailed = 1;
  pmlr->mlr_strError = CancelledText();
  mlSignalLoadDone(pmlr->mlr_bDone, &pmlr->mlr_seDone);
}

static CMetaPointer LoadMeta_t(const char *strFileName, CStream *pstrm)
{
  MetaLoadResult mlr;
  mlr.mlr_bFailed = 0;
  mlr.mlr_bDone = 0;
  // Only other threads wait on the event; the main thread waits on its wake event.
  if (!thrIsThisMainThread()) mlr.mlr_seDone.InitEvent(CSyncEvent::SEF_MANUALRESET);
  CMetaLoadTask *ptsk = new CMetaLoadTask;
  ptsk->mlt_strFileName = strFileName != nullptr ? strFileName : "";
  ptsk->mlt_pstrm = pstrm;
  ptsk->mlt_pmlr = &mlr;
  const int bLoadingThread = mlIsThisLoadingThreadID();
  mlPostLoadingTask(ptsk, 1);
  // Nothing else runs the loading queue: the loading thread runs its own task at once.
  if (bLoadingThread) mlGetLoadingTaskPool()->RunTaskIfQueued(ptsk);
  mlWaitServingMainThread(mlr.mlr_bDone, mlr.mlr_seDone);
  if (mlr.mlr_bFailed) throw CSimpleException(mlr.mlr_strError);
  return mlr.mlr_mpResult;
}

CMetaPointer mlLoadMetaObject_t(const char *strFileName)
{
  return LoadMeta_t(strFileName, nullptr);
}

CMetaPointer mlLoadMetaObject_t(CStream *pstrm)
{
  if (pstrm == nullptr) {
    corLogGuardBreach();
    ThrowFormat_t(strTranslate("DOZUResourceLoader.NoStream=No stream to load from."));
  }
  return LoadMeta_t(nullptr, pstrm);
}

// ---- Scheduling ----

// Under the registry mutex: a request met an existing proxy.
static void Reuse(CResourceProxy *prp, ResObtainMethod rom, int bCreateReplacement,
                  int bReportErrors)
{
  if (bCreateReplacement) prp->rp_ulFlags |= CResourceProxy::RPF_CREATEREPLACEMENT;
  if (bReportErrors) prp->rp_ulFlags |= CResourceProxy::RPF_REPORTERRORS;
  if (rom == ROM_DELAYED) return;
  prp->rp_ulFlags &= ~CResourceProxy::RPF_DELAYED;
}

// A proxy that was waiting for its first acquisition, asked for now: its load is queued.
static void StartIfWaiting(CResourceProxy *prp, ResObtainMethod rom)
{
  if (rom == ROM_DELAYED) return;
  CSyncLock sl(&prp->rp_smTask);
  if (!(prp->rp_ulFlags & CResourceProxy::RPF_TASKCREATED)) {
    prp->CreateLoadingTask(rom != ROM_LOADLAST);
  }
}

Ptr<CResourceProxy> mlScheduleResourceLoadByName(ResObtainMethod rom, int bCreateReplacement,
                                                 int bReportErrors, CDataType *pdt,
                                                 const CString &strPath, const CString &strName)
{
  Ptr<CResourceProxy> prp;
  {
    CSyncLock sl(resGetProxyRegistryMutex());
    prp = resFindProxyByName(pdt, strPath, strName);
    if (prp != nullptr) {
      Reuse(prp, rom, bCreateReplacement, bReportErrors);
    } else {
      prp = new CResourceProxy;
      prp->InitProxyByName(pdt, strPath, strName, bCreateReplacement, bReportErrors,
                           rom == ROM_DELAYED);
    }
  }
  // Without the registry mutex: a load run at once (no loading pool) may schedule others.
  StartIfWaiting(prp, rom);
  return prp;
}

Ptr<CResourceProxy> mlScheduleResourceLoadByID(ResObtainMethod rom, int bCreateReplacement,
                                               int bReportErrors, CDataType *pdt,
                                               const CString &strPath, long iID)
{
  Ptr<CResourceProxy> prp;
  {
    CSyncLock sl(resGetProxyRegistryMutex());
    prp = resFindProxyByID(pdt, strPath, iID);
    if (prp != nullptr) {
      Reuse(prp, rom, bCreateReplacement, bReportErrors);
    } else {
      prp = new CResourceProxy;
      prp->InitProxyByID(pdt, strPath, iID, bCreateReplacement, bReportErrors, rom == ROM_DELAYED);
    }
  }
  StartIfWaiting(prp, rom);
  return prp;
}

// ---- Waiting ----

static CString CircularText(CResourceProxy *prp)
{
  return strFormat(strTranslate("DOZUResourceLoader.Circular=Resource '%1' of file '%2' is "
                                "needed while it is being loaded on this thread."),
                   prp->IsByID() ? strFormat("%1", prp->rp_iID) : prp->rp_strName, prp->rp_strPath);
}

int mdWaitOnResourceToLoad(CResourceProxy *prp, CString *pstrError)
{
  if (prp == nullptr) {
    corLogGuardBreach();
    return 0;
  }
  // A delayed proxy nobody asked to load yet would be waited for in vain.
  prp->InitiateDelayedLoad();
  CTaskPool *ptp = mlGetLoadingTaskPool();
  const int bLoadingThread = mlIsThisLoadingThreadID();
  CLoadResourceTask *ptskRun = nullptr;
  CSyncEvent *pseLoaded;
  {
    CSyncLock sl(&prp->rp_smBind);
    if (prp->rp_bLoaded) return 1;
    pseLoaded = &prp->LoadedEventForWaiting();
    CLoadResourceTask *ptsk = prp->rp_ptskLoad;
    if (ptsk != nullptr && ptsk->lrt_ulRunningThread == thrGetCurrentThreadID()) {
      const CString strError = CircularText(prp);
      conError("%1\n", strError);
      if (pstrError != nullptr) *pstrError = strError;
      return 0;
    }
    if (ptsk != nullptr && ptp != nullptr) {
      ptp->BoostTaskPriority(ptsk);
      // Only the loading thread runs the queue, so the task stays alive until it runs it.
      if (bLoadingThread) ptskRun = ptsk;
    }
  }
  if (ptskRun != nullptr) ptp->RunTaskIfQueued(ptskRun);
  mlWaitServingMainThread(prp->rp_bLoaded, *pseLoaded);
  return 1;
}

// ---- The obtain functions' scheduler ----

Ptr<CResource> mlScheduleRequest(const ResLoadRequest &lr, CString &strError)
{
  strError = CString();
  Ptr<CResourceProxy> prp =
      lr.lr_bByID
          ? mlScheduleResourceLoadByID(lr.lr_rom, lr.lr_bCreateReplacement, lr.lr_bReportErrors,
                                       lr.lr_pdt, lr.lr_strPath, lr.lr_iID)
          : mlScheduleResourceLoadByName(lr.lr_rom, lr.lr_bCreateReplacement, lr.lr_bReportErrors,
                                         lr.lr_pdt, lr.lr_strPath, lr.lr_strName);
  if (lr.lr_rom == ROM_LOADLAST || lr.lr_rom == ROM_DELAYED) return Ptr<CResource>(prp.Get());
  if (!mdWaitOnResourceToLoad(prp, &strError)) return Ptr<CResource>();
  strError = prp->GetErrorText();
  return resAcquire(Ptr<CResource>(prp.Get()));
}

static CMetaPointer LoadThroughLoader_t(const char *strFileName, CStream *pstrm)
{
  return LoadMeta_t(strFileName, pstrm);
}

namespace {
struct CLoaderInstaller {
  CLoaderInstaller() { mdSetFileLoader(LoadThroughLoader_t); }
  ~CLoaderInstaller() { mdSetFileLoader(nullptr); }
};
CLoaderInstaller _ml_liInstaller;
} // namespace

} // namespace QuennelEngine
