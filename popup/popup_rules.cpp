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

bool takePollAnswer(int status, std::int32_t requestTime, std::int32_t& lastPollTime) {
  if (status != 200) return false;
  lastPollTime = requestTime;
  return true;
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
