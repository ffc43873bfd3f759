#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace QuennelEngine;
using QuennelEngine::Test::CGuardBreachCounter;

TEST(StringAlloc, EmptyTextsShareOneArrayAndBalanceTheCounter)
{
  long ctBefore = strGetEmptyShareCount();
  {
    CString strA;
    CString strB("");
    EXPECT_EQ(strA.str_String, strB.str_String);
    EXPECT_TRUE(strIsSharedEmpty(strA.str_String));
    EXPECT_EQ(strGetEmptyShareCount(), ctBefore + 2);
    CString strC(strA);   // duplicating an empty text shares too
    CString strD(0);      // a zero length shares
    CString strE('x', 0); // zero copies share
    EXPECT_TRUE(strIsSharedEmpty(strC.str_String));
    EXPECT_TRUE(strIsSharedEmpty(strD.str_String));
    EXPECT_TRUE(strIsSharedEmpty(strE.str_String));
    strA = "abc";
    strA.Clear();
    EXPECT_TRUE(strIsSharedEmpty(strA.str_String));
  }
  EXPECT_EQ(strGetEmptyShareCount(), ctBefore);

  long ctWBefore = wstrGetEmptyShareCount();
  {
    CWString wstrA;
    CWString wstrB(u"");
    EXPECT_EQ(wstrA.wstr_String, wstrB.wstr_String);
    EXPECT_EQ(wstrGetEmptyShareCount(), ctWBefore + 2);
  }
  EXPECT_EQ(wstrGetEmptyShareCount(), ctWBefore);
}

TEST(StringAlloc, AllocResizeAndFreeKeepTerminators)
{
  char *pch = strAlloc(3);
  EXPECT_EQ(pch[3], 0);
  memcpy(pch, "abc", 3);
  pch = strResize(pch, 5);
  EXPECT_EQ(pch[5], 0);
  EXPECT_EQ(memcmp(pch, "abc", 3), 0);
  pch = strResize(pch, 0);
  EXPECT_TRUE(strIsSharedEmpty(pch));
  // Resizing the shared array allocates a block of its own and never writes the shared one.
  char *pchGrown = strResize(pch, 2);
  EXPECT_FALSE(strIsSharedEmpty(pchGrown));
  EXPECT_EQ(pchGrown[2], 0);
  EXPECT_EQ(strLen(strAlloc(0)), 0);
  strFree(pchGrown);

  unsigned short *pwch = wstrDuplicate((const unsigned short *)u"hé");
  EXPECT_EQ(wstrLen(pwch), 2);
  EXPECT_EQ(pwch[1], 0xE9);
  wstrFree(pwch);

  EXPECT_EQ(strLen(nullptr), 0);
  EXPECT_TRUE(strIsEmpty(nullptr));
  EXPECT_TRUE(strIsEmpty(""));
  EXPECT_FALSE(strIsEmpty(" "));

  CGuardBreachCounter gbc;
  char *pchBad = strAlloc(-5); // an impossible length is refused as empty
  EXPECT_TRUE(strIsSharedEmpty(pchBad));
  strFree(pchBad);
  EXPECT_EQ(gbc.Count(), 1);
}

TEST(String, ConstructionAssignmentAndIndexing)
{
  CString str("hello");
  CString strCopy(str);
  EXPECT_NE(str.str_String, strCopy.str_String); // deep copy
  EXPECT_STREQ(strCopy, "hello");

  CString strRepeat('z', 3);
  EXPECT_STREQ(strRepeat, "zzz");
  CString strPart("abcdef", 2);
  EXPECT_STREQ(strPart, "ab");
  CString strBuffer(8);
  EXPECT_STREQ(strBuffer, "");
  EXPECT_FALSE(strIsSharedEmpty(strBuffer.str_String));

  EXPECT_EQ(str[0], 'h');
  EXPECT_EQ(str[4], 'o');
  EXPECT_EQ(str[5], 0);
  EXPECT_EQ(str[99], 0);
  EXPECT_EQ(str[-1], 0);
  EXPECT_EQ(str[size_t(1)], 'e');

  // Assigning a part of itself must not read freed memory.
  str = str.str_String + 2;
  EXPECT_STREQ(str, "llo");
  str = str;
  EXPECT_STREQ(str, "llo");
  CString strMoved(std::move(str));
  EXPECT_STREQ(strMoved, "llo");
  EXPECT_STREQ(str, "");
  str = std::move(strMoved);
  EXPECT_STREQ(str, "llo");
  // A text of the same length is copied over the buffer; any other length gets its own, and
  // the shared empty array is never written.
  char *pchBefore = str.str_String;
  str = "abc";
  EXPECT_EQ(str.str_String, pchBefore);
  EXPECT_STREQ(str, "abc");
  str = "abcd";
  EXPECT_STREQ(str, "abcd");
  EXPECT_EQ(str[4], 0);
  str = "ab";
  EXPECT_STREQ(str, "ab");
  EXPECT_EQ(str[2], 0);
  str = "";
  EXPECT_TRUE(strIsSharedEmpty(str.str_String));
  str = "";
  EXPECT_TRUE(strIsSharedEmpty(str.str_String));
  str = "xy";
  strCopy = str;
  EXPECT_NE(strCopy.str_String, str.str_String);
  strCopy.str_String[0] = 'q';
  EXPECT_STREQ(str, "xy");

  CWString wstr(u"grüße");
  EXPECT_EQ(wstr.Length(), 5);
  EXPECT_EQ(wstr[2], 0xFC);
  EXPECT_EQ(wstr[5], 0);
  CWString wstrRepeat((unsigned short)0x416, 2);
  EXPECT_EQ(wstrRepeat[1], 0x416);
  wstr = wstr.wstr_String + 3;
  EXPECT_EQ(wstr.Length(), 2);
}

TEST(SmartString, GrowsByStepsInOneAllocation)
{
  CSmartString ss;
  EXPECT_STREQ(ss, "");
  EXPECT_EQ(ss.GrowthStep(), 16);
  ss = "0123456789";
  EXPECT_EQ(ss.Capacity(), 16);
  // 10 + 30 + 1 bytes need 41: three steps in one go gives 48, as stepwise growth would.
  ss += "012345678901234567890123456789";
  EXPECT_EQ(ss.Capacity(), 48);
  EXPECT_EQ(ss.Length(), 40);

  ss.Preallocate(0);
  EXPECT_EQ(ss.Capacity(), 1); // room for the terminator
  EXPECT_STREQ(ss, "");
  ss += "x";
  EXPECT_STREQ(ss, "x");
}

TEST(SmartString, EditingOperations)
{
  CSmartString ss;
  ss = "world";
  ss.InsertHead("hello ");
  EXPECT_STREQ(ss, "hello world");
  ss.InsertSubStr(",", 5);
  EXPECT_STREQ(ss, "hello, world");
  ss.InsertSubStr("!", 999);
  EXPECT_STREQ(ss, "hello, world!");
  ss.RemoveChar(5);
  EXPECT_STREQ(ss, "hello world!");
  ss.RemoveChar(99); // outside: nothing
  EXPECT_EQ(ss.Length(), 12);

  ss.SetAsSubstr("abcdef", 2, 3);
  EXPECT_STREQ(ss, "cde");
  ss.SetAsSubstr("abcdef", 4, 100);
  EXPECT_STREQ(ss, "ef");
  ss.SetAsHead("abcdef", 4);
  EXPECT_STREQ(ss, "abcd");

  ss = "  \n padded \n ";
  ss.TrimSpacesLeft();
  EXPECT_STREQ(ss, "padded \n ");
  ss.TrimSpacesRight();
  EXPECT_STREQ(ss, "padded");
  EXPECT_EQ(ss.Length(), 6);
  // Space freed on the left stays used: appending still works and keeps the text whole.
  ss += " and a longer tail that needs to grow the buffer";
  EXPECT_STREQ(ss, "padded and a longer tail that needs to grow the buffer");

  // Inserting a piece of itself, while the buffer moves.
  ss = "abc";
  ss.InsertSubStr(ss.ConstData(), 1);
  EXPECT_STREQ(ss, "aabcbc");
  ss = ss.ConstData() + 2;
  EXPECT_STREQ(ss, "bcbc");

  EXPECT_TRUE(ss == "BCBC");
  EXPECT_FALSE(ss == "bcb");
  EXPECT_TRUE(ss != "bcbcd");
  CSmartString ssCopy(ss);
  EXPECT_STREQ(ssCopy, "bcbc");
  ssCopy = ssCopy;
  EXPECT_STREQ(ssCopy, "bcbc");
}
