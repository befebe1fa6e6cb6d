#include "twitter/post_turns.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

namespace {

TEST(PostTurns, MoodsGoInTheOrderOfTheirTickets) {
  PostTurns turns;
  std::vector<std::uint64_t> tickets;
  for (int i = 0; i < 8; ++i) tickets.push_back(turns.take());
  std::mutex lock;
  std::vector<int> order;
  std::vector<std::thread> threads;
  for (int i = 7; i >= 0; --i) {  // started last first
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

TEST(PostTurns, StopReleasesEveryWaiterAtOnce) {
  PostTurns turns;
  const auto first = turns.take(), second = turns.take();
  std::atomic<bool> released{false};
  std::thread blocked([&] { released = !turns.await(second); });
  std::thread pausing([&] { EXPECT_FALSE(turns.pause(600000)); });
  Sleep(50);  // both wait by now, or start after the stop: either way released
  turns.stop();
  blocked.join();
  pausing.join();
  EXPECT_TRUE(released);
  EXPECT_FALSE(turns.await(first));
  EXPECT_FALSE(turns.pause(10));
}

TEST(PostTurns, PauseSleepsWhileNotStopped) {
  PostTurns turns;
  const DWORD start = GetTickCount();
  EXPECT_TRUE(turns.pause(30));
  EXPECT_GE(GetTickCount() - start, 20u);  // the system's timer may round down a little
}

}  // namespace
