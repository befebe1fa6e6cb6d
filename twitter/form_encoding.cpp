#include "twitter/form_encoding.h"

#include <cstdint>
#include <cstring>

#include "base/utf8.h"

namespace {

bool passesUnchanged(unsigned char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '*' ||
         c == '-' || c == '.' || c == '@' || c == '_';
}

// Writes the encoded form of one byte (1 or 3 characters); returns its length.
std::size_t encodeByte(unsigned char c, char* out) {
  static const char hex[] = "0123456789ABCDEF";
  if (c == ' ') {
    out[0] = '+';
    return 1;
  }
  if (passesUnchanged(c)) {
    out[0] = static_cast<char>(c);
    return 1;
  }
  out[0] = '%';
  out[1] = hex[c >> 4];
  out[2] = hex[c & 0x0F];
  return 3;
}

std::size_t encodedLength(unsigned char c) {
  return c == ' ' || passesUnchanged(c) ? 1 : 3;
}

bool isValidUtf8(const char* text, const char* end) {
  std::uint32_t c;
  for (std::size_t length; text < end; text += length) {
    length = utf8Sequence(text, end, c);
    if (length == 0) return false;
  }
  return true;
}

}  // namespace

void formUrlEncode(const char* source, char* destination) {
  for (const unsigned char* s = reinterpret_cast<const unsigned char*>(source); *s; ++s) {
    destination += encodeByte(*s, destination);
  }
  *destination = 0;
}

std::size_t buildStatusBody(const char* text, char* body) {
  const std::size_t prefixLength = sizeof statusFieldPrefix - 1;
  // room for the encoded text: all but the prefix, the trailing space and the terminator
  const std::size_t room = statusBodySize - prefixLength - 2;
  std::memcpy(body, statusFieldPrefix, prefixLength);
  const char* s = text ? text : "";
  const char* end = s + std::strlen(s);
  const bool wholeCharacters = isValidUtf8(s, end);
  std::size_t used = 0;
  char* out = body + prefixLength;
  while (s < end) {
    // The unit that must not be split: one character of valid UTF-8, else one byte.
    std::uint32_t c;
    std::size_t unit = wholeCharacters ? utf8Sequence(s, end, c) : 1;
    std::size_t need = 0;
    for (std::size_t i = 0; i < unit; ++i) need += encodedLength(static_cast<unsigned char>(s[i]));
    if (used + need > room) break;
    for (std::size_t i = 0; i < unit; ++i) out += encodeByte(static_cast<unsigned char>(s[i]), out);
    used += need;
    s += unit;
  }
  *out++ = ' ';
  *out = 0;
  return static_cast<std::size_t>(out - body);
}
