// SPDX-License-Identifier: GPL-3.0-or-later
#include "messages/read_messages.hpp"

#include <algorithm>
#include <array>
#include <sstream>
#include <string_view>

#include "common/fields.hpp"
#include "readers/readerdh.hpp"
#include "readers/readergse.hpp"
#include "readers/readermseed.hpp"
#include "readers/rkaf.hpp"

namespace hv {

namespace {

constexpr std::string_view impossible = "this error should be impossible";

struct KafText {
  int status;
  std::string_view text;           // after the routine prefix
  std::string_view calmpick_text;  // calmpick's wording, where it differs
  bool file_line;
};

constexpr std::array<KafText, 8> kaf_texts = {{
    {kaf::unit_query_failed, impossible, {}, false},
    {kaf::no_free_unit, impossible, {}, false},
    {kaf::cannot_open, "this file cannot be opened", {}, true},
    {kaf::keys_not_set, "mandatory parameters are not entirely set", {}, true},
    {kaf::too_many_samples, "number of samples      : ", {}, true},
    {kaf::bad_sample, "error reading time histories data", {}, true},
    {kaf::not_finite, "a sample is not a finite number once divided by GAIN", {}, true},
    {kaf::not_kaf, "the opened file is NOT a current version KAF",
     "the opened file is NOT a current  version KAF", true},
}};

// counts: NDAT, the sample limit; texts: why a header line was refused.
void kaf_note(std::ostream& os, const ReadNote& n, Voice voice, const Name& file) {
  const std::string prefix = voice == Voice::ratiospec ? " RKAF : " : " READER_KAF : ";
  const auto it = std::find_if(kaf_texts.begin(), kaf_texts.end(),
                               [&n](const KafText& t) { return t.status == n.code; });
  bool file_line = true;
  if (n.code > kaf::line_base) {
    free_line(os, prefix, "problem reading line number :", n.code - kaf::line_base);
    if (!n.texts[0].empty()) free_line(os, prefix, n.texts[0]);
  } else if (it == kaf_texts.end()) {
    free_line(os, prefix, "unexpected status :", n.code);
  } else {
    const std::string_view text =
        voice == Voice::calmpick && !it->calmpick_text.empty() ? it->calmpick_text : it->text;
    if (n.code == kaf::too_many_samples) {
      free_line(os, prefix, text, n.counts[0]);
      free_line(os, "        greater than dimension : ", n.counts[1]);
    } else {
      free_line(os, prefix, text);
    }
    if (n.code == kaf::unit_query_failed || n.code == kaf::no_free_unit) {
      free_line(os, " no unused logical unit could be obtained");
    }
    file_line = it->file_line;
  }
  if (file_line) free_line(os, file.view());
}

// counts: the sample count, the limit, the header line of a refused divisor; texts:
// why the file is not DuneHeron, that line's text. calmpick tells only of a divisor.
void duneheron_note(std::ostream& os, const ReadNote& n, Voice voice, const Name& file) {
  if (n.code == dh::bad_divisor) {
    free_line(os, voice == Voice::ratiospec ? " READERDuneHeron : " : " READER_DH : ",
              "the gain or conversion value on header line", n.counts[2], " is 0 or not finite:");
    free_line(os, n.texts[1]);
    free_line(os, file.view());
    return;
  }
  if (voice == Voice::calmpick) return;
  constexpr std::string_view who = " READERDuneHeron : ";
  switch (n.code) {
    case dh::no_free_unit:
      free_line(os, who, impossible);
      free_line(os, " no unused logical unit could be obtained");
      return;
    case dh::not_found:
    case dh::cannot_open:
      free_line(os, who, "this file cannot be opened");
      break;
    case dh::too_many_samples:
      free_line(os, who, "number of samples      : ", n.counts[0]);
      free_line(os, "        greater than dimension : ", n.counts[1]);
      break;
    case dh::read_error:
      free_line(os, who, "error reading time histories data");
      break;
    case dh::not_duneheron:
      free_line(os, who, "this is NOT a DuneHeron file");
      if (!n.texts[0].empty()) free_line(os, who, n.texts[0]);
      break;
    case dh::data_short:
      free_line(os, who, "found less data points than", " those specified in the header");
      break;
    default:
      free_line(os, who, "unexpected status :", n.code);
      break;
  }
  free_line(os, file.view());
}

// The values of each note are listed with the gse:: codes.
void gse_note(std::ostream& os, const ReadNote& n, Voice voice, const Name& file) {
  const std::string_view prefix = voice == Voice::ratiospec ? " READERGSE : " : " READER_GSE : ";
  const auto file_line = [&] { free_line(os, " ", file.view()); };
  const auto in_file = [&] {
    free_line(os, " in file:");
    file_line();
  };
  switch (n.code) {
    case gse::no_free_unit:
      free_line(os, prefix, impossible);
      free_line(os, " no logical unit available");
      return;
    case gse::not_found:
      free_line(os, prefix, "this file cannot be found :");
      return file_line();
    case gse::cannot_open:
      free_line(os, prefix, "this file cannot be opened");
      return file_line();
    case gse::unreadable_waveform:
      free_line(os, prefix, "this waveform cannot be read : ", n.texts[0]);
      free_line(os, " ", n.texts[1]);
      return in_file();
    case gse::too_many_samples:
      free_line(os, prefix, "number of samples      : ", n.counts[0]);
      free_line(os, "             greater than dimension : ", n.counts[1]);
      return in_file();
    case gse::rate_changed:
      free_line(os, prefix, "sampling rate has changed among channels");
      return in_file();
    case gse::count_changed:
      free_line(os, prefix, "number of samples has changed among ");
      free_line(os, " channels in file:");
      return file_line();
    case gse::no_conversion:
      free_line(os, prefix, "channel ", n.texts[0], " of station ", n.texts[1],
                " has no usable calibration (counts to m/s)");
      free_line(os, " calib =", n.reals[0], " calper =", n.reals[1], " calib_type =", n.counts[0]);
      return in_file();
    case gse::channels_missing: {
      free_line(os, prefix, "following channel(s) cannot be found");
      std::string codes = "  channel(s) : ";
      for (std::size_t k = 0; k < 3; ++k) codes += "  " + n.texts[k];
      free_line(os, codes);
      free_line(os, "  for station : ", n.texts[3]);
      return in_file();
    }
    case gse::decoder_full:
      return free_line(os, "Integer*4 array not large enough !");
    case gse::count_differs:
      free_line(os, "Error in retrieving correct number of samples !");
      return free_line(os, "Expected ", n.counts[0], ", received ", n.counts[1]);
    case gse::checksum_differs:
      free_line(os, "Error in checksum in the following waveform");
      free_line(os, n.texts[0]);
      free_line(os, "Read checksum       =", n.counts[0]);
      return free_line(os, "Calculated checksum =", n.counts[1]);
    default:
      free_line(os, prefix, "unexpected status :", n.code);
      return in_file();
  }
}

// texts: the reason, then its detail lines.
void miniseed_note(std::ostream& os, const ReadNote& n, Voice voice, const Name& file) {
  free_line(os, voice == Voice::ratiospec ? " READERMSEED : " : " READER_MSEED : ", n.texts[0]);
  for (std::size_t k = 1; k < n.texts.size(); ++k) free_line(os, n.texts[k]);
  if (n.code == mseed::channel_choice) {
    free_line(os, voice == Voice::ratiospec ? "  name the three channel codes in the window line"
                                            : "  keep only the three channels to use in the file");
  }
  free_line(os, file.view());
}

void dispatch_note(std::ostream& os, const ReadNote& n, Voice voice, const Name& file) {
  switch (n.code) {
    case dispatch::bad_format_index:
      free_line(os, "  incorrect format index : ", n.counts[0], " file:");
      break;
    case dispatch::not_recognised:
      free_line(os, "  format NOT recognised for this file");
      break;
    case dispatch::not_finite:
      free_line(os, voice == Voice::ratiospec ? " READERTH : " : " READERTHW : ", "sample",
                n.counts[0], " is not a finite number once scaled", " in file:");
      break;
  }
  free_line(os, file.view());
}

}  // namespace

void report_read(std::ostream& console, const ReadNotes& notes, Voice voice, const Name& file) {
  for (const ReadNote& n : notes) {
    switch (n.format) {
      case format::kaf:
        kaf_note(console, n, voice, file);
        break;
      case format::duneheron:
        duneheron_note(console, n, voice, file);
        break;
      case format::gse:
        gse_note(console, n, voice, file);
        break;
      case format::miniseed:
        miniseed_note(console, n, voice, file);
        break;
      default:
        dispatch_note(console, n, voice, file);
        break;
    }
  }
}

std::string read_messages(const ReadNotes& notes, Voice voice, const Name& file) {
  std::ostringstream text;
  report_read(text, notes, voice, file);
  return text.str();
}

}  // namespace hv
