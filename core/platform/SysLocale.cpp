#include "core/platform/SysLocale.h"

#include "core/text/Conversion.h"

#include <windows.h>

namespace QuennelEngine {

CString sysGetLanguageName(void)
{
  WCHAR awch[LOCALE_NAME_MAX_LENGTH + 1] = {};
  // The English name matches folder names such as "English" whatever the user's own language.
  if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SENGLISHLANGUAGENAME, awch,
                     LOCALE_NAME_MAX_LENGTH) > 1) {
    return strUTF16ToUTF8((const unsigned short *)awch);
  }
  if (GetUserDefaultLocaleName(awch, LOCALE_NAME_MAX_LENGTH) > 1) {
    return strUTF16ToUTF8((const unsigned short *)awch);
  }
  return CString();
}

} // namespace QuennelEngine
