#include "twitter/char_refs.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

static std::u16string expand(const std::string& input) {
  std::u16string output(expandedCapacityFor(input.size()) + 1, u'#');
  std::size_t units = expandCharRefs(input.c_str(), &output[0], output.size() - 1);
  EXPECT_EQ(output.back(), u'#') << "wrote past the capacity";
  EXPECT_EQ(output[units], 0);
  return output.substr(0, units);
}

TEST(CharRefs, DecimalReferencesBecomeTheirCharacters) {
  EXPECT_EQ(expand("&#12354;"), u"\u3042");
  EXPECT_EQ(expand("&#65;"), u"A");
  EXPECT_EQ(expand("caf&#233;"), u"caf\u00E9");
  EXPECT_EQ(expand("&#256;&#65535;"), u"\u0100\uFFFF");
  EXPECT_EQ(expand("&#128512;"), u"\U0001F600");
  EXPECT_EQ(expand("&#1114111;"), u"\U0010FFFF");
}

TEST(CharRefs, HexadecimalReferences) {
  EXPECT_EQ(expand("&#x3042;&#X3042;&#x41;&#xe9;"), u"\u3042\u3042A\u00E9");
  EXPECT_EQ(expand("&#x1F600;"), u"\U0001F600");
  EXPECT_EQ(expand("&#x;&#xg1;"), u"");
}

TEST(CharRefs, ReferencesThatNameNoCharacterYieldNothing) {
  for (const char* input :
       {"&#0;", "&#-1;", "&#-65;", "&#55296;", "&#57343;", "&#xD800;", "&#1114112;", "&#x110000;",
        "&#4294967361;", "&#;", "&#x;", "&#abc;", "&#", "&#;;"}) {
    std::u16string expected = std::strcmp(input, "&#;;") == 0 ? u";" : u"";
    EXPECT_EQ(expand(input), expected) << input;
  }
  EXPECT_EQ(expand("a&#0;b"), u"ab");
}

TEST(CharRefs, NumberSignsDroppedAndTrailingCharactersIgnored) {
  EXPECT_EQ(expand("&##12354;"), u"\u3042");
  EXPECT_EQ(expand("&#12#354;"), u"\u3042");
  EXPECT_EQ(expand("&#12354ab;z"), u"\u3042z");
  EXPECT_EQ(expand("&# 65;"), u"A");
}

TEST(CharRefs, ReferenceWithoutSemicolonRunsToTheEnd) {
  EXPECT_EQ(expand("x&#65 and more text"), u"xA");
  EXPECT_EQ(expand("x&#"), u"x");
}

TEST(CharRefs, OtherTextPassesUnchanged) {
  EXPECT_EQ(expand("Tom &amp; Jerry &lt;3 & &x; &"), u"Tom &amp; Jerry &lt;3 & &x; &");
  EXPECT_EQ(expand("\xE9\xFF\x80"), u"\u00E9\u00FF\u0080");
}

TEST(CharRefs, LongReferenceBodyKeepsFifteenCharacters) {
  // 40 characters: only the first 15 count, the rest is read past.
  EXPECT_EQ(expand("&#65" + std::string(36, 'a') + ";b"), u"Ab");
  EXPECT_EQ(expand("&#" + std::string(15, '0') + "65" + std::string(23, '1') + ";b"), u"b");
  EXPECT_EQ(expand("&#" + std::string(13, '0') + "65" + std::string(25, '9') + ";b"), u"Ab");
}

TEST(CharRefs, FullOutputIsCutBetweenCharacters) {
  char16_t output[4];
  EXPECT_EQ(expandCharRefs("abcdef", output, 4), 3u);
  EXPECT_EQ(std::u16string(output), u"abc");
  EXPECT_EQ(expandCharRefs("ab&#128512;", output, 4), 2u) << "the pair doesn't fit whole";
  EXPECT_EQ(std::u16string(output), u"ab");
  EXPECT_EQ(expandCharRefs("a&#128512;", output, 4), 3u);
  EXPECT_EQ(std::u16string(output), u"a\U0001F600");
  EXPECT_EQ(expandCharRefs("abc", output, 1), 0u);
}
