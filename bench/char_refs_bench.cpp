// Prints how fast the reference decoder turns 64 KB of timeline text into
// UTF-8, natively and without sanitizers: its throughput, though the popup
// only decodes the five names and texts it shows. A figure, not a test.
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "twitter/char_refs.h"

// A timeline document of the service's shape, about half of its status texts
// Japanese (every character a reference), cut to 64 KB.
static std::string timelineDocument(std::size_t size) {
  std::string document = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<statuses type=\"array\">\n";
  for (int i = 0; document.size() < size; ++i) {
    std::string text = "Status number " + std::to_string(i) + " &amp; more";
    if (i % 2) {
      text.clear();
      for (int k = 0; k < 20; ++k) text += "&#" + std::to_string(12354 + (i + k) % 80) + ";";
    }
    document += "<status>\n  <created_at>Tue Jan 01 00:00:00 +0000 2008</created_at>\n  <id>" +
                std::to_string(100000 + i) + "</id>\n  <text>" + text +
                "</text>\n  <source>web</source>\n  <user>\n    <id>" + std::to_string(i % 97) +
                "</id>\n    <screen_name>user" + std::to_string(i % 97) +
                "</screen_name>\n  </user>\n</status>\n";
  }
  document.resize(size);
  return document;
}

int main() {
  const std::string document = timelineDocument(64 * 1024);
  std::vector<char> output(decodedSizeFor(document.size()));
  std::size_t bytes = 0, rounds = 0;
  using Clock = std::chrono::steady_clock;
  const auto start = Clock::now();
  double seconds = 0;
  do {
    bytes += decodeCharRefs(document.data(), document.size(), output.data(), output.size());
    ++rounds;
    seconds = std::chrono::duration<double>(Clock::now() - start).count();
  } while (seconds < 1.0);
  std::printf("decodeCharRefs: %zu-byte document, %zu rounds in %.2f s\n", document.size(), rounds,
              seconds);
  std::printf("  %.1f MB/s (%.0f bytes per second), %.1f us per document, %zu bytes out\n",
              document.size() * rounds / seconds / 1e6, document.size() * rounds / seconds,
              seconds / rounds * 1e6, bytes / rounds);
  return 0;
}
