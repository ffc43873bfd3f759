#pragma once
// Assertions: a failed check shows a report (Abort, Retry, Ignore) while every other library
// thread is suspended. corASSERT(expression) is the macro that uses it.
#include "core/platform/Platform.h"

namespace QuennelEngine {

// Reports a failed assertion: 1 means the caller should break into the debugger, 2 that this
// assertion is to be ignored from now on. Abort (confirmed) ends the process with exit code 3.
// The caller calls corPostAssert afterwards.
CORE_API int corAssert(const char *strExpression, const char *strFileName, long iLine);
// Undoes what the report did: resumes the threads, unlocks painting.
CORE_API void corPostAssert(void);
// Breaks into a debugger when one is attached; otherwise does nothing.
CORE_API void corBreakIntoDebugger(void);

#define corASSERT(expression)                                                                      \
  do {                                                                                             \
    static int _bIgnoreAssert = 0;                                                                 \
    if (!_bIgnoreAssert && !(expression)) {                                                        \
      int _iAnswer = QuennelEngine::corAssert(#expression, __FILE__, __LINE__);                    \
      QuennelEngine::corPostAssert();                                                              \
      if (_iAnswer == 2) _bIgnoreAssert = 1;                                                       \
      if (_iAnswer == 1) QuennelEngine::corBreakIntoDebugger();                                    \
    }                                                                                              \
  } while (0)

} // namespace QuennelEngine
