#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace QuennelEngine;

TEST(KeyIdentifiers, ScanCodesWithAndWithoutTheExtendedFlag)
{
  sysInitConversionTable();
  EXPECT_EQ(sysGetKIDFromScanCode(28), KID_ENTER);
  EXPECT_EQ(sysGetKIDFromScanCode(28 + 256), KID_NUMENTER);
  EXPECT_EQ(sysGetKIDFromScanCode(29), KID_LCONTROL);
  EXPECT_EQ(sysGetKIDFromScanCode(29 + 256), KID_RCONTROL);
  EXPECT_EQ(sysGetKIDFromScanCode(72), KID_NUM8);
  EXPECT_EQ(sysGetKIDFromScanCode(72 + 256), KID_ARROWUP);
  EXPECT_EQ(sysGetKIDFromScanCode(1), KID_ESCAPE);
  EXPECT_EQ(sysGetKIDFromScanCode(88), KID_F12);
  // No key, and codes outside the table.
  EXPECT_EQ(sysGetKIDFromScanCode(0), -1);
  EXPECT_EQ(sysGetKIDFromScanCode(89), -1);
  EXPECT_EQ(sysGetKIDFromScanCode(511), -1);
  EXPECT_EQ(sysGetKIDFromScanCode(512), -1);
  EXPECT_EQ(sysGetKIDFromScanCode(-1), -1);
  EXPECT_EQ(sysGetKIDFromScanCode(-100000), -1);
  // Every table entry names a KID whose record has a name.
  for (long i = 0; i < SYS_SCANCODES; i++) {
    long iKID = sysGetKIDFromScanCode(i);
    if (iKID >= 0) {
      EXPECT_FALSE(sysGetKIDName(iKID, 0).IsEmpty()) << i;
    }
  }
}

TEST(KeyIdentifiers, CharactersOfKeysAndKeysOfCharacters)
{
  EXPECT_EQ(sysGetKIDFromCharacter('a'), KID_A);
  EXPECT_EQ(sysGetKIDFromCharacter('A'), KID_A);
  EXPECT_EQ(sysGetKIDFromCharacter('7'), KID_7); // the main key, not the pad's 151
  EXPECT_EQ(sysGetKIDFromCharacter('.'), KID_PERIOD);
  EXPECT_EQ(sysGetKIDFromCharacter('/'), KID_SLASH);
  EXPECT_EQ(sysGetKIDFromCharacter('-'), KID_MINUS);
  // '*' and '+' are shifted characters of main keys only, so unshifted they are the pad's.
  EXPECT_EQ(sysGetKIDFromCharacter('*'), KID_NUMMULTIPLY);
  EXPECT_EQ(sysGetKIDFromCharacter('+'), KID_NUMPLUS);
  EXPECT_EQ(sysGetKIDFromCharacter(' '), KID_SPACE);
  EXPECT_EQ(sysGetKIDFromCharacter('`'), KID_TILDE);
  // Shifted punctuation, characters no key types, and the upper half of the 8-bit range.
  EXPECT_EQ(sysGetKIDFromCharacter('!'), -1);
  EXPECT_EQ(sysGetKIDFromCharacter('~'), -1);
  EXPECT_EQ(sysGetKIDFromCharacter('\t'), -1);
  EXPECT_EQ(sysGetKIDFromCharacter(0), -1);
  for (int i = 128; i < 256; i++) EXPECT_EQ(sysGetKIDFromCharacter((char)i), -1) << i;

  EXPECT_EQ(sysGetCharFromKID(KID_A), 'a');
  EXPECT_EQ(sysGetShiftCharFromKID(KID_A), 'A');
  EXPECT_EQ(sysGetShiftCharFromKID(KID_8), '*');
  EXPECT_EQ(sysGetShiftCharFromKID(KID_EQUALS), '+');
  EXPECT_EQ(sysGetShiftCharFromKID(KID_APOSTROPHE), '"');
  EXPECT_EQ(sysGetShiftCharFromKID(KID_BACKSLASH), '|');
  EXPECT_EQ(sysGetCharFromKID(KID_NUM7), '7');
  EXPECT_EQ(sysGetShiftCharFromKID(KID_NUM7), '7');
  EXPECT_EQ(sysGetCharFromKID(KID_F1), 0);
  EXPECT_EQ(sysGetCharFromKID(3), 0); // unused KID
  EXPECT_EQ(sysGetCharFromKID(256), (char)-1);
  EXPECT_EQ(sysGetShiftCharFromKID(-1), (char)-1);
}

TEST(KeyIdentifiers, NamesAndRebuilding)
{
  EXPECT_STREQ(sysGetKIDName(KID_ESCAPE, 0), "Escape");
  EXPECT_STREQ(sysGetKIDName(KID_ESCAPE, 1), "Esc");
  EXPECT_STREQ(sysGetKIDName(KID_Q, 0), "Q");
  EXPECT_STREQ(sysGetKIDName(KID_NUMDECIMAL, 1), "N.");
  EXPECT_STREQ(sysGetKIDName(KID_LWIN, 1), "LW");
  EXPECT_STREQ(sysGetKIDName(KID_RWIN, 1), "RW"); // told apart from the left one
  EXPECT_STREQ(sysGetKIDName(KID_RWIN, 0), "Right Win");
  EXPECT_STREQ(sysGetKIDName(KID_PAUSE, 1), "Brk");
  EXPECT_STREQ(sysGetKIDName(3, 0), "");
  EXPECT_STREQ(sysGetKIDName(255, 1), "");
  EXPECT_STREQ(sysGetKIDName(300, 0), "error");
  EXPECT_STREQ(sysGetKIDName(-1, 1), "error");

  // Building again gives the same tables.
  long aiBefore[SYS_SCANCODES];
  for (long i = 0; i < SYS_SCANCODES; i++) aiBefore[i] = sysGetKIDFromScanCode(i);
  sysInitConversionTable();
  for (long i = 0; i < SYS_SCANCODES; i++) EXPECT_EQ(sysGetKIDFromScanCode(i), aiBefore[i]) << i;
  EXPECT_EQ(sysGetKIDFromCharacter('7'), KID_7);
}
