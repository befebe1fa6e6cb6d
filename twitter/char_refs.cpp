#include "twitter/char_refs.h"

#include <cstdint>
#include <cstring>

#include "base/utf8.h"

namespace {

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

struct Entity {
  const char* reference;
  std::size_t length;
  char character;
};
constexpr Entity entities[] = {
    {"&lt;", 4, '<'}, {"&gt;", 4, '>'}, {"&amp;", 5, '&'}, {"&quot;", 6, '"'}, {"&apos;", 6, '\''},
};

// The character that starts at p, which is moved past it, no further than
// end; 0 for a reference that names none. The text is UTF-8; a byte that
// starts no well-formed sequence is taken as the Latin-1 character of its value.
std::uint32_t nextCharacter(const char*& p, const char* end) {
  if (*p == '&' && end - p > 1 && p[1] == '#') {
    char body[referenceBodySize] = {};
    std::size_t length = 0;
    for (p += 2; p < end && *p != ';'; ++p) {
      if (*p != '#' && length < referenceBodySize - 1) body[length++] = *p;
    }
    if (p < end) ++p;  // the semicolon
    return referenceValue(body);
  }
  if (*p == '&') {
    for (const Entity& entity : entities) {
      if (static_cast<std::size_t>(end - p) >= entity.length &&
          std::memcmp(p, entity.reference, entity.length) == 0) {
        p += entity.length;
        return static_cast<unsigned char>(entity.character);
      }
    }
  }
  std::uint32_t c;
  if (const std::size_t length = utf8Sequence(p, end, c)) {
    p += length;
    return c;
  }
  return static_cast<unsigned char>(*p++);
}

}  // namespace

std::size_t decodeCharRefs(const char* input, std::size_t inputLength, char* output,
                           std::size_t outputSize) {
  if (outputSize == 0) return 0;
  const std::size_t limit = outputSize - 1;  // room for the terminator
  std::size_t used = 0;
  const char* p = input;
  const char* end = input + inputLength;
  while (p < end) {
    const std::uint32_t character = nextCharacter(p, end);
    if (character == 0) continue;
    char bytes[4];
    const std::size_t count = encodeUtf8(character, bytes);
    if (used + count > limit) break;
    for (std::size_t i = 0; i < count; ++i) output[used++] = bytes[i];
  }
  output[used] = 0;
  return used;
}
