// The table of interned identifiers: an array of text pointers indexed by a hash index that
// keeps each text's hash, both guarded by one mutex.
#include "core/text/Ident.h"

#include "core/frame/CodeGuard.h"
#include "core/frame/Console.h"
#include "core/memory/HashIndex.h"
#include "core/memory/StaticStackArray.h"
#include "core/platform/SysModules.h"
#include "core/text/StringAlloc.h"
#include "core/threads/SyncLock.h"

#include <string.h>

namespace QuennelEngine {

static CSyncMutex _smIdents;

struct IdentTable {
  CStaticStackArray<const char *> it_apchTexts;
  CHashIndex it_hi;
};

static IdentTable &Table(void)
{
  static IdentTable _it;
  return _it;
}

// Texts compared while looking identifiers up (under the table's mutex): only those whose
// hash equals the wanted one. The index counts its slots visited.
static long long _ctIdentCompares = 0;

// FNV-1a: the text hash of the string functions adds rotated characters, so texts of more than
// eight characters can share all 32 bits and would each cost a comparison.
static unsigned long HashIdent(const char *str)
{
  unsigned long ulHash = 2166136261UL;
  for (; *str != 0; str++) ulHash = (ulHash ^ (unsigned char)*str) * 16777619UL;
  return ulHash;
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
  const unsigned long ulHash = HashIdent(str);
  CSyncLock sl(&_smIdents);
  IdentTable &it = Table();
  const long iFound = it.it_hi.Find(ulHash, [&](long i) {
    _ctIdentCompares++;
    return strcmp(it.it_apchTexts[i], str) == 0;
  });
  if (iFound >= 0) return it.it_apchTexts[iFound];
  const char *pchStored = bCopy ? strDuplicate(str) : str;
  it.it_apchTexts.Push(pchStored);
  it.it_hi.Add(ulHash, it.it_apchTexts.Count() - 1);
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
  return _ctIdentCompares + Table().it_hi.ProbeCount();
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
