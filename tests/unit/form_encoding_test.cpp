#include "twitter/form_encoding.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

static std::string encode(const std::string& source) {
  std::string destination(3 * source.size() + 2, '#');
  formUrlEncode(source.c_str(), &destination[0]);
  EXPECT_EQ(destination.back(), '#') << "wrote past 3n+1";
  return destination.c_str();
}

static std::string body(const std::string& text) {
  char buffer[statusBodySize + 1];
  std::memset(buffer, '#', sizeof buffer);
  std::size_t length = buildStatusBody(text.c_str(), buffer);
  EXPECT_EQ(buffer[statusBodySize], '#') << "wrote past the body buffer";
  EXPECT_EQ(length, std::strlen(buffer));
  return std::string(buffer, length);
}

TEST(FormUrlEncode, SetThatPassesUnchangedAndTheRest) {
  EXPECT_EQ(encode(""), "");
  EXPECT_EQ(encode("a b"), "a+b");
  EXPECT_EQ(encode("+"), "%2B");
  EXPECT_EQ(encode("%"), "%25");
  EXPECT_EQ(encode("@"), "@");
  EXPECT_EQ(encode("~"), "%7E");
  EXPECT_EQ(encode("/"), "%2F");
  EXPECT_EQ(encode("\n"), "%0A");
  EXPECT_EQ(encode("\xE3"), "%E3");
  EXPECT_EQ(encode("azAZ09*-._"), "azAZ09*-._");
}

TEST(FormUrlEncode, EveryByteOutsideTheSetTriples) {
  std::string all;
  for (int c = 1; c < 256; ++c) {
    bool unchanged = std::isalnum(c) && c < 128;
    if (!unchanged && !std::strchr(" *-.@_", c)) all.push_back(static_cast<char>(c));
  }
  std::string encoded = encode(all);
  ASSERT_EQ(encoded.size(), 3 * all.size());
  for (std::size_t i = 0; i < all.size(); ++i) {
    char expected[4];
    std::snprintf(expected, sizeof expected, "%%%02X", static_cast<unsigned char>(all[i]));
    EXPECT_EQ(encoded.substr(3 * i, 3), expected);
  }
}

TEST(StatusBody, PrefixEncodedTextAndOneUnencodedSpace) {
  EXPECT_EQ(body(""), "status= ");
  EXPECT_EQ(body("").size(), 8u);
  EXPECT_EQ(body("a b"), "status=a+b ");
  EXPECT_EQ(body("caf\xC3\xA9 @home"), "status=caf%C3%A9+@home ");
}

TEST(StatusBody, EncodedFormOf1015BytesFillsTheBuffer) {
  std::string text = std::string(1012, 'a') + "/";  // 1012 + 3
  std::string full = body(text);
  EXPECT_EQ(full.size(), statusBodySize - 1);
  EXPECT_EQ(full.substr(full.size() - 4), "%2F ");
}

TEST(StatusBody, LongTextIsCutBeforeAnEscapeThatWouldNotFit) {
  // 1013 letters leave 2 bytes: too few for the %2F, which goes whole.
  std::string cut = body(std::string(1013, 'a') + "/bc");
  EXPECT_EQ(cut, "status=" + std::string(1013, 'a') + " ");
  // A plain letter still fits in the last byte.
  EXPECT_EQ(body(std::string(1016, 'a')), "status=" + std::string(1015, 'a') + " ");
}

TEST(StatusBody, LongUtf8TextIsCutBetweenCharacters) {
  std::string kana = "\xE3\x81\x82";  // one character, 9 bytes encoded
  std::string text = "ab";
  for (int i = 0; i < 200; ++i) text += kana;
  std::string cut = body(text);
  // 2 + 112 * 9 = 1010; the 113th character needs 1019
  EXPECT_EQ(cut.size(), 7u + 1010 + 1);
  std::string tail = cut.substr(cut.size() - 10);
  EXPECT_EQ(tail, "%E3%81%82 ");
}

TEST(StatusBody, TextThatIsNotUtf8IsCutBetweenBytes) {
  std::string text(400, '\xE3');  // invalid UTF-8: 338 whole escapes fit
  std::string cut = body(text);
  EXPECT_EQ(cut.size(), 7u + 338 * 3 + 1);
  EXPECT_EQ(cut.substr(cut.size() - 4), "%E3 ");
}
