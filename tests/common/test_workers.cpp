// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "common/workers.hpp"

namespace hv {
namespace {

struct Load {
  int threads;
  int tasks;
};

std::string load_name(const ::testing::TestParamInfo<Load>& info) {
  return "threads" + std::to_string(info.param.threads) + "_tasks" +
         std::to_string(info.param.tasks);
}

class WorkersRun : public ::testing::TestWithParam<Load> {};

// Each task once, each on a slot of its own while it runs; and the pool serves
// several jobs one after the other.
TEST_P(WorkersRun, EveryTaskOnceOnAFreeSlot) {
  const Load p = GetParam();
  Workers workers(p.threads);
  ASSERT_EQ(workers.size(), p.threads);
  for (int job = 0; job < 3; ++job) {
    std::vector<std::atomic<int>> runs(static_cast<std::size_t>(p.tasks));
    std::vector<std::atomic<bool>> busy(static_cast<std::size_t>(p.threads));
    std::atomic<int> clashes{0}, bad_slots{0};
    workers.run(p.tasks, [&](int task, int slot) {
      if (slot < 0 || slot >= p.threads) {
        ++bad_slots;
        return;
      }
      if (busy[static_cast<std::size_t>(slot)].exchange(true)) ++clashes;
      ++runs[static_cast<std::size_t>(task)];
      busy[static_cast<std::size_t>(slot)] = false;
    });
    EXPECT_EQ(bad_slots, 0);
    EXPECT_EQ(clashes, 0);
    for (int t = 0; t < p.tasks; ++t) ASSERT_EQ(runs[static_cast<std::size_t>(t)], 1) << t;
  }
}

INSTANTIATE_TEST_SUITE_P(Loads, WorkersRun,
                         ::testing::Values(Load{1, 0}, Load{1, 5}, Load{2, 1}, Load{2, 1000},
                                           Load{3, 7}, Load{8, 3}, Load{8, 1000}),
                         load_name);

// Four tasks that each wait for all four to have started can only finish if four
// threads run them at once.
TEST(Workers, TasksRunAtTheSameTime) {
  Workers workers(4);
  std::mutex m;
  std::condition_variable cv;
  int started = 0;
  bool all = true;
  workers.run(4, [&](int, int) {
    std::unique_lock lock(m);
    ++started;
    cv.notify_all();
    if (!cv.wait_for(lock, std::chrono::seconds(20), [&] { return started == 4; })) all = false;
  });
  EXPECT_TRUE(all);
}

TEST(Workers, FirstErrorReachesTheCallerAndThePoolGoesOn) {
  Workers workers(3);
  std::atomic<int> ran{0};
  EXPECT_THROW(workers.run(50,
                           [&](int task, int) {
                             ++ran;
                             if (task == 10) throw std::runtime_error("task 10");
                           }),
               std::runtime_error);
  EXPECT_LE(ran, 50);
  std::atomic<int> again{0};
  workers.run(20, [&](int, int) { ++again; });
  EXPECT_EQ(again, 20);
}

// Task 0 waits until the other tasks have handed in, so they end first: their
// results wait, none of their threads blocks, and all are written in task order
// once task 0 hands in.
TEST(InOrder, ResultsThatComeEarlyWaitAndAreWrittenInTaskOrder) {
  constexpr int tasks = 6;
  std::mutex m;
  std::condition_variable cv;
  int handed_in = 0;
  bool others_first = true;
  std::vector<int> written;
  InOrder<int> in_order([&](int& r) { written.push_back(r); });
  Workers workers(2);
  workers.run(tasks, [&](int task, int) {
    if (task == 0) {
      std::unique_lock lock(m);
      others_first =
          cv.wait_for(lock, std::chrono::seconds(20), [&] { return handed_in == tasks - 1; });
    }
    in_order.hand_in(task, task * 10);
    const std::lock_guard lock(m);
    ++handed_in;
    cv.notify_all();
  });
  EXPECT_TRUE(others_first);
  EXPECT_EQ(written, (std::vector<int>{0, 10, 20, 30, 40, 50}));
}

}  // namespace
}  // namespace hv
