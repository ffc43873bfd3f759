// Resource proxies and their registry. The registry is an array in the order proxies were made
// (the last entry takes the place of a removed one) with an index: buckets by a hash of the
// request (type, path without regard to case, and name or ID), each a short array searched in
// registry order.
#include "core/resources/ResourceProxy.h"

#include "core/frame/CodeGuard.h"
#include "core/frame/Console.h"
#include "core/memory/StaticStackArray.h"
#include "core/meta/DataTypeKinds.h"
#include "core/resources/LoadTasks.h"
#include "core/resources/LoadingPool.h"
#include "core/text/Characters.h"
#include "core/text/Compare.h"
#include "core/text/Translation.h"
#include "core/threads/ExclusiveMainThread.h"
#include "core/threads/SyncLock.h"
#include "core/threads/Threads.h"

#include <stdlib.h>

namespace QuennelEngine {

// What a proxy stands for when a save or a copy resolves proxies: the loaded resource, or the
// proxy itself until there is one.
static void ProxyFinalObject(CMetaPointer &mpResult, CDataType *pdt, void *pv)
{
  mpResult = CMetaPointer(pdt, pv);
  CResourceProxy *prp = static_cast<CResourceProxy *>(static_cast<CObject *>(pv));
  Ptr<CResource> prs = prp->GetLoadedResource();
  if (prs != nullptr) mpResult = CMetaPointer(prs->mdGetDataType(), static_cast<CObject *>(prs));
}

MD_CLASS_BEGIN(CResourceProxy, CResource, 1)
MD_CLASS_OPERATION(1UL << CDataTypeFunctions::DTFS_GETFINALOBJECT, ProxyFinalObject)
MD_CLASS_END()

namespace {

const unsigned long PROXY_BUCKETS = 4096;

struct ProxyRegistry {
  CSyncMutex pr_sm;
  CStaticStackArray<CResourceProxy *> pr_saprp;
  CStaticStackArray<CResourceProxy *> *pr_asaBuckets = nullptr;
};

ProxyRegistry &Registry(void)
{
  static ProxyRegistry *_ppr = new ProxyRegistry;
  return *_ppr;
}

unsigned long MixHash(unsigned long ulHash, unsigned long ul)
{
  // FNV-1a over whatever is mixed in.
  return (ulHash ^ ul) * 16777619UL;
}

unsigned long RequestHash(CDataType *pdt, const CString &strPath, const char *strName, long iID,
                          int bByID)
{
  unsigned long ulHash = 2166136261UL;
  ulHash = MixHash(ulHash, (unsigned long)(size_t)pdt);
  for (const char *pch = strPath; *pch != 0; pch++) {
    ulHash = MixHash(ulHash, (unsigned char)chToLower(*pch));
  }
  if (bByID) return MixHash(ulHash, (unsigned long)iID);
  ulHash = MixHash(ulHash, 0xFFu);
  for (const char *pch = strName; *pch != 0; pch++) ulHash = MixHash(ulHash, (unsigned char)*pch);
  return ulHash;
}

CStaticStackArray<CResourceProxy *> &BucketOf(ProxyRegistry &reg, unsigned long ulHash)
{
  if (reg.pr_asaBuckets == nullptr) {
    reg.pr_asaBuckets = new CStaticStackArray<CResourceProxy *>[PROXY_BUCKETS];
    for (unsigned long i = 0; i < PROXY_BUCKETS; i++) reg.pr_asaBuckets[i].SetAllocationStep(4);
  }
  return reg.pr_asaBuckets[ulHash % PROXY_BUCKETS];
}

// Under the registry mutex.
void Enter(CResourceProxy *prp)
{
  ProxyRegistry &reg = Registry();
  reg.pr_saprp.Push() = prp;
  BucketOf(reg, prp->rp_ulHash).Push() = prp;
}

// Under the registry mutex: the last entry takes the place of the removed one, in the registry
// and in the bucket alike.
void Leave(ProxyRegistry &reg, long iProxy)
{
  CResourceProxy *prp = reg.pr_saprp[iProxy];
  CStaticStackArray<CResourceProxy *> &sa = BucketOf(reg, prp->rp_ulHash);
  for (long i = 0; i < sa.Count(); i++) {
    if (sa[i] != prp) continue;
    for (long j = i + 1; j < sa.Count(); j++) sa[j - 1] = sa[j];
    sa.Pop();
    break;
  }
  reg.pr_saprp[iProxy] = reg.pr_saprp[reg.pr_saprp.Count() - 1];
  reg.pr_saprp.Pop();
}

} // namespace

CSyncMutex *resGetProxyRegistryMutex(void)
{
  return &Registry().pr_sm;
}

// ---- CResourceProxy ----

CResourceProxy::CResourceProxy(void)
    : rp_ulFlags(0), rp_iID((long)0xCDCDCDCD), rp_pdtType(nullptr), rp_ptskLoad(nullptr),
      rp_bLoaded(0), rp_ulHash(0)
{
  so_ulFlags |= SOF_REPLACEONACCESS;
}

CResourceProxy::~CResourceProxy(void)
{
}

void CResourceProxy::InitProxyByName(CDataType *pdt, const CString &strPath, const CString &strName,
                                     int bCreateReplacement, int bReportErrors, int bDelayed)
{
  rp_pdtType = pdt;
  rp_strPath = strPath;
  rp_strName = strName;
  rp_iID = (long)0xCDCDCDCD;
  rp_ulFlags &= ~RPF_BYID;
  if (bCreateReplacement) rp_ulFlags |= RPF_CREATEREPLACEMENT;
  if (bReportErrors) rp_ulFlags |= RPF_REPORTERRORS;
  if (bDelayed) rp_ulFlags |= RPF_DELAYED;
  rp_ulHash = RequestHash(pdt, strPath, strName, 0, 0);
  CSyncLock sl(resGetProxyRegistryMutex());
  Enter(this);
}

void CResourceProxy::InitProxyByID(CDataType *pdt, const CString &strPath, long iID,
                                   int bCreateReplacement, int bReportErrors, int bDelayed)
{
  rp_pdtType = pdt;
  rp_strPath = strPath;
  rp_strName = "invalid";
  rp_iID = iID;
  rp_ulFlags |= RPF_BYID;
  if (bCreateReplacement) rp_ulFlags |= RPF_CREATEREPLACEMENT;
  if (bReportErrors) rp_ulFlags |= RPF_REPORTERRORS;
  if (bDelayed) rp_ulFlags |= RPF_DELAYED;
  rp_ulHash = RequestHash(pdt, strPath, "", iID, 1);
  CSyncLock sl(resGetProxyRegistryMutex());
  Enter(this);
}

void CResourceProxy::CreateLoadingTask(int bInsert)
{
  CLoadResourceTask *ptsk = new CLoadResourceTask;
  if (rp_ulFlags & RPF_BYID) {
    ptsk->InitTaskByID(this, rp_pdtType, rp_strPath, rp_iID);
  } else {
    ptsk->InitTaskByName(this, rp_pdtType, rp_strPath, rp_strName);
  }
  {
    CSyncLock sl(&rp_smBind);
    rp_ptskLoad = ptsk;
    rp_ulFlags |= RPF_TASKCREATED;
    rp_bLoaded = 0;
    if (rp_seLoaded.IsInitialized()) rp_seLoaded.ResetEvent();
  }
  mlPostLoadingTask(ptsk, bInsert);
}

void CResourceProxy::BindLoadedResource(CResource *prs, const CString &strError)
{
  {
    CSyncLock sl(&rp_smBind);
    rp_ptskLoad = nullptr;
    rp_prsLoaded = prs;
    rp_strError = strError;
    rp_bLoaded = 1;
  }
  // Woken after the mutex is let go: the first thing a waiter does is take it.
  mlWakeLoadWaiters(&rp_seLoaded);
}

CSyncEvent &CResourceProxy::LoadedEventForWaiting(void)
{
  // The main thread waits on its own wake event.
  if (thrIsThisMainThread()) return rp_seLoaded;
  rp_seLoaded.InitEventOnce(CSyncEvent::SEF_MANUALRESET);
  if (rp_bLoaded) rp_seLoaded.SetEvent();
  return rp_seLoaded;
}

void CResourceProxy::DeleteSelf(void)
{
}

CSmartObject *CResourceProxy::AcquireReplacement(void)
{
  {
    CSyncLock sl(&rp_smTask);
    if (!(rp_ulFlags & RPF_TASKCREATED)) CreateLoadingTask(1);
  }
  if (!mdWaitOnResourceToLoad(this)) return nullptr;
  CSyncLock sl(&rp_smBind);
  // The caller references the result before this proxy's reference may go.
  return rp_prsLoaded.Get();
}

void CResourceProxy::InitiateDelayedLoad(void)
{
  CSyncLock sl(&rp_smTask);
  if (!(rp_ulFlags & RPF_TASKCREATED)) CreateLoadingTask(1);
}

int CResourceProxy::IsReplacementReady(void)
{
  return rp_bLoaded != 0;
}

CString CResourceProxy::GetSimpleInfo(void)
{
  return strFormat("proxy of '%1' in '%2'", IsByID() ? strFormat("%1", rp_iID) : rp_strName,
                   rp_strPath);
}

int CResourceProxy::IsRequestByName(CDataType *pdt, const CString &strPath,
                                    const CString &strName) const
{
  return !(rp_ulFlags & RPF_BYID) && rp_pdtType == pdt && rp_strPath == strPath &&
         strCompareS(rp_strName, strName) == 0;
}

int CResourceProxy::IsRequestByID(CDataType *pdt, const CString &strPath, long iID) const
{
  return (rp_ulFlags & RPF_BYID) && rp_pdtType == pdt && rp_iID == iID && rp_strPath == strPath;
}

Ptr<CResource> CResourceProxy::GetLoadedResource(void)
{
  CSyncLock sl(&rp_smBind);
  return rp_prsLoaded;
}

CString CResourceProxy::GetErrorText(void)
{
  CSyncLock sl(&rp_smBind);
  return rp_strError;
}

void CResourceProxy::Unload(void)
{
  CSyncLock slTask(&rp_smTask);
  CSyncLock slBind(&rp_smBind);
  if (rp_ptskLoad != nullptr) return; // still loading: nothing to undo yet
  rp_ulFlags &= ~RPF_TASKCREATED;
  rp_prsLoaded = nullptr;
  rp_strError = CString();
  rp_bLoaded = 0;
  if (rp_seLoaded.IsInitialized()) rp_seLoaded.ResetEvent();
}

// ---- The registry ----

CResourceProxy *resFindProxyByName(CDataType *pdt, const CString &strPath, const CString &strName)
{
  ProxyRegistry &reg = Registry();
  CSyncLock sl(&reg.pr_sm);
  if (reg.pr_asaBuckets == nullptr) return nullptr;
  const unsigned long ulHash = RequestHash(pdt, strPath, strName, 0, 0);
  CStaticStackArray<CResourceProxy *> &sa = BucketOf(reg, ulHash);
  for (long i = 0; i < sa.Count(); i++) {
    if (sa[i]->rp_ulHash == ulHash && sa[i]->IsRequestByName(pdt, strPath, strName)) return sa[i];
  }
  return nullptr;
}

CResourceProxy *resFindProxyByID(CDataType *pdt, const CString &strPath, long iID)
{
  ProxyRegistry &reg = Registry();
  CSyncLock sl(&reg.pr_sm);
  if (reg.pr_asaBuckets == nullptr) return nullptr;
  const unsigned long ulHash = RequestHash(pdt, strPath, "", iID, 1);
  CStaticStackArray<CResourceProxy *> &sa = BucketOf(reg, ulHash);
  for (long i = 0; i < sa.Count(); i++) {
    if (sa[i]->rp_ulHash == ulHash && sa[i]->IsRequestByID(pdt, strPath, iID)) return sa[i];
  }
  return nullptr;
}

long resCountResourceProxies(void)
{
  ProxyRegistry &reg = Registry();
  CSyncLock sl(&reg.pr_sm);
  return reg.pr_saprp.Count();
}

static void FreeUnusedProxiesNow(void)
{
  ProxyRegistry &reg = Registry();
  long ctDeleted = 0;
  {
    CSyncLock sl(&reg.pr_sm);
    for (long i = reg.pr_saprp.Count() - 1; i >= 0; i--) {
      if (i >= reg.pr_saprp.Count()) continue;
      CResourceProxy *prp = reg.pr_saprp[i];
      if (prp->GetReferenceCount() <= 0) {
        Leave(reg, i);
        // Deleting drops the loaded resource, which may free more (never a proxy).
        delete prp;
        ctDeleted++;
      } else if ((prp->rp_ulFlags & CResourceProxy::RPF_DELAYED) &&
                 (prp->rp_ulFlags & CResourceProxy::RPF_TASKCREATED)) {
        prp->Unload();
      }
    }
  }
  conLog(strTranslate("DOZUResource.FreedProxies=resFreeUnusedProxies() released '%1' proxy "
                      "object.\n"),
         ctDeleted);
}

void resFreeUnusedProxies(void)
{
  // No worker may bind or acquire a proxy meanwhile; without the thread services no worker
  // exists.
  if (!thrIsMultiThreadingStarted()) {
    FreeUnusedProxiesNow();
    return;
  }
  CExclusiveMainThread emt;
  FreeUnusedProxiesNow();
}

static int CompareForDump(const void *pv1, const void *pv2)
{
  const CResourceProxy *prp1 = *(CResourceProxy *const *)pv1;
  const CResourceProxy *prp2 = *(CResourceProxy *const *)pv2;
  if (prp1->GetReferenceCount() != prp2->GetReferenceCount()) {
    return prp1->GetReferenceCount() < prp2->GetReferenceCount() ? -1 : 1;
  }
  const long iPath = strCompare(prp1->rp_strPath, prp2->rp_strPath);
  if (iPath != 0) return iPath;
  if (prp1->IsByID() != prp2->IsByID()) return prp1->IsByID() ? 1 : -1;
  if (prp1->IsByID()) return prp1->rp_iID < prp2->rp_iID ? -1 : prp1->rp_iID > prp2->rp_iID;
  return strCompare(prp1->rp_strName, prp2->rp_strName);
}

void resDumpResourceProxies(void)
{
  ProxyRegistry &reg = Registry();
  CSyncLock sl(&reg.pr_sm);
  conInfo(strTranslate("DOZUResource.DumpProxies=Dumping resource proxies:\n"));
  if (reg.pr_saprp.Count() > 0) {
    qsort(&reg.pr_saprp[0], reg.pr_saprp.Count(), sizeof(CResourceProxy *), CompareForDump);
  }
  long ctReferences = 0;
  for (long i = 0; i < reg.pr_saprp.Count(); i++) {
    CResourceProxy *prp = reg.pr_saprp[i];
    const CString strWhat = prp->IsByID() ? strFormat("%1", prp->rp_iID) : prp->rp_strName;
    conInfo(strTranslate("DOZUResource.DumpProxy='%1', '%2', %3 refs.\n"), prp->rp_strPath, strWhat,
            prp->GetReferenceCount());
    ctReferences += prp->GetReferenceCount();
  }
  conInfo(strTranslate("DOZUResource.DumpProxiesEnd=Total of '%1' resource proxies with '%2' "
                       "references.\n"),
          reg.pr_saprp.Count(), ctReferences);
}

} // namespace QuennelEngine
