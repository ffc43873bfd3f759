#include "core/resources/ResourceFileType.h"

#include "core/frame/Console.h"
#include "core/frame/Exception.h"
#include "core/memory/StaticStackArray.h"
#include "core/resources/ResourceFile.h"
#include "core/resources/ResourceStock.h"
#include "core/streams/FileSystem.h"
#include "core/streams/Stream.h"
#include "core/text/Translation.h"
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
  Unregister();
}

void CResourceFileType::Unregister(void)
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

void CResourceFileType::Finalize_t(CResourceFile *prf, EPlatform pla, const char *strTarget)
{
  FinalizeByCopying_t(pla, prf->GetFileName(), strTarget);
}

void CResourceFileType::FinalizeByCopying_t(EPlatform, const char *strSource, const char *strTarget)
{
  conInfo(strTranslate("DOZUFinalize.Copying=Copying '%1' into '%2' because its resource file "
                       "type does not support finalization.\n"),
          strSource, strTarget);
  CStream strmSource;
  strmSource.OpenFile_t(strSource, "r");
  CStream strmTarget;
  strmTarget.OpenFile_t(strTarget, "w");
  try {
    const long slBlock = 0x10000;
    CStaticStackArray<char> saBuffer;
    saBuffer.Push(slBlock);
    for (;;) {
      const long slLeft = strmSource.GetSize() - strmSource.GetPosition();
      if (slLeft <= 0) break;
      const long slSize = slLeft < slBlock ? slLeft : slBlock;
      strmSource.Read_t(&saBuffer[0], slSize);
      strmTarget.Write_t(&saBuffer[0], slSize);
    }
  } catch (CException &) {
    strmTarget.Close();
    try {
      filDeleteFile_t(strTarget);
    } catch (CException &) {
      // The copy's own error is the one to report.
    }
    throw;
  }
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
