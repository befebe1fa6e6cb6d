#pragma once
// What becomes of a mood after each try to post it: which outcomes are tried
// again, when, and when it is given up; the turns that keep posts in the order
// their moods were set; and the tooltip line that tells the user. Plain C++
// with the clock and the waits passed in, so that it is unit-tested natively.
#include <cstddef>
#include <cstdint>

enum class PostOutcome {
  posted,          // 2xx
  unreachable,     // the request surely never left: nothing was sent
  unavailable,     // 502, 503 or 504: the service did not take it
  redirected,      // 3xx but 303 and 304: sent elsewhere (a sign-in page?), never taken
  proxyRefused,    // 407: the proxy wants a password and passed nothing on
  accountRefused,  // 401
  rejected,        // any other answer: it was seen, trying again won't help
  noAnswer,        // sent, but no answer came: it may have been taken
  seeOther,        // 303: the usual answer to a post that was taken, pointing to the result
};

constexpr std::int64_t firstRetryMs = 5000;
constexpr std::int64_t longestRetryMs = 60000;
constexpr std::int64_t giveUpAfterMs = 15 * 60 * 1000;

// WinINet's send errors that surelyNotSent() sorts, by value: this file
// builds without the Windows headers (http_session.cpp checks the values).
namespace sendError {
constexpr unsigned long outOfHandles = 12001, timeout = 12002, internalError = 12004,
                        nameNotResolved = 12007, operationCancelled = 12017, cannotConnect = 12029,
                        connectionAborted = 12030, connectionReset = 12031,
                        invalidServerResponse = 12152, tcpipNotInstalled = 12159,
                        disconnected = 12163, serverUnreachable = 12164,
                        proxyServerUnreachable = 12165, badAutoProxyScript = 12166,
                        unableToDownloadScript = 12167;
}  // namespace sendError

// How far a send got, from the client's progress reports.
enum class SendStage {
  unknown,     // no report came
  connecting,  // looking up a name or connecting, and no request written yet
  written,     // a request was written on some connection of this send
};

// After a send that failed with `error`: true only when the request surely
// never reached the service, so that a second try cannot make a second copy.
bool surelyNotSent(unsigned long error, SendStage stage);

// connected: the request went out on a connection (false when it surely
// never left); status: the answer's status code, 0 when none came.
PostOutcome classifyPost(bool connected, int status);
// Only what the service surely did not take is tried again.
bool isRetried(PostOutcome outcome);
// The wait before the next try after `failures` failed tries (1 or more).
std::int64_t retryDelayMs(int failures);

// Where a mood stands, for the tooltip.
struct MoodReport {
  enum class State { posted, waiting, notPosted } state;
  PostOutcome outcome;     // of the last try
  int status;              // its status code, 0 when none
  std::int64_t nextTryMs;  // waiting: time to the next try
  bool gaveUp;             // notPosted: its 15 minutes ran out
};

// Posts one mood, set at `setAt`, whose turn has come: tries, and tries again
// after each failure that surely did not reach the service, 5 s after the
// first and then twice as long each time (at most 60 s), the last try at the
// 15-minute mark. A mood already 15 minutes old is given up untried. Returns
// the last outcome; a mood dropped because the program ends gives unreachable.
//
// Steps are the outside world, times in milliseconds of a monotonic clock:
//   std::int64_t now();
//   PostOutcome tryOnce(int& status);  // one try; status gets the answer's code, 0 without one
//   bool pause(std::int64_t ms);       // false when the program ends meanwhile
//   void report(const MoodReport&);
// (A template rather than virtual functions: the program has no other use for them.)
template <class Steps>
PostOutcome postMood(Steps& steps, std::int64_t setAt) {
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

// The second tooltip line for a report, zero-terminated within `size` bytes.
// postedAt: the time of the post as the system writes it (short format).
void formatMoodLine(const MoodReport& report, const char* postedAt, char* out, std::size_t size);
