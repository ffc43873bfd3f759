#include "core/frame/Console.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>

namespace QuennelEngine {

void conFatalErrorF(const char *strFormat, ...)
{
  fputs(strFormat, stderr);
  fputs("\n", stderr);
  fflush(stderr);
  _exit(1);
}

void conErrorF(const char *strFormat, ...)
{
  fputs(strFormat, stderr);
}

void conTraceF(const char *strFormat, ...)
{
  fputs(strFormat, stdout);
}

} // namespace QuennelEngine
