// The console's printing path and its ring of lines.
//
// The ring holds records of one type byte, a 16-bit little-endian text length and the text (the
// line feed included), written one after the other modulo the ring size. When a byte does not
// fit, the oldest line is dropped, but never the line still open: if that alone fills the ring,
// further bytes of it are discarded (the outputs still get them).
#include "core/frame/ConsolePrivate.h"

#include "core/frame/CodeGuard.h"
#include "core/memory/Memory.h"
#include "core/platform/SysConsole.h"
#include "core/text/Compare.h"
#include "core/text/StringAlloc.h"
#include "core/threads/SyncLock.h"

#include <string.h>
#include <utility>

namespace QuennelEngine {
namespace ConsolePrivate {

CSyncMutex con_smMutex;
unsigned long con_aulFilters[COT_COUNT] = {0x4,        0xFFFFFFF8, 0xFFFFFFFF,
                                           0xFFFFFFFD, 0xFFFFFFFF, 0xFFFFFFFF};
int con_abTags[COT_COUNT] = {1, 1, 1, 1, 1, 1};
FILE *con_apfLogs[COT_COUNT] = {};
int con_bLineCallbacks = 1;

// Writable so the first dump into a log can widen them by one blank.
static char con_astrTags[8][8] = {
    "LOG:  ", "TRC:  ", "INF:  ", "DBG:  ", "WRN:  ", "ERR:  ", "FTL:  ", "???:  "};

const char *TagOf(long iType)
{
  switch (iType) {
  case CMT_LOG:
    return con_astrTags[0];
  case CMT_TRACE:
    return con_astrTags[1];
  case CMT_INFO:
    return con_astrTags[2];
  case CMT_DEBUG:
    return con_astrTags[3];
  case CMT_WARNING:
    return con_astrTags[4];
  case CMT_ERROR:
    return con_astrTags[5];
  case CMT_FATAL:
    return con_astrTags[6];
  default:
    return con_astrTags[7];
  }
}

void WidenTags(void)
{
  for (int i = 0; i < 8; i++) {
    if (con_astrTags[i][6] == 0) {
      con_astrTags[i][6] = ' ';
      con_astrTags[i][7] = 0;
    }
  }
}

void CallbackList::Add(void (*pFunction)(void *), void *pvData)
{
  if (cl_ct == cl_ctAllocated) {
    cl_ctAllocated = cl_ctAllocated * 2 + 4;
    cl_acb = (Callback *)memReAlloc(cl_acb, cl_ctAllocated * sizeof(Callback));
  }
  cl_acb[cl_ct].cb_pFunction = pFunction;
  cl_acb[cl_ct].cb_pvData = pvData;
  cl_ct++;
}

void CallbackList::Remove(void (*pFunction)(void *), void *pvData)
{
  for (long i = 0; i < cl_ct; i++) {
    if (cl_acb[i].cb_pFunction == pFunction && cl_acb[i].cb_pvData == pvData) {
      memmove(cl_acb + i, cl_acb + i + 1, (cl_ct - i - 1) * sizeof(Callback));
      cl_ct--;
      return;
    }
  }
}

} // namespace ConsolePrivate

using namespace ConsolePrivate;

// The ring of lines.
static unsigned char _aubRing[CON_BUFFER_SIZE];
static long _iOldest = 0;     // position of the oldest record
static long _iWrite = 0;      // where the next byte goes
static long _ctUsed = 0;      // bytes in use
static long _iOpenLength = 0; // position of the open line's length field
static long _ctOpenText = 0;  // text bytes of the open line stored so far
static long _ctLines = 0;     // records in the ring
static long _ctDropped = 0;   // lines dropped from the front since start
static long _ctTotal = 0;     // lines finished since start
static long _iOpenType = 0;   // type of the open line, 0 when none

static CallbackList _clLines = {};
// True while line callbacks run: lines they print do not call the callbacks again.
static bool _bInLineCallbacks = false;

static inline long RingLength(long iPos)
{
  return _aubRing[(iPos + 1) % CON_BUFFER_SIZE] | (_aubRing[(iPos + 2) % CON_BUFFER_SIZE] << 8);
}

static void DropOldest(void)
{
  long ctRecord = 3 + RingLength(_iOldest);
  _iOldest = (_iOldest + ctRecord) % CON_BUFFER_SIZE;
  _ctUsed -= ctRecord;
  _ctLines--;
  _ctDropped++;
}

// Stores one byte, making room by dropping old lines; false if it had to be discarded.
static bool PutByte(unsigned char ub)
{
  while (_ctUsed >= CON_BUFFER_SIZE) {
    if (_ctLines < 2) return false;
    DropOldest();
  }
  _aubRing[_iWrite] = ub;
  _iWrite = (_iWrite + 1) % CON_BUFFER_SIZE;
  _ctUsed++;
  return true;
}

static void StoreOpenLength(void)
{
  _aubRing[(_iOpenLength + 1) % CON_BUFFER_SIZE] = (unsigned char)(_ctOpenText & 0xFF);
  _aubRing[(_iOpenLength + 2) % CON_BUFFER_SIZE] = (unsigned char)(_ctOpenText >> 8);
}

static void StartRecord(long iType)
{
  _ctLines++;
  _iOpenLength = _iWrite;
  _ctOpenText = 0;
  PutByte((unsigned char)iType);
  PutByte(0);
  PutByte(0);
  _iOpenType = iType;
}

static void StoreText(const char *pch, long ct)
{
  for (long i = 0; i < ct && _ctOpenText < CON_MAX_LINE; i++) {
    if (!PutByte((unsigned char)pch[i])) break;
    _ctOpenText++;
  }
  StoreOpenLength();
}

// Sends text of a type to every output whose filter lets it through.
static void WriteOutputs(long iType, const char *pch, long ct, bool bTag)
{
  if (ct <= 0 && !bTag) return;
  // Standard output: output 0, or output 1 for what output 0 does not take.
  int iStd = (con_aulFilters[COT_STDOUT] & iType)        ? COT_STDOUT
             : (con_aulFilters[COT_STDOUT_REST] & iType) ? COT_STDOUT_REST
                                                         : -1;
  if (iStd >= 0) {
    if (bTag && con_abTags[iStd]) sysOutputStdOutString(TagOf(iType));
    if (ct > 0) {
      CString str(pch, ct);
      sysOutputStdOutString(str);
    }
  }
  for (int iLog = COT_LOG3; iLog <= COT_LOG5; iLog++) {
    FILE *pf = con_apfLogs[iLog];
    if (pf == nullptr || !(con_aulFilters[iLog] & iType)) continue;
    if (bTag && con_abTags[iLog]) fputs(TagOf(iType), pf);
    if (ct > 0) fwrite(pch, 1, ct, pf);
    fflush(pf);
  }
}

// A line was finished: count it and tell the callbacks (not for lines they print themselves).
static void LineFinished(void)
{
  _iOpenType = 0;
  _ctTotal++;
  if (!con_bLineCallbacks || _bInLineCallbacks || _clLines.cl_ct == 0) return;
  _bInLineCallbacks = true;
  // A callback may remove itself or others: walk a snapshot.
  long ct = _clLines.cl_ct;
  Callback acbSmall[16];
  Callback *pcb = ct <= 16 ? acbSmall : (Callback *)memMAlloc(ct * sizeof(Callback));
  memcpy(pcb, _clLines.cl_acb, ct * sizeof(Callback));
  for (long i = 0; i < ct; i++) pcb[i].cb_pFunction(pcb[i].cb_pvData);
  if (pcb != acbSmall) memFree(pcb);
  _bInLineCallbacks = false;
}

// Appends one piece (ending just after a line feed, or the last piece without one).
static void AppendPiece(long iType, const char *pch, long ct)
{
  if (_iOpenType != 0 && _iOpenType != iType) {
    // Another type's line is open: finish it with a line feed.
    long iOpenType = _iOpenType;
    StoreText("\n", 1);
    WriteOutputs(iOpenType, "\n", 1, false);
    LineFinished();
  }
  bool bNewLine = _iOpenType == 0;
  if (bNewLine) StartRecord(iType);
  StoreText(pch, ct);
  WriteOutputs(iType, pch, ct, bNewLine);
  if (ct > 0 && pch[ct - 1] == '\n') LineFinished();
}

void conPrintText(ConsoleMessageType cmt, const char *strText)
{
  if (strText == nullptr) return;
  CSyncLock sl(&con_smMutex);
  const char *pch = strText;
  while (*pch != 0) {
    const char *pchEnd = strchr(pch, '\n');
    long ct = pchEnd ? (long)(pchEnd - pch) + 1 : (long)strlen(pch);
    AppendPiece(cmt, pch, ct);
    pch += ct;
  }
}

void conPrintFV(ConsoleMessageType cmt, const char *strFormat, va_list args)
{
  CSyncLock sl(&con_smMutex);
  CString str = strPrintFV(strFormat, args);
  conPrintText(cmt, str);
}

void conPrintF(ConsoleMessageType cmt, const char *strFormat, ...)
{
  va_list args;
  va_start(args, strFormat);
  conPrintFV(cmt, strFormat, args);
  va_end(args);
}

#define QE_CONSOLE_PRINT(NAME, TYPE)                                                               \
  void NAME(const char *strFormat, ...)                                                            \
  {                                                                                                \
    va_list args;                                                                                  \
    va_start(args, strFormat);                                                                     \
    conPrintFV(TYPE, strFormat, args);                                                             \
    va_end(args);                                                                                  \
  }
QE_CONSOLE_PRINT(conLogF, CMT_LOG)
QE_CONSOLE_PRINT(conTraceF, CMT_TRACE)
QE_CONSOLE_PRINT(conInfoF, CMT_INFO)
QE_CONSOLE_PRINT(conDebugF, CMT_DEBUG)
QE_CONSOLE_PRINT(conWarningF, CMT_WARNING)
QE_CONSOLE_PRINT(conErrorF, CMT_ERROR)
#undef QE_CONSOLE_PRINT

// The last messages printed through conOutputOnce, oldest first.
static const int _ctOnceRemembered = 10;
static char *_astrOnceTexts[_ctOnceRemembered] = {};
static long _aiOnceTypes[_ctOnceRemembered] = {};
static int _ctOnce = 0;

void conOutputOnce(ConsoleMessageType cmt, const char *strFormat, ...)
{
  CSyncLock sl(&con_smMutex);
  va_list args;
  va_start(args, strFormat);
  CString str = strPrintFV(strFormat, args);
  va_end(args);
  for (int i = _ctOnce - 1; i >= 0; i--) {
    if (_aiOnceTypes[i] == cmt && strCompare(_astrOnceTexts[i], str) == 0) return;
  }
  if (_ctOnce == _ctOnceRemembered) {
    strFree(_astrOnceTexts[0]);
    memmove(_astrOnceTexts, _astrOnceTexts + 1, (_ctOnce - 1) * sizeof(char *));
    memmove(_aiOnceTypes, _aiOnceTypes + 1, (_ctOnce - 1) * sizeof(long));
    _ctOnce--;
  }
  _astrOnceTexts[_ctOnce] = strDuplicate(str);
  _aiOnceTypes[_ctOnce] = cmt;
  _ctOnce++;
  conPrintText(cmt, str);
}

long conGetLinesCount(void)
{
  CSyncLock sl(&con_smMutex);
  return _ctLines;
}

long conGetTotalLinesCount(void)
{
  CSyncLock sl(&con_smMutex);
  return _ctTotal;
}

long conGetDroppedLinesCount(void)
{
  CSyncLock sl(&con_smMutex);
  return _ctDropped;
}

// The ring position of a line counted back from the newest (0), or -1.
static long FindRecord(long iLine)
{
  if (iLine < 0 || iLine >= _ctLines) return -1;
  long iPos = _iOldest;
  for (long i = _ctLines - 1; i > iLine; i--) {
    iPos = (iPos + 3 + RingLength(iPos)) % CON_BUFFER_SIZE;
  }
  return iPos;
}

void conGetLine(long iLine, long &iType, CString &strText)
{
  CSyncLock sl(&con_smMutex);
  long iPos = FindRecord(iLine);
  if (iPos < 0) {
    iType = 0;
    strText.Clear();
    return;
  }
  iType = _aubRing[iPos];
  long ct = RingLength(iPos);
  CString str(ct);
  for (long i = 0; i < ct; i++)
    str.str_String[i] = (char)_aubRing[(iPos + 3 + i) % CON_BUFFER_SIZE];
  if (ct > 0) str.str_String[ct] = 0;
  strText = std::move(str);
}

long conGetLineType(long iLine)
{
  CSyncLock sl(&con_smMutex);
  long iPos = FindRecord(iLine);
  return iPos < 0 ? 0 : _aubRing[iPos];
}

long conAbsToRelLineIndex(long iAbsolute)
{
  CSyncLock sl(&con_smMutex);
  if (iAbsolute < 0 || iAbsolute > _ctTotal) return 0;
  return _ctTotal - iAbsolute;
}

// Walks the buffered lines oldest first (for the log dump).
void ConsoleForEachLine(void (*pFunction)(long iType, const char *pch, long ct, void *pv), void *pv)
{
  CSyncLock sl(&con_smMutex);
  long iPos = _iOldest;
  char *pchLine = (char *)memMAlloc(CON_MAX_LINE + 1);
  for (long iLine = 0; iLine < _ctLines; iLine++) {
    long ct = RingLength(iPos);
    for (long i = 0; i < ct; i++) pchLine[i] = (char)_aubRing[(iPos + 3 + i) % CON_BUFFER_SIZE];
    pFunction(_aubRing[iPos], pchLine, ct, pv);
    iPos = (iPos + 3 + ct) % CON_BUFFER_SIZE;
  }
  memFree(pchLine);
}

static bool ValidOutput(long iOutput)
{
  if (iOutput >= 0 && iOutput < COT_COUNT) return true;
  corLogGuardBreach();
  return false;
}

unsigned long conGetOutputFilter(long iOutput)
{
  CSyncLock sl(&con_smMutex);
  return ValidOutput(iOutput) ? con_aulFilters[iOutput] : 0;
}

void conSetOutputFilter(long iOutput, unsigned long ulMask)
{
  CSyncLock sl(&con_smMutex);
  if (ValidOutput(iOutput)) con_aulFilters[iOutput] = ulMask;
}

void conEnableTags(long iOutput)
{
  CSyncLock sl(&con_smMutex);
  if (ValidOutput(iOutput)) con_abTags[iOutput] = 1;
}

void conDisableTags(long iOutput)
{
  CSyncLock sl(&con_smMutex);
  if (ValidOutput(iOutput)) con_abTags[iOutput] = 0;
}

int conIsTagsEnabled(long iOutput)
{
  CSyncLock sl(&con_smMutex);
  return ValidOutput(iOutput) ? con_abTags[iOutput] : 0;
}

void conAddLineCallback(ConLineCallback pCallback, void *pvData)
{
  CSyncLock sl(&con_smMutex);
  _clLines.Add(pCallback, pvData);
}

void conRemLineCallback(ConLineCallback pCallback, void *pvData)
{
  CSyncLock sl(&con_smMutex);
  _clLines.Remove(pCallback, pvData);
}

void conEnableLineCallbacks(void)
{
  CSyncLock sl(&con_smMutex);
  con_bLineCallbacks = 1;
}

void conDisableLineCallbacks(void)
{
  CSyncLock sl(&con_smMutex);
  con_bLineCallbacks = 0;
}

int conAreCallbacksEnabled(void)
{
  CSyncLock sl(&con_smMutex);
  return con_bLineCallbacks;
}

CSyncMutex *conGetConsoleMutex(void)
{
  return &con_smMutex;
}

} // namespace QuennelEngine
