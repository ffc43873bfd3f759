#pragma once
// CBaseThread: a thread object that is woken to run its work once and then sleeps again. It is
// active while it runs and idle in between; at termination it disposes of itself (DeleteSelf).
#include "core/threads/Threads.h"

namespace QuennelEngine {

class CBaseThreadImp;
class CDataType;

class CORE_API CBaseThread {
public:
  CBaseThread();
  virtual ~CBaseThread();
  CBaseThread(const CBaseThread &) = delete;
  CBaseThread &operator=(const CBaseThread &) = delete;

  virtual CDataType *mdGetDataType(void) const = 0;
  // One run of the thread's work.
  virtual void OnExecute(void) = 0;
  // Called on the thread itself when it terminates; must dispose of the object.
  virtual void DeleteSelf(void) = 0;

  // Creates the thread and returns once it is running (and idle, waiting for work).
  void InitializeThread(void);
  // Wakes the thread for one run of OnExecute.
  void ExecuteThread(void);
  // True while no run is in progress.
  bool IsThreadIdle(void);
  // Waits for the end of the current run.
  void WaitOnThread(void);
  // Asks the thread to end after its current run; it then calls DeleteSelf.
  void TerminateThread(void);
  void SetThreadPriority(ThreadPriority thp);
  unsigned long GetThreadID(void);
  ThreadHandle *GetThreadHandle(void);

private:
  static void ThreadProcedure(void *pvThread);

  CBaseThreadImp *bt_pImp;
};

} // namespace QuennelEngine
