// SPDX-License-Identifier: GPL-3.0-or-later
#include "readers/readermseed.hpp"

#include <libmseed.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <limits>
#include <new>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "common/fields.hpp"
#include "readers/mseed_record.hpp"
#include "readers/source_stream.hpp"

namespace hv {

namespace {

// Times are libmseed's microseconds since 1970, held as double for the arithmetic
// with sampling periods (exact to well below a microsecond for any recent date).
std::string iso_time(double micros) {
  if (!(std::abs(micros) < 4.0e18)) return "a time out of range";
  char text[64];
  ms_hptime2isotimestr(static_cast<hptime_t>(std::llround(micros)), text, 1);
  return text;
}

std::string number(double value) {
  std::ostringstream out;
  out << value;
  return out.str();
}

// Items after one blank each.
std::string joined(const std::vector<std::string>& items) {
  std::string out;
  for (const auto& item : items) out += " " + item;
  return out;
}

void add_unique(std::vector<std::string>& items, const std::string& item) {
  if (std::find(items.begin(), items.end(), item) == items.end()) items.push_back(item);
}

// Notes a failure: the reason and its detail lines.
class Report {
 public:
  Report(Voice voice, ReadNotes& notes) : voice_(voice), notes_(notes) {}

  int fail(std::string reason, std::initializer_list<std::string> details = {},
           int code = mseed::failed) const {
    std::vector<std::string> texts{std::move(reason)};
    texts.insert(texts.end(), details);
    notes_.push_back({format::miniseed, code, {}, {}, std::move(texts)});
    return read_status::failed;
  }

  // A choice of channels the reader cannot make: the program tells the user how to
  // settle it.
  int fail_choice(std::string reason) const {
    return fail(std::move(reason), {}, mseed::channel_choice);
  }

  // calmpick goes on to its next format without a word; ratiospec was told this is
  // miniSEED, so a file that is not is an error.
  int not_miniseed() const {
    if (voice_ == Voice::calmpick) return read_status::not_format;
    return fail("this file is not miniSEED");
  }

 private:
  Voice voice_;
  ReadNotes& notes_;
};

// One MSRecord reused for every record parsed; msr_parse works on the bytes in memory.
class RecordParser {
 public:
  RecordParser() = default;
  RecordParser(const RecordParser&) = delete;
  RecordParser& operator=(const RecordParser&) = delete;
  ~RecordParser() { msr_free(&msr_); }

  // 0: parsed; above 0: the bytes end inside the record; below 0: not a record.
  // bytes holds the file and libmseed_slack bytes after it.
  int parse(std::vector<char>& bytes, std::size_t offset, int length, bool decode) {
    const std::size_t left =
        std::min<std::size_t>(bytes.size() - libmseed_slack - offset, MAXRECLEN);
    return msr_parse(bytes.data() + offset, static_cast<int>(left), &msr_, length, decode ? 1 : 0,
                     0);
  }
  // The record parsed last; nothing before a parse has made one (a parse that finds the
  // bytes cut short may leave it unmade).
  MSRecord* record() { return msr_; }

 private:
  MSRecord* msr_ = nullptr;
};

struct RecordRef {
  std::size_t offset;
  int length;
  double start;  // first sample
  std::int64_t count;
  double rate;
  bool samples_fit;  // its data section holds the samples it announces
};

// The records of one network, station, location and channel, in file order.
struct Stream {
  std::string network, station, location, channel;
  std::vector<RecordRef> records;
};

std::string source_name(const Stream& s) {
  return s.network + "." + (s.location.empty() ? "--" : s.location);
}

int load(const ReadSource& file, UnitTable& units, const Report& report, std::vector<char>& bytes) {
  SourceStream in(file, units);
  switch (in.open()) {
    case SourceStream::Status::ok:
      break;
    case SourceStream::Status::no_unit:
      return report.fail("no logical unit available");
    case SourceStream::Status::not_found:
      return report.fail("this file cannot be found");
    case SourceStream::Status::cannot_open:
      return report.fail("this file cannot be opened");
  }
  std::streambuf& stream = in.buffer();
  const std::streamoff size = stream.pubseekoff(0, std::ios::end, std::ios::in);
  stream.pubseekoff(0, std::ios::beg, std::ios::in);
  if (size < 0) return report.fail("this file cannot be read");
  if (size == 0) return report.fail("this file is empty");
  try {
    bytes.resize(static_cast<std::size_t>(size) + libmseed_slack);
  } catch (const std::bad_alloc&) {
    return report.fail("this file is too large to be read");
  }
  if (stream.sgetn(bytes.data(), size) != size) return report.fail("this file cannot be read");
  return read_status::ok;
}

// Walks the records and files each one that holds samples under its stream.
int scan(std::vector<char>& bytes, const Report& report, std::vector<Stream>& streams) {
  RecordParser parser;
  std::size_t offset = 0;
  while (offset < bytes.size() - libmseed_slack) {
    const int status = parser.parse(bytes, offset, -1, false);
    if (status < 0) {
      if (offset == 0) return report.not_miniseed();
      return report.fail(
          free_text("the bytes from offset", offset, " on are not a miniSEED record"));
    }
    MSRecord* parsed = parser.record();
    if (status > 0 || parsed == nullptr || parsed->reclen <= 0) {
      return report.fail(
          free_text("the record at offset", offset, " is cut short: the file ends before it does"));
    }
    const MSRecord& m = *parsed;
    if (m.samplecnt > 0) {
      auto it = std::find_if(streams.begin(), streams.end(), [&](const Stream& s) {
        return s.network == m.network && s.station == m.station && s.location == m.location &&
               s.channel == m.channel;
      });
      if (it == streams.end()) {
        it = streams.insert(streams.end(), Stream{m.network, m.station, m.location, m.channel, {}});
      }
      it->records.push_back({offset, m.reclen, static_cast<double>(msr_starttime(parsed)),
                             m.samplecnt, msr_samprate(parsed), samples_fit(m)});
    }
    offset += static_cast<std::size_t>(m.reclen);
  }
  if (streams.empty()) return report.fail("this file holds no samples");
  return read_status::ok;
}

// The streams that fill columns 1..3.
struct Choice {
  std::string station;
  std::array<const Stream*, 3> stream{};
};

// Last letters of the channel codes that a blank request takes, per column.
constexpr std::array<std::string_view, 3> last_letters = {"Z", "N1", "E2"};
constexpr std::array<std::string_view, 3> last_letter_words = {"Z", "N or 1", "E or 2"};

int pick(const std::vector<Stream>& streams, const ChannelRequest& want, const Report& report,
         Choice& choice) {
  const std::string station =
      want.station.blank() ? streams.front().station : std::string(want.station.trimmed());
  std::vector<std::string> stations, channels;
  for (const Stream& s : streams) {
    add_unique(stations, s.station);
    if (s.station == station) add_unique(channels, s.channel);
  }
  if (channels.empty()) {
    return report.fail("station " + station + " is not in this file",
                       {"  stations found :" + joined(stations)});
  }
  const std::string found = "  channels found :" + joined(channels);

  std::array<std::string, 3> code;
  std::vector<std::string> missing;
  for (std::size_t k = 0; k < 3; ++k) {
    if (!want.channel[k].blank()) {
      code[k] = want.channel[k].trimmed();
      if (std::find(channels.begin(), channels.end(), code[k]) == channels.end()) {
        missing.push_back(code[k]);
      }
      continue;
    }
    std::vector<std::string> fit;
    for (const auto& c : channels) {
      if (!c.empty() && last_letters[k].find(c.back()) != std::string_view::npos) fit.push_back(c);
    }
    const std::string ending = " ends in " + std::string(last_letter_words[k]);
    if (fit.empty()) return report.fail("no channel of station " + station + ending, {found});
    if (fit.size() > 1) {
      return report.fail_choice("more than one channel of station " + station + ending + " :" +
                                joined(fit));
    }
    code[k] = fit.front();
  }
  if (!missing.empty()) {
    return report.fail("channel(s) not found for station " + station + " :" + joined(missing),
                       {found});
  }
  for (std::size_t a = 0; a < 3; ++a) {
    for (std::size_t b = a + 1; b < 3; ++b) {
      if (code[a] == code[b]) {
        return report.fail_choice("channel " + code[a] + " is asked for two components");
      }
    }
  }

  std::vector<std::string> sources;
  for (const Stream& s : streams) {
    if (s.station == station && std::find(code.begin(), code.end(), s.channel) != code.end()) {
      add_unique(sources, source_name(s));
    }
  }
  if (sources.size() > 1) {
    return report.fail(
        "the chosen channels come from more than one network.location :" + joined(sources),
        {"  keep one of them in the file"});
  }
  choice.station = station;
  for (std::size_t k = 0; k < 3; ++k) {
    for (const Stream& s : streams) {
      if (s.station == station && s.channel == code[k]) choice.stream[k] = &s;
    }
  }
  return read_status::ok;
}

// A run of records whose samples follow each other without a gap or an overlap.
struct Run {
  std::size_t first = 0, last = 0;  // record indices, inclusive
  double start = 0.0;               // first sample
  double end = 0.0;                 // last sample
  std::int64_t nsamp = 0;
  // For every run but the first: when the previous run's next sample was due, and
  // how much later (a gap) or earlier (an overlap, negative) this run begins.
  double due = 0.0;
  double shift = 0.0;
};

// A chosen channel: its records in time order, cut into runs.
struct Channel {
  std::string code;
  std::vector<RecordRef> records;
  std::vector<Run> runs;
  std::size_t used = 0;   // the run the common span is taken from
  std::int64_t skip = 0;  // samples of that run before the common start
};

// Sampling rates outside these bounds are refused: no seismometer records them, and
// the sample times they would give pass the range of libmseed's time type.
constexpr double min_rate = 1.0e-3;
constexpr double max_rate = 1.0e5;

bool rates_differ(double a, double b) {
  return std::abs(a - b) > 1.0e-9 * std::abs(a);
}

int check_rates(const std::array<Channel, 3>& channels, const Report& report, double& rate) {
  for (const Channel& c : channels) {
    const double first = c.records.front().rate;
    for (const RecordRef& r : c.records) {
      if (!(r.rate >= min_rate && r.rate <= max_rate)) {
        return report.fail("channel " + c.code + " has a sampling rate of " + number(r.rate) +
                           " Hz at " + iso_time(r.start) + ", outside " + number(min_rate) +
                           " to " + number(max_rate) + " Hz");
      }
      if (rates_differ(first, r.rate)) {
        return report.fail("the sampling rate of channel " + c.code + " changes from " +
                           number(first) + " to " + number(r.rate) + " Hz at " + iso_time(r.start));
      }
    }
  }
  rate = channels[0].records.front().rate;
  for (const Channel& c : channels) {
    if (rates_differ(rate, c.records.front().rate)) {
      std::string rates;
      for (const Channel& d : channels)
        rates += " " + d.code + " " + number(d.records.front().rate);
      return report.fail("the channels have different sampling rates (Hz) :" + rates);
    }
  }
  return read_status::ok;
}

// Cuts the channel's records (sorted by time) into runs. A record continues the run
// when it begins within half a sample of the time the previous record's next sample
// was due.
void split_runs(Channel& c, double period) {
  const auto record_end = [&](const RecordRef& r) {
    return r.start + static_cast<double>(r.count - 1) * period;
  };
  const RecordRef& first = c.records.front();
  Run run{0, 0, first.start, record_end(first), first.count, 0.0, 0.0};
  for (std::size_t i = 1; i < c.records.size(); ++i) {
    const RecordRef& prev = c.records[i - 1];
    const RecordRef& r = c.records[i];
    const double due = prev.start + static_cast<double>(prev.count) * period;
    if (std::abs(r.start - due) <= period / 2) {
      run.last = i;
      run.nsamp += r.count;
      run.end = record_end(r);
      continue;
    }
    c.runs.push_back(run);
    run = Run{i, i, r.start, record_end(r), r.count, due, r.start - due};
  }
  c.runs.push_back(run);
}

std::string break_text(const Channel& c, const Run& run) {
  const std::string what = run.shift > 0.0 ? "a gap" : "an overlap";
  return what + " of " + number(std::abs(run.shift) * 1.0e-6) + " s in channel " + c.code + " at " +
         iso_time(run.due);
}

// The common span of the three channels: its first sample time, and per channel the
// run and the first sample it comes from. Refuses breaks inside the span, sample
// times that do not line up, and spans beyond max_samples samples.
int common_span(std::array<Channel, 3>& channels, double period, int max_samples,
                const Report& report, int& nsamp, double& first_time) {
  double start = -std::numeric_limits<double>::infinity();
  double end = std::numeric_limits<double>::infinity();
  for (const Channel& c : channels) {
    double last = c.runs.front().end;
    for (const Run& r : c.runs) last = std::max(last, r.end);
    start = std::max(start, c.runs.front().start);
    end = std::min(end, last);
  }
  if (end < start) {
    return report.fail("the three channels have no time in common",
                       {"  " + channels[0].code + " " + iso_time(channels[0].runs.front().start) +
                        ", " + channels[1].code + " " + iso_time(channels[1].runs.front().start) +
                        ", " + channels[2].code + " " + iso_time(channels[2].runs.front().start)});
  }

  const double half = period / 2;
  for (Channel& c : channels) {
    for (std::size_t k = 1; k < c.runs.size(); ++k) {
      const double lo = std::min(c.runs[k - 1].end, c.runs[k].start);
      const double hi = std::max(c.runs[k - 1].end, c.runs[k].start);
      if (hi > start + half && lo < end - half) {
        return report.fail(break_text(c, c.runs[k]) + ", inside the span the channels share");
      }
    }
    c.used = 0;
    for (std::size_t k = 0; k < c.runs.size(); ++k) {
      if (c.runs[k].start <= start + half) c.used = k;
    }
    const Run& run = c.runs[c.used];
    if (run.end < end - half) {
      return report.fail("channel " + c.code + " is not continuous from " + iso_time(start) +
                         " to " + iso_time(end));
    }
    c.skip = std::max<std::int64_t>(0, std::llround((start - run.start) / period));
  }

  // Each channel's sample times, relative to the common start, must agree to a tenth
  // of a sample.
  std::array<double, 3> lag{};
  for (std::size_t k = 0; k < 3; ++k) {
    const Channel& c = channels[k];
    lag[k] = c.runs[c.used].start + static_cast<double>(c.skip) * period - start;
  }
  for (std::size_t a = 0; a < 3; ++a) {
    for (std::size_t b = 0; b < 3; ++b) {
      if (lag[a] - lag[b] > period / 10) {
        return report.fail(
            "the samples of channel " + channels[a].code + " lie " +
                number((lag[a] - lag[b]) * 1.0e-6) + " s after those of channel " +
                channels[b].code,
            {"  more than a tenth of a sample: the channels cannot share one time axis"});
      }
    }
  }

  std::int64_t common = channels[0].runs[channels[0].used].nsamp - channels[0].skip;
  for (const Channel& c : channels) common = std::min(common, c.runs[c.used].nsamp - c.skip);
  if (common > max_samples) {
    return report.fail(
        free_text("the channels share", common, " samples, more than", max_samples, " per channel"),
        {"  cut the file to at most " + number((max_samples - 1) * period * 1.0e-6) +
         " s per channel (" + std::to_string(max_samples) + " samples)"});
  }
  if (common < 1) return report.fail("the three channels have no sample in common");
  nsamp = static_cast<int>(common);
  first_time = start;
  return read_status::ok;
}

std::string decode_failure(int status) {
  if (status == MS_UNKNOWNFORMAT) return "its data encoding is not one that can be decoded";
  if (status == MS_STBADCOMPFLAG) return "its Steim compression flags are not valid";
  return "its data cannot be decoded";
}

// Decodes the records of the channel's run that overlap the common span into column.
int decode(std::vector<char>& bytes, const Channel& c, int nsamp, const Report& report,
           std::span<float> column) {
  RecordParser parser;
  const Run& run = c.runs[c.used];
  std::int64_t first = 0;  // index in the run of the record's first sample
  for (std::size_t i = run.first; i <= run.last; ++i) {
    const RecordRef& r = c.records[i];
    const std::int64_t from = std::max(first, c.skip);
    const std::int64_t to = std::min(first + r.count, c.skip + nsamp);
    if (from < to) {
      const auto where = [&] {
        return free_text("the record at offset", r.offset, " (channel ") + c.code + ") : ";
      };
      if (!r.samples_fit) {
        return report.fail(where() + "it announces more samples than its data section holds");
      }
      const int status = [&] {
        const std::lock_guard<std::mutex> hold(libmseed_lock());
        return parser.parse(bytes, r.offset, r.length, true);
      }();
      if (status != 0 || parser.record() == nullptr) {
        return report.fail(where() + decode_failure(status));
      }
      const MSRecord& m = *parser.record();
      if (m.numsamples != r.count) {
        return report.fail(where() + free_text("it decodes to", m.numsamples,
                                               " samples where its header announces", r.count));
      }
      if (!steim_intact(m)) {
        return report.fail(where() + "its samples do not end on the last value it records");
      }
      if (!copy_decoded(m, from - first, to - first, column.data() + (from - c.skip)))
        return report.fail(where() + "it holds text, not samples");
    }
    first += r.count;
  }
  return read_status::ok;
}

}  // namespace

int read_miniseed(const ReadSource& file, const ChannelRequest& want, Voice voice, int max_samples,
                  Recording& rec, UnitTable& units, ReadNotes& notes) {
  silence_library_log();
  const Report report(voice, notes);

  std::vector<char> bytes;
  if (const int status = load(file, units, report, bytes); status != read_status::ok) return status;
  std::vector<Stream> streams;
  if (const int status = scan(bytes, report, streams); status != read_status::ok) return status;
  Choice choice;
  if (const int status = pick(streams, want, report, choice); status != read_status::ok) {
    return status;
  }

  std::array<Channel, 3> channels;
  for (std::size_t k = 0; k < 3; ++k) {
    channels[k].code = choice.stream[k]->channel;
    channels[k].records = choice.stream[k]->records;
    std::stable_sort(channels[k].records.begin(), channels[k].records.end(),
                     [](const RecordRef& a, const RecordRef& b) { return a.start < b.start; });
  }
  double rate = 0.0;
  if (const int status = check_rates(channels, report, rate); status != read_status::ok) {
    return status;
  }
  const double period = 1.0e6 / rate;
  for (Channel& c : channels) split_runs(c, period);
  int nsamp = 0;
  double first_time = 0.0;
  if (const int status = common_span(channels, period, max_samples, report, nsamp, first_time);
      status != read_status::ok) {
    return status;
  }
  for (std::size_t k = 0; k < 3; ++k) {
    rec.component[k].resize(static_cast<std::size_t>(nsamp));
    const int status = decode(bytes, channels[k], nsamp, report, rec.component[k]);
    if (status != read_status::ok) return status;
  }

  rec.dt = static_cast<float>(1.0 / rate);
  rec.start_time = first_time * 1.0e-6;
  rec.station = choice.station;
  rec.site = site_name(choice.stream[0]->network, choice.station);
  for (std::size_t k = 0; k < 3; ++k) {
    rec.channel[k] = channels[k].code;
    rec.labels[k] = channels[k].code;
  }
  rec.labels[3] = "counts";
  return read_status::ok;
}

}  // namespace hv
