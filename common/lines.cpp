// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/lines.hpp"

#include <filesystem>
#include <streambuf>
#include <string>
#include <system_error>

namespace hv {

bool is_regular_input(std::string_view path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(std::filesystem::path(path), ec);
}

bool read_line(std::istream& in, std::string& line, std::size_t keep) {
  line.clear();
  std::streambuf* source = in.rdbuf();
  if (!in.good() || source == nullptr) {
    in.setstate(std::ios::failbit);
    return false;
  }
  using traits = std::char_traits<char>;
  int c = source->sbumpc();
  if (traits::eq_int_type(c, traits::eof())) {
    in.setstate(std::ios::eofbit | std::ios::failbit);
    return false;
  }
  while (!traits::eq_int_type(c, traits::eof()) && c != '\n' && c != '\r') {
    if (line.size() < keep) line.push_back(traits::to_char_type(c));
    c = source->sbumpc();
  }
  if (c == '\r' && source->sgetc() == '\n') source->sbumpc();
  if (traits::eq_int_type(c, traits::eof())) in.setstate(std::ios::eofbit);
  return true;
}

void skip_byte_order_mark(std::istream& in) {
  for (const char expected : byte_order_mark) {
    if (in.peek() != static_cast<unsigned char>(expected)) {
      if (in.tellg() > 0) in.seekg(0);  // a partial mark belongs to the text
      in.clear();
      return;
    }
    in.get();
  }
}

}  // namespace hv
