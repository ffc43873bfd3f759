#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace QuennelEngine;
using namespace QuennelEngine::Test;

TEST(Tags, AddGetAndDefined)
{
  CString str;
  tagAddTag(str, "Skin", "Red", ";");
  tagAddTag(str, "Size", "", ";");
  tagAddTag(str, "Kin", "3", ";");
  EXPECT_STREQ(str, "Skin;=Red;Size;=;Kin;=3;");
  EXPECT_STREQ(tagGetTagValue(str, "skin", ";"), "Red");
  EXPECT_STREQ(tagGetTagValue(str, "Size", ";"), "");
  EXPECT_TRUE(tagIsTagDefined(str, "Size", ";"));
  // Found at the start or right after a delimiter only: not inside a name, never as a value.
  EXPECT_STREQ(tagGetTagValue(str, "Kin", ";"), "3");
  EXPECT_FALSE(tagIsTagDefined(str, "Red", ";"));
  EXPECT_FALSE(tagIsTagDefined(str, "Ski", ";"));
  EXPECT_FALSE(tagIsTagDefined(str, "", ";"));
  EXPECT_STREQ(tagGetTagValue(str, "Missing", ";"), "");
  EXPECT_FALSE(tagIsTagDefined("xSkin;=1;", "Skin", ";"));
  // A value without its closing delimiter runs to the end; delimiters may be longer.
  EXPECT_STREQ(tagGetTagValue("A;=1;B;=two", "B", ";"), "two");
  EXPECT_STREQ(tagGetTagValue("A||=1||B||=2||", "B", "||"), "2");
}

TEST(Tags, SetAndRemove)
{
  CString str = "A;=1;B;=2;C;=3;";
  tagSetTagValue(str, "b", "20", ";");
  EXPECT_STREQ(str, "A;=1;C;=3;b;=20;");
  tagRemoveTag(str, "A", ";");
  EXPECT_STREQ(str, "C;=3;b;=20;");
  tagRemoveTag(str, "B", ";");
  EXPECT_STREQ(str, "C;=3;");
  tagRemoveTag(str, "Missing", ";");
  EXPECT_STREQ(str, "C;=3;");
  // Every occurrence goes, so a set value is the one read back.
  str = "D;=1;E;=2;D;=3;";
  tagSetTagValue(str, "D", "4", ";");
  EXPECT_STREQ(str, "E;=2;D;=4;");
  EXPECT_STREQ(tagGetTagValue(str, "D", ";"), "4");
  str = "X;=open";
  tagRemoveTag(str, "X", ";");
  EXPECT_STREQ(str, "");

  CLockOutputs lo; // the breach reports are expected
  CGuardBreachCounter gbc;
  str = "A;=1;";
  tagRemoveTag(str, "A", "");
  tagAddTag(str, nullptr, "1", ";");
  EXPECT_STREQ(str, "A;=1;");
  EXPECT_STREQ(tagGetTagValue(nullptr, "A", ";"), "");
  EXPECT_EQ(gbc.Count(), 3);
}

TEST(Tags, Substitution)
{
  const char *strTags = "Name;=Bob;Mark;={Name};";
  EXPECT_STREQ(tagSubstituteTags("Hi {Name}, { name }!", "{", "}", strTags, ";"), "Hi Bob, Bob!");
  // Unknown, empty and unclosed marks stay; a mark may begin inside one that failed.
  EXPECT_STREQ(tagSubstituteTags("{Who} {} { } {Name", "{", "}", strTags, ";"),
               "{Who} {} { } {Name");
  EXPECT_STREQ(tagSubstituteTags("{{Name}}", "{", "}", strTags, ";"), "{Bob}");
  // Values are not searched again; the opening mark is case-sensitive.
  EXPECT_STREQ(tagSubstituteTags("{Mark}", "{", "}", strTags, ";"), "{Name}");
  EXPECT_STREQ(tagSubstituteTags("TAG(Name) tag(Name)", "TAG(", ")", strTags, ";"),
               "Bob tag(Name)");
  EXPECT_STREQ(tagSubstituteTags("%Name%%Name%", "%", "%", strTags, ";"), "BobBob");
  CLockOutputs lo; // the breach reports are expected
  CGuardBreachCounter gbc;
  EXPECT_STREQ(tagSubstituteTags("{Name}", "", "}", strTags, ";"), "{Name}");
  EXPECT_EQ(gbc.Count(), 1);
}
