#include "twitter/timeline_request.h"

#include <windows.h>

#include <cstring>

#include "base/lock.h"
#include "base/text_buffer.h"
#include "twitter/account.h"
#include "twitter/http_session.h"
#include "twitter/http_text.h"
#include "twitter/service.h"

namespace {

// The body is read no further than this, as it always was; past the
// document's start it is read only to be dropped.
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

  // The document as sent, cut to the buffer: the popup shows its first five
  // statuses, which come first. Its references are decoded later, field by
  // field, so that none can stand for a tag.
  const std::size_t room = timelineBufferSize - 1;
  std::size_t length = request.readBody(destination, room);
  destination[length] = 0;
  // The rest is still taken from the service, up to the cap as before.
  char rest[4096];
  std::size_t asked = room;
  std::size_t got = length;
  while (got == asked && length < bodyCap) {
    asked = bodyCap - length < sizeof rest ? bodyCap - length : sizeof rest;
    got = request.readBody(rest, asked);
    length += got;
  }
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
