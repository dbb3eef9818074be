// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/run.hpp"

#include <unistd.h>

#include <atomic>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "calmpick/calmpick.hpp"
#include "ratiospec/ratiospec.hpp"
#include "tests/support/result_table.hpp"

namespace hv::test {

TempDir::TempDir() {
  static std::atomic<int> counter{0};
  path_ = std::filesystem::temp_directory_path() /
          ("hvtest_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
  std::filesystem::remove_all(path_);
  std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

void write_file(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary);
  if (!out) throw std::runtime_error("cannot write " + path);
  out << content;
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

std::vector<std::string> split_lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

std::vector<std::string> read_lines(const std::string& path) {
  return split_lines(read_file(path));
}

RunResult run_ratiospec(const std::vector<std::string>& args) {
  std::ostringstream console;
  const int status = ratiospec_run(args, console);
  return {status, console.str()};
}

RunResult run_calmpick(const std::vector<std::string>& args) {
  std::ostringstream console;
  const int status = calmpick_run(args, console);
  return {status, console.str()};
}

int count_of(const std::string& haystack, const std::string& needle) {
  int n = 0;
  for (std::size_t p = haystack.find(needle); p != std::string::npos;
       p = haystack.find(needle, p + 1))
    ++n;
  return n;
}

Rows rows_of_file(const std::string& path) {
  return rows_of(read_lines(path));
}

}  // namespace hv::test
