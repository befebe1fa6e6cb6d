#include "skype/notification.h"

#include <cstring>

std::int64_t readMoodNotification(std::uintptr_t sender, std::uintptr_t client, std::uint32_t size,
                                  const unsigned char* data, char* output, std::size_t outputSize) {
  // With no client attached, a sender of 0 would match: anybody could post.
  if (client == 0 || sender != client) return -1;
  if (size <= moodTextPrefixLength || data == nullptr) return -1;
  if (std::memcmp(data, moodTextPrefix, moodTextPrefixLength) != 0) return -1;

  const unsigned char* text = data + moodTextPrefixLength;
  std::size_t available = size - moodTextPrefixLength;
  // The client counts a terminator in cbData, but a payload without one must
  // not make us read past its end.
  const void* zero = std::memchr(text, 0, available);
  std::size_t length =
      zero ? static_cast<std::size_t>(static_cast<const unsigned char*>(zero) - text) : available;

  if (outputSize != 0) {
    std::size_t copied = length < outputSize - 1 ? length : outputSize - 1;
    std::memcpy(output, text, copied);
    output[copied] = 0;
  }
  return static_cast<std::int64_t>(length);
}
