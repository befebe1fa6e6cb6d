#include "twitter/char_refs.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

// The UTF-8 text, its bytes written as they come out of the decoder.
static std::string decode(const std::string& input) {
  std::string output(decodedSizeFor(input.size()) + 1, '#');
  std::size_t length = decodeCharRefs(input.data(), input.size(), &output[0], output.size() - 1);
  EXPECT_EQ(output.back(), '#') << "wrote past the output";
  EXPECT_EQ(output[length], 0);
  return output.substr(0, length);
}

TEST(CharRefs, DecimalReferencesBecomeTheirCharactersInUtf8) {
  EXPECT_EQ(decode("&#12354;"), "\xE3\x81\x82");
  EXPECT_EQ(decode("&#1046;&#8364;"), "\xD0\x96\xE2\x82\xAC");
  EXPECT_EQ(decode("&#128512;"), "\xF0\x9F\x98\x80");  // past U+FFFF: four bytes
  EXPECT_EQ(decode("&#65;"), "A");
  EXPECT_EQ(decode("caf&#233;"), "caf\u00E9");
  EXPECT_EQ(decode("&#256;&#65535;"), "\u0100\uFFFF");
  EXPECT_EQ(decode("&#1114111;"), "\U0010FFFF");
}

TEST(CharRefs, HexadecimalReferences) {
  EXPECT_EQ(decode("&#x3042;&#X3042;&#x41;&#xe9;"), "\u3042\u3042A\u00E9");
  EXPECT_EQ(decode("&#x1F600;"), "\U0001F600");
  EXPECT_EQ(decode("&#x;&#xg1;"), "");
}

TEST(CharRefs, ReferencesThatNameNoCharacterYieldNothing) {
  for (const char* input :
       {"&#0;", "&#-1;", "&#-65;", "&#55296;", "&#57343;", "&#xD800;", "&#1114112;", "&#x110000;",
        "&#4294967361;", "&#;", "&#x;", "&#abc;", "&#", "&#;;"}) {
    std::string expected = std::strcmp(input, "&#;;") == 0 ? ";" : "";
    EXPECT_EQ(decode(input), expected) << input;
  }
  EXPECT_EQ(decode("a&#0;b"), "ab");
}

TEST(CharRefs, NumberSignsDroppedAndTrailingCharactersIgnored) {
  EXPECT_EQ(decode("&##12354;"), "\u3042");
  EXPECT_EQ(decode("&#12#354;"), "\u3042");
  EXPECT_EQ(decode("&#12354ab;z"), "\u3042z");
  EXPECT_EQ(decode("&# 65;"), "A");
}

TEST(CharRefs, ReferenceWithoutSemicolonRunsToTheEnd) {
  EXPECT_EQ(decode("x&#65 and more text"), "xA");
  EXPECT_EQ(decode("x&#"), "x");
}

TEST(CharRefs, TheFiveEntitiesAreDecodedOtherAmpersandsKept) {
  EXPECT_EQ(decode("Tom &amp; Jerry &lt;3 &gt; &quot;q&quot; it&apos;s"),
            "Tom & Jerry <3 > \"q\" it's");
  EXPECT_EQ(decode("& &x; &nbsp; &AMP; &lt &amp"), "& &x; &nbsp; &AMP; &lt &amp");
  EXPECT_EQ(decode("\xE9\xFF\x80"), "\u00E9\u00FF\u0080");
}

TEST(CharRefs, EachReferenceIsDecodedOnceLeftToRight) {
  EXPECT_EQ(decode("&#60;/text&#62;"), "</text>");
  EXPECT_EQ(decode("&#38;lt;"), "&lt;");
  EXPECT_EQ(decode("&#x26;#65;"), "&#65;");
  EXPECT_EQ(decode("&amp;#60;"), "&#60;");
  EXPECT_EQ(decode("&amp;amp;"), "&amp;");
}

TEST(CharRefs, TheInputEndsAtItsLengthNotAtAZero) {
  // A reference or an entity is not completed by what lies past the end.
  EXPECT_EQ(decodeCharRefs("&#65;", 4, nullptr, 0), 0u);
  char output[8];
  EXPECT_EQ(decodeCharRefs("&#65;B", 4, output, sizeof output), 1u);
  EXPECT_STREQ(output, "A");
  EXPECT_EQ(decodeCharRefs("&lt;", 3, output, sizeof output), 3u);
  EXPECT_STREQ(output, "&lt");
  EXPECT_EQ(decodeCharRefs("\xC3\xA9", 1, output, sizeof output), 2u);
  EXPECT_STREQ(output, "\u00C3");
  EXPECT_EQ(decode(std::string("a\0b", 3)), "ab");  // a zero byte is dropped
}

TEST(CharRefs, RawUtf8IsKeptAndOtherBytesReadAsLatin1) {
  EXPECT_EQ(decode("caf\xC3\xA9 \xE3\x81\x82 \xF0\x9F\x98\x80"), "caf\u00E9 \u3042 \U0001F600");
  // not well-formed: each byte is its own character
  EXPECT_EQ(decode("\xC3"), "\u00C3");                                // cut by the end
  EXPECT_EQ(decode("\xC3&#65;"), "\u00C3A");                          // cut by a reference
  EXPECT_EQ(decode("\xC0\xAF"), "\u00C0\u00AF");                      // overlong '/'
  EXPECT_EQ(decode("\xED\xA0\x80"), "\u00ED\u00A0\u0080");            // a surrogate
  EXPECT_EQ(decode("\xF4\x90\x80\x80"), "\u00F4\u0090\u0080\u0080");  // past U+10FFFF
}

TEST(CharRefs, LongReferenceBodyKeepsFifteenCharacters) {
  // 40 characters: only the first 15 count, the rest is read past.
  EXPECT_EQ(decode("&#65" + std::string(36, 'a') + ";b"), "Ab");
  EXPECT_EQ(decode("&#" + std::string(15, '0') + "65" + std::string(23, '1') + ";b"), "b");
  EXPECT_EQ(decode("&#" + std::string(13, '0') + "65" + std::string(25, '9') + ";b"), "Ab");
}

TEST(CharRefs, FullOutputIsCutBetweenCharacters) {
  // Each case: the input, the output size, what is kept.
  struct Case {
    const char* input;
    std::size_t size;
    const char* kept;
  } cases[] = {
      {"abcdef", 4, "abc"},
      {"ab&#233;", 4, "ab"},  // a 2-byte character that no longer fits
      {"a&#233;", 4, "a\u00E9"},
      {"ab&#12354;", 5, "ab"},  // 3 bytes
      {"a&#12354;", 5, "a\u3042"},
      {"ab&#128512;", 6, "ab"},  // 4 bytes
      {"a&#128512;", 6, "a\U0001F600"},
      {"\xE9\xE9", 4, "\u00E9"},  // raw bytes take two each
      {"ab&#128512;c", 6, "ab"},  // nothing after a character that was cut
      {"abc", 1, ""},
  };
  for (const Case& c : cases) {
    std::string output(c.size + 1, '#');
    std::size_t length = decodeCharRefs(c.input, std::strlen(c.input), &output[0], c.size);
    EXPECT_EQ(output.substr(0, length), c.kept) << c.input << " in " << c.size;
    EXPECT_EQ(output[length], 0) << c.input;
    EXPECT_EQ(output[c.size], '#') << c.input;
  }
  EXPECT_EQ(decodeCharRefs("abc", 3, nullptr, 0), 0u);
}
