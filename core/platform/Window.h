#pragma once
// The library's windows. A CWindow stands over a system window, either one the library created or
// a foreign one it wraps; the system's messages reach the window's event callback as engine
// window events (WindowEvent). One top-level window, the workbench, is the application's main
// window: it gets the message loop's idle, timer and pre-delivery events.
//
// Windows, events and timers belong to the main thread. A window may be deleted from inside its
// own callback (the default callback does so on a close request): its record stays valid until
// the dispatch that called the callback has returned, and nothing touches it afterwards.
//
// Deferred events: paints of windows that do not paint their own background, moves and size
// changes are noted and delivered later by the message loop, once no message waits, as events of
// type WET_DEFERRED to windows that take events (WNDF_EVENTS); never while painting is locked.
#include "core/memory/StaticStackArray.h"
#include "core/text/String.h"

namespace QuennelEngine {

class CWindow;

// A rectangle of 32-bit integers: left, top, right, bottom.
class CTRect {
public:
  long rc_iLeft;
  long rc_iTop;
  long rc_iRight;
  long rc_iBottom;

  CTRect() : rc_iLeft(0), rc_iTop(0), rc_iRight(0), rc_iBottom(0) {}
  CTRect(long iLeft, long iTop, long iRight, long iBottom)
      : rc_iLeft(iLeft), rc_iTop(iTop), rc_iRight(iRight), rc_iBottom(iBottom)
  {
  }
  long Width(void) const { return rc_iRight - rc_iLeft; }
  long Height(void) const { return rc_iBottom - rc_iTop; }
  // True when the rectangle covers no point.
  bool IsEmpty(void) const { return rc_iRight <= rc_iLeft || rc_iBottom <= rc_iTop; }
  bool Contains(long iX, long iY) const
  {
    return iX >= rc_iLeft && iX < rc_iRight && iY >= rc_iTop && iY < rc_iBottom;
  }
};

inline bool operator==(const CTRect &rcA, const CTRect &rcB)
{
  return rcA.rc_iLeft == rcB.rc_iLeft && rcA.rc_iTop == rcB.rc_iTop &&
         rcA.rc_iRight == rcB.rc_iRight && rcA.rc_iBottom == rcB.rc_iBottom;
}
inline bool operator!=(const CTRect &rcA, const CTRect &rcB)
{
  return !(rcA == rcB);
}

// The system's window handle, kept opaque.
struct WindowHandle {
  void *wh_hWnd;
};

// A device context lent out by wndGetWindowDC.
struct WindowDC {
  void *wdc_hDC;
  long wdc_ctUses;
};

// Creation flags.
enum WindowFlag : unsigned long {
  WNDF_EVENTS = 0x1,         // takes mouse and deferred events
  WNDF_BORDERLESS = 0x2,     // no caption or frame
  WNDF_MINIMIZED = 0x8,      // starts minimized
  WNDF_OWNBACKGROUND = 0x10, // the library fills the background; no deferred paints
  WNDF_APPLICATION = 0x20,   // the application's top-level window (never with a parent)
  WNDF_FIXEDSIZE = 0x40,     // no sizing frame
};

// What the rectangle given at creation or to wndResizeWindow stands for.
enum WindowPlacement {
  WPL_WINDOW = 0,   // the window's outer rectangle
  WPL_CLIENT = 1,   // the client area; the frame goes around it
  WPL_ADJUSTED = 2, // the rectangle widened by the window's frame adjustment
  WPL_DEFAULT = 3,  // only its size counts: centred in the parent, or on the primary monitor
};

// Event types (the first word of every event).
enum WindowEventType {
  WET_FOCUS = 0,           // the window receives the keyboard focus
  WET_LOSTFOCUS = 1,       // the window loses it (we_pwndOther: the library window taking it)
  WET_CLOSE = 3,           // the user asks to close the window
  WET_DEFERRED = 4,        // a deferred paint, move or size change (kinds WEK_PAINT, WEK_MOVED)
  WET_APPACTIVATED = 5,    // the application became the foreground application
  WET_APPDEACTIVATED = 6,  // the application stopped being the foreground application
  WET_MOUSE = 7,           // mouse events (kinds WEK_MOUSEMOVE to WEK_WHEELBACKWARD)
  WET_KEYBOARD = 8,        // key down, key up, character (kinds WEK_KEYDOWN, WEK_KEYUP, WEK_CHAR)
  WET_BEFOREDEFERRED = 9,  // to the workbench: deferred events are about to be delivered
  WET_IDLE1 = 10,          // to the workbench: first idle phase of sysWaitMessage
  WET_IDLE2 = 11,          // to the workbench: second idle phase of sysWaitMessage
  WET_DISPLAYCHANGED = 15, // to the workbench: the display mode changed
  WET_TIMER = 16,          // to the workbench: a timer expired (we_iTimerID; kind = its phase)
};

// Event kinds (the second word): mouse, keyboard and deferred events.
enum WindowEventKind {
  WEK_NONE = 0,
  WEK_CHAR = 0,
  WEK_MOUSEMOVE = 1,
  WEK_MOUSEPROBE = 2,
  WEK_LBUTTONUP = 3,
  WEK_LBUTTONDOWN = 4,
  WEK_LBUTTONDBLCLK = 5,
  WEK_RBUTTONUP = 6,
  WEK_RBUTTONDOWN = 7,
  WEK_RBUTTONDBLCLK = 8,
  WEK_MBUTTONUP = 9,
  WEK_MBUTTONDOWN = 10,
  WEK_MBUTTONDBLCLK = 11,
  WEK_WHEELFORWARD = 12,
  WEK_WHEELBACKWARD = 13,
  WEK_KEYUP = 14,
  WEK_KEYDOWN = 15,
  WEK_PAINT = 16, // deferred: we_rc is the area to repaint (client coordinates)
  WEK_MOVED = 17, // deferred: we_rc is the new window rectangle (parent or screen coordinates)
};

// One engine window event. Fields that an event's type does not use are 0 (we_iKID -1).
struct WindowEvent {
  long we_eType;           // WindowEventType
  long we_iKind;           // WindowEventKind; for WET_TIMER the timer's phase
  long we_iKID;            // keyboard: the key (-1 when its scan code names none)
  long we_bRepeat;         // keyboard: 1 when the key was already down
  long we_iScanCode;       // keyboard: the scan code, plus 256 for extended keys
  unsigned long we_ulChar; // WEK_CHAR: the UTF-16 unit typed
  long we_iX;              // mouse: the cursor in client coordinates
  long we_iY;
  unsigned long we_ulKeyStates; // mouse and keyboard: sysGetCommonKeyStates() at the time
  CTRect we_rc;                 // deferred events (see the kinds)
  CWindow *we_pwndOther;        // WET_LOSTFOCUS: the library window that takes the focus, or null
  long we_iTimerID;             // WET_TIMER: the timer
};

// An event callback: non-zero when it handled the event.
typedef int (*WindowEventCallback)(CWindow &wnd, const WindowEvent &we, void *pvData);

// A library window. Create and delete it through wndCreateWindow and wndDeleteWindow, and use the
// wnd functions rather than the fields.
class CWindow {
public:
  unsigned long wnd_ulFlags; // the creation flags (WindowFlag)
  CTRect wnd_rcAdjustment;   // window minus client rectangle for a 400 x 400 client area
  CString wnd_strText;
  CWindow *wnd_pwndParent;  // null for a top-level window
  WindowHandle wnd_wh;      // null once the system window is gone
  void *wnd_pvPreviousProc; // a wrapped window's own procedure; null for ours
  WindowDC wnd_wdc;
  WindowEventCallback wnd_pCallback;
  void *wnd_pvCallbackData;

  // Bookkeeping of the window layer.
  CTRect wnd_rcWindow;   // last known window rectangle (parent or screen coordinates)
  CTRect wnd_rcClient;   // last known client rectangle (0, 0, width, height)
  CTRect wnd_rcPaint;    // pending deferred paint (empty: none)
  long wnd_bMovePending; // a deferred move or size change is pending
  long wnd_iWheelRest;   // wheel rotation not yet turned into events (below one notch)
  long wnd_bMouseSeen;   // a motion event was delivered at wnd_iMouseX, wnd_iMouseY
  long wnd_iMouseX;
  long wnd_iMouseY;
  long wnd_ctDispatching; // dispatches of this window on the stack
  long wnd_bDeleted;      // deleted during a dispatch: freed when the last one returns

  CWindow()
      : wnd_ulFlags(0), wnd_pwndParent(nullptr), wnd_wh{nullptr},
        wnd_pvPreviousProc(nullptr), wnd_wdc{nullptr, 0}, wnd_pCallback(nullptr),
        wnd_pvCallbackData(nullptr), wnd_bMovePending(0), wnd_iWheelRest(0), wnd_bMouseSeen(0),
        wnd_iMouseX(0), wnd_iMouseY(0), wnd_ctDispatching(0), wnd_bDeleted(0)
  {
  }
};

// A monitor of the desktop.
struct MonitorInfo {
  CTRect mi_rcMonitor; // in virtual-screen coordinates
  CTRect mi_rcWork;    // without the task bar
  long mi_bPrimary;
  CString mi_strName;
};

// System cursor shapes for wndCreateCursor.
enum CursorType {
  CUT_ARROW = 0,
  CUT_WAIT = 1,
  CUT_CROSS = 2,
  CUT_IBEAM = 3,
  CUT_HAND = 4,
  CUT_SIZEALL = 5,
  CUT_NO = 6,
};
// A cursor image, opaque.
typedef void *CursorHandle;

// Z-order positions for wndSetWindowZOrder.
enum WindowZOrder {
  WZO_TOP = 0,
  WZO_BOTTOM = 1,
  WZO_TOPMOST = 2,
  WZO_NOTOPMOST = 3,
};

// ---- Creation and deletion ----

// A new hidden window (minimized with WNDF_MINIMIZED). Null with a guard breach for
// WNDF_APPLICATION together with a parent. A failure of the system ends the process.
CORE_API CWindow *wndCreateWindow(CWindow *pwndParent, const char *strText, const CTRect &rc,
                                  unsigned long ulFlags, WindowPlacement wpl);
// As above with the rectangle (x, y, x + width, y + height).
CORE_API CWindow *wndCreateWindow(CWindow *pwndParent, const char *strText, long iX, long iY,
                                  long iWidth, long iHeight, unsigned long ulFlags,
                                  WindowPlacement wpl);
// A top-level window made the workbench, with wndDefaultEventCallback as its callback.
CORE_API CWindow *wndCreateWorkbench(const char *strText, const CTRect &rc, unsigned long ulFlags,
                                     WindowPlacement wpl);
CORE_API void wndSetWorkbench(CWindow *pwnd);
CORE_API CWindow *wndGetWorkbench(void);
// Destroys the system window (a wrapped one only gets its own procedure back) and frees the
// record, at once or, inside the window's own dispatch, when that returns. Null is ignored.
CORE_API void wndDeleteWindow(CWindow *pwnd);
// The library window of a system window; a foreign one is wrapped in a new CWindow (its
// messages then pass through the library first). Null for a handle that is not a window.
CORE_API CWindow *wndWindowFromWindow(const WindowHandle &wh, unsigned long ulFlags = 0);
// Every library window that exists, in creation order.
CORE_API void wndEnumerateWindows(CStaticStackArray<CWindow *> &apwnd);

// ---- Appearance and state ----

CORE_API void wndSetWindowText(CWindow *pwnd, const char *strText);
CORE_API CString wndGetWindowText(CWindow *pwnd);
CORE_API void wndShowWindow(CWindow *pwnd);
CORE_API void wndHideWindow(CWindow *pwnd);
CORE_API void wndRestoreWindow(CWindow *pwnd);
CORE_API void wndMaximizeWindow(CWindow *pwnd);
CORE_API void wndMinimizeWindow(CWindow *pwnd);
CORE_API int wndIsMaximized(CWindow *pwnd);
CORE_API int wndIsMinimized(CWindow *pwnd);
// True while the window is shown (it and every parent).
CORE_API int wndIsVisible(CWindow *pwnd);
// Marks the whole client area for repainting.
CORE_API void wndInvalidateWindow(CWindow *pwnd);
CORE_API void wndSetWindowZOrder(CWindow *pwnd, WindowZOrder wzo);
// Makes the window a child of `pwndParent`, or a top-level window with null. Guard breach for a
// WNDF_APPLICATION window or a parent that is the window itself or one of its children.
CORE_API void wndSetParent(CWindow *pwnd, CWindow *pwndParent);
CORE_API CWindow *wndGetParent(CWindow *pwnd);
// Moves and sizes the window; the rectangle means what the placement says.
CORE_API void wndResizeWindow(CWindow *pwnd, const CTRect &rc, WindowPlacement wpl = WPL_WINDOW);
// The window's rectangle in its parent's client coordinates (screen coordinates at top level).
CORE_API CTRect wndGetWindowRect(CWindow *pwnd);
// The client area: (0, 0, width, height).
CORE_API CTRect wndGetWindowClientRect(CWindow *pwnd);
// The frame adjustment: window minus client rectangle for a 400 x 400 client area.
CORE_API CTRect wndGetWindowAdjustmentRect(CWindow *pwnd);
CORE_API unsigned long wndGetWindowFlags(CWindow *pwnd);
// The system handle; a null handle for null or a window whose system window is gone.
CORE_API WindowHandle wndGetWindowHandle(CWindow *pwnd);
// The window's device context (counted; each call needs a wndReleaseWindowDC); null on failure.
CORE_API void *wndGetWindowDC(CWindow *pwnd);
CORE_API void wndReleaseWindowDC(CWindow *pwnd);
// The library windows whose parent is `pwnd`.
CORE_API void wndEnumerateWindowChildren(CWindow *pwnd, CStaticStackArray<CWindow *> &apwnd);
// The library window under a screen point (the innermost one), or null.
CORE_API CWindow *wndWindowFromPoint(long iX, long iY);
CORE_API void wndScreenToClient(CWindow *pwnd, long &iX, long &iY);
CORE_API void wndClientToScreen(CWindow *pwnd, long &iX, long &iY);
CORE_API void wndEnumerateMonitors(CStaticStackArray<MonitorInfo> &ami);

// ---- Focus ----

// The library window with the keyboard focus, or null.
CORE_API CWindow *wndGetFocus(void);
// Chooses the window that should have the keyboard focus and gives it the focus; a window that
// receives the focus while another is chosen passes it on. Null clears the choice.
CORE_API void wndSetKeyboardFocus(CWindow *pwnd);
// Gives the focus back to the chosen window (or the workbench when none is chosen).
CORE_API void wndRestoreKeyboardFocus(void);

// ---- Events ----

CORE_API void wndSetWindowEventCallback(CWindow *pwnd, WindowEventCallback pCallback, void *pvData);
// Deletes the window on a close request (returns 1); 0 for every other event.
CORE_API int wndDefaultEventCallback(CWindow &wnd, const WindowEvent &we, void *pvData);
CORE_API void wndEnableMouseEvents(void);
CORE_API void wndDisableMouseEvents(void);
CORE_API int wndAreMouseEventsDisabled(void);
CORE_API void wndEnableKeyboardEvents(void);
CORE_API void wndDisableKeyboardEvents(void);
CORE_API int wndAreKeyboardEventsDisabled(void);

// ---- Mouse and cursor ----

CORE_API void wndCaptureMouse(CWindow *pwnd);
CORE_API void wndReleaseMouse(void);
// The cursor in screen coordinates.
CORE_API void wndGetCursorPos(long &iX, long &iY);
CORE_API void wndSetCursorPos(long iX, long iY);
CORE_API void wndShowCursor(void);
CORE_API void wndHideCursor(void);
CORE_API int wndIsCursorVisible(void);
// Keeps the cursor inside a screen rectangle.
CORE_API void wndClipCursor(const CTRect &rc);
CORE_API void wndUnclipCursor(void);
// A system cursor shape; null on failure.
CORE_API CursorHandle wndCreateCursor(CursorType cut);
// A cursor from a 32-bit image (0xAARRGGBB, rows top first) with its hot spot; null on failure or
// for a size that is not positive.
CORE_API CursorHandle wndCreateCursor(const unsigned long *pulPixels, long iWidth, long iHeight,
                                      long iHotX, long iHotY);
// Frees a cursor made from an image (system shapes need no freeing); null is ignored.
CORE_API void wndDeleteCursor(CursorHandle hCursor);
// The cursor shown over the library's windows (null: none).
CORE_API void wndSetCursor(CursorHandle hCursor);
// Posts a mouse probe (WET_MOUSE, WEK_MOUSEPROBE) to the library window under a screen point.
CORE_API void wndIssueMouseProbeEvent(long iX, long iY);

// ---- Painting ----

// Raise and lower the paint lock; while it is above zero no deferred event is delivered and
// mouse motion is swallowed. Callable from any thread.
CORE_API void wndLockPaintEvents(void);
CORE_API void wndUnlockPaintEvents(void);
CORE_API long wndGetPaintLockCount(void);

} // namespace QuennelEngine
