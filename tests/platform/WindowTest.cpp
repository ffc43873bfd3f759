// Windows driven with real messages posted to their queue and dispatched by sysUpdate.
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

using namespace QuennelEngine;
using namespace QuennelEngine::Test;

namespace {

// Collects the events a window's callback sees; the callback returns el_iResult.
struct EventLog {
  std::vector<WindowEvent> el_awe;
  int el_iResult = 1;

  static int Record(CWindow &, const WindowEvent &we, void *pvData)
  {
    EventLog *pel = (EventLog *)pvData;
    pel->el_awe.push_back(we);
    return pel->el_iResult;
  }
  long Count(long eType, long eKind = -1) const
  {
    long ct = 0;
    for (const WindowEvent &we : el_awe) {
      if (we.we_eType == eType && (eKind < 0 || we.we_iKind == eKind)) ct++;
    }
    return ct;
  }
  const WindowEvent *Last(long eType) const
  {
    for (size_t i = el_awe.size(); i-- > 0;) {
      if (el_awe[i].we_eType == eType) return &el_awe[i];
    }
    return nullptr;
  }
};

HWND HwndOf(CWindow *pwnd)
{
  return (HWND)wndGetWindowHandle(pwnd).wh_hWnd;
}

// Runs the loop until the condition holds or the time is up.
template <class F> bool PumpUntil(F fnDone, DWORD dwMilliseconds = 2000)
{
  DWORD dwStart = GetTickCount();
  for (;;) {
    sysUpdate();
    if (fnDone()) return true;
    if (GetTickCount() - dwStart > dwMilliseconds) return false;
    Sleep(1);
  }
}

// lParam of a key message: repeat count 1, scan code, extended flag, previous state.
LPARAM KeyLParam(UINT uScanCode, bool bExtended, bool bWasDown)
{
  LPARAM l = 1 | ((LPARAM)(uScanCode & 0xFF) << 16);
  if (bExtended) l |= (LPARAM)1 << 24;
  if (bWasDown) l |= (LPARAM)1 << 30;
  return l;
}

bool IsListed(CWindow *pwnd)
{
  CStaticStackArray<CWindow *> apwnd;
  wndEnumerateWindows(apwnd);
  for (CWindow *p : apwnd) {
    if (p == pwnd) return true;
  }
  return false;
}

class Windows : public testing::Test {
protected:
  void SetUp() override { wndStartWindowSystemService(); }
  void TearDown() override
  {
    wndStopWindowSystemService();
    wndEnableMouseEvents();
    wndEnableKeyboardEvents();
    sysUpdate();
  }
  // A window that takes every kind of event, recording into `el`.
  CWindow *EventWindow(EventLog &el, long iX = 100, long iY = 100)
  {
    CWindow *pwnd = wndCreateWindow(nullptr, "events", iX, iY, 200, 150, WNDF_EVENTS, WPL_WINDOW);
    wndSetWindowEventCallback(pwnd, EventLog::Record, &el);
    return pwnd;
  }
};

} // namespace

TEST_F(Windows, CreationFlagsPlacementAndGetters)
{
  CWindow *pwndBench =
      wndCreateWorkbench("Bench", CTRect(50, 60, 450, 360), WNDF_APPLICATION, WPL_WINDOW);
  ASSERT_NE(pwndBench, nullptr);
  EXPECT_EQ(wndGetWorkbench(), pwndBench);
  EXPECT_EQ(pwndBench->wnd_pCallback, wndDefaultEventCallback);
  EXPECT_EQ(wndGetWindowRect(pwndBench), CTRect(50, 60, 450, 360));
  CTRect rcAdjust = wndGetWindowAdjustmentRect(pwndBench);
  EXPECT_LT(rcAdjust.rc_iTop, rcAdjust.rc_iLeft); // a caption above, a frame around
  EXPECT_GT(rcAdjust.rc_iRight, 0);
  EXPECT_EQ(wndGetWindowFlags(pwndBench), (unsigned long)WNDF_APPLICATION);

  // An application window cannot have a parent.
  CGuardBreachCounter gbc;
  EXPECT_EQ(wndCreateWindow(pwndBench, "bad", CTRect(0, 0, 10, 10), WNDF_APPLICATION, WPL_WINDOW),
            nullptr);
  EXPECT_EQ(gbc.Count(), 1);

  // The client placement puts the client area exactly on the rectangle.
  CWindow *pwnd = wndCreateWindow(nullptr, "Ünïcode text", 120, 130, 300, 200, 0, WPL_CLIENT);
  ASSERT_NE(pwnd, nullptr);
  EXPECT_EQ(wndGetWindowClientRect(pwnd), CTRect(0, 0, 300, 200));
  long iX = 0;
  long iY = 0;
  wndClientToScreen(pwnd, iX, iY);
  EXPECT_EQ(iX, 120);
  EXPECT_EQ(iY, 130);
  wndScreenToClient(pwnd, iX, iY);
  EXPECT_EQ(iX, 0);
  EXPECT_EQ(iY, 0);
  EXPECT_STREQ(wndGetWindowText(pwnd), "Ünïcode text");
  wchar_t awch[64];
  GetWindowTextW(HwndOf(pwnd), awch, 64);
  EXPECT_STREQ(awch, L"Ünïcode text");
  wndSetWindowText(pwnd, "renamed");
  EXPECT_STREQ(wndGetWindowText(pwnd), "renamed");
  // A pop-up is owned by the workbench.
  EXPECT_EQ(GetWindow(HwndOf(pwnd), GW_OWNER), HwndOf(pwndBench));

  // Borderless: no frame; adjusted placement = the rectangle widened by the frame.
  CWindow *pwndPlain =
      wndCreateWindow(nullptr, "plain", 10, 10, 50, 40, WNDF_BORDERLESS, WPL_ADJUSTED);
  EXPECT_EQ(wndGetWindowAdjustmentRect(pwndPlain), CTRect());
  EXPECT_EQ(wndGetWindowRect(pwndPlain), CTRect(10, 10, 60, 50));

  CWindow *pwndChild = wndCreateWindow(pwnd, "child", 5, 6, 40, 30, WNDF_BORDERLESS, WPL_WINDOW);
  EXPECT_EQ(wndGetParent(pwndChild), pwnd);
  EXPECT_EQ(wndGetWindowRect(pwndChild), CTRect(5, 6, 45, 36)); // in the parent's client area
  CStaticStackArray<CWindow *> apwnd;
  wndEnumerateWindowChildren(pwnd, apwnd);
  ASSERT_EQ(apwnd.Count(), 1);
  EXPECT_EQ(apwnd[0], pwndChild);

  CWindow *pwndMin = wndCreateWindow(nullptr, "min", 0, 0, 100, 100, WNDF_MINIMIZED, WPL_WINDOW);
  EXPECT_TRUE(wndIsMinimized(pwndMin));
  wndRestoreWindow(pwndMin);
  EXPECT_FALSE(wndIsMinimized(pwndMin));
  wndMaximizeWindow(pwndMin);
  EXPECT_TRUE(wndIsMaximized(pwndMin));

  wndResizeWindow(pwndPlain, CTRect(20, 30, 120, 80));
  EXPECT_EQ(wndGetWindowRect(pwndPlain), CTRect(20, 30, 120, 80));
  wndSetParent(pwndPlain, pwnd);
  EXPECT_EQ(wndGetParent(pwndPlain), pwnd);
  EXPECT_NE(GetWindowLongW(HwndOf(pwndPlain), GWL_STYLE) & WS_CHILD, 0);
  // A window cannot become a child of its own child.
  gbc = CGuardBreachCounter();
  wndSetParent(pwnd, pwndChild);
  EXPECT_EQ(gbc.Count(), 1);
  EXPECT_EQ(wndGetParent(pwnd), nullptr);

  void *pvDC = wndGetWindowDC(pwnd);
  EXPECT_NE(pvDC, nullptr);
  EXPECT_EQ(wndGetWindowDC(pwnd), pvDC); // lent out again, counted
  wndReleaseWindowDC(pwnd);
  wndReleaseWindowDC(pwnd);
  gbc = CGuardBreachCounter();
  wndReleaseWindowDC(pwnd);
  EXPECT_EQ(gbc.Count(), 1);

  CStaticStackArray<MonitorInfo> ami;
  wndEnumerateMonitors(ami);
  ASSERT_GE(ami.Count(), 1);
  bool bPrimary = false;
  for (const MonitorInfo &mi : ami) bPrimary = bPrimary || mi.mi_bPrimary;
  EXPECT_TRUE(bPrimary);
}

TEST_F(Windows, DeletionFromCallbacksAndOfParentsAndTheWorkbench)
{
  CWindow *pwndBench =
      wndCreateWorkbench("Bench", CTRect(0, 0, 300, 200), WNDF_APPLICATION, WPL_WINDOW);
  // The default callback deletes a window asked to close; only the close request does that.
  CWindow *pwnd = wndCreateWindow(nullptr, "closing", 10, 10, 100, 100, 0, WPL_WINDOW);
  wndSetWindowEventCallback(pwnd, wndDefaultEventCallback, nullptr);
  WindowEvent we = {};
  we.we_eType = WET_FOCUS;
  EXPECT_EQ(wndDefaultEventCallback(*pwnd, we, nullptr), 0);
  EXPECT_TRUE(IsListed(pwnd));
  HWND hWnd = HwndOf(pwnd);
  PostMessageW(hWnd, WM_CLOSE, 0, 0);
  EXPECT_TRUE(PumpUntil([&] { return !IsWindow(hWnd); }));
  EXPECT_FALSE(IsListed(pwnd));

  // Inside its own callback a deleted window's record stays readable, marked as gone.
  struct Probe {
    long pr_bDeletedSeen = -1;
    void *pr_pvHandleSeen = (void *)1;
  } pr;
  pwnd = wndCreateWindow(nullptr, "self-deleting", 10, 10, 100, 100, 0, WPL_WINDOW);
  wndSetWindowEventCallback(
      pwnd,
      [](CWindow &wnd, const WindowEvent &we, void *pv) -> int {
        if (we.we_eType != WET_CLOSE) return 0;
        wndDeleteWindow(&wnd);
        ((Probe *)pv)->pr_bDeletedSeen = wnd.wnd_bDeleted;
        ((Probe *)pv)->pr_pvHandleSeen = wnd.wnd_wh.wh_hWnd;
        return 0; // not handled: nothing may be passed on for it
      },
      &pr);
  hWnd = HwndOf(pwnd);
  PostMessageW(hWnd, WM_CLOSE, 0, 0);
  EXPECT_TRUE(PumpUntil([&] { return pr.pr_bDeletedSeen >= 0; }));
  EXPECT_EQ(pr.pr_bDeletedSeen, 1);
  EXPECT_EQ(pr.pr_pvHandleSeen, nullptr);
  EXPECT_FALSE(IsWindow(hWnd));

  // Deleting twice is refused without touching the pointer.
  CGuardBreachCounter gbc;
  wndDeleteWindow(pwnd);
  EXPECT_EQ(gbc.Count(), 1);

  // A parent's deletion destroys the child's system window; the child's record stays usable
  // (doing nothing) until it is deleted.
  CWindow *pwndParent = wndCreateWindow(nullptr, "parent", 10, 10, 100, 100, 0, WPL_WINDOW);
  CWindow *pwndChild = wndCreateWindow(pwndParent, "child", 0, 0, 10, 10, 0, WPL_WINDOW);
  HWND hChild = HwndOf(pwndChild);
  wndDeleteWindow(pwndParent);
  EXPECT_FALSE(IsWindow(hChild));
  EXPECT_TRUE(IsListed(pwndChild));
  EXPECT_EQ(wndGetWindowHandle(pwndChild).wh_hWnd, nullptr);
  EXPECT_EQ(pwndChild->wnd_pwndParent, nullptr);
  wndShowWindow(pwndChild);
  EXPECT_EQ(wndGetWindowRect(pwndChild), CTRect());
  wndDeleteWindow(pwndChild);
  EXPECT_FALSE(IsListed(pwndChild));

  // The workbench closed by the user: the pointer is cleared, its pop-ups go with it.
  CWindow *pwndPopup = wndCreateWindow(nullptr, "popup", 10, 10, 100, 100, 0, WPL_WINDOW);
  HWND hBench = HwndOf(pwndBench);
  PostMessageW(hBench, WM_CLOSE, 0, 0);
  EXPECT_TRUE(PumpUntil([&] { return wndGetWorkbench() == nullptr; }));
  EXPECT_FALSE(IsWindow(hBench));
  EXPECT_EQ(wndGetWindowHandle(pwndPopup).wh_hWnd, nullptr);
  wndDeleteWindow(pwndPopup);
}

namespace {

// A foreign window's own procedure: counts what reaches it.
long _ctForeignMessages = 0;
long _ctForeignCloses = 0;
LRESULT CALLBACK ForeignProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
  if (uMsg == WM_USER + 100) {
    _ctForeignMessages++;
    return 77;
  }
  if (uMsg == WM_CLOSE) {
    _ctForeignCloses++;
    return 0;
  }
  return DefWindowProcW(hWnd, uMsg, wParam, lParam);
}

} // namespace

TEST_F(Windows, WrappedForeignWindowsGetTheirProcedureBack)
{
  _ctForeignMessages = 0;
  _ctForeignCloses = 0;
  WNDCLASSW wc = {};
  wc.lpfnWndProc = ForeignProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"QeForeignTestClass";
  RegisterClassW(&wc);
  HWND hForeign = CreateWindowExW(0, L"QeForeignTestClass", L"Foreign", WS_OVERLAPPEDWINDOW, 0, 0,
                                  200, 100, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(hForeign, nullptr);
  WindowHandle wh = {hForeign};
  CWindow *pwnd = wndWindowFromWindow(wh, WNDF_EVENTS);
  ASSERT_NE(pwnd, nullptr);
  EXPECT_EQ(wndWindowFromWindow(wh), pwnd); // the same record the second time
  EXPECT_STREQ(wndGetWindowText(pwnd), "Foreign");
  EXPECT_NE(pwnd->wnd_pvPreviousProc, nullptr);

  EventLog el;
  el.el_iResult = 0; // not handled: the foreign procedure gets what the library passes on
  wndSetWindowEventCallback(pwnd, EventLog::Record, &el);
  EXPECT_EQ(SendMessageW(hForeign, WM_USER + 100, 0, 0), 77);
  EXPECT_EQ(_ctForeignMessages, 1);
  PostMessageW(hForeign, WM_CLOSE, 0, 0);
  EXPECT_TRUE(PumpUntil([&] { return _ctForeignCloses == 1; }));
  EXPECT_EQ(el.Count(WET_CLOSE), 1);

  // Deleting the wrapper gives the window back; the window itself lives on.
  wndDeleteWindow(pwnd);
  EXPECT_TRUE(IsWindow(hForeign));
  EXPECT_EQ((WNDPROC)GetWindowLongPtrW(hForeign, GWLP_WNDPROC), ForeignProc);
  SendMessageW(hForeign, WM_USER + 100, 0, 0);
  EXPECT_EQ(_ctForeignMessages, 2);
  DestroyWindow(hForeign);
  UnregisterClassW(L"QeForeignTestClass", GetModuleHandleW(nullptr));
  WindowHandle whNone = {nullptr};
  EXPECT_EQ(wndWindowFromWindow(whNone), nullptr);
}

TEST_F(Windows, KeysFromScanCodesWithRepeatAndFilters)
{
  EventLog el;
  CWindow *pwnd = EventWindow(el);
  HWND hWnd = HwndOf(pwnd);
  PumpUntil([] { return true; });
  el.el_awe.clear();

  // Enter on the main keys and on the pad (the same scan code with the extended flag).
  PostMessageW(hWnd, WM_KEYDOWN, VK_RETURN, KeyLParam(28, false, false));
  PostMessageW(hWnd, WM_KEYDOWN, VK_RETURN, KeyLParam(28, false, true));
  PostMessageW(hWnd, WM_KEYDOWN, VK_RETURN, KeyLParam(28, false, true));
  PostMessageW(hWnd, WM_KEYUP, VK_RETURN, KeyLParam(28, false, true) | (1u << 31));
  PostMessageW(hWnd, WM_KEYDOWN, VK_RETURN, KeyLParam(28, true, false));
  PostMessageW(hWnd, WM_SYSKEYDOWN, VK_MENU, KeyLParam(56, true, false));
  PostMessageW(hWnd, WM_SYSKEYUP, VK_MENU, KeyLParam(56, true, true) | (1u << 31));
  // A scan code that names no key.
  PostMessageW(hWnd, WM_KEYDOWN, 0xFF, KeyLParam(0x7E, false, false));
  EXPECT_TRUE(PumpUntil([&] { return el.Count(WET_KEYBOARD) >= 8; }));
  std::vector<WindowEvent> awe;
  for (const WindowEvent &we : el.el_awe) {
    if (we.we_eType == WET_KEYBOARD && we.we_iKind != WEK_CHAR) awe.push_back(we);
  }
  ASSERT_EQ(awe.size(), 8u);
  EXPECT_EQ(awe[0].we_iKind, WEK_KEYDOWN);
  EXPECT_EQ(awe[0].we_iKID, KID_ENTER);
  EXPECT_EQ(awe[0].we_bRepeat, 0);
  EXPECT_EQ(awe[1].we_bRepeat, 1); // held: repeats from the second on
  EXPECT_EQ(awe[2].we_bRepeat, 1);
  EXPECT_EQ(awe[3].we_iKind, WEK_KEYUP);
  EXPECT_EQ(awe[4].we_iKID, KID_NUMENTER);
  EXPECT_EQ(awe[4].we_iScanCode, 28 + 256);
  EXPECT_EQ(awe[5].we_iKind, WEK_KEYDOWN); // system keys too
  EXPECT_EQ(awe[5].we_iKID, KID_RALT);
  EXPECT_EQ(awe[6].we_iKind, WEK_KEYUP);
  EXPECT_EQ(awe[7].we_iKID, -1);

  // A handled key message answers 0, others 1; typed characters arrive as kind 0.
  EXPECT_EQ(SendMessageW(hWnd, WM_KEYDOWN, 'A', KeyLParam(30, false, false)), 0);
  EXPECT_EQ(SendMessageW(hWnd, WM_CHAR, 'a', KeyLParam(30, false, false)), 1);
  const WindowEvent *pwe = el.Last(WET_KEYBOARD);
  ASSERT_NE(pwe, nullptr);
  EXPECT_EQ(pwe->we_iKind, WEK_CHAR);
  EXPECT_EQ(pwe->we_ulChar, (unsigned long)'a');

  // Keyboard events disabled: swallowed.
  el.el_awe.clear();
  wndDisableKeyboardEvents();
  EXPECT_TRUE(wndAreKeyboardEventsDisabled());
  SendMessageW(hWnd, WM_KEYDOWN, 'A', KeyLParam(30, false, false));
  EXPECT_EQ(el.Count(WET_KEYBOARD), 0);
  wndEnableKeyboardEvents();
  SendMessageW(hWnd, WM_KEYDOWN, 'A', KeyLParam(30, false, false));
  EXPECT_EQ(el.Count(WET_KEYBOARD), 1);
}

TEST_F(Windows, MouseButtonsWheelMotionAndProbes)
{
  EventLog el;
  CWindow *pwnd = EventWindow(el);
  HWND hWnd = HwndOf(pwnd);
  EventLog elOther;
  CWindow *pwndOther = EventWindow(elOther, 400, 100);
  EventLog elNoEvents;
  CWindow *pwndNoEvents = wndCreateWindow(nullptr, "no events", 0, 0, 50, 50, 0, WPL_WINDOW);
  wndSetWindowEventCallback(pwndNoEvents, EventLog::Record, &elNoEvents);
  PumpUntil([] { return true; });
  el.el_awe.clear();

  SendMessageW(hWnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 20));
  SendMessageW(hWnd, WM_LBUTTONUP, 0, MAKELPARAM(10, 20));
  SendMessageW(hWnd, WM_RBUTTONDBLCLK, 0, MAKELPARAM(1, 2));
  SendMessageW(hWnd, WM_MBUTTONDOWN, 0, MAKELPARAM(3, 4));
  ASSERT_EQ(el.Count(WET_MOUSE), 4);
  EXPECT_EQ(el.el_awe[0].we_iKind, WEK_LBUTTONDOWN);
  EXPECT_EQ(el.el_awe[0].we_iX, 10);
  EXPECT_EQ(el.el_awe[0].we_iY, 20);
  EXPECT_EQ(el.el_awe[1].we_iKind, WEK_LBUTTONUP);
  EXPECT_EQ(el.el_awe[2].we_iKind, WEK_RBUTTONDBLCLK);
  EXPECT_EQ(el.el_awe[3].we_iKind, WEK_MBUTTONDOWN);

  // 360 units forward: three notches. Less than a notch waits for more, per window.
  el.el_awe.clear();
  POINT pt = {10, 10};
  ClientToScreen(hWnd, &pt);
  PostMessageW(hWnd, WM_MOUSEWHEEL, MAKEWPARAM(0, 360), MAKELPARAM(pt.x, pt.y));
  EXPECT_TRUE(PumpUntil([&] { return el.Count(WET_MOUSE) >= 3; }));
  EXPECT_EQ(el.Count(WET_MOUSE, WEK_WHEELFORWARD), 3);
  EXPECT_EQ(el.el_awe[0].we_iX, 10);
  el.el_awe.clear();
  SendMessageW(hWnd, WM_MOUSEWHEEL, MAKEWPARAM(0, 60), MAKELPARAM(pt.x, pt.y));
  SendMessageW(HwndOf(pwndOther), WM_MOUSEWHEEL, MAKEWPARAM(0, 60), MAKELPARAM(pt.x, pt.y));
  EXPECT_EQ(el.Count(WET_MOUSE), 0);
  SendMessageW(hWnd, WM_MOUSEWHEEL, MAKEWPARAM(0, 70), MAKELPARAM(pt.x, pt.y));
  EXPECT_EQ(el.Count(WET_MOUSE, WEK_WHEELFORWARD), 1);
  EXPECT_EQ(elOther.Count(WET_MOUSE, WEK_WHEELFORWARD), 0);
  SendMessageW(hWnd, WM_MOUSEWHEEL, MAKEWPARAM(0, (WORD)(short)-250), MAKELPARAM(pt.x, pt.y));
  EXPECT_EQ(el.Count(WET_MOUSE, WEK_WHEELBACKWARD), 2); // 10 left over, then -250

  // Motion: a repeat at the same point becomes a probe; locked painting swallows it.
  el.el_awe.clear();
  SendMessageW(hWnd, WM_MOUSEMOVE, 0, MAKELPARAM(30, 40));
  SendMessageW(hWnd, WM_MOUSEMOVE, 0, MAKELPARAM(30, 40));
  SendMessageW(hWnd, WM_MOUSEMOVE, 0, MAKELPARAM(31, 40));
  wndLockPaintEvents();
  SendMessageW(hWnd, WM_MOUSEMOVE, 0, MAKELPARAM(32, 40));
  wndUnlockPaintEvents();
  ASSERT_EQ(el.Count(WET_MOUSE), 3);
  EXPECT_EQ(el.el_awe[0].we_iKind, WEK_MOUSEMOVE);
  EXPECT_EQ(el.el_awe[1].we_iKind, WEK_MOUSEPROBE);
  EXPECT_EQ(el.el_awe[2].we_iKind, WEK_MOUSEMOVE);

  // Mouse events disabled, or a window without WNDF_EVENTS: swallowed (answered as handled).
  el.el_awe.clear();
  wndDisableMouseEvents();
  EXPECT_TRUE(wndAreMouseEventsDisabled());
  EXPECT_EQ(SendMessageW(hWnd, WM_LBUTTONDOWN, 0, 0), 1);
  wndEnableMouseEvents();
  EXPECT_EQ(el.Count(WET_MOUSE), 0);
  SendMessageW(HwndOf(pwndNoEvents), WM_LBUTTONDOWN, 0, 0);
  SendMessageW(HwndOf(pwndNoEvents), WM_MOUSEWHEEL, MAKEWPARAM(0, 120), 0);
  EXPECT_EQ(elNoEvents.Count(WET_MOUSE), 0);

  // A probe posted to the window under a screen point, in its client coordinates.
  wndShowWindow(pwnd);
  wndSetWindowZOrder(pwnd, WZO_TOPMOST);
  PumpUntil([] { return true; }, 50);
  el.el_awe.clear();
  POINT ptProbe = {25, 35};
  ClientToScreen(hWnd, &ptProbe);
  EXPECT_EQ(wndWindowFromPoint(ptProbe.x, ptProbe.y), pwnd);
  wndIssueMouseProbeEvent(ptProbe.x, ptProbe.y);
  EXPECT_TRUE(PumpUntil([&] { return el.Count(WET_MOUSE, WEK_MOUSEPROBE) == 1; }));
  const WindowEvent *pwe = el.Last(WET_MOUSE);
  ASSERT_NE(pwe, nullptr);
  EXPECT_EQ(pwe->we_iX, 25);
  EXPECT_EQ(pwe->we_iY, 35);
}

TEST_F(Windows, CloseActivationDisplayAndFocusEvents)
{
  EventLog elBench;
  CWindow *pwndBench =
      wndCreateWorkbench("Bench", CTRect(0, 0, 300, 200), WNDF_APPLICATION, WPL_WINDOW);
  wndSetWindowEventCallback(pwndBench, EventLog::Record, &elBench);
  EventLog el;
  CWindow *pwnd = EventWindow(el);
  HWND hWnd = HwndOf(pwnd);

  // A close request the callback does not handle is swallowed, not carried out.
  el.el_iResult = 0;
  PostMessageW(hWnd, WM_CLOSE, 0, 0);
  EXPECT_TRUE(PumpUntil([&] { return el.Count(WET_CLOSE) == 1; }));
  EXPECT_TRUE(IsWindow(hWnd));
  el.el_iResult = 1;

  PostMessageW(hWnd, WM_ACTIVATEAPP, TRUE, 0);
  EXPECT_TRUE(PumpUntil([&] { return el.Count(WET_APPACTIVATED) == 1; }));
  EXPECT_TRUE(sysIsAppForeground());
  PostMessageW(hWnd, WM_ACTIVATEAPP, FALSE, 0);
  EXPECT_TRUE(PumpUntil([&] { return el.Count(WET_APPDEACTIVATED) == 1; }));
  EXPECT_FALSE(sysIsAppForeground());

  // The display change goes to the workbench only.
  PostMessageW(hWnd, WM_DISPLAYCHANGE, 32, MAKELPARAM(1024, 768));
  PostMessageW(HwndOf(pwndBench), WM_DISPLAYCHANGE, 32, MAKELPARAM(1024, 768));
  EXPECT_TRUE(PumpUntil([&] { return elBench.Count(WET_DISPLAYCHANGED) == 1; }));
  EXPECT_EQ(el.Count(WET_DISPLAYCHANGED), 0);

  // Focus: the chosen window takes it; losing it names the library window that gets it.
  wndShowWindow(pwndBench);
  EventLog elOther;
  CWindow *pwndOther = wndCreateWindow(pwndBench, "other", 0, 0, 50, 50, WNDF_EVENTS, WPL_WINDOW);
  wndSetWindowEventCallback(pwndOther, EventLog::Record, &elOther);
  wndShowWindow(pwndOther);
  PumpUntil([] { return true; }, 50);
  SetActiveWindow(HwndOf(pwndBench));
  wndSetKeyboardFocus(pwndOther);
  EXPECT_EQ(wndGetFocus(), pwndOther);
  EXPECT_GE(elOther.Count(WET_FOCUS), 1);
  // Another window that receives the focus passes it on to the chosen one.
  elOther.el_awe.clear();
  SetFocus(HwndOf(pwndBench));
  EXPECT_EQ(wndGetFocus(), pwndOther);
  const WindowEvent *pwe = elOther.Last(WET_LOSTFOCUS);
  ASSERT_NE(pwe, nullptr);
  EXPECT_EQ(pwe->we_pwndOther, pwndBench);
  wndSetKeyboardFocus(nullptr);
  SetFocus(HwndOf(pwndBench));
  EXPECT_EQ(wndGetFocus(), pwndBench);
  SetFocus(HwndOf(pwndOther));
  EXPECT_EQ(wndGetFocus(), pwndOther);
  wndRestoreKeyboardFocus(); // nothing chosen: back to the workbench
  EXPECT_EQ(wndGetFocus(), pwndBench);
}

TEST_F(Windows, DeferredEventsWaitForThePaintLock)
{
  EventLog elBench;
  CWindow *pwndBench =
      wndCreateWorkbench("Bench", CTRect(0, 0, 300, 200), WNDF_APPLICATION, WPL_WINDOW);
  wndSetWindowEventCallback(pwndBench, EventLog::Record, &elBench);
  EventLog el;
  CWindow *pwnd = EventWindow(el);
  wndShowWindow(pwnd);

  // A new window first learns where it is; the workbench hears before delivery starts.
  EXPECT_TRUE(PumpUntil([&] { return el.Count(WET_DEFERRED, WEK_MOVED) >= 1; }));
  EXPECT_GE(elBench.Count(WET_BEFOREDEFERRED), 1);
  EXPECT_EQ(el.Last(WET_DEFERRED)->we_eType, WET_DEFERRED);
  EXPECT_TRUE(PumpUntil([&] { return el.Count(WET_DEFERRED, WEK_PAINT) >= 1; }));
  const WindowEvent *pwe = el.Last(WET_DEFERRED);
  EXPECT_EQ(pwe->we_iKind, WEK_PAINT);
  EXPECT_EQ(pwe->we_rc, wndGetWindowClientRect(pwnd));
  PumpUntil([] { return false; }, 30);

  // Locked: notes pile up and nothing is delivered; unlocked: delivered once.
  el.el_awe.clear();
  wndLockPaintEvents();
  EXPECT_EQ(wndGetPaintLockCount(), 1);
  wndResizeWindow(pwnd, CTRect(120, 110, 320, 260));
  wndInvalidateWindow(pwnd);
  PumpUntil([] { return false; }, 50);
  EXPECT_EQ(el.Count(WET_DEFERRED), 0);
  EXPECT_EQ(sysUpdate(), 1); // returns although a deferred event is pending
  wndUnlockPaintEvents();
  EXPECT_EQ(sysPeekEvents(), 1);
  sysUpdate();
  EXPECT_EQ(el.Count(WET_DEFERRED, WEK_MOVED), 1);
  EXPECT_EQ(el.Count(WET_DEFERRED, WEK_PAINT), 1);
  EXPECT_EQ(el.Last(WET_DEFERRED)->we_iKind, WEK_PAINT);
  for (const WindowEvent &we : el.el_awe) {
    if (we.we_iKind == WEK_MOVED) {
      EXPECT_EQ(we.we_rc, CTRect(120, 110, 320, 260));
    }
  }

  CGuardBreachCounter gbc;
  wndUnlockPaintEvents();
  EXPECT_EQ(gbc.Count(), 1);
  EXPECT_EQ(wndGetPaintLockCount(), 0);

  // Painting is locked while a message window is up.
  wndLockPaintEvents();
  wndLockPaintEvents();
  EXPECT_EQ(wndGetPaintLockCount(), 2);
  wndUnlockPaintEvents();
  wndUnlockPaintEvents();
}

TEST_F(Windows, CallbackExceptionsStayInsideTheWindowProcedure)
{
  CWindow *pwnd = wndCreateWindow(nullptr, "thrower", 0, 0, 100, 100, WNDF_EVENTS, WPL_WINDOW);
  long ctCalls = 0;
  wndSetWindowEventCallback(
      pwnd,
      [](CWindow &, const WindowEvent &we, void *pv) -> int {
        if (we.we_eType != WET_KEYBOARD || we.we_iKind != WEK_KEYDOWN) return 0;
        ++*(long *)pv;
        if (we.we_iKID == KID_A) ThrowF_t("callback failed on purpose");
        if (we.we_iKID == KID_B) throw 42;
        return 1;
      },
      &ctCalls);
  long ctLines = conGetTotalLinesCount();
  HWND hWnd = HwndOf(pwnd);
  PostMessageW(hWnd, WM_KEYDOWN, 'A', KeyLParam(30, false, false));
  PostMessageW(hWnd, WM_KEYDOWN, 'B', KeyLParam(48, false, false));
  PostMessageW(hWnd, WM_KEYDOWN, 'C', KeyLParam(46, false, false));
  EXPECT_TRUE(PumpUntil([&] { return ctCalls >= 3; }));
  EXPECT_EQ(ctCalls, 3); // the loop went on after both failures
  EXPECT_GE(conGetTotalLinesCount() - ctLines, 2);
  bool bFound = false;
  for (long i = 0; i < 10; i++) {
    long iType;
    CString str;
    conGetLine(i, iType, str);
    if (strstr(str, "callback failed on purpose") != nullptr) bFound = iType == CMT_ERROR;
  }
  EXPECT_TRUE(bFound);
}

TEST_F(Windows, CursorAndMouseCapture)
{
  EXPECT_TRUE(wndIsCursorVisible());
  wndHideCursor();
  wndHideCursor();
  EXPECT_FALSE(wndIsCursorVisible());
  wndShowCursor();
  EXPECT_TRUE(wndIsCursorVisible());

  unsigned long aulPixels[16 * 16];
  for (unsigned long &ul : aulPixels) ul = 0xFF00FF00;
  CursorHandle hImage = wndCreateCursor(aulPixels, 16, 16, 3, 4);
  EXPECT_NE(hImage, nullptr);
  ICONINFO ii = {};
  ASSERT_TRUE(GetIconInfo((HICON)hImage, &ii));
  EXPECT_EQ(ii.xHotspot, 3u);
  EXPECT_EQ(ii.yHotspot, 4u);
  DeleteObject(ii.hbmColor);
  DeleteObject(ii.hbmMask);
  CGuardBreachCounter gbc;
  EXPECT_EQ(wndCreateCursor(aulPixels, 0, 16, 0, 0), nullptr);
  EXPECT_EQ(gbc.Count(), 1);
  EXPECT_NE(wndCreateCursor(CUT_HAND), nullptr);
  wndSetCursor(hImage);
  wndDeleteCursor(hImage);
  EXPECT_FALSE(GetIconInfo((HICON)hImage, &ii));
  wndSetCursor(wndCreateCursor(CUT_ARROW));

  wndSetCursorPos(210, 220);
  long iX = 0;
  long iY = 0;
  wndGetCursorPos(iX, iY);
  EXPECT_EQ(iX, 210);
  EXPECT_EQ(iY, 220);

  CWindow *pwnd = wndCreateWindow(nullptr, "capture", 0, 0, 100, 100, 0, WPL_WINDOW);
  wndShowWindow(pwnd);
  wndCaptureMouse(pwnd);
  EXPECT_EQ(GetCapture(), HwndOf(pwnd));
  wndReleaseMouse();
  EXPECT_EQ(GetCapture(), nullptr);
}
