// Freeing the stock: what each free function frees and keeps, the order of the passes, groups of
// files that hold only each other, and a walk that throws.
#include "MetaTestSupport.h"
#include "ResourceTestSupport.h"

using namespace QuennelEngine;
using namespace QuennelEngine::Test;

namespace {

class StockFree : public StockTest {};

// A resource whose collection throws while `_bThrowOnCollect` is set.
bool _bThrowOnCollect = false;

class CTsThrowingResource : public CResource {
  MD_DECLARE_CLASS(CTsThrowingResource)
  CTsThrowingResource() { CountConstruction(); }
  ~CTsThrowingResource() { CountDestruction(); }
  Ptr<CResource> ttr_pNext;
};

void CollectOrThrow(CMetaFrame &mf)
{
  if (_bThrowOnCollect) ThrowFormat_t("Cannot collect this");
  mdCollectObjectDefault_t(mf);
}

MD_CLASS_BEGIN(CTsThrowingResource, CResource, 1)
MD_MEMBER(ttr_pNext, 0, "Next")
MD_CLASS_OPERATION(CDataTypeFunctions::DTFSEL_COLLECT, &CollectOrThrow)
MD_CLASS_END()

} // namespace

TEST_F(StockFree, UnreferencedFilesGoHeldFilesStay)
{
  CResourceFile *prfHeld = MakeStockFile("Free/Held.rsc", 2);
  MakeStockFile("Free/First.rsc", 2);
  Ptr<CResource> prsHolder = ResourceOf(prfHeld, 1);
  {
    CConsoleLines cl;
    resFreeUnusedStockTrivial();
    EXPECT_TRUE(cl.Has("resFreeUnusedStockTrivial() released 1 files in ")) << cl.Text();
  }
  EXPECT_FALSE(InStock("Free/First.rsc"));
  EXPECT_TRUE(InStock("Free/Held.rsc"));
  EXPECT_EQ(res_rcCounts.Alive(), 2);

  MakeStockFile("Free/Second.rsc", 3);
  {
    CConsoleLines cl;
    resFreeUnusedStock();
    EXPECT_TRUE(cl.Has("'0' resources were reverted to resource proxy objects.")) << cl.Text();
    // The second pass finds nothing more.
    EXPECT_TRUE(cl.Has("resFreeUnusedStock() released 1 files in ")) << cl.Text();
    EXPECT_TRUE(cl.Has(" freeing), after 2 passes")) << cl.Text();
  }
  EXPECT_FALSE(InStock("Free/Second.rsc"));
  EXPECT_TRUE(InStock("Free/Held.rsc"));

  // An exposed resource holds its file as a shared one does.
  prsHolder = nullptr;
  Ptr<CResource> prsNested = new CTsResource;
  ResourceOf(prfHeld)->tr_pNext = prsNested;
  prfHeld->ExposeResource(prsNested);
  resFreeUnusedStockTrivial();
  EXPECT_TRUE(InStock("Free/Held.rsc"));
  prsNested = nullptr;
  resFreeUnusedStockTrivial();
  EXPECT_TRUE(InStock("Free/Held.rsc")) << "the file's own pointer still holds it";
  resFreeUnusedStock();
  EXPECT_FALSE(InStock("Free/Held.rsc"));
  EXPECT_EQ(res_rcCounts.Alive(), 0);
}

TEST_F(StockFree, AFileHeldOnlyByItselfGoesOnlyWithTheFullAnalysis)
{
  CResourceFile *prf = MakeStockFile("Free/Self.rsc", 3);
  // R1 -> R2 -> a free resource -> R1, and R3 -> R3.
  Ptr<CResource> prsFree = new CTsResource;
  ResourceOf(prf, 0)->tr_pNext = ResourceOf(prf, 1);
  ResourceOf(prf, 1)->tr_pNext = prsFree;
  static_cast<CTsResource *>(prsFree.Get())->tr_pNext = ResourceOf(prf, 0);
  ResourceOf(prf, 2)->tr_pNext = ResourceOf(prf, 2);
  prsFree = nullptr;

  resFreeUnusedStockTrivial();
  EXPECT_TRUE(InStock("Free/Self.rsc"));
  {
    CConsoleLines cl;
    resFreeUnusedStock();
    EXPECT_TRUE(cl.Has("released 1 files in ")) << cl.Text();
  }
  EXPECT_FALSE(InStock("Free/Self.rsc"));
  EXPECT_EQ(res_rcCounts.Alive(), 0);
}

TEST_F(StockFree, PassesRunFromTheEndAndRepeatWhileTheyFree)
{
  // Held only by a later file: both go in the first pass.
  {
    CResourceFile *prfEarlier = MakeStockFile("Free/Earlier.rsc");
    CResourceFile *prfLater = MakeStockFile("Free/Later.rsc");
    ResourceOf(prfLater)->tr_pNext = ResourceOf(prfEarlier);
    CConsoleLines cl;
    resFreeUnusedStock();
    EXPECT_TRUE(cl.Has("released 2 files in ")) << cl.Text();
    EXPECT_TRUE(cl.Has("after 2 passes")) << cl.Text();
    EXPECT_EQ(resListResourceFiles().Count(), rt_ctFilesBefore);
  }
  // Held only by an earlier file: the earlier goes first, the later in the second pass, and the
  // third finds nothing.
  {
    CResourceFile *prfEarlier = MakeStockFile("Free/Earlier.rsc");
    CResourceFile *prfLater = MakeStockFile("Free/Later.rsc");
    ResourceOf(prfEarlier)->tr_pNext = ResourceOf(prfLater);
    CConsoleLines cl;
    resFreeUnusedStock();
    EXPECT_TRUE(cl.Has("released 2 files in ")) << cl.Text();
    EXPECT_TRUE(cl.Has("after 3 passes")) << cl.Text();
    EXPECT_EQ(resListResourceFiles().Count(), rt_ctFilesBefore);
  }
  // The trivial variant makes one pass only: the later file stays for the next call.
  {
    CResourceFile *prfEarlier = MakeStockFile("Free/Earlier.rsc");
    CResourceFile *prfLater = MakeStockFile("Free/Later.rsc");
    ResourceOf(prfEarlier)->tr_pNext = ResourceOf(prfLater);
    resFreeUnusedStockTrivial();
    EXPECT_FALSE(InStock("Free/Earlier.rsc"));
    EXPECT_TRUE(InStock("Free/Later.rsc"));
    resFreeUnusedStockTrivial();
    EXPECT_FALSE(InStock("Free/Later.rsc"));
  }
  EXPECT_EQ(res_rcCounts.Alive(), 0);
}

TEST_F(StockFree, FilesThatHoldOnlyEachOtherGoTogether)
{
  // A two-file cycle, and a three-file ring that reaches B's exposed resource.
  CResourceFile *prfA = MakeStockFile("Cycle/A.rsc");
  CResourceFile *prfB = MakeStockFile("Cycle/B.rsc");
  ResourceOf(prfA)->tr_pNext = ResourceOf(prfB);
  ResourceOf(prfB)->tr_pNext = ResourceOf(prfA);
  CResourceFile *prfX = MakeStockFile("Ring/X.rsc");
  CResourceFile *prfY = MakeStockFile("Ring/Y.rsc", 2);
  CResourceFile *prfZ = MakeStockFile("Ring/Z.rsc");
  {
    Ptr<CResource> prsNested = new CTsResource;
    ResourceOf(prfY, 1)->tr_pNext = prsNested;
    prfY->ExposeResource(prsNested);
    ResourceOf(prfX)->tr_pNext = prsNested;
  }
  ResourceOf(prfY)->tr_pNext = ResourceOf(prfZ);
  ResourceOf(prfZ)->tr_pNext = ResourceOf(prfX);
  // A file that holds a cycle, itself unheld, goes before the cycle is looked at.
  CResourceFile *prfOnTop = MakeStockFile("Cycle/OnTop.rsc");
  ResourceOf(prfOnTop)->tr_pNext = ResourceOf(prfA);
  resFreeUnusedStockTrivial();
  EXPECT_FALSE(InStock("Cycle/OnTop.rsc"));
  EXPECT_EQ(resListResourceFiles().Count(), rt_ctFilesBefore + 5);

  CConsoleLines cl;
  resFreeUnusedStock();
  // The first pass frees the five together, the second finds nothing.
  EXPECT_TRUE(cl.Has("released 5 files in ")) << cl.Text();
  EXPECT_TRUE(cl.Has("after 2 passes")) << cl.Text();
  EXPECT_EQ(resListResourceFiles().Count(), rt_ctFilesBefore);
  EXPECT_EQ(res_rcCounts.Alive(), 0);
}

TEST_F(StockFree, ACycleHeldFromOutsideStays)
{
  CResourceFile *prfA = MakeStockFile("Cycle/A.rsc");
  CResourceFile *prfB = MakeStockFile("Cycle/B.rsc");
  ResourceOf(prfA)->tr_pNext = ResourceOf(prfB);
  ResourceOf(prfB)->tr_pNext = ResourceOf(prfA);
  // C is held from outside and holds D, which holds the cycle; E, held by no one, is freed.
  CResourceFile *prfC = MakeStockFile("Cycle/C.rsc");
  CResourceFile *prfD = MakeStockFile("Cycle/D.rsc");
  ResourceOf(prfC)->tr_pNext = ResourceOf(prfD);
  ResourceOf(prfD)->tr_pNext = ResourceOf(prfB);
  CResourceFile *prfE = MakeStockFile("Cycle/E.rsc");
  ResourceOf(prfE)->tr_pNext = ResourceOf(prfA);
  // An unheld cycle beside them goes.
  CResourceFile *prfF = MakeStockFile("Cycle/F.rsc");
  CResourceFile *prfG = MakeStockFile("Cycle/G.rsc");
  ResourceOf(prfF)->tr_pNext = ResourceOf(prfG);
  ResourceOf(prfG)->tr_pNext = ResourceOf(prfF);
  // A free object outside the stock holds C.
  Ptr<CResource> prsOutside = new CTsResource;
  static_cast<CTsResource *>(prsOutside.Get())->tr_pNext = ResourceOf(prfC);
  {
    CConsoleLines cl;
    resFreeUnusedStock();
    EXPECT_TRUE(cl.Has("released 3 files in ")) << cl.Text();
  }
  EXPECT_TRUE(InStock("Cycle/A.rsc"));
  EXPECT_TRUE(InStock("Cycle/B.rsc"));
  EXPECT_TRUE(InStock("Cycle/C.rsc"));
  EXPECT_TRUE(InStock("Cycle/D.rsc"));
  EXPECT_FALSE(InStock("Cycle/E.rsc"));
  EXPECT_FALSE(InStock("Cycle/F.rsc"));
  EXPECT_FALSE(InStock("Cycle/G.rsc"));

  // Held directly, without a chain.
  prsOutside = nullptr;
  Ptr<CResource> prsHolder = ResourceOf(prfB);
  {
    CConsoleLines cl;
    resFreeUnusedStock();
    EXPECT_TRUE(cl.Has("released 2 files in ")) << cl.Text();
  }
  EXPECT_TRUE(InStock("Cycle/A.rsc"));
  EXPECT_TRUE(InStock("Cycle/B.rsc"));
  prsHolder = nullptr;
  resFreeUnusedStock();
  EXPECT_EQ(resListResourceFiles().Count(), rt_ctFilesBefore);
  EXPECT_EQ(res_rcCounts.Alive(), 0);
}

TEST_F(StockFree, AnObjectTwoFilesReachIsNotCountedTwice)
{
  // Both files reach the free resource N, which holds A's R1; the outside holds R1 too, and A
  // holds B. Counting N's pointer once for each file would make A look held by the stock alone.
  CResourceFile *prfA = MakeStockFile("Share/A.rsc", 2);
  CResourceFile *prfB = MakeStockFile("Share/B.rsc");
  Ptr<CResource> prsN = new CTsResource;
  static_cast<CTsResource *>(prsN.Get())->tr_pNext = ResourceOf(prfA, 0);
  ResourceOf(prfA, 0)->tr_pNext = prsN;
  ResourceOf(prfB)->tr_pNext = prsN;
  ResourceOf(prfA, 1)->tr_pNext = ResourceOf(prfB);
  prsN = nullptr;
  Ptr<CResource> prsOutside = ResourceOf(prfA, 0);
  resFreeUnusedStock();
  EXPECT_TRUE(InStock("Share/A.rsc"));
  EXPECT_TRUE(InStock("Share/B.rsc"));
  prsOutside = nullptr;
}

namespace {
long volatile _bExclusiveTaken = 0;
unsigned long __stdcall TakeExclusiveSection(void *)
{
  CExclusiveMainThread emt;
  _bExclusiveTaken = 1;
  return 0;
}
} // namespace

TEST_F(StockFree, AWalkThatThrowsKeepsItsFileAndRestoresEverything)
{
  CResourceFile *prf = new CResourceFile;
  prf->SetFileName("Throw/T.rsc");
  CTsThrowingResource *prsA = new CTsThrowingResource;
  CTsThrowingResource *prsB = new CTsThrowingResource;
  prf->RegisterResource(prsA);
  prf->RegisterResource(prsB);
  prsA->ttr_pNext = prsB;
  MakeStockFile("Throw/Unheld.rsc");

  const MetaSwitches msBefore = mdGetMetaSwitches();
  const int bResolveProxies = md_bResolveProxies;
  const int bCollectForCopying = md_bCollectForCopying;
  _bThrowOnCollect = true;
  {
    CConsoleLines cl;
    resFreeUnusedStock();
    EXPECT_TRUE(cl.Has("Keeping 'Throw/T.rsc': Cannot collect this")) << cl.Text();
    EXPECT_TRUE(cl.Has("released 1 files in ")) << cl.Text();
  }
  _bThrowOnCollect = false;
  EXPECT_TRUE(InStock("Throw/T.rsc"));
  EXPECT_FALSE(InStock("Throw/Unheld.rsc"));

  // The switches, the stock mutex and the exclusive section are as they were.
  EXPECT_EQ(md_bResolveProxies, bResolveProxies);
  EXPECT_EQ(md_bCollectForCopying, bCollectForCopying);
  EXPECT_EQ(mdGetMetaSwitches().ms_bResolveProxies, msBefore.ms_bResolveProxies);
  EXPECT_EQ(mdGetMetaSwitches().ms_bCollectForCopying, msBefore.ms_bCollectForCopying);
  EXPECT_EQ(mdGetMetaSwitches().ms_bInEditor, msBefore.ms_bInEditor);
  EXPECT_EQ(resGetFileStockMutex()->GetLockCount(), -1);
  _bExclusiveTaken = 0;
  unsigned long ulID = 0;
  SysHandle hThread = sysCreateSuspendedThread(TakeExclusiveSection, nullptr, ulID);
  sysResumeThread(hThread);
  EXPECT_TRUE(WaitUntil([] { return _bExclusiveTaken != 0; }, 10000));
  sysWaitHandle(hThread, 10000);
  sysCloseHandle(hThread);

  // Walkable again, the file goes.
  resFreeUnusedStock();
  EXPECT_FALSE(InStock("Throw/T.rsc"));
  EXPECT_EQ(res_rcCounts.Alive(), 0);
}
