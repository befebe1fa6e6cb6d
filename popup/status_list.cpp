#include "popup/status_list.h"

#include <cstring>

#include "base/text_buffer.h"

namespace {

constexpr char textOpen[] = "<text>";
constexpr char textClose[] = "</text>";
constexpr char nameOpen[] = "<screen_name>";
constexpr char nameClose[] = "</screen_name>";

struct Entity {
  const char* reference;
  std::size_t length;
  char character;
};
constexpr Entity entities[] = {
    {"&lt;", 4, '<'}, {"&gt;", 4, '>'}, {"&amp;", 5, '&'}, {"&quot;", 6, '"'}, {"&apos;", 6, '\''},
};

// Bytes of the UTF-8 character that starts with lead; 1 for a byte that
// starts none, which is then kept on its own.
std::size_t utf8Length(unsigned char lead) {
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  return 1;
}

// The bytes between the tags of one element, with its entities decoded, into
// a zeroed field. Decoding only shrinks, so the cut applies to what is shown.
void copyField(const char* begin, const char* end, char* field) {
  std::memset(field, 0, statusFieldSize);
  std::size_t used = 0;
  const char* at = begin;
  while (at < end) {
    const std::size_t left = static_cast<std::size_t>(end - at);
    const char* bytes = at;
    std::size_t take = 0;  // bytes written
    std::size_t skip = 0;  // bytes read
    if (*at == '&') {
      for (const Entity& entity : entities) {
        if (entity.length <= left && std::memcmp(at, entity.reference, entity.length) == 0) {
          bytes = &entity.character;
          take = 1;
          skip = entity.length;
          break;
        }
      }
    }
    if (skip == 0) {
      const std::size_t size = utf8Length(static_cast<unsigned char>(*at));
      // a lead byte whose trail is missing is kept as it came
      take = skip = size < left ? size : left;
    }
    if (used + take > statusFieldSize - 1) break;
    std::memcpy(field + used, bytes, take);
    used += take;
    at += skip;
  }
}

// The next element from `from`: false when a tag is missing or the closing tag
// comes first, which ends the scan (no negative lengths).
bool findElement(const char* from, const char* open, std::size_t openLength, const char* close,
                 const char*& contentBegin, const char*& closeAt) {
  const char* openAt = std::strstr(from, open);
  closeAt = std::strstr(from, close);
  if (openAt == nullptr || closeAt == nullptr) return false;
  contentBegin = openAt + openLength;
  return closeAt >= contentBegin;
}

}  // namespace

void extractStatuses(const char* timeline, char* popupText, std::size_t popupTextSize) {
  if (popupTextSize == 0) return;
  const void* terminator = std::memchr(popupText, 0, popupTextSize);
  if (terminator == nullptr) return;  // not a terminated text: leave it alone
  std::size_t textLength =
      static_cast<std::size_t>(static_cast<const char*>(terminator) - popupText);

  char text[statusFieldSize];
  char name[statusFieldSize];
  // Sized so that a full name and a full text always fit: never a cut line.
  char line[2 * (statusFieldSize - 1) + sizeof ": \n"];

  const char* cursor = timeline;
  for (int entries = 0; entries < popupStatusCount; ++entries) {
    const char *textBegin, *textEnd;
    if (!findElement(cursor, textOpen, sizeof textOpen - 1, textClose, textBegin, textEnd)) return;
    copyField(textBegin, textEnd, text);
    // Search on right at the end of the tag: in a document without line
    // breaks the next byte already belongs to the author's element.
    const char* afterText = textEnd + (sizeof textClose - 1);

    const char *nameBegin, *nameEnd;
    if (!findElement(afterText, nameOpen, sizeof nameOpen - 1, nameClose, nameBegin, nameEnd))
      return;
    copyField(nameBegin, nameEnd, name);
    cursor = nameEnd + (sizeof nameClose - 1);

    const std::size_t lineLength =
        TextBuffer(line, sizeof line).text(name).text(": ").text(text).text("\n").length();
    if (textLength + lineLength + 1 > popupTextSize) return;  // only whole lines
    std::memcpy(popupText + textLength, line, lineLength + 1);
    textLength += lineLength;
  }
}
