// SPDX-License-Identifier: GPL-3.0-or-later
// miniSEED reading: the bundled real recording, and a generated 600001-sample
// three-channel Steim-2 file against the same samples read as KAF; then the whole
// calmpick and ratiospec chain on the real recording with default options.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "readers/readermseed.hpp"
#include "readers/records.hpp"
#include "readers/rkaf.hpp"
#include "tools/synth.hpp"
#include "tools/synth_mseed.hpp"

namespace fs = std::filesystem;

namespace {

constexpr const char* real_name = "data/UT.STN11.A2_C50.miniseed";

double best_of(int runs, const std::function<void()>& work) {
  double best = 1.0e30;
  for (int run = 0; run < runs; ++run) {
    const auto t0 = std::chrono::steady_clock::now();
    work();
    best = std::min(best,
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
  }
  return best;
}

struct Timing {
  double wall_s;
  double cpu_s;  // user and system time of the program: the wall time on an idle machine
};

// Times the real program, its output thrown away; a negative wall time when it fails.
Timing run_binary(const fs::path& program, const std::vector<std::string>& args,
                  const fs::path& cwd) {
  std::fflush(stdout);  // the child must not inherit unwritten output
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    if (std::freopen("/dev/null", "w", stdout) == nullptr || chdir(cwd.c_str()) != 0) _exit(127);
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
  const auto seconds = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) + 1.0e-6 * static_cast<double>(t.tv_usec);
  };
  const double cpu = seconds(usage.ru_utime) + seconds(usage.ru_stime);
  return {WIFEXITED(status) && WEXITSTATUS(status) <= 1 ? wall : -1.0, cpu};
}

fs::path find_real(const fs::path& exe) {
  if (fs::exists(real_name)) return fs::absolute(real_name);
  return exe.parent_path().parent_path().parent_path() / real_name;  // build/bench/x
}

int read_mseed(const std::string& path, hv::Recording& rec) {
  hv::UnitTable units;
  hv::ReadNotes notes;
  return hv::read_miniseed(hv::Name(path), {}, hv::Voice::ratiospec, hv::NTIME, rec, units, notes);
}

}  // namespace

int main() {
  const fs::path exe = fs::canonical("/proc/self/exe");
  const fs::path bin = exe.parent_path().parent_path() / "bin";
  const fs::path dir = fs::temp_directory_path() / ("hv_bench_mseed_" + std::to_string(getpid()));
  fs::create_directories(dir);
  hv::Recording info;
  int failures = 0;

  // (a) The real recording.
  const fs::path real = find_real(exe);
  const double real_s = best_of(5, [&] { failures += read_mseed(real, info) != 0; });
  std::printf("(a) real recording %s: %d samples per channel, dt %g s\n", real.filename().c_str(),
              info.nsamp(), static_cast<double>(info.dt));
  std::printf("    read_miniseed best of 5: %.4f s\n", real_s);

  // (b) 600001 samples per channel as Steim-2 miniSEED and as KAF, the same integers.
  hv::synth::Spec spec;
  spec.duration_s = 6000.0;
  spec.resonance_hz = 2.0;
  spec.noise_amplitude = 2000.0;
  hv::synth::Recording rec = hv::synth::synthesize(spec);
  std::vector<hv::synth::MseedBlock> blocks(3);
  const std::array<std::vector<float>*, 3> columns = {&rec.z, &rec.ns, &rec.ew};
  for (std::size_t k = 0; k < 3; ++k) {
    std::vector<float>& col = *columns[k];
    for (float& v : col) v = std::nearbyint(v);
    blocks[k].channel = std::string("BH") + "ZNE"[k];
    blocks[k].samples.assign(col.begin(), col.end());
    blocks[k].record_length = 4096;
  }
  const std::string mseed = (dir / "long.mseed").string();
  const std::string kaf = (dir / "long.kaf").string();
  hv::synth::write_miniseed(mseed, blocks, true);
  hv::synth::write_kaf(kaf, rec, spec);
  const double mseed_s = best_of(5, [&] { failures += read_mseed(mseed, info) != 0; });
  const int mseed_n = info.nsamp();
  hv::KAFHDR8 hdr;
  hv::UnitTable units;
  int kaf_n = 0;
  const double kaf_s = best_of(3, [&] {
    float freq = 0.0f;
    failures += hv::RKAF(hv::Name(kaf), hv::NTIME, 0, info, kaf_n, freq, hdr, units) != 0;
  });
  std::printf(
      "(b) %d samples per channel: miniSEED (Steim-2, %.1f MB) best of 5 %.4f s; "
      "KAF (%.1f MB) best of 3 %.4f s\n",
      mseed_n, static_cast<double>(fs::file_size(mseed)) / 1.0e6, mseed_s,
      static_cast<double>(fs::file_size(kaf)) / 1.0e6, kaf_s);
  std::printf("    miniSEED reads %.1f times faster than KAF (goal: at least 5)\n",
              kaf_s / mseed_s);

  // (c) calmpick then ratiospec on the real recording, default options.
  std::ofstream(dir / "list.txt") << real.string() << "\n";
  std::ofstream(dir / "calmpick.par") << "1.0 25.0 0.5 2.0 20.0 0.2 1 0 0.0\n";
  std::ofstream(dir / "ratiospec.par") << "### section processing\n### end processing\n";
  const Timing pick =
      run_binary(bin / "calmpick", {"list.txt", "calmpick.par", "windows.txt"}, dir);
  const Timing ratio =
      run_binary(bin / "ratiospec", {"windows.txt", "ratiospec.par", "hv.txt"}, dir);
  if (pick.wall_s < 0 || ratio.wall_s < 0) {
    std::printf("(c) the chain failed on the real recording (calmpick %s, ratiospec %s)\n",
                pick.wall_s < 0 ? "failed" : "ran", ratio.wall_s < 0 ? "failed" : "ran");
    ++failures;
  } else {
    std::printf("(c) real recording, default options (goal for ratiospec: under 0.2 s)\n");
    std::printf("    calmpick  wall %.3f s, cpu %.3f s\n", pick.wall_s, pick.cpu_s);
    std::printf("    ratiospec wall %.3f s, cpu %.3f s\n", ratio.wall_s, ratio.cpu_s);
  }
  fs::remove_all(dir);
  if (failures != 0) std::printf("bench_mseed: %d reads or runs failed\n", failures);
  return failures == 0 ? 0 : 1;
}
