// SPDX-License-Identifier: GPL-3.0-or-later
// Running the built programs and scripts as child processes, with an environment of
// their own, for the tests that need the real executables.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace hv::test {

// A program of the build (build/bin/<name>) and a file of the source tree.
std::string built_program(const std::string& name);
std::string source_file(const std::string& relative);

struct ChildResult {
  int status;          // exit status; 128 + signal number when killed by a signal
  std::string output;  // standard output and standard error together
};

// Runs program with args in the working directory cwd (the current one when empty),
// with the variables of env added to the test's environment.
ChildResult run_child(const std::string& program, const std::vector<std::string>& args,
                      const std::vector<std::pair<std::string, std::string>>& env = {},
                      const std::string& cwd = "");

}  // namespace hv::test
