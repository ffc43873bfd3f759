#include "core/meta/MetaCollect.h"

#include "core/frame/Console.h"
#include "core/meta/DataTypeKinds.h"
#include "core/meta/HandleValues.h"
#include "core/meta/MetaContextPrivate.h"
#include "core/meta/MetaObjects.h"
#include "core/meta/MetaSettings.h"
#include "core/meta/Object.h"
#include "core/meta/TypeRegistryPrivate.h"
#include "core/text/FormatArgs.h"
#include "core/text/Translation.h"

namespace QuennelEngine {

static MetaResourceInspector _md_pInspector = nullptr;

void mdSetResourceInspector(MetaResourceInspector pInspector)
{
  _md_pInspector = pInspector;
}

MetaResourceInfo mdInspectResource(const CMetaPointer &mp)
{
  if (!mp.IsValid()) return MetaResourceInfo{0, 0, 0, 0, nullptr, nullptr};
  if (_md_pInspector != nullptr) return _md_pInspector(mp);
  // Without the resources layer every counted object is a resource of no file.
  const int bSmart = mdIsDerivedFrom(mp.mp_pdtType, CSmartObject::md_pdtDataType);
  return MetaResourceInfo{bSmart, 0, 0, 0, nullptr, nullptr};
}

long mdCollectType_t(CDataType *pdt)
{
  return mdCollectTypeIn(mdGetMetaContext(), pdt);
}

long mdCollectIdent_t(IDENT id)
{
  const long i = mdIdentToIndex(id);
  return i >= 0 ? i : mdAddIdent(id);
}

// Puts an object on the pending list unless it is there already.
static void MakePending(CMetaContext *pmc, long iObject)
{
  MetaIndexObject &mio = pmc->mc_saObjects[iObject];
  if (mio.mio_ulFlags & MIF_PENDING) return;
  mio.mio_ulFlags |= MIF_PENDING;
  mio.mio_ulFlags &= ~MIF_COLLECTED;
  pmc->mc_saiPending.Push() = iObject;
}

// Whether objects of a type are neither resources nor stand for other objects: only counted
// objects can be resources (the inspector is asked about those only), and only types with a
// GetFinalObject operation stand for others. Asked once per type an operation has indexed.
static inline bool IsPlainTarget(CMetaContext *pmc, CDataType *pdt)
{
  const long i = pdt->dt_iSaveIndex;
  if (i < 0 || i >= pmc->mc_saTypes.Count() || pmc->mc_saTypes[i].mit_pdt != pdt) return false;
  MetaIndexType &mit = pmc->mc_saTypes[i];
  if (mit.mit_cPlain < 0) {
    mit.mit_cPlain = !mdIsDerivedFrom(pdt, CSmartObject::md_pdtDataType) &&
                     pdt->GetFunction(CDataTypeFunctions::DTFS_GETFINALOBJECT) == nullptr;
  }
  return mit.mit_cPlain != 0;
}

static long CollectReference(CMetaContext *pmc, CMetaPointer mp, unsigned long ulFlags, bool bSmart)
{
  const MetaSwitches &ms = pmc->mc_ms;
  if (mp.mp_pvObject == nullptr || mp.mp_pdtType == nullptr) return -1;
  mp.mp_pdtType = mdDynamicTypeOf(mp.mp_pdtType, mp.mp_pvObject);
  const bool bPlain = IsPlainTarget(pmc, mp.mp_pdtType);
  MetaResourceInfo mri =
      bPlain ? MetaResourceInfo{0, 0, 0, 0, nullptr, nullptr} : mdInspectResource(mp);
  // What the reference stands for, unless it is a proxy to be kept as it is.
  if (!bPlain && (ms.ms_bResolveProxies || !mri.mri_bProxy)) {
    CMetaPointer mpFinal = mdGetFinalObject(mp);
    if (mpFinal.IsValid() && mpFinal != mp) {
      mp = mpFinal;
      mp.mp_pdtType = mdDynamicTypeOf(mp.mp_pdtType, mp.mp_pvObject);
      mri = mdInspectResource(mp);
    }
  }

  const bool bOwning = (ulFlags & SMF_OWNED) || bSmart;
  const bool bTypeEdit = (mp.mp_pdtType->dt_ulFlags & DTF_EDIT) != 0;
  const bool bMakeEdit = bTypeEdit || (bOwning && (ulFlags & SMF_EDIT));
  const bool bMakeNonEdit = !bTypeEdit && bOwning && !(ulFlags & SMF_EDIT);

  long i = mdIndexOfObjectIn(pmc, mp.mp_pvObject);
  if (i < 0) {
    i = mdAddObjectTo(pmc, mp);
    if (bMakeEdit) pmc->mc_saObjects[i].mio_ulFlags |= MIF_EDIT;
    MakePending(pmc, i);
  } else {
    MetaIndexObject &mio = pmc->mc_saObjects[i];
    if ((mio.mio_ulFlags & MIF_EDIT) && bMakeNonEdit) {
      mio.mio_ulFlags &= ~MIF_EDIT;
      MakePending(pmc, i);
    } else if (!(mio.mio_ulFlags & MIF_EDIT) && bMakeEdit && !bSmart) {
      conDebug(strTranslate("DOZUMeta.LostEdit=Object %1 has lost SMF_EDIT qualifier due to "
                            "collection order!\n"),
               mdGetObjectDescription(mp));
    }
  }
  if (ms.ms_bCollectForCopying) {
    MetaIndexObject &mio = pmc->mc_saObjects[i];
    if (ulFlags & SMF_OWNED) {
      if (mio.mio_ulFlags & MIF_EXTERNAL) {
        mio.mio_ulFlags &= ~MIF_EXTERNAL;
        MakePending(pmc, i);
      }
    } else if (ms.ms_bCopyRetainsAll) {
      mio.mio_ulFlags |= MIF_RETAINED;
    }
    if (mri.mri_bResource && !mri.mri_bProxy && !mri.mri_bShared &&
        !(ms.ms_bShareExposedObjects && mri.mri_bExposed) && !ms.ms_bForceResourcesAsExtern &&
        (mio.mio_ulFlags & MIF_EXTERNAL)) {
      mio.mio_ulFlags &= ~MIF_EXTERNAL;
      MakePending(pmc, i);
    }
  }
  if (ulFlags & SMF_DELAYLOAD) pmc->mc_saObjects[i].mio_ulFlags |= MIF_DELAYED;
  if (ulFlags & SMF_LOADONDEMAND) pmc->mc_saObjects[i].mio_ulFlags |= MIF_LOADONDEMAND;
  return i;
}

static long CollectSmartReference(CMetaContext *pmc, CMetaPointer mp, unsigned long ulFlags)
{
  const long i = CollectReference(pmc, mp, ulFlags, true);
  if (i >= 0) pmc->mc_saObjects[i].mio_ctReferences++;
  return i;
}

// The context of a collection call. Outside any scope the switches are the process-wide ones of
// the moment: a caller driving the index by hand changes them between calls.
static CMetaContext *CollectionContext(void)
{
  CMetaContext *pmc = mdGetMetaContext();
  if (pmc->mc_bThreadBase) pmc->mc_ms.FollowGlobals();
  return pmc;
}

long mdCollectReference_t(CMetaPointer mp, unsigned long ulFlags)
{
  return CollectReference(CollectionContext(), mp, ulFlags, false);
}

long mdCollectSmartReference_t(CMetaPointer mp, unsigned long ulFlags)
{
  return CollectSmartReference(CollectionContext(), mp, ulFlags);
}

static void CollectDefaultIn(CMetaContext *pmc, CMetaFrame &mf);

// The type's Collect operation, or the default, with the context the caller holds.
static void CollectIn(CMetaContext *pmc, CMetaFrame &mf)
{
  if (mf.mf_pdtType == nullptr || mf.mf_pvObject == nullptr) return;
  MetaFrameFunction pCollect =
      (MetaFrameFunction)mf.mf_pdtType->GetFunction(CDataTypeFunctions::DTFS_COLLECT);
  if (pCollect != nullptr) {
    pCollect(mf);
  } else {
    CollectDefaultIn(pmc, mf);
  }
}

void mdCollectObject_t(CMetaFrame &mf)
{
  CollectIn(CollectionContext(), mf);
}

void mdCollectObjectDefault_t(CMetaFrame &mf)
{
  CollectDefaultIn(CollectionContext(), mf);
}

static inline void CollectPart(CMetaContext *pmc, CDataType *pdt, void *pv, unsigned long ulFlags)
{
  if (pdt == nullptr || pv == nullptr) return;
  CMetaFrame mf(pdt, pv, ulFlags);
  CollectIn(pmc, mf);
}

// A plain pointer's target, with the flags of the reference.
static inline void CollectPointer(CMetaContext *pmc, CDataType *pdt, void *pv,
                                  unsigned long ulReference)
{
  CDataType *pdtTarget = static_cast<CDataType_Targeted *>(pdt)->dtt_tidTarget.Resolve();
  mdCollectTypeIn(pmc, pdtTarget);
  pmc->mc_ms.ms_slCollectedBytes += 4;
  void *pvTarget = *(void **)pv;
  if (pvTarget != nullptr && pdtTarget != nullptr) {
    CollectReference(pmc, CMetaPointer(pdtTarget, pvTarget), ulReference, false);
  }
}

// Collects a part without a call through its type when the type has no Collect operation and is
// a plain value or a plain pointer (most members and elements); true when it did.
static inline bool CollectCommonPart(CMetaContext *pmc, CDataType *pdt, void *pv,
                                     unsigned long ulFlags)
{
  if (pdt->GetFunction(CDataTypeFunctions::DTFS_COLLECT) != nullptr) return false;
  switch (pdt->dt_dttKind) {
  case DTT_SIMPLE:
  case DTT_VALUEFIELD:
    pmc->mc_ms.ms_slCollectedBytes += pdt->dt_slSize;
    return true;
  case DTT_POINTER:
    CollectPointer(pmc, pdt, pv, ulFlags & ~MFF_TOPLEVEL);
    return true;
  default:
    return false;
  }
}

// Whether the walk of a structure goes into a member under the operation's switches.
static inline bool IsCollectedMember(const MetaSwitches &ms, bool bKeepEdit,
                                     const CDataType_StructMember &sm)
{
  if ((sm.sm_ulFlags & SMF_EDIT) && !bKeepEdit) return false;
  if (sm.sm_ulFlags & SMF_NOSAVE) return false;
  if (ms.ms_bCollectForCopying && (sm.sm_ulFlags & SMF_NOCOPY)) return false;
  return !(ms.ms_bCollectForCopying && ms.ms_bCopyClipboard && (sm.sm_ulFlags & SMF_NOCLIPBOARD));
}

static void CollectDefaultIn(CMetaContext *pmc, CMetaFrame &mf)
{
  CDataType *pdt = mf.mf_pdtType;
  void *pv = mf.mf_pvObject;
  if (pdt == nullptr || pv == nullptr) return;
  MetaSwitches &ms = pmc->mc_ms;
  const unsigned long ulReference = mf.mf_ulFlags & ~MFF_TOPLEVEL;
  switch (pdt->dt_dttKind) {
  case DTT_SIMPLE:
  case DTT_VALUEFIELD:
    ms.ms_slCollectedBytes += pdt->dt_slSize;
    return;
  case DTT_POINTER:
    CollectPointer(pmc, pdt, pv, ulReference);
    return;
  case DTT_SMARTPOINTER: {
    CDataType *pdtTarget = static_cast<CDataType_Targeted *>(pdt)->dtt_tidTarget.Resolve();
    mdCollectTypeIn(pmc, pdtTarget);
    ms.ms_slCollectedBytes += 4;
    void *pvTarget = *(void **)pv;
    if (pvTarget != nullptr && pdtTarget != nullptr) {
      CollectSmartReference(pmc, CMetaPointer(pdtTarget, pvTarget), ulReference);
    }
    return;
  }
  case DTT_HANDLE: {
    CDataType *pdtTarget = static_cast<CDataType_Targeted *>(pdt)->dtt_tidTarget.Resolve();
    mdCollectTypeIn(pmc, pdtTarget);
    ms.ms_slCollectedBytes += 4;
    void *pvTarget = hvHandleToPointer(*(unsigned long *)pv);
    if (pvTarget != nullptr && pdtTarget != nullptr) {
      CollectReference(pmc, CMetaPointer(pdtTarget, pvTarget), ulReference, false);
    }
    return;
  }
  case DTT_TYPEDEF:
    CollectPart(pmc, static_cast<CDataType_Targeted *>(pdt)->dtt_tidTarget.Resolve(), pv,
                mf.mf_ulFlags);
    return;
  case DTT_ARRAY: {
    CDataType_Array *pdta = static_cast<CDataType_Array *>(pdt);
    CDataType *pdtElement = pdta->dta_tidElement.Resolve();
    if (pdtElement == nullptr) return;
    mdCollectTypeIn(pmc, pdtElement);
    const long ct = pdta->GetElementCount();
    for (long i = 0; i < ct; i++) {
      CollectPart(pmc, pdtElement, (char *)pv + i * pdtElement->dt_slSize, ulReference);
    }
    return;
  }
  case DTT_STRUCT: {
    CDataType_Struct *pdtst = static_cast<CDataType_Struct *>(pdt);
    const bool bKeepEdit = ms.ms_bInEditor && !ms.ms_bDiscardEditData;
    const unsigned long ulEdit = mf.mf_ulFlags & SMF_EDIT;
    if (ulEdit && !bKeepEdit) return;
    CDataType *pdtBase = pdtst->dtst_tidBase.Resolve();
    if (pdtBase != nullptr) {
      mdCollectTypeIn(pmc, pdtBase);
      CollectPart(pmc, pdtBase, pv, ulEdit);
    }
    for (long i = 0; i < pdtst->dtst_ctMembers; i++) {
      CDataType_StructMember &sm = pdtst->dtst_asmMembers[i];
      if (!IsCollectedMember(ms, bKeepEdit, sm)) continue;
      CDataType *pdtMember = sm.sm_tidType.Resolve();
      if (pdtMember == nullptr) continue;
      mdCollectTypeIn(pmc, pdtMember);
      void *pvMember = (char *)pv + sm.sm_slOffset;
      if (CollectCommonPart(pmc, pdtMember, pvMember, sm.sm_ulFlags | ulEdit)) continue;
      CollectPart(pmc, pdtMember, pvMember, sm.sm_ulFlags | ulEdit);
    }
    return;
  }
  case DTT_STATICARRAY:
  case DTT_STATICSTACKARRAY: {
    CDataType *pdtElement = static_cast<CDataType_Container *>(pdt)->dtc_tidElement.Resolve();
    ms.ms_slCollectedBytes += pdt->dt_slSize;
    if (pdtElement == nullptr) return;
    mdCollectTypeIn(pmc, pdtElement);
    const bool bStatic = pdt->dt_dttKind == DTT_STATICARRAY;
    const long ct = bStatic ? ((long *)pv)[0] : ((long *)pv)[2];
    char *pchElements = ((char **)pv)[1];
    if (ct <= 0 || pchElements == nullptr) return;
    if (pdtElement->dt_ulFlags & DTF_PLAIN) {
      // A plain run holds no references: its bytes count, its first element stands for all.
      ms.ms_slCollectedBytes += (ct - 1) * pdtElement->dt_slSize;
      CollectPart(pmc, pdtElement, pchElements, ulReference);
      return;
    }
    if (pdtElement->dt_dttKind == DTT_POINTER &&
        pdtElement->GetFunction(CDataTypeFunctions::DTFS_COLLECT) == nullptr) {
      for (long i = 0; i < ct; i++) {
        CollectPointer(pmc, pdtElement, pchElements + i * pdtElement->dt_slSize, ulReference);
      }
      return;
    }
    for (long i = 0; i < ct; i++) {
      CollectPart(pmc, pdtElement, pchElements + i * pdtElement->dt_slSize, ulReference);
    }
    return;
  }
  case DTT_DYNAMICCONTAINER: {
    CDataType *pdtElement = static_cast<CDataType_Container *>(pdt)->dtc_tidElement.Resolve();
    ms.ms_slCollectedBytes += pdt->dt_slSize;
    if (pdtElement == nullptr) return;
    mdCollectTypeIn(pmc, pdtElement);
    const long ct = ((long *)pv)[2];
    void **apv = ((void ***)pv)[1];
    for (long i = 0; i < ct; i++) {
      if (apv[i] != nullptr)
        CollectReference(pmc, CMetaPointer(pdtElement, apv[i]), ulReference, false);
    }
    return;
  }
  default:
    return;
  }
}

// ---- Collection plans ----

// The switches a structure's walk depends on.
static inline unsigned long PlanSwitches(const MetaSwitches &ms)
{
  return (ms.ms_bInEditor && !ms.ms_bDiscardEditData ? 1UL : 0UL) |
         (ms.ms_bCollectForCopying ? 2UL : 0UL) | (ms.ms_bCopyClipboard ? 4UL : 0UL);
}

// The steps of CollectDefaultIn on a structure whose walk is not an operation of its own (and
// whose frame is no edit part): the bytes of its plain members summed, its plain pointers
// followed, every other part walked through its type.
static void AddStructSteps(CMetaContext *pmc, CDataType_Struct *pdtst, long slOffset, long &slBytes)
{
  const MetaSwitches &ms = pmc->mc_ms;
  const bool bKeepEdit = ms.ms_bInEditor && !ms.ms_bDiscardEditData;
  CStaticStackArray<CollectPlanStep> &sa = pmc->mc_saCollectSteps;
  CDataType *pdtBase = pdtst->dtst_tidBase.Resolve();
  if (pdtBase != nullptr) {
    if (pdtBase->dt_dttKind == DTT_STRUCT &&
        pdtBase->GetFunction(CDataTypeFunctions::DTFS_COLLECT) == nullptr) {
      AddStructSteps(pmc, static_cast<CDataType_Struct *>(pdtBase), slOffset, slBytes);
    } else {
      sa.Push(CollectPlanStep{false, slOffset, pdtBase, 0});
    }
  }
  for (long i = 0; i < pdtst->dtst_ctMembers; i++) {
    CDataType_StructMember &sm = pdtst->dtst_asmMembers[i];
    if (!IsCollectedMember(ms, bKeepEdit, sm)) continue;
    CDataType *pdtMember = sm.sm_tidType.Resolve();
    if (pdtMember == nullptr) continue;
    const long slMember = slOffset + sm.sm_slOffset;
    if (pdtMember->GetFunction(CDataTypeFunctions::DTFS_COLLECT) == nullptr) {
      if (pdtMember->dt_dttKind == DTT_SIMPLE || pdtMember->dt_dttKind == DTT_VALUEFIELD) {
        slBytes += pdtMember->dt_slSize;
        continue;
      }
      if (pdtMember->dt_dttKind == DTT_POINTER) {
        slBytes += 4;
        CDataType *pdtTarget =
            static_cast<CDataType_Targeted *>(pdtMember)->dtt_tidTarget.Resolve();
        if (pdtTarget != nullptr) {
          sa.Push(CollectPlanStep{true, slMember, pdtTarget, sm.sm_ulFlags & ~MFF_TOPLEVEL});
        }
        continue;
      }
    }
    sa.Push(CollectPlanStep{false, slMember, pdtMember, sm.sm_ulFlags});
  }
}

// Collects an object of the type at a context index through the type's plan; false when the
// object is to be walked the general way. The first object of a type is: its walk indexes the
// types it meets in the order they come, and the plan made at the second object finds them all
// indexed.
static bool CollectPlanned(CMetaContext *pmc, long iType, char *pv)
{
  MetaIndexType &mit = pmc->mc_saTypes[iType];
  const unsigned long ulSwitches = PlanSwitches(pmc->mc_ms);
  if (mit.mit_cPlanState == 3) return false;
  if (mit.mit_cPlanState == 0 || mit.mit_ulPlanSwitches != ulSwitches) {
    CDataType *pdt = mit.mit_pdt;
    const bool bPlannable = pdt->dt_dttKind == DTT_STRUCT &&
                            pdt->GetFunction(CDataTypeFunctions::DTFS_COLLECT) == nullptr;
    mit.mit_cPlanState = bPlannable ? 1 : 3;
    mit.mit_ulPlanSwitches = ulSwitches;
    return false;
  }
  if (mit.mit_cPlanState == 1) {
    mit.mit_iPlanFirst = pmc->mc_saCollectSteps.Count();
    long slBytes = 0;
    AddStructSteps(pmc, static_cast<CDataType_Struct *>(mit.mit_pdt), 0, slBytes);
    mit.mit_ctPlanSteps = pmc->mc_saCollectSteps.Count() - mit.mit_iPlanFirst;
    mit.mit_slPlanBytes = slBytes;
    mit.mit_cPlanState = 2;
  }
  // (the steps may index more types and objects: nothing of the entry is used after them)
  const long iFirst = mit.mit_iPlanFirst;
  const long iEnd = iFirst + mit.mit_ctPlanSteps;
  pmc->mc_ms.ms_slCollectedBytes += mit.mit_slPlanBytes;
  for (long i = iFirst; i < iEnd; i++) {
    const CollectPlanStep cps = pmc->mc_saCollectSteps[i];
    if (cps.cps_bPointer) {
      void *pvTarget = *(void **)(pv + cps.cps_slOffset);
      if (pvTarget != nullptr) {
        CollectReference(pmc, CMetaPointer(cps.cps_pdt, pvTarget), cps.cps_ulFlags, false);
      }
    } else {
      CollectPart(pmc, cps.cps_pdt, pv + cps.cps_slOffset, cps.cps_ulFlags);
    }
  }
  return true;
}

// Visits one pending object: decides what it is when saving, and collects an internal one.
static void CollectPending(CMetaContext *pmc, long iObject)
{
  MetaIndexObject *pmio = &pmc->mc_saObjects[iObject];
  pmio->mio_ulFlags &= ~MIF_PENDING;
  if (pmio->mio_ulFlags & MIF_COLLECTED) return;
  const MetaSwitches &ms = pmc->mc_ms;
  CMetaPointer mp = pmio->mio_mp;
  if (!ms.ms_bCollectForCopying) {
    const MetaResourceInfo mri = IsPlainTarget(pmc, mp.mp_pdtType)
                                     ? MetaResourceInfo{0, 0, 0, 0, nullptr, nullptr}
                                     : mdInspectResource(mp);
    if (mri.mri_bProxy) {
      // A proxy stays a reference to its file; the type of what it stands for is needed.
      mdCollectTypeIn(pmc, mri.mri_pdtProxied);
      mdCollectTypeIn(pmc, mp.mp_pdtType);
      return;
    }
    if (mri.mri_bResource) {
      const bool bOwnFile =
          mri.mri_pStorageFile != nullptr && mri.mri_pStorageFile == pmc->mc_pSavedFile;
      const bool bInternal =
          (!mri.mri_bShared && !(ms.ms_bShareExposedObjects && mri.mri_bExposed)) || bOwnFile;
      if (!bInternal) {
        mdCollectTypeIn(pmc, mp.mp_pdtType);
        return;
      }
    }
    pmio->mio_ulFlags &= ~MIF_EXTERNAL;
  }
  // (the index may have grown: refresh the entry)
  pmio = &pmc->mc_saObjects[iObject];
  if (pmio->mio_ulFlags & MIF_EXTERNAL) return;
  unsigned long ulFrame = MFF_TOPLEVEL;
  if (mp.mp_pdtType->dt_dttKind == DTT_POINTER ||
      mp.mp_pdtType->dt_dttKind == DTT_DYNAMICCONTAINER) {
    ulFrame |= SMF_OWNED;
  }
  if (pmio->mio_ulFlags & MIF_EDIT) ulFrame |= SMF_EDIT;
  const long iType = mdCollectTypeIn(pmc, mp.mp_pdtType);
  pmc->mc_saTypes[iType].mit_bExternal = false;
  if (!(ulFrame & SMF_EDIT) && CollectPlanned(pmc, iType, (char *)mp.mp_pvObject)) {
    pmc->mc_saObjects[iObject].mio_ulFlags |= MIF_COLLECTED;
    return;
  }
  CMetaFrame mf(mp, ulFrame);
  CollectIn(pmc, mf);
  pmc->mc_saObjects[iObject].mio_ulFlags |= MIF_COLLECTED;
}

void _mdCollectClosure_t(void)
{
  CMetaContext *pmc = CollectionContext();
  // Edit objects wait for the second pass: an object reached both ways ends up a normal one.
  for (int iPass = 0; iPass < 2; iPass++) {
    for (long iPending = 0; iPending < pmc->mc_saiPending.Count(); iPending++) {
      const long iObject = pmc->mc_saiPending[iPending];
      MetaIndexObject &mio = pmc->mc_saObjects[iObject];
      if (!(mio.mio_ulFlags & MIF_PENDING)) continue;
      if (iPass == 0 && (mio.mio_ulFlags & MIF_EDIT)) continue;
      CollectPending(pmc, iObject);
    }
  }
  pmc->mc_saiPending.PopAll();
  md_slCollectedBytes = pmc->mc_ms.ms_slCollectedBytes;
}

// ---- Clearing ----

void mdCollectToBeCleared(CSmartObject *pso)
{
  if (pso == nullptr) return;
  CMetaContext *pmc = mdGetMetaContext();
  if (!pmc->mc_ms.ms_bCollectingForClear || pmc->mc_dcToBeCleared.IsMember(pso)) return;
  pso->AddRef();
  pmc->mc_dcToBeCleared.Add(pso);
}

long mdCountToBeCleared(void)
{
  return mdGetMetaContext()->mc_dcToBeCleared.Count();
}

CSmartObject *mdGetToBeCleared(long i)
{
  CDynamicContainer<CSmartObject> &dc = mdGetMetaContext()->mc_dcToBeCleared;
  return i >= 0 && i < dc.Count() ? dc.Pointer(i) : nullptr;
}

long mdReleaseToBeCleared(void)
{
  CMetaContext *pmc = mdGetMetaContext();
  // Releasing is no clearing: these releases report nothing.
  const int bWas = pmc->mc_ms.ms_bCollectingForClear;
  pmc->mc_ms.ms_bCollectingForClear = 0;
  CDynamicContainer<CSmartObject> dc;
  dc.Swap(pmc->mc_dcToBeCleared);
  for (CSmartObject *pso : dc) pso->RemRef();
  pmc->mc_ms.ms_bCollectingForClear = bWas;
  return dc.Count();
}

} // namespace QuennelEngine
