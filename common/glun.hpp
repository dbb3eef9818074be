// SPDX-License-Identifier: GPL-3.0-or-later
// Unit numbers: the handles under which a program run opens its own files. Units 31 to
// 50 are handed out by GLUN; a program may also open files on fixed units of its own.
#pragma once

#include <fstream>
#include <map>
#include <string_view>

#include "common/result_file.hpp"

namespace hv {

class UnitFile;

// The unit table of one program run. A unit is open while a UnitFile is attached to it.
class UnitTable {
 public:
  static constexpr int first_unit = 31;
  static constexpr int last_unit = 50;

  // Finds a unit of 31..50 that is not open: status 0 with that unit, or 1 when all
  // twenty are open (unit is then left at 50). The unit is not reserved until a file
  // opens on it.
  int GLUN(int& unit) const;
  bool is_open(int unit) const;
  // Closes every file open on units 31..50; files on other units stay open.
  void CLALL();

  // The result files the run has started; they reach their names only on commit.
  ResultSet results;

 private:
  friend class UnitFile;
  std::map<int, UnitFile*> open_;
};

// A text file opened on a unit of the table (any unit number from 0 on); closing it
// (or destroying it) frees the unit.
class UnitFile {
 public:
  UnitFile(UnitTable& table, int unit) : table_(table), unit_(unit) {}
  UnitFile(const UnitFile&) = delete;
  UnitFile& operator=(const UnitFile&) = delete;
  ~UnitFile() { close(); }

  // Open an existing file for reading / create or replace a file for writing. Both
  // fail, leaving the file system untouched, when the unit is negative or already
  // taken by another file; opening for reading also fails on a directory.
  bool open_read(std::string_view name);
  bool open_write(std::string_view name);
  // Starts a result file of the run's set and opens its temporary file for writing.
  bool open_result(std::string_view name);
  void close();
  bool is_open() const { return stream_.is_open(); }
  std::fstream& stream() { return stream_; }
  int unit() const { return unit_; }

 private:
  bool open(std::string_view name, std::ios::openmode mode);
  UnitTable& table_;
  int unit_;
  std::fstream stream_;
};

}  // namespace hv
