#include "core/meta/MetaCopy.h"

#include "core/frame/CodeGuard.h"
#include "core/frame/Exception.h"
#include "core/meta/DataTypeKinds.h"
#include "core/meta/HandleValues.h"
#include "core/meta/MetaCollect.h"
#include "core/meta/MetaContainers.h"
#include "core/meta/MetaContextPrivate.h"
#include "core/meta/MetaObjects.h"
#include "core/meta/Object.h"
#include "core/meta/ObjectRuns.h"

#include <string.h>

namespace QuennelEngine {

// ---- Contents ----

// The copy of an object of the index (the object itself when it is not in it).
static inline CMetaPointer CopyOf(CMetaContext *pmc, const CMetaPointer &mp)
{
  const long i = mdIndexOfObjectIn(pmc, mp.mp_pvObject);
  if (i < 0 || i >= pmc->mc_saCopies.Count()) return mp;
  return pmc->mc_saCopies[i];
}

// The walks below take the operation's context as an argument: finding it is a thread-local
// lookup, too slow to repeat for every pointer of a large graph.
static void CopyTarget(CMetaContext *pmc, CDataType *pdt, void *pvDst, const void *pvSrc,
                       unsigned long ulFlags)
{
  CDataType *pdtTarget = static_cast<CDataType_Targeted *>(pdt)->dtt_tidTarget.Resolve();
  const CMetaPointer mpDst(pdt, pvDst);
  switch (pdt->dt_dttKind) {
  case DTT_POINTER:
  case DTT_SMARTPOINTER: {
    void *pvOld = *(void **)pvDst;
    void *pvSource = *(void *const *)pvSrc;
    CMetaPointer mpCopy = CopyOf(pmc, CMetaPointer(pdtTarget, pvSource));
    if (pdt->dt_dttKind == DTT_POINTER && (ulFlags & SMF_OWNED) && pvOld != nullptr &&
        pvOld != mpCopy.mp_pvObject && pdtTarget != nullptr) {
      *(void **)pvDst = nullptr;
      mdDelete(CMetaPointer(mdGetDynamicType(pdtTarget, pvOld), pvOld));
    }
    if (pdt->dt_dttKind == DTT_POINTER)
      *(void **)pvDst = mpCopy.mp_pvObject;
    else
      mdRef_Assign(mpDst, mpCopy.mp_pvObject);
    return;
  }
  case DTT_HANDLE: {
    const unsigned long ulSource = *(const unsigned long *)pvSrc;
    void *pvOld = hvHandleToPointer(*(unsigned long *)pvDst);
    void *pvTarget = hvHandleToPointer(ulSource);
    CMetaPointer mpCopy;
    bool bHasCopy = false;
    if (pvTarget != nullptr) {
      const long i = mdObjectToIndex(CMetaPointer(pdtTarget, pvTarget));
      mpCopy = i >= 0 ? mdIndexToObjectCopy(i) : CMetaPointer();
      bHasCopy = mpCopy.mp_pvObject != nullptr;
    }
    if ((ulFlags & SMF_OWNED) && pvOld != nullptr && pvOld != mpCopy.mp_pvObject &&
        pdtTarget != nullptr) {
      *(unsigned long *)pvDst = 0;
      mdDelete(CMetaPointer(mdGetDynamicType(pdtTarget, pvOld), pvOld));
    }
    if (bHasCopy) {
      *(unsigned long *)pvDst = hvPointerToHandle(mpCopy.mp_pvObject);
    } else {
      *(unsigned long *)pvDst = pmc->mc_ms.ms_bCopyExternalHandles ? ulSource : 0;
    }
    return;
  }
  default:
    return;
  }
}

// A value copied as its bytes, without a call per value: a plain number or enum of no copy
// operation of its own.
static inline bool IsPlainValue(CDataType *pdt)
{
  return pdt != nullptr && (pdt->dt_dttKind == DTT_SIMPLE || pdt->dt_dttKind == DTT_VALUEFIELD) &&
         (pdt->dt_ulFlags & DTF_PLAIN) &&
         pdt->GetFunction(CDataTypeFunctions::DTFS_COPY) == nullptr;
}

static void CopyDefaultIn(CMetaContext *pmc, CDataType *pdt, void *pvDst, const void *pvSrc,
                          unsigned long ulFlags);

static void CopyObjectIn(CMetaContext *pmc, CDataType *pdt, void *pvDst, const void *pvSrc,
                         unsigned long ulFlags)
{
  if (pdt == nullptr || pvDst == nullptr || pvSrc == nullptr) return;
  MetaCopyFunction pCopy = (MetaCopyFunction)pdt->GetFunction(CDataTypeFunctions::DTFS_COPY);
  if (pCopy != nullptr)
    pCopy(pdt, pvDst, pdt, pvSrc, ulFlags);
  else
    CopyDefaultIn(pmc, pdt, pvDst, pvSrc, ulFlags);
}

void mdCopyObject_t(CDataType *pdt, void *pvDst, const void *pvSrc, unsigned long ulFlags)
{
  CopyObjectIn(mdGetMetaContext(), pdt, pvDst, pvSrc, ulFlags);
}

void mdCopyObjectDefault_t(CDataType *pdt, void *pvDst, const void *pvSrc, unsigned long ulFlags)
{
  CopyDefaultIn(mdGetMetaContext(), pdt, pvDst, pvSrc, ulFlags);
}

static void CopyDefaultIn(CMetaContext *pmc, CDataType *pdt, void *pvDst, const void *pvSrc,
                          unsigned long ulFlags)
{
  if (pdt == nullptr || pvDst == nullptr || pvSrc == nullptr) return;
  switch (pdt->dt_dttKind) {
  case DTT_SIMPLE:
    // Bytes are a copy only of plain values: a text or a handle copied so would be shared.
    if (!(pdt->dt_ulFlags & DTF_PLAIN)) {
      corLogGuardBreach();
      return;
    }
    memcpy(pvDst, pvSrc, (size_t)pdt->dt_slSize);
    return;
  case DTT_VALUEFIELD:
    memcpy(pvDst, pvSrc, (size_t)pdt->dt_slSize);
    return;
  case DTT_POINTER:
  case DTT_SMARTPOINTER:
  case DTT_HANDLE:
    CopyTarget(pmc, pdt, pvDst, pvSrc, ulFlags);
    return;
  case DTT_TYPEDEF:
    CopyObjectIn(pmc, static_cast<CDataType_Targeted *>(pdt)->dtt_tidTarget.Resolve(), pvDst, pvSrc,
                 ulFlags);
    return;
  case DTT_ARRAY: {
    CDataType_Array *pdta = static_cast<CDataType_Array *>(pdt);
    CDataType *pdtElement = pdta->dta_tidElement.Resolve();
    if (pdtElement == nullptr) return;
    const long ct = pdta->GetElementCount();
    const long sl = pdtElement->dt_slSize;
    if (IsPlainValue(pdtElement)) {
      memcpy(pvDst, pvSrc, (size_t)ct * (size_t)sl);
      return;
    }
    for (long i = 0; i < ct; i++) {
      CopyObjectIn(pmc, pdtElement, (char *)pvDst + i * sl, (const char *)pvSrc + i * sl,
                   ulFlags & ~MFF_TOPLEVEL);
    }
    return;
  }
  case DTT_STRUCT: {
    CDataType_Struct *pdtst = static_cast<CDataType_Struct *>(pdt);
    CDataType *pdtBase = pdtst->dtst_tidBase.Resolve();
    if (pdtBase != nullptr) CopyObjectIn(pmc, pdtBase, pvDst, pvSrc, 0);
    for (long i = 0; i < pdtst->dtst_ctMembers; i++) {
      CDataType_StructMember &sm = pdtst->dtst_asmMembers[i];
      if (sm.sm_ulFlags & (SMF_NOSAVE | SMF_NOCOPY)) continue;
      if ((sm.sm_ulFlags & SMF_NOCLIPBOARD) && pmc->mc_ms.ms_bCopyClipboard) continue;
      CDataType *pdtMember = sm.sm_tidType.Resolve();
      if (pdtMember == nullptr) continue;
      const MetaCopyFunction pCopy =
          (MetaCopyFunction)pdtMember->GetFunction(CDataTypeFunctions::DTFS_COPY);
      if (pCopy == nullptr) {
        // The common members without a call of their own: plain values and references.
        const DataTypeType dtt = pdtMember->dt_dttKind;
        if ((dtt == DTT_SIMPLE || dtt == DTT_VALUEFIELD) && (pdtMember->dt_ulFlags & DTF_PLAIN)) {
          memcpy((char *)pvDst + sm.sm_slOffset, (const char *)pvSrc + sm.sm_slOffset,
                 (size_t)pdtMember->dt_slSize);
          continue;
        }
        if (dtt == DTT_POINTER || dtt == DTT_SMARTPOINTER || dtt == DTT_HANDLE) {
          CopyTarget(pmc, pdtMember, (char *)pvDst + sm.sm_slOffset,
                     (const char *)pvSrc + sm.sm_slOffset, sm.sm_ulFlags);
          continue;
        }
      }
      CopyObjectIn(pmc, pdtMember, (char *)pvDst + sm.sm_slOffset,
                   (const char *)pvSrc + sm.sm_slOffset, sm.sm_ulFlags);
    }
    return;
  }
  case DTT_STATICARRAY:
  case DTT_STATICSTACKARRAY: {
    CDataType *pdtElement = static_cast<CDataType_Container *>(pdt)->dtc_tidElement.Resolve();
    if (pdtElement == nullptr) return;
    const bool bStatic = pdt->dt_dttKind == DTT_STATICARRAY;
    const long ct = bStatic ? ((const long *)pvSrc)[0] : ((const long *)pvSrc)[2];
    const char *pchSrc = ((char *const *)pvSrc)[1];
    const CMetaPointer mpDst(pdt, pvDst);
    char *pchDst;
    if (bStatic) {
      mdStaticArray_New_t(mpDst, ct);
      pchDst = ((char **)pvDst)[1];
    } else {
      mdStaticStackArray_Clear(mpDst);
      pchDst = ct > 0 ? (char *)mdStaticStackArray_Push_t(mpDst, ct).mp_pvObject : nullptr;
    }
    const long sl = pdtElement->dt_slSize;
    if (IsPlainValue(pdtElement)) {
      if (ct > 0) memcpy(pchDst, pchSrc, (size_t)ct * (size_t)sl);
      return;
    }
    const unsigned long ulElement = ulFlags & ~MFF_TOPLEVEL & ~SMF_OWNED;
    if (pdtElement->dt_dttKind == DTT_POINTER &&
        pdtElement->GetFunction(CDataTypeFunctions::DTFS_COPY) == nullptr) {
      for (long i = 0; i < ct; i++)
        CopyTarget(pmc, pdtElement, pchDst + i * sl, pchSrc + i * sl, ulElement);
      return;
    }
    for (long i = 0; i < ct; i++)
      CopyObjectIn(pmc, pdtElement, pchDst + i * sl, pchSrc + i * sl, ulElement);
    return;
  }
  case DTT_DYNAMICCONTAINER: {
    CDataType *pdtElement = static_cast<CDataType_Container *>(pdt)->dtc_tidElement.Resolve();
    const CMetaPointer mpDst(pdt, pvDst);
    if ((ulFlags & SMF_OWNED) && mdContainer_Count(mpDst) > 0)
      mdDynamicContainer_DeleteAllMembers(mpDst);
    mdDynamicContainer_Clear(mpDst);
    const long ct = ((const long *)pvSrc)[2];
    void *const *apv = ((void **const *)pvSrc)[1];
    for (long i = 0; i < ct; i++) {
      CMetaPointer mpCopy = CopyOf(pmc, CMetaPointer(pdtElement, apv[i]));
      if (mpCopy.mp_pvObject != nullptr) mdDynamicContainer_Add(mpDst, mpCopy.mp_pvObject);
    }
    return;
  }
  default:
    return;
  }
}

void mdCopyReference_t(CMetaPointer &mpDestination, CMetaPointer mpSource, unsigned long ulFlags)
{
  if (!mpDestination.IsValid() || !mpSource.IsValid()) return;
  if (mdAsTargeted(mpDestination.mp_pdtType) == nullptr) {
    corLogGuardBreach();
    return;
  }
  CopyTarget(mdGetMetaContext(), mpDestination.mp_pdtType, mpDestination.mp_pvObject,
             mpSource.mp_pvObject, ulFlags);
}

// ---- Copying graphs ----

// What an object of the collected graph maps to before anything is copied.
static CMetaPointer ChooseCopy(CMetaContext *pmc, long iObject, CObjectRuns &ors)
{
  const MetaSwitches &ms = pmc->mc_ms;
  const CMetaPointer mp = pmc->mc_saObjects[iObject].mio_mp;
  const unsigned long ulFlags = pmc->mc_saObjects[iObject].mio_ulFlags;
  if (ulFlags & MIF_EXTERNAL) {
    const MetaResourceInfo mri = mdInspectResource(mp);
    if (mri.mri_bResource &&
        (mri.mri_bShared || mri.mri_bProxy || (ms.ms_bShareExposedObjects && mri.mri_bExposed))) {
      return mp;
    }
    return (ulFlags & MIF_RETAINED) ? mp : CMetaPointer();
  }
  if ((ulFlags & MIF_EDIT) && !ms.ms_bCopyEditData) return CMetaPointer();
  try {
    // (collected graphs list a container's objects in a row)
    ors.Before(mp.mp_pdtType, [&] {
      long ct = 1;
      while (iObject + ct < pmc->mc_saObjects.Count() &&
             pmc->mc_saObjects[iObject + ct].mio_mp.mp_pdtType == mp.mp_pdtType)
        ct++;
      return ct;
    });
    return mdNew_t(mp.mp_pdtType);
  } catch (CException &) {
    // This object stays uncopied; references to it become null.
    return CMetaPointer();
  }
}

// Whether any type the collection met (each object's type and the types of its parts) has a
// PostCopy hook on itself or a base: most graphs have none, and then the walk is skipped.
static bool AnyPostCopyHook(CMetaContext *pmc)
{
  for (const MetaIndexType &mit : pmc->mc_saTypes) {
    if (mit.mit_pdt != nullptr &&
        mdFindFunction(mit.mit_pdt, CDataTypeFunctions::DTFS_POSTCOPY) != nullptr) {
      return true;
    }
  }
  return false;
}

static void CopyCollected(CMetaContext *pmc)
{
  const long ct = pmc->mc_saObjects.Count();
  {
    CObjectRuns ors;
    for (long i = 0; i < ct; i++) {
      if (pmc->mc_saCopies[i].mp_pvObject == nullptr) pmc->mc_saCopies[i] = ChooseCopy(pmc, i, ors);
    }
  }
  for (long i = 0; i < ct; i++) {
    const CMetaPointer mp = pmc->mc_saObjects[i].mio_mp;
    const CMetaPointer mpCopy = pmc->mc_saCopies[i];
    // Nothing is written into a copy that could not be made.
    if (mpCopy.mp_pvObject == nullptr || mpCopy.mp_pvObject == mp.mp_pvObject) continue;
    MetaCopyFunction pCopy =
        (MetaCopyFunction)mp.mp_pdtType->GetFunction(CDataTypeFunctions::DTFS_COPY);
    if (pCopy != nullptr) {
      pCopy(mpCopy.mp_pdtType, mpCopy.mp_pvObject, mp.mp_pdtType, mp.mp_pvObject, MFF_TOPLEVEL);
    } else {
      CopyDefaultIn(pmc, mp.mp_pdtType, mpCopy.mp_pvObject, mp.mp_pvObject, MFF_TOPLEVEL);
    }
  }
  if (!AnyPostCopyHook(pmc)) return;
  for (long i = 0; i < ct; i++) {
    const CMetaPointer mpCopy = pmc->mc_saCopies[i];
    if (mpCopy.mp_pvObject != nullptr &&
        mpCopy.mp_pvObject != pmc->mc_saObjects[i].mio_mp.mp_pvObject) {
      mdPostCopy(mpCopy);
    }
  }
}

// The switches of a copy, in its own context (so they are back whatever happens).
static void StartCopy(void)
{
  mdSetupMetaIndex();
  MetaSwitches &ms = mdGetMetaSwitches();
  ms.ms_bResolveProxies = 0;
  ms.ms_bCollectForCopying = 1;
}

void mdCopy(CMetaPointer &mpDestination, CMetaPointer mpSource)
{
  if (!mpSource.IsValid()) {
    mpDestination = CMetaPointer();
    return;
  }
  CMetaContextScope mcs;
  StartCopy();
  const long iRoot = mdCollectReference_t(mpSource, SMF_OWNED);
  _mdCollectClosure_t();
  mdSetObjectCopyCount();
  if (mpDestination.IsValid()) mdSetObjectCopyIndex(iRoot, mpDestination);
  CopyCollected(mcs.GetContext());
  mpDestination = mdIndexToObjectCopy(iRoot);
}

void mdCopyMultiple(CStaticStackArray<CMetaPointer> &saDestinations,
                    CStaticStackArray<CMetaPointer> &saSources)
{
  CMetaContextScope mcs;
  StartCopy();
  CStaticStackArray<long> saiRoots;
  for (const CMetaPointer &mp : saSources) saiRoots.Push() = mdCollectReference_t(mp, SMF_OWNED);
  _mdCollectClosure_t();
  mdSetObjectCopyCount();
  for (long i = 0; i < saiRoots.Count() && i < saDestinations.Count(); i++) {
    if (saiRoots[i] >= 0 && saDestinations[i].IsValid())
      mdSetObjectCopyIndex(saiRoots[i], saDestinations[i]);
  }
  CopyCollected(mcs.GetContext());
  saDestinations.PopAll();
  for (long i = 0; i < saiRoots.Count(); i++) {
    saDestinations.Push(saiRoots[i] < 0 ? CMetaPointer() : mdIndexToObjectCopy(saiRoots[i]));
  }
}

// ---- The clipboard ----

static CMetaPointer _md_mpClipboard;
static CMetaPointer _md_mpClipboardRaw;

void mdSetClipboard(CMetaPointer mp)
{
  if (mp == _md_mpClipboard) return;
  mdDelete(_md_mpClipboard);
  _md_mpClipboard = mp;
}

CMetaPointer mdGetClipboard(void)
{
  return _md_mpClipboard;
}

void mdSetClipboardRaw(CMetaPointer mp)
{
  _md_mpClipboardRaw = mp;
}

CMetaPointer mdGetClipboardRaw(void)
{
  return _md_mpClipboardRaw;
}

// ---- Breaking cycles ----

static void ClearParts(CDataType *pdt, void *pv, int iDepth)
{
  if (pdt == nullptr || pv == nullptr || iDepth > 200) return;
  switch (pdt->dt_dttKind) {
  case DTT_SMARTPOINTER: {
    CSmartObject *pso = *(CSmartObject **)pv;
    if (pso == nullptr) return;
    // The reference moves to the holding list: no count changes until all are cleared.
    mdGetMetaContext()->mc_dcHeld.Add(pso);
    *(CSmartObject **)pv = nullptr;
    return;
  }
  case DTT_TYPEDEF:
    ClearParts(static_cast<CDataType_Targeted *>(pdt)->dtt_tidTarget.Resolve(), pv, iDepth + 1);
    return;
  case DTT_ARRAY: {
    CDataType_Array *pdta = static_cast<CDataType_Array *>(pdt);
    CDataType *pdtElement = pdta->dta_tidElement.Resolve();
    if (pdtElement == nullptr) return;
    for (long i = 0; i < pdta->GetElementCount(); i++) {
      ClearParts(pdtElement, (char *)pv + i * pdtElement->dt_slSize, iDepth + 1);
    }
    return;
  }
  case DTT_STRUCT: {
    CDataType_Struct *pdtst = static_cast<CDataType_Struct *>(pdt);
    ClearParts(pdtst->dtst_tidBase.Resolve(), pv, iDepth + 1);
    for (long i = 0; i < pdtst->dtst_ctMembers; i++) {
      CDataType_StructMember &sm = pdtst->dtst_asmMembers[i];
      ClearParts(sm.sm_tidType.Resolve(), (char *)pv + sm.sm_slOffset, iDepth + 1);
    }
    return;
  }
  case DTT_STATICARRAY:
  case DTT_STATICSTACKARRAY: {
    CDataType *pdtElement = static_cast<CDataType_Container *>(pdt)->dtc_tidElement.Resolve();
    if (pdtElement == nullptr || (pdtElement->dt_ulFlags & DTF_PLAIN)) return;
    const long ct = pdt->dt_dttKind == DTT_STATICARRAY ? ((long *)pv)[0] : ((long *)pv)[2];
    char *pch = ((char **)pv)[1];
    for (long i = 0; i < ct; i++)
      ClearParts(pdtElement, pch + i * pdtElement->dt_slSize, iDepth + 1);
    return;
  }
  default:
    return;
  }
}

void mdClearObject_t(CMetaPointer mp, unsigned long)
{
  if (!mp.IsValid()) return;
  ClearParts(mp.mp_pdtType, mp.mp_pvObject, 0);
}

void mdClearSmartPointers(CMetaPointer mp)
{
  if (!mp.IsValid()) return;
  CMetaContextScope mcs;
  StartCopy();
  mdCollectReference_t(mp, SMF_OWNED);
  _mdCollectClosure_t();
  for (long i = 0; i < mdGetObjectCount(); i++) {
    if (!mdIsObjectExternal(i)) mdClearObject_t(mdIndexToObject(i), 0);
  }
  // Only now may objects go: every pointer of a cycle is cleared.
  mdReleaseHeldReferences();
}

long mdReleaseHeldReferences(void)
{
  CDynamicContainer<CSmartObject> dcHeld;
  dcHeld.Swap(mdGetMetaContext()->mc_dcHeld);
  for (CSmartObject *pso : dcHeld) pso->RemRef();
  return dcHeld.Count();
}

} // namespace QuennelEngine
