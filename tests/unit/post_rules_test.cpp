#include "twitter/post_rules.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

TEST(PostRules, OnlyWhatSurelyDidNotArriveIsRetried) {
  struct Row {
    bool connected;
    int status;
    PostOutcome outcome;
    bool retried;
  } rows[] = {
      {false, 0, PostOutcome::unreachable, true},  {true, 502, PostOutcome::unavailable, true},
      {true, 503, PostOutcome::unavailable, true}, {true, 504, PostOutcome::unavailable, true},
      {true, 200, PostOutcome::posted, false},     {true, 201, PostOutcome::posted, false},
      {true, 0, PostOutcome::noAnswer, false},     {true, 401, PostOutcome::accountRefused, false},
      {true, 403, PostOutcome::rejected, false},   {true, 500, PostOutcome::rejected, false},
      {true, 501, PostOutcome::rejected, false},   {true, 505, PostOutcome::rejected, false},
      {true, 304, PostOutcome::rejected, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.status);
    EXPECT_EQ(classifyPost(row.connected, row.status), row.outcome);
    EXPECT_EQ(isRetried(classifyPost(row.connected, row.status)), row.retried);
  }
}

// A clock that moves only when the post waits or tries; each try answers the
// next scripted status (0 = no connection could be made).
class ScriptedSteps : public PostSteps {
 public:
  ScriptedSteps(std::vector<int> answers, std::int64_t tryMs = 0)
      : answers_(std::move(answers)), tryMs_(tryMs) {}
  std::int64_t now() override { return clock; }
  PostOutcome tryOnce(int& status) override {
    tries.push_back(clock);
    status = tries.size() <= answers_.size() ? answers_[tries.size() - 1] : answers_.back();
    clock += tryMs_;
    return classifyPost(status != 0, status);
  }
  bool pause(std::int64_t ms) override {
    if (stopAfterPauses-- == 0) return false;
    clock += ms;
    return true;
  }
  void report(const MoodReport& r) override { reports.push_back(r); }

  std::int64_t clock = 0;
  int stopAfterPauses = -1;
  std::vector<std::int64_t> tries;
  std::vector<MoodReport> reports;

 private:
  std::vector<int> answers_;
  std::int64_t tryMs_;
};

TEST(PostRules, BacksOffFromFiveSecondsDoublingToAMinute) {
  ScriptedSteps steps({0, 503, 0, 502, 504, 0, 0, 200});
  EXPECT_EQ(postMood(steps, 0), PostOutcome::posted);
  const std::vector<std::int64_t> expected = {0, 5000, 15000, 35000, 75000, 135000, 195000, 255000};
  EXPECT_EQ(steps.tries, expected);
  ASSERT_EQ(steps.reports.size(), 8u);
  EXPECT_EQ(steps.reports[1].state, MoodReport::State::waiting);
  EXPECT_EQ(steps.reports[1].nextTryMs, 10000);
  EXPECT_EQ(steps.reports[1].status, 503);
  EXPECT_EQ(steps.reports.back().state, MoodReport::State::posted);
}

TEST(PostRules, AnswerThatMayHaveBeenTakenEndsAfterOneTry) {
  for (int status : {200, 401, 403, 500, 0x7fff}) {
    ScriptedSteps steps({status, 200});
    postMood(steps, 0);
    EXPECT_EQ(steps.tries.size(), 1u) << status;
  }
  // sent, but the answer never came
  struct NoAnswer : ScriptedSteps {
    NoAnswer() : ScriptedSteps({200}) {}
    PostOutcome tryOnce(int& status) override {
      ScriptedSteps::tryOnce(status);
      status = 0;
      return PostOutcome::noAnswer;
    }
  } steps;
  EXPECT_EQ(postMood(steps, 0), PostOutcome::noAnswer);
  EXPECT_EQ(steps.tries.size(), 1u);
  EXPECT_EQ(steps.reports.back().state, MoodReport::State::notPosted);
}

TEST(PostRules, GivesUpFifteenMinutesAfterTheMoodWasSet) {
  ScriptedSteps steps({503});
  steps.clock = 100000;  // it waited its turn for 100 s
  EXPECT_EQ(postMood(steps, 0), PostOutcome::unavailable);
  ASSERT_GE(steps.tries.size(), 2u);
  EXPECT_EQ(steps.tries.back(), giveUpAfterMs);  // the last try at the mark, none after
  for (std::size_t i = 1; i < steps.tries.size(); ++i)
    EXPECT_LE(steps.tries[i] - steps.tries[i - 1], longestRetryMs);
  EXPECT_TRUE(steps.reports.back().gaveUp);

  // Tries that themselves take time don't stretch it past the mark.
  ScriptedSteps slow({0}, 15000);
  postMood(slow, 0);
  EXPECT_LE(slow.tries.back(), giveUpAfterMs);
  EXPECT_LE(slow.clock, giveUpAfterMs + 15000);

  // Too old when its turn comes: given up untried.
  ScriptedSteps old({200});
  old.clock = giveUpAfterMs + 1;
  postMood(old, 1);
  EXPECT_TRUE(old.tries.empty());
  EXPECT_TRUE(old.reports.back().gaveUp);
}

TEST(PostRules, EndOfProgramDropsAWaitingMood) {
  ScriptedSteps steps({0});
  steps.stopAfterPauses = 2;
  postMood(steps, 0);
  EXPECT_EQ(steps.tries.size(), 3u);
}

TEST(PostRules, TooltipLinesSayWhatBecameOfTheMood) {
  using S = MoodReport::State;
  struct Row {
    MoodReport report;
    const char* line;
  } rows[] = {
      {{S::posted, PostOutcome::posted, 200, 0, false}, "Mood posted at 14:03"},
      {{S::waiting, PostOutcome::unreachable, 0, 20000, false},
       "Mood waiting: the service can't be reached (next try in 20 s)"},
      {{S::waiting, PostOutcome::unavailable, 503, 4500, false},
       "Mood waiting: the service answered 503 (next try in 5 s)"},
      {{S::notPosted, PostOutcome::accountRefused, 401, 0, false},
       "Mood not posted: the account name or password was refused"},
      {{S::notPosted, PostOutcome::rejected, 403, 0, false},
       "Mood not posted: the service answered 403"},
      {{S::notPosted, PostOutcome::noAnswer, 0, 0, false},
       "Mood perhaps not posted: the service did not answer"},
      {{S::notPosted, PostOutcome::unavailable, 503, 0, true},
       "Mood not posted: the service could not take it for 15 minutes"},
  };
  for (const Row& row : rows) {
    char line[128];
    formatMoodLine(row.report, "14:03", line, sizeof line);
    EXPECT_STREQ(line, row.line);
  }
  char small[8] = "#######";
  formatMoodLine(rows[1].report, "", small, sizeof small);
  EXPECT_STREQ(small, "Mood wa");
}

TEST(PostTurns, MoodsGoInTheOrderTheirTicketsWereTaken) {
  PostTurns turns;
  std::mutex lock;
  std::vector<int> order;
  std::vector<std::thread> threads;
  std::vector<std::uint64_t> tickets;
  for (int i = 0; i < 8; ++i) tickets.push_back(turns.take());
  // started last first, so that any order but the tickets' shows
  for (int i = 7; i >= 0; --i) {
    threads.emplace_back([&, i] {
      if (!turns.await(tickets[i])) return;
      {
        std::lock_guard<std::mutex> hold(lock);
        order.push_back(i);
      }
      turns.finish(tickets[i]);
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
}

TEST(PostTurns, ATicketFinishedOutOfTurnIsSkippedAndStopReleasesEveryone) {
  PostTurns turns;
  const auto first = turns.take(), second = turns.take(), third = turns.take();
  turns.finish(second);  // its thread could not be started
  std::atomic<int> passed{0};
  std::thread waiter([&] {
    if (turns.await(third)) ++passed;
  });
  ASSERT_TRUE(turns.await(first));
  turns.finish(first);
  waiter.join();
  EXPECT_EQ(passed, 1);

  const auto fourth = turns.take(), fifth = turns.take();
  std::atomic<bool> released{false};
  std::thread blocked([&] { released = !turns.await(fifth); });
  std::thread pausing([&] { EXPECT_FALSE(turns.pause(600000)); });
  turns.stop();
  blocked.join();
  pausing.join();
  EXPECT_TRUE(released);
  EXPECT_FALSE(turns.await(fourth));
}

}  // namespace
