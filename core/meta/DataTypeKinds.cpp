#include "core/meta/DataTypeKinds.h"

#include "core/streams/CRC.h"
#include "core/text/Compare.h"

#include <string.h>

namespace QuennelEngine {

// Descriptors own copies of their record arrays.
template <class T> static T *CopyRecords(const T *a, long ct)
{
  if (a == nullptr || ct <= 0) return nullptr;
  T *aCopy = new T[ct];
  for (long i = 0; i < ct; i++) aCopy[i] = a[i];
  return aCopy;
}

static IDENT IdentOrInvalid(const char *str)
{
  return (str == nullptr || str[0] == 0) ? mdInvalidIdent() : strConvertStringToID(str);
}

// ---- Records ----

CDataType_Hint::CDataType_Hint(const char *strName, const char *strValue)
    : dth_strName(strName == nullptr ? "" : strName),
      dth_strValue(strValue == nullptr ? "" : strValue)
{
}

CDataType_ValueFieldEntry::CDataType_ValueFieldEntry(long slValue, const char *strCodeName,
                                                     const char *strName)
    : vfe_slValue(slValue), vfe_strCodeName(strCodeName == nullptr ? "" : strCodeName),
      vfe_strName(strName == nullptr ? "" : strName)
{
}

CDataType_StructMember::CDataType_StructMember(void)
    : sm_idEditorName(mdInvalidIdent()), sm_idCodeName(mdInvalidIdent()),
      sm_idAlias(mdInvalidIdent()), sm_idGroupName(mdInvalidIdent()), sm_slOffset(0), sm_ulFlags(0),
      sm_sbValue(0), sm_ubValue(0), sm_ctHints(0), sm_adthHints(nullptr), sm_psmCounterpart(nullptr)
{
}

CDataType_StructMember::CDataType_StructMember(CTypeID tidType, const char *strCodeName,
                                               const char *strEditorName, const char *strAlias,
                                               const char *strGroupName, long slOffset,
                                               unsigned long ulFlags, signed char sbValue,
                                               long ctHints, const CDataType_Hint *adth,
                                               unsigned char ubValue)
    : sm_tidType(tidType), sm_idEditorName(IdentOrInvalid(strEditorName)),
      sm_idCodeName(IdentOrInvalid(strCodeName)), sm_idAlias(IdentOrInvalid(strAlias)),
      sm_idGroupName(IdentOrInvalid(strGroupName)), sm_slOffset(slOffset), sm_ulFlags(ulFlags),
      sm_sbValue(sbValue), sm_ubValue(ubValue), sm_ctHints(adth == nullptr ? 0 : ctHints),
      sm_adthHints(CopyRecords(adth, ctHints)), sm_psmCounterpart(nullptr)
{
}

CDataType_StructMember::CDataType_StructMember(const CDataType_StructMember &sm)
    : sm_tidType(sm.sm_tidType), sm_idEditorName(sm.sm_idEditorName),
      sm_idCodeName(sm.sm_idCodeName), sm_idAlias(sm.sm_idAlias), sm_idGroupName(sm.sm_idGroupName),
      sm_slOffset(sm.sm_slOffset), sm_ulFlags(sm.sm_ulFlags), sm_sbValue(sm.sm_sbValue),
      sm_ubValue(sm.sm_ubValue), sm_ctHints(sm.sm_ctHints),
      sm_adthHints(CopyRecords(sm.sm_adthHints, sm.sm_ctHints)),
      sm_psmCounterpart(sm.sm_psmCounterpart)
{
}

CDataType_StructMember &CDataType_StructMember::operator=(const CDataType_StructMember &sm)
{
  if (this == &sm) return *this;
  CDataType_Hint *adth = CopyRecords(sm.sm_adthHints, sm.sm_ctHints);
  delete[] sm_adthHints;
  sm_tidType = sm.sm_tidType;
  sm_idEditorName = sm.sm_idEditorName;
  sm_idCodeName = sm.sm_idCodeName;
  sm_idAlias = sm.sm_idAlias;
  sm_idGroupName = sm.sm_idGroupName;
  sm_slOffset = sm.sm_slOffset;
  sm_ulFlags = sm.sm_ulFlags;
  sm_sbValue = sm.sm_sbValue;
  sm_ubValue = sm.sm_ubValue;
  sm_ctHints = sm.sm_ctHints;
  sm_adthHints = adth;
  sm_psmCounterpart = sm.sm_psmCounterpart;
  return *this;
}

CDataType_StructMember::~CDataType_StructMember(void)
{
  delete[] sm_adthHints;
}

CDataType_FunctionArgument::CDataType_FunctionArgument(CTypeID tidType, const char *strName,
                                                       unsigned long ulValue, unsigned char ubValue)
    : fa_tidType(tidType), fa_strName(strName == nullptr ? "" : strName), fa_ulValue(ulValue),
      fa_ubValue(ubValue)
{
}

CDataType_ScriptLabel::CDataType_ScriptLabel(const char *strName, long slValue)
    : sl_strName(strName == nullptr ? "" : strName), sl_slValue(slValue)
{
}

CDataInstance::CDataInstance(void) : di_idEditorName(mdInvalidIdent()), di_pvData(nullptr)
{
}

CDataInstance::CDataInstance(const char *strEditorName, CTypeID tidType, void *pvData)
    : di_idEditorName(IdentOrInvalid(strEditorName)), di_tidType(tidType), di_pvData(pvData)
{
}

// ---- Kinds ----

#define MD_KIND_DESCRIPTOR(name)                                                                   \
  CDataType *name::md_pdtDataType = nullptr;                                                       \
  CDataType *name::mdGetDataType(void) const                                                       \
  {                                                                                                \
    return md_pdtDataType;                                                                         \
  }

MD_KIND_DESCRIPTOR(CDataType_Simple)
MD_KIND_DESCRIPTOR(CDataType_ValueField)
MD_KIND_DESCRIPTOR(CDataType_Pointer)
MD_KIND_DESCRIPTOR(CDataType_Reference)
MD_KIND_DESCRIPTOR(CDataType_SmartPointer)
MD_KIND_DESCRIPTOR(CDataType_Handle)
MD_KIND_DESCRIPTOR(CDataType_Typedef)
MD_KIND_DESCRIPTOR(CDataType_Array)
MD_KIND_DESCRIPTOR(CDataType_CStaticArray)
MD_KIND_DESCRIPTOR(CDataType_CStaticStackArray)
MD_KIND_DESCRIPTOR(CDataType_CDynamicContainer)
MD_KIND_DESCRIPTOR(CDataType_Struct)
MD_KIND_DESCRIPTOR(CDataType_Function)
MD_KIND_DESCRIPTOR(CDataType_Void)
MD_KIND_DESCRIPTOR(CDataType_Unknown)
MD_KIND_DESCRIPTOR(CDataType_ScriptState)
MD_KIND_DESCRIPTOR(CDataType_ScriptLatent)
#undef MD_KIND_DESCRIPTOR

CDataType_Simple::CDataType_Simple(void) : dts_slByteOrderUnit(0)
{
  dt_dttKind = DTT_SIMPLE;
}

CDataType_Simple::CDataType_Simple(const char *strName, long iFormat,
                                   const CDataTypeFunctions *pdtf, long slSize,
                                   long slByteOrderUnit, unsigned long ulFlags)
    : CDataType(DTT_SIMPLE, strName, iFormat, slSize, ulFlags, pdtf),
      dts_slByteOrderUnit(slByteOrderUnit)
{
}

CDataType_ValueField::CDataType_ValueField(void)
    : dtvf_vftType(VFT_NONE), dtvf_ctEntries(0), dtvf_avfeEntries(nullptr)
{
  dt_dttKind = DTT_VALUEFIELD;
}

CDataType_ValueField::CDataType_ValueField(const char *strName, long iFormat,
                                           const CDataTypeFunctions *pdtf, ValueFieldType vft,
                                           long slSize, long ctEntries,
                                           const CDataType_ValueFieldEntry *avfe,
                                           unsigned long ulFlags)
    : CDataType(DTT_VALUEFIELD, strName, iFormat, slSize, ulFlags, pdtf), dtvf_vftType(vft),
      dtvf_ctEntries(avfe == nullptr || ctEntries < 0 ? 0 : ctEntries),
      dtvf_avfeEntries(CopyRecords(avfe, ctEntries))
{
}

CDataType_ValueField::CDataType_ValueField(const CDataType_ValueField &dt)
    : CDataType(dt), dtvf_vftType(dt.dtvf_vftType), dtvf_ctEntries(dt.dtvf_ctEntries),
      dtvf_avfeEntries(CopyRecords(dt.dtvf_avfeEntries, dt.dtvf_ctEntries))
{
}

CDataType_ValueField &CDataType_ValueField::operator=(const CDataType_ValueField &dt)
{
  if (this == &dt) return *this;
  CDataType_ValueFieldEntry *avfe = CopyRecords(dt.dtvf_avfeEntries, dt.dtvf_ctEntries);
  CDataType::operator=(dt);
  delete[] dtvf_avfeEntries;
  dtvf_vftType = dt.dtvf_vftType;
  dtvf_ctEntries = dt.dtvf_ctEntries;
  dtvf_avfeEntries = avfe;
  return *this;
}

CDataType_ValueField::~CDataType_ValueField(void)
{
  delete[] dtvf_avfeEntries;
}

const CDataType_ValueFieldEntry *CDataType_ValueField::FindValue(long slValue) const
{
  for (long i = 0; i < dtvf_ctEntries; i++) {
    if (dtvf_avfeEntries[i].vfe_slValue == slValue) return &dtvf_avfeEntries[i];
  }
  return nullptr;
}

CDataType_Targeted::CDataType_Targeted(DataTypeType dtt)
{
  dt_dttKind = dtt;
  dt_slSize = 4;
}

CDataType_Targeted::CDataType_Targeted(DataTypeType dtt, const char *strName, long iFormat,
                                       CTypeID tidTarget, unsigned long ulFlags)
    : CDataType(dtt, strName, iFormat, 4, ulFlags, nullptr), dtt_tidTarget(tidTarget)
{
}

CDataType_Array::CDataType_Array(void) : dta_ctDimensions(0), dta_actDimensions(nullptr)
{
  dt_dttKind = DTT_ARRAY;
}

CDataType_Array::CDataType_Array(const char *strName, long iFormat, CTypeID tidElement,
                                 long ctDimensions, const long *actDimensions,
                                 unsigned long ulFlags, long slSize)
    : CDataType(DTT_ARRAY, strName, iFormat, slSize, ulFlags, nullptr), dta_tidElement(tidElement),
      dta_ctDimensions(actDimensions == nullptr || ctDimensions < 0 ? 0 : ctDimensions),
      dta_actDimensions(CopyRecords(actDimensions, ctDimensions))
{
}

CDataType_Array::CDataType_Array(const CDataType_Array &dt)
    : CDataType(dt), dta_tidElement(dt.dta_tidElement), dta_ctDimensions(dt.dta_ctDimensions),
      dta_actDimensions(CopyRecords(dt.dta_actDimensions, dt.dta_ctDimensions))
{
}

CDataType_Array &CDataType_Array::operator=(const CDataType_Array &dt)
{
  if (this == &dt) return *this;
  long *actDimensions = CopyRecords(dt.dta_actDimensions, dt.dta_ctDimensions);
  CDataType::operator=(dt);
  delete[] dta_actDimensions;
  dta_tidElement = dt.dta_tidElement;
  dta_ctDimensions = dt.dta_ctDimensions;
  dta_actDimensions = actDimensions;
  return *this;
}

CDataType_Array::~CDataType_Array(void)
{
  delete[] dta_actDimensions;
}

long CDataType_Array::GetElementCount(void) const
{
  long ct = 1;
  for (long i = 0; i < dta_ctDimensions; i++) ct *= dta_actDimensions[i];
  return dta_ctDimensions == 0 ? 0 : ct;
}

static long ContainerSize(DataTypeType dtt)
{
  return dtt == DTT_STATICARRAY ? 8 : 16;
}

CDataType_Container::CDataType_Container(DataTypeType dtt) : dtc_ulExtra(0)
{
  dt_dttKind = dtt;
  dt_slSize = ContainerSize(dtt);
}

CDataType_Container::CDataType_Container(DataTypeType dtt, const char *strName, long iFormat,
                                         CTypeID tidElement, unsigned long ulFlags,
                                         unsigned long ulExtra)
    : CDataType(dtt, strName, iFormat, ContainerSize(dtt), ulFlags, nullptr),
      dtc_tidElement(tidElement), dtc_ulExtra(ulExtra)
{
}

CDataType_Struct::CDataType_Struct(void)
    : dtst_idEditorName(mdInvalidIdent()), dtst_idAlias(mdInvalidIdent()), dtst_ctMembers(0),
      dtst_asmMembers(nullptr), dtst_ctOtherTypes(0), dtst_atidOtherTypes(nullptr),
      dtst_ulClassFlags(0), dtst_ulNoDerivedAt(0), dtst_ctHints(0), dtst_adthHints(nullptr),
      dtst_apdiInstances(nullptr)
{
  dt_dttKind = DTT_STRUCT;
}

CDataType_Struct::CDataType_Struct(const char *strName, long iFormat,
                                   const CDataTypeFunctions *pdtf, CTypeID tidBase, long ctMembers,
                                   const CDataType_StructMember *asm_, long ctOtherTypes,
                                   const CTypeID *atidOtherTypes, unsigned long ulFlags,
                                   unsigned long ulClassFlags, long slSize,
                                   const char *strEditorName, const char *strAlias, long ctHints,
                                   const CDataType_Hint *adth, CDataInstance **apdiInstances)
    : CDataType(DTT_STRUCT, strName, iFormat, slSize, ulFlags, pdtf), dtst_tidBase(tidBase),
      dtst_idEditorName(IdentOrInvalid(strEditorName)), dtst_idAlias(IdentOrInvalid(strAlias)),
      dtst_ctMembers(asm_ == nullptr || ctMembers < 0 ? 0 : ctMembers),
      dtst_asmMembers(CopyRecords(asm_, ctMembers)),
      dtst_ctOtherTypes(atidOtherTypes == nullptr || ctOtherTypes < 0 ? 0 : ctOtherTypes),
      dtst_atidOtherTypes(CopyRecords(atidOtherTypes, ctOtherTypes)),
      dtst_ulClassFlags(ulClassFlags), dtst_ulNoDerivedAt(0),
      dtst_ctHints(adth == nullptr || ctHints < 0 ? 0 : ctHints),
      dtst_adthHints(CopyRecords(adth, ctHints)), dtst_apdiInstances(apdiInstances)
{
}

CDataType_Struct::CDataType_Struct(const CDataType_Struct &dt)
    : CDataType(dt), dtst_tidBase(dt.dtst_tidBase), dtst_idEditorName(dt.dtst_idEditorName),
      dtst_idAlias(dt.dtst_idAlias), dtst_ctMembers(dt.dtst_ctMembers),
      dtst_asmMembers(CopyRecords(dt.dtst_asmMembers, dt.dtst_ctMembers)),
      dtst_ctOtherTypes(dt.dtst_ctOtherTypes),
      dtst_atidOtherTypes(CopyRecords(dt.dtst_atidOtherTypes, dt.dtst_ctOtherTypes)),
      dtst_ulClassFlags(dt.dtst_ulClassFlags), dtst_ulNoDerivedAt(0), dtst_ctHints(dt.dtst_ctHints),
      dtst_adthHints(CopyRecords(dt.dtst_adthHints, dt.dtst_ctHints)),
      dtst_apdiInstances(dt.dtst_apdiInstances)
{
}

CDataType_Struct &CDataType_Struct::operator=(const CDataType_Struct &dt)
{
  if (this == &dt) return *this;
  CDataType_StructMember *asm_ = CopyRecords(dt.dtst_asmMembers, dt.dtst_ctMembers);
  CTypeID *atid = CopyRecords(dt.dtst_atidOtherTypes, dt.dtst_ctOtherTypes);
  CDataType_Hint *adth = CopyRecords(dt.dtst_adthHints, dt.dtst_ctHints);
  CDataType::operator=(dt);
  delete[] dtst_asmMembers;
  delete[] dtst_atidOtherTypes;
  delete[] dtst_adthHints;
  dtst_tidBase = dt.dtst_tidBase;
  dtst_idEditorName = dt.dtst_idEditorName;
  dtst_idAlias = dt.dtst_idAlias;
  dtst_ctMembers = dt.dtst_ctMembers;
  dtst_asmMembers = asm_;
  dtst_ctOtherTypes = dt.dtst_ctOtherTypes;
  dtst_atidOtherTypes = atid;
  dtst_ulClassFlags = dt.dtst_ulClassFlags;
  dtst_ulNoDerivedAt = 0;
  dtst_ctHints = dt.dtst_ctHints;
  dtst_adthHints = adth;
  dtst_apdiInstances = dt.dtst_apdiInstances;
  return *this;
}

CDataType_Struct::~CDataType_Struct(void)
{
  delete[] dtst_asmMembers;
  delete[] dtst_atidOtherTypes;
  delete[] dtst_adthHints;
}

const CDataType_StructMember *CDataType_Struct::FindMember(IDENT idCodeName) const
{
  for (long i = 0; i < dtst_ctMembers; i++) {
    if (dtst_asmMembers[i].sm_idCodeName == idCodeName) return &dtst_asmMembers[i];
  }
  return nullptr;
}

CDataType_Function::CDataType_Function(void)
    : dtfn_ctArguments(0), dtfn_afaArguments(nullptr), dtfn_slReserved(-1)
{
  dt_dttKind = DTT_FUNCTION;
  dt_slSize = -1;
}

CDataType_Function::CDataType_Function(CTypeID tidFirst, const char *strName, CTypeID tidSecond,
                                       long ctArguments, const CDataType_FunctionArgument *afa,
                                       unsigned long ulFlags)
    : CDataType(DTT_FUNCTION, strName, -1, -1, ulFlags, nullptr), dtfn_tidFirst(tidFirst),
      dtfn_tidSecond(tidSecond),
      dtfn_ctArguments(afa == nullptr || ctArguments < 0 ? 0 : ctArguments),
      dtfn_afaArguments(CopyRecords(afa, ctArguments)), dtfn_slReserved(-1)
{
}

CDataType_Function::CDataType_Function(const CDataType_Function &dt)
    : CDataType(dt), dtfn_tidFirst(dt.dtfn_tidFirst), dtfn_tidSecond(dt.dtfn_tidSecond),
      dtfn_ctArguments(dt.dtfn_ctArguments),
      dtfn_afaArguments(CopyRecords(dt.dtfn_afaArguments, dt.dtfn_ctArguments)),
      dtfn_slReserved(dt.dtfn_slReserved)
{
}

CDataType_Function &CDataType_Function::operator=(const CDataType_Function &dt)
{
  if (this == &dt) return *this;
  CDataType_FunctionArgument *afa = CopyRecords(dt.dtfn_afaArguments, dt.dtfn_ctArguments);
  CDataType::operator=(dt);
  delete[] dtfn_afaArguments;
  dtfn_tidFirst = dt.dtfn_tidFirst;
  dtfn_tidSecond = dt.dtfn_tidSecond;
  dtfn_ctArguments = dt.dtfn_ctArguments;
  dtfn_afaArguments = afa;
  dtfn_slReserved = dt.dtfn_slReserved;
  return *this;
}

CDataType_Function::~CDataType_Function(void)
{
  delete[] dtfn_afaArguments;
}

CDataType_Void::CDataType_Void(unsigned long ulFlags)
    : CDataType(DTT_VOID, "void", 1, 0, ulFlags, nullptr)
{
}

CDataType_Unknown::CDataType_Unknown(unsigned long ulFlags)
    : CDataType(DTT_UNKNOWN, "Unknown", 1, 0, ulFlags, nullptr)
{
}

CDataType_ScriptState::CDataType_ScriptState(void)
    : dtss_ctTypes(0), dtss_atidTypes(nullptr), dtss_ctLabels(0), dtss_aslLabels(nullptr),
      dtss_apdiInstances(nullptr)
{
  dt_dttKind = DTT_SCRIPTSTATE;
}

CDataType_ScriptState::CDataType_ScriptState(const char *strName, long iFormat, CTypeID tidOwner,
                                             CTypeID tidBaseState, long ctTypes,
                                             const CTypeID *atid, long ctLabels,
                                             const CDataType_ScriptLabel *asl, long slSize,
                                             unsigned long ulFlags, CDataInstance **apdiInstances)
    : CDataType(DTT_SCRIPTSTATE, strName, iFormat, slSize, ulFlags, nullptr),
      dtss_tidOwner(tidOwner), dtss_tidBaseState(tidBaseState),
      dtss_ctTypes(atid == nullptr || ctTypes < 0 ? 0 : ctTypes),
      dtss_atidTypes(CopyRecords(atid, ctTypes)),
      dtss_ctLabels(asl == nullptr || ctLabels < 0 ? 0 : ctLabels),
      dtss_aslLabels(CopyRecords(asl, ctLabels)), dtss_apdiInstances(apdiInstances)
{
}

CDataType_ScriptState::CDataType_ScriptState(const CDataType_ScriptState &dt)
    : CDataType(dt), dtss_tidOwner(dt.dtss_tidOwner), dtss_tidBaseState(dt.dtss_tidBaseState),
      dtss_ctTypes(dt.dtss_ctTypes),
      dtss_atidTypes(CopyRecords(dt.dtss_atidTypes, dt.dtss_ctTypes)),
      dtss_ctLabels(dt.dtss_ctLabels),
      dtss_aslLabels(CopyRecords(dt.dtss_aslLabels, dt.dtss_ctLabels)),
      dtss_apdiInstances(dt.dtss_apdiInstances)
{
}

CDataType_ScriptState &CDataType_ScriptState::operator=(const CDataType_ScriptState &dt)
{
  if (this == &dt) return *this;
  CTypeID *atid = CopyRecords(dt.dtss_atidTypes, dt.dtss_ctTypes);
  CDataType_ScriptLabel *asl = CopyRecords(dt.dtss_aslLabels, dt.dtss_ctLabels);
  CDataType::operator=(dt);
  delete[] dtss_atidTypes;
  delete[] dtss_aslLabels;
  dtss_tidOwner = dt.dtss_tidOwner;
  dtss_tidBaseState = dt.dtss_tidBaseState;
  dtss_ctTypes = dt.dtss_ctTypes;
  dtss_atidTypes = atid;
  dtss_ctLabels = dt.dtss_ctLabels;
  dtss_aslLabels = asl;
  dtss_apdiInstances = dt.dtss_apdiInstances;
  return *this;
}

CDataType_ScriptState::~CDataType_ScriptState(void)
{
  delete[] dtss_atidTypes;
  delete[] dtss_aslLabels;
}

CDataType_ScriptLatent::CDataType_ScriptLatent(void)
    : dtsl_ctArguments(0), dtsl_afaArguments(nullptr), dtsl_apdi()
{
  dt_dttKind = DTT_SCRIPTLATENT;
  dt_slSize = -1;
}

CDataType_ScriptLatent::CDataType_ScriptLatent(const char *strName, long iFormat, CTypeID tid,
                                               long ctArguments,
                                               const CDataType_FunctionArgument *afa,
                                               unsigned long ulFlags, CDataInstance *pdi0,
                                               CDataInstance *pdi1, CDataInstance *pdi2)
    : CDataType(DTT_SCRIPTLATENT, strName, iFormat, -1, ulFlags, nullptr), dtsl_tid(tid),
      dtsl_ctArguments(afa == nullptr || ctArguments < 0 ? 0 : ctArguments),
      dtsl_afaArguments(CopyRecords(afa, ctArguments)), dtsl_apdi{pdi0, pdi1, pdi2}
{
}

CDataType_ScriptLatent::CDataType_ScriptLatent(const CDataType_ScriptLatent &dt)
    : CDataType(dt), dtsl_tid(dt.dtsl_tid), dtsl_ctArguments(dt.dtsl_ctArguments),
      dtsl_afaArguments(CopyRecords(dt.dtsl_afaArguments, dt.dtsl_ctArguments)),
      dtsl_apdi{dt.dtsl_apdi[0], dt.dtsl_apdi[1], dt.dtsl_apdi[2]}
{
}

CDataType_ScriptLatent &CDataType_ScriptLatent::operator=(const CDataType_ScriptLatent &dt)
{
  if (this == &dt) return *this;
  CDataType_FunctionArgument *afa = CopyRecords(dt.dtsl_afaArguments, dt.dtsl_ctArguments);
  CDataType::operator=(dt);
  delete[] dtsl_afaArguments;
  dtsl_tid = dt.dtsl_tid;
  dtsl_ctArguments = dt.dtsl_ctArguments;
  dtsl_afaArguments = afa;
  for (int i = 0; i < 3; i++) dtsl_apdi[i] = dt.dtsl_apdi[i];
  return *this;
}

CDataType_ScriptLatent::~CDataType_ScriptLatent(void)
{
  delete[] dtsl_afaArguments;
}

// ---- Views ----

CDataType_Struct *mdAsStruct(CDataType *pdt)
{
  return (pdt != nullptr && pdt->dt_dttKind == DTT_STRUCT) ? static_cast<CDataType_Struct *>(pdt)
                                                           : nullptr;
}

CDataType_Targeted *mdAsTargeted(CDataType *pdt)
{
  if (pdt == nullptr) return nullptr;
  switch (pdt->dt_dttKind) {
  case DTT_POINTER:
  case DTT_REFERENCE:
  case DTT_SMARTPOINTER:
  case DTT_HANDLE:
  case DTT_TYPEDEF:
    return static_cast<CDataType_Targeted *>(pdt);
  default:
    return nullptr;
  }
}

CDataType_Container *mdAsContainer(CDataType *pdt)
{
  if (pdt == nullptr) return nullptr;
  switch (pdt->dt_dttKind) {
  case DTT_STATICARRAY:
  case DTT_STATICSTACKARRAY:
  case DTT_DYNAMICCONTAINER:
    return static_cast<CDataType_Container *>(pdt);
  default:
    return nullptr;
  }
}

CDataType_ValueField *mdAsValueField(CDataType *pdt)
{
  return (pdt != nullptr && pdt->dt_dttKind == DTT_VALUEFIELD)
             ? static_cast<CDataType_ValueField *>(pdt)
             : nullptr;
}

CDataType_Array *mdAsArray(CDataType *pdt)
{
  return (pdt != nullptr && pdt->dt_dttKind == DTT_ARRAY) ? static_cast<CDataType_Array *>(pdt)
                                                          : nullptr;
}

// ---- Hints ----

static const CDataType_Hint *FindHint(long ctHints, const CDataType_Hint *adth, const char *strHint)
{
  if (strHint == nullptr || adth == nullptr) return nullptr;
  for (long i = 0; i < ctHints; i++) {
    if (strCompare(adth[i].dth_strName, strHint) == 0) return &adth[i];
  }
  return nullptr;
}

int mdHasHint(const CDataType_StructMember *psm, const char *strHint)
{
  return psm != nullptr && FindHint(psm->sm_ctHints, psm->sm_adthHints, strHint) != nullptr;
}

int mdHasHint(const CDataType_Struct *pdt, const char *strHint)
{
  return pdt != nullptr && FindHint(pdt->dtst_ctHints, pdt->dtst_adthHints, strHint) != nullptr;
}

CString mdGetHint(const CDataType_StructMember *psm, const char *strHint)
{
  const CDataType_Hint *pdth =
      psm == nullptr ? nullptr : FindHint(psm->sm_ctHints, psm->sm_adthHints, strHint);
  return pdth == nullptr ? CString() : pdth->dth_strValue;
}

CString mdGetHint(const CDataType_Struct *pdt, const char *strHint)
{
  const CDataType_Hint *pdth =
      pdt == nullptr ? nullptr : FindHint(pdt->dtst_ctHints, pdt->dtst_adthHints, strHint);
  return pdth == nullptr ? CString() : pdth->dth_strValue;
}

// ---- Derivation ----

int mdIsAbstract(const CDataType *pdt)
{
  return pdt != nullptr && (pdt->dt_ulFlags & DTF_ABSTRACT) != 0;
}

// A file's descriptor is linked to the program's one of the same name; a program descriptor's
// own counterpart link points into a file that a load may be freeing, so it is not followed.
static bool IsSameOrCounterpart(CDataType *pdt, CDataType *pdtBase)
{
  if (pdt == pdtBase) return true;
  if ((pdt->dt_ulFlags & DTF_FROMFILE) && pdt->dt_pdtCounterpart == pdtBase) return true;
  if ((pdtBase->dt_ulFlags & DTF_FROMFILE) && pdtBase->dt_pdtCounterpart == pdt) return true;
  return false;
}

int mdIsDerivedFrom(CDataType *pdt, CDataType *pdtBase)
{
  if (pdtBase == nullptr || pdtBase->dt_dttKind != DTT_STRUCT) return 0;
  // The depth bound stops a (faulty) cycle of bases.
  for (int iDepth = 0; pdt != nullptr && iDepth < 1000; iDepth++) {
    if (pdt->dt_dttKind != DTT_STRUCT) return 0;
    if (IsSameOrCounterpart(pdt, pdtBase)) return 1;
    pdt = static_cast<CDataType_Struct *>(pdt)->dtst_tidBase.Resolve();
  }
  return 0;
}

CDataType *mdGetCommonDataType(CDataType *pdtA, CDataType *pdtB)
{
  if (mdAsStruct(pdtA) == nullptr || mdAsStruct(pdtB) == nullptr) return nullptr;
  for (int iDepth = 0; pdtA != nullptr && iDepth < 1000; iDepth++) {
    if (pdtA->dt_dttKind != DTT_STRUCT) return nullptr;
    if (mdIsDerivedFrom(pdtB, pdtA)) return pdtA;
    pdtA = static_cast<CDataType_Struct *>(pdtA)->dtst_tidBase.Resolve();
  }
  return nullptr;
}

// ---- Layout checksum ----

namespace {
struct ChecksumBuilder {
  unsigned long cb_ulCRC = 0xFFFFFFFFUL;
  void Word(unsigned long ul) { cb_ulCRC = crcUpdate(cb_ulCRC, &ul, 4); }
  void Text(const char *str)
  {
    const long ct = str == nullptr ? 0 : (long)strlen(str);
    Word((unsigned long)ct);
    if (ct > 0) cb_ulCRC = crcUpdate(cb_ulCRC, str, ct);
  }
  unsigned long Result(void) const { return ~cb_ulCRC; }
};
} // namespace

// What a reference held by value contributes: its type's checksum.
static void FoldHeld(ChecksumBuilder &cb, CTypeID &tid)
{
  CDataType *pdt = tid.Resolve();
  if (pdt == nullptr || (pdt->dt_ulFlags & DTF_CHECKING)) {
    // Unresolved (the type update reports it), or a malformed cycle: the name stands for it.
    cb.Text(tid.GetName());
    return;
  }
  cb.Word(mdGetLayoutChecksum(pdt));
}

unsigned long mdGetLayoutChecksum(CDataType *pdt)
{
  if (pdt == nullptr) return 0;
  if (pdt->dt_ulChecksum != 0) return pdt->dt_ulChecksum;
  pdt->dt_ulFlags |= DTF_CHECKING;
  ChecksumBuilder cb;
  cb.Text(pdt->dt_idName);
  cb.Word((unsigned long)pdt->dt_dttKind);
  // The bits that the type update computes stay out, so the result does not depend on when it ran.
  cb.Word(pdt->dt_ulFlags & ~(DTF_PLAIN | DTF_UPDATED | DTF_CHECKING | DTF_FAILED));
  cb.Word((unsigned long)pdt->dt_slSize);
  switch (pdt->dt_dttKind) {
  case DTT_SIMPLE:
    cb.Word((unsigned long)static_cast<CDataType_Simple *>(pdt)->dts_slByteOrderUnit);
    break;
  case DTT_VALUEFIELD: {
    CDataType_ValueField *pdtvf = static_cast<CDataType_ValueField *>(pdt);
    cb.Word((unsigned long)pdtvf->dtvf_vftType);
    cb.Word((unsigned long)pdtvf->dtvf_ctEntries);
    for (long i = 0; i < pdtvf->dtvf_ctEntries; i++) {
      cb.Word((unsigned long)pdtvf->dtvf_avfeEntries[i].vfe_slValue);
      cb.Text(pdtvf->dtvf_avfeEntries[i].vfe_strCodeName);
    }
    break;
  }
  case DTT_POINTER:
  case DTT_REFERENCE:
  case DTT_SMARTPOINTER:
  case DTT_HANDLE:
    cb.Text(static_cast<CDataType_Targeted *>(pdt)->dtt_tidTarget.GetName());
    break;
  case DTT_TYPEDEF:
    FoldHeld(cb, static_cast<CDataType_Targeted *>(pdt)->dtt_tidTarget);
    break;
  case DTT_STATICARRAY:
  case DTT_STATICSTACKARRAY:
  case DTT_DYNAMICCONTAINER:
    cb.Text(static_cast<CDataType_Container *>(pdt)->dtc_tidElement.GetName());
    break;
  case DTT_ARRAY: {
    CDataType_Array *pdta = static_cast<CDataType_Array *>(pdt);
    FoldHeld(cb, pdta->dta_tidElement);
    cb.Word((unsigned long)pdta->dta_ctDimensions);
    for (long i = 0; i < pdta->dta_ctDimensions; i++)
      cb.Word((unsigned long)pdta->dta_actDimensions[i]);
    break;
  }
  case DTT_STRUCT: {
    CDataType_Struct *pdtst = static_cast<CDataType_Struct *>(pdt);
    if (pdtst->dtst_tidBase.IsEmpty())
      cb.Word(0);
    else
      FoldHeld(cb, pdtst->dtst_tidBase);
    cb.Word(pdtst->dtst_ulClassFlags);
    cb.Word((unsigned long)pdtst->dtst_ctMembers);
    for (long i = 0; i < pdtst->dtst_ctMembers; i++) {
      CDataType_StructMember &sm = pdtst->dtst_asmMembers[i];
      cb.Text(sm.sm_idCodeName);
      cb.Word((unsigned long)sm.sm_slOffset);
      cb.Word(sm.sm_ulFlags);
      FoldHeld(cb, sm.sm_tidType);
    }
    break;
  }
  case DTT_FUNCTION: {
    CDataType_Function *pdtfn = static_cast<CDataType_Function *>(pdt);
    cb.Text(pdtfn->dtfn_tidFirst.GetName());
    cb.Text(pdtfn->dtfn_tidSecond.GetName());
    cb.Word((unsigned long)pdtfn->dtfn_ctArguments);
    for (long i = 0; i < pdtfn->dtfn_ctArguments; i++) {
      cb.Text(pdtfn->dtfn_afaArguments[i].fa_tidType.GetName());
    }
    break;
  }
  case DTT_SCRIPTSTATE: {
    CDataType_ScriptState *pdtss = static_cast<CDataType_ScriptState *>(pdt);
    cb.Text(pdtss->dtss_tidOwner.GetName());
    cb.Text(pdtss->dtss_tidBaseState.GetName());
    break;
  }
  case DTT_SCRIPTLATENT:
    cb.Text(static_cast<CDataType_ScriptLatent *>(pdt)->dtsl_tid.GetName());
    break;
  default:
    break;
  }
  pdt->dt_ulFlags &= ~DTF_CHECKING;
  // 0 means "not computed yet".
  pdt->dt_ulChecksum = cb.Result() == 0 ? 1 : cb.Result();
  return pdt->dt_ulChecksum;
}

} // namespace QuennelEngine
