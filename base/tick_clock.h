#pragma once
// A monotonic millisecond clock from the system's 32-bit tick count, which
// every Windows has (the 64-bit one came with Vista). The count wraps every
// 49.7 days; the extension below carries it on.
#include <cstdint>

// Extends a 32-bit tick count to 64 bits. last: the previous result, kept by
// the caller (0 at first). A count below the previous one's low half means the
// counter wrapped. Correct as long as it is asked at least once per wrap.
std::uint64_t extendTickCount(std::uint32_t ticks, std::uint64_t& last);

#ifdef _WIN32
// Milliseconds since the system started; any thread.
std::int64_t monotonicMs();
#endif
