// Files written by an older (or newer) layout of a type: each case saves an object under one
// declaration of "CEvoThing", declares the type anew under the same name, and loads.
#include "MetaTestSupport.h"

#include <gtest/gtest.h>

#include <stddef.h>

#include <vector>

using namespace QuennelEngine;
using namespace QuennelEngine::Test;

namespace {

struct SEvoTwo {
  long ev_a = 1;
  long ev_b = 2;
};
struct SEvoThree {
  long ev_a = 10;
  long ev_b = 20;
  long ev_c = 77;
};
struct SEvoArray2 {
  FLOAT ev_af[2] = {1, 2};
};
struct SEvoArray4 {
  FLOAT ev_af[4] = {9, 9, 9, 9};
};
struct SEvoText {
  CString ev_str;
};
struct SEvoTransText {
  CTransString ev_str;
};
struct SEvoNumbers {
  long ev_x = 7;
  CStaticStackArray<long> ev_sa;
};
struct SEvoTexts {
  CString ev_x = "kept";
  CStaticStackArray<CString> ev_sa;
};
struct SEvoArrayAndNumber {
  FLOAT ev_af[4] = {1, 2, 3, 4};
  long ev_x = 0;
};
struct SEvoNumberAlone {
  long ev_x = 0;
};
struct SEvoSmallEnum {
  unsigned char ev_e = 0;
};
struct SEvoWideEnum {
  long ev_e = 0;
};

// A target whose instances are counted, and a class unrelated to it.
long _ctEvoTargets = 0;
class CEvoTarget : public CObject {
  MD_DECLARE_CLASS(CEvoTarget)
public:
  CEvoTarget() { _ctEvoTargets++; }
  ~CEvoTarget() { _ctEvoTargets--; }
  long et_i = 0;
};
class CEvoOther : public CObject {
  MD_DECLARE_CLASS(CEvoOther)
  long eo_i = 0;
};
// A class that makes a target of its own when constructed, keeps it in a member that is never
// saved, and deletes it with itself.
class CEvoKeeper : public CObject {
  MD_DECLARE_CLASS(CEvoKeeper)
public:
  CEvoKeeper() : ek_pOwn(new CEvoTarget) {}
  ~CEvoKeeper() { delete ek_pOwn; }
  CEvoTarget *ek_pOwn;
  long ek_i = 0;
};
struct SEvoKeeperAndNumber {
  CEvoKeeper *ev_p = nullptr;
  long ev_x = 0;
};
struct SEvoTargetAndNumber {
  CEvoTarget *ev_p = nullptr;
  long ev_x = 0;
};
struct SEvoOtherAndNumber {
  CEvoOther *ev_p = nullptr;
  long ev_x = 0;
};

// One declaration of "CEvoThing" (and of its enum, where it has one), freed with the object.
class CEvoType {
public:
  ~CEvoType()
  {
    if (et_pdt != nullptr) mdDeleteDeclaredType(et_pdt);
    if (et_pdtEnum != nullptr) mdDeleteDeclaredType(et_pdtEnum);
  }
  template <class S> void Begin(long iFormat)
  {
    et_pmcd = new CMetaClassDecl("CEvoThing", iFormat, sizeof(S), CTypeID(), 0, 0,
                                 MetaDeclare::Operations<S>());
  }
  void Member(CTypeID tid, const char *strName, long slOffset, const char *strAlias = nullptr)
  {
    et_pmcd->AddMember(tid, strName, slOffset, 0, strName, strAlias, nullptr);
  }
  void Enum(long slSize)
  {
    CMetaEnumDecl med("EEvoKind", 1, slSize);
    med.Value(5, "EVK_FIVE", "Five");
    med.Value(6, "EVK_SIX", "Six");
    et_pdtEnum = med.Register();
  }
  CDataType *End(void)
  {
    et_pdt = et_pmcd->Register();
    delete et_pmcd;
    et_pmcd = nullptr;
    mdUpdateTypeTables();
    return et_pdt;
  }
  CDataType *et_pdt = nullptr;
  CDataType *et_pdtEnum = nullptr;
  CMetaClassDecl *et_pmcd = nullptr;
};

MD_CLASS_BEGIN(CEvoTarget, CObject, 1)
MD_MEMBER(et_i, 0, "Value")
MD_CLASS_END()
MD_CLASS_BEGIN(CEvoKeeper, CObject, 1)
MD_MEMBER(ek_pOwn, SMF_NOSAVE, "Own")
MD_MEMBER(ek_i, 0, "Value")
MD_CLASS_END()
MD_CLASS_BEGIN(CEvoOther, CObject, 1)
MD_MEMBER(eo_i, 0, "Value")
MD_CLASS_END()

CTypeID Slong()
{
  return CTypeID("SLONG");
}

void DeclareTwo(CEvoType &et, long iFormat)
{
  et.Begin<SEvoTwo>(iFormat);
  et.Member(Slong(), "ev_a", offsetof(SEvoTwo, ev_a));
  et.Member(Slong(), "ev_b", offsetof(SEvoTwo, ev_b));
  et.End();
}

void DeclareThree(CEvoType &et, long iFormat)
{
  et.Begin<SEvoThree>(iFormat);
  et.Member(Slong(), "ev_a", offsetof(SEvoThree, ev_a));
  et.Member(Slong(), "ev_b", offsetof(SEvoThree, ev_b));
  et.Member(Slong(), "ev_c", offsetof(SEvoThree, ev_c));
  et.End();
}

// Saves the object under the declaration in force into a memory stream.
template <class S> void Save(CStream &strm, CDataType *pdt, S &obj)
{
  strm.CreateMemoryStream();
  mdInternalWrite_t(strm, CMetaPointer(pdt, &obj));
  strm.SeekBeg_t(0);
}

// Loads the stream; the message of the error, or "" with the object in `mp`.
std::string Load(CStream &strm, CMetaPointer &mp)
{
  strm.SeekBeg_t(0);
  try {
    mp = mdInternalRead_t(strm);
  } catch (CException &ex) {
    return ex.GetDescription();
  }
  return "";
}

// "CEvoThing" as S: a pointer to T named "ev_p" and a number named "ev_x".
template <class S, class T> void DeclarePointerAndNumber(CEvoType &et, long iFormat)
{
  et.Begin<S>(iFormat);
  et.Member(MetaDeclare::TypeOf<T *>::Get(), "ev_p", offsetof(S, ev_p));
  et.Member(Slong(), "ev_x", offsetof(S, ev_x));
  et.End();
}

// "CEvoThing" as a number named "ev_x" alone.
void DeclareNumberAlone(CEvoType &et, long iFormat)
{
  et.Begin<SEvoNumberAlone>(iFormat);
  et.Member(Slong(), "ev_x", offsetof(SEvoNumberAlone, ev_x));
  et.End();
}

// Saves an S pointing to `pTarget` and holding `iX`, declared in format 1.
template <class S, class T> void SavePointerAndNumber(CStream &strm, T *pTarget, long iX)
{
  CEvoType et;
  DeclarePointerAndNumber<S, T>(et, 1);
  S obj;
  obj.ev_p = pTarget;
  obj.ev_x = iX;
  Save(strm, et.et_pdt, obj);
}

class MetaEvolution : public ::testing::Test {
protected:
  void SetUp() override { mdUpdateTypeTables(); }
};

} // namespace

TEST_F(MetaEvolution, AMemberAddedWithANewFormatLoadsAndKeepsItsConstructorValue)
{
  CStream strm;
  {
    CEvoType et;
    DeclareTwo(et, 1);
    SEvoTwo obj;
    obj.ev_a = 5;
    obj.ev_b = 6;
    Save(strm, et.et_pdt, obj);
  }
  CEvoType et;
  DeclareThree(et, 2);
  CMetaPointer mp;
  ASSERT_EQ(Load(strm, mp), "");
  ASSERT_EQ(mp.mp_pdtType, et.et_pdt);
  SEvoThree *p = (SEvoThree *)mp.mp_pvObject;
  EXPECT_EQ(p->ev_a, 5);
  EXPECT_EQ(p->ev_b, 6);
  EXPECT_EQ(p->ev_c, 77);
  mdDelete(mp);
}

TEST_F(MetaEvolution, FormatNumbersDecideWhenTheLayoutDiffers)
{
  CStream strmOld, strmNewer, strmSame;
  {
    CEvoType et;
    DeclareTwo(et, 1);
    SEvoTwo obj;
    Save(strmOld, et.et_pdt, obj);
  }
  {
    CEvoType et;
    DeclareThree(et, 3);
    SEvoThree obj;
    Save(strmNewer, et.et_pdt, obj);
  }
  {
    CEvoType et;
    DeclareTwo(et, 5);
    SEvoTwo obj;
    obj.ev_b = 55;
    Save(strmSame, et.et_pdt, obj);
  }
  CMetaPointer mp;
  {
    // Changed without a new format number.
    CEvoType et;
    DeclareThree(et, 1);
    const std::string str = Load(strmOld, mp);
    EXPECT_NE(
        str.find("Format numbering inconsistency, format must be incremented for changed types."),
        std::string::npos)
        << str;
    EXPECT_NE(str.find("type 'CEvoThing', format 1"), std::string::npos) << str;
  }
  {
    // Written by a newer program with another layout.
    CEvoType et;
    DeclareTwo(et, 2);
    const std::string str = Load(strmNewer, mp);
    EXPECT_NE(
        str.find("Current format is 2, the file was saved by a newer version of the application."),
        std::string::npos)
        << str;
  }
  {
    // The same layout loads whatever the numbers say.
    CEvoType et;
    DeclareTwo(et, 1);
    ASSERT_EQ(Load(strmSame, mp), "");
    EXPECT_EQ(((SEvoTwo *)mp.mp_pvObject)->ev_b, 55);
    mdDelete(mp);
  }
}

TEST_F(MetaEvolution, AMemberRenamedWithItsOldNameAsAliasKeepsItsValue)
{
  CStream strm;
  {
    CEvoType et;
    DeclareTwo(et, 1);
    SEvoTwo obj;
    obj.ev_b = 42;
    Save(strm, et.et_pdt, obj);
  }
  CEvoType et;
  et.Begin<SEvoTwo>(1);
  et.Member(Slong(), "ev_a", offsetof(SEvoTwo, ev_a));
  et.Member(Slong(), "ev_bRenamed", offsetof(SEvoTwo, ev_b), "ev_b");
  et.End();
  CMetaPointer mp;
  ASSERT_EQ(Load(strm, mp), "");
  EXPECT_EQ(((SEvoTwo *)mp.mp_pvObject)->ev_b, 42);
  mdDelete(mp);
}

TEST_F(MetaEvolution, AFixedArrayThatGrewOrShrankLoads)
{
  CStream strmTwo, strmFour;
  {
    CEvoType et;
    et.Begin<SEvoArray2>(1);
    et.Member(MetaDeclare::TypeOf<FLOAT[2]>::Get(), "ev_af", offsetof(SEvoArray2, ev_af));
    et.End();
    SEvoArray2 obj;
    obj.ev_af[0] = 3;
    obj.ev_af[1] = 4;
    Save(strmTwo, et.et_pdt, obj);
  }
  {
    CEvoType et;
    et.Begin<SEvoArray4>(1);
    et.Member(MetaDeclare::TypeOf<FLOAT[4]>::Get(), "ev_af", offsetof(SEvoArray4, ev_af));
    et.End();
    SEvoArray4 obj;
    for (int i = 0; i < 4; i++) obj.ev_af[i] = 5.0f + i;
    Save(strmFour, et.et_pdt, obj);
    // Grown: the elements the file lacks keep their values.
    CMetaPointer mp;
    ASSERT_EQ(Load(strmTwo, mp), "");
    SEvoArray4 *p = (SEvoArray4 *)mp.mp_pvObject;
    EXPECT_EQ(p->ev_af[0], 3);
    EXPECT_EQ(p->ev_af[1], 4);
    EXPECT_EQ(p->ev_af[2], 9);
    EXPECT_EQ(p->ev_af[3], 9);
    mdDelete(mp);
  }
  CEvoType et;
  et.Begin<SEvoArray2>(1);
  et.Member(MetaDeclare::TypeOf<FLOAT[2]>::Get(), "ev_af", offsetof(SEvoArray2, ev_af));
  et.End();
  // Shrunk: the surplus saved elements are skipped.
  CMetaPointer mp;
  ASSERT_EQ(Load(strmFour, mp), "");
  SEvoArray2 *p = (SEvoArray2 *)mp.mp_pvObject;
  EXPECT_EQ(p->ev_af[0], 5);
  EXPECT_EQ(p->ev_af[1], 6);
  mdDelete(mp);
}

TEST_F(MetaEvolution, ATextBecomesTheTextOfATranslatableString)
{
  CStream strm;
  {
    CEvoType et;
    et.Begin<SEvoText>(1);
    et.Member(CTypeID("CString"), "ev_str", offsetof(SEvoText, ev_str));
    et.End();
    SEvoText obj;
    obj.ev_str = "Hello";
    Save(strm, et.et_pdt, obj);
  }
  CEvoType et;
  et.Begin<SEvoTransText>(2);
  et.Member(CTypeID("CTransString"), "ev_str", offsetof(SEvoTransText, ev_str));
  et.End();
  CMetaPointer mp;
  ASSERT_EQ(Load(strm, mp), "");
  EXPECT_STREQ(((SEvoTransText *)mp.mp_pvObject)->ev_str.ts_strText, "Hello");
  mdDelete(mp);
}

TEST_F(MetaEvolution, NumbersAndTextsNeverReadIntoEachOther)
{
  // A member (and the elements of a stack array) that changed between a number and a text of
  // the same size: the saved data is skipped, never taken for a text's address or the reverse.
  auto DeclareNumbers = [](CEvoType &et, long iFormat) {
    et.Begin<SEvoNumbers>(iFormat);
    et.Member(Slong(), "ev_x", offsetof(SEvoNumbers, ev_x));
    et.Member(MetaDeclare::TypeOf<CStaticStackArray<long>>::Get(), "ev_sa",
              offsetof(SEvoNumbers, ev_sa));
    et.End();
  };
  auto DeclareTexts = [](CEvoType &et, long iFormat) {
    et.Begin<SEvoTexts>(iFormat);
    et.Member(CTypeID("CString"), "ev_x", offsetof(SEvoTexts, ev_x));
    et.Member(MetaDeclare::TypeOf<CStaticStackArray<CString>>::Get(), "ev_sa",
              offsetof(SEvoTexts, ev_sa));
    et.End();
  };
  CStream strmNumbers, strmTexts;
  {
    CEvoType et;
    DeclareNumbers(et, 1);
    SEvoNumbers obj;
    obj.ev_x = 0x12345678;
    for (long i = 0; i < 3; i++) obj.ev_sa.Push() = 0x10000 + i;
    Save(strmNumbers, et.et_pdt, obj);
  }
  {
    CEvoType et;
    DeclareTexts(et, 2);
    SEvoTexts obj;
    obj.ev_x = "text";
    obj.ev_sa.Push() = "one";
    obj.ev_sa.Push() = "two";
    Save(strmTexts, et.et_pdt, obj);
    CMetaPointer mp;
    ASSERT_EQ(Load(strmNumbers, mp), "");
    SEvoTexts *p = (SEvoTexts *)mp.mp_pvObject;
    EXPECT_STREQ(p->ev_x, "kept");
    // (the array takes the saved count; what it could not read stays empty)
    for (long i = 0; i < p->ev_sa.Count(); i++) EXPECT_STREQ(p->ev_sa[i], "");
    mdDelete(mp);
  }
  CEvoType et;
  DeclareNumbers(et, 3);
  CMetaPointer mp;
  ASSERT_EQ(Load(strmTexts, mp), "");
  SEvoNumbers *p = (SEvoNumbers *)mp.mp_pvObject;
  EXPECT_EQ(p->ev_x, 7);
  for (long i = 0; i < p->ev_sa.Count(); i++) EXPECT_EQ(p->ev_sa[i], 0);
  mdDelete(mp);
}

TEST_F(MetaEvolution, AnEnumWidenedFromOneToFourBytesKeepsItsValue)
{
  CStream strm;
  {
    CEvoType et;
    et.Enum(1);
    et.Begin<SEvoSmallEnum>(1);
    et.Member(CTypeID("EEvoKind"), "ev_e", offsetof(SEvoSmallEnum, ev_e));
    et.End();
    SEvoSmallEnum obj;
    obj.ev_e = 6;
    Save(strm, et.et_pdt, obj);
  }
  CEvoType et;
  et.Enum(4);
  et.Begin<SEvoWideEnum>(2);
  et.Member(CTypeID("EEvoKind"), "ev_e", offsetof(SEvoWideEnum, ev_e));
  et.End();
  CMetaPointer mp;
  ASSERT_EQ(Load(strm, mp), "");
  EXPECT_EQ(((SEvoWideEnum *)mp.mp_pvObject)->ev_e, 6);
  mdDelete(mp);
}

// A member that is gone, a fixed array of numbers, is skipped whole: the member after it reads
// its own value.
TEST_F(MetaEvolution, AFixedArrayThatIsGoneIsSkippedWhole)
{
  CStream strm;
  {
    CEvoType et;
    et.Begin<SEvoArrayAndNumber>(1);
    et.Member(MetaDeclare::TypeOf<FLOAT[4]>::Get(), "ev_af", offsetof(SEvoArrayAndNumber, ev_af));
    et.Member(CTypeID("SLONG"), "ev_x", offsetof(SEvoArrayAndNumber, ev_x));
    et.End();
    SEvoArrayAndNumber obj;
    obj.ev_x = 4242;
    Save(strm, et.et_pdt, obj);
  }
  CEvoType et;
  DeclareNumberAlone(et, 2);
  CMetaPointer mp;
  ASSERT_EQ(Load(strm, mp), "");
  EXPECT_EQ(((SEvoNumberAlone *)mp.mp_pvObject)->ev_x, 4242);
  mdDelete(mp);
}

TEST_F(MetaEvolution, AnObjectReachedOnlyThroughAGoneOrRefusedReferenceIsDeleted)
{
  enum { KEPT, GONE, REFUSED };
  for (int iCase : {KEPT, GONE, REFUSED}) {
    SCOPED_TRACE(iCase);
    CStream strm;
    {
      CEvoTarget target;
      SavePointerAndNumber<SEvoTargetAndNumber>(strm, &target, 31);
    }
    ASSERT_EQ(_ctEvoTargets, 0);
    CEvoType et;
    if (iCase == KEPT) {
      DeclarePointerAndNumber<SEvoTargetAndNumber, CEvoTarget>(et, 1);
    } else if (iCase == GONE) {
      DeclareNumberAlone(et, 2);
    } else {
      DeclarePointerAndNumber<SEvoOtherAndNumber, CEvoOther>(et, 2);
    }
    CMetaPointer mp;
    ASSERT_EQ(Load(strm, mp), "");
    if (iCase == KEPT) {
      // The control: a reference that is read keeps its target, which the caller now holds.
      SEvoTargetAndNumber *p = (SEvoTargetAndNumber *)mp.mp_pvObject;
      EXPECT_EQ(p->ev_x, 31);
      ASSERT_NE(p->ev_p, nullptr);
      EXPECT_EQ(_ctEvoTargets, 1);
      delete p->ev_p;
    } else {
      // Nothing the program holds refers to the target: it goes with the other unused objects.
      EXPECT_EQ(iCase == GONE ? ((SEvoNumberAlone *)mp.mp_pvObject)->ev_x
                              : ((SEvoOtherAndNumber *)mp.mp_pvObject)->ev_x,
                31);
      if (iCase == REFUSED) {
        EXPECT_EQ(((SEvoOtherAndNumber *)mp.mp_pvObject)->ev_p, nullptr);
      }
      EXPECT_EQ(_ctEvoTargets, 0);
    }
    mdDelete(mp);
  }
}

TEST_F(MetaEvolution, AnUnusedObjectIsDeletedWithWhatItsUnsavedMembersHold)
{
  // The keeper is reached only through a member that is gone: it is deleted as unused, and its
  // own destructor must still find the target it made.
  CStream strm;
  {
    CEvoKeeper keeper;
    SavePointerAndNumber<SEvoKeeperAndNumber>(strm, &keeper, 8);
  }
  ASSERT_EQ(_ctEvoTargets, 0);
  CEvoType et;
  DeclareNumberAlone(et, 2);
  CMetaPointer mp;
  ASSERT_EQ(Load(strm, mp), "");
  EXPECT_EQ(((SEvoNumberAlone *)mp.mp_pvObject)->ev_x, 8);
  EXPECT_EQ(_ctEvoTargets, 0);
  mdDelete(mp);

  // A read that fails, after the keeper was made or before, deletes it the same way.
  std::vector<char> ab(strm.GetSize());
  strm.SeekBeg_t(0);
  strm.Read_t(ab.data(), (long)ab.size());
  long ctFailed = 0;
  for (long sl = (long)ab.size() - 1; sl > 0; sl--) {
    CStream strmCut;
    strmCut.CreateMemoryStream_t(ab.data(), sl);
    if (Load(strmCut, mp) == "") {
      mdDelete(mp);
    } else {
      ctFailed++;
    }
    ASSERT_EQ(_ctEvoTargets, 0) << sl;
  }
  EXPECT_GT(ctFailed, (long)ab.size() / 2);
}
