#include <windows.h>

#include "base/lock.h"
#include "base/tick_clock.h"

// File-scope, not function statics: no guard variables, which would bring the
// C++ runtime's thread library along.
static Lock clockLock;
static std::uint64_t lastTicks;

std::int64_t monotonicMs() {
  Hold hold(clockLock);
  return static_cast<std::int64_t>(extendTickCount(GetTickCount(), lastTicks));
}
