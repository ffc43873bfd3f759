// Running this test program again as a child process with a named body.
#include "TestSupport.h"

#include <windows.h>

#include <map>
#include <string>
#include <vector>

namespace QuennelEngine {
namespace Test {

static std::map<std::string, ChildBody> &Bodies()
{
  static std::map<std::string, ChildBody> mapBodies;
  return mapBodies;
}

CChildRegistrar::CChildRegistrar(const char *strName, ChildBody pBody)
{
  Bodies()[strName] = pBody;
}

int RunChildBody(const char *strName)
{
  auto it = Bodies().find(strName);
  return it == Bodies().end() ? -1 : it->second();
}

// The parent's environment block with the given NAME=VALUE lines added.
static std::vector<char> ChildEnvironment(const char *strExtra)
{
  std::vector<char> ach;
  char *pchBlock = GetEnvironmentStringsA();
  for (char *pch = pchBlock; *pch != 0; pch += strlen(pch) + 1) {
    ach.insert(ach.end(), pch, pch + strlen(pch) + 1);
  }
  FreeEnvironmentStringsA(pchBlock);
  std::string strAll = std::string("QE_UNATTENDED=1\n") + strExtra;
  size_t iStart = 0;
  while (iStart < strAll.size()) {
    size_t iEnd = strAll.find('\n', iStart);
    if (iEnd == std::string::npos) iEnd = strAll.size();
    if (iEnd > iStart) {
      ach.insert(ach.end(), strAll.begin() + iStart, strAll.begin() + iEnd);
      ach.push_back(0);
    }
    iStart = iEnd + 1;
  }
  ach.push_back(0);
  return ach;
}

ChildResult RunChild(const char *strName, unsigned long ulMilliseconds, const char *strEnvironment)
{
  ChildResult cr = {false, 0xFFFFFFFF, ""};
  char strExe[MAX_PATH];
  GetModuleFileNameA(nullptr, strExe, MAX_PATH);
  std::string strOutFile = std::string("child-") + strName + ".out";

  SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};
  HANDLE hOut = CreateFileA(strOutFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            &sa, CREATE_ALWAYS, 0, nullptr);
  STARTUPINFOA si = {};
  si.cb = sizeof(si);
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  si.hStdOutput = hOut;
  si.hStdError = hOut;
  std::string strCommand = std::string("\"") + strExe + "\" --qe-child=" + strName;
  std::vector<char> achCommand(strCommand.begin(), strCommand.end());
  achCommand.push_back(0);
  std::vector<char> achEnvironment = ChildEnvironment(strEnvironment);
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessA(nullptr, achCommand.data(), nullptr, nullptr, TRUE, 0, achEnvironment.data(),
                      nullptr, &si, &pi)) {
    CloseHandle(hOut);
    cr.cr_strOutput = "CreateProcess failed";
    return cr;
  }
  CloseHandle(hOut);
  if (WaitForSingleObject(pi.hProcess, ulMilliseconds) != WAIT_OBJECT_0) {
    cr.cr_bTimedOut = true;
    TerminateProcess(pi.hProcess, 99);
    WaitForSingleObject(pi.hProcess, 5000);
  }
  DWORD dwCode = 0;
  GetExitCodeProcess(pi.hProcess, &dwCode);
  cr.cr_ulExitCode = dwCode;
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);

  FILE *pf = fopen(strOutFile.c_str(), "rb");
  if (pf) {
    char ach[4096];
    size_t ct;
    while ((ct = fread(ach, 1, sizeof(ach), pf)) > 0) cr.cr_strOutput.append(ach, ct);
    fclose(pf);
  }
  DeleteFileA(strOutFile.c_str());
  return cr;
}

} // namespace Test
} // namespace QuennelEngine
