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

} // namespace Test
} // namespace QuennelEngine
