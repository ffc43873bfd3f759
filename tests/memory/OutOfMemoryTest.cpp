// The out-of-memory path ends the process, so each case runs in a child process of its own.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <io.h>
#include <stdio.h>
#include <stdlib.h>
#include <windows.h>

using namespace QuennelEngine;

namespace {

const size_t _slImpossible = 0x7FFFFFF0;
size_t _slFreeBefore = 0;

// The console may print to standard output; send it where the death test looks, and keep the
// fatal path from waiting on a message window.
void PrepareChild(void)
{
  fflush(stdout);
  _dup2(_fileno(stderr), _fileno(stdout));
  SetStdHandle(STD_OUTPUT_HANDLE, GetStdHandle(STD_ERROR_HANDLE));
  _slFreeBefore = memGetMemSizeInfo().msi_mhsGeneral.mhs_slFree;
}

void ReportCallback(long slSize)
{
  // The reserve is back in the heap before anyone is told.
  size_t slFree = memGetMemSizeInfo().msi_mhsGeneral.mhs_slFree;
  fprintf(stderr, "callback for %ld bytes, reserve %s\n", slSize,
          slFree >= _slFreeBefore + 32 * 1024 ? "released" : "kept");
  fflush(stderr);
}

void AllocatingCallback(long)
{
  memMAlloc(_slImpossible);
}

bool Failed(int iExitCode)
{
  return iExitCode != 0;
}

} // namespace

class MemoryDeathTest : public testing::Test {
protected:
  void SetUp() override
  {
    // Inherited by the child processes.
    _putenv("QE_UNATTENDED=1");
  }
};

TEST_F(MemoryDeathTest, AllocationFailureCallsTheCallbackThenEndsWithTheMessage)
{
  EXPECT_EXIT(
      {
        PrepareChild();
        SetErrorInsufficientMemoryCallback(ReportCallback);
        memMAlloc(_slImpossible);
      },
      Failed,
      "callback for 2147483632 bytes, reserve released\n.*Not enough memory \\(.* bytes "
      "needed\\)!");
  // The reallocation path reports through its translated text.
  EXPECT_EXIT(
      {
        PrepareChild();
        void *p = memMAlloc(10);
        memReAlloc(p, _slImpossible);
      },
      Failed, "Not enough memory \\(.* bytes needed\\)!");
}

TEST_F(MemoryDeathTest, FailingAgainWhileReportingEndsAtOnce)
{
  EXPECT_EXIT(
      {
        PrepareChild();
        SetErrorInsufficientMemoryCallback(AllocatingCallback);
        memMAlloc(_slImpossible);
      },
      testing::ExitedWithCode(3), "while reporting a lack of memory");
}
