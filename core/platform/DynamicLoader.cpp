// Dynamic libraries: the loader and its Win32 platform object.
//
// The error mode is process-wide, so it is switched only around the load itself and put back
// whether the load worked or not; otherwise a failed load would leave every later missing drive
// or library silent for the whole process.
//
// A library that leaves the process may have named profiler sections with its literals; those
// nodes are re-keyed before a new library can be mapped at the same addresses. FreeLibrary only
// drops a reference, so the range is released only when the image is really gone.
#include "core/platform/DynamicLoader.h"

#include "core/frame/CodeGuard.h"
#include "core/frame/Exception.h"
#include "core/memory/Memory.h"
#include "core/meta/TypeRegistry.h"
#include "core/streams/FileSystem.h"
#include "core/text/Conversion.h"
#include "core/text/Translation.h"

#include <windows.h>

namespace QuennelEngine {

namespace {

// An absolute hard path ("C:\..." or "\\server\..."), whose dependencies are searched beside it.
bool IsAbsoluteHardPath(const char *strPath)
{
  return (strPath[0] != 0 && strPath[1] == ':') || (strPath[0] == '\\' && strPath[1] == '\\');
}

class CDynamicLoaderImpWin32 : public CDynamicLoaderImp {
public:
  ~CDynamicLoaderImpWin32() override { Close(); }

  bool Open(const char *strHardPath) override
  {
    Close();
    UINT uiOldMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    CWString wstrPath = strUTF8ToUTF16(strHardPath);
    DWORD dwFlags = IsAbsoluteHardPath(strHardPath) ? LOAD_WITH_ALTERED_SEARCH_PATH : 0;
    dli_hModule = LoadLibraryExW((LPCWSTR)wstrPath.wstr_String, nullptr, dwFlags);
    SetErrorMode(uiOldMode);
    return dli_hModule != nullptr;
  }

  bool Close(void) override
  {
    if (dli_hModule == nullptr) return false;
    HMODULE hModule = dli_hModule;
    dli_hModule = nullptr;
    FreeLibrary(hModule);
    HMODULE hStill = nullptr;
    return !GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                   GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                               (LPCWSTR)hModule, &hStill);
  }

  bool IsLoaded(void) const override { return dli_hModule != nullptr; }

  void *GetSymbol(const char *strName) const override
  {
    if (dli_hModule == nullptr) return nullptr;
    return (void *)GetProcAddress(dli_hModule, strName);
  }

  void GetImageRange(const void *&pvBegin, const void *&pvEnd) const override
  {
    pvBegin = pvEnd = nullptr;
    if (dli_hModule == nullptr) return;
    // The module handle is the image's base; its size is in the PE optional header.
    const BYTE *pubBase = (const BYTE *)dli_hModule;
    const IMAGE_DOS_HEADER *pdos = (const IMAGE_DOS_HEADER *)pubBase;
    const IMAGE_NT_HEADERS *pnt = (const IMAGE_NT_HEADERS *)(pubBase + pdos->e_lfanew);
    pvBegin = pubBase;
    pvEnd = pubBase + pnt->OptionalHeader.SizeOfImage;
  }

private:
  HMODULE dli_hModule = nullptr;
};

} // namespace

CDynamicLoaderImp::~CDynamicLoaderImp()
{
}

void *CDynamicLoaderImp::operator new(size_t size)
{
  return memMAlloc(size);
}

void CDynamicLoaderImp::operator delete(void *p)
{
  memFree(p);
}

CDynamicLoaderImp *sysCreateDynamicLoaderImp(void)
{
  return new CDynamicLoaderImpWin32;
}

CDynamicLoader::CDynamicLoader() : dl_pImp(sysCreateDynamicLoaderImp())
{
}

CDynamicLoader::~CDynamicLoader()
{
  Close();
  delete dl_pImp;
}

void CDynamicLoader::Open_t(const char *strFileName)
{
  Close();
  if (strFileName == nullptr) {
    corLogGuardBreach();
    return;
  }
  CString strHard = filSoftToHardPath(strFileName);
  if (!dl_pImp->Open(strHard)) {
    ThrowFormat_t(strTranslate("DOZUDynamicLoader.ModuleNotFound=Dynamic module %1 not found!"),
                  strFileName);
  }
  // The library's reflected types registered while it loaded: complete them as one batch.
  if (mdGetPendingTypesCount() > 0) mdUpdateTypeTables();
}

// Constant-initialised, so registering works before any constructor of this library has run.
static const int _ctMaxUnloadedCallbacks = 16;
static LibraryUnloadedCallback volatile _apUnloadedCallbacks[_ctMaxUnloadedCallbacks];

void sysAddLibraryUnloadedCallback(LibraryUnloadedCallback pCallback)
{
  if (pCallback == nullptr) {
    corLogGuardBreach();
    return;
  }
  for (int i = 0; i < _ctMaxUnloadedCallbacks; i++) {
    LibraryUnloadedCallback pExpected = nullptr;
    if (__atomic_compare_exchange_n(&_apUnloadedCallbacks[i], &pExpected, pCallback, false,
                                    __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST) ||
        pExpected == pCallback) {
      return;
    }
  }
  corLogGuardBreach();
}

// Tells the registered functions that the image in [pvBegin, pvEnd) has left the process.
static void NotifyLibraryUnloaded(const void *pvBegin, const void *pvEnd)
{
  for (int i = 0; i < _ctMaxUnloadedCallbacks; i++) {
    LibraryUnloadedCallback pCallback = __atomic_load_n(&_apUnloadedCallbacks[i], __ATOMIC_SEQ_CST);
    if (pCallback == nullptr) break;
    pCallback(pvBegin, pvEnd);
  }
}

void CDynamicLoader::Close(void)
{
  if (!dl_pImp->IsLoaded()) return;
  const void *pvBegin;
  const void *pvEnd;
  dl_pImp->GetImageRange(pvBegin, pvEnd);
  if (dl_pImp->Close()) NotifyLibraryUnloaded(pvBegin, pvEnd);
}

bool CDynamicLoader::IsLoaded(void) const
{
  return dl_pImp->IsLoaded();
}

void *CDynamicLoader::GetSymbol_t(const char *strName) const
{
  if (strName == nullptr) {
    corLogGuardBreach();
    return nullptr;
  }
  if (!dl_pImp->IsLoaded()) return nullptr;
  void *pv = dl_pImp->GetSymbol(strName);
  if (pv == nullptr) {
    ThrowFormat_t(strTranslate("DOZUDynamicLoader.SymbolNotFound=Symbol %1 not found!"), strName);
  }
  return pv;
}

} // namespace QuennelEngine
