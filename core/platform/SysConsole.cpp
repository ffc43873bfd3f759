#include "core/platform/SysConsole.h"

#include "core/frame/Console.h"
#include "core/text/Conversion.h"
#include "core/text/Editing.h"
#include "core/text/Translation.h"

#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace QuennelEngine {

static int ReadUnattendedFromEnvironment(void)
{
  char ach[8];
  DWORD ct = GetEnvironmentVariableA("QE_UNATTENDED", ach, sizeof(ach));
  return ct > 0 && ct < sizeof(ach) && strcmp(ach, "0") != 0 ? 1 : 0;
}

static long volatile _sys_bUnattended = -1; // -1: not read from the environment yet
static void (*_sys_pBeforeMessageBox)(void) = nullptr;
static void (*_sys_pAfterMessageBox)(void) = nullptr;

void sysSetUnattended(bool bUnattended)
{
  _sys_bUnattended = bUnattended ? 1 : 0;
}

bool sysIsUnattended(void)
{
  if (_sys_bUnattended < 0) _sys_bUnattended = ReadUnattendedFromEnvironment();
  return _sys_bUnattended != 0;
}

void sysSetMessageBoxHooks(void (*pBefore)(void), void (*pAfter)(void))
{
  _sys_pBeforeMessageBox = pBefore;
  _sys_pAfterMessageBox = pAfter;
}

void sysOutputStdOutString(const char *str)
{
  if (str == nullptr) return;
  HANDLE hOut = GetStdHandle(STD_OUTPUT_HANDLE);
  if (hOut == nullptr || hOut == INVALID_HANDLE_VALUE) return;
  // Whatever the C runtime buffered goes first, so the two kinds of output stay in order.
  fflush(stdout);
  DWORD dwWritten = 0;
  WriteFile(hOut, str, (DWORD)strlen(str), &dwWritten, nullptr);
}

static const char *ButtonName(SysMessageAnswer sma)
{
  switch (sma) {
  case SMA_OK:
    return "OK";
  case SMA_ABORT:
    return "Abort";
  case SMA_RETRY:
    return "Retry";
  case SMA_IGNORE:
    return "Ignore";
  case SMA_YES:
    return "Yes";
  case SMA_NO:
    return "No";
  }
  return "?";
}

SysMessageAnswer sysMessageBox(const char *strText, const char *strTitle, SysMessageButtons smb,
                               SysMessageIcon smi, SysMessageAnswer smaDefault)
{
  if (sysIsUnattended()) {
    conWarningF(
        strTranslate("DOZUSystem.Unattended=Unattended: message window \"%1\" answered %2:\n%3\n"),
        ARG_TEXT, strTitle, ARG_TEXT, ButtonName(smaDefault), ARG_TEXT, strText);
    return smaDefault;
  }
  UINT uType = MB_TASKMODAL | MB_SETFOREGROUND | MB_TOPMOST;
  switch (smb) {
  case SMB_ABORTRETRYIGNORE:
    uType |= MB_ABORTRETRYIGNORE;
    break;
  case SMB_YESNO:
    uType |= MB_YESNO;
    break;
  default:
    uType |= MB_OK;
    break;
  }
  switch (smi) {
  case SMI_WARNING:
    uType |= MB_ICONWARNING;
    break;
  case SMI_INFORMATION:
    uType |= MB_ICONINFORMATION;
    break;
  default:
    uType |= MB_ICONERROR;
    break;
  }
  if (smb == SMB_ABORTRETRYIGNORE) {
    uType |=
        smaDefault == SMA_RETRY ? MB_DEFBUTTON2 : (smaDefault == SMA_IGNORE ? MB_DEFBUTTON3 : 0);
  } else if (smb == SMB_YESNO) {
    uType |= smaDefault == SMA_NO ? MB_DEFBUTTON2 : 0;
  }
  CWString wstrText = strUTF8ToUTF16(strText);
  CWString wstrTitle = strUTF8ToUTF16(strTitle);
  if (_sys_pBeforeMessageBox) _sys_pBeforeMessageBox();
  int iAnswer =
      MessageBoxW(nullptr, (LPCWSTR)wstrText.wstr_String, (LPCWSTR)wstrTitle.wstr_String, uType);
  if (_sys_pAfterMessageBox) _sys_pAfterMessageBox();
  switch (iAnswer) {
  case IDABORT:
    return SMA_ABORT;
  case IDRETRY:
    return SMA_RETRY;
  case IDIGNORE:
    return SMA_IGNORE;
  case IDYES:
    return SMA_YES;
  case IDNO:
    return SMA_NO;
  case IDOK:
    return SMA_OK;
  default:
    return smaDefault;
  }
}

void sysMessage(const char *strText)
{
  sysMessageBox(strText, "Message", SMB_OK, SMI_ERROR, SMA_OK);
}

CString sysGetErrorText(unsigned long ulCode)
{
  wchar_t *pwchMessage = nullptr;
  DWORD ct = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, ulCode, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), (LPWSTR)&pwchMessage, 0, nullptr);
  if (ct == 0 || pwchMessage == nullptr) return CString();
  CString str = strUTF16ToUTF8((const unsigned short *)pwchMessage);
  LocalFree(pwchMessage);
  strTrimSpacesRight(str);
  // The system's texts end with CR LF; the trim takes the LF, the CR is not of the space class.
  while (str.Length() > 0 && (str[str.Length() - 1] == '\r' || str[str.Length() - 1] == '\n')) {
    strDeleteTail(str, 1);
  }
  return str;
}

unsigned long sysGetLastError(void)
{
  return GetLastError();
}

void sysBreakIntoDebugger(void)
{
  if (IsDebuggerPresent()) DebugBreak();
}

bool sysIsRunningOnWine(void)
{
  HMODULE hNtDll = GetModuleHandleA("ntdll.dll");
  return hNtDll != nullptr && GetProcAddress(hNtDll, "wine_get_version") != nullptr;
}

void sysExit(int iCode)
{
  fflush(nullptr);
  ExitProcess((UINT)iCode);
}

} // namespace QuennelEngine
