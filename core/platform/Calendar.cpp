// Calendar fields and texts of Time values.
//
// Breaking a time down into fields uses the runtime library's 64-bit conversions; the way back
// counts days itself, so that fields from any source (texts, zip archives, the local-time
// conversion) go through one checked path. Formatting with strftime uses a locale object of its
// own (the runtime library's per-call locales), never the process locale that other threads are
// formatting numbers with. This runtime (msvcrt) has no 8-bit strftime with a locale argument,
// so both variants format 16-bit text; the 8-bit one converts from and to UTF-8.
#include "core/platform/Calendar.h"

#include "core/frame/CodeGuard.h"
#include "core/memory/Memory.h"
#include "core/text/Conversion.h"
#include "core/text/FormatArgs.h"

#include <windows.h>

#include <locale.h>
#include <math.h>
#include <stdio.h>
#include <string.h>
#include <time.h>
#include <wchar.h>

namespace QuennelEngine {

namespace {

// The last whole second a Time can hold: 2038-01-19 03:14:07 UTC.
const __int64 CAL_MAX_SECONDS = 0x7FFFFFFFLL;

struct CalendarFields {
  long cf_iYear;
  long cf_iMonth; // 1-12
  long cf_iDay;   // 1-31
  long cf_iHour;
  long cf_iMinute;
  long cf_iSecond;
};

bool IsLeapYear(long iYear)
{
  return (iYear % 4 == 0 && iYear % 100 != 0) || iYear % 400 == 0;
}

long DaysInMonth(long iYear, long iMonth)
{
  static const long aiDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return iMonth == 2 && IsLeapYear(iYear) ? 29 : aiDays[iMonth - 1];
}

// Leap days in the years before `iYear` since year 1.
__int64 LeapDaysBefore(long iYear)
{
  __int64 ll = (__int64)iYear - 1;
  return ll / 4 - ll / 100 + ll / 400;
}

// True when every field lies in its range (the day within its month) and the year in
// [iMinYear, iMaxYear].
bool AreFieldsValid(const CalendarFields &cf, long iMinYear, long iMaxYear)
{
  if (cf.cf_iYear < iMinYear || cf.cf_iYear > iMaxYear) return false;
  if (cf.cf_iMonth < 1 || cf.cf_iMonth > 12) return false;
  if (cf.cf_iDay < 1 || cf.cf_iDay > DaysInMonth(cf.cf_iYear, cf.cf_iMonth)) return false;
  if (cf.cf_iHour < 0 || cf.cf_iHour > 23) return false;
  if (cf.cf_iMinute < 0 || cf.cf_iMinute > 59) return false;
  if (cf.cf_iSecond < 0 || cf.cf_iSecond > 59) return false;
  return true;
}

// Seconds since 1970 of fields whose month is valid (the other fields may overflow their ranges).
__int64 FieldsToSeconds(const CalendarFields &cf)
{
  __int64 llDays =
      365 * ((__int64)cf.cf_iYear - 1970) + LeapDaysBefore(cf.cf_iYear) - LeapDaysBefore(1970);
  for (long iMonth = 1; iMonth < cf.cf_iMonth; iMonth++) llDays += DaysInMonth(cf.cf_iYear, iMonth);
  llDays += cf.cf_iDay - 1;
  return ((llDays * 24 + cf.cf_iHour) * 60 + cf.cf_iMinute) * 60 + cf.cf_iSecond;
}

Time MakeTime(__int64 llSeconds, __int64 llSource)
{
  // The whole seconds replaced, the fraction of the source kept.
  return Time((__int64)(((unsigned __int64)llSeconds << 32) |
                        ((unsigned __int64)llSource & 0xFFFFFFFFULL)));
}

// Checked fields to a calendar time (fraction 0); 0 with a guard breach when they are out of
// range or beyond what a Time holds. Each caller reports at its own site.
bool CheckedFieldsToTime(const CalendarFields &cf, long iMinYear, long iMaxYear, Time &tm)
{
  if (!AreFieldsValid(cf, iMinYear, iMaxYear)) return false;
  __int64 llSeconds = FieldsToSeconds(cf);
  if (llSeconds < 0 || llSeconds > CAL_MAX_SECONDS) return false;
  tm = MakeTime(llSeconds, 0);
  return true;
}

CalendarFields FieldsOf(const struct tm &tmFields)
{
  CalendarFields cf = {tmFields.tm_year + 1900L, tmFields.tm_mon + 1L,  (long)tmFields.tm_mday,
                       (long)tmFields.tm_hour,   (long)tmFields.tm_min, (long)tmFields.tm_sec};
  return cf;
}

// The UTC fields of the time; false (and all fields 0) when the runtime library refuses it.
bool BreakDownUTC(Time tm, struct tm &tmFields)
{
  __time64_t t = (__time64_t)(tm.tm_llValue >> 32);
  if (_gmtime64_s(&tmFields, &t) != 0) {
    memset(&tmFields, 0, sizeof(tmFields));
    return false;
  }
  return true;
}

// ---- strftime ----

// The system's default locale for the runtime library, created on first use and kept for the
// life of the process (creating one means searching the system's locales). Null when the
// runtime library cannot create locale objects.
_locale_t volatile _plocSystem = nullptr;
volatile long _bLocaleTried = 0;

_locale_t CreateSystemLocale(void)
{
  LCID lcid = GetSystemDefaultLCID();
  char achLanguage[80], achCountry[80], achCodePage[16];
  if (GetLocaleInfoA(lcid, LOCALE_SENGLANGUAGE, achLanguage, sizeof(achLanguage)) > 0 &&
      GetLocaleInfoA(lcid, LOCALE_SENGCOUNTRY, achCountry, sizeof(achCountry)) > 0 &&
      GetLocaleInfoA(lcid, LOCALE_IDEFAULTANSICODEPAGE, achCodePage, sizeof(achCodePage)) > 0) {
    char achName[200];
    snprintf(achName, sizeof(achName), "%s_%s.%s", achLanguage, achCountry, achCodePage);
    _locale_t ploc = _create_locale(LC_ALL, achName);
    if (ploc != nullptr) return ploc;
  }
  // The runtime library's own idea of the default (the user's locale).
  return _create_locale(LC_ALL, "");
}

_locale_t GetSystemLocale(void)
{
  _locale_t ploc = __atomic_load_n(&_plocSystem, __ATOMIC_ACQUIRE);
  if (ploc != nullptr || __atomic_load_n(&_bLocaleTried, __ATOMIC_ACQUIRE)) return ploc;
  ploc = CreateSystemLocale();
  _locale_t plocExpected = nullptr;
  if (ploc != nullptr && !__atomic_compare_exchange_n(&_plocSystem, &plocExpected, ploc, false,
                                                      __ATOMIC_ACQ_REL, __ATOMIC_ACQUIRE)) {
    // Another thread was first; use its locale.
    _free_locale(ploc);
    ploc = plocExpected;
  }
  __atomic_store_n(&_bLocaleTried, 1, __ATOMIC_RELEASE);
  return ploc;
}

struct LocaleRelease {
  ~LocaleRelease()
  {
    if (_plocSystem != nullptr) _free_locale(_plocSystem);
  }
} _lrRelease;

// The first buffer size for a format: its length plus room for each directive by what it can
// print. False when the format has a directive the runtime library does not know (strftime
// would fail whatever the buffer).
bool MeasureFormat(const wchar_t *wstrFormat, size_t &ctBuffer)
{
  static const wchar_t wstrKnown[] = L"aAbBcdHIjmMpSUwWxXyYzZ%";
  ctBuffer = wcslen(wstrFormat) + 1;
  for (const wchar_t *pwch = wstrFormat; *pwch != 0; pwch++) {
    if (*pwch != L'%') continue;
    wchar_t wchDirective = pwch[1];
    switch (wchDirective) {
    case L'#':
      ctBuffer += 100;
      break;
    case L'A':
    case L'B':
    case L'a':
    case L'b':
      ctBuffer += 20;
      break;
    case L'X':
    case L'c':
    case L'x':
      ctBuffer += 50;
      break;
    default:
      ctBuffer += 10;
      break;
    }
    wchar_t wchLetter = wchDirective == L'#' ? pwch[2] : wchDirective;
    if (wchLetter == 0 || wcschr(wstrKnown, wchLetter) == nullptr) return false;
    pwch += wchDirective == L'#' ? 2 : 1;
  }
  return true;
}

CWString FormatUTCFields(Time tm, const wchar_t *wstrFormat)
{
  if (wstrFormat == nullptr || wstrFormat[0] == 0) return CWString();
  size_t ctBuffer;
  if (!MeasureFormat(wstrFormat, ctBuffer)) {
    corLogGuardBreach();
    return CWString();
  }
  struct tm tmFields;
  // strftime refuses the all-zero fields of a time it cannot break down (day 0).
  if (!BreakDownUTC(tm, tmFields)) return CWString();

  _locale_t ploc = GetSystemLocale();
  // A result of 0 means the buffer was too small, or that the text is empty (%p in a locale
  // without AM/PM designators): a few larger tries settle which.
  for (int iTry = 0; iTry < 4; iTry++) {
    wchar_t *pwchBuffer = (wchar_t *)memMAlloc(ctBuffer * sizeof(wchar_t));
    size_t ctWritten = ploc != nullptr
                           ? _wcsftime_l(pwchBuffer, ctBuffer, wstrFormat, &tmFields, ploc)
                           : wcsftime(pwchBuffer, ctBuffer, wstrFormat, &tmFields);
    if (ctWritten > 0 && ctWritten < ctBuffer) {
      CWString wstrResult((const unsigned short *)pwchBuffer, (int)ctWritten);
      memFree(pwchBuffer);
      return wstrResult;
    }
    memFree(pwchBuffer);
    ctBuffer *= 8;
  }
  return CWString();
}

} // namespace

Time timUTCToLocal(Time tm)
{
  __time64_t t = (__time64_t)(tm.tm_llValue >> 32);
  struct tm tmFields;
  if (_localtime64_s(&tmFields, &t) != 0) return tm;
  __int64 llSeconds = FieldsToSeconds(FieldsOf(tmFields));
  // Near the end of the range the shift may leave what a Time holds.
  if (llSeconds > CAL_MAX_SECONDS || llSeconds < -CAL_MAX_SECONDS - 1) return tm;
  return MakeTime(llSeconds, tm.tm_llValue);
}

Time timLocalToUTC(Time tm)
{
  struct tm tmFields;
  if (!BreakDownUTC(tm, tmFields)) return tm;
  tmFields.tm_isdst = -1; // let the runtime library decide whether daylight saving applies
  __time64_t t = _mktime64(&tmFields);
  if (t == (__time64_t)-1) return tm;
  return MakeTime((__int64)t, tm.tm_llValue);
}

Time timDOSToUTC(unsigned long ulDOSDateTime)
{
  unsigned long ulDate = ulDOSDateTime >> 16;
  unsigned long ulTime = ulDOSDateTime & 0xFFFF;
  CalendarFields cf = {1980 + (long)(ulDate >> 9), (long)((ulDate >> 5) & 15),
                       (long)(ulDate & 31),        (long)(ulTime >> 11),
                       (long)((ulTime >> 5) & 63), (long)(ulTime & 31) * 2};
  Time tm;
  if (!CheckedFieldsToTime(cf, 1980, 2107, tm)) {
    corLogGuardBreach();
    return Time();
  }
  return tm;
}

CString timToString(Time tm)
{
  struct tm tmFields;
  CalendarFields cf = {0, 0, 0, 0, 0, 0};
  if (BreakDownUTC(tm, tmFields)) cf = FieldsOf(tmFields);
  return strFormat("%1/%2/%3 %4:%5:%6", fmtSpec(cf.cf_iYear, "04"), fmtSpec(cf.cf_iMonth, "02"),
                   fmtSpec(cf.cf_iDay, "02"), fmtSpec(cf.cf_iHour, "02"),
                   fmtSpec(cf.cf_iMinute, "02"), fmtSpec(cf.cf_iSecond, "02"));
}

Time timFromString(const char *strText)
{
  CalendarFields cf = {-1, -1, -1, -1, -1, -1};
  if (strText != nullptr) {
    strScan(strText, "%1/%2/%3 %4:%5:%6", &cf.cf_iYear, &cf.cf_iMonth, &cf.cf_iDay, &cf.cf_iHour,
            &cf.cf_iMinute, &cf.cf_iSecond);
  }
  Time tm;
  if (!CheckedFieldsToTime(cf, 1970, 2038, tm)) {
    corLogGuardBreach();
    return Time();
  }
  return tm;
}

CString timFormat(Time tm, const char *strFormat)
{
  if (strFormat == nullptr || strFormat[0] == 0) return CString();
  CWString wstrFormat = strUTF8ToUTF16(strFormat);
  CWString wstrResult = FormatUTCFields(tm, (const wchar_t *)wstrFormat.wstr_String);
  return strUTF16ToUTF8(wstrResult.wstr_String);
}

CWString timFormatW(Time tm, const unsigned short *wstrFormat)
{
  return FormatUTCFields(tm, (const wchar_t *)wstrFormat);
}

float timHMSToFloat(const char *strText)
{
  long iHours = -1, iMinutes = -1, iSeconds = -1;
  if (strText != nullptr) strScan(strText, "%1:%2:%3", &iHours, &iMinutes, &iSeconds);
  return (float)(((double)iHours * 60.0 + iMinutes) * 60.0 + iSeconds);
}

CString timFloatToHMS(float fSeconds)
{
  double dSeconds = fSeconds;
  // Beyond 2^31 hours (or not a number) the parts no longer fit their integers.
  if (!(fabs(dSeconds) < 2147483647.0 * 3600.0)) {
    corLogGuardBreach();
    dSeconds = 0.0;
  }
  long iHours = (long)(dSeconds / 3600.0);
  long iMinutes = (long)((dSeconds - iHours * 3600.0) / 60.0);
  long iSeconds = (long)(dSeconds - iHours * 3600.0 - iMinutes * 60.0);
  return strFormat("%1:%2:%3", fmtSpec(iHours, "02"), fmtSpec(iMinutes, "02"),
                   fmtSpec(iSeconds, "02"));
}

} // namespace QuennelEngine
