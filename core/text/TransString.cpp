#include "core/text/TransString.h"

#include "core/frame/CodeGuard.h"
#include "core/platform/Timer.h"
#include "core/text/FormatArgs.h"
#include "core/text/Translation.h"

#include <atomic>

namespace QuennelEngine {

// The last header value handed out; headers made in one millisecond take the following values.
static std::atomic<unsigned long> _ulLastHeader{0};

static unsigned long NewHeaderValue(void)
{
  const unsigned long long ullUptime = (unsigned long long)timUptimeNow().tm_llValue;
  const unsigned long ulNow =
      (unsigned long)((ullUptime >> 32) * 1000 + (((ullUptime & 0xFFFFFFFFULL) * 1000) >> 32));
  unsigned long ulLast = _ulLastHeader.load();
  for (;;) {
    // Past the last value even when the clock wrapped: the values stay unique, not ordered.
    const unsigned long ulNew = ulNow > ulLast ? ulNow : ulLast + 1;
    if (_ulLastHeader.compare_exchange_weak(ulLast, ulNew)) return ulNew;
  }
}

CTransString::CTransString()
{
  GenerateHeader();
}

CTransString::CTransString(const char *strText) : ts_strText(strText)
{
  GenerateHeader();
}

CTransString::CTransString(const CString &strText) : ts_strText(strText)
{
  GenerateHeader();
}

void CTransString::SetHeader(const char *strHeader)
{
  if (strHeader == nullptr) {
    corLogGuardBreach();
    return;
  }
  ts_strHeader = strHeader;
}

void CTransString::GenerateHeader(void)
{
  ts_strHeader = strFormat("%1", fmtSpec(NewHeaderValue(), "08X"));
}

void CTransString::Clear(void)
{
  ts_strText.Clear();
  GenerateHeader();
}

const char *CTransString::GetText(void) const
{
  if (ts_strHeader.IsEmpty()) return ts_strText;
  const char *pchTranslation = strFindTranslation(ts_strHeader);
  return pchTranslation != nullptr ? pchTranslation : ts_strText.ConstData();
}

} // namespace QuennelEngine
