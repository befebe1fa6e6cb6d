#include "twitter/status_request.h"

#include "base/tick_clock.h"
#include "twitter/account.h"
#include "twitter/form_encoding.h"
#include "twitter/http_session.h"
#include "twitter/http_text.h"
#include "twitter/post_rules.h"
#include "twitter/post_turns.h"
#include "twitter/service.h"

namespace {

constexpr char formContentType[] = "Content-Type: application/x-www-form-urlencoded";
static_assert(sizeof formContentType - 1 == 47, "content type header");

// The reply is read only to be dropped; this much is plenty for its JSON.
constexpr std::size_t replyReadCap = 64 * 1024;

// Never destroyed (it has no destructor): posting threads may still wait on
// it while the process ends.
PostTurns turns;
MoodReporter moodReporter;

struct PendingMood {
  std::uint64_t ticket;
  std::int64_t setAt;
  char* text;
};

class ServicePostSteps {
 public:
  explicit ServicePostSteps(const char* text) {
    bodyLength_ = static_cast<DWORD>(buildStatusBody(text, body_));
  }
  std::int64_t now() { return monotonicMs(); }
  bool pause(std::int64_t ms) { return turns.pause(ms); }

  PostOutcome tryOnce(int& status) {
    const AccountCopy account = copyAccount();
    credentialsSent_ = account.name[0] != 0;
    ServiceRequest request("POST", statusUpdatePath, account,
                           ServiceRequest::ConnectionCredentials::none);
    status = 0;
    if (!request.send(formContentType, body_, bodyLength_))
      return classifyPost(!request.neverSent(), 0);
    char statusText[headerLineSize];
    status = request.status(statusText);
    std::size_t announced = request.contentLength();
    std::size_t size = announced < replyReadCap ? announced : replyReadCap;
    if (size > 0) {
      HeapBlock reply(size);
      if (reply.get()) request.readBody(reply.get(), size);
    }
    return classifyPost(true, status);
  }

  void report(const MoodReport& report) {
    char postedAt[32] = {};
    GetTimeFormatA(LOCALE_USER_DEFAULT, TIME_NOSECONDS, nullptr, nullptr, postedAt,
                   sizeof postedAt);
    char line[128];
    formatMoodLine(report, postedAt, line, sizeof line);
    if (moodReporter)
      moodReporter(line, report.outcome == PostOutcome::accountRefused && credentialsSent_);
  }

 private:
  char body_[statusBodySize] = {};
  DWORD bodyLength_ = 0;
  bool credentialsSent_ = false;
};

DWORD WINAPI postStatusThread(LPVOID parameter) {
  auto* mood = static_cast<PendingMood*>(parameter);
  if (turns.await(mood->ticket)) {
    ServicePostSteps steps(mood->text);
    postMood(steps, mood->setAt);
    turns.finish(mood->ticket);
  }
  GlobalFree(mood->text);
  GlobalFree(mood);
  return 0;
}

}  // namespace

void setMoodReporter(MoodReporter reporter) {
  moodReporter = reporter;
}

void startMoodPost(char* text) {
  auto* mood = static_cast<PendingMood*>(GlobalAlloc(GPTR, sizeof(PendingMood)));
  if (!mood) {
    GlobalFree(text);
    return;
  }
  mood->setAt = monotonicMs();
  mood->text = text;
  // Started held, and given its ticket only once it exists: a mood whose
  // thread could not be made takes no turn that the later ones would wait for.
  DWORD threadId = 0;
  HANDLE poster = CreateThread(nullptr, 0, postStatusThread, mood, CREATE_SUSPENDED, &threadId);
  if (!poster) {
    GlobalFree(text);
    GlobalFree(mood);
    return;
  }
  mood->ticket = turns.take();
  // Nobody waits for the thread; the turns keep the posts in order.
  ResumeThread(poster);
  CloseHandle(poster);
}

void postMoodNow(const char* text) {
  ServicePostSteps steps(text);
  postMood(steps, monotonicMs());
}

void stopMoodPosts() {
  turns.stop();
}
