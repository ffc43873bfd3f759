// The uptime clock against the system call it is built on: timUptimeNow may cost at most one
// QueryPerformanceCounter plus 20%.
#include "BenchSupport.h"

#include "core/Core.h"

using namespace QuennelEngine;
using namespace QuennelEngine::Bench;

int main()
{
  const long ctIterations = 500000; // per round
  double dRatio = CompareAndReport(
      "timUptimeNow", ctIterations,
      [] {
        Time tm = timUptimeNow();
        Keep(tm);
      },
      "QueryPerformanceCounter",
      [] {
        LARGE_INTEGER li;
        QueryPerformanceCounter(&li);
        Keep(li);
      });
  // The ratio is QueryPerformanceCounter / timUptimeNow per round.
  printf("timUptimeNow costs %.2f QueryPerformanceCounter calls (goal: at most 1.20)\n",
         dRatio > 0 ? 1 / dRatio : 0.0);

  CompareAndReport(
      "timUTCNow", ctIterations,
      [] {
        Time tm = timUTCNow();
        Keep(tm);
      },
      "GetSystemTimeAsFileTime",
      [] {
        FILETIME ft;
        GetSystemTimeAsFileTime(&ft);
        Keep(ft);
      });

  volatile __int64 llReading = 123456789012345LL;
  Spread s = MeasureNs(ctIterations, [&] {
    Time tm = timCounterToTime(llReading, 3000000000LL);
    Keep(tm);
  });
  Report("timCounterToTime (3 GHz)", s);
  return 0;
}
