#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string.h>
#include <string>

using namespace QuennelEngine;
using namespace QuennelEngine::Test;

namespace {

// Starts a test from a reset profiler at the root and puts every setting and figure back
// afterwards, so tests do not see each other's state.
class CProfilerScope {
public:
  CProfilerScope()
      : ps_bShow(prf_bShowProfiler), ps_bFrozen(prf_bFrozenProfiler),
        ps_iMaxDepth(prf_iMaxNodeDepth), ps_tmInterval(prf_tmRefreshInterval),
        ps_strFilter(prf_strOutputFilter)
  {
    prfReset();
  }
  ~CProfilerScope()
  {
    prf_bShowProfiler = ps_bShow;
    prf_bFrozenProfiler = ps_bFrozen;
    prf_iMaxNodeDepth = ps_iMaxDepth;
    prf_tmRefreshInterval = ps_tmInterval;
    prf_strOutputFilter = ps_strFilter;
    prfReset();
  }

private:
  int ps_bShow;
  int ps_bFrozen;
  long ps_iMaxDepth;
  float ps_tmInterval;
  CString ps_strFilter;
};

CString ConsoleLine(long iLine, long *piType = nullptr)
{
  long iType;
  CString str;
  conGetLine(iLine, iType, str);
  if (piType) *piType = iType;
  return str;
}

// The first word of every report line, joined by commas: which nodes a report shows.
std::string NamesIn(const char *strReport)
{
  std::string strNames;
  for (const char *pch = strReport; *pch != 0;) {
    const char *pchEnd = strchr(pch, '\n');
    std::string strLine(pch, pchEnd ? pchEnd - pch : strlen(pch));
    size_t iFirst = strLine.find_first_not_of(' ');
    if (iFirst != std::string::npos) {
      if (!strNames.empty()) strNames += ",";
      strNames += strLine.substr(iFirst, strLine.find(' ', iFirst) - iFirst);
    }
    pch = pchEnd ? pchEnd + 1 : pch + strlen(pch);
  }
  return strNames;
}

// A report line: the head (indentation and name) padded to `ctColumn`, then the figures.
std::string ReportLine(const char *strHead, long ctColumn, const char *strFigures)
{
  std::string str(strHead);
  str.resize(ctColumn, ' ');
  return str + strFigures + "\n";
}

ProfileReportSettings Settings(long iWidth, const char *strFilter = "", long iMaxDepth = 99)
{
  ProfileReportSettings prs;
  prs.prs_iWidth = iWidth;
  prs.prs_llFramesTime = 20000;
  prs.prs_llTicksPerSecond = 1000000; // a tick is a microsecond
  prs.prs_strFilter = strFilter;
  prs.prs_iMaxNodeDepth = iMaxDepth;
  return prs;
}

} // namespace

TEST(ProfileNode, TimersCountsAndSubNodes)
{
  CLockOutputs lo;
  CGuardBreachCounter gbc;
  CProfileNode pnRoot("TestRoot", nullptr);
  // Re-entering a running section nests; only the outermost exit adds time.
  pnRoot.StartTimer();
  __int64 llStarted = pnRoot.pn_llTicks;
  pnRoot.StartTimer();
  EXPECT_EQ(pnRoot.pn_iDepth, 2);
  EXPECT_EQ(pnRoot.StopTimer(), 0);
  EXPECT_EQ(pnRoot.pn_llTicks, llStarted);
  EXPECT_NE(pnRoot.StopTimer(), 0);
  EXPECT_GE(pnRoot.pn_llTicks, 0);
  EXPECT_LT(pnRoot.pn_llTicks, -llStarted);
  // Leaving a section that does not run is refused.
  __int64 llTicks = pnRoot.pn_llTicks;
  EXPECT_EQ(pnRoot.StopTimer(), 0);
  EXPECT_EQ(gbc.Count(), 1);
  EXPECT_EQ(pnRoot.pn_iDepth, 0);
  EXPECT_EQ(pnRoot.pn_llTicks, llTicks);

  // Sections are told apart by the name's address: equal texts at two addresses are two nodes,
  // linked newest first.
  static const char strFirst[] = "Same";
  static const char strSecond[] = "Same";
  CProfileNode *ppnFirst = pnRoot.GetSubNode(strFirst);
  CProfileNode *ppnSecond = pnRoot.GetSubNode(strSecond);
  EXPECT_NE(ppnFirst, ppnSecond);
  EXPECT_EQ(pnRoot.GetSubNode(strFirst), ppnFirst);
  EXPECT_EQ(pnRoot.GetChild(), ppnSecond);
  EXPECT_EQ(ppnSecond->GetSibling(), ppnFirst);

  // The node keeps its own copy of the text.
  char achName[16] = "Volatile";
  CProfileNode pnCopied(achName, &pnRoot);
  strcpy(achName, "Changed");
  EXPECT_STREQ(pnCopied.GetName(), "Volatile");
  EXPECT_EQ(pnCopied.pn_strName, achName);
}

TEST(ProfileNode, AveragesAndResetsKeepRunningSectionsRight)
{
  CGuardBreachCounter gbc;
  long ctOldDelta = _prf_ctFramesDelta;
  CProfileNode pnRoot("TestRoot", nullptr);
  CProfileNode pnOlder("Older", &pnRoot);
  CProfileNode pnNewer("Newer", &pnRoot);
  CProfileNode pnLeaf("Leaf", &pnOlder);
  pnOlder.pn_llTicks = 1001;
  pnOlder.pn_ctCalls = 4;
  pnOlder.pn_fCount = 10.0f;
  pnLeaf.pn_ctCalls = 1;
  _prf_ctFramesDelta = 2;
  pnRoot.CalcFrameAverages();
  EXPECT_EQ(pnOlder.GetFramesTime(), 500); // integer division
  EXPECT_FLOAT_EQ(pnOlder.GetFramesCalls(), 2.0f);
  EXPECT_FLOAT_EQ(pnOlder.GetFramesCount(), 5.0f);
  EXPECT_FLOAT_EQ(pnLeaf.GetFramesCalls(), 0.5f);
  EXPECT_EQ(pnOlder.pn_llTicks, 0);
  EXPECT_EQ(pnOlder.pn_ctCalls, 0);
  EXPECT_EQ(pnOlder.pn_fCount, 0.0f);

  // Reset covers the node, its subtree and its following (older) siblings, not newer ones.
  pnNewer.pn_ctCalls = 3;
  pnOlder.pn_ctCalls = 3;
  pnOlder.Reset();
  EXPECT_EQ(pnOlder.pn_ctCalls, 0);
  EXPECT_EQ(pnOlder.GetFramesCalls(), 0.0f);
  EXPECT_EQ(pnLeaf.GetFramesCalls(), 0.0f);
  EXPECT_EQ(pnNewer.pn_ctCalls, 3);

  // A section running across a refresh: the time before goes into the averages, the time after
  // into the new period, and the stop adds only that.
  pnLeaf.StartTimer();
  __int64 llBeforeRefresh = timReadTimeStampCounter();
  pnRoot.CalcFrameAverages();
  EXPECT_GE(pnLeaf.GetFramesTime(), 0);
  EXPECT_EQ(pnLeaf.pn_iDepth, 1);
  EXPECT_NE(pnLeaf.StopTimer(), 0);
  __int64 llAfterStop = timReadTimeStampCounter();
  EXPECT_GE(pnLeaf.pn_llTicks, 0);
  EXPECT_LE(pnLeaf.pn_llTicks, llAfterStop - llBeforeRefresh);

  // The same across a reset: the section keeps running and its stop is no contract violation.
  pnLeaf.StartTimer();
  __int64 llBeforeReset = timReadTimeStampCounter();
  pnRoot.Reset();
  EXPECT_EQ(pnLeaf.pn_iDepth, 1);
  EXPECT_NE(pnLeaf.StopTimer(), 0);
  EXPECT_GE(pnLeaf.pn_llTicks, 0);
  EXPECT_LE(pnLeaf.pn_llTicks, timReadTimeStampCounter() - llBeforeReset);
  EXPECT_EQ(gbc.Count(), 0);
  _prf_ctFramesDelta = ctOldDelta;
}

TEST(Profiler, SectionsFollowTheCurrentNode)
{
  CProfilerScope ps;
  CLockOutputs lo;
  CGuardBreachCounter gbc;
  CProfileNode &pnRoot = prfGetRootNode();
  EXPECT_STREQ(pnRoot.GetName(), "Root");
  EXPECT_STREQ(prf_pnGlobal.GetName(), "global");
  EXPECT_EQ(prf_pnGlobal.GetParent(), &pnRoot);
  ASSERT_EQ(prfGetCurrentNode(), &pnRoot);

  static const char strOuter[] = "Prf.Outer";
  static const char strInner[] = "Prf.Inner";
  _prfStartProfile(strOuter, 2.0f);
  CProfileNode *ppnOuter = prfGetCurrentNode();
  EXPECT_EQ(ppnOuter->GetParent(), &pnRoot);
  EXPECT_FLOAT_EQ(ppnOuter->pn_fCount, 2.0f);
  // The same name pointer again stays on the node and nests.
  _prfStartProfile(strOuter);
  EXPECT_EQ(prfGetCurrentNode(), ppnOuter);
  EXPECT_EQ(ppnOuter->pn_iDepth, 2);
  _prfStartProfile(strInner);
  CProfileNode *ppnInner = prfGetCurrentNode();
  EXPECT_EQ(ppnInner->GetParent(), ppnOuter);

  // Counters: without a name to the current node (its entry already counted one call); with
  // the current node's own name or a child's, the current node stays where it is.
  _prfIncCounter(1.5f, nullptr, 3);
  EXPECT_FLOAT_EQ(ppnInner->pn_fCount, 1.5f);
  EXPECT_EQ(ppnInner->pn_ctCalls, 3);
  _prfIncCounter(1.0f, strInner, 2);
  EXPECT_EQ(prfGetCurrentNode(), ppnInner);
  EXPECT_EQ(ppnInner->pn_ctCalls, 5);
  static const char strCounted[] = "Prf.Counted";
  _prfIncCounter(4.0f, strCounted);
  EXPECT_EQ(prfGetCurrentNode(), ppnInner);
  CProfileNode *ppnCounted = ppnInner->GetSubNode(strCounted);
  EXPECT_FLOAT_EQ(ppnCounted->pn_fCount, 4.0f);
  EXPECT_EQ(ppnCounted->pn_ctCalls, 1);

  _prfStopProfile();
  EXPECT_EQ(prfGetCurrentNode(), ppnOuter);
  _prfStopProfile();
  EXPECT_EQ(prfGetCurrentNode(), ppnOuter);
  _prfStopProfile();
  EXPECT_EQ(prfGetCurrentNode(), &pnRoot);
  EXPECT_GT(ppnOuter->pn_llTicks, 0);
  EXPECT_EQ(gbc.Count(), 0);

  // An unbalanced stop at the root does not climb above it.
  _prfStopProfile();
  EXPECT_EQ(gbc.Count(), 1);
  EXPECT_EQ(prfGetCurrentNode(), &pnRoot);
  EXPECT_EQ(pnRoot.pn_iDepth, 0);
}

TEST(ProfileSample, LeavesExactlyTheSectionsItEntered)
{
  CProfilerScope ps;
  CLockOutputs lo;
  CGuardBreachCounter gbc;
  CProfileNode &pnRoot = prfGetRootNode();
  static const char strSample[] = "Prf.Sample";
  static const char strNested[] = "Prf.Nested";

  // Hidden: nothing is entered, and the node tree is untouched.
  prf_bShowProfiler = 0;
  {
    CProfileSample psHidden(strSample);
    EXPECT_EQ(prfGetCurrentNode(), &pnRoot);
    // Switched on inside the scope: the inner sample enters and leaves; the outer one, which
    // never entered, must not leave anything when it ends.
    prf_bShowProfiler = 1;
    {
      CProfileSample psInner(strNested);
      EXPECT_STREQ(prfGetCurrentNode()->GetName(), "Prf.Nested");
    }
    EXPECT_EQ(prfGetCurrentNode(), &pnRoot);
  }
  EXPECT_EQ(prfGetCurrentNode(), &pnRoot);

  // Switched off inside the scope: the section entered is still left.
  {
    CProfileSample psShown(strSample);
    CProfileNode *ppn = prfGetCurrentNode();
    EXPECT_EQ(ppn->pn_iDepth, 1);
    prf_bShowProfiler = 0;
    {
      CProfileSample psInner(strNested);
      EXPECT_EQ(prfGetCurrentNode(), ppn);
    }
  }
  EXPECT_EQ(prfGetCurrentNode(), &pnRoot);
  EXPECT_EQ(pnRoot.GetSubNode(strSample)->pn_iDepth, 0);
  EXPECT_EQ(gbc.Count(), 0);

  // The manual sample: inactive until named; naming it twice is refused.
  prf_bShowProfiler = 1;
  static const char strManual[] = "Prf.Manual";
  {
    CProfileSampleManual psm;
    EXPECT_FALSE(psm.IsActive());
    EXPECT_EQ(psm.mdGetDataType(), nullptr);
    EXPECT_EQ(prfGetCurrentNode(), &pnRoot);
    psm.SetSectionName(strManual);
    EXPECT_TRUE(psm.IsActive());
    CProfileNode *ppnManual = prfGetCurrentNode();
    EXPECT_STREQ(ppnManual->GetName(), "Prf.Manual");
    psm.SetSectionName(strNested);
    EXPECT_EQ(gbc.Count(), 1);
    EXPECT_EQ(prfGetCurrentNode(), ppnManual);
    prf_bShowProfiler = 0;
  }
  EXPECT_EQ(prfGetCurrentNode(), &pnRoot);
  {
    // Named while hidden: active, but there is nothing to leave when the profiler comes on.
    CProfileSampleManual psm;
    psm.SetSectionName(strManual);
    EXPECT_TRUE(psm.IsActive());
    prf_bShowProfiler = 1;
  }
  EXPECT_EQ(prfGetCurrentNode(), &pnRoot);
  EXPECT_EQ(gbc.Count(), 1);
}

TEST(ProfileTimer, AddsTicksAndCallsWithoutTheTree)
{
  CProfilerScope ps;
  // Nested timers on the same counters add both lifetimes; the profiler may be hidden.
  prf_bShowProfiler = 0;
  CProfileNode pnTimed("Timed", nullptr);
  __int64 llBefore = timReadTimeStampCounter();
  {
    CProfileTimer pt(pnTimed);
    CProfileTimer ptNested(pnTimed.pn_llTicks, pnTimed.pn_ctCalls);
  }
  __int64 llElapsed = timReadTimeStampCounter() - llBefore;
  EXPECT_EQ(pnTimed.pn_ctCalls, 2);
  EXPECT_GT(pnTimed.pn_llTicks, 0);
  EXPECT_LE(pnTimed.pn_llTicks, 2 * llElapsed);
  EXPECT_EQ(pnTimed.pn_iDepth, 0);
  EXPECT_EQ(prfGetCurrentNode(), &prfGetRootNode());
}

TEST(Profiler, NodesOutliveTheTextsThatNamedThem)
{
  CProfilerScope ps;
  prf_bShowProfiler = 1;
  const size_t CT_NAME = 32;
  char *pchName = new char[CT_NAME];
  strcpy(pchName, "Prf.FromUnloaded");
  _prfStartProfile(pchName);
  CProfileNode *ppnOld = prfGetCurrentNode();
  _prfStopProfile();
  EXPECT_EQ(prfGetRootNode().GetSubNode(pchName), ppnOld);

  // The library that held the text goes; a new text appears at the same address.
  prfReleaseSectionNames(pchName, pchName + CT_NAME);
  EXPECT_NE(ppnOld->pn_strName, pchName);
  strcpy(pchName, "Prf.NewText");
  _prfStartProfile(pchName);
  CProfileNode *ppnNew = prfGetCurrentNode();
  _prfStopProfile();
  EXPECT_NE(ppnNew, ppnOld);
  EXPECT_STREQ(ppnNew->GetName(), "Prf.NewText");
  EXPECT_STREQ(ppnOld->GetName(), "Prf.FromUnloaded");
  EXPECT_EQ(ppnOld->pn_ctCalls, 1);
  EXPECT_EQ(ppnNew->pn_ctCalls, 1);
  // Texts outside the range keep their keys.
  static const char strKept[] = "Prf.Kept";
  CProfileNode *ppnKept = prfGetRootNode().GetSubNode(strKept);
  prfReleaseSectionNames(pchName, pchName + CT_NAME);
  EXPECT_EQ(prfGetRootNode().GetSubNode(strKept), ppnKept);
  delete[] pchName;
}

TEST(ProfileReport, ColumnsOfAKnownTree)
{
  long ctOldDelta = _prf_ctFramesDelta;
  CProfileNode pnRoot("TestRoot", nullptr);
  CProfileNode pnRender("Render", &pnRoot);
  CProfileNode pnShadows("Shadows", &pnRender);
  CProfileNode pnPhysics("Physics", &pnRoot);
  CProfileNode pnIdle("Idle", &pnRoot);
  CProfileNode pnNested("Nested", &pnIdle);
  pnRender.pn_llTicks = 10000;
  pnRender.pn_ctCalls = 4;
  pnShadows.pn_ctCalls = 2;
  pnShadows.pn_fCount = 5.0f;
  pnPhysics.pn_llTicks = 90000;
  pnPhysics.pn_ctCalls = 2;
  pnPhysics.pn_fCount = 7.0f;
  pnNested.pn_llTicks = 1000;
  pnNested.pn_ctCalls = 2;
  _prf_ctFramesDelta = 2;
  pnRoot.CalcFrameAverages();
  _prf_ctFramesDelta = ctOldDelta;

  // Width 60: the calls start at column 31, and a full line is exactly 60 characters. Siblings
  // print oldest first; a node without calls (Idle) has no line but its children do.
  long ctLines = 0;
  CString strReport = pnRoot.Report(Settings(60), &ctLines);
  std::string strExpected = ReportLine("Render", 31, "     2:   5.0 (25%)") +
                            ReportLine(" Shadows", 31, "     1:                   2.5") +
                            ReportLine("Physics", 31, "     1:  45.0 (99%),      3.5") +
                            ReportLine(" Nested", 31, "     1:   0.5 ( 2%)");
  EXPECT_EQ(std::string(strReport), strExpected);
  EXPECT_EQ(ctLines, 4);
  EXPECT_EQ(ReportLine("Physics", 31, "     1:  45.0 (99%),      3.5").size(), 61u);

  // A narrow display keeps at least 20 columns for the names.
  strReport = pnRoot.Report(Settings(40, "", 1), &ctLines);
  EXPECT_EQ(std::string(strReport), ReportLine("Render", 21, "     2:   5.0 (25%)") +
                                        ReportLine("Physics", 21, "     1:  45.0 (99%),      3.5"));
  EXPECT_EQ(ctLines, 2);

  // A subtree reports at its depth in the tree.
  EXPECT_EQ(std::string(pnShadows.Report(Settings(60), nullptr)),
            ReportLine(" Shadows", 31, "     1:                   2.5"));
}

TEST(ProfileReport, FiltersAndDepth)
{
  CProfileNode pnRoot("TestRoot", nullptr);
  CProfileNode pnRender("Render", &pnRoot);
  CProfileNode pnShadows("Shadows", &pnRender);
  CProfileNode pnSky("Sky", &pnRender);
  CProfileNode pnPhysics("Physics", &pnRoot);
  CProfileNode pnCollide("Collide", &pnPhysics);
  for (CProfileNode *ppn : {&pnRender, &pnShadows, &pnSky, &pnPhysics, &pnCollide})
    ppn->pn_fFramesCalls = 1.0f;

  long ctLines = 0;
  EXPECT_EQ(NamesIn(pnRoot.Report(Settings(60), &ctLines)), "Render,Shadows,Sky,Physics,Collide");
  EXPECT_EQ(ctLines, 5);
  // Without "+": only the nodes whose own names contain the text (case-insensitive).
  EXPECT_EQ(NamesIn(pnRoot.Report(Settings(60, "sha"), &ctLines)), "Shadows");
  EXPECT_EQ(ctLines, 1);
  EXPECT_EQ(NamesIn(pnRoot.Report(Settings(60, "s"), &ctLines)), "Shadows,Sky,Physics");
  // With "+": the matching nodes with their whole subtrees.
  EXPECT_EQ(NamesIn(pnRoot.Report(Settings(60, "+Render"), &ctLines)), "Render,Shadows,Sky");
  EXPECT_EQ(ctLines, 3);
  EXPECT_EQ(NamesIn(pnRoot.Report(Settings(60, "+col"), &ctLines)), "Collide");
  EXPECT_EQ(NamesIn(pnRoot.Report(Settings(60, "+Physics"), &ctLines)), "Physics,Collide");
  EXPECT_EQ(NamesIn(pnRoot.Report(Settings(60, "+"), &ctLines)),
            "Render,Shadows,Sky,Physics,Collide");
  EXPECT_EQ(NamesIn(pnRoot.Report(Settings(60, "nothing"), &ctLines)), "");
  EXPECT_EQ(ctLines, 0);
  // The depth limit, clamped to 1..99.
  EXPECT_EQ(NamesIn(pnRoot.Report(Settings(60, "", 1), &ctLines)), "Render,Physics");
  EXPECT_EQ(NamesIn(pnRoot.Report(Settings(60, "+Render", 1), &ctLines)), "Render");
}

TEST(Profiler, FramesAndRefreshes)
{
  CProfilerScope ps;
  static const char strFrame[] = "Prf.Frame";
  // Hidden: frames are counted and nothing else happens.
  prf_bShowProfiler = 0;
  prf_tmRefreshInterval = 0.0f;
  _prf_ctFramesDelta = 77;
  EXPECT_EQ(prfIncFrameCounter(), 1);
  EXPECT_EQ(prfIncFrameCounter(), 2);
  EXPECT_EQ(prfGetFrameCounter(), 2);
  EXPECT_EQ(_prf_ctFramesDelta, 77);
  CString strOut("untouched");
  EXPECT_EQ(prfReportResults(60, strOut), 0);
  EXPECT_STREQ(strOut, "untouched");

  // Shown: the first frame starts a period; refreshes come when the interval is exceeded.
  prf_bShowProfiler = 1;
  prf_tmRefreshInterval = 1e9f;
  EXPECT_EQ(prfIncFrameCounter(), 3);
  for (int iFrame = 0; iFrame < 3; iFrame++) {
    _prfStartProfile(strFrame, 2.0f);
    _prfStopProfile();
    if (iFrame == 2) prf_tmRefreshInterval = 0.0f;
    prfIncFrameCounter();
  }
  EXPECT_EQ(_prf_ctFramesDelta, 3);
  CProfileNode *ppnFrame = prfGetRootNode().GetSubNode(strFrame);
  EXPECT_FLOAT_EQ(ppnFrame->GetFramesCalls(), 1.0f);
  EXPECT_FLOAT_EQ(ppnFrame->GetFramesCount(), 2.0f);
  EXPECT_GT(ppnFrame->GetFramesTime(), 0);
  EXPECT_GT(_prf_sqFramesTime, 0);
  EXPECT_GE(_prf_sqProfilerTime, 0);
  EXPECT_EQ(ppnFrame->pn_ctCalls, 0);

  prfReset();
  EXPECT_EQ(prfGetFrameCounter(), 0);
  EXPECT_EQ(_prf_ctFramesDelta, 0);
  EXPECT_EQ(_prf_sqFramesTime, 0);
  EXPECT_EQ(ppnFrame->GetFramesCalls(), 0.0f);
}

TEST(Profiler, ReportsFreezeAndDump)
{
  CProfilerScope ps;
  CLockOutputs lo;
  prf_bShowProfiler = 1;
  prf_tmRefreshInterval = -1.0f;
  prf_iMaxNodeDepth = 500;
  // Nothing ran since the reset: only the heading of the engine-wide nodes and its blank line.
  CString strReport;
  EXPECT_EQ(prfReportResults(60, strReport), 2);
  EXPECT_STREQ(strReport, "globals:\n\n");
  EXPECT_EQ(prf_tmRefreshInterval, 0.0f);
  EXPECT_EQ(prf_iMaxNodeDepth, 99);
  prf_iMaxNodeDepth = 0;
  prfReportResults(60, strReport);
  EXPECT_EQ(prf_iMaxNodeDepth, 1);
  prf_iMaxNodeDepth = 99;

  static const char strFrozen[] = "Prf.Frozen";
  static const char strLater[] = "Prf.Later";
  static const char strEngine[] = "Prf.Engine";
  CProfileNode pnEngine(strEngine, &prf_pnGlobal);
  prfIncFrameCounter();
  _prfStartProfile(strFrozen);
  _prfStopProfile();
  {
    CProfileTimer pt(pnEngine);
  }
  prfIncFrameCounter();
  EXPECT_EQ(prfReportResults(60, strReport), 4);
  EXPECT_EQ(NamesIn(strReport), "globals:,Prf.Engine,Prf.Frozen");
  EXPECT_EQ(std::string(strReport).find("globals:\n Prf.Engine"), 0u);
  CString strBefore = strReport;

  // Frozen: the same report while the counters go on.
  prf_bFrozenProfiler = 1;
  _prfStartProfile(strLater);
  _prfStopProfile();
  prfIncFrameCounter();
  EXPECT_FLOAT_EQ(prfGetRootNode().GetSubNode(strLater)->GetFramesCalls(), 1.0f);
  EXPECT_EQ(prfReportResults(60, strReport), 4);
  EXPECT_STREQ(strReport, strBefore);
  prf_bFrozenProfiler = 0;
  prfReportResults(60, strReport);
  EXPECT_EQ(NamesIn(strReport), "globals:,Prf.Later");

  // A dump prints the next report as info lines.
  long ctTotal = conGetTotalLinesCount();
  prfDumpProfile();
  EXPECT_EQ(conGetTotalLinesCount(), ctTotal);
  prfReportResults(60, strReport);
  long iType = 0;
  EXPECT_STREQ(ConsoleLine(conGetTotalLinesCount() - ctTotal - 1, &iType), "globals:\n");
  EXPECT_EQ(iType, CMT_INFO);
  ctTotal = conGetTotalLinesCount();
  prfReportResults(60, strReport);
  EXPECT_EQ(conGetTotalLinesCount(), ctTotal);

  // A dump needs the profiler shown.
  prf_bShowProfiler = 0;
  prfDumpProfile();
  EXPECT_STREQ(ConsoleLine(0, &iType),
               "prfDumpProfile() doesn't work if prf_bShowProfiler is off\n");
  EXPECT_EQ(iType, CMT_WARNING);
}

TEST(Profiler, FrameRateMeter)
{
  CProfilerScope ps;
  prf_tmRefreshInterval = 1.0f;
  __int64 llFrequency = timGetTimeStampFrequency();
  float fFPS = -1.0f;
  long ctFrames = 5;
  // The first stamp only starts the meter.
  __int64 llStamp = 0;
  prfCalcFPS(fFPS, llStamp, ctFrames);
  EXPECT_EQ(fFPS, -1.0f);
  EXPECT_EQ(ctFrames, 0);
  EXPECT_NE(llStamp, 0);
  // Within the interval frames are only counted.
  __int64 llStarted = llStamp;
  prfCalcFPS(fFPS, llStamp, ctFrames);
  EXPECT_EQ(ctFrames, 1);
  EXPECT_EQ(llStamp, llStarted);
  // Two seconds and ten frames later (this call being the tenth): 5 frames per second.
  llStamp = timReadTimeStampCounter() - 2 * llFrequency;
  ctFrames = 9;
  prfCalcFPS(fFPS, llStamp, ctFrames);
  EXPECT_NEAR(fFPS, 5.0f, 0.05f);
  EXPECT_EQ(ctFrames, 0);
  EXPECT_GT(llStamp, llStarted);
}

TEST(Profiler, ExternalProfilerIsQuietWithoutItsLibrary)
{
  CGuardBreachCounter gbc;
  long ctLines = conGetTotalLinesCount();
  prfEnableExternalProfiler();
  prfDisableExternalProfiler();
  prfEnableExternalProfiler();
  EXPECT_EQ(conGetTotalLinesCount(), ctLines);
  EXPECT_EQ(gbc.Count(), 0);
}
