#pragma once
// Turns: each mood takes a ticket when it is set and posts only when every
// mood set before it is done (posted or given up). Waits block, never spin;
// stop() releases every waiter at once, for the program's end. Built on a
// critical section and events, which every Windows since XP has.
#include <windows.h>

#include <cstdint>

#include "base/lock.h"

class PostTurns {
 public:
  PostTurns();
  PostTurns(const PostTurns&) = delete;
  PostTurns& operator=(const PostTurns&) = delete;

  std::uint64_t take();
  // Blocks until the ticket's turn; false when stopped.
  bool await(std::uint64_t ticket);
  // The ticket's mood, whose turn it was, is done: the next one may go.
  void finish(std::uint64_t ticket);
  // Sleeps up to ms; false (at once) when stopped.
  bool pause(std::int64_t ms);
  void stop();

 private:
  // A thread waiting for its turn, on its own stack while it waits.
  struct Waiter {
    std::uint64_t ticket;
    HANDLE ready;  // set when its turn comes
    Waiter* next;
  };
  void forget(Waiter* waiter);

  Lock lock_;
  HANDLE stopped_;  // manual reset: once set, every wait ends
  bool stopping_ = false;
  std::uint64_t next_ = 0;
  std::uint64_t serving_ = 0;
  Waiter* waiters_ = nullptr;
};
