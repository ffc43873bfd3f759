// The message loop: quitting, timers in their phases, idle phases and waking a sleeping loop
// from another thread, keyboard translation, and the window services.
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <math.h>
#include <vector>

using namespace QuennelEngine;
using namespace QuennelEngine::Test;

namespace {

// What the workbench heard: the event types in order, and the timer events.
struct LoopLog {
  std::vector<long> ll_aeTypes;
  std::vector<WindowEvent> ll_aweTimers;
  int (*ll_pExtra)(const WindowEvent &we) = nullptr;

  static int Record(CWindow &, const WindowEvent &we, void *pv)
  {
    LoopLog *pll = (LoopLog *)pv;
    pll->ll_aeTypes.push_back(we.we_eType);
    if (we.we_eType == WET_TIMER) pll->ll_aweTimers.push_back(we);
    return pll->ll_pExtra ? pll->ll_pExtra(we) : 1;
  }
  long Count(long eType) const
  {
    long ct = 0;
    for (long e : ll_aeTypes) ct += e == eType;
    return ct;
  }
  long TimerCount(long iTimerID) const
  {
    long ct = 0;
    for (const WindowEvent &we : ll_aweTimers) ct += we.we_iTimerID == iTimerID;
    return ct;
  }
};

class MessageLoop : public testing::Test {
protected:
  void SetUp() override { wndStartWindowSystemService(); }
  void TearDown() override
  {
    wndStopWindowSystemService();
    while (sysUpdate() == 0) {
    }
  }
  CWindow *Workbench(LoopLog &ll)
  {
    CWindow *pwnd =
        wndCreateWorkbench("Loop", CTRect(0, 0, 200, 100), WNDF_APPLICATION, WPL_WINDOW);
    wndSetWindowEventCallback(pwnd, LoopLog::Record, &ll);
    return pwnd;
  }
};

// Runs sysUpdate until the condition holds or the time is up.
template <class F> bool UpdateUntil(F fnDone, DWORD dwMilliseconds = 2000)
{
  DWORD dwStart = GetTickCount();
  while (!fnDone()) {
    if (GetTickCount() - dwStart > dwMilliseconds) return false;
    sysUpdate();
    Sleep(1);
  }
  return true;
}

} // namespace

TEST_F(MessageLoop, QuitMessageEndsTheUpdate)
{
  EXPECT_EQ(sysUpdate(), 1);
  sysExitMessageLoop();
  EXPECT_EQ(sysUpdate(), 0);
  EXPECT_EQ(sysUpdate(), 1);
}

TEST_F(MessageLoop, TimersAreDeliveredInTheirPhases)
{
  CGuardBreachCounter gbc;
  EXPECT_EQ(sysCreateTimer(0.01f, 2), -1); // no workbench
  EXPECT_EQ(gbc.Count(), 1);

  LoopLog ll;
  Workbench(ll);
  long idUpdate = sysCreateTimer(0.01f, 2);
  long idIdle1 = sysCreateTimer(0.01f, 1);
  long idIdle2 = sysCreateTimer(0.01f, 0);
  EXPECT_EQ(idIdle1, idUpdate + 1);
  EXPECT_EQ(idIdle2, idUpdate + 2);
  EXPECT_EQ(sysCountTimers(), 3);
  EXPECT_EQ(sysCreateTimer(0.01f, 3), -1);

  // sysUpdate delivers phase 2 only; the idle phases of sysWaitMessage deliver 1, then 0.
  EXPECT_TRUE(UpdateUntil([&] { return ll.TimerCount(idUpdate) >= 2; }));
  EXPECT_EQ(ll.TimerCount(idIdle1), 0);
  EXPECT_EQ(ll.TimerCount(idIdle2), 0);
  for (const WindowEvent &we : ll.ll_aweTimers) EXPECT_EQ(we.we_iKind, 2);
  // The system delivers its timer messages late under load: try a few rounds.
  for (int iTry = 0; iTry < 50; iTry++) {
    ll.ll_aeTypes.clear();
    ll.ll_aweTimers.clear();
    Sleep(30);
    sysUpdate(); // takes in the expiries
    sysWaitMessage(0);
    if (ll.TimerCount(idIdle1) >= 1 && ll.TimerCount(idIdle2) >= 1) break;
  }
  ASSERT_EQ(ll.TimerCount(idIdle1), 1);
  ASSERT_EQ(ll.TimerCount(idIdle2), 1);
  // In order: idle 1, its timers, idle 2, its timers.
  std::vector<long> ae;
  long iTimer = 0;
  for (long e : ll.ll_aeTypes) {
    if (e == WET_TIMER && ll.ll_aweTimers[iTimer++].we_iKind == 2) continue; // from sysUpdate
    if (e == WET_IDLE1 || e == WET_IDLE2 || e == WET_TIMER) ae.push_back(e);
  }
  std::vector<long> aeExpected = {WET_IDLE1, WET_TIMER, WET_IDLE2, WET_TIMER};
  EXPECT_EQ(ae, aeExpected);

  // Deleting a timer forgets an expiry not yet delivered; the last entry takes its place.
  Sleep(30);
  sysUpdate();
  sysDeleteTimer(idIdle1);
  EXPECT_EQ(sysCountTimers(), 2);
  ll.ll_aweTimers.clear();
  sysWaitMessage(0);
  for (int iTry = 0; iTry < 50 && ll.TimerCount(idIdle2) == 0; iTry++) {
    Sleep(20);
    sysUpdate();
    sysWaitMessage(0);
  }
  EXPECT_EQ(ll.TimerCount(idIdle1), 0);
  EXPECT_EQ(ll.TimerCount(idIdle2), 1);
  gbc = CGuardBreachCounter();
  sysDeleteTimer(idIdle1);
  EXPECT_EQ(gbc.Count(), 1);

  // Periods out of range are clamped, not refused.
  long idZero = sysCreateTimer(0.0f, 2);
  long idNaN = sysCreateTimer(NAN, 2);
  long idHuge = sysCreateTimer(1e30f, 2);
  EXPECT_GT(idZero, 0);
  EXPECT_GT(idNaN, 0);
  EXPECT_GT(idHuge, 0);
  ll.ll_aweTimers.clear();
  EXPECT_TRUE(UpdateUntil([&] { return ll.TimerCount(idZero) >= 1 && ll.TimerCount(idNaN) >= 1; }));
  EXPECT_EQ(ll.TimerCount(idHuge), 0);
}

TEST_F(MessageLoop, TimersMoveToANewWorkbench)
{
  LoopLog ll;
  CWindow *pwnd = Workbench(ll);
  long id = sysCreateTimer(0.01f, 2);
  wndDeleteWindow(pwnd);
  EXPECT_EQ(wndGetWorkbench(), nullptr);
  EXPECT_EQ(sysCountTimers(), 1);
  Sleep(30);
  sysUpdate();
  LoopLog llNew;
  Workbench(llNew);
  EXPECT_TRUE(UpdateUntil([&] { return llNew.TimerCount(id) >= 1; }));
  EXPECT_EQ(ll.TimerCount(id), 0);
}

TEST_F(MessageLoop, IdlePhasesAndIdleRequests)
{
  // Without a workbench a request keeps the next wait from sleeping, once.
  sysRequestIdleEvent();
  EXPECT_EQ(sysPeekEvents(), 1);
  DWORD dwStart = GetTickCount();
  sysWaitMessage(1);
  EXPECT_LT(GetTickCount() - dwStart, 1000u);
  EXPECT_EQ(sysPeekEvents(), 0);

  // With a workbench: idle phases 1 and 2; a request made during the second ends the wait.
  LoopLog ll;
  Workbench(ll);
  sysUpdate();
  ll.ll_pExtra = [](const WindowEvent &we) {
    if (we.we_eType == WET_IDLE2) sysRequestIdleEvent();
    return 1;
  };
  dwStart = GetTickCount();
  sysWaitMessage(1);
  EXPECT_LT(GetTickCount() - dwStart, 1000u);
  EXPECT_EQ(ll.Count(WET_IDLE1), 1);
  EXPECT_EQ(ll.Count(WET_IDLE2), 1);
  ll.ll_pExtra = nullptr;

  // A message waiting ends the first phase early.
  ll.ll_aeTypes.clear();
  PostMessageW((HWND)wndGetWindowHandle(wndGetWorkbench()).wh_hWnd, WM_NULL, 0, 0);
  sysWaitMessage(1);
  EXPECT_EQ(ll.Count(WET_IDLE1), 1);
  EXPECT_EQ(ll.Count(WET_IDLE2), 0);
  sysUpdate();
}

namespace {

struct WakeProbe {
  DWORD wp_dwDelayMs;
  LARGE_INTEGER wp_liRequested;
  double wp_dCallSeconds; // how long sysRequestIdleEvent took
  long volatile wp_bDone;
};

double Seconds(LARGE_INTEGER li)
{
  LARGE_INTEGER liFrequency;
  QueryPerformanceFrequency(&liFrequency);
  return (double)li.QuadPart / (double)liFrequency.QuadPart;
}

void RequestLater(void *pv)
{
  WakeProbe *pwp = (WakeProbe *)pv;
  if (pwp->wp_dwDelayMs > 0) Sleep(pwp->wp_dwDelayMs);
  LARGE_INTEGER liAfter;
  QueryPerformanceCounter(&pwp->wp_liRequested);
  sysRequestIdleEvent();
  QueryPerformanceCounter(&liAfter);
  pwp->wp_dCallSeconds = Seconds(liAfter) - Seconds(pwp->wp_liRequested);
  __atomic_store_n(&pwp->wp_bDone, 1, __ATOMIC_SEQ_CST);
}

// Ends a wait that nothing else ended within the time, unless cancelled before: a lost wake-up
// then fails the test instead of hanging it.
struct Watchdog {
  DWORD wd_dwThread;
  DWORD wd_dwMilliseconds;
  HANDLE wd_hCancel;

  static void Run(void *pv)
  {
    Watchdog *pwd = (Watchdog *)pv;
    if (WaitForSingleObject(pwd->wd_hCancel, pwd->wd_dwMilliseconds) == WAIT_TIMEOUT) {
      PostThreadMessageW(pwd->wd_dwThread, WM_NULL, 0, 0);
    }
  }
};

} // namespace

TEST_F(MessageLoop, ARequestFromAnotherThreadWakesTheWaitAtOnce)
{
  CThreadServices ts;
  // Requests at moments around the start of the wait, also between its check and its sleep:
  // none may be lost, and none may wait for the loop's lock while the loop sleeps. Without a
  // workbench every request ends the wait, whenever it came.
  auto Round = [](DWORD dwDelayMs, int iRound) {
    WakeProbe wp = {dwDelayMs, {}, 0.0, 0};
    Watchdog wd = {GetCurrentThreadId(), 2000, CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    thrCreateThread(&wd, Watchdog::Run);
    ThreadHandle *pth = thrCreateThread(&wp, RequestLater);
    ASSERT_NE(pth, nullptr);
    sysWaitMessage(1);
    LARGE_INTEGER liWoken;
    QueryPerformanceCounter(&liWoken);
    SetEvent(wd.wd_hCancel);
    ASSERT_TRUE(
        WaitUntil([&] { return __atomic_load_n(&wp.wp_bDone, __ATOMIC_SEQ_CST) != 0; }, 5000));
    EXPECT_LT(Seconds(liWoken) - Seconds(wp.wp_liRequested), 0.050) << "round " << iRound;
    EXPECT_LT(wp.wp_dCallSeconds, 0.050) << "round " << iRound;
    ASSERT_TRUE(WaitUntil(AllThreadsEnded, 5000));
    CloseHandle(wd.wd_hCancel);
    sysUpdate();
  };
  const DWORD adwDelays[] = {0, 0, 1, 0, 2, 0, 1, 5, 0, 10, 1, 20};
  int iRound = 0;
  for (DWORD dw : adwDelays) Round(dw, iRound++);
  // With a workbench, a request that comes once the idle phases are over.
  LoopLog ll;
  Workbench(ll);
  sysUpdate();
  for (int i = 0; i < 3; i++) Round(40, iRound++);
  EXPECT_EQ(ll.Count(WET_IDLE2), 3);

  // A wait that nothing wakes sleeps until a message comes (the watchdog's).
  Watchdog wd = {GetCurrentThreadId(), 400, CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  thrCreateThread(&wd, Watchdog::Run);
  DWORD dwStart = GetTickCount();
  sysWaitMessage(1);
  EXPECT_GE(GetTickCount() - dwStart, 300u);
  sysUpdate();
  EXPECT_TRUE(WaitUntil(AllThreadsEnded, 5000));
  CloseHandle(wd.wd_hCancel);
}

TEST_F(MessageLoop, KeyboardTranslationAndStates)
{
  struct Typed {
    long ty_ctBytes = -1;
    char ty_ach[SYS_KEYTEXT_BYTES] = {};
    unsigned long ty_ulChar = 0;
  } ty;
  CWindow *pwnd = wndCreateWindow(nullptr, "typing", 0, 0, 100, 100, 0, WPL_WINDOW);
  wndSetWindowEventCallback(
      pwnd,
      [](CWindow &, const WindowEvent &we, void *pv) -> int {
        Typed *pty = (Typed *)pv;
        if (we.we_eType == WET_KEYBOARD && we.we_iKind == WEK_KEYDOWN) {
          pty->ty_ctBytes = sysTranslateKeyboardEvent(pty->ty_ach);
        } else if (we.we_eType == WET_KEYBOARD && we.we_iKind == WEK_CHAR) {
          pty->ty_ulChar = we.we_ulChar;
        }
        return 0; // key-down not handled: translated into a character message
      },
      &ty);
  HWND hWnd = (HWND)wndGetWindowHandle(pwnd).wh_hWnd;
  PostMessageW(hWnd, WM_KEYDOWN, 'A', 1 | (30 << 16));
  EXPECT_TRUE(UpdateUntil([&] { return ty.ty_ulChar != 0; }));
  EXPECT_EQ(ty.ty_ctBytes, 1);
  EXPECT_STREQ(ty.ty_ach, "a");
  EXPECT_EQ(ty.ty_ulChar, (unsigned long)'a');

  PostMessageW(hWnd, WM_KEYDOWN, VK_F1, 1 | (59 << 16));
  ty.ty_ctBytes = -1;
  EXPECT_TRUE(UpdateUntil([&] { return ty.ty_ctBytes >= 0; }));
  EXPECT_EQ(ty.ty_ctBytes, 0);
  EXPECT_STREQ(ty.ty_ach, "");

  CGuardBreachCounter gbc;
  EXPECT_EQ(sysTranslateKeyboardEvent(nullptr), 0);
  EXPECT_EQ(gbc.Count(), 1);

  // The key states follow the messages: both shift keys count, the lock keys toggle once per
  // press, and mouse messages bring the buttons.
  unsigned long ulStart = sysGetCommonKeyStates();
  EXPECT_EQ(ulStart & (CKS_SHIFT | CKS_CONTROL | CKS_ALT), 0u);
  SendMessageW(hWnd, WM_KEYDOWN, VK_SHIFT, 1 | (42 << 16));
  SendMessageW(hWnd, WM_KEYDOWN, VK_SHIFT, 1 | (54 << 16));
  SendMessageW(hWnd, WM_KEYUP, VK_SHIFT, 1 | (42 << 16) | (3u << 30));
  EXPECT_EQ(sysGetCommonKeyStates() & CKS_SHIFT, (unsigned long)CKS_SHIFT);
  SendMessageW(hWnd, WM_KEYUP, VK_SHIFT, 1 | (54 << 16) | (3u << 30));
  EXPECT_EQ(sysGetCommonKeyStates() & CKS_SHIFT, 0u);
  SendMessageW(hWnd, WM_SYSKEYDOWN, VK_MENU, 1 | (56 << 16) | (1 << 24));
  EXPECT_EQ(sysGetCommonKeyStates() & CKS_ALT, (unsigned long)CKS_ALT);
  SendMessageW(hWnd, WM_SYSKEYUP, VK_MENU, 1 | (56 << 16) | (1 << 24) | (3u << 30));
  SendMessageW(hWnd, WM_KEYDOWN, VK_CAPITAL, 1 | (58 << 16));
  SendMessageW(hWnd, WM_KEYDOWN, VK_CAPITAL, 1 | (58 << 16) | (1 << 30)); // held: no toggle
  SendMessageW(hWnd, WM_KEYUP, VK_CAPITAL, 1 | (58 << 16) | (3u << 30));
  EXPECT_EQ((sysGetCommonKeyStates() ^ ulStart) & CKS_CAPSLOCK, (unsigned long)CKS_CAPSLOCK);
  SendMessageW(hWnd, WM_KEYDOWN, VK_CAPITAL, 1 | (58 << 16));
  EXPECT_EQ((sysGetCommonKeyStates() ^ ulStart) & CKS_CAPSLOCK, 0u);
  SendMessageW(hWnd, WM_LBUTTONDOWN, MK_LBUTTON | MK_CONTROL, 0);
  EXPECT_EQ(sysGetCommonKeyStates() & (CKS_LBUTTON | CKS_CONTROL | CKS_RBUTTON),
            (unsigned long)(CKS_LBUTTON | CKS_CONTROL));
  SendMessageW(hWnd, WM_LBUTTONUP, 0, 0);
  EXPECT_EQ(sysGetCommonKeyStates() & (CKS_LBUTTON | CKS_CONTROL), 0u);
}

TEST_F(MessageLoop, TimerCallbackExceptionsAreReported)
{
  LoopLog ll;
  Workbench(ll);
  ll.ll_pExtra = [](const WindowEvent &we) -> int {
    if (we.we_eType == WET_TIMER) throw CSimpleException("timer failed on purpose");
    return 1;
  };
  long id = sysCreateTimer(0.01f, 2);
  long ctLines = conGetTotalLinesCount();
  EXPECT_TRUE(UpdateUntil([&] { return ll.TimerCount(id) >= 2; })); // the loop went on
  ll.ll_pExtra = nullptr;
  long iType = 0;
  CString strLine;
  bool bReported = false;
  for (long i = 0; i < conGetTotalLinesCount() - ctLines && i < 20; i++) {
    conGetLine(i, iType, strLine);
    bReported = bReported || (iType == CMT_ERROR && strstr(strLine, "timer failed on purpose"));
  }
  EXPECT_TRUE(bReported);
}

TEST_F(MessageLoop, TheSystemServiceStopDeletesWindowsAndTimers)
{
  LoopLog ll;
  CWindow *pwnd = Workbench(ll);
  HWND hWnd = (HWND)wndGetWindowHandle(pwnd).wh_hWnd;
  CWindow *pwndChild = wndCreateWindow(pwnd, "child", 0, 0, 10, 10, 0, WPL_WINDOW);
  (void)pwndChild;
  sysCreateTimer(1.0f, 2);
  wndStopWindowSystemService();
  EXPECT_EQ(wndGetWorkbench(), nullptr);
  EXPECT_EQ(sysCountTimers(), 0);
  EXPECT_FALSE(IsWindow(hWnd));
  CStaticStackArray<CWindow *> apwnd;
  wndEnumerateWindows(apwnd);
  EXPECT_EQ(apwnd.Count(), 0);
  // Started again, windows can be created as before.
  wndStartWindowSystemService();
  CWindow *pwndAgain = wndCreateWindow(nullptr, "again", 0, 0, 10, 10, 0, WPL_WINDOW);
  EXPECT_NE(wndGetWindowHandle(pwndAgain).wh_hWnd, nullptr);
}
