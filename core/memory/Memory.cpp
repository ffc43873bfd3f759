#include "core/memory/Memory.h"

#include <malloc.h>
#include <stdio.h>
#include <stdlib.h>

namespace QuennelEngine {

static void memOutOfMemory(size_t size)
{
  fprintf(stderr, "Not enough memory (%u bytes needed)!\n", (unsigned)size);
  abort();
}

void *memMAlloc(size_t size)
{
  void *p = malloc(size ? size : 1);
  if (!p) memOutOfMemory(size);
  return p;
}

void *memReAlloc(void *p, size_t size)
{
  void *q = realloc(p, size ? size : 1);
  if (!q) memOutOfMemory(size);
  return q;
}

void memFree(void *p)
{
  free(p);
}

size_t memSize(const void *p)
{
  return p ? _msize(const_cast<void *>(p)) : 0;
}

char *memStringAlloc(size_t size)
{
  return (char *)memMAlloc(size);
}

char *memStringReAlloc(char *p, size_t size)
{
  return (char *)memReAlloc(p, size);
}

void memStringFree(char *p)
{
  memFree(p);
}

} // namespace QuennelEngine
