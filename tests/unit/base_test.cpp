#include "base/text_buffer.h"
#include "base/tick_clock.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(TextBuffer, CutsToTheBufferAndAlwaysTerminates) {
  char out[12];
  std::memset(out, '#', sizeof out);
  TextBuffer text(out, sizeof out);
  text.text("abc").number(-42).text(":").number(7, 2);
  EXPECT_STREQ(out, "abc-42:07");
  EXPECT_FALSE(text.cut());
  text.text("xyz");
  EXPECT_STREQ(out, "abc-42:07xy");  // 11 bytes and the terminator
  EXPECT_EQ(text.length(), 11u);
  EXPECT_TRUE(text.cut());
  text.text("z");  // nothing more, and nothing beyond the buffer
  EXPECT_STREQ(out, "abc-42:07xy");

  char wide[32];
  TextBuffer(wide, sizeof wide).number(INT64_MIN).text(" ").number(0, 4);
  EXPECT_STREQ(wide, "-9223372036854775808 0000");
  char one[1] = {'#'};
  EXPECT_TRUE(TextBuffer(one, 1).text("a").cut());
  EXPECT_EQ(one[0], 0);
  EXPECT_TRUE(TextBuffer(nullptr, 0).text("a").cut());
}

TEST(TickClock, CarriesOnAcrossTheWrap) {
  std::uint64_t last = 0;
  EXPECT_EQ(extendTickCount(1000, last), 1000u);
  EXPECT_EQ(extendTickCount(0xFFFFFFF0u, last), 0xFFFFFFF0u);
  // 49.7 days after the start the count wraps: the clock goes on.
  EXPECT_EQ(extendTickCount(5, last), 0x100000005u);
  EXPECT_EQ(extendTickCount(5, last), 0x100000005u);
  EXPECT_EQ(extendTickCount(0xFFFFFFFFu, last), 0x1FFFFFFFFu);
  EXPECT_EQ(extendTickCount(0, last), 0x200000000u);
}
