// The end of a read: which objects the root reaches through the references read, and the
// deletion of those nothing reaches (when the outermost load of the thread ends) and of all that
// a failed read made. The references between such objects are let go first, so that cycles go
// too and nothing is deleted twice.
#include "core/frame/Console.h"
#include "core/meta/DataTypeKinds.h"
#include "core/meta/MetaContainers.h"
#include "core/meta/MetaObjects.h"
#include "core/meta/MetaReadPrivate.h"
#include "core/meta/MetaSettings.h"
#include "core/meta/Object.h"
#include "core/streams/Stream.h"
#include "core/text/Translation.h"

namespace QuennelEngine {

namespace {

thread_local CStaticStackArray<CMetaPointer> *_md_psaUnused = nullptr;

CStaticStackArray<CMetaPointer> &Unused(void)
{
  if (_md_psaUnused == nullptr) _md_psaUnused = new CStaticStackArray<CMetaPointer>;
  return *_md_psaUnused;
}

// Sets every reference inside an object that a read may have stored null without deleting what it
// referred to (smart pointers release theirs), so that objects of a read can be deleted one by
// one.
void DetachReferences(CDataType *pdt, void *pv, int iDepth)
{
  if (pdt == nullptr || pv == nullptr || iDepth > 2 * MD_MAX_NESTING) return;
  switch (pdt->dt_dttKind) {
  case DTT_POINTER:
  case DTT_REFERENCE:
    *(void **)pv = nullptr;
    return;
  case DTT_HANDLE:
    *(unsigned long *)pv = 0;
    return;
  case DTT_SMARTPOINTER:
    mdRef_Assign(CMetaPointer(pdt, pv), nullptr);
    return;
  case DTT_TYPEDEF:
    DetachReferences(static_cast<CDataType_Targeted *>(pdt)->dtt_tidTarget.Resolve(), pv,
                     iDepth + 1);
    return;
  case DTT_ARRAY: {
    CDataType *pdtElement = static_cast<CDataType_Array *>(pdt)->dta_tidElement.Resolve();
    if (pdtElement == nullptr || IsPlain(pdtElement)) return;
    const long ct = static_cast<CDataType_Array *>(pdt)->GetElementCount();
    for (long i = 0; i < ct; i++)
      DetachReferences(pdtElement, (char *)pv + i * pdtElement->dt_slSize, iDepth + 1);
    return;
  }
  case DTT_STRUCT: {
    CDataType_Struct *pdtst = static_cast<CDataType_Struct *>(pdt);
    DetachReferences(pdtst->dtst_tidBase.Resolve(), pv, iDepth + 1);
    for (long i = 0; i < pdtst->dtst_ctMembers; i++) {
      CDataType_StructMember &sm = pdtst->dtst_asmMembers[i];
      // What a member that is never saved holds, the read did not put there: the object's own
      // destructor deals with it (and may need it).
      if (sm.sm_ulFlags & SMF_NOSAVE) continue;
      DetachReferences(sm.sm_tidType.Resolve(), (char *)pv + sm.sm_slOffset, iDepth + 1);
    }
    return;
  }
  case DTT_STATICARRAY:
  case DTT_STATICSTACKARRAY: {
    CDataType *pdtElement = static_cast<CDataType_Container *>(pdt)->dtc_tidElement.Resolve();
    if (pdtElement == nullptr || IsPlain(pdtElement)) return;
    const long ct = pdt->dt_dttKind == DTT_STATICARRAY ? ((long *)pv)[0] : ((long *)pv)[2];
    char *pch = ((char **)pv)[1];
    for (long i = 0; i < ct && pch != nullptr; i++)
      DetachReferences(pdtElement, pch + i * pdtElement->dt_slSize, iDepth + 1);
    // (emptied as well: the object's own code must not meet null entries it never had)
    if (pdt->dt_dttKind == DTT_STATICARRAY) {
      mdStaticArray_Clear(CMetaPointer(pdt, pv));
    } else {
      mdStaticStackArray_Clear(CMetaPointer(pdt, pv));
    }
    return;
  }
  case DTT_DYNAMICCONTAINER:
    mdDynamicContainer_Clear(CMetaPointer(pdt, pv));
    return;
  default:
    return;
  }
}

} // namespace

bool IsSmart(const CMetaPointer &mp)
{
  return mp.IsValid() && mdIsDerivedFrom(mp.mp_pdtType, CSmartObject::md_pdtDataType);
}

CSmartObject *AsSmart(const CMetaPointer &mp)
{
  return static_cast<CSmartObject *>((CObject *)mp.mp_pvObject);
}

namespace {

// Deletes objects of a read that nothing is to keep. A reference of our own keeps every counted
// object alive until its turn, and the references between them are let go first, so that
// cycles go too and nothing is deleted twice; a counted object that someone else took a
// reference to meanwhile stays.
void DeleteObjects(CStaticStackArray<CMetaPointer> &saObjects)
{
  for (CMetaPointer &mp : saObjects) {
    if (IsSmart(mp)) AsSmart(mp)->AddRef();
  }
  for (CMetaPointer &mp : saObjects) DetachReferences(mp.mp_pdtType, mp.mp_pvObject, 0);
  for (CMetaPointer &mp : saObjects) {
    DropDeferred(0, mp.mp_pvObject);
    if (IsSmart(mp)) {
      AsSmart(mp)->RemRef();
    } else {
      mdDelete(mp);
    }
  }
}

} // namespace

// Deletes the objects a failed read made (they were never handed out).
void DeleteCreated(CMetaReadContext &rc)
{
  CStaticStackArray<CMetaPointer> saMade;
  for (MetaReadObject &mro : rc.mrc_aObjects) {
    if (!mro.mro_bExternal && mro.mro_mp.IsValid()) saMade.Push(mro.mro_mp);
  }
  DeleteObjects(saMade);
}

void ReleaseHeld(CMetaReadContext &rc)
{
  CStaticStackArray<CSmartObject *> sa;
  sa.Swap(rc.mrc_apsoHeld);
  for (CSmartObject *pso : sa) pso->RemRef();
}

// Hands the unused objects to be deleted when the outermost load of the thread ends.
void DisposeUnused(CMetaReadContext &rc)
{
  long ctUnused = 0;
  for (long i = 1; i < rc.mrc_aObjects.Count(); i++) {
    MetaReadObject &mro = rc.mrc_aObjects[i];
    if (mro.mro_bExternal || mro.mro_bReferenced || !mro.mro_mp.IsValid()) continue;
    if (md_iReportUnusedObjects == 2) {
      conInfo(strTranslate(
                  "DOZUMetaRead.Unused=Object %1 type '%2' from '%3' will be deleted because it "
                  "isn't used.\n"),
              i, mro.mro_mp.mp_pdtType->GetName(), rc.mrc_pstrm->GetDescription());
    }
    Unused().Push(mro.mro_mp);
    ctUnused++;
  }
  if (md_iReportUnusedObjects > 0 && ctUnused > 0) {
    conTrace(
        strTranslate(
            "DOZUMetaRead.UnusedCount=Meta loader deleted %1 unused objects from '%2' file.\n"),
        ctUnused, rc.mrc_pstrm->GetDescription());
  }
}

void DeleteUnusedObjects(void)
{
  if (_md_psaUnused == nullptr) return;
  CStaticStackArray<CMetaPointer> sa;
  sa.Swap(*_md_psaUnused);
  DeleteObjects(sa);
}

// An object is used when the root reaches it through the references read: a cycle that the
// root does not reach is as unused as a lone object. Objects read after something reached them
// marked their targets as they were read; the references of those read before are followed
// from every one of them that is reached now.
void MarkReachable(CMetaReadContext &rc)
{
  CStaticStackArray<long> aiWork;
  const long ct = rc.mrc_aObjects.Count();
  if (ct > 0) rc.mrc_aObjects[0].mro_bReferenced = true;
  for (long i = 0; i < ct && (i >> 5) < rc.mrc_aulReached.Count(); i++) {
    if ((rc.mrc_aulReached[i >> 5] >> (i & 31)) & 1) rc.mrc_aObjects[i].mro_bReferenced = true;
  }
  for (long i = 0; i < ct; i++) {
    const MetaReadObject &mro = rc.mrc_aObjects[i];
    if (mro.mro_bReferenced && mro.mro_ctEdges > 0) aiWork.Push() = i;
  }
  while (aiWork.Count() > 0) {
    const MetaReadObject &mro = rc.mrc_aObjects[aiWork[aiWork.Count() - 1]];
    aiWork.Pop();
    for (long e = mro.mro_iFirstEdge; e < mro.mro_iFirstEdge + mro.mro_ctEdges; e++) {
      MetaReadObject &mroTo = rc.mrc_aObjects[rc.mrc_aiEdges[e]];
      if (mroTo.mro_bReferenced) continue;
      mroTo.mro_bReferenced = true;
      if (mroTo.mro_ctEdges > 0) aiWork.Push() = rc.mrc_aiEdges[e];
    }
  }
}

} // namespace QuennelEngine
