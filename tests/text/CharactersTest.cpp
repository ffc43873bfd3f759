#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace QuennelEngine;

TEST(Characters, EightBitClasses)
{
  EXPECT_TRUE(chIsValidChar(0));
  EXPECT_TRUE(chIsSpace('\n'));
  EXPECT_FALSE(chIsValidChar('\t'));
  EXPECT_EQ(chToValidChar('\t'), 31);
  EXPECT_EQ(chASCIIToUTF16('\t'), 32);
}
