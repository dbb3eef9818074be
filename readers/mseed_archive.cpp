// SPDX-License-Identifier: GPL-3.0-or-later
#include "readers/mseed_archive.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <fstream>
#include <map>
#include <string_view>
#include <tuple>

#include "readers/mseed_record.hpp"

namespace hv {

namespace {

using Code = ArchiveProblem::Code;

// Sampling rates outside these bounds are refused, as the single-file reader does.
constexpr double min_rate = 1.0e-3;
constexpr double max_rate = 1.0e5;
// A segment remembers where every so many of its records begin, so that a span is
// read from near its start without walking the segment from its beginning.
constexpr std::int64_t mark_every = 64;
// Samples compared at a time where records overlap.
constexpr std::int64_t compare_chunk = 1 << 16;

bool rates_differ(double a, double b) {
  return std::abs(a - b) > 1.0e-9 * std::abs(a);
}

struct StreamKey {
  std::string network, station, location, channel;
  auto tie() const { return std::tie(network, station, location, channel); }
  bool operator<(const StreamKey& o) const { return tie() < o.tie(); }
  bool matches(const MSRecord& m) const {
    return network == m.network && station == m.station && location == m.location &&
           channel == m.channel;
  }
};

struct Mark {
  std::uint64_t offset;
  std::int64_t sample;  // index in the segment of the record's first sample
};

// Consecutive records of one stream in one file whose samples follow each other.
// Records of the stream between first and last offset all belong to it.
struct Segment {
  int stream = 0;
  int file = 0;
  double start = 0.0;  // seconds
  double rate = 0.0;
  std::int64_t nsamp = 0;
  std::int64_t records = 0;
  std::uint64_t last_offset = 0;
  std::vector<Mark> marks;
};

// A gap-free run of one channel, made of segments: part k gives run samples from
// parts[k].from on, taken from its segment from sample skip on.
struct Part {
  int segment;
  std::int64_t from;
  std::int64_t skip;
};
struct Run {
  double start = 0.0;
  std::int64_t nsamp = 0;
  std::vector<Part> parts;
};

// The records of one file read one after the other through a window of its bytes.
// A reader holds libmseed's lock for its lifetime: a segment's records are parsed in
// one go, so threads reading beside each other hand the library over once a segment
// rather than once a record.
class RecordReader {
 public:
  explicit RecordReader(const std::string& path)
      : hold_(libmseed_lock()), in_(path, std::ios::binary) {
    if (in_) {
      in_.seekg(0, std::ios::end);
      size_ = static_cast<std::uint64_t>(std::max<std::streamoff>(0, in_.tellg()));
      in_.seekg(0);
    }
  }
  RecordReader(const RecordReader&) = delete;
  RecordReader& operator=(const RecordReader&) = delete;
  ~RecordReader() { msr_free(&msr_); }

  bool is_open() const { return static_cast<bool>(in_); }
  std::uint64_t size() const { return size_; }

  // 0: the record at offset is parsed (and decoded when asked); 1: the file ends
  // inside it; -1: the bytes are not a record; -2: the file cannot be read;
  // other values below 0: libmseed's decoding error.
  int parse(std::uint64_t offset, bool decode) {
    std::size_t want = 4096;
    while (true) {
      want = static_cast<std::size_t>(std::min<std::uint64_t>(want, size_ - offset));
      if (!load(offset, want)) return -2;
      const auto* at = bytes_.data() + (offset - base_);
      const int status =
          msr_parse(const_cast<char*>(at), static_cast<int>(want), &msr_, -1, decode ? 1 : 0, 0);
      if (status == 0) return msr_ != nullptr && msr_->reclen > 0 ? 0 : -1;
      if (status < 0) return decode && status != MS_NOTSEED ? status : -1;
      if (offset + want >= size_ || want >= MAXRECLEN) return 1;
      want = std::min<std::size_t>(MAXRECLEN, want + static_cast<std::size_t>(status) + 64);
    }
  }
  const MSRecord& record() const { return *msr_; }

 private:
  bool load(std::uint64_t offset, std::size_t want) {
    if (offset >= base_ && offset + want <= base_ + loaded_) return true;
    const std::size_t n = static_cast<std::size_t>(
        std::min<std::uint64_t>(std::max<std::size_t>(want, 1 << 16), size_ - offset));
    bytes_.resize(n + libmseed_slack);
    loaded_ = 0;
    in_.clear();
    in_.seekg(static_cast<std::streamoff>(offset));
    if (!in_.read(bytes_.data(), static_cast<std::streamsize>(n))) return false;
    base_ = offset;
    loaded_ = n;
    return true;
  }

  std::lock_guard<std::mutex> hold_;
  std::ifstream in_;
  std::uint64_t size_ = 0;
  std::vector<char> bytes_;  // loaded_ bytes of the file from base_ on, then slack
  std::size_t loaded_ = 0;
  std::uint64_t base_ = 0;
  MSRecord* msr_ = nullptr;
};

double record_start(const MSRecord& m) {
  return static_cast<double>(msr_starttime(const_cast<MSRecord*>(&m))) * 1.0e-6;
}

double record_rate(const MSRecord& m) {
  return msr_samprate(const_cast<MSRecord*>(&m));
}

std::string source_name(const StreamKey& k) {
  return k.network + "." + (k.location.empty() ? "--" : k.location);
}

void add_unique(std::vector<std::string>& items, const std::string& item) {
  if (std::find(items.begin(), items.end(), item) == items.end()) items.push_back(item);
}

constexpr std::array<std::string_view, 3> last_letters = {"Z", "N1", "E2"};

}  // namespace

struct MseedArchive::Index {
  std::vector<std::string> files;
  std::vector<StreamKey> streams;
  std::vector<Segment> segments;
  std::array<int, 3> chosen{};  // stream of each component
  std::array<std::vector<Run>, 3> runs;
  double rate = 0.0;
  double period = 0.0;
  std::vector<ArchiveStretch> stretches;
  // Per stretch and component: the run and the run sample of the stretch's sample 0.
  std::vector<std::array<std::pair<int, std::int64_t>, 3>> origin;

  int scan_file(int file, ArchiveProblem& problem);
  int choose(const ChannelRequest& want, ArchiveProblem& problem);
  int build_runs(int k, ArchiveProblem& problem);
  int intersect(ArchiveProblem& problem);

  template <typename Out>
  int read_segment(int s, std::int64_t from, std::int64_t count, Out* out,
                   ArchiveProblem& problem) const;
  template <typename Out>
  int read_run(const Run& run, std::int64_t from, std::int64_t count, Out* out,
               ArchiveProblem& problem) const;
  // The segment that gives run sample i.
  const Segment& segment_at(const Run& run, std::int64_t i) const;
};

int MseedArchive::Index::scan_file(int file, ArchiveProblem& problem) {
  const auto fail = [&](Code code, std::uint64_t offset = 0) {
    problem.code = code;
    problem.file = files[static_cast<std::size_t>(file)];
    problem.offset = offset;
    return read_status::failed;
  };
  RecordReader reader(files[static_cast<std::size_t>(file)]);
  if (!reader.is_open()) return fail(Code::file_unreadable);
  if (reader.size() == 0) return fail(Code::file_empty);
  std::map<int, int> open;  // stream -> its segment still growing in this file
  std::uint64_t offset = 0;
  while (offset < reader.size()) {
    const int status = reader.parse(offset, false);
    if (status == -2) return fail(Code::file_unreadable);
    if (status < 0) return fail(Code::not_miniseed, offset);
    if (status > 0) return fail(Code::record_cut, offset);
    const MSRecord& m = reader.record();
    if (m.samplecnt > 0) {
      StreamKey key{m.network, m.station, m.location, m.channel};
      auto it = std::find_if(streams.begin(), streams.end(),
                             [&](const StreamKey& s) { return !(s < key) && !(key < s); });
      const int stream = static_cast<int>(it - streams.begin());
      if (it == streams.end()) streams.push_back(std::move(key));
      const double rate_here = record_rate(m);
      const double start = record_start(m);
      if (!(rate_here >= min_rate && rate_here <= max_rate)) {
        problem.channel = m.channel;
        problem.time = start;
        problem.value = rate_here;
        return fail(Code::rate_out_of_range, offset);
      }
      Segment* seg = nullptr;
      if (auto o = open.find(stream); o != open.end()) {
        Segment& s = segments[static_cast<std::size_t>(o->second)];
        const double due = s.start + static_cast<double>(s.nsamp) / s.rate;
        if (!rates_differ(s.rate, rate_here) && std::abs(start - due) <= 0.5 / s.rate) seg = &s;
      }
      if (seg == nullptr) {
        open[stream] = static_cast<int>(segments.size());
        seg = &segments.emplace_back();
        seg->stream = stream;
        seg->file = file;
        seg->start = start;
        seg->rate = rate_here;
      }
      if (seg->records % mark_every == 0) seg->marks.push_back({offset, seg->nsamp});
      ++seg->records;
      seg->nsamp += m.samplecnt;
      seg->last_offset = offset;
    }
    offset += static_cast<std::uint64_t>(m.reclen);
  }
  return read_status::ok;
}

int MseedArchive::Index::choose(const ChannelRequest& want, ArchiveProblem& problem) {
  if (segments.empty()) {
    problem.code = Code::no_samples;
    return read_status::failed;
  }
  // The station: the one asked for, else the one the archive holds; records of any
  // other station mean files of another station were listed.
  std::string station(want.station.trimmed());
  std::vector<std::string> stations;
  for (const StreamKey& k : streams) add_unique(stations, k.station);
  if (!station.empty() && std::find(stations.begin(), stations.end(), station) == stations.end()) {
    problem.code = Code::station_absent;
    problem.channel = station;
    problem.names = stations;
    return read_status::failed;
  }
  for (const Segment& s : segments) {
    const std::string& here = streams[static_cast<std::size_t>(s.stream)].station;
    if (station.empty()) station = here;
    if (here != station) {
      problem.code = Code::stations_mixed;
      problem.file = files[static_cast<std::size_t>(s.file)];
      problem.names = {station, here};
      return read_status::failed;
    }
  }
  std::vector<int> candidates;
  std::vector<std::string> channels;
  for (int i = 0; i < static_cast<int>(streams.size()); ++i) {
    if (streams[static_cast<std::size_t>(i)].station == station) {
      candidates.push_back(i);
      add_unique(channels, streams[static_cast<std::size_t>(i)].channel);
    }
  }
  for (std::size_t k = 0; k < 3; ++k) {
    std::vector<int> fit;
    for (const int i : candidates) {
      const std::string& code = streams[static_cast<std::size_t>(i)].channel;
      const bool ok = want.channel[k].blank()
                          ? !code.empty() && last_letters[k].find(code.back()) != std::string::npos
                          : code == want.channel[k].trimmed();
      if (ok) fit.push_back(i);
    }
    if (fit.empty()) {
      problem.code = Code::channel_absent;
      problem.channel =
          want.channel[k].blank() ? std::string(last_letters[k]) : want.channel[k].trimmed();
      problem.names = channels;
      return read_status::failed;
    }
    if (fit.size() > 1) {
      problem.code = Code::channel_ambiguous;
      for (const int i : fit) {
        const StreamKey& s = streams[static_cast<std::size_t>(i)];
        problem.names.push_back(source_name(s) + "." + s.channel);
      }
      return read_status::failed;
    }
    chosen[k] = fit.front();
  }
  for (std::size_t a = 0; a < 3; ++a) {
    for (std::size_t b = a + 1; b < 3; ++b) {
      if (chosen[a] == chosen[b]) {
        problem.code = Code::channel_twice;
        problem.channel = streams[static_cast<std::size_t>(chosen[a])].channel;
        return read_status::failed;
      }
    }
  }
  std::vector<std::string> sources;
  for (const int i : chosen) add_unique(sources, source_name(streams[static_cast<std::size_t>(i)]));
  if (sources.size() > 1) {
    problem.code = Code::sources_mixed;
    problem.names = sources;
    return read_status::failed;
  }
  // One rate for the three channels, through every file.
  const Segment* first = nullptr;
  for (const Segment& s : segments) {
    if (std::find(chosen.begin(), chosen.end(), s.stream) == chosen.end()) continue;
    if (first == nullptr) first = &s;
    if (rates_differ(first->rate, s.rate)) {
      problem.code = Code::rate_differs;
      problem.file = files[static_cast<std::size_t>(s.file)];
      problem.channel = streams[static_cast<std::size_t>(s.stream)].channel;
      problem.time = s.start;
      problem.value = s.rate;
      problem.expected = first->rate;
      return read_status::failed;
    }
  }
  rate = first->rate;
  period = 1.0 / rate;
  return read_status::ok;
}

const Segment& MseedArchive::Index::segment_at(const Run& run, std::int64_t i) const {
  auto it = std::upper_bound(run.parts.begin(), run.parts.end(), i,
                             [](std::int64_t v, const Part& p) { return v < p.from; });
  return segments[static_cast<std::size_t>(std::prev(it)->segment)];
}

template <typename Out>
int MseedArchive::Index::read_segment(int s, std::int64_t from, std::int64_t count, Out* out,
                                      ArchiveProblem& problem) const {
  const Segment& seg = segments[static_cast<std::size_t>(s)];
  const StreamKey& key = streams[static_cast<std::size_t>(seg.stream)];
  const std::string& path = files[static_cast<std::size_t>(seg.file)];
  auto mark = std::upper_bound(seg.marks.begin(), seg.marks.end(), from,
                               [](std::int64_t v, const Mark& m) { return v < m.sample; });
  mark = std::prev(mark);
  std::uint64_t offset = mark->offset;
  std::int64_t index = mark->sample;
  const std::int64_t to = from + count;
  const auto damaged = [&](const char* why) {
    problem.code = Code::record_damaged;
    problem.file = path;
    problem.offset = offset;
    problem.channel = key.channel;
    problem.names = {why};
    return read_status::failed;
  };
  RecordReader reader(path);
  if (!reader.is_open()) {
    problem.code = Code::file_unreadable;
    problem.file = path;
    return read_status::failed;
  }
  while (index < to && offset <= seg.last_offset) {
    if (reader.parse(offset, false) != 0) return damaged("it can no longer be read");
    const MSRecord& head = reader.record();
    const auto length = static_cast<std::uint64_t>(head.reclen);
    const std::int64_t n = head.samplecnt;
    if (n > 0 && key.matches(head)) {
      if (index + n > from) {
        if (!samples_fit(head))
          return damaged("it announces more samples than its data section holds");
        const int status = reader.parse(offset, true);
        if (status == MS_UNKNOWNFORMAT) {
          return damaged("its data encoding is not one that can be decoded");
        }
        if (status == MS_STBADCOMPFLAG) return damaged("its Steim compression flags are not valid");
        if (status != 0) return damaged("its data cannot be decoded");
        const MSRecord& m = reader.record();
        if (m.numsamples != n) return damaged("it decodes to fewer samples than it announces");
        if (!steim_intact(m)) return damaged("its samples do not end on the last value it records");
        const std::int64_t a = std::max(index, from), b = std::min(index + n, to);
        if (!copy_decoded(m, a - index, b - index, out + (a - from)))
          return damaged("it holds text, not samples");
      }
      index += n;
    }
    offset += length;
  }
  if (index < to) return damaged("the segment ends before its indexed samples");
  return read_status::ok;
}

template <typename Out>
int MseedArchive::Index::read_run(const Run& run, std::int64_t from, std::int64_t count, Out* out,
                                  ArchiveProblem& problem) const {
  for (std::size_t p = 0; p < run.parts.size() && count > 0; ++p) {
    const Part& part = run.parts[p];
    const std::int64_t end = p + 1 < run.parts.size() ? run.parts[p + 1].from : run.nsamp;
    if (from >= end) continue;
    const std::int64_t n = std::min(count, end - from);
    if (read_segment(part.segment, part.skip + (from - part.from), n, out, problem) != 0) {
      return read_status::failed;
    }
    out += n;
    from += n;
    count -= n;
  }
  return read_status::ok;
}

int MseedArchive::Index::build_runs(int k, ArchiveProblem& problem) {
  std::vector<int> order;
  for (int s = 0; s < static_cast<int>(segments.size()); ++s) {
    if (segments[static_cast<std::size_t>(s)].stream == chosen[static_cast<std::size_t>(k)]) {
      order.push_back(s);
    }
  }
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
    return segments[static_cast<std::size_t>(a)].start <
           segments[static_cast<std::size_t>(b)].start;
  });
  std::vector<Run>& out = runs[static_cast<std::size_t>(k)];
  std::vector<double> mine, theirs;
  for (const int s : order) {
    const Segment& seg = segments[static_cast<std::size_t>(s)];
    if (!out.empty()) {
      Run& run = out.back();
      const double due = run.start + static_cast<double>(run.nsamp) * period;
      if (seg.start <= due + period / 2) {
        const std::int64_t at = std::llround((seg.start - run.start) / period);
        // Samples the segment shares with the run must be the same samples.
        const std::int64_t shared = std::min(run.nsamp - at, seg.nsamp);
        for (std::int64_t done = 0; done < shared; done += compare_chunk) {
          const std::int64_t n = std::min(compare_chunk, shared - done);
          mine.resize(static_cast<std::size_t>(n));
          theirs.resize(static_cast<std::size_t>(n));
          if (read_segment(s, done, n, mine.data(), problem) != 0 ||
              read_run(run, at + done, n, theirs.data(), problem) != 0) {
            return read_status::failed;
          }
          for (std::int64_t i = 0; i < n; ++i) {
            if (mine[static_cast<std::size_t>(i)] == theirs[static_cast<std::size_t>(i)]) continue;
            const Segment& other = segment_at(run, at + done + i);
            problem.code = Code::overlap_disagrees;
            problem.file = files[static_cast<std::size_t>(seg.file)];
            problem.other_file = files[static_cast<std::size_t>(other.file)];
            problem.channel = streams[static_cast<std::size_t>(seg.stream)].channel;
            problem.time = run.start + static_cast<double>(at + done + i) * period;
            return read_status::failed;
          }
        }
        if (at + seg.nsamp > run.nsamp) {
          run.parts.push_back({s, run.nsamp, run.nsamp - at});
          run.nsamp = at + seg.nsamp;
        }
        continue;
      }
    }
    out.push_back({seg.start, seg.nsamp, {{s, 0, 0}}});
  }
  return read_status::ok;
}

int MseedArchive::Index::intersect(ArchiveProblem& problem) {
  std::array<std::size_t, 3> at{};
  const auto run_end = [&](const Run& r) {
    return r.start + static_cast<double>(r.nsamp - 1) * period;
  };
  while (at[0] < runs[0].size() && at[1] < runs[1].size() && at[2] < runs[2].size()) {
    double start = -1.0e300, end = 1.0e300;
    std::size_t earliest = 0;
    for (std::size_t k = 0; k < 3; ++k) {
      const Run& r = runs[k][at[k]];
      start = std::max(start, r.start);
      const double e = run_end(r);
      if (e < end) {
        end = e;
        earliest = k;
      }
    }
    if (end >= start - period / 2) {
      std::array<std::pair<int, std::int64_t>, 3> where{};
      std::array<double, 3> lag{};
      std::int64_t n = INT64_MAX;
      for (std::size_t k = 0; k < 3; ++k) {
        const Run& r = runs[k][at[k]];
        const std::int64_t first =
            std::max<std::int64_t>(0, std::llround((start - r.start) / period));
        where[k] = {static_cast<int>(at[k]), first};
        lag[k] = r.start + static_cast<double>(first) * period - start;
        n = std::min(n, r.nsamp - first);
      }
      for (std::size_t a = 0; a < 3; ++a) {
        for (std::size_t b = 0; b < 3; ++b) {
          if (lag[a] - lag[b] > period / 10) {
            problem.code = Code::channels_misaligned;
            problem.channel = streams[static_cast<std::size_t>(chosen[a])].channel;
            problem.other_channel = streams[static_cast<std::size_t>(chosen[b])].channel;
            problem.time = start;
            problem.value = lag[a] - lag[b];
            return read_status::failed;
          }
        }
      }
      if (n > 0) {
        const Run& r0 = runs[0][at[0]];
        stretches.push_back({r0.start + static_cast<double>(where[0].second) * period, n});
        origin.push_back(where);
      }
    }
    ++at[earliest];
  }
  return read_status::ok;
}

MseedArchive::MseedArchive() = default;
MseedArchive::~MseedArchive() = default;
MseedArchive::MseedArchive(MseedArchive&&) noexcept = default;
MseedArchive& MseedArchive::operator=(MseedArchive&&) noexcept = default;

int MseedArchive::open(std::span<const std::string> files, const ChannelRequest& want,
                       ArchiveProblem& problem) {
  silence_library_log();
  index_ = std::make_unique<Index>();
  Index& x = *index_;
  x.files.assign(files.begin(), files.end());
  for (int f = 0; f < static_cast<int>(files.size()); ++f) {
    if (x.scan_file(f, problem) != read_status::ok) return read_status::failed;
  }
  if (x.choose(want, problem) != read_status::ok) return read_status::failed;
  for (int k = 0; k < 3; ++k) {
    if (x.build_runs(k, problem) != read_status::ok) return read_status::failed;
  }
  return x.intersect(problem);
}

double MseedArchive::period() const {
  return index_->period;
}

float MseedArchive::dt() const {
  return static_cast<float>(1.0 / index_->rate);
}

const std::vector<ArchiveStretch>& MseedArchive::stretches() const {
  return index_->stretches;
}

std::vector<StretchPiece> MseedArchive::pieces(double from, double to) const {
  std::vector<StretchPiece> out;
  const double period = index_->period;
  // A sample due at a bound within a thousandth of a sample counts as on it.
  const double slack = period * 1.0e-3;
  for (int s = 0; s < static_cast<int>(index_->stretches.size()); ++s) {
    const ArchiveStretch& st = index_->stretches[static_cast<std::size_t>(s)];
    const std::int64_t first = std::max<std::int64_t>(
        0, static_cast<std::int64_t>(std::ceil((from - slack - st.start) / period)));
    const std::int64_t last = std::min<std::int64_t>(
        st.nsamp, static_cast<std::int64_t>(std::ceil((to - slack - st.start) / period)));
    if (last > first) out.push_back({s, first, last - first});
  }
  return out;
}

int MseedArchive::read(const StretchPiece& piece, Recording& rec, ArchiveProblem& problem) const {
  const Index& x = *index_;
  const auto& where = x.origin[static_cast<std::size_t>(piece.stretch)];
  rec.resize(static_cast<std::size_t>(piece.count));
  for (std::size_t k = 0; k < 3; ++k) {
    const Run& run = x.runs[k][static_cast<std::size_t>(where[k].first)];
    if (x.read_run(run, where[k].second + piece.first, piece.count, rec.component[k].data(),
                   problem) != read_status::ok) {
      return read_status::failed;
    }
    const std::string& code = x.streams[static_cast<std::size_t>(x.chosen[k])].channel;
    rec.channel[k] = code;
    rec.labels[k] = code;
  }
  rec.labels[3] = "counts";
  const StreamKey& vertical = x.streams[static_cast<std::size_t>(x.chosen[0])];
  rec.station = vertical.station;
  rec.site = site_name(vertical.network, vertical.station);
  rec.dt = dt();
  rec.format = format::miniseed;
  const ArchiveStretch& st = x.stretches[static_cast<std::size_t>(piece.stretch)];
  rec.start_time = st.start + static_cast<double>(piece.first) * x.period;
  return read_status::ok;
}

}  // namespace hv
