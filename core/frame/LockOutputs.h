#pragma once
// CLockOutputs: silences the console while it lives. It records the line-callback switch and the
// six output filters, sets every filter to 0 and switches callbacks off; the destructor restores
// what it recorded.
#include "core/frame/Console.h"

namespace QuennelEngine {

class CORE_API CLockOutputs {
public:
  CLockOutputs();
  ~CLockOutputs();
  CLockOutputs(const CLockOutputs &) = delete;
  CLockOutputs &operator=(const CLockOutputs &) = delete;

  // All six filters to 0 / back to the recorded values.
  void LockOutputs(void);
  void UnlockOutputs(void);
  // One output's filter to 0 / back.
  void LockType(long iOutput);
  void UnlockType(long iOutput);
  // Line callbacks off / back to the recorded state.
  void LockCallbacks(void);
  void UnlockCallbacks(void);

private:
  int lo_bCallbacks;
  unsigned long lo_aulFilters[COT_COUNT];
};

} // namespace QuennelEngine
