// SPDX-License-Identifier: GPL-3.0-or-later
#include "hvmonitor/monitor_write.hpp"

#include <algorithm>
#include <cstdio>

#include "common/fields.hpp"
#include "ratiospec/av_write.hpp"
#include "ratiospec/result_header.hpp"

namespace hv {

namespace {

constexpr float missing = -9.0f;

const char* decision_text(Decision d) {
  switch (d) {
    case Decision::yes:
      return "yes";
    case Decision::no:
      return "no";
    default:
      return "undetermined";
  }
}

std::string padded(std::string s, std::size_t n) {
  if (s.size() < n) s.resize(n, ' ');
  return s;
}

}  // namespace

std::string block_suffix(int number) {
  char text[32];
  std::snprintf(text, sizeof text, "_blk_%04d", number);
  return text;
}

void write_table_header(std::ostream& os, const MonitorInputs& in, const PARAMETERS& par) {
  const SelectionParameters& s = in.selection;
  const MonitorParameters& m = in.monitor;
  os << " ### hvmonitor: H/V per block of a miniSEED archive\n";
  os << " # list_file: " << in.list_file << '\n';
  os << " # calmpick_parameters: " << in.selection_file << '\n';
  os << " # tsta tlta ratmin ratmax tlong overlap isatur iltalev tbad:";
  for (const float v : {s.tsta, s.tlta, s.ratmin, s.ratmax, s.tlong, s.overlap}) {
    os << ' ' << free_real(v);
  }
  os << ' ' << s.isatur << ' ' << s.iltalev << ' ' << free_real(s.tbad) << '\n';
  os << " # ratiospec_parameters: " << in.processing_file << '\n';
  os << " #\n";
  free_line(os, "# parameters actually used in the processing:");
  os << " ### section processing\n";
  write_option_lines(os, par);
  os << " ### end processing\n";
  os << " ### section monitor\n";
  os << " # block: " << free_real(static_cast<float>(m.block)) << '\n';
  os << " # step: " << free_real(static_cast<float>(m.step)) << '\n';
  os << " # start: " << (m.start ? iso_millis(*m.start) : "-") << '\n';
  os << " # end: " << (m.end ? iso_millis(*m.end) : "-") << '\n';
  os << " # station: " << in.station << '\n';
  os << " # channels: " << in.channels[0] << ' ' << in.channels[1] << ' ' << in.channels[2] << '\n';
  os << " # block_files: " << (m.block_files ? "yes" : "no") << '\n';
  os << " ### end monitor\n";
  os << " # sampling_interval: " << free_real(in.dt) << '\n';
  os << " # archive: " << iso_millis(in.first) << " to " << iso_millis(in.last) << " in "
     << in.stretches << " gap-free stretches\n";
  write_rule_line(os);
  os << " # n_blocks: " << fmt_I(in.blocks, 6) << '\n';
  // The column names over the fields of the rows below.
  std::string names = " # block_start";
  names = padded(names, 25) + "block_end";
  names = padded(names, 48);
  const std::array<std::pair<const char*, int>, 8> fields{{{"seconds", 10},
                                                           {"kept", 6},
                                                           {"sel", 6},
                                                           {"Fo", 9},
                                                           {"Fo_low", 9},
                                                           {"Fo_high", 9},
                                                           {"f0", 9},
                                                           {"A0", 11}}};
  for (const auto& [name, width] : fields) {
    names += std::string(static_cast<std::size_t>(width) - std::string(name).size(), ' ') + name;
  }
  os << names << ' ' << padded("reliable", 12) << " clear note\n";
}

void write_table_row(std::ostream& os, const BlockResult& b) {
  os << ' ' << iso_millis(b.start) << ' ' << iso_millis(b.end) << fmt_F(b.seconds, 10, 1)
     << fmt_I(b.kept(), 6) << fmt_I(b.selected, 6);
  if (b.hv) {
    const PeakCriteria& c = b.criteria;
    const FoBand& fo = b.hv->fo;
    os << fmt_F(fo.fo, 9, 4) << fmt_F(fo.minus, 9, 4) << fmt_F(fo.plus, 9, 4);
    os << fmt_F(c.has_peak ? c.f0 : missing, 9, 4) << fmt_F(c.has_peak ? c.a0 : missing, 11, 4);
    os << ' ' << padded(decision_text(c.reliability()), 12) << fmt_I(c.clear_passed(), 6);
  } else {
    for (int k = 0; k < 4; ++k) os << fmt_F(missing, 9, 4);
    os << fmt_F(missing, 11, 4) << ' ' << padded("-", 12) << "     -";
  }
  os << ' ' << b.note << '\n';
}

void HvMatrix::add(const BlockResult& b) {
  starts_.push_back(b.start);
  std::vector<float> column;
  if (b.hv) {
    const HvResult& r = *b.hv;
    const auto from = static_cast<std::ptrdiff_t>(r.rows.jfirst - 1);
    const auto to = static_cast<std::ptrdiff_t>(r.rows.jlast);
    const std::vector<float> f(r.f.begin() + from, r.f.begin() + to);
    if (f_.empty()) f_ = f;
    if (f == f_) column.assign(r.mean[0].begin() + from, r.mean[0].begin() + to);
  }
  columns_.push_back(std::move(column));
}

void HvMatrix::write(std::ostream& os) const {
  os << " ### hvmonitor: averaged H/V (av_HV) per block, one row per frequency, one column"
        " per block\n";
  os << " # n_freq_samples: " << fmt_I(static_cast<long long>(f_.size()), 6)
     << "  n_blocks: " << fmt_I(static_cast<long long>(starts_.size()), 6) << '\n';
  os << " # " << fmt_E(missing, 15, 7) << " : no result for the block\n";
  os << " # block_start:";
  for (const double t : starts_) os << ' ' << iso_millis(t);
  os << '\n';
  os << " #    freq         then av_HV of each block in order\n";
  for (std::size_t j = 0; j < f_.size(); ++j) {
    os << ' ' << fmt_E(f_[j], 15, 7);
    for (const std::vector<float>& c : columns_)
      os << ' ' << fmt_E(c.empty() ? missing : c[j], 15, 7);
    os << '\n';
  }
}

int write_block_file(const Name& output_file, const BlockResult& b, const PARAMETERS& par,
                     UnitTable& units, std::ostream& console) {
  WINDOWS windows;
  for (std::size_t w = 0; w < b.windows.size(); ++w) {
    const Recording& rec = b.headers[static_cast<std::size_t>(b.stretch_of[w])];
    WindowEntry e;
    // Window times count from the first sample of their stretch, which the line names.
    e.file = iso_millis(rec.start_time.value_or(0.0));
    e.start = b.windows[w].start;
    e.end = b.windows[w].end;
    e.channel = rec.channel;
    e.station = rec.station;
    e.format = format::miniseed;
    e.labels = rec.labels;
    windows.Tmax = std::max(windows.Tmax, e.end - e.start);
    windows.entry.push_back(std::move(e));
  }
  const std::string name(output_file.trimmed());
  return AV_WRITE(0, Name(name + block_suffix(b.number)), *b.hv, windows, par, units, console);
}

}  // namespace hv
