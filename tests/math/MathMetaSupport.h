#pragma once
// Checks of the math types' reflected descriptors, shared by the math tests.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <initializer_list>

namespace QuennelEngine {
namespace Test {

// The descriptor of `strName`: a plain structure of the C++ size with its members at `aslOffsets`.
inline void ExpectDescribed(const char *strName, long slSize,
                            std::initializer_list<long> aslOffsets)
{
  SCOPED_TRACE(strName);
  CDataType *pdt = mdFindByName(strName);
  ASSERT_NE(pdt, nullptr);
  ASSERT_EQ(pdt->dt_dttKind, DTT_STRUCT);
  EXPECT_EQ(pdt->dt_slSize, slSize);
  EXPECT_TRUE(pdt->dt_ulFlags & DTF_PLAIN);
  EXPECT_FALSE(pdt->dt_ulFlags & DTF_FAILED);
  CDataType_Struct *pdts = (CDataType_Struct *)pdt;
  ASSERT_EQ(pdts->dtst_ctMembers, (long)aslOffsets.size());
  long i = 0;
  for (long slOffset : aslOffsets) EXPECT_EQ(pdts->dtst_asmMembers[i++].sm_slOffset, slOffset);
}

} // namespace Test
} // namespace QuennelEngine
