// The stock list and its name index. The index has 1024 buckets, chosen by the top bits of the
// name's own hash (StockHash) times a Fibonacci constant. A bucket keeps its entries in an array
// sorted by the full hash, searched by halving, and compares names only among equal hashes and
// lengths. A found entry moves to the head of its run of equal
// hashes. Files with equal names may coexist (a replacement made while the original is still
// there): a lookup finds the one that entered or was found last, and leaving removes the file's own
// entry.
#include "core/resources/ResourceStock.h"

#include "core/frame/Console.h"
#include "core/frame/Exception.h"
#include "core/memory/StaticStackArray.h"
#include "core/meta/DataTypeKinds.h"
#include "core/meta/MetaObjects.h"
#include "core/resources/ResourceFile.h"
#include "core/resources/ResourceMeta.h"
#include "core/resources/ResourcesPrivate.h"
#include "core/streams/ReplaceHistory.h"
#include "core/text/Compare.h"
#include "core/text/StringAlloc.h"
#include "core/text/Translation.h"
#include "core/threads/SyncLock.h"

#include <string.h>

namespace QuennelEngine {

namespace {

const int STOCK_BUCKET_BITS = 10;
const unsigned long STOCK_BUCKETS = 1UL << STOCK_BUCKET_BITS;

struct StockEntry {
  unsigned long se_ulHash;
  CResourceFile *se_prf;
  int se_ctLength; // of the file's name
  char *se_strName; // the stock's own copy: a look-up need not reach into the file
};
typedef CStaticStackArray<StockEntry> StockBucket;

struct Stock {
  CDynamicContainer<CResourceFile> st_dcFiles;
  StockBucket *st_asbBuckets = nullptr; // made on the first insertion
};

StockBucket &BucketOf(Stock &st, unsigned long ulHash)
{
  return st.st_asbBuckets[(ulHash * 0x9E3779B1UL) >> (32 - STOCK_BUCKET_BITS)];
}

// Mixes a group of four characters into the hash. Bit 5 of each byte is dropped: it is what
// tells ASCII's cases apart, the only ones that name comparisons fold.
inline unsigned long MixGroup(unsigned long ulHash, unsigned long ulGroup)
{
  return (((ulHash << 5) | (ulHash >> 27)) ^ (ulGroup & 0xDFDFDFDFUL)) * 0x9E3779B1UL;
}

// The hash of a name by groups of four characters from its start, and its length. Words are
// read only at aligned addresses, which never reach past the page of the terminating zero.
unsigned long StockHash(const char *strName, int &ctLength)
{
  const unsigned char *pub = (const unsigned char *)strName;
  unsigned long ulHash = 0;
  unsigned long ulGroup = 0;
  int iShift = 0; // of the next character in the group
  for (;; pub++) {
    if (((unsigned long)pub & 3) == 0) {
      unsigned long ulWord;
      memcpy(&ulWord, pub, 4);
      if (((ulWord - 0x01010101UL) & ~ulWord & 0x80808080UL) == 0) {
        // Four characters, none the end: they finish this group and start the next.
        if (iShift == 0) {
          ulHash = MixGroup(ulHash, ulWord);
        } else {
          ulHash = MixGroup(ulHash, ulGroup | (ulWord << iShift));
          ulGroup = ulWord >> (32 - iShift);
        }
        pub += 3;
        continue;
      }
    }
    if (*pub == 0) break;
    ulGroup |= (unsigned long)*pub << iShift;
    iShift += 8;
    if (iShift == 32) {
      ulHash = MixGroup(ulHash, ulGroup);
      ulGroup = 0;
      iShift = 0;
    }
  }
  if (iShift != 0) ulHash = MixGroup(ulHash, ulGroup);
  ctLength = (int)(pub - (const unsigned char *)strName);
  return ulHash;
}

Stock &TheStock(void)
{
  static Stock *_pst = new Stock;
  return *_pst;
}

// The first entry of the bucket whose hash is not below `ulHash`.
long FirstAtOrAbove(const StockBucket &sb, unsigned long ulHash)
{
  long iLow = 0;
  long iHigh = sb.Count();
  while (iLow < iHigh) {
    const long iMiddle = (iLow + iHigh) / 2;
    if (sb[iMiddle].se_ulHash < ulHash) {
      iLow = iMiddle + 1;
    } else {
      iHigh = iMiddle;
    }
  }
  return iLow;
}

} // namespace

CSyncMutex *resGetFileStockMutex(void)
{
  static CSyncMutex _sm;
  return &_sm;
}

namespace ResourcesPrivate {

void EnterStock(CResourceFile *prf)
{
  CSyncLock sl(resGetFileStockMutex());
  Stock &st = TheStock();
  st.st_dcFiles.Add(prf);
  if (st.st_asbBuckets == nullptr) {
    st.st_asbBuckets = new StockBucket[STOCK_BUCKETS];
    for (unsigned long i = 0; i < STOCK_BUCKETS; i++) st.st_asbBuckets[i].SetAllocationStep(4);
  }
  int ctLength;
  const unsigned long ulHash = StockHash(prf->GetFileName(), ctLength);
  StockBucket &sb = BucketOf(st, ulHash);
  // At the head of its run of equal hashes: the newest is found first.
  const long iAt = FirstAtOrAbove(sb, ulHash);
  sb.Push();
  for (long i = sb.Count() - 1; i > iAt; i--) sb[i] = sb[i - 1];
  sb[iAt] = StockEntry{ulHash, prf, ctLength, strDuplicate(prf->GetFileName())};
}

void LeaveStock(CResourceFile *prf)
{
  CSyncLock sl(resGetFileStockMutex());
  Stock &st = TheStock();
  st.st_dcFiles.Remove(prf);
  if (st.st_asbBuckets == nullptr) return;
  int ctLength;
  const unsigned long ulHash = StockHash(prf->GetFileName(), ctLength);
  StockBucket &sb = BucketOf(st, ulHash);
  for (long i = FirstAtOrAbove(sb, ulHash); i < sb.Count() && sb[i].se_ulHash == ulHash; i++) {
    if (sb[i].se_prf != prf) continue;
    strFree(sb[i].se_strName);
    sb.Delete(i);
    return;
  }
}

const CDynamicContainer<CResourceFile> &StockFiles(void)
{
  return TheStock().st_dcFiles;
}

} // namespace ResourcesPrivate

// Names of the stock compare as equal bytes almost always: four at a time while they are (both
// texts are `ct` characters long), folding only after a difference.
static inline bool SameName(const char *strA, const char *strB, int ct)
{
  int i = 0;
  for (; i + 4 <= ct; i += 4) {
    unsigned long ulA, ulB;
    memcpy(&ulA, strA + i, 4);
    memcpy(&ulB, strB + i, 4);
    if (ulA != ulB) break;
  }
  return strCompare(strA + i, strB + i) == 0;
}

CResourceFile *resFindFileInStock(const CString &strPath, CString &strResolved)
{
  CSyncLock sl(resGetFileStockMutex());
  // Most names are their own resolved names: they are looked up as they are, and copied over
  // the caller's string (which keeps its buffer when the length is the same).
  int ctLength;
  unsigned long ulHash = StockHash(strPath, ctLength);
  if (filReplaceHistoryKeeps(strPath, ctLength)) {
    strResolved = strPath;
  } else {
    strResolved = filFileReplaceHistory(strPath);
    ulHash = StockHash(strResolved, ctLength);
  }
  Stock &st = TheStock();
  if (st.st_asbBuckets == nullptr) return nullptr;
  StockBucket &sb = BucketOf(st, ulHash);
  const long iRun = FirstAtOrAbove(sb, ulHash);
  for (long i = iRun; i < sb.Count() && sb[i].se_ulHash == ulHash; i++) {
    const StockEntry se = sb[i];
    if (se.se_ctLength != ctLength || !SameName(se.se_strName, strResolved, ctLength)) {
      continue;
    }
    for (long j = i; j > iRun; j--) sb[j] = sb[j - 1];
    sb[iRun] = se;
    return se.se_prf;
  }
  return nullptr;
}

CDynamicContainer<CResourceFile> resListResourceFiles(void)
{
  CSyncLock sl(resGetFileStockMutex());
  return TheStock().st_dcFiles;
}

// The resources a type listing looks at: the named shared ones and the default one.
static bool IsListed(CResourceFile *prf, CResource *prs)
{
  return prs->GetName()[0] != 0 || prs->rs_iID == prf->rf_iDefaultID;
}

CDynamicContainer<CDataType> resListDataTypesInStock(void)
{
  CSyncLock sl(resGetFileStockMutex());
  CDynamicContainer<CDataType> dcTypes;
  for (CResourceFile *prf : TheStock().st_dcFiles) {
    for (CResource *prs : prf->rf_saShared) {
      CDataType *pdt = prs->mdGetDataType();
      if (IsListed(prf, prs) && !dcTypes.IsMember(pdt)) dcTypes.Add(pdt);
    }
  }
  return dcTypes;
}

CDynamicContainer<CResource> resListResourcesByDataType(CDataType *pdt)
{
  CSyncLock sl(resGetFileStockMutex());
  CDynamicContainer<CResource> dcResources;
  for (CResourceFile *prf : TheStock().st_dcFiles) {
    for (CResource *prs : prf->rf_saShared) {
      if (prs->mdGetDataType() == pdt && IsListed(prf, prs)) dcResources.Add(prs);
    }
  }
  return dcResources;
}

CResourceFile *resFindResourceFileOwningObject(CMetaPointer mp)
{
  if (!mp.IsValid()) return nullptr;
  CSyncLock sl(resGetFileStockMutex());
  conWarning(strTranslate("DOZUResource.ExhaustiveSearch=Using exhaustive search to find file "
                          "owning object %1!\n"),
             mdGetObjectDescription(mp));
  const CDynamicContainer<CResourceFile> dc = TheStock().st_dcFiles;
  for (CResourceFile *prf : dc) {
    CStaticStackArray<CMetaPointer> saReached;
    try {
      mdFindReferences(prf, saReached);
    } catch (CException &) {
      continue;
    }
    for (const CMetaPointer &mpReached : saReached) {
      if (mpReached.mp_pvObject == mp.mp_pvObject) return prf;
    }
  }
  return nullptr;
}

} // namespace QuennelEngine
