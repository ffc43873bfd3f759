#pragma once
// Declarations shared by the window layer's sources (Window.cpp and MessageLoop.cpp) only; not
// installed.
#include "core/platform/Window.h"

namespace QuennelEngine {

namespace WindowPrivate {
// Private messages: a mouse probe (lParam: client point) and the idle request's wake-up.
const unsigned int SYSMSG_PROBE = 0x0400 + 1;
const unsigned int SYSMSG_WAKE = 0x0400 + 2;
// An event of the type with every other field neutral.
void InitEvent(WindowEvent &we, long eType);
// Delivers an event through the filters; the callback's result, 0 without a callback, and -1 for
// an event a filter swallowed. The window may be deleted when it returns.
int DeliverEvent(CWindow *pwnd, WindowEvent &we);
// True when a deferred event waits and may be delivered now.
bool IsDeferredDeliverable(void);
// One pass of deferred delivery; true if it called any callback.
bool DeliverDeferredEvents(void);
// Deletes every window (the window service's stop).
void DeleteAllWindows(void);
void UnregisterWindowClasses(void);
// Kept by the message loop: timer expiries, the workbench's timers, the keyboard and mouse state
// seen in messages, the last key-down message and the foreground flag.
void OnTimerMessage(unsigned long ulTimerID);
void OnWorkbenchChanged(void *hwndWorkbench);
void OnKeyMessage(unsigned int uMessage, unsigned long ulVirtualKey, long lParam);
void OnMouseMessage(unsigned long ulKeyFlags);
// Reads the key states from the system again (the focus or the activation changed).
void RefreshKeyStates(void);
void SetAppForeground(int bForeground);
} // namespace WindowPrivate

} // namespace QuennelEngine
