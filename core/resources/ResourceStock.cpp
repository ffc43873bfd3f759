// The stock list and its name index. The index is an array of 1000 chains, chosen by the name's
// hash modulo 1000; each entry keeps the hash, so a lookup compares hashes before names, and a
// found entry moves to the head of its chain. Files with equal names may coexist (a replacement
// made while the original is still there): a lookup finds the one found last, and leaving
// removes the file's own entry.
#include "core/resources/ResourceStock.h"

#include "core/frame/Console.h"
#include "core/frame/Exception.h"
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

const unsigned long STOCK_BUCKETS = 1000;

struct StockEntry {
  unsigned long se_ulHash;
  CResourceFile *se_prf;
  StockEntry *se_pseNext;
};

struct Stock {
  CDynamicContainer<CResourceFile> st_dcFiles;
  StockEntry **st_apseBuckets = nullptr; // made on the first insertion
};

Stock &TheStock(void)
{
  static Stock *_pst = new Stock;
  return *_pst;
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
  if (st.st_apseBuckets == nullptr) {
    st.st_apseBuckets = new StockEntry *[STOCK_BUCKETS];
    for (unsigned long i = 0; i < STOCK_BUCKETS; i++) st.st_apseBuckets[i] = nullptr;
  }
  const unsigned long ulHash = strGetHash(prf->GetFileName());
  StockEntry *&pseHead = st.st_apseBuckets[ulHash % STOCK_BUCKETS];
  pseHead = new StockEntry{ulHash, prf, pseHead};
}

void LeaveStock(CResourceFile *prf)
{
  CSyncLock sl(resGetFileStockMutex());
  Stock &st = TheStock();
  st.st_dcFiles.Remove(prf);
  if (st.st_apseBuckets == nullptr) return;
  const unsigned long ulHash = strGetHash(prf->GetFileName());
  for (StockEntry **ppse = &st.st_apseBuckets[ulHash % STOCK_BUCKETS]; *ppse != nullptr;
       ppse = &(*ppse)->se_pseNext) {
    if ((*ppse)->se_prf != prf) continue;
    StockEntry *pse = *ppse;
    *ppse = pse->se_pseNext;
    delete pse;
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
  if (st.st_apseBuckets == nullptr) return nullptr;
  const unsigned long ulHash = strGetHash(strResolved);
  StockEntry **ppseHead = &st.st_apseBuckets[ulHash % STOCK_BUCKETS];
  for (StockEntry **ppse = ppseHead; *ppse != nullptr; ppse = &(*ppse)->se_pseNext) {
    StockEntry *pse = *ppse;
    if (pse->se_ulHash != ulHash || !(pse->se_prf->GetFileName() == strResolved)) continue;
    if (ppse != ppseHead) {
      *ppse = pse->se_pseNext;
      pse->se_pseNext = *ppseHead;
      *ppseHead = pse;
    }
    return pse->se_prf;
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
