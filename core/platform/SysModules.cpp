#include "core/platform/SysModules.h"

#include <windows.h>

namespace QuennelEngine {

static HMODULE ModuleOf(const void *pv)
{
  HMODULE h = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                         GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     (LPCWSTR)pv, &h);
  return h;
}

bool sysIsAddressInCoreImage(const void *pv)
{
  static const HMODULE hCore = ModuleOf((const void *)&sysIsAddressInCoreImage);
  return pv != nullptr && hCore != nullptr && ModuleOf(pv) == hCore;
}

} // namespace QuennelEngine
