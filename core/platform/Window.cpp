// The library's windows and their window procedure.
//
// Lifetime. Every CWindow is in the list of windows from creation until wndDeleteWindow, which
// takes it out, destroys the system window (or gives a wrapped one its own procedure back) and
// frees the record. Code that calls a callback pins the window first (wnd_ctDispatching); a
// window deleted while pinned is only marked, and the last unpin frees it, so the dispatch that
// called the callback can still look at the record and see that it is gone. A system window that
// the system destroys on its own (the child of a destroyed parent, a pop-up of the destroyed
// workbench) leaves its record in the list with a null handle: every function then does nothing
// with it, and wndDeleteWindow frees it.
//
// Exceptions. The system's frames around a window procedure cannot be unwound, so no exception
// may leave it: callbacks are called inside a handler that reports what they throw.
#include "core/platform/MessageLoop.h"

#include "core/frame/CodeGuard.h"
#include "core/frame/Console.h"
#include "core/frame/Exception.h"
#include "core/frame/OldMessages.h"
#include "core/memory/Memory.h"
#include "core/platform/KeyIdentifiers.h"
#include "core/platform/WindowPrivate.h"
#include "core/text/Conversion.h"
#include "core/text/Translation.h"

#include <windows.h>
#include <windowsx.h>

#include <exception>
#include <new>

namespace QuennelEngine {

using namespace WindowPrivate;

namespace {

const wchar_t *const WND_CLASS_OWNBACKGROUND = L"VX Class";
const wchar_t *const WND_CLASS_DEFAULT = L"VXDP Class";
const long WND_WHEEL_NOTCH = 120;

CStaticStackArray<CWindow *> _apwndWindows;
CWindow *_pwndWorkbench = nullptr;
CWindow *_pwndChosenFocus = nullptr;
long volatile _ctPaintLocks = 0;
int _bMouseEventsDisabled = 0;
int _bKeyboardEventsDisabled = 0;
int _bDeliveringDeferred = 0;
// Some window noted a deferred paint, move or size change.
int _bDeferredPending = 0;
// The cursor over the library's windows: the arrow until wndSetCursor chooses one.
HCURSOR _hCursor = nullptr;
bool _bCursorChosen = false;
int _bCursorHidden = 0;
bool _bClassOwnRegistered = false;
bool _bClassDefaultRegistered = false;

HINSTANCE CoreInstance(void)
{
  HMODULE hModule = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                         GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     (LPCWSTR)(void *)&CoreInstance, &hModule);
  return (HINSTANCE)hModule;
}

inline HWND HandleOf(const CWindow *pwnd)
{
  return pwnd ? (HWND)pwnd->wnd_wh.wh_hWnd : nullptr;
}

HBRUSH BackgroundBrush(void)
{
  return (HBRUSH)GetStockObject(BLACK_BRUSH);
}

long IndexOf(const CWindow *pwnd)
{
  for (long i = 0; i < _apwndWindows.Count(); i++) {
    if (_apwndWindows[i] == pwnd) return i;
  }
  return -1;
}

// The record of a live system window, or null.
CWindow *FindRecord(HWND hWnd)
{
  if (hWnd == nullptr) return nullptr;
  for (long i = 0; i < _apwndWindows.Count(); i++) {
    if (_apwndWindows[i]->wnd_wh.wh_hWnd == (void *)hWnd) return _apwndWindows[i];
  }
  return nullptr;
}

// A window that a function may work on: in the list with its system window.
bool IsUsable(const CWindow *pwnd)
{
  // Listed first: a deleted window's pointer must not be read.
  return pwnd != nullptr && IndexOf(pwnd) >= 0 && pwnd->wnd_wh.wh_hWnd != nullptr;
}

// A usable window, or a guard breach for a null or deleted one.
#define WND_REQUIRE(pwnd, ...)                                                                     \
  do {                                                                                             \
    if (!IsUsable(pwnd)) {                                                                         \
      if ((pwnd) == nullptr || IndexOf(pwnd) < 0) corLogGuardBreach();                             \
      return __VA_ARGS__;                                                                          \
    }                                                                                              \
  } while (0)

void FreeRecord(CWindow *pwnd)
{
  pwnd->~CWindow();
  memFree(pwnd);
}

// Keeps a window's record alive across callbacks.
class CWindowPin {
public:
  explicit CWindowPin(CWindow *pwnd) : wp_pwnd(pwnd) { pwnd->wnd_ctDispatching++; }
  ~CWindowPin()
  {
    if (--wp_pwnd->wnd_ctDispatching == 0 && wp_pwnd->wnd_bDeleted) FreeRecord(wp_pwnd);
  }
  CWindowPin(const CWindowPin &) = delete;
  CWindowPin &operator=(const CWindowPin &) = delete;

private:
  CWindow *wp_pwnd;
};

CTRect FromRECT(const RECT &rc)
{
  return CTRect(rc.left, rc.top, rc.right, rc.bottom);
}

// The window rectangle in its parent's client coordinates (screen at top level).
CTRect ReadWindowRect(HWND hWnd)
{
  RECT rc = {};
  GetWindowRect(hWnd, &rc);
  HWND hParent = (GetWindowLongW(hWnd, GWL_STYLE) & WS_CHILD) ? GetParent(hWnd) : nullptr;
  if (hParent != nullptr) MapWindowPoints(HWND_DESKTOP, hParent, (POINT *)&rc, 2);
  return FromRECT(rc);
}

CTRect ReadClientRect(HWND hWnd)
{
  RECT rc = {};
  GetClientRect(hWnd, &rc);
  return FromRECT(rc);
}

void UpdateStoredRects(CWindow *pwnd)
{
  HWND hWnd = HandleOf(pwnd);
  pwnd->wnd_rcWindow = ReadWindowRect(hWnd);
  pwnd->wnd_rcClient = ReadClientRect(hWnd);
}

CTRect FrameAdjustment(DWORD dwStyle, DWORD dwExStyle)
{
  RECT rc = {0, 0, 400, 400};
  AdjustWindowRectEx(&rc, dwStyle, FALSE, dwExStyle);
  return CTRect(rc.left, rc.top, rc.right - 400, rc.bottom - 400);
}

LRESULT CALLBACK LibraryWindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);

void RegisterClassOnce(const wchar_t *wstrClass, bool &bRegistered)
{
  if (bRegistered) return;
  HINSTANCE hInstance = CoreInstance();
  HICON hIcon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1));
  if (hIcon == nullptr) hIcon = LoadIconW(nullptr, (LPCWSTR)IDI_APPLICATION);
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof(wc);
  wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS; // 11
  wc.lpfnWndProc = LibraryWindowProc;
  wc.hInstance = hInstance;
  wc.hIcon = hIcon;
  wc.hCursor = nullptr; // the library sets the cursor itself (WM_SETCURSOR)
  wc.hbrBackground = nullptr;
  wc.lpszClassName = wstrClass;
  if (RegisterClassExW(&wc) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
    conFatalErrorF(strTranslate("DOZUWindow.RegisterClass=Could not register class '%1'\n"),
                   ARG_WTEXT, (const unsigned short *)wstrClass);
  }
  bRegistered = true;
}

// Where a rectangle given with a placement puts the window (in parent or screen coordinates).
RECT PlacedRect(CWindow *pwnd, const CTRect &rc, WindowPlacement wpl)
{
  HWND hWnd = HandleOf(pwnd);
  RECT rcOut = {rc.rc_iLeft, rc.rc_iTop, rc.rc_iRight, rc.rc_iBottom};
  switch (wpl) {
  case WPL_CLIENT: {
    // The frame the window really has now, which may differ from the 400 x 400 adjustment
    // (a menu bar that wraps, a minimum size).
    RECT rcWindow = {};
    RECT rcClient = {};
    GetWindowRect(hWnd, &rcWindow);
    GetClientRect(hWnd, &rcClient);
    MapWindowPoints(hWnd, HWND_DESKTOP, (POINT *)&rcClient, 2);
    rcOut.left -= rcClient.left - rcWindow.left;
    rcOut.top -= rcClient.top - rcWindow.top;
    rcOut.right += rcWindow.right - rcClient.right;
    rcOut.bottom += rcWindow.bottom - rcClient.bottom;
    break;
  }
  case WPL_ADJUSTED:
    rcOut.left += pwnd->wnd_rcAdjustment.rc_iLeft;
    rcOut.top += pwnd->wnd_rcAdjustment.rc_iTop;
    rcOut.right += pwnd->wnd_rcAdjustment.rc_iRight;
    rcOut.bottom += pwnd->wnd_rcAdjustment.rc_iBottom;
    break;
  case WPL_DEFAULT: {
    RECT rcArea = {};
    HWND hParent = pwnd->wnd_pwndParent ? HandleOf(pwnd->wnd_pwndParent) : nullptr;
    if (hParent != nullptr) {
      GetClientRect(hParent, &rcArea);
    } else {
      SystemParametersInfoW(SPI_GETWORKAREA, 0, &rcArea, 0);
    }
    long iWidth = rc.Width();
    long iHeight = rc.Height();
    rcOut.left = rcArea.left + (rcArea.right - rcArea.left - iWidth) / 2;
    rcOut.top = rcArea.top + (rcArea.bottom - rcArea.top - iHeight) / 2;
    rcOut.right = rcOut.left + iWidth;
    rcOut.bottom = rcOut.top + iHeight;
    break;
  }
  default:
    break;
  }
  return rcOut;
}

void PlaceWindow(CWindow *pwnd, const CTRect &rc, WindowPlacement wpl)
{
  RECT rcPlaced = PlacedRect(pwnd, rc, wpl);
  SetWindowPos(HandleOf(pwnd), nullptr, rcPlaced.left, rcPlaced.top, rcPlaced.right - rcPlaced.left,
               rcPlaced.bottom - rcPlaced.top, SWP_NOZORDER | SWP_NOACTIVATE);
  UpdateStoredRects(pwnd);
}

void NoteDeferredPaint(CWindow *pwnd, const RECT &rc)
{
  if (rc.right <= rc.left || rc.bottom <= rc.top) return;
  CTRect &rcPaint = pwnd->wnd_rcPaint;
  if (rcPaint.IsEmpty()) {
    rcPaint = FromRECT(rc);
  } else {
    if (rc.left < rcPaint.rc_iLeft) rcPaint.rc_iLeft = rc.left;
    if (rc.top < rcPaint.rc_iTop) rcPaint.rc_iTop = rc.top;
    if (rc.right > rcPaint.rc_iRight) rcPaint.rc_iRight = rc.right;
    if (rc.bottom > rcPaint.rc_iBottom) rcPaint.rc_iBottom = rc.bottom;
  }
  _bDeferredPending = 1;
}

// Calls the window's callback; what it throws is reported here, never passed on.
int CallCallback(CWindow *pwnd, const WindowEvent &we)
{
  if (pwnd->wnd_pCallback == nullptr) return 0;
  try {
    return pwnd->wnd_pCallback(*pwnd, we, pwnd->wnd_pvCallbackData);
  } catch (...) {
    char achWhy[256];
    conErrorF(strTranslate("DOZUWindow.EventFailed=Window event %1 failed: %2\n"), ARG_INT,
              we.we_eType, ARG_TEXT, dbgDescribeCurrentException(achWhy, sizeof(achWhy)));
  }
  return 0;
}

void MouseEventAt(WindowEvent &we, long eKind, long iX, long iY)
{
  InitEvent(we, WET_MOUSE);
  we.we_iKind = eKind;
  we.we_iX = iX;
  we.we_iY = iY;
  we.we_ulKeyStates = sysGetCommonKeyStates();
}

long ButtonKind(UINT uMsg)
{
  switch (uMsg) {
  case WM_LBUTTONUP:
    return WEK_LBUTTONUP;
  case WM_LBUTTONDOWN:
    return WEK_LBUTTONDOWN;
  case WM_LBUTTONDBLCLK:
    return WEK_LBUTTONDBLCLK;
  case WM_RBUTTONUP:
    return WEK_RBUTTONUP;
  case WM_RBUTTONDOWN:
    return WEK_RBUTTONDOWN;
  case WM_RBUTTONDBLCLK:
    return WEK_RBUTTONDBLCLK;
  case WM_MBUTTONUP:
    return WEK_MBUTTONUP;
  case WM_MBUTTONDOWN:
    return WEK_MBUTTONDOWN;
  default:
    return WEK_MBUTTONDBLCLK;
  }
}

// Turns wheel rotation into one event per notch; what is left below a notch waits for more.
int DeliverWheel(CWindow *pwnd, long iDelta, long iX, long iY)
{
  if (!(pwnd->wnd_ulFlags & WNDF_EVENTS) || _bMouseEventsDisabled) return -1;
  pwnd->wnd_iWheelRest += iDelta;
  int iResult = -1;
  while (!pwnd->wnd_bDeleted &&
         (pwnd->wnd_iWheelRest >= WND_WHEEL_NOTCH || pwnd->wnd_iWheelRest <= -WND_WHEEL_NOTCH)) {
    bool bForward = pwnd->wnd_iWheelRest > 0;
    pwnd->wnd_iWheelRest += bForward ? -WND_WHEEL_NOTCH : WND_WHEEL_NOTCH;
    WindowEvent we;
    MouseEventAt(we, bForward ? WEK_WHEELFORWARD : WEK_WHEELBACKWARD, iX, iY);
    int i = DeliverEvent(pwnd, we);
    if (i > 0 || iResult < 0) iResult = i;
  }
  return iResult;
}

void KeyboardEvent(WindowEvent &we, long eKind, WPARAM wParam, LPARAM lParam)
{
  InitEvent(we, WET_KEYBOARD);
  we.we_iKind = eKind;
  if (eKind == WEK_CHAR) {
    we.we_ulChar = (unsigned long)wParam;
  } else {
    // Bits 16 to 23 hold the scan code and bit 24 the extended flag: together the code + 256.
    we.we_iScanCode = (long)((lParam >> 16) & 0x1FF);
    we.we_iKID = sysGetKIDFromScanCode(we.we_iScanCode);
    we.we_bRepeat = (lParam >> 30) & 1;
  }
  we.we_ulKeyStates = sysGetCommonKeyStates();
}

// Passes a message on: to a wrapped window's own procedure, else to the system.
LRESULT PassOn(void *pvPreviousProc, HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
  if (pvPreviousProc != nullptr) {
    return CallWindowProcW((WNDPROC)pvPreviousProc, hWnd, uMsg, wParam, lParam);
  }
  return DefWindowProcW(hWnd, uMsg, wParam, lParam);
}

LRESULT HandleMessage(CWindow *pwnd, HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
  // Read before any callback: the callback may delete the window.
  void *pvPreviousProc = pwnd->wnd_pvPreviousProc;
  bool bWrapped = pvPreviousProc != nullptr;
  WindowEvent we;
  int iResult = 0;
  bool bEvent = true;
  switch (uMsg) {
  case WM_SETFOCUS:
    RefreshKeyStates();
    InitEvent(we, WET_FOCUS);
    break;
  case WM_KILLFOCUS:
    RefreshKeyStates();
    InitEvent(we, WET_LOSTFOCUS);
    we.we_pwndOther = FindRecord((HWND)wParam);
    break;
  case WM_CLOSE:
    InitEvent(we, WET_CLOSE);
    break;
  case WM_ACTIVATEAPP:
    SetAppForeground(wParam != 0);
    RefreshKeyStates();
    InitEvent(we, wParam ? WET_APPACTIVATED : WET_APPDEACTIVATED);
    break;
  case WM_DISPLAYCHANGE:
    if (pwnd != _pwndWorkbench) return PassOn(pvPreviousProc, hWnd, uMsg, wParam, lParam);
    InitEvent(we, WET_DISPLAYCHANGED);
    break;
  case WM_MOUSEMOVE:
    OnMouseMessage((unsigned long)wParam);
    MouseEventAt(we, WEK_MOUSEMOVE, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
    break;
  case SYSMSG_PROBE:
    MouseEventAt(we, WEK_MOUSEPROBE, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
    break;
  case WM_LBUTTONUP:
  case WM_LBUTTONDOWN:
  case WM_LBUTTONDBLCLK:
  case WM_RBUTTONUP:
  case WM_RBUTTONDOWN:
  case WM_RBUTTONDBLCLK:
  case WM_MBUTTONUP:
  case WM_MBUTTONDOWN:
  case WM_MBUTTONDBLCLK:
    OnMouseMessage((unsigned long)wParam);
    MouseEventAt(we, ButtonKind(uMsg), GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
    break;
  case WM_MOUSEWHEEL: {
    // The wheel's point is in screen coordinates.
    POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    ScreenToClient(hWnd, &pt);
    OnMouseMessage(GET_KEYSTATE_WPARAM(wParam));
    iResult = DeliverWheel(pwnd, GET_WHEEL_DELTA_WPARAM(wParam), pt.x, pt.y);
    bEvent = false;
    break;
  }
  case WM_KEYDOWN:
  case WM_SYSKEYDOWN:
    OnKeyMessage(uMsg, (unsigned long)wParam, (long)lParam);
    KeyboardEvent(we, WEK_KEYDOWN, wParam, lParam);
    break;
  case WM_KEYUP:
  case WM_SYSKEYUP:
    OnKeyMessage(uMsg, (unsigned long)wParam, (long)lParam);
    KeyboardEvent(we, WEK_KEYUP, wParam, lParam);
    break;
  case WM_CHAR:
    KeyboardEvent(we, WEK_CHAR, wParam, lParam);
    break;
  case SYSMSG_WAKE:
    return 0;
  case WM_PAINT:
    if (bWrapped) return PassOn(pvPreviousProc, hWnd, uMsg, wParam, lParam);
    if (pwnd->wnd_ulFlags & WNDF_OWNBACKGROUND) {
      PAINTSTRUCT ps;
      HDC hdc = BeginPaint(hWnd, &ps);
      RECT rcClient;
      GetClientRect(hWnd, &rcClient);
      if (hdc != nullptr) FillRect(hdc, &rcClient, BackgroundBrush());
      EndPaint(hWnd, &ps);
    } else {
      RECT rc = {};
      if (GetUpdateRect(hWnd, &rc, FALSE)) NoteDeferredPaint(pwnd, rc);
      ValidateRect(hWnd, nullptr);
    }
    return 0;
  case WM_ERASEBKGND:
    if (bWrapped) return PassOn(pvPreviousProc, hWnd, uMsg, wParam, lParam);
    if (!_bDeliveringDeferred) {
      RECT rcClient;
      GetClientRect(hWnd, &rcClient);
      FillRect((HDC)wParam, &rcClient, BackgroundBrush());
    }
    return 1;
  case WM_MOVE:
  case WM_SIZE:
    UpdateStoredRects(pwnd);
    pwnd->wnd_bMovePending = 1;
    _bDeferredPending = 1;
    return PassOn(pvPreviousProc, hWnd, uMsg, wParam, lParam);
  case WM_TIMER:
    if (pwnd == _pwndWorkbench && lParam == 0) {
      OnTimerMessage((unsigned long)wParam);
      return 0;
    }
    return PassOn(pvPreviousProc, hWnd, uMsg, wParam, lParam);
  case WM_MOUSEACTIVATE:
    if (_pwndWorkbench == nullptr || _pwndWorkbench->wnd_wh.wh_hWnd == nullptr) {
      return PassOn(pvPreviousProc, hWnd, uMsg, wParam, lParam);
    }
    SetForegroundWindow(HandleOf(_pwndWorkbench));
    return MA_NOACTIVATE;
  case WM_SETCURSOR:
    if (!bWrapped && LOWORD(lParam) == HTCLIENT) {
      SetCursor(_bCursorChosen ? _hCursor : LoadCursorW(nullptr, (LPCWSTR)IDC_ARROW));
      return TRUE;
    }
    return PassOn(pvPreviousProc, hWnd, uMsg, wParam, lParam);
  case WM_NCDESTROY: {
    // The system destroys the window without wndDeleteWindow (its parent or owner went): the
    // record stays until the owner of the pointer deletes it.
    LRESULT lr = PassOn(pvPreviousProc, hWnd, uMsg, wParam, lParam);
    if (pwnd->wnd_wdc.wdc_hDC != nullptr) {
      ReleaseDC(hWnd, (HDC)pwnd->wnd_wdc.wdc_hDC);
      pwnd->wnd_wdc.wdc_hDC = nullptr;
      pwnd->wnd_wdc.wdc_ctUses = 0;
    }
    pwnd->wnd_wh.wh_hWnd = nullptr;
    pwnd->wnd_pvPreviousProc = nullptr;
    if (pwnd == _pwndWorkbench) {
      _pwndWorkbench = nullptr;
      OnWorkbenchChanged(nullptr);
    }
    if (pwnd == _pwndChosenFocus) _pwndChosenFocus = nullptr;
    return lr;
  }
  default:
    bEvent = false;
    iResult = 0;
    break;
  }

  if (bEvent) iResult = DeliverEvent(pwnd, we);
  bool bKey =
      uMsg == WM_KEYDOWN || uMsg == WM_KEYUP || uMsg == WM_SYSKEYDOWN || uMsg == WM_SYSKEYUP;
  if (iResult != 0) return bKey ? 0 : 1; // handled, or swallowed by a filter
  // Not handled: a wrapped window's own procedure gets the message (even when the callback
  // deleted the wrapper, the window lives on); the library's own windows swallow characters and
  // close requests, and have nothing to pass on once deleted.
  if (bWrapped) return PassOn(pvPreviousProc, hWnd, uMsg, wParam, lParam);
  if (pwnd->wnd_bDeleted) return 0;
  if (uMsg == WM_CHAR || uMsg == WM_SYSCHAR || uMsg == WM_CLOSE) return 0;
  return PassOn(nullptr, hWnd, uMsg, wParam, lParam);
}

LRESULT CALLBACK LibraryWindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
  CWindow *pwnd = FindRecord(hWnd);
  if (pwnd == nullptr) return DefWindowProcW(hWnd, uMsg, wParam, lParam);
  CWindowPin wp(pwnd);
  try {
    return HandleMessage(pwnd, hWnd, uMsg, wParam, lParam);
  } catch (...) {
    char achWhy[256];
    conErrorF(strTranslate("DOZUWindow.MessageFailed=Window message %1 failed: %2\n"), ARG_UINT,
              uMsg, ARG_TEXT, dbgDescribeCurrentException(achWhy, sizeof(achWhy)));
  }
  return 0;
}

CWindow *NewRecord(void)
{
  void *pv = memMAlloc(sizeof(CWindow));
  return new (pv) CWindow();
}

void AppendRecord(CWindow *pwnd)
{
  _apwndWindows.Push(pwnd);
}

} // namespace

// ---- Private to the window layer ----

namespace WindowPrivate {

void InitEvent(WindowEvent &we, long eType)
{
  we.we_eType = eType;
  we.we_iKind = WEK_NONE;
  we.we_iKID = -1;
  we.we_bRepeat = 0;
  we.we_iScanCode = 0;
  we.we_ulChar = 0;
  we.we_iX = 0;
  we.we_iY = 0;
  we.we_ulKeyStates = 0;
  we.we_rc = CTRect();
  we.we_pwndOther = nullptr;
  we.we_iTimerID = 0;
}

int DeliverEvent(CWindow *pwnd, WindowEvent &we)
{
  if (pwnd == nullptr || pwnd->wnd_bDeleted) return -1;
  switch (we.we_eType) {
  case WET_MOUSE:
    if (!(pwnd->wnd_ulFlags & WNDF_EVENTS) || _bMouseEventsDisabled) return -1;
    if (we.we_iKind == WEK_MOUSEMOVE) {
      if (_ctPaintLocks > 0) return -1;
      if (pwnd->wnd_bMouseSeen && pwnd->wnd_iMouseX == we.we_iX && pwnd->wnd_iMouseY == we.we_iY) {
        we.we_iKind = WEK_MOUSEPROBE; // the system repeats motion when nothing moved
      } else {
        pwnd->wnd_bMouseSeen = 1;
        pwnd->wnd_iMouseX = we.we_iX;
        pwnd->wnd_iMouseY = we.we_iY;
      }
    }
    break;
  case WET_DEFERRED:
    if (!(pwnd->wnd_ulFlags & WNDF_EVENTS) || _ctPaintLocks > 0) return -1;
    break;
  case WET_KEYBOARD:
    if (_bKeyboardEventsDisabled) return -1;
    break;
  case WET_FOCUS: {
    CWindow *pwndChosen = _pwndChosenFocus;
    if (pwndChosen != nullptr && pwndChosen != pwnd && IsUsable(pwndChosen)) {
      SetFocus(HandleOf(pwndChosen));
    }
    if (pwnd->wnd_bDeleted) return -1;
    break;
  }
  default:
    break;
  }
  CWindowPin wp(pwnd);
  return CallCallback(pwnd, we);
}

bool IsDeferredDeliverable(void)
{
  return _bDeferredPending && !_bDeliveringDeferred && _ctPaintLocks <= 0;
}

bool DeliverDeferredEvents(void)
{
  if (!IsDeferredDeliverable()) return false;
  _bDeliveringDeferred = 1;
  _bDeferredPending = 0;
  bool bCalled = false;
  if (_pwndWorkbench != nullptr && !_pwndWorkbench->wnd_bDeleted) {
    WindowEvent we;
    InitEvent(we, WET_BEFOREDEFERRED);
    bCalled = DeliverEvent(_pwndWorkbench, we) >= 0 || bCalled;
  }
  // Callbacks may create and delete windows: walk a pinned copy of the list.
  long ct = _apwndWindows.Count();
  CStaticStackArray<CWindow *> apwnd;
  apwnd.Reserve(ct);
  for (long i = 0; i < ct; i++) {
    apwnd.Push(_apwndWindows[i]);
    _apwndWindows[i]->wnd_ctDispatching++;
  }
  for (long i = 0; i < ct; i++) {
    CWindow *pwnd = apwnd[i];
    if (pwnd->wnd_bDeleted || pwnd->wnd_wh.wh_hWnd == nullptr) continue;
    bool bPaint = !pwnd->wnd_rcPaint.IsEmpty();
    bool bMove = pwnd->wnd_bMovePending != 0;
    if (!bPaint && !bMove) continue;
    if (_ctPaintLocks > 0) {
      // A callback locked painting: the rest waits for the next pass.
      _bDeferredPending = 1;
      break;
    }
    if (bMove) {
      pwnd->wnd_bMovePending = 0;
      WindowEvent we;
      InitEvent(we, WET_DEFERRED);
      we.we_iKind = WEK_MOVED;
      we.we_rc = pwnd->wnd_rcWindow;
      bCalled = DeliverEvent(pwnd, we) >= 0 || bCalled;
    }
    if (bPaint && !pwnd->wnd_bDeleted) {
      WindowEvent we;
      InitEvent(we, WET_DEFERRED);
      we.we_iKind = WEK_PAINT;
      we.we_rc = pwnd->wnd_rcPaint;
      pwnd->wnd_rcPaint = CTRect();
      bCalled = DeliverEvent(pwnd, we) >= 0 || bCalled;
    }
  }
  for (long i = 0; i < ct; i++) {
    CWindow *pwnd = apwnd[i];
    if (--pwnd->wnd_ctDispatching == 0 && pwnd->wnd_bDeleted) FreeRecord(pwnd);
  }
  _bDeliveringDeferred = 0;
  return bCalled;
}

void DeleteAllWindows(void)
{
  // Children before parents: the last created first.
  while (_apwndWindows.Count() > 0) {
    wndDeleteWindow(_apwndWindows[_apwndWindows.Count() - 1]);
  }
  _pwndWorkbench = nullptr;
  _pwndChosenFocus = nullptr;
}

void UnregisterWindowClasses(void)
{
  HINSTANCE hInstance = CoreInstance();
  if (_bClassOwnRegistered) UnregisterClassW(WND_CLASS_OWNBACKGROUND, hInstance);
  if (_bClassDefaultRegistered) UnregisterClassW(WND_CLASS_DEFAULT, hInstance);
  _bClassOwnRegistered = false;
  _bClassDefaultRegistered = false;
}

} // namespace WindowPrivate

// ---- Creation and deletion ----

CWindow *wndCreateWindow(CWindow *pwndParent, const char *strText, const CTRect &rc,
                         unsigned long ulFlags, WindowPlacement wpl)
{
  if ((ulFlags & WNDF_APPLICATION) && pwndParent != nullptr) {
    corLogGuardBreach();
    return nullptr;
  }
  if (pwndParent != nullptr && !IsUsable(pwndParent)) {
    corLogGuardBreach();
    return nullptr;
  }
  if (strText == nullptr) strText = "";
  bool bOwnBackground = (ulFlags & WNDF_OWNBACKGROUND) != 0;
  if (bOwnBackground) {
    RegisterClassOnce(WND_CLASS_OWNBACKGROUND, _bClassOwnRegistered);
  } else {
    RegisterClassOnce(WND_CLASS_DEFAULT, _bClassDefaultRegistered);
  }

  DWORD dwStyle = 0;
  DWORD dwExStyle = 0;
  HWND hParent = nullptr;
  if (ulFlags & WNDF_APPLICATION) {
    if (ulFlags & WNDF_BORDERLESS) {
      dwStyle = WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX;
    } else {
      dwStyle = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
      if (!(ulFlags & WNDF_FIXEDSIZE)) dwStyle |= WS_THICKFRAME | WS_MAXIMIZEBOX;
    }
    dwExStyle = WS_EX_APPWINDOW;
  } else {
    if (pwndParent != nullptr) {
      dwStyle = WS_CHILD;
      hParent = HandleOf(pwndParent);
    } else {
      dwStyle = WS_POPUP;
      hParent = (_pwndWorkbench != nullptr) ? HandleOf(_pwndWorkbench) : nullptr; // the owner
    }
    dwStyle |= WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    if (!(ulFlags & WNDF_BORDERLESS)) {
      dwStyle |= WS_CAPTION | WS_SYSMENU;
      if (!(ulFlags & WNDF_FIXEDSIZE)) dwStyle |= WS_THICKFRAME;
    }
  }

  CWString wstrText = strUTF8ToUTF16(strText);
  HWND hWnd =
      CreateWindowExW(dwExStyle, bOwnBackground ? WND_CLASS_OWNBACKGROUND : WND_CLASS_DEFAULT,
                      (LPCWSTR)wstrText.wstr_String, dwStyle, rc.rc_iLeft, rc.rc_iTop, rc.Width(),
                      rc.Height(), hParent, nullptr, CoreInstance(), nullptr);
  if (hWnd == nullptr)
    conFatalErrorF(strTranslate("DOZUWindow.CreateWindow=Could not create window '%1'"), ARG_TEXT,
                   strText);

  CWindow *pwnd = NewRecord();
  pwnd->wnd_ulFlags = ulFlags;
  pwnd->wnd_rcAdjustment = FrameAdjustment(dwStyle, dwExStyle);
  pwnd->wnd_strText = strText;
  pwnd->wnd_pwndParent = pwndParent;
  pwnd->wnd_wh.wh_hWnd = hWnd;
  AppendRecord(pwnd);
  PlaceWindow(pwnd, rc, wpl);
  // Its first deferred event tells the window where it is, even if placing it moved nothing.
  pwnd->wnd_bMovePending = 1;
  _bDeferredPending = 1;
  if (ulFlags & WNDF_MINIMIZED) ShowWindow(hWnd, SW_SHOWMINNOACTIVE);
  return pwnd;
}

CWindow *wndCreateWindow(CWindow *pwndParent, const char *strText, long iX, long iY, long iWidth,
                         long iHeight, unsigned long ulFlags, WindowPlacement wpl)
{
  return wndCreateWindow(pwndParent, strText, CTRect(iX, iY, iX + iWidth, iY + iHeight), ulFlags,
                         wpl);
}

CWindow *wndCreateWorkbench(const char *strText, const CTRect &rc, unsigned long ulFlags,
                            WindowPlacement wpl)
{
  CWindow *pwnd = wndCreateWindow(nullptr, strText, rc, ulFlags, wpl);
  if (pwnd == nullptr) return nullptr;
  wndSetWorkbench(pwnd);
  wndSetWindowEventCallback(pwnd, wndDefaultEventCallback, nullptr);
  return pwnd;
}

void wndSetWorkbench(CWindow *pwnd)
{
  if (pwnd != nullptr && !IsUsable(pwnd)) {
    corLogGuardBreach();
    return;
  }
  _pwndWorkbench = pwnd;
  OnWorkbenchChanged(HandleOf(pwnd));
}

CWindow *wndGetWorkbench(void)
{
  return _pwndWorkbench;
}

void wndDeleteWindow(CWindow *pwnd)
{
  if (pwnd == nullptr) return;
  long iIndex = IndexOf(pwnd);
  if (iIndex < 0) {
    // Deleted already (or never ours): the pointer is not even read.
    corLogGuardBreach();
    return;
  }
  // Out of the list first: the messages that destroying sends go to the system.
  _apwndWindows.Delete(iIndex);
  if (pwnd == _pwndWorkbench) {
    _pwndWorkbench = nullptr;
    OnWorkbenchChanged(nullptr);
  }
  if (pwnd == _pwndChosenFocus) _pwndChosenFocus = nullptr;
  for (long i = 0; i < _apwndWindows.Count(); i++) {
    if (_apwndWindows[i]->wnd_pwndParent == pwnd) _apwndWindows[i]->wnd_pwndParent = nullptr;
  }

  HWND hWnd = HandleOf(pwnd);
  pwnd->wnd_wh.wh_hWnd = nullptr;
  if (hWnd != nullptr) {
    if (pwnd->wnd_wdc.wdc_hDC != nullptr) ReleaseDC(hWnd, (HDC)pwnd->wnd_wdc.wdc_hDC);
    if (pwnd->wnd_pvPreviousProc != nullptr) {
      // A wrapped window lives on with its own procedure.
      if (IsWindow(hWnd)) SetWindowLongPtrW(hWnd, GWLP_WNDPROC, (LONG_PTR)pwnd->wnd_pvPreviousProc);
    } else {
      DestroyWindow(hWnd);
    }
  }
  pwnd->wnd_wdc.wdc_hDC = nullptr;
  pwnd->wnd_wdc.wdc_ctUses = 0;
  pwnd->wnd_pvPreviousProc = nullptr;
  if (pwnd->wnd_ctDispatching > 0) {
    pwnd->wnd_bDeleted = 1;
  } else {
    FreeRecord(pwnd);
  }
}

CWindow *wndWindowFromWindow(const WindowHandle &wh, unsigned long ulFlags)
{
  HWND hWnd = (HWND)wh.wh_hWnd;
  if (hWnd == nullptr || !IsWindow(hWnd)) return nullptr;
  CWindow *pwnd = FindRecord(hWnd);
  if (pwnd != nullptr) return pwnd;
  // Only a window of this thread can be given another procedure.
  if (GetWindowThreadProcessId(hWnd, nullptr) != GetCurrentThreadId()) {
    corLogGuardBreach();
    return nullptr;
  }
  pwnd = NewRecord();
  pwnd->wnd_ulFlags = ulFlags & ~(unsigned long)WNDF_APPLICATION;
  DWORD dwStyle = (DWORD)GetWindowLongW(hWnd, GWL_STYLE);
  DWORD dwExStyle = (DWORD)GetWindowLongW(hWnd, GWL_EXSTYLE);
  pwnd->wnd_rcAdjustment = FrameAdjustment(dwStyle, dwExStyle);
  int ctText = GetWindowTextLengthW(hWnd);
  if (ctText > 0) {
    CStaticStackArray<wchar_t> awch;
    awch.Push((long)(ctText + 1));
    GetWindowTextW(hWnd, &awch[0], ctText + 1);
    pwnd->wnd_strText = strUTF16ToUTF8((const unsigned short *)&awch[0]);
  }
  pwnd->wnd_pwndParent = (dwStyle & WS_CHILD) ? FindRecord(GetParent(hWnd)) : nullptr;
  pwnd->wnd_wh.wh_hWnd = hWnd;
  AppendRecord(pwnd);
  pwnd->wnd_pvPreviousProc =
      (void *)SetWindowLongPtrW(hWnd, GWLP_WNDPROC, (LONG_PTR)LibraryWindowProc);
  UpdateStoredRects(pwnd);
  return pwnd;
}

void wndEnumerateWindows(CStaticStackArray<CWindow *> &apwnd)
{
  apwnd.PopAll();
  for (long i = 0; i < _apwndWindows.Count(); i++) apwnd.Push(_apwndWindows[i]);
}

// ---- Appearance and state ----

void wndSetWindowText(CWindow *pwnd, const char *strText)
{
  WND_REQUIRE(pwnd);
  if (strText == nullptr) strText = "";
  pwnd->wnd_strText = strText;
  CWString wstr = strUTF8ToUTF16(strText);
  SetWindowTextW(HandleOf(pwnd), (LPCWSTR)wstr.wstr_String);
}

CString wndGetWindowText(CWindow *pwnd)
{
  WND_REQUIRE(pwnd, CString());
  return pwnd->wnd_strText;
}

void wndShowWindow(CWindow *pwnd)
{
  WND_REQUIRE(pwnd);
  ShowWindow(HandleOf(pwnd), SW_SHOW);
}

void wndHideWindow(CWindow *pwnd)
{
  WND_REQUIRE(pwnd);
  ShowWindow(HandleOf(pwnd), SW_HIDE);
}

void wndRestoreWindow(CWindow *pwnd)
{
  WND_REQUIRE(pwnd);
  ShowWindow(HandleOf(pwnd), SW_RESTORE);
}

void wndMaximizeWindow(CWindow *pwnd)
{
  WND_REQUIRE(pwnd);
  ShowWindow(HandleOf(pwnd), SW_MAXIMIZE);
}

void wndMinimizeWindow(CWindow *pwnd)
{
  WND_REQUIRE(pwnd);
  ShowWindow(HandleOf(pwnd), SW_MINIMIZE);
}

int wndIsMaximized(CWindow *pwnd)
{
  WND_REQUIRE(pwnd, 0);
  return IsZoomed(HandleOf(pwnd)) ? 1 : 0;
}

int wndIsMinimized(CWindow *pwnd)
{
  WND_REQUIRE(pwnd, 0);
  return IsIconic(HandleOf(pwnd)) ? 1 : 0;
}

int wndIsVisible(CWindow *pwnd)
{
  WND_REQUIRE(pwnd, 0);
  return IsWindowVisible(HandleOf(pwnd)) ? 1 : 0;
}

void wndInvalidateWindow(CWindow *pwnd)
{
  WND_REQUIRE(pwnd);
  InvalidateRect(HandleOf(pwnd), nullptr, TRUE);
}

void wndSetWindowZOrder(CWindow *pwnd, WindowZOrder wzo)
{
  WND_REQUIRE(pwnd);
  HWND hAfter = HWND_TOP;
  switch (wzo) {
  case WZO_BOTTOM:
    hAfter = HWND_BOTTOM;
    break;
  case WZO_TOPMOST:
    hAfter = HWND_TOPMOST;
    break;
  case WZO_NOTOPMOST:
    hAfter = HWND_NOTOPMOST;
    break;
  default:
    break;
  }
  SetWindowPos(HandleOf(pwnd), hAfter, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void wndSetParent(CWindow *pwnd, CWindow *pwndParent)
{
  WND_REQUIRE(pwnd);
  if (pwndParent != nullptr) {
    if (!IsUsable(pwndParent) || (pwnd->wnd_ulFlags & WNDF_APPLICATION)) {
      corLogGuardBreach();
      return;
    }
    for (CWindow *pwndUp = pwndParent; pwndUp != nullptr; pwndUp = pwndUp->wnd_pwndParent) {
      if (pwndUp == pwnd) {
        corLogGuardBreach();
        return;
      }
    }
  }
  HWND hWnd = HandleOf(pwnd);
  LONG lStyle = GetWindowLongW(hWnd, GWL_STYLE);
  if (pwndParent != nullptr) {
    SetWindowLongW(hWnd, GWL_STYLE, (lStyle & ~WS_POPUP) | WS_CHILD);
    SetParent(hWnd, HandleOf(pwndParent));
  } else {
    SetParent(hWnd, nullptr);
    SetWindowLongW(hWnd, GWL_STYLE, (lStyle & ~WS_CHILD) | WS_POPUP);
  }
  pwnd->wnd_pwndParent = pwndParent;
  SetWindowPos(hWnd, nullptr, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  UpdateStoredRects(pwnd);
}

CWindow *wndGetParent(CWindow *pwnd)
{
  WND_REQUIRE(pwnd, nullptr);
  return pwnd->wnd_pwndParent;
}

void wndResizeWindow(CWindow *pwnd, const CTRect &rc, WindowPlacement wpl)
{
  WND_REQUIRE(pwnd);
  PlaceWindow(pwnd, rc, wpl);
}

CTRect wndGetWindowRect(CWindow *pwnd)
{
  WND_REQUIRE(pwnd, CTRect());
  return ReadWindowRect(HandleOf(pwnd));
}

CTRect wndGetWindowClientRect(CWindow *pwnd)
{
  WND_REQUIRE(pwnd, CTRect());
  return ReadClientRect(HandleOf(pwnd));
}

CTRect wndGetWindowAdjustmentRect(CWindow *pwnd)
{
  WND_REQUIRE(pwnd, CTRect());
  return pwnd->wnd_rcAdjustment;
}

unsigned long wndGetWindowFlags(CWindow *pwnd)
{
  WND_REQUIRE(pwnd, 0);
  return pwnd->wnd_ulFlags;
}

WindowHandle wndGetWindowHandle(CWindow *pwnd)
{
  WindowHandle wh = {nullptr};
  if (pwnd != nullptr && IndexOf(pwnd) >= 0) wh = pwnd->wnd_wh;
  return wh;
}

void *wndGetWindowDC(CWindow *pwnd)
{
  WND_REQUIRE(pwnd, nullptr);
  WindowDC &wdc = pwnd->wnd_wdc;
  if (wdc.wdc_hDC == nullptr) {
    wdc.wdc_hDC = GetDC(HandleOf(pwnd));
    if (wdc.wdc_hDC == nullptr) return nullptr;
    wdc.wdc_ctUses = 0;
  }
  wdc.wdc_ctUses++;
  return wdc.wdc_hDC;
}

void wndReleaseWindowDC(CWindow *pwnd)
{
  WND_REQUIRE(pwnd);
  WindowDC &wdc = pwnd->wnd_wdc;
  if (wdc.wdc_hDC == nullptr || wdc.wdc_ctUses <= 0) {
    corLogGuardBreach();
    return;
  }
  if (--wdc.wdc_ctUses == 0) {
    ReleaseDC(HandleOf(pwnd), (HDC)wdc.wdc_hDC);
    wdc.wdc_hDC = nullptr;
  }
}

void wndEnumerateWindowChildren(CWindow *pwnd, CStaticStackArray<CWindow *> &apwnd)
{
  apwnd.PopAll();
  WND_REQUIRE(pwnd);
  for (long i = 0; i < _apwndWindows.Count(); i++) {
    if (_apwndWindows[i]->wnd_pwndParent == pwnd) apwnd.Push(_apwndWindows[i]);
  }
}

CWindow *wndWindowFromPoint(long iX, long iY)
{
  POINT pt = {iX, iY};
  HWND hWnd = WindowFromPoint(pt);
  // A control inside a library window belongs to the library window around it.
  for (; hWnd != nullptr; hWnd = GetAncestor(hWnd, GA_PARENT)) {
    CWindow *pwnd = FindRecord(hWnd);
    if (pwnd != nullptr) return pwnd;
  }
  return nullptr;
}

void wndScreenToClient(CWindow *pwnd, long &iX, long &iY)
{
  WND_REQUIRE(pwnd);
  POINT pt = {iX, iY};
  ScreenToClient(HandleOf(pwnd), &pt);
  iX = pt.x;
  iY = pt.y;
}

void wndClientToScreen(CWindow *pwnd, long &iX, long &iY)
{
  WND_REQUIRE(pwnd);
  POINT pt = {iX, iY};
  ClientToScreen(HandleOf(pwnd), &pt);
  iX = pt.x;
  iY = pt.y;
}

static BOOL CALLBACK AddMonitor(HMONITOR hMonitor, HDC, LPRECT, LPARAM lParam)
{
  CStaticStackArray<MonitorInfo> &ami = *(CStaticStackArray<MonitorInfo> *)lParam;
  MONITORINFOEXW mi = {};
  mi.cbSize = sizeof(mi);
  if (!GetMonitorInfoW(hMonitor, &mi)) return TRUE;
  MonitorInfo &info = ami.Push();
  info.mi_rcMonitor = FromRECT(mi.rcMonitor);
  info.mi_rcWork = FromRECT(mi.rcWork);
  info.mi_bPrimary = (mi.dwFlags & MONITORINFOF_PRIMARY) ? 1 : 0;
  info.mi_strName = strUTF16ToUTF8((const unsigned short *)mi.szDevice);
  return TRUE;
}

void wndEnumerateMonitors(CStaticStackArray<MonitorInfo> &ami)
{
  ami.PopAll();
  EnumDisplayMonitors(nullptr, nullptr, AddMonitor, (LPARAM)&ami);
}

// ---- Focus ----

CWindow *wndGetFocus(void)
{
  return FindRecord(GetFocus());
}

void wndSetKeyboardFocus(CWindow *pwnd)
{
  if (pwnd != nullptr && !IsUsable(pwnd)) {
    corLogGuardBreach();
    return;
  }
  _pwndChosenFocus = pwnd;
  if (pwnd != nullptr) SetFocus(HandleOf(pwnd));
}

void wndRestoreKeyboardFocus(void)
{
  CWindow *pwnd = _pwndChosenFocus != nullptr ? _pwndChosenFocus : _pwndWorkbench;
  if (IsUsable(pwnd)) SetFocus(HandleOf(pwnd));
}

// ---- Events ----

void wndSetWindowEventCallback(CWindow *pwnd, WindowEventCallback pCallback, void *pvData)
{
  if (pwnd == nullptr || IndexOf(pwnd) < 0) {
    corLogGuardBreach();
    return;
  }
  pwnd->wnd_pCallback = pCallback;
  pwnd->wnd_pvCallbackData = pvData;
}

int wndDefaultEventCallback(CWindow &wnd, const WindowEvent &we, void *pvData)
{
  (void)pvData;
  if (we.we_eType != WET_CLOSE) return 0;
  wndDeleteWindow(&wnd);
  return 1;
}

void wndEnableMouseEvents(void)
{
  _bMouseEventsDisabled = 0;
}

void wndDisableMouseEvents(void)
{
  _bMouseEventsDisabled = 1;
}

int wndAreMouseEventsDisabled(void)
{
  return _bMouseEventsDisabled;
}

void wndEnableKeyboardEvents(void)
{
  _bKeyboardEventsDisabled = 0;
}

void wndDisableKeyboardEvents(void)
{
  _bKeyboardEventsDisabled = 1;
}

int wndAreKeyboardEventsDisabled(void)
{
  return _bKeyboardEventsDisabled;
}

// ---- Mouse and cursor ----

void wndCaptureMouse(CWindow *pwnd)
{
  WND_REQUIRE(pwnd);
  SetCapture(HandleOf(pwnd));
}

void wndReleaseMouse(void)
{
  ReleaseCapture();
}

void wndGetCursorPos(long &iX, long &iY)
{
  POINT pt = {0, 0};
  GetCursorPos(&pt);
  iX = pt.x;
  iY = pt.y;
}

void wndSetCursorPos(long iX, long iY)
{
  SetCursorPos(iX, iY);
}

void wndShowCursor(void)
{
  // The system counts; the library keeps it at one level so that show and hide pair up.
  if (!_bCursorHidden) return;
  _bCursorHidden = 0;
  ShowCursor(TRUE);
}

void wndHideCursor(void)
{
  if (_bCursorHidden) return;
  _bCursorHidden = 1;
  ShowCursor(FALSE);
}

int wndIsCursorVisible(void)
{
  return _bCursorHidden ? 0 : 1;
}

void wndClipCursor(const CTRect &rc)
{
  RECT r = {rc.rc_iLeft, rc.rc_iTop, rc.rc_iRight, rc.rc_iBottom};
  ClipCursor(&r);
}

void wndUnclipCursor(void)
{
  ClipCursor(nullptr);
}

CursorHandle wndCreateCursor(CursorType cut)
{
  LPCWSTR wstrID = (LPCWSTR)IDC_ARROW;
  switch (cut) {
  case CUT_WAIT:
    wstrID = (LPCWSTR)IDC_WAIT;
    break;
  case CUT_CROSS:
    wstrID = (LPCWSTR)IDC_CROSS;
    break;
  case CUT_IBEAM:
    wstrID = (LPCWSTR)IDC_IBEAM;
    break;
  case CUT_HAND:
    wstrID = (LPCWSTR)IDC_HAND;
    break;
  case CUT_SIZEALL:
    wstrID = (LPCWSTR)IDC_SIZEALL;
    break;
  case CUT_NO:
    wstrID = (LPCWSTR)IDC_NO;
    break;
  default:
    break;
  }
  return (CursorHandle)LoadCursorW(nullptr, wstrID);
}

CursorHandle wndCreateCursor(const unsigned long *pulPixels, long iWidth, long iHeight, long iHotX,
                             long iHotY)
{
  if (pulPixels == nullptr || iWidth <= 0 || iHeight <= 0) {
    corLogGuardBreach();
    return nullptr;
  }
  BITMAPV5HEADER bh = {};
  bh.bV5Size = sizeof(bh);
  bh.bV5Width = iWidth;
  bh.bV5Height = -iHeight; // rows top first
  bh.bV5Planes = 1;
  bh.bV5BitCount = 32;
  bh.bV5Compression = BI_BITFIELDS;
  bh.bV5RedMask = 0x00FF0000;
  bh.bV5GreenMask = 0x0000FF00;
  bh.bV5BlueMask = 0x000000FF;
  bh.bV5AlphaMask = 0xFF000000;
  void *pvBits = nullptr;
  HDC hdc = GetDC(nullptr);
  HBITMAP hbmColor = CreateDIBSection(hdc, (BITMAPINFO *)&bh, DIB_RGB_COLORS, &pvBits, nullptr, 0);
  ReleaseDC(nullptr, hdc);
  if (hbmColor == nullptr || pvBits == nullptr) return nullptr;
  memcpy(pvBits, pulPixels, (size_t)iWidth * (size_t)iHeight * 4);
  // The alpha channel decides; the mask only has to exist.
  HBITMAP hbmMask = CreateBitmap(iWidth, iHeight, 1, 1, nullptr);
  ICONINFO ii = {};
  ii.fIcon = FALSE;
  ii.xHotspot = (DWORD)iHotX;
  ii.yHotspot = (DWORD)iHotY;
  ii.hbmMask = hbmMask;
  ii.hbmColor = hbmColor;
  HICON hCursor = CreateIconIndirect(&ii);
  DeleteObject(hbmColor);
  if (hbmMask != nullptr) DeleteObject(hbmMask);
  return (CursorHandle)hCursor;
}

void wndDeleteCursor(CursorHandle hCursor)
{
  if (hCursor == nullptr) return;
  if ((HCURSOR)hCursor == _hCursor) wndSetCursor(LoadCursorW(nullptr, (LPCWSTR)IDC_ARROW));
  // Shared system shapes refuse to be destroyed, which is what they need.
  DestroyCursor((HCURSOR)hCursor);
}

void wndSetCursor(CursorHandle hCursor)
{
  _hCursor = (HCURSOR)hCursor;
  _bCursorChosen = true;
  // Takes effect at once when the cursor is over a library window.
  POINT pt;
  if (GetCursorPos(&pt)) {
    for (HWND hWnd = WindowFromPoint(pt); hWnd != nullptr; hWnd = GetAncestor(hWnd, GA_PARENT)) {
      CWindow *pwnd = FindRecord(hWnd);
      if (pwnd == nullptr) continue;
      if (pwnd->wnd_pvPreviousProc == nullptr) SetCursor(_hCursor);
      break;
    }
  }
}

void wndIssueMouseProbeEvent(long iX, long iY)
{
  CWindow *pwnd = wndWindowFromPoint(iX, iY);
  if (pwnd == nullptr) return;
  POINT pt = {iX, iY};
  ScreenToClient(HandleOf(pwnd), &pt);
  PostMessageW(HandleOf(pwnd), SYSMSG_PROBE, 0, MAKELPARAM((WORD)(short)pt.x, (WORD)(short)pt.y));
}

// ---- Painting ----

void wndLockPaintEvents(void)
{
  __atomic_add_fetch(&_ctPaintLocks, 1, __ATOMIC_SEQ_CST);
}

void wndUnlockPaintEvents(void)
{
  long ct = __atomic_sub_fetch(&_ctPaintLocks, 1, __ATOMIC_SEQ_CST);
  if (ct < 0) {
    __atomic_add_fetch(&_ctPaintLocks, 1, __ATOMIC_SEQ_CST);
    corLogGuardBreach();
  }
}

long wndGetPaintLockCount(void)
{
  return __atomic_load_n(&_ctPaintLocks, __ATOMIC_SEQ_CST);
}

} // namespace QuennelEngine
