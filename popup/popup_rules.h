#pragma once
// The popup's timing and layout rules, apart from the window that follows them.
#include <cstdint>
#include <optional>

constexpr std::uint32_t pollEveryTicks = 62;          // one-second ticks from one poll to the next
constexpr int slideStepPixels = 5;                    // per slideTickMs that passed
constexpr std::uint32_t slideTickMs = 20;             // the slide timer's period
constexpr std::uint32_t defaultSlideShowTime = 3000;  // ms from the slide's start to its fall
constexpr int minimumPopupHeight = 100;
// As high as the popup gets before its show time is up: 750.
constexpr int maximumPopupHeight =
    static_cast<int>(slideStepPixels * defaultSlideShowTime / slideTickMs);
constexpr int popupTextMargin = 10;

// One tick of the poll timer: counts it and tells whether this tick polls, the
// 62nd after set-up or after the previous poll. The count starts again then.
bool pollDue(std::uint32_t& pollTicks);
// The same, and whether a poll starts: one due while the last still runs is
// skipped, not queued; the count starts again all the same.
bool pollStarts(std::uint32_t& pollTicks, bool requestRunning);


// One slide tick, elapsedMs after the slide's start (slideElapsed holds the
// previous tick's): the popup moves 5 pixels per 20 ms that passed since
// then, however often the ticks come, up towards the full height
// (popupHeight) until more than slideShowTime has passed, then down towards
// the bottom edge. Turns slideRising off at the fall; gives the new top edge.
int slideStep(int popupTop, int popupBottom, int popupHeight, std::uint32_t& slideElapsed,
              std::uint32_t elapsedMs, std::uint32_t slideShowTime, bool& slideRising);

// The height the popup rises to for a text laid out textHeight pixels high:
// never more than the work area's height (its bottom is the work area's)
// nor than it can rise before it falls.
int fullPopupHeight(int textHeight, int workAreaHeight);

// Where the text starts in a popup currently windowHeight pixels high whose
// full height is fullHeight: centred vertically when it fits; from the top,
// clipped, when it is taller than the popup at its full height; otherwise
// nothing yet.
std::optional<int> textTop(int windowHeight, int textHeight, int fullHeight);
