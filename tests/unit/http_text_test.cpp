#include "twitter/http_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

static std::string dateLine(std::int32_t time) {
  char line[headerLineSize];
  std::memset(line, '#', sizeof line);
  std::size_t length = formatIfModifiedSince(time, line);
  EXPECT_EQ(length, std::strlen(line));
  return line;
}

TEST(IfModifiedSince, HttpDateInUtc) {
  EXPECT_EQ(dateLine(1199145600), "If-Modified-Since: Tue, 01 Jan 2008 00:00:00 GMT");
  EXPECT_EQ(dateLine(1199145600).size(), 48u);
  EXPECT_EQ(dateLine(1), "If-Modified-Since: Thu, 01 Jan 1970 00:00:01 GMT");
  EXPECT_EQ(dateLine(951782400), "If-Modified-Since: Tue, 29 Feb 2000 00:00:00 GMT");
  EXPECT_EQ(dateLine(1234567890), "If-Modified-Since: Fri, 13 Feb 2009 23:31:30 GMT");
  EXPECT_EQ(dateLine(2147483647), "If-Modified-Since: Tue, 19 Jan 2038 03:14:07 GMT");
}

TEST(IfModifiedSince, TimesBefore1970) {
  EXPECT_EQ(dateLine(-1), "If-Modified-Since: Wed, 31 Dec 1969 23:59:59 GMT");
  EXPECT_EQ(dateLine(-2147483647 - 1), "If-Modified-Since: Fri, 13 Dec 1901 20:45:52 GMT");
}

TEST(HeaderNumbers, LeadingDecimal) {
  EXPECT_EQ(leadingDecimal("200"), 200);
  EXPECT_EQ(leadingDecimal("  \t+42abc"), 42);
  EXPECT_EQ(leadingDecimal("-5"), -5);
  EXPECT_EQ(leadingDecimal("x1"), 0);
  EXPECT_EQ(leadingDecimal(""), 0);
  EXPECT_GT(leadingDecimal("99999999999999999999999999"), 0) << "saturates, never wraps";
}

TEST(HeaderNumbers, ContentLengthIsAHint) {
  EXPECT_EQ(contentLengthHint("1033"), 1033u);
  EXPECT_EQ(contentLengthHint(""), 0u);
  EXPECT_EQ(contentLengthHint("-5"), 0u);
  EXPECT_EQ(contentLengthHint("abc"), 0u);
  EXPECT_EQ(contentLengthHint("99999999999999999999"), 0x7FFFFFFFu);
}

TEST(RequestDeadline, NoWaitGoesPastIt) {
  EXPECT_EQ(receiveWaitMs(0, 30000, 15000), 15000u);  // the usual receive timeout
  EXPECT_EQ(receiveWaitMs(20000, 30000, 15000), 10000u);
  EXPECT_EQ(receiveWaitMs(29999, 30000, 15000), 1u);
  EXPECT_EQ(receiveWaitMs(30000, 30000, 15000), 0u);  // the request stops
  EXPECT_EQ(receiveWaitMs(INT64_C(1) << 40, 30000, 15000), 0u);
}

TEST(TimelineCondition, OnlyA200MovesItToTheServicesOwnDate) {
  constexpr char lastModified[] = "Sat, 05 Dec 2026 10:00:00 GMT";
  constexpr char date[] = "Sat, 05 Dec 2026 10:00:07 GMT";
  char condition[headerLineSize] = "";
  // The start-up request got no answer: no condition yet, so the first poll
  // that reaches the service asks for the whole timeline.
  EXPECT_FALSE(takeTimelineAnswer(0, "", "", 1000, condition));
  EXPECT_STREQ(condition, "");
  struct Row {
    int status;
    const char* lastModified;
    const char* date;
    bool slides;
    const char* condition;  // after the answer
  };
  const std::vector<Row> rows = {
      {200, lastModified, date, true, lastModified},  // sent back as the service wrote it
      {304, "", date, false, lastModified},           // only a 200 moves it
      {500, "Sun, 06 Dec 2026 00:00:00 GMT", date, false, lastModified},
      {200, "", date, true, date},  // no Last-Modified: the answer's Date
      // neither: the PC's time just before the request
      {200, "", "", true, "Thu, 01 Jan 1970 00:16:40 GMT"},
      // nothing that could add a line or header to a request goes back
      {200, "Sat, 05 Dec 2026\r\nX-Evil: 1", "a\tb", true, "Thu, 01 Jan 1970 00:16:40 GMT"},
      {200, "Saturday, 05-Dec-26 10:00:00 GMT but padded far beyond what fits in a header", date,
       true, date},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(takeTimelineAnswer(row.status, row.lastModified, row.date, 1000, condition),
              row.slides)
        << row.status;
    EXPECT_STREQ(condition, row.condition) << row.status << " " << row.lastModified;
  }
}
