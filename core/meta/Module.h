#pragma once
// CModule: a module of the program (Core itself, a game library, an engine extension) as the
// services and the metadata see it: one record per module, holding its name.
#include "core/text/Ident.h"

namespace QuennelEngine {

class CORE_API CModule {
public:
  explicit CModule(const char *strName);
  const char *GetName(void) const { return mod_idName; }

  IDENT mod_idName;
};

} // namespace QuennelEngine
