// The generic object operations on declared test classes: creation and deletion of every kind
// with counted constructions and the per-type allocation statistics, the refusals, the hooks
// over embedded parts, and the descriptions of types and objects.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string.h>
#include <string>
#include <vector>

using namespace QuennelEngine;

namespace {

std::string S(const CString &str)
{
  return (const char *)str;
}

// Counts what is done to it; the magic word tells a live object from a dead one, so a double
// destruction or a use after it shows as a bad use instead of passing unseen.
class CMoTestCounted : public CObject {
  MD_DECLARE_CLASS(CMoTestCounted)
  static long ctConstructed, ctCopied, ctDestroyed, ctBadUse;
  static void ResetCounts(void) { ctConstructed = ctCopied = ctDestroyed = ctBadUse = 0; }

  CMoTestCounted(void) : mc_iValue(0), mc_ulMagic(ALIVE) { ctConstructed++; }
  CMoTestCounted(const CMoTestCounted &mc)
      : CObject(mc), mc_iValue(mc.mc_iValue), mc_strName(mc.mc_strName), mc_ulMagic(ALIVE)
  {
    Check(mc);
    ctConstructed++;
    ctCopied++;
  }
  CMoTestCounted &operator=(const CMoTestCounted &mc)
  {
    Check(mc);
    Check(*this);
    mc_iValue = mc.mc_iValue;
    mc_strName = mc.mc_strName;
    return *this;
  }
  ~CMoTestCounted(void) override
  {
    Check(*this);
    mc_ulMagic = DEAD;
    ctDestroyed++;
  }
  static void Check(const CMoTestCounted &mc)
  {
    if (mc.mc_ulMagic != ALIVE) ctBadUse++;
  }

  enum : unsigned long { ALIVE = 0xA11FE5ED, DEAD = 0xDEADDEAD };
  long mc_iValue;
  CString mc_strName;
  unsigned long mc_ulMagic;
};
long CMoTestCounted::ctConstructed = 0;
long CMoTestCounted::ctCopied = 0;
long CMoTestCounted::ctDestroyed = 0;
long CMoTestCounted::ctBadUse = 0;

// Empties the object, for mdClear.
void CountedClear(CDataType *, void *pv)
{
  ((CMoTestCounted *)pv)->mc_iValue = 0;
  ((CMoTestCounted *)pv)->mc_strName = "";
}

MD_CLASS_BEGIN(CMoTestCounted, CObject, 1)
MD_MEMBER(mc_iValue, 0, "Value")
MD_MEMBER(mc_strName, 0, "Name")
MD_CLASS_OPERATION(0x4, &CountedClear)
MD_CLASS_END()

class CMoTestCountedDerived : public CMoTestCounted {
  MD_DECLARE_CLASS(CMoTestCountedDerived)
  static long ctDestroyedDerived;
  CMoTestCountedDerived(void) : mcd_dExtra(0) {}
  ~CMoTestCountedDerived(void) override { ctDestroyedDerived++; }
  double mcd_dExtra;
};
long CMoTestCountedDerived::ctDestroyedDerived = 0;

MD_CLASS_BEGIN(CMoTestCountedDerived, CMoTestCounted, 1)
MD_MEMBER(mcd_dExtra, 0, "Extra")
MD_CLASS_END()

MD_TYPEDEF(CMoTestCountedAlias, "CMoTestCounted")

// A class that nothing registered derives from, and a C++ class derived from it whose objects
// name a descriptor that a test registers and removes, as a library that loads and unloads.
class CMoTestLeaf : public CObject {
  MD_DECLARE_CLASS(CMoTestLeaf)
  long ml_iValue = 0;
};

MD_CLASS_BEGIN(CMoTestLeaf, CObject, 1)
MD_MEMBER(ml_iValue, 0, "Value")
MD_CLASS_END()

CDataType *_pdtMoTestLate = nullptr;

class CMoTestLate : public CMoTestLeaf {
public:
  CDataType *mdGetDataType(void) const override { return _pdtMoTestLate; }
};

class CMoTestAbstract : public CObject {
  MD_DECLARE_CLASS(CMoTestAbstract)
  virtual long Pure(void) const = 0;
};

MD_CLASS_BEGIN(CMoTestAbstract, CObject, 1)
MD_CLASS_END()

// A structure without virtual functions.
struct CMoTestPlain {
  MD_DECLARE_STRUCT(CMoTestPlain)
  long mp_slA;
  float mp_fB;
};

MD_CLASS_BEGIN(CMoTestPlain, void, 1)
MD_MEMBER(mp_slA, 0, "A")
MD_MEMBER(mp_fB, 0, "B")
MD_CLASS_END()

class CMoTestSmart : public CSmartObject {
  MD_DECLARE_CLASS(CMoTestSmart)
  static long ctAlive;
  CMoTestSmart(void) { ctAlive++; }
  ~CMoTestSmart(void) override { ctAlive--; }
};
long CMoTestSmart::ctAlive = 0;

MD_CLASS_BEGIN(CMoTestSmart, CSmartObject, 1)
MD_CLASS_END()

// Enumerations of every cell width.
enum CMoTestEnum1 : unsigned char { MOE1_A = 1 };
enum CMoTestEnum2 : unsigned short { MOE2_A = 2 };
enum CMoTestEnum4 : unsigned long { MOE4_A = 4 };
enum CMoTestEnum8 : unsigned long long { MOE8_A = 8 };
MD_DECLARE_ENUM(CMoTestEnum1)
MD_DECLARE_ENUM(CMoTestEnum2)
MD_DECLARE_ENUM(CMoTestEnum4)
MD_DECLARE_ENUM(CMoTestEnum8)
MD_ENUM_BEGIN(CMoTestEnum1, 1)
MD_ENUM_VALUE(MOE1_A, "MOE1_A", "A")
MD_ENUM_END()
MD_ENUM_BEGIN(CMoTestEnum2, 1)
MD_ENUM_VALUE(MOE2_A, "MOE2_A", "A")
MD_ENUM_END()
MD_ENUM_BEGIN(CMoTestEnum4, 1)
MD_ENUM_VALUE(MOE4_A, "MOE4_A", "A")
MD_ENUM_END()
MD_ENUM_BEGIN(CMoTestEnum8, 1)
MD_ENUM_VALUE(MOE8_A, "MOE8_A", "A")
MD_ENUM_END()

// ---- Hooks ----

// What the hooks saw, in call order.
struct HookCall {
  int hc_iSlot;
  CDataType *hc_pdt;
  void *hc_pv;
};
std::vector<HookCall> _ahcCalls;

template <int iSlot> void RecordHook(CDataType *pdt, void *pv)
{
  _ahcCalls.push_back(HookCall{iSlot, pdt, pv});
}

// The calls of a slot that reached `pv`.
long CallsAt(int iSlot, const void *pv)
{
  long ct = 0;
  for (const HookCall &hc : _ahcCalls) {
    if (hc.hc_iSlot == iSlot && hc.hc_pv == pv) ct++;
  }
  return ct;
}

long CallsOf(int iSlot)
{
  long ct = 0;
  for (const HookCall &hc : _ahcCalls) {
    if (hc.hc_iSlot == iSlot) ct++;
  }
  return ct;
}

const int POSTREAD = CDataTypeFunctions::DTFS_POSTREAD;
const int POSTCREATE = CDataTypeFunctions::DTFS_POSTCREATE;

class CMoTestHooked : public CObject {
  MD_DECLARE_CLASS(CMoTestHooked)
  CMoTestHooked(void) : mh_iTag(0) {}
  long mh_iTag;
};

MD_CLASS_BEGIN(CMoTestHooked, CObject, 1)
MD_MEMBER(mh_iTag, 0, "Tag")
MD_CLASS_OPERATION(0x80, &RecordHook<CDataTypeFunctions::DTFS_POSTREAD>)
MD_CLASS_OPERATION(0x10, &RecordHook<CDataTypeFunctions::DTFS_POSTCREATE>)
MD_CLASS_END()

MD_TYPEDEF(CMoTestHookedAlias, "CMoTestHooked")

// A smart object with the hook: a smart pointer to it must not pass the hook on.
class CMoTestHookedSmart : public CSmartObject {
  MD_DECLARE_CLASS(CMoTestHookedSmart)
};

MD_CLASS_BEGIN(CMoTestHookedSmart, CSmartObject, 1)
MD_CLASS_OPERATION(0x80, &RecordHook<CDataTypeFunctions::DTFS_POSTREAD>)
MD_CLASS_END()

CMetaPointer _mpChangedPart;
int BaseMayChange(const CMetaPointer &, const CMetaPointer &mpPart)
{
  _mpChangedPart = mpPart;
  return 5;
}

// The base has the PostRead hook (not PostCreate) and an embedded member of its own.
class CMoTestHookBase : public CObject {
  MD_DECLARE_CLASS(CMoTestHookBase)
  CMoTestHooked hb_hkInBase;
};

MD_CLASS_BEGIN(CMoTestHookBase, CObject, 1)
MD_MEMBER(hb_hkInBase, 0, "In base")
MD_CLASS_OPERATION(0x80, &RecordHook<CDataTypeFunctions::DTFS_POSTREAD>)
MD_CLASS_OPERATION(0x200, &BaseMayChange)
MD_CLASS_END()

// Every way of holding hooked objects: embedded ones receive the hooks, referenced ones do not.
class CMoTestHookHolder : public CMoTestHookBase {
  MD_DECLARE_CLASS(CMoTestHookHolder)
  CMoTestHookHolder(void) : hh_phk(nullptr) {}
  CMoTestHooked hh_hkMember;
  CMoTestHooked hh_ahkArray[2];
  CStaticArray<CMoTestHooked> hh_sahk;
  CStaticStackArray<CMoTestHooked> hh_sshk;
  CMoTestHooked hh_hkAliased;
  CMoTestHooked *hh_phk;
  Ptr<CMoTestHookedSmart> hh_pshk;
  CDynamicContainer<CMoTestHooked> hh_dchk;
};

MD_CLASS_BEGIN(CMoTestHookHolder, CMoTestHookBase, 1)
MD_MEMBER(hh_hkMember, 0, "Member")
MD_MEMBER(hh_ahkArray, 0, "Array")
MD_MEMBER(hh_sahk, 0, "Static array")
MD_MEMBER(hh_sshk, 0, "Stack array")
MD_MEMBER_AS(hh_hkAliased, "CMoTestHookedAlias", 0, "Aliased")
MD_MEMBER(hh_phk, 0, "Pointer")
MD_MEMBER(hh_pshk, 0, "Smart pointer")
MD_MEMBER(hh_dchk, 0, "Container")
MD_CLASS_END()

// ---- Names ----

class CMoTestNamed : public CObject {
  MD_DECLARE_CLASS(CMoTestNamed)
  CMoTestNamed(void) : mn_pnFinal(nullptr) {}
  CString mn_strName;
  CMoTestNamed *mn_pnFinal; // the object this one stands for, if any
};

CString NamedGetName(CDataType *, void *pv)
{
  return ((CMoTestNamed *)pv)->mn_strName;
}

void NamedFinal(CMetaPointer &mpResult, CDataType *pdt, void *pv)
{
  CMoTestNamed *pn = (CMoTestNamed *)pv;
  mpResult = CMetaPointer(pdt, pn->mn_pnFinal != nullptr ? pn->mn_pnFinal : pn);
}

MD_CLASS_BEGIN(CMoTestNamed, CObject, 1)
MD_MEMBER(mn_strName, 0, "Name")
MD_CLASS_EDITOR_NAME("Named thing")
MD_CLASS_OPERATION(0x80000, &NamedGetName)
MD_CLASS_OPERATION(0x8, &NamedFinal)
MD_CLASS_END()

// Inherits GetName, has no editor name.
class CMoTestNamedDerived : public CMoTestNamed {
  MD_DECLARE_CLASS(CMoTestNamedDerived)
};

MD_CLASS_BEGIN(CMoTestNamedDerived, CMoTestNamed, 1)
MD_CLASS_END()

// ---- Fixture ----

template <class T> CDataType *DescriptorOf(void)
{
  return MetaDeclare::TypeOf<T>::Get().Resolve();
}

// How the allocation statistics of a type moved since the probe was made.
class CStatsProbe {
public:
  explicit CStatsProbe(CDataType *pdt) : sp_pdt(pdt), sp_mts(pdt->dt_mts) {}
  long Singles() const { return sp_pdt->dt_mts.mts_ctSingles - sp_mts.mts_ctSingles; }
  long Arrays() const { return sp_pdt->dt_mts.mts_ctArrays - sp_mts.mts_ctArrays; }
  long Bytes() const { return sp_pdt->dt_mts.mts_slBytes - sp_mts.mts_slBytes; }
  long Operations() const { return sp_pdt->dt_mts.mts_ctOperations - sp_mts.mts_ctOperations; }
  // Everything that was made is freed again, and both were booked.
  void ExpectBalanced(long ctOperations = 2) const
  {
    SCOPED_TRACE(S(sp_pdt->GetName()));
    EXPECT_EQ(0, Singles());
    EXPECT_EQ(0, Arrays());
    EXPECT_EQ(0, Bytes());
    EXPECT_EQ(ctOperations, Operations());
  }

private:
  CDataType *sp_pdt;
  MemoryTypeStats sp_mts;
};

class MetaObjects : public testing::Test {
protected:
  void SetUp() override
  {
    CMoTestCounted::ResetCounts();
    CMoTestCountedDerived::ctDestroyedDerived = 0;
    CMoTestSmart::ctAlive = 0;
    _ahcCalls.clear();
    _mpChangedPart = CMetaPointer();
    // The compound types that the tests use exist before the check.
    DescriptorOf<CMoTestCounted *>();
    DescriptorOf<Ptr<CMoTestSmart>>();
    DescriptorOf<CStaticArray<CMoTestCounted>>();
    DescriptorOf<CStaticStackArray<CMoTestCounted>>();
    DescriptorOf<CDynamicContainer<CMoTestCounted>>();
    DescriptorOf<CMoTestCounted[3]>();
    // Other tests' types are theirs to judge: these must pass the check.
    mdUpdateTypeTables();
    const char *astrOurs[] = {"CMoTestCounted",
                              "CMoTestCountedDerived",
                              "CMoTestCountedAlias",
                              "CMoTestAbstract",
                              "CMoTestPlain",
                              "CMoTestSmart",
                              "CMoTestHookHolder",
                              "CMoTestNamedDerived",
                              "CMoTestEnum8",
                              "CMoTestCounted[3]",
                              "CStaticArray<CMoTestCounted>"};
    for (const char *strName : astrOurs) {
      CDataType *pdt = Find(strName);
      if (pdt == nullptr) continue;
      EXPECT_EQ(DTF_UPDATED, pdt->dt_ulFlags & (DTF_UPDATED | DTF_FAILED)) << strName;
    }
  }
  void TearDown() override
  {
    EXPECT_EQ(CMoTestCounted::ctConstructed, CMoTestCounted::ctDestroyed);
    EXPECT_EQ(0, CMoTestCounted::ctBadUse);
    EXPECT_EQ(0, CMoTestSmart::ctAlive);
  }
  static CDataType *Find(const char *strName)
  {
    CDataType *pdt = mdFindByName(strName);
    EXPECT_NE(nullptr, pdt) << strName;
    return pdt;
  }
};

// Creates an object of `pdt` (booked on `pdtBooked`), lets `fnUse` look at it and deletes it:
// the statistics show one live object in between and none after.
template <class F> void NewAndDelete(CDataType *pdt, CDataType *pdtBooked, F fnUse)
{
  SCOPED_TRACE(S(pdt->GetName()));
  CStatsProbe sp(pdtBooked);
  CMetaPointer mp = mdNew_t(pdt);
  ASSERT_TRUE(mp.IsValid());
  EXPECT_EQ(pdt, mp.GetType());
  EXPECT_EQ(1, sp.Singles());
  EXPECT_EQ(0, sp.Arrays());
  EXPECT_GE(sp.Bytes(), pdtBooked->dt_slSize);
  fnUse(mp);
  mdDelete(mp);
  sp.ExpectBalanced();
}

bool IsZero(const void *pv, long slSize)
{
  for (long i = 0; i < slSize; i++) {
    if (((const unsigned char *)pv)[i] != 0) return false;
  }
  return true;
}

// ---- Creation and deletion ----

TEST_F(MetaObjects, ClassesAndStructuresAreMadeAndFreedThroughTheirOperations)
{
  CDataType *pdtCounted = CMoTestCounted::md_pdtDataType;
  NewAndDelete(pdtCounted, pdtCounted, [&](CMetaPointer &mp) {
    EXPECT_EQ(1, CMoTestCounted::ctConstructed);
    EXPECT_EQ(pdtCounted, ((CMoTestCounted *)mp.GetObject())->mdGetDataType());
  });
  EXPECT_EQ(1, CMoTestCounted::ctDestroyed);

  NewAndDelete(CMoTestPlain::md_pdtDataType, CMoTestPlain::md_pdtDataType, [](CMetaPointer &) {});
  // By name: the same path.
  CStatsProbe sp(pdtCounted);
  CMetaPointer mp = mdNew(CTypeID("CMoTestCounted"));
  ASSERT_TRUE(mp.IsValid());
  EXPECT_EQ(pdtCounted, mp.GetType());
  mdDelete(mp);
  sp.ExpectBalanced();
  EXPECT_EQ(2, CMoTestCounted::ctDestroyed);
}

// Cells of 1, 2 and 8 bytes are booked on their own type; the 4-byte cell, the common width of
// enumerations, on ULONG.
TEST_F(MetaObjects, ValueFieldsOfEveryWidthAreZeroedCells)
{
  const char *astrEnums[] = {"CMoTestEnum1", "CMoTestEnum2", "CMoTestEnum4", "CMoTestEnum8"};
  const long aslSizes[] = {1, 2, 4, 8};
  for (int i = 0; i < 4; i++) {
    CDataType *pdt = Find(astrEnums[i]);
    ASSERT_NE(nullptr, pdt);
    EXPECT_EQ(DTT_VALUEFIELD, pdt->GetKind());
    EXPECT_EQ(aslSizes[i], pdt->dt_slSize);
    NewAndDelete(pdt, aslSizes[i] == 4 ? md_pdtULONG : pdt, [&](CMetaPointer &mp) {
      EXPECT_TRUE(IsZero(mp.GetObject(), aslSizes[i]));
      memset(mp.GetObject(), 0xFF, (size_t)aslSizes[i]);
    });
  }
}

TEST_F(MetaObjects, NumbersTextsAndIdentifiersAreMadeByTheirBuiltInOperations)
{
  const char *astrNumbers[] = {"UBYTE", "SBYTE", "UWORD",  "SWORD", "ULONG",
                               "SLONG", "FLOAT", "DOUBLE", "UQUAD", "SQUAD"};
  for (const char *strName : astrNumbers) {
    CDataType *pdt = Find(strName);
    ASSERT_NE(nullptr, pdt);
    NewAndDelete(pdt, pdt,
                 [&](CMetaPointer &mp) { EXPECT_TRUE(IsZero(mp.GetObject(), pdt->dt_slSize)); });
  }
  NewAndDelete(md_pdtCString, md_pdtCString, [](CMetaPointer &mp) {
    CString &str = *(CString *)mp.GetObject();
    EXPECT_EQ(0, str.Length());
    // The text's own heap copy goes with the object.
    str = "a text long enough to live on the heap of its own";
  });
  NewAndDelete(md_pdtIDENT, md_pdtIDENT,
               [](CMetaPointer &mp) { EXPECT_EQ(mdInvalidIdent(), *(IDENT *)mp.GetObject()); });
}

TEST_F(MetaObjects, ATypedefMakesItsAliasedTypeUnderItsOwnDescriptor)
{
  // INDEX stands for SLONG: the cell is an SLONG, booked there.
  NewAndDelete(md_pdtINDEX, md_pdtSLONG, [](CMetaPointer &mp) {
    EXPECT_EQ(md_pdtINDEX, mp.GetType());
    EXPECT_EQ(0, *(long *)mp.GetObject());
  });
  CDataType *pdtAlias = Find("CMoTestCountedAlias");
  ASSERT_NE(nullptr, pdtAlias);
  NewAndDelete(pdtAlias, CMoTestCounted::md_pdtDataType,
               [](CMetaPointer &) { EXPECT_EQ(1, CMoTestCounted::ctConstructed); });
  EXPECT_EQ(1, CMoTestCounted::ctDestroyed);
}

TEST_F(MetaObjects, APointerCellDeletesItsTargetAsWhatTheTargetIs)
{
  CDataType *pdtPointer = DescriptorOf<CMoTestCounted *>();
  CDataType *pdtCounted = CMoTestCounted::md_pdtDataType;
  CDataType *pdtDerived = CMoTestCountedDerived::md_pdtDataType;
  // A null cell frees only itself.
  NewAndDelete(pdtPointer, pdtPointer,
               [](CMetaPointer &mp) { EXPECT_EQ(nullptr, *(void **)mp.GetObject()); });

  CStatsProbe spCounted(pdtCounted);
  NewAndDelete(pdtPointer, pdtPointer,
               [&](CMetaPointer &mp) { mdRef_Assign(mp, mdNew_t(pdtCounted).GetObject()); });
  spCounted.ExpectBalanced();
  EXPECT_EQ(1, CMoTestCounted::ctDestroyed);

  // A derived object behind the base's pointer is destroyed whole and unbooked from its own type.
  CStatsProbe spDerived(pdtDerived);
  NewAndDelete(pdtPointer, pdtPointer,
               [&](CMetaPointer &mp) { mdRef_Assign(mp, mdNew_t(pdtDerived).GetObject()); });
  spDerived.ExpectBalanced();
  spCounted.ExpectBalanced(2);
  EXPECT_EQ(1, CMoTestCountedDerived::ctDestroyedDerived);
}

TEST_F(MetaObjects, AnObjectSeenThroughItsBaseIsDeletedAsWhatItIs)
{
  CDataType *pdtCounted = CMoTestCounted::md_pdtDataType;
  CDataType *pdtDerived = CMoTestCountedDerived::md_pdtDataType;
  CStatsProbe spCounted(pdtCounted);
  CStatsProbe spDerived(pdtDerived);
  CMetaPointer mp = mdNew_t(pdtDerived);
  ASSERT_TRUE(mp.IsValid());
  mdDelete(CMetaPointer(pdtCounted, mp.GetObject()));
  EXPECT_EQ(1, CMoTestCountedDerived::ctDestroyedDerived);
  spDerived.ExpectBalanced();
  spCounted.ExpectBalanced(0);
}

// The dynamic type of a class that nothing derives from skips the virtual call; a class
// registered later must still be seen at once, and one removed no longer.
TEST_F(MetaObjects, TheDynamicTypeFollowsClassesRegisteredAndRemovedLater)
{
  CDataType *pdtLeaf = CMoTestLeaf::md_pdtDataType;
  CDataType_Struct *pdtLate = new CDataType_Struct(
      "CMoTestLate", 1, nullptr, CTypeID("CMoTestLeaf"), 0, nullptr, 0, nullptr, 0,
      DTCF_HASGETDATATYPE, sizeof(CMoTestLate), nullptr, nullptr, 0, nullptr, nullptr);
  _pdtMoTestLate = pdtLate;
  CMoTestLeaf oLeaf;
  CMoTestLate oLate;
  mdUpdateTypeTables();
  EXPECT_EQ(mdGetDynamicType(pdtLeaf, &oLeaf), pdtLeaf);
  // (the object names a descriptor that is not registered)
  EXPECT_EQ(mdGetDynamicType(pdtLeaf, &oLate), pdtLeaf);

  mdRegister(pdtLate);
  EXPECT_EQ(mdGetDynamicType(pdtLeaf, &oLate), pdtLate) << "before the type update";
  mdUpdateTypeTables();
  EXPECT_TRUE(mdIsDerivedFrom(pdtLate, pdtLeaf));
  EXPECT_EQ(mdGetDynamicType(pdtLeaf, &oLate), pdtLate) << "after the type update";
  EXPECT_EQ(mdGetDynamicType(pdtLeaf, &oLeaf), pdtLeaf);
  EXPECT_EQ(mdGetDynamicType(pdtLate, &oLate), pdtLate);

  mdUnregister(pdtLate);
  mdUpdateTypeTables();
  EXPECT_EQ(mdGetDynamicType(pdtLeaf, &oLate), pdtLeaf);
  // A copy of a descriptor knows nothing of the registry: it asks the object.
  CDataType_Struct dtCopy(*static_cast<CDataType_Struct *>(pdtLeaf));
  EXPECT_EQ(mdGetDynamicType(&dtCopy, &oLate), pdtLate);
  mdDeleteDeclaredType(pdtLate);
  _pdtMoTestLate = nullptr;
}

TEST_F(MetaObjects, ASmartPointerCellReleasesItsTarget)
{
  CDataType *pdtPtr = DescriptorOf<Ptr<CMoTestSmart>>();
  CDataType *pdtSmart = CMoTestSmart::md_pdtDataType;
  CStatsProbe spSmart(pdtSmart);
  // The only reference: the target goes with the cell.
  NewAndDelete(pdtPtr, pdtPtr, [&](CMetaPointer &mp) {
    EXPECT_EQ(nullptr, *(void **)mp.GetObject());
    CMoTestSmart *ps = (CMoTestSmart *)mdNew_t(pdtSmart).GetObject();
    mdRef_Assign(mp, ps);
    EXPECT_EQ(1, ps->GetReferenceCount());
  });
  EXPECT_EQ(0, CMoTestSmart::ctAlive);
  spSmart.ExpectBalanced();

  // Another reference keeps it alive.
  Ptr<CMoTestSmart> ptrKept = new CMoTestSmart;
  NewAndDelete(pdtPtr, pdtPtr, [&](CMetaPointer &mp) {
    mdRef_Assign(mp, ptrKept.Get());
    EXPECT_EQ(2, ptrKept->GetReferenceCount());
  });
  EXPECT_EQ(1, CMoTestSmart::ctAlive);
  EXPECT_EQ(1, ptrKept->GetReferenceCount());
  ptrKept = nullptr;
  spSmart.ExpectBalanced(4);
}

TEST_F(MetaObjects, ContainerCellsStartEmptyAndFreeWhatTheyHold)
{
  CDataType *pdtCounted = CMoTestCounted::md_pdtDataType;
  CDataType *pdtSA = DescriptorOf<CStaticArray<CMoTestCounted>>();
  NewAndDelete(pdtSA, pdtSA, [](CMetaPointer &mp) {
    EXPECT_TRUE(IsZero(mp.GetObject(), 8));
    mdStaticArray_New_t(mp, 3);
    EXPECT_EQ(3, CMoTestCounted::ctConstructed);
    EXPECT_EQ(3, ((CStaticArray<CMoTestCounted> *)mp.GetObject())->Count());
  });
  EXPECT_EQ(3, CMoTestCounted::ctDestroyed);

  CDataType *pdtSSA = DescriptorOf<CStaticStackArray<CMoTestCounted>>();
  NewAndDelete(pdtSSA, pdtSSA, [](CMetaPointer &mp) {
    const long *asl = (const long *)mp.GetObject();
    EXPECT_EQ(0, asl[0]);
    EXPECT_EQ(0, asl[1]);
    EXPECT_EQ(0, asl[2]);
    EXPECT_EQ(16, asl[3]);
    mdStaticStackArray_Push_t(mp, 20);
    EXPECT_EQ(20, ((CStaticStackArray<CMoTestCounted> *)mp.GetObject())->Count());
  });
  EXPECT_EQ(23, CMoTestCounted::ctDestroyed);

  // A dynamic container does not own its elements: they outlive it.
  CDataType *pdtDC = DescriptorOf<CDynamicContainer<CMoTestCounted>>();
  CMetaPointer mpA = mdNew_t(pdtCounted);
  CMetaPointer mpB = mdNew_t(pdtCounted);
  NewAndDelete(pdtDC, pdtDC, [&](CMetaPointer &mp) {
    const long *asl = (const long *)mp.GetObject();
    EXPECT_EQ(0, asl[0] | asl[1] | asl[2]);
    EXPECT_EQ(16, asl[3]);
    mdDynamicContainer_Add(mp, mpA.GetObject());
    mdDynamicContainer_Add(mp, mpB.GetObject());
    EXPECT_EQ(2, mdContainer_Count(mp));
  });
  EXPECT_EQ(23, CMoTestCounted::ctDestroyed);
  mdDelete(mpA);
  mdDelete(mpB);
}

TEST_F(MetaObjects, ArraysAreOneBlockWithTheirCount)
{
  CDataType *pdtCounted = CMoTestCounted::md_pdtDataType;
  CStatsProbe sp(pdtCounted);
  CMetaPointer mp = mdNewArray_t(pdtCounted, 5);
  ASSERT_TRUE(mp.IsValid());
  EXPECT_EQ(5, CMoTestCounted::ctConstructed);
  EXPECT_EQ(5, sp.Singles());
  EXPECT_EQ(1, sp.Arrays());
  CMoTestCounted *amc = (CMoTestCounted *)mp.GetObject();
  for (int i = 0; i < 5; i++) amc[i].mc_iValue = i;
  mdDeleteArray(mp);
  EXPECT_EQ(5, CMoTestCounted::ctDestroyed);
  sp.ExpectBalanced();

  // Through a typedef the array is of the aliased type; by name likewise.
  CDataType *pdtAlias = Find("CMoTestCountedAlias");
  mp = mdNewArray_t(pdtAlias, 3);
  EXPECT_EQ(pdtCounted, mp.GetType());
  mdDeleteArray(CMetaPointer(pdtAlias, mp.GetObject()));
  mp = mdNewArray(CTypeID("CMoTestCounted"), 2);
  ASSERT_TRUE(mp.IsValid());
  mdDeleteArray(mp);
  EXPECT_EQ(10, CMoTestCounted::ctDestroyed);
  // An empty array is still a block to free.
  mp = mdNewArray_t(pdtCounted, 0);
  EXPECT_TRUE(mp.IsValid());
  mdDeleteArray(mp);
  sp.ExpectBalanced(8);

  const char *astrPlain[] = {"FLOAT", "UWORD", "DOUBLE", "CString", "IDENT"};
  for (const char *strName : astrPlain) {
    SCOPED_TRACE(strName);
    CDataType *pdt = Find(strName);
    CStatsProbe spPlain(pdt);
    CMetaPointer mpPlain = mdNewArray_t(pdt, 4);
    ASSERT_TRUE(mpPlain.IsValid());
    EXPECT_EQ(4, spPlain.Singles());
    EXPECT_EQ(1, spPlain.Arrays());
    if (pdt == md_pdtIDENT) {
      for (int i = 0; i < 4; i++) EXPECT_EQ(mdInvalidIdent(), ((IDENT *)mpPlain.GetObject())[i]);
    } else if (pdt != md_pdtCString) {
      EXPECT_TRUE(IsZero(mpPlain.GetObject(), 4 * pdt->dt_slSize));
    } else {
      ((CString *)mpPlain.GetObject())[3] = "a text with a heap copy of its own, to be freed";
    }
    mdDeleteArray(mpPlain);
    spPlain.ExpectBalanced();
  }
}

TEST_F(MetaObjects, TypesWithoutAWayToCreateAreRefused)
{
  EXPECT_FALSE(mdNew(CTypeID("CMoTestNoSuchType")).IsValid());
  EXPECT_FALSE(mdNewArray(CTypeID("CMoTestNoSuchType"), 3).IsValid());
  EXPECT_FALSE(mdNew_t(nullptr).IsValid());
  mdDelete(CMetaPointer());
  mdDeleteArray(CMetaPointer(CMoTestCounted::md_pdtDataType, nullptr));

  // An abstract class has no New: mdNew_t and mdNewArray_t throw, mdNew gives null.
  CDataType *pdtAbstract = CMoTestAbstract::md_pdtDataType;
  EXPECT_TRUE(mdIsAbstract(pdtAbstract));
  EXPECT_EQ(nullptr, pdtAbstract->GetFunction(CDataTypeFunctions::DTFS_NEW));
  EXPECT_EQ("Cannot create objects of type CMoTestAbstract.",
            QuennelEngine::Test::ThrownBy([&] { mdNew_t(pdtAbstract); }));
  EXPECT_EQ("Cannot create objects of type CMoTestAbstract.",
            QuennelEngine::Test::ThrownBy([&] { mdNewArray_t(pdtAbstract, 2); }));
  EXPECT_FALSE(mdNew(CTypeID(pdtAbstract)).IsValid());
  EXPECT_FALSE(mdNew(CTypeID("CMoTestAbstract")).IsValid());

  // Handles and fixed arrays are made only inside their owners.
  CDataType_Handle dth("CMoTestHandleByHand", 1, CTypeID("CMoTestSmart"), 0);
  EXPECT_EQ("Cannot create objects of type CMoTestHandleByHand.",
            QuennelEngine::Test::ThrownBy([&] { mdNew_t(&dth); }));
  EXPECT_EQ("Cannot create objects of type CMoTestCounted[3].",
            QuennelEngine::Test::ThrownBy([&] { mdNew_t(DescriptorOf<CMoTestCounted[3]>()); }));
  EXPECT_EQ(0, CMoTestCounted::ctConstructed);
}

TEST_F(MetaObjects, ConstructionInPlaceAndClearing)
{
  CDataType *pdtArray = DescriptorOf<CMoTestCounted[3]>();
  alignas(8) unsigned char aub[3 * sizeof(CMoTestCounted)];
  mdConstruct(CMetaPointer(pdtArray, aub));
  EXPECT_EQ(3, CMoTestCounted::ctConstructed);
  CMoTestCounted *amc = (CMoTestCounted *)aub;
  EXPECT_EQ(CMoTestCounted::md_pdtDataType, amc[2].mdGetDataType());
  amc[1].mc_iValue = 7;
  amc[1].mc_strName = "seven";
  // Clear is found on the base for a derived type too; without the operation nothing happens.
  mdClear(CMetaPointer(CMoTestCountedDerived::md_pdtDataType, &amc[1]));
  EXPECT_EQ(0, amc[1].mc_iValue);
  EXPECT_EQ(0, amc[1].mc_strName.Length());
  long sl = 9;
  mdClear(CMetaPointer(md_pdtSLONG, &sl));
  EXPECT_EQ(9, sl);
  mdDestruct(CMetaPointer(pdtArray, aub));
  EXPECT_EQ(3, CMoTestCounted::ctDestroyed);

  // Cells without operations start by their kind.
  long asl[4] = {5, 5, 5, 5};
  mdConstruct(CMetaPointer(DescriptorOf<CStaticStackArray<CMoTestCounted>>(), asl));
  EXPECT_EQ(0, asl[0] | asl[1] | asl[2]);
  EXPECT_EQ(16, asl[3]);
  float af[4] = {1, 2, 3, 4};
  mdConstruct(CMetaPointer(DescriptorOf<FLOAT[4]>(), af));
  EXPECT_TRUE(IsZero(af, sizeof(af)));
}

// A structure described without operations (as a file describes one) is made part by part.
struct MoTestParts {
  long mtp_sl;
  CString mtp_str;
  CMoTestCounted mtp_mc;
  CStaticStackArray<CMoTestCounted> mtp_ssa;
};

TEST_F(MetaObjects, AStructureWithoutOperationsIsConstructedAndDestructedByItsParts)
{
  const CDataType_StructMember asm_[] = {
      CDataType_StructMember(CTypeID("SLONG"), "mtp_sl", "", nullptr, nullptr,
                             MetaDeclare::OffsetOf<MoTestParts>(&MoTestParts::mtp_sl), 0, 0, 0,
                             nullptr, 0),
      CDataType_StructMember(CTypeID("CString"), "mtp_str", "", nullptr, nullptr,
                             MetaDeclare::OffsetOf<MoTestParts>(&MoTestParts::mtp_str), 0, 0, 0,
                             nullptr, 0),
      CDataType_StructMember(CTypeID("CMoTestCounted"), "mtp_mc", "", nullptr, nullptr,
                             MetaDeclare::OffsetOf<MoTestParts>(&MoTestParts::mtp_mc), 0, 0, 0,
                             nullptr, 0),
      CDataType_StructMember(
          CTypeID(DescriptorOf<CStaticStackArray<CMoTestCounted>>()), "mtp_ssa", "", nullptr,
          nullptr, MetaDeclare::OffsetOf<MoTestParts>(&MoTestParts::mtp_ssa), 0, 0, 0, nullptr, 0),
  };
  CDataType_Struct dts("MoTestParts", 1, nullptr, CTypeID(), 4, asm_, 0, nullptr, 0, 0,
                       (long)sizeof(MoTestParts), nullptr, nullptr, 0, nullptr, nullptr);
  alignas(8) unsigned char aub[sizeof(MoTestParts)];
  memset(aub, 0xCD, sizeof(aub));
  mdConstruct(CMetaPointer(&dts, aub));
  MoTestParts &parts = *(MoTestParts *)aub;
  EXPECT_EQ(0, parts.mtp_sl);
  EXPECT_EQ(0, parts.mtp_str.Length());
  EXPECT_EQ(1, CMoTestCounted::ctConstructed);
  EXPECT_EQ(CMoTestCounted::md_pdtDataType, parts.mtp_mc.mdGetDataType());
  EXPECT_EQ(16, parts.mtp_ssa.GetAllocationStep());
  // The C++ view uses the parts; destruction by the parts frees what they hold.
  parts.mtp_str = "a text long enough for a heap copy of its own";
  parts.mtp_ssa.Push(3);
  mdDestruct(CMetaPointer(&dts, aub));
  EXPECT_EQ(4, CMoTestCounted::ctDestroyed);
}

// ---- Hooks ----

class MetaHooks : public MetaObjects {
protected:
  void SetUp() override
  {
    MetaObjects::SetUp();
    hh.hh_sahk.New(3);
    hh.hh_sshk.Push(2);
    hh.hh_phk = &hkReferenced;
    hh.hh_pshk = new CMoTestHookedSmart;
    hh.hh_dchk.Add(&hkReferenced);
  }
  // Every embedded hooked part (not the holder itself) received the slot once; nothing behind a
  // pointer or in the container did, and nothing else was called.
  void ExpectEmbeddedPartsOnce(int iSlot)
  {
    const void *apv[] = {&hh.hb_hkInBase, &hh.hh_hkMember, &hh.hh_ahkArray[0], &hh.hh_ahkArray[1],
                         &hh.hh_sahk[0],  &hh.hh_sahk[1],  &hh.hh_sahk[2],     &hh.hh_sshk[0],
                         &hh.hh_sshk[1],  &hh.hh_hkAliased};
    for (const void *pv : apv) {
      EXPECT_EQ(1, CallsAt(iSlot, pv)) << (const char *)pv - (const char *)&hh;
    }
    EXPECT_EQ(0, CallsAt(iSlot, &hkReferenced));
    EXPECT_EQ(0, CallsAt(iSlot, hh.hh_pshk.Get()));
    EXPECT_EQ(10 + CallsAt(iSlot, &hh), CallsOf(iSlot));
  }
  CMetaPointer Holder() { return CMetaPointer(CMoTestHookHolder::md_pdtDataType, &hh); }

  CMoTestHookHolder hh;
  CMoTestHooked hkReferenced;
};

TEST_F(MetaHooks, EveryEmbeddedPartReceivesTheHookOnce)
{
  mdPostRead(Holder());
  // The holder has the hook through its base: it receives it once, as what it is.
  EXPECT_EQ(1, CallsAt(POSTREAD, &hh));
  for (const HookCall &hc : _ahcCalls) {
    if (hc.hc_pv == &hh) {
      EXPECT_EQ(CMoTestHookHolder::md_pdtDataType, hc.hc_pdt);
    }
  }
  ExpectEmbeddedPartsOnce(POSTREAD);
  EXPECT_EQ(0, CallsOf(POSTCREATE));

  // PostCreate: only the parts have it.
  _ahcCalls.clear();
  mdPostCreate(Holder());
  EXPECT_EQ(0, CallsAt(POSTCREATE, &hh));
  ExpectEmbeddedPartsOnce(POSTCREATE);
  EXPECT_EQ(0, CallsOf(POSTREAD));
}

TEST_F(MetaHooks, TheChildrenVariantsSkipTheObjectItself)
{
  mdPostReadChildren(Holder());
  EXPECT_EQ(0, CallsAt(POSTREAD, &hh));
  ExpectEmbeddedPartsOnce(POSTREAD);

  _ahcCalls.clear();
  mdPostCreateChildren(Holder());
  ExpectEmbeddedPartsOnce(POSTCREATE);

  // A part passed directly receives it; a pointer cell passes nothing on.
  _ahcCalls.clear();
  mdPostRead(CMetaPointer(CMoTestHooked::md_pdtDataType, &hkReferenced));
  mdPostRead(CMetaPointer(DescriptorOf<CMoTestHooked *>(), &hh.hh_phk));
  mdPostReadChildren(CMetaPointer(CMoTestHooked::md_pdtDataType, &hkReferenced));
  EXPECT_EQ(1, CallsOf(POSTREAD));
  EXPECT_EQ(1, CallsAt(POSTREAD, &hkReferenced));
  // An object seen through a typedef receives it once, as the aliased type.
  mdPostRead(CMetaPointer(Find("CMoTestHookedAlias"), &hkReferenced));
  EXPECT_EQ(2, CallsAt(POSTREAD, &hkReferenced));
  EXPECT_EQ(CMoTestHooked::md_pdtDataType, _ahcCalls.back().hc_pdt);
  _ahcCalls.pop_back();
  // Nothing happens without an object.
  mdPostRead(CMetaPointer(CMoTestHookHolder::md_pdtDataType, nullptr));
  mdPostRead(CMetaPointer((CDataType *)nullptr, &hh));
  EXPECT_EQ(1, CallsOf(POSTREAD));
}

TEST_F(MetaHooks, ChangeNotificationsAreFoundUpTheBases)
{
  CMetaPointer mpPart(CMoTestHooked::md_pdtDataType, &hh.hh_hkMember);
  EXPECT_EQ(5, mdPreChange(Holder(), mpPart));
  EXPECT_EQ(mpPart, _mpChangedPart);
  EXPECT_EQ(0, mdPostChange(Holder(), mpPart));
  EXPECT_EQ(0, mdBeginChanging(Holder(), mpPart));
  EXPECT_EQ(0, mdEndChanging(Holder(), mpPart));
  EXPECT_EQ(0, mdPreChange(mpPart, CMetaPointer()));
  EXPECT_EQ(0, mdPreChange(CMetaPointer(), mpPart));
}

// ---- Descriptions ----

TEST_F(MetaObjects, TypeDescriptionsAreComposedFromTheParts)
{
  // Composed from the target, not taken from the descriptor's own name.
  CDataType_Pointer dtp("CMoTestPointerByHand", 1, CTypeID(DescriptorOf<CStaticArray<FLOAT>>()), 0);
  EXPECT_EQ("CStaticArray<FLOAT>*", S(mdGetTypeDescription(&dtp)));
  CDataType_Handle dth("CMoTestHandleByHand", 1, CTypeID("CMoTestSmart"), 0);
  EXPECT_EQ("Handle<CMoTestSmart>", S(mdGetTypeDescription(&dth)));
  EXPECT_EQ("Ptr<CMoTestSmart>", S(mdGetTypeDescription(DescriptorOf<Ptr<CMoTestSmart>>())));
  EXPECT_EQ("FLOAT[4]", S(mdGetTypeDescription(DescriptorOf<FLOAT[4]>())));
  EXPECT_EQ("SLONG[2][3]", S(mdGetTypeDescription(DescriptorOf<long[2][3]>())));
  EXPECT_EQ("CStaticStackArray<CMoTestCounted>",
            S(mdGetTypeDescription(DescriptorOf<CStaticStackArray<CMoTestCounted>>())));
  EXPECT_EQ("CDynamicContainer<CMoTestCounted>",
            S(mdGetTypeDescription(DescriptorOf<CDynamicContainer<CMoTestCounted>>())));
  EXPECT_EQ("CString&", S(mdGetTypeDescription(Find("CString&"))));
  EXPECT_EQ("class CMoTestCounted", S(mdGetTypeDescription(CMoTestCounted::md_pdtDataType, 0, 1)));
  EXPECT_EQ("CMoTestCounted", S(mdGetTypeDescription(CMoTestCounted::md_pdtDataType)));
  EXPECT_EQ("FLOAT", S(mdGetTypeDescription(md_pdtFLOAT, 0, 1)));
  EXPECT_EQ("CMoTestEnum2", S(mdGetTypeDescription(Find("CMoTestEnum2"))));
  EXPECT_EQ("NULL", S(mdGetTypeDescription((CDataType *)nullptr)));
  // A reference by name is described by the name even while it does not resolve.
  CTypeID tidEmpty;
  CTypeID tidUnknown("CMoTestNotDeclared");
  EXPECT_EQ("NULL", S(mdGetTypeDescription(tidEmpty)));
  EXPECT_EQ("CMoTestNotDeclared", S(mdGetTypeDescription(tidUnknown)));
  CDataType_Pointer dtpUnknown("CMoTestPointerToUnknown", 1, CTypeID("CMoTestNotDeclared"), 0);
  EXPECT_EQ("CMoTestNotDeclared*", S(mdGetTypeDescription(&dtpUnknown)));
}

TEST_F(MetaObjects, RootTypeNamesAreSingleIdentifiers)
{
  EXPECT_EQ("PtrToCMoTestSmart", S(mdGetRootTypeName(DescriptorOf<Ptr<CMoTestSmart>>())));
  EXPECT_EQ("CStaticArrayOfFLOAT", S(mdGetRootTypeName(DescriptorOf<CStaticArray<FLOAT>>())));
  EXPECT_EQ("CStaticStackArrayOfCMoTestCounted",
            S(mdGetRootTypeName(DescriptorOf<CStaticStackArray<CMoTestCounted>>())));
  EXPECT_EQ("CDynamicContainerOfCMoTestCounted",
            S(mdGetRootTypeName(DescriptorOf<CDynamicContainer<CMoTestCounted>>())));
  CDataType_Handle dth("CMoTestHandleByHand", 1, CTypeID("CMoTestSmart"), 0);
  EXPECT_EQ("HandleToCMoTestSmart", S(mdGetRootTypeName(&dth)));
  // Pointers and arrays are their target's root.
  EXPECT_EQ("CMoTestCounted", S(mdGetRootTypeName(DescriptorOf<CMoTestCounted *>())));
  EXPECT_EQ("FLOAT", S(mdGetRootTypeName(DescriptorOf<FLOAT[4]>())));
  // A typedef is itself unless looked through, also as an element.
  EXPECT_EQ("INDEX", S(mdGetRootTypeName(md_pdtINDEX)));
  EXPECT_EQ("SLONG", S(mdGetRootTypeName(md_pdtINDEX, 1)));
  CDataType_CStaticArray dtsa("CMoTestArrayOfIndexByHand", 1, CTypeID("INDEX"), 0);
  EXPECT_EQ("CStaticArrayOfINDEX", S(mdGetRootTypeName(&dtsa)));
  EXPECT_EQ("CStaticArrayOfSLONG", S(mdGetRootTypeName(&dtsa, 1)));
  EXPECT_EQ("CMoTestEnum4", S(mdGetRootTypeName(Find("CMoTestEnum4"))));
  EXPECT_EQ("void", S(mdGetRootTypeName(md_pdtVoid)));
  EXPECT_EQ("???", S(mdGetRootTypeName((CDataType *)nullptr)));
}

TEST_F(MetaObjects, ObjectNamesComeFromGetNameThenTheEditorName)
{
  CDataType *pdtNamed = CMoTestNamed::md_pdtDataType;
  CDataType *pdtDerived = CMoTestNamedDerived::md_pdtDataType;
  CMoTestNamed nBox;
  nBox.mn_strName = "Box";
  EXPECT_EQ("Box", S(mdGetName(CMetaPointer(pdtNamed, &nBox))));
  EXPECT_EQ("Box (CMoTestNamed)", S(mdGetObjectDescription(CMetaPointer(pdtNamed, &nBox))));
  // An empty name falls back to the class's editor name.
  CMoTestNamed nEmpty;
  EXPECT_EQ("Named thing", S(mdGetName(CMetaPointer(pdtNamed, &nEmpty))));
  // The name is the final object's.
  nEmpty.mn_pnFinal = &nBox;
  EXPECT_EQ(CMetaPointer(pdtNamed, &nBox), mdGetFinalObject(CMetaPointer(pdtNamed, &nEmpty)));
  EXPECT_EQ("Box", S(mdGetName(CMetaPointer(pdtNamed, &nEmpty))));
  // GetName is inherited; the editor name is not.
  CMoTestNamedDerived nd;
  nd.mn_strName = "Crate";
  EXPECT_EQ("Crate", S(mdGetName(CMetaPointer(pdtDerived, &nd))));
  nd.mn_strName = "";
  EXPECT_EQ("", S(mdGetName(CMetaPointer(pdtDerived, &nd))));
  // Neither: the empty text; no object: "NULL".
  CMoTestCounted mc;
  EXPECT_EQ("", S(mdGetName(CMetaPointer(CMoTestCounted::md_pdtDataType, &mc))));
  EXPECT_EQ(" (CMoTestCounted)",
            S(mdGetObjectDescription(CMetaPointer(CMoTestCounted::md_pdtDataType, &mc))));
  EXPECT_EQ("NULL (CMoTestNamed)", S(mdGetObjectDescription(CMetaPointer(pdtNamed, nullptr))));
  EXPECT_EQ("NULL (NULL)", S(mdGetObjectDescription(CMetaPointer())));
  // Without GetFinalObject the object stands for itself.
  EXPECT_EQ(CMetaPointer(CMoTestCounted::md_pdtDataType, &mc),
            mdGetFinalObject(CMetaPointer(CMoTestCounted::md_pdtDataType, &mc)));
}

} // namespace
