// A notification comes from another process: whatever its bytes and cbData,
// the test reads only the payload, writes only the output buffer, and accepts
// only the attached client's texts that begin with the prefix.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "skype/notification.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  // First byte: who sent it; next byte: the output buffer's size; the rest is the payload.
  const std::uintptr_t client = 0x5000;
  const std::uintptr_t senders[] = {client, 0, 0x6000};
  std::uintptr_t sender = senders[data[0] % 3];
  std::uintptr_t attached = data[0] & 0x80 ? 0 : client;
  std::size_t outputSize = data[1];
  // Copies of exactly their size, so that the sanitizer sees any step outside.
  std::vector<unsigned char> payload(data + 2, data + size);
  std::vector<char> output(outputSize);

  std::int64_t length =
      readMoodNotification(sender, attached, static_cast<std::uint32_t>(payload.size()),
                           payload.data(), output.data(), outputSize);
  if (length < 0) return 0;

  if (attached == 0 || sender != attached) std::abort();
  if (payload.size() <= moodTextPrefixLength) std::abort();
  if (std::memcmp(payload.data(), moodTextPrefix, moodTextPrefixLength) != 0) std::abort();
  const unsigned char* text = payload.data() + moodTextPrefixLength;
  std::size_t available = payload.size() - moodTextPrefixLength;
  if (static_cast<std::size_t>(length) > available) std::abort();
  if (std::memchr(text, 0, length) != nullptr) std::abort();
  if (static_cast<std::size_t>(length) < available && text[length] != 0) std::abort();
  if (outputSize > 0) {
    std::size_t copied = static_cast<std::size_t>(length) < outputSize - 1
                             ? static_cast<std::size_t>(length)
                             : outputSize - 1;
    if (std::memcmp(output.data(), text, copied) != 0 || output[copied] != 0) std::abort();
  }
  return 0;
}
