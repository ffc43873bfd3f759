#pragma once
// The hierarchical profiler: a tree of named code sections that accumulate time-stamp-counter
// ticks, calls and free values per refresh period, averaged per frame at every refresh and
// rendered as a text report. Scoped samples that enter and leave sections are in
// ProfileSample.h.
//
// A section is found by the address of its name, never by its text, so entering one costs a
// pointer comparison. Every node also keeps its own copy of the text: reports and filters read
// that copy, so a node outlives the library whose literal named it. When a library is unloaded
// through CDynamicLoader, the nodes named from its image are re-keyed to their own copies
// (prfReleaseSectionNames): they keep their figures, and a new literal that later appears at one
// of the old addresses starts a node of its own instead of inheriting a stale one.
//
// The tree, the current node and the settings are not locked: sections are entered and left on
// the main thread only.
#include "core/platform/Timer.h"
#include "core/text/String.h"

namespace QuennelEngine {

// What a report is computed from; prfReportResults takes it from the settings below and the
// last refresh.
struct ProfileReportSettings {
  long prs_iWidth;              // the display's width in characters
  __int64 prs_llFramesTime;     // the average frame in ticks, which the percentages refer to
  __int64 prs_llTicksPerSecond; // for the milliseconds
  const char *prs_strFilter;    // "" every node; "text" names containing it; "+text" with subtrees
  long prs_iMaxNodeDepth;       // deepest level shown (1: the root's children), clamped to 1..99
};

class CORE_API CProfileNode {
public:
  // Ticks of the current refresh period; while the section runs, its start stamp is already
  // subtracted.
  __int64 pn_llTicks;
  // Entries in the current period.
  long pn_ctCalls;
  // Sum of the values counted in the current period.
  float pn_fCount;
  // The caller's name pointer, by which the section is found (see prfReleaseSectionNames).
  const char *pn_strName;
  // Nesting level of the running section; 0 while it does not run.
  long pn_iDepth;
  // Per-frame averages of the last refresh.
  __int64 pn_llFramesTime;
  float pn_fFramesCount;
  float pn_fFramesCalls;
  CProfileNode *pn_ppnParent;
  CProfileNode *pn_ppnChild;   // the newest child
  CProfileNode *pn_ppnSibling; // the next older sibling
  // The node's own copy of the name's text.
  char *pn_strText;
  // Set for nodes that GetSubNode created; the tree frees them with their parent.
  int pn_bOwnedByTree;

  // A node with zeroed figures at the head of the parent's children (null: a root). The text of
  // `strName` is copied; the pointer stays the key.
  CProfileNode(const char *strName, CProfileNode *ppnParent);
  // Frees the children the tree created, unhooks the others, and unlinks from the parent.
  ~CProfileNode();
  CProfileNode(const CProfileNode &) = delete;
  CProfileNode &operator=(const CProfileNode &) = delete;

  // Enters the section: the outermost entry subtracts the time stamp; counts one call.
  void StartTimer(void);
  // Leaves the section: the outermost exit adds the time stamp. Nonzero when the section no
  // longer runs. Leaving a section that does not run is a contract violation (returns 0).
  int StopTimer(void);
  // Adds `fValue` to the count and `ctCalls` to the calls.
  void Count(float fValue, long ctCalls);
  // The child named by the pointer `strName`, created at the head of the children on first use.
  CProfileNode *GetSubNode(const char *strName);
  // Zeroes the figures and averages of this node, its descendants and its following siblings. A
  // running section keeps running: its time restarts from now and its depth stays.
  void Reset(void);
  // Per-frame averages over _prf_ctFramesDelta frames for this node, its descendants and its
  // following siblings, then a new period. A running section's time is split at this moment:
  // the part so far goes into the averages, the rest counts in the new period.
  void CalcFrameAverages(void);
  // The report lines of this node, its subtree and its following siblings (oldest first), with
  // the node at its depth in the tree, by the current settings and the last refresh.
  CString Report(void) const;
  // The same by the given settings; `pctLines` (if not null) receives the number of lines.
  CString Report(const ProfileReportSettings &prs, long *pctLines) const;

  // The name's text (the node's own copy).
  const char *GetName(void) const { return pn_strText; }
  __int64 GetFramesTime(void) const { return pn_llFramesTime; }
  float GetFramesCount(void) const { return pn_fFramesCount; }
  float GetFramesCalls(void) const { return pn_fFramesCalls; }
  CProfileNode *GetParent(void) const { return pn_ppnParent; }
  CProfileNode *GetChild(void) const { return pn_ppnChild; }
  CProfileNode *GetSibling(void) const { return pn_ppnSibling; }
};

// ---- Settings ----

// Sections are entered and refreshes done only while this is set.
CORE_API extern int prf_bShowProfiler;
// prfReportResults keeps returning its last report while this is set.
CORE_API extern int prf_bFrozenProfiler;
// Kept for the host's overlay; Core does not act on it.
CORE_API extern int prf_bAutoFreezeProfiler;
// Deepest level a report shows (clamped to 1..99 by prfReportResults).
CORE_API extern long prf_iMaxNodeDepth;
// Seconds between refreshes of the averages (raised to 0 if negative by prfReportResults).
CORE_API extern float prf_tmRefreshInterval;
// Report filter: "" none, "text" nodes whose names contain the text, "+text" those nodes with
// their whole subtrees (case-insensitive).
CORE_API extern CString prf_strOutputFilter;

// ---- Figures of the last refresh ----

// Frames in the last refresh period.
CORE_API extern long _prf_ctFramesDelta;
// Average ticks per frame in the last period, the profiler's own time taken out.
CORE_API extern __int64 _prf_sqFramesTime;
// Ticks the profiler spent on itself: since the last refresh (refresh and reports), and per
// frame in the last period.
CORE_API extern __int64 _prf_sqProfilerTime;
CORE_API extern __int64 _prf_sqProfilerOverhead;

// ---- The tree ----

// The node named "global", a child of the root; its report lines come first, under "globals:".
CORE_API extern CProfileNode prf_pnGlobal;
// The root node, named "Root".
CORE_API CProfileNode &prfGetRootNode(void);
// The node of the innermost running section (the root when none runs).
CORE_API CProfileNode *prfGetCurrentNode(void);

// Enters the section `strName` below the current node (or the current node itself when it has
// that name pointer), which becomes the current node; a nonzero `fCount` is counted to it.
CORE_API void _prfStartProfile(const char *strName, float fCount = 0.0f);
// Leaves the current section; when it no longer runs its parent becomes the current node.
// Without a running section (at the root) it is a contract violation and does nothing.
CORE_API void _prfStopProfile(void);
// Counts `fValue` to a node: with a null name to the current node, with `ctCalls` - 1 calls
// (its entry counted one); else to the current node when it has that name pointer, or to its
// child of that name, with `ctCalls` calls. The current node stays.
CORE_API void _prfIncCounter(float fValue, const char *strName = nullptr, long ctCalls = 1);

// Nodes whose name pointers lie in [pvBegin, pvEnd), the image of a library leaving the process,
// are re-keyed to their own copies of their texts: they keep their figures and are no longer
// found by pointers into that range. Registered with the dynamic loader, which calls it when a
// library leaves the process.
CORE_API void prfReleaseSectionNames(const void *pvBegin, const void *pvEnd);

// ---- Frames and reports ----

// Counts a frame; while the profiler is shown, refreshes the averages once more than
// prf_tmRefreshInterval seconds have passed since the last refresh. Returns the frame number.
CORE_API long prfIncFrameCounter(void);
// Frames counted since the last prfReset.
CORE_API long prfGetFrameCounter(void);
// Resets the tree, the frame counter and the refresh figures (running sections keep running).
CORE_API void prfReset(void);
// While the profiler is shown: puts the report of the tree into `strOut` (the last one while
// frozen) and returns its line count; prints it too after prfDumpProfile. Otherwise returns 0
// and leaves `strOut` alone.
CORE_API long prfReportResults(long iWidth, CString &strOut);
// Makes the next prfReportResults print its report (only while the profiler is shown; warns
// otherwise).
CORE_API void prfDumpProfile(void);
// A caller-owned frame-rate meter, called once per frame: counts the frame and, once at least
// prf_tmRefreshInterval seconds have passed since `llLastStamp` (time-stamp ticks), sets `fFPS`
// (unless `llLastStamp` was 0), restarts the stamp and zeroes `ctFrames`.
CORE_API void prfCalcFPS(float &fFPS, __int64 &llLastStamp, long &ctFrames);

// Resumes and pauses an external sampling profiler through its control library, loaded on first
// use; both do nothing when the library or its entry is missing.
CORE_API void prfEnableExternalProfiler(void);
CORE_API void prfDisableExternalProfiler(void);

// ---- Inline parts ----

inline void CProfileNode::StartTimer(void)
{
  if (pn_iDepth == 0) pn_llTicks -= timReadTimeStampCounter();
  pn_ctCalls++;
  pn_iDepth++;
}

} // namespace QuennelEngine
