#pragma once
// Numeric character references of the timeline document, expanded to UTF-16.
#include <cstddef>

constexpr std::size_t referenceBodySize = 16;  // 15 characters and the terminator

// Expands the zero-terminated input into UTF-16 in output (capacity units,
// at least 1), zero-terminated; returns the number of units before the
// terminator.
//
// "&#" starts a reference that runs to ';' (consumed) or to the end of the
// input; number signs in it are dropped, and its first 15 other characters are
// kept (the rest are read past). A decimal body ("12354", leading blanks and a
// sign allowed) or a hexadecimal one ("x3042", "X3042") names the character;
// characters after the digits don't change the value. A value of 1 to 0x10FFFF
// that is not a surrogate becomes that character, as a surrogate pair above
// 0xFFFF; any other reference yields nothing. Every other byte becomes the
// unit of the same value, so raw bytes 0x80-0xFF read as U+0080-U+00FF.
//
// When output is full the text is cut, never between the two units of a pair.
std::size_t expandCharRefs(const char* input, char16_t* output, std::size_t capacity);

// The units the expansion of any input of inputLength bytes may need,
// terminator included.
constexpr std::size_t expandedCapacityFor(std::size_t inputLength) {
  return inputLength + 1;
}
