#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string.h>
#include <time.h>

using namespace QuennelEngine;

namespace {

const __int64 PERF_HZ = 10000000; // a 10 MHz performance counter

// Feeds `ctFrames` intervals of the given tick counts to the check; the number of frames on
// which it recalibrated.
int Feed(CTimerCheck &tc, __int64 &llPerf, __int64 &llStamp, int ctFrames, __int64 llPerfTicks,
         __int64 llStampTicks)
{
  int ctRecalibrated = 0;
  for (int i = 0; i < ctFrames; i++) {
    llPerf += llPerfTicks;
    llStamp += llStampTicks;
    if (tc.Check(llPerf, llStamp)) ctRecalibrated++;
  }
  return ctRecalibrated;
}

// True if one of the newest console lines contains the text.
bool RecentLineHas(const char *strText)
{
  for (long iLine = 0; iLine < 8 && iLine < conGetLinesCount(); iLine++) {
    long iType;
    CString strLine;
    conGetLine(iLine, iType, strLine);
    if (strstr(strLine, strText) != nullptr) return true;
  }
  return false;
}

} // namespace

TEST(TimerConversion, CounterReadingsToTime)
{
  EXPECT_EQ(timCounterToTime(15000000, PERF_HZ), Time(1.5f));
  EXPECT_EQ(timCounterToTime(-15000000, PERF_HZ), Time(-1.5f));
  // Two billion seconds of a 10 MHz counter: the remainder shifted by 32 bits still fits.
  EXPECT_EQ(timCounterToTime(2000000000LL * PERF_HZ + 5000000, PERF_HZ).tm_llValue,
            (2000000000LL << 32) | 0x80000000LL);
  // 2^30 Hz: frequency >> 30 is 1, a power of two with its top bit at 0, so no shift.
  EXPECT_EQ(timCounterToTime((3LL << 30) + (1LL << 29), 1LL << 30), Time(3.5f));
  // 3 GHz: frequency >> 30 is 2, a power of two, shift 1.
  EXPECT_EQ(timCounterToTime(4500000001LL, 3000000000LL), Time(1.5f));
  // 2^31 + 1 Hz, shifted by 1 to 2^30: the shifted reading 2^31 + 1 gives 2 s and 1 tick.
  EXPECT_EQ(timCounterToTime(((1LL << 31) + 1) * 2, (1LL << 31) + 1).tm_llValue, (2LL << 32) + 4);
  // 3 x 2^30 Hz: frequency >> 30 is 3, not a power of two, shift 2.
  EXPECT_EQ(timCounterToTime(3LL << 31, 3LL << 30), Time(2.0f));
  // 2^40 - 1 Hz: shift 10, frequency 2^30 - 1; five seconds of ticks keep 4 as remainder,
  // which without the shift would overflow when moved up by 32 bits.
  EXPECT_EQ(timCounterToTime(5 * ((1LL << 40) - 1), (1LL << 40) - 1).tm_llValue, (5LL << 32) + 16);
  EXPECT_EQ(timCounterToTime(7LL << 40, 1LL << 40), Time(7.0f));
  // No frequency, no time.
  EXPECT_EQ(timCounterToTime(12345, 0), Time());
  EXPECT_EQ(timCounterToTime(12345, -10), Time());
}

TEST(TimerConversion, FileTimesAndTicks)
{
  const __int64 llFileTime1970 = 116444736000000000LL;
  EXPECT_EQ(timFileTimeToUTC(llFileTime1970), Time());
  EXPECT_EQ(timFileTimeToUTC(llFileTime1970 + 15000000), Time(1.5f));
  // 100 ns before 1970: second -1 with almost a whole second of fraction.
  Time tmBefore = timFileTimeToUTC(llFileTime1970 - 1);
  EXPECT_EQ(timSecondsL(tmBefore), -1);
  EXPECT_NEAR(timFractionsF(tmBefore), 1.0f, 1e-6f);

  __int64 llFrequency = timGetTimeStampFrequency();
  EXPECT_GT(llFrequency, 0);
  EXPECT_NEAR((double)timFloatToTicks(1.0f), (double)llFrequency, (double)llFrequency * 1e-6);
  EXPECT_NEAR(timTicksToFloat(llFrequency / 2), 0.5f, 1e-6f);
  EXPECT_EQ(timFloatToTicks(-1.0e30f), -0x7FFFFFFFFFFFFFFFLL - 1);
}

TEST(TimerClocks, UptimeCalendarAndSleep)
{
  Time tmPrevious = timUptimeNow();
  for (int i = 0; i < 10000; i++) {
    Time tmNow = timUptimeNow();
    ASSERT_GE(tmNow, tmPrevious);
    tmPrevious = tmNow;
  }
  EXPECT_GE(timGetEngineUptime(), Time());
  EXPECT_LE(timGetEngineUptime(), timUptimeNow());

  Time tmStart = timUptimeNow();
  timSleep(Time(0.05f));
  Time tmSlept = timUptimeNow() - tmStart;
  EXPECT_GE(tmSlept, Time(0.04f));
  EXPECT_LT(tmSlept, Time(5.0f));
  // A negative time sleeps 0 instead of some 49 days.
  tmStart = timUptimeNow();
  timSleep(Time(-1.0f));
  timSleep(Time((__int64)-1));
  EXPECT_LT(timUptimeNow() - tmStart, Time(1.0f));

  // The calendar clock agrees with the runtime library's.
  __int64 llNow = (__int64)_time64(nullptr);
  EXPECT_NEAR((double)timSecondsL(timUTCNow()), (double)llNow, 2.0);
  EXPECT_LE(timGetEngineStartTime(), timUTCNow());

  Time tmUptimeStep = timUptimeResolution();
  EXPECT_GT(tmUptimeStep, Time());
  EXPECT_LT(tmUptimeStep, Time(0.01f));
  Time tmUTCStep = timUTCResolution();
  EXPECT_GT(tmUTCStep, Time());
  EXPECT_LT(tmUTCStep, Time(1.0f));
}

TEST(TimerCalibration, MeasuresWithoutAUsableEstimate)
{
  // The registry's value may be missing (estimate 1) or absurd: the measurement must neither
  // divide by zero nor give up on a real answer. Any processor runs faster than 1 MHz.
  __int64 llFromOne = timMeasureCPUFrequency(1);
  EXPECT_GT(llFromOne, 1000000);
  EXPECT_GT(timMeasureCPUFrequency(0), 1000000);
  EXPECT_GT(timMeasureCPUFrequency(-5), 1000000);
  // A good estimate is accepted after one round and lands near it.
  __int64 llAgain = timMeasureCPUFrequency(llFromOne);
  EXPECT_NEAR((double)llAgain, (double)llFromOne, (double)llFromOne * 0.05);
}

TEST(TimerCalibration, StartUpWithAndWithoutTimer)
{
  timEnableTimer(false);
  EXPECT_FALSE(timIsTimerEnabled());
  EXPECT_EQ(timGetCPUFrequency(), 1000000000LL);
  EXPECT_EQ(timGetPerFrameCheck(), nullptr);

  Time tmBefore = timUptimeNow();
  timEnableTimer(true);
  timInitialize();
  EXPECT_TRUE(RecentLineHas("Initializing timer."));
  EXPECT_TRUE(RecentLineHas("Timestamp: "));
  // Recording the start again does not move the uptime backwards.
  EXPECT_GE(timUptimeNow(), tmBefore);
  EXPECT_LT(timGetEngineUptime(), Time(1.0f));
  EXPECT_GT(timGetTimeStampFrequency(), 1000000);
  ASSERT_GT(timGetPerformanceFrequency(), 0); // Wine and Windows always have one
  TimerFrameCallback pCheck = timGetPerFrameCheck();
  ASSERT_NE(pCheck, nullptr);
  // Checks in quick succession leave a usable frequency.
  for (int i = 0; i < 25; i++) pCheck(nullptr);
  EXPECT_GT(timGetTimeStampFrequency(), 1000000);

  // "notimer": start-up without calibration keeps 10^9 ticks per second and no check.
  timEnableTimer(false);
  EXPECT_EQ(timGetPerFrameCheck(), nullptr);
  timInitialize();
  EXPECT_EQ(timGetTimeStampFrequency(), 1000000000LL);
}

TEST(TimerCheck, RecalibratesASlowedCounterAfterTenSamples)
{
  CTimerCheck tc;
  __int64 llPerf = 0, llStamp = 0;
  tc.Start(PERF_HZ, 3000000000LL, llPerf, llStamp);
  // At its calibrated speed: ten samples of 1.0, no change.
  EXPECT_EQ(Feed(tc, llPerf, llStamp, 10, 166667, 50000100), 0);
  EXPECT_EQ(tc.GetRatioCount(), 0);
  EXPECT_EQ(tc.GetTimeStampFrequency(), 3000000000LL);

  // The processor drops to half speed: nothing happens before the ring is full.
  EXPECT_EQ(Feed(tc, llPerf, llStamp, 9, 166667, 25000000), 0);
  EXPECT_EQ(tc.GetRatioCount(), 9);
  EXPECT_EQ(Feed(tc, llPerf, llStamp, 1, 166667, 25000000), 1);
  EXPECT_EQ(tc.GetRatioCount(), 0);
  // From the last interval: 10 MHz x 25000000 / 166667.
  EXPECT_EQ(tc.GetTimeStampFrequency(), 1499997000LL);
  // Measured with the new frequency, the same speed is now right.
  EXPECT_EQ(Feed(tc, llPerf, llStamp, 20, 166667, 25000000), 0);
  EXPECT_EQ(tc.GetTimeStampFrequency(), 1499997000LL);
}

TEST(TimerCheck, AverageThresholdStallsAndEmptyIntervals)
{
  CTimerCheck tc;
  __int64 llPerf = 1000, llStamp = 5000;
  tc.Start(PERF_HZ, 1000000000LL, llPerf, llStamp);
  // An average of 0.995 is close enough.
  EXPECT_EQ(Feed(tc, llPerf, llStamp, 10, 100000, 9950000), 0);
  EXPECT_EQ(tc.GetTimeStampFrequency(), 1000000000LL);

  // Stalls over one second are not sampled: five samples, a stall, then five more fill the ring.
  EXPECT_EQ(Feed(tc, llPerf, llStamp, 5, 100000, 9800000), 0);
  EXPECT_EQ(Feed(tc, llPerf, llStamp, 1, 20000000, 1000), 0);
  EXPECT_EQ(tc.GetRatioCount(), 5);
  // A second and a bit is a stall too (exactly one second, below, is sampled).
  EXPECT_EQ(Feed(tc, llPerf, llStamp, 1, 10000001, 1000), 0);
  EXPECT_EQ(tc.GetRatioCount(), 5);

  // Empty or backward intervals add no sample and never recalibrate to 0.
  EXPECT_FALSE(tc.Check(llPerf, llStamp));
  EXPECT_EQ(Feed(tc, llPerf, llStamp, 20, 100000, 0), 0);
  EXPECT_EQ(Feed(tc, llPerf, llStamp, 20, 0, 100000), 0);
  EXPECT_EQ(Feed(tc, llPerf, llStamp, 3, -100000, 9800000), 0);
  EXPECT_EQ(tc.GetRatioCount(), 5);

  // An average of 0.98 is not.
  EXPECT_EQ(Feed(tc, llPerf, llStamp, 4, 100000, 9800000), 0);
  EXPECT_EQ(Feed(tc, llPerf, llStamp, 1, 10000000, 980000000), 1);
  EXPECT_EQ(tc.GetTimeStampFrequency(), 980000000LL);
}

TEST(TimerCheck, ChecksUnderAMillisecondApartExtendTheInterval)
{
  // Checks every 0.1 ms: one tick of quantisation would be 1% of each interval, so ten checks
  // make one sample of 1 ms.
  CTimerCheck tc;
  __int64 llPerf = 0, llStamp = 0;
  tc.Start(PERF_HZ, 3000000000LL, llPerf, llStamp);
  EXPECT_EQ(Feed(tc, llPerf, llStamp, 99, 1000, 150000), 0);
  EXPECT_EQ(tc.GetRatioCount(), 9);
  EXPECT_EQ(Feed(tc, llPerf, llStamp, 1, 1000, 150000), 1);
  EXPECT_EQ(tc.GetTimeStampFrequency(), 1500000000LL);
}

TEST(TimerCheck, RecalibrationDoesNotOverflow)
{
  // A 4 GHz performance counter and 0.9 s intervals: 4e9 x 4.5e9 exceeds 64 bits.
  CTimerCheck tc;
  __int64 llPerf = 0, llStamp = 0;
  tc.Start(4000000000LL, 5500000000LL, llPerf, llStamp);
  EXPECT_EQ(Feed(tc, llPerf, llStamp, 10, 3600000000LL, 4500000000LL), 1);
  EXPECT_EQ(tc.GetTimeStampFrequency(), 5000000000LL);
}
