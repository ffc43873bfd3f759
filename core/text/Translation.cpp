// The translation store, the loading of tables and the choice of locale.
//
// Writers (loading, unloading, reloading) hold _smStore. They keep each loaded table as its list
// of (key, translation) pairs and, when a change is complete, build a fresh index over all of
// them and publish it with one atomic exchange: readers see either the old tables or the new
// ones, never a reload half done.
//
// Readers (strTranslate, on any thread) take no lock. A reader adds itself to one of two
// counters, reads the published index, looks up and leaves. Before an index that was replaced is
// freed the writer waits until each counter has been seen at zero once after the exchange: a
// reader that may still hold the old index sits in one of them from before the exchange until it
// leaves. Between the two waits the writer flips the counter that arriving readers use, so that
// a steady stream of readers cannot hold a wait up.
//
// The index is a table of buckets over one array of entries: a bucket is the range of entries
// whose key hash falls in it, sorted by (hash, length, characters). A lookup scans a short range
// and halves a long one, so keys that collide in the text hash (which is easy to do on purpose)
// cost a few comparisons more, never a walk over all of them. The index is built by placing the
// entries into their buckets in load order and sorting each bucket stably, which also brings the
// definitions of one key together with the one loaded last at the end.
//
// The texts of keys and translations go to a pool that is never freed (equal texts are stored
// once, so reloading the same tables does not grow it): a translation handed out stays valid
// after its table is unloaded. The pool finds equal texts through a keyed hash, so a table of
// colliding texts cannot lengthen its probes either.
#include "core/text/Translation.h"

#include "core/frame/CodeGuard.h"
#include "core/frame/Console.h"
#include "core/frame/Exception.h"
#include "core/memory/List.h"
#include "core/memory/Memory.h"
#include "core/platform/SysLocale.h"
#include "core/platform/SysThreads.h"
#include "core/streams/FileSystem.h"
#include "core/streams/Stream.h"
#include "core/text/Compare.h"
#include "core/text/Editing.h"
#include "core/text/FileNames.h"
#include "core/text/KeyedHashPrivate.h"
#include "core/text/Search.h"
#include "core/text/StringAlloc.h"
#include "core/threads/SyncLock.h"

#include <algorithm>
#include <atomic>
#include <string.h>

namespace QuennelEngine {

CString str_strLocaleDir;
CString str_strCurrentLocale;

namespace {

// One step of strGetHashS's hash.
inline unsigned long AddToHash(unsigned long ulHash, char ch)
{
  return ((ulHash << 4) | (ulHash >> 28)) + (unsigned long)(long)(signed char)ch;
}

// strGetHashS's hash, over a key that is not terminated where it ends.
inline unsigned long HashKey(const char *pch, long ct)
{
  unsigned long ulHash = 0;
  for (long i = 0; i < ct; i++) ulHash = AddToHash(ulHash, pch[i]);
  return ulHash;
}

struct TransPair {
  const char *tp_pchKey;
  const char *tp_pchTranslation;
  long tp_ctKey;
  unsigned long tp_ulHash;
};

struct TransTable {
  CString tt_strFileName;
  CStaticStackArray<TransPair> tt_atp;
};

// An entry of the published index.
struct TransSlot {
  unsigned long tsl_ulHash;
  long tsl_ctKey;
  const char *tsl_pchKey;
  const char *tsl_pchTranslation;
};

// The published index, in one block: this header, the entries, the bucket starts (one more
// than there are buckets: bucket i is the entries from start i up to start i + 1).
struct TransIndex {
  unsigned long ti_ctBuckets;
  long ti_ctSlots;
  long ti_ctMostCompares; // the most key comparisons one lookup can take
  TransSlot *ti_ats;
  long *ti_aiStarts;
};

// Buckets up to this size are scanned; longer ones are searched by halving.
const long _ctScanned = 8;

// Work counters for the tests of the store's cost (written under _smStore).
long _ctPoolProbes = 0;
long _ctIndexCompares = 0;

// Texts that live until the process ends, each stored once.
class CTextPool {
public:
  // The stored copy of the `ct` characters at `pch`, terminated.
  const char *Store(const char *pch, long ct)
  {
    if ((tp_ctUsed + 1) * 2 > (long)tp_ctSlots) Grow();
    CKeyedHash kh;
    kh.Add(pch, ct);
    const unsigned long ulHash = kh.Finish();
    unsigned long i = ulHash & (tp_ctSlots - 1);
    for (; tp_aps[i].ps_pch != nullptr; i = (i + 1) & (tp_ctSlots - 1)) {
      _ctPoolProbes++;
      const PoolSlot &ps = tp_aps[i];
      if (ps.ps_ulHash == ulHash && strncmp(ps.ps_pch, pch, ct) == 0 && ps.ps_pch[ct] == 0) {
        return ps.ps_pch;
      }
    }
    _ctPoolProbes++;
    char *pchNew = Allocate(ct + 1);
    memcpy(pchNew, pch, ct);
    pchNew[ct] = 0;
    tp_aps[i].ps_ulHash = ulHash;
    tp_aps[i].ps_pch = pchNew;
    tp_ctUsed++;
    return pchNew;
  }

private:
  static const long BLOCK_SIZE = 65536;

  struct PoolSlot {
    unsigned long ps_ulHash;
    const char *ps_pch; // null: free
  };

  // Doubles the slots; the stored hashes place the texts again without reading them.
  void Grow(void)
  {
    PoolSlot *apsOld = tp_aps;
    unsigned long ctOld = tp_ctSlots;
    tp_ctSlots = ctOld == 0 ? 1024 : ctOld * 2;
    tp_aps = (PoolSlot *)memMAlloc(tp_ctSlots * sizeof(PoolSlot));
    memset(tp_aps, 0, tp_ctSlots * sizeof(PoolSlot));
    for (unsigned long iOld = 0; iOld < ctOld; iOld++) {
      if (apsOld[iOld].ps_pch == nullptr) continue;
      unsigned long i = apsOld[iOld].ps_ulHash & (tp_ctSlots - 1);
      for (; tp_aps[i].ps_pch != nullptr; i = (i + 1) & (tp_ctSlots - 1)) _ctPoolProbes++;
      _ctPoolProbes++;
      tp_aps[i] = apsOld[iOld];
    }
    memFree(apsOld);
  }

  char *Allocate(long ct)
  {
    if (ct > BLOCK_SIZE / 16) return (char *)memMAlloc(ct);
    if (ct > tp_slBlockLeft) {
      tp_pchBlock = (char *)memMAlloc(BLOCK_SIZE);
      tp_slBlockLeft = BLOCK_SIZE;
    }
    char *pch = tp_pchBlock;
    tp_pchBlock += ct;
    tp_slBlockLeft -= ct;
    return pch;
  }

  PoolSlot *tp_aps = nullptr;
  unsigned long tp_ctSlots = 0; // a power of two
  long tp_ctUsed = 0;
  char *tp_pchBlock = nullptr;
  long tp_slBlockLeft = 0;
};

struct TransStore {
  CStaticStackArray<TransTable *> tst_aptt; // in load order
  CTextPool tst_tp;
  long tst_ctChangeDepth = 0;
  bool tst_bChanged = false;
};

CSyncMutex _smStore;

// Created once and never destroyed: a thread may still translate while the process ends.
TransStore &Store(void)
{
  static TransStore *pts = new TransStore;
  return *pts;
}

std::atomic<TransIndex *> _ptiPublished{nullptr};
struct alignas(64) ReaderCount {
  std::atomic<long> rc_ct{0};
};
ReaderCount _arcReaders[2];
std::atomic<unsigned long> _ulReaderSide{0};

inline bool SameKey(const char *pchA, const char *pchB, long ct)
{
  // Keys are short: a loop beats a call into the runtime.
  for (long i = 0; i < ct; i++) {
    if (pchA[i] != pchB[i]) return false;
  }
  return true;
}

// The order of the entries in a bucket: by hash, then length, then characters.
inline int CompareKeys(unsigned long ulHashA, long ctA, const char *pchA, unsigned long ulHashB,
                       long ctB, const char *pchB)
{
  if (ulHashA != ulHashB) return ulHashA < ulHashB ? -1 : 1;
  if (ctA != ctB) return ctA < ctB ? -1 : 1;
  return memcmp(pchA, pchB, ctA);
}

const char *FindInIndex(const TransIndex *pti, const char *pchKey, long ctKey, unsigned long ulHash)
{
  const unsigned long iBucket = ulHash % pti->ti_ctBuckets;
  long iFirst = pti->ti_aiStarts[iBucket];
  long iEnd = pti->ti_aiStarts[iBucket + 1];
  if (iEnd - iFirst <= _ctScanned) {
    for (long i = iFirst; i < iEnd; i++) {
      const TransSlot &tsl = pti->ti_ats[i];
      if (tsl.tsl_ulHash == ulHash && tsl.tsl_ctKey == ctKey &&
          SameKey(tsl.tsl_pchKey, pchKey, ctKey)) {
        return tsl.tsl_pchTranslation;
      }
    }
    return nullptr;
  }
  while (iFirst < iEnd) {
    const long iMiddle = iFirst + (iEnd - iFirst) / 2;
    const TransSlot &tsl = pti->ti_ats[iMiddle];
    const int iOrder =
        CompareKeys(tsl.tsl_ulHash, tsl.tsl_ctKey, tsl.tsl_pchKey, ulHash, ctKey, pchKey);
    if (iOrder == 0) return tsl.tsl_pchTranslation;
    if (iOrder < 0) {
      iFirst = iMiddle + 1;
    } else {
      iEnd = iMiddle;
    }
  }
  return nullptr;
}

// The translation of a key of `ctKey` characters with the hash `ulHash`, or null.
const char *LookUp(const char *pchKey, long ctKey, unsigned long ulHash)
{
  // Without tables there is nothing to guard.
  if (_ptiPublished.load(std::memory_order_relaxed) == nullptr) return nullptr;
  std::atomic<long> &ctReaders = _arcReaders[_ulReaderSide.load() & 1].rc_ct;
  ctReaders.fetch_add(1);
  const TransIndex *pti = _ptiPublished.load();
  const char *pch = pti != nullptr ? FindInIndex(pti, pchKey, ctKey, ulHash) : nullptr;
  ctReaders.fetch_sub(1);
  return pch;
}

unsigned long BucketCountFor(long ctEntries)
{
  static const unsigned long aulPrimes[] = {
      53UL,     97UL,      193UL,     389UL,     769UL,      1543UL,     3079UL,
      6151UL,   12289UL,   24593UL,   49157UL,   98317UL,    196613UL,   393241UL,
      786433UL, 1572869UL, 3145739UL, 6291469UL, 12582917UL, 25165843UL, 50331653UL};
  const unsigned long ulWanted = (unsigned long)ctEntries * 2;
  for (unsigned long ul : aulPrimes) {
    if (ul >= ulWanted) return ul;
  }
  return ulWanted | 1;
}

// The most key comparisons a lookup in a bucket of `ct` entries takes.
long MostComparesFor(long ct)
{
  if (ct <= _ctScanned) return ct;
  long ctCompares = 0;
  for (; ct > 0; ct /= 2) ctCompares++;
  return ctCompares;
}

// An index over every loaded pair (a later table's translation replaces an earlier one's), or
// null when no table holds anything.
TransIndex *BuildIndex(const TransStore &tst)
{
  long ctPairs = 0;
  for (const TransTable *ptt : tst.tst_aptt) ctPairs += ptt->tt_atp.Count();
  if (ctPairs == 0) return nullptr;
  const unsigned long ctBuckets = BucketCountFor(ctPairs);
  TransIndex *pti = (TransIndex *)memMAlloc(sizeof(TransIndex) + ctPairs * sizeof(TransSlot) +
                                            (ctBuckets + 1) * sizeof(long));
  pti->ti_ctBuckets = ctBuckets;
  pti->ti_ctMostCompares = 0;
  pti->ti_ats = (TransSlot *)(pti + 1);
  pti->ti_aiStarts = (long *)(pti->ti_ats + ctPairs);
  long *aiStarts = pti->ti_aiStarts;

  // Bucket sizes, then starts, then every pair placed in load order.
  for (unsigned long i = 0; i <= ctBuckets; i++) aiStarts[i] = 0;
  for (const TransTable *ptt : tst.tst_aptt) {
    for (const TransPair &tp : ptt->tt_atp) aiStarts[tp.tp_ulHash % ctBuckets + 1]++;
  }
  for (unsigned long i = 0; i < ctBuckets; i++) aiStarts[i + 1] += aiStarts[i];
  long *aiNext = (long *)memMAlloc(ctBuckets * sizeof(long));
  memcpy(aiNext, aiStarts, ctBuckets * sizeof(long));
  for (const TransTable *ptt : tst.tst_aptt) {
    for (const TransPair &tp : ptt->tt_atp) {
      TransSlot &tsl = pti->ti_ats[aiNext[tp.tp_ulHash % ctBuckets]++];
      tsl.tsl_ulHash = tp.tp_ulHash;
      tsl.tsl_ctKey = tp.tp_ctKey;
      tsl.tsl_pchKey = tp.tp_pchKey;
      tsl.tsl_pchTranslation = tp.tp_pchTranslation;
    }
  }
  memFree(aiNext);

  // Each bucket sorted (stably: equal keys stay in load order) and closed up so that only the
  // last definition of a key remains; buckets move to the front as earlier ones shrink.
  auto Before = [](const TransSlot &tslA, const TransSlot &tslB) {
    _ctIndexCompares++;
    return CompareKeys(tslA.tsl_ulHash, tslA.tsl_ctKey, tslA.tsl_pchKey, tslB.tsl_ulHash,
                       tslB.tsl_ctKey, tslB.tsl_pchKey) < 0;
  };
  long iWrite = 0;
  for (unsigned long iBucket = 0; iBucket < ctBuckets; iBucket++) {
    const long iFirst = aiStarts[iBucket];
    const long iEnd = aiStarts[iBucket + 1];
    aiStarts[iBucket] = iWrite;
    if (iEnd - iFirst > 1) std::stable_sort(pti->ti_ats + iFirst, pti->ti_ats + iEnd, Before);
    for (long i = iFirst; i < iEnd; i++) {
      const TransSlot &tsl = pti->ti_ats[i];
      if (i + 1 < iEnd) {
        const TransSlot &tslNext = pti->ti_ats[i + 1];
        _ctIndexCompares++;
        if (CompareKeys(tsl.tsl_ulHash, tsl.tsl_ctKey, tsl.tsl_pchKey, tslNext.tsl_ulHash,
                        tslNext.tsl_ctKey, tslNext.tsl_pchKey) == 0) {
          continue;
        }
      }
      pti->ti_ats[iWrite++] = tsl;
    }
    const long ctCompares = MostComparesFor(iWrite - aiStarts[iBucket]);
    if (ctCompares > pti->ti_ctMostCompares) pti->ti_ctMostCompares = ctCompares;
  }
  aiStarts[ctBuckets] = iWrite;
  pti->ti_ctSlots = iWrite;
  return pti;
}

void WaitUntilNoReaders(std::atomic<long> &ctReaders)
{
  // A reader stays for a lookup only: yield first, sleep only if it was preempted.
  for (long iRound = 0; ctReaders.load() != 0; iRound++) {
    if (iRound < 100) {
      sysYield();
    } else {
      sysSleep(1);
    }
  }
}

void Publish(TransIndex *ptiNew)
{
  TransIndex *ptiOld = _ptiPublished.exchange(ptiNew);
  if (ptiOld == nullptr) return;
  for (int iFlip = 0; iFlip < 2; iFlip++) {
    const unsigned long ulSide = _ulReaderSide.fetch_add(1);
    WaitUntilNoReaders(_arcReaders[ulSide & 1].rc_ct);
  }
  memFree(ptiOld);
}

// Holds the store for a change; the outermost one publishes the result when it ends (also when
// an exception leaves it, so what was loaded up to the error is in use).
class CStoreChange {
public:
  CStoreChange() : sc_sl(&_smStore) { Store().tst_ctChangeDepth++; }
  ~CStoreChange()
  {
    TransStore &tst = Store();
    if (--tst.tst_ctChangeDepth == 0 && tst.tst_bChanged) {
      tst.tst_bChanged = false;
      Publish(BuildIndex(tst));
    }
  }
  CStoreChange(const CStoreChange &) = delete;
  CStoreChange &operator=(const CStoreChange &) = delete;

private:
  CSyncLock sc_sl;
};

long FindTable(const TransStore &tst, const char *strFileName)
{
  for (long i = 0; i < tst.tst_aptt.Count(); i++) {
    if (strcmp(tst.tst_aptt[i]->tt_strFileName, strFileName) == 0) return i;
  }
  return -1;
}

// Turns every backslash-n of the line into a line feed, left to right, in one pass (replacing
// them one by one would copy a long line once for each).
void UnescapeLineFeeds(CString &strLine)
{
  char *pch = strLine.str_String;
  long iRead = 0;
  while (pch[iRead] != 0 && !(pch[iRead] == '\\' && pch[iRead + 1] == 'n')) iRead++;
  if (pch[iRead] == 0) return;
  long iWrite = iRead;
  while (pch[iRead] != 0) {
    if (pch[iRead] == '\\' && pch[iRead + 1] == 'n') {
      pch[iWrite++] = '\n';
      iRead += 2;
    } else {
      pch[iWrite++] = pch[iRead++];
    }
  }
  pch[iWrite] = 0;
}

void AddLine(TransStore &tst, TransTable &tt, CString &strLine)
{
  UnescapeLineFeeds(strLine);
  const int iEquals = strFindCharS(strLine, '=');
  if (iEquals < 0) return;
  TransPair &tp = tt.tt_atp.Push();
  tp.tp_pchKey = tst.tst_tp.Store(strLine, iEquals);
  tp.tp_ctKey = iEquals;
  tp.tp_ulHash = HashKey(strLine, iEquals);
  tp.tp_pchTranslation =
      tst.tst_tp.Store(strLine.ConstData() + iEquals + 1, strLine.Length() - iEquals - 1);
}

int CompareNames(const void *pv0, const void *pv1)
{
  return strCompare(*(const CString *)pv0, *(const CString *)pv1);
}

// Loads the "*.tbl" files of a directory (with its subtree), in name order.
void ObtainTables_t(const CString &strDir, bool bSubtree)
{
  CStaticStackArray<CString> astrFound;
  if (bSubtree) {
    filFindFilesRecursively(strDir, "*.tbl", astrFound);
  } else {
    astrFound = filFindFiles(strDir, "*.tbl");
  }
  CStaticStackArray<CString> astrFiles;
  for (CString &str : astrFound) {
    if (!strHasTailS(str, "/")) astrFiles.Push(std::move(str));
  }
  if (astrFiles.Count() > 1) {
    srtQuickSort(astrFiles.begin(), astrFiles.Count(), sizeof(CString), CompareNames);
  }
  CStoreChange sc;
  for (const CString &str : astrFiles) strLoadTranslationTable_t(str);
}

bool SameFirstTwoLetters(const char *strA, const char *strB)
{
  return strLen(strA) >= 2 && strLen(strB) >= 2 && strCompareHead(strA, strGetHead(strB, 2)) == 0;
}

} // namespace

const char *strTranslate(const char *str)
{
  if (str == nullptr) {
    corLogGuardBreach();
    return "";
  }
  // A prefix holds no '=', so one that matches lies inside the key.
  const char *pchKey = str;
  if (pchKey[0] == 'D' && pchKey[1] == 'T' && pchKey[2] == 'R' && pchKey[3] == 'S') pchKey += 4;
  if (pchKey[0] == 'D' && pchKey[1] == 'O' && pchKey[2] == 'Z' && pchKey[3] == 'U') pchKey += 4;
  if (pchKey[0] == 'T' && pchKey[1] == 'T' && pchKey[2] == 'R' && pchKey[3] == 'S' &&
      pchKey[4] == ':') {
    pchKey += 5;
  }
  // One pass finds the end of the key and hashes it.
  unsigned long ulHash = 0;
  const char *pchEquals = pchKey;
  for (; *pchEquals != '='; pchEquals++) {
    if (*pchEquals == 0) return str;
    ulHash = AddToHash(ulHash, *pchEquals);
  }
  if (pchEquals == str && str[1] == 0) return str;
  const char *pchFound = LookUp(pchKey, (long)(pchEquals - pchKey), ulHash);
  return pchFound != nullptr ? pchFound : pchEquals + 1;
}

const char *strFindTranslation(const char *strKey)
{
  if (strKey == nullptr) {
    corLogGuardBreach();
    return nullptr;
  }
  const long ctKey = (long)strlen(strKey);
  return LookUp(strKey, ctKey, HashKey(strKey, ctKey));
}

void strLoadTranslationTable_t(const char *strFileName)
{
  if (strFileName == nullptr) {
    corLogGuardBreach();
    return;
  }
  CStoreChange sc;
  TransStore &tst = Store();
  if (FindTable(tst, strFileName) >= 0) return;

  CStream strm;
  strm.CreateMemoryStream_t(strFileName);
  strm.ReadTextHeader_t();
  int ctHint = 0;
  CString strCount = strm.IsAtEOF_t() ? CString() : strm.GetLine_t();
  if (strScan(strCount, "%1", &ctHint) < 0) {
    conWarning(strTranslate("DOZUTranslation.MissingCount=Missing entries number from the '%1' "
                            "translation table.\n"),
               strFileName);
    return;
  }

  TransTable *ptt = new TransTable;
  ptt->tt_strFileName = strFileName;
  // The count is a hint: the lines decide. A line takes two bytes at least, so no more is reserved
  // than the file can hold.
  const long ctMost = strm.GetSize() / 2;
  if (ctHint > 0) ptt->tt_atp.Reserve(ctHint < ctMost ? ctHint : ctMost);
  try {
    while (!strm.IsAtEOF_t()) {
      CString strLine = strm.GetLine_t();
      AddLine(tst, *ptt, strLine);
    }
  } catch (CException &) {
    delete ptt;
    throw;
  }
  tst.tst_aptt.Push(ptt);
  tst.tst_bChanged = true;
}

void strUnloadTranslationTable_t(const char *strFileName)
{
  if (strFileName == nullptr) {
    corLogGuardBreach();
    return;
  }
  CStoreChange sc;
  TransStore &tst = Store();
  const long i = FindTable(tst, strFileName);
  if (i < 0) return;
  delete tst.tst_aptt[i];
  tst.tst_aptt.Delete(i);
  tst.tst_bChanged = true;
}

void strObtainTranslationTables_t(const char *strDirectory)
{
  if (strDirectory == nullptr) {
    corLogGuardBreach();
    return;
  }
  CString strDir = strDirectory[0] == 0 ? CString(STR_DEFAULT_LOCALES_DIR) : CString(strDirectory);
  if (!strHasTailS(strDir, "/")) strDir += "/";
  ObtainTables_t(strDir, strCompare(strDir, STR_DEFAULT_LOCALES_DIR) != 0);
}

void strReloadTranslationTables_t(void)
{
  CStoreChange sc;
  TransStore &tst = Store();
  for (TransTable *ptt : tst.tst_aptt) delete ptt;
  tst.tst_aptt.PopAll();
  tst.tst_bChanged = true;
  // The root holds the tables of every locale in its folders: only its own files are loaded.
  CString strRoot =
      str_strLocaleDir.IsEmpty() ? CString(STR_DEFAULT_LOCALES_DIR) : str_strLocaleDir;
  if (!strHasTailS(strRoot, "/")) strRoot += "/";
  ObtainTables_t(strRoot, false);
  if (!str_strCurrentLocale.IsEmpty()) strObtainTranslationTables_t(strGetCurrentLocaleDir());
}

void strReloadTransTables(const char *strLocale)
{
  strSetCurrentLocale(strLocale != nullptr ? strLocale : "");
  try {
    strReloadTranslationTables_t();
  } catch (CException &ex) {
    conError("%1\n", ex.GetDescription());
  }
}

CStaticStackArray<CString> strGetLoadedTranslationTables(void)
{
  CSyncLock sl(&_smStore);
  CStaticStackArray<CString> astr;
  for (const TransTable *ptt : Store().tst_aptt) astr.Push(ptt->tt_strFileName);
  return astr;
}

TranslationWork strGetTranslationWork(void)
{
  CSyncLock sl(&_smStore);
  TranslationWork tw;
  tw.tw_ctPoolProbes = _ctPoolProbes;
  tw.tw_ctIndexCompares = _ctIndexCompares;
  // Indexes are replaced and freed under the mutex only.
  const TransIndex *pti = _ptiPublished.load();
  tw.tw_ctMostLookupCompares = pti != nullptr ? pti->ti_ctMostCompares : 0;
  return tw;
}

CString strGetCurrentLocaleDir(void)
{
  if (str_strCurrentLocale.IsEmpty()) return str_strLocaleDir;
  return str_strLocaleDir + str_strCurrentLocale + "/";
}

void strSetCurrentLocale(const char *strLocale)
{
  if (strLocale == nullptr) {
    corLogGuardBreach();
    return;
  }
  CSyncLock sl(&_smStore);
  if (strcmp(str_strCurrentLocale, strLocale) == 0) return;
  CString strNew(strLocale);
  char *pchOld = str_strCurrentLocale.str_String;
  // Another thread may be copying the old name while opening a file: its text stays allocated.
  str_strCurrentLocale.str_String = strNew.str_String;
  strNew.Construct();
  if (strIsSharedEmpty(pchOld)) strFree(pchOld);
}

void strAutoDetectLocale(void)
{
  const CString strLanguage = sysGetLanguageName();
  CString strExact, strClose;
  if (!strLanguage.IsEmpty()) {
    for (const CString &str : filFindFiles(str_strLocaleDir, "")) {
      if (!strHasTailS(str, "/")) continue;
      CString strName = strDirName(str);
      if (strCompare(strName, strLanguage) == 0) {
        strExact = strName;
        break;
      }
      // The first in name order, so the choice does not depend on how the folder is listed.
      if (SameFirstTwoLetters(strName, strLanguage) &&
          (strClose.IsEmpty() || strCompare(strName, strClose) < 0)) {
        strClose = strName;
      }
    }
  }
  strSetCurrentLocale(!strExact.IsEmpty() ? strExact : strClose);
}

CString strFindLocalizedFile(const char *strFileName)
{
  if (strFileName == nullptr) {
    corLogGuardBreach();
    return CString();
  }
  const CString strFile(strFileName);
  const CString strLocale(str_strCurrentLocale);
  if (strLocale.IsEmpty()) return strFile;
  const CString strExt = strFileExt(strFile);
  CString strBase = QuennelEngine::strFileName(strFile);
  // "name_xxx" names one language's version already: its siblings share "name".
  const int ctBase = strBase.Length();
  if (ctBase >= 4 && strBase[ctBase - 4] == '_') strDeleteTail(strBase, 4);
  const CString strHead = strBase + "_";

  CString strClose;
  for (const CString &str : filFindFiles(strFileDir(strFile), "")) {
    if (strHasTailS(str, "/") || strCompare(strFileExt(str), strExt) != 0) continue;
    const CString strName = QuennelEngine::strFileName(str);
    if (strName.Length() <= strHead.Length() || !strHasHead(strName, strHead)) continue;
    const CString strSuffix = strGetTail(strName, strName.Length() - strHead.Length());
    if (strCompare(strSuffix, strLocale) == 0) return str;
    if (SameFirstTwoLetters(strSuffix, strLocale) &&
        (strClose.IsEmpty() || strCompare(str, strClose) < 0)) {
      strClose = str;
    }
  }
  return strClose.IsEmpty() ? strFile : strClose;
}

} // namespace QuennelEngine
