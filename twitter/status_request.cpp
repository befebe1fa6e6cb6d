#include "twitter/status_request.h"

#include <chrono>
#include <new>

#include "shell/account.h"
#include "shell/tray.h"
#include "twitter/form_encoding.h"
#include "twitter/http_session.h"
#include "twitter/http_text.h"
#include "twitter/post_rules.h"
#include "twitter/service.h"

namespace {

constexpr char formContentType[] = "Content-Type: application/x-www-form-urlencoded";
static_assert(sizeof formContentType - 1 == 47, "content type header");

// The reply is read only to be dropped; this much is plenty for its JSON.
constexpr std::size_t replyReadCap = 64 * 1024;

// Never destroyed: posting threads may still wait on it while the process ends.
PostTurns& turns() {
  static PostTurns* const shared = new PostTurns;
  return *shared;
}

std::int64_t monotonicMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

struct PendingMood {
  std::uint64_t ticket;
  std::int64_t setAt;
  char* text;
};

class ServicePostSteps : public PostSteps {
 public:
  explicit ServicePostSteps(const char* text) {
    bodyLength_ = static_cast<DWORD>(buildStatusBody(text, body_));
  }
  std::int64_t now() override { return monotonicMs(); }
  bool pause(std::int64_t ms) override { return turns().pause(ms); }

  PostOutcome tryOnce(int& status) override {
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

  void report(const MoodReport& report) override {
    char postedAt[32] = {};
    GetTimeFormatA(LOCALE_USER_DEFAULT, TIME_NOSECONDS, nullptr, nullptr, postedAt,
                   sizeof postedAt);
    char line[trayLineSize];
    formatMoodLine(report, postedAt, line, sizeof line);
    reportMoodState(line, report.outcome == PostOutcome::accountRefused && credentialsSent_);
  }

 private:
  char body_[statusBodySize] = {};
  DWORD bodyLength_ = 0;
  bool credentialsSent_ = false;
};

DWORD WINAPI postStatusThread(LPVOID parameter) {
  auto* mood = static_cast<PendingMood*>(parameter);
  if (turns().await(mood->ticket)) {
    ServicePostSteps steps(mood->text);
    postMood(steps, mood->setAt);
    turns().finish(mood->ticket);
  }
  GlobalFree(mood->text);
  delete mood;
  return 0;
}

}  // namespace

void startMoodPost(char* text) {
  auto* mood = new (std::nothrow) PendingMood{0, monotonicMs(), text};
  if (!mood) {
    GlobalFree(text);
    return;
  }
  mood->ticket = turns().take();
  // Nobody waits for the thread; the turns keep the posts in order.
  DWORD threadId = 0;
  HANDLE poster = CreateThread(nullptr, 0, postStatusThread, mood, 0, &threadId);
  if (poster) {
    CloseHandle(poster);
    return;
  }
  turns().finish(mood->ticket);  // or every later mood would wait for it
  GlobalFree(text);
  delete mood;
}

void postMoodNow(const char* text) {
  ServicePostSteps steps(text);
  postMood(steps, monotonicMs());
}

void stopMoodPosts() {
  turns().stop();
}
