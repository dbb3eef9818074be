// SPDX-License-Identifier: GPL-3.0-or-later
// The compiled part of the Python package: recordings, calm windows, the H/V
// computation and the result files, with the programs' texts for what goes wrong.
// The package's Python layer gives these calls their keyword arguments and turns the
// warning texts into Python warnings.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cmath>
#include <limits>
#include <map>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/fields.hpp"
#include "common/workers.hpp"
#include "hvlib/hv_compute.hpp"
#include "hvlib/options.hpp"
#include "hvlib/select_windows.hpp"
#include "hvlib/selection_parameters.hpp"
#include "messages/hv_messages.hpp"
#include "messages/read_messages.hpp"
#include "ratiospec/gtws.hpp"
#include "ratiospec/write_results.hpp"
#include "readers/read_recording.hpp"

namespace py = pybind11;

namespace hv {
namespace {

// The one exception type of the package; its message is the programs' text.
struct HvError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Free-format lines as the programs print them, without their leading blanks, as one
// message.
std::string message_text(const std::string& lines) {
  std::string out;
  std::istringstream in(lines);
  for (std::string line; std::getline(in, line);) {
    const std::size_t first = line.find_first_not_of(' ');
    if (first == std::string::npos) continue;
    const std::size_t last = line.find_last_not_of(' ');
    if (!out.empty()) out += '\n';
    out += line.substr(first, last - first + 1);
  }
  return out;
}

// A finite value that single precision holds (a wider one would not convert).
bool fits_float(double v) {
  return std::fabs(v) <= static_cast<double>(std::numeric_limits<float>::max());
}

// A recording and the name its windows carry in the result headers.
struct PyRecording {
  Recording rec;
  std::string name;
};

// Refuses what no computation can use, naming the recording.
void check_recording(const PyRecording& r) {
  const Recording& rec = r.rec;
  const std::string who = r.name.empty() ? "recording" : "recording " + r.name;
  if (!(rec.dt > 0.0f) || !std::isfinite(rec.dt)) {
    throw HvError(
        free_text(who, ": the sampling interval", rec.dt, " s is not a usable positive number"));
  }
  if (rec.nsamp() == 0) throw HvError(who + ": it holds no samples");
  static constexpr const char* names[] = {"vertical", "north-south", "east-west"};
  for (int c = 0; c < 3; ++c) {
    const std::vector<float>& x = rec.component[static_cast<std::size_t>(c)];
    if (x.size() != rec.component[0].size()) {
      throw HvError(free_text(who, ": the ", names[c], " component holds", x.size(),
                              " samples, the vertical", rec.component[0].size()));
    }
    for (std::size_t i = 0; i < x.size(); ++i) {
      if (!std::isfinite(x[i])) {
        throw HvError(free_text(who, ": sample", i, " of the ", names[c],
                                " component is not a finite single-precision number"));
      }
    }
  }
}

template <typename T>
bool copy_as(const py::array& a, std::vector<float>& out) {
  if (!py::isinstance<py::array_t<T>>(a)) return false;
  const auto u = a.unchecked<T, 1>();
  out.resize(static_cast<std::size_t>(u.shape(0)));
  // A value single precision cannot hold becomes infinite, which the checks refuse.
  for (py::ssize_t i = 0; i < u.shape(0); ++i) {
    const auto v = static_cast<double>(u(i));
    out[static_cast<std::size_t>(i)] =
        fits_float(v) ? static_cast<float>(v) : std::numeric_limits<float>::infinity();
  }
  return true;
}

// One component, converted once to single precision whatever its real type and
// strides.
std::vector<float> component_of(const py::array& a, const char* name) {
  if (a.ndim() != 1) {
    throw HvError(std::string("the ") + name + " component is not a one-dimensional array");
  }
  std::vector<float> out;
  if (copy_as<float>(a, out) || copy_as<double>(a, out) || copy_as<std::int32_t>(a, out) ||
      copy_as<std::int64_t>(a, out) || copy_as<std::int16_t>(a, out)) {
    return out;
  }
  const char kind = a.dtype().kind();
  if (kind != 'f' && kind != 'i' && kind != 'u' && kind != 'b') {
    throw HvError(std::string("the ") + name + " component is not an array of real numbers");
  }
  copy_as<double>(py::array_t<double, py::array::forcecast>(a), out);
  return out;
}

PyRecording make_recording(const py::array& z, const py::array& ns, const py::array& ew, double dt,
                           const std::string& name, const std::vector<std::string>& channels,
                           const std::string& station, std::optional<double> start_time) {
  PyRecording r;
  r.name = name;
  r.rec.component = {component_of(z, "vertical"), component_of(ns, "north-south"),
                     component_of(ew, "east-west")};
  if (!(dt > 0.0) || !fits_float(dt)) {
    throw HvError(free_text("the sampling interval", dt, " s is not a usable positive number"));
  }
  r.rec.dt = static_cast<float>(dt);
  if (channels.size() != 3) throw HvError("channels: three codes are needed");
  for (std::size_t c = 0; c < 3; ++c) r.rec.channel[c] = channels[c];
  r.rec.station = station;
  r.rec.site = station;
  r.rec.labels = {Text<12>("vertical"), Text<12>("north-south"), Text<12>("east-west"),
                  Text<12>("counts")};
  r.rec.start_time = start_time;
  check_recording(r);
  return r;
}

// File names are fixed-length texts of the programs; a longer one would be cut.
void check_path(const std::string& path) {
  if (path.size() > Name::size()) {
    throw HvError(free_text("the path has more than", Name::size(), " characters: ", path));
  }
}

PyRecording read_file(const std::string& path, int format, const std::vector<std::string>& channels,
                      const std::string& station) {
  check_path(path);
  ChannelRequest want;
  for (std::size_t c = 0; c < std::min<std::size_t>(3, channels.size()); ++c) {
    want.channel[c] = channels[c];
  }
  want.station = station;
  ReadNotes notes;
  std::optional<Recording> rec;
  const Voice voice = format == format::unknown ? Voice::calmpick : Voice::ratiospec;
  {
    py::gil_scoped_release release;
    rec = read_recording(Name(path), format, want, notes);
  }
  if (!rec) {
    const std::string text = message_text(read_messages(notes, voice, Name(path)));
    throw HvError(text.empty() ? path + ": the recording cannot be read" : text);
  }
  PyRecording r{std::move(*rec), path};
  check_recording(r);
  return r;
}

// A read-only NumPy view of a vector owned by owner.
py::array_t<float> view(const std::vector<float>& v, py::handle owner) {
  py::array_t<float> a({static_cast<py::ssize_t>(v.size())}, {sizeof(float)}, v.data(), owner);
  a.attr("flags").attr("writeable") = false;
  return a;
}

std::string trimmed(std::string_view s) {
  const std::size_t last = s.find_last_not_of(' ');
  return std::string(last == std::string_view::npos ? "" : s.substr(0, last + 1));
}

// The nine selection values in calmpick's order; returns the windows as rows of start
// and end seconds, and the taper zone's adjustments as warning texts.
py::tuple select_windows(const PyRecording& r, const std::vector<std::optional<double>>& values) {
  if (values.size() != 9) throw HvError("nine selection values are needed");
  for (const std::optional<double>& v : values) {
    if (v && !fits_float(*v)) throw HvError("the selection values must be finite numbers");
  }
  for (const std::size_t k : {6, 7}) {
    if (values[k] && std::fabs(*values[k]) > 1.0e9) {
      throw HvError("isatur and iltalev are whole numbers (1 turns the test on)");
    }
  }
  // Values not given keep their mark and take calmpick's defaults.
  SelectionParameters p;
  const auto real = [&values](std::size_t k, float& to) {
    if (values[k]) to = static_cast<float>(*values[k]);
  };
  const auto whole = [&values](std::size_t k, int& to) {
    if (values[k]) to = static_cast<int>(*values[k]);
  };
  real(0, p.tsta);
  real(1, p.tlta);
  real(2, p.ratmin);
  real(3, p.ratmax);
  real(4, p.tlong);
  real(5, p.overlap);
  whole(6, p.isatur);
  whole(7, p.iltalev);
  real(8, p.tbad);
  complete_selection_parameters(p);
  std::string refused;
  for (const std::string& text : refused_parameters(p))
    refused += (refused.empty() ? "" : "\n") + text;
  if (!refused.empty()) throw HvError(message_text(refused));

  CalmWindows w;
  {
    py::gil_scoped_release release;
    w = select_calm_windows(r.rec, p);
  }
  const RecordingCounts& c = w.counts;
  using Outcome = CalmWindows::Outcome;
  switch (w.outcome) {
    case Outcome::no_samples:
      throw HvError("the recording holds no samples");
    case Outcome::averages_too_short:
      throw HvError(free_text("tsta (", p.tsta, " s) and tlta (", p.tlta,
                              " s) must be at least the sampling interval (", r.rec.dt, " s)"));
    case Outcome::window_too_short:
      throw HvError(free_text(
          "at the sampling interval (", r.rec.dt, " s) tlong and overlap give windows of", c.nlong,
          " samples that advance by", c.nstep, " samples; both must be at least 1"));
    case Outcome::recording_too_short:
      throw HvError(free_text("the recording's", r.rec.nsamp(), " samples are fewer than the",
                              std::max(w.ncz, 1) + std::max(c.nsta, c.nlta),
                              " that the STA/LTA averages need"));
    case Outcome::found:
      break;
  }
  std::vector<std::string> warnings;
  for (const Notice& n : w.taper_notes) {
    const int v = static_cast<int>(n.value[0]);
    if (n.code == Note::taper_zeros_reset) {
      warnings.push_back(free_text("nzero too large in iniwin, reset to:", v));
    } else if (n.code == Note::taper_ramp_reset) {
      warnings.push_back(free_text("ncos (iniwin) reset to:", v));
    }
  }
  py::array_t<float> times({static_cast<py::ssize_t>(w.windows.count), py::ssize_t{2}});
  auto t = times.mutable_unchecked<2>();
  for (int k = 1; k <= w.windows.count; ++k) {
    const HvWindow span = window_times(w.windows, k, r.rec.dt);
    t(k - 1, 0) = span.start;
    t(k - 1, 1) = span.end;
  }
  return py::make_tuple(times, warnings);
}

// The window file as ratiospec reads it: one (recording, format, channel codes,
// station, start, end) per window (the first 20000 when it holds more).
py::list read_window_file(const std::string& path) {
  check_path(path);
  WINDOWS windows;
  UnitTable units;
  std::ostringstream console;
  int status = 0;
  {
    py::gil_scoped_release release;
    status = GTWS(Name(path), windows, units, console);
  }
  const std::string text = message_text(console.str());
  if (status != 0 && status != 2) {
    throw HvError(text.empty() ? path + ": the window file cannot be read" : text);
  }
  if (windows.nwin() == 0) throw HvError("no window in " + path);
  py::list lines;
  for (const WindowEntry& w : windows.entry) {
    std::vector<std::string> channels;
    for (const Text<3>& c : w.channel) channels.push_back(trimmed(c.view()));
    lines.append(py::make_tuple(trimmed(w.file.view()), w.format, channels,
                                trimmed(w.station.view()), w.start, w.end));
  }
  return lines;
}

// What one computation gives, with what writing its files needs.
struct PyResult {
  HvResult result;
  PARAMETERS par;
  HvOptions options;
  WINDOWS windows;
};

std::vector<HvWindow> windows_of(const py::array& a, int recording, int first) {
  const auto spans = py::array_t<double, py::array::forcecast>(a);
  if (spans.ndim() != 2 || spans.shape(1) != 2) {
    throw HvError(free_text("the windows of recording", recording + 1,
                            " are not rows of start and end seconds"));
  }
  const auto t = spans.unchecked<2>();
  std::vector<HvWindow> out;
  for (py::ssize_t k = 0; k < t.shape(0); ++k) {
    const double start = t(k, 0), end = t(k, 1);
    if (!fits_float(start) || !fits_float(end) || start < 0.0 || end <= start) {
      throw HvError(free_text("window", first + static_cast<int>(k), " runs from", start, " s to",
                              end, " s; a window needs 0 <= start < end, in seconds"));
    }
    out.push_back({static_cast<float>(start), static_cast<float>(end)});
  }
  return out;
}

py::tuple compute(const std::vector<const PyRecording*>& recordings,
                  const std::vector<py::array>& window_sets,
                  const std::map<std::string, std::string>& given, int threads) {
  if (recordings.empty()) throw HvError("no recording given");
  if (window_sets.size() != recordings.size()) {
    throw HvError(free_text("one array of windows per recording is needed:", recordings.size(),
                            " recordings,", window_sets.size(), " arrays of windows"));
  }
  if (threads < 0 || threads > max_threads) {
    throw HvError(
        free_text("threads must be a whole number from 1 to", max_threads, " (0: every core)"));
  }
  auto out = std::make_unique<PyResult>();
  PyResult& res = *out;
  const std::map<std::string, Option PARAMETERS::*> keys{
      {"freq_spacing", &PARAMETERS::freq_spacing},
      {"offset_rem", &PARAMETERS::offset_rem},
      {"taper", &PARAMETERS::taper},
      {"smooth", &PARAMETERS::smooth},
      {"merge_type", &PARAMETERS::merge_type},
      {"single_win_out", &PARAMETERS::single_win_out},
      {"average_spectra_out", &PARAMETERS::average_spectra_out},
      {"window_rejection", &PARAMETERS::window_rejection},
      {"azimuth_step", &PARAMETERS::azimuth_step}};
  for (const auto& [key, value] : given) {
    const auto k = keys.find(key);
    if (k == keys.end()) throw HvError("unknown option: " + key);
    // As a parameter file line "key: value" gives it, which the headers echo.
    const std::string text = " " + value;
    if (text.size() > Option::size()) {
      throw HvError(free_text(key, ": the value has more than", Option::size() - 1, " characters"));
    }
    res.par.*(k->second) = text;
  }
  res.options = parse_options(res.par);

  std::vector<HvWindow> spans;
  std::vector<int> recording_of;
  for (std::size_t r = 0; r < recordings.size(); ++r) {
    const PyRecording& rec = *recordings[r];
    for (const HvWindow& w :
         windows_of(window_sets[r], static_cast<int>(r), static_cast<int>(spans.size()) + 1)) {
      spans.push_back(w);
      recording_of.push_back(static_cast<int>(r));
      WindowEntry entry;
      entry.file = rec.name;
      entry.start = w.start;
      entry.end = w.end;
      entry.channel = rec.rec.channel;
      entry.station = rec.rec.station;
      entry.format = rec.rec.format;
      entry.labels = rec.rec.labels;
      res.windows.entry.push_back(entry);
      res.windows.Tmax = std::max(res.windows.Tmax, w.end - w.start);
    }
  }
  if (spans.empty()) throw HvError("no window given");

  std::vector<Recording> recs;
  for (const PyRecording* r : recordings) recs.push_back(r->rec);
  const NoticeContext context{res.par, [&res](int w) { return res.windows(w).file.view(); }, {}};
  std::vector<std::string> warnings;
  const auto render = [&](const Notice& n) {
    std::ostringstream text;
    report_notice(text, n, context);
    return message_text(text.str());
  };
  for (const Notice& n : res.options.flag_warnings) warnings.push_back(render(n));
  {
    py::gil_scoped_release release;
    MemorySource source(recs, recording_of);
    const int count = threads == 0 ? *thread_count(nullptr) : threads;
    res.result = compute_hv(res.options, spans, source, count);
  }
  std::string error;
  for (const Notice& n : res.result.notices) {
    if (n.status % 2 != 0) {
      error += (error.empty() ? "" : "\n") + render(n);
    } else if (n.status != 0) {
      warnings.push_back(render(n));
    }
  }
  if (!error.empty()) throw HvError(error);
  return py::make_tuple(std::move(out), warnings);
}

// Rows jfirst..jlast of the given vectors, one array row each.
py::array_t<float> rows_of(const HvResult& r, std::span<const std::vector<float>* const> rows,
                           std::size_t offset = 0) {
  const int first = r.rows.jfirst - 1, n = r.rows.jlast - r.rows.jfirst + 1;
  py::array_t<float> a({static_cast<py::ssize_t>(rows.size()), static_cast<py::ssize_t>(n)});
  auto m = a.mutable_unchecked<2>();
  for (std::size_t i = 0; i < rows.size(); ++i) {
    for (int j = 0; j < n; ++j) m(i, j) = (*rows[i])[offset + static_cast<std::size_t>(first + j)];
  }
  return a;
}

py::array_t<float> three(const HvResult& r, const std::array<std::vector<float>, 3>& v) {
  const std::vector<const std::vector<float>*> rows{&v[0], &v[1], &v[2]};
  return rows_of(r, rows);
}

// Per-window matrices as (window, component, row).
py::array_t<float> per_window(const HvResult& r, const std::array<std::vector<float>, 3>& m) {
  const int first = r.rows.jfirst - 1, n = r.rows.jlast - r.rows.jfirst + 1;
  py::array_t<float> a(
      {static_cast<py::ssize_t>(r.nwin), py::ssize_t{3}, static_cast<py::ssize_t>(n)});
  auto out = a.mutable_unchecked<3>();
  for (int w = 1; w <= r.nwin; ++w) {
    for (int c = 0; c < 3; ++c) {
      const std::span<const float> col = r.column(m[static_cast<std::size_t>(c)], w);
      for (int j = 0; j < n; ++j) out(w - 1, c, j) = col[static_cast<std::size_t>(first + j)];
    }
  }
  return a;
}

std::vector<std::string> write_files(const PyResult& res, const std::string& output) {
  if (output.empty() || output.size() > Name::size()) {
    throw HvError(free_text("the output name must have 1 to", Name::size(), " characters"));
  }
  std::ostringstream console;
  int status = 0;
  {
    py::gil_scoped_release release;
    status = write_results(Name(output), res.result, res.windows, res.par, res.options, console);
  }
  const std::string text = message_text(console.str());
  if (status % 2 != 0) throw HvError(text.empty() ? output + ": not written" : text);
  std::vector<std::string> warnings;
  if (!text.empty()) warnings.push_back(text);
  return warnings;
}

}  // namespace
}  // namespace hv

PYBIND11_MODULE(_hvsite, m) {
  using namespace hv;
  m.doc() = "Compiled core of hvsite; use the hvsite package.";
  py::register_exception<HvError>(m, "HvError", PyExc_ValueError);

  py::class_<PyRecording>(m, "Recording")
      .def_property_readonly("z",
                             [](py::object self) {
                               return view(self.cast<const PyRecording&>().rec.component[0], self);
                             })
      .def_property_readonly("ns",
                             [](py::object self) {
                               return view(self.cast<const PyRecording&>().rec.component[1], self);
                             })
      .def_property_readonly("ew",
                             [](py::object self) {
                               return view(self.cast<const PyRecording&>().rec.component[2], self);
                             })
      .def_property_readonly("dt", [](const PyRecording& r) { return r.rec.dt; })
      .def_property_readonly("name", [](const PyRecording& r) { return r.name; })
      .def_property_readonly("format", [](const PyRecording& r) { return r.rec.format; })
      .def_property_readonly("channels",
                             [](const PyRecording& r) {
                               std::vector<std::string> c;
                               for (const auto& t : r.rec.channel) c.push_back(trimmed(t.view()));
                               return c;
                             })
      .def_property_readonly("station",
                             [](const PyRecording& r) { return trimmed(r.rec.station.view()); })
      .def_property_readonly("labels",
                             [](const PyRecording& r) {
                               std::vector<std::string> l;
                               for (const auto& t : r.rec.labels) l.push_back(trimmed(t.view()));
                               return l;
                             })
      .def_property_readonly("start_time", [](const PyRecording& r) { return r.rec.start_time; })
      .def_property_readonly("site", [](const PyRecording& r) { return r.rec.site; })
      .def("__len__", [](const PyRecording& r) { return r.rec.nsamp(); });

  py::class_<PyResult>(m, "Result")
      .def_property_readonly("freq",
                             [](const PyResult& p) {
                               const HvResult& r = p.result;
                               const auto first = r.f.begin() + (r.rows.jfirst - 1);
                               return py::array_t<float>(r.rows.jlast - r.rows.jfirst + 1, &*first);
                             })
      .def_property_readonly("mean",
                             [](const PyResult& p) { return three(p.result, p.result.mean); })
      .def_property_readonly("sd", [](const PyResult& p) { return three(p.result, p.result.sd); })
      .def_property_readonly(
          "spectra_mean", [](const PyResult& p) { return three(p.result, p.result.spectra_mean); })
      .def_property_readonly("spectra_sd",
                             [](const PyResult& p) { return three(p.result, p.result.spectra_sd); })
      .def_property_readonly(
          "window_ratios", [](const PyResult& p) { return per_window(p.result, p.result.ratios); })
      .def_property_readonly(
          "window_spectra",
          [](const PyResult& p) { return per_window(p.result, p.result.spectra); })
      .def_property_readonly("fo",
                             [](const PyResult& p) {
                               const FoBand& b = p.result.fo;
                               return py::make_tuple(b.fo, b.minus, b.plus);
                             })
      .def_property_readonly("kept",
                             [](const PyResult& p) {
                               std::vector<bool> k(static_cast<std::size_t>(p.result.nwin), true);
                               if (p.result.rejection) {
                                 for (std::size_t w = 0; w < k.size(); ++w) {
                                   k[w] = p.result.rejection->kept[w] != 0;
                                 }
                               }
                               return k;
                             })
      .def_property_readonly("rejection",
                             [](const PyResult& p) -> std::optional<std::pair<double, int>> {
                               if (!p.result.rejection) return std::nullopt;
                               return std::pair(p.result.rejection->n_sd,
                                                p.result.rejection->iterations);
                             })
      .def_property_readonly("windows",
                             [](const PyResult& p) {
                               std::vector<std::pair<float, float>> w;
                               for (const WindowEntry& e : p.windows.entry)
                                 w.emplace_back(e.start, e.end);
                               return w;
                             })
      .def_property_readonly("window_len", [](const PyResult& p) { return p.windows.Tmax; })
      .def_property_readonly("recording_names",
                             [](const PyResult& p) {
                               std::vector<std::string> n;
                               for (const WindowEntry& e : p.windows.entry)
                                 n.push_back(trimmed(e.file.view()));
                               return n;
                             })
      .def_property_readonly("labels",
                             [](const PyResult& p) {
                               std::vector<std::string> l;
                               for (const auto& t : p.windows(1).labels)
                                 l.push_back(trimmed(t.view()));
                               return l;
                             })
      .def_property_readonly("azimuths", [](const PyResult& p) { return p.result.azimuth.degrees; })
      .def_property_readonly(
          "azimuth_mean",
          [](const PyResult& p) {
            const HvResult& r = p.result;
            const int count = r.azimuths ? r.azimuth.count() : 0;
            const int n = r.rows.jlast - r.rows.jfirst + 1;
            py::array_t<float> a({static_cast<py::ssize_t>(count), static_cast<py::ssize_t>(n)});
            auto m = a.mutable_unchecked<2>();
            for (int az = 0; az < count; ++az) {
              const std::span<const float> curve = r.azimuths->curve(az, r.nfreq());
              for (int j = 0; j < n; ++j) {
                m(az, j) = curve[static_cast<std::size_t>(r.rows.jfirst - 1 + j)];
              }
            }
            return a;
          })
      .def_property_readonly("azimuth_fo",
                             [](const PyResult& p) {
                               std::vector<std::tuple<float, float, float>> fo;
                               if (p.result.azimuths) {
                                 for (const FoBand& b : p.result.azimuths->fo)
                                   fo.emplace_back(b.fo, b.minus, b.plus);
                               }
                               return fo;
                             })
      .def("write", &write_files, py::arg("output"));

  m.def("make_recording", &make_recording);
  m.def("read", &read_file);
  m.def("select_windows", &select_windows);
  m.def("compute", &compute);
  m.def("read_window_file", &read_window_file);
  m.attr("max_threads") = max_threads;
}
