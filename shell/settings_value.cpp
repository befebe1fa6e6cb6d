#include "shell/settings_value.h"

// What the readers take off as blanks: the C library's white space, and ^Z,
// which Wine takes off too.
static bool isBlank(wchar_t c) {
  return c == L' ' || (c >= L'\t' && c <= L'\r') || c == 0x1A;
}

static bool isQuote(wchar_t c) {
  return c == L'"' || c == L'\'';
}

static std::size_t lengthOf(const wchar_t* value) {
  std::size_t length = 0;
  while (value[length] != 0) ++length;
  return length;
}

bool valueNeedsQuotes(const wchar_t* value) {
  std::size_t length = lengthOf(value);
  if (length == 0) return false;
  wchar_t first = value[0];
  wchar_t last = value[length - 1];
  return isBlank(first) || isBlank(last) || (length >= 2 && isQuote(first) && last == first);
}

bool storedValue(const wchar_t* value, wchar_t* out, std::size_t outSize) {
  std::size_t length = lengthOf(value);
  bool quoted = valueNeedsQuotes(value);
  std::size_t needed = length + (quoted ? 2 : 0) + 1;
  if (outSize == 0) return false;
  if (needed > outSize) {
    out[0] = 0;
    return false;
  }
  wchar_t* at = out;
  if (quoted) *at++ = L'"';
  for (std::size_t i = 0; i < length; ++i) *at++ = value[i];
  if (quoted) *at++ = L'"';
  *at = 0;
  return true;
}
