#include "twitter/timeline_request.h"

#include <windows.h>

#include <cstring>

#include "base/lock.h"
#include "twitter/account.h"
#include "twitter/http_session.h"
#include "twitter/http_text.h"
#include "twitter/service.h"

namespace {

// The body is read no further than this, as it always was; past the
// document's start it is read only to be dropped.
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
