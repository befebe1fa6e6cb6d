#pragma once
// Strict UTF-8: no stray trail bytes, overlong forms, surrogates or values
// past U+10FFFF.
#include <cstddef>
#include <cstdint>

inline bool validUtf8(const unsigned char* text, std::size_t length) {
  for (std::size_t i = 0; i < length;) {
    const unsigned char lead = text[i];
    std::size_t size = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (size == 0 || i + size > length) return false;
    std::uint32_t value = size == 1 ? lead : lead & (0x7F >> size);
    for (std::size_t k = 1; k < size; ++k) {
      if ((text[i + k] & 0xC0) != 0x80) return false;
      value = value << 6 | (text[i + k] & 0x3F);
    }
    static constexpr std::uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < smallest[size] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
      return false;
    i += size;
  }
  return true;
}
