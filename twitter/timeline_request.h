#pragma once
// The friends timeline request.
#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "twitter/http_text.h"

constexpr std::size_t timelineBufferSize = 65536;
// From the first send to the end of the body, however slowly the service sends.
constexpr std::int64_t timelineDeadlineMs = 30000;

// When the answer says its document was last changed, in the service's own
// words: its Last-Modified and Date values (empty when missing).
struct TimelineStamp {
  char lastModified[headerLineSize];
  char date[headerLineSize];
};

// Fetches the timeline into destination (timelineBufferSize bytes): the
// document as sent, its first timelineBufferSize - 1 bytes at most, then a
// terminator; with If-Modified-Since: condition unless it is empty; the
// answer's stamp goes to stamp. What arrived by the deadline is used. Returns
// the HTTP status code, or 0 when no reply came at all. Blocks the calling
// thread while it runs.
int fetchFriendsTimeline(char* destination, const char* condition, TimelineStamp& stamp);

// The same on a thread of its own, one at a time, so that nobody waits for
// the service: when it is done, `message` (which carries nothing) is posted
// to `window`. False when one still runs or no thread could be had.
bool startTimelineFetch(HWND window, UINT message, const char* condition);
bool timelineFetchRunning();
// On that message: the result of the fetch that sent it, its document copied
// into destination (timelineBufferSize bytes). False when there is none (the
// message came from someone else).
bool takeTimelineResult(int& status, char* destination, TimelineStamp& stamp);
