// The mood text comes from another process: whatever it is, the body stays in
// its buffer, ends in the one space, never splits an escape and, for valid
// UTF-8, never splits a character.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "twitter/form_encoding.h"

static int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  text = text.c_str();
  char body[statusBodySize + 1];
  std::memset(body, '#', sizeof body);
  std::size_t length = buildStatusBody(text.c_str(), body);
  if (body[statusBodySize] != '#' || length >= statusBodySize || body[length] != 0) std::abort();
  if (std::memcmp(body, "status=", 7) != 0 || body[length - 1] != ' ') std::abort();
  // Decode the field back: it must be a prefix of the text.
  std::string decoded;
  for (std::size_t i = 7; i + 1 < length; ++i) {
    if (body[i] == '%') {
      if (i + 3 >= length) std::abort();
      int high = hexValue(body[i + 1]), low = hexValue(body[i + 2]);
      if (high < 0 || low < 0) std::abort();
      decoded.push_back(static_cast<char>(high * 16 + low));
      i += 2;
    } else {
      decoded.push_back(body[i] == '+' ? ' ' : body[i]);
    }
  }
  if (text.compare(0, decoded.size(), decoded) != 0) std::abort();
  // Nothing was cut that would have fitted as a single byte of an ASCII text.
  if (decoded.size() < text.size() && length + 3 < statusBodySize - 1 &&
      static_cast<unsigned char>(text[decoded.size()]) < 0x80)
    std::abort();
  return 0;
}
