#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace QuennelEngine;

TEST(Characters, EightBitClassTable)
{
  EXPECT_EQ(chIsOfType(0, 0xFF), CHC_VALID);
  EXPECT_EQ(chIsOfType('\n', 0xFF), CHC_VALID | CHC_SPACE);
  EXPECT_EQ(chIsOfType(31, 0xFF), CHC_VALID);
  EXPECT_EQ(chIsOfType('\t', 0xFF), 0);
  EXPECT_EQ(chIsOfType(127, 0xFF), 0);
  EXPECT_EQ(chIsOfType(' ', 0xFF), CHC_VALID | CHC_SPACE | CHC_PRINT);
  EXPECT_EQ(chIsOfType('~', 0xFF), CHC_VALID | CHC_PUNCT | CHC_PRINT);
  EXPECT_EQ(chIsOfType('5', 0xFF), CHC_VALID | CHC_DIGIT | CHC_PRINT);
  EXPECT_EQ(chIsOfType('Q', 0xFF), CHC_VALID | CHC_ALPHA | CHC_UPPER | CHC_PRINT);
  EXPECT_EQ(chIsOfType('q', 0xFF), CHC_VALID | CHC_ALPHA | CHC_LOWER | CHC_PRINT);
  EXPECT_EQ(chIsOfType((char)0xE9, 0xFF), 0); // bytes 128-255 have no class
  EXPECT_TRUE(chIsPunct('@') && chIsPunct('`') && chIsPunct('['));
  EXPECT_FALSE(chIsAlpha('@'));
  for (int c = 0; c < 256; c++) {
    char ch = (char)c;
    EXPECT_EQ(chToUpper(ch), c >= 'a' && c <= 'z' ? (char)(c - 32) : ch);
    EXPECT_EQ(chToLower(ch), c >= 'A' && c <= 'Z' ? (char)(c + 32) : ch);
  }
}

TEST(Characters, SixteenBitTablesFollowUnicode)
{
  // The ASCII range agrees with the 8-bit table.
  for (int c = 0; c < 128; c++) {
    EXPECT_EQ(wchIsOfType((unsigned short)c, 0xFF), chIsOfType((char)c, 0xFF)) << c;
  }
  EXPECT_EQ(wchIsOfType(0x7F, 0xFF), 0);
  EXPECT_EQ(wchIsOfType(0x85, 0xFF), 0);
  EXPECT_EQ(wchIsOfType(0xA0, 0xFF), CHC_VALID | CHC_SPACE | CHC_PRINT);
  EXPECT_TRUE(wchIsDigit(0xB2) && wchIsDigit(0xBC));
  EXPECT_TRUE(wchIsUpper(0xC9) && wchIsLower(0xE9));
  EXPECT_TRUE(wchIsLower(0x1BB));         // an "other letter" counts as lower case
  EXPECT_TRUE(wchIsPunct(0xA7));          // section sign
  EXPECT_EQ(wchIsOfType(0x510, 0xFF), 0); // beyond the table
  EXPECT_FALSE(wchIsValidChar(0x4E00));

  EXPECT_EQ(wchToUpper(0xFF), 0x178);
  EXPECT_EQ(wchToUpper(0xB5), 0x39C);
  EXPECT_EQ(wchToUpper(0x131), 0x49);
  EXPECT_EQ(wchToLower(0x130), 0x69);
  EXPECT_EQ(wchToLower(0x416), 0x436);
  EXPECT_EQ(wchToUpper(0xDF), 0xDF); // no single-character upper case
  EXPECT_EQ(wchToUpper(0x4E00), 0x4E00);
  EXPECT_EQ(wchToUpper(0x10FF), 0x10FF);
}

TEST(Characters, ValidityAndConversions)
{
  EXPECT_EQ(chToValidChar('\t'), 31);
  EXPECT_EQ(chToValidChar('a'), 'a');
  EXPECT_EQ(chToValidChar((char)0xC0), 31);
  EXPECT_EQ(wchToValidWChar(0x9F), 31);
  EXPECT_EQ(wchToValidWChar(0xE9), 0xE9);

  EXPECT_EQ(chASCIIToUTF16('\t'), 32);
  EXPECT_EQ(chASCIIToUTF16(127), 31);
  EXPECT_EQ(chASCIIToUTF16((char)0xE9), 31);
  EXPECT_EQ(chASCIIToUTF16('A'), 'A');
  EXPECT_EQ(chASCIIToUTF16(0), 0);
  EXPECT_EQ(chASCIIToUTF16(5), 31);
  EXPECT_EQ(wchUTF16ToASCII('\t'), ' ');
  EXPECT_EQ(wchUTF16ToASCII(127), 31);
  EXPECT_EQ(wchUTF16ToASCII(0xE9), 31);
  EXPECT_EQ(wchUTF16ToASCII('z'), 'z');
  EXPECT_EQ(wchUTF16ToASCII(3), 31);
}

TEST(Characters, FileNameCharacters)
{
  const char *strGood = " 09AZaz!#$%&'()+,-.;=[]^_{}~@`Ww";
  for (const char *pch = strGood; *pch; pch++) EXPECT_TRUE(chIsValidFileNameChar(*pch)) << *pch;
  const char *strBad = "/\\:*?\"<>|\t";
  for (const char *pch = strBad; *pch; pch++) EXPECT_FALSE(chIsValidFileNameChar(*pch)) << *pch;
  EXPECT_FALSE(chIsValidFileNameChar((char)0xE9));
  EXPECT_FALSE(chIsValidFileNameChar(0));
  EXPECT_TRUE(wchIsValidFileNameChar('W'));
  EXPECT_FALSE(wchIsValidFileNameChar(0xE9));
  EXPECT_FALSE(wchIsValidFileNameChar('/'));
}
