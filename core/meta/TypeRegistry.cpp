#include "core/meta/TypeRegistry.h"
#include "core/meta/TypeRegistryPrivate.h"

#include "core/frame/CodeGuard.h"
#include "core/frame/Console.h"
#include "core/frame/Startup.h"
#include "core/memory/HashIndex.h"
#include "core/memory/PointerMap.h"
#include "core/meta/BuiltinTypes.h"
#include "core/meta/MetaObjects.h"
#include "core/meta/MetaSettings.h"
#include "core/text/Compare.h"
#include "core/text/FormatArgs.h"
#include "core/text/Translation.h"
#include "core/threads/SyncLock.h"

#include <stdint.h>

namespace QuennelEngine {

static CSyncMutex _md_smMeta;
const CPointerMap *_md_ppmTypeNames = nullptr;
unsigned long _md_ulTypeGeneration = 1;

// The registry's next generation (never 0, which marks nothing).
static unsigned long NextGeneration(void)
{
  return _md_ulTypeGeneration + 1 == 0 ? 1 : _md_ulTypeGeneration + 1;
}

// Moves the registry's generation on (under the meta mutex): what the last update found about
// derived classes no longer holds.
static void ChangeGeneration(void)
{
  __atomic_store_n(&_md_ulTypeGeneration, NextGeneration(), __ATOMIC_RELEASE);
}

CSyncMutex *mdGetMetaMutex(void)
{
  return &_md_smMeta;
}

namespace {

struct Registry;
Registry *_md_preg = nullptr;

// Identifiers are interned, so a name's pointer is its key and its hash.
unsigned long HashOf(IDENT id)
{
  return (unsigned long)(uintptr_t)id;
}

// The list of descriptors, the names (searched without the meta mutex, see mdFindByName) and
// the aliases (values are positions in the list).
struct Registry {
  CDynamicContainer<CDataType> r_dcTypes;
  CPointerMap r_pmNames;
  CHashIndex r_hiAliases;
  CDynamicContainer<CDataInstance> r_dcData;
  bool r_bStale = false; // descriptors went since the indexes were built
};

// Entries compared while names and aliases were looked up (under the meta mutex).
long long _md_ctNameCompares = 0;

IDENT AliasOf(CDataType *pdt)
{
  CDataType_Struct *pdtst = mdAsStruct(pdt);
  if (pdtst == nullptr || pdtst->dtst_idAlias == nullptr || pdtst->dtst_idAlias[0] == 0) {
    return nullptr;
  }
  return pdtst->dtst_idAlias;
}

void AddToTables(long iType)
{
  CDataType *pdt = _md_preg->r_dcTypes.Pointer(iType);
  _md_preg->r_pmNames.Add(pdt->dt_idName, pdt);
  IDENT idAlias = AliasOf(pdt);
  if (idAlias != nullptr) _md_preg->r_hiAliases.Add(HashOf(idAlias), iType);
}

// The registry as it is, for changing it.
Registry &RegRaw(void)
{
  // Published complete: name searches read it without the mutex.
  if (_md_preg == nullptr) {
    Registry *preg = new Registry;
    __atomic_store_n(&_md_ppmTypeNames, &preg->r_pmNames, __ATOMIC_RELEASE);
    __atomic_store_n(&_md_preg, preg, __ATOMIC_RELEASE);
  }
  return *_md_preg;
}

// The registry with its tables up to date, for lookups.
Registry &Reg(void)
{
  RegRaw();
  if (_md_preg->r_bStale) {
    _md_preg->r_bStale = false;
    // Searches without the mutex see the names again only when all are back.
    _md_preg->r_pmNames.BeginChange();
    _md_preg->r_pmNames.Clear();
    _md_preg->r_hiAliases.Reset();
    for (long i = 0; i < _md_preg->r_dcTypes.Count(); i++) AddToTables(i);
    _md_preg->r_pmNames.EndChange();
  }
  return *_md_preg;
}

// The statistics of a type live on its descriptor; those of untyped blocks on Unknown's.
MemoryTypeStats *ProvideTypeStats(const CDataType *pdt)
{
  if (pdt == nullptr) pdt = md_pdtUnknown;
  return pdt == nullptr ? nullptr : &const_cast<CDataType *>(pdt)->dt_mts;
}

void BuildTypeTables(void)
{
  mdUpdateTypeTables();
}

// Installed when Core loads: the statistics provider, and the start-up step that checks the
// types registered while the libraries loaded.
struct InstallHooks {
  InstallHooks()
  {
    memSetTypeStatsProvider(ProvideTypeStats);
    corGetStartupHooks().sh_pBuildTypeTables = BuildTypeTables;
  }
} _md_ih;

// Registered since the last type update.
long _md_ctPending = 0;

} // namespace

CDynamicContainer<CDataType> &mdGetAllNamedTypes(void)
{
  CSyncLock sl(&_md_smMeta);
  return RegRaw().r_dcTypes;
}

// Read, Write and Skip work only together: a reader that skips what it cannot read.
static bool HasSerializationTriple(const CDataType *pdt)
{
  const int ct = (pdt->GetFunction(CDataTypeFunctions::DTFS_READ) != nullptr) +
                 (pdt->GetFunction(CDataTypeFunctions::DTFS_WRITE) != nullptr) +
                 (pdt->GetFunction(CDataTypeFunctions::DTFS_SKIP) != nullptr);
  return ct == 0 || ct == 3;
}

void mdRegister(CDataType *pdt)
{
  if (pdt == nullptr) {
    corLogGuardBreach();
    return;
  }
  CSyncLock sl(&_md_smMeta);
  Registry &reg = RegRaw();
  if (!HasSerializationTriple(pdt)) {
    conError(strTranslate("DOZUMeta.PartialSerialization=Type %1 has some but not all of the "
                          "Read, Write and Skip operations\n"),
             pdt->GetName());
    pdt->dt_ulFlags |= DTF_UPDATED | DTF_FAILED;
  }
  reg.r_dcTypes.Add(pdt);
  AddToTables(reg.r_dcTypes.Count() - 1);
  _md_ctPending++;
  ChangeGeneration();
}

long mdGetPendingTypesCount(void)
{
  CSyncLock sl(&_md_smMeta);
  return _md_ctPending;
}

// Every reference that a descriptor holds to others.
template <class F> static void ForEachReference(CDataType *pdt, F f)
{
  switch (pdt->dt_dttKind) {
  case DTT_POINTER:
  case DTT_REFERENCE:
  case DTT_SMARTPOINTER:
  case DTT_HANDLE:
  case DTT_TYPEDEF:
    f(static_cast<CDataType_Targeted *>(pdt)->dtt_tidTarget);
    break;
  case DTT_STATICARRAY:
  case DTT_STATICSTACKARRAY:
  case DTT_DYNAMICCONTAINER:
    f(static_cast<CDataType_Container *>(pdt)->dtc_tidElement);
    break;
  case DTT_ARRAY:
    f(static_cast<CDataType_Array *>(pdt)->dta_tidElement);
    break;
  case DTT_STRUCT: {
    CDataType_Struct *pdtst = static_cast<CDataType_Struct *>(pdt);
    f(pdtst->dtst_tidBase);
    for (long i = 0; i < pdtst->dtst_ctMembers; i++) f(pdtst->dtst_asmMembers[i].sm_tidType);
    for (long i = 0; i < pdtst->dtst_ctOtherTypes; i++) f(pdtst->dtst_atidOtherTypes[i]);
    break;
  }
  case DTT_FUNCTION: {
    CDataType_Function *pdtfn = static_cast<CDataType_Function *>(pdt);
    f(pdtfn->dtfn_tidFirst);
    f(pdtfn->dtfn_tidSecond);
    for (long i = 0; i < pdtfn->dtfn_ctArguments; i++) f(pdtfn->dtfn_afaArguments[i].fa_tidType);
    break;
  }
  case DTT_SCRIPTSTATE: {
    CDataType_ScriptState *pdtss = static_cast<CDataType_ScriptState *>(pdt);
    f(pdtss->dtss_tidOwner);
    f(pdtss->dtss_tidBaseState);
    for (long i = 0; i < pdtss->dtss_ctTypes; i++) f(pdtss->dtss_atidTypes[i]);
    break;
  }
  case DTT_SCRIPTLATENT: {
    CDataType_ScriptLatent *pdtsl = static_cast<CDataType_ScriptLatent *>(pdt);
    f(pdtsl->dtsl_tid);
    for (long i = 0; i < pdtsl->dtsl_ctArguments; i++) f(pdtsl->dtsl_afaArguments[i].fa_tidType);
    break;
  }
  default:
    break;
  }
}

void mdUnregister(CDataType *pdt)
{
  if (pdt == nullptr) return;
  CSyncLock sl(&_md_smMeta);
  Registry &reg = RegRaw();
  if (!reg.r_dcTypes.Remove(pdt)) return;
  ChangeGeneration();
  // Positions moved: the tables are rebuilt before the next lookup, once for a whole module's
  // types.
  reg.r_bStale = true;
  reg.r_pmNames.Invalidate();
  for (CDataType *pdtOther : reg.r_dcTypes) {
    ForEachReference(pdtOther, [pdt](CTypeID &tid) { tid.Forget(pdt); });
    if (pdtOther->dt_pdtCounterpart == pdt) pdtOther->dt_pdtCounterpart = pdtOther;
  }
}

// Identifiers and texts are both `const char *`: the pointer is tried as an identifier first (one
// probe), and only a text that is not one is interned.
static long FindAlias(const Registry &reg, const char *str)
{
  auto Find = [&](IDENT id) {
    return reg.r_hiAliases.Find(HashOf(id), [&](long i) {
      _md_ctNameCompares++;
      return AliasOf(reg.r_dcTypes.Pointer(i)) == id;
    });
  };
  long i = Find(str);
  if (i >= 0) return i;
  IDENT id = strConvertStringToID(str);
  return id == str ? -1 : Find(id);
}

CDataType *mdFindByNameRest(IDENT idName, bool bSettled)
{
  if (idName == nullptr || idName[0] == 0) return nullptr;
  const CPointerMap *ppm = __atomic_load_n(&_md_ppmTypeNames, __ATOMIC_ACQUIRE);
  void *pv;
  if (bSettled) {
    // The name was looked for undisturbed and is not there as given: try it interned.
    IDENT id = strConvertStringToID(idName);
    if (id == idName) return nullptr;
    if (ppm->TryFind(id, pv)) return (CDataType *)pv;
  }
  CSyncLock sl(&_md_smMeta);
  Registry &reg = Reg();
  pv = reg.r_pmNames.Find(idName);
  if (pv != nullptr) return (CDataType *)pv;
  IDENT id = strConvertStringToID(idName);
  return id == idName ? nullptr : (CDataType *)reg.r_pmNames.Find(id);
}

CDataType *mdFindStructByAlias(IDENT idAlias)
{
  if (idAlias == nullptr || idAlias[0] == 0) return nullptr;
  CSyncLock sl(&_md_smMeta);
  Registry &reg = Reg();
  const long i = FindAlias(reg, idAlias);
  return i < 0 ? nullptr : reg.r_dcTypes.Pointer(i);
}

// ---- The type update ----

namespace {

bool CheckDescriptor(CDataType *pdt, const char *strUser);

bool CheckReference(CTypeID &tid, const char *strUser)
{
  if (tid.IsEmpty()) {
    conError(strTranslate("DOZUMeta.NullType=NULL type: used by %1\n"), strUser);
    return false;
  }
  CDataType *pdt = tid.Resolve();
  if (pdt == nullptr) {
    conError(strTranslate("DOZUMeta.Undeclared=Undeclared type: %1 used by %2\n"), tid.GetName(),
             strUser);
    return false;
  }
  return CheckDescriptor(pdt, strUser);
}

// The number of further type references of a structure and its bases.
long OtherTypeCount(CDataType_Struct *pdtst, int iDepth = 0)
{
  if (pdtst == nullptr || iDepth > 1000) return 0;
  return pdtst->dtst_ctOtherTypes +
         OtherTypeCount(mdAsStruct(pdtst->dtst_tidBase.Resolve()), iDepth + 1);
}

bool CheckStruct(CDataType_Struct *pdtst)
{
  bool bOK = true;
  bool bPlain = true;
  long slSum = 0;
  const char *strName = pdtst->GetName();
  for (long i = 0; i < pdtst->dtst_ctMembers; i++) {
    CDataType_StructMember &sm = pdtst->dtst_asmMembers[i];
    // Members that files leave out (always or outside the editor) make the run of bytes in memory
    // differ from the saved one, whatever the mode.
    if (sm.sm_ulFlags & (SMF_EDIT | SMF_NOSAVE)) bPlain = false;
    if ((sm.sm_ulFlags & SMF_EDIT) && !md_bInEditor) continue;
    CString strUser = CString(strName) + "::" + sm.GetCodeName();
    if (!CheckReference(sm.sm_tidType, strUser)) {
      bOK = false;
      continue;
    }
    CDataType *pdtMember = sm.sm_tidType.GetPointer();
    if (!(pdtMember->dt_ulFlags & DTF_PLAIN)) bPlain = false;
    slSum += pdtMember->dt_slSize;
  }
  if (!pdtst->dtst_tidBase.IsEmpty()) {
    CDataType *pdtBase = pdtst->dtst_tidBase.Resolve();
    if (pdtBase == nullptr) {
      conError(strTranslate("DOZUMeta.UndeclaredBase=%1 is derived from undeclared type %2\n"),
               strName, pdtst->dtst_tidBase.GetName());
      bOK = false;
    } else {
      if (!CheckDescriptor(pdtBase, strName)) bOK = false;
      CDataType_Struct *pdtstBase = mdAsStruct(pdtBase);
      if (pdtstBase == nullptr) {
        conError(strTranslate("DOZUMeta.BaseNotClass=%1 is derived from %2, but that is not a "
                              "class/struct\n"),
                 strName, pdtBase->GetName());
        bOK = false;
      } else {
        if ((pdtstBase->dtst_ulClassFlags & DTCF_HASGETDATATYPE) &&
            !(pdtst->dtst_ulClassFlags & DTCF_HASGETDATATYPE)) {
          conError(strTranslate("DOZUMeta.NoOverride=%1 doesn't override virtual function "
                                "mdGetDataType() inherited from %2\n"),
                   strName, pdtBase->GetName());
          bOK = false;
        }
        if (!(pdtBase->dt_ulFlags & DTF_PLAIN)) bPlain = false;
        slSum += pdtBase->dt_slSize;
      }
    }
  }
  const long iFirst = OtherTypeCount(mdAsStruct(pdtst->dtst_tidBase.GetPointer()));
  for (long i = 0; i < pdtst->dtst_ctOtherTypes; i++) {
    CDataType *pdtOther = pdtst->dtst_atidOtherTypes[i].Resolve();
    if (pdtOther != nullptr) pdtOther->dt_aulReserved[0] = (unsigned long)(iFirst + i);
  }
  if (bPlain && slSum == pdtst->dt_slSize)
    pdtst->dt_ulFlags |= DTF_PLAIN;
  else
    pdtst->dt_ulFlags &= ~DTF_PLAIN;
  return bOK;
}

bool CheckSingleton(CDataType *pdt, CDataType *pdtRegistered, const char *strUser)
{
  if (pdt == pdtRegistered) return true;
  if (pdt->dt_dttKind == DTT_VOID) {
    conError(strTranslate("DOZUMeta.SecondVoid=Second instance of void type found in %1."),
             strUser);
  } else {
    conError(strTranslate("DOZUMeta.SecondUnknown=Second instance of unknown type found in %1."),
             strUser);
  }
  return false;
}

bool CheckScriptState(CDataType_ScriptState *pdtss)
{
  const char *strName = pdtss->GetName();
  bool bOK = true;
  if (pdtss->dtss_tidOwner.IsEmpty()) {
    conError(strTranslate("DOZUMeta.StateNoOwner=State %1 is not a member of a class.\n"), strName);
    bOK = false;
  } else {
    CDataType *pdtOwner = pdtss->dtss_tidOwner.Resolve();
    if (pdtOwner == nullptr) {
      conError(strTranslate("DOZUMeta.UndeclaredBase=%1 is derived from undeclared type %2\n"),
               strName, pdtss->dtss_tidOwner.GetName());
      bOK = false;
    } else {
      if (!CheckDescriptor(pdtOwner, strName)) bOK = false;
      if (pdtOwner->dt_dttKind != DTT_STRUCT) {
        conError(strTranslate("DOZUMeta.BaseNotClass=%1 is derived from %2, but that is not a "
                              "class/struct\n"),
                 strName, pdtOwner->GetName());
        bOK = false;
      }
    }
  }
  if (!pdtss->dtss_tidBaseState.IsEmpty()) {
    CDataType *pdtBase = pdtss->dtss_tidBaseState.Resolve();
    if (pdtBase == nullptr) {
      conError(strTranslate("DOZUMeta.UndeclaredBase=%1 is derived from undeclared type %2\n"),
               strName, pdtss->dtss_tidBaseState.GetName());
      bOK = false;
    } else {
      if (!CheckDescriptor(pdtBase, strName)) bOK = false;
      if (pdtBase->dt_dttKind != DTT_SCRIPTSTATE) {
        conError(strTranslate("DOZUMeta.BaseNotState=%1 is derived from %2, but that is not a "
                              "script state\n"),
                 strName, pdtBase->GetName());
        bOK = false;
      }
    }
  }
  return bOK;
}

bool CheckDescriptor(CDataType *pdt, const char *strUser)
{
  if (pdt->dt_ulFlags & DTF_UPDATED) return !(pdt->dt_ulFlags & DTF_FAILED);
  // Marked before the walk goes on: a type met again through a cycle counts as checked.
  pdt->dt_ulFlags |= DTF_UPDATED;
  mdGetLayoutChecksum(pdt);
  const char *strName = pdt->GetName();
  bool bOK = true;
  switch (pdt->dt_dttKind) {
  case DTT_VALUEFIELD:
    pdt->dt_ulFlags |= DTF_PLAIN;
    break;
  case DTT_POINTER:
  case DTT_REFERENCE:
  case DTT_SMARTPOINTER:
  case DTT_HANDLE:
    bOK = CheckReference(static_cast<CDataType_Targeted *>(pdt)->dtt_tidTarget, strName);
    break;
  case DTT_TYPEDEF: {
    CTypeID &tid = static_cast<CDataType_Targeted *>(pdt)->dtt_tidTarget;
    bOK = CheckReference(tid, strName);
    // A typedef's objects are its aliased type's, so it has that type's size and plainness.
    if (bOK) {
      pdt->dt_slSize = tid.GetPointer()->dt_slSize;
      pdt->dt_ulFlags = (pdt->dt_ulFlags & ~DTF_PLAIN) | (tid.GetPointer()->dt_ulFlags & DTF_PLAIN);
    }
    break;
  }
  case DTT_STATICARRAY:
  case DTT_STATICSTACKARRAY:
  case DTT_DYNAMICCONTAINER:
    bOK = CheckReference(static_cast<CDataType_Container *>(pdt)->dtc_tidElement, strName);
    break;
  case DTT_ARRAY: {
    CDataType_Array *pdta = static_cast<CDataType_Array *>(pdt);
    bOK = CheckReference(pdta->dta_tidElement, strName);
    CDataType *pdtElement = pdta->dta_tidElement.GetPointer();
    const bool bPlain = bOK && (pdtElement->dt_ulFlags & DTF_PLAIN) &&
                        pdta->GetElementCount() * pdtElement->dt_slSize == pdta->dt_slSize;
    pdt->dt_ulFlags = (pdt->dt_ulFlags & ~DTF_PLAIN) | (bPlain ? (unsigned long)DTF_PLAIN : 0UL);
    break;
  }
  case DTT_STRUCT:
    bOK = CheckStruct(static_cast<CDataType_Struct *>(pdt));
    break;
  case DTT_FUNCTION: {
    CDataType_Function *pdtfn = static_cast<CDataType_Function *>(pdt);
    bOK = CheckReference(pdtfn->dtfn_tidSecond, strName);
    if (!pdtfn->dtfn_tidFirst.IsEmpty() && !CheckReference(pdtfn->dtfn_tidFirst, strName)) {
      bOK = false;
    }
    break;
  }
  case DTT_VOID:
    bOK = CheckSingleton(pdt, md_pdtVoid, strUser);
    break;
  case DTT_UNKNOWN:
    bOK = CheckSingleton(pdt, md_pdtUnknown, strUser);
    break;
  case DTT_SCRIPTSTATE:
    bOK = CheckScriptState(static_cast<CDataType_ScriptState *>(pdt));
    break;
  default:
    break;
  }
  if (!bOK) pdt->dt_ulFlags |= DTF_FAILED;
  return bOK;
}

CString Describe(CDataType *pdt)
{
  return mdGetTypeDescription(pdt, 0, 0) + strFormat(" (%1 bytes)", pdt->dt_slSize);
}

// Two registered types of one name, or two structures of one alias: the later one fails.
bool CheckUnique(CDataType *pdt)
{
  bool bOK = true;
  CDataType *pdtNamed = mdFindByName(pdt->dt_idName);
  if (pdtNamed != nullptr && pdtNamed != pdt) {
    conError(strTranslate("DOZUMeta.DuplicateName=Type %1 is registered twice: %2 and %3\n"),
             pdt->GetName(), Describe(pdtNamed), Describe(pdt));
    bOK = false;
  }
  IDENT idAlias = AliasOf(pdt);
  CDataType *pdtAliased = idAlias == nullptr ? nullptr : mdFindStructByAlias(idAlias);
  if (pdtAliased != nullptr && pdtAliased != pdt) {
    conError(strTranslate("DOZUMeta.DuplicateAlias=Alias %1 is used by two types: %2 and %3\n"),
             idAlias, pdtAliased->GetName(), pdt->GetName());
    bOK = false;
  }
  return bOK;
}

} // namespace

// Records which structures no registered class derives from, for the next generation, and only
// then makes that generation current: a reader without the mutex sees either no marks or all.
static void MarkClassesWithoutDerived(Registry &reg)
{
  const unsigned long ulNext = NextGeneration();
  for (CDataType *pdt : reg.r_dcTypes) {
    if (pdt->dt_dttKind == DTT_STRUCT)
      __atomic_store_n(&static_cast<CDataType_Struct *>(pdt)->dtst_ulNoDerivedAt, ulNext,
                       __ATOMIC_RELAXED);
  }
  for (CDataType *pdt : reg.r_dcTypes) {
    if (pdt->dt_dttKind != DTT_STRUCT) continue;
    CDataType_Struct *pdtstBase =
        mdAsStruct(static_cast<CDataType_Struct *>(pdt)->dtst_tidBase.Resolve());
    if (pdtstBase != nullptr)
      __atomic_store_n(&pdtstBase->dtst_ulNoDerivedAt, 0UL, __ATOMIC_RELAXED);
  }
  __atomic_store_n(&_md_ulTypeGeneration, ulNext, __ATOMIC_RELEASE);
}

long mdUpdateTypeTables(void)
{
  CSyncLock sl(&_md_smMeta);
  Registry &reg = Reg();
  _md_ctPending = 0;
  // Types that failed before are checked again: what they lacked may have been registered since.
  CDynamicContainer<CDataType> dcToCheck;
  for (CDataType *pdt : reg.r_dcTypes) {
    if ((pdt->dt_ulFlags & DTF_FAILED) && HasSerializationTriple(pdt)) {
      pdt->dt_ulFlags &= ~(DTF_UPDATED | DTF_FAILED);
      pdt->dt_ulChecksum = 0;
    }
    if (!(pdt->dt_ulFlags & DTF_UPDATED)) dcToCheck.Add(pdt);
  }
  for (CDataType *pdt : dcToCheck) {
    if (!CheckUnique(pdt)) pdt->dt_ulFlags |= DTF_UPDATED | DTF_FAILED;
  }
  long ctFailed = 0;
  for (CDataType *pdt : dcToCheck) {
    if (!CheckDescriptor(pdt, "<root>")) {
      conWarning(strTranslate("DOZUMeta.CantUpdate=Can't update type %1\n"), pdt->GetName());
      ctFailed++;
    }
  }
  MarkClassesWithoutDerived(reg);
  return ctFailed;
}

CDynamicContainer<CDataType> mdFindDerivedClasses(CDataType *pdt)
{
  CDynamicContainer<CDataType> dc;
  CSyncLock sl(&_md_smMeta);
  for (CDataType *pdtOther : Reg().r_dcTypes) {
    if (mdIsDerivedFrom(pdtOther, pdt)) dc.Add(pdtOther);
  }
  return dc;
}

CDynamicContainer<CDataType> mdFindNonAbstractDerivedClasses(CDataType *pdt)
{
  CDynamicContainer<CDataType> dc;
  CSyncLock sl(&_md_smMeta);
  for (CDataType *pdtOther : Reg().r_dcTypes) {
    if (!mdIsAbstract(pdtOther) && mdIsDerivedFrom(pdtOther, pdt)) dc.Add(pdtOther);
  }
  return dc;
}

// ---- Data instances ----

void mdRegisterData(CDataInstance *pdi)
{
  if (pdi == nullptr) {
    corLogGuardBreach();
    return;
  }
  CSyncLock sl(&_md_smMeta);
  if (!Reg().r_dcData.IsMember(pdi)) Reg().r_dcData.Add(pdi);
}

void mdUnregisterData(CDataInstance *pdi)
{
  CSyncLock sl(&_md_smMeta);
  Reg().r_dcData.Remove(pdi);
}

CDataInstance *mdFindDataByEditorName(IDENT idName)
{
  if (idName == nullptr) return nullptr;
  idName = strConvertStringToID(idName);
  CSyncLock sl(&_md_smMeta);
  for (CDataInstance *pdi : Reg().r_dcData) {
    if (pdi->di_idEditorName == idName) return pdi;
  }
  return nullptr;
}

CDynamicContainer<CDataInstance> &GetDataInstanceContainer(void)
{
  CSyncLock sl(&_md_smMeta);
  return Reg().r_dcData;
}

// ---- Enumerations ----

CString mdGetEnumName(IDENT idType, long slValue)
{
  CSyncLock sl(&_md_smMeta);
  CDataType_ValueField *pdtvf = mdAsValueField(mdFindByName(idType));
  const CDataType_ValueFieldEntry *pvfe = pdtvf == nullptr ? nullptr : pdtvf->FindValue(slValue);
  return pvfe == nullptr ? CString() : pvfe->vfe_strName;
}

int mdGetEnumValue(IDENT idType, const CString &strName, long &slValue)
{
  CSyncLock sl(&_md_smMeta);
  CDataType_ValueField *pdtvf = mdAsValueField(mdFindByName(idType));
  if (pdtvf == nullptr) return 0;
  for (long i = 0; i < pdtvf->dtvf_ctEntries; i++) {
    if (strCompareS(pdtvf->dtvf_avfeEntries[i].vfe_strName, strName) == 0) {
      slValue = pdtvf->dtvf_avfeEntries[i].vfe_slValue;
      return 1;
    }
  }
  return 0;
}

long long mdGetTypeNameCompareCount(void)
{
  CSyncLock sl(mdGetMetaMutex());
  return _md_ctNameCompares + (_md_preg == nullptr ? 0
                                                   : _md_preg->r_pmNames.ProbeCount() +
                                                         _md_preg->r_hiAliases.ProbeCount());
}

} // namespace QuennelEngine
