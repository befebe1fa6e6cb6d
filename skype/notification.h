#pragma once
// The test of a text that the Skype client sends to the relay window: is it a
// mood-text notification from the attached client, and what is the mood text?
// Plain code without the window system, so that it is unit-tested and fuzzed.
#include <cstddef>
#include <cstdint>

constexpr char moodTextPrefix[] = "PROFILE MOOD_TEXT ";
constexpr std::uint32_t moodTextPrefixLength = sizeof moodTextPrefix - 1;  // 18

// sender: the window that sent the text (the message's wParam); client: the
// attached client's API window, 0 while none is attached; size and data: the
// payload's cbData and lpData. Accepts only a text from the attached client
// that is longer than the prefix and begins with it byte for byte.
//
// Result: -1 when the text is to be ignored; otherwise the length of the mood
// text, which is the bytes after the prefix up to the first zero byte or the
// end of the payload, whichever comes first. Nothing beyond `size` bytes of
// `data` is read. When outputSize is not 0, as much of the mood text as fits is
// copied into output and terminated; output may be null when outputSize is 0.
std::int64_t readMoodNotification(std::uintptr_t sender, std::uintptr_t client, std::uint32_t size,
                                  const unsigned char* data, char* output, std::size_t outputSize);
