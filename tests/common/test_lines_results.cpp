// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "common/lines.hpp"
#include "common/result_file.hpp"
#include "tests/support/run.hpp"

namespace hv {
namespace {

namespace fs = std::filesystem;

struct LineCase {
  std::string name;
  std::string text;
  std::vector<std::string> lines;
};

class ReadLine : public ::testing::TestWithParam<LineCase> {};

TEST_P(ReadLine, SplitsAtEveryKindOfLineEnd) {
  std::istringstream in(GetParam().text);
  std::vector<std::string> got;
  std::string line;
  while (read_line(in, line)) got.push_back(line);
  EXPECT_EQ(got, GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadLine,
    ::testing::Values(LineCase{"Newlines", "a\nb\n", {"a", "b"}},
                      LineCase{"NoFinalLineEnd", "a\nb", {"a", "b"}},
                      LineCase{"CarriageReturnNewline", "a\r\nb\r\n", {"a", "b"}},
                      LineCase{"CarriageReturnAlone", "a\rb\r", {"a", "b"}},
                      LineCase{"EmptyLinesOfEachKind", "\n\r\r\n\r", {"", "", "", ""}},
                      LineCase{"NewlineThenCarriageReturnIsTwoEnds", "a\n\rb", {"a", "", "b"}},
                      LineCase{"Empty", "", {}}),
    [](const auto& info) { return info.param.name; });

TEST(ReadLineLimit, KeepsTheFirstCharactersAndSkipsTheRestOfTheLine) {
  std::istringstream in(std::string(5000, 'x') + "\nnext\n");
  std::string line;
  ASSERT_TRUE(read_line(in, line));
  EXPECT_EQ(line, std::string(line_kept, 'x'));
  ASSERT_TRUE(read_line(in, line, 2));
  EXPECT_EQ(line, "ne");
  EXPECT_FALSE(read_line(in, line));
}

class ResultFiles : public ::testing::Test {
 protected:
  test::TempDir dir;
  std::vector<std::string> folder() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir.path())) {
      names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
};

TEST_F(ResultFiles, CommitPutsEveryFileInPlace) {
  ResultSet set;
  const auto a = set.start(dir.file("a")), b = set.start(dir.file("b"));
  ASSERT_TRUE(a && b);
  EXPECT_EQ(fs::path(*a).parent_path(), dir.path());
  test::write_file(*a, "A");
  test::write_file(*b, "B");
  EXPECT_EQ(set.start(dir.file("a")), a);
  std::string failed;
  ASSERT_TRUE(set.commit_all(failed));
  EXPECT_EQ(folder(), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(test::read_file(dir.file("a")), "A");
}

TEST_F(ResultFiles, DiscardOrDestructionLeavesEarlierFilesUntouched) {
  test::write_file(dir.file("a"), "earlier");
  {
    ResultSet set;
    test::write_file(*set.start(dir.file("a")), "new");
    test::write_file(*set.start(dir.file("b")), "new");
  }
  EXPECT_EQ(folder(), std::vector<std::string>{"a"});
  EXPECT_EQ(test::read_file(dir.file("a")), "earlier");
}

// A rename that fails (a folder took the result's name meanwhile) leaves no hidden
// temporary file behind.
TEST_F(ResultFiles, FailedRenameLeavesNoTemporaryFile) {
  ResultSet set;
  test::write_file(*set.start(dir.file("a")), "new");
  fs::create_directories(dir.file("a/inside"));
  std::string failed;
  EXPECT_FALSE(set.commit_all(failed));
  EXPECT_EQ(failed, dir.file("a"));
  EXPECT_EQ(folder(), std::vector<std::string>{"a"});
}

TEST_F(ResultFiles, FolderThatDoesNotExistTakesNoFile) {
  ResultSet set;
  EXPECT_FALSE(set.start(dir.file("no/such/folder/a")));
  EXPECT_FALSE(ResultFile::create(dir.file("no/a")));
}

TEST_F(ResultFiles, SameFileSeesLinksAndSpellingsButNotNamesake) {
  test::write_file(dir.file("in"), "x");
  fs::create_symlink(dir.file("in"), dir.file("link"));
  fs::create_directory(dir.file("sub"));
  test::write_file(dir.file("sub/in"), "x");
  EXPECT_TRUE(same_file(dir.file("in"), dir.file("link")));
  EXPECT_TRUE(same_file(dir.file("in"), dir.file("sub/../in")));
  EXPECT_FALSE(same_file(dir.file("in"), dir.file("sub/in")));
  // Names of files still to be made are compared as normalised paths.
  EXPECT_TRUE(same_file(dir.file("new"), dir.file("sub/../new")));
  EXPECT_FALSE(same_file(dir.file("new"), dir.file("in")));
}

}  // namespace
}  // namespace hv
