#include "base/tick_clock.h"

std::uint64_t extendTickCount(std::uint32_t ticks, std::uint64_t& last) {
  std::uint64_t high = last & ~UINT64_C(0xFFFFFFFF);
  if (ticks < static_cast<std::uint32_t>(last)) high += UINT64_C(0x100000000);
  last = high | ticks;
  return last;
}
