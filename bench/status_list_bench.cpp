// Throughput of the status list scan over 64 KB timeline documents.
// Prints figures; it is not a test. For figures without the sanitizers:
//   cmake -S . -B build/bench -DCMAKE_BUILD_TYPE=Release -DMR_SANITIZE=OFF -DMR_TESTS=OFF
//   cmake --build build/bench --target status_list_bench && build/bench/bench/status_list_bench
#include "popup/status_list.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr std::size_t documentSize = 65535;  // the timeline buffer less its terminator

std::string status(int n, const std::string& text, std::size_t padding) {
  std::string user = "<user><id>" + std::to_string(1000 + n) + "</id><name>User " +
                     std::to_string(n) + "</name><screen_name>user" + std::to_string(n) +
                     "</screen_name><location>Somewhere</location>"
                     "<description>" +
                     std::string(padding, 'd') + "</description></user>";
  return "<status>\n  <created_at>Tue Jan 01 00:00:00 +0000 2008</created_at>\n  <id>" +
         std::to_string(n) + "</id>\n  <text>" + text + "</text>\n  " + user + "\n</status>\n";
}

std::string fill(std::string document) {
  document.resize(documentSize, ' ');
  return document;
}

// A timeline of twenty statuses of about 3 KB each: what the service sends.
std::string typical() {
  std::string d = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<statuses type=\"array\">\n";
  for (int i = 0; i < 20; ++i)
    d += status(i, "Just setting up my twttr, entry number " + std::to_string(i), 2900);
  return fill(d);
}

// Five statuses spread over the whole buffer: the scan reads all of it.
std::string spread() {
  std::string d;
  for (int i = 0; i < 5; ++i) d += status(i, "spread out", 12800);
  return fill(d);
}

// No tag at all (an error page): every search runs to the end.
std::string noStatus() {
  return fill("<html><body>Service unavailable</body></html>");
}

// Five long texts made of entities: the decoding copy dominates.
std::string entities() {
  std::string text;
  while (text.size() < 5000) text += "Tom &amp; Jerry &lt;3 ";
  std::string d;
  for (int i = 0; i < 5; ++i) d += status(i, text, 100);
  return fill(d);
}

void run(const char* name, const std::string& document) {
  std::vector<char> text(popupTextSize);
  using clock = std::chrono::steady_clock;
  long calls = 0;
  const auto start = clock::now();
  auto now = start;
  do {
    for (int i = 0; i < 100; ++i) {
      text[0] = 0;
      extractStatuses(document.c_str(), text.data(), text.size());
    }
    calls += 100;
    now = clock::now();
  } while (now - start < std::chrono::milliseconds(500));
  const double seconds = std::chrono::duration<double>(now - start).count();
  const double perCall = seconds / static_cast<double>(calls);
  std::printf("%-38s %8.1f us per scan  %8.0f MB/s of document  (%zu bytes out)\n", name,
              perCall * 1e6, static_cast<double>(document.size()) / perCall / 1e6,
              std::string(text.data()).size());
}

}  // namespace

int main() {
#if defined(__SANITIZE_ADDRESS__)
  std::printf("built with AddressSanitizer: figures are slower than the program's\n");
#endif
  std::printf("status list scan over %zu-byte documents\n", documentSize);
  run("20 statuses of ~3 KB (ends at the 5th)", typical());
  run("5 statuses spread over 64 KB", spread());
  run("no status (error page)", noStatus());
  run("5 texts of 5 KB of entities", entities());
  return 0;
}
