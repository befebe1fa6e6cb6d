#include "popup/popup_rules.h"

#include <climits>

bool pollDue(std::uint32_t& pollTicks) {
  ++pollTicks;
  if (pollTicks < pollEveryTicks) return false;
  pollTicks = 0;
  return true;
}

bool pollStarts(std::uint32_t& pollTicks, bool requestRunning) {
  return pollDue(pollTicks) && !requestRunning;
}

namespace {

// The pixels a slide moves in its first ms milliseconds; the fraction of a
// step is carried to the next tick, not lost.
std::int64_t slidePixels(std::uint32_t ms) {
  return static_cast<std::int64_t>(ms) * slideStepPixels / slideTickMs;
}

}  // namespace

int slideStep(int popupTop, int popupBottom, int popupHeight, std::uint32_t& slideElapsed,
              std::uint32_t elapsedMs, std::uint32_t slideShowTime, bool& slideRising) {
  const std::uint32_t before = slideElapsed;
  const std::uint32_t now = elapsedMs < before ? before : elapsedMs;
  slideElapsed = now;
  std::int64_t top = popupTop;
  if (slideRising) {
    // Up for the time before the fall, however much of it this tick spans.
    const std::uint32_t from = before < slideShowTime ? before : slideShowTime;
    const std::uint32_t to = now < slideShowTime ? now : slideShowTime;
    const std::int64_t targetTop = static_cast<std::int64_t>(popupBottom) - popupHeight;
    top -= slidePixels(to) - slidePixels(from);
    if (top < targetTop) top = targetTop;
    if (now > slideShowTime) slideRising = false;
  }
  if (!slideRising) {
    // Down for the time past the show time.
    const std::uint32_t from = before > slideShowTime ? before - slideShowTime : 0;
    const std::uint32_t to = now > slideShowTime ? now - slideShowTime : 0;
    top += slidePixels(to) - slidePixels(from);
    if (top > popupBottom) top = popupBottom;
  }
  return static_cast<int>(top);
}

int fullPopupHeight(int textHeight, int workAreaHeight) {
  int limit = maximumPopupHeight;
  if (workAreaHeight > 0 && workAreaHeight < limit) limit = workAreaHeight;
  int height = textHeight > INT_MAX - popupTextMargin ? INT_MAX : textHeight + popupTextMargin;
  if (height < minimumPopupHeight) height = minimumPopupHeight;
  return height > limit ? limit : height;
}

std::optional<int> textTop(int windowHeight, int textHeight, int fullHeight) {
  if (windowHeight >= textHeight) return (windowHeight - textHeight) / 2;
  if (windowHeight >= fullHeight) return 0;
  return std::nullopt;
}
