#pragma once
// The friends timeline request.
#include <cstddef>
#include <cstdint>

constexpr std::size_t timelineBufferSize = 65536;

// Fetches the timeline into destination (timelineBufferSize bytes) as UTF-8
// text, references expanded, with If-Modified-Since lastPollTime unless it is 0.
// Returns the HTTP status code, or 0 when no reply came at all.
int fetchFriendsTimeline(char* destination, std::int32_t lastPollTime);
