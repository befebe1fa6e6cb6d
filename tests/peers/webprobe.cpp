// webprobe: runs the program's web requests on their own, for the scenarios
// that check them against the fake service under Wine.
//
//   webprobe post NAME PASSWORD HEXTEXT [COUNT]  posts the text COUNT times (default 1),
//                                                one after the other, retries included
//   webprobe timeline NAME PASSWORD WHEN         fetches the timeline, with
//                                                If-Modified-Since WHEN: a time
//                                                (0: none) or a date as sent; prints
//                                                "status N", "ms N", "text HEX",
//                                                "next HEX" (the next condition)
//   webprobe decode HEXINPUT                     prints the text of one field, decoded
//                                                as the popup shows it, in hex
//   webprobe codepages                           prints "ACP OEMCP"
// Texts go in and out in hex so that no code page gets in the way.
// Exit code 0 on success, 2 on bad usage.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <string>

#include "twitter/account.h"
#include "tests/peers/hex_text.h"
#include "twitter/char_refs.h"
#include "twitter/status_request.h"
#include "twitter/timeline_request.h"

static void printHex(const char* label, const char* text) {
  std::printf("%s ", label);
  for (const char* p = text; *p; ++p) std::printf("%02x", static_cast<unsigned char>(*p));
  std::printf("\n");
}

static void setAccount(const char* name, const char* password) {
  Hold hold(accountLock);
  lstrcpynA(userName, name, accountFieldSize);
  lstrcpynA(userPassword, password, accountFieldSize);
}

static int post(const std::string& text, int count) {
  for (int i = 0; i < count; ++i) {
    postMoodNow(text.c_str());
  }
  return 0;
}

static int timeline(const char* when) {
  static char destination[timelineBufferSize];
  std::memset(destination, 'X', sizeof destination);  // shows an unterminated result
  char condition[headerLineSize] = "";
  char* end = nullptr;
  const long time = std::strtol(when, &end, 10);
  if (*end != 0)
    lstrcpynA(condition, when, sizeof condition);
  else if (time != 0)  // the date of that time, as the program writes it without one of the service's
    takeTimelineAnswer(200, "", "", static_cast<std::int32_t>(time), condition);
  TimelineStamp stamp;
  DWORD start = GetTickCount();
  int status = fetchFriendsTimeline(destination, condition, stamp);
  DWORD elapsed = GetTickCount() - start;
  char next[headerLineSize] = "";
  takeTimelineAnswer(status, stamp.lastModified, stamp.date, 1, next);
  std::printf("status %d\nms %lu\n", status, elapsed);
  if (std::memchr(destination, 0, sizeof destination) == nullptr) {
    std::printf("unterminated\n");
    return 1;
  }
  std::printf("length %u\n", static_cast<unsigned>(std::strlen(destination)));
  printHex("text", destination);
  printHex("next", next);
  return 0;
}

int main(int argc, char** argv) {
  _setmode(_fileno(stdout), _O_BINARY);
  std::string command = argc > 1 ? argv[1] : "";
  if (command == "post" && argc >= 5) {
    setAccount(argv[2], argv[3]);
    return post(fromHex(argv[4]), argc > 5 ? std::atoi(argv[5]) : 1);
  }
  if (command == "timeline" && argc == 5) {
    setAccount(argv[2], argv[3]);
    return timeline(argv[4]);
  }
  if (command == "decode" && argc == 3) {
    std::string input = fromHex(argv[2]);
    static char output[timelineBufferSize];
    decodeCharRefs(input.data(), input.size(), output, sizeof output);
    printHex("text", output);
    return 0;
  }
  if (command == "codepages") {
    std::printf("%u %u\n", GetACP(), GetOEMCP());
    return 0;
  }
  std::fprintf(stderr, "usage: webprobe post|timeline|decode|codepages ...\n");
  return 2;
}
