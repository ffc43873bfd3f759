#include "core/meta/Module.h"

namespace QuennelEngine {

CModule::CModule(const char *strName) : mod_idName(strConvertStringToID(strName))
{
}

} // namespace QuennelEngine
