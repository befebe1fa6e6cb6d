#include "twitter/http_text.h"

#include "base/text_buffer.h"

namespace {

struct CivilDate {
  std::int64_t year;
  int month;  // 1-12
  int day;    // 1-31
};

// Gregorian date of a day count since 1970-01-01 (after H. Hinnant's
// days_from_civil inverse), valid for negative counts too.
CivilDate civilFromDays(std::int64_t days) {
  days += 719468;
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const std::int64_t dayOfEra = days - era * 146097;
  const std::int64_t yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const std::int64_t shiftedMonth = (5 * dayOfYear + 2) / 153;  // March is 0
  CivilDate date;
  date.day = static_cast<int>(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
  date.month = static_cast<int>(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
  date.year = yearOfEra + era * 400 + (date.month <= 2 ? 1 : 0);
  return date;
}

bool isBlank(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

}  // namespace

std::size_t formatIfModifiedSince(std::int32_t time, char* line) {
  static const char* const dayNames[] = {"Thu", "Fri", "Sat", "Sun", "Mon", "Tue", "Wed"};
  static const char* const monthNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                           "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const std::int64_t seconds = time;
  std::int64_t days = seconds / 86400;
  std::int64_t secondOfDay = seconds % 86400;
  if (secondOfDay < 0) {
    secondOfDay += 86400;
    --days;
  }
  const CivilDate date = civilFromDays(days);
  const int weekday = static_cast<int>(((days % 7) + 7) % 7);  // 1970-01-01 was a Thursday
  TextBuffer text(line, headerLineSize);
  text.text(ifModifiedSincePrefix).text(dayNames[weekday]).text(", ").number(date.day, 2);
  text.text(" ").text(monthNames[date.month - 1]).text(" ").number(date.year, 4);
  text.text(" ").number(secondOfDay / 3600, 2).text(":").number(secondOfDay / 60 % 60, 2);
  text.text(":").number(secondOfDay % 60, 2).text(" GMT");
  return text.length();
}

bool usableValidator(const char* value) {
  std::size_t length = 0;
  for (; value[length] != 0; ++length) {
    if (length >= validatorLimit || value[length] < 0x20 || value[length] > 0x7E) return false;
  }
  return length > 0;
}

bool takeTimelineAnswer(int status, const char* lastModified, const char* date,
                        std::int32_t requestTime, char* condition) {
  if (status != 200) return false;
  char line[headerLineSize];
  if (usableValidator(lastModified)) {
    TextBuffer(condition, headerLineSize).text(lastModified);
  } else if (usableValidator(date)) {
    TextBuffer(condition, headerLineSize).text(date);
  } else {
    formatIfModifiedSince(requestTime, line);
    TextBuffer(condition, headerLineSize).text(line + sizeof ifModifiedSincePrefix - 1);
  }
  return true;
}

std::int64_t leadingDecimal(const char* text) {
  constexpr std::int64_t limit = INT64_C(1) << 53;
  while (isBlank(*text)) ++text;
  bool negative = false;
  if (*text == '+' || *text == '-') negative = *text++ == '-';
  std::int64_t value = 0;
  for (; *text >= '0' && *text <= '9'; ++text) {
    value = value >= limit ? limit : value * 10 + (*text - '0');
  }
  return negative ? -value : value;
}

std::uint32_t receiveWaitMs(std::int64_t now, std::int64_t deadline, std::uint32_t perWaitMs) {
  if (now >= deadline) return 0;
  const std::int64_t left = deadline - now;
  return left < perWaitMs ? static_cast<std::uint32_t>(left) : perWaitMs;
}

std::size_t contentLengthHint(const char* text) {
  std::int64_t value = leadingDecimal(text);
  return value > 0 ? static_cast<std::size_t>(value > INT64_C(0x7FFFFFFF) ? 0x7FFFFFFF : value) : 0;
}
