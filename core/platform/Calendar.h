#pragma once
// Calendar times (Time counted from 00:00:00 UTC, 1 January 1970) to and from their fields and
// texts. The fraction of a second survives every conversion between UTC and local time.
// A Time holds whole seconds in 32 signed bits, so calendar times end at 2038-01-19 03:14:07
// UTC; later dates are refused where a date is converted to a Time.
#include "core/platform/Time.h"
#include "core/text/String.h"
#include "core/text/WString.h"

namespace QuennelEngine {

// The UTC time shifted by the local time zone and daylight-saving rules; unchanged when the
// runtime library cannot convert it (before 1970, for example).
CORE_API Time timUTCToLocal(Time tm);
// The local time shifted back to UTC; unchanged when the runtime library cannot convert it.
CORE_API Time timLocalToUTC(Time tm);
// A packed date and time as stored in zip archives (date in the high 16 bits: (year - 1980) << 9
// | month << 5 | day; time in the low 16 bits: hour << 11 | minute << 5 | seconds / 2) as a
// calendar time. A field out of range gives 0 and a guard breach.
CORE_API Time timDOSToUTC(unsigned long ulDOSDateTime);
// "YYYY/MM/DD hh:mm:ss" of the time in UTC (all fields 0 when it cannot be broken down).
CORE_API CString timToString(Time tm);
// The time that timToString printed (fraction 0). A missing field or one out of range (year
// 1970-2038, month, day of that month, hour, minute, second 0-59) gives 0 and a guard breach.
CORE_API Time timFromString(const char *strText);
// The runtime library's strftime of the time's UTC fields in the system's default locale,
// without touching the locale of the process. The text is UTF-8; a null or empty format, or one
// with a directive the runtime library does not know (a guard breach), gives "".
CORE_API CString timFormat(Time tm, const char *strFormat);
// timFormat with 16-bit texts.
CORE_API CWString timFormatW(Time tm, const unsigned short *wstrFormat);
// "h:m:s" as seconds, (hours x 60 + minutes) x 60 + seconds; a missing field counts as -1.
CORE_API float timHMSToFloat(const char *strText);
// The seconds as "hh:mm:ss" (each part truncated; hours may take more digits). Seconds that are
// not a number or beyond 2^31 hours give "00:00:00" and a guard breach.
CORE_API CString timFloatToHMS(float fSeconds);

} // namespace QuennelEngine
