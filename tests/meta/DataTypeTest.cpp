// Descriptors on their own: kind names, operation tables, type references, derivation, hints,
// enums and the layout checksum.
#include "MetaTestSupport.h"

#include <gtest/gtest.h>

#include <new>

using namespace QuennelEngine;
using namespace QuennelEngine::Test;

namespace {

void FunctionF(CMetaFrame &)
{
}
void FunctionG(CMetaFrame &)
{
}

// Descriptors registered by hand for one test, freed at its end.
class CTypes {
public:
  ~CTypes()
  {
    for (long i = t_dc.Count() - 1; i >= 0; i--) mdDeleteDeclaredType(t_dc.Pointer(i));
  }
  template <class T> T *Add(T *pdt)
  {
    t_dc.Add(pdt);
    mdRegister(pdt);
    return pdt;
  }
  CDataType_Struct *Struct(const char *strName, const char *strBase, long ctMembers = 0,
                           const CDataType_StructMember *asm_ = nullptr, long slSize = 4)
  {
    return Add(new CDataType_Struct(
        strName, 1, nullptr, strBase == nullptr ? CTypeID() : CTypeID(strBase), ctMembers, asm_, 0,
        nullptr, 0, 0, slSize, nullptr, nullptr, 0, nullptr, nullptr));
  }

private:
  CDynamicContainer<CDataType> t_dc;
};

CDataType_StructMember MemberOf(const char *strType, const char *strName, long slOffset)
{
  return CDataType_StructMember(CTypeID(strType), strName, nullptr, nullptr, nullptr, slOffset, 0,
                                0, 0, nullptr, 0);
}

// Records kept apart from the descriptor, one for each descriptor made at one address in turn;
// other types go to the provider installed before.
MemoryTypeStats _amtsLives[2];
int _iLife = 0;
const CDataType *_pdtLiving = nullptr;
MemoryTypeStatsProvider _pProviderBefore = nullptr;

MemoryTypeStats *ProviderOfLives(const CDataType *pdt)
{
  if (pdt != nullptr && pdt == _pdtLiving) return &_amtsLives[_iLife];
  return _pProviderBefore(pdt);
}

} // namespace

TEST(DataType, KindNamesAndOperationSlots)
{
  EXPECT_EQ(dtGetTypeIDFromString("DTT_UNKNOWN"), 17);
  EXPECT_EQ(dtGetTypeIDFromString("dtt_struct"), 5);
  EXPECT_EQ(dtGetTypeIDFromString("DTT_NOSUCH"), -1);
  EXPECT_EQ(dtGetTypeIDFromString(nullptr), -1);
  EXPECT_STREQ(dtGetTypeStringFromID(14), "");
  EXPECT_STREQ(dtGetTypeStringFromID(-1), "");
  for (long iKind = 0; iKind <= 17; iKind++) {
    if (iKind == 14) continue;
    EXPECT_EQ(dtGetTypeIDFromString(dtGetTypeStringFromID(iKind)), iKind) << iKind;
  }

  const DataTypeFunctionEntry adtfe[] = {{0x20000, mdFunction(&FunctionF)},
                                         {0x40000, mdFunction(&FunctionG)},
                                         {0x12345678, mdFunction(&FunctionF)}, // ignored
                                         {0, nullptr}};
  CDataTypeFunctions dtf(adtfe);
  EXPECT_EQ(dtf.Get(17), mdFunction(&FunctionF));
  EXPECT_EQ(dtf.Get(20), mdFunction(&FunctionG));
  for (int iSlot : {0, 1, 16, 18, 19, 21, 22, 23}) EXPECT_EQ(dtf.Get(iSlot), nullptr) << iSlot;
  EXPECT_EQ(CDataTypeFunctions::SlotOfSelector(0x1), 0);
  EXPECT_EQ(CDataTypeFunctions::SlotOfSelector(0x200000), 23);
  EXPECT_EQ(CDataTypeFunctions::SlotOfSelector(0x0), -1);
}

TEST(DataType, BuiltinsArePublishedWithTheirShapes)
{
  struct Expected {
    const char *e_strName;
    long e_slSize;
    bool e_bPlain;
  };
  for (const Expected &e :
       {Expected{"CHAR", 1, true}, Expected{"UBYTE", 1, true}, Expected{"SWORD", 2, true},
        Expected{"ULONG", 4, true}, Expected{"FLOAT", 4, true}, Expected{"SQUAD", 8, true},
        Expected{"DOUBLE", 8, true}, Expected{"IDENT", 4, false}, Expected{"CString", 4, false}}) {
    CDataType *pdt = mdFindByName(e.e_strName);
    ASSERT_NE(pdt, nullptr) << e.e_strName;
    EXPECT_EQ(pdt->dt_dttKind, DTT_SIMPLE) << e.e_strName;
    EXPECT_EQ(pdt->dt_slSize, e.e_slSize) << e.e_strName;
    EXPECT_EQ(static_cast<CDataType_Simple *>(pdt)->dts_slByteOrderUnit, e.e_slSize) << e.e_strName;
    EXPECT_EQ((pdt->dt_ulFlags & DTF_PLAIN) != 0, e.e_bPlain) << e.e_strName;
    EXPECT_EQ(pdt->dt_iFormat, 1) << e.e_strName;
  }
  EXPECT_EQ(md_pdtFLOAT, mdFindByName("FLOAT"));
  EXPECT_EQ(md_pdtCString, mdFindByName("CString"));
  EXPECT_EQ(md_pdtBOOL->dt_dttKind, DTT_TYPEDEF);
  EXPECT_EQ(md_pdtVoid->dt_dttKind, DTT_VOID);
  EXPECT_EQ(md_pdtVoid->dt_slSize, 0);
  EXPECT_EQ(md_pdtVoidPointer, mdFindByName("void*"));
  EXPECT_EQ(md_pdtUnknown->GetName(), strConvertStringToID("Unknown"));
  EXPECT_EQ(mdFindByName("CString&")->dt_dttKind, DTT_REFERENCE);
  // The descriptor classes describe themselves, opaquely.
  CDataType_Struct dtst;
  EXPECT_EQ(dtst.mdGetDataType(), mdFindByName("CDataType_Struct"));
  EXPECT_EQ(mdFindByName("CDataType_Hint")->dt_slSize, (long)sizeof(CDataType_Hint));
  EXPECT_EQ(mdFindByName(""), nullptr);
  EXPECT_EQ(mdFindByName((const char *)nullptr), nullptr);
}

TEST(DataType, ReferencesResolveByNameOnceTheTypeExists)
{
  CTypeID tidEmpty;
  EXPECT_TRUE(tidEmpty.IsEmpty());
  EXPECT_EQ(tidEmpty.Resolve(), nullptr);
  EXPECT_EQ(ThrownBy([&] { mdMustResolve_t(tidEmpty); }), "Cannot resolve type ''");

  CTypeID tid("CLateType");
  EXPECT_FALSE(tid.IsEmpty());
  EXPECT_EQ(tid.Resolve(), nullptr);
  EXPECT_EQ(tid.Resolve(), nullptr);
  EXPECT_EQ(ThrownBy([&] { mdMustResolve_t(tid); }), "Cannot resolve type 'CLateType'");
  {
    CTypes t;
    CDataType *pdt = t.Struct("CLateType", nullptr);
    EXPECT_EQ(tid.Resolve(), pdt);
    EXPECT_EQ(mdMustResolve_t(tid), pdt);
    EXPECT_STREQ(tid.GetName(), "CLateType");
    CTypeID tidByPointer(pdt);
    EXPECT_STREQ(tidByPointer.GetName(), "CLateType");
  }
  // Gone again: a reference kept by the registry forgets it; a text name finds nothing.
  EXPECT_EQ(mdFindByName("CLateType"), nullptr);
}

TEST(DataType, DerivationAndCommonBases)
{
  CTypes t;
  CDataType_Struct *pdtA = t.Struct("CDrA", nullptr);
  CDataType_Struct *pdtB = t.Struct("CDrB", "CDrA");
  CDataType_Struct *pdtC = t.Struct("CDrC", "CDrB");
  CDataType_Struct *pdtD = t.Struct("CDrD", "CDrA");
  CDataType_Struct *pdtLone = t.Struct("CDrLone", nullptr);
  EXPECT_TRUE(mdIsDerivedFrom(pdtA, pdtA));
  EXPECT_FALSE(mdIsDerivedFrom(md_pdtFLOAT, md_pdtFLOAT));
  EXPECT_TRUE(mdIsDerivedFrom(pdtC, pdtA));
  EXPECT_FALSE(mdIsDerivedFrom(pdtA, pdtC));
  EXPECT_FALSE(mdIsDerivedFrom(nullptr, pdtA));
  EXPECT_FALSE(mdIsDerivedFrom(pdtC, nullptr));
  EXPECT_EQ(mdGetCommonDataType(pdtC, pdtD), pdtA);
  EXPECT_EQ(mdGetCommonDataType(pdtC, pdtB), pdtB);
  EXPECT_EQ(mdGetCommonDataType(pdtC, pdtLone), nullptr);
  EXPECT_EQ(mdGetCommonDataType(pdtC, md_pdtFLOAT), nullptr);
  EXPECT_EQ(mdFindDerivedClasses(pdtA).Count(), 4);

  // A file's descriptor is linked to the program's; only the file side's link is followed, so a
  // program descriptor whose link points at a freed file descriptor is never read through it.
  CDataType_Struct dtFileB("CDrB", 1, nullptr, CTypeID(), 0, nullptr, 0, nullptr, DTF_FROMFILE, 0,
                           4, nullptr, nullptr, 0, nullptr, nullptr);
  dtFileB.dt_pdtCounterpart = pdtB;
  EXPECT_TRUE(mdIsDerivedFrom(&dtFileB, pdtB));
  EXPECT_TRUE(mdIsDerivedFrom(pdtB, &dtFileB));
  CDataType_Struct dtProgram("CDrProgram", 1, nullptr, CTypeID(), 0, nullptr, 0, nullptr, 0, 0, 4,
                             nullptr, nullptr, 0, nullptr, nullptr);
  dtProgram.dt_pdtCounterpart = pdtA;
  EXPECT_FALSE(mdIsDerivedFrom(&dtProgram, pdtA));
}

TEST(DataType, HintsAndEnums)
{
  const CDataType_Hint adth[] = {CDataType_Hint("Min", "0"), CDataType_Hint("Hidden", nullptr)};
  CDataType_StructMember sm(CTypeID("FLOAT"), "f", "F", nullptr, nullptr, 0, 0, 0, 2, adth, 0);
  EXPECT_TRUE(mdHasHint(&sm, "min"));
  EXPECT_TRUE(mdHasHint(&sm, "Hidden"));
  EXPECT_FALSE(mdHasHint(&sm, "Max"));
  EXPECT_FALSE(mdHasHint(&sm, nullptr));
  EXPECT_STREQ(mdGetHint(&sm, "Min"), "0");
  EXPECT_STREQ(mdGetHint(&sm, "Max"), "");
  CDataType_StructMember smCopy(sm); // deep: the copy keeps its hints when the original goes
  sm = CDataType_StructMember();
  EXPECT_STREQ(mdGetHint(&smCopy, "Min"), "0");
  EXPECT_STREQ(smCopy.GetCodeName(), "f");
  EXPECT_STREQ(sm.GetCodeName(), "");

  CTypes t;
  const CDataType_ValueFieldEntry avfe[] = {CDataType_ValueFieldEntry(1, "PLA_PC", "PC"),
                                            CDataType_ValueFieldEntry(2, "PLA_XBOX", "Xbox"),
                                            CDataType_ValueFieldEntry(2, "PLA_AGAIN", "Again")};
  t.Add(new CDataType_ValueField("EHePlatform", 1, nullptr, VFT_ENUM, 4, 3, avfe, 0));
  const IDENT idType = strConvertStringToID("EHePlatform");
  EXPECT_STREQ(mdGetEnumName(idType, 2), "Xbox");
  EXPECT_STREQ(mdGetEnumName(idType, 3), "");
  EXPECT_STREQ(mdGetEnumName(strConvertStringToID("FLOAT"), 1), "");
  long slValue = 77;
  EXPECT_FALSE(mdGetEnumValue(idType, "pc", slValue)); // names compare exactly
  EXPECT_EQ(slValue, 77);
  EXPECT_TRUE(mdGetEnumValue(idType, "PC", slValue));
  EXPECT_EQ(slValue, 1);
}

TEST(DataType, LayoutChecksumEndsOnCyclesWhateverTheOrder)
{
  // A -> B* -> A, asked from either end, in either registration order.
  unsigned long aulA[2], aulB[2];
  for (int iOrder = 0; iOrder < 2; iOrder++) {
    CTypes t;
    const CDataType_StructMember asmA[] = {MemberOf("CCyB*", "a_pB", 0),
                                           MemberOf("SLONG", "a_i", 4)};
    const CDataType_StructMember asmB[] = {MemberOf("CCyA*", "b_pA", 0)};
    CDataType_Struct *pdtA = nullptr, *pdtB = nullptr;
    if (iOrder == 0) {
      pdtA = t.Struct("CCyA", nullptr, 2, asmA, 8);
      pdtB = t.Struct("CCyB", nullptr, 1, asmB, 4);
    } else {
      pdtB = t.Struct("CCyB", nullptr, 1, asmB, 4);
      pdtA = t.Struct("CCyA", nullptr, 2, asmA, 8);
    }
    t.Add(new CDataType_Pointer("CCyA*", 1, CTypeID("CCyA"), 0));
    t.Add(new CDataType_Pointer("CCyB*", 1, CTypeID("CCyB"), 0));
    // A class with a pointer to itself, and a container of itself.
    const CDataType_StructMember asmSelf[] = {MemberOf("CCySelf*", "s_p", 0),
                                              MemberOf("CStaticArray<CCySelf>", "s_sa", 4)};
    CDataType_Struct *pdtSelf = t.Struct("CCySelf", nullptr, 2, asmSelf, 12);
    t.Add(new CDataType_Pointer("CCySelf*", 1, CTypeID("CCySelf"), 0));
    t.Add(new CDataType_CStaticArray("CStaticArray<CCySelf>", 1, CTypeID("CCySelf"), 0));
    if (iOrder == 0) {
      aulA[iOrder] = mdGetLayoutChecksum(pdtA);
      aulB[iOrder] = mdGetLayoutChecksum(pdtB);
    } else {
      aulB[iOrder] = mdGetLayoutChecksum(pdtB);
      aulA[iOrder] = mdGetLayoutChecksum(pdtA);
    }
    EXPECT_NE(mdGetLayoutChecksum(pdtSelf), 0u);
    EXPECT_EQ(mdUpdateTypeTables(), 0);
  }
  EXPECT_EQ(aulA[0], aulA[1]);
  EXPECT_EQ(aulB[0], aulB[1]);
  EXPECT_NE(aulA[0], aulB[0]);

  // A change of layout changes the checksum; the order of computing does not.
  CTypes t;
  const CDataType_StructMember asm1[] = {MemberOf("SLONG", "x", 0)};
  const CDataType_StructMember asm2[] = {MemberOf("FLOAT", "x", 0)};
  const CDataType_StructMember asm3[] = {MemberOf("SLONG", "y", 0)};
  const unsigned long ul1 = mdGetLayoutChecksum(t.Struct("CCkOne", nullptr, 1, asm1, 4));
  const unsigned long ul2 = mdGetLayoutChecksum(t.Struct("CCkTwo", nullptr, 1, asm2, 4));
  const unsigned long ul3 = mdGetLayoutChecksum(t.Struct("CCkThree", nullptr, 1, asm3, 4));
  EXPECT_NE(ul1, ul2);
  EXPECT_NE(ul1, ul3);
  CDataType_Struct dtSame("CCkOne", 1, nullptr, CTypeID(), 1, asm1, 0, nullptr, 0, 0, 4, nullptr,
                          nullptr, 0, nullptr, nullptr);
  EXPECT_EQ(mdGetLayoutChecksum(&dtSame), ul1);
}

// The typed allocation calls remember a type's record; a descriptor that goes takes that with it,
// so one made in its place is booked on its own record.
TEST(DataType, ADescriptorMadeWhereAnotherWentHasItsOwnStatistics)
{
  alignas(CDataType) unsigned char abPlace[sizeof(CDataType)];
  _amtsLives[0] = _amtsLives[1] = MemoryTypeStats{0, 0, 0, 0};
  _iLife = 0;
  _pdtLiving = (const CDataType *)abPlace;
  _pProviderBefore = memGetTypeStatsProvider();
  memSetTypeStatsProvider(ProviderOfLives);
  CDataType *pdt = new (abPlace) CDataType();
  void *p = memMAllocSingle(16, pdt);
  memFreeSingle(p, pdt);
  pdt->~CDataType();
  _iLife = 1;
  pdt = new (abPlace) CDataType();
  p = memMAllocSingle(24, pdt);
  const long slBytes = (long)memSize(p);
  EXPECT_EQ(_amtsLives[1].mts_ctSingles, 1);
  EXPECT_EQ(_amtsLives[1].mts_slBytes, slBytes);
  memFreeSingle(p, pdt);
  pdt->~CDataType();
  memSetTypeStatsProvider(_pProviderBefore);
  EXPECT_EQ(_amtsLives[0].mts_ctOperations, 2);
  EXPECT_EQ(_amtsLives[1].mts_ctOperations, 2);
  EXPECT_EQ(_amtsLives[1].mts_ctSingles, 0);
}
