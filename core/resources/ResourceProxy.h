#pragma once
// CResourceProxy: stands in for a resource that is being loaded, or that loads when it is first
// needed. It is marked replace-on-access for good: whoever acquires it waits for the load and is
// handed the loaded resource (or null when the load failed, the error text staying here). One
// proxy exists per requested type, file and name (or ID); all proxies sit in one registry and
// are freed only by resFreeUnusedProxies.
#include "core/resources/Resource.h"
#include "core/threads/SyncEvent.h"
#include "core/threads/SyncMutex.h"

namespace QuennelEngine {

class CDataType;
class CLoadResourceTask;
class CResourceFile;

class CORE_API CResourceProxy : public CResource {
  MD_DECLARE_CLASS(CResourceProxy)
  enum : unsigned long {
    RPF_REPORTERRORS = 0x1,
    RPF_CREATEREPLACEMENT = 0x2,
    RPF_BYID = 0x4,
    RPF_TASKCREATED = 0x8,
    RPF_DELAYED = 0x10,
  };

  CResourceProxy(void);
  ~CResourceProxy(void) override;

  // Fill the request and enter the registry.
  void InitProxyByName(CDataType *pdt, const CString &strPath, const CString &strName,
                       int bCreateReplacement, int bReportErrors, int bDelayed);
  void InitProxyByID(CDataType *pdt, const CString &strPath, long iID, int bCreateReplacement,
                     int bReportErrors, int bDelayed);

  // Queues a load task for the proxy, at the head of the loading queue with `bInsert`, else at
  // the tail. Without a loading pool the task runs at once on the calling thread.
  void CreateLoadingTask(int bInsert);
  // The load's result (null when it failed) and its error text; releases the waiters. The
  // caller must not hold the bind mutex, or the waiters would wake only to wait for it.
  void BindLoadedResource(CResource *prs, const CString &strError);

  // A proxy is freed only by resFreeUnusedProxies.
  void DeleteSelf(void) override;
  // Loads if no task was made yet, waits for the load and returns the loaded resource (null on
  // failure).
  CSmartObject *AcquireReplacement(void) override;
  // Queues the load (at the head) if no task was made yet; does not wait.
  void InitiateDelayedLoad(void) override;
  // The load has ended (the loaded event is signalled).
  int IsReplacementReady(void) override;
  CString GetSimpleInfo(void) override;

  // Whether the proxy stands for that request.
  int IsRequestByName(CDataType *pdt, const CString &strPath, const CString &strName) const;
  int IsRequestByID(CDataType *pdt, const CString &strPath, long iID) const;
  int IsByID(void) const { return (rp_ulFlags & RPF_BYID) != 0; }
  // The loaded resource, or null (not loaded yet, or failed).
  Ptr<CResource> GetLoadedResource(void);
  CString GetErrorText(void);
  // Back to before the load: no task, no resource, the event reset (the registry does it).
  void Unload(void);
  // Under the bind mutex: the loaded event made for a waiter, signalled if the load has ended.
  CSyncEvent &LoadedEventForWaiting(void);

  unsigned long rp_ulFlags;
  long rp_iID;
  CString rp_strName;
  CString rp_strPath;
  CDataType *rp_pdtType;
  CString rp_strError;
  CLoadResourceTask *rp_ptskLoad;
  // The load has ended. The loaded event exists only once someone waited: a system event per
  // proxy would cost a call to the system for each proxy made and freed.
  long volatile rp_bLoaded;
  CSyncEvent rp_seLoaded;
  CSyncMutex rp_smBind;
  CSyncMutex rp_smTask;
  Ptr<CResource> rp_prsLoaded;
  unsigned long rp_ulHash; // of the request, for the registry's index
};

// The registry's mutex (taken before a proxy's own mutexes).
CORE_API CSyncMutex *resGetProxyRegistryMutex(void);
// The registered proxy for that request, or null; under the registry mutex.
CORE_API CResourceProxy *resFindProxyByName(CDataType *pdt, const CString &strPath,
                                            const CString &strName);
CORE_API CResourceProxy *resFindProxyByID(CDataType *pdt, const CString &strPath, long iID);
CORE_API long resCountResourceProxies(void);
// In an exclusive section: deletes the unreferenced proxies, and unloads the delayed ones still
// referenced whose load ran (their next acquisition loads again).
CORE_API void resFreeUnusedProxies(void);
CORE_API void resDumpResourceProxies(void);
// The file's smart pointers marked SMF_LOADONDEMAND to resources become delayed proxies for
// them (by the resource's file and ID); the number replaced. The stock's freeing calls it.
CORE_API long resRevertDelayedReferencesToProxies(CResourceFile *prf);

} // namespace QuennelEngine
