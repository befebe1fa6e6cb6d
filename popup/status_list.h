#pragma once
// The popup's text from the friends timeline: "name: text\n" for each of the
// first five statuses of the document.
#include <cstddef>

constexpr std::size_t popupTextSize = 65536;
constexpr int popupStatusCount = 5;
constexpr std::size_t statusFieldSize = 1024;  // a name or a text, with its terminator

// Appends up to five lines to the zero-terminated text in popupText (of
// popupTextSize bytes): one per <text>...</text> followed by
// <screen_name>...</screen_name>, in document order. Each name and text is
// decoded on its own once the tags are found (decodeCharRefs: numeric
// references and the five predefined XML entities, once, into UTF-8) and cut
// to 1023 bytes, never inside a character. Reads the zero-terminated timeline
// only up to its terminator.
void extractStatuses(const char* timeline, char* popupText, std::size_t popupTextSize);
