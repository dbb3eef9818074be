// SPDX-License-Identifier: GPL-3.0-or-later
// hvmonitor with the default options on one day of 100 Hz three-component Steim-2
// data in hourly files: CPU seconds on one thread and on two, and the peak memory of
// the run against the same run on seven days (which should stay within 1.2 times).
// Each run is made in a child process, so that its CPU time and peak memory are its own.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/heap.hpp"
#include "hvmonitor/hvmonitor.hpp"
#include "tools/synth.hpp"
#include "tools/synth_mseed.hpp"

namespace {

struct Usage {
  int status = -1;
  double cpu = 0.0;      // seconds, user and system
  double wall = 0.0;     // seconds
  double peak_mb = 0.0;  // largest resident set
};

Usage run_child(const std::vector<std::string>& args, int threads) {
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    setenv("HV_THREADS", std::to_string(threads).c_str(), 1);
    hv::keep_freed_memory();  // as hvmonitor's main does
    std::ostringstream console;
    _exit(hv::hvmonitor_run(args, console));
  }
  int wstatus = 0;
  rusage ru{};
  wait4(pid, &wstatus, 0, &ru);
  Usage u;
  u.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  u.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
  u.cpu = static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
          static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) * 1.0e-6;
  u.peak_mb = static_cast<double>(ru.ru_maxrss) / 1024.0;
  return u;
}

}  // namespace

int main() {
  namespace fs = std::filesystem;
  const fs::path dir =
      fs::temp_directory_path() / ("hv_bench_monitor_" + std::to_string(::getpid()));
  std::printf("bench_monitor: writing %d days of hourly files\n", 7);
  fs::create_directories(dir);
  constexpr int days = 7;
  constexpr std::int64_t t0 = 1'600'041'600'000'000;  // 2020-09-14T00:00:00 UTC
  std::vector<std::string> files;
  for (int h = 0; h < 24 * days; ++h) {
    hv::synth::Spec spec;
    spec.duration_s = 3599.99;
    spec.seed = static_cast<unsigned>(h + 1);
    spec.resonance_hz = 2.0;
    const hv::synth::Recording r = hv::synth::synthesize(spec);
    std::vector<hv::synth::MseedBlock> blocks(3);
    const char* codes[3] = {"HHZ", "HHN", "HHE"};
    const std::vector<float>* columns[3] = {&r.z, &r.ns, &r.ew};
    for (int k = 0; k < 3; ++k) {
      blocks[k].channel = codes[k];
      blocks[k].start_us = t0 + std::int64_t{h} * 3'600'000'000;
      for (const float v : *columns[k]) blocks[k].samples.push_back(std::round(1000.0 * v));
    }
    std::string name = "h";
    name += std::to_string(h);
    name += ".mseed";
    files.push_back((dir / name).string());
    hv::synth::write_miniseed(files.back(), blocks);
  }
  const auto list = [&](int n_days, const std::string& name) {
    std::ofstream out(dir / name);
    for (int h = 0; h < 24 * n_days; ++h) out << files[static_cast<std::size_t>(h)] << '\n';
    return (dir / name).string();
  };
  std::ofstream(dir / "calmpick.par") << "/\n";
  std::ofstream(dir / "ratiospec.par") << "### section processing\n### end processing\n";
  const auto args = [&](const std::string& list_file, const std::string& out) {
    return std::vector<std::string>{list_file, (dir / "calmpick.par").string(),
                                    (dir / "ratiospec.par").string(), (dir / out).string()};
  };
  const std::string day = list(1, "day.txt"), week = list(days, "week.txt");
  if (std::getenv("HV_BENCH_KEEP")) std::printf("bench_monitor: files in %s\n", dir.c_str());
  const Usage one = run_child(args(day, "one"), 1);
  const Usage two = run_child(args(day, "two"), 2);
  const Usage seven = run_child(args(week, "week"), 2);
  if (!std::getenv("HV_BENCH_KEEP")) fs::remove_all(dir);
  if (one.status != 0 || two.status != 0 || seven.status != 0) {
    std::printf("bench_monitor: failed (exit statuses %d %d %d)\n", one.status, two.status,
                seven.status);
    return 1;
  }
  std::printf("bench_monitor: one day at 100 Hz, hourly blocks, defaults\n");
  std::printf("bench_monitor: 1 thread : %.2f CPU s, %.2f s wall, peak %.1f MB\n", one.cpu,
              one.wall, one.peak_mb);
  std::printf(
      "bench_monitor: 2 threads: %.2f CPU s, %.2f s wall (%.2f times faster), peak %.1f MB\n",
      two.cpu, two.wall, one.wall / two.wall, two.peak_mb);
  std::printf("bench_monitor: %d days, 2 threads: %.2f CPU s, peak %.1f MB (%.2f times one day)\n",
              days, seven.cpu, seven.peak_mb, seven.peak_mb / two.peak_mb);
  return 0;
}
