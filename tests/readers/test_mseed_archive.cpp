// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <functional>
#include <vector>

#include "readers/mseed_archive.hpp"
#include "tests/support/run.hpp"
#include "tools/synth_mseed.hpp"

namespace hv {
namespace {

using synth::MseedBlock;
using synth::MseedEncoding;
using Code = ArchiveProblem::Code;

constexpr double rate = 10.0;
constexpr std::int64_t t0 = 1'500'000'000'000'000;  // microseconds

// Sample i of a channel tells the channel and i: tag * 100000 + i.
double value(const std::string& channel, std::int64_t i) {
  const int tag = channel.back() == 'Z' ? 1 : channel.back() == 'N' ? 2 : 3;
  return tag * 100000.0 + static_cast<double>(i);
}

MseedBlock block(const std::string& channel, std::int64_t first, std::int64_t count,
                 std::int64_t shift_us = 0, const std::string& station = "SYN") {
  MseedBlock b;
  b.channel = channel;
  b.station = station;
  b.rate = rate;
  b.start_us = t0 + first * 100'000 + shift_us;
  for (std::int64_t i = 0; i < count; ++i) b.samples.push_back(value(channel, first + i));
  return b;
}

std::vector<MseedBlock> three(std::int64_t first, std::int64_t count) {
  return {block("BHZ", first, count), block("BHN", first, count), block("BHE", first, count)};
}

class Archive : public ::testing::Test {
 public:
  std::string write(const std::string& name, const std::vector<MseedBlock>& blocks,
                    bool interleave = false) {
    const std::string path = dir.file(name);
    synth::write_miniseed(path, blocks, interleave);
    files.push_back(path);
    return path;
  }
  int open() { return archive.open(files, want, problem); }
  // Every sample of every stretch holds the value of its time.
  void expect_samples() {
    for (int s = 0; s < static_cast<int>(archive.stretches().size()); ++s) {
      const ArchiveStretch& st = archive.stretches()[static_cast<std::size_t>(s)];
      Recording rec;
      ASSERT_EQ(archive.read({s, 0, st.nsamp}, rec, problem), 0);
      const std::int64_t first = std::llround((st.start - t0 * 1.0e-6) * rate);
      for (std::size_t k = 0; k < 3; ++k) {
        const std::string code(rec.channel[k].trimmed());
        for (std::int64_t i = 0; i < st.nsamp; ++i) {
          ASSERT_EQ(rec.component[k][static_cast<std::size_t>(i)],
                    static_cast<float>(value(code, first + i)))
              << "stretch " << s << " channel " << code << " sample " << i;
        }
      }
    }
  }
  test::TempDir dir;
  std::vector<std::string> files;
  ChannelRequest want;
  MseedArchive archive;
  ArchiveProblem problem;
};

// How one archive is split into files must not matter: per channel and per part,
// shuffled, all in one multiplexed file, or with a stretch given twice.
struct Split {
  const char* name;
  std::function<void(Archive&)> write;
};

class ArchiveSplits : public Archive, public ::testing::WithParamInterface<Split> {};

TEST_P(ArchiveSplits, AssembleOneStretchInTimeOrder) {
  GetParam().write(*this);
  ASSERT_EQ(open(), 0) << static_cast<int>(problem.code);
  ASSERT_EQ(archive.stretches().size(), 1u);
  EXPECT_EQ(archive.stretches()[0].nsamp, 3000);
  EXPECT_DOUBLE_EQ(archive.stretches()[0].start, t0 * 1.0e-6);
  expect_samples();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ArchiveSplits,
    ::testing::Values(
        Split{"one_multiplexed_file", [](Archive& a) { a.write("all", three(0, 3000), true); }},
        Split{"per_channel_per_part_listed_backwards",
              [](Archive& a) {
                for (int part = 2; part >= 0; --part) {
                  for (const char* c : {"BHE", "BHN", "BHZ"}) {
                    a.write(std::string(c) + std::to_string(part), {block(c, part * 1000, 1000)});
                  }
                }
              }},
        Split{"overlapping_files_with_the_same_samples",
              [](Archive& a) {
                a.write("a", three(0, 2000), true);
                a.write("b", three(1500, 1500), true);
                a.write("again", three(0, 2000), true);
              }},
        Split{"channels_starting_at_different_times",
              [](Archive& a) {
                a.write("z", {block("BHZ", 0, 3100)});
                a.write("n", {block("BHN", 0, 3000)});
                a.write("e", {block("BHE", 0, 3000)});
              }},
        Split{"a_shift_below_half_a_sample_continues",
              [](Archive& a) {
                a.write("a", three(0, 1000), true);
                a.write("b",
                        {block("BHZ", 1000, 2000, 40'000), block("BHN", 1000, 2000, 40'000),
                         block("BHE", 1000, 2000, 40'000)},
                        true);
              }}),
    [](const auto& info) { return std::string(info.param.name); });

// Both sides of the half-sample rule, and where a span's pieces begin and end.
TEST_F(Archive, GapOfMoreThanHalfASampleSplitsAndPiecesFollowTheBounds) {
  write("a", three(0, 1000), true);
  write("b",
        {block("BHZ", 1000, 1000, 60'000), block("BHN", 1000, 1000, 60'000),
         block("BHE", 1000, 1000, 60'000)},
        true);
  ASSERT_EQ(open(), 0);
  ASSERT_EQ(archive.stretches().size(), 2u);
  EXPECT_EQ(archive.stretches()[0].nsamp, 1000);
  EXPECT_DOUBLE_EQ(archive.stretches()[1].start, t0 * 1.0e-6 + 100.06);
  // From 50 s to 150 s: samples 500..999 of the first, samples 0..499 of the second
  // (its sample 500 lies at 150.06 s, its sample 499 at 149.96 s).
  const double base = t0 * 1.0e-6;
  const std::vector<StretchPiece> pieces = archive.pieces(base + 50.0, base + 150.0);
  ASSERT_EQ(pieces.size(), 2u);
  EXPECT_EQ(pieces[0].first, 500);
  EXPECT_EQ(pieces[0].count, 500);
  EXPECT_EQ(pieces[1].first, 0);
  EXPECT_EQ(pieces[1].count, 500);
  Recording rec;
  ASSERT_EQ(archive.read(pieces[1], rec, problem), 0);
  EXPECT_EQ(rec.component[2][0], static_cast<float>(value("BHE", 1000)));
  EXPECT_DOUBLE_EQ(*rec.start_time, base + 100.06);
  EXPECT_EQ(rec.site, "XX.SYN");
}

TEST_F(Archive, DisagreeingOverlapIsRefusedNamingBothFilesAndTheTime) {
  const std::string a = write("a", three(0, 1000), true);
  std::vector<MseedBlock> later = three(900, 600);
  later[1].samples[50] += 1.0;  // BHN sample 950 differs
  const std::string b = write("b", later, true);
  EXPECT_EQ(open(), read_status::failed);
  EXPECT_EQ(problem.code, Code::overlap_disagrees);
  EXPECT_EQ(problem.file, b);
  EXPECT_EQ(problem.other_file, a);
  EXPECT_EQ(problem.channel, "BHN");
  EXPECT_DOUBLE_EQ(problem.time, t0 * 1.0e-6 + 95.0);
}

// A record damaged after it was written passes the index (its header is sound) and is
// refused when its samples are read: Steim frames changed, or a count larger than the
// record holds, which libmseed would copy from past the record.
struct Damage {
  const char* name;
  MseedEncoding encoding;
  std::uint64_t offset;  // of the damaged record
  std::function<void(std::string&)> harm;
};

class DamagedRecord : public Archive, public ::testing::WithParamInterface<Damage> {};

TEST_P(DamagedRecord, IsRefusedWhenRead) {
  std::vector<MseedBlock> blocks = three(0, 300);
  for (MseedBlock& b : blocks) b.encoding = GetParam().encoding;
  std::string bytes = synth::pack_miniseed(blocks);
  GetParam().harm(bytes);
  const std::string path = dir.file("damaged");
  std::ofstream(path, std::ios::binary) << bytes;
  files.push_back(path);
  ASSERT_EQ(open(), 0);
  Recording rec;
  EXPECT_EQ(archive.read({0, 0, archive.stretches()[0].nsamp}, rec, problem), read_status::failed);
  EXPECT_EQ(problem.code, Code::record_damaged);
  EXPECT_EQ(problem.file, path);
  EXPECT_EQ(problem.offset, GetParam().offset);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DamagedRecord,
    ::testing::Values(
        Damage{"steim_frames", MseedEncoding::steim2, 0,
               [](std::string& b) { b[64 + 100] = static_cast<char>(b[64 + 100] ^ 0x5a); }},
        // 512-byte INT32 records hold 112 samples: BHZ's third record (76) claims 4095.
        Damage{"count_beyond_the_record", MseedEncoding::int32, 1024,
               [](std::string& b) {
                 b[1024 + 30] = '\x0f';
                 b[1024 + 31] = '\xff';
               }}),
    [](const auto& info) { return std::string(info.param.name); });

// Every refusal names its reason, and the file where one file is at fault.
struct Refusal {
  const char* name;
  std::function<void(Archive&)> write;
  Code code;
  int file;  // index in the list of the file named, or -1
};

class ArchiveRefusals : public Archive, public ::testing::WithParamInterface<Refusal> {};

TEST_P(ArchiveRefusals, NameTheReason) {
  GetParam().write(*this);
  EXPECT_EQ(open(), read_status::failed);
  EXPECT_EQ(problem.code, GetParam().code);
  if (GetParam().file >= 0) {
    EXPECT_EQ(problem.file, files[static_cast<std::size_t>(GetParam().file)]);
  }
}

void raw(Archive& a, const std::string& name, const std::string& bytes) {
  const std::string path = a.dir.file(name);
  std::ofstream(path, std::ios::binary) << bytes;
  a.files.push_back(path);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ArchiveRefusals,
    ::testing::Values(
        Refusal{"missing_file",
                [](Archive& a) {
                  a.write("a", three(0, 100), true);
                  a.files.push_back(a.dir.file("none"));
                },
                Code::file_unreadable, 1},
        Refusal{"empty_file", [](Archive& a) { raw(a, "e", ""); }, Code::file_empty, 0},
        Refusal{"not_miniseed", [](Archive& a) { raw(a, "t", std::string(600, 'x')); },
                Code::not_miniseed, 0},
        Refusal{"cut_record",
                [](Archive& a) { raw(a, "c", synth::pack_miniseed(three(0, 100)).substr(0, 700)); },
                Code::record_cut, 0},
        Refusal{"another_station",
                [](Archive& a) {
                  a.write("a", three(0, 100), true);
                  a.write("b", {block("BHZ", 100, 100, 0, "OTH")});
                },
                Code::stations_mixed, 1},
        Refusal{"another_rate",
                [](Archive& a) {
                  a.write("a", three(0, 100), true);
                  MseedBlock b = block("BHN", 100, 100);
                  b.rate = 20.0;
                  a.write("b", {b});
                },
                Code::rate_differs, 1},
        Refusal{"station_asked_for_is_absent",
                [](Archive& a) {
                  a.write("a", three(0, 100), true);
                  a.want.station = "ABC";
                },
                Code::station_absent, -1},
        Refusal{"no_east_channel",
                [](Archive& a) {
                  a.write("a", {block("BHZ", 0, 10), block("BHN", 0, 10)});
                },
                Code::channel_absent, -1},
        Refusal{"misaligned_channels",
                [](Archive& a) {
                  a.write("a", {block("BHZ", 0, 100), block("BHN", 0, 100),
                                block("BHE", 0, 100, 30'000)});
                },
                Code::channels_misaligned, -1}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace hv
