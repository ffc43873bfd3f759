#pragma once
// Helpers of the resource tests: instrumented resources that count constructions and
// destructions, a file type for files the tests write, and a fixture that gives each test its
// own root directory and frees the files a test leaves in the stock.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace QuennelEngine {
namespace Test {

// Counted with interlocked operations: the last release may come on another thread.
struct ResourceCounts {
  long rc_ctConstructed;
  long rc_ctDestroyed;
  long Alive() const
  {
    return __atomic_load_n(&rc_ctConstructed, __ATOMIC_SEQ_CST) -
           __atomic_load_n(&rc_ctDestroyed, __ATOMIC_SEQ_CST);
  }
};
extern ResourceCounts res_rcCounts;
inline void CountConstruction()
{
  __atomic_add_fetch(&res_rcCounts.rc_ctConstructed, 1, __ATOMIC_SEQ_CST);
}
inline void CountDestruction()
{
  __atomic_add_fetch(&res_rcCounts.rc_ctDestroyed, 1, __ATOMIC_SEQ_CST);
}

// A counted resource with references of each kind.
class CTsResource : public CResource {
  MD_DECLARE_CLASS(CTsResource)
  CTsResource() { CountConstruction(); }
  ~CTsResource()
  {
    delete tr_pOwned;
    tr_iValue = 0; // a reader of a deleted resource sees it
    CountDestruction();
  }
  Ptr<CResource> tr_pNext;      // counted, not owned
  CObject *tr_pOwned = nullptr; // owned part
  long tr_iValue = 0;
  int tr_ctPostRegister = 0;
  void PostRegister(void) override { tr_ctPostRegister++; }
};

// A counted part owned by a resource.
class CTsPart : public CObject {
  MD_DECLARE_CLASS(CTsPart)
  CTsPart() { CountConstruction(); }
  ~CTsPart() { CountDestruction(); }
  long tp_iValue = 0;
};

// An abstract resource class with two concrete ones.
class CTsAbstract : public CResource {
  MD_DECLARE_CLASS(CTsAbstract)
  CTsAbstract() { CountConstruction(); }
  ~CTsAbstract() { CountDestruction(); }
  virtual int Kind(void) = 0;
};
class CTsConcreteA : public CTsAbstract {
  MD_DECLARE_CLASS(CTsConcreteA)
  int Kind(void) override { return 1; }
};
class CTsConcreteB : public CTsAbstract {
  MD_DECLARE_CLASS(CTsConcreteB)
  int Kind(void) override { return 2; }
};

// Files beginning with "TSTFILE!" hold one CTsResource; saving writes that header and then the
// text of `tft_strBody`, and fails halfway when `tft_bFail` is set.
class CTsFileType : public CResourceFileType {
  MD_DECLARE_CLASS(CTsFileType)
  CTsFileType() { Register(); }
  long GetLoadPriority(void) override { return 10; }
  long GetSavePriority(void) override { return 10; }
  int CanSaveFile(CResourceFile *prf) override;
  void SaveFile_t(CResourceFile *prf) override;
  int CanLoadFileName(const CString &strFileName) override;
  int CanLoadStream_t(CStream *pstrm) override;
  CResourceFile *LoadFile_t(CStream *pstrm) override;

  std::string tft_strBody = "body";
  bool tft_bFail = false;
  bool tft_bThrowOnPeek = false;
  long tft_ctLoads = 0;
};

// A fresh root directory per test; files a test leaves in the stock are deleted, and every
// counted object must be gone at the end.
class ResourceTest : public testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;
  void WriteFile(const char *strName, const std::string &str);
  std::string ReadFile(const char *strName);
  // Starts the two resource services for the test (stopped in TearDown).
  void StartServices(void);

  CString rt_strOldRoot;
  long rt_ctFilesBefore = 0;
  bool rt_bServices = false;
};

// The fixture with the thread services up, for what runs in an exclusive section (the stock's
// freeing, dumps and states).
class StockTest : public ResourceTest {
protected:
  void TearDown() override;
  // A file in the stock named `strName` with `ct` CTsResources named R1, R2, ...
  CResourceFile *MakeStockFile(const char *strName, long ct = 1);

  CThreadServices st_ts;
};

// The file's i-th shared resource.
inline CTsResource *ResourceOf(CResourceFile *prf, long i = 0)
{
  return static_cast<CTsResource *>(prf->rf_saShared[i]);
}
// A file of that name is in the stock.
bool InStock(const char *strName);

inline CMetaPointer MetaOf(CObject *pobj)
{
  return CMetaPointer(pobj->mdGetDataType(), pobj);
}

} // namespace Test
} // namespace QuennelEngine
