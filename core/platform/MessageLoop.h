#pragma once
// The message loop of the main thread, keyboard state and translation, the loop's timers, and the
// start and stop of the window services.
//
// The host calls sysUpdate once per frame; it dispatches what the system queued, delivers the
// timers of phase 2 and the deferred events (Window.h). A host that has nothing to do calls
// sysWaitMessage, which gives the workbench two idle phases (timers of phases 1 and 0) and then
// sleeps until a message arrives or another thread asks for an idle event.
#include "core/platform/Window.h"

namespace QuennelEngine {

// ---- The loop ----

// Dispatches every waiting message, then delivers the timers of phase 2 and one pass of deferred
// events, and goes round again while that made new messages arrive. 0 when the quit message
// came (sysExitMessageLoop), else 1.
CORE_API int sysUpdate(void);
// 1 when sysUpdate has something to do: a message waits, a deferred event can be delivered, or
// an idle event was requested.
CORE_API int sysPeekEvents(void);
// Runs the workbench's idle phases (WET_IDLE1 and the timers of phase 1, then WET_IDLE2 and the
// timers of phase 0), returning early when work appears; then, with `bWait`, sleeps without
// using the processor until a message arrives or sysRequestIdleEvent is called.
CORE_API void sysWaitMessage(int bWait);
// Asks for an idle event: a waiting sysWaitMessage returns (within milliseconds), and the next
// one does not sleep. Callable from any thread.
CORE_API void sysRequestIdleEvent(void);
// Posts the quit message: the next sysUpdate returns 0.
CORE_API void sysExitMessageLoop(void);
// True while the application is the foreground application.
CORE_API int sysIsAppForeground(void);

// ---- Keyboard ----

// Bits of sysGetCommonKeyStates.
enum CommonKeyState : unsigned long {
  CKS_SHIFT = 0x1,
  CKS_CONTROL = 0x2,
  CKS_ALT = 0x4,
  CKS_LBUTTON = 0x8,
  CKS_RBUTTON = 0x10,
  CKS_MBUTTON = 0x20,
  CKS_CAPSLOCK = 0x40,    // toggled on
  CKS_NUMLOCK = 0x80,     // toggled on
  CKS_SCROLLLOCK = 0x100, // toggled on
};
// The modifier keys and mouse buttons held, and the lock keys that are on, as the library's
// windows have seen them in their key and mouse messages so far; read from the system again
// whenever the keyboard focus or the application's activation changes.
CORE_API unsigned long sysGetCommonKeyStates(void);

// Room that sysTranslateKeyboardEvent needs.
const long SYS_KEYTEXT_BYTES = 32;
// The text that the last key-down message dispatched types with the current keyboard layout and
// state, as UTF-8 into `pchBytes` (room for SYS_KEYTEXT_BYTES), zero-terminated; returns its
// length in bytes (0 when the key types nothing, such as a function key).
CORE_API long sysTranslateKeyboardEvent(char *pchBytes);

// ---- Timers ----

// A timer that expires every `fSeconds` (clamped to 0.01 s .. 24 days) and is delivered to the
// workbench as WET_TIMER in its phase: 2 in sysUpdate, 1 and 0 in the idle phases of
// sysWaitMessage. Expiries pile up into one until delivered. Returns the timer's ID (from 1 up);
// -1 with a guard breach without a workbench or for a phase outside 0..2.
CORE_API long sysCreateTimer(float fSeconds, long iPhase);
// Stops the timer and forgets an expiry not yet delivered; guard breach for an unknown ID.
CORE_API void sysDeleteTimer(long iTimerID);
// Timers that exist.
CORE_API long sysCountTimers(void);

// ---- Services ----

// "Service.Window": nothing to start or stop.
CORE_API void wndStartWindowService(void);
CORE_API void wndStopWindowService(void);
// "Service.Window_System": builds the key tables, takes the calling thread as the loop's thread
// and locks painting around message windows. Its stop deletes every remaining window and timer
// and unregisters the window classes.
CORE_API void wndStartWindowSystemService(void);
CORE_API void wndStopWindowSystemService(void);

} // namespace QuennelEngine
