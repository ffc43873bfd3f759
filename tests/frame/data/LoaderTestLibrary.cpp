// A small library for the dynamic loader's tests: two exported symbols, and a profiler section
// named by a literal that lives in this library's image.
#include "core/Core.h"

extern "C" {

__declspec(dllexport) int LoaderTestLibrary_iValue = 7;

__declspec(dllexport) int LoaderTestLibrary_Answer(void)
{
  return 42;
}

// Enters and leaves the library's own section once; returns the name's address.
__declspec(dllexport) const char *LoaderTestLibrary_EnterSection(void)
{
  const char *strName = "LoaderTestLibrary.Section";
  QuennelEngine::CProfileSample ps(strName);
  return strName;
}

} // extern "C"
