#include "core/platform/SysMemory.h"

#include <string.h>
#include <windows.h>

namespace QuennelEngine {

void *sysReserveMemory(size_t slSize)
{
  return VirtualAlloc(nullptr, slSize, MEM_RESERVE, PAGE_NOACCESS);
}

bool sysCommitMemory(void *pv, size_t slSize)
{
  return VirtualAlloc(pv, slSize, MEM_COMMIT, PAGE_READWRITE) != nullptr;
}

void *sysAllocateMemory(size_t slSize)
{
  return VirtualAlloc(nullptr, slSize, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void sysDecommitMemory(void *pv, size_t slSize)
{
  VirtualFree(pv, slSize, MEM_DECOMMIT);
}

void sysReleaseMemory(void *pvBase)
{
  VirtualFree(pvBase, 0, MEM_RELEASE);
}

size_t sysQueryCommittedSize(const void *pv)
{
  MEMORY_BASIC_INFORMATION mbi;
  if (VirtualQuery(pv, &mbi, sizeof(mbi)) != sizeof(mbi) || mbi.State != MEM_COMMIT) return 0;
  // The run starts at the page of `pv`; what lies before `pv` in that page is not counted.
  return mbi.RegionSize - ((const char *)pv - (const char *)mbi.BaseAddress);
}

static void GetSystemFacts(SYSTEM_INFO &si)
{
  static SYSTEM_INFO _siFacts;
  static long _bKnown = 0;
  // Threads that race here all store the same facts.
  if (!__atomic_load_n(&_bKnown, __ATOMIC_ACQUIRE)) {
    GetSystemInfo(&_siFacts);
    __atomic_store_n(&_bKnown, 1, __ATOMIC_RELEASE);
  }
  si = _siFacts;
}

size_t sysGetPageSize(void)
{
  SYSTEM_INFO si;
  GetSystemFacts(si);
  return si.dwPageSize;
}

size_t sysGetAllocationGranularity(void)
{
  SYSTEM_INFO si;
  GetSystemFacts(si);
  return si.dwAllocationGranularity;
}

void sysGetPhysicalMemory(unsigned long long &ullTotal, unsigned long long &ullAvailable)
{
  MEMORYSTATUSEX msx;
  msx.dwLength = sizeof(msx);
  if (!GlobalMemoryStatusEx(&msx)) {
    ullTotal = ullAvailable = 0;
    return;
  }
  ullTotal = msx.ullTotalPhys;
  ullAvailable = msx.ullAvailPhys;
}

void sysEndProcessNow(unsigned int uExitCode)
{
  TerminateProcess(GetCurrentProcess(), uExitCode);
  // TerminateProcess does not return for the current process; this only satisfies [[noreturn]].
  ExitProcess(uExitCode);
}

void sysWriteStandardError(const char *str)
{
  HANDLE h = GetStdHandle(STD_ERROR_HANDLE);
  if (h == nullptr || h == INVALID_HANDLE_VALUE) return;
  DWORD dwWritten = 0;
  WriteFile(h, str, (DWORD)strlen(str), &dwWritten, nullptr);
}

} // namespace QuennelEngine
