#pragma once
// The loader's tasks and what schedules them. A request for a resource the stock does not have
// gets the proxy for that type, file and name (or ID), made with a load task on the loading pool
// unless one exists; waiting for a proxy moves its task to the head of the queue, runs it at
// once on the loading thread, and on the main thread runs post-load tasks meanwhile. Metadata
// files are read on the loading thread too (mlLoadMetaObject_t, which mdLoad_t goes through).
#include "core/meta/MetaPointer.h"
#include "core/resources/ResourceObtain.h"
#include "core/resources/ResourceProxy.h"
#include "core/threads/BaseTask.h"

namespace QuennelEngine {

class CStream;

// Loads one resource for one proxy and binds the result to it. Whatever the load throws ends
// as a null result with the error text in the proxy; a task cancelled by the pool binds null
// with "Loading was cancelled."
class CORE_API CLoadResourceTask : public CBaseTask {
  MD_DECLARE_CLASS(CLoadResourceTask)
  CLoadResourceTask(void);
  // A task never run still releases the proxy's waiters.
  ~CLoadResourceTask(void) override;
  void InitTaskByName(CResourceProxy *prp, CDataType *pdt, const CString &strPath,
                      const CString &strName);
  void InitTaskByID(CResourceProxy *prp, CDataType *pdt, const CString &strPath, long iID);
  void OnExecute(CTaskPool *ptp) override;
  void OnCancel(void) override;
  // Drops the proxy, then deletes the task.
  void DeleteSelf(void) override;
  // Binds null unless the task bound already, and lets the proxy go.
  void ReleaseProxy(void);

  long lrt_bByID;
  long lrt_iID;
  CString lrt_strName;
  CString lrt_strPath;
  CDataType *lrt_pdtType;
  Ptr<CResourceProxy> lrt_prpProxy;
  // The thread running the task (0 while it is not running): a wait for the proxy on that
  // thread could never end.
  unsigned long volatile lrt_ulRunningThread;
};

// What a metadata load hands back to the caller that waits for it.
struct MetaLoadResult {
  long volatile mlr_bDone;
  long mlr_bFailed;
  CString mlr_strError;
  CMetaPointer mlr_mpResult;
  CSyncEvent mlr_seDone;
};

// Reads one metadata file (or the given stream) and fills the caller's result; the done event
// is signalled last, also when the task is cancelled.
class CORE_API CMetaLoadTask : public CBaseTask {
  MD_DECLARE_CLASS(CMetaLoadTask)
  CMetaLoadTask(void) : mlt_pstrm(nullptr), mlt_pmlr(nullptr) {}
  void OnExecute(CTaskPool *ptp) override;
  void OnCancel(void) override;

  CString mlt_strFileName;
  CStream *mlt_pstrm;
  MetaLoadResult *mlt_pmlr;
};

// The proxy for the request, made (with its load task, unless the method is ROM_DELAYED) when
// there is none. An existing proxy takes the flags given, and stops being delayed unless the
// method is ROM_DELAYED.
CORE_API Ptr<CResourceProxy> mlScheduleResourceLoadByName(ResObtainMethod rom,
                                                          int bCreateReplacement, int bReportErrors,
                                                          CDataType *pdt, const CString &strPath,
                                                          const CString &strName);
CORE_API Ptr<CResourceProxy> mlScheduleResourceLoadByID(ResObtainMethod rom, int bCreateReplacement,
                                                        int bReportErrors, CDataType *pdt,
                                                        const CString &strPath, long iID);
// Reads a metadata file on the loading thread and waits for it; throws its error.
CORE_API CMetaPointer mlLoadMetaObject_t(const char *strFileName);
CORE_API CMetaPointer mlLoadMetaObject_t(CStream *pstrm);
// Waits until the proxy's load has ended. 0 (and the reason in `pstrError`) when the wait could
// never end: the load is running further up the calling thread's own stack.
CORE_API int mdWaitOnResourceToLoad(CResourceProxy *prp, CString *pstrError = nullptr);

} // namespace QuennelEngine
