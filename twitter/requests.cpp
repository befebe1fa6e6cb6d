#include "twitter/status_request.h"
#include "twitter/timeline_request.h"

// Placeholders until the web service client is built: no request goes out.
DWORD WINAPI postStatusThread(LPVOID text) {
  GlobalFree(text);
  return 0;
}

int fetchFriendsTimeline(char* destination, std::int32_t) {
  destination[0] = 0;
  return 0;
}
