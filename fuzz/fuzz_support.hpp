// SPDX-License-Identifier: GPL-3.0-or-later
// What the whole-run fuzz harnesses share: the programs take file names, so each
// input is written to a file in a scratch folder made once per fuzzing process.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

namespace hv::fuzz {

// The scratch folder of this process; it is also made the working directory, so
// that calmpick's window-count file lands there. Give the fuzzer absolute corpus
// paths: relative ones would no longer resolve after the first input.
inline const std::string& scratch() {
  static const std::string dir = [] {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr ? base : "/tmp") + "/hvfuzz.XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr || ::chdir(pattern.c_str()) != 0) std::abort();
    return pattern;
  }();
  return dir;
}

inline std::string scratch_file(const std::string& name) {
  return scratch() + "/" + name;
}

inline std::string write_input(const std::string& name, const std::uint8_t* data,
                               std::size_t size) {
  const std::string path = scratch_file(name);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  return path;
}

inline void write_text(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

}  // namespace hv::fuzz
