#include "core/meta/DataType.h"

#include "core/frame/Exception.h"
#include "core/meta/TypeRegistry.h"
#include "core/text/Compare.h"
#include "core/text/Translation.h"

#include <string.h>

namespace QuennelEngine {

// ---- Kind names ----

namespace {
struct KindName {
  long kn_iKind;
  const char *kn_strName;
};
// In the order of the stored table: 0-10, 17, 11, 12, 13, 15, 16, then the end row.
const KindName _md_aknKinds[] = {
    {DTT_SIMPLE, "DTT_SIMPLE"},
    {DTT_VALUEFIELD, "DTT_VALUEFIELD"},
    {DTT_POINTER, "DTT_POINTER"},
    {DTT_REFERENCE, "DTT_REFERENCE"},
    {DTT_ARRAY, "DTT_ARRAY"},
    {DTT_STRUCT, "DTT_STRUCT"},
    {DTT_STATICARRAY, "DTT_STATICARRAY"},
    {DTT_STATICSTACKARRAY, "DTT_STATICSTACKARRAY"},
    {DTT_DYNAMICCONTAINER, "DTT_DYNAMICCONTAINER"},
    {DTT_FUNCTION, "DTT_FUNCTION"},
    {DTT_VOID, "DTT_VOID"},
    {DTT_UNKNOWN, "DTT_UNKNOWN"},
    {DTT_SMARTPOINTER, "DTT_SMARTPOINTER"},
    {DTT_HANDLE, "DTT_HANDLE"},
    {DTT_TYPEDEF, "DTT_TYPEDEF"},
    {DTT_SCRIPTSTATE, "DTT_SCRIPTSTATE"},
    {DTT_SCRIPTLATENT, "DTT_SCRIPTLATENT"},
    {-1, ""},
};
} // namespace

const char *dtGetTypeStringFromID(long iKind)
{
  const KindName *pkn = _md_aknKinds;
  while (pkn->kn_iKind != -1 && pkn->kn_iKind != iKind) pkn++;
  return pkn->kn_strName;
}

long dtGetTypeIDFromString(const char *strName)
{
  if (strName == nullptr) return -1;
  for (const KindName *pkn = _md_aknKinds; pkn->kn_iKind != -1; pkn++) {
    if (strCompare(pkn->kn_strName, strName) == 0) return pkn->kn_iKind;
  }
  return -1;
}

// ---- CTypeID ----

IDENT mdInvalidIdent(void)
{
  static const IDENT _idInvalid = strConvertStringToID("");
  return _idInvalid;
}

static inline bool IsValidIdent(IDENT id)
{
  return id != nullptr && id[0] != 0;
}

CTypeID::CTypeID(void) : ti_pdt(nullptr), ti_id(mdInvalidIdent())
{
}

CTypeID::CTypeID(CDataType *pdt) : ti_pdt(pdt), ti_id(mdInvalidIdent())
{
}

CTypeID::CTypeID(const char *strName)
    : ti_pdt(nullptr), ti_id(strName == nullptr ? mdInvalidIdent() : strConvertStringToID(strName))
{
}

bool CTypeID::IsEmpty(void) const
{
  return ti_pdt == nullptr && !IsValidIdent(ti_id);
}

CDataType *CTypeID::ResolveByName(void)
{
  if (IsValidIdent(ti_id)) ti_pdt = mdFindByName(ti_id);
  return ti_pdt;
}

IDENT CTypeID::GetName(void) const
{
  if (IsValidIdent(ti_id)) return ti_id;
  if (ti_pdt != nullptr) return ti_pdt->GetName();
  return mdInvalidIdent();
}

void CTypeID::Forget(const CDataType *pdt)
{
  if (ti_pdt != pdt || pdt == nullptr) return;
  // Keep the name so that a type registered again under it is found.
  if (!IsValidIdent(ti_id)) ti_id = pdt->GetName();
  ti_pdt = nullptr;
}

CDataType *mdMustResolve_t(CTypeID &tid)
{
  CDataType *pdt = tid.Resolve();
  if (pdt == nullptr) {
    ThrowFormat_t(strTranslate("DOZUMeta.CannotResolve=Cannot resolve type '%1'"),
                  (const char *)tid.GetName());
  }
  return pdt;
}

// ---- CDataTypeFunctions ----

CDataTypeFunctions::CDataTypeFunctions(void)
{
  memset(dtf_apfn, 0, sizeof(dtf_apfn));
}

int CDataTypeFunctions::SlotOfSelector(unsigned long ulSelector)
{
  for (int iSlot = 0; iSlot <= DTFS_WRITE; iSlot++) {
    if (ulSelector == 1UL << iSlot) return iSlot;
  }
  switch (ulSelector) {
  case DTFSEL_COLLECT:
    return DTFS_COLLECT;
  case DTFSEL_GETNAME:
    return DTFS_GETNAME;
  case DTFSEL_CONSTRUCT:
    return DTFS_CONSTRUCT;
  case DTFSEL_DESTRUCT:
    return DTFS_DESTRUCT;
  default:
    return -1;
  }
}

CDataTypeFunctions::CDataTypeFunctions(const DataTypeFunctionEntry *pEntries) : CDataTypeFunctions()
{
  if (pEntries == nullptr) return;
  for (; pEntries->dtfe_ulSelector != 0; pEntries++) {
    const int iSlot = SlotOfSelector(pEntries->dtfe_ulSelector);
    if (iSlot >= 0) dtf_apfn[iSlot] = pEntries->dtfe_pfn;
  }
}

// ---- CDataType ----

CDataType *CDataType::md_pdtDataType = nullptr;

CDataType::CDataType(void)
    : dt_dttKind(DTT_NONE), dt_idName(mdInvalidIdent()), dt_iFormat(-1), dt_slSize(0),
      dt_ulFlags(0), dt_ulChecksum(0), dt_pdtfFunctions(nullptr), dt_iSaveIndex(-1),
      dt_iLoadIndex(-1), dt_pdtCounterpart(this), dt_aulReserved(), dt_mts()
{
}

CDataType::CDataType(DataTypeType dtt, const char *strName, long iFormat, long slSize,
                     unsigned long ulFlags, const CDataTypeFunctions *pdtf)
    : dt_dttKind(dtt),
      dt_idName(strName == nullptr ? mdInvalidIdent() : strConvertStringToID(strName)),
      dt_iFormat(iFormat), dt_slSize(slSize), dt_ulFlags(ulFlags), dt_ulChecksum(0),
      dt_pdtfFunctions(pdtf == nullptr ? nullptr : new CDataTypeFunctions(*pdtf)),
      dt_iSaveIndex(-1), dt_iLoadIndex(-1), dt_pdtCounterpart(this), dt_aulReserved(), dt_mts()
{
}

CDataType::CDataType(const CDataType &dt)
    : dt_dttKind(dt.dt_dttKind), dt_idName(dt.dt_idName), dt_iFormat(dt.dt_iFormat),
      dt_slSize(dt.dt_slSize), dt_ulFlags(dt.dt_ulFlags), dt_ulChecksum(dt.dt_ulChecksum),
      dt_pdtfFunctions(
          dt.dt_pdtfFunctions == nullptr ? nullptr : new CDataTypeFunctions(*dt.dt_pdtfFunctions)),
      dt_iSaveIndex(dt.dt_iSaveIndex), dt_iLoadIndex(dt.dt_iLoadIndex),
      dt_pdtCounterpart(dt.dt_pdtCounterpart == &dt ? this : dt.dt_pdtCounterpart), dt_mts()
{
  memcpy(dt_aulReserved, dt.dt_aulReserved, sizeof(dt_aulReserved));
}

CDataType &CDataType::operator=(const CDataType &dt)
{
  if (this == &dt) return *this;
  CDataTypeFunctions *pdtf =
      dt.dt_pdtfFunctions == nullptr ? nullptr : new CDataTypeFunctions(*dt.dt_pdtfFunctions);
  delete dt_pdtfFunctions;
  dt_dttKind = dt.dt_dttKind;
  dt_idName = dt.dt_idName;
  dt_iFormat = dt.dt_iFormat;
  dt_slSize = dt.dt_slSize;
  dt_ulFlags = dt.dt_ulFlags;
  dt_ulChecksum = dt.dt_ulChecksum;
  dt_pdtfFunctions = pdtf;
  dt_iSaveIndex = dt.dt_iSaveIndex;
  dt_iLoadIndex = dt.dt_iLoadIndex;
  dt_pdtCounterpart = dt.dt_pdtCounterpart == &dt ? this : dt.dt_pdtCounterpart;
  memcpy(dt_aulReserved, dt.dt_aulReserved, sizeof(dt_aulReserved));
  // The statistics belong to the objects of this descriptor, not to the copied one.
  return *this;
}

CDataType::~CDataType(void)
{
  // The allocation functions may remember this descriptor's record; a descriptor made later at
  // this address has a record of its own.
  memForgetTypeStats(this);
  delete dt_pdtfFunctions;
}

CDataType *CDataType::mdGetDataType(void) const
{
  return md_pdtDataType;
}

} // namespace QuennelEngine
