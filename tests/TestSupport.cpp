#include "TestSupport.h"

namespace QuennelEngine {
namespace Test {

CGuardBreachCounter::CGuardBreachCounter() : gbc_ctStart(corGetGuardBreachCount()) {}

long CGuardBreachCounter::Count() const
{
  return corGetGuardBreachCount() - gbc_ctStart;
}

CThreadServices::CThreadServices()
{
  thrStartMultiThreading();
  thrStartMultiThreadingSystem();
}

CThreadServices::~CThreadServices()
{
  bool bAllEnded = WaitUntil(AllThreadsEnded, 10000);
  if (bAllEnded) {
    thrStopMultiThreadingSystem();
    thrStopMultiThreading();
  }
}

} // namespace Test
} // namespace QuennelEngine
