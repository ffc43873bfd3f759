#include "core/frame/ErrorTable.h"

#include "core/frame/CodeGuard.h"
#include "core/platform/SysConsole.h"
#include "core/text/Translation.h"

namespace QuennelEngine {

static const ErrorCode *FindCode(const ErrorTable *pet, unsigned long ulCode)
{
  for (long i = 0; i < pet->et_ctCodes; i++) {
    if (pet->et_aecCodes[i].ec_ulCode == ulCode) return &pet->et_aecCodes[i];
  }
  return nullptr;
}

const char *ErrorName(const ErrorTable *pet, unsigned long ulCode)
{
  if (pet == nullptr) return "?";
  const ErrorCode *pec = FindCode(pet, ulCode);
  return pec ? pec->ec_strName : strTranslate("DOZUErrorReporting.OstwickUnknown=OSTWICK_UNKNOWN");
}

const char *ErrorDescription(const ErrorTable *pet, unsigned long ulCode)
{
  if (pet == nullptr) {
    corLogGuardBreach();
    return "";
  }
  const ErrorCode *pec = FindCode(pet, ulCode);
  return pec ? pec->ec_strDescription : strTranslate("DOZUErrorReporting.Unknown=Unknown error");
}

CString GetWindowsError(unsigned long ulCode)
{
  return sysGetErrorText(ulCode);
}

} // namespace QuennelEngine
