// The declaration front-end and the registry: a module's classes register when it loads and go
// when it unloads, the type update completes them and reports every fault with its exact text.
#include "MetaTestSupport.h"

#include <gtest/gtest.h>

using namespace QuennelEngine;
using namespace QuennelEngine::Test;

namespace {

// Loads the test module for one test; its types are checked at once.
class CMetaTestModule {
public:
  CMetaTestModule()
  {
    mtm_dl.Open_t("$MetaTestModule.dll");
    mtm_ctFailed = mdUpdateTypeTables();
  }
  CDynamicLoader mtm_dl;
  long mtm_ctFailed;
};

CDataType_Struct *Struct(const char *strName)
{
  return mdAsStruct(mdFindByName(strName));
}

const CDataType_StructMember *Member(const char *strType, const char *strMember)
{
  CDataType_Struct *pdt = Struct(strType);
  return pdt == nullptr ? nullptr : pdt->FindMember(strConvertStringToID(strMember));
}

std::string MemberType(const char *strType, const char *strMember)
{
  const CDataType_StructMember *psm = Member(strType, strMember);
  if (psm == nullptr) return "(no member)";
  CTypeID tid = psm->sm_tidType;
  return (const char *)mdGetTypeDescription(tid);
}

} // namespace

TEST(Declaration, ModuleTypesRegisterCompleteAndLeave)
{
  {
    CConsoleLines cl;
    CMetaTestModule mtm;
    EXPECT_EQ(mtm.mtm_ctFailed, 0) << cl.Text();
    EXPECT_FALSE(cl.Has("Can't update")) << cl.Text();

    // The base chain and what the classes say about themselves.
    CDataType_Struct *pdtLeaf = Struct("CMtLeaf");
    ASSERT_NE(pdtLeaf, nullptr);
    EXPECT_EQ(pdtLeaf->dt_iFormat, 2);
    EXPECT_TRUE(mdIsDerivedFrom(pdtLeaf, Struct("CMtBase")));
    EXPECT_TRUE(mdIsDerivedFrom(pdtLeaf, CObject::md_pdtDataType));
    EXPECT_FALSE(mdIsDerivedFrom(Struct("CMtBase"), pdtLeaf));
    EXPECT_EQ(mdGetCommonDataType(pdtLeaf, Struct("CMtNode")), CObject::md_pdtDataType);
    EXPECT_TRUE(pdtLeaf->dtst_ulClassFlags & DTCF_HASGETDATATYPE);
    EXPECT_STREQ(pdtLeaf->dtst_idEditorName, "Leaf");
    EXPECT_EQ(mdFindStructByAlias("CMtOldLeaf"), pdtLeaf);
    EXPECT_STREQ(mdGetHint(pdtLeaf, "icon"), "leaf.png");
    EXPECT_EQ(pdtLeaf->dt_slSize, (long)sizeof(CObject) + 4 + 4 + 4 + 4);

    const CDataType_StructMember *psm = Member("CMtMiddle", "mm_fValue");
    ASSERT_NE(psm, nullptr);
    EXPECT_STREQ(psm->GetEditorName(), "Float value");
    EXPECT_STREQ(psm->GetAlias(), "mm_fOldValue");
    EXPECT_STREQ(psm->GetGroupName(), "Numbers");
    EXPECT_TRUE(mdHasHint(psm, "Range"));
    EXPECT_STREQ(mdGetHint(psm, "Range"), "0..1");
    EXPECT_EQ(psm->sm_slOffset, (long)sizeof(CObject) + 4);

    // Abstract classes make no objects; the others do, as what they are.
    EXPECT_TRUE(mdIsAbstract(Struct("CMtShape")));
    EXPECT_EQ(Struct("CMtShape")->GetFunction(CDataTypeFunctions::DTFS_NEW), nullptr);
    EXPECT_EQ(mdFindNonAbstractDerivedClasses(Struct("CMtShape")).Count(), 0);
    EXPECT_EQ(mdFindDerivedClasses(Struct("CMtShape")).Count(), 1);
    EXPECT_EQ(mdFindDerivedClasses(Struct("CMtBase")).Count(), 3);

    // Member types deduced from C++, with the frozen compound names.
    EXPECT_EQ(MemberType("CMtNode", "mn_pNext"), "CMtNode*");
    EXPECT_EQ(MemberType("CMtBag", "mb_sapItems"), "CStaticStackArray<Ptr<CMtItem>>");
    EXPECT_EQ(MemberType("CMtBag", "mb_dcNodes"), "CDynamicContainer<CMtNode>");
    EXPECT_EQ(MemberType("CMtBag", "mb_afWeights"), "FLOAT[4]");
    EXPECT_EQ(MemberType("CMtBag", "mb_iSlot"), "INDEX");
    EXPECT_EQ(MemberType("CMtBag", "mb_hNode"), "Handle<CMtNode>");
    EXPECT_EQ(MemberType("CMtItem", "mi_iWeight"), "MTWEIGHT");
    EXPECT_EQ(MemberType("CMtLeaf", "ml_eColor"), "EMtColor");
    EXPECT_EQ(Member("CMtBag", "mb_strNote")->sm_ulFlags, (unsigned long)SMF_EDIT);
    EXPECT_NE(mdFindByName("CStaticStackArray<Ptr<CMtItem>>"), nullptr);

    // Plain: flat runs of bytes only.
    EXPECT_TRUE(Struct("CMtPoint")->dt_ulFlags & DTF_PLAIN);
    EXPECT_FALSE(Struct("CMtPadded")->dt_ulFlags & DTF_PLAIN);
    EXPECT_FALSE(Struct("CMtBag")->dt_ulFlags & DTF_PLAIN);
    EXPECT_TRUE(mdFindByName("FLOAT[4]")->dt_ulFlags & DTF_PLAIN);
    EXPECT_TRUE(mdFindByName("EMtColor")->dt_ulFlags & DTF_PLAIN);
    EXPECT_STREQ(mdGetEnumName(strConvertStringToID("EMtColor"), 4), "Blue");
    long slValue = 0;
    EXPECT_TRUE(mdGetEnumValue(strConvertStringToID("EMtColor"), "Green", slValue));
    EXPECT_EQ(slValue, 2);

    // An object the module made knows its descriptor, and deletes through it.
    CObject *pobj = mtm.mtm_dl.GetFunction_t<CObject *(*)(void)>("MetaTestModule_NewLeaf")();
    ASSERT_EQ(pobj->mdGetDataType(), pdtLeaf);
    const long ctSingles = pdtLeaf->dt_mts.mts_ctSingles;
    EXPECT_GE(ctSingles, 1);
    mdDelete(CMetaPointer(pdtLeaf, pobj));
    EXPECT_EQ(pdtLeaf->dt_mts.mts_ctSingles, ctSingles - 1);
  }
  // Unloaded: the module's types are gone, and nothing that stays refers into it.
  EXPECT_EQ(mdFindByName("CMtLeaf"), nullptr);
  EXPECT_EQ(mdFindStructByAlias("CMtOldLeaf"), nullptr);
  CDataType_Container *pdtc = mdAsContainer(mdFindByName("CDynamicContainer<CMtNode>"));
  ASSERT_NE(pdtc, nullptr); // compound types belong to Core and stay
  EXPECT_EQ(pdtc->dtc_tidElement.GetPointer(), nullptr);
  EXPECT_STREQ(pdtc->dtc_tidElement.GetName(), "CMtNode");
  for (CDataType *pdt : mdFindDerivedClasses(CObject::md_pdtDataType)) {
    EXPECT_STRNE(pdt->GetName(), "CMtBase");
  }
}

TEST(Declaration, ModuleLoadsAgainAndReferencesResolveAgain)
{
  for (int i = 0; i < 2; i++) {
    CMetaTestModule mtm;
    EXPECT_EQ(mtm.mtm_ctFailed, 0);
    CDataType_Container *pdtc = mdAsContainer(mdFindByName("CDynamicContainer<CMtNode>"));
    ASSERT_NE(pdtc, nullptr);
    EXPECT_EQ(pdtc->dtc_tidElement.Resolve(), mdFindByName("CMtNode"));
  }
}

namespace {

// Descriptors registered by hand for one test, unregistered and freed at its end.
class CScratchTypes {
public:
  ~CScratchTypes()
  {
    for (long i = st_dc.Count() - 1; i >= 0; i--) mdDeleteDeclaredType(st_dc.Pointer(i));
  }
  CDataType *Add(CDataType *pdt)
  {
    st_dc.Add(pdt);
    mdRegister(pdt);
    return pdt;
  }
  CDataType *Struct(const char *strName, const char *strBase, long ctMembers,
                    const CDataType_StructMember *asm_, long slSize, unsigned long ulClassFlags = 0)
  {
    return Add(new CDataType_Struct(
        strName, 1, nullptr, strBase == nullptr ? CTypeID() : CTypeID(strBase), ctMembers, asm_, 0,
        nullptr, 0, ulClassFlags, slSize, nullptr, nullptr, 0, nullptr, nullptr));
  }

private:
  CDynamicContainer<CDataType> st_dc;
};

CDataType_StructMember MemberOf(const char *strType, const char *strName, long slOffset,
                                unsigned long ulFlags = 0)
{
  return CDataType_StructMember(CTypeID(strType), strName, nullptr, nullptr, nullptr, slOffset,
                                ulFlags, 0, 0, nullptr, 0);
}

} // namespace

TEST(Declaration, TypeUpdatePrintsEveryFaultWithItsText)
{
  CScratchTypes st;
  const CDataType_StructMember asmUndeclared[] = {MemberOf("SLONG", "u_iFine", 0),
                                                  MemberOf("CNoSuchType", "u_bad", 4)};
  st.Struct("CUpdUndeclared", nullptr, 2, asmUndeclared, 8);
  st.Struct("CUpdBaseNotClass", "FLOAT", 0, nullptr, 4);
  st.Struct("CUpdVirtualBase", nullptr, 0, nullptr, 4, DTCF_HASGETDATATYPE);
  st.Struct("CUpdNoOverride", "CUpdVirtualBase", 0, nullptr, 4);
  st.Struct("CUpdTwice", nullptr, 0, nullptr, 4);
  st.Struct("CUpdTwice", nullptr, 0, nullptr, 8);
  // Uses a failed type: fails too.
  const CDataType_StructMember asmUser[] = {MemberOf("CUpdUndeclared", "us_inner", 0)};
  st.Struct("CUpdUser", nullptr, 1, asmUser, 8);
  st.Struct("CUpdBaseUndeclared", "CNoSuchBase", 0, nullptr, 4);

  CConsoleLines cl;
  EXPECT_EQ(mdUpdateTypeTables(), 6) << cl.Text();
  const std::string str = cl.Text();
  EXPECT_NE(str.find("Undeclared type: CNoSuchType used by CUpdUndeclared::u_bad\n"),
            std::string::npos)
      << str;
  EXPECT_NE(str.find("CUpdBaseNotClass is derived from FLOAT, but that is not a class/struct\n"),
            std::string::npos)
      << str;
  EXPECT_NE(str.find("CUpdNoOverride doesn't override virtual function mdGetDataType() inherited "
                     "from CUpdVirtualBase\n"),
            std::string::npos)
      << str;
  EXPECT_NE(
      str.find("Type CUpdTwice is registered twice: CUpdTwice (4 bytes) and CUpdTwice (8 bytes)\n"),
      std::string::npos)
      << str;
  EXPECT_NE(str.find("CUpdBaseUndeclared is derived from undeclared type CNoSuchBase\n"),
            std::string::npos)
      << str;
  for (const char *strType : {"CUpdUndeclared", "CUpdBaseNotClass", "CUpdNoOverride", "CUpdTwice",
                              "CUpdUser", "CUpdBaseUndeclared"}) {
    EXPECT_NE(str.find(std::string("Can't update type ") + strType + "\n"), std::string::npos)
        << strType << str;
  }
  EXPECT_EQ(str.find("Can't update type CUpdVirtualBase"), std::string::npos) << str;

  // Failed types are tried again: once the missing type exists, they pass.
  st.Add(new CDataType_Typedef("CNoSuchType", 1, CTypeID("SLONG"), 0));
  CConsoleLines cl2;
  mdUpdateTypeTables();
  EXPECT_FALSE(cl2.Has("Can't update type CUpdUndeclared")) << cl2.Text();
  EXPECT_FALSE(cl2.Has("Can't update type CUpdUser")) << cl2.Text();
  EXPECT_TRUE(mdFindByName("CUpdUndeclared")->dt_ulFlags & DTF_PLAIN);
}

TEST(Declaration, DuplicateAliasesNameBothTypes)
{
  CScratchTypes st;
  auto aliased = [&](const char *strName) {
    return st.Add(new CDataType_Struct(strName, 1, nullptr, CTypeID(), 0, nullptr, 0, nullptr, 0, 0,
                                       4, nullptr, "CDaShared", 0, nullptr, nullptr));
  };
  CDataType *pdtFirst = aliased("CDaFirst");
  aliased("CDaSecond");
  CConsoleLines cl;
  EXPECT_EQ(mdUpdateTypeTables(), 1);
  EXPECT_TRUE(cl.Has("Alias CDaShared is used by two types: CDaFirst and CDaSecond\n"))
      << cl.Text();
  EXPECT_TRUE(cl.Has("Can't update type CDaSecond\n")) << cl.Text();
  EXPECT_EQ(mdFindStructByAlias("CDaShared"), pdtFirst);
}

TEST(Declaration, PlainFlagsFollowMembersBasesAndPadding)
{
  CScratchTypes st;
  const CDataType_StructMember asmTwo[] = {MemberOf("SLONG", "a", 0), MemberOf("FLOAT", "b", 4)};
  st.Struct("CPlTwo", nullptr, 2, asmTwo, 8);
  st.Struct("CPlPadded", nullptr, 2, asmTwo, 12);
  const CDataType_StructMember asmDerived[] = {MemberOf("UWORD", "c", 8),
                                               MemberOf("UWORD", "d", 10)};
  st.Struct("CPlDerived", "CPlTwo", 2, asmDerived, 12);
  st.Struct("CPlDerivedOfPadded", "CPlPadded", 2, asmDerived, 16);
  // Members left out of files make a structure not plain, in the editor or not.
  const CDataType_StructMember asmEdit[] = {MemberOf("SLONG", "a", 0),
                                            MemberOf("FLOAT", "b", 4, SMF_EDIT)};
  const CDataType_StructMember asmNoSave[] = {MemberOf("SLONG", "a", 0),
                                              MemberOf("FLOAT", "b", 4, SMF_NOSAVE)};
  const int bInEditor = md_bInEditor;
  md_bInEditor = 1;
  st.Struct("CPlEditInEditor", nullptr, 2, asmEdit, 8);
  st.Struct("CPlNoSave", nullptr, 2, asmNoSave, 8);
  const CDataType_StructMember asmEditBase[] = {MemberOf("SLONG", "e", 8)};
  st.Struct("CPlOnEditBase", "CPlEditInEditor", 1, asmEditBase, 12);
  const CDataType_StructMember asmPointer[] = {MemberOf("void*", "p", 0)};
  st.Struct("CPlPointer", nullptr, 1, asmPointer, 4);
  EXPECT_EQ(mdUpdateTypeTables(), 0);
  md_bInEditor = bInEditor;

  EXPECT_TRUE(mdFindByName("CPlTwo")->dt_ulFlags & DTF_PLAIN);
  EXPECT_FALSE(mdFindByName("CPlPadded")->dt_ulFlags & DTF_PLAIN);
  EXPECT_TRUE(mdFindByName("CPlDerived")->dt_ulFlags & DTF_PLAIN);
  EXPECT_FALSE(mdFindByName("CPlDerivedOfPadded")->dt_ulFlags & DTF_PLAIN);
  EXPECT_FALSE(mdFindByName("CPlEditInEditor")->dt_ulFlags & DTF_PLAIN);
  EXPECT_FALSE(mdFindByName("CPlNoSave")->dt_ulFlags & DTF_PLAIN);
  EXPECT_FALSE(mdFindByName("CPlOnEditBase")->dt_ulFlags & DTF_PLAIN);
  EXPECT_FALSE(mdFindByName("CPlPointer")->dt_ulFlags & DTF_PLAIN);
  // Typedefs take their aliased type's size and plainness.
  EXPECT_EQ(md_pdtINDEX->dt_slSize, 4);
  EXPECT_TRUE(md_pdtINDEX->dt_ulFlags & DTF_PLAIN);
}

TEST(Declaration, PartialSerializationIsRefusedAtRegistration)
{
  CScratchTypes st;
  const DataTypeFunctionEntry adtfe[] = {{0x8000, mdFunction(&mdClear)}, {0, nullptr}};
  const CDataTypeFunctions dtf(adtfe);
  CConsoleLines cl;
  st.Add(new CDataType_Simple("CPartialRead", 1, &dtf, 4, 4, 0));
  EXPECT_TRUE(
      cl.Has("Type CPartialRead has some but not all of the Read, Write and Skip operations"))
      << cl.Text();
  EXPECT_TRUE(mdFindByName("CPartialRead")->dt_ulFlags & DTF_FAILED);
}

TEST(Declaration, CoreTypesKeepTheirRecordedLayouts)
{
  // tests/meta/data/CoreTypes.txt records the layouts of Core's saved types; a layout change
  // needs a new format number there and in the type.
  mdUpdateTypeTables();
  const std::string strList = ReadSystemFile("TestData/CoreTypes.txt");
  ASSERT_FALSE(strList.empty());
  CConsoleLines cl;
  EXPECT_EQ(mdCheckFormatDiscipline(strList.c_str()), 0) << cl.Text();
  // Every recorded type exists, so the list cannot silently go stale.
  size_t i = 0;
  while (i < strList.size()) {
    size_t iEnd = strList.find('\n', i);
    if (iEnd == std::string::npos) iEnd = strList.size();
    std::string strLine = strList.substr(i, iEnd - i);
    i = iEnd + 1;
    if (strLine.empty() || strLine[0] == '#') continue;
    std::string strName = strLine.substr(0, strLine.find(' '));
    CDataType *pdt = mdFindByName(strName.c_str());
    ASSERT_NE(pdt, nullptr) << strName;
    EXPECT_EQ((std::string)(const char *)mdGetFormatRecord(pdt),
              strLine.substr(0, strLine.find_last_not_of("\r") + 1));
  }
}

TEST(Declaration, FormatDisciplineNamesTheChangedType)
{
  CScratchTypes st;
  const CDataType_StructMember asmOne[] = {MemberOf("SLONG", "a", 0)};
  CDataType *pdt = st.Struct("CFdChanged", nullptr, 1, asmOne, 4);
  mdUpdateTypeTables();
  CString strRecord = mdGetFormatRecord(pdt);
  EXPECT_EQ(mdCheckFormatDiscipline(strRecord), 0);
  // The same format with another layout.
  CConsoleLines cl;
  EXPECT_EQ(mdCheckFormatDiscipline("CFdChanged 1 12345678\n"), 1);
  EXPECT_TRUE(cl.Has("The layout of type CFdChanged changed without a new format number"))
      << cl.Text();
  // A new format number is a new record: nothing to report.
  EXPECT_EQ(mdCheckFormatDiscipline("CFdChanged 0 12345678\n# comment\n\n"), 0);
}
