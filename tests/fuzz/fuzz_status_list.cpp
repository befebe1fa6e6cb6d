// The timeline document comes from the network: whatever it holds, the scan
// reads nothing past its terminator, writes nothing past the popup text, adds
// only whole lines, and what it adds is UTF-8 whatever bytes came.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "popup/status_list.h"
#include "tests/fuzz/valid_utf8.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Exactly the document and its terminator, so a read past it is caught.
  std::vector<char> document(data, data + size);
  document.push_back(0);
  const std::size_t length = std::strlen(document.data());

  std::vector<char> text(popupTextSize + 16, '#');
  text[0] = 0;
  extractStatuses(document.data(), text.data(), popupTextSize);
  for (std::size_t i = popupTextSize; i < text.size(); ++i)
    if (text[i] != '#') std::abort();
  const void* end = std::memchr(text.data(), 0, popupTextSize);
  if (end == nullptr) std::abort();
  const std::size_t out = static_cast<std::size_t>(static_cast<const char*>(end) - text.data());
  if (out > 0 && text[out - 1] != '\n') std::abort();
  if (out > popupStatusCount * (2 * (statusFieldSize - 1) + 3)) std::abort();
  if (out > 0 && std::strstr(text.data(), ": ") == nullptr) std::abort();
  // Never more than five entries: countable where the document has no line
  // feeds of its own, not even as references, since then every line feed in
  // the output ends an entry.
  if (std::memchr(document.data(), '\n', length) == nullptr &&
      std::strstr(document.data(), "&#") == nullptr &&
      std::count(text.data(), text.data() + out, '\n') > popupStatusCount)
    std::abort();
  if (!validUtf8(reinterpret_cast<const unsigned char*>(text.data()), out)) std::abort();
  return 0;
}
