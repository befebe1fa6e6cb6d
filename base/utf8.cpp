#include "base/utf8.h"

std::size_t utf8Sequence(const char* p, const char* end, std::uint32_t& c) {
  if (p >= end) return 0;
  const auto* u = reinterpret_cast<const unsigned char*>(p);
  std::size_t length;
  std::uint32_t smallest;
  if (u[0] < 0x80) {
    c = u[0];
    return 1;
  } else if (u[0] >= 0xC2 && u[0] <= 0xDF) {
    length = 2, smallest = 0x80, c = u[0] & 0x1Fu;
  } else if (u[0] >= 0xE0 && u[0] <= 0xEF) {
    length = 3, smallest = 0x800, c = u[0] & 0x0Fu;
  } else if (u[0] >= 0xF0 && u[0] <= 0xF4) {
    length = 4, smallest = 0x10000, c = u[0] & 0x07u;
  } else {
    return 0;
  }
  if (static_cast<std::size_t>(end - p) < length) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((u[i] & 0xC0) != 0x80) return 0;
    c = c << 6 | (u[i] & 0x3Fu);
  }
  if (c < smallest || c > largestCodePoint || (c >= 0xD800 && c <= 0xDFFF)) return 0;
  return length;
}

std::size_t encodeUtf8(std::uint32_t c, char* bytes) {
  auto* u = reinterpret_cast<unsigned char*>(bytes);
  if (c < 0x80) {
    u[0] = static_cast<unsigned char>(c);
    return 1;
  }
  if (c < 0x800) {
    u[0] = static_cast<unsigned char>(0xC0 | c >> 6);
    u[1] = static_cast<unsigned char>(0x80 | (c & 0x3F));
    return 2;
  }
  if (c < 0x10000) {
    u[0] = static_cast<unsigned char>(0xE0 | c >> 12);
    u[1] = static_cast<unsigned char>(0x80 | (c >> 6 & 0x3F));
    u[2] = static_cast<unsigned char>(0x80 | (c & 0x3F));
    return 3;
  }
  u[0] = static_cast<unsigned char>(0xF0 | c >> 18);
  u[1] = static_cast<unsigned char>(0x80 | (c >> 12 & 0x3F));
  u[2] = static_cast<unsigned char>(0x80 | (c >> 6 & 0x3F));
  u[3] = static_cast<unsigned char>(0x80 | (c & 0x3F));
  return 4;
}
