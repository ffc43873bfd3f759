#include "TestSupport.h"

#include <gtest/gtest.h>

#include <locale.h>
#include <math.h>
#include <string.h>
#include <time.h>

#include <string>

using namespace QuennelEngine;
using QuennelEngine::Test::CGuardBreachCounter;

namespace {

// 2005/09/16 14:29:03 UTC.
const __int64 SECONDS_20050916 = 1126880943LL;

Time Seconds(__int64 llSeconds, unsigned long ulFraction = 0)
{
  return Time((__int64)(((unsigned __int64)llSeconds << 32) | ulFraction));
}

unsigned long PackDOS(long iYear, long iMonth, long iDay, long iHour, long iMinute, long iSecond)
{
  unsigned long ulDate = (unsigned long)((iYear - 1980) << 9 | iMonth << 5 | iDay);
  unsigned long ulTime = (unsigned long)(iHour << 11 | iMinute << 5 | iSecond / 2);
  return ulDate << 16 | ulTime;
}

std::u16string U(const CWString &wstr)
{
  return std::u16string(reinterpret_cast<const char16_t *>(wstr.ConstData()));
}

} // namespace

TEST(CalendarText, ToStringAndBack)
{
  EXPECT_STREQ(timToString(Time()), "1970/01/01 00:00:00");
  EXPECT_EQ(timFromString("1970/01/01 00:00:00"), Time());
  // The fraction is not printed and not read back.
  EXPECT_STREQ(timToString(Seconds(SECONDS_20050916, 0x80000000UL)), "2005/09/16 14:29:03");
  EXPECT_EQ(timFromString("2005/09/16 14:29:03"), Seconds(SECONDS_20050916));
  // Leap years: 2000 is one (divisible by 400), and the last second a Time can hold.
  EXPECT_EQ(timFromString("2000/03/01 00:00:00"), Seconds(951868800));
  EXPECT_EQ(timFromString("2000/02/29 00:00:00"), Seconds(951868800 - 86400));
  EXPECT_EQ(timFromString("2038/01/19 03:14:07"), Seconds(0x7FFFFFFF));
  // Before 1970 the runtime library cannot break the time down: all fields 0.
  EXPECT_STREQ(timToString(Time(-1.0f)), "0000/00/00 00:00:00");

  // The day count agrees with the runtime library's breakdown over the whole range.
  for (__int64 llSeconds = 0; llSeconds < 0x7FFFFFFF; llSeconds += 9876543) {
    Time tm = Seconds(llSeconds);
    ASSERT_EQ(timFromString(timToString(tm)), tm) << timToString(tm).ConstData();
  }
}

TEST(CalendarText, RefusesFieldsOutOfRange)
{
  CGuardBreachCounter gbc;
  const char *astrBad[] = {
      "2005/00/16 14:29:03",
      "2005/13/16 14:29:03",
      "2005/09/00 14:29:03",
      "2005/09/31 14:29:03",
      "2001/02/29 14:29:03",
      "1900/02/29 00:00:00",
      "2005/09/16 24:00:00",
      "2005/09/16 14:60:03",
      "2005/09/16 14:29:60",
      "1969/12/31 23:59:59",
      "2039/01/01 00:00:00",
      "2038/01/19 03:14:08",
      "3000/01/01 00:00:00",
      "2005/09/16",
      "garbage",
      "",
      "-5/-5/-5 -5:-5:-5",
      "2005/09/16 14:29:-1",
  };
  for (const char *str : astrBad) EXPECT_EQ(timFromString(str), Time()) << str;
  EXPECT_EQ(timFromString(nullptr), Time());
  EXPECT_EQ(gbc.Count(), (long)(sizeof(astrBad) / sizeof(astrBad[0])) + 1); // one per bad text
}

TEST(CalendarText, HoursMinutesSeconds)
{
  EXPECT_STREQ(timFloatToHMS(3725.0f), "01:02:05");
  EXPECT_EQ(timHMSToFloat("01:02:05"), 3725.0f);
  EXPECT_STREQ(timFloatToHMS(59.9f), "00:00:59");
  EXPECT_STREQ(timFloatToHMS(360000.0f), "100:00:00");
  EXPECT_EQ(timHMSToFloat("100:00:00"), 360000.0f);
  // Missing fields count as -1.
  EXPECT_EQ(timHMSToFloat("5"), (5.0f * 60 - 1) * 60 - 1);
  EXPECT_EQ(timHMSToFloat(""), -3661.0f);
  EXPECT_EQ(timHMSToFloat(nullptr), -3661.0f);

  CGuardBreachCounter gbc;
  EXPECT_STREQ(timFloatToHMS(NAN), "00:00:00");
  EXPECT_STREQ(timFloatToHMS(1.0e20f), "00:00:00");
  EXPECT_EQ(gbc.Count(), 2);
}

TEST(CalendarDOS, DecodesZipDatesAndRefusesBadFields)
{
  EXPECT_EQ(timDOSToUTC(PackDOS(2005, 9, 16, 14, 29, 2)), Seconds(SECONDS_20050916 - 1));
  EXPECT_EQ(timDOSToUTC(PackDOS(1980, 1, 1, 0, 0, 0)), Seconds(315532800));
  EXPECT_STREQ(timToString(timDOSToUTC(PackDOS(2000, 2, 29, 23, 59, 58))), "2000/02/29 23:59:58");
  EXPECT_STREQ(timToString(timDOSToUTC(PackDOS(2037, 12, 31, 23, 59, 58))), "2037/12/31 23:59:58");

  CGuardBreachCounter gbc;
  unsigned long aulBad[] = {
      0, // month 0, day 0
      PackDOS(2005, 13, 16, 14, 29, 2),
      PackDOS(2005, 15, 16, 14, 29, 2),
      PackDOS(2005, 9, 0, 14, 29, 2),
      PackDOS(2005, 9, 31, 14, 29, 2),
      PackDOS(1981, 2, 29, 14, 29, 2),
      PackDOS(2005, 9, 16, 24, 0, 0),
      PackDOS(2005, 9, 16, 31, 0, 0),
      PackDOS(2005, 9, 16, 14, 60, 0),
      PackDOS(2005, 9, 16, 14, 63, 0),
      PackDOS(2005, 9, 16, 14, 29, 60),
      PackDOS(2005, 9, 16, 14, 29, 62),
      PackDOS(2040, 1, 1, 0, 0, 0), // beyond a Time
      PackDOS(2107, 12, 31, 23, 59, 58),
      0xFFFFFFFFUL,
  };
  for (unsigned long ul : aulBad) EXPECT_EQ(timDOSToUTC(ul), Time()) << std::hex << ul;
  EXPECT_EQ(gbc.Count(), (long)(sizeof(aulBad) / sizeof(aulBad[0])));
}

TEST(CalendarFormat, DirectivesRetryAndLocale)
{
  Time tm = Seconds(SECONDS_20050916, 0x40000000UL);
  std::string strLocaleBefore = setlocale(LC_ALL, nullptr);

  EXPECT_STREQ(timFormat(tm, "%Y-%m-%d %H:%M:%S"), "2005-09-16 14:29:03");
  EXPECT_STREQ(timFormat(tm, "%j %y %w %% %#d"), "259 05 5 % 16");
  EXPECT_STREQ(timFormat(tm, "Zeit: %H \xC3\xBC"), "Zeit: 14 \xC3\xBC"); // UTF-8 survives
  EXPECT_GT(timFormat(tm, "%A %B %c %x %X %#c %#x").Length(), 30);
  EXPECT_EQ(U(timFormatW(tm, (const unsigned short *)u"%Y/%d \u00e9")), u"2005/16 \u00e9");

  // The time zone's name gets only 10 characters in the first buffer; a longer one needs the
  // retry. The runtime library itself gives the reference.
  struct tm tmFields;
  __time64_t t = SECONDS_20050916;
  ASSERT_EQ(_gmtime64_s(&tmFields, &t), 0);
  char achZone[256];
  size_t ctZone = strftime(achZone, sizeof(achZone), "%Z", &tmFields);
  EXPECT_STREQ(timFormat(tm, "%Z"), ctZone > 0 ? achZone : "");
  EXPECT_STREQ(timFormat(tm, "[%Z|%Z|%Z]"),
               (std::string("[") + achZone + "|" + achZone + "|" + achZone + "]").c_str());

  // Empty and null formats, and times that cannot be broken down, give "".
  EXPECT_STREQ(timFormat(tm, ""), "");
  EXPECT_STREQ(timFormat(tm, nullptr), "");
  EXPECT_EQ(U(timFormatW(tm, nullptr)), u"");
  EXPECT_STREQ(timFormat(Time(-1.0f), "%Y"), "");

  // Directives strftime does not know are refused up front.
  CGuardBreachCounter gbc;
  EXPECT_STREQ(timFormat(tm, "ab%Qcd"), "");
  EXPECT_STREQ(timFormat(tm, "abc%"), "");
  EXPECT_STREQ(timFormat(tm, "%#"), "");
  EXPECT_EQ(gbc.Count(), 3);

  // The process keeps the locale it had.
  EXPECT_EQ(strLocaleBefore, setlocale(LC_ALL, nullptr));
  EXPECT_STREQ(localeconv()->decimal_point, ".");
}

TEST(CalendarLocal, RoundTripKeepsTheFraction)
{
  Time tm = Seconds(SECONDS_20050916, 0xC0000000UL);
  Time tmLocal = timUTCToLocal(tm);
  EXPECT_EQ(timFractionsF(tmLocal), 0.75f);
  EXPECT_EQ(timLocalToUTC(tmLocal), tm);
  // Zones are whole minutes away from UTC, and at most 14 hours.
  __int64 llShift = (__int64)timSecondsL(tmLocal) - timSecondsL(tm);
  EXPECT_EQ(llShift % 60, 0);
  EXPECT_LE(llShift < 0 ? -llShift : llShift, 14 * 3600);
  // Agrees with the runtime library's breakdown of the same instant.
  struct tm tmFields;
  __time64_t t = SECONDS_20050916;
  ASSERT_EQ(_localtime64_s(&tmFields, &t), 0);
  char ach[64];
  strftime(ach, sizeof(ach), "%Y/%m/%d %H:%M:%S", &tmFields);
  EXPECT_STREQ(timToString(tmLocal), ach);
  // What the runtime library cannot convert stays as it is.
  EXPECT_EQ(timUTCToLocal(Time(-100.0f)), Time(-100.0f));
}
