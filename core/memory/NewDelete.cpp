// The C++ allocation operators of Core.dll. Inside Core, new and delete take their memory from
// the library's entry points like every other allocation (this binds only Core's own code; other
// modules keep their runtime's operators). memFree hands blocks of the runtime's heap back to it,
// so Core may also delete objects that other modules allocated; the other way round, an object
// that Core allocated is deleted by Core (through a virtual destructor, or a function of Core).
#include "core/memory/Memory.h"

#include <new>

void *operator new(size_t size)
{
  return QuennelEngine::memMAlloc(size);
}

void *operator new[](size_t size)
{
  return QuennelEngine::memMAlloc(size);
}

void *operator new(size_t size, const std::nothrow_t &) noexcept
{
  return QuennelEngine::memMAlloc(size);
}

void *operator new[](size_t size, const std::nothrow_t &) noexcept
{
  return QuennelEngine::memMAlloc(size);
}

void operator delete(void *p) noexcept
{
  QuennelEngine::memFree(p);
}

void operator delete[](void *p) noexcept
{
  QuennelEngine::memFree(p);
}

void operator delete(void *p, size_t) noexcept
{
  QuennelEngine::memFree(p);
}

void operator delete[](void *p, size_t) noexcept
{
  QuennelEngine::memFree(p);
}

void operator delete(void *p, const std::nothrow_t &) noexcept
{
  QuennelEngine::memFree(p);
}

void operator delete[](void *p, const std::nothrow_t &) noexcept
{
  QuennelEngine::memFree(p);
}
