// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "common/cmdline.hpp"
#include "common/glun.hpp"
#include "common/lines.hpp"
#include "tests/support/run.hpp"

namespace hv {
namespace {

using test::TempDir;
using test::write_file;

// Opens a file for reading on each of the given units.
std::vector<std::unique_ptr<UnitFile>> open_on(UnitTable& units, const std::string& path,
                                               const std::vector<int>& numbers) {
  std::vector<std::unique_ptr<UnitFile>> files;
  for (const int u : numbers) {
    files.push_back(std::make_unique<UnitFile>(units, u));
    EXPECT_TRUE(files.back()->open_read(path)) << u;
  }
  return files;
}

class GlunTest : public ::testing::Test {
 protected:
  void SetUp() override { write_file(path, "x\n"); }
  TempDir dir;
  std::string path = dir.file("f.txt");
  UnitTable units;
};

TEST_F(GlunTest, GivesTheFirstUnitThatIsNotOpen) {
  int unit = 0;
  EXPECT_EQ(units.GLUN(unit), 0);
  EXPECT_EQ(unit, 31);
  auto files = open_on(units, path, {31, 32, 34});
  EXPECT_EQ(units.GLUN(unit), 0);
  EXPECT_EQ(unit, 33);
  files[0]->close();
  EXPECT_EQ(units.GLUN(unit), 0);
  EXPECT_EQ(unit, 31);
}

TEST_F(GlunTest, AllTwentyOpenGivesStatusOneAndUnit50) {
  std::vector<int> all;
  for (int u = 31; u <= 50; ++u) all.push_back(u);
  auto files = open_on(units, path, all);
  int unit = 0;
  EXPECT_EQ(units.GLUN(unit), 1);
  EXPECT_EQ(unit, 50);
  files.pop_back();  // destroying a file frees its unit
  EXPECT_EQ(units.GLUN(unit), 0);
  EXPECT_EQ(unit, 50);
}

TEST_F(GlunTest, UnitsOutsideTheRangeDoNotCountForGlun) {
  auto files = open_on(units, path, {10, 20, 30, 51});
  int unit = 0;
  EXPECT_EQ(units.GLUN(unit), 0);
  EXPECT_EQ(unit, 31);
}

TEST_F(GlunTest, ClallClosesOnlyUnits31To50) {
  auto files = open_on(units, path, {10, 30, 31, 40, 50, 51});
  units.CLALL();
  for (const auto& f : files) {
    const bool kept = f->unit() < 31 || f->unit() > 50;
    EXPECT_EQ(f->is_open(), kept) << f->unit();
    EXPECT_EQ(units.is_open(f->unit()), kept) << f->unit();
  }
}

TEST_F(GlunTest, ABusyUnitRefusesAnOpenWithoutTouchingTheFile) {
  auto files = open_on(units, path, {31});
  const std::string other = dir.file("keep.txt");
  write_file(other, "precious\n");
  UnitFile second(units, 31);
  EXPECT_FALSE(second.open_write(other));
  EXPECT_FALSE(second.open_read(other));
  EXPECT_EQ(test::read_file(other), "precious\n");
  EXPECT_TRUE(files[0]->is_open());
}

TEST_F(GlunTest, FailedOpensLeaveTheUnitFree) {
  UnitFile missing(units, 31);
  EXPECT_FALSE(missing.open_read(dir.file("absent.txt")));
  UnitFile directory(units, 31);
  EXPECT_FALSE(directory.open_read(dir.path().string()));
  UnitFile device(units, 31);  // a line that never ends must not be read
  EXPECT_FALSE(device.open_read("/dev/zero"));
  UnitFile negative(units, -1);
  EXPECT_FALSE(negative.open_read(path));
  EXPECT_FALSE(units.is_open(31));
}

TEST_F(GlunTest, WritingCreatesOrReplacesTheFile) {
  const std::string out = dir.file("out.txt");
  write_file(out, "old content that is longer\n");
  {
    UnitFile file(units, 31);
    ASSERT_TRUE(file.open_write(out));
    file.stream() << "new\n";
  }
  EXPECT_EQ(test::read_file(out), "new\n");
  EXPECT_FALSE(units.is_open(31));
}

TEST_F(GlunTest, TwoTablesDoNotShareUnits) {
  auto files = open_on(units, path, {31});
  UnitTable other;
  int unit = 0;
  EXPECT_EQ(other.GLUN(unit), 0);
  EXPECT_EQ(unit, 31);
}

TEST(CommandLine, Guw8GivesEveryArgumentCutTo200) {
  const std::vector<std::string> args{"a.win", std::string(250, 'p'), ""};
  std::vector<Name> words;
  EXPECT_EQ(GUW8(args, words), 3);
  ASSERT_EQ(words.size(), 3u);
  EXPECT_EQ(words[0], "a.win");
  EXPECT_EQ(words[1].view(), std::string(200, 'p'));
  EXPECT_TRUE(words[2].blank());
  EXPECT_EQ(GUW8({}, words), 0);
}

TEST(CommandLine, CkesfiIsTrueWhenNoFileOfThatNameExists) {
  TempDir dir;
  write_file(dir.file("here"), "");
  EXPECT_FALSE(CKESFI(Name(dir.file("here"))));
  EXPECT_FALSE(CKESFI(Name(dir.file("here") + "     ")));
  EXPECT_TRUE(CKESFI(Name(dir.file("absent"))));
  EXPECT_TRUE(CKESFI(Name(dir.file("here") + "x")));
  EXPECT_TRUE(CKESFI(Name()));
}

TEST(Lines, ReadLineDropsTheLineEndIncludingACarriageReturn) {
  std::istringstream in("a\r\nb\n\n\r\nlast");
  std::string line;
  std::vector<std::string> got;
  while (read_line(in, line)) got.push_back(line);
  EXPECT_EQ(got, (std::vector<std::string>{"a", "b", "", "", "last"}));
}

}  // namespace
}  // namespace hv
