#include "twitter/post_turns.h"

PostTurns::PostTurns() : stopped_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}

std::uint64_t PostTurns::take() {
  Hold hold(lock_);
  return next_++;
}

void PostTurns::forget(Waiter* waiter) {
  for (Waiter** at = &waiters_; *at != nullptr; at = &(*at)->next) {
    if (*at == waiter) {
      *at = waiter->next;
      return;
    }
  }
}

bool PostTurns::await(std::uint64_t ticket) {
  Waiter me = {ticket, CreateEventA(nullptr, FALSE, FALSE, nullptr), nullptr};
  bool registered = false;
  bool turn;
  for (;;) {
    {
      Hold hold(lock_);
      if (stopping_ || serving_ == ticket) {
        turn = !stopping_;
        if (registered) forget(&me);
        break;
      }
      if (!registered) {
        me.next = waiters_;
        waiters_ = &me;
        registered = true;
      }
    }
    // Without an event of its own (the system is out of handles) it looks
    // again every 100 ms instead.
    HANDLE events[2] = {stopped_, me.ready};
    const DWORD count = stopped_ == nullptr ? 0 : 1;
    if (me.ready != nullptr)
      WaitForMultipleObjects(count + 1, events + 1 - count, FALSE, INFINITE);
    else if (count != 0)
      WaitForSingleObject(stopped_, 100);
    else
      Sleep(100);
  }
  if (me.ready != nullptr) CloseHandle(me.ready);
  return turn;
}

void PostTurns::finish(std::uint64_t ticket) {
  Hold hold(lock_);
  if (ticket != serving_) return;
  ++serving_;
  for (Waiter* waiter = waiters_; waiter != nullptr; waiter = waiter->next) {
    if (waiter->ticket == serving_ && waiter->ready != nullptr) SetEvent(waiter->ready);
  }
}

bool PostTurns::pause(std::int64_t ms) {
  const DWORD wait = ms <= 0 ? 0 : ms >= 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<DWORD>(ms);
  if (stopped_ == nullptr) {
    Sleep(wait);
    Hold hold(lock_);
    return !stopping_;
  }
  return WaitForSingleObject(stopped_, wait) == WAIT_TIMEOUT;
}

void PostTurns::stop() {
  Hold hold(lock_);
  stopping_ = true;
  if (stopped_ != nullptr) SetEvent(stopped_);
}
