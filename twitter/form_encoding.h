#pragma once
// The status text as the value of a form field, and the body that carries it.
#include <cstddef>

// application/x-www-form-urlencoded, byte by byte with no charset conversion:
// space becomes '+', 0-9 A-Z a-z and * - . @ _ stay, every other byte becomes
// %XX in upper case. destination needs 3 * strlen(source) + 1 bytes.
void formUrlEncode(const char* source, char* destination);

constexpr std::size_t statusBodySize = 1024;
constexpr char statusFieldPrefix[] = "status=";

// Fills body (statusBodySize bytes) with "status=", the encoded text and one
// unencoded space, zero-terminated; returns its length without the terminator.
// A text whose encoded form doesn't fit is cut at the last byte that fits, but
// never inside a %XX escape and, when the text is valid UTF-8, never inside a
// character.
std::size_t buildStatusBody(const char* text, char* body);
