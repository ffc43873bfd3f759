#include "TestSupport.h"

namespace QuennelEngine {
namespace Test {

CGuardBreachCounter::CGuardBreachCounter() : gbc_ctStart(corGetGuardBreachCount()) {}

long CGuardBreachCounter::Count() const
{
  return corGetGuardBreachCount() - gbc_ctStart;
}

} // namespace Test
} // namespace QuennelEngine
