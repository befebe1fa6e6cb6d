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

// A slide run tick by tick, as the slide timer drives it.
struct SlideRun {
  int popupBottom = 768;
  int popupTop = 768;
  int popupHeight = 100;
  std::uint32_t slideElapsed = 0;
  bool slideRising = true;
  int ticks = 0;

  int height() const { return popupBottom - popupTop; }
  bool retracted() const { return popupTop == popupBottom; }
  void tick() {
    ++ticks;
    popupTop = slideStep(popupTop, popupBottom, popupHeight, slideElapsed, defaultSlideShowTime,
                         slideRising);
  }
  void start() {
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
  slideStep(668, 768, 100, slideElapsed, 3000, slideRising);
  EXPECT_TRUE(slideRising);  // 3000 is not over
  slideStep(668, 768, 100, slideElapsed, 3000, slideRising);
  EXPECT_FALSE(slideRising);
}

TEST(PopupLayout, FullHeightFromTheMeasuredText) {
  EXPECT_EQ(fullPopupHeight(95), 105);
  EXPECT_EQ(fullPopupHeight(91), 101);
  EXPECT_EQ(fullPopupHeight(90), 100);
  EXPECT_EQ(fullPopupHeight(0), 100);  // empty text
  EXPECT_EQ(fullPopupHeight(400), 410);
}

TEST(PopupLayout, TextIsCentredWhenItFitsAndNotDrawnBefore) {
  EXPECT_EQ(textTop(100, 60), 20);
  EXPECT_EQ(textTop(100, 61), 19);  // rounded down
  EXPECT_EQ(textTop(60, 60), 0);
  EXPECT_EQ(textTop(59, 60), std::nullopt);
  EXPECT_EQ(textTop(0, 0), 0);
  EXPECT_EQ(textTop(5, 60), std::nullopt);
}
