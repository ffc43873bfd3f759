#include "core/resources/ResourceFileType.h"

#include "core/resources/ResourceFile.h"
#include "core/resources/ResourceStock.h"
#include "core/streams/Stream.h"
#include "core/threads/SyncLock.h"

namespace QuennelEngine {

MD_CLASS_BEGIN(CResourceFileType, CResource, 1)
MD_CLASS_END()

namespace {
struct FileTypeLists {
  CDynamicContainer<CResourceFileType> ftl_dcLoad;
  CDynamicContainer<CResourceFileType> ftl_dcSave;
};
// Made on first use: types register from static initialisers.
FileTypeLists &Lists(void)
{
  static FileTypeLists *_pftl = new FileTypeLists;
  return *_pftl;
}

// Highest first; equal priorities keep their registration order.
void SortByPriority(CDynamicContainer<CResourceFileType> &dc, bool bLoad)
{
  for (long i = 1; i < dc.Count(); i++) {
    for (long j = i; j > 0; j--) {
      CResourceFileType *prftA = dc.Pointer(j - 1);
      CResourceFileType *prftB = dc.Pointer(j);
      const long iA = bLoad ? prftA->GetLoadPriority() : prftA->GetSavePriority();
      const long iB = bLoad ? prftB->GetLoadPriority() : prftB->GetSavePriority();
      if (iA >= iB) break;
      dc.begin()[j - 1] = prftB;
      dc.begin()[j] = prftA;
    }
  }
}
} // namespace

void CResourceFileType::Register(void)
{
  CSyncLock sl(resGetFileStockMutex());
  FileTypeLists &ftl = Lists();
  if (ftl.ftl_dcLoad.IsMember(this)) return;
  ftl.ftl_dcLoad.Add(this);
  ftl.ftl_dcSave.Add(this);
  SortByPriority(ftl.ftl_dcLoad, true);
  SortByPriority(ftl.ftl_dcSave, false);
}

CResourceFileType::~CResourceFileType(void)
{
  CSyncLock sl(resGetFileStockMutex());
  FileTypeLists &ftl = Lists();
  ftl.ftl_dcLoad.Remove(this);
  ftl.ftl_dcSave.Remove(this);
  // Removal keeps the order; the sort of the rest still holds.
}

long CResourceFileType::GetLoadPriority(void)
{
  return 0;
}

long CResourceFileType::GetSavePriority(void)
{
  return 0;
}

void CResourceFileType::Finalize_t(CResourceFile *prf, EPlatform, const char *strTarget)
{
  CStream strmSource;
  strmSource.OpenFile_t(prf->GetFileName(), "r");
  CStream strmTarget;
  strmTarget.OpenFile_t(strTarget, "w");
  strmTarget.Write_t(strmSource);
}

CDynamicContainer<CResourceFileType> resListLoadFileTypes(void)
{
  CSyncLock sl(resGetFileStockMutex());
  return Lists().ftl_dcLoad;
}

CDynamicContainer<CResourceFileType> resListSaveFileTypes(void)
{
  CSyncLock sl(resGetFileStockMutex());
  return Lists().ftl_dcSave;
}

} // namespace QuennelEngine
