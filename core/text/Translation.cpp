#include "core/text/Translation.h"

#include <string.h>

namespace QuennelEngine {

CString str_strLocaleDir;
CString str_strCurrentLocale;

const char *strTranslate(const char *str)
{
  if (str == nullptr) return "";
  if (str[0] == '=' && str[1] == 0) return str;
  const char *pchEquals = strchr(str, '=');
  if (pchEquals == nullptr) return str;
  return pchEquals + 1;
}

} // namespace QuennelEngine
