// Obtaining resources through the stock: shared from the stock, loaded when missing, the errors
// of each variant, substitutes, the load scheduler, and the stock's type listings.
#include "MetaTestSupport.h"
#include "ResourceTestSupport.h"

using namespace QuennelEngine;
using namespace QuennelEngine::Test;

namespace {

class StockObtain : public StockTest {
protected:
  void TearDown() override
  {
    resSetLoadScheduler(nullptr);
    StockTest::TearDown();
  }
};

// A scheduler that records what it was asked and gives nothing.
ResLoadRequest _lrAsked;
long _ctAsked = 0;
CString _strSchedulerError;
Ptr<CResource> RecordingScheduler(const ResLoadRequest &lr, CString &strError)
{
  _lrAsked = lr;
  _ctAsked++;
  strError = _strSchedulerError;
  return Ptr<CResource>();
}

} // namespace

TEST_F(StockObtain, AStockFileSharesItsResources)
{
  CResourceFile *prf = MakeStockFile("Obtain/A.rsc", 2);
  CTsResource *prsR2 = ResourceOf(prf, 1);
  resSetLoadScheduler(RecordingScheduler);
  _ctAsked = 0;

  Ptr<CResource> prs =
      resObtainResource(CTsResource::md_pdtDataType, ROM_LOADFIRST, 0, 0, "Obtain/A.rsc", "R2");
  EXPECT_EQ(prs.Get(), prsR2);
  EXPECT_EQ(prsR2->GetReferenceCount(), 1);
  EXPECT_EQ(
      resObtainResourceByID(CResource::md_pdtDataType, ROM_LOADLAST, 0, 0, "Obtain/A.rsc", 2).Get(),
      prsR2);
  // The default resource (ID 1) for an empty name, from every variant.
  EXPECT_EQ(resObtainResource(nullptr, ROM_LOADFIRST, 0, 0, "Obtain/A.rsc", "").Get(),
            ResourceOf(prf, 0));
  EXPECT_EQ(resObtainResource_t(CTsResource::md_pdtDataType, "Obtain/A.rsc", nullptr).Get(),
            ResourceOf(prf, 0));
  EXPECT_EQ(resObtainFile_t("Obtain/A.rsc"), prf);
  EXPECT_EQ(_ctAsked, 0) << "nothing was scheduled";

  // The questions about one resource do not count their own reference.
  EXPECT_EQ(resGetResourceReferenceCount("Obtain/A.rsc|R2"), 1);
  EXPECT_EQ(resGetResourceReferenceCount("Obtain/A.rsc"), 0);
  EXPECT_EQ(resGetResourceSimpleInfo("Obtain/A.rsc|R2"), CString(""));
  EXPECT_EQ(resGetResourceReferenceCount("Obtain/A.rsc|Nope"), -1);
  EXPECT_EQ(_ctAsked, 1);
}

TEST_F(StockObtain, WhatTheStockLacksGoesToTheSchedulerWithTheRequest)
{
  MakeStockFile("Obtain/A.rsc", 1);
  resSetLoadScheduler(RecordingScheduler);
  _ctAsked = 0;
  _strSchedulerError = CString();

  // A resource of another type is not taken from the stock.
  EXPECT_EQ(resObtainResource(CTsAbstract::md_pdtDataType, ROM_LOADLAST, 1, 1, "Obtain/A.rsc", "R1")
                .Get(),
            nullptr);
  EXPECT_EQ(_ctAsked, 1);
  EXPECT_EQ(_lrAsked.lr_pdt, CTsAbstract::md_pdtDataType);
  EXPECT_EQ(_lrAsked.lr_rom, ROM_LOADLAST);
  EXPECT_EQ(_lrAsked.lr_bCreateReplacement, 1);
  EXPECT_EQ(_lrAsked.lr_bReportErrors, 1);
  EXPECT_STREQ(_lrAsked.lr_strPath, "Obtain/A.rsc");
  EXPECT_STREQ(_lrAsked.lr_strName, "R1");
  EXPECT_FALSE(_lrAsked.lr_bByID);

  resObtainResourceByID(nullptr, ROM_DELAYED, 0, 0, "Obtain/Missing.rsc", 7);
  EXPECT_EQ(_lrAsked.lr_rom, ROM_DELAYED);
  EXPECT_TRUE(_lrAsked.lr_bByID);
  EXPECT_EQ(_lrAsked.lr_iID, 7);

  // The throwing variant waits, without substitutes or printed errors.
  EXPECT_EQ(ThrownBy([] { resObtainResource_t(nullptr, "Obtain/Missing.rsc", "X"); }),
            "Error in loading");
  EXPECT_EQ(_lrAsked.lr_rom, ROM_LOADTHROW);
  EXPECT_EQ(_lrAsked.lr_bCreateReplacement, 0);
  EXPECT_EQ(_lrAsked.lr_bReportErrors, 0);
  _strSchedulerError = "The loader's own words";
  EXPECT_EQ(ThrownBy([] { resObtainFile_t("Obtain/Missing.rsc"); }), "The loader's own words");
  EXPECT_STREQ(_lrAsked.lr_strName, "");
  _strSchedulerError = CString();
}

TEST_F(StockObtain, LoadingAtOnceFindsOrFails)
{
  CTsFileType tft;
  WriteFile("Obtain/Disk.tst", "TSTFILE!");
  // Without the loading pool a queued load runs at once: the proxy handed out is ready.
  Ptr<CResource> prsProxy =
      resObtainResource(CTsResource::md_pdtDataType, ROM_LOADLAST, 0, 0, "Obtain/Disk.tst", "Main");
  ASSERT_NE(prsProxy, nullptr);
  EXPECT_EQ(prsProxy->mdGetDataType(), CResourceProxy::md_pdtDataType);
  EXPECT_EQ(tft.tft_ctLoads, 1);
  EXPECT_TRUE(prsProxy->IsReplacementReady());
  Ptr<CResource> prs = resAcquire(prsProxy);
  prsProxy = nullptr;
  ASSERT_NE(prs, nullptr);
  EXPECT_STREQ(prs->GetFileName(), "Obtain/Disk.tst");
  EXPECT_EQ(tft.tft_ctLoads, 1);
  EXPECT_EQ(resObtainFile_t("Obtain/Disk.tst"), prs->GetResourceFile());
  EXPECT_EQ(tft.tft_ctLoads, 1);
  prs = nullptr;

  // A missing file: null, or the file's error from the throwing variant.
  const std::string strOpenError = ThrownBy([] { resObtainFileInternal_t("Obtain/None.tst"); });
  ASSERT_NE(strOpenError, "");
  {
    CConsoleLines cl;
    EXPECT_EQ(resObtainResource(nullptr, ROM_LOADFIRST, 0, 0, "Obtain/None.tst", "").Get(),
              nullptr);
    EXPECT_FALSE(cl.Has(strOpenError));
    // The failed proxy answers again until it is freed; a new one loads (and reports) anew.
    EXPECT_EQ(resObtainResource(nullptr, ROM_LOADFIRST, 0, 1, "Obtain/None.tst", "").Get(),
              nullptr);
    EXPECT_FALSE(cl.Has(strOpenError));
    resFreeUnusedProxies();
    EXPECT_EQ(resObtainResource(nullptr, ROM_LOADFIRST, 0, 1, "Obtain/None.tst", "").Get(),
              nullptr);
    EXPECT_TRUE(cl.Has(strOpenError)) << cl.Text();
  }
  EXPECT_EQ(ThrownBy([] { resObtainResource_t(nullptr, "Obtain/None.tst", "Main"); }),
            strOpenError);
  EXPECT_FALSE(InStock("Obtain/None.tst"));

  // A missing resource in a file that loaded.
  EXPECT_EQ(
      ThrownBy([] { resObtainResource_t(CTsResource::md_pdtDataType, "Obtain/Disk.tst", "Nope"); }),
      "Can't find resource with name 'Nope' of data type 'CTsResource' in file "
      "'Obtain/Disk.tst'.");
  EXPECT_EQ(ThrownBy([] { resObtainResource_t(CTsPart::md_pdtDataType, "Obtain/Disk.tst", ""); }),
            "Can't find resource with name '' of data type 'CTsPart' in file 'Obtain/Disk.tst'.");
  CConsoleLines cl;
  EXPECT_EQ(resObtainResourceByID(nullptr, ROM_LOADFIRST, 0, 1, "Obtain/Disk.tst", 9).Get(),
            nullptr);
  EXPECT_TRUE(cl.Has("Can't find resource with ID '9' of data type '' in file 'Obtain/Disk.tst'."))
      << cl.Text();
  EXPECT_EQ(tft.tft_ctLoads, 1);
}

TEST_F(StockObtain, CreateReplacementGivesSubstitutes)
{
  // A file that cannot be loaded: an empty replacement file with the substitute in it.
  {
    CConsoleLines cl;
    Ptr<CResource> prs = resObtainResource(CTsResource::md_pdtDataType, ROM_LOADFIRST, 1, 1,
                                           "Obtain/Gone.rsc", "Tex");
    ASSERT_NE(prs, nullptr);
    EXPECT_EQ(prs->mdGetDataType(), CTsResource::md_pdtDataType);
    EXPECT_TRUE(prs->rs_ulFlags & CResource::RSF_DEFAULTSUBSTITUTE);
    EXPECT_STREQ(prs->GetName(), "Tex");
    CResourceFile *prf = prs->GetResourceFile();
    ASSERT_NE(prf, nullptr);
    EXPECT_STREQ(prf->GetFileName(), "Obtain/Gone.rsc");
    EXPECT_EQ(prf->rf_ulFlags & (CResourceFile::RFF_REPLACEMENT | CResourceFile::RFF_NOTLOADED),
              CResourceFile::RFF_REPLACEMENT | CResourceFile::RFF_NOTLOADED);
    const std::string strText = cl.Text();
    const size_t iCreating = strText.find(". Creating replacement file.");
    const size_t iCannotFind = strText.find("Can't find resource with name 'Tex' of data type "
                                            "'CTsResource' in file 'Obtain/Gone.rsc'.");
    EXPECT_NE(iCreating, std::string::npos) << strText;
    EXPECT_NE(iCannotFind, std::string::npos) << strText;
    EXPECT_LT(iCreating, iCannotFind);
    // The replacement is in the stock now: the same resource comes from there.
    EXPECT_EQ(resObtainResource(CTsResource::md_pdtDataType, ROM_LOADFIRST, 0, 0, "Obtain/Gone.rsc",
                                "Tex")
                  .Get(),
              prs.Get());
  }
  // A file that loaded without the resource: the substitute joins it, unnamed when asked by ID;
  // without report-errors nothing is printed.
  CResourceFile *prf = MakeStockFile("Obtain/Here.rsc", 1);
  CConsoleLines cl;
  Ptr<CResource> prs =
      resObtainResourceByID(CTsResource::md_pdtDataType, ROM_LOADFIRST, 1, 0, "Obtain/Here.rsc", 5);
  ASSERT_NE(prs, nullptr);
  EXPECT_EQ(prs->GetResourceFile(), prf);
  EXPECT_STREQ(prs->GetName(), "");
  EXPECT_EQ(prf->rf_ulFlags, (unsigned long)CResourceFile::RFF_NOTLOADED);
  EXPECT_FALSE(cl.Has("Can't find")) << cl.Text();
}

TEST_F(StockObtain, TypeListingsTakeNamedAndDefaultResources)
{
  CResourceFile *prfA = new CResourceFile;
  prfA->SetFileName("List/A.rsc");
  CResource *prsDefault = new CTsConcreteA; // ID 1, the default, unnamed
  CResource *prsNamed = new CTsConcreteB;
  CResource *prsUnnamed = new CTsResource; // neither: not listed
  CResource *prsNamedA = new CTsConcreteA;
  prfA->RegisterResource(prsDefault);
  prfA->RegisterResource(prsNamed);
  prfA->RegisterResource(prsUnnamed);
  prfA->RegisterResource(prsNamedA);
  prsNamed->SetName("B");
  prsNamedA->SetName("A2");
  CResourceFile *prfB = new CResourceFile;
  prfB->SetFileName("List/B.rsc");
  CResource *prsDummy = new CDummyResource;
  prfB->RegisterResource(prsDummy);
  prsDummy->SetName("D");

  const CDynamicContainer<CDataType> dcTypes = resListDataTypesInStock();
  ASSERT_EQ(dcTypes.Count(), 3);
  EXPECT_EQ(dcTypes.Pointer(0), CTsConcreteA::md_pdtDataType);
  EXPECT_EQ(dcTypes.Pointer(1), CTsConcreteB::md_pdtDataType);
  EXPECT_EQ(dcTypes.Pointer(2), CDummyResource::md_pdtDataType);
  const CDynamicContainer<CResource> dcA = resListResourcesByDataType(CTsConcreteA::md_pdtDataType);
  ASSERT_EQ(dcA.Count(), 2);
  EXPECT_EQ(dcA.Pointer(0), prsDefault);
  EXPECT_EQ(dcA.Pointer(1), prsNamedA);
  // Exactly the type: derived types are not listed under their base.
  EXPECT_EQ(resListResourcesByDataType(CTsAbstract::md_pdtDataType).Count(), 0);
  EXPECT_EQ(resListResourcesByDataType(CTsResource::md_pdtDataType).Count(), 0);
  EXPECT_EQ(prsDefault->GetReferenceCount(), 0);
}
