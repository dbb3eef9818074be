// SPDX-License-Identifier: GPL-3.0-or-later
// A small pool of threads owned by one run. The caller hands it a number of
// independent tasks; every thread, the caller's included, takes the next task until
// none is left. Which thread runs which task is left to the schedule, so a task must
// write only its own part of the results.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>
#include <vector>

namespace hv {

// Most threads a run may ask for.
inline constexpr int max_threads = 256;

// The thread count asked for by the value of HV_THREADS: unset or empty means every
// core; otherwise a whole number from 1 to max_threads (blanks around it allowed).
// Anything else gives no value.
std::optional<int> thread_count(const char* env_value);

class Workers {
 public:
  // threads >= 1: the caller and threads - 1 helpers.
  explicit Workers(int threads);
  ~Workers();
  Workers(const Workers&) = delete;
  Workers& operator=(const Workers&) = delete;

  int size() const { return static_cast<int>(helpers_.size()) + 1; }

  // Runs task(i, slot) for i = 0 .. count-1 and returns when all have ended. slot
  // (0 .. size()-1) names the thread that runs the task, for scratch space kept per
  // thread. The first exception a task throws is rethrown here once the tasks that
  // had started have ended; the tasks not yet started are skipped. Not to be called
  // from inside a task.
  void run(int count, const std::function<void(int task, int slot)>& task);

 private:
  void helper_loop(int slot);
  void work(int slot);

  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable done_;
  std::uint64_t generation_ = 0;  // counts the jobs handed out
  bool stopping_ = false;
  // The job in hand.
  const std::function<void(int, int)>* task_ = nullptr;
  int count_ = 0;
  int next_ = 0;      // next task to take
  int finished_ = 0;  // helpers that have left the job
  std::exception_ptr error_;
  std::vector<std::thread> helpers_;
};

// Writes the results of tasks that Workers runs in any schedule in task order. A
// task hands its result in and goes on to the next task at once: a result that comes
// before those of earlier tasks waits here, and the thread that hands in the missing
// one writes all that have become due. Only one thread writes at a time. Should
// `write` throw, nothing more is written and the exception reaches Workers::run.
template <typename Result>
class InOrder {
 public:
  explicit InOrder(std::function<void(Result&)> write) : write_(std::move(write)) {}

  void hand_in(int task, Result result) {
    std::unique_lock lock(mutex_);
    waiting_.emplace(task, std::move(result));
    if (writing_) return;  // the thread writing will find it
    writing_ = true;
    while (!waiting_.empty() && waiting_.begin()->first == next_) {
      Result due = std::move(waiting_.begin()->second);
      waiting_.erase(waiting_.begin());
      lock.unlock();
      write_(due);
      lock.lock();
      ++next_;
    }
    writing_ = false;
  }

 private:
  std::function<void(Result&)> write_;
  std::mutex mutex_;
  std::map<int, Result> waiting_;
  int next_ = 0;
  bool writing_ = false;
};

}  // namespace hv
