#include "popup/status_list.h"

#include <cstring>

#include "base/text_buffer.h"
#include "twitter/char_refs.h"

namespace {

constexpr char textOpen[] = "<text>";
constexpr char textClose[] = "</text>";
constexpr char nameOpen[] = "<screen_name>";
constexpr char nameClose[] = "</screen_name>";

// The bytes between the tags of one element into a field, its references
// decoded only now: one that stands for a tag or an entity stays text.
void copyField(const char* begin, const char* end, char* field) {
  decodeCharRefs(begin, static_cast<std::size_t>(end - begin), field, statusFieldSize);
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
