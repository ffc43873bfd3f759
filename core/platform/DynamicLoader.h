#pragma once
// Dynamic libraries opened by soft path, with their exported symbols looked up by name.
//
// CDynamicLoader owns one platform object that holds the system's handle; destroying the loader
// closes the library. Opening never lets the system show a dialog for a missing library or a
// failing drive. When a library actually leaves the process, the functions registered with
// sysAddLibraryUnloadedCallback are told its address range (the profiler re-keys the sections
// named by literals inside it, since those addresses may be reused).
#include "core/platform/Platform.h"

namespace QuennelEngine {

// The platform's side of a loaded library (on Windows, the module handle). Allocated through the
// library's allocation entry points.
class CORE_API CDynamicLoaderImp {
public:
  virtual ~CDynamicLoaderImp();
  // Loads the library at a hard path (UTF-8), closing one held before; false on failure.
  virtual bool Open(const char *strHardPath) = 0;
  // Releases the library; true if that took it out of the process (nothing else held it).
  virtual bool Close(void) = 0;
  virtual bool IsLoaded(void) const = 0;
  // The address of an exported symbol; null if it is missing or nothing is loaded.
  virtual void *GetSymbol(const char *strName) const = 0;
  // The address range of the loaded image (both null when nothing is loaded).
  virtual void GetImageRange(const void *&pvBegin, const void *&pvEnd) const = 0;

  static void *operator new(size_t size);
  static void operator delete(void *p);
};

// Told the address range of a library's image once the library has left the process.
typedef void (*LibraryUnloadedCallback)(const void *pvBegin, const void *pvEnd);
// Registers a function to tell about every library that leaves the process from now on; usable
// from static initialisers. At most 16 are kept (a guard breach refuses more); registering one
// twice keeps one.
CORE_API void sysAddLibraryUnloadedCallback(LibraryUnloadedCallback pCallback);

// A new platform object for this system.
CORE_API CDynamicLoaderImp *sysCreateDynamicLoaderImp(void);

class CORE_API CDynamicLoader {
public:
  CDynamicLoader();
  // Closes the library.
  ~CDynamicLoader();
  CDynamicLoader(const CDynamicLoader &) = delete;
  CDynamicLoader &operator=(const CDynamicLoader &) = delete;

  // Closes what was open, then opens the library at a soft path ("$" + a bare name lets the
  // system search for it). Throws "Dynamic module %1 not found!" with `strFileName` when it
  // cannot be loaded; the process error mode is the same afterwards either way.
  void Open_t(const char *strFileName);
  // Closes the library, if one is open.
  void Close(void);
  bool IsLoaded(void) const;
  // The address of an exported symbol; null while no library is open. Throws "Symbol %1 not
  // found!" with `strName` when the open library does not export it.
  void *GetSymbol_t(const char *strName) const;
  // GetSymbol_t cast to a function pointer type: GetFunction_t<int (*)(void)>("Answer").
  template <class F> F GetFunction_t(const char *strName) const
  {
    return reinterpret_cast<F>(GetSymbol_t(strName));
  }

private:
  CDynamicLoaderImp *dl_pImp;
};

} // namespace QuennelEngine
