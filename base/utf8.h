#pragma once
// UTF-8, read and written in one place for the whole program.
#include <cstddef>
#include <cstdint>

constexpr std::uint32_t largestCodePoint = 0x10FFFF;

// The length of the well-formed UTF-8 sequence at p, which must end before
// end, with its code point in c; 0 when there is none (a stray trail byte,
// an overlong form, a surrogate, a value past U+10FFFF, a sequence cut short).
// An ASCII byte, zero included, is a sequence of one.
std::size_t utf8Sequence(const char* p, const char* end, std::uint32_t& c);

// The UTF-8 form of a code point that is not a surrogate, into bytes (room
// for 4); returns its length.
std::size_t encodeUtf8(std::uint32_t c, char* bytes);
