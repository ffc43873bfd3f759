#include "core/meta/MetaIndex.h"

#include "core/frame/CodeGuard.h"
#include "core/meta/DataType.h"
#include "core/meta/MetaContextPrivate.h"
#include "core/meta/MetaSettings.h"
#include "core/meta/Object.h"

#include <stdint.h>
#include <string.h>

#include <atomic>

namespace QuennelEngine {

MetaSwitches MetaSwitches::FromGlobals(void)
{
  MetaSwitches ms;
  ms.ms_bInEditor = md_bInEditor;
  ms.ms_bDiscardEditData = md_bDiscardEditData;
  ms.ms_bCopyEditData = md_bCopyEditData;
  ms.ms_bResolveProxies = md_bResolveProxies;
  ms.ms_bShareExposedObjects = md_bShareExposedObjects;
  ms.ms_bForceResourcesAsExtern = md_bForceResourcesAsExtern;
  ms.ms_bCollectForCopying = md_bCollectForCopying;
  ms.ms_bCopyRetainsAll = md_bCopyRetainsAll;
  ms.ms_bCopyClipboard = md_bCopyClipboard;
  ms.ms_bCollectingForClear = md_bCollectingForClear;
  ms.ms_bCopyExternalHandles = md_bCopyExternalHandles;
  ms.ms_slCollectedBytes = 0;
  return ms;
}

void MetaSwitches::FollowGlobals(void)
{
  const long slBytes = ms_slCollectedBytes;
  *this = FromGlobals();
  ms_slCollectedBytes = slBytes;
}

// ---- Contexts ----

static thread_local CMetaContext *_md_pmcTop = nullptr;

CMetaContext::CMetaContext(CMetaContext *pmcOuter)
    : mc_pSavedFile(nullptr), mc_ms(MetaSwitches::FromGlobals()), mc_pmcOuter(pmcOuter)
{
}

CMetaContext::~CMetaContext(void)
{
  // A clearing that threw before it released what outlived it.
  if (mc_dcToBeCleared.Count() > 0) {
    mc_ms.ms_bCollectingForClear = 0;
    CDynamicContainer<CSmartObject> dc;
    dc.Swap(mc_dcToBeCleared);
    for (CSmartObject *pso : dc) pso->RemRef();
  }
  Clear();
}

void CMetaContext::Clear(void)
{
  for (MetaIndexType &mit : mc_saTypes) {
    if (mit.mit_pdt != nullptr) mit.mit_pdt->dt_iSaveIndex = -1;
  }
  mc_saObjects.PopAll();
  mc_saCopies.PopAll();
  mc_saTypes.PopAll();
  mc_aiTypes.Reset();
  mc_saIdents.PopAll();
  mc_saiPending.PopAll();
  mc_saCollectSteps.PopAll();
  mc_aiObjects.Reset();
  mc_aiIdents.Reset();
  mc_pSavedFile = nullptr;
  mc_iWriteNesting = 0;
}

template <class T> static size_t BytesOf(const CStaticStackArray<T> &sa)
{
  return (size_t)sa.AllocatedCount() * sizeof(T);
}

size_t CMetaContext::BytesHeld(void) const
{
  return BytesOf(mc_saObjects) + BytesOf(mc_saCopies) + BytesOf(mc_saTypes) + BytesOf(mc_saIdents) +
         BytesOf(mc_saiPending) + BytesOf(mc_saCollectSteps) + mc_aiObjects.BytesHeld() +
         mc_aiTypes.BytesHeld() + mc_aiIdents.BytesHeld();
}

// The tables of the last operation wait for the next one (on any thread): an operation over a
// large graph then neither grows its tables step by step nor pays for fresh pages again. One
// context of up to this many bytes is kept so; it goes back to the system with the process.
static const size_t _md_slSpareLimit = 64u << 20;
static std::atomic<CMetaContext *> _md_pmcSpare{nullptr};

CMetaContextScope::CMetaContextScope(void)
{
  CMetaContext *pmc = _md_pmcSpare.exchange(nullptr, std::memory_order_acquire);
  if (pmc != nullptr) {
    pmc->mc_ms = MetaSwitches::FromGlobals();
    pmc->mc_pmcOuter = _md_pmcTop;
  } else {
    pmc = new CMetaContext(_md_pmcTop);
  }
  mcs_pmc = pmc;
  _md_pmcTop = mcs_pmc;
}

CMetaContextScope::~CMetaContextScope(void)
{
  // Scopes end in reverse order on their thread.
  CMetaContext *pmc = mcs_pmc;
  _md_pmcTop = pmc->mc_pmcOuter;
  if (pmc->mc_dcToBeCleared.Count() == 0 && pmc->mc_dcHeld.Count() == 0) {
    pmc->Clear();
    pmc->mc_pmcOuter = nullptr;
    CMetaContext *pmcNone = nullptr;
    if (pmc->BytesHeld() <= _md_slSpareLimit &&
        _md_pmcSpare.compare_exchange_strong(pmcNone, pmc, std::memory_order_release)) {
      return;
    }
  }
  delete pmc;
}

CMetaContext *mdGetMetaContext(void)
{
  if (_md_pmcTop == nullptr) {
    // A thread's base context lives as long as the thread (one per thread that uses the index
    // outside an operation).
    static thread_local CMetaContext *_pmcBase = nullptr;
    if (_pmcBase == nullptr) {
      _pmcBase = new CMetaContext(nullptr);
      _pmcBase->mc_bThreadBase = true;
    }
    _md_pmcTop = _pmcBase;
  }
  return _md_pmcTop;
}

MetaSwitches &mdGetMetaSwitches(void)
{
  return mdGetMetaContext()->mc_ms;
}

void mdSetupMetaIndex(void)
{
  CMetaContext *pmc = mdGetMetaContext();
  pmc->Clear();
  pmc->mc_ms = MetaSwitches::FromGlobals();
}

void mdCleanupMetaIndex(void)
{
  CMetaContext *pmc = mdGetMetaContext();
  // Descriptors built from a file live as long as the operation that read them.
  for (MetaIndexType &mit : pmc->mc_saTypes) {
    if (mit.mit_pdt != nullptr && (mit.mit_pdt->dt_ulFlags & DTF_FROMFILE)) {
      CDataType *pdt = mit.mit_pdt;
      mit.mit_pdt = nullptr;
      delete pdt;
    }
  }
  pmc->Clear();
}

// ---- Objects ----

static MetaIndexObject *ObjectAt(CMetaContext *pmc, long iObject)
{
  if (iObject < 0 || iObject >= pmc->mc_saObjects.Count()) return nullptr;
  return &pmc->mc_saObjects[iObject];
}

long mdAddObject(CMetaPointer mp)
{
  CMetaContext *pmc = mdGetMetaContext();
  const long i = pmc->mc_saObjects.Count();
  pmc->mc_saObjects.Push(MetaIndexObject{mp, MIF_EXTERNAL, 0});
  if (mp.mp_pvObject != nullptr) pmc->mc_aiObjects.Add(mp.mp_pvObject, i);
  return i;
}

long mdObjectToIndex(CMetaPointer mp)
{
  if (mp.mp_pvObject == nullptr) return -1;
  return mdGetMetaContext()->mc_aiObjects.Find(mp.mp_pvObject);
}

CMetaPointer mdIndexToObject(long iObject)
{
  MetaIndexObject *pmio = ObjectAt(mdGetMetaContext(), iObject);
  return pmio == nullptr ? CMetaPointer() : pmio->mio_mp;
}

long mdGetObjectCount(void)
{
  return mdGetMetaContext()->mc_saObjects.Count();
}

void mdSetObjectCount(long ct)
{
  CMetaContext *pmc = mdGetMetaContext();
  if (ct < 0) ct = 0;
  while (pmc->mc_saObjects.Count() > ct) pmc->mc_saObjects.Pop();
  while (pmc->mc_saObjects.Count() < ct)
    pmc->mc_saObjects.Push(MetaIndexObject{CMetaPointer(), MIF_EXTERNAL, 0});
  pmc->mc_aiObjects.Reset();
  for (long i = 0; i < pmc->mc_saObjects.Count(); i++) {
    const void *pv = pmc->mc_saObjects[i].mio_mp.mp_pvObject;
    if (pv != nullptr) pmc->mc_aiObjects.Add(pv, i);
  }
}

void mdSetObject(long iObject, CMetaPointer mp)
{
  CMetaContext *pmc = mdGetMetaContext();
  MetaIndexObject *pmio = ObjectAt(pmc, iObject);
  if (pmio == nullptr) {
    corLogGuardBreach();
    return;
  }
  pmio->mio_mp = mp;
  if (mp.mp_pvObject != nullptr) pmc->mc_aiObjects.Add(mp.mp_pvObject, iObject);
}

unsigned long mdGetObjectFlags(long iObject)
{
  MetaIndexObject *pmio = ObjectAt(mdGetMetaContext(), iObject);
  return pmio == nullptr ? 0 : pmio->mio_ulFlags;
}

static void SetFlag(long iObject, unsigned long ulSet, unsigned long ulClear)
{
  MetaIndexObject *pmio = ObjectAt(mdGetMetaContext(), iObject);
  if (pmio == nullptr) return;
  pmio->mio_ulFlags = (pmio->mio_ulFlags & ~ulClear) | ulSet;
}

void mdMarkObjectAsInternal(long iObject)
{
  SetFlag(iObject, 0, MIF_EXTERNAL);
}
void mdMarkObjectAsRetained(long iObject)
{
  SetFlag(iObject, MIF_RETAINED, 0);
}
void mdMarkObjectAsEdit(long iObject)
{
  SetFlag(iObject, MIF_EDIT, 0);
}
void mdMarkObjectAsNotEdit(long iObject)
{
  SetFlag(iObject, 0, MIF_EDIT);
}
void mdMarkObjectAsDelayedLoaded(long iObject)
{
  SetFlag(iObject, MIF_DELAYED, 0);
}
void mdMarkObjectAsLoadedOnDemand(long iObject)
{
  SetFlag(iObject, MIF_LOADONDEMAND, 0);
}
void mdMarkObjectAsCollected(long iObject)
{
  SetFlag(iObject, MIF_COLLECTED, 0);
}

int mdIsObjectExternal(long iObject)
{
  return (mdGetObjectFlags(iObject) & MIF_EXTERNAL) != 0;
}
int mdIsObjectRetained(long iObject)
{
  return (mdGetObjectFlags(iObject) & MIF_RETAINED) != 0;
}
int mdIsObjectEdit(long iObject)
{
  return (mdGetObjectFlags(iObject) & MIF_EDIT) != 0;
}
int mdIsObjectDelayedLoaded(long iObject)
{
  return (mdGetObjectFlags(iObject) & MIF_DELAYED) != 0;
}
int mdIsObjectLoadedOnDemand(long iObject)
{
  return (mdGetObjectFlags(iObject) & MIF_LOADONDEMAND) != 0;
}
int mdIsObjectCollected(long iObject)
{
  return (mdGetObjectFlags(iObject) & MIF_COLLECTED) != 0;
}

long mdAddObjectReference(CMetaPointer mp)
{
  long i = mdObjectToIndex(mp);
  if (i < 0) {
    if (mp.mp_pvObject == nullptr) return -1;
    i = mdAddObject(mp);
  }
  mdGetMetaContext()->mc_saObjects[i].mio_ctReferences++;
  return i;
}

long mdGetObjectReferences(long iObject)
{
  MetaIndexObject *pmio = ObjectAt(mdGetMetaContext(), iObject);
  return pmio == nullptr ? 0 : pmio->mio_ctReferences;
}

// ---- Copies ----

void mdSetObjectCopyCount(void)
{
  CMetaContext *pmc = mdGetMetaContext();
  pmc->mc_saCopies.PopAll();
  pmc->mc_saCopies.Push(pmc->mc_saObjects.Count());
}

void mdSetObjectCopyIndex(long iObject, CMetaPointer mpCopy)
{
  CMetaContext *pmc = mdGetMetaContext();
  if (iObject < 0 || iObject >= pmc->mc_saCopies.Count()) {
    corLogGuardBreach();
    return;
  }
  pmc->mc_saCopies[iObject] = mpCopy;
}

CMetaPointer mdIndexToObjectCopy(long iObject)
{
  CMetaContext *pmc = mdGetMetaContext();
  if (iObject < 0 || iObject >= pmc->mc_saCopies.Count()) return CMetaPointer();
  return pmc->mc_saCopies[iObject];
}

CMetaPointer mdObjectToObjectCopy(CMetaPointer mp)
{
  if (mp.mp_pvObject == nullptr) return mp;
  const long i = mdObjectToIndex(mp);
  CMetaContext *pmc = mdGetMetaContext();
  if (i < 0 || i >= pmc->mc_saCopies.Count()) return mp;
  return pmc->mc_saCopies[i];
}

// ---- Types ----

long mdTypeIndexSlow(CMetaContext *pmc, CDataType *pdt)
{
  const long i = pmc->mc_aiTypes.Find(pdt);
  if (i < 0 || i >= pmc->mc_saTypes.Count() || pmc->mc_saTypes[i].mit_pdt != pdt) return -1;
  pdt->dt_iSaveIndex = i;
  return i;
}

long mdAddTypeSlow(CMetaContext *pmc, CDataType *pdt)
{
  const long iKnown = mdTypeIndexSlow(pmc, pdt);
  if (iKnown >= 0) return iKnown;
  const long i = pmc->mc_saTypes.Count();
  pmc->mc_saTypes.Push(MetaIndexType{pdt, true});
  pdt->dt_iSaveIndex = i;
  pmc->mc_aiTypes.Add(pdt, i);
  return i;
}

long mdAddType(CDataType *pdt)
{
  if (pdt == nullptr) return -1;
  CMetaContext *pmc = mdGetMetaContext();
  const long i = pmc->mc_saTypes.Count();
  pmc->mc_saTypes.Push(MetaIndexType{pdt, true});
  pdt->dt_iSaveIndex = i;
  pmc->mc_aiTypes.Add(pdt, i);
  return i;
}

void mdSetTypeCount(long ct)
{
  CMetaContext *pmc = mdGetMetaContext();
  if (ct < 0) ct = 0;
  while (pmc->mc_saTypes.Count() > ct) {
    MetaIndexType &mit = pmc->mc_saTypes[pmc->mc_saTypes.Count() - 1];
    if (mit.mit_pdt != nullptr) mit.mit_pdt->dt_iSaveIndex = -1;
    pmc->mc_saTypes.Pop();
  }
  while (pmc->mc_saTypes.Count() < ct) pmc->mc_saTypes.Push(MetaIndexType{nullptr, true});
}

long mdGetTypeCount(void)
{
  return mdGetMetaContext()->mc_saTypes.Count();
}

long mdTypeToIndex(CDataType *pdt)
{
  if (pdt == nullptr) return -1;
  return mdTypeIndexIn(mdGetMetaContext(), pdt);
}

CDataType *mdIndexToType(long iType)
{
  CMetaContext *pmc = mdGetMetaContext();
  if (iType < 0 || iType >= pmc->mc_saTypes.Count()) return nullptr;
  return pmc->mc_saTypes[iType].mit_pdt;
}

void mdSetTypeIndex(long iType, CDataType *pdt)
{
  CMetaContext *pmc = mdGetMetaContext();
  if (iType < 0 || iType >= pmc->mc_saTypes.Count()) {
    corLogGuardBreach();
    return;
  }
  pmc->mc_saTypes[iType].mit_pdt = pdt;
  if (pdt != nullptr) {
    pdt->dt_iSaveIndex = iType;
    pmc->mc_aiTypes.Add(pdt, iType);
  }
}

void mdMarkTypeAsInternal(long iType)
{
  CMetaContext *pmc = mdGetMetaContext();
  if (iType >= 0 && iType < pmc->mc_saTypes.Count()) pmc->mc_saTypes[iType].mit_bExternal = false;
}

int mdIsTypeExternal(long iType)
{
  CMetaContext *pmc = mdGetMetaContext();
  if (iType < 0 || iType >= pmc->mc_saTypes.Count()) return 0;
  return pmc->mc_saTypes[iType].mit_bExternal;
}

// ---- Identifiers ----

long mdAddIdent(IDENT id)
{
  CMetaContext *pmc = mdGetMetaContext();
  const long i = pmc->mc_saIdents.Count();
  pmc->mc_saIdents.Push(id);
  pmc->mc_aiIdents.Add(id, i);
  return i;
}

void mdSetIdentCount(long ct)
{
  CMetaContext *pmc = mdGetMetaContext();
  if (ct < 0) ct = 0;
  while (pmc->mc_saIdents.Count() > ct) pmc->mc_saIdents.Pop();
  while (pmc->mc_saIdents.Count() < ct) pmc->mc_saIdents.Push(mdInvalidIdent());
  pmc->mc_aiIdents.Reset();
  for (long i = 0; i < pmc->mc_saIdents.Count(); i++) pmc->mc_aiIdents.Add(pmc->mc_saIdents[i], i);
}

long mdGetIdentCount(void)
{
  return mdGetMetaContext()->mc_saIdents.Count();
}

long mdIdentToIndex(IDENT id)
{
  return mdGetMetaContext()->mc_aiIdents.Find(id);
}

IDENT mdIndexToIdent(long iIdent)
{
  CMetaContext *pmc = mdGetMetaContext();
  if (iIdent < 0 || iIdent >= pmc->mc_saIdents.Count()) return mdInvalidIdent();
  return pmc->mc_saIdents[iIdent];
}

void mdSetIdentIndex(long iIdent, IDENT id)
{
  CMetaContext *pmc = mdGetMetaContext();
  if (iIdent < 0 || iIdent >= pmc->mc_saIdents.Count()) {
    corLogGuardBreach();
    return;
  }
  pmc->mc_saIdents[iIdent] = id;
  pmc->mc_aiIdents.Add(id, iIdent);
}

void mdSetSavedResourceFile(CObject *pFile)
{
  mdGetMetaContext()->mc_pSavedFile = pFile;
}

CObject *mdGetSavedResourceFile(void)
{
  return mdGetMetaContext()->mc_pSavedFile;
}

} // namespace QuennelEngine
