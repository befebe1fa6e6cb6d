#include "popup/popup_rules.h"

#include <gtest/gtest.h>

#include <vector>

TEST(PollCycle, FirstPollOnThe62ndTickThenEvery62) {
  std::uint32_t pollTicks = 0;
  std::vector<int> polls;
  for (int tick = 1; tick <= 62 * 3 + 10; ++tick)
    if (pollDue(pollTicks)) polls.push_back(tick);
  EXPECT_EQ(polls, (std::vector<int>{62, 124, 186}));
}

TEST(PollCycle, APollDueWhileTheLastStillRunsIsSkippedNotQueued) {
  std::uint32_t pollTicks = 0;
  std::vector<int> polls;
  // The request started on tick 62 hangs for 100 s.
  for (int tick = 1; tick <= 62 * 4; ++tick) {
    const bool running = tick > 62 && tick < 162;
    if (pollStarts(pollTicks, running)) polls.push_back(tick);
  }
  // Due on 124 while it ran: skipped, and the next one 62 ticks later, not at once.
  EXPECT_EQ(polls, (std::vector<int>{62, 186, 248}));
}

namespace {

// A slide run tick by tick, as the slide timer drives it: every tickMs on
// the clock, 20 ms unless a test says otherwise.
struct SlideRun {
  int popupBottom = 768;
  int popupTop = 768;
  int popupHeight = 100;
  std::uint32_t slideElapsed = 0;
  bool slideRising = true;
  int ticks = 0;
  std::uint32_t clock = 0;  // ms since the slide's start
  std::uint32_t tickMs = 20;

  int height() const { return popupBottom - popupTop; }
  bool retracted() const { return popupTop == popupBottom; }
  void tick() {
    ++ticks;
    clock += tickMs;
    popupTop = slideStep(popupTop, popupBottom, popupHeight, slideElapsed, clock,
                         defaultSlideShowTime, slideRising);
  }
  void start() {
    clock = 0;
    slideElapsed = 0;
    slideRising = true;
  }
};

}  // namespace

TEST(Slide, FullHeight100RisesIn20TicksFallsFromTick151HiddenAtTick170) {
  SlideRun run;
  std::vector<int> heights;
  do {
    run.tick();
    heights.push_back(run.height());
  } while (!run.retracted() && run.ticks < 1000);

  ASSERT_EQ(run.ticks, 170);
  EXPECT_EQ(heights[0], 5);
  EXPECT_EQ(heights[18], 95);
  for (int tick = 20; tick <= 150; ++tick) ASSERT_EQ(heights[tick - 1], 100) << tick;
  EXPECT_EQ(heights[151 - 1], 95);
  EXPECT_EQ(heights[169 - 1], 5);
  EXPECT_EQ(heights[170 - 1], 0);
}

TEST(Slide, AFullHeightOver750IsNeverReached) {
  SlideRun run;
  run.popupHeight = 1000;
  int highest = 0;
  while (!run.retracted() || run.ticks == 0) {
    run.tick();
    if (run.height() > highest) highest = run.height();
  }
  EXPECT_EQ(highest, 750);
  EXPECT_EQ(run.ticks, 300);
}

TEST(Slide, RisesNoFurtherThanTheFullHeightAndFallsNoLowerThanTheBottom) {
  SlideRun run;
  run.popupHeight = 103;  // not a multiple of the step
  for (int i = 0; i < 25; ++i) run.tick();
  EXPECT_EQ(run.height(), 103);
  while (!run.retracted()) run.tick();
  EXPECT_EQ(run.popupTop, run.popupBottom);
}

TEST(Slide, NewSlideWhileFallingRisesAgainFromWhereItIs) {
  SlideRun run;
  for (int i = 0; i < 160; ++i) run.tick();
  ASSERT_EQ(run.height(), 50);  // ten ticks into the fall
  run.start();
  run.tick();
  EXPECT_EQ(run.height(), 55);
  for (int i = 0; i < 9; ++i) run.tick();
  EXPECT_EQ(run.height(), 100);
  // The three seconds count from the new start.
  while (!run.retracted()) run.tick();
  EXPECT_EQ(run.ticks, 160 + 170);
}

TEST(Slide, ShowTimeIsExceededOnlyStrictly) {
  std::uint32_t slideElapsed = 2980;
  bool slideRising = true;
  slideStep(668, 768, 100, slideElapsed, 3000, 3000, slideRising);
  EXPECT_TRUE(slideRising);  // 3000 is not over
  slideStep(668, 768, 100, slideElapsed, 3001, 3000, slideRising);
  EXPECT_FALSE(slideRising);
}

TEST(Slide, GoesByTheTimeThatPassedWhateverTheTickRate) {
  // Each row: ms between ticks (Windows' 15.6 ms granularity makes a 20 ms
  // timer tick every 31 ms), the ms at which the popup is fully up, starts to
  // fall and is hidden: the tick at or after 400, after 3000 and at or after 3400.
  const std::uint32_t rows[][4] = {
      {20, 400, 3020, 3400}, {31, 403, 3007, 3410}, {16, 400, 3008, 3408},
      {15, 405, 3015, 3405}, {500, 500, 3500, 3500}, {7, 406, 3003, 3402},
  };
  for (const auto& row : rows) {
    SlideRun run;
    run.tickMs = row[0];
    std::uint32_t up = 0, falling = 0;
    int lowest = 0;
    while (!run.retracted() || run.ticks == 0) {
      run.tick();
      if (up == 0 && run.height() == 100) up = run.clock;
      if (falling == 0 && !run.slideRising) falling = run.clock;
      if (up != 0 && falling == 0 && run.height() != 100) lowest = run.height();
      ASSERT_LT(run.ticks, 10000);
    }
    EXPECT_EQ(up, row[1]) << row[0] << " ms ticks";
    EXPECT_EQ(falling, row[2]) << row[0] << " ms ticks";
    EXPECT_EQ(run.clock, row[3]) << row[0] << " ms ticks";
    EXPECT_EQ(lowest, 0) << row[0] << " ms ticks: sank while standing";
  }
  // Within a rise the pixels follow the time, the fraction carried: 31 ms
  // ticks give 7, 8, 8, 8, 7 ... pixels, 25 after 100 ms whatever the split.
  SlideRun run;
  run.tickMs = 31;
  std::vector<int> heights;
  for (int i = 0; i < 5; ++i) {
    run.tick();
    heights.push_back(run.height());
  }
  EXPECT_EQ(heights, (std::vector<int>{7, 15, 23, 31, 38}));
}

TEST(PopupLayout, FullHeightFromTheMeasuredTextWithinTheWorkArea) {
  // Each row: text height, work area height, full height.
  const int rows[][3] = {
      {95, 1040, 105},  {91, 1040, 101}, {90, 1040, 100},
      {0, 1040, 100},   // empty text
      {400, 1040, 410},
      {900, 728, 728},  // 768-pixel screen with a 40-pixel taskbar
      {900, 1040, 750}, // no higher than it rises in the show time
      {740, 1040, 750}, {739, 1040, 749},
      {50, 80, 80},     // a tiny work area wins over the minimum
      {200, 0, 210},    // no work area read: no limit of its own
      {2147483647, 1040, 750},
  };
  for (const auto& row : rows)
    EXPECT_EQ(fullPopupHeight(row[0], row[1]), row[2]) << row[0] << " in " << row[1];
}

TEST(PopupLayout, TextIsCentredWhenItFitsFromTheTopWhenTallerAndNotDrawnBefore) {
  EXPECT_EQ(textTop(100, 60, 100), 20);
  EXPECT_EQ(textTop(100, 61, 100), 19);  // rounded down
  EXPECT_EQ(textTop(60, 60, 100), 0);
  EXPECT_EQ(textTop(59, 60, 100), std::nullopt);
  EXPECT_EQ(textTop(0, 0, 100), 0);
  EXPECT_EQ(textTop(5, 60, 100), std::nullopt);
  // Taller than the popup gets: from the top, once it stands at its full height.
  EXPECT_EQ(textTop(728, 900, 728), 0);
  EXPECT_EQ(textTop(727, 900, 728), std::nullopt);
  EXPECT_EQ(textTop(750, 900, 750), 0);
}
