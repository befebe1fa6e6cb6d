#include "twitter/post_rules.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(PostRules, OnlyWhatSurelyDidNotArriveIsRetried) {
  EXPECT_EQ(classifyPost(false, 0), PostOutcome::unreachable);
  EXPECT_EQ(classifyPost(true, 0), PostOutcome::noAnswer);
  EXPECT_EQ(classifyPost(true, 401), PostOutcome::accountRefused);
  EXPECT_EQ(classifyPost(true, 302), PostOutcome::redirected);
  EXPECT_EQ(classifyPost(true, 407), PostOutcome::proxyRefused);
  EXPECT_EQ(classifyPost(true, 303), PostOutcome::seeOther);
  for (int status : {200, 201, 303, 304, 401, 403, 500, 501, 505, 0})
    EXPECT_FALSE(isRetried(classifyPost(true, status))) << status;
  for (int status : {300, 301, 302, 305, 307, 308, 407, 502, 503, 504})
    EXPECT_TRUE(isRetried(classifyPost(true, status))) << status;
  EXPECT_TRUE(isRetried(classifyPost(false, 0)));
}

TEST(PostRules, ASendIsTakenForUnsentOnlyWhenItCannotHaveArrived) {
  using St = SendStage;
  namespace E = sendError;
  struct Row {
    unsigned long error;
    bool unknown, connecting, written;  // surely not sent, at each stage
  };
  const Row rows[] = {
      // no connection to the service or the proxy could be made
      {E::nameNotResolved, true, true, false},
      {E::cannotConnect, true, true, false},
      {E::disconnected, true, true, false},
      {E::serverUnreachable, true, true, false},
      {E::proxyServerUnreachable, true, true, false},
      {E::badAutoProxyScript, true, true, false},
      {E::unableToDownloadScript, true, true, false},
      {E::tcpipNotInstalled, true, true, false},
      {E::outOfHandles, true, true, false},
      // a connection failed: unsent only while it was still being made
      {E::timeout, false, true, false},
      {E::connectionReset, false, true, false},
      {E::connectionAborted, false, true, false},
      // an answer came, or nobody knows how far it got
      {E::invalidServerResponse, false, false, false},
      {E::internalError, false, false, false},
      {E::operationCancelled, false, false, false},
      {0, false, false, false},
      {12999, false, false, false},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(surelyNotSent(row.error, St::unknown), row.unknown) << row.error;
    EXPECT_EQ(surelyNotSent(row.error, St::connecting), row.connecting) << row.error;
    EXPECT_EQ(surelyNotSent(row.error, St::written), row.written) << row.error;
  }
}

// A clock that moves only when the post waits or tries; each try answers the
// next scripted status: 0 no connection, -1 sent but no answer.
struct ScriptedSteps {
  ScriptedSteps(std::vector<int> script, std::int64_t tryMs = 0) : script(script), tryMs(tryMs) {}
  std::int64_t now() { return clock; }
  PostOutcome tryOnce(int& status) {
    tries.push_back(clock);
    clock += tryMs;
    status = script[tries.size() <= script.size() ? tries.size() - 1 : script.size() - 1];
    return classifyPost(status != 0, status < 0 ? 0 : status);
  }
  bool pause(std::int64_t ms) {
    clock += ms;
    return pausesLeft-- != 0;
  }
  void report(const MoodReport& r) { reports.push_back(r); }

  std::vector<int> script;
  std::int64_t tryMs;
  std::int64_t clock = 0;
  int pausesLeft = -1;
  std::vector<std::int64_t> tries;
  std::vector<MoodReport> reports;
};

TEST(PostRules, BacksOffFromFiveSecondsDoublingToAMinute) {
  ScriptedSteps steps({0, 503, 0, 502, 504, 0, 0, 200});
  EXPECT_EQ(postMood(steps, 0), PostOutcome::posted);
  EXPECT_EQ(steps.tries,
            (std::vector<std::int64_t>{0, 5000, 15000, 35000, 75000, 135000, 195000, 255000}));
  EXPECT_EQ(steps.reports[1].nextTryMs, 10000);
  EXPECT_EQ(steps.reports[1].status, 503);
  EXPECT_EQ(steps.reports.back().state, MoodReport::State::posted);
}

TEST(PostRules, WhatMayHaveBeenTakenEndsAfterOneTry) {
  for (int status : {200, 303, 401, 403, 500, -1}) {
    ScriptedSteps steps({status, 200});
    postMood(steps, 0);
    EXPECT_EQ(steps.tries.size(), 1u) << status;
  }
}

TEST(PostRules, GivesUpFifteenMinutesAfterTheMoodWasSetAndAtExit) {
  ScriptedSteps steps({503});
  steps.clock = 100000;  // it waited its turn for 100 s
  postMood(steps, 0);
  EXPECT_EQ(steps.tries.back(), giveUpAfterMs);  // the last try at the mark, none after
  for (std::size_t i = 1; i < steps.tries.size(); ++i)
    EXPECT_LE(steps.tries[i] - steps.tries[i - 1], longestRetryMs);
  EXPECT_TRUE(steps.reports.back().gaveUp);

  ScriptedSteps slow({0}, 15000);  // tries that take time don't stretch it
  postMood(slow, 0);
  EXPECT_LE(slow.tries.back(), giveUpAfterMs);

  ScriptedSteps old({200});  // too old when its turn comes: given up untried
  old.clock = giveUpAfterMs + 1;
  postMood(old, 1);
  EXPECT_TRUE(old.tries.empty());
  EXPECT_TRUE(old.reports.back().gaveUp);

  ScriptedSteps ending({0});
  ending.pausesLeft = 2;
  postMood(ending, 0);
  EXPECT_EQ(ending.tries.size(), 3u);
}

TEST(PostRules, TooltipLinesSayWhatBecameOfTheMood) {
  using S = MoodReport::State;
  const std::pair<MoodReport, const char*> rows[] = {
      {{S::posted, PostOutcome::posted, 200, 0, false}, "Mood posted at 14:03"},
      {{S::waiting, PostOutcome::unreachable, 0, 19500, false},
       "Mood waiting: the service can't be reached (next try in 20 s)"},
      {{S::waiting, PostOutcome::unavailable, 503, 5000, false},
       "Mood waiting: the service answered 503 (next try in 5 s)"},
      {{S::notPosted, PostOutcome::accountRefused, 401, 0, false},
       "Mood not posted: the account name or password was refused"},
      {{S::notPosted, PostOutcome::rejected, 403, 0, false},
       "Mood not posted: the service answered 403"},
      {{S::notPosted, PostOutcome::unavailable, 503, 0, true},
       "Mood not posted: the service could not take it for 15 minutes"},
      {{S::waiting, PostOutcome::redirected, 302, 60000, false},
       "Mood waiting: the network sent the request elsewhere (a sign-in page?) "
       "(next try in 60 s)"},
      {{S::waiting, PostOutcome::proxyRefused, 407, 5000, false},
       "Mood waiting: the proxy asks for a password (next try in 5 s)"},
      {{S::notPosted, PostOutcome::seeOther, 303, 0, false},
       "Mood perhaps not posted: the answer pointed elsewhere (a sign-in page?)"},
  };
  char line[8];
  for (const auto& row : rows) {
    char full[116];  // the tooltip's second line
    formatMoodLine(row.first, "14:03", full, sizeof full);
    EXPECT_STREQ(full, row.second);
    formatMoodLine(row.first, "14:03", line, sizeof line);
    EXPECT_EQ(std::string(row.second, 7), line);
  }
}

}  // namespace
