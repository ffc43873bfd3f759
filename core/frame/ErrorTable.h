#pragma once
// Tables that map numeric error codes to names and descriptions, and the system's error texts.
#include "core/text/String.h"

namespace QuennelEngine {

struct ErrorCode {
  unsigned long ec_ulCode;
  const char *ec_strName;
  const char *ec_strDescription;
};

// Static data supplied by the parts of the library that define codes.
struct ErrorTable {
  long et_ctCodes;
  const ErrorCode *et_aecCodes;
};

// The name of the code; "?" without a table; "OSTWICK_UNKNOWN" (translated) for an unknown code.
CORE_API const char *ErrorName(const ErrorTable *pet, unsigned long ulCode);
// The description of the code; "Unknown error" (translated) for an unknown code. A missing table
// is a contract violation and gives "".
CORE_API const char *ErrorDescription(const ErrorTable *pet, unsigned long ulCode);
// The system's message text for a system error code, in the user's default language.
CORE_API CString GetWindowsError(unsigned long ulCode);

} // namespace QuennelEngine
