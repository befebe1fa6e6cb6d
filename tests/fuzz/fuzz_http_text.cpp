// Header values come from the network; the date line from any 32-bit time.
// A date the service sent goes back into a request only when it is safe to.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "twitter/http_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string value(reinterpret_cast<const char*>(data), size);
  value = value.c_str();
  std::int64_t number = leadingDecimal(value.c_str());
  std::size_t hint = contentLengthHint(value.c_str());
  if (number <= 0 && hint != 0) std::abort();
  if (hint > 0x7FFFFFFF) std::abort();

  std::int32_t time = 0;
  std::memcpy(&time, data, size < sizeof time ? size : sizeof time);
  char line[headerLineSize + 1];
  line[headerLineSize] = '#';
  if (formatIfModifiedSince(time, line) != 48 || std::strlen(line) != 48) std::abort();
  if (line[headerLineSize] != '#') std::abort();

  // Whatever Last-Modified or Date said, what goes back is one printable line that fits.
  char condition[headerLineSize + 1];
  condition[headerLineSize] = '#';
  if (!takeTimelineAnswer(200, value.c_str(), value.c_str(), time, condition)) std::abort();
  if (!usableValidator(condition) || condition[headerLineSize] != '#') std::abort();
  return 0;
}
