// SPDX-License-Identifier: GPL-3.0-or-later
#include <iostream>
#include <string>
#include <vector>

#include "common/heap.hpp"
#include "hvmonitor/hvmonitor.hpp"

int main(int argc, char** argv) {
  hv::keep_freed_memory();
  const std::vector<std::string> args(argv + 1, argv + argc);
  return hv::hvmonitor_run(args, std::cout);
}
