// The ray, oriented box and primitive description as members of saved structures: their
// descriptors follow their C++ layouts, their layouts are recorded with Core's types, and a
// structure holding them round-trips through binary and text metadata files.
#include "MathMetaSupport.h"

#include <gtest/gtest.h>

#include <string.h>

#include <string>

using namespace QuennelEngine;
using namespace QuennelEngine::Test;

namespace {

class CShapeHolder : public CObject {
  MD_DECLARE_CLASS(CShapeHolder)
  Ray3f sh_ray = Ray3f(Vector3f(0.0f), Vector3f(0.0f));
  OBox3f sh_ob = OBox3f(Vector3f(0.0f), Matrix33f(0.0f), Vector3f(0.0f));
  CPrimitiveDesc sh_pd = CPrimitiveDesc(PT_BOX, Vector3f(0.0f), Matrix34f(0.0f));
};

MD_CLASS_BEGIN(CShapeHolder, CObject, 1)
MD_MEMBER(sh_ray, 0, "Ray")
MD_MEMBER(sh_ob, 0, "OBox")
MD_MEMBER(sh_pd, 0, "Primitive")
MD_CLASS_END()

} // namespace

TEST(ShapeMeta, TypesArePlainStructuresOfTheirLayoutsAndRecorded)
{
  mdUpdateTypeTables();
  ExpectDescribed("Ray3f", sizeof(Ray3f), {0, 12});
  ExpectDescribed("OBox3f", sizeof(OBox3f), {0, 12, 48});
  ExpectDescribed("CPrimitiveDesc", sizeof(CPrimitiveDesc), {0, 4, 16});
  const std::string strList = ReadSystemFile("TestData/CoreTypes.txt");
  ASSERT_FALSE(strList.empty());
  for (const char *strName : {"Ray3f", "OBox3f", "CPrimitiveDesc"}) {
    const std::string strRecord = (const char *)mdGetFormatRecord(mdFindByName(strName));
    EXPECT_NE(strList.find("\n" + strRecord), std::string::npos) << strRecord;
  }
}

TEST(ShapeMeta, AStructureOfShapesRoundTripsInBothForms)
{
  mdUpdateTypeTables();
  CShapeHolder sh;
  sh.sh_ray = Ray3f(Vector3f(1, 2, 3), Vector3f(-0.25f, 1.0f / 3.0f, 7e-8f));
  sh.sh_ob = OBox3f(Vector3f(4, 5, 6), mthAxisAngleToMatrix(Vector4f(0, 1, 0, 0.3f)),
                    Vector3f(1, 2, 3.5f));
  sh.sh_pd = CPrimitiveDesc(PT_CAPSULE, Vector3f(0.5f, 0.5f, 2),
                            Matrix34f(mthIdentityM33f(), Vector3f(-1, -2, -3)));
  for (int bText = 0; bText < 2; bText++) {
    SCOPED_TRACE(bText ? "text" : "binary");
    CMetaPointer mp;
    const std::string strError = ThrownBy([&] {
      md_bSaveTextFiles = bText;
      CStream strm;
      strm.CreateMemoryStream();
      mdInternalWrite_t(strm, CMetaPointer(sh.mdGetDataType(), &sh));
      md_bSaveTextFiles = 0;
      strm.SeekBeg_t(0);
      mp = mdInternalRead_t(strm);
    });
    md_bSaveTextFiles = 0;
    ASSERT_EQ(strError, "");
    ASSERT_EQ(mp.mp_pdtType, CShapeHolder::md_pdtDataType);
    const CShapeHolder &shRead = *(CShapeHolder *)mp.mp_pvObject;
    EXPECT_EQ(memcmp(&shRead.sh_ray, &sh.sh_ray, sizeof(Ray3f)), 0);
    EXPECT_EQ(memcmp(&shRead.sh_ob, &sh.sh_ob, sizeof(OBox3f)), 0);
    EXPECT_EQ(memcmp(&shRead.sh_pd, &sh.sh_pd, sizeof(CPrimitiveDesc)), 0);
    mdDelete(mp);
  }
}
