// The names and texts of the timeline come from the network: decode any bytes
// (zeros too) into buffers of every size and check the result stays inside,
// terminated, without a zero and valid UTF-8, and reads nothing past the input.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/fuzz/valid_utf8.h"
#include "twitter/char_refs.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t sizePick = data[0];
  // Exactly the input on the heap, so a read past its end is caught.
  const std::vector<char> input(data + 1, data + size);
  const std::size_t full = decodedSizeFor(input.size());
  std::string whole;
  for (std::size_t outputSize : {full, sizePick % full + 1}) {
    std::vector<char> output(outputSize + 1, '#');
    std::size_t length = decodeCharRefs(input.data(), input.size(), output.data(), outputSize);
    if (length >= outputSize || output[length] != 0 || output[outputSize] != '#') std::abort();
    if (std::memchr(output.data(), 0, length) != nullptr) std::abort();
    if (!validUtf8(reinterpret_cast<const unsigned char*>(output.data()), length)) std::abort();
    // a cut text is a beginning of the whole one
    if (whole.empty()) whole.assign(output.data(), length);
    if (whole.compare(0, length, output.data(), length) != 0) std::abort();
  }
  return 0;
}
