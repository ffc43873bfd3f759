#include "core/meta/Module.h"
#include "core/frame/CodeGuard.h"

#include "core/memory/DynamicContainer.h"
#include "core/memory/StaticStackArray.h"
#include "core/meta/TypeRegistry.h"
#include "core/text/Compare.h"
#include "core/threads/SyncLock.h"

namespace QuennelEngine {

MD_CLASS_BEGIN(CModule, CObject, 1)
MD_MEMBER(mod_idName, 0, "Name")
MD_CLASS_END()

CModule::CModule(void) : mod_idName(mdInvalidIdent())
{
}

CModule::CModule(const char *strName) : mod_idName(strConvertStringToID(strName))
{
}

namespace {
struct ModuleState {
  CDynamicContainer<CModule> ms_dcModules;
  CStaticStackArray<CModule *> ms_sapDeclaring;
};
// Made on first use: modules are declared from static initialisers of other modules.
ModuleState &Modules(void)
{
  static ModuleState *_pms = new ModuleState;
  return *_pms;
}
} // namespace

CModule *mdModuleDeclareBeg(const char *strName)
{
  CSyncLock sl(mdGetMetaMutex());
  CModule *pmod = mdFindModuleByName(strName);
  if (pmod == nullptr) {
    pmod = new CModule(strName == nullptr ? "" : strName);
    Modules().ms_dcModules.Add(pmod);
  }
  Modules().ms_sapDeclaring.Push() = pmod;
  return pmod;
}

void mdModuleDeclareEnd(void)
{
  CSyncLock sl(mdGetMetaMutex());
  if (Modules().ms_sapDeclaring.Count() == 0) {
    corLogGuardBreach();
    return;
  }
  Modules().ms_sapDeclaring.Pop();
}

CModule *mdGetDeclaringModule(void)
{
  CSyncLock sl(mdGetMetaMutex());
  const CStaticStackArray<CModule *> &sap = Modules().ms_sapDeclaring;
  return sap.Count() == 0 ? nullptr : sap[sap.Count() - 1];
}

CModule *mdFindModuleByName(const char *strName)
{
  if (strName == nullptr) return nullptr;
  CSyncLock sl(mdGetMetaMutex());
  for (CModule *pmod : Modules().ms_dcModules) {
    if (strCompare(pmod->GetName(), strName) == 0) return pmod;
  }
  return nullptr;
}

CModule *mdGetModule(long iModule)
{
  CSyncLock sl(mdGetMetaMutex());
  if (iModule < 0 || iModule >= Modules().ms_dcModules.Count()) return nullptr;
  return Modules().ms_dcModules.Pointer(iModule);
}

long mdGetModulesCount(void)
{
  CSyncLock sl(mdGetMetaMutex());
  return Modules().ms_dcModules.Count();
}

} // namespace QuennelEngine
