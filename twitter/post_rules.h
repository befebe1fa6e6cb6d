#pragma once
// What becomes of a mood after each try to post it: which outcomes are tried
// again, when, and when it is given up; the turns that keep posts in the order
// their moods were set; and the tooltip line that tells the user. Plain C++
// with the clock and the waits passed in, so that it is unit-tested natively.
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <set>

enum class PostOutcome {
  posted,          // 2xx
  unreachable,     // no connection could be made: nothing was sent
  unavailable,     // 502, 503 or 504: the service did not take it
  accountRefused,  // 401
  rejected,        // any other answer: it was seen, trying again won't help
  noAnswer,        // sent, but no answer came: it may have been taken
};

constexpr std::int64_t firstRetryMs = 5000;
constexpr std::int64_t longestRetryMs = 60000;
constexpr std::int64_t giveUpAfterMs = 15 * 60 * 1000;

// connected: the request went out on a connection (false when none could be
// made); status: the answer's status code, 0 when none came.
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

// The steps one mood's posting needs from the outside world. Times are
// milliseconds of a monotonic clock.
class PostSteps {
 public:
  virtual ~PostSteps() = default;
  virtual std::int64_t now() = 0;
  // One try: sends the post and classifies what came of it; status gets the
  // answer's code (0 without one).
  virtual PostOutcome tryOnce(int& status) = 0;
  // Waits; false when the program ends meanwhile.
  virtual bool pause(std::int64_t ms) = 0;
  virtual void report(const MoodReport& report) = 0;
};

// Posts one mood, set at `setAt`, whose turn has come: tries, and tries again
// after each failure that surely did not reach the service, 5 s after the
// first and then twice as long each time (at most 60 s), the last try at the
// 15-minute mark. A mood already 15 minutes old is given up untried. Returns
// the last outcome; a mood dropped because the program ends gives unreachable.
PostOutcome postMood(PostSteps& steps, std::int64_t setAt);

// The second tooltip line for a report, zero-terminated within `size` bytes.
// postedAt: the time of the post as the system writes it (short format).
void formatMoodLine(const MoodReport& report, const char* postedAt, char* out, std::size_t size);

// Turns: each mood takes a ticket when it is set and posts only when every
// mood set before it is done (posted or given up). Waits block, never spin;
// stop() releases every waiter at once, for the program's end.
class PostTurns {
 public:
  std::uint64_t take();
  // Blocks until the ticket's turn; false when stopped.
  bool await(std::uint64_t ticket);
  // The ticket's mood is done (or never started): the next one may go.
  void finish(std::uint64_t ticket);
  // Sleeps up to ms; false (at once) when stopped.
  bool pause(std::int64_t ms);
  void stop();

 private:
  std::mutex lock_;
  std::condition_variable changed_;
  std::uint64_t next_ = 0;
  std::uint64_t serving_ = 0;
  std::set<std::uint64_t> finishedEarly_;  // done before their turn came
  bool stopped_ = false;
};
