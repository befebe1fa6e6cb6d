// relay_baseline: the least a mood relay can do, for scripts/bench to set the
// program's relay latency against. It attaches to the chat client the way the
// program does (hidden window, discovery broadcast every 300 ms, "PROTOCOL 5")
// and, when a mood-text notification comes, posts the same body with the same
// WinINet calls, right there in the window procedure: no thread, no copy.
//
//   relay_baseline USER PASSWORD [--thread]
//
// With --thread each post runs on a new thread, as the program's do; the
// difference between the two modes is the cost of the thread alone. The
// window class tells the modes apart: MrRelayBaseline, MrRelayBaselineThread.
//
// It ends when its window gets WM_CLOSE.
#include <windows.h>
#include <wininet.h>

#include <cstdlib>
#include <cstring>
#include <initializer_list>

namespace {

constexpr char inlineClassName[] = "MrRelayBaseline";
constexpr char threadClassName[] = "MrRelayBaselineThread";
constexpr char moodPrefix[] = "PROFILE MOOD_TEXT ";
constexpr DWORD prefixLength = sizeof moodPrefix - 1;
constexpr char contentType[] = "Content-Type: application/x-www-form-urlencoded";

UINT discoverMsg, attachMsg;
HWND ownWindow, clientWindow;
const char* user = "";
const char* password = "";
bool postOnThread = false;

// "status=" + the form-encoded text + one space, cut to fit the 1024 bytes.
DWORD statusBody(const unsigned char* text, DWORD length, char (&body)[1024]) {
  static const char digits[] = "0123456789ABCDEF";
  DWORD used = 7;
  std::memcpy(body, "status=", used);
  for (DWORD i = 0; i < length && text[i]; ++i) {
    unsigned char c = text[i];
    if (c == ' ') {
      if (used + 1 > sizeof body - 2) break;
      body[used++] = '+';
    } else if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
               std::strchr("*-.@_", c)) {
      if (used + 1 > sizeof body - 2) break;
      body[used++] = static_cast<char>(c);
    } else {
      if (used + 3 > sizeof body - 2) break;
      body[used++] = '%';
      body[used++] = digits[c >> 4];
      body[used++] = digits[c & 15];
    }
  }
  body[used++] = ' ';
  body[used] = 0;
  return used;
}

void setTimeouts(HINTERNET handle) {
  DWORD timeout = 15000;
  for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                       INTERNET_OPTION_RECEIVE_TIMEOUT})
    InternetSetOptionA(handle, option, &timeout, sizeof timeout);
}

void post(const unsigned char* text, DWORD length) {
  char body[1024];
  DWORD bodyLength = statusBody(text, length, body);
  HINTERNET session =
      InternetOpenA("MoodRelayer", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  HINTERNET connection =
      InternetConnectA(session, "twitter.com", 80, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
  setTimeouts(connection);
  const char* accepted[] = {"*/*", nullptr};
  HINTERNET request = HttpOpenRequestA(
      connection, "POST", "/statuses/update.json", nullptr, nullptr, accepted,
      INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_COOKIES, 0);
  setTimeouts(request);
  InternetSetOptionA(request, INTERNET_OPTION_USERNAME, const_cast<char*>(user),
                     static_cast<DWORD>(std::strlen(user)));
  InternetSetOptionA(request, INTERNET_OPTION_PASSWORD, const_cast<char*>(password),
                     static_cast<DWORD>(std::strlen(password)));
  if (HttpSendRequestA(request, contentType, sizeof contentType - 1, body, bodyLength)) {
    char lengthText[80] = {};
    DWORD size = sizeof lengthText;
    if (HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH, lengthText, &size, nullptr)) {
      static char reply[65536];
      DWORD wanted = static_cast<DWORD>(std::strtoul(lengthText, nullptr, 10));
      DWORD got = 0;
      if (wanted > sizeof reply) wanted = sizeof reply;
      if (wanted) InternetReadFile(request, reply, wanted, &got);
    }
  }
  InternetCloseHandle(request);
  InternetCloseHandle(connection);
  InternetCloseHandle(session);
}

struct PostJob {
  unsigned char text[1024];
  DWORD length;
};

DWORD WINAPI postThread(LPVOID parameter) {
  auto* job = static_cast<PostJob*>(parameter);
  post(job->text, job->length);
  delete job;
  return 0;
}

void relay(const unsigned char* text, DWORD length) {
  if (!postOnThread) {
    post(text, length);
    return;
  }
  auto* job = new PostJob;
  job->length = length < sizeof job->text ? length : sizeof job->text;
  std::memcpy(job->text, text, job->length);
  HANDLE thread = CreateThread(nullptr, 0, postThread, job, 0, nullptr);
  if (thread)
    CloseHandle(thread);
  else
    delete job;
}

void sendProtocol() {
  char command[] = "PROTOCOL 5";
  COPYDATASTRUCT copyData = {};
  copyData.cbData = sizeof command;
  copyData.lpData = command;
  SendMessageA(clientWindow, WM_COPYDATA, reinterpret_cast<WPARAM>(ownWindow),
               reinterpret_cast<LPARAM>(&copyData));
}

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_TIMER:
      if (!clientWindow)
        PostMessageA(HWND_BROADCAST, discoverMsg, reinterpret_cast<WPARAM>(window), 0);
      return 0;
    case WM_COPYDATA: {
      const auto* copyData = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
      const auto* bytes = static_cast<const unsigned char*>(copyData->lpData);
      if (reinterpret_cast<HWND>(wParam) == clientWindow && copyData->cbData > prefixLength &&
          std::memcmp(bytes, moodPrefix, prefixLength) == 0)
        relay(bytes + prefixLength, copyData->cbData - prefixLength);
      return 1;
    }
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  if (message == attachMsg && lParam == 0) {
    clientWindow = reinterpret_cast<HWND>(wParam);
    sendProtocol();
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  if (__argc > 2) {
    user = __argv[1];
    password = __argv[2];
  }
  postOnThread = __argc > 3 && std::strcmp(__argv[3], "--thread") == 0;
  const char* className = postOnThread ? threadClassName : inlineClassName;
  discoverMsg = RegisterWindowMessageA("SkypeControlAPIDiscover");
  attachMsg = RegisterWindowMessageA("SkypeControlAPIAttach");
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = windowProc;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = className;
  if (!RegisterClassA(&windowClass)) return 1;
  ownWindow = CreateWindowExA(0, className, className, WS_OVERLAPPEDWINDOW, 0, 0, 0, 0, nullptr,
                              nullptr, instance, nullptr);
  if (!ownWindow) return 1;
  PostMessageA(HWND_BROADCAST, discoverMsg, reinterpret_cast<WPARAM>(ownWindow), 0);
  SetTimer(ownWindow, 1, 300, nullptr);

  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
  return 0;
}
