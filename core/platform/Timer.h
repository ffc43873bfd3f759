#pragma once
// The engine's clocks: uptime from the performance counter (or, without one, from the processor's
// time-stamp counter), calendar time in UTC, the start-up calibration of the time-stamp counter
// and the per-frame check that keeps its frequency honest when the processor changes speed.
//
// Every clock may be read from any thread without a lock. The clock state is written during
// start-up and by the per-frame check on the main thread; a reader may see the previous
// time-stamp frequency for one frame.
#include "core/platform/Time.h"

namespace QuennelEngine {

// ---- Start-up ----

// Allows timInitialize to calibrate the time-stamp counter; start-up enables it unless the
// "notimer" flag was given. Disabled, the frequency stays at 1000000000 ticks per second.
CORE_API void timEnableTimer(bool bEnable);
// True once timEnableTimer(true) was called (and not undone).
CORE_API bool timIsTimerEnabled(void);
// Calibrates the time-stamp counter, records the engine's start and logs both; called once by
// start-up. The per-frame check is handed to the services through timGetPerFrameCheck.
CORE_API void timInitialize(void);
// The time-stamp counter's ticks per second: 1000000000 with the timer disabled, else the
// registry's "~MHz" estimate refined against the performance counter (the estimate alone when
// there is no performance counter). Takes up to 5/16 second.
CORE_API __int64 timGetCPUFrequency(void);
// The measurement behind timGetCPUFrequency, starting from `llEstimate` (any value: 0, 1 or a
// missing registry value only cost one more round). Without a performance counter, the estimate
// itself; never below 1.
CORE_API __int64 timMeasureCPUFrequency(__int64 llEstimate);

// ---- Counters ----

// The processor's time-stamp counter.
inline __int64 timReadTimeStampCounter(void)
{
  return (__int64)__builtin_ia32_rdtsc();
}
// The time-stamp counter's current ticks per second (never 0).
CORE_API __int64 timGetTimeStampFrequency(void);
// The performance counter's ticks per second, 0 when the system has none.
CORE_API __int64 timGetPerformanceFrequency(void);
// Time-stamp ticks in seconds, by the current time-stamp frequency.
CORE_API float timTicksToFloat(__int64 llTicks);
// Seconds in time-stamp ticks, by the current time-stamp frequency (saturated).
CORE_API __int64 timFloatToTicks(float fSeconds);
// A counter reading as a Time: both values are first shifted right until the frequency fits in
// 31 bits, then whole seconds = reading / frequency and the fraction = (remainder << 32) /
// frequency. 0 for a frequency that is not positive; a negative reading gives the negated time.
CORE_API Time timCounterToTime(__int64 llReading, __int64 llFrequency);

// ---- Clocks ----

// The uptime: the uptime at the engine's start plus the time since (performance counter, or the
// time-stamp counter without one). Monotonic; valid even before timInitialize.
CORE_API Time timUptimeNow(void);
// timUptimeNow() counted from the engine's start.
CORE_API Time timGetEngineUptime(void);
// The calendar time (UTC) of the engine's start.
CORE_API Time timGetEngineStartTime(void);
// The calendar time now, in UTC, counted from 1 January 1970.
CORE_API Time timUTCNow(void);
// A system file time (100 ns units since 1601, UTC) as a calendar time counted from 1970.
CORE_API Time timFileTimeToUTC(__int64 llFileTime);
// The smallest step by which timUptimeNow advances (the smallest of five measured steps).
CORE_API Time timUptimeResolution(void);
// The smallest step by which timUTCNow advances (the smallest of five measured steps).
CORE_API Time timUTCResolution(void);
// Blocks the calling thread for the time rounded to whole milliseconds; negative sleeps 0.
CORE_API void timSleep(Time tmDuration);

// ---- The per-frame check ----

// The drift check of the time-stamp counter against the performance counter, run on given
// counter readings. Each interval of at most one second adds the ratio of the shorter to the
// longer of the two measured durations to a ring of 10; when the ring is full and its average is
// below 0.99, the time-stamp frequency is recomputed from the last interval. Checks less than a
// millisecond apart extend the interval instead of ending it.
class CORE_API CTimerCheck {
public:
  enum { TC_RATIOS = 10 };

  CTimerCheck();
  // Starts over with the given frequencies and first readings; the ring is emptied.
  void Start(__int64 llPerfFrequency, __int64 llTimeStampFrequency, __int64 llPerfReading,
             __int64 llTimeStampReading);
  // One check with the counters' current readings; true when the frequency was recalibrated.
  bool Check(__int64 llPerfReading, __int64 llTimeStampReading);

  __int64 GetTimeStampFrequency(void) const { return tc_llTimeStampFrequency; }
  // Ratios written since the ring was last averaged (0 to 9).
  int GetRatioCount(void) const { return tc_iRatio; }

private:
  __int64 tc_llPerfFrequency;
  __int64 tc_llTimeStampFrequency;
  __int64 tc_llLastPerf;
  __int64 tc_llLastTimeStamp;
  float tc_afRatios[TC_RATIOS];
  int tc_iRatio;
};

// The per-frame check with the real counters; it may change the time-stamp frequency. Does
// nothing without a performance counter or with the timer disabled. Main thread only.
CORE_API void timCheckTimer(void);

// The shape of a per-frame callback: a function taking the data it was registered with.
typedef void (*TimerFrameCallback)(void *pvData);
// What start-up registers as the timer's per-frame callback (with null data): a function that
// runs timCheckTimer, or null when no check is needed (no performance counter, timer disabled).
CORE_API TimerFrameCallback timGetPerFrameCheck(void);

} // namespace QuennelEngine
