#include "TestSupport.h"

#include <stdio.h>

namespace QuennelEngine {
namespace Test {

CGuardBreachCounter::CGuardBreachCounter() : gbc_ctStart(corGetGuardBreachCount())
{
}

long CGuardBreachCounter::Count() const
{
  return corGetGuardBreachCount() - gbc_ctStart;
}

std::string ReadSystemFile(const char *strPath)
{
  std::string str;
  FILE *pf = fopen(strPath, "rb");
  if (pf == nullptr) return str;
  char ach[4096];
  size_t ct;
  while ((ct = fread(ach, 1, sizeof(ach), pf)) > 0) str.append(ach, ct);
  fclose(pf);
  return str;
}

CThreadServices::CThreadServices()
{
  thrStartMultiThreading();
  thrStartMultiThreadingSystem();
}

CThreadServices::~CThreadServices()
{
  bool bAllEnded = WaitUntil(AllThreadsEnded, 10000);
  if (bAllEnded) {
    thrStopMultiThreadingSystem();
    thrStopMultiThreading();
  }
}

} // namespace Test
} // namespace QuennelEngine
