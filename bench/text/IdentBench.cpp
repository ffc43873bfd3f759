// Interning a text that is already interned: the hash, one lookup and the mutex.
#include "BenchSupport.h"
#include "core/Core.h"

#include <stdio.h>

using namespace QuennelEngine;
using namespace QuennelEngine::Bench;

int main()
{
  char astrNames[1000][32];
  for (int i = 0; i < 1000; i++) {
    sprintf(astrNames[i], "Service.Name%d", i);
    strConvertStringToID(astrNames[i]);
  }
  int i = 0;
  Spread s = MeasureNs(1000000, [&] { Keep(strConvertStringToID(astrNames[i++ % 1000])); });
  Report("strConvertStringToID, known text (1000 ids)", s);
  return 0;
}
