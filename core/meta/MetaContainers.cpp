#include "core/meta/MetaContainers.h"

#include "core/frame/CodeGuard.h"
#include "core/meta/BuiltinTypes.h"

#include "core/memory/Memory.h"
#include "core/meta/DataTypeKinds.h"
#include "core/meta/HandleValues.h"
#include "core/meta/MetaObjects.h"
#include "core/meta/Object.h"

#include <string.h>

namespace QuennelEngine {

namespace {

// The words of the containers' fixed layouts.
struct StaticArrayWords {
  long saw_ctCount;
  char *saw_pchElements;
};
struct StackArrayWords {
  long ssw_ctAllocated;
  char *ssw_pchElements;
  long ssw_ctUsed;
  long ssw_ctStep;
};
struct ContainerWords {
  long dcw_ctAllocated;
  void **dcw_apvElements;
  long dcw_ctUsed;
  long dcw_ctStep;
};
static_assert(sizeof(CStaticArray<int>) == sizeof(StaticArrayWords), "static array layout");
static_assert(sizeof(CStaticStackArray<int>) == sizeof(StackArrayWords), "stack array layout");
static_assert(sizeof(CDynamicContainer<int>) == sizeof(ContainerWords), "container layout");

// The container's element type, when `mp` is a container of kind `dtt`.
CDataType *ElementType(const CMetaPointer &mp, DataTypeType dtt)
{
  if (!mp.IsValid() || mp.mp_pdtType->dt_dttKind != dtt) {
    if (mp.mp_pvObject != nullptr) corLogGuardBreach();
    return nullptr;
  }
  return static_cast<CDataType_Container *>(mp.mp_pdtType)->dtc_tidElement.Resolve();
}

void DestructRun(CDataType *pdt, char *pch, long ct)
{
  for (long i = ct - 1; i >= 0; i--) mdDestruct(CMetaPointer(pdt, pch + i * pdt->dt_slSize));
}

// When a construction throws, the elements made before it are destructed again: the caller
// keeps only live elements, as the container templates do.
// Whether construction makes the elements zero bytes: the built-in numbers, and any kind that
// mdConstruct zeroes when the type has no construction of its own (pointers, handles, plain
// values).
static bool ConstructsToZero(CDataType *pdt)
{
  MetaFunction pConstruct = pdt->GetFunction(CDataTypeFunctions::DTFS_CONSTRUCT);
  if (pConstruct != nullptr) {
    return md_pdtFLOAT != nullptr && pdt->dt_dttKind == DTT_SIMPLE &&
           pConstruct == md_pdtFLOAT->GetFunction(CDataTypeFunctions::DTFS_CONSTRUCT);
  }
  return pdt->dt_dttKind != DTT_STATICARRAY && pdt->dt_dttKind != DTT_STATICSTACKARRAY &&
         pdt->dt_dttKind != DTT_DYNAMICCONTAINER && pdt->dt_dttKind != DTT_TYPEDEF &&
         pdt->dt_dttKind != DTT_ARRAY && pdt->dt_dttKind != DTT_STRUCT;
}

void ConstructRun(CDataType *pdt, char *pch, long ct)
{
  // Runs that construct to zeroes: one memset instead of a call per element.
  const bool bZeroed = ConstructsToZero(pdt);
  if (ct > 0 && bZeroed) {
    if (pdt->dt_slSize > 0) memset(pch, 0, memElementBytes(ct, (size_t)pdt->dt_slSize));
    return;
  }
  long i = 0;
  try {
    for (; i < ct; i++) mdConstruct(CMetaPointer(pdt, pch + i * pdt->dt_slSize));
  } catch (...) {
    DestructRun(pdt, pch, i);
    throw;
  }
}

// A block for `ct` elements with new ones from `iFirstNew` on (the caller moves the others in);
// nothing is left allocated when a construction throws.
char *NewBlock(CDataType *pdt, long ct, long iFirstNew)
{
  const long slSize = pdt->dt_slSize;
  char *pch = (char *)memMAlloc(memElementBytes(ct, (size_t)slSize));
  try {
    ConstructRun(pdt, pch + iFirstNew * slSize, ct - iFirstNew);
  } catch (...) {
    memFree(pch);
    throw;
  }
  return pch;
}

// Elements move by their bytes, as the containers' own relocation leaves them.
void SwapElements(char *pch, long slSize, long i, long j)
{
  char ach[256];
  char *pchI = pch + i * slSize;
  char *pchJ = pch + j * slSize;
  for (long sl = 0; sl < slSize; sl += (long)sizeof(ach)) {
    const long slPart = slSize - sl < (long)sizeof(ach) ? slSize - sl : (long)sizeof(ach);
    memcpy(ach, pchI + sl, (size_t)slPart);
    memcpy(pchI + sl, pchJ + sl, (size_t)slPart);
    memcpy(pchJ + sl, ach, (size_t)slPart);
  }
}

void RemoveAt(char *pch, long slSize, long &ct, long i, CDataType *pdt)
{
  mdDestruct(CMetaPointer(pdt, pch + i * slSize));
  memmove(pch + i * slSize, pch + (i + 1) * slSize, (size_t)((ct - i - 1) * slSize));
  ct--;
}

} // namespace

// ---- Static arrays ----

void mdStaticArray_New_t(CMetaPointer mpArray, long ct)
{
  CDataType *pdt = ElementType(mpArray, DTT_STATICARRAY);
  if (pdt == nullptr) {
    if (mpArray.IsValid())
      mdMustResolve_t(static_cast<CDataType_Container *>(mpArray.mp_pdtType)->dtc_tidElement);
    return;
  }
  mdStaticArray_Clear(mpArray);
  if (ct <= 0) return;
  StaticArrayWords &saw = *(StaticArrayWords *)mpArray.mp_pvObject;
  saw.saw_pchElements = NewBlock(pdt, ct, 0);
  saw.saw_ctCount = ct;
}

void mdStaticArray_NewToFill_t(CMetaPointer mpArray, long ct)
{
  CDataType *pdt = ElementType(mpArray, DTT_STATICARRAY);
  if (pdt == nullptr || ct <= 0 || !ConstructsToZero(pdt)) {
    mdStaticArray_New_t(mpArray, ct);
    return;
  }
  mdStaticArray_Clear(mpArray);
  StaticArrayWords &saw = *(StaticArrayWords *)mpArray.mp_pvObject;
  saw.saw_pchElements = (char *)memMAlloc(memElementBytes(ct, (size_t)pdt->dt_slSize));
  saw.saw_ctCount = ct;
}

void mdStaticArray_Clear(CMetaPointer mpArray)
{
  CDataType *pdt = ElementType(mpArray, DTT_STATICARRAY);
  if (mpArray.mp_pvObject == nullptr || mpArray.mp_pdtType == nullptr ||
      mpArray.mp_pdtType->dt_dttKind != DTT_STATICARRAY) {
    return;
  }
  StaticArrayWords &saw = *(StaticArrayWords *)mpArray.mp_pvObject;
  if (pdt != nullptr) DestructRun(pdt, saw.saw_pchElements, saw.saw_ctCount);
  memFree(saw.saw_pchElements);
  saw.saw_pchElements = nullptr;
  saw.saw_ctCount = 0;
}

void mdStaticArray_Resize_t(CMetaPointer mpArray, long ct)
{
  CDataType *pdt = ElementType(mpArray, DTT_STATICARRAY);
  if (pdt == nullptr) return;
  StaticArrayWords &saw = *(StaticArrayWords *)mpArray.mp_pvObject;
  if (ct < 0) ct = 0;
  if (ct == saw.saw_ctCount) return;
  if (ct == 0) {
    mdStaticArray_Clear(mpArray);
    return;
  }
  const long slSize = pdt->dt_slSize;
  const long ctKept = ct < saw.saw_ctCount ? ct : saw.saw_ctCount;
  // The new elements first: when one throws, the array is left as it was.
  char *pchNew = NewBlock(pdt, ct, ctKept);
  if (ctKept > 0) memcpy(pchNew, saw.saw_pchElements, (size_t)(ctKept * slSize));
  DestructRun(pdt, saw.saw_pchElements + ctKept * slSize, saw.saw_ctCount - ctKept);
  memFree(saw.saw_pchElements);
  saw.saw_pchElements = pchNew;
  saw.saw_ctCount = ct;
}

void mdStaticArray_RemoveOrdered(CMetaPointer mpArray, long i)
{
  CDataType *pdt = ElementType(mpArray, DTT_STATICARRAY);
  if (pdt == nullptr) return;
  StaticArrayWords &saw = *(StaticArrayWords *)mpArray.mp_pvObject;
  if (i < 0 || i >= saw.saw_ctCount) return;
  RemoveAt(saw.saw_pchElements, pdt->dt_slSize, saw.saw_ctCount, i, pdt);
}

void mdStaticArray_MoveUp(CMetaPointer mpArray, long i)
{
  CDataType *pdt = ElementType(mpArray, DTT_STATICARRAY);
  if (pdt == nullptr) return;
  StaticArrayWords &saw = *(StaticArrayWords *)mpArray.mp_pvObject;
  if (i < 1 || i >= saw.saw_ctCount) return;
  SwapElements(saw.saw_pchElements, pdt->dt_slSize, i, i - 1);
}

void mdStaticArray_MoveDown(CMetaPointer mpArray, long i)
{
  CDataType *pdt = ElementType(mpArray, DTT_STATICARRAY);
  if (pdt == nullptr) return;
  StaticArrayWords &saw = *(StaticArrayWords *)mpArray.mp_pvObject;
  if (i < 0 || i + 1 >= saw.saw_ctCount) return;
  SwapElements(saw.saw_pchElements, pdt->dt_slSize, i, i + 1);
}

// ---- Static stack arrays ----

static CMetaPointer StackPush(CMetaPointer mpArray, long ct, bool bTightly)
{
  CDataType *pdt = ElementType(mpArray, DTT_STATICSTACKARRAY);
  if (pdt == nullptr) {
    if (mpArray.IsValid())
      mdMustResolve_t(static_cast<CDataType_Container *>(mpArray.mp_pdtType)->dtc_tidElement);
    return CMetaPointer();
  }
  if (ct <= 0) return CMetaPointer();
  StackArrayWords &ssw = *(StackArrayWords *)mpArray.mp_pvObject;
  const long slSize = pdt->dt_slSize;
  const long ctNeeded = ssw.ssw_ctUsed + ct;
  if (ctNeeded > ssw.ssw_ctAllocated) {
    long ctNew = ctNeeded;
    if (!bTightly) {
      // As the template grows: by its step, or half the count when that is more.
      const long ctGrown =
          ssw.ssw_ctAllocated +
          (ssw.ssw_ctStep > ssw.ssw_ctUsed / 2 ? ssw.ssw_ctStep : ssw.ssw_ctUsed / 2);
      if (ctGrown > ctNew) ctNew = ctGrown;
    }
    char *pchNew = (char *)memMAlloc(memElementBytes(ctNew, (size_t)slSize));
    if (ssw.ssw_ctUsed > 0) memcpy(pchNew, ssw.ssw_pchElements, (size_t)(ssw.ssw_ctUsed * slSize));
    memFree(ssw.ssw_pchElements);
    ssw.ssw_pchElements = pchNew;
    ssw.ssw_ctAllocated = ctNew;
  }
  char *pchFirst = ssw.ssw_pchElements + ssw.ssw_ctUsed * slSize;
  ConstructRun(pdt, pchFirst, ct);
  ssw.ssw_ctUsed += ct;
  return CMetaPointer(pdt, pchFirst);
}

CMetaPointer mdStaticStackArray_Push_t(CMetaPointer mpArray, long ct)
{
  return StackPush(mpArray, ct, false);
}

CMetaPointer mdStaticStackArray_PushTightly_t(CMetaPointer mpArray, long ct)
{
  return StackPush(mpArray, ct, true);
}

void mdStaticStackArray_Pop(CMetaPointer mpArray)
{
  CDataType *pdt = ElementType(mpArray, DTT_STATICSTACKARRAY);
  if (pdt == nullptr) return;
  StackArrayWords &ssw = *(StackArrayWords *)mpArray.mp_pvObject;
  if (ssw.ssw_ctUsed <= 0) return;
  ssw.ssw_ctUsed--;
  mdDestruct(CMetaPointer(pdt, ssw.ssw_pchElements + ssw.ssw_ctUsed * pdt->dt_slSize));
}

void mdStaticStackArray_Clear(CMetaPointer mpArray)
{
  if (mpArray.mp_pvObject == nullptr || mpArray.mp_pdtType == nullptr ||
      mpArray.mp_pdtType->dt_dttKind != DTT_STATICSTACKARRAY) {
    return;
  }
  CDataType *pdt = ElementType(mpArray, DTT_STATICSTACKARRAY);
  StackArrayWords &ssw = *(StackArrayWords *)mpArray.mp_pvObject;
  if (pdt != nullptr) DestructRun(pdt, ssw.ssw_pchElements, ssw.ssw_ctUsed);
  memFree(ssw.ssw_pchElements);
  ssw.ssw_pchElements = nullptr;
  ssw.ssw_ctAllocated = 0;
  ssw.ssw_ctUsed = 0;
}

void mdStaticStackArray_RemoveOrdered(CMetaPointer mpArray, long i)
{
  CDataType *pdt = ElementType(mpArray, DTT_STATICSTACKARRAY);
  if (pdt == nullptr) return;
  StackArrayWords &ssw = *(StackArrayWords *)mpArray.mp_pvObject;
  if (i < 0 || i >= ssw.ssw_ctUsed) return;
  RemoveAt(ssw.ssw_pchElements, pdt->dt_slSize, ssw.ssw_ctUsed, i, pdt);
}

void mdStaticStackArray_MoveUp(CMetaPointer mpArray, long i)
{
  CDataType *pdt = ElementType(mpArray, DTT_STATICSTACKARRAY);
  if (pdt == nullptr) return;
  StackArrayWords &ssw = *(StackArrayWords *)mpArray.mp_pvObject;
  if (i < 1 || i >= ssw.ssw_ctUsed) return;
  SwapElements(ssw.ssw_pchElements, pdt->dt_slSize, i, i - 1);
}

void mdStaticStackArray_MoveDown(CMetaPointer mpArray, long i)
{
  CDataType *pdt = ElementType(mpArray, DTT_STATICSTACKARRAY);
  if (pdt == nullptr) return;
  StackArrayWords &ssw = *(StackArrayWords *)mpArray.mp_pvObject;
  if (i < 0 || i + 1 >= ssw.ssw_ctUsed) return;
  SwapElements(ssw.ssw_pchElements, pdt->dt_slSize, i, i + 1);
}

// ---- Dynamic containers ----

static ContainerWords *Container(const CMetaPointer &mp)
{
  if (!mp.IsValid() || mp.mp_pdtType->dt_dttKind != DTT_DYNAMICCONTAINER) {
    if (mp.mp_pvObject != nullptr) corLogGuardBreach();
    return nullptr;
  }
  return (ContainerWords *)mp.mp_pvObject;
}

void mdDynamicContainer_MoveUp(CMetaPointer mpContainer, long i)
{
  ContainerWords *pdcw = Container(mpContainer);
  if (pdcw == nullptr || i < 1 || i >= pdcw->dcw_ctUsed) return;
  SwapElements((char *)pdcw->dcw_apvElements, sizeof(void *), i, i - 1);
}

void mdDynamicContainer_MoveDown(CMetaPointer mpContainer, long i)
{
  ContainerWords *pdcw = Container(mpContainer);
  if (pdcw == nullptr || i < 0 || i + 1 >= pdcw->dcw_ctUsed) return;
  SwapElements((char *)pdcw->dcw_apvElements, sizeof(void *), i, i + 1);
}

void mdDynamicContainer_Remove(CMetaPointer mpContainer, long i)
{
  ContainerWords *pdcw = Container(mpContainer);
  if (pdcw == nullptr || i < 0 || i >= pdcw->dcw_ctUsed) return;
  pdcw->dcw_apvElements[i] = pdcw->dcw_apvElements[pdcw->dcw_ctUsed - 1];
  pdcw->dcw_ctUsed--;
}

void mdDynamicContainer_RemoveOrdered(CMetaPointer mpContainer, long i)
{
  ContainerWords *pdcw = Container(mpContainer);
  if (pdcw == nullptr || i < 0 || i >= pdcw->dcw_ctUsed) return;
  memmove(pdcw->dcw_apvElements + i, pdcw->dcw_apvElements + i + 1,
          (size_t)(pdcw->dcw_ctUsed - i - 1) * sizeof(void *));
  pdcw->dcw_ctUsed--;
}

void mdDynamicContainer_Clear(CMetaPointer mpContainer)
{
  ContainerWords *pdcw = Container(mpContainer);
  if (pdcw == nullptr) return;
  memFree(pdcw->dcw_apvElements);
  pdcw->dcw_apvElements = nullptr;
  pdcw->dcw_ctAllocated = 0;
  pdcw->dcw_ctUsed = 0;
}

void mdDynamicContainer_DeleteAllMembers(CMetaPointer mpContainer)
{
  ContainerWords *pdcw = Container(mpContainer);
  if (pdcw == nullptr) return;
  CDataType *pdt =
      static_cast<CDataType_Container *>(mpContainer.mp_pdtType)->dtc_tidElement.Resolve();
  // mdDelete deletes a reflected class as what it is.
  for (long i = 0; i < pdcw->dcw_ctUsed && pdt != nullptr; i++) {
    mdDelete(CMetaPointer(pdt, pdcw->dcw_apvElements[i]));
  }
  mdDynamicContainer_Clear(mpContainer);
}

void mdDynamicContainer_Add(CMetaPointer mpContainer, void *pvElement)
{
  ContainerWords *pdcw = Container(mpContainer);
  if (pdcw == nullptr) return;
  if (pdcw->dcw_ctUsed == pdcw->dcw_ctAllocated) {
    const long ctStep = pdcw->dcw_ctStep > 0 ? pdcw->dcw_ctStep : 1;
    const long ctGrow = ctStep > pdcw->dcw_ctUsed / 2 ? ctStep : pdcw->dcw_ctUsed / 2;
    pdcw->dcw_apvElements = (void **)memReAlloc(
        pdcw->dcw_apvElements, memElementBytes(pdcw->dcw_ctAllocated + ctGrow, sizeof(void *)));
    pdcw->dcw_ctAllocated += ctGrow;
  }
  pdcw->dcw_apvElements[pdcw->dcw_ctUsed++] = pvElement;
}

long mdContainer_Count(CMetaPointer mpContainer)
{
  if (!mpContainer.IsValid()) return 0;
  switch (mpContainer.mp_pdtType->dt_dttKind) {
  case DTT_STATICARRAY:
    return ((StaticArrayWords *)mpContainer.mp_pvObject)->saw_ctCount;
  case DTT_STATICSTACKARRAY:
    return ((StackArrayWords *)mpContainer.mp_pvObject)->ssw_ctUsed;
  case DTT_DYNAMICCONTAINER:
    return ((ContainerWords *)mpContainer.mp_pvObject)->dcw_ctUsed;
  default:
    return 0;
  }
}

CMetaPointer mdContainer_Element(CMetaPointer mpContainer, long i)
{
  if (i < 0 || i >= mdContainer_Count(mpContainer)) return CMetaPointer();
  CDataType *pdt =
      static_cast<CDataType_Container *>(mpContainer.mp_pdtType)->dtc_tidElement.Resolve();
  if (pdt == nullptr) return CMetaPointer();
  switch (mpContainer.mp_pdtType->dt_dttKind) {
  case DTT_STATICARRAY:
    return CMetaPointer(pdt, ((StaticArrayWords *)mpContainer.mp_pvObject)->saw_pchElements +
                                 i * pdt->dt_slSize);
  case DTT_STATICSTACKARRAY:
    return CMetaPointer(pdt, ((StackArrayWords *)mpContainer.mp_pvObject)->ssw_pchElements +
                                 i * pdt->dt_slSize);
  default:
    return CMetaPointer(pdt, ((ContainerWords *)mpContainer.mp_pvObject)->dcw_apvElements[i]);
  }
}

// ---- References ----

void mdRef_Assign(CMetaPointer mpReference, void *pvTarget)
{
  if (!mpReference.IsValid()) return;
  void **ppv = (void **)mpReference.mp_pvObject;
  switch (mpReference.mp_pdtType->dt_dttKind) {
  case DTT_POINTER:
  case DTT_REFERENCE:
    *ppv = pvTarget;
    return;
  case DTT_HANDLE:
    *(unsigned long *)ppv = hvPointerToHandle(pvTarget);
    return;
  case DTT_SMARTPOINTER: {
    CSmartObject *psoNew = (CSmartObject *)pvTarget;
    CSmartObject *psoOld = (CSmartObject *)*ppv;
    if (psoNew != nullptr) psoNew->AddRef();
    *ppv = psoNew;
    if (psoOld != nullptr) psoOld->RemRef();
    return;
  }
  default:
    corLogGuardBreach();
    return;
  }
}

CMetaPointer mdRef_Dereference(CMetaPointer mpReference)
{
  if (!mpReference.IsValid()) return CMetaPointer();
  CDataType_Targeted *pdtt = mdAsTargeted(mpReference.mp_pdtType);
  if (pdtt == nullptr || pdtt->dt_dttKind == DTT_TYPEDEF) {
    corLogGuardBreach();
    return CMetaPointer();
  }
  CDataType *pdtTarget = pdtt->dtt_tidTarget.Resolve();
  if (pdtt->dt_dttKind == DTT_HANDLE) {
    return CMetaPointer(pdtTarget, hvHandleToPointer(*(unsigned long *)mpReference.mp_pvObject));
  }
  return CMetaPointer(pdtTarget, *(void **)mpReference.mp_pvObject);
}

} // namespace QuennelEngine
