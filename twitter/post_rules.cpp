#include "twitter/post_rules.h"

#include "base/text_buffer.h"

bool surelyNotSent(unsigned long error, SendStage stage) {
  // The client resends on a new connection when a kept one fails, so a
  // request written once may have arrived whatever failed after it.
  if (stage == SendStage::written) return false;
  switch (error) {
    // No way out, or no connection to the service or the proxy was made.
    case sendError::outOfHandles:
    case sendError::nameNotResolved:  // the service's name or the proxy's
    case sendError::cannotConnect:
    case sendError::tcpipNotInstalled:
    case sendError::disconnected:  // also the offline state
    case sendError::serverUnreachable:
    case sendError::proxyServerUnreachable:
    case sendError::badAutoProxyScript:
    case sendError::unableToDownloadScript:
      return true;
    // A connection that failed: before anything was written only if the
    // reports say it was still being made.
    case sendError::timeout:
    case sendError::connectionAborted:
    case sendError::connectionReset:
      return stage == SendStage::connecting;
    default:  // an answer that made no sense, an inner error, a cancel: it may have arrived
      return false;
  }
}

PostOutcome classifyPost(bool connected, int status) {
  if (!connected) return PostOutcome::unreachable;
  if (status <= 0) return PostOutcome::noAnswer;
  if (status >= 200 && status < 300) return PostOutcome::posted;
  if (status == 502 || status == 503 || status == 504) return PostOutcome::unavailable;
  if (status == 401) return PostOutcome::accountRefused;
  if (status == 407) return PostOutcome::proxyRefused;
  if (status == 303) return PostOutcome::seeOther;
  // A 304 to a post is no redirect; it was answered like any other refusal.
  if (status >= 300 && status < 400 && status != 304) return PostOutcome::redirected;
  return PostOutcome::rejected;
}

bool isRetried(PostOutcome outcome) {
  return outcome == PostOutcome::unreachable || outcome == PostOutcome::unavailable ||
         outcome == PostOutcome::redirected || outcome == PostOutcome::proxyRefused;
}

std::int64_t retryDelayMs(int failures) {
  std::int64_t delay = firstRetryMs;
  for (int i = 1; i < failures && delay < longestRetryMs; ++i) delay *= 2;
  return delay < longestRetryMs ? delay : longestRetryMs;
}

void formatMoodLine(const MoodReport& report, const char* postedAt, char* out, std::size_t size) {
  TextBuffer line(out, size);
  const long long seconds = (report.nextTryMs + 999) / 1000;
  switch (report.state) {
    case MoodReport::State::posted:
      line.text("Mood posted at ").text(postedAt);
      return;
    case MoodReport::State::waiting:
      if (report.outcome == PostOutcome::unavailable)
        line.text("Mood waiting: the service answered ").number(report.status);
      else if (report.outcome == PostOutcome::redirected)
        line.text("Mood waiting: the network sent the request elsewhere (a sign-in page?)");
      else if (report.outcome == PostOutcome::proxyRefused)
        line.text("Mood waiting: the proxy asks for a password");
      else
        line.text("Mood waiting: the service can't be reached");
      line.text(" (next try in ").number(seconds).text(" s)");
      return;
    case MoodReport::State::notPosted:
      break;
  }
  if (report.gaveUp)
    line.text("Mood not posted: the service could not take it for 15 minutes");
  else if (report.outcome == PostOutcome::accountRefused)
    line.text("Mood not posted: the account name or password was refused");
  else if (report.outcome == PostOutcome::noAnswer)
    line.text("Mood perhaps not posted: the service did not answer");
  else if (report.outcome == PostOutcome::seeOther)
    line.text("Mood perhaps not posted: the answer pointed elsewhere (a sign-in page?)");
  else
    line.text("Mood not posted: the service answered ").number(report.status);
}
