// SPDX-License-Identifier: GPL-3.0-or-later
#include "hvlib/selection_parameters.hpp"

#include <algorithm>
#include <array>
#include <cmath>

#include "common/fields.hpp"
#include "common/freefmt.hpp"
#include "common/lines.hpp"

namespace hv {

namespace {

constexpr std::array<const char*, 9> names = {"tsta",    "tlta",   "ratmin",  "ratmax", "tlong",
                                              "overlap", "isatur", "iltalev", "tbad"};

bool store(SelectionParameters& p, int order, std::string_view text) {
  if (order == 6 || order == 7) {
    const auto v = parse_int(text);
    if (!v) return false;
    (order == 6 ? p.isatur : p.iltalev) = *v;
    return true;
  }
  const auto v = parse_real(text);
  if (!v) return false;
  float* const reals[] = {&p.tsta,    &p.tlta, &p.ratmin, &p.ratmax, &p.tlong,
                          &p.overlap, nullptr, nullptr,   &p.tbad};
  *reals[order] = *v;
  return true;
}

// Far beyond any sample count, yet far inside the range of int.
constexpr double count_limit = 1.0e9;

int truncated(float q) {
  if (std::isnan(q)) return 0;
  return static_cast<int>(std::clamp(static_cast<double>(q), -count_limit, count_limit));
}

int nearest(float q) {
  if (std::isnan(q)) return 0;
  const double c = std::clamp(static_cast<double>(q), -count_limit, count_limit);
  return static_cast<int>(std::lround(c));
}

}  // namespace

int read_selection_parameters(std::istream& in, SelectionParameters& p, std::string& why) {
  p = SelectionParameters{};
  ListScanner scanner;
  std::string line;
  int line_number = 0;
  bool have_line = false;
  int order = 0;
  while (order < 9) {
    if (!have_line) {
      if (!read_line(in, line)) {
        why = "the file ends after " + std::to_string(order) +
              " of the nine values and holds no \"/\"";
        return 1;
      }
      ++line_number;
      scanner.feed(line);
      have_line = true;
    }
    std::string_view value;
    switch (scanner.next(value)) {
      case ListScanner::Item::end_of_line:
        have_line = false;
        break;
      case ListScanner::Item::slash:
        return 0;
      case ListScanner::Item::null:
        ++order;
        break;
      case ListScanner::Item::value:
        if (!store(p, order, value)) {
          why = "value " + std::to_string(order + 1) + " (" +
                names[static_cast<std::size_t>(order)] + "), \"" + std::string(value) +
                "\" on line " + std::to_string(line_number) + ", is not " +
                (order == 6 || order == 7 ? "an integer" : "a real number");
          return 1;
        }
        ++order;
        break;
    }
  }
  return 0;
}

void complete_selection_parameters(SelectionParameters& p) {
  const SelectionParameters defaults{1.0f, 25.0f, 0.5f, 2.0f, 20.0f, 0.2f, 1, 0, 0.0f};
  auto fill = [](float& v, float d) {
    if (v == real_not_given) v = d;
  };
  fill(p.tsta, defaults.tsta);
  fill(p.tlta, defaults.tlta);
  fill(p.ratmin, defaults.ratmin);
  fill(p.ratmax, defaults.ratmax);
  fill(p.tlong, defaults.tlong);
  fill(p.overlap, defaults.overlap);
  if (p.isatur == int_not_given) p.isatur = defaults.isatur;
  if (p.iltalev == int_not_given) p.iltalev = defaults.iltalev;
  fill(p.tbad, defaults.tbad);
}

float window_step(const SelectionParameters& p) {
  const float shared = p.overlap * p.tlong;
  return p.tlong - shared;
}

std::vector<std::string> refused_parameters(const SelectionParameters& p) {
  std::vector<std::string> refused;
  auto refuse = [&](std::string_view text, float value) {
    refused.push_back(free_text(text, value));
  };
  if (!(p.ratmin > 0.0f)) refuse("ratmin must be greater than 0; given:", p.ratmin);
  if (!(p.ratmax > 0.0f)) refuse("ratmax must be greater than 0; given:", p.ratmax);
  // Limits that no ratio lies between, or a negative tolerance, can accept no window.
  if (p.ratmin > 0.0f && p.ratmax > 0.0f && !(p.ratmin < p.ratmax)) {
    refused.push_back(free_text("ratmin must be below ratmax; given:", p.ratmin, p.ratmax));
  }
  if (p.tbad < 0.0f) refuse("tbad must not be negative; given:", p.tbad);
  if (!(p.tlong > 0.0f)) {
    refuse("tlong must be greater than 0; given:", p.tlong);
  } else if (const float tstep = window_step(p); !(tstep > 0.0f) || !std::isfinite(tstep)) {
    refuse("overlap must stay below 1 so that windows advance; given:", p.overlap);
  }
  return refused;
}

long long window_storage(float tlong, float dt) {
  // Only the quotient is single precision. At a power of two the exact quotient
  // log10(q) / 0.30103 lies just below an integer, and a single-precision log10
  // rounds it up for some powers and not for others; in double k is always j - 1.
  const float q = tlong / dt;
  const double k = std::trunc(std::log10(static_cast<double>(q)) / 0.30103);
  if (!(k < 61.0)) return 1LL << 62;
  if (k + 1.0 < 0.0) return 0;  // 2 to a negative integer power is 0 in integer arithmetic
  return 1LL << static_cast<int>(k + 1.0);
}

RecordingCounts recording_counts(const SelectionParameters& p, float dt) {
  RecordingCounts c;
  c.nsta = truncated(p.tsta / dt);
  c.nlta = truncated(p.tlta / dt);
  c.ncos = truncated(0.5f / dt);
  c.nzero = 2;
  c.nlong = nearest(p.tlong / dt);
  c.tstep = window_step(p);
  c.nstep = truncated(c.tstep / dt - 1.0f);
  c.nokmin = static_cast<int>(std::clamp(static_cast<long long>(c.nlong) - nearest(p.tbad / dt),
                                         -static_cast<long long>(count_limit),
                                         static_cast<long long>(count_limit)));
  return c;
}

}  // namespace hv
