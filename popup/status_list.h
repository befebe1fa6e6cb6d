#pragma once
// The popup's text from the friends timeline: "name: text\n" for each of the
// first five statuses of the document.
#include <cstddef>

constexpr std::size_t popupTextSize = 65536;
constexpr int popupStatusCount = 5;
constexpr std::size_t statusFieldSize = 1024;  // a name or a text, with its terminator

// Appends up to five lines to the zero-terminated text in popupText (of
// popupTextSize bytes): one per <text>...</text> followed by
// <screen_name>...</screen_name>, in document order. The five predefined XML
// entities are decoded; a name or text is cut to 1023 bytes, never inside a
// UTF-8 character. Reads the zero-terminated timeline only up to its terminator.
void extractStatuses(const char* timeline, char* popupText, std::size_t popupTextSize);
