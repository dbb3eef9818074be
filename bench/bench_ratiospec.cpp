// SPDX-License-Identifier: GPL-3.0-or-later
// Whole ratiospec runs on generated recordings: wall time and peak memory of the
// real program with one thread and with all (HV_THREADS), and the share of reading,
// transforming and smoothing measured in-process on one thread.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "common/workers.hpp"
#include "ratiospec/ckerr.hpp"
#include "ratiospec/ratiospec.hpp"
#include "tools/synth.hpp"

namespace fs = std::filesystem;

namespace {

struct Measure {
  double wall_s;
  long peak_kb;
  int status;
};

// Runs the real program with HV_THREADS = threads and reports its wall time and peak
// resident memory.
Measure run_binary(const fs::path& program, const std::vector<std::string>& args, int threads) {
  std::fflush(stdout);  // the child must not inherit unwritten output
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    if (std::freopen("/dev/null", "w", stdout) == nullptr) _exit(127);
    if (setenv("HV_THREADS", std::to_string(threads).c_str(), 1) != 0) _exit(127);
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  const double wall =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return {wall, usage.ru_maxrss, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

std::string write_windows(const fs::path& dir, const std::string& recording, double length,
                          int count) {
  const fs::path path = dir / ("windows_" + std::to_string(static_cast<int>(length)) + ".txt");
  std::ofstream out(path);
  for (int k = 0; k < count; ++k) {
    char line[512];
    std::snprintf(line, sizeof line, "\"%s\" %.3f %.3f 2 Z NS EW TEST\n", recording.c_str(),
                  k * length, (k + 1) * length);
    out << line;
  }
  return path.string();
}

void report(const char* label, const fs::path& program, const std::vector<std::string>& args,
            int threads) {
  std::printf("%s\n", label);
  double one = 0.0;
  for (const int n : {1, threads}) {
    const Measure m = run_binary(program, args, n);
    if (n == 1) one = m.wall_s;
    std::printf("  %2d thread%s: wall %.3f s (%.2fx of one), peak memory %.1f MB, exit status %d\n",
                n, n == 1 ? " " : "s", m.wall_s, one / m.wall_s,
                static_cast<double>(m.peak_kb) / 1024.0, m.status);
    if (threads == 1) break;
  }
  hv::StageTimes times;
  std::ostringstream console;
  setenv("HV_THREADS", "1", 1);
  const auto start = std::chrono::steady_clock::now();
  hv::ratiospec_run(args, console, &times);
  const double wall =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const auto share = [wall](double t) { return 100.0 * t / wall; };
  std::printf(
      "  in-process, 1 thread, %.3f s: reading %.3f s (%.0f %%), spectra %.3f s (%.0f %%), "
      "smoothing %.3f s "
      "(%.0f %%)\n",
      wall, times.reading, share(times.reading), times.transforming, share(times.transforming),
      times.smoothing, share(times.smoothing));
}

}  // namespace

int main() {
  const std::optional<int> threads = hv::thread_count(std::getenv("HV_THREADS"));
  if (!threads) {
    std::fprintf(stderr, "HV_THREADS must be a whole number from 1 to %d\n", hv::max_threads);
    return 2;
  }
  const fs::path program =
      fs::canonical("/proc/self/exe").parent_path().parent_path() / "bin" / "ratiospec";
  const fs::path dir = fs::temp_directory_path() / ("bench_ratiospec_" + std::to_string(getpid()));
  fs::create_directories(dir);

  hv::synth::Spec spec;
  spec.resonance_hz = 2.5;
  spec.duration_s = 1800.0;
  const std::string short_rec = (dir / "site30.kaf").string();
  hv::synth::write_kaf(short_rec, hv::synth::synthesize(spec), spec);
  spec.duration_s = 5999.99;
  const std::string long_rec = (dir / "site100.kaf").string();
  hv::synth::write_kaf(long_rec, hv::synth::synthesize(spec), spec);

  const std::string par = (dir / "par.txt").string();
  std::ofstream(par) << "### section processing\n### end processing\n";
  const std::string out = (dir / "res").string();

  report("(a) 30-minute 100 Hz recording, 90 windows of 20 s, default options", program,
         {write_windows(dir, short_rec, 20.0, 90), par, out}, *threads);
  // The optional analyses on the same run: their cost is the difference to (a).
  const std::string par_rejection = (dir / "par_rejection.txt").string();
  std::ofstream(par_rejection)
      << "### section processing\nwindow_rejection: frequency:2\n### end processing\n";
  report("(a1) as (a), with window_rejection: frequency:2", program,
         {write_windows(dir, short_rec, 20.0, 90), par_rejection, out}, *threads);
  const std::string par_azimuth = (dir / "par_azimuth.txt").string();
  std::ofstream(par_azimuth) << "### section processing\nazimuth_step: 10\n### end processing\n";
  report("(a2) as (a), with azimuth_step: 10", program,
         {write_windows(dir, short_rec, 20.0, 90), par_azimuth, out}, *threads);
  report("(b) 100-minute 100 Hz recording, 99 windows of 60 s, default options", program,
         {write_windows(dir, long_rec, 60.0, 99), par, out}, *threads);
  report("(c) one 3000 s window of the 100-minute recording, default options", program,
         {write_windows(dir, long_rec, 3000.0, 1), par, out}, *threads);
  fs::remove_all(dir);
  return 0;
}
