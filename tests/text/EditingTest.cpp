#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>

using namespace QuennelEngine;

static const unsigned short *W(const char16_t *wstr)
{
  return reinterpret_cast<const unsigned short *>(wstr);
}

TEST(Editing, SetInsertDeleteClampToTheText)
{
  CString str("abc");
  strSetChar(str, 1, 'X');
  strSetChar(str, 3, 'Y'); // past the end: ignored
  strSetChar(str, -1, 'Y');
  EXPECT_STREQ(str, "aXc");
  strSetSubstr(str, 2, "1234");
  EXPECT_STREQ(str, "aX1234");
  strSetSubstr(str, 1, "--");
  EXPECT_STREQ(str, "a--234");
  strInsertChar(str, 0, '>');
  strInsertSubstr(str, 99, "<");
  strInsertSubstr(str, 3, "__");
  EXPECT_STREQ(str, ">a-__-234<");
  strInsertHead(str, "[");
  strInsertTail(str, "]");
  EXPECT_STREQ(str, "[>a-__-234<]");
  strDeleteChar(str, 0);
  strDeleteChar(str, 100);
  strDeleteSubstr(str, 2, 4);
  EXPECT_STREQ(str, ">a234<]");
  strDeleteSubstr(str, 5, 100);
  EXPECT_STREQ(str, ">a234");
  strDeleteHead(str, 2);
  strDeleteTail(str, 1);
  EXPECT_STREQ(str, "23");
  strDeleteTail(str, 10);
  EXPECT_STREQ(str, "");
  EXPECT_TRUE(strIsSharedEmpty(str.str_String));

  // Inserting a part of the string into itself.
  str = "abc";
  strInsertSubstr(str, 1, str.str_String + 1);
  EXPECT_STREQ(str, "abcbc");
  strSetSubstr(str, 3, str.str_String);
  EXPECT_STREQ(str, "abcabcbc");
}

TEST(Editing, GetExtractSplit)
{
  EXPECT_STREQ(strGetSubstr("abcdef", 2, 3), "cde");
  EXPECT_STREQ(strGetSubstr("abcdef", 4, 10), "ef");
  EXPECT_STREQ(strGetSubstr("abcdef", -3, 2), "ab");
  EXPECT_STREQ(strGetHead("abcdef", 2), "ab");
  EXPECT_STREQ(strGetTail("abcdef", 2), "ef");
  EXPECT_STREQ(strGetTail("abcdef", 20), "abcdef");
  EXPECT_STREQ(strGetHead("abcdef", -1), "");

  CString str("key=value");
  CString strKey = strExtractHead(str, 3);
  EXPECT_STREQ(strKey, "key");
  EXPECT_STREQ(str, "=value");
  EXPECT_STREQ(strExtractTail(str, 5), "value");
  EXPECT_STREQ(str, "=");
  str = "0123456";
  EXPECT_STREQ(strExtractSubstr(str, 2, 3), "234");
  EXPECT_STREQ(str, "0156");

  str = "first\nsecond\n\nlast";
  EXPECT_STREQ(strExtractFirstLine(str), "first");
  EXPECT_STREQ(strExtractFirstLine(str), "second");
  EXPECT_STREQ(strExtractFirstLine(str), "");
  EXPECT_STREQ(strExtractFirstLine(str), "last");
  EXPECT_STREQ(str, "");

  CString strHead, strTail;
  strSplit("abcdef", 2, strHead, strTail);
  EXPECT_STREQ(strHead, "ab");
  EXPECT_STREQ(strTail, "cdef");
  // Splitting a string into itself.
  str = "left|right";
  strSplit(str, 4, str, strTail);
  EXPECT_STREQ(str, "left");
  EXPECT_STREQ(strTail, "|right");
  strSplit(strTail, 1, strHead, strTail);
  EXPECT_STREQ(strHead, "|");
  EXPECT_STREQ(strTail, "right");
}

TEST(Editing, ReplaceAndRemoveForms)
{
  CString str("aXa xa");
  EXPECT_TRUE(strReplaceSubstr(str, "xa", "-"));
  EXPECT_STREQ(str, "a- xa");
  str = "aXa xa";
  EXPECT_TRUE(strReplaceSubstrS(str, "xa", "-"));
  EXPECT_STREQ(str, "aXa -");
  str = "xa Xa";
  EXPECT_TRUE(strReplaceSubstrB(str, "xa", "-"));
  EXPECT_STREQ(str, "xa -");
  str = "xa Xa";
  EXPECT_TRUE(strReplaceSubstrSB(str, "xa", "-"));
  EXPECT_STREQ(str, "- Xa");
  str = "xa Xa xA";
  EXPECT_TRUE(strReplaceSubstrA(str, "xa", "y"));
  EXPECT_STREQ(str, "y y y");
  str = "xa Xa xA";
  EXPECT_TRUE(strReplaceSubstrSA(str, "xa", "y"));
  EXPECT_STREQ(str, "y Xa xA");
  // A replacement that contains what it replaces ends.
  str = "aa";
  EXPECT_TRUE(strReplaceSubstrA(str, "a", "aa"));
  EXPECT_STREQ(str, "aaaa");
  EXPECT_FALSE(strReplaceSubstr(str, "", "x"));
  EXPECT_FALSE(strReplaceSubstr(str, "b", "x"));
  EXPECT_STREQ(str, "aaaa");

  str = "Textures/Stone.tex";
  EXPECT_TRUE(strRemoveHead(str, "textures/"));
  EXPECT_FALSE(strRemoveTailS(str, ".TEX"));
  EXPECT_TRUE(strRemoveTail(str, ".TEX"));
  EXPECT_STREQ(str, "Stone");
  EXPECT_FALSE(strRemoveHeadS(str, "stone"));
  EXPECT_FALSE(strRemoveHead(str, "Stones"));
  EXPECT_FALSE(strRemoveTail(str, "long Stone"));
}

// Replacing every occurrence works left to right without overlaps, and rebuilds the text once:
// 200,000 occurrences rebuilt one by one copy about 80 G characters, far past the time limit.
TEST(Editing, ReplaceAllIsOnePassWithoutOverlaps)
{
  CString str = "aaaaa";
  EXPECT_TRUE(strReplaceSubstrA(str, "aa", "b"));
  EXPECT_STREQ(str, "bba");
  str = "AbabX";
  EXPECT_TRUE(strReplaceSubstrA(str, "AB", ""));
  EXPECT_STREQ(str, "X");
  str = "abc";
  EXPECT_FALSE(strReplaceSubstrA(str, "abcd", "x"));
  EXPECT_STREQ(str, "abc");
  EXPECT_TRUE(strReplaceSubstrSA(str, "abc", "abcabc"));
  EXPECT_STREQ(str, "abcabc");
  CWString wstr(W(u"\u0416x\u0416"));
  EXPECT_TRUE(wstrReplaceSubstrA(wstr, W(u"\u0416"), W(u"yy")));
  EXPECT_TRUE(wstr == CWString(W(u"yyxyy")));

  std::string strMany;
  for (int i = 0; i < 200000; i++) strMany += "k=";
  str = strMany.c_str();
  EXPECT_TRUE(strReplaceSubstrA(str, "=", "\\n"));
  EXPECT_EQ(str.Length(), 600000);
  EXPECT_EQ(std::string(str.str_String).substr(0, 9), "k\\nk\\nk\\n");
}

TEST(Editing, TrimConvertConcatAndUndecorate)
{
  CString str(" \n x y \n ");
  strTrimSpacesLeft(str);
  EXPECT_STREQ(str, "x y \n ");
  strTrimSpacesRight(str);
  EXPECT_STREQ(str, "x y");
  str = "\t x \t"; // a tab is not of the space class
  strTrimSpaces(str);
  EXPECT_STREQ(str, "\t x \t");
  str = "   ";
  strTrimSpaces(str);
  EXPECT_STREQ(str, "");

  EXPECT_STREQ(strToLower("MiXeD 1\xC9"), "mixed 1\xC9");
  EXPECT_STREQ(strToUpper("MiXeD"), "MIXED");
  EXPECT_STREQ(strToValidChar("a\tb\x7F"), "a\x1F"
                                           "b\x1F");
  EXPECT_STREQ(strReverse("abc"), "cba");
  EXPECT_STREQ(strReverse(""), "");

  CString strA("ab");
  EXPECT_STREQ(strA + "cd", "abcd");
  EXPECT_STREQ("cd" + strA, "cdab");
  EXPECT_STREQ(strA + strA, "abab");
  strA += "!";
  strA += strA;
  EXPECT_STREQ(strA, "ab!ab!");
  EXPECT_STREQ(strConcat("x", ""), "x");
  EXPECT_STREQ(strFromPsz("p"), "p");
  EXPECT_STREQ(strFromChar('c'), "c");
  EXPECT_STREQ(strFromChar(0), "");
  EXPECT_STREQ(strFromIndex(-42), "-42");
  EXPECT_STREQ(strFromFloat(1.5f), "1.5");
  EXPECT_STREQ(strFromObjPtr((const void *)0x12AB), "0x000012AB");
  EXPECT_STREQ(strFromObjPtr((const void *)0x80000000), "0x80000000");
  EXPECT_EQ(wstrFromIndex(7), CWString(u"7"));
  EXPECT_EQ(wstrFromObjPtr((const void *)0xFF), CWString(u"0x000000FF"));

  EXPECT_STREQ(strUndecorated("^bBold^r and ^^caret"), "Bold and ^caret");
  EXPECT_STREQ(strUndecorated("^cFF0000red^C"), "red");
  EXPECT_STREQ(strUndecorated("^a80faded"), "faded");
  EXPECT_STREQ(strUndecorated("^f9xy"), "y");
  EXPECT_STREQ(strUndecorated("^zkeep"), "^zkeep");
  EXPECT_STREQ(strUndecorated("end^"), "end^");
  EXPECT_STREQ(strUndecorated("^c12"), ""); // a colour cut short by the end
  EXPECT_EQ(strLengthUndecorated("^bBold^r and ^^caret ^q"), 18);
}

TEST(Editing, SixteenBitForms)
{
  CWString wstr(u"straße");
  wstrInsertTail(wstr, W(u"n"));
  wstrInsertChar(wstr, 0, 0x42);
  EXPECT_EQ(wstr, CWString(u"Bstraßen"));
  EXPECT_TRUE(wstrReplaceSubstrA(wstr, W(u"SS"), W(u"ss")) == false);
  EXPECT_TRUE(wstrReplaceSubstr(wstr, W(u"SSEN"), W(u"x")) == false);
  EXPECT_TRUE(wstrReplaceSubstr(wstr, W(u"ẞEN"), W(u"x")) == false);
  EXPECT_TRUE(wstrReplaceSubstr(wstr, W(u"ßEN"), W(u"!")));
  EXPECT_EQ(wstr, CWString(u"Bstra!"));
  EXPECT_EQ(wstrGetTail(wstr, 2), CWString(u"a!"));
  EXPECT_EQ(wstrToUpper(W(u"ÿé")), CWString(u"ŸÉ"));
  EXPECT_EQ(wstrToLower(W(u"ÀÉ")), CWString(u"àé"));
  CWString wstrSpaces(u"\u00A0 x\u00A0");
  wstrTrimSpaces(wstrSpaces);
  EXPECT_EQ(wstrSpaces, CWString(u"x"));
  CWString wstrHead, wstrTail;
  wstrSplit(W(u"αβγ"), 1, wstrHead, wstrTail);
  EXPECT_EQ(wstrHead, CWString(u"α"));
  EXPECT_EQ(wstrTail, CWString(u"βγ"));
  CWString wstrLines(u"one\ntwo");
  EXPECT_EQ(wstrExtractFirstLine(wstrLines), CWString(u"one"));
  EXPECT_EQ(wstrLines, CWString(u"two"));
  EXPECT_EQ(wstrUndecorated(W(u"^bé^^")), CWString(u"é^"));
  EXPECT_EQ(wstrReverse(W(u"ab")) + W(u"c"), CWString(u"bac"));
}
