// The math types as members of saved structures: their descriptors match their C++ layouts, and a
// class holding one of each round-trips through binary and text metadata files.
#include "MathMetaSupport.h"

#include <gtest/gtest.h>

#include <string>

using namespace QuennelEngine;
using namespace QuennelEngine::Test;

namespace {

class CMathHolder : public CObject {
  MD_DECLARE_CLASS(CMathHolder)
  Vector2f mh_v2 = Vector2f(0.0f);
  Vector3f mh_v3 = Vector3f(0.0f);
  Vector4f mh_v4 = Vector4f(0.0f);
  Vector2l mh_v2l = Vector2l(0);
  Box1f mh_box1 = Box1f(0.0f);
  Box2f mh_box2 = Box2f(0.0f);
  Box2l mh_box2l = Box2l(0);
  Box3f mh_box3 = Box3f(0.0f);
  Plane4f mh_pl = Plane4f(0.0f);
  Quaternion4f mh_q = Quaternion4f(0.0f);
  QuatVect mh_qv = QuatVect(0.0f);
  Matrix33f mh_m33 = Matrix33f(0.0f);
  Matrix34f mh_m34 = Matrix34f(0.0f);
  Matrix44f mh_m44 = Matrix44f(0.0f);
  Vector3f mh_av3Corners[2] = {Vector3f(0.0f), Vector3f(0.0f)};
  CStaticArray<Box2l> mh_saRects;
};

MD_CLASS_BEGIN(CMathHolder, CObject, 1)
MD_MEMBER(mh_v2, 0, "V2")
MD_MEMBER(mh_v3, 0, "V3")
MD_MEMBER(mh_v4, 0, "V4")
MD_MEMBER(mh_v2l, 0, "V2l")
MD_MEMBER(mh_box1, 0, "Box1")
MD_MEMBER(mh_box2, 0, "Box2")
MD_MEMBER(mh_box2l, 0, "Box2l")
MD_MEMBER(mh_box3, 0, "Box3")
MD_MEMBER(mh_pl, 0, "Plane")
MD_MEMBER(mh_q, 0, "Quaternion")
MD_MEMBER(mh_qv, 0, "Placement")
MD_MEMBER(mh_m33, 0, "M33")
MD_MEMBER(mh_m34, 0, "M34")
MD_MEMBER(mh_m44, 0, "M44")
MD_MEMBER(mh_av3Corners, 0, "Corners")
MD_MEMBER(mh_saRects, 0, "Rectangles")
MD_CLASS_END()

void Fill(CMathHolder &mh)
{
  // Values with fractions, negatives and large magnitudes, so a lossy text form would show.
  mh.mh_v2 = Vector2f(0.1f, -2.5f);
  mh.mh_v3 = Vector3f(1.0f / 3.0f, 1e-7f, -3e7f);
  mh.mh_v4 = Vector4f(4, 5, 6, 0.7f);
  mh.mh_v2l = Vector2l(-2147483647L - 1, 2147483647L);
  mh.mh_box1 = Box1f(-1.5f, 8.25f);
  mh.mh_box2 = Box2f(1, 2, 3, 4);
  mh.mh_box2l = Box2l(0, 0, 639, 479);
  mh.mh_box3 = Box3f(-1, -2, -3, 1, 2, 3.125f);
  mh.mh_pl = Plane4f(Vector3f(0, 1, 0), Vector3f(5, 2, 7));
  mh.mh_q = mthAxisAngleToQuaternion(Vector4f(0, 0, 1, 1.2345f));
  mh.mh_qv = QuatVect(mh.mh_q, Vector3f(9, 8, 7));
  mh.mh_m33 = Matrix33f(1, 2, 3, 4, 5, 6, 7, 8, 9.5f);
  mh.mh_m34 = Matrix34f(mh.mh_m33, Vector3f(-1, -2, -3));
  mh.mh_m44 = Matrix44f(mh.mh_m34);
  mh.mh_m44(3, 0) = 0.001f;
  mh.mh_av3Corners[0] = Vector3f(1, 1, 1);
  mh.mh_av3Corners[1] = Vector3f(-1, 0.5f, 2);
  mh.mh_saRects.New(3);
  for (long i = 0; i < 3; i++) mh.mh_saRects[i] = Box2l::FromSize(i, 2 * i, 10 + i, 20);
}

void ExpectSame(const CMathHolder &mhA, const CMathHolder &mhB)
{
  EXPECT_EQ(mhA.mh_v2, mhB.mh_v2);
  EXPECT_EQ(mhA.mh_v3, mhB.mh_v3);
  EXPECT_EQ(mhA.mh_v4, mhB.mh_v4);
  EXPECT_EQ(mhA.mh_v2l, mhB.mh_v2l);
  EXPECT_EQ(mhA.mh_box1, mhB.mh_box1);
  EXPECT_EQ(mhA.mh_box2, mhB.mh_box2);
  EXPECT_EQ(mhA.mh_box2l, mhB.mh_box2l);
  EXPECT_EQ(mhA.mh_box3, mhB.mh_box3);
  EXPECT_EQ(mhA.mh_pl, mhB.mh_pl);
  EXPECT_EQ(mhA.mh_q, mhB.mh_q);
  EXPECT_EQ(mhA.mh_qv, mhB.mh_qv);
  EXPECT_EQ(mhA.mh_m33, mhB.mh_m33);
  EXPECT_EQ(mhA.mh_m34, mhB.mh_m34);
  EXPECT_EQ(mhA.mh_m44, mhB.mh_m44);
  EXPECT_EQ(mhA.mh_av3Corners[0], mhB.mh_av3Corners[0]);
  EXPECT_EQ(mhA.mh_av3Corners[1], mhB.mh_av3Corners[1]);
  ASSERT_EQ(mhA.mh_saRects.Count(), mhB.mh_saRects.Count());
  for (long i = 0; i < mhA.mh_saRects.Count(); i++) {
    EXPECT_EQ(mhA.mh_saRects[i], mhB.mh_saRects[i]);
  }
}

class MathMeta : public ::testing::Test {
protected:
  void SetUp() override { mdUpdateTypeTables(); }
  void TearDown() override { md_bSaveTextFiles = 0; }
};

} // namespace

TEST_F(MathMeta, EveryTypeIsAPlainStructureOfItsLayout)
{
  ExpectDescribed("Vector2f", sizeof(Vector2f), {0, 4});
  ExpectDescribed("Vector3f", sizeof(Vector3f), {0, 4, 8});
  ExpectDescribed("Vector4f", sizeof(Vector4f), {0, 4, 8, 12});
  ExpectDescribed("Vector2l", sizeof(Vector2l), {0, 4});
  ExpectDescribed("Box1f", sizeof(Box1f), {0, 4});
  ExpectDescribed("Box2f", sizeof(Box2f), {0, 8});
  ExpectDescribed("Box2l", sizeof(Box2l), {0, 8});
  ExpectDescribed("Box3f", sizeof(Box3f), {0, 12});
  ExpectDescribed("Plane4f", sizeof(Plane4f), {0, 12});
  ExpectDescribed("Quaternion4f", sizeof(Quaternion4f), {0, 4, 8, 12});
  ExpectDescribed("QuatVect", sizeof(QuatVect), {0, 16});
  ExpectDescribed("Matrix33f", sizeof(Matrix33f), {0});
  ExpectDescribed("Matrix34f", sizeof(Matrix34f), {0});
  ExpectDescribed("Matrix44f", sizeof(Matrix44f), {0});
  // Matrices are their floats row by row, as files carry only one-dimensional arrays.
  CDataType_Struct *pdts = (CDataType_Struct *)mdFindByName("Matrix34f");
  EXPECT_STREQ((const char *)pdts->dtst_asmMembers[0].sm_tidType.GetName(), "FLOAT[12]");
}

TEST_F(MathMeta, AStructureOfEveryTypeRoundTripsInBothForms)
{
  CMathHolder mh;
  Fill(mh);
  for (int bText = 0; bText < 2; bText++) {
    SCOPED_TRACE(bText ? "text" : "binary");
    CMetaPointer mp;
    const std::string strError = ThrownBy([&] {
      md_bSaveTextFiles = bText;
      CStream strm;
      strm.CreateMemoryStream();
      mdInternalWrite_t(strm, CMetaPointer(mh.mdGetDataType(), &mh));
      md_bSaveTextFiles = 0;
      strm.SeekBeg_t(0);
      mp = mdInternalRead_t(strm);
    });
    ASSERT_EQ(strError, "");
    ASSERT_EQ(mp.mp_pdtType, CMathHolder::md_pdtDataType);
    ExpectSame(mh, *(CMathHolder *)mp.mp_pvObject);
    mdDelete(mp);
  }
}

TEST_F(MathMeta, CopiesOfTheStructureAreEqual)
{
  CMathHolder mh;
  Fill(mh);
  CMetaPointer mp;
  mdCopy(mp, CMetaPointer(mh.mdGetDataType(), &mh));
  ASSERT_EQ(mp.mp_pdtType, CMathHolder::md_pdtDataType);
  ExpectSame(mh, *(CMathHolder *)mp.mp_pvObject);
  mdDelete(mp);
}

TEST_F(MathMeta, TheLayoutsAreRecordedWithCoreTypes)
{
  // A change of a math type's saved layout needs a new format number and a new line in
  // tests/meta/data/CoreTypes.txt; the metadata tests check every line, this one that none of
  // the math types is missing.
  const std::string strList = ReadSystemFile("TestData/CoreTypes.txt");
  ASSERT_FALSE(strList.empty());
  CConsoleLines cl;
  EXPECT_EQ(mdCheckFormatDiscipline(strList.c_str()), 0) << cl.Text();
  for (const char *strName :
       {"Vector2f", "Vector3f", "Vector4f", "Vector2l", "Box1f", "Box2f", "Box2l", "Box3f",
        "Plane4f", "Quaternion4f", "QuatVect", "Matrix33f", "Matrix34f", "Matrix44f"}) {
    const std::string strRecord = (const char *)mdGetFormatRecord(mdFindByName(strName));
    EXPECT_NE(strList.find("\n" + strRecord), std::string::npos) << strRecord;
  }
}
