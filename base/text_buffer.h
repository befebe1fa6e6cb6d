#pragma once
// Bounded text assembly in place of the C library's formatted print (which
// would bring its own printf into the program): what does not fit is cut, and
// the text is always terminated when the buffer has room for a terminator.
#include <cstddef>
#include <cstdint>

class TextBuffer {
 public:
  // out: size bytes, terminator included; starts out empty.
  TextBuffer(char* out, std::size_t size);
  TextBuffer& text(const char* text);
  // Decimal, with a minus sign when negative, zero-padded to minDigits digits.
  TextBuffer& number(std::int64_t value, int minDigits = 1);
  // The bytes written, terminator not counted.
  std::size_t length() const { return used_; }
  // Something did not fit.
  bool cut() const { return cut_; }

 private:
  void put(char c);

  char* out_;
  std::size_t size_;
  std::size_t used_ = 0;
  bool cut_ = false;
};
