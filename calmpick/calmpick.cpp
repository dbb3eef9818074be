// SPDX-License-Identifier: GPL-3.0-or-later
#include "calmpick/calmpick.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>
#include <optional>
#include <vector>

#include "calmpick/format_preset.hpp"
#include "calmpick/gcmlnw.hpp"
#include "calmpick/longcar.hpp"
#include "calmpick/window_lines.hpp"
#include "common/cmdline.hpp"
#include "common/fields.hpp"
#include "common/glun.hpp"
#include "common/lines.hpp"
#include "common/result_file.hpp"
#include "hvlib/select_windows.hpp"
#include "hvlib/selection_parameters.hpp"
#include "messages/read_messages.hpp"
#include "readers/readerth.hpp"
#include "readers/records.hpp"

namespace hv {

namespace {

// Exit statuses. Besides 0, 200 and 210, each kind of refused input has its own, so
// that a script can tell a failed run from a run that selected nothing.
constexpr int exit_done = 0;
constexpr int exit_unreadable = 200;  // a recording of the list cannot be read
constexpr int exit_storage = 210;     // tlong needs more samples than the storage holds
constexpr int exit_parameters = 220;  // parameter file not readable as nine values, or refused
constexpr int exit_files = 230;       // a file cannot be opened, created or written
constexpr int exit_long_path = 240;   // a list path does not fit the window file
constexpr int exit_missing = 250;     // the list file or the parameter file does not exist

// Receives one line per recording with its window count, in the working directory.
constexpr const char* counts_file = "calmpick_counts.txt";

// The most path characters that fit the 200-character field with their two quotes.
constexpr int max_path = 198;

bool open_input(std::ifstream& in, const Name& name) {
  const std::string path(name.trimmed());
  if (!is_regular_input(path)) return false;
  in.open(path, std::ios::binary);
  if (!in.is_open()) return false;
  skip_byte_order_mark(in);
  return true;
}

void error_with_name(std::ostream& console, std::string_view text, const Name& name) {
  free_line(console, text);
  free_line(console, name.view());
}

void skipped(std::ostream& console, const std::string& why, const Name& path) {
  free_line(console, " calmpick : recording skipped, " + why + ":");
  free_line(console, path.view());
}

// The window selection of a recording that has been read: returns its window count
// after writing its window lines, or 0 after a line saying why the recording was
// skipped.
int process_recording(const SelectionParameters& par, const Name& path, const Recording& rec,
                      std::ostream& out, std::ostream& console) {
  using Outcome = CalmWindows::Outcome;
  const int nsamp = rec.nsamp();
  const float dt = rec.dt;
  if (nsamp > NTIME) {
    skipped(console, free_text("it holds", nsamp, " samples, more than", NTIME), path);
    return 0;
  }
  const CalmWindows w = select_calm_windows(rec, par, max_windows_per_recording);
  const RecordingCounts& c = w.counts;
  switch (w.outcome) {
    case Outcome::no_samples:
      skipped(console, "it holds no samples", path);
      return 0;
    case Outcome::averages_too_short:
      skipped(console,
              free_text("tsta (", par.tsta, " s) and tlta (", par.tlta,
                        " s) must be at least its sampling interval (", dt, " s)"),
              path);
      return 0;
    case Outcome::window_too_short:
      skipped(console,
              free_text("at its sampling interval (", dt, " s) tlong and overlap give windows of",
                        c.nlong, " samples that advance by", c.nstep,
                        " samples; both must be at least 1"),
              path);
      return 0;
    default:
      break;
  }
  print_taper_notes(console, w.taper_notes);
  free_line(console, "NCZ: ", w.ncz, " NDATACZ: ", nsamp - w.ncz + 1);
  if (w.outcome == Outcome::recording_too_short) {
    skipped(
        console,
        free_text("its", nsamp, " samples are fewer than the",
                  std::max(w.ncz, 1) + std::max(c.nsta, c.nlta), " that the STA/LTA averages need"),
        path);
    return 0;
  }
  free_line(console, c.nlong + 1, par.tlong, par.tbad, c.tstep, c.nstep);
  write_window_lines(out, path, w.windows, dt, rec.format, rec.channel, rec.station);
  return w.windows.count;
}

// The recordings named by the list file, read ahead so that no result can replace one.
void add_recordings(std::ifstream& list, InputFiles& inputs) {
  std::string line;
  while (read_line(list, line)) {
    const Name path(line);
    if (!path.blank()) inputs.add(path.trimmed());
  }
  list.clear();
  list.seekg(0);
  skip_byte_order_mark(list);
}

// Refuses results that would land on an input or on each other.
bool outputs_clash(const Name& list_file, const Name& parameters_file, const Name& output_file,
                   std::ifstream& list, std::ostream& console) {
  InputFiles inputs;
  inputs.add(list_file.trimmed());
  inputs.add(parameters_file.trimmed());
  add_recordings(list, inputs);
  const std::string output(output_file.trimmed());
  for (const std::string& name : {output, std::string(counts_file)}) {
    if (const std::string* input = inputs.match(name)) {
      error_with_name(
          console, " calmpick : ERROR, the result file would replace an input file:", Name(name));
      free_line(console, Name(*input).view());
      return true;
    }
  }
  if (same_file(output, counts_file)) {
    error_with_name(console,
                    " calmpick : ERROR, the output file is the window-count file:", output_file);
    return true;
  }
  return false;
}

// Opens a result file of the run under its temporary name.
bool open_result(std::ofstream& out, ResultSet& results, const std::string& name) {
  const std::optional<std::string> temp = results.start(name);
  if (!temp) return false;
  out.open(*temp, std::ios::binary | std::ios::trunc);
  return out.is_open();
}

// Sets results_possible once the run goes for its result files.
int select_all(std::span<const std::string> args, ResultSet& results, bool& results_possible,
               std::ostream& console) {
  Name list_file, parameters_file, output_file;
  switch (GCMLNW(args, list_file, parameters_file, output_file, console)) {
    case 1:
      return exit_done;  // the usage line was printed
    case 3:
      return exit_missing;
  }

  std::ifstream list;
  if (!open_input(list, list_file)) {
    error_with_name(console, " calmpick : ERROR, the list file cannot be opened:", list_file);
    return exit_files;
  }
  std::ifstream parfile;
  if (!open_input(parfile, parameters_file)) {
    error_with_name(console,
                    " calmpick : ERROR, the parameter file cannot be opened:", parameters_file);
    return exit_files;
  }
  results_possible = true;
  if (outputs_clash(list_file, parameters_file, output_file, list, console)) return exit_files;
  std::ofstream out;
  if (!open_result(out, results, std::string(output_file.trimmed()))) {
    error_with_name(console, " calmpick : ERROR, the output file cannot be created:", output_file);
    return exit_files;
  }
  std::ofstream side;
  if (!open_result(side, results, counts_file)) {
    error_with_name(
        console, " calmpick : ERROR, the window-count file cannot be created:", Name(counts_file));
    return exit_files;
  }

  SelectionParameters par;
  std::string why;
  if (read_selection_parameters(parfile, par, why) != 0) {
    error_with_name(console, " calmpick : ERROR, the parameter file cannot be read as nine values:",
                    parameters_file);
    free_line(console, why);
    return exit_parameters;
  }
  free_line(console, "I have read input_selectauto");
  complete_selection_parameters(par);
  if (const auto refused = refused_parameters(par); !refused.empty()) {
    error_with_name(console, " calmpick : ERROR, parameter values refused in:", parameters_file);
    for (const auto& text : refused) free_line(console, text);
    return exit_parameters;
  }

  UnitTable units;
  std::string line;
  while (read_line(list, line)) {
    // The path is the line's first 200 characters: a blank field is a blank line.
    const Name path(line);
    if (path.blank()) continue;
    free_line(console, "File to read: ", path.view());
    if (LONGCAR(path.view(), static_cast<int>(Name::size())) > max_path) {
      error_with_name(console,
                      " calmpick : ERROR, a path of more than 198 characters does not fit the"
                      " window file:",
                      path);
      return exit_long_path;
    }

    int format = format_preset(path);
    Recording rec;
    ReadNotes notes;
    const int status = READERTHW(format, path, NTIME, rec, units, notes);
    report_read(console, notes, Voice::calmpick, path);
    if (status != 0) {
      error_with_name(console, " Following file can not be read:", path);
      // The windows of the recordings before it are kept: write them out in full.
      out.flush();
      side.flush();
      return out && side ? exit_unreadable : exit_files;
    }

    int count = 0;
    const float dt = rec.dt;
    if (!(dt > 0.0f) || !std::isfinite(dt)) {
      skipped(console, free_text("its sampling interval", dt, " s is not usable"), path);
    } else if (const long long nt = window_storage(par.tlong, dt); nt > NTIME) {
      free_line(console, "Problem : tlong too large : nt larger than ntime");
      free_line(console, "tlong =", par.tlong, " nt= ", nt, "  ntime =", NTIME);
      return exit_storage;
    } else {
      count = process_recording(par, path, rec, out, console);
    }
    free_line(side, count);
    free_line(console, count);
    if (!out || !side) break;
  }

  if (list.bad()) {
    error_with_name(console, " calmpick : ERROR, the list file cannot be read:", list_file);
    return exit_files;
  }
  out.flush();
  if (!out) {
    error_with_name(console, " calmpick : ERROR, the output file cannot be written:", output_file);
    return exit_files;
  }
  side.flush();
  if (!side) {
    error_with_name(
        console, " calmpick : ERROR, the window-count file cannot be written:", Name(counts_file));
    return exit_files;
  }
  return exit_done;
}

}  // namespace

int calmpick_run(std::span<const std::string> args, std::ostream& console) {
  if (args.size() == 3) {
    if (const std::string* name = overlong_name(args)) {
      free_line(console, " calmpick : ERROR, a file name is longer than 200 characters:");
      free_line(console, *name);
      return exit_files;
    }
  }
  ResultSet results;
  bool results_possible = false;
  int status = select_all(args, results, results_possible, console);
  if (status == exit_done || status == exit_unreadable) {
    std::string failed;
    if (results.commit_all(failed)) return status;
    error_with_name(console,
                    " calmpick : ERROR, the result file cannot be put in place:", Name(failed));
    status = exit_files;
  }
  results.discard_all();
  if (results_possible) console << no_result_written << '\n';
  return status;
}

}  // namespace hv
