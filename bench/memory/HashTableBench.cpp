// Lookups of interned strings: CSimpleHashTable against std::unordered_map<const char *, int>,
// both keyed by the interned pointer; and the table keyed by the text's hash.
#include "BenchSupport.h"
#include "core/Core.h"

#include <stdio.h>
#include <string.h>

#include <unordered_map>

using namespace QuennelEngine;
using namespace QuennelEngine::Bench;

static const int _ctKeys = 1000;
static IDENT _aidKeys[_ctKeys];

static int CompareByPointer(long slValue, const void *pvObject)
{
  return _aidKeys[slValue] == (IDENT)pvObject;
}

static unsigned long HashPointer(const void *pvObject)
{
  // Interned texts are at least 4-byte aligned: the low bits carry nothing.
  return (unsigned long)(size_t)pvObject >> 2;
}

static unsigned long HashText(const void *pvObject)
{
  return strGetHashS((const char *)pvObject);
}

static int CompareText(long slValue, const void *pvObject)
{
  return strcmp(_aidKeys[slValue], (const char *)pvObject) == 0;
}

// The same text hash and comparison for the standard map.
struct TextHash {
  size_t operator()(const char *str) const { return strGetHashS(str); }
};
struct TextEqual {
  bool operator()(const char *strA, const char *strB) const { return strcmp(strA, strB) == 0; }
};

int main()
{
  char str[32];
  for (int i = 0; i < _ctKeys; i++) {
    sprintf(str, "Key.Name%d", i);
    _aidKeys[i] = strConvertStringToID(str);
  }
  CSimpleHashTable shtPointer(CompareByPointer, HashPointer, nullptr, 16, 512);
  CSimpleHashTable shtText(CompareText, HashText, nullptr, 16, 512);
  std::unordered_map<const char *, int> map;
  std::unordered_map<const char *, int, TextHash, TextEqual> mapText;
  // Copies of the texts, so that lookups by text cannot succeed by pointer.
  static char astrCopies[_ctKeys][32];
  for (int i = 0; i < _ctKeys; i++) strcpy(astrCopies[i], _aidKeys[i]);
  for (int i = 0; i < _ctKeys; i++) {
    shtPointer.AddObject(_aidKeys[i], i);
    shtText.AddObject(_aidKeys[i], i);
    map[_aidKeys[i]] = i;
    mapText[_aidKeys[i]] = i;
  }
  int iOurs = 0, iMap = 0;
  volatile long slSink = 0;
  const long ctIter = 1000000;
  CompareAndReport(
      "CSimpleHashTable by interned pointer", ctIter,
      [&] { slSink += shtPointer.FindObject(_aidKeys[(iOurs++ * 7) % _ctKeys]); },
      "unordered_map<const char*>",
      [&] { slSink += map.find(_aidKeys[(iMap++ * 7) % _ctKeys])->second; });
  CompareAndReport(
      "CSimpleHashTable by text (hash + compare)", ctIter,
      [&] { slSink += shtText.FindObject(astrCopies[(iOurs++ * 7) % _ctKeys]); },
      "the map with the same hash",
      [&] { slSink += mapText.find(astrCopies[(iMap++ * 7) % _ctKeys])->second; });
  // The table calls the hash and the comparison its owner gave it through pointers, on every
  // probe; the map inlines its functors. That difference is the table's design, not its code.
  printf("(CSimpleHashTable calls its caller-supplied hash and compare through pointers)\n");
  return 0;
}
