#include "twitter/char_refs.h"

#include <cstdint>

namespace {

constexpr std::uint32_t largestCodePoint = 0x10FFFF;
constexpr std::uint32_t tooLarge = largestCodePoint + 1;  // saturation value

int digitValue(char c, int base) {
  int value = -1;
  if (c >= '0' && c <= '9') {
    value = c - '0';
  } else if (c >= 'a' && c <= 'f') {
    value = c - 'a' + 10;
  } else if (c >= 'A' && c <= 'F') {
    value = c - 'A' + 10;
  }
  return value < base ? value : -1;
}

bool isBlank(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

// The code point a reference body names, or 0 when it names none.
std::uint32_t referenceValue(const char* body) {
  int base = 10;
  bool negative = false;
  if (*body == 'x' || *body == 'X') {
    base = 16;
    ++body;
  } else {
    while (isBlank(*body)) ++body;
    if (*body == '+' || *body == '-') negative = *body++ == '-';
  }
  std::uint32_t value = 0;
  bool anyDigit = false;
  for (int digit; (digit = digitValue(*body, base)) >= 0; ++body) {
    anyDigit = true;
    // Saturate: all that matters past the range is that it is out of range.
    value = value >= tooLarge ? tooLarge : value * base + digit;
  }
  if (!anyDigit || negative || value > largestCodePoint) return 0;
  if (value >= 0xD800 && value <= 0xDFFF) return 0;
  return value;
}

}  // namespace

std::size_t expandCharRefs(const char* input, char16_t* output, std::size_t capacity) {
  const std::size_t limit = capacity - 1;  // room for the terminator
  std::size_t used = 0;
  const char* p = input;
  while (*p) {
    char16_t units[2];
    std::size_t count = 0;
    if (p[0] == '&' && p[1] == '#') {
      char body[referenceBodySize] = {};
      std::size_t length = 0;
      for (++p; *p && *p != ';'; ++p) {
        if (*p != '#' && length < referenceBodySize - 1) body[length++] = *p;
      }
      if (*p == ';') ++p;
      std::uint32_t value = referenceValue(body);
      if (value > 0xFFFF) {
        value -= 0x10000;
        units[count++] = static_cast<char16_t>(0xD800 + (value >> 10));
        units[count++] = static_cast<char16_t>(0xDC00 + (value & 0x3FF));
      } else if (value != 0) {
        units[count++] = static_cast<char16_t>(value);
      }
    } else {
      units[count++] = static_cast<unsigned char>(*p++);
    }
    if (used + count > limit) break;
    for (std::size_t i = 0; i < count; ++i) output[used++] = units[i];
  }
  output[used] = 0;
  return used;
}
