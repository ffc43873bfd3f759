#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace QuennelEngine;
using QuennelEngine::Test::CGuardBreachCounter;

static const unsigned short *W(const char16_t *wstr)
{
  return reinterpret_cast<const unsigned short *>(wstr);
}

TEST(Compare, OrdersWithAndWithoutCase)
{
  EXPECT_EQ(strCompare("abc", "ABC"), 0);
  EXPECT_EQ(strCompareS("abc", "ABC"), 1);
  EXPECT_EQ(strCompare("ab", "abc"), -1);
  EXPECT_EQ(strCompare("abc", "ab"), 1);
  EXPECT_EQ(strCompare("", ""), 0);
  EXPECT_EQ(strCompare("", "a"), -1);
  EXPECT_EQ(strCompare("a", ""), 1);
  EXPECT_EQ(strCompare("B", "a"), 1);
  EXPECT_EQ(strCompareS("B", "a"), -1);
  // '[' lies between the upper- and lower-case letters: folding decides the order.
  EXPECT_EQ(strCompare("[", "A"), -1);
  EXPECT_EQ(strCompareS("[", "A"), 1);
}

TEST(Compare, BytesAbove127OrderTheSameWhicheverTextEnds)
{
  // Signed bytes sort before the end of a text, from both sides, so the order is consistent.
  const char *strHigh = "a\xE9";
  EXPECT_EQ(strCompare(strHigh, "a"), -1);
  EXPECT_EQ(strCompare("a", strHigh), 1);
  EXPECT_EQ(strCompareS(strHigh, "a"), -1);
  EXPECT_EQ(strCompareS("a", strHigh), 1);
  EXPECT_EQ(strCompare("a\x80", "a\xFF"), -1);
  // Antisymmetric over a sample of byte pairs, and transitive through the end of text.
  const char *astr[] = {"a", "a\x80", "a\xFF", "ab", "a\x7F", "b"};
  for (const char *strA : astr) {
    for (const char *strB : astr) {
      EXPECT_EQ(strCompare(strA, strB), -strCompare(strB, strA)) << strA << " " << strB;
    }
  }
}

TEST(Compare, SixteenBitAndCollation)
{
  EXPECT_EQ(wstrCompare(W(u"ÉCOLE"), W(u"école")), 0);
  EXPECT_EQ(wstrCompareS(W(u"ÉCOLE"), W(u"école")), -1);
  EXPECT_EQ(wstrCompare(W(u"ab"), W(u"abc")), -1);
  EXPECT_EQ(wstrCompare(W(u"\u4E00"), W(u"z")), 1); // unsigned comparison

  // A table that puts 'b' (code 98) before 'a' (code 97): units 97 and 98 map to 2 and 1.
  unsigned short awchTable[101] = {};
  for (int i = 0; i < 100; i++) awchTable[i] = (unsigned short)(i + 1);
  awchTable[96] = 2;
  awchTable[97] = 1;
  wstrSetCollation(awchTable);
  EXPECT_EQ(wstrCompare(W(u"b"), W(u"a")), -1);
  EXPECT_EQ(wstrCompare(W(u"B"), W(u"a")), -1); // folded before collation
  EXPECT_EQ(wstrCompareS(W(u"b"), W(u"a")), -1);
  EXPECT_EQ(wstrCompare(W(u"x"), W(u"b")), 1);
  EXPECT_EQ(wstrCompare(W(u"b"), W(u"b")), 0);
  EXPECT_EQ(wstrCompare(W(u"b"), W(u"bb")), -1);
  // Code points at or beyond the table's length compare as themselves.
  EXPECT_EQ(wstrCompare(W(u"\u00E9"), W(u"\u00E8")), 1);
  wstrSetCollation(nullptr);
  EXPECT_EQ(wstrCompare(W(u"b"), W(u"a")), 1);
}

TEST(Compare, HeadsTailsAndOperators)
{
  EXPECT_EQ(strCompareHead("Textures/a.tex", "TEXTURES/"), 0);
  EXPECT_EQ(strCompareHeadS("Textures/a.tex", "TEXTURES/"), 1);
  EXPECT_EQ(strCompareHead("ab", "abc"), -1);
  EXPECT_EQ(strCompareHead("abd", "abc"), 1);
  EXPECT_EQ(strCompareHead("abc", ""), 0);
  EXPECT_EQ(strCompareTail("file.TGA", ".tga"), 0);
  EXPECT_EQ(strCompareTailS("file.TGA", ".tga"), -1);
  EXPECT_EQ(strCompareTail("a", "ba"), -1);
  EXPECT_TRUE(strHasHead("Hello", "he"));
  EXPECT_FALSE(strHasHeadS("Hello", "he"));
  EXPECT_TRUE(strHasTail("Hello", "LLO"));
  EXPECT_FALSE(strHasTailS("Hello", "LLO"));
  EXPECT_TRUE(wstrHasTail(W(u"GRÜSSE"), W(u"üsse")));
  EXPECT_FALSE(wstrHasTailS(W(u"GRÜSSE"), W(u"üsse")));
  EXPECT_FALSE(wstrHasTail(W(u"Grüße"), W(u"SSE"))); // no case mapping turns ß into ss
  EXPECT_TRUE(wstrHasHead(W(u"ÜBER"), W(u"über")));

  CString str("Name");
  EXPECT_TRUE(str == "NAME");
  EXPECT_TRUE("name" == str);
  EXPECT_TRUE(str == CString("nAmE"));
  EXPECT_TRUE(str != "Names");
  CWString wstr(u"Ärger");
  EXPECT_TRUE(wstr == CWString(u"ärger"));
  EXPECT_TRUE(wstr != W(u"ärgern"));

  CGuardBreachCounter gbc;
  EXPECT_EQ(strCompare(nullptr, ""), 0); // a missing text reads as empty, reported
  EXPECT_EQ(gbc.Count(), 1);
}

TEST(Hash, FoldsCaseAndRotates)
{
  EXPECT_EQ(strGetHash("abc"), strGetHash("ABC"));
  EXPECT_NE(strGetHashS("abc"), strGetHashS("ABC"));
  EXPECT_EQ(strGetHash(""), 0u);
  EXPECT_EQ(strGetHashS("A"), 65u);
  EXPECT_EQ(strGetHash("ab"), (65u << 4) + 66u);
  // Bytes above 127 are added sign-extended.
  EXPECT_EQ(strGetHashS("\xFF"), 0xFFFFFFFFu);
  // Nine characters rotate the first one all the way round (4 bits each, 32-bit word).
  unsigned long ul = strGetHashS("a");
  EXPECT_EQ(strGetHashS("a\x01"), (ul << 4) + 1);
  EXPECT_EQ(wstrGetHash(W(u"é")), 0xC9u);
  EXPECT_EQ(wstrGetHashS(W(u"é")), 0xE9u);
  EXPECT_EQ(wstrGetHash(W(u"abc")), strGetHash("abc"));
}

TEST(Matching, WildcardsEscapesAndTheStepLimit)
{
  EXPECT_TRUE(strMatches("Data/Tex.tga", "data/*.TGA"));
  EXPECT_TRUE(strMatches("a*b", "a\\*b"));
  EXPECT_FALSE(strMatches("axb", "a\\*b"));
  EXPECT_FALSE(strMatchesS("ABC", "a*"));
  EXPECT_TRUE(strMatchesS("abc", "a*"));
  EXPECT_TRUE(strMatches("abc", "a?c"));
  EXPECT_TRUE(strMatches("a?c", "a\\?c"));
  EXPECT_FALSE(strMatches("abc", "a\\?c"));
  EXPECT_TRUE(strMatches("a\\c", "a\\c")); // a backslash before anything else is itself
  EXPECT_TRUE(strMatches("", "***"));
  EXPECT_FALSE(strMatches("", "?"));
  EXPECT_TRUE(strMatches("abc", "a**c"));
  EXPECT_TRUE(strMatches("abcdef", "a*??")); // trailing '?' after a star absorb the rest
  EXPECT_FALSE(strMatches("ab", "a*??"));
  EXPECT_TRUE(strMatches("xaxb", "*a?b"));
  EXPECT_FALSE(strMatches("abc", "abcd"));
  EXPECT_FALSE(strMatches("abcd", "abc"));
  EXPECT_TRUE(strMatches("abcd", "*"));

  // A match that needs more than 200 steps fails whatever the texts.
  CString strLong('a', 300);
  EXPECT_FALSE(strMatches(strLong, "*b"));
  EXPECT_FALSE(strMatches(strLong, "*"));
  CString strShort('a', 150);
  EXPECT_TRUE(strMatches(strShort, "*"));

  EXPECT_TRUE(wstrMatches(W(u"Ärger.TXT"), W(u"ä*.txt")));
  EXPECT_FALSE(wstrMatchesS(W(u"Ärger.TXT"), W(u"ä*.txt")));
}

TEST(Search, CharactersSubstringsAndSets)
{
  EXPECT_EQ(strFindChar("abcABC", 'B'), 1);
  EXPECT_EQ(strFindCharS("abcABC", 'B'), 4);
  EXPECT_EQ(strFindCharB("abcABC", 'b'), 4);
  EXPECT_EQ(strFindCharSB("abcABC", 'b'), 1);
  EXPECT_EQ(strFindChar("abc", 'x'), -1);
  EXPECT_EQ(strFindChar("abc", 0), -1);

  EXPECT_EQ(strFindSubstr("abc", ""), -1);
  EXPECT_EQ(strFindSubstr("", "a"), -1);
  EXPECT_EQ(strFindSubstr("ab", "abc"), -1);
  EXPECT_EQ(strFindSubstr("xxABCabc", "abc"), 2);
  EXPECT_EQ(strFindSubstrS("xxABCabc", "abc"), 5);
  EXPECT_EQ(strFindSubstrB("abcxxABC", "abc"), 5);
  EXPECT_EQ(strFindSubstrSB("abcxxABC", "abc"), 0);
  EXPECT_EQ(strFindSubstr("aaab", "aab"), 1);
  EXPECT_EQ(strFindSubstr("abab", "abc"), -1);
  EXPECT_EQ(strFindSubstrB("aaaa", "aa"), 2);

  EXPECT_EQ(strFindFromSet("path/to\\file", "/\\"), 4);
  EXPECT_EQ(strFindFromSetB("path/to\\file", "/\\"), 7);
  EXPECT_EQ(strFindFromSet("xyzA", "a"), 3);
  EXPECT_EQ(strFindFromSetS("xyzA", "a"), -1);
  EXPECT_EQ(strFindFromSetSB("aXa", "a"), 2);
  EXPECT_EQ(strFindNotFromSet("   x  ", " "), 3);
  EXPECT_EQ(strFindNotFromSetB("   x  ", " "), 3);
  EXPECT_EQ(strFindNotFromSet("aAa", "a"), -1);
  EXPECT_EQ(strFindNotFromSetS("aAa", "a"), 1);
  EXPECT_EQ(strFindNotFromSetSB("aAab", "ab"), 1);
  EXPECT_EQ(strFindFromSet("\xE9t\xE9", "\xE9"), 0); // bytes above 127 are set members too

  EXPECT_EQ(wstrFindChar(W(u"aÉé"), 0xE9), 1);
  EXPECT_EQ(wstrFindCharS(W(u"aÉé"), 0xE9), 2);
  EXPECT_EQ(wstrFindSubstrB(W(u"ÄbÄbä"), W(u"äb")), 2);
  EXPECT_EQ(wstrFindFromSet(W(u"x.y/z"), W(u"/.")), 1);
  EXPECT_EQ(wstrFindNotFromSetSB(W(u"abcc"), W(u"c")), 1);

  EXPECT_EQ(strGetChar("abc", 1), 'b');
  EXPECT_EQ(strGetChar("abc", 3), 0);
  EXPECT_EQ(strGetChar("abc", 100), 0);
  EXPECT_EQ(strGetChar("abc", -1), 0);
  const char *str = "abc";
  EXPECT_EQ(strGetAtOffset(str, 2), str + 2);
  EXPECT_EQ(strGetAtOffset(str, 50), str + 3);
  EXPECT_EQ(strGetAtOffset(str, -4), str);
  const unsigned short *wstr = W(u"ab");
  EXPECT_EQ(strGetAtOffset(wstr, 9), wstr + 2);
  EXPECT_EQ(wstrGetChar(wstr, 1), 'b');
}
