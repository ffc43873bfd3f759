// Reference counts of resources: a Ptr copy and its release (one AddRef and one RemRef) against
// a std::shared_ptr copy and its release, measured while only the main thread runs library code
// (plain counts) and while a worker thread is active (interlocked counts, no contention).
#include "BenchSupport.h"
#include "core/Core.h"

#include <stdio.h>

#include <memory>

using namespace QuennelEngine;
using namespace QuennelEngine::Bench;

namespace {

long volatile _bStop = 0;

void IdleWorker(void *)
{
  // Active (it runs library code) but touching nothing the benchmark uses.
  while (!_bStop) sysSleep(1);
}

template <class T> __attribute__((noinline)) void CopyAndDrop(const T &t)
{
  T tCopy(t);
  Keep(tCopy);
}

void CompareCounts(const char *strWhat)
{
  Ptr<CResource> prs = new CDummyResource;
  std::shared_ptr<int> sp = std::make_shared<int>(1);
  const long ct = 400000;
  Comparison c = CompareNs(
      ct, [&]() { CopyAndDrop(prs); }, [&]() { CopyAndDrop(sp); });
  Report(strWhat, c, "shared_ptr copy");
  printf("%-44s %9.1f ns per AddRef or RemRef\n", "", c.sOurs.dMedian / 2);
}

} // namespace

int main()
{
  CompareCounts("Ptr copy + release, single thread");
  thrStartMultiThreading();
  thrStartMultiThreadingSystem();
  thrCreateThread(nullptr, IdleWorker);
  while (thrCountActiveThreads() == 0) sysSleep(1);
  CompareCounts("Ptr copy + release, worker active");
  _bStop = 1;
  while (thrCountThreads() > 0) sysSleep(1);
  thrStopMultiThreadingSystem();
  thrStopMultiThreading();
  return 0;
}
