#pragma once
// Helpers shared by the test programs.
#include "core/Core.h"

namespace QuennelEngine {
namespace Test {

// Counts the guard breaches reported while it lives (each call site reports only once per process).
class CGuardBreachCounter {
public:
  CGuardBreachCounter();
  long Count() const;

private:
  long gbc_ctStart;
};

// Polls `fnDone` until it is true or `ulMilliseconds` have passed; true if it became true.
template <class F> bool WaitUntil(F fnDone, unsigned long ulMilliseconds)
{
  for (unsigned long ulWaited = 0;; ulWaited++) {
    if (fnDone()) return true;
    if (ulWaited >= ulMilliseconds) return false;
    sysSleep(1);
  }
}

// True when every library thread has ended and unregistered (the count of active threads drops
// last, just after the registry entry).
inline bool AllThreadsEnded(void)
{
  return thrCountThreads() == 0 && thrCountActiveThreads() == 0;
}

// Starts the two thread services for a test and stops them afterwards; the test fails if
// library threads are still alive at the end.
class CThreadServices {
public:
  CThreadServices();
  ~CThreadServices();
};

} // namespace Test
} // namespace QuennelEngine
