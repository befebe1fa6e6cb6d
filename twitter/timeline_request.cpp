#include "twitter/timeline_request.h"

#include <windows.h>

#include <cstring>

#include "base/lock.h"
#include "base/text_buffer.h"
#include "twitter/account.h"
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

int fetchFriendsTimeline(char* destination, const char* condition, TimelineStamp& stamp) {
  destination[0] = 0;
  stamp.lastModified[0] = 0;
  stamp.date[0] = 0;
  const AccountCopy account = copyAccount();
  ServiceRequest request("GET", friendsTimelinePath, account,
                         ServiceRequest::ConnectionCredentials::account);
  request.limitTo(timelineDeadlineMs);

  char headerLine[headerLineSize] = {};
  const bool conditional = condition[0] != 0;
  if (conditional) {
    TextBuffer(headerLine, sizeof headerLine).text(ifModifiedSincePrefix).text(condition);
    OutputDebugStringA(headerLine);
  }
  // Sent twice on one request object; the object keeps the header the first
  // send added. When the first send got no reply the second won't either,
  // and would only hold the request for another timeout.
  if (!request.send(conditional ? headerLine : nullptr, nullptr, 0)) return 0;
  if (!request.send(nullptr, nullptr, 0)) return 0;

  char statusText[headerLineSize];
  const int status = request.status(statusText);
  OutputDebugStringA(statusText);
  request.header(HTTP_QUERY_LAST_MODIFIED, stamp.lastModified);
  request.header(HTTP_QUERY_DATE, stamp.date);

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

namespace {

// The fetch under way and its result, shared by the main thread and the
// fetch's thread under fetchLock.
Lock fetchLock;
bool fetchRunning = false;
bool resultReady = false;
int resultStatus = 0;
TimelineStamp resultStamp;
char* resultDocument = nullptr;  // timelineBufferSize bytes, GlobalAlloc

struct FetchOrder {
  HWND window;
  UINT message;
  char condition[headerLineSize];
};

DWORD WINAPI fetchThread(LPVOID parameter) {
  const auto* order = static_cast<FetchOrder*>(parameter);
  const HWND window = order->window;
  const UINT message = order->message;
  TimelineStamp stamp = {};
  auto* document = static_cast<char*>(GlobalAlloc(GPTR, timelineBufferSize));
  const int status = document ? fetchFriendsTimeline(document, order->condition, stamp) : 0;
  GlobalFree(parameter);
  if (document) document[timelineBufferSize - 1] = 0;
  {
    Hold hold(fetchLock);
    GlobalFree(resultDocument);  // one nobody took
    resultDocument = document;
    resultStatus = status;
    resultStamp = stamp;
    resultReady = true;
    fetchRunning = false;
  }
  PostMessageA(window, message, 0, 0);
  return 0;
}

}  // namespace

bool startTimelineFetch(HWND window, UINT message, const char* condition) {
  auto* order = static_cast<FetchOrder*>(GlobalAlloc(GPTR, sizeof(FetchOrder)));
  if (!order) return false;
  order->window = window;
  order->message = message;
  TextBuffer(order->condition, sizeof order->condition).text(condition);
  Hold hold(fetchLock);
  if (fetchRunning) {
    GlobalFree(order);
    return false;
  }
  DWORD threadId = 0;
  HANDLE thread = CreateThread(nullptr, 0, fetchThread, order, 0, &threadId);
  if (!thread) {
    GlobalFree(order);
    return false;
  }
  CloseHandle(thread);  // nobody waits for it: the program may end while it hangs
  fetchRunning = true;
  return true;
}

bool timelineFetchRunning() {
  Hold hold(fetchLock);
  return fetchRunning;
}

bool takeTimelineResult(int& status, char* destination, TimelineStamp& stamp) {
  Hold hold(fetchLock);
  if (!resultReady) return false;
  resultReady = false;
  status = resultStatus;
  stamp = resultStamp;
  destination[0] = 0;
  if (resultDocument) std::memcpy(destination, resultDocument, timelineBufferSize);
  GlobalFree(resultDocument);
  resultDocument = nullptr;
  return true;
}
