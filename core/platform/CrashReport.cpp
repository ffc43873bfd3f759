// Crash reports and stack dumps.
//
// The unhandled-exception filter runs in a process that is already broken, so everything on its
// path avoids what might be broken too: it checks memory with VirtualQuery before reading it
// (never by touching it), formats into fixed buffers, writes with the system's file calls, and
// takes the console only after the report is safely on disk. A stack overflow leaves the faulting
// thread a few kilobytes of stack, so that report is written by a fresh thread with a stack of
// its own while the faulting thread waits. Crashes on other threads while a report is being
// written wait for it; a crash inside the filter itself is passed on at once.
//
// A C++ exception that nothing catches never reaches the filter: the runtime calls the terminate
// handler instead. The library's terminate handler notes the exception's description and raises
// a system exception with the code RPT_UNCAUGHT_CPP_EXCEPTION, which takes the common path. The
// C++ runtime is one shared library for the whole process, so the handler serves exceptions
// thrown by the host and by the library alike.
#include "core/platform/CrashReport.h"

#include "core/frame/Console.h"
#include "core/frame/Exception.h"
#include "core/platform/Calendar.h"
#include "core/platform/SysConsole.h"
#include "core/platform/SysFiles.h"
#include "core/platform/SysMemory.h"
#include "core/platform/Timer.h"
#include "core/text/Conversion.h"
#include "core/text/FileNames.h"
#include "core/text/FormatArgs.h"
#include "core/text/Translation.h"

#include <windows.h>

#include <exception>
#include <stdio.h>
#include <string.h>

namespace QuennelEngine {

int dbg_bStealthMode = 0;
int dbg_bLockStealthMode = 0;

namespace {

const long RPT_MAX_FRAMES = 100;
const long RPT_DUMP_FRAMES = 64;
const DWORD RPT_OVERFLOW_STACK = 256 * 1024;
// How long a faulting thread waits for a report being written elsewhere.
const DWORD RPT_WAIT_MS = 20000;

wchar_t _awchReportFile[MAX_PATH + 8] = L"Crash.rpt";
char _achVersion[256] = "$Version: Quennel Vop 2; 2.062.00:57676; 2005-DEMO-inc$";
LPTOP_LEVEL_EXCEPTION_FILTER _pPreviousFilter = nullptr;
std::terminate_handler _pPreviousTerminate = nullptr;
bool _bInstalled = false;
ReportDumper volatile _pDumper = nullptr;
// The description of the C++ exception being reported.
char _achCppDescription[512] = "";

// The thread that met the crash being reported (0: none), and the one writing the report (the
// same one, or the fresh thread of a stack overflow).
DWORD volatile _ulReportingThread = 0;
DWORD volatile _ulWritingThread = 0;
long volatile _bReportDone = 0;

// ---- Memory checks that never touch the memory ----

bool IsReadableProtection(DWORD dwProtect)
{
  if (dwProtect & (PAGE_GUARD | PAGE_NOACCESS)) return false;
  return (dwProtect & (PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                       PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY)) != 0;
}

bool IsWritableProtection(DWORD dwProtect)
{
  if (dwProtect & (PAGE_GUARD | PAGE_NOACCESS)) return false;
  return (dwProtect &
          (PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY)) != 0;
}

// True when every byte of [pv, pv + ct) is committed with the access asked for.
bool IsRangeAccessible(const void *pv, size_t ct, bool bWrite)
{
  if (ct == 0) return true;
  ULONG_PTR ulStart = (ULONG_PTR)pv;
  ULONG_PTR ulEnd = ulStart + ct;
  if (ulEnd < ulStart) return false;
  ULONG_PTR ul = ulStart;
  while (ul < ulEnd) {
    MEMORY_BASIC_INFORMATION mbi;
    if (VirtualQuery((const void *)ul, &mbi, sizeof(mbi)) != sizeof(mbi)) return false;
    if (mbi.State != MEM_COMMIT) return false;
    if (!(bWrite ? IsWritableProtection(mbi.Protect) : IsReadableProtection(mbi.Protect))) {
      return false;
    }
    ULONG_PTR ulRegionEnd = (ULONG_PTR)mbi.BaseAddress + mbi.RegionSize;
    if (ulRegionEnd <= ul) return false;
    ul = ulRegionEnd;
  }
  return true;
}

// ---- Stacks ----

struct StackBounds {
  ULONG_PTR sb_ulLow;  // the lowest committed address of the stack
  ULONG_PTR sb_ulHigh; // one past its top
};

StackBounds CurrentStackBounds(void)
{
  // The thread's information block, read through fs directly.
  NT_TIB *ptib;
  asm volatile("movl %%fs:0x18, %0" : "=r"(ptib));
  StackBounds sb = {(ULONG_PTR)ptib->StackLimit, (ULONG_PTR)ptib->StackBase};
  return sb;
}

// A frame (saved frame pointer and return address) that may be read and written: aligned,
// wholly inside the stack, and committed as writable memory.
bool IsFrameUsable(ULONG_PTR ulFrame, const StackBounds &sb)
{
  if (ulFrame % 4 != 0) return false;
  if (ulFrame < sb.sb_ulLow || ulFrame > sb.sb_ulHigh || sb.sb_ulHigh - ulFrame < 8) return false;
  return IsRangeAccessible((const void *)ulFrame, 8, true);
}

// The report's walk: entry 0 is the start, then one entry per frame link that goes up.
long WalkFrames(ULONG_PTR ulAddress, ULONG_PTR ulFrame, const StackBounds &sb,
                ULONG_PTR *aulAddresses, ULONG_PTR *aulFrames, long ctMax)
{
  long ct = 0;
  while (ct < ctMax) {
    aulAddresses[ct] = ulAddress;
    aulFrames[ct] = ulFrame;
    ct++;
    if (!IsFrameUsable(ulFrame, sb)) break;
    const ULONG_PTR *pul = (const ULONG_PTR *)ulFrame;
    ULONG_PTR ulNextFrame = pul[0];
    ULONG_PTR ulNextAddress = pul[1];
    // A link that does not go up (a loop, the end of the chain) ends the walk.
    if (ulNextFrame % 4 != 0 || ulNextFrame <= ulFrame || !IsFrameUsable(ulNextFrame, sb)) break;
    ulAddress = ulNextAddress;
    ulFrame = ulNextFrame;
  }
  return ct;
}

// ---- Code locations ----

bool LocateCode(ULONG_PTR ulAddress, CodeLocation &cl)
{
  cl.cl_hModule = nullptr;
  cl.cl_iSection = 0;
  cl.cl_ulOffset = 0;
  cl.cl_strModule[0] = 0;
  MEMORY_BASIC_INFORMATION mbi;
  if (VirtualQuery((const void *)ulAddress, &mbi, sizeof(mbi)) != sizeof(mbi)) return false;
  if (mbi.State != MEM_COMMIT || mbi.Type != MEM_IMAGE || mbi.AllocationBase == nullptr) {
    return false;
  }
  const char *pchBase = (const char *)mbi.AllocationBase;
  const IMAGE_DOS_HEADER *pdos = (const IMAGE_DOS_HEADER *)pchBase;
  if (!IsRangeAccessible(pdos, sizeof(*pdos), false)) return false;
  if (pdos->e_magic != IMAGE_DOS_SIGNATURE || pdos->e_lfanew <= 0 || pdos->e_lfanew > 0x10000) {
    return false;
  }
  const IMAGE_NT_HEADERS32 *pnt = (const IMAGE_NT_HEADERS32 *)(pchBase + pdos->e_lfanew);
  size_t ctFixed = sizeof(DWORD) + sizeof(IMAGE_FILE_HEADER);
  if (!IsRangeAccessible(pnt, ctFixed, false) || pnt->Signature != IMAGE_NT_SIGNATURE) return false;
  long ctSections = pnt->FileHeader.NumberOfSections;
  if (ctSections <= 0 || ctSections > 96) return false;
  const IMAGE_SECTION_HEADER *ash =
      (const IMAGE_SECTION_HEADER *)((const char *)&pnt->OptionalHeader +
                                     pnt->FileHeader.SizeOfOptionalHeader);
  if (!IsRangeAccessible(ash, ctSections * sizeof(IMAGE_SECTION_HEADER), false)) return false;

  ULONG_PTR ulRVA = ulAddress - (ULONG_PTR)pchBase;
  long iSection = 0;
  for (long i = 0; i < ctSections; i++) {
    DWORD dwSize = ash[i].Misc.VirtualSize > ash[i].SizeOfRawData ? ash[i].Misc.VirtualSize
                                                                  : ash[i].SizeOfRawData;
    if (ulRVA >= ash[i].VirtualAddress && ulRVA - ash[i].VirtualAddress < dwSize) {
      iSection = i + 1;
      cl.cl_ulOffset = (unsigned long)(ulRVA - ash[i].VirtualAddress);
      break;
    }
  }
  if (iSection == 0) return false;
  // Only an image the loader knows has a name.
  wchar_t awch[MAX_PATH];
  DWORD ct = GetModuleFileNameW((HMODULE)pchBase, awch, MAX_PATH);
  if (ct == 0 || ct >= MAX_PATH) return false;
  int ctBytes = WideCharToMultiByte(CP_UTF8, 0, awch, (int)ct, cl.cl_strModule,
                                    sizeof(cl.cl_strModule) - 1, nullptr, nullptr);
  cl.cl_strModule[ctBytes > 0 ? ctBytes : 0] = 0;
  cl.cl_hModule = (void *)pchBase;
  cl.cl_iSection = iSection;
  return true;
}

// ---- Exception names ----

struct ExceptionName {
  DWORD en_ulCode;
  const char *en_strName;
};

const ExceptionName _aenNames[] = {
    {EXCEPTION_BREAKPOINT, "BREAKPOINT"},
    {EXCEPTION_SINGLE_STEP, "SINGLE_STEP"},
    {EXCEPTION_GUARD_PAGE, "GUARD_PAGE"},
    {EXCEPTION_DATATYPE_MISALIGNMENT, "DATATYPE_MISALIGNMENT"},
    {EXCEPTION_ACCESS_VIOLATION, "ACCESS_VIOLATION"},
    {EXCEPTION_IN_PAGE_ERROR, "IN_PAGE_ERROR"},
    {EXCEPTION_INVALID_HANDLE, "INVALID_HANDLE"},
    {EXCEPTION_ILLEGAL_INSTRUCTION, "ILLEGAL_INSTRUCTION"},
    {EXCEPTION_NONCONTINUABLE_EXCEPTION, "NONCONTINUABLE_EXCEPTION"},
    {EXCEPTION_INVALID_DISPOSITION, "INVALID_DISPOSITION"},
    {EXCEPTION_ARRAY_BOUNDS_EXCEEDED, "ARRAY_BOUNDS_EXCEEDED"},
    {EXCEPTION_FLT_DENORMAL_OPERAND, "FLT_DENORMAL_OPERAND"},
    {EXCEPTION_FLT_DIVIDE_BY_ZERO, "FLT_DIVIDE_BY_ZERO"},
    {EXCEPTION_FLT_INEXACT_RESULT, "FLT_INEXACT_RESULT"},
    {EXCEPTION_FLT_INVALID_OPERATION, "FLT_INVALID_OPERATION"},
    {EXCEPTION_FLT_OVERFLOW, "FLT_OVERFLOW"},
    {EXCEPTION_FLT_STACK_CHECK, "FLT_STACK_CHECK"},
    {EXCEPTION_FLT_UNDERFLOW, "FLT_UNDERFLOW"},
    {EXCEPTION_INT_DIVIDE_BY_ZERO, "INT_DIVIDE_BY_ZERO"},
    {EXCEPTION_INT_OVERFLOW, "INT_OVERFLOW"},
    {EXCEPTION_PRIV_INSTRUCTION, "PRIV_INSTRUCTION"},
    {EXCEPTION_STACK_OVERFLOW, "STACK_OVERFLOW"},
    {RPT_UNCAUGHT_CPP_EXCEPTION, "UNCAUGHT_CPP_EXCEPTION"},
};

// The name into a buffer, without allocating.
void NameException(DWORD ulCode, char *pch, DWORD ctSize)
{
  pch[0] = 0;
  for (const ExceptionName &en : _aenNames) {
    if (en.en_ulCode == ulCode) {
      lstrcpynA(pch, en.en_strName, (int)ctSize);
      return;
    }
  }
  DWORD ct = FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS,
                            GetModuleHandleA("NTDLL.DLL"), ulCode, 0, pch, ctSize, nullptr);
  if (ct >= ctSize) ct = ctSize - 1;
  // The system's texts end with a line break.
  while (ct > 0 && (pch[ct - 1] == '\n' || pch[ct - 1] == '\r' || pch[ct - 1] == ' ')) ct--;
  pch[ct] = 0;
  // Some systems (Wine) have no texts for these codes.
  if (ct == 0) lstrcpynA(pch, "unknown exception", (int)ctSize);
}

// ---- The report ----

void FormatDateAndTime(char *pchDate, char *pchTime)
{
  // The runtime library's short forms: MM/DD/YY and hh:mm:ss.
  SYSTEMTIME st;
  GetLocalTime(&st);
  snprintf(pchDate, 16, "%02u/%02u/%02u", st.wMonth, st.wDay, st.wYear % 100);
  snprintf(pchTime, 16, "%02u:%02u:%02u", st.wHour, st.wMinute, st.wSecond);
}

void WriteLocation(CReportWriter &rw, const char *strFormat, ULONG_PTR ulAddress)
{
  CodeLocation cl;
  LocateCode(ulAddress, cl);
  rw.PrintF(strFormat, cl.cl_strModule, (unsigned int)cl.cl_iSection, (unsigned int)cl.cl_ulOffset);
}

// Buffers of the report: static, as the faulting thread may have little stack left, and only
// one report is written at a time.
char _achReportBuffer[4096];
ULONG_PTR _aulWalkAddresses[RPT_MAX_FRAMES];
ULONG_PTR _aulWalkFrames[RPT_MAX_FRAMES];

void WriteReport(CReportWriter &rw, const EXCEPTION_POINTERS *pep, const StackBounds &sb)
{
  const EXCEPTION_RECORD *per = pep->ExceptionRecord;
  const CONTEXT *pctx = pep->ContextRecord;
  char achDate[16];
  char achTime[16];
  FormatDateAndTime(achDate, achTime);
  char achName[256];
  NameException(per->ExceptionCode, achName, sizeof(achName));

  rw.Write("//=====================================================\n");
  rw.PrintF("Crashed at: %s %s\n", achDate, achTime);
  rw.PrintF("Version: %s\n", _achVersion);
  rw.PrintF("Exception code: %08lX %s\n", per->ExceptionCode, achName);
  CodeLocation cl;
  LocateCode((ULONG_PTR)per->ExceptionAddress, cl);
  rw.PrintF("Fault address:  %08lX %02X:%08lX \"%s\"\n", (DWORD)(ULONG_PTR)per->ExceptionAddress,
            (unsigned int)cl.cl_iSection, cl.cl_ulOffset, cl.cl_strModule);

  rw.Write("\nRegisters:\n");
  rw.PrintF("EAX:%08lX\nEBX:%08lX\nECX:%08lX\nEDX:%08lX\nESI:%08lX\nEDI:%08lX\n", pctx->Eax,
            pctx->Ebx, pctx->Ecx, pctx->Edx, pctx->Esi, pctx->Edi);
  // Segment registers are 16 bits; the words that hold them may carry noise above.
  rw.PrintF("CS:EIP:%04lX:%08lX\n", pctx->SegCs & 0xFFFF, pctx->Eip);
  rw.PrintF("SS:ESP:%04lX:%08lX  EBP:%08lX\n", pctx->SegSs & 0xFFFF, pctx->Esp, pctx->Ebp);
  rw.PrintF("DS:%04lX  ES:%04lX  FS:%04lX  GS:%04lX\n", pctx->SegDs & 0xFFFF, pctx->SegEs & 0xFFFF,
            pctx->SegFs & 0xFFFF, pctx->SegGs & 0xFFFF);
  rw.PrintF("Flags:%08lX\n", pctx->EFlags);

  rw.Write("\nmanual stack frame walk begin:\n");
  rw.Write("\n");
  long ct = WalkFrames(pctx->Eip, pctx->Ebp, sb, _aulWalkAddresses, _aulWalkFrames, RPT_MAX_FRAMES);
  for (long i = 0; i < ct; i++) {
    rw.PrintF("%08lX %08lX ", (DWORD)_aulWalkAddresses[i], (DWORD)_aulWalkFrames[i]);
    WriteLocation(rw, "$adr: \"%s\" %04X:%08X", _aulWalkAddresses[i]);
    rw.Write("\n");
  }
  rw.Write("\nmanual stack frame walk end:\n");

  if (per->ExceptionCode == RPT_UNCAUGHT_CPP_EXCEPTION) {
    rw.PrintF("\nUncaught C++ exception: %s\n", _achCppDescription);
  }
  ReportDumper pDumper = _pDumper;
  if (pDumper != nullptr) {
    rw.Write("\n");
    pDumper(rw);
  }
  rw.Write("\n");
}

void WriteReportFile(const EXCEPTION_POINTERS *pep, const StackBounds &sb)
{
  HANDLE hFile = CreateFileW(_awchReportFile, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
  // A report that cannot be written is skipped; the rest of the crash path still runs.
  if (hFile == INVALID_HANDLE_VALUE) return;
  SetFilePointer(hFile, 0, nullptr, FILE_END);
  {
    CReportWriter rw(hFile, _achReportBuffer, sizeof(_achReportBuffer));
    WriteReport(rw, pep, sb);
  }
  CloseHandle(hFile);
}

struct CrashJob {
  const EXCEPTION_POINTERS *cj_pep;
  StackBounds cj_sb;
};

void HandleCrash(const CrashJob &cj)
{
  if (!dbgIsStealthModeEnabled()) WriteReportFile(cj.cj_pep, cj.cj_sb);
  unsigned long long ullTotal = 0;
  unsigned long long ullFree = 0;
  sysGetPhysicalMemory(ullTotal, ullFree);
  CString strNow = timToString(timUTCToLocal(timUTCNow()));
  conLogF(strTranslate("DOZUCrashReport.Crashed=%1: Crashed. (free memory: %2 MB)\n"), ARG_TEXT,
          strNow.str_String, ARG_UINT, (unsigned int)(ullFree / (1024 * 1024)));
  sysMessage("The application has malfunctioned and it will now close.\nWe apologize for the "
             "inconvenience.\nPlease send error log to the technical support.");
}

DWORD WINAPI CrashThreadMain(void *pv)
{
  _ulWritingThread = GetCurrentThreadId();
  HandleCrash(*(const CrashJob *)pv);
  return 0;
}

LONG WINAPI CrashFilter(EXCEPTION_POINTERS *pep)
{
  DWORD ulThread = GetCurrentThreadId();
  DWORD ulFound = __sync_val_compare_and_swap(&_ulReportingThread, 0, ulThread);
  if (ulFound == ulThread || ulThread == _ulWritingThread) {
    // A fault while this thread writes the report: straight on, or the filter would loop.
  } else if (ulFound == 0) {
    CrashJob cj = {pep, CurrentStackBounds()};
    if (pep->ExceptionRecord->ExceptionCode == EXCEPTION_STACK_OVERFLOW) {
      // The faulting thread has only a few kilobytes left: the report needs a stack of its own.
      HANDLE hThread = CreateThread(nullptr, RPT_OVERFLOW_STACK, CrashThreadMain, &cj,
                                    STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
      if (hThread != nullptr) {
        WaitForSingleObject(hThread, RPT_WAIT_MS);
        CloseHandle(hThread);
      }
    } else {
      HandleCrash(cj);
    }
    __atomic_store_n(&_bReportDone, 1, __ATOMIC_SEQ_CST);
  } else {
    // Another thread is reporting: let it finish before this one takes the process down.
    for (DWORD ulWaited = 0; ulWaited < RPT_WAIT_MS; ulWaited += 10) {
      if (__atomic_load_n(&_bReportDone, __ATOMIC_SEQ_CST)) break;
      Sleep(10);
    }
  }
  if (_pPreviousFilter != nullptr) return _pPreviousFilter(pep);
  return EXCEPTION_CONTINUE_SEARCH;
}

[[noreturn]] void OnTerminate(void)
{
  dbgDescribeCurrentException(_achCppDescription, sizeof(_achCppDescription));
  ULONG_PTR aulArguments[1] = {(ULONG_PTR)_achCppDescription};
  RaiseException(RPT_UNCAUGHT_CPP_EXCEPTION, EXCEPTION_NONCONTINUABLE, 1, aulArguments);
  // Only if a filter claimed to continue a non-continuable exception.
  if (_pPreviousTerminate != nullptr) _pPreviousTerminate();
  abort();
}

} // namespace

// ---- The writer ----

CReportWriter::CReportWriter(void *hFile, char *pchBuffer, long ctBuffer)
    : rw_hFile(hFile), rw_pchBuffer(pchBuffer), rw_ctBuffer(ctBuffer), rw_ctUsed(0)
{
}

CReportWriter::~CReportWriter()
{
  Flush();
}

void CReportWriter::Flush(void)
{
  if (rw_ctUsed > 0 && rw_hFile != nullptr) {
    DWORD ctWritten = 0;
    if (!WriteFile((HANDLE)rw_hFile, rw_pchBuffer, (DWORD)rw_ctUsed, &ctWritten, nullptr)) {
      rw_hFile = nullptr;
    }
  }
  rw_ctUsed = 0;
}

void CReportWriter::Write(const char *strText)
{
  if (strText == nullptr) return;
  for (const char *pch = strText; *pch != 0; pch++) {
    if (rw_ctUsed >= rw_ctBuffer) Flush();
    rw_pchBuffer[rw_ctUsed++] = *pch;
  }
}

void CReportWriter::PrintFV(const char *strFormat, va_list args)
{
  // The runtime library's own formatting, as the format attribute of PrintF declares; a text
  // that does not fit is cut.
  char ach[1024];
  int ct = _vsnprintf(ach, sizeof(ach) - 1, strFormat, args);
  ach[sizeof(ach) - 1] = 0;
  if (ct >= 0) ach[ct] = 0;
  Write(ach);
}

void CReportWriter::PrintF(const char *strFormat, ...)
{
  va_list args;
  va_start(args, strFormat);
  PrintFV(strFormat, args);
  va_end(args);
}

// ---- Installation ----

int dbgIsStealthModeEnabled(void)
{
  return (dbg_bStealthMode || dbg_bLockStealthMode) ? 1 : 0;
}

void rptInitExceptionHandler(void)
{
  wchar_t awch[MAX_PATH];
  DWORD ct = GetModuleFileNameW(nullptr, awch, MAX_PATH);
  if (ct > 0 && ct < MAX_PATH) {
    // The program's name with the extension "rpt" (added when it has none).
    long iDot = -1;
    for (long i = (long)ct - 1; i >= 0 && awch[i] != L'\\' && awch[i] != L'/'; i--) {
      if (awch[i] == L'.') {
        iDot = i;
        break;
      }
    }
    long iEnd = iDot >= 0 ? iDot : (long)ct;
    memcpy(_awchReportFile, awch, iEnd * sizeof(wchar_t));
    memcpy(_awchReportFile + iEnd, L".rpt", 5 * sizeof(wchar_t));
  }
  if (_bInstalled) return;
  _pPreviousFilter = SetUnhandledExceptionFilter(CrashFilter);
  _pPreviousTerminate = std::set_terminate(OnTerminate);
  _bInstalled = true;
}

void rptCloseExceptionHandler(void)
{
  if (!_bInstalled) return;
  SetUnhandledExceptionFilter(_pPreviousFilter);
  std::set_terminate(_pPreviousTerminate);
  _pPreviousFilter = nullptr;
  _pPreviousTerminate = nullptr;
  _bInstalled = false;
}

CString rptGetReportFileName(void)
{
  return strUTF16ToUTF8((const unsigned short *)_awchReportFile);
}

void rptSetVersionText(const char *strVersion)
{
  lstrcpynA(_achVersion, strVersion != nullptr ? strVersion : "", sizeof(_achVersion));
}

void rptAddReportDumper(ReportDumper pDumper)
{
  _pDumper = pDumper;
}

// ---- Locations and walks ----

bool rptGetCodeLocation(const void *pvAddress, CodeLocation &cl)
{
  return LocateCode((ULONG_PTR)pvAddress, cl);
}

CString rptGetExceptionName(unsigned long ulCode)
{
  char ach[256];
  NameException(ulCode, ach, sizeof(ach));
  return CString(ach);
}

QE_NOINLINE long rptCollectCurrentStack(void **apvAddresses, long ctCount, long ctSkip)
{
  if (apvAddresses == nullptr || ctCount <= 0) return 0;
  for (long i = 0; i < ctCount; i++) apvAddresses[i] = nullptr;
  if (ctSkip < 0) ctSkip = 0;
  StackBounds sb = CurrentStackBounds();
  ULONG_PTR ulFrame = (ULONG_PTR)__builtin_frame_address(0);
  long ctFilled = 0;
  for (long i = 0; i < ctCount + ctSkip; i++) {
    if (!IsFrameUsable(ulFrame, sb)) break;
    const ULONG_PTR *pul = (const ULONG_PTR *)ulFrame;
    if (i >= ctSkip) {
      apvAddresses[i - ctSkip] = (void *)pul[1];
      ctFilled++;
    }
    ULONG_PTR ulNext = pul[0];
    if (ulNext <= ulFrame) break;
    ulFrame = ulNext;
  }
  return ctFilled;
}

long rptWalkFrames(const void *pvAddress, const void *pvFrame, void **apvAddresses,
                   void **apvFrames, long ctMax)
{
  if (apvAddresses == nullptr || apvFrames == nullptr || ctMax <= 0) return 0;
  if (ctMax > RPT_MAX_FRAMES) ctMax = RPT_MAX_FRAMES;
  ULONG_PTR aulAddresses[RPT_MAX_FRAMES];
  ULONG_PTR aulFrames[RPT_MAX_FRAMES];
  long ct = WalkFrames((ULONG_PTR)pvAddress, (ULONG_PTR)pvFrame, CurrentStackBounds(), aulAddresses,
                       aulFrames, ctMax);
  for (long i = 0; i < ct; i++) {
    apvAddresses[i] = (void *)aulAddresses[i];
    apvFrames[i] = (void *)aulFrames[i];
  }
  return ct;
}

CString rptFormatStackLine(const void *pvAddress)
{
  CodeLocation cl;
  if (!LocateCode((ULONG_PTR)pvAddress, cl)) return CString();
  return strFormat("$adr: %1 %2:%3", fmtSpec(cl.cl_strModule, "q"),
                   fmtSpec((unsigned long)cl.cl_iSection, "08X"), fmtSpec(cl.cl_ulOffset, "08X"));
}

CString rptFormatStackDumpHeader(void)
{
  return CString();
}

QE_NOINLINE void rptDumpCurrentStack(const char *strFileName)
{
  void *apv[RPT_DUMP_FRAMES];
  // Entry 0: where this function was called from.
  rptCollectCurrentStack(apv, RPT_DUMP_FRAMES, 1);
  if (dbgIsStealthModeEnabled() || strFileName == nullptr) return;

  conTraceF("Dumping stack to '%1'.\n", ARG_TEXT, strFileName);
  CString strDir = strFileDir(strFileName);
  if (!strDir.IsEmpty()) sysCreateDirectories(strDir);
  FILE *pf = sysOpenCFile(strFileName, "a+b");
  if (pf == nullptr) return;
  fseek(pf, 0, SEEK_END);
  if (ftell(pf) == 0) fwrite("\xEF\xBB\xBF", 1, 3, pf); // UTF-8, as the library's logs
  char achDate[16];
  char achTime[16];
  FormatDateAndTime(achDate, achTime);
  const char *strDashes = "-----------------------------------------------------------\n";
  CString str = strFormat("\n%1Dumping stack at: %2 %3\nVersion: %4\n%1", strDashes, achDate,
                          achTime, _achVersion);
  CString strHeader = rptFormatStackDumpHeader();
  if (!strHeader.IsEmpty()) str = str + strHeader;
  fputs(str, pf);
  for (long i = 0; i < RPT_DUMP_FRAMES && apv[i] != nullptr; i++) {
    fputs(strFormat(" %1\n", rptFormatStackLine(apv[i])), pf);
  }
  fclose(pf);
}

// ---- Aids ----

namespace {

long volatile _ctOverflowLimit = 0x7FFFFFFF;
// Read at run time, so the compiler cannot see the write below go nowhere.
int *volatile _piNowhere = nullptr;

QE_NOINLINE long Overflow(long iDepth)
{
  volatile char ach[1024];
  ach[0] = (char)iDepth;
  if (iDepth >= _ctOverflowLimit) return ach[0];
  // The addition after the call keeps it from becoming a loop.
  return Overflow(iDepth + 1) + ach[0];
}

} // namespace

void dbgMakeAccessViolation(long iValue)
{
  if (iValue != 0) {
    conWarningF(strTranslate(
        "DOZUCrashReport.AccessViolation=dbgMakeAccessViolation(0) will crash the application!\n"));
    return;
  }
  *(volatile int *)_piNowhere = 0;
}

void dbgMakeStackOverflow(long iValue)
{
  if (iValue != 0) {
    conWarningF(strTranslate(
        "DOZUCrashReport.StackOverflow=dbgMakeStackOverflow(0) will crash the application!\n"));
    return;
  }
  Overflow(0);
}

} // namespace QuennelEngine
