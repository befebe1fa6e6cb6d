#pragma once
// The text of one element of the timeline document as the popup shows it:
// its references decoded, the whole in UTF-8.
#include <cstddef>

constexpr std::size_t referenceBodySize = 16;  // 15 characters and the terminator

// Decodes the inputLength bytes at input into UTF-8 in output (outputSize
// bytes, terminator included); returns the number of bytes before the
// terminator. Meant for one name or text at a time, after the tags are found,
// so that no reference can stand for markup.
//
// One pass from left to right; what a reference yields is text, never the
// start of another reference ("&#38;lt;" gives "&lt;").
//
// "&#" starts a numeric reference that runs to ';' (consumed) or to the end
// of the input; number signs in it are dropped, and its first 15 other
// characters are kept (the rest are read past). A decimal body ("12354",
// leading blanks and a sign allowed) or a hexadecimal one ("x3042", "X3042")
// names the character; characters after the digits don't change the value. A
// value of 1 to 0x10FFFF that is not a surrogate becomes that character; any
// other reference yields nothing. "&lt;", "&gt;", "&amp;", "&quot;" and
// "&apos;" become their characters; any other '&' stays as it is. Text
// outside references is UTF-8, as the document declares: a well-formed
// sequence is kept as it is, a zero byte is dropped and any other byte
// 0x80-0xFF reads as U+0080-U+00FF. No character is ever replaced by another.
//
// When output is full the text is cut, never inside a character.
std::size_t decodeCharRefs(const char* input, std::size_t inputLength, char* output,
                           std::size_t outputSize);

// The bytes the decoding of any input of inputLength bytes may need,
// terminator included: a raw byte takes at most two, and a reference of at
// least three bytes ("&#" and a digit) at most four.
constexpr std::size_t decodedSizeFor(std::size_t inputLength) {
  return 2 * inputLength + 1;
}
