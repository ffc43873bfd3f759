#pragma once
// Compiler and platform facts, decided in this one place. Every macro is defined as 0 or 1;
// every chain that tests them ends in #error.

#define QE_PLATFORM_WIN32 0
#define QE_COMPILER_GCC 0

#if defined(_WIN32) && !defined(_WIN64)
#undef QE_PLATFORM_WIN32
#define QE_PLATFORM_WIN32 1
#else
#error "Core is built for 32-bit Windows only."
#endif

#if defined(__GNUC__)
#undef QE_COMPILER_GCC
#define QE_COMPILER_GCC 1
#else
#error "Unsupported compiler."
#endif

// Public symbols of Core.dll. QE_CORE_BUILD is defined only while Core itself is compiled.
#if defined(QE_CORE_BUILD)
#define CORE_API __declspec(dllexport)
#else
#define CORE_API __declspec(dllimport)
#endif

#define QE_NOINLINE __attribute__((noinline))
#define QE_LIKELY(x) __builtin_expect(!!(x), 1)
#define QE_UNLIKELY(x) __builtin_expect(!!(x), 0)
#define QE_RETURN_ADDRESS() __builtin_return_address(0)

#include <stddef.h>
