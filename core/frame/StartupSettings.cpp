#include "core/frame/StartupSettings.h"

#include "core/text/Search.h"

namespace QuennelEngine {

static CString &Settings(void)
{
  static CString _strSettings;
  return _strSettings;
}

void corSetStartupSettings(const char *strSettings)
{
  Settings() = strSettings ? strSettings : "";
}

CString corGetStartupSettings(void)
{
  return Settings();
}

bool corIsStartupFlagSet(const char *strFlag)
{
  return strFindSubstr(Settings(), strFlag) >= 0;
}

} // namespace QuennelEngine
