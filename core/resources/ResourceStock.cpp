// The stock list and its name index. The index has 1024 buckets, chosen by the top bits of the
// name's hash times a Fibonacci constant: the hash adds characters four bits apart, so names that
// differ only in a few digits (File0001 ... File9999) would crowd into few buckets of its low
// bits. A bucket keeps its entries in an array sorted by the full hash, searched by halving, and
// compares names only among equal hashes. A found entry moves to the head of its run of equal
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
#include "core/text/Hash.h"
#include "core/text/Translation.h"
#include "core/threads/SyncLock.h"

namespace QuennelEngine {

namespace {

const int STOCK_BUCKET_BITS = 10;
const unsigned long STOCK_BUCKETS = 1UL << STOCK_BUCKET_BITS;

struct StockEntry {
  unsigned long se_ulHash;
  CResourceFile *se_prf;
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
  const unsigned long ulHash = strGetHash(prf->GetFileName());
  StockBucket &sb = BucketOf(st, ulHash);
  // At the head of its run of equal hashes: the newest is found first.
  const long iAt = FirstAtOrAbove(sb, ulHash);
  sb.Push();
  for (long i = sb.Count() - 1; i > iAt; i--) sb[i] = sb[i - 1];
  sb[iAt] = StockEntry{ulHash, prf};
}

void LeaveStock(CResourceFile *prf)
{
  CSyncLock sl(resGetFileStockMutex());
  Stock &st = TheStock();
  st.st_dcFiles.Remove(prf);
  if (st.st_asbBuckets == nullptr) return;
  const unsigned long ulHash = strGetHash(prf->GetFileName());
  StockBucket &sb = BucketOf(st, ulHash);
  for (long i = FirstAtOrAbove(sb, ulHash); i < sb.Count() && sb[i].se_ulHash == ulHash; i++) {
    if (sb[i].se_prf != prf) continue;
    sb.Delete(i);
    return;
  }
}

const CDynamicContainer<CResourceFile> &StockFiles(void)
{
  return TheStock().st_dcFiles;
}

} // namespace ResourcesPrivate

CResourceFile *resFindFileInStock(const CString &strPath, CString &strResolved)
{
  CSyncLock sl(resGetFileStockMutex());
  strResolved = filFileReplaceHistory(strPath);
  Stock &st = TheStock();
  if (st.st_asbBuckets == nullptr) return nullptr;
  const unsigned long ulHash = strGetHash(strResolved);
  StockBucket &sb = BucketOf(st, ulHash);
  const long iRun = FirstAtOrAbove(sb, ulHash);
  for (long i = iRun; i < sb.Count() && sb[i].se_ulHash == ulHash; i++) {
    const StockEntry se = sb[i];
    if (!(se.se_prf->GetFileName() == strResolved)) continue;
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
