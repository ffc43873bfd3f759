#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string.h>

using namespace QuennelEngine;

namespace {

void AddBytes(long &ctCounter, unsigned long ulBytes)
{
  // The counters are plain longs that may wrap; add without signed overflow.
  ctCounter = (long)((unsigned long)ctCounter + ulBytes);
}

// The digits after the decimal point of the number that ends just before `strAfter`.
int DecimalsBefore(const char *strText, const char *strAfter)
{
  const char *pch = strstr(strText, strAfter);
  if (pch == nullptr) return -1;
  int ct = 0;
  while (pch > strText && pch[-1] >= '0' && pch[-1] <= '9') {
    pch--;
    ct++;
  }
  return pch > strText && pch[-1] == '.' ? ct : 0;
}

} // namespace

TEST(StreamProfiler, StatsAndInfoTexts)
{
  // Start just below the wrap of the 32-bit counter.
  strm_ctEffectiveBytes = 0x7FFFFFF0;
  CStreamProfiler sp;
  AddBytes(strm_ctEffectiveBytes, 3 * 1048576);
  AddBytes(strm_ctDiskBytes, 1048576 + 524288);
  timSleep(Time(0.05f));
  Time tmPassed = sp.GetPassedTime();
  EXPECT_GE(tmPassed, Time(0.04f));

  CString strInfo = sp.GetInfo();
  float fSeconds = 0, fMB = 0, fRate = 0, fDiskRate = 0;
  int ctRead = strScan(strInfo, "%1 seconds, %2MB, %3MB/s (%4MB/s disk speed)", &fSeconds, &fMB,
                       &fRate, &fDiskRate);
  EXPECT_EQ(ctRead, strInfo.Length()) << strInfo.ConstData();
  EXPECT_EQ(DecimalsBefore(strInfo, " seconds"), 2) << strInfo.ConstData();
  EXPECT_EQ(DecimalsBefore(strInfo, "MB,"), 1) << strInfo.ConstData();
  EXPECT_EQ(DecimalsBefore(strInfo, "MB/s ("), 1) << strInfo.ConstData();
  EXPECT_EQ(DecimalsBefore(strInfo, "MB/s disk"), 1) << strInfo.ConstData();
  EXPECT_GE(fSeconds, 0.04f);
  EXPECT_EQ(fMB, 3.0f);
  EXPECT_NEAR(fRate, 3.0f / fSeconds, 0.05f + 0.1f * 3.0f / fSeconds);
  EXPECT_NEAR(fDiskRate, 1.5f / fSeconds, 0.05f + 0.1f * 1.5f / fSeconds);

  CString strStats = sp.GetStats();
  float fEffective = 0, fDisk = 0, fEffectiveRate = 0, fDiskRate2 = 0;
  ctRead = strScan(strStats,
                   "%1 seconds, %2MB effective, %3MB disk, %4MB/s effective, %5MB/s disk speed",
                   &fSeconds, &fEffective, &fDisk, &fEffectiveRate, &fDiskRate2);
  EXPECT_EQ(ctRead, strStats.Length()) << strStats.ConstData();
  EXPECT_EQ(fEffective, 3.0f);
  EXPECT_EQ(fDisk, 1.5f);
  EXPECT_NEAR(fEffectiveRate, 3.0f / fSeconds, 0.05f + 0.1f * 3.0f / fSeconds);
  EXPECT_NEAR(fDiskRate2, 1.5f / fSeconds, 0.05f + 0.1f * 1.5f / fSeconds);
}
