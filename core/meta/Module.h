#pragma once
// CModule: a module of the program (Core itself, a game library, an engine extension) as the
// services and the metadata see it: one record per module, holding its name. Modules are declared
// in the order they start; what registers between mdModuleDeclareBeg and mdModuleDeclareEnd
// (types, services) belongs to the module being declared.
#include "core/meta/Object.h"

namespace QuennelEngine {

class CORE_API CModule : public CObject {
  MD_DECLARE_CLASS(CModule)
  CModule(void);
  explicit CModule(const char *strName);
  const char *GetName(void) const { return mod_idName; }

  IDENT mod_idName;
};

// Makes a module record (kept for the process; a module declared again by the same name gets its
// old record back) and makes it the module being declared.
CORE_API CModule *mdModuleDeclareBeg(const char *strName);
// Ends the declaration begun last (declarations nest: a module that loads another while it
// starts).
CORE_API void mdModuleDeclareEnd(void);
// The module being declared, or null.
CORE_API CModule *mdGetDeclaringModule(void);
// The module of that name (compared without regard to case), or null.
CORE_API CModule *mdFindModuleByName(const char *strName);
// The modules in the order of their first declaration.
CORE_API CModule *mdGetModule(long iModule);
CORE_API long mdGetModulesCount(void);

} // namespace QuennelEngine
