#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>

using namespace QuennelEngine;
using namespace QuennelEngine::Test;

namespace {

// Code-guard lines among the console lines printed since the total count was `ctTotalBefore`.
long GuardLinesSince(long ctTotalBefore)
{
  long ctNew = conGetTotalLinesCount() - ctTotalBefore;
  long ct = 0;
  for (long i = 0; i < ctNew && i < conGetLinesCount(); i++) {
    long iType;
    CString str;
    conGetLine(i, iType, str);
    if (std::string(str.str_String).find("Code guard was activated") != std::string::npos) ct++;
  }
  return ct;
}

} // namespace

// The functions below end in their guard breach, a call the optimiser turns into a jump: the site
// must still be the line inside the library, so two calling lines print at most once each
// function, and not at all once that function has reported in this process.
TEST(CodeGuard, CountsEveryBreachAndPrintsOncePerDetectingLine)
{
  CLockOutputs lo;
  CGuardBreachCounter gbc;
  long ctBefore = conGetTotalLinesCount();
  svcStartModuleServices(nullptr);
  svcStartModuleServices(nullptr);
  svcStopModuleServices(nullptr);
  svcStopModuleServices(nullptr);
  EXPECT_EQ(gbc.Count(), 4);
  EXPECT_LE(GuardLinesSince(ctBefore), 2);

  // From here both sites have reported: only the count moves.
  ctBefore = conGetTotalLinesCount();
  for (int i = 0; i < 3; i++) svcStartModuleServices(nullptr);
  EXPECT_EQ(gbc.Count(), 7);
  EXPECT_EQ(GuardLinesSince(ctBefore), 0);
}
