#pragma once
// Time: every instant and duration of the engine, as a signed 64-bit count of 1/2^32 seconds.
// The high 32 bits are whole seconds, the low 32 bits the fraction. Calendar times count from
// 00:00:00 UTC on 1 January 1970, uptimes from the engine's start.
#include "core/platform/Platform.h"

namespace QuennelEngine {

class Time {
public:
  // The count of 1/2^32 seconds; public so that the value can be described and stored as is.
  __int64 tm_llValue;

  // Zero.
  Time() : tm_llValue(0) {}
  // `fSeconds` x 2^32, rounded to nearest (clamped to the representable range).
  Time(float fSeconds) { tm_llValue = FromSeconds(fSeconds); }
  // The units as they are.
  Time(__int64 llUnits) : tm_llValue(llUnits) {}
  // An int or a double would be ambiguous between seconds and units: say Time(1.0f) for seconds
  // or Time((__int64)n) for units.
  Time(int) = delete;
  Time(double) = delete;

  Time &operator+=(Time tm)
  {
    tm_llValue += tm.tm_llValue;
    return *this;
  }
  Time &operator-=(Time tm)
  {
    tm_llValue -= tm.tm_llValue;
    return *this;
  }
  // Scaling goes through double: exact for durations, within 2^-53 relative for calendar times.
  Time &operator*=(float f)
  {
    tm_llValue = FromDouble((double)tm_llValue * f);
    return *this;
  }
  // Division by 0 gives 0 rather than a trap.
  Time &operator/=(float f)
  {
    tm_llValue = (f == 0.0f) ? 0 : FromDouble((double)tm_llValue / f);
    return *this;
  }

private:
  static __int64 FromDouble(double d)
  {
    // Outside +-2^63 the conversion is undefined; saturate instead.
    if (d >= 9.2233720368547748e18) return (__int64)0x7FFFFFFFFFFFFFFFLL;
    if (d <= -9.2233720368547758e18) return (__int64)(-0x7FFFFFFFFFFFFFFFLL - 1);
    return (__int64)(d < 0.0 ? d - 0.5 : d + 0.5);
  }
  static __int64 FromSeconds(float fSeconds) { return FromDouble((double)fSeconds * 4294967296.0); }
};

// One unit, 1/2^32 second.
extern CORE_API const Time tim_tmQuantum;

inline Time operator+(Time tmA, Time tmB)
{
  return Time(tmA.tm_llValue + tmB.tm_llValue);
}
inline Time operator-(Time tmA, Time tmB)
{
  return Time(tmA.tm_llValue - tmB.tm_llValue);
}
inline Time operator-(Time tm)
{
  return Time(-tm.tm_llValue);
}
inline Time operator*(Time tm, float f)
{
  return tm *= f;
}
inline Time operator*(float f, Time tm)
{
  return tm *= f;
}
inline Time operator/(Time tm, float f)
{
  return tm /= f;
}
inline bool operator==(Time tmA, Time tmB)
{
  return tmA.tm_llValue == tmB.tm_llValue;
}
inline bool operator!=(Time tmA, Time tmB)
{
  return tmA.tm_llValue != tmB.tm_llValue;
}
inline bool operator<(Time tmA, Time tmB)
{
  return tmA.tm_llValue < tmB.tm_llValue;
}
inline bool operator<=(Time tmA, Time tmB)
{
  return tmA.tm_llValue <= tmB.tm_llValue;
}
inline bool operator>(Time tmA, Time tmB)
{
  return tmA.tm_llValue > tmB.tm_llValue;
}
inline bool operator>=(Time tmA, Time tmB)
{
  return tmA.tm_llValue >= tmB.tm_llValue;
}

// The time in seconds as a float (t / 2^32).
inline float timToFloat(Time tm)
{
  return (float)((double)tm.tm_llValue * (1.0 / 4294967296.0));
}
// The whole seconds (the high 32 bits), rounded towards minus infinity.
inline long timSecondsL(Time tm)
{
  return (long)(tm.tm_llValue >> 32);
}
// The fraction of a second (the low 32 bits, unsigned) in [0, 1).
inline float timFractionsF(Time tm)
{
  return (float)((double)(unsigned long)(tm.tm_llValue & 0xFFFFFFFFLL) * (1.0 / 4294967296.0));
}
// The milliseconds, rounded towards minus infinity; no overflow for any time value.
inline __int64 timMillisecondsL(Time tm)
{
  return ((tm.tm_llValue >> 16) * 1000) >> 16;
}
// A time of `llMilliseconds` (exact to 1/65536 second).
inline Time timFromMillisecondsL(__int64 llMilliseconds)
{
  // Multiplications rather than shifts keep negative counts defined.
  return Time(((llMilliseconds * 65536) / 1000) * 65536);
}
// The position of `tm` within a repeating period of `fPeriod` seconds, in [0, 1) for
// non-negative times; 0 for a period that is 0 or negative.
CORE_API float timGetPhase(Time tm, float fPeriod);

} // namespace QuennelEngine
