#include "twitter/timeline_request.h"

#include <windows.h>

#include <cstring>

#include "base/lock.h"
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

int fetchFriendsTimeline(char* destination, std::int32_t lastPollTime) {
  destination[0] = 0;
  const AccountCopy account = copyAccount();
  ServiceRequest request("GET", friendsTimelinePath, account,
                         ServiceRequest::ConnectionCredentials::account);
  request.limitTo(timelineDeadlineMs);

  char headerLine[headerLineSize] = {};
  if (lastPollTime != 0) {
    formatIfModifiedSince(lastPollTime, headerLine);
    OutputDebugStringA(headerLine);
  }
  // Sent twice on one request object; the object keeps the header the first
  // send added. When the first send got no reply the second won't either,
  // and would only hold the request for another timeout.
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

namespace {

// The fetch under way and its result, shared by the main thread and the
// fetch's thread under fetchLock.
Lock fetchLock;
bool fetchRunning = false;
bool resultReady = false;
int resultStatus = 0;
char* resultDocument = nullptr;  // timelineBufferSize bytes, GlobalAlloc

struct FetchOrder {
  HWND window;
  UINT message;
  std::int32_t lastPollTime;
};

DWORD WINAPI fetchThread(LPVOID parameter) {
  const FetchOrder order = *static_cast<FetchOrder*>(parameter);
  GlobalFree(parameter);
  auto* document = static_cast<char*>(GlobalAlloc(GPTR, timelineBufferSize));
  const int status = document ? fetchFriendsTimeline(document, order.lastPollTime) : 0;
  if (document) document[timelineBufferSize - 1] = 0;
  {
    Hold hold(fetchLock);
    GlobalFree(resultDocument);  // one nobody took
    resultDocument = document;
    resultStatus = status;
    resultReady = true;
    fetchRunning = false;
  }
  PostMessageA(order.window, order.message, 0, 0);
  return 0;
}

}  // namespace

bool startTimelineFetch(HWND window, UINT message, std::int32_t lastPollTime) {
  auto* order = static_cast<FetchOrder*>(GlobalAlloc(GPTR, sizeof(FetchOrder)));
  if (!order) return false;
  *order = {window, message, lastPollTime};
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

bool takeTimelineResult(int& status, char* destination) {
  Hold hold(fetchLock);
  if (!resultReady) return false;
  resultReady = false;
  status = resultStatus;
  destination[0] = 0;
  if (resultDocument) std::memcpy(destination, resultDocument, timelineBufferSize);
  GlobalFree(resultDocument);
  resultDocument = nullptr;
  return true;
}
