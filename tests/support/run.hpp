// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers for tests that run the programs in-process on files they write.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace hv::test {

// A fresh directory under the system temporary directory, removed at the end.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  // Absolute path of a file in the directory.
  std::string file(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// Makes a directory the working directory for its lifetime (calmpick writes its
// window-count file there).
class WorkingDirectory {
 public:
  explicit WorkingDirectory(const std::filesystem::path& path)
      : previous_(std::filesystem::current_path()) {
    std::filesystem::current_path(path);
  }
  ~WorkingDirectory() { std::filesystem::current_path(previous_); }
  WorkingDirectory(const WorkingDirectory&) = delete;
  WorkingDirectory& operator=(const WorkingDirectory&) = delete;

 private:
  std::filesystem::path previous_;
};

void write_file(const std::string& path, const std::string& content);
std::string read_file(const std::string& path);
std::vector<std::string> read_lines(const std::string& path);
std::vector<std::string> split_lines(const std::string& text);

struct RunResult {
  int status;
  std::string console;
};

RunResult run_ratiospec(const std::vector<std::string>& args);
RunResult run_calmpick(const std::vector<std::string>& args);

// Number of times needle occurs in haystack.
int count_of(const std::string& haystack, const std::string& needle);

}  // namespace hv::test
