// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/workers.hpp"

#include <algorithm>
#include <charconv>
#include <system_error>

namespace hv {

std::optional<int> thread_count(const char* env_value) {
  std::string_view v = env_value != nullptr ? env_value : "";
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!v.empty() && blank(v.front())) v.remove_prefix(1);
  while (!v.empty() && blank(v.back())) v.remove_suffix(1);
  if (v.empty()) {
    const auto cores = static_cast<int>(std::min<unsigned>(std::thread::hardware_concurrency(),
                                                           static_cast<unsigned>(max_threads)));
    return std::max(cores, 1);
  }
  int n = 0;
  const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), n);
  if (ec != std::errc{} || end != v.data() + v.size() || n < 1 || n > max_threads) {
    return std::nullopt;
  }
  return n;
}

Workers::Workers(int threads) {
  const int n = std::clamp(threads, 1, max_threads);
  helpers_.reserve(static_cast<std::size_t>(n - 1));
  try {
    for (int slot = 1; slot < n; ++slot) helpers_.emplace_back([this, slot] { helper_loop(slot); });
  } catch (const std::system_error&) {
    // The system refused a thread: the run goes on with those it has (the results do
    // not depend on their number).
  }
}

Workers::~Workers() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  for (std::thread& t : helpers_) t.join();
}

void Workers::work(int slot) {
  for (;;) {
    int i = 0;
    {
      const std::lock_guard lock(mutex_);
      if (next_ >= count_) return;
      i = next_++;
    }
    try {
      (*task_)(i, slot);
    } catch (...) {
      const std::lock_guard lock(mutex_);
      if (!error_) error_ = std::current_exception();
      next_ = count_;
    }
  }
}

void Workers::helper_loop(int slot) {
  std::uint64_t seen = 0;
  for (;;) {
    std::unique_lock lock(mutex_);
    wake_.wait(lock, [&] { return stopping_ || generation_ != seen; });
    if (stopping_) return;
    seen = generation_;
    lock.unlock();
    work(slot);
    lock.lock();
    // run() waits for every helper to leave a job before it hands out the next, so
    // each helper sees each generation once.
    if (++finished_ == static_cast<int>(helpers_.size())) done_.notify_one();
  }
}

void Workers::run(int count, const std::function<void(int task, int slot)>& task) {
  if (count <= 0) return;
  if (helpers_.empty() || count == 1) {
    for (int i = 0; i < count; ++i) task(i, 0);
    return;
  }
  {
    const std::lock_guard lock(mutex_);
    task_ = &task;
    count_ = count;
    next_ = 0;
    finished_ = 0;
    error_ = nullptr;
    ++generation_;
  }
  wake_.notify_all();
  work(0);
  std::exception_ptr error;
  {
    std::unique_lock lock(mutex_);
    done_.wait(lock, [&] { return finished_ == static_cast<int>(helpers_.size()); });
    task_ = nullptr;
    count_ = 0;
    std::swap(error, error_);
  }
  if (error) std::rethrow_exception(error);
}

}  // namespace hv
