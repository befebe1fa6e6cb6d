#include "twitter/decode_char_refs.h"

#include <windows.h>

#include <cstring>

#include "twitter/char_refs.h"
#include "twitter/http_session.h"

namespace {

// Bytes of the narrow form of the first units of wide, without a terminator.
int narrowLength(const wchar_t* wide, int units) {
  if (units == 0) return 0;
  return WideCharToMultiByte(CP_ACP, 0, wide, units, nullptr, 0, "/", nullptr);
}

bool isLowSurrogate(wchar_t unit) {
  return unit >= 0xDC00 && unit <= 0xDFFF;
}

}  // namespace

char* decodeCharRefs(const char* input, char* output, std::size_t outputSize) {
  if (outputSize == 0) return output;
  output[0] = 0;
  const std::size_t capacity = expandedCapacityFor(std::strlen(input));
  HeapBlock wideBlock(capacity * sizeof(char16_t));
  if (!wideBlock.get()) return output;
  // char16_t and wchar_t are both UTF-16 units on Windows
  static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 wchar_t");
  auto* expanded = reinterpret_cast<char16_t*>(wideBlock.get());
  const int units = static_cast<int>(expandCharRefs(input, expanded, capacity));
  const auto* wide = reinterpret_cast<const wchar_t*>(expanded);

  // The longest run of whole characters whose narrow form fits beside the
  // terminator, by binary search: a code page's bytes per character vary.
  const int room = static_cast<int>(outputSize - 1);
  auto wholeCharacters = [&](int cut) {  // a pair's low unit never starts a cut
    return cut > 0 && cut < units && isLowSurrogate(wide[cut]) ? cut - 1 : cut;
  };
  int fitting = units;
  if (narrowLength(wide, units) > room) {
    int low = 0, high = units;  // low fits, high doesn't
    while (high - low > 1) {
      int middle = low + (high - low) / 2;
      if (narrowLength(wide, wholeCharacters(middle)) <= room) {
        low = middle;
      } else {
        high = middle;
      }
    }
    fitting = wholeCharacters(low);
  }
  int written =
      fitting == 0 ? 0 : WideCharToMultiByte(CP_ACP, 0, wide, fitting, output, room, "/", nullptr);
  output[written > 0 ? written : 0] = 0;
  return output;
}
