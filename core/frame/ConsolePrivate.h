#pragma once
// Private to the console: its state, shared by the printing, log-file and exit code. Everything
// here is constant-initialised, so the console works from static initialisers of other files.
// All of it is guarded by the console mutex.
#include "core/frame/Console.h"
#include "core/threads/SyncMutex.h"

#include <stdio.h>

namespace QuennelEngine {
namespace ConsolePrivate {

extern CSyncMutex con_smMutex;
extern unsigned long con_aulFilters[COT_COUNT];
extern int con_abTags[COT_COUNT];
extern FILE *con_apfLogs[COT_COUNT];
extern int con_bLineCallbacks;

// The tag of a message type ("LOG:  ", ...), at the current tag width (6, or 7 after the first
// dump into a log file).
const char *TagOf(long iType);
void WidenTags(void);

// A registered callback with its data.
struct Callback {
  void (*cb_pFunction)(void *);
  void *cb_pvData;
};

// A growable list of callbacks, in registration order.
struct CallbackList {
  Callback *cl_acb;
  long cl_ct;
  long cl_ctAllocated;
  void Add(void (*pFunction)(void *), void *pvData);
  void Remove(void (*pFunction)(void *), void *pvData);
};

} // namespace ConsolePrivate
} // namespace QuennelEngine
