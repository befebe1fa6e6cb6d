// The timeline body comes from the network: expand it into buffers of every
// size and check the result stays inside, terminated and well-formed UTF-16.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "twitter/char_refs.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t capacityPick = data[0];
  std::string input(reinterpret_cast<const char*>(data + 1), size - 1);
  input = input.c_str();  // the body as the decoder sees it: up to its first zero
  const std::size_t full = expandedCapacityFor(input.size());
  for (std::size_t capacity : {full, capacityPick % full + 1}) {
    std::vector<char16_t> output(capacity + 1, u'#');
    std::size_t units = expandCharRefs(input.c_str(), output.data(), capacity);
    if (units >= capacity || output[units] != 0 || output[capacity] != u'#') std::abort();
    for (std::size_t i = 0; i < units; ++i) {
      char16_t unit = output[i];
      if (unit == 0) std::abort();
      bool high = unit >= 0xD800 && unit <= 0xDBFF, low = unit >= 0xDC00 && unit <= 0xDFFF;
      if (low) std::abort();  // every low unit is consumed with its high one
      if (high) {
        if (i + 1 >= units || output[i + 1] < 0xDC00 || output[i + 1] > 0xDFFF) std::abort();
        ++i;
      }
    }
  }
  return 0;
}
