#include "twitter/post_rules.h"

#include <chrono>
#include <cstdio>

PostOutcome classifyPost(bool connected, int status) {
  if (!connected) return PostOutcome::unreachable;
  if (status <= 0) return PostOutcome::noAnswer;
  if (status >= 200 && status < 300) return PostOutcome::posted;
  if (status == 502 || status == 503 || status == 504) return PostOutcome::unavailable;
  if (status == 401) return PostOutcome::accountRefused;
  return PostOutcome::rejected;
}

bool isRetried(PostOutcome outcome) {
  return outcome == PostOutcome::unreachable || outcome == PostOutcome::unavailable;
}

std::int64_t retryDelayMs(int failures) {
  std::int64_t delay = firstRetryMs;
  for (int i = 1; i < failures && delay < longestRetryMs; ++i) delay *= 2;
  return delay < longestRetryMs ? delay : longestRetryMs;
}

PostOutcome postMood(PostSteps& steps, std::int64_t setAt) {
  const std::int64_t deadline = setAt + giveUpAfterMs;
  // Set so long ago, behind others, that its time ran out before its turn.
  if (steps.now() >= deadline) {
    steps.report({MoodReport::State::notPosted, PostOutcome::unreachable, 0, 0, true});
    return PostOutcome::unreachable;
  }
  for (int failures = 1;; ++failures) {
    int status = 0;
    const PostOutcome outcome = steps.tryOnce(status);
    if (!isRetried(outcome)) {
      const auto state =
          outcome == PostOutcome::posted ? MoodReport::State::posted : MoodReport::State::notPosted;
      steps.report({state, outcome, status, 0, false});
      return outcome;
    }
    const std::int64_t left = deadline - steps.now();
    if (left <= 0) {
      steps.report({MoodReport::State::notPosted, outcome, status, 0, true});
      return outcome;
    }
    // The last try comes at the 15-minute mark, not after it.
    const std::int64_t delay = retryDelayMs(failures);
    const std::int64_t wait = delay < left ? delay : left;
    steps.report({MoodReport::State::waiting, outcome, status, wait, false});
    if (!steps.pause(wait)) return outcome;
  }
}

void formatMoodLine(const MoodReport& report, const char* postedAt, char* out, std::size_t size) {
  if (size == 0) return;
  const long long seconds = (report.nextTryMs + 999) / 1000;
  switch (report.state) {
    case MoodReport::State::posted:
      std::snprintf(out, size, "Mood posted at %s", postedAt);
      return;
    case MoodReport::State::waiting:
      if (report.outcome == PostOutcome::unavailable)
        std::snprintf(out, size, "Mood waiting: the service answered %d (next try in %lld s)",
                      report.status, seconds);
      else
        std::snprintf(out, size, "Mood waiting: the service can't be reached (next try in %lld s)",
                      seconds);
      return;
    case MoodReport::State::notPosted:
      break;
  }
  if (report.gaveUp)
    std::snprintf(out, size, "Mood not posted: the service could not take it for 15 minutes");
  else if (report.outcome == PostOutcome::accountRefused)
    std::snprintf(out, size, "Mood not posted: the account name or password was refused");
  else if (report.outcome == PostOutcome::noAnswer)
    std::snprintf(out, size, "Mood perhaps not posted: the service did not answer");
  else
    std::snprintf(out, size, "Mood not posted: the service answered %d", report.status);
}

std::uint64_t PostTurns::take() {
  std::lock_guard<std::mutex> hold(lock_);
  return next_++;
}

bool PostTurns::await(std::uint64_t ticket) {
  std::unique_lock<std::mutex> hold(lock_);
  changed_.wait(hold, [&] { return stopped_ || serving_ == ticket; });
  return !stopped_;
}

void PostTurns::finish(std::uint64_t ticket) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    if (ticket != serving_) {
      finishedEarly_.insert(ticket);
      return;
    }
    ++serving_;
    while (finishedEarly_.erase(serving_) != 0) ++serving_;
  }
  changed_.notify_all();
}

bool PostTurns::pause(std::int64_t ms) {
  std::unique_lock<std::mutex> hold(lock_);
  changed_.wait_for(hold, std::chrono::milliseconds(ms), [&] { return stopped_; });
  return !stopped_;
}

void PostTurns::stop() {
  {
    std::lock_guard<std::mutex> hold(lock_);
    stopped_ = true;
  }
  changed_.notify_all();
}
