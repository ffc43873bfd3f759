#include "core/meta/MetaObjects.h"

#include "core/frame/CodeGuard.h"

#include "core/frame/Exception.h"
#include "core/memory/Memory.h"
#include "core/meta/BuiltinTypes.h"
#include "core/meta/DataTypeKinds.h"
#include "core/meta/MetaContainers.h"
#include "core/meta/MetaFiles.h"
#include "core/meta/Object.h"
#include "core/meta/TypeRegistry.h"
#include "core/meta/TypeRegistryPrivate.h"
#include "core/streams/FileSystem.h"
#include "core/streams/Stream.h"
#include "core/text/FormatArgs.h"
#include "core/text/Translation.h"

#include <string.h>

namespace QuennelEngine {

CMetaPointer::CMetaPointer(const char *strType, void *pv)
    : mp_pdtType(mdFindByName(strType)), mp_pvObject(pv)
{
}

IDENT CTypePtr::GetName(void) const
{
  return tp_pdt == nullptr ? mdInvalidIdent() : tp_pdt->GetName();
}

// ---- Creation and deletion ----

[[noreturn]] static void ThrowCannotCreate(CDataType *pdt)
{
  ThrowFormat_t(strTranslate("DOZUMeta.CannotCreate=Cannot create objects of type %1."),
                (const char *)pdt->GetName());
}

// The type a value field's cell is booked on: the 4-byte cells of every enumeration count as
// ULONG in the memory statistics.
static CDataType *CellBooking(CDataType *pdt)
{
  return pdt->dt_slSize == 4 && md_pdtULONG != nullptr ? md_pdtULONG : pdt;
}

// A block booked on the type, zeroed.
static void *NewCell(CDataType *pdt, long slSize)
{
  void *pv = memMAllocSingle((size_t)slSize, pdt);
  memset(pv, 0, (size_t)slSize);
  return pv;
}

static void InitContainer(CDataType *pdt, void *pv)
{
  memset(pv, 0, (size_t)pdt->dt_slSize);
  // Static stack arrays and dynamic containers start with their allocation step.
  if (pdt->dt_dttKind != DTT_STATICARRAY) ((long *)pv)[3] = 16;
}

CMetaPointer mdNew_t(CDataType *pdt)
{
  if (pdt == nullptr) return CMetaPointer();
  switch (pdt->dt_dttKind) {
  case DTT_VALUEFIELD:
    if (pdt->dt_slSize == 1 || pdt->dt_slSize == 2 || pdt->dt_slSize == 4 || pdt->dt_slSize == 8) {
      return CMetaPointer(pdt, NewCell(CellBooking(pdt), pdt->dt_slSize));
    }
    break;
  case DTT_POINTER:
  case DTT_SMARTPOINTER:
    return CMetaPointer(pdt, NewCell(pdt, 4));
  case DTT_STATICARRAY:
  case DTT_STATICSTACKARRAY:
  case DTT_DYNAMICCONTAINER: {
    void *pv = NewCell(pdt, pdt->dt_slSize);
    InitContainer(pdt, pv);
    return CMetaPointer(pdt, pv);
  }
  case DTT_TYPEDEF: {
    CMetaPointer mp =
        mdNew_t(mdMustResolve_t(static_cast<CDataType_Targeted *>(pdt)->dtt_tidTarget));
    return CMetaPointer(pdt, mp.mp_pvObject);
  }
  default:
    break;
  }
  MetaNewFunction pNew = pdt->dt_pdtfFunctions == nullptr ? nullptr : pdt->dt_pdtfFunctions->New();
  if (pNew == nullptr) ThrowCannotCreate(pdt);
  CMetaPointer mp;
  pNew(mp, pdt, -1);
  if (mp.mp_pvObject == nullptr) {
    ThrowFormat_t(
        strTranslate("DOZUMeta.NoMemoryToCreate=Not enough memory to create object of type %1."),
        (const char *)pdt->GetName());
  }
  if (mp.mp_pdtType == nullptr) mp.mp_pdtType = pdt;
  return mp;
}

CMetaPointer mdNew(CTypeID tid)
{
  CDataType *pdt = tid.Resolve();
  if (pdt == nullptr) return CMetaPointer();
  try {
    return mdNew_t(pdt);
  } catch (CException &) {
    return CMetaPointer();
  }
}

CMetaPointer mdNewArray_t(CDataType *pdt, long ctCount)
{
  if (pdt == nullptr) return CMetaPointer();
  CDataType *pdtReal = pdt;
  for (int i = 0; pdtReal->dt_dttKind == DTT_TYPEDEF && i < 100; i++) {
    pdtReal = mdMustResolve_t(static_cast<CDataType_Targeted *>(pdtReal)->dtt_tidTarget);
  }
  MetaNewFunction pNew =
      pdtReal->dt_pdtfFunctions == nullptr ? nullptr : pdtReal->dt_pdtfFunctions->New();
  if (pNew == nullptr) ThrowCannotCreate(pdtReal);
  if (ctCount < 0) ctCount = 0;
  CMetaPointer mp;
  pNew(mp, pdtReal, ctCount);
  if (mp.mp_pvObject == nullptr) {
    ThrowFormat_t(
        strTranslate("DOZUMeta.NoMemoryToCreate=Not enough memory to create object of type %1."),
        (const char *)pdtReal->GetName());
  }
  mp.mp_pdtType = pdtReal;
  return mp;
}

CMetaPointer mdNewArray(CTypeID tid, long ctCount)
{
  CDataType *pdt = tid.Resolve();
  if (pdt == nullptr) return CMetaPointer();
  try {
    return mdNewArray_t(pdt, ctCount);
  } catch (CException &) {
    return CMetaPointer();
  }
}

CDataType *mdGetDynamicType(CDataType *pdt, void *pv)
{
  if (pdt == nullptr || pv == nullptr || pdt->dt_dttKind != DTT_STRUCT ||
      !(static_cast<CDataType_Struct *>(pdt)->dtst_ulClassFlags & DTCF_HASGETDATATYPE) ||
      mdHasNoDerivedClass(static_cast<CDataType_Struct *>(pdt))) {
    return pdt;
  }
  CDataType *pdtReal = static_cast<CObject *>(pv)->mdGetDataType();
  return pdtReal != nullptr ? pdtReal : pdt;
}

void mdDelete(CMetaPointer mp)
{
  CDataType *pdt = mp.mp_pdtType;
  void *pv = mp.mp_pvObject;
  if (pdt == nullptr || pv == nullptr) return;
  switch (pdt->dt_dttKind) {
  case DTT_VALUEFIELD:
    if (pdt->dt_slSize == 1 || pdt->dt_slSize == 2 || pdt->dt_slSize == 4 || pdt->dt_slSize == 8) {
      memFreeSingle(pv, CellBooking(pdt));
      return;
    }
    break;
  case DTT_POINTER: {
    void *pvTarget = *(void **)pv;
    CDataType *pdtTarget = static_cast<CDataType_Targeted *>(pdt)->dtt_tidTarget.Resolve();
    if (pvTarget != nullptr && pdtTarget != nullptr) mdDelete(CMetaPointer(pdtTarget, pvTarget));
    memFreeSingle(pv, pdt);
    return;
  }
  case DTT_STATICARRAY:
  case DTT_STATICSTACKARRAY:
  case DTT_DYNAMICCONTAINER:
    mdDestruct(mp);
    memFreeSingle(pv, pdt);
    return;
  case DTT_SMARTPOINTER:
    mdRef_Assign(mp, nullptr);
    memFreeSingle(pv, pdt);
    return;
  case DTT_TYPEDEF:
    mdDelete(CMetaPointer(static_cast<CDataType_Targeted *>(pdt)->dtt_tidTarget.Resolve(), pv));
    return;
  default:
    break;
  }
  // A reflected class seen through a base is deleted as what it is: its own Delete books the
  // free on the type that booked the allocation.
  pdt = mdGetDynamicType(pdt, pv);
  MetaDeleteFunction pDelete =
      pdt->dt_pdtfFunctions == nullptr ? nullptr : pdt->dt_pdtfFunctions->Delete();
  if (pDelete != nullptr) pDelete(pdt, pv, -1);
}

void mdDeleteArray(CMetaPointer mp)
{
  CDataType *pdt = mp.mp_pdtType;
  for (int i = 0; pdt != nullptr && pdt->dt_dttKind == DTT_TYPEDEF && i < 100; i++) {
    pdt = static_cast<CDataType_Targeted *>(pdt)->dtt_tidTarget.Resolve();
  }
  if (pdt == nullptr || mp.mp_pvObject == nullptr) return;
  MetaDeleteFunction pDelete =
      pdt->dt_pdtfFunctions == nullptr ? nullptr : pdt->dt_pdtfFunctions->Delete();
  if (pDelete != nullptr) pDelete(pdt, mp.mp_pvObject, 1);
}

void mdClear(CMetaPointer mp)
{
  if (!mp.IsValid()) return;
  MetaObjectFunction pClear =
      (MetaObjectFunction)mdFindFunction(mp.mp_pdtType, CDataTypeFunctions::DTFS_CLEAR);
  if (pClear != nullptr) pClear(mp.mp_pdtType, mp.mp_pvObject);
}

// Calls `fn` with each element of an array object.
template <class F> static void ForEachElement(CDataType *pdt, void *pv, F fn)
{
  CDataType_Array *pdta = static_cast<CDataType_Array *>(pdt);
  CDataType *pdtElement = pdta->dta_tidElement.Resolve();
  if (pdtElement == nullptr) return;
  const long ct = pdta->GetElementCount();
  for (long i = 0; i < ct; i++)
    fn(CMetaPointer(pdtElement, (char *)pv + i * pdtElement->dt_slSize));
}

// Construction and destruction fall back to the kind where a type has no operation: the cells
// of plain values, pointers and containers start zeroed; structures and arrays go part by part.
void mdConstruct(CMetaPointer mp)
{
  CDataType *pdt = mp.mp_pdtType;
  void *pv = mp.mp_pvObject;
  if (pdt == nullptr || pv == nullptr) return;
  MetaObjectFunction pConstruct =
      (MetaObjectFunction)pdt->GetFunction(CDataTypeFunctions::DTFS_CONSTRUCT);
  if (pConstruct != nullptr) {
    pConstruct(pdt, pv);
    return;
  }
  switch (pdt->dt_dttKind) {
  case DTT_STATICARRAY:
  case DTT_STATICSTACKARRAY:
  case DTT_DYNAMICCONTAINER:
    InitContainer(pdt, pv);
    return;
  case DTT_TYPEDEF:
    mdConstruct(CMetaPointer(static_cast<CDataType_Targeted *>(pdt)->dtt_tidTarget.Resolve(), pv));
    return;
  case DTT_ARRAY:
    ForEachElement(pdt, pv, [](const CMetaPointer &mpElement) { mdConstruct(mpElement); });
    return;
  case DTT_STRUCT: {
    CDataType_Struct *pdtst = static_cast<CDataType_Struct *>(pdt);
    if (pdtst->dtst_ulClassFlags & DTCF_HASGETDATATYPE) {
      // A class with a virtual table cannot be made from its parts.
      corLogGuardBreach();
      return;
    }
    memset(pv, 0, (size_t)pdt->dt_slSize);
    mdConstruct(CMetaPointer(pdtst->dtst_tidBase.Resolve(), pv));
    for (long i = 0; i < pdtst->dtst_ctMembers; i++) {
      CDataType_StructMember &sm = pdtst->dtst_asmMembers[i];
      mdConstruct(CMetaPointer(sm.sm_tidType.Resolve(), (char *)pv + sm.sm_slOffset));
    }
    return;
  }
  default:
    if (pdt->dt_slSize > 0) memset(pv, 0, (size_t)pdt->dt_slSize);
    return;
  }
}

void mdDestruct(CMetaPointer mp)
{
  CDataType *pdt = mp.mp_pdtType;
  void *pv = mp.mp_pvObject;
  if (pdt == nullptr || pv == nullptr) return;
  MetaObjectFunction pDestruct =
      (MetaObjectFunction)pdt->GetFunction(CDataTypeFunctions::DTFS_DESTRUCT);
  if (pDestruct != nullptr) {
    pDestruct(pdt, pv);
    return;
  }
  switch (pdt->dt_dttKind) {
  case DTT_STATICARRAY:
    mdStaticArray_Clear(mp);
    return;
  case DTT_STATICSTACKARRAY:
    mdStaticStackArray_Clear(mp);
    return;
  case DTT_DYNAMICCONTAINER:
    mdDynamicContainer_Clear(mp);
    return;
  case DTT_SMARTPOINTER:
    mdRef_Assign(mp, nullptr);
    return;
  case DTT_TYPEDEF:
    mdDestruct(CMetaPointer(static_cast<CDataType_Targeted *>(pdt)->dtt_tidTarget.Resolve(), pv));
    return;
  case DTT_ARRAY:
    ForEachElement(pdt, pv, [](const CMetaPointer &mpElement) { mdDestruct(mpElement); });
    return;
  case DTT_STRUCT: {
    CDataType_Struct *pdtst = static_cast<CDataType_Struct *>(pdt);
    if (pdtst->dtst_ulClassFlags & DTCF_HASGETDATATYPE) {
      corLogGuardBreach();
      return;
    }
    for (long i = pdtst->dtst_ctMembers - 1; i >= 0; i--) {
      CDataType_StructMember &sm = pdtst->dtst_asmMembers[i];
      mdDestruct(CMetaPointer(sm.sm_tidType.Resolve(), (char *)pv + sm.sm_slOffset));
    }
    mdDestruct(CMetaPointer(pdtst->dtst_tidBase.Resolve(), pv));
    return;
  }
  default:
    return;
  }
}

// ---- Hooks ----

MetaFunction mdFindFunction(CDataType *pdt, int iSlot)
{
  for (int iDepth = 0; pdt != nullptr && iDepth < 1000; iDepth++) {
    MetaFunction pfn = pdt->GetFunction(iSlot);
    if (pfn != nullptr) return pfn;
    CDataType_Struct *pdtst = mdAsStruct(pdt);
    if (pdtst == nullptr) return nullptr;
    pdt = pdtst->dtst_tidBase.Resolve();
  }
  return nullptr;
}

static void CallHook(int iSlot, CDataType *pdt, void *pv)
{
  MetaObjectFunction pHook = (MetaObjectFunction)mdFindFunction(pdt, iSlot);
  if (pHook != nullptr) pHook(pdt, pv);
}

static void VisitChildren(int iSlot, CDataType *pdt, void *pv, int iDepth);

// A run of numbers without the hook has nothing to visit: it is passed over whole.
static bool IsInertRun(int iSlot, CDataType *pdtElement)
{
  return (pdtElement->dt_dttKind == DTT_SIMPLE || pdtElement->dt_dttKind == DTT_VALUEFIELD) &&
         pdtElement->GetFunction(iSlot) == nullptr;
}

static void VisitPart(int iSlot, CDataType *pdt, void *pv, int iDepth)
{
  if (pdt == nullptr || pv == nullptr) return;
  CallHook(iSlot, pdt, pv);
  VisitChildren(iSlot, pdt, pv, iDepth + 1);
}

// The embedded parts of an object; what lies behind pointers and in dynamic containers is not.
static void VisitChildren(int iSlot, CDataType *pdt, void *pv, int iDepth)
{
  if (pdt == nullptr || pv == nullptr || iDepth > 200) return;
  switch (pdt->dt_dttKind) {
  case DTT_STRUCT: {
    CDataType_Struct *pdtst = static_cast<CDataType_Struct *>(pdt);
    for (long i = 0; i < pdtst->dtst_ctMembers; i++) {
      CDataType_StructMember &sm = pdtst->dtst_asmMembers[i];
      VisitPart(iSlot, sm.sm_tidType.Resolve(), (char *)pv + sm.sm_slOffset, iDepth);
    }
    // The base part: its members are children too (its own hook ran as this object's).
    VisitChildren(iSlot, pdtst->dtst_tidBase.Resolve(), pv, iDepth + 1);
    return;
  }
  case DTT_ARRAY: {
    CDataType_Array *pdta = static_cast<CDataType_Array *>(pdt);
    CDataType *pdtElement = pdta->dta_tidElement.Resolve();
    if (pdtElement == nullptr || IsInertRun(iSlot, pdtElement)) return;
    const long ct = pdta->GetElementCount();
    for (long i = 0; i < ct; i++)
      VisitPart(iSlot, pdtElement, (char *)pv + i * pdtElement->dt_slSize, iDepth);
    return;
  }
  case DTT_STATICARRAY:
  case DTT_STATICSTACKARRAY: {
    CDataType *pdtElement = static_cast<CDataType_Container *>(pdt)->dtc_tidElement.Resolve();
    if (pdtElement == nullptr || IsInertRun(iSlot, pdtElement)) return;
    long ct;
    char *pchElements;
    if (pdt->dt_dttKind == DTT_STATICARRAY) {
      ct = ((long *)pv)[0];
      pchElements = ((char **)pv)[1];
    } else {
      ct = ((long *)pv)[2];
      pchElements = ((char **)pv)[1];
    }
    for (long i = 0; i < ct; i++)
      VisitPart(iSlot, pdtElement, pchElements + i * pdtElement->dt_slSize, iDepth);
    return;
  }
  case DTT_TYPEDEF:
    VisitPart(iSlot, static_cast<CDataType_Targeted *>(pdt)->dtt_tidTarget.Resolve(), pv, iDepth);
    return;
  default:
    return;
  }
}

// Whether a hook would run anywhere in an object of the type: on the type or a base, or on any
// embedded part (what VisitChildren reaches).
static bool HasHookInParts(CDataType *pdt, int iSlot, int iDepth)
{
  if (pdt == nullptr || iDepth > 64) return false;
  if (mdFindFunction(pdt, iSlot) != nullptr) return true;
  switch (pdt->dt_dttKind) {
  case DTT_STRUCT: {
    CDataType_Struct *pdtst = static_cast<CDataType_Struct *>(pdt);
    for (long i = 0; i < pdtst->dtst_ctMembers; i++) {
      if (HasHookInParts(pdtst->dtst_asmMembers[i].sm_tidType.Resolve(), iSlot, iDepth + 1)) {
        return true;
      }
    }
    return HasHookInParts(pdtst->dtst_tidBase.Resolve(), iSlot, iDepth + 1);
  }
  case DTT_ARRAY:
    return HasHookInParts(static_cast<CDataType_Array *>(pdt)->dta_tidElement.Resolve(), iSlot,
                          iDepth + 1);
  case DTT_STATICARRAY:
  case DTT_STATICSTACKARRAY:
    return HasHookInParts(static_cast<CDataType_Container *>(pdt)->dtc_tidElement.Resolve(), iSlot,
                          iDepth + 1);
  case DTT_TYPEDEF:
    return HasHookInParts(static_cast<CDataType_Targeted *>(pdt)->dtt_tidTarget.Resolve(), iSlot,
                          iDepth + 1);
  default:
    return false;
  }
}

int mdHasHookInParts(CDataType *pdt, int iSlot)
{
  return HasHookInParts(pdt, iSlot, 0);
}

#define MD_HOOK(name, slot)                                                                        \
  void name(CMetaPointer mp)                                                                       \
  {                                                                                                \
    if (!mp.IsValid()) return;                                                                     \
    CallHook(CDataTypeFunctions::slot, mp.mp_pdtType, mp.mp_pvObject);                             \
    VisitChildren(CDataTypeFunctions::slot, mp.mp_pdtType, mp.mp_pvObject, 0);                     \
  }                                                                                                \
  void name##Children(CMetaPointer mp)                                                             \
  {                                                                                                \
    if (!mp.IsValid()) return;                                                                     \
    VisitChildren(CDataTypeFunctions::slot, mp.mp_pdtType, mp.mp_pvObject, 0);                     \
  }
MD_HOOK(mdPostCreate, DTFS_POSTCREATE)
MD_HOOK(mdPostRead, DTFS_POSTREAD)
MD_HOOK(mdPreWrite, DTFS_PREWRITE)
MD_HOOK(mdPostWrite, DTFS_POSTWRITE)
MD_HOOK(mdPostCopy, DTFS_POSTCOPY)
#undef MD_HOOK

static int CallChange(int iSlot, const CMetaPointer &mp, const CMetaPointer &mpPart)
{
  if (!mp.IsValid()) return 0;
  MetaChangeFunction pChange = (MetaChangeFunction)mdFindFunction(mp.mp_pdtType, iSlot);
  return pChange == nullptr ? 0 : pChange(mp, mpPart);
}

int mdPreChange(CMetaPointer mp, CMetaPointer mpPart)
{
  return CallChange(CDataTypeFunctions::DTFS_PRECHANGE, mp, mpPart);
}

int mdPostChange(CMetaPointer mp, CMetaPointer mpPart)
{
  return CallChange(CDataTypeFunctions::DTFS_POSTCHANGE, mp, mpPart);
}

int mdBeginChanging(CMetaPointer mp, CMetaPointer mpPart)
{
  return CallChange(CDataTypeFunctions::DTFS_BEGINCHANGING, mp, mpPart);
}

int mdEndChanging(CMetaPointer mp, CMetaPointer mpPart)
{
  return CallChange(CDataTypeFunctions::DTFS_ENDCHANGING, mp, mpPart);
}

CMetaPointer mdGetFinalObject(CMetaPointer mp)
{
  if (mp.mp_pdtType == nullptr || mp.mp_pvObject == nullptr) return mp;
  MetaFinalObjectFunction pFinal =
      (MetaFinalObjectFunction)mp.mp_pdtType->GetFunction(CDataTypeFunctions::DTFS_GETFINALOBJECT);
  if (pFinal == nullptr) return mp;
  CMetaPointer mpFinal;
  pFinal(mpFinal, mp.mp_pdtType, mp.mp_pvObject);
  return mpFinal;
}

// ---- Files ----

// A save writes beside the target and replaces it only with a complete file, so a failed save
// leaves the old file as it was.
void mdSave_t(const char *strFileName, CMetaPointer mp)
{
  const CString strTarget = strFileName;
  const CString strTemporary = strFormat("%1.saving", strTarget);
  try {
    CStream strm;
    strm.OpenFile_t(strTemporary, "w");
    mdInternalWrite_t(strm, mp);
    strm.Close();
    filReplaceFile_t(strTemporary, strTarget);
  } catch (CException &) {
    try {
      if (filExists(strTemporary)) filDeleteFile_t(strTemporary);
    } catch (CException &) {
    }
    throw;
  }
}

// Until the background loader exists, loading reads on the calling thread.
static MetaFileLoader_t _md_pFileLoader = nullptr;

void mdSetFileLoader(MetaFileLoader_t pLoader)
{
  _md_pFileLoader = pLoader;
}

CMetaPointer mdLoad_t(const char *strFileName)
{
  if (_md_pFileLoader != nullptr) return _md_pFileLoader(strFileName, nullptr);
  CStream strm;
  strm.OpenFile_t(strFileName, "r");
  return mdInternalRead_t(strm);
}

CMetaPointer mdLoad_t(CStream *pstrm)
{
  if (_md_pFileLoader != nullptr) return _md_pFileLoader(nullptr, pstrm);
  return mdInternalRead_t(*pstrm);
}

// ---- Descriptions ----

CString mdGetTypeDescription(CTypeID &tid, int iFlags, int bClassPrefix)
{
  CDataType *pdt = tid.Resolve();
  // An unresolved reference is still described by its name.
  if (pdt == nullptr) return tid.IsEmpty() ? CString("NULL") : CString(tid.GetName());
  return mdGetTypeDescription(pdt, iFlags, bClassPrefix);
}

CString mdGetTypeDescription(CDataType *pdt, int iFlags, int bClassPrefix)
{
  if (pdt == nullptr) return "NULL";
  switch (pdt->dt_dttKind) {
  case DTT_POINTER:
    return mdGetTypeDescription(static_cast<CDataType_Targeted *>(pdt)->dtt_tidTarget, iFlags) +
           "*";
  case DTT_REFERENCE:
    return mdGetTypeDescription(static_cast<CDataType_Targeted *>(pdt)->dtt_tidTarget, iFlags) +
           "&";
  case DTT_SMARTPOINTER:
    return CString("Ptr<") +
           mdGetTypeDescription(static_cast<CDataType_Targeted *>(pdt)->dtt_tidTarget, iFlags) +
           ">";
  case DTT_HANDLE:
    return CString("Handle<") +
           mdGetTypeDescription(static_cast<CDataType_Targeted *>(pdt)->dtt_tidTarget, iFlags) +
           ">";
  case DTT_ARRAY: {
    CDataType_Array *pdta = static_cast<CDataType_Array *>(pdt);
    CString str = mdGetTypeDescription(pdta->dta_tidElement, iFlags);
    for (long i = 0; i < pdta->dta_ctDimensions; i++) {
      str += strFormat("[%1]", pdta->dta_actDimensions[i]);
    }
    return str;
  }
  case DTT_STRUCT:
    return bClassPrefix ? CString("class ") + pdt->GetName() : CString(pdt->GetName());
  case DTT_STATICARRAY:
    return CString("CStaticArray<") +
           mdGetTypeDescription(static_cast<CDataType_Container *>(pdt)->dtc_tidElement, iFlags) +
           ">";
  case DTT_STATICSTACKARRAY:
    return CString("CStaticStackArray<") +
           mdGetTypeDescription(static_cast<CDataType_Container *>(pdt)->dtc_tidElement, iFlags) +
           ">";
  case DTT_DYNAMICCONTAINER:
    return CString("CDynamicContainer<") +
           mdGetTypeDescription(static_cast<CDataType_Container *>(pdt)->dtc_tidElement, iFlags) +
           ">";
  case DTT_FUNCTION: {
    CDataType_Function *pdtfn = static_cast<CDataType_Function *>(pdt);
    CString str = mdGetTypeDescription(pdtfn->dtfn_tidSecond, iFlags) + "_" + pdt->GetName();
    for (long i = 0; i < pdtfn->dtfn_ctArguments; i++) {
      str += mdGetTypeDescription(pdtfn->dtfn_afaArguments[i].fa_tidType, iFlags);
    }
    return str;
  }
  default:
    return pdt->GetName();
  }
}

CString mdGetRootTypeName(CTypeID &tid, int bThroughTypedefs)
{
  CDataType *pdt = tid.Resolve();
  if (pdt == nullptr) return tid.IsEmpty() ? CString("???") : CString(tid.GetName());
  return mdGetRootTypeName(pdt, bThroughTypedefs);
}

CString mdGetRootTypeName(CDataType *pdt, int bThroughTypedefs)
{
  if (pdt == nullptr) return "???";
  switch (pdt->dt_dttKind) {
  case DTT_SIMPLE:
  case DTT_VALUEFIELD:
  case DTT_STRUCT:
  case DTT_FUNCTION:
  case DTT_VOID:
    return pdt->GetName();
  case DTT_STATICARRAY:
    return CString("CStaticArrayOf") +
           mdGetRootTypeName(static_cast<CDataType_Container *>(pdt)->dtc_tidElement,
                             bThroughTypedefs);
  case DTT_STATICSTACKARRAY:
    return CString("CStaticStackArrayOf") +
           mdGetRootTypeName(static_cast<CDataType_Container *>(pdt)->dtc_tidElement,
                             bThroughTypedefs);
  case DTT_DYNAMICCONTAINER:
    return CString("CDynamicContainerOf") +
           mdGetRootTypeName(static_cast<CDataType_Container *>(pdt)->dtc_tidElement,
                             bThroughTypedefs);
  case DTT_SMARTPOINTER:
    return CString("PtrTo") +
           mdGetRootTypeName(static_cast<CDataType_Targeted *>(pdt)->dtt_tidTarget,
                             bThroughTypedefs);
  case DTT_HANDLE:
    return CString("HandleTo") +
           mdGetRootTypeName(static_cast<CDataType_Targeted *>(pdt)->dtt_tidTarget,
                             bThroughTypedefs);
  case DTT_POINTER:
  case DTT_REFERENCE:
    return mdGetRootTypeName(static_cast<CDataType_Targeted *>(pdt)->dtt_tidTarget,
                             bThroughTypedefs);
  case DTT_ARRAY:
    return mdGetRootTypeName(static_cast<CDataType_Array *>(pdt)->dta_tidElement, bThroughTypedefs);
  case DTT_TYPEDEF:
    if (!bThroughTypedefs) return pdt->GetName();
    return mdGetRootTypeName(static_cast<CDataType_Targeted *>(pdt)->dtt_tidTarget,
                             bThroughTypedefs);
  default:
    return "???";
  }
}

CString mdGetName(CMetaPointer mp)
{
  if (!mp.IsValid()) return CString();
  CMetaPointer mpFinal = mdGetFinalObject(mp);
  if (mpFinal.IsValid()) {
    MetaNameFunction pName =
        (MetaNameFunction)mdFindFunction(mpFinal.mp_pdtType, CDataTypeFunctions::DTFS_GETNAME);
    if (pName != nullptr) {
      CString str = pName(mpFinal.mp_pdtType, mpFinal.mp_pvObject);
      if (str.Length() > 0) return str;
    }
  }
  CDataType_Struct *pdtst = mdAsStruct(mp.mp_pdtType);
  if (pdtst != nullptr && pdtst->dtst_idEditorName != nullptr && pdtst->dtst_idEditorName[0] != 0) {
    return pdtst->dtst_idEditorName;
  }
  return CString();
}

CString mdGetObjectDescription(CMetaPointer mp)
{
  CString strName = mp.mp_pvObject == nullptr ? CString("NULL") : mdGetName(mp);
  return strName + " (" + mdGetTypeDescription(mp.mp_pdtType) + ")";
}

} // namespace QuennelEngine
