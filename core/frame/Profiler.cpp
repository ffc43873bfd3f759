// The profiler's tree, its frame bookkeeping and its reports.
//
// Running sections hold their start stamp subtracted in their ticks. A refresh or a reset that
// happens while a section runs therefore cannot simply zero the ticks (the later stop would add
// a whole time stamp to nothing); it books the time up to now and leaves -now behind, so the stop
// adds exactly the time since. The depth of running sections survives both, so the samples that
// are still open leave them normally.
#include "core/frame/Profiler.h"

#include "core/frame/CodeGuard.h"
#include "core/frame/Console.h"
#include "core/frame/Exception.h"
#include "core/frame/ProfileSample.h"
#include "core/memory/Memory.h"
#include "core/platform/DynamicLoader.h"
#include "core/text/FormatArgs.h"
#include "core/text/Search.h"
#include "core/text/Translation.h"

#include <new>
#include <string.h>

namespace QuennelEngine {

int prf_bShowProfiler = 0;
int prf_bFrozenProfiler = 0;
int prf_bAutoFreezeProfiler = 0;
long prf_iMaxNodeDepth = 99;
float prf_tmRefreshInterval = 1.0f;
CString prf_strOutputFilter;

long _prf_ctFramesDelta = 0;
__int64 _prf_sqFramesTime = 0;
__int64 _prf_sqProfilerTime = 0;
__int64 _prf_sqProfilerOverhead = 0;

namespace {

const long PRF_MAX_DEPTH = 99;
const long PRF_NO_FILTER_DEPTH = 9999;
const long PRF_DEFAULT_WIDTH = 80;
// The key of sections entered with a null name, so that their stops still balance.
const char *const _strUnnamed = "(unnamed)";

CProfileNode _prf_pnRoot("Root", nullptr);
// Cleared when the root goes, so that libraries closed later leave the dead tree alone.
bool _prf_bTreeAlive = true;

} // namespace

CProfileNode prf_pnGlobal("global", &_prf_pnRoot);

namespace {

CProfileNode *_prf_ppnCurrent = &_prf_pnRoot;

// Frame bookkeeping.
long _prf_ctFrames = 0;
long _prf_ctFramesAtRefresh = 0;
// 0 until the first frame counted while shown starts a period.
__int64 _prf_llRefreshStamp = 0;

// The cached report.
CString _prf_strReport;
long _prf_ctReportLines = 0;
long _prf_iReportWidth = PRF_DEFAULT_WIDTH;
int _prf_bDumpRequested = 0;

long ClampDepth(long iDepth)
{
  return iDepth < 1 ? 1 : iDepth > PRF_MAX_DEPTH ? PRF_MAX_DEPTH : iDepth;
}

bool IsInSubtree(const CProfileNode *ppn, const CProfileNode *ppnTop)
{
  for (; ppn != nullptr; ppn = ppn->pn_ppnParent) {
    if (ppn == ppnTop) return true;
  }
  return false;
}

// Books a node's running time up to now (or all of its time) and starts its new period.
__int64 TakeTicks(CProfileNode *ppn)
{
  __int64 llTicks = ppn->pn_llTicks;
  if (ppn->pn_iDepth > 0) {
    __int64 llNow = timReadTimeStampCounter();
    llTicks += llNow;
    ppn->pn_llTicks = -llNow;
  } else {
    ppn->pn_llTicks = 0;
  }
  return llTicks;
}

void ReleaseNames(CProfileNode *ppnFirst, uintptr_t ulBegin, uintptr_t ulEnd)
{
  for (CProfileNode *ppn = ppnFirst; ppn != nullptr; ppn = ppn->pn_ppnSibling) {
    uintptr_t ulKey = (uintptr_t)ppn->pn_strName;
    if (ulKey >= ulBegin && ulKey < ulEnd) ppn->pn_strName = ppn->pn_strText;
    ReleaseNames(ppn->pn_ppnChild, ulBegin, ulEnd);
  }
}

// Builds a report into a growing buffer.
class CReportBuilder {
public:
  CReportBuilder(const ProfileReportSettings &prs) : rb_prs(prs)
  {
    const char *strFilter = prs.prs_strFilter != nullptr ? prs.prs_strFilter : "";
    rb_bFilter = strFilter[0] != 0;
    rb_bWithChildren = strFilter[0] == '+';
    rb_strFilterText = rb_bWithChildren ? strFilter + 1 : strFilter;
    long iColumn = prs.prs_iWidth - 30;
    rb_iColumn = (iColumn > 20 ? iColumn : 20) + 1;
    rb_iMaxDepth = ClampDepth(prs.prs_iMaxNodeDepth);
    rb_llTicksPerSecond =
        prs.prs_llTicksPerSecond > 0 ? prs.prs_llTicksPerSecond : timGetTimeStampFrequency();
  }
  ~CReportBuilder() { memFree(rb_pchBuffer); }

  // The node and its following siblings at depth `iDepth`. Siblings are linked newest first and
  // reported oldest first.
  void AddNodes(const CProfileNode *ppnFirst, long iDepth)
  {
    const int CT_LOCAL = 32;
    const CProfileNode *appnLocal[CT_LOCAL];
    const CProfileNode **appn = appnLocal;
    long ct = 0;
    for (const CProfileNode *ppn = ppnFirst; ppn != nullptr; ppn = ppn->pn_ppnSibling) ct++;
    if (ct > CT_LOCAL) appn = (const CProfileNode **)memMAlloc(ct * sizeof(*appn));
    long i = 0;
    for (const CProfileNode *ppn = ppnFirst; ppn != nullptr; ppn = ppn->pn_ppnSibling)
      appn[i++] = ppn;
    while (i > 0) AddNode(appn[--i], iDepth);
    if (appn != appnLocal) memFree(appn);
  }

  CString Result(long *pctLines) const
  {
    if (pctLines != nullptr) *pctLines = rb_ctLines;
    return rb_ct == 0 ? CString() : CString(rb_pchBuffer, rb_ct);
  }

private:
  void AddNode(const CProfileNode *ppn, long iDepth)
  {
    long iLineStart = rb_ct;
    bool bLine = false;
    if (iDepth >= 1) {
      if (ppn == &prf_pnGlobal) {
        // A heading for the engine-wide nodes, whether or not the node itself was entered.
        Append("globals:\n");
        bLine = true;
      } else if (ppn->pn_fFramesCalls > 0) {
        AddLine(ppn, iDepth);
        bLine = true;
      }
    }
    // Below a match in with-children mode (deeper than the filter depth) everything shows.
    if (rb_bFilter && iDepth <= rb_iFilterDepth) {
      // An empty filter text ("+" alone) occurs in every name.
      if (rb_strFilterText[0] == 0 || strFindSubstr(ppn->GetName(), rb_strFilterText) >= 0) {
        if (rb_bWithChildren && iDepth < rb_iFilterDepth) rb_iFilterDepth = iDepth;
      } else {
        rb_iFilterDepth = PRF_NO_FILTER_DEPTH;
        if (bLine) {
          rb_ct = iLineStart;
          bLine = false;
        }
      }
    }
    if (bLine) rb_ctLines++;
    if (ppn->pn_ppnChild != nullptr && iDepth < rb_iMaxDepth)
      AddNodes(ppn->pn_ppnChild, iDepth + 1);
    if (ppn == &prf_pnGlobal) {
      Put('\n');
      rb_ctLines++;
    }
  }

  void AddLine(const CProfileNode *ppn, long iDepth)
  {
    long iLineStart = rb_ct;
    for (long i = 1; i < iDepth; i++) Put(' ');
    Append(ppn->GetName());
    while (rb_ct - iLineStart < rb_iColumn) Put(' ');
    Format("%1:", fmtSpec((long)ppn->pn_fFramesCalls, "6"));
    const char *strSeparator = "";
    if (ppn->pn_llFramesTime > 0) {
      float fMilliseconds =
          (float)((double)ppn->pn_llFramesTime * 1000.0 / (double)rb_llTicksPerSecond);
      long iPercent = 99;
      if (rb_prs.prs_llFramesTime > 0) {
        __int64 llPercent = ppn->pn_llFramesTime * 100 / rb_prs.prs_llFramesTime;
        if (llPercent < 99) iPercent = (long)llPercent;
      }
      Format(" %1 (%2%%)", fmtSpec(fMilliseconds, "5.1f"), fmtSpec(iPercent, "2"));
      strSeparator = ",";
    } else {
      Append("             ");
    }
    if (ppn->pn_fFramesCount > 0)
      Format("%1%2", strSeparator, fmtSpec(ppn->pn_fFramesCount, "9.1f"));
    Put('\n');
  }

  template <class... Args> void Format(const char *strFormat, const Args &...args)
  {
    fmtOutput(PutChar, this, strFormat, args...);
  }
  static void PutChar(char ch, void *pvBuilder) { ((CReportBuilder *)pvBuilder)->Put(ch); }

  void Put(char ch)
  {
    if (rb_ct == rb_ctCapacity) {
      rb_ctCapacity = rb_ctCapacity == 0 ? 1024 : rb_ctCapacity * 2;
      rb_pchBuffer = (char *)memReAlloc(rb_pchBuffer, rb_ctCapacity);
    }
    rb_pchBuffer[rb_ct++] = ch;
  }
  void Append(const char *str)
  {
    for (; *str != 0; str++) Put(*str);
  }

  const ProfileReportSettings &rb_prs;
  bool rb_bFilter;
  bool rb_bWithChildren;
  const char *rb_strFilterText;
  long rb_iColumn;
  long rb_iMaxDepth;
  __int64 rb_llTicksPerSecond;
  long rb_iFilterDepth = PRF_NO_FILTER_DEPTH;
  long rb_ctLines = 0;
  char *rb_pchBuffer = nullptr;
  long rb_ct = 0;
  long rb_ctCapacity = 0;
};

ProfileReportSettings CurrentSettings(void)
{
  ProfileReportSettings prs;
  prs.prs_iWidth = _prf_iReportWidth;
  prs.prs_llFramesTime = _prf_sqFramesTime;
  prs.prs_llTicksPerSecond = timGetTimeStampFrequency();
  prs.prs_strFilter = prf_strOutputFilter;
  prs.prs_iMaxNodeDepth = prf_iMaxNodeDepth;
  return prs;
}

} // namespace

// ---- CProfileNode ----

CProfileNode::CProfileNode(const char *strName, CProfileNode *ppnParent)
    : pn_llTicks(0), pn_ctCalls(0), pn_fCount(0.0f), pn_strName(strName), pn_iDepth(0),
      pn_llFramesTime(0), pn_fFramesCount(0.0f), pn_fFramesCalls(0.0f), pn_ppnParent(ppnParent),
      pn_ppnChild(nullptr), pn_ppnSibling(nullptr), pn_strText(nullptr), pn_bOwnedByTree(0)
{
  if (strName == nullptr) {
    corLogGuardBreach();
    pn_strName = strName = _strUnnamed;
  }
  size_t slText = strlen(strName) + 1;
  pn_strText = (char *)memMAlloc(slText);
  memcpy(pn_strText, strName, slText);
  if (ppnParent != nullptr) {
    pn_ppnSibling = ppnParent->pn_ppnChild;
    ppnParent->pn_ppnChild = this;
  }
}

CProfileNode::~CProfileNode()
{
  if (this == &_prf_pnRoot) _prf_bTreeAlive = false;
  if (IsInSubtree(_prf_ppnCurrent, this)) {
    _prf_ppnCurrent = pn_ppnParent != nullptr ? pn_ppnParent : &_prf_pnRoot;
  }
  // Children are detached first, so that their own unlinking finds nothing to do.
  CProfileNode *ppnChild = pn_ppnChild;
  pn_ppnChild = nullptr;
  while (ppnChild != nullptr) {
    CProfileNode *ppnNext = ppnChild->pn_ppnSibling;
    ppnChild->pn_ppnParent = nullptr;
    ppnChild->pn_ppnSibling = nullptr;
    if (ppnChild->pn_bOwnedByTree) {
      ppnChild->~CProfileNode();
      memFree(ppnChild);
    }
    ppnChild = ppnNext;
  }
  if (pn_ppnParent != nullptr) {
    for (CProfileNode **pppn = &pn_ppnParent->pn_ppnChild; *pppn != nullptr;
         pppn = &(*pppn)->pn_ppnSibling) {
      if (*pppn == this) {
        *pppn = pn_ppnSibling;
        break;
      }
    }
  }
  memFree(pn_strText);
}

int CProfileNode::StopTimer(void)
{
  if (pn_iDepth <= 0) {
    corLogGuardBreach();
    return 0;
  }
  if (--pn_iDepth != 0) return 0;
  pn_llTicks += timReadTimeStampCounter();
  return 1;
}

void CProfileNode::Count(float fValue, long ctCalls)
{
  pn_fCount += fValue;
  pn_ctCalls += ctCalls;
}

static QE_NOINLINE CProfileNode *NewSubNode(CProfileNode *ppnParent, const char *strName)
{
  CProfileNode *ppn = new (memMAlloc(sizeof(CProfileNode))) CProfileNode(strName, ppnParent);
  ppn->pn_bOwnedByTree = 1;
  return ppn;
}

CProfileNode *CProfileNode::GetSubNode(const char *strName)
{
  if (strName == nullptr) {
    corLogGuardBreach();
    strName = _strUnnamed;
  }
  for (CProfileNode *ppn = pn_ppnChild; ppn != nullptr; ppn = ppn->pn_ppnSibling) {
    if (ppn->pn_strName == strName) return ppn;
  }
  return NewSubNode(this, strName);
}

void CProfileNode::Reset(void)
{
  for (CProfileNode *ppn = this; ppn != nullptr; ppn = ppn->pn_ppnSibling) {
    TakeTicks(ppn);
    ppn->pn_ctCalls = 0;
    ppn->pn_fCount = 0.0f;
    ppn->pn_llFramesTime = 0;
    ppn->pn_fFramesCount = 0.0f;
    ppn->pn_fFramesCalls = 0.0f;
    if (ppn->pn_ppnChild != nullptr) ppn->pn_ppnChild->Reset();
  }
}

void CProfileNode::CalcFrameAverages(void)
{
  long ctFrames = _prf_ctFramesDelta;
  if (ctFrames <= 0) {
    corLogGuardBreach();
    ctFrames = 1;
  }
  for (CProfileNode *ppn = this; ppn != nullptr; ppn = ppn->pn_ppnSibling) {
    ppn->pn_llFramesTime = TakeTicks(ppn) / ctFrames;
    ppn->pn_fFramesCount = ppn->pn_fCount / (float)ctFrames;
    ppn->pn_fFramesCalls = (float)ppn->pn_ctCalls / (float)ctFrames;
    ppn->pn_ctCalls = 0;
    ppn->pn_fCount = 0.0f;
    if (ppn->pn_ppnChild != nullptr) ppn->pn_ppnChild->CalcFrameAverages();
  }
}

CString CProfileNode::Report(void) const
{
  return Report(CurrentSettings(), nullptr);
}

CString CProfileNode::Report(const ProfileReportSettings &prs, long *pctLines) const
{
  long iDepth = 0;
  for (const CProfileNode *ppn = pn_ppnParent; ppn != nullptr; ppn = ppn->pn_ppnParent) iDepth++;
  CReportBuilder rb(prs);
  rb.AddNodes(this, iDepth);
  return rb.Result(pctLines);
}

// ---- The tree ----

CProfileNode &prfGetRootNode(void)
{
  return _prf_pnRoot;
}

CProfileNode *prfGetCurrentNode(void)
{
  return _prf_ppnCurrent;
}

void _prfStartProfile(const char *strName, float fCount)
{
  CProfileNode *ppn = _prf_ppnCurrent;
  if (QE_UNLIKELY(strName == nullptr)) {
    corLogGuardBreach();
    strName = _strUnnamed;
  }
  if (ppn->pn_strName != strName) {
    ppn = ppn->GetSubNode(strName);
    _prf_ppnCurrent = ppn;
  }
  if (fCount != 0.0f) ppn->pn_fCount += fCount;
  ppn->StartTimer();
}

void _prfStopProfile(void)
{
  CProfileNode *ppn = _prf_ppnCurrent;
  // Nothing runs here: an unbalanced stop must not climb above the root.
  if (QE_UNLIKELY(ppn->pn_iDepth <= 0)) {
    corLogGuardBreach();
    return;
  }
  if (ppn->StopTimer() && ppn->pn_ppnParent != nullptr) _prf_ppnCurrent = ppn->pn_ppnParent;
}

void _prfIncCounter(float fValue, const char *strName, long ctCalls)
{
  CProfileNode *ppn = _prf_ppnCurrent;
  if (strName == nullptr) {
    ppn->Count(fValue, ctCalls - 1);
    return;
  }
  if (ppn->pn_strName != strName) ppn = ppn->GetSubNode(strName);
  ppn->Count(fValue, ctCalls);
}

void prfReleaseSectionNames(const void *pvBegin, const void *pvEnd)
{
  if (!_prf_bTreeAlive || pvBegin == nullptr) return;
  ReleaseNames(&_prf_pnRoot, (uintptr_t)pvBegin, (uintptr_t)pvEnd);
}

// Sections named by literals of an unloaded library must not be found by reused addresses.
static const bool _prf_bUnloadedCallbackRegistered =
    (sysAddLibraryUnloadedCallback(prfReleaseSectionNames), true);

// ---- Frames and reports ----

long prfIncFrameCounter(void)
{
  _prf_ctFrames++;
  if (!prf_bShowProfiler) return _prf_ctFrames;
  __int64 llNow = timReadTimeStampCounter();
  if (_prf_llRefreshStamp == 0) {
    // Without a period begun, the elapsed time would reach back to the machine's start.
    _prf_llRefreshStamp = llNow;
    _prf_ctFramesAtRefresh = _prf_ctFrames;
    return _prf_ctFrames;
  }
  __int64 llElapsed = llNow - _prf_llRefreshStamp;
  if (!(timTicksToFloat(llElapsed) > prf_tmRefreshInterval)) return _prf_ctFrames;

  long ctFrames = _prf_ctFrames - _prf_ctFramesAtRefresh;
  _prf_ctFramesDelta = ctFrames > 0 ? ctFrames : 1;
  _prf_ctFramesAtRefresh = _prf_ctFrames;
  _prf_sqFramesTime = (llElapsed - _prf_sqProfilerTime) / _prf_ctFramesDelta;
  _prf_llRefreshStamp = llNow;
  _prf_pnRoot.CalcFrameAverages();
  _prf_sqProfilerOverhead = _prf_sqProfilerTime / _prf_ctFramesDelta;
  _prf_sqProfilerTime = timReadTimeStampCounter() - llNow;
  return _prf_ctFrames;
}

long prfGetFrameCounter(void)
{
  return _prf_ctFrames;
}

void prfReset(void)
{
  _prf_pnRoot.Reset();
  _prf_ctFrames = 0;
  _prf_ctFramesAtRefresh = 0;
  _prf_ctFramesDelta = 0;
  _prf_sqFramesTime = 0;
  _prf_sqProfilerTime = 0;
  _prf_sqProfilerOverhead = 0;
  _prf_llRefreshStamp = 0;
}

long prfReportResults(long iWidth, CString &strOut)
{
  if (!prf_bShowProfiler) return 0;
  if (prf_tmRefreshInterval < 0.0f) prf_tmRefreshInterval = 0.0f;
  prf_iMaxNodeDepth = ClampDepth(prf_iMaxNodeDepth);
  if (!prf_bFrozenProfiler) {
    // Building the report is the profiler's own time, kept out of the frame time.
    __int64 llStart = timReadTimeStampCounter();
    _prf_iReportWidth = iWidth;
    _prf_strReport = _prf_pnRoot.Report(CurrentSettings(), &_prf_ctReportLines);
    _prf_sqProfilerTime += timReadTimeStampCounter() - llStart;
  }
  if (_prf_bDumpRequested) {
    conInfo("%1\n", _prf_strReport);
    _prf_bDumpRequested = 0;
  }
  strOut = _prf_strReport;
  return _prf_ctReportLines;
}

void prfDumpProfile(void)
{
  if (prf_bShowProfiler) {
    _prf_bDumpRequested = 1;
  } else {
    conWarning(strTranslate("DOZUProfiler.DumpNeedsProfiler=prfDumpProfile() doesn't work if "
                            "prf_bShowProfiler is off\n"));
  }
}

void prfCalcFPS(float &fFPS, __int64 &llLastStamp, long &ctFrames)
{
  ctFrames++;
  __int64 llNow = timReadTimeStampCounter();
  float fSeconds = timTicksToFloat(llNow - llLastStamp);
  if (fSeconds < prf_tmRefreshInterval) return;
  if (llLastStamp != 0 && fSeconds > 0.0f) fFPS = (float)ctFrames / fSeconds;
  llLastStamp = llNow;
  ctFrames = 0;
}

// ---- The external profiler ----

namespace {

typedef void (*ExternalProfilerEntry)(void);

struct ExternalProfiler {
  bool ep_bTried;
  ExternalProfilerEntry ep_pPause;
  ExternalProfilerEntry ep_pResume;
};
ExternalProfiler _prf_ep = {false, nullptr, nullptr};

// Loads the control library once; any part that is missing (on most machines all of it) is
// simply not used.
void LoadExternalProfiler(void)
{
  if (_prf_ep.ep_bTried) return;
  _prf_ep.ep_bTried = true;
  static CDynamicLoader dlLibrary;
  try {
    dlLibrary.Open_t("$vtuneapi.dll");
  } catch (CException &) {
    return;
  }
  try {
    _prf_ep.ep_pPause = dlLibrary.GetFunction_t<ExternalProfilerEntry>("VTPause");
  } catch (CException &) {
  }
  try {
    _prf_ep.ep_pResume = dlLibrary.GetFunction_t<ExternalProfilerEntry>("VTResume");
  } catch (CException &) {
  }
}

} // namespace

void prfEnableExternalProfiler(void)
{
  LoadExternalProfiler();
  if (_prf_ep.ep_pResume != nullptr) _prf_ep.ep_pResume();
}

void prfDisableExternalProfiler(void)
{
  LoadExternalProfiler();
  if (_prf_ep.ep_pPause != nullptr) _prf_ep.ep_pPause();
}

} // namespace QuennelEngine
