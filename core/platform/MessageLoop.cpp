// The message loop, the loop's timers, keyboard state and the window services.
//
// Waiting. sysWaitMessage sleeps in the system's wait for queue input and never holds the loop's
// lock while it sleeps. The lock only guards two words shared with other threads: the idle
// request and the waiting flag. A requester sets the request and reads the flag under the lock;
// the loop checks the request and sets the flag under the lock before it sleeps. Either the loop
// sees the request and does not sleep, or the requester sees the flag and posts a wake-up message,
// which the wait (for any input in the queue, not only new input) cannot miss.
#include "core/platform/MessageLoop.h"

#include "core/frame/CodeGuard.h"
#include "core/platform/KeyIdentifiers.h"
#include "core/platform/SysConsole.h"
#include "core/platform/WindowPrivate.h"

#include <windows.h>

namespace QuennelEngine {

using namespace WindowPrivate;

namespace {

// Shared with other threads, under _srwLoop.
SRWLOCK _srwLoop = SRWLOCK_INIT;
int _bIdleRequested = 0;
int _bWaiting = 0;
DWORD _ulWaitingThread = 0;
HWND _hwndWake = nullptr;

int _bAppForeground = 0;

// The keyboard and mouse state as the library's windows saw it in their messages. Asking the
// system for it costs a call per key (under Wine a round trip to its server each), too much for
// every event; the system is asked again only when the focus or the activation changes, when
// keys may have gone up or down unseen. Left and right modifier keys are kept apart so that
// releasing one while the other is held keeps the modifier down.
enum TrackedKey : unsigned long {
  TK_LSHIFT = 0x10000,
  TK_RSHIFT = 0x20000,
  TK_LCONTROL = 0x40000,
  TK_RCONTROL = 0x80000,
  TK_LALT = 0x100000,
  TK_RALT = 0x200000,
  TK_MODIFIERS = 0x3F0000,
};
unsigned long _ulTrackedKeys = 0; // CommonKeyState bits plus TrackedKey bits
bool _bTrackedKeysKnown = false;

unsigned long ReadSystemKeyStates(void)
{
  unsigned long ul = 0;
  if (GetKeyState(VK_LSHIFT) < 0) ul |= TK_LSHIFT;
  if (GetKeyState(VK_RSHIFT) < 0) ul |= TK_RSHIFT;
  if (GetKeyState(VK_LCONTROL) < 0) ul |= TK_LCONTROL;
  if (GetKeyState(VK_RCONTROL) < 0) ul |= TK_RCONTROL;
  if (GetKeyState(VK_LMENU) < 0) ul |= TK_LALT;
  if (GetKeyState(VK_RMENU) < 0) ul |= TK_RALT;
  if (GetKeyState(VK_LBUTTON) < 0) ul |= CKS_LBUTTON;
  if (GetKeyState(VK_RBUTTON) < 0) ul |= CKS_RBUTTON;
  if (GetKeyState(VK_MBUTTON) < 0) ul |= CKS_MBUTTON;
  if (GetKeyState(VK_CAPITAL) & 1) ul |= CKS_CAPSLOCK;
  if (GetKeyState(VK_NUMLOCK) & 1) ul |= CKS_NUMLOCK;
  if (GetKeyState(VK_SCROLL) & 1) ul |= CKS_SCROLLLOCK;
  return ul;
}

// The modifier bit of a key message, told left from right by the scan code and extended flag.
unsigned long ModifierOf(unsigned long ulVirtualKey, long lParam)
{
  bool bExtended = (lParam >> 24) & 1;
  unsigned long ulScan = (lParam >> 16) & 0xFF;
  switch (ulVirtualKey) {
  case VK_SHIFT:
    return ulScan == 54 ? TK_RSHIFT : TK_LSHIFT;
  case VK_LSHIFT:
    return TK_LSHIFT;
  case VK_RSHIFT:
    return TK_RSHIFT;
  case VK_CONTROL:
    return bExtended ? TK_RCONTROL : TK_LCONTROL;
  case VK_LCONTROL:
    return TK_LCONTROL;
  case VK_RCONTROL:
    return TK_RCONTROL;
  case VK_MENU:
    return bExtended ? TK_RALT : TK_LALT;
  case VK_LMENU:
    return TK_LALT;
  case VK_RMENU:
    return TK_RALT;
  default:
    return 0;
  }
}

// The last key-down message dispatched, for sysTranslateKeyboardEvent.
UINT _uLastVirtualKey = 0;
UINT _uLastScanCode = 0;
bool _bLastKeyValid = false;

struct TimerEntry {
  long te_iID;
  long te_bExpired;
  long te_iPhase;
  UINT te_uMilliseconds;
};
CStaticStackArray<TimerEntry> _ateTimers;
long _iNextTimerID = 1;
HWND _hwndTimers = nullptr; // the window the system timers run on (the workbench)

const double SYS_TIMER_MIN_MS = 10.0;
const double SYS_TIMER_MAX_MS = 2147483647.0;

// Timer periods are clamped to what the system keeps apart and can store.
UINT TimerMilliseconds(float fSeconds)
{
  double dMs = (double)fSeconds * 1000.0;
  if (!(dMs >= SYS_TIMER_MIN_MS)) return (UINT)SYS_TIMER_MIN_MS; // also catches NaN
  if (dMs > SYS_TIMER_MAX_MS) return (UINT)SYS_TIMER_MAX_MS;
  return (UINT)(dMs + 0.5);
}

long FindTimer(long iTimerID)
{
  for (long i = 0; i < _ateTimers.Count(); i++) {
    if (_ateTimers[i].te_iID == iTimerID) return i;
  }
  return -1;
}

// Delivers the expired timers of a phase to the workbench; true if a callback ran.
bool DeliverTimers(long iPhase)
{
  CWindow *pwndWorkbench = wndGetWorkbench();
  if (pwndWorkbench == nullptr) return false;
  // Callbacks may create and delete timers: collect the IDs first.
  long aiExpired[16];
  bool bCalled = false;
  for (;;) {
    long ct = 0;
    for (long i = 0; i < _ateTimers.Count() && ct < 16; i++) {
      TimerEntry &te = _ateTimers[i];
      if (te.te_iPhase == iPhase && te.te_bExpired) {
        te.te_bExpired = 0;
        aiExpired[ct++] = te.te_iID;
      }
    }
    if (ct == 0) return bCalled;
    for (long i = 0; i < ct; i++) {
      if (FindTimer(aiExpired[i]) < 0) continue;
      pwndWorkbench = wndGetWorkbench();
      if (pwndWorkbench == nullptr) return true;
      WindowEvent we;
      InitEvent(we, WET_TIMER);
      we.we_iKind = iPhase;
      we.we_iTimerID = aiExpired[i];
      DeliverEvent(pwndWorkbench, we);
      bCalled = true;
    }
  }
}

inline bool MessageWaits(void)
{
  // The high word: kinds of messages in the queue now.
  return HIWORD(GetQueueStatus(QS_ALLINPUT)) != 0;
}

inline bool WorkWaits(void)
{
  return IsDeferredDeliverable() || MessageWaits();
}

// Rounds of sysUpdate after which it returns even when callbacks keep making work, so that a
// callback that always invalidates its window cannot hold the loop.
const int SYS_UPDATE_ROUNDS = 16;

} // namespace

namespace WindowPrivate {

void OnTimerMessage(unsigned long ulTimerID)
{
  long i = FindTimer((long)ulTimerID);
  if (i >= 0) _ateTimers[i].te_bExpired = 1;
}

void OnWorkbenchChanged(void *hwndWorkbench)
{
  // The system timers die with their window; a new workbench takes them over.
  HWND hWnd = (HWND)hwndWorkbench;
  if (hWnd == _hwndTimers) return;
  if (_hwndTimers != nullptr && IsWindow(_hwndTimers)) {
    for (long i = 0; i < _ateTimers.Count(); i++) KillTimer(_hwndTimers, _ateTimers[i].te_iID);
  }
  _hwndTimers = hWnd;
  if (hWnd != nullptr) {
    for (long i = 0; i < _ateTimers.Count(); i++) {
      SetTimer(hWnd, _ateTimers[i].te_iID, _ateTimers[i].te_uMilliseconds, nullptr);
    }
  }
}

void OnKeyMessage(unsigned int uMessage, unsigned long ulVirtualKey, long lParam)
{
  if (!_bTrackedKeysKnown) RefreshKeyStates();
  bool bDown = uMessage == WM_KEYDOWN || uMessage == WM_SYSKEYDOWN;
  if (bDown) {
    _uLastVirtualKey = (UINT)ulVirtualKey;
    _uLastScanCode = (UINT)((lParam >> 16) & 0xFF);
    _bLastKeyValid = true;
  }
  unsigned long ulModifier = ModifierOf(ulVirtualKey, lParam);
  if (ulModifier != 0) {
    _ulTrackedKeys = bDown ? (_ulTrackedKeys | ulModifier) : (_ulTrackedKeys & ~ulModifier);
    return;
  }
  // Lock keys toggle when they go down, not when they repeat.
  if (!bDown || ((lParam >> 30) & 1)) return;
  switch (ulVirtualKey) {
  case VK_CAPITAL:
    _ulTrackedKeys ^= CKS_CAPSLOCK;
    break;
  case VK_NUMLOCK:
    _ulTrackedKeys ^= CKS_NUMLOCK;
    break;
  case VK_SCROLL:
    _ulTrackedKeys ^= CKS_SCROLLLOCK;
    break;
  default:
    break;
  }
}

void OnMouseMessage(unsigned long ulKeyFlags)
{
  if (!_bTrackedKeysKnown) RefreshKeyStates();
  // Mouse messages carry the buttons, shift and control as they are now.
  unsigned long ul = _ulTrackedKeys & ~(unsigned long)(CKS_LBUTTON | CKS_RBUTTON | CKS_MBUTTON);
  if (ulKeyFlags & MK_LBUTTON) ul |= CKS_LBUTTON;
  if (ulKeyFlags & MK_RBUTTON) ul |= CKS_RBUTTON;
  if (ulKeyFlags & MK_MBUTTON) ul |= CKS_MBUTTON;
  if (!(ulKeyFlags & MK_SHIFT)) ul &= ~(unsigned long)(TK_LSHIFT | TK_RSHIFT);
  if ((ulKeyFlags & MK_SHIFT) && !(ul & (TK_LSHIFT | TK_RSHIFT))) ul |= TK_LSHIFT;
  if (!(ulKeyFlags & MK_CONTROL)) ul &= ~(unsigned long)(TK_LCONTROL | TK_RCONTROL);
  if ((ulKeyFlags & MK_CONTROL) && !(ul & (TK_LCONTROL | TK_RCONTROL))) ul |= TK_LCONTROL;
  _ulTrackedKeys = ul;
}

void RefreshKeyStates(void)
{
  _ulTrackedKeys = ReadSystemKeyStates();
  _bTrackedKeysKnown = true;
}

void SetAppForeground(int bForeground)
{
  _bAppForeground = bForeground ? 1 : 0;
}

} // namespace WindowPrivate

// ---- The loop ----

int sysUpdate(void)
{
  for (int iRound = 0;; iRound++) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) return 0;
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    bool bCalled = DeliverTimers(2);
    bCalled = DeliverDeferredEvents() || bCalled;
    // Without callbacks nothing of ours can have queued more; a message that arrives now is
    // for the next update.
    if (!bCalled || iRound + 1 >= SYS_UPDATE_ROUNDS) return 1;
    if (!WorkWaits()) return 1;
  }
}

int sysPeekEvents(void)
{
  if (IsDeferredDeliverable()) return 1;
  AcquireSRWLockShared(&_srwLoop);
  int bIdle = _bIdleRequested;
  ReleaseSRWLockShared(&_srwLoop);
  if (bIdle) return 1;
  return MessageWaits() ? 1 : 0;
}

void sysWaitMessage(int bWait)
{
  if (wndGetWorkbench() != nullptr) {
    WindowEvent we;
    InitEvent(we, WET_IDLE1);
    DeliverEvent(wndGetWorkbench(), we);
    DeliverTimers(1);
    if (WorkWaits()) return;

    AcquireSRWLockExclusive(&_srwLoop);
    _bIdleRequested = 0;
    ReleaseSRWLockExclusive(&_srwLoop);
    if (wndGetWorkbench() != nullptr) {
      InitEvent(we, WET_IDLE2);
      DeliverEvent(wndGetWorkbench(), we);
    }
    DeliverTimers(0);
    if (WorkWaits()) return;
  }
  if (!bWait) return;

  AcquireSRWLockExclusive(&_srwLoop);
  if (_bIdleRequested) {
    // Without a workbench no idle phase consumes the request: this wait does.
    if (wndGetWorkbench() == nullptr) _bIdleRequested = 0;
    ReleaseSRWLockExclusive(&_srwLoop);
    return;
  }
  _bWaiting = 1;
  _ulWaitingThread = GetCurrentThreadId();
  _hwndWake = (HWND)wndGetWindowHandle(wndGetWorkbench()).wh_hWnd;
  ReleaseSRWLockExclusive(&_srwLoop);

  // Waits for any input in the queue, also input an earlier peek has seen already.
  if (!IsDeferredDeliverable()) {
    MsgWaitForMultipleObjectsEx(0, nullptr, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  }

  AcquireSRWLockExclusive(&_srwLoop);
  _bWaiting = 0;
  ReleaseSRWLockExclusive(&_srwLoop);
}

void sysRequestIdleEvent(void)
{
  AcquireSRWLockExclusive(&_srwLoop);
  _bIdleRequested = 1;
  bool bWake = _bWaiting != 0;
  HWND hwndWake = _hwndWake;
  DWORD ulThread = _ulWaitingThread;
  ReleaseSRWLockExclusive(&_srwLoop);
  if (!bWake) return;
  // A wake-up that arrives after the loop has woken anyway only costs one message.
  if (hwndWake == nullptr || !PostMessageW(hwndWake, SYSMSG_WAKE, 0, 0)) {
    PostThreadMessageW(ulThread, SYSMSG_WAKE, 0, 0);
  }
}

void sysExitMessageLoop(void)
{
  PostQuitMessage(0);
}

int sysIsAppForeground(void)
{
  return _bAppForeground;
}

// ---- Keyboard ----

unsigned long sysGetCommonKeyStates(void)
{
  if (!_bTrackedKeysKnown) RefreshKeyStates();
  unsigned long ul = _ulTrackedKeys & ~(unsigned long)TK_MODIFIERS;
  if (_ulTrackedKeys & (TK_LSHIFT | TK_RSHIFT)) ul |= CKS_SHIFT;
  if (_ulTrackedKeys & (TK_LCONTROL | TK_RCONTROL)) ul |= CKS_CONTROL;
  if (_ulTrackedKeys & (TK_LALT | TK_RALT)) ul |= CKS_ALT;
  return ul;
}

long sysTranslateKeyboardEvent(char *pchBytes)
{
  if (pchBytes == nullptr) {
    corLogGuardBreach();
    return 0;
  }
  pchBytes[0] = 0;
  if (!_bLastKeyValid) return 0;
  BYTE aubState[256];
  if (!GetKeyboardState(aubState)) return 0;
  wchar_t awch[8];
  int ct = ToUnicode(_uLastVirtualKey, _uLastScanCode, aubState, awch, 8, 0);
  if (ct <= 0) return 0; // nothing, or a dead key waiting for the next one
  int ctBytes =
      WideCharToMultiByte(CP_UTF8, 0, awch, ct, pchBytes, SYS_KEYTEXT_BYTES - 1, nullptr, nullptr);
  if (ctBytes < 0) ctBytes = 0;
  pchBytes[ctBytes] = 0;
  return ctBytes;
}

// ---- Timers ----

long sysCreateTimer(float fSeconds, long iPhase)
{
  CWindow *pwndWorkbench = wndGetWorkbench();
  if (pwndWorkbench == nullptr || iPhase < 0 || iPhase > 2) {
    corLogGuardBreach();
    return -1;
  }
  TimerEntry &te = _ateTimers.Push();
  te.te_iID = _iNextTimerID++;
  te.te_bExpired = 0;
  te.te_iPhase = iPhase;
  te.te_uMilliseconds = TimerMilliseconds(fSeconds);
  HWND hWnd = (HWND)wndGetWindowHandle(pwndWorkbench).wh_hWnd;
  _hwndTimers = hWnd;
  SetTimer(hWnd, te.te_iID, te.te_uMilliseconds, nullptr);
  return te.te_iID;
}

void sysDeleteTimer(long iTimerID)
{
  long i = FindTimer(iTimerID);
  if (i < 0) {
    corLogGuardBreach();
    return;
  }
  if (_hwndTimers != nullptr) KillTimer(_hwndTimers, iTimerID);
  // The last entry takes the place of the deleted one.
  _ateTimers[i] = _ateTimers[_ateTimers.Count() - 1];
  _ateTimers.Pop();
}

long sysCountTimers(void)
{
  return _ateTimers.Count();
}

// ---- Services ----

void wndStartWindowService(void)
{
}

void wndStopWindowService(void)
{
}

void wndStartWindowSystemService(void)
{
  sysInitConversionTable();
  RefreshKeyStates();
  sysSetMessageBoxHooks(wndLockPaintEvents, wndUnlockPaintEvents);
  HWND hwndForeground = GetForegroundWindow();
  DWORD ulProcess = 0;
  if (hwndForeground != nullptr) GetWindowThreadProcessId(hwndForeground, &ulProcess);
  _bAppForeground = ulProcess == GetCurrentProcessId() ? 1 : 0;
}

void wndStopWindowSystemService(void)
{
  for (long i = _ateTimers.Count() - 1; i >= 0; i--) sysDeleteTimer(_ateTimers[i].te_iID);
  DeleteAllWindows();
  UnregisterWindowClasses();
  sysSetMessageBoxHooks(nullptr, nullptr);
  _hwndTimers = nullptr;
  _bLastKeyValid = false;
  _bTrackedKeysKnown = false;
  AcquireSRWLockExclusive(&_srwLoop);
  _bIdleRequested = 0;
  ReleaseSRWLockExclusive(&_srwLoop);
}

} // namespace QuennelEngine
