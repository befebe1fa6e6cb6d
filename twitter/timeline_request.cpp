#include "twitter/timeline_request.h"

#include <windows.h>

#include <cstring>

#include "shell/account.h"
#include "twitter/char_refs.h"
#include "twitter/http_session.h"
#include "twitter/http_text.h"
#include "twitter/service.h"

namespace {

// Room beyond the announced length, so that a body somewhat longer than
// announced is still read whole.
constexpr std::size_t readSlack = 65535;
// Content-Length is only a hint: no body buffer grows past this.
constexpr std::size_t bodyCap = 256 * 1024;

}  // namespace

int fetchFriendsTimeline(char* destination, std::int32_t lastPollTime) {
  destination[0] = 0;
  const AccountCopy account = copyAccount();
  ServiceRequest request("GET", friendsTimelinePath, account,
                         ServiceRequest::ConnectionCredentials::account);

  char headerLine[headerLineSize] = {};
  if (lastPollTime != 0) {
    formatIfModifiedSince(lastPollTime, headerLine);
    OutputDebugStringA(headerLine);
  }
  // Sent twice on one request object; the object keeps the header the first
  // send added. When the first send got no reply the second won't either,
  // and would only hold the main thread for another timeout.
  if (!request.send(lastPollTime != 0 ? headerLine : nullptr, nullptr, 0)) return 0;
  if (!request.send(nullptr, nullptr, 0)) return 0;

  char statusText[headerLineSize];
  const int status = request.status(statusText);
  OutputDebugStringA(statusText);

  // The announced length only sizes the first buffer; a body that fills it
  // moves once to a buffer of the cap, so a missing or short count loses nothing.
  const std::size_t announced = request.contentLength();
  std::size_t capacity = announced < bodyCap - readSlack ? announced + readSlack : bodyCap;
  HeapBlock first(capacity + 1);  // zero-filled: the body always ends in a terminator
  char* raw = first.get();
  std::size_t length = raw ? request.readBody(raw, capacity) : 0;
  HeapBlock second(length == capacity && capacity < bodyCap ? bodyCap + 1 : 0);
  if (raw && second.get()) {
    std::memcpy(second.get(), raw, length);
    raw = second.get();
    request.readBody(raw + length, bodyCap - length);
  }
  if (raw) decodeCharRefs(raw, destination, timelineBufferSize);
  return status;
}
