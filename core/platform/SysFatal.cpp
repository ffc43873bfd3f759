#include "core/platform/SysFatal.h"

#include "core/frame/Console.h"
#include "core/text/Translation.h"

namespace QuennelEngine {

void sysFatalSystemError(const char *strCall, unsigned long ulError)
{
  conFatalErrorF(strTranslate("DOZUSystem.CallFailed=System call %1 failed with error %2."),
                 ARG_TEXT, strCall, ARG_UINT, ulError);
}

} // namespace QuennelEngine
