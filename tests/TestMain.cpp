#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string.h>

int main(int argc, char **argv)
{
  // Message windows must never block a test run.
  QuennelEngine::sysSetUnattended(true);
  // A test that needs a process of its own runs this program again with --qe-child=NAME.
  for (int i = 1; i < argc; i++) {
    if (strncmp(argv[i], "--qe-child=", 11) == 0) {
      return QuennelEngine::Test::RunChildBody(argv[i] + 11);
    }
  }
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
