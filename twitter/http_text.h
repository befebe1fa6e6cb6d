#pragma once
// Header texts of the timeline request and the numbers read from reply headers.
#include <cstddef>
#include <cstdint>

constexpr std::size_t headerLineSize = 80;  // the header line and the queried values

// "If-Modified-Since: Tue, 01 Jan 2008 00:00:00 GMT" for time (seconds since
// 1970, UTC) into line (headerLineSize bytes); returns its length (48).
// Any 32-bit time works, those before 1970 included.
std::size_t formatIfModifiedSince(std::int32_t time, char* line);

// The decimal value at the start of a header value: leading blanks and a sign
// allowed, digits up to the first other character; 0 when there are none.
// Saturates instead of overflowing.
std::int64_t leadingDecimal(const char* text);

// A Content-Length value as a byte count: missing, negative or unparsable is 0.
std::size_t contentLengthHint(const char* text);

// How long the next wait of a request may take so that it ends by its
// deadline (times in ms of one clock): perWaitMs at most, and 0 once the
// deadline has come, when the request stops.
std::uint32_t receiveWaitMs(std::int64_t now, std::int64_t deadline, std::uint32_t perWaitMs);
