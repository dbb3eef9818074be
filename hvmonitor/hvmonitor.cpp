// SPDX-License-Identifier: GPL-3.0-or-later
#include "hvmonitor/hvmonitor.hpp"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <new>
#include <optional>

#include "common/cmdline.hpp"
#include "common/fields.hpp"
#include "common/lines.hpp"
#include "common/result_file.hpp"
#include "common/workers.hpp"
#include "hvlib/selection_parameters.hpp"
#include "hvmonitor/archive_messages.hpp"
#include "hvmonitor/monitor_block.hpp"
#include "hvmonitor/monitor_section.hpp"
#include "hvmonitor/monitor_write.hpp"
#include "messages/hv_messages.hpp"
#include "ratiospec/parfile_read.hpp"
#include "readers/mseed_archive.hpp"

namespace hv {

namespace {

// Ends a run with its exit status; only hvmonitor_run catches it.
struct Stop {
  int status;
};

void error(std::ostream& console, const std::string& text, const std::string& name = {}) {
  free_line(console, " hvmonitor : ERROR, " + text);
  if (!name.empty()) free_line(console, name);
}

std::ifstream open_input(const std::string& path, std::ostream& console, const char* what) {
  std::ifstream in;
  if (is_regular_input(path)) in.open(path, std::ios::binary);
  if (!in.is_open()) {
    error(console, std::string("the ") + what + " cannot be opened:", path);
    throw Stop{monitor_files};
  }
  skip_byte_order_mark(in);
  return in;
}

std::vector<std::string> read_list(const std::string& list_file, std::ostream& console) {
  std::ifstream in = open_input(list_file, console, "list file");
  std::vector<std::string> files;
  std::string line;
  while (read_line(in, line, std::string::npos)) {
    const auto a = line.find_first_not_of(" \t\r");
    if (a == std::string::npos) continue;
    files.push_back(line.substr(a, line.find_last_not_of(" \t\r") - a + 1));
  }
  if (in.bad()) {
    error(console, "the list file cannot be read:", list_file);
    throw Stop{monitor_files};
  }
  if (files.empty()) {
    error(console, "the list file names no file:", list_file);
    throw Stop{monitor_archive};
  }
  return files;
}

// calmpick's nine values, with its checks and messages.
SelectionParameters read_selection(const std::string& path, std::ostream& console) {
  std::ifstream in = open_input(path, console, "calmpick parameter file");
  SelectionParameters par;
  std::string why;
  if (read_selection_parameters(in, par, why) != 0) {
    error(console, "the parameter file cannot be read as nine values:", path);
    free_line(console, why);
    throw Stop{monitor_parameters};
  }
  complete_selection_parameters(par);
  if (const auto refused = refused_parameters(par); !refused.empty()) {
    error(console, "parameter values refused in:", path);
    for (const auto& text : refused) free_line(console, text);
    throw Stop{monitor_parameters};
  }
  return par;
}

// The processing section as ratiospec reads it, every refusal reported before the work.
HvOptions read_processing(const Name& path, PARAMETERS& par, std::ostream& console) {
  UnitTable units;
  DEFPAR(par);
  if (PARFILE_READ(path, par, units, console) % 2 == 1) throw Stop{monitor_parameters};
  HvOptions options = parse_options(par);
  const NoticeContext context{par, [](int) { return std::string_view(); },
                              [](std::ostream&, int) {}};
  for (const Notice& n : options.flag_warnings) report_notice(console, n, context);
  if (const std::optional<Notice> refusal = options.first_refusal()) {
    report_notice(console, *refusal, context);
    throw Stop{monitor_parameters};
  }
  return options;
}

// The selection's counts must be usable at the archive's interval, as calmpick
// would find for every file of it.
void check_selection(const SelectionParameters& par, float dt, double block,
                     std::ostream& console) {
  const RecordingCounts c = recording_counts(par, dt);
  if (par.tsta < dt || par.tlta < dt) {
    error(console, free_text("tsta (", par.tsta, " s) and tlta (", par.tlta,
                             " s) must be at least the sampling interval (", dt, " s)"));
    throw Stop{monitor_parameters};
  }
  if (c.nlong < 1 || c.nstep < 1) {
    error(console,
          free_text("at the sampling interval (", dt, " s) tlong and overlap give windows of",
                    c.nlong, " samples that advance by", c.nstep,
                    " samples; both must be at least 1"));
    throw Stop{monitor_parameters};
  }
  if (block < par.tlong) {
    error(console, free_text("a block of", block, " s is shorter than one calm window (tlong",
                             par.tlong, " s)"));
    throw Stop{monitor_parameters};
  }
}

int thread_setting(std::ostream& console) {
  const char* value = std::getenv("HV_THREADS");
  const std::optional<int> threads = thread_count(value);
  if (!threads) {
    free_line(console, " ERROR : HV_THREADS must be a whole number from 1 to", max_threads, ": ",
              value);
    throw Stop{monitor_parameters};
  }
  return *threads;
}

// A result file of the set, opened under its temporary name.
void open_output(std::ofstream& out, ResultSet& results, const std::string& name,
                 const InputFiles& inputs, std::ostream& console) {
  if (const std::string* input = inputs.match(name)) {
    error(console, "the result file would replace an input file:", name);
    free_line(console, *input);
    throw Stop{monitor_files};
  }
  const std::optional<std::string> temp = results.start(name);
  if (temp) out.open(*temp, std::ios::binary | std::ios::trunc);
  if (!out.is_open()) {
    error(console, "the result file cannot be created:", name);
    throw Stop{monitor_files};
  }
}

// Most blocks a run may have: beyond, the step was surely not meant.
constexpr int max_blocks = 1'000'000;

struct BlockPlan {
  double origin = 0.0;
  long long first = 0;  // index of the first block from the origin
  int count = 0;
  double lo = 0.0, hi = 0.0;  // the samples used: lo <= t < hi
};

BlockPlan plan_blocks(const MseedArchive& archive, const MonitorParameters& m,
                      std::ostream& console) {
  const std::vector<ArchiveStretch>& st = archive.stretches();
  BlockPlan plan;
  if (st.empty()) {
    error(console, "the three channels have no time in common");
    throw Stop{monitor_archive};
  }
  const double first = st.front().start;
  const double after = st.back().start + static_cast<double>(st.back().nsamp) * archive.period();
  plan.lo = m.start ? std::max(first, *m.start) : first;
  plan.hi = m.end ? std::min(after, *m.end) : after;
  if (archive.pieces(plan.lo, plan.hi).empty()) {
    error(console,
          "the archive holds no sample from " + iso_millis(plan.lo) + " to " + iso_millis(plan.hi));
    throw Stop{monitor_archive};
  }
  plan.origin = m.start ? *m.start : std::floor(first / 86400.0) * 86400.0;
  const auto start_of = [&](long long k) { return plan.origin + static_cast<double>(k) * m.step; };
  // Counted in doubles first: a tiny step far from the origin would overflow a count.
  const double first_k = std::max(0.0, std::floor((plan.lo - plan.origin - m.block) / m.step));
  const double last_k = std::ceil((plan.hi - plan.origin) / m.step);
  if (!(last_k - first_k < max_blocks)) {
    error(console, free_text("a step of", m.step, " s gives more than", max_blocks, " blocks from ",
                             iso_millis(plan.lo), " to ", iso_millis(plan.hi)));
    throw Stop{monitor_parameters};
  }
  long long k = static_cast<long long>(first_k);
  while (start_of(k) + m.block <= plan.lo) ++k;
  plan.first = k;
  long long last = std::max(k, static_cast<long long>(last_k));
  while (last > k && start_of(last) >= plan.hi) --last;
  while (start_of(last + 1) < plan.hi) ++last;
  plan.count = static_cast<int>(last - k + 1);
  return plan;
}

// Block number i + 1 of the plan: its samples read and its H/V computed. problem:
// out, set when a record cannot be decoded (the result is then empty).
BlockResult read_and_compute(int i, const BlockPlan& plan, const MonitorParameters& monitor,
                             const MseedArchive& archive, const SelectionParameters& selection,
                             const HvOptions& options, const PARAMETERS& par, int threads,
                             ArchiveProblem& problem) {
  BlockInput in;
  in.number = i + 1;
  in.start = plan.origin + static_cast<double>(plan.first + i) * monitor.step;
  in.end = in.start + monitor.block;
  for (const StretchPiece& piece :
       archive.pieces(std::max(in.start, plan.lo), std::min(in.end, plan.hi))) {
    Recording rec;
    if (archive.read(piece, rec, problem) != 0) return {};
    in.stretches.push_back(std::move(rec));
  }
  return compute_block(in, selection, options, par, threads);
}

// Writes the blocks' results, in block order: a row of the table, a column of the
// H/V matrix and, when asked, the block's own file.
struct BlockWriter {
  std::ofstream& table;
  const std::string& output;
  bool block_files;
  const InputFiles& inputs;
  const PARAMETERS& par;
  UnitTable& units;
  std::ostream& console;
  HvMatrix hv_matrix;
  int with_result = 0;

  // Returns monitor_done, or monitor_files after a message.
  int write(const BlockResult& b) {
    write_table_row(table, b);
    hv_matrix.add(b);
    if (!b.hv) return monitor_done;
    ++with_result;
    if (!block_files) return monitor_done;
    const std::string name = output + block_suffix(b.number);
    if (const std::string* input = inputs.match(name)) {
      error(console, "the result file would replace an input file:", name);
      free_line(console, *input);
      return monitor_files;
    }
    return write_block_file(Name(output), b, par, units, console) % 2 == 1 ? monitor_files
                                                                           : monitor_done;
  }
};

int run(std::span<const std::string> args, std::ostream& console, ResultSet& results) {
  if (args.size() != 4) {
    console << " use : hvmonitor list_file calmpick_parameters ratiospec_parameters output_file\n";
    return monitor_usage;
  }
  if (const std::string* name = overlong_name(args)) {
    error(console, "a file name is longer than 200 characters:", *name);
    return monitor_files;
  }
  const int threads = thread_setting(console);
  const std::string list_file = args[0], selection_file = args[1], processing_file = args[2];
  const std::string output = args[3];

  const std::vector<std::string> files = read_list(list_file, console);
  const SelectionParameters selection = read_selection(selection_file, console);
  open_input(processing_file, console, "ratiospec parameter file");
  PARAMETERS par;
  const HvOptions options = read_processing(Name(processing_file), par, console);
  MonitorParameters monitor;
  if (read_monitor_section(Name(processing_file), monitor, console) != 0) {
    throw Stop{monitor_parameters};
  }
  if (monitor.block_files && output.size() + block_suffix(1).size() > Name::size()) {
    error(console, "the block files' names would be longer than 200 characters:", output);
    return monitor_files;
  }

  InputFiles inputs;
  for (const std::string& name : {list_file, selection_file, processing_file}) inputs.add(name);
  for (const std::string& name : files) inputs.add(name);
  std::ofstream table, matrix;
  open_output(table, results, output, inputs, console);
  open_output(matrix, results, output + "_hv", inputs, console);

  MseedArchive archive;
  ArchiveProblem problem;
  if (archive.open(files, monitor.channels, problem) != 0) {
    report_archive_problem(console, problem);
    return monitor_archive;
  }
  check_selection(selection, archive.dt(), monitor.block, console);
  const BlockPlan plan = plan_blocks(archive, monitor, console);

  MonitorInputs echo;
  echo.list_file = list_file;
  echo.selection_file = selection_file;
  echo.processing_file = processing_file;
  echo.selection = selection;
  echo.monitor = monitor;
  // The codes come with any sample read: one is enough.
  Recording probe;
  StretchPiece first_sample = archive.pieces(plan.lo, plan.hi).front();
  first_sample.count = 1;
  if (archive.read(first_sample, probe, problem) != 0) {
    report_archive_problem(console, problem);
    return monitor_archive;
  }
  for (std::size_t k = 0; k < 3; ++k) echo.channels[k] = probe.channel[k].trimmed();
  echo.station = probe.station.trimmed();
  probe = Recording{};
  echo.dt = archive.dt();
  echo.first = archive.stretches().front().start;
  echo.last = archive.stretches().back().start +
              static_cast<double>(archive.stretches().back().nsamp - 1) * archive.period();
  echo.stretches = static_cast<int>(archive.stretches().size());
  echo.blocks = plan.count;
  write_table_header(table, echo, par);
  free_line(console, "hvmonitor:", plan.count, " blocks from ", iso_millis(plan.lo), " to ",
            iso_millis(plan.hi));

  UnitTable units;
  BlockWriter writer{table, output, monitor.block_files, inputs, par, units, console, {}, 0};
  int status = monitor_done;
  std::atomic<bool> stopped = false;
  // One task per block: read and computed on whichever thread takes it, then written
  // in block order while later blocks are computed. Samples are held for one block
  // per thread; only results wait for their turn to be written. A record that cannot
  // be decoded is reported for the first such block in time order, whatever the
  // schedule, and ends the run.
  struct Done {
    BlockResult out;
    ArchiveProblem problem;
  };
  InOrder<Done> in_order([&](Done& d) {
    if (status != monitor_done) return;
    if (d.problem.code != ArchiveProblem::Code::none) {
      report_archive_problem(console, d.problem);
      status = monitor_archive;
    } else {
      status = writer.write(d.out);
    }
    if (status != monitor_done) stopped = true;
  });
  const int inner = std::max(1, threads / std::min(threads, plan.count));
  Workers workers(threads);
  workers.run(plan.count, [&](int i, int) {
    Done d;
    if (!stopped) {
      d.out =
          read_and_compute(i, plan, monitor, archive, selection, options, par, inner, d.problem);
    }
    in_order.hand_in(i, std::move(d));
  });
  if (status != monitor_done) return status;
  writer.hv_matrix.write(matrix);
  table.flush();
  matrix.flush();
  if (!table || !matrix) {
    error(console, "the result files cannot be written:", output);
    return monitor_files;
  }
  table.close();
  matrix.close();
  std::string failed;
  if (!units.results.commit_all(failed) || !results.commit_all(failed)) {
    error(console, "the result file cannot be put in place:", failed);
    return monitor_files;
  }
  free_line(console, "hvmonitor:", plan.count, " blocks,", writer.with_result, " with an H/V");
  return monitor_done;
}

}  // namespace

int hvmonitor_run(std::span<const std::string> args, std::ostream& console) {
  ResultSet results;
  int status = monitor_done;
  try {
    status = run(args, console, results);
  } catch (const Stop& stop) {
    status = stop.status;
  } catch (const std::bad_alloc&) {
    error(console, "not enough memory for the blocks being worked on");
    status = monitor_files;
  } catch (const std::exception& e) {
    // Nothing below is expected to throw otherwise; should it, the run still ends
    // with a message and no result rather than an abort.
    error(console, std::string("the run stopped: ") + e.what());
    status = monitor_files;
  }
  if (status != monitor_done && status != monitor_usage) {
    results.discard_all();
    console << no_result_written << '\n';
  }
  console.flush();
  return status;
}

}  // namespace hv
