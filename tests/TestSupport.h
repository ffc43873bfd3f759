#pragma once
// Helpers shared by the test programs.
#include "core/Core.h"

#include <stdio.h>

#include <functional>
#include <string>
#include <thread>

namespace QuennelEngine {
namespace Test {

// Counts the guard breaches reported while it lives (every breach, also repeated ones).
class CGuardBreachCounter {
public:
  CGuardBreachCounter();
  long Count() const;

private:
  long gbc_ctStart;
};

// The description of the CException that `fn` throws, or "" if it throws none.
template <class F> std::string ThrownBy(F fn)
{
  try {
    fn();
  } catch (CException &ex) {
    return ex.GetDescription();
  }
  return "";
}

// The bytes of a file by its system path (read with the C runtime, past the library).
std::string ReadSystemFile(const char *strPath);

// Polls `fnDone` until it is true or `ulMilliseconds` have passed; true if it became true.
template <class F> bool WaitUntil(F fnDone, unsigned long ulMilliseconds)
{
  for (unsigned long ulWaited = 0;; ulWaited++) {
    if (fnDone()) return true;
    if (ulWaited >= ulMilliseconds) return false;
    sysSleep(1);
  }
}

// True when every library thread has ended and unregistered (the count of active threads drops
// last, just after the registry entry).
inline bool AllThreadsEnded(void)
{
  return thrCountThreads() == 0 && thrCountActiveThreads() == 0;
}

// Ends the program unless disarmed in time, for code that blocks the main thread itself. Its
// thread does not count as active while it waits, so it keeps no exclusive section out.
class CWatchdog {
public:
  CWatchdog(const char *strWhat, unsigned long ulMilliseconds)
      : wd_strWhat(strWhat), wd_ulMilliseconds(ulMilliseconds)
  {
    wd_seDisarm.InitEvent(CSyncEvent::SEF_MANUALRESET);
    wd_seStarted.InitEvent(CSyncEvent::SEF_MANUALRESET);
    wd_seStopped.InitEvent(CSyncEvent::SEF_MANUALRESET);
    thrCreateThread(this, Watch);
    wd_seStarted.WaitEvent();
  }
  ~CWatchdog()
  {
    wd_seDisarm.SetEvent();
    wd_seStopped.WaitEvent(); // it no longer touches us after that
  }

private:
  static void Watch(void *pv)
  {
    CWatchdog *pwd = (CWatchdog *)pv;
    ThreadHandle *pth = thrGetCurrentThread();
    const char *strWhat = pwd->wd_strWhat;
    thrMarkThreadAsInactive(pth);
    pwd->wd_seStarted.SetEvent();
    if (!pwd->wd_seDisarm.WaitEvent(pwd->wd_ulMilliseconds)) {
      fprintf(stderr, "%s did not finish in time.\n", strWhat);
      fflush(stderr);
      sysEndProcessNow(1);
    }
    pwd->wd_seStopped.SetEvent();
    // Library code again (the thread's end): active first.
    thrMarkThreadAsActive(pth);
  }
  const char *wd_strWhat;
  unsigned long wd_ulMilliseconds;
  CSyncEvent wd_seDisarm, wd_seStarted, wd_seStopped;
};

// A thread the library did not create, as game code makes them: a std::thread, or with `bRaw`
// a bare system thread (CreateThread). Joined at the latest by the destructor.
class COutsideThread {
public:
  COutsideThread(bool bRaw, std::function<void()> fn) : ot_fn(std::move(fn))
  {
    if (!bRaw) {
      ot_th = std::thread(ot_fn);
      return;
    }
    unsigned long ulID = 0;
    ot_hThread = sysCreateSuspendedThread(Run, this, ulID);
    sysResumeThread(ot_hThread);
  }
  ~COutsideThread() { Join(); }
  COutsideThread(const COutsideThread &) = delete;
  COutsideThread &operator=(const COutsideThread &) = delete;
  void Join()
  {
    if (ot_th.joinable()) ot_th.join();
    if (ot_hThread == nullptr) return;
    sysWaitHandle(ot_hThread, SYS_WAIT_FOREVER);
    sysCloseHandle(ot_hThread);
    ot_hThread = nullptr;
  }

private:
  static unsigned long __stdcall Run(void *pv)
  {
    ((COutsideThread *)pv)->ot_fn();
    return 0;
  }
  std::function<void()> ot_fn;
  std::thread ot_th;
  SysHandle ot_hThread = nullptr;
};

// Starts the two thread services for a test and stops them afterwards; the test fails if
// library threads are still alive at the end.
class CThreadServices {
public:
  CThreadServices();
  ~CThreadServices();
};

// Child processes: a test that must see a process end (fatal errors, crashes) runs this program
// again with a named body. QE_CHILD(Name) { ...; return exitCode; } defines a body.
typedef int (*ChildBody)(void);
class CChildRegistrar {
public:
  CChildRegistrar(const char *strName, ChildBody pBody);
};
#define QE_CHILD(NAME)                                                                             \
  static int QeChild_##NAME(void);                                                                 \
  static QuennelEngine::Test::CChildRegistrar _qeChildRegistrar_##NAME(#NAME, QeChild_##NAME);     \
  static int QeChild_##NAME(void)

// Runs the named body; the exit code (-1 for an unknown name).
int RunChildBody(const char *strName);

struct ChildResult {
  bool cr_bTimedOut;
  unsigned long cr_ulExitCode;
  std::string cr_strOutput; // standard output and standard error together
};
// Starts the child in unattended mode (plus `strEnvironment`: NAME=VALUE pairs separated by
// new lines), waits at most `ulMilliseconds` (then kills it) and collects its output.
ChildResult RunChild(const char *strName, unsigned long ulMilliseconds = 30000,
                     const char *strEnvironment = "");

// The console lines printed while it lives, oldest first, each ended by a newline.
class CConsoleLines {
public:
  CConsoleLines() : cl_ctStart(conGetTotalLinesCount()) {}
  std::string Text() const
  {
    std::string str;
    const long ctNew = conGetTotalLinesCount() - cl_ctStart;
    for (long i = ctNew - 1; i >= 0; i--) {
      long iType;
      CString strLine;
      conGetLine(i, iType, strLine);
      str += (const char *)strLine;
      str += '\n';
    }
    return str;
  }
  bool Has(const std::string &strText) const { return Text().find(strText) != std::string::npos; }

private:
  long cl_ctStart;
};

} // namespace Test
} // namespace QuennelEngine
