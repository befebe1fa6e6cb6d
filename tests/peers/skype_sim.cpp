// skype_sim: plays the Skype client's side of the Desktop API for the
// scenarios and the demo. It owns a hidden API window (and a second window of
// its own, for texts from a window that is not the attached one), answers
// discovery with an attach reply, takes commands, and logs what it receives.
//
//   skype_sim PORT [--status N|none] [--refuse] [--log FILE]
//
// It connects to 127.0.0.1:PORT, where the test listens, and takes one
// command per line. Each answer is zero or more data lines and a last line
// that begins with "ok" or "error". When the connection closes, it exits.
//
//   status N|none          answer discoveries with attach status N (0 attached,
//                          1 pending, 2 refused, 3 not available, 0x8001
//                          available), or not at all
//   accept 1|0             result of every command the program sends us
//   attach N [api|second]  post an attach reply with status N to the last
//                          discoverer now, naming the API or the second window
//   send FROM CBDATA HEX   send WM_COPYDATA to the last discoverer: wParam FROM
//                          (api, second or a number), the bytes HEX, zero-padded
//                          to CBDATA when shorter; answers "ok result=N"
//   mood TEXT              send "PROFILE MOOD_TEXT " TEXT and its terminator
//                          from the API window (TEXT is the rest of the line, raw)
//   target HWND            send from now on to that window instead of the last
//                          discoverer (several attached programs, one client)
//   vanish                 end the process (exit code 3), unanswered, inside the
//                          handling of the next text the program sends us (a
//                          client that closes in the middle of the attach exchange)
//   hang                   stop answering for good inside the handling of the next
//                          text the program sends us (a client that hangs)
//   windows                "ok api=HWND second=HWND"
//   log                    every log line so far; clear forgets them
//   quit                   ends the simulator
//
// Log lines, t in milliseconds since start:
//   t=T discover from=HWND class=NAME
//   t=T attach to=HWND from=HWND status=N
//   t=T copydata to=api|second from=HWND class=NAME dwData=N cbData=N data=HEX result=N
//   t=T sent from=HWND cbData=N data=HEX result=N wall=US   (a text we sent; US is
//                          the wall-clock time just before the send, in microseconds
//                          since 1970, the clock of the Linux side under Wine)
#include <winsock2.h>
#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr UINT controlMsg = WM_APP + 1;        // lParam: a ControlRequest, from the reader thread
constexpr UINT protocolReplyMsg = WM_APP + 2;  // wParam: who asked; lParam: the version
constexpr UINT closeMsg = WM_APP + 3;

struct ControlRequest {
  std::string line;
  std::string reply;
  bool quit = false;
};

UINT discoverMsg, attachMsg;
HWND apiWindow, secondWindow;
HWND lastDiscoverer;
long long attachStatus = 0;  // < 0: no answer
bool acceptCommands = true;
bool vanishOnText = false;
bool hangOnText = false;
constexpr UINT vanishExitCode = 3;
DWORD startTick;
std::vector<std::string> logLines;
FILE* logFile;

std::string hex(const unsigned char* bytes, std::size_t size) {
  static const char digits[] = "0123456789abcdef";
  std::string text;
  for (std::size_t i = 0; i < size; ++i) {
    text += digits[bytes[i] >> 4];
    text += digits[bytes[i] & 15];
  }
  return text;
}

std::string handleText(HWND window) {
  char text[32];
  std::snprintf(text, sizeof text, "0x%llx",
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window)));
  return text;
}

std::string className(HWND window) {
  char name[256] = {};
  if (!window || !GetClassNameA(window, name, sizeof name)) return "-";
  return name;
}

void logLine(const char* format, ...) {
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "t=%lu ", GetTickCount() - startTick);
  va_list args, again;
  va_start(args, format);
  va_copy(again, args);
  int size = std::vsnprintf(nullptr, 0, format, args);
  std::string text(stamp);
  if (size > 0) {
    std::vector<char> body(static_cast<std::size_t>(size) + 1);
    std::vsnprintf(body.data(), body.size(), format, again);
    text += body.data();
  }
  va_end(again);
  va_end(args);
  logLines.push_back(text);
  if (logFile) {
    std::fprintf(logFile, "%s\n", text.c_str());
    std::fflush(logFile);
  }
}

// Microseconds since 1970: comparable with the wall clock of other processes.
unsigned long long wallClockUs() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  unsigned long long ticks =
      (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  return ticks / 10 - 11644473600000000ULL;
}

LRESULT sendCopyData(HWND to, HWND from, const std::vector<unsigned char>& bytes, DWORD cbData) {
  COPYDATASTRUCT copyData = {};
  copyData.cbData = cbData;
  copyData.lpData = const_cast<unsigned char*>(bytes.data());
  const unsigned long long sentAt = wallClockUs();
  LRESULT result = SendMessageA(to, WM_COPYDATA, reinterpret_cast<WPARAM>(from),
                                reinterpret_cast<LPARAM>(&copyData));
  logLine("sent from=%s cbData=%lu data=%s result=%lld wall=%llu", handleText(from).c_str(),
          static_cast<unsigned long>(cbData), hex(bytes.data(), cbData).c_str(),
          static_cast<long long>(result), sentAt);
  return result;
}

void postAttach(HWND to, HWND from, long long status) {
  PostMessageA(to, attachMsg, reinterpret_cast<WPARAM>(from), static_cast<LPARAM>(status));
  logLine("attach to=%s from=%s status=%lld", handleText(to).c_str(), handleText(from).c_str(),
          status);
}

LRESULT onCopyData(HWND window, HWND sender, const COPYDATASTRUCT* copyData) {
  const auto* bytes = static_cast<const unsigned char*>(copyData->lpData);
  LRESULT result = acceptCommands ? 1 : 0;
  logLine("copydata to=%s from=%s class=%s dwData=%llu cbData=%lu data=%s result=%lld",
          window == apiWindow ? "api" : "second", handleText(sender).c_str(),
          className(sender).c_str(), static_cast<unsigned long long>(copyData->dwData),
          static_cast<unsigned long>(copyData->cbData),
          bytes ? hex(bytes, copyData->cbData).c_str() : "", static_cast<long long>(result));
  if (vanishOnText) {
    logLine("vanish");
    ExitProcess(vanishExitCode);
  }
  if (hangOnText) {
    logLine("hang");
    Sleep(INFINITE);
  }
  // A client confirms the protocol it will speak, once it has taken the command.
  if (acceptCommands && bytes && copyData->cbData > 9 &&
      std::strncmp(reinterpret_cast<const char*>(bytes), "PROTOCOL ", 9) == 0) {
    std::string number(reinterpret_cast<const char*>(bytes) + 9, copyData->cbData - 9);
    long version = std::strtol(number.c_str(), nullptr, 10);
    PostMessageA(window, protocolReplyMsg, reinterpret_cast<WPARAM>(sender),
                 version < 1   ? 1
                 : version > 5 ? 5
                               : version);
  }
  return result;
}

HWND parseSender(const std::string& word) {
  if (word == "api") return apiWindow;
  if (word == "second") return secondWindow;
  return reinterpret_cast<HWND>(static_cast<uintptr_t>(std::strtoull(word.c_str(), nullptr, 0)));
}

bool parseHex(const std::string& text, std::vector<unsigned char>& bytes) {
  if (text.size() % 2) return false;
  for (std::size_t i = 0; i < text.size(); i += 2) {
    char pair[3] = {text[i], text[i + 1], 0};
    char* end = nullptr;
    bytes.push_back(static_cast<unsigned char>(std::strtoul(pair, &end, 16)));
    if (*end) return false;
  }
  return true;
}

// Splits off the first word; the rest keeps its bytes as they are.
std::string nextWord(std::string& rest) {
  std::size_t start = rest.find_first_not_of(' ');
  if (start == std::string::npos) {
    rest.clear();
    return "";
  }
  std::size_t end = rest.find(' ', start);
  std::string word = rest.substr(start, end == std::string::npos ? std::string::npos : end - start);
  rest = end == std::string::npos ? "" : rest.substr(end + 1);
  return word;
}

void runCommand(ControlRequest& request) {
  std::string rest = request.line;
  std::string command = nextWord(rest);
  std::string& reply = request.reply;
  if (command == "status") {
    std::string value = nextWord(rest);
    attachStatus = value == "none" ? -1 : std::strtoll(value.c_str(), nullptr, 0);
    reply = "ok";
  } else if (command == "accept") {
    acceptCommands = nextWord(rest) != "0";
    reply = "ok";
  } else if (command == "target") {
    lastDiscoverer = parseSender(nextWord(rest));
    reply = lastDiscoverer ? "ok" : "error no window";
  } else if (command == "vanish") {
    vanishOnText = true;
    reply = "ok";
  } else if (command == "hang") {
    hangOnText = true;
    reply = "ok";
  } else if (command == "windows") {
    reply = "ok api=" + handleText(apiWindow) + " second=" + handleText(secondWindow);
  } else if (command == "attach") {
    long long status = std::strtoll(nextWord(rest).c_str(), nullptr, 0);
    std::string from = nextWord(rest);
    if (!lastDiscoverer) {
      reply = "error no discovery seen yet";
      return;
    }
    postAttach(lastDiscoverer, from.empty() ? apiWindow : parseSender(from), status);
    reply = "ok";
  } else if (command == "send" || command == "mood") {
    if (!lastDiscoverer) {
      reply = "error no discovery seen yet";
      return;
    }
    std::vector<unsigned char> bytes;
    HWND from = apiWindow;
    DWORD cbData = 0;
    if (command == "mood") {
      std::string text = "PROFILE MOOD_TEXT " + rest;
      bytes.assign(text.begin(), text.end());
      bytes.push_back(0);
      cbData = static_cast<DWORD>(bytes.size());
    } else {
      from = parseSender(nextWord(rest));
      cbData = static_cast<DWORD>(std::strtoul(nextWord(rest).c_str(), nullptr, 0));
      if (!parseHex(nextWord(rest), bytes)) {
        reply = "error bad hex";
        return;
      }
      if (bytes.size() < cbData) bytes.resize(cbData, 0);
    }
    LRESULT result = sendCopyData(lastDiscoverer, from, bytes, cbData);
    reply = "ok result=" + std::to_string(static_cast<long long>(result));
  } else if (command == "log") {
    for (const std::string& line : logLines) reply += line + "\n";
    reply += "ok";
  } else if (command == "clear") {
    logLines.clear();
    reply = "ok";
  } else if (command == "quit") {
    request.quit = true;
    reply = "ok";
  } else {
    reply = "error unknown command";
  }
}

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COPYDATA:
      return onCopyData(window, reinterpret_cast<HWND>(wParam),
                        reinterpret_cast<const COPYDATASTRUCT*>(lParam));
    case controlMsg:
      runCommand(*reinterpret_cast<ControlRequest*>(lParam));
      return 0;
    case protocolReplyMsg: {
      std::string text = "PROTOCOL " + std::to_string(static_cast<long long>(lParam));
      std::vector<unsigned char> bytes(text.begin(), text.end());
      bytes.push_back(0);
      sendCopyData(reinterpret_cast<HWND>(wParam), window, bytes, static_cast<DWORD>(bytes.size()));
      return 0;
    }
    case closeMsg:
      PostQuitMessage(0);
      return 0;
  }
  // Broadcasts reach both our windows; the API window is the one that answers.
  if (message == discoverMsg && window == apiWindow) {
    HWND discoverer = reinterpret_cast<HWND>(wParam);
    logLine("discover from=%s class=%s", handleText(discoverer).c_str(),
            className(discoverer).c_str());
    lastDiscoverer = discoverer;
    if (attachStatus >= 0) postAttach(discoverer, apiWindow, attachStatus);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

// Reads command lines from the test and runs each on the window thread.
DWORD WINAPI controlThread(LPVOID socketParam) {
  SOCKET control = reinterpret_cast<SOCKET>(socketParam);
  std::string pending;
  char chunk[4096];
  bool quit = false;
  while (!quit) {
    int got = recv(control, chunk, sizeof chunk, 0);
    if (got <= 0) break;
    pending.append(chunk, got);
    std::size_t end;
    while (!quit && (end = pending.find('\n')) != std::string::npos) {
      ControlRequest request;
      request.line = pending.substr(0, end);
      if (!request.line.empty() && request.line.back() == '\r') request.line.pop_back();
      pending.erase(0, end + 1);
      SendMessageA(apiWindow, controlMsg, 0, reinterpret_cast<LPARAM>(&request));
      request.reply += "\n";
      send(control, request.reply.data(), static_cast<int>(request.reply.size()), 0);
      quit = request.quit;
    }
  }
  PostMessageA(apiWindow, closeMsg, 0, 0);
  return 0;
}

HWND createWindow(const char* title) {
  return CreateWindowExA(0, "MrSkypeSimulator", title, WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr,
                         GetModuleHandleA(nullptr), nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: skype_sim PORT [--status N|none] [--refuse] [--log FILE]\n");
    return 2;
  }
  startTick = GetTickCount();
  int port = std::atoi(argv[1]);
  for (int i = 2; i < argc; ++i) {
    std::string option = argv[i];
    if (option == "--status" && i + 1 < argc) {
      std::string value = argv[++i];
      attachStatus = value == "none" ? -1 : std::strtoll(value.c_str(), nullptr, 0);
    } else if (option == "--refuse") {
      acceptCommands = false;
    } else if (option == "--log" && i + 1 < argc) {
      logFile = std::fopen(argv[++i], "ab");
    }
  }

  discoverMsg = RegisterWindowMessageA("SkypeControlAPIDiscover");
  attachMsg = RegisterWindowMessageA("SkypeControlAPIAttach");
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = windowProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "MrSkypeSimulator";
  RegisterClassA(&windowClass);
  apiWindow = createWindow("Skype simulator API");
  secondWindow = createWindow("Skype simulator second");
  if (!apiWindow || !secondWindow) return 1;

  WSADATA wsa;
  if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0) return 1;
  SOCKET control = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<u_short>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (control == INVALID_SOCKET ||
      connect(control, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    std::fprintf(stderr, "skype_sim: cannot reach the test on port %d\n", port);
    return 1;
  }
  HANDLE reader =
      CreateThread(nullptr, 0, controlThread, reinterpret_cast<LPVOID>(control), 0, nullptr);

  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);

  DestroyWindow(apiWindow);
  DestroyWindow(secondWindow);
  closesocket(control);
  if (reader) {
    WaitForSingleObject(reader, 2000);
    CloseHandle(reader);
  }
  WSACleanup();
  if (logFile) std::fclose(logFile);
  return 0;
}
