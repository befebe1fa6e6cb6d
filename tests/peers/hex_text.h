#pragma once
// Texts on the command lines of the test peers travel in hex, so that no code
// page gets in the way.
#include <cstdlib>
#include <string>

inline std::string fromHex(const char* hex) {
  std::string bytes;
  for (std::size_t i = 0; hex[i] && hex[i + 1]; i += 2) {
    char pair[3] = {hex[i], hex[i + 1], 0};
    bytes.push_back(static_cast<char>(std::strtoul(pair, nullptr, 16)));
  }
  return bytes;
}
