// Turning a file's load-on-demand references back into delayed proxies, so that the resources
// they point to (and the files of those) can be freed and load again when next needed.
#include "core/meta/DataTypeKinds.h"
#include "core/meta/MetaObjects.h"
#include "core/resources/LoadTasks.h"
#include "core/resources/ResourceFile.h"
#include "core/resources/ResourceMeta.h"
#include "core/resources/ResourceProxy.h"
#include "core/resources/ResourceStock.h"
#include "core/threads/SyncLock.h"

namespace QuennelEngine {

// The delayed proxy for a resource, or null when it cannot be named: a shared resource by its
// file and ID, an exposed one by its storage file and exposed ID, anything else not at all.
static Ptr<CResourceProxy> DelayedProxyFor(CResource *prs)
{
  CString strFile;
  long iID = -1;
  if (prs->IsShared()) {
    strFile = prs->rs_pFile->GetFileName();
    iID = prs->rs_iID;
  } else if (prs->IsExposed()) {
    strFile = prs->rs_pStorageFile->GetFileName();
    iID = prs->rs_iExposedID;
  } else {
    return Ptr<CResourceProxy>();
  }
  return mlScheduleResourceLoadByID(ROM_DELAYED, 1, 1, prs->mdGetDataType(), strFile, iID);
}

static long RevertIn(CDataType *pdt, void *pv, unsigned long ulFlags, int iDepth)
{
  if (pdt == nullptr || pv == nullptr || iDepth > 200) return 0;
  switch (pdt->dt_dttKind) {
  case DTT_SMARTPOINTER: {
    if (!(ulFlags & SMF_LOADONDEMAND)) return 0;
    CSmartObject *pso = *(CSmartObject **)pv;
    if (pso == nullptr) return 0;
    CDataType *pdtObject = pso->mdGetDataType();
    if (!mdIsDerivedFrom(pdtObject, CResource::md_pdtDataType) ||
        mdIsDerivedFrom(pdtObject, CResourceProxy::md_pdtDataType)) {
      return 0;
    }
    Ptr<CResourceProxy> prp = DelayedProxyFor(static_cast<CResource *>(pso));
    if (prp == nullptr) return 0;
    CResourceProxy *prpRaw = prp;
    prpRaw->AddRef();
    *(CSmartObject **)pv = prpRaw;
    pso->RemRef();
    return 1;
  }
  case DTT_TYPEDEF:
    return RevertIn(static_cast<CDataType_Targeted *>(pdt)->dtt_tidTarget.Resolve(), pv, ulFlags,
                    iDepth + 1);
  case DTT_ARRAY: {
    CDataType_Array *pdta = static_cast<CDataType_Array *>(pdt);
    CDataType *pdtElement = pdta->dta_tidElement.Resolve();
    if (pdtElement == nullptr) return 0;
    long ct = 0;
    for (long i = 0; i < pdta->GetElementCount(); i++) {
      ct += RevertIn(pdtElement, (char *)pv + i * pdtElement->dt_slSize, ulFlags, iDepth + 1);
    }
    return ct;
  }
  case DTT_STRUCT: {
    CDataType_Struct *pdtst = static_cast<CDataType_Struct *>(pdt);
    long ct = RevertIn(pdtst->dtst_tidBase.Resolve(), pv, 0, iDepth + 1);
    for (long i = 0; i < pdtst->dtst_ctMembers; i++) {
      CDataType_StructMember &sm = pdtst->dtst_asmMembers[i];
      ct +=
          RevertIn(sm.sm_tidType.Resolve(), (char *)pv + sm.sm_slOffset, sm.sm_ulFlags, iDepth + 1);
    }
    return ct;
  }
  case DTT_STATICARRAY:
  case DTT_STATICSTACKARRAY: {
    CDataType *pdtElement = static_cast<CDataType_Container *>(pdt)->dtc_tidElement.Resolve();
    if (pdtElement == nullptr || (pdtElement->dt_ulFlags & DTF_PLAIN)) return 0;
    const long ctElements = pdt->dt_dttKind == DTT_STATICARRAY ? ((long *)pv)[0] : ((long *)pv)[2];
    char *pch = ((char **)pv)[1];
    long ct = 0;
    for (long i = 0; i < ctElements; i++) {
      ct += RevertIn(pdtElement, pch + i * pdtElement->dt_slSize, ulFlags, iDepth + 1);
    }
    return ct;
  }
  default:
    return 0;
  }
}

long resRevertDelayedReferencesToProxies(CResourceFile *prf)
{
  if (prf == nullptr) return 0;
  CSyncLock sl(resGetFileStockMutex());
  CStaticStackArray<CMetaPointer> saObjects;
  mdFindReferences(prf, saObjects);
  long ct = 0;
  for (long i = 0; i < saObjects.Count(); i++) {
    const CMetaPointer &mp = saObjects[i];
    ct += RevertIn(mdGetDynamicType(mp.mp_pdtType, mp.mp_pvObject), mp.mp_pvObject, 0, 0);
  }
  return ct;
}

} // namespace QuennelEngine
