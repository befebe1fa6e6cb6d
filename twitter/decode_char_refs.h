#pragma once
// The timeline document as text the popup can draw.
#include <cstddef>

// Expands the numeric character references of the zero-terminated input and
// converts the text to the ANSI code page, the one the popup draws with;
// characters the code page has neither exactly nor by best fit become "/".
// Writes at most outputSize bytes with the terminator, cut at a character
// boundary; returns output.
char* decodeCharRefs(const char* input, char* output, std::size_t outputSize);
