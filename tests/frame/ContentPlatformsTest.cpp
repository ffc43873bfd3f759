// The content platforms: their list, their names both ways, and the file names they give.
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace QuennelEngine;

TEST(ContentPlatforms, MasksAndNamesConvertBothWays)
{
  CStaticStackArray<EPlatform> saPlatforms = corContentPlatformsEnumerate();
  ASSERT_EQ(saPlatforms.Count(), 2);
  EXPECT_EQ(saPlatforms[0], PLA_PC);
  EXPECT_EQ(saPlatforms[1], PLA_XBOX);

  EXPECT_STREQ(corContentPlatformToName(PLA_PC), "PC");
  EXPECT_STREQ(corContentPlatformToName(PLA_XBOX), "Xbox");
  EXPECT_STREQ(corContentPlatformToName(EPlatform(3)), "PC,Xbox");
  EXPECT_STREQ(corContentPlatformToName(PLA_ALL), "PC,Xbox");
  EXPECT_STREQ(corContentPlatformToName(EPlatform(0)), "<unknown_platform>");
  EXPECT_STREQ(corContentPlatformToName(EPlatform(4)), "<unknown_platform>");
  EXPECT_STREQ(corContentPlatformToName(EPlatform(6)), "Xbox");

  EXPECT_EQ(corContentPlatformFromName("PC"), PLA_PC);
  EXPECT_EQ(corContentPlatformFromName("Xbox"), PLA_XBOX);
  EXPECT_EQ(corContentPlatformFromName("xbox"), PLA_XBOX);
  EXPECT_EQ(corContentPlatformFromName("All"), PLA_ALL);
  EXPECT_EQ(corContentPlatformFromName("PC,Xbox"), EPlatform(0));
  EXPECT_EQ(corContentPlatformFromName("PLA_PC"), EPlatform(0));
  EXPECT_EQ(corContentPlatformFromName(""), EPlatform(0));
  EXPECT_EQ(corContentPlatformFromName(nullptr), EPlatform(0));
}

TEST(ContentPlatforms, OnlyOggFilesForTheXboxChangeTheirName)
{
  EXPECT_STREQ(corAdjustFilenameForPlatform(PLA_XBOX, "a/b.ogg"), "a/b.wma");
  EXPECT_STREQ(corAdjustFilenameForPlatform(PLA_XBOX, "Sounds/Boom.OGG"), "Sounds/Boom.wma");
  EXPECT_STREQ(corAdjustFilenameForPlatform(PLA_PC, "a/b.ogg"), "a/b.ogg");
  // The mask of every platform is no platform of its own.
  EXPECT_STREQ(corAdjustFilenameForPlatform(PLA_ALL, "a/b.ogg"), "a/b.ogg");
  EXPECT_STREQ(corAdjustFilenameForPlatform(PLA_XBOX, "a/b.ogg.bak"), "a/b.ogg.bak");
  EXPECT_STREQ(corAdjustFilenameForPlatform(PLA_XBOX, "a.ogg/b"), "a.ogg/b");
  EXPECT_STREQ(corAdjustFilenameForPlatform(PLA_XBOX, "a/bogg"), "a/bogg");
  EXPECT_STREQ(corAdjustFilenameForPlatform(PLA_XBOX, "a/b.rsc"), "a/b.rsc");
  EXPECT_STREQ(corAdjustFilenameForPlatform(PLA_XBOX, nullptr), "");
}
