// SPDX-License-Identifier: GPL-3.0-or-later
// What every recording reader shares: the format indices of the window file, what a
// window line asks of a recording, the recording a read returns, and the
// signature of a reader as both dispatchers call it, with the notes it returns.
#pragma once

#include <array>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/glun.hpp"
#include "common/text.hpp"
#include "readers/records.hpp"

namespace hv {

// Format indices as the window file writes them.
namespace format {
inline constexpr int unknown = 0;
inline constexpr int gse = 1;
inline constexpr int kaf = 2;
inline constexpr int duneheron = 3;
inline constexpr int miniseed = 4;
}  // namespace format

// The channels a window line asks for: codes of the vertical, north-south and
// east-west channels and the station. Blank codes let the reader choose (formats
// that hold one recording per file ignore them).
struct ChannelRequest {
  std::array<Text<3>, 3> channel;
  Text<10> station;
};

// One three-component recording as a reader returns it: samples sized to the data
// and what the file says about them. Conditioning (mean removal, filters) is done on
// this value by the computation, never by a reader.
struct Recording {
  float dt = 0.0f;  // sampling interval, seconds
  // Vertical, north-south and east-west samples; the three have one length.
  std::array<std::vector<float>, 3> component;
  // The channel codes and station used (calmpick writes them into the window file).
  std::array<Text<3>, 3> channel;
  Text<10> station;
  // Component labels 1..3 and the units label, printed in the result files.
  std::array<Text<12>, 4> labels;
  int format = format::unknown;
  // Time of the first sample, seconds since 1970-01-01 00:00:00 UTC, where the format
  // holds one.
  std::optional<double> start_time;
  // Where the file says the recording was made, for people to read: "NET.STA", or the
  // station alone; empty where the file does not say. Window lines match `station`.
  std::string site;

  int nsamp() const { return static_cast<int>(component[0].size()); }
  void resize(std::size_t n) {
    for (std::vector<float>& c : component) c.resize(n);
  }
};

// Which program a read is for: calmpick reads some formats differently (the GSE
// waveforms it takes, a miniSEED file that is not one) and words its messages
// otherwise.
enum class Voice { ratiospec, calmpick };

// Reader return values.
namespace read_status {
inline constexpr int ok = 0;
inline constexpr int failed = 1;      // a file of this format that cannot be used
inline constexpr int not_format = 2;  // not a file of this format; calmpick tries the next
}  // namespace read_status

// Seconds since 1970-01-01 00:00:00 UTC of a calendar time, or nothing when the
// fields do not name one.
std::optional<double> utc_seconds(int year, int month, int day, int hour, int minute,
                                  double seconds);

// "NET.STA", the station alone without a network, or empty without a station.
std::string site_name(std::string_view network, std::string_view station);

// No limit on the samples a reader may return: the library sizes what it holds to the
// data; the two programs pass their storage limit.
inline constexpr int no_sample_limit = std::numeric_limits<int>::max();

// What a read met, as codes with the values their messages need. Readers print
// nothing: each program turns the notes into its own texts. A failed read ends with
// the note that says why; the notes before it, and those of a read that succeeds,
// are warnings (a GSE checksum that does not match).
struct ReadNote {
  int format = format::unknown;  // the reader whose status table `code` is from;
                                 // format::unknown: the dispatch's own (dispatch::)
  int code = 0;
  std::vector<long long> counts;
  std::vector<float> reals;
  std::vector<std::string> texts;
};

using ReadNotes = std::vector<ReadNote>;

// The dispatch's codes.
namespace dispatch {
inline constexpr int bad_format_index = 1;  // counts: the index
inline constexpr int not_recognised = 2;    // no reader takes the file
inline constexpr int not_finite = 3;        // counts: the first sample that is not finite
}  // namespace dispatch

// What a reader reads: the file `name`, or, when `bytes` is set, those bytes in
// memory (a binding's buffer, a fuzz input), named `name` in messages. Bytes take no
// logical unit and cannot fail to open.
struct ReadSource {
  ReadSource(const Name& file) : name(file) {}  // NOLINT: a file name is a source
  ReadSource(const Name& label, std::string_view data) : name(label), bytes(data) {}
  Name name;
  std::optional<std::string_view> bytes;
};

// A reader fills rec (samples sized to the data, at most max_samples per component,
// the interval, codes and labels) and adds what it met to notes.
// It leaves rec.format to the dispatcher.
using ReadFunction = int (*)(const ReadSource& source, const ChannelRequest& want, Voice voice,
                             int max_samples, Recording& rec, UnitTable& units, ReadNotes& notes);

}  // namespace hv
