// The meta index: positions of addresses packed at every density, from every byte of a buffer to
// blocks far apart, look-ups between adds while the index grows, and contexts that start empty
// however large the one before them grew.
#include "MetaTestSupport.h"

#include <gtest/gtest.h>

#include <vector>

using namespace QuennelEngine;
using namespace QuennelEngine::Test;

namespace {

class CIxItem : public CObject {
  MD_DECLARE_CLASS(CIxItem)
  long ix_iValue = 0;
};

MD_CLASS_BEGIN(CIxItem, CObject, 1)
MD_MEMBER(ix_iValue, 0, "Value")
MD_CLASS_END()

CMetaPointer At(const void *pv)
{
  return CMetaPointer(CIxItem::md_pdtDataType, const_cast<void *>(pv));
}

class MetaIndex : public ::testing::Test {
protected:
  void SetUp() override { mdUpdateTypeTables(); }
};

} // namespace

TEST_F(MetaIndex, AddressesOfEveryDensityFindTheirPositions)
{
  CMetaContextScope mcs;
  mdSetupMetaIndex();
  // Every byte of 16 KiB (pages full to the last address), then every 24th byte of another
  // buffer from its end down, then blocks of their own far apart.
  std::vector<char> achDense(16384), achSparse(65536);
  for (size_t i = 0; i < achDense.size(); i++) ASSERT_EQ(mdAddObject(At(&achDense[i])), (long)i);
  const long iSparse = mdGetObjectCount();
  std::vector<const void *> apvSparse;
  for (long i = (long)achSparse.size() - 1; i >= 0; i -= 24) apvSparse.push_back(&achSparse[i]);
  for (const void *pv : apvSparse) mdAddObject(At(pv));
  std::vector<std::vector<char>> aachBlocks(64, std::vector<char>(100000));
  const long iBlocks = mdGetObjectCount();
  for (auto &ach : aachBlocks) mdAddObject(At(ach.data()));

  for (size_t i = 0; i < achDense.size(); i++) {
    ASSERT_EQ(mdObjectToIndex(At(&achDense[i])), (long)i) << i;
  }
  for (size_t i = 0; i < apvSparse.size(); i++) {
    ASSERT_EQ(mdObjectToIndex(At(apvSparse[i])), iSparse + (long)i);
    // The bytes between are not in the index.
    ASSERT_EQ(mdObjectToIndex(At((const char *)apvSparse[i] - 1)), -1);
  }
  for (size_t i = 0; i < aachBlocks.size(); i++) {
    EXPECT_EQ(mdObjectToIndex(At(aachBlocks[i].data())), iBlocks + (long)i);
    EXPECT_EQ(mdObjectToIndex(At(aachBlocks[i].data() + 8)), -1);
  }
  EXPECT_EQ(mdObjectToIndex(CMetaPointer()), -1);

  // A later position of the same address replaces the earlier one.
  mdSetObject(3, At(&achDense[5]));
  EXPECT_EQ(mdObjectToIndex(At(&achDense[5])), 3);
  EXPECT_EQ(mdIndexToObject(iSparse).mp_pvObject, apvSparse[0]);
  mdCleanupMetaIndex();
}

TEST_F(MetaIndex, LookUpsBetweenAddsStayRightWhileTheIndexGrows)
{
  CMetaContextScope mcs;
  mdSetupMetaIndex();
  // One address on each of 1,500 pages (the page directory grows several times), each add
  // followed by look-ups on the first page and on the page just added, so that the page found
  // last is always one the next growth moves.
  const long ctPages = 1500;
  std::vector<char> ach((size_t)(ctPages + 1) * 4096);
  char *pchFirst = (char *)(((size_t)ach.data() + 4095) & ~(size_t)4095);
  for (long i = 0; i < ctPages; i++) {
    ASSERT_EQ(mdAddObject(At(pchFirst + i * 4096 + 8)), i);
    ASSERT_EQ(mdObjectToIndex(At(pchFirst + 8)), 0) << i;
    ASSERT_EQ(mdObjectToIndex(At(pchFirst + i * 4096 + 8)), i);
    ASSERT_EQ(mdObjectToIndex(At(pchFirst + i * 4096 + 16)), -1);
  }
  for (long i = ctPages - 1; i >= 0; i--) {
    ASSERT_EQ(mdObjectToIndex(At(pchFirst + i * 4096 + 8)), i) << i;
  }
  mdCleanupMetaIndex();
  // The next index starts empty, also on the page it found last.
  mdSetupMetaIndex();
  EXPECT_EQ(mdObjectToIndex(At(pchFirst + 8)), -1);
  EXPECT_EQ(mdAddObject(At(pchFirst + 16)), 0);
  EXPECT_EQ(mdObjectToIndex(At(pchFirst + 16)), 0);
  EXPECT_EQ(mdObjectToIndex(At(pchFirst + 8)), -1);
  mdCleanupMetaIndex();
}

TEST_F(MetaIndex, AContextStartsEmptyAfterALargeOneWithTheProcessSwitches)
{
  std::vector<CIxItem> aItems(200000);
  {
    CMetaContextScope mcs;
    mdGetMetaSwitches().ms_bCollectForCopying = !md_bCollectForCopying;
    mdSetupMetaIndex();
    for (CIxItem &item : aItems) mdAddObject(At(&item));
    ASSERT_EQ(mdObjectToIndex(At(&aItems.back())), (long)aItems.size() - 1);
  }
  for (int iRound = 0; iRound < 2; iRound++) {
    CMetaContextScope mcs;
    EXPECT_EQ(mdGetMetaSwitches().ms_bCollectForCopying, md_bCollectForCopying);
    EXPECT_EQ(mdGetObjectCount(), 0);
    EXPECT_EQ(mdGetTypeCount(), 0);
    EXPECT_EQ(mdObjectToIndex(At(&aItems[0])), -1);
    EXPECT_EQ(mdObjectToIndex(At(&aItems.back())), -1);
    // Nested scopes each have their own index.
    mdAddObject(At(&aItems[1]));
    {
      CMetaContextScope mcsInner;
      EXPECT_EQ(mdObjectToIndex(At(&aItems[1])), -1);
      mdAddObject(At(&aItems[2]));
    }
    EXPECT_EQ(mdObjectToIndex(At(&aItems[1])), 0);
    EXPECT_EQ(mdObjectToIndex(At(&aItems[2])), -1);
  }
}
