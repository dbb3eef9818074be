// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <functional>
#include <memory>
#include <sstream>
#include <vector>

#include "ratiospec/records.hpp"
#include "readers/finite_samples.hpp"
#include "readers/readerth.hpp"
#include "spectral/hps.hpp"
#include "tests/readers/kaf_files.hpp"
#include "tests/support/notices.hpp"
#include "tests/support/param_name.hpp"
#include "tests/support/read_console.hpp"
#include "tests/support/run.hpp"
#include "tools/synth.hpp"
#include "tools/synth_dh.hpp"
#include "tools/synth_gse.hpp"

namespace hv {
namespace {

using test::kaf_text;
using test::minimal_header;
using test::with_line;

// The line that follows a message about a file: a blank and the 200-character name.
std::string file_line(const std::string& path) {
  return " " + Name(path).str();
}

class DispatchTest : public ::testing::Test {
 protected:
  std::string write(const std::string& name, const std::string& text) {
    const std::string path = dir.file(name);
    test::write_file(path, text);
    return path;
  }
  WindowEntry& add_entry(const std::string& path, int format = 2) {
    WindowEntry w;
    w.file = path;
    w.format = format;
    w.station = "STA";
    w.channel = {Text<3>("Z"), Text<3>("N"), Text<3>("E")};
    windows.entry.push_back(w);
    return windows.entry.back();
  }
  int readerth(int entry) {
    return test::read_into(console, Voice::ratiospec, windows(entry).file, [&](ReadNotes& notes) {
      return READERTH(windows(entry), NTIME, rec, units, notes);
    });
  }
  int readerthw(int& format, const std::string& path) {
    return test::read_into(console, Voice::calmpick, Name(path), [&](ReadNotes& notes) {
      return READERTHW(format, Name(path), NTIME, rec, units, notes);
    });
  }
  std::vector<std::string> lines() const { return test::split_lines(console.str()); }

  test::TempDir dir;
  WINDOWS windows;
  PARAMETERS par;
  Recording rec;
  UnitTable units;
  std::ostringstream console;
};

TEST_F(DispatchTest, ReaderthTakesIntervalAndLabelsFromKaf) {
  auto header = with_line(minimal_header(), "CH0_ID", "CH0_ID = VERTICAL_COMPONENT_X");
  header = with_line(header, "UNITS", "UNITS = counts");
  add_entry(write("a.kaf", kaf_text(header, test::two_samples)));
  par.offset_rem = "no";
  ASSERT_EQ(readerth(1), 0) << console.str();
  EXPECT_EQ(console.str(), "");
  EXPECT_EQ(rec.nsamp(), 2);
  EXPECT_EQ(rec.dt, 1.0f / 100.0f);
  EXPECT_EQ(rec.labels[0], "VERTICAL_COM");
  EXPECT_EQ(rec.labels[1], "N");
  EXPECT_EQ(rec.labels[2], "E");
  EXPECT_EQ(rec.labels[3], "counts");
  EXPECT_EQ(rec.component[2][1], -0.6f);
}

// One failing KAF file and the lines each dispatcher prints for it; "FILE" stands for
// the file-name line.
struct KafFailure {
  std::string name;
  std::string text;  // empty: the file does not exist
  std::vector<std::string> ratiospec;
  std::vector<std::string> calmpick;
};
void PrintTo(const KafFailure& c, std::ostream* os) {
  *os << c.name;
}

std::vector<std::string> expand(const std::vector<std::string>& lines, const std::string& path) {
  std::vector<std::string> out;
  for (const auto& line : lines) out.push_back(line == "FILE" ? file_line(path) : line);
  return out;
}

class KafFailureMessages : public DispatchTest, public ::testing::WithParamInterface<KafFailure> {
 protected:
  std::string prepare() {
    const std::string path = dir.file("bad.kaf");
    if (!GetParam().text.empty()) test::write_file(path, GetParam().text);
    return path;
  }
};

TEST_P(KafFailureMessages, RatiospecForm) {
  const std::string path = prepare();
  add_entry(path);
  EXPECT_EQ(readerth(1), 1);
  EXPECT_EQ(lines(), expand(GetParam().ratiospec, path));
  EXPECT_EQ(rec.nsamp(), 0);
}

TEST_P(KafFailureMessages, CalmpickForm) {
  const std::string path = prepare();
  int format = 2;
  EXPECT_EQ(readerthw(format, path), 1);
  EXPECT_EQ(lines(), expand(GetParam().calmpick, path));
}

const std::string not_kaf_line = "  READER_KAF : the opened file is NOT a current  version KAF";

INSTANTIATE_TEST_SUITE_P(
    Cases, KafFailureMessages,
    ::testing::Values(
        KafFailure{"Missing",
                   "",
                   {"  RKAF : this file cannot be opened", "FILE"},
                   {"  READER_KAF : this file cannot be opened", "FILE"}},
        KafFailure{"NotKaf",
                   "KORVEN ASCII data format (kaf) v. 2\n",
                   {"  RKAF : the opened file is NOT a current version KAF", "FILE"},
                   // guessed KAF, tried again first in the fallback, then nothing else reads it
                   {not_kaf_line, "FILE", not_kaf_line, "FILE",
                    "   format NOT recognised for this file", "FILE"}},
        KafFailure{"KeysNotSet",
                   kaf_text(with_line(minimal_header(), "CH1_ID", ""), test::two_samples),
                   {"  RKAF : mandatory parameters are not entirely set", "FILE"},
                   {"  READER_KAF : mandatory parameters are not entirely set", "FILE"}},
        KafFailure{"TooManySamples",
                   kaf_text(with_line(minimal_header(), "NDAT", "NDAT = 600002"), ""),
                   {"  RKAF : number of samples      :  600002",
                    "         greater than dimension :  600001", "FILE"},
                   {"  READER_KAF : number of samples      :  600002",
                    "         greater than dimension :  600001", "FILE"}},
        KafFailure{"BadSample",
                   kaf_text(minimal_header(), "1 2 3\n"),
                   {"  RKAF : error reading time histories data", "FILE"},
                   {"  READER_KAF : error reading time histories data", "FILE"}},
        KafFailure{"UnknownKey",
                   kaf_text(with_line(minimal_header(), "UNITS", "UNIT = m/s"), test::two_samples),
                   {"  RKAF : problem reading line number : 6", "FILE"},
                   {"  READER_KAF : problem reading line number : 6", "FILE"}},
        KafFailure{"NegativeNdat",
                   kaf_text(with_line(minimal_header(), "NDAT", "NDAT = -3"), ""),
                   {"  RKAF : problem reading line number : 4",
                    "  RKAF : NDAT must not be negative", "FILE"},
                   {"  READER_KAF : problem reading line number : 4",
                    "  READER_KAF : NDAT must not be negative", "FILE"}},
        KafFailure{"NoSeparator",
                   std::string(test::kaf_first_line) + "\nSTA_CODE = X\n",
                   {"  RKAF : problem reading line number : 3",
                    "  RKAF : the file ends before the header separator line", "FILE"},
                   {"  READER_KAF : problem reading line number : 3",
                    "  READER_KAF : the file ends before the header separator line", "FILE"}}),
    [](const auto& info) { return info.param.name; });

TEST_F(DispatchTest, NoFreeUnitHasNoFileLine) {
  const std::string path = write("a.kaf", kaf_text(minimal_header(), test::two_samples));
  std::vector<std::unique_ptr<UnitFile>> held;
  for (int u = UnitTable::first_unit; u <= UnitTable::last_unit; ++u) {
    held.push_back(std::make_unique<UnitFile>(units, u));
    ASSERT_TRUE(held.back()->open_read(path));
  }
  add_entry(path);
  EXPECT_EQ(readerth(1), 1);
  EXPECT_EQ(lines(), (std::vector<std::string>{"  RKAF : this error should be impossible",
                                               "  no unused logical unit could be obtained"}));
}

// Consecutive window lines of one recording share its read; another station,
// channel, format or file is read again.
TEST_F(DispatchTest, SameRecordingOnlyForTheSameFileStationChannelsAndFormat) {
  const WindowEntry first = add_entry("a.kaf");
  std::vector<std::pair<std::string, WindowEntry>> cases(5, {"same", first});
  cases[1] = {"station", first};
  cases[1].second.station = "OTHER";
  cases[2] = {"channel", first};
  cases[2].second.channel[1] = "X";
  cases[3] = {"format", first};
  cases[3].second.format = 4;
  cases[4] = {"file", first};
  cases[4].second.file = "b.kaf";
  for (const auto& [what, entry] : cases)
    EXPECT_EQ(same_recording(first, entry), what == "same") << what;
}
struct OffsetCase {
  std::string value;
  int status;
  float first;          // column 1, sample 1 afterwards: 1 as read, -2 without the mean
  std::string message;  // start of the console output
};
void PrintTo(const OffsetCase& c, std::ostream* os) {
  *os << ::testing::PrintToString(c.value);
}
class OffsetOption : public DispatchTest, public ::testing::WithParamInterface<OffsetCase> {};

// Columns (1 3 5), (2 4 9), (30 50 70): means 3, 5 and 50.
TEST_P(OffsetOption, ConditionsTheWholeRecording) {
  const OffsetCase& c = GetParam();
  add_entry(write("a.kaf", kaf_text(with_line(minimal_header(), "NDAT", "NDAT = 3"),
                                    "1 2 30\n3 4 50\n5 9 70\n")));
  par.offset_rem = c.value;
  ASSERT_EQ(readerth(1), 0);
  // The recording as read, conditioned as the computation does it.
  const Parsed<Conditioning> parsed = parse_offset_rem(par.offset_rem.view());
  Notices notes = test::refusal_of(parsed);
  const int status =
      parsed.ok()
          ? condition_recording(*parsed.value, rec.dt,
                                {rec.component[0], rec.component[1], rec.component[2]}, notes)
          : 1;
  console << test::rendered(notes, par);
  EXPECT_EQ(status, c.status);
  EXPECT_EQ(console.str().substr(0, c.message.size()), c.message);
  if (c.status != 0) return;
  EXPECT_EQ(console.str(), "");
  EXPECT_EQ(rec.component[0][0], c.first);
  EXPECT_EQ(rec.component[1][2], c.first == 1.0f ? 9.0f : 4.0f);
  EXPECT_EQ(rec.component[2][0], c.first == 1.0f ? 30.0f : -20.0f);
}

const std::string refused = "   ERROR in 'offset removal' parameter: ";
const std::string not_recognised = "\n  The key is NOT recognised\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, OffsetOption,
    ::testing::Values(
        OffsetCase{"r_mean:all", 0, -2.0f, ""}, OffsetCase{"r_mean", 0, -2.0f, ""},
        OffsetCase{" r_mean : all ", 0, -2.0f, ""}, OffsetCase{"r_mean:win", 0, 1.0f, ""},
        OffsetCase{"no", 0, 1.0f, ""},
        OffsetCase{"R_MEAN", 1, 0.0f, refused + Option("R_MEAN").str() + not_recognised},
        OffsetCase{"mean:all", 1, 0.0f, refused + Option("mean:all").str() + not_recognised},
        OffsetCase{"", 1, 0.0f, refused + Option("").str() + not_recognised},
        // Corners are checked against the recording's interval, 0.01 s here.
        OffsetCase{"low-pass:48", 1, 0.0f,
                   refused + Option("low-pass:48").str() + "\n the low-pass corner"},
        OffsetCase{"band-pass:10:1", 1, 0.0f,
                   refused + Option("band-pass:10:1").str() + "\n the lower corner"}),
    test::name_by(&OffsetCase::value));

class FormatIndex : public DispatchTest, public ::testing::WithParamInterface<int> {};

TEST_P(FormatIndex, OutsideOneToFourIsRefused) {
  const std::string path = write("a.kaf", kaf_text(minimal_header(), test::two_samples));
  add_entry(path, GetParam());
  EXPECT_EQ(readerth(1), 1);
  EXPECT_EQ(lines(), (std::vector<std::string>{
                         "   incorrect format index :  " + std::to_string(GetParam()) + " file:",
                         file_line(path)}));
}

INSTANTIATE_TEST_SUITE_P(Cases, FormatIndex, ::testing::Values(0, 5, -1), test::name_by_value);

class CalmpickGuess : public DispatchTest, public ::testing::WithParamInterface<int> {};

TEST_P(CalmpickGuess, KafIsFoundWhateverTheGuess) {
  const std::string path = write("rec.dat", kaf_text(minimal_header(), test::two_samples));
  int format = GetParam();
  ASSERT_EQ(readerthw(format, path), 0) << console.str();
  EXPECT_EQ(format, 2);
  EXPECT_EQ(console.str(), "");
  EXPECT_EQ(rec.channel[0], "Z");
  EXPECT_EQ(rec.channel[1], "NS");
  EXPECT_EQ(rec.channel[2], "EW");
  EXPECT_EQ(rec.station, "TEST");
  EXPECT_EQ(rec.nsamp(), 2);
  EXPECT_EQ(rec.dt, 1.0f / 100.0f);
  EXPECT_EQ(rec.component[0][1], 4.0f);
}

INSTANTIATE_TEST_SUITE_P(Cases, CalmpickGuess, ::testing::Values(0, 1, 2, 3, 4, 9),
                         test::name_by_value);

TEST_F(DispatchTest, CalmpickWithoutGuessTriesKafOnceThenGivesUp) {
  const std::string path = write("noise.txt", "just some text\n");
  int format = 0;
  rec.channel[0] = "Q";
  rec.station = "OLD";
  EXPECT_EQ(readerthw(format, path), 1);
  EXPECT_EQ(lines(),
            (std::vector<std::string>{not_kaf_line, file_line(path),
                                      "   format NOT recognised for this file", file_line(path)}));
  EXPECT_EQ(format, 4) << "the last format tried";
  EXPECT_TRUE(rec.channel[0].blank());
  EXPECT_TRUE(rec.station.blank());
  EXPECT_EQ(rec.nsamp(), 0);
}

// Bytes in memory read exactly as the same bytes in a file, whatever the format:
// the format found, the samples and codes, and what the read says.
struct MemoryCase {
  std::string name;
  std::function<std::string(const std::string& dir)> write;  // the file's path
};
void PrintTo(const MemoryCase& c, std::ostream* os) {
  *os << c.name;
}
class FromMemory : public ::testing::TestWithParam<MemoryCase> {};

TEST_P(FromMemory, ReadsAsTheFileDoes) {
  test::TempDir dir;
  const std::string path = GetParam().write(dir.path().string());
  const std::string bytes = test::read_file(path);
  std::array<std::string, 2> said;
  std::array<Recording, 2> rec;
  std::array<int, 2> status{}, format{};
  for (std::size_t k = 0; k < 2; ++k) {
    UnitTable units;
    ReadNotes notes;
    const ReadSource source = k == 0 ? ReadSource(path) : ReadSource(Name(path), bytes);
    status[k] = READERTHW(format[k], source, NTIME, rec[k], units, notes);
    said[k] = read_messages(notes, Voice::calmpick, source.name);
  }
  EXPECT_EQ(status[1], status[0]);
  EXPECT_EQ(format[1], format[0]);
  EXPECT_EQ(said[1], said[0]);
  EXPECT_EQ(rec[1].component, rec[0].component);
  EXPECT_EQ(rec[1].dt, rec[0].dt);
  EXPECT_EQ(rec[1].channel, rec[0].channel);
  EXPECT_EQ(rec[1].start_time, rec[0].start_time);
}

synth::Recording short_noise() {
  synth::Spec spec;
  spec.duration_s = 2.0;
  return synth::synthesize(spec);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, FromMemory,
    ::testing::Values(MemoryCase{"kaf_with_byte_order_mark",
                                 [](const std::string& dir) {
                                   const std::string path = dir + "/a.kaf";
                                   test::write_file(
                                       path, "\xEF\xBB\xBF" +
                                                 kaf_text(minimal_header(), test::two_samples));
                                   return path;
                                 }},
                      MemoryCase{"kaf_sample_missing",
                                 [](const std::string& dir) {
                                   const std::string path = dir + "/b.kaf";
                                   test::write_file(path, kaf_text(minimal_header(), "1 2 3\n"));
                                   return path;
                                 }},
                      MemoryCase{"duneheron",
                                 [](const std::string& dir) {
                                   const std::string path = dir + "/c.dh";
                                   synth::write_duneheron(path, short_noise());
                                   return path;
                                 }},
                      MemoryCase{"gse",
                                 [](const std::string& dir) {
                                   const std::string path = dir + "/d.gse";
                                   std::vector<synth::GseChannel> channels(3);
                                   for (std::size_t k = 0; k < 3; ++k) {
                                     channels[k].channel = std::string(1, "ZNE"[k]);
                                     channels[k].counts = {1, -2, 3, static_cast<std::int32_t>(k)};
                                   }
                                   synth::write_gse(path, channels, {});
                                   return path;
                                 }},
                      MemoryCase{"miniseed",
                                 [](const std::string&) {
                                   return std::string(HV_SOURCE_DIR) +
                                          "/data/UT.STN11.A2_C50.miniseed";
                                 }},
                      MemoryCase{"not_a_recording",
                                 [](const std::string& dir) {
                                   const std::string path = dir + "/e.txt";
                                   test::write_file(path, "just some text\n");
                                   return path;
                                 }}),
    [](const auto& info) { return info.param.name; });

// The first sample that is not a finite number, 1-based, whichever component holds
// it; 0 when every sample is finite.
class FirstNonFinite : public ::testing::TestWithParam<int> {};

TEST_P(FirstNonFinite, IsNumberedFromOne) {
  const int bad = GetParam();
  Recording rec;
  rec.resize(10);
  if (bad > 0) rec.component[bad % 3][static_cast<std::size_t>(bad - 1)] = std::nanf("");
  EXPECT_EQ(first_non_finite(rec), bad);
}

INSTANTIATE_TEST_SUITE_P(Samples, FirstNonFinite, ::testing::Values(0, 1, 2, 10),
                         test::name_by_value);

}  // namespace
}  // namespace hv
