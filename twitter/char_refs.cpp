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

// The length of the well-formed UTF-8 sequence at p (shortest form, no
// surrogate, at most U+10FFFF), with its code point in c; 0 when there is none.
std::size_t utf8Sequence(const char* p, std::uint32_t& c) {
  const auto* u = reinterpret_cast<const unsigned char*>(p);
  std::size_t length;
  std::uint32_t smallest;
  if (u[0] >= 0xC2 && u[0] <= 0xDF) {
    length = 2, smallest = 0x80, c = u[0] & 0x1Fu;
  } else if (u[0] >= 0xE0 && u[0] <= 0xEF) {
    length = 3, smallest = 0x800, c = u[0] & 0x0Fu;
  } else if (u[0] >= 0xF0 && u[0] <= 0xF4) {
    length = 4, smallest = 0x10000, c = u[0] & 0x07u;
  } else {
    return 0;
  }
  for (std::size_t i = 1; i < length; ++i) {
    if ((u[i] & 0xC0) != 0x80) return 0;  // also stops at the terminator
    c = c << 6 | (u[i] & 0x3Fu);
  }
  if (c < smallest || c > largestCodePoint || (c >= 0xD800 && c <= 0xDFFF)) return 0;
  return length;
}

// The character that starts at p, which is moved past it; 0 for a
// reference that names none. The document is UTF-8; a byte that starts no
// well-formed sequence is taken as the Latin-1 character of its value.
std::uint32_t nextCharacter(const char*& p) {
  if (p[0] != '&' || p[1] != '#') {
    std::uint32_t c;
    if (const std::size_t length = utf8Sequence(p, c)) {
      p += length;
      return c;
    }
    return static_cast<unsigned char>(*p++);
  }
  char body[referenceBodySize] = {};
  std::size_t length = 0;
  for (++p; *p && *p != ';'; ++p) {
    if (*p != '#' && length < referenceBodySize - 1) body[length++] = *p;
  }
  if (*p == ';') ++p;
  return referenceValue(body);
}

// The UTF-8 form of a code point that is not a surrogate; returns its length.
std::size_t encodeUtf8(std::uint32_t c, unsigned char* bytes) {
  if (c < 0x80) {
    bytes[0] = static_cast<unsigned char>(c);
    return 1;
  }
  if (c < 0x800) {
    bytes[0] = static_cast<unsigned char>(0xC0 | c >> 6);
    bytes[1] = static_cast<unsigned char>(0x80 | (c & 0x3F));
    return 2;
  }
  if (c < 0x10000) {
    bytes[0] = static_cast<unsigned char>(0xE0 | c >> 12);
    bytes[1] = static_cast<unsigned char>(0x80 | (c >> 6 & 0x3F));
    bytes[2] = static_cast<unsigned char>(0x80 | (c & 0x3F));
    return 3;
  }
  bytes[0] = static_cast<unsigned char>(0xF0 | c >> 18);
  bytes[1] = static_cast<unsigned char>(0x80 | (c >> 12 & 0x3F));
  bytes[2] = static_cast<unsigned char>(0x80 | (c >> 6 & 0x3F));
  bytes[3] = static_cast<unsigned char>(0x80 | (c & 0x3F));
  return 4;
}

}  // namespace

std::size_t decodeCharRefs(const char* input, char* output, std::size_t outputSize) {
  if (outputSize == 0) return 0;
  const std::size_t limit = outputSize - 1;  // room for the terminator
  std::size_t used = 0;
  const char* p = input;
  while (*p) {
    const std::uint32_t character = nextCharacter(p);
    if (character == 0) continue;
    unsigned char bytes[4];
    const std::size_t count = encodeUtf8(character, bytes);
    if (used + count > limit) break;
    for (std::size_t i = 0; i < count; ++i) output[used++] = static_cast<char>(bytes[i]);
  }
  output[used] = 0;
  return used;
}
