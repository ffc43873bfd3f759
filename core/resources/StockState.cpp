#include "core/resources/StockState.h"

#include "core/frame/Console.h"
#include "core/meta/DataType.h"
#include "core/resources/ResourceFile.h"
#include "core/resources/ResourceStock.h"
#include "core/text/Compare.h"
#include "core/text/Translation.h"
#include "core/threads/ExclusiveMainThread.h"
#include "core/threads/SyncLock.h"

#include <algorithm>

namespace QuennelEngine {

long CStockState::FindFile(const char *strFileName) const
{
  const CString strName(strFileName != nullptr ? strFileName : "");
  for (long i = 0; i < ss_astrFiles.Count(); i++) {
    if (ss_astrFiles[i] == strName) return i;
  }
  return -1;
}

void resSortStockFiles(CDynamicContainer<CResourceFile> &dcFiles)
{
  // Equal names keep their stock order.
  std::stable_sort(dcFiles.begin(), dcFiles.end(), [](CResourceFile *prfA, CResourceFile *prfB) {
    return strCompare(prfA->GetFileName(), prfB->GetFileName()) < 0;
  });
}

void resFilterStockFiles(CDynamicContainer<CResourceFile> &dcFiles, CStockState *pss)
{
  if (pss == nullptr) return;
  CDynamicContainer<CResourceFile> dcKept;
  for (CResourceFile *prf : dcFiles) {
    if (pss->FindFile(prf->GetFileName()) < 0) dcKept.Add(prf);
  }
  dcFiles.Swap(dcKept);
}

CStockState *resRecordStockState(void)
{
  CExclusiveMainThread emt;
  CSyncLock sl(resGetFileStockMutex());
  CDynamicContainer<CResourceFile> dcFiles = resListResourceFiles();
  resSortStockFiles(dcFiles);
  CStockState *pss = new CStockState;
  pss->ss_astrFiles.Reserve(dcFiles.Count());
  for (CResourceFile *prf : dcFiles) pss->ss_astrFiles.Push(prf->GetFileName());
  return pss;
}

static CStockState *&StoredState(void)
{
  static CStockState *_pss = nullptr;
  return _pss;
}

void resStoreStockState(void)
{
  CStockState *pssNew = resRecordStockState();
  {
    CSyncLock sl(resGetFileStockMutex());
    delete StoredState();
    StoredState() = pssNew;
  }
  conInfo(strTranslate("DOZUResource.StateRecorded=Stock state recorded. Stock diff can be later "
                       "examined with resDisplayStockDiff() call.\n"));
}

void resForgetStockState(void)
{
  CSyncLock sl(resGetFileStockMutex());
  delete StoredState();
  StoredState() = nullptr;
}

void resDisplayStockDiff(void)
{
  CSyncLock sl(resGetFileStockMutex());
  if (StoredState() == nullptr) {
    conInfo(strTranslate("DOZUResource.NoState=Nothing to compare stock state with. Use "
                         "resStoreStockState() to record stock state.\n"));
    return;
  }
  CDynamicContainer<CResourceFile> dcFiles = resListResourceFiles();
  resSortStockFiles(dcFiles);
  resFilterStockFiles(dcFiles, StoredState());
  if (dcFiles.IsEmpty()) {
    conInfo(strTranslate("DOZUResource.NoDiff=No diff in stock.\n"));
    return;
  }
  for (CResourceFile *prf : dcFiles) {
    conInfo("%1.\n", prf->GetFileName());
    for (CResource *prs : prf->rf_saShared) {
      CDataType *pdt = prs->mdGetDataType();
      conInfo(strTranslate("DOZUResource.DiffResource=  Type = '%1', RefCount = '%2', Name = "
                           "'%3', ID = '%4'\n"),
              pdt != nullptr ? (const char *)pdt->GetName() : "NoType", prs->GetReferenceCount(),
              (const char *)prs->GetName(), prs->rs_iID);
    }
  }
}

} // namespace QuennelEngine
