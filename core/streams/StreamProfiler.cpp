#include "core/streams/StreamProfiler.h"

#include "core/memory/Memory.h"
#include "core/platform/Timer.h"
#include "core/streams/Stream.h"
#include "core/text/FormatArgs.h"

namespace QuennelEngine {

struct CStreamProfiler::Snapshot {
  long sn_ctDiskBytes;
  long sn_ctEffectiveBytes;
  __int64 sn_llUptime;
};

namespace {

const double SP_BYTES_TO_MB = 9.536743e-7; // 1/1048576

// Bytes counted since `ctThen`; the counters are 32 bits and may have wrapped once since.
double MegabytesSince(long ctNow, long ctThen)
{
  return (double)((unsigned long)ctNow - (unsigned long)ctThen) * SP_BYTES_TO_MB;
}

// Throughput in MB/s; 0 when no measurable time has passed.
double PerSecond(double dMegabytes, double dSeconds)
{
  return dSeconds > 0.0 ? dMegabytes / dSeconds : 0.0;
}

} // namespace

CStreamProfiler::CStreamProfiler()
{
  sp_pSnapshot = (Snapshot *)memMAlloc(sizeof(Snapshot));
  sp_pSnapshot->sn_ctDiskBytes = strm_ctDiskBytes;
  sp_pSnapshot->sn_ctEffectiveBytes = strm_ctEffectiveBytes;
  sp_pSnapshot->sn_llUptime = timUptimeNow().tm_llValue;
}

CStreamProfiler::~CStreamProfiler()
{
  memFree(sp_pSnapshot);
}

Time CStreamProfiler::GetPassedTime(void) const
{
  return timUptimeNow() - Time(sp_pSnapshot->sn_llUptime);
}

CString CStreamProfiler::GetStats(void) const
{
  double dSeconds = timToFloat(GetPassedTime());
  double dEffective = MegabytesSince(strm_ctEffectiveBytes, sp_pSnapshot->sn_ctEffectiveBytes);
  double dDisk = MegabytesSince(strm_ctDiskBytes, sp_pSnapshot->sn_ctDiskBytes);
  return strFormat("%1 seconds, %2MB effective, %3MB disk, %4MB/s effective, %5MB/s disk speed",
                   fmtSpec(dSeconds, ".2f"), fmtSpec(dEffective, ".1f"), fmtSpec(dDisk, ".1f"),
                   fmtSpec(PerSecond(dEffective, dSeconds), ".1f"),
                   fmtSpec(PerSecond(dDisk, dSeconds), ".1f"));
}

CString CStreamProfiler::GetInfo(void) const
{
  double dSeconds = timToFloat(GetPassedTime());
  double dEffective = MegabytesSince(strm_ctEffectiveBytes, sp_pSnapshot->sn_ctEffectiveBytes);
  double dDisk = MegabytesSince(strm_ctDiskBytes, sp_pSnapshot->sn_ctDiskBytes);
  return strFormat("%1 seconds, %2MB, %3MB/s (%4MB/s disk speed)", fmtSpec(dSeconds, ".2f"),
                   fmtSpec(dEffective, ".1f"), fmtSpec(PerSecond(dEffective, dSeconds), ".1f"),
                   fmtSpec(PerSecond(dDisk, dSeconds), ".1f"));
}

} // namespace QuennelEngine
