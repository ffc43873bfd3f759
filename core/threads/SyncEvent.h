#pragma once
// CSyncEvent: a system event. Flags: bit 0 manual reset, bit 1 initially signalled. The library
// uses 0 (auto-reset), 1 (manual), 2 (auto-reset, signalled: a plain non-recursive lock) and 3.
#include "core/platform/SysThreads.h"

namespace QuennelEngine {

class CORE_API CSyncEvent {
public:
  enum {
    SEF_MANUALRESET = 1,
    SEF_SIGNALED = 2,
  };

  // Only zeroes the fields: the event exists after InitEvent.
  constexpr CSyncEvent() : se_ulFlags(0), se_hEvent(nullptr) {}
  ~CSyncEvent();
  CSyncEvent(const CSyncEvent &) = delete;
  CSyncEvent &operator=(const CSyncEvent &) = delete;

  // Creates the event with the given flags (a previous one is closed).
  void InitEvent(unsigned long ulFlags);
  // Creates the event unless it exists; safe when several threads race to do it.
  void InitEventOnce(unsigned long ulFlags);
  bool IsInitialized(void) const { return se_hEvent != nullptr; }

  void SetEvent(void);
  void ResetEvent(void);
  // Waits without a time-out.
  void WaitEvent(void);
  // Waits up to `ulMilliseconds`; true if the event was signalled.
  bool WaitEvent(unsigned long ulMilliseconds);
  // 1 if signalled now. Testing never consumes the signal of an auto-reset event.
  int IsSignaled(void);

private:
  unsigned long se_ulFlags;
  SysHandle volatile se_hEvent;
};

} // namespace QuennelEngine
