// The clocks and their calibration.
//
// Uptime comes from the performance counter: the reading since the engine's start is converted
// to Time and added to the uptime at the start (itself the start reading converted), so the
// uptime is the counter's own time and does not jump when timInitialize records the start
// again. The counter state is recorded once when the library loads, so the clocks work before
// timInitialize; timInitialize calibrates the time-stamp counter and records the start anew.
//
// The only value that changes after start-up is the time-stamp frequency (the per-frame check
// recalibrates it). It is one aligned 64-bit word read and written atomically, so a reader on
// another thread sees either the old or the new frequency, never a mix of the two.
#include "core/platform/Timer.h"

#include "core/frame/Console.h"
#include "core/platform/Calendar.h"
#include "core/text/Translation.h"

#include <windows.h>

namespace QuennelEngine {

namespace {

const __int64 TIM_DISABLED_FREQUENCY = 1000000000LL;
// 00:00:00 UTC, 1 January 1970, in 100 ns units since 1601.
const __int64 TIM_FILETIME_1970 = 116444736000000000LL;
const __int64 TIM_FILETIME_UNITS = 10000000LL;
const __int64 TIM_INT64_MAX = 0x7FFFFFFFFFFFFFFFLL;

// A counter frequency reduced below 2^31, so that a remainder shifted left by 32 bits stays
// within 64 bits, with the shift that reduced it.
struct CounterScale {
  int cs_iShift;
  unsigned long cs_ulFrequency;
};

CounterScale ScaleOf(__int64 llFrequency)
{
  CounterScale cs = {0, 0};
  unsigned __int64 ullHigh = (unsigned __int64)llFrequency >> 30;
  if (ullHigh != 0) {
    int iTop = 63 - __builtin_clzll(ullHigh);
    bool bPowerOfTwo = (ullHigh & (ullHigh - 1)) == 0;
    cs.cs_iShift = bPowerOfTwo ? iTop : iTop + 1;
  }
  cs.cs_ulFrequency = (unsigned long)((unsigned __int64)llFrequency >> cs.cs_iShift);
  return cs;
}

// (ulHigh:ulLow) / ulDivisor for ulHigh < ulDivisor, so that the quotient fits in 32 bits: one
// hardware division instead of the runtime's generic 64-bit routine.
inline unsigned long DivideWide(unsigned long ulHigh, unsigned long ulLow, unsigned long ulDivisor,
                                unsigned long &ulRemainder)
{
  unsigned long ulQuotient;
  asm("divl %4" : "=a"(ulQuotient), "=d"(ulRemainder) : "a"(ulLow), "d"(ulHigh), "rm"(ulDivisor));
  return ulQuotient;
}

// A non-negative reading in units of 2^-32 s: whole seconds = reading / frequency, fraction =
// (remainder << 32) / frequency, both on the scaled values. Seconds beyond 31 bits wrap, as
// they would in the Time itself.
inline unsigned __int64 ConvertScaled(unsigned __int64 ullReading, const CounterScale &cs)
{
  unsigned __int64 ull = ullReading >> cs.cs_iShift;
  unsigned long ulFrequency = cs.cs_ulFrequency;
  unsigned long ulHigh = (unsigned long)(ull >> 32);
  // The high word's quotient would only add seconds beyond 32 bits; mostly it is 0 anyway.
  unsigned long ulRemainder = ulHigh < ulFrequency ? ulHigh : ulHigh % ulFrequency;
  unsigned long ulSeconds = DivideWide(ulRemainder, (unsigned long)ull, ulFrequency, ulRemainder);
  unsigned long ulUnused;
  unsigned long ulFraction = DivideWide(ulRemainder, 0, ulFrequency, ulUnused);
  return ((unsigned __int64)ulSeconds << 32) | ulFraction;
}

inline __int64 ConvertCounter(__int64 llReading, const CounterScale &cs)
{
  if (QE_LIKELY(llReading >= 0)) return (__int64)ConvertScaled((unsigned __int64)llReading, cs);
  return -(__int64)ConvertScaled(0 - (unsigned __int64)llReading, cs);
}

// floor(llA x llB / llC) for non-negative operands and a positive divisor, without overflowing
// in the product; saturated at the largest 64-bit value. The 64-bit mantissa of long double keeps
// the result within one unit.
__int64 MulDiv64(__int64 llA, __int64 llB, __int64 llC)
{
  long double ld = (long double)llA * (long double)llB / (long double)llC;
  if (ld >= 9223372036854775807.0L) return TIM_INT64_MAX;
  return (__int64)ld;
}

__int64 ReadPerformanceCounter(void)
{
  LARGE_INTEGER li;
  QueryPerformanceCounter(&li);
  return li.QuadPart;
}

__int64 QueryPerfFrequency(void)
{
  LARGE_INTEGER li;
  if (!QueryPerformanceFrequency(&li) || li.QuadPart <= 0) return 0;
  return li.QuadPart;
}

__int64 FileTimeNow(void)
{
  FILETIME ft;
  GetSystemTimeAsFileTime(&ft);
  return (__int64)(((unsigned __int64)ft.dwHighDateTime << 32) | ft.dwLowDateTime);
}

// The clock state. Written when the library loads and by timInitialize, read by every clock.
struct ClockState {
  bool clk_bPerfCounter;
  __int64 clk_llPerfFrequency;
  CounterScale clk_scPerf;
  __int64 clk_llPerfAtStart;
  __int64 clk_llTimeStampAtStart;
  __int64 clk_llUptimeAtStart;
  __int64 clk_llStartFileTime;
  __int64 clk_llCalendarBase;
};
ClockState _clk = {false, 0, {0, 0}, 0, 0, 0, 0, TIM_FILETIME_1970};

alignas(8) __int64 _llTimeStampFrequency = TIM_DISABLED_FREQUENCY;
volatile bool _bTimerEnabled = false;
volatile bool _bInitialized = false;
// The per-frame check's own state; main thread only.
CTimerCheck _tcCheck;

__int64 LoadTimeStampFrequency(void)
{
  return __atomic_load_n(&_llTimeStampFrequency, __ATOMIC_ACQUIRE);
}

void StoreTimeStampFrequency(__int64 llFrequency)
{
  __atomic_store_n(&_llTimeStampFrequency, llFrequency, __ATOMIC_RELEASE);
}

void RecordStart(void)
{
  _clk.clk_llPerfFrequency = QueryPerfFrequency();
  _clk.clk_bPerfCounter = _clk.clk_llPerfFrequency > 0;
  _clk.clk_scPerf = ScaleOf(_clk.clk_llPerfFrequency);
  _clk.clk_llPerfAtStart = _clk.clk_bPerfCounter ? ReadPerformanceCounter() : 0;
  _clk.clk_llTimeStampAtStart = timReadTimeStampCounter();
  _clk.clk_llUptimeAtStart =
      _clk.clk_bPerfCounter
          ? ConvertCounter(_clk.clk_llPerfAtStart, _clk.clk_scPerf)
          : timCounterToTime(_clk.clk_llTimeStampAtStart, LoadTimeStampFrequency()).tm_llValue;
  _clk.clk_llStartFileTime = FileTimeNow();
  _tcCheck.Start(_clk.clk_llPerfFrequency, LoadTimeStampFrequency(), _clk.clk_llPerfAtStart,
                 _clk.clk_llTimeStampAtStart);
}

// Clocks work from the moment the library is loaded.
struct StartRecorder {
  StartRecorder() { RecordStart(); }
} _srStart;

// The registry's estimate of the processor's speed in Hz, 1 when it cannot be read.
__int64 ReadRegistryEstimate(void)
{
  HKEY hKey;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0", 0,
                    KEY_QUERY_VALUE, &hKey) != ERROR_SUCCESS) {
    return 1;
  }
  DWORD dwMHz = 0;
  DWORD dwType = 0;
  DWORD dwSize = sizeof(dwMHz);
  LONG lResult = RegQueryValueExA(hKey, "~MHz", nullptr, &dwType, (BYTE *)&dwMHz, &dwSize);
  RegCloseKey(hKey);
  if (lResult != ERROR_SUCCESS || dwType != REG_DWORD || dwMHz == 0) return 1;
  return (__int64)dwMHz * 1000000;
}

// Keeps the resolution and calibration loops from hanging on a clock that stands still.
bool TimedOut(DWORD dwStart, DWORD dwMilliseconds)
{
  return GetTickCount() - dwStart > dwMilliseconds;
}

template <class CLOCK> Time MeasureResolution(CLOCK fnClock)
{
  Time tmBest(1000.0f);
  DWORD dwStart = GetTickCount();
  for (int iRound = 0; iRound < 5; iRound++) {
    Time tmBefore = fnClock();
    Time tmAfter = tmBefore;
    while (tmAfter == tmBefore && !TimedOut(dwStart, 5000)) tmAfter = fnClock();
    Time tmStep = tmAfter - tmBefore;
    if (tmStep > Time() && tmStep < tmBest) tmBest = tmStep;
  }
  return tmBest;
}

void PerFrameCheck(void *)
{
  timCheckTimer();
}

} // namespace

// ---- Start-up ----

void timEnableTimer(bool bEnable)
{
  _bTimerEnabled = bEnable;
}

bool timIsTimerEnabled(void)
{
  return _bTimerEnabled;
}

__int64 timMeasureCPUFrequency(__int64 llEstimate)
{
  if (llEstimate < 1) llEstimate = 1;
  __int64 llPerfFrequency = QueryPerfFrequency();
  if (llPerfFrequency <= 0) return llEstimate;

  // At least one tick, so that a slow counter still gives a non-empty interval.
  __int64 llWait = llPerfFrequency / 16 > 0 ? llPerfFrequency / 16 : 1;
  __int64 llMeasured = llEstimate;
  DWORD dwStart = GetTickCount();
  for (int iRound = 0; iRound < 5; iRound++) {
    // Start right after a tick of the performance counter, so both ends lie on tick edges.
    __int64 llPerfBefore = ReadPerformanceCounter();
    __int64 llPerfStart;
    do {
      llPerfStart = ReadPerformanceCounter();
    } while (llPerfStart == llPerfBefore && !TimedOut(dwStart, 2000));
    __int64 llStampStart = timReadTimeStampCounter();
    __int64 llPerfEnd;
    do {
      llPerfEnd = ReadPerformanceCounter();
    } while (llPerfEnd - llPerfStart < llWait && !TimedOut(dwStart, 2000));
    __int64 llStampEnd = timReadTimeStampCounter();

    __int64 llPerfTicks = llPerfEnd - llPerfStart;
    __int64 llStampTicks = llStampEnd - llStampStart;
    // A counter that stood still or ran backwards measures nothing; keep what we have.
    if (llPerfTicks <= 0 || llStampTicks <= 0) break;
    llMeasured = MulDiv64(llStampTicks, llPerfFrequency, llPerfTicks);

    // An estimate below 2^16 (the registry's 1, say) cannot be compared: measure again.
    __int64 llNew = llMeasured >> 16;
    __int64 llOld = llEstimate >> 16;
    if (llOld > 0) {
      double dRatio = (double)llNew / (double)llOld;
      if (dRatio >= 0.995 && dRatio <= 1.005) break;
    }
    llEstimate = llMeasured;
  }
  return llMeasured >= 1 ? llMeasured : 1;
}

__int64 timGetCPUFrequency(void)
{
  if (!_bTimerEnabled) return TIM_DISABLED_FREQUENCY;
  return timMeasureCPUFrequency(ReadRegistryEstimate());
}

void timInitialize(void)
{
  conLog(strTranslate("DOZUTimer.Initialize=Initializing timer.\n"));

  SYSTEMTIME st = {};
  st.wYear = 1970;
  st.wMonth = 1;
  st.wDay = 1;
  FILETIME ft;
  _clk.clk_llCalendarBase =
      SystemTimeToFileTime(&st, &ft)
          ? (__int64)(((unsigned __int64)ft.dwHighDateTime << 32) | ft.dwLowDateTime)
          : TIM_FILETIME_1970;

  StoreTimeStampFrequency(timGetCPUFrequency());
  RecordStart();
  if (!_clk.clk_bPerfCounter) {
    conWarning(strTranslate("DOZUTimer.NoPerformanceTimer=PerformanceTimer is not available!\n"));
  }
  _bInitialized = true;

  conLog(strTranslate("DOZUTimer.TimeStamp=Timestamp: %1\n"),
         timToString(timUTCToLocal(timGetEngineStartTime())));
}

// ---- Counters ----

__int64 timGetTimeStampFrequency(void)
{
  return LoadTimeStampFrequency();
}

__int64 timGetPerformanceFrequency(void)
{
  return _clk.clk_llPerfFrequency;
}

float timTicksToFloat(__int64 llTicks)
{
  return (float)((double)llTicks / (double)LoadTimeStampFrequency());
}

__int64 timFloatToTicks(float fSeconds)
{
  double d = (double)fSeconds * (double)LoadTimeStampFrequency();
  if (d >= 9.2233720368547758e18) return TIM_INT64_MAX;
  if (d <= -9.2233720368547758e18) return -TIM_INT64_MAX - 1;
  return (__int64)d;
}

Time timCounterToTime(__int64 llReading, __int64 llFrequency)
{
  if (llFrequency <= 0) return Time();
  return Time(ConvertCounter(llReading, ScaleOf(llFrequency)));
}

// ---- Clocks ----

Time timUptimeNow(void)
{
  if (QE_LIKELY(_clk.clk_bPerfCounter)) {
    LARGE_INTEGER li;
    QueryPerformanceCounter(&li);
    return Time(_clk.clk_llUptimeAtStart +
                ConvertCounter(li.QuadPart - _clk.clk_llPerfAtStart, _clk.clk_scPerf));
  }
  __int64 llElapsed = timReadTimeStampCounter() - _clk.clk_llTimeStampAtStart;
  return Time(_clk.clk_llUptimeAtStart) + timCounterToTime(llElapsed, LoadTimeStampFrequency());
}

Time timGetEngineUptime(void)
{
  return timUptimeNow() - Time(_clk.clk_llUptimeAtStart);
}

Time timGetEngineStartTime(void)
{
  return timFileTimeToUTC(_clk.clk_llStartFileTime);
}

Time timFileTimeToUTC(__int64 llFileTime)
{
  __int64 llUnits = llFileTime - _clk.clk_llCalendarBase;
  __int64 llSeconds = llUnits / TIM_FILETIME_UNITS;
  __int64 llRemainder = llUnits % TIM_FILETIME_UNITS;
  // Before 1970 the remainder is negative; the fraction must count up from the second below.
  if (llRemainder < 0) {
    llRemainder += TIM_FILETIME_UNITS;
    llSeconds--;
  }
  __int64 llFraction = (llRemainder << 32) / TIM_FILETIME_UNITS;
  return Time((__int64)((unsigned __int64)llSeconds << 32) + llFraction);
}

Time timUTCNow(void)
{
  return timFileTimeToUTC(FileTimeNow());
}

Time timUptimeResolution(void)
{
  return MeasureResolution(timUptimeNow);
}

Time timUTCResolution(void)
{
  return MeasureResolution(timUTCNow);
}

void timSleep(Time tmDuration)
{
  if (tmDuration <= Time()) {
    Sleep(0);
    return;
  }
  __int64 llMilliseconds = ((tmDuration.tm_llValue >> 16) * 1000 + 32768) >> 16;
  // INFINITE is 0xFFFFFFFF: a long sleep must still end.
  if (llMilliseconds > 0xFFFFFFFELL) llMilliseconds = 0xFFFFFFFELL;
  Sleep((DWORD)llMilliseconds);
}

// ---- The per-frame check ----

CTimerCheck::CTimerCheck()
{
  Start(0, TIM_DISABLED_FREQUENCY, 0, 0);
}

void CTimerCheck::Start(__int64 llPerfFrequency, __int64 llTimeStampFrequency,
                        __int64 llPerfReading, __int64 llTimeStampReading)
{
  tc_llPerfFrequency = llPerfFrequency;
  tc_llTimeStampFrequency = llTimeStampFrequency;
  tc_llLastPerf = llPerfReading;
  tc_llLastTimeStamp = llTimeStampReading;
  for (int i = 0; i < TC_RATIOS; i++) tc_afRatios[i] = 1.0f;
  tc_iRatio = 0;
}

bool CTimerCheck::Check(__int64 llPerfReading, __int64 llTimeStampReading)
{
  __int64 llPerfTicks = llPerfReading - tc_llLastPerf;
  __int64 llStampTicks = llTimeStampReading - tc_llLastTimeStamp;
  // Below a millisecond the counters' resolution makes the ratio noise (one tick of a 10 MHz
  // counter is 1% of 10 us); keep measuring from the last reading until the interval is longer.
  if (llPerfTicks >= 0 && llPerfTicks < tc_llPerfFrequency / 1000) return false;
  tc_llLastPerf = llPerfReading;
  tc_llLastTimeStamp = llTimeStampReading;

  // A backward interval (a counter read on another core) or a time-stamp counter that stood
  // still says nothing about the speed, and would recalibrate to a frequency of 0.
  if (llPerfTicks <= 0 || llStampTicks <= 0) return false;
  if (tc_llPerfFrequency <= 0 || tc_llTimeStampFrequency <= 0) return false;
  double dPerfSeconds = (double)llPerfTicks / (double)tc_llPerfFrequency;
  // Long stalls (a debugger, a loading screen) are ignored.
  if (dPerfSeconds > 1.0) return false;
  double dStampSeconds = (double)llStampTicks / (double)tc_llTimeStampFrequency;
  double dRatio =
      dPerfSeconds < dStampSeconds ? dPerfSeconds / dStampSeconds : dStampSeconds / dPerfSeconds;
  tc_afRatios[tc_iRatio++] = (float)dRatio;
  if (tc_iRatio < TC_RATIOS) return false;

  tc_iRatio = 0;
  float fSum = 0.0f;
  for (int i = 0; i < TC_RATIOS; i++) fSum += tc_afRatios[i];
  if (fSum * 0.1f >= 0.99f) return false;
  // Both counts may reach billions: their product needs more than 64 bits.
  __int64 llFrequency = MulDiv64(llStampTicks, tc_llPerfFrequency, llPerfTicks);
  if (llFrequency <= 0) return false;
  tc_llTimeStampFrequency = llFrequency;
  return true;
}

void timCheckTimer(void)
{
  if (!_clk.clk_bPerfCounter || !_bTimerEnabled || !_bInitialized) return;
  __int64 llPerf = ReadPerformanceCounter();
  if (_tcCheck.Check(llPerf, timReadTimeStampCounter())) {
    StoreTimeStampFrequency(_tcCheck.GetTimeStampFrequency());
  }
}

TimerFrameCallback timGetPerFrameCheck(void)
{
  if (!_clk.clk_bPerfCounter || !_bTimerEnabled) return nullptr;
  return PerFrameCheck;
}

} // namespace QuennelEngine
