// Proves that a program outside the library's tree can include, link and run Core, and that an
// exception thrown inside Core.dll is caught here.
#include "core/Core.h"

#include <stdio.h>

int main()
{
  using namespace QuennelEngine;
  try {
    CStream strm;
    char ch;
    strm.Read_t(&ch, 1);
  } catch (CException &ex) {
    printf("%s\n", (const char *)strFormat("consumer caught: %1", ex.GetDescription()));
    return 0;
  }
  return 1;
}
