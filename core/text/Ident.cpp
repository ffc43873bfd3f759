// The table of interned identifiers: an array of text pointers indexed by a simple hash table,
// both guarded by one mutex.
#include "core/text/Ident.h"

#include "core/frame/CodeGuard.h"
#include "core/frame/Console.h"
#include "core/memory/SimpleHashTable.h"
#include "core/memory/StaticStackArray.h"
#include "core/platform/SysModules.h"
#include "core/text/Hash.h"
#include "core/text/StringAlloc.h"
#include "core/threads/SyncLock.h"

#include <string.h>

namespace QuennelEngine {

static CSyncMutex _smIdents;

struct IdentTable {
  CStaticStackArray<const char *> it_apchTexts;
  CSimpleHashTable *it_psht = nullptr;
};

static IdentTable &Table(void)
{
  static IdentTable _it;
  return _it;
}

// Texts compared while looking identifiers up (under the table's mutex).
static long long _ctIdentCompares = 0;

static int CompareIdent(long slValue, const void *pvText)
{
  _ctIdentCompares++;
  return strcmp(Table().it_apchTexts[slValue], (const char *)pvText) == 0;
}

static unsigned long HashIdent(const void *pvText)
{
  // The text hash keeps names that differ in their last characters (Name1, Name2, ...) close
  // together, and the table probes linearly from the home compartment: such names would pile up
  // in runs that every look-up walks. Mixing spreads them over the whole table.
  unsigned long ul = strGetHashS((const char *)pvText);
  ul ^= ul >> 16;
  ul *= 0x85EBCA6BUL;
  ul ^= ul >> 13;
  ul *= 0xC2B2AE35UL;
  return ul ^ (ul >> 16);
}

static void RehashIdents(void)
{
  IdentTable &it = Table();
  for (long i = 0; i < it.it_apchTexts.Count(); i++) it.it_psht->AddObject(it.it_apchTexts[i], i);
}

static IDENT Intern(const char *str, bool bCopy)
{
  if (str == nullptr) {
    corLogGuardBreach();
    str = "";
  }
  if (str[0] == 0) {
    // The empty identifier is the shared empty text; it needs no entry.
    static const char *pchEmpty = strAlloc(0);
    return pchEmpty;
  }
  CSyncLock sl(&_smIdents);
  IdentTable &it = Table();
  if (it.it_psht == nullptr) {
    it.it_psht = new CSimpleHashTable(CompareIdent, HashIdent, RehashIdents, 64, 1024, 2);
  }
  long iFound = it.it_psht->FindObject(str);
  if (iFound >= 0) return it.it_apchTexts[iFound];
  const char *pchStored = bCopy ? strDuplicate(str) : str;
  it.it_apchTexts.Push(pchStored);
  it.it_psht->AddObject(pchStored, it.it_apchTexts.Count() - 1);
  return pchStored;
}

IDENT strConvertStringToID(const char *str)
{
  return Intern(str, true);
}

IDENT strConvertLiteralToID(const char *str)
{
  // A literal of a module that may unload would dangle: only Core's own are kept as they are.
  return Intern(str, str == nullptr || !sysIsAddressInCoreImage(str));
}

void strAddLiteralToStringTable(const char *str)
{
  strConvertLiteralToID(str);
}

const char *strConvertIDToString(IDENT id)
{
  return id != nullptr ? id : "";
}

long strGetIDCount(void)
{
  CSyncLock sl(&_smIdents);
  return Table().it_apchTexts.Count();
}

long long strGetIDCompareCount(void)
{
  CSyncLock sl(&_smIdents);
  return _ctIdentCompares;
}

void dbgDumpIDENTs(void)
{
  CSyncLock sl(&_smIdents);
  IdentTable &it = Table();
  for (long i = 0; i < it.it_apchTexts.Count(); i++) {
    conTraceF("%1: %2\n", ARG_INT, i, ARG_TEXT, it.it_apchTexts[i]);
  }
}

} // namespace QuennelEngine
