#include "base/text_buffer.h"

TextBuffer::TextBuffer(char* out, std::size_t size) : out_(out), size_(size) {
  if (size_ != 0) out_[0] = 0;
}

void TextBuffer::put(char c) {
  if (cut_ || size_ == 0 || used_ + 1 >= size_) {
    cut_ = true;
    return;
  }
  out_[used_++] = c;
  out_[used_] = 0;
}

TextBuffer& TextBuffer::text(const char* text) {
  while (*text) put(*text++);
  return *this;
}

TextBuffer& TextBuffer::number(std::int64_t value, int minDigits) {
  // Unsigned, so that the most negative value has a magnitude too.
  std::uint64_t magnitude = value < 0 ? 0 - static_cast<std::uint64_t>(value) : value;
  char digits[20];
  int count = 0;
  do {
    digits[count++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) put('-');
  for (int pad = count; pad < minDigits && pad < 32; ++pad) put('0');
  while (count > 0) put(digits[--count]);
  return *this;
}
