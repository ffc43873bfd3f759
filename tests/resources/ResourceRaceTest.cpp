// The last release of an exposed resource against lookups on another thread: a lookup either
// takes its reference before the count reaches 0, or finds nothing; it never revives a resource
// that is being deleted.
#include "ResourceTestSupport.h"

using namespace QuennelEngine;
using namespace QuennelEngine::Test;

namespace {

class ResourceRace : public ResourceTest {};

const long RACE_MAGIC = 0x5EED;

struct RaceState {
  CResourceFile *rs_prf;
  long volatile rs_iCurrentID;
  long volatile rs_bStop;
  long volatile rs_ctFound;
  long volatile rs_ctLookups;
  long volatile rs_ctBad;
};

void LookUpInALoop(void *pv)
{
  RaceState &rs = *(RaceState *)pv;
  while (!rs.rs_bStop) {
    Ptr<CResource> prs = rs.rs_prf->FindResourceByID(rs.rs_iCurrentID);
    rs.rs_ctLookups++;
    if (prs == nullptr) continue;
    rs.rs_ctFound++;
    // A resource handed out is alive and stays so while it is held.
    if (static_cast<CTsResource *>(prs.Get())->tr_iValue != RACE_MAGIC) rs.rs_ctBad++;
    if (prs->GetReferenceCount() < 1) rs.rs_ctBad++;
  }
}

} // namespace

TEST_F(ResourceRace, LastReleaseAgainstLookups)
{
  CThreadServices ts;
  RaceState rs = {new CResourceFile, 0, 0, 0, 0, 0};
  thrCreateThread(&rs, LookUpInALoop);
  ASSERT_TRUE(WaitUntil([&] { return rs.rs_ctLookups > 10; }, 10000));
  const long ctRounds = 3000;
  for (long i = 0; i < ctRounds; i++) {
    Ptr<CTsResource> prs = new CTsResource;
    prs->tr_iValue = RACE_MAGIC;
    rs.rs_prf->ExposeResource(prs);
    rs.rs_iCurrentID = prs->rs_iExposedID;
    // Now and then let the lookups find it before it goes, so both orders happen however the
    // threads are scheduled.
    if (i % 8 == 0) {
      const long ctLookups = rs.rs_ctLookups;
      ASSERT_TRUE(WaitUntil([&] { return rs.rs_ctLookups > ctLookups + 1; }, 10000));
    }
    // The last release here or on the lookup thread; deleting clears the magic.
    prs = nullptr;
  }
  rs.rs_bStop = 1;
  ASSERT_TRUE(WaitUntil(AllThreadsEnded, 10000));
  EXPECT_EQ(rs.rs_ctBad, 0);
  EXPECT_EQ(res_rcCounts.Alive(), 0);
  EXPECT_EQ(rs.rs_prf->rf_saExposed.Count(), 0);
  // Both sides ran: the stress meant something.
  EXPECT_GT(rs.rs_ctLookups, ctRounds / 4);
  delete rs.rs_prf;
  RecordProperty("found", (int)rs.rs_ctFound);
}
