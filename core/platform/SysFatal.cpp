#include "core/platform/SysFatal.h"

#include "core/frame/Console.h"

namespace QuennelEngine {

void sysFatalSystemError(const char *strCall, unsigned long ulError)
{
  conFatalErrorF("System call %1 failed with error %2.", 0xABCD0009, strCall, 0xABCD0004, ulError);
}

} // namespace QuennelEngine
