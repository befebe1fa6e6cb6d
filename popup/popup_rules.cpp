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

int slideStep(int popupTop, int popupBottom, int popupHeight, std::uint32_t& slideElapsed,
              std::uint32_t slideShowTime, bool& slideRising) {
  slideElapsed += slideTickMs;
  if (slideElapsed > slideShowTime) slideRising = false;
  if (slideRising) {
    const int targetTop = popupBottom - popupHeight;
    const int top = popupTop - slideStepPixels;
    return top < targetTop ? targetTop : top;
  }
  const int top = popupTop + slideStepPixels;
  return top > popupBottom ? popupBottom : top;
}

int fullPopupHeight(int textHeight) {
  if (textHeight > INT_MAX - popupTextMargin) return INT_MAX;
  const int height = textHeight + popupTextMargin;
  return height <= minimumPopupHeight ? minimumPopupHeight : height;
}

std::optional<int> textTop(int windowHeight, int textHeight) {
  if (windowHeight < textHeight) return std::nullopt;
  return (windowHeight - textHeight) / 2;
}
