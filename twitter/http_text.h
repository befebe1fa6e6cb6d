#pragma once
// Header texts of the timeline request and the numbers read from reply headers.
#include <cstddef>
#include <cstdint>

constexpr std::size_t headerLineSize = 80;  // the header line and the queried values

constexpr char ifModifiedSincePrefix[] = "If-Modified-Since: ";
// The longest date the service may send that is sent back as it came.
constexpr std::size_t validatorLimit = headerLineSize - sizeof ifModifiedSincePrefix;

// "If-Modified-Since: Tue, 01 Jan 2008 00:00:00 GMT" for time (seconds since
// 1970, UTC) into line (headerLineSize bytes); returns its length (48).
// Any 32-bit time works, those before 1970 included.
std::size_t formatIfModifiedSince(std::int32_t time, char* line);

// A Last-Modified or Date value of an answer that can be sent back as it is
// in If-Modified-Since: 1 to validatorLimit printable ASCII characters, so
// that nothing from the network can add a line or a header to a request.
bool usableValidator(const char* value);

// The condition of the next timeline request after an answer (a value for
// If-Modified-Since, in condition of headerLineSize bytes; empty: none). Only
// a 200 moves it on: to the answer's Last-Modified, as the service's own clock
// wrote it; where the answer had none, to its Date; where it had neither, to
// requestTime, the PC's time taken just before the request. True for a 200.
bool takeTimelineAnswer(int status, const char* lastModified, const char* date,
                        std::int32_t requestTime, char* condition);

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
