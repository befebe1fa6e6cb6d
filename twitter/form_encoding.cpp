#include "twitter/form_encoding.h"

#include <cstring>

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

// Length of the well-formed UTF-8 sequence at text, or 0 when there is none
// (overlong forms, surrogates and values past U+10FFFF are not well-formed).
std::size_t utf8SequenceLength(const unsigned char* text) {
  unsigned char lead = text[0];
  if (lead < 0x80) return 1;
  std::size_t length;
  unsigned char low = 0x80, high = 0xBF;  // bounds of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (text[1] < low || text[1] > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (text[i] < 0x80 || text[i] > 0xBF) return 0;
  }
  return length;
}

bool isValidUtf8(const unsigned char* text) {
  while (*text) {
    std::size_t length = utf8SequenceLength(text);
    if (length == 0) return false;
    text += length;
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
  const unsigned char* s = reinterpret_cast<const unsigned char*>(text ? text : "");
  const bool wholeCharacters = isValidUtf8(s);
  std::size_t used = 0;
  char* out = body + prefixLength;
  while (*s) {
    // The unit that must not be split: one character of valid UTF-8, else one byte.
    std::size_t unit = wholeCharacters ? utf8SequenceLength(s) : 1;
    std::size_t need = 0;
    for (std::size_t i = 0; i < unit; ++i) need += encodedLength(s[i]);
    if (used + need > room) break;
    for (std::size_t i = 0; i < unit; ++i) out += encodeByte(s[i], out);
    used += need;
    s += unit;
  }
  *out++ = ' ';
  *out = 0;
  return static_cast<std::size_t>(out - body);
}
