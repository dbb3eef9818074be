// SPDX-License-Identifier: GPL-3.0-or-later
// Unit numbers 31 to 50: the handles under which a program run opens its own files.
#pragma once

#include <array>
#include <fstream>
#include <string_view>

namespace hv {

class UnitFile;

// The table of units 31..50 of one program run. A unit is open while a UnitFile is
// attached to it.
class UnitTable {
 public:
  static constexpr int first_unit = 31;
  static constexpr int last_unit = 50;

  // Finds a unit that is not open: status 0 with that unit, or 1 when all twenty are
  // open (unit is then left at 50). The unit is not reserved until a file opens on it.
  int GLUN(int& unit) const;
  bool is_open(int unit) const;
  // Closes every file open on units 31..50.
  void CLALL();

 private:
  friend class UnitFile;
  static std::size_t slot(int unit) { return static_cast<std::size_t>(unit - first_unit); }
  std::array<UnitFile*, last_unit - first_unit + 1> open_{};
};

// A text file opened on a unit of the table; closing it (or destroying it) frees
// the unit.
class UnitFile {
 public:
  UnitFile(UnitTable& table, int unit) : table_(table), unit_(unit) {}
  UnitFile(const UnitFile&) = delete;
  UnitFile& operator=(const UnitFile&) = delete;
  ~UnitFile() { close(); }

  // Open an existing file for reading / create or replace a file for writing.
  bool open_read(std::string_view name);
  bool open_write(std::string_view name);
  void close();
  bool is_open() const { return stream_.is_open(); }
  std::fstream& stream() { return stream_; }
  int unit() const { return unit_; }

 private:
  bool attach();
  UnitTable& table_;
  int unit_;
  std::fstream stream_;
};

}  // namespace hv
